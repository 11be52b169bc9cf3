// ClientDataSet at 100,000 rows shaped like the consumer list (7 texts of widths 21, 50,
// 21, 21, 50, 11, 50): the packet encoded and decoded in both encodings, load from a
// packet, locate, filter, filtered walk, memory held; the dataset's operations each
// against a plain std::vector scan of the same data as the raw baseline.

#include "platform/dataset/ClientDataSet.h"

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <vector>

using namespace platform;

namespace {

constexpr int kRows = 100000;

QString pick(const char* const* words, int n, quint32& seed)
{
    seed = seed * 1103515245u + 12345u;
    return QString::fromUtf8(words[(seed >> 16) % quint32(n)]);
}

// The consumer list: code, name, CPF, client code, trade name, phone, address.
DataPacket consumerPacket()
{
    static const char* first[] = {"Ana", "João", "Maria", "José", "Antônio", "Francisca", "Carlos", "Paula",
                                  "Luiz", "Fernanda", "Marcos", "Juliana"};
    static const char* last[] = {"Silva", "Santos", "Oliveira", "Souza", "Rodrigues", "Ferreira", "Alves",
                                 "Pereira", "Lima", "Gomes", "Ribeiro", "Carvalho"};
    static const char* shop[] = {"Restaurante Sabor", "Padaria Pão Quente", "Lanchonete Central", "Bar do Zé",
                                 "Cantina Bella", "Churrascaria Gaúcha"};
    static const char* street[] = {"Rua das Flores", "Avenida Brasil", "Rua XV de Novembro", "Alameda Santos",
                                   "Rua Augusta", "Avenida Paulista"};
    DataPacket p;
    const int widths[] = {21, 50, 21, 21, 50, 11, 50};
    const char* names[] = {"CDCONSUMIDOR", "NMCONSUMIDOR", "NRCPF", "CDCLIENTE", "NMFANTASIA", "NRFONE", "DSENDERECO"};
    for (int i = 0; i < 7; ++i) {
        FieldDef d;
        d.name = QString::fromLatin1(names[i]);
        d.type = FieldType::String;
        d.size = widths[i];
        p.fields.append(d);
    }
    quint32 seed = 42;
    p.rows.reserve(kRows);
    for (int r = 0; r < kRows; ++r) {
        p.rows.append({QString::number(r + 1).rightJustified(8, QLatin1Char('0')),
                       pick(first, 12, seed) + QLatin1Char(' ') + pick(last, 12, seed) + QLatin1Char(' ') + pick(last, 12, seed),
                       QStringLiteral("%1.%2.%3-%4").arg(r % 1000, 3, 10, QLatin1Char('0')).arg(r % 997, 3, 10, QLatin1Char('0'))
                           .arg(r % 991, 3, 10, QLatin1Char('0')).arg(r % 97, 2, 10, QLatin1Char('0')),
                       QString::number(1 + r % 50), pick(shop, 6, seed),
                       QStringLiteral("119%1").arg(r, 8, 10, QLatin1Char('0')),
                       pick(street, 6, seed) + QStringLiteral(", %1").arg(r % 2000)});
    }
    return p;
}

const DataPacket& packet()
{
    static const DataPacket p = consumerPacket();
    return p;
}

ClientDataSet& loaded()
{
    static ClientDataSet* ds = [] {
        auto* d = new ClientDataSet(QStringLiteral("cdsConsumidor"));
        d->setPacket(packet());
        return d;
    }();
    ds->setFiltered(false);
    return *ds;
}

void BM_LoadPacketIntoDataSet(benchmark::State& state)
{
    const DataPacket& p = packet();
    for (auto _ : state) {
        ClientDataSet ds;
        ds.setPacket(p);
        benchmark::DoNotOptimize(ds.recordCount());
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_LoadPacketIntoDataSet)->Unit(benchmark::kMillisecond);

// The packet's two encodings, each way; bytes_per_second is the encoded size over the time.
void encode(benchmark::State& state, PacketFormat format)
{
    const DataPacket& p = packet();
    qsizetype bytes = 0;
    for (auto _ : state) {
        const QByteArray out = writePacket(p, format);
        bytes = out.size();
        benchmark::DoNotOptimize(out.constData());
    }
    state.SetBytesProcessed(state.iterations() * bytes);
    state.counters["packet_mb"] = double(bytes) / 1e6;
}

void decode(benchmark::State& state, PacketFormat format)
{
    const QByteArray bytes = writePacket(packet(), format);
    for (auto _ : state) {
        const DataPacket back = readPacket(bytes);
        benchmark::DoNotOptimize(back.rows.size());
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
    state.counters["packet_mb"] = double(bytes.size()) / 1e6;
}

// Decoded, then every row taken as variants: the binary reader keeps the rows as columns
// and makes the variants when they are read, so this is the cost of a reader of every value.
void BM_BinaryDecodeAndReadValues(benchmark::State& state)
{
    const QByteArray bytes = writePacket(packet());
    for (auto _ : state) {
        const DataPacket back = readPacket(bytes);
        qsizetype chars = 0;
        for (const QVariantList& row : back.rows)
            for (const QVariant& v : row)
                chars += static_cast<const QString*>(v.constData())->size();
        benchmark::DoNotOptimize(chars);
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}
BENCHMARK(BM_BinaryDecodeAndReadValues)->Unit(benchmark::kMillisecond);

void BM_BinaryEncode(benchmark::State& state) { encode(state, PacketFormat::Binary); }
void BM_BinaryDecode(benchmark::State& state) { decode(state, PacketFormat::Binary); }
void BM_XmlEncode(benchmark::State& state) { encode(state, PacketFormat::Xml); }
void BM_XmlDecode(benchmark::State& state) { decode(state, PacketFormat::Xml); }
BENCHMARK(BM_BinaryEncode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BinaryDecode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_XmlEncode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_XmlDecode)->Unit(benchmark::kMillisecond);

// A binary packet as a data-service function returns it, loaded into a dataset: read
// once, straight into the columns.
void BM_LoadBinaryIntoDataSet(benchmark::State& state)
{
    const QVariant data = packetToVariant(packet());
    for (auto _ : state) {
        ClientDataSet ds;
        ds.setData(data);
        benchmark::DoNotOptimize(ds.recordCount());
    }
    state.SetBytesProcessed(state.iterations() * data.toByteArray().size());
}
BENCHMARK(BM_LoadBinaryIntoDataSet)->Unit(benchmark::kMillisecond);

// Heap held by the loaded dataset, against the size of its binary packet.
void BM_MemoryPerPacketByte(benchmark::State& state)
{
    const qsizetype packetBytes = writePacket(packet()).size();
    double ratio = 0;
    for (auto _ : state) {
        const size_t before = mallinfo2().uordblks;
        auto* ds = new ClientDataSet;
        ds->setPacket(packet());
        const size_t after = mallinfo2().uordblks;
        ratio = double(after - before) / double(packetBytes);
        delete ds;
    }
    state.counters["packet_MB"] = double(packetBytes) / 1e6;
    state.counters["held_per_packet_byte"] = ratio;
}
BENCHMARK(BM_MemoryPerPacketByte)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_LocateLastRow(benchmark::State& state)
{
    ClientDataSet& ds = loaded();
    const QString key = QString::number(kRows).rightJustified(8, QLatin1Char('0'));
    for (auto _ : state)
        benchmark::DoNotOptimize(ds.locate(QStringLiteral("CDCONSUMIDOR"), key));
}
BENCHMARK(BM_LocateLastRow)->Unit(benchmark::kMicrosecond);

// The worst case: every row compared, keys as long as the stored codes.
void BM_LocateNotFound(benchmark::State& state)
{
    ClientDataSet& ds = loaded();
    const QString key = QStringLiteral("99999999");
    for (auto _ : state)
        benchmark::DoNotOptimize(ds.locate(QStringLiteral("CDCONSUMIDOR"), key));
}
BENCHMARK(BM_LocateNotFound)->Unit(benchmark::kMicrosecond);

void BM_LocateNotFoundCaseInsensitive(benchmark::State& state)
{
    ClientDataSet& ds = loaded();
    LocateOptions o;
    o.caseInsensitive = true;
    for (auto _ : state)
        benchmark::DoNotOptimize(ds.locate(QStringLiteral("NMCONSUMIDOR"), QStringLiteral("ninguém com este nome"), o));
}
BENCHMARK(BM_LocateNotFoundCaseInsensitive)->Unit(benchmark::kMicrosecond);

void BM_LocateTwoKeysNotFound(benchmark::State& state)
{
    ClientDataSet& ds = loaded();
    const QVariantList keys{QStringLiteral("51"), QStringLiteral("Bar do Zé")};
    for (auto _ : state)
        benchmark::DoNotOptimize(ds.locate(QStringLiteral("CDCLIENTE;NMFANTASIA"), keys));
}
BENCHMARK(BM_LocateTwoKeysNotFound)->Unit(benchmark::kMicrosecond);

void BM_RawVectorScanBaseline(benchmark::State& state)
{
    std::vector<QString> codes;
    codes.reserve(kRows);
    for (const QVariantList& row : packet().rows)
        codes.push_back(row[0].toString());
    const QString key = QStringLiteral("99999999");
    for (auto _ : state) {
        size_t found = codes.size();
        for (size_t i = 0; i < codes.size(); ++i)
            if (codes[i] == key) { found = i; break; }
        benchmark::DoNotOptimize(found);
    }
}
BENCHMARK(BM_RawVectorScanBaseline)->Unit(benchmark::kMicrosecond);

void BM_FilterApply(benchmark::State& state)
{
    ClientDataSet& ds = loaded();
    ds.setFilter(QStringLiteral("(NMFANTASIA = 'Bar do Zé' OR NMFANTASIA = 'Cantina Bella') AND CDCLIENTE <> '7'"));
    for (auto _ : state) {
        ds.setFiltered(true);
        benchmark::DoNotOptimize(ds.recordCount());
        ds.setFiltered(false);
    }
}
BENCHMARK(BM_FilterApply)->Unit(benchmark::kMillisecond);

void BM_FilteredWalk(benchmark::State& state)
{
    ClientDataSet& ds = loaded();
    ds.setFilter(QStringLiteral("NMCONSUMIDOR = 'Ana*'"));
    ds.setFiltered(true);
    Field& name = ds.fieldByName(QStringLiteral("NMCONSUMIDOR"));
    for (auto _ : state) {
        qsizetype chars = 0;
        for (ds.first(); !ds.eof(); ds.next())
            chars += name.asString().size();
        benchmark::DoNotOptimize(chars);
    }
    state.counters["rows"] = ds.recordCount();
}
BENCHMARK(BM_FilteredWalk)->Unit(benchmark::kMillisecond);

void BM_RawFilteredWalkBaseline(benchmark::State& state)
{
    const QList<QVariantList>& rows = packet().rows.rows();
    for (auto _ : state) {
        qsizetype chars = 0;
        for (const QVariantList& row : rows) {
            const QString name = row[1].toString();
            if (name.startsWith(QLatin1String("Ana")))
                chars += name.size();
        }
        benchmark::DoNotOptimize(chars);
    }
}
BENCHMARK(BM_RawFilteredWalkBaseline)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
