// The audio thread's scheduling: real-time through rtkit (SDL asks when the thread starts),
// else SCHED_RR directly where the system allows it, else the highest nice level it may
// take; each refusal quiet.

#include "SdlSoundBackend.h"

#include <cerrno>

#include <sched.h>
#include <sys/resource.h>

namespace vellox::audio {

namespace {
    // The real-time priority asked for directly: above a desktop's ordinary threads, below
    // the sound servers' own (PulseAudio 5 to 20 through rtkit, PipeWire's data loop 88).
    constexpr int DirectRealtimePriority = 10;

    std::string schedulingOf(pid_t tid)
    {
        const int policy = sched_getscheduler(tid);
        if (policy < 0)
            return "unknown";
        if ((policy & ~SCHED_RESET_ON_FORK) == SCHED_RR
            || (policy & ~SCHED_RESET_ON_FORK) == SCHED_FIFO) {
            sched_param p {};
            sched_getparam(tid, &p);
            return std::string("realtime (")
                + ((policy & ~SCHED_RESET_ON_FORK) == SCHED_RR ? "SCHED_RR " : "SCHED_FIFO ")
                + std::to_string(p.sched_priority) + ")";
        }
        errno = 0;
        const int nice = getpriority(PRIO_PROCESS, id_t(tid));
        return nice != 0 && errno == 0 ? "nice " + std::to_string(nice) : "normal";
    }
} // namespace

void SdlSoundBackend::raiseAudioThread()
{
    if (m_priorityDone || m_device == 0)
        return;
    const long tid = m_callback.threadId.load(std::memory_order_acquire);
    if (tid == 0)
        return; // no callback yet: asked again by the next call
    m_priorityDone = true;
    const pid_t thread = pid_t(tid);
    const int policy = sched_getscheduler(thread);
    if (policy >= 0 && (policy & ~SCHED_RESET_ON_FORK) == SCHED_OTHER) {
        // rtkit refused, or is not there: directly, where the user may (root, CAP_SYS_NICE,
        // an RLIMIT_RTPRIO), else the highest nice level allowed. Each failure is quiet.
        sched_param param {};
        param.sched_priority = DirectRealtimePriority;
        if (sched_setscheduler(thread, SCHED_RR | SCHED_RESET_ON_FORK, &param) != 0) {
            for (int nice = -20; nice < 0; ++nice)
                if (setpriority(PRIO_PROCESS, id_t(thread), nice) == 0)
                    break;
        }
    }
    m_scheduling = schedulingOf(thread);
}

std::string SdlSoundBackend::audioThreadScheduling()
{
    raiseAudioThread();
    return m_scheduling;
}

} // namespace vellox::audio
