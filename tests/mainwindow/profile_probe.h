// What the profile shows and offers, read off a real main window, and a
// user's picks and handle drags on it sent as real mouse events.  Shared by
// the tests of the commands that remove laterals or replace the network.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "mainwindow/form1.h"
#include "mainwindow/network_access.h"
#include "platform/ui/testing.h"

namespace probe {

using vb::test::MouseAction;
using vb::test::SendMouse;

// Every edit handle and picker of the profile.
inline std::vector<vb::Control*> Handles(Form1& f) {
    std::vector<vb::Control*> out{&f.picfrom, &f.picfrom1};
    for (int i : f.PGR.Indices()) out.push_back(&f.PGR(i));
    for (int i : f.pcover.Indices()) out.push_back(&f.pcover(i));
    for (int i : f.plen.Indices()) out.push_back(&f.plen(i));
    for (int i : f.VSlope.Indices()) out.push_back(&f.VSlope(i));
    for (int i : f.Picdia.Indices()) out.push_back(&f.Picdia(i));
    return out;
}

// The names of the pipes that carry a visible handle (the downstream ground
// handle, element 0, stands for the last pipe of the run and has no tag).
inline std::set<std::string> PipesWithHandles(Form1& f) {
    std::set<std::string> out;
    for (vb::Control* c : Handles(f)) {
        if (!c->Visible() || c->Tag().empty()) continue;
        auto s = NodeRecordByIndex(f.myCol.get(), static_cast<int32_t>(vb::Val(c->Tag())));
        out.insert(s ? s->Name : "node " + c->Tag() + " of no pipe");
    }
    return out;
}

inline int VisibleHandles(Form1& f) {
    int n = 0;
    for (vb::Control* c : Handles(f)) n += c->Visible();
    return n;
}

// Tags of hidden handles that still name a node.
inline std::vector<std::string> StaleTags(Form1& f) {
    std::vector<std::string> out;
    for (vb::Control* c : Handles(f)) {
        if (!c->Visible() && !c->Tag().empty()) out.push_back(c->Tag());
    }
    return out;
}

// Captions of the lit tabs of the pipes' strip.
inline std::set<std::string> LitPipeTabs(Form1& f) {
    std::set<std::string> out;
    const auto& tabs = f.UserControl12.Tabs();
    for (size_t i = 1; i < tabs.size(); ++i) {
        if (tabs[i].IsSelected) out.insert(tabs[i].Caption);
    }
    return out;
}

// Captions of the pipes' tabs that the strip's canvas shows lit: the last
// time each caption was drawn, it was drawn in the selected look's white.
inline std::set<std::string> ShownLitPipeTabs(Form1& f) {
    std::map<std::string, int32_t> last;
    for (const vb::DrawEntry& e : f.UserControl12.Picture10.DrawLog()) {
        if (e.kind == vb::DrawEntry::Kind::Text) last[e.text] = e.color;
    }
    std::set<std::string> out;
    for (const auto& [caption, color] : last) {
        if (color == 0xFFFFFF) out.insert(caption);
    }
    return out;
}

// Positions marked on the pipes' strip.
inline std::vector<int> Marks(Form1& f) {
    std::vector<int> out;
    const vb::Variant marks = f.UserControl12.TABB();
    for (int32_t i = 1; marks.IsArray() && i <= marks.UBound(); ++i) {
        const vb::Variant m = marks.Element(i);
        if (m.IsNumeric() && vb::CDbl(m) == 1) out.push_back(i);
    }
    return out;
}

// A left or right click on the tab of that caption.
inline void ClickTab(UserControl1& strip, const std::string& caption, int button) {
    for (const TabRecord& t : strip.Tabs()) {
        if (t.Caption != caption) continue;
        SendMouse(strip.Picture10, MouseAction::Click, button, (t.Left + t.Right) * 7.5, (t.Top + t.Bottom) * 7.5);
        return;
    }
    ADD_FAILURE() << "no tab " << caption;
}

// Where pipe `position` of the run is drawn, above the table.
struct Point {
    double x = 0, y = 0;
};
inline Point PipeOnProfile(Form1& f, int position) {
    auto p = f.RunRecord(position);
    if (!p) return {};
    return {p->x3 + p->l / 2 + ProfileOffsetX, ProfileOffsetY - 40.0};
}
// Profile space above the table, just upstream of the first pipe: no pipe
// is drawn there.
inline Point EmptyProfileSpace(Form1& f) {
    auto p = f.RunRecord(1);
    return {(p ? p->x3 : 0) + ProfileOffsetX - 4, ProfileOffsetY - 40.0};
}
inline void RightClick(Form1& f, Point at) { SendMouse(f.Picture1, MouseAction::Click, 2, at.x, at.y); }

// The middle of a handle, in the units of the profile picture.
inline Point Middle(const vb::Control& c) { return {c.Left() + c.Width() / 2, c.Top() + c.Height() / 2}; }

// Presses the left button at a place of the profile picture (on whatever is
// there: a handle, or the picture), moves one unit down and lets go.
inline void DragDown(Form1& f, Point at) {
    SendMouse(f.Picture1, MouseAction::Down, 1, at.x, at.y);
    SendMouse(f.Picture1, MouseAction::Move, 1, at.x, at.y + 1);
    SendMouse(f.Picture1, MouseAction::Up, 1, at.x, at.y + 1);
}

// The values a user edits on the profile, of every record of a network.
inline std::vector<std::string> EditedValues(model::cNodeCollection& col) {
    std::vector<std::string> out;
    for (int32_t n = 1; n <= col.ItemCount(); ++n) {
        auto s = NodeRecordByIndex(&col, n);
        if (!s) continue;
        out.push_back(s->Name + " cover " + vb::SingleToText(s->mincover) + " ground " + vb::SingleToText(s->felv) +
                      "/" + vb::SingleToText(s->telv) + " length " + vb::SingleToText(s->l) + " slope " +
                      vb::SingleToText(s->slope) + " dia " + std::to_string(s->dia) + " joins " +
                      std::to_string(s->ma2) + "," + std::to_string(s->ma3));
    }
    return out;
}

}  // namespace probe
