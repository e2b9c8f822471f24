#include "platform/runtime/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <functional>
#include <random>

#include "platform/runtime/conversions.h"
#include "platform/runtime/vberror.h"

namespace vb {

namespace {

constexpr int errBadRecordNumber = 63;
constexpr int errPathFileAccess = 75;

std::string FolderOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

void SetError(std::string* error, const std::string& what, int err) {
    if (error) *error = what + ": " + std::strerror(err);
}

FileSyncFunction g_sync = &::fsync;

// Start time of a process in clock ticks since boot (field 22 of its
// /proc stat line), or nullopt when it cannot be read.
std::optional<unsigned long long> ProcessStartTime(long pid) {
    const auto stat = ReadFileBytes("/proc/" + std::to_string(pid) + "/stat");
    if (!stat) return std::nullopt;
    const std::string line(stat->begin(), stat->end());
    // The command name (field 2) may hold blanks and parentheses: count the
    // fields from the last ')'.
    const size_t close = line.rfind(')');
    if (close == std::string::npos) return std::nullopt;
    size_t at = close + 1;
    for (int field = 3; field < 22; ++field) {
        at = line.find(' ', at + 1);
        if (at == std::string::npos) return std::nullopt;
    }
    char* end = nullptr;
    const unsigned long long t = std::strtoull(line.c_str() + at + 1, &end, 10);
    if (end == line.c_str() + at + 1) return std::nullopt;
    return t;
}

unsigned long long OwnStartTime() {
    static const unsigned long long t = ProcessStartTime(static_cast<long>(getpid())).value_or(0);
    return t;
}

// The parts of a temporary file's name after ".tmp": pid, start time (absent
// in the older naming), running number and 8 hex digits.  False for any
// other name.
bool ParseTemporarySuffix(const char* s, long& pid, std::optional<unsigned long long>& start) {
    auto digits = [&](const char*& p, bool hex, size_t exactly) -> bool {
        const char* from = p;
        while (hex ? std::isxdigit(static_cast<unsigned char>(*p)) : std::isdigit(static_cast<unsigned char>(*p))) ++p;
        const size_t n = static_cast<size_t>(p - from);
        return n > 0 && n <= 20 && (exactly == 0 || n == exactly);
    };
    const char* p = s;
    if (!digits(p, false, 0)) return false;
    pid = std::strtol(s, nullptr, 10);
    start.reset();
    if (*p == '-') {
        const char* t = ++p;
        if (!digits(p, false, 0)) return false;
        start = std::strtoull(t, nullptr, 10);
    }
    if (*p++ != '_' || !digits(p, false, 0) || *p++ != '_' || !digits(p, true, 8)) return false;
    return *p == '\0' && pid > 0;
}

// True when a running process may still be writing a temporary file of
// that pid and start time.
bool OwnedByRunningProcess(long pid, const std::optional<unsigned long long>& start) {
    if (kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) return false;
    if (!start) return true;
    const auto now = ProcessStartTime(pid);
    // Without /proc the process cannot be told apart: keep the file.
    return !now || *now == *start;
}

// Opens a new temporary file next to path; the kernel applies the umask to
// the 0666 asked for.  Returns -1 (errno set) when none can be made.
int OpenTemporary(const std::string& path, std::string& tempPath) {
    static std::atomic<unsigned> counter{0};
    std::random_device rd;
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[96];
        std::snprintf(suffix, sizeof suffix, ".tmp%d-%llu_%u_%08x", static_cast<int>(getpid()), OwnStartTime(),
                      counter++, rd());
        tempPath = path + suffix;
        int fd = open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

const char* KindOf(mode_t mode) {
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
    if (S_ISFIFO(mode)) return "a FIFO (named pipe)";
    if (S_ISSOCK(mode)) return "a socket";
    return "not a regular file";
}

// Opens a regular file for reading.  Opened without waiting and checked
// after opening, so that a pipe or device put in the file's place is never
// read.  Returns -1 when it cannot: *missing tells a file that is not there,
// *reason (when given) says what went wrong.
int OpenRegularForReading(const std::string& path, bool& missing, uint64_t& size, std::string* reason = nullptr) {
    missing = false;
    size = 0;
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        missing = errno == ENOENT;
        SetError(reason, "cannot open " + path, errno);
        return -1;
    }
    struct stat st{};
    if (fstat(fd, &st) != 0) {
        SetError(reason, "cannot look at " + path, errno);
        close(fd);
        return -1;
    }
    if (!S_ISREG(st.st_mode)) {
        if (reason) *reason = path + " is " + KindOf(st.st_mode) + ", not a regular file";
        close(fd);
        return -1;
    }
    size = st.st_size > 0 ? static_cast<uint64_t>(st.st_size) : 0;
    return fd;
}

// Reads up to size bytes at offset; fewer only at the end of the file.
// Returns the count read, or -1 (errno set).
ssize_t ReadAt(int fd, uint8_t* out, size_t size, uint64_t offset) {
    size_t got = 0;
    while (got < size) {
        const ssize_t n = pread(fd, out + got, size - got, static_cast<off_t>(offset + got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return -1;
        if (n == 0) break;
        got += static_cast<size_t>(n);
    }
    return static_cast<ssize_t>(got);
}

// Reads at most `limit` bytes of a regular file.
std::optional<std::vector<uint8_t>> ReadRegularFile(const std::string& path, bool& missing,
                                                    size_t limit = SIZE_MAX) {
    uint64_t size = 0;
    const int fd = OpenRegularForReading(path, missing, size);
    if (fd < 0) return std::nullopt;
    std::vector<uint8_t> out(static_cast<size_t>(std::min<uint64_t>(limit, size)));
    size_t got = 0;
    // The size may change while the file is read: read until the limit or the end.
    for (;;) {
        if (got == out.size()) {
            if (got >= limit) break;
            out.resize(std::min(limit, got + 65536));
        }
        const ssize_t n = read(fd, out.data() + got, out.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            close(fd);
            return std::nullopt;
        }
        if (n == 0) break;
        got += static_cast<size_t>(n);
    }
    close(fd);
    out.resize(got);
    return out;
}

// A missing file opened for update starts empty, but its folder must exist:
// raises 76 when it does not.
void RequireFolderOf(const std::string& path) {
    struct stat st{};
    if (stat(FolderOf(path).c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) RaiseError(errPathNotFound);
}

std::vector<uint8_t> OpenForUpdate(const std::string& path) {
    bool missing = false;
    auto bytes = ReadRegularFile(path, missing);
    if (bytes) return std::move(*bytes);
    if (!missing) RaiseError(errPathFileAccess);
    RequireFolderOf(path);
    return {};
}

}  // namespace

bool ResolveWriteTarget(const std::string& path, std::string& target, std::string* error) {
    target = path;
    for (int hops = 0;; ++hops) {
        struct stat st{};
        if (lstat(target.c_str(), &st) != 0) {
            if (errno == ENOENT) return true;   // a new file (or a dangling link's file)
            SetError(error, "cannot look at " + target, errno);
            return false;
        }
        if (S_ISREG(st.st_mode)) return true;
        if (!S_ISLNK(st.st_mode)) {
            if (error) {
                *error = target == path ? path : path + " leads to " + target + ", which";
                *error += std::string(" is ") + KindOf(st.st_mode) + ", not a regular file; nothing was written";
            }
            return false;
        }
        if (hops >= 40) {
            SetError(error, "cannot follow the links of " + path, ELOOP);
            return false;
        }
        std::vector<char> buf(static_cast<size_t>(st.st_size > 0 ? st.st_size : 255) + 1);
        ssize_t n;
        for (;;) {
            n = readlink(target.c_str(), buf.data(), buf.size());
            if (n < 0 || static_cast<size_t>(n) < buf.size()) break;
            buf.resize(buf.size() * 2);
        }
        if (n < 0) {
            SetError(error, "cannot read the link " + target, errno);
            return false;
        }
        std::string next(buf.data(), static_cast<size_t>(n));
        // A relative link is read from the link's own folder.
        if (!next.empty() && next[0] != '/') {
            const size_t slash = target.find_last_of('/');
            if (slash != std::string::npos) next = target.substr(0, slash + 1) + next;
        }
        target = next;
    }
}

bool FileExists(const std::string& path) {
    struct stat st{};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::optional<std::vector<uint8_t>> ReadFileBytes(const std::string& path) {
    bool missing = false;
    return ReadRegularFile(path, missing);
}

std::optional<std::vector<uint8_t>> ReadFileBytesUpTo(const std::string& path, size_t limit) {
    bool missing = false;
    return ReadRegularFile(path, missing, limit);
}

namespace {

// Removes the leftovers of the file at path (a resolved write target): the
// files of its folder named after it as OpenTemporary names them that no
// running process owns.  Files of any other name are never touched.
int RemoveLeftoversOf(const std::string& path) {
    const std::string folder = FolderOf(path);
    const size_t slash = path.find_last_of('/');
    const std::string prefix = (slash == std::string::npos ? path : path.substr(slash + 1)) + ".tmp";
    if (prefix == ".tmp") return 0;
    DIR* dir = opendir(folder.c_str());
    if (!dir) return 0;
    int removed = 0;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) continue;
        long pid = 0;
        std::optional<unsigned long long> start;
        if (!ParseTemporarySuffix(name.c_str() + prefix.size(), pid, start)) continue;
        if (OwnedByRunningProcess(pid, start)) continue;
        const std::string full = folder + "/" + name;
        struct stat st{};
        if (lstat(full.c_str(), &st) == 0 && S_ISREG(st.st_mode) && unlink(full.c_str()) == 0) ++removed;
    }
    closedir(dir);
    return removed;
}

}  // namespace

int RemoveLeftoverTemporaryFiles(const std::string& file) {
    std::string target;
    if (file.empty() || !ResolveWriteTarget(file, target, nullptr)) return 0;
    return RemoveLeftoversOf(target);
}

FileSyncFunction SetFileSyncForTesting(FileSyncFunction sync) {
    FileSyncFunction old = g_sync;
    g_sync = sync ? sync : &::fsync;
    return old;
}

namespace {

// Writes size bytes to fd; 0, or the errno of the failure.
int WriteAll(int fd, const void* data, size_t size) {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    while (size > 0) {
        const ssize_t n = write(fd, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return n < 0 ? errno : EIO;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return 0;
}

// Puts the new contents of a file into the temporary file fd (named temp);
// false, with the reason in *error, when that fails.
using FillFunction = std::function<bool(int fd, const std::string& temp, std::string* error)>;

// The one way a file is replaced: fill writes the new contents into a
// temporary file beside the target, which is flushed and renamed over it.
bool WriteAtomicWith(const std::string& givenPath, const FillFunction& fill, std::string* error) {
    if (givenPath.empty()) {
        SetError(error, "no file name", ENOENT);
        return false;
    }
    // A link is followed, so that it keeps naming the new file; anything
    // but a regular file (a device, a FIFO, a folder) is never replaced.
    std::string target;
    if (!ResolveWriteTarget(givenPath, target, error)) return false;
    const std::string& path = target;
    RemoveLeftoversOf(path);
    std::string temp;
    int fd = OpenTemporary(path, temp);
    if (fd < 0) {
        SetError(error, "cannot create a temporary file beside " + path, errno);
        return false;
    }
    auto fail = [&](const std::string& what, int err) {
        if (fd >= 0) close(fd);
        unlink(temp.c_str());
        if (!what.empty()) SetError(error, what, err);
        return false;
    };
    // A replaced file keeps its permissions.
    struct stat st{};
    if (stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) fchmod(fd, st.st_mode & 07777);

    if (!fill(fd, temp, error)) return fail("", 0);
    if (g_sync(fd) != 0) return fail("cannot flush " + temp, errno);
    int c = close(fd);
    fd = -1;
    if (c != 0) return fail("cannot close " + temp, errno);
    if (std::rename(temp.c_str(), path.c_str()) != 0) return fail("cannot replace " + path, errno);
    // Make the rename itself durable.  The new file is in place by now; a
    // folder that cannot be flushed is still reported, since the rename may
    // not survive a crash.  A file system that cannot flush folders at all
    // (EINVAL) has nothing to flush.
    const int dir = open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) {
        SetError(error, "cannot open the folder of " + path + " to flush it", errno);
        return false;
    }
    const int synced = g_sync(dir);
    const int syncError = errno;
    close(dir);
    if (synced != 0 && syncError != EINVAL) {
        SetError(error, "cannot flush the folder of " + path, syncError);
        return false;
    }
    return true;
}

}  // namespace

bool WriteFileAtomic(const std::string& givenPath, const void* data, size_t size, std::string* error) {
    return WriteAtomicWith(
        givenPath,
        [&](int fd, const std::string& temp, std::string* err) {
            const int failed = WriteAll(fd, data, size);
            if (failed != 0) SetError(err, "cannot write " + temp, failed);
            return failed == 0;
        },
        error);
}

bool WriteFileAtomic(const std::string& path, const std::vector<uint8_t>& bytes, std::string* error) {
    return WriteFileAtomic(path, bytes.data(), bytes.size(), error);
}

bool WriteFileAtomic(const std::string& path, std::string_view text, std::string* error) {
    return WriteFileAtomic(path, text.data(), text.size(), error);
}

void AtomicFileWriter::Write(const void* data, size_t size) {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    data_.insert(data_.end(), p, p + size);
}

bool AtomicFileWriter::Commit(std::string* error) { return WriteFileAtomic(path_, data_, error); }

// --- RecordFile --------------------------------------------------------------

namespace {

// 75, "Path/File access error", with what went wrong.
[[noreturn]] void RaiseAccessError(const std::string& reason) {
    throw VbError(errPathFileAccess, StandardErrorDescription(errPathFileAccess) + " (" + reason + ")");
}

// The stretch of a file that a rewrite copies at a time.
constexpr size_t kCopyBlock = 1 << 20;

}  // namespace

RecordFile::RecordFile(std::string path, size_t recordLength) : path_(std::move(path)), recordLength_(recordLength) {
    if (recordLength_ == 0 || recordLength_ > 32767) RaiseError(errBadRecordLength);
    bool missing = false;
    std::string reason;
    fd_ = OpenRegularForReading(path_, missing, fileSize_, &reason);
    if (fd_ < 0) {
        if (!missing) RaiseAccessError(reason);
        RequireFolderOf(path_);
    }
    size_ = fileSize_;
}

RecordFile::~RecordFile() {
    if (fd_ >= 0) close(fd_);
}

bool RecordFile::ReadOld(uint8_t* out, size_t size, uint64_t offset, std::string* error) const {
    std::memset(out, 0, size);
    if (fd_ < 0 || offset >= fileSize_) return true;
    const size_t want = static_cast<size_t>(std::min<uint64_t>(size, fileSize_ - offset));
    // A file that has shrunk since it was opened reads as zeros past its end.
    if (ReadAt(fd_, out, want, offset) >= 0) return true;
    SetError(error, "cannot read " + path_, errno);
    return false;
}

std::vector<uint8_t> RecordFile::Get(int64_t recordNumber) const {
    if (recordNumber < 1) RaiseError(errBadRecordNumber);
    const auto put = written_.find(recordNumber);
    if (put != written_.end()) return put->second;
    std::vector<uint8_t> out(recordLength_, 0);
    std::string reason;
    if (!ReadOld(out.data(), out.size(), static_cast<uint64_t>(recordNumber - 1) * recordLength_, &reason))
        RaiseAccessError(reason);
    return out;
}

void RecordFile::Put(int64_t recordNumber, const std::vector<uint8_t>& record) {
    if (recordNumber < 1 || recordNumber > INT32_MAX) RaiseError(errBadRecordNumber);
    if (record.size() > recordLength_) RaiseError(errBadRecordLength);
    // The record goes over the start of its slot; the rest of the slot keeps
    // what the file held there (zeros past its end).
    std::vector<uint8_t> slot = Get(recordNumber);
    std::copy(record.begin(), record.end(), slot.begin());
    written_[recordNumber] = std::move(slot);
    size_ = std::max<uint64_t>(size_, static_cast<uint64_t>(recordNumber) * recordLength_);
    dirty_ = true;
}

int64_t RecordFile::RecordCount() const {
    return static_cast<int64_t>((size_ + recordLength_ - 1) / recordLength_);
}

void RecordFile::Close() {
    if (!dirty_) return;
    // The new file is the old one with the records put over it, made a block
    // at a time, so that a long file is never held in memory whole.
    std::vector<uint8_t> block(static_cast<size_t>(std::min<uint64_t>(kCopyBlock, size_)));
    auto fill = [&](int fd, const std::string& temp, std::string* error) {
        for (uint64_t at = 0; at < size_; at += block.size()) {
            const size_t n = static_cast<size_t>(std::min<uint64_t>(block.size(), size_ - at));
            if (!ReadOld(block.data(), n, at, error)) return false;
            // The records that overlap [at, at + n).
            for (auto put = written_.lower_bound(static_cast<int64_t>(at / recordLength_) + 1);
                 put != written_.end(); ++put) {
                const uint64_t start = static_cast<uint64_t>(put->first - 1) * recordLength_;
                if (start >= at + n) break;
                const uint64_t from = std::max(start, at);
                const uint64_t to = std::min(start + recordLength_, at + n);
                std::memcpy(block.data() + (from - at), put->second.data() + (from - start),
                            static_cast<size_t>(to - from));
            }
            const int failed = WriteAll(fd, block.data(), n);
            if (failed != 0) {
                SetError(error, "cannot write " + temp, failed);
                return false;
            }
        }
        return true;
    };
    std::string reason;
    if (!WriteAtomicWith(path_, fill, &reason)) RaiseAccessError(reason);
    dirty_ = false;
}

// --- BinaryFile --------------------------------------------------------------

BinaryFile::BinaryFile(std::string path) : path_(std::move(path)) { bytes_ = OpenForUpdate(path_); }

std::vector<uint8_t> BinaryFile::Get(int64_t position, size_t count) const {
    if (position < 1) RaiseError(errBadRecordNumber);
    uint64_t start = static_cast<uint64_t>(position - 1);
    if (start >= bytes_.size()) return {};
    size_t n = static_cast<size_t>(std::min<uint64_t>(count, bytes_.size() - start));
    return std::vector<uint8_t>(bytes_.begin() + static_cast<std::ptrdiff_t>(start),
                                bytes_.begin() + static_cast<std::ptrdiff_t>(start + n));
}

void BinaryFile::Put(int64_t position, const void* data, size_t size) {
    if (position < 1 || position > (int64_t(1) << 40)) RaiseError(errBadRecordNumber);
    uint64_t start = static_cast<uint64_t>(position - 1);
    if (start + size > bytes_.size()) bytes_.resize(static_cast<size_t>(start + size), 0);
    if (size) std::memcpy(bytes_.data() + start, data, size);
    dirty_ = true;
}

void BinaryFile::Close() {
    if (!dirty_) return;
    if (!WriteFileAtomic(path_, bytes_)) RaiseError(errPathFileAccess);
    dirty_ = false;
}

// --- Field encoders ----------------------------------------------------------

void ByteWriter::Integer(int16_t v) {
    uint16_t u = static_cast<uint16_t>(v);
    bytes.push_back(static_cast<uint8_t>(u));
    bytes.push_back(static_cast<uint8_t>(u >> 8));
}

void ByteWriter::Long(int32_t v) {
    uint32_t u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(u >> (8 * i)));
}

void ByteWriter::Single(float v) {
    uint32_t u;
    std::memcpy(&u, &v, 4);
    Long(static_cast<int32_t>(u));
}

void ByteWriter::Double(double v) {
    uint64_t u;
    std::memcpy(&u, &v, 8);
    for (int i = 0; i < 8; ++i) bytes.push_back(static_cast<uint8_t>(u >> (8 * i)));
}

void ByteWriter::FixedText(std::string_view utf8, size_t width) {
    std::u16string u = ToUtf16(utf8);
    size_t n = 0;
    for (char16_t c : u) {
        if (n == width) break;
        if (c >= 0xDC00 && c <= 0xDFFF) continue;  // second half of a pair: one "?" already written
        bytes.push_back(c < 0x100 ? static_cast<uint8_t>(c) : static_cast<uint8_t>('?'));
        ++n;
    }
    bytes.insert(bytes.end(), width - n, static_cast<uint8_t>(' '));
}

void ByteReader::Take(void* out, size_t n) {
    std::memset(out, 0, n);
    if (pos_ < bytes_.size()) std::memcpy(out, bytes_.data() + pos_, std::min(n, bytes_.size() - pos_));
    pos_ += n;
}

int16_t ByteReader::Integer() {
    uint8_t b[2];
    Take(b, 2);
    return static_cast<int16_t>(b[0] | (b[1] << 8));
}

int32_t ByteReader::Long() {
    uint8_t b[4];
    Take(b, 4);
    uint32_t u = 0;
    for (int i = 0; i < 4; ++i) u |= static_cast<uint32_t>(b[i]) << (8 * i);
    return static_cast<int32_t>(u);
}

float ByteReader::Single() {
    uint32_t u = static_cast<uint32_t>(Long());
    float f;
    std::memcpy(&f, &u, 4);
    return f;
}

double ByteReader::Double() {
    uint8_t b[8];
    Take(b, 8);
    uint64_t u = 0;
    for (int i = 0; i < 8; ++i) u |= static_cast<uint64_t>(b[i]) << (8 * i);
    double d;
    std::memcpy(&d, &u, 8);
    return d;
}

std::string ByteReader::FixedText(size_t width) {
    std::u16string u;
    u.reserve(width);
    for (size_t i = 0; i < width; ++i) {
        uint8_t c = 0;
        Take(&c, 1);
        u += static_cast<char16_t>(c);
    }
    return FromUtf16(u);
}

}  // namespace vb
