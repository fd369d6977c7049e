#include "LinkDiscovery.h"
#include "PortSource.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// Attribute files hold one short line; a longer file is not an attribute.
constexpr qint64 MaxAttributeBytes = 256;
constexpr qsizetype UsbIdentifierDigits = 4;

fs::path ToPath(const QString& text) {
    return fs::path(QFile::encodeName(text).toStdString());
}

QString ToText(const fs::path& path) {
    return QFile::decodeName(QByteArray::fromStdString(path.native()));
}

bool IsWithin(const fs::path& path, const fs::path& root) {
    const auto [rootEnd, pathPosition] = std::mismatch(root.begin(), root.end(), path.begin(), path.end());
    return rootEnd == root.end();
}

std::optional<QString> ReadAttribute(const fs::path& file) {
    QFile attribute(ToText(file));
    if (!attribute.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    return QString::fromLatin1(attribute.read(MaxAttributeBytes)).trimmed();
}

// "10C4\n" gives "10c4"; anything but four hexadecimal digits is no identifier.
std::optional<QString> ReadUsbIdentifier(const fs::path& file) {
    const std::optional<QString> value = ReadAttribute(file);
    if (!value || value->size() != UsbIdentifierDigits) {
        return std::nullopt;
    }
    const QString identifier = value->toLower();
    const bool allHex = std::all_of(identifier.begin(), identifier.end(), [](QChar c) {
        return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f');
    });
    return allHex ? std::optional<QString>(identifier) : std::nullopt;
}

// The serial number is free text chosen by the device's maker. Only letters and
// digits are kept, so it can never spell a cable's "vid_...&pid_..." and make
// another device pass for the link cable.
QString SerialForPath(const QString& serial) {
    QString kept;
    for (QChar c : serial) {
        if (c.isLetterOrNumber() && c.unicode() < 0x80) {
            kept += c;
        }
    }
    return kept;
}

// The USB device a tty hangs from is the nearest folder above it that has
// idVendor and idProduct (the USB interface in between has neither).
std::optional<fs::path> FindUsbDevice(fs::path folder, const fs::path& root) {
    std::error_code error;
    for (; folder != root && IsWithin(folder, root); folder = folder.parent_path()) {
        if (fs::is_regular_file(folder / "idVendor", error) &&
            fs::is_regular_file(folder / "idProduct", error)) {
            return folder;
        }
    }
    return std::nullopt;
}

// "#vid_10c4&pid_ea60#serial_0001", or nothing when the identifiers are unreadable.
std::optional<QString> UsbSuffix(const fs::path& usbDevice) {
    const std::optional<QString> vendor = ReadUsbIdentifier(usbDevice / "idVendor");
    const std::optional<QString> product = ReadUsbIdentifier(usbDevice / "idProduct");
    if (!vendor || !product) {
        return std::nullopt;
    }
    QString suffix = QStringLiteral("#vid_") + *vendor + QStringLiteral("&pid_") + *product;
    const QString serial = SerialForPath(ReadAttribute(usbDevice / "serial").value_or(QString()));
    if (!serial.isEmpty()) {
        suffix += QStringLiteral("#serial_") + serial;
    }
    return suffix;
}

std::optional<SSerInfo> DescribePort(const fs::path& root, const fs::path& classEntry, const QString& name,
                                     const QString& devRoot) {
    // Virtual terminals (tty0.., console, ptmx) have no `device` link: no
    // hardware, no cable.
    std::error_code error;
    const fs::path device = fs::canonical(classEntry / "device", error);
    if (error || !IsWithin(device, root)) {
        return std::nullopt;
    }

    // Discovery takes the port name from the first "COM" of the friendly name up
    // to its first ")". A device node path holds no "COM", so "/dev/ttyUSB0)"
    // yields exactly the path that CSerialPort::Open accepts.
    const QString nodePath = QDir::cleanPath(devRoot + u'/' + name);
    const QString friendlyName = nodePath + u')';
    if (LinkDiscovery::ComNameFromFriendlyName(friendlyName) != nodePath) {
        return std::nullopt; // a node path the name rule cannot carry would open something else
    }

    QString devicePath = ToText(device);
    if (const std::optional<fs::path> usbDevice = FindUsbDevice(device, root)) {
        devicePath += UsbSuffix(*usbDevice).value_or(QString());
    }
    return SSerInfo{devicePath, friendlyName};
}

} // namespace

SysfsPortSource::SysfsPortSource(QString sysfsRoot, QString devRoot)
    : sysfsRoot(std::move(sysfsRoot)), devRoot(std::move(devRoot)) {}

void SysfsPortSource::EnumeratePorts(std::vector<SSerInfo>& list) {
    std::error_code error;
    const fs::path root = fs::canonical(ToPath(sysfsRoot), error);
    if (error) {
        return;
    }
    const fs::path classFolder = root / "class" / "tty";

    std::vector<std::string> names;
    for (fs::directory_iterator entry(classFolder, error), end; !error && entry != end;
         entry.increment(error)) {
        names.push_back(entry->path().filename().native());
    }
    if (error) {
        return;
    }
    // The kernel lists in no particular order; by name the same cable wins every time.
    std::sort(names.begin(), names.end());

    for (const std::string& name : names) {
        if (std::optional<SSerInfo> port = DescribePort(
                root, classFolder / name, QFile::decodeName(QByteArray::fromStdString(name)), devRoot)) {
            list.push_back(std::move(*port));
        }
    }
}
