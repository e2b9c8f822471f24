// Times reading and writing a drawing of 100,000 LINEs on layer SEWER, each
// with "MAA" and "sewer" extended data, beside python3-ezdxf reading the same
// file in the same run, and reports the memory the read drawing holds.
//     bench_dxf_bench [lines]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "platform/cad/document.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Resident memory of this process in bytes.
long long Resident() {
    std::ifstream in("/proc/self/statm");
    long long pages = 0, resident = 0;
    in >> pages >> resident;
    return resident * sysconf(_SC_PAGESIZE);
}

}  // namespace

// Reads the file in a fresh process, so that the memory figure is the read
// drawing's alone; prints the time and the resident growth in bytes.
int ReadAlone(const char* path) {
    long long before = Resident();
    auto t0 = std::chrono::steady_clock::now();
    cad::Document doc = cad::Document::ReadFile(path);
    double t = Seconds(t0);
    std::printf("%.6f %lld %zu\n", t, Resident() - before, doc.ModelSpaceHandles().size());
    return 0;
}

int main(int argc, char** argv) {
    if (argc > 2 && std::string(argv[1]) == "--read-alone") return ReadAlone(argv[2]);
    const int lines = argc > 1 ? std::atoi(argv[1]) : 100000;
    const std::string path = (std::filesystem::temp_directory_path() / "sewer_dxf_bench.dxf").string();

    // The drawing, made through the document's own views.
    auto t0 = std::chrono::steady_clock::now();
    {
        cad::Document doc = cad::Document::New();
        doc.AddLayer("SEWER");
        doc.SetActiveLayer("SEWER");
        for (int i = 1; i <= lines; ++i) {
            double x = (i % 1000) * 50.0, y = (i / 1000) * 50.0;
            std::string h = doc.AddLine({x, y, 100.0 + i % 7}, {x + 50, y, 99.5 + i % 7});
            cad::XData maa, sewer;
            maa.types = {1001, 1071, 1070, 1070, 1070, 1070, 1070, 1070};
            maa.values = {vb::Variant("MAA"), vb::Variant(int32_t(i)), vb::Variant(int16_t((i + 1) % lines)),
                          vb::Variant(int16_t(i - 1)), vb::Variant(int16_t(0)), vb::Variant(int16_t(0)),
                          vb::Variant(int16_t(0)), vb::Variant(int16_t(0))};
            sewer.types = {1001, 1000, 1000, 1000, 1040, 1040, 1040, 1040, 1000};
            sewer.values = {vb::Variant("sewer"), vb::Variant("MH" + std::to_string(i)), vb::Variant("MH" + std::to_string(i + 1)),
                            vb::Variant(""), vb::Variant(1.25), vb::Variant(0.5), vb::Variant(0.0), vb::Variant(0.0),
                            vb::Variant("Lateral" + std::to_string(i / 10))};
            cad::Record& e = *doc.MutableEntity(h);
            doc.SetXData(e, maa);
            doc.SetXData(e, sewer);
        }
        std::printf("build %d lines with extended data: %.3f s\n", lines, Seconds(t0));
        t0 = std::chrono::steady_clock::now();
        if (!doc.Save(path)) return 1;
        std::printf("write (atomic):                    %.3f s\n", Seconds(t0));
    }
    const double fileMb = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
    std::printf("file size:                         %.1f MB\n", fileMb);

    const std::string alone = path + ".alone";
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    if (std::system((self + " --read-alone " + path + " >" + alone).c_str()) == 0) {
        double t = 0;
        long long held = 0;
        size_t n = 0;
        std::ifstream in(alone);
        in >> t >> held >> n;
        std::printf("read in a fresh process:           %.3f s, %zu entities, %.1f MB held (%.1f times the file)\n", t, n,
                    held / 1e6, held / 1e6 / fileMb);
    }
    std::remove(alone.c_str());
    t0 = std::chrono::steady_clock::now();
    cad::Document doc = cad::Document::ReadFile(path);
    double ours = Seconds(t0);
    std::printf("read (this reader):                %.3f s, %zu model-space entities\n", ours,
                doc.ModelSpaceHandles().size());
    t0 = std::chrono::steady_clock::now();
    std::string text = doc.Write();
    std::printf("write again (to memory):           %.3f s\n", Seconds(t0));

    // The baseline: python3-ezdxf reading the same file, timed inside Python.
    const std::string out = path + ".ezdxf";
    std::string cmd = "/usr/bin/python3 -c \"import sys, time, ezdxf; t = time.perf_counter(); d = ezdxf.readfile(sys.argv[1]); "
                      "print('%.3f %d' % (time.perf_counter() - t, len(d.modelspace())))\" " +
                      path + " >" + out;
    if (std::system(cmd.c_str()) == 0) {
        double theirs = 0;
        long n = 0;
        std::ifstream in(out);
        in >> theirs >> n;
        std::printf("read (python3-ezdxf, baseline):    %.3f s, %ld entities\n", theirs, n);
        if (ours > 0) std::printf("reading is %.0f times as fast as the baseline\n", theirs / ours);
    } else {
        std::printf("python3-ezdxf is not available: no baseline\n");
    }
    std::remove(out.c_str());
    std::remove(path.c_str());
    return 0;
}
