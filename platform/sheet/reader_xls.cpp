// The .xls reader: a compound file (cfb_reader.h) whose "Workbook" or
// "Book" stream holds BIFF8 records (Excel 97 and later) or BIFF5 records
// (Excel 5.0 and 95), or such a stream saved as the file itself.  Excel 4.0
// macro sheets are read as worksheets; chart sheets and modules hold no
// cells.  An encrypted workbook is refused saying so.
//
// The stream begins with the workbook's globals (BOF ... EOF): the sheets
// (BOUNDSHEET, each with the place of its records in the stream), the
// shared strings (SST, continued by CONTINUE records), the number formats
// (FORMAT) and cell formats (XF) that tell dates from other numbers, and the
// date system (DATEMODE).  Each worksheet's records follow (BOF ... EOF):
// cells of numbers (NUMBER, RK, MULRK), texts (LABELSST, LABEL, RSTRING), booleans and
// errors (BOOLERR) and formulas with their cached result (FORMULA, with a
// STRING record after it when the result is a text).
//
// BIFF5 differs in its texts only: they are 8-bit, in the code page of the
// workbook's CODEPAGE record (xls_text.h), or without one in that of the
// character set of its first font whose set is not a Western one (1252 if
// none is), with a length byte in BOUNDSHEET and FORMAT records and a 16-bit
// length in LABEL, RSTRING and STRING records, every length a count of
// bytes; there is no string table.  A cell's text longer than its record
// holds goes on in the CONTINUE records after it, its bytes as they are
// (BIFF8 begins each CONTINUE of a text with a byte of flags; BIFF5 does
// not), and is decoded whole, so a character of two bytes may be cut between
// two records.
//
// FORMULA is read under the numbers Excel 3.0 and 4.0 gave it (0x0206,
// 0x0406) too, which some writers still use, in the workbook's own layout.
// The cell records of Excel 2.x, whose layout no later version shares, are
// refused by name where a sheet holds them: passed over, their cells would
// be lost without a word.  A Boolean reads as a Boolean, as from .xlsx.
//
// Every record must lie inside the stream, every field inside its record,
// every string index inside the string table, every cell inside the
// format's 65,536 rows and 256 columns, every text within
// kMaxCellTextBytes, and the sheets' records may not overlap.  A record whose
// length the format fixes or its fields give (a cell's, a row's, a text's,
// a formula's with its tokens and their extra data, and those of the
// globals and the sheets listed in kKnownRecords and CheckLength) may be
// longer than its fields only where the surplus can hide no record: a
// length made longer by damage takes in the records after it, and their
// cells would be lost from a workbook that reads as sound.  So a surplus
// is refused when the header of a record type the format defines
// (kKnownRecords), with a length that fits in the stream, starts where the
// fields end, when what follows the surplus is no such header, or when the
// surplus holds a run of such headers, each record beginning where the one
// before ends, that ends exactly where the record ends: a record made
// longer holds one from where its length was cut.  An empty HEADER or
// FOOTER made longer takes the first header it holds for its text's count,
// so its fields end anywhere: it is refused when such a run begins where it
// ended.  Writers' padding and extensions (spaces, zeros, a double, a text)
// read.  After a cell's text (LABEL, RSTRING, STRING) only zero bytes may
// follow, the NUL some writers end a text with: what a count made smaller
// leaves of a text is refused, naming its record.  The shared-string table
// ends exactly with its last string.  A sheet's name and a number format
// may be shorter than their record, as real writers store some, and read as
// far as their count says.  A record shorter than the fields read from it
// is refused, unless what is missing holds nothing (an empty text that ends
// with its count, without its byte of flags or its runs), and a formula
// token that neither BIFF5 nor BIFF8 defines is refused, its size being
// unknown.  A damaged structure is refused with a sentence naming what and
// where.  The work is a single pass over the stream; the memory is the
// values kept (counted against ReadLimits::valueMemory) and one record.
//
// Excel 95 gives the sheets of a BIFF5 workbook BOF records of version
// 0x0600 (BIFF8's) with BIFF5's body and records: each sheet is read in the
// workbook's version, and only a sheet whose BOF has BIFF8's body, whose
// records BIFF5 cannot read, is refused.
//
// A number is read as it is stored, in a date format too; in a workbook of
// the 1904 date system a number in a format that shows a date becomes the
// serial of its moment in the 1900 system, as the .xlsx reader gives it
// (workbook.h).  The first sheet is the active one, as the workbook
// program has always read this format.
//
// Two lapses of writers that lose no value are read past: a string table
// that declares more strings than it holds (a cell naming one it does not
// hold is refused), and a number format whose text is shorter than its
// count (read as far as its record holds it).
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <vector>

#include "platform/sheet/cfb_reader.h"
#include "platform/sheet/workbook.h"
#include "platform/sheet/xls_text.h"

namespace sheet {
namespace {

enum RecordType : uint16_t {
    kFormula = 0x0006,
    kBlank = 0x0201,
    kMulBlank = 0x00BE,
    kRow = 0x0208,
    kEof = 0x000A,
    kDateMode = 0x0022,
    kCodePage = 0x0042,
    kFilePass = 0x002F,
    kContinue = 0x003C,
    kBoundSheet = 0x0085,
    kMulRk = 0x00BD,
    kRString = 0x00D6,
    kXf = 0x00E0,
    kSst = 0x00FC,
    kLabelSst = 0x00FD,
    kNumber = 0x0203,
    kLabel = 0x0204,
    kBoolErr = 0x0205,
    kString = 0x0207,
    kRk = 0x027E,
    kFormat = 0x041E,
    kBof = 0x0809,
    // Records read only for their lengths, which their fields give.
    kHeader = 0x0014,
    kFooter = 0x0015,
    kExternSheet = 0x0017,
    kVPageBreaks = 0x001A,
    kHPageBreaks = 0x001B,
    kSelection = 0x001D,
    kFont = 0x0031,
    kWriteAccess = 0x005C,
    kPalette = 0x0092,
    kMergedCells = 0x00E5,
    kArray = 0x0221,
    kStyle = 0x0293,
    kShrFmla = 0x04BC,
    // FORMULA under the numbers of Excel 3.0 and 4.0, which some writers
    // still give it in BIFF5 and BIFF8 workbooks, with the layout of the
    // workbook's own version.
    kFormula3 = 0x0206,
    kFormula4 = 0x0406,
};
// The cell records of Excel 2.x (BIFF2), whose layout differs from every
// later version's.  No later version gives these numbers to any record.
const char* Biff2CellName(uint16_t type) {
    switch (type) {
    case 0x0001: return "BLANK";
    case 0x0002: return "INTEGER";
    case 0x0003: return "NUMBER";
    case 0x0004: return "LABEL";
    case 0x0005: return "BOOLERR";
    case 0x0007: return "STRING";
    default: return nullptr;
    }
}
constexpr uint16_t kBiff8 = 0x0600;
constexpr uint16_t kBiff5 = 0x0500;
constexpr uint16_t kGlobals = 0x0005;
constexpr uint16_t kWorksheet = 0x0010;
constexpr uint16_t kMacroSheet = 0x0040;   // Excel 4.0's: cells and formulas as a worksheet's
// The columns of a sheet in this format.
constexpr uint32_t kColumns = 256;

// Every record type that BIFF5 or BIFF8 defines, by number, as the
// format's published record lists give them: the records of the globals,
// the sheets, the charts, the pivot tables and the shared-workbook history,
// and BIFF5's own (EXTERNCOUNT, RSTRING, the Macintosh publisher records,
// ...).  The numbers that the Excel 97 documentation gave for RK (0x007E),
// SHRFMLA (0x00BC), NAME (0x0218), EXTERNNAME (0x0223), FONT (0x0231) and
// FORMULA (0x0406, and BIFF3's 0x0206) are listed too: writers built from
// that documentation use them.  So are TOOLBARHDR and TOOLBAREND, empty
// records that no list documents but Excel 95 and others write, and the
// records of numbers 0x0034 and 0x027D, which real writers write though no
// list documents them, and 0x08C8 to 0x08CB and 0x08D6, which later
// versions of the spreadsheet write as extensions (their data begins with
// their own number, as such records' do): a record that takes one of them
// in must be seen to.  Type 0x0000 is none of them: some writers leave
// four zero bytes between records.
//
// A record whose length the format fixes has it here, in BIFF8 and in
// BIFF5; nothing of it is read but its length (a longer one could hide the
// records after it: see RecordReader::Padding).  The others say kAny.
constexpr uint16_t kAny = 0xFFFF;
struct KnownRecord {
    uint16_t type;
    const char* name;
    uint16_t biff8 = kAny, biff5 = kAny;
};
constexpr KnownRecord kKnownRecords[] = {
    {0x0006, "FORMULA"}, {0x000A, "EOF", 0, 0}, {0x000C, "CALCCOUNT", 2, 2}, {0x000D, "CALCMODE", 2, 2},
    {0x000E, "PRECISION", 2, 2}, {0x000F, "REFMODE", 2, 2}, {0x0010, "DELTA", 8, 8}, {0x0011, "ITERATION", 2, 2},
    {0x0012, "PROTECT", 2, 2}, {0x0013, "PASSWORD", 2, 2}, {0x0014, "HEADER"}, {0x0015, "FOOTER"},
    {0x0016, "EXTERNCOUNT"}, {0x0017, "EXTERNSHEET"}, {0x0018, "NAME"}, {0x0019, "WINDOWPROTECT", 2, 2},
    {0x001A, "VERTICALPAGEBREAKS"}, {0x001B, "HORIZONTALPAGEBREAKS"}, {0x001C, "NOTE"}, {0x001D, "SELECTION"},
    {0x0022, "DATEMODE", 2, 2}, {0x0023, "EXTERNNAME"}, {0x0026, "LEFTMARGIN", 8, 8}, {0x0027, "RIGHTMARGIN", 8, 8},
    {0x0028, "TOPMARGIN", 8, 8}, {0x0029, "BOTTOMMARGIN", 8, 8}, {0x002A, "PRINTHEADERS", 2, 2},
    {0x002B, "PRINTGRIDLINES", 2, 2}, {0x002F, "FILEPASS"}, {0x0031, "FONT"}, {0x0033, "PRINTSIZE"},
    {0x0034, "0x0034"}, {0x003C, "CONTINUE"},
    {0x003D, "WINDOW1", 18, 18}, {0x0040, "BACKUP", 2, 2}, {0x0041, "PANE", 10, 10}, {0x0042, "CODEPAGE", 2, 2},
    {0x004D, "PLS"}, {0x0050, "DCON"}, {0x0051, "DCONREF"}, {0x0052, "DCONNAME"}, {0x0055, "DEFCOLWIDTH", 2, 2},
    {0x0059, "XCT"}, {0x005A, "CRN"}, {0x005B, "FILESHARING"}, {0x005C, "WRITEACCESS"}, {0x005D, "OBJ"},
    {0x005E, "UNCALCED"}, {0x005F, "SAVERECALC", 2, 2}, {0x0060, "TEMPLATE"}, {0x0061, "INTL"},
    {0x0063, "OBJPROTECT", 2, 2}, {0x007D, "COLINFO", 12, 12}, {0x007E, "RK"}, {0x007F, "IMDATA"}, {0x0080, "GUTS", 8, 8},
    {0x0081, "WSBOOL", 2, 2}, {0x0082, "GRIDSET", 2, 2}, {0x0083, "HCENTER", 2, 2}, {0x0084, "VCENTER", 2, 2},
    {0x0085, "BOUNDSHEET"}, {0x0086, "WRITEPROT"}, {0x0087, "ADDIN"}, {0x0088, "EDG"}, {0x0089, "PUB"},
    {0x008C, "COUNTRY", 4, 4}, {0x008D, "HIDEOBJ", 2, 2}, {0x0090, "SORT"}, {0x0091, "SUB"}, {0x0092, "PALETTE"},
    {0x0094, "LHRECORD"}, {0x0095, "LHNGRAPH"}, {0x0096, "SOUND"}, {0x0097, "SYNC"}, {0x0098, "LPR"},
    {0x0099, "STANDARDWIDTH", 2, 2}, {0x009A, "FNGROUPNAME"}, {0x009B, "FILTERMODE"}, {0x009C, "FNGROUPCOUNT", 2, 2},
    {0x009D, "AUTOFILTERINFO"}, {0x009E, "AUTOFILTER"}, {0x00A0, "SCL", 4, 4}, {0x00A1, "SETUP", 34, 34},
    {0x00A9, "COORDLIST"}, {0x00AB, "GCW"}, {0x00AE, "SCENMAN"}, {0x00AF, "SCENARIO"}, {0x00B0, "SXVIEW"},
    {0x00B1, "SXVD"}, {0x00B2, "SXVI"}, {0x00B4, "SXIVD"}, {0x00B5, "SXLI"}, {0x00B6, "SXPI"}, {0x00B8, "DOCROUTE"},
    {0x00B9, "RECIPNAME"}, {0x00BC, "SHRFMLA"}, {0x00BD, "MULRK"}, {0x00BE, "MULBLANK"}, {0x00BF, "TOOLBARHDR", 0, 0},
    {0x00C0, "TOOLBAREND", 0, 0}, {0x00C1, "MMS", 2, 2},
    {0x00C2, "ADDMENU"}, {0x00C3, "DELMENU"}, {0x00C5, "SXDI"}, {0x00C6, "SXDB"}, {0x00C7, "SXFDB"}, {0x00C8, "SXDBB"},
    {0x00C9, "SXNUM"}, {0x00CA, "SXBOOL"}, {0x00CB, "SXERR"}, {0x00CC, "SXINT"}, {0x00CD, "SXSTRING"}, {0x00CE, "SXDTR"},
    {0x00CF, "SXNIL"}, {0x00D0, "SXTBL"}, {0x00D1, "SXTBRGIITM"}, {0x00D2, "SXTBPG"}, {0x00D3, "OBPROJ"},
    {0x00D5, "SXIDSTM"}, {0x00D6, "RSTRING"}, {0x00D7, "DBCELL"}, {0x00D8, "SXRNG"}, {0x00D9, "SXISXOPER"},
    {0x00DA, "BOOKBOOL", 2, 2}, {0x00DC, "PARAMQRY"}, {0x00DD, "SCENPROTECT", 2, 2}, {0x00DE, "OLESIZE"},
    {0x00DF, "UDDESC"}, {0x00E0, "XF", 20, 16}, {0x00E1, "INTERFACEHDR", 2, 0}, {0x00E2, "INTERFACEEND", 0, 0},
    {0x00E3, "SXVS"}, {0x00E5, "MERGEDCELLS"}, {0x00E9, "BKHIM"}, {0x00EA, "TABIDCONF"}, {0x00EB, "MSODRAWINGGROUP"},
    {0x00EC, "MSODRAWING"}, {0x00ED, "MSODRAWINGSELECTION"}, {0x00EF, "PHONETICINFO"}, {0x00F0, "SXRULE"},
    {0x00F1, "SXEX"}, {0x00F2, "SXFILT"}, {0x00F4, "SXDXF"}, {0x00F5, "SXITM"}, {0x00F6, "SXNAME"}, {0x00F7, "SXSELECT"},
    {0x00F8, "SXPAIR"}, {0x00F9, "SXFMLA"}, {0x00FB, "SXFORMAT"}, {0x00FC, "SST"}, {0x00FD, "LABELSST"},
    {0x00FF, "EXTSST"}, {0x0100, "SXVDEX"}, {0x0103, "SXFORMULA"}, {0x0122, "SXDBEX"}, {0x0137, "RRDINSDEL"},
    {0x0138, "RRDHEAD"}, {0x013B, "RRDCHGCELL"}, {0x013D, "TABID"}, {0x013E, "RRDRENSHEET"}, {0x013F, "RRSORT"},
    {0x0140, "RRDMOVE"}, {0x014A, "RRFORMAT"}, {0x014B, "RRAUTOFMT"}, {0x014D, "RRINSERTSH"}, {0x014E, "RRDMOVEBEGIN"},
    {0x014F, "RRDMOVEEND"}, {0x0150, "RRDINSDELBEGIN"}, {0x0151, "RRDINSDELEND"}, {0x0152, "RRDCONFLICT"},
    {0x0153, "RRDDEFNAME"}, {0x0154, "RRDRSTETXP"}, {0x015F, "LABELRANGES"}, {0x0160, "USESELFS", 2, 2},
    {0x0161, "DSF", 2, 2}, {0x0162, "XL5MODIFY"}, {0x0191, "CUSR"}, {0x0192, "CBUSR"}, {0x0193, "USRINFO"},
    {0x0194, "USREXCL"}, {0x0195, "FILELOCK"}, {0x0196, "RRDINFO"}, {0x0197, "BCUSRS"}, {0x0198, "USRCHK"},
    {0x01A5, "FILESHARING2"}, {0x01A9, "USERBVIEW"}, {0x01AA, "USERSVIEWBEGIN"}, {0x01AB, "USERSVIEWEND"},
    {0x01AC, "RRDUSERVIEW"}, {0x01AD, "QSI"}, {0x01AE, "SUPBOOK"}, {0x01AF, "PROT4REV", 2, 2}, {0x01B0, "CONDFMT"},
    {0x01B1, "CF"}, {0x01B2, "DVAL"}, {0x01B5, "DCONBIN"}, {0x01B6, "TXO"}, {0x01B7, "REFRESHALL", 2, 2},
    {0x01B8, "HLINK"}, {0x01B9, "LEL"}, {0x01BA, "CODENAME"}, {0x01BB, "SXFDBTYPE"}, {0x01BC, "PROT4REVPASS", 2, 2},
    {0x01BD, "OBNOMACROS"}, {0x01BE, "DV"}, {0x01C0, "EXCEL9FILE", 0, 0}, {0x01C1, "RECALCID"}, {0x01C2, "ENTEXU2"},
    {0x0200, "DIMENSIONS", 14, 10}, {0x0201, "BLANK"}, {0x0203, "NUMBER"}, {0x0204, "LABEL"}, {0x0205, "BOOLERR"},
    {0x0206, "FORMULA"}, {0x0207, "STRING"}, {0x0208, "ROW"}, {0x020B, "INDEX"}, {0x0218, "NAME"}, {0x0221, "ARRAY"},
    {0x0223, "EXTERNNAME"}, {0x0225, "DEFAULTROWHEIGHT", 4, 4}, {0x0231, "FONT"}, {0x0236, "TABLE", 16, 16},
    {0x023E, "WINDOW2", 18, 10}, {0x027D, "0x027D"},
    {0x027E, "RK"}, {0x0293, "STYLE"}, {0x0406, "FORMULA"}, {0x0418, "BIGNAME"},
    {0x041E, "FORMAT"}, {0x043C, "CONTINUEBIGNAME"}, {0x04BC, "SHRFMLA"}, {0x0800, "HLINKTOOLTIP"}, {0x0801, "WEBPUB"},
    {0x0802, "QSISXTAG"}, {0x0803, "DBQUERYEXT"}, {0x0804, "EXTSTRING"}, {0x0805, "TXTQRY"}, {0x0806, "QSIR"},
    {0x0807, "QSIF"}, {0x0808, "RRDTQSIF"}, {0x0809, "BOF", 16, 8}, {0x080A, "OLEDBCONN"}, {0x080B, "WOPT"},
    {0x080C, "SXVIEWEX"}, {0x080D, "SXTH"}, {0x080E, "SXPIEX"}, {0x080F, "SXVDTEX"}, {0x0810, "SXVIEWEX9"},
    {0x0812, "CONTINUEFRT"}, {0x0813, "REALTIMEDATA"}, {0x0850, "CHARTFRTINFO"}, {0x0851, "FRTWRAPPER"},
    {0x0852, "STARTBLOCK"}, {0x0853, "ENDBLOCK"}, {0x0854, "STARTOBJECT"}, {0x0855, "ENDOBJECT"}, {0x0856, "CATLAB"},
    {0x0857, "YMULT"}, {0x0858, "SXVIEWLINK"}, {0x0859, "PIVOTCHARTBITS"}, {0x085A, "FRTFONTLIST"}, {0x0862, "SHEETEXT"},
    {0x0863, "BOOKEXT"}, {0x0864, "SXADDL"}, {0x0865, "CRERR"}, {0x0866, "HFPICTURE"}, {0x0867, "FEATHDR"},
    {0x0868, "FEAT"}, {0x086A, "DATALABEXT"}, {0x086B, "DATALABEXTCONTENTS"}, {0x086C, "CELLWATCH"},
    {0x0871, "FEATHDR11"}, {0x0872, "FEATURE11"}, {0x0874, "DROPDOWNOBJIDS"}, {0x0875, "CONTINUEFRT11"},
    {0x0876, "DCONN"}, {0x0877, "LIST12"}, {0x0878, "FEATURE12"}, {0x0879, "CONDFMT12"}, {0x087A, "CF12"},
    {0x087B, "CFEX"}, {0x087C, "XFCRC"}, {0x087D, "XFEXT"}, {0x087E, "AUTOFILTER12"}, {0x087F, "CONTINUEFRT12"},
    {0x0884, "MDTINFO"}, {0x0885, "MDXSTR"}, {0x0886, "MDXTUPLE"}, {0x0887, "MDXSET"}, {0x0888, "MDXPROP"},
    {0x0889, "MDXKPI"}, {0x088A, "MDB"}, {0x088B, "PLV"}, {0x088C, "COMPAT12"}, {0x088D, "DXF"}, {0x088E, "TABLESTYLES"},
    {0x088F, "TABLESTYLE"}, {0x0890, "TABLESTYLEELEMENT"}, {0x0892, "STYLEEXT"}, {0x0893, "NAMEPUBLISH"},
    {0x0894, "NAMECMT"}, {0x0895, "SORTDATA"}, {0x0896, "THEME"}, {0x0897, "GUIDTYPELIB"}, {0x0898, "FNGRP12"},
    {0x0899, "NAMEFNGRP12"}, {0x089A, "MTRSETTINGS"}, {0x089B, "COMPRESSPICTURES"}, {0x089C, "HEADERFOOTER"},
    {0x089D, "CRTLAYOUT12"}, {0x089E, "CRTMLFRT"}, {0x089F, "CRTMLFRTCONTINUE"}, {0x08A3, "FORCEFULLCALCULATION"},
    {0x08A4, "SHAPEPROPSSTREAM"}, {0x08A5, "TEXTPROPSSTREAM"}, {0x08A6, "RICHTEXTSTREAM"}, {0x08A7, "CRTLAYOUT12A"},
    {0x08C8, "EXTENSION 0x08C8"}, {0x08C9, "EXTENSION 0x08C9"}, {0x08CA, "EXTENSION 0x08CA"}, {0x08CB, "EXTENSION 0x08CB"},
    {0x08D6, "EXTENSION 0x08D6"},
    {0x1001, "UNITS"}, {0x1002, "CHART"}, {0x1003, "SERIES"}, {0x1006, "DATAFORMAT"}, {0x1007, "LINEFORMAT"},
    {0x1009, "MARKERFORMAT"}, {0x100A, "AREAFORMAT"}, {0x100B, "PIEFORMAT"}, {0x100C, "ATTACHEDLABEL"},
    {0x100D, "SERIESTEXT"}, {0x1014, "CHARTFORMAT"}, {0x1015, "LEGEND"}, {0x1016, "SERIESLIST"}, {0x1017, "BAR"},
    {0x1018, "LINE"}, {0x1019, "PIE"}, {0x101A, "AREA"}, {0x101B, "SCATTER"}, {0x101C, "CHARTLINE"}, {0x101D, "AXIS"},
    {0x101E, "TICK"}, {0x101F, "VALUERANGE"}, {0x1020, "CATSERRANGE"}, {0x1021, "AXISLINEFORMAT"},
    {0x1022, "CHARTFORMATLINK"}, {0x1024, "DEFAULTTEXT"}, {0x1025, "TEXT"}, {0x1026, "FONTX"}, {0x1027, "OBJECTLINK"},
    {0x1032, "FRAME"}, {0x1033, "BEGIN"}, {0x1034, "END"}, {0x1035, "PLOTAREA"}, {0x103A, "CHART3D"}, {0x103C, "PICF"},
    {0x103D, "DROPBAR"}, {0x103E, "RADAR"}, {0x103F, "SURFACE"}, {0x1040, "RADARAREA"}, {0x1041, "AXISPARENT"},
    {0x1043, "LEGENDXN"}, {0x1044, "SHTPROPS"}, {0x1045, "SERTOCRT"}, {0x1046, "AXESUSED"}, {0x1048, "SBASEREF"},
    {0x104A, "SERPARENT"}, {0x104B, "SERAUXTREND"}, {0x104E, "IFMT"}, {0x104F, "POS"}, {0x1050, "ALRUNS"}, {0x1051, "AI"},
    {0x105B, "SERAUXERRBAR"}, {0x105C, "CLRTCLIENT"}, {0x105D, "SERFMT"}, {0x105F, "CHART3DBARSHAPE"}, {0x1060, "FBI"},
    {0x1061, "BOPPOP"}, {0x1062, "AXCEXT"}, {0x1063, "DAT"}, {0x1064, "PLOTGROWTH"}, {0x1065, "SIINDEX"},
    {0x1066, "GELFRAME"}, {0x1067, "BOPPOPCUSTOM"}, {0x1068, "FBI2"},
};

std::string Hex16(uint16_t v) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string s = "0x";
    for (int shift = 12; shift >= 0; shift -= 4) s += kHex[(v >> shift) & 0xF];
    return s;
}

// Looked up by their type, in whose order they are listed, for every
// record read.
static_assert(std::is_sorted(std::begin(kKnownRecords), std::end(kKnownRecords),
                             [](const KnownRecord& a, const KnownRecord& b) { return a.type < b.type; }));
const KnownRecord* KnownRecordOf(uint16_t type) {
    const auto it = std::lower_bound(std::begin(kKnownRecords), std::end(kKnownRecords), type,
                                     [](const KnownRecord& s, uint16_t t) { return s.type < t; });
    return it != std::end(kKnownRecords) && it->type == type ? it : nullptr;
}
// A record type whose length the format fixes; nullptr for others.
const KnownRecord* SizedRecordOf(uint16_t type) {
    const KnownRecord* k = KnownRecordOf(type);
    return k && k->biff8 != kAny ? k : nullptr;
}

std::string RecordName(uint16_t type) {
    if (const KnownRecord* k = KnownRecordOf(type)) return k->name;
    return Hex16(type);
}

uint16_t U16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t U32(const unsigned char* p) { return U16(p) | static_cast<uint32_t>(U16(p + 2)) << 16; }
double F64(const unsigned char* p) {
    uint64_t bits = 0;
    for (int i = 7; i >= 0; --i) bits = bits << 8 | p[i];
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}
// An RK value: a double's high 30 bits or a 30-bit integer, divided by 100
// when its lowest bit says so.
double RkValue(uint32_t rk) {
    double v;
    if (rk & 2) {
        v = static_cast<double>(static_cast<int32_t>(rk) >> 2);
    } else {
        uint64_t bits = static_cast<uint64_t>(rk & 0xFFFFFFFCu) << 32;
        std::memcpy(&v, &bits, sizeof v);
    }
    return (rk & 1) ? v / 100 : v;
}

std::string HexByte(uint8_t b) {
    static const char kHex[] = "0123456789ABCDEF";
    return std::string("0x") + kHex[b >> 4] + kHex[b & 0xF];
}

// Where a text at byte `at` of `n` bytes `d` ends: its length, in a byte
// or (`wordInBiff8`) in BIFF8 two; in BIFF8 a byte of flags, whose lowest
// bit makes each character two bytes; then its characters.  0 when the
// bytes end before its length and flags.
size_t TextEnd(const unsigned char* d, size_t n, size_t at, bool biff5, bool wordInBiff8) {
    const size_t length = wordInBiff8 && !biff5 ? 2 : 1;
    const size_t head = at + length + (biff5 ? 0 : 1);
    if (n < head) return 0;
    const size_t count = length == 2 ? U16(d + at) : d[at];
    return head + count * (!biff5 && (d[head - 1] & 1) ? 2 : 1);
}

// The extra data that follows a formula's tokens for some of them, one
// structure a token in the tokens' order.
enum class Extra : uint8_t { None, Array, MemArea, Labels };

// The size of the formula token at `t`, of which `left` bytes (at least
// one) are in the formula: 0 when it runs past them, SIZE_MAX when neither
// BIFF5 nor BIFF8 defines it.  A token of one version only takes its size
// from that version; those of both from `biff5`.
size_t TokenSize(const unsigned char* t, size_t left, bool biff5, Extra& extra) {
    constexpr size_t kUndefined = std::numeric_limits<size_t>::max();
    extra = Extra::None;
    const uint8_t ptg = t[0];
    if (ptg >= 0x80) return kUndefined;
    if (ptg >= 0x20) {
        // Operands and functions, in their reference, value and array
        // classes (0x20, 0x40, 0x60 apart).
        switch ((ptg & 0x1F) | 0x20) {
        case 0x20: extra = Extra::Array; return 8;                       // PtgArray
        case 0x21: return 3;                                             // PtgFunc
        case 0x22: return 4;                                             // PtgFuncVar
        case 0x23: return biff5 ? 15 : 5;                                // PtgName
        case 0x24: case 0x2A: case 0x2C: return biff5 ? 4 : 5;           // PtgRef, PtgRefErr, PtgRefN
        case 0x25: case 0x2B: case 0x2D: return biff5 ? 7 : 9;           // PtgArea, PtgAreaErr, PtgAreaN
        case 0x26: extra = Extra::MemArea; return 7;                     // PtgMemArea
        case 0x27: case 0x28: return 7;                                  // PtgMemErr, PtgMemNoMem
        case 0x29: case 0x2E: case 0x2F: return 3;                       // PtgMemFunc, PtgMemAreaN, PtgMemNoMemN
        case 0x39: return biff5 ? 25 : 7;                                // PtgNameX
        case 0x3A: case 0x3C: return biff5 ? 18 : 7;                     // PtgRef3d, PtgRefErr3d
        case 0x3B: case 0x3D: return biff5 ? 21 : 11;                    // PtgArea3d, PtgAreaErr3d
        default: return kUndefined;                                      // 0x30 to 0x38, 0x3E, 0x3F
        }
    }
    switch (ptg) {
    case 0x01: case 0x02: return 5;   // PtgExp, PtgTbl
    case 0x17: return TextEnd(t, left, 1, biff5, false);   // PtgStr
    case 0x18:                        // the natural-language tokens and PtgSxName, by their second byte
        if (left < 2) return 0;
        switch (t[1]) {
        case 0x01: case 0x02: case 0x03: case 0x06: case 0x07: case 0x0A: case 0x10: case 0x1D: return 6;
        case 0x0B: case 0x0C: case 0x0D: case 0x0E: case 0x0F: extra = Extra::Labels; return 6;   // labels of several cells
        default: return kUndefined;
        }
    case 0x19:                        // PtgAttr; a choice has its jump table after it
        if (left < 4) return 0;
        return 4 + ((t[1] & 0x04) ? 2 * (size_t(U16(t + 2)) + 1) : 0);
    case 0x1C: case 0x1D: return 2;   // PtgErr, PtgBool
    case 0x1E: return 3;              // PtgInt
    case 0x1F: return 9;              // PtgNum
    default: return ptg >= 0x03 && ptg <= 0x16 ? 1 : kUndefined;   // operators, PtgParen, PtgMissArg
    }
}

// What a formula's tokens (`cce` bytes at `tokens`, the first at stream
// byte `at`) need after them: the bytes of their extra data, read from
// `data` (`left` bytes, the rest of the record; past `left` when that data
// runs past the record), or a fault, said after the name of the record.
struct FormulaLength {
    size_t extra = 0;
    std::string fault;
};
FormulaLength FormulaLengthOf(const unsigned char* tokens, size_t cce, const unsigned char* data, size_t left, bool biff5,
                              uint64_t at) {
    FormulaLength result;
    std::vector<Extra> extras;
    for (size_t i = 0; i < cce;) {
        Extra extra = Extra::None;
        const size_t size = TokenSize(tokens + i, cce - i, biff5, extra);
        std::string name = HexByte(tokens[i]);
        if (tokens[i] == 0x18 && i + 1 < cce) name += " " + HexByte(tokens[i + 1]);
        if (size == std::numeric_limits<size_t>::max()) {
            result.fault = "holds a formula token " + name + " at byte " + std::to_string(at + i) + " that neither BIFF5 nor BIFF8 defines";
            return result;
        }
        if (size == 0 || size > cce - i) {
            result.fault = "holds a formula token " + name + " at byte " + std::to_string(at + i) + " that runs past its " +
                           std::to_string(cce) + " bytes of tokens";
            return result;
        }
        if (extra != Extra::None) extras.push_back(extra);
        i += size;
    }
    size_t& n = result.extra;
    // Whether `more` bytes run past the record; if so they are counted.
    auto cut = [&](size_t more) {
        if (more <= left - std::min(n, left)) return false;
        n += more;
        return true;
    };
    for (Extra extra : extras) {
        switch (extra) {
        case Extra::MemArea:   // a count of ranges, then the ranges
            if (cut(2)) return result;
            n += 2 + size_t(U16(data + n)) * (biff5 ? 6 : 8);
            break;
        case Extra::Labels:    // a count of cells in 30 bits and two flags, then the cells
            if (cut(4)) return result;
            n += 4 + size_t(U32(data + n) & 0x3FFFFFFF) * 4;
            break;
        case Extra::Array: {   // its columns and rows, then the values row by row
            if (cut(3)) return result;
            // BIFF8 stores each count less one; BIFF5 the counts, 0 columns meaning 256.
            const size_t columns = biff5 ? (data[n] ? data[n] : 256) : size_t(data[n]) + 1;
            const size_t rows = size_t(U16(data + n + 1)) + (biff5 ? 0 : 1);
            n += 3;
            for (size_t v = 0; v < columns * rows; ++v) {
                if (cut(1)) return result;
                switch (data[n]) {
                case 0x00: case 0x01: case 0x04: case 0x10: n += 9; break;   // empty, number, boolean, error
                case 0x02:                                                   // a text
                    if (cut(biff5 ? 2 : 4)) return result;
                    n = TextEnd(data, left, n + 1, biff5, true);
                    break;
                default:
                    result.fault = "holds an array constant whose value at byte " + std::to_string(at + cce + n) +
                                   " is of a kind the format does not define (" + HexByte(data[n]) + ")";
                    return result;
                }
            }
            break;
        }
        case Extra::None: break;
        }
    }
    return result;
}

std::string CellName(uint32_t row, uint32_t col) {
    std::string letters;
    for (uint32_t c = col + 1; c > 0; c = (c - 1) / 26) letters.insert(letters.begin(), static_cast<char>('A' + (c - 1) % 26));
    return letters + std::to_string(row + 1);
}

struct Record {
    uint16_t type = 0;
    uint64_t at = 0;   // the byte of its header in the stream
    std::vector<unsigned char> data;
};

// Whether a record ends with the 16-bit count, at its byte `at`, of an
// empty text: such a text needs no byte of flags (nor an RSTRING its runs
// after it), and writers leave them out.
bool EndsWithEmptyText(const Record& r, size_t at) { return r.data.size() == at + 2 && U16(&r.data[at]) == 0; }

// Where, in the `n` bytes `d` of a record, from byte `from` on, runs begin
// of headers of record types the format defines, each record beginning
// where the one before ends and the last ending exactly where the record
// ends: element o is true when one begins at byte o (element n, the
// record's end, is false).  A record made longer over the records after it
// holds such a run from where its length was cut: in its surplus, where its
// fields are read as before, or from its first byte, where it was empty.  A
// text or a writer's padding holds none.  Runs are looked for only where
// damage can have put them: inside a cell's fields a row, column and format
// may read as a header whose length takes in a byte of padding.  One pass
// from right to left: each byte is looked at once.
std::vector<bool> RunStarts(const unsigned char* d, size_t n, size_t from) {
    std::vector<bool> starts(n + 1, false);
    starts[n] = true;   // where the last record of a run ends
    for (size_t o = n >= 4 ? n - 4 + 1 : 0; o-- > from;) {
        if (!KnownRecordOf(U16(d + o))) continue;
        const size_t next = o + 4 + U16(d + o + 2);
        starts[o] = next <= n && starts[next];
    }
    starts[n] = false;
    return starts;
}

// What may follow a record's fields: a writer's padding or extension,
// which must be able to hide no record (RecordReader::Padding); after a
// cell's text only zero bytes, the NUL some writers end a text with; or
// nothing at all.
enum class Surplus { Padding, Zeros, None };

// The records of the workbook stream, one after the other from a place.
class RecordReader {
public:
    RecordReader(const cfb::Stream& stream, std::string label) : stream_(stream), label_(std::move(label)) {}

    [[noreturn]] void Fail(const std::string& where, const std::string& what) const {
        sheet::Fail(label_ + ": " + (where.empty() ? "" : where + ": ") + what);
    }
    const std::string& Label() const { return label_; }
    uint64_t Size() const { return stream_.Size(); }
    uint64_t Position() const { return pos_; }
    void Seek(uint64_t pos) { pos_ = pos; }

    // The next record; false at the end of the stream.
    bool Next(Record& r, const std::string& where) {
        if (pos_ >= Size()) return false;
        unsigned char head[4];
        if (Size() - pos_ < sizeof head) {
            Fail(where, "a record header at byte " + std::to_string(pos_) + " is cut off by the end of the stream");
        }
        Bytes(pos_, head, sizeof head);
        r.type = U16(head);
        r.at = pos_;
        const uint16_t length = U16(head + 2);
        if (length > Size() - pos_ - sizeof head) {
            Fail(where, RecordName(r.type) + " record at byte " + std::to_string(pos_) + " runs past the end of the stream (" +
                            std::to_string(length) + " bytes declared, " + std::to_string(Size() - pos_ - sizeof head) +
                            " left)");
        }
        r.data.resize(length);
        Bytes(pos_ + sizeof head, r.data.data(), length);
        pos_ += sizeof head + length;
        return true;
    }
    // Whether the last `n` bytes of `r`, the record just read, past what
    // its fields take, are a surplus of the `kind` allowed there.  Padding
    // must hide no record.  A length made longer by damage takes in the
    // records after it, whose headers then run, each record after the one
    // before, from where the length was cut to exactly where the record
    // now ends; a writer's padding or extension (spaces, zeros, a double,
    // a text) is no such run.  So the surplus hides none unless the header
    // of a record type the format defines, with a length that fits in the
    // stream, starts where the fields end (inside the surplus or running
    // past its end), unless what follows it is no such header (the end of
    // the stream, where nothing follows, is sound), or unless such a run
    // starts in the surplus (RunStarts).  Zeros must be zero bytes, and
    // what follows them a header too.
    bool Padding(const Record& r, size_t n, Surplus kind = Surplus::Padding) {
        if (n == 0) return true;
        if (kind == Surplus::None) return false;
        const uint64_t fieldsEnd = pos_ - n;
        if (HeaderAt(fieldsEnd) || (pos_ != Size() && !HeaderAt(pos_))) return false;
        const auto surplus = r.data.end() - static_cast<std::ptrdiff_t>(n);
        if (kind == Surplus::Zeros) return std::all_of(surplus, r.data.end(), [](unsigned char b) { return b == 0; });
        const auto starts = RunStarts(r.data.data(), r.data.size(), r.data.size() - n);
        return std::find(starts.begin(), starts.end(), true) == starts.end();
    }
    // The type of the record that comes next; 0 at the end of the stream.
    uint16_t PeekType() {
        if (Size() - pos_ < 4) return 0;
        unsigned char head[2];
        Bytes(pos_, head, sizeof head);
        return U16(head);
    }

private:
    // Whether the stream holds at `at` the header of a record of a type
    // the format defines, whose length fits in the stream.
    bool HeaderAt(uint64_t at) {
        if (at > Size() || Size() - at < 4) return false;
        unsigned char head[4];
        Bytes(at, head, sizeof head);
        return KnownRecordOf(U16(head)) != nullptr && U16(head + 2) <= Size() - at - sizeof head;
    }
    // Copies stream bytes through a buffer of whole pieces of the stream.
    void Bytes(uint64_t at, unsigned char* into, size_t n) {
        if (n == 0) return;
        if (at < bufferAt_ || at + n > bufferAt_ + buffer_.size()) {
            const size_t want = static_cast<size_t>(std::min<uint64_t>(std::max(n, kPiece), Size() - at));
            buffer_.resize(want);
            stream_.Read(at, buffer_.data(), want);
            bufferAt_ = at;
        }
        std::memcpy(into, buffer_.data() + (at - bufferAt_), n);
    }
    static constexpr size_t kPiece = size_t(64) << 10;

    const cfb::Stream& stream_;
    std::string label_;
    uint64_t pos_ = 0;
    std::vector<unsigned char> buffer_;
    uint64_t bufferAt_ = 0;
};

// The bytes of a record and of the CONTINUE records after it, read as one
// run, with the format's rule for a text broken between two records: the
// rest of its characters begin with a byte giving their width anew.
class ContinuedRecord {
public:
    ContinuedRecord(RecordReader& reader, Record& first, std::string where)
        : reader_(reader), record_(first), where_(std::move(where)) {}

    bool AtEnd() { return !Available(); }
    uint8_t Byte() {
        unsigned char b;
        Read(&b, 1);
        return b;
    }
    uint16_t Word() {
        unsigned char b[2];
        Read(b, 2);
        return U16(b);
    }
    uint32_t Long() {
        unsigned char b[4];
        Read(b, 4);
        return U32(b);
    }
    void Skip(uint64_t n) {
        while (n > 0) {
            Need();
            const size_t k = static_cast<size_t>(std::min<uint64_t>(n, record_.data.size() - at_));
            at_ += k;
            n -= k;
        }
    }
    // `count` characters, starting `wide` (two bytes each) or not.  With
    // `upToEnd`, the characters there are when the record (with its
    // CONTINUE records) ends before them, a half character at its end
    // left out; without, such a record is refused.
    void Chars(uint32_t count, bool wide, std::vector<uint16_t>& units, bool upToEnd = false) {
        units.clear();
        while (units.size() < count) {
            if (at_ == record_.data.size()) {
                if (upToEnd && !Available()) return;
                Need();
                wide = record_.data[at_++] & 1;
                continue;
            }
            const size_t width = wide ? 2 : 1;
            const size_t k = std::min<size_t>(count - units.size(), (record_.data.size() - at_) / width);
            if (k == 0) {
                if (upToEnd && (reader_.PeekType() != kContinue)) {
                    at_ = record_.data.size();
                    return;
                }
                reader_.Fail(where_, "a character is split between two records at byte " + std::to_string(Where()));
            }
            for (size_t i = 0; i < k; ++i, at_ += width) {
                units.push_back(wide ? U16(&record_.data[at_]) : record_.data[at_]);
            }
        }
    }
    // An XLUnicodeString: its length, a byte of flags and its characters
    // (with `upToEnd`, as many of them as the record holds).
    std::string String(uint32_t length, std::vector<uint16_t>& units, bool upToEnd = false) {
        if (upToEnd && AtEnd()) return "";
        const bool wide = Byte() & 1;
        Chars(length, wide, units, upToEnd);
        std::string text;
        AppendUtf16(text, units.data(), units.size());
        return text;
    }
    // Up to `n` bytes as they are, across CONTINUE records, as BIFF5
    // continues a text (no byte of flags at a record's start): fewer when
    // the record and its CONTINUE records end before them.  `pieces` gets
    // where each run of bytes from one record begins, in `out` and in the
    // stream.
    void Raw(size_t n, std::string& out, std::vector<std::pair<size_t, uint64_t>>& pieces) {
        out.clear();
        pieces.clear();
        while (out.size() < n && Available()) {
            const size_t k = std::min(n - out.size(), record_.data.size() - at_);
            pieces.emplace_back(out.size(), Where());
            out.append(reinterpret_cast<const char*>(&record_.data[at_]), k);
            at_ += k;
        }
    }
    uint64_t Where() const { return record_.at + 4 + at_; }
    // Refuses a record whose last piece read holds bytes after the last
    // value read, unless they are a surplus of the `kind` allowed (with
    // Surplus::None, a CONTINUE record after it that holds any byte is
    // refused too): its length says more than its fields.
    void End(Surplus kind = Surplus::Padding) {
        if (kind == Surplus::None) Available();
        if (at_ != record_.data.size() && !reader_.Padding(record_, record_.data.size() - at_, kind)) {
            reader_.Fail(where_, "the " + RecordName(type_) + " record at byte " + std::to_string(start_) + " is " +
                                     std::to_string(total_) + " bytes long, where its fields take " +
                                     std::to_string(total_ - (record_.data.size() - at_)));
        }
    }

private:
    bool Available() {
        while (at_ == record_.data.size()) {
            if (reader_.PeekType() != kContinue) return false;
            reader_.Next(record_, where_);
            at_ = 0;
            total_ += record_.data.size();
        }
        return true;
    }
    void Need() {
        if (!Available()) {
            reader_.Fail(where_, RecordName(type_) + " record at byte " + std::to_string(start_) +
                                     " ends inside a value (at byte " + std::to_string(Where()) + ")");
        }
    }
    void Read(unsigned char* into, size_t n) {
        while (n > 0) {
            Need();
            const size_t k = std::min(n, record_.data.size() - at_);
            std::memcpy(into, &record_.data[at_], k);
            at_ += k;
            into += k;
            n -= k;
        }
    }

    RecordReader& reader_;
    Record& record_;
    std::string where_;
    uint16_t type_ = record_.type;
    uint64_t start_ = record_.at;
    uint64_t total_ = record_.data.size();   // the bytes of its pieces read so far
    size_t at_ = 0;
};

struct SheetEntry {
    std::string name;
    uint32_t offset = 0;
};

// Why an encrypted workbook is refused, in either of its forms: an .xls
// whose globals hold a FILEPASS record, or an .xlsx, .xlsm or .xlsb stored
// encrypted in a compound file.  The spreadsheet opens some of them without
// asking for a password (those encrypted with its default one), which does
// not make them readable here.
constexpr const char* kEncrypted =
    "the workbook is encrypted (password-protected), which is not read, even when the spreadsheet opens it without "
    "asking for a password; save it without a password to read it";

class WorkbookReader {
public:
    WorkbookReader(const cfb::Stream& stream, const std::string& label, const ReadLimits& limits)
        : records_(stream, label), memory_(limits.valueMemory, label) {}

    std::shared_ptr<Workbook> Read() {
        ReadGlobals();
        if (sheets_.empty()) records_.Fail("", "the workbook has no sheet");
        auto book = std::make_shared<Workbook>();
        std::vector<std::shared_ptr<Sheet>> read(sheets_.size());
        // In the order of their records, so that no two overlap.
        std::vector<size_t> order(sheets_.size());
        for (size_t i = 0; i < order.size(); ++i) order[i] = i;
        std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return sheets_[a].offset < sheets_[b].offset; });
        uint64_t end = globalsEnd_;
        std::string previous = "the workbook's globals";
        for (size_t i : order) {
            const SheetEntry& e = sheets_[i];
            const std::string where = "sheet \"" + e.name + "\"";
            if (e.offset < end) {
                records_.Fail(where, "its records begin at byte " + std::to_string(e.offset) + ", inside those of " + previous +
                                         " (which end at byte " + std::to_string(end) + ")");
            }
            read[i] = ReadSheet(e, where);
            if (records_.Position() > e.offset) {
                end = records_.Position();
                previous = where;
            }
        }
        for (auto& s : read) book->sheets.push_back(std::move(s));
        return book;
    }

private:
    void ReadGlobals() {
        const std::string where = "the workbook's globals";
        Record r;
        if (!records_.Next(r, where)) records_.Fail("", "the workbook stream is empty");
        CheckBof(r, where, kGlobals);
        for (;;) {
            if (!records_.Next(r, where)) records_.Fail(where, "they end with the stream, without an EOF record");
            CheckLength(r, where);
            switch (r.type) {
            case kEof: globalsEnd_ = records_.Position(); return;
            case kFilePass: records_.Fail("", kEncrypted);
            case kBof:
                records_.Fail(where, "a BOF record at byte " + std::to_string(r.at) + " before their EOF record");
            case kBoundSheet: ReadBoundSheet(r, where); break;
            case kSst:
                if (!sstRead_ && !biff5_) ReadSst(r);
                break;
            case kCodePage:
                if (r.data.size() >= 2) {
                    codePage_ = std::make_unique<CodePageText>(U16(r.data.data()));
                    codePageNamed_ = true;
                }
                break;
            case kFont:
                // A BIFF5 workbook without a CODEPAGE record, as a few
                // writers leave it, holds its texts in the code page of the
                // system that wrote it, which its fonts' character set (the
                // byte after the family) gives.  Writers may list Western
                // fonts (ANSI, or the system's default) before the fonts of
                // the workbook's own script that its cells are in, so the
                // first font of another character set decides, for all the
                // workbook's texts: a workbook is written in one code page,
                // and sheet names and number formats have no font.  The
                // fonts come before those in the globals, so they are read
                // in it too.
                if (biff5_ && !codePageNamed_ && codePage_->CodePage() == kDefaultCodePage && r.data.size() > 12) {
                    const uint16_t page = CodePageOfCharSet(r.data[12]);
                    if (page != 0 && page != kDefaultCodePage) codePage_ = std::make_unique<CodePageText>(page);
                }
                break;
            case kFormat:
                // A format's text shorter than its count is read as far as
                // its record holds it: no value is lost by it, and a writer
                // has been seen to store one a character short.
                if (biff5_) {
                    // Only the format's ASCII letters matter here: a format
                    // whose bytes are no text of the code page is taken as
                    // its bytes (in a code page of two-byte characters a
                    // second byte may look like a letter).
                    if (r.data.size() >= 3) {
                        const std::string bytes(reinterpret_cast<const char*>(r.data.data() + 3),
                                                std::min<size_t>(r.data[2], r.data.size() - 3));
                        std::string text;
                        const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
                        if (codePage_->Append(text, b, bytes.size()) != CodePageText::Outcome::Read) text = bytes;
                        formats_[U16(r.data.data())] = FormatShowsDate(text);
                    }
                } else if (r.data.size() >= 4) {
                    ContinuedRecord c(records_, r, where);
                    const uint16_t index = c.Word();
                    const uint16_t length = c.Word();
                    formats_[index] = FormatShowsDate(c.String(length, units_, true));
                }
                break;
            case kXf:
                if (r.data.size() >= 4) xfFormats_.push_back(U16(&r.data[2]));
                break;
            case kDateMode:
                if (r.data.size() >= 2) from1904_ = U16(r.data.data()) != 0;
                break;
            default: break;
            }
        }
    }

    // The first record of a part: a BIFF8 or BIFF5 BOF (the globals' sets
    // the workbook's, every sheet's must match it, or be Excel 95's); its
    // length too is checked in the workbook's version.  `expected` is the
    // part's type (0 for any sheet's).
    uint16_t CheckBof(const Record& r, const std::string& where, uint16_t expected) {
        const std::string at = " at byte " + std::to_string(r.at);
        if (r.type == 0x0009 || r.type == 0x0209 || r.type == 0x0409) {
            records_.Fail("", "the workbook is in a format older than BIFF5 (Excel 2.x to 4.0), which is not read");
        }
        if (r.type != kBof || r.data.size() < 4) records_.Fail(where, "no BOF record" + at);
        const uint16_t version = U16(r.data.data());
        const uint16_t type = U16(&r.data[2]);
        if (expected == kGlobals) {
            if (version != kBiff8 && version != kBiff5) {
                records_.Fail("", "the workbook's BOF record gives an unknown format version " + Hex16(version));
            }
            biff5_ = version == kBiff5;
        }
        const uint16_t own = biff5_ ? kBiff5 : kBiff8;
        if (expected != kGlobals && biff5_ && version == kBiff8) {
            // Excel 95, and the "5.0/95" exports of later versions, give
            // each sheet's BOF the version 0x0600 with BIFF5's body of 8
            // bytes, and write BIFF5 records after it: the sheet is read as
            // the workbook's.  A BOF with BIFF8's body of 16 bytes begins a
            // sheet written in BIFF8, whose texts, formulas and cell
            // formats BIFF5 lays out otherwise: none of its values could
            // be read as BIFF5 without being misread.
            if (r.data.size() >= 16) {
                records_.Fail(where, "the BOF record" + at + " begins a BIFF8 sheet (version 0x0600, " + std::to_string(r.data.size()) +
                                         " bytes long) in a BIFF5 workbook, whose records cannot be read as BIFF5");
            }
        } else if (version == kBiff5 || version == kBiff8) {
            if (version != own) {
                records_.Fail(where, "the BOF record" + at + " gives format version " + Hex16(version) +
                                         ", unlike the workbook's " + Hex16(own));
            }
        } else {
            records_.Fail(where, "the BOF record" + at + " gives an unknown format version " + Hex16(version));
        }
        if (expected == kGlobals && type != kGlobals) records_.Fail("", "the workbook stream does not begin with the workbook's globals");
        CheckLength(r, where);
        return type;
    }

    void ReadBoundSheet(Record& r, const std::string& where) {
        const size_t head = biff5_ ? 7 : 8;
        if (r.data.size() < head) Short(r, where, head);
        SheetEntry e;
        e.offset = U32(r.data.data());
        const uint8_t length = r.data[6];
        if (biff5_) {
            e.name = Text8(r, 7, length, where, "sheet name");
        } else {
            const bool wide = r.data[7] & 1;
            if (8 + static_cast<size_t>(length) * (wide ? 2 : 1) > r.data.size()) {
                records_.Fail(where, "the sheet name of the BOUNDSHEET record at byte " + std::to_string(r.at) + " runs past its record");
            }
            units_.clear();
            for (size_t i = 0; i < length; ++i) units_.push_back(wide ? U16(&r.data[8 + 2 * i]) : r.data[8 + i]);
            AppendUtf16(e.name, units_.data(), units_.size());
        }
        memory_.Take(sizeof(Sheet) + sizeof(std::shared_ptr<Sheet>) + StringMemory(e.name.size()) + sizeof e);
        sheets_.push_back(std::move(e));
    }

    void ReadSst(Record& r) {
        sstRead_ = true;
        const std::string where = "the shared strings";
        ContinuedRecord c(records_, r, where);
        c.Long();   // references to the strings, counted over all sheets
        sstDeclared_ = c.Long();
        for (uint32_t i = 0; i < sstDeclared_; ++i) {
            // A table that ends between two strings holds fewer than it
            // declares: the strings it holds are read, and only a cell that
            // names one beyond them is refused.  A string cut short is.
            if (c.AtEnd()) break;
            // At most 65,535 characters: bounded before it is decoded,
            // refused by its bytes once it is.
            const uint16_t length = c.Word();
            const uint8_t flags = c.Byte();
            const uint16_t runs = (flags & 0x08) ? c.Word() : 0;
            const uint32_t extra = (flags & 0x04) ? c.Long() : 0;
            c.Chars(length, flags & 0x01, units_);
            std::string text;
            AppendUtf16(text, units_.data(), units_.size());
            if (text.size() > kMaxCellTextBytes) records_.Fail(where, "string " + std::to_string(i) + ": " + TextTooLong());
            c.Skip(static_cast<uint64_t>(runs) * 4 + extra);   // formatting runs and phonetic data
            memory_.Take(StringMemory(text.size()));
            sst_.push_back(std::move(text));
        }
        // Writers end the table with its last string; bytes after it are
        // the end of a string whose count was made smaller, or records
        // taken in by a length made longer.
        c.End(Surplus::None);
    }

    // The `length` bytes of a BIFF5 text at byte `at` of its record, which
    // must hold them all; `what` names the text.
    std::string Bytes8(const Record& r, size_t at, size_t length, const std::string& where, const std::string& what) {
        if (length > r.data.size() - at) {
            records_.Fail(where, "the " + what + " of the " + RecordName(r.type) + " record at byte " + std::to_string(r.at) +
                                     " runs past its record (" + std::to_string(length) + " bytes declared, " +
                                     std::to_string(r.data.size() - at) + " left)");
        }
        return std::string(reinterpret_cast<const char*>(r.data.data() + at), length);
    }
    // Such a text as UTF-8, in the workbook's code page.
    std::string Text8(const Record& r, size_t at, size_t length, const std::string& where, const std::string& what) {
        return Decode8(Bytes8(r, at, length, where, what), r.type, r.at, {{0, r.at + 4 + at}}, where, what);
    }
    // The bytes of a BIFF5 text as UTF-8, in the workbook's code page: the
    // `what` of the record of type `type` at stream byte `at`, whose bytes
    // begin in the stream where `pieces` says (each a byte of the text and
    // its place in the stream, in order).
    std::string Decode8(const std::string& bytes, uint16_t type, uint64_t at, const std::vector<std::pair<size_t, uint64_t>>& pieces,
                        const std::string& where, const std::string& what) {
        std::string text;
        size_t bad = 0;
        const auto outcome = codePage_->Append(text, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), &bad);
        if (outcome == CodePageText::Outcome::Read) return text;
        const std::string whose = "the " + what + " of the " + RecordName(type) + " record at byte " + std::to_string(at);
        const std::string page = "code page " + std::to_string(codePage_->CodePage());
        switch (outcome) {
        case CodePageText::Outcome::Read: break;
        case CodePageText::Outcome::NotRead:
            records_.Fail(where, whose + " has characters of " + page + ", which is not read (" + kCodePagesRead + ")");
        case CodePageText::Outcome::NoConverter:
            records_.Fail(where, whose + " has characters of " + page + ", which this system's character converter (iconv) does not have");
        case CodePageText::Outcome::Invalid: {
            auto piece = pieces.begin();
            while (piece + 1 != pieces.end() && (piece + 1)->first <= bad) ++piece;
            records_.Fail(where, whose + " holds bytes that are no character of " + page + ", at byte " +
                                     std::to_string(piece->second + (bad - piece->first)));
        }
        }
        return text;
    }
    static constexpr const char* kCodePagesRead =
        "code pages read: 437, 720 to 869, 874, 932, 936, 949, 950, 1361, 1250 to 1258, 10000, 32768, 32769, 367, 20127, 65001 and 1200";

    // A record longer than its fields take (`taken` bytes).
    [[noreturn]] void Long(const Record& r, const std::string& where, size_t taken) {
        records_.Fail(where, "the " + RecordName(r.type) + " record at byte " + std::to_string(r.at) + " is " +
                                 std::to_string(r.data.size()) + " bytes long, where its fields take " + std::to_string(taken));
    }
    // Refuses a record (the one just read) longer than its fields take,
    // unless the bytes past them are a surplus of the `kind` allowed.
    void NotLonger(const Record& r, const std::string& where, size_t taken, Surplus kind = Surplus::Padding) {
        if (r.data.size() > taken && !records_.Padding(r, r.data.size() - taken, kind)) Long(r, where, taken);
    }
    // Refuses a record shorter than its fields take, or longer.
    void Fits(const Record& r, const std::string& where, size_t taken, Surplus kind = Surplus::Padding) {
        if (r.data.size() < taken) Short(r, where, taken);
        NotLonger(r, where, taken, kind);
    }
    // What the tokens of a formula at byte `at` of a record and their extra
    // data take; a token or a value of a size the format does not give is
    // refused by name.
    size_t FormulaBytes(const Record& r, const std::string& where, size_t at, size_t cce) {
        const FormulaLength f = FormulaLengthOf(r.data.data() + at, cce, r.data.data() + at + cce, r.data.size() - at - cce,
                                                biff5_, r.at + 4 + at);
        if (!f.fault.empty()) records_.Fail(where, "the " + RecordName(r.type) + " record at byte " + std::to_string(r.at) + " " + f.fault);
        return cce + f.extra;
    }
    // Refuses a record of the globals or a sheet, other than a cell's, that
    // is longer than its fields: those of a fixed length (kSizedRecords),
    // and those whose fields say how long they are.  A record too short for
    // its fields is left to what reads it, if anything: nothing after it is
    // lost by it.
    void CheckLength(const Record& r, const std::string& where) {
        if (const KnownRecord* s = SizedRecordOf(r.type)) {
            NotLonger(r, where, biff5_ ? s->biff5 : s->biff8);
            return;
        }
        const size_t n = r.data.size();
        const unsigned char* d = r.data.data();
        size_t taken = 0;
        switch (r.type) {
        case kWriteAccess: {   // a name, padded or not
            const size_t name = TextEnd(d, n, 0, biff5_, true);
            if (name == 0) return;
            // The longest of the name and the two padded lengths (BIFF5's
            // 32 bytes, BIFF8's 112) not beyond the record's.
            for (size_t length : {name, size_t(32), size_t(112)}) {
                if (length <= n) taken = std::max(taken, length);
            }
            if (taken == 0) return;
            break;
        }
        case kBoundSheet:   // its place, state and kind, then its name
            taken = TextEnd(d, n, 6, biff5_, false);
            if (taken == 0) return;
            break;
        case kFont:         // 14 bytes, then its name
            taken = TextEnd(d, n, 14, biff5_, false);
            if (taken == 0) return;
            break;
        case kFormat:       // its number, then its text
            taken = TextEnd(d, n, 2, biff5_, true);
            if (taken == 0) return;
            break;
        case kStyle:        // its cell format; a built-in style's number and level, or a name
            if (n < 2) return;
            taken = (U16(d) & 0x8000) ? 4 : TextEnd(d, n, 2, biff5_, true);
            if (taken == 0) return;
            break;
        case kHeader:
        case kFooter:       // empty, or a text
            // Never continued: one too short for its text is refused too,
            // for an empty one made longer takes the bytes it hides for a
            // text's length.  An empty text needs no byte of flags, and
            // writers leave it out (a BIFF8 record of the two bytes 00 00).
            if (n == 0 || (!biff5_ && EndsWithEmptyText(r, 0))) return;
            // An empty one made longer holds the records it took in from
            // where it ended: at its first byte, or after the zero bytes of
            // an empty text's count.  The text then read from them may end
            // anywhere, at the record's end too, so they are looked for
            // there; a writer's text holds none, its count and first
            // character reading as a header of no type the format defines
            // or of a length far past the record's.
            {
                const auto starts = RunStarts(d, n, 0);
                size_t empty = 0;
                while (empty < (biff5_ ? 1u : 2u) && empty < n && d[empty] == 0) ++empty;
                if (starts[0]) Long(r, where, 0);
                if (starts[empty]) Long(r, where, empty);
            }
            taken = TextEnd(d, n, 0, biff5_, true);
            if (taken == 0) Short(r, where, biff5_ ? 1 : 3);
            if (n < taken) Short(r, where, taken);
            break;
        case kPalette:      // a count of colours, four bytes each
            if (n < 2) return;
            taken = 2 + 4 * size_t(U16(d));
            break;
        case kHPageBreaks:
        case kVPageBreaks:  // a count of breaks, two bytes each in BIFF5, six in BIFF8
            if (n < 2) return;
            taken = 2 + (biff5_ ? 2 : 6) * size_t(U16(d));
            break;
        case kSelection:    // the pane, the active cell and range, a count of ranges of six bytes
            if (n < 9) return;
            taken = 9 + 6 * size_t(U16(d + 7));
            break;
        case kExternSheet:  // BIFF8: a count of references, six bytes each
            if (biff5_ || n < 2) return;
            taken = 2 + 6 * size_t(U16(d));
            break;
        case kMergedCells:  // a count of ranges, eight bytes each
            if (n < 2) return;
            taken = 2 + 8 * size_t(U16(d));
            break;
        case kShrFmla:      // its range and use count, then a formula
        case kArray: {      // its range, flags and four unused bytes, then a formula
            const size_t head = r.type == kShrFmla ? 8 : 12;
            if (n < head + 2 || n < head + 2 + U16(d + head)) return;
            taken = head + 2 + FormulaBytes(r, where, head + 2, U16(d + head));
            break;
        }
        default: return;
        }
        NotLonger(r, where, taken);
    }
    [[noreturn]] void Short(const Record& r, const std::string& where, size_t needed) {
        records_.Fail(where, RecordName(r.type) + " record at byte " + std::to_string(r.at) + " is " +
                                 std::to_string(r.data.size()) + " bytes long, shorter than its " + std::to_string(needed));
    }

    std::shared_ptr<Sheet> ReadSheet(const SheetEntry& e, const std::string& where) {
        auto sheet = std::make_shared<Sheet>();
        sheet->name = e.name;
        if (e.offset >= records_.Size()) {
            records_.Fail(where, "its records begin at byte " + std::to_string(e.offset) + ", past the end of the stream (" +
                                     std::to_string(records_.Size()) + " bytes)");
        }
        records_.Seek(e.offset);
        Record r;
        records_.Next(r, where);
        const uint16_t type = CheckBof(r, where, 0);
        if (type != kWorksheet && type != kMacroSheet) {
            records_.Seek(e.offset);   // a chart sheet or a module: no cells, nothing read
            sheet->Finish();
            return sheet;
        }
        SheetCells cells(*this, *sheet, where);
        int depth = 0;
        for (;;) {
            if (!records_.Next(r, where)) records_.Fail(where, "its records end with the stream, without an EOF record");
            if (depth == 0) CheckLength(r, where);
            if (r.type == kBof) {
                ++depth;   // an embedded chart's records
            } else if (r.type == kEof) {
                if (depth-- == 0) break;
            } else if (depth == 0) {
                cells.Record(r);
            }
        }
        sheet->Finish();
        return sheet;
    }

    // The cells of one worksheet as its records come.
    class SheetCells {
    public:
        SheetCells(WorkbookReader& book, Sheet& sheet, std::string where)
            : book_(book), sheet_(sheet), where_(std::move(where)) {
            // Each shared string enters the sheet's own strings once, when first used.
            book_.memory_.Take(book_.sst_.size() * sizeof(uint32_t));
            local_.assign(book_.sst_.size(), kNone);
        }
        ~SheetCells() { book_.memory_.Give(local_.size() * sizeof(uint32_t)); }
        SheetCells(const SheetCells&) = delete;
        SheetCells& operator=(const SheetCells&) = delete;

        void Record(sheet::Record& r) {
            // An Excel 2.x cell: its value cannot be read in this layout,
            // and passing over it would lose the cell without a word.
            if (const char* old = Biff2CellName(r.type)) {
                book_.records_.Fail(where_, std::string("the BIFF2 ") + old + " record at byte " + std::to_string(r.at) +
                                                " holds a cell in the layout of Excel 2.x, a format older than BIFF5, "
                                                "which is not read; save the workbook as .xlsx");
            }
            // The records of one size: no shorter, and no longer either, or
            // they would hide the records after them.
            if (const size_t fixed = FixedLength(r.type)) book_.Fits(r, where_, fixed);
            if (r.type == kMulBlank) CheckMulBlank(r);
            const size_t needed = MinimumLength(r.type);
            if (needed == 0) return;   // no cell
            if (r.data.size() < needed) book_.Short(r, where_, needed);
            if (r.type == kString) {
                const bool wanted = pendingText_;
                pendingText_ = false;
                std::string text;
                if (book_.biff5_) {
                    text = Text5(r, 2, wanted, false);
                } else if (!EndsWithEmptyText(r, 0)) {
                    ContinuedRecord c(book_.records_, r, where_);
                    const uint16_t length = c.Word();
                    text = c.String(length, book_.units_);
                    c.End(Surplus::Zeros);
                }
                if (wanted) PutText(pendingRecord_, pendingRow_, pendingCol_, AddText(std::move(text), pendingRow_, pendingCol_));
                return;
            }
            // A formula's text result comes in the record right after it.
            pendingText_ = false;
            const unsigned char* d = r.data.data();
            const uint16_t row = U16(d), col = U16(d + 2), xf = U16(d + 4);
            switch (r.type) {
            case kNumber: PutNumber(r, row, col, xf, F64(d + 6)); break;
            case kRk: PutNumber(r, row, col, xf, RkValue(U32(d + 6))); break;
            case kMulRk: {
                const size_t n = (r.data.size() - 6) / 6;
                const uint16_t last = U16(d + r.data.size() - 2);
                if ((r.data.size() - 6) % 6 != 0 || static_cast<size_t>(col) + n - 1 != last) {
                    book_.records_.Fail(where_, "the MULRK record at byte " + std::to_string(r.at) + " is " +
                                                    std::to_string(r.data.size()) + " bytes long, which does not hold its columns " +
                                                    std::to_string(col + 1) + " to " + std::to_string(last + 1));
                }
                for (size_t i = 0; i < n; ++i) {
                    PutNumber(r, row, static_cast<uint32_t>(col + i), U16(d + 4 + 6 * i), RkValue(U32(d + 6 + 6 * i)));
                }
                break;
            }
            case kLabelSst: {
                const uint32_t index = U32(d + 6);
                if (index >= book_.sst_.size()) {
                    const std::string held = book_.sst_.size() < book_.sstDeclared_
                                                 ? " (its string table declares " + std::to_string(book_.sstDeclared_) +
                                                       " but holds " + std::to_string(book_.sst_.size()) + ")"
                                                 : "";
                    book_.records_.Fail(where_, "cell " + CellName(row, col) + " names shared string " + std::to_string(index) +
                                                    ", beyond the workbook's " + std::to_string(book_.sst_.size()) + held);
                }
                if (local_[index] == kNone) local_[index] = AddString(book_.sst_[index]);
                PutText(r.at, row, col, local_[index]);
                break;
            }
            case kLabel:
            case kRString:   // a LABEL with formatting runs after its text
                if (book_.biff5_) {
                    const uint64_t at = r.at;
                    std::string text = Text5(r, 8, true, r.type == kRString);
                    PutText(at, row, col, AddText(std::move(text), row, col));
                } else {
                    // Excel writes a LABELSST in BIFF8, but other writers
                    // still give a text with its runs an RSTRING: the runs,
                    // four bytes each, follow the text with their count.
                    const uint64_t at = r.at;
                    const bool runs = r.type == kRString;
                    std::string text;
                    if (!EndsWithEmptyText(r, 6)) {
                        ContinuedRecord c(book_.records_, r, where_);
                        c.Skip(6);
                        const uint16_t length = c.Word();
                        text = c.String(length, book_.units_);
                        if (runs) c.Skip(4 * uint64_t(c.Word()));
                        c.End(Surplus::Zeros);
                    }
                    PutText(at, row, col, AddText(std::move(text), row, col));
                }
                break;
            case kBoolErr: PutBoolErr(r, row, col, d[7] != 0, d[6]); break;
            case kFormula:
            case kFormula3:
            case kFormula4: {
                // Its tokens, then the extra data some of them need.
                const size_t cce = U16(d + 20);
                if (r.data.size() < 22 + cce) book_.Short(r, where_, 22 + cce);
                book_.Fits(r, where_, 22 + book_.FormulaBytes(r, where_, 22, cce));
                if (U16(d + 12) != 0xFFFF) {
                    PutNumber(r, row, col, xf, F64(d + 6));
                } else if (d[6] == 0) {
                    pendingText_ = true;   // the text follows in a STRING record
                    pendingRow_ = row;
                    pendingCol_ = col;
                    pendingRecord_ = r.at;
                } else if (d[6] == 1 || d[6] == 2) {
                    PutBoolErr(r, row, col, d[6] == 2, d[8]);
                } else if (d[6] == 3) {
                    PutText(r.at, row, col, AddString(""));
                }
                break;
            }
            default: break;
            }
        }

    private:
        static constexpr uint32_t kNone = std::numeric_limits<uint32_t>::max();

        // The text of a BIFF5 LABEL, RSTRING (`runs`) or STRING record: its
        // length in bytes at byte `at` - 2, its bytes from `at` (as UTF-8 if
        // `wanted`), then an RSTRING's formatting runs, their count in a
        // byte and two bytes each; only zero bytes may follow these.
        // A text longer than its record holds goes on in the CONTINUE
        // records after it, its bytes as they are.
        std::string Text5(sheet::Record& r, size_t at, bool wanted, bool runs) {
            const size_t length = U16(&r.data[at - 2]);
            if (length <= r.data.size() - at || book_.records_.PeekType() != kContinue) {
                std::string text = wanted ? book_.Text8(r, at, length, where_, "text") : "";
                size_t taken = at + length;
                if (runs && !EndsWithEmptyText(r, at - 2)) {
                    if (r.data.size() <= taken) book_.Short(r, where_, taken + 1);
                    taken += 1 + 2 * size_t(r.data[taken]);
                }
                book_.Fits(r, where_, taken, Surplus::Zeros);
                return text;
            }
            const uint16_t type = r.type;
            const uint64_t start = r.at;
            ContinuedRecord c(book_.records_, r, where_);
            c.Skip(at);
            std::string bytes;
            std::vector<std::pair<size_t, uint64_t>> pieces;
            c.Raw(length, bytes, pieces);
            if (bytes.size() < length) {
                book_.records_.Fail(where_, "the text of the " + RecordName(type) + " record at byte " + std::to_string(start) +
                                                " runs past its record and the CONTINUE records after it (" + std::to_string(length) +
                                                " bytes declared, " + std::to_string(bytes.size()) + " left)");
            }
            std::string text = wanted ? book_.Decode8(bytes, type, start, pieces, where_, "text") : "";
            if (runs) c.Skip(2 * size_t(c.Byte()));
            c.End(Surplus::Zeros);
            return text;
        }

        // The shortest record of a type that holds a cell; 0 for records
        // that hold none.
        static size_t MinimumLength(uint16_t type) {
            switch (type) {
            case kNumber:
            case kRk:
            case kLabelSst:
            case kBoolErr: return FixedLength(type);
            case kMulRk: return 12;
            case kLabel:
            case kRString: return 8;   // an empty text ending with its count, in either version
            case kFormula:
            case kFormula3:
            case kFormula4: return 22;
            case kString: return 2;
            default: return 0;
            }
        }

        // The length that a record of one size must have; 0 for others.  A
        // row's record and an empty cell's hold no value, but one longer
        // than its fields would hide the records after it.
        static size_t FixedLength(uint16_t type) {
            switch (type) {
            case kNumber: return 14;
            case kRk: return 10;
            case kLabelSst: return 10;
            case kBoolErr: return 8;
            case kRow: return 16;
            case kBlank: return 6;
            default: return 0;
            }
        }
        // Empty cells, their first column, a format for each column and
        // their last column: no value, but their length must be that.
        void CheckMulBlank(const sheet::Record& r) {
            if (r.data.size() < 8) book_.Short(r, where_, 8);
            const size_t first = U16(&r.data[2]), last = U16(&r.data[r.data.size() - 2]);
            if (r.data.size() % 2 != 0 || last < first || 6 + 2 * (last - first + 1) != r.data.size()) {
                book_.records_.Fail(where_, "the MULBLANK record at byte " + std::to_string(r.at) + " is " +
                                                std::to_string(r.data.size()) + " bytes long, which does not hold its columns " +
                                                std::to_string(first + 1) + " to " + std::to_string(last + 1));
            }
        }

        uint32_t AddString(std::string text) {
            book_.memory_.Take(StringMemory(text.size()));
            return sheet_.AddString(std::move(text));
        }
        // A text of the cell's own record (not a shared string, checked as
        // the table was read).
        uint32_t AddText(std::string text, uint32_t row, uint32_t col) {
            if (text.size() > kMaxCellTextBytes) book_.records_.Fail(where_, "cell " + CellName(row, col) + ": " + TextTooLong());
            return AddString(std::move(text));
        }

        void PutNumber(const sheet::Record& r, uint32_t row, uint32_t col, uint16_t xf, double value) {
            if (!std::isfinite(value)) {
                book_.records_.Fail(where_, "cell " + CellName(row, col) + " (" + RecordName(r.type) + " record at byte " +
                                                std::to_string(r.at) + ") holds a number that is not finite");
            }
            Cell cell;
            cell.kind = Cell::Number;
            cell.number = book_.from1904_ && book_.ShowsDate(xf) ? From1904(value) : value;
            PutAt(r.at, row, col, cell);
        }
        void PutText(uint64_t at, uint32_t row, uint32_t col, uint32_t text) {
            Cell cell;
            cell.kind = Cell::Text;
            cell.text = text;
            PutAt(at, row, col, cell);
        }
        // A Boolean reads as a Boolean (any value but 0 is TRUE), as the
        // .xlsx reader gives it, so that one workbook imports the same saved
        // in either format; an error as its error value.
        void PutBoolErr(const sheet::Record& r, uint32_t row, uint32_t col, bool error, uint8_t value) {
            Cell cell;
            if (error) {
                cell.kind = Cell::Error;
                const int32_t code = 2000 + value;
                cell.number = TextOfErrorCode(code) == "#ERROR" ? 2015 : code;
            } else {
                cell.kind = Cell::Boolean;
                cell.number = value != 0 ? 1 : 0;
            }
            PutAt(r.at, row, col, cell);
        }
        void PutAt(uint64_t at, uint32_t row, uint32_t col, const Cell& cell) {
            if (col >= kColumns) {
                book_.records_.Fail(where_, "the cell record at byte " + std::to_string(at) + " names column " +
                                                std::to_string(col + 1) + ", beyond the format's " + std::to_string(kColumns));
            }
            const int32_t r = static_cast<int32_t>(row) + 1;
            book_.memory_.Take(CellMemory(r != lastRow_));
            lastRow_ = r;
            sheet_.Put(r, static_cast<int32_t>(col) + 1, cell);
        }

        WorkbookReader& book_;
        Sheet& sheet_;
        std::string where_;
        std::vector<uint32_t> local_;
        int32_t lastRow_ = 0;
        bool pendingText_ = false;
        uint32_t pendingRow_ = 0, pendingCol_ = 0;
        uint64_t pendingRecord_ = 0;
    };

    // Whether a cell format's number format shows a date; a cell format
    // beyond the workbook's shows none.
    bool ShowsDate(uint16_t xf) const {
        if (xf >= xfFormats_.size()) return false;
        const uint16_t format = xfFormats_[xf];
        auto it = formats_.find(format);
        return it != formats_.end() ? it->second : BuiltInFormatShowsDate(format);
    }

    RecordReader records_;
    ValueMemory memory_;
    std::vector<SheetEntry> sheets_;
    std::vector<std::string> sst_;
    uint32_t sstDeclared_ = 0;
    bool sstRead_ = false;
    bool biff5_ = false;
    std::unique_ptr<CodePageText> codePage_ = std::make_unique<CodePageText>(kDefaultCodePage);
    bool codePageNamed_ = false;   // by a CODEPAGE record, which the fonts' character set does not override
    std::map<uint16_t, bool> formats_;   // by number format: whether it shows a date
    std::vector<uint16_t> xfFormats_;
    bool from1904_ = false;
    uint64_t globalsEnd_ = 0;
    std::vector<uint16_t> units_;
};

std::string BaseName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Reads an .xls file: a compound file holding the workbook stream, or that
// stream alone.
std::shared_ptr<Workbook> ReadCompound(const cfb::Source& source, const std::string& label, const ReadLimits& limits) {
    unsigned char head[4] = {};
    const bool headRead = source.Size() >= sizeof head && source.Read(0, head, sizeof head);
    const uint16_t first = headRead ? U16(head) : 0;
    // Excel 2.x to 4.0 wrote a bare record stream, beginning with its BOF,
    // where later versions write a compound file.
    if ((first == 0x0009 || first == 0x0209 || first == 0x0409) && U16(head + 2) <= 16) {
        Fail(label + ": the workbook is in a format older than BIFF5 (Excel 2.x to 4.0), which is not read; save it as .xlsx");
    }
    std::shared_ptr<Workbook> book;
    if (first == kBof) {
        // A BIFF5 or BIFF8 workbook stream saved as the file itself, as some
        // writers and web exports do: read, and checked, as the stream of a
        // compound file is, within the same bound of its size.
        const cfb::Stream stream(source, "Workbook", label);
        book = WorkbookReader(stream, label, limits).Read();
    } else {
        cfb::CompoundFile file(source, label);
        auto stream = file.Open({"Workbook", "Book"});
        if (!stream) {
            // An encrypted .xlsx, .xlsm or .xlsb: its package, encrypted, in
            // the one stream, and how it was encrypted in the other.
            if (file.Holds({"EncryptedPackage", "EncryptionInfo"})) Fail(label + ": " + kEncrypted);
            file.Fail("no workbook stream in the file");
        }
        book = WorkbookReader(*stream, label + ": stream \"" + stream->Name() + "\"", limits).Read();
    }
    book->path = label;
    book->name = BaseName(label);
    return book;
}

}  // namespace

std::shared_ptr<Workbook> ReadXlsBytes(const void* data, size_t size, const std::string& name, const ReadLimits& limits) {
    cfb::MemorySource source(data, size);
    return ReadCompound(source, name, limits);
}

std::shared_ptr<Workbook> ReadXls(const std::string& path, const ReadLimits& limits) {
    uint64_t size = 0;
    const int fd = OpenPlainFile(path, &size);
    cfb::FileSource source(fd, size);
    return ReadCompound(source, path, limits);
}

}  // namespace sheet
