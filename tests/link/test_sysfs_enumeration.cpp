#include "LinkDiscovery.h"
#include "PortSource.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// A sysfs look-alike in a temporary folder, linked like the real one: class
// entries and `device` links are relative symlinks into devices/.
class FakeSysfs {
public:
    bool IsValid() const { return folder.isValid(); }
    QString Root() const { return folder.path(); }
    QString CanonicalRoot() const { return QFileInfo(folder.path()).canonicalFilePath(); }

    void WriteFile(const QString& relativePath, const QByteArray& content) {
        const QString path = Root() + u'/' + relativePath;
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        if (file.open(QIODevice::WriteOnly)) {
            file.write(content);
        }
    }

    void MakeFolder(const QString& relativePath) { QDir().mkpath(Root() + u'/' + relativePath); }

    void Link(const QString& relativePath, const QString& target) {
        const fs::path link = fs::path(Root().toStdString()) / relativePath.toStdString();
        std::error_code error;
        fs::create_directories(link.parent_path(), error);
        fs::create_directory_symlink(target.toStdString(), link, error);
    }

    // A tty in <ttyFolder>/tty/<name>, listed in class/tty, with a
    // `device` link to deviceTarget (none when empty).
    void AddTty(const QString& name, const QString& ttyFolder, const QString& deviceTarget) {
        const QString classFolder = ttyFolder + QStringLiteral("/tty/") + name;
        MakeFolder(classFolder);
        if (!deviceTarget.isEmpty()) {
            Link(classFolder + QStringLiteral("/device"), deviceTarget);
        }
        Link(QStringLiteral("class/tty/") + name, QStringLiteral("../../") + classFolder);
    }

    void AddUsbDevice(const QString& folder, const QByteArray& vendor, const QByteArray& product,
                      const QByteArray& serial = {}) {
        WriteFile(folder + QStringLiteral("/idVendor"), vendor);
        WriteFile(folder + QStringLiteral("/idProduct"), product);
        if (!serial.isNull()) {
            WriteFile(folder + QStringLiteral("/serial"), serial);
        }
    }

private:
    QTemporaryDir folder;
};

const QString Hub = QStringLiteral("devices/pci0000:00/0000:00:14.0/usb1");

// Device node paths are only named, never opened, so the real folder serves.
const QString DevRoot = QStringLiteral("/dev");

} // namespace

class TestSysfsEnumeration : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void enumeratesSerialDevices_data();
    void enumeratesSerialDevices();
    void listsInNameOrderAndSkipsVirtualTerminals();
    void appendsToTheGivenList();
    void nodePathTheNameRuleCannotCarryIsSkipped();
    void missingRootGivesNothing();
    void classFolderMissingGivesNothing();

private:
    const SSerInfo* Find(const std::vector<SSerInfo>& ports, const QString& name) const;

    FakeSysfs sysfs;
    std::vector<SSerInfo> ports;
};

void TestSysfsEnumeration::initTestCase() {
    QVERIFY(sysfs.IsValid());
    // The root hub has identifiers too; the nearest USB device must win.
    sysfs.AddUsbDevice(Hub, "1d6b\n", "0002\n");

    // The cable: usb-serial port under its interface, identifiers two levels up,
    // written in upper case with stray whitespace.
    sysfs.AddUsbDevice(Hub + QStringLiteral("/1-1"), "10C4\n", " EA60 \n", "0001\n");
    sysfs.AddTty(QStringLiteral("ttyUSB0"), Hub + QStringLiteral("/1-1/1-1:1.0/ttyUSB0"),
                 QStringLiteral("../../../ttyUSB0"));

    // The second cable kind as a CDC device: the `device` link names the interface.
    sysfs.AddUsbDevice(Hub + QStringLiteral("/1-3"), "10c8\n", "ea61\n");
    sysfs.AddTty(QStringLiteral("ttyACM0"), Hub + QStringLiteral("/1-3/1-3:1.0"),
                 QStringLiteral("../../../1-3:1.0"));

    // Another maker's adapter whose serial number spells a cable's identifiers.
    sysfs.AddUsbDevice(Hub + QStringLiteral("/1-2"), "0403\n", "6001\n", "vid_10c4&pid_ea60\n");
    sysfs.AddTty(QStringLiteral("ttyUSB1"), Hub + QStringLiteral("/1-2/1-2:1.0/ttyUSB1"),
                 QStringLiteral("../../../ttyUSB1"));

    // A USB device whose identifiers are unreadable: listed, never a cable.
    sysfs.AddUsbDevice(Hub + QStringLiteral("/1-4"), "10c4&pid_ea60\n", "ea60\n");
    sysfs.AddTty(QStringLiteral("ttyUSB2"), Hub + QStringLiteral("/1-4/1-4:1.0/ttyUSB2"),
                 QStringLiteral("../../../ttyUSB2"));

    // A built-in serial port on a platform device, and two virtual terminals.
    sysfs.MakeFolder(QStringLiteral("devices/platform/serial8250"));
    sysfs.AddTty(QStringLiteral("ttyS0"), QStringLiteral("devices/platform/serial8250"),
                 QStringLiteral("../../../serial8250"));
    sysfs.AddTty(QStringLiteral("tty0"), QStringLiteral("devices/virtual"), QString());
    sysfs.AddTty(QStringLiteral("ptmx"), QStringLiteral("devices/virtual"), QString());
    // A `device` link that leads nowhere.
    sysfs.AddTty(QStringLiteral("ttyS1"), QStringLiteral("devices/platform/gone"),
                 QStringLiteral("../../../vanished"));

    SysfsPortSource(sysfs.Root(), DevRoot).EnumeratePorts(ports);
}

const SSerInfo* TestSysfsEnumeration::Find(const std::vector<SSerInfo>& list, const QString& name) const {
    for (const SSerInfo& port : list) {
        if (port.friendlyName == DevRoot + u'/' + name + u')') {
            return &port;
        }
    }
    return nullptr;
}

void TestSysfsEnumeration::enumeratesSerialDevices_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("devicePath");
    QTest::addColumn<bool>("isCable");

    QTest::newRow("cable, upper-case identifiers")
        << "ttyUSB0" << Hub + "/1-1/1-1:1.0/ttyUSB0#vid_10c4&pid_ea60#serial_0001" << true;
    QTest::newRow("second cable kind on its interface")
        << "ttyACM0" << Hub + "/1-3/1-3:1.0#vid_10c8&pid_ea61" << true;
    QTest::newRow("other maker, forged serial")
        << "ttyUSB1" << Hub + "/1-2/1-2:1.0/ttyUSB1#vid_0403&pid_6001#serial_vid10c4pidea60" << false;
    QTest::newRow("unreadable identifiers") << "ttyUSB2" << Hub + "/1-4/1-4:1.0/ttyUSB2" << false;
    QTest::newRow("platform serial port")
        << "ttyS0" << QStringLiteral("devices/platform/serial8250") << false;
}

void TestSysfsEnumeration::enumeratesSerialDevices() {
    QFETCH(QString, name);
    QFETCH(QString, devicePath);
    QFETCH(bool, isCable);

    const SSerInfo* port = Find(ports, name);
    QVERIFY(port);
    QCOMPARE(port->devicePath, sysfs.CanonicalRoot() + u'/' + devicePath);
    QCOMPARE(LinkDiscovery::IsLinkCable(port->devicePath), isCable);
    QCOMPARE(LinkDiscovery::ComNameFromFriendlyName(port->friendlyName), DevRoot + u'/' + name);
}

void TestSysfsEnumeration::listsInNameOrderAndSkipsVirtualTerminals() {
    QStringList names;
    for (const SSerInfo& port : ports) {
        names << LinkDiscovery::ComNameFromFriendlyName(port.friendlyName);
    }
    QCOMPARE(names,
             QStringList({"/dev/ttyACM0", "/dev/ttyS0", "/dev/ttyUSB0", "/dev/ttyUSB1", "/dev/ttyUSB2"}));
}

void TestSysfsEnumeration::appendsToTheGivenList() {
    std::vector<SSerInfo> list{SSerInfo{QStringLiteral("kept"), QStringLiteral("kept)")}};
    SysfsPortSource(sysfs.Root(), DevRoot).EnumeratePorts(list);
    QCOMPARE(list.size(), ports.size() + 1);
    QCOMPARE(list.front().devicePath, QStringLiteral("kept"));
}

void TestSysfsEnumeration::nodePathTheNameRuleCannotCarryIsSkipped() {
    // The port name is read from the first "COM" on: under this folder it would
    // name something else than the device node.
    std::vector<SSerInfo> list;
    SysfsPortSource(sysfs.Root(), QStringLiteral("/media/COMMON/dev")).EnumeratePorts(list);
    QVERIFY(list.empty());
}

void TestSysfsEnumeration::missingRootGivesNothing() {
    std::vector<SSerInfo> list{SSerInfo{QStringLiteral("kept"), QStringLiteral("kept)")}};
    SysfsPortSource(sysfs.Root() + QStringLiteral("/no-such-folder"), DevRoot).EnumeratePorts(list);
    QCOMPARE(list.size(), size_t(1));
}

void TestSysfsEnumeration::classFolderMissingGivesNothing() {
    QTemporaryDir empty;
    QVERIFY(empty.isValid());
    std::vector<SSerInfo> list;
    SysfsPortSource(empty.path(), DevRoot).EnumeratePorts(list);
    QVERIFY(list.empty());
}

QTEST_GUILESS_MAIN(TestSysfsEnumeration)
#include "test_sysfs_enumeration.moc"
