// Draws numbers from one counter: hostkit_numbering_worker CONNSTR venda|nfce COUNT.
// Prints each number on its own line; exit 1 with the error on stderr.
#include "hostapi/hostkit.h"

#include <QCoreApplication>
#include <QDateTime>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: hostkit_numbering_worker CONNSTR venda|nfce COUNT\n");
        return 2;
    }
    const QString kind = QString::fromLocal8Bit(argv[2]);
    const int count = QString::fromLocal8Bit(argv[3]).toInt();
    try {
        hostkit::TdtmQvnProxCodigo numbering;
        numbering.setConnectionString(QString::fromLocal8Bit(argv[1]));
        for (int i = 0; i < count; ++i) {
            const QString n = kind == QLatin1String("venda")
                                  ? numbering.PrxVendaDia(QStringLiteral("0001"), QDateTime(QDate(2026, 12, 7), QTime(9, 0)))
                                  : numbering.PrxNumeroNFCe(QStringLiteral("0001"), QStringLiteral("1"), QStringLiteral("2"));
            std::printf("%s\n", qPrintable(n));
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
