#include "panel/M_Degit/M_Degit.h"

#include "core/KXP4Res.h"
#include "panel/M_Degit/DegitText.h"
#include "platform/Fonts.h"
#include "platform/OsVersion.h"
#include "platform/Units.h"

#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>
#include <cmath>
#include <map>
#include <tuple>

using platform::fromOle;

namespace {

constexpr uint32_t kDefaultBase = 9868950;   // rgb(150, 150, 150)
constexpr uint32_t kDefaultFore = 7525112;   // rgb(248, 210, 114)
constexpr uint32_t kDefaultBack = 8421504;   // rgb(128, 128, 128)
constexpr int16_t kDefaultKeta = 4;

struct SizeClass {
    int widthTwips, heightTwips, points;
};

SizeClass sizeClass(int degitSize)
{
    switch (degitSize) {
    case 1: return {255, 390, 24};
    case 2: return {285, 435, 27};
    case 3: return {165, 225, 14};
    default: return {195, 300, 18};
    }
}

// Points at the usual 96 dots per inch: the cells are laid out in pixels, so
// the digits must not follow a screen's own DPI setting.
int pointsToPixels(int points) { return int(std::lround(points * 96.0 / 72.0)); }

int styleIndex(int degitStyle) { return degitStyle == 1 || degitStyle == 2 ? degitStyle : 0; }

struct DigitFace {
    QFont font;
    double advance8 = 0; // width of an "8"
    double ascent = 0;
};

// One face per typeface, size, weight and spacing, shared by every cell: a
// new QFont per drawing would look its engine up again each time.
const DigitFace &digitFace(int degitStyle, int points, bool bold, int spacing)
{
    static std::map<std::tuple<int, int, bool, int>, DigitFace> faces;
    static unsigned long long builtFor = 0;
    if (builtFor != platform::fontGeneration()) {
        faces.clear();
        builtFor = platform::fontGeneration();
    }
    const auto key = std::make_tuple(styleIndex(degitStyle), points, bold, spacing);
    auto it = faces.find(key);
    if (it != faces.end())
        return it->second;
    DigitFace f;
    f.font = QFont(M_Degit::fontFamily(degitStyle));
    f.font.setPixelSize(pointsToPixels(points));
    f.font.setBold(bold);
    f.font.setLetterSpacing(QFont::AbsoluteSpacing, spacing);
    f.font.setHintingPreference(QFont::PreferNoHinting);
    f.font.setKerning(false);
    const QFontMetricsF fm(f.font);
    f.advance8 = fm.horizontalAdvance(QLatin1Char('8'));
    f.ascent = fm.ascent();
    return faces.emplace(key, std::move(f)).first->second;
}

} // namespace

M_Degit::M_Degit(QWidget *parent)
    : QWidget(parent), m_backColor(kDefaultBack)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    // Fields start at zero; the spacing and weight follow the system version:
    // the old 9x family and NT 4 space the digits by a pixel and draw them
    // regular, later systems draw them bold and tight.
    const auto os = platform::osVersion();
    const bool oldSystem = os.platformId == 1 || os.majorVersion == 4;
    m_charSpacing = oldSystem ? 1 : 0;
    m_bold = !oldSystem;
    const QSize pos = positionSize(0);
    resize(pos.width() * kDefaultKeta, pos.height());
    DrawDegit(QStringLiteral("0"), 0, 0);
}

QSize M_Degit::positionSize(int degitSize)
{
    const SizeClass c = sizeClass(degitSize);
    return {platform::twipsToPixels(c.widthTwips), platform::twipsToPixels(c.heightTwips)};
}

QString M_Degit::fontFamily(int degitStyle)
{
    switch (degitStyle) {
    case 1: return QStringLiteral("M_DegitB");
    case 2: return QStringLiteral("M_DegitC");
    default: return QStringLiteral("M_DegitA");
    }
}

void M_Degit::InitProperties()
{
    m_userSet = true;
    m_baseForeColor = kDefaultBase;
    m_degitForeColor = kDefaultFore;
    m_fillZero = 0;
    m_zeroMode = 0;
    m_shift = 0;
    m_keta = kDefaultKeta;
    m_degitSize = 0;
    m_degitStyle = 0;
    m_value = QVariant::fromValue<int16_t>(0);
    m_backColor = kDefaultBack;
    redraw();
}

void M_Degit::ReadProperties(const PropertyBag &bag)
{
    m_baseForeColor = bag.readColor(QStringLiteral("BaseForeColor"), kDefaultBase);
    m_degitForeColor = bag.readColor(QStringLiteral("DegitForeColor"), kDefaultFore);
    m_fillZero = bag.readInt16(QStringLiteral("FillZero"), 0);
    m_zeroMode = bag.readInt16(QStringLiteral("ZeroMode"), 0);
    m_shift = bag.readInt16(QStringLiteral("Shift"), 0);
    m_keta = bag.readInt16(QStringLiteral("Keta"), kDefaultKeta);
    m_degitSize = bag.readInt16(QStringLiteral("DegitSize"), 0);
    m_degitStyle = bag.readInt16(QStringLiteral("DegitStyle"), 0);
    m_value = bag.ReadProperty(QStringLiteral("Value"), QVariant::fromValue<int16_t>(0));
    m_userSet = bag.readBool(QStringLiteral("UserSet"), true);
    m_backColor = bag.readColor(QStringLiteral("BackColor"), kDefaultBack);
}

void M_Degit::WriteProperties(PropertyBag &bag) const
{
    bag.writeColor(QStringLiteral("BaseForeColor"), m_baseForeColor, kDefaultBase);
    bag.writeColor(QStringLiteral("DegitForeColor"), m_degitForeColor, kDefaultFore);
    bag.writeInt(QStringLiteral("FillZero"), m_fillZero, 0);
    bag.writeInt(QStringLiteral("ZeroMode"), m_zeroMode, 0);
    bag.writeInt(QStringLiteral("Shift"), m_shift, 0);
    bag.writeInt(QStringLiteral("Keta"), m_keta, kDefaultKeta);
    bag.writeInt(QStringLiteral("DegitSize"), m_degitSize, 0);
    bag.writeInt(QStringLiteral("DegitStyle"), m_degitStyle, 0);
    bag.WriteProperty(QStringLiteral("Value"), m_value, QVariant::fromValue<int16_t>(0));
    bag.writeBool(QStringLiteral("UserSet"), m_userSet, true);
    bag.writeColor(QStringLiteral("BackColor"), m_backColor, kDefaultBack);
}

int32_t M_Degit::ShowSetDlg()
{
    int16_t zeroMode = m_zeroMode, shift = m_shift, fillZero = m_fillZero;
    const int32_t result = kxp4::Call_dlg100(hwnd(), m_keta, zeroMode, shift, fillZero);
    // Whatever the dialog answered, its three values are taken as they are.
    m_zeroMode = zeroMode;
    m_shift = shift;
    m_fillZero = fillZero;
    redraw();
    return result;
}

void M_Degit::setBaseForeColor(uint32_t c)
{
    m_baseForeColor = c;
    recordChange("BaseForeColor");
    redraw();
}

void M_Degit::setDegitForeColor(uint32_t c)
{
    m_degitForeColor = c;
    recordChange("DegitForeColor");
    redraw();
}

void M_Degit::setFillZero(int16_t v)
{
    m_fillZero = v > m_keta ? m_keta : v;
    recordChange("FillZero");
}

void M_Degit::setZeroMode(int16_t v)
{
    m_zeroMode = v >= 4 ? 0 : v;
    recordChange("ZeroMode");
}

void M_Degit::setShift(int16_t v)
{
    if (v > m_keta - 1)
        v = int16_t(m_keta - 1);
    m_shift = v < 0 ? 0 : v;
    recordChange("Shift");
}

void M_Degit::setKeta(int16_t v)
{
    m_keta = (v < 1 || v > 15) ? kDefaultKeta : v;
    recordChange("Keta");
    resizeFromClass();
    redraw();
}

void M_Degit::setDegitSize(int16_t v)
{
    m_degitSize = (v >= 1 && v <= 3) ? v : 0;
    recordChange("DegitSize");
    resizeFromClass();
    redraw();
}

void M_Degit::setDegitStyle(int16_t v)
{
    m_degitStyle = v;
    recordChange("DegitStyle");
    redraw();
}

void M_Degit::setValue(const QVariant &v)
{
    m_value = v;
    recordChange("Value");
    redraw();
}

void M_Degit::ResetDegit(bool nMode)
{
    const int16_t shift = m_shift, zeroMode = m_zeroMode, fillZero = m_fillZero;
    setShift(0);
    setZeroMode(0);
    setFillZero(0);
    setValue(nMode ? QVariant(QString(qMax<int>(m_keta, 0), QLatin1Char('8'))) : QVariant(QString()));
    setShift(shift);
    setZeroMode(zeroMode);
    setFillZero(fillZero);
}

void M_Degit::setUserSet(bool v)
{
    m_userSet = v;
    recordChange("UserSet");
}

void M_Degit::setBackColor(uint32_t c)
{
    m_backColor = c;
    recordChange("BackColor");
    redraw();
}

void M_Degit::resizeFromClass()
{
    const QSize pos = positionSize(m_degitSize);
    resize(pos.width() * m_keta, pos.height());
}

void M_Degit::DrawDegit(const QVariant &value, uint32_t baseColor, uint32_t foreColor)
{
    const SizeClass cls = sizeClass(m_degitSize);
    const DigitFace &face = digitFace(m_degitStyle, cls.points, m_bold, m_charSpacing);
    const int keta = qMax<int>(m_keta, 0);
    m_shown = degit::shownText(value, m_zeroMode, m_fillZero, m_shift, m_keta);

    const QSize sz = size();
    // Drawn at the screen's own resolution, so the glyphs are rasterised for
    // its pixels rather than enlarged from ours.
    const qreal ratio = devicePixelRatioF();
    Look look;
    look.shown = m_shown;
    look.keta = keta;
    look.style = styleIndex(m_degitStyle);
    look.points = cls.points;
    look.spacing = m_charSpacing;
    look.bold = m_bold;
    look.back = m_backColor;
    look.base = baseColor;
    look.fore = foreColor;
    look.size = sz;
    look.ratio = ratio;
    look.fonts = platform::fontGeneration();
    // The design sets values and colours again and again; a redraw that
    // would paint what is already there keeps the surface.
    if (look == m_drawn && !m_surface.isNull())
        return;

    // The faces are drawn narrower or wider per size class so that each digit
    // position is exactly one cell position wide; the unlit "8"s and the lit
    // digits then fall on the same pixels.
    const double positionWidth = platform::twipsToPixels(cls.widthTwips);
    const double sx = face.advance8 > 0 ? positionWidth / face.advance8 : 1.0;
    const double baseline = -1 + face.ascent;
    const auto begin = [&](QPainter &p) {
        p.setRenderHint(QPainter::TextAntialiasing);
        p.setFont(face.font);
        p.scale(sx, 1.0);
    };

    // The cleared surface with its row of unlit "8"s changes only with the
    // colours, face and size; each new value is drawn over a copy of it.
    if (!look.sameBackground(m_drawn) || m_background.isNull()) {
        const QSize device = (QSizeF(sz) * ratio).toSize();
        m_background = QPixmap(device);
        m_background.setDevicePixelRatio(ratio);
        m_background.fill(fromOle(m_backColor));
        QPainter p(&m_background);
        begin(p);
        p.setPen(fromOle(baseColor));
        p.drawText(QPointF(0, baseline), QString(keta, QLatin1Char('8')));
    }
    m_surface = m_background;
    if (!m_shown.isEmpty()) {
        const QFontMetricsF fm(face.font);
        const double w = std::round(fm.horizontalAdvance(m_shown) * sx);
        QPainter p(&m_surface); // parts from the kept background here
        begin(p);
        p.setPen(fromOle(foreColor));
        p.drawText(QPointF((sz.width() - w) / sx, baseline), m_shown);
    }
    m_drawn = look;
    ++m_drawings;

    setAccessibleDescription(m_shown);
    update();
    emit pictureChanged();
}

void M_Degit::paintEvent(QPaintEvent *)
{
    // Moved to a screen of another scale since the last drawing.
    if (m_surface.devicePixelRatio() != devicePixelRatioF())
        redraw();
    QPainter p(this);
    p.drawPixmap(0, 0, m_surface);
}

void M_Degit::mouseDoubleClickEvent(QMouseEvent *event)
{
    event->accept();
    emit DblClick();
}
