// The entry box Text19 and its commit Command24_Click: every edit started on
// the profile (handles, slope bars, pickers) ends here.  The box is armed with
// a kind tag and the pipe it writes into; Enter, Space, the "Ok" button or a
// choice in the picker list commit, Esc abandons.
#include <cctype>

#include "mainwindow/form1.h"
#include "mainwindow/network_access.h"
#include "platform/runtime/conversions.h"
#include "platform/ui/dialogs.h"
#include "profileedit/grid_value.h"

namespace {

// Whether the pipe at run position `position` carries handles (its tab is
// marked on the pipes' strip).
bool PositionMarked(const vb::Variant& marks, int32_t position) {
    if (!marks.IsArray() || position < marks.LBound() || position > marks.UBound()) return false;
    const vb::Variant m = marks.Element(position);
    return m.IsNumeric() && vb::CDbl(m) == 1;
}

}  // namespace

std::shared_ptr<model::Sewer> Form1::TaggedPipe(const vb::Control& control, int32_t* node) const {
    const std::string& tag = control.Tag();
    if (tag.empty() || !myCol) return nullptr;
    const double v = vb::Val(tag);
    if (!(v >= 1 && v <= myCol->ItemCount())) return nullptr;
    const auto n = static_cast<int32_t>(v);
    if (node) *node = n;
    return NodeRecordByIndex(myCol.get(), n);
}

void Form1::ArmEntryBox(const std::string& tag, int32_t node) {
    Text19.Tag(tag);
    entryTarget_ = EntryTarget{};
    if (!myCol || node < 1) return;
    entryTarget_.key = myCol->Key(vb::Variant(node));
    entryTarget_.record = NodeRecordByIndex(myCol.get(), node);
    entryTarget_.lateral = CurrentLateralName;
}

bool Form1::ArmedFor(const std::string& tag, const model::Sewer* record) const {
    return Text19.Tag() == tag && record && entryTarget_.record.lock().get() == record;
}

std::shared_ptr<model::Sewer> Form1::ArmedPipe(int32_t* node) const {
    auto record = entryTarget_.record.lock();
    if (!record || !myCol || entryTarget_.lateral != CurrentLateralName) return nullptr;
    const int32_t n = myCol->KeyToIndex(entryTarget_.key);
    if (n < 1 || NodeRecordByIndex(myCol.get(), n) != record) return nullptr;
    const vb::Variant marks = UserControl12.TABB();
    for (int32_t i = 1; i <= RunCount && static_cast<size_t>(i) < CurrentRun.size(); ++i) {
        if (CurrentRun[static_cast<size_t>(i)].NodeIndex != n || !PositionMarked(marks, i)) continue;
        if (node) *node = n;
        return record;
    }
    return nullptr;
}

void Form1::ClearEntryBox() {
    Text19.Tag("");
    Text19.Text("");
    entryTarget_ = EntryTarget{};
}

void Form1::DisarmStaleEntryBox() {
    if (Text19.Tag().empty() && entryTarget_.key.empty()) return;
    if (ArmedPipe()) return;
    ClearEntryBox();
    CloseValueBox();
}

void Form1::NodeRekeyed(const std::string& oldKey, const std::string& newKey) {
    if (!oldKey.empty() && entryTarget_.key == oldKey) entryTarget_.key = newKey;
}

void Form1::Command24_Click() {
    const std::string tag = Text19.Tag();
    const std::string kind = vb::Left(tag, 4);
    const bool valueKind = kind == "Plen" || kind == "Pgr " || kind == "Pcov" || kind == "Vslo";
    const bool pickerKind = kind == "Picf" || kind == "Pic1" || kind == "Picd";
    if (valueKind || pickerKind) {
        auto pipe = ArmedPipe();
        if (!pipe) {
            vb::MsgBox("The pipe this value was entered for is no longer on the profile; nothing was changed.");
        } else if (valueKind) {
            const std::string text = Text19.Text();
            const std::optional<double> v = TypedFieldNumber(text);
            // Ground: element 0 stands for the downstream end of the last pipe.
            const PipeField field = kind == "Plen"   ? PipeField::Length
                                    : kind == "Pcov" ? PipeField::MinCover
                                    : kind == "Vslo" ? PipeField::Slope
                                    : vb::Val(vb::Mid(tag, 5)) > 0 ? PipeField::FromGround
                                                                   : PipeField::ToGround;
            if (!v || !InAcceptedRange(field, *v)) {
                // The same values the pipe grid accepts: a length of 0 or below
                // would draw the profile backwards and lose its handles, and
                // text with no number is no value at all (never a level of 0).
                vb::MsgBox(RangeMessage(PipeFieldTitle(field), field, "nothing was changed."));
            } else {
                StorePipeField(*pipe, field, *v);
            }
        } else if (kind == "Picd") {
            const std::string text = vb::Trim(Combo1.Text());
            bool digits = !text.empty() && text.size() <= 5;
            for (char c : text) digits = digits && std::isdigit(static_cast<unsigned char>(c));
            const double v = digits ? vb::Val(text) : 0;
            if (text.empty()) {
                // An empty text stores nothing.
            } else if (!InAcceptedRange(PipeField::Dia, v)) {
                // The sizes the pipe grid and the project table accept.
                vb::MsgBox("The diameter must be a whole number of millimetres " + RangeText(PipeField::Dia) +
                           "; \"" + text + "\" was not stored.");
            } else {
                pipe->dia = static_cast<int16_t>(v);
            }
        } else {
            CommitLateralLink(kind == "Picf");
        }
    }
    ClearEntryBox();
    CloseValueBox();
    Form_Click();
}

void Form1::Text19_KeyPress(int& KeyAscii) {
    if (KeyAscii == vb::vbKeyReturn || KeyAscii == vb::vbKeySpace) {
        // The key is taken: it would otherwise be typed into the emptied box.
        KeyAscii = 0;
        Command24_Click();
    } else if (KeyAscii == vb::vbKeyEscape) {
        KeyAscii = 0;
        ClearEntryBox();
        CloseValueBox();
        Form_Click();
    }
}

// --- Wiring -------------------------------------------------------------------------

void Form1::WireProfileEditing() {
    // The bars' ranges and start positions; each bar's steps are measured from
    // where it stands now.
    VScrol1.Min(0);
    VScrol1.Max(100);
    VScrol1.Value(50);
    VScrol2.Min(0);
    VScrol2.Max(100);
    VScrol2.Value(1);
    for (vb::VScrollBar* bar : {&VScroll3, &VScroll4, &VScroll5}) {
        bar->Min(0);
        bar->Max(1000);
        bar->Value(100);
    }
    VSlope(0).Min(0);
    VSlope(0).Max(100);
    VSlope(0).Value(50);
    scrol1Previous_ = VScrol1.Value();
    scrol2Previous_ = VScrol2.Value();
    scroll3Previous_ = VScroll3.Value();
    scroll4Previous_ = VScroll4.Value();
    scroll5Previous_ = VScroll5.Value();

    // The handles report the pointer in their own scale; their handlers take
    // it in the profile's units.
    using Handler = void (Form1::*)(int, int, int, float, float);
    auto mouse = [this](vb::ControlArray<vb::PictureBox>& array, Handler handler) {
        return [this, &array, handler](int Index, int Button, int Shift, float X, float Y) {
            const vb::PictureBox& h = array(Index);
            (this->*handler)(Index, Button, Shift, HandleUnitsX(h, X), HandleUnitsY(h, Y));
        };
    };
    pcover.MouseDown = mouse(pcover, &Form1::pcover_MouseDown);
    pcover.MouseMove = mouse(pcover, &Form1::pcover_MouseMove);
    pcover.MouseUp = mouse(pcover, &Form1::pcover_MouseUp);
    pcover.DblClick = [this](int Index) { pcover_DblClick(Index); };
    PGR.MouseDown = mouse(PGR, &Form1::PGR_MouseDown);
    PGR.MouseMove = mouse(PGR, &Form1::PGR_MouseMove);
    PGR.MouseUp = mouse(PGR, &Form1::PGR_MouseUp);
    PGR.DblClick = [this](int Index) { PGR_DblClick(Index); };
    plen.MouseDown = mouse(plen, &Form1::plen_MouseDown);
    plen.MouseMove = mouse(plen, &Form1::plen_MouseMove);
    plen.MouseUp = mouse(plen, &Form1::plen_MouseUp);
    plen.DblClick = [this](int Index) { plen_DblClick(Index); };
    Picdia.MouseDown = [this](int Index, int Button, int Shift, float X, float Y) {
        Picdia_MouseDown(Index, Button, Shift, X, Y);
    };
    picfrom.MouseDown = [this](int Button, int Shift, float X, float Y) { picfrom_MouseDown(Button, Shift, X, Y); };
    picfrom.MouseUp = [this](int Button, int Shift, float X, float Y) { picfrom_MouseUp(Button, Shift, X, Y); };
    picfrom.MouseMove = [this](int Button, int Shift, float X, float Y) { picfrom_MouseMove(Button, Shift, X, Y); };
    picfrom1.MouseDown = [this](int Button, int Shift, float X, float Y) { picfrom1_MouseDown(Button, Shift, X, Y); };
    picfrom1.MouseUp = [this](int Button, int Shift, float X, float Y) { picfrom1_MouseUp(Button, Shift, X, Y); };

    Command24.Click = [this] { Command24_Click(); };
    Text19.KeyPress = [this](int& KeyAscii) { Text19_KeyPress(KeyAscii); };
    Combo1.Click = [this] { Combo1_Click(); };
    Combo1.Change = [this] { Combo1_Change(); };

    VScrol1.Change = [this] { VScrol1_Change(); };
    VScrol2.Change = [this] { VScrol2_Change(); };
    VScroll3.Change = [this] { VScroll3_Change(); };
    VScroll4.Change = [this] { VScroll4_Change(); };
    VScroll5.Change = [this] { VScroll5_Change(); };
    VSlope.Change = [this](int Index) { VSlope_Change(Index); };
    Text18.Change = [this] { Text18_Change(); };
}
