#include "SimulatedDevice.h"

#include <mutex>
#include <utility>

namespace devicesim {

namespace {

Reply Answer(std::vector<std::uint8_t> bytes) {
    return Reply{std::move(bytes), std::chrono::microseconds(0)};
}

} // namespace

struct SimulatedDevice::State {
    explicit State(Kind kind) : kind(kind) { RestoreDefaults(); }

    // Every received byte passes here in arrival order, so the device can keep
    // track of where it is in a longer exchange. For now each byte is a
    // command answered from the table.
    std::optional<Reply> Receive(std::uint8_t byte) {
        std::lock_guard lock(mutex);
        ++commandCounts[byte];
        return answers[byte];
    }

    void RestoreDefaults() {
        answers = {};
        commandCounts = {};
        if (kind == Kind::Esc) {
            identification = DefaultEscIdentification;
            answers[0xD5] = Answer({0x26});
            answers[0xD6] = Answer({0xD7});
        } else {
            identification = DefaultProgramCardIdentification;
            answers[0xD4] = Answer({0xD6, 0x41});
            answers[0xD6] = Answer({0xD7});
        }
        answers[0xD7] = Answer({identification.begin(), identification.end()});
    }

    const Kind kind;
    std::mutex mutex;
    Identification identification{};
    std::array<std::optional<Reply>, 256> answers;
    std::array<int, 256> commandCounts{};
};

SimulatedDevice::SimulatedDevice(Kind kind) : kind(kind), state(std::make_shared<State>(kind)) {}

Responder SimulatedDevice::MakeResponder() const {
    return [state = state](std::uint8_t received) { return state->Receive(received); };
}

void SimulatedDevice::SetIdentification(const Identification& bytes) {
    std::lock_guard lock(state->mutex);
    state->identification = bytes;
    const auto delay = state->answers[0xD7] ? state->answers[0xD7]->delay : std::chrono::microseconds(0);
    state->answers[0xD7] = Reply{{bytes.begin(), bytes.end()}, delay};
}

void SimulatedDevice::SetAnswer(std::uint8_t command, std::optional<Reply> reply) {
    std::lock_guard lock(state->mutex);
    state->answers[command] = std::move(reply);
}

void SimulatedDevice::Reset() {
    std::lock_guard lock(state->mutex);
    state->RestoreDefaults();
}

int SimulatedDevice::CommandCount(std::uint8_t command) const {
    std::lock_guard lock(state->mutex);
    return state->commandCounts[command];
}

} // namespace devicesim
