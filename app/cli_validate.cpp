#include "app/cli.h"

int cli::runValidate(const QStringList &) { return 2; }
int cli::runMvaAjustada(const QStringList &) { return 2; }
