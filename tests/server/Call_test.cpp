// `pdvhost call` end to end: the demo shop generated on SQLite, the module loaded by the
// host program, each function's result on stdout and the exit codes.

#include "support/SqliteFile.h"
#include "tools/shopgen/Generator.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct CallResult {
    int code = -1;
    QString out, err;
};

class PdvhostCall : public ::testing::Test {
protected:
    void SetUp() override
    {
        exe_ = qEnvironmentVariable("VAK_BIN_DIR") + QStringLiteral("/pdvhost");
        if (!QFile::exists(exe_) || !QFile::exists(qEnvironmentVariable("VAK_BIN_DIR") + QStringLiteral("/libVak04100.so")))
            GTEST_SKIP() << "pdvhost or the module is not built";
        const QString file = dir_.filePath(QStringLiteral("loja.db"));
        const auto sink = shopgen::sqliteSink(file);
        shopgen::createTables(*sink, QStringLiteral("sqlite"), false);
        shopgen::generateShop(*sink, shopgen::ShopOptions{});
        shopgen::createIndexes(*sink, QStringLiteral("sqlite"));
        sink->finish();
        db_ = QStringLiteral("Provider=SQLite;Data Source=") + file;
    }
    CallResult call(const QStringList& args, const QString& db = {})
    {
        QProcess p;
        // Without it, setting up a display warns on stderr: what runs before that stays quiet.
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        p.setProcessEnvironment(env);
        p.start(exe_, QStringList{QStringLiteral("call"), QStringLiteral("--db"), db.isEmpty() ? db_ : db} + args);
        CallResult r;
        if (!p.waitForFinished(60000))
            return r;
        r.code = p.exitCode();
        r.out = QString::fromUtf8(p.readAllStandardOutput()).trimmed();
        r.err = QString::fromUtf8(p.readAllStandardError());
        return r;
    }
    QTemporaryDir dir_;
    QString exe_, db_;
};

}  // namespace

TEST_F(PdvhostCall, PacketsComeOutAsJson)
{
    const CallResult r = call({"GetSaldoConsCamp", "000001", "00000000001"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QJsonObject json = QJsonDocument::fromJson(r.out.toUtf8()).object();
    const QJsonArray fields = json.value("fields").toArray();
    ASSERT_EQ(fields.size(), 8);
    EXPECT_EQ(fields.at(0).toObject().value("name").toString(), QStringLiteral("CDCAMPANHA"));
    EXPECT_EQ(fields.at(0).toObject().value("size").toInt(), 10);
    const QJsonArray rows = json.value("rows").toArray();
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(rows.at(1).toArray().at(0).toString(), QStringLiteral("FID2026"));
    EXPECT_DOUBLE_EQ(rows.at(1).toArray().at(4).toDouble(), 120.0);

    const CallResult consumers = call({"GetConsumidor"});
    EXPECT_EQ(QJsonDocument::fromJson(consumers.out.toUtf8()).object().value("rows").toArray().size(), 39);
}

TEST_F(PdvhostCall, NumbersAndMarkersComeOutAsText)
{
    EXPECT_EQ(call({"GetSenhaCupom", "0001", "2026-12-06"}).out, QStringLiteral("1"));
    EXPECT_EQ(call({"GetSenhaCupom", "0001", "2026-12-06T10:00:00"}).out, QStringLiteral("2"));
    const CallResult marker = call({"SetGravaCupomInicial", "0001", "001", "123", "2026-12-06"});
    EXPECT_EQ(marker.code, 0) << marker.err.toStdString();
    EXPECT_TRUE(marker.out.isEmpty());
    EXPECT_EQ(call({"setNumeroNFCe", "0001", "001", "1", "2", "true"}).out, QStringLiteral("1"));
    EXPECT_EQ(call({"getnumeronfce", "0001", "1", "2"}).out, QStringLiteral("2"));
}

TEST_F(PdvhostCall, ErrorTextsExitWithOne)
{
    // A database file that does not exist is not created: the call names it.
    const QString missing = QStringLiteral("Provider=SQLite;Data Source=") + dir_.filePath(QStringLiteral("nao.db"));
    EXPECT_EQ(call({"GetBrinde", "FID2026", "0001"}, missing).code, 1);
    EXPECT_FALSE(QFile::exists(dir_.filePath(QStringLiteral("nao.db"))));
    const QString empty = QStringLiteral("Provider=SQLite;Data Source=") + sqliteFile(dir_.path(), QStringLiteral("vazio.db"));
    const CallResult r = call({"GetBrinde", "FID2026", "0001"}, empty);
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.out.contains(QLatin1String("BRINDECAMPANHA"), Qt::CaseInsensitive)) << r.out.toStdString();
    EXPECT_EQ(call({"GetSenhaCupom", "0001", "2026-12-06"}, empty).code, 1);
    EXPECT_EQ(call({"GetConsumidor"}, QStringLiteral("Provider=Nenhum")).code, 1);
}

// Bad usage is answered from the command line alone, before the module or a display is
// set up, so standard error holds the answer only; a value of the wrong kind is found as
// the function is called.
TEST_F(PdvhostCall, BadArgumentsExitWithTwo)
{
    const struct {
        QStringList args;
        QString err;
        bool alone;  // nothing else on standard error
    } cases[] = {
        {{}, "pdvhost call: no function named\n\nusage: pdvhost call", true},
        {{"GetTudo"}, "pdvhost call: unknown function 'GetTudo'\n\nusage: pdvhost call", true},
        {{"--bogus", "GetConsumidor"}, "pdvhost call: Unknown option 'bogus'.\n\nusage:", true},
        {{"GetBrinde", "FID2026"}, "pdvhost call: GetBrinde takes 2 argument(s): CAMPAIGN BRANCH\n", true},
        {{"GetSenhaCupom", "0001", "ontem"}, "pdvhost call: 'ontem' is not a date (YYYY-MM-DD)\n", false},
        {{"setNumeroNFCe", "0001", "001", "1", "2", "talvez"}, "pdvhost call: 'talvez' is not a flag (true or false)\n", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(QLatin1Char(' ')).toStdString());
        const CallResult r = call(c.args);
        EXPECT_EQ(r.code, 2);
        EXPECT_TRUE(c.alone ? r.err.startsWith(c.err) : r.err.contains(c.err)) << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty()) << r.out.toStdString();
    }
}
