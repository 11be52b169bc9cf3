// pdvhost check on terminals written by shopgen for the demo shop: healthy terminals of
// each profile give no finding; each fault, alone and all together, gives its findings
// with their severity, and the exit status says whether a redemption is blocked.
#include "host/app/TerminalLock.h"
#include "platform/db/Query.h"
#include "platform/system/ProgramDirectory.h"
#include "host/fiscaldev/PrinterState.h"
#include "platform/dataset/DataPacket.h"
#include "platform/db/Connection.h"
#include "support/ScratchDatabase.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include "support/SpecialFiles.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <optional>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

struct Outcome {
    int status = -1;
    QJsonObject report;
    QString out;
    QString err;
};

Outcome run(const QString& program, const QStringList& args)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    // Without it, setting up a display warns on stderr: what runs before that stays quiet.
    env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    p.setProcessEnvironment(env);
    p.start(qEnvironmentVariable("VAK_BIN_DIR") + QLatin1Char('/') + program, args);
    Outcome r;
    if (!p.waitForFinished(120000)) {
        p.kill();
        ADD_FAILURE() << program.toStdString() << " did not finish";
        return r;
    }
    r.status = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    r.report = QJsonDocument::fromJson(r.out.toUtf8()).object();
    return r;
}

// A finding as the tests compare it: "severity file key".
using Expected = QStringList;

QStringList findingsOf(const QJsonObject& report)
{
    QStringList list;
    for (const QJsonValue& v : report.value(QStringLiteral("findings")).toArray()) {
        const QJsonObject f = v.toObject();
        if (f.value(QStringLiteral("severity")).toString() != QLatin1String("note"))
            list << QStringLiteral("%1 %2 %3").arg(f.value(QStringLiteral("severity")).toString(),
                                                    f.value(QStringLiteral("file")).toString(),
                                                    f.value(QStringLiteral("key")).toString()).trimmed();
    }
    list.sort();
    return list;
}

// The demo shop, generated once for the whole suite; each case copies it.
class CheckTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        shop_ = new QTemporaryDir;
        const Outcome r = run(QStringLiteral("shopgen"),
                          {QStringLiteral("--db"), QStringLiteral("Provider=SQLite;Data Source=") + shopFile(),
                           QStringLiteral("--size"), QStringLiteral("demo")});
        ASSERT_EQ(r.status, 0) << r.out.toStdString();
    }
    static void TearDownTestSuite() { delete shop_; }
    static QString shopFile() { return shop_->path() + QStringLiteral("/loja.db"); }

    // Writes a terminal of `profile` with its own copy of the shop.
    void terminal(const QString& profile)
    {
        QDir().mkpath(dir() + QStringLiteral("/Dados"));
        QFile::copy(shopFile(), dir() + QStringLiteral("/Dados/loja.db"));
        const Outcome r = run(QStringLiteral("shopgen"), {QStringLiteral("terminal"), dir(), QStringLiteral("--profile"), profile});
        ASSERT_EQ(r.status, 0) << r.out.toStdString();  // shopgen checks what it wrote
        ASSERT_TRUE(r.out.contains(QStringLiteral("nothing blocks a redemption"))) << r.out.toStdString();
    }
    Outcome check(const QStringList& extra = {})
    {
        return run(QStringLiteral("pdvhost"),
                   QStringList{QStringLiteral("check"), QStringLiteral("--terminal"), dir(), QStringLiteral("--json")} + extra);
    }
    QString dir() const { return tmp_.path() + QStringLiteral("/caixa"); }

    static QTemporaryDir* shop_;
    QTemporaryDir tmp_;
};
QTemporaryDir* CheckTest::shop_ = nullptr;

// ---- faults --------------------------------------------------------------------------

// Rewrites a terminal file through its packet, in the given encoding.
void edit(const QString& path, const std::function<void(platform::DataPacket&)>& change,
          platform::PacketFormat format = platform::PacketFormat::Binary)
{
    platform::DataPacket p = platform::readPacketFile(path);
    change(p);
    platform::writePacketFile(p, path, format);
}
int fieldIndex(const platform::DataPacket& p, const char* name)
{
    for (int i = 0; i < p.fields.size(); ++i)
        if (p.fields[i].name == QLatin1String(name))
            return i;
    return -1;
}
// Sets a field of the first row, giving it `type` when given.
std::function<void(platform::DataPacket&)> set(const char* name, const QVariant& value,
                                               std::optional<platform::FieldType> type = {})
{
    return [=](platform::DataPacket& p) {
        const int i = fieldIndex(p, name);
        if (type) {
            p.fields[i].type = *type;
            p.fields[i].size = *type == platform::FieldType::String ? 20 : 0;
        }
        p.rows[0][i] = value;
    };
}
std::function<void(platform::DataPacket&)> drop(const char* name)
{
    return [=](platform::DataPacket& p) {
        const int i = fieldIndex(p, name);
        p.fields.removeAt(i);
        for (auto& row : p.rows)
            row.removeAt(i);
    };
}

void sql(const QString& dir, const QString& statement)
{
    const QString name = QStringLiteral("check-test");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(dir + QStringLiteral("/Dados/loja.db"));
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        ASSERT_TRUE(q.exec(statement)) << q.lastError().text().toStdString();
    }
    QSqlDatabase::removeDatabase(name);
}

// Files that are no regular file, put where the terminal's files are looked for.
void fifo(const QString& path)
{
    QFile::remove(path);
    ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0) << path.toStdString();
}
void replaceByLink(const QString& path, const QString& target)
{
    QFile::remove(path);
    ASSERT_EQ(::symlink(QFile::encodeName(target).constData(), QFile::encodeName(path).constData()), 0)
        << path.toStdString();
}
struct Fault {
    const char* name;
    const char* profile;
    std::function<void(const QString& dir)> make;
    Expected expected;
    QStringList extraArgs = {};
};

const QString kParams = QStringLiteral("/PARAMETROSQVN.CDS");
// Where pdvhost keeps the printer of a fiscal terminal of register 001: under its serial.
const QString kPrinterDir = QStringLiteral("/Fiscal/BE091210100011200001");
const QString kPrinterState = kPrinterDir + QStringLiteral("/printer-state.json");
// And its SAT device, under the serial made from branch 0001 and register 001.
const QString kSatDir = QStringLiteral("/SAT/900001001");

// A redemption of the terminal's own branch and register whose document never came.
void pendingSale(const QString& dir, const QString& sale)
{
    platform::setProgramDirectory(dir);
    const pdvhost::TerminalId id = pdvhost::readTerminalId();
    ASSERT_TRUE(id.known());
    platform::db::Connection db(QStringLiteral("Provider=SQLite;Data Source=") + dir + QStringLiteral("/Dados/loja.db"));
    db.open();
    platform::db::Command mark(&db);
    mark.setSql(QStringLiteral("INSERT INTO VENDAPENDENTE (CDFILIAL, CDCAIXA, NRSEQVENDA, IDTPDOCVENDA, DSTERMINAL, "
                               "DTHRINCLUSAO) VALUES (:P_F, :P_C, :P_S, 'S', 'outro', :P_D)"));
    mark.setParam(QStringLiteral("P_F"), id.branch);
    mark.setParam(QStringLiteral("P_C"), id.cashRegister);
    mark.setParam(QStringLiteral("P_S"), sale);
    mark.declareParam(QStringLiteral("P_D"), platform::FieldType::DateTime).setValue(QDateTime::currentDateTime().addSecs(-3 * 3600));
    mark.execute();
}
const QString kCad = QStringLiteral("/Dados/Cadastros/");
using platform::FieldType;

const QList<Fault>& faults()
{
    static const QList<Fault> list = {
        {"no parameter file", "fiscal", [](const QString& d) { QFile::remove(d + kParams); },
         {"error PARAMETROSQVN.CDS"}},
        {"parameter file without a row", "fiscal",
         [](const QString& d) { edit(d + kParams, [](platform::DataPacket& p) { p.rows.clear(); }); },
         {"error PARAMETROSQVN.CDS"}},
        {"a key missing", "fiscal", [](const QString& d) { edit(d + kParams, drop("IDTIPOIMPFIS")); },
         {"error PARAMETROSQVN.CDS IDTIPOIMPFIS"}},
        {"a colour that is no integer", "fiscal",
         [](const QString& d) { edit(d + kParams, set("INCOR1", QStringLiteral("azul"), FieldType::String)); },
         {"error PARAMETROSQVN.CDS INCOR1"}},
        {"a colour stored as text", "fiscal",
         [](const QString& d) { edit(d + kParams, set("INCOR2", QStringLiteral("255"), FieldType::String)); },
         {"warning PARAMETROSQVN.CDS INCOR2"}},
        {"a colour out of range", "fiscal", [](const QString& d) { edit(d + kParams, set("INCOR3", -5)); },
         {"warning PARAMETROSQVN.CDS INCOR3"}},
        {"NFC-e and SAT both set", "nfce", [](const QString& d) { edit(d + kParams, set("SISTEMAQVNSAT", true)); },
         {"warning PARAMETROSQVN.CDS SISTEMAQVNSAT"}},
        {"DSDIRCAD without separator", "fiscal",
         [](const QString& d) { edit(d + kParams, set("DSDIRCAD", d + QStringLiteral("/Dados"))); },
         {"error PARAMETROSQVN.CDS DSDIRCAD"}},
        {"no host data file (NFC-e)", "nfce", [](const QString& d) { QFile::remove(d + QStringLiteral("/Dados/QUORVAN.CDS")); },
         {"warning PARAMETROSQVN.CDS DSDIRCAD"}},
        {"register code too long", "fiscal", [](const QString& d) { edit(d + kParams, set("CDCAIXA", QStringLiteral("00012"))); },
         {"error PARAMETROSQVN.CDS CDCAIXA"}},
        {"register code outside Windows-1252", "fiscal",
         [](const QString& d) { edit(d + kParams, set("CDCAIXA", QStringLiteral("0\u03A91")), platform::PacketFormat::XmlUtf8); },
         {"error PARAMETROSQVN.CDS CDCAIXA"}},
        {"operator code outside Windows-1252", "fiscal",
         [](const QString& d) {
             edit(d + kCad + QStringLiteral("ControleAcess.cds"), set("CDOPERADOR", QStringLiteral("\u5C71\u7530")),
                  platform::PacketFormat::XmlUtf8);
         },
         {"error Dados/Cadastros/ControleAcess.cds CDOPERADOR"}},
        {"branch code empty", "fiscal", [](const QString& d) { edit(d + kParams, set("CDFILIAL", QString())); },
         {"error PARAMETROSQVN.CDS CDFILIAL"}},
        {"no business date file", "fiscal", [](const QString& d) { QFile::remove(d + kCad + QStringLiteral("DataMovimento.cds")); },
         {"error Dados/Cadastros/DataMovimento.cds"}},
        {"zero business date", "fiscal",
         [](const QString& d) { edit(d + kCad + QStringLiteral("DataMovimento.cds"), set("DATAMOVIMENTO", QDateTime(QDate(1899, 12, 30), QTime(0, 0)))); },
         {"error Dados/Cadastros/DataMovimento.cds DATAMOVIMENTO"}},
        {"no operator", "fiscal", [](const QString& d) { edit(d + kCad + QStringLiteral("ControleAcess.cds"), set("CDOPERADOR", QString())); },
         {"error Dados/Cadastros/ControleAcess.cds CDOPERADOR"}},
        {"operator code too long", "fiscal",
         [](const QString& d) { edit(d + kCad + QStringLiteral("ControleAcess.cds"), set("CDOPERADOR", QStringLiteral("1234567890123"), FieldType::String)); },
         {"error Dados/Cadastros/ControleAcess.cds CDOPERADOR"}},
        {"no receipt kind 4", "fiscal",
         [](const QString& d) {
             edit(d + kCad + QStringLiteral("ConfTipoRece.cds"), [](platform::DataPacket& p) {
                 for (auto& row : p.rows)
                     row[fieldIndex(p, "IDTIPORECE")] = QStringLiteral("1");
             });
         },
         {"error Dados/Cadastros/ConfTipoRece.cds IDTIPORECE"}},
        {"receipt types lack a field", "fiscal", [](const QString& d) { edit(d + kCad + QStringLiteral("ConfTipoRece.cds"), drop("NMTIPORECE")); },
         {"error Dados/Cadastros/ConfTipoRece.cds NMTIPORECE"}},
        {"SAT without register opening", "sat", [](const QString& d) { QFile::remove(d + kCad + QStringLiteral("AberturaCaixa.cds")); },
         {"error Dados/Cadastros/AberturaCaixa.cds"}},
        {"SAT activation code not encoded", "sat",
         [](const QString& d) { edit(d + kCad + QStringLiteral("AberturaCaixa.cds"), set("CDATIVACAOSAT", QStringLiteral("XYZ"))); },
         {"error Dados/Cadastros/AberturaCaixa.cds CDATIVACAOSAT"}},
        {"tax table lacks rates", "fiscal",
         [](const QString& d) { edit(d + kCad + QStringLiteral("AliqImpFis.cds"), [](platform::DataPacket& p) { p.rows = p.rows.mid(0, 1); }); },
         {"warning catalogue CLUBE Clube de Pontos", "warning catalogue FID2026 Fidelidade 2026",
          "warning catalogue NATAL26 Vale-brinde de Natal"}},
        {"a table missing", "fiscal", [](const QString& d) { sql(d, QStringLiteral("DROP TABLE VOUCHERVND")); },
         {"error database VOUCHERVND"}},
        {"a column missing", "fiscal", [](const QString& d) { sql(d, QStringLiteral("ALTER TABLE VENDA DROP COLUMN DTHRCANCVEN")); },
         {"error database VENDA"}},
        {"counters refuse writes", "fiscal",
         [](const QString& d) {
             sql(d, QStringLiteral("CREATE TRIGGER somente_leitura BEFORE INSERT ON NOVOCODIGO "
                                   "BEGIN SELECT RAISE(ABORT, 'somente leitura'); END"));
         },
         {"error database NOVOCODIGO"}},
        {"a receipt left open", "fiscal",
         [](const QString& d) {
             fiscaldev::sim::PrinterState s;
             s.coo = 7;
             s.open = fiscaldev::sim::OpenReceipt{7, 3, 1, 10.0, QDateTime(QDate(2026, 12, 7), QTime(9, 0))};
             QDir().mkpath(d + QStringLiteral("/Fiscal"));
             QDir().mkpath(d + kPrinterDir);
             s.save(d + kPrinterState);
         },
         {"warning printer receipt 7"}},
        {"printer state unreadable", "fiscal",
         [](const QString& d) {
             QDir().mkpath(d + QStringLiteral("/Fiscal"));
             QDir().mkpath(d + kPrinterDir);
             QFile f(d + kPrinterState);
             f.open(QIODevice::WriteOnly);
             f.write("{not json");
         },
         {"error printer Fiscal/BE091210100011200001/printer-state.json"}},
        {"parameter file is a FIFO", "fiscal", [](const QString& d) { fifo(d + kParams); },
         {"error PARAMETROSQVN.CDS"}},
        {"business date linked to a device", "fiscal",
         [](const QString& d) { replaceByLink(d + kCad + QStringLiteral("DataMovimento.cds"), QStringLiteral("/dev/zero")); },
         {"error Dados/Cadastros/DataMovimento.cds"}},
        {"tax table is a link loop", "fiscal",
         [](const QString& d) {
             const QString path = d + kCad + QStringLiteral("AliqImpFis.cds");
             replaceByLink(path, path + QStringLiteral(".loop"));
             replaceByLink(path + QStringLiteral(".loop"), path);
         },
         {"error Dados/Cadastros/AliqImpFis.cds"}},
        {"operator file is a socket", "fiscal",
         [](const QString& d) { testsupport::socketFile(d + kCad + QStringLiteral("ControleAcess.cds")); },
         {"error Dados/Cadastros/ControleAcess.cds"}},
        {"receipt types above the packet ceiling", "fiscal",
         [](const QString& d) {
             // Sparse: as large as it says, without the disk space.
             QFile f(d + kCad + QStringLiteral("ConfTipoRece.cds"));
             ASSERT_TRUE(f.open(QIODevice::ReadWrite));
             ASSERT_TRUE(f.resize(qint64(257) * 1024 * 1024));
         },
         {"error Dados/Cadastros/ConfTipoRece.cds"}},
        {"printer state is a FIFO", "fiscal",
         [](const QString& d) {
             QDir().mkpath(d + QStringLiteral("/Fiscal"));
             QDir().mkpath(d + kPrinterDir);
             fifo(d + kPrinterState);
         },
         {"error printer Fiscal/BE091210100011200001/printer-state.json"}},
        {"stored connection string is a FIFO", "fiscal",
         [](const QString& d) { fifo(d + QStringLiteral("/Dados/StringConexao.txt")); },
         {"error database Dados/StringConexao.txt"}},
        {"connection string without provider", "fiscal", [](const QString&) {},
         {"error database connection string"}, {QStringLiteral("--db"), QStringLiteral("Data Source=x.db")}},
        {"database file absent", "fiscal", [](const QString& d) { QFile::remove(d + QStringLiteral("/Dados/loja.db")); },
         {"error database connection"}},
        {"SAT memory unreadable", "sat",
         [](const QString& d) {
             QDir().mkpath(d + kSatDir);
             QFile f(d + kSatDir + QStringLiteral("/sat-memoria.json"));
             ASSERT_TRUE(f.open(QIODevice::WriteOnly));
             f.write("{ not what a device keeps");
         },
         {"error SAT SAT/900001001/sat-memoria.json"}},
        {"a redemption left pending", "sat", [](const QString& d) { pendingSale(d, QStringLiteral("42")); },
         {"error pending sale 42"}},
    };
    return list;
}

int severityStatus(const Expected& expected)
{
    for (const QString& e : expected)
        if (e.startsWith(QLatin1String("error")))
            return 1;
    return 0;
}

class CheckFaultTest : public CheckTest, public ::testing::WithParamInterface<int> {};

TEST_P(CheckFaultTest, ReportsTheFaultAloneWithItsSeverityAndStatus)
{
    const Fault& fault = faults().at(GetParam());
    terminal(QString::fromLatin1(fault.profile));
    fault.make(dir());
    const Outcome r = check(fault.extraArgs);
    Expected expected = fault.expected;
    expected.sort();
    EXPECT_EQ(findingsOf(r.report).join(QLatin1Char('\n')).toStdString(), expected.join(QLatin1Char('\n')).toStdString())
        << fault.name << "\n" << r.out.toStdString();
    EXPECT_EQ(r.status, severityStatus(expected)) << fault.name;
    for (const QJsonValue& v : r.report.value(QStringLiteral("findings")).toArray())
        if (v.toObject().value(QStringLiteral("severity")).toString() != QLatin1String("note")) {
            EXPECT_FALSE(v.toObject().value(QStringLiteral("fix")).toString().isEmpty()) << fault.name;
        }
}

INSTANTIATE_TEST_SUITE_P(Faults, CheckFaultTest, ::testing::Range(0, int(faults().size())),
                         [](const auto& info) {
                             QString name = QString::fromLatin1(faults().at(info.param).name);
                             name.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9]")), QStringLiteral("_"));
                             return name.toStdString();
                         });

TEST_F(CheckTest, HealthyTerminalOfEachProfileHasNoFinding)
{
    for (const char* profile : {"fiscal", "nfce", "sat"}) {
        terminal(QString::fromLatin1(profile));
        const Outcome r = check();
        EXPECT_EQ(r.status, 0) << profile;
        EXPECT_TRUE(findingsOf(r.report).isEmpty()) << profile << "\n" << r.out.toStdString();
        EXPECT_EQ(r.report.value(QStringLiteral("findings")).toArray().size(), 3) << "one note per active campaign";
        QDir(dir()).removeRecursively();
    }
}

// Every fault of the fiscal profile that leaves the others observable, at once: every
// finding is reported in the one run.
TEST_F(CheckTest, ReportsEveryFaultAtOnce)
{
    terminal(QStringLiteral("fiscal"));
    Expected expected;
    for (const Fault& fault : faults()) {
        const QString name = QString::fromLatin1(fault.name);
        if (QLatin1String(fault.profile) != QLatin1String("fiscal") || !fault.extraArgs.isEmpty() ||
            name.contains(QLatin1String("parameter file")) || name.contains(QLatin1String("absent")) ||
            name.contains(QLatin1String("DSDIRCAD")) || name.contains(QLatin1String("unreadable")) ||
            name.contains(QLatin1String("branch code")) || name.startsWith(QLatin1String("no operator")) ||
            name.startsWith(QLatin1String("no business")) || name.contains(QLatin1String("FIFO")) ||
            name.contains(QLatin1String("link")) || name.contains(QLatin1String("socket")) ||
            name.contains(QLatin1String("ceiling")) || name.contains(QLatin1String("Windows-1252")))
            continue;  // these hide or replace another fault's finding
        fault.make(dir());
        expected += fault.expected;
    }
    expected.sort();
    const Outcome r = check();
    EXPECT_EQ(findingsOf(r.report).join(QLatin1Char('\n')).toStdString(), expected.join(QLatin1Char('\n')).toStdString())
        << r.out.toStdString();
    EXPECT_EQ(r.status, 1);
}

TEST_F(CheckTest, TextReportGroupsByFileAndBadUsageExitsTwo)
{
    terminal(QStringLiteral("fiscal"));
    edit(dir() + kParams, set("CDCAIXA", QStringLiteral("00012")));
    QFile::remove(dir() + kCad + QStringLiteral("DataMovimento.cds"));
    const Outcome text = run(QStringLiteral("pdvhost"), {QStringLiteral("check"), QStringLiteral("--terminal"), dir()});
    EXPECT_EQ(text.status, 1);
    EXPECT_TRUE(text.out.contains(QStringLiteral("\nPARAMETROSQVN.CDS\n  ERROR   CDCAIXA: '00012' has 5 characters")))
        << text.out.toStdString();
    EXPECT_TRUE(text.out.contains(QStringLiteral("\nDados/Cadastros/DataMovimento.cds\n  ERROR   missing")));
    EXPECT_TRUE(text.out.contains(QStringLiteral("2 error(s), 0 warning(s)")));
    EXPECT_EQ(run(QStringLiteral("pdvhost"), {QStringLiteral("check")}).status, 2);
    EXPECT_EQ(run(QStringLiteral("pdvhost"), {QStringLiteral("check"), QStringLiteral("--terminal"), dir(),
                                              QStringLiteral("--bogus")}).status, 2);
}

// The command line in the style of pdvhost's other commands: bad usage names what is wrong
// and shows the usage (status 2); --help and --version answer on standard output. All are
// answered before a display is set up, so standard error holds nothing else.
TEST_F(CheckTest, CommandLineAnswersInTheCommonStyle)
{
    const QString missing = dir() + QStringLiteral("/nao-existe");
    const struct {
        QStringList args;
        int status;
        QString out, err;  // expected in standard output and standard error
    } cases[] = {
        {{}, 2, {}, QStringLiteral("pdvhost check: --terminal DIR is required\n\nusage: pdvhost check --terminal DIR")},
        {{"--terminal"}, 2, {}, QStringLiteral("pdvhost check: Missing value after '--terminal'.\n\nusage:")},
        {{"--terminal", dir(), "--bogus"}, 2, {}, QStringLiteral("pdvhost check: Unknown option 'bogus'.\n\nusage:")},
        {{"--terminal", dir(), "extra"}, 2, {}, QStringLiteral("pdvhost check: unexpected argument 'extra'\n\nusage:")},
        {{"--terminal", missing}, 2, {}, QStringLiteral("pdvhost check: %1 is not a directory\n").arg(missing)},
        {{"--help"}, 0, QStringLiteral("usage: pdvhost check --terminal DIR [--db CONNSTR] [--json]\n"), {}},
        {{"--version"}, 0, QStringLiteral("pdvhost check " VAK_VERSION "\n"), {}},
    };
    for (const auto& c : cases) {
        const Outcome r = run(QStringLiteral("pdvhost"), QStringList{QStringLiteral("check")} + c.args);
        SCOPED_TRACE(c.args.join(QLatin1Char(' ')).toStdString());
        EXPECT_EQ(r.status, c.status);
        EXPECT_TRUE(r.out.startsWith(c.out)) << r.out.toStdString();
        EXPECT_TRUE(r.err.startsWith(c.err)) << r.err.toStdString();
        EXPECT_EQ(r.err.isEmpty(), c.err.isEmpty()) << r.err.toStdString();
        EXPECT_EQ(r.out.isEmpty(), c.out.isEmpty()) << r.out.toStdString();
    }
}

// The database part on the server backends, when scripts/services.sh configured them: a
// healthy terminal, then codes too wide for the server's columns (which, unlike SQLite,
// refuses them).
class CheckBackendTest : public CheckTest, public ::testing::WithParamInterface<testsupport::DbKind> {
protected:
    // The demo shop on a scratch database of this backend (in `encoding` if given) and an
    // NFC-e terminal written on it by shopgen; null where the backend is not configured.
    std::unique_ptr<testsupport::ScratchDatabase> demoShop(const QString& encoding = {})
    {
        auto scratch = testsupport::ScratchDatabase::create(GetParam(), QStringLiteral("check"), encoding);
        if (!scratch)
            return scratch;
        const QString shop = scratch->nativeConnectionString(), cs = scratch->connectionString();
        EXPECT_EQ(run(QStringLiteral("shopgen"), {QStringLiteral("--db"), shop, QStringLiteral("--size"), QStringLiteral("demo")}).status, 0);
        const Outcome made = run(QStringLiteral("shopgen"), {QStringLiteral("terminal"), dir(), QStringLiteral("--profile"),
                                                             QStringLiteral("nfce"), QStringLiteral("--db"), cs});
        EXPECT_EQ(made.status, 0) << made.out.toStdString();
        return scratch;
    }
};

TEST_P(CheckBackendTest, HealthyThenCodesWiderThanTheColumns)
{
    const auto scratch = demoShop();
    if (!scratch)
        GTEST_SKIP() << testsupport::dbKindName(GetParam()) << " is not configured here (scripts/services.sh)";
    ASSERT_FALSE(HasFailure()) << "the demo shop or its terminal could not be made";
    edit(dir() + kParams, set("CDCAIXA", QStringLiteral("00012")));
    edit(dir() + kParams, set("CDLOJA", QStringLiteral("12345678901")));
    const Outcome r = check();
    EXPECT_EQ(findingsOf(r.report).join(QLatin1Char('|')).toStdString(),
              "error PARAMETROSQVN.CDS CDCAIXA|error PARAMETROSQVN.CDS CDLOJA") << r.out.toStdString();
    EXPECT_EQ(r.status, 1);
}

// A shop on a server database in WIN1252, the shop's code page: a healthy terminal has no
// finding (the catalogue is offered); a text of the terminal that the encoding cannot hold
// is named as an encoding problem of the database, not as a missing permission.
TEST_P(CheckBackendTest, AWindows1252DatabaseIsHealthyAndWhatItCannotHoldIsNamed)
{
    const auto scratch = demoShop(QStringLiteral("WIN1252"));
    if (!scratch)
        GTEST_SKIP() << testsupport::dbKindName(GetParam()) << " is not configured here (scripts/services.sh)";
    ASSERT_FALSE(HasFailure()) << "the demo shop or its terminal could not be made";
    Outcome r = check();
    EXPECT_EQ(findingsOf(r.report).join(QLatin1Char('|')).toStdString(), "") << r.out.toStdString();
    EXPECT_EQ(r.report.value(QStringLiteral("findings")).toArray().size(), 3) << "one note per active campaign";
    EXPECT_EQ(r.status, 0);

    edit(dir() + kParams, set("NMLOJA", QStringLiteral("Loja \u03A9mega")), platform::PacketFormat::XmlUtf8);
    r = check();
    EXPECT_EQ(findingsOf(r.report).join(QLatin1Char('|')).toStdString(), "error database encoding") << r.out.toStdString();
    for (const QJsonValue& v : r.report.value(QStringLiteral("findings")).toArray()) {
        const QJsonObject finding = v.toObject();
        if (finding.value(QStringLiteral("key")).toString() != QLatin1String("encoding"))
            continue;
        EXPECT_TRUE(finding.value(QStringLiteral("message")).toString().contains(QStringLiteral("WIN1252"))) << r.out.toStdString();
        EXPECT_FALSE(finding.value(QStringLiteral("fix")).toString().contains(QStringLiteral("grant"))) << r.out.toStdString();
    }
    EXPECT_EQ(r.status, 1);
}

INSTANTIATE_TEST_SUITE_P(Backends, CheckBackendTest,
                         ::testing::Values(testsupport::DbKind::PostgreSQL, testsupport::DbKind::OdbcPostgreSQL),
                         [](const auto& info) { return testsupport::dbKindName(info.param); });

// What the check reports as an error, the host itself refuses with a message instead of
// ending abnormally.
TEST_F(CheckTest, HostRefusesAnUnreadablePrinterState)
{
    terminal(QStringLiteral("fiscal"));
    QDir().mkpath(dir() + kPrinterDir);
    QFile state(dir() + kPrinterState);
    ASSERT_TRUE(state.open(QIODevice::WriteOnly));
    state.write("{not json");
    state.close();
    QFile script(dir() + QStringLiteral("/empty.txt"));
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.close();
    QProcess p;
    p.start(qEnvironmentVariable("VAK_BIN_DIR") + QStringLiteral("/pdvhost"),
            {QStringLiteral("--terminal"), dir(), QStringLiteral("--script"), script.fileName()});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 1);
    EXPECT_TRUE(QString::fromLocal8Bit(p.readAllStandardError()).contains(QStringLiteral("printer-state.json")));
}

}  // namespace
