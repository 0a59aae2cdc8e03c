// Speaks one line with the real engine and writes what the speech channel
// carried to a WAV file, with the reading it was given:
//   speak_wav "次は、市役所前です。" out.wav
#include "core/FileIo.h"
#include "platform/mci/Mci.h"
#include "platform/speech/Reading.h"
#include "platform/speech/SpeechEngine.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <atomic>
#include <cstdio>
#include <vector>

namespace {

constexpr size_t kMaxSamples = size_t(44100) * 2 * 120;
std::vector<qint16> g_samples(kMaxSamples);
std::atomic<size_t> g_used{0};

void record(int channel, const void *stream, int bytes, void *)
{
    if (channel != platform::mci::speechChannel())
        return;
    const size_t n = std::min(size_t(bytes) / 2, kMaxSamples - g_used);
    std::copy_n(static_cast<const qint16 *>(stream), n, g_samples.begin() + qsizetype(g_used));
    g_used += n;
}

void put(QByteArray &b, quint32 v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        b.append(char(v >> (8 * i) & 0xFF));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: speak_wav TEXT OUT.wav\n");
        return 2;
    }
    const QString text = QString::fromLocal8Bit(argv[1]);
    std::printf("reading: %s\n", speech::reading(text).toUtf8().constData());
    platform::mci::setTap(record, nullptr);
    std::unique_ptr<speech::Engine> e = speech::createEngine();
    e->Speak(text);
    QElapsedTimer t;
    t.start();
    while (e->Status() == speech::Engine::kSpeaking && t.elapsed() < 120000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QThread::msleep(100); // the last block through the mixer
    platform::mci::setTap(nullptr, nullptr);

    // The speech without the silence the channel plays around it.
    size_t first = 0, last = g_used;
    while (first < last && g_samples[first] == 0)
        ++first;
    while (last > first && g_samples[last - 1] == 0)
        --last;
    first &= ~size_t(1);
    last = (last + 1) & ~size_t(1);
    const int rate = platform::mci::sampleRate();
    const quint32 dataBytes = quint32((last - first) * 2);
    QByteArray wav("RIFF");
    put(wav, 36 + dataBytes, 4);
    wav += "WAVEfmt ";
    put(wav, 16, 4);
    put(wav, 1, 2);
    put(wav, 2, 2);
    put(wav, quint32(rate), 4);
    put(wav, quint32(rate) * 4, 4);
    put(wav, 4, 2);
    put(wav, 16, 2);
    wav += "data";
    put(wav, dataBytes, 4);
    wav.append(reinterpret_cast<const char *>(g_samples.data() + first), qsizetype(dataBytes));
    if (fileio::writeWhole(QString::fromLocal8Bit(argv[2]), wav) != 0)
        return 1;
    std::printf("driver %s, %d Hz, %.2f s of speech\n", platform::mci::audioDriver().toUtf8().constData(), rate,
                rate > 0 ? double(last - first) / 2 / rate : 0.0);
    return 0;
}
