#pragma once

#include "SSerInfo.h"

#include <QString>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace devicesim {

// What the device sends back after one received byte: the bytes, and how long
// after that byte's echo left the cable they start.
struct Reply {
    std::vector<std::uint8_t> bytes;
    std::chrono::microseconds delay{0};
};

// Decides the device's answer to each byte it receives. Runs on the
// simulator's own thread, one byte at a time, in arrival order.
using Responder = std::function<std::optional<Reply>(std::uint8_t received)>;

// The link cable with a device behind it, on a pseudo-terminal. The program
// opens SlavePath() as its serial port; the simulator owns the master side,
// echoes every byte like the cable does and answers as its Responder says.
// It records every byte the device received.
class DeviceSimulator {
public:
    DeviceSimulator();
    ~DeviceSimulator();
    DeviceSimulator(const DeviceSimulator&) = delete;
    DeviceSimulator& operator=(const DeviceSimulator&) = delete;

    bool IsValid() const;
    // The pseudo-terminal the program opens, for example /dev/pts/4.
    QString SlavePath() const;
    // A discovery entry for this cable with the given USB identifiers, whose
    // friendly name yields SlavePath() by the discovery rule.
    SSerInfo PortEntry(const QString& usbIdentifiers = QStringLiteral("vid_10c4&pid_ea60")) const;

    void SetResponder(Responder responder);
    // The cable's echo; on unless switched off.
    void SetEcho(bool on);
    // Send bytes at the real 19200 baud 8N1 pace (10 bit times each) instead
    // of as fast as the pseudo-terminal takes them.
    void SetPaced(bool on);
    // Sends bytes unprompted, as a device that talks late would.
    void Inject(const std::vector<std::uint8_t>& bytes);
    // Pulls the cable: closes the master side. The program's next read or
    // write fails at once.
    void HangUp();

    std::vector<std::uint8_t> Received() const;
    void ClearReceived();
    // Waits until at least count bytes have been received, or the limit passes.
    bool WaitForReceived(std::size_t count, std::chrono::milliseconds limit) const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl;
};

} // namespace devicesim
