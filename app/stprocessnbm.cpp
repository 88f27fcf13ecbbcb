// STProcessNBM: rebuilds the NBM product search table of the data folder,
// started by the program (kept beside it in "Sys").
//
//   STProcessNBM /Ok /Reind /AppDir="<installation>" [/Mens]   the table's own rows, reindexed
//   STProcessNBM /Ok /Mens /Create /AppDir="<installation>"    re-created from the delivered rows and the annex
//
// The data folder is the one the installation's STBrelva.ini names. Only one
// rebuild runs at a time: the tool holds semaphore 306 of STBrelva.dat while
// it works. /Mens tells the user when it is over. Each step is printed on
// standard output and shown in a small window when there is a display.
// Exit status: 0 done, 1 failed, 2 bad command line.
#include "core/messages.h"
#include "core/produtosnbm.h"
#include "core/settings.h"
#include "entry/msgbox.h"
#include "platform/db/database.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>
#include <QWidget>
#include <cstdio>
#include <memory>

using namespace stb;

namespace {

bool temChave(const QStringList &args, const char *nome)
{
    for (const QString &a : args)
        if (a.compare(QLatin1String(nome), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

QString pastaInstalacao(const QStringList &args)
{
    for (const QString &a : args) {
        if (!a.startsWith(QLatin1String("/AppDir="), Qt::CaseInsensitive))
            continue;
        QString dir = a.mid(8);
        if (dir.startsWith(QLatin1Char('"')))
            dir = dir.mid(1);
        if (dir.endsWith(QLatin1Char('"')))
            dir.chop(1);
        dir = QDir::fromNativeSeparators(dir);
        if (!dir.isEmpty() && !dir.endsWith(QLatin1Char('/')))
            dir += QLatin1Char('/');
        return dir;
    }
    return {};
}

// The window that follows the work.
class JanelaProgresso : public QWidget {
public:
    JanelaProgresso()
    {
        setObjectName(QStringLiteral("FormProcessNBM"));
        setWindowTitle(QStringLiteral("Produtos NBM"));
        auto *layout = new QVBoxLayout(this);
        Texto = new QLabel(this);
        Barra = new QProgressBar(this);
        Barra->setRange(0, 100);
        layout->addWidget(Texto);
        layout->addWidget(Barra);
        setFixedSize(420, 80);
    }
    QLabel *Texto;
    QProgressBar *Barra;
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments().mid(1);
    GuiMessageSink sink;
    if (qgetenv("STB_MENSAGENS") != "stderr")
        setMessageSink(&sink);
    const auto fim = [](int codigo) {
        setMessageSink(nullptr);
        return codigo;
    };
    const bool reindexa = temChave(args, "/Reind");
    const bool cria = temChave(args, "/Create");
    const QString appDir = pastaInstalacao(args);
    if (!temChave(args, "/Ok") || reindexa == cria || appDir.isEmpty()) {
        std::fprintf(stderr, "uso: STProcessNBM /Ok (/Reind | /Create) /AppDir=\"pasta\" [/Mens]\n");
        return fim(2);
    }
    const bool avisa = temChave(args, "/Mens");

    Settings &s = Settings::instance();
    s.openSistema(appDir);
    QString dataDir = s.baseDadosPath();
    if (!dataDir.endsWith(QLatin1Char('/')))
        dataDir += QLatin1Char('/');
    s.openDados(dataDir);

    std::unique_ptr<JanelaProgresso> janela;
    if (QGuiApplication::platformName() != QLatin1String("offscreen")) {
        janela = std::make_unique<JanelaProgresso>();
        janela->show();
    }
    const auto mostra = [&janela](const QString &texto, int percent) {
        std::printf("%s\n", qPrintable(texto));
        std::fflush(stdout);
        if (janela) {
            janela->Texto->setText(texto);
            janela->Barra->setValue(percent);
            QCoreApplication::processEvents();
        }
    };

    int codigo = 0;
    {
        db::Database base;
        base.setDirectory(dataDir);
        db::Session &sessao = base.session();
        sessao.lockRetryCount = 100; // the program that started the tool lets go of it at once
        sessao.lockWaitTime = 100;
        try {
            if (!base.tableExists(QStringLiteral("STBrelva"))
                || !base.lockSemaphore(QStringLiteral("STBrelva"), nbm::SemaforoReindexacao)) {
                MsgAviso(QStringLiteral("Os produtos NBM estão sendo reindexados neste momento..."));
                return fim(1);
            }
            const qint64 linhas = nbm::reconstroi(base, cria ? nbm::Modo::Cria : nbm::Modo::Reindexa,
                appDir + QStringLiteral("Sys/Dados/"),
                [&mostra](const QString &passo, int percent) { mostra(nbm::textoProgresso(passo, percent), percent); });
            std::printf("%lld produtos\n", static_cast<long long>(linhas));
            base.unlockSemaphore(QStringLiteral("STBrelva"), nbm::SemaforoReindexacao);
            if (cria)
                QFile::remove(appDir + QStringLiteral("NBM-Start.txt"));
            janela.reset();
            if (avisa)
                MsgInformacao(cria ? QStringLiteral("A Consulta de Produtos por NBM está disponível.")
                                   : QStringLiteral("Reindexação dos Produtos NBM encerrada!"));
        } catch (const db::EngineError &e) {
            janela.reset();
            MsgErro(QStringLiteral("Não consegui reindexar os Produtos NBM (%1 - código %2).")
                        .arg(e.message())
                        .arg(e.code()));
            codigo = 1;
        }
    }
    return fim(codigo);
}
