#include "report/ReportEngine.h"

#include "core/Error.h"
#include "report/Expression.h"

namespace report {

const Band* ReportTemplate::band(BandType type) const {
    for (const Band& b : bands)
        if (b.type == type)
            return &b;
    return nullptr;
}

namespace {

// Tolerance for sums of band heights given in tenths of a millimetre.
constexpr double epsilon = 1e-6;

struct CompiledObject {
    const TextObject* object;
    std::vector<TextPart> parts;
    bool constant; // no field, page number or page count: evaluated once
    QString constantText;
};

struct CompiledBand {
    const Band* band = nullptr;
    std::vector<CompiledObject> objects;
    double height() const { return band ? band->height : 0.0; }
};

class Layout {
public:
    Layout(const ReportTemplate& tpl, ReportDataSource& source) : m_tpl(tpl), m_source(source) {
        m_title = compile(BandType::ReportTitle);
        m_header = compile(BandType::PageHeader);
        m_data = compile(BandType::MasterData);
        m_footer = compile(BandType::PageFooter);
        if (m_data.band && m_data.height() <= 0)
            throw KvError(
                QStringLiteral("В шаблоне отчёта «%1» полоса данных не имеет высоты.").arg(tpl.name));
    }

    // With out == nullptr only counts the pages.
    int run(int totalPages, PreparedReport* out) {
        m_out = out;
        m_totalPages = totalPages;
        m_pageNumber = 0;
        const QMarginsF& m = m_tpl.page.margins;
        m_top = m.top();
        m_footerTop = m_tpl.page.paper.height() - m.bottom() - m_footer.height();

        beginPage();
        place(m_title);
        place(m_header);
        bool rowsOnPage = false;
        if (m_data.band) {
            for (m_source.first(); !m_source.eof(); m_source.next()) {
                if (rowsOnPage && m_y + m_data.height() > m_footerTop + epsilon) {
                    endPage();
                    beginPage();
                    place(m_header);
                }
                place(m_data);
                rowsOnPage = true;
            }
        }
        endPage();
        return m_pageNumber;
    }

private:
    CompiledBand compile(BandType type) {
        CompiledBand cb;
        cb.band = m_tpl.band(type);
        if (!cb.band)
            return cb;
        for (const TextObject& o : cb.band->objects) {
            CompiledObject co{&o, parseText(o.text), true, {}};
            for (const TextPart& p : co.parts) {
                if (p.kind == TextPart::Kind::Literal)
                    continue;
                co.constant = false;
                if (p.kind != TextPart::Kind::Field)
                    continue;
                if (p.source.compare(m_source.name(), Qt::CaseInsensitive) != 0)
                    throw KvError(
                        QStringLiteral("Шаблон отчёта «%1» ссылается на неизвестный источник данных «%2».")
                            .arg(m_tpl.name, p.source));
                if (!m_source.hasField(p.field))
                    throw KvError(QStringLiteral("В таблице нет поля «%1», которое печатает отчёт «%2».")
                                      .arg(p.field, m_tpl.name));
            }
            if (co.constant)
                for (const TextPart& p : co.parts)
                    co.constantText += p.text;
            cb.objects.push_back(std::move(co));
        }
        return cb;
    }

    void beginPage() {
        ++m_pageNumber;
        m_y = m_top;
        if (m_out)
            m_out->pages.emplace_back();
    }

    void endPage() {
        m_y = m_footerTop;
        place(m_footer);
    }

    QString evaluate(const CompiledObject& co) const {
        if (co.constant)
            return co.constantText;
        QString s;
        for (const TextPart& p : co.parts) {
            switch (p.kind) {
            case TextPart::Kind::Literal:
                s += p.text;
                break;
            case TextPart::Kind::PageNumber:
                s += QString::number(m_pageNumber);
                break;
            case TextPart::Kind::TotalPages:
                s += QString::number(m_totalPages);
                break;
            case TextPart::Kind::Field:
                s += co.object->format.apply(m_source.value(p.field));
                break;
            }
        }
        return s;
    }

    void place(const CompiledBand& cb) {
        if (!cb.band)
            return;
        if (m_out) {
            auto& items = m_out->pages.back().items;
            for (const CompiledObject& co : cb.objects) {
                const TextObject& o = *co.object;
                DrawItem item;
                item.text = evaluate(co);
                item.rect = o.rect.translated(0, m_y);
                if (o.widthFromText) {
                    const double w = textWidthMm(o.font, item.text) + 1.5; // room for the inner margin
                    item.rect.setLeft(item.rect.right() - w);
                }
                item.font = o.font;
                item.hAlign = o.hAlign;
                item.vAlign = o.vAlign;
                item.wordWrap = o.wordWrap;
                item.clip = o.clip;
                item.frame = o.frame;
                items.push_back(std::move(item));
            }
        }
        m_y += cb.height();
    }

    const ReportTemplate& m_tpl;
    ReportDataSource& m_source;
    CompiledBand m_title, m_header, m_data, m_footer;
    PreparedReport* m_out = nullptr;
    int m_totalPages = 0;
    int m_pageNumber = 0;
    double m_top = 0;
    double m_footerTop = 0;
    double m_y = 0;
};

} // namespace

PreparedReport prepareReport(const ReportTemplate& tpl, ReportDataSource& source) {
    Layout layout(tpl, source);
    const int total = layout.run(0, nullptr);
    PreparedReport out;
    out.page = tpl.page;
    out.pages.reserve(std::size_t(total));
    layout.run(total, &out);
    return out;
}

} // namespace report
