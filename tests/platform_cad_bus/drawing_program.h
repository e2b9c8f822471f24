// The drawing program as a child process on the test's private session bus
// (the tests run under dbus-run-session), a copy of a drawing fixture for it
// to open, and Debian's python3 with ezdxf to judge what it saved.
// SEWER_SOURCE_DIR and SEWERCAD_PATH come from tests/CMakeLists.txt.
#pragma once

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDeadlineTimer>
#include <QProcess>
#include <QThread>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/cad/bus/bus_protocol.h"

inline const std::string kData = std::string(SEWER_SOURCE_DIR) + "/tests/data/cad/";

inline bool NameOwned() {
    return QDBusConnection::sessionBus().interface()->isServiceRegistered(cad::bus::kService).value();
}

// The drawing program as a child process.
class Program {
public:
    explicit Program(const QStringList& args) {
        proc_.setProcessChannelMode(QProcess::ForwardedChannels);
        proc_.start(QStringLiteral(SEWERCAD_PATH), args);
        QDeadlineTimer deadline(30000);
        while (!NameOwned() && !deadline.hasExpired() && proc_.state() != QProcess::NotRunning) QThread::msleep(50);
    }
    ~Program() { Stop(); }
    void Stop() {
        if (proc_.state() == QProcess::NotRunning) return;
        proc_.kill();   // unsaved changes are the test's own
        proc_.waitForFinished(10000);
        QDeadlineTimer deadline(10000);
        while (NameOwned() && !deadline.hasExpired()) QThread::msleep(50);
    }

private:
    QProcess proc_;
};

// A copy of a fixture in a folder of this test process.
inline std::string Copy(const std::string& fixture) {
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / ("sewer_cad_bus_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    fs::path to = dir / fixture;
    fs::copy_file(kData + fixture, to, fs::copy_options::overwrite_existing);
    return to.string();
}

// Runs a Python script on a file; its exit code, with its output in *out.
inline int Python(const std::string& script, const std::string& file, std::string* out) {
    std::string scriptPath = file + ".py", outPath = file + ".out";
    std::ofstream(scriptPath) << script;
    int rc = std::system(("/usr/bin/python3 " + scriptPath + " " + file + " >" + outPath + " 2>&1").c_str());
    std::ifstream in(outPath);
    out->assign((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}
