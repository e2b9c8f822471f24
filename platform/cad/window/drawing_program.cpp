#include "platform/cad/window/drawing_program.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCommandLineParser>
#include <QFileDialog>
#include <QFileInfo>
#include <QMainWindow>
#include <QScreen>
#include <QGuiApplication>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <memory>

#include "platform/cad/bus/bus_server.h"
#include "platform/cad/local_client.h"
#include "platform/cad/window/drawing_view.h"
#include "platform/runtime/files.h"

namespace cad::window {

namespace {

class DrawingWindow : public QMainWindow {
public:
    DrawingWindow(const std::string& version, bool testHooks) : client_(&doc_, version) {
        view_ = new DrawingView(this);
        setCentralWidget(view_);
        view_->onStatus = [this](const QString& text) { statusBar()->showMessage(text); };

        QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
        Action(file, QStringLiteral("&Open..."), QKeySequence::Open, [this] { OpenAsked(); });
        Action(file, QStringLiteral("&Save"), QKeySequence::Save, [this] { Save(); });
        Action(file, QStringLiteral("Save &As..."), QKeySequence::SaveAs, [this] { SaveAs(); });
        file->addSeparator();
        Action(file, QStringLiteral("E&xit"), QKeySequence::Quit, [this] { close(); });
        QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
        Action(view, QStringLiteral("&Whole drawing"), QKeySequence(Qt::Key_Home), [this] { view_->ZoomExtents(); });

        LocalClient::Host host;
        host.visible = [this] { return isVisible(); };
        host.setVisible = [this](bool v) { v ? show() : hide(); };
        host.windowState = [this] { return isMinimized() ? kWindowMinimized : isMaximized() ? kWindowMaximized : kWindowNormal; };
        host.setWindowState = [this](int s) {
            if (s == kWindowMinimized) {
                showMinimized();
            } else {
                s == kWindowMaximized ? showMaximized() : showNormal();
                raise();
                activateWindow();
            }
        };
        host.changed = [this] { Changed(); };
        host.used = [this] { view_->Busy(); };
        client_.SetHost(host);
        server_ = std::make_unique<bus::BusServer>(
            client_,
            [this](std::function<void(std::vector<std::string>)> done) {
                if (isMinimized() || !isVisible()) showNormal();
                raise();
                activateWindow();
                view_->BeginPick(std::move(done));
            },
            testHooks);
        QRect screen = QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->availableGeometry() : QRect(0, 0, 1200, 900);
        resize(std::min(1400, screen.width() * 85 / 100), std::min(950, screen.height() * 85 / 100));
        New();
    }

    // Publishes the client; a second program on the same bus still shows its
    // drawing, but cannot be driven.
    void Publish() {
        std::string error;
        if (!server_->Start(&error)) {
            std::fprintf(stderr, "sewercad: %s\n", error.c_str());
            statusBar()->showMessage(QString::fromStdString(error));
        }
    }

    bool Open(const QString& path) {
        try {
            Document d = Document::ReadFile(path.toStdString());
            Replace(std::move(d));
            return true;
        } catch (const DxfError& e) {
            QMessageBox::warning(this, QStringLiteral("sewercad"),
                                 QStringLiteral("The drawing %1 cannot be read.\n%2").arg(path, QString::fromStdString(e.what())));
            return false;
        }
    }

protected:
    void closeEvent(QCloseEvent* e) override {
        if (view_->Picking()) view_->EndPick(false);
        if (MaySetAside()) {
            e->accept();
        } else {
            e->ignore();
        }
    }

private:
    template <class F>
    void Action(QMenu* menu, const QString& text, const QKeySequence& keys, F f) {
        QAction* a = menu->addAction(text);
        a->setShortcut(keys);
        connect(a, &QAction::triggered, this, f);
    }

    void New() { Replace(Document::New()); }

    void Replace(Document d) {
        if (view_->Picking()) view_->EndPick(false);
        doc_ = std::move(d);
        client_.SetDocument(&doc_);
        view_->SetDocument(&doc_);
        UpdateTitle();
    }

    void OpenAsked() {
        if (!MaySetAside()) return;
        QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Open drawing"), QString(),
                                                    QStringLiteral("Drawings (*.dxf);;All files (*)"));
        if (!path.isEmpty()) Open(path);
    }

    // Asks before unsaved changes are lost; false when the user cancels or
    // the save fails.
    bool MaySetAside() {
        if (!doc_.Modified()) return true;
        auto answer = QMessageBox::question(
            this, QStringLiteral("sewercad"),
            QStringLiteral("The drawing %1 has changes that are not saved. Save them?").arg(Name()),
            QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
        if (answer == QMessageBox::Cancel) return false;
        if (answer == QMessageBox::Discard) return true;
        return Save();
    }

    bool Save() { return doc_.FileName().empty() ? SaveAs() : SaveTo(QString::fromStdString(doc_.FileName())); }

    bool SaveAs() {
        // The dialog adds ".dxf" itself, so that it asks before replacing
        // the file that is really written.
        QFileDialog dialog(this, QStringLiteral("Save drawing"), QString::fromStdString(doc_.FileName()),
                           QStringLiteral("Drawings (*.dxf)"));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(QStringLiteral("dxf"));
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
        return SaveTo(dialog.selectedFiles().front());
    }

    bool SaveTo(const QString& path) {
        std::string error;
        if (!doc_.Save(path.toStdString(), &error)) {
            QMessageBox::warning(this, QStringLiteral("sewercad"),
                                 QStringLiteral("The drawing could not be saved to %1.\n%2").arg(path, QString::fromStdString(error)));
            return false;
        }
        doc_.SetFileName(path.toStdString());
        doc_.SetModified(false);
        UpdateTitle();
        return true;
    }

    // Changes through the bus come in bursts, each call in its own turn of
    // the event loop; the view reads the drawing again once the calls pause.
    void Changed() {
        UpdateTitle();
        view_->MarkDirty();
    }

    QString Name() const {
        return doc_.FileName().empty() ? QStringLiteral("Untitled") : QFileInfo(QString::fromStdString(doc_.FileName())).fileName();
    }

    void UpdateTitle() {
        setWindowTitle(QStringLiteral("%1[*] - sewercad").arg(Name()));
        setWindowModified(doc_.Modified());
    }

    Document doc_;
    LocalClient client_;
    DrawingView* view_ = nullptr;
    std::unique_ptr<bus::BusServer> server_;
};

}  // namespace

int RunDrawingProgram(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("sewercad"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("The drawing program beside the sewer design tool"));
    parser.addHelpOption();
    QCommandLineOption version(QStringLiteral("report-version"), QStringLiteral("Release the program reports."),
                               QStringLiteral("text"), QStringLiteral("1.0"));
    QCommandLineOption hooks(QStringLiteral("test-hooks"), QStringLiteral("Let a bus client script the next pick."));
    parser.addOption(version);
    parser.addOption(hooks);
    parser.addPositionalArgument(QStringLiteral("drawing"), QStringLiteral("The DXF file to open."));
    parser.process(app);

    DrawingWindow window(parser.value(version).toStdString(), parser.isSet(hooks));
    window.show();
    window.Publish();
    if (!parser.positionalArguments().isEmpty()) {
        const QString drawing = parser.positionalArguments().front();
        // What a save of this drawing killed part-way left beside it.
        vb::RemoveLeftoverTemporaryFiles(QFileInfo(drawing).absoluteFilePath().toStdString());
        window.Open(drawing);
    }
    return app.exec();
}

}  // namespace cad::window
