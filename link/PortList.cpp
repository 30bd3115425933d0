#include "link/PortList.h"

#include "link/DownloadProtocol.h"
#include "link/SerialDevice.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>

#include <unistd.h>

namespace serial {

QString noPermissionReason(const QString& group) {
    if (group.isEmpty() || group == QLatin1String("root"))
        return QStringLiteral(
            "нет доступа: пользователь должен входить в группу устройства (обычно «dialout»)");
    return QStringLiteral("нет доступа: пользователь должен входить в группу «%1»").arg(group);
}

QString PortInfo::reason() const {
    switch (access) {
    case Access::Usable:
        return {};
    case Access::NoPermission:
        return noPermissionReason(group);
    case Access::Busy:
        return QStringLiteral("занят другой программой");
    }
    return {};
}

QString listingLine(const PortInfo& port) {
    const QString usable =
        port.access == PortInfo::Access::Usable ? QStringLiteral("доступен") : port.reason();
    QStringList fields{port.device, port.description, port.maker, port.byIdPath, usable};
    // A tab or a line break inside a field would split it; the system's texts have none, but keep it so.
    for (QString& field : fields)
        field.replace(QLatin1Char('\t'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    return fields.join(QLatin1Char('\t'));
}

SystemPortLister::SystemPortLister(QString byIdFolder) : m_byIdFolder(std::move(byIdFolder)) {}

QList<PortInfo> SystemPortLister::ports() const {
    QList<PortInfo> result;
    for (const QSerialPortInfo& qt : QSerialPortInfo::availablePorts()) {
        PortInfo p;
        p.device = qt.systemLocation();
        p.description = qt.description();
        p.maker = qt.manufacturer();
        p.hasUsbIds = qt.hasVendorIdentifier() && qt.hasProductIdentifier();
        p.vendorId = qt.vendorIdentifier();
        p.productId = qt.productIdentifier();
        p.serialNumber = qt.serialNumber();
        p.byIdPath = byIdPathFor(p.device, m_byIdFolder);
        p.access = accessOf(p.device, &p.group);
        result.append(p);
    }
    return result;
}

QString byIdPathFor(const QString& device, const QString& folder) {
    const QString target = QFileInfo(device).canonicalFilePath();
    if (target.isEmpty())
        return {};
    const QFileInfoList links = QDir(folder).entryInfoList(QDir::System | QDir::Files, QDir::Name);
    for (const QFileInfo& link : links)
        if (link.isSymLink() && QFileInfo(link.absoluteFilePath()).canonicalFilePath() == target)
            return link.absoluteFilePath();
    return {};
}

PortInfo::Access accessOf(const QString& device, QString* group) {
    const QByteArray path = device.toLocal8Bit();
    if (::access(path.constData(), R_OK | W_OK) != 0 && errno != ENOENT) {
        if (group)
            *group = SerialDevice::deviceGroup(device);
        return PortInfo::Access::NoPermission;
    }
    // Another process that has the device open: a terminal program, ModemManager, brltty. Only the
    // processes this user may look into are seen.
    const QString target = QFileInfo(device).canonicalFilePath();
    if (target.isEmpty())
        return PortInfo::Access::Usable;
    const QString self = QString::number(::getpid());
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& pid : pids) {
        if (pid == self || !pid.front().isDigit())
            continue;
        const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
        for (const QFileInfo& fd : fds.entryInfoList(QDir::System | QDir::Files))
            if (fd.symLinkTarget() == target)
                return PortInfo::Access::Busy;
    }
    return PortInfo::Access::Usable;
}

QStringList portsToTry(const QString& choice, const QList<PortInfo>& listed) {
    if (!choice.isEmpty())
        return {choice};
    QStringList order{DownloadProtocol::portCom1(), DownloadProtocol::portCom2()};
    QStringList seen;
    for (const QString& com : order)
        seen.append(QFileInfo(SerialDevice::deviceFor(com)).canonicalFilePath());
    for (const PortInfo& p : listed) {
        if (!p.isUsb())
            continue;
        const QString canonical = QFileInfo(p.device).canonicalFilePath();
        if (!canonical.isEmpty() && seen.contains(canonical))
            continue;
        seen.append(canonical);
        order.append(p.device);
    }
    return order;
}

} // namespace serial
