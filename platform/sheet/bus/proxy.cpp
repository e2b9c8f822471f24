// The bus proxy: every member is one blocking call to the running program.
#include <QByteArray>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QString>
#include <algorithm>
#include <vector>

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
    std::string ActiveWorkbook() override { return Call("ActiveWorkbook", {}).value(0).toString().toStdString(); }
    // The sheet comes in parts, each well under what one bus message holds.
    std::shared_ptr<const Sheet> ActiveSheet() override {
        const QList<QVariant> head = Call("ActiveSheetParts", {});
        const uint parts = head.value(0).toUInt();
        const qulonglong size = head.value(1).toULongLong();
        if (parts == 0) return nullptr;
        if (size > kMaxSheetBytes || parts != SheetParts(size)) {
            throw vb::VbError(kErrWorkbook, "The workbook program announced a sheet it cannot send", "sewersheet");
        }
        std::vector<uint8_t> bytes;
        bytes.reserve(size);
        for (uint i = 0; i < parts; ++i) {
            const QByteArray part = Call("ActiveSheetPart", {QVariant::fromValue(i)}).value(0).toByteArray();
            if (static_cast<qulonglong>(part.size()) != std::min<qulonglong>(kSheetPartBytes, size - bytes.size())) {
                throw vb::VbError(kErrWorkbook, "The workbook program sent a part of the sheet of the wrong size", "sewersheet");
            }
            bytes.insert(bytes.end(), part.begin(), part.end());
        }
        return DecodeSheet(bytes.data(), bytes.size());
    }
    bool Visible() override { return Call("IsVisible", {}).value(0).toBool(); }
    void Visible(bool v) override { Call("SetVisible", {v}); }

private:
    QList<QVariant> Call(const char* method, const QList<QVariant>& args) {
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
        return reply.arguments();
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
