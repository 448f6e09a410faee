#include "LoopPlayer.h"

#include <algorithm>
#include <cstring>
#include <thread>

namespace vellox::audio {

void LoopPlayer::play(LoopBuffer* buffer)
{
    if (m_attached.load(std::memory_order_relaxed) == buffer)
        return;
    detach(buffer);
}

void LoopPlayer::stop(LoopBuffer* buffer)
{
    if (buffer != nullptr && m_attached.load(std::memory_order_relaxed) == buffer)
        detach(nullptr);
}

void LoopPlayer::stopAll()
{
    if (m_attached.load(std::memory_order_relaxed) != nullptr)
        detach(nullptr);
}

bool LoopPlayer::isAttached(const LoopBuffer* buffer) const
{
    return buffer != nullptr && m_attached.load(std::memory_order_relaxed) == buffer;
}

void LoopPlayer::detach(LoopBuffer* replacement)
{
    // Sequentially consistent swap and counter read pair with the counter increment and
    // pointer load in fill: either that fill already sees the replacement, or its
    // increment comes first and the read below finds the counter odd.
    m_attached.exchange(replacement, std::memory_order_seq_cst);
    const uint64_t seen = m_fillCount.load(std::memory_order_seq_cst);
    if ((seen & 1U) == 0)
        return;
    // The audio thread is inside a fill that may hold the old pointer: wait until it
    // leaves. A later fill loads the new pointer. The acquire load makes its reads of the
    // old buffer happen before anything the caller does to it next.
    while (m_fillCount.load(std::memory_order_acquire) == seen)
        std::this_thread::yield();
}

void LoopPlayer::fill(uint8_t* out, size_t byteCount) noexcept
{
    m_fillCount.fetch_add(1, std::memory_order_seq_cst);
    LoopBuffer* buffer = m_attached.load(std::memory_order_seq_cst);

    size_t done = 0;
    if (buffer != nullptr) {
        const size_t frames = buffer->frames();
        const uint8_t* src = buffer->bytes.data();
        size_t outFrames = byteCount / LoopBuffer::FrameBytes;
        size_t pos = buffer->position;
        while (outFrames > 0 && frames > 0) {
            if (pos >= frames) {
                if (!buffer->looping)
                    break;
                pos = 0;
            }
            const size_t n = std::min(outFrames, frames - pos);
            std::memcpy(out + done, src + pos * LoopBuffer::FrameBytes, n * LoopBuffer::FrameBytes);
            done += n * LoopBuffer::FrameBytes;
            pos += n;
            outFrames -= n;
        }
        buffer->position = (buffer->looping && pos >= frames) ? 0 : pos;
    }
    if (done < byteCount)
        std::memset(out + done, 0, byteCount - done);

    m_fillCount.fetch_add(1, std::memory_order_release);
}

} // namespace vellox::audio
