// Forms: the window, its client area and menu bar, and the form's events.
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QTimer>

#include <algorithm>
#include <cmath>

#include "platform/ui/internal.h"

namespace vb {

using namespace detail;

namespace {

std::vector<Form*>& FormList() {
    static std::vector<Form*> forms;
    return forms;
}

QString MenuText(const std::string& caption) { return Q(caption); }

class FormClient : public QWidget {
public:
    FormClient(Form* form, QWidget* parent) : QWidget(parent), form_(form) {
        setAutoFillBackground(true);
        setMouseTracking(true);
        setFocusPolicy(Qt::NoFocus);
    }

protected:
    float X(QMouseEvent* e) const { return static_cast<float>(e->position().x() * kTwipsPerPixel); }
    float Y(QMouseEvent* e) const { return static_cast<float>(e->position().y() * kTwipsPerPixel); }
    // A mouse event that an enabled control under the pointer did not take
    // comes here by propagation; it belongs to that control, not to the form
    // (a click on a picture box or a label is no click on the form).  Events
    // over a disabled control do reach the form.
    bool OverEnabledChild(QMouseEvent* e) const {
        QWidget* child = childAt(e->position().toPoint());
        return child && child->isEnabled();
    }
    void mousePressEvent(QMouseEvent* e) override {
        if (OverEnabledChild(e)) return;
        if (e->button() == Qt::LeftButton) pressed_ = true;
        int b = ButtonFromQt(e->button()), s = ShiftFromQt(e->modifiers());
        float x = X(e), y = Y(e);
        RaiseEvent([&] { form_->Form_MouseDown(b, s, x, y); });
    }
    void mouseMoveEvent(QMouseEvent* e) override {
        if (OverEnabledChild(e)) return;
        int b = ButtonsFromQt(e->buttons()), s = ShiftFromQt(e->modifiers());
        float x = X(e), y = Y(e);
        RaiseEvent([&] { form_->Form_MouseMove(b, s, x, y); });
    }
    void mouseReleaseEvent(QMouseEvent* e) override {
        if (OverEnabledChild(e)) return;
        int b = ButtonFromQt(e->button()), s = ShiftFromQt(e->modifiers());
        float x = X(e), y = Y(e);
        bool click = pressed_ && e->button() == Qt::LeftButton && rect().contains(e->position().toPoint());
        if (e->button() == Qt::LeftButton) pressed_ = false;
        RaiseEvent([&] { form_->Form_MouseUp(b, s, x, y); });
        if (click) RaiseEvent([&] { form_->Form_Click(); });
    }
    void mouseDoubleClickEvent(QMouseEvent* e) override {
        if (OverEnabledChild(e)) return;
        if (e->button() == Qt::LeftButton) RaiseEvent([&] { form_->Form_DblClick(); });
    }
    void paintEvent(QPaintEvent* e) override {
        QWidget::paintEvent(e);
        if (form_->IsLoaded()) RaiseEvent([&] { form_->Form_Paint(); });
    }

private:
    Form* form_;
    bool pressed_ = false;
};

class FormWindow : public QWidget {
public:
    // The form takes the focus when it is given it (or by Tab), never by a
    // click: a click on the bare form, a label or a user control that cannot
    // get the focus leaves it with the control that has it.
    explicit FormWindow(Form* form) : form_(form) { setFocusPolicy(Qt::TabFocus); }
    QMenuBar* menuBar = nullptr;
    QWidget* client = nullptr;
    QEventLoop* modalLoop = nullptr;

    void LayoutChildren() {
        int top = 0;
        if (menuBar && !menuBar->isHidden()) {
            int h = menuBar->sizeHint().height();
            menuBar->setGeometry(0, 0, width(), h);
            top = h;
        }
        if (client) client->setGeometry(0, top, width(), std::max(0, height() - top));
    }

protected:
    bool event(QEvent* e) override {
        if (e->type() == QEvent::WindowActivate) form_->NotifyActivated();
        return QWidget::event(e);
    }
    void resizeEvent(QResizeEvent* e) override {
        QWidget::resizeEvent(e);
        // A window system without a window manager lets the user make the
        // window smaller than its minimum; it is given its minimum back (the
        // resize that follows lays it out).
        const QSize least = minimumSize();
        if (width() < least.width() || height() < least.height()) {
            resize(std::max(width(), least.width()), std::max(height(), least.height()));
            return;
        }
        LayoutChildren();
        form_->NotifyResized();
    }
    void closeEvent(QCloseEvent* e) override {
        if (form_->NotifyCloseRequest()) {
            e->accept();
        } else {
            e->ignore();
        }
    }
    void hideEvent(QHideEvent* e) override {
        QWidget::hideEvent(e);
        if (modalLoop) modalLoop->quit();
    }
    bool FormOwnsKeys() const {
        // Keys that a control did not take propagate here; the form raises
        // its own key events only for keys that no control of it received.
        return ControlOfWidget(QApplication::focusWidget()) == nullptr;
    }
    void keyPressEvent(QKeyEvent* e) override {
        if (!FormOwnsKeys()) return QWidget::keyPressEvent(e);
        int code = KeyCodeFromQt(e), shift = ShiftFromQt(e->modifiers());
        RaiseEvent([&] { form_->Form_KeyDown(code, shift); });
        int ascii = KeyAsciiFromQt(e);
        if (ascii) RaiseEvent([&] { form_->Form_KeyPress(ascii); });
    }
    void keyReleaseEvent(QKeyEvent* e) override {
        if (!FormOwnsKeys()) return QWidget::keyReleaseEvent(e);
        int code = KeyCodeFromQt(e), shift = ShiftFromQt(e->modifiers());
        RaiseEvent([&] { form_->Form_KeyUp(code, shift); });
    }

private:
    Form* form_;
};

FormWindow* Window(QWidget* w) { return static_cast<FormWindow*>(w); }

}  // namespace

// --- Form ---------------------------------------------------------------------------------
Form::Form(std::string name) : name_(std::move(name)) {
    InitPlatform();
    auto* win = new FormWindow(this);
    top_ = win;
    top_->setObjectName(Q(name_));
    top_->setWindowTitle(Q(name_));
    client_ = new FormClient(this, top_);
    win->client = client_;
    top_->resize(4800 / kTwipsPerPixel, 3600 / kTwipsPerPixel);
    win->LayoutChildren();
    BackColor(backColor_);
    FormList().push_back(this);
}

Form::~Form() {
    auto& list = FormList();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    if (ActiveForm() == this) SetActiveForm(nullptr);
    delete top_;
    top_ = nullptr;
    client_ = nullptr;
}

const std::vector<Form*>& Form::AllForms() { return FormList(); }

std::string Form::Caption() const { return S(top_->windowTitle()); }
void Form::Caption(const std::string& v) { top_->setWindowTitle(Q(v)); }

double Form::Left() const { return top_->frameGeometry().x() * double(kTwipsPerPixel); }
void Form::Left(double v) { top_->move(static_cast<int>(std::lround(v / kTwipsPerPixel)), top_->frameGeometry().y()); }
double Form::Top() const { return top_->frameGeometry().y() * double(kTwipsPerPixel); }
void Form::Top(double v) { top_->move(top_->frameGeometry().x(), static_cast<int>(std::lround(v / kTwipsPerPixel))); }
double Form::Width() const { return top_->frameGeometry().width() * double(kTwipsPerPixel); }
void Form::Width(double v) {
    if (!top_->testAttribute(Qt::WA_WState_Created) || !top_->isVisible()) pendingWidth_ = v;
    int extra = top_->frameGeometry().width() - top_->width();
    top_->resize(std::max(1, static_cast<int>(std::lround(v / kTwipsPerPixel)) - extra), top_->height());
}
double Form::Height() const { return top_->frameGeometry().height() * double(kTwipsPerPixel); }
void Form::Height(double v) {
    if (!top_->testAttribute(Qt::WA_WState_Created) || !top_->isVisible()) pendingHeight_ = v;
    int extra = top_->frameGeometry().height() - top_->height();
    top_->resize(top_->width(), std::max(1, static_cast<int>(std::lround(v / kTwipsPerPixel)) - extra));
}
void Form::Move(double left, std::optional<double> top, std::optional<double> width, std::optional<double> height) {
    Left(left);
    if (top) Top(*top);
    if (width) Width(*width);
    if (height) Height(*height);
}
void Form::MinimumSize(double width, double height) {
    minWidth_ = std::max(0.0, width);
    minHeight_ = std::max(0.0, height);
    ApplyMinimumSize();
}
void Form::ApplyMinimumSize() {
    // Qt bounds the window without its frame; the frame is known once shown.
    const int extraW = top_->frameGeometry().width() - top_->width();
    const int extraH = top_->frameGeometry().height() - top_->height();
    const int w = minWidth_ > 0 ? static_cast<int>(std::lround(minWidth_ / kTwipsPerPixel)) - extraW : 0;
    const int h = minHeight_ > 0 ? static_cast<int>(std::lround(minHeight_ / kTwipsPerPixel)) - extraH : 0;
    top_->setMinimumSize(std::max(0, w), std::max(0, h));
}
double Form::ScaleWidth() const { return client_->width() * double(kTwipsPerPixel); }
double Form::ScaleHeight() const { return client_->height() * double(kTwipsPerPixel); }

int Form::WindowState() const {
    Qt::WindowStates s = top_->windowState();
    if (s & Qt::WindowMinimized) return vbMinimized;
    if (s & Qt::WindowMaximized) return vbMaximized;
    return vbNormal;
}
void Form::WindowState(int state) {
    Qt::WindowStates s = top_->windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized);
    if (state == vbMinimized) s |= Qt::WindowMinimized;
    if (state == vbMaximized) s |= Qt::WindowMaximized;
    top_->setWindowState(s);
}

bool Form::Visible() const { return top_->isVisible(); }
void Form::Visible(bool v) {
    if (v) {
        Show();
    } else {
        Hide();
    }
}
bool Form::Enabled() const { return top_->isEnabled(); }
void Form::Enabled(bool v) { top_->setEnabled(v); }
void Form::BackColor(int32_t c) {
    backColor_ = c;
    QPalette pal = client_->palette();
    pal.setColor(QPalette::Window, ToQColor(c));
    client_->setPalette(pal);
}
void Form::MousePointer(int p) {
    mousePointer_ = p;
    if (p == vbDefault) {
        top_->unsetCursor();
    } else {
        top_->setCursor(ToCursorShape(p));
    }
}

Control* Form::ActiveControl() const {
    Control* c = ControlOfWidget(top_->focusWidget());
    return c ? c : lastFocus_;
}
void Form::ForgetControl(Control* c) {
    if (lastFocus_ == c) lastFocus_ = nullptr;
}

void Form::Load() {
    if (loaded_) return;
    loaded_ = true;
    RaiseEvent([this] { Form_Load(); });
}

void Form::Show(int modal, Form* owner) {
    Load();
    if (!loaded_) return;   // Form_Load unloaded it
    auto* win = Window(top_);
    if (modal == vbModal && Dialogs().RunsModalLoops()) top_->setWindowModality(Qt::ApplicationModal);
    top_->show();
    if (minWidth_ > 0 || minHeight_ > 0) ApplyMinimumSize();
    if (pendingWidth_ || pendingHeight_) {
        std::optional<double> w = pendingWidth_, h = pendingHeight_;
        pendingWidth_.reset();
        pendingHeight_.reset();
        if (w) Width(*w);
        if (h) Height(*h);
    }
    top_->raise();
    top_->activateWindow();
    NotifyActivated();
    if (modal == vbModal && !win->modalLoop && Dialogs().RunsModalLoops()) {
        QEventLoop loop;
        win->modalLoop = &loop;
        if (top_->isVisible()) loop.exec();
        win->modalLoop = nullptr;
        top_->setWindowModality(Qt::NonModal);
    }
}

void Form::Hide() {
    top_->hide();
    if (ActiveForm() == this) SetActiveForm(nullptr);
}

bool Form::Unload() {
    if (!loaded_) {
        top_->hide();
        return true;
    }
    int cancel = 0;
    RaiseEvent([&] { Form_Unload(cancel); });
    if (cancel != 0) return false;
    loaded_ = false;
    top_->hide();
    FormUnloaded(this);
    return true;
}

bool Form::NotifyCloseRequest() { return Unload(); }

void Form::NotifyActivated() {
    if (!loaded_ || !top_->isVisible()) return;
    Form* previous = ActiveForm();
    if (previous == this) return;
    SetActiveForm(this);
    if (previous && previous->IsLoaded()) RaiseEvent([previous] { previous->Form_Deactivate(); });
    RaiseEvent([this] { Form_Activate(); });
}

void Form::NotifyResized() {
    if (!loaded_) return;
    RaiseEvent([this] { Form_Resize(); });
}

void Form::SetFocus() {
    top_->activateWindow();
    top_->setFocus(Qt::OtherFocusReason);
}

void Form::ZOrder(int position) {
    if (position == vbSendToBack) {
        top_->lower();
    } else {
        top_->raise();
    }
}

void Form::Refresh() { top_->repaint(); }

void Form::RebuildMenuBar() {
    auto* win = Window(top_);
    bool any = false;
    for (Menu* m : Menus()) any = any || m->Visible();
    if (!any) {
        if (win->menuBar) win->menuBar->hide();
        win->LayoutChildren();
        return;
    }
    if (!win->menuBar) win->menuBar = new QMenuBar(top_);
    QMenuBar* bar = win->menuBar;
    bar->clear();
    for (Menu* m : Menus()) {
        if (!m->Visible()) continue;
        if (m->Items().empty()) {
            QAction* a = bar->addAction(MenuText(m->Caption()));
            a->setEnabled(m->Enabled());
            QObject::connect(a, &QAction::triggered, [m] { m->Choose(); });
        } else {
            QMenu* sub = bar->addMenu(MenuText(m->Caption()));
            sub->setEnabled(m->Enabled());
            QObject::connect(sub, &QMenu::triggered, [](QAction* a) {
                auto* item = reinterpret_cast<Menu*>(a->data().value<quintptr>());
                if (item) item->Choose();
            });
            QObject::connect(sub, &QMenu::aboutToShow, [m, sub] {
                m->Choose();
                m->FillQtMenu(sub);
            });
            m->FillQtMenu(sub);
        }
    }
    bar->show();
    win->LayoutChildren();
}

// --- Menu -----------------------------------------------------------------------------------
Menu::Menu(Container& owner, std::string caption, std::string name)
    : owner_(&owner), name_(std::move(name)), caption_(std::move(caption)) {
    owner_->menus_.push_back(this);
    Changed();
}

Menu::Menu(Menu& parent, std::string caption, std::string name)
    : owner_(parent.owner_), parent_(&parent), name_(std::move(name)), caption_(std::move(caption)) {
    parent.items_.push_back(this);
    Changed();
}

Menu::~Menu() {
    if (parent_) {
        auto& v = parent_->items_;
        v.erase(std::remove(v.begin(), v.end(), this), v.end());
    } else if (owner_) {
        auto& v = owner_->menus_;
        v.erase(std::remove(v.begin(), v.end(), this), v.end());
    }
    for (Menu* m : items_) m->parent_ = nullptr, m->owner_ = nullptr;
}

void Menu::Caption(std::string v) {
    caption_ = std::move(v);
    Changed();
}
void Menu::Visible(bool v) {
    visible_ = v;
    Changed();
}
void Menu::Enabled(bool v) {
    enabled_ = v;
    Changed();
}
void Menu::Checked(bool v) { checked_ = v; }

void Menu::Changed() {
    // Only the menu bar's top level needs rebuilding; item lists are filled
    // each time a menu opens.  The rebuild is deferred, as a change may come
    // from the handler of an action of the bar itself.
    if (parent_ || !owner_) return;
    auto* form = dynamic_cast<Form*>(owner_);
    if (!form || !form->TopWidget()) return;
    QWidget* top = form->TopWidget();
    if (top->property("vbMenuPending").toBool()) return;
    top->setProperty("vbMenuPending", true);
    QTimer::singleShot(0, top, [form, top] {
        top->setProperty("vbMenuPending", false);
        form->RebuildMenuBar();
    });
}

static std::string StripAmpersand(std::string_view s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '&') {
            if (i + 1 < s.size() && s[i + 1] == '&') {
                out += '&';
                ++i;
            }
            continue;
        }
        out += s[i];
    }
    return out;
}

Menu* Menu::FindItem(std::string_view caption) {
    std::string want = StripAmpersand(caption);
    for (Menu* m : items_) {
        if (StripAmpersand(m->caption_) == want) return m;
        if (Menu* found = m->FindItem(caption)) return found;
    }
    return nullptr;
}

void Menu::Choose() { RaiseEvent(Click); }

void Menu::FillQtMenu(QMenu* menu) {
    menu->clear();
    for (Menu* item : items_) {
        if (!item->Visible()) continue;
        if (item->IsSeparator()) {
            menu->addSeparator();
            continue;
        }
        if (!item->Items().empty()) {
            QMenu* sub = menu->addMenu(MenuText(item->Caption()));
            sub->setEnabled(item->Enabled());
            QObject::connect(sub, &QMenu::aboutToShow, [item, sub] {
                item->Choose();
                item->FillQtMenu(sub);
            });
            item->FillQtMenu(sub);
            continue;
        }
        QAction* a = menu->addAction(MenuText(item->Caption()));
        a->setEnabled(item->Enabled());
        a->setCheckable(item->Checked());
        a->setChecked(item->Checked());
        a->setData(QVariant::fromValue(reinterpret_cast<quintptr>(item)));
    }
}

}  // namespace vb
