// The whole road through the real workbook program on a private session
// bus (ctest runs this program under dbus-run-session): open a workbook in
// it from the main window, import its network from the project window, and
// find the laterals and pipes in the main window.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <xlsxwriter.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <functional>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/sheet/bus/attach.h"
#include "platform/sheet/bus/names.h"
#include "platform/sheet/bus/service.h"
#include "projectdata/form3.h"
#include "tests/exchange/exchange_fixture.h"

extern char** environ;

namespace {

using Strings = std::vector<std::string>;

class WorkbookProgramTest : public Form1Test {
protected:
    void SetUp() override {
        Form1Test::SetUp();
        ASSERT_NE(std::getenv("DBUS_SESSION_BUS_ADDRESS"), nullptr) << "run under dbus-run-session";
        char* argv[] = {const_cast<char*>(SEWERSHEET), nullptr};
        ASSERT_EQ(posix_spawn(&pid_, SEWERSHEET, nullptr, nullptr, argv, environ), 0);
        for (int i = 0; i < 200 && !sheet::bus::AttachRunning(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        ASSERT_NE(sheet::bus::AttachRunning(), nullptr) << "sewersheet did not take its name on the bus";
    }
    void TearDown() override {
        StopProgram();
        ExcelApp.reset();
        ExcelSheet.reset();
        Form1Test::TearDown();
    }
    void StopProgram() {
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = 0;
        for (int i = 0; i < 100 && sheet::bus::AttachRunning(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    Strings Prompts() {
        Strings out;
        for (const auto& m : dialogs().Messages()) out.push_back(m.prompt);
        return out;
    }
    // What the program holds in memory now.
    long long ResidentBytes() const {
        std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
        for (std::string line; std::getline(status, line);)
            if (line.rfind("VmRSS:", 0) == 0) return std::atoll(line.c_str() + 6) * 1024;
        ADD_FAILURE() << "no VmRSS for the program";
        return 0;
    }
    pid_t pid_ = 0;
};

TEST_F(WorkbookProgramTest, OpenThenImportThroughTheRunningProgram) {
    // A file the program cannot read: its message comes back over the bus.
    dialogs().QueueFile(SheetData("bad/bomb.xlsx"));
    f().ImportExcelWorkbook();
    ASSERT_EQ(dialogs().Messages().size(), 1u);
    EXPECT_NE(Prompts()[0].find("inflates past the limit"), std::string::npos) << Prompts()[0];

    dialogs().ClearLog();
    dialogs().QueueFile(SheetData("network_xlsxwriter.xlsx"));
    f().ImportExcelWorkbook();
    EXPECT_TRUE(dialogs().Messages().empty());
    EXPECT_EQ(ExcelBook, "network_xlsxwriter.xlsx");
    EXPECT_TRUE(ExcelApp->Visible());

    Form3& w = Form3Window();
    w.Show();
    w.Command7_Click();
    w.Comman20.Click();
    EXPECT_EQ(Prompts(), (Strings{"2", "Get Excel..."}));
    EXPECT_EQ(TopLevelKeys(), (Strings{"ObjSewer", "ObjLateral 1", "ObjLateral 2"}));
    EXPECT_EQ(f().List1.ListCount(), 2);
    EXPECT_EQ(TabCaptions(f().UserControl11), (Strings{"Lateral 1", "Lateral 2"}));
    EXPECT_EQ(PipeCount, 4);
    ASSERT_NE(Rec("Se 3"), nullptr);
    EXPECT_EQ(Rec("Se 3")->lat, "Lateral 2");
    EXPECT_FLOAT_EQ(Rec("Se 1")->mincover, 2.7f);

    // Choosing the lateral shows its pipes in the main window.
    f().List1.ListIndex(1);
    Strings pipes;
    for (int i = 0; i < f().List2.ListCount(); ++i) pipes.push_back(f().List2.List(i));
    EXPECT_EQ(pipes, (Strings{"Se 4", "Se 2", "Se 3"}));

    // With the program gone, the import says so once and changes nothing.
    StopProgram();
    dialogs().ClearLog();
    auto before = f().myCol;
    w.Command7_Click();
    w.Comman20.Click();
    EXPECT_EQ(Prompts(), Strings{"Please Open Excle file"});
    EXPECT_EQ(f().myCol, before);
    w.Hide();
}


// Damaged .xls files: the program refuses each with a sentence saying what
// is wrong, and goes on serving: a good workbook opens at once afterwards.
TEST_F(WorkbookProgramTest, DamagedXlsFilesAreRefusedAndTheProgramServesOn) {
    const std::pair<const char*, const char*> damaged[] = {
        {"bad/xls_sector_loop.xls", "the file's sector chain of stream \"Workbook\" loops at sector"},
        {"bad/xls_record_past_end.xls", "sheet \"Network\": LABELSST record at byte"},
    };
    for (const auto& [file, sentence] : damaged) {
        SCOPED_TRACE(file);
        dialogs().ClearLog();
        dialogs().QueueFile(SheetData(file));
        f().ImportExcelWorkbook();
        ASSERT_EQ(dialogs().Messages().size(), 1u);
        EXPECT_NE(Prompts()[0].find(sentence), std::string::npos) << Prompts()[0];
    }
    dialogs().ClearLog();
    dialogs().QueueFile(SheetData("network_xlwt.xls"));
    const auto start = std::chrono::steady_clock::now();
    f().ImportExcelWorkbook();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_TRUE(dialogs().Messages().empty()) << Prompts()[0];
    EXPECT_EQ(ExcelBook, "network_xlwt.xls");
    EXPECT_EQ(vb::CStr(ExcelApp->ActiveSheet()->Value(3, 1)), "MH1");
}

// Workbooks of the 1904 date system through the running program: numbers
// in formats that show a date arrive as serials of the 1900 system, a time
// of day as it is stored, from the .xlsx and the .xls alike.
TEST_F(WorkbookProgramTest, DatesOfThe1904SystemArriveAsTheir1900Serials) {
    dialogs().QueueFile(SheetData("dates1904_openpyxl.xlsx"));
    f().ImportExcelWorkbook();
    ASSERT_TRUE(dialogs().Messages().empty()) << Prompts()[0];
    auto dates = ExcelApp->ActiveSheet();
    ASSERT_NE(dates, nullptr);
    EXPECT_EQ(dates->Value(2, 17).RawDouble(), 45293.625);   // 2024-01-02 15:00, a date format
    EXPECT_EQ(dates->Value(3, 17).RawDouble(), 45293.625);   // and a date-time format
    EXPECT_EQ(dates->Value(4, 17).RawDouble(), 0.75);        // 18:00

    dialogs().QueueFile(SheetData("dates1904_xlwt.xls"));
    f().ImportExcelWorkbook();
    ASSERT_TRUE(dialogs().Messages().empty()) << Prompts()[0];
    dates = ExcelApp->ActiveSheet();
    ASSERT_NE(dates, nullptr);
    EXPECT_EQ(dates->Value(10, 2).RawDouble(), 45000.75 + 1462);   // YYYY-MM-DD
    EXPECT_EQ(dates->Value(10, 4).RawDouble(), 45000.75);          // hh:mm
}

// A call to the running program on the given connection.
QDBusMessage CallOn(const QDBusConnection& bus, const char* member, const QList<QVariant>& args, int timeoutMs) {
    QDBusMessage m = QDBusMessage::createMethodCall(sheet::bus::kService, sheet::bus::kPath, sheet::bus::kInterface,
                                                    QString::fromLatin1(member));
    m.setArguments(args);
    return QDBusConnection(bus).call(m, QDBus::Block, timeoutMs);
}

// The tallest sheet a workbook can hold, 1,048,576 rows of a pipe name and
// three numbers, written by libxlsxwriter; row 3 ends the network ("END"),
// so that an import reads none of it.  Its byte form is beyond what one bus
// message can carry.
std::string WriteTallestSheet() {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("sewer_sheet_bus_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string path = (dir / "tallest.xlsx").string();
    lxw_workbook_options opts{};
    opts.constant_memory = LXW_TRUE;
    lxw_workbook* wb = workbook_new_opt(path.c_str(), &opts);
    lxw_worksheet* ws = workbook_add_worksheet(wb, "Pipes");
    worksheet_write_string(ws, 0, 0, "From", nullptr);
    worksheet_write_string(ws, 2, 0, "END", nullptr);
    for (lxw_row_t r = 3; r < static_cast<lxw_row_t>(sheet::kMaxRow); ++r) {
        worksheet_write_string(ws, r, 0, ("Se " + std::to_string(r + 1)).c_str(), nullptr);
        for (lxw_col_t c = 1; c < 4; ++c) worksheet_write_number(ws, r, c, r + 0.25 * c, nullptr);
    }
    EXPECT_EQ(workbook_close(wb), LXW_NO_ERROR);
    return path;
}

TEST_F(WorkbookProgramTest, HostileCallsAndTheTallestSheetLeaveItServing) {
    auto serving = [](const std::string& after) {
        QDBusMessage r = CallOn(QDBusConnection::sessionBus(), "IsVisible", {}, 1000);
        EXPECT_EQ(r.type(), QDBusMessage::ReplyMessage) << "after " << after << ": " << r.errorMessage().toStdString();
    };
    // File names beyond what libdbus reads by default, as a new caller's
    // first message: refused naming the limit, without quoting the name.
    QDBusConnection hostile = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("hostile"));
    for (int megabytes : {70, 100}) {
        QDBusMessage r = CallOn(hostile, "Open", {QString(megabytes * 1000000, QLatin1Char('x'))}, 20000);
        EXPECT_EQ(r.errorName().toStdString(), "org.freedesktop.DBus.Error.LimitsExceeded") << r.errorMessage().toStdString();
        EXPECT_NE(r.errorMessage().indexOf(QStringLiteral("4096")), -1) << r.errorMessage().toStdString();
        EXPECT_LT(r.errorMessage().size(), 300);
        serving(std::to_string(megabytes) + " MB file name");
    }
    // A part asked for out of turn.
    QDBusMessage r = CallOn(hostile, "ActiveSheetPart", {QVariant::fromValue(0u)}, 5000);
    EXPECT_EQ(r.type(), QDBusMessage::ErrorMessage);

    // The tallest sheet takes seconds to read.  Meanwhile every other
    // caller is answered from the workbooks as they stand; an Open beyond
    // the two being read is refused; each Open's reply comes when its
    // workbook is open.
    const std::string path = WriteTallestSheet();
    auto app = sheet::bus::AttachRunning();
    ASSERT_NE(app, nullptr);
    QDBusMessage open = QDBusMessage::createMethodCall(sheet::bus::kService, sheet::bus::kPath, sheet::bus::kInterface,
                                                       QStringLiteral("Open"));
    open.setArguments({QString::fromStdString(path)});
    std::vector<QDBusPendingCall> opening;
    for (int k = 0; k < 2; ++k) opening.push_back(hostile.asyncCall(open, 60000));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));   // for the Opens to reach the program
    serving("an Open of the tallest sheet in flight");
    r = CallOn(QDBusConnection::sessionBus(), "ActiveWorkbook", {}, 1000);
    EXPECT_EQ(r.arguments().value(0).toString().toStdString(), "") << r.errorMessage().toStdString();
    r = CallOn(QDBusConnection::sessionBus(), "Open", {QString::fromStdString(path)}, 1000);
    EXPECT_EQ(r.errorMessage().toStdString(),
              "the workbook program is already reading 2 workbooks; try again when they are open");
    for (QDBusPendingCall& call : opening) {
        call.waitForFinished();
        EXPECT_FALSE(call.isError()) << call.error().message().toStdString();
    }
    EXPECT_EQ(app->ActiveWorkbook(), "tallest.xlsx");
    r = CallOn(hostile, "ActiveSheetParts", {}, 60000);
    ASSERT_EQ(r.type(), QDBusMessage::ReplyMessage) << r.errorMessage().toStdString();
    const uint parts = r.arguments().value(0).toUInt();
    const qulonglong bytes = r.arguments().value(1).toULongLong();
    EXPECT_GT(bytes, 64ull << 20);
    EXPECT_EQ(parts, (bytes + sheet::bus::kSheetPartBytes - 1) / sheet::bus::kSheetPartBytes);
    r = CallOn(hostile, "ActiveSheetPart", {QVariant::fromValue(parts)}, 5000);
    EXPECT_EQ(r.errorName().toStdString(), "org.freedesktop.DBus.Error.InvalidArgs") << r.errorMessage().toStdString();
    // More callers asking for the same sheet and never fetching it: the
    // program holds its byte form once, not once per caller.
    const long long before = ResidentBytes();
    for (int k = 0; k < 3; ++k) {
        const QString name = QStringLiteral("asker%1").arg(k);
        r = CallOn(QDBusConnection::connectToBus(QDBusConnection::SessionBus, name), "ActiveSheetParts", {}, 60000);
        EXPECT_EQ(r.arguments().value(1).toULongLong(), bytes) << r.errorMessage().toStdString();
        QDBusConnection::disconnectFromBus(name);
    }
    EXPECT_LT(ResidentBytes() - before, static_cast<long long>(bytes)) << "each caller's sheet held apart";
    // Parts of 16 MiB.  Four callers' sheets are kept: the first caller's
    // is there still after three more asked, and let go when a fifth asks.
    r = CallOn(hostile, "ActiveSheetPart", {QVariant::fromValue(0u)}, 60000);
    EXPECT_EQ(r.arguments().value(0).toByteArray().size(), 16 << 20) << r.errorMessage().toStdString();
    CallOn(QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("asker3")), "ActiveSheetParts", {}, 60000);
    QDBusConnection::disconnectFromBus(QStringLiteral("asker3"));
    r = CallOn(hostile, "ActiveSheetPart", {QVariant::fromValue(1u)}, 5000);
    EXPECT_EQ(r.type(), QDBusMessage::ErrorMessage);
    QDBusConnection::disconnectFromBus(QStringLiteral("hostile"));
    std::shared_ptr<const sheet::Sheet> tall = app->ActiveSheet();
    ASSERT_NE(tall, nullptr);
    EXPECT_EQ(tall->LastRow(), sheet::kMaxRow);
    EXPECT_EQ(tall->LastCol(), 4);
    EXPECT_EQ(tall->CellCount(), 2u + 4u * (sheet::kMaxRow - 3));
    EXPECT_EQ(tall->Value(sheet::kMaxRow, 1).RawString(), "Se 1048576");
    EXPECT_EQ(tall->Value(sheet::kMaxRow, 4).RawDouble(), sheet::kMaxRow - 1 + 0.75);
    EXPECT_EQ(tall->Value(4, 2).RawDouble(), 3.25);
    serving("sending the tallest sheet");

    // The design tool's import gets it through the running program too.
    Form3& w = Form3Window();
    w.Show();
    w.Command7_Click();
    w.Comman20.Click();
    EXPECT_EQ(Prompts(), (Strings{"0", "Get Excel..."}));
    ASSERT_NE(ExcelSheet, nullptr);
    EXPECT_EQ(ExcelSheet->CellCount(), tall->CellCount());
    w.Hide();
    std::filesystem::remove(path);
}

// The workbook program's bus side in this process, its reads held: each
// read runs when the test says, so that reads end in the order the test
// needs, without waiting on the clock.  Callers reach it over the bus.
class HeldReads : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(std::getenv("DBUS_SESSION_BUS_ADDRESS"), nullptr) << "run under dbus-run-session";
        service_ = std::make_unique<sheet::bus::ApplicationService>(
            app_, nullptr, [this](std::function<void()> read) { held_.push_back(std::move(read)); });
        QString error;
        ASSERT_TRUE(service_->Publish(&error)) << error.toStdString();
    }
    void TearDown() override {
        service_.reset();
        QDBusConnection::sessionBus().unregisterService(sheet::bus::kService);
        QDBusConnection::disconnectFromBus(QStringLiteral("caller"));
    }
    QDBusPendingCall Call(const char* member, const QList<QVariant>& args = {}) {
        QDBusMessage m = QDBusMessage::createMethodCall(sheet::bus::kService, sheet::bus::kPath, sheet::bus::kInterface,
                                                        QString::fromLatin1(member));
        m.setArguments(args);
        return caller_.asyncCall(m, 20000);
    }
    QDBusPendingCall Open(const std::string& path) { return Call("Open", {QString::fromStdString(path)}); }
    // Serves calls until the reply comes.
    static QDBusMessage Reply(const QDBusPendingCall& call) {
        QDBusPendingCallWatcher watcher(call);
        QEventLoop loop;
        QObject::connect(&watcher, &QDBusPendingCallWatcher::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(20000, &loop, &QEventLoop::quit);
        if (!watcher.isFinished()) loop.exec();
        EXPECT_TRUE(watcher.isFinished()) << "no reply";
        return watcher.reply();
    }
    // What a call that only looks answers now.  The program handles one
    // caller's calls in order, so every call sent before it has been handled.
    std::string Active() { return Reply(Call("ActiveWorkbook")).arguments().value(0).toString().toStdString(); }
    // Runs held read k to its end and hands its result to the service.
    void EndRead(size_t k) {
        ASSERT_LT(k, held_.size());
        held_[k]();
        QCoreApplication::sendPostedEvents();
    }
    sheet::LocalApplication app_;
    std::unique_ptr<sheet::bus::ApplicationService> service_;
    std::vector<std::function<void()>> held_;
    QDBusConnection caller_ = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("caller"));
};

std::string Name(const sheet::LocalApplication& app) {
    std::string out;
    for (const auto& b : app.Workbooks()) out += b->name + " ";
    return out;
}

TEST_F(HeldReads, OpenAndCloseTakeEffectInTheOrderTheyCame) {
    // A opens a large workbook, B then a small one whose read ends first:
    // B's workbook is the active one at the end, not A's.
    QDBusPendingCall a = Open(SheetData("network_openpyxl.xlsx"));
    QDBusPendingCall b = Open(SheetData("network_xlsxwriter.xlsx"));
    EXPECT_EQ(Active(), "");
    ASSERT_EQ(held_.size(), 2u);
    // A third read is refused while two run.
    EXPECT_EQ(Reply(Open(SheetData("types_openpyxl.xlsx"))).errorMessage().toStdString(),
              "the workbook program is already reading 2 workbooks; try again when they are open");
    EndRead(1);
    // B's read has ended, but B came after A: nothing has changed yet, and
    // the calls that only look are answered.  B's workbook, held until A's
    // takes effect, still counts against the reads.
    EXPECT_EQ(Active(), "");
    EXPECT_FALSE(b.isFinished());
    EXPECT_EQ(Reply(Open(SheetData("types_openpyxl.xlsx"))).errorName().toStdString(),
              "org.freedesktop.DBus.Error.LimitsExceeded");
    EXPECT_EQ(held_.size(), 2u);
    EndRead(0);
    EXPECT_EQ(Reply(a).type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(Reply(b).type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(Active(), "network_xlsxwriter.xlsx");
    EXPECT_EQ(Name(app_), "network_openpyxl.xlsx network_xlsxwriter.xlsx ");

    // A Close that comes while a read runs waits for it: the workbook read
    // does not come back after it.  Sixteen calls may wait; the next one is
    // refused.
    QDBusPendingCall c = Open(SheetData("types_openpyxl.xlsx"));
    std::vector<QDBusPendingCall> closes;
    for (int k = 0; k < 15; ++k) closes.push_back(Call("Close"));
    EXPECT_EQ(Active(), "network_xlsxwriter.xlsx");
    QDBusMessage refused = Reply(Call("Close"));
    EXPECT_EQ(refused.errorName().toStdString(), "org.freedesktop.DBus.Error.LimitsExceeded");
    EXPECT_NE(refused.errorMessage().indexOf(QStringLiteral("16 calls waiting")), -1) << refused.errorMessage().toStdString();
    EXPECT_EQ(app_.Workbooks().size(), 2u);
    EndRead(2);
    EXPECT_EQ(Reply(c).type(), QDBusMessage::ReplyMessage);
    for (auto& close : closes) EXPECT_EQ(Reply(close).type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(Name(app_), "");
    EXPECT_EQ(Active(), "");

    // A read that fails keeps its place too: its error comes before the
    // later Open takes effect.
    QDBusPendingCall bad = Open(SheetData("bad/bad_xml.xlsx"));
    QDBusPendingCall good = Open(SheetData("network_xlsxwriter.xlsx"));
    EXPECT_EQ(Active(), "");
    EndRead(4);
    EXPECT_EQ(Active(), "");
    EndRead(3);
    EXPECT_NE(Reply(bad).errorMessage().indexOf(QStringLiteral("bad XML")), -1);
    EXPECT_EQ(Reply(good).type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(Active(), "network_xlsxwriter.xlsx");
    // With nothing being read, Close answers at once.
    EXPECT_EQ(Reply(Call("Close")).type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(Name(app_), "");
}

// File names are limited in bytes of UTF-8, not in characters.
TEST_F(HeldReads, AFileNameIsLimitedInBytes) {
    auto refusal = [&](const std::string& path) {
        const QDBusMessage r = Reply(Open(path));
        return r.errorName().toStdString() + " " + r.errorMessage().toStdString();
    };
    const std::string e = "\xC3\xA9", euro = "\xE2\x82\xAC";   // two bytes, three bytes
    std::string atLimit;
    for (int k = 0; k < 2048; ++k) atLimit += e;
    EXPECT_EQ(refusal(""), "org.freedesktop.DBus.Error.InvalidArgs No file name given");
    // 4,096 bytes: taken and read (and the read fails on its own).
    QDBusPendingCall taken = Open(atLimit);
    EXPECT_EQ(Active(), "");
    ASSERT_EQ(held_.size(), 1u);
    EndRead(0);
    EXPECT_NE(Reply(taken).errorMessage().indexOf(QStringLiteral("Cannot open")), -1);
    // One byte more, and 1,366 characters of three bytes each: refused.
    std::string euros;
    for (int k = 0; k < 1366; ++k) euros += euro;
    for (const std::string& path : {atLimit + "x", euros}) {
        EXPECT_EQ(refusal(path), "org.freedesktop.DBus.Error.LimitsExceeded A file name is at most 4096 bytes long");
    }
    EXPECT_EQ(held_.size(), 1u);
}

}  // namespace
