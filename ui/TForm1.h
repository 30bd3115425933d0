#pragma once

#include "core/SettingsKey.h"
#include "db/DbfTable.h"
#include "db/TableSession.h"
#include "db/views/LayoutStore.h"
#include "image/Importer.h"
#include "image/MemoryImage.h"
#include "link/PortList.h"
#include "ui/Dialogs.h"
#include "ui/HelpViewer.h"

#include <QMainWindow>

#include <functional>
#include <memory>
#include <optional>

class ChartWindow;
class DBGridPro;
class HelpWindow;
class ModeViews;
class QAction;
class QMenu;
class QTabWidget;
class QToolBar;
class TForm2;
class TForm3;
class TForm4;

// What the main window works with but does not make, handed in once when it is made.
struct TForm1Collaborators {
    // The ports "Порт прибора…" offers and the download looks on.
    std::shared_ptr<const serial::PortLister> portLister = std::make_shared<serial::SystemPortLister>();
    // Opens a WinHelp file in the platform's viewer; false (or none) when there is no viewer.
    std::function<bool(const QString&)> winHelpViewer = openInWinHelpViewer;
    // The program's settings, kept open for the run.
    std::unique_ptr<SettingsKey> settings = std::make_unique<SettingsKey>();
};

// The main window: the hub of every command. Handlers keep the names the commands are known by;
// each runs through dispatch(), which shows an error the handler does not catch.
class TForm1 : public QMainWindow, private LayoutStore {
    Q_OBJECT
    // The open table and its flags; declared first, as Dbf1 refers to its table.
    TableSession m_session;

public:
    using Collaborators = TForm1Collaborators;
    explicit TForm1(Collaborators collaborators = {}, QWidget* parent = nullptr);
    ~TForm1() override;

    // The windows start-up makes after this one (its FormCreate runs before they exist), handed
    // in once. The download dialog and the about box are the program's; the data-format dialog is
    // this window's child. Without them their commands do nothing.
    struct Dialogs {
        TForm2* download = nullptr;
        TForm3* format = nullptr;
        TForm4* about = nullptr;
    };
    void setDialogs(const Dialogs& dialogs);

    static const QString BaseTitle;    // "Кварнел-ЛД5"
    static const QString StartUpTitle; // "Кварнел-ЛД5+", the application title at start-up

    // --- state the commands share, as the tests look at it ---
    TableSession& session() { return m_session; }
    bool TableOpen() const { return m_session.isOpen(); }         // a table is open
    bool TableModified() const { return m_session.isModified(); } // edited since opened or saved
    const SettingsKey& settings() const { return Settings; }
    const QString& defaultDir() const { return DefaultDir; }
    // The common dialogs; a handler set on one answers it instead of the user.
    FileDialog& openDialog() { return OpenDialog1; }
    FileDialog& saveDialog() { return SaveDialog1; }
    ColorDialog& colorDialog() { return ColorDialog1; }
    const image::MemoryImage& image() const { return Image; }
    const QString& firmwareDate() const { return FirmwareDate; }
    // As an identification of the instrument leaves it (a test without an instrument).
    void setFirmwareDate(const QString& date) { FirmwareDate = date; }
    TForm2* downloadDialog() const { return Form2; }

    // The application title (the task bar's text) is the program's own; the window caption is
    // set next to it wherever the two change together.
    static QString applicationTitle();
    static void setApplicationTitle(const QString& title);

    ModeViews& views() const { return *m_views; }
    // The chart window, once "График" has made it; nullptr before.
    ChartWindow* chartWindow() const { return m_chart; }

    // The page shown: 0 "Оперативный", 1 "Ждущий", 2 "Наблюдения"; the grid of a page.
    int activePage() const;
    DBGridPro* grid(int page) const;

    // Runs a command: an error it does not catch ends it and is shown in the standard error box.
    void dispatch(const std::function<void()>& command);

    // The manual's window, made on first use and kept; "Помощь" shows it.
    HelpWindow* showHelpWindow();

    // --- handlers ---
    void N2Click();          // "Создать"
    void N3Click();          // "Открыть"
    void N14Click();         // "Дополнить"
    void N39Click();         // "Порт прибора…"
    void N15Click();         // "Сохранить", ToolButton3
    void N16Click();         // "Закрыть"
    void N4Click();          // "Предварительный просмотр", pop-up "Печать"
    void ToolButton4Click(); // "Печать"
    void Excel1Click();      // "Экспорт в Excel", pop-up "Экспорт"
    void bin1Click();        // "Загрузить bin-файл"
    void N22Click();         // "Выход"
    void N13Click();         // "Удалить строки", pop-up "Удалить"
    void N37Click();         // "Формат данных"
    void N40Click();         // "График", pop-up "График"
    void N9Click();          // "Выровнить столбцы"
    void N6Click();          // "Задать цвет"
    void N7Click();          // "Убрать цвет"
    void N8Click();          // "Убрать все цвета"
    void ToolButton6Click(); // "Убрать сортировку"
    void N34Click();         // "Помощь"
    void N36Click();         // "О программе"
    void TabSheet1Show() { tab_filter(0); }
    void TabSheet2Show() { tab_filter(1); }
    void TabSheet3Show() { tab_filter(2); }
    void DBGridPro1InitEdit();
    void DBGridPro1TitleStateChange(DBGridPro& grid, int column);
    void FormClose();

    // The one notice that settings cannot be kept has been given.
    bool settingsWarningShown() const { return m_settingsWarningShown; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // The state of the commands, named as they know it.
    DbfTable& Dbf1; // the one table object of the views
    std::shared_ptr<const serial::PortLister> PortLister;
    std::function<bool(const QString&)> WinHelpViewer;
    std::unique_ptr<SettingsKey> m_settings;
    SettingsKey& Settings;
    QString DefaultDir;
    QString HelpFile;
    FileDialog OpenDialog1{FileDialog::Kind::Open};
    FileDialog SaveDialog1{FileDialog::Kind::Save};
    ColorDialog ColorDialog1;
    // The run's one memory image, filled by a download or a .bin file, and the firmware date of
    // the instrument's last identification (empty until the first one).
    image::MemoryImage Image;
    QString FirmwareDate;
    TForm2* Form2 = nullptr;
    TForm3* Form3 = nullptr;
    TForm4* Form4 = nullptr;

    // The controls, named as the commands know them; the views' pages and grids are views()'s.
    QMenu* N1;
    QAction *N2, *N3, *N14, *N39, *N15, *N16, *N18, *N19, *Excel1, *bin1, *N22;
    QMenu* N23;
    QAction* N24;
    QMenu* N25;
    QAction *N37, *N26, *N28, *N29, *N30, *N32;
    QAction *N40, *N41; // "График" in "Вид" and in the pop-up
    QMenu* N33;
    QAction *N34, *N36;
    QToolBar* ToolBar1;
    QAction *ToolButton1, *ToolButton2, *ToolButton3, *ToolButton4, *ToolButton5, *ToolButton6, *ToolButton7;
    QMenu* PopupMenu1;
    QAction *N4, *N6, *N7, *N8, *N9, *N38, *N11, *N13;
    QTabWidget* PageControl1; // the views' pages

    // The routines of the commands.
    void en_but();
    void dis_but();
    void Open_DB(const QString& path);
    void Close_DB();
    void Save_DB();
    void Create_DB(); // a new table at SaveDialog1.fileName holding every record of Image
    void tab_filter(int mode);
    void reset_sort(DBGridPro& grid); // clears its sort marks and drops the sort index
    void reset_sort_all();            // the three grids in order
    void load_layout_all();
    void save_layout_all();

    DBGridPro* activeGrid() const;
    image::ImportHooks importHooks();
    // The chart window follows the shown page, its data format and its current record.
    void followChart();
    void markChartRecord();
    void selectRecord(int recNo);

    void FormCreate();
    void createMenus();
    void createToolBar();
    void createGridPopupMenu();
    void showSettingsWarning();
    QAction* bind(QAction* action, void (TForm1::*handler)());
    void tableCommandsEnabled(bool on);
    bool download(); // the download dialog; true when Image holds a new dump
    void prepareTableSaveDialog();
    void showNoTable();                       // the window after the table has gone: views hidden, base title
    void showTableTitle(const QString& path); // "<name> - Кварнел-ЛД5" in both titles
    void followReadOnly();                    // the grids take edits only from a writable table
    bool refuseReadOnly();                    // true, after saying so, when the table is read-only

    std::optional<QString> readLayout(const QString& name) const override;
    void writeLayout(const QString& name, const QString& text) override;

    QWidget* m_area = nullptr;
    ModeViews* m_views = nullptr;
    HelpWindow* m_help = nullptr;
    ChartWindow* m_chart = nullptr;
    bool m_chartPending = false;
    bool m_settingsWarningShown = false;
    bool m_settingsWarningPending = false;
    bool m_quitting = false;
};
