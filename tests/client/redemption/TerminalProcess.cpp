// One terminal redeeming a gift, as a process of its own (for the tests with several
// terminals on one database server):
//
//   redemption_terminal --dir TERMINAL --db CONNSTR --consumer C --client K --campaign CP
//                       --gift PRODUCT --at EPOCH_MS --out RESULT.json
//
// Opens the redemption screen headless on the terminal directory with the simulated
// fiscal printer and sale services, chooses the gift, waits for the given moment, confirms
// (F5) and writes what happened: the sale number (empty when none was concluded), the
// messages shown, the errors displayed and the campaign balances reloaded afterwards.

#include "client/Cli_Vak04100.h"
#include "host/fiscaldev/SimPrinter.h"
#include "host/hostkit/HostHooks.h"
#include "host/possvc/SaleServices.h"
#include "hostapi/fiscaldev.h"
#include "hostapi/possvc.h"
#include "platform/ui/ErrorDisplay.h"
#include "server/Srv_Vak04100.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QThread>

#include <cstdio>
#include <csignal>
#include <execinfo.h>
#include <unistd.h>

namespace {

QStringList g_erros;
void registraErro(const QString& texto, void*)
{
    g_erros << texto;
}

}  // namespace

static void onSegv(int)
{
    void* f[64];
    int n = backtrace(f, 64);
    backtrace_symbols_fd(f, n, 2);
    _exit(11);
}

int main(int argc, char** argv)
{
    std::signal(SIGSEGV, onSegv);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser p;
    for (const char* opcao : {"dir", "db", "consumer", "client", "campaign", "gift", "at", "out"})
        p.addOption({QString::fromLatin1(opcao), QString::fromLatin1(opcao), QStringLiteral("value")});
    p.process(app);

    const QString dir = p.value(QStringLiteral("dir"));
    hostkit::setHostDirectory(dir);
    hostkit::setStringConexQvn(p.value(QStringLiteral("db")));
    QStringList mensagens;
    hostkit::setMessagePresenter([&](const hostkit::MessageRequest& m) {
        mensagens << m.texto;
        return true;
    });
    platform::ui::setErrorDisplay(&registraErro);

    const QString presente = p.value(QStringLiteral("gift"));
    possvc::Pesquisa = [&](platform::ClientDataSet* ds, const QVariant&, const QString&, int, int, int, int, int) {
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

    QJsonObject resultado;
    auto* form = new Cli_Vak04100::TfrmFidelidade(nullptr);
    try {
        form->stArgCdConsumidor = p.value(QStringLiteral("consumer"));
        form->stArgNmConsumidor = QStringLiteral("Consumidor");
        form->stArgCdCliente = p.value(QStringLiteral("client"));
        form->InicializaForm();
        form->show();
        if (!form->cdsCampanha->active() ||
            !form->cdsCampanha->locate(QStringLiteral("CDCAMPANHA"), p.value(QStringLiteral("campaign"))))
            throw platform::Error(QStringLiteral("campanha não encontrada"));
        form->blbPesqBrindeClick(form->blbPesqBrinde);
        resultado[QStringLiteral("selected")] = form->cdsBrinde->active() ? form->cdsBrinde->recordCount() : 0;

        const qint64 em = p.value(QStringLiteral("at")).toLongLong();
        while (QDateTime::currentMSecsSinceEpoch() < em)
            QThread::msleep(1);
        form->blbConfirmaClick(form->blbConfirma);

        resultado[QStringLiteral("sale")] = form->stNrSeqVenda;
        QJsonObject saldos;
        if (form->cdsCampanha->active()) {
            for (form->cdsCampanha->first(); !form->cdsCampanha->eof(); form->cdsCampanha->next())
                saldos[form->cdsCampanha->fieldByName(QStringLiteral("CDCAMPANHA")).asString()] =
                    form->cdsCampanha->fieldByName(QStringLiteral("VRRESTANTE")).asFloat();
        }
        resultado[QStringLiteral("balances")] = saldos;
        resultado[QStringLiteral("remaining")] = form->cdsBrinde->active() ? form->cdsBrinde->recordCount() : -1;
    } catch (const std::exception& e) {
        g_erros << QString::fromUtf8(e.what());
    }
    resultado[QStringLiteral("messages")] = QJsonArray::fromStringList(mensagens);
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
