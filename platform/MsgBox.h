#pragma once
// Every message box of the program goes through MsgBox, so tests can answer
// it without a modal window. Styles and answers keep the classic values.
#include <QString>
#include <QStringList>
#include <functional>

namespace platform {

enum MsgBoxStyle : int {
    vbOKOnly = 0, vbOKCancel = 1, vbAbortRetryIgnore = 2, vbYesNoCancel = 3, vbYesNo = 4,
    vbRetryCancel = 5,
    vbCritical = 16, vbQuestion = 32, vbExclamation = 48, vbInformation = 64,
    vbDefaultButton2 = 256, vbDefaultButton3 = 512,
};

enum MsgBoxResult : int { vbOK = 1, vbCancel = 2, vbAbort = 3, vbRetry = 4, vbIgnore = 5, vbYes = 6, vbNo = 7 };

// The application title, used by boxes that name no title of their own.
inline const QString &appTitle()
{
    static const QString t = QStringLiteral("ソラトビVer4");
    return t;
}

struct MsgBoxRequest {
    QString prompt;
    int buttons = vbOKOnly;
    QString title;
};

using MsgBoxHandler = std::function<int(const MsgBoxRequest &)>;

// An empty handler restores the real box.
void setMsgBoxHandler(MsgBoxHandler handler);
int MsgBox(const QString &prompt, int buttons = vbOKOnly, const QString &title = {});

// While a watch lives, the prompt of every box shown (real or answered by
// the handler) is noted in it too: a caller outside the windows learns that
// the handler it ran ended in a message. Watches may nest.
class MsgBoxWatch {
public:
    MsgBoxWatch();
    ~MsgBoxWatch();
    MsgBoxWatch(const MsgBoxWatch &) = delete;
    MsgBoxWatch &operator=(const MsgBoxWatch &) = delete;
    const QStringList &prompts() const { return m_prompts; }

private:
    friend int MsgBox(const QString &, int, const QString &);
    QStringList m_prompts;
    MsgBoxWatch *m_outer;
};

} // namespace platform
