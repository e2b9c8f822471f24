// The tab strip: a row of captioned tabs, one of them selected.  Tabs are
// numbered from 1 as the runtime's Tabs collection numbers them, and each
// has a caption and a key.
//
// Click is raised when the user presses a tab (also the tab already
// selected) or moves the selection with the keyboard, and when code sets
// SelectedIndex; SelectedIndex already names the new tab when it runs.
#pragma once

#include <string>
#include <vector>

#include "platform/ui/control.h"

namespace vb {

class TabStrip : public Control {
public:
    explicit TabStrip(Container& c);

    // Appends a tab; returns its index.
    int AddTab(const std::string& caption, const std::string& key = {});
    int TabCount() const { return static_cast<int>(keys_.size()); }
    // Error 35600 ("Index out of bounds") outside 1 to TabCount.
    std::string TabCaption(int index) const;
    std::string TabKey(int index) const;
    // The selected tab, 0 when there is none.
    int SelectedIndex() const;
    // Selects a tab and raises Click; error 35600 outside 1 to TabCount.
    void SelectedIndex(int index);

private:
    void CheckIndex(int index) const;
    std::vector<std::string> keys_;
    bool selecting_ = false;
};

}  // namespace vb
