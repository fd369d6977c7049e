#pragma once

#include "DeviceSimulator.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>

namespace devicesim {

// A device behind the link cable, as the simulator plays it: it answers each
// command byte from a table that a test can change while the simulator runs.
// Every setter is safe to call from any thread.
class SimulatedDevice {
public:
    enum class Kind { Esc, ProgramCard };
    using Identification = std::array<std::uint8_t, 8>;

    // ESC: software version 1.2.0.5, hardware version 0x31 0x0A 0x02 0x01.
    static constexpr Identification DefaultEscIdentification{0x01, 0x02, 0x00, 0x05, 0x31, 0x0A, 0x02, 0x01};
    // Program Card: hardware version 0x50 0x43 0x01 0x02, software version
    // 0x01 0x02 0x03 0x00 (the two overlap in bytes 2 and 3).
    static constexpr Identification DefaultProgramCardIdentification{0x50, 0x43, 0x01, 0x02,
                                                                     0x03, 0x00, 0x00, 0x00};

    explicit SimulatedDevice(Kind kind);

    Kind DeviceKind() const { return kind; }

    // The answers for DeviceSimulator::SetResponder. It shares this device's
    // state, so it stays valid even when the simulator outlives this object.
    Responder MakeResponder() const;

    // The 8 bytes the device answers to 0xD7 (its identification query); this
    // replaces whatever answer 0xD7 had, keeping its delay.
    void SetIdentification(const Identification& bytes);
    // Overrides the answer to one command byte: wrong bytes, a late reply, a
    // short reply, or silence with std::nullopt.
    void SetAnswer(std::uint8_t command, std::optional<Reply> reply);
    // Back to the answers and the identification of a fresh device of this
    // kind, with every count at zero.
    void Reset();
    // How often the device received this byte as a command.
    int CommandCount(std::uint8_t command) const;

private:
    struct State;

    Kind kind;
    std::shared_ptr<State> state;
};

} // namespace devicesim
