// Child program of the error-report tests: installs the fatal-signal
// handlers as the program does and then dies of the signal named by its
// argument ("segv" or "abort").
#include "shell/appglobals.h"
#include "shell/crashreport.h"

#include <QCoreApplication>
#include <csignal>
#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    stb::App().AppDir = QCoreApplication::applicationDirPath() + QLatin1Char('/');
    stb::relatorio::instalaSinaisFatais();
    std::printf("PRONTO\n");
    std::fflush(stdout);
    const QString como = app.arguments().value(1);
    if (como == QLatin1String("abort"))
        std::abort();
    std::raise(SIGSEGV);
    return 0;
}
