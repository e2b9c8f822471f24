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
#include <string_view>
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
// set.  Arguments: the handles separated by spaces, the property
// ("EntityName", "Layer", "TextString", "StartPoint", "EndPoint", "Center" or
// "GetXData") and the application of GetXData.  Results: the drawing's
// revision (it changes with every change of the drawing or of its selection
// sets), then six byte arrays, each read whole rather than element by
// element: one flag per handle answered (a reply answers the first handles,
// as many as fit its size; a handle for which the single call would fail has
// flag 0 and nothing else), and the answers packed as PackedValues (the
// strings of the text properties, the points as three numbers each, the
// values of extended data), the 16-bit type codes of extended data and the
// 32-bit number of extended-data entries of each entity answered.  Numbers
// travel in this machine's byte order: the session bus joins processes of
// one machine.
inline constexpr int kEntityDataMaxHandles = 4096;
// The handles of one call take at most this many bytes, well under the
// program's limit on a string argument.
inline constexpr size_t kEntityDataHandleBytes = 32 * 1024;
inline constexpr size_t kEntityDataReplyBytes = 4u << 20;
// How many members the client asks for in its piece number `piece` (0 for
// the first) of one property: 256, doubling up to kEntityDataMaxHandles, so
// that the first answers come at once and the rest in few calls.
size_t EntityDataPieceSize(uint32_t piece);
// The end of a piece from members[first] of at most `most` members whose
// handles, each with its separating space, take at most
// kEntityDataHandleBytes (one member at least, however long its handle).
size_t EntityDataPieceEnd(const std::vector<std::string>& members, size_t first, size_t most);

// Values packed without a bus variant each: per value one tag, 's' a string
// (UTF-8 in strings, ended by a zero byte), 'd' a Double, 'n' an Integer,
// 'i' a Long, 'b' a Boolean, 'y' a Byte (each one number, a double in
// numbers) and 'a' an array of Doubles (its length, then its elements).
// Unpacked, each value is what FromBus(ToBus(v)) gives.
struct PackedValues {
    std::string tags;
    std::string strings;
    std::string numbers;
    // Raises vb::VbError 13 for a string the bus cannot carry (one holding
    // a zero character).
    void AddString(const std::string& s);
    void AddNumber(double d) { numbers.append(reinterpret_cast<const char*>(&d), sizeof d); }
};
// Raises vb::VbError 13 for what the bus cannot carry, as ToBus does.
void Pack(const vb::Variant& v, PackedValues& out);

// Packed values where they lie (as built, or in a reply's byte arrays).
struct PackedView {
    std::string_view tags, strings, numbers;
    PackedView(std::string_view t, std::string_view s, std::string_view n) : tags(t), strings(s), numbers(n) {}
    PackedView(const PackedValues& v) : tags(v.tags), strings(v.strings), numbers(v.numbers) {}
};

// Takes values back in order from given positions (a tag, a byte of the
// strings, a number); Next is false when the lists run out or hold a value
// out of range.
class Unpacker {
public:
    Unpacker(const PackedView& from, size_t tag = 0, size_t string = 0, size_t number = 0)
        : from_(from), tag_(tag), string_(string), number_(number) {}
    bool Next(vb::Variant& out);
    bool NextString(std::string& out);
    bool NextNumber(double& out);
    // Steps over the next value without making it.
    bool Skip();
    size_t Tag() const { return tag_; }
    size_t String() const { return string_; }
    size_t Number() const { return number_; }

private:
    // Steps over the next string, giving its length in bytes.
    bool StepString(size_t& length);
    PackedView from_;
    size_t tag_ = 0, string_ = 0, number_ = 0;
};

QByteArray Bytes(const QVariant& q);   // an "ay" argument

// Handles as one text, separated by spaces (no handle holds one), and back.
std::string JoinHandles(const std::vector<std::string>& handles);
std::vector<std::string> SplitHandles(const std::string& text);

QVariant PointToBus(const Point& p);
QString Q(const std::string& s);

}  // namespace cad::bus
