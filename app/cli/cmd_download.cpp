#include "app/cli/Cli.h"

#include "core/Error.h"
#include "core/FileLayer.h"
#include "link/DownloadLink.h"
#include "link/DownloadTexts.h"

#include "db/DbfTable.h"
#include "db/MeasurementTable.h"
#include "image/Importer.h"
#include "image/MemoryImage.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QTextStream>

#include <algorithm>
#include <cstdio>
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
        line(downloadtext::waiting());
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
                      .arg(portName(), failure.device, ::openFailureReason(failure)));
        return ok;
    }
    void report(const DownloadProtocol::Events& events) override {
        for (const DownloadProtocol::Event& event : events) {
            if (const auto* progress = std::get_if<DownloadProtocol::Progress>(&event)) {
                if (progress->step == DownloadProtocol::Progress::Step::Dump)
                    showProgress(progress->percent);
            } else if (const auto* identified = std::get_if<DownloadProtocol::Identified>(&event)) {
                line(QStringLiteral("Тип прибора: %1, версия ПО: %2")
                         .arg(downloadtext::instrumentName(), identified->firmwareDate));
                line(downloadtext::receiving());
            } else if (const auto* count = std::get_if<DownloadProtocol::RecordCount>(&event)) {
                // Kept for after the progress line, which it would otherwise break in two.
                m_recordCount = QString::number(count->count);
            } else if (const auto* failed = std::get_if<DownloadProtocol::Failed>(&event)) {
                if (const QString text = downloadtext::failure(*failed); !text.isEmpty())
                    line(text);
                end(false);
            } else if (std::holds_alternative<DownloadProtocol::Finished>(event)) {
                end(true);
            }
        }
    }

private:
    void showProgress(int percent) {
        const QString caption = downloadtext::caption(percent);
        if (caption == m_shownCaption)
            return;
        m_shownCaption = caption;
        if (!m_terminal) {
            const int tenth = percent / 10;
            if (tenth > m_shownTenth) {
                m_shownTenth = tenth;
                m_err << caption << '\n' << Qt::flush;
            }
            return;
        }
        m_err << '\r' << caption << Qt::flush;
        m_progressLine = true;
    }
    void end(bool ok) {
        m_ok = ok;
        if (m_loop)
            m_loop->quit();
    }
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
