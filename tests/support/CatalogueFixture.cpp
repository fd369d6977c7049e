#include "CatalogueFixture.h"

#include "CatalogueWriter.h"
#include "ProductCatalogue.h"

const QByteArray CatalogueFixture::Schema =
    "CREATE TABLE DeviceList (DeviceModel TEXT, DeviceType INTEGER, HWVER_BYTE0 INTEGER, HWVER_BYTE1 INTEGER,"
    " HWVER_BYTE2 INTEGER, HWVER_BYTE3 INTEGER, UpdateType, EnableFlag INTEGER);\n"
    "CREATE TABLE FirmwareList (FirmwareName TEXT, FileName TEXT, DeviceModel TEXT, SWVER_BYTE0 INTEGER,"
    " SWVER_BYTE1 INTEGER, SWVER_BYTE2 INTEGER, SWVER_BYTE3 INTEGER, EnableFlag INTEGER);\n"
    "CREATE TABLE DBVerInfo (Id INTEGER, Title TEXT, Notes TEXT, Created TEXT, Version TEXT);\n";

bool CatalogueFixture::Write(const QByteArray& sql) {
    return Write(sql, QByteArray(ProductCatalogue::PassPhrase));
}

bool CatalogueFixture::Write(const QByteArray& sql, const QByteArray& key) {
    if (!folder.isValid()) {
        failure = QStringLiteral("no temporary folder: %1").arg(folder.errorString());
        return false;
    }
    const CatalogueWriteResult result = WriteCatalogue(CataloguePath(), sql, key);
    failure = result.failure;
    return result.written;
}

QString CatalogueFixture::Directory() const {
    return folder.path() + QLatin1Char('/');
}

QString CatalogueFixture::CataloguePath() const {
    return Directory() + QLatin1String(ProductCatalogue::FileName);
}
