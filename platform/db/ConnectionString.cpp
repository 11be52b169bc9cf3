#include "platform/db/ConnectionString.h"

#include "platform/Error.h"
#include "platform/db/OdbcDrivers.h"

#include <QHash>
#include <QRegularExpression>

namespace platform::db {

QString dialectName(Dialect d)
{
    switch (d) {
    case Dialect::MsSql: return QStringLiteral("mssql");
    case Dialect::Oracle: return QStringLiteral("oracle");
    case Dialect::Ansi: break;
    }
    return QStringLiteral("ansi");
}

QList<ConnectionPair> splitConnectionString(const QString& text)
{
    QList<ConnectionPair> pairs;
    int i = 0;
    const int n = int(text.size());
    while (i < n) {
        // Key up to '='; a part without '=' (stray text between ';') is skipped.
        int eq = int(text.indexOf(QLatin1Char('='), i));
        int semi = int(text.indexOf(QLatin1Char(';'), i));
        if (eq < 0 || (semi >= 0 && semi < eq)) {
            if (semi < 0)
                break;
            i = semi + 1;
            continue;
        }
        QString key = text.mid(i, eq - i).trimmed();
        i = eq + 1;
        while (i < n && text[i] == QLatin1Char(' '))
            ++i;
        QString value;
        if (i < n && (text[i] == QLatin1Char('"') || text[i] == QLatin1Char('\'') || text[i] == QLatin1Char('{'))) {
            const QChar open = text[i];
            const QChar close = open == QLatin1Char('{') ? QLatin1Char('}') : open;
            int end = int(text.indexOf(close, i + 1));
            if (end < 0)
                throw DatabaseError(QStringLiteral("Connection string: unterminated %1 in the value of '%2'").arg(open).arg(key));
            // Braces are kept: ODBC wants "Driver={Name}" as written.
            value = open == QLatin1Char('{') ? text.mid(i, end - i + 1) : text.mid(i + 1, end - i - 1);
            i = end + 1;
            int next = int(text.indexOf(QLatin1Char(';'), i));
            i = next < 0 ? n : next + 1;
        } else {
            int end = int(text.indexOf(QLatin1Char(';'), i));
            if (end < 0)
                end = n;
            value = text.mid(i, end - i).trimmed();
            i = end + 1;
        }
        if (!key.isEmpty())
            pairs.append({key, value});
    }
    return pairs;
}

namespace {

QString unbrace(const QString& v)
{
    if (v.size() >= 2 && v.startsWith(QLatin1Char('{')) && v.endsWith(QLatin1Char('}')))
        return v.mid(1, v.size() - 2);
    return v;
}

// Lookup by case-insensitive key, several spellings allowed.
struct Keys {
    QHash<QString, QString> map;
    explicit Keys(const QList<ConnectionPair>& pairs)
    {
        for (const auto& p : pairs)
            map.insert(p.first.toLower().simplified(), p.second);
    }
    QString get(std::initializer_list<const char*> names) const
    {
        for (const char* name : names) {
            auto it = map.find(QString::fromLatin1(name));
            if (it != map.end())
                return *it;
        }
        return {};
    }
    bool has(const char* name) const { return map.contains(QString::fromLatin1(name)); }
};

QString odbcValue(const QString& v)
{
    // A value with ';' or braces must be braced for the ODBC driver manager.
    if (v.contains(QLatin1Char(';')) || v.contains(QLatin1Char('{')) || v.startsWith(QLatin1Char(' ')))
        return QLatin1Char('{') + QString(v).replace(QLatin1Char('}'), QStringLiteral("}}")) + QLatin1Char('}');
    return v;
}

void parsePort(ConnectionTarget& target, const QString& text)
{
    if (text.isEmpty())
        return;
    bool ok = false;
    int port = text.toInt(&ok);
    if (!ok || port <= 0 || port > 65535)
        throw DatabaseError(QStringLiteral("Connection string: invalid port '%1'").arg(text));
    target.port = port;
}

// "Data Source=server,1433" or "server:1433" for SQL Server; host and port split.
void hostAndPort(const QString& source, QString& host, QString& port)
{
    host = source;
    for (QChar sep : {QLatin1Char(','), QLatin1Char(':')}) {
        int at = int(source.lastIndexOf(sep));
        if (at > 0) {
            host = source.left(at).trimmed();
            port = source.mid(at + 1).trimmed();
            return;
        }
    }
}

// An OLE DB provider served by an ODBC driver: the driver's name comes from the string
// ("ODBC Driver=..."), else from the drivers installed on the machine.
ConnectionTarget odbcTarget(const Keys& keys, Dialect dialect, Backend backend, QString& driver)
{
    ConnectionTarget target;
    target.driver = QStringLiteral("QODBC");
    target.dialect = dialect;
    target.backend = backend;
    driver = unbrace(keys.get({"odbc driver"}));
    if (driver.isEmpty())
        driver = chooseOdbcDriver(backend, installedOdbcDrivers());
    target.user = keys.get({"user id", "uid", "user"});
    target.password = keys.get({"password", "pwd"});
    return target;
}

ConnectionTarget parseMsSql(const Keys& keys)
{
    QString driver;
    ConnectionTarget target = odbcTarget(keys, Dialect::MsSql, Backend::MsSql, driver);
    QString host, port;
    hostAndPort(keys.get({"data source", "server", "address", "addr"}), host, port);
    QString odbc = QStringLiteral("Driver={%1};Server=%2").arg(driver, odbcValue(host));
    if (!port.isEmpty())
        odbc += QStringLiteral(",") + port;
    QString db = keys.get({"initial catalog", "database"});
    if (!db.isEmpty())
        odbc += QStringLiteral(";Database=") + odbcValue(db);
    QString trusted = keys.get({"integrated security", "trusted_connection"}).toLower();
    if (trusted == QLatin1String("sspi") || trusted == QLatin1String("true") || trusted == QLatin1String("yes")) {
        odbc += QStringLiteral(";Trusted_Connection=yes");
        target.user.clear();
        target.password.clear();
    }
    QString encrypt = keys.get({"encrypt"});
    if (!encrypt.isEmpty())
        odbc += QStringLiteral(";Encrypt=") + encrypt;
    QString trust = keys.get({"trustservercertificate", "trust server certificate"});
    if (!trust.isEmpty())
        odbc += QStringLiteral(";TrustServerCertificate=") + trust;
    target.databaseName = odbc;
    return target;
}

ConnectionTarget parseOracle(const Keys& keys)
{
    QString driver;
    ConnectionTarget target = odbcTarget(keys, Dialect::Oracle, Backend::Oracle, driver);
    target.databaseName = QStringLiteral("Driver={%1};DBQ=%2")
                              .arg(driver, odbcValue(keys.get({"data source", "dbq", "server"})));
    return target;
}

ConnectionTarget parseMsdasql(const QList<ConnectionPair>& pairs, const Keys& keys)
{
    ConnectionTarget target;
    target.driver = QStringLiteral("QODBC");
    target.dialectFromServer = true;
    if (!keys.has("dsn") && !keys.has("driver") && !keys.has("filedsn"))
        throw DatabaseError(QStringLiteral("Connection string: MSDASQL needs DSN= or Driver="));
    // Everything but the ADO keys goes to the driver manager as written.
    QStringList parts;
    for (const auto& p : pairs) {
        const QString k = p.first.toLower().simplified();
        if (k == QLatin1String("provider") || k == QLatin1String("persist security info"))
            continue;
        if (k == QLatin1String("user id")) {
            target.user = p.second;
            continue;
        }
        if (k == QLatin1String("password")) {
            target.password = p.second;
            continue;
        }
        if (k == QLatin1String("extended properties")) {
            parts.append(unbrace(p.second));
            continue;
        }
        parts.append(p.first + QLatin1Char('=') + (p.second.startsWith(QLatin1Char('{')) ? p.second : odbcValue(p.second)));
    }
    target.databaseName = parts.join(QLatin1Char(';'));
    return target;
}

ConnectionTarget parseSqlite(const Keys& keys)
{
    ConnectionTarget target;
    target.driver = QStringLiteral("QSQLITE");
    target.backend = Backend::SQLite;
    target.databaseName = keys.get({"data source", "database", "datasource"});
    if (target.databaseName.isEmpty())
        throw DatabaseError(QStringLiteral("Connection string: Provider=SQLite needs Data Source="));
    const QString busy = keys.get({"busy timeout"});
    if (!busy.isEmpty()) {
        bool ok = false;
        const double seconds = busy.toDouble(&ok);
        if (!ok || seconds < 0 || seconds > 3600)
            throw DatabaseError(QStringLiteral("Connection string: Busy Timeout must be seconds from 0 to 3600, not '%1'").arg(busy));
        target.busyTimeoutMs = int(seconds * 1000);
    }
    return target;
}

// Connect Timeout and Search Path become libpq connection options.
QString postgresOptions(const Keys& keys)
{
    QStringList options;
    QString timeout = keys.get({"timeout", "connect timeout"});
    if (!timeout.isEmpty())
        options << QStringLiteral("connect_timeout=") + timeout;
    // The schema(s) the statements see first: "Search Path=loja,public".
    QString searchPath = keys.get({"search path", "searchpath"});
    if (!searchPath.isEmpty()) {
        static const QRegularExpression safe(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*(,[A-Za-z_][A-Za-z0-9_]*)*$"));
        if (!safe.match(searchPath).hasMatch())
            throw DatabaseError(QStringLiteral("Connection string: invalid Search Path '%1'").arg(searchPath));
        options << QStringLiteral("options=-csearch_path=") + searchPath;
    }
    return options.join(QLatin1Char(';'));
}

ConnectionTarget parsePostgres(const Keys& keys)
{
    ConnectionTarget target;
    target.driver = QStringLiteral("QPSQL");
    target.backend = Backend::PostgreSQL;
    target.host = keys.get({"host", "server", "data source"});
    parsePort(target, keys.get({"port"}));
    target.databaseName = keys.get({"database", "initial catalog"});
    target.user = keys.get({"user id", "user", "uid", "username"});
    target.password = keys.get({"password", "pwd"});
    target.connectOptions = postgresOptions(keys);
    return target;
}

}  // namespace

ConnectionTarget parseConnectionString(const QString& text)
{
    const QList<ConnectionPair> pairs = splitConnectionString(text);
    const Keys keys(pairs);
    QString provider = keys.get({"provider"}).trimmed();
    if (provider.isEmpty())
        throw DatabaseError(QStringLiteral("Connection string without Provider: '%1'").arg(text.left(200)));
    // "MSDAORA.1", "SQLOLEDB.1", "OraOLEDB.Oracle.1": the trailing version goes.
    static const QRegularExpression version(QStringLiteral("\\.\\d+$"));
    QString name = provider;
    name.remove(version);
    const QString p = name.toLower();

    ConnectionTarget target;
    if (p == QLatin1String("sqlite") || p == QLatin1String("sqlite3")) {
        target = parseSqlite(keys);
    } else if (p == QLatin1String("postgresql") || p == QLatin1String("postgres") || p == QLatin1String("pgsql")) {
        target = parsePostgres(keys);
    } else if (p == QLatin1String("msdasql")) {
        target = parseMsdasql(pairs, keys);
    } else if (p == QLatin1String("sqloledb") || p == QLatin1String("msoledbsql") || p.startsWith(QLatin1String("sqlncli"))) {
        target = parseMsSql(keys);
    } else if (p == QLatin1String("msdaora") || p == QLatin1String("oraoledb.oracle") || p == QLatin1String("oraoledb")) {
        target = parseOracle(keys);
    } else {
        throw DatabaseError(QStringLiteral("Unknown provider '%1' in the connection string").arg(provider));
    }
    target.provider = name;
    return target;
}

Dialect dialectForDbmsName(const QString& dbmsName)
{
    const QString n = dbmsName.toLower();
    if (n.contains(QLatin1String("sql server")) || n.contains(QLatin1String("sybase")) || n.contains(QLatin1String("adaptive server")))
        return Dialect::MsSql;
    if (n.contains(QLatin1String("oracle")))
        return Dialect::Oracle;
    return Dialect::Ansi;
}

Backend backendForDbmsName(const QString& dbmsName)
{
    const QString n = dbmsName.toLower();
    if (n.contains(QLatin1String("sqlite")))
        return Backend::SQLite;
    if (n.contains(QLatin1String("postgres")))
        return Backend::PostgreSQL;
    switch (dialectForDbmsName(dbmsName)) {
    case Dialect::MsSql: return Backend::MsSql;
    case Dialect::Oracle: return Backend::Oracle;
    case Dialect::Ansi: break;
    }
    return Backend::Other;
}

}  // namespace platform::db
