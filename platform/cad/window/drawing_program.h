// The drawing program (sewercad): a window that opens, shows and saves one
// drawing at a time, asks before unsaved changes are lost, and publishes the
// drawing's client on the session bus so that the design tool can drive it.
//
//     sewercad [--report-version TEXT] [--test-hooks] [drawing.dxf]
//
// --report-version sets the release the program reports (tests of the
// release check); --test-hooks lets a bus client script the next pick.
#pragma once

namespace cad::window {

int RunDrawingProgram(int argc, char** argv);

}  // namespace cad::window
