// Rows in the tables below follow the column order of CatalogueFixture::Schema:
//   DeviceList   (DeviceModel, DeviceType, HWVER_BYTE0..3, UpdateType, EnableFlag)
//   FirmwareList (FirmwareName, FileName, DeviceModel, SWVER_BYTE0..3, EnableFlag)
//   DBVerInfo    (Id, Title, Notes, Created, Version)

#include "CatalogueFixture.h"
#include "ProductCatalogue.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

using Bytes = QList<int>;

namespace {

bool OpenWithRows(CatalogueFixture& fixture, ProductCatalogue& catalogue, const QByteArray& rows) {
    return fixture.Write(CatalogueFixture::Schema + rows) &&
           catalogue.OpenCatalogue(fixture.Directory()) == CatalogueOpenResult::Opened;
}

QString FindModel(ProductCatalogue& catalogue, const Bytes& hw) {
    return catalogue.FindModelByHardwareVersion(hw[0], hw[1], hw[2], hw[3]);
}

FirmwareMatch FindFirmware(ProductCatalogue& catalogue, const Bytes& sw) {
    return catalogue.FindFirmwareBySoftwareVersion(sw[0], sw[1], sw[2], sw[3]);
}

const QByteArray listRows =
    "INSERT INTO DeviceList VALUES ('Zeta ESC', 1, 1, 1, 1, 1, '1', 1);"
    "INSERT INTO DeviceList VALUES ('Retired ESC', 1, 1, 1, 1, 2, '1', 0);"
    "INSERT INTO DeviceList VALUES ('Card', 0, 2, 2, 2, 2, NULL, 1);"
    "INSERT INTO DeviceList VALUES ('Alpha ESC', 1, 1, 1, 1, 3, '2', 1);"
    "INSERT INTO DeviceList VALUES ('Odd ESC', 1, 1, 1, 1, 4, '1', 7);"
    "INSERT INTO DeviceList VALUES ('Driver''s ESC', 1, 1, 1, 1, 5, '2', 1);"
    "INSERT INTO FirmwareList VALUES ('Z 2', 'Zeta_2', 'Zeta ESC', 9, 9, 9, 2, 1);"
    "INSERT INTO FirmwareList VALUES ('Z 1', 'Zeta_1', 'Zeta ESC', 9, 9, 9, 1, 0);"
    "INSERT INTO FirmwareList VALUES ('A 1', 'Alpha_1', 'Alpha ESC', 9, 9, 8, 1, 1);"
    "INSERT INTO FirmwareList VALUES ('Z 3', 'Zeta_3', 'Zeta ESC', 9, 9, 9, 3, 1);"
    "INSERT INTO FirmwareList VALUES ('D 1', 'Drivers_1', 'Driver''s ESC', 9, 9, 7, 1, 1);"
    "INSERT INTO FirmwareList VALUES ('N', NULL, 'Alpha ESC', 9, 9, 8, 2, 1);";

} // namespace

class ProductCatalogueTest : public QObject {
    Q_OBJECT

private slots:
    void findModelByHardwareVersion_data();
    void findModelByHardwareVersion();
    void findFirmwareBySoftwareVersion_data();
    void findFirmwareBySoftwareVersion();
    void findUpdateType_data();
    void findUpdateType();
    void listsEscModelsAndFirmwareFiles();
    void listProgramCardFirmware_data();
    void listProgramCardFirmware();
    void readCatalogueVersion_data();
    void readCatalogueVersion();
    void unreadableCatalogueGivesEmptyResults_data();
    void unreadableCatalogueGivesEmptyResults();
    void openReportsMissingAndUnopenable_data();
    void openReportsMissingAndUnopenable();
    void reopenAndCloseAreSafe();
};

void ProductCatalogueTest::findModelByHardwareVersion_data() {
    QTest::addColumn<QByteArray>("rows");
    QTest::addColumn<Bytes>("hardware");
    QTest::addColumn<QString>("model");

    QTest::newRow("unique four-byte match")
        << QByteArray("INSERT INTO DeviceList VALUES ('A', 1, 1, 2, 3, 4, '1', 1);"
                      "INSERT INTO DeviceList VALUES ('B', 1, 1, 2, 3, 5, '1', 1);")
        << Bytes{1, 2, 3, 4} << "A";
    QTest::newRow("two rows share four bytes, a third two")
        << QByteArray("INSERT INTO DeviceList VALUES ('A', 1, 1, 2, 3, 4, '1', 1);"
                      "INSERT INTO DeviceList VALUES ('B', 1, 1, 2, 3, 4, '1', 1);"
                      "INSERT INTO DeviceList VALUES ('C', 1, 1, 2, 9, 9, '1', 1);")
        << Bytes{1, 2, 3, 4} << "";
    QTest::newRow("unique three-byte match")
        << QByteArray("INSERT INTO DeviceList VALUES ('A', 1, 1, 2, 3, 7, '1', 1);"
                      "INSERT INTO DeviceList VALUES ('B', 1, 1, 2, 8, 8, '1', 1);")
        << Bytes{1, 2, 3, 4} << "A";
    QTest::newRow("unique two-byte match")
        << QByteArray("INSERT INTO DeviceList VALUES ('A', 1, 1, 2, 7, 7, '1', 1);"
                      "INSERT INTO DeviceList VALUES ('B', 1, 1, 3, 3, 4, '1', 1);")
        << Bytes{1, 2, 3, 4} << "A";
    QTest::newRow("two three-byte matches")
        << QByteArray("INSERT INTO DeviceList VALUES ('A', 1, 1, 2, 3, 7, '1', 1);"
                      "INSERT INTO DeviceList VALUES ('B', 1, 1, 2, 3, 8, '1', 1);")
        << Bytes{1, 2, 3, 4} << "";
    QTest::newRow("unique four-byte match with empty model")
        << QByteArray("INSERT INTO DeviceList VALUES ('', 1, 1, 2, 3, 4, '1', 1);"
                      "INSERT INTO DeviceList VALUES ('B', 1, 1, 2, 8, 8, '1', 1);")
        << Bytes{1, 2, 3, 4} << "";
    QTest::newRow("unique four-byte match with NULL model")
        << QByteArray("INSERT INTO DeviceList VALUES (NULL, 1, 1, 2, 3, 4, '1', 1);") << Bytes{1, 2, 3, 4}
        << "";
    QTest::newRow("disabled twin is not counted")
        << QByteArray("INSERT INTO DeviceList VALUES ('Old', 1, 1, 2, 3, 4, '1', 0);"
                      "INSERT INTO DeviceList VALUES ('New', 1, 1, 2, 3, 4, '1', 1);")
        << Bytes{1, 2, 3, 4} << "New";
    QTest::newRow("only disabled rows match")
        << QByteArray("INSERT INTO DeviceList VALUES ('Off', 1, 1, 2, 3, 4, '1', 0);"
                      "INSERT INTO DeviceList VALUES ('Other', 1, 1, 2, 3, 4, '1', 2);")
        << Bytes{1, 2, 3, 4} << "";
    QTest::newRow("bytes in decimal")
        << QByteArray("INSERT INTO DeviceList VALUES ('A', 1, 10, 255, 0, 128, '1', 1);"
                      "INSERT INTO DeviceList VALUES ('B', 1, 10, 255, 1, 1, '1', 1);")
        << Bytes{0x0A, 0xFF, 0x00, 0x80} << "A";
    QTest::newRow("no match") << QByteArray("INSERT INTO DeviceList VALUES ('A', 1, 1, 2, 3, 4, '1', 1);")
                              << Bytes{2, 2, 3, 4} << "";
}

void ProductCatalogueTest::findModelByHardwareVersion() {
    QFETCH(QByteArray, rows);
    QFETCH(Bytes, hardware);
    QFETCH(QString, model);

    CatalogueFixture fixture;
    ProductCatalogue catalogue;
    QVERIFY2(OpenWithRows(fixture, catalogue, rows), qPrintable(fixture.Failure()));
    QCOMPARE(FindModel(catalogue, hardware), model);
}

void ProductCatalogueTest::findFirmwareBySoftwareVersion_data() {
    QTest::addColumn<QByteArray>("rows");
    QTest::addColumn<Bytes>("software");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("model");

    const QString unknown = QStringLiteral("Unknown Version");
    QTest::newRow("unique four-byte match")
        << QByteArray("INSERT INTO FirmwareList VALUES ('V1', 'F1', 'M', 1, 2, 3, 4, 1);"
                      "INSERT INTO FirmwareList VALUES ('V2', 'F2', 'M', 1, 2, 3, 5, 1);")
        << Bytes{1, 2, 3, 4} << "V1"
        << "F1"
        << "M";
    QTest::newRow("three-byte match names the model only")
        << QByteArray("INSERT INTO FirmwareList VALUES ('V1', 'F1', 'M', 1, 2, 3, 7, 1);")
        << Bytes{1, 2, 3, 4} << unknown << ""
        << "M";
    QTest::newRow("two-byte match names the model only")
        << QByteArray("INSERT INTO FirmwareList VALUES ('V1', 'F1', 'M', 1, 2, 7, 7, 1);"
                      "INSERT INTO FirmwareList VALUES ('V2', 'F2', 'N', 1, 3, 3, 4, 1);")
        << Bytes{1, 2, 3, 4} << unknown << ""
        << "M";
    QTest::newRow("two four-byte matches")
        << QByteArray("INSERT INTO FirmwareList VALUES ('V1', 'F1', 'M', 1, 2, 3, 4, 1);"
                      "INSERT INTO FirmwareList VALUES ('V2', 'F2', 'N', 1, 2, 3, 4, 1);")
        << Bytes{1, 2, 3, 4} << unknown << ""
        << "";
    QTest::newRow("unique four-byte match with empty model")
        << QByteArray("INSERT INTO FirmwareList VALUES ('V1', 'F1', '', 1, 2, 3, 4, 1);"
                      "INSERT INTO FirmwareList VALUES ('V2', 'F2', 'N', 1, 2, 8, 8, 1);")
        << Bytes{1, 2, 3, 4} << "V1"
        << "F1"
        << "";
    QTest::newRow("unique four-byte match with NULL model")
        << QByteArray("INSERT INTO FirmwareList VALUES ('V1', 'F1', NULL, 1, 2, 3, 4, 1);")
        << Bytes{1, 2, 3, 4} << "V1"
        << "F1"
        << "";
    QTest::newRow("NULL name and file read as empty")
        << QByteArray("INSERT INTO FirmwareList VALUES (NULL, NULL, 'M', 1, 2, 3, 4, 1);")
        << Bytes{1, 2, 3, 4} << ""
        << ""
        << "M";
    QTest::newRow("disabled four-byte match, enabled three-byte sibling")
        << QByteArray("INSERT INTO FirmwareList VALUES ('V1', 'F1', 'Old', 1, 2, 3, 4, 0);"
                      "INSERT INTO FirmwareList VALUES ('V2', 'F2', 'M', 1, 2, 3, 9, 1);")
        << Bytes{1, 2, 3, 4} << unknown << ""
        << "M";
    QTest::newRow("bytes in decimal")
        << QByteArray("INSERT INTO FirmwareList VALUES ('V1', 'F1', 'M', 10, 255, 0, 0, 1);"
                      "INSERT INTO FirmwareList VALUES ('V2', 'F2', 'N', 10, 255, 0, 1, 1);")
        << Bytes{0x0A, 0xFF, 0, 0} << "V1"
        << "F1"
        << "M";
    QTest::newRow("no match") << QByteArray(
                                     "INSERT INTO FirmwareList VALUES ('V1', 'F1', 'M', 1, 2, 3, 4, 1);")
                              << Bytes{4, 3, 2, 1} << unknown << ""
                              << "";
}

void ProductCatalogueTest::findFirmwareBySoftwareVersion() {
    QFETCH(QByteArray, rows);
    QFETCH(Bytes, software);

    CatalogueFixture fixture;
    ProductCatalogue catalogue;
    QVERIFY2(OpenWithRows(fixture, catalogue, rows), qPrintable(fixture.Failure()));
    const FirmwareMatch match = FindFirmware(catalogue, software);
    QTEST(match.firmwareName, "name");
    QTEST(match.firmwareFileName, "fileName");
    QTEST(match.firmwareModel, "model");
}

void ProductCatalogueTest::findUpdateType_data() {
    QTest::addColumn<QString>("hardwareModel");
    QTest::addColumn<QString>("firmwareModel");
    QTest::addColumn<QString>("updateType");

    QTest::newRow("text") << "Text"
                          << ""
                          << "1";
    QTest::newRow("integer 2 reads as decimal text") << "Integer"
                                                     << ""
                                                     << "2";
    QTest::newRow("NULL reads as empty") << "Null"
                                         << ""
                                         << "";
    QTest::newRow("disabled model is still read") << "Disabled"
                                                  << ""
                                                  << "2";
    QTest::newRow("hardware model wins") << "Text"
                                         << "Integer"
                                         << "1";
    QTest::newRow("firmware model when hardware model is empty") << ""
                                                                 << "Integer"
                                                                 << "2";
    QTest::newRow("neither model") << ""
                                   << ""
                                   << "";
    QTest::newRow("model without a row") << "Missing"
                                         << "Integer"
                                         << "";
    QTest::newRow("model name holding a quote") << "Driver's"
                                                << ""
                                                << "2";
}

void ProductCatalogueTest::findUpdateType() {
    QFETCH(QString, hardwareModel);
    QFETCH(QString, firmwareModel);

    CatalogueFixture fixture;
    ProductCatalogue catalogue;
    QVERIFY2(OpenWithRows(fixture, catalogue,
                          "INSERT INTO DeviceList VALUES ('Text', 1, 1, 1, 1, 1, '1', 1);"
                          "INSERT INTO DeviceList VALUES ('Integer', 1, 1, 1, 1, 2, 2, 1);"
                          "INSERT INTO DeviceList VALUES ('Null', 1, 1, 1, 1, 3, NULL, 1);"
                          "INSERT INTO DeviceList VALUES ('Disabled', 1, 1, 1, 1, 4, '2', 0);"
                          "INSERT INTO DeviceList VALUES ('Driver''s', 1, 1, 1, 1, 5, '2', 1);"),
             qPrintable(fixture.Failure()));
    QTEST(catalogue.FindUpdateType(hardwareModel, firmwareModel), "updateType");
}

void ProductCatalogueTest::listsEscModelsAndFirmwareFiles() {
    CatalogueFixture fixture;
    ProductCatalogue catalogue;
    QVERIFY2(OpenWithRows(fixture, catalogue, listRows), qPrintable(fixture.Failure()));

    // Enabled ESC models in row order: no sorting, no Program Card, no disabled row.
    QCOMPARE(catalogue.ListEscModels(), QStringList({"Zeta ESC", "Alpha ESC", "Driver's ESC"}));

    // Every file of the model whatever its flag, in row order.
    QCOMPARE(catalogue.ListFirmwareFiles("Zeta ESC"), QStringList({"Zeta_2", "Zeta_1", "Zeta_3"}));
    QCOMPARE(catalogue.ListFirmwareFiles("Alpha ESC"), QStringList({"Alpha_1", ""}));
    QCOMPARE(catalogue.ListFirmwareFiles("Driver's ESC"), QStringList({"Drivers_1"}));
    QCOMPARE(catalogue.ListFirmwareFiles("zeta esc"), QStringList());
    QCOMPARE(catalogue.ListFirmwareFiles(""), QStringList());
}

void ProductCatalogueTest::listProgramCardFirmware_data() {
    QTest::addColumn<QByteArray>("rows");
    QTest::addColumn<QStringList>("files");

    const QByteArray cards = "INSERT INTO DeviceList VALUES ('ESC', 1, 1, 1, 1, 1, '1', 1);"
                             "INSERT INTO DeviceList VALUES ('Old card', 0, 2, 2, 2, 1, NULL, 0);"
                             "INSERT INTO DeviceList VALUES ('Card', 0, 2, 2, 2, 2, NULL, 1);"
                             "INSERT INTO DeviceList VALUES ('New card', 0, 2, 2, 2, 3, NULL, 1);"
                             "INSERT INTO FirmwareList VALUES ('O', 'Old_1', 'Old card', 1, 1, 1, 1, 1);"
                             "INSERT INTO FirmwareList VALUES ('N', 'New_1', 'New card', 1, 1, 1, 2, 1);"
                             "INSERT INTO FirmwareList VALUES ('E', 'Esc_1', 'ESC', 1, 1, 1, 3, 1);";

    QTest::newRow("enabled files of the first enabled card, in row order")
        << cards + "INSERT INTO FirmwareList VALUES ('B', 'Card_B', 'Card', 1, 1, 2, 1, 1);"
                   "INSERT INTO FirmwareList VALUES ('X', 'Card_X', 'Card', 1, 1, 2, 2, 0);"
                   "INSERT INTO FirmwareList VALUES ('A', 'Card_A', 'Card', 1, 1, 2, 3, 1);"
        << QStringList{"Card_B", "Card_A"};
    QTest::newRow("first enabled card without enabled firmware")
        << cards + "INSERT INTO FirmwareList VALUES ('X', 'Card_X', 'Card', 1, 1, 2, 2, 0);" << QStringList{};
    QTest::newRow("no enabled card")
        << QByteArray("INSERT INTO DeviceList VALUES ('Card', 0, 2, 2, 2, 2, NULL, 0);"
                      "INSERT INTO FirmwareList VALUES ('A', 'Card_A', 'Card', 1, 1, 1, 1, 1);")
        << QStringList{};
    QTest::newRow("card name holding a quote")
        << QByteArray("INSERT INTO DeviceList VALUES ('Card''s', 0, 2, 2, 2, 2, NULL, 1);"
                      "INSERT INTO FirmwareList VALUES ('A', 'Card_A', 'Card''s', 1, 1, 1, 1, 1);")
        << QStringList{"Card_A"};
}

void ProductCatalogueTest::listProgramCardFirmware() {
    QFETCH(QByteArray, rows);

    CatalogueFixture fixture;
    ProductCatalogue catalogue;
    QVERIFY2(OpenWithRows(fixture, catalogue, rows), qPrintable(fixture.Failure()));
    QTEST(catalogue.ListProgramCardFirmware(), "files");
}

void ProductCatalogueTest::readCatalogueVersion_data() {
    QTest::addColumn<QByteArray>("sql");
    QTest::addColumn<QString>("version");

    // The version starts as "earlier" so a kept value shows.
    QTest::newRow("fifth column of the first row")
        << QByteArray("CREATE TABLE DBVerInfo (A, B, C, D, E, F);"
                      "INSERT INTO DBVerInfo VALUES (1, 2, 3, 4, '2026.12.01', 'sixth');"
                      "INSERT INTO DBVerInfo VALUES (1, 2, 3, 4, '2027.01.01', 'sixth');")
        << "2026.12.01";
    QTest::newRow("integer reads as text")
        << QByteArray("CREATE TABLE DBVerInfo (A, B, C, D, E);"
                      "INSERT INTO DBVerInfo VALUES (1, 2, 3, 4, 20261201);")
        << "20261201";
    QTest::newRow("non-ASCII text")
        << QByteArray("CREATE TABLE DBVerInfo (A, B, C, D, E);"
                      "INSERT INTO DBVerInfo VALUES (1, 2, 3, 4, 'v2 \xc3\xa9\xe6\x95\xb0');")
        << QString::fromUtf8("v2 \xc3\xa9\xe6\x95\xb0");
    QTest::newRow("NULL fifth column") << QByteArray("CREATE TABLE DBVerInfo (A, B, C, D, E);"
                                                     "INSERT INTO DBVerInfo VALUES (1, 2, 3, 4, NULL);")
                                       << "";
    QTest::newRow("fewer than five columns")
        << QByteArray("CREATE TABLE DBVerInfo (A, B, C, D);"
                      "INSERT INTO DBVerInfo VALUES (1, 2, 3, '2026.12.01');")
        << "";
    QTest::newRow("no row keeps the earlier value")
        << QByteArray("CREATE TABLE DBVerInfo (A, B, C, D, E);") << "earlier";
    QTest::newRow("no table keeps the earlier value") << QByteArray("CREATE TABLE Other (A);") << "earlier";
}

void ProductCatalogueTest::readCatalogueVersion() {
    QFETCH(QByteArray, sql);

    CatalogueFixture fixture;
    QVERIFY2(fixture.Write(sql), qPrintable(fixture.Failure()));
    ProductCatalogue catalogue;
    QCOMPARE(catalogue.OpenCatalogue(fixture.Directory()), CatalogueOpenResult::Opened);
    QString version = QStringLiteral("earlier");
    catalogue.ReadCatalogueVersion(version);
    QTEST(version, "version");
}

void ProductCatalogueTest::unreadableCatalogueGivesEmptyResults_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QByteArray>("key");

    const QByteArray full = CatalogueFixture::Schema + listRows +
                            "INSERT INTO DBVerInfo VALUES (1, 'T', 'N', 'C', '2026.12.01');"
                            "INSERT INTO FirmwareList VALUES ('V', 'F', 'Zeta ESC', 1, 2, 3, 4, 1);";
    // An empty key stands for a file written as it is, not by the library.
    QTest::newRow("other key") << full << QByteArray("not the pass phrase");
    QTest::newRow("key one byte short") << full << QByteArray(ProductCatalogue::PassPhrase).chopped(1);
    QTest::newRow("key one byte longer") << full << QByteArray(ProductCatalogue::PassPhrase) + 'l';
    QTest::newRow("empty file") << QByteArray() << QByteArray();
    QTest::newRow("not a database") << QByteArray("This is plain text and no catalogue at all.\n")
                                    << QByteArray();
}

void ProductCatalogueTest::unreadableCatalogueGivesEmptyResults() {
    QFETCH(QByteArray, content);
    QFETCH(QByteArray, key);

    CatalogueFixture fixture;
    if (key.isEmpty()) {
        QFile file(fixture.CataloguePath());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(file.write(content), content.size());
    } else {
        QVERIFY2(fixture.Write(content, key), qPrintable(fixture.Failure()));
    }

    ProductCatalogue catalogue;
    QCOMPARE(catalogue.OpenCatalogue(fixture.Directory()), CatalogueOpenResult::Opened);
    QString version;
    catalogue.ReadCatalogueVersion(version);
    QCOMPARE(version, QString());
    QCOMPARE(catalogue.ListEscModels(), QStringList());
    QCOMPARE(catalogue.ListProgramCardFirmware(), QStringList());
    QCOMPARE(catalogue.ListFirmwareFiles("Zeta ESC"), QStringList());
    QCOMPARE(FindModel(catalogue, {1, 1, 1, 1}), QString());
    const FirmwareMatch match = FindFirmware(catalogue, {1, 2, 3, 4});
    QCOMPARE(match.firmwareName, QStringLiteral("Unknown Version"));
    QCOMPARE(match.firmwareFileName, QString());
    QCOMPARE(match.firmwareModel, QString());
    QCOMPARE(catalogue.FindUpdateType("Zeta ESC", ""), QString());
}

void ProductCatalogueTest::openReportsMissingAndUnopenable_data() {
    QTest::addColumn<QString>("entry");
    QTest::addColumn<int>("result");

    QTest::newRow("no file") << "" << int(CatalogueOpenResult::FileMissing);
    QTest::newRow("dangling link") << "link" << int(CatalogueOpenResult::FileMissing);
    QTest::newRow("folder of that name") << "folder" << int(CatalogueOpenResult::OpenFailed);
}

void ProductCatalogueTest::openReportsMissingAndUnopenable() {
    QFETCH(QString, entry);
    QFETCH(int, result);

    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString path = folder.filePath(ProductCatalogue::FileName);
    if (entry == "folder") {
        QVERIFY(QDir().mkdir(path));
    } else if (entry == "link") {
        QVERIFY(QFile::link(folder.filePath("gone.db"), path));
    }

    ProductCatalogue catalogue;
    QCOMPARE(int(catalogue.OpenCatalogue(folder.path() + '/')), result);
    QVERIFY(!catalogue.IsOpen());
    // Opening creates nothing and later calls give empty results.
    QVERIFY(!QFileInfo::exists(folder.filePath("gone.db")));
    QCOMPARE(catalogue.ListEscModels(), QStringList());
    QCOMPARE(FindFirmware(catalogue, {1, 2, 3, 4}).firmwareName, QStringLiteral("Unknown Version"));
    catalogue.CloseCatalogue();
    QVERIFY(!catalogue.IsOpen());
}

void ProductCatalogueTest::reopenAndCloseAreSafe() {
    CatalogueFixture first;
    CatalogueFixture second;
    QVERIFY2(first.Write(CatalogueFixture::Schema +
                         "INSERT INTO DeviceList VALUES ('First', 1, 1, 1, 1, 1, '1', 1);"),
             qPrintable(first.Failure()));
    QVERIFY2(second.Write(CatalogueFixture::Schema +
                          "INSERT INTO DeviceList VALUES ('Second', 1, 1, 1, 1, 1, '1', 1);"),
             qPrintable(second.Failure()));

    ProductCatalogue catalogue;
    QCOMPARE(catalogue.OpenCatalogue(first.Directory()), CatalogueOpenResult::Opened);
    QVERIFY(catalogue.IsOpen());
    QCOMPARE(catalogue.OpenCatalogue(second.Directory()), CatalogueOpenResult::Opened);
    QCOMPARE(catalogue.ListEscModels(), QStringList{"Second"});
    catalogue.CloseCatalogue();
    QVERIFY(!catalogue.IsOpen());
    QCOMPARE(catalogue.ListEscModels(), QStringList());
    catalogue.CloseCatalogue();
}

QTEST_GUILESS_MAIN(ProductCatalogueTest)
#include "tst_productcatalogue.moc"
