#pragma once

#include "CSerialPort.h"
#include "PortSource.h"

#include <QString>

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>

enum class DeviceMode : std::uint8_t { None = 0, Esc = 1, ProgramCard = 2 };
enum class ConnectionState : std::uint8_t { NoLink = 0, Link = 1, Device = 2 };

// What the last successful identification found. Kept when the link is lost;
// replaced only by the next identification.
struct Identification {
    QString hardwareModel;
    QString firmwareModel;
    QString firmwareName;
    QString firmwareFileName;
    QString updateType;
};

// The outcome of one command exchange on the link.
enum class ExchangeResult {
    LinkFailed, // purge, write or echo failed: the link is gone
    NoReply,    // the echo came back but the reply did not arrive in full
    Replied,    // every reply byte arrived in time
};

struct Exchange {
    ExchangeResult result = ExchangeResult::LinkFailed;
    // The first bytes of rxBuffer after the exchange: the reply, and beyond it
    // whatever earlier replies left there.
    std::array<std::uint8_t, 8> reply{};

    bool RepliedWith(std::initializer_list<std::uint8_t> expected) const;
};

// Everything the program knows about the link cable and the device behind it.
// Three threads share it: the window's, the connection monitor's and the
// update worker's. Single values are atomic; the identification texts are
// copied under a lock; every use of the serial port goes through the methods
// below, which hold portLock so that a close from the menu never overlaps an
// exchange and the port is closed once.
class LinkState {
public:
    std::atomic<DeviceMode> deviceMode{DeviceMode::None};
    std::atomic<int> fixMode{0};
    std::atomic<ConnectionState> connectionState{ConnectionState::NoLink};
    std::atomic<int> reidentifyPending{0};
    std::atomic<int> updateIdle{1};

    // Directory of the executable, with a trailing separator; set once at
    // start-up before any other thread exists.
    QString exeDirectory;
    // The catalogue version for the About box; set once at start-up.
    QString catalogueVersion;

    Identification ReadIdentification() const;
    void WriteIdentification(const Identification& results);

    // Sends one command byte (purge, byte, echo within 500 ms) and reads
    // replyLength bytes within replyTimeoutMs into the start of rxBuffer.
    Exchange ExchangeCommand(std::uint8_t command, std::uint8_t replyLength, int replyTimeoutMs);
    // Finds the link cable among source's devices and opens it.
    bool DiscoverLink(PortSource& source);
    void ClosePort();
    bool IsPortOpen();

    // For the update protocols: runs work with the port held exclusively.
    template <typename Work> auto WithPort(Work&& work) {
        std::lock_guard lock(portLock);
        return work(serialPort);
    }

private:
    mutable std::mutex identificationLock;
    Identification identification;

    std::mutex portLock;
    CSerialPort serialPort;
};
