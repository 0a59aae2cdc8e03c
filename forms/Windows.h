#pragma once
// Who owns the windows. Each of the program's windows has one accessor that
// creates it on first use, hidden, and runs its Form_Load; later calls return
// the same window. A window built directly (a test's own panel) counts as the
// loaded one while it lives, so the windows it calls find it.
#include <QPointer>
#include <QWidget>
#include <memory>

namespace windows {

enum class Id { Panel, Console, Options, Count };

// The window when it exists, else nullptr (nothing is created).
QWidget *loaded(Id id);

// Deletes every window an accessor created (at the end of the program, and
// between tests); a window built directly is left to its owner.
void unloadAll();

// A window's constructor calls this: it becomes the loaded one if none is.
// Tests also stand a plain widget in for a window this way.
void adopt(Id id, QWidget *window);

namespace detail {

struct Slot {
    QPointer<QWidget> window;
    bool owned = false;
};
Slot &slot(Id id);

template<typename W>
W &load(Id id)
{
    Slot &s = slot(id);
    if (s.window)
        return static_cast<W &>(*s.window);
    auto created = std::make_unique<W>();
    W &w = *created;
    // Registered before its load runs: the windows it loads may call back.
    s.window = created.release();
    s.owned = true;
    try {
        w.Form_Load();
    } catch (...) {
        if (slot(id).window == &w) {
            slot(id) = Slot{};
            delete &w;
        }
        throw;
    }
    return w;
}

} // namespace detail
} // namespace windows
