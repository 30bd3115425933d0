#pragma once

#include "chart/SeverityZones.h"
#include "chart/TrendChart.h"
#include "chart/TrendSeries.h"

#include <QWidget>

#include <functional>

class ChartView;
class DbfTable;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QPrinter;
class QPushButton;

// The chart window of a main window: modeless, over the visible records of the table object (the
// page's filter) in date-time order. The main window tells it which page and data format are
// shown and which record is current; the window reports a click on a point by record number.
// The zone choice is kept in the program's settings.
class ChartWindow : public QWidget {
    Q_OBJECT
public:
    ChartWindow(const DbfTable& table, QWidget* parent);

    // The page shown (its mode and caption) and its data format; reads the table again.
    void showView(int mode, const QString& caption, chart::ValueForm form);
    // Reads the table again for the same page (after an edit, a deletion, a new table).
    void refresh();
    // The record the grid stands on, marked on the chart; 0: none.
    void markRecord(int recNo);

    ChartView* view() const { return m_view; }
    int mode() const { return m_mode; }
    chart::ValueForm form() const { return m_form; }
    chart::Quantity quantity() const;

    // Dialogs a test answers itself: the file name to save to (empty: cancelled) and the
    // printer set-up (false: cancelled). By default the platform's dialogs.
    std::function<QString(QWidget* parent, const QString& suggested)> askSavePath;
    std::function<bool(QPrinter& printer, QWidget* parent)> askPrinter;
    // Shows a failure; by default the standard error box.
    std::function<void(const QString& message)> showError;

    void save();  // "Сохранить"
    void print(); // "Печать"

    static QString settingZones() { return QStringLiteral("Chart_zones"); }
    static QString settingClass() { return QStringLiteral("Chart_class"); }
    static QString settingLimits() { return QStringLiteral("Chart_limits"); }

signals:
    void recordClicked(int recNo);

private:
    void fillQuantities();
    void rebuild();    // reads the series
    void applyZones(); // the zone controls onto the chart
    void loadSettings();
    void storeSettings();
    std::optional<chart::ZoneLimits> chosenLimits() const;
    void updateStatus();
    chart::TrendChart forPaper() const;

    const DbfTable& m_table;
    int m_mode = 0;
    QString m_caption;
    chart::ValueForm m_form;
    int m_markedRecNo = 0;
    bool m_loading = false;

    QComboBox* m_quantity;
    QCheckBox* m_log;
    QCheckBox* m_zones;
    QComboBox* m_class;
    QDoubleSpinBox* m_limits[3];
    QPushButton* m_reset;
    QPushButton* m_save;
    QPushButton* m_print;
    QLabel* m_status;
    ChartView* m_view;
};
