#include "ui/TForm2.h"

#include "core/FileLayer.h"
#include "link/DownloadTexts.h"
#include "ui/PortDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QVBoxLayout>

TForm2::TForm2(QWidget* parent, std::unique_ptr<LinkTimer> answerTimer)
    : QDialog(parent,
              Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint),
      DownloadLink(std::move(answerTimer)) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Form2"));
    setModal(true);
    setFixedSize(492, 264);
    m_getTitle = [] { return QGuiApplication::applicationDisplayName(); };
    m_setTitle = [](const QString& title) { QGuiApplication::setApplicationDisplayName(title); };

    StaticText2 = new QLabel(this);
    StaticText2->setObjectName(QStringLiteral("StaticText2"));
    QFont statusFont = StaticText2->font();
    statusFont.setBold(true);
    statusFont.setPixelSize(16);
    StaticText2->setFont(statusFont);
    StaticText2->setAlignment(Qt::AlignCenter);

    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setFixedSize(453, 29);

    GroupBox1 = new QGroupBox(QStringLiteral("Информация"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    QFont infoFont = GroupBox1->font();
    infoFont.setPixelSize(13);
    GroupBox1->setFont(infoFont);
    auto* info = new QGridLayout(GroupBox1);
    auto addLine = [&](int row, const QString& label, QLabel*& value, const char* name) {
        info->addWidget(new QLabel(label, GroupBox1), row, 0);
        value = new QLabel(GroupBox1);
        value->setObjectName(QString::fromLatin1(name));
        info->addWidget(value, row, 1);
    };
    addLine(0, QStringLiteral("Тип прибора:"), StaticText5, "StaticText5");
    addLine(1, QStringLiteral("Версия ПО:"), StaticText1, "StaticText1");
    addLine(2, QStringLiteral("Количество записей:"), StaticText7, "StaticText7");
    addLine(3, QStringLiteral("Порт:"), PortText, "PortText");
    info->setColumnStretch(1, 1);

    CheckBox1 = new QCheckBox(QStringLiteral("Сохранить двоичный файл"), this);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    Button1 = new QPushButton(QStringLiteral("Отмена"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setAutoDefault(false);
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });

    SaveDialog1 = new QFileDialog(this);
    SaveDialog1->setObjectName(QStringLiteral("SaveDialog1"));
    SaveDialog1->setAcceptMode(QFileDialog::AcceptSave);
    SaveDialog1->setOption(QFileDialog::DontUseNativeDialog);

    CommPortDriver1.OnReceiveData = [this](TCommPortDriver* sender, const char* data, uint32_t size) {
        CommPortDriver1ReceiveData(sender, data, size);
    };
    Timer1.onTimeout = [this] { Timer1Timer(); };

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(CheckBox1);
    bottom->addStretch(1);
    bottom->addWidget(Button1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(StaticText2);
    layout->addWidget(ProgressBar1, 0, Qt::AlignHCenter);
    layout->addWidget(GroupBox1);
    layout->addLayout(bottom);
}

TForm2::~TForm2() = default;

void TForm2::setTitleAccess(std::function<QString()> get, std::function<void(const QString&)> set) {
    m_getTitle = std::move(get);
    m_setTitle = std::move(set);
}

void TForm2::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    FormShow();
}

void TForm2::FormShow() {
    m_closing = false;
    m_savedTitle = m_getTitle ? m_getTitle() : QString();
    CheckBox1->setChecked(false);
    PortText->setText(portChoiceText(portChoice()));
    ProgressBar1->setValue(0);
    StaticText7->clear();
    StaticText5->clear();
    StaticText1->clear();
    setStatus(downloadtext::waiting());
    setWindowTitle(downloadtext::caption(ProgressBar1->value()));
    startDownload();
}

void TForm2::CommPortDriver1ReceiveData(TCommPortDriver*, const char* data, uint32_t size) {
    report(protocol().receive(data, size));
}

void TForm2::Timer1Timer() {
    report(protocol().answerTimeout());
}

void TForm2::Button1Click() {
    report(protocol().cancel());
}

void TForm2::reject() {
    // Escape or a close request is "Отмена": the port must not stay open behind a closed dialog.
    if (protocol().state() == DownloadProtocol::State::Running)
        report(protocol().cancel());
    else
        QDialog::reject();
}

void TForm2::done(int result) {
    if (m_closing)
        return;
    m_closing = true;
    QDialog::done(result);
    FormClose();
}

void TForm2::FormClose() {
    if (m_setTitle)
        m_setTitle(m_savedTitle);
    protocol().close();
    Timer1.stop();
    CommPortDriver1.ClosePort();
}

void TForm2::report(const DownloadProtocol::Events& events) {
    for (const DownloadProtocol::Event& event : events) {
        if (const auto* progress = std::get_if<DownloadProtocol::Progress>(&event)) {
            showProgress(*progress);
        } else if (const auto* identified = std::get_if<DownloadProtocol::Identified>(&event)) {
            StaticText5->setText(downloadtext::instrumentName());
            StaticText1->setText(identified->firmwareDate);
            setStatus(downloadtext::receiving());
        } else if (const auto* count = std::get_if<DownloadProtocol::RecordCount>(&event)) {
            StaticText7->setText(QString::number(count->count));
        } else if (const auto* failed = std::get_if<DownloadProtocol::Failed>(&event)) {
            showFailure(*failed);
        } else if (const auto* finished = std::get_if<DownloadProtocol::Finished>(&event)) {
            finishDownload(finished->image);
        }
    }
}

// The caption follows the dump; the task bar follows the caption at every chunk, in both phases.
void TForm2::showProgress(const DownloadProtocol::Progress& progress) {
    using Step = DownloadProtocol::Progress::Step;
    if (progress.step != Step::Identification)
        ProgressBar1->setValue(progress.percent);
    if (progress.step == Step::Dump)
        setWindowTitle(downloadtext::caption(progress.percent));
    if (progress.step == Step::Reset)
        return;
    if (m_setTitle)
        m_setTitle(windowTitle());
    emit titleShown(windowTitle());
}

void TForm2::setStatus(const QString& status) {
    StaticText2->setText(status);
    StaticText2->adjustSize();
}

void TForm2::showFailure(const DownloadProtocol::Failed& failed) {
    using Failure = DownloadProtocol::Failure;
    if (failed.reason != Failure::Cancelled) {
        // A rejected instrument gets the standard error box, the other failures the program's own.
        const bool standardCaption =
            failed.reason == Failure::WrongInstrument || failed.reason == Failure::UnknownVersion;
        showError(standardCaption ? QStringLiteral("Error") : QStringLiteral("Ошибка"),
                  downloadtext::failure(failed));
    }
    QDialog::reject();
}

void TForm2::showError(const QString& caption, const QString& text) {
    QMessageBox box(QMessageBox::Critical, caption, text, QMessageBox::Ok, this);
    box.exec();
}

void TForm2::finishDownload(const QByteArray& image) {
    if (CheckBox1->isChecked())
        saveBinary(image);
    accept();
}

void TForm2::saveBinary(const QByteArray& image) {
    SaveDialog1->selectFile(QString());
    SaveDialog1->setNameFilter(QStringLiteral("Двоичные файлы (*.bin)"));
    SaveDialog1->setDefaultSuffix(QStringLiteral("bin"));
    if (SaveDialog1->exec() != QDialog::Accepted || SaveDialog1->selectedFiles().isEmpty())
        return;
    try {
        fileio::saveAtomically(SaveDialog1->selectedFiles().constFirst(), image);
    } catch (const KvError& e) {
        // The download itself succeeded; only the copy on disk is missing.
        QMessageBox::critical(this, QStringLiteral("Ошибка"),
                              e.message() + QStringLiteral("\nДанные прибора приняты, файл не создан."));
    }
}
