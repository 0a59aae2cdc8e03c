#include "windows/PanelSize.h"

#include "core/FileIo.h"
#include "forms/Windows.h"
#include "panel/Form1.h"
#include "platform/EventGuard.h"
#include "windows/BoardView.h"
#include "windows/PanelScreen.h"

#include <QAction>
#include <QActionGroup>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QPointer>
#include <QStandardPaths>

namespace panelsize {

namespace {

struct State {
    int chosen = 1;
    QPointer<BoardView> view;
    QList<QPointer<QAction>> actions; // the panel's, one per size
};

State &state()
{
    static State s;
    return s;
}

void dropView()
{
    State &s = state();
    if (!s.view)
        return;
    BoardView *v = s.view;
    s.view = nullptr;
    v->hide();
    v->deleteLater();
}

void save(int factor)
{
    const QString file = settingsFile();
    QDir().mkpath(QFileInfo(file).absolutePath());
    // A size that cannot be kept is no reason to refuse it for this run.
    fileio::writeWhole(file, QStringLiteral("size=%1\n").arg(factor).toUtf8());
}

} // namespace

int size() { return state().chosen; }

QString settingsFile()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation)).filePath(QStringLiteral("panel.conf"));
}

int parse(const QByteArray &bytes)
{
    int factor = 1;
    for (const QByteArray &line : bytes.split('\n')) {
        const QByteArray l = line.trimmed();
        if (!l.startsWith("size="))
            continue;
        bool ok = false;
        const int v = l.mid(5).trimmed().toInt(&ok);
        factor = ok && v >= 1 && v <= kLargest ? v : 1;
    }
    return factor;
}

void load()
{
    const fileio::Read r = fileio::readRegular(settingsFile(), 4096);
    state().chosen = r.error ? 1 : parse(r.bytes);
}

void apply()
{
    State &s = state();
    if (panelscreen::active())
        return; // shown again when the panel leaves full screen
    if (s.view && s.view->windowFactor() == s.chosen && s.view->isVisible())
        return;
    dropView();
    if (s.chosen == 1)
        return;
    ::Form1 &panel = windows::Form1();
    // The panel owns it; it shows with the panel.
    s.view = new BoardView(panel, BoardView::Kind::Window, s.chosen);
}

bool set(int factor)
{
    if (factor < 1 || factor > kLargest)
        return false;
    state().chosen = factor;
    save(factor);
    if (panelscreen::active())
        panelscreen::restore(); // which shows the chosen size
    else
        apply();
    return true;
}

void suspend() { dropView(); }

QWidget *view() { return state().view; }

QString entryCaption(int factor)
{
    return factor == 1 ? QStringLiteral("等倍で表示") : QStringLiteral("%1倍で表示").arg(factor);
}

void addMenuEntries(QMenu &menu)
{
    for (const QPointer<QAction> &a : state().actions) {
        if (!a)
            continue;
        a->setChecked(!panelscreen::active() && a->data().toInt() == size());
        menu.addAction(a);
    }
    menu.addSeparator();
    panelscreen::addMenuEntry(menu);
}

void attach(QWidget &panel)
{
    State &s = state();
    s.actions.clear();
    auto *group = new QActionGroup(&panel);
    for (int f = 1; f <= kLargest; ++f) {
        auto *a = new QAction(entryCaption(f), group);
        a->setData(f);
        a->setCheckable(true);
        a->setShortcut(QKeySequence(Qt::CTRL | Qt::Key(Qt::Key_0 + f)));
        a->setShortcutContext(Qt::WindowShortcut);
        QObject::connect(a, &QAction::triggered, a, [f] { platform::guarded([f] { set(f); }); });
        panel.addAction(a);
        s.actions << a;
    }
    panel.setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(&panel, &QWidget::customContextMenuRequested, &panel, [&panel](const QPoint &at) {
        platform::guarded([&panel, at] {
            auto *menu = new QMenu(&panel);
            menu->setAttribute(Qt::WA_DeleteOnClose);
            addMenuEntries(*menu);
            menu->popup(panel.mapToGlobal(at));
        });
    });
}

} // namespace panelsize
