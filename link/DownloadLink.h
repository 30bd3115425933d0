#pragma once

#include "link/CommPortDriver.h"
#include "link/DownloadProtocol.h"

#include <QStringList>
#include <QTimer>

// The download wired to a real port: the driver CommPortDriver1 set up as the dialog stores it,
// the answer timer Timer1 and the protocol. The dialog and the command line add the view.
class DownloadLink : public DownloadHost {
public:
    DownloadLink();
    ~DownloadLink() override;
    DownloadLink(const DownloadLink&) = delete;
    DownloadLink& operator=(const DownloadLink&) = delete;

    TCommPortDriver CommPortDriver1;
    QTimer Timer1;

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
    // Starts a fresh download (the protocol's FormShow part).
    void startDownload();
    virtual void CommPortDriver1ReceiveData(TCommPortDriver* sender, const char* data, uint32_t size);
    virtual void Timer1Timer();

private:
    DownloadProtocol m_protocol;
    QStringList m_denied;
};

// The line of "Прибор не обнаружен! ..." that names a device we had no permission for.
QString accessDeniedNote(const QString& device);
