// Helper of tst_settings: writes settings from a second process.
// Usage: settings_child <appDir> <dataDir> Name=value...
// Names: Reindex (0/1), Host, AliqCreditoICMS (plain number), Estrutura
// (version marked applied), Handle (name:number, written to the registry).
#include "core/settings.h"

#include <QCoreApplication>
#include <QStringList>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4)
        return 2;
    stb::Settings &s = stb::Settings::instance();
    s.open(args[1], args[2]);
    for (qsizetype i = 3; i < args.size(); ++i) {
        const QString name = args[i].section(QLatin1Char('='), 0, 0);
        const QString value = args[i].section(QLatin1Char('='), 1);
        if (name == QLatin1String("Reindex")) {
            s.setReindex(value == QLatin1String("1"));
        } else if (name == QLatin1String("Host")) {
            s.setHost(value);
        } else if (name == QLatin1String("AliqCreditoICMS")) {
            const auto v = stb::Currency::parsePlain(value);
            if (!v)
                return 1;
            s.setAliqCreditoICMS(*v);
        } else if (name == QLatin1String("Estrutura")) {
            s.setEstruturaAplicada(value);
        } else if (name == QLatin1String("Handle")) {
            s.setHandle(value.section(QLatin1Char(':'), 0, 0), value.section(QLatin1Char(':'), 1).toLongLong());
        } else {
            return 1;
        }
    }
    return 0;
}
