#pragma once
// The operation console "集中操作盤": route input on lists or a keypad,
// stepping stop by stop, blanking the panel, the night fare, the backlight,
// the stop-name scroll settings, the ticket preview, the options and the exit.
// It owns the ride (ride/Ride.h) and is its view and controller.
#include "forms/ControlArray.h"
#include "options/ConsoleLink.h"
#include "ride/Ride.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QImage>
#include <QRegion>
#include <QScrollBar>
#include <QWidget>
#include <array>
#include <functional>

class QAction;
class QMenu;
struct IniData;

class frmCtl : public QWidget {
    Q_OBJECT
public:
    // Outer widths with the ticket preview hidden and shown.
    static constexpr int kNarrowTwips = 5385, kWideTwips = 9000;

    explicit frmCtl(QWidget *parent = nullptr);
    ~frmCtl() override;

    void Form_Load();

    // Route input, list form and keypad form, stacked in one place.
    forms::ControlArray<QFrame> Frame1{QStringLiteral("Frame1")};
    forms::ControlArray<QListWidget> List2{QStringLiteral("List2")};
    forms::ControlArray<QListWidget> List3{QStringLiteral("List3")};
    forms::ControlArray<QPushButton> Command1{QStringLiteral("Command1")};
    forms::ControlArray<QPushButton> CommandButton1{QStringLiteral("CommandButton1")};
    forms::ControlArray<QLabel> Label2{QStringLiteral("Label2")};

    forms::ControlArray<QPushButton> Command2{QStringLiteral("Command2")};
    QCheckBox *Check1 = nullptr; // 表示消去
    QGroupBox *Frame6 = nullptr;
    QCheckBox *Check2 = nullptr; // 深夜料金
    QGroupBox *Frame2 = nullptr;
    forms::ControlArray<QRadioButton> Option4{QStringLiteral("Option4")};
    forms::ControlArray<QScrollBar> HScroll1{QStringLiteral("HScroll1")};
    forms::ControlArray<QLabel> Label1{QStringLiteral("Label1")};
    forms::ControlArray<QLabel> Label3{QStringLiteral("Label3")};
    QGroupBox *grpM_Tape = nullptr;
    QPushButton *cmdTapeSet = nullptr, *cmdTapeBack = nullptr, *cmdTapeNext = nullptr, *cmdTapeStop = nullptr;
    QPushButton *Check4 = nullptr; // ">>": a toggle for the ticket preview part of the window
    QLabel *Label4 = nullptr;
    QLabel *picSeirikenPrev = nullptr;
    QComboBox *Combo1 = nullptr; // the plug-in's companies
    QPushButton *Command4 = nullptr; // 設定...
    QPushButton *Command8 = nullptr; // ﾊﾞｰｼﾞｮﾝ
    QMenu *MnuHide = nullptr;
    QAction *MnuHideCopy = nullptr;

    // Console state.
    int16_t InputMode = 0;  // the input frame last sent to the back
    bool KeyTarget = false; // keypad digits go to the route (true) or the section
    bool TapeEnabled = false; // speech output is available
    std::array<QRegion, 12> KeyRegions;

    // The ride the console shows and drives: the route, where the bus
    // stands, what the board shows. The bus object and 自動送り watch it.
    ::ride::Ride &ride() { return m_ride; }
    const ::ride::Ride &ride() const { return m_ride; }
    // The console as the options dialog reaches it.
    const options::ConsoleLink &optionsLink() const { return m_link; }

    // Public operations.
    void DispData(int row);
    void GetCtrlDataInfo(IniData &d) const;
    void SetCtrlDataInfo(const IniData &d);
    void Option4_Click(int Index);

    // Event handlers.
    void Frame1_DblClick(int Index);
    void CommandButton1_Click(int Index);
    void List2_Click(int Index);
    void List3_Click(int Index);
    void Command1_Click(int Index);
    // The load behind both "リセット": the route as entered and the section's
    // digits. Answers the text of the box a failed load shows (empty when it
    // loaded); with Box::Later the box is shown once the caller has returned
    // (a caller on the bus hears at once, the user still sees the box).
    enum class Box { Now, Later };
    QString loadRoute(const QString &routeNo, const QString &section, Box box = Box::Now);
    void Command2_Click(int Index);
    void Check1_Click();
    void Check4_Click();
    void HScroll1_Change(int Index);
    void Command4_Click();
    void Command8_Click();
    void MnuHideCopy_Click();
    void cmdTapeNext_Click();
    void cmdTapeBack_Click();
    void cmdTapeSet_Click();
    void cmdTapeStop_Click();
    bool Form_QueryUnload(); // true: the program ends

    // The ticket preview's picture: the plug-in's ticket size, drawn at
    // every redisplay while the preview is in use.
    void setPreviewSize(int width, int height);
    // An entry of the console's own menu ("自動送り...", added at start-up).
    void addMenuEntry(const QString &text, std::function<void()> action);
    const QImage &previewImage() const { return m_preview; }

    // How long the lamp test after a route load lights every segment
    // (tests shorten it).
    static inline int lampTestMs = 3000;

    // The text of the about box.
    static QString aboutText();

    // The picture a backlight state shows (the panel keeps its own when
    // the file is missing); errors are numbered as the message expects.
    static QImage loadPicture(const QString &path);
    // Test seam: runs between finding a backlight picture and opening it,
    // where another program may delete or rewrite the file.
    static inline std::function<void(const QString &path)> pictureFound;

protected:
    void closeEvent(QCloseEvent *event) override;
    // The console's own menu, of the entries the windows above it added.
    void contextMenuEvent(QContextMenuEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The views of the ride: the panel and the preview, the step sound,
    // the controls that a loaded route enables.
    void showBoard(const ::ride::BoardChange &change);
    void playStepSound();
    void drawPreview(int row);
    void buildInputFrames();
    void buildControls();
    void connectHandlers();
    void setWideForm(bool wide);
    void exitSequence();
    bool m_exiting = false;
    ::ride::Ride m_ride;
    options::ConsoleLink m_link;
    QImage m_preview;
    QList<QPair<QString, std::function<void()>>> m_menuEntries;
};

namespace windows {
// The console, created hidden and loaded on first use.
::frmCtl &frmCtl();
} // namespace windows
