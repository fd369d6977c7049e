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
        const ConnectionState before = state.connectionState;
        if (before != ConnectionState::Device || state.reidentifyPending) {
            if (IdentifyDevice(state, catalogue)) {
                // A Device menu command may have reset the link meanwhile; the
                // answer of the device chosen before must not show as the
                // new one, so state 2 is taken only from where this cycle
                // started.
                ConnectionState expected = before;
                if (state.connectionState.compare_exchange_strong(expected, ConnectionState::Device)) {
                    state.reidentifyPending = 0;
                    RefreshDisplay();
                }
            }
        }
        return;
    }

    // Missing or wrong answer: an identified device falls back to state 1.
    ConnectionState identified = ConnectionState::Device;
    if (state.connectionState.compare_exchange_strong(identified, ConnectionState::Link)) {
        RefreshDisplay();
    }
}

void ConnectionMonitor::RefreshDisplay() {
    if (refreshDeviceDisplay) {
        refreshDeviceDisplay();
    }
}
