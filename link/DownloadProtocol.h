#pragma once

#include "core/ImageSize.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <variant>
#include <vector>

// What the download needs of the port and of the answer timer. DownloadLink gives the real ones
// to the dialog and the command line; the tests give a recorder.
class DownloadHost {
public:
    virtual ~DownloadHost() = default;

    virtual QString portName() const = 0;
    virtual void setPortName(const QString& name) = 0;
    virtual bool openPort() = 0;
    // Why the last openPort() failed, in words the user reads; empty when unknown.
    virtual QString openFailureReason() const { return {}; }
    // The port being tried as the user knows it, e.g. "\\.\COM1 (/dev/ttyS0)".
    virtual QString portLabel() const { return portName(); }
    // The ports to look for the instrument on, in order: "\\.\COM1", "\\.\COM2" unless the
    // host knows more or the user chose one.
    virtual QStringList portsToTry() const;
    virtual void closePort() = 0;
    virtual bool writeByte(uint8_t value) = 0;
    // The answer timer keeps the answer time alone; its expiry is DownloadProtocol::answerTimeout().
    virtual void startAnswerTimer(int ms) = 0;
    virtual void stopAnswerTimer() = 0;
};

// The download of the instrument's memory, without a window: it takes received chunks, the
// expiry of the answer timer and the user's cancel, tells its host what to send, and returns
// what happened. Its caller shows that once the step is through, so that no message box (and no
// nested loop of one) ever runs inside the protocol.
class DownloadProtocol {
public:
    enum class Phase : char { V = 'V', F = 'F' };
    enum class State { Idle, Running, EndedOk, EndedCancel };
    static constexpr int BufferSize = 24576;
    static constexpr int FullDumpLength = 15134;
    static constexpr int AnswerTimeoutMs = 3000;
    // Longer than any pause of a working instrument, short enough that a pulled cable is noticed.
    static constexpr int SilenceLimitMs = 5000;
    static constexpr uint8_t RequestIdentify = 0x56;
    static constexpr uint8_t RequestMemory = 0x46;
    static constexpr uint8_t StartMarker = 0x53;
    static constexpr uint8_t EndMarker = 0x50;
    static constexpr uint8_t Restart = 0xEB;

    // A chunk was taken, or what was received is dropped.
    struct Progress {
        enum class Step {
            Identification, // a chunk of the identification answer: the share stays as it was
            Dump,           // a chunk of the dump: the share is counted anew
            Reset,          // nothing received any more: a new port, a cancel, a lost line
        };
        Step step;
        int percent; // the share of the full dump received, 0 … 100
    };
    // The accepted instrument answered; the dump is requested.
    struct Identified {
        uint8_t type;
        uint8_t version;
        QString firmwareDate;
    };
    // The record count of the image, once enough of the dump is in; reported once a download.
    struct RecordCount {
        int count;
    };
    enum class Failure { Cancelled, NotFound, WrongInstrument, UnknownVersion, Damaged, LineLost };
    enum class Damage { None, Overlong, EndMarkerLost, NoStartMarker, OddCount, ImageTooLong };
    // A port that gave nothing: it did not open (openFailure says why, when the host knows), or
    // it opened and nothing answered in time.
    struct PortTried {
        QString label;
        bool opened;
        QString openFailure;
    };
    // The download ended with Cancel; the port is closed and the image unchanged.
    struct Failed {
        Failure reason;
        Damage damage = Damage::None; // what was wrong with the transfer, when reason is Damaged
        QList<PortTried> ports;       // every port that gave nothing, in the order tried
    };
    // The download ended OK; the port is closed.
    struct Finished {
        QByteArray image; // at most 8192 bytes
    };
    using Event = std::variant<Progress, Identified, RecordCount, Failed, Finished>;
    // In the order they happened; a Failed or Finished comes last.
    using Events = std::vector<Event>;

    // clock: milliseconds of a monotonic clock for the silence limit of the dump; read when the
    // dump is requested, when a chunk of it arrives and by watchLine().
    explicit DownloadProtocol(DownloadHost& host, std::function<int64_t()> clock = {});

    // A fresh download on the first of the host's ports.
    void start();
    // A chunk of characters the port received.
    Events receive(const char* data, uint32_t size);
    // The answer timer expired: try the next port, or give up naming every port tried.
    Events answerTimeout();
    // The user cancels (the dialog's button, Escape).
    Events cancel();
    // The view closes: stops the answer timer.
    void close();
    // The port failed while open (read or status error, hang-up, device removed).
    Events lineLost();
    // Ends the download as lineLost() does when the dump has started and no character has come
    // for SilenceLimitMs. The host calls it often (the port's polling tick is enough).
    Events watchLine();

    State state() const { return m_state; }
    Phase phase() const { return m_phase; }
    int receivedCount() const { return m_receivedCount; }
    bool answerTimerRunning() const { return m_timerRunning; }

    // Set at every identification check, accepted or not.
    uint8_t instrumentType() const { return m_instrumentType; }
    uint8_t instrumentVersion() const { return m_instrumentVersion; }
    const QString& firmwareDate() const { return m_firmwareDate; }
    // The decoded image of the last download that ended OK (at most 8192 bytes).
    const QByteArray& image() const { return m_image; }

    int find_byte(uint8_t value) const;
    uint8_t decode_pair(int i) const;
    QString date_text(int p) const;

    static const QString& portCom1();
    static const QString& portCom2();

private:
    void sendIdentify();
    void tryPort(int index);
    void notFound();
    void startTimer(int ms = AnswerTimeoutMs);
    void stopTimer();
    void checkIdentification();
    void finish();
    void fail(Failure reason, Damage damage = Damage::None);
    void damaged(Damage damage);
    Events take();
    uint8_t at(int i) const;

    DownloadHost& m_host;
    std::function<int64_t()> m_clock;
    QByteArray m_buffer;
    int m_receivedCount = 0;
    Phase m_phase = Phase::V;
    bool m_endMarkerSeen = false;
    State m_state = State::Idle;
    bool m_timerRunning = false;
    QStringList m_ports;
    int m_portIndex = 0;
    bool m_openFailed = false; // the answer timer runs only to move on from a port that did not open
    QList<PortTried> m_tried;
    int m_progress = 0;
    bool m_recordCountShown = false;
    int64_t m_lastCharacterAt = 0;
    uint8_t m_instrumentType = 0;
    uint8_t m_instrumentVersion = 0;
    QString m_firmwareDate;
    QByteArray m_image;
    Events m_events; // of the step under way
};
