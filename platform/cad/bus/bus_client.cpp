#include "platform/cad/bus/bus_client.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QEventLoop>

#include "platform/cad/bus/bus_protocol.h"
#include "platform/runtime/vberror.h"

namespace cad::bus {

namespace {

constexpr int kCallTimeoutMs = 60 * 1000;
// The pick waits for the user.
constexpr int kPickTimeoutMs = 24 * 60 * 60 * 1000;

class BusClient : public Client {
public:
    explicit BusClient(QDBusConnection bus) : bus_(std::move(bus)) {}

    std::string Version() override { return Str(One("Version", {})); }
    bool Visible() override { return One("Visible", {}).toBool(); }
    void SetVisible(bool visible) override { Call("SetVisible", {visible}); }
    int WindowState() override { return One("WindowState", {}).toInt(); }
    void SetWindowState(int state) override { Call("SetWindowState", {state}); }
    void AddLayer(const std::string& name) override { Call("AddLayer", {Q(name)}); }
    int LayerColor(const std::string& name) override { return One("LayerColor", {Q(name)}).toInt(); }
    void SetLayerColor(const std::string& name, int color) override { Call("SetLayerColor", {Q(name), color}); }
    std::string ActiveLayer() override { return Str(One("ActiveLayer", {})); }
    void SetActiveLayer(const std::string& name) override { Call("SetActiveLayer", {Q(name)}); }
    void BlockItem(const std::string& name) override { Call("BlockItem", {Q(name)}); }
    void AddBlock(const Point& base, const std::string& name) override { Call("AddBlock", {PointToBus(base), Q(name)}); }
    void AddSelectionSet(const std::string& name) override { Call("AddSelectionSet", {Q(name)}); }
    void SelectionSetItem(const std::string& name) override { Call("SelectionSetItem", {Q(name)}); }
    void DeleteSelectionSet(const std::string& name) override { Call("DeleteSelectionSet", {Q(name)}); }
    void Select(const std::string& set, int mode, const Point& c1, const Point& c2, const std::vector<int16_t>& types,
                const std::vector<vb::Variant>& data) override {
        Call("Select", {Q(set), mode, PointToBus(c1), PointToBus(c2), ShortsToBus(types), ValuesToBus(data)});
    }
    // The pick waits for the user; meanwhile this program goes on painting
    // its windows (its pick panel tells the user what to do), but takes no
    // input, so that nothing else starts before the pick has ended.
    void SelectOnScreen(const std::string& set) override { Call("SelectOnScreen", {Q(set)}, kPickTimeoutMs, true); }
    std::vector<std::string> SelectionSetEntities(const std::string& set) override {
        return Strings(One("SelectionSetEntities", {Q(set)}));
    }
    std::string AddCircle(const Point& c, double r) override { return Str(One("AddCircle", {PointToBus(c), r})); }
    std::string AddText(const std::string& text, const Point& at, double height) override {
        return Str(One("AddText", {Q(text), PointToBus(at), height}));
    }
    std::string EntityName(const std::string& h) override { return Str(One("EntityName", {Q(h)})); }
    std::string Layer(const std::string& h) override { return Str(One("Layer", {Q(h)})); }
    void SetLayer(const std::string& h, const std::string& layer) override { Call("SetLayer", {Q(h), Q(layer)}); }
    XData GetXData(const std::string& h, const std::string& app) override {
        QList<QVariant> r = Call("GetXData", {Q(h), Q(app)});
        XData out;
        if (r.size() != 2) Gone("GetXData");
        out.types = Shorts(r[0]);
        if (!Values(r[1], out.values) || out.values.size() != out.types.size())
            throw vb::VbError(vb::errTypeMismatch, "The drawing program sent extended data this program cannot read");
        return out;
    }
    void SetXData(const std::string& h, const XData& data) override {
        Call("SetXData", {Q(h), ShortsToBus(data.types), ValuesToBus(data.values)});
    }
    Point StartPoint(const std::string& h) override { return PointOf(One("StartPoint", {Q(h)})); }
    Point EndPoint(const std::string& h) override { return PointOf(One("EndPoint", {Q(h)})); }
    Point Center(const std::string& h) override { return PointOf(One("Center", {Q(h)})); }
    double Diameter(const std::string& h) override { return One("Diameter", {Q(h)}).toDouble(); }
    std::string TextString(const std::string& h) override { return Str(One("TextString", {Q(h)})); }
    double Rotation(const std::string& h) override { return One("Rotation", {Q(h)}).toDouble(); }
    void SetRotation(const std::string& h, double r) override { Call("SetRotation", {Q(h), r}); }
    int Alignment(const std::string& h) override { return One("Alignment", {Q(h)}).toInt(); }
    void SetAlignment(const std::string& h, int a) override { Call("SetAlignment", {Q(h), a}); }
    Point TextAlignmentPoint(const std::string& h) override { return PointOf(One("TextAlignmentPoint", {Q(h)})); }
    void SetTextAlignmentPoint(const std::string& h, const Point& p) override {
        Call("SetTextAlignmentPoint", {Q(h), PointToBus(p)});
    }
    std::vector<double> Coordinates(const std::string& h) override { return Doubles(One("Coordinates", {Q(h)})); }
    void Save() override { Call("Save", {}); }
    void SaveAs(const std::string& path) override { Call("SaveAs", {Q(path)}); }
    void ScriptNextPick(const std::vector<std::string>& handles) override {
        QStringList list;
        for (const std::string& h : handles) list << Q(h);
        Call("ScriptNextPick", {list});
    }

private:
    [[noreturn]] static void Gone(const char* member) {
        throw vb::VbError(kErrGone, std::string("The drawing program gave no answer to ") + member);
    }

    static QVariant ShortsToBus(const std::vector<int16_t>& v) {
        return QVariant::fromValue(QList<short>(v.begin(), v.end()));
    }

    static QVariant ValuesToBus(const std::vector<vb::Variant>& values) {
        QVariantList list;
        for (const vb::Variant& v : values) list << QVariant::fromValue(QDBusVariant(ToBus(v)));
        return list;
    }

    static Point PointOf(const QVariant& q) {
        std::vector<double> d = Doubles(q);
        if (d.size() != 3) throw vb::VbError(vb::errTypeMismatch, "The drawing program sent a point without three numbers");
        return {d[0], d[1], d[2]};
    }

    QList<QVariant> Call(const char* member, const QList<QVariant>& args, int timeout = kCallTimeoutMs,
                         bool paintWhileWaiting = false) {
        QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QLatin1String(member));
        call.setArguments(args);
        QDBusMessage reply;
        if (paintWhileWaiting) {
            QDBusPendingCallWatcher watcher(bus_.asyncCall(call, timeout));
            if (!watcher.isFinished()) {
                QEventLoop wait;
                QObject::connect(&watcher, &QDBusPendingCallWatcher::finished, &wait, &QEventLoop::quit);
                wait.exec(QEventLoop::ExcludeUserInputEvents);
            }
            reply = watcher.reply();
        } else {
            reply = bus_.call(call, QDBus::Block, timeout);
        }
        if (reply.type() == QDBusMessage::ReplyMessage) return reply.arguments();
        QString name = reply.errorName();
        std::string text = reply.errorMessage().toStdString();
        if (name == kFailure) {
            // "<number> <description>"
            size_t space = text.find(' ');
            int32_t number = 0;
            try {
                number = static_cast<int32_t>(std::stol(text.substr(0, space)));
            } catch (...) {
                number = 440;
            }
            throw vb::VbError(number, space == std::string::npos ? std::string() : text.substr(space + 1), "sewercad");
        }
        if (name == QLatin1String("org.freedesktop.DBus.Error.InvalidArgs"))
            throw vb::VbError(vb::errInvalidProcedureCall, text, "sewercad");
        throw vb::VbError(kErrGone, StandardGone() + " (" + name.toStdString() + ": " + text + ")", "sewercad");
    }

    QVariant One(const char* member, const QList<QVariant>& args) {
        QList<QVariant> r = Call(member, args);
        if (r.size() != 1) Gone(member);
        return r.front();
    }

    static std::string StandardGone() { return vb::StandardErrorDescription(kErrGone); }

    QDBusConnection bus_;
};

}  // namespace

ClientRef AttachBus() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface()) return nullptr;
    if (!bus.interface()->isServiceRegistered(kService).value()) return nullptr;
    return std::make_shared<BusClient>(bus);
}

void InstallBusAttacher() { SetAttacher(&AttachBus); }

}  // namespace cad::bus
