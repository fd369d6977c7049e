#include "DeviceIdentifier.h"
#include "LinkRig.h"

#include <QTest>

using devicesim::Reply;
using devicesim::SimulatedDevice;

class TestIdentification : public QObject {
    Q_OBJECT

private slots:
    void escIsIdentifiedWithOneQuery() {
        LinkRig rig;
        QVERIFY(rig.StartIn(ConnectionState::Link));
        QVERIFY(IdentifyDevice(rig.state, rig.catalogue));
        QCOMPARE(rig.device.CommandCount(0xD7), 1);
        const Identification found = rig.state.ReadIdentification();
        QCOMPARE(found.hardwareModel, QStringLiteral("Sim ESC One"));
        QCOMPARE(found.firmwareModel, QStringLiteral("Sim ESC One"));
        QCOMPARE(found.firmwareName, QStringLiteral("Sim ESC FW 1.2.0.5"));
        QCOMPARE(found.firmwareFileName, QStringLiteral("SimEsc_1205"));
        QCOMPARE(found.updateType, QStringLiteral("2"));
    }

    // A seven-byte answer comes on the second query; the eighth byte is
    // whatever the receive buffer held there from before.
    void sevenByteReplyUsesTheStaleEighthByte() {
        LinkRig rig;
        QVERIFY(rig.StartIn(ConnectionState::Link));
        SimulatedDevice::Identification bytes = SimulatedDevice::DefaultEscIdentification;
        rig.device.SetAnswer(0xD7, Reply{{bytes.begin(), bytes.begin() + 7}, {}});
        QVERIFY(IdentifyDevice(rig.state, rig.catalogue));
        QCOMPARE(rig.device.CommandCount(0xD7), 2);
        // Nothing ever filled byte 7: it is zero.
        QCOMPARE(rig.state.ReadIdentification().hardwareModel, QStringLiteral("Sim ESC Zero"));
        QCOMPARE(rig.state.ReadIdentification().updateType, QStringLiteral("1"));

        // After a full answer that ended in 0x01, a short one keeps that 0x01.
        rig.device.Reset();
        QVERIFY(IdentifyDevice(rig.state, rig.catalogue));
        rig.device.SetAnswer(0xD7, Reply{{0x09, 0x09, 0x09, 0x09, 0x31, 0x0A, 0x02}, {}});
        QVERIFY(IdentifyDevice(rig.state, rig.catalogue));
        QCOMPARE(rig.state.ReadIdentification().hardwareModel, QStringLiteral("Sim ESC One"));
        QCOMPARE(rig.state.ReadIdentification().firmwareName, QStringLiteral("Unknown Version"));
    }

    void tooShortOrSilentLeavesTheResultsAlone_data() {
        QTest::addColumn<int>("replyLength");
        QTest::newRow("six bytes") << 6;
        QTest::newRow("silent") << 0;
    }
    void tooShortOrSilentLeavesTheResultsAlone() {
        QFETCH(int, replyLength);
        LinkRig rig;
        QVERIFY(rig.StartIn(ConnectionState::Link));
        QVERIFY(IdentifyDevice(rig.state, rig.catalogue));
        const SimulatedDevice::Identification bytes = SimulatedDevice::DefaultEscIdentification;
        rig.device.SetAnswer(0xD7, replyLength ? std::optional<Reply>(Reply{{bytes.begin(), bytes.begin() + replyLength}, {}})
                                               : std::nullopt);
        QVERIFY(!IdentifyDevice(rig.state, rig.catalogue));
        QCOMPARE(rig.device.CommandCount(0xD7), 3);
        QCOMPARE(rig.state.ReadIdentification().firmwareName, QStringLiteral("Sim ESC FW 1.2.0.5"));
    }

    void unknownEscStillCountsAsIdentified() {
        LinkRig rig;
        QVERIFY(rig.StartIn(ConnectionState::Link));
        rig.device.SetIdentification({9, 9, 9, 9, 9, 9, 9, 9});
        QVERIFY(IdentifyDevice(rig.state, rig.catalogue));
        const Identification found = rig.state.ReadIdentification();
        QVERIFY(found.hardwareModel.isEmpty());
        QVERIFY(found.firmwareModel.isEmpty());
        QVERIFY(found.firmwareFileName.isEmpty());
        QVERIFY(found.updateType.isEmpty());
        QCOMPARE(found.firmwareName, QStringLiteral("Unknown Version"));
    }

    // The Program Card's versions overlap in reply bytes 2 and 3; its
    // identification leaves the ESC's update type alone.
    void programCardReadsOverlappingVersions() {
        LinkRig rig(SimulatedDevice::Kind::ProgramCard);
        QVERIFY(rig.StartIn(ConnectionState::Link));
        rig.state.WriteIdentification({{}, {}, {}, {}, QStringLiteral("2")});
        QVERIFY(IdentifyDevice(rig.state, rig.catalogue));
        const Identification found = rig.state.ReadIdentification();
        QCOMPARE(found.hardwareModel, QStringLiteral("Sim Card"));
        QCOMPARE(found.firmwareModel, QStringLiteral("Sim Card"));
        QCOMPARE(found.firmwareName, QStringLiteral("Sim Card FW 1.2.3"));
        QCOMPARE(found.firmwareFileName, QStringLiteral("SimCard_123"));
        QCOMPARE(found.updateType, QStringLiteral("2"));
    }

    void noDeviceModeMakesNoLookup() {
        LinkRig rig;
        QVERIFY(rig.StartIn(ConnectionState::Link));
        rig.state.deviceMode = DeviceMode::None;
        QVERIFY(IdentifyDevice(rig.state, rig.catalogue));
        QCOMPARE(rig.state.ReadIdentification().firmwareName, QString());
    }
};

QTEST_GUILESS_MAIN(TestIdentification)
#include "test_identification.moc"
