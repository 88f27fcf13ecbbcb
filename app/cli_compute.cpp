#include "app/cli.h"

int cli::runCompute(const QStringList &) { return 2; }
