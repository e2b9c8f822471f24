// What the benches that drive our programs over the session bus share: the
// clock, the way they give up, running again on a private bus, reading a
// process's memory and running a python3 script.
#pragma once

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
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

// A size field of /proc/<pid>/status ("self" for this process), such as
// VmHWM or VmRSS, in bytes; 0 when it is not there.
inline long long StatusBytes(const std::string& pid, const char* field) {
    std::ifstream in("/proc/" + pid + "/status");
    std::string line;
    const std::string key = std::string(field) + ":";
    while (std::getline(in, line))
        if (line.rfind(key, 0) == 0) return std::atoll(line.c_str() + key.size()) * 1024;
    return 0;
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
