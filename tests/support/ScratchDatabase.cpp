#include "ScratchDatabase.h"

#include "SqliteFile.h"

#include "platform/Error.h"
#include "platform/db/Connection.h"

#include <QAtomicInt>
#include <QCoreApplication>
#include <QRegularExpression>

namespace testsupport {

QString withDatabase(QString connectionString, const QString& database)
{
    static const QRegularExpression key(QStringLiteral("(Database\\s*=)[^;]*"),
                                        QRegularExpression::CaseInsensitiveOption);
    return connectionString.replace(key, QStringLiteral("\\1") + database);
}

std::unique_ptr<ScratchDatabase> ScratchDatabase::create(DbKind kind, const QString& prefix, const QString& encoding)
{
    if (!dbKindConfigured(kind))
        return nullptr;
    std::unique_ptr<ScratchDatabase> db(new ScratchDatabase(kind));
    if (!isPostgres(kind)) {
        db->file_ = sqliteFile(db->dir_.path(), prefix + QStringLiteral(".db"));
        db->native_ = QStringLiteral("Provider=SQLite;Data Source=") + db->file_;
        db->connection_ = kind == DbKind::SQLite ? db->native_
                                                 : qEnvironmentVariable("VAK_ODBC_SQLITE_PREFIX") + db->file_;
        return db;
    }
    // Named after the process as well, so that test processes running at once never meet.
    static QAtomicInt serial;
    db->serverDatabase_ = QStringLiteral("vak_%1_%2_%3")
                              .arg(prefix)
                              .arg(QCoreApplication::applicationPid())
                              .arg(serial.fetchAndAddRelaxed(1));
    platform::db::Connection server(qEnvironmentVariable("VAK_PG_CONNSTR"));
    server.open();
    server.execute(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(db->serverDatabase_));
    // Another encoding than the template's needs the empty template and a locale that
    // goes with any encoding.
    server.execute(QStringLiteral("CREATE DATABASE ") + db->serverDatabase_
                   + (encoding.isEmpty() ? QString()
                                         : QStringLiteral(" ENCODING '%1' TEMPLATE template0 LC_COLLATE 'C' LC_CTYPE 'C'")
                                               .arg(encoding)));
    db->native_ = withDatabase(qEnvironmentVariable("VAK_PG_CONNSTR"), db->serverDatabase_);
    db->connection_ = kind == DbKind::PostgreSQL
                          ? db->native_
                          : withDatabase(qEnvironmentVariable("VAK_ODBC_PG_CONNSTR"), db->serverDatabase_);
    return db;
}

ScratchDatabase::~ScratchDatabase()
{
    if (serverDatabase_.isEmpty())
        return;
    try {
        platform::db::Connection server(qEnvironmentVariable("VAK_PG_CONNSTR"));
        server.open();
        server.execute(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(serverDatabase_));
    } catch (const platform::Error&) {
        // A database left behind lives in the test server's temporary directory.
    }
}

}  // namespace testsupport
