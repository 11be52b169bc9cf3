// The connection string, session set-up, barcode, picture button.

#include "hostapi/hostkit.h"
#include "host/hostkit/HostkitInternal.h"
#include "platform/system/ProgramDirectory.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace hostkit;

namespace {

struct HostDirGuard {
    ~HostDirGuard()
    {
        platform::setProgramDirectory({});
        setStringConexQvn({});
    }
};

}  // namespace

TEST(ConnectionStringForTheHost, SetThenStoredThenTheDemoShop)
{
    HostDirGuard guard;
    QTemporaryDir dir;
    platform::setProgramDirectory(dir.path());
    EXPECT_EQ(GetStringConexQvn(), QStringLiteral("Provider=SQLite;Data Source=%1/Dados/loja.db").arg(dir.path()));

    const QString stored = QStringLiteral("Provider=PostgreSQL;Host=10.0.0.5;Database=loja;User ID=pdv;Password=s3gr3d0");
    saveStringConexQvn(dir.path(), stored);
    QFile file(dir.filePath(QStringLiteral("Dados/StringConexao.txt")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_FALSE(file.readAll().contains("s3gr3d0"));  // the password is not stored readable
    EXPECT_EQ(GetStringConexQvn(QString()), stored);

    setStringConexQvn(QStringLiteral("Provider=SQLite;Data Source=/tmp/x.db"));
    EXPECT_EQ(GetStringConexQvn(), QStringLiteral("Provider=SQLite;Data Source=/tmp/x.db"));
    setStringConexQvn({});

    file.close();
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not an encoding\n");
    file.close();
    EXPECT_THROW(GetStringConexQvn(), platform::HostError);
}

// The wait for another writer's lock is the connection's own, bounded one: a session
// busy_timeout would replace its handler and stack a second wait (PRAGMA reads 0 while a
// handler of the connection's is installed).
TEST(SessionSetUp, SQLiteEnforcesForeignKeysAndLeavesTheLockWaitToTheConnection)
{
    platform::db::Connection conn(QStringLiteral("Provider=SQLite;Data Source=:memory:"));
    conn.setAfterConnect([](platform::db::Connection& c) { SetADODBSession(&c); });
    conn.open();
    platform::db::Query q(&conn);
    q.setSql(QStringLiteral("PRAGMA foreign_keys"));
    q.open();
    EXPECT_EQ(q.value(0).toInt(), 1);
    q.setSql(QStringLiteral("PRAGMA busy_timeout"));
    q.open();
    EXPECT_EQ(q.value(0).toInt(), 0);
    EXPECT_THROW(SetADODBSession(nullptr), platform::HostError);
}

TEST(SessionSetUp, SQLiteThroughOdbcGetsTheSameSession)
{
    const QString prefix = qEnvironmentVariable("VAK_ODBC_SQLITE_PREFIX");
    if (prefix.isEmpty())
        GTEST_SKIP() << "ODBC not configured";
    QTemporaryDir dir;
    platform::db::Connection conn(prefix + dir.filePath(QStringLiteral("odbc.db")));
    conn.setAfterConnect([](platform::db::Connection& c) { SetADODBSession(&c); });
    conn.open();
    EXPECT_EQ(conn.backend(), platform::db::Backend::SQLite);
    platform::db::Query q(&conn);
    q.setSql(QStringLiteral("PRAGMA foreign_keys"));
    q.open();
    EXPECT_EQ(q.value(0).toInt(), 1);
}

TEST(SessionSetUp, PostgreSQLSessionSettings)
{
    const QString cs = qEnvironmentVariable("VAK_PG_CONNSTR");
    if (cs.isEmpty())
        GTEST_SKIP() << "PostgreSQL not configured";
    platform::db::Connection conn(cs);
    conn.setAfterConnect([](platform::db::Connection& c) { SetADODBSession(&c); });
    conn.open();
    platform::db::Query q(&conn);
    q.setSql(QStringLiteral("SELECT current_setting('DateStyle'), current_setting('client_encoding')"));
    q.open();
    EXPECT_EQ(q.value(0).toString(), QStringLiteral("ISO, YMD"));
    EXPECT_EQ(q.value(1).toString(), QStringLiteral("UTF8"));
}

TEST(Barcode, Code128SymbolsAndCheckDigit)
{
    // Code set C for an even number of digits: 105, 12, 34, (105 + 12 + 2*34) % 103.
    EXPECT_EQ(internal::code128Symbols(QStringLiteral("1234")), (QList<int>{105, 12, 34, 82}));
    // Code set B otherwise: (104 + 1*48 + 2*42 + 3*42 + 4*17 + 5*18 + 6*19 + 7*35) % 103 = 55.
    EXPECT_EQ(internal::code128Symbols(QStringLiteral("PJJ123C")), (QList<int>{104, 48, 42, 42, 17, 18, 19, 35, 55}));
    EXPECT_THROW(internal::code128Symbols(QString()), platform::HostError);
    EXPECT_THROW(internal::code128Symbols(QStringLiteral("chave\n")), platform::HostError);

    const QImage img = code128Image(QStringLiteral("1234"), 2, 40);
    EXPECT_EQ(img.width(), (20 + 4 * 11 + 13) * 2);  // quiet zones, 4 symbols, stop
    EXPECT_EQ(img.pixelColor(19, 5), QColor(Qt::white));
    EXPECT_EQ(img.pixelColor(20, 5), QColor(Qt::black));  // start symbol begins with a bar
}

TEST(Barcode, CriaCodBarraWritesTheImageAndIsTranscribed)
{
    HostDirGuard guard;
    QTemporaryDir dir;
    platform::setProgramDirectory(dir.path());
    QList<CallRecord> calls;
    setCallObserver([&](const CallRecord& r) { calls.append(r); });
    const QString key = QStringLiteral("35261212345678000190650010000000011000000019");
    const QString path = CriaCodBarra(key, QString());
    EXPECT_EQ(path, dir.path() + QStringLiteral("/Temp/CodBarra.png"));
    QImage img(path);
    EXPECT_FALSE(img.isNull());
    EXPECT_THROW(CriaCodBarra(QStringLiteral("ação"), QString()), platform::HostError);
    setCallObserver({});
    ASSERT_EQ(calls.size(), 2);
    EXPECT_EQ(calls[0].args, (QVariantList{key, QString()}));
    EXPECT_TRUE(calls[1].raised);
    EXPECT_FALSE(calls[1].error.isEmpty());
}

namespace {
class ExposedButton : public TBlendedBitBtn {
public:
    using TBlendedBitBtn::hitButton;
};

QColor pixelAt(QWidget& w, double fx, double fy)
{
    const QImage img = w.grab().toImage();
    return img.pixelColor(int(img.width() * fx), int(img.height() * fy));
}

bool near(const QColor& a, const QColor& b)
{
    return qAbs(a.red() - b.red()) <= 12 && qAbs(a.green() - b.green()) <= 12 && qAbs(a.blue() - b.blue()) <= 12;
}
}  // namespace

TEST(PictureButton, FaceAndTextColoursFollowTheState)
{
    ExposedButton b;
    b.resize(60, 50);
    b.setText(QStringLiteral("F4"));
    b.setHint(QStringLiteral("Pesquisar Brinde"));
    b.setFaceColor(QColor(0x80, 0x80, 0x80));
    b.setTextColor(Qt::white);
    b.setPressedFaceColor(Qt::red);
    b.setPressedTextColor(Qt::white);
    b.setDisabledFaceColor(QColor(0xCC, 0xCC, 0xCC));
    b.setDisabledTextColor(Qt::white);
    EXPECT_EQ(b.toolTip(), QStringLiteral("Pesquisar Brinde"));

    EXPECT_EQ(b.currentFaceColor(), QColor(0x80, 0x80, 0x80));
    EXPECT_TRUE(near(pixelAt(b, 0.1, 0.75), QColor(0x80, 0x80, 0x80)));
    b.setDown(true);
    EXPECT_EQ(b.currentFaceColor(), QColor(Qt::red));
    EXPECT_TRUE(near(pixelAt(b, 0.1, 0.75), QColor(Qt::red)));
    b.setDown(false);
    b.setEnabled(false);
    EXPECT_EQ(b.currentFaceColor(), QColor(0xCC, 0xCC, 0xCC));
    EXPECT_EQ(b.currentTextColor(), QColor(Qt::white));
    EXPECT_TRUE(near(pixelAt(b, 0.1, 0.75), QColor(0xCC, 0xCC, 0xCC)));
}

TEST(PictureButton, ACircleIsClickedOnlyInsideItsShape)
{
    ExposedButton b;
    b.resize(49, 46);
    b.setShape(TBlendedBitBtn::Shape::Circle);
    EXPECT_TRUE(b.hitButton(QPoint(24, 23)));
    EXPECT_FALSE(b.hitButton(QPoint(1, 1)));
    b.setShape(TBlendedBitBtn::Shape::Rectangle);
    EXPECT_TRUE(b.hitButton(QPoint(1, 1)));
    // Outside a circle nothing is painted: the parent shows through.
    b.setShape(TBlendedBitBtn::Shape::Circle);
    b.setFaceColor(Qt::black);
    const QImage img = b.grab().toImage();
    EXPECT_NE(img.pixelColor(1, 1), QColor(Qt::black));
}
