#include "ConnectionMonitor.h"

#include "DeviceCommands.h"
#include "DeviceIdentifier.h"
#include "LinkState.h"

#include <algorithm>

ConnectionMonitor::ConnectionMonitor(LinkState& state, ProductCatalogue& catalogue, PortSource& ports,
                                     std::function<void()> refreshDeviceDisplay)
    : state(state), catalogue(catalogue), ports(ports), refreshDeviceDisplay(std::move(refreshDeviceDisplay)) {}

ConnectionMonitor::~ConnectionMonitor() { Stop(); }

void ConnectionMonitor::Start() {
    std::lock_guard lock(threadLock);
    if (monitorThread.joinable()) {
        return;
    }
    monitorRunning = 1;
    monitorThread = std::thread([this] { Loop(); });
}

void ConnectionMonitor::Stop() {
    std::lock_guard lock(threadLock);
    if (!monitorThread.joinable()) {
        return;
    }
    {
        std::lock_guard pause(pauseLock);
        monitorRunning = 0;
    }
    pauseWake.notify_all();
    monitorThread.join();
}

void ConnectionMonitor::Resume() {
    state.reidentifyPending = 1;
    Start();
}

bool ConnectionMonitor::HasThread() const {
    std::lock_guard lock(threadLock);
    return monitorThread.joinable();
}

void ConnectionMonitor::Loop() {
    while (monitorRunning) {
        RunCycle();
        std::unique_lock pause(pauseLock);
        pauseWake.wait_for(pause, PollInterval, [this] { return monitorRunning == 0; });
    }
}

void ConnectionMonitor::RunCycle() {
    switch (state.deviceMode.load()) {
    case DeviceMode::Esc:
        KeepAliveTick();
        break;
    case DeviceMode::ProgramCard:
        ProgramCardTick();
        break;
    case DeviceMode::None:
        break;
    }
}

void ConnectionMonitor::KeepAliveTick() {
    using namespace DeviceCommands;
    if (state.fixMode) {
        PollCycle({EscFixModePoll, {EscFixModePollReply}, EscPollTimeoutMs});
    } else {
        PollCycle({EscPoll, {EscPollReply}, EscPollTimeoutMs});
    }
}

void ConnectionMonitor::ProgramCardTick() {
    using namespace DeviceCommands;
    PollCycle({ProgramCardPoll, {std::begin(ProgramCardPollReply), std::end(ProgramCardPollReply)},
               ProgramCardPollTimeoutMs});
}

void ConnectionMonitor::PollCycle(const Poll& poll) {
    if (state.connectionState == ConnectionState::NoLink) {
        // Only state 2 shows on screen, so finding the cable needs no refresh.
        if (state.DiscoverLink(ports)) {
            state.connectionState = ConnectionState::Link;
        }
        return;
    }

    const Exchange exchange =
        state.ExchangeCommand(poll.command, static_cast<std::uint8_t>(poll.correctReply.size()), poll.replyTimeoutMs);
    if (exchange.result == ExchangeResult::LinkFailed) {
        state.ClosePort();
        state.connectionState = ConnectionState::NoLink;
        RefreshDisplay();
        return;
    }

    const bool correct = exchange.result == ExchangeResult::Replied &&
                         std::equal(poll.correctReply.begin(), poll.correctReply.end(), exchange.reply.begin());
    if (correct) {
        if (state.connectionState != ConnectionState::Device || state.reidentifyPending) {
            if (IdentifyDevice(state, catalogue)) {
                state.connectionState = ConnectionState::Device;
                state.reidentifyPending = 0;
                RefreshDisplay();
            }
        }
        return;
    }

    if (state.connectionState != ConnectionState::Link) {
        state.connectionState = ConnectionState::Link;
        RefreshDisplay();
    }
}

void ConnectionMonitor::RefreshDisplay() {
    if (refreshDeviceDisplay) {
        refreshDeviceDisplay();
    }
}
