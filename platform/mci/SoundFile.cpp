#include "platform/mci/SoundFile.h"

#include "platform/mci/AudioDecode.h"
#include "platform/mci/Mci.h"

namespace platform::mci {

std::optional<Device> deviceOf(QStringView type)
{
    if (type == u"waveaudio")
        return Device::Wave;
    if (type == u"mpegvideo")
        return Device::Mpeg;
    if (type == u"sequencer")
        return Device::Sequencer;
    return std::nullopt;
}

qint64 maxFileBytes(Device device)
{
    return device == Device::Sequencer ? qint64(4) << 20 : qint64(64) << 20;
}

int decodeSound(QByteArrayView file, Device device, int rate, Pcm &out)
{
    out = Pcm();
    if (file.size() > maxFileBytes(device))
        return ErrOutOfMemory;
    if (file.isEmpty())
        return ErrInvalidFile;
    switch (device) {
    case Device::Sequencer:
        return ErrUnsupportedFunction;
    case Device::Wave:
        return decodeAudio(file, AudioKind::Wave, rate, out);
    case Device::Mpeg:
        return decodeAudio(file, AudioKind::WaveOrMpeg, rate, out);
    }
    return ErrInvalidDeviceName;
}

} // namespace platform::mci
