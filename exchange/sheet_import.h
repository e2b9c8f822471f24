// The network-sheet import: the active sheet of the running workbook program
// becomes the main window's network.
//
// The sheet: rows 1 and 2 are headings; one pipe per row from row 3 down to
// the first row whose first cell is "END" or whose first four cells are all
// empty; fixed columns from, to, ground levels, length, inverts, diameter,
// slope, lateral, x1, y1, x2, y2.  The pipes are linked through their
// manhole names, faulty links are reported, and the pipes are grouped into
// laterals (chains) under a new tree.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "model/node_collection.h"
#include "platform/sheet/workbook.h"

class Form1;

// What an import builds before it touches the main window.
struct SheetNetwork {
    std::shared_ptr<model::cNodeCollection> tree;
    std::vector<std::string> laterals;   // "Lateral 1", "Lateral 2" ... in order
    int32_t pipeCount = 0;
    // The pipes no lateral reaches, as told to the user ("" when none).
    std::string leftOut;
};

// Progress texts (" Row=" & row, then "Net... ") go to `progress`.
using ImportProgress = std::function<void(const std::string&)>;

// Reads the pipe rows of the sheet, scans the connections (telling the user
// of faulty ones) and builds the tree aside.  Returns nothing (after telling
// the user) when a cell cannot be read as its column needs.
std::optional<SheetNetwork> BuildNetworkFromSheet(const sheet::Sheet& sheet, const ImportProgress& progress);

// The whole import into the main window: attaches to the running program,
// builds the network and, when that succeeded, puts it into the main window
// (its laterals' list and tab strip, the pipe grid).  Returns false when the
// network was left as it was.  The number of laterals is told once the new
// laterals are in the list and the tab strip.
bool ImportNetworkSheet(Form1& main, const ImportProgress& progress);
