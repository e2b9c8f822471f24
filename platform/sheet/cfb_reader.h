// A reader of the compound file that holds an .xls workbook: a small file
// system inside one file, of fixed-size sectors chained through an
// allocation table (the FAT, listed by the header and the DIFAT), a
// directory of storages and streams, and a mini stream of 64-byte sectors
// (with its own allocation table) for streams below the cutoff size.
//
// Nothing in the file is trusted: every sector number must name a sector
// the file holds, every chain must end before it visits a sector twice or
// grows longer than the file, and every stream must fit the chain that
// holds it.  A damaged structure raises kErrWorkbook with a sentence naming
// what is wrong and where.  What the reader keeps is the allocation tables
// (4 bytes for each sector of the file), the directory's entries and, for a
// stream, the list of its sectors; a stream's bytes are read when asked
// for, from the file or from memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace sheet::cfb {

// Where the bytes of a compound file come from.
class Source {
public:
    virtual ~Source() = default;
    virtual uint64_t Size() const = 0;
    // Copies n bytes from `offset`; false when the file cannot give them.
    virtual bool Read(uint64_t offset, void* into, size_t n) const = 0;
};

// The bytes of a file held in memory.
class MemorySource : public Source {
public:
    MemorySource(const void* data, size_t size) : data_(static_cast<const unsigned char*>(data)), size_(size) {}
    uint64_t Size() const override { return size_; }
    bool Read(uint64_t offset, void* into, size_t n) const override;

private:
    const unsigned char* data_;
    size_t size_;
};

// An open file (the descriptor is closed with the source).
class FileSource : public Source {
public:
    FileSource(int fd, uint64_t size) : fd_(fd), size_(size) {}
    ~FileSource() override;
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;
    uint64_t Size() const override { return size_; }
    bool Read(uint64_t offset, void* into, size_t n) const override;

private:
    int fd_;
    uint64_t size_;
};

class CompoundFile;

// One stream of the file: its bytes by offset, through the sectors of its
// chain.
class Stream {
public:
    Stream() = default;
    // The whole of `source` as one stream named `name`: a workbook stream
    // that a writer saved as the file itself, with no compound file around
    // it, refused when it is larger than a compound file may be.  `label`
    // names the file in messages.
    Stream(const Source& source, std::string name, std::string label);

    const std::string& Name() const { return name_; }
    uint64_t Size() const { return size_; }
    // Copies n bytes from `offset`; the range must lie inside the stream.
    void Read(uint64_t offset, void* into, size_t n) const;

private:
    friend class CompoundFile;
    const CompoundFile* file_ = nullptr;
    const Source* whole_ = nullptr;   // the file that is the stream, if it is one
    std::string label_;               // the file's name in messages, when it is
    std::string name_;
    uint64_t size_ = 0;
    uint32_t sectorSize_ = 0;
    std::vector<uint32_t> sectors_;   // file sectors (empty when in memory)
    std::string bytes_;               // the stream's bytes when it lives in the mini stream
};

class CompoundFile {
public:
    // Reads the header, the allocation tables and the directory; `label`
    // names the file in messages.
    CompoundFile(const Source& source, std::string label);

    // The stream among the root storage's children whose name is one of
    // `names` (compared without regard to case; the first name found in
    // that order wins); null when there is none.
    std::unique_ptr<Stream> Open(const std::vector<std::string>& names) const;
    // Whether the root storage holds a stream of one of `names`; nothing of
    // it is read.
    bool Holds(const std::vector<std::string>& names) const { return Find(names) != nullptr; }

    [[noreturn]] void Fail(const std::string& what) const;

private:
    friend class Stream;
    struct Entry {
        std::string name;   // UTF-8
        uint8_t type = 0;   // 1 storage, 2 stream, 5 root
        uint32_t left = 0, right = 0, child = 0, start = 0;
        uint64_t size = 0;
    };

    void ReadHeader();
    void ReadFat();
    void ReadDirectory();
    // The entry of the stream Open and Holds look for; null when none.
    const Entry* Find(const std::vector<std::string>& names) const;
    // The sectors of the chain that begins at `start` in `table`, of which
    // the file holds `count`: at most `limit` of them (the chain need not
    // end there).  `what` and `unit` name the chain and its sectors in
    // messages.
    std::vector<uint32_t> Chain(const std::vector<uint32_t>& table, uint32_t start, uint32_t count, uint64_t limit,
                                const std::string& what, const char* unit) const;
    void ReadSector(uint32_t sector, uint32_t offset, void* into, size_t n) const;
    // The bytes of a stream that lives in the mini stream.
    std::string ReadMini(const Entry& e) const;

    const Source& source_;
    std::string label_;
    uint32_t sectorShift_ = 9;
    uint32_t sectorSize_ = 512;
    uint32_t sectorCount_ = 0;   // sectors the file holds after its header
    uint32_t fatSectors_ = 0, firstDirectory_ = 0, miniCutoff_ = 4096;
    uint32_t firstMiniFat_ = 0, miniFatSectors_ = 0, firstDifat_ = 0, difatSectors_ = 0;
    uint32_t headerDifat_[109] = {};
    std::vector<uint32_t> fat_;
    std::vector<uint32_t> miniFat_;
    std::vector<Entry> entries_;
};

}  // namespace sheet::cfb
