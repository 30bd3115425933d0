#pragma once

#include <csignal>
#include <sys/resource.h>

// Caps the size of every regular file this process writes from now on, as a full disk would:
// a write at or beyond the cap fails with EFBIG (SIGXFSZ is ignored), and the code under test
// has to cope as it must with ENOSPC. Unlike a full disk the cap also refuses rewrites of bytes
// beyond it, so tests keep the files they change in place smaller than the cap.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        m_active = getrlimit(RLIMIT_FSIZE, &m_old) == 0;
        if (!m_active)
            return;
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit capped = m_old;
        capped.rlim_cur = bytes;
        m_active = setrlimit(RLIMIT_FSIZE, &capped) == 0;
    }
    ~FileSizeLimit() { lift(); }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

    bool active() const { return m_active; }

    // The disk has room again.
    void lift() {
        if (!m_active)
            return;
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
        m_active = false;
    }

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = SIG_DFL;
    bool m_active = false;
};
