// Terminals redeeming at once on one PostgreSQL server, each a process of its own
// (redemption_terminal: the screen with the reference host's simulated fiscal printer
// and sale services, which answer at once), each on a register of its own:
//
//   BM_Terminals/terminals:1/same:0    one terminal alone: the baseline of the run
//   BM_Terminals/terminals:16/same:0   16 terminals, each redeeming for its own consumer
//   BM_Terminals/terminals:16/same:1   16 terminals redeeming for one consumer whose
//                                      points cover half of the attempts
//
// Every terminal confirms (F5) one gift after another; the figures are over all of them:
// p50_ms and p99_ms from F5 to the balances reloaded (p50_ratio against the lone
// terminal), redemptions_per_s concluded by all terminals together, and the time the
// close-outs waited for another terminal's hold on their consumer (lock_wait_ms in all,
// lock_wait_max_ms, lock_waited: how many found it held). The runs check what they did:
// p90_ms as well, first_max_ms the slowest of the terminals' first confirmations;
// processor time per confirmation: terminal_cpu_ms (the terminal process, measured by
// itself over each F5) and server_cpu_ms (every process of the database server while the
// terminals redeemed, over all confirmations; reported when the server runs on this
// machine). The runs check what they did:
// every redemption of a consumer of its own concluded; on one consumer, exactly the
// redemptions its points cover concluded and the database holds the rest of its points.
// A failed check is printed and makes the program end with status 1.
//
// Needs VAK_PG_CONNSTR (scripts/services.sh: vak_start_postgres; bench/terminals.sh
// starts a private server and runs this with five repetitions). The shop is shopgen's
// (VAK_BENCH_TERMINALS_SIZE: demo, the default, or large) in a database of its own,
// dropped at the end (kept with VAK_BENCH_TERMINALS_KEEP set); VAK_BENCH_TERMINALS_COUNT redemptions per terminal (default 20).

#include "bench/terminal/TerminalRun.h"
#include "loyaltysql/BalanceSql.h"
#include "platform/Error.h"
#include "platform/db/Connection.h"
#include "platform/db/Query.h"
#include "tools/shopgen/ShopCommand.h"
#include "tools/shopgen/TerminalCommand.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <unistd.h>

namespace {

using terminalrun::Run;

const QString kCliente = QStringLiteral("000001");
const QString kCampanha = QStringLiteral("FID2026");
bool g_falhou = false;

void falha(const QString& texto)
{
    std::fprintf(stderr, "FAILED: %s\n", qPrintable(texto));
    g_falhou = true;
}

// The shop in a PostgreSQL database of its own, the gift the terminals redeem and one
// terminal folder per register.
class Loja {
public:
    Loja()
    {
        const QString servidor = qEnvironmentVariable("VAK_PG_CONNSTR");
        nome_ = QStringLiteral("vak_terminais_%1").arg(QCoreApplication::applicationPid());
        conexao_ = servidor;
        conexao_.replace(QRegularExpression(QStringLiteral("Database=[^;]*")), QStringLiteral("Database=") + nome_);
        manutencao(servidor, QStringLiteral("CREATE DATABASE ") + nome_);
        const QString tamanho = qEnvironmentVariable("VAK_BENCH_TERMINALS_SIZE", QStringLiteral("demo"));
        if (shopgen::runShopCommand({QStringLiteral("--db"), conexao_, QStringLiteral("--size"), tamanho}) != 0)
            throw platform::Error(QStringLiteral("shopgen could not write the shop"));
        db_ = std::make_unique<platform::db::Connection>(conexao_);
        db_->open();
        escolhePresente();
    }
    ~Loja()
    {
        db_.reset();
        if (!qEnvironmentVariableIsEmpty("VAK_BENCH_TERMINALS_KEEP")) {
            std::fprintf(stderr, "shop kept: %s\n", qPrintable(conexao_));
            return;
        }
        try {
            manutencao(qEnvironmentVariable("VAK_PG_CONNSTR"), QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(nome_));
        } catch (const platform::Error& e) {
            std::fprintf(stderr, "%s\n", qPrintable(e.text()));
        }
    }
    const QString& conexao() const { return conexao_; }
    const QString& presente() const { return presente_; }
    double custo() const { return custo_; }

    // Terminal folders of registers 101, 102, ..., written once and kept for the run.
    QStringList terminais(int quantos)
    {
        while (pastas_.size() < quantos) {
            shopgen::TerminalOptions o;
            o.dir = raiz_.filePath(QStringLiteral("caixa%1").arg(pastas_.size() + 1));
            o.db = conexao_;
            o.cashRegister = QString::number(101 + pastas_.size());
            shopgen::writeTerminal(o);
            pastas_ << o.dir;
        }
        return pastas_.mid(0, quantos);
    }

    // A consumer of the client holding `pontos` points of the campaign.
    void criaConsumidor(const QString& codigo, double pontos)
    {
        executa(QStringLiteral("INSERT INTO CONSUMIDOR (CDCLIENTE, CDCONSUMIDOR, NMCONSUMIDOR) VALUES ('%1', '%2', 'Bancada')")
                    .arg(kCliente, codigo));
        executa(QStringLiteral("INSERT INTO MOVPONTOCONS (CDCLIENTE, CDCONSUMIDOR, CDCAMPANHA, IDTPMOVCONS, VRSALDOCONS, "
                               "DTMOVCONS, CDFILIAL) VALUES ('%1', '%2', '%3', 'C', %4, CURRENT_DATE - 1, '0001')")
                    .arg(kCliente, codigo, kCampanha)
                    .arg(pontos, 0, 'f', 2));
    }

    // The gifts of the consumer in concluded sales, and their points.
    std::pair<int, double> resgatados(const QString& codigo)
    {
        QSqlQuery q(db_->database());
        q.exec(QStringLiteral("SELECT COUNT(*), COALESCE(SUM(f.VRPONTOBRINDE), 0) FROM ITFIDELIDADE f JOIN VENDA v ON "
                              "v.CDFILIAL = f.CDFILIAL AND v.CDCAIXA = f.CDCAIXA AND v.NRSEQVENDA = f.NRSEQVENDA "
                              "WHERE v.IDSITUVENDA = 'O' AND f.CDCLIENTE = '%1' AND f.CDCONSUMIDOR = '%2'")
                   .arg(kCliente, codigo));
        return q.next() ? std::pair{q.value(0).toInt(), q.value(1).toDouble()} : std::pair{-1, -1.0};
    }

    // Processor time of every process of the server so far, in milliseconds: its own, its
    // children's that have ended (the backends of terminals gone) and its live children's.
    // Negative when the server is not on this machine. After a run, first waits (up to 2 s)
    // for the backends of the terminals to end.
    double processadorServidor(bool depois)
    {
        QSqlQuery q(db_->database());
        for (int i = 0; depois && i < 200; ++i) {
            q.exec(QStringLiteral("SELECT COUNT(*) FROM pg_stat_activity WHERE datname = current_database() "
                                  "AND pid <> pg_backend_pid()"));
            if (!q.next() || q.value(0).toInt() == 0)
                break;
            QThread::msleep(10);
        }
        q.exec(QStringLiteral("SELECT pg_backend_pid()"));
        const QStringList meu = q.next() ? estado(q.value(0).toLongLong()) : QStringList();
        const QStringList mestre = meu.size() > 1 ? estado(meu[1].toLongLong()) : QStringList();
        if (mestre.size() < 15)
            return -1;
        double tiques = 0;
        for (int campo = 11; campo <= 14; ++campo)  // utime, stime, cutime, cstime
            tiques += mestre[campo].toDouble();
        QFile filhos(QStringLiteral("/proc/%1/task/%1/children").arg(meu[1]));
        if (!filhos.open(QIODevice::ReadOnly))
            return -1;
        for (const QByteArray& pid : filhos.readAll().split(' ')) {
            const QStringList filho = pid.trimmed().isEmpty() ? QStringList() : estado(pid.trimmed().toLongLong());
            if (filho.size() > 12)
                tiques += filho[11].toDouble() + filho[12].toDouble();
        }
        return tiques * 1000.0 / double(sysconf(_SC_CLK_TCK));
    }

    // The consumer's points in the campaign as the screen and the close-out compute them.
    double saldo(const QString& codigo)
    {
        platform::db::Query q(db_.get());
        q.setSql(loyaltysql::saldoConsCamp(db_->dialect()));
        q.setParam(QStringLiteral("P_CDCLIENTE"), kCliente);
        q.setParam(QStringLiteral("P_CDCONSUMIDOR"), codigo);
        q.declareParam(QStringLiteral("P_DATAHOJE"), platform::FieldType::DateTime)
            .setValue(QDateTime(QDate::currentDate(), QTime(0, 0)));
        for (q.open(); !q.eof(); q.next())
            if (q.value(QStringLiteral("CDCAMPANHA")).toString().trimmed() == kCampanha)
                return q.value(QStringLiteral("VRSALDOCONS")).toDouble();
        return 0;
    }

private:
    // The fields of /proc/PID/stat after the command's name: state, ppid, ... (utime is
    // index 11); empty when there is no such process here.
    static QStringList estado(qint64 pid)
    {
        QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
        if (pid <= 0 || !f.open(QIODevice::ReadOnly))
            return {};
        const QByteArray texto = f.readAll();
        return QString::fromLatin1(texto.mid(texto.lastIndexOf(')') + 2)).split(QLatin1Char(' '));
    }
    static void manutencao(const QString& conexao, const QString& sql)
    {
        platform::db::Connection c(conexao);
        c.open();
        QSqlQuery q(c.database());
        if (!q.exec(sql))
            throw platform::DatabaseError(q.lastError().text() + QStringLiteral(": ") + sql);
    }
    void executa(const QString& sql)
    {
        QSqlQuery q(db_->database());
        if (!q.exec(sql))
            throw platform::DatabaseError(q.lastError().text() + QStringLiteral(": ") + sql);
    }
    // The cheapest gift of the campaign given on a product itself (not on a tree node).
    void escolhePresente()
    {
        QSqlQuery q(db_->database());
        q.exec(QStringLiteral("SELECT b.CDPRODUTO, b.VRPONTOBRINDE FROM BRINDECAMPANHA b JOIN PRODUTO p ON "
                              "p.CDPRODUTO = b.CDPRODUTO WHERE b.CDCAMPANHA = '%1' AND p.IDTIPOPROD <> 'G' "
                              "ORDER BY b.VRPONTOBRINDE, b.CDPRODUTO")
                   .arg(kCampanha));
        if (!q.next())
            throw platform::Error(QStringLiteral("campaign %1 has no gift on a product").arg(kCampanha));
        presente_ = q.value(0).toString().trimmed();
        custo_ = q.value(1).toDouble();
    }

    QString nome_, conexao_, presente_;
    double custo_ = 0;
    std::unique_ptr<platform::db::Connection> db_;
    QTemporaryDir raiz_{QFileInfo::exists(QStringLiteral("/dev/shm")) ? QStringLiteral("/dev/shm/vak-terminais-XXXXXX")
                                                                : QDir::tempPath() + QStringLiteral("/vak-terminais-XXXXXX")};
    QStringList pastas_;
};

std::unique_ptr<Loja> g_loja;  // made at the first run, dropped before the application ends

Loja& loja()
{
    if (!g_loja)
        g_loja = std::make_unique<Loja>();
    return *g_loja;
}

double g_p50Sozinho = 0;
int g_rodada = 0;

void confereUmConsumidor(Loja& l, const QString& consumidor, int vezes, int terminais, const QList<Run>& runs)
{
    const double pontos = l.custo() * vezes * terminais / 2 + l.custo() / 2;
    const int cobertos = vezes * terminais / 2;
    int concluidos = 0;
    for (const Run& r : runs)
        concluidos += r.concluded();
    const auto [linhas, gastos] = l.resgatados(consumidor);
    if (concluidos != cobertos || linhas != cobertos || gastos != cobertos * l.custo())
        falha(QStringLiteral("one consumer, points for %1 gifts: %2 redemptions concluded, %3 gift rows of %4 points in "
                             "concluded sales")
                  .arg(cobertos).arg(concluidos).arg(linhas).arg(gastos));
    const double resto = l.saldo(consumidor);
    if (qAbs(resto - (pontos - cobertos * l.custo())) > 1e-6)
        falha(QStringLiteral("one consumer: %1 points left, %2 expected").arg(resto).arg(pontos - cobertos * l.custo()));
}

void BM_Terminals(benchmark::State& state)
{
    if (qEnvironmentVariableIsEmpty("VAK_PG_CONNSTR")) {
        state.SkipWithError("VAK_PG_CONNSTR not set (scripts/services.sh: vak_start_postgres)");
        return;
    }
    const int terminais = int(state.range(0));
    const bool mesmo = state.range(1) != 0;
    const int vezes = qMax(2, qEnvironmentVariableIntValue("VAK_BENCH_TERMINALS_COUNT") ?: 20);
    Loja& l = loja();
    const QStringList pastas = l.terminais(terminais);
    for (auto _ : state) {
        ++g_rodada;
        QStringList consumidores;
        for (int t = 0; t < terminais; ++t)
            consumidores << (mesmo ? QStringLiteral("R%1").arg(g_rodada) : QStringLiteral("R%1T%2").arg(g_rodada).arg(t + 1));
        consumidores.removeDuplicates();
        for (const QString& c : consumidores)
            l.criaConsumidor(c, mesmo ? l.custo() * vezes * terminais / 2 + l.custo() / 2 : l.custo() * vezes);
        terminalrun::Job job{l.conexao(), kCliente, kCampanha, l.presente(), vezes};
        QList<Run> runs;
        for (int t = 0; t < terminais; ++t)
            runs << Run{pastas[t], consumidores.value(t, consumidores.first()), {}, {}, {}};
        double servidorAntes = -1;
        const double segundos = terminalrun::runTerminals(job, runs, [&] { servidorAntes = l.processadorServidor(false); });
        const double servidor = l.processadorServidor(true) - servidorAntes;
        state.SetIterationTime(segundos);

        const terminalrun::Figures f = terminalrun::figures(runs, segundos);
        for (const QString& erro : terminalrun::problems(runs, mesmo ? 0 : vezes))
            falha(erro);
        if (mesmo)
            confereUmConsumidor(l, consumidores.first(), vezes, terminais, runs);
        if (terminais == 1 && !mesmo)
            g_p50Sozinho = f.p50;
        state.counters["p50_ms"] = f.p50;
        state.counters["p90_ms"] = f.p90;
        state.counters["p99_ms"] = f.p99;
        state.counters["first_max_ms"] = f.firstMax;
        state.counters["terminal_cpu_ms"] = f.cpuMs;
        state.counters["first_cpu_ms"] = f.firstCpuMs;
        if (servidorAntes >= 0 && f.attempts > 0)
            state.counters["server_cpu_ms"] = servidor / f.attempts;
        state.counters["max_ms"] = f.max;
        state.counters["redemptions_per_s"] = f.perSecond;
        state.counters["concluded"] = f.concluded;
        state.counters["refused"] = f.attempts - f.concluded;
        state.counters["lock_wait_ms"] = f.lockWaitMs;
        state.counters["lock_wait_max_ms"] = f.lockWaitMaxMs;
        state.counters["lock_waited"] = f.lockWaited;
        if (g_p50Sozinho > 0)
            state.counters["p50_ratio"] = f.p50 / g_p50Sozinho;
    }
}
BENCHMARK(BM_Terminals)
    ->ArgNames({"terminals", "same"})
    ->Args({1, 0})
    ->Args({16, 0})
    ->Args({16, 1})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    try {
        benchmark::RunSpecifiedBenchmarks();
    } catch (const platform::Error& e) {
        falha(e.text());
    }
    g_loja.reset();
    benchmark::Shutdown();
    return g_falhou ? 1 : 0;
}
