#include "grid/ui/GridDelegate.h"

#include "grid/ui/GridModel.h"

#include <QLineEdit>
#include <QValidator>

#include <algorithm>

namespace {

// Refuses input that adds characters the column does not accept or grows the text past the
// column's limit. A text that already broke the limits when the editor opened can still be
// shortened and cleaned, so the user is never stuck.
class ColumnInputValidator : public QValidator {
public:
    ColumnInputValidator(int maxLength, std::function<bool(QChar)> accept, QObject* parent)
        : QValidator(parent), m_maxLength(maxLength), m_accept(std::move(accept)) {}

    void setBaseline(const QString& text) {
        m_lastLength = text.size();
        m_lastRefused = refusedIn(text);
    }

    State validate(QString& input, int& pos) const override {
        const QString line = GridModel::oneLine(input);
        if (line != input) {
            pos = std::max(0, int(pos - (input.size() - line.size())));
            input = line;
        }
        const qsizetype refused = refusedIn(input);
        const bool tooLong = m_maxLength > 0 && input.size() > m_maxLength && input.size() > m_lastLength;
        if (tooLong || refused > m_lastRefused)
            return Invalid;
        m_lastLength = input.size();
        m_lastRefused = refused;
        return Acceptable;
    }

private:
    qsizetype refusedIn(const QString& text) const {
        if (!m_accept)
            return 0;
        qsizetype n = 0;
        for (const QChar c : text)
            if (!m_accept(c))
                ++n;
        return n;
    }

    int m_maxLength;
    std::function<bool(QChar)> m_accept;
    mutable qsizetype m_lastLength = 0;
    mutable qsizetype m_lastRefused = 0;
};

} // namespace

GridDelegate::GridDelegate(GridModel* model, std::function<void(int)> onEditorStarted, QObject* parent)
    : QStyledItemDelegate(parent), m_model(model), m_onEditorStarted(std::move(onEditorStarted)) {}

QWidget* GridDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                    const QModelIndex& index) const {
    if (!m_model->editable(index))
        return nullptr;
    if (m_refuse && m_refuse(index.column()))
        return nullptr;
    const GridColumn& c = m_model->columns()[index.column()];
    auto* editor = new QLineEdit(parent);
    editor->setFrame(false);
    if (c.font)
        editor->setFont(*c.font);
    editor->setValidator(new ColumnInputValidator(c.maxLength, c.acceptChar, editor));
    if (m_onEditorStarted)
        m_onEditorStarted(index.column());
    return editor;
}

void GridDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    auto* line = qobject_cast<QLineEdit*>(editor);
    if (!line) {
        QStyledItemDelegate::setEditorData(editor, index);
        return;
    }
    const QString text = index.data(Qt::EditRole).toString();
    if (auto* v =
            const_cast<ColumnInputValidator*>(dynamic_cast<const ColumnInputValidator*>(line->validator())))
        v->setBaseline(text);
    line->setText(text);
}

void GridDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    if (!m_model->validColumn(index.column()))
        return;
    const ColumnVisualOptions o = m_model->columns()[index.column()].visualOptions;
    option->textElideMode = o.testFlag(voEndEllipsis) ? Qt::ElideRight : Qt::ElideNone;
    if (o.testFlag(voWordWrap))
        option->features |= QStyleOptionViewItem::WrapText;
    else
        option->features &= ~QStyleOptionViewItem::WrapText;
}
