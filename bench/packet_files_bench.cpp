// Terminal files of hostile sizes: `cdstool dump --json` of an XML file of 100,000
// string fields and no row (field parameters must be gathered in one pass), and a
// binary file of 1,000,000 short rows, or of rows of nulls, loaded into a dataset: time,
// and heap held against the file's size (target: at most 3 times the file plus 64 bytes
// a row). The raw baselines read the same bytes once (memchr over the XML, a copy of
// the binary file).

#include "platform/dataset/ClientDataSet.h"
#include "platform/dataset/DataPacket.h"
#include "platform/dataset/PacketJson.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <cstring>

using namespace platform;

namespace {

const QByteArray& manyFieldsXml()
{
    static const QByteArray bytes = [] {
        QByteArray out = "<?xml version=\"1.0\" standalone=\"yes\"?>  <DATAPACKET Version=\"2.0\"><METADATA><FIELDS>";
        for (int i = 0; i < 100000; ++i)
            out += "<FIELD attrname=\"CAMPO" + QByteArray::number(i) + "\" fieldtype=\"string\" WIDTH=\"20\"/>";
        return out + "</FIELDS><PARAMS/></METADATA><ROWDATA></ROWDATA></DATAPACKET>";
    }();
    return bytes;
}

void BM_DumpJsonOf100kFieldsXml(benchmark::State& state)
{
    const QByteArray& bytes = manyFieldsXml();
    for (auto _ : state)
        benchmark::DoNotOptimize(packetToJsonText(readPacket(bytes, QStringLiteral("campos.xml"))));
    state.counters["file_MB"] = double(bytes.size()) / 1e6;
}
BENCHMARK(BM_DumpJsonOf100kFieldsXml)->Unit(benchmark::kMillisecond);

void BM_RawScanOf100kFieldsXml(benchmark::State& state)
{
    const QByteArray& bytes = manyFieldsXml();
    for (auto _ : state) {
        qsizetype tags = 0;
        for (const char* p = bytes.constData(), *end = p + bytes.size();
             (p = static_cast<const char*>(std::memchr(p, '<', size_t(end - p)))); ++p)
            ++tags;
        benchmark::DoNotOptimize(tags);
    }
}
BENCHMARK(BM_RawScanOf100kFieldsXml)->Unit(benchmark::kMillisecond);

constexpr quint32 kRows = 1000000;

// A binary packet of kRows rows: one text field holding one character, or four integer
// fields that are all null.
QByteArray binaryRows(bool nulls)
{
    QByteArray out("\x96\x19\xE0\xBD\x01\x00\x00\x00\x18\x00\x00\x00", 12);
    auto u16 = [&](quint16 v) { out.append(char(v & 0xFF)).append(char(v >> 8)); };
    auto u32 = [&](quint32 v) { u16(quint16(v & 0xFFFF)); u16(quint16(v >> 16)); };
    u16(nulls ? 4 : 1);
    u32(kRows);
    u32(3);
    u16(0);
    const int fields = nulls ? 4 : 1;
    for (int f = 0; f < fields; ++f) {
        out.append(char(2)).append("F").append(char('0' + f));
        u32(nulls ? 0x00010004 : 0x00490001);
        u16(0);
        u16(0);
    }
    u16(0);
    qToLittleEndian<quint16>(quint16(out.size()), out.data() + 22);
    const QByteArray row = nulls ? QByteArray("\x00\x55", 2) : QByteArray("\x00\x00\x01X", 4);
    out.reserve(out.size() + row.size() * qsizetype(kRows));
    for (quint32 r = 0; r < kRows; ++r)
        out += row;
    return out;
}

void loadBinaryRows(benchmark::State& state, bool nulls)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("linhas.cds"));
    const QByteArray bytes = binaryRows(nulls);
    {
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
    }
    double held = 0;
    for (auto _ : state) {
        const size_t before = mallinfo2().uordblks;
        auto* ds = new ClientDataSet;
        ds->loadFromFile(path);
        held = double(mallinfo2().uordblks - before);
        benchmark::DoNotOptimize(ds->recordCount());
        state.PauseTiming();
        delete ds;
        state.ResumeTiming();
    }
    const double limit = 3.0 * double(bytes.size()) + 64.0 * kRows;
    state.counters["file_MB"] = double(bytes.size()) / 1e6;
    state.counters["held_MB"] = held / 1e6;
    state.counters["held_per_limit"] = held / limit;  // at most 1
}

void BM_LoadBinaryFileOf1MShortRows(benchmark::State& state) { loadBinaryRows(state, false); }
BENCHMARK(BM_LoadBinaryFileOf1MShortRows)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_LoadBinaryFileOf1MRowsOfNulls(benchmark::State& state) { loadBinaryRows(state, true); }
BENCHMARK(BM_LoadBinaryFileOf1MRowsOfNulls)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_RawCopyOf1MShortRowsFile(benchmark::State& state)
{
    const QByteArray bytes = binaryRows(false);
    for (auto _ : state) {
        QByteArray copy(bytes.constData(), bytes.size());
        benchmark::DoNotOptimize(copy.data());
    }
}
BENCHMARK(BM_RawCopyOf1MShortRowsFile)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
