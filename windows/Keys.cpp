#include "windows/Keys.h"

#include "console/frmCtl.h"
#include "forms/Windows.h"
#include "platform/EventGuard.h"
#include "windows/PanelScreen.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QKeySequence>
#include <QPushButton>

namespace keys {

namespace {

struct Key {
    const char16_t *caption;
    QList<QKeySequence> keys;
    QAbstractButton *(*button)(frmCtl &); // null: the full-screen panel
};

const Key kKeys[] = {
    {u"データ送り", {QKeySequence(Qt::Key_PageDown), QKeySequence(Qt::Key_F6)}, [](frmCtl &c) -> QAbstractButton * { return c.Command2(1); }},
    {u"データ戻し", {QKeySequence(Qt::Key_PageUp), QKeySequence(Qt::Key_F5)}, [](frmCtl &c) -> QAbstractButton * { return c.Command2(0); }},
    {u"放送 送り", {QKeySequence(Qt::Key_F8)}, [](frmCtl &c) -> QAbstractButton * { return c.cmdTapeNext; }},
    {u"放送 戻し", {QKeySequence(Qt::Key_F7)}, [](frmCtl &c) -> QAbstractButton * { return c.cmdTapeBack; }},
    {u"表示消去", {QKeySequence(Qt::Key_F9)}, [](frmCtl &c) -> QAbstractButton * { return c.Check1; }},
    {u"パネルを全画面表示", {QKeySequence(Qt::Key_F11)}, nullptr},
};

} // namespace

const QList<QAction *> &actions()
{
    static QList<QAction *> made;
    if (!made.isEmpty())
        return made;
    frmCtl &console = windows::frmCtl();
    for (const Key &k : kKeys) {
        auto *a = new QAction(QString::fromUtf16(k.caption), &console);
        a->setShortcuts(k.keys);
        a->setShortcutContext(Qt::WindowShortcut);
        const auto button = k.button;
        QObject::connect(a, &QAction::triggered, &console, [button] {
            platform::guarded([button] {
                if (!button) {
                    panelscreen::toggle();
                    return;
                }
                // click() is what a press does: nothing on a disabled
                // button, a toggle of the check box.
                if (QAbstractButton *b = button(windows::frmCtl()); b && b->isEnabled() && b->isVisible())
                    b->click();
            });
        });
        made << a;
    }
    // The console is gone at the end; so are its actions.
    QObject::connect(&console, &QObject::destroyed, [] { made.clear(); });
    return made;
}

void attach(QWidget &window)
{
    for (QAction *a : actions())
        window.addAction(a);
}

} // namespace keys
