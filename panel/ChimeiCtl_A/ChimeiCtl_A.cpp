#include "panel/ChimeiCtl_A/ChimeiCtl_A.h"

#include "core/Cp932.h"
#include "core/KXP4Res.h"
#include "panel/ChimeiCtl_A/ChimeiLayout.h"
#include "platform/EventGuard.h"
#include "platform/Fonts.h"
#include "platform/Units.h"

#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>
#include <cstring>
#include <vector>

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
// Sampled glyphs kept; past this the cache starts afresh (a name uses a few dozen).
constexpr qsizetype kMaxGlyphs = 4096;
// The widened rows a view of the enlarged board keeps (a long name at x5 is a few MB).
constexpr int64_t kMaxWideBytes = 32 << 20;

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
    const QRect cell = drawUnit(x, y, cp932::encode(unit));
    // Only the unit's cell of the strip changed. On a screen of scale 1 the
    // picture is one image pixel to one strip pixel, so that cell alone is
    // copied into it; elsewhere the dots are laid out anew.
    if (devicePixelRatioF() != 1 || m_surface.devicePixelRatio() != 1 || m_surface.size() != size()) {
        compose();
        return;
    }
    const QRect inner = innerRect();
    const QRect shown = cell.translated(inner.topLeft() + QPoint(0, m_top)) & inner;
    if (!shown.isEmpty()) {
        copyStrip(inner, cell);
        update(shown);
        emit pictureChanged(shown);
    }
    ++m_compositions;
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
    // Opaque throughout: copied, not blended.
    if (testAttribute(Qt::WA_OpaquePaintEvent))
        p.setCompositionMode(QPainter::CompositionMode_Source);
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

QRect ChimeiCtl_A::drawUnit(int64_t x, int64_t y, const QByteArray &unit)
{
    if (unit.isEmpty())
        return {};
    const Glyph &glyph = glyphFor(unit);
    const QRgb dot = platform::fromOle(m_foreColor).rgb();
    const QRect bounds = m_strip.rect();
    const bool transposed = glyph.transposed;
    for (int r = 0; r < kGlyph; ++r) {
        for (unsigned bits = glyph.rows[size_t(r)]; bits != 0; bits &= bits - 1) {
            const int c = std::countr_zero(bits);
            const int64_t px = x + 2 * (transposed ? r : c);
            const int64_t py = y + 2 * (transposed ? c : r);
            if (px < bounds.left() || px > bounds.right() || py < bounds.top() || py > bounds.bottom())
                continue;
            reinterpret_cast<QRgb *>(m_strip.scanLine(int(py)))[px] = dot;
        }
    }
    ++m_stripGeneration;
    // The unit's cell, as far as it lies on the strip.
    const int64_t left = std::clamp<int64_t>(x, bounds.left(), bounds.right() + 1);
    const int64_t top = std::clamp<int64_t>(y, bounds.top(), bounds.bottom() + 1);
    const int64_t right = std::clamp<int64_t>(x + 2 * kGlyph, bounds.left(), bounds.right() + 1);
    const int64_t bottom = std::clamp<int64_t>(y + 2 * kGlyph, bounds.top(), bounds.bottom() + 1);
    return QRect(QPoint(int(left), int(top)), QPoint(int(right) - 1, int(bottom) - 1));
}

// The unit is printed on the work surface and sampled once per font mode and
// weight; later names take the dots from here.
const ChimeiCtl_A::Glyph &ChimeiCtl_A::glyphFor(const QByteArray &unit)
{
    const unsigned long long fonts = platform::fontGeneration();
    if (fonts != m_glyphFonts || m_glyphs.size() >= kMaxGlyphs) {
        m_glyphs.clear();
        m_glyphFonts = fonts;
    }
    QByteArray key = unit;
    key.append(char(m_fontMode & 0xff)).append(char((m_fontMode >> 8) & 0xff)).append(m_fontBold ? '\1' : '\0');
    const auto found = m_glyphs.constFind(key);
    if (found != m_glyphs.constEnd())
        return *found;

    m_work.fill(Qt::white);
    const chimei::UnitLook look = chimei::lookFor(unit, m_fontMode);
    renderWork(chimei::printableText(look.printed), look.offset,
               faceIndex(chimei::faceFor(look.printed, m_fontMode)));
    Glyph glyph;
    glyph.transposed = look.transposed;
    for (int r = 0; r < kGlyph; ++r) {
        const auto *row = reinterpret_cast<const QRgb *>(m_work.constScanLine(r));
        for (int c = 0; c < kGlyph; ++c)
            if (row[c] == qRgb(0, 0, 0)) // only exactly black counts as a lit dot
                glyph.rows[size_t(r)] |= uint16_t(1u << c);
    }
    return *m_glyphs.insert(key, glyph);
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
    ++m_stripGeneration;
}

void ChimeiCtl_A::drawInnerScaled(QImage &target, QPoint origin, int factor) const
{
    const QRect inner = innerRect();
    if (factor < 1 || inner.isEmpty())
        return;
    const int columns = std::min(inner.width(), m_strip.width());
    const int wide = inner.width() * factor;
    const QRgb back = platform::fromOle(m_backColor).rgb();
    // One widened row per strip row; what lies right of the strip shows the
    // frame's background. Past a bound the rows are widened as they show.
    const bool keep = int64_t(m_strip.height()) * wide * 4 <= kMaxWideBytes;
    const auto widen = [&](const QRgb *row, QRgb *out) {
        for (int x = 0; x < columns; ++x)
            std::fill(out + x * factor, out + (x + 1) * factor, row[x]);
        std::fill(out + columns * factor, out + wide, back);
    };
    if (keep && (m_wideFactor != factor || m_wideFrom != m_stripGeneration || m_wide.width() != wide ||
                 m_wide.height() != m_strip.height())) {
        m_wide = QImage(wide, m_strip.height(), QImage::Format_RGB32);
        for (int y = 0; y < m_strip.height(); ++y)
            widen(reinterpret_cast<const QRgb *>(m_strip.constScanLine(y)), reinterpret_cast<QRgb *>(m_wide.scanLine(y)));
        m_wideFactor = factor;
        m_wideFrom = m_stripGeneration;
    }
    std::vector<QRgb> scratch(keep ? 0 : size_t(wide));
    const QRect clip = QRect(origin, QSize(wide, inner.height() * factor)) & target.rect();
    for (int ty = clip.top(); ty <= clip.bottom(); ++ty) {
        const int sy = (ty - origin.y()) / factor - m_top;
        auto *out = reinterpret_cast<QRgb *>(target.scanLine(ty)) + origin.x();
        const int from = clip.left() - origin.x(), to = clip.right() + 1 - origin.x();
        if (sy < 0 || sy >= m_strip.height()) {
            std::fill(out + from, out + to, back);
            continue;
        }
        const QRgb *row;
        if (keep) {
            row = reinterpret_cast<const QRgb *>(m_wide.constScanLine(sy));
        } else {
            widen(reinterpret_cast<const QRgb *>(m_strip.constScanLine(sy)), scratch.data());
            row = scratch.data();
        }
        std::copy(row + from, row + to, out + from);
    }
}

void ChimeiCtl_A::compose(bool stripMoved)
{
    const qreal ratio = devicePixelRatioF();
    composeFrame(ratio);
    if (m_frame.isNull()) {
        m_surface = QImage();
        return;
    }
    // The picture keeps its own pixels; the frame is copied in, not shared,
    // so that putting the strip in costs no second copy.
    if (m_surface.size() != m_frame.size() || m_surface.devicePixelRatio() != ratio) {
        m_surface = QImage(m_frame.size(), m_frame.format());
        m_surface.setDevicePixelRatio(ratio);
    }
    std::memcpy(m_surface.bits(), m_frame.constBits(), size_t(m_frame.sizeInBytes()));
    const QRect inner = innerRect();
    if (ratio == 1)
        copyStrip(inner, m_strip.rect());
    else
        drawDots(inner, ratio);
    ++m_compositions;
    // A scroll step changes nothing outside the frame's inner area, and is
    // shown at once: waiting for the event loop would wake it a second time.
    if (stripMoved && ratio == 1) {
        repaint(inner);
        emit pictureChanged(inner);
    } else {
        update();
        emit pictureChanged(rect());
    }
}

// The frame and its border change only with the colour, the look and the
// size; every composition starts from a copy of it.
void ChimeiCtl_A::composeFrame(qreal ratio)
{
    const FrameLook look{m_backColor, m_appearance, m_frameSize, size(), ratio};
    if (look == m_frameLook && !m_frame.isNull())
        return;
    const QSize device = (QSizeF(size()) * ratio).toSize();
    m_frame = QImage(device, QImage::Format_ARGB32_Premultiplied);
    if (m_frame.isNull())
        return;
    m_frame.setDevicePixelRatio(ratio);
    m_frameLook = look;
    m_frame.fill(Qt::transparent);
    QPainter p(&m_frame);
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
    // A frame that covers the whole control on whole screen pixels leaves
    // nothing of the board beneath to show, so the board is not repainted
    // under each scroll step.
    setAttribute(Qt::WA_OpaquePaintEvent, f.contains(rect()) && ratio == std::floor(ratio));
}

// Copies the part `part` of the strip (strip coordinates) to where it shows
// inside the frame. The strip's pixels are opaque (0xffRRGGBB), the same
// words the composed picture holds for them, so this is what drawing it over
// the frame gives.
void ChimeiCtl_A::copyStrip(const QRect &inner, const QRect &part)
{
    const QPoint origin = inner.topLeft() + QPoint(0, m_top);
    const QRect target = part.translated(origin) & inner & m_surface.rect();
    if (target.isEmpty())
        return;
    const qsizetype inLine = m_strip.bytesPerLine(), outLine = m_surface.bytesPerLine();
    const uchar *src = m_strip.constBits() + (target.top() - origin.y()) * inLine +
                       (target.left() - origin.x()) * qsizetype(sizeof(QRgb));
    uchar *dst = m_surface.bits() + target.top() * outLine + target.left() * qsizetype(sizeof(QRgb));
    const size_t bytes = size_t(target.width()) * sizeof(QRgb);
    for (int y = target.top(); y <= target.bottom(); ++y, src += inLine, dst += outLine)
        std::memcpy(dst, src, bytes);
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
        compose(true);
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
