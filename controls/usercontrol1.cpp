#include "controls/usercontrol1.h"

#include <algorithm>
#include <cmath>

#include "platform/runtime/conversions.h"

namespace {

constexpr int kTwips = 15;          // twips per pixel
constexpr int kTabHeight = 17;      // pixels
constexpr int kCanvasHeight = 18;   // pixels
constexpr int kCapWidth = 5;        // pixels
constexpr int kMiddleWidth = 13;    // pixels

constexpr int32_t Rgb(int r, int g, int b) { return r | (g << 8) | (b << 16); }

constexpr int32_t kCanvasColor = Rgb(236, 239, 243);

struct Skin {
    int32_t top, bottom, border, text;
};
const Skin kPlain{Rgb(252, 252, 253), Rgb(221, 226, 233), Rgb(158, 167, 180), 0};
const Skin kSelected{Rgb(78, 140, 212), Rgb(41, 94, 168), Rgb(30, 70, 132), 0xFFFFFF};
const Skin kHover{Rgb(238, 246, 255), Rgb(203, 224, 249), Rgb(104, 146, 204), 0};

int32_t Blend(int32_t a, int32_t b, double t) {
    auto ch = [&](int shift) {
        double x = ((a >> shift) & 0xFF) * (1 - t) + ((b >> shift) & 0xFF) * t;
        return static_cast<int32_t>(std::lround(x)) << shift;
    };
    return ch(0) | ch(8) | ch(16);
}

// Colour of pixel (x, y) of one skin piece.  part: 0 left cap, 1 middle,
// 2 right cap.  The caps carry the side borders and rounded top corners.
int32_t SkinPixel(const Skin& s, int part, int x, int y, int width) {
    if (part == 2) x = width - 1 - x;   // the right cap mirrors the left one
    if (part != 1) {
        if ((x == 0 && y <= 1) || (x == 1 && y == 0)) return kCanvasColor;
        if (x == 1 && y == 1) return s.border;
        if (x == 0) return s.border;
    }
    if (y == 0 || y == kTabHeight - 1) return s.border;
    // A soft highlight on the upper half, then the gradient.
    double t = static_cast<double>(y) / (kTabHeight - 1);
    int32_t c = Blend(s.top, s.bottom, t);
    if (y == 1) c = Blend(c, 0xFFFFFF, 0.5);
    return c;
}

}  // namespace

UserControl1::UserControl1(vb::Container& container)
    : vb::UserControl(container),
      Picture10(*this),
      Picture1(*this),
      Picture2(*this),
      Picture3(*this),
      Picture4(*this),
      Picture5(*this),
      Picture6(*this),
      Picture7(*this),
      Picture8(*this),
      Picture9(*this),
      cmd(*this) {
    Picture10.Name("Picture10");
    cmd.Name("cmd");
    BackColor(kCanvasColor);
    Picture10.BorderStyle(0);
    Picture10.BackColor(kCanvasColor);
    vb::Font f;
    f.Name = "Arial";
    f.Size = 8;
    Picture10.Font(f);
    // Only the part of the strip in view is ever shown.
    Picture10.DrawOnDemand(true);
    BuildSkins();
    // The strip is worked with the mouse alone: a click on a tab leaves the
    // keyboard where it was (the profile, an open value box).
    CanGetFocus(false);

    Picture10.Click = [this] { Picture10_Click(); };
    Picture10.MouseDown = [this](int b, int s, float x, float y) { Picture10_MouseDown(b, s, x, y); };
    Picture10.MouseMove = [this](int b, int s, float x, float y) { Picture10_MouseMove(b, s, x, y); };
    cmd.Change = [this](int32_t& v) { cmd_Change(v); };
    m_Hook.MouseOut = [this] { m_Hook_MouseOut(); };
    Resize = [this] { UserControl_Resize(); };

    UserControl_Initialize();
    cmd.ZOrder(vb::vbBringToFront);
    UserControl_Resize();
}

UserControl1::~UserControl1() {
    UserControl_Terminate();
    m_Hook.EndSubclass();
}

// Paints the nine skin pieces into their hidden holders, pixel by pixel, and
// keeps each as the holder's picture.
void UserControl1::BuildSkins() {
    vb::PictureBox* holders[9] = {&Picture1, &Picture2, &Picture3, &Picture4, &Picture5,
                                  &Picture6, &Picture7, &Picture8, &Picture9};
    const Skin* skins[3] = {&kPlain, &kSelected, &kHover};
    for (int look = 0; look < 3; ++look) {
        for (int part = 0; part < 3; ++part) {
            vb::PictureBox& p = *holders[look * 3 + part];
            p.Name("Picture" + std::to_string(look * 3 + part + 1));
            p.Visible(false);
            p.BorderStyle(0);
            const int w = part == 1 ? kMiddleWidth : kCapWidth;
            p.Move(0, 0, w * kTwips, kTabHeight * kTwips);
            p.ScaleMode(vb::vbPixels);
            for (int y = 0; y < kTabHeight; ++y)
                for (int x = 0; x < w; ++x) p.PSet(x, y, SkinPixel(*skins[look], part, x, y, w));
            p.Picture(p.Image());
        }
    }
}

void UserControl1::UserControl_Initialize() {
    m_Hook.StartSubclass(0);
    tabb_ = vb::Variant::MakeArray(vb::vbVariant, {{0, 0}});
    tabs_.assign(1, TabRecord{});
    nextX_ = 9;
    selectedIndex_ = -1;
    Picture10.Move(0, 0, Width(), kCanvasHeight * kTwips);
    cmd.Left(Width() - cmd.Width());
    cmd.Top(0);
}

void UserControl1::UserControl_Resize() {
    Picture10.Width(Width());
    Picture10.Height(kCanvasHeight * kTwips);
    cmd.Left(Width() - cmd.Width());
    cmd.Top(0);
    Picture10.Top(0);
    UpdateScroll();
    Picture10_Paint();
}

void UserControl1::UserControl_Terminate() {}

// The tracker never delivers this (see Subclass); kept as the tracker's
// handler for when it does.
void UserControl1::m_Hook_MouseOut() {
    for (TabRecord& t : tabs_) t.IsHover = false;
    Picture10_Paint();
}

int32_t UserControl1::ToPixels(float twips) {
    double whole = vb::RoundHalfEven(twips);
    return static_cast<int32_t>(vb::RoundHalfEven(whole / kTwips));
}

double UserControl1::CaptionWidthPixels(const std::string& caption) {
    return Picture10.TextWidth(caption) / kTwips;
}

// The 2 x 2 rectangle round the pointer must overlap the tab's rectangle; an
// empty tab rectangle (the blank tab) is never hit.
bool UserControl1::PtInTabRect(int32_t i, int32_t x, int32_t y) const {
    if (i < 0 || i >= static_cast<int32_t>(tabs_.size())) return false;
    const TabRecord& t = tabs_[i];
    if (t.Left >= t.Right || t.Top >= t.Bottom) return false;
    const int32_t l = std::max(x - 1, t.Left), r = std::min(x + 1, t.Right);
    const int32_t top = std::max(y - 1, t.Top), b = std::min(y + 1, t.Bottom);
    return l < r && top < b;
}

void UserControl1::DrawTab(const TabRecord& tab, Look look, double captionWidth) {
    if (tab.Caption.empty()) return;
    const double w = captionWidth >= 0 ? captionWidth : CaptionWidthPixels(tab.Caption);
    vb::PictureBox* pieces[3];
    const Skin* skin;
    switch (look) {
        case Look::Selected: pieces[0] = &Picture4; pieces[1] = &Picture5; pieces[2] = &Picture6; skin = &kSelected; break;
        case Look::Hover: pieces[0] = &Picture7; pieces[1] = &Picture8; pieces[2] = &Picture9; skin = &kHover; break;
        default: pieces[0] = &Picture1; pieces[1] = &Picture2; pieces[2] = &Picture3; skin = &kPlain; break;
    }
    const double left = tab.Left, top = tab.Top;
    Picture10.PaintPicture(pieces[0]->Picture(), left * kTwips, top * kTwips, kCapWidth * kTwips, kTabHeight * kTwips);
    Picture10.PaintPicture(pieces[1]->Picture(), (left + kCapWidth) * kTwips, top * kTwips, w * kTwips,
                           kTabHeight * kTwips);
    Picture10.PaintPicture(pieces[2]->Picture(), (left + kCapWidth + vb::RoundHalfEven(w)) * kTwips, top * kTwips,
                           kCapWidth * kTwips, kTabHeight * kTwips);
    Picture10.ForeColor(skin->text);
    Picture10.FontTransparent(true);
    const double textHeight = Picture10.TextHeight(tab.Caption);
    Picture10.CurrentX((left + kCapWidth) * kTwips);
    Picture10.CurrentY(top * kTwips + std::max(0.0, (kTabHeight * kTwips - textHeight) / 2));
    Picture10.Print(tab.Caption, false);
}

void UserControl1::tabreset() {
    tabs_.assign(1, TabRecord{});
    nextX_ = 0;
    Picture10_Paint();
}

void UserControl1::TABB(const vb::Variant& v) {
    if (!v.IsArray() || v.Dimensions() != 1) vb::RaiseError(vb::errTypeMismatch);
    tabb_ = v;
}

void UserControl1::text(const std::string& v) {
    text_ = v;
    for (size_t i = 1; i < tabs_.size(); ++i) {
        const bool selected = tabs_[i].Caption == v;
        if (tabs_[i].IsSelected != selected) syncedLogSize_.reset();   // drawn in its old look
        tabs_[i].IsSelected = selected;
    }
}

void UserControl1::Mark(int32_t i, int value) {
    if (i > tabb_.UBound()) tabb_.RedimPreserve(i);
    tabb_.SetElement(i, vb::Variant(static_cast<int16_t>(value)));
}

// Marks beyond the current tabs (TABB keeps its entries over a tabreset) are
// not applied: there is no tab to apply them to.
void UserControl1::ShowMarks() {
    const int32_t last = std::min<int32_t>(tabb_.UBound() - 1, static_cast<int32_t>(tabs_.size()) - 1);
    for (int32_t i = 1; i <= last; ++i) tabs_[i].IsSelected = tabb_.Element(i) == vb::Variant(static_cast<int16_t>(1));
    Picture10_Paint();
}

void UserControl1::Picture10_Click() {
    ShowMarks();
    int32_t index = 1;
    vb::RaiseEvent(TabSelect, index);
}

void UserControl1::AddTab(std::string caption) {
    const double W = Width();
    double S = static_cast<double>(nextX_) * kTwips;
    const bool fitted = S <= W;

    tabs_.emplace_back();
    const int32_t n = static_cast<int32_t>(tabs_.size()) - 1;
    tabb_.RedimPreserve(n + 1);

    TabRecord& t = tabs_.back();
    t.IsSelected = false;
    t.Caption = std::move(caption);
    t.Left = nextX_ + 2;
    t.Top = 0;
    t.Bottom = kTabHeight;
    const double w = CaptionWidthPixels(t.Caption);
    t.Right = static_cast<int32_t>(vb::RoundHalfEven(nextX_ + 10 + w + 1));
    nextX_ = t.Right;

    S = static_cast<double>(nextX_) * kTwips;
    const bool overflowed = S > W && fitted;
    if (overflowed) vb::RaiseEvent(Over);
    // The repaint would draw the earlier tabs as the canvas already shows
    // them and the new tab on top, and NextX is already what it would sum
    // to; so unless something else drew on the canvas or changed a look
    // since, only the new tab is drawn.  Repainting every tab at every
    // addition made filling a strip quadratic in its tabs.  After Over the
    // host's handler may have changed anything (even the tab list), so the
    // strip is repainted whole.
    if (!overflowed && syncedLogSize_ == Picture10.DrawLog().size()) {
        LayOutCanvas();
        DrawPlainOrSelected(t, w);
        syncedLogSize_ = Picture10.DrawLog().size();
    } else {
        Picture10_Paint();
    }
}

void UserControl1::RemoveTab(int32_t index) {
    const int32_t last = static_cast<int32_t>(tabs_.size()) - 1;
    if (index <= 0 || index > last) return;   // tab 0 is always the blank tab
    const int32_t D = tabs_[index].Right - tabs_[index].Left;
    for (int32_t j = index + 1; j <= last; ++j) {
        tabs_[j].Left -= D + 2;
        tabs_[j].Right -= D + 2;
    }
    tabs_.erase(tabs_.begin() + index);
    // The marks follow their tabs: the removed tab's entry goes too.
    const int32_t ub = tabb_.UBound();
    for (int32_t j = index; j < ub; ++j) tabb_.SetElement(j, tabb_.Element(j + 1));
    tabb_.RedimPreserve(static_cast<int32_t>(tabs_.size()));

    const int32_t now = std::min<int32_t>(index, static_cast<int32_t>(tabs_.size()) - 1);
    tabs_[now].IsSelected = true;
    selectedIndex_ = now;
    nextX_ -= D + 2;
    Picture10.Cls();
    Picture10_Paint();
}

void UserControl1::Picture10_MouseDown(int Button, int Shift, float X, float Y) {
    const int32_t x = ToPixels(X), y = ToPixels(Y);
    for (int32_t i = 0; i < static_cast<int32_t>(tabs_.size()); ++i) {
        if (PtInTabRect(i, x, y)) {
            selectedIndex_ = i;
            text_ = tabs_[i].Caption;
            selected_ = static_cast<int16_t>(i);
            if (Button == vb::vbRightButton) {
                text(tabs_[i].Caption);
                vb::RaiseEvent(refresh);
                return;
            }
            if (Button == vb::vbLeftButton) {
                tabs_[i].IsSelected = true;
                Mark(i, 1);
            }
        } else if (Button == vb::vbLeftButton) {
            tabs_[i].IsSelected = false;
            Mark(i, 0);
        }
        DrawPlainOrSelected(tabs_[i]);
    }
    selectedIndex_ = -1;
}

// Only tabs whose hover state changes are drawn again.
void UserControl1::Picture10_MouseMove(int Button, int Shift, float X, float Y) {
    const int32_t x = ToPixels(X), y = ToPixels(Y);
    for (int32_t i = 0; i < static_cast<int32_t>(tabs_.size()); ++i) {
        TabRecord& t = tabs_[i];
        if (t.Caption.empty()) continue;
        const bool hover = PtInTabRect(i, x, y) && !t.IsSelected;
        if (t.IsHover != hover) t.IsDrawn = false;
        t.IsHover = hover;
        if (!t.IsDrawn) {
            if (hover) DrawTab(t, Look::Hover);
            else DrawPlainOrSelected(t);
            t.IsDrawn = true;
        }
    }
}

// The full repaint.  The canvas is cleared first, so tabs that a tabreset
// dropped do not linger on it; for the same reason a tab that is hovered,
// selected and not yet drawn gets its selected look rather than being left
// out.  The repaint does not let waiting events run first: it is reached from
// inside the host's handlers (a rebuild of the tabs runs tabreset and AddTab
// in a loop), and running other handlers there would let them change the
// tabs, or the windows, halfway through.
void UserControl1::Picture10_Paint() {
    nextX_ = 0;
    for (const TabRecord& t : tabs_) nextX_ += (t.Right - t.Left) + 2;
    // The canvas takes its new width before the tabs are drawn, so that the
    // last tab is not cut off at the old width.
    LayOutCanvas();
    Picture10.Cls();
    for (TabRecord& t : tabs_) {
        if (t.Caption.empty()) continue;
        if (t.IsHover && (!t.IsSelected || t.IsDrawn)) {
            DrawTab(t, Look::Hover);
            t.IsDrawn = true;
        } else {
            DrawPlainOrSelected(t);
        }
    }
    syncedLogSize_ = Picture10.DrawLog().size();
}

void UserControl1::PaintIfStale() {
    if (syncedLogSize_ != Picture10.DrawLog().size()) Picture10_Paint();
}

// The spin buttons show while the tabs are at least as wide as the strip;
// the canvas reaches 30 twips past the last tab and the spin buttons' width.
void UserControl1::LayOutCanvas() {
    const double W = Width();
    const double S = static_cast<double>(nextX_) * kTwips;
    if (S >= W) {
        if (!cmd.Visible()) cmd.Visible(true);
    } else if (cmd.Visible()) {
        cmd.Visible(false);
    }
    Picture10.Width(cmd.Width() + S + 30);
    UpdateScroll();
}

// The spin buttons run from the canvas's left end (0) to where the last tab
// ends 30 twips left of them.  When the tabs fit again, or the range
// shrinks below the current position, the canvas is brought back into
// range so that no tab is left scrolled out of reach.
void UserControl1::UpdateScroll() {
    const double W = Width();
    const double S = static_cast<double>(nextX_) * kTwips;
    cmd.Min(0);
    cmd.Max(static_cast<int32_t>(vb::RoundHalfEven(cmd.Width() + (S - W) + 30)));
    int32_t v = cmd.Value();
    if (!cmd.Visible()) v = 0;
    else if (v > cmd.Max()) v = cmd.Max();
    else if (v < 0) v = 0;
    if (v != cmd.Value() || Picture10.Left() != -v) {
        cmd.Value(v);
        Picture10.Left(-v);
    }
}

void UserControl1::cmd_Change(int32_t& Value) { Picture10.Left(-Value); }
