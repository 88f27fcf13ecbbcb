// Subcommands of stbrelva-cli. Each returns the process exit code: 0 on
// success, 2 on bad input (with one line on stderr beginning "erro:").
#pragma once

#include <QStringList>

namespace cli {
int runCompute(const QStringList &args);
int runValidate(const QStringList &args);
int runMvaAjustada(const QStringList &args);
int runReport(const QStringList &args);
int runZlb(const QStringList &args);
int runQuick(const QStringList &args);
int runNfe(const QStringList &args);
int runDb(const QStringList &args); // in the program stbrelva-db
} // namespace cli
