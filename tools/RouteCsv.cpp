#include "tools/RouteCsv.h"

#include "core/Cp932.h"
#include "core/VbError.h"
#include "sound/TapeList.h"

#include <QRegularExpression>
#include <QStringDecoder>
#include <algorithm>

namespace routecsv {

namespace {

const QByteArray kBom("\xEF\xBB\xBF", 3);

[[noreturn]] void fail(int number, const Field &f, const QString &what)
{
    vb::raise(number, QStringLiteral("line %1, %2: %3").arg(f.line).arg(columnName(f.column), what));
}

// A whole number in 16 bits; an empty cell is 0.
int16_t number16(const Field &f, const QString &what)
{
    const QString t = f.text.trimmed();
    if (t.isEmpty())
        return 0;
    bool ok = false;
    const qlonglong v = t.toLongLong(&ok);
    if (!ok)
        fail(vb::ErrTypeMismatch, f, QStringLiteral("%1 \"%2\" is not a whole number").arg(what, t));
    if (v < INT16_MIN || v > INT16_MAX)
        fail(vb::ErrOverflow, f, QStringLiteral("%1 %2 does not fit 16 bits (-32768..32767)").arg(what, t));
    return int16_t(v);
}

bool blank(const Row &row)
{
    for (const Field &f : row)
        if (!f.text.trimmed().isEmpty())
            return false;
    return true;
}

QString quoted(const QString &text)
{
    if (!text.contains(u',') && !text.contains(u'"') && !text.contains(u'\n') && !text.contains(u'\r')
        && text.trimmed() == text)
        return text;
    QString q = text;
    q.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return u'"' + q + u'"';
}

} // namespace

Encoding detectEncoding(QByteArrayView bytes)
{
    if (bytes.startsWith(kBom))
        return Encoding::Utf8Bom;
    QStringDecoder utf8(QStringDecoder::Utf8);
    (void)QString(utf8.decode(bytes));
    return utf8.hasError() ? Encoding::Cp932 : Encoding::Utf8;
}

QString decodeText(QByteArrayView bytes, Encoding encoding)
{
    switch (encoding) {
    case Encoding::Utf8Bom: return QString::fromUtf8(bytes.sliced(kBom.size()));
    case Encoding::Utf8: return QString::fromUtf8(bytes);
    case Encoding::Cp932: break;
    }
    return cp932::decode(bytes);
}

QString columnName(int column)
{
    QString letters;
    for (int n = column; n > 0; n = (n - 1) / 26)
        letters.prepend(QChar(u'A' + (n - 1) % 26));
    return QStringLiteral("column %1 (%2)").arg(column).arg(letters);
}

QList<Row> splitCsv(const QString &text)
{
    QList<Row> rows;
    Row row;
    Field field{{}, 1, 1};
    int line = 1;
    bool inQuotes = false;
    bool endOfRow = false;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        const bool atEnd = i == text.size();
        const QChar c = atEnd ? QChar() : text[i];
        if (inQuotes && !atEnd) {
            if (c == u'"' && i + 1 < text.size() && text[i + 1] == u'"') {
                field.text += u'"';
                ++i;
            } else if (c == u'"') {
                inQuotes = false;
            } else {
                if (c == u'\n')
                    ++line;
                field.text += c;
            }
            continue;
        }
        if (inQuotes)
            vb::raise(vb::ErrInputPastEnd, QStringLiteral("line %1, %2: a quote is never closed")
                                               .arg(field.line)
                                               .arg(columnName(field.column)));
        if (atEnd || c == u'\n' || c == u'\r') {
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
            endOfRow = true;
        } else if (c == u',') {
            row.append(field);
            field = Field{{}, line, field.column + 1};
            continue;
        } else if (c == u'"' && field.text.trimmed().isEmpty()) {
            field.text.clear();
            inQuotes = true;
            continue;
        } else {
            field.text += c;
            continue;
        }
        if (endOfRow) {
            row.append(field);
            // A final line break ends the last row; it opens no new one.
            if (!(atEnd && row.size() == 1 && row[0].text.isEmpty() && !rows.isEmpty()))
                rows.append(row);
            row.clear();
            ++line;
            field = Field{{}, line, 1};
            endOfRow = false;
        }
    }
    return rows;
}

QList<fare::FareRecord> readRouteCsv(QByteArrayView bytes)
{
    const QList<Row> rows = splitCsv(decodeText(bytes, detectEncoding(bytes)));
    QList<fare::FareRecord> records;
    for (const Row &row : rows) {
        if (blank(row))
            continue;
        if (records.size() == fare::kRows)
            fail(vb::ErrSubscript, row[0], QStringLiteral("more than %1 stops").arg(fare::kRows));
        fare::FareRecord r;
        const QString name = cp932::premap(row[0].text);
        if (cp932::decode(cp932::encode(name)) != name) {
            for (const QChar c : name)
                if (cp932::decode(cp932::encode(QString(c))) != QString(c))
                    fail(vb::ErrInvalidCall, row[0],
                         QStringLiteral("the stop name \"%1\" holds \"%2\" (U+%3), which code page 932 cannot write")
                             .arg(name, QString(c))
                             .arg(c.unicode(), 4, 16, QLatin1Char('0')));
        }
        r.StopName = name;
        if (row.size() > 1)
            r.SeiriNo = number16(row[1], QStringLiteral("the ticket number"));
        for (qsizetype k = 2; k < row.size(); ++k) {
            const int fareColumn = int(k) - 1;
            if (fareColumn > fare::kColumns) {
                if (!row[k].text.trimmed().isEmpty())
                    fail(vb::ErrSubscript, row[k], QStringLiteral("only %1 value columns are read").arg(fare::kColumns));
                continue;
            }
            r.Fare[size_t(fareColumn - 1)] = number16(row[k], QStringLiteral("value column %1").arg(fareColumn));
        }
        records.append(r);
    }
    if (records.isEmpty())
        vb::raise(vb::ErrInputPastEnd, QStringLiteral("line 1: no stop in the file"));
    return records;
}

QByteArray writeRouteCsv(const QList<fare::FareRecord> &records, Encoding encoding)
{
    QString text;
    for (const fare::FareRecord &r : records) {
        int last = fare::kColumns;
        while (last > 0 && r.Fare[size_t(last - 1)] == 0)
            --last;
        text += quoted(r.StopName) + u',' + QString::number(r.SeiriNo);
        for (int c = 1; c <= last; ++c)
            text += u',' + QString::number(r.Fare[size_t(c - 1)]);
        text += QStringLiteral("\r\n");
    }
    switch (encoding) {
    case Encoding::Utf8Bom: return kBom + text.toUtf8();
    case Encoding::Utf8: return text.toUtf8();
    case Encoding::Cp932: break;
    }
    return cp932::encode(text);
}

QByteArray convertTapeCsv(QByteArrayView bytes)
{
    const Encoding seen = detectEncoding(bytes);
    const QString text = decodeText(bytes, seen);
    const QStringList lines = text.split(QRegularExpression(QStringLiteral("\r\n|\n|\r")));
    QByteArray out;
    for (qsizetype n = 0; n < lines.size(); ++n) {
        if (n == lines.size() - 1 && lines[n].isEmpty() && n > 0)
            break; // the final line break
        const QString line = cp932::premap(lines[n]);
        for (qsizetype k = 0; k < line.size(); ++k) {
            const QString c = line.mid(k, line[k].isHighSurrogate() ? 2 : 1);
            if (cp932::decode(cp932::encode(c)) != c)
                vb::raise(vb::ErrInvalidCall,
                          QStringLiteral("line %1, character %2: \"%3\" (U+%4) cannot be written in code page 932")
                              .arg(n + 1)
                              .arg(k + 1)
                              .arg(c)
                              .arg(c.toUcs4().value(0), 4, 16, QLatin1Char('0')));
        }
        out += cp932::encode(line) + "\r\n";
    }
    return out;
}

TapeCheck checkTapeCsv(QByteArrayView bytes)
{
    TapeCheck check;
    const Encoding seen = detectEncoding(bytes);
    const bool wide = std::any_of(bytes.begin(), bytes.end(), [](char b) { return (b & 0x80) != 0; });
    if (seen != Encoding::Cp932 && wide)
        check.warnings << QStringLiteral("line 1: the file is UTF-8; the program reads code page 932 and will show other characters");
    const QString text = cp932::decode(bytes);
    const QStringList lines = text.split(QRegularExpression(QStringLiteral("\r\n|\n|\r")));
    for (qsizetype n = 0; n < lines.size(); ++n) {
        const int lineNo = int(n) + 1;
        if (n == lines.size() - 1 && lines[n].isEmpty() && n > 0)
            break; // the final line break
        // One line at a time: a quote does not carry over to the next line.
        QList<Row> parsed;
        try {
            parsed = splitCsv(lines[n]);
        } catch (...) {
            vb::raise(vb::ErrInputPastEnd, QStringLiteral("line %1: a quote is never closed").arg(lineNo));
        }
        Row row = parsed.value(0);
        for (Field &f : row)
            f.line = lineNo;
        auto flag = [&](int index, const char *what) -> int16_t {
            if (row.size() <= index)
                return 0;
            const Field &f = row[index];
            bool ok = false;
            const int v = f.text.trimmed().toInt(&ok);
            if (!ok || v < INT16_MIN || v > INT16_MAX) {
                if (!f.text.trimmed().isEmpty())
                    check.warnings << QStringLiteral("line %1, %2: the %3 \"%4\" reads as 0")
                                          .arg(lineNo)
                                          .arg(columnName(f.column), QLatin1String(what), f.text.trimmed());
                return 0;
            }
            return int16_t(v);
        };
        flag(1, "step flag");
        const int16_t soundFlag = flag(2, "sound flag");
        if (soundFlag < 0 || soundFlag > 3)
            check.warnings << QStringLiteral("line %1, %2: sound flag %3 names no sound (1..3)")
                                  .arg(lineNo)
                                  .arg(columnName(3))
                                  .arg(soundFlag);
        if (row.size() > 3)
            check.warnings << QStringLiteral("line %1, %2: fields past the third are ignored").arg(lineNo).arg(columnName(4));
    }
    // What the program reads comes from the program's own reader; the scan
    // above only explains, by line and column, what reads other than it looks.
    for (const tape::TapeLine &l : tape::readTapeList(bytes))
        check.entries.append({l.TapeText, l.StepFlag, l.SoundFlag});
    return check;
}

} // namespace routecsv
