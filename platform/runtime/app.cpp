#include "platform/runtime/app.h"

#include <unistd.h>

#include <mutex>
#include <optional>
#include <vector>

namespace vb::App {

namespace {

std::mutex& PathMutex() {
    static std::mutex m;
    return m;
}

std::optional<std::string>& Override() {
    static std::optional<std::string> p;
    return p;
}

std::string ExecutableFolder() {
    std::vector<char> buf(4096);
    for (;;) {
        ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size());
        if (n < 0) {
            char* cwd = getcwd(nullptr, 0);
            std::string s = cwd ? cwd : ".";
            free(cwd);
            return s;
        }
        if (static_cast<size_t>(n) < buf.size()) {
            std::string exe(buf.data(), static_cast<size_t>(n));
            size_t slash = exe.find_last_of('/');
            if (slash == std::string::npos) return ".";
            if (slash == 0) return "/";
            return exe.substr(0, slash);
        }
        buf.resize(buf.size() * 2);
    }
}

std::string WithoutTrailingSlash(std::string s) {
    while (s.size() > 1 && s.back() == '/') s.pop_back();
    return s;
}

}  // namespace

std::string Path() {
    std::lock_guard<std::mutex> lock(PathMutex());
    if (Override()) return *Override();
    static const std::string exeFolder = ExecutableFolder();
    return exeFolder;
}

void SetPath(std::string folder) {
    std::lock_guard<std::mutex> lock(PathMutex());
    Override() = WithoutTrailingSlash(std::move(folder));
}

void ResetPath() {
    std::lock_guard<std::mutex> lock(PathMutex());
    Override().reset();
}

std::string FilePath(std::string_view name) {
    std::string folder = Path();
    if (folder.empty() || folder.back() != '/') folder += '/';
    return folder + std::string(name);
}

}  // namespace vb::App
