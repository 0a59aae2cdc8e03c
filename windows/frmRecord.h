#pragma once
// "録画...": a ride recorded to a video file by soratobi4-record, with the
// command's choices, its progress and a way to stop it. The command does the
// work in a process of its own, so the board keeps riding meanwhile; a
// cancelled or failed recording leaves no file under the chosen name.
#include "windows/RecordArgs.h"

#include <QDialog>
#include <QProcess>

class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class frmCtl;

class frmRecord : public QDialog {
    Q_OBJECT
public:
    explicit frmRecord(QWidget *parent = nullptr);
    ~frmRecord() override;

    // "録画..." in the console's menu: one window, made when first asked for.
    static void addToConsole(frmCtl &console);

    QLineEdit *txtRoute = nullptr, *txtDriveFile = nullptr, *txtOut = nullptr;
    QSpinBox *spnSection = nullptr, *spnSpeed = nullptr;
    QComboBox *cboDrive = nullptr, *cboSize = nullptr, *cboFps = nullptr;
    QPushButton *cmdStart = nullptr, *cmdCancel = nullptr, *cmdClose = nullptr;
    QProgressBar *barProgress = nullptr;
    QLabel *lblStatus = nullptr;

    recordargs::Choice choice() const;
    // Starts the command; false with the reason in the status line.
    bool start();
    void cancel();
    bool recording() const { return m_process.state() != QProcess::NotRunning; }

signals:
    void finished(bool ok);

private:
    void readProgress();
    void ended(int code, QProcess::ExitStatus status);
    void setRunning(bool on);

    QProcess m_process;
    QByteArray m_pending; // stderr not yet a whole line
    QString m_lastLine;
    bool m_cancelled = false;
};
