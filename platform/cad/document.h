// The drawing document: an ASCII DXF file held group by group.
//
// Every section keeps every group code and value it was read with, in order,
// split into records at each group of code 0 (a table entry, an entity, an
// object).  Writing puts them back in the same order, so a drawing read and
// written loses nothing this code does not understand: unknown entities and
// objects, extension dictionaries, other applications' extended data,
// handles and comments.  Values stay as the text they were read as; only what
// is changed through the typed views below is written anew.
//
// The typed views give what the drawing exchange needs: layers with their
// colours, block definitions, the entities of the model space (LINE, CIRCLE,
// TEXT, LWPOLYLINE with their points), extended data by application, new
// layers, blocks and entities with fresh handles, and the drawing's selection
// sets (which belong to the open drawing and are never saved).
//
// Releases R12 (AC1009) to R2018 (AC1032) are read; the writer writes the
// release it read.  New drawings are R2000.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/cad/client.h"

namespace cad {

// The longest line of a drawing file, in bytes (without its line end): room
// for the longest text written as \U+XXXX escapes (seven bytes for a letter
// of two bytes of UTF-8), which releases before R2007 hold.
constexpr size_t kMaxLineBytes = 4 * kMaxTextBytes;

// A file that is not a drawing this reader accepts; line is the line of the
// file at which it went wrong (1 for the first).
class DxfError : public std::runtime_error {
public:
    DxfError(int64_t line, const std::string& what);
    int64_t Line() const { return line_; }

private:
    int64_t line_;
};

// One group: a code and its value as text (without the line end).
struct Group {
    int32_t code;
    std::string_view value;
};

// The groups from one group of code 0 up to the next.  A section's first
// record may have no group 0 (the header's variables).
struct Record {
    std::vector<Group> groups;
    // Line of the file at which the record began (0 for a new record).
    int64_t line = 0;

    std::string_view Type() const;                 // value of the leading group 0, or ""
    const Group* Find(int32_t code) const;         // first group of that code
    Group* Find(int32_t code);
    // The value of the first group of that code among the entity's own groups
    // (before the extended data), or fallback.
    std::string_view Text(int32_t code, std::string_view fallback = {}) const;
    double Number(int32_t code, double fallback = 0) const;
    // Number() as an int, held within +-2147483647 so that a huge value in a
    // file converts safely (and keeps its sign).
    int32_t Integer(int32_t code, int32_t fallback = 0) const;
    // Index of the first group of extended data (code 1000 and above), or the
    // number of groups when there is none.
    size_t XDataStart() const;
};

struct Section {
    std::string_view name;   // "HEADER", "TABLES", "ENTITIES", ...
    int64_t line = 0;
    std::vector<Record> records;
};

struct Layer {
    std::string name;
    int color = 7;      // index colour 1 to 255 (the absolute value of group 62)
    bool off = false;   // group 62 negative
};

class Document {
public:
    Document();
    Document(Document&&) noexcept;
    Document& operator=(Document&&) noexcept;
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;
    ~Document();

    // Reads a drawing from the bytes of a file (raises DxfError).
    static Document Parse(std::string bytes);
    // Reads a file (raises DxfError, with line 0 when the file cannot be read).
    static Document ReadFile(const std::string& path);
    // A new, empty R2000 drawing.
    static Document New();

    // The file the drawing was read from or last saved to ("" for a new one).
    const std::string& FileName() const { return fileName_; }
    void SetFileName(std::string path) { fileName_ = std::move(path); }

    // The drawing as DXF text.
    std::string Write() const;
    // Writes through a temporary file and a rename; false with the reason in
    // *error when that fails (the old file is then untouched).
    bool Save(const std::string& path, std::string* error = nullptr) const;

    // $ACADVER ("AC1009" when the header does not say).
    std::string_view Release() const { return release_; }
    bool IsR12() const { return release_ <= "AC1009"; }

    // The sections as read, in order.
    const std::vector<Section>& Sections() const { return sections_; }
    Section* FindSection(std::string_view name);
    const Section* FindSection(std::string_view name) const;

    // Keeps text as the value of a group for the life of the document.
    std::string_view Keep(std::string text);

    // --- Header -------------------------------------------------------------
    std::string HeaderVariable(std::string_view name) const;   // first value, or ""
    void SetHeaderVariable(std::string_view name, int32_t code, std::string value);

    // --- Layers ---------------------------------------------------------------
    std::vector<Layer> Layers() const;
    // Entry of the layer table of that name (without regard to case), or null.
    Record* FindLayer(std::string_view name);
    const Record* FindLayer(std::string_view name) const;
    // Adds the layer (colour 7, linetype Continuous) when it is missing.
    void AddLayer(std::string_view name);
    void SetLayerColor(std::string_view name, int color);   // the layer must exist
    std::string ActiveLayer() const;                        // $CLAYER, "0" when unset
    void SetActiveLayer(std::string_view name);

    // --- Blocks ---------------------------------------------------------------
    std::vector<std::string> BlockNames() const;
    bool HasBlock(std::string_view name) const;
    // Adds an empty block definition (and, from R2000 on, its block record).
    void AddBlock(std::string_view name, const Point& base);

    // --- Entities ---------------------------------------------------------------
    // Handles of the model-space entities in drawing order (vertices and the
    // ends of sequences excluded).
    std::vector<std::string> ModelSpaceHandles() const;
    // The same with each entity's record, found in the same pass (every
    // entity has a handle of its own: the reader refuses a drawing that
    // gives two one handle).
    struct ModelSpaceEntity {
        std::string handle;
        const Record* record;
    };
    std::vector<ModelSpaceEntity> ModelSpaceEntities() const;
    // The entity of the ENTITIES section with that handle, or null.
    const Record* Entity(std::string_view handle) const;
    Record* MutableEntity(std::string_view handle);
    // Every record of the ENTITIES section, vertices included.
    const std::vector<Record>& EntityRecords() const;

    // New entities on the active layer; each returns the new handle.
    std::string AddLine(const Point& a, const Point& b);
    std::string AddCircle(const Point& center, double radius);
    std::string AddText(std::string_view text, const Point& at, double height);
    std::string AddLwPolyline(const std::vector<std::pair<double, double>>& vertices, bool closed = false);

    // Sets (or adds) a group of the entity's own groups, before its extended
    // data.  A new group of a subclass-bound code goes at the end of the
    // entity's groups.
    void SetGroup(Record& entity, int32_t code, std::string value);
    void SetNumber(Record& entity, int32_t code, double value);
    void SetLayerOf(Record& entity, std::string_view layer);

    // Extended data of one application (or all, for an empty name).
    XData GetXData(const Record& entity, std::string_view application) const;
    // Replaces each application's record given (raises vb::VbError 5 on
    // malformed lists) and registers the applications.
    void SetXData(Record& entity, const XData& data);
    // Adds the application to the APPID table when missing.
    void RegisterApplication(std::string_view name);

    // --- Selection sets (not saved) ---------------------------------------------
    std::map<std::string, std::vector<std::string>>& SelectionSets() { return selectionSets_; }

    // True once anything was changed through this class since reading.
    bool Modified() const { return modified_; }
    void SetModified(bool m) { modified_ = m; }

    // The drawing's text as UTF-8 (releases before R2007 keep 8-bit text and
    // \U+XXXX escapes in the file) and back.
    std::string DecodeText(std::string_view raw) const;
    std::string EncodeText(std::string_view utf8) const;

private:
    std::string NextHandle();
    std::string AddEntity(std::string_view type, std::string_view subclass, std::vector<Group> body);
    std::string BlockRecordHandle(std::string_view name);
    Section& EnsureSection(std::string_view name);
    Record* TableEntry(std::string_view table, std::string_view name);
    void AddTableEntry(std::string_view table, std::vector<Group> body);
    void IndexHandles();
    void CheckSizes() const;

    std::unique_ptr<std::string> source_;
    std::deque<std::string> kept_;
    std::vector<Section> sections_;
    std::string release_ = "AC1009";
    uint64_t nextHandle_ = 1;
    std::unordered_map<std::string, size_t> entityIndex_;   // handle -> ENTITIES record index
    std::map<std::string, std::vector<std::string>> selectionSets_;
    bool modified_ = false;
    std::string fileName_;
};

// The value of the header variable named by groups[i] (a group 9): the
// group after it, or null when groups[i] names no variable or the header
// ends, or the next variable begins, before a value.
const Group* HeaderValue(const std::vector<Group>& groups, size_t i);

// Helpers over a record.
std::string NormalizeHandle(std::string_view handle);   // upper case, no leading zeros
bool SameName(std::string_view a, std::string_view b);  // without regard to (ASCII) case
// The automation-style name of an entity ("AcDbLine", "AcDbPolyline", ...).
std::string EntityClassName(const Record& entity);
Point PointOf(const Record& entity, int32_t xCode);     // xCode, xCode+10, xCode+20
std::string FormatNumber(double v);                     // shortest text that reads back exactly

// The ACI palette: 0xRRGGBB of an index colour 0 to 255 (7 is white).
uint32_t AciToRgb(int aci);

}  // namespace cad
