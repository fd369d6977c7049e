#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class LinkState;
class PortSource;
class ProductCatalogue;

// Keeps connectionState true to the world: every cycle it either looks for
// the link cable (port closed) or polls the chosen device, identifies it when
// needed, and asks for a display refresh on the changes the user can see.
// Runs on a thread of its own from start-up to teardown, except while an
// update owns the port.
class ConnectionMonitor {
public:
    static constexpr std::chrono::milliseconds PollInterval{200};

    ConnectionMonitor(LinkState& state, ProductCatalogue& catalogue, PortSource& ports,
                      std::function<void()> refreshDeviceDisplay);
    ~ConnectionMonitor();
    ConnectionMonitor(const ConnectionMonitor&) = delete;
    ConnectionMonitor& operator=(const ConnectionMonitor&) = delete;

    // Starts the thread unless one is held.
    void Start();
    // Asks the loop to end and waits for it, without a limit. The pause is cut
    // short, so this lasts at most the current cycle.
    void Stop();
    // After an update: identify the device again at the next correct poll
    // answer, and start the thread if it was stopped.
    void Resume();
    bool HasThread() const;

    // One cycle for the current device mode; nothing at all with none chosen.
    void RunCycle();
    // The ESC cycle.
    void KeepAliveTick();
    // The Program Card cycle.
    void ProgramCardTick();

private:
    struct Poll {
        std::uint8_t command;
        std::vector<std::uint8_t> correctReply;
        int replyTimeoutMs;
    };

    void Loop();
    void PollCycle(const Poll& poll);
    void RefreshDisplay();

    LinkState& state;
    ProductCatalogue& catalogue;
    PortSource& ports;
    std::function<void()> refreshDeviceDisplay;

    std::atomic<int> monitorRunning{0};
    mutable std::mutex threadLock;
    std::thread monitorThread;
    std::mutex pauseLock;
    std::condition_variable pauseWake;
};
