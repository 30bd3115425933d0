// A simulated Кварнел-ЛД5 on a pseudo-terminal: the test peer of the download and the demo's
// instrument. Prints the device name of its terminal on the first line of stdout.
#include "link/sim/ImageGenerator.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <string>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void onSignal(int) {
    stopRequested = 1;
}

enum class Fault {
    None,
    Silent,
    WrongType,
    WrongVersion,
    UnknownDate,
    SplitId,
    Restart,
    Odd,
    NoStart,
    Overlong,
    Hangup
};

struct Options {
    std::string link;
    std::string bin;
    std::string writeImage;
    int records = 300;
    bool fast = false;
    bool verbose = false;
    Fault fault = Fault::None;
    int hangupAt = 5000; // characters of the dump sent before the line goes with --fault hangup
};

const char* usage =
    "usage: kvarnel-sim [--link PATH] [--bin IMAGE.bin | --records N] [--write-image FILE]\n"
    "                   [--fast] [--fault KIND] [--hangup-at N] [--verbose]\n"
    "  KIND: silent, wrong-type, wrong-version, unknown-date, split-id, restart (0xEB in mid-dump),\n"
    "        odd (one character lost), no-start (no 0x53), overlong (no 0x50, endless data),\n"
    "        hangup (the terminal closes after N characters of the dump, 5000 unless --hangup-at)\n";

bool parseFault(const std::string& s, Fault* fault) {
    static const std::pair<const char*, Fault> names[] = {
        {"none", Fault::None},
        {"silent", Fault::Silent},
        {"wrong-type", Fault::WrongType},
        {"wrong-version", Fault::WrongVersion},
        {"unknown-date", Fault::UnknownDate},
        {"split-id", Fault::SplitId},
        {"restart", Fault::Restart},
        {"odd", Fault::Odd},
        {"no-start", Fault::NoStart},
        {"overlong", Fault::Overlong},
        {"hangup", Fault::Hangup},
    };
    for (const auto& [name, value] : names)
        if (s == name) {
            *fault = value;
            return true;
        }
    return false;
}

double nowMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) * 1000.0 + static_cast<double>(ts.tv_nsec) / 1e6;
}

// Characters waiting to go out, each with the time it has fully left a 9600 bit/s 8N2 line.
class Line {
public:
    explicit Line(bool fast) : m_charMs(fast ? 0.0 : 11.0 * 1000.0 / 9600.0) {}

    void queue(const std::vector<uint8_t>& bytes, double pauseMs = 0) {
        double due = std::max(nowMs(), m_lastDue) + pauseMs;
        for (uint8_t b : bytes) {
            due += m_charMs;
            m_pending.push_back({b, due});
        }
        m_lastDue = due;
    }
    void clear() {
        m_pending.clear();
        m_lastDue = 0;
    }
    bool empty() const { return m_pending.empty(); }
    // Milliseconds until the next character is due (0 when one is due now), -1 when idle.
    int waitMs() const {
        if (m_pending.empty())
            return -1;
        const double d = m_pending.front().due - nowMs();
        return d <= 0 ? 0 : static_cast<int>(d) + 1;
    }
    void flush(int fd) {
        const double now = nowMs();
        std::vector<char> out;
        for (const Pending& p : m_pending) {
            if (p.due > now)
                break;
            out.push_back(static_cast<char>(p.byte));
        }
        if (out.empty())
            return;
        const ssize_t n = ::write(fd, out.data(), out.size());
        if (n > 0)
            m_pending.erase(m_pending.begin(), m_pending.begin() + n);
    }

private:
    struct Pending {
        uint8_t byte;
        double due;
    };
    double m_charMs;
    double m_lastDue = 0;
    std::deque<Pending> m_pending;
};

std::vector<uint8_t> identification(Fault fault) {
    std::vector<uint8_t> id = {0x37, 0x30, 0x31, 0x39, 0x30, 0x3B, 0x30, 0x3C, 0x30};
    if (fault == Fault::WrongType)
        id[0] = 0x38;
    if (fault == Fault::WrongVersion)
        id[2] = 0x32;
    if (fault == Fault::UnknownDate)
        id[7] = 0x3D;
    return id;
}

std::vector<uint8_t> dumpFor(const std::vector<uint8_t>& image, const Options& opt, int dumpNumber) {
    std::vector<uint8_t> dump = sim::encodeDump(image);
    switch (opt.fault) {
    case Fault::Hangup:
        dump.resize(std::min<size_t>(dump.size(), static_cast<size_t>(std::max(0, opt.hangupAt))));
        break;
    case Fault::Restart:
        if (dumpNumber == 1) { // only the first dump is broken off
            dump.resize(std::min<size_t>(dump.size(), 3001));
            dump.push_back(0xEB);
        }
        break;
    case Fault::Odd:
        dump.erase(dump.begin() + static_cast<long>(dump.size() / 2));
        break;
    case Fault::NoStart:
        dump.erase(dump.begin());
        break;
    case Fault::Overlong: {
        dump.pop_back();
        while (dump.size() < 30000)
            dump.push_back(0x30 + static_cast<uint8_t>(dump.size() % 16));
        break;
    }
    default:
        break;
    }
    return dump;
}

bool readFile(const std::string& path, std::vector<uint8_t>* bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

// The options of the command line; exits with the usage text for anything it does not know.
Options parseOptions(int argc, char** argv) {
    Options opt;
    auto fail = [](int status) {
        std::fputs(usage, stderr);
        std::exit(status);
    };
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto next = [&]() -> std::string {
            if (i + 1 >= argc)
                fail(2);
            return argv[++i];
        };
        if (a == "--link")
            opt.link = next();
        else if (a == "--bin")
            opt.bin = next();
        else if (a == "--write-image")
            opt.writeImage = next();
        else if (a == "--hangup-at")
            opt.hangupAt = std::atoi(next().c_str());
        else if (a == "--records")
            opt.records = std::atoi(next().c_str());
        else if (a == "--fast")
            opt.fast = true;
        else if (a == "--verbose")
            opt.verbose = true;
        else if (a == "--fault") {
            if (!parseFault(next(), &opt.fault))
                fail(2);
        } else {
            fail(a == "--help" ? 0 : 2);
        }
    }
    return opt;
}

// The memory the instrument holds: a .bin file or generated records, kept as a file on request.
bool loadImage(const Options& opt, std::vector<uint8_t>* image) {
    if (!opt.bin.empty()) {
        if (!readFile(opt.bin, image)) {
            std::fprintf(stderr, "kvarnel-sim: cannot read %s\n", opt.bin.c_str());
            return false;
        }
    } else {
        *image = sim::generateImage(opt.records);
    }
    if (!opt.writeImage.empty()) {
        std::ofstream out(opt.writeImage, std::ios::binary);
        out.write(reinterpret_cast<const char*>(image->data()), static_cast<std::streamsize>(image->size()));
        if (!out) {
            std::fprintf(stderr, "kvarnel-sim: cannot write %s\n", opt.writeImage.c_str());
            return false;
        }
    }
    return true;
}

struct Terminal {
    int master = -1;
    int slave = -1;
    std::string device;
};

// A raw pseudo-terminal, reached through the link path when one is given.
bool openTerminal(const Options& opt, Terminal* t) {
    t->master = posix_openpt(O_RDWR | O_NOCTTY);
    if (t->master < 0 || grantpt(t->master) != 0 || unlockpt(t->master) != 0) {
        std::perror("kvarnel-sim: posix_openpt");
        return false;
    }
    t->device = ptsname(t->master);
    // Our own descriptor on the terminal keeps it alive between the program's opens, and sets
    // raw mode before anyone can see an echo.
    t->slave = ::open(t->device.c_str(), O_RDWR | O_NOCTTY);
    if (t->slave < 0) {
        std::perror("kvarnel-sim: open terminal");
        return false;
    }
    termios tio{};
    tcgetattr(t->slave, &tio);
    cfmakeraw(&tio);
    tcsetattr(t->slave, TCSANOW, &tio);
    fcntl(t->master, F_SETFL, fcntl(t->master, F_GETFL) | O_NONBLOCK);

    if (!opt.link.empty()) {
        ::unlink(opt.link.c_str());
        if (::symlink(t->device.c_str(), opt.link.c_str()) != 0) {
            std::perror("kvarnel-sim: symlink");
            return false;
        }
    }
    return true;
}

// Answers one request byte as the instrument does.
void answer(uint8_t request, const Options& opt, const std::vector<uint8_t>& image, Line& line, int& dumps,
            bool& hangUp) {
    if (opt.verbose)
        std::fprintf(stderr, "kvarnel-sim: request 0x%02X\n", request);
    if (opt.fault == Fault::Silent)
        return;
    if (request == 0x56) {
        line.clear();
        const std::vector<uint8_t> id = identification(opt.fault);
        if (opt.fault == Fault::SplitId) {
            line.queue({id.begin(), id.begin() + 4});
            line.queue({id.begin() + 4, id.end()}, 150); // arrives on a later tick
        } else {
            line.queue(id);
        }
    } else if (request == 0x46) {
        line.clear();
        line.queue(dumpFor(image, opt, ++dumps));
        hangUp = opt.fault == Fault::Hangup;
    }
}

// Reads requests and sends the answers at the line's pace until a signal stops it, or until
// the line is to go away.
void serve(const Options& opt, const std::vector<uint8_t>& image, int master) {
    Line line(opt.fast);
    int dumps = 0;
    bool hangUp = false;
    while (!stopRequested && !(hangUp && line.empty())) {
        pollfd p{master, POLLIN, 0};
        if (!line.empty())
            p.events |= POLLOUT;
        const int wait = line.empty() ? 200 : std::min(line.waitMs(), 200);
        const int r = ::poll(&p, 1, wait);
        if (r < 0 && errno != EINTR)
            break;
        if (r > 0 && (p.revents & POLLIN)) {
            char in[256];
            const ssize_t n = ::read(master, in, sizeof in);
            for (ssize_t i = 0; i < n; ++i)
                answer(static_cast<uint8_t>(in[i]), opt, image, line, dumps, hangUp);
        }
        line.flush(master);
    }
}

} // namespace

int main(int argc, char** argv) {
    const Options opt = parseOptions(argc, argv);
    std::vector<uint8_t> image;
    if (!loadImage(opt, &image))
        return 1;
    Terminal terminal;
    if (!openTerminal(opt, &terminal))
        return 1;
    std::printf("%s\n", opt.link.empty() ? terminal.device.c_str() : opt.link.c_str());
    std::fflush(stdout);

    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    serve(opt, image, terminal.master);

    if (!opt.link.empty())
        ::unlink(opt.link.c_str());
    ::close(terminal.slave);
    ::close(terminal.master);
    return 0;
}
