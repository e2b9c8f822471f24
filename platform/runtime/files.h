// Files as the program uses them: whole-file reads, atomic writes, and the
// runtime's fixed-record ("Random") and byte-position ("Binary") files.
//
// Every write goes to a temporary file in the target's folder (for a target
// that is a symbolic link, the folder of the file it names), which is
// flushed to disk and then renamed over the target.  A failure at any step
// removes the temporary file and leaves the old file exactly as it was.
//
// A temporary file is named after its target: the target's name, ".tmp",
// the writing process's id, "-", that process's start time (clock ticks
// since boot), "_", a running number, "_" and 8 hexadecimal digits.  A
// process killed part-way through a write leaves one behind; a file's
// leftovers are removed before each write to that file, and the programs
// remove those of their own files at start-up.  No other file is touched.
//
// RecordFile and BinaryFile write the file back atomically on Close (only
// when something was written), so a file is never seen half-written.
// BinaryFile reads the whole file when opened and works on the bytes in
// memory; RecordFile keeps only the records put, reads the others from the
// file as it was opened, and on Close copies that file a block at a time
// with the records put over it, so that a long file costs no more memory
// than the records written.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vb {

bool FileExists(const std::string& path);   // a regular file
std::optional<std::vector<uint8_t>> ReadFileBytes(const std::string& path);
// The first `limit` bytes of a regular file (all of it when it is shorter),
// or nullopt when it cannot be read or is no regular file.  Read `limit` + 1
// to learn whether the file holds more than `limit` bytes.
std::optional<std::vector<uint8_t>> ReadFileBytesUpTo(const std::string& path, size_t limit);

// The file a write to path replaces: path itself, or, when path is a
// symbolic link (or a chain of them), the file the last link names, which
// need not exist yet.  False, with the reason in *error, for a target that
// exists and is no regular file, and for a chain of links that does not end.
bool ResolveWriteTarget(const std::string& path, std::string& target, std::string* error);

// Writes the bytes to path through a temporary file and a rename.  Returns
// false (with a short reason in *error) when anything fails; the old file,
// if any, is then untouched and no temporary file is left behind.  The one
// exception is a failed flush of the folder after the rename: the new file
// is then in place but may not survive a crash, and that is reported as a
// failure too.  A new file gets the usual permissions (0666 less the umask),
// a replaced file keeps its own.  The leftover temporary files of this very
// file are removed first (RemoveLeftoverTemporaryFiles); no other file of
// the folder is touched.
//
// A path that is a symbolic link (or a chain of them) is followed: the file
// the last link names is replaced (or created, when the link dangles), its
// temporary file goes beside it, and the link stays as it was.  A path that
// exists and is no regular file (a device, a FIFO, a socket, a folder), or
// leads to one, is refused with a reason naming it, and nothing is written.
bool WriteFileAtomic(const std::string& path, const void* data, size_t size, std::string* error = nullptr);
bool WriteFileAtomic(const std::string& path, const std::vector<uint8_t>& bytes, std::string* error = nullptr);
bool WriteFileAtomic(const std::string& path, std::string_view text, std::string* error = nullptr);

// Removes the leftover temporary files of one file: those a write to file
// made (named after it as above, beside it or, for a link, beside the file
// the link names) that no running process owns: their process has ended, or
// its id now belongs to a process started at another time.  Files named
// without a start time (as older versions wrote them) count as owned while
// their process id is in use.  Temporary files of other names are left
// alone.  Returns how many were removed; problems are ignored (a file that
// cannot be removed stays).
int RemoveLeftoverTemporaryFiles(const std::string& file);

// Replaces the function that flushes a file or folder to disk (fsync), so
// that tests can make it fail; returns the one in use before.  Not for use
// while other threads write files.
using FileSyncFunction = int (*)(int fd);
FileSyncFunction SetFileSyncForTesting(FileSyncFunction sync);

// Collects output and puts it into place at Commit.  Nothing reaches the
// target before Commit; destroying the writer without Commit discards it.
class AtomicFileWriter {
public:
    explicit AtomicFileWriter(std::string path) : path_(std::move(path)) {}
    void Write(const void* data, size_t size);
    void Write(std::string_view text) { Write(text.data(), text.size()); }
    const std::string& Path() const { return path_; }
    bool Commit(std::string* error = nullptr);

private:
    std::string path_;
    std::vector<uint8_t> data_;
};

// A file of fixed-length records, numbered from 1 (Open ... For Random
// Len = n).  Reading a record beyond the end gives zero bytes; writing one
// beyond the end extends the file with zeros.  A record shorter than the
// record length goes over the start of its slot, and the rest of the slot
// keeps what the file held there.  Every byte that no record put covers
// stays as it was, also beyond the last record put.  Errors: 63 for a record
// number below 1, 59 for a record longer than the record length, on opening
// 76 when the folder is missing and 75 when the path is no readable regular
// file (a missing file is fine: it starts empty), and 75 when the file
// cannot be read or written back; a 75 names the cause in its description.
class RecordFile {
public:
    RecordFile(std::string path, size_t recordLength);   // opens (raises as above)
    ~RecordFile();
    RecordFile(const RecordFile&) = delete;
    RecordFile& operator=(const RecordFile&) = delete;
    std::vector<uint8_t> Get(int64_t recordNumber) const;    // recordLength bytes
    void Put(int64_t recordNumber, const std::vector<uint8_t>& record);
    int64_t RecordCount() const;                             // LOF / Len, rounded up
    uint64_t Lof() const { return size_; }
    // Writes the file back when a record was put; raises 75 ("Path/File
    // access error") when that fails, leaving the old file as it was.
    void Close();

private:
    // Bytes of the file as it was opened, zeros past its end; false, with
    // the reason in *error, when the file cannot be read.
    bool ReadOld(uint8_t* out, size_t size, uint64_t offset, std::string* error) const;

    std::string path_;
    size_t recordLength_;
    int fd_ = -1;                                          // the file as opened; -1 when there was none
    uint64_t fileSize_ = 0;                                // its length then
    uint64_t size_ = 0;                                    // LOF with the records put
    std::map<int64_t, std::vector<uint8_t>> written_;      // whole slots, by record number
    bool dirty_ = false;
};

// A file read and written at byte positions counted from 1 (Open ... For
// Binary).  Reading past the end gives as many bytes as there are.
class BinaryFile {
public:
    explicit BinaryFile(std::string path);                    // raises 75 as RecordFile
    std::vector<uint8_t> Get(int64_t position, size_t count) const;
    void Put(int64_t position, const void* data, size_t size);
    uint64_t Lof() const { return bytes_.size(); }
    const std::vector<uint8_t>& Bytes() const { return bytes_; }
    void Close();

private:
    std::string path_;
    std::vector<uint8_t> bytes_;
    bool dirty_ = false;
};

// Little-endian field encoders for records.
class ByteWriter {
public:
    std::vector<uint8_t> bytes;
    void Integer(int16_t v);
    void Long(int32_t v);
    void Single(float v);
    void Double(double v);
    void Boolean(bool v) { Integer(v ? -1 : 0); }
    // A fixed-length text field: the text as 8-bit Latin-1 characters (a
    // character outside Latin-1 becomes "?"), cut or blank-padded to width.
    void FixedText(std::string_view utf8, size_t width);
};

// Reads fields in order; past the end every field reads as zero bytes.
class ByteReader {
public:
    explicit ByteReader(const std::vector<uint8_t>& b) : bytes_(b) {}
    int16_t Integer();
    int32_t Long();
    float Single();
    double Double();
    bool Boolean() { return Integer() != 0; }
    std::string FixedText(size_t width);   // Latin-1 -> UTF-8, padding kept
    size_t Position() const { return pos_; }

private:
    void Take(void* out, size_t n);
    const std::vector<uint8_t>& bytes_;
    size_t pos_ = 0;
};

}  // namespace vb
