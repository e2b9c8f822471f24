// Program entry point: the main window is the start-up window.
#include "platform/ui/application.h"

int main(int argc, char** argv) {
    return vb::RunApplication(argc, argv, [] {});
}
