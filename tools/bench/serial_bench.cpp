// How close the serial layer comes to the line's own speed: 24-byte packets,
// each echoed by the cable and acknowledged by the device with one byte, the
// way a firmware update sends its blocks. The simulator paces every byte it
// sends at 19200 baud, so the ideal time is the wire time of echo and
// acknowledgement together.

#include "CSerialPort.h"
#include "DeviceSimulator.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <numeric>
#include <vector>

namespace {

constexpr int Exchanges = 1000;
constexpr std::uint8_t PacketSize = 24;
constexpr std::uint8_t Acknowledgement = 0x01;
constexpr int ReplyTimeoutMs = 2000;
constexpr double ByteSeconds = 10.0 / CSerialPort::BaudRate;

// Acknowledges every complete packet right after the echo of its last byte.
devicesim::Responder PacketAcknowledger() {
    return [receivedInPacket = 0](std::uint8_t) mutable -> std::optional<devicesim::Reply> {
        if (++receivedInPacket < PacketSize) {
            return std::nullopt;
        }
        receivedInPacket = 0;
        return devicesim::Reply{{Acknowledgement}, std::chrono::microseconds(0)};
    };
}

bool Exchange(CSerialPort& port, std::vector<std::uint8_t>& packet) {
    std::vector<std::uint8_t> echo(PacketSize);
    std::uint8_t reply = 0;
    return port.Write(packet.data(), PacketSize) && port.Read(echo.data(), PacketSize, ReplyTimeoutMs) &&
           echo == packet && port.Read(&reply, 1, ReplyTimeoutMs) && reply == Acknowledgement;
}

} // namespace

int main() {
    devicesim::DeviceSimulator simulator;
    if (!simulator.IsValid()) {
        std::fprintf(stderr, "serial_bench: no pseudo-terminal available\n");
        return 1;
    }
    simulator.SetResponder(PacketAcknowledger());
    simulator.SetPaced(true);

    CSerialPort port;
    if (!port.Open(simulator.SlavePath())) {
        std::fprintf(stderr, "serial_bench: cannot open %s\n", qPrintable(simulator.SlavePath()));
        return 1;
    }

    std::vector<std::uint8_t> packet(PacketSize);
    std::iota(packet.begin(), packet.end(), std::uint8_t{0});

    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < Exchanges; ++i) {
        packet[0] = static_cast<std::uint8_t>(i);
        if (!Exchange(port, packet)) {
            std::fprintf(stderr, "serial_bench: exchange %d failed\n", i);
            return 1;
        }
    }
    const std::chrono::duration<double> measured = std::chrono::steady_clock::now() - start;

    const double wireSeconds = Exchanges * (PacketSize + 1) * ByteSeconds;
    std::printf("%d exchanges of %u bytes out, %u echoed, 1 acknowledged, at %d baud\n", Exchanges,
                unsigned{PacketSize}, unsigned{PacketSize}, CSerialPort::BaudRate);
    std::printf("measured  %.3f s\n", measured.count());
    std::printf("wire time %.3f s\n", wireSeconds);
    std::printf("ratio     %.4f\n", measured.count() / wireSeconds);
    return 0;
}
