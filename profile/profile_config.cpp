#include "profile/profile_config.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "platform/runtime/app.h"
#include "platform/runtime/conversions.h"
#include "platform/runtime/files.h"
#include "platform/runtime/vberror.h"
#include "platform/ui/ui.h"

// ---------------------------------------------------------------------------
// Fixed text fields

namespace {

// UTF-8 to Latin-1 codes; characters beyond Latin-1 become "?".
std::string ToLatin1(std::string_view utf8) {
    std::string out;
    for (size_t i = 0; i < utf8.size();) {
        unsigned char c = static_cast<unsigned char>(utf8[i]);
        unsigned cp = c;
        size_t len = 1;
        if (c >= 0xC0 && c < 0xE0 && i + 1 < utf8.size()) {
            cp = ((c & 0x1Fu) << 6) | (static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu);
            len = 2;
        } else if (c >= 0xE0 && c < 0xF0) {
            cp = 0x100;
            len = 3;
        } else if (c >= 0xF0) {
            cp = 0x100;
            len = 4;
        } else if (c >= 0x80) {
            cp = 0x100;   // a stray continuation byte
        }
        out.push_back(cp <= 0xFF ? static_cast<char>(cp) : '?');
        i += len;
    }
    return out;
}

std::string FromLatin1(const char* bytes, size_t n) {
    std::string out;
    for (size_t i = 0; i < n; ++i) {
        unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

}  // namespace

template <size_t N>
void FixedText<N>::Assign(std::string_view utf8) {
    const std::string codes = ToLatin1(utf8);
    for (size_t i = 0; i < N; ++i) bytes[i] = i < codes.size() ? codes[i] : ' ';
}

template <size_t N>
std::string FixedText<N>::Text() const {
    return FromLatin1(bytes.data(), N);
}

template <size_t N>
std::string FixedText<N>::Trimmed() const {
    return vb::Trim(Text());
}

template struct FixedText<20>;
template struct FixedText<7>;
template struct FixedText<1>;

// ---------------------------------------------------------------------------
// Records

namespace {

void PutI16(uint8_t* p, int16_t v) {
    uint16_t u = static_cast<uint16_t>(v);
    p[0] = static_cast<uint8_t>(u & 0xFF);
    p[1] = static_cast<uint8_t>(u >> 8);
}

int16_t GetI16(const uint8_t* p) {
    return static_cast<int16_t>(static_cast<uint16_t>(p[0] | (p[1] << 8)));
}

void PutF32(uint8_t* p, float v) {
    uint32_t u;
    std::memcpy(&u, &v, 4);
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(u >> (8 * i));
}

float GetF32(const uint8_t* p) {
    uint32_t u = 0;
    for (int i = 0; i < 4; ++i) u |= static_cast<uint32_t>(p[i]) << (8 * i);
    float v;
    std::memcpy(&v, &u, 4);
    return v;
}

template <size_t N>
void PutText(uint8_t* p, const FixedText<N>& t) {
    std::memcpy(p, t.bytes.data(), N);
}

template <size_t N>
void GetText(const uint8_t* p, FixedText<N>& t) {
    std::memcpy(t.bytes.data(), p, N);
}

}  // namespace

std::array<uint8_t, kProfileRecordSize> EncodeProfileRecord(const ProfileRowRecord& row) {
    std::array<uint8_t, kProfileRecordSize> b{};
    PutI16(&b[0], row.Id);
    PutText(&b[2], row.Label);
    PutF32(&b[22], row.TextHeight);
    PutF32(&b[26], row.RowHeight);
    PutText(&b[30], row.Style);
    PutF32(&b[37], row.Color);
    PutText(&b[41], row.Code);
    PutF32(&b[42], row.RowHeight0);
    PutF32(&b[46], row.Hspace);
    PutF32(&b[50], row.Vspace);
    PutF32(&b[54], row.Rotation);
    PutI16(&b[58], row.Visible ? -1 : 0);
    return b;
}

void DecodeProfileRecord(const uint8_t* bytes, size_t size, ProfileRowRecord& row) {
    auto has = [size](size_t offset, size_t width) { return offset + width <= size; };
    // A number outside the range that its field can sensibly hold (a damaged
    // file) is read as a missing one: the field keeps the value it had.
    auto number = [&](size_t offset, float& field, float low, float high) {
        if (!has(offset, 4)) return;
        const float v = GetF32(bytes + offset);
        if (v >= low && v <= high) field = v;   // false for NaN too
    };
    if (has(0, 2)) row.Id = GetI16(bytes);
    if (has(2, 20)) GetText(bytes + 2, row.Label);
    number(22, row.TextHeight, 0, kProfileMaxLength);
    number(26, row.RowHeight, -kProfileMaxLength, kProfileMaxLength);
    if (has(30, 7)) GetText(bytes + 30, row.Style);
    number(37, row.Color, -32768, 32767);   // a colour index is a 16-bit integer
    if (has(41, 1)) GetText(bytes + 41, row.Code);
    number(42, row.RowHeight0, -kProfileMaxLength, kProfileMaxLength);
    number(46, row.Hspace, -kProfileMaxLength, kProfileMaxLength);
    number(50, row.Vspace, -kProfileMaxLength, kProfileMaxLength);
    number(54, row.Rotation, -360, 360);
    if (has(58, 2)) row.Visible = GetI16(bytes + 58) != 0;
}

// ---------------------------------------------------------------------------
// Default rows

std::vector<ProfileRowRecord> DefaultProfileRows(const std::vector<ProfileRowRecord>& keepIds) {
    struct Row {
        const char* label;   // nullptr: "Item" & the row number
        float rowHeight;
        float color;
        const char* code;    // nullptr: never assigned
        float rowHeight0;
        float hspace;
        float rotation;
        bool visible;
    };
    static const Row kRows[kProfileRowCount] = {
        {nullptr, 0, 8, nullptr, 120, 0, 0, true},
        {"Staition/Manhole", 1, 3, nullptr, 0, 0, 0, true},
        {"Ground Elevation", 2, 3, nullptr, 2, 4, 90, true},
        {"Invert Elevation", 2, 3, nullptr, 2, 4, 90, true},
        {"Distance", 1, 3, "M", 1, 0, 0, true},
        {"KM", 2, 3, nullptr, 0, 0, 90, true},
        {"Diameter", 1, 3, "M", 1, 0, 0, true},
        {"Slope", 1, 3, "M", 1, 0, 0, false},
        {"Lateral", 1, 3, "M", 0, 0, 0, false},
        {"Depth", 1, 3, "0", 1, 4, 90, false},
        {"Gr.Slope", 1, 3, "M", 0, 0, 0, false},
        {"Cover", 1, 3, "0", 0, 0, 90, false},
        {"Drop", 1, 3, "0", 1, 0.2f, 90, false},
        {"Qdesign", 0, 3, nullptr, 0, 0.2f, 0, false},
        {"Vdesign", 0, 3, nullptr, 0, 0.2f, 0, false},
        {"Qmax1", 0, 3, nullptr, 0, 0.2f, 0, false},
        {"Vmax1 ", 0, 3, nullptr, 0, 0.2f, 0, false},
        {"Line#", 0, 3, nullptr, 0, 0, 0, false},
        {nullptr, 0, 3, nullptr, 0, 0, 0, false},
        {nullptr, 0, 3, nullptr, 0, 0, 0, false},
        {nullptr, 0, 3, nullptr, 0, 0, 0, false},
        {"Base line", 0, 46, nullptr, 0, 0, 0, true},
        {"GR.line", 0, 2, nullptr, 0, 0, 0, true},
        {"Axline", 0, 50, nullptr, 0, 0, 0, true},
        {"project line", 0, 4, nullptr, 0, 0, 0, true},
    };
    std::vector<ProfileRowRecord> rows(kProfileRowCount);
    for (int r = 0; r < kProfileRowCount; ++r) {
        const Row& d = kRows[r];
        ProfileRowRecord& row = rows[r];
        if (r < static_cast<int>(keepIds.size())) row.Id = keepIds[r].Id;
        row.Label = d.label ? std::string(d.label) : "Item" + std::to_string(r);
        row.RowHeight = d.rowHeight;
        row.Color = d.color;
        if (d.code) row.Code = d.code;
        row.RowHeight0 = d.rowHeight0;
        row.Hspace = d.hspace;
        row.Rotation = d.rotation;
        row.Visible = d.visible;
        if (r < kProfileStoredRows) {
            // The stored rows share the text size, style and spacing.
            row.TextHeight = 3;
            row.Style = "ROMANS";
            row.Vspace = 0.25f;
        }
    }
    return rows;
}

// ---------------------------------------------------------------------------
// The file

void WriteProfileConfig() {
    try {
        // Rows 0 to 20 go into slots 1 to 21; the rest of each slot and
        // everything after slot 21 keep what the file held.
        vb::RecordFile file(ProfileConfigPath, kProfileSlotSize);
        for (int r = 0; r < kProfileStoredRows && r < static_cast<int>(ProfileRowTable.size()); ++r) {
            const auto record = EncodeProfileRecord(ProfileRowTable[r]);
            file.Put(r + 1, std::vector<uint8_t>(record.begin(), record.end()));
        }
        file.Close();
    } catch (const vb::VbError& e) {
        if (e.Number() == 75) throw;
        // 75: "Path/File access error", with what went wrong.
        throw vb::VbError(75, vb::StandardErrorDescription(75) + " (" + e.Description() + ")");
    }
}

void LoadProfileConfig() {
    if (ProfileConfigPath.empty()) ProfileConfigPath = vb::App::FilePath("zefprof.cfg");
    if (ProfileRowTable.size() < static_cast<size_t>(kProfileRowCount)) {
        ProfileRowTable.resize(kProfileRowCount);
    }

    // Start from the defaults, so that whatever the file does not hold, or
    // holds damaged, has a sound value rather than zeros.
    std::vector<ProfileRowRecord> rows = DefaultProfileRows(ProfileRowTable);

    std::error_code ec;
    const bool exists = std::filesystem::exists(ProfileConfigPath, ec) || ec;
    if (exists) {
        // A file that is there but cannot be read keeps the defaults and is
        // left alone.  Only the slots of rows 0 to 24 are read: what lies
        // beyond them is ignored and left in the file.
        const std::vector<uint8_t> data =
            vb::ReadFileBytesUpTo(ProfileConfigPath, kProfileFileBytes).value_or(std::vector<uint8_t>());
        for (int r = 0; r < kProfileRowCount; ++r) {
            const size_t start = static_cast<size_t>(r) * kProfileSlotSize;
            if (start >= data.size()) break;
            const size_t available = std::min(kProfileRecordSize, data.size() - start);
            DecodeProfileRecord(data.data() + start, available, rows[r]);
        }
        std::copy(rows.begin(), rows.end(), ProfileRowTable.begin());
        return;
    }

    std::copy(rows.begin(), rows.end(), ProfileRowTable.begin());
    try {
        WriteProfileConfig();
    } catch (const vb::VbError&) {
        // A folder that cannot be written keeps the rows in memory only.
    }
}

// ---------------------------------------------------------------------------
// Row moves

int FindProfileRow(std::string_view itemText) {
    const std::string wanted = vb::Trim(itemText);
    for (int r = 1; r <= 20 && r < static_cast<int>(ProfileRowTable.size()); ++r) {
        if (ProfileRowTable[r].Label.Trimmed() == wanted) return r;
    }
    return 0;
}

int FindProfileRow(std::string_view itemText, bool visible) {
    const std::string wanted = vb::Trim(itemText);
    for (int r = 1; r <= 20 && r < static_cast<int>(ProfileRowTable.size()); ++r) {
        const ProfileRowRecord& row = ProfileRowTable[r];
        if (row.Visible == visible && row.Label.Trimmed() == wanted) return r;
    }
    return 0;
}

bool ExchangeProfileRows(std::string_view movedText, std::string_view otherText) {
    const int a = FindProfileRow(movedText, true);
    const int b = FindProfileRow(otherText, true);
    if (a == 0 || b == 0) return false;
    ProfileRowTable[0] = ProfileRowTable[a];
    ProfileRowTable[a] = ProfileRowTable[b];
    ProfileRowTable[b] = ProfileRowTable[0];
    return true;
}

std::vector<std::string> ProfileRowLabelList(bool visible) {
    std::vector<std::string> labels;
    for (int r = 1; r <= 20 && r < static_cast<int>(ProfileRowTable.size()); ++r) {
        if (ProfileRowTable[r].Visible == visible) labels.push_back(ProfileRowTable[r].Label.Text());
    }
    return labels;
}
