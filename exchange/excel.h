// The workbook program as the exchange commands hold it: the running
// program, its active workbook and sheet, and the two ways of reaching a
// program (attaching to the one the user runs, or starting a private one).
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/sheet/client.h"

// The running program and what the last attachment found in it.  They keep
// their values after a command ends.
inline std::shared_ptr<sheet::SheetClient> ExcelApp;
inline std::string ExcelBook;                         // the active workbook's name
inline std::shared_ptr<const sheet::Sheet> ExcelSheet;   // its active sheet, read whole

// The workbook program the user has running (over the session bus), or null
// when none runs.  Tests put an in-process program here.
std::shared_ptr<sheet::SheetClient> AttachRunningExcel();
void SetRunningExcelAttacher(std::function<std::shared_ptr<sheet::SheetClient>()> attacher);

// A new program of the command's own, with no window.
std::shared_ptr<sheet::SheetClient> StartExcelInstance();

// The cell's value as text: texts as they are, numbers in the standard
// number-to-text form, error values as the sheet shows them, Empty as "".
std::string CellText(const vb::Variant& value);
