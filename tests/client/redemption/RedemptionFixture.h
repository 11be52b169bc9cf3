#pragma once
// A redemption screen on the test terminal (tests/client's TerminalFixture: consumer C1
// of client 001 with 100 points in CP1 and 80 voucher points in CP2), driven through the
// reference host's simulated fiscal printer and sale services against the terminal's
// SQLite shop, every call into fiscaldev, possvc and hostkit recorded in order.
//
// Terminal profiles: a fiscal printer only; NFC-e; SAT; NFC-e issued by a terminal that
// also prints on a fiscal printer (the undo of a concluded sale through the printer); and
// a terminal with both the NFC-e and the SAT flag set, which is an NFC-e terminal.

#include "ScreenFixture.h"

#include "platform/dataset/DataPacket.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <deque>
#include <ostream>

namespace redemption {

enum class Perfil { Fiscal, Nfce, Sat, NfceComImpressora, NfceESat };
const char* nomePerfil(Perfil perfil);
// How GoogleTest shows a profile: its name.
inline void PrintTo(Perfil perfil, std::ostream* os) { *os << nomePerfil(perfil); }
// What the profile's parameter file says: a fiscal printer, the NFC-e flag, the SAT flag.
bool temImpressora(Perfil perfil);
bool marcaNfce(Perfil perfil);
bool marcaSat(Perfil perfil);

// The shop database: the terminal's SQLite file, or PostgreSQL when scripts/services.sh
// started one.
enum class Banco { SQLite, PostgreSQL };
const char* nomeBanco(Banco banco);

struct Chamada {
    QString lib, op;
    QVariantList args;
    QVariant result;
    QVariantList out;
    bool raised = false;
    QString error;
};

class RedemptionFixture : public testsupport::ScreenFixture {
protected:
    void SetUp() override;
    void TearDown() override;

    // The terminal's parameter file for the profile (written now).
    void perfil(Perfil perfil);
    // Moves the shop to `banco` before the screen opens; false when that database is not
    // available here (the test is then skipped).
    bool usaBanco(Banco banco);
    // Opens the screen for consumer C1 ("Ana Souza", CPF 12345678901, "Rua A, 1").
    void abreC1();
    // Chooses gifts of the current campaign through F4, each by its product code.
    void escolhe(const QStringList& produtos);
    // Moves the campaign grid to `cdCampanha`.
    void campanha(const QString& cdCampanha);
    // F5.
    void confirma();

    // The recorded calls (all, or those of one operation).
    QList<Chamada> chamadas;
    QList<Chamada> de(const QString& op) const;
    QStringList operacoes() const;  // "lib.op" of every recorded call, in order
    // What a host of the published contract alone would refuse among the recorded calls
    // (an operation it does not publish, a message of another shape), each named; the
    // operations in `alemDoContrato` (offered by this host beyond it) aside.
    QStringList foraDoContrato(const QStringList& alemDoContrato = {}) const;
    void esqueceChamadas()
    {
        chamadas.clear();
        indicadores = 0;
    }

    // Whether the wait indicator is shown now, and how often it was shown.
    bool indicador = false;
    int indicadores = 0;

    // The shop database.
    QList<QStringList> linhas(const QString& sql) const;
    QString valor(const QString& sql) const;
    int vendasAtivas() const;        // VENDA rows of C1 concluded ("O")
    int vendasCanceladas() const;    // VENDA rows of C1 cancelled ("C")
    int registrosCancelamento() const;  // VENDACANCELADA rows
    // A campaign's balances as a fresh query of the data service gives them.
    double saldoBanco(const QString& cdCampanha, const char* campo) const;

    // The journal of the simulated printer.
    QString diario() const;
    // The CF-es the terminal's simulated SAT device remembers having issued.
    int cfesNaMemoriaDoSat() const;

    // Product codes the next gift searches choose (a code no row has: giving up).
    std::deque<QString> escolhas;
};

// The terminal's receipt types: a cash type, a hidden redemption type, the redemption
// type whose show flag is null (the one to use: "010" "Fidelidade"), and a later shown
// redemption type.
void escreveTiposRecebimento(const QString& dir);

// The data packet carried by a block element (QByteArray or DataPacket).
platform::DataPacket pacote(const QVariant& valor);
// The values of one field over the packet's rows.
QVariantList coluna(const platform::DataPacket& p, const QString& campo);

}  // namespace redemption
