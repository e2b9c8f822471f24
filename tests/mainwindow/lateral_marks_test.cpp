// The links the lateral pickers make stay pairs: a field or mark names the node
// it was set to, or 0, through every pick, removal, Save and Re-Load; a field
// that names no node (as a file may hold) is no link and raises nothing.
#include <algorithm>

#include "tests/mainwindow/form1_fixture.h"

namespace {

class LateralMarksTest : public Form1Test {
protected:
    // Lateral1 with Se 2 to Se 5, Lateral2 with Se 6 and Se 7, and Lateral3
    // (no pipes), the last node of the network.
    void BuildNetwork() {
        for (int i = 0; i < 4; ++i) f().Command7_Click();
        f().Command6_Click();
        f().Command7_Click();
        f().Command7_Click();
        f().Command6_Click();
        ASSERT_TRUE(Rec("Se 7") && Rec("Lateral3"));
        ASSERT_EQ(Index("Lateral3"), f().myCol->ItemCount());
    }
    int32_t Index(const std::string& name) { return f().myCol->KeyToIndex("Obj" + name); }
    // Chooses the lateral on the list and the pipe on the pipe list, which
    // marks its tab so that the redraw puts the pickers beside it.
    void Choose(const std::string& lateral, const std::string& pipe = "") {
        for (int i = 0; i < f().List1.ListCount(); ++i)
            if (f().List1.List(i) == lateral) f().List1.ListIndex(i);
        ASSERT_EQ(CurrentLateralName, lateral);
        for (int i = 0; i < f().List2.ListCount(); ++i)
            if (f().List2.List(i) == pipe) f().List2.ListIndex(i);
    }
    // Opens the first (or second) lateral picker of the pipe and returns the
    // text it opens with.
    std::string Open(const std::string& pipe, bool second) {
        Choose("Lateral1", pipe);
        EXPECT_EQ(f().picfrom.Tag(), std::to_string(Index(pipe)));
        second ? f().picfrom1_MouseDown(1, 0, 0, 0) : f().picfrom_MouseDown(1, 0, 0, 0);
        return f().Combo1.Text();
    }
    // Chooses the lateral ("" for the empty item) in the open picker.
    void Pick(const std::string& pipe, bool second, const std::string& lateral) {
        Open(pipe, second);
        for (int i = 0; i < f().Combo1.ListCount(); ++i)
            if (f().Combo1.List(i) == lateral) return f().Combo1.ListIndex(i);
        ADD_FAILURE() << "no item " << lateral;
    }
    ::testing::AssertionResult Linked(const std::string& pipe, bool second, const std::string& lateral) {
        auto p = Rec(pipe);
        auto l = Rec(lateral);
        if (!p || !l) return ::testing::AssertionFailure() << "missing node";
        const int32_t field = second ? p->ma3 : p->ma2;
        if (field == Index(lateral) && l->ma1 == Index(pipe)) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << pipe << " names " << field << ", " << lateral << " ("
                                             << Index(lateral) << ") names " << l->ma1 << ", " << pipe << " is "
                                             << Index(pipe);
    }
    // The labels of joining laterals and of the outflow on the profile shown.
    std::vector<std::string> Labels() {
        std::vector<std::string> out;
        for (const auto& e : f().Picture1.DrawLog()) {
            if (e.kind == vb::DrawEntry::Kind::Text && (e.text.rfind("From", 0) == 0 || e.text.rfind("To ", 0) == 0))
                out.push_back(e.text);
        }
        return out;
    }
    void RemovePipe(const std::string& lateral, const std::string& pipe) {
        Choose(lateral, pipe);
        ASSERT_EQ(f().List2.Text(), pipe);
        f().DeleteSelectedNode(0);
        ASSERT_FALSE(Rec(pipe));
    }
    void SaveAndReloadInAFreshWindow() {
        f().cmdSaveCollection_Click(0);
        form_.reset();
        form_ = std::make_unique<ProbedForm1>();
        form_->Load();
        f().cmdSaveCollection_Click(1);
    }
};

}  // namespace

// The empty item takes the lateral's mark with the pipe's field; a lateral
// chosen instead of another frees the other.  Removing the pipe then leaves
// no mark to name the node that takes its index.
TEST_F(LateralMarksTest, TheEmptyItemAndAnotherChoiceLeaveNoMarkBehind) {
    BuildNetwork();
    Pick("Se 2", false, "Lateral2");
    ASSERT_TRUE(Linked("Se 2", false, "Lateral2"));
    Pick("Se 2", false, "");
    EXPECT_EQ(Rec("Se 2")->ma2, 0);
    EXPECT_EQ(Rec("Lateral2")->ma1, 0);

    Pick("Se 3", true, "Lateral2");
    Pick("Se 3", true, "Lateral3");
    EXPECT_TRUE(Linked("Se 3", true, "Lateral3"));
    EXPECT_EQ(Rec("Lateral2")->ma1, 0);
    // The same lateral chosen in the other field: the earlier link wins and
    // keeps its mark.
    Pick("Se 3", false, "Lateral3");
    EXPECT_EQ(Rec("Se 3")->ma2, 0);
    EXPECT_TRUE(Linked("Se 3", true, "Lateral3"));

    // The last node (Lateral3) takes Se 2's index: Lateral2 must not name it.
    RemovePipe("Lateral1", "Se 2");
    EXPECT_EQ(Rec("Lateral2")->ma1, 0);
    EXPECT_TRUE(Linked("Se 3", true, "Lateral3"));
    Choose("Lateral2", "Se 6");
    EXPECT_EQ(Labels(), std::vector<std::string>{});

    // A file may hold one lateral in both fields: emptying one keeps the
    // other's link.
    Rec("Se 5")->ma2 = Rec("Se 5")->ma3 = static_cast<int16_t>(Index("Lateral2"));
    Rec("Lateral2")->ma1 = static_cast<int16_t>(Index("Se 5"));
    Pick("Se 5", false, "");
    EXPECT_EQ(Rec("Se 5")->ma2, 0);
    EXPECT_TRUE(Linked("Se 5", true, "Lateral2"));
    EXPECT_EQ(vb::ReportedErrorCount(), errorsBefore_);
}

// A lateral joins one pipe: chosen for a second pipe, it leaves the first,
// whose field then names nothing, through Save and Re-Load too.
TEST_F(LateralMarksTest, ALateralPickedForASecondPipeLeavesTheFirst) {
    BuildNetwork();
    Pick("Se 2", false, "Lateral2");
    Pick("Se 4", false, "Lateral2");
    EXPECT_EQ(Rec("Se 2")->ma2, 0);
    EXPECT_TRUE(Linked("Se 4", false, "Lateral2"));
    // The empty item on the pipe it left takes nothing from the new link.
    Pick("Se 2", false, "");
    EXPECT_TRUE(Linked("Se 4", false, "Lateral2"));
    Pick("Se 3", true, "Lateral3");
    Pick("Se 5", false, "Lateral3");
    EXPECT_EQ(Rec("Se 3")->ma3, 0);

    SaveAndReloadInAFreshWindow();
    EXPECT_EQ(Rec("Se 2")->ma2, 0);
    EXPECT_EQ(Rec("Se 3")->ma3, 0);
    EXPECT_TRUE(Linked("Se 4", false, "Lateral2"));
    EXPECT_TRUE(Linked("Se 5", false, "Lateral3"));
    EXPECT_EQ(Open("Se 2", false), "");
    EXPECT_EQ(Open("Se 3", true), "");
    EXPECT_EQ(Open("Se 4", false), "Lateral2");
    Choose("Lateral1", "Se 4");
    EXPECT_EQ(Labels(), (std::vector<std::string>{"FromLateral2", "FromLateral3"}));
    EXPECT_EQ(vb::ReportedErrorCount(), errorsBefore_);
}

// Link fields a file may hold that name no node (32767, -32768, -1) load and
// are no links: no label, no error box, and every command goes on.
TEST_F(LateralMarksTest, FieldsThatNameNoNodeAreNoLinks) {
    BuildNetwork();
    Rec("Se 2")->ma2 = 32767;
    Rec("Se 2")->ma3 = -32768;
    Rec("Se 3")->ma2 = -1;
    Rec("Se 3")->ma3 = 32767;
    Rec("Lateral1")->ma1 = 32767;
    Rec("Lateral2")->ma1 = -1;
    Rec("Lateral3")->ma1 = -32768;
    SaveAndReloadInAFreshWindow();
    ASSERT_EQ(Rec("Se 2")->ma2, 32767);
    ASSERT_EQ(Rec("Lateral1")->ma1, 32767);
    // A number that names a node but no lateral (an import's pipe number).
    Rec("Se 4")->ma2 = static_cast<int16_t>(Index("Diameter3"));
    EXPECT_EQ(Open("Se 4", false), "");
    const size_t messages = dialogs().Messages().size();

    for (const std::string pipe : {"Se 2", "Se 3"}) {
        Choose("Lateral1", pipe);
        EXPECT_EQ(Labels(), std::vector<std::string>{}) << pipe;
        EXPECT_EQ(Open(pipe, false), "") << pipe;
        f().Combo1.ListIndex(0);
        EXPECT_EQ(Open(pipe, true), "") << pipe;
        f().Combo1.ListIndex(0);
    }
    EXPECT_EQ(Rec("Se 2")->ma2, 0);
    Pick("Se 3", false, "Lateral2");
    EXPECT_TRUE(Linked("Se 3", false, "Lateral2"));
    f().Picdia_MouseDown(1, 1, 0, 0, 0);
    f().Combo1.ListIndex(3);
    EXPECT_EQ(Rec("Se 3")->dia, 350);
    f().Command7_Click();
    f().Command3_Click();
    Choose("Lateral3");
    f().Command7_Click();
    EXPECT_EQ(Labels(), std::vector<std::string>{});
    f().Cmdtest_Click();
    f().InspectObject(vb::Variant("ObjLateral1"));
    const std::vector<std::string> prompts = Prompts();
    EXPECT_EQ(std::vector<std::string>(prompts.begin() + static_cast<long>(messages), prompts.end()),
              std::vector<std::string>{"Lateral1"});   // the inspector's own box
    EXPECT_EQ(vb::ReportedErrorCount(), errorsBefore_);
}
