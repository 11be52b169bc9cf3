#include "host/possvc/screen/PriceLookup.h"

#include "platform/db/Query.h"

#include <QLocale>

#include <optional>

namespace possvc::sim {

namespace {

using platform::FieldDef;
using platform::FieldType;
using platform::db::Connection;
using platform::db::Query;

// The first row of a one-parameter query, or nothing. Values come converted to `fields`.
std::optional<QVariantList> firstRow(Connection& db, const QString& sql, const platform::FieldDefs& fields,
                                     const QList<QPair<QString, QString>>& params)
{
    Query q(&db);
    q.setSql(sql);
    q.setFieldDefs(fields);
    for (const auto& [name, value] : params)
        q.declareParam(name, FieldType::String).setValue(value);
    q.open();
    if (q.eof())
        return std::nullopt;
    return q.currentRow();
}

QString tableOf(Connection& db, const QString& sql, const QList<QPair<QString, QString>>& params)
{
    const auto row = firstRow(db, sql, {FieldDef::text("CDTABPRECO", 10)}, params);
    return row ? row->value(0).toString().trimmed() : QString();
}

bool isCurrent(const QVariant& start, const QVariant& end, const QDate& today)
{
    const QDateTime from = start.toDateTime();
    const QDateTime to = end.toDateTime();
    if (!start.isNull() && from.isValid() && from.date() > today)
        return false;
    if (!end.isNull() && to.isValid() && to.date() < today)
        return false;
    return true;
}

}  // namespace

QString lookUpPrice(Connection& db, const PriceRequest& r, const QDate& today)
{
    const auto product = firstRow(db, QStringLiteral("SELECT IDPRODBLOQ FROM PRODUTO WHERE CDPRODUTO = :P_CDPRODUTO"),
                                  {FieldDef::text("IDPRODBLOQ", 1)}, {{QStringLiteral("P_CDPRODUTO"), r.product}});
    if (product && product->value(0).toString().trimmed().compare(QLatin1String("S"), Qt::CaseInsensitive) == 0)
        return QString::fromLatin1(price::Blocked);

    struct Level {
        QString table;
        const char* notCurrent;
    };
    const Level levels[] = {
        {r.client.isEmpty() ? QString()
                            : tableOf(db, QStringLiteral("SELECT CDTABPRECO FROM CLIENTE WHERE CDCLIENTE = :P_CDCLIENTE"),
                                      {{QStringLiteral("P_CDCLIENTE"), r.client}}),
         price::ClientTableNotCurrent},
        {tableOf(db, QStringLiteral("SELECT CDTABPRECO FROM LOJA WHERE CDFILIAL = :P_CDFILIAL AND CDLOJA = :P_CDLOJA"),
                 {{QStringLiteral("P_CDFILIAL"), r.branch}, {QStringLiteral("P_CDLOJA"), r.shop}}),
         price::ShopTableNotCurrent},
        {tableOf(db, QStringLiteral("SELECT CDTABPRECO FROM FILIAL WHERE CDFILIAL = :P_CDFILIAL"),
                 {{QStringLiteral("P_CDFILIAL"), r.branch}}),
         price::DefaultTableNotCurrent},
    };
    bool anyTable = false;
    for (const Level& level : levels) {
        if (level.table.isEmpty())
            continue;
        anyTable = true;
        const auto table = firstRow(
            db, QStringLiteral("SELECT DTINIVGTABPR, DTFINVGTABPR FROM TABPRECO WHERE CDTABPRECO = :P_CDTABPRECO"),
            {FieldDef::dateTime("DTINIVGTABPR"), FieldDef::dateTime("DTFINVGTABPR")},
            {{QStringLiteral("P_CDTABPRECO"), level.table}});
        if (!table)
            return QString::fromLatin1(price::NoTable);
        if (!isCurrent(table->value(0), table->value(1), today))
            return QString::fromLatin1(level.notCurrent);
        const auto item = firstRow(db,
                                   QStringLiteral("SELECT VRPRECITEM FROM ITTABPRECO "
                                                  "WHERE CDTABPRECO = :P_CDTABPRECO AND CDPRODUTO = :P_CDPRODUTO"),
                                   {FieldDef::number("VRPRECITEM")},
                                   {{QStringLiteral("P_CDTABPRECO"), level.table}, {QStringLiteral("P_CDPRODUTO"), r.product}});
        if (!item || item->value(0).isNull())
            continue;  // this table does not price the product: the next level may
        const double value = item->value(0).toDouble();
        if (!(value > 0))
            return QString::fromLatin1(price::Zero);
        return priceText(value);
    }
    return QString::fromLatin1(anyTable ? price::NotRegistered : price::NoTable);
}

QString priceText(double price)
{
    QLocale locale = QLocale::system();
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(price, 'f', QLocale::FloatingPointShortest);
}

QVariantList productFiscalCodes(Connection& db, const QString& product)
{
    const auto row = firstRow(db, QStringLiteral("SELECT CDCEST, CDNCM FROM PRODUTO WHERE CDPRODUTO = :P_CDPRODUTO"),
                              {FieldDef::text("CDCEST", 7), FieldDef::text("CDNCM", 8)},
                              {{QStringLiteral("P_CDPRODUTO"), product}});
    if (!row)
        return {QString(), QString()};
    return {row->value(0).toString().trimmed(), row->value(1).toString().trimmed()};
}

}  // namespace possvc::sim
