#include "points/OverviewText.h"

#include "core/Decimal.h"
#include "core/FileLayer.h"

namespace points {

QStringList overviewTitles() {
    return {QStringLiteral("Точка"),
            QStringLiteral("Замеров"),
            QStringLiteral("Дата"),
            QStringLiteral("Время"),
            QStringLiteral("V СКЗ, мм/с"),
            QStringLiteral("Зона"),
            QStringLiteral("Состояние"),
            QStringLiteral("Изменение, % от B/C"),
            QStringLiteral("Значимое изменение"),
            QStringLiteral("Просрочен")};
}

QStringList pointFields(const PointStatus& p, QStringView separator, bool fullError) {
    QStringList f{p.name, QString::number(p.count)};
    const bool error = p.state == State::CatalogueError;
    if (p.count == 0) {
        f << QString() << QString() << QString() << QString();
    } else {
        f << p.lastDate << p.lastTime << decimal::format(p.lastValue, {1, 3, 3}, separator)
          << (error ? QString() : QString(zoneLetter(p.zone)));
    }
    f << (error && fullError ? p.error : stateText(p.state));
    if (p.count == 0 || error)
        f << QString() << QString() << QString();
    else
        f << decimal::format(p.changePercent, {1, 1, 1}, separator) << yesNo(p.significant)
          << yesNo(p.overdue);
    return f;
}

namespace {

void appendCsvField(QByteArray& out, const QString& field) {
    const QByteArray bytes = field.toUtf8();
    if (!bytes.contains(';') && !bytes.contains('"') && !bytes.contains('\n') && !bytes.contains('\r')) {
        out += bytes;
        return;
    }
    out += '"';
    for (char c : bytes) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

void appendCsvLine(QByteArray& out, const QStringList& fields) {
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i)
            out += ';';
        appendCsvField(out, fields[i]);
    }
    out += "\r\n";
}

} // namespace

QByteArray overviewCsv(const Overview& o) {
    QByteArray out("\xEF\xBB\xBF");
    const QStringList titles = overviewTitles();
    appendCsvLine(out, titles);
    for (const PointStatus& p : o.points)
        appendCsvLine(out, pointFields(p, u",", true));
    QStringList last{kUnassigned, QString::number(o.unassigned)};
    while (last.size() < titles.size())
        last << QString();
    appendCsvLine(out, last);
    return out;
}

void saveOverviewCsv(const QString& path, const Overview& overview) {
    fileio::saveAtomically(path, overviewCsv(overview));
}

} // namespace points
