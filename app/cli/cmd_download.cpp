#include "app/cli/Cli.h"

#include "core/Error.h"
#include "core/FileLayer.h"
#include "link/DownloadLink.h"

#include "db/DbfTable.h"
#include "db/MeasurementTable.h"
#include "image/Importer.h"
#include "image/MemoryImage.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QTextStream>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace cli {
namespace {

// The download of the dialog without a window, all on stderr: progress as one line rewritten in
// place on a terminal, else as a line per 10 % (a log or a pipe has no use for the rewrites);
// everything else as lines of their own.
class ConsoleDownload : public DownloadLink {
public:
    explicit ConsoleDownload(bool terminal) : m_err(stderr), m_terminal(terminal) {}

    // Runs one download to its end; true when a whole dump was decoded.
    bool run() {
        QEventLoop loop;
        m_loop = &loop;
        startDownload();
        if (protocol().state() == DownloadProtocol::State::Running)
            loop.exec();
        m_loop = nullptr;
        protocol().close();
        driver.ClosePort();
        endProgressLine();
        if (m_ok && !m_recordCount.isEmpty())
            line(QStringLiteral("Количество записей: %1").arg(m_recordCount));
        return m_ok;
    }

    bool openPort() override {
        const bool ok = DownloadLink::openPort();
        const serial::OpenFailure& failure = driver.lastOpenFailure();
        line(ok ? QStringLiteral("Порт %1 (%2)").arg(portName(), failure.device)
                : QStringLiteral("Порт %1 (%2) не открыт: %3")
                      .arg(portName(), failure.device, QString::fromLocal8Bit(std::strerror(failure.error))));
        return ok;
    }
    void showProgress(int) override {}
    void showCaption(const QString& caption) override {
        if (protocol().phase() != DownloadProtocol::Phase::F || caption == m_shownCaption)
            return;
        m_shownCaption = caption;
        if (!m_terminal) {
            const int tenth =
                std::min(10, protocol().receivedCount() * 10 / DownloadProtocol::FullDumpLength);
            if (tenth > m_shownTenth) {
                m_shownTenth = tenth;
                m_err << caption << '\n' << Qt::flush;
            }
            return;
        }
        m_err << '\r' << caption << Qt::flush;
        m_progressLine = true;
    }
    void showTitle(const QString&) override {}
    void showStatus(const QString& status) override { line(status); }
    void showInstrument(const QString& type, const QString& version) override {
        if (!type.isEmpty())
            line(QStringLiteral("Тип прибора: %1, версия ПО: %2").arg(type, version));
    }
    // Kept for after the progress line, which it would otherwise break in two.
    void showRecordCount(const QString& count) override { m_recordCount = count; }
    void showMessage(Message, const QString& text) override { line(text); }
    void finished(bool ok) override {
        m_ok = ok;
        if (m_loop)
            m_loop->quit();
    }

private:
    void endProgressLine() {
        if (m_progressLine)
            m_err << '\n' << Qt::flush;
        m_progressLine = false;
    }
    void line(const QString& text) {
        endProgressLine();
        m_err << text << '\n' << Qt::flush;
    }

    QTextStream m_err;
    QEventLoop* m_loop = nullptr;
    QString m_shownCaption;
    QString m_recordCount;
    bool m_terminal;
    int m_shownTenth = -1;
    bool m_progressLine = false;
    bool m_ok = false;
};

} // namespace

// kvarnel-ld5 download TABLE.dbf [--append [--repair]] [--bin FILE.bin] [--port DEVICE]: the
// download of "Создать" (or of "Дополнить" with --append) without the window, then its import.
// --port looks for the instrument on that port only; --repair as for import.
int download(const QStringList& args) {
    bool append = false;
    bool repair = false;
    QString binPath;
    QString port;
    QStringList files;
    for (int i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == QLatin1String("--append")) {
            append = true;
        } else if (arg == QLatin1String("--repair")) {
            repair = true;
        } else if (arg == QLatin1String("--bin")) {
            if (i + 1 >= args.size())
                throw KvError(QStringLiteral("После --bin нужно имя файла."));
            binPath = args[++i];
        } else if (arg == QLatin1String("--port")) {
            if (i + 1 >= args.size())
                throw KvError(QStringLiteral("После --port нужно имя порта."));
            port = args[++i];
        } else if (arg.startsWith(QLatin1String("--"))) {
            throw KvError(QStringLiteral("Неизвестный параметр «%1».").arg(arg));
        } else {
            files << arg;
        }
    }
    if (files.size() != 1 || (repair && !append))
        throw KvError(QStringLiteral("Использование: kvarnel-ld5 download TABLE.dbf [--append [--repair]] "
                                     "[--bin FILE.bin] [--port DEVICE]"));
    const QString tablePath = files.first();

    // A table to append to is checked before the instrument is kept busy for a quarter of a minute.
    DbfTable table;
    if (append) {
        openToChange(table, tablePath, repair, true);
        image::Importer(table).checkAppend();
    }

    ConsoleDownload link(::isatty(::fileno(stderr)) != 0);
    link.setPortChoice(port);
    if (!link.run())
        return 1;
    const QByteArray bytes = link.protocol().image();
    QTextStream err(stderr);
    err << QStringLiteral("Принято байт: %1").arg(bytes.size()) << '\n' << Qt::flush;

    // The .bin is a copy on the side: its failure is reported, the import still runs.
    bool binFailed = false;
    if (!binPath.isEmpty()) {
        try {
            fileio::saveAtomically(binPath, bytes);
        } catch (const KvError& e) {
            err << e.message() << '\n';
            binFailed = true;
        }
    }

    image::MemoryImage memory;
    memory.load(bytes);
    image::Importer importer(table);
    const image::ImportResult result =
        append ? importer.append(memory) : importer.createTable(tablePath, memory);
    const QString indexNotice = table.takeIndexNotice();
    table.close();
    if (append)
        QTextStream(stdout) << image::addedMessage(result) << '\n';
    for (const QString& notice : image::notices(result))
        err << notice << '\n';
    if (!indexNotice.isEmpty())
        err << indexNotice << '\n';
    return binFailed ? 1 : 0;
}

} // namespace cli
