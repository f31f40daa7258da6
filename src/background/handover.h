#ifndef HANDOVER_H
#define HANDOVER_H

// Marks where a value crosses from one thread to another. The queued
// signals that carry it order the two threads through a mutex inside Qt,
// which ThreadSanitizer cannot see in a Qt that was not built for it; with
// these marks it sees the order they guarantee and reports only real races.
// In every other build they are nothing.
//
// The sender calls sent(channel) just before it emits; the receiver calls
// received(channel) first thing in the slot; `channel` is any address both
// agree on (the receiving object, say).

#if defined(__SANITIZE_THREAD__)
#define QUILLET_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define QUILLET_THREAD_SANITIZER 1
#endif
#endif

#ifdef QUILLET_THREAD_SANITIZER
extern "C" void __tsan_acquire(void *address);
extern "C" void __tsan_release(void *address);
#endif

namespace HandOver {
inline void sent(const void *channel)
{
#ifdef QUILLET_THREAD_SANITIZER
    __tsan_release(const_cast<void *>(channel));
#else
    (void)channel;
#endif
}

inline void received(const void *channel)
{
#ifdef QUILLET_THREAD_SANITIZER
    __tsan_acquire(const_cast<void *>(channel));
#else
    (void)channel;
#endif
}
}  // namespace HandOver

#endif  // HANDOVER_H
