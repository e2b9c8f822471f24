#include "platform/sheet/cfb_reader.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "platform/sheet/workbook.h"
#include "platform/sheet/xls_text.h"

namespace sheet::cfb {
namespace {

// Sector numbers at and above this one are markers, not sectors.
constexpr uint32_t kMaxRegularSector = 0xFFFFFFFA;
constexpr uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr uint32_t kNoEntry = 0xFFFFFFFF;
constexpr uint32_t kHeaderSize = 512;
constexpr uint32_t kEntrySize = 128;
constexpr uint32_t kMiniSectorSize = 64;
constexpr uint32_t kHeaderDifat = 109;
// A chain's length when it is read to its end.
constexpr uint64_t kWholeChain = ~uint64_t(0);

uint16_t U16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t U32(const unsigned char* p) { return U16(p) | static_cast<uint32_t>(U16(p + 2)) << 16; }

std::string Quoted(const std::string& name) { return "\"" + name + "\""; }

}  // namespace

bool MemorySource::Read(uint64_t offset, void* into, size_t n) const {
    if (offset > size_ || n > size_ - offset) return false;
    if (n == 0) return true;
    std::memcpy(into, data_ + offset, n);
    return true;
}

FileSource::~FileSource() { ::close(fd_); }

bool FileSource::Read(uint64_t offset, void* into, size_t n) const {
    auto* out = static_cast<char*>(into);
    while (n > 0) {
        const ssize_t got = ::pread(fd_, out, n, static_cast<off_t>(offset));
        if (got <= 0) return false;
        out += got;
        offset += static_cast<uint64_t>(got);
        n -= static_cast<size_t>(got);
    }
    return true;
}

namespace {
// No file is read of more than the .xlsx reader may inflate from one: the
// allocation table of a compound file read whole stays within 1/128 of that.
void RefuseLarger(const Source& source, const std::string& label) {
    if (source.Size() > kMaxPackageBytes) sheet::Fail(label + ": the file is larger than the limit of " + Megabytes(kMaxPackageBytes));
}
}  // namespace

// ---------------------------------------------------------------------------
// Stream

Stream::Stream(const Source& source, std::string name, std::string label)
    : whole_(&source), label_(std::move(label)), name_(std::move(name)), size_(source.Size()) {
    RefuseLarger(source, label_);
}

void Stream::Read(uint64_t offset, void* into, size_t n) const {
    if (whole_) {
        // The file may have changed since its size was taken.
        if (offset > size_ || n > size_ - offset || !whole_->Read(offset, into, n)) {
            sheet::Fail(label_ + ": the file cannot be read at byte " + std::to_string(offset) + " (it is " +
                        std::to_string(size_) + " bytes long)");
        }
        return;
    }
    if (offset > size_ || n > size_ - offset) file_->Fail("read past the end of stream " + Quoted(name_));
    auto* out = static_cast<char*>(into);
    if (n == 0) return;
    if (sectors_.empty()) {
        std::memcpy(out, bytes_.data() + offset, n);
        return;
    }
    while (n > 0) {
        size_t index = static_cast<size_t>(offset / sectorSize_);
        const uint32_t within = static_cast<uint32_t>(offset % sectorSize_);
        // Sectors that follow each other in the file are read at once.
        size_t run = sectorSize_ - within;
        while (run < n && index + 1 < sectors_.size() && sectors_[index + 1] == sectors_[index] + 1) {
            ++index;
            run += sectorSize_;
        }
        const size_t chunk = std::min(n, run);
        const size_t first = static_cast<size_t>(offset / sectorSize_);
        file_->ReadSector(sectors_[first], within, out, chunk);
        out += chunk;
        offset += chunk;
        n -= chunk;
    }
}

// ---------------------------------------------------------------------------
// CompoundFile

CompoundFile::CompoundFile(const Source& source, std::string label) : source_(source), label_(std::move(label)) {
    ReadHeader();
    ReadFat();
    ReadDirectory();
}

void CompoundFile::Fail(const std::string& what) const { sheet::Fail(label_ + ": " + what); }

void CompoundFile::ReadHeader() {
    unsigned char h[kHeaderSize];
    RefuseLarger(source_, label_);
    if (source_.Size() < kHeaderSize || !source_.Read(0, h, kHeaderSize)) {
        Fail("not an .xls file (shorter than the 512-byte header of a compound file)");
    }
    static const unsigned char kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    if (std::memcmp(h, kSignature, sizeof kSignature) != 0) Fail("not an .xls file (no compound-file signature)");
    if (U16(h + 28) != 0xFFFE) Fail("damaged file header (no byte-order mark)");
    const uint16_t version = U16(h + 26);
    sectorShift_ = U16(h + 30);
    if (!((version == 3 && sectorShift_ == 9) || (version == 4 && sectorShift_ == 12))) {
        Fail("damaged file header (version " + std::to_string(version) + " with sectors of 2^" +
             std::to_string(sectorShift_) + " bytes)");
    }
    if (U16(h + 32) != 6) Fail("damaged file header (mini sectors of 2^" + std::to_string(U16(h + 32)) + " bytes)");
    sectorSize_ = 1u << sectorShift_;
    // Sector n begins at byte (n + 1) * sectorSize; a last sector cut short
    // counts, and a read from its missing part fails.
    const uint64_t body = source_.Size() > sectorSize_ ? source_.Size() - sectorSize_ : 0;
    sectorCount_ = static_cast<uint32_t>(std::min<uint64_t>((body + sectorSize_ - 1) / sectorSize_, kMaxRegularSector));
    fatSectors_ = U32(h + 44);
    firstDirectory_ = U32(h + 48);
    miniCutoff_ = U32(h + 56);
    firstMiniFat_ = U32(h + 60);
    miniFatSectors_ = U32(h + 64);
    firstDifat_ = U32(h + 68);
    difatSectors_ = U32(h + 72);
    for (uint32_t i = 0; i < kHeaderDifat; ++i) headerDifat_[i] = U32(h + 76 + 4 * i);
    if (miniCutoff_ != 4096) Fail("damaged file header (mini-stream cutoff of " + std::to_string(miniCutoff_) + " bytes)");
    if (fatSectors_ > sectorCount_) {
        Fail("damaged file header (" + std::to_string(fatSectors_) + " allocation-table sectors in a file of " +
             std::to_string(sectorCount_) + " sectors)");
    }
}

void CompoundFile::ReadSector(uint32_t sector, uint32_t offset, void* into, size_t n) const {
    const uint64_t at = (static_cast<uint64_t>(sector) + 1) * sectorSize_ + offset;
    if (!source_.Read(at, into, n)) {
        Fail("the file is truncated (it ends inside sector " + std::to_string(source_.Size() / sectorSize_ - 1) + ")");
    }
}

std::vector<uint32_t> CompoundFile::Chain(const std::vector<uint32_t>& table, uint32_t start, uint32_t count,
                                          uint64_t limit, const std::string& what, const char* unit) const {
    std::vector<uint32_t> out;
    std::vector<bool> seen(std::min<size_t>(count, table.size()));
    const std::string chain = std::string("the file's ") + unit + " chain of " + what;
    uint32_t s = start;
    while (s != kEndOfChain && out.size() < limit) {
        const std::string after = out.empty() ? "at its start" : "after " + std::string(unit) + " " + std::to_string(out.back());
        if (s >= kMaxRegularSector) Fail(chain + " is broken " + after + " (it leads to an unused " + unit + ")");
        if (s >= count) {
            Fail(chain + " names " + unit + " " + std::to_string(s) + " " + after + ", beyond the file's " +
                 std::to_string(count) + " " + unit + "s");
        }
        if (s >= table.size()) {
            Fail(chain + " reaches " + unit + " " + std::to_string(s) + ", which the allocation table does not cover");
        }
        if (seen[s]) Fail(chain + " loops at " + unit + " " + std::to_string(s));
        seen[s] = true;
        out.push_back(s);
        s = table[s];
    }
    return out;
}

void CompoundFile::ReadFat() {
    // The sectors of the allocation table: the header lists the first 109,
    // a chain of DIFAT sectors the rest.
    std::vector<uint32_t> fatSectors;
    fatSectors.reserve(fatSectors_);
    for (uint32_t i = 0; i < kHeaderDifat && fatSectors.size() < fatSectors_; ++i) fatSectors.push_back(headerDifat_[i]);
    const uint32_t perDifat = sectorSize_ / 4 - 1;
    std::vector<bool> seen;
    std::vector<unsigned char> buffer(sectorSize_);
    uint32_t d = firstDifat_;
    uint32_t difatRead = 0;
    while (fatSectors.size() < fatSectors_) {
        if (d >= sectorCount_ || difatRead >= difatSectors_) {
            Fail("the file's allocation table is listed for " + std::to_string(fatSectors.size()) + " of its " +
                 std::to_string(fatSectors_) + " sectors only");
        }
        if (seen.empty()) seen.resize(sectorCount_);
        if (seen[d]) Fail("the file's list of allocation-table sectors loops at sector " + std::to_string(d));
        seen[d] = true;
        ++difatRead;
        ReadSector(d, 0, buffer.data(), sectorSize_);
        for (uint32_t i = 0; i < perDifat && fatSectors.size() < fatSectors_; ++i) fatSectors.push_back(U32(&buffer[4 * i]));
        d = U32(&buffer[4 * perDifat]);
    }
    fat_.resize(static_cast<size_t>(fatSectors_) * (sectorSize_ / 4));
    for (size_t i = 0; i < fatSectors.size(); ++i) {
        if (fatSectors[i] >= sectorCount_) {
            Fail("the file's allocation table names sector " + std::to_string(fatSectors[i]) + ", beyond the file's " +
                 std::to_string(sectorCount_) + " sectors");
        }
        ReadSector(fatSectors[i], 0, buffer.data(), sectorSize_);
        for (uint32_t k = 0; k < sectorSize_ / 4; ++k) fat_[i * (sectorSize_ / 4) + k] = U32(&buffer[4 * k]);
    }
}

void CompoundFile::ReadDirectory() {
    const auto sectors = Chain(fat_, firstDirectory_, sectorCount_, kWholeChain, "the directory", "sector");
    std::vector<unsigned char> buffer(sectorSize_);
    for (uint32_t s : sectors) {
        ReadSector(s, 0, buffer.data(), sectorSize_);
        for (uint32_t at = 0; at + kEntrySize <= sectorSize_; at += kEntrySize) {
            const unsigned char* p = &buffer[at];
            Entry e;
            const uint16_t nameBytes = std::min<uint16_t>(U16(p + 64), 64);
            std::vector<uint16_t> units;
            for (uint16_t i = 0; i + 1 < nameBytes; i += 2) {
                if (U16(p + i) == 0) break;
                units.push_back(U16(p + i));
            }
            AppendUtf16(e.name, units.data(), units.size());
            e.type = p[66];
            e.left = U32(p + 68);
            e.right = U32(p + 72);
            e.child = U32(p + 76);
            e.start = U32(p + 116);
            e.size = U32(p + 120);
            // Version 3 files may leave garbage in the size's high half.
            if (sectorShift_ == 12) e.size |= static_cast<uint64_t>(U32(p + 124)) << 32;
            entries_.push_back(std::move(e));
        }
    }
    if (entries_.empty() || entries_[0].type != 5) Fail("the file's directory has no root entry");
    if (miniFatSectors_ != 0 || firstMiniFat_ != kEndOfChain) {
        const auto mini = Chain(fat_, firstMiniFat_, sectorCount_, kWholeChain, "the mini allocation table", "sector");
        miniFat_.resize(mini.size() * (sectorSize_ / 4));
        for (size_t i = 0; i < mini.size(); ++i) {
            ReadSector(mini[i], 0, buffer.data(), sectorSize_);
            for (uint32_t k = 0; k < sectorSize_ / 4; ++k) miniFat_[i * (sectorSize_ / 4) + k] = U32(&buffer[4 * k]);
        }
    }
}

std::string CompoundFile::ReadMini(const Entry& e) const {
    const Entry& root = entries_[0];
    const std::string what = "stream " + Quoted(e.name);
    if (root.size > static_cast<uint64_t>(sectorCount_) * sectorSize_) {
        Fail("the file's mini stream is " + std::to_string(root.size) + " bytes, more than the file holds");
    }
    const uint64_t containerSectors = (root.size + sectorSize_ - 1) / sectorSize_;
    const auto container = Chain(fat_, root.start, sectorCount_, containerSectors, "the mini stream", "sector");
    if (container.size() < containerSectors) {
        Fail("the file's sector chain of the mini stream ends after " + std::to_string(container.size()) +
             " sectors, short of its " + std::to_string(root.size) + " bytes");
    }
    const uint32_t miniCount = static_cast<uint32_t>(root.size / kMiniSectorSize);
    const uint64_t needed = (e.size + kMiniSectorSize - 1) / kMiniSectorSize;
    const auto chain = Chain(miniFat_, e.start, miniCount, needed, what, "mini sector");
    if (chain.size() < needed) {
        Fail("the file's mini sector chain of " + what + " ends after " + std::to_string(chain.size()) +
             " mini sectors, short of its " + std::to_string(e.size) + " bytes");
    }
    std::string bytes(static_cast<size_t>(e.size), '\0');
    for (size_t i = 0; i < chain.size(); ++i) {
        const uint64_t at = static_cast<uint64_t>(chain[i]) * kMiniSectorSize;
        const size_t n = std::min<size_t>(kMiniSectorSize, bytes.size() - i * kMiniSectorSize);
        ReadSector(container[static_cast<size_t>(at / sectorSize_)], static_cast<uint32_t>(at % sectorSize_),
                   &bytes[i * kMiniSectorSize], n);
    }
    return bytes;
}

const CompoundFile::Entry* CompoundFile::Find(const std::vector<std::string>& names) const {
    // The root storage's children: a tree of siblings under its child.
    auto lower = [](std::string s) {
        for (char& c : s) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        return s;
    };
    std::vector<bool> seen(entries_.size());
    std::vector<uint32_t> pending{entries_[0].child};
    size_t best = names.size();
    const Entry* found = nullptr;
    while (!pending.empty()) {
        const uint32_t i = pending.back();
        pending.pop_back();
        if (i == kNoEntry) continue;
        if (i >= entries_.size()) {
            Fail("the file's directory names entry " + std::to_string(i) + " of " + std::to_string(entries_.size()));
        }
        if (seen[i]) Fail("the file's directory loops at entry " + std::to_string(i));
        seen[i] = true;
        const Entry& e = entries_[i];
        pending.push_back(e.left);
        pending.push_back(e.right);
        if (e.type != 2) continue;
        for (size_t k = 0; k < best; ++k) {
            if (lower(e.name) == lower(names[k])) {
                best = k;
                found = &e;
                break;
            }
        }
    }
    return found;
}

std::unique_ptr<Stream> CompoundFile::Open(const std::vector<std::string>& names) const {
    const Entry* found = Find(names);
    if (!found) return nullptr;

    auto stream = std::make_unique<Stream>();
    stream->file_ = this;
    stream->name_ = found->name;
    stream->size_ = found->size;
    stream->sectorSize_ = sectorSize_;
    const std::string what = "stream " + Quoted(found->name);
    if (found->size < miniCutoff_) {
        stream->bytes_ = ReadMini(*found);
        return stream;
    }
    if (found->size > static_cast<uint64_t>(sectorCount_) * sectorSize_) {
        Fail(what + " is " + std::to_string(found->size) + " bytes, more than the file holds");
    }
    const uint64_t needed = (found->size + sectorSize_ - 1) / sectorSize_;
    stream->sectors_ = Chain(fat_, found->start, sectorCount_, needed, what, "sector");
    if (stream->sectors_.size() < needed) {
        Fail("the file's sector chain of " + what + " ends after " + std::to_string(stream->sectors_.size()) +
             " sectors, short of its " + std::to_string(found->size) + " bytes");
    }
    return stream;
}

}  // namespace sheet::cfb
