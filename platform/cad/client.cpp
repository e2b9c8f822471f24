#include "platform/cad/client.h"

#include <mutex>

#include "platform/runtime/vberror.h"

namespace cad {

namespace {
Attacher& Installed() {
    static Attacher attacher;
    return attacher;
}
}  // namespace

void SetAttacher(Attacher attacher) { Installed() = std::move(attacher); }

ClientRef Attach() {
    ClientRef c = Installed() ? Installed()() : nullptr;
    if (!c) throw vb::VbError(kErrNotRunning, "ActiveX component can't create object: the drawing program is not running");
    return c;
}

}  // namespace cad
