// The serial port against a simulated cable and device on a pseudo-terminal.

#include "CSerialPort.h"
#include "DeviceSimulator.h"
#include "SimulatedDevice.h"

#include <QTest>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <memory>
#include <numeric>
#include <termios.h>
#include <thread>
#include <unistd.h>

using devicesim::DeviceSimulator;
using devicesim::Reply;
using devicesim::SimulatedDevice;
using namespace std::chrono_literals;

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr int ReplyTimeoutMs = 200;

Reply Answer(Bytes bytes, std::chrono::milliseconds delay = 0ms) {
    return Reply{std::move(bytes), delay};
}

Bytes AllByteValues() {
    Bytes values(256);
    std::iota(values.begin(), values.end(), std::uint8_t{0});
    return values;
}

// Leaves the terminal the way a careless earlier user might: canonical input,
// local echo, XON/XOFF, CR and NL translation, 7-bit input.
bool CookTerminal(const QString& path) {
    const int fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        return false;
    }
    termios settings{};
    bool cooked = tcgetattr(fd, &settings) == 0;
    settings.c_iflag |= IXON | IXOFF | ICRNL | INLCR | ISTRIP;
    settings.c_oflag |= OPOST | ONLCR;
    settings.c_lflag |= ICANON | ECHO | ISIG | IEXTEN;
    settings.c_cflag = (settings.c_cflag & ~CSIZE) | CS7 | PARENB;
    cooked = cooked && tcsetattr(fd, TCSANOW, &settings) == 0;
    ::close(fd);
    return cooked;
}

} // namespace

Q_DECLARE_METATYPE(Reply)
Q_DECLARE_METATYPE(std::optional<Reply>)

class TestSerialPort : public QObject {
    Q_OBJECT

    std::unique_ptr<DeviceSimulator> simulator;
    std::unique_ptr<SimulatedDevice> device;

    QString PortName() const { return simulator->SlavePath(); }

    // True when the port completes a poll exchange with the ESC.
    static bool PollsEsc(CSerialPort& port) {
        return port.SendCommand(0xD5) && port.rxBuffer[0] == 0xD5 &&
               port.Read(port.rxBuffer.data(), 1, ReplyTimeoutMs) && port.rxBuffer[0] == 0x26;
    }

private slots:
    void init() {
        simulator = std::make_unique<DeviceSimulator>();
        QVERIFY(simulator->IsValid());
        device = std::make_unique<SimulatedDevice>(SimulatedDevice::Kind::Esc);
        simulator->SetResponder(device->MakeResponder());
    }

    void cleanup() {
        simulator.reset();
        device.reset();
    }

    void deviceNameFor_data() {
        QTest::addColumn<QString>("comName");
        QTest::addColumn<QString>("deviceName");
        QTest::newRow("plain name") << "ttyUSB0"
                                    << "/dev/ttyUSB0";
        QTest::newRow("name in a subfolder") << "pts/3"
                                             << "/dev/pts/3";
        QTest::newRow("full path") << "/dev/pts/3"
                                   << "/dev/pts/3";
        QTest::newRow("other folder") << "/tmp/port"
                                      << "/tmp/port";
    }
    void deviceNameFor() {
        QFETCH(QString, comName);
        QFETCH(QString, deviceName);
        QCOMPARE(CSerialPort::DeviceNameFor(comName), deviceName);
    }

    void opensByFullPathAndByShortName_data() {
        QTest::addColumn<bool>("shortName");
        QTest::newRow("full path") << false;
        QTest::newRow("name under /dev") << true;
    }
    void opensByFullPathAndByShortName() {
        QFETCH(bool, shortName);
        QString name = PortName();
        if (shortName) {
            QVERIFY(name.startsWith("/dev/"));
            name = name.mid(5);
        }
        CSerialPort port;
        QVERIFY(port.Open(name));
        QVERIFY(port.IsOpen());
        QVERIFY(PollsEsc(port));
    }

    void openOnOpenPortFailsAndPortKeepsWorking() {
        CSerialPort port;
        QVERIFY(port.Open(PortName()));
        QVERIFY(!port.Open(PortName()));
        QVERIFY(port.IsOpen());
        QVERIFY(PollsEsc(port));
    }

    void openFailureLeavesPortClosed_data() {
        QTest::addColumn<QString>("comName");
        QTest::newRow("missing device") << "ttyNoSuchPort";
        QTest::newRow("missing path") << "/dev/no/such/port";
        QTest::newRow("empty name") << "";
        QTest::newRow("not a terminal") << "/dev/null";
    }
    void openFailureLeavesPortClosed() {
        QFETCH(QString, comName);
        CSerialPort port;
        QVERIFY(!port.Open(comName));
        QVERIFY(!port.IsOpen());
        QVERIFY(!port.Purge());
        // The failed attempt must not hold anything that blocks the real port.
        QVERIFY(port.Open(PortName()));
        QVERIFY(PollsEsc(port));
    }

    void secondHandleCannotOpenWhileOpen() {
        CSerialPort first;
        CSerialPort second;
        QVERIFY(first.Open(PortName()));
        QVERIFY(!second.Open(PortName()));
        QVERIFY(!second.IsOpen());
        QVERIFY(PollsEsc(first));

        first.Close();
        QVERIFY(second.Open(PortName()));
        QVERIFY(PollsEsc(second));
    }

    void destructionReleasesThePort() {
        {
            CSerialPort port;
            QVERIFY(port.Open(PortName()));
        }
        CSerialPort port;
        QVERIFY(port.Open(PortName()));
        QVERIFY(PollsEsc(port));
    }

    void closeTwiceIsHarmless() {
        CSerialPort port;
        QVERIFY(port.Open(PortName()));
        port.Close();
        port.Close();
        QVERIFY(!port.IsOpen());
        QVERIFY(port.Open(PortName()));
        QVERIFY(PollsEsc(port));
    }

    void operationsOnClosedPortTouchNothing_data() {
        QTest::addColumn<bool>("usedBefore");
        QTest::newRow("never opened") << false;
        QTest::newRow("closed after use") << true;
    }
    void operationsOnClosedPortTouchNothing() {
        QFETCH(bool, usedBefore);
        CSerialPort port;
        if (usedBefore) {
            QVERIFY(port.Open(PortName()));
            QVERIFY(PollsEsc(port));
            port.Close();
        }
        simulator->ClearReceived();
        simulator->Inject({0x42});
        port.rxBuffer.fill(0xEE);
        Bytes destination(4, 0xEE);
        const Bytes source{0xD5, 0xD6};

        QVERIFY(!port.Read(destination.data(), 1, 50));
        QVERIFY(!port.Write(source.data(), 2));
        QVERIFY(!port.Purge());
        QVERIFY(!port.SendCommand(0xD5));

        QVERIFY(!port.IsOpen());
        QCOMPARE(destination, Bytes(4, 0xEE));
        QVERIFY(std::all_of(port.rxBuffer.begin(), port.rxBuffer.end(), [](auto b) { return b == 0xEE; }));
        QVERIFY(!simulator->WaitForReceived(1, 100ms));
    }

    // The echo only has to arrive; its value is not checked.
    void sendCommandNeedsAnEcho_data() {
        QTest::addColumn<bool>("echo");
        QTest::addColumn<std::optional<Reply>>("answer");
        QTest::addColumn<bool>("succeeds");
        QTest::addColumn<int>("firstByte");
        QTest::newRow("echo") << true << std::optional(Answer({0x26})) << true << 0xD5;
        QTest::newRow("echo, device silent") << true << std::optional<Reply>() << true << 0xD5;
        QTest::newRow("no echo, device silent") << false << std::optional<Reply>() << false << 0xEE;
        QTest::newRow("no echo, device answers") << false << std::optional(Answer({0x26})) << true << 0x26;
        QTest::newRow("no echo, answer too late")
            << false << std::optional(Answer({0x26}, 700ms)) << false << 0xEE;
    }
    void sendCommandNeedsAnEcho() {
        QFETCH(bool, echo);
        QFETCH(std::optional<Reply>, answer);
        QFETCH(bool, succeeds);
        QFETCH(int, firstByte);
        simulator->SetEcho(echo);
        device->SetAnswer(0xD5, answer);
        CSerialPort port;
        QVERIFY(port.Open(PortName()));
        port.rxBuffer.fill(0xEE);

        QCOMPARE(port.SendCommand(0xD5), succeeds);
        QCOMPARE(int{port.rxBuffer[0]}, firstByte);
        QVERIFY(port.IsOpen());
        // The command went out whether or not its echo came back.
        QVERIFY(simulator->WaitForReceived(1, 1s));
        QCOMPARE(simulator->Received(), Bytes{0xD5});
    }

    void readNeedsEveryByteWithinTheLimit_data() {
        QTest::addColumn<Reply>("answer");
        QTest::addColumn<bool>("succeeds");
        QTest::addColumn<int>("bytesLanded");
        const Bytes eight{1, 2, 3, 4, 5, 6, 7, 8};
        const Bytes seven(eight.begin(), eight.end() - 1);
        QTest::newRow("8 of 8") << Answer(eight) << true << 8;
        QTest::newRow("8 of 8, late but in time") << Answer(eight, 100ms) << true << 8;
        QTest::newRow("7 of 8") << Answer(seven) << false << 7;
        QTest::newRow("none of 8") << Answer({}) << false << 0;
        QTest::newRow("8 of 8 after the limit") << Answer(eight, 400ms) << false << 0;
    }
    void readNeedsEveryByteWithinTheLimit() {
        QFETCH(Reply, answer);
        QFETCH(bool, succeeds);
        QFETCH(int, bytesLanded);
        device->SetAnswer(0xD7, answer);
        CSerialPort port;
        QVERIFY(port.Open(PortName()));

        QVERIFY(port.SendCommand(0xD7));
        port.rxBuffer.fill(0xEE);
        QCOMPARE(port.Read(port.rxBuffer.data(), 8, ReplyTimeoutMs), succeeds);
        // Bytes that arrived are in place; the rest keep their old content.
        for (int i = 0; i < 8; ++i) {
            QCOMPARE(int{port.rxBuffer[i]}, i < bytesLanded ? i + 1 : 0xEE);
        }
        QVERIFY(port.IsOpen());
    }

    void openDiscardsWhatWaitedOnTheLine() {
        simulator->Inject({0x26, 0x01});
        // The kept slave side holds the bytes until somebody reads or purges.
        std::this_thread::sleep_for(50ms);
        CSerialPort port;
        QVERIFY(port.Open(PortName()));
        QVERIFY(!port.Read(port.rxBuffer.data(), 1, 100));
        QVERIFY(PollsEsc(port));
    }

    // A device that says more than asked: the next exchange starts clean.
    void purgeDropsLateBytes() {
        device->SetAnswer(0xD5, Answer({0x26, 0x55, 0x66}));
        CSerialPort port;
        QVERIFY(port.Open(PortName()));
        QVERIFY(port.SendCommand(0xD5));
        QVERIFY(port.Read(port.rxBuffer.data(), 1, ReplyTimeoutMs));
        QCOMPARE(int{port.rxBuffer[0]}, 0x26);

        device->SetAnswer(0xD5, Answer({0x26}));
        QVERIFY(PollsEsc(port));

        simulator->Inject({0x01, 0x02, 0x03});
        QVERIFY(port.Read(port.rxBuffer.data(), 1, ReplyTimeoutMs));
        QVERIFY(port.Purge());
        QVERIFY(!port.Read(port.rxBuffer.data(), 1, 100));
    }

    // Flow control and character translation would corrupt 0x11, 0x13, 0x0D,
    // 0x0A, 0x7F and the high bit; the port must undo whatever the terminal
    // was left with.
    void everyByteValuePassesUnchanged() {
        QVERIFY(CookTerminal(PortName()));
        simulator->SetResponder({});
        CSerialPort port;
        QVERIFY(port.Open(PortName()));
        const Bytes values = AllByteValues();

        Bytes echo(values.size(), 0);
        for (std::size_t offset = 0; offset < values.size(); offset += 128) {
            QVERIFY(port.Write(values.data() + offset, 128));
            QVERIFY(port.Read(echo.data() + offset, 128, 1000));
        }
        QCOMPARE(echo, values);
        QVERIFY(simulator->WaitForReceived(values.size(), 1s));
        QCOMPARE(simulator->Received(), values);

        simulator->Inject(values);
        Bytes fromDevice(values.size(), 0);
        for (std::size_t offset = 0; offset < values.size(); offset += 128) {
            QVERIFY(port.Read(fromDevice.data() + offset, 128, 1000));
        }
        QCOMPARE(fromDevice, values);
    }

    void hangUpFailsPendingReadAtOnce() {
        CSerialPort port;
        QVERIFY(port.Open(PortName()));
        QVERIFY(PollsEsc(port));

        constexpr int LongLimitMs = 10000;
        std::atomic<bool> readResult{true};
        std::atomic<bool> readDone{false};
        const auto start = std::chrono::steady_clock::now();
        std::thread reader([&] {
            readResult = port.Read(port.rxBuffer.data(), 1, LongLimitMs);
            readDone = true;
        });
        std::this_thread::sleep_for(100ms);
        QVERIFY(!readDone);
        simulator->HangUp();
        reader.join();
        const auto waited = std::chrono::steady_clock::now() - start;

        QVERIFY(!readResult);
        QVERIFY2(waited < std::chrono::milliseconds(LongLimitMs / 2), "the read waited out its limit");
        const std::uint8_t command = 0xD5;
        QVERIFY(!port.Write(&command, 1));
        QVERIFY(!port.SendCommand(0xD5));
        QVERIFY(!port.Read(port.rxBuffer.data(), 1, LongLimitMs));
        port.Close();
        QVERIFY(!port.IsOpen());
    }
};

QTEST_GUILESS_MAIN(TestSerialPort)
#include "test_serialport.moc"
