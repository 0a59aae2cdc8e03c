#pragma once
// Connecting event handlers. Each connects to the value signal that fires for
// changes made from code as well as by the user, so setting a control runs its
// handler; and each runs the handler through the guard, so an error it does
// not trap ends in the general error report, never in Qt's event loop.
// Signals are never blocked in the option windows.
#include "core/InputHold.h"
#include "forms/ControlArray.h"
#include "platform/EventGuard.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>

namespace forms {

// Check box: whenever its value changes.
template<typename F>
void onChange(QCheckBox *box, F handler)
{
    QObject::connect(box, &QCheckBox::stateChanged, box, [handler](int) { platform::guarded(handler); });
}

// Combo box and list: whenever the selected index changes.
template<typename F>
void onChange(QComboBox *box, F handler)
{
    QObject::connect(box, &QComboBox::currentIndexChanged, box, [handler](int) { platform::guarded(handler); });
}

template<typename F>
void onChange(QListWidget *list, F handler)
{
    QObject::connect(list, &QListWidget::currentRowChanged, list, [handler](int) { platform::guarded(handler); });
}

// Text box: whenever its text changes.
template<typename F>
void onChange(QLineEdit *box, F handler)
{
    QObject::connect(box, &QLineEdit::textChanged, box, [handler](const QString &) { platform::guarded(handler); });
}

// Option button: only when it becomes selected.
template<typename F>
void onSelected(QAbstractButton *button, F handler)
{
    QObject::connect(button, &QAbstractButton::toggled, button, [handler](bool on) {
        if (on)
            platform::guarded(handler);
    });
}

// Command button: when it is pressed. A press that arrives while input is
// held back (an accessibility client's, during a sound's decode) waits its
// turn, as the clicks in the window system's queue do.
template<typename F>
void onClick(QAbstractButton *button, F handler)
{
    QObject::connect(button, &QAbstractButton::clicked, button, [handler](bool) {
        inputhold::runOrDefer([handler] { platform::guarded(handler); });
    });
}

// The same for every element of an array; the handler takes the index.
template<typename W, typename F>
void onChange(const ControlArray<W> &array, F handler)
{
    for (auto [index, w] : array)
        onChange(w.data(), [handler, index = index] { handler(index); });
}

template<typename W, typename F>
void onSelected(const ControlArray<W> &array, F handler)
{
    for (auto [index, w] : array)
        onSelected(w.data(), [handler, index = index] { handler(index); });
}

template<typename W, typename F>
void onClick(const ControlArray<W> &array, F handler)
{
    for (auto [index, w] : array)
        onClick(w.data(), [handler, index = index] { handler(index); });
}

} // namespace forms
