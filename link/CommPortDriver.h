#pragma once

#include "link/LinkTimer.h"
#include "link/SerialDevice.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

enum TPortNumber {
    pnCustom,
    pnCOM1,
    pnCOM2,
    pnCOM3,
    pnCOM4,
    pnCOM5,
    pnCOM6,
    pnCOM7,
    pnCOM8,
    pnCOM9,
    pnCOM10,
    pnCOM11,
    pnCOM12,
    pnCOM13,
    pnCOM14,
    pnCOM15,
    pnCOM16
};
enum TBaudRate {
    brCustom,
    br110,
    br300,
    br600,
    br1200,
    br2400,
    br4800,
    br9600,
    br14400,
    br19200,
    br38400,
    br56000,
    br57600,
    br115200,
    br128000,
    br256000
};
enum TDataBits { db5BITS, db6BITS, db7BITS, db8BITS };
enum TStopBits { sb1BITS, sb1HALFBITS, sb2BITS };
enum TParity { ptNONE, ptODD, ptEVEN, ptMARK, ptSPACE };
enum THwFlowControl { hfNONE, hfNONERTSON, hfRTSCTS };
enum TSwFlowControl { sfNONE, sfXONXOFF };
enum TPacketMode { pmDiscard, pmPass };

// The set of modem input lines that are on (serial::Cts | Dsr | Ring | Rlsd).
using TModemLines = unsigned;

class TCommPortDriver;
// The data pointer is valid only during the call: it points into the driver's input buffer.
using TReceiveDataEvent = std::function<void(TCommPortDriver* sender, const char* data, uint32_t size)>;
using TReceivePacketEvent = std::function<void(TCommPortDriver* sender, const char* packet, uint32_t size)>;
using TNotifyEvent = std::function<void(TCommPortDriver* sender)>;

// Owns one serial port. Input is taken by polling: a timer on the UI thread fires every
// PollingDelay ms and hands what the input queue holds to OnReceiveData (raw mode), or in
// PacketSize pieces to OnReceivePacket (packet mode). No thread, no overlapped I/O.
class TCommPortDriver : public QObject {
    Q_OBJECT
public:
    explicit TCommPortDriver(QObject* parent = nullptr);
    // The tick count (packet times, send limits) and the polling timer from the caller; an empty
    // clock is the system's tick count, a null timer a repeating system timer.
    TCommPortDriver(TickClock clock, std::unique_ptr<LinkTimer> pollTimer, QObject* parent = nullptr);
    ~TCommPortDriver() override;

    TPortNumber port() const { return m_port; }
    void setPort(TPortNumber value);
    const QString& portName() const { return m_portName; }
    void setPortName(const QString& value);
    TBaudRate baudRate() const { return m_baudRate; }
    void setBaudRate(TBaudRate value);
    uint32_t baudRateValue() const { return m_baudRateValue; }
    void setBaudRateValue(uint32_t value);
    TDataBits dataBits() const { return m_dataBits; }
    void setDataBits(TDataBits value);
    TStopBits stopBits() const { return m_stopBits; }
    void setStopBits(TStopBits value);
    TParity parity() const { return m_parity; }
    void setParity(TParity value);
    THwFlowControl hwFlow() const { return m_hwFlow; }
    void setHwFlow(THwFlowControl value);
    TSwFlowControl swFlow() const { return m_swFlow; }
    void setSwFlow(TSwFlowControl value);
    uint32_t inBufSize() const { return m_inBufSize; }
    void setInBufSize(uint32_t value);
    uint32_t outBufSize() const { return m_outBufSize; }
    void setOutBufSize(uint32_t value);
    int16_t packetSize() const { return m_packetSize; }
    void setPacketSize(int16_t value);
    int32_t packetTimeout() const { return m_packetTimeout; }
    void setPacketTimeout(int32_t value);
    TPacketMode packetMode() const { return m_packetMode; }
    void setPacketMode(TPacketMode value) { m_packetMode = value; }
    uint16_t pollingDelay() const { return m_pollingDelay; }
    void setPollingDelay(uint16_t value);
    bool enableDTROnOpen() const { return m_enableDTROnOpen; }
    void setEnableDTROnOpen(bool value) { m_enableDTROnOpen = value; }
    uint16_t outputTimeout() const { return m_outputTimeout; }
    void setOutputTimeout(uint16_t value) { m_outputTimeout = value; }
    uint32_t inputTimeout() const { return m_inputTimeout; }
    void setInputTimeout(uint32_t value) { m_inputTimeout = value; }
    bool checkLineStatus() const { return m_checkLineStatus; }
    void setCheckLineStatus(bool value) { m_checkLineStatus = value; }

    TReceiveDataEvent OnReceiveData;
    TReceivePacketEvent OnReceivePacket;
    // The open port failed (read or status error, hang-up, device removed). Polling stops, so
    // it is told once; the port stays open until ClosePort.
    TNotifyEvent OnLineError;
    // After every polling tick that leaves the port open, with or without input.
    TNotifyEvent OnPollTick;

    bool OpenPort();
    void ClosePort();
    bool IsOpen() const { return m_device.isOpen(); }
    bool ConfigurePort();
    bool DiscardBuffers(bool input, bool output);
    uint16_t OutputQueueRoom();
    TModemLines ModemLines();
    uint32_t WriteWithTimeout(const void* data, uint32_t count, uint32_t limitMs);
    uint32_t WriteData(const void* data, uint32_t count) {
        return WriteWithTimeout(data, count, m_outputTimeout);
    }
    bool WriteByte(uint8_t value) { return WriteData(&value, 1) == 1; }
    // One tick of the polling timer.
    void PollInput();

    // Why the last OpenPort could not open the device (error 0 when it could).
    const serial::OpenFailure& lastOpenFailure() const { return m_device.lastOpenFailure(); }
    bool pollingActive() const { return m_pollTimer->isActive(); }
    const char* inputBuffer() const { return m_inBuffer.data(); }

private:
    void pollOnce();
    void lineFailed();

    serial::SerialDevice m_device;
    TickClock m_clock;
    std::unique_ptr<LinkTimer> m_pollTimer;
    std::vector<char> m_inBuffer;
    std::optional<uint32_t> m_packetStart;

    TPortNumber m_port = pnCOM2;
    QString m_portName;
    TBaudRate m_baudRate = br9600;
    uint32_t m_baudRateValue = 9600;
    TDataBits m_dataBits = db8BITS;
    TStopBits m_stopBits = sb1BITS;
    TParity m_parity = ptNONE;
    THwFlowControl m_hwFlow = hfNONERTSON;
    TSwFlowControl m_swFlow = sfNONE;
    uint32_t m_inBufSize = 2048;
    uint32_t m_outBufSize = 2048;
    int16_t m_packetSize = -1;
    int32_t m_packetTimeout = -1;
    TPacketMode m_packetMode = pmDiscard;
    uint16_t m_pollingDelay = 50;
    bool m_enableDTROnOpen = true;
    uint16_t m_outputTimeout = 500;
    uint32_t m_inputTimeout = 200;
    bool m_checkLineStatus = false;
};

// The bit rate a numbered TBaudRate stands for; 0 for brCustom.
uint32_t baudRateOf(TBaudRate rate);
