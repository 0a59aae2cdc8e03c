#include "fuzz/FuzzEntries.h"

#include "console/Picture.h"
#include "core/Cp932.h"
#include "core/IniData.h"
#include "core/VbError.h"
#include "follow/Nmea.h"
#include "follow/NmeaStream.h"
#include "follow/RideFollower.h"
#include "follow/StopsFile.h"
#include "helperlib/Codabar.h"
#include "helperlib/Plugin4sp.h"
#include "helperlib/TicketRenderer.h"
#include "helperlib/include/kxp4res_api.h"
#include "opendata/Gtfs.h"
#include "platform/HeapUse.h"
#include "platform/mci/Mci.h"
#include "platform/mci/MciCommand.h"
#include "platform/mci/MidiFile.h"
#include "platform/mci/MidiSynth.h"
#include "platform/mci/SoundFile.h"
#include "ride/FareData.h"
#include "sound/TapeList.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QString>
#include <QVariant>

#include <algorithm>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

namespace fuzz {

namespace {

namespace mci = platform::mci;

constexpr int kRate = 44100;
// The sound open body mixes at a low rate: the same code, twenty times fewer
// samples for the many inputs that claim minutes of sound (a WAV of 2 Hz).
constexpr int kSoundRate = 2000;
// A MIDI file plays its first seconds through the synthesiser, which must
// keep up with real time with room for the sanitizers and a loaded machine.
constexpr int kMidiPlaySeconds = 2;
constexpr int kMidiPlayBoundMs = 2000;
// A print of any plug-in the reader takes is a few milliseconds; this bound
// leaves room for a loaded machine and the sanitizers. The first print also
// opens the faces its characters need, once in a program's life.
constexpr int kDrawBoundMs = 200;
constexpr int kFirstDrawBoundMs = 3000;

void require(bool ok, const char *what)
{
    if (!ok) {
        std::fprintf(stderr, "fuzz check failed: %s\n", what);
        std::abort();
    }
}

bool oneOf(int e, std::initializer_list<int> codes)
{
    for (int c : codes)
        if (e == c)
            return true;
    return false;
}

// A chunk within the bound, or a numbered failure with nothing held.
void requireSound(int e, const mci::Pcm &pcm, int rate, std::initializer_list<int> failures)
{
    if (e == 0) {
        require(pcm.data() != nullptr && pcm.frames() > 0, "a sound that opens has samples");
        require(pcm.frames() <= mci::maxFrames(rate), "a sound is at most five minutes long");
    } else {
        require(oneOf(e, failures), "a failure carries one of the expected numbers");
        require(pcm.frames() == 0, "a failure holds no samples");
    }
}

QByteArrayView view(const uint8_t *data, size_t size)
{
    return {reinterpret_cast<const char *>(data), qsizetype(size)};
}

// Runs a reader; a vb::Error it raises must carry one of the numbers given.
template<typename F>
bool reads(F &&f, std::initializer_list<int> failures)
{
    try {
        f();
        return true;
    } catch (const vb::Error &e) {
        require(oneOf(e.number(), failures), "a failure carries one of the reader's numbers");
        return false;
    }
}

// Every field of two settings records, compared by the one field list.
bool sameSettings(const IniData &a, const IniData &b)
{
    QList<QVariant> fa, fb;
    auto collect = [](QList<QVariant> &out) {
        return [&out](const char *, const auto &v) { out.append(QVariant::fromValue(v)); };
    };
    ini::visitFields(a, collect(fa));
    ini::visitFields(b, collect(fb));
    bool same = fa == fb && a.CustomColors == b.CustomColors;
    for (size_t i = 0; same && i < a.DegitOpt.size(); ++i)
        same = a.DegitOpt[i].Shift == b.DegitOpt[i].Shift && a.DegitOpt[i].ZeroMode == b.DegitOpt[i].ZeroMode
               && a.DegitOpt[i].FillZero == b.DegitOpt[i].FillZero;
    return same;
}

bool anyReplaced(const IniData &d)
{
    bool replaced = false;
    ini::visitFields(d, [&replaced](const char *, const auto &v) {
        if constexpr (std::is_same_v<std::decay_t<decltype(v)>, QString>)
            replaced = replaced || v.contains(QChar::ReplacementCharacter);
    });
    return replaced;
}

} // namespace

int soundOpen(const uint8_t *data, size_t size)
{
    const QByteArrayView file = view(data, size);
    mci::Pcm wave, mpeg;
    const int ew = mci::decodeSound(file, mci::Device::Wave, kSoundRate, wave);
    requireSound(ew, wave, kSoundRate, {mci::ErrInvalidFile, mci::ErrOutOfMemory});
    // The MPEG device reads WAV files too; a long one it is not asked to read twice.
    if (ew == 0 && wave.frames() > size_t(kSoundRate))
        return 0;
    const int em = mci::decodeSound(file, mci::Device::Mpeg, kSoundRate, mpeg);
    requireSound(em, mpeg, kSoundRate, {mci::ErrInvalidFile, mci::ErrOutOfMemory});
    if (ew == 0)
        require(em == 0 && mpeg.frames() == wave.frames()
                    && std::memcmp(mpeg.data(), wave.data(), wave.bytes()) == 0,
                "both devices read a WAV alike");
    return 0;
}

int midiRender(const uint8_t *data, size_t size)
{
    const QByteArrayView file = view(data, size);
    QByteArray plain;
    const int checked = mci::normaliseSmf(file, plain);
    require(oneOf(checked, {0, mci::ErrInvalidFile, mci::ErrOutOfMemory}), "the check answers with a known number");
    if (checked == 0) {
        QByteArray again;
        require(mci::normaliseSmf(plain, again) == 0 && again == plain, "the normalised copy is its own normal form");
    }
    mci::MidiSong song;
    const int e = mci::readMidi(file, kRate, song);
    require(e == checked, "a file is read exactly when the check takes it");
    if (e != 0) {
        require(song.events.empty() && song.endFrame == 0, "a refused file holds no events");
        return 0;
    }
    require(song.endFrame <= mci::maxFrames(kRate) && song.lengthMs >= 0
                && song.lengthMs <= mci::kMaxSoundSeconds * 1000,
            "a song is at most five minutes long");
    quint32 last = 0;
    for (const mci::MidiEvent &ev : song.events) {
        require(ev.frame >= last && ev.frame <= song.endFrame, "events come in time, before the end");
        last = ev.frame;
        require((ev.status >= 0x80 && ev.status < 0xF0 && ev.data1 < 0x80 && ev.data2 < 0x80)
                    || (ev.status == 0xF0 && ev.sysexLen > 0
                        && qint64(ev.sysexAt) + ev.sysexLen <= song.sysex.size()),
                "an event is a channel message or a system exclusive message inside the file");
    }

    // Its first seconds through the synthesiser, in mixer-sized blocks.
    const auto held = std::make_shared<const mci::MidiSong>(std::move(song));
    const std::unique_ptr<mci::MidiSynth> synth = mci::MidiSynth::create(held);
    require(synth != nullptr, "a song that reads gets a synthesiser");
    std::vector<qint16> block(1024 * 2);
    const auto start = std::chrono::steady_clock::now();
    int ends = 0;
    for (int i = 0; i < kMidiPlaySeconds * kRate / 1024 && !synth->ended(); ++i) {
        ends += synth->fill(block.data(), 1024);
        require(synth->positionMs() <= held->lengthMs, "the position stays within the length");
    }
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    require(ms.count() <= kMidiPlayBoundMs, "the synthesiser keeps up with real time");
    require(ends == (synth->ended() ? 1 : 0), "a song ends once");
    if (synth->ended()) {
        require(!synth->fill(block.data(), 1024)
                    && std::all_of(block.begin(), block.end(), [](qint16 v) { return v == 0; }),
                "an ended song is silent");
        synth->rewind();
        require(!synth->ended() && synth->positionMs() == 0, "a rewound song starts again");
    }
    return 0;
}

int mciCommand(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(view(data, size));
    const mci::Parsed p = mci::parseCommand(text);
    require(oneOf(p.error, {0, mci::ErrUnrecognizedKeyword, mci::ErrUnrecognizedCommand, mci::ErrMissingCommandString,
                            mci::ErrMissingParameter, mci::ErrUnsupportedFunction, mci::ErrNoClosingQuote,
                            mci::ErrDuplicateFlags, mci::ErrExtraCharacters}),
            "the parser answers with a known number");
    if (p.error)
        return 0;
    const mci::Command &c = p.cmd;
    require(!c.alias.isEmpty() && c.alias == c.alias.toLower(), "an alias is there, in lower case");
    if (c.verb != mci::Command::Verb::Open)
        return 0;
    require(!c.path.isEmpty() && !c.type.isEmpty() && c.type == c.type.toLower(), "an open names a path and a type");
    // Written out again with the path quoted, the command reads the same.
    if (c.type.contains(u'"') || c.alias.contains(u'"'))
        return 0;
    const QString again = QStringLiteral("open \"%1\" type %2 alias %3%4")
                              .arg(c.path, c.type, c.alias, c.wait ? QStringLiteral(" wait") : QString());
    const mci::Parsed q = mci::parseCommand(again);
    require(q.error == 0 && q.cmd.path == c.path && q.cmd.type == c.type && q.cmd.alias == c.alias
                && q.cmd.wait == c.wait,
            "an open command written out again parses the same");
    return 0;
}

int cp932Text(const uint8_t *data, size_t size)
{
    // As bytes: the text read back writes the same number of bytes and reads
    // the same again (a cut or unassigned code, U+FFFD, excepted).
    const QByteArrayView bytes = view(data, size);
    const QString text = cp932::decode(bytes);
    require(text.size() <= bytes.size(), "no byte reads as two characters");
    if (!text.contains(QChar::ReplacementCharacter)) {
        const QByteArray back = cp932::encode(text);
        require(back.size() == bytes.size(), "every character keeps its width");
        require(cp932::decode(back) == text, "text survives a round trip");
    }
    // As UTF-16: whatever the text, the bytes written are whole characters.
    const QString any(reinterpret_cast<const QChar *>(data), qsizetype(size / 2));
    const QByteArray written = cp932::encode(any);
    require(!cp932::decode(written).contains(QChar::ReplacementCharacter), "encode never writes half a character");
    return 0;
}

int pluginFile(const uint8_t *data, size_t size)
{
    plugin::Plugin p;
    if (!reads([&] { p = plugin::readPlugin(view(data, size)); },
               {vb::ErrOutOfMemory, vb::ErrSubscript, vb::ErrTypeMismatch, vb::ErrInvalidPropertyValue}))
        return 0;
    require(size <= size_t(plugin::kMaxFileBytes), "a plug-in past the size bound is refused");
    require(p.items.size() <= plugin::kMaxItems && p.companies.size() <= plugin::kMaxCompanies,
            "a plug-in keeps to its counts");
    // What a print would encode: the reader lets through only symbols the encoder takes.
    for (const plugin::Item &item : p.items) {
        if (item.kind != plugin::Kind::Barcode)
            continue;
        QByteArray symbol(1, item.start);
        for (const plugin::Segment &seg : item.segments)
            symbol += seg.source == plugin::Source::Literal ? seg.literal.toLatin1() : QByteArray(seg.digits, '9');
        symbol += item.stop;
        require(!codabar::elements(symbol, 1).isEmpty(), "every barcode the reader accepts encodes");
    }
    return 0;
}

// The fonts need a GUI application; the corpus runner and libFuzzer have none.
void needGuiApplication()
{
    if (QCoreApplication::instance())
        return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "fuzz";
    static char *argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
}

double drawMs(const plugin::Plugin &p, const plugin::TicketArgs &a)
{
    QImage img(p.info.PrevWidth / 15, p.info.PrevHeight / 15, QImage::Format_RGB32);
    img.fill(Qt::white);
    QElapsedTimer t;
    t.start();
    QPainter painter(&img);
    plugin::drawTicket(painter, p, a);
    painter.end();
    return t.nsecsElapsed() / 1e6;
}

int pluginDraw(const uint8_t *data, size_t size)
{
    // A 16-bit little-endian length, the stop name's pattern up to a NUL, then
    // the plug-in: the pattern repeated to that many bytes is the stop name the
    // console passes (cut anywhere, as code page 932 bytes). Anything else is
    // the plug-in alone, drawn with an ordinary name.
    plugin::TicketArgs a;
    a.stopName = QStringLiteral("市民病院前");
    a.date = QStringLiteral("05-14-2024");
    a.time = QStringLiteral("08:42:17");
    a.route = 12;
    a.seiriNo = 23;
    a.row = 5;
    a.corpIndex = 1;
    QByteArrayView file = view(data, size);
    const QByteArrayView head = file.size() > 2 ? file.sliced(2) : QByteArrayView();
    if (const qsizetype nul = head.indexOf('\0'); nul > 0) {
        const size_t length = size_t(data[0]) | size_t(data[1]) << 8;
        const QByteArrayView unit = head.first(nul);
        std::string name;
        while (name.size() < length)
            name.append(unit.data(), size_t(unit.size()));
        name.resize(length);
        a.stopName = cp932::decodeC(name.c_str());
        file = head.sliced(nul + 1);
    }
    plugin::Plugin p;
    if (!reads([&] { p = plugin::readPlugin(file); },
               {vb::ErrOutOfMemory, vb::ErrSubscript, vb::ErrTypeMismatch, vb::ErrInvalidPropertyValue}))
        return 0;
    require(plugin::drawCostNs(p) <= plugin::kMaxDrawCostNs, "a plug-in the reader takes is within the drawing budget");
    needGuiApplication();
    require(drawMs(p, a) <= kFirstDrawBoundMs, "a first print keeps to its time bound");
    require(drawMs(p, a) <= kDrawBoundMs, "a print keeps to its time bound");
    return 0;
}

int tapeList(const uint8_t *data, size_t size)
{
    QList<tape::TapeLine> lines;
    if (!reads([&] { lines = tape::readTapeList(view(data, size)); },
               {vb::ErrInputPastEnd, vb::ErrOutOfMemory, vb::ErrSubscript}))
        return 0;
    require(!lines.isEmpty() && lines.size() <= tape::kMaxLines, "a list has one line at least, at most the bound");
    require(lines.size() <= qsizetype(size), "every line takes a byte at least");
    qsizetype chars = 0;
    for (const tape::TapeLine &l : lines)
        chars += l.TapeText.size();
    require(chars <= qsizetype(size), "no byte decodes to two characters");
    return 0;
}

int fareFile(const uint8_t *data, size_t size)
{
    fare::FareFile file;
    if (!reads([&] { file = fare::readFareFile(view(data, size)); }, {vb::ErrInputPastEnd}))
        return 0;
    const int wanted = std::clamp<int>(file.DataCount, 0, fare::kRows + 1);
    require(file.records.size() == wanted, "a file read whole holds the records it declares, at most one past the table");
    // Written out and read again, the records come back (a name's undecodable bytes excepted).
    const QByteArray written = fare::writeFareFile(file.records);
    const fare::FareFile again = fare::readFareFile(written);
    require(again.records.size() == file.records.size(), "the written file declares its records");
    for (qsizetype i = 0; i < file.records.size(); ++i) {
        const fare::FareRecord &a = file.records[i], &b = again.records[i];
        require(a.SeiriNo == b.SeiriNo && a.Fare == b.Fare, "values survive a round trip");
        if (!a.StopName.contains(QChar::ReplacementCharacter))
            require(a.StopName == b.StopName, "a stop name survives a round trip");
    }
    // Installed, a file past the table fails at row 302 with every row stored.
    fare::FareTable table;
    const bool installed = reads([&] { table.install(file); }, {vb::ErrSubscript});
    require(installed == (file.records.size() <= fare::kRows), "only a file past the table fails to install");
    require(table.loadedRows() == std::min<int>(file.records.size(), fare::kRows), "the rows stored are the file's");
    return 0;
}

int iniFile(const uint8_t *data, size_t size)
{
    // Any bytes read as settings; the record written reads back the same.
    const IniData d = ini::readIni(view(data, size));
    const QByteArray written = ini::writeIni(d);
    require(written.size() >= 598, "a settings file holds every field");
    const IniData back = ini::readIni(written);
    require(ini::writeIni(back) == written, "a written file reads back to the same bytes");
    if (!anyReplaced(d))
        require(sameSettings(d, back), "every setting survives a round trip");
    return 0;
}

int byteText(const uint8_t *data, size_t size)
{
    // Eight bytes of start and count, then the text (up to its first NUL, as a caller's C string).
    int32_t start = 0, count = 0;
    if (size >= 8) {
        std::memcpy(&start, data, 4);
        std::memcpy(&count, data + 4, 4);
        data += 8;
        size -= 8;
    }
    const std::string text(reinterpret_cast<const char *>(data), size);
    const char *c = text.c_str();
    const int32_t len = LenB_ASCII(c);
    require(len == int32_t(std::strlen(c)), "LenB counts the bytes");
    require(LenB_ASCII(nullptr) == 0, "no text has no bytes");
    const char *mid = MidB_ASCII(c, start, count);
    require(mid != nullptr, "MidB always answers with a text");
    std::string expected;
    if (start >= 1 && count > 0 && start <= len)
        expected.assign(c + (start - 1), size_t(std::min<int64_t>(int64_t(len) - (start - 1), count)));
    require(mid == expected, "MidB gives the bytes from start, at most count of them");
    require(LenB_ASCII(mid) <= std::max(count, 0), "MidB never gives more than count bytes");
    // The whole text from its first byte is the text itself.
    require(std::strcmp(MidB_ASCII(c, 1, INT32_MAX), c) == 0, "MidB(1, all) is the text");
    return 0;
}

int pictureFile(const uint8_t *data, size_t size)
{
    // A smaller bound than the console's keeps each run fast; the check is the same code.
    constexpr qint64 kFuzzPixels = qint64(1024) * 1024;
    QImage image;
    if (!reads([&] { image = picture::decode(view(data, size), kFuzzPixels); }, {vb::ErrInvalidPicture}))
        return 0;
    require(!image.isNull() && qint64(image.width()) * image.height() <= kFuzzPixels,
            "a picture that loads keeps to the bound");
    return 0;
}

// A small feed that imports; the input stands in for one of its files
// (chosen by the first byte), or is read as an archive when it opens as one.
int gtfsFeed(const uint8_t *data, size_t size)
{
    static const char *const names[] = {"stops.txt", "routes.txt", "trips.txt", "stop_times.txt", "fare_attributes.txt",
                                        "fare_rules.txt", "translations.txt", "fare_leg_rules.txt"};
    QMap<QString, QByteArray> files{
        {QStringLiteral("stops.txt"), "stop_id,stop_name,zone_id\nS1,一,Z1\nS2,二,Z2\nS3,三,Z3\n"},
        {QStringLiteral("routes.txt"), "route_id,route_short_name\nR1,1\n"},
        {QStringLiteral("trips.txt"), "route_id,service_id,trip_id\nR1,W,T1\n"},
        {QStringLiteral("stop_times.txt"), "trip_id,stop_id,stop_sequence,departure_time\nT1,S1,1,08:00:00\nT1,S2,2,\nT1,S3,3,08:09:00\n"},
        {QStringLiteral("fare_attributes.txt"), "fare_id,price\nF1,180\nF2,250\n"},
        {QStringLiteral("fare_rules.txt"), "fare_id,origin_id,destination_id\nF1,Z1,Z2\nF2,Z1,Z3\n"},
        {QStringLiteral("translations.txt"), "trans_id,lang,translation\n一,ja-Hrkt,いち\n"},
    };
    const bool archive = size >= 4 && std::memcmp(data, "PK\x03\x04", 4) == 0;
    opendata::Feed feed = opendata::Feed::fromFolder({}, {});
    if (archive) {
        opendata::FeedLimits limits;
        limits.maxUncompressed = 4 << 20;
        if (!reads([&] { feed = opendata::Feed::fromZip(view(data, size).toByteArray(), QStringLiteral("fuzz.zip"), limits); },
                   {vb::ErrPathFileAccess, vb::ErrOutOfMemory}))
            return 0;
    } else {
        if (size > 0)
            files.insert(QString::fromLatin1(names[data[0] % std::size(names)]), view(data + 1, size - 1).toByteArray());
        feed = opendata::Feed::fromFolder(files.keys(), [files](const QString &n) { return std::optional<QByteArray>(files.value(n)); });
    }
    const std::initializer_list<int> failures{vb::ErrFileNotFound, vb::ErrInputPastEnd, vb::ErrTypeMismatch, vb::ErrOverflow,
                                              vb::ErrOutOfMemory, vb::ErrSubscript, vb::ErrPathFileAccess};
    opendata::Listing listing;
    if (!reads([&] { listing = opendata::listPatterns(feed); }, failures) || listing.patterns.isEmpty())
        return 0;
    opendata::Import im;
    const opendata::PatternInfo first = listing.patterns.front();
    if (!reads([&] { im = opendata::importPattern(feed, {first.routeId, first.directionId, {}, 0}); }, failures))
        return 0;
    require(im.records.size() >= 2 && im.records.size() <= fare::kRows, "a route the board can ride");
    require(im.ticketCount <= opendata::kTickets, "at most 60 ticket numbers");
    for (const fare::FareRecord &r : im.records) {
        require(r.SeiriNo >= 0 && r.SeiriNo <= im.ticketCount, "a ticket number the pattern issued");
        require(cp932::encode(r.StopName).size() <= opendata::kMaxNameBytes, "a name the strip holds");
    }
    require(fare::readFareFile(fare::writeFareFile(im.records)).records.size() == im.records.size(), "the route file reads back");
    require(tape::readTapeList(im.tape).size() == im.records.size() + 1, "a line a stop after the first, and the two at the ends");
    return 0;
}

// Rows through the streaming reader: the input is a run of rows of one file
// of a small feed (chosen by the first byte), written again and again up to
// 8 MB as a folder file streamed in chunks, past the bounds set here. The
// heap may grow by what the bounds allow and no more, wherever the rows stop.
int gtfsRows(const uint8_t *data, size_t size)
{
    static const char *const names[] = {"stop_times.txt", "trips.txt", "stops.txt", "fare_rules.txt"};
    QMap<QString, QByteArray> files{
        {QStringLiteral("stops.txt"), "stop_id,stop_name,zone_id\nS1,一,Z1\nS2,二,Z2\nS3,三,Z3\n"},
        {QStringLiteral("routes.txt"), "route_id,route_short_name\nR1,1\n"},
        {QStringLiteral("trips.txt"), "route_id,service_id,trip_id\nR1,W,T1\nR1,W,T2\n"},
        {QStringLiteral("stop_times.txt"), "trip_id,stop_id,stop_sequence,arrival_time,departure_time,pickup_type\n"
                                           "T1,S1,1,08:00:00,08:00:00,0\nT1,S2,2,,,\nT1,S3,3,08:09:00,,1\n"},
        {QStringLiteral("fare_attributes.txt"), "fare_id,price\nF1,180\n"},
        {QStringLiteral("fare_rules.txt"), "fare_id,origin_id,destination_id\nF1,Z1,Z2\n"},
    };
    if (size < 2)
        return 0;
    const QString target = QString::fromLatin1(names[data[0] % std::size(names)]);
    const QByteArray rows = view(data + 1, size - 1).toByteArray();
    const QByteArray header = files.value(target).left(files.value(target).indexOf('\n') + 1);
    constexpr qint64 kStreamBytes = 8 << 20;
    opendata::FeedLimits limits;
    limits.maxStopTimes = 100000;
    limits.maxTrips = limits.maxStops = limits.maxRules = 20000;
    limits.maxPatterns = 2000;
    limits.maxModelBytes = 4 << 20;
    // What those bounds let the feed hold, with room for the reader's own buffers.
    constexpr qint64 kHeapBound = 12 << 20;
    const qint64 base = platform::heapInUse();
    qint64 peak = 0;
    const auto sample = [&] {
        if (base >= 0)
            peak = std::max(peak, platform::heapInUse() - base);
    };
    const opendata::Feed feed = opendata::Feed::streamFolder(
        files.keys(),
        [&](const QString &name, const opendata::Feed::Chunk &chunk) {
            if (name != target) {
                chunk(QByteArrayView(files.value(name)));
                return;
            }
            chunk(QByteArrayView(header));
            for (qint64 sent = 0; sent < kStreamBytes; sent += rows.size()) {
                sample();
                chunk(QByteArrayView(rows));
            }
        },
        limits);
    const std::initializer_list<int> failures{vb::ErrFileNotFound, vb::ErrInputPastEnd, vb::ErrTypeMismatch, vb::ErrOverflow,
                                              vb::ErrOutOfMemory, vb::ErrSubscript, vb::ErrPathFileAccess};
    opendata::Listing listing;
    const bool listed = reads([&] { listing = opendata::listPatterns(feed); }, failures);
    sample();
    require(peak <= kHeapBound, "the listing keeps to its bounds in memory");
    if (!listed || listing.patterns.isEmpty())
        return 0;
    int stops = 0;
    for (const opendata::PatternInfo &p : listing.patterns)
        stops += p.stops;
    require(listing.patterns.size() <= limits.maxPatterns && stops <= limits.maxStopTimes, "no more patterns or rows than the bounds");
    const opendata::PatternInfo first = listing.patterns.front();
    reads([&] { opendata::importPattern(feed, {first.routeId, first.directionId, {}, 0}); }, failures);
    sample();
    require(peak <= kHeapBound, "the import keeps to its bounds in memory");
    return 0;
}

// NMEA from a receiver through the ride follower: whatever the lines, the
// ride only moves forward, one stop at a time at most twice a fix, and the
// stops file beside a route reads or fails with a number.
int nmeaFollow(const uint8_t *data, size_t size)
{
    QList<follow::Stop> stops;
    for (int i = 0; i < 6; ++i) {
        follow::Stop st;
        st.lat = 35.0 + i * 0.003;
        st.lon = 135.0;
        st.hasPosition = true;
        stops << st;
    }
    follow::PositionFollower f(stops, 0);
    int last = 0;
    for (const QByteArray &line : QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)).split('\n')) {
        const auto fix = nmea::parse(line);
        if (!fix)
            continue;
        require(std::abs(fix->lat) <= 90 && std::abs(fix->lon) <= 180, "a fix lies on the earth");
        int steps = 0;
        for (follow::Event e : f.onFix(fix->lat, fix->lon))
            steps += e == follow::Event::Step;
        require(steps <= 2 && f.current() == last + steps && f.current() < stops.size(), "forward, one stop over at most");
        last = f.current();
    }
    reads([&] { follow::readStopsFile(view(data, size)); },
          {vb::ErrInputPastEnd, vb::ErrOutOfMemory, vb::ErrSubscript, vb::ErrTypeMismatch, vb::ErrOverflow});
    return 0;
}

// NMEA as a socket or a log hands it over: the input repeated (its first
// byte says how often) and cut in pieces (its second byte says how long).
// The same fixes and the same verdict whatever the pieces, never more than
// a sentence held, a line that never ends always refused, and a log's wait
// between two fixes never longer than its longest gap.
int nmeaStream(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    const QByteArray stream = QByteArray(reinterpret_cast<const char *>(data + 2), qsizetype(size - 2)).repeated(1 + data[0] % 32);
    const auto read = [&](qsizetype piece, QList<nmea::Fix> &out) {
        nmea::LineStream s;
        bool usable = true;
        for (qsizetype at = 0; usable && at < stream.size(); at += piece) {
            usable = s.push(QByteArrayView(stream).sliced(at, std::min(piece, stream.size() - at)), out);
            require(s.buffered() <= 128, "no more than a sentence held");
        }
        return usable && s.finish(out);
    };
    QList<nmea::Fix> whole, pieces;
    const bool usable = read(std::max<qsizetype>(1, stream.size()), whole);
    require(read(1 + data[1] * 17, pieces) == usable && pieces.size() == whole.size(), "the same whatever the pieces");
    qsizetype longest = 0, line = 0;
    for (char c : stream)
        longest = std::max(longest, line = c == '\n' ? 0 : line + 1);
    require(longest <= nmea::kMaxUnheardBytes || !usable, "an endless line is refused");
    int before = -1;
    for (const nmea::Fix &f : whole) {
        require(std::abs(f.lat) <= 90 && std::abs(f.lon) <= 180, "a fix lies on the earth");
        const int wait = nmea::playbackDelayMs(before, f.secondsOfDay);
        require(wait >= 0 && wait <= 600000, "a wait within the longest gap");
        before = f.secondsOfDay;
    }
    return 0;
}

Entry entryNamed(const char *name)
{
    const struct {
        const char *name;
        Entry fn;
    } all[] = {{"sound_open", soundOpen}, {"midi_render", midiRender}, {"mci_command", mciCommand},
               {"cp932", cp932Text},      {"plugin", pluginFile},     {"plugin_draw", pluginDraw},
               {"tape", tapeList},
               {"fare_file", fareFile},   {"ini_file", iniFile},      {"byte_text", byteText},
               {"picture", pictureFile}, {"gtfs", gtfsFeed},   {"gtfs_rows", gtfsRows}, {"nmea_follow", nmeaFollow},
               {"nmea_stream", nmeaStream}};
    for (const auto &e : all)
        if (std::strcmp(e.name, name) == 0)
            return e.fn;
    return nullptr;
}

} // namespace fuzz
