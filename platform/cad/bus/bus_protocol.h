// What the drawing program and the design tool agree on over the session
// bus: the names, the methods with their argument signatures, how a failure
// travels, and how the runtime's Variants become bus values and back.
// Shared by the proxy (bus_client) and the program's side (bus_server).
#pragma once

#include <QDBusMessage>
#include <QString>
#include <QVariant>
#include <string>
#include <vector>

#include "platform/cad/client.h"

namespace cad::bus {

inline const QString kService = QStringLiteral("org.sewerdesign.SewerCad");
inline const QString kPath = QStringLiteral("/Application");
inline const QString kInterface = QStringLiteral("org.sewerdesign.SewerCad.Application");
// A failure of a member: the message is "<number> <description>".
inline const QString kFailure = QStringLiteral("org.sewerdesign.SewerCad.Failure");

// One method of the interface: its name, the D-Bus signature of its
// arguments and of its results.  Points travel as "ad" of three numbers,
// extended data as "an" (type codes) and "av" (values).
struct Method {
    const char* name;
    const char* in;
    const char* out;
};
const std::vector<Method>& Methods();
const Method* FindMethod(const QString& name);
// The interface as introspection XML.
QString IntrospectionXml();

// A Variant as a bus value: strings, Double/Single/Currency/Date as "d",
// Integer "n", Long "i", Boolean "b", Byte "y", a one-dimensional numeric
// array as "ad".  Raises vb::VbError 13 for what the bus cannot carry.
QVariant ToBus(const vb::Variant& v);
// A bus value (as a D-Bus variant's content) as a Variant; false for a type
// this interface does not carry.
bool FromBus(const QVariant& q, vb::Variant& out);

// Reading the arguments of a received message whose signature was checked.
std::string Str(const QVariant& q);
std::vector<double> Doubles(const QVariant& q);
std::vector<std::string> Strings(const QVariant& q);
std::vector<int16_t> Shorts(const QVariant& q);
// The elements of an "av" argument; false when one is of a type the
// interface does not carry.
bool Values(const QVariant& q, std::vector<vb::Variant>& out);

QVariant PointToBus(const Point& p);
QString Q(const std::string& s);

}  // namespace cad::bus
