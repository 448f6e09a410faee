#include "FakeSoundBackend.h"

#include <cstring>
#include <sstream>
#include <stdexcept>

namespace vellox::audio {

const char* kindName(SoundOp::Kind kind)
{
    switch (kind) {
    case SoundOp::Kind::CreateRoot:
        return "CreateRoot";
    case SoundOp::Kind::DirectSoundCreate:
        return "DirectSoundCreate";
    case SoundOp::Kind::SetCooperativeLevel:
        return "SetCooperativeLevel";
    case SoundOp::Kind::CreateSoundBuffer:
        return "CreateSoundBuffer";
    case SoundOp::Kind::WriteBuffer:
        return "WriteBuffer";
    case SoundOp::Kind::Play:
        return "Play";
    case SoundOp::Kind::Stop:
        return "Stop";
    case SoundOp::Kind::ReleaseBuffer:
        return "ReleaseBuffer";
    case SoundOp::Kind::ReleaseDevice:
        return "ReleaseDevice";
    case SoundOp::Kind::ReleaseRoot:
        return "ReleaseRoot";
    }
    return "?";
}

std::string SoundOp::describe() const
{
    std::ostringstream s;
    s << kindName(kind) << '(';
    switch (kind) {
    case Kind::DirectSoundCreate:
        s << '"' << deviceId << '"';
        break;
    case Kind::SetCooperativeLevel:
        s << level;
        break;
    case Kind::CreateSoundBuffer:
        s << "flags=" << desc.Flags << " bytes=" << desc.BufferBytes
          << " tag=" << desc.Format.FormatTag << " ch=" << desc.Format.Channels
          << " rate=" << desc.Format.SamplesPerSec << " avg=" << desc.Format.AvgBytesPerSec
          << " align=" << desc.Format.BlockAlign << " bits=" << desc.Format.BitsPerSample
          << " extra=" << desc.Format.ExtraSize;
        break;
    case Kind::WriteBuffer:
        s << "start=" << start << " bytes=" << byteCount << " flags=" << flags;
        break;
    case Kind::Play:
        s << flags;
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
    if (kind == SoundOp::Kind::ReleaseBuffer || kind == SoundOp::Kind::ReleaseDevice
        || kind == SoundOp::Kind::ReleaseRoot)
        throw std::invalid_argument("releases cannot fail");
    m_failures.push_back(Failure { kind, std::move(message), skip, persistent });
}

SoundOp& FakeSoundBackend::record(SoundOp::Kind kind, Handle target)
{
    if (m_onOperation)
        m_onOperation(kind);
    SoundOp op;
    op.kind = kind;
    op.target = target;
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

FakeSoundBackend::Buffer& FakeSoundBackend::bufferFor(SoundOp& op, Handle buffer)
{
    const auto it = m_buffers.find(buffer);
    if (it == m_buffers.end())
        refuse(op, "operation on a released sound buffer");
    return it->second;
}

SoundBackend::Handle FakeSoundBackend::createRoot()
{
    SoundOp& op = record(SoundOp::Kind::CreateRoot, 0);
    maybeFail(op);
    op.created = m_next++;
    m_roots[op.created] = true;
    return op.created;
}

SoundBackend::Handle FakeSoundBackend::DirectSoundCreate(Handle root, const std::string& deviceId)
{
    SoundOp& op = record(SoundOp::Kind::DirectSoundCreate, root);
    op.deviceId = deviceId;
    maybeFail(op);
    if (m_roots.count(root) == 0)
        refuse(op, "DirectSoundCreate on a released root object");
    op.created = m_next++;
    m_devices[op.created] = true;
    return op.created;
}

void FakeSoundBackend::SetCooperativeLevel(Handle device, int32_t level)
{
    SoundOp& op = record(SoundOp::Kind::SetCooperativeLevel, device);
    op.level = level;
    maybeFail(op);
    if (m_devices.count(device) == 0)
        refuse(op, "SetCooperativeLevel on a released device");
}

SoundBackend::Handle FakeSoundBackend::CreateSoundBuffer(Handle device, const BufferDesc& desc)
{
    SoundOp& op = record(SoundOp::Kind::CreateSoundBuffer, device);
    op.desc = desc;
    maybeFail(op);
    if (m_devices.count(device) == 0)
        refuse(op, "CreateSoundBuffer on a released device");
    try {
        checkBufferDesc(desc);
    } catch (const SoundError&) {
        op.failed = true;
        throw;
    }
    op.created = m_next++;
    Buffer b;
    b.desc = desc;
    b.bytes.assign(size_t(desc.BufferBytes), 0);
    m_buffers.emplace(op.created, std::move(b));
    return op.created;
}

void FakeSoundBackend::WriteBuffer(
    Handle buffer, int32_t start, int32_t byteCount, const void* data, int32_t flags)
{
    SoundOp& op = record(SoundOp::Kind::WriteBuffer, buffer);
    op.start = start;
    op.byteCount = byteCount;
    op.flags = flags;
    if (data != nullptr && byteCount > 0) {
        const auto* p = static_cast<const uint8_t*>(data);
        op.data.assign(p, p + byteCount);
    }
    maybeFail(op);
    Buffer& b = bufferFor(op, buffer);
    try {
        checkWriteRange(int32_t(b.bytes.size()), start, byteCount, data, flags);
    } catch (const SoundError&) {
        op.failed = true;
        throw;
    }
    if (byteCount > 0)
        std::memcpy(b.bytes.data() + start, data, size_t(byteCount));
}

void FakeSoundBackend::Play(Handle buffer, int32_t flags)
{
    SoundOp& op = record(SoundOp::Kind::Play, buffer);
    op.flags = flags;
    maybeFail(op);
    Buffer& b = bufferFor(op, buffer);
    if ((flags & ~PlayLooping) != 0)
        refuse(op, "unsupported play flags " + std::to_string(flags));
    // One buffer plays at a time, as on the real backend.
    for (auto& [h, other] : m_buffers)
        other.playing = false;
    b.playing = true;
    b.looping = (flags & PlayLooping) != 0;
}

void FakeSoundBackend::Stop(Handle buffer)
{
    SoundOp& op = record(SoundOp::Kind::Stop, buffer);
    maybeFail(op);
    bufferFor(op, buffer).playing = false;
}

void FakeSoundBackend::setSignalPhase(Handle buffer, const SignalPhase& phase)
{
    const auto it = m_buffers.find(buffer);
    if (it == m_buffers.end())
        throw SoundError("setSignalPhase on a released sound buffer");
    it->second.phase = phase;
}

void FakeSoundBackend::releaseBuffer(Handle buffer) noexcept
{
    record(SoundOp::Kind::ReleaseBuffer, buffer);
    m_buffers.erase(buffer);
}

void FakeSoundBackend::releaseDevice(Handle device) noexcept
{
    record(SoundOp::Kind::ReleaseDevice, device);
    m_devices.erase(device);
}

void FakeSoundBackend::releaseRoot(Handle root) noexcept
{
    record(SoundOp::Kind::ReleaseRoot, root);
    m_roots.erase(root);
}

SoundBackend::Handle FakeSoundBackend::playingBuffer() const
{
    for (const auto& [h, b] : m_buffers)
        if (b.playing)
            return h;
    return 0;
}

bool FakeSoundBackend::playingLooped() const
{
    for (const auto& [h, b] : m_buffers)
        if (b.playing)
            return b.looping;
    return false;
}

std::optional<std::vector<uint8_t>> FakeSoundBackend::bufferBytes(Handle buffer) const
{
    const auto it = m_buffers.find(buffer);
    if (it == m_buffers.end())
        return std::nullopt;
    return it->second.bytes;
}

std::optional<SignalPhase> FakeSoundBackend::signalPhase(Handle buffer) const
{
    const auto it = m_buffers.find(buffer);
    if (it == m_buffers.end())
        return std::nullopt;
    return it->second.phase;
}

} // namespace vellox::audio
