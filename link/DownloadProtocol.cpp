#include "link/DownloadProtocol.h"

#include <QElapsedTimer>

#include <algorithm>

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

QString DownloadProtocol::captionFor(int percent) {
    return QString::number(percent) + QStringLiteral("% - Прием данных");
}

const QString& DownloadProtocol::lineLostText() {
    static const QString text =
        QStringLiteral("Связь с прибором прервана. Данные не приняты, ничего не изменено.");
    return text;
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
    m_inMessage = false;
    m_damage.clear();
    m_state = State::Running;
    m_host.showProgress(0);
    m_host.showInstrument(QString(), QString());
    m_host.showRecordCount(QString());
    m_host.showStatus(QStringLiteral("Ожидание готовности прибора ..."));
    m_caption = captionFor(m_progress);
    m_host.showCaption(m_caption);
    tryPort(0);
}

// A port that does not open is left at once; the timer still moves on, so that the message of
// the last port comes from the timer and not from inside start(), when the view is being shown.
void DownloadProtocol::tryPort(int index) {
    m_portIndex = index;
    m_host.setPortName(m_ports[index]);
    m_openFailed = !m_host.openPort();
    if (m_openFailed) {
        const QString reason = m_host.openFailureReason();
        m_tried.append(m_host.portLabel() + QStringLiteral(": ") +
                       (reason.isEmpty() ? QStringLiteral("порт не открыт") : reason));
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
    m_timerStart = m_clock();
    m_timerMs = ms;
    m_host.startAnswerTimer(ms);
}

void DownloadProtocol::stopTimer() {
    m_timerRunning = false;
    m_host.stopAnswerTimer();
}

void DownloadProtocol::receive(const char* data, uint32_t size) {
    // Chunks that arrive while a rejection is on screen belong to a download that is ending.
    if (m_state != State::Running || m_inMessage || size == 0)
        return;
    // The driver's buffer may be refilled by a nested tick; work on our own copy.
    const QByteArray chunk(data, static_cast<qsizetype>(size));
    if (m_phase == Phase::F)
        m_lastCharacterAt = m_clock();
    const int room = std::max(0, BufferSize - m_receivedCount);
    const int stored = std::min<int>(room, chunk.size());
    if (stored > 0)
        std::copy_n(chunk.constData(), stored, m_buffer.data() + m_receivedCount);

    for (char c : chunk) {
        const auto byte = static_cast<uint8_t>(c);
        if (byte == EndMarker) {
            m_endMarkerSeen = true;
        } else if (byte == StartMarker) {
            stopTimer();
        } else if (byte == Restart) {
            stopTimer();
            m_receivedCount = 0;
            sendIdentify();
            return;
        }
    }
    m_receivedCount += chunk.size();

    if (m_receivedCount > BufferSize && !m_endMarkerSeen) {
        damaged(QStringLiteral("принято более %1 знаков без маркера конца").arg(BufferSize));
        return;
    }

    if (m_phase == Phase::V && m_receivedCount >= 9) {
        checkIdentification();
        if (m_state != State::Running)
            return;
    }
    if (m_phase == Phase::F) {
        m_progress =
            std::min(100, static_cast<int>(static_cast<int64_t>(m_receivedCount) * 100 / FullDumpLength));
        m_host.showProgress(m_progress);
        m_caption = captionFor(m_progress);
        m_host.showCaption(m_caption);
    }
    m_host.showTitle(m_caption);
    if (!m_recordCountShown && m_phase == Phase::F && m_receivedCount > 700) {
        m_recordCountShown = true;
        // Characters 629 to 632 carry the 16-bit count, low byte first.
        m_host.showRecordCount(QString::number(decode_pair(629) + decode_pair(631) * 256));
    }
    if (m_endMarkerSeen)
        finish();
}

void DownloadProtocol::checkIdentification() {
    const int n = std::min(m_receivedCount, BufferSize);
    m_instrumentType = decode_pair(n - 9);
    m_instrumentVersion = static_cast<uint8_t>(at(n - 7) - 0x30);
    m_firmwareDate = date_text(n - 6);

    DownloadHost::Message rejection;
    QString text;
    if (m_instrumentType != 7 || m_instrumentVersion != 1) {
        rejection = DownloadHost::Message::WrongInstrument;
        text = QStringLiteral("Вы подключили не тот прибор !");
    } else if (m_firmwareDate != acceptedDate) {
        rejection = DownloadHost::Message::UnknownVersion;
        text = QStringLiteral("Неизвестная или новая версия прибора !");
    } else {
        m_host.showInstrument(QStringLiteral("Кварнел-ЛД5"), m_firmwareDate);
        m_endMarkerSeen = false;
        m_phase = Phase::F;
        m_host.showStatus(QStringLiteral("Идет прием информации ..."));
        m_host.writeByte(RequestMemory);
        m_receivedCount = 0;
        m_lastCharacterAt = m_clock();
        return;
    }
    // The answer timer must not move to the second port while the box is open.
    stopTimer();
    m_inMessage = true;
    m_host.showMessage(rejection, text);
    m_inMessage = false;
    if (m_state != State::Running) // cancelled while the box was open
        return;
    m_host.closePort();
    m_endMarkerSeen = false;
    endCancel();
}

void DownloadProtocol::finish() {
    m_endMarkerSeen = false;
    m_host.closePort();
    stopTimer();
    const int stored = std::min(m_receivedCount, BufferSize);
    const int end = find_byte(EndMarker);
    // Characters beyond the count are left over from an earlier download; they never count.
    if (end >= stored) {
        damaged(QStringLiteral("маркер конца не сохранился в буфере приема"));
        return;
    }
    const int start = find_byte(StartMarker);
    if (start > end) {
        damaged(QStringLiteral("нет маркера начала перед маркером конца"));
        return;
    }
    const int characters = end - start - 1;
    if (characters % 2 != 0) {
        damaged(QStringLiteral("нечетное число знаков между маркерами"));
        return;
    }
    if (characters / 2 > image::kImageSize) {
        damaged(QStringLiteral("образ памяти длиннее %1 байт").arg(image::kImageSize));
        return;
    }
    QByteArray image(characters / 2, '\0');
    for (int k = 0, i = start + 1; i + 1 < end; ++k, i += 2)
        image[k] = static_cast<char>(decode_pair(i));
    m_image = image;
    m_state = State::EndedOk;
    m_host.finished(true);
}

void DownloadProtocol::damaged(const QString& reason) {
    m_host.closePort();
    stopTimer();
    m_endMarkerSeen = false;
    m_damage = reason;
    m_state = State::EndedCancel;
    m_inMessage = true;
    m_host.showMessage(DownloadHost::Message::Damaged,
                       QStringLiteral("Данные приняты с искажениями (%1). Ничего не изменено.").arg(reason));
    m_inMessage = false;
    m_host.finished(false);
}

void DownloadProtocol::endCancel() {
    stopTimer();
    m_state = State::EndedCancel;
    m_host.finished(false);
}

void DownloadProtocol::answerTimeout() {
    if (m_state != State::Running || m_inMessage)
        return;
    stopTimer();
    m_endMarkerSeen = false;
    m_receivedCount = 0;
    if (!m_openFailed)
        m_tried.append(m_host.portLabel() + QStringLiteral(": нет ответа"));
    m_host.closePort();
    m_progress = 0;
    m_host.showProgress(0);
    if (m_portIndex + 1 < m_ports.size()) {
        tryPort(m_portIndex + 1);
        return;
    }
    notFound();
}

void DownloadProtocol::notFound() {
    m_host.setPortName(m_ports.first());
    QString text =
        QStringLiteral("Прибор не обнаружен! Проверте правильность подключения согласно инструкции!");
    for (const QString& line : m_tried)
        text += QLatin1Char('\n') + line;
    m_state = State::EndedCancel;
    m_inMessage = true;
    m_host.showMessage(DownloadHost::Message::NotFound, text);
    m_inMessage = false;
    m_host.finished(false);
}

void DownloadProtocol::cancel() {
    m_endMarkerSeen = false;
    m_receivedCount = 0;
    m_progress = 0;
    m_host.showProgress(0);
    m_host.closePort();
    stopTimer();
    const bool wasRunning = m_state == State::Running;
    m_state = State::EndedCancel;
    if (wasRunning)
        m_host.finished(false);
}

void DownloadProtocol::close() {
    stopTimer();
}

void DownloadProtocol::lineLost() {
    if (m_state != State::Running || m_inMessage)
        return;
    m_host.closePort();
    stopTimer();
    m_endMarkerSeen = false;
    m_receivedCount = 0;
    m_progress = 0;
    m_host.showProgress(0);
    m_state = State::EndedCancel;
    m_inMessage = true;
    m_host.showMessage(DownloadHost::Message::LineLost, lineLostText());
    m_inMessage = false;
    m_host.finished(false);
}

void DownloadProtocol::watchLine() {
    if (m_state == State::Running && !m_inMessage && m_phase == Phase::F &&
        m_clock() - m_lastCharacterAt >= SilenceLimitMs)
        lineLost();
}

void DownloadProtocol::poll() {
    if (m_timerRunning && m_clock() - m_timerStart >= m_timerMs)
        answerTimeout();
    watchLine();
}
