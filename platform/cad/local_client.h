// The client over a document in this process: what the drawing program
// serves on the bus, and what the exchange tests drive directly.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/cad/client.h"
#include "platform/cad/document.h"

namespace cad {

class LocalClient : public Client {
public:
    // What the program around the document does for the client: the window's
    // visibility and state, the interactive pick, and a notice after every
    // change of the drawing.  Members left empty make the client keep the
    // state itself (tests) or pick nothing.
    struct Host {
        std::function<bool()> visible;
        std::function<void(bool)> setVisible;
        std::function<int()> windowState;
        std::function<void(int)> setWindowState;
        // Runs the user's pick and returns the picked handles.
        std::function<std::vector<std::string>()> pick;
        std::function<void()> changed;
        // A client's call is being served (the bus server says so before
        // each call): the window puts off its own work while calls come.
        std::function<void()> used;
    };

    // The document must outlive the client (or be replaced by SetDocument).
    explicit LocalClient(Document* document, std::string version = "1.0");
    void SetDocument(Document* document) {
        doc_ = document;
        ++revision_;
    }
    Document* GetDocument() const { return doc_; }
    void SetHost(Host host) { host_ = std::move(host); }
    void SetVersion(std::string version) { version_ = std::move(version); }

    std::string Version() override;
    bool Visible() override;
    void SetVisible(bool visible) override;
    int WindowState() override;
    void SetWindowState(int state) override;
    void AddLayer(const std::string& name) override;
    int LayerColor(const std::string& name) override;
    void SetLayerColor(const std::string& name, int color) override;
    std::string ActiveLayer() override;
    void SetActiveLayer(const std::string& name) override;
    void BlockItem(const std::string& name) override;
    void AddBlock(const Point& basePoint, const std::string& name) override;
    void AddSelectionSet(const std::string& name) override;
    void SelectionSetItem(const std::string& name) override;
    void DeleteSelectionSet(const std::string& name) override;
    void Select(const std::string& set, int mode, const Point& corner1, const Point& corner2,
                const std::vector<int16_t>& filterTypes, const std::vector<vb::Variant>& filterData) override;
    void SelectOnScreen(const std::string& set) override;
    std::vector<std::string> SelectionSetEntities(const std::string& set) override;
    std::string AddCircle(const Point& center, double radius) override;
    std::string AddText(const std::string& text, const Point& insertionPoint, double height) override;
    std::string EntityName(const std::string& handle) override;
    std::string Layer(const std::string& handle) override;
    void SetLayer(const std::string& handle, const std::string& layer) override;
    XData GetXData(const std::string& handle, const std::string& application) override;
    void SetXData(const std::string& handle, const XData& data) override;
    Point StartPoint(const std::string& handle) override;
    Point EndPoint(const std::string& handle) override;
    Point Center(const std::string& handle) override;
    double Diameter(const std::string& handle) override;
    std::string TextString(const std::string& handle) override;
    double Rotation(const std::string& handle) override;
    void SetRotation(const std::string& handle, double radians) override;
    int Alignment(const std::string& handle) override;
    void SetAlignment(const std::string& handle, int alignment) override;
    Point TextAlignmentPoint(const std::string& handle) override;
    void SetTextAlignmentPoint(const std::string& handle, const Point& point) override;
    std::vector<double> Coordinates(const std::string& handle) override;
    void Save() override;
    void SaveAs(const std::string& path) override;
    void ScriptNextPick(const std::vector<std::string>& handles) override;
    bool HasScriptedPick() const { return scriptedPick_.has_value(); }
    void Used() {
        if (host_.used) host_.used();
    }
    // Counts the changes of the drawing and of its selection sets made
    // through this client, and the replacement of the document: a copy of
    // what was read, taken at one revision, holds while the revision is the
    // same.
    uint64_t Revision() const { return revision_; }

private:
    Document& Doc();
    Record& EntityOf(const std::string& handle);
    Record& EntityOfType(const std::string& handle, std::string_view type);
    std::vector<std::string>& SetNamed(const std::string& name);
    void Changed();

    Document* doc_;
    std::string version_;
    Host host_;
    bool visible_ = true;
    int windowState_ = kWindowNormal;
    std::optional<std::vector<std::string>> scriptedPick_;
    uint64_t revision_ = 0;
};

}  // namespace cad
