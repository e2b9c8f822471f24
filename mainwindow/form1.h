// The main window.  One class; its member functions are defined in the folder
// of the subsystem they belong to, and each subsystem declares its members in
// its own fragment, included inside the class body below.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "controls/usercontrol1.h"
#include "controls/usercontrol3.h"
#include "mainwindow/globals.h"
#include "model/node_collection.h"
#include "model/sewer.h"
#include "platform/runtime/variant.h"
#include "platform/script/scriptcontrol.h"
#include "platform/ui/ui.h"

class Form1 : public vb::Form {
public:
    Form1();
    ~Form1() override;

#include "mainwindow/form1_main.inc"
#include "mainwindow/form1_script.inc"
#include "mainwindow/form1_collection.inc"
#include "projectdata/form1_calculators.inc"
#include "mainwindow/form1_canvas.inc"
#include "profileedit/form1_grids.inc"
#include "profileedit/form1_pointview.inc"
#include "profile/form1_helpers.inc"
#include "profile/form1_profile.inc"
#include "profile/form1_dxf.inc"
#include "profileedit/form1_edit.inc"
#include "exchange/form1_excel.inc"
#include "exchange/form1_acad.inc"
};

// The one main window of the process (set while it exists).
Form1* MainForm();
