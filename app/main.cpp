// Program entry point: the main window is the start-up window, and the
// process ends when it is closed.
#include "mainwindow/form1.h"
#include "platform/cad/bus/bus_client.h"
#include "platform/ui/application.h"

int main(int argc, char** argv) {
    std::unique_ptr<Form1> mainWindow;
    // The drawing exchange attaches to the drawing program over the session bus.
    cad::bus::InstallBusAttacher();
    return vb::RunApplication(argc, argv, [&] {
        mainWindow = std::make_unique<Form1>();
        mainWindow->Show();
    });
}
