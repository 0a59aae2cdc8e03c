#pragma once
// The stop-name strip: a tall LED board that writes the next stop's name
// vertically, one 16 x 16 dot character under the other. Each character is
// printed with an ordinary font into a small work surface and sampled dot by
// dot. A name of seven or more units scrolls upwards without end.
//
// Everything is drawn into cached images when something changes; painting
// only shows them. The scroll runs from a single-shot timer and never blocks.
#include "core/PropertyBag.h"

#include <QElapsedTimer>
#include <QFont>
#include <QHash>
#include <QImage>
#include <QTimer>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>

class ChimeiCtl_A : public QWidget {
    Q_OBJECT
public:
    explicit ChimeiCtl_A(QWidget *parent = nullptr);
    ~ChimeiCtl_A() override;

    // Colours are 0x00BBGGRR. Setting the background erases the dots.
    uint32_t BackColor() const { return m_backColor; }
    void setBackColor(uint32_t colour);
    uint32_t ForeColor() const { return m_foreColor; }
    void setForeColor(uint32_t colour); // for dots drawn from now on
    void Refresh();
    int16_t Speed() const { return m_speed; } // 1/200 pixel per millisecond
    void setSpeed(int16_t speed);
    int32_t ScrollStartWait() const { return m_scrollStartWait; } // ms at rest before each run
    void setScrollStartWait(int32_t ms);
    // Draws one unit (one full-width or two half-width characters) with its
    // top-left dot at (x, y) of the strip. The strip is not cleared first.
    void DrawDot16(int32_t x, int32_t y, const QString &unit);
    // Shows a name; the empty text blanks the strip.
    void SetChimei(const QString &text);
    int16_t Mode() const { return m_mode; } // 2: two-character names set close
    void setMode(int16_t mode);
    int16_t Appearance() const { return m_appearance; } // 1: sunken 3-D frame, 0: flat
    void setAppearance(int16_t appearance);
    int16_t FontMode() const { return m_fontMode; } // 0-4: Gothic, Mincho or mixed by code range
    void setFontMode(int16_t mode);
    bool FontBold() const { return m_fontBold; }
    void setFontBold(bool bold);
    // Set: no scroll may run; setting it ends a running scroll.
    bool StopScroll() const { return m_stopScroll; }
    void setStopScroll(bool stop);

    // The container's saved properties; values equal to the defaults are omitted.
    void ReadProperties(const PropertyBag &bag);
    void WriteProperties(PropertyBag &bag) const;

    // What is shown: the strip image (the whole name) and its top inside the
    // frame's inner area, which goes negative while the name scrolls.
    const QImage &stripImage() const { return m_strip; }
    int stripTop() const { return m_top; }
    QRect frameRect() const { return QRect(QPoint(0, 0), m_frameSize); }
    QRect innerRect() const;
    bool isScrolling() const { return m_phase != Phase::Idle; }
    // How often the cached picture was redrawn (the scroll redraws only when
    // the strip's whole-pixel top changes).
    int compositions() const { return m_compositions; }
    // The frame's inner area as painting shows it on a screen of scale 1,
    // each pixel a square of factor x factor pixels, written into target
    // with its top-left at origin (target pixels). It takes the rows from
    // the strip enlarged once per name and scale, so a scroll step only
    // copies them; a view that shows the board enlarged calls it for each
    // step instead of enlarging the whole control.
    void drawInnerScaled(QImage &target, QPoint origin, int factor) const;

    // The scroll's clock in milliseconds from any fixed origin; a QElapsedTimer
    // by default. Tests put their own clock in and call advanceScroll(), which
    // runs the passes due by the clock, exactly as the timer does.
    void setClock(std::function<int64_t()> clock);
    void advanceScroll();

    QSize sizeHint() const override { return {37, 196}; }

signals:
    // Tells the container that a property changed, so that it is saved.
    void PropertyChanged(const QString &name);
    // The shown picture changed within `area` (control coordinates), whether
    // or not the control gets to paint: a view that shows it elsewhere follows.
    void pictureChanged(const QRect &area);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    enum class Phase { Idle, Waiting, Moving };

    // A unit's dots: bit c of row r is lit when the work surface's pixel
    // (c, r) came out exactly black.
    struct Glyph {
        std::array<uint16_t, 16> rows{};
        bool transposed = false;
    };

    QRect drawUnit(int64_t x, int64_t y, const QByteArray &unit);
    const Glyph &glyphFor(const QByteArray &unit);
    void renderWork(const QString &text, QPoint offset, int face);
    void clearStrip(int height);
    void compose(bool stripMoved = false);
    void composeFrame(qreal ratio);
    void copyStrip(const QRect &inner, const QRect &rows);
    void drawDots(const QRect &inner, qreal ratio);
    void startScroll();
    void endScroll();
    void advanceTo(int64_t now);
    void schedule(int64_t now);
    void recordChange(const char *name) { emit PropertyChanged(QString::fromLatin1(name)); }

    // Properties.
    uint32_t m_backColor;
    uint32_t m_foreColor;
    bool m_fontBold = false;
    int16_t m_fontMode = 0;
    int16_t m_mode = 0;
    int32_t m_scrollStartWait = 1500;
    int16_t m_speed = 5;
    bool m_stopScroll = false;
    int16_t m_appearance = 1;

    // Surfaces: the strip of dots, the 16 x 16 work surface a character is
    // printed on, and the composed picture that painting shows.
    QImage m_strip;
    QImage m_work;
    QImage m_surface;
    QSize m_frameSize{37, 196};
    QFont m_faces[2];
    int m_ascent[2] = {0, 0};
    // Glyphs by unit, font mode and weight: the same few characters come
    // back with every name and every scroll run.
    QHash<QByteArray, Glyph> m_glyphs;
    unsigned long long m_glyphFonts = 0; // the installed fonts they were sampled with
    // The frame without the strip, as composed for these inputs.
    QImage m_frame;
    struct FrameLook {
        uint32_t back = 0;
        int16_t appearance = -1;
        QSize frame, size;
        qreal ratio = 0;
        bool operator==(const FrameLook &) const = default;
    } m_frameLook;
    int m_top = 0;
    int m_compositions = 0;
    // The strip's rows widened for drawInnerScaled, and what they were made from.
    mutable QImage m_wide;
    mutable int m_wideFactor = 0;
    mutable unsigned m_wideFrom = 0;
    unsigned m_stripGeneration = 1; // counts every change of the strip's pixels

    // Scroll state. Distance is counted in 1/200 pixel so that the whole-pixel
    // top never drifts however the passes are grouped.
    Phase m_phase = Phase::Idle;
    bool m_firstWait = false; // the wait that opens a scroll; Speed 0 becomes 1 after it
    int64_t m_waitEnd = 0;
    int64_t m_lastPass = 0;
    int64_t m_travel = 0;
    QTimer m_timer;
    QElapsedTimer m_elapsed;
    std::function<int64_t()> m_clock;
};
