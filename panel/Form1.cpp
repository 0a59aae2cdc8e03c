#include "panel/Form1.h"

#include "assets/AssetFonts.h"
#include "core/ExeName.h"
#include "core/FontNames.h"
#include "core/IniData.h"
#include "core/PropertyBag.h"
#include "core/VbError.h"
#include "forms/Windows.h"
#include "platform/EventGuard.h"
#include "platform/Region.h"
#include "platform/Units.h"

#include <QCloseEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWindow>

using platform::twipsRect;

namespace {

// Twips, as the form lays its controls out.
constexpr int kColumnLeft[10] = {1935, 2781, 3627, 4473, 5319, 6165, 7005, 7860, 8715, 9570};
constexpr int kLabelTop[6] = {450, 1005, 1590, 2175, 2760, 3345};
constexpr int kDegitTop[6] = {705, 1290, 1860, 2445, 3030, 3615};
constexpr int kCellWidth = 780, kDegitHeight = 300, kLabelHeight = 240;
constexpr int kClientWidth = 10650, kClientHeight = 4260;

// Cells whose stored value is the text "1" (blanked at start-up).
bool storesOne(int index) { return index == 48 || index == 50 || index == 58 || index == 60; }

} // namespace

QRect Form1::degitRect(int index)
{
    if (index == 0)
        return twipsRect(2100, 30, kCellWidth, kDegitHeight);
    const int r = (index - 1) / 10, c = (index - 1) % 10;
    return twipsRect(kColumnLeft[c], kDegitTop[r], kCellWidth, kDegitHeight);
}

QRect Form1::labelRect(int index)
{
    if (index == 0)
        return twipsRect(1185, 45, kCellWidth, kLabelHeight);
    const int r = (index - 1) / 10, c = (index - 1) % 10;
    return twipsRect(kColumnLeft[c], kLabelTop[r], kCellWidth, kLabelHeight);
}

PropertyBag Form1::storedDegitProperties(int index)
{
    PropertyBag bag;
    if (storesOne(index))
        bag.WriteProperty(QStringLiteral("Value"), QStringLiteral("1"), QVariant::fromValue<int16_t>(0));
    return bag;
}

PropertyBag Form1::storedTimeDegitProperties(int)
{
    PropertyBag bag;
    bag.WriteProperty(QStringLiteral("Keta"), 2, 4);
    return bag;
}

Form1::Form1(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
{
    windows::adopt(windows::Id::Panel, this);
    setWindowTitle(QStringLiteral("ソラトビ - 型番:") + core::exeName());
    setFixedSize(platform::twipsToPixels(kClientWidth), platform::twipsToPixels(kClientHeight));

    m_timer1 = new QTimer(this);
    m_timer1->setInterval(1000);
    connect(m_timer1, &QTimer::timeout, this, [this] { platform::guarded([this] { Timer1_Timer(); }); });

    for (int i = 0; i < 2; ++i) {
        auto *d = new M_Degit(this);
        d->ReadProperties(storedTimeDegitProperties(i));
        d->setGeometry(twipsRect(i == 0 ? 5445 : 5850, 30, 390, 300));
        d->hide();
        TimeDegit.add(i, d);
    }

    // The stop-name strip starts with its own defaults; the panel stores none.
    m_chimei = new ChimeiCtl_A(this);
    m_chimei->setGeometry(twipsRect(480, 645, 555, 2940));
    m_chimei->setAccessibleName(QStringLiteral("ChimeiCtl"));

    QFont labelFont(fonts::labelFace());
    labelFont.setPointSizeF(12.75);
    labelFont.setBold(true);
    for (int i = 0; i <= kCells; ++i) {
        auto *d = new M_Degit(this);
        d->ReadProperties(storedDegitProperties(i));
        d->setGeometry(degitRect(i));
        Degit.add(i, d);

        auto *l = new QLabel(this);
        l->setGeometry(labelRect(i));
        l->setFont(labelFont);
        l->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        QPalette pal = l->palette();
        pal.setColor(QPalette::WindowText, QColor(0, 128, 0));
        l->setPalette(pal);
        lblSeiriNum.add(i, l, forms::Naming::ByName);

        if (i == 0) {
            d->hide();
            l->hide();
        } else {
            connect(d, &M_Degit::DblClick, this, [this, i] { platform::guarded([this, i] { Degit_DblClick(i); }); });
        }
    }

    m_imgRes[0] = QPixmap(assets::facePath());
    m_face2x = QPixmap(assets::face2xPath());
    m_face2x.setDevicePixelRatio(2);
}

Form1::~Form1() = default;

QPixmap &Form1::imgRes(int index)
{
    if (index < 0 || index >= int(m_imgRes.size()))
        vb::raise(vb::ErrSubscript);
    return m_imgRes[size_t(index)];
}

void Form1::GetFormInfo(IniData &d) const
{
    d.PanelLeft = platform::pixelsToTwips(x());
    d.PanelTop = platform::pixelsToTwips(y());
}

void Form1::SetFormInfo(const IniData &d)
{
    move(platform::twipsToPixels(d.PanelLeft), platform::twipsToPixels(d.PanelTop));
}

void Form1::showCells(const QList<ride::CellWrite> &cells)
{
    for (const ride::CellWrite &w : cells) {
        if (w.to.kind == ride::Cell::Kind::Value)
            Degit(w.cell)->setValue(w.to.value);
        else
            Degit(w.cell)->ResetDegit(w.to.kind == ride::Cell::Kind::Lit);
    }
}

void Form1::setSeiriNumColor(uint32_t colour)
{
    const QColor c = platform::fromOle(colour);
    const QBrush brush(c);
    for (int k = 1; k <= kCells; ++k) {
        QLabel *l = lblSeiriNum(k);
        // Options and backlight apply the colour again and again; a label
        // that already has it set in every state is left alone.
        const QPalette &now = l->palette();
        bool same = true;
        for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
            same = same && now.isBrushSet(group, QPalette::WindowText) &&
                   now.brush(group, QPalette::WindowText) == brush;
        if (same)
            continue;
        QPalette pal = now;
        pal.setColor(QPalette::WindowText, c);
        l->setPalette(pal);
    }
}

void Form1::setPicture(const QPixmap &picture)
{
    // The same picture again (each backlight switch and option apply sets
    // it) would repaint the whole board for nothing.
    if (picture.cacheKey() == m_picture.cacheKey())
        return;
    m_picture = picture;
    update();
}

void Form1::setRoundRegion()
{
    setMask(platform::roundRectRegion(0, 0, width(), height(), 12, 12));
}

void Form1::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    // A picture smaller than the board leaves the window's own face colour.
    p.fillRect(rect(), palette().color(QPalette::Window));
    // On a scaled screen the built-in face comes from its larger drawing,
    // chosen at each paint so a move to another screen needs nothing more.
    const qreal ratio = devicePixelRatioF();
    if (ratio > 1 && !m_face2x.isNull() && m_picture.cacheKey() == m_imgRes[0].cacheKey()) {
        p.setRenderHint(QPainter::SmoothPixmapTransform, ratio != 2);
        p.drawPixmap(QRectF(QPointF(0, 0), m_picture.deviceIndependentSize()), m_face2x, m_face2x.rect());
    } else if (!m_picture.isNull()) {
        p.drawPixmap(0, 0, m_picture);
    }
}

void Form1::closeEvent(QCloseEvent *event)
{
    // The board goes only with the program, and the program ends only from
    // the console: a close from the window manager asks the console's exit
    // question, never leaves the board hidden behind a running program.
    event->ignore();
    if (QWidget *console = windows::loaded(windows::Id::Console))
        platform::guarded([console] { console->close(); });
}

void Form1::mousePressEvent(QMouseEvent *event)
{
    // Only the board itself is a handle; presses on the cells, the labels and
    // the stop-name strip belong to them.
    if (event->button() != Qt::LeftButton || childAt(event->position().toPoint())) {
        event->ignore();
        return;
    }
    event->accept();
    QWindow *w = windowHandle();
    if (w && w->startSystemMove())
        return;
    // No window manager to run the move loop: follow the mouse ourselves.
    m_dragging = true;
    m_dragOffset = event->globalPosition().toPoint() - pos();
}

void Form1::mouseMoveEvent(QMouseEvent *event)
{
    if (m_dragging && (event->buttons() & Qt::LeftButton))
        move(event->globalPosition().toPoint() - m_dragOffset);
}

void Form1::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_dragging = false;
}

void Form1::Degit_DblClick(int Index)
{
    M_Degit *cell = Degit(Index);
    if (!cell->UserSet())
        return;
    // The console takes no input while the dialog is open, and gets it back
    // whatever happens inside.
    struct ConsoleLock {
        QPointer<QWidget> console;
        explicit ConsoleLock(QWidget *c) : console(c) { if (console) console->setEnabled(false); }
        ~ConsoleLock() { if (console) console->setEnabled(true); }
    } lock(windows::loaded(windows::Id::Console));

    if (cell->ShowSetDlg() != 1)
        return;
    const int16_t zeroMode = cell->ZeroMode(), shift = cell->Shift(), fillZero = cell->FillZero();
    for (int i = 1; i <= kCells; ++i) {
        M_Degit *d = Degit(i);
        const QVariant value = d->Value();
        d->setShift(shift);
        d->setFillZero(fillZero);
        d->setZeroMode(zeroMode);
        d->setValue(value);
    }
}

void Form1::Timer1_Timer()
{
    Timer1_Tick(QTime::currentTime());
}

void Form1::Timer1_Tick(const QTime &now)
{
    const QString text = now.toString(QStringLiteral("hh:mm:ss"));
    TimeDegit(0)->setValue(text.mid(0, 2).toDouble());
    TimeDegit(1)->setValue(text.mid(3, 2).toDouble());
}
