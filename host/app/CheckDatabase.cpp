// The shop database as the data service and the sale services will use it. The tables
// and columns expected are those of the project's schema (schema/sqlite.sql, carried in
// the program's resources): the statements of both are written against it.
#include "host/app/Check.h"

#include "hostapi/hostkit.h"
#include "platform/Error.h"
#include "platform/db/Connection.h"
#include "platform/db/ConnectionString.h"
#include "platform/db/Query.h"
#include "platform/db/Transaction.h"

#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QRegularExpression>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>

namespace pdvhost::check {

namespace {

const QString kDb = QStringLiteral("database");

// Table -> its columns, in the schema's order.
using Schema = QList<std::pair<QString, QStringList>>;

Schema expectedSchema()
{
    QFile file(QStringLiteral(":/schema/sqlite.sql"));
    if (!file.open(QIODevice::ReadOnly))
        throw platform::Error(QStringLiteral("the program's copy of the schema is missing"));
    Schema schema;
    static const QRegularExpression table(QStringLiteral("^CREATE TABLE (\\w+)"));
    static const QRegularExpression column(QStringLiteral("^\\s+([A-Z][A-Z0-9_]*)\\s+[A-Z]"));
    for (const QString& line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
        if (const auto m = table.match(line); m.hasMatch())
            schema.append({m.captured(1), {}});
        else if (const auto c = column.match(line); c.hasMatch() && !schema.isEmpty() &&
                 c.captured(1) != QLatin1String("PRIMARY") && c.captured(1) != QLatin1String("UNIQUE"))
            schema.last().second.append(c.captured(1));
    }
    return schema;
}

// The declared width of a text column; 0 when the database does not say.
int declaredWidth(platform::db::Connection& db, const QString& table, const QSqlField& field)
{
    if (field.length() > 0 && field.metaType().id() == QMetaType::QString)
        return field.length();
    if (db.backend() != platform::db::Backend::SQLite)
        return 0;
    QSqlQuery q(db.database());
    q.exec(QStringLiteral("PRAGMA table_info(%1)").arg(table));
    static const QRegularExpression width(QStringLiteral("CHAR\\s*\\((\\d+)\\)"), QRegularExpression::CaseInsensitiveOption);
    while (q.next())
        if (q.value(1).toString().compare(field.name(), Qt::CaseInsensitive) == 0)
            if (const auto m = width.match(q.value(2).toString()); m.hasMatch())
                return m.captured(1).toInt();
    return 0;
}

struct Widths {
    QMap<QString, std::pair<int, QString>> narrowest;  // column -> width, "TABLE.COLUMN"
};

// Every table and column of the schema present; the narrowest width of each code column.
Widths checkTables(platform::db::Connection& db, Findings& f)
{
    Widths widths;
    const QStringList codes{QStringLiteral("CDFILIAL"), QStringLiteral("CDCAIXA"), QStringLiteral("CDLOJA"),
                            QStringLiteral("CDOPERADOR")};
    for (const auto& [table, columns] : expectedSchema()) {
        // PostgreSQL keeps unquoted names in lower case.
        QSqlRecord record = db.database().record(table);
        if (record.isEmpty())
            record = db.database().record(table.toLower());
        if (record.isEmpty()) {
            f.error(kDb, table, QStringLiteral("the table is missing"),
                    QStringLiteral("create it as the shop's schema declares it (/usr/share/vak04100/schema)"));
            continue;
        }
        QStringList missing;
        for (const QString& column : columns) {
            const int i = record.indexOf(column) >= 0 ? record.indexOf(column) : record.indexOf(column.toLower());
            if (i < 0) {
                missing << column;
            } else if (codes.contains(column)) {
                const int w = declaredWidth(db, table, record.field(i));
                auto& n = widths.narrowest[column];
                if (w > 0 && (n.first == 0 || w < n.first))
                    n = {w, table + QLatin1Char('.') + column};
            }
        }
        if (!missing.isEmpty())
            f.error(kDb, table, QStringLiteral("missing column(s) %1").arg(missing.join(QStringLiteral(", "))),
                    QStringLiteral("add them as the shop's schema declares them"));
    }
    return widths;
}

void checkCodeWidths(const Terminal& t, const Widths& widths, Findings& f)
{
    using terminal::Param;
    const QList<std::tuple<QString, QString, QString>> codes = {
        {QStringLiteral("PARAMETROSQVN.CDS"), QStringLiteral("CDFILIAL"), t.text(Param::CDFILIAL)},
        {QStringLiteral("PARAMETROSQVN.CDS"), QStringLiteral("CDCAIXA"), t.text(Param::CDCAIXA)},
        {QStringLiteral("PARAMETROSQVN.CDS"), QStringLiteral("CDLOJA"), t.text(Param::CDLOJA)},
        {QStringLiteral("Dados/Cadastros/ControleAcess.cds"), QStringLiteral("CDOPERADOR"), t.operatorCode},
    };
    for (const auto& [file, column, value] : codes) {
        const auto [width, where] = widths.narrowest.value(column);
        if (width > 0 && value.size() > width)
            f.error(file, column,
                    QStringLiteral("'%1' has %2 characters; %3 holds %4").arg(value).arg(value.size()).arg(where).arg(width),
                    QStringLiteral("use a code of at most %1 characters (as the host registers it)").arg(width));
    }
}

// The database's own name for the encoding of its texts ("UTF8", "WIN1252", ...); empty
// when it does not say.
QString textEncoding(platform::db::Connection& db)
{
    if (db.backend() == platform::db::Backend::SQLite)
        return QStringLiteral("UTF-8");
    if (db.backend() != platform::db::Backend::PostgreSQL)
        return {};
    QSqlQuery q(db.database());
    return q.exec(QStringLiteral("SHOW server_encoding")) && q.next() ? q.value(0).toString() : QString();
}

// Writes `key` as a counter key and reads it back, in a transaction that is rolled back
// (the check leaves nothing behind). Empty when it came back as written; else why not.
QString roundTrip(platform::db::Connection& db, platform::db::Command& insert, platform::db::Query& read,
                  const QString& key)
{
    try {
        platform::db::Transaction transaction(db, /*writeLock=*/true);
        insert.setParam(QStringLiteral("P_CDCONTADOR"), key);
        insert.execute();
        read.close();
        read.setParam(QStringLiteral("P_CDCONTADOR"), key);
        read.open();
        const QString back = read.isEmpty() ? QString() : read.value(0).toString();
        read.close();
        transaction.rollback();
        return back == key ? QString() : QStringLiteral("it comes back as '%1'").arg(back);
    } catch (const platform::Error& e) {
        read.close();
        return e.text();
    }
}

// Writes a plain key, then the terminal's codes and names, as counter keys: the counters
// table takes writes, and the texts come back as written. A plain key that is refused is
// the table's problem (permissions, a read-only database); a text refused after it is one
// the database's encoding cannot hold.
void checkCountersAndEncoding(const Terminal& t, platform::db::Connection& db, Findings& f)
{
    using terminal::Param;
    QStringList texts{t.text(Param::CDFILIAL), t.text(Param::CDCAIXA), t.text(Param::CDLOJA), t.text(Param::NMLOJA),
                      t.text(Param::CDCLIENTE), t.operatorCode, t.operatorName};
    texts.removeAll(QString());
    texts.removeDuplicates();
    platform::db::Command insert(&db);
    insert.setSql(QStringLiteral("INSERT INTO NOVOCODIGO (CDCONTADOR, NRSEQUENCIAL) VALUES (:P_CDCONTADOR, '0')"));
    platform::db::Query read(&db);
    read.setSql(QStringLiteral("SELECT CDCONTADOR FROM NOVOCODIGO WHERE CDCONTADOR = :P_CDCONTADOR"));
    if (const QString why = roundTrip(db, insert, read, QStringLiteral("pdvhost check")); !why.isEmpty()) {
        f.error(kDb, QStringLiteral("NOVOCODIGO"), QStringLiteral("the counters table takes no write: %1").arg(why),
                QStringLiteral("grant the terminal's database user INSERT and UPDATE on NOVOCODIGO, and make the "
                               "database writable"));
        return;
    }
    const QString encoding = textEncoding(db);
    for (const QString& text : texts) {
        const QString why = roundTrip(db, insert, read, (QStringLiteral("pdvhost check ") + text).left(100));
        if (why.isEmpty())
            continue;
        f.error(kDb, QStringLiteral("encoding"),
                QStringLiteral("the database's text encoding%1 cannot hold '%2': %3")
                    .arg(encoding.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(encoding), text, why),
                QStringLiteral("use codes and names of Windows-1252 characters at the host, and keep the shop's "
                               "database in an encoding that holds them all (UTF8 or WIN1252)"));
    }
}

}  // namespace

std::unique_ptr<platform::db::Connection> checkDatabase(const Terminal& t, const QString& given, Findings& f)
{
    QString text = given;
    if (text.isEmpty()) {
        try {
            text = hostkit::GetStringConexQvn();
        } catch (const platform::Error& e) {
            f.error(kDb, QStringLiteral("Dados/StringConexao.txt"), e.text(),
                    QStringLiteral("store the connection string again (shopgen terminal DIR --db CONNSTR)"));
            return nullptr;
        }
    }
    platform::db::ConnectionTarget target;
    try {
        target = platform::db::parseConnectionString(text);
    } catch (const platform::Error& e) {
        f.error(kDb, QStringLiteral("connection string"), e.text(),
                QStringLiteral("write it as Provider=...;Data Source=... (see the guide)"));
        return nullptr;
    }
    // Opening would create an empty SQLite file: a missing one is reported instead.
    if (target.backend == platform::db::Backend::SQLite && !QFileInfo::exists(target.databaseName)) {
        f.error(kDb, QStringLiteral("connection"), QStringLiteral("the database file %1 does not exist").arg(target.databaseName),
                QStringLiteral("generate the shop there (shopgen --db ...) or store the right connection string"));
        return nullptr;
    }
    auto db = std::make_unique<platform::db::Connection>(text);
    try {
        db->open();
    } catch (const platform::Error& e) {
        f.error(kDb, QStringLiteral("connection"), e.text(),
                QStringLiteral("check the server, the database's name, the user and the password"));
        return nullptr;
    }
    const Widths widths = checkTables(*db, f);
    checkCodeWidths(t, widths, f);
    checkCountersAndEncoding(t, *db, f);
    return db;
}

}  // namespace pdvhost::check
