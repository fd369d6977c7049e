#pragma once

#include "ProductCatalogue.h"

#include <QByteArray>
#include <QString>

struct CatalogueWriteResult {
    bool written = false;
    QString failure;
};

// Writes an encrypted catalogue at outputPath from SQL text: a file already
// there is removed first, the new one is keyed and the SQL run in it. On any
// failure nothing is left at outputPath.
CatalogueWriteResult WriteCatalogue(const QString& outputPath, const QByteArray& sql,
                                    const QByteArray& key = QByteArray(ProductCatalogue::PassPhrase));
