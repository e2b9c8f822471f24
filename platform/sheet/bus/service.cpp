#include "platform/sheet/bus/service.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>

namespace sheet::bus {

bool ApplicationService::Publish(QString* error) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        if (error) *error = "no session bus: " + bus.lastError().message();
        return false;
    }
    if (!bus.registerObject(kPath, this, QDBusConnection::ExportScriptableSlots)) {
        if (error) *error = "cannot publish the object: " + bus.lastError().message();
        return false;
    }
    if (!bus.registerService(kService)) {
        bus.unregisterObject(kPath);
        if (error) *error = QString("the name %1 is taken (is the workbook program running already?)").arg(kService);
        return false;
    }
    return true;
}

void ApplicationService::Open(const QString& path) {
    if (path.isEmpty()) {
        sendErrorReply(QDBusError::InvalidArgs, "No file name given");
        return;
    }
    try {
        app_.OpenWorkbook(path.toStdString());
    } catch (const std::exception& e) {
        sendErrorReply(QDBusError::Failed, QString::fromStdString(e.what()));
    }
}

void ApplicationService::Close() { app_.CloseWorkbooks(); }

QString ApplicationService::ActiveWorkbook() { return QString::fromStdString(app_.ActiveWorkbook()); }

QByteArray ApplicationService::ActiveSheet() {
    auto sheet = app_.ActiveSheet();
    if (!sheet) return {};
    const auto bytes = EncodeSheet(*sheet);
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}

bool ApplicationService::IsVisible() { return app_.Visible(); }

void ApplicationService::SetVisible(bool visible) { app_.Visible(visible); }

}  // namespace sheet::bus
