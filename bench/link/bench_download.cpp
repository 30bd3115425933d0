// A full dump through the simulated instrument at the real line's pace: the time from showing
// the download dialog to its OK, against the line's own time of 15 134 characters x 11 bits at
// 9600 bit/s. Then a line that goes mid-dump, hung up or silent: the time from its loss to the
// message.
#include "core/SettingsIdentity.h"
#include "link/sim/ImageGenerator.h"
#include "ui/TForm2.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace {

// The dialog with its message box replaced by a note of when it would open.
class TimedDialog : public TForm2 {
public:
    QElapsedTimer clock;
    double messageAt = -1;
    QString text;

protected:
    void showError(const QString&, const QString& message) override {
        messageAt = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        text = message;
    }
};

// An instrument on a pseudo-terminal of our own that answers, sends the first 5000 characters
// of the dump and then goes: the terminal closed (hang-up) or nothing more sent (silence).
// Returns the milliseconds from the loss to the message, or a negative value on failure.
double lostLine(const QString& key, bool hangUp) {
    int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
        return -1;
    const QString device = QString::fromLocal8Bit(ptsname(master));
    const int keep = ::open(ptsname(master), O_RDWR | O_NOCTTY);
    termios tio{};
    tcgetattr(keep, &tio);
    cfmakeraw(&tio);
    tcsetattr(keep, TCSANOW, &tio);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    {
        ProgramSettings s;
        s.setValue(key, device);
    }
    const std::vector<uint8_t> dump = sim::encodeDump(sim::generateImage(300));
    TimedDialog dialog;
    double lostAt = -1;
    QTimer peer;
    QObject::connect(&peer, &QTimer::timeout, &dialog, [&] {
        char in[64];
        const ssize_t n = master >= 0 ? ::read(master, in, sizeof in) : 0;
        for (ssize_t i = 0; i < n; ++i) {
            if (in[i] == 0x56) {
                [[maybe_unused]] auto w = ::write(master, "\x37\x30\x31\x39\x30\x3B\x30\x3C\x30", 9);
            } else if (in[i] == 0x46) {
                [[maybe_unused]] auto w = ::write(master, dump.data(), 5000);
                if (!hangUp) {
                    lostAt = static_cast<double>(dialog.clock.nsecsElapsed()) / 1e6;
                    continue;
                }
                QTimer::singleShot(300, &dialog, [&] {
                    lostAt = static_cast<double>(dialog.clock.nsecsElapsed()) / 1e6;
                    ::close(keep);
                    ::close(master);
                    master = -1;
                });
            }
        }
    });
    peer.start(5);
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, &dialog, [&] { dialog.reject(); });
    watchdog.start(30000);
    dialog.clock.start();
    const int result = dialog.exec();
    peer.stop();
    if (master >= 0) {
        ::close(keep);
        ::close(master);
    }
    if (result == QDialog::Accepted || lostAt < 0 || dialog.messageAt < 0 ||
        dialog.text != QStringLiteral("Связь с прибором прервана. Данные не приняты, ничего не изменено."))
        return -1;
    return dialog.messageAt - lostAt;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The port mapping goes into a settings folder of our own, never the user's.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QApplication app(argc, argv);

    QProcess sim;
    sim.start(QStringLiteral(KV_SIM), {QStringLiteral("--records"), QStringLiteral("315")});
    if (!sim.waitForStarted(5000) || !sim.waitForReadyRead(5000)) {
        std::fprintf(stderr, "bench_download: the simulator did not start\n");
        return 1;
    }
    const QString device = QString::fromLocal8Bit(sim.readLine()).trimmed();
    {
        ProgramSettings s;
        s.setValue(QStringLiteral("COM1"), device);
        s.setValue(QStringLiteral("COM2"), QStringLiteral("/nonexistent"));
    }

    TForm2 dialog;
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, &dialog, [&] { dialog.reject(); });
    watchdog.start(60000);
    QElapsedTimer t;
    t.start();
    const int result = dialog.exec();
    const double seconds = static_cast<double>(t.nsecsElapsed()) / 1e9;
    sim.terminate();
    sim.waitForFinished(3000);
    if (result != QDialog::Accepted || dialog.imageLength() != 7566) {
        std::fprintf(stderr, "bench_download: the download failed (%d bytes)\n", dialog.imageLength());
        return 1;
    }
    const double line = 15134.0 * 11.0 / 9600.0;
    std::printf("full dump, 15134 characters at 9600 bit/s 8N2, show to OK: %.3f s\n", seconds);
    std::printf("line time 15134 x 11 / 9600:                              %.3f s\n", line);
    std::printf("overhead: %+.3f s (%+.2f %%; goal within 2 %%)\n", seconds - line,
                (seconds - line) / line * 100.0);

    const double hungUp = lostLine(QStringLiteral("COM1"), true);
    const double silent = lostLine(QStringLiteral("COM1"), false);
    if (hungUp < 0 || silent < 0) {
        std::fprintf(stderr, "bench_download: a lost line did not end with its message\n");
        return 1;
    }
    std::printf("line hung up at 33 %%, loss to message:      %.0f ms (goal within 6 s)\n", hungUp);
    std::printf("line silent at 33 %%, last character to message: %.0f ms (limit 5 s)\n", silent);
    return 0;
}
