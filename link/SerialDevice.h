#pragma once

#include <QString>

#include <cstdint>

// The handful of serial calls the port driver is written against, in the shape the Windows
// communications API gives them (open by name, line settings, time-outs, queue sizes, purge, bytes
// waiting, modem status, read, write, close, a millisecond tick). On Linux they sit on termios;
// every call returns at once and none needs an event loop.
namespace serial {

enum class RtsControl { Disable, Enable, Handshake };

// The fields of a DCB that the driver fills; the rest of the structure stays zero.
struct LineSettings {
    uint32_t baudRate = 9600;
    bool dtrEnable = false;
    RtsControl rts = RtsControl::Disable;
    bool outxCtsFlow = false;
    bool outX = false;
    bool inX = false;
    uint16_t xonLim = 0;
    uint16_t xoffLim = 0;
    uint8_t byteSize = 8;
    uint8_t parity = 0;   // NOPARITY, ODDPARITY, EVENPARITY, MARKPARITY, SPACEPARITY
    uint8_t stopBits = 0; // ONESTOPBIT, ONE5STOPBITS, TWOSTOPBITS
    char xonChar = 0x11;
    char xoffChar = 0x13;
};

struct Timeouts {
    uint32_t readInterval = 0;
    uint32_t readTotalMultiplier = 0;
    uint32_t readTotalConstant = 0;
    uint32_t writeTotalMultiplier = 0;
    uint32_t writeTotalConstant = 0;
};

// Modem input lines, as GetCommModemStatus reports them.
enum ModemLine : unsigned { Cts = 0x10, Dsr = 0x20, Ring = 0x40, Rlsd = 0x80 };

// Why the last open failed.
struct OpenFailure {
    QString device; // the device actually tried, e.g. "/dev/ttyS0"
    int error = 0;  // errno; 0 when the last open succeeded
    bool permissionDenied() const;
};

class SerialDevice {
public:
    SerialDevice() = default;
    SerialDevice(const SerialDevice&) = delete;
    SerialDevice& operator=(const SerialDevice&) = delete;
    ~SerialDevice();

    // CreateFileA: read and write, exclusive, open existing only. The port name is mapped to a
    // device by deviceFor().
    bool open(const QString& portName);
    bool isOpen() const { return m_fd >= 0; }
    // CloseHandle.
    void close();
    const OpenFailure& lastOpenFailure() const { return m_failure; }

    bool setState(const LineSettings& settings);       // SetCommState
    bool setTimeouts(const Timeouts& timeouts);        // SetCommTimeouts
    bool setupQueues(uint32_t input, uint32_t output); // SetupComm
    bool purge(bool input, bool output);               // PurgeComm
    // ClearCommError: clears the error state and tells the bytes waiting in both queues.
    bool clearError(uint32_t* inQueue, uint32_t* outQueue);
    // GetCommModemStatus. A pseudo-terminal has no modem lines: it reports true and none on.
    bool modemStatus(unsigned* lines);
    // ReadFile / WriteFile: what is there now, without waiting; -1 on failure.
    int64_t read(char* data, uint32_t count);
    int64_t write(const char* data, uint32_t count);
    // Waits until the output queue has room or ms have passed.
    bool waitWritable(int ms);
    // True when the line is gone: the other side hung up, the device was removed or reports
    // an error. Looks without waiting.
    bool lineLost();

    // GetTickCount: milliseconds of a monotonic clock, wrapping at 2^32.
    static uint32_t tickCount();
    // "\\.\COMn": the settings value "COMn" when present, else /dev/ttyS(n-1). Any other name is
    // taken as a device path.
    static QString deviceFor(const QString& portName);
    // The group that owns a device file ("dialout" on most systems); empty when unknown.
    static QString deviceGroup(const QString& device);

private:
    int m_fd = -1;
    Timeouts m_timeouts;
    OpenFailure m_failure;
};

// A value of the settings store that the program shares with the window (ProgramSettings).
QString portSetting(const QString& key);

} // namespace serial
