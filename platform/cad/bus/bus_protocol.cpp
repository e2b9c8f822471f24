#include "platform/cad/bus/bus_protocol.h"

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusVariant>
#include <QStringList>
#include <QUtf8StringView>
#include <algorithm>
#include <cstring>

#include "platform/runtime/conversions.h"
#include "platform/runtime/vberror.h"

namespace cad::bus {

const std::vector<Method>& Methods() {
    static const std::vector<Method> methods = {
        {"Version", "", "s"},
        {"Visible", "", "b"},
        {"SetVisible", "b", ""},
        {"WindowState", "", "i"},
        {"SetWindowState", "i", ""},
        {"AddLayer", "s", ""},
        {"LayerColor", "s", "i"},
        {"SetLayerColor", "si", ""},
        {"ActiveLayer", "", "s"},
        {"SetActiveLayer", "s", ""},
        {"BlockItem", "s", ""},
        {"AddBlock", "ads", ""},
        {"AddSelectionSet", "s", ""},
        {"SelectionSetItem", "s", ""},
        {"DeleteSelectionSet", "s", ""},
        {"Select", "siadadanav", ""},
        {"SelectOnScreen", "s", ""},
        {"SelectionSetEntities", "s", "as"},
        {"AddCircle", "add", "s"},
        {"AddText", "sadd", "s"},
        {"EntityName", "s", "s"},
        {"Layer", "s", "s"},
        {"SetLayer", "ss", ""},
        {"GetXData", "ss", "anav"},
        {"SetXData", "sanav", ""},
        {"StartPoint", "s", "ad"},
        {"EndPoint", "s", "ad"},
        {"Center", "s", "ad"},
        {"Diameter", "s", "d"},
        {"TextString", "s", "s"},
        {"Rotation", "s", "d"},
        {"SetRotation", "sd", ""},
        {"Alignment", "s", "i"},
        {"SetAlignment", "si", ""},
        {"TextAlignmentPoint", "s", "ad"},
        {"SetTextAlignmentPoint", "sad", ""},
        {"Coordinates", "s", "ad"},
        {"Save", "", ""},
        {"SaveAs", "s", ""},
        {"ScriptNextPick", "as", ""},
        // EntityData(handles, property, application): one property of many
        // entities, for the client's copy of a selection set; see EntityData
        // in bus_protocol.h.
        {"EntityData", "sss", "tayayayayayay"},
        // SelectionSetMembers(set): SelectionSetEntities as one text, the
        // handles separated by spaces.
        {"SelectionSetMembers", "s", "s"},
    };
    return methods;
}

const Method* FindMethod(const QString& name) {
    for (const Method& m : Methods())
        if (name == QLatin1String(m.name)) return &m;
    return nullptr;
}

namespace {

// Splits a signature into its complete types ("ad", "s", ...); only the
// types this interface uses occur.
QStringList SplitSignature(const char* sig) {
    QStringList out;
    QString s = QString::fromLatin1(sig);
    for (int i = 0; i < s.size(); ++i) {
        if (s[i] == QLatin1Char('a')) {
            out << s.mid(i, 2);
            ++i;
        } else {
            out << QString(s[i]);
        }
    }
    return out;
}

}  // namespace

QString IntrospectionXml() {
    QString xml = QStringLiteral("<interface name=\"%1\">\n").arg(kInterface);
    for (const Method& m : Methods()) {
        xml += QStringLiteral("  <method name=\"%1\">\n").arg(QLatin1String(m.name));
        int n = 0;
        for (const QString& t : SplitSignature(m.in))
            xml += QStringLiteral("    <arg name=\"a%1\" type=\"%2\" direction=\"in\"/>\n").arg(n++).arg(t);
        for (const QString& t : SplitSignature(m.out))
            xml += QStringLiteral("    <arg name=\"r%1\" type=\"%2\" direction=\"out\"/>\n").arg(n++).arg(t);
        xml += QStringLiteral("  </method>\n");
    }
    xml += QStringLiteral("</interface>\n");
    return xml;
}

QString Q(const std::string& s) { return QString::fromStdString(s); }

QVariant PointToBus(const Point& p) { return QVariant::fromValue(QList<double>{p.x, p.y, p.z}); }

QVariant ToBus(const vb::Variant& v) {
    switch (v.Type()) {
        case vb::vbString: return QVariant(Q(v.RawString()));
        case vb::vbInteger: return QVariant::fromValue<short>(v.RawInteger());
        case vb::vbLong: return QVariant::fromValue<int>(v.RawLong());
        case vb::vbBoolean: return QVariant(v.RawBoolean());
        case vb::vbByte: return QVariant::fromValue<uchar>(v.RawByte());
        case vb::vbSingle:
        case vb::vbDouble:
        case vb::vbCurrency:
        case vb::vbDate: return QVariant(vb::CDbl(v));
        default: break;
    }
    if (v.IsArray() && v.Dimensions() == 1) {
        QList<double> list;
        for (int32_t i = v.LBound(); i <= v.UBound(); ++i) list << vb::CDbl(v.Element(i));
        return QVariant::fromValue(list);
    }
    throw vb::VbError(vb::errTypeMismatch, "A value of type " + vb::TypeName(v) + " cannot be sent to the drawing program");
}

bool FromBus(const QVariant& q, vb::Variant& out) {
    switch (q.metaType().id()) {
        case QMetaType::QString: out = vb::Variant(q.toString().toStdString()); return true;
        case QMetaType::Double: out = vb::Variant(q.toDouble()); return true;
        case QMetaType::Short: out = vb::Variant(static_cast<int16_t>(q.value<short>())); return true;
        case QMetaType::Int: out = vb::Variant(static_cast<int32_t>(q.toInt())); return true;
        case QMetaType::Bool: out = vb::Variant(q.toBool()); return true;
        case QMetaType::UChar: out = vb::Variant(static_cast<uint8_t>(q.value<uchar>())); return true;
        default: break;
    }
    if (q.canConvert<QDBusArgument>() || q.metaType() == QMetaType::fromType<QList<double>>()) {
        if (q.canConvert<QDBusArgument>()) {
            const QDBusArgument arg = q.value<QDBusArgument>();
            if (arg.currentSignature() != QLatin1String("ad")) return false;
        }
        std::vector<double> d = Doubles(q);
        vb::Variant a = vb::Variant::MakeArray(vb::vbDouble, {{0, static_cast<int32_t>(d.size()) - 1}});
        for (size_t i = 0; i < d.size(); ++i) a.SetElement(static_cast<int32_t>(i), vb::Variant(d[i]));
        out = a;
        return true;
    }
    return false;
}

void PackedValues::AddString(const std::string& s) {
    if (QUtf8StringView(s).isValidUtf8() && s.find('\0') == std::string::npos) {
        strings.append(s.data(), s.size() + 1);
        return;
    }
    // Through QString as the single calls send it, so that text that is not
    // valid UTF-8 arrives alike.
    const QByteArray utf8 = Q(s).toUtf8();
    if (utf8.contains('\0')) throw vb::VbError(vb::errTypeMismatch, "A text with a zero character cannot be sent to the drawing program");
    strings.append(utf8.constData(), static_cast<size_t>(utf8.size()));
    strings.push_back('\0');
}

void Pack(const vb::Variant& v, PackedValues& out) {
    switch (v.Type()) {
        case vb::vbString: out.AddString(v.RawString()); out.tags.push_back('s'); return;
        case vb::vbInteger: out.tags.push_back('n'); out.AddNumber(v.RawInteger()); return;
        case vb::vbLong: out.tags.push_back('i'); out.AddNumber(v.RawLong()); return;
        case vb::vbBoolean: out.tags.push_back('b'); out.AddNumber(v.RawBoolean() ? 1 : 0); return;
        case vb::vbByte: out.tags.push_back('y'); out.AddNumber(v.RawByte()); return;
        case vb::vbSingle:
        case vb::vbDouble:
        case vb::vbCurrency:
        case vb::vbDate: out.tags.push_back('d'); out.AddNumber(vb::CDbl(v)); return;
        default: break;
    }
    if (v.IsArray() && v.Dimensions() == 1) {
        out.tags.push_back('a');
        out.AddNumber(static_cast<double>(int64_t(v.UBound()) - v.LBound() + 1));
        for (int32_t i = v.LBound(); i <= v.UBound(); ++i) out.AddNumber(vb::CDbl(v.Element(i)));
        return;
    }
    // The same refusal as ToBus, so that a batched read fails where a single one would.
    ToBus(v);
}

bool Unpacker::StepString(size_t& length) {
    const size_t size = from_.strings.size();
    if (string_ >= size) return false;
    const char* begin = from_.strings.data() + string_;
    const void* zero = std::memchr(begin, 0, size - string_);
    if (!zero) return false;
    length = static_cast<size_t>(static_cast<const char*>(zero) - begin);
    string_ += length + 1;
    return true;
}

bool Unpacker::NextString(std::string& out) {
    const size_t begin = string_;
    size_t length = 0;
    if (!StepString(length)) return false;
    out.assign(from_.strings.data() + begin, length);
    return true;
}

bool Unpacker::NextNumber(double& out) {
    if ((number_ + 1) * sizeof(double) > from_.numbers.size()) return false;
    std::memcpy(&out, from_.numbers.data() + number_ * sizeof(double), sizeof(double));
    ++number_;
    return true;
}

// The numbers left after the current one.
static double NumbersLeft(const PackedView& from, size_t number) {
    return static_cast<double>(from.numbers.size() / sizeof(double) - number);
}

bool Unpacker::Next(vb::Variant& out) {
    if (tag_ >= from_.tags.size()) return false;
    const char tag = from_.tags[tag_++];
    if (tag == 's') {
        std::string text;
        if (!NextString(text)) return false;
        out = vb::Variant(std::move(text));
        return true;
    }
    double d = 0;
    if (!NextNumber(d)) return false;
    switch (tag) {
        case 'd': out = vb::Variant(d); return true;
        case 'n': out = vb::Variant(static_cast<int16_t>(d)); return d >= -32768 && d <= 32767;
        case 'i': out = vb::Variant(static_cast<int32_t>(d)); return d >= -2147483648.0 && d <= 2147483647.0;
        case 'b': out = vb::Variant(d != 0); return true;
        case 'y': out = vb::Variant(static_cast<uint8_t>(d)); return d >= 0 && d <= 255;
        case 'a': {
            if (!(d >= 0) || d > NumbersLeft(from_, number_)) return false;
            const int32_t n = static_cast<int32_t>(d);
            vb::Variant a = vb::Variant::MakeArray(vb::vbDouble, {{0, n - 1}});
            for (int32_t i = 0; i < n; ++i) {
                double e = 0;
                NextNumber(e);
                a.SetElement(i, vb::Variant(e));
            }
            out = a;
            return true;
        }
        default: return false;
    }
}

bool Unpacker::Skip() {
    if (tag_ >= from_.tags.size()) return false;
    const char tag = from_.tags[tag_++];
    if (tag == 's') {
        size_t length = 0;
        return StepString(length);
    }
    double d = 0;
    if (!NextNumber(d)) return false;
    if (tag != 'a') return true;
    if (!(d >= 0) || d > NumbersLeft(from_, number_)) return false;
    number_ += static_cast<size_t>(d);
    return true;
}

size_t EntityDataPieceSize(uint32_t piece) {
    return std::min<size_t>(kEntityDataMaxHandles, size_t(256) << std::min<uint32_t>(piece, 4));
}

size_t EntityDataPieceEnd(const std::vector<std::string>& members, size_t first, size_t most) {
    size_t end = first, bytes = 0;
    while (end < members.size() && end - first < most) {
        bytes += members[end].size() + 1;
        if (bytes > kEntityDataHandleBytes && end > first) break;
        ++end;
    }
    return end;
}

std::string JoinHandles(const std::vector<std::string>& handles) {
    std::string text;
    for (const std::string& h : handles) {
        if (!text.empty()) text += ' ';
        text += h;
    }
    return text;
}

std::vector<std::string> SplitHandles(const std::string& text) {
    std::vector<std::string> out;
    for (size_t at = 0; at < text.size();) {
        size_t space = text.find(' ', at);
        if (space == std::string::npos) space = text.size();
        if (space > at) out.push_back(text.substr(at, space - at));
        at = space + 1;
    }
    return out;
}

QByteArray Bytes(const QVariant& q) {
    return q.canConvert<QDBusArgument>() ? qdbus_cast<QByteArray>(q) : q.toByteArray();
}

std::string Str(const QVariant& q) { return q.toString().toStdString(); }

std::vector<double> Doubles(const QVariant& q) {
    QList<double> list = q.canConvert<QDBusArgument>() ? qdbus_cast<QList<double>>(q) : q.value<QList<double>>();
    return std::vector<double>(list.begin(), list.end());
}

std::vector<std::string> Strings(const QVariant& q) {
    QStringList list = q.canConvert<QDBusArgument>() ? qdbus_cast<QStringList>(q) : q.toStringList();
    std::vector<std::string> out;
    for (const QString& s : list) out.push_back(s.toStdString());
    return out;
}

std::vector<int16_t> Shorts(const QVariant& q) {
    QList<short> list = q.canConvert<QDBusArgument>() ? qdbus_cast<QList<short>>(q) : q.value<QList<short>>();
    return std::vector<int16_t>(list.begin(), list.end());
}

bool Values(const QVariant& q, std::vector<vb::Variant>& out) {
    QVariantList list = q.canConvert<QDBusArgument>() ? qdbus_cast<QVariantList>(q) : q.toList();
    out.clear();
    for (const QVariant& item : list) {
        QVariant inner = item.canConvert<QDBusVariant>() && item.metaType() == QMetaType::fromType<QDBusVariant>()
                             ? item.value<QDBusVariant>().variant()
                             : item;
        vb::Variant v;
        if (!FromBus(inner, v)) return false;
        out.push_back(std::move(v));
    }
    return true;
}

}  // namespace cad::bus
