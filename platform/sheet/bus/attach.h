// Attaching to the running workbook program over the session bus.
#pragma once

#include <memory>

#include "platform/sheet/client.h"

namespace sheet::bus {

// The running workbook program, or null when none owns its name on the
// session bus (or there is no session bus).  A call on the proxy that fails
// raises vb::VbError kErrWorkbook with the program's own message.
std::shared_ptr<SheetClient> AttachRunning();

}  // namespace sheet::bus
