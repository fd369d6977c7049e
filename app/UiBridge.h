#pragma once

#include <QObject>

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

// Carries work from background threads over to the window's thread and lets
// the caller wait for it. Work queued from the window's thread itself runs at
// once. At teardown the bridge is shut first: work still waiting is dropped,
// its callers return at once, and later calls return without running.
//
// A plain blocking queued call would deadlock as soon as the window's thread
// waits for the caller (it does, when it joins the threads at teardown); the
// shut-down state is what makes that wait safe.
class UiBridge : public QObject {
    Q_OBJECT

public:
    // Lives on the thread that constructs it: the window's thread.
    explicit UiBridge(QObject* parent = nullptr);
    ~UiBridge() override;

    // Runs work on the window's thread while the caller waits. False when the
    // bridge was shut before the work could run.
    bool Run(std::function<void()> work);

    // Runs work and hands back its result; empty when it did not run.
    template <typename Work> auto Call(Work&& work) -> std::optional<decltype(work())> {
        using Result = decltype(work());
        auto result = std::make_shared<std::optional<Result>>();
        Run([result, work = std::forward<Work>(work)]() mutable { *result = work(); });
        return std::move(*result);
    }

    bool OnWindowThread() const;
    // Drops pending work, releases its callers and calls the hook that closes
    // whatever the window has open on a caller's behalf (message boxes).
    // Window thread only.
    void Shutdown();
    bool IsShut() const;
    void SetShutdownHook(std::function<void()> hook);

private slots:
    // Runs the waiting work; posted by name so that nothing of ours travels
    // through the toolkit's event queue.
    void Drain();

private:
    struct Request;

    std::thread::id windowThread;
    mutable std::mutex mutex;
    std::condition_variable finished;
    std::deque<std::shared_ptr<Request>> queue;
    bool shut = false;
    std::function<void()> shutdownHook;
};
