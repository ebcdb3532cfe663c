#pragma once

#include <QString>

namespace pistel {

// The programs run from a checkout (build/tools/pistel-NAME) use the data sources of the
// private server that scripts/run.sh keeps in state/, without the operator pointing unixODBC
// at them first; ODBCINI set already wins. Returns the odbc.ini used, or empty.
QString useCheckoutDataSources(const QString& programPath);

// What to tell the operator when a data source is not found: what to run.
QString dataSourceHint(const QString& databaseMessage);

} // namespace pistel
