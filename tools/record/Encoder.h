#pragma once
// The recording's file: H.264 pictures and AAC sound in an MP4, through
// FFmpeg's libraries. Written to a temporary name beside the chosen one and
// renamed only when the whole file is written, so a failed or interrupted
// recording never leaves a half file under that name.
#include <QImage>
#include <QString>
#include <memory>

namespace record {

constexpr int kSampleRate = 48000;

class Encoder {
public:
    Encoder();
    ~Encoder();
    Encoder(const Encoder &) = delete;
    Encoder &operator=(const Encoder &) = delete;

    // False with error() set when the file cannot be started.
    bool open(const QString &path, QSize size, int fps, bool sound);
    // One picture (any format; converted as needed), shown for 1/fps.
    bool addFrame(const QImage &frame);
    // The last picture once more (the board is still for most frames: no
    // conversion again).
    bool repeatFrame();
    // Interleaved stereo 16-bit samples at kSampleRate.
    bool addSamples(const qint16 *samples, int frames);
    // Flushes, closes and renames into place.
    bool finish();
    // Removes the temporary file (an unfinished recording).
    void abandon();
    const QString &error() const { return m_error; }

private:
    struct State;
    bool fail(const QString &what, int code = 0);
    bool drain(bool video);
    bool encodeAudio(bool flush);
    std::unique_ptr<State> m;
    QString m_error;
};

} // namespace record
