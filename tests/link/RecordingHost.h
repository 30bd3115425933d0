#pragma once

#include "link/DownloadProtocol.h"

#include <QByteArray>
#include <QMap>
#include <QStringList>
#include <functional>

// A host that writes down what the protocol asks of it, so a test can read the conversation.
class RecordingHost : public DownloadHost {
public:
    QString port = DownloadProtocol::portCom1();
    bool open = false;
    QByteArray sent;
    QStringList opened;
    int closes = 0;
    bool timerRunning = false;
    QList<int> timerIntervals;
    QList<int> progress;
    QStringList captions;
    QStringList titles;
    QStringList statuses;
    QString type, version, recordCount;
    QStringList recordCounts;
    QList<Message> messageKinds;
    QStringList messages;
    QList<bool> results;
    QStringList ports{DownloadProtocol::portCom1(), DownloadProtocol::portCom2()};
    QMap<QString, QString> refused; // port -> why it does not open
    std::function<void()> duringMessage;

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
        timerIntervals.append(ms);
    }
    void stopAnswerTimer() override { timerRunning = false; }
    void showProgress(int percent) override { progress.append(percent); }
    void showCaption(const QString& caption) override { captions.append(caption); }
    void showTitle(const QString& title) override { titles.append(title); }
    void showStatus(const QString& status) override { statuses.append(status); }
    void showInstrument(const QString& t, const QString& v) override {
        type = t;
        version = v;
    }
    void showRecordCount(const QString& count) override {
        recordCount = count;
        recordCounts.append(count);
    }
    void showMessage(Message kind, const QString& text) override {
        messageKinds.append(kind);
        messages.append(text);
        if (duringMessage)
            duringMessage();
    }
    void finished(bool ok) override { results.append(ok); }
};
