#include "LinkRig.h"

#include <QElapsedTimer>
#include <QTest>

#include <thread>

using devicesim::Reply;
using devicesim::SimulatedDevice;
using namespace std::chrono_literals;

namespace {

// What the simulated world does during the cycle under test.
enum class World {
    Answers,          // the device answers the poll and the identification
    NoCable,          // no link cable among the present devices
    CablePulled,      // the cable is pulled before the poll
    NoEcho,           // neither echo nor answer comes back
    PollSilent,       // the device does not answer the poll
    PollLate,         // the poll answer comes after its limit
    PollWrong,        // a wrong poll answer
    PollShort,        // only the first byte of a two-byte answer
    IdentifySilent,   // the poll is answered, the identification is not
    AnswersOtherPoll, // an ESC answering as if Fix Mode were the other way
};

void Arrange(LinkRig& rig, World world, bool fixMode) {
    const bool esc = rig.device.DeviceKind() == SimulatedDevice::Kind::Esc;
    const std::uint8_t poll = !esc ? 0xD4 : fixMode ? 0xD6 : 0xD5;
    switch (world) {
    case World::Answers:
        break;
    case World::NoCable:
        rig.ports.SetEntries({});
        break;
    case World::CablePulled:
        rig.simulator.HangUp();
        break;
    case World::NoEcho:
        // Nothing comes back at all: a device's answer would pass for the echo.
        rig.simulator.SetEcho(false);
        rig.device.SetAnswer(poll, std::nullopt);
        break;
    case World::PollSilent:
        rig.device.SetAnswer(poll, std::nullopt);
        break;
    case World::PollLate:
        rig.device.SetAnswer(poll, Reply{esc ? std::vector<std::uint8_t>{fixMode ? std::uint8_t(0xD7) : std::uint8_t(0x26)}
                                             : std::vector<std::uint8_t>{0xD6, 0x41},
                                         esc ? 90ms : 250ms});
        break;
    case World::PollWrong:
        rig.device.SetAnswer(poll, Reply{esc ? std::vector<std::uint8_t>{0x27} : std::vector<std::uint8_t>{0xD6, 0x42}, {}});
        break;
    case World::PollShort:
        rig.device.SetAnswer(poll, Reply{{0xD6}, {}});
        break;
    case World::IdentifySilent:
        rig.device.SetAnswer(0xD7, std::nullopt);
        break;
    case World::AnswersOtherPoll:
        // 0x26 answers the Fix Mode poll, 0xD7 the normal one: both wrong.
        rig.device.SetAnswer(poll, Reply{{fixMode ? std::uint8_t(0x26) : std::uint8_t(0xD7)}, {}});
        break;
    }
}

} // namespace

class TestConnectionMonitor : public QObject {
    Q_OBJECT

private slots:
    void oneCycle_data() {
        QTest::addColumn<bool>("programCard");
        QTest::addColumn<bool>("fixMode");
        QTest::addColumn<int>("from");
        QTest::addColumn<bool>("pending");
        QTest::addColumn<World>("world");
        QTest::addColumn<int>("to");
        QTest::addColumn<bool>("refreshed");
        QTest::addColumn<bool>("identified"); // 0xD7 was sent
        QTest::addColumn<bool>("portOpen");

        //                                          card   fix    from pend  world                     to refresh ident  open
        QTest::newRow("0: cable found") << false << false << 0 << false << World::Answers << 1 << false << false << true;
        QTest::newRow("0: no cable") << false << false << 0 << false << World::NoCable << 0 << false << false << false;
        QTest::newRow("1: cable pulled") << false << false << 1 << false << World::CablePulled << 0 << true << false << false;
        QTest::newRow("2: cable pulled") << false << false << 2 << false << World::CablePulled << 0 << true << false << false;
        QTest::newRow("2: no echo") << false << false << 2 << false << World::NoEcho << 0 << true << false << false;
        QTest::newRow("1: answered, identified") << false << false << 1 << false << World::Answers << 2 << true << true << true;
        QTest::newRow("1: answered, not identified") << false << false << 1 << false << World::IdentifySilent << 1 << false << true << true;
        QTest::newRow("2: answered, nothing pending") << false << false << 2 << false << World::Answers << 2 << false << false << true;
        QTest::newRow("2: answered, pending, identified") << false << false << 2 << true << World::Answers << 2 << true << true << true;
        QTest::newRow("2: answered, pending, not identified") << false << false << 2 << true << World::IdentifySilent << 2 << false << true << true;
        QTest::newRow("1: silent") << false << false << 1 << false << World::PollSilent << 1 << false << false << true;
        QTest::newRow("2: silent") << false << false << 2 << false << World::PollSilent << 1 << true << false << true;
        QTest::newRow("2: late") << false << false << 2 << false << World::PollLate << 1 << true << false << true;
        QTest::newRow("2: wrong") << false << false << 2 << false << World::PollWrong << 1 << true << false << true;
        QTest::newRow("fix 1: answered") << false << true << 1 << false << World::Answers << 2 << true << true << true;
        QTest::newRow("fix 2: 0x26 is wrong") << false << true << 2 << false << World::AnswersOtherPoll << 1 << true << false << true;
        QTest::newRow("2: 0xD7 is wrong outside fix") << false << false << 2 << false << World::AnswersOtherPoll << 1 << true << false << true;
        QTest::newRow("card 0: cable found") << true << false << 0 << false << World::Answers << 1 << false << false << true;
        QTest::newRow("card 1: answered, identified") << true << false << 1 << false << World::Answers << 2 << true << true << true;
        QTest::newRow("card fix 1: poll unchanged") << true << true << 1 << false << World::Answers << 2 << true << true << true;
        QTest::newRow("card 2: 0xD6 0x42 is wrong") << true << false << 2 << false << World::PollWrong << 1 << true << false << true;
        QTest::newRow("card 2: one byte is wrong") << true << false << 2 << false << World::PollShort << 1 << true << false << true;
        QTest::newRow("card 2: late") << true << false << 2 << false << World::PollLate << 1 << true << false << true;
        QTest::newRow("card 2: cable pulled") << true << false << 2 << false << World::CablePulled << 0 << true << false << false;
    }

    void oneCycle() {
        QFETCH(bool, programCard);
        QFETCH(bool, fixMode);
        QFETCH(int, from);
        QFETCH(bool, pending);
        QFETCH(World, world);
        QFETCH(int, to);
        QFETCH(bool, refreshed);
        QFETCH(bool, identified);
        QFETCH(bool, portOpen);

        LinkRig rig(programCard ? SimulatedDevice::Kind::ProgramCard : SimulatedDevice::Kind::Esc);
        rig.state.fixMode = fixMode ? 1 : 0;
        rig.state.reidentifyPending = pending ? 1 : 0;
        QVERIFY(rig.StartIn(static_cast<ConnectionState>(from)));
        Arrange(rig, world, fixMode);
        auto monitor = rig.MakeMonitor();

        monitor->RunCycle();

        QCOMPARE(static_cast<int>(rig.state.connectionState.load()), to);
        QCOMPARE(rig.refreshes.load(), refreshed ? 1 : 0);
        QCOMPARE(rig.device.CommandCount(0xD7) > 0, identified);
        QCOMPARE(rig.state.IsPortOpen(), portOpen);
        if (to == 2 && refreshed) {
            QCOMPARE(rig.state.reidentifyPending.load(), 0);
        }
        if (pending && to == 2 && !refreshed) {
            QCOMPARE(rig.state.reidentifyPending.load(), 1);
        }
    }

    void sendsNothingWithoutADevice() {
        LinkRig rig;
        rig.state.deviceMode = DeviceMode::None;
        auto monitor = rig.MakeMonitor();
        for (int cycle = 0; cycle < 3; ++cycle) {
            monitor->RunCycle();
        }
        QVERIFY(!rig.state.IsPortOpen());
        QCOMPARE(rig.state.connectionState.load(), ConnectionState::NoLink);
        QVERIFY(rig.simulator.Received().empty());
    }

    // A device that answers the poll but never its identification is asked
    // again every cycle and stays in state 1.
    void keepsAskingAnUnidentifiedDevice() {
        LinkRig rig;
        rig.device.SetAnswer(0xD7, std::nullopt);
        QVERIFY(rig.StartIn(ConnectionState::Link));
        auto monitor = rig.MakeMonitor();
        for (int cycle = 0; cycle < 3; ++cycle) {
            monitor->RunCycle();
        }
        QCOMPARE(rig.state.connectionState.load(), ConnectionState::Link);
        QCOMPARE(rig.device.CommandCount(0xD7), 3 * 2);
        QCOMPARE(rig.refreshes.load(), 0);
    }

    void unknownDeviceStillReachesState2() {
        LinkRig rig;
        rig.device.SetIdentification({7, 7, 7, 7, 7, 7, 7, 7});
        QVERIFY(rig.StartIn(ConnectionState::Link));
        rig.MakeMonitor()->RunCycle();
        QCOMPARE(rig.state.connectionState.load(), ConnectionState::Device);
        QCOMPARE(rig.state.ReadIdentification().firmwareName, QStringLiteral("Unknown Version"));
    }

    // The user chooses another device while the identification answer is on
    // its way: that answer must not make the new device show as identified,
    // and it is read as the device that was asked.
    void deviceSwitchDuringIdentification() {
        LinkRig rig;
        const SimulatedDevice::Identification bytes = SimulatedDevice::DefaultEscIdentification;
        rig.device.SetAnswer(0xD7, Reply{{bytes.begin(), bytes.end()}, 120ms});
        QVERIFY(rig.StartIn(ConnectionState::Link));
        auto monitor = rig.MakeMonitor();
        std::thread user([&rig] {
            std::this_thread::sleep_for(60ms);
            // What the Device menu does, in its order.
            rig.state.connectionState = ConnectionState::NoLink;
            rig.state.deviceMode = DeviceMode::ProgramCard;
            rig.state.ClosePort();
        });
        monitor->RunCycle();
        user.join();
        QCOMPARE(rig.device.CommandCount(0xD7), 1);
        QCOMPARE(rig.state.connectionState.load(), ConnectionState::NoLink);
        QCOMPARE(rig.refreshes.load(), 0);
        QCOMPARE(rig.state.ReadIdentification().hardwareModel, QStringLiteral("Sim ESC One"));
    }

    // The thread: finds the cable, identifies the device, notices the cable
    // being pulled and finds the cable again once it is back.
    void runningMonitorFollowsTheCable() {
        LinkRig rig;
        auto monitor = rig.MakeMonitor();
        monitor->Start();
        QTRY_COMPARE_WITH_TIMEOUT(rig.state.connectionState.load(), ConnectionState::Device, 5000);
        QTRY_COMPARE(rig.refreshes.load(), 1);

        rig.simulator.HangUp();
        QTRY_COMPARE_WITH_TIMEOUT(rig.state.connectionState.load(), ConnectionState::NoLink, 5000);
        QTRY_COMPARE(rig.refreshes.load(), 2);

        // The cable comes back as a new pseudo-terminal.
        devicesim::DeviceSimulator replugged;
        SimulatedDevice device(SimulatedDevice::Kind::Esc);
        replugged.SetResponder(device.MakeResponder());
        rig.ports.SetEntries({replugged.PortEntry()});
        QTRY_COMPARE_WITH_TIMEOUT(rig.state.connectionState.load(), ConnectionState::Device, 5000);
        monitor->Stop();
        QVERIFY(!monitor->HasThread());
    }

    // Resume after an update identifies the device again although it was
    // identified already.
    void resumeIdentifiesAgain() {
        LinkRig rig;
        auto monitor = rig.MakeMonitor();
        monitor->Start();
        QTRY_COMPARE_WITH_TIMEOUT(rig.state.connectionState.load(), ConnectionState::Device, 5000);
        monitor->Stop();
        rig.device.SetIdentification({9, 9, 9, 9, 0x31, 0x0A, 0x02, 0x01});
        monitor->Resume();
        QTRY_COMPARE_WITH_TIMEOUT(rig.state.ReadIdentification().firmwareName, QStringLiteral("Unknown Version"), 5000);
        QCOMPARE(rig.state.reidentifyPending.load(), 0);
        monitor->Stop();
    }

    // Stopping cuts the pause short: the loop ends within its current cycle.
    void stopsWithinACycle() {
        LinkRig rig;
        rig.state.deviceMode = DeviceMode::None;
        auto monitor = rig.MakeMonitor();
        monitor->Start();
        QTest::qWait(50);
        QElapsedTimer stopping;
        stopping.start();
        monitor->Stop();
        QVERIFY2(stopping.elapsed() < 1000, "the monitor did not stop");
        monitor->Stop(); // twice is harmless
        monitor->Start();
        QVERIFY(monitor->HasThread());
    }

    // A close from the window's thread in the middle of exchanges never
    // overlaps one; run under ThreadSanitizer this shows any race on the port.
    void closeFromAnotherThreadDuringExchanges() {
        LinkRig rig;
        auto monitor = rig.MakeMonitor();
        monitor->Start();
        for (int round = 0; round < 20; ++round) {
            QTest::qWait(15);
            rig.state.ClosePort();
            rig.state.connectionState = ConnectionState::NoLink;
        }
        monitor->Stop();
        monitor->RunCycle();
        QVERIFY(rig.state.connectionState.load() != ConnectionState::Device || rig.state.IsPortOpen());
    }
};

QTEST_GUILESS_MAIN(TestConnectionMonitor)
#include "test_connection_monitor.moc"
