// The program's own way to the device on Linux, end to end: the real sysfs
// walker on /sys, the device node under /dev, discovery, the ESC poll and the
// identification. /sys and /dev are replaced by a fake USB adapter and the
// simulator's terminal inside a private mount namespace, so nothing of the
// machine's own devices is touched and no mount outlives the test.
//
// The namespace work runs in a child: the test binary started again with
// LinkSideRole. A fresh process instead of a bare fork, because the
// simulator's thread already runs in the test process and only the calling
// thread survives a fork. The child reports on stdout, the test compares.

#include "CatalogueFixture.h"
#include "ConnectionMonitor.h"
#include "DeviceSimulator.h"
#include "LinkRig.h"
#include "LinkState.h"
#include "PortSource.h"
#include "ProductCatalogue.h"
#include "SimulatedDevice.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sched.h>
#include <string>
#include <sys/mount.h>
#include <system_error>
#include <unistd.h>

namespace {

constexpr const char* LinkSideRole = "--link-side-in-namespace";

// The child's exit codes.
enum ChildExit : int {
    Ran = 0,                // the link side ran; its report is on stdout
    SetupFailed = 1,        // a step that must work did not; the reason is on stderr
    NamespacesRefused = 77, // neither root nor an unprivileged user namespace may mount
    TerminalRefused = 78,   // a user namespace may not use the outer pseudo-terminal
};

// Enough for discovery, then the poll with its identification, with room for
// a slow first exchange.
constexpr int MaxCycles = 5;
constexpr int ChildLimitMs = 30000;

// The adapter as the kernel shows it: the USB device 1-1 with its interface
// 1-1:1.0, the usb-serial port ttyUSB0 under it and the tty class device below.
const QString UsbDevice = QStringLiteral("devices/pci0000:00/0000:00:14.0/usb1/1-1");
const QString UsbPort = UsbDevice + QStringLiteral("/1-1:1.0/ttyUSB0");
const QByteArray AdapterSerial = "ZUDA0042";

// ---- the child: private namespace, fake /sys and /dev, the link side ----

struct ChildArguments {
    std::string fakeSysfs;
    std::string devStaging;
    std::string terminal;
    QString catalogueDirectory;
};

int Refuse(int code, const char* step) {
    std::fprintf(stderr, "%s: %s\n", step, std::strerror(errno));
    return code;
}

bool WriteProcFile(const char* path, const std::string& text) {
    const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ::close(fd);
    return written;
}

bool IsRefusal(int error) {
    return error == EPERM || error == EINVAL || error == ENOSPC || error == ENOSYS;
}

// Root gets a mount namespace of its own; anyone else a user namespace with
// it, mapped to the caller's ids.
int EnterPrivateMountNamespace(bool& inUserNamespace) {
    inUserNamespace = false;
    if (::geteuid() == 0 && ::unshare(CLONE_NEWNS) == 0) {
        return Ran;
    }
    const uid_t uid = ::geteuid();
    const gid_t gid = ::getegid();
    if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) {
        return Refuse(IsRefusal(errno) ? NamespacesRefused : SetupFailed, "unshare");
    }
    inUserNamespace = true;
    if (!WriteProcFile("/proc/self/setgroups", "deny") ||
        !WriteProcFile("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1") ||
        !WriteProcFile("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1")) {
        return Refuse(NamespacesRefused, "user namespace id maps");
    }
    return Ran;
}

// The fake tree replaces all of /sys, so its relative links cannot lead back
// into the real one. /dev becomes a tmpfs holding only ttyUSB0, which is the
// simulator's terminal: staged first, because the terminal's own path lies
// under the /dev that the tmpfs covers.
int MountFakeSystem(const ChildArguments& arguments, bool inUserNamespace) {
    // Some hardened kernels let a user namespace exist but not mount.
    const int refused = inUserNamespace ? NamespacesRefused : SetupFailed;
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
        return Refuse(refused, "make / private");
    }
    if (::mount(arguments.fakeSysfs.c_str(), "/sys", nullptr, MS_BIND, nullptr) != 0) {
        return Refuse(refused, "bind fake tree on /sys");
    }
    if (::mount("tmpfs", arguments.devStaging.c_str(), "tmpfs", MS_NOSUID | MS_NOEXEC, "mode=0755") != 0) {
        return Refuse(refused, "tmpfs on staging folder");
    }
    const std::string node = arguments.devStaging + "/ttyUSB0";
    const int created = ::open(node.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
    if (created < 0) {
        return Refuse(SetupFailed, "create ttyUSB0");
    }
    ::close(created);
    if (::mount(arguments.terminal.c_str(), node.c_str(), nullptr, MS_BIND, nullptr) != 0) {
        return Refuse(inUserNamespace ? TerminalRefused : SetupFailed, "bind terminal on ttyUSB0");
    }
    if (::mount(arguments.devStaging.c_str(), "/dev", nullptr, MS_MOVE, nullptr) != 0) {
        return Refuse(refused, "move staging tmpfs to /dev");
    }
    if (inUserNamespace) {
        // The outer devpts may refuse its terminal to a user namespace.
        const int probe = ::open("/dev/ttyUSB0", O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (probe < 0) {
            return Refuse(TerminalRefused, "open /dev/ttyUSB0");
        }
        ::close(probe);
    }
    return Ran;
}

void Emit(const QStringList& fields) {
    const QByteArray line = fields.join(u'\t').toUtf8() + '\n';
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stdout);
}

int RunLinkSide(const ChildArguments& arguments) {
    // Opened before /dev is replaced: the catalogue library may want its
    // random source while opening.
    ProductCatalogue catalogue;
    if (catalogue.OpenCatalogue(arguments.catalogueDirectory) != CatalogueOpenResult::Opened) {
        std::fprintf(stderr, "catalogue did not open\n");
        return SetupFailed;
    }

    bool inUserNamespace = false;
    if (const int entered = EnterPrivateMountNamespace(inUserNamespace); entered != Ran) {
        return entered;
    }
    if (const int mounted = MountFakeSystem(arguments, inUserNamespace); mounted != Ran) {
        return mounted;
    }

    LinkState state;
    state.deviceMode = DeviceMode::Esc;
    SysfsPortSource ports; // /sys and /dev, as the program constructs it
    ConnectionMonitor monitor(state, catalogue, ports, {});
    for (int cycle = 0; cycle < MaxCycles && state.connectionState != ConnectionState::Device; ++cycle) {
        monitor.RunCycle();
        Emit({QStringLiteral("state"), QString::number(static_cast<int>(state.connectionState.load()))});
    }

    const std::vector<SSerInfo> seen = state.WithPort([](CSerialPort& port) { return port.portList; });
    for (const SSerInfo& entry : seen) {
        Emit({QStringLiteral("port"), entry.devicePath, entry.friendlyName});
    }
    const Identification found = state.ReadIdentification();
    Emit({QStringLiteral("identification"), found.hardwareModel, found.firmwareModel, found.firmwareName,
          found.firmwareFileName, found.updateType});
    std::fflush(stdout);
    return Ran;
}

int RunLinkSideRole(int argc, char** argv) {
    constexpr int ExpectedArguments = 6;
    if (argc != ExpectedArguments) {
        std::fprintf(stderr, "usage: %s %s <fake sysfs> <dev staging> <terminal> <catalogue folder>\n",
                     argv[0], LinkSideRole);
        return SetupFailed;
    }
    return RunLinkSide({argv[2], argv[3], argv[4], QString::fromLocal8Bit(argv[5])});
}

// ---- the test process: fake tree, catalogue, simulator, child ----

// A sysfs look-alike linked like the real one: class entries and `device`
// links are relative symlinks into devices/.
class FakeSysfs {
public:
    bool IsValid() const { return folder.isValid(); }
    QString Root() const { return folder.path() + QStringLiteral("/sys"); }

    bool WriteFile(const QString& relativePath, const QByteArray& content) const {
        const QString path = Root() + u'/' + relativePath;
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
    }

    bool MakeFolder(const QString& relativePath) const { return QDir().mkpath(Root() + u'/' + relativePath); }

    bool Link(const QString& relativePath, const QString& target) const {
        const std::filesystem::path link = std::filesystem::path(QFile::encodeName(Root()).toStdString()) /
                                           QFile::encodeName(relativePath).toStdString();
        std::error_code error;
        std::filesystem::create_directories(link.parent_path(), error);
        std::filesystem::create_directory_symlink(QFile::encodeName(target).toStdString(), link, error);
        return !error;
    }

    // A tty class device <deviceFolder>/tty/<name>, listed in class/tty, with
    // a `device` link to deviceFolder (none for a virtual terminal).
    bool AddTty(const QString& name, const QString& deviceFolder, bool hasDevice) const {
        const QString classDevice = deviceFolder + QStringLiteral("/tty/") + name;
        const int depth = classDevice.count(u'/') + 1;
        return MakeFolder(classDevice) &&
               (!hasDevice || Link(classDevice + QStringLiteral("/device"),
                                   QStringLiteral("../../../") + deviceFolder.section(u'/', -1))) &&
               Link(classDevice + QStringLiteral("/subsystem"),
                    QStringLiteral("../").repeated(depth) + QStringLiteral("class/tty")) &&
               Link(QStringLiteral("class/tty/") + name, QStringLiteral("../../") + classDevice);
    }

    // The staging folder for the child's /dev, beside the tree.
    QString DevStaging() const { return folder.path() + QStringLiteral("/dev-staging"); }

private:
    QTemporaryDir folder;
};

bool BuildAdapterTree(const FakeSysfs& sysfs) {
    const QString hub = QStringLiteral("devices/pci0000:00/0000:00:14.0/usb1");
    return sysfs.WriteFile(hub + QStringLiteral("/idVendor"), "1d6b\n") &&
           sysfs.WriteFile(hub + QStringLiteral("/idProduct"), "0002\n") &&
           sysfs.WriteFile(UsbDevice + QStringLiteral("/idVendor"), "10c4\n") &&
           sysfs.WriteFile(UsbDevice + QStringLiteral("/idProduct"), "ea60\n") &&
           sysfs.WriteFile(UsbDevice + QStringLiteral("/product"), "USB to UART Bridge Controller\n") &&
           sysfs.WriteFile(UsbDevice + QStringLiteral("/serial"), AdapterSerial + '\n') &&
           sysfs.WriteFile(UsbDevice + QStringLiteral("/1-1:1.0/bInterfaceClass"), "ff\n") &&
           sysfs.AddTty(QStringLiteral("ttyUSB0"), UsbPort, true) &&
           // A built-in port and a virtual terminal, as every machine has.
           sysfs.AddTty(QStringLiteral("ttyS0"), QStringLiteral("devices/platform/serial8250"), true) &&
           sysfs.AddTty(QStringLiteral("tty0"), QStringLiteral("devices/virtual"), false);
}

struct LinkSideReport {
    QList<int> states;
    QStringList ports;
    QStringList identification;
};

LinkSideReport ParseReport(const QByteArray& output) {
    LinkSideReport report;
    for (const QByteArray& line : output.split('\n')) {
        const QStringList fields = QString::fromUtf8(line).split(u'\t');
        if (fields.first() == QStringLiteral("state") && fields.size() == 2) {
            report.states << fields[1].toInt();
        } else if (fields.first() == QStringLiteral("port")) {
            report.ports << fields.mid(1).join(QStringLiteral(" | "));
        } else if (fields.first() == QStringLiteral("identification")) {
            report.identification = fields.mid(1);
        }
    }
    return report;
}

} // namespace

class TestRealDiscovery : public QObject {
    Q_OBJECT

private slots:
    void escIsFoundAndIdentifiedThroughSysAndDev();
};

void TestRealDiscovery::escIsFoundAndIdentifiedThroughSysAndDev() {
    FakeSysfs sysfs;
    QVERIFY(sysfs.IsValid());
    QVERIFY(BuildAdapterTree(sysfs));
    QVERIFY(QDir().mkpath(sysfs.DevStaging()));

    CatalogueFixture catalogue;
    QVERIFY2(catalogue.Write(LinkRig::CatalogueSql()), qPrintable(catalogue.Failure()));

    devicesim::SimulatedDevice device(devicesim::SimulatedDevice::Kind::Esc);
    devicesim::DeviceSimulator simulator;
    QVERIFY(simulator.IsValid());
    simulator.SetResponder(device.MakeResponder());

    QProcess child;
    child.start(QCoreApplication::applicationFilePath(),
                {QString::fromLatin1(LinkSideRole), sysfs.Root(), sysfs.DevStaging(), simulator.SlavePath(),
                 catalogue.Directory()});
    QVERIFY2(child.waitForStarted(), qPrintable(child.errorString()));
    if (!child.waitForFinished(ChildLimitMs)) {
        child.kill();
        child.waitForFinished();
        QFAIL("the link side did not finish");
    }
    const QByteArray childErrors = child.readAllStandardError().trimmed();
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    switch (child.exitCode()) {
    case NamespacesRefused:
        QSKIP(qPrintable(QStringLiteral("not root, and this system refuses mount namespaces to unprivileged "
                                        "users: ") +
                         QString::fromLocal8Bit(childErrors)));
    case TerminalRefused:
        QSKIP(
            qPrintable(QStringLiteral("a user namespace may not use the test's pseudo-terminal here; run as "
                                      "root: ") +
                       QString::fromLocal8Bit(childErrors)));
    default:
        QVERIFY2(child.exitCode() == Ran, childErrors.constData());
    }

    const LinkSideReport report = ParseReport(child.readAllStandardOutput());
    // The first cycle finds and opens the cable, a later one identifies the ESC.
    QVERIFY(!report.states.isEmpty());
    QCOMPARE(report.states.first(), int(ConnectionState::Link));
    QCOMPARE(report.states.last(), int(ConnectionState::Device));
    QCOMPARE(report.ports,
             QStringList({QStringLiteral("/sys/devices/platform/serial8250 | /dev/ttyS0)"),
                          QStringLiteral("/sys/") + UsbPort + QStringLiteral("#vid_10c4&pid_ea60#serial_") +
                              QString::fromLatin1(AdapterSerial) + QStringLiteral(" | /dev/ttyUSB0)")}));
    QCOMPARE(report.identification, QStringList({QStringLiteral("Sim ESC One"), QStringLiteral("Sim ESC One"),
                                                 QStringLiteral("Sim ESC FW 1.2.0.5"),
                                                 QStringLiteral("SimEsc_1205"), QStringLiteral("2")}));
    // The bytes went through /dev/ttyUSB0 to the simulator behind it.
    QVERIFY(device.CommandCount(0xD5) >= 1);
    QVERIFY(device.CommandCount(0xD7) >= 1);
}

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], LinkSideRole) == 0) {
        return RunLinkSideRole(argc, argv);
    }
    QCoreApplication application(argc, argv);
    TestRealDiscovery test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_real_discovery.moc"
