// The application, the event dispatcher, colours, fonts and key codes.
#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPalette>
#include <QScreen>
#include <QTimer>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/ui/internal.h"

namespace vb {

namespace {
int g_reportedErrors = 0;
bool g_loopRunning = false;
bool g_initialised = false;
Form* g_activeForm = nullptr;
std::string& TitleStorage() {
    static std::string title = "Sewer Design";
    return title;
}
std::vector<std::shared_ptr<void>>& Graveyard() {
    static std::vector<std::shared_ptr<void>> g;
    return g;
}
}  // namespace

namespace detail {

void DestroyLater(std::shared_ptr<void> object) {
    Graveyard().push_back(std::move(object));
    if (Graveyard().size() == 1 && QCoreApplication::instance()) {
        QTimer::singleShot(0, [] { Graveyard().clear(); });
    }
}

void SetActiveForm(Form* form) { g_activeForm = form; }

void FormUnloaded(Form* form) {
    if (g_activeForm == form) g_activeForm = nullptr;
    static bool busy = false;
    if (busy) return;
    struct Busy {
        Busy() { busy = true; }
        ~Busy() { busy = false; }
    } guard;
    for (Form* f : Form::AllForms()) {
        if (f->IsLoaded() && f->Visible()) return;
    }
    // No loaded form is visible: the hidden ones would keep the program
    // running with nothing on the screen, so they are unloaded as well.
    for (Form* f : std::vector<Form*>(Form::AllForms())) {
        if (f->IsLoaded()) f->Unload();
    }
    bool anyLoaded = false;
    for (Form* f : Form::AllForms()) anyLoaded = anyLoaded || f->IsLoaded();
    if (!anyLoaded && g_loopRunning) QCoreApplication::exit(0);
}

// --- Colours ----------------------------------------------------------------------------
QColor ToQColor(int32_t c) {
    if (c < 0) {
        uint32_t idx = static_cast<uint32_t>(c) & 0xFF;
        switch (idx) {
        case 0x00: return QColor(200, 200, 200);       // scroll bars
        case 0x01: return QColor(0, 128, 128);         // desktop
        case 0x02: return QColor(0, 84, 227);          // active title bar
        case 0x04: return QColor(240, 240, 240);       // menu bar
        case 0x05: return QColor(255, 255, 255);       // window background
        case 0x06: return QColor(100, 100, 100);       // window frame
        case 0x07: return QColor(0, 0, 0);             // menu text
        case 0x08: return QColor(0, 0, 0);             // window text
        case 0x09: return QColor(255, 255, 255);       // title bar text
        case 0x0D: return QColor(0, 120, 215);         // highlight
        case 0x0E: return QColor(255, 255, 255);       // highlight text
        case 0x0F: return QColor(240, 240, 240);       // button face
        case 0x10: return QColor(160, 160, 160);       // button shadow
        case 0x11: return QColor(109, 109, 109);       // grey text
        case 0x12: return QColor(0, 0, 0);             // button text
        case 0x14: return QColor(255, 255, 255);       // 3-D highlight
        case 0x15: return QColor(105, 105, 105);       // 3-D dark shadow
        case 0x16: return QColor(227, 227, 227);       // 3-D light
        case 0x17: return QColor(0, 0, 0);             // tool-tip text
        case 0x18: return QColor(255, 255, 225);       // tool-tip background
        default: return QColor(240, 240, 240);
        }
    }
    return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

int32_t FromQColor(const QColor& c) { return RGB(c.red(), c.green(), c.blue()); }
int32_t ResolveColor(int32_t c) { return c < 0 ? FromQColor(ToQColor(c)) : (c & 0xFFFFFF); }

// --- Fonts ------------------------------------------------------------------------------------
namespace {
QString FamilyFor(const std::string& name) {
    QString n = Q(name);
    QString lower = n.toLower();
    if (lower == "arial" || lower == "ms sans serif" || lower == "microsoft sans serif" ||
        lower == "tahoma" || lower == "verdana" || lower == "helvetica" || lower.isEmpty()) {
        return QStringLiteral("Liberation Sans");
    }
    if (lower == "times new roman" || lower == "ms serif") return QStringLiteral("Liberation Serif");
    if (lower == "courier new" || lower == "courier") return QStringLiteral("Liberation Mono");
    return n;
}
// Height of the character cell of a face per pixel of character height.
double CellRatio(const QString& family, bool bold) {
    QFont f(family);
    f.setPixelSize(1000);
    f.setBold(bold);
    QFontMetricsF m(f);
    double r = m.height() / 1000.0;
    return r > 0.5 ? r : 1.15;
}
}  // namespace

int FontPixelSize(const vb::Font& f) {
    if (f.HeightPixels < 0) return -f.HeightPixels;
    if (f.HeightPixels > 0) {
        double r = CellRatio(FamilyFor(f.Name), f.Bold);
        return std::max(1, static_cast<int>(std::lround(f.HeightPixels / r)));
    }
    return std::max(1, static_cast<int>(std::lround(f.Size * 96.0 / 72.0)));
}

QFont ToQFont(const vb::Font& f) {
    QFont q(FamilyFor(f.Name));
    q.setPixelSize(FontPixelSize(f));
    q.setBold(f.Bold);
    q.setItalic(f.Italic);
    q.setUnderline(f.Underline);
    q.setStyleStrategy(QFont::PreferAntialias);
    return q;
}

Qt::CursorShape ToCursorShape(int p) {
    switch (p) {
    case vbArrow: return Qt::ArrowCursor;
    case vbCrosshair: return Qt::CrossCursor;
    case vbIbeam: return Qt::IBeamCursor;
    case vbSizePointer: case vbSizeAll: return Qt::SizeAllCursor;
    case vbSizeNESW: return Qt::SizeBDiagCursor;
    case vbSizeNS: return Qt::SizeVerCursor;
    case vbSizeNWSE: return Qt::SizeFDiagCursor;
    case vbSizeWE: return Qt::SizeHorCursor;
    case vbUpArrow: return Qt::UpArrowCursor;
    case vbHourglass: return Qt::WaitCursor;
    case vbNoDrop: return Qt::ForbiddenCursor;
    case vbArrowHourglass: return Qt::BusyCursor;
    case vbArrowQuestion: return Qt::WhatsThisCursor;
    default: return Qt::ArrowCursor;
    }
}

// --- Keys ----------------------------------------------------------------------------------------
namespace {
struct KeyPair { int qt; int vb; };
const KeyPair kKeys[] = {
    {Qt::Key_Backspace, vbKeyBack}, {Qt::Key_Tab, vbKeyTab}, {Qt::Key_Backtab, vbKeyTab},
    {Qt::Key_Clear, vbKeyClear}, {Qt::Key_Return, vbKeyReturn}, {Qt::Key_Enter, vbKeyReturn},
    {Qt::Key_Shift, vbKeyShift}, {Qt::Key_Control, vbKeyControl}, {Qt::Key_Alt, vbKeyMenu},
    {Qt::Key_Pause, vbKeyPause}, {Qt::Key_CapsLock, vbKeyCapital}, {Qt::Key_Escape, vbKeyEscape},
    {Qt::Key_Space, vbKeySpace}, {Qt::Key_PageUp, vbKeyPageUp}, {Qt::Key_PageDown, vbKeyPageDown},
    {Qt::Key_End, vbKeyEnd}, {Qt::Key_Home, vbKeyHome}, {Qt::Key_Left, vbKeyLeft},
    {Qt::Key_Up, vbKeyUp}, {Qt::Key_Right, vbKeyRight}, {Qt::Key_Down, vbKeyDown},
    {Qt::Key_Select, vbKeySelect}, {Qt::Key_Print, vbKeyPrint}, {Qt::Key_Execute, vbKeyExecute},
    {Qt::Key_Insert, vbKeyInsert}, {Qt::Key_Delete, vbKeyDelete}, {Qt::Key_Help, vbKeyHelp},
    {Qt::Key_NumLock, vbKeyNumlock}, {Qt::Key_Asterisk, vbKeyMultiply}, {Qt::Key_Plus, 187},
    {Qt::Key_Minus, 189}, {Qt::Key_Period, 190}, {Qt::Key_Slash, 191}, {Qt::Key_Semicolon, 186},
    {Qt::Key_Equal, 187}, {Qt::Key_Comma, 188}, {Qt::Key_QuoteLeft, 192},
    {Qt::Key_BracketLeft, 219}, {Qt::Key_Backslash, 220}, {Qt::Key_BracketRight, 221},
    {Qt::Key_Apostrophe, 222},
};
const char* kShiftedDigits = ")!@#$%^&*(";
}  // namespace

int KeyCodeFromQt(const QKeyEvent* e) {
    int k = e->key();
    bool keypad = e->modifiers() & Qt::KeypadModifier;
    if (k >= Qt::Key_0 && k <= Qt::Key_9) return keypad ? vbKeyNumpad0 + (k - Qt::Key_0) : k;
    if (k >= Qt::Key_A && k <= Qt::Key_Z) return k;
    if (k >= Qt::Key_F1 && k <= Qt::Key_F24) return vbKeyF1 + (k - Qt::Key_F1);
    if (keypad) {
        switch (k) {
        case Qt::Key_Asterisk: return vbKeyMultiply;
        case Qt::Key_Plus: return vbKeyAdd;
        case Qt::Key_Minus: return vbKeySubtract;
        case Qt::Key_Period: case Qt::Key_Comma: return vbKeyDecimal;
        case Qt::Key_Slash: return vbKeyDivide;
        default: break;
        }
    }
    for (const auto& p : kKeys) {
        if (p.qt == k) return p.vb;
    }
    if (k >= 0x20 && k < 0x7F) {
        const char* d = std::strchr(kShiftedDigits, k);
        if (d) return '0' + static_cast<int>(d - kShiftedDigits);
    }
    return k & 0xFFFF;
}

int ShiftFromQt(Qt::KeyboardModifiers m) {
    int s = 0;
    if (m & Qt::ShiftModifier) s |= vbShiftMask;
    if (m & Qt::ControlModifier) s |= vbCtrlMask;
    if (m & Qt::AltModifier) s |= vbAltMask;
    return s;
}

int ButtonFromQt(Qt::MouseButton b) {
    switch (b) {
    case Qt::LeftButton: return vbLeftButton;
    case Qt::RightButton: return vbRightButton;
    case Qt::MiddleButton: return vbMiddleButton;
    default: return 0;
    }
}

int ButtonsFromQt(Qt::MouseButtons b) {
    int r = 0;
    if (b & Qt::LeftButton) r |= vbLeftButton;
    if (b & Qt::RightButton) r |= vbRightButton;
    if (b & Qt::MiddleButton) r |= vbMiddleButton;
    return r;
}

int KeyAsciiFromQt(const QKeyEvent* e) {
    switch (e->key()) {
    case Qt::Key_Return: case Qt::Key_Enter: return 13;
    case Qt::Key_Escape: return 27;
    case Qt::Key_Backspace: return 8;
    case Qt::Key_Tab: case Qt::Key_Backtab: return 0;   // moves the focus
    default: break;
    }
    QString t = e->text();
    if (t.isEmpty()) return 0;
    char16_t ch = t.at(0).unicode();
    if (ch == 0x7F) return 0;
    return ch;
}

int QtKeyFromKeyCode(int keyCode) {
    if ((keyCode >= vbKeyA && keyCode <= vbKeyZ) || (keyCode >= vbKey0 && keyCode <= vbKey9)) return keyCode;
    if (keyCode >= vbKeyF1 && keyCode <= vbKeyF12) return Qt::Key_F1 + (keyCode - vbKeyF1);
    if (keyCode >= vbKeyNumpad0 && keyCode <= vbKeyNumpad9) return Qt::Key_0 + (keyCode - vbKeyNumpad0);
    switch (keyCode) {
    case vbKeyMultiply: return Qt::Key_Asterisk;
    case vbKeyAdd: return Qt::Key_Plus;
    case vbKeySubtract: return Qt::Key_Minus;
    case vbKeyDecimal: return Qt::Key_Period;
    case vbKeyDivide: return Qt::Key_Slash;
    case vbKeyReturn: return Qt::Key_Return;
    default: break;
    }
    for (const auto& p : kKeys) {
        if (p.vb == keyCode) return p.qt;
    }
    return Qt::Key_unknown;
}

QString TextForKeyCode(int keyCode, int shift) {
    bool sh = shift & vbShiftMask;
    if (shift & (vbCtrlMask | vbAltMask)) {
        if ((shift & vbCtrlMask) && keyCode >= vbKeyA && keyCode <= vbKeyZ) return QString(QChar(keyCode - vbKeyA + 1));
        return {};
    }
    if (keyCode >= vbKeyA && keyCode <= vbKeyZ) return QString(QChar(sh ? keyCode : keyCode + 32));
    if (keyCode >= vbKey0 && keyCode <= vbKey9) return QString(QChar(sh ? kShiftedDigits[keyCode - vbKey0] : keyCode));
    if (keyCode >= vbKeyNumpad0 && keyCode <= vbKeyNumpad9) return QString(QChar('0' + keyCode - vbKeyNumpad0));
    switch (keyCode) {
    case vbKeyReturn: return QStringLiteral("\r");
    case vbKeyEscape: return QString(QChar(27));
    case vbKeyBack: return QString(QChar(8));
    case vbKeySpace: return QStringLiteral(" ");
    case vbKeyMultiply: return QStringLiteral("*");
    case vbKeyAdd: return QStringLiteral("+");
    case vbKeySubtract: case 189: return sh ? QStringLiteral("_") : QStringLiteral("-");
    case vbKeyDecimal: case 190: return sh ? QStringLiteral(">") : QStringLiteral(".");
    case vbKeyDivide: case 191: return sh ? QStringLiteral("?") : QStringLiteral("/");
    case 186: return sh ? QStringLiteral(":") : QStringLiteral(";");
    case 187: return sh ? QStringLiteral("+") : QStringLiteral("=");
    case 188: return sh ? QStringLiteral("<") : QStringLiteral(",");
    default: return {};
    }
}

}  // namespace detail

using namespace detail;

int32_t QBColor(int n) {
    static const int32_t table[16] = {
        0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
        0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
    if (n < 0 || n > 15) throw VbError(5, "Invalid procedure call or argument");
    return table[n];
}

void InitPlatform() {
    if (g_initialised || !QCoreApplication::instance()) return;
    g_initialised = true;
    QFont::insertSubstitution(QStringLiteral("Arial"), QStringLiteral("Liberation Sans"));
    QFont::insertSubstitution(QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"));
    QFont::insertSubstitution(QStringLiteral("Times New Roman"), QStringLiteral("Liberation Serif"));
    QFont::insertSubstitution(QStringLiteral("Courier New"), QStringLiteral("Liberation Mono"));
    if (qobject_cast<QApplication*>(QCoreApplication::instance())) {
        QApplication::setFont(ToQFont(vb::Font{}));
        QApplication::setEffectEnabled(Qt::UI_AnimateMenu, false);
    }
}

int RunApplication(int argc, char** argv, const std::function<void()>& start) {
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setApplicationName(Q(AppTitle()));
    InitPlatform();
    Guarded(start);
    bool anyLoaded = false;
    for (Form* f : Form::AllForms()) anyLoaded = anyLoaded || f->IsLoaded();
    if (!anyLoaded) return 0;
    g_loopRunning = true;
    int rc = app.exec();
    g_loopRunning = false;
    Graveyard().clear();
    return rc;
}

void DoEvents() {
    if (QCoreApplication::instance()) QCoreApplication::processEvents(QEventLoop::AllEvents);
}

const std::string& AppTitle() { return TitleStorage(); }
void SetAppTitle(std::string title) { TitleStorage() = std::move(title); }

void ReportUntrappedError(const VbError& error) {
    ++g_reportedErrors;
    std::string text = "Run-time error '" + std::to_string(error.Number()) + "':\n\n" + error.Description();
    try {
        MsgBox(text, vbOKOnly | vbCritical, AppTitle());
    } catch (...) {
        // A failing sink must not turn a reported error into a crash.
    }
}

void ReportUnexpectedException(const std::string& what) {
    ++g_reportedErrors;
    try {
        MsgBox("Unexpected error:\n\n" + what, vbOKOnly | vbCritical, AppTitle());
    } catch (...) {
    }
}

int ReportedErrorCount() { return g_reportedErrors; }

void Guarded(const std::function<void()>& code) { RaiseEvent(code); }

Control* ActiveControl() {
    if (!QCoreApplication::instance()) return nullptr;
    return ControlOfWidget(QApplication::focusWidget());
}

Form* ActiveForm() { return g_activeForm; }

double ScreenObject::Width() const {
    QScreen* s = QGuiApplication::primaryScreen();
    return s ? s->geometry().width() * 15.0 : 1280 * 15.0;
}
double ScreenObject::Height() const {
    QScreen* s = QGuiApplication::primaryScreen();
    return s ? s->geometry().height() * 15.0 : 1024 * 15.0;
}

namespace {
QRect AvailableArea() {
    QScreen* s = QGuiApplication::primaryScreen();
    return s ? s->availableGeometry() : QRect(0, 0, 1280, 1024);
}
}  // namespace
double ScreenObject::AvailableLeft() const { return AvailableArea().x() * 15.0; }
double ScreenObject::AvailableTop() const { return AvailableArea().y() * 15.0; }
double ScreenObject::AvailableWidth() const { return AvailableArea().width() * 15.0; }
double ScreenObject::AvailableHeight() const { return AvailableArea().height() * 15.0; }

namespace {
int g_screenPointer = vbDefault;
}
int ScreenObject::MousePointer() const { return g_screenPointer; }
void ScreenObject::MousePointer(int p) const {
    if (!QCoreApplication::instance()) return;
    if (g_screenPointer != vbDefault) QApplication::restoreOverrideCursor();
    g_screenPointer = p;
    if (p != vbDefault) QApplication::setOverrideCursor(QCursor(ToCursorShape(p)));
}

std::string ClipboardObject::GetText() const {
    if (!QCoreApplication::instance()) return {};
    return S(QGuiApplication::clipboard()->text());
}
void ClipboardObject::SetText(const std::string& text) const {
    if (!QCoreApplication::instance()) return;
    QGuiApplication::clipboard()->setText(Q(text));
}
void ClipboardObject::Clear() const {
    if (!QCoreApplication::instance()) return;
    QGuiApplication::clipboard()->clear();
}

}  // namespace vb
