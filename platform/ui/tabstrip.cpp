// The tab strip on a QTabBar.
#include "platform/ui/tabstrip.h"

#include <QTabBar>

#include "platform/ui/internal.h"

namespace vb {

using namespace detail;

namespace {
QTabBar* Bar(QWidget* w) { return static_cast<QTabBar*>(w); }
}  // namespace

TabStrip::TabStrip(Container& c) : Control(c) {
    widthTw_ = 4800;
    heightTw_ = 360;
    auto* bar = new QTabBar(c.ClientWidget());
    bar->setExpanding(false);
    bar->setDrawBase(true);
    SetWidget(bar);
    // A press on any tab, the selected one included, is a click.
    QObject::connect(bar, &QTabBar::tabBarClicked, [this, bar](int i) {
        if (i < 0) return;
        selecting_ = true;
        bar->setCurrentIndex(i);
        selecting_ = false;
        RaiseEvent(Click);
    });
    // The keyboard moves the selection without a press.
    QObject::connect(bar, &QTabBar::currentChanged, [this](int i) {
        if (selecting_ || i < 0) return;
        RaiseEvent(Click);
    });
}

int TabStrip::AddTab(const std::string& caption, const std::string& key) {
    selecting_ = true;
    Bar(widget_)->addTab(Q(caption));
    selecting_ = false;
    keys_.push_back(key);
    return TabCount();
}

void TabStrip::CheckIndex(int index) const {
    if (index < 1 || index > TabCount()) throw VbError(35600, "Index out of bounds");
}

std::string TabStrip::TabCaption(int index) const {
    CheckIndex(index);
    return S(Bar(widget_)->tabText(index - 1));
}

std::string TabStrip::TabKey(int index) const {
    CheckIndex(index);
    return keys_[static_cast<size_t>(index - 1)];
}

int TabStrip::SelectedIndex() const { return TabCount() == 0 ? 0 : Bar(widget_)->currentIndex() + 1; }

void TabStrip::SelectedIndex(int index) {
    CheckIndex(index);
    selecting_ = true;
    Bar(widget_)->setCurrentIndex(index - 1);
    selecting_ = false;
    RaiseEvent(Click);
}

}  // namespace vb
