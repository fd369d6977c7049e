#include "UiBridge.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <future>
#include <thread>

// The bridge carries work to the window's thread (here: the test's thread)
// and must never leave a caller hanging once the window is going away.
class TestUiBridge : public QObject {
    Q_OBJECT

private slots:
    void runsAtOnceOnTheWindowThread() {
        UiBridge bridge;
        bool ran = false;
        QVERIFY(bridge.Run([&] { ran = true; }));
        QVERIFY(ran);
    }

    void carriesWorkToTheWindowThreadAndWaits() {
        UiBridge bridge;
        const auto windowThread = std::this_thread::get_id();
        std::atomic<bool> ranOnWindowThread{false};
        auto caller = std::async(std::launch::async, [&] {
            const auto result = bridge.Call([&] {
                ranOnWindowThread = std::this_thread::get_id() == windowThread;
                return 42;
            });
            return result.value_or(-1);
        });
        // The caller waits until the window's thread gets round to the work.
        QCOMPARE(caller.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
        QTRY_COMPARE(caller.wait_for(std::chrono::milliseconds(0)), std::future_status::ready);
        QCOMPARE(caller.get(), 42);
        QVERIFY(ranOnWindowThread);
    }

    void shutdownReleasesWaitingCallersAndRefusesLaterWork() {
        UiBridge bridge;
        std::atomic<bool> ran{false};
        auto waiting = std::async(std::launch::async, [&] { return bridge.Run([&] { ran = true; }); });
        QCOMPARE(waiting.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
        // The window's thread shuts the bridge without ever draining it: as it
        // does when it closes and then joins the threads.
        bridge.Shutdown();
        QCOMPARE(waiting.wait_for(std::chrono::seconds(5)), std::future_status::ready);
        QVERIFY(!waiting.get());
        QCoreApplication::processEvents();
        QVERIFY(!ran);

        auto later = std::async(std::launch::async, [&] { return bridge.Run([&] { ran = true; }); });
        QCOMPARE(later.wait_for(std::chrono::seconds(5)), std::future_status::ready);
        QVERIFY(!later.get());
        QVERIFY(!bridge.Run([&] { ran = true; }));
        QVERIFY(!ran);
    }

    // Work that is already running (a message box in its own event loop) is
    // ended by the shutdown hook and then completes; its caller gets true.
    void shutdownClosesWorkThatIsRunning() {
        UiBridge bridge;
        QEventLoop* openBox = nullptr;
        bridge.SetShutdownHook([&] {
            if (openBox) {
                openBox->quit();
            }
        });
        std::atomic<bool> finished{false};
        auto caller = std::async(std::launch::async, [&] {
            return bridge.Run([&] {
                QEventLoop box;
                openBox = &box;
                box.exec();
                openBox = nullptr;
                finished = true;
            });
        });
        // The window closes while the box is open.
        QTimer::singleShot(50, [&] { bridge.Shutdown(); });
        QTRY_VERIFY(finished);
        QCOMPARE(caller.wait_for(std::chrono::seconds(5)), std::future_status::ready);
        QVERIFY(caller.get());
    }

    void manyThreadsAtOnce() {
        UiBridge bridge;
        int counter = 0; // touched on the window's thread only
        std::vector<std::future<void>> callers;
        for (int thread = 0; thread < 4; ++thread) {
            callers.push_back(std::async(std::launch::async, [&] {
                for (int i = 0; i < 50; ++i) {
                    bridge.Run([&] { ++counter; });
                }
            }));
        }
        QTRY_COMPARE(counter, 200);
        for (auto& caller : callers) {
            caller.get();
        }
    }
};

QTEST_GUILESS_MAIN(TestUiBridge)
#include "test_uibridge.moc"
