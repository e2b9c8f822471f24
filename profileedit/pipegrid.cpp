#include "mainwindow/form1.h"
void Form1::se_selupdate() {}
void Form1::updatedata(int, int) {}
void Form1::qrate() {}
void Form1::updatedata1(int, int) {}
void Form1::MSHFlexGrid2_Click() {}
void Form1::MSHFlexGrid2_EnterCell() {}
void Form1::MSHFlexGrid2_KeyPress(int&) {}
void Form1::txtEdit_Change() {}
void Form1::txtEdit_KeyDown(int&, int&) {}
void Form1::txtEdit_KeyPress(int&) {}
void Form1::txtEdit_LostFocus() {}
void Form1::MSHFlexGrid3_Click() {}
void Form1::MSHFlexGrid3_KeyPress(int&) {}
void Form1::TxtEdit1_Change() {}
void Form1::TxtEdit1_KeyDown(int&, int&) {}
void Form1::TxtEdit1_KeyPress(int&) {}
void Form1::TxtEdit1_LostFocus() {}
void Form1::CommitPipeGridEdit() {}
void Form1::OpenPipeGridEditor() {}
