// The .xlsx/.xlsm reader: a zip package (libzip) of XML parts, each read as
// a stream (expat) while it inflates.
//
// Parts read: the package relationships (to find the workbook part), the
// workbook (sheet names, order, the active tab and the date system), its
// relationships (the sheets' parts, the shared strings and the styles), the
// shared strings and the sheetData of every worksheet and macro sheet; the
// styles only in a workbook of the 1904 date system, whose numbers in
// formats that show a date are read as serials of the 1900 system
// (workbook.h).  Nothing else of the package is needed for cell values.
//
// No part is ever held whole, inflated or parsed: a part comes out of the
// archive a chunk at a time and goes straight through the XML parser, whose
// events build the cells.  What a read holds is therefore the values kept
// (counted against ReadLimits::valueMemory), one chunk, and the markup of
// the one tag being parsed (at most kMaxToken); a cell's text is refused as
// soon as its markup grows past what kMaxCellTextBytes can take.  The work is
// bounded too: a part may hold kFreeElements elements and kMaxPartBytes
// bytes beyond what its values justify, so that a run of markup holding
// nothing is refused early.
#include <expat.h>
#include <zip.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <exception>
#include <limits>
#include <map>
#include <memory>

#include "platform/runtime/conversions.h"
#include "platform/sheet/workbook.h"

namespace sheet {
namespace {

// Bytes handed to the parser at a time.
constexpr size_t kChunk = size_t(256) << 10;
// The longest single piece of markup (a tag with its attributes, a comment)
// the parser may have to hold; texts are passed on as they come and are
// bounded by kMaxCellTextBytes and the value memory instead.
constexpr size_t kMaxToken = size_t(4) << 20;
// How deeply elements may nest (a sheet needs about eight levels).
constexpr int kMaxDepth = 256;

// A value of the file quoted in a message, shortened when it is long.
std::string Quoted(std::string_view text) {
    constexpr size_t kShown = 64;
    if (text.size() <= kShown) return "\"" + std::string(text) + "\"";
    return "\"" + std::string(text.substr(0, kShown)) + "...\" (" + std::to_string(text.size()) + " bytes)";
}

// A name with its backslashes as forward slashes and its letters in
// lower case: some writers name their parts "xl\workbook.xml", and such
// a member stands for the part "xl/workbook.xml" when the package holds
// no member of that very name (which wins).  Names are compared without
// regard to case, as everywhere in a package.
std::string SlashForm(std::string_view name) {
    std::string out(name);
    for (char& c : out) {
        if (c == '\\') c = '/';
        else if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
    }
    return out;
}

// One member of a package, inflated a piece at a time.
class PartStream {
public:
    virtual ~PartStream() = default;
    // Fills up to `capacity` bytes; 0 at the end.
    virtual size_t Read(char* into, size_t capacity) = 0;
};

// The parts of a package by name: from a zip archive, or (for the fuzz
// target) already inflated in memory.
class Package {
public:
    explicit Package(std::string label) : label_(std::move(label)) {}
    virtual ~Package() = default;
    Package(const Package&) = delete;
    Package& operator=(const Package&) = delete;

    const std::string& Label() const { return label_; }
    [[noreturn]] void Fail(const std::string& where, const std::string& what) const {
        sheet::Fail(label_ + ": " + (where.empty() ? "" : where + ": ") + what);
    }
    [[noreturn]] void TooLarge(const std::string& part) const {
        Fail(part, "part inflates past the limit of " + Megabytes(kMaxPartBytes) + " plus " +
                       std::to_string(kMarkupPerValueByte) + " bytes for each byte its values take");
    }
    // Counts bytes inflated from a part against the limit of all parts.
    void Count(const std::string& part, size_t bytes) const {
        total_ += bytes;
        if (total_ > kMaxPackageBytes) {
            Fail(part, "the parts read inflate past the limit of " + Megabytes(kMaxPackageBytes));
        }
    }

    virtual bool Has(const std::string& part) const = 0;
    // The member's bytes as they inflate, or an error when it is missing.
    virtual std::unique_ptr<PartStream> Open(const std::string& part) const = 0;

protected:
    static std::string Normal(const std::string& part) {
        return (!part.empty() && part.front() == '/') ? part.substr(1) : part;
    }

private:
    std::string label_;
    mutable size_t total_ = 0;   // bytes inflated so far, all parts together
};

class ZipPackage : public Package {
public:
    ZipPackage(zip_t* zip, std::string label) : Package(std::move(label)), zip_(zip) {}
    ~ZipPackage() override { zip_discard(zip_); }

    bool Has(const std::string& part) const override { return Locate(part) >= 0; }

    std::unique_ptr<PartStream> Open(const std::string& part) const override {
        const zip_int64_t index = Locate(part);
        if (index < 0) Fail(part, "part missing from the package");
        zip_file_t* file = zip_fopen_index(zip_, static_cast<zip_uint64_t>(index), 0);
        if (!file) Fail(part, std::string("cannot read: ") + zip_strerror(zip_));
        return std::make_unique<Member>(*this, part, file);
    }

private:
    // The declared size is never trusted: the limits are checked on what
    // really comes out.
    class Member : public PartStream {
    public:
        Member(const Package& pkg, std::string part, zip_file_t* file) : pkg_(pkg), part_(std::move(part)), file_(file) {}
        ~Member() override { zip_fclose(file_); }
        size_t Read(char* into, size_t capacity) override {
            const zip_int64_t n = zip_fread(file_, into, capacity);
            if (n < 0) pkg_.Fail(part_, std::string("damaged data (") + zip_file_strerror(file_) + ")");
            return static_cast<size_t>(n);
        }

    private:
        const Package& pkg_;
        std::string part_;
        zip_file_t* file_;
    };

    // The member of the part's name, or else the first member whose name
    // is that name written with backslashes; -1 when there is none.  Either
    // way one name leads to one member, so no member is read for two parts
    // that a package would otherwise tell apart, and every part read is
    // counted against the limits as it inflates.
    zip_int64_t Locate(const std::string& part) const {
        const std::string name = Normal(part);
        const zip_int64_t exact = zip_name_locate(zip_, name.c_str(), ZIP_FL_NOCASE);
        if (exact >= 0) return exact;
        if (!aliasesMade_) {
            aliasesMade_ = true;
            const zip_int64_t count = zip_get_num_entries(zip_, 0);
            for (zip_int64_t i = 0; i < count; ++i) {
                const char* member = zip_get_name(zip_, static_cast<zip_uint64_t>(i), 0);
                if (member && std::strchr(member, '\\')) aliases_.emplace(SlashForm(member), i);
            }
        }
        const auto alias = aliases_.find(SlashForm(name));
        return alias == aliases_.end() ? -1 : alias->second;
    }
    zip_t* zip_;
    // The members named with backslashes, by their names' slash forms (the
    // first member of each); made at the first part not found by its name.
    mutable std::map<std::string, zip_int64_t> aliases_;
    mutable bool aliasesMade_ = false;
};

class MemoryPackage : public Package {
public:
    MemoryPackage(const std::vector<std::pair<std::string, std::string>>& parts, std::string label)
        : Package(std::move(label)), parts_(parts) {}
    bool Has(const std::string& part) const override { return Find(part) != nullptr; }
    std::unique_ptr<PartStream> Open(const std::string& part) const override {
        const std::string* data = Find(part);
        if (!data) Fail(part, "part missing from the package");
        return std::make_unique<Bytes>(*data);
    }

private:
    class Bytes : public PartStream {
    public:
        explicit Bytes(std::string_view data) : data_(data) {}
        size_t Read(char* into, size_t capacity) override {
            const size_t n = std::min(capacity, data_.size());
            std::memcpy(into, data_.data(), n);
            data_.remove_prefix(n);
            return n;
        }

    private:
        std::string_view data_;
    };

    // As a zip package finds its members: by the name, or else by the name
    // written with backslashes.
    const std::string* Find(const std::string& part) const {
        const std::string name = Normal(part);
        for (const auto& [n, d] : parts_) {
            if (n.size() == name.size() &&
                std::equal(n.begin(), n.end(), name.begin(), [](char a, char b) { return std::tolower(a) == std::tolower(b); })) {
                return &d;
            }
        }
        const std::string slashes = SlashForm(name);
        for (const auto& [n, d] : parts_) {
            if (n.find('\\') != std::string::npos && SlashForm(n) == slashes) return &d;
        }
        return nullptr;
    }
    const std::vector<std::pair<std::string, std::string>>& parts_;
};

// ---------------------------------------------------------------------------
// Streaming XML

// Element and attribute names compared without their namespace prefix.
std::string_view LocalName(const char* name) {
    std::string_view s(name);
    const size_t colon = s.find(':');
    return colon == std::string_view::npos ? s : s.substr(colon + 1);
}
// An attribute's value by its exact name; null when it is not given.
const char* Attribute(const char** atts, std::string_view name) {
    for (; atts[0]; atts += 2) {
        if (name == atts[0]) return atts[1];
    }
    return nullptr;
}
const char* AttributeOr(const char** atts, std::string_view name) {
    const char* v = Attribute(atts, name);
    return v ? v : "";
}
// The relationship id attribute ("r:id" under whatever prefix).
const char* RelId(const char** atts) {
    for (; atts[0]; atts += 2) {
        std::string_view n(atts[0]);
        if (n == "r:id" || (n.size() > 3 && n.substr(n.size() - 3) == ":id")) return atts[1];
    }
    return "";
}

// What a part's reader does with the parser's events.  `depth` is the
// level of the element an event belongs to (the root is 1); `values` counts
// what the part has given so far (cells, strings, entries), which buys room
// for further elements.
class XmlHandler {
public:
    virtual ~XmlHandler() = default;
    virtual void Start(std::string_view name, const char** atts) = 0;
    virtual void End() {}
    virtual void Text(const char* text, size_t length) {}
    int depth = 0;
    size_t values = 0;
};

struct ParseState {
    XML_Parser parser = nullptr;
    XmlHandler* handler = nullptr;
    const Package* pkg = nullptr;
    const std::string* part = nullptr;
    std::exception_ptr error;   // raised by a handler; the parse stops
    XML_Index lastEvent = 0;    // where the latest event began
    size_t elements = 0;
};

// The parser is C: an error raised by a handler is kept and the parse
// stopped, then raised again once the parser has returned.
template <class F>
void Guarded(void* user, F&& f) {
    auto& st = *static_cast<ParseState*>(user);
    if (st.error) return;
    try {
        st.lastEvent = XML_GetCurrentByteIndex(st.parser);
        f(st);
    } catch (...) {
        st.error = std::current_exception();
        XML_StopParser(st.parser, XML_FALSE);
    }
}

void XMLCALL OnStart(void* user, const XML_Char* name, const XML_Char** atts) {
    Guarded(user, [&](ParseState& st) {
        XmlHandler& h = *st.handler;
        if (++h.depth > kMaxDepth) st.pkg->Fail(*st.part, "elements nested deeper than " + std::to_string(kMaxDepth));
        if (++st.elements > kFreeElements + kElementsPerValue * h.values) {
            st.pkg->Fail(*st.part, "too many elements for the values they hold (the limit is " +
                                       std::to_string(kFreeElements) + " elements plus " +
                                       std::to_string(kElementsPerValue) + " for each value)");
        }
        h.Start(LocalName(name), atts);
    });
}
void XMLCALL OnEnd(void* user, const XML_Char*) {
    Guarded(user, [](ParseState& st) {
        st.handler->End();
        --st.handler->depth;
    });
}
void XMLCALL OnText(void* user, const XML_Char* text, int length) {
    Guarded(user, [&](ParseState& st) { st.handler->Text(text, static_cast<size_t>(length)); });
}
// Comments, processing instructions, the declaration: only their place.
void XMLCALL OnOther(void* user, const XML_Char*, int) {
    Guarded(user, [](ParseState&) {});
}
// No part of a workbook declares entities; one that does is refused rather
// than expanded.
void XMLCALL OnEntityDeclaration(void* user, const XML_Char*, int, const XML_Char*, int, const XML_Char*,
                                 const XML_Char*, const XML_Char*, const XML_Char*) {
    Guarded(user, [](ParseState& st) { st.pkg->Fail(*st.part, "entity declarations are not allowed"); });
}

// Reads a part through the handler as it inflates.  Raises the handler's
// errors, "bad XML" for markup that is not well-formed, and the limits'
// errors for a part out of proportion to the values it gave.
void ParsePart(const Package& pkg, const std::string& part, const ValueMemory& memory, XmlHandler& handler) {
    auto in = pkg.Open(part);
    std::unique_ptr<XML_ParserStruct, void (*)(XML_Parser)> parser(XML_ParserCreate(nullptr), XML_ParserFree);
    if (!parser) throw std::bad_alloc();
    XML_Parser p = parser.get();
    ParseState st;
    st.parser = p;
    st.handler = &handler;
    st.pkg = &pkg;
    st.part = &part;
    XML_SetUserData(p, &st);
    XML_SetElementHandler(p, OnStart, OnEnd);
    XML_SetCharacterDataHandler(p, OnText);
    XML_SetDefaultHandlerExpand(p, OnOther);
    XML_SetEntityDeclHandler(p, OnEntityDeclaration);

    const size_t heldBefore = memory.Held();
    size_t inflated = 0;
    for (;;) {
        void* buffer = XML_GetBuffer(p, static_cast<int>(kChunk));
        if (!buffer) throw std::bad_alloc();
        const size_t n = in->Read(static_cast<char*>(buffer), kChunk);
        inflated += n;
        pkg.Count(part, n);
        const size_t given = memory.Held() > heldBefore ? memory.Held() - heldBefore : 0;
        if (inflated > kMaxPartBytes && inflated - kMaxPartBytes > given * kMarkupPerValueByte) pkg.TooLarge(part);
        const XML_Status status = XML_ParseBuffer(p, static_cast<int>(n), n == 0);
        if (st.error) std::rethrow_exception(st.error);
        if (status != XML_STATUS_OK) {
            pkg.Fail(part, "bad XML at byte " + std::to_string(XML_GetCurrentByteIndex(p)) + " (" +
                               XML_ErrorString(XML_GetErrorCode(p)) + ")");
        }
        if (n == 0) break;
        if (inflated - static_cast<size_t>(std::max<XML_Index>(st.lastEvent, 0)) > kMaxToken + kChunk) {
            pkg.Fail(part, "markup without an end longer than " + Megabytes(kMaxToken) + " at byte " +
                               std::to_string(st.lastEvent));
        }
    }
}

std::string Folder(const std::string& part) {
    const size_t slash = part.rfind('/');
    return slash == std::string::npos ? std::string() : part.substr(0, slash + 1);
}
// Resolves a relationship target against the folder of its source part.
std::string ResolveTarget(const std::string& sourceFolder, const std::string& target) {
    std::string joined = (!target.empty() && target.front() == '/') ? target.substr(1) : sourceFolder + target;
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= joined.size()) {
        size_t slash = joined.find('/', start);
        if (slash == std::string::npos) slash = joined.size();
        std::string seg = joined.substr(start, slash - start);
        if (seg == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!seg.empty() && seg != ".") {
            parts.push_back(seg);
        }
        start = slash + 1;
    }
    std::string out;
    for (const auto& p : parts) out += (out.empty() ? "" : "/") + p;
    return out;
}

// The reader of one part of the package, keeping values within `memory`.
class PartHandler : public XmlHandler {
public:
    PartHandler(const Package& pkg, const std::string& part, ValueMemory& memory)
        : pkg_(pkg), part_(part), memory_(memory) {}

protected:
    // At the root element: raises "no <expected> element" for any other.
    void RequireRoot(std::string_view name, std::string_view expected) const {
        if (name != expected) pkg_.Fail(part_, "no <" + std::string(expected) + "> element");
    }
    const Package& pkg_;
    const std::string& part_;
    ValueMemory& memory_;
};

struct Relationship {
    std::string id, type, target;
};

// <Relationships><Relationship Id Type Target [TargetMode]/>...
class RelationshipsHandler : public PartHandler {
public:
    RelationshipsHandler(const Package& pkg, const std::string& part, std::string folder, ValueMemory& memory)
        : PartHandler(pkg, part, memory), folder_(std::move(folder)) {}
    void Start(std::string_view name, const char** atts) override {
        if (depth == 1) root_ = name == "Relationships";
        if (depth != 2 || !root_ || name != "Relationship") return;
        if (std::string_view(AttributeOr(atts, "TargetMode")) == "External") return;
        Relationship r{AttributeOr(atts, "Id"), AttributeOr(atts, "Type"),
                       ResolveTarget(folder_, AttributeOr(atts, "Target"))};
        memory_.Take(sizeof r + StringMemory(r.id.size()) + StringMemory(r.type.size()) + StringMemory(r.target.size()));
        out.push_back(std::move(r));
        ++values;
    }
    std::vector<Relationship> out;

private:
    std::string folder_;
    bool root_ = false;
};

// The relationships of a part ("<folder>_rels/<name>.rels"); none when the
// package has no such part.
std::vector<Relationship> ReadRelationships(const Package& pkg, const std::string& part, ValueMemory& memory) {
    const std::string folder = Folder(part);
    const std::string rels = folder + "_rels/" + part.substr(folder.size()) + ".rels";
    if (!pkg.Has(rels)) return {};
    RelationshipsHandler handler(pkg, rels, folder, memory);
    ParsePart(pkg, rels, memory, handler);
    return std::move(handler.out);
}
bool EndsWith(std::string_view s, std::string_view tail) {
    return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}
// The first of the relationships whose type ends with `tail`; null when
// none has it.
const Relationship* OfType(const std::vector<Relationship>& rels, std::string_view tail) {
    for (const auto& r : rels) {
        if (EndsWith(r.type, tail)) return &r;
    }
    return nullptr;
}

// Replaces the "_xHHHH_" escapes of the format by the characters they name.
void DecodeEscapes(std::string& s) {
    if (s.find("_x") == std::string::npos) return;
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '_' && i + 6 < s.size() && s[i + 1] == 'x' && s[i + 6] == '_') {
            unsigned code = 0;
            bool hex = true;
            for (size_t k = i + 2; k < i + 6; ++k) {
                const char c = s[k];
                code <<= 4;
                if (c >= '0' && c <= '9') code |= unsigned(c - '0');
                else if (c >= 'a' && c <= 'f') code |= unsigned(c - 'a' + 10);
                else if (c >= 'A' && c <= 'F') code |= unsigned(c - 'A' + 10);
                else hex = false;
            }
            if (hex && (code < 0xD800 || code > 0xDFFF)) {
                vb::AppendUtf8(out, code);
                i += 6;
                continue;
            }
        }
        out += s[i];
    }
    s = std::move(out);
}

// The text of a shared-string item or an inline string as its elements
// stream by: its <t>, or the <t> of each rich-text run; phonetic runs are no
// part of the text.  Begin at the item's element, then pass on the events
// inside it.
class ItemText {
public:
    void Begin(int depth) {
        base_ = depth;
        capture_ = 0;
        inRun_ = false;
        text.clear();
    }
    void Start(int depth, std::string_view name) {
        if (depth == base_ + 1) {
            if (name == "t") {
                capture_ = depth;
            } else if (name == "r") {
                inRun_ = true;
                runText_ = false;
            }
        } else if (depth == base_ + 2 && inRun_ && !runText_ && name == "t") {
            runText_ = true;   // a run's first <t> only
            capture_ = depth;
        }
    }
    void End(int depth) {
        if (depth == capture_) capture_ = 0;
        if (depth == base_ + 1) inRun_ = false;
    }
    bool Captures(int depth) const { return capture_ != 0 && depth == capture_; }
    std::string text;

private:
    int base_ = 0, capture_ = 0;
    bool inRun_ = false, runText_ = false;
};

// The most markup one byte of a text can take: the escape "_xHHHH_" of a
// character of one byte (a character written as itself is its own bytes).
constexpr size_t kMarkupPerTextByte = 7;

// Appends a piece of a text the reader keeps, within the value memory.
// False, with nothing appended, when the markup of the text grows beyond
// what a text of kMaxCellTextBytes can take: the text is longer than that.
[[nodiscard]] bool AppendText(std::string& to, const char* text, size_t length, const ValueMemory& memory) {
    if (length > kMaxCellTextBytes * kMarkupPerTextByte - to.size()) return false;
    memory.Need(StringMemory(to.size() + length));
    to.append(text, length);
    return true;
}

// <sst><si>...</si>...
class SharedStringsHandler : public PartHandler {
public:
    using PartHandler::PartHandler;
    void Start(std::string_view name, const char** atts) override {
        if (depth == 1) {
            RequireRoot(name, "sst");
        } else if (depth == 2) {
            inItem_ = name == "si";
            if (inItem_) item_.Begin(depth);
        } else if (inItem_) {
            item_.Start(depth, name);
        }
    }
    void End() override {
        if (!inItem_) return;
        if (depth > 2) {
            item_.End(depth);
            return;
        }
        DecodeEscapes(item_.text);
        if (item_.text.size() > kMaxCellTextBytes) TooLong();
        memory_.Take(StringMemory(item_.text.size()));
        out.push_back(std::move(item_.text));
        ++values;
        inItem_ = false;
    }
    void Text(const char* text, size_t length) override {
        if (inItem_ && item_.Captures(depth) && !AppendText(item_.text, text, length, memory_)) TooLong();
    }
    std::vector<std::string> out;

private:
    // The item being read is the string of that index in the workbook.
    [[noreturn]] void TooLong() const { pkg_.Fail(part_, "shared string " + std::to_string(out.size()) + ": " + TextTooLong()); }
    ItemText item_;
    bool inItem_ = false;
};

std::vector<std::string> ReadSharedStrings(const Package& pkg, const std::string& part, ValueMemory& memory) {
    SharedStringsHandler handler(pkg, part, memory);
    ParsePart(pkg, part, memory, handler);
    return std::move(handler.out);
}

// A whole number of 0 to 4,294,967,295 in an attribute; false when it is
// not given or is none.
bool WholeAttribute(const char** atts, std::string_view name, uint32_t& value) {
    const char* text = Attribute(atts, name);
    double n = 0;
    if (!text || !ParseXmlNumber(text, n) || !(n >= 0 && n <= 4294967295.0) || n != std::floor(n)) return false;
    value = static_cast<uint32_t>(n);
    return true;
}

// <styleSheet><numFmts><numFmt numFmtId formatCode/>...</numFmts>...
//   <cellXfs><xf numFmtId/>...</cellXfs>...
// The cell formats that a cell's "s" names, and the number formats they
// show their numbers in.
class StylesHandler : public PartHandler {
public:
    using PartHandler::PartHandler;
    void Start(std::string_view name, const char** atts) override {
        if (depth == 1) {
            RequireRoot(name, "styleSheet");
        } else if (depth == 2) {
            inFormats_ = name == "numFmts";
            inCellFormats_ = !seenCellFormats_ && name == "cellXfs";
            seenCellFormats_ = seenCellFormats_ || inCellFormats_;
        } else if (depth == 3 && inFormats_ && name == "numFmt") {
            uint32_t id = 0;
            if (!WholeAttribute(atts, "numFmtId", id)) return;   // no cell format can name it
            memory_.Take(kFormatEntryBytes);
            formats_[id] = FormatShowsDate(AttributeOr(atts, "formatCode"));
            ++values;
        } else if (depth == 3 && inCellFormats_ && name == "xf") {
            uint32_t id = 0;   // without a number format: General
            WholeAttribute(atts, "numFmtId", id);
            memory_.Take(sizeof id);
            cellFormats_.push_back(id);
            ++values;
        }
    }
    void End() override {
        if (depth == 2) inFormats_ = inCellFormats_ = false;
    }
    // For each cell format, 1 when its number format shows a date: one of
    // the workbook's own formats, or else a built-in one.
    std::vector<uint8_t> DateFormats() const {
        memory_.Take(cellFormats_.size());
        std::vector<uint8_t> out;
        out.reserve(cellFormats_.size());
        for (uint32_t id : cellFormats_) {
            auto it = formats_.find(id);
            out.push_back(it != formats_.end() ? it->second : BuiltInFormatShowsDate(id));
        }
        return out;
    }

private:
    // What one number format of the map takes, with the heap's share.
    static constexpr size_t kFormatEntryBytes = 48;
    std::map<uint32_t, bool> formats_;
    std::vector<uint32_t> cellFormats_;
    bool inFormats_ = false, inCellFormats_ = false, seenCellFormats_ = false;
};

std::vector<uint8_t> ReadDateFormats(const Package& pkg, const std::string& part, ValueMemory& memory) {
    StylesHandler handler(pkg, part, memory);
    ParsePart(pkg, part, memory, handler);
    return handler.DateFormats();
}

// <worksheet>...<sheetData><row r><c r t><v/> or <is/></c>...</row>...
// An Excel 4.0 macro sheet (<xm:macrosheet>) holds its cells the same way
// and reads as a worksheet; a chart sheet and a dialog sheet hold none and
// read as empty sheets.
class WorksheetHandler : public PartHandler {
public:
    // `dateFormats`: for each cell format, whether its numbers are dates of
    // the 1904 system; empty in a workbook of the 1900 system.
    WorksheetHandler(const Package& pkg, const std::string& part, Sheet& sheet, const std::vector<std::string>& shared,
                     const std::vector<uint8_t>& dateFormats, ValueMemory& memory)
        : PartHandler(pkg, part, memory), sheet_(sheet), shared_(shared), dateFormats_(dateFormats) {
        // Each shared string enters the sheet's own strings once, when first used.
        memory_.Take(shared.size() * sizeof(uint32_t));
        local_.assign(shared.size(), kNone);
    }
    ~WorksheetHandler() override { memory_.Give(local_.size() * sizeof(uint32_t)); }

    void Start(std::string_view name, const char** atts) override {
        switch (depth) {
        case 1:
            if (name == "chartsheet" || name == "dialogsheet") {
                other_ = true;   // no cells: an empty sheet
            } else if (name != "worksheet" && name != "macrosheet") {
                pkg_.Fail(part_, "no <worksheet> element");
            }
            break;
        case 2:
            inData_ = !other_ && !seenData_ && name == "sheetData";
            seenData_ = seenData_ || inData_;
            break;
        case 3:
            inRow_ = inData_ && name == "row";
            if (inRow_) StartRow(atts);
            break;
        case 4:
            inCell_ = inRow_ && name == "c";
            if (inCell_) StartCell(atts);
            break;
        case 5:
            if (!inCell_) break;
            if (name == "v" && !hasV_) {
                hasV_ = true;
                captureV_ = true;
            } else if (name == "is" && !hasIs_) {
                hasIs_ = inIs_ = true;
                item_.Begin(depth);
            }
            break;
        default:
            if (inIs_) item_.Start(depth, name);
            break;
        }
    }
    void End() override {
        switch (depth) {
        case 2: inData_ = false; break;
        case 3: inRow_ = false; break;
        case 4:
            if (inCell_) EndCell();
            inCell_ = false;
            break;
        case 5:
            captureV_ = false;
            inIs_ = false;
            break;
        default:
            if (inIs_) item_.End(depth);
            break;
        }
    }
    void Text(const char* text, size_t length) override {
        if (captureV_ && depth == 5) {
            if (!AppendText(v_, text, length, memory_)) TooLong();
        } else if (inIs_ && item_.Captures(depth)) {
            if (!AppendText(item_.text, text, length, memory_)) TooLong();
        }
    }

private:
    static constexpr uint32_t kNone = std::numeric_limits<uint32_t>::max();

    void StartRow(const char** atts) {
        if (const char* r = Attribute(atts, "r")) {
            double n = 0;
            if (!ParseXmlNumber(r, n) || !(n >= 1 && n <= kMaxRow) || n != std::floor(n)) {
                pkg_.Fail(part_, "bad row number " + Quoted(r));
            }
            rowNumber_ = static_cast<int32_t>(n);
        } else {
            ++rowNumber_;
        }
        if (rowNumber_ > kMaxRow) pkg_.Fail(part_, "row beyond the last row of a sheet");
        col_ = 0;
    }

    void StartCell(const char** atts) {
        cellRow_ = rowNumber_;
        const char* r = Attribute(atts, "r");
        hasRef_ = r != nullptr;
        if (r) {
            ref_ = r;
            // A reference's row names the cell's row even when it is not the
            // enclosing row's number.
            if (!ParseCellRef(ref_, cellRow_, col_)) pkg_.Fail(part_, "bad cell reference " + Quoted(ref_));
        } else {
            ++col_;
        }
        if (col_ > kMaxCol) pkg_.Fail(part_, "cell beyond the last column of a sheet");
        type_ = AttributeOr(atts, "t");
        uint32_t format = 0;
        dateFormat_ = !dateFormats_.empty() && WholeAttribute(atts, "s", format) && format < dateFormats_.size() &&
                      dateFormats_[format] != 0;
        hasV_ = hasIs_ = inIs_ = captureV_ = false;
        v_.clear();
    }

    std::string Where() const { return "cell " + (hasRef_ ? ref_ : std::to_string(col_)); }

    [[noreturn]] void TooLong() const { pkg_.Fail(part_, Where() + ": " + TextTooLong()); }

    uint32_t AddString(std::string text) {
        if (text.size() > kMaxCellTextBytes) TooLong();
        memory_.Take(StringMemory(text.size()));
        return sheet_.AddString(std::move(text));
    }

    void EndCell() {
        Cell cell;
        if (type_ == "inlineStr") {
            if (hasIs_) {
                DecodeEscapes(item_.text);
                cell.kind = Cell::Text;
                cell.text = AddString(std::move(item_.text));
            } else if (hasV_) {
                cell.kind = Cell::Text;
                cell.text = AddString(std::move(v_));
            }
        } else if (!hasV_) {
            return;   // no value: the cell is empty
        } else if (type_ == "s") {
            // An empty index (<v/>, as some writers store a cell they
            // emptied) is no string: the cell is empty.
            if (v_.empty()) return;
            double n = 0;
            // A whole number, tested without converting it (a huge one would
            // not fit any integer type).
            if (!ParseXmlNumber(v_, n) || !(n >= 0) || n != std::floor(n)) {
                pkg_.Fail(part_, Where() + ": bad shared-string index " + Quoted(v_));
            }
            if (n >= static_cast<double>(shared_.size())) {
                pkg_.Fail(part_, Where() + ": shared string " + std::string(Quoted(v_), 1, std::min<size_t>(v_.size(), 64)) +
                                     " out of range (the workbook has " + std::to_string(shared_.size()) + ")");
            }
            const size_t k = static_cast<size_t>(n);
            if (local_[k] == kNone) local_[k] = AddString(shared_[k]);
            cell.kind = Cell::Text;
            cell.text = local_[k];
        } else if (type_ == "str") {
            DecodeEscapes(v_);
            cell.kind = Cell::Text;
            cell.text = AddString(std::move(v_));
        } else if (type_ == "b") {
            double n = 0;
            if (!ParseXmlNumber(v_, n)) pkg_.Fail(part_, Where() + ": bad boolean " + Quoted(v_));
            cell.kind = Cell::Boolean;
            cell.number = n != 0 ? 1 : 0;
        } else if (type_ == "e") {
            cell.kind = Cell::Error;
            const int32_t code = ErrorCodeOfText(v_);
            cell.number = code != 0 ? code : 2015;
        } else if (type_ == "d") {
            double serial = 0;
            if (IsoDateToSerial(v_, serial)) {
                cell.kind = Cell::Number;
                cell.number = serial;
            } else {
                cell.kind = Cell::Text;
                cell.text = AddString(std::move(v_));
            }
        } else if (type_.empty() || type_ == "n") {
            double n = 0;
            if (v_.empty()) return;
            if (!ParseXmlNumber(v_, n)) pkg_.Fail(part_, Where() + ": bad number " + Quoted(v_));
            cell.kind = Cell::Number;
            cell.number = dateFormat_ ? From1904(n) : n;
        } else {
            pkg_.Fail(part_, Where() + ": unknown cell type " + Quoted(type_));
        }
        if (cell.kind == Cell::Empty) return;
        memory_.Take(CellMemory(cellRow_ != lastRow_));
        lastRow_ = cellRow_;
        sheet_.Put(cellRow_, col_, cell);
        ++values;
    }

    Sheet& sheet_;
    const std::vector<std::string>& shared_;
    const std::vector<uint8_t>& dateFormats_;
    std::vector<uint32_t> local_;
    ItemText item_;
    bool other_ = false, seenData_ = false, inData_ = false, inRow_ = false, inCell_ = false;
    bool hasRef_ = false, hasV_ = false, hasIs_ = false, inIs_ = false, captureV_ = false, dateFormat_ = false;
    int32_t rowNumber_ = 0, col_ = 0, cellRow_ = 0, lastRow_ = 0;
    std::string ref_, type_, v_;
};

std::shared_ptr<Sheet> ReadWorksheet(const Package& pkg, const std::string& part, const std::string& name,
                                     const std::vector<std::string>& shared, const std::vector<uint8_t>& dateFormats,
                                     ValueMemory& memory) {
    auto sheet = std::make_shared<Sheet>();
    sheet->name = name;
    {
        WorksheetHandler handler(pkg, part, *sheet, shared, dateFormats, memory);
        ParsePart(pkg, part, memory, handler);
    }
    sheet->Finish();
    return sheet;
}

// <workbook><workbookPr date1904/>...<sheets><sheet name r:id/>...</sheets>...
//   <bookViews><workbookView activeTab/>...
class WorkbookHandler : public PartHandler {
public:
    struct Entry {
        std::string name, id;
    };
    using PartHandler::PartHandler;
    void Start(std::string_view name, const char** atts) override {
        if (depth == 1) {
            RequireRoot(name, "workbook");
        } else if (depth == 2) {
            // The first <sheets> and the first <bookViews> only.
            inSheets_ = !seenSheets_ && name == "sheets";
            seenSheets_ = seenSheets_ || inSheets_;
            inViews_ = !seenViews_ && name == "bookViews";
            seenViews_ = seenViews_ || inViews_;
        } else if (depth == 3 && inSheets_ && name == "sheet") {
            Entry e{AttributeOr(atts, "name"), RelId(atts)};
            memory_.Take(sizeof e + StringMemory(e.name.size()) + StringMemory(e.id.size()));
            sheets.push_back(std::move(e));
            ++values;
        } else if (depth == 3 && inViews_ && !seenView_ && name == "workbookView") {
            seenView_ = true;
            activeTab = AttributeOr(atts, "activeTab");
        }
        if (depth == 2 && !seenProperties_ && name == "workbookPr") {
            seenProperties_ = true;
            const std::string_view system = AttributeOr(atts, "date1904");
            date1904 = system == "1" || system == "true";
        }
    }
    void End() override {
        if (depth == 2) inSheets_ = inViews_ = false;
    }
    std::vector<Entry> sheets;
    std::string activeTab;
    bool date1904 = false;

private:
    bool inSheets_ = false, seenSheets_ = false, inViews_ = false, seenViews_ = false, seenView_ = false;
    bool seenProperties_ = false;
};

std::shared_ptr<Workbook> ReadPackage(const Package& pkg, const ReadLimits& limits) {
    ValueMemory memory(limits.valueMemory, pkg.Label());
    // The workbook part: named by the package relationships, or the usual place.
    const std::string workbookPart = [&] {
        const auto packageRels = ReadRelationships(pkg, "", memory);
        const Relationship* r = OfType(packageRels, "/officeDocument");
        return r ? r->target : std::string("xl/workbook.xml");
    }();
    // A workbook saved in the binary format (.xlsb) keeps its parts in
    // records, not in XML; it is named for what it is rather than refused
    // as markup gone bad.
    if (SlashForm(workbookPart).ends_with(".bin") || (!pkg.Has(workbookPart) && pkg.Has("xl/workbook.bin"))) {
        pkg.Fail("", "the binary .xlsb format is not read: save the workbook as .xlsx to read it");
    }
    if (!pkg.Has(workbookPart)) pkg.Fail("", "not a workbook (no " + workbookPart + " in the package)");
    const auto rels = ReadRelationships(pkg, workbookPart, memory);

    WorkbookHandler wb(pkg, workbookPart, memory);
    ParsePart(pkg, workbookPart, memory, wb);

    std::vector<std::string> shared;
    if (const Relationship* r = OfType(rels, "/sharedStrings")) shared = ReadSharedStrings(pkg, r->target, memory);
    // Which cells hold dates matters only in the 1904 date system; a
    // workbook without styles has no cell in a date format.
    std::vector<uint8_t> dateFormats;
    const Relationship* styles = OfType(rels, "/styles");
    if (wb.date1904 && styles) dateFormats = ReadDateFormats(pkg, styles->target, memory);

    // The active tab counts the workbook's entries; when it is out of their
    // range, or names an entry left out below, the first sheet is active.
    double tab = 0;
    size_t activeEntry = 0;
    if (ParseXmlNumber(wb.activeTab, tab) && tab >= 0 && tab < static_cast<double>(wb.sheets.size())) {
        activeEntry = static_cast<size_t>(tab);
    }
    auto book = std::make_shared<Workbook>();
    for (size_t k = 0; k < wb.sheets.size(); ++k) {
        const auto& s = wb.sheets[k];
        // An entry that names no part (r:id="" or none, as some writers
        // list a very hidden sheet or a module) has nothing to read and is
        // left out rather than read as an empty sheet: the user never sees
        // it, so it must not become the first sheet or the active one.  An
        // entry naming a relationship the workbook lacks, or a part the
        // package lacks, is damage and refused.
        if (s.id.empty()) continue;
        auto rel = std::find_if(rels.begin(), rels.end(), [&](const Relationship& r) { return r.id == s.id; });
        if (rel == rels.end()) {
            pkg.Fail(workbookPart, "sheet \"" + s.name + "\" has no part (relationship \"" + s.id + "\" missing)");
        }
        if (k == activeEntry) book->activeSheet = static_cast<int32_t>(book->sheets.size());
        book->sheets.push_back(ReadWorksheet(pkg, rel->target, s.name, shared, dateFormats, memory));
    }
    if (book->sheets.empty()) pkg.Fail(workbookPart, "the workbook has no sheet");
    return book;
}

std::string BaseName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::shared_ptr<Workbook> ReadXlsxBytes(const void* data, size_t size, const std::string& name, const ReadLimits& limits) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* src = zip_source_buffer_create(data, size, 0, &error);
    if (!src) {
        zip_error_fini(&error);
        Fail(name + ": cannot read the file");
    }
    zip_t* zip = zip_open_from_source(src, ZIP_RDONLY, &error);
    if (!zip) {
        zip_source_free(src);
        const std::string why = zip_error_strerror(&error);
        zip_error_fini(&error);
        Fail(name + ": not a workbook file (" + why + ")");
    }
    zip_error_fini(&error);
    ZipPackage pkg(zip, name);
    auto book = ReadPackage(pkg, limits);
    book->name = BaseName(name);
    book->path = name;
    return book;
}

std::shared_ptr<Workbook> ReadXlsxParts(const std::vector<std::pair<std::string, std::string>>& parts,
                                        const std::string& name, const ReadLimits& limits) {
    MemoryPackage pkg(parts, name);
    auto book = ReadPackage(pkg, limits);
    book->name = BaseName(name);
    book->path = name;
    return book;
}

std::shared_ptr<Workbook> ReadXlsxFile(const std::string& path, const ReadLimits& limits) {
    int code = 0;
    zip_t* zip = zip_open(path.c_str(), ZIP_RDONLY, &code);
    if (!zip) {
        zip_error_t error;
        zip_error_init_with_code(&error, code);
        const std::string why = zip_error_strerror(&error);
        zip_error_fini(&error);
        Fail(path + ": not a workbook file (" + why + ")");
    }
    ZipPackage pkg(zip, path);
    auto book = ReadPackage(pkg, limits);
    book->name = BaseName(path);
    book->path = path;
    return book;
}

}  // namespace sheet
