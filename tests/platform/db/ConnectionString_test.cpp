#include "platform/Error.h"
#include "platform/db/ConnectionString.h"
#include "platform/db/OdbcDrivers.h"

#include <gtest/gtest.h>

using namespace platform::db;

TEST(ConnectionString, SplitsQuotedAndBracedValues)
{
    const auto pairs = splitConnectionString(
        QStringLiteral("Provider=MSDASQL; Driver={SQLite3;odd}; Database=\"/tmp/a;b.db\" ;;Pwd='x=y'"));
    ASSERT_EQ(pairs.size(), 4);
    EXPECT_EQ(pairs[1].first, QStringLiteral("Driver"));
    EXPECT_EQ(pairs[1].second, QStringLiteral("{SQLite3;odd}"));  // braces kept for ODBC
    EXPECT_EQ(pairs[2].second, QStringLiteral("/tmp/a;b.db"));
    EXPECT_EQ(pairs[3].second, QStringLiteral("x=y"));
    EXPECT_THROW(splitConnectionString(QStringLiteral("Provider=SQLite;Data Source='abc")), platform::DatabaseError);
}

TEST(ConnectionString, SQLiteAndPostgreSQL)
{
    ConnectionTarget s = parseConnectionString(QStringLiteral("provider=sqlite;data source=/var/loja.db"));
    EXPECT_EQ(s.driver, QStringLiteral("QSQLITE"));
    EXPECT_EQ(s.databaseName, QStringLiteral("/var/loja.db"));
    EXPECT_EQ(s.dialect, Dialect::Ansi);
    EXPECT_EQ(s.backend, Backend::SQLite);

    s = parseConnectionString(QStringLiteral(
        "Provider=PostgreSQL;Host=db.loja;Port=5433;Database=loja;User ID=caixa;Password=s;e=cr\"et;Search Path=loja,public"));
    EXPECT_EQ(s.driver, QStringLiteral("QPSQL"));
    EXPECT_EQ(s.host, QStringLiteral("db.loja"));
    EXPECT_EQ(s.port, 5433);
    EXPECT_EQ(s.databaseName, QStringLiteral("loja"));
    EXPECT_EQ(s.user, QStringLiteral("caixa"));
    EXPECT_EQ(s.password, QStringLiteral("s"));  // an unquoted ';' ends the value
    EXPECT_EQ(s.connectOptions, QStringLiteral("options='-csearch_path=loja,public'"));
    EXPECT_EQ(s.backend, Backend::PostgreSQL);

    EXPECT_THROW(parseConnectionString(QStringLiteral("Provider=PostgreSQL;Port=99999")), platform::DatabaseError);
    EXPECT_THROW(parseConnectionString(QStringLiteral("Provider=PostgreSQL;Search Path=x' host=evil")),
                 platform::DatabaseError);
}

TEST(ConnectionString, SqlServerProvidersGoThroughOdbc)
{
    for (const char* provider : {"SQLOLEDB.1", "MSOLEDBSQL", "SQLNCLI11", "SQLNCLI10.1"}) {
        const ConnectionTarget s = parseConnectionString(
            QStringLiteral("Provider=%1;Data Source=srv\\LOJA,1433;Initial Catalog=QVN;User ID=sa;Password=pw")
                .arg(QLatin1String(provider)));
        EXPECT_EQ(s.driver, QStringLiteral("QODBC")) << provider;
        EXPECT_EQ(s.dialect, Dialect::MsSql) << provider;
        EXPECT_FALSE(s.dialectFromServer);
        EXPECT_TRUE(s.databaseName.startsWith(QStringLiteral("Driver={"))) << qPrintable(s.databaseName);
        EXPECT_TRUE(s.databaseName.contains(QStringLiteral("Server=srv\\LOJA,1433"))) << qPrintable(s.databaseName);
        EXPECT_TRUE(s.databaseName.contains(QStringLiteral("Database=QVN")));
        EXPECT_EQ(s.user, QStringLiteral("sa"));
        EXPECT_EQ(s.password, QStringLiteral("pw"));
    }
    const ConnectionTarget s = parseConnectionString(
        QStringLiteral("Provider=SQLOLEDB;ODBC Driver=FreeTDS;Data Source=srv;Integrated Security=SSPI"));
    EXPECT_TRUE(s.databaseName.startsWith(QStringLiteral("Driver={FreeTDS};Server=srv")));
    EXPECT_TRUE(s.databaseName.contains(QStringLiteral("Trusted_Connection=yes")));
}

TEST(ConnectionString, OracleProviders)
{
    for (const char* provider : {"MSDAORA.1", "MSDAORA", "OraOLEDB.Oracle", "OraOLEDB.Oracle.1"}) {
        const ConnectionTarget s = parseConnectionString(
            QStringLiteral("Provider=%1;Data Source=QVNPROD;User ID=qvn;Password=x").arg(QLatin1String(provider)));
        EXPECT_EQ(s.driver, QStringLiteral("QODBC")) << provider;
        EXPECT_EQ(s.dialect, Dialect::Oracle) << provider;
        EXPECT_TRUE(s.databaseName.contains(QStringLiteral("DBQ=QVNPROD"))) << qPrintable(s.databaseName);
        EXPECT_EQ(s.user, QStringLiteral("qvn"));
    }
}

// Without "ODBC Driver" in the string, the driver is the installed one that serves the
// engine; none installed: the usual name, which the driver manager reports as missing.
TEST(ConnectionString, TheOdbcDriverComesFromTheStringOrTheInstalledDrivers)
{
    const struct {
        Backend backend;
        QStringList installed;
        const char* chosen;
    } cases[] = {
        {Backend::MsSql, {}, "ODBC Driver 18 for SQL Server"},
        {Backend::MsSql, {QStringLiteral("PostgreSQL Unicode"), QStringLiteral("ODBC Driver 17 for SQL Server"),
                          QStringLiteral("ODBC Driver 18 for SQL Server"), QStringLiteral("FreeTDS")},
         "ODBC Driver 18 for SQL Server"},
        {Backend::MsSql, {QStringLiteral("SQLite3"), QStringLiteral("FreeTDS")}, "FreeTDS"},
        {Backend::MsSql, {QStringLiteral("SQL Server Native Client 11.0"), QStringLiteral("FreeTDS")},
         "SQL Server Native Client 11.0"},
        {Backend::Oracle, {QStringLiteral("FreeTDS")}, "Oracle"},
        {Backend::Oracle, {QStringLiteral("SQLite3"), QStringLiteral("Oracle 21 ODBC driver")}, "Oracle 21 ODBC driver"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(chooseOdbcDriver(c.backend, c.installed), QString::fromLatin1(c.chosen)) << c.installed.join(u',').toStdString();
    // The machine's own list, as the driver manager gives it, is what a string without a
    // driver gets.
    const QString machines = chooseOdbcDriver(Backend::MsSql, installedOdbcDrivers());
    EXPECT_TRUE(parseConnectionString(QStringLiteral("Provider=SQLOLEDB;Data Source=srv"))
                    .databaseName.startsWith(QStringLiteral("Driver={%1};").arg(machines)));
}

TEST(ConnectionString, MsdasqlPassesTheOdbcPartOnAndAsksTheServer)
{
    ConnectionTarget s = parseConnectionString(
        QStringLiteral("Provider=MSDASQL.1;Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=5432;User ID=u;Password=p"));
    EXPECT_EQ(s.driver, QStringLiteral("QODBC"));
    EXPECT_TRUE(s.dialectFromServer);
    EXPECT_EQ(s.databaseName, QStringLiteral("Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=5432"));
    EXPECT_EQ(s.user, QStringLiteral("u"));
    EXPECT_EQ(s.password, QStringLiteral("p"));

    s = parseConnectionString(QStringLiteral("Provider=MSDASQL;DSN=LOJA"));
    EXPECT_EQ(s.databaseName, QStringLiteral("DSN=LOJA"));
    EXPECT_THROW(parseConnectionString(QStringLiteral("Provider=MSDASQL;Server=x")), platform::DatabaseError);
}

TEST(ConnectionString, MissingOrUnknownProviderIsAnError)
{
    EXPECT_THROW(parseConnectionString(QStringLiteral("Data Source=x.db")), platform::DatabaseError);
    EXPECT_THROW(parseConnectionString(QStringLiteral("Provider=Jet.OLEDB;Data Source=x.mdb")), platform::DatabaseError);
    EXPECT_THROW(parseConnectionString(QStringLiteral("Provider=SQLite")), platform::DatabaseError);
    try {
        parseConnectionString(QStringLiteral("Provider=Jet.OLEDB.4.0;Data Source=x.mdb"));
    } catch (const platform::DatabaseError& e) {
        EXPECT_TRUE(e.text().contains(QStringLiteral("Jet.OLEDB.4.0"))) << e.what();
    }
}

TEST(ConnectionString, DialectFromDbmsName)
{
    EXPECT_EQ(dialectForDbmsName(QStringLiteral("Microsoft SQL Server")), Dialect::MsSql);
    EXPECT_EQ(dialectForDbmsName(QStringLiteral("Oracle")), Dialect::Oracle);
    EXPECT_EQ(dialectForDbmsName(QStringLiteral("PostgreSQL")), Dialect::Ansi);
    EXPECT_EQ(backendForDbmsName(QStringLiteral("SQLite")), Backend::SQLite);
    EXPECT_EQ(backendForDbmsName(QStringLiteral("PostgreSQL")), Backend::PostgreSQL);
    EXPECT_EQ(backendForDbmsName(QStringLiteral("Microsoft SQL Server")), Backend::MsSql);
}

// Each value is checked for its key before it goes anywhere, and what reaches libpq is
// quoted by libpq's rules: a value can never add a keyword of its own (another database,
// host or user) to what the driver is told.
TEST(ConnectionString, ValuesAreCheckedForTheirKeyAndNeverPasted)
{
    struct Case {
        const char* text;
        const char* refusal;      // a part of the error, or null when the string is taken
        const char* options;      // the libpq options (PostgreSQL), when taken
        const char* odbc;         // a part of the ODBC string (the other providers), when taken
    };
    const Case cases[] = {
        {"Provider=PostgreSQL;Database=loja;Connect Timeout=5 dbname=other", "Connect Timeout", nullptr, nullptr},
        {"Provider=PostgreSQL;Database=loja;Timeout='5' host='evil'", "after the quoted value of 'Timeout'", nullptr, nullptr},
        {"Provider=PostgreSQL;Connect Timeout=-1", "Connect Timeout", nullptr, nullptr},
        {"Provider=PostgreSQL;Connect Timeout=5.5", "Connect Timeout", nullptr, nullptr},
        {"Provider=PostgreSQL;Port=5432 dbname=other", "port", nullptr, nullptr},
        {"Provider=PostgreSQL;Port=+5432", "port", nullptr, nullptr},
        {"Provider=PostgreSQL;Database=loja;Connect Timeout=5", nullptr, "connect_timeout='5'", nullptr},
        {"Provider=PostgreSQL;Connect Timeout= 12 ;Search Path=loja", nullptr,
         "connect_timeout='12';options='-csearch_path=loja'", nullptr},
        {"Provider=SQLOLEDB;Data Source=\"srv,1433;Database=other\";Initial Catalog=QVN", "port", nullptr, nullptr},
        {"Provider=SQLOLEDB;Data Source=srv;Encrypt=\"yes;Database=other\"", "Encrypt", nullptr, nullptr},
        {"Provider=SQLOLEDB;Data Source=srv;TrustServerCertificate=maybe", "TrustServerCertificate", nullptr, nullptr},
        {"Provider=SQLOLEDB;Data Source=srv,1433;Encrypt=Yes;TrustServerCertificate=no", nullptr, nullptr,
         "Server=srv,1433;Encrypt=Yes;TrustServerCertificate=no"},
        {"Provider=MSDASQL;Driver={PostgreSQL Unicode};Port=\"5432;Database=other\"", "Port", nullptr, nullptr},
        {"Provider=MSDASQL;Driver={PostgreSQL Unicode};Server=h;Port=5433", nullptr, nullptr, "Server=h;Port=5433"},
        {"Provider=SQLite;Data Source=x.db;Busy Timeout=1 2", "Busy Timeout", nullptr, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        try {
            const ConnectionTarget t = parseConnectionString(QString::fromUtf8(c.text));
            EXPECT_EQ(c.refusal, nullptr) << "taken: " << t.connectOptions.toStdString() << " " << t.databaseName.toStdString();
            if (c.options) {
                EXPECT_EQ(t.connectOptions.toStdString(), c.options);
            }
            if (c.odbc) {
                EXPECT_TRUE(t.databaseName.contains(QString::fromUtf8(c.odbc))) << t.databaseName.toStdString();
            }
        } catch (const platform::DatabaseError& e) {
            ASSERT_NE(c.refusal, nullptr) << e.what();
            EXPECT_TRUE(e.text().contains(QString::fromUtf8(c.refusal), Qt::CaseInsensitive)) << e.what();
        }
    }
}

// libpq's quoting: inside single quotes, a quote and a backslash are escaped by a backslash.
TEST(ConnectionString, LibpqQuotingEscapesQuotesAndBackslashes)
{
    EXPECT_EQ(libpqQuoted(QStringLiteral("5")), QStringLiteral("'5'"));
    EXPECT_EQ(libpqQuoted(QStringLiteral("a'b\\c d")), QStringLiteral("'a\\'b\\\\c d'"));
    EXPECT_EQ(libpqQuoted(QString()), QStringLiteral("''"));
}
