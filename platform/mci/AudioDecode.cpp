#include "platform/mci/AudioDecode.h"

#include "platform/mci/Mci.h"

#include <mpg123.h>
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

// Interleaved float frames from a decoder, at its own rate and channel count.
class Frames {
public:
    virtual ~Frames() = default;
    // Up to `count` frames into `dst`; 0 at the end or on a fault.
    virtual sf_count_t read(float *dst, sf_count_t count) = 0;
    int channels = 0;
    int rate = 0;
};

// WAV through libsndfile, reading the bytes in memory.
class WaveFrames : public Frames {
public:
    explicit WaveFrames(QByteArrayView file)
        : m_src{file}
    {
        SF_VIRTUAL_IO io{vLength, vSeek, vRead, vWrite, vTell};
        SF_INFO info{};
        m_sf = sf_open_virtual(&io, SFM_READ, &info, &m_src);
        if (!m_sf)
            return;
        const int major = info.format & SF_FORMAT_TYPEMASK;
        if (major != SF_FORMAT_WAV && major != SF_FORMAT_WAVEX)
            return;
        // Integer samples arrive scaled to [-1, 1]; float files may go past it and are clipped.
        sf_command(m_sf, SFC_SET_SCALE_FLOAT_INT_READ, nullptr, SF_TRUE);
        channels = info.channels;
        rate = info.samplerate;
    }
    ~WaveFrames() override
    {
        if (m_sf)
            sf_close(m_sf);
    }
    sf_count_t read(float *dst, sf_count_t count) override { return std::max<sf_count_t>(sf_readf_float(m_sf, dst, count), 0); }

private:
    Source m_src;
    SNDFILE *m_sf = nullptr;
};

// MPEG audio through libmpg123, kept quiet: a damaged frame is skipped and
// the decoder finds the next one, without a note on the error output for
// each. What decodes plays.
class MpegFrames : public Frames {
public:
    explicit MpegFrames(QByteArrayView file)
        : m_file(file)
    {
        static const int initialised = mpg123_init();
        if (initialised != MPG123_OK)
            return;
        m_h = mpg123_new(nullptr, &error);
        if (!m_h)
            return;
        mpg123_param(m_h, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_FORCE_FLOAT | MPG123_GAPLESS | MPG123_SKIP_ID3V2, 0);
        mpg123_param(m_h, MPG123_REMOVE_FLAGS, MPG123_AUTO_RESAMPLE, 0);
        // Past a damaged stretch of any length to the next good frame.
        mpg123_param(m_h, MPG123_RESYNC_LIMIT, -1, 0);
        if ((error = mpg123_open_feed(m_h)) != MPG123_OK)
            return;
        long r = 0;
        int ch = 0, enc = 0;
        for (;;) {
            error = mpg123_getformat(m_h, &r, &ch, &enc);
            if (error != MPG123_NEED_MORE || !feed())
                break;
        }
        if (error != MPG123_OK || enc != MPG123_ENC_FLOAT_32)
            return;
        channels = ch;
        rate = int(r);
    }
    ~MpegFrames() override
    {
        if (m_h)
            mpg123_delete(m_h);
    }
    sf_count_t read(float *dst, sf_count_t count) override
    {
        const size_t frameBytes = size_t(channels) * sizeof(float);
        auto *out = reinterpret_cast<unsigned char *>(dst);
        const size_t want = size_t(count) * frameBytes;
        size_t have = 0;
        while (!m_ended && have < want) {
            size_t done = 0;
            const int rc = mpg123_read(m_h, out + have, want - have, &done);
            if (!m_foreign)
                have += done;
            if (rc == MPG123_NEW_FORMAT) {
                // A damaged header can claim another rate or channel count
                // for a frame; what decodes under it is dropped until the
                // file's own format comes back.
                long r = 0;
                int ch = 0, enc = 0;
                mpg123_getformat(m_h, &r, &ch, &enc);
                m_foreign = r != rate || ch != channels || enc != MPG123_ENC_FLOAT_32;
            } else if (rc == MPG123_NEED_MORE) {
                if (!feed())
                    m_ended = true;
            } else if (rc != MPG123_OK) {
                m_ended = true; // the end or a fault: keep what came
                if (rc == MPG123_ERR && mpg123_errcode(m_h) == MPG123_OUT_OF_MEM)
                    error = MPG123_OUT_OF_MEM;
            }
        }
        return sf_count_t(have / frameBytes);
    }
    int error = MPG123_OK;

private:
    // The next piece of the file; false when all of it is in.
    bool feed()
    {
        constexpr qsizetype kPiece = 64 * 1024;
        if (m_fed >= m_file.size())
            return false;
        const qsizetype n = std::min(kPiece, m_file.size() - m_fed);
        if (mpg123_feed(m_h, reinterpret_cast<const unsigned char *>(m_file.data() + m_fed), size_t(n)) != MPG123_OK) {
            error = MPG123_OUT_OF_MEM;
            return false;
        }
        m_fed += n;
        return true;
    }

    QByteArrayView m_file;
    qsizetype m_fed = 0;
    mpg123_handle *m_h = nullptr;
    bool m_ended = false;
    bool m_foreign = false; // decoding under a format not the file's own
};

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

    std::unique_ptr<Frames> frames;
    MpegFrames *mpeg = nullptr;
    if (wave) {
        frames = std::make_unique<WaveFrames>(file);
    } else {
        auto m = std::make_unique<MpegFrames>(file);
        mpeg = m.get();
        frames = std::move(m);
    }
    const auto failed = [&] { return mpeg && mpeg->error == MPG123_OUT_OF_MEM ? ErrOutOfMemory : ErrInvalidFile; };
    if (frames->channels < 1 || frames->channels > kMaxChannels || frames->rate < 1 || frames->rate > kMaxSourceRate)
        return failed();

    const int ch = frames->channels;
    const qint64 srcRate = frames->rate;
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
        const sf_count_t got = frames->read(raw.data(), want);
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
        return out = Pcm(), failed();
    return out.resize(j) ? 0 : (out = Pcm(), ErrOutOfMemory);
}

} // namespace platform::mci
