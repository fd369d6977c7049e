#include "UpdateWorker.h"

#include "LinkState.h"

UpdateProtocol ChooseUpdateProtocol(DeviceMode mode, const QString& updateType) {
    switch (mode) {
    case DeviceMode::ProgramCard:
        return UpdateProtocol::ProgramCard;
    case DeviceMode::Esc:
        return updateType == QStringLiteral("2") ? UpdateProtocol::EscBlocks : UpdateProtocol::EscRecords;
    case DeviceMode::None:
        break;
    }
    return UpdateProtocol::None;
}

UpdateWorker::UpdateWorker(LinkState& state, ProtocolRunner runProtocol)
    : state(state), runProtocol(std::move(runProtocol)) {}

UpdateWorker::~UpdateWorker() { WaitUntilEnded(); }

void UpdateWorker::StartUpdate() {
    std::lock_guard lock(threadLock);
    int idle = 1;
    if (!state.updateIdle.compare_exchange_strong(idle, 0)) {
        return;
    }
    // The previous worker has set updateIdle as its last act; collect it.
    if (updateThread.joinable()) {
        updateThread.join();
    }
    updateThread = std::thread([this] { Run(); });
}

void UpdateWorker::WaitUntilEnded() {
    std::lock_guard lock(threadLock);
    if (updateThread.joinable()) {
        updateThread.join();
    }
}

void UpdateWorker::Run() {
    const UpdateProtocol protocol =
        ChooseUpdateProtocol(state.deviceMode.load(), state.ReadIdentification().updateType);
    if (protocol != UpdateProtocol::None && runProtocol) {
        runProtocol(protocol);
    }
    state.updateIdle = 1;
}
