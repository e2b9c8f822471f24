#include "platform/cad/local_client.h"

#include <algorithm>
#include <cmath>
#include <unordered_set>

#include "platform/cad/dxf_text.h"
#include "platform/runtime/conversions.h"
#include "platform/runtime/vberror.h"

namespace cad {

namespace {

[[noreturn]] void Fail(int32_t number, const std::string& description) {
    throw vb::VbError(number, description, "sewercad");
}

void CheckArgument(bool ok, const std::string& what) {
    if (!ok) Fail(vb::errInvalidProcedureCall, what);
}

void CheckLength(const std::string& s, size_t limit, const std::string& what) {
    CheckArgument(s.size() <= limit, what + " is at most " + std::to_string(limit) + " bytes long, not " + std::to_string(s.size()));
}

void CheckName(const std::string& name, const char* what) {
    CheckArgument(!name.empty(), std::string("A ") + what + " needs a name");
    CheckLength(name, kMaxNameBytes, std::string("A ") + what + "'s name");
    CheckArgument(IsOneLine(name), std::string("A ") + what + "'s name cannot hold a line break");
}

void CheckFinite(double v, const char* what) { CheckArgument(std::isfinite(v), std::string(what) + " must be a finite number"); }

void CheckPoint(const Point& p, const char* what) {
    CheckArgument(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z), std::string(what) + " must be three finite numbers");
}

// A name or text as a message quotes it: its start only when it is long.
std::string Quoted(const std::string& s) {
    constexpr size_t kShown = 80;
    if (s.size() <= kShown) return "\"" + s + "\"";
    size_t cut = kShown;
    while (cut > 0 && (static_cast<unsigned char>(s[cut]) & 0xC0) == 0x80) --cut;   // not inside a UTF-8 sequence
    return "\"" + s.substr(0, cut) + "...\" (" + std::to_string(s.size()) + " bytes)";
}

// Extended data holds names (1001, 1003) and texts of limited length, and
// only finite numbers.
void CheckXDataValues(const XData& data) {
    for (size_t i = 0; i < data.types.size() && i < data.values.size(); ++i) {
        const int16_t t = data.types[i];
        const vb::Variant& v = data.values[i];
        if (v.IsString()) {
            if (t == 1001 || t == 1003) {
                CheckLength(v.RawString(), kMaxNameBytes, "An extended-data name");
            } else {
                CheckLength(v.RawString(), kMaxTextBytes, "An extended-data text");
            }
        }
        if (t >= 1040 && t <= 1042) CheckFinite(vb::CDbl(v), "An extended-data number");
        if (t >= 1010 && t <= 1013 && v.IsArray() && v.Dimensions() == 1) {
            for (int32_t k = v.LBound(); k <= v.UBound(); ++k) CheckFinite(vb::CDbl(v.Element(k)), "An extended-data point");
        }
    }
}

std::string Upper(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return out;
}

// Text alignment as the groups 72 (horizontal) and 73 (vertical) hold it.
constexpr int kAlign72[15] = {0, 1, 2, 3, 4, 5, 0, 1, 2, 0, 1, 2, 0, 1, 2};
constexpr int kAlign73[15] = {0, 0, 0, 0, 0, 0, 3, 3, 3, 2, 2, 2, 1, 1, 1};

}  // namespace

LocalClient::LocalClient(Document* document, std::string version) : doc_(document), version_(std::move(version)) {}

Document& LocalClient::Doc() {
    if (!doc_) Fail(vb::errObjectNotSet, "No drawing is open");
    return *doc_;
}

void LocalClient::Changed() {
    ++revision_;
    if (host_.changed) host_.changed();
}

Record& LocalClient::EntityOf(const std::string& handle) {
    Record* e = Doc().MutableEntity(handle);
    if (!e) Fail(kErrNoSuchEntity, "No entity has the handle " + Quoted(handle));
    return *e;
}

Record& LocalClient::EntityOfType(const std::string& handle, std::string_view type) {
    Record& e = EntityOf(handle);
    if (e.Type() != type) Fail(vb::errNotSupported, "Object doesn't support this property or method");
    return e;
}

// --- Application --------------------------------------------------------------

std::string LocalClient::Version() { return version_; }

bool LocalClient::Visible() { return host_.visible ? host_.visible() : visible_; }

void LocalClient::SetVisible(bool visible) {
    visible_ = visible;
    if (host_.setVisible) host_.setVisible(visible);
}

int LocalClient::WindowState() { return host_.windowState ? host_.windowState() : windowState_; }

void LocalClient::SetWindowState(int state) {
    CheckArgument(state >= kWindowNormal && state <= kWindowMaximized, "WindowState is 1, 2 or 3");
    windowState_ = state;
    if (host_.setWindowState) host_.setWindowState(state);
}

// --- Layers -------------------------------------------------------------------

void LocalClient::AddLayer(const std::string& name) {
    CheckName(name, "layer");
    Doc().AddLayer(name);
    Changed();
}

int LocalClient::LayerColor(const std::string& name) {
    Record* l = Doc().FindLayer(name);
    if (!l) Fail(kErrKeyNotFound, "Key not found: layer " + Quoted(name));
    return std::abs(l->Integer(62, 7));
}

void LocalClient::SetLayerColor(const std::string& name, int color) {
    if (!Doc().FindLayer(name)) Fail(kErrKeyNotFound, "Key not found: layer " + Quoted(name));
    CheckArgument(color >= 1 && color <= 255, "A layer colour is 1 to 255");
    Doc().SetLayerColor(name, color);
    Changed();
}

std::string LocalClient::ActiveLayer() { return Doc().ActiveLayer(); }

void LocalClient::SetActiveLayer(const std::string& name) {
    Record* l = Doc().FindLayer(name);
    if (!l) Fail(kErrKeyNotFound, "Key not found: layer " + Quoted(name));
    // The header names the layer as the table spells it.
    Doc().SetActiveLayer(Doc().DecodeText(Trim(l->Text(2))));
    Changed();
}

// --- Blocks -------------------------------------------------------------------

void LocalClient::BlockItem(const std::string& name) {
    if (!Doc().HasBlock(name)) Fail(kErrKeyNotFound, "Key not found: block " + Quoted(name));
}

void LocalClient::AddBlock(const Point& basePoint, const std::string& name) {
    CheckName(name, "block");
    CheckPoint(basePoint, "A block's base point");
    Doc().AddBlock(name, basePoint);
    Changed();
}

// --- Selection sets -----------------------------------------------------------

std::vector<std::string>& LocalClient::SetNamed(const std::string& name) {
    auto& sets = Doc().SelectionSets();
    auto it = sets.find(Upper(name));
    if (it == sets.end()) Fail(kErrKeyNotFound, "Key not found: selection set " + Quoted(name));
    return it->second;
}

void LocalClient::AddSelectionSet(const std::string& name) {
    CheckArgument(!name.empty(), "A selection set needs a name");
    CheckLength(name, kMaxNameBytes, "A selection set's name");
    auto& sets = Doc().SelectionSets();
    if (sets.count(Upper(name))) Fail(kErrDuplicateName, "Duplicate record name: selection set " + Quoted(name));
    sets[Upper(name)];
    ++revision_;
}

void LocalClient::SelectionSetItem(const std::string& name) { SetNamed(name); }

void LocalClient::DeleteSelectionSet(const std::string& name) {
    SetNamed(name);
    Doc().SelectionSets().erase(Upper(name));
    ++revision_;
}

void LocalClient::Select(const std::string& set, int mode, const Point&, const Point&,
                         const std::vector<int16_t>& filterTypes, const std::vector<vb::Variant>& filterData) {
    std::vector<std::string>& members = SetNamed(set);
    CheckArgument(mode == kSelectAll, "Only the selection of all entities (mode 5) is offered");
    CheckArgument(filterTypes.size() == filterData.size(), "The filter's type and value lists differ in length");
    std::vector<std::pair<int16_t, std::string>> filter;
    for (size_t i = 0; i < filterTypes.size(); ++i) {
        CheckArgument(filterTypes[i] == 0 || filterTypes[i] == 8, "A filter compares group 0 (type) or 8 (layer)");
        filter.emplace_back(filterTypes[i], vb::CStr(filterData[i]));
    }
    Document& doc = Doc();
    // The members so far, to add each entity once without searching the set
    // (an empty set needs none: each entity has a handle of its own).
    std::vector<Document::ModelSpaceEntity> entities = doc.ModelSpaceEntities();
    const bool wasEmpty = members.empty();
    std::unordered_set<std::string> present(members.begin(), members.end());
    ++revision_;
    for (Document::ModelSpaceEntity& entity : entities) {
        const Record* e = entity.record;
        std::string& h = entity.handle;
        bool match = true;
        for (const auto& [code, value] : filter) {
            std::string actual = code == 0 ? std::string(e->Type()) : doc.DecodeText(Trim(e->Text(8, "0")));
            if (!SameName(actual, value)) {
                match = false;
                break;
            }
        }
        if (match && (wasEmpty || present.insert(h).second)) members.push_back(std::move(h));
    }
}

void LocalClient::SelectOnScreen(const std::string& set) {
    std::vector<std::string> picked;
    // A scripted pick is used up even when the set turns out to be missing.
    std::optional<std::vector<std::string>> scripted = std::move(scriptedPick_);
    scriptedPick_.reset();
    SetNamed(set);
    if (scripted) {
        picked = std::move(*scripted);
    } else if (host_.pick) {
        picked = host_.pick();
    }
    // The drawing may have been replaced while the user picked.
    std::vector<std::string>& members = SetNamed(set);
    std::unordered_set<std::string> present(members.begin(), members.end());
    ++revision_;
    for (const std::string& h : picked) {
        std::string n = NormalizeHandle(h);
        if (Doc().Entity(n) && present.insert(n).second) members.push_back(std::move(n));
    }
}

std::vector<std::string> LocalClient::SelectionSetEntities(const std::string& set) {
    std::vector<std::string> out;
    // Members erased since the selection are dropped, as a set drops them.
    for (const std::string& h : SetNamed(set))
        if (Doc().Entity(h)) out.push_back(h);
    return out;
}

void LocalClient::ScriptNextPick(const std::vector<std::string>& handles) { scriptedPick_ = handles; }

// --- Model space --------------------------------------------------------------

std::string LocalClient::AddCircle(const Point& center, double radius) {
    CheckPoint(center, "A circle's centre");
    CheckArgument(std::isfinite(radius) && radius > 0, "A circle's radius must be a finite number above 0");
    std::string h = Doc().AddCircle(center, radius);
    Changed();
    return h;
}

std::string LocalClient::AddText(const std::string& text, const Point& at, double height) {
    CheckPoint(at, "A text's insertion point");
    CheckArgument(std::isfinite(height) && height > 0, "A text's height must be a finite number above 0");
    CheckLength(text, kMaxTextBytes, "A text");
    CheckArgument(IsOneLine(text), "A text cannot hold a line break");
    std::string h = Doc().AddText(text, at, height);
    Changed();
    return h;
}

// --- Entities -----------------------------------------------------------------

std::string LocalClient::EntityName(const std::string& handle) { return EntityClassName(EntityOf(handle)); }

std::string LocalClient::Layer(const std::string& handle) {
    return Doc().DecodeText(Trim(EntityOf(handle).Text(8, "0")));
}

void LocalClient::SetLayer(const std::string& handle, const std::string& layer) {
    CheckName(layer, "layer");
    Record& e = EntityOf(handle);
    Doc().SetLayerOf(e, layer);
    Changed();
}

XData LocalClient::GetXData(const std::string& handle, const std::string& application) {
    return Doc().GetXData(EntityOf(handle), application);
}

void LocalClient::SetXData(const std::string& handle, const XData& data) {
    Record& e = EntityOf(handle);
    CheckXDataValues(data);
    Doc().SetXData(e, data);
    Changed();
}

Point LocalClient::StartPoint(const std::string& handle) { return PointOf(EntityOfType(handle, "LINE"), 10); }
Point LocalClient::EndPoint(const std::string& handle) { return PointOf(EntityOfType(handle, "LINE"), 11); }
Point LocalClient::Center(const std::string& handle) { return PointOf(EntityOfType(handle, "CIRCLE"), 10); }
double LocalClient::Diameter(const std::string& handle) { return 2 * EntityOfType(handle, "CIRCLE").Number(40); }

std::string LocalClient::TextString(const std::string& handle) {
    return Doc().DecodeText(EntityOfType(handle, "TEXT").Text(1));
}

double LocalClient::Rotation(const std::string& handle) {
    return EntityOfType(handle, "TEXT").Number(50) * M_PI / 180.0;
}

void LocalClient::SetRotation(const std::string& handle, double radians) {
    CheckFinite(radians, "A rotation");
    Doc().SetNumber(EntityOfType(handle, "TEXT"), 50, radians * 180.0 / M_PI);
    Changed();
}

int LocalClient::Alignment(const std::string& handle) {
    Record& e = EntityOfType(handle, "TEXT");
    int h = e.Integer(72), v = e.Integer(73);
    for (int a = 0; a < 15; ++a)
        if (kAlign72[a] == h && kAlign73[a] == (h >= 3 ? 0 : v)) return a;
    return 0;
}

void LocalClient::SetAlignment(const std::string& handle, int alignment) {
    CheckArgument(alignment >= 0 && alignment <= 14, "A text alignment is 0 to 14");
    Record& e = EntityOfType(handle, "TEXT");
    Doc().SetGroup(e, 72, std::to_string(kAlign72[alignment]));
    Doc().SetGroup(e, 73, std::to_string(kAlign73[alignment]));
    Changed();
}

Point LocalClient::TextAlignmentPoint(const std::string& handle) {
    Record& e = EntityOfType(handle, "TEXT");
    return e.Find(11) ? PointOf(e, 11) : PointOf(e, 10);
}

void LocalClient::SetTextAlignmentPoint(const std::string& handle, const Point& p) {
    CheckPoint(p, "A text's alignment point");
    Record& e = EntityOfType(handle, "TEXT");
    Doc().SetNumber(e, 11, p.x);
    Doc().SetNumber(e, 21, p.y);
    Doc().SetNumber(e, 31, p.z);
    Changed();
}

std::vector<double> LocalClient::Coordinates(const std::string& handle) {
    Record& e = EntityOfType(handle, "LWPOLYLINE");
    std::vector<double> out;
    double d = 0;
    for (size_t i = 0, n = e.XDataStart(); i < n; ++i) {
        const Group& g = e.groups[i];
        if (g.code == 10 || g.code == 20) {
            ParseDouble(Trim(g.value), d);
            out.push_back(d);
        }
    }
    return out;
}

// --- File ---------------------------------------------------------------------

void LocalClient::Save() {
    if (Doc().FileName().empty()) Fail(75, "The drawing has no file name yet");
    SaveAs(Doc().FileName());
}

void LocalClient::SaveAs(const std::string& path) {
    CheckArgument(!path.empty(), "A file name is needed");
    CheckLength(path, kMaxPathBytes, "A file name");
    std::string error;
    if (!Doc().Save(path, &error)) Fail(75, "Path/File access error: " + error);
    Doc().SetFileName(path);
    Doc().SetModified(false);
    Changed();
}

}  // namespace cad
