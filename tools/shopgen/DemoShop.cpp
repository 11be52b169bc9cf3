// The demo shop: a few clients and tens of consumers, four campaigns and a small product
// tree, with every situation the loyalty screen meets. The first consumers are fixed
// cases (see Generator.h); the others are drawn from the seed.

#include "tools/shopgen/Generator.h"
#include "tools/shopgen/ShopData.h"

#include <limits>

namespace shopgen {

namespace {

struct ProdutoDemo {
    const char* posicao;  // 2 or 4 digits: a node of the tree; 7 digits: a product
    const char* nome;
    const char* unidade;
    int aliquota;   // index into kAliquotas
    double preco;   // in the default price table; < 0: no price
};

const ProdutoDemo kProdutos[] = {
    {"01", "Bebidas", "UN", 0, 0},
    {"0101", "Refrigerantes", "UN", 0, 0},
    {"0101001", "Refrigerante Cola 2L", "UN", 0, 8.99},
    {"0101002", "Refrigerante Guaraná 2L", "UN", 0, 7.49},
    {"0101003", "Refrigerante Limão 350ml", "LT", 0, 3.29},
    {"0102", "Sucos", "UN", 1, 0},
    {"0102001", "Suco de Uva Integral 1L", "UN", 1, 12.90},
    {"0102002", "Suco de Laranja 1L", "UN", 1, 9.80},
    {"02", "Mercearia", "UN", 2, 0},
    {"0201", "Doces", "UN", 2, 0},
    {"0201001", "Chocolate ao Leite 100g", "UN", 2, 6.75},
    {"0201002", "Paçoca Rolha 20 unidades", "PC", 3, 11.40},
    {"0201003", "Goiabada Cascão 300g", "UN", 2, 7.20},
    {"0202", "Biscoitos", "UN", 2, 0},
    {"0202001", "Biscoito Amanteigado 400g", "PC", 2, 9.99},
    {"0202002", "Biscoito de Polvilho 100g", "PC", 4, 0.0},
    {"03", "Utilidades", "UN", 0, 0},
    {"0301", "Casa", "UN", 0, 0},
    {"0301001", "Caneca Personalizada", "UN", 0, 24.90},
    {"0301002", "Garrafa Térmica 500ml", "UN", 0, 59.90},
    {"0301003", "Kit Panos de Prato", "CJ", 1, 19.90},
    {"0302", "Lazer", "UN", 0, 0},
    {"0302001", "Bola de Futebol", "UN", 0, 89.00},
    {"0302002", "Guarda-chuva Dobrável", "UN", 0, -1},
};

bool isProduto(const ProdutoDemo& p) { return qstrlen(p.posicao) == 7; }
QString codigoProduto(const ProdutoDemo& p)
{
    return isProduto(p) ? QString::fromLatin1(p.posicao) : QStringLiteral("G") + QString::fromLatin1(p.posicao);
}
const ProdutoDemo& produto(const char* posicao)
{
    for (const ProdutoDemo& p : kProdutos)
        if (qstrcmp(p.posicao, posicao) == 0)
            return p;
    return kProdutos[0];
}
ItemResgate item(const char* campanha, const char* posicao, double pontos, char tipo)
{
    const ProdutoDemo& p = produto(posicao);
    return {QString::fromLatin1(campanha), codigoProduto(p), QString::fromUtf8(p.nome), QString::fromLatin1(p.posicao),
            pontos, tipo};
}

void writeCatalogue(Sink& sink, const QDate& today)
{
    sink.begin(QStringLiteral("PRODUTO"),
               {"CDPRODUTO", "NMPRODUTO", "CDARVPROD", "SGUNIDADE", "CDBARPRODUTO", "IDTIPOPROD", "IDPRODBLOQ", "CDNCM",
                "CDCEST"});
    for (const ProdutoDemo& p : kProdutos) {
        const bool leaf = isProduto(p);
        sink.row({codigoProduto(p), QString::fromUtf8(p.nome), QString::fromLatin1(p.posicao),
                  QString::fromLatin1(p.unidade),
                  leaf ? QVariant(ean13(QStringLiteral("78910") + QString::fromLatin1(p.posicao))) : QVariant(),
                  leaf ? QStringLiteral("P") : QStringLiteral("G"),
                  qstrcmp(p.posicao, "0102002") == 0 ? QStringLiteral("S") : QStringLiteral("N"),
                  leaf ? QVariant(QStringLiteral("2202100") + QString::fromLatin1(p.posicao).right(1)) : QVariant(),
                  leaf ? QVariant(QStringLiteral("0300700")) : QVariant()});
    }
    sink.end();

    sink.begin(QStringLiteral("ALIQIMPFIS"), {"CDFILIAL", "CDPRODUTO", "VRPEALIMPFIS", "CDIMPOSTO", "IDTPIMPOSFIS"});
    for (const char* filial : {"0001", "0002"})
        for (const ProdutoDemo& p : kProdutos) {
            if (!isProduto(p) || (qstrcmp(filial, "0002") == 0 && qstrncmp(p.posicao, "03", 2) == 0))
                continue;
            const Aliquota& a = kAliquotas.at(p.aliquota);
            sink.row({QString::fromLatin1(filial), codigoProduto(p), a.rate, QString::fromLatin1(a.codigo),
                      QString::fromLatin1(a.tipo)});
        }
    sink.end();

    sink.begin(QStringLiteral("BRINDECAMPANHA"), {"CDCAMPANHA", "CDPRODUTO", "VRPONTOBRINDE"});
    const struct { const char* campanha; const char* posicao; double pontos; } brindes[] = {
        {"FID2026", "0101", 150}, {"FID2026", "02", 200}, {"FID2026", "0201003", 120}, {"FID2026", "0301001", 500},
        {"NATAL26", "0302001", 300}, {"NATAL26", "0102", 80}, {"CLUBE", "0301002", 400}, {"CLUBE", "03", 600},
        {"VERAO25", "0101001", 90},
    };
    for (const auto& b : brindes)
        sink.row({QString::fromLatin1(b.campanha), codigoProduto(produto(b.posicao)), b.pontos});
    sink.end();

    sink.begin(QStringLiteral("TABPRECO"), {"CDTABPRECO", "NMTABPRECO", "DTINIVGTABPR", "DTFINVGTABPR"});
    sink.row({QStringLiteral("PADRAO"), QStringLiteral("Tabela padrão"), dia(today, -365), QVariant()});
    sink.row({QStringLiteral("LOJA0001"), QStringLiteral("Tabela da Loja Centro"), dia(today, -30), dia(today, 335)});
    sink.row({QStringLiteral("LOJAEXP"), QStringLiteral("Tabela de Copacabana (vencida)"), dia(today, -400), dia(today, -35)});
    sink.row({QStringLiteral("CLIVIP"), QStringLiteral("Tabela de clientes VIP"), dia(today, -10), QVariant()});
    sink.row({QStringLiteral("CLIEXP"), QStringLiteral("Tabela de cliente (vencida)"), dia(today, -200), dia(today, -1)});
    sink.end();

    sink.begin(QStringLiteral("ITTABPRECO"), {"CDTABPRECO", "CDPRODUTO", "VRPRECITEM"});
    for (const ProdutoDemo& p : kProdutos) {
        if (!isProduto(p) || p.preco < 0)
            continue;
        sink.row({QStringLiteral("PADRAO"), codigoProduto(p), p.preco});
        if (qstrncmp(p.posicao, "01", 2) == 0)
            sink.row({QStringLiteral("LOJA0001"), codigoProduto(p), p.preco * 0.9});
        sink.row({QStringLiteral("LOJAEXP"), codigoProduto(p), p.preco});
        sink.row({QStringLiteral("CLIVIP"), codigoProduto(p), p.preco * 0.8});
        sink.row({QStringLiteral("CLIEXP"), codigoProduto(p), p.preco});
    }
    sink.end();
}

struct Consumidor {
    QString cliente, codigo, nome;
};

const char* const kCampanhas[] = {"FID2026", "NATAL26", "CLUBE", "VERAO25"};

// What the parts of the demo shop share: the day, the random streams, the consumers.
struct Demo {
    Demo(const ShopOptions& options)
        : today(options.today), rng(options.seed), pessoas(rng.fork(1)), pontos(rng.fork(2)), vendas(rng.fork(3))
    {
    }
    QDate today;
    Rng rng, pessoas, pontos, vendas;
    QList<Consumidor> consumidores;
};

void writeClientesECampanhas(Sink& sink, Demo& demo)
{
    const QDate& today = demo.today;
    sink.begin(QStringLiteral("CLIENTE"), {"CDCLIENTE", "NMFANTCLIE", "NMRAZSOCCLIE", "NRINSJURCLIE", "CDTABPRECO"});
    const QVariant tabelas[] = {QVariant(), QStringLiteral("CLIVIP"), QStringLiteral("CLIEXP"), QVariant(), QVariant()};
    for (int c = 1; c <= 5; ++c) {
        const QString fantasia = c == 1 ? QStringLiteral("Supermercado Bom Preço") : nomeFantasia(demo.pessoas, c);
        sink.row({codigo(c, 6), fantasia, fantasia + QStringLiteral(" Ltda."),
                  QStringLiteral("4455566600%1").arg(codigo(c, 4)), tabelas[c - 1]});
    }
    sink.end();

    sink.begin(QStringLiteral("CAMPANHA"), {"CDCAMPANHA", "DSCAMPANHA", "IDUTILVOUCHER", "DTINICAMPANHA", "DTFIMCAMPANHA"});
    sink.row({QStringLiteral("FID2026"), QStringLiteral("Fidelidade 2026"), QStringLiteral("N"), dia(today, -300), dia(today, 65)});
    sink.row({QStringLiteral("NATAL26"), QStringLiteral("Vale-brinde de Natal"), QStringLiteral("S"), dia(today, -20), dia(today, 40)});
    sink.row({QStringLiteral("CLUBE"), QStringLiteral("Clube de Pontos"), QStringLiteral("N"), dia(today, -700), QVariant()});
    sink.row({QStringLiteral("VERAO25"), QStringLiteral("Verão 2025 (encerrada)"), QStringLiteral("N"), dia(today, -400), dia(today, -250)});
    sink.end();
}

void writeConsumidores(Sink& sink, Demo& demo)
{
    demo.consumidores = {
        {codigo(1, 6), codigo(1, 11), QStringLiteral("Maria da Silva Santos")},
        {codigo(1, 6), codigo(2, 11), QStringLiteral("João Pereira Lima")},
        {codigo(2, 6), codigo(3, 11), QStringLiteral("Ana Souza Costa")},
        {codigo(99, 6), codigo(4, 11), QStringLiteral("Consumidor de cliente não cadastrado")},
    };
    for (int k = 5; k <= 40; ++k)
        demo.consumidores.append({codigo(demo.pessoas.range(1, 5), 6), codigo(k, 11), nomePessoa(demo.pessoas)});

    sink.begin(QStringLiteral("CONSUMIDOR"),
               {"CDCLIENTE", "CDCONSUMIDOR", "NMCONSUMIDOR", "CDIDCONSUMID", "NRCPFRESPCON", "DSENDECONS", "DTCADCONS"});
    for (const Consumidor& c : std::as_const(demo.consumidores))
        sink.row({c.cliente, c.codigo, c.nome, QStringLiteral("CR") + c.codigo.right(6), cpf(demo.pessoas),
                  endereco(demo.pessoas), dia(demo.today, -int(demo.pessoas.range(30, 900)))});
    sink.end();
}

// A day counted from today; kSemData: none.
constexpr int kSemData = std::numeric_limits<int>::min();

QVariant diaOuNada(const QDate& today, int dias)
{
    return dias == kSemData ? QVariant() : QVariant(dia(today, dias));
}

// The fixed cases of the first consumers (Generator.h): consumer (index), campaign,
// movement type, points and validity.
struct CreditoFixo {
    int consumidor;
    const char* campanha;
    const char* tipo;
    double pontos;
    int validade;
};
const CreditoFixo kCreditosFixos[] = {
    {0, "FID2026", "C", 100, kSemData}, {0, "FID2026", "C", 50, 90},  {0, "FID2026", "C", 40, -10},
    {0, "FID2026", "D", 25, kSemData},  {0, "NATAL26", "C", 200, 60}, {0, "CLUBE", "C", 75, 180},
    {1, "FID2026", "C", 20, 30},        {1, "FID2026", "C", 100, -40}, {2, "FID2026", "C", 60, -1},
    {2, "VERAO25", "C", 90, -200},      {3, "FID2026", "C", 10, kSemData},
};

// Their vouchers of NATAL26: consumer (index), used ("S") or not, points and validity.
struct VoucherFixo {
    int consumidor;
    const char* usado;
    double pontos;
    int validade;
};
const VoucherFixo kVouchersFixos[] = {
    {0, "N", 80, 20}, {0, "S", 50, 20}, {0, "N", 30, -5}, {0, "N", 25, kSemData}, {2, "N", 40, 15},
};

// Credits: fixed cases, then drawn ones (validity: none, ahead, or past).
void writeCreditos(Sink& sink, Demo& demo)
{
    const QDate& today = demo.today;
    const QList<Consumidor>& consumidores = demo.consumidores;
    Rng& pontos = demo.pontos;
    sink.begin(QStringLiteral("MOVPONTOCONS"), colunasMovimentoPontos());
    auto credito = [&](const Consumidor& c, const char* campanha, const char* tipo, double valor, const QVariant& validade) {
        sink.row({c.cliente, c.codigo, QString::fromLatin1(campanha), QString::fromLatin1(tipo), valor, validade,
                  dia(today, -int(pontos.range(1, 200))), QStringLiteral("0001")});
    };
    for (const CreditoFixo& f : kCreditosFixos)
        credito(consumidores[f.consumidor], f.campanha, f.tipo, f.pontos, diaOuNada(today, f.validade));
    for (int k = 4; k < consumidores.size(); ++k) {
        const int n = int(pontos.range(1, 8));
        for (int m = 0; m < n; ++m) {
            const char* campanha = kCampanhas[pontos.below(4)];
            const int tipo = int(pontos.below(10));
            QVariant validade;
            if (qstrcmp(campanha, "VERAO25") == 0)
                validade = dia(today, -int(pontos.range(1, 200)));
            else if (tipo < 4)
                validade = dia(today, int(pontos.range(0, 365)));
            else if (tipo < 6)
                validade = dia(today, -int(pontos.range(1, 120)));
            credito(consumidores[k], campanha, tipo == 9 ? "D" : "C", double(pontos.range(1, 60) * 5), validade);
        }
    }
    sink.end();
}

void writeVouchers(Sink& sink, Demo& demo)
{
    const QDate& today = demo.today;
    const QList<Consumidor>& consumidores = demo.consumidores;
    Rng& pontos = demo.pontos;
    sink.begin(QStringLiteral("VOUCHERVND"),
               {"CDCLIENTE", "CDCONSUMIDOR", "CDCAMPANHA", "IDUTIVOUCHER", "VRPTOVOUCHER", "DTVALVOUCHER", "NRVOUCHER",
                "DTEMISVOUCHER"});
    int nrVoucher = 0;
    auto voucher = [&](const Consumidor& c, const char* usado, double valor, const QVariant& validade) {
        sink.row({c.cliente, c.codigo, QStringLiteral("NATAL26"), QString::fromLatin1(usado), valor, validade,
                  QStringLiteral("VC") + codigo(++nrVoucher, 8), dia(today, -int(pontos.range(1, 20)))});
    };
    for (const VoucherFixo& f : kVouchersFixos)
        voucher(consumidores[f.consumidor], f.usado, f.pontos, diaOuNada(today, f.validade));
    for (int k = 4; k < consumidores.size(); k += 3)
        voucher(consumidores[k], pontos.chance(25) ? "S" : "N", double(pontos.range(2, 20) * 5),
                pontos.chance(20) ? dia(today, -int(pontos.range(1, 30))) : dia(today, int(pontos.range(0, 40))));
    sink.end();
}

// Earlier redemptions: counted only on concluded ('O') and printed ('I') sales.
void writeResgates(Sink& sink, Demo& demo)
{
    const QList<Consumidor>& consumidores = demo.consumidores;
    QList<VendaResgate> vendas;
    int numero = 0;
    auto venda = [&](const Consumidor& c, char situacao, char impressa, const QList<ItemResgate>& itens) {
        ++numero;
        vendas.append({QStringLiteral("0001"), numero % 2 ? QStringLiteral("001") : QStringLiteral("002"),
                       codigo(numero, 10), situacao, impressa, c.cliente, c.codigo, c.nome,
                       dia(demo.today, -int(demo.vendas.range(1, 60))).addSecs(demo.vendas.range(8 * 3600, 20 * 3600)),
                       itens});
    };
    venda(consumidores[0], 'O', 'I', {item("FID2026", "0101001", 30, 'R'), item("NATAL26", "0102001", 20, 'V')});
    venda(consumidores[0], 'C', 'I', {item("FID2026", "0201001", 20, 'R')});
    venda(consumidores[0], 'O', 'N', {item("FID2026", "0201002", 10, 'R')});
    venda(consumidores[0], 'A', 'N', {item("FID2026", "0201003", 15, 'R')});
    venda(consumidores[1], 'O', 'I', {item("FID2026", "0301001", 50, 'R')});
    const char* situacoes[] = {"OI", "OI", "OI", "ON", "CI", "AN"};
    const char* posicoes[] = {"0101002", "0102002", "0201001", "0202001", "0301002", "0302001"};
    for (int k = 4; k < consumidores.size(); k += 2) {
        const char* s = situacoes[demo.vendas.below(6)];
        const char* campanha = kCampanhas[demo.vendas.below(3)];
        venda(consumidores[k], s[0], s[1],
              {item(campanha, posicoes[demo.vendas.below(6)], double(demo.vendas.range(1, 10) * 5),
                    qstrcmp(campanha, "NATAL26") == 0 ? 'V' : 'R')});
    }
    writeVendas(sink, vendas);
}

}  // namespace

void writeDemoShop(Sink& sink, const ShopOptions& options)
{
    Demo demo(options);
    writeClientesECampanhas(sink, demo);
    writeConsumidores(sink, demo);
    writeCreditos(sink, demo);
    writeVouchers(sink, demo);
    writeResgates(sink, demo);
    writeCatalogue(sink, demo.today);
}

}  // namespace shopgen
