#include "controls/subclass.h"

#include "platform/ui/application.h"

void Subclass::StartSubclass(int32_t) { attached_ = true; }

void Subclass::EndSubclass() { attached_ = false; }

// There is no window procedure to hook, so asking for tracking only counts.
void Subclass::TrackMouse(int32_t) { ++trackRequests_; }

int32_t Subclass::WndProc(int32_t hwnd, int32_t uMsg, int32_t, int32_t, bool&) {
    switch (uMsg) {
        case WM_MOUSEHOVER:
            if (!hovering_) {
                vb::RaiseEvent(MouseOver);
                TrackMouse(hwnd);
            }
            hovering_ = true;
            break;
        case WM_MOUSELEAVE:
            hovering_ = false;
            vb::RaiseEvent(MouseOut);
            break;
        case WM_MOUSEMOVE:
            TrackMouse(hwnd);
            break;
        case WM_NCDESTROY:
            attached_ = false;
            break;
        default:
            break;
    }
    return 0;
}
