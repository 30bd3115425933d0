#pragma once

#include "link/DownloadProtocol.h"
#include "link/DownloadTexts.h"

#include <QByteArray>
#include <QMap>
#include <QStringList>

#include <variant>

// A host that writes down what the protocol asks of it and what it reports, so a test can read
// the conversation. Its answer timer runs on the test's clock.
class RecordingHost : public DownloadHost {
public:
    explicit RecordingHost(const int64_t& now) : m_now(now) {}

    QString port = DownloadProtocol::portCom1();
    bool open = false;
    QByteArray sent;
    QStringList opened;
    int closes = 0;
    bool timerRunning = false;
    int64_t timerStartedAt = 0;
    QList<int> timerIntervals;
    QStringList ports{DownloadProtocol::portCom1(), DownloadProtocol::portCom2()};
    QMap<QString, QString> refused; // port -> why it does not open

    // Every report, in order, and the same read as the views read it.
    DownloadProtocol::Events events;
    QList<int> progress; // the bar: each share of the dump and each reset
    QList<DownloadProtocol::Identified> identified;
    QList<int> recordCounts;
    QList<DownloadProtocol::Failure> failures;
    QStringList messages; // the words the dialog and the command line show for each failure
    QList<bool> results;  // true for a finished download, false for a failed one

    QString portName() const override { return port; }
    void setPortName(const QString& name) override {
        if (!open)
            port = name;
    }
    bool openPort() override {
        opened.append(port);
        open = !refused.contains(port);
        return open;
    }
    QString openFailureReason() const override { return refused.value(port); }
    QStringList portsToTry() const override { return ports; }
    void closePort() override {
        if (open)
            ++closes;
        open = false;
    }
    bool writeByte(uint8_t value) override {
        if (!open)
            return false;
        sent.append(static_cast<char>(value));
        return true;
    }
    void startAnswerTimer(int ms) override {
        timerRunning = true;
        timerStartedAt = m_now;
        timerIntervals.append(ms);
    }
    void stopAnswerTimer() override { timerRunning = false; }
    // The answer time is up by the test's clock.
    bool timerDue() const { return timerRunning && m_now - timerStartedAt >= timerIntervals.last(); }

    void record(const DownloadProtocol::Events& batch) {
        using Step = DownloadProtocol::Progress::Step;
        for (const DownloadProtocol::Event& event : batch) {
            events.push_back(event);
            if (const auto* p = std::get_if<DownloadProtocol::Progress>(&event)) {
                if (p->step != Step::Identification)
                    progress.append(p->percent);
            } else if (const auto* id = std::get_if<DownloadProtocol::Identified>(&event)) {
                identified.append(*id);
            } else if (const auto* count = std::get_if<DownloadProtocol::RecordCount>(&event)) {
                recordCounts.append(count->count);
            } else if (const auto* failed = std::get_if<DownloadProtocol::Failed>(&event)) {
                failures.append(failed->reason);
                if (const QString text = downloadtext::failure(*failed); !text.isEmpty())
                    messages.append(text);
                results.append(false);
            } else {
                results.append(true);
            }
        }
    }

private:
    const int64_t& m_now;
};
