#include "panel/ChimeiCtl_A/ChimeiCtl_A.h"

#include "core/Cp932.h"
#include "core/KXP4Res.h"
#include "panel/ChimeiCtl_A/ChimeiLayout.h"
#include "platform/EventGuard.h"
#include "platform/Units.h"

#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <algorithm>
#include <climits>
#include <cmath>

namespace {

constexpr uint32_t kDefaultBack = platform::rgb(128, 128, 128);
constexpr uint32_t kDefaultFore = platform::rgb(255, 190, 0);
constexpr int16_t kDefaultSpeed = 5;
constexpr int32_t kDefaultWait = 1500;
constexpr int kGlyph = 16;
constexpr int64_t kSubPixels = 200; // Speed is in 1/200 pixel per pass
// Faster than one pixel per frame there is no point waking more often than
// the screen refreshes; the passes missed in between are counted on waking.
constexpr int64_t kFrameMs = 16;
constexpr int64_t kStillPollMs = 250; // Speed 0 mid-run; setSpeed wakes it anyway
// Beyond this many units the strip would cost more memory than any name is worth.
constexpr int64_t kMaxUnits = 2048;

int faceIndex(chimei::Face f) { return f == chimei::Face::Mincho ? 1 : 0; }

int64_t ceilDiv(int64_t a, int64_t b) { return (a + b - 1) / b; }

} // namespace

ChimeiCtl_A::ChimeiCtl_A(QWidget *parent)
    : QWidget(parent), m_backColor(kDefaultBack), m_foreColor(kDefaultFore)
{
    for (const chimei::Face f : {chimei::Face::Gothic, chimei::Face::Mincho}) {
        QFont font(chimei::faceName(f));
        font.setPixelSize(kGlyph);
        // Dots are sampled as exactly black pixels: grey edge pixels would be lost.
        font.setStyleStrategy(QFont::NoAntialias);
        m_faces[faceIndex(f)] = font;
        m_ascent[faceIndex(f)] = QFontMetrics(font).ascent();
    }
    m_work = QImage(kGlyph, kGlyph, QImage::Format_RGB32);
    m_work.fill(Qt::white);
    clearStrip(chimei::kStillHeight);

    m_elapsed.start();
    m_clock = [this] { return int64_t(m_elapsed.elapsed()); };
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, [this] { platform::guarded([this] { advanceScroll(); }); });

    resize(sizeHint());
    m_frameSize = size();
    compose();
}

ChimeiCtl_A::~ChimeiCtl_A() = default;

void ChimeiCtl_A::setBackColor(uint32_t colour)
{
    m_backColor = colour;
    clearStrip(m_strip.height());
    compose();
    recordChange("BackColor");
}

void ChimeiCtl_A::setForeColor(uint32_t colour)
{
    m_foreColor = colour;
    recordChange("ForeColor");
}

void ChimeiCtl_A::Refresh()
{
    repaint();
}

void ChimeiCtl_A::setSpeed(int16_t speed)
{
    // Settle the passes already run at the old speed before the new one counts.
    if (m_phase == Phase::Moving)
        advanceTo(m_clock());
    m_speed = speed;
    if (m_phase != Phase::Idle)
        schedule(m_clock());
    recordChange("Speed");
}

void ChimeiCtl_A::setScrollStartWait(int32_t ms)
{
    m_scrollStartWait = ms; // a wait already begun keeps its length
    recordChange("ScrollStartWait");
}

void ChimeiCtl_A::DrawDot16(int32_t x, int32_t y, const QString &unit)
{
    drawUnit(x, y, cp932::encode(unit));
    compose();
}

void ChimeiCtl_A::SetChimei(const QString &text)
{
    if (text.isEmpty()) {
        // Only blanks: a running scroll keeps moving the empty strip until
        // the next name arrives.
        clearStrip(m_strip.height());
        compose();
        setAccessibleDescription(text);
        return;
    }
    endScroll();
    const QByteArray bytes = cp932::encode(text);
    const int32_t n = kxp4::LenB_ASCII(text);
    const chimei::Layout layout = chimei::layoutFor(std::min<int64_t>(n / 2, kMaxUnits), m_mode);
    clearStrip(layout.height);
    // Two bytes at a time, so half-width pairs share a cell and a full-width
    // character after an odd number of half-width ones is split in two.
    for (int32_t i = 1; i <= n; ++i) {
        const QByteArray unit = kxp4::MidB_Bytes(bytes, 2 * i - 1, 2);
        if (unit.isEmpty())
            break; // past the end every unit is empty
        drawUnit(2, layout.top + int64_t(i - 1) * layout.step, unit);
    }
    m_stopScroll = true;
    if (layout.scrolls)
        startScroll();
    compose();
    setAccessibleDescription(text);
}

void ChimeiCtl_A::setMode(int16_t mode)
{
    m_mode = mode;
    recordChange("Mode");
}

void ChimeiCtl_A::setAppearance(int16_t appearance)
{
    m_appearance = appearance;
    m_frameSize = appearance != 0 ? QSize(37, 195) : QSize(35, 185);
    clearStrip(m_strip.height());
    compose();
    recordChange("Appearance");
}

void ChimeiCtl_A::setFontMode(int16_t mode)
{
    m_fontMode = mode; // the next name uses it
    recordChange("FontMode");
}

void ChimeiCtl_A::setFontBold(bool bold)
{
    m_fontBold = bold;
    recordChange("FontBold");
}

void ChimeiCtl_A::setStopScroll(bool stop)
{
    m_stopScroll = stop;
    if (stop && m_phase != Phase::Idle) {
        endScroll();
        compose();
    }
}

void ChimeiCtl_A::ReadProperties(const PropertyBag &bag)
{
    m_backColor = bag.readColor(QStringLiteral("BackColor"), kDefaultBack);
    m_foreColor = bag.readColor(QStringLiteral("ForeColor"), kDefaultFore);
    m_speed = bag.readInt16(QStringLiteral("Speed"), kDefaultSpeed);
    m_scrollStartWait = bag.readInt32(QStringLiteral("ScrollStartWait"), kDefaultWait);
    m_mode = bag.readInt16(QStringLiteral("Mode"), 0);
    m_appearance = bag.readInt16(QStringLiteral("Appearance"), 1); // the border only; the frame keeps its size
    m_fontMode = bag.readInt16(QStringLiteral("FontMode"), 0);
    m_fontBold = bag.readBool(QStringLiteral("FontBold"), false);
    clearStrip(m_strip.height());
    compose();
}

void ChimeiCtl_A::WriteProperties(PropertyBag &bag) const
{
    bag.writeColor(QStringLiteral("BackColor"), m_backColor, kDefaultBack);
    bag.writeColor(QStringLiteral("ForeColor"), m_foreColor, kDefaultFore);
    bag.writeInt(QStringLiteral("Speed"), m_speed, kDefaultSpeed);
    bag.writeInt(QStringLiteral("ScrollStartWait"), m_scrollStartWait, kDefaultWait);
    bag.writeInt(QStringLiteral("Mode"), m_mode, 0);
    bag.writeInt(QStringLiteral("Appearance"), m_appearance, 1);
    bag.writeInt(QStringLiteral("FontMode"), m_fontMode, 0);
    bag.writeBool(QStringLiteral("FontBold"), m_fontBold, false);
}

QRect ChimeiCtl_A::innerRect() const
{
    const int edge = m_appearance != 0 ? 2 : 1;
    return frameRect().adjusted(edge, edge, -edge, -edge);
}

void ChimeiCtl_A::setClock(std::function<int64_t()> clock)
{
    m_clock = std::move(clock);
    if (m_phase != Phase::Idle)
        schedule(m_clock());
}

void ChimeiCtl_A::advanceScroll()
{
    advanceTo(m_clock());
}

void ChimeiCtl_A::paintEvent(QPaintEvent *event)
{
    // Moved to a screen of another scale since the last composition.
    if (m_surface.devicePixelRatio() != devicePixelRatioF())
        compose();
    QPainter p(this);
    if (m_surface.devicePixelRatio() == 1)
        p.drawImage(event->rect(), m_surface, event->rect());
    else
        p.drawImage(QPoint(0, 0), m_surface); // one image pixel to one screen pixel
}

void ChimeiCtl_A::resizeEvent(QResizeEvent *event)
{
    // The frame fills the control; the pending resize delivered at the first
    // show repeats the size we already have and must not undo setAppearance.
    if (event->size() != m_surface.deviceIndependentSize().toSize()) {
        m_frameSize = event->size();
        compose();
    }
}

void ChimeiCtl_A::drawUnit(int64_t x, int64_t y, const QByteArray &unit)
{
    m_work.fill(Qt::white);
    if (unit.isEmpty())
        return;
    const chimei::UnitLook look = chimei::lookFor(unit, m_fontMode);
    renderWork(chimei::printableText(look.printed), look.offset,
               faceIndex(chimei::faceFor(look.printed, m_fontMode)));

    const QRgb dot = platform::fromOle(m_foreColor).rgb();
    const QRect bounds = m_strip.rect();
    for (int r = 0; r < kGlyph; ++r) {
        const auto *row = reinterpret_cast<const QRgb *>(m_work.constScanLine(r));
        for (int c = 0; c < kGlyph; ++c) {
            if (row[c] != qRgb(0, 0, 0))
                continue; // only exactly black counts as a lit dot
            const int64_t px = x + 2 * (look.transposed ? r : c);
            const int64_t py = y + 2 * (look.transposed ? c : r);
            if (px < bounds.left() || px > bounds.right() || py < bounds.top() || py > bounds.bottom())
                continue;
            reinterpret_cast<QRgb *>(m_strip.scanLine(int(py)))[px] = dot;
        }
    }
}

void ChimeiCtl_A::renderWork(const QString &text, QPoint offset, int face)
{
    if (text.isEmpty())
        return;
    QPainter p(&m_work);
    p.setFont(m_faces[face]);
    p.setPen(Qt::black);
    const QPoint baseline(offset.x(), offset.y() + m_ascent[face]);
    p.drawText(baseline, text);
    // The Japanese faces have no bold cut, and synthetic emboldening fills
    // the counters of a 16-pixel kanji. The same glyph one dot to the right
    // keeps every stroke apart.
    if (m_fontBold)
        p.drawText(baseline + QPoint(1, 0), text);
}

void ChimeiCtl_A::clearStrip(int height)
{
    if (m_strip.height() != height || m_strip.isNull())
        m_strip = QImage(chimei::kStripWidth, height, QImage::Format_RGB32);
    m_strip.fill(platform::fromOle(m_backColor));
}

void ChimeiCtl_A::compose()
{
    const qreal ratio = devicePixelRatioF();
    const QSize device = (QSizeF(size()) * ratio).toSize();
    if (m_surface.size() != device || m_surface.devicePixelRatio() != ratio) {
        m_surface = QImage(device, QImage::Format_ARGB32_Premultiplied);
        m_surface.setDevicePixelRatio(ratio);
    }
    if (m_surface.isNull())
        return;
    m_surface.fill(Qt::transparent);
    QPainter p(&m_surface);
    const QRect f = frameRect();
    p.fillRect(f, platform::fromOle(m_backColor));
    if (m_appearance != 0) {
        // Sunken edge: shadow above and left, light below and right, two deep.
        const auto edge = [&p](QRect r, QColor topLeft, QColor bottomRight) {
            p.fillRect(r.left(), r.top(), r.width() - 1, 1, topLeft);
            p.fillRect(r.left(), r.top(), 1, r.height() - 1, topLeft);
            p.fillRect(r.left(), r.bottom(), r.width(), 1, bottomRight);
            p.fillRect(r.right(), r.top(), 1, r.height(), bottomRight);
        };
        edge(f, QColor(160, 160, 160), QColor(255, 255, 255));
        edge(f.adjusted(1, 1, -1, -1), QColor(105, 105, 105), QColor(227, 227, 227));
    } else {
        p.setPen(Qt::black);
        p.drawRect(f.adjusted(0, 0, -1, -1));
    }
    const QRect inner = innerRect();
    p.setClipRect(inner);
    if (ratio == 1)
        p.drawImage(inner.topLeft() + QPoint(0, m_top), m_strip);
    p.end();
    if (ratio != 1)
        drawDots(inner, ratio);
    ++m_compositions;
    update();
}

// On a scaled screen each dot of the strip is a square block of whole
// screen pixels, all of one size and on a steady pitch; an enlarged image
// would smear them (or at 150 % make every other one thinner).
void ChimeiCtl_A::drawDots(const QRect &inner, qreal ratio)
{
    const int block = std::max(1, int(std::lround(ratio)));
    const QRgb back = platform::fromOle(m_backColor).rgb();
    const QRect device(QPoint(int(std::lround(inner.left() * ratio)), int(std::lround(inner.top() * ratio))),
                       QPoint(int(std::lround((inner.right() + 1) * ratio)) - 1,
                              int(std::lround((inner.bottom() + 1) * ratio)) - 1));
    const QRect clip = device & m_surface.rect();
    const int rowFirst = std::max(0, -m_top), rowLast = std::min(m_strip.height(), inner.height() - m_top);
    const int colLast = std::min(m_strip.width(), inner.width());
    for (int sy = rowFirst; sy < rowLast; ++sy) {
        const auto *row = reinterpret_cast<const QRgb *>(m_strip.constScanLine(sy));
        const int y0 = int(std::lround((inner.top() + m_top + sy) * ratio));
        for (int sx = 0; sx < colLast; ++sx) {
            if (row[sx] == back)
                continue;
            const int x0 = int(std::lround((inner.left() + sx) * ratio));
            const QRect dot = QRect(x0, y0, block, block) & clip;
            for (int y = dot.top(); y <= dot.bottom(); ++y) {
                auto *out = reinterpret_cast<QRgb *>(m_surface.scanLine(y));
                std::fill(out + dot.left(), out + dot.right() + 1, row[sx]);
            }
        }
    }
}

void ChimeiCtl_A::startScroll()
{
    m_stopScroll = false;
    m_top = 0;
    m_travel = 0;
    m_phase = Phase::Waiting;
    m_firstWait = true;
    const int64_t now = m_clock();
    m_waitEnd = now + std::max<int32_t>(m_scrollStartWait, 0);
    schedule(now);
}

void ChimeiCtl_A::endScroll()
{
    m_timer.stop();
    m_phase = Phase::Idle;
    m_travel = 0;
    m_top = 0;
}

// One pass per millisecond of the clock: each moves the strip up by Speed/200
// pixels. A run ends when the strip has left the frame and travelled one more
// frame height; it then rests at the top for ScrollStartWait before the next.
void ChimeiCtl_A::advanceTo(int64_t now)
{
    if (m_phase == Phase::Idle)
        return;
    const int oldTop = m_top;
    bool speedRaised = false;
    for (;;) {
        if (m_phase == Phase::Waiting) {
            if (now < m_waitEnd)
                break;
            m_phase = Phase::Moving;
            m_lastPass = m_waitEnd;
            m_travel = 0;
            if (m_firstWait) {
                m_firstWait = false;
                // A scroll that never moves would never come back to the top;
                // negative speeds are raised with 0 for the same reason.
                if (m_speed <= 0) {
                    m_speed = 1;
                    speedRaised = true;
                }
            }
        }
        const int64_t due = now - m_lastPass;
        const int64_t step = std::max<int16_t>(m_speed, 0);
        if (due <= 0)
            break;
        if (step == 0) {
            m_lastPass = now;
            break;
        }
        const int64_t endTravel = kSubPixels * (int64_t(m_strip.height()) + m_frameSize.height());
        const int64_t toEnd = std::max<int64_t>(ceilDiv(endTravel - m_travel, step), 1);
        if (toEnd <= due) {
            m_top = 0;
            m_travel = 0;
            m_phase = Phase::Waiting;
            m_waitEnd = m_lastPass + toEnd + std::max<int32_t>(m_scrollStartWait, 0);
            continue;
        }
        m_travel += due * step;
        m_lastPass = now;
        m_top = int(-(m_travel / kSubPixels));
        break;
    }
    if (m_top != oldTop)
        compose();
    schedule(now);
    if (speedRaised)
        recordChange("Speed");
}

void ChimeiCtl_A::schedule(int64_t now)
{
    if (m_phase == Phase::Idle) {
        m_timer.stop();
        return;
    }
    int64_t wait = 0;
    if (m_phase == Phase::Waiting) {
        wait = m_waitEnd - now;
    } else if (m_speed <= 0) {
        wait = kStillPollMs;
    } else {
        // Wake exactly when the top reaches its next whole pixel.
        const int64_t step = m_speed;
        const int64_t toPixel = ceilDiv(kSubPixels - m_travel % kSubPixels, step) - (now - m_lastPass);
        wait = ceilDiv(kSubPixels, step) >= kFrameMs ? toPixel : kFrameMs;
    }
    m_timer.start(int(std::clamp<int64_t>(wait, 0, INT_MAX)));
}
