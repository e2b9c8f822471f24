// Test helper: the runtime error number that `f` raises, 0 when it raises none.
#pragma once

#include <functional>

#include "platform/runtime/vberror.h"

inline int ErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const vb::VbError& e) {
        return e.Number();
    }
    return 0;
}
