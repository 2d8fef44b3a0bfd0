#pragma once

#include <mutex>
#include <utility>

// Data shared between threads that can only be reached through Lock(): the lock is held
// for as long as the handle it returns lives, so an access without it does not compile.
template <class T>
class Guarded
{
public:
    class Locked
    {
    public:
        T* operator->() const { return m_pData; }
        T& operator*() const { return *m_pData; }

    private:
        friend class Guarded;
        Locked(std::mutex& mutex, T& data) : m_lock(mutex), m_pData(&data) {}

        std::unique_lock<std::mutex> m_lock;
        T* m_pData;
    };

    template <class... Args>
    explicit Guarded(Args&&... args) : m_data(std::forward<Args>(args)...)
    {
    }

    Locked Lock() { return Locked(m_mutex, m_data); }

private:
    std::mutex m_mutex;
    T m_data;
};
