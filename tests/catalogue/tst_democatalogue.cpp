// The demo catalogue and firmware built beside the program: they open with the
// program's key, hold what the demo promises, and every file they name is there
// in the format its update protocol reads.

#include "ProductCatalogue.h"

#include <QFile>
#include <QTest>
#include <algorithm>
#include <sqlcipher/sqlite3.h>

namespace {

const QString runtimeDirectory = QStringLiteral(ZUDA_RUNTIME_DIR "/");
constexpr qsizetype maxProgramCardImage = 131072;
constexpr qsizetype maxRecordData = 253;
constexpr qsizetype maxRecordLine = 255;
constexpr qsizetype blockSize = 24;

// Rows straight from the library, so the test also sees the rows that the
// program's own queries hide. NULL reads as the empty text.
QList<QStringList> QueryRows(const char* sql) {
    QList<QStringList> rows;
    sqlite3* db = nullptr;
    const QByteArray path = QFile::encodeName(runtimeDirectory + ProductCatalogue::FileName);
    if (sqlite3_open_v2(path.constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_key(db, ProductCatalogue::PassPhrase,
                    static_cast<int>(qstrlen(ProductCatalogue::PassPhrase)));
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK) {
            while (sqlite3_step(statement) == SQLITE_ROW) {
                QStringList row;
                for (int column = 0; column < sqlite3_column_count(statement); ++column) {
                    row.append(QString::fromUtf8(
                        reinterpret_cast<const char*>(sqlite3_column_text(statement, column))));
                }
                rows.append(row);
            }
        }
        sqlite3_finalize(statement);
    }
    sqlite3_close(db);
    return rows;
}

// Text mode as the update protocols read it: CR LF becomes LF, 0x1A ends the file.
QByteArray ReadAsText(const QByteArray& raw) {
    QByteArray text = raw.left(raw.indexOf('\x1A') < 0 ? raw.size() : raw.indexOf('\x1A'));
    return text.replace("\r\n", "\n");
}

bool IsUpperHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

int HexValue(char c) {
    return c <= '9' ? c - '0' : c - 'A' + 10;
}

// Hex text of length-prefixed records that cover the decoded image exactly.
QString ProgramCardFault(const QByteArray& raw) {
    const QByteArray text = ReadAsText(raw);
    QByteArray image;
    for (qsizetype at = 0; at + 2 <= text.size(); at += 2) {
        if (!IsUpperHexDigit(text[at]) || !IsUpperHexDigit(text[at + 1])) {
            return QStringLiteral("not a hex pair at %1").arg(at);
        }
        image.append(static_cast<char>(HexValue(text[at]) * 16 + HexValue(text[at + 1])));
    }
    if (image.isEmpty() || image.size() > maxProgramCardImage) {
        return QStringLiteral("image of %1 bytes").arg(image.size());
    }
    qsizetype offset = 0;
    while (offset < image.size()) {
        if (offset + 2 > image.size()) {
            return QStringLiteral("record length cut at %1").arg(offset);
        }
        const qsizetype length = quint8(image[offset]) * 256 + quint8(image[offset + 1]);
        if (length > maxRecordData || offset + 2 + length > image.size()) {
            return QStringLiteral("record of %1 bytes at %2").arg(length).arg(offset);
        }
        offset += 2 + length;
    }
    return {};
}

// Lines of a colon and upper-case hex pairs, LF or CR LF, the last one
// perhaps without a line break.
QString EscRecordsFault(const QByteArray& raw) {
    QByteArray text = ReadAsText(raw);
    if (text.endsWith('\n')) {
        text.chop(1);
    }
    if (text.isEmpty()) {
        return QStringLiteral("no lines");
    }
    const QList<QByteArray> lines = text.split('\n');
    for (qsizetype number = 0; number < lines.size(); ++number) {
        const QByteArray& line = lines[number];
        const bool digitsOnly =
            std::all_of(line.begin() + qMin<qsizetype>(1, line.size()), line.end(), IsUpperHexDigit);
        if (!line.startsWith(':') || line.size() % 2 == 0 || line.size() > maxRecordLine || !digitsOnly) {
            return QStringLiteral("line %1 \"%2\"").arg(number + 1).arg(QString::fromLatin1(line));
        }
    }
    return {};
}

QString EscBlocksFault(const QByteArray& raw) {
    if (raw.isEmpty() || raw.size() % blockSize != 0) {
        return QStringLiteral("length %1 is no whole number of blocks").arg(raw.size());
    }
    return {};
}

} // namespace

class DemoCatalogueTest : public QObject {
    Q_OBJECT

private slots:
    void opensWithTheProgramKey();
    void listsWhatTheDemoPromises();
    void identifiesEveryEnabledRow();
    void everyFileNameHasAWellFormedFile_data();
    void everyFileNameHasAWellFormedFile();
};

void DemoCatalogueTest::opensWithTheProgramKey() {
    ProductCatalogue catalogue;
    QCOMPARE(catalogue.OpenCatalogue(runtimeDirectory), CatalogueOpenResult::Opened);
    QString version;
    catalogue.ReadCatalogueVersion(version);
    QCOMPARE(version, QStringLiteral("2026.12.01"));
}

void DemoCatalogueTest::listsWhatTheDemoPromises() {
    ProductCatalogue catalogue;
    QCOMPARE(catalogue.OpenCatalogue(runtimeDirectory), CatalogueOpenResult::Opened);

    const QStringList cardFiles = catalogue.ListProgramCardFirmware();
    QVERIFY2(cardFiles.size() >= 3, qPrintable(cardFiles.join(", ")));

    const QStringList escModels = catalogue.ListEscModels();
    QStringList updateTypes;
    for (const QString& model : escModels) {
        updateTypes.append(catalogue.FindUpdateType(model, {}));
        QVERIFY2(!catalogue.ListFirmwareFiles(model).isEmpty(), qPrintable(model));
    }
    QVERIFY2(updateTypes.count("2") >= 2, qPrintable(updateTypes.join(", ")));
    QVERIFY2(updateTypes.size() - updateTypes.count("2") >= 2, qPrintable(updateTypes.join(", ")));

    // Hidden rows, to try what the program does with them.
    const QList<QStringList> disabledModels =
        QueryRows("SELECT DeviceModel FROM DeviceList WHERE EnableFlag<>1 AND DeviceType=1");
    QVERIFY(!disabledModels.isEmpty());
    QVERIFY(!escModels.contains(disabledModels.first().first()));
    const QList<QStringList> disabledFirmware =
        QueryRows("SELECT FileName FROM FirmwareList WHERE EnableFlag<>1");
    QVERIFY(!disabledFirmware.isEmpty());
    for (const QStringList& row : disabledFirmware) {
        QVERIFY2(!cardFiles.contains(row.first()), qPrintable(row.first()));
    }
}

void DemoCatalogueTest::identifiesEveryEnabledRow() {
    ProductCatalogue catalogue;
    QCOMPARE(catalogue.OpenCatalogue(runtimeDirectory), CatalogueOpenResult::Opened);

    const QList<QStringList> devices = QueryRows("SELECT DeviceModel, HWVER_BYTE0, HWVER_BYTE1, HWVER_BYTE2, "
                                                 "HWVER_BYTE3 FROM DeviceList WHERE EnableFlag=1");
    QVERIFY(!devices.isEmpty());
    for (const QStringList& row : devices) {
        QCOMPARE(catalogue.FindModelByHardwareVersion(row[1].toUInt(), row[2].toUInt(), row[3].toUInt(),
                                                      row[4].toUInt()),
                 row[0]);
    }

    const QList<QStringList> firmware = QueryRows(
        "SELECT FirmwareName, FileName, DeviceModel, SWVER_BYTE0, SWVER_BYTE1, SWVER_BYTE2, SWVER_BYTE3 "
        "FROM FirmwareList WHERE EnableFlag=1");
    QVERIFY(!firmware.isEmpty());
    for (const QStringList& row : firmware) {
        const FirmwareMatch match = catalogue.FindFirmwareBySoftwareVersion(row[3].toUInt(), row[4].toUInt(),
                                                                            row[5].toUInt(), row[6].toUInt());
        QCOMPARE(match.firmwareName, row[0]);
        QCOMPARE(match.firmwareFileName, row[1]);
        QCOMPARE(match.firmwareModel, row[2]);
    }
}

void DemoCatalogueTest::everyFileNameHasAWellFormedFile_data() {
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<int>("deviceType");
    QTest::addColumn<QString>("updateType");

    const QList<QStringList> rows =
        QueryRows("SELECT f.FileName, d.DeviceType, d.UpdateType FROM FirmwareList f "
                  "LEFT JOIN DeviceList d ON d.DeviceModel = f.DeviceModel");
    QVERIFY(rows.size() >= 10);
    for (const QStringList& row : rows) {
        QTest::newRow(qPrintable(row[0])) << row[0] << (row[1].isEmpty() ? -1 : row[1].toInt()) << row[2];
    }
}

void DemoCatalogueTest::everyFileNameHasAWellFormedFile() {
    QFETCH(QString, fileName);
    QFETCH(int, deviceType);
    QFETCH(QString, updateType);

    QVERIFY2(deviceType == 0 || deviceType == 1, "the firmware's model has no DeviceList row");
    QVERIFY(!fileName.isEmpty());
    const bool programCard = deviceType == 0;
    QFile file(runtimeDirectory + "Firmware/" + fileName + (programCard ? ".xup" : ".zvc"));
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
    const QByteArray content = file.readAll();

    const QString fault = programCard          ? ProgramCardFault(content)
                          : updateType == u"2" ? EscBlocksFault(content)
                                               : EscRecordsFault(content);
    QVERIFY2(fault.isEmpty(), qPrintable(fault));
}

QTEST_GUILESS_MAIN(DemoCatalogueTest)
#include "tst_democatalogue.moc"
