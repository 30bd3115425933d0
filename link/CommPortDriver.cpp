#include "link/CommPortDriver.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr uint32_t minBuffer = 128;
constexpr uint32_t maxBuffer = 8192;

QString comName(int n) {
    return QStringLiteral("\\\\.\\COM%1").arg(n);
}

} // namespace

uint32_t baudRateOf(TBaudRate rate) {
    static constexpr uint32_t rates[] = {0,     110,   300,   600,   1200,  2400,   4800,   9600,
                                         14400, 19200, 38400, 56000, 57600, 115200, 128000, 256000};
    return rates[rate];
}

TCommPortDriver::TCommPortDriver(QObject* parent) : TCommPortDriver({}, nullptr, parent) {}

TCommPortDriver::TCommPortDriver(TickClock clock, std::unique_ptr<LinkTimer> pollTimer, QObject* parent)
    : QObject(parent), m_clock(clock ? std::move(clock) : TickClock(serial::SerialDevice::tickCount)),
      m_pollTimer(pollTimer ? std::move(pollTimer)
                            : std::make_unique<SystemTimer>(SystemTimer::Mode::Repeating)),
      m_portName(comName(2)) {
    m_inBuffer.assign(m_inBufSize, 0);
    m_pollTimer->onTimeout = [this] { PollInput(); };
}

TCommPortDriver::~TCommPortDriver() {
    ClosePort();
}

void TCommPortDriver::setPort(TPortNumber value) {
    if (IsOpen())
        return;
    m_port = value;
    if (value != pnCustom)
        m_portName = comName(static_cast<int>(value));
}

void TCommPortDriver::setPortName(const QString& value) {
    if (IsOpen())
        return;
    m_portName = value;
    m_port = pnCustom;
}

void TCommPortDriver::setBaudRate(TBaudRate value) {
    m_baudRate = value;
    if (value != brCustom)
        m_baudRateValue = baudRateOf(value);
    if (IsOpen())
        ConfigurePort();
}

void TCommPortDriver::setBaudRateValue(uint32_t value) {
    m_baudRateValue = value;
    m_baudRate = brCustom;
    if (IsOpen())
        ConfigurePort();
}

void TCommPortDriver::setDataBits(TDataBits value) {
    m_dataBits = value;
    if (IsOpen())
        ConfigurePort();
}

void TCommPortDriver::setStopBits(TStopBits value) {
    m_stopBits = value;
    if (IsOpen())
        ConfigurePort();
}

void TCommPortDriver::setParity(TParity value) {
    m_parity = value;
    if (IsOpen())
        ConfigurePort();
}

void TCommPortDriver::setHwFlow(THwFlowControl value) {
    m_hwFlow = value;
    if (IsOpen())
        ConfigurePort();
}

void TCommPortDriver::setSwFlow(TSwFlowControl value) {
    m_swFlow = value;
    if (IsOpen())
        ConfigurePort();
}

void TCommPortDriver::setInBufSize(uint32_t value) {
    if (IsOpen())
        return;
    m_inBufSize = std::clamp(value, minBuffer, maxBuffer);
    m_inBuffer.assign(m_inBufSize, 0);
    setPacketSize(m_packetSize);
}

void TCommPortDriver::setOutBufSize(uint32_t value) {
    if (IsOpen())
        return;
    m_outBufSize = std::clamp(value, minBuffer, maxBuffer);
}

void TCommPortDriver::setPacketSize(int16_t value) {
    if (value <= 0) {
        m_packetSize = -1;
        return;
    }
    // A packet must fit the largest input buffer; a larger one is cut to it.
    m_packetSize = static_cast<int16_t>(std::min<int>(value, static_cast<int>(maxBuffer)));
    if (static_cast<uint32_t>(m_packetSize) > m_inBufSize) {
        if (IsOpen()) {
            // The buffer cannot grow while open; keep packets within it.
            m_packetSize = static_cast<int16_t>(m_inBufSize);
        } else {
            m_inBufSize = static_cast<uint32_t>(m_packetSize);
            m_inBuffer.assign(m_inBufSize, 0);
        }
    }
}

void TCommPortDriver::setPacketTimeout(int32_t value) {
    if (value <= 0)
        value = -1;
    else if (value < m_pollingDelay)
        value = m_pollingDelay + m_pollingDelay * 40 / 100;
    m_packetTimeout = value;
}

void TCommPortDriver::setPollingDelay(uint16_t value) {
    if (value < 5)
        value = 5;
    if (value == m_pollingDelay)
        return;
    if (IsOpen()) {
        m_pollTimer->stop();
        m_pollingDelay = value;
        m_pollTimer->start(m_pollingDelay);
    } else {
        m_pollingDelay = value;
    }
    setPacketTimeout(m_packetTimeout);
}

bool TCommPortDriver::OpenPort() {
    if (IsOpen())
        return true;
    if (!m_device.open(m_portName))
        return false;
    if (!ConfigurePort()) {
        ClosePort();
        return false;
    }
    serial::Timeouts t;
    t.readInterval = 1;
    t.readTotalMultiplier = 0;
    t.readTotalConstant = 1;
    t.writeTotalMultiplier = 0;
    t.writeTotalConstant = 10;
    m_device.setTimeouts(t);
    m_pollTimer->start(m_pollingDelay);
    return true;
}

void TCommPortDriver::ClosePort() {
    if (!IsOpen())
        return;
    m_pollTimer->stop();
    m_device.close();
}

bool TCommPortDriver::ConfigurePort() {
    if (!IsOpen())
        return false;
    serial::LineSettings s;
    s.baudRate = m_baudRateValue;
    s.dtrEnable = m_enableDTROnOpen;
    switch (m_hwFlow) {
    case hfNONERTSON:
        s.rts = serial::RtsControl::Enable;
        break;
    case hfRTSCTS:
        s.rts = serial::RtsControl::Handshake;
        s.outxCtsFlow = true;
        break;
    case hfNONE:
        s.rts = serial::RtsControl::Disable;
        break;
    }
    if (m_swFlow == sfXONXOFF)
        s.outX = s.inX = true;
    s.xonLim = s.xoffLim = static_cast<uint16_t>(m_inBufSize / 4);
    s.byteSize = static_cast<uint8_t>(5 + m_dataBits);
    s.parity = static_cast<uint8_t>(m_parity);
    s.stopBits = static_cast<uint8_t>(m_stopBits);
    if (!m_device.setState(s))
        return false;
    if (!DiscardBuffers(true, true))
        return false;
    return m_device.setupQueues(m_inBufSize, m_outBufSize);
}

bool TCommPortDriver::DiscardBuffers(bool input, bool output) {
    if (!IsOpen())
        return false;
    if (!m_device.purge(input, output))
        return false;
    m_packetStart.reset();
    return true;
}

uint16_t TCommPortDriver::OutputQueueRoom() {
    if (!IsOpen())
        return 65535;
    uint32_t waiting = 0;
    if (!m_device.clearError(nullptr, &waiting))
        return 0;
    return waiting >= m_outBufSize ? 0 : static_cast<uint16_t>(m_outBufSize - waiting);
}

TModemLines TCommPortDriver::ModemLines() {
    unsigned lines = 0;
    if (!IsOpen() || !m_device.modemStatus(&lines))
        return 0;
    return lines;
}

uint32_t TCommPortDriver::WriteWithTimeout(const void* data, uint32_t count, uint32_t limitMs) {
    if (!IsOpen())
        return 0;
    const char* p = static_cast<const char*>(data);
    uint32_t sent = 0;
    uint32_t mark = m_clock();
    while (count > 0) {
        const uint16_t room = OutputQueueRoom();
        if (room > 0) {
            if (m_checkLineStatus && ModemLines() == 0)
                return sent;
            const int64_t n = m_device.write(p, std::min<uint32_t>(room, count));
            if (n > 0) {
                sent += static_cast<uint32_t>(n);
                count -= static_cast<uint32_t>(n);
                p += n;
                mark = m_clock();
                continue;
            }
        }
        const uint32_t elapsed = m_clock() - mark;
        if (elapsed > limitMs)
            return sent;
        // Wait for room instead of spinning; the limit stays an inactivity limit.
        m_device.waitWritable(static_cast<int>(std::min<uint32_t>(limitMs - elapsed + 1, 10)));
    }
    return sent;
}

void TCommPortDriver::PollInput() {
    if (!IsOpen())
        return;
    pollOnce();
    if (IsOpen() && m_pollTimer->isActive() && OnPollTick)
        OnPollTick(this);
}

void TCommPortDriver::lineFailed() {
    m_pollTimer->stop();
    m_packetStart.reset();
    if (OnLineError)
        OnLineError(this);
}

void TCommPortDriver::pollOnce() {
    uint32_t waiting = 0;
    // A line that is gone often still reports an empty queue; only the hang-up tells.
    if (!m_device.clearError(&waiting, nullptr) || (waiting == 0 && m_device.lineLost())) {
        lineFailed();
        return;
    }
    if (m_packetSize <= 0) {
        if (waiting == 0)
            return;
        const int64_t n = m_device.read(m_inBuffer.data(), std::min(waiting, m_inBufSize));
        if (n < 0) {
            lineFailed();
            return;
        }
        if (n > 0 && OnReceiveData)
            OnReceiveData(this, m_inBuffer.data(), static_cast<uint32_t>(n));
        return;
    }
    const uint32_t size = static_cast<uint32_t>(m_packetSize);
    if (waiting >= size) {
        do {
            const int64_t n = m_device.read(m_inBuffer.data(), size);
            if (n < 0) {
                lineFailed();
                return;
            }
            if (n > 0 && OnReceivePacket)
                OnReceivePacket(this, m_inBuffer.data(), static_cast<uint32_t>(n));
            // A packet taken whole between two ticks leaves the start time unrecorded.
            if (m_packetStart) {
                const double ms = std::nearbyint(static_cast<double>(size) * 10000.0 / m_baudRateValue);
                *m_packetStart += static_cast<uint32_t>(ms);
            }
            waiting -= size;
            if (waiting == 0)
                m_packetStart.reset();
            if (!IsOpen()) // the handler may have closed the port
                return;
        } while (waiting >= size);
        return;
    }
    if (m_packetTimeout > 0 && m_packetStart &&
        m_clock() - *m_packetStart > static_cast<uint32_t>(m_packetTimeout)) {
        const int64_t n = m_device.read(m_inBuffer.data(), waiting);
        if (n < 0) {
            lineFailed();
            return;
        }
        if (n > 0 && m_packetMode == pmPass && OnReceivePacket)
            OnReceivePacket(this, m_inBuffer.data(), static_cast<uint32_t>(n));
        m_packetStart.reset();
        return;
    }
    if (waiting > 0 && !m_packetStart)
        m_packetStart = m_clock();
}
