// One terminal redeeming gifts, as a process of its own (for the tests and benchmarks with
// several terminals on one database server):
//
//   redemption_terminal --dir TERMINAL --db CONNSTR --consumer C --client K --campaign CP
//                       --gift PRODUCT [--count N] [--at EPOCH_MS] --out RESULT.json
//
// Opens the redemption screen headless on the terminal directory with the simulated
// fiscal printer and sale services, then N times (1 by default) chooses the gift and
// confirms (F5), stopping early when the gift can no longer be chosen (the points are
// spent). The first confirmation waits for the given moment; without --at the terminal
// prints "ready" once the screen is open and waits for a line on its standard input.
//
// Before the screen opens the terminal starts as the reference host does: what an earlier
// run left pending is put right, which opens the sale services' own connection.
//
// Writes what happened: for each confirmation the time from F5 to the balances reloaded,
// the processor time this process spent on it, the time its close-out waited for another
// terminal's hold on the consumer and the sale number (empty when none was concluded);
// and, of the last one, the sale, the messages shown, the errors displayed and the
// campaign balances reloaded afterwards.

#include "client/Cli_Vak04100.h"
#include "host/fiscaldev/SimPrinter.h"
#include "host/hostkit/HostHooks.h"
#include "host/possvc/sale/SaleServices.h"
#include "hostapi/fiscaldev.h"
#include "hostapi/possvc.h"
#include "platform/ui/ErrorDisplay.h"
#include "server/Srv_Vak04100.h"
#include "platform/system/ProgramDirectory.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QThread>

#include <csignal>
#include <cstdio>
#include <ctime>
#include <execinfo.h>
#include <iostream>
#include <string>
#include <unistd.h>

namespace {

QStringList g_erros;
QStringList g_mensagens;

void registraErro(const QString& texto, void*)
{
    g_erros << texto;
}

void onSegv(int)
{
    void* f[64];
    int n = backtrace(f, 64);
    backtrace_symbols_fd(f, n, 2);
    _exit(11);
}

// The reference host's simulated printer and sale services, writing under the terminal;
// the gift search picks `presente`, every price is 10,00.
void instalaHost(const QString& dir, const QString& presente)
{
    platform::setProgramDirectory(dir);
    hostkit::setMessagePresenter([](const hostkit::MessageRequest& m) {
        g_mensagens << m.texto;
        return true;
    });
    platform::ui::setErrorDisplay(&registraErro);
    possvc::Pesquisa = [presente](platform::ClientDataSet* ds, const QVariant&, const QString&, int, int, int, int, int) {
        return ds && ds->active() && ds->locate(QStringLiteral("CDPRODUTO"), presente);
    };
    possvc::ChamaFuncaoRetornaPreco = [](const QVariantList&, int, QVariant&, QString& resposta) {
        resposta = QLocale::system().toString(10.0, 'f', 2);
    };
    possvc::AtivaProcesso = [](QWidget*, const QString&, int, int) {};
    possvc::DesativaProcesso = [] {};
    possvc::getProdCodCestNcm = [](const QString&, QVariant& codigos) { codigos = QVariantList{QString(), QString()}; };
    fiscaldev::sim::setOutputDir(dir + QStringLiteral("/fiscal"));
    fiscaldev::sim::installAll();
    possvc::sim::setOutputDirectory(dir + QStringLiteral("/copias"));
    possvc::sim::installSaleServices();
}

// The host's start before its screen: the sales this terminal left pending are resolved
// and the printer is left with no receipt of a sale that was not concluded.
void recuperaTerminal()
{
    possvc::sim::prepareScreen();
    fiscaldev::sim::recover(possvc::sim::receiptHasSale);
}

// Processor time of this process, all its threads, in milliseconds.
double processadorMs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// Chooses the gift in the campaign as the operator would; false when it is not offered.
bool escolhe(Cli_Vak04100::TfrmFidelidade& form, const QString& campanha)
{
    if (!form.cdsCampanha->active() || !form.cdsCampanha->locate(QStringLiteral("CDCAMPANHA"), campanha))
        return false;
    form.blbPesqBrindeClick(form.blbPesqBrinde);
    return form.cdsBrinde->active() && form.cdsBrinde->recordCount() > 0;
}

void esperaPartida(const QString& at)
{
    if (at.isEmpty()) {
        std::printf("ready\n");
        std::fflush(stdout);
        std::string linha;
        std::getline(std::cin, linha);
        return;
    }
    const qint64 em = at.toLongLong();
    while (QDateTime::currentMSecsSinceEpoch() < em)
        QThread::msleep(1);
}

// F5, timed from the key to the balances reloaded. The sale number is this F5's: a
// confirmation the screen stops before the sale (points short) leaves the last one.
QJsonObject confirma(Cli_Vak04100::TfrmFidelidade& form)
{
    form.stNrSeqVenda.clear();
    const double esperaAntes = possvc::sim::consumerLockWaits().totalMs;
    const double processadorAntes = processadorMs();
    QElapsedTimer relogio;
    relogio.start();
    form.blbConfirmaClick(form.blbConfirma);
    const double ms = relogio.nsecsElapsed() / 1e6;
    return {{QStringLiteral("ms"), ms},
            {QStringLiteral("cpuMs"), processadorMs() - processadorAntes},
            {QStringLiteral("lockWaitMs"), possvc::sim::consumerLockWaits().totalMs - esperaAntes},
            {QStringLiteral("sale"), form.stNrSeqVenda}};
}

QJsonObject saldos(Cli_Vak04100::TfrmFidelidade& form)
{
    QJsonObject r;
    auto* c = form.cdsCampanha;
    if (c->active())
        for (c->first(); !c->eof(); c->next())
            r[c->fieldByName(QStringLiteral("CDCAMPANHA")).asString()] = c->fieldByName(QStringLiteral("VRRESTANTE")).asFloat();
    return r;
}

void resgata(Cli_Vak04100::TfrmFidelidade& form, const QCommandLineParser& p, QJsonObject& resultado)
{
    recuperaTerminal();
    form.stArgCdConsumidor = p.value(QStringLiteral("consumer"));
    form.stArgNmConsumidor = QStringLiteral("Consumidor");
    form.stArgCdCliente = p.value(QStringLiteral("client"));
    form.InicializaForm();
    form.show();
    const QString campanha = p.value(QStringLiteral("campaign"));
    if (!form.cdsCampanha->active() || !form.cdsCampanha->locate(QStringLiteral("CDCAMPANHA"), campanha))
        throw platform::Error(QStringLiteral("campanha não encontrada"));
    escolhe(form, campanha);
    resultado[QStringLiteral("selected")] = form.cdsBrinde->active() ? form.cdsBrinde->recordCount() : 0;

    esperaPartida(p.value(QStringLiteral("at")));
    resultado[QStringLiteral("start")] = QDateTime::currentMSecsSinceEpoch();
    QJsonArray resgates;
    const int vezes = qMax(1, p.value(QStringLiteral("count")).toInt());
    for (int i = 0; i < vezes; ++i) {
        if (i > 0 && !escolhe(form, campanha))
            break;
        resgates << confirma(form);
    }
    resultado[QStringLiteral("end")] = QDateTime::currentMSecsSinceEpoch();
    resultado[QStringLiteral("redemptions")] = resgates;
    resultado[QStringLiteral("sale")] = form.stNrSeqVenda;
    resultado[QStringLiteral("balances")] = saldos(form);
    resultado[QStringLiteral("remaining")] = form.cdsBrinde->active() ? form.cdsBrinde->recordCount() : -1;
}

}  // namespace

int main(int argc, char** argv)
{
    std::signal(SIGSEGV, onSegv);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser p;
    for (const char* opcao : {"dir", "db", "consumer", "client", "campaign", "gift", "count", "at", "out"})
        p.addOption({QString::fromLatin1(opcao), QString::fromLatin1(opcao), QStringLiteral("value")});
    p.process(app);

    const QString dir = p.value(QStringLiteral("dir"));
    hostkit::setStringConexQvn(p.value(QStringLiteral("db")));
    instalaHost(dir, p.value(QStringLiteral("gift")));

    QJsonObject resultado;
    auto* form = new Cli_Vak04100::TfrmFidelidade(nullptr);
    try {
        resgata(*form, p, resultado);
    } catch (const std::exception& e) {
        g_erros << QString::fromUtf8(e.what());
    }
    resultado[QStringLiteral("messages")] = QJsonArray::fromStringList(g_mensagens);
    resultado[QStringLiteral("errors")] = QJsonArray::fromStringList(g_erros);
    delete form;
    delete Srv_Vak04100::rdmFidelidade;
    Srv_Vak04100::rdmFidelidade = nullptr;
    possvc::sim::closeSaleConnection();

    QFile out(p.value(QStringLiteral("out")));
    if (!out.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(out.fileName()));
        return 1;
    }
    out.write(QJsonDocument(resultado).toJson());
    return 0;
}
