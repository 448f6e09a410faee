#include "FakeSoundBackend.h"

#include <sstream>
#include <stdexcept>

namespace vellox::audio {

const char* kindName(SoundOp::Kind kind)
{
    switch (kind) {
    case SoundOp::Kind::OpenDevice:
        return "OpenDevice";
    case SoundOp::Kind::Play:
        return "Play";
    case SoundOp::Kind::PlayStream:
        return "PlayStream";
    case SoundOp::Kind::Silence:
        return "Silence";
    case SoundOp::Kind::CloseDevice:
        return "CloseDevice";
    }
    return "?";
}

namespace {
    const char* encodingName(FrameEncoding encoding)
    {
        switch (encoding) {
        case FrameEncoding::S32:
            return "s32";
        case FrameEncoding::F32:
            return "f32";
        case FrameEncoding::S16:
            break;
        }
        return "s16";
    }
} // namespace

std::string SoundOp::describe() const
{
    std::ostringstream s;
    s << kindName(kind) << '(';
    switch (kind) {
    case Kind::OpenDevice:
        s << '"' << deviceId << "\" rate=" << sampleRate << ' ' << encodingName(encoding);
        break;
    case Kind::Play:
        s << "bytes=" << data.size() << " rate=" << sampleRate << ' ' << encodingName(encoding)
          << (looping ? " looping" : " once");
        break;
    case Kind::PlayStream:
        s << "rate=" << sampleRate << ' ' << encodingName(encoding);
        break;
    default:
        break;
    }
    s << ')';
    if (failed)
        s << " failed";
    return s.str();
}

std::vector<std::string> FakeSoundBackend::describedOps() const
{
    std::vector<std::string> out;
    out.reserve(m_ops.size());
    for (const SoundOp& op : m_ops)
        out.push_back(op.describe());
    return out;
}

void FakeSoundBackend::failOn(SoundOp::Kind kind, std::string message, int skip, bool persistent)
{
    if (kind == SoundOp::Kind::Silence || kind == SoundOp::Kind::CloseDevice)
        throw std::invalid_argument("silence and closing cannot fail");
    m_failures.push_back(Failure { kind, std::move(message), skip, persistent });
}

SoundOp& FakeSoundBackend::record(SoundOp::Kind kind)
{
    if (m_onOperation)
        m_onOperation(kind);
    SoundOp op;
    op.kind = kind;
    m_ops.push_back(std::move(op));
    return m_ops.back();
}

void FakeSoundBackend::refuse(SoundOp& op, const std::string& message)
{
    op.failed = true;
    throw SoundError(message);
}

void FakeSoundBackend::maybeFail(SoundOp& op)
{
    for (auto it = m_failures.begin(); it != m_failures.end(); ++it) {
        if (it->kind != op.kind)
            continue;
        if (it->skip > 0) {
            --it->skip;
            return;
        }
        const std::string message = it->message;
        if (!it->persistent)
            m_failures.erase(it);
        refuse(op, message);
    }
}

void FakeSoundBackend::openDevice(
    const std::string& deviceId, int32_t sampleRate, FrameEncoding encoding)
{
    SoundOp& op = record(SoundOp::Kind::OpenDevice);
    op.deviceId = deviceId;
    op.sampleRate = sampleRate;
    op.encoding = encoding;
    maybeFail(op);
    // Another device, rate or format: what sounded on the old one ends with it, as on the
    // real player.
    if (m_open && (deviceId != m_deviceId || sampleRate != m_rate || encoding != m_encoding))
        m_playing = false;
    m_open = true;
    m_deviceId = deviceId;
    m_rate = sampleRate;
    m_encoding = encoding;
}

void FakeSoundBackend::play(const PlayBuffer& buffer)
{
    SoundOp& op = record(SoundOp::Kind::Play);
    op.sampleRate = buffer.sampleRate;
    op.encoding = buffer.encoding;
    op.phase = buffer.phase;
    op.looping = buffer.looping;
    if (buffer.bytes != nullptr)
        op.data.assign(buffer.bytes, buffer.bytes + buffer.byteCount);
    maybeFail(op);
    if (!m_open)
        refuse(op, "no sound device is open");
    if (buffer.sampleRate <= 0 || buffer.byteCount < frameBytes(buffer.encoding))
        refuse(op, "no whole frame to play");
    m_playing = true;
    m_looping = buffer.looping;
}

void FakeSoundBackend::playStream(std::unique_ptr<ToneStream> stream, FrameEncoding encoding)
{
    SoundOp& op = record(SoundOp::Kind::PlayStream);
    op.encoding = encoding;
    op.looping = true;
    if (stream != nullptr) {
        op.sampleRate = stream->settings().SampleRate;
        op.stream = stream->settings();
        op.streamOptions = stream->options();
        op.data.resize(size_t(op.sampleRate) * frameBytes(encoding));
        stream->fill(op.data.data(), op.sampleRate);
    }
    maybeFail(op);
    if (!m_open)
        refuse(op, "no sound device is open");
    if (stream == nullptr)
        refuse(op, "no stream to play");
    m_playing = true;
    m_looping = true;
}

void FakeSoundBackend::silence() noexcept
{
    record(SoundOp::Kind::Silence);
    m_playing = false;
}

void FakeSoundBackend::closeDevice() noexcept
{
    record(SoundOp::Kind::CloseDevice);
    m_playing = false;
    m_open = false;
}

const SoundOp* FakeSoundBackend::lastHandover() const
{
    for (auto it = m_ops.rbegin(); it != m_ops.rend(); ++it)
        if ((it->kind == SoundOp::Kind::Play || it->kind == SoundOp::Kind::PlayStream)
            && !it->failed)
            return &*it;
    return nullptr;
}

} // namespace vellox::audio
