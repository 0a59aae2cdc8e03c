#include "platform/mci/AudioDecode.h"

#include "platform/mci/Mci.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

namespace platform::mci {

namespace {

// libsndfile reads the bytes in memory through these.
struct Source {
    QByteArrayView d;
    sf_count_t pos = 0;
};

sf_count_t vLength(void *u) { return static_cast<Source *>(u)->d.size(); }

sf_count_t vSeek(sf_count_t offset, int whence, void *u)
{
    auto *s = static_cast<Source *>(u);
    const sf_count_t base = whence == SEEK_CUR ? s->pos : whence == SEEK_END ? s->d.size() : 0;
    // Refuse positions outside the file rather than wrap around.
    if ((offset > 0 && base > s->d.size() - offset) || base + offset < 0)
        return -1;
    s->pos = base + offset;
    return s->pos;
}

sf_count_t vRead(void *ptr, sf_count_t count, void *u)
{
    auto *s = static_cast<Source *>(u);
    const sf_count_t n = std::clamp<sf_count_t>(s->d.size() - s->pos, 0, std::max<sf_count_t>(count, 0));
    std::memcpy(ptr, s->d.data() + s->pos, size_t(n));
    s->pos += n;
    return n;
}

sf_count_t vWrite(const void *, sf_count_t, void *) { return 0; }
sf_count_t vTell(void *u) { return static_cast<Source *>(u)->pos; }

struct Close {
    void operator()(SNDFILE *f) const { sf_close(f); }
};

bool isRiffWave(QByteArrayView d)
{
    return d.size() >= 12 && d.first(4) == "RIFF" && d.sliced(8, 4) == "WAVE";
}

// An ID3 tag or an MPEG frame sync at the start. Anything else is not handed
// to libsndfile at all, so none of its other readers is reached.
bool looksLikeMpeg(QByteArrayView d)
{
    if (d.size() >= 10 && d.first(3) == "ID3")
        return true;
    return d.size() >= 4 && uchar(d[0]) == 0xFF && (uchar(d[1]) & 0xE0) == 0xE0;
}

constexpr int kMaxChannels = 8;
constexpr int kMaxSourceRate = 768000;
constexpr sf_count_t kBlock = 4096;

// Clipped and rounded; NaN is silence.
inline qint16 toS16(float v)
{
    if (!(v > -1.0f))
        return v == v ? qint16(-32767) : qint16(0);
    if (v >= 1.0f)
        return 32767;
    return qint16(int(v * 32767.0f + (v < 0 ? -0.5f : 0.5f)));
}

} // namespace

int decodeAudio(QByteArrayView file, AudioKind kind, int rate, Pcm &out)
{
    out = Pcm();
    if (rate <= 0)
        return ErrHardware;
    const bool wave = isRiffWave(file);
    if (!wave && !(kind == AudioKind::WaveOrMpeg && looksLikeMpeg(file)))
        return ErrInvalidFile;

    Source src{file};
    SF_VIRTUAL_IO io{vLength, vSeek, vRead, vWrite, vTell};
    SF_INFO info{};
    std::unique_ptr<SNDFILE, Close> sf(sf_open_virtual(&io, SFM_READ, &info, &src));
    if (!sf)
        return ErrInvalidFile;
    const int major = info.format & SF_FORMAT_TYPEMASK;
    const bool majorOk = wave ? (major == SF_FORMAT_WAV || major == SF_FORMAT_WAVEX) : major == SF_FORMAT_MPEG;
    if (!majorOk || info.channels < 1 || info.channels > kMaxChannels || info.samplerate < 1
        || info.samplerate > kMaxSourceRate)
        return ErrInvalidFile;
    // Integer samples arrive scaled to [-1, 1]; float files may go past it and are clipped.
    sf_command(sf.get(), SFC_SET_SCALE_FLOAT_INT_READ, nullptr, SF_TRUE);

    const int ch = info.channels;
    const qint64 srcRate = info.samplerate;
    const sf_count_t srcLimit = sf_count_t(srcRate) * kMaxSoundSeconds;
    const size_t outLimit = maxFrames(rate);

    // Streamed linear resampling: output frame j sits at source position
    // j * srcRate / rate. `win` holds the last frame of the previous block in
    // front of the current one, so every position has both neighbours.
    std::vector<float> raw(size_t(kBlock) * size_t(ch));
    std::vector<float> win(size_t(kBlock + 1) * 2, 0.0f);
    sf_count_t base = 0; // source index of win[1]
    size_t j = 0;        // next output frame
    size_t cap = 0;

    // Room for frames up to `want` (never past the bound), grown by half each time.
    const auto reserve = [&](size_t want) {
        if (want <= cap)
            return true;
        const size_t grown = std::min(outLimit, std::max({want, cap + cap / 2, size_t(rate)}));
        if (!out.resize(grown))
            return false;
        cap = grown;
        return true;
    };

    while (base < srcLimit && j < outLimit) {
        const sf_count_t want = std::min(kBlock, srcLimit - base);
        const sf_count_t got = sf_readf_float(sf.get(), raw.data(), want);
        if (got <= 0)
            break;
        // Down-mix to stereo: even channels left, odd right (mono to both).
        for (sf_count_t i = 0; i < got; ++i) {
            const float *f = raw.data() + size_t(i) * size_t(ch);
            float l = 0, r = 0;
            for (int c = 0; c < ch; c += 2)
                l += f[c];
            for (int c = 1; c < ch; c += 2)
                r += f[c];
            l /= float((ch + 1) / 2);
            r = ch > 1 ? r / float(ch / 2) : l;
            win[2 * size_t(i + 1)] = l;
            win[2 * size_t(i + 1) + 1] = r;
        }
        // Source frames base-1 .. base+got-1 are at hand: every output frame
        // j with j * srcRate / rate < base+got-1 has both neighbours.
        const qint64 last = base + got - 1;
        const size_t stop = size_t(std::min<qint64>(qint64(outLimit), (last * rate + srcRate - 1) / srcRate));
        if (!reserve(stop))
            return out = Pcm(), ErrOutOfMemory;
        qint16 *o = out.data();
        for (; j < stop; ++j) {
            const qint64 num = qint64(j) * srcRate;
            const qint64 i = num / rate;
            const float t = float(num - i * rate) / float(rate);
            const float *a = win.data() + size_t(i - base + 1) * 2;
            o[2 * j] = toS16(a[0] + (a[2] - a[0]) * t);
            o[2 * j + 1] = toS16(a[1] + (a[3] - a[1]) * t);
        }
        win[0] = win[2 * size_t(got)];
        win[1] = win[2 * size_t(got) + 1];
        base += got;
    }
    // The positions past the last source frame but before the end hold it.
    const size_t end = size_t(std::min<qint64>(qint64(outLimit), (qint64(base) * rate + srcRate - 1) / srcRate));
    if (base > 0 && j < end) {
        if (!reserve(end))
            return out = Pcm(), ErrOutOfMemory;
        for (; j < end; ++j) {
            out.data()[2 * j] = toS16(win[0]);
            out.data()[2 * j + 1] = toS16(win[1]);
        }
    }

    if (j == 0)
        return out = Pcm(), ErrInvalidFile;
    return out.resize(j) ? 0 : (out = Pcm(), ErrOutOfMemory);
}

} // namespace platform::mci
