#include "chart/ui/ChartWindow.h"

#include "chart/ChartFile.h"
#include "chart/ui/ChartView.h"
#include "core/Error.h"
#include "core/FileLayer.h"
#include "core/SettingsIdentity.h"
#include "db/DbfTable.h"
#include "db/MeasurementSchema.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

using namespace chart;

namespace {

const QString kCustom = QStringLiteral("custom");

} // namespace

ChartWindow::ChartWindow(const DbfTable& table, QWidget* parent)
    : QWidget(parent, Qt::Window), m_table(table) {
    setObjectName(QStringLiteral("ChartWindow"));
    resize(1000, 640);

    m_quantity = new QComboBox(this);
    m_quantity->setObjectName(QStringLiteral("QuantityBox"));
    m_log = new QCheckBox(QStringLiteral("Логарифмическая шкала"), this);
    m_log->setObjectName(QStringLiteral("LogBox"));
    m_reset = new QPushButton(QStringLiteral("Сбросить масштаб"), this);
    m_reset->setObjectName(QStringLiteral("ResetButton"));
    m_save = new QPushButton(QStringLiteral("Сохранить…"), this);
    m_save->setObjectName(QStringLiteral("SaveButton"));
    m_print = new QPushButton(QStringLiteral("Печать…"), this);
    m_print->setObjectName(QStringLiteral("PrintButton"));
    m_zones = new QCheckBox(QStringLiteral("Зоны вибрации"), this);
    m_zones->setObjectName(QStringLiteral("ZonesBox"));
    m_class = new QComboBox(this);
    m_class->setObjectName(QStringLiteral("ClassBox"));
    for (const SeverityClass& c : severityClasses())
        m_class->addItem(c.name, c.id);
    m_class->addItem(QStringLiteral("Свои пороги"), kCustom);
    const char* limitNames[3] = {"LimitAB", "LimitBC", "LimitCD"};
    for (int i = 0; i < 3; ++i) {
        m_limits[i] = new QDoubleSpinBox(this);
        m_limits[i]->setObjectName(QString::fromLatin1(limitNames[i]));
        m_limits[i]->setRange(0.01, 1000);
        m_limits[i]->setDecimals(2);
        m_limits[i]->setSingleStep(0.1);
    }
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("StatusLabel"));
    m_view = new ChartView(this);

    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("Величина:"), this));
    top->addWidget(m_quantity);
    top->addWidget(m_log);
    top->addStretch();
    top->addWidget(m_reset);
    top->addWidget(m_save);
    top->addWidget(m_print);
    auto* zones = new QHBoxLayout;
    zones->addWidget(m_zones);
    zones->addWidget(m_class, 1);
    const char* limitTitles[3] = {"A/B", "B/C", "C/D"};
    for (int i = 0; i < 3; ++i) {
        zones->addWidget(new QLabel(QString::fromLatin1(limitTitles[i]), this));
        zones->addWidget(m_limits[i]);
    }
    // The zones judge the velocity RMS.
    zones->addWidget(new QLabel(MeasurementSchema::field(MeasurementSchema::Field::V_SR).unit, this));
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(zones);
    layout->addWidget(m_status);
    layout->addWidget(m_view, 1);

    showError = [this](const QString& message) {
        QMessageBox::critical(this, QStringLiteral("Error"), message);
    };

    loadSettings();
    connect(m_quantity, &QComboBox::currentIndexChanged, this, [this] {
        if (!m_loading)
            rebuild();
    });
    connect(m_log, &QCheckBox::toggled, this, [this] { applyZones(); });
    auto zonesChanged = [this] {
        if (m_loading)
            return;
        storeSettings();
        applyZones();
    };
    connect(m_zones, &QCheckBox::toggled, this, zonesChanged);
    connect(m_class, &QComboBox::currentIndexChanged, this, zonesChanged);
    for (QDoubleSpinBox* box : m_limits)
        connect(box, &QDoubleSpinBox::valueChanged, this, zonesChanged);
    connect(m_reset, &QPushButton::clicked, this, [this] {
        m_view->chart().resetRange();
        m_view->update();
    });
    connect(m_save, &QPushButton::clicked, this, &ChartWindow::save);
    connect(m_print, &QPushButton::clicked, this, &ChartWindow::print);
    connect(m_view, &ChartView::pointClicked, this, [this](int index) {
        const Series& s = m_view->chart().series();
        if (index >= 0 && index < s.size())
            emit recordClicked(s.recNo[std::size_t(index)]);
    });
}

Quantity ChartWindow::quantity() const {
    return Quantity(m_quantity->currentData().toInt());
}

void ChartWindow::fillQuantities() {
    const QVariant before = m_quantity->currentData();
    m_loading = true;
    m_quantity->clear();
    for (Quantity q : quantitiesFor(m_mode))
        m_quantity->addItem(quantityName(q), int(q));
    const int again = m_quantity->findData(before);
    // Velocity first: it is what the zones judge.
    m_quantity->setCurrentIndex(again >= 0 ? again : m_quantity->findData(int(Quantity::Velocity)));
    m_loading = false;
}

void ChartWindow::showView(int mode, const QString& caption, ValueForm form) {
    m_mode = mode;
    m_caption = caption;
    m_form = form;
    setWindowTitle(QStringLiteral("График — %1").arg(caption));
    fillQuantities();
    rebuild();
}

void ChartWindow::refresh() {
    rebuild();
}

void ChartWindow::rebuild() {
    TrendChart& c = m_view->chart();
    const Quantity q = quantity();
    Series series;
    if (m_table.isOpen())
        series = buildSeries(m_table, fieldFor(q, m_form));
    const QString table = m_table.isOpen() ? QFileInfo(m_table.path()).completeBaseName() : QString();
    c.setTitle(table.isEmpty() ? m_caption : QStringLiteral("%1 — %2").arg(table, m_caption));
    c.setValueTitle(axisTitle(q, m_form));
    c.setSeries(std::move(series));
    c.setMarked(c.series().indexOfRecNo(m_markedRecNo));
    applyZones();
}

std::optional<ZoneLimits> ChartWindow::chosenLimits() const {
    if (m_class->currentData().toString() == kCustom) {
        const ZoneLimits l{m_limits[0]->value(), m_limits[1]->value(), m_limits[2]->value()};
        return l.valid() ? std::optional(l) : std::nullopt;
    }
    return parseZones(m_class->currentData().toString());
}

void ChartWindow::applyZones() {
    const bool custom = m_class->currentData().toString() == kCustom;
    for (QDoubleSpinBox* box : m_limits)
        box->setEnabled(custom);
    if (!custom)
        if (const auto l = chosenLimits()) {
            m_loading = true;
            m_limits[0]->setValue(l->ab);
            m_limits[1]->setValue(l->bc);
            m_limits[2]->setValue(l->cd);
            m_loading = false;
        }
    TrendChart& c = m_view->chart();
    const bool on = m_zones->isChecked() && zonesApply(quantity(), m_form);
    const auto limits = on ? chosenLimits() : std::nullopt;
    c.setZones(limits, limits ? (custom ? QStringLiteral("свои пороги") : m_class->currentData().toString())
                              : QString());
    c.setLogScale(m_log->isChecked());
    updateStatus();
    m_view->update();
}

void ChartWindow::updateStatus() {
    const Series& s = m_view->chart().series();
    QStringList notes;
    notes << QStringLiteral("Записей: %1, со значением: %2").arg(s.size()).arg(s.valueCount());
    if (s.undated > 0)
        notes << QStringLiteral("без верной даты и времени (не показаны): %1").arg(s.undated);
    if (m_zones->isChecked() && !zonesApply(quantity(), m_form))
        notes << QStringLiteral(
            "зоны вибрации — только для виброскорости СКЗ (формат данных «Средне квадратическое»)");
    else if (m_zones->isChecked() && !chosenLimits())
        notes << QStringLiteral("пороги должны возрастать: A/B < B/C < C/D");
    if (m_log->isChecked() && std::any_of(s.y.begin(), s.y.end(), [](double v) { return v <= 0; }))
        notes << QStringLiteral("нулевые значения на логарифмической шкале не показаны");
    m_status->setText(notes.join(QStringLiteral("; ")));
}

void ChartWindow::markRecord(int recNo) {
    m_markedRecNo = recNo;
    m_view->chart().setMarked(m_view->chart().series().indexOfRecNo(recNo));
    m_view->update();
}

void ChartWindow::loadSettings() {
    m_loading = true;
    ProgramSettings s;
    m_zones->setChecked(s.value(settingZones(), false).toBool());
    const int cls = m_class->findData(s.value(settingClass()).toString());
    m_class->setCurrentIndex(cls >= 0 ? cls : 1);
    const auto custom = parseZones(QStringLiteral("custom:") + s.value(settingLimits()).toString());
    const ZoneLimits l = custom ? *custom : severityClasses()[1].limits;
    m_limits[0]->setValue(l.ab);
    m_limits[1]->setValue(l.bc);
    m_limits[2]->setValue(l.cd);
    m_loading = false;
}

void ChartWindow::storeSettings() {
    ProgramSettings s;
    s.setValue(settingZones(), m_zones->isChecked());
    s.setValue(settingClass(), m_class->currentData().toString());
    if (m_class->currentData().toString() == kCustom)
        s.setValue(settingLimits(), QStringLiteral("%1,%2,%3")
                                        .arg(m_limits[0]->value())
                                        .arg(m_limits[1]->value())
                                        .arg(m_limits[2]->value()));
}

TrendChart ChartWindow::forPaper() const {
    // A picture for a report shows the range on screen without the grid's current record.
    TrendChart c = m_view->chart();
    c.setMarked(-1);
    return c;
}

void ChartWindow::save() {
    const QString suggested = m_table.isOpen()
                                  ? QFileInfo(m_table.path()).absolutePath() + QLatin1Char('/') +
                                        QFileInfo(m_table.path()).completeBaseName() + QStringLiteral(".png")
                                  : QString();
    const QString path =
        askSavePath ? askSavePath(this, suggested)
                    : QFileDialog::getSaveFileName(this, QStringLiteral("Сохранить график"), suggested,
                                                   QStringLiteral("Рисунок PNG (*.png);;Рисунок SVG "
                                                                  "(*.svg);;Документ PDF (*.pdf)"));
    if (path.isEmpty())
        return;
    try {
        saveChart(forPaper(), path, QSize(1600, 900));
    } catch (const KvError& e) {
        showError(e.message());
    }
    for (const QString& notice : fileio::takeNotices())
        QMessageBox::information(this, QStringLiteral("Кварнел-ЛД5"), notice);
}

void ChartWindow::print() {
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageOrientation(QPageLayout::Landscape);
    printer.setDocName(m_view->chart().title());
    const bool go =
        askPrinter ? askPrinter(printer, this) : QPrintDialog(&printer, this).exec() == QDialog::Accepted;
    if (!go)
        return;
    QPainter painter;
    if (!painter.begin(&printer)) {
        showError(QStringLiteral("Не удалось начать печать."));
        return;
    }
    // Drawn at screen proportions of 1600 pixels wide and scaled to the page.
    const QRectF page = printer.pageLayout().paintRectPixels(printer.resolution());
    const double scale = page.width() / 1600.0;
    painter.scale(scale, scale);
    forPaper().paint(painter, QRectF(0, 0, 1600, page.height() / scale));
    painter.end();
}
