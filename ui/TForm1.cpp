#include "ui/TForm1.h"

#include "chart/ui/ChartWindow.h"
#include "core/FileLayer.h"
#include "grid/ui/DBGridPro.h"
#include "ui/Command.h"
#include "ui/HelpViewer.h"
#include "ui/HelpWindow.h"
#include "ui/ImageList.h"
#include "ui/ModeViews.h"
#include "ui/PortDialog.h"
#include "ui/TForm3.h"
#include "ui/TForm4.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenuBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// Made on first use: a copy of StartUpTitle at namespace scope would depend on the order in which
// the statics are initialised.
QString& applicationTitleText() {
    static QString title = TForm1::StartUpTitle;
    return title;
}

// Used while no "itp.hlp" stands beside the program; it normally does not exist.
#ifdef Q_OS_WIN
const QString builtInHelpFile = QStringLiteral("C:/Program Files/Morvalen/Kvarnel/itp.hlp");
#else
const QString builtInHelpFile = QStringLiteral("/usr/share/doc/kvarnel-ld5/itp.hlp");
#endif

} // namespace

const QString TForm1::BaseTitle = QStringLiteral("Кварнел-ЛД5");
const QString TForm1::StartUpTitle = QStringLiteral("Кварнел-ЛД5+");

QString TForm1::applicationTitle() {
    return applicationTitleText();
}

void TForm1::setApplicationTitle(const QString& title) {
    applicationTitleText() = title;
}

TForm1::TForm1(Collaborators collaborators, QWidget* parent)
    : QMainWindow(parent), Dbf1(m_session.table()), PortLister(std::move(collaborators.portLister)),
      WinHelpViewer(std::move(collaborators.winHelpViewer)),
      m_settings(collaborators.settings ? std::move(collaborators.settings)
                                        : std::make_unique<SettingsKey>()),
      Settings(*m_settings), HelpFile(builtInHelpFile) {
    setObjectName(QStringLiteral("Form1"));
    // The open and save dialogs start where either was last used in this run.
    OpenDialog1.memory = SaveDialog1.memory = std::make_shared<FileDialog::FolderMemory>();
    setWindowTitle(QStringLiteral("Кварнел "));
    resize(733, 530);
    QFont designFont(QStringLiteral("MS Sans Serif"));
    designFont.setPixelSize(11);
    setFont(designFont);

    m_area = new QWidget(this);
    m_area->setObjectName(QStringLiteral("ClientArea"));
    auto* layout = new QVBoxLayout(m_area);
    layout->setContentsMargins(0, 0, 0, 0);
    m_views = new ModeViews(Dbf1, m_area);
    PageControl1 = m_views->PageControl1;
    layout->addWidget(m_views->NoteFilter);
    layout->addWidget(PageControl1);
    setCentralWidget(m_area);

    createMenus();
    createToolBar();
    createGridPopupMenu();
    m_views->setPopupMenu(PopupMenu1);

    void (TForm1::*pageShow[])() = {&TForm1::TabSheet1Show, &TForm1::TabSheet2Show, &TForm1::TabSheet3Show};
    connect(PageControl1, &QTabWidget::currentChanged, this, [this, pageShow](int page) {
        if (page >= 0 && page < 3)
            dispatch([this, handler = pageShow[page]] { (this->*handler)(); });
    });
    for (int page = 0; page < 3; ++page) {
        DBGridPro* g = grid(page);
        connect(g, &DBGridPro::titleStateChange, this, [this, g](int column) {
            dispatch([this, g, column] { DBGridPro1TitleStateChange(*g, column); });
        });
        connect(g, &DBGridPro::initEdit, this, [this](int) { DBGridPro1InitEdit(); });
        connect(g, &DBGridPro::editRefused, this, [this](int) { refuseReadOnly(); });
        g->setErrorHandler([this](const QString& message) { command::showError(this, message); });
    }
    connect(m_views->NoteFilter, &QLineEdit::textChanged, this,
            [this](const QString& text) { dispatch([this, text] { m_views->setNoteFilter(text); }); });
    auto* findNote = new QAction(this);
    findNote->setObjectName(QStringLiteral("FindNote"));
    findNote->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    connect(findNote, &QAction::triggered, this, [this] {
        if (m_views->NoteFilter->isVisible())
            m_views->focusNoteFilter();
    });
    addAction(findNote);
    connect(&m_session, &TableSession::opened, this, [this] {
        followReadOnly();
        m_views->dataLink().reset();
    });
    connect(&m_session, &TableSession::rowsChanged, this, [this] { m_views->dataLink().reset(); });
    // No exception may leave a slot: a re-read that fails is shown as a command's error is.
    connect(&m_session, &TableSession::reloaded, this,
            [this] { command::runCommand(this, [this] { m_views->dataLink().reread(); }); });
    connect(&m_session, &TableSession::closed, this, [this] { showNoTable(); });

    dispatch([this] { FormCreate(); });
}

void TForm1::setDialogs(const Dialogs& dialogs) {
    Q_ASSERT(!Form2 && !Form3 && !Form4);
    Form2 = dialogs.download;
    Form3 = dialogs.format;
    Form4 = dialogs.about;
}

TForm1::~TForm1() {
    // The grids and their data link go before the table object they show.
    delete m_area;
}

void TForm1::FormCreate() {
    setWindowState(Qt::WindowMaximized);

    // The empty area shows the colour of button shadows while no table is open.
    QPalette area = m_area->palette();
    area.setColor(QPalette::Window, palette().color(QPalette::Dark));
    m_area->setPalette(area);
    m_area->setAutoFillBackground(true);

    PageControl1->hide();
    m_views->NoteFilter->hide();

    const QString help = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("itp.hlp"));
    if (QFile::exists(help))
        HelpFile = help;

    Settings.onNotWritable = [this] {
        if (isVisible())
            showSettingsWarning();
        else
            m_settingsWarningPending = true;
    };
    Settings.open();

    if (Settings.valueExists(QStringLiteral("Default_dir"))) {
        DefaultDir = Settings.readString(QStringLiteral("Default_dir"));
    } else {
        DefaultDir = QDir::toNativeSeparators(QDir::currentPath());
        Settings.writeString(QStringLiteral("Default_dir"), DefaultDir);
    }
    OpenDialog1.initialDir = DefaultDir;
    SaveDialog1.initialDir = DefaultDir;

    reset_sort_all();
    dis_but();
    m_views->setUpColumns();
    bin1->setVisible(false);
}

QAction* TForm1::bind(QAction* action, void (TForm1::*handler)()) {
    connect(action, &QAction::triggered, this,
            [this, handler] { dispatch([this, handler] { (this->*handler)(); }); });
    return action;
}

void TForm1::createMenus() {
    const std::vector<QIcon> images = makeImageList();
    auto item = [&](QMenu* menu, const char* name, const QString& caption, void (TForm1::*handler)(),
                    const QKeySequence& shortcut = {}, int picture = -1) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(QString::fromLatin1(name));
        if (!shortcut.isEmpty())
            action->setShortcut(shortcut);
        if (picture >= 0)
            action->setIcon(images[std::size_t(picture)]);
        return bind(action, handler);
    };
    auto menu = [&](const char* name, const QString& caption) {
        QMenu* m = menuBar()->addMenu(caption);
        m->setObjectName(QString::fromLatin1(name));
        return m;
    };
    auto separator = [](QMenu* m, const char* name) {
        m->addSeparator()->setObjectName(QString::fromLatin1(name));
    };

    N1 = menu("N1", QStringLiteral("Файл"));
    N2 = item(N1, "N2", QStringLiteral("Создать"), &TForm1::N2Click, QKeySequence(Qt::CTRL | Qt::Key_N), 0);
    N3 = item(N1, "N3", QStringLiteral("Открыть"), &TForm1::N3Click, QKeySequence(Qt::CTRL | Qt::Key_O), 1);
    N14 = item(N1, "N14", QStringLiteral("Дополнить"), &TForm1::N14Click);
    N39 = item(N1, "N39", QStringLiteral("Порт прибора…"), &TForm1::N39Click);
    N15 = item(N1, "N15", QStringLiteral("Сохранить"), &TForm1::N15Click, QKeySequence(Qt::CTRL | Qt::Key_S),
               2);
    N16 = item(N1, "N16", QStringLiteral("Закрыть"), &TForm1::N16Click);
    separator(N1, "N17");
    N18 = item(N1, "N18", QStringLiteral("Предварительный просмотр"), &TForm1::N4Click, {}, 6);
    N19 = item(N1, "N19", QStringLiteral("Печать"), &TForm1::ToolButton4Click,
               QKeySequence(Qt::CTRL | Qt::Key_P), 5);
    separator(N1, "N20");
    Excel1 = item(N1, "Excel1", QStringLiteral("Экспорт в Excel"), &TForm1::Excel1Click);
    bin1 = item(N1, "bin1", QStringLiteral("Загрузить bin-файл"), &TForm1::bin1Click);
    separator(N1, "N21");
    N22 = item(N1, "N22", QStringLiteral("Выход"), &TForm1::N22Click);

    N23 = menu("N23", QStringLiteral("Правка"));
    N24 = item(N23, "N24", QStringLiteral("Удалить строки"), &TForm1::N13Click);

    N25 = menu("N25", QStringLiteral("Вид"));
    N37 = item(N25, "N37", QStringLiteral("Формат данных"), &TForm1::N37Click);
    N26 = item(N25, "N26", QStringLiteral("Выровнить столбцы"), &TForm1::N9Click);
    separator(N25, "N27");
    N28 = item(N25, "N28", QStringLiteral("Задать цвет"), &TForm1::N6Click);
    N29 = item(N25, "N29", QStringLiteral("Убрать цвет"), &TForm1::N7Click);
    N30 = item(N25, "N30", QStringLiteral("Убрать все цвета"), &TForm1::N8Click);
    separator(N25, "N31");
    N32 = item(N25, "N32", QStringLiteral("Убрать сортировку"), &TForm1::ToolButton6Click, {}, 3);
    separator(N25, "N42");
    N40 = item(N25, "N40", QStringLiteral("График"), &TForm1::N40Click);

    N33 = menu("N33", QStringLiteral("Справка"));
    N34 = item(N33, "N34", QStringLiteral("Помощь"), &TForm1::N34Click, QKeySequence(Qt::Key_F1), 4);
    separator(N33, "N35");
    N36 = item(N33, "N36", QStringLiteral("О программе"), &TForm1::N36Click);
}

void TForm1::createToolBar() {
    const std::vector<QIcon> images = makeImageList();
    ToolBar1 = addToolBar(QString());
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setIconSize(QSize(16, 16));
    ToolBar1->setToolButtonStyle(Qt::ToolButtonIconOnly);
    ToolBar1->toggleViewAction()->setEnabled(false);
    setContextMenuPolicy(Qt::NoContextMenu);

    auto button = [&](const char* name, int picture, const QString& hint, void (TForm1::*handler)()) {
        QAction* action = new QAction(images[std::size_t(picture)], hint, this);
        action->setObjectName(QString::fromLatin1(name));
        ToolBar1->addAction(action);
        if (QWidget* w = ToolBar1->widgetForAction(action)) {
            w->setObjectName(QString::fromLatin1(name) + QStringLiteral("Button"));
            w->setFixedSize(25, 23);
        }
        return bind(action, handler);
    };
    ToolButton1 = button("ToolButton1", 0, N2->text(), &TForm1::N2Click);
    ToolButton2 = button("ToolButton2", 1, N3->text(), &TForm1::N3Click);
    ToolButton3 = button("ToolButton3", 2, N15->text(), &TForm1::N15Click);
    ToolButton4 = button("ToolButton4", 5, N19->text(), &TForm1::ToolButton4Click);
    ToolButton5 = button("ToolButton5", 6, N18->text(), &TForm1::N4Click);
    ToolButton6 = button("ToolButton6", 3, N32->text(), &TForm1::ToolButton6Click);
    ToolButton7 = button("ToolButton7", 4, N34->text(), &TForm1::N34Click);
}

void TForm1::createGridPopupMenu() {
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    auto item = [&](const char* name, const QString& caption, void (TForm1::*handler)()) {
        QAction* action = PopupMenu1->addAction(caption);
        action->setObjectName(QString::fromLatin1(name));
        return bind(action, handler);
    };
    auto separator = [&](const char* name) {
        PopupMenu1->addSeparator()->setObjectName(QString::fromLatin1(name));
    };
    N4 = item("N4", QStringLiteral("Печать"), &TForm1::N4Click);
    separator("N5");
    N6 = item("N6", QStringLiteral("Задать цвет"), &TForm1::N6Click);
    N7 = item("N7", QStringLiteral("Убрать цвет"), &TForm1::N7Click);
    N8 = item("N8", QStringLiteral("Урать все цвета"), &TForm1::N8Click);
    N9 = item("N9", QStringLiteral("Выровнять столбцы"), &TForm1::N9Click);
    N38 = item("N38", QStringLiteral("Формат данных"), &TForm1::N37Click);
    N41 = item("N41", QStringLiteral("График"), &TForm1::N40Click);
    separator("N10");
    N11 = item("N11", QStringLiteral("Экспорт"), &TForm1::Excel1Click);
    separator("N12");
    N13 = item("N13", QStringLiteral("Удалить"), &TForm1::N13Click);
}

void TForm1::dispatch(const std::function<void()>& command) {
    command::runCommand(this, [this, &command] {
        // A value typed in a cell reaches the table before any command acts on it; a value the
        // table refuses has been reported, and the command does not run on what is left.
        if (!m_views->finishEdits())
            return;
        command();
    });
    // What the file layer noted on the way (an owner not kept, an index name taken by a folder)
    // is told once the command is over, never in the middle of a write.
    for (const QString& notice : fileio::takeNotices())
        command::message(this, QMessageBox::Information, BaseTitle, notice);
}

void TForm1::tableCommandsEnabled(bool on) {
    for (QAction* a : {N15, N16, N18, N19, Excel1, N24, N26, N28, N29, N30, N32, N37, N40, ToolButton3,
                       ToolButton4, ToolButton5, ToolButton6})
        a->setEnabled(on);
}

void TForm1::en_but() {
    PageControl1->show();
    m_views->NoteFilter->show();
    tableCommandsEnabled(true);
    // The shown page's handler runs when the views appear, as it does when the user turns to it.
    tab_filter(activePage());
}

void TForm1::dis_but() {
    PageControl1->hide();
    m_views->NoteFilter->hide();
    tableCommandsEnabled(false);
    if (m_chart)
        m_chart->hide();
}

void TForm1::showSettingsWarning() {
    if (m_settingsWarningShown)
        return;
    m_settingsWarningShown = true;
    command::message(this, QMessageBox::Warning, BaseTitle,
                     QStringLiteral("Настройки программы не удаётся записать (%1).\n"
                                    "Программа работает, но настройки не будут сохранены.")
                         .arg(QDir::toNativeSeparators(Settings.location())));
}

void TForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (m_settingsWarningPending) {
        m_settingsWarningPending = false;
        QTimer::singleShot(0, this, [this] { showSettingsWarning(); });
    }
}

void TForm1::closeEvent(QCloseEvent* event) {
    if (!m_quitting && !m_views->finishEdits()) {
        event->ignore(); // the refused value has been reported; the window stays for it
        return;
    }
    if (!m_quitting)
        dispatch([this] { FormClose(); });
    event->accept();
}

void TForm1::FormClose() {
    Settings.writeString(QStringLiteral("Default_dir"), DefaultDir);
    Close_DB();
}

void TForm1::N22Click() {
    // Ends the message loop as a quit message does: no FormClose, nothing written.
    m_quitting = true;
    QCoreApplication::exit(0);
}

void TForm1::N39Click() {
    PortDialog dialog(this, PortLister, Settings.readString(QStringLiteral("Port")));
    if (dialog.exec() == QDialog::Accepted)
        Settings.writeString(QStringLiteral("Port"), dialog.choice());
}

void TForm1::N34Click() {
    // The "itp.hlp" beside the program wins where the platform can show it; everywhere else, and
    // without it, the manual built into the program.
    if (QFile::exists(HelpFile) && WinHelpViewer && WinHelpViewer(HelpFile))
        return;
    showHelpWindow();
}

HelpWindow* TForm1::showHelpWindow() {
    if (!m_help)
        m_help = new HelpWindow(HelpBook::builtIn(), this);
    if (m_help->isMinimized())
        m_help->showNormal();
    else
        m_help->show();
    m_help->raise();
    m_help->activateWindow();
    return m_help;
}

void TForm1::N36Click() {
    if (Form4)
        Form4->exec();
}

void TForm1::N37Click() {
    if (Form3)
        Form3->exec();
    followChart();
}
