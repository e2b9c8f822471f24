// Times saving and loading a network of 100,000 pipes (ten per lateral, each
// node value a four-element Variant array holding a Sewer, the pipe records
// turned into bytes by a handler like the main window's), beside writing and
// reading the same number of bytes as a plain file (the baseline).  Each is
// run three times and the fastest run counts, so that a busy machine
// disturbs the ratio less.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "model/node_collection.h"
#include "model/sewer.h"

using model::cNodeCollection;
using model::Sewer;
using vb::Variant;

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

Variant NodeValue(const std::string& name, int i) {
    auto pipe = std::make_shared<Sewer>();
    pipe->Name = name;
    pipe->Index = i;
    pipe->from = "M" + std::to_string(i);
    pipe->tom = "M" + std::to_string(i + 1);
    pipe->dia = 200;
    pipe->l = 50;
    pipe->felv = 102;
    pipe->slope = 0.004f;
    Variant v = Variant::MakeArray(vb::vbVariant, {{0, 3}});
    v.SetElement(0, Variant(name));
    v.SetElement(3, Variant(pipe));
    return v;
}

}  // namespace

int main(int argc, char** argv) {
    const int pipes = argc > 1 ? std::atoi(argv[1]) : 100000;
    cNodeCollection c;
    c.SerializeObject = model::SerializeSewerObject;
    int lateral = 0;
    for (int i = 1; i <= pipes; ++i) {
        if ((i - 1) % 10 == 0) {
            ++lateral;
            c.AddItem(NodeValue("Lateral" + std::to_string(lateral), i), "ObjLateral" + std::to_string(lateral), "", 2);
        }
        c.AddItem(NodeValue("Se " + std::to_string(i), i), "ObjSe " + std::to_string(i),
                  "ObjLateral" + std::to_string(lateral), 5);
    }

    std::vector<uint8_t> bytes;
    double save = 1e9, load = 1e9, plain = 1e9;
    const auto path = std::filesystem::temp_directory_path() / "collection_bench.dat";
    for (int run = 0; run < 3; ++run) {
        auto t0 = std::chrono::steady_clock::now();
        bytes.clear();
        if (!c.SaveCollection(bytes)) {
            std::fprintf(stderr, "save failed\n");
            return 1;
        }
        save = std::min(save, Seconds(t0));

        cNodeCollection d;
        d.SerializeObject = model::SerializeSewerObject;
        t0 = std::chrono::steady_clock::now();
        if (!d.LoadCollection(bytes) || d.ItemCount() != c.ItemCount()) {
            std::fprintf(stderr, "load failed\n");
            return 1;
        }
        load = std::min(load, Seconds(t0));

        // The same bytes through a plain file.
        t0 = std::chrono::steady_clock::now();
        {
            std::ofstream out(path, std::ios::binary);
            out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        }
        std::vector<uint8_t> back(bytes.size());
        {
            std::ifstream in(path, std::ios::binary);
            in.read(reinterpret_cast<char*>(back.data()), static_cast<std::streamsize>(back.size()));
        }
        plain = std::min(plain, Seconds(t0));
        std::filesystem::remove(path);
    }

    std::printf("nodes %d, bytes %zu (%.1f MB)\n", c.ItemCount(), bytes.size(), bytes.size() / 1e6);
    std::printf("save %.3f s, load %.3f s, round trip %.3f s\n", save, load, save + load);
    std::printf("plain file write+read of the same bytes %.3f s; round trip / plain file = %.1f\n", plain,
                (save + load) / plain);
    return 0;
}
