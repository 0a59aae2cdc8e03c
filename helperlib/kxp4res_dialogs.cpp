// The library's dialogs: digit settings, about box, date, file, folder and
// colour choosers. Each is modal, owned by the widget passed as the handle.
#include "helperlib/include/kxp4res_api.h"
#include "helperlib/kxp4res_buffers.h"

#include "core/Cp932.h"
#include "helperlib/FilterConvert.h"
#include "platform/Units.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCalendarWidget>
#include <QColorDialog>
#include <QDate>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLibraryInfo>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStyle>
#include <QTranslator>
#include <QVBoxLayout>

#include <algorithm>
#include <cstring>

namespace {

// Qt's own file and colour dialogs speak the language of the loaded Qt
// translation. When the program has none for Japanese, load it here, once,
// so that the dialogs are not half English.
void ensureJapaneseQtTexts()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    const QString probe = QStringLiteral("Look in:");
    if (QCoreApplication::translate("QFileDialog", "Look in:") != probe)
        return; // a translation is already in place
    auto *tr = new QTranslator(QCoreApplication::instance());
    const QStringList dirs{QCoreApplication::applicationDirPath() + QStringLiteral("/translations"),
                           QLibraryInfo::path(QLibraryInfo::TranslationsPath)};
    for (const QString &dir : dirs) {
        if (tr->load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"), QStringLiteral("_"), dir)) {
            QCoreApplication::installTranslator(tr);
            return;
        }
    }
    delete tr;
}

// A dialog needs a widget application; a call without one (a console tool,
// a test without QApplication) is answered as if the user had cancelled.
bool canShowDialogs()
{
    if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
        return false;
    ensureJapaneseQtTexts();
    return true;
}

QWidget *ownerWidget(KXP4_HWND owner)
{
    return static_cast<QWidget *>(owner);
}

const char *textResult(kxp4res::Buffer which, const QString &text)
{
    std::string &out = kxp4res::resultBuffer(which);
    out = cp932::encode(text).toStdString();
    return out.c_str();
}

// OK / キャンセル, whatever translation Qt happens to have loaded.
QDialogButtonBox *okCancel(QDialog &dlg)
{
    auto *box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dlg);
    box->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    box->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("キャンセル"));
    QObject::connect(box, &QDialogButtonBox::accepted, &dlg, &QDialog::accept);
    QObject::connect(box, &QDialogButtonBox::rejected, &dlg, &QDialog::reject);
    return box;
}

// For Qt's own colour dialog, which has no label setting of its own.
void renameCancel(QWidget &dlg)
{
    for (auto *box : dlg.findChildren<QDialogButtonBox *>())
        if (QPushButton *b = box->button(QDialogButtonBox::Cancel))
            b->setText(QStringLiteral("キャンセル"));
}

void prepare(QDialog &dlg, const QString &title)
{
    dlg.setWindowTitle(title);
    dlg.setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    dlg.setModal(true);
}

QColor colorFromRef(int32_t ref) { return platform::fromOle(static_cast<uint32_t>(ref)); }
int32_t refFromColor(const QColor &c) { return static_cast<int32_t>(platform::toOle(c)); }

int32_t showDigitSettings(QWidget *owner, int16_t keta, int16_t *zeroMode, int16_t *shift, int16_t *fillZero)
{
    QDialog dlg(owner);
    prepare(dlg, QStringLiteral("表示設定"));

    static const char *const kModes[] = {
        "０は表示しない（空欄も表示しない）",
        "０を表示する（空欄も０で表示）",
        "－１で０を表示し、０は表示しない",
        "０・－１・空欄をすべて０で表示",
    };
    auto *modeBox = new QGroupBox(QStringLiteral("０の表示"), &dlg);
    auto *modeLayout = new QVBoxLayout(modeBox);
    auto *modes = new QButtonGroup(&dlg);
    for (int i = 0; i < 4; ++i) {
        auto *r = new QRadioButton(QStringLiteral("%1: %2").arg(i).arg(QString::fromUtf8(kModes[i])), modeBox);
        r->setObjectName(QStringLiteral("zeroMode%1").arg(i));
        modes->addButton(r, i);
        modeLayout->addWidget(r);
    }

    // The cell's own limits, so that what is shown is what the cell will keep.
    const int positions = std::max<int>(keta, 0);
    auto *digitBox = new QGroupBox(QStringLiteral("桁（表示桁数 %1）").arg(positions), &dlg);
    auto *form = new QFormLayout(digitBox);
    auto *shiftSpin = new QSpinBox(digitBox);
    shiftSpin->setObjectName(QStringLiteral("shift"));
    shiftSpin->setRange(0, std::max(positions - 1, 0));
    shiftSpin->setSuffix(QStringLiteral(" 桁"));
    shiftSpin->setToolTip(QStringLiteral("数字を左へずらし、右側を空ける桁数"));
    auto *fillSpin = new QSpinBox(digitBox);
    fillSpin->setObjectName(QStringLiteral("fillZero"));
    fillSpin->setRange(0, positions);
    fillSpin->setSuffix(QStringLiteral(" 桁"));
    fillSpin->setSpecialValueText(QStringLiteral("しない"));
    fillSpin->setToolTip(QStringLiteral("先頭を０で埋めて揃える桁数（0 で埋めない）"));
    form->addRow(QStringLiteral("左へずらす桁数(&S):"), shiftSpin);
    form->addRow(QStringLiteral("０で埋める桁数(&Z):"), fillSpin);

    auto *layout = new QVBoxLayout(&dlg);
    layout->addWidget(modeBox);
    layout->addWidget(digitBox);
    layout->addWidget(okCancel(dlg));
    layout->setSizeConstraint(QLayout::SetFixedSize);

    const int mode = zeroMode ? *zeroMode : 0;
    modes->button(mode >= 0 && mode <= 3 ? mode : 0)->setChecked(true);
    shiftSpin->setValue(shift ? *shift : 0); // QSpinBox clamps into its range
    fillSpin->setValue(fillZero ? *fillZero : 0);

    if (dlg.exec() != QDialog::Accepted)
        return 0;
    if (zeroMode)
        *zeroMode = static_cast<int16_t>(modes->checkedId());
    if (shift)
        *shift = static_cast<int16_t>(shiftSpin->value());
    if (fillZero)
        *fillZero = static_cast<int16_t>(fillSpin->value());
    return 1;
}

int32_t showAbout(QWidget *owner, const QString &text)
{
    QDialog dlg(owner);
    prepare(dlg, QStringLiteral("バージョン情報"));

    auto *icon = new QLabel(&dlg);
    const QIcon appIcon = QApplication::windowIcon();
    icon->setPixmap(!appIcon.isNull() ? appIcon.pixmap(48, 48)
                                      : dlg.style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(48, 48));
    icon->setAlignment(Qt::AlignTop);

    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    auto *label = new QLabel(shown, &dlg);
    label->setObjectName(QStringLiteral("aboutText"));
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setMinimumWidth(260);

    auto *body = new QHBoxLayout;
    body->addWidget(icon);
    body->addSpacing(12);
    body->addWidget(label, 1);

    auto *box = new QDialogButtonBox(QDialogButtonBox::Ok, &dlg);
    box->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    QObject::connect(box, &QDialogButtonBox::accepted, &dlg, &QDialog::accept);

    auto *layout = new QVBoxLayout(&dlg);
    layout->addLayout(body);
    layout->addWidget(box);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    dlg.exec();
    return 1;
}

// SYSTEMTIME: eight 16-bit fields, year, month, day of week (0 = Sunday),
// day, then the time of day. Copied, since the caller's record may be unaligned.
enum { StYear, StMonth, StDayOfWeek, StDay, StFieldCount = 8 };

int32_t showDate(QWidget *owner, void *rec)
{
    int16_t st[StFieldCount];
    std::memcpy(st, rec, sizeof st);

    QDialog dlg(owner);
    prepare(dlg, QStringLiteral("日付の選択"));
    auto *cal = new QCalendarWidget(&dlg);
    cal->setLocale(QLocale(QLocale::Japanese, QLocale::Japan));
    cal->setFirstDayOfWeek(Qt::Sunday);
    cal->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    cal->setGridVisible(true);
    const QDate given(st[StYear], st[StMonth], st[StDay]);
    cal->setSelectedDate(given.isValid() ? given : QDate::currentDate());

    auto *today = new QPushButton(QStringLiteral("今日(&T)"), &dlg);
    QObject::connect(today, &QPushButton::clicked, cal, [cal] { cal->setSelectedDate(QDate::currentDate()); });
    // A double-click or Enter on a day chooses it, as the OK button does.
    QObject::connect(cal, &QCalendarWidget::activated, &dlg, &QDialog::accept);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(today);
    buttons->addStretch(1);
    buttons->addWidget(okCancel(dlg));

    auto *layout = new QVBoxLayout(&dlg);
    layout->addWidget(cal);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    if (dlg.exec() != QDialog::Accepted)
        return 0;
    const QDate d = cal->selectedDate();
    st[StYear] = static_cast<int16_t>(d.year());
    st[StMonth] = static_cast<int16_t>(d.month());
    st[StDayOfWeek] = static_cast<int16_t>(d.dayOfWeek() % 7); // Qt: Monday 1 .. Sunday 7
    st[StDay] = static_cast<int16_t>(d.day());
    std::memcpy(rec, st, sizeof st);
    return 1;
}

QString chooseFile(QWidget *owner, const QString &filter, const QString &initialFile, const QString &title)
{
    QFileDialog dlg(owner, title.isEmpty() ? QStringLiteral("ファイルを開く") : title);
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    dlg.setFileMode(QFileDialog::ExistingFile);
    if (!filter.isEmpty())
        dlg.setNameFilter(filter);
    if (!initialFile.isEmpty()) {
        const QFileInfo fi(initialFile);
        if (fi.isAbsolute())
            dlg.setDirectory(fi.absolutePath());
        dlg.selectFile(fi.fileName());
    }
    dlg.setLabelText(QFileDialog::Accept, QStringLiteral("開く(&O)"));
    dlg.setLabelText(QFileDialog::Reject, QStringLiteral("キャンセル"));
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return QString();
    return QDir::toNativeSeparators(dlg.selectedFiles().constFirst());
}

QString chooseFolder(QWidget *owner, const QString &title)
{
    QFileDialog dlg(owner, title.isEmpty() ? QStringLiteral("フォルダーの選択") : title);
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    dlg.setFileMode(QFileDialog::Directory);
    dlg.setOption(QFileDialog::ShowDirsOnly, true);
    dlg.setLabelText(QFileDialog::Accept, QStringLiteral("選択(&S)"));
    dlg.setLabelText(QFileDialog::Reject, QStringLiteral("キャンセル"));
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return QString();
    return QDir::toNativeSeparators(dlg.selectedFiles().constFirst());
}

// Qt keeps 16 custom colours; the caller's table has 17, the last of which
// has no place in the dialog and is left as it is.
constexpr int kQtCustomColours = 16;

int32_t chooseColour(QWidget *owner, int32_t *colour, int32_t *custom)
{
    if (custom)
        for (int i = 0; i < kQtCustomColours; ++i)
            QColorDialog::setCustomColor(i, colorFromRef(custom[i]));

    QColorDialog dlg(colorFromRef(colour ? *colour : 0), owner);
    dlg.setWindowTitle(QStringLiteral("色の設定"));
    renameCancel(dlg);
    if (dlg.exec() != QDialog::Accepted)
        return 0;
    if (colour)
        *colour = refFromColor(dlg.selectedColor());
    if (custom)
        for (int i = 0; i < kQtCustomColours; ++i)
            custom[i] = refFromColor(QColorDialog::customColor(i));
    return 1;
}

} // namespace

// No exception may cross the C interface: a failure inside a dialog is
// answered as a cancel.
extern "C" {

KXP4_API int32_t KXP4_CALL Call_dlg100(KXP4_HWND owner, int16_t keta, int16_t *zeroMode, int16_t *shift,
                                       int16_t *fillZero)
{
    if (!canShowDialogs())
        return 0;
    try {
        return showDigitSettings(ownerWidget(owner), keta, zeroMode, shift, fillZero);
    } catch (...) {
        return 0;
    }
}

KXP4_API int32_t KXP4_CALL Call_dlg110(KXP4_HWND owner, int32_t /*kind: only the about box exists*/,
                                       const char *text)
{
    if (!canShowDialogs())
        return 0;
    try {
        return showAbout(ownerWidget(owner), cp932::decodeC(text));
    } catch (...) {
        return 0;
    }
}

KXP4_API int32_t KXP4_CALL Call_dlg111(KXP4_HWND owner, void *rec)
{
    if (!rec || !canShowDialogs())
        return 0;
    try {
        return showDate(ownerWidget(owner), rec);
    } catch (...) {
        return 0;
    }
}

KXP4_API const char *KXP4_CALL Kx3FileDlg(KXP4_HWND owner, int32_t /*flags: callers pass 0*/,
                                          const char *filter, const char *initialFile, const char *title)
{
    QString chosen;
    if (canShowDialogs()) {
        try {
            chosen = chooseFile(ownerWidget(owner), kxp4res::qtFilterFromWindows(filter), cp932::decodeC(initialFile),
                                cp932::decodeC(title));
        } catch (...) {
            chosen.clear();
        }
    }
    return textResult(kxp4res::BufFileDlg, chosen);
}

KXP4_API const char *KXP4_CALL Kx3FolderDlg(KXP4_HWND owner, const char *title)
{
    QString chosen;
    if (canShowDialogs()) {
        try {
            chosen = chooseFolder(ownerWidget(owner), cp932::decodeC(title));
        } catch (...) {
            chosen.clear();
        }
    }
    return textResult(kxp4res::BufFolderDlg, chosen);
}

KXP4_API int32_t KXP4_CALL Kx3ChooseColor(KXP4_HWND owner, int32_t *colour, int32_t *custom)
{
    if (!canShowDialogs())
        return 0;
    try {
        return chooseColour(ownerWidget(owner), colour, custom);
    } catch (...) {
        return 0;
    }
}

} // extern "C"
