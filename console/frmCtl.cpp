#include "console/frmCtl.h"

#include "console/Picture.h"
#include "core/ExeName.h"
#include "core/FileIo.h"
#include "core/FontNames.h"
#include "core/IniData.h"
#include "core/KXP4Res.h"
#include "core/VbError.h"
#include "core/WallClock.h"
#include "forms/Handlers.h"
#include "forms/Values.h"
#include "forms/Windows.h"
#include "options/OptionReads.h"
#include "options/frmOption.h"
#include "panel/Form1.h"
#include "platform/MsgBox.h"
#include "platform/Paths.h"
#include "platform/Region.h"
#include "platform/Units.h"
#include "platform/Wait.h"
#include "settings/mdlIniIo.h"
#include "sound/mdlM_Tape.h"
#include "sound/mdlSndAPI.h"
#include "windows/PanelScreen.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QTime>
#include <QTimer>

using platform::twipsToPixels;

namespace {

// The client area is the outer width less the dialog border (90 twips).
constexpr int kBorderTwips = 90;
constexpr int kInputHeight = 178; // the lists show all ten digits
constexpr int kBelow = kInputHeight - 112; // everything under the input frames moves down by this
constexpr int kClientHeight = 312 + kBelow;
constexpr int kListHeight = kInputHeight - 44;

// Found as every other path of the options: from the executable's folder,
// whatever the folder the program was started in.
// The step sounds by a value column's 1..3.
QString stepSoundFor(int v)
{
    switch (v) {
    case 1: return options::read::stepSound1();
    case 2: return options::read::stepSound2();
    case 3: return options::read::stepSound3();
    }
    return {};
}

// A label that shows a value drawn into a sunken box.
QLabel *displayLabel(QWidget *parent, const QRect &r, Qt::Alignment align = Qt::AlignCenter)
{
    auto *l = new QLabel(parent);
    l->setGeometry(r);
    l->setFrameShape(QFrame::Panel);
    l->setFrameShadow(QFrame::Sunken);
    l->setAlignment(align);
    l->setAutoFillBackground(true);
    return l;
}

QLabel *captionLabel(QWidget *parent, const QString &text, const QRect &r, Qt::Alignment align = Qt::AlignCenter)
{
    auto *l = new QLabel(text, parent);
    l->setGeometry(r);
    l->setAlignment(align);
    return l;
}

QPushButton *pushButton(QWidget *parent, const QString &text, const QRect &r)
{
    auto *b = new QPushButton(text, parent);
    b->setGeometry(r);
    return b;
}

QListWidget *digitList(QWidget *parent, const QRect &r)
{
    auto *l = new QListWidget(parent);
    for (int d = 0; d <= 9; ++d) {
        auto *item = new QListWidgetItem(QString::number(d), l);
        item->setTextAlignment(Qt::AlignCenter);
    }
    l->setUniformItemSizes(true);
    l->setGeometry(r);
    l->setCurrentRow(-1); // the lists start with nothing selected
    // A list that gets the focus from the keyboard selects its first digit,
    // which would sound and choose a digit the user never chose.
    l->setFocusPolicy(Qt::ClickFocus);
    l->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    l->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    return l;
}

QString listDigit(const QListWidget &l)
{
    const QListWidgetItem *item = l.currentItem();
    return item && l.currentRow() >= 0 ? item->text() : QString();
}

QString dateNow() { return wallclock::now().date().toString(QStringLiteral("MM-dd-yyyy")); }

void showOk(const QString &text) { platform::MsgBox(text, platform::vbOKOnly); }

QString pictureErrorText(int number)
{
    switch (number) {
    case 7: case 28: case 51:
        return QStringLiteral("　内部的なエラーです。ぽるかね交通へ報告してください。エラー場所：frmCtl.Option4_Click()");
    case 53: case 75: case 76:
        return QStringLiteral("　画像ファイルが見つからないか、指定している場所が不正です。");
    case 57: case 68:
        return QStringLiteral("　デバイスエラーもしくは準備が出来ていません。");
    case 481:
        return QStringLiteral("　指定した画像の内容が不正です。この部分では扱えません。");
    default:
        return {};
    }
}

} // namespace

frmCtl::frmCtl(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint
                          | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint)
{
    windows::adopt(windows::Id::Console, this);
    setWindowTitle(QStringLiteral("集中操作盤"));
    QFont f(fonts::msPGothic());
    f.setPointSizeF(9);
    setFont(f);
    buildInputFrames();
    buildControls();
    setWideForm(false);
    connectHandlers();

    m_link.ride = &m_ride;
    m_link.showBacklight = [this](int state) { Option4_Click(state); };
    m_link.sizePreview = [this](int width, int height) { setPreviewSize(width, height); };
    m_link.companies = Combo1;

    m_ride.setFindFile([](const QString &path) { return platform::findFile(path); });
    m_ride.setInfoDigits([] {
        using namespace options::read;
        ride::InfoDigits info;
        if (infoStopOrderOn() == 1)
            info.stopOrderSlot = infoStopOrderKoma() + 1;
        info.stopOrderFromZero = infoStopOrderFromZero() == 1;
        if (infoSeiriNumOn() == 1)
            info.seiriNumSlot = infoSeiriNumKoma() + 1;
        if (infoKeitoNumOn() == 1)
            info.keitoNumSlot = infoKeitoNumKoma() + 1;
        if (infoColumnOn() == 1) {
            info.columnSlot = infoColumnKoma() + 1;
            info.column = infoColumnIndex() + 1;
        }
        return info;
    });
    connect(&m_ride, &ride::Ride::boardChanged, this, &frmCtl::showBoard);
    connect(&m_ride, &ride::Ride::stepped, this, &frmCtl::playStepSound);
    connect(&m_ride, &ride::Ride::steppingChanged, this, [this](bool on) {
        Command2(0)->setEnabled(on);
        Command2(1)->setEnabled(on);
        Check1->setEnabled(on);
    });
}

frmCtl::~frmCtl() = default;

::frmCtl &windows::frmCtl()
{
    return detail::load<::frmCtl>(Id::Console);
}

namespace {
// The options reach the console through its narrow side only.
const bool kLinked =
    (options::setConsoleOpener([]() -> const options::ConsoleLink & { return windows::frmCtl().optionsLink(); }), true);
} // namespace

void frmCtl::buildInputFrames()
{
    const QRect place(4, 4, 345, kInputHeight);
    for (int i = 0; i < 2; ++i) {
        auto *fr = new QFrame(this);
        fr->setGeometry(place);
        fr->setFrameShape(QFrame::StyledPanel);
        fr->setFrameShadow(QFrame::Raised);
        fr->setAutoFillBackground(true);
        fr->installEventFilter(this); // the double-click that sends it back
        Frame1.add(i, fr, forms::Naming::ByName);
    }

    // The list form: five route digits and three section digits.
    QFrame *lists = Frame1(0);
    QFont title = font();
    title.setBold(true);
    for (int i = 0; i < 2; ++i)
        captionLabel(Frame1(i), QStringLiteral("系統設定"), QRect(6, 2, 100, 18), Qt::AlignLeft | Qt::AlignVCenter)
            ->setFont(title);
    captionLabel(lists, QStringLiteral("系　統"), QRect(6, 20, 148, 18));
    captionLabel(lists, QStringLiteral("区間"), QRect(164, 20, 88, 18));
    for (int i = 0; i < 5; ++i)
        List2.add(i, digitList(lists, QRect(6 + i * 30, 38, 28, kListHeight)));
    for (int i = 0; i < 3; ++i)
        List3.add(i, digitList(lists, QRect(164 + i * 30, 38, 28, kListHeight)));
    Command1.add(0, pushButton(lists, QStringLiteral("リセット"), QRect(262, 38, 76, kListHeight)));

    // The keypad form: ten digits, "系統" and "区間" as small rounded keys.
    QFrame *keys = Frame1(1);
    // 1..5 and 系統 on the upper row, 6..9, 0 and 区間 on the lower.
    struct Key { const char *caption; int row, col; };
    static constexpr Key kKeys[12] = {{"0", 1, 4}, {"1", 0, 0}, {"2", 0, 1}, {"3", 0, 2}, {"4", 0, 3}, {"5", 0, 4},
                                      {"6", 1, 0}, {"7", 1, 1}, {"8", 1, 2}, {"9", 1, 3}, {"系統", 0, 5}, {"区間", 1, 5}};
    QFont keyFont = font();
    keyFont.setPointSizeF(8);
    for (int i = 0; i < 12; ++i) {
        const Key &k = kKeys[i];
        auto *b = pushButton(keys, QString::fromUtf8(k.caption), QRect(8 + k.col * 32, 60 + k.row * 31, 30, 27));
        b->setFont(keyFont);
        CommandButton1.add(i, b);
    }
    Label2.add(0, displayLabel(keys, QRect(206, 60, 70, 26)), forms::Naming::ByName);
    Label2.add(1, captionLabel(keys, QStringLiteral("-"), QRect(276, 60, 14, 26)), forms::Naming::ByName);
    Label2.add(2, displayLabel(keys, QRect(290, 60, 48, 26)), forms::Naming::ByName);
    QFont display = font();
    display.setPointSizeF(12);
    display.setBold(true);
    Label2(0)->setFont(display);
    Label2(2)->setFont(display);
    Command1.add(1, pushButton(keys, QStringLiteral("リセット"), QRect(206, 92, 132, 26)));

    // At start the keypad is in front: the list frame is the one behind,
    // as InputMode (0) records, so a saved start state loads as it was.
    Frame1(1)->raise();
}

void frmCtl::buildControls()
{
    Command2.add(0, pushButton(this, QStringLiteral("データ戻し"), QRect(4, 122 + kBelow, 112, 30)));
    Command2.add(1, pushButton(this, QStringLiteral("データ送り"), QRect(120, 122 + kBelow, 112, 30)));
    Check1 = new QCheckBox(QStringLiteral("表示消去"), this);
    Check1->setGeometry(242, 122 + kBelow, 107, 30);
    forms::nameControl(*Check1, QStringLiteral("Check1"));
    for (QWidget *w : {static_cast<QWidget *>(Command2(0)), static_cast<QWidget *>(Command2(1)),
                       static_cast<QWidget *>(Check1)})
        w->setEnabled(false); // until a route is loaded

    Frame6 = new QGroupBox(this);
    Frame6->setGeometry(4, 156 + kBelow, 92, 46);
    forms::nameControl(*Frame6, QStringLiteral("Frame6"));
    Check2 = new QCheckBox(QStringLiteral("深夜料金"), Frame6);
    Check2->setGeometry(8, 14, 80, 24);
    forms::nameControl(*Check2, QStringLiteral("Check2"));

    Frame2 = new QGroupBox(QStringLiteral("バックライト"), this);
    Frame2->setGeometry(100, 156 + kBelow, 249, 46);
    forms::nameControl(*Frame2, QStringLiteral("Frame2"));
    const char *const lights[3] = {"OFF", "ON1", "ON2"};
    for (int i = 0; i < 3; ++i) {
        auto *o = new QRadioButton(QString::fromLatin1(lights[i]), Frame2);
        o->setGeometry(10 + i * 80, 18, 72, 22);
        Option4.add(i, o);
    }

    const char *const scrollNames[2] = {"ｽｸﾛｰﾙ速度", "ｽｸﾛｰﾙ間隔"};
    for (int i = 0; i < 2; ++i) {
        const int y = 208 + kBelow + i * 24;
        Label3.add(i, captionLabel(this, QString::fromUtf8(scrollNames[i]), QRect(4, y, 70, 20),
                                   Qt::AlignLeft | Qt::AlignVCenter));
        auto *s = new QScrollBar(Qt::Horizontal, this);
        s->setGeometry(76, y + 1, 220, 18);
        HScroll1.add(i, s);
        Label1.add(i, displayLabel(this, QRect(300, y, 49, 20), Qt::AlignRight | Qt::AlignVCenter),
                   forms::Naming::ByName);
    }
    HScroll1(0)->setRange(1, 2000);
    HScroll1(0)->setValue(1);
    HScroll1(1)->setRange(0, 3000);
    HScroll1(1)->setValue(0);
    for (int i = 0; i < 2; ++i)
        forms::setCaption(*Label1(i), QString::number(HScroll1(i)->value()));

    grpM_Tape = new QGroupBox(QStringLiteral("音合使用不可"), this);
    grpM_Tape->setGeometry(4, 256 + kBelow, 202, 52);
    forms::nameControl(*grpM_Tape, QStringLiteral("grpM_Tape"));
    cmdTapeSet = pushButton(grpM_Tape, QStringLiteral("調整"), QRect(6, 18, 44, 28));
    cmdTapeBack = pushButton(grpM_Tape, QStringLiteral("戻し"), QRect(54, 18, 44, 28));
    cmdTapeNext = pushButton(grpM_Tape, QStringLiteral("送り"), QRect(102, 18, 44, 28));
    cmdTapeStop = pushButton(grpM_Tape, QStringLiteral("■"), QRect(150, 18, 44, 28));
    const std::pair<QPushButton *, const char *> tape[] = {
        {cmdTapeSet, "cmdTapeSet"}, {cmdTapeBack, "cmdTapeBack"}, {cmdTapeNext, "cmdTapeNext"}, {cmdTapeStop, "cmdTapeStop"}};
    for (auto [b, name] : tape) {
        forms::nameControl(*b, QString::fromLatin1(name));
        b->setEnabled(false); // until speech is available
    }

    Command4 = pushButton(this, QStringLiteral("設定..."), QRect(212, 262 + kBelow, 100, 22));
    forms::nameControl(*Command4, QStringLiteral("Command4"));
    Command8 = pushButton(this, QStringLiteral("ﾊﾞｰｼﾞｮﾝ"), QRect(212, 286 + kBelow, 100, 22));
    forms::nameControl(*Command8, QStringLiteral("Command8"));
    Check4 = pushButton(this, QStringLiteral(">>"), QRect(316, 262 + kBelow, 33, 46));
    Check4->setCheckable(true);
    forms::nameControl(*Check4, QStringLiteral("Check4"));

    // The preview part, beyond the narrow width.
    const int x = twipsToPixels(kNarrowTwips - kBorderTwips) + 6;
    Label4 = captionLabel(this, QStringLiteral("整理券プレビュー"), QRect(x, 4, 228, 18), Qt::AlignLeft | Qt::AlignVCenter);
    forms::nameControl(*Label4, QStringLiteral("Label4"));
    picSeirikenPrev = displayLabel(this, QRect(x, 24, 228, kClientHeight - 70), Qt::AlignLeft | Qt::AlignTop);
    QPalette pal = picSeirikenPrev->palette();
    pal.setColor(QPalette::Window, Qt::white);
    picSeirikenPrev->setPalette(pal);
    forms::nameControl(*picSeirikenPrev, QStringLiteral("picSeirikenPrev"), forms::Naming::ByName);
    picSeirikenPrev->installEventFilter(this);
    m_preview = QImage(picSeirikenPrev->contentsRect().size(), QImage::Format_RGB32);
    m_preview.fill(Qt::white);
    Combo1 = new QComboBox(this);
    Combo1->setGeometry(x, kClientHeight - 38, 228, 26);
    forms::nameControl(*Combo1, QStringLiteral("Combo1"));

    MnuHide = new QMenu(this);
    MnuHideCopy = MnuHide->addAction(QStringLiteral("コピー(&C)"));
    panelscreen::addMenuEntry(*MnuHide);
}

void frmCtl::connectHandlers()
{
    forms::onClick(CommandButton1, [this](int Index) { CommandButton1_Click(Index); });
    forms::onChange(List2, [this](int Index) { List2_Click(Index); });
    forms::onChange(List3, [this](int Index) { List3_Click(Index); });
    forms::onClick(Command1, [this](int Index) { Command1_Click(Index); });
    forms::onClick(Command2, [this](int Index) { Command2_Click(Index); });
    forms::onChange(Check1, [this] { Check1_Click(); });
    forms::onChange(Check2, [this] { m_ride.setNight(forms::checkValue(*Check2) == 1); });
    // The ride keeps the state the buttons show, set before the handler runs.
    for (auto [i, o] : Option4)
        connect(o.data(), &QRadioButton::toggled, this, [this, i = i](bool on) {
            if (on)
                m_ride.setBacklight(i);
            else if (m_ride.backlight() == i && !Option4(0)->isChecked() && !Option4(1)->isChecked()
                     && !Option4(2)->isChecked())
                m_ride.setBacklight(-1);
        });
    forms::onSelected(Option4, [this](int Index) { Option4_Click(Index); });
    for (auto [i, s] : HScroll1)
        connect(s.data(), &QScrollBar::valueChanged, this,
                [this, i = i] { platform::guarded([this, i] { HScroll1_Change(i); }); });
    connect(Check4, &QPushButton::toggled, this, [this] { platform::guarded([this] { Check4_Click(); }); });
    forms::onClick(Command4, [this] { Command4_Click(); });
    forms::onClick(Command8, [this] { Command8_Click(); });
    forms::onClick(cmdTapeSet, [this] { cmdTapeSet_Click(); });
    forms::onClick(cmdTapeBack, [this] { cmdTapeBack_Click(); });
    forms::onClick(cmdTapeNext, [this] { cmdTapeNext_Click(); });
    forms::onClick(cmdTapeStop, [this] { cmdTapeStop_Click(); });
    connect(MnuHideCopy, &QAction::triggered, this, [this] { platform::guarded([this] { MnuHideCopy_Click(); }); });
}

void frmCtl::Form_Load()
{
    windows::Form1().setWindowTitle(QStringLiteral("ソラトビ - 型番:") + core::exeName());
    for (int i = 0; i < 12; ++i) {
        KeyRegions[size_t(i)] = platform::roundRectRegion(2, 2, 28, 25, 2, 2);
        CommandButton1(i)->setMask(KeyRegions[size_t(i)]);
    }
    mdlM_Tape::InitSpeech();
}

void frmCtl::setWideForm(bool wide)
{
    const int outer = wide ? kWideTwips : kNarrowTwips;
    setFixedSize(twipsToPixels(outer - kBorderTwips), kClientHeight);
}

bool frmCtl::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonDblClick) {
        for (auto [i, fr] : Frame1)
            if (watched == fr) {
                platform::guarded([this, i = i] { Frame1_DblClick(i); });
                return true;
            }
    }
    if (watched == picSeirikenPrev && event->type() == QEvent::MouseButtonPress) {
        const auto *me = static_cast<QMouseEvent *>(event);
        if (me->button() == Qt::RightButton) {
            MnuHide->popup(me->globalPosition().toPoint());
            return true;
        }
    }
    // The preview has its own menu: the console's must not open over it.
    if (watched == picSeirikenPrev && event->type() == QEvent::ContextMenu)
        return true;
    return QWidget::eventFilter(watched, event);
}

void frmCtl::Frame1_DblClick(int Index)
{
    if (Index != 0 && Index != 1)
        return;
    InputMode = int16_t(Index);
    Frame1(Index)->lower();
}

void frmCtl::CommandButton1_Click(int Index)
{
    mdlSndAPI::SndPlay(options::read::soundReset(), QStringLiteral("S1"), 0, 0);
    if (Index >= 0 && Index <= 9) {
        QLabel &target = *Label2(KeyTarget ? 0 : 2);
        const int limit = KeyTarget ? 5 : 3;
        const QString shown = forms::caption(target);
        if (shown.size() < limit)
            forms::setCaption(target, shown + QString::number(Index));
    } else if (Index == 10) {
        KeyTarget = true;
        forms::setCaption(*Label2(0), QString());
    } else if (Index == 11) {
        KeyTarget = false;
        forms::setCaption(*Label2(2), QString());
    }
}

void frmCtl::List2_Click(int)
{
    mdlSndAPI::SndPlay(options::read::soundReset(), QStringLiteral("S1"), 0, 0);
}

void frmCtl::List3_Click(int)
{
    mdlSndAPI::SndPlay(options::read::soundKeitoSet(), QStringLiteral("S1"), 0, 0);
}

void frmCtl::Command1_Click(int Index)
{
    QString routeNo, section;
    if (Index == 0) {
        for (int i = 0; i < 5; ++i)
            routeNo += listDigit(*List2(i));
        for (int i = 0; i < 3; ++i)
            section += listDigit(*List3(i));
    } else {
        routeNo = forms::caption(*Label2(0));
        section = forms::caption(*Label2(2));
    }
    loadRoute(routeNo, section);
}

QString frmCtl::loadRoute(const QString &routeNo, const QString &section, Box box)
{
    const QString fareFolder = platform::withSeparator(options::read::fareDataDir());
    const QString tapeFolder = platform::withSeparator(options::read::tapeDataDir());
    const auto refuse = [this, box](const QString &text) {
        if (box == Box::Now)
            showOk(text);
        else
            QTimer::singleShot(0, this, [text] { platform::guarded([text] { showOk(text); }); });
        return text;
    };
    // The route-set sound plays before anything is checked.
    mdlSndAPI::SndPlay(options::read::soundKeitoSet(), QStringLiteral("S1"), 0, 0);

    try {
        const ride::LoadResult loaded = m_ride.load(routeNo, section, fareFolder);
        if (!loaded.ok)
            return refuse(loaded.message);
        // The announcements follow the route only once it has loaded: a
        // mistyped route leaves the one riding whole.
        mdlM_Tape::LoadTape(tapeFolder, fare::routeKey(routeNo));
        // The lamp test: every segment lit for a while, the console deaf.
        platform::paintPending();
        platform::pauseFor(lampTestMs);
        m_ride.finishLoad(options::read::seiriDateAuto() || options::read::seiriDateKeep()
                              ? dateNow()
                              : options::read::seiriFixedDate());
    } catch (...) {
        return refuse(vb::currentError().description());
    }
    return {};
}

void frmCtl::Command2_Click(int Index)
{
    m_ride.step(Index != 0);
}

// Between the step and the new stop: the sound, which may be played to its
// end before the fares change.
void frmCtl::playStepSound()
{
    const qint16 sync = options::read::stepSoundSync() ? -1 : 0;
    const QString sound = options::read::stepSoundAlways()
                              ? options::read::stepSoundPath()
                              : stepSoundFor(m_ride.currentValue(options::read::stepSoundColumn() + 1));
    if (!sound.isEmpty())
        mdlSndAPI::SndPlay(sound, QStringLiteral("S2"), sync, 0);
}

void frmCtl::DispData(int row)
{
    m_ride.show(row);
}

void frmCtl::showBoard(const ride::BoardChange &change)
{
    Form1 &panel = windows::Form1();
    panel.showCells(change.cells);
    if (change.row > 0) {
        drawPreview(change.row);
        platform::paintPending();
    }
    if (change.stopName)
        panel.ChimeiCtl()->SetChimei(m_ride.stopName());
}

void frmCtl::drawPreview(int row)
{
    using namespace options::read;
    const fare::FareRecord &r = m_ride.table().row(row);
    QString date;
    if (seiriDateAuto())
        date = dateNow();
    else if (seiriDateKeep())
        date = m_ride.route().TicketDate;
    else
        date = seiriFixedDate();

    m_preview.fill(Qt::white);
    if (useSeiriPrev() == 1) {
        QPainter p(&m_preview);
        kxp4::KX4_DrawSeiriken(seiriPlgPath(), &p, r.StopName, date,
                               wallclock::now().time().toString(QStringLiteral("hh:mm:ss")),
                               fare::routeKey(m_ride.route().RouteNo).toInt(), r.SeiriNo, int16_t(row),
                               forms::listIndex(*Combo1));
    }
    picSeirikenPrev->setPixmap(QPixmap::fromImage(m_preview));
}

void frmCtl::Check1_Click()
{
    Form1 &panel = windows::Form1();
    const bool cleared = forms::checkValue(*Check1) == 1;
    if (cleared) {
        m_ride.setCleared(true);
        panel.Timer1()->stop();
        panel.TimeDegit(0)->setValue(QString());
        panel.TimeDegit(1)->setValue(QString());
    }
    for (QWidget *w : {static_cast<QWidget *>(Frame1(0)), static_cast<QWidget *>(Frame1(1)),
                       static_cast<QWidget *>(Command2(0)), static_cast<QWidget *>(Command2(1)),
                       static_cast<QWidget *>(Frame6)})
        w->setEnabled(!cleared);
    if (cleared) {
        grpM_Tape->setEnabled(false);
        return;
    }
    if (panel.TimeDegit(0)->isVisible())
        panel.Timer1()->start();
    grpM_Tape->setEnabled(TapeEnabled);
    m_ride.setCleared(false); // the stop again
}

void frmCtl::cmdTapeNext_Click()
{
    mdlM_Tape::TapeNext();
    m_ride.announce(true, mdlM_Tape::GetTapeStep(mdlM_Tape::GetTapePos()));
}

void frmCtl::cmdTapeBack_Click()
{
    mdlM_Tape::TapeBack();
    m_ride.announce(false, mdlM_Tape::GetTapeStep(mdlM_Tape::GetTapePos()));
}

void frmCtl::cmdTapeSet_Click() { mdlM_Tape::ShowVoiceDialog(); }

void frmCtl::cmdTapeStop_Click() { mdlM_Tape::TapeStop(); }

void frmCtl::Check4_Click()
{
    const bool wide = Check4->isChecked();
    setWideForm(wide);
    Check4->setText(wide ? QStringLiteral("<<") : QStringLiteral(">>"));
    Check4->setToolTip(wide ? QStringLiteral("整理券プレビューを隠します") : QStringLiteral("整理券プレビューを開きます"));
}

void frmCtl::HScroll1_Change(int Index)
{
    forms::setCaption(*Label1(Index), QString::number(HScroll1(Index)->value()));
    ChimeiCtl_A &strip = *windows::Form1().ChimeiCtl();
    strip.setSpeed(int16_t(HScroll1(0)->value()));
    strip.setScrollStartWait(HScroll1(1)->value());
}

void frmCtl::Command4_Click()
{
    Form1 &panel = windows::Form1();
    struct Disabled {
        QPointer<QWidget> a, b;
        Disabled(QWidget *x, QWidget *y) : a(x), b(y) { a->setEnabled(false), b->setEnabled(false); }
        ~Disabled()
        {
            if (a) a->setEnabled(true);
            if (b) b->setEnabled(true);
        }
    };
    {
        Disabled both(&panel, this);
        windows::frmOption().exec();
    }
    panel.ChimeiCtl()->SetChimei(QString());
    m_ride.showStopName();
}

QString frmCtl::aboutText()
{
    const QString crlf = QStringLiteral("\r\n");
    return QStringLiteral("型番：") + core::exeName() + crlf
           + QStringLiteral("バージョン：%1.%2.%3").arg(S4_VERSION_MAJOR).arg(S4_VERSION_MINOR).arg(S4_VERSION_PATCH)
           + crlf + crlf + QStringLiteral("企画・配布：そらとび路線研究会") + crlf
           + QStringLiteral("制作：ソラトビ開発室　2019-%1").arg(QDate::currentDate().year()) + crlf;
}

void frmCtl::Command8_Click()
{
    Form1 &panel = windows::Form1();
    panel.setEnabled(false);
    struct Enable {
        QPointer<QWidget> w;
        ~Enable() { if (w) w->setEnabled(true); }
    } again{&panel};
    kxp4::Call_dlg110(this, 1, aboutText());
}

void frmCtl::MnuHideCopy_Click()
{
    QClipboard *clip = QGuiApplication::clipboard();
    clip->clear();
    clip->setImage(m_preview);
}

void frmCtl::setPreviewSize(int width, int height)
{
    // The frame around the picture is outside it.
    const int frame = 2 * picSeirikenPrev->frameWidth();
    picSeirikenPrev->resize(std::max(width, 1) + frame, std::max(height, 1) + frame);
    m_preview = QImage(std::max(width, 1), std::max(height, 1), QImage::Format_RGB32);
    m_preview.fill(Qt::white);
    picSeirikenPrev->setPixmap(QPixmap::fromImage(m_preview));
}

QImage frmCtl::loadPicture(const QString &path)
{
    // Four bytes a pixel and room for the headers: anything longer holds no picture we take.
    constexpr qint64 kMaxBytes = picture::kMaxPixels * 4 + (1 << 20);
    // A picture that is there but cannot be read (a folder, a device, a FIFO,
    // no permission) is a file access error; 481 is for bytes that are no picture.
    const fileio::Read file = fileio::readRegular(path, kMaxBytes);
    if (file.error)
        vb::raise(file.error);
    if (file.bytes.size() > kMaxBytes)
        vb::raise(vb::ErrInvalidPicture);
    return picture::decode(file.bytes);
}

void frmCtl::Option4_Click(int Index)
{
    using namespace options::read;
    Form1 &panel = windows::Form1();
    uint32_t colour = 0;
    try {
        // By backlight state: OFF, ON1, ON2.
        static constexpr uint32_t (*kColour[3])() = {seiriNumColorOff, seiriNumColorOn1, seiriNumColorOn2};
        static constexpr bool (*kUser[3])() = {panelOffUser, panelOn1User, panelOn2User};
        static constexpr QString (*kPath[3])() = {panelOffPath, panelOn1Path, panelOn2Path};
        if (Index < 0 || Index > 2)
            vb::raise(vb::ErrSubscript);
        colour = kColour[Index]();
        if (panelIndividual() && kUser[Index]()) {
            const QString path = platform::findFile(kPath[Index]());
            if (!path.isEmpty()) {
                if (pictureFound)
                    pictureFound(path);
                panel.setPicture(QPixmap::fromImage(loadPicture(path)));
            }
        } else {
            panel.setPicture(panel.imgRes(Index));
        }
    } catch (...) {
        const vb::Error e = vb::currentError();
        platform::MsgBox(QStringLiteral("エラーです。\r\n\r\nエラーコード：%1").arg(e.number()) + pictureErrorText(e.number()),
                         platform::vbCritical, QStringLiteral("エラー"));
    }
    panel.setSeiriNumColor(colour);
}

void frmCtl::GetCtrlDataInfo(IniData &d) const
{
    const QPoint p = platform::pixelsToTwips(1) * pos();
    d.CtlLeft = p.x();
    d.CtlTop = p.y();
    d.ChimeiSpeed = HScroll1(0)->value();
    d.ChimeiScrollStartWait = HScroll1(1)->value();
    d.InputMode = InputMode;
    d.SeiriPrevOpen = Check4->isChecked() ? 1 : 0;
    d.LateNightFare = forms::checkValue(*Check2);
}

void frmCtl::SetCtrlDataInfo(const IniData &d)
{
    move(twipsToPixels(d.CtlLeft), twipsToPixels(d.CtlTop));
    HScroll1(0)->setValue(d.ChimeiSpeed);
    HScroll1(1)->setValue(d.ChimeiScrollStartWait);
    InputMode = d.InputMode;
    Check4->setChecked(d.SeiriPrevOpen == 1);
    forms::setCheckValue(*Check2, d.LateNightFare);
    Frame1_DblClick(InputMode);
}

void frmCtl::closeEvent(QCloseEvent *event)
{
    if (m_exiting) {
        event->accept();
        return;
    }
    event->ignore();
    platform::guarded([this, event] {
        if (!Form_QueryUnload())
            return;
        exitSequence();
        event->accept();
    });
}

void frmCtl::addMenuEntry(const QString &text, std::function<void()> action)
{
    m_menuEntries.append({text, std::move(action)});
}

void frmCtl::contextMenuEvent(QContextMenuEvent *event)
{
    if (m_menuEntries.isEmpty())
        return;
    QMenu menu(this);
    QList<QAction *> entries;
    for (const auto &entry : std::as_const(m_menuEntries))
        entries << menu.addAction(entry.first);
    QMenu *keyList = menu.addMenu(QStringLiteral("キー操作"));
    keyList->addActions(actions()); // the keys the start-up gave the console
    const qsizetype chosen = entries.indexOf(menu.exec(event->globalPos()));
    if (chosen >= 0)
        platform::guarded([this, chosen] { m_menuEntries[chosen].second(); }); // the entry keeps its own state
}

bool frmCtl::Form_QueryUnload()
{
    return platform::MsgBox(QStringLiteral("ソラトビを終了しますか？"), platform::vbYesNo | platform::vbQuestion,
                            QStringLiteral("ソラトビの終了確認"))
           == platform::vbYes;
}

void frmCtl::exitSequence()
{
    Form1 &panel = windows::Form1();
    panel.ChimeiCtl()->SetChimei(QString());
    panel.DeleteRgn();
    for (auto [i, b] : CommandButton1)
        b->clearMask();
    KeyRegions.fill(QRegion());
    mdlSndAPI::SndCloseAll();
    mdlM_Tape::ReleaseSpeech();
    mdlIniIo::SaveIni();
    m_exiting = true;
    // Every window closes and the event loop ends; nothing is left running.
    if (QWidget *o = windows::loaded(windows::Id::Options))
        o->hide();
    panel.hide();
    hide();
    QCoreApplication::quit();
}
