// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// No new thread for as long as it lives, as under a tight `ulimit -v`: a new thread's stack is made
// larger than the address space, so it cannot be mapped and std::thread throws std::system_error.
// Threads already running go on; small allocations still succeed.
#include <pthread.h>

#include <cstddef>

class NoNewThreads final
{
public:
    NoNewThreads()
    {
        ::pthread_getattr_default_np(&m_old);
        pthread_attr_t huge;
        ::pthread_attr_init(&huge);
        ::pthread_attr_setstacksize(&huge, std::size_t(1) << 50);
        ::pthread_setattr_default_np(&huge);
        ::pthread_attr_destroy(&huge);
    }
    ~NoNewThreads()
    {
        ::pthread_setattr_default_np(&m_old);
        ::pthread_attr_destroy(&m_old);
    }
    NoNewThreads(const NoNewThreads &) = delete;
    NoNewThreads &operator=(const NoNewThreads &) = delete;

private:
    pthread_attr_t m_old{};
};
