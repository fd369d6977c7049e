// Builds an encrypted product catalogue from SQL text:
//   catalogue-builder <sql-file> <output-file>
// Any file already at the output is replaced; any failure exits non-zero and
// leaves no output behind.

#include "CatalogueWriter.h"

#include <QFile>
#include <QString>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: catalogue-builder <sql-file> <output-file>\n", stderr);
        return 2;
    }
    const QString sqlPath = QFile::decodeName(argv[1]);
    const QString outputPath = QFile::decodeName(argv[2]);

    QFile sqlFile(sqlPath);
    if (!sqlFile.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "catalogue-builder: cannot read %s\n", argv[1]);
        return 1;
    }
    const QByteArray sql = sqlFile.readAll();

    const CatalogueWriteResult result = WriteCatalogue(outputPath, sql);
    if (!result.written) {
        std::fprintf(stderr, "catalogue-builder: %s\n", qPrintable(result.failure));
        return 1;
    }
    return 0;
}
