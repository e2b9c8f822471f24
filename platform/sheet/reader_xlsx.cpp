// The .xlsx/.xlsm reader: a zip package (libzip) of XML parts (pugixml).
//
// Parts read: the package relationships (to find the workbook part), the
// workbook (sheet names, order and the active tab), its relationships (the
// sheets' parts and the shared strings), the shared strings and every
// worksheet's sheetData.  Nothing else of the package is needed for cell
// values.  Every member is inflated into memory under kMaxPartBytes.
#include <cmath>
#include <zip.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <limits>
#include <pugixml.hpp>

#include "platform/sheet/workbook.h"

namespace sheet {
namespace {

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

    virtual bool Has(const std::string& part) const = 0;
    // The bytes of a member with a terminating zero for the XML parser, or
    // an error when it is missing, damaged or too large.
    virtual std::vector<char> Read(const std::string& part) const = 0;

    // Parses a member as XML into doc (the bytes are kept in buffer, which
    // must outlive doc).
    void Parse(const std::string& part, std::vector<char>& buffer, pugi::xml_document& doc) const {
        buffer = Read(part);
        const auto flags = pugi::parse_default | pugi::parse_ws_pcdata_single;
        pugi::xml_parse_result r = doc.load_buffer_inplace(buffer.data(), buffer.size() - 1, flags, pugi::encoding_utf8);
        if (!r) Fail(part, std::string("bad XML at byte ") + std::to_string(r.offset) + " (" + r.description() + ")");
    }

protected:
    static std::string Normal(const std::string& part) {
        return (!part.empty() && part.front() == '/') ? part.substr(1) : part;
    }
    [[noreturn]] void TooLarge(const std::string& part) const {
        Fail(part, "part inflates past the limit of " + std::to_string(kMaxPartBytes >> 20) + " MiB");
    }
    void Count(const std::string& part, size_t bytes) const {
        total_ += bytes;
        if (total_ > kMaxPackageBytes) {
            Fail(part, "the parts read inflate past the limit of " + std::to_string(kMaxPackageBytes >> 20) + " MiB");
        }
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

    std::vector<char> Read(const std::string& part) const override {
        const zip_int64_t index = Locate(part);
        if (index < 0) Fail(part, "part missing from the package");
        zip_stat_t st;
        zip_stat_init(&st);
        size_t expected = 0;
        if (zip_stat_index(zip_, static_cast<zip_uint64_t>(index), 0, &st) == 0 && (st.valid & ZIP_STAT_SIZE)) {
            if (st.size > kMaxPartBytes) TooLarge(part);
            expected = static_cast<size_t>(st.size);
        }
        zip_file_t* file = zip_fopen_index(zip_, static_cast<zip_uint64_t>(index), 0);
        if (!file) Fail(part, std::string("cannot read: ") + zip_strerror(zip_));
        std::vector<char> out;
        // The declared size is only a hint: the data may inflate to more or
        // less, and the limits are checked on what really comes out.
        out.reserve(std::min(expected, size_t(64) << 20) + 1);
        char chunk[1 << 16];
        for (;;) {
            const zip_int64_t n = zip_fread(file, chunk, sizeof chunk);
            if (n < 0) {
                std::string why = zip_file_strerror(file);
                zip_fclose(file);
                Fail(part, "damaged data (" + why + ")");
            }
            if (n == 0) break;
            if (out.size() + static_cast<size_t>(n) > kMaxPartBytes) {
                zip_fclose(file);
                TooLarge(part);
            }
            try {
                Count(part, static_cast<size_t>(n));
            } catch (...) {
                zip_fclose(file);
                throw;
            }
            out.insert(out.end(), chunk, chunk + n);
        }
        zip_fclose(file);
        out.push_back('\0');
        return out;
    }

private:
    zip_int64_t Locate(const std::string& part) const {
        return zip_name_locate(zip_, Normal(part).c_str(), ZIP_FL_NOCASE);
    }
    zip_t* zip_;
};

class MemoryPackage : public Package {
public:
    MemoryPackage(const std::vector<std::pair<std::string, std::string>>& parts, std::string label)
        : Package(std::move(label)), parts_(parts) {}
    bool Has(const std::string& part) const override { return Find(part) != nullptr; }
    std::vector<char> Read(const std::string& part) const override {
        const std::string* data = Find(part);
        if (!data) Fail(part, "part missing from the package");
        if (data->size() > kMaxPartBytes) TooLarge(part);
        Count(part, data->size());
        std::vector<char> out(data->begin(), data->end());
        out.push_back('\0');
        return out;
    }

private:
    const std::string* Find(const std::string& part) const {
        const std::string name = Normal(part);
        for (const auto& [n, d] : parts_) {
            if (n.size() == name.size() &&
                std::equal(n.begin(), n.end(), name.begin(), [](char a, char b) { return std::tolower(a) == std::tolower(b); })) {
                return &d;
            }
        }
        return nullptr;
    }
    const std::vector<std::pair<std::string, std::string>>& parts_;
};

// Element and attribute names compared without their namespace prefix.
std::string_view LocalName(const char* name) {
    std::string_view s(name);
    const size_t colon = s.find(':');
    return colon == std::string_view::npos ? s : s.substr(colon + 1);
}
pugi::xml_node Child(pugi::xml_node node, std::string_view local) {
    for (pugi::xml_node c = node.first_child(); c; c = c.next_sibling()) {
        if (c.type() == pugi::node_element && LocalName(c.name()) == local) return c;
    }
    return {};
}
// The relationship id attribute ("r:id" under whatever prefix).
const char* RelId(pugi::xml_node node) {
    for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
        std::string_view n(a.name());
        if (n == "r:id" || (n.size() > 3 && n.substr(n.size() - 3) == ":id")) return a.value();
    }
    return "";
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

struct Relationship {
    std::string id, type, target;
};
// The relationships of a part ("<folder>_rels/<name>.rels"); none when the
// package has no such part.
std::vector<Relationship> ReadRelationships(const Package& pkg, const std::string& part) {
    const std::string folder = Folder(part);
    const std::string rels = folder + "_rels/" + part.substr(folder.size()) + ".rels";
    std::vector<Relationship> out;
    if (!pkg.Has(rels)) return out;
    std::vector<char> buffer;
    pugi::xml_document doc;
    pkg.Parse(rels, buffer, doc);
    pugi::xml_node root = Child(doc, "Relationships");
    for (pugi::xml_node r = root.first_child(); r; r = r.next_sibling()) {
        if (r.type() != pugi::node_element || LocalName(r.name()) != "Relationship") continue;
        if (std::string_view(r.attribute("TargetMode").value()) == "External") continue;
        out.push_back({r.attribute("Id").value(), r.attribute("Type").value(),
                       ResolveTarget(folder, r.attribute("Target").value())});
    }
    return out;
}
bool EndsWith(std::string_view s, std::string_view tail) {
    return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
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
                if (code < 0x80) {
                    out += static_cast<char>(code);
                } else if (code < 0x800) {
                    out += static_cast<char>(0xC0 | (code >> 6));
                    out += static_cast<char>(0x80 | (code & 0x3F));
                } else {
                    out += static_cast<char>(0xE0 | (code >> 12));
                    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
                    out += static_cast<char>(0x80 | (code & 0x3F));
                }
                i += 6;
                continue;
            }
        }
        out += s[i];
    }
    s = std::move(out);
}

// The text of a shared-string item or an inline string: its <t>, or the <t>
// of each rich-text run; phonetic runs are no part of the text.
std::string StringItemText(pugi::xml_node si) {
    std::string text;
    for (pugi::xml_node c = si.first_child(); c; c = c.next_sibling()) {
        if (c.type() != pugi::node_element) continue;
        const std::string_view n = LocalName(c.name());
        if (n == "t") {
            text += c.child_value();
        } else if (n == "r") {
            if (pugi::xml_node t = Child(c, "t")) text += t.child_value();
        }
    }
    DecodeEscapes(text);
    return text;
}

std::vector<std::string> ReadSharedStrings(const Package& pkg, const std::string& part) {
    std::vector<std::string> out;
    std::vector<char> buffer;
    pugi::xml_document doc;
    pkg.Parse(part, buffer, doc);
    pugi::xml_node sst = Child(doc, "sst");
    if (!sst) pkg.Fail(part, "no <sst> element");
    for (pugi::xml_node si = sst.first_child(); si; si = si.next_sibling()) {
        if (si.type() == pugi::node_element && LocalName(si.name()) == "si") out.push_back(StringItemText(si));
    }
    return out;
}

std::shared_ptr<Sheet> ReadWorksheet(const Package& pkg, const std::string& part, const std::string& name,
                                     const std::vector<std::string>& shared) {
    auto sheet = std::make_shared<Sheet>();
    sheet->name = name;
    std::vector<char> buffer;
    pugi::xml_document doc;
    pkg.Parse(part, buffer, doc);
    pugi::xml_node root = doc.document_element();
    const std::string_view rootName = root ? LocalName(root.name()) : std::string_view();
    if (rootName == "chartsheet" || rootName == "dialogsheet") {
        sheet->Finish();
        return sheet;
    }
    if (rootName != "worksheet") pkg.Fail(part, "no <worksheet> element");
    // Each shared string enters the sheet's own strings once, when first used.
    std::vector<uint32_t> local(shared.size(), std::numeric_limits<uint32_t>::max());
    int32_t rowNumber = 0;
    pugi::xml_node data = Child(root, "sheetData");
    for (pugi::xml_node row = data.first_child(); row; row = row.next_sibling()) {
        if (row.type() != pugi::node_element || LocalName(row.name()) != "row") continue;
        if (pugi::xml_attribute r = row.attribute("r")) {
            double n = 0;
            if (!ParseXmlNumber(r.value(), n) || !(n >= 1 && n <= kMaxRow) || n != std::floor(n)) {
                pkg.Fail(part, std::string("bad row number \"") + r.value() + "\"");
            }
            rowNumber = static_cast<int32_t>(n);
        } else {
            ++rowNumber;
        }
        if (rowNumber > kMaxRow) pkg.Fail(part, "row beyond the last row of a sheet");
        int32_t col = 0;
        for (pugi::xml_node c = row.first_child(); c; c = c.next_sibling()) {
            if (c.type() != pugi::node_element || LocalName(c.name()) != "c") continue;
            int32_t cellRow = rowNumber;
            if (pugi::xml_attribute r = c.attribute("r")) {
                if (!ParseCellRef(r.value(), cellRow, col)) pkg.Fail(part, std::string("bad cell reference \"") + r.value() + "\"");
                // A reference's row names the cell's row even when it is not
                // the enclosing row's number.
            } else {
                ++col;
            }
            if (col > kMaxCol) pkg.Fail(part, "cell beyond the last column of a sheet");
            const std::string_view type = c.attribute("t").value();
            pugi::xml_node v = Child(c, "v");
            const char* vtext = v ? v.child_value() : nullptr;
            const std::string where = std::string("cell ") + (c.attribute("r") ? c.attribute("r").value() : std::to_string(col));
            Cell cell;
            if (type == "inlineStr") {
                pugi::xml_node is = Child(c, "is");
                if (is) {
                    cell.kind = Cell::Text;
                    cell.text = sheet->AddString(StringItemText(is));
                } else if (vtext) {
                    cell.kind = Cell::Text;
                    cell.text = sheet->AddString(vtext);
                }
            } else if (!vtext) {
                continue;   // no value: the cell is empty
            } else if (type == "s") {
                double n = 0;
                // A whole number, tested without converting it (a huge one
                // would not fit any integer type).
                if (!ParseXmlNumber(vtext, n) || !(n >= 0) || n != std::floor(n)) {
                    pkg.Fail(part, where + ": bad shared-string index \"" + vtext + "\"");
                }
                if (n >= static_cast<double>(shared.size())) {
                    pkg.Fail(part, where + ": shared string " + std::string(vtext) + " out of range (the workbook has " +
                                       std::to_string(shared.size()) + ")");
                }
                const size_t k = static_cast<size_t>(n);
                if (local[k] == std::numeric_limits<uint32_t>::max()) local[k] = sheet->AddString(shared[k]);
                cell.kind = Cell::Text;
                cell.text = local[k];
            } else if (type == "str") {
                std::string s = vtext;
                DecodeEscapes(s);
                cell.kind = Cell::Text;
                cell.text = sheet->AddString(std::move(s));
            } else if (type == "b") {
                double n = 0;
                if (!ParseXmlNumber(vtext, n)) pkg.Fail(part, where + ": bad boolean \"" + vtext + "\"");
                cell.kind = Cell::Boolean;
                cell.number = n != 0 ? 1 : 0;
            } else if (type == "e") {
                cell.kind = Cell::Error;
                const int32_t code = ErrorCodeOfText(vtext);
                cell.number = code != 0 ? code : 2015;
            } else if (type == "d") {
                cell = sheet->DateCell(vtext);
            } else if (type.empty() || type == "n") {
                double n = 0;
                if (*vtext == '\0') continue;
                if (!ParseXmlNumber(vtext, n)) pkg.Fail(part, where + ": bad number \"" + vtext + "\"");
                cell.kind = Cell::Number;
                cell.number = n;
            } else {
                pkg.Fail(part, where + ": unknown cell type \"" + std::string(type) + "\"");
            }
            if (cell.kind != Cell::Empty) sheet->Put(cellRow, col, cell);
        }
    }
    sheet->Finish();
    return sheet;
}

std::shared_ptr<Workbook> ReadPackage(const Package& pkg) {
    // The workbook part: named by the package relationships, or the usual place.
    std::string workbookPart = "xl/workbook.xml";
    for (const auto& r : ReadRelationships(pkg, "")) {
        if (EndsWith(r.type, "/officeDocument")) {
            workbookPart = r.target;
            break;
        }
    }
    if (!pkg.Has(workbookPart)) pkg.Fail("", "not a workbook (no " + workbookPart + " in the package)");
    const auto rels = ReadRelationships(pkg, workbookPart);

    std::vector<char> buffer;
    pugi::xml_document doc;
    pkg.Parse(workbookPart, buffer, doc);
    pugi::xml_node wb = Child(doc, "workbook");
    if (!wb) pkg.Fail(workbookPart, "no <workbook> element");

    std::vector<std::string> shared;
    for (const auto& r : rels) {
        if (EndsWith(r.type, "/sharedStrings")) {
            shared = ReadSharedStrings(pkg, r.target);
            break;
        }
    }

    auto book = std::make_shared<Workbook>();
    pugi::xml_node sheets = Child(wb, "sheets");
    for (pugi::xml_node s = sheets.first_child(); s; s = s.next_sibling()) {
        if (s.type() != pugi::node_element || LocalName(s.name()) != "sheet") continue;
        const std::string name = s.attribute("name").value();
        const std::string id = RelId(s);
        auto rel = std::find_if(rels.begin(), rels.end(), [&](const Relationship& r) { return r.id == id; });
        if (rel == rels.end()) pkg.Fail(workbookPart, "sheet \"" + name + "\" has no part (relationship \"" + id + "\" missing)");
        book->sheets.push_back(ReadWorksheet(pkg, rel->target, name, shared));
    }
    if (book->sheets.empty()) pkg.Fail(workbookPart, "the workbook has no sheet");
    if (pugi::xml_node view = Child(Child(wb, "bookViews"), "workbookView")) {
        double tab = 0;
        if (ParseXmlNumber(view.attribute("activeTab").value(), tab) && tab >= 0 &&
            tab < static_cast<double>(book->sheets.size())) {
            book->activeSheet = static_cast<int32_t>(tab);
        }
    }
    return book;
}

std::string BaseName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::shared_ptr<Workbook> ReadXlsxBytes(const void* data, size_t size, const std::string& name) {
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
    auto book = ReadPackage(pkg);
    book->name = BaseName(name);
    book->path = name;
    return book;
}

std::shared_ptr<Workbook> ReadXlsxParts(const std::vector<std::pair<std::string, std::string>>& parts,
                                        const std::string& name) {
    MemoryPackage pkg(parts, name);
    auto book = ReadPackage(pkg);
    book->name = BaseName(name);
    book->path = name;
    return book;
}

std::shared_ptr<Workbook> ReadXlsxFile(const std::string& path) {
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
    auto book = ReadPackage(pkg);
    book->name = BaseName(path);
    book->path = path;
    return book;
}

}  // namespace sheet
