#include "link/DownloadLink.h"

#include "core/SystemReason.h"

#include <cerrno>

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
        report(m_protocol.receive(data, size));
    };
    driver.OnLineError = [this](TCommPortDriver*) { report(m_protocol.lineLost()); };
    driver.OnPollTick = [this](TCommPortDriver*) { report(m_protocol.watchLine()); };
    m_answerTimer->onTimeout = [this] { report(m_protocol.answerTimeout()); };
}

DownloadLink::~DownloadLink() {
    driver.OnReceiveData = nullptr;
    driver.OnLineError = nullptr;
    driver.OnPollTick = nullptr;
    m_answerTimer->onTimeout = nullptr;
    driver.ClosePort();
}

void DownloadLink::startDownload() {
    m_protocol.start();
}

QString DownloadLink::portName() const {
    return driver.portName();
}

void DownloadLink::setPortName(const QString& name) {
    driver.setPortName(name);
}

bool DownloadLink::openPort() {
    return driver.OpenPort();
}

void DownloadLink::closePort() {
    driver.ClosePort();
}

bool DownloadLink::writeByte(uint8_t value) {
    return driver.WriteByte(value);
}

void DownloadLink::startAnswerTimer(int ms) {
    m_answerTimer->start(ms);
}

void DownloadLink::stopAnswerTimer() {
    m_answerTimer->stop();
}

QString DownloadLink::openFailureReason() const {
    return ::openFailureReason(driver.lastOpenFailure());
}

QString DownloadLink::portLabel() const {
    const QString device = serial::SerialDevice::deviceFor(portName());
    return device == portName() ? device : QStringLiteral("%1 (%2)").arg(portName(), device);
}

QStringList DownloadLink::portsToTry() const {
    if (!m_choice.isEmpty())
        return {m_choice};
    const serial::SystemPortLister system;
    return serial::portsToTry(QString(), m_lister ? m_lister->ports() : system.ports());
}

QString openFailureReason(const serial::OpenFailure& failure) {
    switch (failure.error) {
    case 0:
        return {};
    case EACCES:
    case EPERM:
        return serial::noPermissionReason(serial::SerialDevice::deviceGroup(failure.device));
    case EBUSY:
        return QStringLiteral("занят другой программой");
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return QStringLiteral("устройство не найдено");
    default:
        return fileio::reasonOf(failure.error);
    }
}
