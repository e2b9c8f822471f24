// The client that drives the running drawing program over the user's
// session bus.  Every member is one blocking call; a failure on the other
// side arrives as the same vb::VbError number it was raised with there.
#pragma once

#include "platform/cad/client.h"

namespace cad::bus {

// A client of the drawing program that owns the bus name, or null when no
// program owns it (or there is no session bus).
ClientRef AttachBus();
// Makes cad::Attach() attach over the bus.  Needs a QCoreApplication.
void InstallBusAttacher();

}  // namespace cad::bus
