// The document's writer and its typed views: header variables, layers,
// blocks, entities, new entities with fresh handles, and extended data.
#include "platform/cad/document.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "platform/cad/dxf_text.h"
#include "platform/runtime/conversions.h"
#include "platform/runtime/files.h"
#include "platform/runtime/vberror.h"

namespace cad {

Document::Document() = default;
Document::Document(Document&&) noexcept = default;
Document& Document::operator=(Document&&) noexcept = default;
Document::~Document() = default;

// --- Helpers ------------------------------------------------------------------

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
        if (x != y) return false;
    }
    return true;
}

std::string NormalizeHandle(std::string_view handle) {
    std::string_view h = Trim(handle);
    while (h.size() > 1 && h[0] == '0') h.remove_prefix(1);
    std::string out(h);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return out;
}

std::string FormatNumber(double v) {
    if (!std::isfinite(v)) v = 0;
    char buf[64];
    auto [p, ec] = std::to_chars(buf, buf + sizeof buf, v);
    std::string s(buf, p);
    if (s.find_first_of(".e") == std::string::npos) s += ".0";
    return s;
}

std::string_view Record::Type() const {
    if (groups.empty() || groups.front().code != 0) return {};
    return Trim(groups.front().value);
}

const Group* Record::Find(int32_t code) const {
    size_t end = XDataStart();
    for (size_t i = 0; i < end; ++i)
        if (groups[i].code == code) return &groups[i];
    return nullptr;
}

Group* Record::Find(int32_t code) { return const_cast<Group*>(static_cast<const Record*>(this)->Find(code)); }

std::string_view Record::Text(int32_t code, std::string_view fallback) const {
    const Group* g = Find(code);
    return g ? g->value : fallback;
}

double Record::Number(int32_t code, double fallback) const {
    const Group* g = Find(code);
    double d;
    if (g && ParseDouble(Trim(g->value), d)) return d;
    return fallback;
}

int32_t Record::Integer(int32_t code, int32_t fallback) const {
    double d = Number(code, fallback);
    return static_cast<int32_t>(std::clamp(d, -2147483647.0, 2147483647.0));
}

size_t Record::XDataStart() const {
    for (size_t i = 0; i < groups.size(); ++i)
        if (groups[i].code >= 1000) return i;
    return groups.size();
}

Point PointOf(const Record& e, int32_t xCode) {
    return {e.Number(xCode), e.Number(xCode + 10), e.Number(xCode + 20)};
}

std::string EntityClassName(const Record& e) {
    static const std::pair<const char*, const char*> known[] = {
        {"LINE", "AcDbLine"},       {"CIRCLE", "AcDbCircle"},           {"TEXT", "AcDbText"},
        {"LWPOLYLINE", "AcDbPolyline"}, {"ARC", "AcDbArc"},             {"MTEXT", "AcDbMText"},
        {"INSERT", "AcDbBlockReference"}, {"POINT", "AcDbPoint"},       {"HATCH", "AcDbHatch"},
        {"SPLINE", "AcDbSpline"},   {"ELLIPSE", "AcDbEllipse"},         {"SOLID", "AcDbTrace"},
        {"3DFACE", "AcDbFace"},     {"DIMENSION", "AcDbDimension"},     {"VIEWPORT", "AcDbViewport"},
    };
    std::string_view type = e.Type();
    if (type == "POLYLINE") {
        int flags = e.Integer(70);
        if (flags & 64) return "AcDbPolyFaceMesh";
        if (flags & 16) return "AcDbPolygonMesh";
        return (flags & 8) ? "AcDb3dPolyline" : "AcDb2dPolyline";
    }
    if (type == "DIMENSION") {
        // The last subclass marker names the kind of dimension.
        std::string_view last;
        for (size_t i = 0, n = e.XDataStart(); i < n; ++i)
            if (e.groups[i].code == 100) last = Trim(e.groups[i].value);
        if (!last.empty() && last != "AcDbDimension") return std::string(last);
    }
    for (const auto& [t, name] : known)
        if (type == t) return name;
    std::string_view last;
    for (size_t i = 0, n = e.XDataStart(); i < n; ++i)
        if (e.groups[i].code == 100) last = Trim(e.groups[i].value);
    if (!last.empty() && last != "AcDbEntity") return std::string(last);
    std::string name = "AcDb";
    bool up = true;
    for (char c : type) {
        if (c == '_') { up = true; continue; }
        name += up ? c : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        up = false;
    }
    return name;
}

// --- Writer ------------------------------------------------------------------

namespace {

void PutGroup(std::string& out, int32_t code, std::string_view value) {
    char buf[16];
    int n = std::snprintf(buf, sizeof buf, "%3d\n", code);
    out.append(buf, static_cast<size_t>(n));
    out.append(value);
    out.push_back('\n');
}

}  // namespace

std::string Document::Write() const {
    std::string out;
    out.reserve(source_ ? source_->size() + source_->size() / 8 + 4096 : 65536);
    for (const Section& s : sections_) {
        if (s.name.empty()) {
            for (const Record& r : s.records)
                for (const Group& g : r.groups) PutGroup(out, g.code, g.value);
            continue;
        }
        PutGroup(out, 0, "SECTION");
        PutGroup(out, 2, s.name);
        for (const Record& r : s.records)
            for (const Group& g : r.groups) PutGroup(out, g.code, g.value);
        PutGroup(out, 0, "ENDSEC");
    }
    PutGroup(out, 0, "EOF");
    return out;
}

bool Document::Save(const std::string& path, std::string* error) const {
    std::string text = Write();
    return vb::WriteFileAtomic(path, std::string_view(text), error);
}

std::string_view Document::Keep(std::string text) {
    kept_.push_back(std::move(text));
    return kept_.back();
}

Section* Document::FindSection(std::string_view name) {
    for (Section& s : sections_)
        if (s.name == name) return &s;
    return nullptr;
}

const Section* Document::FindSection(std::string_view name) const {
    return const_cast<Document*>(this)->FindSection(name);
}

Section& Document::EnsureSection(std::string_view name) {
    if (Section* s = FindSection(name)) return *s;
    static const char* const order[] = {"HEADER", "CLASSES", "TABLES", "BLOCKS", "ENTITIES", "OBJECTS"};
    auto rank = [](std::string_view n) {
        for (int i = 0; i < 6; ++i)
            if (n == order[i]) return i;
        return 6;
    };
    size_t at = 0;
    for (size_t i = 0; i < sections_.size(); ++i)
        if (!sections_[i].name.empty() && rank(sections_[i].name) < rank(name)) at = i + 1;
    Section s;
    s.name = Keep(std::string(name));
    auto it = sections_.insert(sections_.begin() + static_cast<std::ptrdiff_t>(at), std::move(s));
    return *it;
}

// --- Header -------------------------------------------------------------------

const Group* HeaderValue(const std::vector<Group>& gs, size_t i) {
    // A header whose last group names a variable has no group after it.
    if (i >= gs.size() || i + 1 == gs.size() || gs[i].code != 9 || gs[i + 1].code == 9) return nullptr;
    return &gs[i + 1];
}

std::string Document::HeaderVariable(std::string_view name) const {
    const Section* h = FindSection("HEADER");
    if (!h || h->records.empty()) return {};
    const auto& gs = h->records.front().groups;
    for (size_t i = 0; i < gs.size(); ++i)
        if (const Group* value = HeaderValue(gs, i); value && Trim(gs[i].value) == name) return std::string(value->value);
    return {};
}

void Document::SetHeaderVariable(std::string_view name, int32_t code, std::string value) {
    Section& h = EnsureSection("HEADER");
    if (h.records.empty()) h.records.emplace_back();
    auto& gs = h.records.front().groups;
    Group g{code, Keep(std::move(value))};
    for (size_t i = 0; i < gs.size(); ++i) {
        if (gs[i].code != 9 || Trim(gs[i].value) != name) continue;
        // The code too: the file's may not fit the value.  A variable
        // without a value gets one.
        if (HeaderValue(gs, i))
            gs[i + 1] = g;
        else
            gs.insert(gs.begin() + static_cast<std::ptrdiff_t>(i + 1), g);
        return;
    }
    gs.push_back({9, Keep(std::string(name))});
    gs.push_back(g);
}

// --- Handles ------------------------------------------------------------------

std::string Document::NextHandle() {
    char buf[24];
    auto [p, ec] = std::to_chars(buf, buf + sizeof buf, nextHandle_, 16);
    std::string h(buf, p);
    for (char& c : h)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    ++nextHandle_;
    char seed[24];
    auto [q, ec2] = std::to_chars(seed, seed + sizeof seed, nextHandle_, 16);
    std::string s(seed, q);
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    if (!HeaderVariable("$HANDSEED").empty() || !IsR12()) SetHeaderVariable("$HANDSEED", 5, s);
    return h;
}

// --- Tables -------------------------------------------------------------------

namespace {

// The records [first, last) of a table's entries, and the index of its
// TABLE record; false when the table is missing.
bool TableRange(const Section& s, std::string_view table, size_t& head, size_t& first, size_t& last) {
    for (size_t i = 0; i < s.records.size(); ++i) {
        const Record& r = s.records[i];
        if (r.Type() != "TABLE" || !SameName(Trim(r.Text(2)), table)) continue;
        head = i;
        first = i + 1;
        last = first;
        while (last < s.records.size() && s.records[last].Type() != "ENDTAB") ++last;
        return true;
    }
    return false;
}

}  // namespace

Record* Document::TableEntry(std::string_view table, std::string_view name) {
    Section* s = FindSection("TABLES");
    size_t head, first, last;
    if (!s || !TableRange(*s, table, head, first, last)) return nullptr;
    for (size_t i = first; i < last; ++i)
        if (SameName(Trim(s->records[i].Text(2)), name)) return &s->records[i];
    return nullptr;
}

void Document::AddTableEntry(std::string_view table, std::vector<Group> body) {
    Section& s = EnsureSection("TABLES");
    size_t head, first, last;
    if (!TableRange(s, table, head, first, last)) {
        Record t;
        t.groups.push_back({0, "TABLE"});
        t.groups.push_back({2, Keep(std::string(table))});
        if (!IsR12()) {
            t.groups.push_back({5, Keep(NextHandle())});
            t.groups.push_back({330, "0"});
            t.groups.push_back({100, "AcDbSymbolTable"});
        }
        t.groups.push_back({70, "0"});
        Record end;
        end.groups.push_back({0, "ENDTAB"});
        s.records.push_back(std::move(t));
        s.records.push_back(std::move(end));
        head = s.records.size() - 2;
        first = last = s.records.size() - 1;
    }
    std::string tableHandle(Trim(s.records[head].Text(5, "0")));
    Record e;
    e.groups.push_back({0, Keep(std::string(table))});
    e.groups.push_back({5, Keep(NextHandle())});
    if (!IsR12()) {
        e.groups.push_back({330, Keep(tableHandle)});
        e.groups.push_back({100, "AcDbSymbolTableRecord"});
    }
    for (Group& g : body) e.groups.push_back(g);
    // Keep the table's entry count (group 70) up to date.
    if (Group* count = s.records[head].Find(70)) {
        count->value = Keep(std::to_string(int64_t(s.records[head].Integer(70)) + 1));
    }
    s.records.insert(s.records.begin() + static_cast<std::ptrdiff_t>(last), std::move(e));
    modified_ = true;
}

// --- Layers -------------------------------------------------------------------

std::vector<Layer> Document::Layers() const {
    std::vector<Layer> out;
    const Section* s = FindSection("TABLES");
    size_t head, first, last;
    if (!s || !TableRange(*s, "LAYER", head, first, last)) return out;
    for (size_t i = first; i < last; ++i) {
        const Record& r = s->records[i];
        if (r.Type() != "LAYER") continue;
        Layer l;
        l.name = DecodeText(Trim(r.Text(2)));
        int c = r.Integer(62, 7);
        l.off = c < 0;
        l.color = std::abs(c);
        out.push_back(std::move(l));
    }
    return out;
}

Record* Document::FindLayer(std::string_view name) { return TableEntry("LAYER", EncodeText(name)); }
const Record* Document::FindLayer(std::string_view name) const { return const_cast<Document*>(this)->FindLayer(name); }

void Document::AddLayer(std::string_view name) {
    if (FindLayer(name)) return;
    std::vector<Group> body;
    if (!IsR12()) body.push_back({100, "AcDbLayerTableRecord"});
    body.push_back({2, Keep(EncodeText(name))});
    body.push_back({70, "0"});
    body.push_back({62, "7"});
    body.push_back({6, IsR12() ? "CONTINUOUS" : "Continuous"});
    AddTableEntry("LAYER", std::move(body));
}

void Document::SetLayerColor(std::string_view name, int color) {
    Record* l = FindLayer(name);
    if (!l) return;
    Group* g = l->Find(62);
    bool off = g && Trim(g->value).starts_with('-');
    SetGroup(*l, 62, std::to_string(off ? -color : color));
}

std::string Document::ActiveLayer() const {
    std::string v = HeaderVariable("$CLAYER");
    return v.empty() ? "0" : DecodeText(Trim(v));
}

void Document::SetActiveLayer(std::string_view name) {
    SetHeaderVariable("$CLAYER", 8, EncodeText(name));
    modified_ = true;
}

void Document::RegisterApplication(std::string_view name) {
    if (TableEntry("APPID", EncodeText(name))) return;
    std::vector<Group> body;
    if (!IsR12()) body.push_back({100, "AcDbRegAppTableRecord"});
    body.push_back({2, Keep(EncodeText(name))});
    body.push_back({70, "0"});
    AddTableEntry("APPID", std::move(body));
}

// --- Blocks -------------------------------------------------------------------

std::vector<std::string> Document::BlockNames() const {
    std::vector<std::string> out;
    if (const Section* s = FindSection("BLOCKS"))
        for (const Record& r : s->records)
            if (r.Type() == "BLOCK") out.push_back(DecodeText(Trim(r.Text(2))));
    return out;
}

bool Document::HasBlock(std::string_view name) const {
    for (const std::string& b : BlockNames())
        if (SameName(b, name)) return true;
    return false;
}

std::string Document::BlockRecordHandle(std::string_view name) {
    Record* r = TableEntry("BLOCK_RECORD", name);
    return r ? NormalizeHandle(r->Text(5)) : std::string();
}

void Document::AddBlock(std::string_view name, const Point& base) {
    if (HasBlock(name)) return;
    std::string encoded = EncodeText(name);
    std::string owner;
    if (!IsR12()) {
        std::vector<Group> body;
        body.push_back({100, "AcDbBlockTableRecord"});
        body.push_back({2, Keep(encoded)});
        AddTableEntry("BLOCK_RECORD", std::move(body));
        owner = BlockRecordHandle(encoded);
    }
    Record begin, end;
    begin.groups.push_back({0, "BLOCK"});
    begin.groups.push_back({5, Keep(NextHandle())});
    if (!IsR12()) {
        begin.groups.push_back({330, Keep(owner)});
        begin.groups.push_back({100, "AcDbEntity"});
    }
    begin.groups.push_back({8, "0"});
    if (!IsR12()) begin.groups.push_back({100, "AcDbBlockBegin"});
    begin.groups.push_back({2, Keep(encoded)});
    begin.groups.push_back({70, "0"});
    begin.groups.push_back({10, Keep(FormatNumber(base.x))});
    begin.groups.push_back({20, Keep(FormatNumber(base.y))});
    begin.groups.push_back({30, Keep(FormatNumber(base.z))});
    begin.groups.push_back({3, Keep(encoded)});
    begin.groups.push_back({1, ""});
    end.groups.push_back({0, "ENDBLK"});
    end.groups.push_back({5, Keep(NextHandle())});
    if (!IsR12()) {
        end.groups.push_back({330, Keep(owner)});
        end.groups.push_back({100, "AcDbEntity"});
    }
    end.groups.push_back({8, "0"});
    if (!IsR12()) end.groups.push_back({100, "AcDbBlockEnd"});
    Section& s = EnsureSection("BLOCKS");
    s.records.push_back(std::move(begin));
    s.records.push_back(std::move(end));
    modified_ = true;
}

// --- Entities -----------------------------------------------------------------

namespace {

const std::vector<Record> kNoRecords;

bool IsSubEntity(std::string_view type) { return type == "VERTEX" || type == "SEQEND" || type == "ATTRIB"; }

}  // namespace

const std::vector<Record>& Document::EntityRecords() const {
    const Section* s = FindSection("ENTITIES");
    return s ? s->records : kNoRecords;
}

std::vector<Document::ModelSpaceEntity> Document::ModelSpaceEntities() const {
    std::vector<ModelSpaceEntity> out;
    std::string paper;
    if (!IsR12()) paper = const_cast<Document*>(this)->BlockRecordHandle("*Paper_Space");
    for (const Record& r : EntityRecords()) {
        std::string_view type = r.Type();
        if (type.empty() || IsSubEntity(type)) continue;
        if (r.Integer(67) == 1) continue;
        if (!paper.empty() && r.Find(330) && NormalizeHandle(r.Text(330)) == paper) continue;
        const Group* h = r.Find(5);
        if (h) out.push_back({NormalizeHandle(h->value), &r});
    }
    return out;
}

std::vector<std::string> Document::ModelSpaceHandles() const {
    std::vector<std::string> out;
    for (ModelSpaceEntity& e : ModelSpaceEntities()) out.push_back(std::move(e.handle));
    return out;
}

const Record* Document::Entity(std::string_view handle) const {
    return const_cast<Document*>(this)->MutableEntity(handle);
}

Record* Document::MutableEntity(std::string_view handle) {
    auto it = entityIndex_.find(NormalizeHandle(handle));
    if (it == entityIndex_.end()) return nullptr;
    Section* s = FindSection("ENTITIES");
    if (!s || it->second >= s->records.size()) return nullptr;
    return &s->records[it->second];
}

std::string Document::AddEntity(std::string_view type, std::string_view subclass, std::vector<Group> body) {
    std::string handle = NextHandle();
    Record e;
    e.groups.push_back({0, Keep(std::string(type))});
    e.groups.push_back({5, Keep(handle)});
    if (!IsR12()) {
        std::string owner = BlockRecordHandle("*Model_Space");
        if (!owner.empty()) e.groups.push_back({330, Keep(owner)});
        e.groups.push_back({100, "AcDbEntity"});
    }
    e.groups.push_back({8, Keep(EncodeText(ActiveLayer()))});
    if (!IsR12()) e.groups.push_back({100, Keep(std::string(subclass))});
    for (Group& g : body) {
        if (IsR12() && g.code == 100) continue;
        e.groups.push_back(g);
    }
    Section& s = EnsureSection("ENTITIES");
    s.records.push_back(std::move(e));
    entityIndex_[handle] = s.records.size() - 1;
    modified_ = true;
    return handle;
}

std::string Document::AddLine(const Point& a, const Point& b) {
    return AddEntity("LINE", "AcDbLine",
                     {{10, Keep(FormatNumber(a.x))}, {20, Keep(FormatNumber(a.y))}, {30, Keep(FormatNumber(a.z))},
                      {11, Keep(FormatNumber(b.x))}, {21, Keep(FormatNumber(b.y))}, {31, Keep(FormatNumber(b.z))}});
}

std::string Document::AddCircle(const Point& c, double radius) {
    return AddEntity("CIRCLE", "AcDbCircle",
                     {{10, Keep(FormatNumber(c.x))}, {20, Keep(FormatNumber(c.y))}, {30, Keep(FormatNumber(c.z))},
                      {40, Keep(FormatNumber(radius))}});
}

std::string Document::AddText(std::string_view text, const Point& at, double height) {
    // Every group that the text's properties set is there from the start, in
    // its subclass, so that setting them later only changes values.
    std::string x = FormatNumber(at.x), y = FormatNumber(at.y), z = FormatNumber(at.z);
    return AddEntity("TEXT", "AcDbText",
                     {{10, Keep(x)}, {20, Keep(y)}, {30, Keep(z)}, {40, Keep(FormatNumber(height))},
                      {1, Keep(EncodeText(text))}, {50, "0.0"}, {72, "0"}, {11, Keep(x)}, {21, Keep(y)},
                      {31, Keep(z)}, {100, "AcDbText"}, {73, "0"}});
}

std::string Document::AddLwPolyline(const std::vector<std::pair<double, double>>& vertices, bool closed) {
    if (IsR12()) {
        // R12 has no lightweight polyline; nothing in the system asks for one there.
        throw vb::VbError(vb::errNotSupported, "An R12 drawing has no lightweight polylines");
    }
    std::vector<Group> body;
    body.push_back({90, Keep(std::to_string(vertices.size()))});
    body.push_back({70, closed ? "1" : "0"});
    for (const auto& [x, y] : vertices) {
        body.push_back({10, Keep(FormatNumber(x))});
        body.push_back({20, Keep(FormatNumber(y))});
    }
    return AddEntity("LWPOLYLINE", "AcDbPolyline", std::move(body));
}

void Document::SetGroup(Record& e, int32_t code, std::string value) {
    std::string_view kept = Keep(std::move(value));
    if (Group* g = e.Find(code)) {
        g->value = kept;
    } else {
        size_t at = e.XDataStart();
        // In a text, the groups of the first AcDbText subclass come before
        // the second marker of that subclass.
        if (e.Type() == "TEXT" && code != 73) {
            int markers = 0;
            for (size_t i = 0; i < at; ++i)
                if (e.groups[i].code == 100 && Trim(e.groups[i].value) == "AcDbText" && ++markers == 2) {
                    at = i;
                    break;
                }
        }
        e.groups.insert(e.groups.begin() + static_cast<std::ptrdiff_t>(at), Group{code, kept});
    }
    modified_ = true;
}

void Document::SetNumber(Record& e, int32_t code, double value) { SetGroup(e, code, FormatNumber(value)); }

void Document::SetLayerOf(Record& e, std::string_view layer) {
    AddLayer(layer);
    SetGroup(e, 8, EncodeText(layer));
}

// --- Extended data ------------------------------------------------------------

XData Document::GetXData(const Record& e, std::string_view application) const {
    XData out;
    bool taking = false;
    for (size_t i = e.XDataStart(); i < e.groups.size(); ++i) {
        const Group& g = e.groups[i];
        if (g.code == 1001) taking = application.empty() || SameName(DecodeText(Trim(g.value)), application);
        if (!taking) continue;
        std::string_view t = Trim(g.value);
        double d = 0;
        if (g.code >= 1010 && g.code <= 1013) {
            vb::Variant p = vb::Variant::MakeArray(vb::vbDouble, {{0, 2}});
            ParseDouble(t, d);
            p.SetElement(0, vb::Variant(d));
            for (int k = 1; k <= 2 && i + 1 < e.groups.size() && e.groups[i + 1].code == g.code + 10 * k; ++k) {
                ++i;
                d = 0;
                ParseDouble(Trim(e.groups[i].value), d);
                p.SetElement(k, vb::Variant(d));
            }
            out.types.push_back(static_cast<int16_t>(g.code));
            out.values.push_back(std::move(p));
            continue;
        }
        if (g.code >= 1020 && g.code <= 1059 && !(g.code >= 1040 && g.code <= 1042)) continue;   // stray
        out.types.push_back(static_cast<int16_t>(g.code));
        if (g.code >= 1040 && g.code <= 1042) {
            ParseDouble(t, d);
            out.values.emplace_back(d);
        } else if (g.code == 1070 || g.code == 1071) {
            ParseDouble(t, d);
            if (g.code == 1070 && d >= -32768 && d <= 32767)
                out.values.emplace_back(static_cast<int16_t>(d));
            else
                out.values.emplace_back(static_cast<int32_t>(std::clamp(d, -2147483648.0, 2147483647.0)));
        } else {
            out.values.emplace_back(g.code == 1004 || g.code == 1005 ? std::string(g.value) : DecodeText(g.value));
        }
    }
    return out;
}

void Document::SetXData(Record& e, const XData& data) {
    auto bad = [](const std::string& why) { throw vb::VbError(vb::errInvalidProcedureCall, why); };
    if (data.types.size() != data.values.size()) bad("The type and value lists of the extended data differ in length");
    if (data.types.empty() || data.types[0] != 1001) bad("Extended data must start with an application name (1001)");
    // Convert everything first so that a bad value changes nothing.
    std::vector<std::pair<int32_t, std::string>> groups;
    std::vector<std::string> apps;
    for (size_t i = 0; i < data.types.size(); ++i) {
        int16_t t = data.types[i];
        const vb::Variant& v = data.values[i];
        if (t >= 1000 && t <= 1003 && v.IsString() && !IsOneLine(vb::CStr(v)))
            bad("Extended-data group " + std::to_string(t) + " cannot hold a line break");
        if (t == 1001) {
            std::string app = vb::CStr(v);
            if (app.empty()) bad("An extended-data application name is empty");
            apps.push_back(app);
            groups.emplace_back(t, EncodeText(app));
        } else if (t == 1000 || t == 1003) {
            groups.emplace_back(t, EncodeText(vb::CStr(v)));
        } else if (t == 1002) {
            std::string s = vb::CStr(v);
            if (s != "{" && s != "}") bad("Extended-data group 1002 holds \"{\" or \"}\"");
            groups.emplace_back(t, s);
        } else if (t == 1004 || t == 1005) {
            std::string s = vb::CStr(v);
            for (char c : s)
                if (!std::isxdigit(static_cast<unsigned char>(c))) bad("Extended-data group " + std::to_string(t) + " holds hexadecimal digits");
            groups.emplace_back(t, s);
        } else if (t >= 1040 && t <= 1042) {
            groups.emplace_back(t, FormatNumber(vb::CDbl(v)));
        } else if (t == 1070) {
            groups.emplace_back(t, std::to_string(vb::CInt(v)));
        } else if (t == 1071) {
            groups.emplace_back(t, std::to_string(vb::CLng(v)));
        } else if (t >= 1010 && t <= 1013) {
            if (!v.IsArray() || v.Dimensions() != 1 || v.UBound() - v.LBound() < 1) bad("An extended-data point is an array of three numbers");
            int32_t lb = v.LBound();
            bool three = v.UBound() - lb >= 2;
            groups.emplace_back(t, FormatNumber(vb::CDbl(v.Element(lb))));
            groups.emplace_back(t + 10, FormatNumber(vb::CDbl(v.Element(lb + 1))));
            groups.emplace_back(t + 20, FormatNumber(three ? vb::CDbl(v.Element(lb + 2)) : 0.0));
        } else {
            bad("Extended data cannot hold group code " + std::to_string(t));
        }
    }
    // Drop the entity's records of these applications, then append the new ones.
    std::vector<Group> kept;
    bool dropping = false;
    size_t start = e.XDataStart();
    for (size_t i = start; i < e.groups.size(); ++i) {
        const Group& g = e.groups[i];
        if (g.code == 1001) {
            dropping = false;
            for (const std::string& a : apps)
                if (SameName(DecodeText(Trim(g.value)), a)) dropping = true;
        }
        if (!dropping) kept.push_back(g);
    }
    e.groups.resize(start);
    e.groups.insert(e.groups.end(), kept.begin(), kept.end());
    for (auto& [code, text] : groups) e.groups.push_back({code, Keep(std::move(text))});
    for (const std::string& a : apps) RegisterApplication(a);
    modified_ = true;
}

// --- Text encoding ------------------------------------------------------------


std::string Document::DecodeText(std::string_view raw) const {
    bool plainAscii = true;
    for (char c : raw)
        if (static_cast<unsigned char>(c) >= 0x80 || c == '\\') plainAscii = false;
    if (plainAscii || release_ >= "AC1021") return std::string(raw);
    std::string out;
    for (size_t i = 0; i < raw.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(raw[i]);
        if (c == '\\' && i + 7 <= raw.size() && raw.substr(i, 3) == "\\U+") {
            uint32_t cp = 0;
            std::string_view hex = raw.substr(i + 3, 4);
            auto [p, ec] = std::from_chars(hex.data(), hex.data() + hex.size(), cp, 16);
            if (ec == std::errc() && p == hex.data() + 4) {
                vb::AppendUtf8(out, cp);
                i += 6;
                continue;
            }
        }
        vb::AppendUtf8(out, c);   // 8-bit text read as Latin-1
    }
    return out;
}

std::string Document::EncodeText(std::string_view utf8) const {
    bool ascii = true;
    for (char c : utf8)
        if (static_cast<unsigned char>(c) >= 0x80) ascii = false;
    if (ascii || release_ >= "AC1021") return std::string(utf8);
    std::string out;
    for (size_t i = 0; i < utf8.size();) {
        char32_t cp = vb::DecodeUtf8(utf8, i);
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else {
            char buf[12];
            std::snprintf(buf, sizeof buf, "\\U+%04X", static_cast<unsigned>(cp > 0xFFFF ? 0x3F : cp));
            out += buf;
        }
    }
    return out;
}

// --- Colours ------------------------------------------------------------------

uint32_t AciToRgb(int aci) {
    static const uint32_t basic[10] = {0x000000, 0xFF0000, 0xFFFF00, 0x00FF00, 0x00FFFF,
                                       0x0000FF, 0xFF00FF, 0xFFFFFF, 0x808080, 0xC0C0C0};
    if (aci < 0) aci = -aci;
    if (aci < 10) return basic[aci];
    if (aci >= 250) {
        static const uint8_t grey[6] = {0x33, 0x50, 0x69, 0x82, 0xBE, 0xFF};
        uint32_t g = grey[std::min(aci, 255) - 250];
        return (g << 16) | (g << 8) | g;
    }
    // 10 to 249: 24 hues in steps of 15 degrees; within each group of ten,
    // five falling brightnesses, each full and half saturated.
    double hue = (aci / 10 - 1) * 15.0;
    int k = aci % 10;
    static const double value[5] = {1.0, 0.8, 0.6, 0.5, 0.3};
    double v = value[k / 2], s = (k % 2) ? 0.5 : 1.0;
    double c = v * s, hp = hue / 60.0, x = c * (1 - std::fabs(std::fmod(hp, 2.0) - 1)), m = v - c;
    double r = 0, g = 0, b = 0;
    if (hp < 1) { r = c; g = x; }
    else if (hp < 2) { r = x; g = c; }
    else if (hp < 3) { g = c; b = x; }
    else if (hp < 4) { g = x; b = c; }
    else if (hp < 5) { r = x; b = c; }
    else { r = c; b = x; }
    auto to8 = [m](double u) { return static_cast<uint32_t>(std::lround((u + m) * 255)); };
    return (to8(r) << 16) | (to8(g) << 8) | to8(b);
}

}  // namespace cad
