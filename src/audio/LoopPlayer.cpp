#include "LoopPlayer.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstring>
#include <numbers>
#include <numeric>

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

    // One frame of a mix, in the buffers' own units.
    struct Mix {
        double left = 0.0;
        double right = 0.0;
    };

    Mix readFrame(const uint8_t* at, FrameEncoding encoding) noexcept
    {
        switch (encoding) {
        case FrameEncoding::S32: {
            int32_t v[2];
            std::memcpy(v, at, sizeof v);
            return { double(v[0]), double(v[1]) };
        }
        case FrameEncoding::F32: {
            float v[2];
            std::memcpy(v, at, sizeof v);
            return { double(v[0]), double(v[1]) };
        }
        case FrameEncoding::S16:
            break;
        }
        int16_t v[2];
        std::memcpy(v, at, sizeof v);
        return { double(v[0]), double(v[1]) };
    }

    // Several voices fading at once may sum beyond full scale: the mix clips there, as
    // the synthesis does.
    template <typename T> T clampTo(double v, double low, double high)
    {
        return T(std::clamp(std::nearbyint(v), low, high));
    }

    void writeFrame(uint8_t* at, FrameEncoding encoding, const Mix& mix) noexcept
    {
        switch (encoding) {
        case FrameEncoding::S32: {
            const int32_t v[2] = { clampTo<int32_t>(mix.left, -2147483648.0, 2147483647.0),
                clampTo<int32_t>(mix.right, -2147483648.0, 2147483647.0) };
            std::memcpy(at, v, sizeof v);
            return;
        }
        case FrameEncoding::F32: {
            const float v[2] = { float(std::clamp(mix.left, -1.0, 1.0)),
                float(std::clamp(mix.right, -1.0, 1.0)) };
            std::memcpy(at, v, sizeof v);
            return;
        }
        case FrameEncoding::S16:
            break;
        }
        const int16_t v[2] = { clampTo<int16_t>(mix.left, -32768.0, 32767.0),
            clampTo<int16_t>(mix.right, -32768.0, 32767.0) };
        std::memcpy(at, v, sizeof v);
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
    // period in frames (step, the periods' common multiple); a moved one is matched as nearly
    // as the others allow.
    int64_t step = 1;
    int32_t movedFrom = 0, movedTo = 0, unmoved = 0;
    int moved = 0;
    const std::pair<int32_t, int32_t> tones[] = { { from.f1, to.f1 }, { from.f2, to.f2 } };
    for (const auto& [a, b] : tones) {
        if (a == 0 || b == 0)
            continue;
        if (a == b) {
            step = std::lcm(step, R / std::gcd(int64_t(b), R));
            unmoved = b;
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
        // k = p + t + step * m. The unmoved tone is off by unmoved * t, the moved one by
        // b = movedFrom * p - movedTo * (p + t) less a * m, a = movedTo * step: the nearest
        // multiple of d = gcd(a, R) to b is reached, in units of 1/R of a cycle. Holding the
        // unmoved tone exactly (t = 0) can leave the moved one half a cycle off (1100 Hz
        // after 1090 beside 100 Hz at 98000 Hz), and a cross-fade between opposite phases
        // cancels; a few frames of t trade a little of one tone's phase for the other's.
        // The worse of the two decides the dip, so the shift with the least worse error wins.
        const int64_t a = floorMod(int64_t(movedTo) * step, R);
        const int64_t d = a == 0 ? R : std::gcd(a, R);
        const auto offBy = [R](int64_t cycles) { // distance to a whole cycle, in 1/R
            const int64_t x = floorMod(cycles, R);
            return std::min(x, R - x);
        };
        constexpr int64_t MaxShift = 4096; // frames each way: a bounded search on the audio thread
        const int64_t span = unmoved == 0 ? 0 : std::min(step / 2, MaxShift);
        int64_t bestShift = 0, bestTarget = 0, bestError = R;
        for (int64_t t = -span; t <= span; ++t) {
            const int64_t b
                = floorMod((int64_t(movedFrom) - int64_t(movedTo)) * p - int64_t(movedTo) * t, R);
            const int64_t r = b % d;
            const int64_t error = std::max(std::min(r, d - r), offBy(int64_t(unmoved) * t));
            if (error < bestError || (error == bestError && std::abs(t) < std::abs(bestShift))) {
                bestError = error;
                bestShift = t;
                bestTarget = b;
            }
        }
        int64_t m = 0;
        if (a != 0) {
            const int64_t modulus = R / d;
            const int64_t target = floorMod((bestTarget + d / 2) / d, modulus);
            m = floorMod(target * inverseMod(a / d, modulus), modulus);
        }
        k = p + bestShift + step * m;
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

// ---- UI thread ---------------------------------------------------------------------------

LoopBuffer& LoopPlayer::create(size_t byteCount, int32_t rate, FrameEncoding encoding)
{
    auto buffer = std::make_unique<LoopBuffer>(byteCount, rate, encoding);
    LoopBuffer& b = *buffer;
    m_buffers.emplace(&b, Entry { std::move(buffer) });
    return b;
}

LoopBuffer& LoopPlayer::createStream(
    std::unique_ptr<ToneStream> stream, FrameEncoding encoding, size_t windowFrames)
{
    const int32_t rate = stream->settings().SampleRate;
    LoopBuffer& b
        = create(std::max<size_t>(windowFrames, 1) * frameBytes(encoding), rate, encoding);
    b.stream = std::move(stream);
    // Computed when it first sounds, from the phases of the stream heard before; until then
    // the window counts as heard.
    b.position = b.frames();
    return b;
}

LoopPlayer::Entry& LoopPlayer::entryOf(const LoopBuffer& buffer)
{
    const auto it = m_buffers.find(&buffer);
    assert(it != m_buffers.end() && !it->second.freed);
    return it->second;
}

const LoopPlayer::Entry* LoopPlayer::findEntry(const LoopBuffer& buffer) const
{
    const auto it = m_buffers.find(&buffer);
    return it != m_buffers.end() ? &it->second : nullptr;
}

bool LoopPlayer::send(const Request& request)
{
    // Room for the answer is always there: the return queue holds every request in flight
    // and every voice. Handing back what has come first keeps it so.
    reclaim();
    Request r = request;
    r.sequence = m_sequence + 1;
    if (!m_requests.try_enqueue(r))
        return false;
    m_sequence = r.sequence;
    return true;
}

bool LoopPlayer::play(LoopBuffer& buffer, bool looping)
{
    reclaim();
    Entry& e = entryOf(buffer);
    if (m_requested == &buffer && e.requestsOut > 0 && e.looping == looping)
        return true; // it plays, or fades in, already
    // The audio thread rewinds a single pass that has ended when it takes the request up:
    // the buffer may still be its own here.
    if (!send({ 0, Kind::Play, &buffer, looping }))
        return false;
    ++e.requestsOut;
    e.looping = looping;
    m_requested = &buffer;
    return true;
}

void LoopPlayer::stop(const LoopBuffer& buffer)
{
    if (m_requested == &buffer)
        stopAll();
}

void LoopPlayer::stopAll()
{
    if (m_requested == nullptr)
        return;
    // Silence carries no buffer; if the queue is full the audio thread is not running, and
    // whatever it had is silent anyway.
    if (send({ 0, Kind::Silence, nullptr, true }))
        m_requested = nullptr;
}

bool LoopPlayer::isAttached(const LoopBuffer& buffer) const
{
    return m_requested == &buffer;
}

bool LoopPlayer::withAudio(const LoopBuffer& buffer) const
{
    const Entry* e = findEntry(buffer);
    return e != nullptr && e->requestsOut > 0;
}

void LoopPlayer::free(LoopBuffer& buffer)
{
    Entry& e = entryOf(buffer);
    stop(buffer);
    e.freed = true;
    reclaim();
}

void LoopPlayer::cameBack(LoopBuffer* buffer)
{
    const auto it = m_buffers.find(buffer);
    assert(it != m_buffers.end() && it->second.requestsOut > 0);
    if (it == m_buffers.end())
        return;
    --it->second.requestsOut;
}

void LoopPlayer::reclaim()
{
    LoopBuffer* back = nullptr;
    while (m_returns.try_dequeue(back))
        cameBack(back);
    std::erase_if(m_buffers, [this](const auto& item) {
        const Entry& e = item.second;
        if (!e.freed || e.requestsOut > 0)
            return false;
        // Still the one asked for only when its silence found the queue full (no fill
        // runs); its address may hold the next buffer, which must not be taken for it.
        if (m_requested == e.buffer.get())
            m_requested = nullptr;
        return true;
    });
}

size_t LoopPlayer::retiredCount() const
{
    return size_t(std::count_if(
        m_buffers.begin(), m_buffers.end(), [](const auto& item) { return item.second.freed; }));
}

void LoopPlayer::reset()
{
    // No fill runs: the audio thread's side is this thread's for the moment. Requests not
    // taken up come back unplayed, voices come back as they are.
    Request r;
    while (m_requests.try_dequeue(r))
        if (r.kind == Kind::Play)
            cameBack(r.buffer);
    if (m_current.buffer != nullptr)
        drop(m_current);
    for (Voice& v : m_outgoing)
        if (v.buffer != nullptr)
            drop(v);
    m_requested = nullptr;
    m_silent.store(true, std::memory_order_release);
    m_taken.store(m_sequence, std::memory_order_release);
    reclaim();
}

// ---- audio thread ------------------------------------------------------------------------

void LoopPlayer::giveBack(LoopBuffer* buffer) noexcept
{
    // Cannot fail: the queue has room for every buffer this thread can have.
    [[maybe_unused]] const bool queued = m_returns.try_enqueue(buffer);
    assert(queued);
}

void LoopPlayer::rewind(LoopBuffer& buffer) noexcept
{
    buffer.position = 0;
    if (buffer.stream != nullptr)
        buffer.stream->fill(buffer.bytes.data(), int32_t(buffer.frames()));
}

void LoopPlayer::drop(Voice& voice) noexcept
{
    giveBack(voice.buffer);
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

double LoopPlayer::Voice::gain(int32_t fadeFrames) const noexcept
{
    return scale * gainAt(fade, fadeFrames);
}

void LoopPlayer::pushOutgoing(Voice voice) noexcept
{
    const int32_t fade = m_fadeFrames.load(std::memory_order_relaxed);
    const double gain = fade > 0 ? voice.gain(fade) : 0.0;
    if (gain <= 0.0) {
        drop(voice);
        return;
    }
    // A new transition: whatever fades out falls from here along the whole curve, so that
    // the voices going sum to one less the one coming in.
    for (Voice& v : m_outgoing) {
        if (v.buffer == nullptr)
            continue;
        v.scale = v.gain(fade);
        v.fade = fade;
    }
    voice.scale = gain;
    voice.fade = fade;
    voice.direction = -1;
    // The quietest voice gives way when all are taken (the new one, if it is), and the
    // others take up its gain: where the voices are one tone, as in a sweep, the level holds.
    if (m_outgoing.back().buffer != nullptr) {
        double total = voice.scale;
        Voice* quietest = &voice;
        for (Voice& v : m_outgoing) {
            total += v.scale;
            if (v.scale < quietest->scale)
                quietest = &v;
        }
        const double keep = total / (total - quietest->scale);
        const bool newIsQuietest = quietest == &voice;
        drop(*quietest);
        for (Voice& v : m_outgoing)
            v.scale *= keep;
        if (newIsQuietest)
            return;
        voice.scale *= keep;
        compactOutgoing();
    }
    std::move_backward(m_outgoing.begin(), m_outgoing.end() - 1, m_outgoing.end());
    m_outgoing[0] = voice;
}

void LoopPlayer::take(const Request& request, int32_t fade) noexcept
{
    switch (request.kind) {
    case Kind::Play:
        transition(request.buffer, request.looping, fade);
        break;
    case Kind::Silence:
        transition(nullptr, true, fade);
        break;
    }
    m_taken.store(request.sequence, std::memory_order_release);
}

void LoopPlayer::transition(LoopBuffer* requested, bool looping, int32_t fade) noexcept
{
    // The tones a new buffer continues are those of the buffer heard last: the one asked
    // for, once it has sounded, or else the one fading out most recently. Taken now: that
    // buffer may be handed back just below.
    const bool currentSounded
        = m_current.buffer != nullptr && (m_current.direction == 0 || m_current.fade > 0);
    const LoopBuffer* leader = currentSounded ? m_current.buffer : m_outgoing[0].buffer;
    const bool haveLeader = leader != nullptr;
    const size_t leaderPosition = haveLeader ? leader->position : 0;
    const SignalPhase leaderPhase = haveLeader ? leader->phase : SignalPhase {};
    const int32_t leaderRate = haveLeader ? leader->sampleRate : 0;

    // A stream's first start goes on from the stream heard last, at the frame heard next;
    // taken here too, before that stream's buffer can go back.
    bool glide = false;
    if (requested != nullptr && requested->stream != nullptr && !requested->started
        && requested->encoding == m_encoding) {
        const bool leaderStreams = haveLeader && leader->stream != nullptr;
        if (leaderStreams)
            requested->stream->continueFrom(*leader->stream,
                int64_t(leader->frames() - std::min(leaderPosition, leader->frames())), fade);
        glide = leaderStreams && leader == m_current.buffer && m_current.direction == 0 && fade > 0
            && requested->stream->glidesFrom(*leader->stream);
        rewind(*requested);
    }

    if (requested != nullptr && requested == m_current.buffer) {
        // Asked for again while it plays: nothing changes but how it loops.
        requested->looping = looping;
        giveBack(requested); // this request's own hand-back; the voice keeps the first
        return;
    }
    if (glide) {
        // The new stream takes over at this frame, its levels gliding from the old ones.
        drop(m_current);
        requested->looping = true;
        requested->started = true;
        m_current = Voice { requested, fade, 0 };
        m_transitions.fetch_add(1, std::memory_order_release);
        return;
    }
    if (m_current.buffer != nullptr) {
        pushOutgoing(m_current);
        m_current = Voice {};
    }
    m_transitions.fetch_add(1, std::memory_order_release);
    if (requested == nullptr)
        return;

    // A buffer fading out and asked for again fades back in from where it is, rising along
    // the curve from the point at or just below the gain it has; the others fall along the
    // rest of that curve, each from its gain, so that the gains never sum to more than one.
    for (Voice& v : m_outgoing) {
        if (v.buffer == requested) {
            requested->looping = looping;
            int32_t from = 0;
            if (fade > 0) {
                const double gain = std::clamp(v.gain(fade), 0.0, 1.0);
                from = std::clamp(int32_t(std::floor(double(fade) * std::acos(1.0 - 2.0 * gain)
                                      / std::numbers::pi)),
                    0, fade);
            }
            m_current = Voice { requested, from, fade > 0 ? +1 : 0 };
            v = Voice {};
            compactOutgoing();
            const double rest = 1.0 - gainAt(from, fade);
            for (Voice& other : m_outgoing) {
                if (other.buffer == nullptr)
                    continue;
                const double gain = other.gain(fade);
                if (rest <= 0.0 || gain <= 0.0) {
                    drop(other);
                    continue;
                }
                other.scale = gain / rest;
                other.fade = fade - from;
            }
            compactOutgoing();
            giveBack(requested); // the voice answers for the earlier request
            return;
        }
    }

    requested->looping = looping;
    if (requested->encoding != m_encoding || requested->frames() == 0) {
        giveBack(requested); // cannot sound on this device
        return;
    }
    if (requested->position >= requested->frames())
        rewind(*requested); // a single pass that has ended plays again from its start
    if (!requested->started && fade > 0 && haveLeader && leaderRate == requested->sampleRate
        && requested->stream == nullptr) {
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
    const size_t frameSize = frameBytes(b.encoding);
    size_t done = 0;
    while (done < frames) {
        if (b.position >= total) {
            if (!b.looping || total == 0) {
                drop(m_current);
                break;
            }
            rewind(b);
        }
        const size_t n = std::min(frames - done, total - b.position);
        std::memcpy(out + done * frameSize, b.bytes.data() + b.position * frameSize, n * frameSize);
        done += n;
        b.position += n;
    }
    if (m_current.buffer != nullptr) {
        if (b.looping && b.position >= total)
            rewind(b);
        else if (!b.looping && b.position >= total)
            drop(m_current); // the single pass has ended: back to the UI thread at once
    }
    return done;
}

size_t LoopPlayer::mixFading(uint8_t* out, size_t frames, int32_t fade) noexcept
{
    const size_t frameSize = frameBytes(m_encoding);
    size_t done = 0;
    while (done < frames) {
        const bool fading = m_current.direction != 0 || m_outgoing[0].buffer != nullptr;
        if (!fading || !anyVoice())
            break;
        Mix mix;
        auto sound = [&](Voice& v) {
            LoopBuffer& b = *v.buffer;
            if (b.position >= b.frames()) {
                if (!b.looping || b.frames() == 0) {
                    drop(v);
                    return;
                }
                rewind(b);
            }
            const Mix frame = readFrame(b.bytes.data() + b.position * frameSize, m_encoding);
            const double g = v.gain(fade);
            mix.left += g * frame.left;
            mix.right += g * frame.right;
            ++b.position;
            if (b.looping && b.position >= b.frames())
                rewind(b);
            v.fade += v.direction;
            if (v.direction > 0 && v.fade >= fade) {
                v.fade = fade;
                v.direction = 0;
            } else if (v.direction < 0 && v.fade <= 0) {
                drop(v);
            } else if (!b.looping && b.position >= b.frames()) {
                drop(v);
            }
        };
        if (m_current.buffer != nullptr)
            sound(m_current);
        for (Voice& v : m_outgoing)
            if (v.buffer != nullptr)
                sound(v);
        compactOutgoing();
        writeFrame(out + done * frameSize, m_encoding, mix);
        ++done;
    }
    return done;
}

void LoopPlayer::fill(uint8_t* out, size_t byteCount) noexcept
{
    const int32_t fade = m_fadeFrames.load(std::memory_order_relaxed);
    const uint64_t thisFill = m_fills.load(std::memory_order_relaxed) + 1;
    Request request;
    while (m_requests.try_dequeue(request)) {
        m_takenAtFill.store(thisFill, std::memory_order_relaxed);
        take(request, fade);
    }

    const size_t frameSize = frameBytes(m_encoding);
    const size_t frames = byteCount / frameSize;
    size_t done = 0;
    while (done < frames && anyVoice()) {
        uint8_t* at = out + done * frameSize;
        const bool fading = m_current.direction != 0 || m_outgoing[0].buffer != nullptr;
        done += fading ? mixFading(at, frames - done, fade) : copySteady(at, frames - done);
    }
    if (done * frameSize < byteCount)
        std::memset(out + done * frameSize, 0, byteCount - done * frameSize);

    m_silent.store(!anyVoice(), std::memory_order_release);
    m_fills.fetch_add(1, std::memory_order_release);
}

} // namespace vellox::audio
