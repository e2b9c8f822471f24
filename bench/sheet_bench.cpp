// Workbook reading and the network-sheet import, each beside a baseline
// measured in the same run:
//   1. a sheet of 100,000 rows by 14 columns (written by libxlsxwriter) read
//      by our reader, beside python3-openpyxl reading it in read-only mode
//      (targets: at least 5 times faster, peak memory within 3 times);
//   2. hostile and huge workbooks (bench/make_sheet_bombs.py writes the
//      first two): 260 MB of empty elements in a 254 KB file (target:
//      refused or read within 256 MB, in under 5 s), 16.6 million cells in
//      a 491 KB file, and the largest sheet a spreadsheet allows, 1,048,576
//      rows by 14 columns of numbers (opens or is refused, never crashes);
//   3. a network sheet of 10,000 pipes imported through the running workbook
//      program over a private session bus, beside the same import with the
//      program in this process (target: within 2 times).
// Every read runs in a child process of its own, which reports its time and
// its peak resident memory (VmHWM), so that one read's memory does not hide
// in another's.  The program runs itself again under dbus-run-session for
// its private bus.
//
//   bench_sheet_bench [rows] [pipes] [largest]   (default: 100000 10000 1)
//   bench_sheet_bench --read <file>               (the child: one read)
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xlsxwriter.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

std::string SelfPath() { return std::filesystem::read_symlink("/proc/self/exe").string(); }

void Die(const std::string& why) { bench::Die("sheet_bench", why); }

// rows x 14: two manhole names, eight numbers, a lateral name, four
// coordinates; or, with `numbersOnly`, 14 numbers.
void WriteWideSheet(const std::string& path, int rows, bool numbersOnly = false) {
    lxw_workbook_options opts{};
    opts.constant_memory = LXW_TRUE;
    lxw_workbook* wb = workbook_new_opt(path.c_str(), &opts);
    lxw_worksheet* ws = workbook_add_worksheet(wb, nullptr);
    for (int r = 0; r < rows; ++r) {
        if (numbersOnly) {
            for (int c = 0; c < 14; ++c) worksheet_write_number(ws, r, c, r * 0.25 + c, nullptr);
            continue;
        }
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

// The peak resident memory of this process so far, in MB.
double PeakMegabytes() {
    FILE* f = std::fopen("/proc/self/status", "r");
    if (!f) return -1;
    char line[256];
    double kb = -1;
    while (std::fgets(line, sizeof line, f)) {
        if (std::strncmp(line, "VmHWM:", 6) == 0) kb = std::atof(line + 6);
    }
    std::fclose(f);
    return kb / 1024;
}

// The child's side: reads one file and prints "<seconds> <peak MB> <cells>
// <outcome>" on one line.
int ReadOnce(const char* path) {
    const auto t0 = Clock::now();
    std::string outcome = "read";
    size_t cells = 0;
    try {
        auto book = sheet::ReadWorkbook(path);
        for (const auto& s : book->sheets) cells += s->CellCount();
    } catch (const vb::VbError& e) {
        outcome = "refused: " + e.Description();
    } catch (const std::bad_alloc&) {
        outcome = "out of memory";
    }
    const double seconds = Seconds(t0, Clock::now());
    std::printf("%.3f %.1f %zu %s\n", seconds, PeakMegabytes(), cells, outcome.c_str());
    return 0;
}

struct Measure {
    double seconds = -1, peakMb = -1;
    long cells = 0;
    std::string outcome = "did not report";
};

Measure RunChild(const std::string& cmd) {
    Measure m;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) Die("cannot run " + cmd);
    char line[4096] = {};
    if (std::fgets(line, sizeof line, p)) {
        int used = 0;
        if (std::sscanf(line, "%lf %lf %ld %n", &m.seconds, &m.peakMb, &m.cells, &used) == 3) {
            m.outcome = line + used;
            while (!m.outcome.empty() && m.outcome.back() == '\n') m.outcome.pop_back();
            if (m.outcome.size() > 110) m.outcome = m.outcome.substr(0, 107) + "...";
        }
    }
    const int status = pclose(p);
    if (status != 0 && m.seconds < 0) m.outcome = "crashed (status " + std::to_string(status) + ")";
    return m;
}

// Our reader in a child process of its own; the best time of `runs`.
Measure OurRead(const std::string& path, int runs = 1) {
    Measure best;
    for (int i = 0; i < runs; ++i) {
        const Measure m = RunChild("'" + SelfPath() + "' --read '" + path + "' 2>&1");
        if (best.seconds < 0 || (m.seconds >= 0 && m.seconds < best.seconds)) best = m;
    }
    return best;
}

// python3-openpyxl reading the active sheet in read-only mode, touching
// every value.
Measure OpenpyxlRead(const std::string& path) {
    return RunChild(
        "/usr/bin/python3 -c 'import sys, time, openpyxl\n"
        "t = time.perf_counter()\n"
        "wb = openpyxl.load_workbook(sys.argv[1], read_only=True)\n"
        "n = 0\n"
        "for row in wb.active.iter_rows(values_only=True):\n"
        "    for v in row:\n"
        "        if v is not None: n += 1\n"
        "s = time.perf_counter() - t\n"
        "hwm = [l for l in open(\"/proc/self/status\") if l.startswith(\"VmHWM:\")][0].split()[1]\n"
        "print(\"%.3f %.1f %d read\" % (s, int(hwm) / 1024, n))' '" + path + "' 2>/dev/null");
}

void Row(const char* what, const char* reader, const Measure& m) {
    std::printf("  %-34s %-10s %8.3f s %8.1f MB %10ld cells  %s\n", what, reader, m.seconds, m.peakMb, m.cells,
                m.outcome.c_str());
}

void Reading(const std::string& dir, int rows, bool largest) {
    const std::string wide = dir + "/wide.xlsx";
    WriteWideSheet(wide, rows);
    std::printf("Reading workbooks, each in a child process (time, peak resident memory, cells, outcome):\n");
    const std::string label = std::to_string(rows) + " rows x 14 columns";
    const Measure ours = OurRead(wide, 3);
    const Measure py = OpenpyxlRead(wide);
    Row(label.c_str(), "ours", ours);
    Row(label.c_str(), "openpyxl", py);
    if (py.seconds > 0 && ours.seconds > 0) {
        std::printf("  %-34s speed %.1f x openpyxl's (target: at least 5), memory %.2f x openpyxl's (target: at most 3)\n",
                    "", py.seconds / ours.seconds, ours.peakMb / py.peakMb);
    }
    const std::string script = std::string(SEWER_SOURCE_DIR) + "/bench/make_sheet_bombs.py";
    if (std::system(("/usr/bin/python3 '" + script + "' '" + dir + "'").c_str()) != 0) Die("cannot run " + script);
    const Measure bomb = OurRead(dir + "/bomb.xlsx");
    Row("254 KB of 260 MB empty elements", "ours", bomb);
    std::printf("  %-34s target: refused or read within 256 MB in under 5 s: %s\n", "",
                bomb.seconds >= 0 && bomb.seconds < 5 && bomb.peakMb < 256 ? "met" : "NOT MET");
    Row("491 KB of 16.6 million cells", "ours", OurRead(dir + "/cells.xlsx"));
    if (largest) {
        const std::string big = dir + "/largest.xlsx";
        WriteWideSheet(big, sheet::kMaxRow, true);
        Row("1,048,576 rows x 14 numbers", "ours", OurRead(big));
        std::filesystem::remove(big);
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
    if (argc == 3 && std::strcmp(argv[1], "--read") == 0) return ReadOnce(argv[2]);
    bench::OnPrivateBus("sheet_bench", argc, argv);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int pipes = argc > 2 ? std::atoi(argv[2]) : 10000;
    const bool largest = argc > 3 ? std::atoi(argv[3]) != 0 : true;
    const std::string dir = (std::filesystem::temp_directory_path() / ("sheet_bench_" + std::to_string(getpid()))).string();
    std::filesystem::create_directories(dir);
    const int rc = vb::RunApplication(1, argv, [&] {
        Reading(dir, rows, largest);
        NetworkImport(dir, pipes);
    });
    std::filesystem::remove_all(dir);
    return rc;
}
