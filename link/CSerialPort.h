#pragma once

#include "SSerInfo.h"

#include <QString>

#include <array>
#include <cstdint>
#include <vector>

// The link cable's serial port: exclusive, raw, 19200 baud 8N1. Every
// operation reports failure as false; nothing throws and nothing is logged.
// The object takes no locks: LinkState serialises its users.
class CSerialPort {
public:
    static constexpr int RxBufferSize = 512;
    static constexpr int EchoTimeoutMs = 500;
    static constexpr int BaudRate = 19200;

    CSerialPort();
    ~CSerialPort();
    CSerialPort(const CSerialPort&) = delete;
    CSerialPort& operator=(const CSerialPort&) = delete;

    // Opens the port named like "ttyUSB0" (the platform's device folder is put
    // in front) or given as a full path. Fails on an already open port.
    bool Open(const QString& comName);
    // Closing a closed port does nothing.
    void Close();
    bool IsOpen() const;
    // Throws away whatever is pending in either direction.
    bool Purge();
    // True only when exactly count bytes arrived within timeoutMs. A hang-up
    // (cable pulled) fails at once instead of waiting out the limit.
    bool Read(std::uint8_t* destination, std::uint8_t count, int timeoutMs);
    // True only when all count bytes were written; waits without a limit.
    bool Write(const std::uint8_t* source, std::uint8_t count);
    // Purge, the command byte, and its echo within EchoTimeoutMs into the start
    // of rxBuffer. The echo's value is not compared with the command.
    bool SendCommand(std::uint8_t command);

    // The platform's name for a port: "/dev/" + comName, or comName itself
    // when it is already a full path.
    static QString DeviceNameFor(const QString& comName);

    std::vector<SSerInfo> portList;
    std::array<std::uint8_t, RxBufferSize> rxBuffer{};

private:
    static constexpr std::intptr_t InvalidHandle = -1;
    std::intptr_t portHandle = InvalidHandle;
};
