#include "link/DownloadLink.h"

DownloadLink::DownloadLink() : m_protocol(*this) {
    CommPortDriver1.setPort(pnCustom);
    CommPortDriver1.setPortName(DownloadProtocol::portCom1());
    CommPortDriver1.setStopBits(sb2BITS);
    CommPortDriver1.setInBufSize(4096);
    CommPortDriver1.setOutBufSize(4096);
    CommPortDriver1.OnReceiveData = [this](TCommPortDriver* sender, const char* data, uint32_t size) {
        CommPortDriver1ReceiveData(sender, data, size);
    };
    Timer1.setSingleShot(true);
    Timer1.setTimerType(Qt::PreciseTimer);
    QObject::connect(&Timer1, &QTimer::timeout, [this] { Timer1Timer(); });
}

DownloadLink::~DownloadLink() {
    CommPortDriver1.OnReceiveData = nullptr;
    CommPortDriver1.ClosePort();
}

void DownloadLink::startDownload() {
    m_denied.clear();
    m_protocol.start();
}

void DownloadLink::CommPortDriver1ReceiveData(TCommPortDriver*, const char* data, uint32_t size) {
    m_protocol.receive(data, size);
}

void DownloadLink::Timer1Timer() { m_protocol.Timer1Timer(); }

QString DownloadLink::portName() const { return CommPortDriver1.portName(); }

void DownloadLink::setPortName(const QString& name) { CommPortDriver1.setPortName(name); }

bool DownloadLink::openPort() {
    const bool ok = CommPortDriver1.OpenPort();
    const serial::OpenFailure& failure = CommPortDriver1.lastOpenFailure();
    if (!ok && failure.permissionDenied() && !m_denied.contains(failure.device))
        m_denied.append(failure.device);
    return ok;
}

void DownloadLink::closePort() { CommPortDriver1.ClosePort(); }

bool DownloadLink::writeByte(uint8_t value) { return CommPortDriver1.WriteByte(value); }

void DownloadLink::startAnswerTimer(int ms) { Timer1.start(ms); }

void DownloadLink::stopAnswerTimer() { Timer1.stop(); }

QString DownloadLink::openFailureNote() const {
    QStringList lines;
    for (const QString& device : m_denied)
        lines.append(accessDeniedNote(device));
    return lines.join(QLatin1Char('\n'));
}

QString accessDeniedNote(const QString& device) {
    const QString group = serial::SerialDevice::deviceGroup(device);
    if (group.isEmpty() || group == QLatin1String("root"))
        return QStringLiteral("Нет доступа к устройству %1: в Linux пользователь должен входить в группу "
                              "устройства (обычно «dialout»).")
            .arg(device);
    return QStringLiteral("Нет доступа к устройству %1: в Linux пользователь должен входить в группу «%2».")
        .arg(device, group);
}
