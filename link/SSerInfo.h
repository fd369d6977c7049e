#pragma once

#include <QString>

// One present serial-port device as discovery sees it.
struct SSerInfo {
    // Carries the USB identifiers as "vid_xxxx&pid_xxxx" (lower-case hex),
    // never at its very first character.
    QString devicePath;
    // The text the COM name is taken from: from its first "COM" (or its start)
    // up to its first ")".
    QString friendlyName;
};
