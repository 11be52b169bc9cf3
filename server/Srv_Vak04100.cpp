// The seven data-service functions of the loyalty screen.

#include "server/Srv_Vak04100.h"

#include "hostapi/hostkit.h"
#include "platform/Error.h"
#include "platform/dataset/PacketCodec.h"
#include "server/FidelidadeSql.h"

#include <QLocale>

#include <algorithm>
#include <cmath>

using platform::db::Command;
using platform::db::Query;

namespace Srv_Vak04100 {

extern "C" {
TrdmFidelidade* rdmFidelidade = nullptr;
}

namespace {

TrdmFidelidade& modulo()
{
    if (!rdmFidelidade)
        throw platform::Error(QStringLiteral("O módulo de dados da fidelidade não foi criado."));
    return *rdmFidelidade;
}

// The text a data-service function returns instead of raising.
QVariant textoErro(const std::exception& erro)
{
    return hostkit::ADOExceptionMessage(erro, rdmFidelidade ? rdmFidelidade->adcFidelidade : nullptr,
                                        QString());
}

// Code arguments of the reading queries: the shop database keeps no row under an empty
// code (on Oracle the empty text is null), so an empty code is bound as null and finds
// nothing on every backend.
QVariant codigo(const QString& text)
{
    const QString ansi = textoAnsi(text);
    return ansi.isEmpty() ? QVariant() : QVariant(ansi);
}

// Close, bind (done by the caller between), open, packet: the read pattern of the module.
QVariant lePacote(Query& query, platform::db::Provider& provider)
{
    // The provider opens it to read it once through: on a server the rows go into the
    // packet as they arrive.
    query.close();
    return provider.data();
}

// A data-service function's body run on the data module: its result, or the text of the
// error it raised (the functions never raise).
template <typename Corpo>
QVariant servico(Corpo&& corpo)
{
    try {
        return corpo(modulo());
    } catch (const std::exception& erro) {
        return textoErro(erro);
    }
}

// A query that has a text per database. The host's SQL-variant store installs the Oracle or
// SQL Server text as the query opens; on the other engines (SQLite, PostgreSQL) the text is
// the module's own and is installed here, before binding, since it has one parameter more.
// `liga` binds, the rows come as a packet.
template <typename Liga>
QVariant lePacoteDialeto(Query& query, const QString& textoAnsi, platform::db::Provider& provider, Liga&& liga)
{
    query.close();
    if (query.connection()->dialect() == platform::db::Dialect::Ansi)
        query.setSql(textoAnsi);
    liga(query);
    return lePacote(query, provider);
}

// Inserts a first-of-day marker unless its key exists. Another terminal may insert the
// same key between the lookup and the insert: the database's unique key then rejects this
// insert, and a second lookup that finds the key means the first writer won, which is
// what the marker is for, so it is not an error.
void gravaMarcadorNovo(Query& pesquisa, Command& insere, const QString& chave, const QString& valor)
{
    pesquisa.close();
    pesquisa.setParam(QStringLiteral("P_CDCONTADOR"), chave);
    pesquisa.open();
    const bool existe = !pesquisa.isEmpty();
    // A cursor left open on its row holds a read lock (SQLite) that blocks the other
    // connections' writes, the sale close-out's among them, until the next lookup.
    pesquisa.close();
    if (existe)
        return;
    insere.setParam(QStringLiteral("P_CDCONTADOR"), chave);
    insere.setParam(QStringLiteral("P_NRSEQUENCIAL"), valor);
    try {
        insere.execute();
    } catch (const platform::DatabaseError&) {
        pesquisa.close();
        pesquisa.open();
        const bool gravadoPorOutro = !pesquisa.isEmpty();
        pesquisa.close();
        if (!gravadoPorOutro)
            throw;
    }
}

// The same, once per key while the screen is open: markers are never taken back, and
// every redemption records the day's first receipt.
void gravaMarcador(TrdmFidelidade& rdm, Query& pesquisa, Command& insere, const QString& chave, const QString& valor)
{
    if (rdm.marcadoresGravados.contains(chave))
        return;
    gravaMarcadorNovo(pesquisa, insere, chave, valor);
    rdm.marcadoresGravados.insert(chave);
}

}  // namespace

bool representavelAnsi(const QString& text)
{
    return platform::packet::fromCp1252(platform::packet::toCp1252(text)) == text;
}

QString textoAnsi(const QString& text)
{
    // A substitute character would make the text another one: "山田X" would read and
    // write the rows of "??X".
    if (!representavelAnsi(text))
        throw platform::Error(
            QStringLiteral("O texto \"%1\" tem caracteres que o banco da loja não representa (Windows-1252).")
                .arg(text));
    return text;
}

QString textoData(const QDate& date)
{
    return QLocale::system().toString(date, QLocale::ShortFormat);
}

QVariant GetConsumidor()
{
    return servico([](TrdmFidelidade& rdm) {
        rdm.adqConsumidor->close();
        // The list's texts are 8-bit: a code the code page cannot hold would reach the
        // screen with substitutes and name another consumer. Such a consumer stays listed,
        // with no code, so that choosing it loads nobody's points.
        rdm.dspConsumidor.setNullUnlessCp1252({QStringLiteral("CDCONSUMIDOR"), QStringLiteral("CDCLIENTE")});
        return lePacote(*rdm.adqConsumidor, rdm.dspConsumidor);
    });
}

QVariant GetSaldoConsCamp(const QString& cdCliente, const QString& cdConsumidor)
{
    return servico([&](TrdmFidelidade& rdm) {
        return lePacoteDialeto(*rdm.adqSaldoConsCamp, sql::saldoConsCampAnsi, rdm.dspSaldoConsCamp, [&](Query& q) {
            q.setParam(QStringLiteral("P_CDCLIENTE"), codigo(cdCliente));
            q.setParam(QStringLiteral("P_CDCONSUMIDOR"), codigo(cdConsumidor));
            q.setParam(QStringLiteral("P_DATAHOJE"), QDateTime(QDate::currentDate(), QTime(0, 0)));
        });
    });
}

QVariant GetBrinde(const QString& cdCampanha, const QString& cdFilial)
{
    return servico([&](TrdmFidelidade& rdm) {
        return lePacoteDialeto(*rdm.adqBrinde, sql::brindeAnsi, rdm.dspBrinde, [&](Query& q) {
            q.setParam(QStringLiteral("P_CDCAMPANHA"), codigo(cdCampanha));
            q.setParam(QStringLiteral("P_CDFILIAL"), codigo(cdFilial));
            // The ANSI text has the range bound of the product-tree join as one more
            // parameter, written in characters the database holds.
            if (platform::db::Parameter* fim = q.findParam(QStringLiteral("P_FIMARVPROD"))) {
                if (rdm.fimArvProd.isEmpty())
                    rdm.fimArvProd = sql::fimArvProd(*rdm.adcFidelidade);
                fim->setValue(rdm.fimArvProd);
            }
        });
    });
}

QVariant SetGravaCupomInicial(const QString& cdFilial, const QString& cdCaixa, const QString& nrCupom,
                              const QDateTime& dtFiscal)
{
    return servico([&](TrdmFidelidade& rdm) {
        const QString chave = QStringLiteral("CUPINICIAL") + textoAnsi(cdFilial) + textoAnsi(cdCaixa)
                              + textoData(dtFiscal.date());
        gravaMarcador(rdm, *rdm.adqCupomInicial, *rdm.acmInsCupomInicial, chave,
                      hostkit::Ajusta(textoAnsi(nrCupom), 10));
        return QVariant();
    });
}

namespace {

// A number drawn by the host's numbering component, created for the one call and released
// on every path. It draws on a connection of its own, so that the number is committed
// whatever the screen's transaction does.
template <typename Saque>
QString numera(Saque&& saque)
{
    hostkit::TdtmQvnProxCodigo numerador(nullptr);
    return saque(numerador);
}

}  // namespace

QVariant GetSenhaCupom(const QString& cdFilial, const QDateTime& data)
{
    return numera([&](hostkit::TdtmQvnProxCodigo& n) { return n.PrxVendaDia(textoAnsi(cdFilial), data); });
}

QVariant getNumeroNFCe(const QString& cdFilial, const QString& serie, const QString& ambiente)
{
    return numera([&](hostkit::TdtmQvnProxCodigo& n) {
        return n.PrxNumeroNFCe(textoAnsi(cdFilial), textoAnsi(serie), textoAnsi(ambiente));
    });
}

QVariant setNumeroNFCe(const QString& cdFilial, const QString& cdCaixa, const QString& serie,
                       const QString& ambiente, bool gravaInutiliza)
{
    return servico([&](TrdmFidelidade& rdm) -> QVariant {
        const QString filial = textoAnsi(cdFilial), caixa = textoAnsi(cdCaixa);
        const QString nrSerie = textoAnsi(serie), amb = textoAnsi(ambiente);
        // The register takes no part in the numbering.
        const QString numero = getNumeroNFCe(filial, nrSerie, amb).toString();
        const QDate hoje = QDate::currentDate();

        const QString chave = QStringLiteral("NFCEPRIM_") + filial + nrSerie + QLatin1Char('-') + textoData(hoje)
                              + QStringLiteral("_AMB") + amb;
        // Insert only: the first writer of the day wins and its value is never changed
        // (other programs write this table too). A terminal draws its number and writes
        // the marker in two steps, so one that drew a later number may write first; the
        // marker then holds that number, not the day's smallest. That race is accepted:
        // the marker records the first NFC-e written that day, as far as the table knows.
        gravaMarcador(rdm, *rdm.adqPesqNumNFCe, *rdm.acmInsNumeroNFCePri, chave, numero);

        if (gravaInutiliza) {
            Command& c = *rdm.acmInsInutilizaNFCe;
            c.setParam(QStringLiteral("CDFILIAL"), filial);
            c.setParam(QStringLiteral("CDCAIXA"), caixa);
            c.setParam(QStringLiteral("NRNOTAFISCALCE"), numero);
            c.setParam(QStringLiteral("DTENTRVENDA"), QDateTime(hoje, QTime(0, 0)));
            c.setParam(QStringLiteral("CDSERIENFCE"), nrSerie);
            c.setParam(QStringLiteral("IDTPAMBNFCE"), amb);
            c.setParam(QStringLiteral("IDSTATUSNFCE"), QStringLiteral("P"));
            c.execute();
        }
        return numero;
    });
}

// Date-time values of the C interface: whole days since 1899-12-30, the fraction the time
// of day. Before that date the whole part is negative and the fraction still counts
// forward from midnight, as the host's date-time values do.
double toDateTimeValue(const QDateTime& dateTime)
{
    static const QDate base(1899, 12, 30);
    const qint64 dias = base.daysTo(dateTime.date());
    const double fracao = dateTime.time().msecsSinceStartOfDay() / 86400000.0;
    return dias >= 0 ? double(dias) + fracao : double(dias) - fracao;
}

QDateTime fromDateTimeValue(double value)
{
    static const QDate base(1899, 12, 30);
    const double dias = std::trunc(value);
    const qint64 ms = std::llround(std::fabs(value - dias) * 86400000.0);
    return QDateTime(base.addDays(qint64(dias)),
                     QTime::fromMSecsSinceStartOfDay(int(std::min<qint64>(ms, 86400000 - 1))));
}

}  // namespace Srv_Vak04100
