#include "tests/Fixture.h"

#include "assets/AssetFonts.h"
#include "console/frmCtl.h"
#include "core/KXP4Res.h"
#include "forms/Windows.h"
#include "platform/Fonts.h"
#include "platform/Shell.h"
#include "settings/mdlIniIo.h"
#include "sound/mdlM_Tape.h"
#include "sound/mdlSndAPI.h"
#include "windows/mdl427_000.h"

#include <QFileInfo>
#include <QStandardPaths>

namespace fixture {

void registerFonts()
{
    static const bool done = [] {
        QStandardPaths::setTestModeEnabled(true);
        platform::installFontSubstitutions();
        return assets::registerDigitFonts();
    }();
    if (!done)
        qFatal("the digit faces did not load");
}

Windows::Windows()
{
    if (!m_dir.isValid())
        qFatal("no temporary folder for the fixture");
    registerFonts();
    // No sound device is opened by a test that plays for real.
    if (qEnvironmentVariableIsEmpty("SDL_AUDIODRIVER"))
        qputenv("SDL_AUDIODRIVER", "dummy");
    mdlIniIo::setSettingsPath(settingsPath());
    frmCtl::lampTestMs = 0;
}

Windows::~Windows() { end(); }

void Windows::begin()
{
    if (m_open)
        end();
    m_open = true;
    QFile::remove(settingsPath());
    mdlIniIo::setSettingsPath(settingsPath());
    boxes.clear();
    mci.clear();
    answer = platform::vbOK;
    installRecorders();
}

void Windows::installRecorders()
{
    platform::setMsgBoxHandler([this](const platform::MsgBoxRequest &r) {
        boxes << r.prompt;
        return answer;
    });
    mdlSndAPI::setMciSender([this](const QString &c) {
        mci << c;
        return 0;
    });
}

void Windows::end()
{
    m_open = false;
    // The seams first: a case's own handler may hold its locals, which are
    // gone by now, and the windows' teardown must not reach them.
    mdlSndAPI::setMciSender({});
    // A box that would still come is answered, never shown.
    platform::setMsgBoxHandler([](const platform::MsgBoxRequest &) { return int(platform::vbOK); });
    mdlIniIo::setSettingsPath(settingsPath());
    mdlIniIo::setWriter({});
    mdlIniIo::setCommitHook({});
    kxp4::resetSubstitutes();
    platform::setShellOpenHandler({});
    frmCtl::pictureFound = {};
    frmCtl::lampTestMs = 0;
    mdl427_000::setCaptionWriter({});
    mdlSndAPI::SndCloseAll(); // nothing plays on into the next case
    windows::unloadAll();
    mdlM_Tape::ReleaseSpeech();
    mdlM_Tape::setEngineFactory({});
}

QString Windows::file(const QString &name, const QByteArray &bytes) const
{
    const QString p = path(name);
    if (!put(p, bytes))
        qFatal("cannot write the fixture %s", qPrintable(p));
    return p;
}

QStringList Windows::played() const
{
    QStringList names;
    for (const QString &c : mci)
        if (c.startsWith(QStringLiteral("open ")))
            names << QFileInfo(c.section(u'"', 1, 1)).baseName() + (c.contains(QStringLiteral("S2 ")) ? "@S2" : "");
    return names;
}

} // namespace fixture
