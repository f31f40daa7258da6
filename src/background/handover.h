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
//
// A value that a queued signal carries is copied by Qt into its event after
// the emit has begun, so a mark made before the emit does not cover that
// copy: such a value holds a HandOverMark as its last member, whose copy
// marks the end of the whole copy, and the receiver calls
// receivedValue<T>().

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

// The last member of a value of type T that crosses threads (see above).
template <typename T> struct HandOverMark
{
    HandOverMark() = default;
    HandOverMark(const HandOverMark &) { HandOver::sent(channel()); }
    HandOverMark &operator=(const HandOverMark &)
    {
        HandOver::sent(channel());
        return *this;
    }
    static const void *channel()
    {
        static const char mark = 0;
        return &mark;
    }
};

namespace HandOver {
// First thing in a slot that receives a value of type T from another thread.
template <typename T> inline void receivedValue()
{
    received(HandOverMark<T>::channel());
}
}  // namespace HandOver

#endif  // HANDOVER_H
