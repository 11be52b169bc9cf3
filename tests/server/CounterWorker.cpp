// A terminal drawing numbers: run by the concurrency test several times at once against
// one database. Arguments: CONNSTR REGISTER COUNT. For each round it takes an NFC-e number
// (recording it for voiding), a daily sale number and the day's first-receipt marker, and
// prints "NFCE n", "SENHA n" and "CUPOM" lines, or "ERRO text" for an error result.

#include "host/hostkit/HostHooks.h"
#include "hostapi/hostkit.h"
#include "server/Srv_Vak04100.h"
#include "platform/db/ServiceResult.h"

#include <QCoreApplication>

#include <cstdio>

using namespace Srv_Vak04100;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 4) {
        std::fprintf(stderr, "usage: server_counter_worker CONNSTR REGISTER COUNT\n");
        return 2;
    }
    const QString caixa = args.at(2);
    const int count = args.at(3).toInt();
    try {
        hostkit::setStringConexQvn(args.at(1));
        rdmFidelidade = new TrdmFidelidade;
        rdmFidelidade->adcFidelidade->open();
        const QDateTime hoje(QDate::currentDate(), QTime(0, 0));
        for (int i = 0; i < count; ++i) {
            const QVariant nfce = setNumeroNFCe(QStringLiteral("0001"), caixa, QStringLiteral("1"), QStringLiteral("2"), true);
            std::printf("%s %s\n", platform::db::isErrorResult(nfce) ? "ERRO" : "NFCE", qPrintable(nfce.toString().simplified()));
            std::printf("SENHA %s\n", qPrintable(GetSenhaCupom(QStringLiteral("0001"), hoje).toString()));
            const QVariant cupom = SetGravaCupomInicial(QStringLiteral("0001"), QStringLiteral("001"),
                                                        caixa + QString::number(i), hoje);
            std::printf("%s %s\n", cupom.isValid() ? "ERRO" : "CUPOM", qPrintable(cupom.toString().simplified()));
            std::fflush(stdout);
        }
    } catch (const std::exception& e) {
        std::printf("ERRO %s\n", e.what());
        delete rdmFidelidade;
        return 1;
    }
    delete rdmFidelidade;
    return 0;
}
