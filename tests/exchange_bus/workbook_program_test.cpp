// The whole road through the real workbook program on a private session
// bus (ctest runs this program under dbus-run-session): open a workbook in
// it from the main window, import its network from the project window, and
// find the laterals and pipes in the main window.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "platform/sheet/bus/attach.h"
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

}  // namespace
