#include "remote/Board.h"

#include "console/frmCtl.h"
#include "core/InputHold.h"
#include "forms/Values.h"
#include "forms/Windows.h"
#include "panel/Form1.h"
#include "platform/EventGuard.h"
#include "platform/MsgBox.h"
#include "remote/BusNames.h"
#include "remote/Command.h"
#include "sound/mdlM_Tape.h"
#include "windows/PanelScreen.h"
#include "windows/PanelSize.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>

namespace remote {

namespace {

frmCtl *console() { return qobject_cast<frmCtl *>(windows::loaded(windows::Id::Console)); }
Form1 *panel() { return qobject_cast<Form1 *>(windows::loaded(windows::Id::Panel)); }

const Refusal kNotStarted{error::Unavailable, QStringLiteral("the board has not started")};
const Refusal kStarting{error::Starting, QStringLiteral("the board is starting: its windows are not up yet")};

// Whatever the body did not trap ends in the general report, as for a
// click, and the caller hears that it failed.
template<typename F>
Refusal safely(F body)
{
    Refusal r;
    if (!platform::guarded([&] { r = body(); }))
        r = {error::Failed, QStringLiteral("the console's handler ended in an error (its report was shown)")};
    return r;
}

bool speaking()
{
    speech::Engine *e = mdlM_Tape::engine();
    return e && e->Status() == speech::Engine::kSpeaking;
}

} // namespace

Refusal refusalFor(QWidget *control)
{
    if (const QWidget *box = QApplication::activeModalWidget())
        return {error::ModalOpen, QStringLiteral("a dialog box is open on the board (%1)").arg(box->windowTitle())};
    if (inputhold::held())
        return {error::InputHeld,
                QStringLiteral("the board holds input back: the lamp test is running or a sound plays to its end")};
    frmCtl *c = console();
    if (!c)
        return kNotStarted;
    if (!control || control->isEnabled())
        return {};
    if (forms::checkValue(*c->Check1) == 1)
        return {error::DisplayCleared, QStringLiteral("the display is cleared (表示消去)")};
    for (QWidget *tape : {c->cmdTapeNext, c->cmdTapeBack, c->cmdTapeStop})
        if (control == tape)
            return {error::NoAnnouncements,
                    QStringLiteral("no announcements: speech is unavailable or the route has no announcement list")};
    if (c->ride().table().loadedRows() == 0)
        return {error::NoRoute, QStringLiteral("no route is loaded")};
    return {error::Unavailable, QStringLiteral("the console's control %1 is disabled").arg(control->objectName())};
}

// The board is on the bus before the windows exist (a later start then
// hears that it is starting). Once they do, the ride tells each move when
// it is complete and the tape each change of what is spoken: nothing is polled.
Board::Board(QObject *parent) : QObject(parent) {}

Board::~Board() = default;

void Board::started()
{
    m_started = true;
    connect(&windows::frmCtl().ride(), &ride::Ride::positionChanged, this, &Board::rowChanged);
    connect(mdlM_Tape::announcements(), &mdlM_Tape::Announcements::changed, this,
            [this] { platform::guarded([this] { watchSpeech(); }); });
}

void Board::answer(const std::function<Refusal()> &body)
{
    if (m_started) {
        finish(safely(body));
        return;
    }
    // A box of the start-up waits for the user: a later start says so
    // rather than waiting for it.
    const Refusal r = refusalFor(nullptr);
    finish(r.name == error::ModalOpen ? r : kStarting);
}

QString Board::route() const
{
    const frmCtl *c = console();
    return c ? c->ride().route().RouteNo : QString();
}

int Board::row() const
{
    const frmCtl *c = console();
    return c ? c->ride().row() : 0;
}

QString Board::stopName() const
{
    const Form1 *p = panel();
    return p ? p->ChimeiCtl()->accessibleDescription() : QString();
}

QStringList Board::cells() const
{
    QStringList out;
    const Form1 *p = panel();
    for (int k = 1; k <= Form1::kCells; ++k)
        out << (p ? p->Degit(k)->shownText() : QString());
    return out;
}

void Board::finish(Refusal r)
{
    m_last = r;
    if (r && calledFromDBus())
        sendErrorReply(r.name, r.message);
}

void Board::watchSpeech()
{
    const bool now = speaking();
    const int line = mdlM_Tape::GetTapePos();
    if (m_speaking && (!now || line != m_spokenLine))
        emit announcementEnded(m_spokenLine);
    if (now && (!m_speaking || line != m_spokenLine))
        emit announcementStarted(line);
    m_speaking = now;
    m_spokenLine = line;
}

Refusal Board::doLoad(const QString &route, int section)
{
    bool digits = !route.isEmpty() && route.size() <= 5;
    for (QChar ch : route)
        digits = digits && ch >= u'0' && ch <= u'9';
    if (!digits || section < 0 || section > 999)
        return {error::InvalidArgs, QStringLiteral("a route is 1-5 digits, a section 0-999")};
    frmCtl *c = console();
    if (!c)
        return kNotStarted;
    // The input form in front is the one a user would use: InputMode names
    // the one sent behind.
    const int front = c->InputMode == 0 ? 1 : 0;
    if (Refusal r = refusalFor(c->Command1(front)))
        return r;
    const QString sectionDigits = QString::number(section);
    QString refused;
    // The input in front shows what is loaded, as it reads when entered
    // there: the lists give all five route and three section digits.
    if (front == 1) {
        c->KeyTarget = false; // as after the section's digits
        forms::setCaption(*c->Label2(0), route);
        forms::setCaption(*c->Label2(2), sectionDigits);
        refused = c->loadRoute(route, sectionDigits, frmCtl::Box::Later);
    } else {
        const QString r = route.rightJustified(5, u'0');
        const QString s = sectionDigits.rightJustified(3, u'0');
        for (int i = 0; i < 5; ++i)
            c->List2(i)->setCurrentRow(r[i].digitValue());
        for (int i = 0; i < 3; ++i)
            c->List3(i)->setCurrentRow(s[i].digitValue());
        refused = c->loadRoute(r, s, frmCtl::Box::Later);
    }
    // The caller hears at once; the box waits for the user after the reply.
    if (!refused.isEmpty())
        return {error::NotLoaded, refused.simplified()};
    return {};
}

Refusal Board::doClick(QWidget *control, const std::function<void()> &handler)
{
    if (Refusal r = refusalFor(control))
        return r;
    handler();
    return {};
}

Refusal Board::doFullScreen(int screen)
{
    if (Refusal r = refusalFor(nullptr))
        return r;
    if (!panelscreen::show(screen))
        return {error::InvalidArgs,
                QStringLiteral("no screen %1 (counted from 1): the system lists %2").arg(qint64(screen) + 1).arg(QGuiApplication::screens().size())};
    return {};
}

Refusal Board::doRaise()
{
    // Over a box the board's windows would hide the box that holds them.
    if (Refusal r = refusalFor(nullptr))
        return r;
    QList<QWidget *> windows;
    if (frmCtl *c = console())
        windows << c;
    if (QWidget *v = panelscreen::view())
        windows << v;
    else if (QWidget *big = panelsize::view())
        windows << big;
    else if (Form1 *p = panel())
        windows << p;
    for (QWidget *w : windows) {
        if (w->isMinimized())
            w->setWindowState(w->windowState() & ~Qt::WindowMinimized);
        w->show();
        w->raise();
        w->activateWindow();
    }
    return {};
}

// Each slot: the console's control, then its handler.
void Board::load(const QString &route, int section)
{
    answer([&] { return doLoad(route, section); });
}

#define S4_CLICK(control, call)                                                                                        \
    answer([&] {                                                                                                       \
        frmCtl *c = console();                                                                                         \
        return c ? doClick(c->control, [c] { c->call; }) : kNotStarted;                                                \
    })

void Board::step() { S4_CLICK(Command2(1), Command2_Click(1)); }
void Board::back() { S4_CLICK(Command2(0), Command2_Click(0)); }
void Board::say() { S4_CLICK(cmdTapeNext, cmdTapeNext_Click()); }
void Board::sayBack() { S4_CLICK(cmdTapeBack, cmdTapeBack_Click()); }
void Board::stopSpeech() { S4_CLICK(cmdTapeStop, cmdTapeStop_Click()); }

// Setting a check box or an option button runs its change handler.
#undef S4_CLICK

void Board::clearDisplay(bool on)
{
    answer([&] {
        frmCtl *c = console();
        return c ? doClick(c->Check1, [c, on] { forms::setCheckValue(*c->Check1, on ? 1 : 0); }) : kNotStarted;
    });
}

void Board::lateNight(bool on)
{
    answer([&] {
        frmCtl *c = console();
        return c ? doClick(c->Check2, [c, on] { forms::setCheckValue(*c->Check2, on ? 1 : 0); }) : kNotStarted;
    });
}

void Board::backlight(int state)
{
    answer([&]() -> Refusal {
        if (state < 0 || state > 2)
            return {error::InvalidArgs, QStringLiteral("the backlight is 0 (OFF), 1 (ON1) or 2 (ON2)")};
        frmCtl *c = console();
        return c ? doClick(c->Option4(state), [c, state] { c->Option4(state)->setChecked(true); }) : kNotStarted;
    });
}

void Board::fullScreen(int screen)
{
    answer([&] { return doFullScreen(screen); });
}

void Board::restore()
{
    answer([] {
        if (Refusal r = refusalFor(nullptr))
            return r;
        panelscreen::restore();
        return Refusal{};
    });
}

void Board::raise()
{
    answer([this] { return doRaise(); });
}

void Board::size(int factor)
{
    answer([factor]() -> Refusal {
        if (Refusal r = refusalFor(nullptr))
            return r;
        if (!panelsize::set(factor))
            return {error::InvalidArgs, QStringLiteral("the panel's size is 1, 2 or %1 (times its own window)").arg(panelsize::kLargest)};
        return {};
    });
}

Refusal Board::run(const Command &c)
{
    const auto arg = [&c](int i) { return c.args.value(i); };
    if (c.method == u"load")
        load(arg(0).toString(), arg(1).toInt());
    else if (c.method == u"step")
        step();
    else if (c.method == u"back")
        back();
    else if (c.method == u"say")
        say();
    else if (c.method == u"sayBack")
        sayBack();
    else if (c.method == u"stopSpeech")
        stopSpeech();
    else if (c.method == u"clearDisplay")
        clearDisplay(arg(0).toBool());
    else if (c.method == u"lateNight")
        lateNight(arg(0).toBool());
    else if (c.method == u"backlight")
        backlight(arg(0).toInt());
    else if (c.method == u"fullScreen")
        fullScreen(arg(0).toInt());
    else if (c.method == u"restore")
        restore();
    else if (c.method == u"raise")
        raise();
    else if (c.method == u"size")
        size(arg(0).toInt());
    else
        m_last = {};
    return m_last;
}

} // namespace remote
