#pragma once
// The terminal subcommand of shopgen: `shopgen terminal DIR --profile fiscal|nfce|sat
// [--register CODE] [--db CONNSTR]`. Writes a terminal directory for the demo shop in the client-dataset
// binary format:
//   DIR/PARAMETROSQVN.CDS                 every key of the terminal parameters
//   DIR/Dados/Cadastros/AliqImpFis.cds    tax rates matching the shop's tax rows
//   DIR/Dados/Cadastros/ConfTipoRece.cds  receipt types, the redemption kind "4" included
//   DIR/Dados/Cadastros/ControleAcess.cds the operator
//   DIR/Dados/Cadastros/DataMovimento.cds the business date (today)
//   DIR/Dados/Cadastros/AberturaCaixa.cds the register opening (encoded SAT activation code)
//   DIR/Dados/QUORVAN.CDS                 the host data (encoded MD5), under DSDIRCAD
// and, with --db, the connection string stored for the host (Dados/StringConexao.txt),
// so that the host finds the shop without being told. Without --db the host uses its
// default, the SQLite file DIR/Dados/loja.db. The shop database is best generated first:
// the check that follows reads it.
//
// Profiles: fiscal (fiscal printer), nfce (NFC-e, no printer), sat (SAT, no printer).

#include <QDate>
#include <QString>
#include <QStringList>

namespace shopgen {

struct TerminalOptions {
    QString dir;
    QString profile = QStringLiteral("fiscal");
    QString db;
    QString cashRegister;  // empty: the profile's register (fiscal and sat "001", nfce "002")
    QDate today = QDate::currentDate();
};

// Writes the terminal. Throws platform::Error on a file or database failure.
void writeTerminal(const TerminalOptions& options);

// Runs `pdvhost check` (from beside this program) on the terminal written and returns its
// exit code (0 nothing blocks a redemption, 1 something does); 0 when there is no pdvhost.
int checkTerminal(const TerminalOptions& options);

// Runs the command with its arguments (after "terminal"): writes the terminal, then
// checks it. Exit code 0, 1 (not written, or the check found what blocks a redemption) or 2.
int runTerminalCommand(const QStringList& args);

}  // namespace shopgen
