#include "platform/cad/bus/bus_server.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QHash>
#include <QStringList>
#include <cmath>
#include <functional>
#include <unistd.h>

#include "platform/bus/connection.h"
#include "platform/cad/bus/bus_protocol.h"
#include "platform/runtime/vberror.h"

namespace cad::bus {

namespace {

using Args = QList<QVariant>;
using Handler = std::function<Args(const Args&)>;

Point PointArg(const QVariant& q) {
    std::vector<double> d = Doubles(q);
    if (d.size() != 3) throw vb::VbError(vb::errInvalidProcedureCall, "A point is three numbers");
    return {d[0], d[1], d[2]};
}

std::vector<vb::Variant> ValuesArg(const QVariant& q) {
    std::vector<vb::Variant> out;
    if (!Values(q, out)) throw vb::VbError(vb::errInvalidProcedureCall, "A value of a type this interface does not carry");
    return out;
}

QVariant ValuesToBus(const std::vector<vb::Variant>& values) {
    QVariantList list;
    for (const vb::Variant& v : values) list << QVariant::fromValue(QDBusVariant(ToBus(v)));
    return list;
}

QStringList ToList(const std::vector<std::string>& v) {
    QStringList out;
    for (const std::string& s : v) out << Q(s);
    return out;
}

constexpr int kErrOutOfMemory = 7;
static_assert(kEntityDataHandleBytes < kMaxStringArgumentBytes, "the handles of a batched read fit one string argument");

// One property of many entities in one reply (EntityData in bus_protocol.h):
// as many handles as fit kEntityDataReplyBytes, at least one.  A handle whose
// single call fails is answered with flag 0, so that the client makes that
// call itself and meets the failure as it always did.
Args EntityData(LocalClient& c, const std::string& handleList, const std::string& property, const std::string& application) {
    using TextOf = std::string (LocalClient::*)(const std::string&);
    using PointOf = Point (LocalClient::*)(const std::string&);
    static const std::pair<const char*, TextOf> kTexts[] = {
        {"EntityName", &LocalClient::EntityName}, {"Layer", &LocalClient::Layer}, {"TextString", &LocalClient::TextString}};
    static const std::pair<const char*, PointOf> kPoints[] = {
        {"StartPoint", &LocalClient::StartPoint}, {"EndPoint", &LocalClient::EndPoint}, {"Center", &LocalClient::Center}};
    TextOf text = nullptr;
    PointOf place = nullptr;
    for (const auto& [name, member] : kTexts)
        if (property == name) text = member;
    for (const auto& [name, member] : kPoints)
        if (property == name) place = member;
    const bool extended = !text && !place;
    if (extended && property != "GetXData")
        throw vb::VbError(vb::errInvalidProcedureCall, "EntityData reads no property \"" + property + "\"");
    const std::vector<std::string> handles = SplitHandles(handleList);
    if (handles.size() > static_cast<size_t>(kEntityDataMaxHandles))
        throw vb::VbError(vb::errInvalidProcedureCall, "EntityData takes at most " + std::to_string(kEntityDataMaxHandles) + " handles");
    std::string given, types, counts;
    PackedValues values;
    const size_t n = handles.size();
    values.strings.reserve(place ? 0 : 32 * n);
    values.numbers.reserve(text ? 0 : 24 * n);
    for (const std::string& h : handles) {
        if (values.strings.size() + values.numbers.size() + types.size() >= kEntityDataReplyBytes) break;
        // What an entity adds is taken back when its call fails.
        const size_t strings = values.strings.size(), numbers = values.numbers.size(), tags = values.tags.size(),
                     typesAt = types.size();
        try {
            if (text) {
                values.AddString((c.*text)(h));
            } else if (place) {
                const Point p = (c.*place)(h);
                values.AddNumber(p.x);
                values.AddNumber(p.y);
                values.AddNumber(p.z);
            } else {
                const XData x = c.GetXData(h, application);
                for (const vb::Variant& v : x.values) Pack(v, values);
                types.append(reinterpret_cast<const char*>(x.types.data()), x.types.size() * sizeof(int16_t));
                const uint32_t n = static_cast<uint32_t>(x.size());
                counts.append(reinterpret_cast<const char*>(&n), sizeof n);
            }
            // An entity whose answer alone outgrows a piece (a long text,
            // much extended data) is left to its single call, which answers
            // or refuses it as it always did: a reply never nears the bus's
            // limit on an array.
            if (values.strings.size() - strings + values.numbers.size() - numbers + types.size() - typesAt > kEntityDataReplyBytes)
                throw vb::VbError(kErrOutOfMemory, "one entity's answer is larger than a piece");
            given.push_back('\1');
        } catch (const std::exception&) {
            values.strings.resize(strings);
            values.numbers.resize(numbers);
            values.tags.resize(tags);
            types.resize(typesAt);
            given.push_back('\0');
            if (extended) {
                counts.resize(given.size() * sizeof(uint32_t) - sizeof(uint32_t));   // the count, if added
                counts.append(sizeof(uint32_t), '\0');                                // no entries
            }
        }
    }
    auto bytes = [](const std::string& s) { return QByteArray(s.data(), static_cast<qsizetype>(s.size())); };
    return Args{QVariant::fromValue(static_cast<qulonglong>(c.Revision())), bytes(given), bytes(values.strings),
                bytes(values.numbers), bytes(values.tags), bytes(types), bytes(counts)};
}

}  // namespace

class ApplicationObject : public QDBusVirtualObject {
public:
    ApplicationObject(LocalClient& client, BusServer::PickStarter startPick, bool testHooks)
        : client_(client), startPick_(std::move(startPick)), testHooks_(testHooks) {
        Build();
    }

    QString introspect(const QString&) const override { return IntrospectionXml(); }

    // Calls of a caller whose user is not known yet wait (in order) until the
    // bus has told it; the program never waits for the bus while serving.
    bool handleMessage(const QDBusMessage& msg, const QDBusConnection& connection) override {
        if (msg.type() != QDBusMessage::MethodCallMessage) return false;
        if (!msg.interface().isEmpty() && msg.interface() != kInterface) return false;
        QDBusConnection bus(connection);
        Caller& caller = callers_[msg.service()];
        switch (caller.user) {
            case User::Same: Serve(msg, bus); break;
            case User::Other: RefuseOtherUser(msg, bus); break;
            case User::Unknown:
            case User::Asking:
                if (Refused(msg, bus)) break;
                if (caller.waiting.size() >= kMaxWaitingCalls) {
                    bus.send(msg.createErrorReply(QDBusError::LimitsExceeded,
                                                  QStringLiteral("Too many calls before the caller's user was known")));
                    break;
                }
                msg.setDelayedReply(true);
                caller.waiting.push_back(msg);
                if (caller.user == User::Unknown) AskUser(msg.service(), bus);
                break;
        }
        return true;
    }

private:
    enum class User { Unknown, Asking, Same, Other };
    struct Caller {
        User user = User::Unknown;
        std::vector<QDBusMessage> waiting;
    };
    static constexpr size_t kMaxWaitingCalls = 256;

    // Asks the bus which user the caller runs as, without waiting for the
    // answer; each caller is asked about once.
    void AskUser(const QString& sender, QDBusConnection& bus) {
        callers_[sender].user = User::Asking;
        QDBusMessage ask = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                                                          QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetConnectionUnixUser"));
        ask << sender;
        auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(ask), this);
        QObject::connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, sender, bus](QDBusPendingCallWatcher* w) mutable {
            w->deleteLater();
            const QDBusPendingReply<uint> reply = *w;
            Caller& caller = callers_[sender];
            // An unanswered question is asked again with the caller's next call.
            caller.user = !reply.isValid() ? User::Unknown : reply.value() == static_cast<uint>(::getuid()) ? User::Same : User::Other;
            std::vector<QDBusMessage> waiting;
            waiting.swap(caller.waiting);
            const User user = caller.user;
            for (const QDBusMessage& m : waiting) {
                if (user == User::Same) {
                    Serve(m, bus);
                } else if (user == User::Other) {
                    RefuseOtherUser(m, bus);
                } else {
                    bus.send(m.createErrorReply(QDBusError::AccessDenied,
                                                QStringLiteral("The caller's user could not be checked: %1").arg(reply.error().message())));
                }
            }
        });
    }

    static void RefuseOtherUser(const QDBusMessage& msg, QDBusConnection& bus) {
        bus.send(msg.createErrorReply(QDBusError::AccessDenied, QStringLiteral("Only the same user may drive the drawing program")));
    }

    void Serve(const QDBusMessage& msg, QDBusConnection& bus) {
        if (Refused(msg, bus)) return;
        if (msg.member() == QLatin1String("SelectOnScreen") && !client_.HasScriptedPick()) {
            StartPick(msg, bus);
            return;
        }
        if (msg.member() == QLatin1String("ScriptNextPick") && !testHooks_) {
            bus.send(msg.createErrorReply(QDBusError::AccessDenied, QStringLiteral("ScriptNextPick needs --test-hooks")));
            return;
        }
        bus.send(Run(msg, [&] { return handlers_.value(msg.member())(msg.arguments()); }));
    }

    // Refuses (with a bus error) a call of no member, of the wrong argument
    // types or with an argument beyond the limits; true when it did.  Asked
    // before a call waits for its caller's user too, so that an oversize
    // message is let go at once rather than held.
    static bool Refused(const QDBusMessage& msg, QDBusConnection& bus) {
        const Method* method = FindMethod(msg.member());
        if (!method) {
            bus.send(msg.createErrorReply(QDBusError::UnknownMethod, QStringLiteral("No member %1").arg(msg.member())));
            return true;
        }
        if (msg.signature() != QLatin1String(method->in)) {
            bus.send(msg.createErrorReply(QDBusError::InvalidArgs, QStringLiteral("%1 takes (%2), not (%3)")
                                                                      .arg(msg.member(), QLatin1String(method->in), msg.signature())));
            return true;
        }
        for (const QVariant& arg : msg.arguments()) {
            switch (Inspect(arg)) {
                case Problem::None: continue;
                case Problem::LongString:
                    bus.send(msg.createErrorReply(QDBusError::LimitsExceeded, QStringLiteral("%1: a string argument is longer than the limit of %2 bytes")
                                                                                  .arg(msg.member()).arg(kMaxStringArgumentBytes)));
                    return true;
                case Problem::LongList:
                    bus.send(msg.createErrorReply(QDBusError::LimitsExceeded, QStringLiteral("%1: a list argument holds more than the limit of %2 items")
                                                                                  .arg(msg.member()).arg(kMaxListArgumentItems)));
                    return true;
                case Problem::NotFinite:
                    bus.send(msg.createErrorReply(kFailure, QStringLiteral("%1 %2: a number argument is not finite")
                                                                .arg(vb::errInvalidProcedureCall).arg(msg.member())));
                    return true;
            }
        }
        return false;
    }

    // What is wrong with an argument, looking into its lists and variants.
    enum class Problem { None, LongString, LongList, NotFinite };
    static bool TooLong(const QString& s) {
        // A UTF-16 unit is at least one and at most three bytes of UTF-8.
        const auto limit = static_cast<qsizetype>(kMaxStringArgumentBytes);
        return s.size() > limit || (s.size() * 3 > limit && s.toUtf8().size() > limit);
    }
    static Problem Inspect(const QVariant& v) {
        const QMetaType type = v.metaType();
        if (type == QMetaType::fromType<QString>()) return TooLong(v.toString()) ? Problem::LongString : Problem::None;
        if (type == QMetaType::fromType<double>()) return std::isfinite(v.toDouble()) ? Problem::None : Problem::NotFinite;
        if (type == QMetaType::fromType<QStringList>()) {
            const QStringList list = v.toStringList();
            if (list.size() > kMaxListArgumentItems) return Problem::LongList;
            for (const QString& s : list)
                if (TooLong(s)) return Problem::LongString;
            return Problem::None;
        }
        if (type == QMetaType::fromType<QDBusVariant>()) return Inspect(v.value<QDBusVariant>().variant());
        if (type == QMetaType::fromType<QByteArray>())
            return v.toByteArray().size() > kMaxListArgumentItems ? Problem::LongList : Problem::None;
        if (type == QMetaType::fromType<QDBusArgument>()) {
            // Reading a copy leaves the message's own argument unread.  A
            // variant may hold structures and maps as well as arrays: their
            // members are looked into alike, keys and values each an item.
            const QDBusArgument arg = v.value<QDBusArgument>();
            const QDBusArgument::ElementType kind = arg.currentType();
            if (kind == QDBusArgument::ArrayType) arg.beginArray();
            else if (kind == QDBusArgument::StructureType) arg.beginStructure();
            else if (kind == QDBusArgument::MapType) arg.beginMap();
            else return Problem::None;
            for (int n = 0; !arg.atEnd(); ++n) {
                if (n >= kMaxListArgumentItems) return Problem::LongList;
                if (kind == QDBusArgument::MapType) arg.beginMapEntry();
                for (int part = 0; part < (kind == QDBusArgument::MapType ? 2 : 1); ++part) {
                    const Problem p = Inspect(arg.asVariant());
                    if (p != Problem::None) return p;
                }
                if (kind == QDBusArgument::MapType) arg.endMapEntry();
            }
        }
        return Problem::None;
    }

    // The reply of a member, or the failure it raised as an error reply.  A
    // description quotes at most the start of a long argument; a reply too
    // large for one bus message is refused rather than sent.
    template <class F>
    static QDBusMessage Run(const QDBusMessage& msg, F&& f) {
        try {
            const Args results = f();
            qint64 bytes = 0;
            for (const QVariant& r : results) bytes += ReplyBytes(r);
            if (bytes > kMaxReplyBytes) {
                return msg.createErrorReply(kFailure, QStringLiteral("%1 %2: the answer of about %3 bytes is larger than one bus message may carry")
                                                          .arg(kErrOutOfMemory).arg(msg.member()).arg(bytes));
            }
            return msg.createReply(results);
        } catch (const vb::VbError& e) {
            return msg.createErrorReply(kFailure, QStringLiteral("%1 %2").arg(e.Number()).arg(sessionbus::Shortened(Q(e.Description()), 1000)));
        } catch (const std::exception& e) {
            return msg.createErrorReply(kFailure, QStringLiteral("440 %1").arg(sessionbus::Shortened(QString::fromUtf8(e.what()), 1000)));
        }
    }

    // About how many bytes a result takes in a message (an upper bound for
    // the types the interface answers with).
    static constexpr qint64 kMaxReplyBytes = qint64(48) << 20;
    static qint64 ReplyBytes(const QVariant& v) {
        const QMetaType type = v.metaType();
        if (type == QMetaType::fromType<QString>()) return 8 + 3 * qint64(v.toString().size());
        if (type == QMetaType::fromType<QStringList>()) {
            qint64 n = 8;
            for (const QString& s : v.toStringList()) n += 8 + 3 * qint64(s.size());
            return n;
        }
        if (type == QMetaType::fromType<QList<double>>()) return 8 + 8 * qint64(v.value<QList<double>>().size());
        if (type == QMetaType::fromType<QList<short>>()) return 8 + 2 * qint64(v.value<QList<short>>().size());
        if (type == QMetaType::fromType<QVariantList>()) {
            qint64 n = 8;
            for (const QVariant& item : v.toList()) n += 8 + ReplyBytes(item);
            return n;
        }
        if (type == QMetaType::fromType<QDBusVariant>()) return 8 + ReplyBytes(v.value<QDBusVariant>().variant());
        if (type == QMetaType::fromType<QByteArray>()) return 8 + qint64(v.toByteArray().size());
        return 8;
    }

    // The pick waits for the user: the reply goes out when the window's pick
    // ends, and the program goes on serving meanwhile.
    void StartPick(const QDBusMessage& msg, QDBusConnection& bus) {
        const std::string set = Str(msg.arguments().value(0));
        QDBusMessage check = Run(msg, [&] {
            client_.SelectionSetItem(set);
            if (picking_) throw vb::VbError(vb::errInvalidProcedureCall, "A pick is already under way");
            if (!startPick_) throw vb::VbError(vb::errNotSupported, "This drawing program cannot pick");
            return Args{};
        });
        if (check.type() == QDBusMessage::ErrorMessage) {
            bus.send(check);
            return;
        }
        msg.setDelayedReply(true);
        picking_ = true;
        startPick_([this, msg, bus, set](std::vector<std::string> handles) mutable {
            picking_ = false;
            bus.send(Run(msg, [&] {
                client_.ScriptNextPick(handles);
                client_.SelectOnScreen(set);
                return Args{};
            }));
        });
    }

    void On(const char* name, Handler h) {
        handlers_.insert(QLatin1String(name), [this, h = std::move(h)](const Args& a) {
            client_.Used();
            return h(a);
        });
    }

    void Build() {
        LocalClient& c = client_;
        On("Version", [&c](const Args&) { return Args{Q(c.Version())}; });
        On("Visible", [&c](const Args&) { return Args{c.Visible()}; });
        On("SetVisible", [&c](const Args& a) { c.SetVisible(a[0].toBool()); return Args{}; });
        On("WindowState", [&c](const Args&) { return Args{c.WindowState()}; });
        On("SetWindowState", [&c](const Args& a) { c.SetWindowState(a[0].toInt()); return Args{}; });
        On("AddLayer", [&c](const Args& a) { c.AddLayer(Str(a[0])); return Args{}; });
        On("LayerColor", [&c](const Args& a) { return Args{c.LayerColor(Str(a[0]))}; });
        On("SetLayerColor", [&c](const Args& a) { c.SetLayerColor(Str(a[0]), a[1].toInt()); return Args{}; });
        On("ActiveLayer", [&c](const Args&) { return Args{Q(c.ActiveLayer())}; });
        On("SetActiveLayer", [&c](const Args& a) { c.SetActiveLayer(Str(a[0])); return Args{}; });
        On("BlockItem", [&c](const Args& a) { c.BlockItem(Str(a[0])); return Args{}; });
        On("AddBlock", [&c](const Args& a) { c.AddBlock(PointArg(a[0]), Str(a[1])); return Args{}; });
        On("AddSelectionSet", [&c](const Args& a) { c.AddSelectionSet(Str(a[0])); return Args{}; });
        On("SelectionSetItem", [&c](const Args& a) { c.SelectionSetItem(Str(a[0])); return Args{}; });
        On("DeleteSelectionSet", [&c](const Args& a) { c.DeleteSelectionSet(Str(a[0])); return Args{}; });
        On("Select", [&c](const Args& a) {
            c.Select(Str(a[0]), a[1].toInt(), PointArg(a[2]), PointArg(a[3]), Shorts(a[4]), ValuesArg(a[5]));
            return Args{};
        });
        On("SelectOnScreen", [&c](const Args& a) { c.SelectOnScreen(Str(a[0])); return Args{}; });
        On("SelectionSetEntities", [&c](const Args& a) { return Args{ToList(c.SelectionSetEntities(Str(a[0])))}; });
        On("AddCircle", [&c](const Args& a) { return Args{Q(c.AddCircle(PointArg(a[0]), a[1].toDouble()))}; });
        On("AddText", [&c](const Args& a) { return Args{Q(c.AddText(Str(a[0]), PointArg(a[1]), a[2].toDouble()))}; });
        On("EntityName", [&c](const Args& a) { return Args{Q(c.EntityName(Str(a[0])))}; });
        On("Layer", [&c](const Args& a) { return Args{Q(c.Layer(Str(a[0])))}; });
        On("SetLayer", [&c](const Args& a) { c.SetLayer(Str(a[0]), Str(a[1])); return Args{}; });
        On("GetXData", [&c](const Args& a) {
            XData x = c.GetXData(Str(a[0]), Str(a[1]));
            return Args{QVariant::fromValue(QList<short>(x.types.begin(), x.types.end())), ValuesToBus(x.values)};
        });
        On("SetXData", [&c](const Args& a) {
            XData x;
            x.types = Shorts(a[1]);
            x.values = ValuesArg(a[2]);
            c.SetXData(Str(a[0]), x);
            return Args{};
        });
        On("StartPoint", [&c](const Args& a) { return Args{PointToBus(c.StartPoint(Str(a[0])))}; });
        On("EndPoint", [&c](const Args& a) { return Args{PointToBus(c.EndPoint(Str(a[0])))}; });
        On("Center", [&c](const Args& a) { return Args{PointToBus(c.Center(Str(a[0])))}; });
        On("Diameter", [&c](const Args& a) { return Args{c.Diameter(Str(a[0]))}; });
        On("TextString", [&c](const Args& a) { return Args{Q(c.TextString(Str(a[0])))}; });
        On("Rotation", [&c](const Args& a) { return Args{c.Rotation(Str(a[0]))}; });
        On("SetRotation", [&c](const Args& a) { c.SetRotation(Str(a[0]), a[1].toDouble()); return Args{}; });
        On("Alignment", [&c](const Args& a) { return Args{c.Alignment(Str(a[0]))}; });
        On("SetAlignment", [&c](const Args& a) { c.SetAlignment(Str(a[0]), a[1].toInt()); return Args{}; });
        On("TextAlignmentPoint", [&c](const Args& a) { return Args{PointToBus(c.TextAlignmentPoint(Str(a[0])))}; });
        On("SetTextAlignmentPoint", [&c](const Args& a) { c.SetTextAlignmentPoint(Str(a[0]), PointArg(a[1])); return Args{}; });
        On("Coordinates", [&c](const Args& a) {
            std::vector<double> d = c.Coordinates(Str(a[0]));
            return Args{QVariant::fromValue(QList<double>(d.begin(), d.end()))};
        });
        On("Save", [&c](const Args&) { c.Save(); return Args{}; });
        On("SaveAs", [&c](const Args& a) { c.SaveAs(Str(a[0])); return Args{}; });
        On("ScriptNextPick", [&c](const Args& a) { c.ScriptNextPick(Strings(a[0])); return Args{}; });
        On("EntityData", [&c](const Args& a) { return EntityData(c, Str(a[0]), Str(a[1]), Str(a[2])); });
        On("SelectionSetMembers", [&c](const Args& a) {
            return Args{Q(JoinHandles(c.SelectionSetEntities(Str(a[0]))))};
        });
    }

    LocalClient& client_;
    BusServer::PickStarter startPick_;
    bool testHooks_;
    bool picking_ = false;
    QHash<QString, Handler> handlers_;
    QHash<QString, Caller> callers_;
};

struct BusServer::Impl {
    ApplicationObject object;
    bool registered = false;
    Impl(LocalClient& c, PickStarter p, bool t) : object(c, std::move(p), t) {}
};

BusServer::BusServer(LocalClient& client, PickStarter startPick, bool testHooks)
    : impl_(std::make_unique<Impl>(client, std::move(startPick), testHooks)) {}

BusServer::~BusServer() {
    if (impl_->registered) {
        QDBusConnection bus = QDBusConnection::sessionBus();
        bus.unregisterObject(kPath);
        bus.unregisterService(kService);
    }
}

bool BusServer::Start(std::string* error) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    auto fail = [&](const std::string& why) {
        if (error) *error = why;
        return false;
    };
    if (!bus.isConnected()) return fail("There is no session bus: " + bus.lastError().message().toStdString());
    sessionbus::NeverPauseReading(bus);
    if (!bus.registerVirtualObject(kPath, &impl_->object, QDBusConnection::SingleNode))
        return fail("The application object could not be published: " + bus.lastError().message().toStdString());
    if (!bus.registerService(kService)) {
        bus.unregisterObject(kPath);
        return fail("Another drawing program is already running (" + kService.toStdString() + " is taken)");
    }
    impl_->registered = true;
    return true;
}

}  // namespace cad::bus
