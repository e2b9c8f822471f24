// Workbook reading and the network-sheet import, each beside a baseline
// measured in the same run:
//   1. a sheet of 100,000 rows by 14 columns (written by libxlsxwriter) read
//      by our reader, beside python3-openpyxl reading it in read-only mode
//      (target: at least 5 times faster);
//   2. a network sheet of 10,000 pipes imported through the running workbook
//      program over a private session bus, beside the same import with the
//      program in this process (target: within 2 times).
// The program runs itself again under dbus-run-session for its private bus.
//
//   bench_sheet_bench [rows] [pipes]   (default: 100000 10000)
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xlsxwriter.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "bench/private_bus.h"
#include "exchange/excel.h"
#include "exchange/sheet_import.h"
#include "mainwindow/form1.h"
#include "platform/sheet/bus/attach.h"
#include "platform/ui/ui.h"

extern char** environ;

namespace {

using bench::Clock;
using bench::Seconds;

void Die(const std::string& why) { bench::Die("sheet_bench", why); }

// rows x 14: two manhole names, eight numbers, a lateral name, four coordinates.
void WriteWideSheet(const std::string& path, int rows) {
    lxw_workbook_options opts{};
    opts.constant_memory = LXW_TRUE;
    lxw_workbook* wb = workbook_new_opt(path.c_str(), &opts);
    lxw_worksheet* ws = workbook_add_worksheet(wb, nullptr);
    for (int r = 0; r < rows; ++r) {
        const std::string a = "MH" + std::to_string(r), b = "MH" + std::to_string(r + 1);
        worksheet_write_string(ws, r, 0, a.c_str(), nullptr);
        worksheet_write_string(ws, r, 1, b.c_str(), nullptr);
        for (int c = 2; c < 9; ++c) worksheet_write_number(ws, r, c, 100.0 + r * 0.01 + c, nullptr);
        worksheet_write_string(ws, r, 9, "Lateral", nullptr);
        for (int c = 10; c < 14; ++c) worksheet_write_number(ws, r, c, r * 1.5 + c, nullptr);
    }
    if (workbook_close(wb) != LXW_NO_ERROR) Die("cannot write " + path);
}

// A network of `pipes` pipes: a trunk of 100 pipes and laterals of 99 pipes
// each, every lateral ending at a manhole of the trunk.
void WriteNetworkSheet(const std::string& path, int pipes) {
    lxw_workbook* wb = workbook_new(path.c_str());
    lxw_worksheet* ws = workbook_add_worksheet(wb, "Network");
    worksheet_write_string(ws, 0, 0, "From", nullptr);
    worksheet_write_string(ws, 1, 0, "", nullptr);
    int row = 2;
    auto pipe = [&](const std::string& from, const std::string& to, int k) {
        worksheet_write_string(ws, row, 0, from.c_str(), nullptr);
        worksheet_write_string(ws, row, 1, to.c_str(), nullptr);
        const double v[7] = {102.0 - k * 0.1, 101.9 - k * 0.1, 40, 99.0 - k * 0.1, 98.9 - k * 0.1, 300, 0.004};
        for (int c = 0; c < 7; ++c) worksheet_write_number(ws, row, 2 + c, v[c], nullptr);
        worksheet_write_string(ws, row, 9, "L", nullptr);
        for (int c = 0; c < 4; ++c) worksheet_write_number(ws, row, 10 + c, k * 40.0 + c, nullptr);
        ++row;
    };
    for (int k = 0; k < 100 && row - 2 < pipes; ++k) pipe("T" + std::to_string(k), "T" + std::to_string(k + 1), k);
    for (int lat = 1; row - 2 < pipes; ++lat) {
        for (int k = 0; k < 99 && row - 2 < pipes; ++k) {
            const std::string from = "L" + std::to_string(lat) + "-" + std::to_string(k);
            const std::string to = k == 98 ? "T" + std::to_string(lat % 100) : "L" + std::to_string(lat) + "-" + std::to_string(k + 1);
            pipe(from, to, k);
        }
    }
    worksheet_write_string(ws, row, 0, "END", nullptr);
    if (workbook_close(wb) != LXW_NO_ERROR) Die("cannot write " + path);
}

double OpenpyxlSeconds(const std::string& path, long& cells) {
    const std::string cmd =
        "/usr/bin/python3 -c 'import sys, time, openpyxl\n"
        "t = time.perf_counter()\n"
        "wb = openpyxl.load_workbook(sys.argv[1], read_only=True)\n"
        "n = 0\n"
        "for row in wb.active.iter_rows(values_only=True):\n"
        "    for v in row:\n"
        "        if v is not None: n += 1\n"
        "print(time.perf_counter() - t, n)' '" + path + "'";
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) Die("cannot run python3");
    double seconds = -1;
    if (std::fscanf(p, "%lf %ld", &seconds, &cells) != 2) seconds = -1;
    pclose(p);
    return seconds;
}

void WideSheet(const std::string& dir, int rows) {
    const std::string path = dir + "/wide.xlsx";
    WriteWideSheet(path, rows);
    double best = 1e9;
    size_t cells = 0;
    for (int i = 0; i < 3; ++i) {
        const auto t0 = Clock::now();
        auto book = sheet::ReadWorkbook(path);
        const auto t1 = Clock::now();
        best = std::min(best, Seconds(t0, t1));
        cells = book->sheets.at(0)->CellCount();
    }
    long pyCells = 0;
    const double py = OpenpyxlSeconds(path, pyCells);
    std::printf("Reading %d rows x 14 columns (%zu cells):\n", rows, cells);
    std::printf("  our reader           %8.3f s\n", best);
    if (py < 0) {
        std::printf("  openpyxl read-only   (python3-openpyxl not available)\n");
    } else {
        std::printf("  openpyxl read-only   %8.3f s  (%ld cells)\n", py, pyCells);
        std::printf("  ratio                %8.1f x faster (target: at least 5)\n", py / best);
    }
}

pid_t StartProgram() {
    pid_t pid = 0;
    char* argv[] = {const_cast<char*>(SEWERSHEET), nullptr};
    if (posix_spawn(&pid, SEWERSHEET, nullptr, nullptr, argv, environ) != 0) Die("cannot start sewersheet");
    for (int i = 0; i < 200 && !sheet::bus::AttachRunning(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (!sheet::bus::AttachRunning()) Die("sewersheet did not appear on the bus");
    return pid;
}

void NetworkImport(const std::string& dir, int pipes) {
    const std::string path = dir + "/network.xlsx";
    WriteNetworkSheet(path, pipes);
    auto dialogs = std::make_shared<vb::ScriptedDialogs>();
    vb::DialogSinkScope scope(dialogs);
    Form1 form;
    form.Load();

    auto import = [&](const std::shared_ptr<sheet::SheetClient>& app) {
        const auto t0 = Clock::now();
        app->OpenWorkbook(path);
        SetRunningExcelAttacher([app] { return app; });
        if (!ImportNetworkSheet(form, nullptr) || PipeCount != pipes) Die("the import failed");
        const auto t1 = Clock::now();
        app->CloseWorkbooks();
        return Seconds(t0, t1);
    };
    double local = 1e9, bus = 1e9;
    for (int i = 0; i < 3; ++i) local = std::min(local, import(std::make_shared<sheet::LocalApplication>()));
    const pid_t pid = StartProgram();
    auto running = sheet::bus::AttachRunning();
    for (int i = 0; i < 3; ++i) bus = std::min(bus, import(running));
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    SetRunningExcelAttacher(nullptr);

    std::printf("Importing a network sheet of %d pipes (%d laterals), open and import:\n", pipes, form.List1.ListCount());
    std::printf("  program in process   %8.3f s\n", local);
    std::printf("  running sewersheet   %8.3f s\n", bus);
    std::printf("  ratio                %8.2f (target: at most 2)\n", bus / local);
}

}  // namespace

int main(int argc, char** argv) {
    bench::OnPrivateBus("sheet_bench", argc, argv);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int pipes = argc > 2 ? std::atoi(argv[2]) : 10000;
    const std::string dir = (std::filesystem::temp_directory_path() / ("sheet_bench_" + std::to_string(getpid()))).string();
    std::filesystem::create_directories(dir);
    const int rc = vb::RunApplication(1, argv, [&] {
        WideSheet(dir, rows);
        NetworkImport(dir, pipes);
    });
    std::filesystem::remove_all(dir);
    return rc;
}
