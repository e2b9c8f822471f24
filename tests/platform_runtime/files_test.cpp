#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <set>

#include <filesystem>
#include <fstream>

#include "platform/runtime/app.h"
#include "platform/runtime/files.h"
#include "platform/runtime/vberror.h"

using namespace vb;
namespace fs = std::filesystem;

namespace {

class TempDir {
public:
    TempDir() {
        std::string tmpl = (fs::temp_directory_path() / "rtfilesXXXXXX").string();
        path = mkdtemp(tmpl.data());
    }
    ~TempDir() { fs::remove_all(path); }
    std::string File(const std::string& name) const { return path + "/" + name; }
    size_t Entries() const { return static_cast<size_t>(std::distance(fs::directory_iterator(path), fs::directory_iterator())); }
    std::string path;
};

std::string Slurp(const std::string& p) {
    auto b = ReadFileBytes(p);
    return b ? std::string(b->begin(), b->end()) : std::string("<none>");
}

}  // namespace

TEST(Files, AtomicWriteReplacesWholeOrNotAtAll) {
    TempDir dir;
    std::string target = dir.File("SavedCol.dat");
    EXPECT_FALSE(FileExists(target));
    ASSERT_TRUE(WriteFileAtomic(target, std::string_view("first")));
    EXPECT_EQ(Slurp(target), "first");
    chmod(target.c_str(), 0640);
    ASSERT_TRUE(WriteFileAtomic(target, std::vector<uint8_t>{'s', 'e', 'c'}));
    EXPECT_EQ(Slurp(target), "sec");
    struct stat st{};
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);   // a replaced file keeps its permissions
    EXPECT_EQ(dir.Entries(), 1u);           // no temporary file left

    // Failure: the folder does not exist.
    std::string err;
    EXPECT_FALSE(WriteFileAtomic(dir.File("no/such/folder/x.dat"), std::string_view("x"), &err));
    EXPECT_FALSE(err.empty());
    // Failure: a folder stands where the file should go; it stays, nothing is left behind.
    fs::create_directory(dir.File("adir"));
    std::ofstream(dir.File("adir/inside")) << "kept";
    EXPECT_FALSE(WriteFileAtomic(dir.File("adir"), std::string_view("x")));
    EXPECT_EQ(Slurp(dir.File("adir/inside")), "kept");
    EXPECT_EQ(dir.Entries(), 2u);
    EXPECT_EQ(Slurp(target), "sec");

    AtomicFileWriter w(target);
    w.Write("new ");
    EXPECT_EQ(Slurp(target), "sec");         // nothing reaches the file before Commit
    w.Write("text");
    EXPECT_TRUE(w.Commit());
    EXPECT_EQ(Slurp(target), "new text");
    EXPECT_FALSE(ReadFileBytes(dir.File("missing")).has_value());
    EXPECT_FALSE(ReadFileBytes(dir.path).has_value());
}

namespace {

std::set<std::string> Listing(const std::string& folder) {
    std::set<std::string> out;
    for (const auto& e : fs::directory_iterator(folder)) out.insert(e.path().filename().string());
    return out;
}

// What the sync hooks below see and do.
std::string g_folder, g_written;
bool g_ownTempKept = false;
int g_folderSyncError = 0;

int SweepingSync(int fd) {
    // Called with the temporary file written and still open: removing the
    // written file's leftovers now must leave it alone, since this process
    // owns it.
    const size_t before = Listing(g_folder).size();
    RemoveLeftoverTemporaryFiles(g_written);
    g_ownTempKept = Listing(g_folder).size() == before;
    return ::fsync(fd);
}

int FolderSyncFails(int fd) {
    struct stat st{};
    if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        errno = g_folderSyncError;
        return -1;
    }
    return ::fsync(fd);
}

}  // namespace

TEST(Files, AtomicWriteFollowsLinksAndRefusesWhatIsNoRegularFile) {
    TempDir dir;
    fs::create_directory(dir.File("real"));
    const std::string real = dir.File("real/SavedCol.dat");
    std::ofstream(real) << "old";
    chmod(real.c_str(), 0600);
    // A link, and a chain of two (the second relative to its own folder).
    fs::create_symlink(real, dir.File("link.dat"));
    fs::create_symlink("link.dat", dir.File("chain.dat"));
    ASSERT_TRUE(WriteFileAtomic(dir.File("link.dat"), std::string_view("through link")));
    EXPECT_TRUE(fs::is_symlink(dir.File("link.dat")));
    EXPECT_EQ(Slurp(real), "through link");
    ASSERT_TRUE(WriteFileAtomic(dir.File("chain.dat"), std::string_view("through chain")));
    EXPECT_TRUE(fs::is_symlink(dir.File("chain.dat")));
    EXPECT_EQ(fs::read_symlink(dir.File("chain.dat")), "link.dat");
    EXPECT_EQ(Slurp(real), "through chain");
    struct stat st{};
    ASSERT_EQ(stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    // The temporary file went beside the real file, and none is left.
    EXPECT_EQ(Listing(dir.File("real")), (std::set<std::string>{"SavedCol.dat"}));

    // A dangling link: the file it names is created, the link stays.
    fs::create_symlink("real/new.cfg", dir.File("dangling.cfg"));
    ASSERT_TRUE(WriteFileAtomic(dir.File("dangling.cfg"), std::string_view("created")));
    EXPECT_TRUE(fs::is_symlink(dir.File("dangling.cfg")));
    EXPECT_EQ(Slurp(dir.File("real/new.cfg")), "created");

    // Links that go round in a circle never end: refused.
    fs::create_symlink("loop2", dir.File("loop1"));
    fs::create_symlink("loop1", dir.File("loop2"));
    std::string err;
    EXPECT_FALSE(WriteFileAtomic(dir.File("loop1"), std::string_view("x"), &err));
    EXPECT_NE(err.find("loop1"), std::string::npos);
    // A chain of 40 links is followed to its file; one of 41 is refused.
    for (int i = 1; i <= 41; ++i)
        fs::create_symlink(i == 1 ? std::string("real/SavedCol.dat") : "hop" + std::to_string(i - 1),
                           dir.File("hop" + std::to_string(i)));
    EXPECT_TRUE(WriteFileAtomic(dir.File("hop40"), std::string_view("forty")));
    EXPECT_EQ(Slurp(real), "forty");
    EXPECT_FALSE(WriteFileAtomic(dir.File("hop41"), std::string_view("x")));
    EXPECT_EQ(Slurp(real), "forty");

    // What is no regular file is refused, named, and left as it was; a link
    // leading to one names both.
    const std::string fifo = dir.File("pipe.dxf");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    fs::create_directory(dir.File("empty.dxf"));
    fs::create_symlink(fifo, dir.File("tofifo.dxf"));
    const std::set<std::string> before = Listing(dir.path);
    struct Case { std::string path, says; };
    std::vector<Case> refused = {
        {fifo, fifo + " is a FIFO"},
        {dir.File("empty.dxf"), dir.File("empty.dxf") + " is a folder"},
        {dir.File("empty.dxf") + "/", " is a folder"},
        {dir.File("tofifo.dxf"), dir.File("tofifo.dxf") + " leads to " + fifo + ", which is a FIFO"},
    };
    // A socket.
    const std::string sock = dir.File("s.sock");
    const int sfd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (sfd >= 0 && sock.size() < sizeof addr.sun_path) {
        std::strcpy(addr.sun_path, sock.c_str());
        if (bind(sfd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) refused.push_back({sock, sock + " is a socket"});
    }
    // A device node of our own (the null device's numbers) inside the temporary
    // folder: only root may make one.  The machine's own devices are never written.
    const std::string dev = dir.File("full.dxf");
    if (mknod(dev.c_str(), S_IFCHR | 0600, makedev(1, 3)) == 0) refused.push_back({dev, dev + " is a device"});
    for (const Case& c : refused) {
        SCOPED_TRACE(c.path);
        std::string why;
        EXPECT_FALSE(WriteFileAtomic(c.path, std::string_view("must not land"), &why));
        EXPECT_NE(why.find(c.says), std::string::npos) << why;
        EXPECT_NE(why.find("nothing was written"), std::string::npos) << why;
    }
    if (sfd >= 0) close(sfd);
    std::set<std::string> after = Listing(dir.path);
    after.erase("s.sock");
    after.erase("full.dxf");
    EXPECT_EQ(after, before);   // no temporary file beside any of them
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_TRUE(fs::is_symlink(dir.File("tofifo.dxf")));
    EXPECT_TRUE(fs::is_empty(dir.File("empty.dxf")));
    if (fs::exists(fs::symlink_status(dev))) {
        EXPECT_TRUE(fs::is_character_file(dev));
    }
}

TEST(Files, LeftoverTemporaryFilesAreRemovedUnlessARunningProcessOwnsThem) {
    TempDir dir;
    // A process id that no process has any more.
    const pid_t child = fork();
    if (child == 0) _exit(0);
    ASSERT_GT(child, 0);
    waitpid(child, nullptr, 0);
    const std::string dead = std::to_string(child), self = std::to_string(getpid());
    auto touch = [&](const std::string& name) { std::ofstream(dir.File(name)) << "partial"; };
    const std::set<std::string> kept = {
        "SavedCol.dat.tmp" + self + "_3_0000abcd",   // older naming, its process runs
        "notes.tmp", "a.tmp12_2_xyzxyzxy", "b.tmp" + dead + "_1_abc", ".tmp" + dead + "_1_0123abcd",
        "SavedCol.dat.tmp" + dead + "_7_89abcdef.bak",   // a name of the user's own
        "survey.csv.tmp" + dead + "_1_0000abcd",         // another file's leftover
        "oldSavedCol.dat.tmp" + dead + "_1_0000abcd",
    };
    for (const std::string& name : kept) touch(name);
    touch("SavedCol.dat.tmp" + dead + "-4711_0_0123abcd");     // its process has ended
    touch("SavedCol.dat.tmp" + dead + "_7_89abcdef");          // older naming, ended
    touch("zefprof.cfg.tmp" + self + "-1_1_00000000");         // this pid, another start time
    fs::create_directory(dir.File("SavedCol.dat.tmp" + dead + "_1_0123abcd"));   // not a file: stays
    EXPECT_EQ(RemoveLeftoverTemporaryFiles(dir.File("SavedCol.dat")), 2);
    EXPECT_EQ(RemoveLeftoverTemporaryFiles(dir.File("zefprof.cfg")), 1);
    std::set<std::string> expected = kept;
    expected.insert("SavedCol.dat.tmp" + dead + "_1_0123abcd");
    EXPECT_EQ(Listing(dir.path), expected);

    // A link's leftovers are beside the file it names.
    fs::create_directory(dir.File("real"));
    touch("real/profile.dxf.tmp" + dead + "_2_0123abcd");
    fs::create_symlink("real/profile.dxf", dir.File("profile.dxf"));
    EXPECT_EQ(RemoveLeftoverTemporaryFiles(dir.File("profile.dxf")), 1);
    expected.insert({"real", "profile.dxf"});

    // A write removes its own file's leftovers first, never its own
    // temporary file and nothing of another file.
    touch("x.dat.tmp" + dead + "-99_5_fedcba98");
    touch("profile.dxf.tmp" + dead + "-99_6_fedcba98");
    expected.insert("x.dat.tmp" + dead + "-99_5_fedcba98");
    touch("real/profile.dxf.tmp" + dead + "-99_6_fedcba98");
    EXPECT_TRUE(WriteFileAtomic(dir.File("profile.dxf"), std::string_view("drawing")));
    EXPECT_EQ(Listing(dir.File("real")), std::set<std::string>{"profile.dxf"});
    expected.insert("profile.dxf.tmp" + dead + "-99_6_fedcba98");   // not beside the file written
    EXPECT_EQ(Listing(dir.path), expected);
    g_folder = dir.path;
    g_written = dir.File("SavedCol.dat");
    const FileSyncFunction normal = SetFileSyncForTesting(&SweepingSync);
    EXPECT_TRUE(WriteFileAtomic(g_written, std::string_view("saved")));
    EXPECT_TRUE(g_ownTempKept);
    expected.insert("SavedCol.dat");
    EXPECT_EQ(Listing(dir.path), expected);

    // A folder that cannot be flushed is reported; the new file is in place.
    SetFileSyncForTesting(&FolderSyncFails);
    g_folderSyncError = EIO;
    std::string err;
    EXPECT_FALSE(WriteFileAtomic(dir.File("SavedCol.dat"), std::string_view("again"), &err));
    EXPECT_NE(err.find("folder"), std::string::npos);
    EXPECT_EQ(Slurp(dir.File("SavedCol.dat")), "again");
    // A file system that cannot flush folders at all has nothing to report.
    g_folderSyncError = EINVAL;
    EXPECT_TRUE(WriteFileAtomic(dir.File("SavedCol.dat"), std::string_view("third")));
    SetFileSyncForTesting(normal);
    EXPECT_EQ(Listing(dir.path), expected);
}

TEST(Files, RecordAndBinaryFiles) {
    TempDir dir;
    std::string path = dir.File("zefprof.cfg");
    {
        RecordFile f(path, 128);
        EXPECT_EQ(f.RecordCount(), 0);
        EXPECT_EQ(f.Get(3), std::vector<uint8_t>(128, 0));   // beyond the end: zeros
        ByteWriter w;
        w.Integer(-2);
        w.FixedText("Gröund", 8);
        w.Single(0.25f);
        w.Boolean(true);
        f.Put(2, w.bytes);
        EXPECT_THROW(f.Put(0, w.bytes), VbError);
        EXPECT_THROW(f.Put(1, std::vector<uint8_t>(129, 1)), VbError);
        EXPECT_FALSE(FileExists(path));                      // written on Close only
        f.Close();
    }
    ASSERT_TRUE(FileExists(path));
    EXPECT_EQ(fs::file_size(path), 256u);
    {
        RecordFile f(path, 128);
        EXPECT_EQ(f.RecordCount(), 2);
        EXPECT_EQ(f.Get(1), std::vector<uint8_t>(128, 0));
        std::vector<uint8_t> rec = f.Get(2);
        ByteReader r(rec);
        EXPECT_EQ(r.Integer(), -2);
        EXPECT_EQ(r.FixedText(8), "Gröund  ");
        EXPECT_EQ(r.Single(), 0.25f);
        EXPECT_TRUE(r.Boolean());
        EXPECT_EQ(rec[4], 0xF6);   // "ö" is one Latin-1 byte
    }
    ByteWriter cut;
    cut.FixedText("€abcdef", 3);
    EXPECT_EQ(std::string(cut.bytes.begin(), cut.bytes.end()), "?ab");
    std::vector<uint8_t> shortRec{1};
    ByteReader past(shortRec);
    EXPECT_EQ(past.Long(), 1);      // missing bytes read as zeros
    EXPECT_EQ(past.Double(), 0.0);

    {
        BinaryFile b(dir.File("bin.dat"));
        b.Put(3, "xy", 2);
        EXPECT_EQ(b.Lof(), 4u);
        EXPECT_EQ(b.Get(1, 10), (std::vector<uint8_t>{0, 0, 'x', 'y'}));
        b.Close();
    }
    EXPECT_EQ(fs::file_size(dir.File("bin.dat")), 4u);
    // Opening where no file can be: folder missing, or a folder in its place.
    try {
        RecordFile bad(dir.File("none/x.cfg"), 128);
        ADD_FAILURE();
    } catch (const VbError& e) {
        EXPECT_EQ(e.Number(), errPathNotFound);
    }
    EXPECT_THROW(BinaryFile{dir.path}, VbError);
}

// A record file over a long file: records put land in their slots (the rest
// of each slot kept), every other byte stays, across the blocks in which a
// long file is copied and beyond its end; a link is followed and anything
// but a regular file refused.
TEST(Files, RecordFileKeepsEveryByteNoRecordCovers) {
    TempDir dir;
    fs::create_directory(dir.File("real"));
    const std::string real = dir.File("real/data.rec");
    const std::string path = dir.File("data.rec");
    fs::create_symlink(real, path);
    std::vector<uint8_t> expected(3 * (1 << 20) + 7);
    for (size_t i = 0; i < expected.size(); ++i) expected[i] = static_cast<uint8_t>(i * 7 % 251);
    ASSERT_TRUE(WriteFileAtomic(path, expected));

    // Slots of 100 bytes: slot 10486 spans the first 1 MiB boundary, slot
    // 31458 holds the end of the file, slot 31461 lies past it.
    const std::vector<int64_t> slots = {1, 2, 10486, 20000, 31458, 31461};
    {
        RecordFile f(path, 100);
        EXPECT_EQ(f.Lof(), expected.size());
        EXPECT_EQ(f.RecordCount(), 31458);
        EXPECT_EQ(f.Get(3), std::vector<uint8_t>(expected.begin() + 200, expected.begin() + 300));
        for (int64_t n : slots) {
            const std::vector<uint8_t> record(60, static_cast<uint8_t>(0xA0 + n % 50));
            f.Put(n, record);
            const uint64_t start = static_cast<uint64_t>(n - 1) * 100;
            if (start + 100 > expected.size()) expected.resize(start + 100, 0);
            std::copy(record.begin(), record.end(), expected.begin() + static_cast<std::ptrdiff_t>(start));
            EXPECT_EQ(f.Get(n), std::vector<uint8_t>(expected.begin() + static_cast<std::ptrdiff_t>(start),
                                                     expected.begin() + static_cast<std::ptrdiff_t>(start + 100)));
        }
        f.Put(2, std::vector<uint8_t>(10, 0x11));   // a shorter record over one put before
        std::fill(expected.begin() + 100, expected.begin() + 110, 0x11);
        EXPECT_EQ(f.Lof(), 31461u * 100);
        f.Close();
    }
    EXPECT_TRUE(fs::is_symlink(path));
    const auto written = ReadFileBytes(real);
    ASSERT_TRUE(written);
    ASSERT_EQ(written->size(), expected.size());
    EXPECT_TRUE(*written == expected);
    EXPECT_EQ(dir.Entries(), 2u);

    // A FIFO is refused at once, naming what it is.
    const std::string fifo = dir.File("fifo.rec");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    try {
        RecordFile f(fifo, 100);
        ADD_FAILURE() << "a FIFO was opened";
    } catch (const VbError& e) {
        EXPECT_EQ(e.Number(), 75);
        EXPECT_NE(e.Description().find("FIFO"), std::string::npos) << e.Description();
    }
}

// A write that fails partway (the file size limit reached) replaces
// nothing: the old file stays whole and no temporary file is left, and the
// failure is reported, by a record file's Close as a 75 naming it.
TEST(Files, AWriteThatFailsPartwayReplacesNothing) {
    TempDir dir;
    const std::string path = dir.File("data.rec");
    const std::vector<uint8_t> old(1000, 0x42);
    ASSERT_TRUE(WriteFileAtomic(path, old));
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    std::string error;
    const bool written = WriteFileAtomic(path, std::vector<uint8_t>(10000, 1), &error);
    std::string raised;
    try {
        RecordFile f(path, 100);
        f.Put(100, std::vector<uint8_t>(100, 2));
        f.Close();
    } catch (const VbError& e) {
        raised = std::to_string(e.Number()) + " " + e.Description();
    }
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(written);
    EXPECT_NE(error.find("cannot write"), std::string::npos) << error;
    EXPECT_EQ(raised.rfind("75 ", 0), 0u) << raised;
    EXPECT_NE(raised.find("cannot write"), std::string::npos) << raised;
    EXPECT_EQ(ReadFileBytes(path), old);
    EXPECT_EQ(dir.Entries(), 1u);
}

TEST(Files, ProgramFolder) {
    std::string exeFolder = App::Path();
    EXPECT_FALSE(exeFolder.empty());
    EXPECT_TRUE(fs::is_directory(exeFolder));
    EXPECT_TRUE(fs::exists(fs::path(exeFolder) / "test_platform_runtime"));
    App::SetPath("/tmp/somewhere/");
    EXPECT_EQ(App::Path(), "/tmp/somewhere");
    EXPECT_EQ(App::FilePath("SavedCol.dat"), "/tmp/somewhere/SavedCol.dat");
    App::SetPath("/");
    EXPECT_EQ(App::FilePath("a"), "/a");
    App::ResetPath();
    EXPECT_EQ(App::Path(), exeFolder);
}
