#include "link/DownloadLink.h"

DownloadLink::DownloadLink(std::unique_ptr<LinkTimer> answerTimer)
    : m_answerTimer(answerTimer ? std::move(answerTimer)
                                : std::make_unique<SystemTimer>(SystemTimer::Mode::SingleShot)),
      m_protocol(*this) {
    driver.setPort(pnCustom);
    driver.setPortName(DownloadProtocol::portCom1());
    driver.setStopBits(sb2BITS);
    driver.setInBufSize(4096);
    driver.setOutBufSize(4096);
    driver.OnReceiveData = [this](TCommPortDriver*, const char* data, uint32_t size) {
        m_protocol.receive(data, size);
    };
    driver.OnLineError = [this](TCommPortDriver*) { m_protocol.lineLost(); };
    driver.OnPollTick = [this](TCommPortDriver*) { m_protocol.watchLine(); };
    m_answerTimer->onTimeout = [this] { m_protocol.answerTimeout(); };
}

DownloadLink::~DownloadLink() {
    driver.OnReceiveData = nullptr;
    driver.OnLineError = nullptr;
    driver.OnPollTick = nullptr;
    m_answerTimer->onTimeout = nullptr;
    driver.ClosePort();
}

void DownloadLink::startDownload() {
    m_denied.clear();
    m_protocol.start();
}

QString DownloadLink::portName() const { return driver.portName(); }

void DownloadLink::setPortName(const QString& name) { driver.setPortName(name); }

bool DownloadLink::openPort() {
    const bool ok = driver.OpenPort();
    const serial::OpenFailure& failure = driver.lastOpenFailure();
    if (!ok && failure.permissionDenied() && !m_denied.contains(failure.device))
        m_denied.append(failure.device);
    return ok;
}

void DownloadLink::closePort() { driver.ClosePort(); }

bool DownloadLink::writeByte(uint8_t value) { return driver.WriteByte(value); }

void DownloadLink::startAnswerTimer(int ms) { m_answerTimer->start(ms); }

void DownloadLink::stopAnswerTimer() { m_answerTimer->stop(); }

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
