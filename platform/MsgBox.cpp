#include "platform/MsgBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace platform {

namespace {

MsgBoxHandler &handler()
{
    static MsgBoxHandler h;
    return h;
}

int showReal(const MsgBoxRequest &r)
{
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(r.title);
    box.setText(r.prompt);
    switch (r.buttons & 0x70) {
    case vbCritical: box.setIcon(QMessageBox::Critical); break;
    case vbQuestion: box.setIcon(QMessageBox::Question); break;
    case vbExclamation: box.setIcon(QMessageBox::Warning); break;
    case vbInformation: box.setIcon(QMessageBox::Information); break;
    default: break;
    }
    struct B { QMessageBox::StandardButton qt; int vb; const char *label; };
    std::vector<B> buttons;
    switch (r.buttons & 0x0F) {
    case vbOKCancel: buttons = {{QMessageBox::Ok, vbOK, "OK"}, {QMessageBox::Cancel, vbCancel, "キャンセル"}}; break;
    case vbAbortRetryIgnore:
        buttons = {{QMessageBox::Abort, vbAbort, "中止(&A)"}, {QMessageBox::Retry, vbRetry, "再試行(&R)"},
                   {QMessageBox::Ignore, vbIgnore, "無視(&I)"}};
        break;
    case vbYesNoCancel:
        buttons = {{QMessageBox::Yes, vbYes, "はい(&Y)"}, {QMessageBox::No, vbNo, "いいえ(&N)"},
                   {QMessageBox::Cancel, vbCancel, "キャンセル"}};
        break;
    case vbYesNo: buttons = {{QMessageBox::Yes, vbYes, "はい(&Y)"}, {QMessageBox::No, vbNo, "いいえ(&N)"}}; break;
    case vbRetryCancel: buttons = {{QMessageBox::Retry, vbRetry, "再試行(&R)"}, {QMessageBox::Cancel, vbCancel, "キャンセル"}}; break;
    default: buttons = {{QMessageBox::Ok, vbOK, "OK"}}; break;
    }
    const int defIndex = (r.buttons & vbDefaultButton3) ? 2 : (r.buttons & vbDefaultButton2) ? 1 : 0;
    for (size_t i = 0; i < buttons.size(); ++i) {
        QPushButton *b = box.addButton(buttons[i].qt);
        b->setText(QString::fromUtf8(buttons[i].label));
        if (static_cast<int>(i) == defIndex)
            box.setDefaultButton(b);
    }
    box.exec();
    const auto clicked = box.standardButton(box.clickedButton());
    for (const B &b : buttons)
        if (b.qt == clicked)
            return b.vb;
    // Closed with Escape or the close box: the cancelling answer.
    return buttons.size() == 1 ? vbOK : buttons.back().vb;
}

MsgBoxWatch *g_watch = nullptr;

} // namespace

MsgBoxWatch::MsgBoxWatch() : m_outer(g_watch) { g_watch = this; }

MsgBoxWatch::~MsgBoxWatch() { g_watch = m_outer; }

void setMsgBoxHandler(MsgBoxHandler h) { handler() = std::move(h); }

int MsgBox(const QString &prompt, int buttons, const QString &title)
{
    MsgBoxRequest r{prompt, buttons, title.isEmpty() ? appTitle() : title};
    for (MsgBoxWatch *w = g_watch; w; w = w->m_outer)
        w->m_prompts << prompt;
    if (handler())
        return handler()(r);
    return showReal(r);
}

} // namespace platform
