#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// A product catalogue in a temporary folder of its own, written from SQL text
// with the library and key the program uses, or with another key to stand for
// a catalogue the program cannot read. The folder goes with the fixture.
class CatalogueFixture {
public:
    // The three tables as the program reads them. UpdateType has no declared
    // type, so a value keeps the storage class it was inserted with.
    static const QByteArray Schema;

    // Writes ProductData.db, replacing an earlier one; false with Failure() set
    // when the SQL or the library refused.
    bool Write(const QByteArray& sql);
    bool Write(const QByteArray& sql, const QByteArray& key);

    // Ends with '/', as the executable's folder does.
    QString Directory() const;
    QString CataloguePath() const;
    QString Failure() const { return failure; }

private:
    QTemporaryDir folder;
    QString failure;
};
