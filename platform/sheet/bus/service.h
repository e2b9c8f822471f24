// The workbook program's side of the bus: the in-process program published
// under the names of names.h.  Calls with wrong arguments are refused by the
// bus layer; failures of a call come back as error replies.
#pragma once

#include <QByteArray>
#include <QDBusContext>
#include <QObject>
#include <QString>

#include "platform/sheet/bus/names.h"
#include "platform/sheet/client.h"

namespace sheet::bus {

class ApplicationService : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.sewerdesign.SewerSheet.Application")

public:
    explicit ApplicationService(LocalApplication& app, QObject* parent = nullptr) : QObject(parent), app_(app) {}
    // Registers the object and takes the service name on the session bus;
    // false (with the reason) when the bus is missing or the name is taken.
    bool Publish(QString* error);

public Q_SLOTS:
    Q_SCRIPTABLE void Open(const QString& path);
    Q_SCRIPTABLE void Close();
    Q_SCRIPTABLE QString ActiveWorkbook();
    // The active sheet's used range in the byte form of EncodeSheet; empty
    // when no workbook is open.
    Q_SCRIPTABLE QByteArray ActiveSheet();
    Q_SCRIPTABLE bool IsVisible();
    Q_SCRIPTABLE void SetVisible(bool visible);

private:
    LocalApplication& app_;
};

}  // namespace sheet::bus
