// What the drawing program and the design tool agree on over the session
// bus: the names, the methods with their argument signatures, how a failure
// travels, and how the runtime's Variants become bus values and back.
// Shared by the proxy (bus_client) and the program's side (bus_server).
#pragma once

#include <QByteArray>
#include <QDBusMessage>
#include <QList>
#include <QString>
#include <QStringList>
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

// EntityData: the batched read behind the client's copy of a selection
// set.  Arguments: the handles, the property ("EntityName", "Layer",
// "TextString", "StartPoint", "EndPoint", "Center" or "GetXData") and the
// application of GetXData.  Results: the drawing's revision (it changes with
// every change of the drawing or of its selection sets), one flag per handle
// answered (a reply answers the first handles, as many as fit its size; a
// handle for which the single call would fail has flag 0 and nothing else),
// the strings of the string properties and of extended data, the numbers of
// the points (three each) and of extended data, one tag per extended-data
// value (see PackedValues), the type codes of extended data and the number
// of extended-data entries of each entity answered.
inline constexpr int kEntityDataMaxHandles = 4096;
inline constexpr size_t kEntityDataReplyBytes = 4u << 20;

// Values packed without a bus variant each: per value one tag, 's' a string
// (in strings), 'd' a Double, 'n' an Integer, 'i' a Long, 'b' a Boolean,
// 'y' a Byte (each one number) and 'a' an array of Doubles (its length, then
// its elements, in numbers).  Unpacked, each value is what FromBus(ToBus(v))
// gives.
struct PackedValues {
    QByteArray tags;
    QStringList strings;
    QList<double> numbers;
};
// Raises vb::VbError 13 for what the bus cannot carry, as ToBus does.
void Pack(const vb::Variant& v, PackedValues& out);

// Takes the values back in order; Next is false when the lists run out or
// hold a value out of range.
class Unpacker {
public:
    // From the given positions in the three lists.
    Unpacker(const QByteArray& tags, const QStringList& strings, const QList<double>& numbers, qsizetype tag = 0,
             qsizetype string = 0, qsizetype number = 0)
        : tags_(tags), strings_(strings), numbers_(numbers), tag_(tag), string_(string), number_(number) {}
    bool Next(vb::Variant& out);

private:
    const QByteArray& tags_;
    const QStringList& strings_;
    const QList<double>& numbers_;
    qsizetype tag_ = 0, string_ = 0, number_ = 0;
};

std::vector<uint32_t> Counts(const QVariant& q);   // an "au" argument
QByteArray Bytes(const QVariant& q);               // an "ay" argument

QVariant PointToBus(const Point& p);
QString Q(const std::string& s);

}  // namespace cad::bus
