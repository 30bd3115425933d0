// Writes the seed corpora: valid inputs made by the program's own code, and a few damaged ones.
//   kv_fuzz_seeds OUTDIR   (OUTDIR/<target>/<name>)
#include "FuzzSupport.h"

#include "db/DbfIndex.h"
#include "db/DbfTable.h"
#include "db/MeasurementTable.h"
#include "grid/ColumnLayoutText.h"
#include "image/Importer.h"
#include "image/MemoryImage.h"
#include "link/DownloadProtocol.h"
#include "link/sim/ImageGenerator.h"
#include "report/PreparedReport.h"
#include "tests/support/TestImages.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <cstdio>

namespace {

QString outDir;

void put(const char* target, const char* name, const QByteArray& bytes) {
    const QString dir = outDir + QLatin1Char('/') + QLatin1String(target);
    QDir().mkpath(dir);
    fuzz::writeFile(dir + QLatin1Char('/') + QLatin1String(name), bytes);
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        fuzz::fail("cannot read a file just written");
    return f.readAll();
}

QByteArray flipped(QByteArray b, qsizetype at, char value) {
    if (at < b.size())
        b[at] = value;
    return b;
}

const QDateTime start(QDate(2010, 3, 14), QTime(9, 30, 0));

void tableSeeds(const QString& scratch) {
    const QString dbf = scratch + QStringLiteral("/m.dbf");
    const QString mdx = scratch + QStringLiteral("/m.mdx");
    MeasurementTable::createFile(dbf);
    put("table", "empty_measurement", readFile(dbf));

    image::MemoryImage memory;
    memory.load(image::testimages::buildImage(image::testimages::sequence(6, start)));
    {
        DbfTable t;
        image::Importer(t).createTable(dbf, memory);
        t.close();
    }
    const QByteArray six = readFile(dbf);
    put("table", "six_records", six);
    {
        DbfTable t;
        MeasurementTable::open(t, dbf);
        t.addIndex(QStringLiteral("db1"), QStringLiteral("DATE"), true);
        t.addIndex(QStringLiteral("db2"), QStringLiteral("A"), false);
        t.first();
        t.deleteRecord();
        t.close();
    }
    put("table", "six_records_indexed", readFile(dbf) + fuzz::mdxSeparator() + readFile(mdx));
    // The index definitions file of earlier versions, which is still read.
    {
        QByteArray table = readFile(dbf);
        table[28] = 1;
        const QByteArray legacy =
            dbf::encodeIndexFile(dbf::layoutFor(MeasurementTable::fields()),
                                 {{QStringLiteral("db1"), QStringLiteral("DATE"), true}});
        put("table", "six_records_legacy_index", table + fuzz::mdxSeparator() + legacy);
    }

    const QString other = scratch + QStringLiteral("/o.dbf");
    DbfTable::create(other, {{QStringLiteral("NUM"), 'N', 6, 2},
                             {QStringLiteral("NAME"), 'C', 12, 0},
                             {QStringLiteral("CNT"), 'N', 4, 0}});
    {
        DbfTable t;
        t.open(other);
        for (int i = 0; i < 3; ++i) {
            t.append();
            t.setValue(0, 1.25 * i);
            t.setValue(1, QStringLiteral("Имя %1").arg(i));
            t.setValue(2, 10 - i);
            t.post();
        }
        t.close();
    }
    const QByteArray generic = readFile(other);
    put("table", "three_fields", generic);

    put("table", "damaged_truncated_header", six.left(40));
    put("table", "damaged_header_length", flipped(flipped(six, 8, '\xFF'), 9, '\x7F'));
    put("table", "damaged_record_count", flipped(flipped(six, 4, '\xFF'), 7, '\x7F'));
    put("table", "damaged_field_length", flipped(generic, 32 + 16, '\xFF'));
    put("table", "damaged_short_records", six.left(six.size() - 40));
}

void imageSeeds() {
    using namespace image::testimages;
    put("image", "ten_records", buildImage(sequence(10, start)));
    put("image", "full_memory", buildImage(sequence(342, start), 8192));
    put("image", "count_cut", buildImage(sequence(4, start), 400, 300));
    put("image", "odd_values",
        buildImage({RecordSpec::standby(1e30f, -5.0f, 65535, 65535, start),
                    RecordSpec::observation(0.001f, 1e9f, 9999, 10000, start.addDays(1)),
                    RecordSpec{-0.0f, 0.0f, 7, 99, 99, 99, 0, 13, 255, 1, 2}}));
    QByteArray nan = buildImage(sequence(2, start));
    for (int i = 0; i < 4; ++i)
        nan[image::kFirstRecordOffset + i] = '\xFF';
    put("image", "damaged_nan", nan);
    put("image", "damaged_header_only", buildImage({}, 316, 5));
    put("image", "damaged_empty", QByteArray());
}

// Script operations of the download target.
struct Script {
    QByteArray bytes = QByteArray(1, '\0'); // both ports present
    void chunks(const QByteArray& data, int size) {
        for (qsizetype i = 0; i < data.size(); i += size) {
            const QByteArray part = data.mid(i, size);
            bytes += '\0';
            bytes += char(part.size());
            bytes += part;
        }
    }
    void wait(int quarterSeconds) { bytes += char(0xA0 | quarterSeconds); }
    void cancel() { bytes += char(0xC0); }
    void restart() { bytes += char(0xE0); }
};

QByteArray dumpOf(int records) {
    const std::vector<uint8_t> image = sim::generateImage(records);
    const std::vector<uint8_t> dump = sim::encodeDump(image);
    return QByteArray(reinterpret_cast<const char*>(dump.data()), qsizetype(dump.size()));
}

void downloadSeeds() {
    const QByteArray id("\x37\x30\x31\x39\x30\x3B\x30\x3C\x30", 9);
    Script ok;
    ok.chunks(id, 9);
    ok.chunks(dumpOf(12), 200);
    put("download", "full_dump", ok.bytes);

    Script small;
    small.chunks(id, 4);
    small.chunks(dumpOf(1).left(700) + QByteArray(1, '\x50'), 64);
    put("download", "short_dump_split_id", small.bytes);

    Script restart;
    restart.chunks(id, 9);
    restart.chunks(dumpOf(3).left(300) + QByteArray(1, '\xEB'), 100);
    restart.chunks(id, 9);
    restart.chunks(dumpOf(3), 250);
    put("download", "restart_mid_dump", restart.bytes);

    Script silent;
    silent.wait(13);
    silent.wait(13);
    silent.restart();
    silent.chunks(id, 9);
    silent.cancel();
    put("download", "silent_then_cancel", silent.bytes);

    Script wrong;
    wrong.chunks(QByteArray("\x36\x31\x31\x39\x30\x3B\x30\x3C\x30", 9), 9);
    wrong.bytes += '\x01'; // the message box delivers a chunk
    wrong.bytes += char(9);
    wrong.bytes += id;
    put("download", "wrong_type_reentry", wrong.bytes);

    Script odd;
    odd.chunks(id, 9);
    QByteArray d = dumpOf(2);
    d.remove(20, 1);
    odd.chunks(d, 255);
    put("download", "damaged_odd_dump", odd.bytes);
}

void layoutSeeds() {
    std::vector<GridColumn> columns;
    columns.emplace_back(QStringLiteral("DATE"), QStringLiteral("Дата"), 70, ColumnAlignment::Center);
    columns.emplace_back(QStringLiteral("A"), QStringLiteral("Ускорение"), 55, ColumnAlignment::Right);
    columns.emplace_back(QStringLiteral("COMMENT"), QStringLiteral("Примечание"), 101, ColumnAlignment::Left);
    columns[0].sortState = tsSortedDown;
    columns[1].color = QColor(0x12, 0x34, 0x56);
    columns[1].visualOptions = ColumnVisualOptions(voWordWrap);
    columns[2].color = QColor(Qt::yellow);
    QFont f(QStringLiteral("MS Sans Serif"));
    f.setPixelSize(11);
    f.setBold(true);
    columns[2].font = f;
    columns[2].fontColor = QColor(Qt::red);
    const QString text = ColumnLayoutText::write(columns);
    put("layout", "three_columns", text.toUtf8());

    columns[2].font->setFamily(QStringLiteral("Шрифт 'с' кавычками"));
    put("layout", "quoted_font_name", ColumnLayoutText::write(columns).toUtf8());
    put("layout", "damaged_truncated", text.left(text.size() / 2).toUtf8());
    QString broken = text;
    broken.replace(QStringLiteral("Width = 70"), QStringLiteral("Width = 99999999999999"));
    broken.replace(QStringLiteral("'DATE'"), QStringLiteral("'DA#9999999TE'+"));
    put("layout", "damaged_values", broken.toUtf8());
}

void reportSeeds() {
    report::PreparedReport rep;
    for (int p = 0; p < 2; ++p) {
        report::PreparedPage page;
        for (int i = 0; i < 3; ++i) {
            report::DrawItem item;
            item.rect = QRectF(10 + 20 * i, 20 + 5 * p, 18, 5);
            item.text = QStringLiteral("Стр. %1, поле %2").arg(p + 1).arg(i);
            item.font.bold = i == 1;
            item.hAlign = report::HAlign(i);
            item.vAlign = report::VAlign::Center;
            item.frame = i == 2;
            item.wordWrap = i == 0;
            page.items.push_back(item);
        }
        rep.pages.push_back(page);
    }
    const QByteArray file = rep.serialize();
    put("report", "two_pages", QByteArray(1, '\0') + file);
    put("report", "two_pages_sealed", QByteArray(1, '\1') + file);
    put("report", "empty", QByteArray(1, '\0') + report::PreparedReport().serialize());
    put("report", "damaged_truncated", QByteArray(1, '\0') + file.left(file.size() - 9));
    put("report", "damaged_count_sealed", QByteArray(1, '\1') + flipped(file, 10 + 8 * 6 + 3 + 3, '\x7F'));
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: kv_fuzz_seeds OUTDIR\n");
        return 2;
    }
    outDir = QString::fromLocal8Bit(argv[1]);
    QTemporaryDir scratch;
    tableSeeds(scratch.path());
    imageSeeds();
    downloadSeeds();
    layoutSeeds();
    reportSeeds();
    return 0;
}
