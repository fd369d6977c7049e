#include "UiBridge.h"

#include <QMetaObject>

struct UiBridge::Request {
    enum class Stage { Waiting, Running, Done, Dropped };
    std::function<void()> work;
    Stage stage = Stage::Waiting;
};

UiBridge::UiBridge(QObject* parent) : QObject(parent), windowThread(std::this_thread::get_id()) {}

UiBridge::~UiBridge() {
    std::lock_guard lock(mutex);
    shut = true;
    for (auto& request : queue) {
        request->stage = Request::Stage::Dropped;
    }
    queue.clear();
    finished.notify_all();
}

bool UiBridge::OnWindowThread() const { return std::this_thread::get_id() == windowThread; }

bool UiBridge::Run(std::function<void()> work) {
    if (OnWindowThread()) {
        if (IsShut()) {
            return false;
        }
        work();
        return true;
    }

    auto request = std::make_shared<Request>();
    request->work = std::move(work);
    std::unique_lock lock(mutex);
    if (shut) {
        return false;
    }
    queue.push_back(request);
    QMetaObject::invokeMethod(this, "Drain", Qt::QueuedConnection);
    // Work that has started runs to its end even after a shut-down: it may
    // hold references to the caller's data, and the shut-down closes the only
    // thing that can keep it waiting (a message box).
    finished.wait(lock, [&] {
        return request->stage == Request::Stage::Done || request->stage == Request::Stage::Dropped;
    });
    return request->stage == Request::Stage::Done;
}

void UiBridge::Drain() {
    for (;;) {
        std::shared_ptr<Request> request;
        {
            std::lock_guard lock(mutex);
            if (queue.empty()) {
                return;
            }
            request = queue.front();
            queue.pop_front();
            request->stage = Request::Stage::Running;
        }
        request->work();
        {
            std::lock_guard lock(mutex);
            request->stage = Request::Stage::Done;
        }
        finished.notify_all();
    }
}

void UiBridge::Shutdown() {
    std::function<void()> hook;
    {
        std::lock_guard lock(mutex);
        if (shut) {
            return;
        }
        shut = true;
        for (auto& request : queue) {
            request->stage = Request::Stage::Dropped;
        }
        queue.clear();
        hook = shutdownHook;
    }
    finished.notify_all();
    if (hook) {
        hook();
    }
}

bool UiBridge::IsShut() const {
    std::lock_guard lock(mutex);
    return shut;
}

void UiBridge::SetShutdownHook(std::function<void()> hook) {
    std::lock_guard lock(mutex);
    shutdownHook = std::move(hook);
}
