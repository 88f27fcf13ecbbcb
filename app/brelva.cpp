// Brelva: the annex consultation program. Started by the main program with
// "/minimize /AppDir:"<installation folder>"", it reads the annex of the data
// folder named in STBrelva.ini, registers its window as "Brelva.Main" and
// answers the requests of the main program until told to close.
#include "core/messages.h"
#include "core/settings.h"
#include "entry/msgbox.h"
#include "entry/traducoes.h"
#include "platform/annexconsult.h"
#include "shell/formbrelva.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>

namespace {

QString comBarra(const QString &dir)
{
    QString d = QDir::fromNativeSeparators(dir);
    if (!d.isEmpty() && !d.endsWith(QLatin1Char('/')))
        d += QLatin1Char('/');
    return d;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Brelva"));
    QApplication::setQuitOnLastWindowClosed(false);
    stb::InstalaTraducoesQt();
    // STB_MENSAGENS=stderr runs without a user: texts go to stderr and a
    // choice request takes the entry it points at.
    const bool semUsuario = qgetenv("STB_MENSAGENS") == "stderr";
    stb::GuiMessageSink sink;
    if (!semUsuario)
        stb::setMessageSink(&sink);

    bool minimiza = false;
    QString appDir;
    for (const QString &a : QApplication::arguments().mid(1)) {
        if (a.compare(QLatin1String("/minimize"), Qt::CaseInsensitive) == 0
            || a.compare(QLatin1String("-minimize"), Qt::CaseInsensitive) == 0) {
            minimiza = true;
        } else if (a.toUpper().startsWith(QLatin1String("/APPDIR:"))) {
            appDir = a.mid(8);
            if (appDir.startsWith(QLatin1Char('"')))
                appDir = appDir.mid(1);
            if (appDir.endsWith(QLatin1Char('"')))
                appDir.chop(1);
        }
    }
    // Without the folder: the installation above the program's "Sys" folder.
    if (appDir.isEmpty())
        appDir = QFileInfo(QApplication::applicationDirPath() + QStringLiteral("/..")).absoluteFilePath();
    appDir = comBarra(appDir);

    // One annex program per user: a running one takes the requests.
    if (stb::annex::JanelaBrelva() != 0)
        return 0;

    stb::Settings &settings = stb::Settings::instance();
    settings.openSistema(appDir);
    const QString dataDir = comBarra(settings.baseDadosPath());
    if (!QFileInfo(dataDir).isDir()) {
        stb::MsgErro(QStringLiteral("O Brelva não conseguiu abrir os dados em ") + dataDir + QLatin1Char('.'));
        stb::setMessageSink(nullptr);
        return 1;
    }
    int result = 0;
    {
        stb::TFormBrelva form(dataDir, semUsuario);
        form.registra();
        if (!minimiza)
            form.show();
        result = QApplication::exec();
    }
    stb::setMessageSink(nullptr);
    return result;
}
