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
        // What a save killed part-way left in the program's folder.
        vb::RemoveLeftoverTemporaryFiles(vb::App::Path());
        mainWindow = std::make_unique<Form1>();
        mainWindow->Show();
    });
}
