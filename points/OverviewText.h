#pragma once

#include "points/Overview.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QStringView>

// The overview as lines of fields, for the command line and for a CSV file.
namespace points {

// The titles of the fields of a point line: point, count, last date, last time, last V_SR, zone,
// state, change in % of B/C, significant change, overdue.
QStringList overviewTitles();

// The fields of a point, decimals with that separator: V_SR with 3 decimals, the change with 1
// and a sign when negative. A point without counted records has its count, "нет замеров" and
// nothing else; a point with a catalogue error shows "ошибка" (or, with fullError, the whole
// error text) as its state and no zone, change or flags.
QStringList pointFields(const PointStatus& p, QStringView decimalSeparator, bool fullError);

inline const QString kUnassigned = QStringLiteral("без точки");

// UTF-8 with a byte order mark, ";" between fields, decimal comma, CR LF line ends, one header
// row, then a row per point in catalogue order and a last row "без точки" with its count: what
// Excel and LibreOffice open as a table in a Russian locale.
QByteArray overviewCsv(const Overview& overview);
// Written beside, then renamed over path; throws KvError and leaves an old file as it was.
void saveOverviewCsv(const QString& path, const Overview& overview);

} // namespace points
