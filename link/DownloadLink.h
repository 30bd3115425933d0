#pragma once

#include "link/CommPortDriver.h"
#include "link/DownloadProtocol.h"
#include "link/LinkTimer.h"

#include <QStringList>

#include <memory>

// The download wired to a real port: the driver set up as the download dialog stores it, the
// answer timer and the protocol. The dialog and the command line add the view.
class DownloadLink : public DownloadHost {
public:
    // answerTimer: the 3000 ms answer timer; null takes a single-shot system timer.
    explicit DownloadLink(std::unique_ptr<LinkTimer> answerTimer = nullptr);
    ~DownloadLink() override;
    DownloadLink(const DownloadLink&) = delete;
    DownloadLink& operator=(const DownloadLink&) = delete;

    // Its OnReceiveData hands every chunk to the protocol.
    TCommPortDriver driver;
    // Its expiry goes to the protocol.
    LinkTimer& answerTimer() { return *m_answerTimer; }

    DownloadProtocol& protocol() { return m_protocol; }
    const DownloadProtocol& protocol() const { return m_protocol; }

    QString portName() const override;
    void setPortName(const QString& name) override;
    bool openPort() override;
    void closePort() override;
    bool writeByte(uint8_t value) override;
    void startAnswerTimer(int ms) override;
    void stopAnswerTimer() override;
    QString openFailureNote() const override;

    // Devices that refused us for lack of permission since the last start.
    const QStringList& deniedDevices() const { return m_denied; }

protected:
    // Starts a fresh download.
    void startDownload();

private:
    std::unique_ptr<LinkTimer> m_answerTimer;
    DownloadProtocol m_protocol;
    QStringList m_denied;
};

// The line of "Прибор не обнаружен! ..." that names a device we had no permission for.
QString accessDeniedNote(const QString& device);
