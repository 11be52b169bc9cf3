// The large shop for the benchmarks: 1,000 clients, 100,000 consumers, 20 campaigns,
// over 5 million point movements (consumers 1 to 10 have 1,000 each), a product tree
// of 10 departments x 100 sections x 200 products, gifts on sections and on products.
// Rows are streamed consumer by consumer, so the point movements of one consumer lie
// together in the database.

#include "tools/shopgen/Generator.h"
#include "tools/shopgen/ShopData.h"

#include <QVector>

namespace shopgen {

namespace {

constexpr int kClientes = 1000;
constexpr int kConsumidores = 100000;
constexpr int kCampanhas = 20;
constexpr int kDepartamentos = 10, kSecoes = 100, kProdutosPorSecao = 200;
constexpr int kConsumidoresPesados = 10, kMovimentosPesados = 1000;

QString posicao(int departamento, int secao = -1, int produto = -1)
{
    QString p = codigo(departamento, 2);
    if (secao >= 0)
        p += codigo(secao, 2);
    if (produto >= 0)
        p += codigo(produto, 3);
    return p;
}

QString campanha(int c) { return QStringLiteral("CAMP") + codigo(c, 2); }
bool campanhaDeVoucher(int c) { return c % 4 == 0; }

// Dates of the shop as values, made once: the movements draw from a few hundred days.
class Dias {
public:
    explicit Dias(const QDate& today) : today_(today)
    {
        for (int d = -kAlcance; d <= kAlcance; ++d)
            values_.append(QVariant(dia(today, d)));
    }
    const QVariant& operator()(int offset) const { return values_.at(offset + kAlcance); }

private:
    static constexpr int kAlcance = 800;
    QDate today_;
    QVector<QVariant> values_;
};

void writeProdutos(Sink& sink, const Progress& progress)
{
    sink.begin(QStringLiteral("PRODUTO"),
               {"CDPRODUTO", "NMPRODUTO", "CDARVPROD", "SGUNIDADE", "CDBARPRODUTO", "IDTIPOPROD", "IDPRODBLOQ"});
    const QString un = QStringLiteral("UN"), g = QStringLiteral("G"), p = QStringLiteral("P"), n = QStringLiteral("N");
    for (int d = 1; d <= kDepartamentos; ++d) {
        sink.row({g + posicao(d), QStringLiteral("Departamento %1").arg(d), posicao(d), un, QVariant(), g, n});
        for (int s = 0; s < kSecoes; ++s) {
            sink.row({g + posicao(d, s), QStringLiteral("Seção %1.%2").arg(d).arg(s), posicao(d, s), un, QVariant(), g, n});
            for (int i = 1; i <= kProdutosPorSecao; ++i) {
                const QString pos = posicao(d, s, i);
                sink.row({pos, QStringLiteral("Produto %1").arg(pos), pos, un, ean13(QStringLiteral("78920") + pos), p, n});
            }
        }
        if (progress)
            progress(QStringLiteral("products"), sink.rowsWritten());
    }
    sink.end();

    sink.begin(QStringLiteral("ALIQIMPFIS"), {"CDFILIAL", "CDPRODUTO", "VRPEALIMPFIS", "CDIMPOSTO", "IDTPIMPOSFIS"});
    for (const QString& filial : {QStringLiteral("0001"), QStringLiteral("0002")})
        for (int d = 1; d <= kDepartamentos; ++d) {
            if (d == 3 && filial == QLatin1String("0002"))
                continue;  // branch 0002 has no tax rows for department 03
            for (int s = 0; s < kSecoes; ++s)
                for (int i = 1; i <= kProdutosPorSecao; ++i) {
                    const Aliquota& a = kAliquotas.at((d + s + i) % kAliquotas.size());
                    sink.row({filial, posicao(d, s, i), a.rate, QString::fromLatin1(a.codigo), QString::fromLatin1(a.tipo)});
                }
        }
    sink.end();

    sink.begin(QStringLiteral("TABPRECO"), {"CDTABPRECO", "NMTABPRECO", "DTINIVGTABPR", "DTFINVGTABPR"});
    sink.row({QStringLiteral("PADRAO"), QStringLiteral("Tabela padrão"), QVariant(), QVariant()});
    sink.end();
    sink.begin(QStringLiteral("ITTABPRECO"), {"CDTABPRECO", "CDPRODUTO", "VRPRECITEM"});
    for (int d = 1; d <= kDepartamentos; ++d)
        for (int s = 0; s < kSecoes; ++s)
            for (int i = 1; i <= kProdutosPorSecao; ++i)
                sink.row({QStringLiteral("PADRAO"), posicao(d, s, i), 1.0 + ((d * 31 + s * 7 + i) % 500) / 10.0});
    sink.end();
}

void writeCampanhas(Sink& sink, Rng& rng, const Dias& dias)
{
    sink.begin(QStringLiteral("CAMPANHA"), {"CDCAMPANHA", "DSCAMPANHA", "IDUTILVOUCHER", "DTINICAMPANHA"});
    for (int c = 1; c <= kCampanhas; ++c)
        sink.row({campanha(c), QStringLiteral("Campanha %1").arg(c),
                  campanhaDeVoucher(c) ? QStringLiteral("S") : QStringLiteral("N"), dias(-365)});
    sink.end();

    // Each campaign: three whole sections (600 products) and twenty single products.
    sink.begin(QStringLiteral("BRINDECAMPANHA"), {"CDCAMPANHA", "CDPRODUTO", "VRPONTOBRINDE"});
    for (int c = 1; c <= kCampanhas; ++c) {
        const int d = (c - 1) % kDepartamentos + 1;
        QStringList usados;
        for (int j = 0; j < 3; ++j) {
            const QString no = QStringLiteral("G") + posicao(d, (c * 7 + j * 13) % kSecoes);
            if (!usados.contains(no)) {
                usados << no;
                sink.row({campanha(c), no, double(rng.range(10, 100) * 10)});
            }
        }
        for (int j = 0; j < 20; ++j) {
            const QString produto = posicao(int(rng.range(1, kDepartamentos)), int(rng.below(kSecoes)),
                                            int(rng.range(1, kProdutosPorSecao)));
            if (!usados.contains(produto)) {
                usados << produto;
                sink.row({campanha(c), produto, double(rng.range(5, 200) * 10)});
            }
        }
    }
    sink.end();
}

}  // namespace

void writeLargeShop(Sink& sink, const ShopOptions& options, const Progress& progress)
{
    Rng rng(options.seed);
    Rng pessoas = rng.fork(1), pontos = rng.fork(2), vendasRng = rng.fork(3), catalogo = rng.fork(4);
    const Dias dias(options.today);

    writeProdutos(sink, progress);
    writeCampanhas(sink, catalogo, dias);

    sink.begin(QStringLiteral("CLIENTE"), {"CDCLIENTE", "NMFANTCLIE", "NRINSJURCLIE"});
    for (int c = 1; c <= kClientes; ++c)
        sink.row({codigo(c, 6), nomeFantasia(pessoas, c), QStringLiteral("5566677700") + codigo(c, 4)});
    sink.end();

    QVector<QString> clientes(kConsumidores + 1), codigos(kConsumidores + 1);
    sink.begin(QStringLiteral("CONSUMIDOR"),
               {"CDCLIENTE", "CDCONSUMIDOR", "NMCONSUMIDOR", "CDIDCONSUMID", "NRCPFRESPCON", "DSENDECONS"});
    for (int k = 1; k <= kConsumidores; ++k) {
        clientes[k] = codigo((k - 1) % kClientes + 1, 6);
        codigos[k] = codigo(k, 11);
        sink.row({clientes[k], codigos[k], nomePessoa(pessoas), QStringLiteral("CR") + codigo(k, 8), cpf(pessoas),
                  endereco(pessoas)});
    }
    sink.end();

    QVector<QString> campanhas{QString()};
    for (int c = 1; c <= kCampanhas; ++c)
        campanhas << campanha(c);
    const QString tipoC = QStringLiteral("C"), tipoD = QStringLiteral("D"), filial = QStringLiteral("0001");
    sink.begin(QStringLiteral("MOVPONTOCONS"),
               {"CDCLIENTE", "CDCONSUMIDOR", "CDCAMPANHA", "IDTPMOVCONS", "VRSALDOCONS", "DTVALIDAPONTO", "DTMOVCONS",
                "CDFILIAL"});
    for (int k = 1; k <= kConsumidores; ++k) {
        const int n = k <= kConsumidoresPesados ? kMovimentosPesados : int(pontos.range(45, 60));
        const int primeira = int(pontos.range(1, kCampanhas)), quantas = int(pontos.range(1, 4));
        for (int m = 0; m < n; ++m) {
            const int c = (primeira + int(pontos.below(quantas)) - 1) % kCampanhas + 1;
            const int sorte = int(pontos.below(20));
            const QVariant validade = sorte < 10 ? QVariant() : sorte < 17 ? dias(int(pontos.range(0, 365)))
                                                                           : dias(-int(pontos.range(1, 365)));
            sink.row({clientes[k], codigos[k], campanhas[c], sorte % 7 == 3 ? tipoD : tipoC,
                      double(pontos.range(1, 100)), validade, dias(-int(pontos.range(1, 400))), filial});
        }
        if (progress && k % 10000 == 0)
            progress(QStringLiteral("point movements"), sink.rowsWritten());
    }
    sink.end();

    sink.begin(QStringLiteral("VOUCHERVND"),
               {"CDCLIENTE", "CDCONSUMIDOR", "CDCAMPANHA", "IDUTIVOUCHER", "VRPTOVOUCHER", "DTVALVOUCHER", "NRVOUCHER"});
    qint64 nrVoucher = 0;
    for (int k = 3; k <= kConsumidores; k += 3) {
        const int n = int(pontos.range(1, 3));
        for (int v = 0; v < n; ++v)
            sink.row({clientes[k], codigos[k], campanhas[int(pontos.range(1, kCampanhas / 4)) * 4],
                      pontos.chance(30) ? QStringLiteral("S") : QStringLiteral("N"), double(pontos.range(1, 40) * 5),
                      pontos.chance(15) ? dias(-int(pontos.range(1, 60))) : dias(int(pontos.range(0, 90))),
                      QStringLiteral("VC") + codigo(++nrVoucher, 10)});
    }
    sink.end();

    QList<VendaResgate> vendas;
    const char* situacoes[] = {"OI", "OI", "OI", "OI", "ON", "CI", "AN"};
    qint64 numero = 0;
    for (int k = 4; k <= kConsumidores; k += 4) {
        const int n = int(vendasRng.range(1, 2));
        for (int v = 0; v < n; ++v) {
            ++numero;
            const char* s = situacoes[vendasRng.below(7)];
            VendaResgate venda{QStringLiteral("000") + QString::number(1 + numero % 2),
                               numero % 4 < 2 ? QStringLiteral("001") : QStringLiteral("002"), codigo(numero, 10), s[0],
                               s[1], clientes[k], codigos[k], QString(),
                               dias(-int(vendasRng.range(1, 300))).toDateTime().addSecs(vendasRng.range(28800, 72000)),
                               {}};
            const int itens = int(vendasRng.range(1, 2));
            for (int i = 0; i < itens; ++i) {
                const int c = int(vendasRng.range(1, kCampanhas));
                const QString pos = posicao(int(vendasRng.range(1, kDepartamentos)), int(vendasRng.below(kSecoes)),
                                            int(vendasRng.range(1, kProdutosPorSecao)));
                venda.itens.append({campanhas[c], pos, QStringLiteral("Produto ") + pos, pos,
                                    double(vendasRng.range(1, 20) * 10), campanhaDeVoucher(c) ? 'V' : 'R'});
            }
            vendas.append(venda);
        }
    }
    if (progress)
        progress(QStringLiteral("earlier redemptions"), sink.rowsWritten());
    writeVendas(sink, vendas);
}

}  // namespace shopgen
