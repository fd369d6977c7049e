#include "LinkDiscovery.h"

namespace LinkDiscovery {

bool IsLinkCable(const QString& devicePath) {
    // A device path never starts with its USB identifiers, so a hit at the very
    // first character is not one.
    constexpr qsizetype FirstAllowedPosition = 1;
    for (const char* identifier : CableIdentifiers) {
        if (devicePath.indexOf(QLatin1String(identifier), FirstAllowedPosition, Qt::CaseSensitive) >= 0) {
            return true;
        }
    }
    return false;
}

QString ComNameFromFriendlyName(const QString& friendlyName) {
    const qsizetype comStart = friendlyName.indexOf(u"COM", 0, Qt::CaseSensitive);
    const QString fromCom = comStart >= 0 ? friendlyName.mid(comStart) : friendlyName;
    const qsizetype closing = fromCom.indexOf(u')');
    return closing >= 0 ? fromCom.left(closing) : QString();
}

bool DiscoverLink(CSerialPort& port, PortSource& source) {
    port.portList.clear();
    source.EnumeratePorts(port.portList);
    for (const SSerInfo& entry : port.portList) {
        if (!IsLinkCable(entry.devicePath)) {
            continue;
        }
        // A cable that will not open (held by another program, a name that is
        // no port) does not end the search: the next cable may.
        const QString comName = ComNameFromFriendlyName(entry.friendlyName);
        if (!comName.isEmpty() && port.Open(comName)) {
            return true;
        }
    }
    return false;
}

} // namespace LinkDiscovery
