#include "options/frmOption.h"

#include "console/frmCtl.h"
#include "core/FontNames.h"
#include "core/KXP4Res.h"
#include "forms/Handlers.h"
#include "forms/Values.h"
#include "forms/Windows.h"
#include "options/ColourButton.h"
#include "options/OptionTable.h"
#include "options/StoredTextBox.h"
#include "options/WrapButtons.h"
#include "platform/MsgBox.h"
#include "platform/Shell.h"
#include "platform/Units.h"

#include <QButtonGroup>
#include <QDate>
#include <QDynamicPropertyChangeEvent>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTextDocument>
#include <algorithm>

using platform::rgb;
using platform::twipsToPixels;

namespace {

// The design's sizes; the dialog only ever grows beyond them.
const int kClientWidth = twipsToPixels(9570), kClientHeight = twipsToPixels(5610);
const int kPageWidth = twipsToPixels(8000), kPageHeight = twipsToPixels(5000);
const int kPageButtonWidth = twipsToPixels(1250), kPageButtonHeight = twipsToPixels(833);

constexpr int kMargin = 8;  // inside a frame
constexpr int kGap = 4;     // between a control and its neighbour
constexpr int kChooserWidth = 26; // the "..." buttons
constexpr int kColourWidth = 48;

const QChar kIdeographicSpace(0x3000);

QString soundFilter()
{
    const QChar nul(0);
    return QStringLiteral("Waveサウンド(*.wav)") + nul + QStringLiteral("*.wav") + nul
           + QStringLiteral("MP3サウンド(*.mp3)") + nul + QStringLiteral("*.mp3") + nul
           + QStringLiteral("MIDIシーケンス(*.mid)") + nul + QStringLiteral("*.mid") + nul + nul;
}

QString panelImageFilter()
{
    const QChar nul(0);
    return QStringLiteral("ビットマップ(*.bmp)") + nul + QStringLiteral("*.bmp") + nul
           + QStringLiteral("GIF画像(*.gif)") + nul + QStringLiteral("*.gif") + nul
           + QStringLiteral("JPEG画像(*.jpg)") + nul + QStringLiteral("*.jpg") + nul + nul;
}

// Where a group box's contents may start below its title.
int titleInset(const QWidget *box) { return box->fontMetrics().height() + 6; }

// The height a control needs at a width: wrapping captions grow downwards.
int heightAt(const QWidget *w, int width)
{
    return w->hasHeightForWidth() ? w->heightForWidth(width) : w->sizeHint().height();
}

// Places a control and returns its bottom edge.
int put(QWidget *w, int x, int y, int width, int minHeight = 0)
{
    const int h = qMax(minHeight, heightAt(w, width));
    w->setGeometry(x, y, width, h);
    return y + h;
}

// Places a control at the width its caption needs.
int putNatural(QWidget *w, int x, int y) { return put(w, x, y, w->sizeHint().width()); }

QLabel *newLabel(QWidget *parent, const QString &text, bool wrap = false)
{
    auto *l = new QLabel(text, parent);
    l->setWordWrap(wrap);
    return l;
}

QGroupBox *newFrame(QWidget *parent, const QString &title)
{
    return new QGroupBox(title, parent);
}

// The n-th gap (a run of blanks) of a caption: its start and width in pixels
// from the caption's first character.
std::pair<int, int> gapSpan(const QFontMetrics &fm, const QString &caption, int n)
{
    const auto blank = [](QChar c) { return c == kIdeographicSpace || c == QLatin1Char(' '); };
    int found = -1;
    for (int i = 0; i < caption.size();) {
        if (!blank(caption[i])) {
            ++i;
            continue;
        }
        int j = i;
        while (j < caption.size() && blank(caption[j]))
            ++j;
        if (++found == n) {
            const int x0 = fm.horizontalAdvance(caption.left(i));
            return {x0, fm.horizontalAdvance(caption.left(j)) - x0};
        }
        i = j;
    }
    return {0, 0};
}

// Where a check box draws the first character of its caption.
int captionStart(const QCheckBox *box)
{
    QStyleOptionButton opt;
    opt.initFrom(box);
    opt.text = box->text();
    return box->style()->subElementRect(QStyle::SE_CheckBoxContents, &opt, box).left();
}

// Sets a control into the n-th gap of a caption drawn from textLeft, centred
// on the caption's line, so that the caption reads around it.
void putInGap(QWidget *control, const QWidget *captioned, int textLeft, const QString &caption, int n)
{
    const auto [x, width] = gapSpan(captioned->fontMetrics(), caption, n);
    const QRect at = captioned->geometry();
    const int h = control->sizeHint().height();
    control->setGeometry(at.left() + textLeft + x + 2, at.center().y() - h / 2 + 1, qMax(24, width - 4), h);
    control->raise();
}

void fillNumbers(QComboBox *box, int last)
{
    QStringList items;
    items.reserve(last);
    for (int n = 1; n <= last; ++n)
        items << QString::number(n);
    box->addItems(items);
    forms::setListIndex(*box, 0);
}

// An option group: exclusive, yet the forms kit can leave it with none
// selected. Tab stops once in a group, at the selected button, however it was
// selected; the arrow keys move within the group.
void groupButtons(QObject *owner, const QList<QAbstractButton *> &buttons)
{
    auto *g = new QButtonGroup(owner);
    for (QAbstractButton *b : buttons)
        g->addButton(b);
    QObject::connect(g, &QButtonGroup::buttonToggled, g, [g](QAbstractButton *selected, bool on) {
        if (on)
            for (QAbstractButton *b : g->buttons())
                b->setFocusPolicy(b == selected ? Qt::StrongFocus : Qt::ClickFocus);
    });
}

template<typename... B>
void group(QObject *owner, B *...buttons)
{
    groupButtons(owner, {buttons...});
}

} // namespace

frmOption::frmOption(QWidget *parent)
    : QDialog(parent)
{
    windows::adopt(windows::Id::Options, this);
    setWindowTitle(QStringLiteral("オプション"));
    setModal(true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setFont(QFont(fonts::msPGothic(), 9));
    buildPages();
    orderTabs();
    // The texts that the settings file stores.
    for (auto *arr : {&Text2, &txtSelectPanel, &txtSelectSound})
        for (auto [i, box] : *arr)
            storedtext::limitBox(*box);
    storedtext::limitBox(*txtSeiriPlgDir);
    // Every option starts as the settings glossary says, before any handler
    // is connected; the lists take theirs once they are filled.
    options::applyStartValues(*this, options::Starting::Controls);
    connectHandlers();
}

namespace {

// The controls that take the focus inside `parent`, in reading order: rows from top
// to bottom, left to right within a row, and a frame's controls read
// together in the frame's place. A control whose middle lies above the
// bottom of a row's first control stands in that row.
void readingOrder(QWidget *parent, QList<QWidget *> &out)
{
    QList<QWidget *> kids;
    for (QObject *o : parent->children())
        if (auto *w = qobject_cast<QWidget *>(o); w && !w->isWindow())
            kids << w;
    std::stable_sort(kids.begin(), kids.end(), [](QWidget *a, QWidget *b) { return a->y() < b->y(); });
    for (qsizetype first = 0; first < kids.size();) {
        const int rowBottom = kids[first]->geometry().bottom();
        qsizetype end = first + 1;
        while (end < kids.size() && kids[end]->geometry().center().y() <= rowBottom)
            ++end;
        std::stable_sort(kids.begin() + first, kids.begin() + end, [](QWidget *a, QWidget *b) { return a->x() < b->x(); });
        for (qsizetype k = first; k < end; ++k) {
            // A group's buttons other than the selected one take the focus
            // by click only, until they are selected.
            if (kids[k]->focusPolicy() != Qt::NoFocus)
                out << kids[k];
            else
                readingOrder(kids[k], out);
        }
        first = end;
    }
}

} // namespace

void frmOption::orderTabs()
{
    // The page buttons, then each page as it reads, then "OK".
    QList<QWidget *> order;
    for (auto [i, b] : Option1)
        order << b;
    for (auto [i, page] : Frame1)
        readingOrder(page, order);
    order << Command4;
    for (qsizetype k = 1; k < order.size(); ++k)
        setTabOrder(order[k - 1], order[k]);
}

frmOption::~frmOption() = default;

::frmOption &windows::frmOption()
{
    return detail::load<::frmOption>(Id::Options);
}

void frmOption::buildPages()
{
    static const char16_t *const buttonCaptions[] = {
        u"運賃データと　放送用データ", u"パネルと整理券番号表示", u"デジタル部品と情報用数字",
        u"停名の設定", u"サウンド", u"　　整理券　　　プレビュー",
    };
    static const char16_t *const pageCaptions[] = {
        u"運賃データと放送用データ", u"パネルと整理券番号表示", u"デジタル部品と情報用数字", u"停名の設定",
        u"サウンド（鳴らさなくてもいい項目にはファイル名を入れないで下さい）", u"整理券プレビュー",
    };

    // The widest caption that cannot wrap sets the page width, never below the design's.
    const QFontMetrics fm(font());
    m_pageWidth = kPageWidth;
    const auto need = [&](const QString &title, int depth) {
        m_pageWidth = qMax(m_pageWidth, fm.horizontalAdvance(title) + 2 * kMargin * (depth + 1) + 24);
    };
    for (const char16_t *t : pageCaptions)
        need(QString::fromUtf16(t), 0);
    need(QStringLiteral("放送前のサウンド：※音声合成放送機能が有効でない場合は以下の設定は意味を持ちません。"), 1);
    need(QStringLiteral("デジタル部品の背景色と文字色（時計つきの場合はこの部分も同色となります）"), 1);
    need(QStringLiteral("日付の設定（整理券プラグインが日付の印字をサポートしているときに有効）"), 1);

    int buttonHeight = kPageButtonHeight;
    for (int i = 0; i < 6; ++i) {
        auto *b = new WrapPushButton(QString::fromUtf16(buttonCaptions[i]), this);
        b->setCheckable(true);
        b->setAutoExclusive(true);
        b->setAutoDefault(false);
        Option1.add(i, b);
        buttonHeight = qMax(buttonHeight, b->heightForWidth(kPageButtonWidth));
    }
    QList<QAbstractButton *> pageButtons;
    for (auto [i, b] : Option1)
        pageButtons << b;
    groupButtons(this, pageButtons);
    int pageHeight = kPageHeight;
    using Build = int (frmOption::*)(QWidget *);
    static constexpr Build builds[] = {&frmOption::buildDataPage,   &frmOption::buildPanelPage,
                                       &frmOption::buildDigitPage,  &frmOption::buildChimeiPage,
                                       &frmOption::buildSoundPage,  &frmOption::buildPreviewPage};
    for (int i = 0; i < 6; ++i) {
        QGroupBox *page = Frame1.add(i, newFrame(this, QString::fromUtf16(pageCaptions[i])));
        page->resize(m_pageWidth, kPageHeight);
        // The member taken out first: gcc 12 with UBSan checks the index of
        // builds[i] in a call through it against a temporary it never sets.
        const Build build = builds[i];
        pageHeight = qMax(pageHeight, (this->*build)(page) + kMargin);
    }
    pageHeight = qMax(pageHeight, 6 * buttonHeight);

    const int left = kMargin, top = kMargin;
    const int pageLeft = left + kPageButtonWidth + 12;
    for (int i = 0; i < 6; ++i) {
        Option1(i)->setGeometry(left, top + i * buttonHeight, kPageButtonWidth, buttonHeight);
        Frame1(i)->setGeometry(pageLeft, top, m_pageWidth, pageHeight);
        Frame1(i)->setVisible(i == 0);
    }
    forms::setOptionValue(*Option1(0), -1);

    Command4 = new QPushButton(QStringLiteral("OK"), this);
    forms::nameControl(*Command4, QStringLiteral("Command4"));
    Command4->setDefault(true);
    const int okWidth = qMax(80, Command4->sizeHint().width());
    const int okHeight = qMax(25, Command4->sizeHint().height());
    const int clientWidth = qMax(kClientWidth, pageLeft + m_pageWidth + kMargin);
    const int okTop = top + pageHeight + 6;
    const int clientHeight = qMax(kClientHeight, okTop + okHeight + kMargin);
    Command4->setGeometry(clientWidth - kMargin - okWidth, okTop, okWidth, okHeight);
    setFixedSize(clientWidth, clientHeight);
}

int frmOption::buildDataPage(QWidget *page)
{
    const int x = kMargin + 4, width = m_pageWidth - 2 * x;
    int y = titleInset(page) + 4;
    static const char16_t *const captions[] = {u"運賃データ(*.hy3)のあるフォルダー：",
                                               u"放送用データ(*****Tp.csv)のあるフォルダー："};
    static const char16_t *const openCaptions[] = {u"上記運賃データの場所をエクスプローラで開く",
                                                   u"上記放送用データの場所をエクスプローラで開く"};
    for (int i = 0; i < 2; ++i) {
        y = put(Label3.add(i, newLabel(page, QString::fromUtf16(captions[i]), true)), x, y, width) + 2;
        QLineEdit *t = Text2.add(i, new QLineEdit(page));
        const int bottom = put(t, x, y, width - kChooserWidth - kGap);
        put(Command3.add(i, new QPushButton(QStringLiteral("..."), page)), x + width - kChooserWidth, y,
            kChooserWidth, bottom - y);
        y = bottom + kGap;
        auto *open = Command10.add(i, new QPushButton(QString::fromUtf16(openCaptions[i]), page));
        y = put(open, x, y, open->sizeHint().width() + 16) + 18;
    }
    return y;
}

int frmOption::buildPanelPage(QWidget *page)
{
    const int x = kMargin;
    const int width = m_pageWidth - 2 * x;
    int y = titleInset(page) + 2;

    Check1 = new QCheckBox(QStringLiteral("整理券番号自動表示機能を使用"), page);
    forms::nameControl(*Check1, QStringLiteral("Check1"));
    y = putNatural(Check1, x, y);
    Label15 = newLabel(
        page, QStringLiteral("※ユーザーパネルに直接番号をデザインしている場合には上記チェックをOFFにしてください。"), true);
    forms::nameControl(*Label15, QStringLiteral("Label15"));
    y = put(Label15, x + 18, y, width - 18) + 6;

    // Left: the panel pictures; right: the ticket-number row.
    const int leftWidth = (width - kMargin) * 56 / 100;
    const int rightLeft = x + leftWidth + kMargin, rightWidth = m_pageWidth - kMargin - rightLeft;

    Frame4 = newFrame(page, QStringLiteral("本体パネル"));
    forms::nameControl(*Frame4, QStringLiteral("Frame4"));
    const int inner = leftWidth - 2 * kMargin;
    int fy = titleInset(Frame4);
    auto *autoAssign = Option3.add(0, new QRadioButton(QStringLiteral("内蔵しているパネルを自動で割り当てる"), Frame4));
    auto *individual = Option3.add(1, new QRadioButton(QStringLiteral("個別に設定する"), Frame4));
    group(this, autoAssign, individual);
    fy = put(autoAssign, kMargin, fy, inner) + 2;
    fy = put(individual, kMargin, fy, inner) + kGap;

    static const char16_t *const stateCaptions[] = {u"バックライトOFF時の画像：", u"ON1の画像：", u"ON2の画像："};
    static const int builtinIndex[] = {7, 3, 4}, userIndex[] = {6, 2, 5};
    for (int k = 0; k < 3; ++k) {
        QGroupBox *f = Frame6.add(k, newFrame(Frame4, QString::fromUtf16(stateCaptions[k])));
        int sy = titleInset(f);
        auto *builtin = Option3.add(builtinIndex[k], new QRadioButton(QStringLiteral("内蔵"), f));
        auto *user = Option3.add(userIndex[k], new QRadioButton(QStringLiteral("ユーザーパネル"), f));
        group(this, builtin, user);
        putNatural(builtin, kMargin, sy);
        sy = putNatural(user, kMargin + builtin->width() + 16, sy) + 2;
        const int fw = inner - 2 * kMargin;
        QLineEdit *t = txtSelectPanel.add(k, new QLineEdit(f));
        const int bottom = put(t, kMargin, sy, fw - kChooserWidth - kGap);
        put(Command6.add(k, new QPushButton(QStringLiteral("..."), f)), kMargin + fw - kChooserWidth, sy,
            kChooserWidth, bottom - sy);
        f->setGeometry(kMargin, fy, inner, bottom + kMargin);
        fy += f->height() + kGap;
        // Shown only while the pictures are set one by one.
        f->setEnabled(false);
        f->hide();
    }
    Frame4->setGeometry(x, y, leftWidth, fy + kMargin - kGap);

    Frame3 = new QFrame(page);
    forms::nameControl(*Frame3, QStringLiteral("Frame3"));
    Frame3->setFrameStyle(QFrame::Box | QFrame::Sunken);
    const int rw = rightWidth - 2 * kMargin;
    int ry = kMargin;
    ry = put(Label4.add(5, newLabel(Frame3, QStringLiteral("整理券番号表示設定"))), kMargin, ry, rw) + 2;
    Combo2 = new QComboBox(Frame3);
    forms::nameControl(*Combo2, QStringLiteral("Combo2"));
    ry = put(Combo2, kMargin, ry, rw) + kGap;
    Check2 = new QCheckBox(QStringLiteral("数字が1桁の番号は頭に0を付け足す"), Frame3);
    forms::nameControl(*Check2, QStringLiteral("Check2"));
    ry = put(Check2, kMargin, ry, rw) + 8;
    ry = put(Label4.add(1, newLabel(Frame3, QStringLiteral("整理券番号のバックライトカラー(文字色)"), true)), kMargin,
             ry, rw) + kGap;
    static const char16_t *const colourCaptions[] = {u"OFF：", u"ON1：", u"ON2："};
    for (int k = 0; k < 3; ++k) {
        QLabel *l = Label4.add(k + 2, newLabel(Frame3, QString::fromUtf16(colourCaptions[k])));
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        auto *b = Command5.add(k, new ColourButton(Frame3));
        const int bottom = put(b, kMargin + 60, ry, kColourWidth, 22);
        put(l, kMargin + 8, ry, 48, bottom - ry);
        ry = bottom + kGap;
    }
    Frame3->setGeometry(rightLeft, y, rightWidth, qMax(ry + kMargin - kGap, Frame4->height()));

    y = qMax(Frame4->geometry().bottom(), Frame3->geometry().bottom()) + 8;
    QLabel *note = Label5.add(
        1, newLabel(page,
                    QStringLiteral("※ユーザーパネルには、現在の機種に対応の画像をご使用ください。大きいパネルの場合、"
                                   "はみ出た部分（右・下）が切り取られます。逆に小さいパネルの場合は左上から表示され、"
                                   "余白部分はグレーになりますのでご注意ください。"),
                    true));
    return put(note, x, y, width);
}

int frmOption::buildDigitPage(QWidget *page)
{
    const int x = kMargin, width = m_pageWidth - 2 * x;
    int y = titleInset(page) + 2;

    QGroupBox *colours = Frame5.add(
        0, newFrame(page, QStringLiteral("デジタル部品の背景色と文字色（時計つきの場合はこの部分も同色となります）")));
    static const char16_t *const captions[] = {u"背景色：", u"未発光時の文字色：", u"発光時の文字色："};
    int labelWidth = 0;
    for (int i = 0; i < 3; ++i)
        labelWidth = qMax(labelWidth, Label6.add(i, newLabel(colours, QString::fromUtf16(captions[i])))->sizeHint().width());
    int cy = titleInset(colours);
    for (int i = 0; i < 3; ++i) {
        auto *b = Command8.add(i, new ColourButton(colours));
        const int bottom = put(b, kMargin + 8 + labelWidth + 6, cy, kColourWidth, 22);
        Label6(i)->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        put(Label6(i), kMargin + 8, cy, labelWidth, bottom - cy);
        cy = bottom + kGap;
    }
    const int previewLeft = kMargin + 8 + labelWidth + 6 + kColourWidth + 48;
    QLabel *previewCaption = Label6.add(3, newLabel(colours, QStringLiteral("プレビュー")));
    const int py = putNatural(previewCaption, previewLeft, titleInset(colours)) + kGap;
    M_Degit1 = new M_Degit(colours);
    M_Degit1->setAccessibleName(QStringLiteral("M_Degit1"));
    M_Degit1->setObjectName(QStringLiteral("M_Degit1"));
    M_Degit1->InitProperties();
    M_Degit1->move(previewLeft, py);
    colours->setGeometry(x, y, width, qMax(cy, py + M_Degit1->height()) + kMargin - kGap);
    y = colours->geometry().bottom() + 8;

    QGroupBox *info = Frame5.add(1, newFrame(page, QStringLiteral("情報用数字の設定")));
    static const char16_t *const rows[] = {
        u"停留所の順番（区間・個数）を、　　　　　　  コマ目に表示する。",
        u"整理券番号を、  　　　　　　コマ目に表示する。",
        u"系統番号を、  　　　　　　コマ目に表示する。",
        u"データの　　　  　　　　　列目の値を、  　　　　　　コマ目に表示する。",
    };
    for (int i = 0; i < 5; ++i) {
        auto *c = Combo4.add(i, new QComboBox(info));
        c->setEnabled(false);
    }
    int iy = titleInset(info);
    const int rowPitch = Combo4(0)->sizeHint().height() + kGap;
    for (int i = 0; i < 4; ++i) {
        auto *box = Check3.add(i, new QCheckBox(QString::fromUtf16(rows[i]), info));
        // The caption's own blanks make room for the boxes; the row grows to hold them.
        putNatural(box, kMargin, iy + (rowPitch - box->sizeHint().height()) / 2);
        iy += rowPitch;
    }
    const auto inGap = [](QCheckBox *box, QWidget *combo, int n) {
        putInGap(combo, box, captionStart(box), box->text(), n);
    };
    inGap(Check3(0), Combo4(0), 0);
    inGap(Check3(1), Combo4(1), 0);
    inGap(Check3(2), Combo4(2), 0);
    inGap(Check3(3), Combo4(4), 0);
    inGap(Check3(3), Combo4(3), 1);
    auto *fromZero = Check3.add(4, new QCheckBox(QStringLiteral("0から数える"), info));
    fromZero->setEnabled(false);
    putNatural(fromZero, Check3(0)->geometry().right() + 12, Check3(0)->y());
    Label7 = newLabel(info,
                      QStringLiteral("デジタル数字の桁ずらし、ゼロ埋めの設定は各部品をダブルクリックして設定してください。"
                                     "また、これら情報用数字は運賃の表示よりも優先されます。"),
                      true);
    forms::nameControl(*Label7, QStringLiteral("Label7"));
    iy = put(Label7, kMargin, iy + kGap, width - 2 * kMargin);
    info->setGeometry(x, y, width, iy + kMargin);
    return info->geometry().bottom();
}

int frmOption::buildChimeiPage(QWidget *page)
{
    const int x = kMargin + 4;
    int y = titleInset(page) + 8;
    static const char16_t *const captions[] = {u"背景色：", u"文字色："};
    int labelWidth = 0;
    for (int i = 0; i < 2; ++i)
        labelWidth = qMax(labelWidth, Label8.add(i, newLabel(page, QString::fromUtf16(captions[i])))->sizeHint().width());
    for (int i = 0; i < 2; ++i) {
        auto *b = Command9.add(i, new ColourButton(page));
        const int bottom = put(b, x + labelWidth + 6, y, kColourWidth, 22);
        put(Label8(i), x, y, labelWidth, bottom - y);
        y = bottom + 8;
    }
    Label9 = newLabel(page, QStringLiteral("フォントオプション："));
    forms::nameControl(*Label9, QStringLiteral("Label9"));
    y = putNatural(Label9, x, y + 8) + 2;
    Combo3 = new QComboBox(page);
    forms::nameControl(*Combo3, QStringLiteral("Combo3"));
    Combo3->addItems({QStringLiteral("ゴシック体"), QStringLiteral("明朝体"), QStringLiteral("漢字はゴシック、それ以外は明朝"),
                      QStringLiteral("漢字は明朝、それ以外はゴシック"), QStringLiteral("英数字はゴシック、それ以外は明朝")});
    y = put(Combo3, x, y, qMax(240, Combo3->sizeHint().width())) + 10;
    Check4 = new QCheckBox(QStringLiteral("太字（表示の不具合はサポート対象外）"), page);
    forms::nameControl(*Check4, QStringLiteral("Check4"));
    return putNatural(Check4, x, y);
}

int frmOption::buildSoundPage(QWidget *page)
{
    const int x = kMargin, width = m_pageWidth - 2 * x;
    int y = titleInset(page) + 2;

    // A caption, then a sound path and its chooser filling the rest of the row.
    const auto soundRow = [this](QWidget *parent, QLabel *caption, int index, int left, int captionWidth, int top,
                                 int right) {
        QLineEdit *t = txtSelectSound.add(index, new QLineEdit(parent));
        const int textLeft = left + captionWidth + kGap;
        const int bottom = put(t, textLeft, top, right - textLeft - kChooserWidth - kGap);
        put(cmdSelectSound.add(index, new QPushButton(QStringLiteral("..."), parent)), right - kChooserWidth, top,
            kChooserWidth, bottom - top);
        if (caption) {
            caption->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
            put(caption, left, top, captionWidth, bottom - top);
        }
        return bottom;
    };

    QLabel *routeSet = Label1.add(0, newLabel(page, QStringLiteral("系統設定時のサウンド：")));
    QLabel *reset = Label1.add(1, newLabel(page, QStringLiteral("リセット時のサウンド：")));
    const int topCaption = qMax(routeSet->sizeHint().width(), reset->sizeHint().width());
    y = soundRow(page, routeSet, 0, x + 4, topCaption, y, x + width) + kGap;
    y = soundRow(page, reset, 1, x + 4, topCaption, y, x + width) + 8;

    auto *stepButton = Option5.add(1, new QPushButton(QStringLiteral("送り・戻し時のサウンド..."), page));
    auto *tapeButton = Option5.add(0, new QPushButton(QStringLiteral("放送前のサウンド..."), page));
    for (QPushButton *b : {stepButton, tapeButton}) {
        b->setCheckable(true);
        b->setAutoExclusive(true);
        b->setAutoDefault(false);
    }
    group(this, stepButton, tapeButton);
    const int bw = qMax(stepButton->sizeHint().width(), tapeButton->sizeHint().width()) + 16;
    put(stepButton, x + 4, y, bw, 24);
    y = put(tapeButton, x + 4 + bw + kGap, y, bw, 24);
    forms::setOptionValue(*stepButton, -1);
    const int frameTop = y + kGap;

    const int fw = width, inner = fw - 2 * kMargin;
    const auto chooseRows = [&](QGroupBox *f, int alwaysIndex, int pathIndex, int byIndex, const QString &byCaption,
                                int fy) {
        auto *always = Option2.add(alwaysIndex, new QRadioButton(QStringLiteral("常に右記のサウンドを鳴らす"), f));
        auto *by = Option2.add(byIndex, new WrapRadioButton(byCaption, f));
        group(this, always, by);
        const int aw = always->sizeHint().width();
        const int bottom = soundRow(f, nullptr, pathIndex, kMargin + aw, 0, fy, kMargin + inner);
        put(always, kMargin, fy, aw, bottom - fy);
        fy = put(by, kMargin, bottom + kGap, inner) + kGap;
        return fy;
    };
    const auto valueRows = [&](QGroupBox *f, int firstLabel, int firstPath, int fy) {
        static const char16_t *const cases[] = {u"「1」の場合", u"「2」の場合", u"「3」の場合"};
        int cw = 0;
        for (int k = 0; k < 3; ++k)
            cw = qMax(cw, Label1.add(firstLabel + k, newLabel(f, QString::fromUtf16(cases[k])))->sizeHint().width());
        for (int k = 0; k < 3; ++k)
            fy = soundRow(f, Label1(firstLabel + k), firstPath + k, kMargin + 24, cw, fy, kMargin + inner) + kGap;
        return fy;
    };
    const auto playFrame = [&](QGroupBox *play, forms::ControlArray<QRadioButton> &buttons,
                               const QString &sync, const QString &async, int fy) {
        auto *s = buttons.add(0, new QRadioButton(sync, play));
        auto *a = buttons.add(1, new QRadioButton(async, play));
        group(this, s, a);
        int py = titleInset(play);
        py = put(s, kMargin, py, inner - 2 * kMargin) + 2;
        py = put(a, kMargin, py, inner - 2 * kMargin);
        play->setGeometry(kMargin, fy, inner, py + kMargin);
        return fy + play->height() + kGap;
    };

    // Sound on each step.
    QGroupBox *step = Frame2.add(1, newFrame(page, QStringLiteral("送り・戻し時のサウンド")));
    int sy = chooseRows(step, 0, 7, 1,
                        QStringLiteral("運賃データ(*.hy3)の特定の列のデータから判断して、以下の指定したサウンドを鳴らす"
                                       "（指定した列のデータの内容が1～3以外の場合はサウンドは鳴りません）"),
                        titleInset(step));
    const QString columnCaption = QStringLiteral("運賃データの") + QString(7, kIdeographicSpace) + QStringLiteral("列目")
                                  + kIdeographicSpace + QStringLiteral("のデータが、");
    QLabel *column = Label1.add(2, newLabel(step, columnCaption));
    Combo1 = new QComboBox(step);
    forms::nameControl(*Combo1, QStringLiteral("Combo1"));
    const int rowH = Combo1->sizeHint().height();
    put(column, kMargin + 24, sy, column->sizeHint().width(), rowH);
    putInGap(Combo1, column, 0, columnCaption, 0);
    sy = valueRows(step, 3, 8, sy + rowH + kGap);
    Frame8 = newFrame(step, QStringLiteral("再生方法"));
    forms::nameControl(*Frame8, QStringLiteral("Frame8"));
    sy = playFrame(Frame8, Option6, QStringLiteral("同期再生(サウンドが完全に再生された後で運賃切り替え)"),
                   QStringLiteral("非同期再生(サウンドを再生しながら運賃切り替え)"), sy + 2);

    // Sound before an announcement.
    QGroupBox *tape = Frame2.add(
        0, newFrame(page, QStringLiteral("放送前のサウンド：※音声合成放送機能が有効でない場合は以下の設定は意味を持ちません。")));
    int ty = chooseRows(tape, 2, 3, 3,
                        QStringLiteral("放送データ(*.Tp.csv)内のフラグから判断して、以下の指定したサウンドを鳴らす"
                                       "（フラグの内容が1～3以外の場合はサウンドは鳴りません）"),
                        titleInset(tape));
    ty = valueRows(tape, 9, 4, ty);
    Frame9 = newFrame(tape, QStringLiteral("再生方法"));
    forms::nameControl(*Frame9, QStringLiteral("Frame9"));
    ty = playFrame(Frame9, Option7, QStringLiteral("同期再生(サウンドが完全に再生された後で放送開始)"),
                   QStringLiteral("非同期再生(サウンドを再生しながら放送開始)"), ty + 2);
    QLabel *note = Label1.add(
        7, newLabel(tape,
                    QStringLiteral("「放送前のサウンド」再生時は、停名のスクロールが停止することがありますので、"
                                   "あらかじめご了承ください。"),
                    true));
    ty = put(note, kMargin, ty, inner) + kMargin;

    // The two frames share one place and one size.
    const int frameHeight = qMax(sy + kMargin - kGap, ty);
    step->setGeometry(x, frameTop, fw, frameHeight);
    tape->setGeometry(x, frameTop, fw, frameHeight);
    tape->hide();

    // A synchronous sound holds the console until it ends.
    lblSyncNote = newLabel(
        page, QStringLiteral("※同期再生のサウンドは鳴り終わるまで操作できませんので、短いものを指定してください。"), true);
    forms::nameControl(*lblSyncNote, QStringLiteral("lblSyncNote"));
    return put(lblSyncNote, x + 4, frameTop + frameHeight + kGap, width - 4);
}

int frmOption::buildPreviewPage(QWidget *page)
{
    const int x = kMargin, width = m_pageWidth - 2 * x;
    int y = titleInset(page) + 2;
    chkUseSeiriPrev = new QCheckBox(QStringLiteral("整理券プレビュー機能を使用する"), page);
    forms::nameControl(*chkUseSeiriPrev, QStringLiteral("chkUseSeiriPrev"));
    y = putNatural(chkUseSeiriPrev, x, y) + kGap;

    const int inner = width - 2 * kMargin;
    Frame10 = newFrame(page, QStringLiteral("整理券プラグイン設定"));
    forms::nameControl(*Frame10, QStringLiteral("Frame10"));
    int fy = titleInset(Frame10);
    Label2 = newLabel(Frame10, QStringLiteral("整理券プラグイン（整理券プレビューを使用しない場合は、何も入れないでください）："),
                      true);
    forms::nameControl(*Label2, QStringLiteral("Label2"));
    fy = put(Label2, kMargin, fy, inner) + 2;
    txtSeiriPlgDir = new QLineEdit(Frame10);
    forms::nameControl(*txtSeiriPlgDir, QStringLiteral("txtSeiriPlgDir"));
    const int pathBottom = put(txtSeiriPlgDir, kMargin, fy, inner - 2 * (kChooserWidth + kGap));
    Command1 = new QPushButton(QStringLiteral("..."), Frame10);
    forms::nameControl(*Command1, QStringLiteral("Command1"));
    put(Command1, kMargin + inner - 2 * kChooserWidth - kGap, fy, kChooserWidth, pathBottom - fy);
    // The clear button shows the usual close glyph in place of a symbol font's.
    Command11 = new QPushButton(Frame10);
    forms::nameControl(*Command11, QStringLiteral("Command11"));
    Command11->setIcon(style()->standardIcon(QStyle::SP_LineEditClearButton, nullptr, Command11));
    put(Command11, kMargin + inner - kChooserWidth, fy, kChooserWidth, pathBottom - fy);
    fy = pathBottom + 6;

    const int half = (inner - kMargin) / 2;
    Label11 = newLabel(Frame10, QStringLiteral("上記プラグインのプロパティ："));
    forms::nameControl(*Label11, QStringLiteral("Label11"));
    Label13 = newLabel(Frame10, QStringLiteral("上記プラグインの特記事項："));
    forms::nameControl(*Label13, QStringLiteral("Label13"));
    put(Label11, kMargin, fy, half);
    fy = put(Label13, kMargin + half + kMargin, fy, half) + 2;
    List1 = new QListWidget(Frame10);
    forms::nameControl(*List1, QStringLiteral("List1"));
    txtPlginComment = new QPlainTextEdit(Frame10);
    forms::nameControl(*txtPlginComment, QStringLiteral("txtPlginComment"));
    txtPlginComment->setReadOnly(true);
    QPalette grey = txtPlginComment->palette();
    grey.setColor(QPalette::Base, grey.color(QPalette::Window));
    txtPlginComment->setPalette(grey);
    // Tall enough for the ten capability lines a plug-in gives, and as many
    // lines of notes, with no scroll bar.
    constexpr int kLines = 10;
    List1->addItem(QStringLiteral("整理券番号ｱ0"));
    const int rowHeight = List1->sizeHintForRow(0);
    List1->clear();
    const int listHeight = qMax(rowHeight * kLines + 2 * List1->frameWidth(),
                                txtPlginComment->fontMetrics().lineSpacing() * kLines
                                    + 2 * int(txtPlginComment->document()->documentMargin())
                                    + 2 * txtPlginComment->frameWidth() + 1);
    List1->setGeometry(kMargin, fy, half, listHeight);
    txtPlginComment->setGeometry(kMargin + half + kMargin, fy, half, listHeight);
    fy += listHeight + kMargin - 2;
    Frame10->setGeometry(x, y, width, fy);
    y += fy + kGap;

    Frame7 = newFrame(page, QStringLiteral("日付の設定（整理券プラグインが日付の印字をサポートしているときに有効）"));
    forms::nameControl(*Frame7, QStringLiteral("Frame7"));
    fy = titleInset(Frame7);
    auto *dateAuto = Option4.add(0, new QRadioButton(QStringLiteral("システムの日付を使用（整理券印字と同時に日付を更新、デフォルト）"), Frame7));
    auto *dateKeep = Option4.add(1, new QRadioButton(QStringLiteral("システムの日付を使用（系統設定した時点の日付を保持）"), Frame7));
    auto *dateFixed = Option4.add(2, new QRadioButton(QStringLiteral("右記の日付に固定"), Frame7));
    group(this, dateAuto, dateKeep, dateFixed);
    fy = put(dateAuto, kMargin, fy, inner) + 2;
    fy = put(dateKeep, kMargin, fy, inner);
    Label14 = newLabel(Frame7,
                       QStringLiteral("系統設定した際の日付が保持され、日付が途中で変わっても次回系統設定するまで整理券の日付変更を行いません。"),
                       true);
    forms::nameControl(*Label14, QStringLiteral("Label14"));
    fy = put(Label14, kMargin + 22, fy, inner - 22) + kGap;
    const int fixedTop = fy;
    Command7 = new QPushButton(QStringLiteral("日付選択..."), Frame7);
    forms::nameControl(*Command7, QStringLiteral("Command7"));
    const int rowH = Command7->sizeHint().height();
    put(dateFixed, kMargin, fixedTop, dateFixed->sizeHint().width(), rowH);
    Label10 = new QLabel(Frame7);
    forms::nameControl(*Label10, QStringLiteral("Label10"), forms::Naming::ByName);
    Label10->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Label10->setAlignment(Qt::AlignCenter);
    const int dateLeft = dateFixed->geometry().right() + 10;
    const int dateWidth = fontMetrics().horizontalAdvance(QStringLiteral("0000/00/00")) + 16;
    put(Label10, dateLeft, fixedTop, dateWidth, rowH);
    fy = put(Command7, dateLeft + dateWidth + kGap, fixedTop, Command7->sizeHint().width() + 12, rowH) + kMargin;
    Frame7->setGeometry(x, y, width, fy);

    // Shown only while the preview is in use.
    for (QWidget *f : {static_cast<QWidget *>(Frame10), static_cast<QWidget *>(Frame7)}) {
        f->setEnabled(false);
        f->hide();
    }
    return y + fy;
}

void frmOption::connectHandlers()
{
    forms::onClick(Command4, [this] { Command4_Click(); });
    forms::onClick(cmdSelectSound, [this](int i) { cmdSelectSound_Click(i); });
    forms::onClick(Command6, [this](int i) { Command6_Click(i); });
    forms::onClick(Command3, [this](int i) { Command3_Click(i); });
    forms::onClick(Command10, [this](int i) { Command10_Click(i); });
    forms::onClick(Command11, [this] { Command11_Click(); });
    forms::onClick(Command1, [this] { Command1_Click(); });
    forms::onClick(Command5, [this](int i) { Command5_Click(i); });
    forms::onClick(Command9, [this](int i) { Command9_Click(i); });
    forms::onClick(Command8, [this](int i) { Command8_Click(i); });
    forms::onClick(Command7, [this] { Command7_Click(); });
    forms::onSelected(Option1, [this](int i) { Option1_Click(i); });
    forms::onSelected(Option5, [this](int i) { Option5_Click(i); });
    forms::onSelected(Option3, [this](int i) { Option3_Click(i); });
    forms::onChange(Check1, [this] { Check1_Click(); });
    forms::onChange(Check3, [this](int i) { Check3_Click(i); });
    forms::onChange(chkUseSeiriPrev, [this] { chkUseSeiriPrev_Click(); });
    // The preview follows the digit colours however they are set.
    for (auto [i, b] : Command8)
        b->installEventFilter(this);
}

void frmOption::Form_Load()
{
    M_Degit1->setDegitSize(0);
    for (int i = 0; i <= 3; ++i)
        fillNumbers(Combo4(i), 60);
    fillNumbers(Combo1, 150);
    fillNumbers(Combo4(4), 150);
    AddComboItem();
    options::applyStartValues(*this, options::Starting::Lists);
    M_Degit1->setValue(123);
    showPreviewColors();
}

void frmOption::AddComboItem()
{
    static const char16_t *const heads[] = {
        u"1,2,3...",       u"0,1,2...",       u"「なし」、1,2...", u"「なし」、2,3...",
        u"「無券」、1,2...", u"「無券」、2,3...", u"「券なし」、1,2...", u"「券なし」、2,3...",
        u"「券無し」、1,2...", u"「券無し」、2,3...", u"(無地)、1,2...",   u"(無地)、2,3...",
    };
    static const int lasts[] = {60, 59, 59, 60, 59, 60, 59, 60, 59, 60, 59, 60};
    QStringList items;
    for (int i = 0; i < 12; ++i) {
        items << QString::fromUtf16(heads[i]) + QLatin1Char(' ') + QString::number(lasts[i])
                     + (i == 0 ? QStringLiteral(" （既定の表示）") : QString());
    }
    Combo2->addItems(items);
    forms::setListIndex(*Combo2, 0);
}

QString frmOption::GetPathString()
{
    return kxp4::Kx3FolderDlg(this, QStringLiteral("フォルダーを選択してください"));
}

void frmOption::GetBtnColor(QAbstractButton &button)
{
    auto colour = int32_t(forms::faceColor(button));
    if (kxp4::Kx3ChooseColor(this, colour, m_customColors) != 0)
        forms::setFaceColor(button, uint32_t(colour));
}

QString frmOption::chooseFile(const QString &filter, const QString &title)
{
    return kxp4::Kx3FileDlg(this, 0, filter, QString(), title);
}

void frmOption::Command1_Click()
{
    const QChar nul(0);
    const QString filter = QStringLiteral("整理券プラグイン(*.4SP)") + nul + QStringLiteral("*.4SP") + nul + nul;
    QString chosen = chooseFile(filter, QStringLiteral("プラグインの選択"));
    if (chosen.isEmpty())
        return;
    windows::frmCtl().Combo1->clear();
    if (SetPlgin(chosen) != 0)
        forms::setText(*txtSeiriPlgDir, chosen);
    else
        platform::MsgBox(QStringLiteral("指定したファイルはプラグインでないか、内容が不正です"), platform::vbCritical,
                         QStringLiteral("プラグインロードエラー"));
}

void frmOption::Command4_Click()
{
    // A failing SetProp keeps the dialog open, so nothing the user set is lost.
    SetProp();
    accept();
}

void frmOption::reject()
{
    platform::guarded([this] { Command4_Click(); });
}

void frmOption::cmdSelectSound_Click(int Index)
{
    const QString chosen = chooseFile(soundFilter(), QStringLiteral("サウンドの選択"));
    if (!chosen.isEmpty())
        forms::setText(*txtSelectSound(Index), chosen);
}

void frmOption::Command6_Click(int Index)
{
    const QString chosen = chooseFile(panelImageFilter(), QStringLiteral("パネル画像の選択"));
    if (!chosen.isEmpty())
        forms::setText(*txtSelectPanel(Index), chosen);
}

void frmOption::Command3_Click(int Index)
{
    const QString chosen = GetPathString();
    if (!chosen.isEmpty())
        forms::setText(*Text2(Index), chosen);
}

void frmOption::Command10_Click(int Index)
{
    // Opening the folder is a convenience: whatever goes wrong stays silent.
    try {
        platform::shellOpen(forms::text(*Text2(Index)));
    } catch (...) {
    }
}

void frmOption::Command11_Click()
{
    forms::setText(*txtSeiriPlgDir, QString());
    List1->clear();
    txtPlginComment->clear();
}

void frmOption::Command5_Click(int Index)
{
    GetBtnColor(*Command5(Index));
}

void frmOption::Command9_Click(int Index)
{
    GetBtnColor(*Command9(Index));
}

void frmOption::Command8_Click(int Index)
{
    GetBtnColor(*Command8(Index));
    showPreviewColors();
}

void frmOption::showPreviewColors()
{
    M_Degit1->setBackColor(forms::faceColor(*Command8(0)));
    M_Degit1->setBaseForeColor(forms::faceColor(*Command8(1)));
    M_Degit1->setDegitForeColor(forms::faceColor(*Command8(2)));
}

bool frmOption::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::DynamicPropertyChange && M_Degit1)
        if (static_cast<QDynamicPropertyChangeEvent *>(event)->propertyName() == "faceColor")
            showPreviewColors();
    return QDialog::eventFilter(watched, event);
}

void frmOption::Command7_Click()
{
    kxp4::SystemTime date;
    if (kxp4::Call_dlg111(this, date) == 0)
        return;
    forms::setCaption(*Label10, QStringLiteral("%1/%2/%3")
                                    .arg(date.wYear)
                                    .arg(date.wMonth, 2, 10, QLatin1Char('0'))
                                    .arg(date.wDay, 2, 10, QLatin1Char('0')));
}

void frmOption::Option1_Click(int Index)
{
    // One page in front; the others are covered, and kept out of the tab order.
    for (auto [i, page] : Frame1)
        page->setVisible(i == Index);
    Frame1(Index)->raise();
    m_frontPage = Index;
}

void frmOption::Option5_Click(int Index)
{
    for (auto [i, frame] : Frame2)
        frame->setVisible(i == Index);
    Frame2(Index)->raise();
    m_frontSoundFrame = Index;
}

void frmOption::Option3_Click(int)
{
    const bool v = forms::optionValue(*Option3(0)) == 0;
    for (auto [i, frame] : Frame6) {
        frame->setEnabled(v);
        frame->setVisible(v);
    }
}

void frmOption::Check1_Click()
{
    // Follows the value, so a box set twice to the same value cannot desynchronise.
    Frame3->setEnabled(forms::checkValue(*Check1) != 0);
}

void frmOption::Check3_Click(int Index)
{
    const bool on = forms::checkValue(*Check3(Index)) != 0;
    switch (Index) {
    case 0:
        Combo4(0)->setEnabled(on);
        Check3(4)->setEnabled(on);
        break;
    case 1: Combo4(1)->setEnabled(on); break;
    case 2: Combo4(2)->setEnabled(on); break;
    case 3:
        Combo4(3)->setEnabled(on);
        Combo4(4)->setEnabled(on);
        break;
    default: break;
    }
}

void frmOption::chkUseSeiriPrev_Click()
{
    const bool on = forms::checkValue(*chkUseSeiriPrev) != 0;
    for (QWidget *f : {static_cast<QWidget *>(Frame10), static_cast<QWidget *>(Frame7)}) {
        f->setEnabled(on);
        f->setVisible(on);
    }
}
