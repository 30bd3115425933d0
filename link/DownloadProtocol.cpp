#include "link/DownloadProtocol.h"

#include <QElapsedTimer>

#include <algorithm>
#include <limits>
#include <utility>

namespace {

int64_t steadyMs() {
    static QElapsedTimer timer = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return timer.elapsed();
}

QString twoDigits(uint8_t value) {
    const QString digits = QString::number(value);
    return value < 10 ? QStringLiteral("0") + digits : digits;
}

const QString acceptedDate = QStringLiteral("12.11.09");

} // namespace

QStringList DownloadHost::portsToTry() const {
    return {DownloadProtocol::portCom1(), DownloadProtocol::portCom2()};
}

DownloadProtocol::DownloadProtocol(DownloadHost& host, std::function<int64_t()> clock)
    : m_host(host), m_clock(clock ? std::move(clock) : std::function<int64_t()>(steadyMs)),
      m_buffer(BufferSize, '\0') {}

const QString& DownloadProtocol::portCom1() {
    static const QString name = QStringLiteral("\\\\.\\COM1");
    return name;
}

const QString& DownloadProtocol::portCom2() {
    static const QString name = QStringLiteral("\\\\.\\COM2");
    return name;
}

uint8_t DownloadProtocol::at(int i) const {
    return (i >= 0 && i < BufferSize) ? static_cast<uint8_t>(m_buffer[i]) : 0;
}

int DownloadProtocol::find_byte(uint8_t value) const {
    const int pos = m_buffer.indexOf(static_cast<char>(value));
    return pos < 0 ? BufferSize : pos;
}

uint8_t DownloadProtocol::decode_pair(int i) const {
    return static_cast<uint8_t>((at(i + 1) - 0x30) * 16 + (at(i) - 0x30));
}

QString DownloadProtocol::date_text(int p) const {
    return twoDigits(decode_pair(p + 4)) + QLatin1Char('.') + twoDigits(decode_pair(p + 2)) +
           QLatin1Char('.') + twoDigits(decode_pair(p));
}

DownloadProtocol::Events DownloadProtocol::take() {
    return std::exchange(m_events, {});
}

void DownloadProtocol::start() {
    m_ports = m_host.portsToTry();
    if (m_ports.isEmpty())
        m_ports.append(portCom1());
    m_tried.clear();
    m_host.setPortName(m_ports.first());
    m_endMarkerSeen = false;
    m_receivedCount = 0;
    m_progress = 0;
    m_recordCountShown = false;
    m_events.clear();
    m_state = State::Running;
    tryPort(0);
}

// A port that does not open is left at once; the timer still moves on, so that the end on the
// last port comes from the timer and not from inside start(), when the view is being shown.
void DownloadProtocol::tryPort(int index) {
    m_portIndex = index;
    m_host.setPortName(m_ports[index]);
    m_openFailed = !m_host.openPort();
    if (m_openFailed) {
        m_tried.append({m_host.portLabel(), false, m_host.openFailureReason()});
        startTimer(0);
        return;
    }
    sendIdentify();
    startTimer();
}

void DownloadProtocol::sendIdentify() {
    m_phase = Phase::V;
    m_host.writeByte(RequestIdentify);
}

void DownloadProtocol::startTimer(int ms) {
    m_timerRunning = true;
    m_host.startAnswerTimer(ms);
}

void DownloadProtocol::stopTimer() {
    m_timerRunning = false;
    m_host.stopAnswerTimer();
}

DownloadProtocol::Events DownloadProtocol::receive(const char* data, uint32_t size) {
    if (m_state != State::Running || size == 0)
        return {};
    if (m_phase == Phase::F)
        m_lastCharacterAt = m_clock();
    const int room = std::max(0, BufferSize - m_receivedCount);
    const int stored = static_cast<int>(std::min<uint32_t>(static_cast<uint32_t>(room), size));
    std::copy_n(data, stored, m_buffer.data() + m_receivedCount);

    for (uint32_t i = 0; i < size; ++i) {
        const auto byte = static_cast<uint8_t>(data[i]);
        if (byte == EndMarker) {
            m_endMarkerSeen = true;
        } else if (byte == StartMarker) {
            stopTimer();
        } else if (byte == Restart) {
            stopTimer();
            m_receivedCount = 0;
            sendIdentify();
            return take();
        }
    }
    // Saturates: anything past the buffer is damage however much it is.
    m_receivedCount =
        static_cast<int>(std::min<int64_t>(int64_t(m_receivedCount) + size, std::numeric_limits<int>::max()));

    if (m_receivedCount > BufferSize && !m_endMarkerSeen) {
        damaged(Damage::Overlong);
        return take();
    }

    if (m_phase == Phase::V && m_receivedCount >= 9) {
        checkIdentification();
        if (m_state != State::Running)
            return take();
    }
    if (m_phase == Phase::F) {
        m_progress =
            std::min(100, static_cast<int>(static_cast<int64_t>(m_receivedCount) * 100 / FullDumpLength));
        m_events.push_back(Progress{Progress::Step::Dump, m_progress});
    } else {
        m_events.push_back(Progress{Progress::Step::Identification, m_progress});
    }
    if (!m_recordCountShown && m_phase == Phase::F && m_receivedCount > 700) {
        m_recordCountShown = true;
        // Characters 629 to 632 carry the 16-bit count, low byte first.
        m_events.push_back(RecordCount{decode_pair(629) + decode_pair(631) * 256});
    }
    if (m_endMarkerSeen)
        finish();
    return take();
}

void DownloadProtocol::checkIdentification() {
    const int n = std::min(m_receivedCount, BufferSize);
    m_instrumentType = decode_pair(n - 9);
    m_instrumentVersion = static_cast<uint8_t>(at(n - 7) - 0x30);
    m_firmwareDate = date_text(n - 6);

    const bool otherInstrument = m_instrumentType != 7 || m_instrumentVersion != 1;
    if (!otherInstrument && m_firmwareDate == acceptedDate) {
        m_events.push_back(Identified{m_instrumentType, m_instrumentVersion, m_firmwareDate});
        m_endMarkerSeen = false;
        m_phase = Phase::F;
        m_host.writeByte(RequestMemory);
        m_receivedCount = 0;
        m_lastCharacterAt = m_clock();
        return;
    }
    // The port closes before the rejection is shown: nothing the instrument still sends can
    // reach a download that is over.
    m_host.closePort();
    m_endMarkerSeen = false;
    fail(otherInstrument ? Failure::WrongInstrument : Failure::UnknownVersion);
}

void DownloadProtocol::finish() {
    m_endMarkerSeen = false;
    m_host.closePort();
    stopTimer();
    const int stored = std::min(m_receivedCount, BufferSize);
    const int end = find_byte(EndMarker);
    // Characters beyond the count are left over from an earlier download; they never count.
    if (end >= stored) {
        damaged(Damage::EndMarkerLost);
        return;
    }
    const int start = find_byte(StartMarker);
    if (start > end) {
        damaged(Damage::NoStartMarker);
        return;
    }
    const int characters = end - start - 1;
    if (characters % 2 != 0) {
        damaged(Damage::OddCount);
        return;
    }
    if (characters / 2 > image::kImageSize) {
        damaged(Damage::ImageTooLong);
        return;
    }
    QByteArray image(characters / 2, '\0');
    for (int k = 0, i = start + 1; i + 1 < end; ++k, i += 2)
        image[k] = static_cast<char>(decode_pair(i));
    m_image = image;
    m_state = State::EndedOk;
    m_events.push_back(Finished{m_image});
}

void DownloadProtocol::fail(Failure reason, Damage damage) {
    stopTimer();
    m_state = State::EndedCancel;
    m_events.push_back(Failed{reason, damage, m_tried});
}

void DownloadProtocol::damaged(Damage damage) {
    m_host.closePort();
    m_endMarkerSeen = false;
    fail(Failure::Damaged, damage);
}

DownloadProtocol::Events DownloadProtocol::answerTimeout() {
    if (m_state != State::Running)
        return {};
    stopTimer();
    m_endMarkerSeen = false;
    m_receivedCount = 0;
    if (!m_openFailed)
        m_tried.append({m_host.portLabel(), true, QString()});
    m_host.closePort();
    m_progress = 0;
    m_events.push_back(Progress{Progress::Step::Reset, 0});
    if (m_portIndex + 1 < m_ports.size())
        tryPort(m_portIndex + 1);
    else
        notFound();
    return take();
}

void DownloadProtocol::notFound() {
    m_host.setPortName(m_ports.first());
    fail(Failure::NotFound);
}

DownloadProtocol::Events DownloadProtocol::cancel() {
    m_endMarkerSeen = false;
    m_receivedCount = 0;
    m_progress = 0;
    m_events.push_back(Progress{Progress::Step::Reset, 0});
    m_host.closePort();
    stopTimer();
    if (m_state == State::Running)
        fail(Failure::Cancelled);
    else
        m_state = State::EndedCancel;
    return take();
}

void DownloadProtocol::close() {
    stopTimer();
}

DownloadProtocol::Events DownloadProtocol::lineLost() {
    if (m_state != State::Running)
        return {};
    m_host.closePort();
    m_endMarkerSeen = false;
    m_receivedCount = 0;
    m_progress = 0;
    m_events.push_back(Progress{Progress::Step::Reset, 0});
    fail(Failure::LineLost);
    return take();
}

DownloadProtocol::Events DownloadProtocol::watchLine() {
    if (m_state == State::Running && m_phase == Phase::F && m_clock() - m_lastCharacterAt >= SilenceLimitMs)
        return lineLost();
    return {};
}
