#pragma once

#include "link/CommPortDriver.h"
#include "link/DownloadProtocol.h"
#include "link/LinkTimer.h"
#include "link/PortList.h"

#include <QStringList>

#include <memory>

// The download wired to a real port: the driver set up as the download dialog stores it, the
// answer timer and the protocol. The dialog and the command line add the view: report() shows
// what each step of the protocol returned.
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
    QString openFailureReason() const override;
    QString portLabel() const override;
    QStringList portsToTry() const override;

    // The user's port: that one only; empty looks on "\\.\COM1", "\\.\COM2" and every USB port.
    void setPortChoice(const QString& port) { m_choice = port; }
    const QString& portChoice() const { return m_choice; }
    // Where the USB ports come from; null takes the system's listing.
    void setPortLister(std::shared_ptr<const serial::PortLister> lister) { m_lister = std::move(lister); }

protected:
    // Starts a fresh download.
    void startDownload();
    // What one step of the protocol returned, in order; called after the step is through.
    virtual void report(const DownloadProtocol::Events& events) = 0;

private:
    std::unique_ptr<LinkTimer> m_answerTimer;
    DownloadProtocol m_protocol;
    QString m_choice;
    std::shared_ptr<const serial::PortLister> m_lister;
};

// Why a port did not open, as the "Прибор не обнаружен!" message says it.
QString openFailureReason(const serial::OpenFailure& failure);
