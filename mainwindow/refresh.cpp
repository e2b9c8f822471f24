// The refresh of the main window, the current run of pipes and the choice of
// lateral and pipe on the tab strips and lists.
#include <algorithm>

#include "mainwindow/form1.h"
#include "mainwindow/network_access.h"

void Form1::Form_Click() {
    const std::string tag = MM1.Tag();
    if (!tag.empty() && tag[0] == '-') {
        const std::string name = tag.substr(1);
        const int32_t k = myCol ? myCol->KeyToIndex("Obj" + name) : -1;
        if (k < 1) {
            // Nothing of that name is left to remove: this refresh ends here,
            // without drawing, but the request is dropped so that later
            // refreshes are not blocked by it.
            MM1.Tag("");
            return;
        }
        RemoveKeepingLinks([&] { myCol->RemoveItem(vb::Variant(k)); });
        UserControl11.tabreset();
        std::vector<std::string> laterals;
        const int32_t limit = myCol->ItemCount();
        int32_t n = myCol->FirstSibling(vb::Variant(int32_t(1)));
        for (int32_t guard = 0; n != 0 && guard <= limit; ++guard) {
            auto s = NodeRecordByIndex(myCol.get(), n);
            if (s && vb::Left(s->Name, 7) == "Lateral") {
                UserControl11.text(s->Name);
                UserControl11.AddTab(s->Name);
                laterals.push_back(s->Name);
            }
            n = myCol->NextSibling(vb::Variant(n));
        }
        MM1.Tag("");
        UserControl11.Selected(1);
        CurrentLateralName = UserControl11.text();
        // The laterals' list shows what the strip shows, so that it offers no
        // removed lateral.
        ListLaterals(laterals, CurrentLateralName);
        // The removal may have renumbered a node of the current run; the
        // run is rebuilt so that the redraw does not follow stale indices.
        // When the lateral shown changed with the removal, the picks made on
        // the one shown before go with it (latseupdate drops them).
        latseupdate(CurrentLateralName);
        // The pipe the grid showed may have gone with the lateral, or belong
        // to a lateral no longer shown; its name and values must not stay on
        // the grid.  The redraw fills the grid again when a pipe is picked.
        if (!PipeOfRun(CurrentPipeKey)) EmptyPipeGrid();
    }
    draw();
}

void Form1::EmptyPipeGrid() {
    CurrentPipeKey.clear();
    se_selupdate();
    for (int row = 1; row <= 9; ++row) MSHFlexGrid2.TextMatrix(row, 1, "");
}

void Form1::HideEditHandles() {
    auto hide = [](vb::Control& c) {
        c.Visible(false);
        c.Tag("");
    };
    for (int i : PGR.Indices()) hide(PGR(i));
    for (int i : plen.Indices()) hide(plen(i));
    for (int i : pcover.Indices()) hide(pcover(i));
    for (int i : VSlope.Indices()) hide(VSlope(i));
    for (int i : Picdia.Indices()) hide(Picdia(i));
    hide(picfrom);
    hide(picfrom1);
}

void Form1::ForgetPipePicks() {
    MarkPipeTab(0);
    CurrentPipeIndex = 0;
    HideEditHandles();
    DisarmStaleEntryBox();
}

void Form1::ReplaceNetwork(std::shared_ptr<model::cNodeCollection> tree) {
    myCol = std::move(tree);
    // The run and everything laid for it named the old network's nodes.
    RunCount = 0;
    CurrentRun.assign(2, RunEntry{});
    UserControl12.tabreset();
    ForgetPipePicks();
    EmptyPipeGrid();
    Frame11.Visible(false);
    // Nothing of the old network stays drawn.
    Picture1.BackColor(0);
    Picture2.Cls();
}

void Form1::latseupdate(const std::string& LateralName) {
    // The marks are positions in the run of the lateral they were made on:
    // a run of another lateral starts without picks.
    if (LateralName != markedLateral_) ForgetPipePicks();
    markedLateral_ = LateralName;
    RunCount = 0;
    UserControl12.tabreset();
    int32_t i = myCol ? myCol->FirstChild(vb::Variant("Obj" + LateralName)) : 0;
    List2.Clear();
    const int32_t limit = myCol ? myCol->ItemCount() : 0;
    while (i != 0 && RunCount < limit) {
        auto s = NodeRecordByIndex(myCol.get(), i);
        const std::string name = s ? s->Name : std::string();
        List2.AddItem(name);
        RunCount += 1;
        CurrentRun.resize(static_cast<size_t>(RunCount) + 1);
        RunEntry& e = CurrentRun[static_cast<size_t>(RunCount)];
        e = RunEntry{};
        e.NodeIndex = i;
        e.PipeName = RunPipeName(name);
        UserControl12.AddTab(name);
        // A node that is its own last child can only come from a broken
        // tree; the run ends with the pipes found so far.
        if (myCol->LastChild(vb::Variant(i)) == i) break;
        i = myCol->NextSibling(vb::Variant(i));
    }
    // The new tabs light up as the marks kept for this lateral say.
    UserControl12.ShowMarks();
}

std::vector<std::shared_ptr<model::Sewer>> Form1::RunRecords() const {
    std::vector<std::shared_ptr<model::Sewer>> out;
    for (int32_t i = 1; i <= RunCount; ++i) out.push_back(RunRecord(i));
    return out;
}

bool Form1::PipeOfRun(const std::string& name) const {
    if (!myCol) return false;
    const int32_t n = myCol->KeyToIndex("Obj" + name);
    for (int32_t i = 1; i <= RunCount && static_cast<size_t>(i) < CurrentRun.size(); ++i) {
        if (CurrentRun[static_cast<size_t>(i)].NodeIndex == n) return true;
    }
    return false;
}

std::shared_ptr<model::Sewer> Form1::RunRecord(int32_t position) const {
    if (position < 1 || position > RunCount || static_cast<size_t>(position) >= CurrentRun.size()) return nullptr;
    return NodeRecordByIndex(myCol.get(), CurrentRun[static_cast<size_t>(position)].NodeIndex);
}

void Form1::MarkPipeTab(int32_t position) {
    vb::Variant marks = UserControl12.TABB();
    if (marks.IsArray()) {
        for (int32_t p = 1; p <= marks.UBound(); ++p) marks.SetElement(p, vb::Variant(int16_t(0)));
        if (position >= 1 && position <= marks.UBound()) marks.SetElement(position, vb::Variant(int16_t(1)));
        UserControl12.TABB(marks);
    }
    UserControl12.ShowMarks();
}

void Form1::UserControl11_refresh() {
    MM1.Tag(UserControl11.text());
    PopupMenu(MM1);
}

void Form1::UserControl11_TabSelect(int32_t /*Index*/) {
    CurrentLateralName = UserControl11.text();
    latseupdate(CurrentLateralName);
    MarkPipeTab(0);
    UserControl12.Selected(1);
    UserControl11.Picture10_Paint();
    UserControl12_TabSelect(1);
    Form_Click();
}

void Form1::ListLaterals(const std::vector<std::string>& names, const std::string& current) {
    listingLaterals_ = true;
    List1.Clear();
    for (const std::string& name : names) List1.AddItem(name);
    const auto at = std::find(names.begin(), names.end(), current);
    if (at != names.end()) List1.ListIndex(static_cast<int>(at - names.begin()));
    listingLaterals_ = false;
}

void Form1::List1_Click() {
    if (listingLaterals_) return;
    UserControl12.tabreset();
    if (List1.ListCount() > 0) {
        CurrentLateralName = List1.Text();
        UserControl11.text(CurrentLateralName);
        CurrentPipeIndex = 0;
        latseupdate(CurrentLateralName);
        if (List2.ListCount() > 0) List2.ListIndex(0);
    }
    UserControl11.text(CurrentLateralName);
    UserControl11.Picture10_Click();
}

void Form1::UserControl12_TabSelect(int32_t /*Index*/) {
    Picture1.Cls();
    // The edit handles belong to the pipe marked before; the redraw lays them
    // again for the new choice.
    HideEditHandles();
    if (CurrentRunPos > 0) {
        // The strip stores the pressed tab's position in Selected; the window
        // sets it to 1 whenever a lateral is chosen.
        CurrentPipeIndex = UserControl12.Selected();
        if (auto s = RunRecord(CurrentPipeIndex)) CurrentPipeKey = s->Name;
        se_selupdate();
        Form_Click();
    }
}

void Form1::UserControl12_refresh() {
    const vb::Variant marks = UserControl12.TABB();
    if (!marks.IsArray()) return;
    for (int32_t p = 1; p <= marks.UBound(); ++p) {
        const vb::Variant m = marks.Element(p);
        if (!(m.IsNumeric() && vb::CDbl(m) == 1)) continue;
        vb::MsgBox(std::to_string(p), vb::vbOKOnly);
        if (auto s = RunRecord(p)) ProfileOffsetX = s->x3 - 9;
    }
}

void Form1::List2_Click() {
    // Edits left in the pipe grid go to the pipe it shows before another pipe
    // is chosen (only the cells the user changed are written).
    if (PipeGridRow > 0) updatedata(PipeGridRow, 1);
    if (List2.ListCount() == 0) return;
    MSHFlexGrid2.TextMatrix(0, 0, "Sewer");
    auto s = NodeRecordByKey(myCol.get(), "Obj" + List2.Text());
    if (!s) return;
    CurrentPipeKey = s->Name;
    ProfileOffsetX = 10 - s->x3;
    CurrentPipeIndex = List2.ListIndex() + 1;
    MarkPipeTab(CurrentPipeIndex);
    se_selupdate();
    Form_Click();
}

void Form1::List2_GotFocus() {
    MSHFlexGrid2.TextMatrix(1, 0, "Rowheight");
    MSHFlexGrid2.TextMatrix(2, 0, "height");
    MSHFlexGrid2.TextMatrix(3, 0, "Color");
    // When the grid shows a record, a click on the list may have refilled it
    // before the focus came, or may choose the entry already chosen and raise
    // no Click at all: the record is shown again here, so that its rows keep
    // their own titles (edits left in the grid go to it first).
    if (NodeRecordByKey(myCol.get(), "Obj" + CurrentPipeKey)) {
        if (PipeGridRow > 0) updatedata(PipeGridRow, 1);
        se_selupdate();
    }
}

void Form1::List2_LostFocus() {
    if (List2.ListIndex() == -1) MSHFlexGrid2.Clear();
}

void Form1::List2_ItemCheck(int /*Item*/) {}
