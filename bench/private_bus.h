// What the benches that drive our programs over the session bus share: the
// clock, the way they give up, and running again on a private bus.
#pragma once

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;
inline double Seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

// Says why on stderr, named by the bench, and ends the run.
[[noreturn]] inline void Die(const char* bench, const std::string& why) {
    std::fprintf(stderr, "%s: %s\n", bench, why.c_str());
    std::exit(1);
}

// Runs this program again under dbus-run-session, once, so that the
// programs it starts take their bus names on a bus of its own; returns in
// the program so started.
inline void OnPrivateBus(const char* bench, int argc, char** argv) {
    if (std::getenv("SEWER_BENCH_PRIVATE_BUS")) return;
    setenv("SEWER_BENCH_PRIVATE_BUS", "1", 1);
    std::vector<char*> args = {const_cast<char*>("dbus-run-session"), const_cast<char*>("--")};
    for (int i = 0; i < argc; ++i) args.push_back(argv[i]);
    args.push_back(nullptr);
    execvp("dbus-run-session", args.data());
    Die(bench, "cannot run dbus-run-session");
}

// Runs Debian's python3 (which sees Debian's python3-ezdxf) on a script
// with one argument, and returns what it printed; empty when it could not run.
inline std::string RunPython(const std::string& script, const std::string& arg) {
    const std::string cmd = "/usr/bin/python3 -c '" + script + "' '" + arg + "'";
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return {};
    std::string out;
    char buf[256];
    while (std::fgets(buf, sizeof buf, p)) out += buf;
    pclose(p);
    return out;
}

}  // namespace bench
