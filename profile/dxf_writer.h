// The DXF writer of the profile: the text of the head, the LINE and TEXT
// entities and the trailer, and the one DXF output that is open while the
// profile is redrawn for an export.  No window system here.
//
// File layout: every value on a line of its own, ended by CR LF.  A "number
// line" is a blank (or the minus sign) in front of the number, the number in
// its shortest form at the precision of its type (7 significant digits for a
// 32-bit float, 15 for a 64-bit one, a zero before the point of a value
// between -1 and 1), and one trailing blank; group codes are number lines.  A
// "text line" is the value and nothing else.
//
// The file holds only an ENTITIES section.  The layer of an entity is named by
// its colour number, elevations are drawn ten times, and the DXF origin is
// added to every x and to every 10 * y.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/runtime/files.h"
#include "platform/runtime/variant.h"

// --- Pure text of the file ----------------------------------------------------

// One number line of a number Variant (Integer, Long, Single, Double, ...).
std::string DxfNumberLine(const vb::Variant& value);
// One text line.
std::string DxfTextLine(std::string_view text);

// The colour of an entity as it names the layer and fills group 62: rounded to
// a whole number (an exact half to the even neighbour) and clamped to 0..256.
// A value that is no number gives 0.
int DxfColour(const vb::Variant& colour);

// "0 / SECTION / 2 / ENTITIES".
std::string DxfHead();
// "0 / ENDSEC / 0 / EOF".
std::string DxfTrailer();

// A LINE entity from (x1, y1) to (x2, y2) in drawing coordinates; y is scaled
// by 10 and the origin added.  Colour 0 gets no group 62; a colour 4 line keeps
// layer 4 and is coloured 30.  An entity with a coordinate that is not a finite
// number gives "" (it would make the file unreadable).
std::string DxfLineEntity(const vb::Variant& x1, const vb::Variant& y1,
                          const vb::Variant& x2, const vb::Variant& y2,
                          const vb::Variant& colour, float originX, float originY);

// A TEXT entity at (x, y) with its height (drawing units, not scaled) and its
// angle in degrees; style "STANDARD"; the text without its leading blanks.
std::string DxfTextEntity(const vb::Variant& x, const vb::Variant& y,
                          const vb::Variant& colour, const vb::Variant& height,
                          const vb::Variant& angle, std::string_view text,
                          float originX, float originY);

// --- The open output (the export's file number 10) ----------------------------

// The export collects the file and puts it into place (a temporary file beside
// the target, renamed over it) only when everything, trailer included, was
// written and closed, so a failed or abandoned export leaves any existing file
// as it was.
class DxfOutput {
public:
    DxfOutput() = default;
    DxfOutput(const DxfOutput&) = delete;
    DxfOutput& operator=(const DxfOutput&) = delete;
    ~DxfOutput();

    // Opens the output for `path`; the origin is added to every coordinate
    // written until Close.  Raises VbError 55 when already open, 52 for an
    // empty name, 76 when the folder does not exist and 70 when it cannot be
    // written to.
    void Open(const std::string& path, float originX, float originY);
    bool IsOpen() const { return writer_.has_value(); }
    float OriginX() const { return originX_; }
    float OriginY() const { return originY_; }

    // Appends text; a failure is remembered (see Failed) and later writes are
    // dropped.  Returns false once the output has failed.
    bool Write(std::string_view text);
    // Marks the output failed (the redraw that fills it did not complete).
    void Fail(int number, const std::string& description);
    bool Failed() const { return failed_; }
    int FailureNumber() const { return failureNumber_; }
    const std::string& FailureDescription() const { return failureDescription_; }

    // Puts the file into place.  Returns true when the file now stands
    // complete; otherwise the target is left untouched, no temporary file is
    // left behind and the failure is kept.
    bool Close();
    // Drops what was written without touching the target.
    void Abandon();

private:
    std::optional<vb::AtomicFileWriter> writer_;
    float originX_ = 0;
    float originY_ = 0;
    bool failed_ = false;
    int failureNumber_ = 0;
    std::string failureDescription_;
};

// The process's one DXF output.
DxfOutput& DxfFile();

// What the drawing calls write while DxfMode is 2: one entity into the open
// output at its origin.  With no output open they write nothing.  A value that
// is no number raises VbError 13 (the caller's trap deals with it) and nothing
// of that entity is written; a failure to write is kept by the output and
// reported when the export closes.
void DxfWriteLine(const vb::Variant& x1, const vb::Variant& y1, const vb::Variant& x2,
                  const vb::Variant& y2, const vb::Variant& colour);
void DxfWriteText(const vb::Variant& x, const vb::Variant& y, const vb::Variant& colour,
                  const vb::Variant& height, const vb::Variant& angle, std::string_view text);
