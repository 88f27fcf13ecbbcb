// Helper of tst_inifile: writes, from a second process, each "key=value"
// argument into the given section of the given file, one write per key.
// Usage: tst_inifile_child <file> <section> key=value...
#include "platform/inifile.h"

#include <QCoreApplication>
#include <QStringList>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4)
        return 2;
    stb::IniFile ini(args[1]);
    for (qsizetype i = 3; i < args.size(); ++i) {
        const qsizetype eq = args[i].indexOf(QLatin1Char('='));
        if (eq <= 0 || !ini.writeString(args[2], args[i].left(eq), args[i].mid(eq + 1)))
            return 1;
    }
    return 0;
}
