#include "platform/sheet/workbook.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sheet {

void Fail(const std::string& description) { throw vb::VbError(kErrWorkbook, description, "sewersheet"); }

std::string Megabytes(size_t bytes) {
    return bytes % (size_t(1) << 20) == 0 ? std::to_string(bytes >> 20) + " MiB" : std::to_string(bytes) + " bytes";
}

size_t StringMemory(size_t length) { return sizeof(std::string) + (length >= 16 ? length + 1 : 0); }

size_t CellMemory(bool beginsRow) {
    // What the heap adds to each row's block of cells.
    constexpr size_t kBlockOverhead = 16;
    return sizeof(Sheet::Entry) + (beginsRow ? sizeof(Sheet::Row) + kBlockOverhead : 0);
}

void ValueMemory::Need(size_t bytes) const {
    if (bytes > limit_ - held_) Fail(label_ + ": the cells need more memory than the limit of " + Megabytes(limit_));
}

std::string TextTooLong() {
    return "a text longer than the limit of " + std::to_string(kMaxCellTextBytes) + " bytes (in UTF-8) a cell may hold";
}

bool FormatShowsDate(std::string_view format) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c; };
    auto startsWith = [&](size_t at, std::string_view word) {
        if (format.size() - at < word.size()) return false;
        for (size_t k = 0; k < word.size(); ++k) {
            if (lower(format[at + k]) != word[k]) return false;
        }
        return true;
    };
    // The codes of dates and times in their order, a run of one letter as
    // one code: d, m, y, h, s, and "e" for the elapsed time in brackets.
    std::string codes;
    for (size_t i = 0; i < format.size();) {
        const char c = lower(format[i]);
        if (c == '"') {
            const size_t end = format.find('"', i + 1);
            i = end == std::string_view::npos ? format.size() : end + 1;
        } else if (c == '\\' || c == '*' || c == '_') {
            i += 2;
        } else if (c == '[') {
            const size_t end = format.find(']', i + 1);
            const std::string_view inside = format.substr(i + 1, (end == std::string_view::npos ? format.size() : end) - i - 1);
            // [h], [mm], [ss]: hours, minutes or seconds elapsed.
            if (!inside.empty() && std::all_of(inside.begin(), inside.end(), [&](char k) { return lower(k) == lower(inside[0]); }) &&
                (lower(inside[0]) == 'h' || lower(inside[0]) == 'm' || lower(inside[0]) == 's')) {
                codes += lower(inside[0]) == 'm' ? 'e' : lower(inside[0]);
            }
            i = end == std::string_view::npos ? format.size() : end + 1;
        } else if (startsWith(i, "am/pm")) {   // its "m" is no month ("a/p" and "General" hold no code)
            i += 5;
        } else if (c == 'd' || c == 'm' || c == 'y' || c == 'h' || c == 's') {
            codes += c;
            while (i < format.size() && lower(format[i]) == c) ++i;
        } else {
            ++i;
        }
    }
    for (size_t k = 0; k < codes.size(); ++k) {
        if (codes[k] == 'd' || codes[k] == 'y') return true;
        const bool minutes = (k > 0 && codes[k - 1] == 'h') || (k + 1 < codes.size() && codes[k + 1] == 's');
        if (codes[k] == 'm' && !minutes) return true;
    }
    return false;
}

bool BuiltInFormatShowsDate(uint32_t id) {
    switch (id) {
    case 14: case 15: case 16: case 17: case 22:                     // every language
    case 27: case 28: case 29: case 30: case 31: case 34: case 35: case 36:   // Chinese, Japanese, Korean
    case 50: case 51: case 52: case 53: case 54: case 55: case 56: case 57: case 58:
    case 71: case 72: case 73: case 74: case 77: case 81:            // Thai
        return true;
    default:
        return false;
    }
}

double From1904(double serial) {
    constexpr double kLastSerial = 2958466;   // 1 January 10000
    if (!(serial >= 0) || serial + k1904Days >= kLastSerial) return serial;
    return serial + k1904Days;
}

namespace {
struct ErrorName {
    const char* text;
    int32_t code;
};
// The error values a cell can hold and the codes their Variants carry.
constexpr ErrorName kErrorNames[] = {
    {"#NULL!", 2000}, {"#DIV/0!", 2007}, {"#VALUE!", 2015}, {"#REF!", 2023},
    {"#NAME?", 2029}, {"#NUM!", 2036},   {"#N/A", 2042},
};
}  // namespace

int32_t ErrorCodeOfText(std::string_view text) {
    for (const auto& e : kErrorNames) {
        if (text == e.text) return e.code;
    }
    return 0;
}

std::string TextOfErrorCode(int32_t code) {
    for (const auto& e : kErrorNames) {
        if (code == e.code) return e.text;
    }
    return "#ERROR";
}

// ---------------------------------------------------------------------------
// Sheet

const Cell* Sheet::Find(int32_t row, int32_t col) const {
    if (rows_.empty() || row < firstRow_ || row > lastRow_ || col < firstCol_ || col > lastCol_) return nullptr;
    // Rows are usually consecutive from the first one: try the direct slot.
    const Row* r = nullptr;
    const size_t guess = static_cast<size_t>(row - rows_.front().number);
    if (guess < rows_.size() && rows_[guess].number == row) {
        r = &rows_[guess];
    } else {
        auto it = std::lower_bound(rows_.begin(), rows_.end(), row,
                                   [](const Row& a, int32_t n) { return a.number < n; });
        if (it == rows_.end() || it->number != row) return nullptr;
        r = &*it;
    }
    const auto& cells = r->cells;
    if (cells.empty()) return nullptr;
    const size_t cguess = static_cast<size_t>(col - cells.front().col);
    if (col >= cells.front().col && cguess < cells.size() && cells[cguess].col == col) return &cells[cguess].cell;
    auto it = std::lower_bound(cells.begin(), cells.end(), col, [](const Entry& e, int32_t c) { return e.col < c; });
    if (it == cells.end() || it->col != col) return nullptr;
    return &it->cell;
}

vb::Variant Sheet::Value(int32_t row, int32_t col) const {
    const Cell* c = Find(row, col);
    if (!c) return {};
    switch (c->kind) {
    case Cell::Number: return vb::Variant(c->number);
    case Cell::Text: return vb::Variant(strings_[c->text]);
    case Cell::Boolean: return vb::Variant(c->number != 0);
    case Cell::Error: return vb::Variant::Error(static_cast<int32_t>(c->number));
    case Cell::Empty: break;
    }
    return {};
}

uint32_t Sheet::AddString(std::string text) {
    strings_.push_back(std::move(text));
    return static_cast<uint32_t>(strings_.size() - 1);
}

Cell Sheet::DateCell(std::string_view iso) {
    Cell cell;
    double serial = 0;
    if (IsoDateToSerial(iso, serial)) {
        cell.kind = Cell::Number;
        cell.number = serial;
    } else {
        cell.kind = Cell::Text;
        cell.text = AddString(std::string(iso));
    }
    return cell;
}

void Sheet::Put(int32_t row, int32_t col, const Cell& cell) {
    if (row < 1 || row > kMaxRow || col < 1 || col > kMaxCol) Fail("cell out of the sheet's range");
    if (rows_.empty() || rows_.back().number != row) {
        size_t expected = 0;
        if (!rows_.empty()) {
            auto& previous = rows_.back();
            if (previous.number > row) sorted_ = false;
            previous.cells.shrink_to_fit();
            expected = previous.cells.size();
        }
        rows_.push_back(Row{row, {}});
        rows_.back().cells.reserve(expected);
    }
    auto& cells = rows_.back().cells;
    if (!cells.empty() && cells.back().col >= col) sorted_ = false;
    cells.push_back(Entry{col, cell});
}

void Sheet::Finish() {
    if (!sorted_) {
        // Merge rows given more than once, then order every row's cells; a
        // cell given twice keeps the value given later (stable sorts).
        std::stable_sort(rows_.begin(), rows_.end(), [](const Row& a, const Row& b) { return a.number < b.number; });
        std::vector<Row> merged;
        for (auto& r : rows_) {
            if (!merged.empty() && merged.back().number == r.number) {
                auto& into = merged.back().cells;
                into.insert(into.end(), r.cells.begin(), r.cells.end());
            } else {
                merged.push_back(std::move(r));
            }
        }
        rows_ = std::move(merged);
        for (auto& r : rows_) {
            std::stable_sort(r.cells.begin(), r.cells.end(), [](const Entry& a, const Entry& b) { return a.col < b.col; });
            std::vector<Entry> unique;
            unique.reserve(r.cells.size());
            for (const auto& e : r.cells) {
                if (!unique.empty() && unique.back().col == e.col) {
                    unique.back() = e;
                } else {
                    unique.push_back(e);
                }
            }
            r.cells = std::move(unique);
        }
        sorted_ = true;
    }
    // Empty cells take no place; rows left without cells go too.
    cellCount_ = 0;
    firstRow_ = lastRow_ = firstCol_ = lastCol_ = 0;
    size_t kept = 0;
    for (size_t i = 0; i < rows_.size(); ++i) {
        Row& r = rows_[i];
        std::erase_if(r.cells, [](const Entry& e) { return e.cell.kind == Cell::Empty; });
        if (r.cells.empty()) continue;
        r.cells.shrink_to_fit();
        if (kept == 0) {
            firstRow_ = r.number;
            firstCol_ = r.cells.front().col;
            lastCol_ = r.cells.back().col;
        }
        lastRow_ = r.number;
        firstCol_ = std::min(firstCol_, r.cells.front().col);
        lastCol_ = std::max(lastCol_, r.cells.back().col);
        cellCount_ += r.cells.size();
        if (kept != i) rows_[kept] = std::move(r);
        ++kept;
    }
    rows_.resize(kept);
    rows_.shrink_to_fit();
}

// ---------------------------------------------------------------------------
// Small parsers

bool ParseCellRef(std::string_view ref, int32_t& row, int32_t& col) {
    size_t i = 0;
    int64_t c = 0;
    while (i < ref.size() && std::isalpha(static_cast<unsigned char>(ref[i]))) {
        c = c * 26 + (std::toupper(static_cast<unsigned char>(ref[i])) - 'A' + 1);
        if (c > kMaxCol) return false;
        ++i;
    }
    if (i == 0 || i == ref.size()) return false;
    int64_t r = 0;
    for (; i < ref.size(); ++i) {
        if (ref[i] < '0' || ref[i] > '9') return false;
        r = r * 10 + (ref[i] - '0');
        if (r > kMaxRow) return false;
    }
    if (r < 1) return false;
    row = static_cast<int32_t>(r);
    col = static_cast<int32_t>(c);
    return true;
}

bool ParseXmlNumber(std::string_view text, double& value) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\n' || text.front() == '\r')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\n' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty()) return false;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value, std::chars_format::general);
    if (ec != std::errc() || ptr != end) return false;
    return std::isfinite(value);
}

namespace {
// Days from 1 March of year 0 to the date (the proleptic Gregorian calendar).
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;   // days since 1970-01-01
}
bool Digits(std::string_view s, size_t pos, size_t n, int& out) {
    if (pos + n > s.size()) return false;
    out = 0;
    for (size_t i = pos; i < pos + n; ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
        out = out * 10 + (s[i] - '0');
    }
    return true;
}
bool TimeOfDay(std::string_view s, double& fraction) {
    int h = 0, mi = 0, se = 0;
    if (!Digits(s, 0, 2, h) || s.size() < 5 || s[2] != ':' || !Digits(s, 3, 2, mi)) return false;
    double seconds = 0;
    size_t pos = 5;
    if (s.size() > 5) {
        if (s[5] != ':' || !Digits(s, 6, 2, se)) return false;
        seconds = se;
        pos = 8;
        if (pos < s.size() && s[pos] == '.') {
            double scale = 0.1;
            for (++pos; pos < s.size() && s[pos] >= '0' && s[pos] <= '9'; ++pos, scale /= 10) seconds += (s[pos] - '0') * scale;
        }
        if (pos < s.size() && s[pos] == 'Z') ++pos;
        if (pos != s.size()) return false;
    }
    if (h > 24 || mi > 59 || seconds >= 61) return false;
    fraction = (h * 3600 + mi * 60 + seconds) / 86400.0;
    return true;
}
// An ISO 8601 duration of days, hours, minutes and seconds,
// "[-]P[nD][T[nH][nM][nS]]" with a decimal fraction on the last number
// ("PT36H30M15.500S"), as the number of days it lasts: a Strict Open XML
// file holds a time or an elapsed time this way where a Transitional one
// holds that number.  Years and months have no fixed number of days and are
// no part of it.  A negative duration is the negative number, as a cell of
// a negative time holds it.  Each number may have up to 15 digits before
// its fraction (exact in a double, and no total can overflow); false for
// anything else, which is no duration.
bool DurationToDays(std::string_view s, double& days) {
    const bool negative = !s.empty() && s.front() == '-';
    if (negative) s.remove_prefix(1);
    if (s.empty() || s.front() != 'P') return false;
    s.remove_prefix(1);
    struct Unit {
        char letter;
        bool time;      // after the "T"
        double seconds;
    };
    static constexpr Unit kUnits[] = {{'D', false, 86400}, {'H', true, 3600}, {'M', true, 60}, {'S', true, 1}};
    constexpr size_t kMaxDigits = 15;
    size_t next = 0;   // the first unit that may still come, in their order
    bool inTime = false, any = false, fraction = false;
    double seconds = 0;
    while (!s.empty()) {
        if (s.front() == 'T') {
            if (inTime || s.size() == 1) return false;   // a "T" once, and a time after it
            inTime = true;
            s.remove_prefix(1);
            continue;
        }
        if (fraction) return false;   // a fraction only on the last number
        size_t digits = 0;
        while (digits < s.size() && s[digits] >= '0' && s[digits] <= '9') ++digits;
        if (digits == 0 || digits > kMaxDigits) return false;
        size_t end = digits;
        if (end < s.size() && s[end] == '.') {
            fraction = true;
            ++end;
            const size_t first = end;
            while (end < s.size() && s[end] >= '0' && s[end] <= '9') ++end;
            if (end == first) return false;
        }
        double value = 0;
        if (std::from_chars(s.data(), s.data() + end, value, std::chars_format::fixed).ptr != s.data() + end) return false;
        if (end == s.size()) return false;   // a number without its unit
        while (next < std::size(kUnits) && (kUnits[next].letter != s[end] || kUnits[next].time != inTime)) ++next;
        if (next == std::size(kUnits)) return false;   // no such unit, out of order or given twice
        seconds += value * kUnits[next++].seconds;
        any = true;
        s.remove_prefix(end + 1);
    }
    if (!any) return false;
    days = seconds / 86400;
    if (negative && days != 0) days = -days;
    return true;
}
}  // namespace

bool IsoDateToSerial(std::string_view text, double& serial) {
    int y = 0, m = 0, d = 0;
    if (text.size() >= 10 && Digits(text, 0, 4, y) && text[4] == '-' && Digits(text, 5, 2, m) && text[7] == '-' &&
        Digits(text, 8, 2, d)) {
        if (m < 1 || m > 12 || d < 1 || d > 31) return false;
        // Day 0 is 30 December 1899; the serials of 31 December 1899 to 28
        // February 1900 are one lower, as the file format counts a 29
        // February 1900: 31 December 1899 is 0 too (the "0 January 1900"
        // the spreadsheet writes for day 0), and 1 March 1900 is 61.  Days
        // before day 0, which no serial of the spreadsheet names, count
        // back from it.
        double days = static_cast<double>(DaysFromCivil(y, m, d) - DaysFromCivil(1899, 12, 30));
        if (days >= 1 && days < 61) days -= 1;
        double fraction = 0;
        if (text.size() > 10) {
            if ((text[10] != 'T' && text[10] != ' ') || !TimeOfDay(text.substr(11), fraction)) return false;
        }
        serial = days + fraction;
        return true;
    }
    double fraction = 0;
    if (TimeOfDay(text, fraction)) {
        serial = fraction;
        return true;
    }
    return DurationToDays(text, serial);
}

int OpenPlainFile(const std::string& path, uint64_t* size) {
    // Opened without waiting, and read only when it is a plain file: a pipe
    // or a device would hold the reader (and the program serving a caller)
    // until someone else writes to it, or for ever.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) Fail("Cannot open \"" + path + "\": " + std::strerror(errno));
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        Fail("Cannot open \"" + path + "\": not a file");
    }
    if (size) *size = static_cast<uint64_t>(info.st_size);
    return fd;
}

std::shared_ptr<Workbook> ReadWorkbook(const std::string& path, const ReadLimits& limits) {
    const int fd = OpenPlainFile(path);
    unsigned char head[8] = {};
    const ssize_t read = ::read(fd, head, sizeof head);
    ::close(fd);
    const size_t got = read > 0 ? static_cast<size_t>(read) : 0;
    static const unsigned char kCompound[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    if (got == sizeof head && std::memcmp(head, kCompound, sizeof head) == 0) return ReadXls(path, limits);
    // A bare record stream (a BOF record first, no compound file around
    // it): a BIFF5 or BIFF8 workbook stream saved as the file itself, which
    // the .xls reader reads, or one of Excel 2.x to 4.0, whose format it
    // names.
    if (got == sizeof head && head[0] == 0x09 && (head[1] == 0x00 || head[1] == 0x02 || head[1] == 0x04 || head[1] == 0x08)) {
        return ReadXls(path, limits);
    }
    return ReadXlsxFile(path, limits);
}

}  // namespace sheet
