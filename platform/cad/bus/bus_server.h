// The drawing program's side of the bus: publishes its LocalClient as the
// application object under the program's bus name.  Calls are taken only
// from the same user, with exactly the argument types of the interface, no
// argument beyond the limits below and no number that is not finite; a
// malformed call gets a bus error and changes nothing.  Whatever one caller
// sends, the program goes on serving the others.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/cad/local_client.h"

namespace cad::bus {

// The longest string and the longest list that any argument of a call may
// hold (inside variants and lists too).  A call beyond them is refused with
// a LimitsExceeded bus error naming the limit before it reaches the client,
// which then applies the tighter limits of names and file names itself.
constexpr size_t kMaxStringArgumentBytes = kMaxTextBytes;
constexpr int kMaxListArgumentItems = 65536;

class BusServer {
public:
    // Starts the user's pick in the window; done(handles) is called once when
    // it ends (with no handles when the user gave it up).
    using PickStarter = std::function<void(std::function<void(std::vector<std::string>)> done)>;

    // testHooks: accept ScriptNextPick (the program's --test-hooks).
    BusServer(LocalClient& client, PickStarter startPick, bool testHooks);
    ~BusServer();
    BusServer(const BusServer&) = delete;
    BusServer& operator=(const BusServer&) = delete;

    // Registers the object and takes the bus name; false with the reason
    // when there is no session bus or another program owns the name.
    bool Start(std::string* error);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace cad::bus
