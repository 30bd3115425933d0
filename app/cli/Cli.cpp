#include "app/cli/Cli.h"

#include "core/Error.h"
#include "core/FileLayer.h"
#include "core/QtTranslations.h"
#include "db/DbfTable.h"
#include "db/MeasurementTable.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QTextStream>

#include <cstdio>
#include <cstring>
#include <memory>

namespace cli {
namespace {

struct Command {
    const char* name;
    int (*run)(const QStringList&);
    bool needsGui; // reports paint text, which needs fonts, hence a QGuiApplication
    const char* usage;
};

const Command commands[] = {
    {"dump", &dump, false, "dump TABLE.dbf [--mode N] [--sort FIELD[:desc]]"},
    {"import", &import, false, "import IMAGE.bin TABLE.dbf [--append [--repair]]"},
    {"export", &exportXls, false, "export TABLE.dbf --mode N OUT.xls [--firmware-date TEXT]"},
    {"report", &report, true, "report TABLE.dbf --mode N OUT.pdf [--sort FIELD[:desc]]"},
    {"download", &download, false,
     "download TABLE.dbf [--append [--repair]] [--bin FILE.bin] [--port DEVICE]"},
    {"ports", &ports, false, "ports"},
    {"chart", &chart, true,
     "chart TABLE.dbf --mode N --value {A,F,V,S,TR_F,TR_A} [--rms] [--zones CLASS] OUT.{png,svg,pdf} "
     "[--size WxH]"},
    {"index", &index, false, "index TABLE.dbf FIELD[:desc] [--repair] | index TABLE.dbf --drop [--repair]"},
    {"status", &status, false, "status TABLE.dbf... --points POINTS.dbf [--mode N] [--today DD.MM.YYYY]"},
};

const Command* find(const char* name) {
    for (const Command& c : commands)
        if (std::strcmp(c.name, name) == 0)
            return &c;
    return nullptr;
}

} // namespace

Arguments parseArguments(const QStringList& args, const QStringList& valueOptions, qsizetype maxPositional,
                         const std::function<void()>& usage) {
    Arguments parsed;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (valueOptions.contains(a) && i + 1 < args.size() && !parsed.values.contains(a))
            parsed.values.insert(a, args[++i]);
        else if (a.startsWith(QLatin1String("--")) || parsed.positional.size() == maxPositional)
            usage();
        else
            parsed.positional << a;
    }
    return parsed;
}

void tellNotices(const QStringList& notices) {
    QTextStream err(stderr);
    for (const QString& notice : notices)
        if (!notice.isEmpty())
            err << notice << '\n';
}

void openToRead(DbfTable& table, const QString& path) {
    MeasurementTable::open(table, path, DbfTable::Access::ReadOnly);
    tellNotices(table.openNotices());
}

void openToChange(DbfTable& table, const QString& path, bool repair, bool damagedFirst) {
    try {
        MeasurementTable::open(table, path);
    } catch (const fileio::OpenError& e) {
        // Held by another program is no damage: that is the whole answer.
        if (e.reason() == fileio::OpenFailure::LockedByOther || !damagedFirst)
            throw;
        throw KvError(QStringLiteral("База данных повреждена !\n") + e.message());
    } catch (const KvError& e) {
        if (!damagedFirst)
            throw;
        throw KvError(QStringLiteral("База данных повреждена !\n") + e.message());
    }
    if (repair && table.isShort())
        tellNotices({table.repair()});
    tellNotices(table.openNotices());
}

bool isCommand(int argc, char** argv) {
    if (argc < 2)
        return false;
    return find(argv[1]) != nullptr || std::strcmp(argv[1], "--help") == 0 ||
           std::strcmp(argv[1], "--version") == 0;
}

int run(int argc, char** argv) {
    if (std::strcmp(argv[1], "--version") == 0) {
        std::printf("kvarnel-ld5 %s\n", KV_VERSION);
        return 0;
    }
    const Command* command = find(argv[1]);
    if (!command) {
        std::printf("Usage:\n  kvarnel-ld5                (the window)\n");
        for (const Command& c : commands)
            std::printf("  kvarnel-ld5 %s\n", c.usage);
        return 0;
    }
    std::unique_ptr<QCoreApplication> app;
    if (command->needsGui) {
        // A report needs fonts but no screen.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    installQtTranslations(); // the reasons of file errors come from Qt
    QStringList args = QCoreApplication::arguments().mid(2);
    // What the file layer noted for the user (an owner not kept, an index name taken by a
    // folder) follows the command's own output, whether it succeeded or not.
    const auto notices = [] {
        QTextStream err(stderr);
        for (const QString& notice : fileio::takeNotices())
            err << notice << '\n';
    };
    try {
        const int status = command->run(args);
        notices();
        return status;
    } catch (const KvError& e) {
        QTextStream(stderr) << e.message() << '\n';
        notices();
        return 1;
    } catch (const std::exception& e) {
        QTextStream(stderr) << QString::fromLocal8Bit(e.what()) << '\n';
        notices();
        return 1;
    }
}

} // namespace cli
