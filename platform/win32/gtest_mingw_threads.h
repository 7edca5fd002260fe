// Forced into every GoogleTest translation unit of the win32 tree. mingw-w64
// built with the win32 thread model has no std::mutex or
// std::condition_variable, which GoogleTest's port layer names for its
// internal Notification. These minimal stand-ins (a critical section, and a
// condition wait that polls its predicate) serve only that use.
#pragma once

#include <windows.h>

#include <mutex>

#if !defined(_GLIBCXX_HAS_GTHREADS)
namespace std {
class mutex {
public:
    mutex() { ::InitializeCriticalSection(&cs_); }
    ~mutex() { ::DeleteCriticalSection(&cs_); }
    mutex(const mutex&) = delete;
    mutex& operator=(const mutex&) = delete;
    void lock() { ::EnterCriticalSection(&cs_); }
    void unlock() { ::LeaveCriticalSection(&cs_); }

private:
    CRITICAL_SECTION cs_;
};

class condition_variable {
public:
    void notify_one() {}
    void notify_all() {}
    template <typename Predicate>
    void wait(unique_lock<mutex>& lock, Predicate ready) {
        while (!ready()) {
            lock.unlock();
            ::Sleep(1);
            lock.lock();
        }
    }
};
}  // namespace std
#endif
