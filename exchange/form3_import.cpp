#include "exchange/form4.h"
#include "exchange/sheet_import.h"
#include "mainwindow/form1.h"
#include "projectdata/form3.h"

void Form3::BuildImport() {
    CommandOpenWorkbook.Move(4900, 1450, 1800, 330);
    CommandMappedImport.Move(4900, 1000, 1800, 330);
    Comman20.Click = [this] { Comman20_Click(); };
    CommandOpenWorkbook.Click = [] {
        if (Form1* main = MainForm()) main->ImportExcelWorkbook();
    };
    CommandMappedImport.Click = [] { Form4Window().Show(vb::vbModeless); };
}

void Form3::Comman20_Click() {
    Form1* main = MainForm();
    if (!main) return;
    // The label is repainted now and then, so the progress shows while the
    // import runs without the cost of a repaint per row.
    int rows = 0;
    const bool imported = ImportNetworkSheet(*main, [this, &rows](const std::string& text) {
        Label31.Caption(text);
        if (++rows % 64 == 1 || text.rfind(" Row=", 0) != 0) Label31.Refresh();
    });
    if (!imported) return;
    Frame15.Visible(false);
    Command1_Click();
    vb::MsgBox("Get Excel...");
}
