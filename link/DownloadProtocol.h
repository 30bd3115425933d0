#pragma once

#include "core/ImageSize.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>

// What the download needs from the port, the answer timer and the view. The dialog and the
// command line each give one; the tests give a recorder.
class DownloadHost {
public:
    enum class Message {
        WrongInstrument, // "Вы подключили не тот прибор !", caption "Error"
        UnknownVersion,  // "Неизвестная или новая версия прибора !", caption "Error"
        NotFound,        // "Прибор не обнаружен! ...", caption "Ошибка"
        Damaged,         // the transfer was damaged, caption "Ошибка"
        LineLost,        // the port failed or fell silent during the dump, caption "Ошибка"
    };
    virtual ~DownloadHost() = default;

    virtual QString portName() const = 0;
    virtual void setPortName(const QString& name) = 0;
    virtual bool openPort() = 0;
    // Why the last openPort() failed, in the words of the "Прибор не обнаружен!" message.
    virtual QString openFailureReason() const { return {}; }
    // The port being tried as the user knows it, e.g. "\\.\COM1 (/dev/ttyS0)".
    virtual QString portLabel() const { return portName(); }
    // The ports to look for the instrument on, in order: "\\.\COM1", "\\.\COM2" unless the
    // host knows more or the user chose one.
    virtual QStringList portsToTry() const;
    virtual void closePort() = 0;
    virtual bool writeByte(uint8_t value) = 0;
    // The 3000 ms answer timer; its expiry is DownloadProtocol::answerTimeout().
    virtual void startAnswerTimer(int ms) = 0;
    virtual void stopAnswerTimer() = 0;

    virtual void showProgress(int percent) = 0;
    virtual void showCaption(const QString& caption) = 0; // the dialog's caption
    virtual void showTitle(const QString& title) = 0;     // the application title
    virtual void showStatus(const QString& status) = 0;   // the line above the progress
    virtual void showInstrument(const QString& type, const QString& version) = 0; // firmware date as version
    virtual void showRecordCount(const QString& count) = 0;
    // A modal message; may run a nested loop that delivers more chunks.
    virtual void showMessage(Message kind, const QString& text) = 0;
    // The end of the download: ok with the decoded image, or Cancel.
    virtual void finished(bool ok) = 0;
};

// The download of the instrument's memory, without a window: it takes received chunks and the
// expiry of the answer timer, and tells its host what to send and to show and when it ends.
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

    // clock: milliseconds of a monotonic clock; read when the answer timer starts, when the dump
    // starts or a chunk of it arrives, and by poll() and watchLine().
    explicit DownloadProtocol(DownloadHost& host, std::function<int64_t()> clock = {});

    // A fresh download on the first of the host's ports.
    void start();
    // A chunk of characters the port received.
    void receive(const char* data, uint32_t size);
    // The answer timer expired: try the next port, or give up naming every port tried.
    void answerTimeout();
    // The user's "Отмена".
    void cancel();
    // The view closes: stops the answer timer.
    void close();
    // The port failed while open (read or status error, hang-up, device removed): the
    // download ends with Cancel and the lost-line message.
    void lineLost();
    // Ends the download as lineLost() does when the dump has started and no character has come
    // for SilenceLimitMs. The host calls it often (the port's polling tick is enough).
    void watchLine();
    // Runs answerTimeout() when the clock says the answer time is up, then watchLine().
    void poll();

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
    // Why the last download ended with Cancel (empty for "Отмена" and a rejected identification).
    const QString& damageReason() const { return m_damage; }

    int find_byte(uint8_t value) const;
    uint8_t decode_pair(int i) const;
    QString date_text(int p) const;

    static const QString& portCom1();
    static const QString& portCom2();
    static QString captionFor(int percent);
    static const QString& lineLostText();

private:
    void sendIdentify();
    void tryPort(int index);
    void notFound();
    void startTimer(int ms = AnswerTimeoutMs);
    void stopTimer();
    void checkIdentification();
    void finish();
    void endCancel();
    void damaged(const QString& reason);
    uint8_t at(int i) const;

    DownloadHost& m_host;
    std::function<int64_t()> m_clock;
    QByteArray m_buffer;
    int m_receivedCount = 0;
    Phase m_phase = Phase::V;
    bool m_endMarkerSeen = false;
    State m_state = State::Idle;
    bool m_timerRunning = false;
    int64_t m_timerStart = 0;
    int m_timerMs = AnswerTimeoutMs;
    QStringList m_ports;
    int m_portIndex = 0;
    bool m_openFailed = false; // the answer timer runs only to move on from a port that did not open
    QStringList m_tried;       // one line per port that gave nothing: its name and why
    int m_progress = 0;
    bool m_recordCountShown = false;
    int64_t m_lastCharacterAt = 0;
    bool m_inMessage = false;
    uint8_t m_instrumentType = 0;
    uint8_t m_instrumentVersion = 0;
    QString m_firmwareDate;
    QByteArray m_image;
    QString m_damage;
    QString m_caption;
};
