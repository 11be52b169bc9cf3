// The demo shop: deterministic from seed and day, on SQLite through the SQLite C API and
// on PostgreSQL through Qt SQL, and its fixed cases as the loyalty data service sees them.

#include "host/hostkit/HostHooks.h"
#include "hostapi/hostkit.h"
#include "platform/Error.h"
#include "platform/dataset/DataPacket.h"
#include "server/Srv_Vak04100.h"
#include "support/ScratchDatabase.h"
#include "tools/shopgen/Generator.h"
#include "tools/shopgen/PgCopySink.h"
#include "tools/shopgen/Schema.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace shopgen;

namespace {

QString sqliteConn(const QString& file) { return QStringLiteral("Provider=SQLite;Data Source=") + file; }

void makeDemo(const QString& file, quint64 seed, const QDate& today, const Progress& progress = {})
{
    const auto sink = sqliteSink(file);
    sink->setProgress(progress);
    createTables(*sink, QStringLiteral("sqlite"), false);
    ShopOptions options;
    options.seed = seed;
    options.today = today;
    generateShop(*sink, options);
    createIndexes(*sink, QStringLiteral("sqlite"));
    sink->finish();
}

// Every row of every shop table, as text, in key order.
QStringList dump(const QString& connectionString)
{
    platform::db::Connection c(connectionString);
    c.open();
    QStringList out;
    for (const QString& table : tablesOf(schemaScript(schemaNameFor(c)))) {
        QSqlQuery q(c.database());
        EXPECT_TRUE(q.exec(QStringLiteral("SELECT * FROM ") + table));
        QStringList rows;
        while (q.next()) {
            QStringList values;
            for (int i = 0; i < q.record().count(); ++i)
                values << q.value(i).toString();
            rows << values.join(QLatin1Char('|'));
        }
        rows.sort();
        out << table + QLatin1Char(':') + QString::number(rows.size());
        out += rows;
    }
    return out;
}

QList<QVariantList> rowsOf(const QVariant& result)
{
    EXPECT_EQ(result.userType(), QMetaType::QByteArray) << result.toString().toStdString();
    return platform::packetFromVariant(result).rows.rows();
}

// The demo shop's fixed cases through the data service.
void checkDemoCases(const QString& connectionString)
{
    using namespace Srv_Vak04100;
    hostkit::setStringConexQvn(connectionString);
    rdmFidelidade = new TrdmFidelidade;
    rdmFidelidade->adcFidelidade->open();

    const QList<QVariantList> maria = rowsOf(GetSaldoConsCamp("000001", "00000000001"));
    ASSERT_EQ(maria.size(), 3);
    // CDCAMPANHA, CDCLIENTE, CDCONSUMIDOR, DSCAMPANHA, VRSALDOCONS, VRRESTANTE, VRPTOVOUCHER, IDUTILVOUCHER
    EXPECT_EQ(maria.at(1).at(0).toString(), QStringLiteral("FID2026"));
    EXPECT_DOUBLE_EQ(maria.at(1).at(4).toDouble(), 120.0);
    EXPECT_EQ(maria.at(2).at(0).toString(), QStringLiteral("NATAL26"));
    EXPECT_DOUBLE_EQ(maria.at(2).at(6).toDouble(), 60.0);
    EXPECT_EQ(maria.at(2).at(7).toString(), QStringLiteral("S"));

    const QList<QVariantList> joao = rowsOf(GetSaldoConsCamp("000001", "00000000002"));
    ASSERT_EQ(joao.size(), 1);
    EXPECT_DOUBLE_EQ(joao.at(0).at(4).toDouble(), -30.0);
    EXPECT_TRUE(rowsOf(GetSaldoConsCamp("000002", "00000000003")).isEmpty());

    const QList<QVariantList> consumidores = rowsOf(GetConsumidor());
    EXPECT_EQ(consumidores.size(), 39);  // 40 consumers, one of a client that is not registered
    for (const QVariantList& c : consumidores)
        EXPECT_NE(c.at(0).toString(), QStringLiteral("00000000004"));

    const QList<QVariantList> brindes = rowsOf(GetBrinde("FID2026", "0001"));
    EXPECT_EQ(brindes.size(), 10);  // 3 drinks, 5 groceries, the goiabada twice, the mug
    EXPECT_EQ(rowsOf(GetBrinde("FID2026", "0002")).size(), 9);  // no tax rows for the mug's department
    EXPECT_TRUE(rowsOf(GetBrinde("FID2026", "0003")).isEmpty());

    delete rdmFidelidade;
    rdmFidelidade = nullptr;
    hostkit::setStringConexQvn(QString());
}

}  // namespace

TEST(DemoShop, SameSeedAndDayGiveTheSameShopAnotherSeedAnother)
{
    QTemporaryDir dir;
    const QDate day(2026, 12, 7);
    makeDemo(dir.filePath("a.db"), 7, day);
    makeDemo(dir.filePath("b.db"), 7, day);
    makeDemo(dir.filePath("c.db"), 8, day);
    const QStringList a = dump(sqliteConn(dir.filePath("a.db")));
    EXPECT_GT(a.size(), 300);
    EXPECT_EQ(a, dump(sqliteConn(dir.filePath("b.db"))));
    EXPECT_NE(a, dump(sqliteConn(dir.filePath("c.db"))));
    // Dates are stored in the one text form that the statements compare against.
    static const QRegularExpression stamp(QStringLiteral(R"(\|\d{4}-\d\d-\d\d \d\d:\d\d:\d\d(\.\d{3})?(\||$))"));
    EXPECT_TRUE(a.filter(stamp).size() > 50);
    EXPECT_TRUE(a.filter(QRegularExpression(QStringLiteral(R"(\d{4}-\d\d-\d\dT)"))).isEmpty());
}

TEST(DemoShop, ProgressEndsEveryStepOnceWithTheRowsItWrote)
{
    QTemporaryDir dir;
    QMap<QString, qint64> rows;
    QMap<QString, int> endings;
    makeDemo(dir.filePath("p.db"), 1, QDate(2026, 12, 7), [&](const QString& step, qint64 done, qint64 total, bool ended) {
        EXPECT_TRUE(total == 0 || done <= total) << step.toStdString();
        if (ended) {
            ++endings[step];
            rows[step] = done;
        }
    });
    for (const QString& line : dump(sqliteConn(dir.filePath("p.db"))).filter(QRegularExpression("^[A-Z]+:\\d+$"))) {
        const QString table = line.section(QLatin1Char(':'), 0, 0);
        const qint64 count = line.section(QLatin1Char(':'), 1).toLongLong();
        if (count > 0) {
            EXPECT_EQ(rows.value(table, -1), count) << table.toStdString();
        }
    }
    EXPECT_TRUE(endings.contains(QStringLiteral("indexes")) && endings.contains(QStringLiteral("statistics")));
    for (auto it = endings.cbegin(); it != endings.cend(); ++it)
        EXPECT_EQ(it.value(), 1) << it.key().toStdString();
}

TEST(DemoShop, FixedCasesOnSQLite)
{
    QTemporaryDir dir;
    makeDemo(dir.filePath("demo.db"), 1, QDate::currentDate());
    checkDemoCases(sqliteConn(dir.filePath("demo.db")));
}

// The demo shop on PostgreSQL through both sinks: INSERTs over Qt SQL, and libpq's COPY
// (what the tool uses there).
TEST(DemoShop, FixedCasesOnPostgreSQLThroughEitherSink)
{
    if (!testsupport::dbKindConfigured(testsupport::DbKind::PostgreSQL))
        GTEST_SKIP() << "PostgreSQL is not configured here";
    for (const bool copy : {false, true}) {
        SCOPED_TRACE(copy ? "COPY" : "Qt SQL");
        const auto scratch = testsupport::ScratchDatabase::create(testsupport::DbKind::PostgreSQL, QStringLiteral("shopgen"));
        const QString cs = scratch->connectionString();
        {
            platform::db::Connection c(cs);
            c.open();
            const auto made = copy ? pgCopySink(platform::db::parseConnectionString(cs)) : qtSqlSink(c);
            Sink& sink = *made;
            createTables(sink, QStringLiteral("postgresql"), false);
            generateShop(sink, ShopOptions{});
            createIndexes(sink, QStringLiteral("postgresql"));
            sink.finish();
            // Without --replace a second run refuses to touch the tables.
            EXPECT_THROW(createTables(sink, QStringLiteral("postgresql"), false), platform::Error);
        }
        checkDemoCases(cs);
    }
}

TEST(ShopgenTool, ReplacesOnlyWhenAskedAndRejectsBadArguments)
{
    const QString exe = qEnvironmentVariable("VAK_BIN_DIR") + QStringLiteral("/shopgen");
    if (!QFile::exists(exe))
        GTEST_SKIP() << "shopgen is not built";
    QTemporaryDir dir;
    const QString db = QStringLiteral("--db=") + sqliteConn(dir.filePath("t.db"));
    auto run = [&](const QStringList& args) {
        QProcess p;
        p.start(exe, args);
        p.waitForFinished(60000);
        return p.exitCode();
    };
    EXPECT_EQ(run({db, "--seed", "3"}), 0);
    EXPECT_EQ(run({db, "--seed", "3"}), 1);  // shop tables exist
    EXPECT_EQ(run({"shop", db, "--seed", "3", "--replace"}), 0);
    EXPECT_EQ(run({db, "--size", "huge"}), 2);
    EXPECT_EQ(run({db, "--seed", "x"}), 2);
    EXPECT_EQ(run({"--size", "demo"}), 2);
    EXPECT_EQ(run({"--db", "Provider=Nenhum"}), 1);
}

TEST(ShopgenTool, OnlyShopgenCreatesAShopAndATerminalIsWholeOrAbsent)
{
    const QString exe = qEnvironmentVariable("VAK_BIN_DIR") + QStringLiteral("/shopgen");
    if (!QFile::exists(exe))
        GTEST_SKIP() << "shopgen is not built";
    QTemporaryDir dir;
    struct Run {
        int code;
        QString err;
    };
    auto run = [&](const QStringList& args) {
        QProcess p;
        p.start(exe, args);
        p.waitForFinished(60000);
        return Run{p.exitCode(), QString::fromLocal8Bit(p.readAllStandardError())};
    };
    const QString term = dir.filePath(QStringLiteral("term"));
    const QString missing = dir.filePath(QStringLiteral("nao.db"));
    const QString empty = dir.filePath(QStringLiteral("vazio.db"));
    QFile(empty).open(QIODevice::WriteOnly);
    const struct {
        QStringList args;
        int code;
        const char* message;
    } failures[] = {
        {{"terminal", term, "--db", sqliteConn(missing)}, 1, "nao.db does not exist"},
        {{"terminal", term, "--db", sqliteConn(empty)}, 1, "table ALIQIMPFIS of the shop cannot be read: no such table"},
        {{"terminal", term, "--profile", "balcao"}, 1, "unknown profile 'balcao'"},
        {{"terminal", term, "--register", "0001"}, 1, "register code '0001' has more than 3 characters"},
        {{"terminal"}, 2, "DIR is required"},
        {{"terminal", term, "--bogus"}, 2, "Unknown option 'bogus'"},
    };
    for (const auto& f : failures) {
        const Run r = run(f.args);
        EXPECT_EQ(r.code, f.code) << f.args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains(QLatin1String(f.message))) << r.err.toStdString();
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                  (QStringList{"vazio.db"}))
            << "left behind after " << f.args.join(' ').toStdString();
    }
    // shopgen creates the shop, and says so; the terminal then reads it.
    const QString shop = term + QStringLiteral("/Dados/loja.db");
    QDir().mkpath(QFileInfo(shop).absolutePath());
    const Run created = run({"--db", sqliteConn(shop)});
    EXPECT_EQ(created.code, 0) << created.err.toStdString();
    EXPECT_TRUE(created.err.contains(QStringLiteral("creating the SQLite database ") + shop)) << created.err.toStdString();
    const Run written = run({"terminal", term, "--db", sqliteConn(shop)});
    EXPECT_EQ(written.code, 0) << written.err.toStdString();
    EXPECT_TRUE(QFile::exists(term + QStringLiteral("/PARAMETROSQVN.CDS")));
    EXPECT_TRUE(QFile::exists(shop));  // files replaced one by one: the shop beside them stays
    for (const char* option : {"--help", "--version"}) {
        EXPECT_EQ(run({option}).code, 0) << option;
        EXPECT_EQ(run({"terminal", option}).code, 0) << option;
    }
}
