// Message boxes, input boxes, file dialogs and pop-up menus.
#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMenu>
#include <QMessageBox>
#include <QFileInfo>
#include <QPushButton>

#include <mutex>

#include "platform/ui/internal.h"

namespace vb {

using namespace detail;

namespace {
std::shared_ptr<DialogSink>& CurrentSink() {
    static std::shared_ptr<DialogSink> sink = std::make_shared<QtDialogs>();
    return sink;
}

// The buttons of a MsgBox style, in the order they are shown.
std::vector<int> ButtonsOf(int style) {
    switch (style & 0xF) {
    case vbOKCancel: return {vbOK, vbCancel};
    case vbAbortRetryIgnore: return {vbAbort, vbRetry, vbIgnore};
    case vbYesNoCancel: return {vbYes, vbNo, vbCancel};
    case vbYesNo: return {vbYes, vbNo};
    case vbRetryCancel: return {vbRetry, vbCancel};
    default: return {vbOK};
    }
}

// Qt filter text from the runtime's "Text (*.txt)|*.txt|..." form.
QString QtFilter(const std::string& filter, int filterIndex, QString* selected) {
    QStringList parts = Q(filter).split(QLatin1Char('|'));
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString desc = parts[i];
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        QString entry = desc.contains(QLatin1Char('(')) ? desc.section(QLatin1Char('('), 0, 0).trimmed() + " (" + patterns + ")"
                                                        : desc + " (" + patterns + ")";
        out << entry;
        if (i / 2 + 1 == filterIndex && selected) *selected = entry;
    }
    return out.join(QStringLiteral(";;"));
}
}  // namespace

DialogSink& Dialogs() { return *CurrentSink(); }

std::shared_ptr<DialogSink> SetDialogSink(std::shared_ptr<DialogSink> sink) {
    auto previous = CurrentSink();
    CurrentSink() = sink ? std::move(sink) : std::make_shared<QtDialogs>();
    return previous;
}

int DefaultMsgBoxResult(int buttons) {
    std::vector<int> b = ButtonsOf(buttons);
    size_t which = (buttons & vbDefaultButton3) ? 2 : (buttons & vbDefaultButton2) ? 1 : 0;
    return which < b.size() ? b[which] : b[0];
}

int MsgBox(const std::string& prompt, int buttons, const std::string& title) {
    return Dialogs().MsgBox(prompt, buttons, title.empty() ? AppTitle() : title);
}

std::string InputBox(const std::string& prompt, const std::string& title, const std::string& defaultText) {
    auto r = Dialogs().InputBox(prompt, title.empty() ? AppTitle() : title, defaultText);
    return r ? *r : std::string();
}

// --- Qt dialogs ------------------------------------------------------------------------------
int QtDialogs::MsgBox(const std::string& prompt, int buttons, const std::string& title) {
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(Q(title));
    box.setText(Q(prompt));
    switch (buttons & 0x70) {
    case vbCritical: box.setIcon(QMessageBox::Critical); break;
    case vbQuestion: box.setIcon(QMessageBox::Question); break;
    case vbExclamation: box.setIcon(QMessageBox::Warning); break;
    case vbInformation: box.setIcon(QMessageBox::Information); break;
    default: break;
    }
    std::vector<int> ids = ButtonsOf(buttons);
    int def = DefaultMsgBoxResult(buttons);
    std::vector<std::pair<QAbstractButton*, int>> map;
    for (int id : ids) {
        QMessageBox::StandardButton sb = QMessageBox::Ok;
        switch (id) {
        case vbCancel: sb = QMessageBox::Cancel; break;
        case vbAbort: sb = QMessageBox::Abort; break;
        case vbRetry: sb = QMessageBox::Retry; break;
        case vbIgnore: sb = QMessageBox::Ignore; break;
        case vbYes: sb = QMessageBox::Yes; break;
        case vbNo: sb = QMessageBox::No; break;
        default: break;
        }
        QAbstractButton* b = box.addButton(sb);
        map.emplace_back(b, id);
        if (id == def) box.setDefaultButton(static_cast<QPushButton*>(b));
    }
    box.exec();
    QAbstractButton* clicked = box.clickedButton();
    for (auto& [b, id] : map) {
        if (b == clicked) return id;
    }
    // Closed with Esc or the window's close box: Cancel when offered.
    for (int id : ids) {
        if (id == vbCancel) return vbCancel;
    }
    return ids.size() == 1 ? ids[0] : def;
}

std::optional<std::string> QtDialogs::InputBox(const std::string& prompt, const std::string& title,
                                               const std::string& defaultText) {
    bool ok = false;
    QString text = QInputDialog::getText(QApplication::activeWindow(), Q(title), Q(prompt), QLineEdit::Normal,
                                         Q(defaultText), &ok);
    if (!ok) return std::nullopt;
    return S(text);
}

std::optional<std::string> QtDialogs::FileDialog(const FileDialogRequest& r) {
    QString selected;
    QString filter = QtFilter(r.filter, r.filterIndex, &selected);
    QString start = Q(r.fileName);
    if (!r.initDir.empty()) start = Q(r.initDir) + (start.isEmpty() ? QString() : "/" + start);
    QString title = Q(r.title);
    // The common dialog asks about an existing file only with the flag
    // cdlOFNOverwritePrompt (2); otherwise the caller asks, once.
    const QFileDialog::Options saveOptions =
        (r.flags & 2) ? QFileDialog::Options() : QFileDialog::Options(QFileDialog::DontConfirmOverwrite);
    QString path = r.save ? QFileDialog::getSaveFileName(QApplication::activeWindow(), title, start, filter, &selected,
                                                         saveOptions)
                          : QFileDialog::getOpenFileName(QApplication::activeWindow(), title, start, filter, &selected);
    if (path.isEmpty()) return std::nullopt;
    if (r.save && !r.defaultExt.empty() && QFileInfo(path).suffix().isEmpty()) path += "." + Q(r.defaultExt);
    return S(path);
}

Menu* QtDialogs::PopupMenu(Menu& menu, int screenX, int screenY) {
    QMenu qm;
    menu.FillQtMenu(&qm);
    QAction* a = qm.exec(QPoint(screenX, screenY));
    if (!a) return nullptr;
    return reinterpret_cast<Menu*>(a->data().value<quintptr>());
}

// --- Scripted dialogs -------------------------------------------------------------------------------
void ScriptedDialogs::ClearLog() {
    messages_.clear();
    inputLog_.clear();
    fileLog_.clear();
    popupLog_.clear();
}

int ScriptedDialogs::MsgBox(const std::string& prompt, int buttons, const std::string& title) {
    Message m{prompt, buttons, title, 0, false};
    if (!buttons_.empty()) {
        m.answer = buttons_.front();
        buttons_.pop_front();
    } else {
        m.answer = DefaultMsgBoxResult(buttons);
        m.defaulted = true;
    }
    messages_.push_back(m);
    return m.answer;
}

std::optional<std::string> ScriptedDialogs::InputBox(const std::string& prompt, const std::string& title,
                                                     const std::string& defaultText) {
    Input in{prompt, title, defaultText, std::nullopt, false};
    if (!inputs_.empty()) {
        in.answer = inputs_.front();
        inputs_.pop_front();
    } else {
        in.defaulted = true;
    }
    inputLog_.push_back(in);
    return in.answer;
}

std::optional<std::string> ScriptedDialogs::FileDialog(const FileDialogRequest& request) {
    File f{request, std::nullopt, false};
    if (!files_.empty()) {
        f.answer = files_.front();
        files_.pop_front();
    } else {
        f.defaulted = true;
    }
    fileLog_.push_back(f);
    return f.answer;
}

Menu* ScriptedDialogs::PopupMenu(Menu& menu, int, int) {
    Popup p{menu.Caption(), {}, false};
    Menu* chosen = nullptr;
    if (!menus_.empty()) {
        p.chosen = menus_.front();
        menus_.pop_front();
        if (!p.chosen.empty()) {
            chosen = menu.FindItem(p.chosen);
            // A hidden or disabled item cannot be chosen.
            if (chosen && (!chosen->Visible() || !chosen->Enabled())) chosen = nullptr;
            if (!chosen) p.chosen.clear();
        }
    } else {
        p.defaulted = true;
    }
    popupLog_.push_back(p);
    return chosen;
}

// --- Common dialog ------------------------------------------------------------------------------------
std::string CommonDialog::FileTitle() const {
    size_t slash = fileName_.find_last_of("/\\");
    return slash == std::string::npos ? fileName_ : fileName_.substr(slash + 1);
}

void CommonDialog::ShowOpen() { Run(false); }
void CommonDialog::ShowSave() { Run(true); }

void CommonDialog::Run(bool save) {
    FileDialogRequest r;
    r.save = save;
    r.title = title_.empty() ? (save ? "Save As" : "Open") : title_;
    r.filter = filter_;
    r.filterIndex = filterIndex_;
    r.fileName = fileName_;
    r.initDir = initDir_;
    r.defaultExt = defaultExt_;
    r.flags = flags_;
    std::optional<std::string> chosen = Dialogs().FileDialog(r);
    if (!chosen) {
        if (cancelError_) throw VbError(errCancel, "Cancel was selected.", "CommonDialog");
        fileName_.clear();
        return;
    }
    fileName_ = *chosen;
}

}  // namespace vb
