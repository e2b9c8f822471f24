// The about box: two credit lines and an OK button.
#pragma once

#include "platform/ui/ui.h"

class Form2 : public vb::Form {
public:
    Form2();

    vb::Label Label1;
    vb::CommandButton Command1;   // "O&K"

    void Form_Load() override;
    void Command1_Click();
};

// The about box of the process, created on first use and kept while the
// program runs (it is shown and unloaded, never destroyed).
Form2& Form2Window();
