// Message boxes, input boxes, file dialogs and pop-up menus, all through one
// replaceable sink.
//
// In the program the sink is QtDialogs (real modal Qt dialogs).  Tests install
// a ScriptedDialogs: it records every request and answers from queues the
// test filled; with nothing queued it gives the default button, an empty
// input (cancel), a cancelled file dialog or no menu choice, records that it
// did so, and never blocks.
//
//     auto dialogs = std::make_shared<vb::ScriptedDialogs>();
//     vb::DialogSinkScope scope(dialogs);
//     dialogs->QueueButton(vb::vbYes);
//     ... code that calls MsgBox ...
//     EXPECT_EQ(dialogs->Messages().at(0).prompt, " Overwrite ?");
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui/constants.h"

namespace vb {

class Menu;
class Container;

// What a file dialog is asked to show.
struct FileDialogRequest {
    bool save = false;
    std::string title;
    std::string filter;        // "Text (*.txt)|*.txt|All (*.*)|*.*"
    int filterIndex = 1;
    std::string fileName;      // initial name or path
    std::string initDir;
    std::string defaultExt;
    int32_t flags = 0;
};

class DialogSink {
public:
    virtual ~DialogSink() = default;
    // Returns vbOK, vbCancel, vbYes, vbNo ... for the buttons asked for.
    virtual int MsgBox(const std::string& prompt, int buttons, const std::string& title) = 0;
    // Returns the text entered, or nothing when cancelled.
    virtual std::optional<std::string> InputBox(const std::string& prompt, const std::string& title,
                                                const std::string& defaultText) = 0;
    // Returns the chosen path, or nothing when cancelled.
    virtual std::optional<std::string> FileDialog(const FileDialogRequest& request) = 0;
    // Shows a pop-up menu at a screen position (pixels); returns the chosen
    // item (a leaf of `menu`) or null.
    virtual Menu* PopupMenu(Menu& menu, int screenX, int screenY) = 0;
    // Whether Form.Show vbModal waits in a nested event loop until the form
    // closes.  The scripted sink says no, so that no test blocks on a modal
    // form: Show returns at once with the form shown.
    virtual bool RunsModalLoops() const { return true; }
};

// Real Qt dialogs (modal).
class QtDialogs : public DialogSink {
public:
    int MsgBox(const std::string& prompt, int buttons, const std::string& title) override;
    std::optional<std::string> InputBox(const std::string& prompt, const std::string& title,
                                        const std::string& defaultText) override;
    std::optional<std::string> FileDialog(const FileDialogRequest& request) override;
    Menu* PopupMenu(Menu& menu, int screenX, int screenY) override;
};

// Recording sink for tests.
class ScriptedDialogs : public DialogSink {
public:
    struct Message {
        std::string prompt;
        int buttons = 0;
        std::string title;
        int answer = 0;
        bool defaulted = false;   // nothing was queued: the default button
    };
    struct Input {
        std::string prompt, title, defaultText;
        std::optional<std::string> answer;
        bool defaulted = false;
    };
    struct File {
        FileDialogRequest request;
        std::optional<std::string> answer;
        bool defaulted = false;
    };
    struct Popup {
        std::string menuCaption;
        std::string chosen;       // caption of the chosen item, "" for none
        bool defaulted = false;
    };

    // Answers, consumed in order.
    void QueueButton(int result) { buttons_.push_back(result); }
    void QueueInput(std::string text) { inputs_.emplace_back(std::move(text)); }
    void QueueInputCancel() { inputs_.emplace_back(std::nullopt); }
    void QueueFile(std::string path) { files_.emplace_back(std::move(path)); }
    void QueueFileCancel() { files_.emplace_back(std::nullopt); }
    // The caption of the item to choose ('&' ignored), or "" for none.
    void QueueMenuChoice(std::string caption) { menus_.push_back(std::move(caption)); }

    const std::vector<Message>& Messages() const { return messages_; }
    const std::vector<Input>& Inputs() const { return inputLog_; }
    const std::vector<File>& Files() const { return fileLog_; }
    const std::vector<Popup>& Popups() const { return popupLog_; }
    // Answers queued but not used yet (a test can check it used them all).
    size_t PendingAnswers() const {
        return buttons_.size() + inputs_.size() + files_.size() + menus_.size();
    }
    void ClearLog();

    int MsgBox(const std::string& prompt, int buttons, const std::string& title) override;
    std::optional<std::string> InputBox(const std::string& prompt, const std::string& title,
                                        const std::string& defaultText) override;
    std::optional<std::string> FileDialog(const FileDialogRequest& request) override;
    Menu* PopupMenu(Menu& menu, int screenX, int screenY) override;
    bool RunsModalLoops() const override { return false; }

private:
    std::deque<int> buttons_;
    std::deque<std::optional<std::string>> inputs_;
    std::deque<std::optional<std::string>> files_;
    std::deque<std::string> menus_;
    std::vector<Message> messages_;
    std::vector<Input> inputLog_;
    std::vector<File> fileLog_;
    std::vector<Popup> popupLog_;
};

// The current sink (QtDialogs until another is installed).
DialogSink& Dialogs();
// Installs a sink; returns the previous one.  Null restores QtDialogs.
std::shared_ptr<DialogSink> SetDialogSink(std::shared_ptr<DialogSink> sink);

// Installs a sink for the lifetime of the scope.
class DialogSinkScope {
public:
    explicit DialogSinkScope(std::shared_ptr<DialogSink> sink) : previous_(SetDialogSink(std::move(sink))) {}
    ~DialogSinkScope() { SetDialogSink(previous_); }
    DialogSinkScope(const DialogSinkScope&) = delete;
    DialogSinkScope& operator=(const DialogSinkScope&) = delete;

private:
    std::shared_ptr<DialogSink> previous_;
};

// The button a MsgBox answers when nothing else is chosen: its default
// button (vbDefaultButton2/3 pick the second/third).
int DefaultMsgBoxResult(int buttons);

// MsgBox as the runtime offers it; an empty title shows the program's title.
int MsgBox(const std::string& prompt, int buttons = vbOKOnly, const std::string& title = {});
// InputBox: the text entered, "" when cancelled.
std::string InputBox(const std::string& prompt, const std::string& title = {},
                     const std::string& defaultText = {});

// The common dialog (open and save).
class CommonDialog {
public:
    CommonDialog() = default;
    explicit CommonDialog(Container&) {}
    const std::string& Filter() const { return filter_; }
    void Filter(std::string v) { filter_ = std::move(v); }
    int FilterIndex() const { return filterIndex_; }
    void FilterIndex(int v) { filterIndex_ = v; }
    // The full path chosen (or the initial name before a dialog).
    const std::string& FileName() const { return fileName_; }
    void FileName(std::string v) { fileName_ = std::move(v); }
    // The name without its folder.
    std::string FileTitle() const;
    const std::string& DialogTitle() const { return title_; }
    void DialogTitle(std::string v) { title_ = std::move(v); }
    const std::string& InitDir() const { return initDir_; }
    void InitDir(std::string v) { initDir_ = std::move(v); }
    const std::string& DefaultExt() const { return defaultExt_; }
    void DefaultExt(std::string v) { defaultExt_ = std::move(v); }
    int32_t Flags() const { return flags_; }
    void Flags(int32_t v) { flags_ = v; }
    bool CancelError() const { return cancelError_; }
    void CancelError(bool v) { cancelError_ = v; }
    const std::string& Tag() const { return tag_; }
    void Tag(std::string v) { tag_ = std::move(v); }

    // Show the dialog.  A chosen file goes into FileName.  When the user
    // cancels: with CancelError true raises VbError 32755 ("Cancel was
    // selected."); otherwise FileName becomes "".
    void ShowOpen();
    void ShowSave();

private:
    void Run(bool save);
    std::string filter_, fileName_, title_, initDir_, defaultExt_, tag_;
    int filterIndex_ = 1;
    int32_t flags_ = 0;
    bool cancelError_ = false;
};

}  // namespace vb
