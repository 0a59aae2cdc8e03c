#include "windows/mdl427_000.h"

#include "core/FontNames.h"
#include "core/VbError.h"
#include "forms/Values.h"
#include "forms/Windows.h"
#include "options/OptionTable.h"
#include "options/frmOption.h"
#include "panel/Form1.h"
#include "panel/M_Degit/M_Degit.h"
#include "platform/MsgBox.h"
#include "platform/Units.h"

#include <QLabel>

namespace mdl427_000 {

namespace {

CaptionWriter &captionWriter()
{
    static CaptionWriter w;
    return w;
}

void setCaption(QLabel *label, const QString &text)
{
    if (const CaptionWriter &w = captionWriter())
        w(*label, text);
    else
        forms::setCaption(*label, text);
}

void setFontName(QLabel *label, const QString &family)
{
    QFont f = label->font();
    f.setFamily(family);
    label->setFont(f);
}

} // namespace

void ClearAllDegit(Form1 &panel)
{
    for (int i = 1; i <= Form1::kCells; ++i)
        panel.Degit(i)->ResetDegit(false);
}

void InitPanelDefault(Form1 &panel)
{
    // The first touch of the options dialog creates it, hidden, and runs its load.
    frmOption &options = windows::frmOption();
    // The ticket numbers shown, in their colours (the glossary's start values
    // that the start-up sets).
    options::applyStartValues(options, options::Starting::PanelStartUp);
    panel.setPicture(panel.imgRes(0));
    panel.imgRes(1) = panel.imgRes(0);
    panel.imgRes(2) = panel.imgRes(0);
    options.SetProp();
}

void setCaptionWriter(CaptionWriter writer)
{
    captionWriter() = std::move(writer);
}

QString seiriNumText(int n, bool zeroPad)
{
    QString t = zeroPad ? QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')) : QString::number(n);
    for (QChar &c : t)
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            c = QChar(0xFF10 + (c.unicode() - '0'));
    return t;
}

void SeirikenNumSet(Form1 &panel, int16_t scheme, int16_t zeroPad)
{
    try {
        QString word;
        switch (scheme) {
        case 2: case 3: word = QStringLiteral("な し"); break;
        case 4: case 5: word = QStringLiteral("無 券"); break;
        case 6: case 7: word = QStringLiteral("券なし"); break;
        case 8: case 9: word = QStringLiteral("券無し"); break;
        default: break;
        }
        QLabel *first = panel.lblSeiriNum(1);
        if (scheme >= 2) {
            setFontName(first, fonts::msPGothic());
            setCaption(first, word);
        } else {
            setFontName(first, fonts::labelFace());
        }
        const bool pad = zeroPad != 0;
        if (scheme == 0) {
            for (int i = 1; i <= 60; ++i)
                setCaption(panel.lblSeiriNum(i), seiriNumText(i, pad));
        } else if (scheme == 1) {
            for (int i = 0; i <= 59; ++i)
                setCaption(panel.lblSeiriNum(i + 1), seiriNumText(i, pad));
        } else if (scheme >= 2 && scheme <= 11) {
            const int offset = (scheme % 2 == 0) ? 0 : 1; // even: from 1, odd: from 2
            for (int i = 1; i <= 59; ++i)
                setCaption(panel.lblSeiriNum(i + 1), seiriNumText(i + offset, pad));
        }
    } catch (...) {
        const vb::Error e = vb::currentError();
        platform::MsgBox(QStringLiteral("エラーです！\r\n\r\nコード：%1\r\n\r\n内容：%2\r\n\r\nモジュール：IniIO-SeirikenNumSet( )")
                             .arg(e.number())
                             .arg(e.description()),
                         platform::vbCritical, QStringLiteral("エラー！"));
    }
}

} // namespace mdl427_000
