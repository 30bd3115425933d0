#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>

// The serial ports of the machine as a person recognises them, and the order in which the
// download looks for the instrument on them.
namespace serial {

struct PortInfo {
    enum class Access { Usable, NoPermission, Busy };

    QString device;      // "/dev/ttyUSB0", or "COM3" on Windows
    QString description; // "FT232R USB UART"
    QString maker;       // "FTDI"
    bool hasUsbIds = false;
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    QString serialNumber;
    QString byIdPath; // /dev/serial/by-id/…, which survives re-plugging; empty when none
    Access access = Access::Usable;
    QString group; // the group to join when access is NoPermission

    bool isUsb() const { return hasUsbIds || !byIdPath.isEmpty(); }
    // The name kept as the user's choice: the stable path where there is one.
    QString choiceName() const { return byIdPath.isEmpty() ? device : byIdPath; }
    // Why the port cannot be used, or empty.
    QString reason() const;
};

// Lists the ports; the tests hand in their own list.
class PortLister {
public:
    virtual ~PortLister() = default;
    virtual QList<PortInfo> ports() const = 0;
};

// The listing of the operating system (Qt's serial port information), with the stable path and
// what keeps a port from being opened found beside it.
class SystemPortLister : public PortLister {
public:
    // byIdFolder: where the stable links live; tests point it elsewhere.
    explicit SystemPortLister(QString byIdFolder = QStringLiteral("/dev/serial/by-id"));
    QList<PortInfo> ports() const override;

private:
    QString m_byIdFolder;
};

// The stable link in folder that leads to device, or empty.
QString byIdPathFor(const QString& device, const QString& folder);
// Why this user cannot open device now: NoPermission (with the owning group) or Busy when another
// process holds it open.
PortInfo::Access accessOf(const QString& device, QString* group);

// The ports the download tries, in order. A chosen port alone; automatic: "\\.\COM1", "\\.\COM2",
// then each USB port of the listing that is not already one of them.
QStringList portsToTry(const QString& choice, const QList<PortInfo>& listed);

// One line of the listing, tab-separated: device, description, maker, stable path, "доступен" or
// why the port cannot be used.
QString listingLine(const PortInfo& port);

// "нет доступа: …" with the group to join.
QString noPermissionReason(const QString& group);

} // namespace serial
