// The calculator panel's option group.  The panel's own code replaces this
// with the handler that enables the input boxes of the chosen case.
#include "mainwindow/form1.h"

void Form1::Option1_Click(int /*Index*/) {}
