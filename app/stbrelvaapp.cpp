// STBrelvaApp: the program (kept in the "Sys" folder of the installation and
// started by the launcher).
#include "core/datamodule.h"
#include "core/messages.h"
#include "entry/msgbox.h"
#include "entry/traducoes.h"
#include "shell/appglobals.h"
#include "shell/application.h"
#include "shell/crashreport.h"
#include "shell/mainwindow.h"
#include "shell/startup.h"

#include <QApplication>
#include <QFile>
#include <cstdio>

int main(int argc, char **argv)
{
    stb::Application app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("STBrelva"));
    QApplication::setApplicationVersion(QStringLiteral(STB_VERSION));
    // Qt's own texts (file dialogs, print preview, edit menus) in Portuguese.
    stb::InstalaTraducoesQt();
    // STB_MENSAGENS=stderr runs without message boxes: texts go to stderr and
    // questions take their default answers (headless runs and tests).
    stb::GuiMessageSink sink;
    if (qgetenv("STB_MENSAGENS") != "stderr")
        stb::setMessageSink(&sink);
    const int code = stb::ProcessStart(QApplication::arguments().mid(1));
    if (code >= 0)
        return code;
    // A fatal signal leaves a report in the user's data folder.
    stb::relatorio::instalaSinaisFatais();
    int result;
    {
        // The data module ends after the main window and before anything of
        // the engine that lives for the whole process.
        stb::DataModuleScope dataModule;
        stb::TMain main;
        // STB_SAIR_APOS_INICIO=1: print the time from process start to the end of
        // the deferred start-up and quit (the start-up benchmark).
        // The program then ends through its normal end command.
        stb::App().Desassistido = qgetenv("STB_SAIR_APOS_INICIO") == "1";
        if (stb::App().Desassistido)
            QObject::connect(
                &main, &stb::TMain::startupFinished, &app,
                [&main] {
                    std::printf("INICIO-CONCLUIDO %s\n", qPrintable(main.statusLog.value(main.statusLog.size() - 1)));
                    std::fflush(stdout);
                    main.EncerraSistema();
                },
                Qt::QueuedConnection);
        // Once the start-up is over the report carries the unit and the tables.
        QObject::connect(&main, &stb::TMain::startupFinished, &app, [] { stb::relatorio::instalaSinaisFatais(); });
        if (!stb::App().MinimizeSwitch)
            main.show();
        result = QApplication::exec();
    }
    // Copies of the updaters are removed when the program ends.
    QFile::remove(stb::App().AppDir + QStringLiteral("Atualiza.exe"));
    QFile::remove(stb::App().AppDir + QStringLiteral("NovaVersao.exe"));
    stb::setMessageSink(nullptr);
    return result;
}
