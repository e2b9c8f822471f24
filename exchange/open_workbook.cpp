#include "exchange/excel.h"
#include "mainwindow/form1.h"

void Form1::ImportExcelWorkbook() {
    CommonDialog1.DialogTitle("Import Excel");
    CommonDialog1.CancelError(true);
    CommonDialog1.Filter("Excel File (*.xls*)|*.xls*");
    try {
        CommonDialog1.ShowOpen();
    } catch (const vb::VbError& e) {
        if (e.Number() != vb::errCancel) vb::MsgBox(e.Description());
        return;
    }
    const std::string file = CommonDialog1.FileName();
    if (file.empty()) return;

    // Only a program the user runs is used; with none, say so once.
    std::shared_ptr<sheet::SheetClient> app = AttachRunningExcel();
    if (!app) {
        vb::MsgBox("Please Open Excle file");
        return;
    }
    ExcelApp = app;
    // A file the program cannot open is reported once; the command ends.
    try {
        app->OpenWorkbook(file);
        ExcelBook = app->ActiveWorkbook();
        app->Visible(true);
    } catch (const vb::VbError& e) {
        vb::MsgBox(e.Description());
    }
}
