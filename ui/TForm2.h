#pragma once

#include "link/DownloadLink.h"

#include <QDialog>

#include <functional>
#include <memory>

class QCheckBox;
class QFileDialog;
class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;

// The download dialog: shown modally, it reads the instrument's memory and ends with Accepted
// (OK) when a whole dump has been decoded, Rejected (Cancel) otherwise. The view of
// DownloadProtocol, with every text and message box of the download; the main window copies
// imageBytes() into its MemoryImage afterwards.
class TForm2 : public QDialog, public DownloadLink {
    Q_OBJECT
public:
    // answerTimer: Timer1; null takes a system timer (a test hands in one it fires itself).
    explicit TForm2(QWidget* parent = nullptr, std::unique_ptr<LinkTimer> answerTimer = nullptr);
    ~TForm2() override;

    // How to read and set the application title (the task bar text). By default the
    // application display name.
    void setTitleAccess(std::function<QString()> get, std::function<void(const QString&)> set);

    // The decoded image of the last download that ended OK: at most 8192 bytes.
    QByteArray imageBytes() const { return protocol().image(); }
    int imageLength() const { return static_cast<int>(protocol().image().size()); }
    // The results of the last identification check (kept after the dialog has closed).
    uint8_t instrumentType() const { return protocol().instrumentType(); }
    uint8_t instrumentVersion() const { return protocol().instrumentVersion(); }
    QString firmwareDate() const { return protocol().firmwareDate(); }

    QLabel* StaticText2 = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QLabel* StaticText5 = nullptr;
    QLabel* StaticText1 = nullptr;
    QLabel* StaticText7 = nullptr;
    QLabel* PortText = nullptr; // the port choice of "Порт прибора…"
    QCheckBox* CheckBox1 = nullptr;
    QPushButton* Button1 = nullptr;
    QFileDialog* SaveDialog1 = nullptr;
    // The port and the answer timer under the dialog's own names.
    TCommPortDriver& CommPortDriver1 = driver;
    LinkTimer& Timer1 = answerTimer();

    void done(int result) override;
    void reject() override;

signals:
    // The progress text given to the application title, for a window that shows it as well.
    void titleShown(const QString& title);

protected:
    void showEvent(QShowEvent* event) override;

    void FormShow();
    void CommPortDriver1ReceiveData(TCommPortDriver* sender, const char* data, uint32_t size);
    void Timer1Timer();
    void Button1Click();
    void FormClose();

    // Shows what the protocol reported: the progress, the instrument, the record count, and at
    // the end the message of a failure or the .bin save of a finished download.
    void report(const DownloadProtocol::Events& events) override;
    // The modal message box of a failed download.
    virtual void showError(const QString& caption, const QString& text);

private:
    void setStatus(const QString& status);
    void showProgress(const DownloadProtocol::Progress& progress);
    void showFailure(const DownloadProtocol::Failed& failed);
    void finishDownload(const QByteArray& image);
    void saveBinary(const QByteArray& image);

    std::function<QString()> m_getTitle;
    std::function<void(const QString&)> m_setTitle;
    QString m_savedTitle;
    bool m_closing = false;
};
