// Builders of .xls workbooks in memory for the reader's tests: BIFF5 and
// BIFF8 record streams, and the compound file that holds them.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/runtime/conversions.h"
#include "platform/sheet/workbook.h"

namespace xls_test {

inline std::string Data(const std::string& name) { return std::string(SEWER_TEST_DATA) + "/sheet/" + name; }

inline std::string Show(const vb::Variant& v) {
    if (v.Type() == vb::vbError) return "Error:" + std::to_string(v.RawError());
    return vb::TypeName(v) + ":" + (v.IsEmpty() ? "" : vb::CStr(v));
}

inline double Number(const sheet::Sheet& s, int32_t row, int32_t col) {
    const sheet::Cell* c = s.Find(row, col);
    return c && c->kind == sheet::Cell::Number ? c->number : std::nan("");
}

// --- Building files --------------------------------------------------------------

using Bytes = std::string;

inline void Put16(Bytes& b, size_t at, uint16_t v) {
    b[at] = static_cast<char>(v & 0xFF);
    b[at + 1] = static_cast<char>(v >> 8);
}
inline void Put32(Bytes& b, size_t at, uint32_t v) {
    Put16(b, at, static_cast<uint16_t>(v));
    Put16(b, at + 2, static_cast<uint16_t>(v >> 16));
}
inline Bytes U16(uint16_t v) {
    Bytes b(2, '\0');
    Put16(b, 0, v);
    return b;
}
inline Bytes U32(uint32_t v) {
    Bytes b(4, '\0');
    Put32(b, 0, v);
    return b;
}
inline Bytes F64(double v) {
    Bytes b(8, '\0');
    std::memcpy(b.data(), &v, 8);
    return b;
}

inline Bytes Record(uint16_t type, const Bytes& data) { return U16(type) + U16(static_cast<uint16_t>(data.size())) + data; }
inline Bytes Cell(uint16_t type, uint16_t row, uint16_t col, const Bytes& value) {
    return Record(type, U16(row) + U16(col) + U16(15) + value);
}
// A text as the format stores it: one byte a character when every
// character fits one, two otherwise.
inline Bytes Chars(const std::u16string& text, bool& wide) {
    wide = false;
    for (char16_t c : text) wide = wide || c > 0xFF;
    Bytes b;
    for (char16_t c : text) b += wide ? U16(c) : Bytes(1, static_cast<char>(c));
    return b;
}

// A BIFF8 workbook stream: the globals (BOF, whatever `globals` adds, one
// BOUNDSHEET a sheet, the string table, EOF), then each sheet's records
// between BOF and EOF.  The stream is padded to `minimum` bytes with a
// record no reader knows, in the globals.
struct Biff {
    std::vector<std::u16string> strings;
    std::vector<std::pair<std::u16string, Bytes>> sheets;   // name, cell records
    Bytes globals;
    size_t minimum = 4096;

    Bytes Build() const {
        Bytes sst = U32(static_cast<uint32_t>(strings.size())) + U32(static_cast<uint32_t>(strings.size()));
        for (const auto& s : strings) {
            bool wide = false;
            const Bytes chars = Chars(s, wide);
            sst += U16(static_cast<uint16_t>(s.size())) + Bytes(1, wide ? 1 : 0) + chars;
        }
        auto assemble = [&](size_t padding) {
            Bytes head = Record(0x0809, U16(0x0600) + U16(0x0005) + Bytes(12, '\0')) + globals;
            if (padding > 0) head += Record(0x1234, Bytes(padding, 'p'));
            size_t boundSheets = 0;
            for (const auto& [name, cells] : sheets) boundSheets += 4 + 8 + name.size();
            const Bytes tail = Record(0x00FC, sst) + Record(0x000A, "");
            size_t offset = head.size() + boundSheets + tail.size();
            Bytes body;
            for (const auto& [name, cells] : sheets) {
                bool wide = false;
                const Bytes chars = Chars(name, wide);
                head += Record(0x0085, U32(static_cast<uint32_t>(offset)) + Bytes(1, 0) + Bytes(1, 0) +
                                           Bytes(1, static_cast<char>(name.size())) + Bytes(1, 0) + chars);
                const Bytes records = Record(0x0809, U16(0x0600) + U16(0x0010) + Bytes(12, '\0')) + cells + Record(0x000A, "");
                body += records;
                offset += records.size();
            }
            return head + tail + body;
        };
        Bytes stream = assemble(0);
        if (stream.size() < minimum) stream = assemble(std::max<size_t>(minimum - stream.size(), 4) - 4);
        return stream;
    }
};

inline constexpr uint32_t kEnd = 0xFFFFFFFE, kFree = 0xFFFFFFFF, kFatSector = 0xFFFFFFFD;

// A version-3 compound file (512-byte sectors) holding one stream named
// `name`: in sectors of its own when it has 4096 bytes or more, in the mini
// stream otherwise.  Sectors: the allocation table first, then the
// directory, then the stream (or the mini stream and its table).
struct Compound {
    Bytes file;
    uint32_t fatSectors = 0, directory = 0, firstStream = 0, streamSectors = 0;

    static size_t Sectors(size_t bytes) { return (bytes + 511) / 512; }
    size_t SectorAt(uint32_t s) const { return (static_cast<size_t>(s) + 1) * 512; }
    uint32_t Fat(uint32_t s) const {
        uint32_t v;
        std::memcpy(&v, &file[SectorAt(s / 128) + 4 * (s % 128)], 4);
        return v;
    }
    void SetFat(uint32_t s, uint32_t v) { Put32(file, SectorAt(s / 128) + 4 * (s % 128), v); }
    size_t EntryAt(uint32_t i) const { return SectorAt(directory) + 128 * i; }
    size_t StreamAt() const { return SectorAt(firstStream); }

    explicit Compound(const Bytes& stream, const std::u16string& name = u"Workbook") {
        const bool mini = stream.size() < 4096;
        const size_t payload = mini ? Sectors((stream.size() + 63) / 64 * 64) + 1 : Sectors(stream.size());
        size_t f = 1;
        while (f * 128 < f + 1 + payload) ++f;
        fatSectors = static_cast<uint32_t>(f);
        directory = fatSectors;
        firstStream = directory + 1;
        streamSectors = static_cast<uint32_t>(mini ? payload - 1 : payload);
        const uint32_t total = static_cast<uint32_t>(f + 1 + payload);
        file.assign(512 * (1 + total), '\0');
        // Header.
        const unsigned char signature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
        std::memcpy(file.data(), signature, 8);
        Put16(file, 24, 0x3E);
        Put16(file, 26, 3);
        Put16(file, 28, 0xFFFE);
        Put16(file, 30, 9);
        Put16(file, 32, 6);
        Put32(file, 44, fatSectors);
        Put32(file, 48, directory);
        Put32(file, 56, 4096);
        Put32(file, 60, mini ? total - 1 : kEnd);
        Put32(file, 64, mini ? 1 : 0);
        Put32(file, 68, kEnd);
        for (uint32_t i = 0; i < 109; ++i) Put32(file, 76 + 4 * i, i < f ? i : kFree);
        // Allocation table.
        for (uint32_t s = 0; s < f * 128; ++s) SetFat(s, kFree);
        for (uint32_t s = 0; s < f; ++s) SetFat(s, kFatSector);
        SetFat(directory, kEnd);
        for (uint32_t i = 0; i < streamSectors; ++i) SetFat(firstStream + i, i + 1 < streamSectors ? firstStream + i + 1 : kEnd);
        // Directory: the root, the stream, two unused entries.
        auto entry = [&](uint32_t i, const std::u16string& n, uint8_t type, uint32_t child, uint32_t start, uint32_t size) {
            const size_t at = EntryAt(i);
            for (size_t k = 0; k < n.size(); ++k) Put16(file, at + 2 * k, n[k]);
            Put16(file, at + 64, static_cast<uint16_t>(n.empty() ? 0 : 2 * (n.size() + 1)));
            file[at + 66] = static_cast<char>(type);
            Put32(file, at + 68, kFree);
            Put32(file, at + 72, kFree);
            Put32(file, at + 76, child);
            Put32(file, at + 116, start);
            Put32(file, at + 120, size);
        };
        const uint32_t miniBytes = static_cast<uint32_t>((stream.size() + 63) / 64 * 64);
        entry(0, u"Root Entry", 5, 1, mini ? firstStream : kEnd, mini ? miniBytes : 0);
        entry(1, name, 2, kFree, mini ? 0 : firstStream, static_cast<uint32_t>(stream.size()));
        entry(2, u"", 0, kFree, 0, 0);
        entry(3, u"", 0, kFree, 0, 0);
        std::memcpy(&file[StreamAt()], stream.data(), stream.size());
        if (mini) {
            SetFat(total - 1, kEnd);
            const uint32_t miniSectors = miniBytes / 64;
            for (uint32_t m = 0; m < 128; ++m) {
                Put32(file, SectorAt(total - 1) + 4 * m, m < miniSectors ? (m + 1 < miniSectors ? m + 1 : kEnd) : kFree);
            }
        }
    }
};

inline std::shared_ptr<sheet::Workbook> Read(const Bytes& file, size_t memory = sheet::kMaxValueMemory) {
    sheet::ReadLimits limits;
    limits.valueMemory = memory;
    return sheet::ReadXlsBytes(file.data(), file.size(), "built.xls", limits);
}

// The error a read gives, "" when it reads.
inline std::string ErrorOf(const Bytes& file, size_t memory = sheet::kMaxValueMemory) {
    try {
        Read(file, memory);
        return "";
    } catch (const vb::VbError& e) {
        EXPECT_EQ(e.Number(), sheet::kErrWorkbook);
        return e.Description().empty() ? "(no description)" : e.Description();
    }
}

// A sheet "Net" of a text, a shared string, numbers in each record, and a
// sheet "Two" after it.
inline Biff SmallBook() {
    Biff b;
    b.strings = {u"MH1", u"Straße 水"};
    b.sheets.push_back({u"Net", Cell(0x00FD, 0, 0, U32(1)) + Cell(0x0203, 0, 1, F64(102.5)) +
                                   Cell(0x027E, 1, 0, U32(300 << 2 | 2 | 1)) +
                                   Record(0x00BD, U16(2) + U16(3) + U16(15) + U32(7 << 2 | 2) + U16(15) + U32(8 << 2 | 2) + U16(4)) +
                                   Cell(0x00FD, 3, 255, U32(0))});
    b.sheets.push_back({u"Two", Cell(0x0203, 0, 0, F64(2))});
    return b;
}

// A BIFF5 workbook stream: the globals (BOF, `globals`, one BOUNDSHEET a
// sheet, EOF), then each sheet's records between BOF and EOF.  Names and
// texts are bytes in the workbook's code page.
inline Bytes Biff5(const Bytes& globals, const std::vector<std::pair<Bytes, Bytes>>& sheets) {
    Bytes head = Record(0x0809, U16(0x0500) + U16(0x0005) + U32(0)) + globals;
    size_t offset = head.size() + 4;
    for (const auto& [name, cells] : sheets) offset += 4 + 7 + name.size();
    Bytes body;
    for (const auto& [name, cells] : sheets) {
        head += Record(0x0085, U32(static_cast<uint32_t>(offset)) + Bytes(2, '\0') + Bytes(1, static_cast<char>(name.size())) + name);
        const Bytes records = Record(0x0809, U16(0x0500) + U16(0x0010) + U32(0)) + cells + Record(0x000A, "");
        body += records;
        offset += records.size();
    }
    return head + Record(0x000A, "") + body;
}
// A BIFF5 text of a 16-bit length.
inline Bytes Text8(const Bytes& bytes) { return U16(static_cast<uint16_t>(bytes.size())) + bytes; }

// --- Tests -----------------------------------------------------------------------

}  // namespace xls_test
