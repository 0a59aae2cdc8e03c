#pragma once
// What a suite that builds the windows starts from (target s4testfixture):
// a temporary folder of its own, the settings file redirected into it, the
// fonts, and recorders in place of message boxes and sound commands.
//
//     fixture::Windows m_w;                 // a member of the test class
//     void init() { m_w.begin(); }          // each case a first run
//     void cleanup() { m_w.end(); }         // every seam back, windows gone
//
// The settings never go near the build folder: from construction on they
// are read and written in the temporary folder, also between cases. A case
// may replace any seam itself; end() puts back every one it knows of.
#include "platform/MsgBox.h"
#include "tests/FixtureCore.h"

#include <QStringList>
#include <QTemporaryDir>

namespace fixture {

// Fonts and digit faces registered once; QStandardPaths in test mode, so a
// per-user file never lands in the user's own folders.
void registerFonts();

class Windows {
public:
    Windows();
    ~Windows();
    Windows(const Windows &) = delete;
    Windows &operator=(const Windows &) = delete;

    // A first run: no settings file, nothing recorded, the recorders in
    // place. A case left open is ended first.
    void begin();
    // The windows unloaded, the speech engine released, every seam back to
    // the program's own, but for two: the settings path stays on the
    // temporary file, and a message box is still answered (a real one would
    // wait for a click that never comes).
    void end();

    QString dir() const { return m_dir.path(); }
    QString path(const QString &name) const { return m_dir.filePath(name); }
    // Writes a file into the folder (a fixture that cannot be written ends
    // the run) and answers its path.
    QString file(const QString &name, const QByteArray &bytes = "RIFF") const;
    // Where the settings are read and written unless a case says otherwise.
    QString settingsPath() const { return path(QStringLiteral("427.in4")); }

    QStringList boxes;              // every message box's prompt, in order
    int answer = platform::vbOK;    // what each box answers
    QStringList mci;                // every sound command, in order
    // The sound files opened, by base name, in order; "@S2" marks those
    // opened on channel S2.
    QStringList played() const;

private:
    void installRecorders();
    QTemporaryDir m_dir;
    bool m_open = false;
};

} // namespace fixture
