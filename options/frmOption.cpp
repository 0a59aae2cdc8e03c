// The options dialog: its pages stacked behind the page buttons (each page,
// its controls and its handlers, in options/pages/), the tab order, the
// load, and what all pages share.
#include "options/frmOption.h"

#include "core/FontNames.h"
#include "core/VbError.h"
#include "forms/Handlers.h"
#include "forms/Values.h"
#include "forms/Windows.h"
#include "options/ColourButton.h"
#include "options/OptionTable.h"
#include "options/PageKit.h"
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

using namespace optionpages;
using platform::twipsToPixels;

frmOption::frmOption(QWidget *parent)
    : QDialog(parent)
{
    windows::adopt(windows::Id::Options, this);
    setWindowTitle(QStringLiteral("オプション"));
    setModal(true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setFont(QFont(fonts::msPGothic(), 9));
    buildPages();
    registerFieldControls();
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

void frmOption::registerFieldControls()
{
    for (const options::OptionField &f : options::allOptionFields()) {
        QWidget *w = findChild<QWidget *>(QLatin1String(f.control));
        if (!options::holdsKind(w, f.kind))
            vb::raise(vb::ErrInternal, QStringLiteral("コントロールがありません: %1").arg(QLatin1String(f.control)));
        m_fieldControls[size_t(f.id)] = w;
    }
}

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

void frmOption::connectHandlers()
{
    forms::onClick(Command4, [this] { Command4_Click(); });
    forms::onClick(cmdSelectSound, [this](int i) { cmdSelectSound_Click(i); });
    forms::onClick(Command6, [this](int i) { Command6_Click(i); });
    forms::onClick(Command3, [this](int i) { Command3_Click(i); });
    forms::onClick(Command10, [this](int i) { Command10_Click(i); });
    forms::onClick(cmdImportGtfs, [this] { cmdImportGtfs_Click(); });
    forms::onClick(cmdImportCsv, [this] { cmdImportCsv_Click(); });
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

void frmOption::Option1_Click(int Index)
{
    // One page in front; the others are covered, and kept out of the tab order.
    for (auto [i, page] : Frame1)
        page->setVisible(i == Index);
    Frame1(Index)->raise();
    m_frontPage = Index;
}
