// Times the keyed tree on networks shaped like the program's: laterals as
// top-level nodes ("ObjLateral" & n), ten pipes under each ("ObjSe " & n),
// every value a four-element Variant array whose element 3 is a Sewer.
// Phases: build with AddItem, look every key up, remove a tenth of the pipes.
#include <chrono>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "model/node_collection.h"
#include "model/sewer.h"

using model::cNodeCollection;
using vb::Variant;

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

Variant NodeValue(const std::string& name) {
    auto pipe = std::make_shared<model::Sewer>();
    pipe->Name = name;
    pipe->dia = 200;
    pipe->l = 50;
    Variant v = Variant::MakeArray(vb::vbVariant, {{0, 3}});
    v.SetElement(0, Variant(name));
    v.SetElement(3, Variant(pipe));
    return v;
}

}  // namespace

int main() {
    std::printf("%9s %10s %10s %10s %12s %12s\n", "pipes", "build s", "lookup s", "remove s",
                "build us/n", "lookup us/n");
    for (int n : {1000, 10000, 100000}) {
        const int perLateral = 10;
        cNodeCollection c;
        auto t0 = std::chrono::steady_clock::now();
        int lateral = 0;
        for (int i = 1; i <= n; ++i) {
            if ((i - 1) % perLateral == 0) {
                ++lateral;
                c.AddItem(NodeValue("Lateral" + std::to_string(lateral)), "ObjLateral" + std::to_string(lateral), "", 2);
            }
            c.AddItem(NodeValue("Se " + std::to_string(i)), "ObjSe " + std::to_string(i),
                      "ObjLateral" + std::to_string(lateral), 5);
        }
        double build = Seconds(t0);

        t0 = std::chrono::steady_clock::now();
        long found = 0;
        for (int i = 1; i <= n; ++i) {
            Variant v = c.Item("ObjSe " + std::to_string(i));
            found += v.IsArray();
        }
        for (int i = 1; i <= lateral; ++i) found += c.KeyToIndex("ObjLateral" + std::to_string(i)) > 0;
        double lookup = Seconds(t0);
        if (found != n + lateral) {
            std::fprintf(stderr, "lookup found %ld of %d\n", found, n + lateral);
            return 1;
        }

        std::mt19937 rng(7);
        std::vector<int> victims;
        for (int i = 1; i <= n; ++i) victims.push_back(i);
        std::shuffle(victims.begin(), victims.end(), rng);
        victims.resize(static_cast<size_t>(n / 10));
        t0 = std::chrono::steady_clock::now();
        for (int i : victims) c.RemoveItem("ObjSe " + std::to_string(i));
        double remove = Seconds(t0);
        if (c.ItemCount() != n + lateral - n / 10) {
            std::fprintf(stderr, "count after removal %d\n", c.ItemCount());
            return 1;
        }
        std::printf("%9d %10.4f %10.4f %10.4f %12.3f %12.3f\n", n, build, lookup, remove, build * 1e6 / n,
                    lookup * 1e6 / n);
    }
    return 0;
}
