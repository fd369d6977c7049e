#include "ProductCatalogue.h"

#include <QFile>
#include <QFileInfo>
#include <array>
#include <cstring>
#include <sqlcipher/sqlite3.h>

namespace {

using VersionBytes = std::array<std::uint8_t, 4>;

// One lookup level: the count query and the row query over the same bytes.
struct LookupLevel {
    const char* countQuery;
    const char* rowQuery;
};

constexpr std::array<LookupLevel, 3> hardwareLevels{{
    {"SELECT COUNT(*) FROM DeviceList WHERE HWVER_BYTE0=%d AND HWVER_BYTE1=%d AND HWVER_BYTE2=%d AND "
     "HWVER_BYTE3=%d AND EnableFlag=1",
     "SELECT DeviceModel FROM DeviceList WHERE HWVER_BYTE0=%d AND HWVER_BYTE1=%d AND HWVER_BYTE2=%d AND "
     "HWVER_BYTE3=%d AND EnableFlag=1"},
    {"SELECT COUNT(*) FROM DeviceList WHERE HWVER_BYTE0=%d AND HWVER_BYTE1=%d AND HWVER_BYTE2=%d AND "
     "EnableFlag=1",
     "SELECT DeviceModel FROM DeviceList WHERE HWVER_BYTE0=%d AND HWVER_BYTE1=%d AND HWVER_BYTE2=%d AND "
     "EnableFlag=1"},
    {"SELECT COUNT(*) FROM DeviceList WHERE HWVER_BYTE0=%d AND HWVER_BYTE1=%d AND EnableFlag=1",
     "SELECT DeviceModel FROM DeviceList WHERE HWVER_BYTE0=%d AND HWVER_BYTE1=%d AND EnableFlag=1"},
}};

// The first level's row query names the firmware; the others name only its model.
constexpr std::array<LookupLevel, 3> firmwareLevels{{
    {"SELECT COUNT(*) FROM FirmwareList WHERE SWVER_BYTE0=%d AND SWVER_BYTE1=%d AND SWVER_BYTE2=%d AND "
     "SWVER_BYTE3=%d AND EnableFlag=1",
     "SELECT FirmwareName,FileName,DeviceModel FROM FirmwareList WHERE SWVER_BYTE0=%d AND SWVER_BYTE1=%d "
     "AND SWVER_BYTE2=%d AND SWVER_BYTE3=%d AND EnableFlag=1"},
    {"SELECT COUNT(*) FROM FirmwareList WHERE SWVER_BYTE0=%d AND SWVER_BYTE1=%d AND SWVER_BYTE2=%d AND "
     "EnableFlag=1",
     "SELECT DeviceModel FROM FirmwareList WHERE SWVER_BYTE0=%d AND SWVER_BYTE1=%d AND SWVER_BYTE2=%d AND "
     "EnableFlag=1"},
    {"SELECT COUNT(*) FROM FirmwareList WHERE SWVER_BYTE0=%d AND SWVER_BYTE1=%d AND EnableFlag=1",
     "SELECT DeviceModel FROM FirmwareList WHERE SWVER_BYTE0=%d AND SWVER_BYTE1=%d AND EnableFlag=1"},
}};

// Model names are bound, never pasted into the text: a quote in a name must
// not break the statement.
constexpr const char* updateTypeQuery = "SELECT UpdateType FROM DeviceList WHERE DeviceModel=?";
constexpr const char* escModelsQuery =
    "SELECT DeviceModel FROM DeviceList WHERE DeviceType=1 AND EnableFlag=1";
constexpr const char* programCardModelQuery =
    "SELECT DeviceModel FROM DeviceList WHERE DeviceType=0 AND EnableFlag=1";
constexpr const char* enabledFilesQuery =
    "SELECT FileName FROM FirmwareList WHERE DeviceModel=? AND EnableFlag=1";
constexpr const char* allFilesQuery = "SELECT FileName FROM FirmwareList WHERE DeviceModel=?";
constexpr const char* versionQuery = "SELECT * FROM DBVerInfo";
constexpr int versionColumn = 4;

// Fills each "%d" of the format, in order, with the next byte in decimal.
QString WithBytes(const char* format, const VersionBytes& bytes) {
    QString sql = QString::fromLatin1(format);
    qsizetype from = 0;
    for (std::uint8_t byte : bytes) {
        const qsizetype at = sql.indexOf(QLatin1String("%d"), from);
        if (at < 0) {
            break;
        }
        const QString decimal = QString::number(unsigned{byte});
        sql.replace(at, 2, decimal);
        from = at + decimal.size();
    }
    return sql;
}

// One prepared statement, finalized when it goes out of scope, so every path
// out of an operation finalizes. A statement that failed to prepare or bind
// simply yields no row.
class Statement {
public:
    // A failed prepare leaves the handle null, which finalizing ignores.
    Statement(sqlite3* db, const QString& sql) {
        if (db != nullptr) {
            sqlite3_prepare16_v2(db, sql.utf16(), -1, &handle, nullptr);
        }
    }
    Statement(sqlite3* db, const char* sql) : Statement(db, QString::fromLatin1(sql)) {}
    ~Statement() { sqlite3_finalize(handle); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& Bind(int position, const QString& text) {
        if (handle != nullptr &&
            sqlite3_bind_text16(handle, position, text.utf16(), static_cast<int>(text.size() * sizeof(QChar)),
                                SQLITE_TRANSIENT) != SQLITE_OK) {
            sqlite3_finalize(handle);
            handle = nullptr;
        }
        return *this;
    }

    // Only a ready row counts; done and every error end the rows alike.
    bool Step() { return handle != nullptr && sqlite3_step(handle) == SQLITE_ROW; }

    int ColumnCount() const { return sqlite3_column_count(handle); }
    int Integer(int column) const { return sqlite3_column_int(handle, column); }

    // Read as UTF-16; NULL reads as the empty text.
    QString Text(int column) const {
        const void* text = sqlite3_column_text16(handle, column);
        if (text == nullptr) {
            return {};
        }
        const int bytes = sqlite3_column_bytes16(handle, column);
        return QString(static_cast<const QChar*>(text), bytes / static_cast<int>(sizeof(QChar)));
    }

    QStringList FirstColumnOfEveryRow() {
        QStringList texts;
        while (Step()) {
            texts.append(Text(0));
        }
        return texts;
    }

private:
    sqlite3_stmt* handle = nullptr;
};

int CountRows(sqlite3* db, const QString& sql) {
    Statement count(db, sql);
    return count.Step() ? count.Integer(0) : 0;
}

} // namespace

ProductCatalogue::~ProductCatalogue() {
    CloseCatalogue();
}

CatalogueOpenResult ProductCatalogue::OpenCatalogue(const QString& exeDirectory) {
    std::lock_guard lock(catalogueLock);
    CloseLocked();
    const QString path = exeDirectory + QLatin1String(FileName);
    if (!QFileInfo::exists(path)) {
        return CatalogueOpenResult::FileMissing;
    }
    // Read and write as the default open gives, but never create: should the
    // file vanish after the test above, the open fails instead of leaving an
    // empty catalogue behind.
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &catalogueDb, SQLITE_OPEN_READWRITE, nullptr) !=
        SQLITE_OK) {
        // Keying a connection whose open failed crashes the library, and the
        // handle is good for nothing else: release it at once.
        CloseLocked();
        return CatalogueOpenResult::OpenFailed;
    }
    // A wrong key or a damaged file shows only as statements that fail to
    // prepare, so the result of keying tells nothing worth acting on.
    sqlite3_key(catalogueDb, PassPhrase, static_cast<int>(std::strlen(PassPhrase)));
    return CatalogueOpenResult::Opened;
}

void ProductCatalogue::ReadCatalogueVersion(QString& catalogueVersion) {
    std::lock_guard lock(catalogueLock);
    Statement version(catalogueDb, versionQuery);
    if (version.Step()) {
        catalogueVersion = version.ColumnCount() > versionColumn ? version.Text(versionColumn) : QString();
    }
}

QStringList ProductCatalogue::ListEscModels() {
    std::lock_guard lock(catalogueLock);
    return Statement(catalogueDb, escModelsQuery).FirstColumnOfEveryRow();
}

QStringList ProductCatalogue::ListProgramCardFirmware() {
    std::lock_guard lock(catalogueLock);
    QString model;
    {
        Statement firstModel(catalogueDb, programCardModelQuery);
        if (firstModel.Step()) {
            model = firstModel.Text(0);
        }
    }
    if (model.isEmpty()) {
        return {};
    }
    return Statement(catalogueDb, enabledFilesQuery).Bind(1, model).FirstColumnOfEveryRow();
}

QStringList ProductCatalogue::ListFirmwareFiles(const QString& model) {
    std::lock_guard lock(catalogueLock);
    return Statement(catalogueDb, allFilesQuery).Bind(1, model).FirstColumnOfEveryRow();
}

QString ProductCatalogue::FindModelByHardwareVersion(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2,
                                                     std::uint8_t b3) {
    std::lock_guard lock(catalogueLock);
    const VersionBytes bytes{b0, b1, b2, b3};
    QString hardwareModel;
    for (const LookupLevel& level : hardwareLevels) {
        if (CountRows(catalogueDb, WithBytes(level.countQuery, bytes)) != 1) {
            continue;
        }
        Statement row(catalogueDb, WithBytes(level.rowQuery, bytes));
        if (row.Step()) {
            hardwareModel = row.Text(0);
        }
        if (!hardwareModel.isEmpty()) {
            break;
        }
    }
    return hardwareModel;
}

FirmwareMatch ProductCatalogue::FindFirmwareBySoftwareVersion(std::uint8_t b0, std::uint8_t b1,
                                                              std::uint8_t b2, std::uint8_t b3) {
    std::lock_guard lock(catalogueLock);
    const VersionBytes bytes{b0, b1, b2, b3};
    FirmwareMatch match;
    for (std::size_t level = 0; level < firmwareLevels.size(); ++level) {
        if (CountRows(catalogueDb, WithBytes(firmwareLevels[level].countQuery, bytes)) != 1) {
            continue;
        }
        Statement row(catalogueDb, WithBytes(firmwareLevels[level].rowQuery, bytes));
        if (row.Step()) {
            if (level == 0) {
                match.firmwareName = row.Text(0);
                match.firmwareFileName = row.Text(1);
                match.firmwareModel = row.Text(2);
            } else {
                match.firmwareModel = row.Text(0);
            }
        }
        if (!match.firmwareModel.isEmpty()) {
            break;
        }
    }
    return match;
}

QString ProductCatalogue::FindUpdateType(const QString& hardwareModel, const QString& firmwareModel) {
    const QString& model = hardwareModel.isEmpty() ? firmwareModel : hardwareModel;
    if (model.isEmpty()) {
        return {};
    }
    std::lock_guard lock(catalogueLock);
    Statement updateType(catalogueDb, updateTypeQuery);
    return updateType.Bind(1, model).Step() ? updateType.Text(0) : QString();
}

void ProductCatalogue::CloseCatalogue() {
    std::lock_guard lock(catalogueLock);
    CloseLocked();
}

void ProductCatalogue::CloseLocked() {
    if (catalogueDb != nullptr) {
        sqlite3_close(catalogueDb);
        catalogueDb = nullptr;
    }
}
