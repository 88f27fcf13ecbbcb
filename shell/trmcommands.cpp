#include "shell/trmcommands.h"

#include "core/arm.h"
#include "core/datamodule.h"
#include "core/edition.h"
#include "core/messages.h"
#include "core/settings.h"
#include "platform/clock.h"
#include "platform/db/types.h"
#include "platform/winmsg.h"
#include "shell/mainwindow.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QProcess>
#include <QScopeGuard>
#include <QThread>
#include <QToolButton>

namespace stb {

namespace armprograma {

namespace {

constexpr int kPollMs = 200;
constexpr int kStartTimeoutMs = 15000;

qint64 janela(const QString &nome)
{
    const std::optional<qint64> h = Settings::instance().handle(nome);
    return h && IsWindow(*h) ? *h : 0;
}

// The program's file: the configured one, or the same name without ".exe".
QString programa()
{
    const QString exe = Settings::instance().armExe();
    for (const QString &p :
        {exe, exe.endsWith(QLatin1String(".exe"), Qt::CaseInsensitive) ? exe.chopped(4) : QString()})
        if (!p.isEmpty() && QFileInfo(p).isExecutable())
            return p;
    return {};
}

} // namespace

bool disponivel() { return janela(QStringLiteral("ARM.Main")) != 0 || !programa().isEmpty(); }

bool abre()
{
    qint64 h = janela(QStringLiteral("ARM.Main"));
    if (h == 0) {
        ShowStatus(QStringLiteral("Abrindo ARM..."));
        QApplication::setOverrideCursor(Qt::WaitCursor);
        const auto volta = qScopeGuard([] {
            QApplication::restoreOverrideCursor();
            ShowStatus(QString());
        });
        const QString exe = programa();
        if (exe.isEmpty() || !QProcess::startDetached(exe, {}, QFileInfo(exe).absolutePath())) {
            MsgErro(QStringLiteral("Não consegui acessar o ARM (Erro 0)..."));
            return false;
        }
        QDeadlineTimer deadline(kStartTimeoutMs);
        while (h == 0 && !deadline.hasExpired()) {
            waitRepainting(kPollMs);
            h = janela(QStringLiteral("ARM.Main"));
        }
        if (h == 0) {
            MsgErro(QStringLiteral("Não consegui acessar o ARM (Erro 1)..."));
            return false;
        }
    }
    // A hidden or minimised window comes back to the front.
    PostMessage(h, WinMsg::WM_SYSCOMMAND, WinMsg::SC_MINIMIZE, 0);
    PostMessage(h, WinMsg::WM_SYSCOMMAND, WinMsg::SC_RESTORE, 0);
    return true;
}

bool entrega(const QString &chave)
{
    const qint64 h = janela(QStringLiteral("ARM"));
    if (h == 0) {
        MsgErro(QStringLiteral("Erro enviando %1 %2").arg(1).arg(0));
        return false;
    }
    // The document window carries the key of the document being edited.
    const std::optional<QString> editando = GetWindowText(h);
    if (editando && !editando->trimmed().isEmpty() && editando->trimmed() != chave) {
        MsgAviso(QStringLiteral("Um ARM está sendo editado. Não posso emitir o novo ARM agora..."));
        return false;
    }
    if (!editando || !SetWindowText(h, chave)) {
        MsgErro(QStringLiteral("Erro enviando %1 %2").arg(2).arg(h));
        return false;
    }
    return true;
}

} // namespace armprograma

namespace {

QString localDaTabela() { return QDir::toNativeSeparators(DM().BaseARM.directory()); }

} // namespace

TrmCommands::TrmCommands(TMain *main) : QObject(main), m_main(main)
{
    setObjectName(QStringLiteral("TrmCommands"));
    CriaARM = m_main->PopMenuTRM->addAction(QStringLiteral("Cria um ARM para este cálculo"));
    CriaARM->setObjectName(QStringLiteral("CriaARM"));
    AbreARM = m_main->PopMenuTRM->addAction(QStringLiteral("Abre o Sistema de ARM"));
    AbreARM->setObjectName(QStringLiteral("AbreARM"));
    connect(CriaARM, &QAction::triggered, this, &TrmCommands::CriaARMClick);
    connect(AbreARM, &QAction::triggered, this, &TrmCommands::AbreARMClick);
    connect(m_main->SBTrm, &QToolButton::clicked, this, &TrmCommands::SBTrmClick);
}

void TrmCommands::SBTrmClick()
{
    if (Contribuinte)
        return;
    CriaARM->setEnabled(DM().CalculoAberto());
    m_main->PopMenuTRM->popup(m_main->SBTrm->mapToGlobal(QPoint(0, m_main->SBTrm->height())));
}

void TrmCommands::CriaARMClick()
{
    if (Contribuinte || !DM().CalculoAberto())
        return;
    arm::ResultadoCriacao r;
    try {
        const arm::Contexto ctx {Settings::instance().prefixoTRM(), &IniSistema(), Clock::now()};
        r = arm::CriaARM(DM(), ctx);
    } catch (const db::EngineError &) {
        MsgErro(QStringLiteral("Não foi possível gerar o ARM..."));
        return;
    }
    if (r.chave.isEmpty())
        return; // declined: the question was the only word
    if (!armprograma::disponivel()) {
        // Without the collection-document program the record waits in its table.
        const QString onde = localDaTabela();
        MsgInformacao(r.existente ? QStringLiteral("Este cálculo já tem o ARM %1, gravado na tabela ARM da pasta\r%2\r"
                                                   "O programa de ARM não está instalado nesta estação.")
                                        .arg(r.chave, onde)
                                  : QStringLiteral("O ARM %1 foi gravado na tabela ARM da pasta\r%2\r"
                                                   "O programa de ARM não está instalado nesta estação.")
                                        .arg(r.chave, onde));
        return;
    }
    if (armprograma::abre())
        armprograma::entrega(r.chave);
}

void TrmCommands::AbreARMClick()
{
    if (Contribuinte)
        return;
    if (!armprograma::disponivel()) {
        MsgAviso(QStringLiteral(
            "O programa de ARM não está instalado nesta estação.\rOs ARM gerados ficam na tabela ARM da pasta\r%1")
                     .arg(localDaTabela()));
        return;
    }
    armprograma::abre();
}

} // namespace stb
