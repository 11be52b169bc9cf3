// The large shops for the benchmarks, one generator at two scales (Escala):
//   large: 3 branches, 1,000 clients, 100,000 consumers, 20 campaigns, over 5 million
//          point movements, all made at branch 0001;
//   chain: 50 branches, 10,000 clients, 1,000,000 consumers, 500 campaigns, 20 million
//          point movements, each consumer's at the consumer's home branch.
// Both: consumers 1 to 10 have 1,000 movements each; a product tree of 10 departments x
// 100 sections x 200 products with tax rows for branches 0001, 0002 (not department 03) and
// every branch from 0004 on; gifts on sections and on products.
// Rows are streamed consumer by consumer, so the point movements of one consumer lie
// together in the database.

#include "tools/shopgen/Generator.h"
#include "tools/shopgen/ShopData.h"

#include <QVector>

namespace shopgen {

namespace {

struct Escala {
    int filiais;                       // branches (0001 to 0003 as in every shop, then more)
    int filiaisComMovimento;           // consumers' home branches, where their points were made
    int clientes, consumidores, campanhas;
    int movimentosMin, movimentosMax;  // point movements of a consumer, drawn
    int passoVoucher, passoVenda;      // every n-th consumer has vouchers / earlier redemptions
};

constexpr Escala kLoja{3, 1, 1000, 100000, 20, 45, 60, 3, 4};
constexpr Escala kRede{50, 50, 10000, 1000000, 500, 15, 25, 3, 20};

constexpr int kDepartamentos = 10, kSecoes = 100, kProdutosPorSecao = 200;
constexpr int kProdutos = kDepartamentos * kSecoes * kProdutosPorSecao;
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

bool campanhaDeVoucher(int c) { return c % 4 == 0; }

// Dates of the shop as values, made once: the movements draw from a few hundred days.
class Dias {
public:
    explicit Dias(const QDate& today)
    {
        for (int d = -kAlcance; d <= kAlcance; ++d)
            values_.append(QVariant(dia(today, d)));
    }
    const QVariant& operator()(int offset) const { return values_.at(offset + kAlcance); }

private:
    static constexpr int kAlcance = 800;
    QVector<QVariant> values_;
};

// What the parts of the shop share: its scale, the random streams, the codes made once.
struct Loja {
    Loja(const ShopOptions& options, const Escala& e)
        : escala(e), rng(options.seed), pessoas(rng.fork(1)), pontos(rng.fork(2)), vendas(rng.fork(3)),
          catalogo(rng.fork(4)), dias(options.today), clientes(e.consumidores + 1), codigos(e.consumidores + 1)
    {
        campanhas << QString();
        for (int c = 1; c <= e.campanhas; ++c)
            campanhas << QStringLiteral("CAMP") + codigo(c, e.campanhas >= 100 ? 3 : 2);
        for (int k = 1; k <= e.consumidores; ++k) {
            clientes[k] = codigo((k - 1) % e.clientes + 1, 6);
            codigos[k] = codigo(k, 11);
        }
    }
    const Escala& escala;
    Rng rng, pessoas, pontos, vendas, catalogo;
    const Dias dias;
    QVector<QString> campanhas, clientes, codigos;
};

void writeArvore(Sink& sink)
{
    sink.begin(QStringLiteral("PRODUTO"),
               {"CDPRODUTO", "NMPRODUTO", "CDARVPROD", "SGUNIDADE", "CDBARPRODUTO", "IDTIPOPROD", "IDPRODBLOQ"},
               kProdutos + kDepartamentos * (kSecoes + 1));
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
    }
    sink.end();
}

// Tax rows: branch 0001 for every product, 0002 for all but department 03, 0003 none,
// every further branch for every product.
void writeAliquotas(Sink& sink, int filiais)
{
    const int semDepartamento = kSecoes * kProdutosPorSecao;
    sink.begin(QStringLiteral("ALIQIMPFIS"), {"CDFILIAL", "CDPRODUTO", "VRPEALIMPFIS", "CDIMPOSTO", "IDTPIMPOSFIS"},
               2 * kProdutos - semDepartamento + qint64(std::max(0, filiais - 3)) * kProdutos);
    for (int f = 1; f <= filiais; ++f) {
        if (f == 3)
            continue;
        const QString filial = codigo(f, 4);
        for (int d = 1; d <= kDepartamentos; ++d) {
            if (d == 3 && f == 2)
                continue;
            for (int s = 0; s < kSecoes; ++s)
                for (int i = 1; i <= kProdutosPorSecao; ++i) {
                    const Aliquota& a = kAliquotas.at((d + s + i) % kAliquotas.size());
                    sink.row({filial, posicao(d, s, i), a.rate, QString::fromLatin1(a.codigo), QString::fromLatin1(a.tipo)});
                }
        }
    }
    sink.end();
}

void writePrecos(Sink& sink)
{
    sink.begin(QStringLiteral("TABPRECO"), {"CDTABPRECO", "NMTABPRECO", "DTINIVGTABPR", "DTFINVGTABPR"}, 1);
    sink.row({QStringLiteral("PADRAO"), QStringLiteral("Tabela padrão"), QVariant(), QVariant()});
    sink.end();
    sink.begin(QStringLiteral("ITTABPRECO"), {"CDTABPRECO", "CDPRODUTO", "VRPRECITEM"}, kProdutos);
    for (int d = 1; d <= kDepartamentos; ++d)
        for (int s = 0; s < kSecoes; ++s)
            for (int i = 1; i <= kProdutosPorSecao; ++i)
                sink.row({QStringLiteral("PADRAO"), posicao(d, s, i), 1.0 + ((d * 31 + s * 7 + i) % 500) / 10.0});
    sink.end();
}

void writeCampanhas(Sink& sink, Loja& loja)
{
    const int n = loja.escala.campanhas;
    sink.begin(QStringLiteral("CAMPANHA"), {"CDCAMPANHA", "DSCAMPANHA", "IDUTILVOUCHER", "DTINICAMPANHA"}, n);
    for (int c = 1; c <= n; ++c)
        sink.row({loja.campanhas[c], QStringLiteral("Campanha %1").arg(c),
                  campanhaDeVoucher(c) ? QStringLiteral("S") : QStringLiteral("N"), loja.dias(-365)});
    sink.end();

    // Each campaign: three whole sections (600 products) and twenty single products.
    sink.begin(QStringLiteral("BRINDECAMPANHA"), {"CDCAMPANHA", "CDPRODUTO", "VRPONTOBRINDE"}, 23 * n);
    for (int c = 1; c <= n; ++c) {
        const int d = (c - 1) % kDepartamentos + 1;
        QStringList usados;
        for (int j = 0; j < 3; ++j) {
            const QString no = QStringLiteral("G") + posicao(d, (c * 7 + j * 13) % kSecoes);
            if (!usados.contains(no)) {
                usados << no;
                sink.row({loja.campanhas[c], no, double(loja.catalogo.range(10, 100) * 10)});
            }
        }
        for (int j = 0; j < 20; ++j) {
            const QString produto = posicao(int(loja.catalogo.range(1, kDepartamentos)),
                                            int(loja.catalogo.below(kSecoes)),
                                            int(loja.catalogo.range(1, kProdutosPorSecao)));
            if (!usados.contains(produto)) {
                usados << produto;
                sink.row({loja.campanhas[c], produto, double(loja.catalogo.range(5, 200) * 10)});
            }
        }
    }
    sink.end();
}

void writeConsumidores(Sink& sink, Loja& loja)
{
    const Escala& e = loja.escala;
    sink.begin(QStringLiteral("CLIENTE"), {"CDCLIENTE", "NMFANTCLIE", "NRINSJURCLIE"}, e.clientes);
    for (int c = 1; c <= e.clientes; ++c)
        sink.row({codigo(c, 6), nomeFantasia(loja.pessoas, c), QStringLiteral("55666777") + codigo(c, 6)});
    sink.end();

    sink.begin(QStringLiteral("CONSUMIDOR"),
               {"CDCLIENTE", "CDCONSUMIDOR", "NMCONSUMIDOR", "CDIDCONSUMID", "NRCPFRESPCON", "DSENDECONS"},
               e.consumidores);
    for (int k = 1; k <= e.consumidores; ++k)
        sink.row({loja.clientes[k], loja.codigos[k], nomePessoa(loja.pessoas), QStringLiteral("CR") + codigo(k, 8),
                  cpf(loja.pessoas), endereco(loja.pessoas)});
    sink.end();
}

void writeMovimentos(Sink& sink, Loja& loja)
{
    const Escala& e = loja.escala;
    QVector<QString> filiais;
    for (int f = 1; f <= e.filiaisComMovimento; ++f)
        filiais << codigo(f, 4);
    const QString tipoC = QStringLiteral("C"), tipoD = QStringLiteral("D");
    sink.begin(QStringLiteral("MOVPONTOCONS"), colunasMovimentoPontos(),
               qint64(kConsumidoresPesados) * kMovimentosPesados
                   + qint64(e.consumidores - kConsumidoresPesados) * (e.movimentosMin + e.movimentosMax) / 2);
    Rng& pontos = loja.pontos;
    for (int k = 1; k <= e.consumidores; ++k) {
        const int n = k <= kConsumidoresPesados ? kMovimentosPesados : int(pontos.range(e.movimentosMin, e.movimentosMax));
        const int primeira = int(pontos.range(1, e.campanhas)), quantas = int(pontos.range(1, 4));
        const QString& filial = filiais[(k - 1) % filiais.size()];
        for (int m = 0; m < n; ++m) {
            const int c = (primeira + int(pontos.below(quantas)) - 1) % e.campanhas + 1;
            const int sorte = int(pontos.below(20));
            const QVariant validade = sorte < 10 ? QVariant()
                                      : sorte < 17 ? loja.dias(int(pontos.range(0, 365)))
                                                   : loja.dias(-int(pontos.range(1, 365)));
            sink.row({loja.clientes[k], loja.codigos[k], loja.campanhas[c], sorte % 7 == 3 ? tipoD : tipoC,
                      double(pontos.range(1, 100)), validade, loja.dias(-int(pontos.range(1, 400))), filial});
        }
    }
    sink.end();
}

void writeVouchers(Sink& sink, Loja& loja)
{
    const Escala& e = loja.escala;
    sink.begin(QStringLiteral("VOUCHERVND"),
               {"CDCLIENTE", "CDCONSUMIDOR", "CDCAMPANHA", "IDUTIVOUCHER", "VRPTOVOUCHER", "DTVALVOUCHER", "NRVOUCHER"},
               e.consumidores / e.passoVoucher * 2);
    qint64 nrVoucher = 0;
    Rng& pontos = loja.pontos;
    for (int k = e.passoVoucher; k <= e.consumidores; k += e.passoVoucher) {
        const int n = int(pontos.range(1, 3));
        for (int v = 0; v < n; ++v)
            sink.row({loja.clientes[k], loja.codigos[k], loja.campanhas[int(pontos.range(1, e.campanhas / 4)) * 4],
                      pontos.chance(30) ? QStringLiteral("S") : QStringLiteral("N"), double(pontos.range(1, 40) * 5),
                      pontos.chance(15) ? loja.dias(-int(pontos.range(1, 60))) : loja.dias(int(pontos.range(0, 90))),
                      QStringLiteral("VC") + codigo(++nrVoucher, 10)});
    }
    sink.end();
}

// One earlier redemption of consumer k: one or two gifts of drawn campaigns.
VendaResgate vendaResgate(Loja& loja, int k, qint64 numero)
{
    static const char* const situacoes[] = {"OI", "OI", "OI", "OI", "ON", "CI", "AN"};
    Rng& rng = loja.vendas;
    const char* s = situacoes[rng.below(7)];
    VendaResgate venda{QStringLiteral("000") + QString::number(1 + numero % 2),
                       numero % 4 < 2 ? QStringLiteral("001") : QStringLiteral("002"), codigo(numero, 10), s[0], s[1],
                       loja.clientes[k], loja.codigos[k], QString(),
                       loja.dias(-int(rng.range(1, 300))).toDateTime().addSecs(rng.range(28800, 72000)), {}};
    const int itens = int(rng.range(1, 2));
    for (int i = 0; i < itens; ++i) {
        const int c = int(rng.range(1, loja.escala.campanhas));
        const QString pos = posicao(int(rng.range(1, kDepartamentos)), int(rng.below(kSecoes)),
                                    int(rng.range(1, kProdutosPorSecao)));
        venda.itens.append({loja.campanhas[c], pos, QStringLiteral("Produto ") + pos, pos,
                            double(rng.range(1, 20) * 10), campanhaDeVoucher(c) ? 'V' : 'R'});
    }
    return venda;
}

void writeResgates(Sink& sink, Loja& loja)
{
    QList<VendaResgate> vendas;
    qint64 numero = 0;
    const Escala& e = loja.escala;
    for (int k = e.passoVenda; k <= e.consumidores; k += e.passoVenda) {
        const int n = int(loja.vendas.range(1, 2));
        for (int v = 0; v < n; ++v)
            vendas.append(vendaResgate(loja, k, ++numero));
    }
    writeVendas(sink, vendas);
}

}  // namespace

void writeLargeShop(Sink& sink, const ShopOptions& options)
{
    Loja loja(options, options.size == ShopSize::Chain ? kRede : kLoja);
    writeStores(sink, loja.escala.filiais);
    writeArvore(sink);
    writeAliquotas(sink, loja.escala.filiais);
    writePrecos(sink);
    writeCampanhas(sink, loja);
    writeConsumidores(sink, loja);
    writeMovimentos(sink, loja);
    writeVouchers(sink, loja);
    writeResgates(sink, loja);
}

// The chain's consumer list alone: its branches, clients and consumers, the same rows as in
// the whole chain (the consumers draw from their own random stream), without the catalogue
// and the point movements, which are most of the whole chain's 32 million rows (about two
// minutes' writing per engine with a Release build, against seconds for the consumers).
void writeChainConsumers(Sink& sink, const ShopOptions& options)
{
    Loja loja(options, kRede);
    writeStores(sink, loja.escala.filiais);
    writeConsumidores(sink, loja);
}

}  // namespace shopgen
