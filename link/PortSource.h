#pragma once

#include "SSerInfo.h"

#include <QString>

#include <mutex>
#include <vector>

// Where discovery learns which serial devices are present.
class PortSource {
public:
    virtual ~PortSource() = default;
    // Appends one entry per present serial device that has both a device path
    // and a friendly name. A failed query leaves the list as it was.
    virtual void EnumeratePorts(std::vector<SSerInfo>& list) = 0;
};

// The real source on Linux: the tty devices under <sysfsRoot>/class/tty whose
// device sits on a USB interface (and plain serial ports, without USB
// identifiers). Device nodes are named under devRoot.
class SysfsPortSource : public PortSource {
public:
    explicit SysfsPortSource(QString sysfsRoot = QStringLiteral("/sys"),
                             QString devRoot = QStringLiteral("/dev"));
    void EnumeratePorts(std::vector<SSerInfo>& list) override;

private:
    QString sysfsRoot;
    QString devRoot;
};

// A fixed list that can change while the program runs: the simulator's
// pseudo-terminals in tests and in the demo.
class FixedPortSource : public PortSource {
public:
    FixedPortSource() = default;
    explicit FixedPortSource(std::vector<SSerInfo> entries) : entries(std::move(entries)) {}
    void SetEntries(std::vector<SSerInfo> newEntries) {
        std::lock_guard lock(mutex);
        entries = std::move(newEntries);
    }
    void EnumeratePorts(std::vector<SSerInfo>& list) override {
        std::lock_guard lock(mutex);
        list.insert(list.end(), entries.begin(), entries.end());
    }

private:
    std::mutex mutex;
    std::vector<SSerInfo> entries;
};
