#include "LinkDiscovery.h"

#include <QTest>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

// The master side of a pseudo-terminal; its slave stands in for a cable's port.
class PseudoTerminal {
public:
    PseudoTerminal() {
        masterFd = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (masterFd >= 0 && grantpt(masterFd) == 0 && unlockpt(masterFd) == 0) {
            if (const char* name = ptsname(masterFd)) {
                slavePath = QString::fromLocal8Bit(name);
            }
        }
    }
    ~PseudoTerminal() {
        if (masterFd >= 0) {
            close(masterFd);
        }
    }
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    bool IsReady() const { return !slavePath.isEmpty(); }
    const QString& SlavePath() const { return slavePath; }

    // True when a byte written on the slave side arrived here within the limit.
    bool ReceivedByte(int timeoutMs) const {
        pollfd waiter{masterFd, POLLIN, 0};
        if (poll(&waiter, 1, timeoutMs) != 1 || (waiter.revents & POLLIN) == 0) {
            return false;
        }
        char byte = 0;
        return read(masterFd, &byte, 1) == 1;
    }

private:
    int masterFd = -1;
    QString slavePath;
};

constexpr const char* CableA = "\\\\?\\usb#vid_10c4&pid_ea60#0001#{86e0d1e0}";
constexpr const char* CableB = "\\\\?\\usb#vid_10c8&pid_ea61#0002#{86e0d1e0}";
constexpr const char* OtherDevice = "\\\\?\\usb#vid_0403&pid_6001#A5#{86e0d1e0}";
// Generous: only catches a byte that never comes.
constexpr int ArrivalLimitMs = 2000;

} // namespace

// One friendly-name template per entry: %A and %B stand for the two
// pseudo-terminals' slave paths.
using EntryTemplates = QList<QPair<QString, QString>>;

class TestDiscovery : public QObject {
    Q_OBJECT

private slots:
    void isLinkCable_data();
    void isLinkCable();
    void comNameFromFriendlyName_data();
    void comNameFromFriendlyName();

    void init();
    void cleanup();
    void discoverLink_data();
    void discoverLink();
    void discoverLinkSkipsCableHeldElsewhere();
    void discoverLinkFailsWhilePortStillOpen();
    void discoverLinkEmptiesPreviousList();

private:
    std::vector<SSerInfo> Entries(const EntryTemplates& templates) const;

    std::unique_ptr<PseudoTerminal> ptyA;
    std::unique_ptr<PseudoTerminal> ptyB;
};

void TestDiscovery::isLinkCable_data() {
    QTest::addColumn<QString>("devicePath");
    QTest::addColumn<bool>("isCable");

    QTest::newRow("first identifier") << QString(CableA) << true;
    QTest::newRow("second identifier") << QString(CableB) << true;
    QTest::newRow("other vendor") << QString(OtherDevice) << false;
    QTest::newRow("upper case") << QStringLiteral("\\\\?\\USB#VID_10C4&PID_EA60#0001") << false;
    QTest::newRow("mixed case") << QStringLiteral("\\\\?\\usb#vid_10C4&pid_ea60#0001") << false;
    QTest::newRow("only at first character") << QStringLiteral("vid_10c4&pid_ea60#0001") << false;
    QTest::newRow("second only at first character") << QStringLiteral("vid_10c8&pid_ea61") << false;
    QTest::newRow("at first character and later")
        << QStringLiteral("vid_10c4&pid_ea60#vid_10c4&pid_ea60") << true;
    QTest::newRow("at second character") << QStringLiteral("#vid_10c4&pid_ea60") << true;
    QTest::newRow("sysfs form") << QStringLiteral("/sys/devices/usb1/1-1/1-1:1.0/ttyUSB0#vid_10c4&pid_ea60")
                                << true;
    QTest::newRow("vendor and product of different cables")
        << QStringLiteral("/x#vid_10c4&pid_ea61") << false;
    QTest::newRow("truncated") << QStringLiteral("/x#vid_10c4&pid_ea6") << false;
    QTest::newRow("empty") << QString() << false;
}

void TestDiscovery::isLinkCable() {
    QFETCH(QString, devicePath);
    QFETCH(bool, isCable);
    QCOMPARE(LinkDiscovery::IsLinkCable(devicePath), isCable);
}

void TestDiscovery::comNameFromFriendlyName_data() {
    QTest::addColumn<QString>("friendlyName");
    QTest::addColumn<QString>("comName");

    QTest::newRow("bridge") << QStringLiteral("USB to UART Bridge (COM12)") << QStringLiteral("COM12");
    QTest::newRow("only the COM name") << QStringLiteral("COM3)") << QStringLiteral("COM3");
    QTest::newRow("no closing parenthesis") << QStringLiteral("USB to UART Bridge (COM12") << QString();
    QTest::newRow("COMBO before the COM name")
        << QStringLiteral("COMBO adapter (COM3)") << QStringLiteral("COMBO adapter (COM3");
    QTest::newRow("lower-case com is not COM")
        << QStringLiteral("com port (x)") << QStringLiteral("com port (x");
    QTest::newRow("no COM: whole text up to the parenthesis")
        << QStringLiteral("/dev/ttyUSB0)") << QStringLiteral("/dev/ttyUSB0");
    QTest::newRow("text after the parenthesis")
        << QStringLiteral("/dev/pts/3) Bridge") << QStringLiteral("/dev/pts/3");
    QTest::newRow("parenthesis before COM is ignored")
        << QStringLiteral("Bridge) (COM7)") << QStringLiteral("COM7");
    QTest::newRow("empty") << QString() << QString();
}

void TestDiscovery::comNameFromFriendlyName() {
    QFETCH(QString, friendlyName);
    QFETCH(QString, comName);
    QCOMPARE(LinkDiscovery::ComNameFromFriendlyName(friendlyName), comName);
}

void TestDiscovery::init() {
    ptyA = std::make_unique<PseudoTerminal>();
    ptyB = std::make_unique<PseudoTerminal>();
    QVERIFY(ptyA->IsReady());
    QVERIFY(ptyB->IsReady());
}

void TestDiscovery::cleanup() {
    ptyA.reset();
    ptyB.reset();
}

std::vector<SSerInfo> TestDiscovery::Entries(const EntryTemplates& templates) const {
    std::vector<SSerInfo> entries;
    for (const auto& [devicePath, friendlyName] : templates) {
        QString name = friendlyName;
        name.replace(QStringLiteral("%A"), ptyA->SlavePath())
            .replace(QStringLiteral("%B"), ptyB->SlavePath());
        entries.push_back(SSerInfo{devicePath, name});
    }
    return entries;
}

void TestDiscovery::discoverLink_data() {
    QTest::addColumn<EntryTemplates>("entries");
    QTest::addColumn<bool>("found");
    QTest::addColumn<QString>("openedPty");

    const QString cableA(CableA);
    const QString cableB(CableB);
    const QString other(OtherDevice);

    QTest::newRow("two cables: the first wins")
        << EntryTemplates{{cableA, "%A)"}, {cableB, "%B)"}} << true << "A";
    QTest::newRow("two cables, second identifier listed first")
        << EntryTemplates{{cableB, "%B)"}, {cableA, "%A)"}} << true << "B";
    QTest::newRow("other device listed first is not opened")
        << EntryTemplates{{other, "%A)"}, {cableB, "%B)"}} << true << "B";
    QTest::newRow("missing port skipped")
        << EntryTemplates{{cableA, "Bridge (/dev/zuda-no-such-port)"}, {cableB, "%B)"}} << true << "B";
    QTest::newRow("COMBO name skipped")
        << EntryTemplates{{cableA, "COMBO adapter (%A)"}, {cableB, "%B)"}} << true << "B";
    QTest::newRow("no closing parenthesis skipped")
        << EntryTemplates{{cableA, "%A"}, {cableB, "%B)"}} << true << "B";
    QTest::newRow("upper-case identifiers skipped")
        << EntryTemplates{{"\\\\?\\USB#VID_10C4&PID_EA60#0001", "%A)"}, {cableB, "%B)"}} << true << "B";
    QTest::newRow("no cable") << EntryTemplates{{other, "%A)"}, {"vid_10c4&pid_ea60", "%B)"}} << false << "";
    QTest::newRow("cable that cannot open") << EntryTemplates{{cableA, "COMBO adapter (%A)"}} << false << "";
    QTest::newRow("nothing present") << EntryTemplates{} << false << "";
}

void TestDiscovery::discoverLink() {
    QFETCH(EntryTemplates, entries);
    QFETCH(bool, found);
    QFETCH(QString, openedPty);

    FixedPortSource source(Entries(entries));
    CSerialPort port;
    QCOMPARE(LinkDiscovery::DiscoverLink(port, source), found);
    QCOMPARE(port.IsOpen(), found);

    QCOMPARE(port.portList.size(), size_t(entries.size()));
    const std::vector<SSerInfo> expected = Entries(entries);
    for (size_t i = 0; i < expected.size(); ++i) {
        QCOMPARE(port.portList[i].devicePath, expected[i].devicePath);
        QCOMPARE(port.portList[i].friendlyName, expected[i].friendlyName);
    }

    if (found) {
        // The byte leaves through the pty that was opened and no other.
        const std::uint8_t probe = 0x5A;
        QVERIFY(port.Write(&probe, 1));
        const PseudoTerminal& opened = openedPty == "A" ? *ptyA : *ptyB;
        const PseudoTerminal& untouched = openedPty == "A" ? *ptyB : *ptyA;
        QVERIFY(opened.ReceivedByte(ArrivalLimitMs));
        QVERIFY(!untouched.ReceivedByte(0));
    }
}

void TestDiscovery::discoverLinkSkipsCableHeldElsewhere() {
    CSerialPort otherProgram;
    QVERIFY(otherProgram.Open(ptyA->SlavePath()));
    FixedPortSource source(
        {SSerInfo{CableA, ptyA->SlavePath() + ")"}, SSerInfo{CableB, ptyB->SlavePath() + ")"}});
    CSerialPort port;
    QVERIFY(LinkDiscovery::DiscoverLink(port, source));

    const std::uint8_t probe = 0x5A;
    QVERIFY(port.Write(&probe, 1));
    QVERIFY(ptyB->ReceivedByte(ArrivalLimitMs));
    QVERIFY(!ptyA->ReceivedByte(0));
}

void TestDiscovery::discoverLinkFailsWhilePortStillOpen() {
    // A close requested elsewhere has not happened yet: no cable opens, the
    // port keeps its link, the next cycle tries again.
    CSerialPort port;
    QVERIFY(port.Open(ptyA->SlavePath()));
    FixedPortSource source({SSerInfo{CableB, ptyB->SlavePath() + ")"}});
    QVERIFY(!LinkDiscovery::DiscoverLink(port, source));
    QVERIFY(port.IsOpen());

    const std::uint8_t probe = 0x5A;
    QVERIFY(port.Write(&probe, 1));
    QVERIFY(ptyA->ReceivedByte(ArrivalLimitMs));
    QVERIFY(!ptyB->ReceivedByte(0));
}

void TestDiscovery::discoverLinkEmptiesPreviousList() {
    CSerialPort port;
    port.portList.push_back(SSerInfo{CableA, ptyA->SlavePath() + ")"});
    FixedPortSource source;
    QVERIFY(!LinkDiscovery::DiscoverLink(port, source));
    QVERIFY(port.portList.empty());
    QVERIFY(!port.IsOpen());

    // The source changes while the program runs: the next call sees the cable.
    source.SetEntries({SSerInfo{CableA, ptyA->SlavePath() + ")"}});
    QVERIFY(LinkDiscovery::DiscoverLink(port, source));
    QCOMPARE(port.portList.size(), size_t(1));
}

QTEST_GUILESS_MAIN(TestDiscovery)
#include "test_discovery.moc"
