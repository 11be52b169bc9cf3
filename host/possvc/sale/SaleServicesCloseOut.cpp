#include "host/possvc/sale/SaleServicesCloseOut.h"

#include "host/possvc/devices/NFCeKey.h"

#include "platform/Error.h"
#include "platform/dataset/PacketCodec.h"
#include "platform/db/Query.h"
#include "platform/db/Transaction.h"

#include <QMap>
#include <QtDebug>
#include <QPair>

#include <algorithm>

namespace possvc {

using platform::FieldType;
using db::Column;
using In = hostapi::block::SetConcluiFechamento;
using DataSetsIn = hostapi::block::ConcluiFechamentoDataSets;

namespace {

const FieldType S = FieldType::String;
const FieldType F = FieldType::Float;
const FieldType D = FieldType::DateTime;

// Every column of MOVCAIXA that the cash movement record carries, with its type.
using CashColumns = QList<QPair<const char*, QPair<FieldType, int>>>;
const CashColumns& cashColumns()
{
    static const CashColumns columns{
        {"IDTIPOMOVIVE", {S, 1}}, {"DSMOVIVEND", {S, 250}}, {"CDTIPORECE", {S, 3}}, {"DTHRINCMOV", {D, 0}},
        {"DTDEPCHEQUE", {D, 0}}, {"NRCONTRAVALE", {S, 10}}, {"CDTIPOTROCO", {S, 3}}, {"VRMOVIVEND", {F, 0}},
        {"NMTIPORECE", {S, 40}}, {"NRORDTROCO", {S, 3}}, {"CDCLIENTE", {S, 21}}, {"CDCONSUMIDOR", {S, 21}},
        {"DTMOVIMCAIXA", {D, 0}}, {"VRMOVIVEOUT", {F, 0}}, {"VRCOTINDOUT", {F, 0}}, {"CDAGECHEQVEN", {S, 5}},
        {"CDBANCHEQVEN", {S, 3}}, {"CDCNTCHEQVEN", {S, 16}}, {"DTDEPCHEQVEN", {D, 0}}, {"NRCHEQUEVEND", {S, 6}},
        {"DSIMPFISCAL", {S, 50}}, {"IDTIPORECE", {S, 1}}, {"CDFPIMPFIS", {S, 10}}, {"NRCARTBANCO", {S, 10}},
        {"CDBANCARTCR", {S, 10}}, {"CDTIPORECEORIG", {S, 3}}, {"CDCCUSCLIE", {S, 10}}, {"CDNSUHOSTTEF", {S, 50}},
        {"NMTIPORECEORIG", {S, 40}}, {"QTPARCRECEB", {F, 0}}, {"NRCONTROLTEF", {S, 50}}, {"NMBANDTEF", {S, 100}},
        {"NRAUTORIZATEF", {S, 50}}, {"IDFILAPAGMFE", {S, 10}}, {"CDAUTORIZMFE", {S, 10}}, {"CDBINCARTMFE", {S, 10}},
        {"NMINSTFINMFE", {S, 50}}, {"CDPAGAMENMFE", {S, 10}}, {"CDNSUTEF", {S, 50}}, {"DSCARTDIGITAL", {S, 100}},
    };
    return columns;
}

QList<Column> cashKey(const QString& branch, const QString& cashRegister, const QString& number, const QString& sale)
{
    return {
        {"CDFILIAL", S, 4, branch},
        {"CDCAIXA", S, 3, cashRegister},
        {"NRSEQUMOVI", S, 10, number},
        {"NRSEQVENDA", S, 10, sale},
    };
}

}  // namespace

Issuer issuerOf(platform::db::Connection& db, const QString& branch, const Issuer& fallback)
{
    Issuer issuer = fallback;
    platform::db::Query q(&db);
    q.setSql(QStringLiteral("SELECT NMFILIAL, SGESTADO, NRINSJURFILI FROM FILIAL WHERE CDFILIAL = :P_CDFILIAL"));
    q.setParam(QStringLiteral("P_CDFILIAL"), branch);
    q.open();
    if (q.eof())
        return issuer;
    const QString name = q.value(0).toString().trimmed();
    const QString uf = q.value(1).toString().trimmed();
    const QString cnpj = q.value(2).toString().trimmed();
    if (!name.isEmpty())
        issuer.name = issuer.tradeName = name;
    if (nfce::ufCode(uf) != 0)
        issuer.uf = uf;
    if (cnpj.size() == 14)
        issuer.cnpj = cnpj;
    return issuer;
}

SaleCloseOut::SaleCloseOut(platform::db::Connection& db, const sim::SaleServicesConfig& config, const QDateTime& now,
                           const QString& terminal)
    : db_(db), config_(config), now_(now), terminal_(terminal)
{
}

void SaleCloseOut::prepare(platform::db::Connection& db)
{
    // The rows of a blank sale name the columns each insert of a close-out writes.
    static const sim::SaleServicesConfig noConfig;
    SaleCloseOut blank(db, noConfig, {}, {});
    blank.block_.emplace(QVariantList(In::Size), hostapi::block::highestIndex<In>);
    QList<Column> cash = cashKey({}, {}, {}, {});
    for (const auto& column : cashColumns())
        cash.append({QLatin1String(column.first), column.second.first, column.second.second, {}});
    db::prepareCloseOut(db, {{QStringLiteral("VENDA"), QStringLiteral("NRSEQVENDA")},
                             {QStringLiteral("MOVCAIXA"), QStringLiteral("NRSEQUMOVI")}},
                        {{QStringLiteral("VENDA"), blank.saleRow()},
                         {QStringLiteral("ITVENDA"), blank.itemRow(0)},
                         {QStringLiteral("MOVCAIXA"), cash},
                         {QStringLiteral("ITFIDELIDADE"), giftRow({}, {}, {}, {}, Gift{})}});
}

CloseOutResult SaleCloseOut::conclude(const QList<platform::ClientDataSet*>& dataSets, int highestDataSet,
                                      const QVariantList& block, int highest)
{
    const hostapi::BlockReader<DataSetsIn, platform::ClientDataSet*> sets(dataSets, highestDataSet);
    block_.emplace(block, highest);
    try {
        readInput(sets);
        checkFiscalRecord();
    } catch (const platform::HostError& e) {
        // The host's log keeps every refusal, whatever the caller shows.
        qWarning().noquote() << "possvc:" << e.text();
        throw;
    }

    platform::db::Transaction transaction(db_, /*writeLock=*/true);
    if (!gifts_.isEmpty())
        db::lockConsumer(db_, client_, consumer_);
    try {
        checkBalances();
    } catch (const platform::HostError& e) {
        qWarning().noquote() << "possvc:" << e.text();
        throw;
    }
    result_.sequence = db::nextSequence(db_, QStringLiteral("NRSEQVENDA_%1_%2").arg(branch_, register_),
                                        QStringLiteral("VENDA"), QStringLiteral("NRSEQVENDA"), branch_, register_);
    if (docType_ == QLatin1String("N"))
        issueNfce();
    insertSale();
    insertItems();
    insertGifts();
    insertCashMovements();
    if (docType_ == QLatin1String("N") || docType_ == QLatin1String("S"))
        db::markPending(db_, branch_, register_, result_.sequence, docType_, terminal_, now_);
    transaction.commit();
    if (config_.afterCloseOutCommit)
        config_.afterCloseOutCommit();
    return result_;
}

void SaleCloseOut::readInput(const DataSetsReader& dataSets)
{
    items_ = db::PacketRows::of(dataSets[DataSetsIn::Venda]);
    cash_ = db::PacketRows::of(dataSets[DataSetsIn::MovCaixa]);
    const db::PacketRows gifts = db::PacketRows::of(dataSets[DataSetsIn::Brinde]);
    branch_ = in().text(In::CdFilial);
    register_ = in().text(In::CdCaixa);
    docType_ = in().text(In::TipoDocumento).toUpper();
    if (branch_.isEmpty() || register_.isEmpty())
        throw platform::HostError(QStringLiteral("SetConcluiFechamento: filial ou caixa não informados"));
    if (items_.count() == 0)
        throw platform::HostError(QStringLiteral("SetConcluiFechamento: a venda não tem itens; nada foi gravado"));

    client_ = items_.text(0, QStringLiteral("CDCLIENTE"));
    consumer_ = items_.text(0, QStringLiteral("CDCONSUMIDOR"));
    if (consumer_.isEmpty() && cash_.count() > 0) {
        client_ = cash_.text(0, QStringLiteral("CDCLIENTE"));
        consumer_ = cash_.text(0, QStringLiteral("CDCONSUMIDOR"));
    }

    gifts_.clear();
    for (int i = 0; i < gifts.count(); ++i) {
        Gift g;
        g.client = gifts.text(i, QStringLiteral("CDCLIENTE"));
        if (g.client.isEmpty())
            g.client = client_;
        g.campaign = gifts.text(i, QStringLiteral("CDCAMPANHA"));
        g.product = gifts.text(i, QStringLiteral("CDPRODUTO"));
        g.points = gifts.number(i, QStringLiteral("VRPONTOBRINDE"));
        g.operation = gifts.text(i, QStringLiteral("IDUTILVOUCHER")) == QLatin1String("N") ? QStringLiteral("R")
                                                                                          : QStringLiteral("V");
        // The sale rows number the gifts in their order: the i-th gift is item i + 1.
        const QString seq = QString::number(i + 1).rightJustified(3, QLatin1Char('0'));
        for (int r = 0; r < items_.count(); ++r)
            if (items_.text(r, QStringLiteral("NRSEQ")) == seq && items_.text(r, QStringLiteral("CDPRODUTO")) == g.product)
                g.itemSequence = seq;
        gifts_.append(g);
    }
    if (!gifts_.isEmpty() && consumer_.isEmpty())
        throw platform::HostError(QStringLiteral("SetConcluiFechamento: consumidor não informado; os pontos dos brindes não podem ser debitados"));
    if (docType_ == QLatin1String("N")) {
        const QString number = in().text(In::NrNfce);
        const bool digits = !number.isEmpty() && number.size() <= 9
                            && std::all_of(number.begin(), number.end(), [](QChar c) { return c.isDigit(); });
        if (!digits)
            throw platform::HostError(QStringLiteral("SetConcluiFechamento: número de NFC-e inválido: '%1'").arg(number));
    }
}

// What a fiscal record cannot do without. Each refusal names what is missing; nothing is
// written then.
void SaleCloseOut::checkFiscalRecord()
{
    auto refuse = [](const QString& why) {
        throw platform::HostError(QStringLiteral("SetConcluiFechamento: %1; a venda não foi gravada.").arg(why));
    };
    if (register_.size() > 3)
        refuse(QStringLiteral("o código do caixa '%1' tem mais de 3 caracteres").arg(register_));
    if (branch_.size() > 4)
        refuse(QStringLiteral("o código da filial '%1' tem mais de 4 caracteres").arg(branch_));
    // The shop's texts are Windows-1252: a character the code page cannot hold would be
    // stored as another, and the sale filed under a code that is not the terminal's.
    const std::pair<const char*, QString> codes[] = {
        {"do caixa", register_}, {"da filial", branch_}, {"da empresa", in().text(In::CdEmpresa)},
        {"da loja", in().text(In::CdLoja)}, {"do operador", items_.text(0, QStringLiteral("CDOPERADOR"))}};
    for (const auto& [which, code] : codes)
        if (platform::packet::fromCp1252(platform::packet::toCp1252(code)) != code)
            refuse(QStringLiteral("o código %1 '%2' tem caracteres que o Windows-1252 não representa")
                       .arg(QLatin1String(which), code));
    static const QDate zeroDate(1899, 12, 30);
    const QDateTime movement = db::toDateTime(in()[In::DtMovimento]);
    if (!movement.isValid() || movement.date() <= zeroDate)
        refuse(QStringLiteral("data do movimento não informada (DataMovimento.cds ausente ou vazio?): '%1'")
                   .arg(in()[In::DtMovimento].toString()));
    const QDateTime opened = db::toDateTime(in()[In::DtAberCaix]);
    if (!opened.isValid() || opened.date() <= zeroDate)
        refuse(QStringLiteral("data de abertura do caixa não informada: '%1'").arg(in()[In::DtAberCaix].toString()));
    if (items_.text(0, QStringLiteral("CDOPERADOR")).isEmpty())
        refuse(QStringLiteral("operador não informado (ControleAcess.cds ausente?)"));
    for (int r = 0; r < cash_.count(); ++r)
        if (cash_.text(r, QStringLiteral("CDTIPORECE")).isEmpty())
            refuse(QStringLiteral("o movimento de caixa não tem tipo de recebimento"));
}

void SaleCloseOut::checkBalances()
{
    if (gifts_.isEmpty())
        return;
    // Points needed per client, campaign and operation.
    QMap<QString, QMap<QPair<QString, QString>, double>> needed;
    for (const Gift& g : gifts_)
        needed[g.client][{g.campaign, g.operation}] += g.points;
    const QDate today = now_.date();
    for (auto c = needed.cbegin(); c != needed.cend(); ++c) {
        const auto balances = db::balances(db_, c.key(), consumer_, today);
        for (auto n = c.value().cbegin(); n != c.value().cend(); ++n) {
            const db::CampaignBalance b = balances.value(n.key().first);
            const bool points = n.key().second == QLatin1String("R");
            const double available = points ? b.points : b.vouchers;
            if (available - n.value() < -1e-6)
                throw platform::HostError(
                    QStringLiteral("Saldo insuficiente na campanha %1: disponível %2 %3, necessário %4. A venda não foi gravada.")
                        .arg(n.key().first, QString::number(available, 'f', 2),
                             points ? QStringLiteral("pontos") : QStringLiteral("pontos de voucher"),
                             QString::number(n.value(), 'f', 2)));
        }
    }
}

void SaleCloseOut::issueNfce()
{
    const Issuer issuer = issuerOf(db_, branch_, config_.issuer);
    int uf = nfce::ufCode(in().text(In::SgEstadoFili));
    if (uf == 0)
        uf = nfce::ufCode(issuer.uf);
    QDateTime emitted = QDateTime::fromString(in().text(In::DataEmissNfce), Qt::ISODate);
    if (!emitted.isValid())
        emitted = now_;
    const QString number = in().text(In::NrNfce);
    const QString series = in().text(In::NrSerieNfce);
    const int environment = nfce::environmentCode(in().text(In::IdAmbTrabNfce));

    nfce::NfceKeyParts parts;
    parts.uf = uf;
    parts.issued = emitted.date();
    parts.cnpj = issuer.cnpj;
    parts.series = series.isEmpty() ? QStringLiteral("1") : series;
    parts.number = number;
    parts.randomCode = nfce::randomCode(
        (branch_ + register_ + result_.sequence + number + emitted.toString(Qt::ISODate)).toUtf8(), 8, number);
    result_.key = nfce::nfceKey(parts);
    result_.qrText = nfce::nfceQrText(environment == 1 ? config_.nfceQrUrlProduction : config_.nfceQrUrlHomologation,
                                      result_.key, environment, config_.nfceIdToken, config_.nfceCsc);
    result_.protocol = nfce::protocol(uf, emitted.date(), parts.series.toLongLong() * 10000000LL + number.toLongLong() % 10000000LL);
}

QList<Column> SaleCloseOut::saleRow() const
{
    double gross = 0, discount = 0, surcharge = 0;
    for (int r = 0; r < items_.count(); ++r) {
        gross += roundCents(items_.number(r, QStringLiteral("QTPRODCOMVEN")) * items_.number(r, QStringLiteral("VRPRECCOMVEN")));
        discount += items_.number(r, QStringLiteral("VRDESCCOMVEN"));
        surcharge += items_.number(r, QStringLiteral("VRACRCOMVEN"));
    }
    auto item = [&](const char* field) { return QVariant(items_.text(0, QLatin1String(field))); };
    const bool nfce = docType_ == QLatin1String("N");
    auto nfceOnly = [&](const QVariant& v) { return nfce ? v : QVariant(); };
    return {
        {"CDFILIAL", S, 4, branch_},
        {"CDCAIXA", S, 3, register_},
        {"NRSEQVENDA", S, 10, result_.sequence},
        {"IDSITUVENDA", S, 1, QStringLiteral("O")},
        {"IDIMPVENDA", S, 1, QStringLiteral("I")},
        {"CDEMPRESA", S, 2, in().text(In::CdEmpresa)},
        {"CDLOJA", S, 10, in().text(In::CdLoja)},
        {"CDOPERADOR", S, 12, item("CDOPERADOR")},
        {"CDCLIENTE", S, 21, client_},
        {"CDCONSUMIDOR", S, 21, consumer_},
        {"NMCONSVEND", S, 50, item("NMCONSVEND")},
        {"NRINSCRCONS", S, 20, item("NRINSCRCONS")},
        {"DSENDEVENDA", S, 60, item("DSENDEVENDA")},
        {"DTABERCAIX", D, 0, in()[In::DtAberCaix]},
        {"DTMOVIMCAIXA", D, 0, in()[In::DtMovimento]},
        {"DTHRVENDA", D, 0, now_},
        {"VRTOTVENDA", F, 0, roundCents(gross - discount + surcharge)},
        {"VRDESCVENDA", F, 0, roundCents(discount)},
        {"VRACRVENDA", F, 0, roundCents(surcharge)},
        {"NRCUPOMFIS", S, 10, in().text(In::CupNr)},
        {"NRCONTCUPOMFISC", S, 10, in().text(In::ContCupom)},
        {"NRSERIEIMP", S, 50, in().text(In::NrSerieImp)},
        {"IDTPDOCVENDA", S, 1, docType_},
        {"CDSERIENFCE", S, 3, nfceOnly(in().text(In::NrSerieNfce))},
        {"NRNOTAFISCALCE", S, 9, nfceOnly(in().text(In::NrNfce))},
        {"IDTPAMBNFCE", S, 1, nfceOnly(in().text(In::IdAmbTrabNfce))},
        {"DTEMISSNFCE", S, 30, nfceOnly(in().text(In::DataEmissNfce))},
        {"DSCHAVEACESSO", S, 44, nfceOnly(result_.key)},
        {"DSQRCODE", S, 1000, nfceOnly(result_.qrText)},
        {"NRPROTAUTNFCE", S, 20, nfceOnly(result_.protocol)},
        {"CDPREFINTGCOLVEN", S, 10, item("CDPREFINTGCOLVEN")},
    };
}

void SaleCloseOut::insertSale()
{
    db::insertRow(db_, QStringLiteral("VENDA"), saleRow());
}

void SaleCloseOut::insertItems()
{
    for (int r = 0; r < items_.count(); ++r)
        db::insertRow(db_, QStringLiteral("ITVENDA"), itemRow(r));
}

QList<Column> SaleCloseOut::itemRow(int r) const
{
    auto text = [&](const char* field) { return QVariant(items_.text(r, QLatin1String(field))); };
    auto number = [&](const char* field) { return items_.value(r, QLatin1String(field)); };
    QString seq = items_.text(r, QStringLiteral("NRSEQ"));
    if (seq.isEmpty())
        seq = QString::number(r + 1).rightJustified(3, QLatin1Char('0'));
    return {
        {"CDFILIAL", S, 4, branch_},
        {"CDCAIXA", S, 3, register_},
        {"NRSEQVENDA", S, 10, result_.sequence},
        {"NRSEQITVEND", S, 3, seq},
        {"CDPRODUTO", S, 10, text("CDPRODUTO")},
        {"NMPRODUTO", S, 50, text("NMPRODUTO")},
        {"CDARVPROD", S, 20, text("CDARVPROD")},
        {"QTPRODVEND", F, 0, number("QTPRODCOMVEN")},
        {"VRUNITVEND", F, 0, number("VRPRECCOMVEN")},
        {"VRDESCITVEND", F, 0, number("VRDESCCOMVEN")},
        {"VRACRITVEND", F, 0, number("VRACRCOMVEN")},
        {"IDTPIMPOSFIS", S, 1, text("IDTPIMPOSFIS")},
        {"CDIMPOSTO", S, 2, text("CDIMPOSTO")},
        {"VRALIQIMPR", F, 0, number("VRALIQIMPR")},
        {"CDORDALIQIMPR", S, 5, text("CDORDALIQIMPR")},
        {"CDPRODIMPFIS", S, 20, text("CDPRODIMPFIS")},
        {"CDPRODPROMOCAO", S, 20, text("CDPRODPROMOCAO")},
        {"CDVENDEDOR", S, 4, text("CDVENDEDORITEM")},
        {"CDLOJA", S, 10, text("CDLOJAIT")},
    };
}

void SaleCloseOut::insertGifts()
{
    for (const Gift& g : gifts_)
        db::insertRow(db_, QStringLiteral("ITFIDELIDADE"), giftRow(branch_, register_, result_.sequence, consumer_, g));
}

QList<Column> SaleCloseOut::giftRow(const QString& branch, const QString& cashRegister, const QString& sale,
                                    const QString& consumer, const Gift& g)
{
    return {
        {"CDFILIAL", S, 4, branch},
        {"CDCAIXA", S, 3, cashRegister},
        {"NRSEQVENDA", S, 10, sale},
        {"CDCLIENTE", S, 21, g.client},
        {"CDCONSUMIDOR", S, 21, consumer},
        {"CDCAMPANHA", S, 10, g.campaign},
        {"IDTPOPERITFIDEL", S, 1, g.operation},
        {"VRPONTOBRINDE", F, 0, g.points},
        {"CDPRODUTO", S, 10, g.product},
        {"NRSEQITVEND", S, 3, g.itemSequence.isEmpty() ? QVariant() : QVariant(g.itemSequence)},
    };
}

void SaleCloseOut::insertCashMovements()
{
    for (int r = 0; r < cash_.count(); ++r) {
        const QString number = db::nextSequence(db_, QStringLiteral("NRSEQUMOVI_%1_%2").arg(branch_, register_),
                                                QStringLiteral("MOVCAIXA"), QStringLiteral("NRSEQUMOVI"), branch_, register_);
        QList<Column> row = cashKey(branch_, register_, number, result_.sequence);
        for (const auto& [name, type] : cashColumns()) {
            QVariant v = cash_.value(r, QLatin1String(name));
            if (type.first == S && !v.isNull())
                v = cash_.text(r, QLatin1String(name));
            row.append({QLatin1String(name), type.first, type.second, v});
        }
        db::insertRow(db_, QStringLiteral("MOVCAIXA"), row);
    }
}

}  // namespace possvc
