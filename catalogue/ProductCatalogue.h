#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <mutex>

struct sqlite3;

enum class CatalogueOpenResult { Opened, FileMissing, OpenFailed };

// What the software version bytes name. Without a unique four-byte match the
// name is "Unknown Version" and the file name is empty.
struct FirmwareMatch {
    QString firmwareName = QStringLiteral("Unknown Version");
    QString firmwareFileName;
    QString firmwareModel;
};

// The encrypted product catalogue beside the executable. Read only. Apart from
// OpenCatalogue nothing reports failure: a statement that fails to prepare or
// step gives no row, so lists come back empty and lookups keep their reset
// values. Safe to call from the window's thread and the monitor's thread.
class ProductCatalogue {
public:
    static constexpr const char* FileName = "ProductData.db";
    // Keyed with exactly these 16 bytes, no terminating zero.
    static constexpr const char* PassPhrase = "cahf@gasqcsw.vvl";

    ProductCatalogue() = default;
    ~ProductCatalogue();
    ProductCatalogue(const ProductCatalogue&) = delete;
    ProductCatalogue& operator=(const ProductCatalogue&) = delete;

    // exeDirectory ends with the path separator.
    CatalogueOpenResult OpenCatalogue(const QString& exeDirectory);
    // Sets catalogueVersion from the fifth column of the first DBVerInfo row;
    // leaves it as it was when there is no row.
    void ReadCatalogueVersion(QString& catalogueVersion);
    QStringList ListEscModels();
    QStringList ListProgramCardFirmware();
    QStringList ListFirmwareFiles(const QString& model);
    QString FindModelByHardwareVersion(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3);
    FirmwareMatch FindFirmwareBySoftwareVersion(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2,
                                                std::uint8_t b3);
    // Uses hardwareModel, or firmwareModel when that is empty.
    QString FindUpdateType(const QString& hardwareModel, const QString& firmwareModel);
    void CloseCatalogue();
    bool IsOpen() const {
        std::lock_guard lock(catalogueLock);
        return catalogueDb != nullptr;
    }

private:
    void CloseLocked();

    // One lock per operation, held from its first prepare to its last finalize,
    // so the window's thread and the monitor's thread never interleave on the
    // connection whatever threading mode the library was built with.
    mutable std::mutex catalogueLock;
    sqlite3* catalogueDb = nullptr;
};
