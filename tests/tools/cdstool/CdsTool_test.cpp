// cdstool run as a process: output forms, conversions, editing in place, exit codes.

#include "platform/packet/PacketBytes.h"
#include "platform/dataset/DataPacket.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <vector>
#include <sys/stat.h>
#include <unistd.h>

using namespace platform;
using packettest::Bytes;
using packettest::fieldDef;

namespace {

struct Result {
    int exitCode = -1;
    QString out;
    QString err;
};

QString toolPath()
{
    if (!qEnvironmentVariableIsEmpty("VAK_BIN_DIR"))
        return qEnvironmentVariable("VAK_BIN_DIR") + QStringLiteral("/cdstool");
#ifdef CDSTOOL_PATH
    return QStringLiteral(CDSTOOL_PATH);
#else
    return {};
#endif
}

Result cdstool(const QStringList& args)
{
    QProcess p;
    p.start(toolPath(), args);
    if (!p.waitForFinished(30000))
        return {};
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2, QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

DataPacket parameters()
{
    DataPacket p;
    p.fields = {fieldDef("DSDIRCAD", FieldType::String, 60),
                fieldDef("CDFILIAL", FieldType::Integer),
                fieldDef("VRLIMITE", FieldType::Float),
                fieldDef("SISTEMAQVNSAT", FieldType::Boolean),
                fieldDef("DTMOV", FieldType::DateTime),
                fieldDef("DTINI", FieldType::Date),
                fieldDef("HRINI", FieldType::Time),
                fieldDef("OBS", FieldType::Memo),
                fieldDef("LOGO", FieldType::Blob)};
    p.rows = {{QStringLiteral("C:\\Quorvan\\Dados\\"), 12, 1234.5, false,
               QDateTime(QDate(2026, 12, 7), QTime(10, 0, 0, 123)), QDate(2026, 1, 31), QTime(8, 15, 30, 5),
               QStringLiteral("linha 1\r\nlinha 2, \"ok\""), QByteArray("\x89PNG", 4)},
              {QStringLiteral("São Paulo"), QVariant(), QVariant(), true, QVariant(), QVariant(), QVariant(),
               QVariant(), QVariant()}};
    return p;
}

class CdsTool : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(QFile::exists(toolPath())) << "cdstool not found at '" << toolPath().toStdString() << "'";
        binary = dir.filePath(QStringLiteral("PARAMETROSQVN.CDS"));
        xml = dir.filePath(QStringLiteral("parametros.xml"));
        writePacketFile(parameters(), binary);
        writePacketFile(parameters(), xml, PacketFormat::Xml);
    }
    QByteArray bytesOf(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void write(const QString& path, const QByteArray& bytes)
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    QTemporaryDir dir;
    QString binary, xml;
};

}  // namespace

TEST_F(CdsTool, JsonOfTheBinaryAndTheXmlFileIsIdentical)
{
    const Result fromBinary = cdstool({"dump", binary, "--json"});
    const Result fromXml = cdstool({"dump", xml, "--json"});
    ASSERT_EQ(fromBinary.exitCode, 0) << fromBinary.err.toStdString();
    ASSERT_EQ(fromXml.exitCode, 0) << fromXml.err.toStdString();
    EXPECT_EQ(fromBinary.out, fromXml.out);
    EXPECT_EQ(fromBinary.out.count(QLatin1Char('\n')), 1);  // exactly one object on one line
    EXPECT_TRUE(fromBinary.out.startsWith(
        R"({"fields":[{"name":"DSDIRCAD","type":"string","size":60},{"name":"CDFILIAL","type":"i4","size":0},)"));

    const QJsonObject json = QJsonDocument::fromJson(fromBinary.out.toUtf8()).object();
    const QJsonArray row = json["rows"].toArray()[0].toArray();
    EXPECT_EQ(row[0].toString(), "C:\\Quorvan\\Dados\\");
    EXPECT_EQ(row[1].toInt(), 12);
    EXPECT_EQ(row[2].toDouble(), 1234.5);
    EXPECT_EQ(row[3], QJsonValue(false));
    EXPECT_EQ(row[4].toString(), "2026-12-07T10:00:00.123");
    EXPECT_EQ(row[5].toString(), "2026-01-31");
    EXPECT_EQ(row[6].toString(), "08:15:30.005");
    EXPECT_EQ(row[7].toString(), "linha 1\r\nlinha 2, \"ok\"");
    EXPECT_EQ(row[8].toString(), "iVBORw==");
    const QJsonArray second = json["rows"].toArray()[1].toArray();
    EXPECT_EQ(second[0].toString(), QStringLiteral("São Paulo"));
    EXPECT_TRUE(second[1].isNull());
}

TEST_F(CdsTool, TableAndCsvShowTheRows)
{
    const Result table = cdstool({"dump", binary});
    ASSERT_EQ(table.exitCode, 0);
    const QStringList lines = table.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 5);
    EXPECT_TRUE(lines[0].startsWith("DSDIRCAD          | CDFILIAL | VRLIMITE |")) << lines[0].toStdString();
    EXPECT_TRUE(lines[3].startsWith(QStringLiteral("São Paulo         | (null)   |"))) << lines[3].toStdString();
    EXPECT_TRUE(lines[2].contains("linha 1\\r\\nlinha 2"));
    EXPECT_EQ(lines[4], "(2 rows)");

    const Result csv = cdstool({"dump", binary, "--csv"});
    ASSERT_EQ(csv.exitCode, 0);
    EXPECT_TRUE(csv.out.startsWith("DSDIRCAD,CDFILIAL,VRLIMITE,SISTEMAQVNSAT,DTMOV,DTINI,HRINI,OBS,LOGO\r\n"
                                   "C:\\Quorvan\\Dados\\,12,1234.5,false,2026-12-07T10:00:00.123,2026-01-31,"
                                   "08:15:30.005,\"linha 1\r\nlinha 2, \"\"ok\"\"\",iVBORw==\r\n"));

    const Result asXml = cdstool({"dump", binary, "--xml"});
    EXPECT_TRUE(asXml.out.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>  <DATAPACKET"));
}

TEST_F(CdsTool, ConvertRoundTripsAreLossless)
{
    const QString toXml = dir.filePath("a.xml"), toUtf8 = dir.filePath("b.xml"), back = dir.filePath("c.cds"),
                  back2 = dir.filePath("d.cds");
    EXPECT_EQ(cdstool({"convert", binary, toXml}).exitCode, 0);  // format from the extension
    EXPECT_TRUE(bytesOf(toXml).startsWith("<?xml version=\"1.0\" standalone=\"yes\"?>"));
    EXPECT_EQ(cdstool({"convert", toXml, back, "--binary"}).exitCode, 0);
    EXPECT_EQ(bytesOf(back), bytesOf(binary));
    EXPECT_EQ(cdstool({"convert", binary, toUtf8, "--xml-utf8"}).exitCode, 0);
    EXPECT_TRUE(bytesOf(toUtf8).contains("encoding=\"UTF-8\""));
    EXPECT_EQ(cdstool({"convert", toUtf8, back2}).exitCode, 0);
    EXPECT_EQ(bytesOf(back2), bytesOf(binary));
    EXPECT_EQ(bytesOf(toXml), bytesOf(xml));
}

TEST_F(CdsTool, CreateBuildsTheFileThatDumpDescribes)
{
    const Result dumped = cdstool({"dump", binary, "--json"});
    const QString json = dir.filePath("p.json"), created = dir.filePath("created.cds"),
                  createdXml = dir.filePath("created.xml");
    write(json, dumped.out.toUtf8());
    const Result made = cdstool({"create", created, json});
    ASSERT_EQ(made.exitCode, 0) << made.err.toStdString();
    EXPECT_EQ(bytesOf(created), bytesOf(binary));
    ASSERT_EQ(cdstool({"create", createdXml, json, "--xml"}).exitCode, 0);
    EXPECT_EQ(bytesOf(createdXml), bytesOf(xml));

    write(json, R"({"fields":[{"name":"A","type":"i4","size":0}],"rows":[["x"]]})");
    const Result bad = cdstool({"create", created, json});
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_TRUE(bad.err.contains(json + ": row 1, field 'A': 'x' is not a valid i4")) << bad.err.toStdString();
    write(json, "{\"fields\":[");
    const Result broken = cdstool({"create", created, json});
    EXPECT_EQ(broken.exitCode, 1);
    EXPECT_TRUE(broken.err.contains(json + ": invalid JSON")) << broken.err.toStdString();
}

TEST_F(CdsTool, SetChangesValuesInPlaceKeepingTheEncoding)
{
    Result r = cdstool({"set", xml, "CDFILIAL=7", "dsdircad=D:\\Loja\\", "VRLIMITE="});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(bytesOf(xml).startsWith("<?xml"));
    DataPacket p = readPacketFile(xml);
    EXPECT_EQ(p.rows[0][0].toString(), "D:\\Loja\\");
    EXPECT_EQ(p.rows[0][1].toInt(), 7);
    EXPECT_FALSE(p.rows[0][2].isValid());
    EXPECT_EQ(p.rows[1][1], QVariant());  // other rows untouched

    r = cdstool({"set", binary, "SISTEMAQVNSAT=false", "DTINI=2027-03-01", "--row", "2"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    p = readPacketFile(binary);
    EXPECT_EQ(p.sourceFormat, PacketFormat::Binary);
    EXPECT_EQ(p.rows[1][3].toBool(), false);
    EXPECT_EQ(p.rows[1][5].toDate(), QDate(2027, 3, 1));
    EXPECT_EQ(p.rows[0][1].toInt(), 12);
}

TEST_F(CdsTool, SetRefusesWhatTheFileCannotHold)
{
    const QByteArray before = bytesOf(binary);
    Result r = cdstool({"set", binary, "NOPE=1"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(binary + ": no field 'NOPE'")) << r.err.toStdString();
    r = cdstool({"set", binary, "CDFILIAL=doze"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("field 'CDFILIAL': 'doze' is not a valid i4")) << r.err.toStdString();
    r = cdstool({"set", binary, "DSDIRCAD=" + QString(61, QLatin1Char('x'))});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("holds at most 60 characters")) << r.err.toStdString();
    r = cdstool({"set", binary, "CDFILIAL=1", "--row", "3"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("has no row 3 (it has 2)")) << r.err.toStdString();
    EXPECT_EQ(bytesOf(binary), before);  // nothing written after a refusal
    EXPECT_EQ(cdstool({"set", binary, "CDFILIAL"}).exitCode, 2);
    EXPECT_EQ(cdstool({"set", binary, "CDFILIAL=1", "--row", "0"}).exitCode, 2);
}

TEST_F(CdsTool, AFailedRunLeavesTheTargetByteForByteAndNothingBeside)
{
    const QString junk = dir.filePath("junk.cds");
    write(junk, "not a packet");
    const struct {
        QStringList args;
        QString target;
        const char* message;
    } cases[] = {
        {{"set", binary, QStringLiteral("DSDIRCAD=Jo\u00e3o \U0001F600")}, binary,
         "field 'DSDIRCAD' in row 1: \"Jo\u00e3o \U0001F600\" would be stored as \"Jo\u00e3o ?\""},
        {{"convert", xml, binary, "--binary"}, binary, nullptr},  // equal: replaced, same bytes
        {{"convert", junk, xml}, xml, "not a data packet"},
        {{"create", xml, junk}, xml, "invalid JSON"},
    };
    for (const auto& c : cases) {
        const QByteArray before = bytesOf(c.target);
        const Result r = cdstool(c.args);
        EXPECT_EQ(r.exitCode, c.message ? 1 : 0) << c.args.join(' ').toStdString() << r.err.toStdString();
        if (c.message) {
            EXPECT_TRUE(r.err.contains(QString::fromUtf8(c.message))) << r.err.toStdString();
        }
        EXPECT_EQ(bytesOf(c.target), before) << c.args.join(' ').toStdString();
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Hidden | QDir::Files).filter(QStringLiteral(".")).size(),
                  QDir(dir.path()).entryList(QDir::Files).size()) << "a temporary file was left behind";
    }
}

TEST_F(CdsTool, AFileWithAnUnusualWidthFormIsWrittenBackReadable)
{
    // Found by fuzzing: WIDTH stored with a varying type word; set and convert used to
    // write a file that no longer read.
    const QString odd = dir.filePath("odd.cds");
    QFile::copy(QStringLiteral(VAK_TEST_SOURCE_DIR "/fuzz/corpus/binary_packet/regress_width_varying_int.cds"), odd);
    const QString json = cdstool({"dump", odd, "--json"}).out;
    ASSERT_FALSE(json.isEmpty());
    EXPECT_EQ(cdstool({"convert", odd, dir.filePath("again.cds"), "--binary"}).exitCode, 0);
    EXPECT_EQ(cdstool({"dump", dir.filePath("again.cds"), "--json"}).out, json);
    const Result r = cdstool({"set", odd, "ID=Ag=="});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(cdstool({"dump", odd, "--json"}).out, QString(json).replace("AQ==", "Ag=="));
}

TEST_F(CdsTool, ExitCodesAndMessages)
{
    const QString missing = dir.filePath("MISSING.CDS");
    Result r = cdstool({"dump", missing});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "cdstool: " + missing + ": file not found\n");

    const QString cut = dir.filePath("cut.cds");
    write(cut, bytesOf(binary).left(100));
    r = cdstool({"dump", cut, "--json"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.startsWith("cdstool: " + cut + ": truncated")) << r.err.toStdString();
    EXPECT_TRUE(r.out.isEmpty());

    const QString junk = dir.filePath("junk.cds");
    write(junk, "PK\x03\x04 not a packet");
    r = cdstool({"convert", junk, dir.filePath("out.xml")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(junk + ": not a data packet"));

    for (const QStringList& usage : QList<QStringList>{{}, {"frobnicate"}, {"dump"}, {"dump", binary, "--yaml"},
                                                        {"dump", binary, "--csv", "--json"}, {"convert", binary},
                                                        {"create", "x.cds"}, {"set", binary}}) {
        r = cdstool(usage);
        EXPECT_EQ(r.exitCode, 2) << usage.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains("usage: cdstool dump FILE")) << usage.join(' ').toStdString();
    }
    EXPECT_EQ(cdstool({"--help"}).exitCode, 0);
}

TEST_F(CdsTool, AWrittenFileHasTheModeOfAnyNewFileOrKeepsItsOwn)
{
    // A new file as the user's file-creation mask makes any other (a host running as
    // another user of the group reads it), not the owner-only mode of the temporary
    // file it was written as.
    const QString reference = dir.filePath("reference.txt");
    write(reference, "x");
    const QString converted = dir.filePath("new.xml"), created = dir.filePath("new.cds"), json = dir.filePath("p.json");
    ASSERT_EQ(cdstool({"convert", binary, converted}).exitCode, 0);
    write(json, cdstool({"dump", binary, "--json"}).out.toUtf8());
    ASSERT_EQ(cdstool({"create", created, json}).exitCode, 0);
    EXPECT_EQ(QFile::permissions(converted), QFile::permissions(reference));
    EXPECT_EQ(QFile::permissions(created), QFile::permissions(reference));

    const auto ownerAndGroupRead = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser
                                   | QFile::ReadGroup;
    ASSERT_TRUE(QFile::setPermissions(binary, ownerAndGroupRead));
    ASSERT_EQ(cdstool({"set", binary, "CDFILIAL=3"}).exitCode, 0);
    EXPECT_EQ(QFile::permissions(binary), ownerAndGroupRead);
}

TEST_F(CdsTool, ADumpThatCannotBeWrittenFails)
{
    // A full disk under a redirected dump: said so with exit code 1, not a short file.
    for (const QStringList& style : QList<QStringList>{{}, {"--csv"}, {"--xml"}, {"--json"}}) {
        QProcess p;
        p.setStandardOutputFile(QStringLiteral("/dev/full"));
        p.start(toolPath(), QStringList{"dump", binary} + style);
        ASSERT_TRUE(p.waitForFinished(30000));
        EXPECT_EQ(p.exitCode(), 1) << style.join(' ').toStdString();
        EXPECT_EQ(QString::fromUtf8(p.readAllStandardError()),
                  "cdstool: standard output: cannot write (No space left on device)\n");
    }
}

namespace {

// A binary file of `rows` rows of one two-character text: five bytes a row.
QByteArray shortRows(quint32 rows)
{
    Bytes bytes;
    bytes.header(1, rows).field("F0", 0x00490001).u16(0).finishMetadata();
    QByteArray out = bytes.out;
    out.reserve(out.size() + 5 * qsizetype(rows));
    for (quint32 r = 0; r < rows; ++r)
        out.append("\x00\x00\x02" "AB", 5);
    return out;
}

// The peak resident memory of one cdstool run whose output goes to /dev/null, in bytes;
// -1 when it did not end with exit code 0.
qint64 peakMemoryOf(const QStringList& args)
{
    std::vector<QByteArray> texts{QFile::encodeName(toolPath())};
    for (const QString& a : args)
        texts.push_back(QFile::encodeName(a));
    std::vector<char*> argv;
    for (QByteArray& t : texts)
        argv.push_back(t.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    rusage usage{};
    if (spawned != 0 || wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    return qint64(usage.ru_maxrss) * 1024;
}

}  // namespace

namespace {

// The owner and the mode bits of a file, or of what a link leads to.
struct Owner {
    uint uid = 0, gid = 0, mode = 0;
    bool operator==(const Owner&) const = default;
};
Owner ownerOf(const QString& path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    return {uint(st.st_uid), uint(st.st_gid), uint(st.st_mode & 07777)};
}

bool isLink(const QString& path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISLNK(st.st_mode);
}

}  // namespace

TEST_F(CdsTool, DumpNeedsMemoryForTheFileNotForItsText)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer keeps freed memory aside: peak memory says nothing here";
#endif
    // What a dump adds over dumping a one-row file, against the file's size. Reading the
    // file and holding its rows take about three times its size; the table and JSON
    // forms used to hold a variant per cell on top (about thirty times), the XML form
    // its whole text (over six).
    const QString small = dir.filePath("one.cds"), large = dir.filePath("many.cds");
    write(small, shortRows(1));
    const QByteArray bytes = shortRows(400000);
    write(large, bytes);
    for (const QStringList& style : QList<QStringList>{{}, {"--csv"}, {"--xml"}, {"--json"}}) {
        const qint64 base = peakMemoryOf(QStringList{"dump", small} + style);
        const qint64 peak = peakMemoryOf(QStringList{"dump", large} + style);
        ASSERT_GT(base, 0) << style.join(' ').toStdString();
        ASSERT_GT(peak, 0) << style.join(' ').toStdString();
        EXPECT_LT(double(peak - base) / double(bytes.size()), 6.0)
            << style.join(' ').toStdString() << ": " << (peak - base) / 1024 << " KiB more for a file of "
            << bytes.size() / 1024 << " KiB";
    }
}

// A file edited or written through a symbolic link: the link stays a link, the file it
// leads to is replaced and keeps its owner, group and mode (the host that reads the file
// must still be able to). Directly and through two links, for set and convert.
TEST_F(CdsTool, WritingThroughALinkReplacesItsFileKeepingOwnerAndMode)
{
    const bool root = ::geteuid() == 0;
    const Owner kept{root ? 4321u : uint(::geteuid()), root ? 4321u : uint(::getegid()), 0640};
    const struct {
        const char* what;
        QStringList args;  // %L: the name written, %X: the XML file
        int links;
    } cases[] = {
        {"set, the file itself", {"set", "%L", "CDFILIAL=7"}, 0},
        {"set through a link", {"set", "%L", "CDFILIAL=7"}, 1},
        {"set through two links", {"set", "%L", "CDFILIAL=7"}, 2},
        {"convert onto a link", {"convert", "%X", "%L", "--binary"}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const QString real = dir.filePath(QStringLiteral("real.cds"));
        QFile::remove(real);
        writePacketFile(parameters(), real);
        if (root) {
            ASSERT_EQ(::chown(QFile::encodeName(real).constData(), kept.uid, kept.gid), 0);
        }
        ASSERT_EQ(::chmod(QFile::encodeName(real).constData(), kept.mode), 0);
        QString name = real;
        for (int i = 0; i < c.links; ++i) {
            const QString link = dir.filePath(QStringLiteral("link%1.cds").arg(i));
            QFile::remove(link);
            ASSERT_TRUE(QFile::link(name, link));
            name = link;
        }
        QStringList args = c.args;
        args.replaceInStrings(QStringLiteral("%L"), name).replaceInStrings(QStringLiteral("%X"), xml);
        const Result r = cdstool(args);
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_EQ(isLink(name), c.links > 0);
        const DataPacket p = readPacketFile(real);
        EXPECT_EQ(p.sourceFormat, PacketFormat::Binary);
        EXPECT_EQ(p.rows[0][1].toInt(), args[0] == QLatin1String("set") ? 7 : 12);
        const Owner after = ownerOf(real);
        EXPECT_EQ(after.uid, kept.uid);
        EXPECT_EQ(after.gid, kept.gid);
        EXPECT_EQ(after.mode, kept.mode) << std::oct << after.mode;
    }
}

// What cannot be written through: a link to nothing, a link loop, a FIFO. Nothing is
// created or left beside, and the FIFO is not opened.
TEST_F(CdsTool, WhatCannotBeReplacedIsRefusedAndLeftAsItWas)
{
    const QString dangling = dir.filePath(QStringLiteral("dangling.cds")), loop = dir.filePath(QStringLiteral("loop.cds")),
                  fifo = dir.filePath(QStringLiteral("fifo.cds"));
    ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("gone.cds")), dangling));
    ASSERT_TRUE(QFile::link(loop + QStringLiteral(".2"), loop));
    ASSERT_TRUE(QFile::link(loop, loop + QStringLiteral(".2")));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const struct {
        QStringList args;
        QString message;
    } cases[] = {
        {{"convert", binary, dangling}, dangling + QStringLiteral(": is a symbolic link to ")},
        {{"convert", binary, loop}, loop + QStringLiteral(": is a symbolic link loop")},
        {{"convert", binary, fifo}, fifo + QStringLiteral(": is a FIFO")},
        {{"set", fifo, "CDFILIAL=7"}, fifo + QStringLiteral(": is a FIFO")},
    };
    const QStringList before = QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(QLatin1Char(' ')).toStdString());
        const Result r = cdstool(c.args);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_TRUE(r.err.contains(c.message)) << r.err.toStdString();
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot), before);
    }
    EXPECT_TRUE(isLink(dangling));
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("gone.cds"))));
}
