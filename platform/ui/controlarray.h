// Control arrays: controls of one kind that share a name and handlers, told
// apart by Index.
//
//     vb::ControlArray<vb::PictureBox> pcover{Picture1};            // element 0
//     vb::ControlArray<vb::PictureBox> pic{Picture1, {0, 2}};      // elements 0 and 2
//     pcover.MouseDown = [this](int Index, int Button, int Shift, float X, float Y) {
//         pcover_MouseDown(Index, Button, Shift, X, Y); };
//     pcover.Load(3);  pcover(3).Visible(true);  pcover.Unload(3);
//
// The elements given to the constructor are the design-time elements: they
// exist from the start and cannot be unloaded (error 362).  Load(i) creates an
// element that copies every property of the element with the lowest index
// (position, size, colours, font, tag, caption, scale ...) except Visible,
// which starts false.  The array's handlers receive the element's Index
// first; they are looked up when the event is raised, so they can be
// assigned at any time.  Only the events the element type has are raised.
#pragma once

#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <type_traits>
#include <vector>

#include "platform/runtime/vberror.h"
#include "platform/ui/control.h"

namespace vb {

namespace detail {
// Keeps an object alive until the event being handled has finished.
void DestroyLater(std::shared_ptr<void> object);
}  // namespace detail

template <class T>
class ControlArray {
public:
    explicit ControlArray(Container& container, std::initializer_list<int> designIndices = {0})
        : container_(&container) {
        for (int i : designIndices) {
            Create(i);
            design_.push_back(i);
        }
    }
    ControlArray(const ControlArray&) = delete;
    ControlArray& operator=(const ControlArray&) = delete;

    // The element with this index; error 340 when it does not exist.
    T& operator()(int index) const {
        auto it = items_.find(index);
        if (it == items_.end()) {
            throw VbError(340, "Control array element '" + std::to_string(index) + "' doesn't exist");
        }
        return *it->second;
    }
    bool Exists(int index) const { return items_.count(index) != 0; }

    // Creates element `index` as a copy of the first element, hidden.
    // Error 360 when it is already loaded.
    void Load(int index) {
        if (Exists(index)) {
            throw VbError(360, "Object already loaded");
        }
        T* model = items_.empty() ? nullptr : items_.begin()->second.get();
        T& created = Create(index);
        if constexpr (std::is_base_of_v<Control, T>) {
            if (model) created.CopyPropertiesFrom(*model);
            created.Visible(false);
        } else if (model) {
            created.Interval(model->Interval());
            created.Enabled(model->Enabled());
            created.Tag(model->Tag());
        }
    }
    // Removes an element loaded at run time.  Error 340 when it does not
    // exist, 362 for an element that exists from the start.
    void Unload(int index) {
        if (!Exists(index)) {
            throw VbError(340, "Control array element '" + std::to_string(index) + "' doesn't exist");
        }
        for (int d : design_) {
            if (d == index) throw VbError(362, "Can't unload controls created at design time");
        }
        // The element may be unloaded from inside one of its own handlers,
        // so the object is destroyed once the current event has finished.
        auto it = items_.find(index);
        std::shared_ptr<T> doomed(std::move(it->second));
        items_.erase(it);
        if constexpr (std::is_base_of_v<Control, T>) {
            doomed->Visible(false);
        } else {
            doomed->Enabled(false);
        }
        detail::DestroyLater(std::move(doomed));
    }

    int LBound() const { return items_.empty() ? 0 : items_.begin()->first; }
    int UBound() const { return items_.empty() ? -1 : items_.rbegin()->first; }
    int Count() const { return static_cast<int>(items_.size()); }
    // Indices of the existing elements, ascending.
    std::vector<int> Indices() const {
        std::vector<int> out;
        for (auto& kv : items_) out.push_back(kv.first);
        return out;
    }

    // --- Events, Index first ------------------------------------------------------------
    std::function<void(int Index)> Click;
    std::function<void(int Index)> DblClick;
    std::function<void(int Index, int Button, int Shift, float X, float Y)> MouseDown;
    std::function<void(int Index, int Button, int Shift, float X, float Y)> MouseMove;
    std::function<void(int Index, int Button, int Shift, float X, float Y)> MouseUp;
    std::function<void(int Index, int& KeyCode, int& Shift)> KeyDown;
    std::function<void(int Index, int& KeyAscii)> KeyPress;
    std::function<void(int Index, int& KeyCode, int& Shift)> KeyUp;
    std::function<void(int Index)> GotFocus;
    std::function<void(int Index)> LostFocus;
    std::function<void(int Index)> Change;   // elements that have Change
    std::function<void(int Index)> Scroll;   // scroll bars
    std::function<void(int Index)> Paint;    // picture boxes
    std::function<void(int Index)> Tick;     // timers

private:
    T& Create(int index) {
        auto item = std::make_unique<T>(*container_);
        T& t = *item;
        if constexpr (std::is_base_of_v<Control, T>) {
            t.SetArrayIndex(index);
            t.Click = [this, index] { if (Click) Click(index); };
            t.DblClick = [this, index] { if (DblClick) DblClick(index); };
            t.MouseDown = [this, index](int b, int s, float x, float y) { if (MouseDown) MouseDown(index, b, s, x, y); };
            t.MouseMove = [this, index](int b, int s, float x, float y) { if (MouseMove) MouseMove(index, b, s, x, y); };
            t.MouseUp = [this, index](int b, int s, float x, float y) { if (MouseUp) MouseUp(index, b, s, x, y); };
            t.KeyDown = [this, index](int& k, int& s) { if (KeyDown) KeyDown(index, k, s); };
            t.KeyPress = [this, index](int& k) { if (KeyPress) KeyPress(index, k); };
            t.KeyUp = [this, index](int& k, int& s) { if (KeyUp) KeyUp(index, k, s); };
            t.GotFocus = [this, index] { if (GotFocus) GotFocus(index); };
            t.LostFocus = [this, index] { if (LostFocus) LostFocus(index); };
        } else {
            t.SetArrayIndex(index);
        }
        if constexpr (requires { t.Change; }) {
            t.Change = [this, index] { if (Change) Change(index); };
        }
        if constexpr (requires { t.Scroll; }) {
            t.Scroll = [this, index] { if (Scroll) Scroll(index); };
        }
        if constexpr (requires { t.Paint; }) {
            t.Paint = [this, index] { if (Paint) Paint(index); };
        }
        if constexpr (requires { t.Tick; }) {
            t.Tick = [this, index] { if (Tick) Tick(index); };
        }
        items_[index] = std::move(item);
        return t;
    }

    Container* container_;
    std::map<int, std::unique_ptr<T>> items_;
    std::vector<int> design_;
};

}  // namespace vb
