#include "SoundObjects.h"

#include "Rounding.h"
#include "SoundBackend.h"

#include <cstring>
#include <new>
#include <stdexcept>
#include <vector>

namespace vellox::audio {

namespace {
    // The buffer description for one looping buffer at sampleRate (Hz) holding
    // repetitiveTime seconds of `encoding` frames; every field not set here stays zero.
    BufferDesc makeBufferDesc(int32_t sampleRate, float repetitiveTime, FrameEncoding encoding)
    {
        BufferDesc desc;
        WaveFormat& f = desc.Format;
        f.FormatTag = encoding == FrameEncoding::F32 ? FloatTag : PcmTag;
        f.Channels = StereoChannels;
        f.SamplesPerSec = sampleRate;
        f.ExtraSize = 0;
        f.BlockAlign = uint16_t(frameBytes(encoding));
        f.BitsPerSample = uint16_t(8 * f.BlockAlign / StereoChannels);
        f.AvgBytesPerSec = int32_t(f.BlockAlign) * sampleRate;
        desc.Flags = 0;
        try {
            desc.BufferBytes = bufferByteCount(repetitiveTime, sampleRate, encoding);
        } catch (const std::range_error& e) {
            throw SoundError(std::string("buffer size: ") + e.what());
        }
        return desc;
    }
}

int32_t bufferByteCount(float repetitiveTime, int32_t sampleRate, FrameEncoding encoding)
{
    // The float32 field widened to double, then the product in double: seconds x bytes per
    // frame (two channels of two bytes, or of four) x Hz, so the loop lasts RepetitiveTime.
    return roundToInt32(double(repetitiveTime) * double(frameBytes(encoding)) * double(sampleRate));
}

struct SoundObjects::Impl {
    explicit Impl(SoundBackend& p)
        : player(p)
    {
    }
    SoundBackend& player;
    // The references: present or not.
    bool DxObject = false;
    bool SoundDevice = false;
    bool SoundBuffer = false;
    // The buffer: its bytes (BufferBytes of them), its tones, and whether the player has it
    // as what sounds (handed over, and neither stopped nor replaced since).
    std::vector<uint8_t> bytes;
    SignalPhase phase;
    bool playing = false;
    bool looping = false;

    void handOver(const BufferDesc& desc, bool loop)
    {
        PlayBuffer b;
        b.bytes = bytes.data();
        b.byteCount = bytes.size();
        b.sampleRate = desc.Format.SamplesPerSec;
        b.encoding = *frameEncodingOf(desc.Format);
        b.phase = phase;
        b.looping = loop;
        player.play(b);
        playing = true;
        looping = loop;
    }
};

namespace {
    // The logical buffer's storage, silence until written.
    std::vector<uint8_t> makeBuffer(const BufferDesc& desc)
    {
        checkBufferDesc(desc);
        try {
            return std::vector<uint8_t>(size_t(desc.BufferBytes), 0);
        } catch (const std::bad_alloc&) {
            throw SoundError(
                "out of memory for a buffer of " + std::to_string(desc.BufferBytes) + " bytes");
        }
    }
}

SoundObjects::SoundObjects(SoundBackend& backend)
    : m_impl(std::make_unique<Impl>(backend))
{
}

SoundObjects::~SoundObjects()
{
    ReleaseSound();
}

void SoundObjects::InitSound(int32_t sampleRate, float repetitiveTime)
{
    Impl& d = *m_impl;
    // The old objects go without a word to the player: what it plays sounds on until the
    // new buffer takes over, or until a failure below silences it.
    d.SoundBuffer = false;
    d.SoundDevice = false;
    d.bytes = {};
    d.phase = {};
    d.playing = false;
    d.DxObject = true;
    try {
        // The buffer's description first: the device opens for its rate and frames.
        m_bufferDesc = makeBufferDesc(sampleRate, repetitiveTime, m_encoding);
        checkBufferDesc(m_bufferDesc);
        d.player.openDevice(m_deviceId, sampleRate, m_encoding);
        d.SoundDevice = true;
        d.bytes = makeBuffer(m_bufferDesc);
        d.SoundBuffer = true;
    } catch (...) {
        // A failure half way leaves no reference behind: all three present or none.
        ReleaseSound();
        throw;
    }
}

void SoundObjects::RecreateSoundBuffer(int32_t sampleRate, float repetitiveTime)
{
    Impl& d = *m_impl;
    if (!d.SoundDevice)
        throw SoundError("no sound device is open");
    const BufferDesc desc = makeBufferDesc(sampleRate, repetitiveTime, m_encoding);
    std::vector<uint8_t> bytes = makeBuffer(desc);
    // What sounded is silenced with the old buffer, and the device is made ready for the new
    // one's rate; on a failure before this point the old buffer stays as it was.
    d.playing = false;
    d.player.silence();
    d.player.openDevice(m_deviceId, sampleRate, m_encoding);
    m_bufferDesc = desc;
    d.bytes = std::move(bytes);
    d.phase = {};
    d.SoundBuffer = true;
}

void SoundObjects::ReleaseSound() noexcept
{
    Impl& d = *m_impl;
    const bool any = d.DxObject || d.SoundDevice || d.SoundBuffer;
    d.SoundBuffer = false;
    d.bytes = {};
    d.phase = {};
    d.playing = false;
    d.SoundDevice = false;
    d.DxObject = false;
    if (any)
        d.player.closeDevice();
}

void SoundObjects::WriteBuffer(int32_t start, int32_t byteCount, const void* data, int32_t flags)
{
    Impl& d = *m_impl;
    if (!d.SoundBuffer)
        throw SoundError("no sound buffer to write");
    checkWriteRange(int32_t(d.bytes.size()), start, byteCount, data, flags);
    if (byteCount == 0)
        return;
    std::memcpy(d.bytes.data() + start, data, size_t(byteCount));
    if (d.playing)
        d.handOver(m_bufferDesc, d.looping);
}

void SoundObjects::SetSignalPhase(const SignalPhase& phase)
{
    if (!m_impl->SoundBuffer)
        throw SoundError("no sound buffer to describe");
    m_impl->phase = phase;
}

void SoundObjects::Play(int32_t flags)
{
    Impl& d = *m_impl;
    if (!d.SoundBuffer)
        throw SoundError("no sound buffer to play");
    if ((flags & ~PlayLooping) != 0)
        throw SoundError("unsupported play flags " + std::to_string(flags));
    const bool loop = (flags & PlayLooping) != 0;
    // A single pass plays again from its start each time; a loop that plays goes on.
    if (d.playing && loop && d.looping)
        return;
    d.handOver(m_bufferDesc, loop);
}

void SoundObjects::PlayStream(std::unique_ptr<ToneStream> stream)
{
    Impl& d = *m_impl;
    if (!d.SoundBuffer)
        throw SoundError("no sound buffer to play");
    if (stream == nullptr || stream->settings().SampleRate != m_bufferDesc.Format.SamplesPerSec)
        throw SoundError("the stream's rate is not the buffer's");
    d.player.playStream(std::move(stream), m_encoding);
    d.playing = true;
    d.looping = true;
}

void SoundObjects::Stop() noexcept
{
    Impl& d = *m_impl;
    if (!d.SoundBuffer)
        return;
    d.playing = false;
    d.player.silence();
}

bool SoundObjects::hasDxObject() const
{
    return m_impl->DxObject;
}
bool SoundObjects::hasSoundDevice() const
{
    return m_impl->SoundDevice;
}
bool SoundObjects::hasSoundBuffer() const
{
    return m_impl->SoundBuffer;
}

} // namespace vellox::audio
