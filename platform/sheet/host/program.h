// The workbook program: a window with the open workbooks, their sheets in
// tabs (read-only), published on the session bus.
#pragma once

namespace sheet::host {

// Runs the program until its window is closed: opens the files named on
// the command line, publishes itself on the session bus and shows its
// window.  Returns the process's exit code (1 when the bus name is taken or
// there is no session bus).
int RunWorkbookProgram(int argc, char** argv);

}  // namespace sheet::host
