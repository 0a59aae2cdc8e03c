// The helper library through the program's own interface: the library is
// loaded from beside this executable, the dialogs are driven while modal.
#include "core/Cp932.h"
#include "core/KXP4Res.h"
#include "helperlib/FilterConvert.h"

#include <QCalendarWidget>
#include <QColorDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>

namespace {

// Runs `act` on the modal dialog once it is up and closes the dialog if `act`
// left it open (a failed check returns early). Gives up after five seconds.
void whenModal(std::function<void(QWidget *)> act)
{
    auto *timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, act, tries = 0]() mutable {
        QWidget *w = QApplication::activeModalWidget();
        if (!w && ++tries < 500)
            return;
        timer->stop();
        timer->deleteLater();
        if (!w)
            return;
        act(w);
        if (auto *d = qobject_cast<QDialog *>(w); d && d->isVisible())
            d->reject();
    });
    timer->start(10);
}

void press(QWidget *dlg, QDialogButtonBox::StandardButton which)
{
    auto *box = dlg->findChild<QDialogButtonBox *>();
    QVERIFY(box && box->button(which));
    box->button(which)->click();
}

// As a user types a name. (selectFile leaves a focused name box alone, so it
// would race the dialog's activation.)
void typeAndOpen(QWidget *dlg, const QString &name)
{
    auto *edit = dlg->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    QVERIFY(edit);
    edit->setText(name);
    static_cast<QDialog *>(dlg)->accept(); // QFileDialog's own accept, as its Open button
}

QColor bgr(int32_t v) { return QColor(v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF); }

} // namespace

class TestHelperLib : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs); // Qt's widgets everywhere
        kxp4::setLibraryPath(QString());
        kxp4::resetSubstitutes();
    }

    void byteText_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("count");
        QTest::addColumn<QByteArray>("expected");
        const QByteArray kana = cp932::encode(QStringLiteral("あい～")); // 82A0 82A2 8160
        QTest::newRow("middle") << QByteArray("abcdef") << 2 << 3 << QByteArray("bcd");
        QTest::newRow("start 0") << QByteArray("abcdef") << 0 << 3 << QByteArray();
        QTest::newRow("start beyond end") << QByteArray("abc") << 4 << 1 << QByteArray();
        QTest::newRow("count 0") << QByteArray("abc") << 1 << 0 << QByteArray();
        QTest::newRow("count beyond end") << QByteArray("abc") << 2 << 99 << QByteArray("bc");
        QTest::newRow("cuts a character") << kana << 2 << 2 << QByteArray("\xA0\x82", 2);
    }

    void byteText()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, start);
        QFETCH(int, count);
        QFETCH(QByteArray, expected);
        QCOMPARE(kxp4::MidB_Bytes(text, start, count), expected);
    }

    void byteTextUnicodeForms()
    {
        QCOMPARE(kxp4::LenB_ASCII(QString()), 0);
        QCOMPARE(kxp4::LenB_ASCII(QStringLiteral("バス停ABC")), 9);
        QCOMPARE(kxp4::LenB_ASCII(QStringLiteral("〜")), 2); // one CP932 character, not '?'
        QCOMPARE(kxp4::MidB_ASCII(QStringLiteral("市役所前"), 3, 4), QStringLiteral("役所"));
    }

    void filterConversion_data()
    {
        QTest::addColumn<QByteArray>("windows"); // without the list's closing NUL
        QTest::addColumn<QString>("qt");
        QTest::newRow("empty") << QByteArray() << QString();
        QTest::newRow("single pair") << QByteArray("WAVE\0*.wav\0", 11) << QStringLiteral("WAVE (*.wav)");
        QTest::newRow("label shows patterns") << QByteArray("WAVE (*.wav)\0*.wav\0", 19) << QStringLiteral("WAVE (*.wav)");
        QTest::newRow("several patterns")
            << QByteArray("Sound (*.wav;*.mp3)\0*.wav;*.mp3\0", 32) << QStringLiteral("Sound (*.wav *.mp3)");
        QTest::newRow("several pairs, all files")
            << QByteArray("Ticket\0*.4SP\0All\0*.*\0", 21) << QStringLiteral("Ticket (*.4SP);;All (*)");
        QTest::newRow("other parentheses") << QByteArray("Sound (MIDI)\0*.mid\0", 19) << QStringLiteral("Sound (MIDI) (*.mid)");
        QTest::newRow("label without pattern") << QByteArray("WAVE\0*.wav\0Orphan\0", 18) << QStringLiteral("WAVE (*.wav)");
        QTest::newRow("CP932 label") << cp932::encode(QStringLiteral("音声")) + QByteArray("\0*.wav\0", 7)
                                     << QStringLiteral("音声 (*.wav)");
    }

    void filterConversion()
    {
        QFETCH(QByteArray, windows);
        QFETCH(QString, qt);
        // What follows the closing NUL must never be read.
        const QByteArray buf = windows + QByteArray("\0Junk\0*.junk\0", 13);
        QCOMPARE(kxp4res::qtFilterFromWindows(buf.constData()), qt);
    }

    void digitSettings()
    {
        QWidget owner;
        int16_t zeroMode = 1, shift = 9, fillZero = 6; // beyond a 4-position cell
        whenModal([&owner](QWidget *dlg) {
            QCOMPARE(dlg->parentWidget(), &owner);
            auto *shiftSpin = dlg->findChild<QSpinBox *>(QStringLiteral("shift"));
            auto *fillSpin = dlg->findChild<QSpinBox *>(QStringLiteral("fillZero"));
            QVERIFY(dlg->findChild<QRadioButton *>(QStringLiteral("zeroMode1"))->isChecked());
            QCOMPARE(shiftSpin->value(), 3); // shown within 0..Keta-1
            QCOMPARE(fillSpin->value(), 4);  // and 0..Keta
            dlg->findChild<QRadioButton *>(QStringLiteral("zeroMode3"))->setChecked(true);
            shiftSpin->setValue(2);
            fillSpin->setValue(1);
            press(dlg, QDialogButtonBox::Ok);
        });
        QCOMPARE(kxp4::Call_dlg100(&owner, 4, zeroMode, shift, fillZero), 1);
        QCOMPARE(QList<int>({zeroMode, shift, fillZero}), QList<int>({3, 2, 1}));

        // Cancel leaves even a value the dialog could not show untouched.
        zeroMode = -2;
        whenModal([](QWidget *dlg) {
            dlg->findChild<QRadioButton *>(QStringLiteral("zeroMode2"))->setChecked(true);
            dlg->findChild<QSpinBox *>(QStringLiteral("shift"))->setValue(0);
            press(dlg, QDialogButtonBox::Cancel);
        });
        QCOMPARE(kxp4::Call_dlg100(nullptr, 4, zeroMode, shift, fillZero), 0);
        QCOMPARE(QList<int>({zeroMode, shift, fillZero}), QList<int>({-2, 2, 1}));
    }

    void dateChooser()
    {
        kxp4::SystemTime st;
        QDate startedAt;
        whenModal([&startedAt](QWidget *dlg) {
            auto *cal = dlg->findChild<QCalendarWidget *>();
            startedAt = cal->selectedDate();
            cal->setSelectedDate(QDate(2024, 3, 3));
            press(dlg, QDialogButtonBox::Ok);
        });
        QVERIFY(kxp4::Call_dlg111(nullptr, st) != 0);
        QCOMPARE(startedAt, QDate::currentDate()); // the record came in zeroed
        QCOMPARE(QList<int>({st.wYear, st.wMonth, st.wDay, st.wHour}), QList<int>({2024, 3, 3, 0}));
        QCOMPARE(st.wDayOfWeek, int16_t(0)); // a Sunday: 0 here, 7 in Qt

        whenModal([](QWidget *dlg) { press(dlg, QDialogButtonBox::Cancel); });
        QCOMPARE(kxp4::Call_dlg111(nullptr, st), 0);
    }

    void colourChooserRoundTrip()
    {
        std::array<int32_t, 17> custom{};
        for (int i = 0; i < 17; ++i)
            custom[i] = 0x010203 * (i + 1);
        int32_t colour = 0x0072D2F8;
        QColor startedAt, customShown;
        whenModal([&](QWidget *w) {
            auto *dlg = qobject_cast<QColorDialog *>(w);
            QVERIFY(dlg);
            startedAt = dlg->currentColor();
            customShown = QColorDialog::customColor(5);
            dlg->setCurrentColor(QColor(0x11, 0x22, 0x33));
            QColorDialog::setCustomColor(3, QColor(0xAA, 0xBB, 0xCC)); // as the user would
            press(dlg, QDialogButtonBox::Ok);
        });
        QVERIFY(kxp4::Kx3ChooseColor(nullptr, colour, custom) != 0);
        QCOMPARE(startedAt, bgr(0x0072D2F8));
        QCOMPARE(customShown, bgr(0x010203 * 6));
        QCOMPARE(colour, int32_t(0x00332211));
        QCOMPARE(custom[3], int32_t(0x00CCBBAA));
        QCOMPARE(custom[15], int32_t(0x010203 * 16));
        QCOMPARE(custom[16], int32_t(0x010203 * 17)); // no place in Qt's table: untouched

        const auto before = custom;
        whenModal([](QWidget *dlg) {
            QColorDialog::setCustomColor(0, Qt::red);
            press(dlg, QDialogButtonBox::Cancel);
        });
        QCOMPARE(kxp4::Kx3ChooseColor(nullptr, colour, custom), 0);
        QCOMPARE(colour, int32_t(0x00332211));
        QVERIFY(custom == before);
    }

    void fileAndFolderChoosers()
    {
        QTemporaryDir dir;
        QFile(dir.filePath(QStringLiteral("チャイム.wav"))).open(QIODevice::WriteOnly);
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("音声")));

        QStringList filters;
        whenModal([&](QWidget *dlg) {
            filters = qobject_cast<QFileDialog *>(dlg)->nameFilters();
            qobject_cast<QFileDialog *>(dlg)->setDirectory(dir.path());
            typeAndOpen(dlg, QStringLiteral("チャイム.wav"));
        });
        const QChar nul(0);
        const QString filter = QStringLiteral("音声 (*.wav;*.mp3)") + nul + QStringLiteral("*.wav;*.mp3") + nul
                             + QStringLiteral("すべて") + nul + QStringLiteral("*.*") + nul;
        QCOMPARE(kxp4::Kx3FileDlg(nullptr, 0, filter, QString(), QStringLiteral("音の選択")),
                 QDir::toNativeSeparators(dir.filePath(QStringLiteral("チャイム.wav"))));
        QCOMPARE(filters, QStringList({QStringLiteral("音声 (*.wav *.mp3)"), QStringLiteral("すべて (*)")}));

        whenModal([](QWidget *dlg) { static_cast<QDialog *>(dlg)->reject(); });
        QCOMPARE(kxp4::Kx3FileDlg(nullptr, 0, filter, QString(), QString()), QString());

        whenModal([&](QWidget *dlg) {
            QCOMPARE(qobject_cast<QFileDialog *>(dlg)->fileMode(), QFileDialog::Directory);
            qobject_cast<QFileDialog *>(dlg)->setDirectory(dir.path());
            typeAndOpen(dlg, QStringLiteral("音声"));
        });
        QCOMPARE(kxp4::Kx3FolderDlg(nullptr, QStringLiteral("フォルダー")),
                 QDir::toNativeSeparators(dir.filePath(QStringLiteral("音声"))));
    }
};

QTEST_MAIN(TestHelperLib)
#include "test_helperlib.moc"
