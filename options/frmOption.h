#pragma once
// The options dialog. Its controls are the one live store of every option:
// other windows read an option by asking the control that holds it. It is
// created hidden once, keeps its controls until the program ends, and has no
// cancel: however it is closed, every change stays.
#include "core/SettingsFields.h"
#include "forms/ControlArray.h"
#include "panel/M_Degit/M_Degit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <array>
#include <cstdint>

struct IniData;

class frmOption : public QDialog {
    Q_OBJECT
public:
    explicit frmOption(QWidget *parent = nullptr);
    ~frmOption() override;

    // Runs once, when the dialog is created: fills the lists and the date.
    void Form_Load();

    // Public operations.
    QString GetPathString();
    void GetBtnColor(QAbstractButton &button);
    // Applies the panel options to the panel, the console's backlight last.
    void SetProp();
    void AddComboItem();
    // The controls to and from the settings record, in the transfer's order;
    // an error ends the transfer at the failing field.
    void GetOptionInfo(IniData &d);
    void SetOptionInfo(const IniData &d);
    // Loads a ticket plug-in: its capabilities and notes here, its ticket
    // size and companies in the console. 2 when loaded, 0 when not.
    int32_t SetPlgin(QString &path);

    // The colour chooser's custom colours, updated in place by every choice.
    std::array<int32_t, 17> &CustomColors() { return m_customColors; }

    // Which page and which sound frame are in front.
    int frontPage() const { return m_frontPage; }
    int frontSoundFrame() const { return m_frontSoundFrame; }

    // Pages and "OK".
    forms::ControlArray<QPushButton> Option1{QStringLiteral("Option1")};
    forms::ControlArray<QGroupBox> Frame1{QStringLiteral("Frame1")};
    QPushButton *Command4 = nullptr;

    // Page 0: data folders.
    forms::ControlArray<QLabel> Label3{QStringLiteral("Label3")};
    forms::ControlArray<QLineEdit> Text2{QStringLiteral("Text2")};
    forms::ControlArray<QPushButton> Command3{QStringLiteral("Command3")};
    forms::ControlArray<QPushButton> Command10{QStringLiteral("Command10")};
    QPushButton *cmdImportGtfs = nullptr; // opens the import of a published feed
    QPushButton *cmdImportCsv = nullptr;  // opens the import of a route spreadsheet and its list

    // Page 1: panel and ticket numbers.
    QCheckBox *Check1 = nullptr;
    QLabel *Label15 = nullptr;
    QGroupBox *Frame4 = nullptr;
    forms::ControlArray<QRadioButton> Option3{QStringLiteral("Option3")};
    forms::ControlArray<QGroupBox> Frame6{QStringLiteral("Frame6")};
    forms::ControlArray<QLineEdit> txtSelectPanel{QStringLiteral("txtSelectPanel")};
    forms::ControlArray<QPushButton> Command6{QStringLiteral("Command6")};
    forms::ControlArray<QLabel> Label5{QStringLiteral("Label5")};
    QFrame *Frame3 = nullptr;
    forms::ControlArray<QLabel> Label4{QStringLiteral("Label4")};
    QComboBox *Combo2 = nullptr;
    QCheckBox *Check2 = nullptr;
    forms::ControlArray<QPushButton> Command5{QStringLiteral("Command5")};

    // Page 2: digit colours and information digits.
    forms::ControlArray<QGroupBox> Frame5{QStringLiteral("Frame5")};
    forms::ControlArray<QLabel> Label6{QStringLiteral("Label6")};
    forms::ControlArray<QPushButton> Command8{QStringLiteral("Command8")};
    M_Degit *M_Degit1 = nullptr;
    forms::ControlArray<QCheckBox> Check3{QStringLiteral("Check3")};
    forms::ControlArray<QComboBox> Combo4{QStringLiteral("Combo4")};
    QLabel *Label7 = nullptr;

    // Page 3: stop name.
    forms::ControlArray<QLabel> Label8{QStringLiteral("Label8")};
    forms::ControlArray<QPushButton> Command9{QStringLiteral("Command9")};
    QLabel *Label9 = nullptr;
    QComboBox *Combo3 = nullptr;
    QCheckBox *Check4 = nullptr;

    // Page 4: sounds.
    forms::ControlArray<QLabel> Label1{QStringLiteral("Label1")};
    forms::ControlArray<QLineEdit> txtSelectSound{QStringLiteral("txtSelectSound")};
    forms::ControlArray<QPushButton> cmdSelectSound{QStringLiteral("cmdSelectSound")};
    forms::ControlArray<QPushButton> Option5{QStringLiteral("Option5")};
    forms::ControlArray<QGroupBox> Frame2{QStringLiteral("Frame2")};
    forms::ControlArray<QRadioButton> Option2{QStringLiteral("Option2")};
    QComboBox *Combo1 = nullptr;
    QGroupBox *Frame8 = nullptr;
    forms::ControlArray<QRadioButton> Option6{QStringLiteral("Option6")};
    QGroupBox *Frame9 = nullptr;
    forms::ControlArray<QRadioButton> Option7{QStringLiteral("Option7")};
    QLabel *lblSyncNote = nullptr; // synchronous sounds should be short

    // Page 5: ticket preview.
    QCheckBox *chkUseSeiriPrev = nullptr;
    QGroupBox *Frame10 = nullptr;
    QLabel *Label2 = nullptr;
    QLineEdit *txtSeiriPlgDir = nullptr;
    QPushButton *Command1 = nullptr;
    QPushButton *Command11 = nullptr;
    QLabel *Label11 = nullptr;
    QListWidget *List1 = nullptr;
    QLabel *Label13 = nullptr;
    QPlainTextEdit *txtPlginComment = nullptr;
    QGroupBox *Frame7 = nullptr;
    forms::ControlArray<QRadioButton> Option4{QStringLiteral("Option4")};
    QLabel *Label10 = nullptr;
    QPushButton *Command7 = nullptr;
    QLabel *Label14 = nullptr;

    // Event handlers.
    void Command4_Click();
    void cmdSelectSound_Click(int Index);
    void Command6_Click(int Index);
    void Command3_Click(int Index);
    void Command10_Click(int Index);
    void cmdImportGtfs_Click();
    void cmdImportCsv_Click();
    void Command11_Click();
    void Command1_Click();
    void Command5_Click(int Index);
    void Command9_Click(int Index);
    void Command8_Click(int Index);
    void Command7_Click();
    void Option1_Click(int Index);
    void Option5_Click(int Index);
    void Option3_Click(int Index);
    void Check1_Click();
    void Check3_Click(int Index);
    void chkUseSeiriPrev_Click();

    // The control that holds a field of the glossary, registered when the
    // pages were built; nullptr for a field no control of the dialog holds
    // (the console's and the windows' positions).
    QWidget *control(settings::Field id) const { return m_fieldControls[size_t(id)].data(); }

public slots:
    // Escape and the title bar's close box act exactly like "OK".
    void reject() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildPages();
    // Every option field's control, found once by its design name; one
    // missing or of another kind than the glossary says stops the dialog
    // at its creation, never at the first read.
    void registerFieldControls();
    std::array<QPointer<QWidget>, size_t(settings::Field::Count)> m_fieldControls;
    int buildDataPage(QWidget *page);
    int buildPanelPage(QWidget *page);
    int buildDigitPage(QWidget *page);
    int buildChimeiPage(QWidget *page);
    int buildSoundPage(QWidget *page);
    int buildPreviewPage(QWidget *page);
    void orderTabs();
    void connectHandlers();
    void showPreviewColors();
    QString chooseFile(const QString &filter, const QString &title);

    std::array<int32_t, 17> m_customColors{};
    int m_frontPage = 0;
    int m_frontSoundFrame = 1;
    int m_pageWidth = 0; // pixels; grows when a caption needs it
};

namespace windows {
// The options dialog, created hidden and loaded on first use.
::frmOption &frmOption();
} // namespace windows
