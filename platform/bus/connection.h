// What both of our bus programs (the drawing program and the workbook
// program) do to their session-bus connection before they serve on it.
#pragma once

#include <QDBusConnection>
#include <QString>

namespace sessionbus {

// Lets the connection take any message the bus can carry without ever
// pausing.  libdbus stops reading a connection while the messages it has
// received and not yet released exceed a limit (63 MiB by default, less than
// the bus's 128 MiB per message); QtDBus then has to turn reading back on
// from the thread that released the message, which it cannot do from the
// program's main thread, and the program never hears the bus again.  With
// the limit far beyond what the bus queues for one connection, reading never
// pauses; the handlers release every message as soon as they have answered
// it, oversize ones included.
void NeverPauseReading(const QDBusConnection& connection);

// A text as an error message may quote it: at most `limit` characters, the
// rest replaced by "..." and the full length.
QString Shortened(const QString& text, int limit = 200);

}  // namespace sessionbus
