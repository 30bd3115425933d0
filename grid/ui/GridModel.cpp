#include "grid/ui/GridModel.h"

#include "core/Decimal.h"
#include "core/Error.h"
#include "grid/GridDataLink.h"
#include "grid/NumberPattern.h"
#include "grid/ui/GridLog.h"

#include <QLocale>

#include <algorithm>
#include <cmath>

namespace {

Qt::Alignment toQt(ColumnAlignment a) {
    switch (a) {
    case ColumnAlignment::Right:
        return Qt::AlignRight;
    case ColumnAlignment::Center:
        return Qt::AlignHCenter;
    case ColumnAlignment::Left:
        break;
    }
    return Qt::AlignLeft;
}

} // namespace

QString GridModel::oneLine(const QString& text) {
    QString out;
    out.reserve(text.size());
    bool inBreak = false;
    for (const QChar c : text) {
        const bool isBreak = c == u'\r' || c == u'\n' || c == u'\t' || c == QChar::LineSeparator ||
                             c == QChar::ParagraphSeparator;
        if (isBreak && !inBreak)
            out += u' ';
        else if (!isBreak)
            out += c;
        inBreak = isBreak;
    }
    return out;
}

GridModel::GridModel(QObject* parent) : QAbstractTableModel(parent) {}

void GridModel::setLink(GridDataLink* link) {
    if (m_link == link)
        return;
    if (m_link)
        disconnect(m_link, nullptr, this, nullptr);
    m_link = link;
    if (m_link) {
        connect(m_link, &GridDataLink::dataReset, this, &GridModel::resetFromLink);
        connect(m_link, &GridDataLink::valuesChanged, this, &GridModel::onValuesChanged);
        connect(m_link, &QObject::destroyed, this, &GridModel::resetFromLink, Qt::QueuedConnection);
    }
    resetFromLink();
}

bool GridModel::linkActive() const {
    return m_link && m_link->isActive();
}

void GridModel::setColumns(std::vector<GridColumn> columns) {
    beginResetModel();
    m_columns = std::move(columns);
    m_patterns.clear();
    for (const auto& c : m_columns)
        m_patterns.emplace_back(c.displayFormat);
    resolveFields();
    endResetModel();
}

void GridModel::setColumn(int index, GridColumn column) {
    if (!validColumn(index))
        return;
    const bool fieldChanged = m_columns[index].fieldName != column.fieldName;
    m_columns[index] = std::move(column);
    m_patterns[index] = NumberPattern(m_columns[index].displayFormat);
    if (fieldChanged)
        resolveFields();
    emit headerDataChanged(Qt::Horizontal, index, index);
    const int rows = rowCount();
    if (rows > 0)
        emit dataChanged(this->index(0, index), this->index(rows - 1, index));
}

void GridModel::resolveFields() {
    m_fields.assign(m_columns.size(), -1);
    if (!linkActive())
        return;
    for (size_t i = 0; i < m_columns.size(); ++i)
        m_fields[i] = m_link->fieldIndex(m_columns[i].fieldName);
}

void GridModel::resetFromLink() {
    beginResetModel();
    resolveFields();
    endResetModel();
    emit linkReset();
}

void GridModel::onValuesChanged(int firstRow, int lastRow) {
    const int rows = rowCount();
    if (rows == 0 || m_columns.empty())
        return;
    firstRow = std::clamp(firstRow, 0, rows - 1);
    lastRow = std::clamp(lastRow, firstRow, rows - 1);
    emit dataChanged(index(firstRow, 0), index(lastRow, static_cast<int>(m_columns.size()) - 1));
}

int GridModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() || !linkActive())
        return 0;
    return std::max(0, m_link->rowCount());
}

int GridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
}

QVariant GridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || !validColumn(index.column()) || !linkActive())
        return {};
    const int col = index.column();
    const GridColumn& c = m_columns[col];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole: {
        const int field = m_fields[col];
        if (field < 0)
            return {};
        // Cells are painted from inside Qt's event delivery, where an exception must not pass;
        // a cell whose value cannot be read stays empty.
        QVariant v;
        try {
            v = m_link->value(index.row(), field);
        } catch (const std::exception& e) {
            qCDebug(lcGrid) << "cell" << index.row() << col << "not read:" << e.what();
            return {};
        }
        // The editor starts from the plain value, not from the padded pattern form.
        static const NumberPattern plain;
        const NumberPattern& p = role == Qt::EditRole ? plain : m_patterns[col];
        return p.display(v, QLocale().decimalPoint());
    }
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(toQt(c.alignment) | Qt::AlignVCenter);
    case Qt::BackgroundRole:
        return c.color.isValid() ? QVariant(c.color) : QVariant();
    case Qt::ForegroundRole:
        return c.fontColor.isValid() ? QVariant(c.fontColor) : QVariant();
    case Qt::FontRole:
        return c.font ? QVariant(*c.font) : QVariant();
    default:
        return {};
    }
}

QVariant GridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || !validColumn(section))
        return QAbstractTableModel::headerData(section, orientation, role);
    const GridColumn& c = m_columns[section];
    switch (role) {
    case Qt::DisplayRole: {
        QString title = c.title;
        title.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        title.replace(u'\r', u'\n');
        return title;
    }
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(toQt(c.titleAlignment) | Qt::AlignVCenter);
    case SortMarkRole:
        return c.visualOptions.testFlag(voSortMark) ? int(c.sortState) : int(tsSortedNone);
    default:
        return {};
    }
}

bool GridModel::editable(const QModelIndex& index) const {
    return index.isValid() && validColumn(index.column()) && linkActive() &&
           !m_columns[index.column()].readOnly && m_fields[index.column()] >= 0 &&
           index.row() < m_link->rowCount();
}

Qt::ItemFlags GridModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (editable(index))
        f |= Qt::ItemIsEditable;
    return f;
}

bool GridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !editable(index))
        return false;
    const int field = m_fields[index.column()];
    const QString typed = value.toString();
    QVariant stored;
    if (!typed.trimmed().isEmpty()) {
        if (m_link->fieldType(field) == GridDataLink::FieldType::Number) {
            const auto number = decimal::read(typed);
            if (!number || !std::isfinite(*number)) {
                if (m_onError)
                    m_onError(QStringLiteral("'%1' - недопустимое число").arg(typed.trimmed()));
                return false;
            }
            stored = *number;
        } else {
            stored = oneLine(typed);
        }
    }
    try {
        m_link->setValue(index.row(), field, stored);
    } catch (const KvError& e) {
        if (m_onError)
            m_onError(e.message());
        return false;
    } catch (const std::exception& e) {
        if (m_onError)
            m_onError(QString::fromLocal8Bit(e.what()));
        return false;
    }
    emit dataChanged(index, index);
    return true;
}
