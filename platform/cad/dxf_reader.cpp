// Reading ASCII DXF into the lossless document.  Nothing in a file is
// trusted: every group code must be a number in the range of codes, every
// value of a numeric code must read as a number, handles must be
// hexadecimal, sections must end, and a failure names the line.  The reader
// keeps no recursion and allocates nothing by a count read from the file.
//
// A drawing holds only what the program can write back and read again, and
// what a caller of the program can take: no zero byte, no line longer than
// kMaxLineBytes, no name longer than kMaxNameBytes and no text (of a TEXT
// entity or an extended-data string) longer than kMaxTextBytes (both in
// bytes of UTF-8), and no two entities of one handle.  A drawing beyond that
// is refused, naming the line.
//
// A drawing ends with its end-of-file marker, "0 EOF"; one without it was
// cut short (a copy or a download broken off after some section's ENDSEC)
// and is refused rather than opened as the part that is there, which a save
// would then write over the whole.  What follows the marker is not part of
// the drawing and is not read: the zero bytes some copy tools and file
// systems pad a file with after its end are no fault of the drawing.
#include <algorithm>
#include <charconv>
#include <cstring>
#include <string>

#include "platform/cad/document.h"
#include "platform/cad/dxf_text.h"
#include "platform/runtime/files.h"

namespace cad {

DxfError::DxfError(int64_t line, const std::string& what)
    : std::runtime_error(line > 0 ? "line " + std::to_string(line) + ": " + what : what), line_(line) {}

namespace {

enum class Kind { String, Double, Integer, Handle, Invalid };

Kind KindOf(int32_t code) {
    if (code < -5) return Kind::Invalid;
    if (code <= 4) return Kind::String;
    if (code == 5) return Kind::String;   // a handle, but DIMBLK in an R12 dimension style
    if (code <= 9) return Kind::String;
    if (code <= 59) return Kind::Double;
    if (code <= 79) return Kind::Integer;
    if (code <= 89) return Kind::Invalid;
    if (code <= 99) return Kind::Integer;
    if (code == 100 || code == 101 || code == 102) return Kind::String;
    if (code == 105) return Kind::Handle;
    if (code <= 109) return Kind::Invalid;
    if (code <= 149) return Kind::Double;
    if (code <= 159) return Kind::Invalid;
    if (code <= 179) return Kind::Integer;
    if (code <= 209) return Kind::Invalid;
    if (code <= 239) return Kind::Double;
    if (code <= 269) return Kind::Invalid;
    if (code <= 299) return Kind::Integer;
    if (code <= 319) return Kind::String;          // strings and binary chunks
    if (code <= 369) return Kind::String;          // handles to other objects (0 allowed)
    if (code <= 389) return Kind::Integer;
    if (code <= 399) return Kind::String;
    if (code <= 409) return Kind::Integer;
    if (code <= 419) return Kind::String;
    if (code <= 429) return Kind::Integer;
    if (code <= 439) return Kind::String;
    if (code <= 459) return Kind::Integer;
    if (code <= 469) return Kind::Double;
    if (code <= 481) return Kind::String;
    if (code == 999) return Kind::String;
    if (code < 1000) return Kind::Invalid;
    if (code <= 1009) return Kind::String;
    if (code <= 1059) return Kind::Double;
    if (code <= 1071) return Kind::Integer;
    return Kind::Invalid;
}

bool IsHex(std::string_view v) {
    if (v.empty() || v.size() > 16) return false;
    for (char c : v)
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    return true;
}

bool IsInteger(std::string_view v) {
    if (!v.empty() && (v[0] == '-' || v[0] == '+')) v.remove_prefix(1);
    if (v.empty() || v.size() > 20) return false;
    for (char c : v)
        if (c < '0' || c > '9') return false;
    return true;
}

class Lines {
public:
    explicit Lines(std::string_view text) : text_(text) {}
    // The next line without its end; false at the end of the text.  A line
    // that holds a zero byte is given up to its first one, and HeldZero()
    // says so: whether that refuses the drawing depends on where it lies.
    bool Next(std::string_view& line) {
        if (pos_ >= text_.size()) return false;
        size_t end = text_.find('\n', pos_);
        if (end == std::string_view::npos) end = text_.size();
        line = text_.substr(pos_, end - pos_);
        pos_ = end + 1;
        ++number_;
        const void* zero = std::memchr(line.data(), 0, line.size());
        heldZero_ = zero != nullptr;
        if (heldZero_) line = line.substr(0, static_cast<size_t>(static_cast<const char*>(zero) - line.data()));
        while (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.size() > kMaxLineBytes)
            throw DxfError(number_, "the line of " + std::to_string(line.size()) + " bytes is longer than the limit of " +
                                        std::to_string(kMaxLineBytes) + " bytes");
        return true;
    }
    int64_t Number() const { return number_; }
    bool HeldZero() const { return heldZero_; }

private:
    std::string_view text_;
    size_t pos_ = 0;
    int64_t number_ = 0;
    bool heldZero_ = false;
};

// No value can carry a zero byte: the program could neither hand it to a
// caller nor write it back as it was read.
DxfError ZeroByte(int64_t line) { return DxfError(line, "the line holds a zero byte; a DXF drawing is text and holds none"); }

class Reader {
public:
    explicit Reader(std::string_view text) : lines_(text) {}

    // The next group; false at the end of the file.  codeLine is the line of
    // its code.
    bool Next(Group& g, int64_t& codeLine) {
        std::string_view codeText;
        if (!lines_.Next(codeText)) return false;
        codeLine = lines_.Number();
        if (lines_.HeldZero()) throw ZeroByte(codeLine);
        std::string_view c = Trim(codeText);
        int32_t code = 0;
        auto [p, ec] = std::from_chars(c.data(), c.data() + c.size(), code);
        if (c.empty() || ec != std::errc() || p != c.data() + c.size())
            throw DxfError(codeLine, "a group code was expected, found \"" + Shorten(codeText) + "\"");
        Kind kind = KindOf(code);
        if (kind == Kind::Invalid) throw DxfError(codeLine, "group code " + std::to_string(code) + " is not a DXF group code");
        std::string_view value;
        if (!lines_.Next(value)) throw DxfError(codeLine + 1, "the file ends where the value of group " + std::to_string(code) + " should be");
        std::string_view t = Trim(value);
        // Zero bytes right after the end-of-file marker, on its own line,
        // follow the drawing; anywhere else they are in it.
        if (lines_.HeldZero() && !(code == 0 && t == "EOF")) throw ZeroByte(lines_.Number());
        bool ok = true;
        switch (kind) {
            case Kind::Double: {
                double d;
                ok = ParseDouble(t, d);
                break;
            }
            case Kind::Integer: ok = IsInteger(t); break;
            case Kind::Handle: ok = IsHex(t); break;
            default: break;
        }
        if (!ok)
            throw DxfError(lines_.Number(), "the value \"" + Shorten(value) + "\" of group " + std::to_string(code) +
                                                (kind == Kind::Handle ? " is no handle" : " is no number"));
        g.code = code;
        g.value = value;
        return true;
    }
    int64_t Line() const { return lines_.Number(); }

private:
    static std::string Shorten(std::string_view s) {
        std::string out;
        for (char ch : s.substr(0, 40)) out += (static_cast<unsigned char>(ch) < 32) ? '?' : ch;
        if (s.size() > 40) out += "...";
        return out;
    }
    Lines lines_;
};

bool KnownRelease(std::string_view r) {
    static const char* const known[] = {"AC1009", "AC1012", "AC1014", "AC1015", "AC1018",
                                        "AC1021", "AC1024", "AC1027", "AC1032"};
    for (const char* k : known)
        if (r == k) return true;
    return false;
}

}  // namespace

Document Document::Parse(std::string bytes) {
    Document doc;
    doc.source_ = std::make_unique<std::string>(std::move(bytes));
    std::string_view text = *doc.source_;

    // A binary drawing starts with a sentinel line ending in "\r\n\x1a\0";
    // the first line of a text drawing is a group code, which never holds it.
    std::string_view head = text.substr(0, std::min(text.find('\n'), size_t(64)));
    if (head.find("Binary DXF") != std::string_view::npos)
        throw DxfError(1, "this is a binary DXF file; only ASCII DXF can be read");
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);   // UTF-8 byte-order mark

    Reader r(text);
    Group g;
    int64_t line = 0;
    std::vector<Group> between;   // comments before a section
    bool sawEof = false;
    while (r.Next(g, line)) {
        if (g.code == 999) {
            between.push_back(g);
            continue;
        }
        std::string_view v = Trim(g.value);
        if (g.code == 0 && v == "EOF") {
            sawEof = true;
            break;
        }
        if (g.code != 0 || v != "SECTION")
            throw DxfError(line, "\"0 SECTION\" was expected, found group " + std::to_string(g.code));
        int64_t sectionLine = line;
        bool named = r.Next(g, line);
        if (!named || g.code != 2 || Trim(g.value).empty())
            throw DxfError(named ? line : r.Line() + 1, "the section that starts at line " + std::to_string(sectionLine) + " has no name");
        Section s;
        s.name = Trim(g.value);
        s.line = sectionLine;
        // Each view reads the one section of its name: a second one would
        // hold entities (or tables) that no caller could reach.
        if (const Section* first = doc.FindSection(s.name))
            throw DxfError(sectionLine, "the section " + std::string(s.name) + " was given before, at line " + std::to_string(first->line));
        if (!between.empty()) {
            // Comments between sections are kept in a nameless section of
            // their own, written back as bare groups.
            Section c;
            c.line = sectionLine;
            c.records.emplace_back();
            c.records.back().groups = std::move(between);
            c.records.back().line = sectionLine;
            between.clear();
            doc.sections_.push_back(std::move(c));
        }
        bool ended = false;
        while (r.Next(g, line)) {
            v = g.code == 0 ? Trim(g.value) : std::string_view();
            if (g.code == 0 && v == "ENDSEC") {
                ended = true;
                break;
            }
            if (g.code == 0 && (v == "SECTION" || v == "EOF"))
                throw DxfError(line, "section " + std::string(s.name) + " (line " + std::to_string(sectionLine) +
                                         ") has no ENDSEC before this " + std::string(v));
            if (g.code == 0 || s.records.empty()) {
                s.records.emplace_back();
                s.records.back().line = line;
            }
            s.records.back().groups.push_back(g);
        }
        if (!ended)
            throw DxfError(r.Line(), "the file ends inside section " + std::string(s.name) + " (line " +
                                         std::to_string(sectionLine) + "): ENDSEC is missing");
        doc.sections_.push_back(std::move(s));
    }
    if (!between.empty()) {
        Section c;
        c.line = r.Line();
        c.records.emplace_back();
        c.records.back().groups = std::move(between);
        doc.sections_.push_back(std::move(c));
    }
    if (!sawEof && doc.sections_.empty()) throw DxfError(r.Line(), "the file holds no DXF section");
    if (!sawEof) {
        const Section* last = nullptr;
        for (const Section& s : doc.sections_)
            if (!s.name.empty()) last = &s;
        throw DxfError(r.Line(), "the file ends here without the drawing's end-of-file marker (\"0\" and \"EOF\") after its last section" +
                                     (last ? ", " + std::string(last->name) + " (line " + std::to_string(last->line) + ")" : std::string()) +
                                     ": the file was cut short");
    }

    // Release.
    if (const Section* h = doc.FindSection("HEADER")) {
        if (!h->records.empty()) {
            const auto& gs = h->records.front().groups;
            for (size_t i = 0; i < gs.size(); ++i) {
                const Group* value = HeaderValue(gs, i);
                if (value && Trim(gs[i].value) == "$ACADVER") {
                    std::string_view rel = Trim(value->value);
                    if (!KnownRelease(rel))
                        throw DxfError(h->records.front().line, "the drawing's release \"" + std::string(rel) +
                                                                   "\" is not one of R12 and R2000 to R2018");
                    doc.release_ = std::string(rel);
                }
            }
        }
    }
    doc.CheckSizes();
    doc.IndexHandles();
    return doc;
}

Document Document::ReadFile(const std::string& path) {
    auto bytes = vb::ReadFileBytes(path);
    if (!bytes) throw DxfError(0, "cannot read " + path);
    Document d = Parse(std::string(bytes->begin(), bytes->end()));
    d.fileName_ = path;
    return d;
}

// Names and texts as a caller receives them (decoded to UTF-8) fit what a
// caller may send back.  Each group lies on two lines from its record's
// first: group k's value on line record.line + 2k + 1.
void Document::CheckSizes() const {
    auto fits = [this](std::string_view raw, size_t limit) {
        // Decoding at most doubles the length (8-bit text into UTF-8).
        return 2 * raw.size() <= limit || DecodeText(raw).size() <= limit;
    };
    for (const Section& s : sections_) {
        for (const Record& rec : s.records) {
            const std::string_view type = rec.Type();
            const bool named = type == "LAYER" || type == "BLOCK" || type == "BLOCK_RECORD" || type == "APPID" || type == "INSERT";
            for (size_t k = 0; k < rec.groups.size(); ++k) {
                const Group& g = rec.groups[k];
                const bool name = g.code == 8 || g.code == 1001 || g.code == 1003 || (g.code == 2 && named);
                const bool text = g.code == 1000 || (g.code == 1 && type == "TEXT");
                if (!name && !text) continue;
                const size_t limit = name ? kMaxNameBytes : kMaxTextBytes;
                const std::string_view v = name ? Trim(g.value) : g.value;
                if (!fits(v, limit))
                    throw DxfError(rec.line + 2 * static_cast<int64_t>(k) + 1,
                                   std::string(name ? "the name" : "the text") + " of " + std::to_string(DecodeText(v).size()) +
                                       " bytes is longer than the limit of " + std::to_string(limit) + " bytes");
            }
        }
    }
}

void Document::IndexHandles() {
    uint64_t maxHandle = 0;
    entityIndex_.clear();
    for (const Section& s : sections_) {
        if (s.name == "HEADER") continue;   // $HANDSEED is a group 5 too
        bool entities = s.name == "ENTITIES";
        for (size_t i = 0; i < s.records.size(); ++i) {
            const Record& rec = s.records[i];
            for (size_t k = 0, n = rec.XDataStart(); k < n; ++k) {
                const Group& g = rec.groups[k];
                if (g.code != 5 && g.code != 105) continue;
                std::string_view h = Trim(g.value);
                uint64_t v = 0;
                if (IsHex(h)) std::from_chars(h.data(), h.data() + h.size(), v, 16);
                // New handles count on from the highest; leave room for them.
                if (v > (uint64_t(1) << 62)) throw DxfError(rec.line, "the handle " + std::string(h) + " is too large");
                maxHandle = std::max(maxHandle, v);
            }
            if (!entities || rec.Type().empty()) continue;
            if (const Group* g = rec.Find(5)) {
                std::string_view h = Trim(g->value);
                if (!IsHex(h))
                    throw DxfError(rec.line, "the entity's handle \"" + std::string(h.substr(0, 20)) + "\" is not hexadecimal");
                // Two entities of one handle would be one to every caller
                // (a selection holds each handle once); no repair can tell
                // which of them a reference to that handle means.
                const auto [at, fresh] = entityIndex_.emplace(NormalizeHandle(h), i);
                if (!fresh)
                    throw DxfError(rec.line, "the entity's handle " + std::string(h.substr(0, 20)) +
                                                 " is the handle of the entity at line " + std::to_string(s.records[at->second].line) +
                                                 " too");
            }
        }
    }
    std::string seed = HeaderVariable("$HANDSEED");
    uint64_t s = 0;
    std::string_view st = Trim(seed);
    std::from_chars(st.data(), st.data() + st.size(), s, 16);
    if (s > (uint64_t(1) << 62)) {
        const Section* h = FindSection("HEADER");
        throw DxfError(h && !h->records.empty() ? h->records.front().line : 0,
                       "the handle seed " + std::string(st) + " is too large");
    }
    nextHandle_ = std::max<uint64_t>(maxHandle + 1, s);
    if (nextHandle_ == 0) nextHandle_ = 1;

    // Entities of a drawing written without handles get them here, so that
    // every entity can be named; such a drawing is written with them.
    Section* ents = FindSection("ENTITIES");
    if (!ents) return;
    bool added = false;
    for (size_t i = 0; i < ents->records.size(); ++i) {
        Record& rec = ents->records[i];
        if (rec.Type().empty() || rec.Find(5)) continue;
        std::string h = NextHandle();
        rec.groups.insert(rec.groups.begin() + 1, Group{5, Keep(h)});
        entityIndex_.emplace(h, i);
        added = true;
    }
    if (added && Trim(HeaderVariable("$HANDLING")) == "0") SetHeaderVariable("$HANDLING", 70, "1");
}

}  // namespace cad
