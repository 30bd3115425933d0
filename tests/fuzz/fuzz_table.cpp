// The table opener: a .dbf (and, after the separator, its .mdx) opened, walked, filtered,
// sorted, edited and packed. Only KvError may come out; anything else is a finding.
#include "FuzzSupport.h"

#include "core/Error.h"
#include "db/DbfTable.h"
#include "db/MdxFile.h"
#include "db/MeasurementTable.h"

#include <QCoreApplication>

namespace {

// Reads every field of every visible record; checks that navigation agrees with the counts.
int walk(DbfTable& t) {
    int seen = 0;
    const int fields = int(t.fields().size());
    for (t.first(); !t.eof(); t.next()) {
        if (t.recNo() < 1 || t.recNo() > t.physicalCount())
            fuzz::fail("recNo outside the file");
        for (int f = 0; f < fields; ++f)
            (void)t.value(f);
        (void)t.isDeleted();
        if (++seen > t.recordCount())
            fuzz::fail("walk visits more records than recordCount");
    }
    if (seen != t.recordCount())
        fuzz::fail("walk and recordCount disagree");
    for (t.last(); !t.bof(); t.prior())
        if (--seen < 0)
            fuzz::fail("backward walk visits more records than forward");
    return t.recordCount();
}

template <typename F> void guarded(F&& f) {
    try {
        f();
    } catch (const KvError&) {
    }
}

void exercise(DbfTable& t) {
    walk(t);
    const std::vector<DbfField> fields = t.fields();
    int numeric = -1, text = -1;
    for (int i = 0; i < int(fields.size()); ++i) {
        if (fields[size_t(i)].type == 'N' && numeric < 0)
            numeric = i;
        if (fields[size_t(i)].type == 'C' && text < 0)
            text = i;
    }
    if (numeric >= 0) {
        guarded([&] {
            t.setFilter(fields[size_t(numeric)].name + QStringLiteral(" = 1"));
            t.setFiltered(true);
            walk(t);
            t.setFiltered(false);
        });
    }
    for (const QString& name : t.indexNames())
        guarded([&] {
            t.selectIndex(name);
            walk(t);
        });
    guarded([&] { t.regenerateIndexes(); });
    // The sort index, which writes the production index file (unless it is another program's).
    for (int f : {text, numeric}) {
        if (f < 0)
            continue;
        guarded([&] {
            t.addIndex(QStringLiteral("db1"), fields[size_t(f)].name, f == numeric);
            t.selectIndex(QStringLiteral("db1"));
            walk(t);
        });
    }
    for (int f : {numeric, text}) {
        if (f < 0)
            continue;
        guarded([&] {
            t.addIndex(QStringLiteral("FZ"), fields[size_t(f)].name, f == text);
            t.selectIndex(QStringLiteral("FZ"));
            walk(t);
            t.selectIndex(QString());
            t.deleteIndex(QStringLiteral("FZ"));
        });
    }
    guarded([&] {
        t.first();
        if (t.eof())
            return;
        t.edit();
        if (text >= 0)
            t.setValue(text, QStringLiteral("z"));
        if (numeric >= 0)
            t.setValue(numeric, 7);
        t.post();
        t.deleteRecord();
        const int before = t.physicalCount();
        t.pack();
        if (t.physicalCount() > before)
            fuzz::fail("pack added records");
        walk(t);
    });
    guarded([&] {
        t.append();
        if (text >= 0)
            t.setValue(text, QStringLiteral("n"));
        t.post();
        walk(t);
    });
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray input = fuzz::bytesOf(data, size);
    const qsizetype cut = input.indexOf(fuzz::mdxSeparator());
    const QString dbf = fuzz::scratchFile(QStringLiteral("t.dbf"));
    const QString mdx = fuzz::scratchFile(QStringLiteral("t.mdx"));
    fuzz::removeFile(mdx);
    if (cut < 0) {
        fuzz::writeFile(dbf, input);
    } else {
        fuzz::writeFile(dbf, input.left(cut));
        fuzz::writeFile(mdx, input.mid(cut + fuzz::mdxSeparator().size()));
    }

    // The index reader on its own, over blank records of the measurement table.
    if (cut >= 0) {
        const dbf::Layout layout = dbf::layoutFor(MeasurementTable::fields());
        const int count = 50;
        const std::vector<char> records(size_t(count) * size_t(layout.recordLength), ' ');
        const dbf::mdx::ReadResult r =
            dbf::mdx::read(input.mid(cut + fuzz::mdxSeparator().size()), layout, records.data(), count);
        if (r.kind == dbf::mdx::Kind::Ours && r.order.size() != size_t(count))
            fuzz::fail("a sound tag that misses records");
    }
    {
        DbfTable t;
        guarded([&] {
            t.open(dbf, DbfTable::Access::ReadOnly);
            walk(t);
        });
    }
    {
        DbfTable t;
        bool opened = false;
        guarded([&] {
            t.open(dbf);
            opened = true;
        });
        if (opened) {
            guarded([&] { exercise(t); });
            guarded([&] { t.close(); });
            // A table that opened must open again after whatever was done to it.
            try {
                t.open(dbf);
            } catch (const KvError& e) {
                std::fprintf(stderr, "%s\n", qPrintable(e.message()));
                fuzz::fail("a table that opened no longer opens after editing");
            }
            walk(t);
        }
    }
    {
        DbfTable t;
        guarded([&] {
            MeasurementTable::open(t, dbf, DbfTable::Access::ReadOnly);
            walk(t);
        });
    }
    return 0;
}
