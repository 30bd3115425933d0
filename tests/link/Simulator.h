#pragma once

#include "PortMapping.h"
#include "core/SettingsIdentity.h"

#include <QProcess>
#include <QStringList>

// The simulated instrument as a child process; device() is its pseudo-terminal.
class Simulator {
public:
    explicit Simulator(const QStringList& args) {
        m_process.setProgram(QStringLiteral(KV_SIM));
        m_process.setArguments(args);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start();
        if (m_process.waitForStarted(5000))
            while (!m_process.canReadLine() && m_process.waitForReadyRead(5000)) {
            }
        m_device = QString::fromLocal8Bit(m_process.readLine()).trimmed();
    }
    ~Simulator() {
        m_process.terminate();
        if (!m_process.waitForFinished(3000))
            m_process.kill();
        m_process.waitForFinished(3000);
    }
    const QString& device() const { return m_device; }
    bool ok() const { return !m_device.isEmpty(); }

private:
    QProcess m_process;
    QString m_device;
};
