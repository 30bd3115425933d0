#include "points/Rename.h"

#include "core/Error.h"
#include "db/DbfCodec.h"
#include "db/DbfTable.h"
#include "db/MeasurementTable.h"
#include "points/OverviewRows.h"

#include <QFileInfo>
#include <QStringList>

#include <functional>
#include <memory>

namespace points {
namespace {

struct NoteEdit {
    int recNo;
    QString before, after;
};

// A table taking part in the rename: one the caller holds, or one opened here.
struct Target {
    QString path;
    DbfTable* table = nullptr;
    std::unique_ptr<DbfTable> own;
    std::vector<NoteEdit> edits;
};

QString nameOf(const QString& path) {
    return QFileInfo(path).fileName();
}

// The caller's view of a table (its filter and current record) while every record is reached
// by record number with the filter off.
class KeepView {
public:
    explicit KeepView(DbfTable& t) : m_t(t), m_filtered(t.filtered()), m_recNo(t.recNo()) {
        t.setFiltered(false);
    }
    ~KeepView() {
        if (!m_t.isOpen())
            return;
        try {
            m_t.setFiltered(m_filtered);
            if (m_recNo <= 0 || !m_t.goToRecNo(m_recNo))
                m_t.first();
        } catch (const KvError&) {
            // The filter was in force before, so it parses; a table gone bad says so where it is used.
        }
    }
    KeepView(const KeepView&) = delete;
    KeepView& operator=(const KeepView&) = delete;

private:
    DbfTable& m_t;
    bool m_filtered;
    int m_recNo;
};

// The notes of table that name one of the renamed points, and what they become.
std::vector<NoteEdit> editsOf(DbfTable& t, const PointIndex& old, const NameChanges& names) {
    const int field = t.fieldIndex(QStringLiteral("COMMENT"));
    std::vector<NoteEdit> edits;
    const KeepView keep(t);
    for (t.first(); !t.eof(); t.next()) {
        const QString note = t.value(field).toString();
        const int point = old.pointOf(note);
        if (point < 0)
            continue;
        const QString& from = names[size_t(point)].first;
        edits.push_back({t.recNo(), note, names[size_t(point)].second + note.mid(from.size())});
    }
    return edits;
}

void write(Target& target, bool back) {
    DbfTable& t = *target.table;
    const int field = t.fieldIndex(QStringLiteral("COMMENT"));
    const KeepView keep(t);
    t.changeBeside([&] {
        for (const NoteEdit& e : target.edits) {
            if (!t.goToRecNo(e.recNo))
                throw KvError(
                    QStringLiteral("в таблице «%1» нет записи %2").arg(nameOf(target.path)).arg(e.recNo));
            t.setValue(field, back ? e.before : e.after);
            t.post();
        }
    });
}

// Puts the saved tables back; names those that could not be.
QStringList restore(std::vector<Target*>& saved) {
    QStringList failed;
    for (Target* t : saved) {
        try {
            write(*t, true);
        } catch (const KvError& e) {
            failed << QStringLiteral("«%1»: %2").arg(nameOf(t->path), e.message());
        }
    }
    return failed;
}

[[noreturn]] void refuse(const QStringList& problems) {
    constexpr int kShown = 20;
    QStringList lines = problems.mid(0, kShown);
    if (problems.size() > kShown)
        lines << QStringLiteral("… и ещё %1").arg(problems.size() - kShown);
    throw KvError(QStringLiteral("Переименование отменено, ничего не изменено:\n") +
                  lines.join(QLatin1Char('\n')));
}

// The targets of the rename among the tables of the folder and those the caller holds; the
// problems that refuse it go to problems.
std::vector<Target> collect(const QString& cataloguePath, const std::vector<DbfTable*>& openTables,
                            const NameChanges& names, QStringList& problems) {
    std::vector<PointEntry> oldEntries;
    for (const auto& change : names) {
        PointEntry e;
        e.name = change.first;
        oldEntries.push_back(std::move(e));
    }
    const PointIndex old(oldEntries);

    std::vector<std::pair<QString, DbfTable*>> paths;
    QStringList seen;
    for (DbfTable* t : openTables) {
        const QString canonical = QFileInfo(t->path()).canonicalFilePath();
        if (t->isOpen() && !seen.contains(canonical)) {
            seen << canonical;
            paths.emplace_back(t->path(), t);
        }
    }
    std::vector<SkippedFile> skipped;
    for (const QString& path : folderTables(cataloguePath, skipped)) {
        const QString canonical = QFileInfo(path).canonicalFilePath();
        if (!seen.contains(canonical)) {
            seen << canonical;
            paths.emplace_back(path, nullptr);
        }
    }

    std::vector<Target> targets;
    for (const auto& [path, held] : paths) {
        Target target{path, held, nullptr, {}};
        QString cannotWrite;
        if (held && held->access() != DbfTable::Access::Exclusive) {
            cannotWrite = QStringLiteral("таблица открыта только для чтения");
        } else if (!held) {
            target.own = std::make_unique<DbfTable>();
            try {
                target.own->open(path, DbfTable::Access::Exclusive);
                target.table = target.own.get();
            } catch (const KvError& e) {
                cannotWrite = e.message();
            }
        }
        // A table that cannot be written is looked into without a lock: it refuses the rename only
        // when it holds records of the points.
        DbfTable reader;
        DbfTable* t = target.table;
        if (!t) {
            try {
                reader.open(path, DbfTable::Access::ReadOnly);
                t = &reader;
            } catch (const KvError&) {
                continue; // not readable at all: the overview cannot count it either
            }
        }
        if (!MeasurementTable::hasMeasurementRecord(*t))
            continue;
        target.edits = editsOf(*t, old, names);
        if (target.edits.empty())
            continue;
        if (!cannotWrite.isEmpty()) {
            problems << QStringLiteral("«%1»: %2").arg(nameOf(path), cannotWrite);
            continue;
        }
        const int field = t->fieldIndex(QStringLiteral("COMMENT"));
        const int length = t->fields()[size_t(field)].length;
        const auto page = dbf::CodePage::forDriver(t->languageDriver());
        bool encodable = true;
        for (const NoteEdit& e : target.edits) {
            const auto bytes = page ? page->encode(e.after) : std::nullopt;
            if (!bytes)
                encodable = false;
            else if (bytes->size() > length)
                problems << QStringLiteral("«%1», запись %2: примечание «%3» длиннее %4 знаков")
                                .arg(nameOf(path))
                                .arg(e.recNo)
                                .arg(e.after)
                                .arg(length);
        }
        if (!encodable)
            problems << QStringLiteral("«%1»: кодировка таблицы не вмещает новое имя").arg(nameOf(path));
        targets.push_back(std::move(target));
    }
    return targets;
}

RenameResult renameWith(CatalogueEditor& editor, const std::function<NameChanges(CatalogueModel&)>& rename,
                        const std::vector<DbfTable*>& openTables) {
    editor.reread();
    CatalogueModel model(editor.entries());
    RenameResult result;
    result.names = rename(model);
    if (result.names.empty())
        return result;

    QStringList problems;
    std::vector<Target> targets = collect(editor.path(), openTables, result.names, problems);
    if (!problems.isEmpty())
        refuse(problems);

    // Each table is written beside and renamed over itself; the catalogue comes last. A failure
    // puts back what was saved before it.
    std::vector<Target*> saved;
    const auto undo = [&](const KvError& e) {
        const QStringList failed = restore(saved);
        QString text = QStringLiteral("Переименование не сохранено: %1").arg(e.message());
        if (!failed.isEmpty())
            text +=
                QStringLiteral("\nНе удалось вернуть прежние примечания:\n") + failed.join(QLatin1Char('\n'));
        throw KvError(text);
    };
    for (Target& t : targets) {
        try {
            write(t, false);
        } catch (const KvError& e) {
            undo(e);
        }
        saved.push_back(&t);
    }
    try {
        writeEntries(editor.table(), model.entries());
    } catch (const KvError& e) {
        undo(e);
    }
    editor.setEntries(model.entries());
    for (const Target& t : targets) {
        result.tables.push_back(t.path);
        result.notes += int(t.edits.size());
    }
    return result;
}

} // namespace

RenameResult renamePoint(CatalogueEditor& editor, const QString& name, const QString& newName,
                         const std::vector<DbfTable*>& openTables) {
    return renameWith(
        editor, [&](CatalogueModel& m) { return m.rename(name, newName); }, openTables);
}

RenameResult renameLevel(CatalogueEditor& editor, const QString& level, const QString& newLevel,
                         const std::vector<DbfTable*>& openTables) {
    return renameWith(
        editor, [&](CatalogueModel& m) { return m.renameLevel(level, newLevel); }, openTables);
}

} // namespace points
