// The drawing exchange at size: "Acad" (the drawing's preparation and the
// network read) on drawings of 3,000 and 30,000 pipes, and the preparation
// alone on a drawing of 100,000 lines, each timed with the drawing program in
// this process and through the running sewercad on a private session bus,
// beside our bare read of the same file and python3-ezdxf's, in one run.
// The drawings are written by scripts/make_bench_drawings.py into a
// temporary folder.
//
//   bench_acad_bench [pipes...] [--lines N]   (default: 3000 30000 --lines 100000)
//
// Each timed run is a child process of its own (this program with --one),
// so that its peak memory is its own; the figures are the best of the runs.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "exchange/acad.h"
#include "bench/private_bus.h"
#include "mainwindow/form1.h"
#include "platform/cad/bus/bus_client.h"
#include "platform/cad/document.h"
#include "platform/cad/local_client.h"
#include "platform/ui/testing.h"
#include "platform/ui/ui.h"

extern char** environ;

namespace {

using bench::Clock;
using bench::Seconds;

void Die(const std::string& why) { bench::Die("acad_bench", why); }

// Resets the peak resident size, so that VmHWM tells the peak from here on.
void ResetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

// One timed run in this process: "local" or "bus", "acad" (preparation and
// read) or "prepare".  Prints: preparation seconds, read seconds, peak
// memory growth in bytes, pipes read.
int One(const std::string& where, const std::string& what, const std::string& path) {
    auto dialogs = std::make_shared<vb::ScriptedDialogs>();
    vb::DialogSinkScope scope(dialogs);
    Form1 form;
    form.Load();
    std::unique_ptr<cad::Document> doc;
    if (where == "local") {
        doc = std::make_unique<cad::Document>(cad::Document::ReadFile(path));
        auto client = std::make_shared<cad::LocalClient>(doc.get());
        cad::SetAttacher([client] { return client; });
    } else {
        // The program publishes itself before it opens the drawing, and
        // serves calls only once the drawing is open.
        for (int i = 0; i < 600 && !cad::bus::AttachBus(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
        cad::ClientRef running = cad::bus::AttachBus();
        if (!running) Die("sewercad did not appear on the bus");
        running->Version();
        cad::bus::InstallBusAttacher();
    }
    PipeCount = 0;
    ResetPeak();
    const long long before = bench::StatusBytes("self", "VmRSS");
    const auto t0 = Clock::now();
    AcadPrepareDrawing();
    const auto t1 = Clock::now();
    if (what == "acad") AcadGetSewerData();
    const auto t2 = Clock::now();
    const long long peak = bench::StatusBytes("self", "VmHWM") - before;
    std::printf("%.6f %.6f %lld %d\n", Seconds(t0, t1), Seconds(t1, t2), peak, PipeCount);
    // The read's own messages other than the pipe count, for the reader of the table.
    for (const auto& m : dialogs->Messages())
        if (m.prompt != std::to_string(PipeCount)) std::fprintf(stderr, "  message: %s\n", m.prompt.substr(0, 300).c_str());
    return 0;
}

struct Run {
    double prepare = 1e9, read = 1e9, total = 1e9;
    long long peak = 0;
    int pipes = 0;
};

std::string Self() { return std::filesystem::read_symlink("/proc/self/exe").string(); }

// Runs --one in a child `times` times; the best total, and the largest peak.
Run Child(const std::string& where, const std::string& what, const std::string& path, int times) {
    Run best;
    for (int i = 0; i < times; ++i) {
        pid_t program = 0;
        if (where == "bus") {
            // SEWER_BENCH_SEWERCAD names another build of the program (to compare builds).
            const char* exe = std::getenv("SEWER_BENCH_SEWERCAD") ? std::getenv("SEWER_BENCH_SEWERCAD") : SEWERCAD;
            char* argv[] = {const_cast<char*>(exe), const_cast<char*>(path.c_str()), nullptr};
            if (posix_spawn(&program, exe, nullptr, nullptr, argv, environ) != 0) Die("cannot start sewercad");
        }
        const std::string cmd = Self() + " --one " + where + " " + what + " '" + path + "'";
        FILE* p = popen(cmd.c_str(), "r");
        if (!p) Die("cannot run " + cmd);
        Run r;
        if (std::fscanf(p, "%lf %lf %lld %d", &r.prepare, &r.read, &r.peak, &r.pipes) != 4) Die("no figures from " + cmd);
        pclose(p);
        if (program) {
            kill(program, SIGTERM);
            waitpid(program, nullptr, 0);
        }
        r.total = r.prepare + r.read;
        const long long peak = std::max(best.peak, r.peak);
        if (r.total < best.total) best = r;
        best.peak = peak;
    }
    return best;
}

double BareRead(const std::string& path) {
    double best = 1e9;
    for (int i = 0; i < 3; ++i) {
        const auto t0 = Clock::now();
        cad::Document d = cad::Document::ReadFile(path);
        best = std::min(best, Seconds(t0, Clock::now()));
    }
    return best;
}

double EzdxfRead(const std::string& path) {
    const std::string out = bench::RunPython(
        "import sys, time, ezdxf\n"
        "t = time.perf_counter()\n"
        "ezdxf.readfile(sys.argv[1])\n"
        "print(time.perf_counter() - t)",
        path);
    double s = -1;
    if (std::sscanf(out.c_str(), "%lf", &s) != 1) s = -1;
    return s;
}

struct Figures {
    Run local, bus;
};

Figures Report(const std::string& path, int count, bool readToo) {
    const double fileMb = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
    const double bare = BareRead(path);
    const double ez = EzdxfRead(path);
    const std::string what = readToo ? "acad" : "prepare";
    const Run local = Child("local", what, path, 3);
    const Run bus = Child("bus", what, path, 2);
    std::printf("%s of %d %s (%.1f MB):\n", readToo ? "\"Acad\"" : "Preparation", count, readToo ? "pipes" : "lines", fileMb);
    std::printf("  bare read (ours)          %8.3f s\n", bare);
    if (ez < 0)
        std::printf("  ezdxf.readfile            (python3-ezdxf not available)\n");
    else
        std::printf("  ezdxf.readfile            %8.3f s\n", ez);
    auto row = [&](const char* name, const Run& r) {
        std::printf("  %-25s %8.3f s  (preparation %.3f, read %.3f; %d pipes; peak +%.1f MB = %.1f x file)  %.1f x bare\n", name,
                    r.total, r.prepare, r.read, r.pipes, r.peak / 1e6, r.peak / 1e6 / fileMb, r.total / bare);
    };
    row("in process", local);
    row("through sewercad", bus);
    std::printf("  bus / in process          %8.2f x\n", bus.total / local.total);
    return {local, bus};
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::string(argv[1]) == "--one") {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        int rc = 0;
        const std::string where = argv[2], what = argv[3], path = argv[4];
        vb::RunApplication(1, argv, [&] { rc = One(where, what, path); });
        return rc;
    }
    bench::OnPrivateBus("acad_bench", argc, argv);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    std::vector<int> pipes;
    int lines = 100000;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--lines" && i + 1 < argc)
            lines = std::atoi(argv[++i]);
        else
            pipes.push_back(std::atoi(argv[i]));
    }
    if (pipes.empty()) pipes = {3000, 30000};

    const std::string dir = (std::filesystem::temp_directory_path() / ("acad_bench_" + std::to_string(getpid()))).string();
    std::string make = "/usr/bin/python3 " SEWER_SOURCE_DIR "/scripts/make_bench_drawings.py '" + dir + "'";
    for (int n : pipes) make += " " + std::to_string(n);
    if (lines > 0) make += " " + std::to_string(lines);
    std::printf("Writing the drawings with python3-ezdxf ...\n");
    std::fflush(stdout);
    if (std::system(make.c_str()) != 0) Die("the drawings could not be written (python3-ezdxf missing?)");

    std::vector<Figures> acad;
    for (int n : pipes) {
        acad.push_back(Report(dir + "/pipes_" + std::to_string(n) + ".dxf", n, true));
        std::fflush(stdout);
    }
    if (acad.size() > 1) {
        std::printf("Growth from %d to %d pipes (%.0f times the pipes): in process %.1f x, through sewercad %.1f x\n",
                    pipes.front(), pipes.back(), double(pipes.back()) / pipes.front(),
                    acad.back().local.total / acad.front().local.total, acad.back().bus.total / acad.front().bus.total);
    }
    if (lines > 0) Report(dir + "/pipes_" + std::to_string(lines) + ".dxf", lines, false);
    std::filesystem::remove_all(dir);
    return 0;
}
