// The "DXF" button: the profile on the screen written as a DXF file.
//
// There is no separate DXF drawing routine.  The export opens the file, writes
// its head, switches DxfMode to 2 and refreshes the main window; during that
// redraw every drawing call whose mode is DxfMode also writes its entity.  The
// button then writes the trailer and closes the file.  The file goes to a
// temporary name beside the target and takes the chosen name only once it is
// complete, so "DXF Saved" is said only of a file that stands whole.
#include <filesystem>
#include <string>
#include <system_error>

#include "mainwindow/form1.h"
#include "platform/runtime/vberror.h"
#include "platform/ui/ui.h"
#include "profile/dxf_writer.h"

void Form1::Commanddel_Click() {
    DxfOutput& out = DxfFile();
    // However the export ends, the next one is placed 800 higher, a file left
    // open by a failed export is dropped (never half-written), and drawing
    // goes back to the screen only.
    struct Finish {
        Form1& form;
        DxfOutput& out;
        ~Finish() {
            out.Abandon();
            form.DxfOriginY = form.DxfOriginY + 800;
            DxfMode = 1;
        }
    } finish{*this, out};
    mnuDXF();
    if (DxfMode == 2 && out.IsOpen()) {
        out.Write(DxfTrailer());
        if (out.Close())
            vb::MsgBox("DXF Saved", vb::vbOKOnly);
        else
            vb::MsgBox("DXF not saved: " + out.FailureDescription(), vb::vbOKOnly);
    }
}

void Form1::mnuDXF() {
    DxfOutput& out = DxfFile();
    std::string fileName;
    int retries = 0;
    // The steps of the export; a failure in one of them is shown and then,
    // by its number, skipped (5), retried after closing the file (55), or
    // ends the export (the cancelled dialog and everything else).
    for (int step = 1; step <= 7;) {
        try {
            switch (step) {
                case 1:
                    CommonDialog1.FileName("DXF-" + CurrentLateralName);
                    CommonDialog1.DialogTitle("Save DXF");
                    CommonDialog1.CancelError(true);
                    CommonDialog1.Filter("DXF File (*.dxf)|*.dxf");
                    CommonDialog1.ShowSave();
                    fileName = CommonDialog1.FileName();
                    break;
                case 2:
                    if (fileName.empty()) return;
                    break;
                case 3: {
                    std::error_code ec;
                    if (std::filesystem::exists(fileName, ec)) {
                        int answer = vb::MsgBox(" Overwrite ?", vb::vbYesNo + vb::vbDefaultButton2);
                        if (answer != vb::vbYes) return;
                    }
                    break;
                }
                case 4:
                    out.Open(fileName, DxfOriginX, DxfOriginY);
                    break;
                case 5:
                    DxfMode = 2;
                    break;
                case 6:
                    out.Write(DxfHead());
                    break;
                case 7:
                    // The redraw writes every entity.
                    Form_Click();
                    break;
            }
            ++step;
        } catch (const vb::VbError& e) {
            vb::MsgBox(e.Description(), vb::vbOKOnly);
            // A redraw that did not complete leaves an incomplete file: it
            // must not be put in place.
            if (out.IsOpen() && step >= 6) out.Fail(e.Number(), e.Description());
            switch (e.Number()) {
                case vb::errInvalidProcedureCall:
                    ++step;
                    break;
                case vb::errFileAlreadyOpen:
                    out.Abandon();
                    if (++retries > 1) return;
                    break;
                case vb::errCancel:
                    DxfMode = 1;
                    return;
                default:
                    return;
            }
        }
    }
}
