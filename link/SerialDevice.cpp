#include "link/SerialDevice.h"

#include "core/SettingsIdentity.h"

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace serial {
namespace {

constexpr const char* comPrefix = "\\\\.\\COM";

// termios knows a fixed set of rates; the others are refused like a device refuses a bad DCB.
bool speedFor(uint32_t rate, speed_t* speed) {
    struct Pair {
        uint32_t rate;
        speed_t speed;
    };
    static constexpr Pair pairs[] = {
        {110, B110},       {300, B300},       {600, B600},       {1200, B1200},     {2400, B2400},
        {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},   {57600, B57600},
        {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600},
    };
    for (const Pair& p : pairs)
        if (p.rate == rate) {
            *speed = p.speed;
            return true;
        }
    return false;
}

// A pseudo-terminal answers the modem calls with ENOTTY (or EINVAL): that means no lines, not a fault.
bool noModemLines(int error) {
    return error == ENOTTY || error == EINVAL;
}

} // namespace

bool OpenFailure::permissionDenied() const {
    return error == EACCES || error == EPERM;
}

QString portSetting(const QString& key) {
    return ProgramSettings().value(key).toString();
}

SerialDevice::~SerialDevice() {
    close();
}

QString SerialDevice::deviceFor(const QString& portName) {
    const QString prefix = QString::fromLatin1(comPrefix);
    if (!portName.startsWith(prefix))
        return portName;
    const QString key = portName.mid(4); // "COMn"
    const QString mapped = portSetting(key);
    if (!mapped.isEmpty())
        return mapped;
    bool ok = false;
    const int n = portName.mid(prefix.size()).toInt(&ok);
    if (!ok || n < 1)
        return portName;
    return QStringLiteral("/dev/ttyS%1").arg(n - 1);
}

QString SerialDevice::deviceGroup(const QString& device) {
    struct stat st {};
    if (::stat(device.toLocal8Bit().constData(), &st) != 0)
        return {};
    const group* g = ::getgrgid(st.st_gid);
    return g ? QString::fromLocal8Bit(g->gr_name) : QString();
}

bool SerialDevice::open(const QString& portName) {
    close();
    m_failure = OpenFailure{deviceFor(portName), 0};
    const int fd =
        ::open(m_failure.device.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        m_failure.error = errno;
        return false;
    }
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0) {
        m_failure.error = errno; // not a terminal at all
        ::close(fd);
        return false;
    }
    // No sharing: a second open of the same terminal fails with EBUSY while we hold it. TIOCEXCL
    // does not stop a privileged process, the lock stops every program that takes it too.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        m_failure.error = errno == EWOULDBLOCK ? EBUSY : errno;
        ::close(fd);
        return false;
    }
    if (::ioctl(fd, TIOCEXCL) != 0 && errno != ENOTTY) {
        m_failure.error = errno;
        ::close(fd);
        return false;
    }
    m_fd = fd;
    return true;
}

void SerialDevice::close() {
    if (m_fd < 0)
        return;
    ::ioctl(m_fd, TIOCNXCL); // the flag outlives our descriptor when another one stays open
    ::close(m_fd);
    m_fd = -1;
}

bool SerialDevice::setState(const LineSettings& s) {
    if (m_fd < 0)
        return false;
    termios tio{};
    if (::tcgetattr(m_fd, &tio) != 0)
        return false;
    speed_t speed{};
    if (!speedFor(s.baudRate, &speed) || s.byteSize < 5 || s.byteSize > 8 || s.parity > 4 || s.stopBits > 2)
        return false;
    ::cfmakeraw(&tio);
    tio.c_cflag &= ~(CSIZE | CSTOPB | PARENB | PARODD | CMSPAR | CRTSCTS);
    tio.c_cflag |= CLOCAL | CREAD;
    static constexpr tcflag_t sizes[] = {CS5, CS6, CS7, CS8};
    tio.c_cflag |= sizes[s.byteSize - 5];
    if (s.stopBits != 0) // 1.5 stop bits is what a UART sends for CSTOPB with 5 data bits
        tio.c_cflag |= CSTOPB;
    switch (s.parity) {
    case 1:
        tio.c_cflag |= PARENB | PARODD;
        break;
    case 2:
        tio.c_cflag |= PARENB;
        break;
    case 3:
        tio.c_cflag |= PARENB | PARODD | CMSPAR;
        break;
    case 4:
        tio.c_cflag |= PARENB | CMSPAR;
        break;
    default:
        break;
    }
    if (s.rts == RtsControl::Handshake || s.outxCtsFlow)
        tio.c_cflag |= CRTSCTS;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK);
    if (s.outX)
        tio.c_iflag |= IXON;
    if (s.inX)
        tio.c_iflag |= IXOFF;
    tio.c_cc[VSTART] = static_cast<cc_t>(s.xonChar);
    tio.c_cc[VSTOP] = static_cast<cc_t>(s.xoffChar);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    ::cfsetispeed(&tio, speed);
    ::cfsetospeed(&tio, speed);
    if (::tcsetattr(m_fd, TCSANOW, &tio) != 0)
        return false;

    int dtr = TIOCM_DTR;
    if (::ioctl(m_fd, s.dtrEnable ? TIOCMBIS : TIOCMBIC, &dtr) != 0 && !noModemLines(errno))
        return false;
    if (s.rts != RtsControl::Handshake) {
        int rts = TIOCM_RTS;
        if (::ioctl(m_fd, s.rts == RtsControl::Enable ? TIOCMBIS : TIOCMBIC, &rts) != 0 &&
            !noModemLines(errno))
            return false;
    }
    return true;
}

bool SerialDevice::setTimeouts(const Timeouts& timeouts) {
    if (m_fd < 0)
        return false;
    // Reads and writes never block here; the values are kept for what they document.
    m_timeouts = timeouts;
    return true;
}

bool SerialDevice::setupQueues(uint32_t, uint32_t) {
    // The kernel sizes its own tty queues (4096 bytes in, more out); the request cannot be refused.
    return m_fd >= 0;
}

bool SerialDevice::purge(bool input, bool output) {
    if (m_fd < 0)
        return false;
    if (input && output)
        return ::tcflush(m_fd, TCIOFLUSH) == 0;
    if (input)
        return ::tcflush(m_fd, TCIFLUSH) == 0;
    if (output)
        return ::tcflush(m_fd, TCOFLUSH) == 0;
    return true;
}

bool SerialDevice::clearError(uint32_t* inQueue, uint32_t* outQueue) {
    if (m_fd < 0)
        return false;
    int in = 0;
    int out = 0;
    if (::ioctl(m_fd, FIONREAD, &in) != 0)
        return false;
    if (::ioctl(m_fd, TIOCOUTQ, &out) != 0)
        out = 0;
    if (inQueue)
        *inQueue = static_cast<uint32_t>(in < 0 ? 0 : in);
    if (outQueue)
        *outQueue = static_cast<uint32_t>(out < 0 ? 0 : out);
    return true;
}

bool SerialDevice::modemStatus(unsigned* lines) {
    *lines = 0;
    if (m_fd < 0)
        return false;
    int bits = 0;
    if (::ioctl(m_fd, TIOCMGET, &bits) != 0)
        return noModemLines(errno);
    if (bits & TIOCM_CTS)
        *lines |= Cts;
    if (bits & TIOCM_DSR)
        *lines |= Dsr;
    if (bits & TIOCM_RNG)
        *lines |= Ring;
    if (bits & TIOCM_CAR)
        *lines |= Rlsd;
    return true;
}

int64_t SerialDevice::read(char* data, uint32_t count) {
    if (m_fd < 0)
        return -1;
    const ssize_t n = ::read(m_fd, data, count);
    if (n < 0)
        return (errno == EAGAIN || errno == EINTR) ? 0 : -1;
    return n;
}

int64_t SerialDevice::write(const char* data, uint32_t count) {
    if (m_fd < 0)
        return -1;
    const ssize_t n = ::write(m_fd, data, count);
    if (n < 0)
        return (errno == EAGAIN || errno == EINTR) ? 0 : -1;
    return n;
}

bool SerialDevice::waitWritable(int ms) {
    if (m_fd < 0)
        return false;
    pollfd p{m_fd, POLLOUT, 0};
    return ::poll(&p, 1, ms < 0 ? 0 : ms) > 0 && (p.revents & POLLOUT);
}

bool SerialDevice::lineLost() {
    if (m_fd < 0)
        return false;
    pollfd p{m_fd, POLLIN, 0};
    if (::poll(&p, 1, 0) < 0)
        return errno != EINTR;
    return (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

uint32_t SerialDevice::tickCount() {
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint32_t>(static_cast<uint64_t>(ts.tv_sec) * 1000u +
                                 static_cast<uint64_t>(ts.tv_nsec) / 1000000u);
}

} // namespace serial
