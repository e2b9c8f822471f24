// Program entry point: the main window is the start-up window, and the
// process ends when it is closed.
#include "mainwindow/form1.h"
#include "platform/cad/bus/bus_client.h"
#include "platform/runtime/app.h"
#include "platform/runtime/files.h"
#include "platform/ui/application.h"

int main(int argc, char** argv) {
    std::unique_ptr<Form1> mainWindow;
    // The drawing exchange attaches to the drawing program over the session bus.
    cad::bus::InstallBusAttacher();
    return vb::RunApplication(argc, argv, [&] {
        // What a save killed part-way left of the program's own files; the
        // folder's other files are not ours to touch.
        for (const char* own : {"SavedCol.dat", "zefprof.cfg"}) {
            vb::RemoveLeftoverTemporaryFiles(vb::App::FilePath(own));
        }
        mainWindow = std::make_unique<Form1>();
        mainWindow->Show();
    });
}
