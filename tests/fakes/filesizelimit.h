// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A full disk for as long as it lives: files of this process cannot grow past `bytes`. A write that
// crosses the limit is cut short and the next one fails with EFBIG, as on a disk that fills up.
#include <csignal>
#include <sys/resource.h>

class FileSizeLimit final
{
public:
    explicit FileSizeLimit(long long bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit limit = m_old;
        limit.rlim_cur = static_cast<rlim_t>(bytes);
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { ::setrlimit(RLIMIT_FSIZE, &m_old); }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    rlimit m_old{};
};
