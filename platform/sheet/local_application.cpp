#include <cmath>
#include <cstdint>
#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/sheet/client.h"

namespace sheet {

void LocalApplication::OpenWorkbook(const std::string& path) { Install(ReadWorkbook(path)); }

void LocalApplication::Install(std::shared_ptr<Workbook> book) {
    // Opening a file that is open already reads it again in its place.
    for (size_t i = 0; i < books_.size(); ++i) {
        if (books_[i]->path == book->path) {
            books_[i] = std::move(book);
            active_ = static_cast<int32_t>(i);
            Notify();
            return;
        }
    }
    books_.push_back(std::move(book));
    active_ = static_cast<int32_t>(books_.size()) - 1;
    Notify();
}

void LocalApplication::CloseWorkbooks() {
    books_.clear();
    active_ = -1;
    Notify();
}

std::string LocalApplication::ActiveWorkbook() { return active_ < 0 ? std::string() : books_[active_]->name; }

std::shared_ptr<const Sheet> LocalApplication::ActiveSheet() {
    if (active_ < 0) return nullptr;
    const auto& book = *books_[active_];
    return book.sheets.at(static_cast<size_t>(book.activeSheet));
}

void LocalApplication::Visible(bool v) {
    visible_ = v;
    Notify();
}

void LocalApplication::Activate(int32_t book, int32_t sheetIndex) {
    if (book < 0 || book >= static_cast<int32_t>(books_.size())) return;
    active_ = book;
    auto& b = *books_[book];
    if (sheetIndex >= 0 && sheetIndex < static_cast<int32_t>(b.sheets.size())) b.activeSheet = sheetIndex;
    Notify();
}

void LocalApplication::Close(int32_t book) {
    if (book < 0 || book >= static_cast<int32_t>(books_.size())) return;
    books_.erase(books_.begin() + book);
    if (books_.empty()) {
        active_ = -1;
    } else if (active_ >= book) {
        active_ = std::max(0, active_ - 1);
    }
    Notify();
}

// ---------------------------------------------------------------------------
// The sheet's byte form: "SSH1", the name, the strings, then each row's
// number and cells (column, kind, and a number or a string index).  All
// integers little-endian.

namespace {
void PutU32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void PutText(std::vector<uint8_t>& out, const std::string& s) {
    PutU32(out, static_cast<uint32_t>(s.size()));
    out.insert(out.end(), s.begin(), s.end());
}

class Reader {
public:
    Reader(const uint8_t* p, size_t n) : p_(p), n_(n) {}
    uint32_t U32() {
        Need(4);
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v |= uint32_t(p_[pos_ + i]) << (8 * i);
        pos_ += 4;
        return v;
    }
    uint8_t U8() {
        Need(1);
        return p_[pos_++];
    }
    double F64() {
        Need(8);
        double d;
        std::memcpy(&d, p_ + pos_, 8);
        pos_ += 8;
        return d;
    }
    std::string Text() {
        const uint32_t len = U32();
        Need(len);
        std::string s(reinterpret_cast<const char*>(p_ + pos_), len);
        pos_ += len;
        return s;
    }
    // A count of items of at least `itemBytes` each must fit the bytes left.
    uint32_t Count(size_t itemBytes) {
        const uint32_t n = U32();
        if (static_cast<uint64_t>(n) * itemBytes > n_ - pos_) Fail("sheet data: count beyond the data");
        return n;
    }
    bool AtEnd() const { return pos_ == n_; }

private:
    void Need(size_t k) {
        if (k > n_ - pos_) Fail("sheet data: truncated");
    }
    const uint8_t* p_;
    size_t n_;
    size_t pos_ = 0;
};
}  // namespace

std::vector<uint8_t> EncodeSheet(const Sheet& sheet) {
    std::vector<uint8_t> out = {'S', 'S', 'H', '1'};
    out.reserve(16 + sheet.CellCount() * 13);
    PutText(out, sheet.name);
    PutU32(out, static_cast<uint32_t>(sheet.Strings().size()));
    for (const auto& s : sheet.Strings()) PutText(out, s);
    PutU32(out, static_cast<uint32_t>(sheet.Rows().size()));
    for (const auto& row : sheet.Rows()) {
        PutU32(out, static_cast<uint32_t>(row.number));
        PutU32(out, static_cast<uint32_t>(row.cells.size()));
        for (const auto& e : row.cells) {
            PutU32(out, static_cast<uint32_t>(e.col));
            out.push_back(e.cell.kind);
            if (e.cell.kind == Cell::Text) {
                PutU32(out, e.cell.text);
            } else {
                const size_t at = out.size();
                out.resize(at + 8);
                std::memcpy(out.data() + at, &e.cell.number, 8);
            }
        }
    }
    return out;
}

std::shared_ptr<Sheet> DecodeSheet(const uint8_t* data, size_t size) {
    Reader in(data, size);
    if (in.U8() != 'S' || in.U8() != 'S' || in.U8() != 'H' || in.U8() != '1') Fail("sheet data: unknown format");
    auto sheet = std::make_shared<Sheet>();
    sheet->name = in.Text();
    const uint32_t strings = in.Count(4);
    for (uint32_t i = 0; i < strings; ++i) sheet->AddString(in.Text());
    const uint32_t rows = in.Count(8);
    for (uint32_t r = 0; r < rows; ++r) {
        const uint32_t number = in.U32();
        const uint32_t cells = in.Count(9);
        for (uint32_t k = 0; k < cells; ++k) {
            const uint32_t col = in.U32();
            Cell cell;
            const uint8_t kind = in.U8();
            if (kind > Cell::Error) Fail("sheet data: unknown cell kind");
            cell.kind = static_cast<Cell::Kind>(kind);
            if (cell.kind == Cell::Text) {
                cell.text = in.U32();
                if (cell.text >= strings) Fail("sheet data: string index out of range");
            } else {
                cell.number = in.F64();
                // An error value is a whole code that the runtime's Error holds.
                if (cell.kind == Cell::Error &&
                    !(cell.number >= INT32_MIN && cell.number <= INT32_MAX && cell.number == std::floor(cell.number))) {
                    Fail("sheet data: bad error code");
                }
            }
            if (number < 1 || number > static_cast<uint32_t>(kMaxRow) || col < 1 || col > static_cast<uint32_t>(kMaxCol)) {
                Fail("sheet data: cell out of the sheet's range");
            }
            sheet->Put(static_cast<int32_t>(number), static_cast<int32_t>(col), cell);
        }
    }
    if (!in.AtEnd()) Fail("sheet data: trailing bytes");
    sheet->Finish();
    return sheet;
}

}  // namespace sheet
