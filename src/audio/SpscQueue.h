#pragma once

// The wait-free single-producer/single-consumer queue of the audio hand-over: Debian's
// readerwriterqueue (moodycamel::ReaderWriterQueue), whose try_enqueue and try_dequeue on a
// queue of fixed capacity never allocate, lock or wait.
//
// It orders its element accesses with std::atomic_thread_fence, which ThreadSanitizer does
// not see. The header tells ThreadSanitizer about its fences itself only where the compiler
// has __has_feature (clang); GCC's -fsanitize=thread gets the same annotations here, so that
// a sanitized build checks the hand-over instead of reporting the queue's own accesses.

#if defined(__SANITIZE_THREAD__) && !defined(AE_TSAN_ANNOTATE_RELEASE)
extern "C" void AnnotateHappensBefore(const char*, int, void*);
extern "C" void AnnotateHappensAfter(const char*, int, void*);
namespace moodycamel {
inline int ae_tsan_global;
}
#define AE_TSAN_ANNOTATE_RELEASE()                                                                 \
    AnnotateHappensBefore(__FILE__, __LINE__, (void*)(&::moodycamel::ae_tsan_global))
#define AE_TSAN_ANNOTATE_ACQUIRE()                                                                 \
    AnnotateHappensAfter(__FILE__, __LINE__, (void*)(&::moodycamel::ae_tsan_global))
#endif

#include <readerwriterqueue/readerwriterqueue.h>
