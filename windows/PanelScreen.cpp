#include "windows/PanelScreen.h"

#include "forms/Windows.h"
#include "panel/Form1.h"
#include "platform/EventGuard.h"
#include "windows/BoardView.h"
#include "windows/PanelSize.h"

#include <QAction>
#include <QGuiApplication>
#include <QMenu>
#include <QPointer>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace panelscreen {

Fit fit(QSize panel, QSize screen)
{
    Fit f;
    if (panel.isEmpty() || screen.isEmpty())
        return f;
    f.factor = std::max(1, std::min(screen.width() / panel.width(), screen.height() / panel.height()));
    const QSize shown = panel * f.factor;
    f.target = QRect(QPoint((screen.width() - shown.width()) / 2, (screen.height() - shown.height()) / 2), shown);
    return f;
}

namespace {

// The full-screen window: the panel enlarged by the largest whole factor
// that fits, centred on black.
class PanelView : public BoardView {
public:
    explicit PanelView(Form1 &panel) : BoardView(panel, Kind::FullScreen) {}

    void place(QScreen *screen)
    {
        setGeometry(screen->geometry());
        showFullScreen();
        raise();
        activateWindow();
        update();
    }
};

// Asking the console to end the program first puts the panel back, so the
// settings keep its own place, not the one under the full-screen window.
class CloseWatch : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Close)
            restore();
        return false;
    }
};

struct State {
    QPointer<PanelView> view;
    QPoint savedPos;
    int index = -1;
};

State &state()
{
    static State s;
    return s;
}

int screenOf(const QWidget &w)
{
    const int i = int(QGuiApplication::screens().indexOf(w.screen()));
    return std::max(i, 0);
}

} // namespace

QString entryCaption() { return QStringLiteral("パネルを全画面表示"); }

bool show(int index)
{
    const QList<QScreen *> screens = QGuiApplication::screens();
    if (index < 0 || index >= screens.size())
        return false;
    Form1 &panel = windows::Form1();
    State &s = state();
    if (!s.view) {
        panelsize::suspend();
        s.savedPos = panel.pos();
        s.view = new PanelView(panel); // the panel owns it
        if (QWidget *console = windows::loaded(windows::Id::Console))
            console->installEventFilter(new CloseWatch(s.view));
    }
    QScreen *screen = screens[index];
    s.index = index;
    // The panel's own window waits under the full-screen one, on its screen,
    // so it shows nowhere else.
    panel.move(screen->geometry().center() - panel.rect().center());
    QObject::connect(screen, &QObject::destroyed, s.view, [] { restore(); });
    s.view->place(screen);
    return true;
}

void restore()
{
    State &s = state();
    if (!s.view)
        return;
    PanelView *v = s.view;
    s.view = nullptr;
    s.index = -1;
    v->hide();
    v->deleteLater();
    if (QWidget *panel = windows::loaded(windows::Id::Panel)) {
        panel->move(s.savedPos);
        panel->raise();
    }
    panelsize::apply(); // the window size chosen, over the panel again
}

bool active() { return !state().view.isNull(); }

void toggle()
{
    if (active())
        restore();
    else
        show(screenOf(windows::Form1()));
}

int screenIndex() { return state().index; }

QWidget *view() { return state().view; }

void addMenuEntry(QMenu &menu)
{
    QAction *toggle = menu.addAction(entryCaption());
    toggle->setCheckable(true);
    QMenu *choose = menu.addMenu(entryCaption());
    choose->menuAction()->setVisible(false);
    QObject::connect(&menu, &QMenu::aboutToShow, toggle, [toggle, choose] {
        const QList<QScreen *> screens = QGuiApplication::screens();
        const bool several = screens.size() > 1 && !active();
        toggle->setVisible(!several);
        toggle->setChecked(active());
        choose->menuAction()->setVisible(several);
        choose->clear();
        if (!several)
            return;
        for (int i = 0; i < screens.size(); ++i) {
            const QScreen *sc = screens[i];
            const QSize px = (QSizeF(sc->size()) * sc->devicePixelRatio()).toSize();
            QAction *a = choose->addAction(
                QStringLiteral("%1: %2 (%3×%4)").arg(i + 1).arg(sc->name()).arg(px.width()).arg(px.height()));
            QObject::connect(a, &QAction::triggered, a, [i] { platform::guarded([i] { show(i); }); });
        }
    });
    QObject::connect(toggle, &QAction::triggered, toggle, [] { platform::guarded([] { panelscreen::toggle(); }); });
}

} // namespace panelscreen
