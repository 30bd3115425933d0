// A full dump through the simulated instrument at the real line's pace: the time from showing
// the download dialog to its OK, against the line's own time of 15 134 characters x 11 bits at
// 9600 bit/s.
#include "core/SettingsIdentity.h"
#include "ui/TForm2.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

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
    return 0;
}
