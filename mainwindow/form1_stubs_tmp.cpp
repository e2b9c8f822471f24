#include "mainwindow/form1.h"
void Form1::Form_Load() {}
void Form1::Form_Activate() {}
void Form1::Form_Resize() {}
void Form1::Form_Unload(int&) {}
void Form1::LayoutAuxiliaryControls() {}
void Form1::Form_Click() {}
void Form1::NewDefaultNetwork() {}
void Form1::FillLateralList() {}
void Form1::latseupdate(const std::string&) {}
void Form1::UserControl11_refresh() {}
void Form1::UserControl11_TabSelect(int32_t) {}
void Form1::UserControl12_refresh() {}
void Form1::UserControl12_TabSelect(int32_t) {}
void Form1::List1_Click() {}
void Form1::List2_Click() {}
void Form1::List2_GotFocus() {}
void Form1::List2_LostFocus() {}
void Form1::List2_ItemCheck(int) {}
void Form1::Command4_Click() {}
void Form1::Command6_Click() {}
void Form1::Command3_Click() {}
void Form1::Command7_Click() {}
void Form1::Command5_Click() {}
void Form1::Command2_Click() {}
void Form1::Command26_Click() {}
void Form1::DeleteSelectedNode(int16_t) {}
void Form1::RemoveSelectedChildren() {}
void Form1::AddSewerToLateral() {}
void Form1::MoveSelectedNodes(const std::string&) {}
bool Form1::StoreNode(const std::shared_ptr<model::Sewer>&, const std::string&, const vb::Variant&, const vb::Variant&, const vb::Variant&) { return false; }
int32_t Form1::NextFreeNumber(const std::string&, int32_t) const { return 0; }
