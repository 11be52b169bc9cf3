#include "host/possvc/sale/SaleServicesDb.h"

#include "host/possvc/sale/SaleServices.h"

#include "loyaltysql/BalanceSql.h"
#include "platform/Error.h"
#include "platform/db/Query.h"

#include <QCryptographicHash>
#include <QDebug>
#include <QElapsedTimer>

#include <optional>

namespace possvc::db {

using platform::FieldType;
using platform::db::Command;
using platform::db::Query;

PacketRows::PacketRows(platform::DataPacket packet) : packet_(std::move(packet)) {}

PacketRows PacketRows::of(const platform::ClientDataSet* dataSet)
{
    if (!dataSet || !dataSet->active())
        return {};
    return PacketRows(dataSet->packet());
}

PacketRows PacketRows::of(const QVariant& packetVariant)
{
    if (packetVariant.isNull() || !packetVariant.isValid())
        return {};
    return PacketRows(platform::packetFromVariant(packetVariant));
}

int PacketRows::index(const QString& field) const
{
    // A close-out reads a few hundred values by name: the exact spelling, which a length
    // alone rejects, is tried over all fields before the case-blind comparison.
    for (int i = 0; i < packet_.fields.size(); ++i)
        if (packet_.fields[i].name == field)
            return i;
    for (int i = 0; i < packet_.fields.size(); ++i)
        if (packet_.fields[i].name.compare(field, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QVariant PacketRows::value(int row, const QString& field) const
{
    const int i = index(field);
    return i < 0 ? QVariant() : packet_.rows.value(row, i);
}

QString PacketRows::text(int row, const QString& field) const
{
    const QVariant v = value(row, field);
    if (v.isNull())
        return {};
    QString s = v.toString();
    while (s.endsWith(QLatin1Char(' ')))
        s.chop(1);
    return s;
}

double PacketRows::number(int row, const QString& field) const
{
    const QVariant v = value(row, field);
    return v.isNull() ? 0.0 : v.toDouble();
}

void bindSaleKey(platform::db::Statement& s, const QString& branch, const QString& cashRegister, const QString& sequence)
{
    s.setParam(QStringLiteral("P_CDFILIAL"), branch);
    s.setParam(QStringLiteral("P_CDCAIXA"), cashRegister);
    s.setParam(QStringLiteral("P_NRSEQVENDA"), sequence);
}

namespace {

// The sale services run the same few statements for every sale. Each is prepared once per
// connection and kept as the connection's child (released with it), so that a close-out
// sends each statement's execution alone, without a preparation and a release around it:
// on a database server every one of those is a round trip, and with many terminals the
// server's time goes to them.
template <class S>
S& kept(platform::db::Connection& db, const QString& sql)
{
    const QString name = QStringLiteral("possvc.db:") + sql;
    if (auto* s = db.findChild<S*>(name, Qt::FindDirectChildrenOnly))
        return *s;
    auto* s = new S(&db, &db);
    s->setObjectName(name);
    s->setSql(sql);
    return *s;
}

// A kept query for one use: closed before and after it, since an open cursor keeps a read
// lock (SQLite) and the next use opens it again.
class KeptQuery {
public:
    KeptQuery(platform::db::Connection& db, const QString& sql) : q_(kept<Query>(db, sql)) { q_.close(); }
    ~KeptQuery() { q_.close(); }
    KeptQuery(const KeptQuery&) = delete;
    KeptQuery& operator=(const KeptQuery&) = delete;
    Query* operator->() { return &q_; }
    Query& operator*() { return q_; }

private:
    Query& q_;
};

// The counter's last number, its row locked until the transaction ends so that two
// writers of one counter queue up instead of both reading the same last value; none when
// the counter has no row yet. PostgreSQL locks the row as it reads it, one statement for
// both; elsewhere touching the row first takes its lock.
bool counterReadLocks(const platform::db::Connection& db)
{
    return db.backend() == platform::db::Backend::PostgreSQL;
}

const QString kCounterTouch =
    QStringLiteral("UPDATE NOVOCODIGO SET NRSEQUENCIAL = NRSEQUENCIAL WHERE CDCONTADOR = :P_CDCONTADOR");

QString counterRead(const platform::db::Connection& db)
{
    const QString read = QStringLiteral("SELECT NRSEQUENCIAL FROM NOVOCODIGO WHERE CDCONTADOR = :P_CDCONTADOR");
    return counterReadLocks(db) ? read + QStringLiteral(" FOR UPDATE") : read;
}

std::optional<qint64> lockedCounter(platform::db::Connection& db, const QString& key)
{
    const bool readLocks = counterReadLocks(db);
    if (!readLocks) {
        Command& touch = kept<Command>(db, kCounterTouch);
        touch.setParam(QStringLiteral("P_CDCONTADOR"), key);
        if (touch.execute() == 0)
            return std::nullopt;
    }
    KeptQuery q(db, counterRead(db));
    q->setParam(QStringLiteral("P_CDCONTADOR"), key);
    q->open();
    if (readLocks && q->eof())
        return std::nullopt;
    bool ok = false;
    const qint64 value = q->value(0).toString().trimmed().toLongLong(&ok);
    if (!ok)
        throw platform::HostError(QStringLiteral("O contador %1 não guarda um número: '%2'")
                                      .arg(key, q->value(0).toString()));
    return value;
}

// The highest number already used by the register, for a counter that starts late
// (a database filled by other programs).
QString highestUsedSql(const QString& table, const QString& column)
{
    return QStringLiteral("SELECT %1 FROM %2 WHERE CDFILIAL = :P_CDFILIAL AND CDCAIXA = :P_CDCAIXA").arg(column, table);
}

qint64 highestUsed(platform::db::Connection& db, const QString& table, const QString& column,
                   const QString& branch, const QString& cashRegister)
{
    KeptQuery q(db, highestUsedSql(table, column));
    q->setParam(QStringLiteral("P_CDFILIAL"), branch);
    q->setParam(QStringLiteral("P_CDCAIXA"), cashRegister);
    q->open();
    qint64 highest = 0;
    for (; !q->eof(); q->next()) {
        bool ok = false;
        const qint64 n = q->value(0).toString().trimmed().toLongLong(&ok);
        if (ok && n > highest)
            highest = n;
    }
    return highest;
}

// A number is used by the register however the column writes it: other programs store
// sale numbers zero-padded ("0000000025"), the services store "25". The number is looked
// up in each of its forms up to the column's ten characters, so that the key's index
// finds it at once, however many sales the register already holds.
constexpr int kNumberWidth = 10;

// The rows of the register that use the number in any of its forms, and their binding.
QString usedByRegister(const QString& table, const QString& column)
{
    QStringList markers;
    for (int width = 1; width <= kNumberWidth; ++width)
        markers << QStringLiteral(":P_NR%1").arg(width);
    return QStringLiteral("SELECT %1 FROM %2 WHERE CDFILIAL = :P_CDFILIAL AND CDCAIXA = :P_CDCAIXA AND %1 IN (%3)")
        .arg(column, table, markers.join(QStringLiteral(", ")));
}

void bindUsedByRegister(platform::db::Statement& s, const QString& branch, const QString& cashRegister, qint64 number)
{
    s.setParam(QStringLiteral("P_CDFILIAL"), branch);
    s.setParam(QStringLiteral("P_CDCAIXA"), cashRegister);
    for (int width = 1; width <= kNumberWidth; ++width)
        s.setParam(QStringLiteral("P_NR%1").arg(width), QString::number(number).rightJustified(width, QLatin1Char('0')));
}

bool taken(platform::db::Connection& db, const QString& table, const QString& column, const QString& branch,
           const QString& cashRegister, qint64 number)
{
    KeptQuery q(db, usedByRegister(table, column));
    bindUsedByRegister(*q, branch, cashRegister, number);
    q->open();
    return !q->eof();
}

QString storeIfFreeSql(const QString& table, const QString& column)
{
    return QStringLiteral("UPDATE NOVOCODIGO SET NRSEQUENCIAL = :P_NRSEQUENCIAL WHERE CDCONTADOR = :P_CDCONTADOR "
                          "AND NOT EXISTS (%1)")
        .arg(usedByRegister(table, column));
}

// Stores `number` as the counter's last number unless the register already used it: one
// statement for both on the usual path, where the number is free. False when it is used
// (or when the counter's row is gone).
bool storeIfFree(platform::db::Connection& db, const QString& counterKey, const QString& table, const QString& column,
                 const QString& branch, const QString& cashRegister, qint64 number)
{
    Command& store = kept<Command>(db, storeIfFreeSql(table, column));
    store.setParam(QStringLiteral("P_CDCONTADOR"), counterKey);
    store.setParam(QStringLiteral("P_NRSEQUENCIAL"), QString::number(number));
    bindUsedByRegister(store, branch, cashRegister, number);
    return store.execute() > 0;
}

// Creates a counter row seen for the first time. Another terminal may create it at the
// same moment: on PostgreSQL the losing insert does nothing (a failed statement would
// abort the caller's whole transaction); elsewhere its duplicate-key error is taken as
// the same news. Either way the caller then reads the row the winner stored.
QString createCounterSql(const platform::db::Connection& db)
{
    const QString insert =
        QStringLiteral("INSERT INTO NOVOCODIGO (CDCONTADOR, NRSEQUENCIAL) VALUES (:P_CDCONTADOR, :P_NRSEQUENCIAL)");
    return db.backend() == platform::db::Backend::PostgreSQL ? insert + QStringLiteral(" ON CONFLICT (CDCONTADOR) DO NOTHING")
                                                            : insert;
}

bool createCounter(platform::db::Connection& db, const QString& key, qint64 number)
{
    Command& insert = kept<Command>(db, createCounterSql(db));
    insert.setParam(QStringLiteral("P_CDCONTADOR"), key);
    insert.setParam(QStringLiteral("P_NRSEQUENCIAL"), QString::number(number));
    try {
        return insert.execute() > 0;
    } catch (const platform::DatabaseError&) {
        const auto backend = db.backend();
        if (backend == platform::db::Backend::PostgreSQL || backend == platform::db::Backend::SQLite)
            throw;  // SQLite holds the write lock: no other terminal can have created it
        return false;
    }
}

}  // namespace

QString nextSequence(platform::db::Connection& db, const QString& counterKey, const QString& table,
                     const QString& column, const QString& branch, const QString& cashRegister)
{
    std::optional<qint64> stored;
    for (int attempt = 0; !(stored = lockedCounter(db, counterKey)); ++attempt) {
        // First use: start after the highest number the register already used.
        qint64 number = highestUsed(db, table, column, branch, cashRegister) + 1;
        while (taken(db, table, column, branch, cashRegister, number))
            ++number;
        if (createCounter(db, counterKey, number))
            return QString::number(number);
        if (attempt >= 3)
            throw platform::HostError(QStringLiteral("O contador %1 não pôde ser criado").arg(counterKey));
    }
    for (qint64 number = *stored + 1;; ++number) {
        if (number > 9999999999LL)
            throw platform::HostError(QStringLiteral("O contador %1 chegou ao fim").arg(counterKey));
        if (storeIfFree(db, counterKey, table, column, branch, cashRegister, number))
            return QString::number(number);
        // Not stored: the number is used (look past it), or the row held by this
        // transaction has gone, which no retry would mend.
        if (!taken(db, table, column, branch, cashRegister, number))
            throw platform::HostError(QStringLiteral("O contador %1 sumiu durante a numeração").arg(counterKey));
    }
}

namespace {

QList<Column> pendingRow(const QString& branch, const QString& cashRegister, const QString& sequence,
                         const QString& docType, const QString& terminal, const QDateTime& now)
{
    return {
        {QStringLiteral("CDFILIAL"), FieldType::String, 4, branch},
        {QStringLiteral("CDCAIXA"), FieldType::String, 3, cashRegister},
        {QStringLiteral("NRSEQVENDA"), FieldType::String, 10, sequence},
        {QStringLiteral("IDTPDOCVENDA"), FieldType::String, 1, docType},
        {QStringLiteral("DSTERMINAL"), FieldType::String, 200, terminal.right(200)},
        {QStringLiteral("DTHRINCLUSAO"), FieldType::DateTime, 0, now},
    };
}

}  // namespace

void markPending(platform::db::Connection& db, const QString& branch, const QString& cashRegister,
                 const QString& sequence, const QString& docType, const QString& terminal, const QDateTime& now)
{
    insertRow(db, QStringLiteral("VENDAPENDENTE"), pendingRow(branch, cashRegister, sequence, docType, terminal, now));
}

bool clearPending(platform::db::Connection& db, const QString& branch, const QString& cashRegister,
                  const QString& sequence)
{
    Command c(&db);
    c.setSql(QStringLiteral("DELETE FROM VENDAPENDENTE WHERE ") + kSaleKey);
    bindSaleKey(c, branch, cashRegister, sequence);
    return c.execute() > 0;
}

namespace {

sim::ConsumerLockWaits g_lockWaits;

void recordLockWait(double ms)
{
    ++g_lockWaits.taken;
    g_lockWaits.waited += ms > 0 ? 1 : 0;
    g_lockWaits.lastMs = ms;
    g_lockWaits.totalMs += ms;
    g_lockWaits.longestMs = qMax(g_lockWaits.longestMs, ms);
}

const QString kAdvisoryTry = QStringLiteral("SELECT pg_try_advisory_xact_lock(:P_CHAVE)");
const QString kAdvisoryWait = QStringLiteral("SELECT pg_advisory_xact_lock(:P_CHAVE)");

// PostgreSQL: an advisory lock also serialises consumers that have no CONSUMIDOR row. It
// is tried first, so that a close-out tells a free consumer (no wait at all) from one
// another terminal holds (the wait is then the blocking statement's time).
double lockConsumerAdvisory(platform::db::Connection& db, const QString& client, const QString& consumer)
{
    const QByteArray hash = QCryptographicHash::hash(
        (QStringLiteral("VAK-FIDELIDADE|") + client + QLatin1Char('|') + consumer).toUtf8(), QCryptographicHash::Sha1);
    qint64 key = 0;
    for (int i = 0; i < 8; ++i)
        key = (key << 8) | quint8(hash[i]);
    KeptQuery attempt(db, kAdvisoryTry);
    attempt->declareParam(QStringLiteral("P_CHAVE"), FieldType::LargeInt).setValue(key);
    attempt->open();
    if (attempt->value(0).toBool())
        return 0;
    QElapsedTimer waiting;
    waiting.start();
    Command& lock = kept<Command>(db, kAdvisoryWait);
    lock.declareParam(QStringLiteral("P_CHAVE"), FieldType::LargeInt).setValue(key);
    lock.setCommandTimeout(0);
    lock.execute();
    return qMax(waiting.nsecsElapsed() / 1e6, 1e-6);
}

// SQL Server and Oracle: an update lock on the consumer's row, held to the end of the
// transaction. The statement's whole time counts as the wait.
double lockConsumerRow(platform::db::Connection& db, const QString& client, const QString& consumer)
{
    QElapsedTimer waiting;
    waiting.start();
    const bool msSql = db.backend() == platform::db::Backend::MsSql;
    Query q(&db);
    q.setSql(QStringLiteral("SELECT CDCONSUMIDOR FROM CONSUMIDOR %1 WHERE CDCLIENTE = :P_CDCLIENTE AND "
                            "CDCONSUMIDOR = :P_CDCONSUMIDOR %2")
                 .arg(msSql ? QStringLiteral("WITH (UPDLOCK, HOLDLOCK)") : QString(),
                      msSql ? QString() : QStringLiteral("FOR UPDATE")));
    q.setParam(QStringLiteral("P_CDCLIENTE"), client);
    q.setParam(QStringLiteral("P_CDCONSUMIDOR"), consumer);
    q.open();
    return waiting.nsecsElapsed() / 1e6;
}

}  // namespace

void lockConsumer(platform::db::Connection& db, const QString& client, const QString& consumer)
{
    using platform::db::Backend;
    switch (db.backend()) {
    case Backend::SQLite:
        recordLockWait(0);  // the transaction's BEGIN IMMEDIATE did the waiting
        return;
    case Backend::PostgreSQL:
        recordLockWait(lockConsumerAdvisory(db, client, consumer));
        return;
    default:
        recordLockWait(lockConsumerRow(db, client, consumer));
        return;
    }
}

QMap<QString, CampaignBalance> balances(platform::db::Connection& db, const QString& client,
                                        const QString& consumer, const QDate& today)
{
    KeptQuery kq(db, loyaltysql::saldoConsCamp(db.dialect()));
    Query& q = *kq;
    auto field = [](const char* name, FieldType type, int size) {
        platform::FieldDef def;
        def.name = QLatin1String(name);
        def.type = type;
        def.size = size;
        return def;
    };
    q.setFieldDefs({field("CDCAMPANHA", FieldType::String, 10), field("VRPTOVOUCHER", FieldType::Float, 0),
                    field("VRSALDOCONS", FieldType::Float, 0)});
    q.setParam(QStringLiteral("P_CDCLIENTE"), client);
    q.setParam(QStringLiteral("P_CDCONSUMIDOR"), consumer);
    q.declareParam(QStringLiteral("P_DATAHOJE"), FieldType::DateTime).setValue(QDateTime(today, QTime(0, 0)));
    q.open();
    QMap<QString, CampaignBalance> result;
    for (; !q.eof(); q.next()) {
        CampaignBalance b;
        b.vouchers = q.value(1).toDouble();
        b.points = q.value(2).toDouble();
        result.insert(q.value(0).toString().trimmed(), b);
    }
    return result;
}

bool isCode(const QString& column)
{
    return column.startsWith(QLatin1String("CD")) || column.startsWith(QLatin1String("NR"));
}

namespace {

QString insertSql(const QString& table, const QList<Column>& columns)
{
    QStringList names, markers;
    for (const Column& c : columns) {
        names << c.name;
        markers << QStringLiteral(":P_") + c.name;
    }
    return QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
        .arg(table, names.join(QStringLiteral(", ")), markers.join(QStringLiteral(", ")));
}

}  // namespace

void insertRow(platform::db::Connection& db, const QString& table, const QList<Column>& columns)
{
    Command& insert = kept<Command>(db, insertSql(table, columns));
    for (const Column& c : columns) {
        QVariant v = c.value;
        if (!v.isNull()) {
            if (c.type == FieldType::DateTime) {
                const QDateTime dt = toDateTime(v);
                v = dt.isValid() ? QVariant(dt) : QVariant();
            }
            else if (platform::isTextType(c.type) && c.size > 0 && v.toString().size() > c.size) {
                if (isCode(c.name))
                    throw platform::HostError(QStringLiteral("%1.%2: o código '%3' não cabe na coluna (%4 caracteres); "
                                                             "nada foi gravado")
                                                  .arg(table, c.name, v.toString()).arg(c.size));
                v = v.toString().left(c.size);
            }
        }
        insert.declareParam(QStringLiteral("P_") + c.name, c.type, c.size).setValue(v);
    }
    insert.execute();
}

namespace {

// Work done ahead of a statement's first use. A failure leaves the statement to that use,
// which prepares it again and reports the error then, as it would have without this.
template <class F>
void ahead(F&& work)
{
    try {
        work();
    } catch (const platform::Error& e) {
        qInfo().noquote() << "possvc: preparado no primeiro uso:" << e.text();
    }
}

template <class S>
void prepareKept(platform::db::Connection& db, const QString& sql)
{
    ahead([&] { kept<S>(db, sql).prepare(); });
}

// A statement's first run on a database server also costs what preparing does not: the
// server plans it and loads what it knows of the tables and indexes it reads, and the
// driver looks up the tables of its result. The reads are run once with a key no row has
// (a blank code: codes are never blank; not null, which the server would answer without
// reading), so they read nothing and hold nothing after they end; nothing is written and
// no lock is taken.
void runReadsOnce(platform::db::Connection& db, const QList<Counter>& counters)
{
    const QString none = QStringLiteral(" ");
    ahead([&] { balances(db, none, none, QDate::currentDate()); });
    ahead([&] {
        KeptQuery q(db, counterRead(db));
        q->setParam(QStringLiteral("P_CDCONTADOR"), none);
        q->open();
    });
    for (const Counter& c : counters)
        ahead([&] { taken(db, c.table, c.column, none, none, 0); });
}

}  // namespace

void prepareCloseOut(platform::db::Connection& db, const QList<Counter>& counters,
                     const QList<QPair<QString, QList<Column>>>& inserts)
{
    if (db.backend() == platform::db::Backend::PostgreSQL) {
        ahead([&] { db.execute(QStringLiteral("SET plan_cache_mode = force_generic_plan")); });
        prepareKept<Query>(db, kAdvisoryTry);
        prepareKept<Command>(db, kAdvisoryWait);
    }
    prepareKept<Query>(db, loyaltysql::saldoConsCamp(db.dialect()));
    if (!counterReadLocks(db))
        prepareKept<Command>(db, kCounterTouch);
    prepareKept<Query>(db, counterRead(db));
    prepareKept<Command>(db, createCounterSql(db));
    for (const Counter& c : counters) {
        prepareKept<Command>(db, storeIfFreeSql(c.table, c.column));
        prepareKept<Query>(db, usedByRegister(c.table, c.column));
        prepareKept<Query>(db, highestUsedSql(c.table, c.column));
    }
    prepareKept<Command>(db, insertSql(QStringLiteral("VENDAPENDENTE"), pendingRow({}, {}, {}, {}, {}, {})));
    for (const auto& [table, columns] : inserts)
        prepareKept<Command>(db, insertSql(table, columns));
    if (db.backend() != platform::db::Backend::SQLite && !db.inTransaction())
        runReadsOnce(db, counters);
}

QDateTime toDateTime(const QVariant& value)
{
    if (value.isNull())
        return {};
    if (value.typeId() == QMetaType::QDateTime)
        return value.toDateTime();
    if (value.typeId() == QMetaType::QDate)
        return value.toDate().startOfDay();
    QDateTime dt = QDateTime::fromString(value.toString().trimmed(), Qt::ISODateWithMs);
    if (!dt.isValid())
        dt = QDateTime::fromString(value.toString().trimmed(), QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
    if (!dt.isValid())
        dt = QDateTime::fromString(value.toString().trimmed(), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    return dt;
}

}  // namespace possvc::db

namespace possvc::sim {

ConsumerLockWaits consumerLockWaits()
{
    return db::g_lockWaits;
}

}  // namespace possvc::sim
