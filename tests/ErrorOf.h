#pragma once
// The number of the error a call raises, or 0 when it raises none.
#include "core/VbError.h"

#include <functional>

inline int errorOf(const std::function<void()> &f)
{
    try {
        f();
    } catch (const vb::Error &e) {
        return e.number();
    }
    return 0;
}
