#include "tools/shopgen/ShopData.h"

#include <QStringList>

namespace shopgen {

namespace {

const char* const kNomes[] = {"Maria", "José", "Ana", "João", "Francisca", "Antônio", "Adriana", "Carlos",
                              "Juliana", "Paulo", "Márcia", "Pedro", "Aline", "Lucas", "Fernanda", "Luiz",
                              "Patrícia", "Marcos", "Camila", "Rafael", "Beatriz", "Gabriel", "Letícia", "Thiago"};
const char* const kSobrenomes[] = {"Silva", "Santos", "Oliveira", "Souza", "Rodrigues", "Ferreira", "Alves",
                                   "Pereira", "Lima", "Gomes", "Costa", "Ribeiro", "Martins", "Carvalho",
                                   "Almeida", "Lopes", "Soares", "Fernandes", "Vieira", "Barbosa"};
const char* const kRuas[] = {"Rua das Flores", "Av. Brasil", "Rua Sete de Setembro", "Rua XV de Novembro",
                             "Av. Paulista", "Rua da Consolação", "Rua Tiradentes", "Av. Getúlio Vargas",
                             "Rua São João", "Rua Dom Pedro II"};
const char* const kFantasias[] = {"Supermercado Bom Preço", "Padaria Pão Quente", "Restaurante Sabor Caseiro",
                                  "Mercadinho da Esquina", "Empório Central", "Lanchonete do Porto",
                                  "Cantina Bella Massa", "Açougue Boi Gordo"};

template <class T, std::size_t N>
QString escolhe(Rng& rng, const T (&list)[N])
{
    return QString::fromUtf8(list[rng.below(N)]);
}

}  // namespace

const QList<Aliquota> kAliquotas = {
    {18.0, "T", "01"}, {12.0, "T", "02"}, {7.0, "T", "03"}, {0.0, "F", "FF"}, {0.0, "I", "II"},
};

QStringList colunasMovimentoPontos()
{
    return {QStringLiteral("CDCLIENTE"),   QStringLiteral("CDCONSUMIDOR"),  QStringLiteral("CDCAMPANHA"),
            QStringLiteral("IDTPMOVCONS"), QStringLiteral("VRSALDOCONS"),   QStringLiteral("DTVALIDAPONTO"),
            QStringLiteral("DTMOVCONS"),   QStringLiteral("CDFILIAL")};
}

QDateTime dia(const QDate& today, int offset)
{
    return QDateTime(today.addDays(offset), QTime(0, 0));
}

QString codigo(qint64 n, int width)
{
    return QStringLiteral("%1").arg(n, width, 10, QLatin1Char('0'));
}

QString cpf(Rng& rng)
{
    int d[11];
    for (int i = 0; i < 9; ++i)
        d[i] = int(rng.below(10));
    for (int k = 9; k < 11; ++k) {
        int sum = 0;
        for (int i = 0; i < k; ++i)
            sum += d[i] * (k + 1 - i);
        const int r = sum % 11;
        d[k] = r < 2 ? 0 : 11 - r;
    }
    QString text;
    for (int v : d)
        text += QChar(u'0' + v);
    return text;
}

QString ean13(const QString& digits12)
{
    int sum = 0;
    for (int i = 0; i < 12; ++i)
        sum += digits12.at(i).digitValue() * (i % 2 ? 3 : 1);
    return digits12 + QChar(u'0' + (10 - sum % 10) % 10);
}

QString nomePessoa(Rng& rng)
{
    return escolhe(rng, kNomes) + QLatin1Char(' ') + escolhe(rng, kSobrenomes) + QLatin1Char(' ')
           + escolhe(rng, kSobrenomes);
}

QString endereco(Rng& rng)
{
    return escolhe(rng, kRuas) + QStringLiteral(", ") + QString::number(rng.range(10, 2999));
}

QString nomeFantasia(Rng& rng, int n)
{
    return escolhe(rng, kFantasias) + QStringLiteral(" ") + QString::number(n);
}

namespace {

// A redeemed gift is sold at a price of its own and discounted in full, but for the last
// item of the sale, which keeps the 0.01 the sale is paid with.
double precoItem(const ItemResgate& i)
{
    return 10.0 + i.pontos / 10.0;
}

double descontoItem(const VendaResgate& v, int n)
{
    const double preco = precoItem(v.itens.at(n));
    return n == v.itens.size() - 1 ? preco - 0.01 : preco;
}

// Calls f(sale, item position, item) for every item of the sales that `incluir` accepts.
template <class F>
void cadaItem(const QList<VendaResgate>& vendas, bool (*incluir)(const VendaResgate&), F&& f)
{
    for (const VendaResgate& v : vendas)
        if (incluir(v))
            for (int n = 0; n < v.itens.size(); ++n)
                f(v, n, v.itens.at(n));
}

bool todas(const VendaResgate&) { return true; }
bool cancelada(const VendaResgate& v) { return v.situacao == 'C'; }

void writeVendasEItens(Sink& sink, const QList<VendaResgate>& vendas)
{
    sink.begin(QStringLiteral("VENDA"),
               {"CDFILIAL", "CDCAIXA", "NRSEQVENDA", "IDSITUVENDA", "IDIMPVENDA", "CDEMPRESA", "CDLOJA",
                "CDOPERADOR", "CDCLIENTE", "CDCONSUMIDOR", "NMCONSVEND", "DTABERCAIX", "DTMOVIMCAIXA",
                "DTHRVENDA", "VRTOTVENDA", "VRDESCVENDA", "IDTPDOCVENDA", "DTHRCANCVEN"});
    for (const VendaResgate& v : vendas) {
        double total = 0;
        for (const ItemResgate& i : v.itens)
            total += precoItem(i);
        const QDateTime dia0(v.quando.date(), QTime(0, 0));
        sink.row({v.filial, v.caixa, v.numero, QString(QChar(v.situacao)), QString(QChar(v.impressa)),
                  QStringLiteral("01"), QStringLiteral("0001"), QStringLiteral("OPER01"), v.cliente, v.consumidor,
                  v.nomeConsumidor, dia0, dia0, v.quando, 0.01, total - 0.01, QStringLiteral("E"),
                  cancelada(v) ? QVariant(v.quando.addSecs(120)) : QVariant()});
    }
    sink.end();

    sink.begin(QStringLiteral("ITVENDA"),
               {"CDFILIAL", "CDCAIXA", "NRSEQVENDA", "NRSEQITVEND", "CDPRODUTO", "NMPRODUTO", "CDARVPROD",
                "QTPRODVEND", "VRUNITVEND", "VRDESCITVEND", "CDLOJA"});
    cadaItem(vendas, todas, [&](const VendaResgate& v, int n, const ItemResgate& i) {
        sink.row({v.filial, v.caixa, v.numero, codigo(n + 1, 3), i.produto, i.nome, i.arvore, 1.0, precoItem(i),
                  descontoItem(v, n), QStringLiteral("0001")});
    });
    sink.end();
}

void writeFidelidadeECaixa(Sink& sink, const QList<VendaResgate>& vendas)
{
    sink.begin(QStringLiteral("ITFIDELIDADE"),
               {"CDFILIAL", "CDCAIXA", "NRSEQVENDA", "CDCLIENTE", "CDCONSUMIDOR", "CDCAMPANHA", "IDTPOPERITFIDEL",
                "VRPONTOBRINDE", "CDPRODUTO", "NRSEQITVEND"});
    cadaItem(vendas, todas, [&](const VendaResgate& v, int n, const ItemResgate& i) {
        sink.row({v.filial, v.caixa, v.numero, v.cliente, v.consumidor, i.campanha, QString(QChar(i.tipo)), i.pontos,
                  i.produto, codigo(n + 1, 3)});
    });
    sink.end();

    sink.begin(QStringLiteral("MOVCAIXA"),
               {"CDFILIAL", "CDCAIXA", "NRSEQUMOVI", "IDTIPOMOVIVE", "NRSEQVENDA", "CDTIPORECE", "DTHRINCMOV",
                "VRMOVIVEND", "NMTIPORECE", "CDCLIENTE", "CDCONSUMIDOR", "DTMOVIMCAIXA", "IDTIPORECE"});
    for (const VendaResgate& v : vendas)
        sink.row({v.filial, v.caixa, v.numero, QStringLiteral("E"), v.numero, QStringLiteral("040"), v.quando, 0.01,
                  QStringLiteral("Resgate de pontos"), v.cliente, v.consumidor, QDateTime(v.quando.date(), QTime(0, 0)),
                  QStringLiteral("4")});
    sink.end();
}

void writeCanceladas(Sink& sink, const QList<VendaResgate>& vendas)
{
    sink.begin(QStringLiteral("VENDACANCELADA"),
               {"CDFILIAL", "CDCAIXA", "NRSEQVENDACAN", "NRSEQVENDA", "CDEMPRESA", "CDOPERADOR", "DTMOVIMCAIXA",
                "DTHRCANCVEN", "VRTOTVENDA", "DSMOTIVOCANC"});
    for (const VendaResgate& v : vendas)
        if (cancelada(v))
            sink.row({v.filial, v.caixa, v.numero, v.numero, QStringLiteral("01"), QStringLiteral("OPER01"),
                      QDateTime(v.quando.date(), QTime(0, 0)), v.quando.addSecs(120), 0.01,
                      QStringLiteral("Falha na emissão do documento")});
    sink.end();

    sink.begin(QStringLiteral("ITVENDACANCELADA"),
               {"CDFILIAL", "CDCAIXA", "NRSEQVENDACAN", "NRSEQITVEND", "CDPRODUTO", "NMPRODUTO", "QTPRODVEND",
                "VRUNITVEND", "VRDESCITVEND"});
    cadaItem(vendas, cancelada, [&](const VendaResgate& v, int n, const ItemResgate& i) {
        sink.row({v.filial, v.caixa, v.numero, codigo(n + 1, 3), i.produto, i.nome, 1.0, precoItem(i),
                  descontoItem(v, n)});
    });
    sink.end();
}

}  // namespace

void writeVendas(Sink& sink, const QList<VendaResgate>& vendas)
{
    writeVendasEItens(sink, vendas);
    writeFidelidadeECaixa(sink, vendas);
    writeCanceladas(sink, vendas);
}

}  // namespace shopgen
