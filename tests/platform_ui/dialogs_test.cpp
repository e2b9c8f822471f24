// The dialog sink, the common dialog and the event dispatcher.
#include <gtest/gtest.h>

#include "platform/ui/testing.h"
#include "platform/ui/ui.h"

namespace {

TEST(Dialogs, ScriptedAnswersAndDefaults) {
    auto dialogs = std::make_shared<vb::ScriptedDialogs>();
    vb::DialogSinkScope scope(dialogs);
    dialogs->QueueButton(vb::vbNo);
    EXPECT_EQ(vb::MsgBox(" Overwrite ?", vb::vbYesNo + vb::vbDefaultButton2, "Save"), vb::vbNo);
    // Nothing queued: the default button, recorded as such.
    EXPECT_EQ(vb::MsgBox("again", vb::vbYesNo + vb::vbDefaultButton2), vb::vbNo);
    EXPECT_EQ(vb::MsgBox("plain"), vb::vbOK);
    EXPECT_EQ(vb::MsgBox("?", vb::vbYesNoCancel), vb::vbYes);
    ASSERT_EQ(dialogs->Messages().size(), 4u);
    EXPECT_EQ(dialogs->Messages()[0].prompt, " Overwrite ?");
    EXPECT_EQ(dialogs->Messages()[0].title, "Save");
    EXPECT_EQ(dialogs->Messages()[0].buttons, vb::vbYesNo + vb::vbDefaultButton2);
    EXPECT_FALSE(dialogs->Messages()[0].defaulted);
    EXPECT_TRUE(dialogs->Messages()[1].defaulted);
    EXPECT_EQ(dialogs->Messages()[2].title, vb::AppTitle()) << "an empty title shows the program's";

    dialogs->QueueInput("42");
    EXPECT_EQ(vb::InputBox("Value?"), "42");
    EXPECT_EQ(vb::InputBox("Value?", "", "7"), "") << "unanswered input is a cancel";
    EXPECT_TRUE(dialogs->Inputs()[1].defaulted);
    EXPECT_EQ(dialogs->PendingAnswers(), 0u);
}

TEST(Dialogs, CommonDialogCancelRaises32755) {
    auto dialogs = std::make_shared<vb::ScriptedDialogs>();
    vb::DialogSinkScope scope(dialogs);
    vb::CommonDialog cd;
    cd.Filter("DXF (*.dxf)|*.dxf|All (*.*)|*.*");
    cd.DialogTitle("Save profile");
    cd.CancelError(true);
    dialogs->QueueFile("/tmp/out/profile.dxf");
    cd.ShowSave();
    EXPECT_EQ(cd.FileName(), "/tmp/out/profile.dxf");
    EXPECT_EQ(cd.FileTitle(), "profile.dxf");
    ASSERT_EQ(dialogs->Files().size(), 1u);
    EXPECT_TRUE(dialogs->Files()[0].request.save);
    EXPECT_EQ(dialogs->Files()[0].request.filter, "DXF (*.dxf)|*.dxf|All (*.*)|*.*");
    EXPECT_EQ(dialogs->Files()[0].request.title, "Save profile");

    dialogs->QueueFileCancel();
    try {
        cd.ShowOpen();
        ADD_FAILURE() << "a cancelled dialog with CancelError raises";
    } catch (const vb::VbError& e) {
        EXPECT_EQ(e.Number(), 32755);
    }
    // Unqueued: also a cancel, never a block.
    EXPECT_THROW(cd.ShowOpen(), vb::VbError);
    EXPECT_TRUE(dialogs->Files().back().defaulted);

    cd.CancelError(false);
    cd.ShowOpen();
    EXPECT_EQ(cd.FileName(), "");
}

struct ErrForm : vb::Form {
    vb::CommandButton Command1{*this, "Go"};
    vb::TextBox Text1{*this};
    int after = 0;
    ErrForm() {
        Command1.Click = [this] { Command1_Click(); };
        Text1.Change = [this] { throw vb::VbError(13, "Type mismatch"); };
    }
    void Command1_Click() {
        vb::RaiseError(11);
        ++after;
    }
};

TEST(Dispatcher, UntrappedErrorIsShownAndTheProgramGoesOn) {
    auto dialogs = std::make_shared<vb::ScriptedDialogs>();
    vb::DialogSinkScope scope(dialogs);
    ErrForm f;
    vb::test::ShowAndActivate(f);
    int before = vb::ReportedErrorCount();
    vb::test::SendMouse(f.Command1, vb::test::MouseAction::Click, vb::vbLeftButton, 50, 50);
    EXPECT_EQ(f.after, 0) << "the handler stopped at the error";
    ASSERT_EQ(dialogs->Messages().size(), 1u);
    EXPECT_NE(dialogs->Messages()[0].prompt.find("11"), std::string::npos);
    EXPECT_NE(dialogs->Messages()[0].prompt.find("Division by zero"), std::string::npos);
    EXPECT_EQ(vb::ReportedErrorCount(), before + 1);

    // An error in an event raised by a setter stops at the dispatcher too:
    // the code that set the text carries on.
    f.Text1.Text("x");
    EXPECT_EQ(f.Text1.Text(), "x");
    EXPECT_EQ(dialogs->Messages().size(), 2u);
    EXPECT_NE(dialogs->Messages()[1].prompt.find("Type mismatch"), std::string::npos);

    // The form still works.
    f.Command1.Click = [&f] { ++f.after; };
    vb::test::SendMouse(f.Command1, vb::test::MouseAction::Click, vb::vbLeftButton, 50, 50);
    EXPECT_EQ(f.after, 1);
    f.Unload();
}

TEST(Dispatcher, AnyExceptionStopsAtTheDispatcher) {
    auto dialogs = std::make_shared<vb::ScriptedDialogs>();
    vb::DialogSinkScope scope(dialogs);
    const int before = vb::ReportedErrorCount();
    bool after = false;
    // Neither a standard exception nor anything else thrown from a handler
    // may leave the dispatcher (in the event loop it would end the process).
    EXPECT_NO_THROW(vb::RaiseEvent(std::function<void()>([] { throw std::runtime_error("broken"); })));
    EXPECT_NO_THROW(vb::RaiseEvent(std::function<void()>([] { throw 42; })));
    EXPECT_NO_THROW(vb::Guarded([] { throw "text"; }));
    after = true;
    EXPECT_TRUE(after);
    EXPECT_EQ(vb::ReportedErrorCount(), before + 3);
    ASSERT_EQ(dialogs->Messages().size(), 3u);
    EXPECT_NE(dialogs->Messages()[0].prompt.find("broken"), std::string::npos);
}

TEST(Dialogs, PopupMenuChoosesThroughTheSink) {
    auto dialogs = std::make_shared<vb::ScriptedDialogs>();
    vb::DialogSinkScope scope(dialogs);
    vb::Form f;
    vb::Menu mnuPop{f, "Pop"};
    vb::Menu mnuRemove{mnuPop, "&Remove"};
    vb::Menu mnuSep{mnuPop, "-"};
    vb::Menu mnuHidden{mnuPop, "Hidden"};
    mnuPop.Visible(false);
    mnuHidden.Visible(false);
    std::vector<std::string> chosen;
    mnuPop.Click = [&] { chosen.push_back("opened"); };
    mnuRemove.Click = [&] { chosen.push_back("remove"); mnuRemove.Tag("-Se 1"); };
    mnuHidden.Click = [&] { chosen.push_back("hidden"); };
    dialogs->QueueMenuChoice("Remove");
    f.PopupMenu(mnuPop);
    EXPECT_EQ(chosen, (std::vector<std::string>{"opened", "remove"}))
        << "the menu's own Click, then the item's, before PopupMenu returns";
    EXPECT_EQ(mnuRemove.Tag(), "-Se 1");
    dialogs->QueueMenuChoice("Hidden");
    f.PopupMenu(mnuPop);
    f.PopupMenu(mnuPop);
    EXPECT_EQ(chosen.size(), 4u) << "hidden items cannot be chosen; unanswered pop-ups choose nothing";
    ASSERT_EQ(dialogs->Popups().size(), 3u);
    EXPECT_TRUE(dialogs->Popups()[2].defaulted);
}

}  // namespace

namespace {

struct ModalForm : vb::Form {
    int loads = 0;
    void Form_Load() override { ++loads; }
};

TEST(Dialogs, ModalFormsDoNotBlockUnderTheScriptedSink) {
    auto dialogs = std::make_shared<vb::ScriptedDialogs>();
    vb::DialogSinkScope scope(dialogs);
    ModalForm f;
    f.Show(vb::vbModal);
    EXPECT_EQ(f.loads, 1);
    EXPECT_TRUE(f.Visible());
    f.Unload();
    EXPECT_FALSE(f.Visible());
}

}  // namespace
