#pragma once
// The panel shown enlarged by a whole number of pixels, in a window of its
// own: the full-screen panel and the x2 and x3 window sizes. The panel window
// itself stays beneath it and goes on taking every write; this view keeps the
// enlarged picture and redraws only what the panel repaints: a changed cell or
// label is drawn anew at the scale, and a scroll step of the stop name copies
// the strip's rows, already enlarged, into place. Nothing is smoothed.
#include <QImage>
#include <QPointer>
#include <QRegion>
#include <QWidget>

class ChimeiCtl_A;
class Form1;

class BoardView : public QWidget {
public:
    enum class Kind { FullScreen, Window };
    // A full-screen view fits the largest whole factor into its size; a window
    // view is `factor` times the panel, at the panel's place.
    BoardView(Form1 &panel, Kind kind, int factor = 1);

    Kind kind() const { return m_kind; }
    int factor() const { return m_factor; } // device pixels per panel pixel
    int windowFactor() const { return m_windowFactor; } // a window view's size, times the panel's
    // The enlarged board as last painted (black outside the round corners).
    const QImage &frame() const { return m_frame; }
    // Where the board's top-left lies in the view, in device pixels.
    QPoint boardOrigin() const { return m_origin; }
    // How many times part of the board was drawn anew through the panel's
    // own painting (a scroll step does not count: it only copies rows).
    int renders() const { return m_renders; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    void layoutBoard();
    void bringUpToDate();
    QRect toView(const QRect &board) const; // panel pixels to view (logical) coordinates
    QPoint toBoard(QPointF viewPos) const;
    void watch(QWidget *w);
    void changed(const QRegion &onPanel); // panel pixels to draw anew

    // The panel as a widget: its filter sees events while it is destroyed.
    QPointer<QWidget> m_panel;
    QPointer<ChimeiCtl_A> m_strip;
    Kind m_kind;
    int m_factor = 1;
    int m_windowFactor = 1;
    QPoint m_origin;
    QImage m_frame;
    QRegion m_dirty;          // panel pixels to draw anew through the panel's painting
    bool m_stripDirty = false; // the strip's inner area moved
    bool m_rendering = false;
    int m_renders = 0;
    bool m_dragging = false;
    QPoint m_dragOffset;
};
