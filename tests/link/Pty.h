#pragma once

#include <QByteArray>
#include <QString>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

// A pseudo-terminal for the driver to open; the test holds the master side and one descriptor
// on the terminal, as the simulator does.
class Pty {
public:
    Pty() {
        m_master = posix_openpt(O_RDWR | O_NOCTTY);
        if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0)
            return;
        m_device = QString::fromLocal8Bit(ptsname(m_master));
        m_keep = ::open(ptsname(m_master), O_RDWR | O_NOCTTY);
        termios tio{};
        tcgetattr(m_keep, &tio);
        cfmakeraw(&tio);
        tcsetattr(m_keep, TCSANOW, &tio);
        fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
    }
    ~Pty() {
        if (m_keep >= 0)
            ::close(m_keep);
        if (m_master >= 0)
            ::close(m_master);
    }
    bool ok() const { return m_keep >= 0; }
    const QString& device() const { return m_device; }
    int terminal() const { return m_keep; }
    // The characters waiting in the terminal's input queue, the queue the driver reads.
    int waiting() const {
        int n = -1;
        return ::ioctl(m_keep, FIONREAD, &n) == 0 ? n : -1;
    }
    // The other side goes away, as when the cable or the adapter is pulled.
    void hangUp() {
        if (m_master >= 0)
            ::close(m_master);
        m_master = -1;
    }
    void send(const QByteArray& data) {
        [[maybe_unused]] auto n = ::write(m_master, data.constData(), data.size());
    }
    QByteArray take() {
        QByteArray all;
        char buf[512];
        ssize_t n;
        while ((n = ::read(m_master, buf, sizeof buf)) > 0)
            all.append(buf, n);
        return all;
    }

private:
    int m_master = -1;
    int m_keep = -1;
    QString m_device;
};
