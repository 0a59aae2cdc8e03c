#include "tools/record/Encoder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <filesystem>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/error.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

namespace record {

struct Encoder::State {
    AVFormatContext *fmt = nullptr;
    AVCodecContext *video = nullptr, *audio = nullptr;
    AVStream *vs = nullptr, *as = nullptr;
    SwsContext *sws = nullptr;
    SwrContext *swr = nullptr;
    AVAudioFifo *fifo = nullptr;
    AVFrame *vframe = nullptr, *aframe = nullptr;
    AVPacket *packet = nullptr;
    int64_t vpts = 0, apts = 0;
    QString temp, target;
    bool headerWritten = false, ioOpen = false;

    ~State()
    {
        if (ioOpen)
            avio_closep(&fmt->pb);
        avformat_free_context(fmt);
        avcodec_free_context(&video);
        avcodec_free_context(&audio);
        sws_freeContext(sws);
        swr_free(&swr);
        if (fifo)
            av_audio_fifo_free(fifo);
        av_frame_free(&vframe);
        av_frame_free(&aframe);
        av_packet_free(&packet);
    }
};

namespace {
QString avText(int code)
{
    char buf[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, buf, sizeof buf);
    return QString::fromLocal8Bit(buf);
}
} // namespace

Encoder::Encoder() = default;
Encoder::~Encoder() { abandon(); }

bool Encoder::fail(const QString &what, int code)
{
    m_error = code ? QStringLiteral("%1 (%2)").arg(what, avText(code)) : what;
    return false;
}

bool Encoder::open(const QString &path, QSize size, int fps, bool sound)
{
    abandon();
    av_log_set_level(AV_LOG_ERROR); // the encoders' statistics are not the user's business
    m = std::make_unique<State>();
    const QFileInfo info(path);
    m->target = info.absoluteFilePath();
    const QDir dir = info.absoluteDir();
    if (!dir.exists())
        return fail(QStringLiteral("保存先のフォルダがありません: %1").arg(QDir::toNativeSeparators(dir.path())));
    m->temp = dir.filePath(QStringLiteral(".%1.part").arg(info.fileName()));
    if (size.width() % 2 || size.height() % 2 || size.isEmpty())
        return fail(QStringLiteral("the picture's size must be even"));

    const QByteArray temp = QFile::encodeName(m->temp);
    int rc = avformat_alloc_output_context2(&m->fmt, nullptr, "mp4", temp.constData());
    if (rc < 0)
        return fail(QStringLiteral("MP4 is not available"), rc);
    // Two recordings of the same ride are the same bytes: no time or
    // version written into the file.
    m->fmt->flags |= AVFMT_FLAG_BITEXACT;

    const AVCodec *h264 = avcodec_find_encoder_by_name("libx264");
    if (!h264)
        return fail(QStringLiteral("this FFmpeg has no H.264 encoder (libx264)"));
    m->video = avcodec_alloc_context3(h264);
    m->video->width = size.width();
    m->video->height = size.height();
    m->video->pix_fmt = AV_PIX_FMT_YUV420P;
    m->video->time_base = AVRational{1, fps};
    m->video->framerate = AVRational{fps, 1};
    m->video->gop_size = fps * 2;
    m->video->thread_count = 2;
    m->video->flags |= AV_CODEC_FLAG_BITEXACT;
    if (m->fmt->oformat->flags & AVFMT_GLOBALHEADER)
        m->video->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    av_opt_set(m->video->priv_data, "preset", "ultrafast", 0);
    av_opt_set(m->video->priv_data, "crf", "16", 0);
    // The board is still for seconds at a time; frame threads would add
    // latency for nothing, slices keep both cores busy.
    av_opt_set(m->video->priv_data, "x264-params", "sliced-threads=1", 0);
    if ((rc = avcodec_open2(m->video, h264, nullptr)) < 0)
        return fail(QStringLiteral("the H.264 encoder did not start"), rc);
    m->vs = avformat_new_stream(m->fmt, nullptr);
    m->vs->time_base = m->video->time_base;
    avcodec_parameters_from_context(m->vs->codecpar, m->video);

    if (sound) {
        const AVCodec *aac = avcodec_find_encoder(AV_CODEC_ID_AAC);
        if (!aac)
            return fail(QStringLiteral("this FFmpeg has no AAC encoder"));
        m->audio = avcodec_alloc_context3(aac);
        m->audio->sample_fmt = AV_SAMPLE_FMT_FLTP;
        m->audio->sample_rate = kSampleRate;
        av_channel_layout_default(&m->audio->ch_layout, 2);
        m->audio->bit_rate = 192000;
        m->audio->time_base = AVRational{1, kSampleRate};
        m->audio->flags |= AV_CODEC_FLAG_BITEXACT;
        if (m->fmt->oformat->flags & AVFMT_GLOBALHEADER)
            m->audio->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        if ((rc = avcodec_open2(m->audio, aac, nullptr)) < 0)
            return fail(QStringLiteral("the AAC encoder did not start"), rc);
        m->as = avformat_new_stream(m->fmt, nullptr);
        m->as->time_base = m->audio->time_base;
        avcodec_parameters_from_context(m->as->codecpar, m->audio);
        AVChannelLayout stereo;
        av_channel_layout_default(&stereo, 2);
        if (swr_alloc_set_opts2(&m->swr, &stereo, AV_SAMPLE_FMT_FLTP, kSampleRate, &stereo, AV_SAMPLE_FMT_S16,
                                kSampleRate, 0, nullptr) < 0 || swr_init(m->swr) < 0)
            return fail(QStringLiteral("the sound converter did not start"));
        m->fifo = av_audio_fifo_alloc(AV_SAMPLE_FMT_FLTP, 2, kSampleRate);
        m->aframe = av_frame_alloc();
    }

    if ((rc = avio_open(&m->fmt->pb, temp.constData(), AVIO_FLAG_WRITE)) < 0)
        return fail(QStringLiteral("保存先に書き込めません: %1").arg(QDir::toNativeSeparators(m->temp)), rc);
    m->ioOpen = true;
    if ((rc = avformat_write_header(m->fmt, nullptr)) < 0)
        return fail(QStringLiteral("the file could not be started"), rc);
    m->headerWritten = true;

    m->sws = sws_getContext(size.width(), size.height(), AV_PIX_FMT_BGRA, size.width(), size.height(),
                            AV_PIX_FMT_YUV420P, SWS_POINT | SWS_BITEXACT | SWS_ACCURATE_RND, nullptr, nullptr, nullptr);
    m->vframe = av_frame_alloc();
    m->vframe->format = AV_PIX_FMT_YUV420P;
    m->vframe->width = size.width();
    m->vframe->height = size.height();
    if (!m->sws || av_frame_get_buffer(m->vframe, 0) < 0)
        return fail(QStringLiteral("out of memory"));
    m->packet = av_packet_alloc();
    return true;
}

bool Encoder::drain(bool video)
{
    AVCodecContext *c = video ? m->video : m->audio;
    AVStream *s = video ? m->vs : m->as;
    for (;;) {
        const int rc = avcodec_receive_packet(c, m->packet);
        if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF)
            return true;
        if (rc < 0)
            return fail(QStringLiteral("encoding failed"), rc);
        av_packet_rescale_ts(m->packet, c->time_base, s->time_base);
        m->packet->stream_index = s->index;
        if (const int w = av_interleaved_write_frame(m->fmt, m->packet); w < 0)
            return fail(QStringLiteral("保存先に書き込めません"), w);
    }
}

bool Encoder::addFrame(const QImage &frame)
{
    if (!m || !m->headerWritten)
        return fail(QStringLiteral("no file open"));
    const QImage img = frame.format() == QImage::Format_ARGB32 || frame.format() == QImage::Format_RGB32
                           ? frame
                           : frame.convertToFormat(QImage::Format_RGB32);
    if (img.size() != QSize(m->video->width, m->video->height))
        return fail(QStringLiteral("a picture of the wrong size"));
    if (av_frame_make_writable(m->vframe) < 0)
        return fail(QStringLiteral("out of memory"));
    const uint8_t *src[1] = {img.constBits()};
    const int stride[1] = {int(img.bytesPerLine())};
    sws_scale(m->sws, src, stride, 0, img.height(), m->vframe->data, m->vframe->linesize);
    m->vframe->pts = m->vpts++;
    if (const int rc = avcodec_send_frame(m->video, m->vframe); rc < 0)
        return fail(QStringLiteral("encoding failed"), rc);
    return drain(true);
}

bool Encoder::repeatFrame()
{
    if (!m || !m->headerWritten || m->vpts == 0)
        return fail(QStringLiteral("no picture to repeat"));
    m->vframe->pts = m->vpts++;
    if (const int rc = avcodec_send_frame(m->video, m->vframe); rc < 0)
        return fail(QStringLiteral("encoding failed"), rc);
    return drain(true);
}

bool Encoder::encodeAudio(bool flush)
{
    const int size = m->audio->frame_size > 0 ? m->audio->frame_size : 1024;
    while (av_audio_fifo_size(m->fifo) >= size || (flush && av_audio_fifo_size(m->fifo) > 0)) {
        const int n = std::min(size, av_audio_fifo_size(m->fifo));
        av_frame_unref(m->aframe);
        m->aframe->format = AV_SAMPLE_FMT_FLTP;
        m->aframe->sample_rate = kSampleRate;
        av_channel_layout_default(&m->aframe->ch_layout, 2);
        m->aframe->nb_samples = n;
        if (av_frame_get_buffer(m->aframe, 0) < 0)
            return fail(QStringLiteral("out of memory"));
        av_audio_fifo_read(m->fifo, reinterpret_cast<void **>(m->aframe->data), n);
        m->aframe->pts = m->apts;
        m->apts += n;
        if (const int rc = avcodec_send_frame(m->audio, m->aframe); rc < 0)
            return fail(QStringLiteral("encoding failed"), rc);
        if (!drain(false))
            return false;
    }
    return true;
}

bool Encoder::addSamples(const qint16 *samples, int frames)
{
    if (!m || !m->headerWritten || !m->audio)
        return fail(QStringLiteral("no sound track open"));
    if (frames <= 0)
        return true;
    std::vector<float> left(static_cast<size_t>(frames)), right(static_cast<size_t>(frames));
    uint8_t *out[2] = {reinterpret_cast<uint8_t *>(left.data()), reinterpret_cast<uint8_t *>(right.data())};
    const uint8_t *in[1] = {reinterpret_cast<const uint8_t *>(samples)};
    const int got = swr_convert(m->swr, out, frames, in, frames);
    if (got < 0)
        return fail(QStringLiteral("sound conversion failed"), got);
    void *planes[2] = {left.data(), right.data()};
    if (av_audio_fifo_write(m->fifo, planes, got) < got)
        return fail(QStringLiteral("out of memory"));
    return encodeAudio(false);
}

bool Encoder::finish()
{
    if (!m || !m->headerWritten)
        return fail(QStringLiteral("no file open"));
    if (m->audio) {
        if (!encodeAudio(true))
            return false;
        avcodec_send_frame(m->audio, nullptr);
        if (!drain(false))
            return false;
    }
    avcodec_send_frame(m->video, nullptr);
    if (!drain(true))
        return false;
    if (const int rc = av_write_trailer(m->fmt); rc < 0)
        return fail(QStringLiteral("保存先に書き込めません"), rc);
    m->headerWritten = false;
    avio_closep(&m->fmt->pb);
    m->ioOpen = false;
    if (m->fmt->pb == nullptr && QFileInfo(m->temp).size() == 0)
        return fail(QStringLiteral("保存先に書き込めません"));
    // Renamed over an older recording of the same name only now, in one
    // step: the old file stays whole until the new one takes its place.
    std::error_code ec;
    std::filesystem::rename(std::filesystem::path(m->temp.toStdU16String()),
                            std::filesystem::path(m->target.toStdU16String()), ec);
    if (ec)
        return fail(QStringLiteral("保存先に書き込めません: %1").arg(QDir::toNativeSeparators(m->target)));
    m.reset();
    return true;
}

void Encoder::abandon()
{
    if (!m)
        return;
    const QString temp = m->temp;
    m.reset();
    if (!temp.isEmpty())
        QFile::remove(temp);
}

} // namespace record
