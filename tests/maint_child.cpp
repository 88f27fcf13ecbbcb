// Second process for the maintenance fault test: runs one restructure or one
// re-creation of the data folder of an installation, and is killed by the
// test at a random moment. Commands:
//   restructure APPDIR   widens or narrows Calculos.Marca (one rebuild of the table)
//   recreate APPDIR      re-creates the data folder as if Notas.dat could not be opened
// Prints "go" when the work starts and "done" when it is over.
#include "core/datamodule.h"
#include "core/messages.h"
#include "platform/db/database.h"
#include "shell/appglobals.h"
#include "shell/dbopen.h"
#include "shell/modifystruct.h"
#include "shell/startup.h"

#include <QApplication>
#include <cstdio>

using namespace stb;

namespace {
void say(const char *text)
{
    std::printf("%s\n", text);
    std::fflush(stdout);
}
} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList a = app.arguments();
    if (a.size() < 3)
        return 2;
    RecordingSink sink;
    sink.answers = {true};
    setMessageSink(&sink);
    setStatusManutencao([](const QString &) {});
    AppGlobals &g = App();
    g.AppDir = a[2];
    g.ExeDir = g.AppDir + QStringLiteral("Sys/");
    AbreConfiguracao();
    TDM::setDefaultDataDir(g.DataDir);
    DataModuleScope escopo;
    DM().setPristineDir(g.AppDir + QStringLiteral("Sys/Dados/"));
    int codigo = 2;
    if (a[1] == QLatin1String("restructure")) {
        const db::TableDef atual = DM().BaseDados.tableDef(QStringLiteral("Calculos"));
        const int i = atual.fieldIndex(QStringLiteral("Marca"));
        const int tamanho = i >= 0 && atual.fields[i].size == 12 ? 16 : 12;
        TModifyStruct m(DM().TabCalc, false);
        m.AddField(QStringLiteral("Marca"), db::FieldType::String, -1, tamanho);
        say("go");
        codigo = m.Execute() ? 0 : 1;
    } else if (a[1] == QLatin1String("recreate")) {
        say("go");
        try {
            RecreateDatabase(g.DataDir + QStringLiteral("Notas.dat"), ArquivoDados {nullptr, QStringLiteral("teste")});
        } catch (const SilentAbort &) {
            codigo = 0;
        }
    }
    say(codigo == 0 ? "done" : "failed");
    setMessageSink(nullptr);
    return codigo;
}
