// sewersheet: the workbook program the design tool attaches to.
#include "platform/sheet/host/program.h"

int main(int argc, char** argv) { return sheet::host::RunWorkbookProgram(argc, argv); }
