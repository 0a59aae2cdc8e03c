// The choosers the pages open (a folder, a file, a colour), through the
// helper library's dialogs. They live apart from the dialog's own code so
// that the pages lean on them without leaning on the dialog that builds them.
#include "options/frmOption.h"

#include "core/KXP4Res.h"
#include "forms/Values.h"

#include <QAbstractButton>

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
