#pragma once

#include "CSerialPort.h"
#include "PortSource.h"

#include <QString>

// Recognises the link cable among the present serial devices and opens it.
namespace LinkDiscovery {

// The two USB identifiers of the link cable, tested in this order.
inline constexpr const char* CableIdentifiers[] = {"vid_10c4&pid_ea60", "vid_10c8&pid_ea61"};

// True when devicePath holds one of the identifiers exactly (case-sensitive)
// at a position after its first character.
bool IsLinkCable(const QString& devicePath);

// The port name in a friendly name: from the first "COM" (or the start when
// there is none) up to, not including, the first ")"; empty without ")".
QString ComNameFromFriendlyName(const QString& friendlyName);

// Empties port.portList, fills it from source, and opens the first matching
// entry whose port opens. True when the port is now open.
bool DiscoverLink(CSerialPort& port, PortSource& source);

} // namespace LinkDiscovery
