#include "RedemptionFixture.h"

#include "host/fiscaldev/SimPrinter.h"
#include "host/hostkit/HostHooks.h"
#include "host/possvc/sale/SaleServices.h"
#include "hostapi/PublishedContract.h"
#include "hostapi/fiscaldev.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUuid>

namespace redemption {

using platform::FieldDef;
using platform::FieldType;

const char* nomePerfil(Perfil perfil)
{
    switch (perfil) {
    case Perfil::Fiscal: return "fiscal";
    case Perfil::Nfce: return "nfce";
    case Perfil::Sat: return "sat";
    case Perfil::NfceComImpressora: return "nfce_impressora";
    case Perfil::NfceESat: return "nfce_e_sat";
    }
    return "?";
}

bool temImpressora(Perfil perfil) { return perfil == Perfil::Fiscal || perfil == Perfil::NfceComImpressora; }
bool marcaNfce(Perfil perfil)
{
    return perfil == Perfil::Nfce || perfil == Perfil::NfceComImpressora || perfil == Perfil::NfceESat;
}
bool marcaSat(Perfil perfil) { return perfil == Perfil::Sat || perfil == Perfil::NfceESat; }

const char* nomeBanco(Banco banco)
{
    return banco == Banco::SQLite ? "sqlite" : "postgresql";
}

namespace {

Chamada deRegistro(const hostapi::CallRecord& r)
{
    return {r.lib, r.op, r.args, r.result, r.out, r.raised, r.error};
}

}  // namespace

void escreveTiposRecebimento(const QString& dir)
{
    auto texto = [](const char* nome, int tamanho) { return FieldDef::text(QString::fromLatin1(nome), tamanho); };
    testsupport::TerminalFixture::writeTable(
        dir + QStringLiteral("/Dados/Cadastros/ConfTipoRece.cds"),
        {texto("CDTIPORECE", 3), texto("NMTIPORECE", 40), texto("IDTIPORECE", 1), texto("IDMOSTRARECE", 1),
         texto("CDTIPOTROCO", 3), texto("NRORDTROCO", 3), texto("DSIMPFISCAL", 50), texto("CDBANCARTCR", 10),
         texto("CDFPIMPFIS", 10)},
        {
            {QStringLiteral("001"), QStringLiteral("Dinheiro"), QStringLiteral("1"), QStringLiteral("S"),
             QStringLiteral("001"), QStringLiteral("1"), QStringLiteral("DINHEIRO"), QVariant(), QStringLiteral("01")},
            {QStringLiteral("009"), QStringLiteral("Resgate antigo"), QStringLiteral("4"), QStringLiteral("N"),
             QStringLiteral("001"), QStringLiteral("1"), QStringLiteral("RESGATE ANT"), QVariant(), QStringLiteral("09")},
            {QStringLiteral("010"), QStringLiteral("Fidelidade"), QStringLiteral("4"), QVariant(),
             QStringLiteral("002"), QStringLiteral("2"), QStringLiteral("FIDELIDADE"), QStringLiteral("BC1"),
             QStringLiteral("10")},
            {QStringLiteral("011"), QStringLiteral("Fidelidade 2"), QStringLiteral("4"), QStringLiteral("S"),
             QStringLiteral("003"), QStringLiteral("3"), QStringLiteral("FIDELIDADE 2"), QVariant(),
             QStringLiteral("11")},
        });
}

void RedemptionFixture::SetUp()
{
    ScreenFixture::SetUp();
    escreveTiposRecebimento(term.dir());

    possvc::Pesquisa = [this](platform::ClientDataSet* ds, const QVariant&, const QString&, int, int, int, int, int) {
        if (escolhas.empty() || !ds || !ds->active())
            return false;
        const QString produto = escolhas.front();
        escolhas.pop_front();
        return ds->locate(QStringLiteral("CDPRODUTO"), produto);
    };
    possvc::AtivaProcesso = [this](QWidget*, const QString&, int, int) {
        indicador = true;
        ++indicadores;
    };
    possvc::DesativaProcesso = [this] { indicador = false; };
    possvc::getProdCodCestNcm = [](const QString& produto, QVariant& codigos) {
        if (produto == QLatin1String("P1"))
            codigos = QVariantList{QStringLiteral("0100100"), QStringLiteral("69120000")};
        else
            codigos = QVariantList{QString(), QString()};
    };

    fiscaldev::sim::setOutputDir(term.dir() + QStringLiteral("/fiscal"));
    // The terminal's printer, under the serial its sales carry.
    fiscaldev::sim::setDevice(term.dir() + QStringLiteral("/Fiscal"), term.params.value(QStringLiteral("NRSERIEIMP")).toString());
    fiscaldev::sim::installAll();
    possvc::sim::resetConfig();
    // The terminal's fiscal identity owns its pending redemptions.
    possvc::sim::config().branch = term.params.value(QStringLiteral("CDFILIAL")).toString();
    possvc::sim::config().cashRegister = term.params.value(QStringLiteral("CDCAIXA")).toString();
    possvc::sim::closeSaleConnection();
    possvc::sim::setOutputDirectory(term.dir() + QStringLiteral("/copias"));
    // One SAT device per terminal: it remembers only the CF-es of this test's shop.
    possvc::sim::setSatDirectory(term.dir() + QStringLiteral("/sat"));
    possvc::sim::installSaleServices();

    fiscaldev::library().setObserver([this](const hostapi::CallRecord& r) { chamadas << deRegistro(r); });
    possvc::library().setObserver([this](const hostapi::CallRecord& r) { chamadas << deRegistro(r); });
    hostkit::setCallObserver([this](const hostkit::CallRecord& r) {
        chamadas << Chamada{r.lib, r.op, r.args, r.result, r.out, r.raised, r.error};
    });
}

void RedemptionFixture::TearDown()
{
    fiscaldev::library().setObserver({});
    possvc::library().setObserver({});
    fiscaldev::library().clearFaults();
    possvc::library().clearFaults();
    fiscaldev::library().unassignAll();
    possvc::sim::closeSaleConnection();
    ScreenFixture::TearDown();
}

void RedemptionFixture::perfil(Perfil p)
{
    term.params[QStringLiteral("UTILIZAIMPFIS")] = temImpressora(p);
    term.params[QStringLiteral("SISTEMAQVNNFCE")] = marcaNfce(p);
    term.params[QStringLiteral("SISTEMAQVNSAT")] = marcaSat(p);
    term.writeParams();
}

bool RedemptionFixture::usaBanco(Banco banco)
{
    if (banco == Banco::PostgreSQL && !term.usePostgres())
        return false;
    hostkit::setStringConexQvn(term.connectionString());
    possvc::sim::closeSaleConnection();
    return true;
}

void RedemptionFixture::abreC1()
{
    form = new Cli_Vak04100::TfrmFidelidade(nullptr);
    form->stArgCdConsumidor = QStringLiteral("C1");
    form->stArgNmConsumidor = QStringLiteral("Ana Souza");
    form->stArgNrCpf = QStringLiteral("12345678901");
    form->stArgDsEndereco = QStringLiteral("Rua A, 1");
    form->stArgCdCliente = QStringLiteral("001");
    form->InicializaForm();
    form->show();
}

void RedemptionFixture::escolhe(const QStringList& produtos)
{
    for (const QString& p : produtos) {
        escolhas.push_back(p);
        tecla(Qt::Key_F4);
    }
}

void RedemptionFixture::campanha(const QString& cdCampanha)
{
    ASSERT_TRUE(form->cdsCampanha->locate(QStringLiteral("CDCAMPANHA"), cdCampanha)) << cdCampanha.toStdString();
}

void RedemptionFixture::confirma()
{
    tecla(Qt::Key_F5);
}

QList<Chamada> RedemptionFixture::de(const QString& op) const
{
    QList<Chamada> lista;
    for (const Chamada& c : chamadas)
        if (c.op == op)
            lista << c;
    return lista;
}

QStringList RedemptionFixture::operacoes() const
{
    QStringList ops;
    for (const Chamada& c : chamadas)
        ops << c.lib + QLatin1Char('.') + c.op;
    return ops;
}

QStringList RedemptionFixture::foraDoContrato(const QStringList& alemDoContrato) const
{
    QStringList fora;
    for (const Chamada& c : chamadas) {
        if (alemDoContrato.contains(c.op))
            continue;
        hostapi::CallRecord r;
        r.lib = c.lib;
        r.op = c.op;
        r.args = c.args;
        const QString v = hostapi::contract::contractViolation(r, form->stIdEsquema, false);
        if (!v.isEmpty())
            fora << v;
    }
    return fora;
}

QList<QStringList> RedemptionFixture::linhas(const QString& sql) const
{
    try {
        return term.rows(sql);
    } catch (const std::exception& e) {
        ADD_FAILURE() << e.what();
        return {};
    }
}

QString RedemptionFixture::valor(const QString& sql) const
{
    const auto r = linhas(sql);
    return r.isEmpty() || r.first().isEmpty() ? QString() : r.first().first();
}

int RedemptionFixture::vendasAtivas() const
{
    return valor(QStringLiteral("SELECT COUNT(*) FROM VENDA WHERE CDCONSUMIDOR = 'C1' AND IDSITUVENDA = 'O'")).toInt();
}

int RedemptionFixture::vendasCanceladas() const
{
    return valor(QStringLiteral("SELECT COUNT(*) FROM VENDA WHERE CDCONSUMIDOR = 'C1' AND IDSITUVENDA = 'C'")).toInt();
}

int RedemptionFixture::registrosCancelamento() const
{
    return valor(QStringLiteral("SELECT COUNT(*) FROM VENDACANCELADA")).toInt();
}

double RedemptionFixture::saldoBanco(const QString& cdCampanha, const char* campo) const
{
    platform::ClientDataSet ds;
    ds.setData(Srv_Vak04100::GetSaldoConsCamp(QStringLiteral("001"), QStringLiteral("C1")));
    if (!ds.active() || !ds.locate(QStringLiteral("CDCAMPANHA"), cdCampanha)) {
        ADD_FAILURE() << "no balance row for " << cdCampanha.toStdString();
        return 0;
    }
    return ds.fieldByName(QString::fromLatin1(campo)).asFloat();
}

QString RedemptionFixture::diario() const
{
    QFile f(fiscaldev::sim::journalPath());
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

int RedemptionFixture::cfesNaMemoriaDoSat() const
{
    QFile f(possvc::sim::satMemoryPath());
    return f.open(QIODevice::ReadOnly)
               ? int(QJsonDocument::fromJson(f.readAll()).object().value(QStringLiteral("cfes")).toArray().size())
               : 0;
}

platform::DataPacket pacote(const QVariant& valor)
{
    if (valor.canConvert<platform::DataPacket>() && valor.metaType() == QMetaType::fromType<platform::DataPacket>())
        return valor.value<platform::DataPacket>();
    if (valor.typeId() == QMetaType::QByteArray && !valor.toByteArray().isEmpty())
        return platform::readPacket(valor.toByteArray());
    return {};
}

QVariantList coluna(const platform::DataPacket& p, const QString& campo)
{
    QVariantList valores;
    const int i = p.indexOf(campo);
    if (i < 0)
        return valores;
    for (const QVariantList& linha : p.rows)
        valores << linha.value(i);
    return valores;
}

}  // namespace redemption
