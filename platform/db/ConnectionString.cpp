#include "platform/db/ConnectionString.h"

#include "platform/Error.h"
#include "platform/db/OdbcDrivers.h"

#include <QHash>
#include <QRegularExpression>

#include <algorithm>
#include <optional>

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
            // Text between the closing mark and the next ';' would be lost without a word.
            if (!text.mid(i, (next < 0 ? n : next) - i).trimmed().isEmpty())
                throw DatabaseError(QStringLiteral("Connection string: unexpected text after the quoted value of '%1'").arg(key));
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

// A whole number written with decimal digits only (no sign, no blanks inside), within
// [low, high]; nothing when it is not one.
std::optional<int> wholeNumber(const QString& text, int low, int high)
{
    if (text.isEmpty() || text.size() > 9
        || !std::all_of(text.begin(), text.end(), [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }))
        return std::nullopt;
    const int n = text.toInt();
    return n >= low && n <= high ? std::optional<int>(n) : std::nullopt;
}

int portNumber(const QString& text)
{
    const auto port = wholeNumber(text, 1, 65535);
    if (!port)
        throw DatabaseError(QStringLiteral("Connection string: invalid port '%1'").arg(text));
    return *port;
}

void parsePort(ConnectionTarget& target, const QString& text)
{
    if (!text.isEmpty())
        target.port = portNumber(text);
}

// A value that must be one of a few words (compared without regard to case).
QString oneOf(const QString& key, const QString& value, std::initializer_list<const char*> words)
{
    for (const char* w : words)
        if (value.compare(QLatin1String(w), Qt::CaseInsensitive) == 0)
            return value;
    QStringList allowed;
    for (const char* w : words)
        allowed << QString::fromLatin1(w);
    throw DatabaseError(QStringLiteral("Connection string: %1 must be one of %2, not '%3'")
                            .arg(key, allowed.join(QStringLiteral(", ")), value));
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
        odbc += QStringLiteral(",") + QString::number(portNumber(port));
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
        odbc += QStringLiteral(";Encrypt=")
                + oneOf(QStringLiteral("Encrypt"), encrypt, {"yes", "no", "true", "false", "mandatory", "optional", "strict"});
    QString trust = keys.get({"trustservercertificate", "trust server certificate"});
    if (!trust.isEmpty())
        odbc += QStringLiteral(";TrustServerCertificate=")
                + oneOf(QStringLiteral("TrustServerCertificate"), trust, {"yes", "no", "true", "false"});
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
        if (k == QLatin1String("port"))
            portNumber(p.second);  // a number where the driver wants one
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

// Connect Timeout and Search Path become libpq connection options, each value checked
// for its key and quoted by libpq's rules (the driver adds the options to libpq's text
// as they stand, ';' turned into blanks: an unquoted value could add keywords of its own).
QString postgresOptions(const Keys& keys)
{
    QStringList options;
    QString timeout = keys.get({"timeout", "connect timeout"});
    if (!timeout.isEmpty()) {
        const auto seconds = wholeNumber(timeout, 0, 3600);
        if (!seconds)
            throw DatabaseError(
                QStringLiteral("Connection string: Connect Timeout must be whole seconds from 0 to 3600, not '%1'").arg(timeout));
        options << QStringLiteral("connect_timeout=") + libpqQuoted(QString::number(*seconds));
    }
    // The schema(s) the statements see first: "Search Path=loja,public".
    QString searchPath = keys.get({"search path", "searchpath"});
    if (!searchPath.isEmpty()) {
        static const QRegularExpression safe(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*(,[A-Za-z_][A-Za-z0-9_]*)*$"));
        if (!safe.match(searchPath).hasMatch())
            throw DatabaseError(QStringLiteral("Connection string: invalid Search Path '%1'").arg(searchPath));
        options << QStringLiteral("options=") + libpqQuoted(QStringLiteral("-csearch_path=") + searchPath);
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

QString libpqQuoted(const QString& value)
{
    QString quoted = value;
    quoted.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    quoted.replace(QLatin1Char('\''), QStringLiteral("\\'"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

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
