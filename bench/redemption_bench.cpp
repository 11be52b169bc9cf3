// The confirmation of a redemption (F5) on the large shop, from the key to the balances
// reloaded from the database, with one gift selected:
//
//   BM_F5_DispositivosImediatos   printer, services and close-out answer at once (the
//                                 module's own work, the numbering and the balance reload);
//   BM_F5_HostDeReferencia        the reference host's simulated fiscal printer (journal
//                                 and state files) and sale services (the sale written in
//                                 one transaction, balance re-checked, cash movement).
//
// The shop is VAK_BENCH_SHOP, or ~/.cache/vak/large-shop.db, generated on first use
// (shopgen --size large; a few minutes). The reference-host benchmark books its sales on
// register "099" and removes them again at the end, so the cached shop stays as it was.

#include "bench/GuiApplication.h"
#include "client/Cli_Vak04100.h"
#include "host/fiscaldev/SimPrinter.h"
#include "host/hostkit/HostHooks.h"
#include "host/possvc/sale/SaleServices.h"
#include "hostapi/fiscaldev.h"
#include "hostapi/possvc.h"
#include "platform/ui/ErrorDisplay.h"
#include "server/Srv_Vak04100.h"
#include "tools/shopgen/TerminalCommand.h"

#include <QApplication>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "bench/LargeShop.h"
#include "platform/system/ProgramDirectory.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>

namespace {

const QString kCaixa = QStringLiteral("099");

void semErro(const QString& texto, void*)
{
    std::fprintf(stderr, "error shown: %s\n", qPrintable(texto));
}

// The screen open for the first heavy consumer of the large shop (1,000 point movements).
struct Bancada {
    QTemporaryDir dir;
    Cli_Vak04100::TfrmFidelidade* form = nullptr;
    QString campanha;

    Bancada()
    {
        bench::ensureGuiApplication();
        bench::ensureLargeShop();
        const QString loja = QStringLiteral("Provider=SQLite;Data Source=") + bench::largeShopFile();
        shopgen::writeTerminal({dir.path(), QStringLiteral("fiscal"), loja, kCaixa});
        platform::setProgramDirectory(dir.path());
        hostkit::setStringConexQvn(loja);
        hostkit::setMessagePresenter([](const hostkit::MessageRequest& m) {
            std::fprintf(stderr, "message: %s\n", qPrintable(m.texto));
            return true;
        });
        platform::ui::setErrorDisplay(&semErro);
        possvc::AtivaProcesso = [](QWidget*, const QString&, int, int) {};
        possvc::DesativaProcesso = [] {};
        possvc::getProdCodCestNcm = [](const QString&, QVariant& c) { c = QVariantList{QString(), QString()}; };

        form = new Cli_Vak04100::TfrmFidelidade(nullptr);
        form->stArgCdConsumidor = QStringLiteral("00000000001");
        form->stArgNmConsumidor = QStringLiteral("Consumidor");
        form->stArgCdCliente = QStringLiteral("000001");
        form->InicializaForm();
        // The campaign without vouchers where the consumer holds the most points.
        double maior = -1;
        auto* c = form->cdsCampanha;
        for (c->first(); !c->eof(); c->next()) {
            const double saldo = c->fieldByName(QStringLiteral("VRRESTANTE")).asFloat();
            if (c->fieldByName(QStringLiteral("IDUTILVOUCHER")).asString() == QLatin1String("N") && saldo > maior) {
                maior = saldo;
                campanha = c->fieldByName(QStringLiteral("CDCAMPANHA")).asString();
            }
        }
        if (maior < 1000)
            std::fprintf(stderr, "consumer 00000000001 holds only %g points\n", maior);
    }
    ~Bancada()
    {
        delete form;
        delete Srv_Vak04100::rdmFidelidade;
        Srv_Vak04100::rdmFidelidade = nullptr;
    }

    // One gift of 1 point in the chosen campaign, as the gift search leaves it.
    void escolheBrinde()
    {
        auto* b = form->cdsBrinde;
        if (!b->active())
            b->createDataSet();
        b->insert();
        const QList<QPair<const char*, QVariant>> valores{
            {"CDFILIAL", "0001"},       {"CDCLIENTE", "000001"},  {"CDCAMPANHA", campanha}, {"CDPRODUTO", "0100001"},
            {"VRPONTOBRINDE", 1.0},     {"CDARVPROD", "0100001"}, {"NMPRODUTO", "Brinde"},  {"SGUNIDADE", "UN"},
            {"VRPRECITEM", 10.0},       {"VRPEALIMPFIS", 18.0},   {"CDIMPOSTO", "01"},      {"IDTPIMPOSFIS", "T"},
            {"CDPRODIMPFIS", "789"},    {"IDUTILVOUCHER", "N"}};
        for (const auto& [campo, valor] : valores)
            b->fieldByName(QString::fromLatin1(campo)).setValue(valor);
        b->post();
    }

    void removeVendasDoCaixa()
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("bench_limpeza"));
        db.setDatabaseName(bench::largeShopFile());
        if (db.open()) {
            for (const char* t : {"ITFIDELIDADE", "ITVENDA", "MOVCAIXA", "ITVENDACANCELADA", "VENDACANCELADA", "VENDA"})
                QSqlQuery(db).exec(QStringLiteral("DELETE FROM %1 WHERE CDCAIXA = '%2'").arg(QLatin1String(t), kCaixa));
        }
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("bench_limpeza"));
    }
};

void confirma(benchmark::State& state, Bancada& b)
{
    for (auto _ : state) {
        state.PauseTiming();
        b.escolheBrinde();
        state.ResumeTiming();
        b.form->blbConfirmaClick(b.form->blbConfirma);
        if (b.form->cdsBrinde->recordCount() != 0 || !b.form->cdsCampanha->active())
            state.SkipWithError("the confirmation did not end with the balances reloaded");
    }
}

void BM_F5_DispositivosImediatos(benchmark::State& state)
{
    Bancada b;
    int cupom = 0, venda = 0;
    fiscaldev::AbreCupom = [&](hostapi::ParamRecord& r) {
        r.insert(QStringLiteral("CUPNR"), QString::number(++cupom));
        r.insert(QStringLiteral("CONTCUPOM"), QString::number(cupom));
        return true;
    };
    fiscaldev::VendaItem = [](hostapi::ParamRecord&) { return true; };
    fiscaldev::FechaCupom = [](const QVariantList&, int, int, QVariant&) { return true; };
    fiscaldev::Atu_TotGeral = [](hostapi::ParamRecord&) { return true; };
    fiscaldev::DataMoviFiscal = [](const QString&) { return QDateTime(QDate::currentDate(), QTime(0, 0)); };
    possvc::SetConcluiFechamento = [&](const QList<platform::ClientDataSet*>&, int, const QVariantList&, int,
                                       QVariant&) { return QVariant(QString::number(++venda)); };
    confirma(state, b);
    fiscaldev::library().unassignAll();
    possvc::library().unassignAll();
}
BENCHMARK(BM_F5_DispositivosImediatos)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_F5_HostDeReferencia(benchmark::State& state)
{
    Bancada b;
    fiscaldev::sim::setOutputDir(b.dir.path() + QStringLiteral("/fiscal"));
    fiscaldev::sim::installAll();
    possvc::sim::setOutputDirectory(b.dir.path() + QStringLiteral("/copias"));
    possvc::sim::installSaleServices();
    confirma(state, b);
    possvc::sim::closeSaleConnection();
    fiscaldev::library().unassignAll();
    possvc::library().unassignAll();
    b.removeVendasDoCaixa();
}
BENCHMARK(BM_F5_HostDeReferencia)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
