// The .xls reader: the older binary workbook format, through libfreexl.
//
// The library gives every sheet's cells as numbers, texts (UTF-8) and dates
// as ISO texts, which become the serial numbers the other format stores.
// The format's active-tab record is not offered by the library, so the first
// sheet is the active one.
#include <freexl.h>

#include "platform/sheet/workbook.h"

namespace sheet {
namespace {

std::string FreexlReason(int code) {
    switch (code) {
    case FREEXL_FILE_NOT_FOUND: return "file not found";
    case FREEXL_INSUFFICIENT_MEMORY: return "out of memory";
    case FREEXL_INVALID_CFBF_HEADER:
    case FREEXL_CFBF_INVALID_SIGNATURE:
    case FREEXL_CFBF_INVALID_SECTOR_SIZE: return "damaged file header";
    case FREEXL_CFBF_READ_ERROR:
    case FREEXL_CFBF_SEEK_ERROR: return "the file is truncated or damaged";
    case FREEXL_CFBF_EMPTY_FAT_CHAIN:
    case FREEXL_CFBF_ILLEGAL_FAT_ENTRY:
    case FREEXL_INVALID_MINI_STREAM:
    case FREEXL_CFBF_ILLEGAL_MINI_FAT_ENTRY: return "damaged allocation table";
    case FREEXL_BIFF_INVALID_BOF:
    case FREEXL_BIFF_WORKBOOK_NOT_FOUND: return "no workbook stream in the file";
    case FREEXL_BIFF_INVALID_SST:
    case FREEXL_BIFF_ILLEGAL_SST_INDEX: return "damaged string table";
    case FREEXL_INVALID_CHARACTER:
    case FREEXL_UNSUPPORTED_CHARSET: return "text in an unsupported character set";
    case FREEXL_ILLEGAL_CELL_ROW_COL:
    case FREEXL_ILLEGAL_RK_VALUE: return "damaged cell record";
    case FREEXL_CRAFTED_FILE: return "severely damaged file";
    default: return "error " + std::to_string(code);
    }
}

struct Handle {
    const void* h = nullptr;
    ~Handle() {
        if (h) freexl_close(h);
    }
};

}  // namespace

std::shared_ptr<Workbook> ReadXls(const std::string& path) {
    auto fail = [&](const std::string& where, int code) {
        Fail(path + ": " + (where.empty() ? "" : where + ": ") + FreexlReason(code));
    };
    Handle xls;
    int rc = freexl_open(path.c_str(), &xls.h);
    if (rc != FREEXL_OK) fail("", rc);
    unsigned int info = 0;
    if (freexl_get_info(xls.h, FREEXL_BIFF_PASSWORD, &info) == FREEXL_OK && info == FREEXL_BIFF_OBFUSCATED) {
        Fail(path + ": the workbook is password-protected");
    }
    unsigned int sheetCount = 0;
    rc = freexl_get_info(xls.h, FREEXL_BIFF_SHEET_COUNT, &sheetCount);
    if (rc != FREEXL_OK) fail("", rc);
    if (sheetCount == 0) Fail(path + ": the workbook has no sheet");

    auto book = std::make_shared<Workbook>();
    book->path = path;
    const size_t slash = path.find_last_of('/');
    book->name = slash == std::string::npos ? path : path.substr(slash + 1);
    for (unsigned int s = 0; s < sheetCount && s <= 0xFFFF; ++s) {
        const auto index = static_cast<unsigned short>(s);
        auto sheet = std::make_shared<Sheet>();
        const char* name = nullptr;
        if (freexl_get_worksheet_name(xls.h, index, &name) == FREEXL_OK && name) sheet->name = name;
        const std::string where = "sheet \"" + sheet->name + "\"";
        if ((rc = freexl_select_active_worksheet(xls.h, index)) != FREEXL_OK) fail(where, rc);
        unsigned int rows = 0;
        unsigned short cols = 0;
        if ((rc = freexl_worksheet_dimensions(xls.h, &rows, &cols)) != FREEXL_OK) fail(where, rc);
        if (rows > static_cast<unsigned int>(kMaxRow)) rows = static_cast<unsigned int>(kMaxRow);
        for (unsigned int r = 0; r < rows; ++r) {
            for (unsigned short c = 0; c < cols && c < kMaxCol; ++c) {
                FreeXL_CellValue v;
                if ((rc = freexl_get_cell_value(xls.h, r, c, &v)) != FREEXL_OK) fail(where, rc);
                Cell cell;
                switch (v.type) {
                case FREEXL_CELL_INT:
                    cell.kind = Cell::Number;
                    cell.number = v.value.int_value;
                    break;
                case FREEXL_CELL_DOUBLE:
                    cell.kind = Cell::Number;
                    cell.number = v.value.double_value;
                    break;
                case FREEXL_CELL_TEXT:
                case FREEXL_CELL_SST_TEXT:
                    cell.kind = Cell::Text;
                    cell.text = sheet->AddString(v.value.text_value ? v.value.text_value : "");
                    break;
                case FREEXL_CELL_DATE:
                case FREEXL_CELL_DATETIME:
                case FREEXL_CELL_TIME:
                    cell = sheet->DateCell(v.value.text_value ? v.value.text_value : "");
                    break;
                default: break;   // FREEXL_CELL_NULL
                }
                if (cell.kind != Cell::Empty) sheet->Put(static_cast<int32_t>(r) + 1, c + 1, cell);
            }
        }
        sheet->Finish();
        book->sheets.push_back(std::move(sheet));
    }
    return book;
}

}  // namespace sheet
