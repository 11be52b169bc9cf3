// The schema scripts: statement splitting, and the four dialects describing the same
// tables with the same columns and keys.

#include "tools/shopgen/Schema.h"

#include <QMap>
#include <QRegularExpression>

#include <gtest/gtest.h>

using namespace shopgen;

TEST(SchemaScripts, SplitKeepsQuotedSemicolonsAndDropsComments)
{
    const QStringList s = splitStatements(QStringLiteral(
        "-- heading; with a semicolon\n"
        "CREATE TABLE A (X VARCHAR(3) DEFAULT ';' , Y VARCHAR(2) COLLATE \"C;\"); -- trailing\n"
        "\n;  ;\n"
        "INSERT INTO A VALUES ('it''s; fine', 'b')\n"));
    ASSERT_EQ(s.size(), 2);
    EXPECT_EQ(s.at(0), QStringLiteral("CREATE TABLE A (X VARCHAR(3) DEFAULT ';' , Y VARCHAR(2) COLLATE \"C;\")"));
    EXPECT_EQ(s.at(1), QStringLiteral("INSERT INTO A VALUES ('it''s; fine', 'b')"));
}

namespace {

// Table -> its column names, and table -> its primary key columns, from a script.
struct Shape {
    QMap<QString, QStringList> columns;
    QMap<QString, QString> keys;
    QStringList indexes;
};

Shape shapeOf(const QString& script)
{
    static const QRegularExpression table(QStringLiteral(R"(^CREATE TABLE (\w+) \((.*)\)$)"),
                                          QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression key(QStringLiteral(R"(PRIMARY KEY \(([^)]*)\))"));
    static const QRegularExpression index(QStringLiteral(R"(^CREATE INDEX (\w+) ON (\w+))"));
    Shape shape;
    for (const QString& statement : splitStatements(script)) {
        const auto t = table.match(statement);
        if (t.hasMatch()) {
            QStringList cols;
            for (const QString& line : t.captured(2).split(QLatin1Char('\n'))) {
                const QString l = line.trimmed();
                if (l.startsWith(QLatin1String("PRIMARY KEY"))) {
                    shape.keys[t.captured(1)] = key.match(l).captured(1).remove(QLatin1Char(' '));
                } else if (!l.isEmpty()) {
                    cols << l.section(QLatin1Char(' '), 0, 0);
                    if (l.contains(QLatin1String("PRIMARY KEY")))
                        shape.keys[t.captured(1)] = cols.last();
                }
            }
            shape.columns[t.captured(1)] = cols;
        }
        const auto i = index.match(statement);
        if (i.hasMatch())
            shape.indexes << i.captured(1) + QLatin1Char('@') + i.captured(2);
    }
    return shape;
}

}  // namespace

TEST(SchemaScripts, EveryDialectHasTheSameTablesColumnsKeysAndIndexes)
{
    const Shape sqlite = shapeOf(schemaScript(QStringLiteral("sqlite")));
    for (const char* tableName : {"CONSUMIDOR", "CLIENTE", "MOVPONTOCONS", "CAMPANHA", "VOUCHERVND", "ITFIDELIDADE",
                                  "VENDA", "ITVENDA", "PRODUTO", "ALIQIMPFIS", "BRINDECAMPANHA", "NOVOCODIGO",
                                  "INUTILIZANFCE", "MOVCAIXA", "TABPRECO", "ITTABPRECO", "VENDACANCELADA",
                                  "VENDAPENDENTE"})
        EXPECT_TRUE(sqlite.columns.contains(QString::fromLatin1(tableName))) << tableName;
    EXPECT_EQ(sqlite.keys.value(QStringLiteral("NOVOCODIGO")), QStringLiteral("CDCONTADOR"));
    EXPECT_EQ(sqlite.columns.value(QStringLiteral("MOVCAIXA")).size(), 44);  // the cash record's 43 fields and the register

    for (const char* dialect : {"postgresql", "mssql", "oracle"}) {
        const Shape other = shapeOf(schemaScript(QString::fromLatin1(dialect)));
        EXPECT_EQ(other.columns, sqlite.columns) << dialect;
        EXPECT_EQ(other.keys, sqlite.keys) << dialect;
        EXPECT_EQ(other.indexes, sqlite.indexes) << dialect;
    }
}

TEST(SchemaScripts, ColumnsBeyondTheStatementsAreNullableOrDefaulted)
{
    // Outside tools insert rows naming only the columns the loyalty statements use: in
    // these tables every other column must accept being left out.
    const QMap<QString, QStringList> named = {
        {"MOVPONTOCONS", {"CDCLIENTE", "CDCONSUMIDOR", "CDCAMPANHA", "IDTPMOVCONS", "VRSALDOCONS", "DTVALIDAPONTO"}},
        {"VOUCHERVND", {"CDCLIENTE", "CDCONSUMIDOR", "CDCAMPANHA", "IDUTIVOUCHER", "VRPTOVOUCHER", "DTVALVOUCHER"}},
        {"ITFIDELIDADE", {"CDCLIENTE", "CDCONSUMIDOR", "CDCAMPANHA", "CDFILIAL", "CDCAIXA", "NRSEQVENDA",
                          "IDTPOPERITFIDEL", "VRPONTOBRINDE"}},
        {"VENDA", {"CDFILIAL", "CDCAIXA", "NRSEQVENDA", "IDSITUVENDA", "IDIMPVENDA"}},
        {"INUTILIZANFCE", {"CDFILIAL", "CDCAIXA", "NRNOTAFISCALCE", "DTENTRVENDA", "CDSERIENFCE", "IDTPAMBNFCE",
                           "IDSTATUSNFCE"}},
    };
    for (const char* dialect : {"sqlite", "postgresql", "mssql", "oracle"})
        for (const QString& statement : splitStatements(schemaScript(QString::fromLatin1(dialect)))) {
            const QString table = statement.section(QLatin1Char(' '), 2, 2);
            if (!statement.startsWith(QLatin1String("CREATE TABLE")) || !named.contains(table))
                continue;
            for (const QString& line : statement.split(QLatin1Char('\n')).mid(1)) {
                const QString l = line.trimmed(), column = l.section(QLatin1Char(' '), 0, 0);
                if (l.isEmpty() || column == QLatin1String("PRIMARY") || column == QLatin1String(")")
                    || named.value(table).contains(column))
                    continue;
                EXPECT_TRUE(!l.contains(QLatin1String("NOT NULL")) || l.contains(QLatin1String("DEFAULT"))
                            || l.contains(QLatin1String("IDENTITY")))
                    << dialect << ' ' << table.toStdString() << ": " << l.toStdString();
            }
        }
}
