#include "forms/Windows.h"

#include <array>

namespace windows {

namespace detail {

Slot &slot(Id id)
{
    static std::array<Slot, size_t(Id::Count)> table;
    return table[size_t(id)];
}

} // namespace detail

void adopt(Id id, QWidget *window)
{
    detail::Slot &s = detail::slot(id);
    if (!s.window)
        s = detail::Slot{window, false};
}

QWidget *loaded(Id id)
{
    return detail::slot(id).window;
}

void unloadAll()
{
    // The options and the console go before the panel they write into.
    for (int i = int(Id::Count) - 1; i >= 0; --i) {
        detail::Slot &s = detail::slot(Id(i));
        QWidget *w = s.owned ? s.window.data() : nullptr;
        s = detail::Slot{};
        delete w;
    }
}

} // namespace windows
