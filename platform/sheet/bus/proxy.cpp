// The bus proxy: every member is one blocking call to the running program.
#include <QByteArray>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QString>

#include "platform/sheet/bus/attach.h"
#include "platform/sheet/bus/names.h"

namespace sheet::bus {
namespace {

// Long enough for the program to read a large workbook before it answers.
constexpr int kCallTimeoutMs = 120000;

class BusClient : public SheetClient {
public:
    explicit BusClient(QDBusConnection connection) : connection_(std::move(connection)) {}

    void OpenWorkbook(const std::string& path) override { Call("Open", {QString::fromStdString(path)}); }
    void CloseWorkbooks() override { Call("Close", {}); }
    std::string ActiveWorkbook() override { return Call("ActiveWorkbook", {}).toString().toStdString(); }
    std::shared_ptr<const Sheet> ActiveSheet() override {
        const QByteArray bytes = Call("ActiveSheet", {}).toByteArray();
        if (bytes.isEmpty()) return nullptr;
        return DecodeSheet(reinterpret_cast<const uint8_t*>(bytes.constData()), static_cast<size_t>(bytes.size()));
    }
    bool Visible() override { return Call("IsVisible", {}).toBool(); }
    void Visible(bool v) override { Call("SetVisible", {v}); }

private:
    QVariant Call(const char* method, const QList<QVariant>& args) {
        QDBusMessage msg = QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
        msg.setArguments(args);
        const QDBusMessage reply = connection_.call(msg, QDBus::Block, kCallTimeoutMs);
        if (reply.type() == QDBusMessage::ErrorMessage) {
            std::string text = reply.errorMessage().toStdString();
            if (text.empty()) text = reply.errorName().toStdString();
            const QString name = reply.errorName();
            if (name == "org.freedesktop.DBus.Error.ServiceUnknown" || name == "org.freedesktop.DBus.Error.NoReply" ||
                name == "org.freedesktop.DBus.Error.Disconnected") {
                text = "The workbook program is no longer running (" + text + ")";
            }
            throw vb::VbError(kErrWorkbook, text, "sewersheet");
        }
        if (reply.type() != QDBusMessage::ReplyMessage) {
            throw vb::VbError(kErrWorkbook, "The workbook program gave no answer", "sewersheet");
        }
        return reply.arguments().isEmpty() ? QVariant() : reply.arguments().first();
    }
    QDBusConnection connection_;
};

}  // namespace

std::shared_ptr<SheetClient> AttachRunning() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface()) return nullptr;
    if (!bus.interface()->isServiceRegistered(kService).value()) return nullptr;
    return std::make_shared<BusClient>(bus);
}

}  // namespace sheet::bus
