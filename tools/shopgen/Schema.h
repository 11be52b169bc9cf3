#pragma once
// The shop database schema (schema/*.sql, carried in the tool's resources): the script of
// each backend, split into statements, and creating or dropping the shop tables.
//
// Throws platform::DatabaseError when a statement fails (the text names the statement)
// and platform::Error for a backend without a script.

#include "platform/db/Connection.h"

#include <QString>
#include <QStringList>

namespace shopgen {

// The script for a backend: "sqlite", "postgresql", "mssql" or "oracle".
QString schemaScript(const QString& name);
// The script name for an open connection's backend (dialect for ODBC connections).
QString schemaNameFor(const platform::db::Connection& connection);

// The statements of a script: '--' comments removed, split at ';' outside quotes, blank
// statements dropped, each trimmed and without its ';'.
QStringList splitStatements(const QString& script);
// The tables a script creates, in order.
QStringList tablesOf(const QString& script);

// Runs every statement of the connection's script.
void createSchema(platform::db::Connection& connection);
// The shop tables that exist already (those of the script, compared without regard to case).
QStringList existingShopTables(platform::db::Connection& connection);
// Drops the shop tables that exist.
void dropSchema(platform::db::Connection& connection);

}  // namespace shopgen
