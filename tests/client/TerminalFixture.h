#pragma once
// A terminal for the screen's tests: a host directory with the terminal files and a small
// SQLite shop database whose balances and gifts are known.
//
// Consumer C1 of client 001 ("Ana Souza") holds:
//   CP1 "Pontos"  (IDUTILVOUCHER 'N'): 100 points  -> VRSALDOCONS 100, VRRESTANTE 100, VRPTOVOUCHER 0
//   CP2 "Voucher" (IDUTILVOUCHER 'S'):  50 points, an open voucher of 80
//                                      -> VRSALDOCONS 50, VRRESTANTE 50, VRPTOVOUCHER 80
// Consumer C2 ("Bruno Lima") holds nothing. Gifts of CP1 at branch 01: P1 "Caneca" 30
// points (18 % 'T'), P2 "Camiseta" 50 points (18 % 'T'), P3 "Boné" 10 points (7 % 'T', a
// rate the terminal's tax table does not know). CP2: P1 at 20 points.

#include "platform/dataset/DataPacket.h"

#include <QMap>
#include <QString>
#include <QTemporaryDir>
#include <QVariant>

namespace testsupport {

class TerminalFixture {
public:
    TerminalFixture();

    QString dir() const { return tmp_.path(); }
    QString dbPath() const { return dir() + QStringLiteral("/Dados/loja.db"); }
    // The shop's connection string: the SQLite file, or the PostgreSQL shop after
    // usePostgres().
    QString connectionString() const;

    // Moves the shop to PostgreSQL (when scripts/services.sh exported VAK_PG_CONNSTR; false
    // otherwise): one database per test process, emptied and given the same rows as the
    // SQLite shop. exec() and rows() then run there.
    bool usePostgres();
    bool onPostgres() const { return postgres_; }

    // The parameter file's keys and values (typed: QString, int, bool, QDateTime).
    QMap<QString, QVariant> params;
    // Writes PARAMETROSQVN.CDS from `params`, leaving out `without` when given, under
    // `fileName` (another letter case tests the lookup).
    void writeParams(const QString& without = {}, const QString& fileName = QStringLiteral("PARAMETROSQVN.CDS"));
    void writeTaxRates();            // Dados/Cadastros/AliqImpFis.cds: 18.0 't'
    void writeHostData(const QString& md5Plain);  // QUORVAN.CDS in DSDIRCAD, encoded
    void writeAccessControl();       // operator 7 "Caixa Teste"
    void writeReceiptTypes();
    void writeBusinessDate(const QDateTime& date);
    void writeRegisterOpening(const QString& activationPlain);
    void writeAll();                 // every file above with default contents
    void removeFile(const QString& relative);

    // Runs SQL on the shop database (for tests that change the data).
    void exec(const QString& sql);
    // The rows of a query on the shop database, every value as text.
    QList<QStringList> rows(const QString& sql) const;

    static void writeTable(const QString& path, const platform::FieldDefs& fields, const QList<QVariantList>& rows);

private:
    void createDatabase();
    QTemporaryDir tmp_;
    bool postgres_ = false;
};

}  // namespace testsupport
