#include "options/StoredTextBox.h"

#include "core/StoredText.h"

#include <QLineEdit>
#include <QToolTip>
#include <QValidator>

namespace storedtext {

namespace {

class Validator : public QValidator {
public:
    explicit Validator(QLineEdit *box)
        : QValidator(box)
        , m_box(box)
        , m_before(box->text())
    {
        connect(box, &QLineEdit::textChanged, this, [this](const QString &t) { m_before = t; });
    }

    State validate(QString &input, int &pos) const override
    {
        const Edit e = fit(m_before, input, pos);
        if (e.cut)
            QToolTip::showText(m_box->mapToGlobal(QPoint(0, m_box->height())),
                               QStringLiteral("入力できるのは半角%1文字（全角%2文字）までです。")
                                   .arg(kMaxBytes)
                                   .arg(kMaxBytes / 2),
                               m_box);
        if (e.refused)
            return Invalid;
        input = e.text;
        pos = e.cursor;
        return Acceptable;
    }

private:
    QLineEdit *m_box;
    QString m_before; // the text before the edit being validated
};

} // namespace

void limitBox(QLineEdit &box)
{
    // Qt's own limit counts UTF-16 units and would cut a stored text at 32767;
    // a text within the byte limit has at most two units per byte.
    box.setMaxLength(2 * kMaxBytes);
    box.setValidator(new Validator(&box));
}

} // namespace storedtext
