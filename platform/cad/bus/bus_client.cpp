#include "platform/cad/bus/bus_client.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QEventLoop>
#include <QTimer>
#include <deque>
#include <cstring>
#include <map>
#include <memory>
#include <unordered_map>

#include "platform/cad/bus/bus_protocol.h"
#include "platform/runtime/vberror.h"

namespace cad::bus {

namespace {

constexpr int kCallTimeoutMs = 60 * 1000;
// The pick waits for the user.
constexpr int kPickTimeoutMs = 24 * 60 * 60 * 1000;

class BusClient : public Client {
public:
    explicit BusClient(QDBusConnection bus) : bus_(std::move(bus)) {}

    std::string Version() override { return Str(One("Version", {})); }
    bool Visible() override { return One("Visible", {}).toBool(); }
    void SetVisible(bool visible) override { Call("SetVisible", {visible}); }
    int WindowState() override { return One("WindowState", {}).toInt(); }
    void SetWindowState(int state) override { Call("SetWindowState", {state}); }
    void AddLayer(const std::string& name) override { Change("AddLayer", {Q(name)}); }
    int LayerColor(const std::string& name) override { return One("LayerColor", {Q(name)}).toInt(); }
    void SetLayerColor(const std::string& name, int color) override { Change("SetLayerColor", {Q(name), color}); }
    std::string ActiveLayer() override { return Str(One("ActiveLayer", {})); }
    void SetActiveLayer(const std::string& name) override { Change("SetActiveLayer", {Q(name)}); }
    void BlockItem(const std::string& name) override { Call("BlockItem", {Q(name)}); }
    void AddBlock(const Point& base, const std::string& name) override { Change("AddBlock", {PointToBus(base), Q(name)}); }
    void AddSelectionSet(const std::string& name) override { Change("AddSelectionSet", {Q(name)}); }
    void SelectionSetItem(const std::string& name) override { Call("SelectionSetItem", {Q(name)}); }
    void DeleteSelectionSet(const std::string& name) override { Change("DeleteSelectionSet", {Q(name)}); }
    void Select(const std::string& set, int mode, const Point& c1, const Point& c2, const std::vector<int16_t>& types,
                const std::vector<vb::Variant>& data) override {
        Change("Select", {Q(set), mode, PointToBus(c1), PointToBus(c2), ShortsToBus(types), ValuesToBus(data)});
    }
    // The pick waits for the user; meanwhile this program goes on painting
    // its windows (its pick panel tells the user what to do), but takes no
    // input, so that nothing else starts before the pick has ended.
    void SelectOnScreen(const std::string& set) override {
        copy_.reset();
        Call("SelectOnScreen", {Q(set)}, kPickTimeoutMs, true);
    }
    // The members start a new copy: what is asked of one member is then
    // fetched for the members around it in one call.
    std::vector<std::string> SelectionSetEntities(const std::string& set) override {
        copy_.reset();
        // The members as one text: a list of many short texts is slow to send.
        const QDBusMessage reply = bus_.call(Message("SelectionSetMembers", {Q(set)}), QDBus::Block, kCallTimeoutMs);
        std::vector<std::string> members;
        if (reply.type() == QDBusMessage::ErrorMessage && reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.UnknownMethod")) {
            members = Strings(One("SelectionSetEntities", {Q(set)}));   // a program without it
        } else {
            const QList<QVariant> r = Answer(reply);
            if (r.size() != 1) Gone("SelectionSetMembers");
            members = SplitHandles(Str(r.front()));
        }
        NewCopy(members);
        return members;
    }
    std::string AddCircle(const Point& c, double r) override {
        copy_.reset();
        return Str(One("AddCircle", {PointToBus(c), r}));
    }
    std::string AddText(const std::string& text, const Point& at, double height) override {
        copy_.reset();
        return Str(One("AddText", {Q(text), PointToBus(at), height}));
    }
    std::string EntityName(const std::string& h) override {
        if (std::string s; CopiedText(h, "EntityName", s)) return s;
        return Str(One("EntityName", {Q(h)}));
    }
    std::string Layer(const std::string& h) override {
        if (std::string s; CopiedText(h, "Layer", s)) return s;
        return Str(One("Layer", {Q(h)}));
    }
    void SetLayer(const std::string& h, const std::string& layer) override { Change("SetLayer", {Q(h), Q(layer)}); }
    XData GetXData(const std::string& h, const std::string& app) override {
        XData copied;
        if (CopiedXData(h, app, copied)) return copied;
        QList<QVariant> r = Call("GetXData", {Q(h), Q(app)});
        XData out;
        if (r.size() != 2) Gone("GetXData");
        out.types = Shorts(r[0]);
        if (!Values(r[1], out.values) || out.values.size() != out.types.size())
            throw vb::VbError(vb::errTypeMismatch, "The drawing program sent extended data this program cannot read");
        return out;
    }
    void SetXData(const std::string& h, const XData& data) override {
        Change("SetXData", {Q(h), ShortsToBus(data.types), ValuesToBus(data.values)});
    }
    Point StartPoint(const std::string& h) override {
        if (Point p; CopiedPoint(h, "StartPoint", p)) return p;
        return PointOf(One("StartPoint", {Q(h)}));
    }
    Point EndPoint(const std::string& h) override {
        if (Point p; CopiedPoint(h, "EndPoint", p)) return p;
        return PointOf(One("EndPoint", {Q(h)}));
    }
    Point Center(const std::string& h) override {
        if (Point p; CopiedPoint(h, "Center", p)) return p;
        return PointOf(One("Center", {Q(h)}));
    }
    double Diameter(const std::string& h) override { return One("Diameter", {Q(h)}).toDouble(); }
    std::string TextString(const std::string& h) override {
        if (std::string s; CopiedText(h, "TextString", s)) return s;
        return Str(One("TextString", {Q(h)}));
    }
    double Rotation(const std::string& h) override { return One("Rotation", {Q(h)}).toDouble(); }
    void SetRotation(const std::string& h, double r) override { Change("SetRotation", {Q(h), r}); }
    int Alignment(const std::string& h) override { return One("Alignment", {Q(h)}).toInt(); }
    void SetAlignment(const std::string& h, int a) override { Change("SetAlignment", {Q(h), a}); }
    Point TextAlignmentPoint(const std::string& h) override { return PointOf(One("TextAlignmentPoint", {Q(h)})); }
    void SetTextAlignmentPoint(const std::string& h, const Point& p) override {
        Change("SetTextAlignmentPoint", {Q(h), PointToBus(p)});
    }
    std::vector<double> Coordinates(const std::string& h) override { return Doubles(One("Coordinates", {Q(h)})); }
    void Save() override { Change("Save", {}); }
    void SaveAs(const std::string& path) override { Change("SaveAs", {Q(path)}); }
    void ScriptNextPick(const std::vector<std::string>& handles) override {
        QStringList list;
        for (const std::string& h : handles) list << Q(h);
        Call("ScriptNextPick", {list});
    }

private:
    // --- The copy of a selection set's members ---------------------------------
    // What the exchange asks of the members of the set it has just read
    // (their names, layers, points, texts, extended data) is fetched a piece
    // of members at a time, one property per call, and the single calls are
    // then answered from the copy.  The copy ends
    //   - with any change made through this client (and a new selection, a
    //     pick, a new read of a set's members),
    //   - when the drawing's revision in a later piece differs from the one
    //     the copy was taken at (a change made by anyone else: the user's
    //     opening another drawing in the program, another client): what was
    //     copied is dropped and fetched again,
    //   - when this program's event loop runs again, so that a copy never
    //     outlives the command that made it (a command holds the event loop:
    //     the drawing a command reads is the drawing as its pieces were
    //     taken, and the next command asks afresh).
    // A member for which the single call would fail is not copied: that call
    // is made as before and fails as before, so that every value and every
    // failure the exchange meets is the one the single calls gave.
    // Every answer stays as it came, a piece at a time, and is unpacked when
    // asked for.  A column keeps its last few pieces only: read in order,
    // each piece is fetched once and the copy stays small whatever the
    // drawing's size; a member whose piece was let go is fetched again.
    struct Piece {
        size_t first = 0, end = 0;   // the members it answers
        QByteArray tags, strings, numbers;   // the answers, packed (as the reply holds them)
        QByteArray types;                    // 16-bit type codes of extended data
        PackedView Values() const {
            auto view = [](const QByteArray& b) { return std::string_view(b.constData(), static_cast<size_t>(b.size())); };
            return {view(tags), view(strings), view(numbers)};
        }
    };
    struct Where {
        uint32_t piece = 0, count = 0;   // count: entries of extended data
        uint32_t type = 0, tag = 0, string = 0, number = 0;
    };
    static constexpr size_t kPiecesKept = 3;
    struct Column {
        std::vector<uint8_t> state;   // per member: 0 not fetched, 1 copied, 2 ask singly
        std::vector<Where> where;
        std::map<uint32_t, Piece> pieces;   // by number, oldest first
        uint32_t nextPiece = 0;
        // The next pieces, asked for before they are wanted, so that the
        // program works on them while this program uses the one before.
        struct Ahead {
            size_t first, end;
            QDBusPendingCall call;
        };
        std::deque<Ahead> ahead;
        size_t nextFirst = 0;           // the member after the last piece fetched
        size_t askNextAt = SIZE_MAX;
        std::string property, application;
    };
    struct Copy {
        std::vector<std::string> members;
        std::unordered_map<std::string, size_t> position;   // made when first wanted
        size_t last = 0;   // the member asked for last: the exchange asks in order
        bool haveRevision = false;
        uint64_t revision = 0;
        bool expired = false;
        std::map<std::pair<std::string, std::string>, Column> columns;   // (property, application)
        Column* lastColumn = nullptr;
    };

    void NewCopy(const std::vector<std::string>& members) {
        auto copy = std::make_shared<Copy>();
        copy->members = members;
        std::weak_ptr<Copy> weak = copy;
        QTimer::singleShot(0, [weak] {
            if (auto c = weak.lock()) c->expired = true;
        });
        copy_ = std::move(copy);
    }

    // Where the member's answer to that property lies in the copy, fetched
    // with its piece when needed; null when the member is to be asked singly.
    const Where* Copied(const std::string& h, const char* property, const std::string& application, const Piece** piece) {
        if (!copy_ || copy_->expired) return nullptr;
        Copy& copy = *copy_;
        size_t at = copy.last;
        if (!(at < copy.members.size() && copy.members[at] == h) &&
            !(++at < copy.members.size() && copy.members[at] == h)) {
            if (copy.position.empty()) {
                copy.position.reserve(copy.members.size());
                for (size_t i = 0; i < copy.members.size(); ++i) copy.position.emplace(copy.members[i], i);
            }
            auto it = copy.position.find(h);
            if (it == copy.position.end()) return nullptr;
            at = it->second;
        }
        copy.last = at;
        Column* col = copy.lastColumn;
        if (!col || col->property != property || col->application != application) {
            col = &copy.columns[{property, application}];
            if (col->state.empty()) {
                col->property = property;
                col->application = application;
                col->state.assign(copy.members.size(), 0);
                col->where.resize(copy.members.size());
            }
            copy.lastColumn = col;
        }
        if (col->state[at] == 0) Fetch(*col, at);
        if (col->state[at] != 1) return nullptr;
        if (at >= col->askNextAt) AskNext(*col);
        auto it = col->pieces.find(col->where[at].piece);
        if (it == col->pieces.end()) Malformed();
        *piece = &it->second;
        return &col->where[at];
    }
    bool CopiedText(const std::string& h, const char* property, std::string& out) {
        const Piece* piece = nullptr;
        const Where* w = Copied(h, property, {}, &piece);
        if (!w) return false;
        Unpacker values(piece->Values(), 0, w->string, 0);
        if (!values.NextString(out)) Malformed();
        return true;
    }
    bool CopiedPoint(const std::string& h, const char* property, Point& out) {
        const Piece* piece = nullptr;
        const Where* w = Copied(h, property, {}, &piece);
        if (!w) return false;
        Unpacker values(piece->Values(), 0, 0, w->number);
        if (!values.NextNumber(out.x) || !values.NextNumber(out.y) || !values.NextNumber(out.z)) Malformed();
        return true;
    }
    bool CopiedXData(const std::string& h, const std::string& application, XData& out) {
        const Piece* piece = nullptr;
        const Where* w = Copied(h, "GetXData", application, &piece);
        if (!w) return false;
        if ((w->type + w->count) * static_cast<qsizetype>(sizeof(int16_t)) > piece->types.size()) Malformed();
        out.types.resize(w->count);
        std::memcpy(out.types.data(), piece->types.constData() + w->type * static_cast<qsizetype>(sizeof(int16_t)),
                    w->count * sizeof(int16_t));
        out.values.resize(w->count);
        Unpacker values(piece->Values(), w->tag, w->string, w->number);
        for (vb::Variant& v : out.values)
            if (!values.Next(v)) Malformed();
        return true;
    }

    [[noreturn]] static void Malformed() {
        throw vb::VbError(vb::errTypeMismatch, "The drawing program sent entity data this program cannot read");
    }

    QDBusMessage EntityDataCall(const Column& col, size_t first, size_t end) const {
        const std::vector<std::string>& members = copy_->members;
        const std::string handles = JoinHandles({members.begin() + static_cast<std::ptrdiff_t>(first),
                                                 members.begin() + static_cast<std::ptrdiff_t>(end)});
        return Message("EntityData", {Q(handles), Q(col.property), Q(col.application)});
    }

    // Pieces grow from a few members to kEntityDataMaxHandles, so that the
    // first answers come at once and the rest in few calls.
    static size_t PieceSize(const Column& col) { return EntityDataPieceSize(col.nextPiece); }

    // The end of a piece from `first` of at most `most` members whose
    // handles fit kEntityDataHandleBytes (at least one member).
    size_t PieceEnd(size_t first, size_t most) const { return EntityDataPieceEnd(copy_->members, first, most); }

    // Asks for the pieces after the last one fetched, kPiecesAhead of
    // them, without waiting.
    static constexpr size_t kPiecesAhead = 2;
    void AskNext(Column& col) {
        col.askNextAt = SIZE_MAX;
        while (col.ahead.size() < kPiecesAhead) {
            const size_t next = col.ahead.empty() ? col.nextFirst : col.ahead.back().end;
            if (next >= copy_->members.size() || col.state[next] != 0) return;
            const size_t end = PieceEnd(next, PieceSize(col));
            col.ahead.push_back({next, end, bus_.asyncCall(EntityDataCall(col, next, end), kCallTimeoutMs)});
        }
    }

    // Fetches the piece of members that holds `at`, from the first member of
    // the piece not fetched yet (or takes the piece asked for before).
    void Fetch(Column& col, size_t at) {
        const size_t most = PieceSize(col);
        size_t first = at - at % most;
        while (first < at && col.state[first] != 0) ++first;
        size_t end = PieceEnd(first, most);
        QDBusMessage reply;
        const bool askedAhead = !col.ahead.empty() && col.ahead.front().first == first;
        if (askedAhead) {
            col.ahead.front().call.waitForFinished();
            reply = col.ahead.front().call.reply();
            end = col.ahead.front().end;
            col.ahead.pop_front();
        } else {
            col.ahead.clear();
            reply = bus_.call(EntityDataCall(col, first, end), QDBus::Block, kCallTimeoutMs);
        }
        const QList<QVariant> r = reply.arguments();
        if (reply.type() != QDBusMessage::ReplyMessage || r.size() != 7) {
            // A program without the batched read, or one in trouble: the
            // single calls go on as before and meet the failure themselves.
            copy_->expired = true;
            col.state[at] = 2;
            return;
        }
        const uint64_t revision = r[0].toULongLong();
        if (askedAhead && copy_->haveRevision && revision < copy_->revision) {
            // A piece asked for before a change that a later piece showed:
            // ask again, now.  (A piece asked for now is taken whatever its
            // revision: a drawing program started anew counts from the start.)
            col.ahead.clear();
            Fetch(col, at);
            return;
        }
        if (copy_->haveRevision && revision != copy_->revision) {
            // The drawing changed since the copy was begun: nothing copied before holds.
            for (auto& [key, other] : copy_->columns) {
                std::fill(other.state.begin(), other.state.end(), 0);
                other.pieces.clear();
                if (&other != &col) other.ahead.clear();
                other.askNextAt = SIZE_MAX;
            }
        }
        copy_->haveRevision = true;
        copy_->revision = revision;
        const QByteArray given = Bytes(r[1]);
        Piece piece;
        piece.strings = Bytes(r[2]);
        piece.numbers = Bytes(r[3]);
        piece.tags = Bytes(r[4]);
        piece.types = Bytes(r[5]);
        const QByteArray counts = Bytes(r[6]);
        const std::string& kind = col.property;
        const bool text = kind == "EntityName" || kind == "Layer" || kind == "TextString";
        const bool extended = kind == "GetXData";
        if (given.isEmpty() || static_cast<size_t>(given.size()) > end - first) Malformed();
        if (extended && counts.size() != given.size() * static_cast<qsizetype>(sizeof(uint32_t))) Malformed();
        // One walk over the answers notes where each member's begins and
        // checks that the piece holds them all.
        const uint32_t pieceIndex = col.nextPiece++;
        piece.first = first;
        piece.end = first + static_cast<size_t>(given.size());
        Unpacker walk(piece.Values());
        qsizetype type = 0;
        std::string textValue;
        double number = 0;
        for (qsizetype k = 0; k < given.size(); ++k) {
            const size_t i = first + static_cast<size_t>(k);
            if (given[k] == 0) {
                col.state[i] = 2;
                continue;
            }
            Where& w = col.where[i];
            if (walk.String() > UINT32_MAX || walk.Number() > UINT32_MAX) Malformed();
            w = {pieceIndex, 0, static_cast<uint32_t>(type), static_cast<uint32_t>(walk.Tag()),
                 static_cast<uint32_t>(walk.String()), static_cast<uint32_t>(walk.Number())};
            if (text) {
                if (!walk.NextString(textValue)) Malformed();
            } else if (!extended) {
                for (int n = 0; n < 3; ++n)
                    if (!walk.NextNumber(number)) Malformed();
            } else {
                std::memcpy(&w.count, counts.constData() + k * static_cast<qsizetype>(sizeof(uint32_t)), sizeof(uint32_t));
                type += w.count;
                for (uint32_t e = 0; e < w.count; ++e)
                    if (!walk.Skip()) Malformed();
            }
            col.state[i] = 1;
        }
        if (type * static_cast<qsizetype>(sizeof(int16_t)) != piece.types.size()) Malformed();
        col.nextFirst = piece.end;
        // The first piece may be all that is wanted (the marker search reads
        // the first lines only): the next is asked for once half of it is
        // used; after that, at once.
        col.askNextAt = pieceIndex == 0 ? piece.first + (piece.end - piece.first) / 2 : piece.first;
        col.pieces.emplace(pieceIndex, std::move(piece));
        while (col.pieces.size() > kPiecesKept) {
            const Piece& old = col.pieces.begin()->second;
            for (size_t i = old.first; i < old.end; ++i)
                if (col.state[i] == 1 && col.where[i].piece == col.pieces.begin()->first) col.state[i] = 0;
            col.pieces.erase(col.pieces.begin());
        }
    }

    // A call that changes the drawing (or what a copy was taken of) ends the copy.
    QList<QVariant> Change(const char* member, const QList<QVariant>& args) {
        copy_.reset();
        return Call(member, args);
    }

    [[noreturn]] static void Gone(const char* member) {
        throw vb::VbError(kErrGone, std::string("The drawing program gave no answer to ") + member);
    }

    static QVariant ShortsToBus(const std::vector<int16_t>& v) {
        return QVariant::fromValue(QList<short>(v.begin(), v.end()));
    }

    static QVariant ValuesToBus(const std::vector<vb::Variant>& values) {
        QVariantList list;
        for (const vb::Variant& v : values) list << QVariant::fromValue(QDBusVariant(ToBus(v)));
        return list;
    }

    static Point PointOf(const QVariant& q) {
        std::vector<double> d = Doubles(q);
        if (d.size() != 3) throw vb::VbError(vb::errTypeMismatch, "The drawing program sent a point without three numbers");
        return {d[0], d[1], d[2]};
    }

    // A call of a member of the application object.
    static QDBusMessage Message(const char* member, const QList<QVariant>& args) {
        QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QLatin1String(member));
        call.setArguments(args);
        return call;
    }

    QList<QVariant> Call(const char* member, const QList<QVariant>& args, int timeout = kCallTimeoutMs,
                         bool paintWhileWaiting = false) {
        const QDBusMessage call = Message(member, args);
        QDBusMessage reply;
        if (paintWhileWaiting) {
            QDBusPendingCallWatcher watcher(bus_.asyncCall(call, timeout));
            if (!watcher.isFinished()) {
                QEventLoop wait;
                QObject::connect(&watcher, &QDBusPendingCallWatcher::finished, &wait, &QEventLoop::quit);
                wait.exec(QEventLoop::ExcludeUserInputEvents);
            }
            reply = watcher.reply();
        } else {
            reply = bus_.call(call, QDBus::Block, timeout);
        }
        return Answer(reply);
    }

    // The results of a reply, or its failure raised as the number it was
    // raised with.
    static QList<QVariant> Answer(const QDBusMessage& reply) {
        if (reply.type() == QDBusMessage::ReplyMessage) return reply.arguments();
        QString name = reply.errorName();
        std::string text = reply.errorMessage().toStdString();
        if (name == kFailure) {
            // "<number> <description>"
            size_t space = text.find(' ');
            int32_t number = 0;
            try {
                number = static_cast<int32_t>(std::stol(text.substr(0, space)));
            } catch (...) {
                number = 440;
            }
            throw vb::VbError(number, space == std::string::npos ? std::string() : text.substr(space + 1), "sewercad");
        }
        if (name == QLatin1String("org.freedesktop.DBus.Error.InvalidArgs"))
            throw vb::VbError(vb::errInvalidProcedureCall, text, "sewercad");
        throw vb::VbError(kErrGone, StandardGone() + " (" + name.toStdString() + ": " + text + ")", "sewercad");
    }

    QVariant One(const char* member, const QList<QVariant>& args) {
        QList<QVariant> r = Call(member, args);
        if (r.size() != 1) Gone(member);
        return r.front();
    }

    static std::string StandardGone() { return vb::StandardErrorDescription(kErrGone); }

    QDBusConnection bus_;
    std::shared_ptr<Copy> copy_;
};

}  // namespace

ClientRef AttachBus() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface()) return nullptr;
    if (!bus.interface()->isServiceRegistered(kService).value()) return nullptr;
    return std::make_shared<BusClient>(bus);
}

void InstallBusAttacher() { SetAttacher(&AttachBus); }

}  // namespace cad::bus
