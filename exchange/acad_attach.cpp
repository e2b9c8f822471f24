#include "exchange/acad_attach.h"

#include "platform/ui/dialogs.h"

bool AcadAttach() {
    // No drawing program can be attached from this build: the user is told
    // to open one, as when none is running.
    vb::MsgBox("Please open AutoCAD");
    return false;
}
