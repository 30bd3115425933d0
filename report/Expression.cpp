#include "report/Expression.h"

#include "core/Error.h"

#include <QRegularExpression>

namespace report {

std::vector<TextPart> parseText(const QString& text) {
    static const QRegularExpression fieldRef(
        QStringLiteral(R"re(^\s*([A-Za-z_][A-Za-z0-9_]*)\s*\.\s*"([^"]+)"\s*$)re"));
    std::vector<TextPart> parts;
    QString literal;
    auto flush = [&] {
        if (!literal.isEmpty()) {
            parts.push_back({TextPart::Kind::Literal, literal, {}, {}});
            literal.clear();
        }
    };
    qsizetype i = 0;
    while (i < text.size()) {
        if (text[i] != u'[') {
            literal += text[i++];
            continue;
        }
        const qsizetype close = text.indexOf(u']', i + 1);
        if (close < 0)
            throw KvError(QStringLiteral("В тексте отчёта «%1» не закрыта скобка «[».").arg(text));
        const QString inner = text.mid(i + 1, close - i - 1);
        const QString key = inner.trimmed();
        flush();
        if (key.compare(u"PAGE#", Qt::CaseInsensitive) == 0) {
            parts.push_back({TextPart::Kind::PageNumber, {}, {}, {}});
        } else if (key.compare(u"TOTALPAGES", Qt::CaseInsensitive) == 0) {
            parts.push_back({TextPart::Kind::TotalPages, {}, {}, {}});
        } else if (auto m = fieldRef.match(inner); m.hasMatch()) {
            parts.push_back({TextPart::Kind::Field, {}, m.captured(1), m.captured(2)});
        } else {
            throw KvError(QStringLiteral("Неизвестное выражение «[%1]» в шаблоне отчёта.").arg(inner));
        }
        i = close + 1;
    }
    flush();
    return parts;
}

} // namespace report
