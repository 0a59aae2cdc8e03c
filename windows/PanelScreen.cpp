#include "windows/PanelScreen.h"

#include "forms/Windows.h"
#include "panel/Form1.h"
#include "platform/EventGuard.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
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

// The full-screen window. It paints the panel through the panel's own
// painting, with the painter enlarged: text is laid out at the enlarged size,
// and the cells' and the strip's surfaces are enlarged pixel for pixel (no
// smoothing), so each of their pixels becomes a sharp square of whole pixels.
class PanelView : public QWidget {
public:
    explicit PanelView(Form1 &panel)
        : QWidget(&panel, Qt::Window | Qt::FramelessWindowHint), m_panel(&panel)
    {
        setWindowTitle(panel.windowTitle());
        setAttribute(Qt::WA_OpaquePaintEvent);
        setFocusPolicy(Qt::StrongFocus);
        // Whatever repaints on the panel repaints here.
        m_panel->installEventFilter(this);
        for (QWidget *w : m_panel->findChildren<QWidget *>())
            if (w != this && !isAncestorOf(w))
                w->installEventFilter(this);
    }

    void place(QScreen *screen)
    {
        setGeometry(screen->geometry());
        showFullScreen();
        raise();
        activateWindow();
        m_dirty = true;
        update();
    }

    const QImage &frame() const { return m_frame; }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && !m_rendering && !m_dirty) {
            m_dirty = true;
            update();
        }
        return false;
    }

    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.fillRect(rect(), Qt::black);
        if (!m_panel)
            return;
        const qreal dpr = devicePixelRatioF();
        const Fit f = fit(m_panel->size(), (QSizeF(size()) * dpr).toSize());
        if (m_dirty || m_frame.size() != f.target.size())
            renderFrame(f.factor);
        QImage shown = m_frame;
        shown.setDevicePixelRatio(dpr); // one frame pixel to one device pixel
        p.drawImage(QPointF(f.target.topLeft()) / dpr, shown);
    }

    void keyPressEvent(QKeyEvent *event) override
    {
        if (event->key() == Qt::Key_Escape) {
            platform::guarded([] { restore(); });
            return;
        }
        QWidget::keyPressEvent(event);
    }

    void contextMenuEvent(QContextMenuEvent *event) override
    {
        auto *menu = new QMenu(this);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        addMenuEntry(*menu);
        menu->popup(event->globalPos());
    }

private:
    void renderFrame(int factor)
    {
        m_rendering = true;
        QImage image(m_panel->size() * factor, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(factor);
        image.fill(Qt::black);
        {
            QPainter p(&image);
            const QRegion mask = m_panel->mask();
            if (!mask.isEmpty())
                p.setClipRegion(mask); // the board's round corners
            m_panel->render(&p, QPoint(), QRegion(), QWidget::DrawWindowBackground | QWidget::DrawChildren);
        }
        image.setDevicePixelRatio(1);
        m_frame = image;
        m_rendering = false;
        m_dirty = false;
    }

    QPointer<Form1> m_panel;
    QImage m_frame;
    bool m_dirty = true;
    bool m_rendering = false;
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
        s.savedPos = panel.pos();
        s.view = new PanelView(panel); // the panel owns it
        s.view->addActions(panel.actions()); // the keys the panel takes
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
