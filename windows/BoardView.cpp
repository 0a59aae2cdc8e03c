#include "windows/BoardView.h"

#include "panel/ChimeiCtl_A/ChimeiCtl_A.h"
#include "panel/Form1.h"
#include "panel/M_Degit/M_Degit.h"
#include "platform/EventGuard.h"
#include "windows/PanelScreen.h"
#include "windows/PanelSize.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>
#include <algorithm>
#include <cmath>

namespace {

QRegion scaled(const QRegion &r, int factor)
{
    QRegion out;
    for (const QRect &rect : r)
        out += QRect(rect.topLeft() * factor, rect.size() * factor);
    return out;
}

} // namespace

BoardView::BoardView(Form1 &panel, Kind kind, int factor)
    : QWidget(&panel, Qt::Window | Qt::FramelessWindowHint), m_panel(&panel), m_strip(panel.ChimeiCtl()), m_kind(kind),
      m_windowFactor(std::max(1, factor))
{
    setWindowTitle(panel.windowTitle());
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    addActions(panel.actions()); // the keys the panel takes
    // What changes on the panel is drawn anew here, and only that: the strip
    // and the cells say so themselves (a system may stop painting a covered
    // window), the face and the labels through their paints.
    watch(&panel);
    for (QWidget *w : panel.findChildren<QWidget *>()) {
        if (w == this || isAncestorOf(w) || w->isWindow())
            continue;
        if (auto *cell = qobject_cast<M_Degit *>(w)) {
            connect(cell, &M_Degit::pictureChanged, this, [this, cell] {
                if (cell->isVisibleTo(m_panel.data()))
                    changed(cell->geometry());
            });
        } else if (auto *strip = qobject_cast<ChimeiCtl_A *>(w)) {
            connect(strip, &ChimeiCtl_A::pictureChanged, this, [this, strip](const QRect &area) {
                // A scroll step changes the strip's inner area alone: its rows
                // are copied, already enlarged, with nothing else redrawn.
                if (strip->devicePixelRatioF() == 1 && strip->innerRect().contains(area)) {
                    m_stripDirty = true;
                    update(toView(strip->innerRect().translated(strip->pos())));
                } else {
                    changed(area.translated(strip->pos()));
                }
            });
        } else {
            watch(w);
        }
    }
    if (kind == Kind::Window) {
        setFixedSize(panel.size() * m_windowFactor);
        // The same round corners, enlarged with the board.
        if (!panel.mask().isEmpty())
            setMask(scaled(panel.mask(), m_windowFactor));
        move(panel.pos());
        layoutBoard();
        if (panel.isVisible()) {
            show();
            raise();
        }
    }
}

void BoardView::watch(QWidget *w)
{
    w->installEventFilter(this);
}

bool BoardView::eventFilter(QObject *watched, QEvent *event)
{
    if (!m_panel)
        return false;
    if (event->type() == QEvent::Paint && !m_rendering) {
        auto *w = static_cast<QWidget *>(watched);
        const QPoint at = w == m_panel ? QPoint() : w->mapTo(m_panel.data(), QPoint());
        changed(static_cast<QPaintEvent *>(event)->region().translated(at));
    } else if (watched == m_panel && m_kind == Kind::Window) {
        // The enlarged window goes where the panel goes, and shows with it.
        if (event->type() == QEvent::Move && pos() != m_panel->pos()) {
            move(m_panel->pos());
        } else if (event->type() == QEvent::Show) {
            m_dirty = QRegion(m_panel->rect()); // whatever changed while it was hidden
            show();
            raise();
        } else if (event->type() == QEvent::Hide) {
            hide();
        }
    }
    return false;
}

void BoardView::changed(const QRegion &onPanel)
{
    if (!m_panel || m_rendering)
        return;
    const QRegion onBoard = onPanel & m_panel->rect();
    if (onBoard.isEmpty())
        return;
    m_dirty += onBoard;
    update(toView(onBoard.boundingRect()));
}

void BoardView::layoutBoard()
{
    const qreal dpr = devicePixelRatioF();
    int factor = 1;
    QPoint origin;
    if (m_kind == Kind::FullScreen) {
        const panelscreen::Fit f = panelscreen::fit(m_panel->size(), (QSizeF(size()) * dpr).toSize());
        factor = f.factor;
        origin = f.target.topLeft();
    } else {
        factor = std::max(1, int(std::lround(m_windowFactor * dpr)));
    }
    if (factor == m_factor && origin == m_origin && !m_frame.isNull())
        return;
    m_factor = factor;
    m_origin = origin;
    m_frame = QImage(m_panel->size() * factor, QImage::Format_ARGB32_Premultiplied);
    m_frame.fill(Qt::black);
    m_frame.setDevicePixelRatio(factor); // the panel paints in its own pixels
    m_dirty = QRegion(m_panel->rect());
    m_stripDirty = false;
    update(); // all of it, whatever part asked
}

void BoardView::bringUpToDate()
{
    if (!m_dirty.isEmpty()) {
        QRegion clip = m_dirty;
        const QRegion shape = m_panel->mask();
        if (!shape.isEmpty())
            clip &= shape; // the board's round corners stay black
        if (!clip.isEmpty()) {
            m_rendering = true;
            QPainter p(&m_frame);
            p.setClipRegion(clip);
            m_panel->render(&p, m_dirty.boundingRect().topLeft(), m_dirty,
                            QWidget::DrawWindowBackground | QWidget::DrawChildren);
            m_rendering = false;
            ++m_renders;
        }
        m_dirty = QRegion();
    }
    if (m_stripDirty && m_strip)
        m_strip->drawInnerScaled(m_frame, (m_strip->pos() + m_strip->innerRect().topLeft()) * m_factor, m_factor);
    m_stripDirty = false;
}

QRect BoardView::toView(const QRect &board) const
{
    const QRectF device(QPointF(m_origin + board.topLeft() * m_factor), QSizeF(board.size() * m_factor));
    const qreal dpr = devicePixelRatioF();
    return QRectF(device.topLeft() / dpr, device.size() / dpr).toAlignedRect();
}

QPoint BoardView::toBoard(QPointF viewPos) const
{
    const QPointF device = viewPos * devicePixelRatioF() - QPointF(m_origin);
    return QPoint(int(std::floor(device.x() / m_factor)), int(std::floor(device.y() / m_factor)));
}

void BoardView::paintEvent(QPaintEvent *event)
{
    if (!m_panel)
        return;
    layoutBoard();
    bringUpToDate();
    QPainter p(this);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    const qreal dpr = devicePixelRatioF();
    const QRect board = toView(m_panel->rect());
    for (const QRect &r : event->region()) {
        const QRect part = r & board;
        for (const QRect &rest : QRegion(r) - QRegion(part))
            p.fillRect(rest, Qt::black);
        if (part.isEmpty())
            continue;
        const QRectF source(QPointF(part.topLeft()) * dpr - QPointF(m_origin), QSizeF(part.size()) * dpr);
        p.drawImage(QRectF(part), m_frame, source); // one frame pixel to one device pixel
    }
}

void BoardView::resizeEvent(QResizeEvent *)
{
    update();
}

void BoardView::moveEvent(QMoveEvent *)
{
    // The panel beneath keeps the place, so the settings keep the x1 window's meaning.
    if (m_kind == Kind::Window && m_panel && m_panel->pos() != pos())
        m_panel->move(pos());
}

void BoardView::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && m_kind == Kind::FullScreen) {
        platform::guarded([] { panelscreen::restore(); });
        return;
    }
    QWidget::keyPressEvent(event);
}

void BoardView::closeEvent(QCloseEvent *event)
{
    // Closed by the window manager: full screen ends; the enlarged window is
    // the panel, whose close asks the console's exit question.
    event->ignore();
    if (m_kind == Kind::FullScreen)
        platform::guarded([] { panelscreen::restore(); });
    else if (m_panel)
        m_panel->close();
}

void BoardView::contextMenuEvent(QContextMenuEvent *event)
{
    auto *menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    panelsize::addMenuEntries(*menu);
    menu->popup(event->globalPos());
}

void BoardView::mousePressEvent(QMouseEvent *event)
{
    // As on the panel: only the board itself is a handle for moving the window.
    // The view is a window of its own: nothing beneath would take the press.
    event->accept();
    layoutBoard();
    const QPoint at = toBoard(event->position());
    if (m_kind != Kind::Window || event->button() != Qt::LeftButton || !m_panel || m_panel->childAt(at))
        return;
    if (QWindow *w = windowHandle(); w && w->startSystemMove())
        return;
    m_dragging = true;
    m_dragOffset = event->globalPosition().toPoint() - pos();
}

void BoardView::mouseMoveEvent(QMouseEvent *event)
{
    if (m_dragging && (event->buttons() & Qt::LeftButton))
        move(event->globalPosition().toPoint() - m_dragOffset);
}

void BoardView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_dragging = false;
}

void BoardView::mouseDoubleClickEvent(QMouseEvent *event)
{
    // A fare cell's double-click opens its settings, as on the panel.
    if (!m_panel)
        return;
    layoutBoard();
    const QPoint at = toBoard(event->position());
    QWidget *child = m_panel->childAt(at);
    if (!child)
        return;
    const QPointF local = child->mapFrom(m_panel.data(), at);
    QMouseEvent forwarded(QEvent::MouseButtonDblClick, local, child->mapToGlobal(local), event->button(),
                          event->buttons(), event->modifiers());
    QCoreApplication::sendEvent(child, &forwarded);
}
