// The main window's commands that extend the network: laterals, pipes,
// sheets, a lateral's "lat" text, the project window, and the procedures for
// removing and moving the pipe list's entries.
#include "mainwindow/form1.h"
#include "mainwindow/lateral_links.h"
#include "mainwindow/network_access.h"
#include "projectdata/form3.h"
#include "profileedit/grid_value.h"
#include "profile/format.h"

bool Form1::StoreNode(const std::shared_ptr<model::Sewer>& record, const std::string& parentKey,
                      const vb::Variant& e0, const vb::Variant& e1, const vb::Variant& e2) {
    if (!parentKey.empty() && !(myCol && myCol->KeyExists(parentKey))) {
        vb::MsgBox("There is no lateral \"" + parentKey.substr(3) + "\" to add the pipe to.", vb::vbOKOnly);
        return false;
    }
    if (!myCol) myCol = NewNetworkCollection();
    const std::string key = "Obj" + record->Name;
    if (myCol->KeyExists(key)) {
        vb::MsgBox("\"" + record->Name + "\" exists already.", vb::vbOKOnly);
        return false;
    }
    AddRecordNode(*myCol, record, parentKey, e0, e1, e2);
    return true;
}

int32_t Form1::NextFreeNumber(const std::string& prefix, int32_t from) const {
    int32_t n = std::max<int32_t>(from, 1);
    while (myCol && myCol->KeyExists("Obj" + prefix + std::to_string(n))) ++n;
    return n;
}

std::shared_ptr<model::Sewer> Form1::StoreTopLevelNode(const std::string& prefix, int32_t& count) {
    const int32_t n = NextFreeNumber(prefix, count + 1);
    auto s = std::make_shared<model::Sewer>();
    s->Name = prefix + std::to_string(n);
    s->Index = 1001;
    s->lat = s->Name;
    if (!StoreNode(s, {}, vb::Variant(s->Name), vb::Variant(s->Index), vb::Variant(s->lat))) return nullptr;
    count = n;
    return s;
}

namespace {
// True when the list has items and every one of them is selected.
bool AllSelected(const vb::ListBox& list) {
    bool all = list.ListCount() > 0;
    for (int i = 0; i < list.ListCount(); ++i) all = all && list.Selected(i);
    return all;
}
}  // namespace

void Form1::Command4_Click() {
    // A name that is a key already (the running number is reset by a reload)
    // is skipped: the next free number is taken.
    auto s = StoreTopLevelNode("Lateral", LateralCount);
    if (!s) return;
    UserControl11.AddTab(s->Name);
    List1.AddItem(s->Name);
    List1.ListIndex(List1.ListCount() - 1);
    UserControl11.text(List1.Text());
}

void Form1::Command6_Click() {
    UserControl12.text("");
    CurrentPipeIndex = 0;
    picfrom.Visible(false);
    picfrom1.Visible(false);
    RunCount = 0;
    CurrentLateralName.clear();

    const int32_t n = NextFreeNumber("Lateral", 1);
    auto s = StoreNewLateral(n);
    if (!s) return;
    LateralCount = std::max(LateralCount + 1, n);
    AddedLateralRecord = s;
    ShowNewLateral(s->Name);
    Command8_Click();
}

std::shared_ptr<model::Sewer> Form1::StoreNewLateral(int32_t number) {
    auto s = std::make_shared<model::Sewer>();
    s->Name = "Lateral" + std::to_string(number);
    s->Index = 1001;
    s->lat = s->Name;
    SetDefaultPipeValues(*s);
    if (!StoreNode(s, {}, vb::Variant(), vb::Variant(s->Index), vb::Variant(s->lat))) return nullptr;
    return s;
}

void Form1::ShowNewLateral(const std::string& name) {
    UserControl11.AddTab(name);
    UserControl11.text(name);
    UserControl12.tabreset();
    RunCount = 0;
    CurrentPipeKey = name;
    se_selupdate();
    // Choosing the list's new entry makes the lateral current.
    List1.AddItem(name);
    List1.ListIndex(List1.ListCount() - 1);
    MarkPipeTab(0);
}

void Form1::Command3_Click() {
    CurrentLateralName = UserControl11.text();
    auto s = AddSewerToLateral();
    if (!s) return;
    List2.AddItem(s->Name);
    UserControl11_TabSelect(0);
    List1_Click();
    latseupdate(CurrentLateralName);
    if (List2.ListCount() > 0) List2.ListIndex(List2.ListCount() - 1);
}

void Form1::Command7_Click() {
    CurrentLateralName = UserControl11.text();
    const std::string parentKey = "Obj" + CurrentLateralName;
    const int32_t n = NextFreeNumber("Se ", PipeCount + 1);
    auto s = std::make_shared<model::Sewer>();
    s->Name = "Se " + std::to_string(n);
    s->Index = n;
    s->lat = UserControl11.text();
    if (!StoreNode(s, parentKey, vb::Variant(s->Name), PictureOf(Image1), vb::Variant(s->lat))) return;
    PipeCount = n;
    s->l = 50;
    s->y1 = 10;

    std::shared_ptr<model::Sewer> prev;
    if (RunCount > 0 && static_cast<size_t>(RunCount) < CurrentRun.size() &&
        CurrentRun[static_cast<size_t>(RunCount)].NodeIndex > 0) {
        prev = NodeRecordByKey(myCol.get(), "Obj" + vb::Trim(CurrentRun[static_cast<size_t>(RunCount)].PipeName));
    }
    if (prev) {
        // The new pipe continues the last pipe of the run.
        s->felv = prev->telv;
        s->finv = prev->tinv;
        s->slope = 0.004f;
        s->mincover = 2;
        s->dia = prev->dia;
        s->qd = prev->qd;
    } else {
        // The first pipe of a lateral takes its values from the pipe grid.  The
        // pipe is already in the network, so a cell whose number no pipe field
        // can hold (left there after the grid refused to store it) counts as 0
        // instead of failing half-way through the new record.
        std::string rows[7];
        for (int row = 1; row <= 6; ++row) rows[row] = MSHFlexGrid2.TextMatrix(row, 1);
        PipeValuesFromGrid(*s, rows, false);
    }
    SetNewPipeEnds(*s);
    UserControl12.text(s->Name);
    latseupdate(CurrentLateralName);
    Form_Click();
}

void Form1::Command5_Click() {
    auto s = StoreTopLevelNode("Sheet", SheetCount);
    if (!s) return;
    List1.AddItem(s->Name);
    List1.ListIndex(List1.ListCount() - 1);
}

void Form1::Command2_Click() {
    auto s = NodeRecordByKey(myCol.get(), "Obj" + List1.Text());
    if (s) s->lat = txt_script.Text();
}

void Form1::Command26_Click() { Form3Window().Show(vb::vbModeless); }

void Form1::DeleteSelectedNode(int16_t Flag) {
    if (Flag != 0) {
        NewDefaultNetwork();
        return;
    }
    if (myCol) RemoveKeepingLinks([&] { myCol->RemoveItem(vb::Variant("Obj" + List2.Text())); });
    FillLateralList();
}

void Form1::RemoveSelectedChildren() {
    if (!myCol) return;
    const std::string key = "Obj" + List2.Text();
    RemoveKeepingLinks([&] {
        if (AllSelected(List2)) {
            myCol->RemoveChildren(vb::Variant(key));
            return;
        }
        for (int i = List2.ListCount() - 1; i >= 0; --i) {
            if (List2.Selected(i)) myCol->RemoveItem(myCol->SiblingOffsetIndex(vb::Variant(key), i, false));
        }
    });
}

void Form1::RemoveKeepingLinks(const std::function<void()>& remove) {
    const std::vector<LateralLink> links = FindLateralLinks(*myCol);
    // The handles and pickers name their pipes by node index, which the
    // removal may give to another node: they are hidden, and the next redraw
    // lays those of the marked pipe again.
    const auto writeBack = [&] {
        WriteLateralLinks(*myCol, links, [&](const std::string& key) { return myCol->KeyToIndex(key); });
        HideEditHandles();
    };
    try {
        remove();
    } catch (...) {
        // Nodes removed before the error have renumbered others too.
        writeBack();
        throw;
    }
    writeBack();
}

std::shared_ptr<model::Sewer> Form1::AddSewerToLateral() {
    const std::string parentKey = "Obj" + CurrentLateralName;
    // The running number is reset on activation; a name in use is skipped.
    const int32_t n = NextFreeNumber(CurrentLateralName + " ", PipeCount + 1);
    auto s = std::make_shared<model::Sewer>();
    s->Name = CurrentLateralName + " " + std::to_string(n);
    s->lat = List1.Text();
    if (!StoreNode(s, parentKey, vb::Variant(s->Name), PictureOf(Image1), vb::Variant(s->lat))) return nullptr;
    PipeCount = n;
    s->l = 50;
    s->x1 = static_cast<float>(50.0 * PipeCount + 50);
    s->y1 = 10;
    s->felv = 102;
    s->telv = 100;
    s->tinv = 99;
    s->finv = 96;
    s->dia = 200;
    s->qd = 10;
    s->Index = PipeCount;
    return s;
}

void Form1::MoveSelectedNodes(const std::string& TargetName) {
    if (!myCol) return;
    const std::string source = "Obj" + List2.Text();
    const std::string target = "Obj" + TargetName;
    if (AllSelected(List2)) {
        myCol->MoveChildren(vb::Variant(source), vb::Variant(target));
        return;
    }
    for (int i = 0; i < List2.ListCount(); ++i) {
        if (List2.Selected(i)) myCol->MoveItem(myCol->SiblingOffsetIndex(vb::Variant(source), i), vb::Variant(target));
    }
}
