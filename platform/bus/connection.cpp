#include "platform/bus/connection.h"

#include <dbus/dbus.h>

#include <limits>

namespace sessionbus {

void NeverPauseReading(const QDBusConnection& connection) {
    auto* raw = static_cast<DBusConnection*>(connection.internalPointer());
    if (!raw) return;
    dbus_connection_set_max_received_size(raw, std::numeric_limits<long>::max());
    // One message may be as large as the bus allows.
    dbus_connection_set_max_message_size(raw, DBUS_MAXIMUM_MESSAGE_LENGTH);
}

QString Shortened(const QString& text, int limit) {
    if (text.size() <= limit) return text;
    return text.left(limit) + QStringLiteral("... (%1 characters)").arg(text.size());
}

}  // namespace sessionbus
