#include "CatalogueWriter.h"

#include <QFile>
#include <QFileInfo>
#include <sqlcipher/sqlite3.h>

namespace {

CatalogueWriteResult Failed(const QString& failure) {
    return {false, failure};
}

QString LibraryMessage(sqlite3* db) {
    return QString::fromUtf8(sqlite3_errmsg(db));
}

} // namespace

CatalogueWriteResult WriteCatalogue(const QString& outputPath, const QByteArray& sql, const QByteArray& key) {
    const QFileInfo existing(outputPath);
    if (existing.isDir() && !existing.isSymLink()) {
        return Failed(QStringLiteral("%1 is a folder").arg(outputPath));
    }
    if ((existing.exists() || existing.isSymLink()) && !QFile::remove(outputPath)) {
        return Failed(QStringLiteral("cannot remove the old %1").arg(outputPath));
    }

    sqlite3* db = nullptr;
    const int opened = sqlite3_open_v2(QFile::encodeName(outputPath).constData(), &db,
                                       SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (opened != SQLITE_OK) {
        const QString message = LibraryMessage(db);
        sqlite3_close(db);
        return Failed(QStringLiteral("cannot create %1: %2").arg(outputPath, message));
    }

    QString failure;
    if (sqlite3_key(db, key.constData(), static_cast<int>(key.size())) != SQLITE_OK) {
        failure = QStringLiteral("cannot key %1: %2").arg(outputPath, LibraryMessage(db));
    } else {
        char* message = nullptr;
        if (sqlite3_exec(db, sql.constData(), nullptr, nullptr, &message) != SQLITE_OK) {
            failure = QString::fromUtf8(message != nullptr ? message : "unknown error");
        }
        sqlite3_free(message);
    }
    if (sqlite3_close(db) != SQLITE_OK && failure.isEmpty()) {
        failure = QStringLiteral("cannot close %1").arg(outputPath);
    }
    if (!failure.isEmpty()) {
        QFile::remove(outputPath);
        return Failed(failure);
    }
    return {true, {}};
}
