// The memory the drawing program holds with a big drawing open, beside the
// document alone and python3-ezdxf's bare read of the same file, in one run.
// The drawings are R12 files of N circles on a few layers, written by this
// bench's own few lines (not by our document's writer).
//
//   bench_drawing_memory_bench [circles...]   (default: 250000 1000000)
//
// Each figure is one process's peak and current resident size (VmHWM and
// VmRSS of /proc/<pid>/status):
//   document alone   this program with --read-alone: reads the document, nothing else
//   program          sewercad started on the file (QT_QPA_PLATFORM=offscreen unless
//                    set), once it answers on the bus and its memory has settled
//                    after the first paint
//   ezdxf            /usr/bin/python3 -c "import ezdxf; ezdxf.readfile(...)"
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "bench/private_bus.h"
#include "platform/cad/bus/bus_client.h"
#include "platform/cad/document.h"

extern char** environ;

namespace {

void Die(const std::string& why) { bench::Die("drawing_memory_bench", why); }

struct Memory {
    long long peak = 0, now = 0;   // bytes
};

Memory MemoryOf(const std::string& pid) { return {bench::StatusBytes(pid, "VmHWM"), bench::StatusBytes(pid, "VmRSS")}; }

// An R12 drawing of n circles on four layers, each circle on its own spot of
// a square grid with a radius of its own.
void WriteCircles(const std::string& path, long n) {
    std::FILE* f = std::fopen(path.c_str(), "w");
    if (!f) Die("cannot write " + path);
    std::fputs("  0\nSECTION\n  2\nHEADER\n  9\n$ACADVER\n  1\nAC1009\n  0\nENDSEC\n"
               "  0\nSECTION\n  2\nTABLES\n  0\nTABLE\n  2\nLAYER\n 70\n4\n",
               f);
    const char* layers[] = {"MH", "PIPE", "LATERAL", "NOTE"};
    for (int i = 0; i < 4; ++i) std::fprintf(f, "  0\nLAYER\n  2\n%s\n 70\n0\n 62\n%d\n  6\nCONTINUOUS\n", layers[i], i + 1);
    std::fputs("  0\nENDTAB\n  0\nENDSEC\n  0\nSECTION\n  2\nENTITIES\n", f);
    const long side = static_cast<long>(std::ceil(std::sqrt(static_cast<double>(n))));
    for (long i = 0; i < n; ++i)
        std::fprintf(f, "  0\nCIRCLE\n  8\n%s\n 10\n%ld.5\n 20\n%ld.25\n 40\n%.2f\n", layers[i % 4], (i % side) * 3,
                     (i / side) * 3, 0.5 + (i % 97) / 100.0);
    std::fputs("  0\nENDSEC\n  0\nEOF\n", f);
    if (std::fclose(f) != 0) Die("cannot write " + path);
}

// Reads the drawing and nothing else; prints this process's memory.
int ReadAlone(const char* path) {
    cad::Document doc = cad::Document::ReadFile(path);
    Memory m = MemoryOf("self");
    std::printf("%lld %lld %zu\n", m.peak, m.now, doc.EntityRecords().size());
    return 0;
}

Memory DocumentAlone(const std::string& path) {
    const std::string cmd = std::filesystem::read_symlink("/proc/self/exe").string() + " --read-alone '" + path + "'";
    FILE* p = popen(cmd.c_str(), "r");
    Memory m;
    size_t records = 0;
    if (!p || std::fscanf(p, "%lld %lld %zu", &m.peak, &m.now, &records) != 3) Die("no figures from " + cmd);
    pclose(p);
    return m;
}

Memory Ezdxf(const std::string& path) {
    const std::string out = bench::RunPython(
        "import sys, ezdxf\n"
        "d = ezdxf.readfile(sys.argv[1])\n"
        "f = dict(l.split(\":\", 1) for l in open(\"/proc/self/status\"))\n"
        "print(int(f[\"VmHWM\"].split()[0]) * 1024, int(f[\"VmRSS\"].split()[0]) * 1024, len(d.modelspace()))",
        path);
    Memory m;
    long entities = 0;
    if (std::sscanf(out.c_str(), "%lld %lld %ld", &m.peak, &m.now, &entities) != 3) m = {};
    return m;
}

// sewercad on the file: it publishes itself on the bus before it opens the
// drawing and answers calls only once the drawing is open; then its memory
// is taken once it has stayed put for a second and the program answers again
// (the first paint done).
Memory Program(const std::string& path) {
    const char* exe = std::getenv("SEWER_BENCH_SEWERCAD") ? std::getenv("SEWER_BENCH_SEWERCAD") : SEWERCAD;
    char* argv[] = {const_cast<char*>(exe), const_cast<char*>(path.c_str()), nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, exe, nullptr, nullptr, argv, environ) != 0) Die("cannot start sewercad");
    cad::ClientRef running;
    for (int i = 0; i < 2400 && !(running = cad::bus::AttachBus()); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (!running) Die("sewercad did not appear on the bus");
    running->Version();
    const std::string id = std::to_string(pid);
    Memory m = MemoryOf(id);
    for (int still = 0; still < 10;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        Memory next = MemoryOf(id);
        still = next.now == m.now && next.peak == m.peak ? still + 1 : 0;
        m = next;
    }
    // A second call is answered only once a paint under way has ended.
    running->Version();
    m = MemoryOf(id);
    running.reset();
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    return m;
}

std::string Mb(long long bytes) {
    char s[32];
    std::snprintf(s, sizeof s, "%.0f", bytes / 1e6);
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 2 && std::string(argv[1]) == "--read-alone") return ReadAlone(argv[2]);
    bench::OnPrivateBus("drawing_memory_bench", argc, argv);
    setenv("QT_QPA_PLATFORM", std::getenv("QT_QPA_PLATFORM") ? std::getenv("QT_QPA_PLATFORM") : "offscreen", 1);
    std::vector<long> sizes;
    for (int i = 1; i < argc; ++i) sizes.push_back(std::atol(argv[i]));
    if (sizes.empty()) sizes = {250000, 1000000};

    const auto dir = std::filesystem::temp_directory_path() / ("sewer_drawing_memory_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    std::printf("Memory in MB (peak / current resident size of each process)\n");
    std::printf("%10s %8s  %17s  %17s  %17s  %s\n", "circles", "file", "document alone", "program", "ezdxf read",
                "program vs ezdxf (peak, current)");
    for (long n : sizes) {
        const std::string path = (dir / ("circles_" + std::to_string(n) + ".dxf")).string();
        WriteCircles(path, n);
        const long long file = static_cast<long long>(std::filesystem::file_size(path));
        const Memory doc = DocumentAlone(path), program = Program(path), ez = Ezdxf(path);
        auto pair = [](Memory m) { return Mb(m.peak) + " / " + Mb(m.now); };
        std::printf("%10ld %8s  %17s  %17s  %17s  ", n, Mb(file).c_str(), pair(doc).c_str(), pair(program).c_str(),
                    ez.peak ? pair(ez).c_str() : "(no ezdxf)");
        if (ez.peak)
            std::printf("%.2f, %.2f", static_cast<double>(program.peak) / ez.peak, static_cast<double>(program.now) / ez.now);
        std::printf("\n");
        std::fflush(stdout);
        std::filesystem::remove(path);
    }
    std::filesystem::remove_all(dir);
    return 0;
}
