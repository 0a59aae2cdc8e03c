#include "platform/speech/Reading.h"

#include "core/Cp932.h"
#include "opendata/Csv.h"

#include <QByteArray>
#include <QList>
#include <QMutex>

#include <mecab.h>

#include <memory>
#include <mutex>

namespace speech {
namespace {

struct ModelDeleter {
    void operator()(mecab_model_t *m) const { mecab_model_destroy(m); }
};
struct LatticeDeleter {
    void operator()(mecab_lattice_t *l) const { mecab_lattice_destroy(l); }
};
struct TaggerDeleter {
    void operator()(mecab_t *t) const { mecab_destroy(t); }
};

// The model is shared by every thread; taggers and lattices are per call.
std::unique_ptr<mecab_model_t, ModelDeleter> g_model;
std::once_flag g_loaded;

bool isUtf8(mecab_model_t *m)
{
    const mecab_dictionary_info_t *info = mecab_model_dictionary_info(m);
    const QByteArray cs = info && info->charset ? QByteArray(info->charset).toLower() : QByteArray();
    return cs == "utf8" || cs == "utf-8";
}

void load()
{
    // The system's default dictionary first, then the UTF-8 one by its path
    // (the default may be an EUC-JP build, or the rc file may be missing).
    for (const char *arg : {"", "-r /dev/null -d /var/lib/mecab/dic/ipadic-utf8"}) {
        std::unique_ptr<mecab_model_t, ModelDeleter> m(mecab_model_new2(arg));
        if (m && isUtf8(m.get())) {
            g_model = std::move(m);
            return;
        }
    }
}

mecab_model_t *model()
{
    std::call_once(g_loaded, load);
    return g_model.get();
}

// Field 9 of the dictionary's feature text is the pronunciation; unknown
// words have fewer fields or '*'.
QByteArray pronunciation(const char *feature)
{
    const QList<QByteArray> f = QByteArray(feature).split(',');
    if (f.size() < 9 || f[8].isEmpty() || f[8] == "*")
        return {};
    return f[8];
}

bool isNumber(const char *s, unsigned len)
{
    for (unsigned i = 0; i < len; ++i)
        if (s[i] < '0' || s[i] > '9')
            return false;
    return len > 0;
}

// Full-width digits as the voice reads them.
QString asciiDigits(QString text)
{
    for (QChar &c : text)
        if (c >= u'０' && c <= u'９')
            c = QChar(u'0' + (c.unicode() - u'０'));
    return text;
}

// Lattice memory grows with the sentence, so text goes in pieces of at most
// this many characters, cut after a sentence end where there is one.
constexpr qsizetype kPiece = 512;

qsizetype pieceEnd(const QString &text, qsizetype from)
{
    const qsizetype limit = std::min(text.size(), from + kPiece);
    qsizetype pause = -1;
    for (qsizetype i = from; i < limit; ++i) {
        const QChar c = text[i];
        if (c == u'。' || c == u'！' || c == u'？' || c == u'\n')
            return i + 1;
        if (c == u'、' || c == u' ' || c == u'　')
            pause = i + 1;
    }
    if (limit < text.size() && pause > 0)
        return pause; // a cut inside a word would change how it reads
    // Never between the two halves of a surrogate pair.
    if (limit < text.size() && text[limit - 1].isHighSurrogate() && limit - 1 > from)
        return limit - 1;
    return limit;
}

void readPiece(mecab_t *tagger, mecab_lattice_t *lattice, const QByteArray &utf8, QByteArray &out)
{
    mecab_lattice_set_sentence2(lattice, utf8.constData(), size_t(utf8.size()));
    if (!mecab_parse_lattice(tagger, lattice)) {
        out += utf8;
        return;
    }
    for (const mecab_node_t *n = mecab_lattice_get_bos_node(lattice); n; n = n->next) {
        if (n->stat == MECAB_BOS_NODE || n->stat == MECAB_EOS_NODE)
            continue;
        if (n->rlength > n->length && !out.isEmpty() && !out.endsWith(' '))
            out += ' '; // the blanks MeCab skipped before this word
        // Numbers are read by the voice as numbers; the dictionary would
        // read "１２" digit by digit.
        const QByteArray said = isNumber(n->surface, n->length) ? QByteArray() : pronunciation(n->feature);
        out += said.isEmpty() ? QByteArray(n->surface, n->length) : said;
    }
    // Blanks after the last word.
    const char *end = utf8.constData() + utf8.size();
    if (utf8.size() > 0 && (end[-1] == ' ' || end[-1] == '\t') && !out.endsWith(' '))
        out += ' ';
}

// The user's list, read by the speech thread while the console may replace it.
QMutex g_userMutex;
QHash<QString, QString> g_user;
QList<QString> g_userNames; // longest first

QString katakana(QString kana)
{
    for (QChar &c : kana)
        if (c.unicode() >= 0x3041 && c.unicode() <= 0x3096)
            c = QChar(char16_t(c.unicode() + 0x60));
    return kana;
}

QString dictionaryReading(const QString &text)
{
    mecab_model_t *m = model();
    if (!m || text.isEmpty())
        return text;
    std::unique_ptr<mecab_t, TaggerDeleter> tagger(mecab_model_new_tagger(m));
    std::unique_ptr<mecab_lattice_t, LatticeDeleter> lattice(mecab_model_new_lattice(m));
    if (!tagger || !lattice)
        return text;
    QByteArray out;
    const QString t = asciiDigits(text);
    for (qsizetype i = 0; i < t.size();) {
        const qsizetype e = pieceEnd(t, i);
        readPiece(tagger.get(), lattice.get(), t.sliced(i, e - i).toUtf8(), out);
        i = e;
    }
    return QString::fromUtf8(out);
}

} // namespace

bool loadReadingDictionary() { return model() != nullptr; }

void setUserReadings(const QHash<QString, QString> &readings)
{
    QList<QString> names;
    for (auto it = readings.cbegin(); it != readings.cend(); ++it)
        if (!it.key().isEmpty())
            names.append(it.key());
    std::sort(names.begin(), names.end(), [](const QString &a, const QString &b) { return a.size() > b.size() || (a.size() == b.size() && a < b); });
    QMutexLocker lock(&g_userMutex);
    g_user = readings;
    g_userNames = names;
}

QHash<QString, QString> readUserReadings(QByteArrayView bytes)
{
    const bool utf8 = bytes.startsWith("\xEF\xBB\xBF");
    QHash<QString, QString> out;
    opendata::CsvLimits raw; // code page 932 unless marked: decoded here
    raw.rawBytes = true;
    opendata::readCsv(QStringLiteral("readings"), bytes, [&](const opendata::CsvRecord &r) {
        const auto text = [&](int i) { return (utf8 ? QString::fromUtf8(r.field(i)) : cp932::decode(r.field(i))).trimmed(); };
        const QString name = text(0), said = text(1);
        if (!name.isEmpty() && !said.isEmpty())
            out.insert(name, said);
    }, raw);
    return out;
}

QString reading(const QString &text)
{
    QHash<QString, QString> user;
    QList<QString> names;
    {
        QMutexLocker lock(&g_userMutex);
        user = g_user;
        names = g_userNames;
    }
    if (names.isEmpty())
        return dictionaryReading(text);
    // The listed names keep the user's reading; the text between them goes
    // to the dictionary.
    QString out, between;
    for (qsizetype i = 0; i < text.size();) {
        const QString *hit = nullptr;
        for (const QString &n : names)
            if (text.size() - i >= n.size() && QStringView(text).sliced(i, n.size()) == n) {
                hit = &n;
                break;
            }
        if (!hit) {
            between += text[i++];
            continue;
        }
        out += dictionaryReading(between);
        between.clear();
        out += katakana(user.value(*hit));
        i += hit->size();
    }
    return out + dictionaryReading(between);
}

} // namespace speech
