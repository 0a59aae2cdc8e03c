#include "platform/mci/AudioBounds.h"

#include <algorithm>

namespace platform::mci {

namespace {

quint32 le32(const uchar *p) { return p[0] | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24; }
quint16 le16(const uchar *p) { return quint16(p[0] | p[1] << 8); }

void putLe32(QByteArray &b, qsizetype at, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = char(v >> (8 * i) & 0xFF);
}

struct Frame {
    int bytes = 0;
    int samples = 0;
    int rate = 0;
};

// One MPEG audio frame header (layers I-III, MPEG 1, 2 and 2.5).
Frame mpegFrame(const uchar *h)
{
    if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0)
        return {};
    const int version = h[1] >> 3 & 3; // 0: 2.5, 2: 2, 3: 1
    const int layer = h[1] >> 1 & 3;   // 1: III, 2: II, 3: I
    const int bitrateIndex = h[2] >> 4, rateIndex = h[2] >> 2 & 3, padding = h[2] >> 1 & 1;
    if (version == 1 || layer == 0 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3)
        return {}; // reserved values; free-format streams are not measured
    static const short kbps[5][15] = {
        {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448}, // 1, I
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},    // 1, II
        {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},     // 1, III
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},    // 2, I
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},         // 2, II & III
    };
    static const int rates[3] = {44100, 48000, 32000};
    const bool v1 = version == 3;
    const int table = v1 ? 3 - layer : (layer == 3 ? 3 : 4);
    const int bitrate = kbps[table][bitrateIndex] * 1000;
    Frame f;
    f.rate = rates[rateIndex] >> (v1 ? 0 : version == 2 ? 1 : 2);
    if (layer == 3) {
        f.samples = 384;
        f.bytes = (12 * bitrate / f.rate + padding) * 4;
    } else {
        f.samples = layer == 1 && !v1 ? 576 : 1152;
        f.bytes = f.samples / 8 * bitrate / f.rate + padding;
    }
    return f;
}

} // namespace

bool isRiffWave(QByteArrayView d)
{
    return d.size() >= 12 && d.first(4) == "RIFF" && d.sliced(8, 4) == "WAVE";
}

bool looksLikeMpegAudio(QByteArrayView d)
{
    return (d.size() >= 10 && d.first(3) == "ID3") || (d.size() >= 4 && mpegFrame(reinterpret_cast<const uchar *>(d.data())).bytes > 0);
}

QByteArray boundWave(const QByteArray &d, int seconds)
{
    if (!isRiffWave(d))
        return d;
    const auto *p = reinterpret_cast<const uchar *>(d.constData());
    const qsizetype n = d.size();
    quint32 rate = 0, blockAlign = 0, framesPerBlock = 1;
    for (qsizetype pos = 12; n - pos >= 8;) {
        const quint32 len = le32(p + pos + 4);
        const qsizetype body = pos + 8;
        if (d.sliced(pos, 4) == "fmt " && len >= 16 && n - body >= 16) {
            const quint16 tag = le16(p + body);
            rate = le32(p + body + 4);
            blockAlign = le16(p + body + 12);
            // ADPCM blocks hold many frames each.
            if ((tag == 2 || tag == 0x11) && len >= 20 && n - body >= 20)
                framesPerBlock = std::max<quint16>(1, le16(p + body + 18));
        } else if (d.sliced(pos, 4) == "data") {
            if (rate == 0 || blockAlign == 0)
                return d;
            const quint64 have = std::min<quint64>(len, quint64(n - body));
            const quint64 keepBlocks = quint64(seconds) * rate / framesPerBlock;
            const quint64 keep = keepBlocks * blockAlign;
            if (have <= keep)
                return d;
            QByteArray out = d.left(body + qsizetype(keep));
            putLe32(out, pos + 4, quint32(keep));
            putLe32(out, 4, quint32(out.size() - 8));
            return out;
        }
        if (len > quint64(n - body))
            break;
        pos = body + qsizetype(len) + (len & 1);
    }
    return d;
}

qsizetype mpegPrefix(QByteArrayView d, int seconds)
{
    const auto *p = reinterpret_cast<const uchar *>(d.data());
    const qsizetype n = d.size();
    qsizetype pos = 0;
    if (n >= 10 && d.first(3) == "ID3") {
        const qsizetype tag = qsizetype(p[6] & 0x7F) << 21 | (p[7] & 0x7F) << 14 | (p[8] & 0x7F) << 7 | (p[9] & 0x7F);
        pos = 10 + tag + (p[5] & 0x10 ? 10 : 0);
    }
    double t = 0;
    while (n - pos >= 4) {
        const Frame f = mpegFrame(p + pos);
        if (f.bytes <= 0) {
            ++pos; // not a frame here: the decoder resynchronises the same way
            continue;
        }
        t += double(f.samples) / f.rate;
        if (t > seconds)
            return pos;
        pos += f.bytes;
    }
    return n;
}

} // namespace platform::mci
