// The hover tracker of the tab strip.  It reacts to the window messages of
// mouse hover (673), mouse leave (675), mouse move (512) and non-client
// destroy (130), but StartSubclass only marks it attached: nothing routes
// window messages to it, so its events never fire on their own and nothing
// of the strip's behaviour depends on them.
#pragma once

#include <cstdint>
#include <functional>

class ISubclass {
public:
    virtual ~ISubclass() = default;
    virtual int32_t WndProc(int32_t hwnd, int32_t uMsg, int32_t wParam, int32_t lParam, bool& bHandled) = 0;
};

class Subclass : public ISubclass {
public:
    enum : int32_t {
        WM_NCDESTROY = 130,
        WM_MOUSEMOVE = 512,
        WM_MOUSEHOVER = 673,
        WM_MOUSELEAVE = 675,
    };

    void StartSubclass(int32_t hwnd);
    void EndSubclass();
    bool Attached() const { return attached_; }

    // The message handler; returns 0 and leaves bHandled as it was.
    int32_t WndProc(int32_t hwnd, int32_t uMsg, int32_t wParam, int32_t lParam, bool& bHandled) override;

    std::function<void()> MouseOver;
    std::function<void()> MouseOut;
    std::function<void()> click;   // never raised

    // How often tracking was asked for (hover and leave, 1 ms hover time).
    int TrackRequests() const { return trackRequests_; }

private:
    void TrackMouse(int32_t hwnd);

    bool attached_ = false;
    bool hovering_ = false;
    int trackRequests_ = 0;
};
