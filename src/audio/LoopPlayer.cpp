#include "LoopPlayer.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <numbers>
#include <numeric>
#include <thread>

namespace vellox::audio {

namespace {

    // x modulo m in 0..m-1, for any sign of x.
    int64_t floorMod(int64_t x, int64_t m)
    {
        const int64_t r = x % m;
        return r < 0 ? r + m : r;
    }

    // The inverse of a modulo m (a and m coprime, m >= 1).
    int64_t inverseMod(int64_t a, int64_t m)
    {
        int64_t r0 = m, r1 = floorMod(a, m);
        int64_t t0 = 0, t1 = 1;
        while (r1 != 0) {
            const int64_t q = r0 / r1;
            const int64_t r2 = r0 - q * r1;
            r0 = r1;
            r1 = r2;
            const int64_t t2 = t0 - q * t1;
            t0 = t1;
            t1 = t2;
        }
        return floorMod(t0, m);
    }

    // The gain of a voice `fade` frames into a fade of `frames` frames: a raised cosine,
    // which leaves the output's slope continuous at both ends, and whose fade-in and
    // fade-out sum to one at every frame of a cross-fade.
    double gainAt(int32_t fade, int32_t frames)
    {
        if (fade >= frames)
            return 1.0;
        if (fade <= 0)
            return 0.0;
        return 0.5 - 0.5 * std::cos(std::numbers::pi * double(fade) / double(frames));
    }

    int16_t clampSample(double v)
    {
        const long r = std::lrint(v);
        return int16_t(std::clamp<long>(r, -32768, 32767));
    }

} // namespace

std::optional<size_t> continuingFrame(
    const SignalPhase& from, size_t position, const SignalPhase& to, int32_t rate, size_t frames)
{
    if (!from.linkable || !to.linkable || rate <= 0 || frames == 0)
        return std::nullopt;
    const int64_t R = rate;
    const int64_t L = int64_t(frames);
    for (const int32_t f : { to.f1, to.f2 })
        if (f < 0 || (L * f) % R != 0)
            return std::nullopt; // not the same signal when started elsewhere
    const int64_t p = int64_t(position);

    // Tones in both signals: the same frequency continues exactly when k = p modulo its
    // period in frames; a moved one is matched as nearly as the other allows.
    int64_t step = 1; // k = p + step * m keeps every unmoved tone's phase
    int32_t movedFrom = 0, movedTo = 0;
    int moved = 0;
    const std::pair<int32_t, int32_t> tones[] = { { from.f1, to.f1 }, { from.f2, to.f2 } };
    for (const auto& [a, b] : tones) {
        if (a == 0 || b == 0)
            continue;
        if (a == b) {
            step = std::lcm(step, R / std::gcd(int64_t(b), R));
        } else {
            ++moved;
            movedFrom = a;
            movedTo = b;
        }
    }
    if (moved > 1)
        return std::nullopt;
    int64_t k = p;
    if (moved == 1) {
        // movedTo * (p + step * m) = movedFrom * p (mod R), in units of 1/R of a cycle:
        // a * m = b (mod R), solved for the multiple of gcd(a, R) nearest to b.
        const int64_t a = floorMod(int64_t(movedTo) * step, R);
        const int64_t b = floorMod((int64_t(movedFrom) - int64_t(movedTo)) * p, R);
        int64_t m = 0;
        if (a != 0) {
            const int64_t d = std::gcd(a, R);
            const int64_t modulus = R / d;
            const int64_t target = floorMod((b + d / 2) / d, modulus);
            m = floorMod(target * inverseMod(a / d, modulus), modulus);
        }
        k = p + step * m;
    }
    return size_t(floorMod(k, L));
}

LoopPlayer::LoopPlayer(int32_t fadeFrames)
    : m_fadeFrames(std::max(0, fadeFrames))
{
}

LoopPlayer::~LoopPlayer() = default;

void LoopPlayer::setFadeFrames(int32_t frames)
{
    m_fadeFrames.store(std::max(0, frames), std::memory_order_relaxed);
}

void LoopPlayer::play(LoopBuffer* buffer)
{
    if (m_requested.load(std::memory_order_relaxed) == buffer)
        return;
    m_requested.store(buffer, std::memory_order_seq_cst);
}

void LoopPlayer::stop(LoopBuffer* buffer)
{
    if (buffer != nullptr && m_requested.load(std::memory_order_relaxed) == buffer)
        m_requested.store(nullptr, std::memory_order_seq_cst);
}

void LoopPlayer::stopAll()
{
    if (m_requested.load(std::memory_order_relaxed) != nullptr)
        m_requested.store(nullptr, std::memory_order_seq_cst);
}

bool LoopPlayer::isAttached(const LoopBuffer* buffer) const
{
    return buffer != nullptr && m_requested.load(std::memory_order_relaxed) == buffer;
}

bool LoopPlayer::fillsSince(uint64_t mark) const
{
    // The mark was read (sequentially consistent) after the buffer stopped being asked for.
    // Even: no fill was running, and every later fill reads the new request, so none can
    // take the buffer up again. Odd: the fill then running may have; once it has left (its
    // last increment releases what it did), inAudio tells.
    return (mark & 1U) == 0 || m_fillCount.load(std::memory_order_acquire) > mark;
}

bool LoopPlayer::canFree(const Retired& retired) const
{
    // inAudio is cleared, with release, after the audio thread's last read of the buffer.
    return retired.buffer.get() != m_requested.load(std::memory_order_relaxed)
        && fillsSince(retired.mark) && !retired.buffer->inAudio.load(std::memory_order_acquire);
}

void LoopPlayer::retire(std::unique_ptr<LoopBuffer> buffer, bool keepPlaying)
{
    if (!buffer)
        return;
    if (!keepPlaying)
        stop(buffer.get());
    const uint64_t mark = m_fillCount.load(std::memory_order_seq_cst);
    m_retired.push_back({ std::move(buffer), mark });
    reclaim();
}

void LoopPlayer::reclaim()
{
    std::erase_if(m_retired, [this](const Retired& r) { return canFree(r); });
}

bool LoopPlayer::hold(LoopBuffer& buffer, int limitMs)
{
    // Sequentially consistent store and load pair with the fill's counter increment and its
    // loads of `held`: either that fill sees the flag, or the mark shows it running.
    buffer.held.store(true, std::memory_order_seq_cst);
    const uint64_t mark = m_fillCount.load(std::memory_order_seq_cst);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (!fillsSince(mark) || buffer.inAudio.load(std::memory_order_acquire)) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::yield();
    }
    return true;
}

void LoopPlayer::release(LoopBuffer& buffer)
{
    buffer.held.store(false, std::memory_order_seq_cst);
}

void LoopPlayer::reset()
{
    if (m_current.buffer != nullptr)
        drop(m_current);
    for (Voice& v : m_outgoing)
        if (v.buffer != nullptr)
            drop(v);
    m_lastRequest = nullptr;
    m_silent.store(true, std::memory_order_release);
    reclaim();
}

// ---- audio thread ------------------------------------------------------------------------

void LoopPlayer::drop(Voice& voice) noexcept
{
    voice.buffer->inAudio.store(false, std::memory_order_release);
    voice = Voice {};
}

void LoopPlayer::compactOutgoing() noexcept
{
    // In place and in order (std::stable_partition may allocate a buffer: not here).
    size_t to = 0;
    for (size_t from = 0; from < m_outgoing.size(); ++from) {
        if (m_outgoing[from].buffer == nullptr)
            continue;
        if (to != from) {
            m_outgoing[to] = m_outgoing[from];
            m_outgoing[from] = Voice {};
        }
        ++to;
    }
}

bool LoopPlayer::anyVoice() const noexcept
{
    return m_current.buffer != nullptr || m_outgoing[0].buffer != nullptr;
}

void LoopPlayer::pushOutgoing(Voice voice) noexcept
{
    if (voice.fade <= 0 || m_fadeFrames.load(std::memory_order_relaxed) == 0) {
        drop(voice);
        return;
    }
    voice.direction = -1;
    // The oldest, and so quietest, voice gives way when all are taken.
    if (m_outgoing.back().buffer != nullptr)
        drop(m_outgoing.back());
    std::move_backward(m_outgoing.begin(), m_outgoing.end() - 1, m_outgoing.end());
    m_outgoing[0] = voice;
}

void LoopPlayer::transition(LoopBuffer* requested, int32_t fade) noexcept
{
    if (m_current.buffer == requested && requested != nullptr) {
        m_lastRequest = requested;
        return;
    }
    // The tones a new buffer continues are those of the buffer heard last. Taken now: that
    // buffer may be let go of just below, and then the UI thread may free it.
    const LoopBuffer* leader
        = m_current.buffer != nullptr ? m_current.buffer : m_outgoing[0].buffer;
    const bool haveLeader = leader != nullptr;
    const size_t leaderPosition = haveLeader ? leader->position : 0;
    const SignalPhase leaderPhase = haveLeader ? leader->phase : SignalPhase {};
    const int32_t leaderRate = haveLeader ? leader->sampleRate : 0;
    if (m_current.buffer != nullptr) {
        pushOutgoing(m_current);
        m_current = Voice {};
    }
    m_lastRequest = requested;
    if (requested == nullptr) {
        m_transitions.fetch_add(1, std::memory_order_release);
        return;
    }
    if (requested->held.load(std::memory_order_seq_cst)) {
        m_lastRequest = nullptr; // taken up once the UI thread lets go of it
        return;
    }
    if (!requested->looping && requested->position >= requested->frames())
        return; // a single pass that has ended stays silent
    m_transitions.fetch_add(1, std::memory_order_release);

    // A buffer fading out and asked for again fades back in from where it is.
    for (Voice& v : m_outgoing) {
        if (v.buffer == requested) {
            m_current = v;
            m_current.direction = fade > 0 ? +1 : 0;
            v = Voice {};
            compactOutgoing();
            return;
        }
    }

    requested->inAudio.store(true, std::memory_order_relaxed); // published by fill's end
    if (!requested->started && fade > 0 && haveLeader && leaderRate == requested->sampleRate) {
        if (const auto k = continuingFrame(leaderPhase, leaderPosition, requested->phase,
                requested->sampleRate, requested->frames()))
            requested->position = *k;
    }
    requested->started = true;
    m_current = Voice { requested, 0, fade > 0 ? +1 : 0 };
}

size_t LoopPlayer::copySteady(uint8_t* out, size_t frames) noexcept
{
    LoopBuffer& b = *m_current.buffer;
    const size_t total = b.frames();
    size_t done = 0;
    while (done < frames) {
        if (b.position >= total) {
            if (!b.looping || total == 0) {
                drop(m_current);
                break;
            }
            b.position = 0;
        }
        const size_t n = std::min(frames - done, total - b.position);
        std::memcpy(out + done * LoopBuffer::FrameBytes,
            b.bytes.data() + b.position * LoopBuffer::FrameBytes, n * LoopBuffer::FrameBytes);
        done += n;
        b.position += n;
    }
    if (m_current.buffer != nullptr && b.looping && b.position >= total)
        b.position = 0;
    return done;
}

size_t LoopPlayer::mixFading(uint8_t* out, size_t frames, int32_t fade) noexcept
{
    size_t done = 0;
    while (done < frames) {
        const bool fading = m_current.direction != 0 || m_outgoing[0].buffer != nullptr;
        if (!fading || !anyVoice())
            break;
        double left = 0.0, right = 0.0;
        auto sound = [&](Voice& v) {
            LoopBuffer& b = *v.buffer;
            if (b.position >= b.frames()) {
                if (!b.looping || b.frames() == 0) {
                    drop(v);
                    return;
                }
                b.position = 0;
            }
            int16_t frame[2];
            std::memcpy(frame, b.bytes.data() + b.position * LoopBuffer::FrameBytes, 4);
            const double g = gainAt(v.fade, fade);
            left += g * frame[0];
            right += g * frame[1];
            ++b.position;
            if (b.looping && b.position >= b.frames())
                b.position = 0;
            v.fade += v.direction;
            if (v.direction > 0 && v.fade >= fade) {
                v.fade = fade;
                v.direction = 0;
            } else if (v.direction < 0 && v.fade <= 0) {
                drop(v);
            }
        };
        if (m_current.buffer != nullptr)
            sound(m_current);
        for (Voice& v : m_outgoing)
            if (v.buffer != nullptr)
                sound(v);
        compactOutgoing();
        const int16_t frame[2] = { clampSample(left), clampSample(right) };
        std::memcpy(out + done * LoopBuffer::FrameBytes, frame, sizeof frame);
        ++done;
    }
    return done;
}

void LoopPlayer::fill(uint8_t* out, size_t byteCount) noexcept
{
    m_fillCount.fetch_add(1, std::memory_order_seq_cst);
    LoopBuffer* requested = m_requested.load(std::memory_order_seq_cst);
    const int32_t fade = m_fadeFrames.load(std::memory_order_relaxed);

    // A buffer the UI thread holds for a write is let go of at once.
    if (m_current.buffer != nullptr && m_current.buffer->held.load(std::memory_order_seq_cst)) {
        drop(m_current);
        m_lastRequest = nullptr;
    }
    for (Voice& v : m_outgoing)
        if (v.buffer != nullptr && v.buffer->held.load(std::memory_order_seq_cst))
            drop(v);
    compactOutgoing();

    if (requested != m_lastRequest)
        transition(requested, fade);

    const size_t frames = byteCount / LoopBuffer::FrameBytes;
    size_t done = 0;
    while (done < frames && anyVoice()) {
        uint8_t* at = out + done * LoopBuffer::FrameBytes;
        const bool fading = m_current.direction != 0 || m_outgoing[0].buffer != nullptr;
        done += fading ? mixFading(at, frames - done, fade) : copySteady(at, frames - done);
    }
    if (done * LoopBuffer::FrameBytes < byteCount)
        std::memset(
            out + done * LoopBuffer::FrameBytes, 0, byteCount - done * LoopBuffer::FrameBytes);

    m_silent.store(!anyVoice(), std::memory_order_release);
    m_fillCount.fetch_add(1, std::memory_order_release);
}

} // namespace vellox::audio
