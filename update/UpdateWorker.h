#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

class LinkState;
enum class DeviceMode : std::uint8_t;

// Which transfer an update runs.
enum class UpdateProtocol { None, ProgramCard, EscRecords, EscBlocks };

// The Program Card has one protocol; an ESC model whose update type is
// exactly "2" takes 24-byte blocks, every other one text records.
UpdateProtocol ChooseUpdateProtocol(DeviceMode mode, const QString& updateType);

// Runs one firmware update at a time on a thread of its own, so the window
// stays responsive while a device is written.
class UpdateWorker {
public:
    using ProtocolRunner = std::function<void(UpdateProtocol)>;

    UpdateWorker(LinkState& state, ProtocolRunner runProtocol);
    ~UpdateWorker();
    UpdateWorker(const UpdateWorker&) = delete;
    UpdateWorker& operator=(const UpdateWorker&) = delete;

    // Starts a worker when none runs (updateIdle 1); a click while an update
    // runs is ignored. Window thread only.
    void StartUpdate();
    // Waits, without a limit, for the last started worker to end.
    void WaitUntilEnded();

private:
    void Run();

    LinkState& state;
    ProtocolRunner runProtocol;
    std::mutex threadLock;
    std::thread updateThread;
};
