#include "SerialDevices.h"

#include <QCollator>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <sys/sysmacros.h>

namespace {

QString readLine(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readLine(256)).trimmed();
}

// The USB device above a tty's device directory: the first ancestor with idVendor and idProduct.
QString usbDeviceOf(const QString& ttyDirectory, const QString& sysRoot) {
    QString dir = QFileInfo(ttyDirectory + QStringLiteral("/device")).canonicalFilePath();
    const QString root = QFileInfo(sysRoot).canonicalFilePath();
    while (!dir.isEmpty() && dir.startsWith(root) && dir != root) {
        if (QFileInfo::exists(dir + QStringLiteral("/idVendor")) &&
            QFileInfo::exists(dir + QStringLiteral("/idProduct")))
            return dir;
        dir = QFileInfo(dir).path();
    }
    return {};
}

struct KnownChip {
    quint16 vendor;
    int product; // -1: any product of the vendor
    const char* name;
    bool arduino;
};

constexpr KnownChip KnownChips[] = {
    {0x1a86, 0x7523, "CH340", false},  {0x1a86, 0x55d4, "CH9102", false},
    {0x0403, 0x6001, "FT232R", false}, {0x10c4, 0xea60, "CP210x", false},
    {0x067b, 0x2303, "PL2303", false}, {0x2341, -1, "Arduino", true},
    {0x2a03, -1, "Arduino", true},     {0x1b4f, -1, "SparkFun Arduino", true},
};

const KnownChip* knownChip(quint16 vendor, quint16 product) {
    for (const KnownChip& chip : KnownChips) {
        if (chip.vendor == vendor && (chip.product < 0 || chip.product == product))
            return &chip;
    }
    return nullptr;
}

} // namespace

QString SerialDevice::idText() const {
    return QStringLiteral("%1:%2").arg(vendor, 4, 16, QLatin1Char('0')).arg(product, 4, 16, QLatin1Char('0'));
}

QString SerialDevice::label() const {
    const KnownChip* chip = knownChip(vendor, product);
    QString what = productName;
    if (chip && (what.isEmpty() || !chip->arduino)) // a CH340 calls itself "USB Serial"
        what = QString::fromLatin1(chip->name);
    return what.isEmpty() ? idText() : QStringLiteral("%1, %2").arg(what, idText());
}

QList<SerialSettings::Protocol> SerialDevice::protocols() const {
    using Protocol = SerialSettings::Protocol;
    if (vendor == 0x1a86 && product == 0x7523)
        return {Protocol::Lcus, Protocol::Generic};
    const KnownChip* chip = knownChip(vendor, product);
    if (chip && chip->arduino)
        return {Protocol::Generic};
    return {Protocol::Generic, Protocol::Renard};
}

bool SerialDevice::matches(const QString& path) const {
    if (path == node || (!byId.isEmpty() && path == byId))
        return true;
    const QString target = QFileInfo(path).canonicalFilePath();
    return !target.isEmpty() && target == QFileInfo(node).canonicalFilePath();
}

std::vector<SerialDevice> SerialDevice::present(const SerialRoots& roots) {
    // The stable names first, by the node each leads to.
    QMap<QString, QString> stable;
    const QString byIdDir = roots.dev + QStringLiteral("/serial/by-id");
    for (const QFileInfo& link :
         QDir(byIdDir).entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot)) {
        if (link.isSymLink())
            stable.insert(QFileInfo(link.symLinkTarget()).fileName(), link.absoluteFilePath());
    }

    std::vector<SerialDevice> devices;
    const QString classDir = roots.sys + QStringLiteral("/class/tty");
    for (const QString& name : QDir(classDir).entryList(QDir::Dirs | QDir::System | QDir::NoDotAndDotDot)) {
        if (!name.startsWith(QLatin1String("ttyUSB")) && !name.startsWith(QLatin1String("ttyACM")))
            continue;
        const QString usb = usbDeviceOf(classDir + QLatin1Char('/') + name, roots.sys);
        const QString node = roots.dev + QLatin1Char('/') + name;
        if (usb.isEmpty() || !QFileInfo::exists(node))
            continue;
        SerialDevice device;
        device.name = name;
        device.node = node;
        device.byId = stable.value(name);
        device.vendor = readLine(usb + QStringLiteral("/idVendor")).toUShort(nullptr, 16);
        device.product = readLine(usb + QStringLiteral("/idProduct")).toUShort(nullptr, 16);
        device.manufacturer = readLine(usb + QStringLiteral("/manufacturer"));
        device.productName = readLine(usb + QStringLiteral("/product"));
        devices.push_back(device);
    }
    QCollator collator;
    collator.setNumericMode(true);
    std::sort(devices.begin(), devices.end(), [&](const SerialDevice& a, const SerialDevice& b) {
        return collator.compare(a.name, b.name) < 0;
    });
    return devices;
}

TerminalClass terminalClass(dev_t device, const SerialRoots& roots) {
    // Unix 98 pseudo-terminal slaves (/dev/pts/N), which sysfs does not list.
    constexpr unsigned PtySlaveMajorFirst = 136;
    constexpr unsigned PtySlaveMajorLast = 143;
    if (major(device) >= PtySlaveMajorFirst && major(device) <= PtySlaveMajorLast)
        return TerminalClass::Terminal;
    const QString charDir = roots.sys + QStringLiteral("/dev/char");
    if (!QFileInfo(charDir).isDir())
        return TerminalClass::Unknown;
    const QString entry = QStringLiteral("%1/%2:%3").arg(charDir).arg(major(device)).arg(minor(device));
    const QString subsystem = QFileInfo(entry + QStringLiteral("/subsystem")).symLinkTarget();
    return QFileInfo(subsystem).fileName() == QLatin1String("tty") ? TerminalClass::Terminal
                                                                   : TerminalClass::Other;
}
