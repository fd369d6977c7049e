// The window's thread and the monitor's thread share one catalogue connection.

#include "CatalogueFixture.h"
#include "ProductCatalogue.h"

#include <QTest>
#include <atomic>
#include <thread>

class CatalogueConcurrencyTest : public QObject {
    Q_OBJECT

private slots:
    void twoThreadsGetConsistentResults();
};

void CatalogueConcurrencyTest::twoThreadsGetConsistentResults() {
    CatalogueFixture fixture;
    QVERIFY2(fixture.Write(CatalogueFixture::Schema +
                           "INSERT INTO DeviceList VALUES ('Card', 0, 2, 2, 2, 2, NULL, 1);"
                           "INSERT INTO DeviceList VALUES ('Fast ESC', 1, 1, 1, 1, 1, '2', 1);"
                           "INSERT INTO DeviceList VALUES ('Slow ESC', 1, 1, 1, 2, 2, '1', 1);"
                           "INSERT INTO FirmwareList VALUES ('C1', 'Card_1', 'Card', 3, 3, 3, 3, 1);"
                           "INSERT INTO FirmwareList VALUES ('C2', 'Card_2', 'Card', 3, 3, 3, 4, 1);"
                           "INSERT INTO FirmwareList VALUES ('F1', 'Fast_1', 'Fast ESC', 4, 4, 4, 4, 1);"
                           "INSERT INTO FirmwareList VALUES ('F2', 'Fast_2', 'Fast ESC', 4, 4, 4, 5, 0);"
                           "INSERT INTO DBVerInfo VALUES (1, 'T', 'N', 'C', '2026.12.01');"),
             qPrintable(fixture.Failure()));
    ProductCatalogue catalogue;
    QCOMPARE(catalogue.OpenCatalogue(fixture.Directory()), CatalogueOpenResult::Opened);

    constexpr int rounds = 300;
    std::atomic<int> monitorFaults{0};
    std::thread monitor([&] {
        for (int round = 0; round < rounds; ++round) {
            const QString hardwareModel = catalogue.FindModelByHardwareVersion(1, 1, 1, 1);
            const FirmwareMatch firmware = catalogue.FindFirmwareBySoftwareVersion(4, 4, 4, 4);
            const QString updateType = catalogue.FindUpdateType(hardwareModel, firmware.firmwareModel);
            const QStringList files = catalogue.ListFirmwareFiles(hardwareModel);
            if (hardwareModel != "Fast ESC" || firmware.firmwareFileName != "Fast_1" || updateType != "2" ||
                files != QStringList{"Fast_1", "Fast_2"}) {
                ++monitorFaults;
            }
        }
    });

    int windowFaults = 0;
    for (int round = 0; round < rounds; ++round) {
        QString version;
        catalogue.ReadCatalogueVersion(version);
        if (version != "2026.12.01" || catalogue.ListEscModels() != QStringList{"Fast ESC", "Slow ESC"} ||
            catalogue.ListProgramCardFirmware() != QStringList{"Card_1", "Card_2"} || !catalogue.IsOpen()) {
            ++windowFaults;
        }
    }
    monitor.join();

    QCOMPARE(monitorFaults.load(), 0);
    QCOMPARE(windowFaults, 0);
}

QTEST_GUILESS_MAIN(CatalogueConcurrencyTest)
#include "tst_catalogueconcurrency.moc"
