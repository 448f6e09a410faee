#include "SoundObjects.h"

#include "Rounding.h"
#include "SoundBackend.h"

#include <stdexcept>

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
    explicit Impl(SoundBackend& b)
        : backend(b)
    {
    }
    SoundBackend& backend;
    SoundBackend::Handle DxObject = 0;
    SoundBackend::Handle SoundDevice = 0;
    SoundBackend::Handle SoundBuffer = 0;
};

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
    // Callers release first; releasing here as well keeps the references consistent and
    // frees the old objects if one forgets.
    ReleaseSound();
    Impl& d = *m_impl;
    try {
        d.DxObject = d.backend.createRoot();
        d.SoundDevice = d.backend.DirectSoundCreate(d.DxObject, m_deviceId);
        d.backend.SetCooperativeLevel(d.SoundDevice, SoundBackend::CooperativeNormal);
        m_bufferDesc = makeBufferDesc(sampleRate, repetitiveTime, m_encoding);
        d.SoundBuffer = d.backend.CreateSoundBuffer(d.SoundDevice, m_bufferDesc);
    } catch (...) {
        // A failure half way leaves no reference behind: all three present or none.
        ReleaseSound();
        throw;
    }
}

void SoundObjects::RecreateSoundBuffer(int32_t sampleRate, float repetitiveTime)
{
    Impl& d = *m_impl;
    if (d.SoundDevice == 0)
        throw SoundError("no sound device is open");
    m_bufferDesc = makeBufferDesc(sampleRate, repetitiveTime, m_encoding);
    const SoundBackend::Handle created = d.backend.CreateSoundBuffer(d.SoundDevice, m_bufferDesc);
    // Replacing the reference releases the old buffer without stopping it first; the
    // release silences it. On a failure above the old buffer stays.
    const SoundBackend::Handle old = d.SoundBuffer;
    d.SoundBuffer = created;
    if (old != 0)
        d.backend.releaseBuffer(old);
}

void SoundObjects::ReleaseSound() noexcept
{
    Impl& d = *m_impl;
    if (d.SoundBuffer != 0) {
        try {
            d.backend.Stop(d.SoundBuffer);
        } catch (...) {
            // A buffer that cannot be stopped is silenced by its release just below.
        }
    }
    if (d.SoundBuffer != 0)
        d.backend.releaseBuffer(d.SoundBuffer);
    d.SoundBuffer = 0;
    if (d.SoundDevice != 0)
        d.backend.releaseDevice(d.SoundDevice);
    d.SoundDevice = 0;
    if (d.DxObject != 0)
        d.backend.releaseRoot(d.DxObject);
    d.DxObject = 0;
}

void SoundObjects::WriteBuffer(int32_t start, int32_t byteCount, const void* data, int32_t flags)
{
    if (m_impl->SoundBuffer == 0)
        throw SoundError("no sound buffer to write");
    m_impl->backend.WriteBuffer(m_impl->SoundBuffer, start, byteCount, data, flags);
}

void SoundObjects::SetSignalPhase(const SignalPhase& phase)
{
    if (m_impl->SoundBuffer == 0)
        throw SoundError("no sound buffer to describe");
    m_impl->backend.setSignalPhase(m_impl->SoundBuffer, phase);
}

void SoundObjects::beginRestart()
{
    m_impl->backend.beginRestart();
}

void SoundObjects::endRestart() noexcept
{
    try {
        m_impl->backend.endRestart();
    } catch (...) {
        // Only a backend's bookkeeping runs here; a failure shows at the next operation.
    }
}

void SoundObjects::Play(int32_t flags)
{
    if (m_impl->SoundBuffer == 0)
        throw SoundError("no sound buffer to play");
    m_impl->backend.Play(m_impl->SoundBuffer, flags);
}

void SoundObjects::Stop()
{
    if (m_impl->SoundBuffer != 0)
        m_impl->backend.Stop(m_impl->SoundBuffer);
}

bool SoundObjects::hasDxObject() const
{
    return m_impl->DxObject != 0;
}
bool SoundObjects::hasSoundDevice() const
{
    return m_impl->SoundDevice != 0;
}
bool SoundObjects::hasSoundBuffer() const
{
    return m_impl->SoundBuffer != 0;
}

} // namespace vellox::audio
