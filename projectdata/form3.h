// The project window: the pipe table, the pipe-size table, the project
// criteria pages and the spreadsheet import panel on one form.  One class; its
// member functions are defined in the folder of the subsystem they belong to,
// and each subsystem declares its members in its own fragment, included inside
// the class body below (controls in the order of their containers).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/ui/ui.h"

namespace model {
class Sewer;
}

class Form3 : public vb::Form {
public:
    Form3();

#include "projectdata/form3_main.inc"
#include "projectdata/form3_tables.inc"
#include "projectdata/form3_criteria.inc"
#include "exchange/form3_import.inc"
};

// The project window of the process, created on first use and kept while the
// program runs (it is shown, hidden and unloaded, never destroyed).
Form3& Form3Window();
