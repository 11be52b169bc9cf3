#pragma once
// The ODBC drivers installed on the machine (the driver manager's list), and the one that
// serves a given engine when a connection string names none.

#include "PlatformDbExport.h"
#include "platform/db/ConnectionString.h"

#include <QString>
#include <QStringList>

namespace platform::db {

// The names of the installed ODBC drivers, as the driver manager lists them.
PLATFORM_DB_EXPORT QStringList installedOdbcDrivers();

// The driver among `installed` for `backend`: SQL Server — the vendor's "ODBC Driver NN for
// SQL Server" of the highest NN, else any whose name says "SQL Server", else FreeTDS;
// Oracle — any whose name says "Oracle". When none serves it, the usual name ("ODBC
// Driver 18 for SQL Server", "Oracle"), so that the driver manager names what is missing.
PLATFORM_DB_EXPORT QString chooseOdbcDriver(Backend backend, const QStringList& installed);

}  // namespace platform::db
