#include "platform/sheet/host/program.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdio>

#include "platform/sheet/bus/service.h"
#include "platform/sheet/host/window.h"

namespace sheet::host {

int RunWorkbookProgram(int argc, char** argv) {
    QApplication qapp(argc, argv);
    QApplication::setApplicationName("sewersheet");
    LocalApplication app;
    WorkbookWindow window(app);
    app.Changed = [&window] { window.Sync(); };

    bus::ApplicationService service(app);
    QString error;
    if (!service.Publish(&error)) {
        std::fprintf(stderr, "sewersheet: %s\n", error.toUtf8().constData());
        return 1;
    }
    // Files that cannot be opened are named in the window, and on stderr.
    for (const QString& problem : window.OpenFiles(QApplication::arguments().mid(1))) {
        std::fprintf(stderr, "sewersheet: %s\n", problem.toUtf8().constData());
    }
    // The program starts with its window shown; a caller may hide it.
    app.Visible(true);
    return QApplication::exec();
}

}  // namespace sheet::host
