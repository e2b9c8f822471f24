// The free-object canvas on the profile picture: labelled elements added with
// "add object", the outline and the eight sizing handles of the selection,
// connector lines, and the image preview with its "Add pic" node.
#include "mainwindow/form1.h"
#include "mainwindow/network_access.h"
#include "platform/runtime/errortrap.h"

namespace {

constexpr int kHandleCount = 8;
// The highest index a canvas element can have (indices are 16-bit).
constexpr int kLastElementIndex = 32767;

const char* const kImageFilter =
    "All Image Files (*.bmp;*.jpg;*.gif;*.ico;*.dib;*.wmf)|*.bmp;*.jpg;*.gif;*.ico;*.dib;*.wmf|"
    "Bitmap (*.bmp)|*.bmp|JPEG (*.jpg)|*.jpg|GIF (*.gif)|*.gif|Icon (*.ico)|*.ico|DIB (*.dib)|*.dib|"
    "Windows Meta File (*.wmf)|*.wmf";

}  // namespace

// --- Elements ------------------------------------------------------------------------

void Form1::NewObject(const std::string& Caption, int32_t Colour) {
    // The new element and its line take the first index above every index in
    // use by either array, so that neither is ever loaded twice.
    const int n = std::max(pic.UBound(), Line1.UBound()) + 1;
    if (n > kLastElementIndex) {
        vb::MsgBox("The canvas holds as many objects as it can.", vb::vbOKOnly);
        return;
    }
    pic.Load(n);
    Line1.Load(n);
    vb::PictureBox& element = pic(n);
    vb::Line& line = Line1(n);
    // The line is laid from the element as created (the template's place).
    line.X1(element.Width() + element.Top() + 30);
    line.Y1(element.Top());
    line.Y2(element.Top());
    line.Visible(true);
    CanvasSelection.assign(1, &element);
    CanvasLines.assign(1, &line);
    element.Tag(Caption);
    element.BackColor(Colour);
    element.Move(10, 10, 20, 20);
    // The element's own scale is its size in Picture1 units, so that its
    // size and the extents of its caption, which PicPrint combines, are in
    // the same units.
    element.Scale(0, 0, element.Width(), element.Height());
    element.Visible(true);
    pic_Paint(n);
}

void Form1::PicPrint(int16_t Index) {
    vb::PictureBox& element = pic(Index);
    const std::string s = element.Tag();
    const double x = (element.Width() - element.TextWidth(s)) / 2;
    const double y = (element.Height() - element.TextHeight(s)) / 2;
    element.Cls();
    element.CurrentX(x);
    element.CurrentY(y);
    element.Print(s);
    FontStuff0(Index, x, "Test", 90, 1, 0);
}

void Form1::Up(vb::Control*, float, float, int16_t) {}
void Form1::Down(vb::Control*, float, float, int16_t) {}

// --- Selection, outline and handles -------------------------------------------------

void Form1::FocusPic(vb::Control* Target) {
    if (!Target) return;
    const double L = Target->Left(), T = Target->Top(), W = Target->Width(), H = Target->Height();
    // An entry made by AddObj has no connector line yet.
    if (!CanvasLines.empty() && CanvasLines[0]) {
        CanvasLines[0]->X1(L + W);
        CanvasLines[0]->Y1(T);
    }
    const double w = sk(0).Width(), h = sk(0).Height();
    const double places[kHandleCount][2] = {
        {L - w, T - h},           {L + (W - w) / 2, T - h}, {L + W, T - h},
        {L - w, T + (H - h) / 2}, {L + W, T + (H - h) / 2},
        {L - w, T + H},           {L + (W - w) / 2, T + H}, {L + W, T + H}};
    for (int k = 0; k < kHandleCount; ++k) {
        sk(k).Move(places[k][0], places[k][1]);
        // A handle reports the pointer in Picture1 units from its corner, so
        // that a drag moves it by as much as the pointer moved.
        sk(k).Scale(0, 0, sk(k).Width(), sk(k).Height());
    }
    const int index = Target->Index();
    if (pic.Exists(index) && &pic(index) == Target) PicPrint(static_cast<int16_t>(index));
    for (int k = 0; k < kHandleCount; ++k) {
        sk(k).Visible(true);
        sk(k).ZOrder(vb::vbBringToFront);
    }
}

void Form1::AddObj(vb::Control* Target) {
    if (CanvasSelection.empty() || !CanvasSelection[0]) {
        if (CanvasSelection.empty()) CanvasSelection.resize(1);
        CanvasSelection[0] = Target;
        CanvasLines.assign(1, nullptr);
    } else {
        CanvasSelection.push_back(Target);
        CanvasLines.assign(CanvasSelection.size() + 1, nullptr);
    }
    FocusPic(CanvasSelection.back());
}

void Form1::InitObjArray() { CanvasSelection.assign(1, nullptr); }

void Form1::Moving(const vb::Variant& X, const vb::Variant& Y) {
    if (MovingBusy) return;
    MovingBusy = true;
    // Every step goes on when one fails: a missing object in the selection
    // (none after Ctrl+C) or a missing outline leaves its step undone.
    vb::ErrorTrap trap;
    float dx = 0, dy = 0;
    vb::resumeNext(trap, [&] {
        dx = static_cast<float>((vb::CDbl(X) - vb::CDbl(LastPointerX)) / 20);
        dy = static_cast<float>((vb::CDbl(Y) - vb::CDbl(LastPointerY)) / 20);
    });
    if (dx != 0 || dy != 0) {
        auto entry = [this](size_t i) -> vb::Control& {
            if (i >= CanvasSelection.size() || !CanvasSelection[i]) throw vb::VbError(91, "Object variable or With block variable not set");
            return *CanvasSelection[i];
        };
        if (DragHandleIndex == -1) {
            // The whole selection moves; the size of the list is read again
            // after each entry, as the event loop runs in between.
            for (size_t i = 0; i < CanvasSelection.size(); ++i) {
                vb::resumeNext(trap, [&] {
                    vb::Control& o = entry(i);
                    Shape(static_cast<int>(i)).Move(o.Left() + dx, o.Top() + dy);
                });
                vb::resumeNext(trap, [&] {
                    vb::Control& o = entry(i);
                    if (i >= CanvasLines.size() || !CanvasLines[i]) throw vb::VbError(91, "Object variable not set");
                    CanvasLines[i]->X1(o.Left() + dx);
                    CanvasLines[i]->Y1(o.Top() + dy);
                });
                vb::DoEvents();
            }
        } else {
            vb::resumeNext(trap, [&] {
                vb::Control& o = entry(0);
                const double L = o.Left(), T = o.Top(), W = o.Width(), H = o.Height();
                vb::Shape& outline = Shape(0);
                switch (DragHandleIndex) {
                    case 0: outline.Move(L + dx, T + dy, W - dx, H - dy); break;
                    case 1: outline.Move(L, T + dy, W, H - dy); break;
                    case 2: outline.Move(L, T + dy, W + dx, H - dy); break;
                    case 3: outline.Move(L + dx, T, W - dx, H); break;
                    case 4: outline.Move(L, T, W + dx, H); break;
                    case 5: outline.Move(L + dx, T, W - dx, H + dy); break;
                    case 6: outline.Move(L, T, W, H + dy); break;
                    default: outline.Move(L, T, W + dx, H + dy); break;
                }
            });
        }
    }
    for (int k = 0; k < kHandleCount; ++k) sk(k).Visible(false);
    MovingBusy = false;
}

void Form1::DelPic() {
    for (int i : Shape.Indices()) Shape(i).Visible(false);
    for (int i : frame.Indices()) frame(i).Visible(false);
    for (int k = 0; k < kHandleCount; ++k) sk(k).Visible(false);
}

void Form1::FocusRe(int16_t i) {
    if (i < 0 || static_cast<size_t>(i) >= CanvasSelection.size()) return;
    if (CanvasSelection[i]) CanvasSelection[i]->Visible(false);
    const int upper = static_cast<int>(CanvasSelection.size()) - 1;
    for (int j = i; j < upper; ++j) {
        CanvasSelection[j] = CanvasSelection[j + 1];
        for (vb::ControlArray<vb::Shape>* outline : {&Shape, &frame}) {
            if (!outline->Exists(j) || !outline->Exists(j + 1)) continue;
            vb::Shape& next = (*outline)(j + 1);
            (*outline)(j).Move(next.Left(), next.Top(), next.Width(), next.Height());
        }
    }
    CanvasSelection.pop_back();
    // The selection keeps one entry, which may hold no object.
    if (CanvasSelection.empty()) CanvasSelection.push_back(nullptr);
    // Outlines beyond the selection are no longer needed (element 0 stays).
    const int last = static_cast<int>(CanvasSelection.size()) - 1;
    for (vb::ControlArray<vb::Shape>* outline : {&Shape, &frame}) {
        for (int k : outline->Indices()) {
            if (k > last && k > 0) outline->Unload(k);
        }
    }
}

void Form1::PasteObject(int16_t /*Index*/, int KeyCode, int Shift) {
    if (KeyCode != vb::vbKeyV || Shift != vb::vbCtrlMask) return;
    if (!CopySourceIndex.IsNumeric() || vb::CDbl(CopySourceIndex) <= 0) return;
    const int source = static_cast<int>(vb::CDbl(CopySourceIndex));
    if (!pic.Exists(source)) return;
    NewObject(pic(source).Tag(), pic(source).BackColor());
}

void Form1::HideSizeHandles(int16_t Index, int /*Button*/, int /*Shift*/, float X, float Y) {
    for (size_t i = 0; i < CanvasSelection.size(); ++i) {
        const int k = static_cast<int>(i);
        if (frame.Exists(k)) frame(k).Visible(false);
        if (Shape.Exists(k)) Shape(k).Visible(false);
    }
    CanvasSelection.assign(1, nullptr);
    CanvasLines.assign(1, nullptr);
    vb::RaiseEvent(SelectedChange, std::vector<int16_t>{Index});
    for (int k = 0; k < kHandleCount; ++k) sk(k).Visible(false);
    SelectPointX = X;
    SelectPointY = Y;
}

// --- Element events -------------------------------------------------------------------

void Form1::Command15_Click() { NewObject(Text1.Text(), 0xFF0000); }

void Form1::pic_Click(int Index) { pic(Index).Visible(false); }

void Form1::pic_KeyDown(int Index, int& KeyCode, int& Shift) {
    if (KeyCode != vb::vbKeyC || Shift != vb::vbCtrlMask) return;
    if (!CanvasSelection.empty()) CanvasSelection[0] = nullptr;
    CopySourceIndex = static_cast<int16_t>(Index);
}

void Form1::pic_MouseDown(int Index, int Button, int Shift, float X, float Y) {
    if (Button == vb::vbLeftButton) {
        Down(&pic(Index), X, Y, static_cast<int16_t>(Shift));
        vb::RaiseEvent(SelectedChange, std::vector<int16_t>{static_cast<int16_t>(Index)});
    } else if (Button == vb::vbRightButton) {
        // The right button selects the element and shows its handles; with
        // Ctrl it is added to the selection instead.
        if (Shift != vb::vbCtrlMask) InitObjArray();
        AddObj(&pic(Index));
    }
}

void Form1::pic_MouseMove(int /*Index*/, int Button, int Shift, float X, float Y) {
    if (Button == vb::vbLeftButton && Shift == 0) Moving(X, Y);
}

void Form1::pic_MouseUp(int Index, int Button, int Shift, float X, float Y) {
    if (Button == vb::vbLeftButton) Up(&pic(Index), X, Y, static_cast<int16_t>(Shift));
}

void Form1::pic_Paint(int Index) { PicPrint(static_cast<int16_t>(Index)); }

// --- Handle events --------------------------------------------------------------------

void Form1::sk_MouseDown(int Index, int /*Button*/, int /*Shift*/, float /*X*/, float /*Y*/) {
    vb::PictureBox& handle = sk(Index);
    LastPointerX = static_cast<float>(handle.Left());
    LastPointerY = static_cast<float>(handle.Top());
    // The outline takes the place of the first selected object, which is
    // hidden meanwhile; with nothing selected there is nothing to outline.
    if (!CanvasSelection.empty() && CanvasSelection[0]) {
        vb::Control& o = *CanvasSelection[0];
        Shape(0).Move(o.Left(), o.Top(), o.Width(), o.Height());
        o.Visible(false);
    }
    handle.ZOrder(vb::vbBringToFront);
    frame(0).Visible(false);
    Shape(0).Visible(true);
    Shape(0).ZOrder(vb::vbBringToFront);
}

void Form1::sk_MouseMove(int Index, int Button, int /*Shift*/, float X, float Y) {
    if (Button != vb::vbLeftButton) return;
    DragHandleIndex = static_cast<int16_t>(Index);
    if (X - vb::CDbl(LastPointerX) == 0 && Y - vb::CDbl(LastPointerY) == 0) return;
    vb::Line& line = Line1(0);
    line.Visible(true);
    line.X2(line.X1() + X);
    line.Y2(line.Y1() + Y);
    vb::PictureBox& handle = sk(Index);
    handle.Left(handle.Left() + X);
    handle.Top(handle.Top() + Y);
    Frame11.Move(handle.Left(), handle.Top());
    UserControl31.Move(handle.Left(), handle.Top());
}

void Form1::sk_MouseUp(int Index, int /*Button*/, int /*Shift*/, float /*X*/, float /*Y*/) {
    vb::PictureBox& handle = sk(Index);
    handle.Left(handle.Left() + vb::CDbl(DragOffsetX));
    handle.Top(handle.Top() - vb::CDbl(DragOffsetY));
}

// --- Image preview and its node ---------------------------------------------------------

void Form1::Commandpic_Click() {
    // A cancelled dialog or a file that is no readable image ends the command
    // silently; the preview keeps what it showed.
    try {
        CommonDialog1.CancelError(true);
        CommonDialog1.Filter(kImageFilter);
        CommonDialog1.ShowOpen();
        const std::string file = CommonDialog1.FileName();
        Image1.Picture(vb::LoadPicture(file));
        Image1.Picture(nullptr);
        Image1.Stretch(false);
        Image1.Picture(vb::LoadPicture(file));
        Image1.Stretch(true);
        Image1.Enabled(true);
        Image1.Width(2000);
        Image1.Height(1500);
        Image1.Visible(true);
    } catch (const vb::VbError&) {
    }
}

void Form1::Addpic_Click() {
    auto s = std::make_shared<model::Sewer>();
    std::string key = "ObjSewer";
    if (myCol) {
        // The running number may have been reset (on activation, by a
        // reload); a key in use is skipped.
        PipeCount = NextFreeNumber("Sewer", PipeCount + 1);
        key += std::to_string(PipeCount);
    } else {
        myCol = std::make_shared<model::cNodeCollection>();
    }
    myCol->AddItem(vb::Variant(), key, vb::Variant(std::string()), 2);
    vb::Variant value = NewNodeValueArray();
    value.SetElement(1, PictureOf(Image1));
    value.SetElement(3, vb::Variant(std::static_pointer_cast<vb::Object>(s)));
    myCol->Item(vb::Variant(key), value);
    Image1.Picture(nullptr);
    const vb::Variant stored = value.Element(1);
    Image1.Picture(stored.IsObject() ? stored.As<vb::StdPicture>() : nullptr);
}

// --- Wiring -----------------------------------------------------------------------------------

void Form1::WireCanvas() {
    Command15.Click = [this] { Command15_Click(); };
    Addpic.Click = [this] { Addpic_Click(); };
    Commandpic.Click = [this] { Commandpic_Click(); };
    pic.Click = [this](int Index) { pic_Click(Index); };
    pic.KeyDown = [this](int Index, int& KeyCode, int& Shift) { pic_KeyDown(Index, KeyCode, Shift); };
    using MouseHandler = void (Form1::*)(int, int, int, float, float);
    auto wireMouse = [this](vb::ControlArray<vb::PictureBox>& array, MouseHandler down, MouseHandler move,
                            MouseHandler up) {
        array.MouseDown = [this, down](int i, int b, int s, float x, float y) { (this->*down)(i, b, s, x, y); };
        array.MouseMove = [this, move](int i, int b, int s, float x, float y) { (this->*move)(i, b, s, x, y); };
        array.MouseUp = [this, up](int i, int b, int s, float x, float y) { (this->*up)(i, b, s, x, y); };
    };
    wireMouse(pic, &Form1::pic_MouseDown, &Form1::pic_MouseMove, &Form1::pic_MouseUp);
    wireMouse(sk, &Form1::sk_MouseDown, &Form1::sk_MouseMove, &Form1::sk_MouseUp);
    pic.Paint = [this](int Index) { pic_Paint(Index); };
    sk.DblClick = [this](int Index) { sk_DblClick(Index); };
    WireMenusAndPanels();
}
