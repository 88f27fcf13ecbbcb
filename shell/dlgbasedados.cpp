#include "shell/dlgbasedados.h"

#include "core/datamodule.h"
#include "core/messages.h"
#include "core/settings.h"
#include "platform/drives.h"
#include "shell/appglobals.h"
#include "shell/mainwindow.h"
#include "shell/servidor.h"

#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

namespace stb {

namespace {
std::function<void()> g_terminate;

QString withSlash(QString d)
{
    d = QDir::fromNativeSeparators(d);
    if (!d.isEmpty() && !d.endsWith(QLatin1Char('/')))
        d += QLatin1Char('/');
    return d;
}

// A connection test (up to the connection's time limit) with the wait
// cursor, restored before any answer is shown.
TesteServidor testaComEspera(const QString &address)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const TesteServidor r = testaServidor(address);
    QApplication::restoreOverrideCursor();
    return r;
}

bool copiaPasta(const QString &from, const QString &to)
{
    for (const QFileInfo &fi : QDir(from).entryInfoList(QDir::Files)) {
        ShowStatus(QStringLiteral("Transferindo %1...").arg(fi.fileName()));
        const QString target = QDir(to).filePath(fi.fileName());
        QFile::remove(target);
        QFile src(fi.absoluteFilePath());
        if (!src.copy(target))
            throw std::runtime_error(src.errorString().toStdString());
    }
    return true;
}
} // namespace

void TFormDlgBaseDados::setTerminateHook(std::function<void()> hook) { g_terminate = std::move(hook); }

namespace {
// A shared folder as this system names it: a share of this computer on
// Windows, the folder where the share is mounted elsewhere.
QString exemploPasta()
{
    const QString dados = QDir(App().DataDir).dirName();
#ifdef Q_OS_WIN
    return QStringLiteral("\\\\%1\\%2").arg(computerName(), dados);
#else
    return QStringLiteral("/mnt/%1/%2").arg(computerName().toLower(), dados);
#endif
}
} // namespace

TFormDlgBaseDados::TFormDlgBaseDados(QWidget *parent) : TFormDlg(parent)
{
    setObjectName(QStringLiteral("TFormDlgBaseDados"));
    setWindowTitle(QStringLiteral("Base de Dados"));
    auto *grid = new QGridLayout(body());
    grid->setContentsMargins(0, 0, 0, 0);
    QString atual = QStringLiteral("Base de Dados atual: ") + App().DataDir;
    if (!App().Servidor.isEmpty())
        atual += QStringLiteral("\nTabelas no servidor: ") + App().Servidor;
    LabelAtual = new QLabel(atual, body());
    LabelAtual->setObjectName(QStringLiteral("LabelAtual"));
    LabelExemplo = new QLabel(
        QStringLiteral("A pasta precisa estar compartilhada na rede, por exemplo: ") + exemploPasta(), body());
    LabelExemplo->setObjectName(QStringLiteral("LabelExemplo"));
    LabelExemplo->setWordWrap(true);
    dxCheckNetUse
        = new QCheckBox(QStringLiteral("Usar a mesma Base de Dados para todos os computadores desta unidade"), body());
    dxCheckNetUse->setObjectName(QStringLiteral("dxCheckNetUse"));
    dxEditPasta = new QLineEdit(body());
    dxEditPasta->setObjectName(QStringLiteral("dxEditPasta"));
    dxEditPasta->setMinimumWidth(360);
    BtnProcura = new QToolButton(body());
    BtnProcura->setObjectName(QStringLiteral("BtnProcura"));
    BtnProcura->setText(QStringLiteral("..."));
    grid->addWidget(LabelAtual, 0, 0, 1, 2);
    grid->addWidget(dxCheckNetUse, 1, 0, 1, 2);
    grid->addWidget(dxEditPasta, 2, 0);
    grid->addWidget(BtnProcura, 2, 1);
    grid->addWidget(LabelExemplo, 3, 0, 1, 2);
    // The server that holds the tables instead of the folder.
    auto *labelServidor = new QLabel(QStringLiteral("Servidor PostgreSQL (opcional)"), body());
    labelServidor->setObjectName(QStringLiteral("LabelServidor"));
    dxEditServidor = new QLineEdit(body());
    dxEditServidor->setObjectName(QStringLiteral("dxEditServidor"));
    dxEditServidor->setPlaceholderText(QStringLiteral("postgresql://usuario@servidor:5432/stbrelva"));
    labelServidor->setBuddy(dxEditServidor);
    BtnTestaConexao = new QPushButton(QStringLiteral("Testar conexão"), body());
    BtnTestaConexao->setObjectName(QStringLiteral("BtnTestaConexao"));
    auto *labelSenha
        = new QLabel(QStringLiteral("As tabelas ficam no servidor; a pasta acima guarda os demais arquivos "
                                    "compartilhados. A senha vem do arquivo ~/.pgpass de cada usuário, "
                                    "nunca da configuração."),
            body());
    labelSenha->setObjectName(QStringLiteral("LabelSenha"));
    labelSenha->setWordWrap(true);
    grid->setRowMinimumHeight(4, 12);
    grid->addWidget(labelServidor, 5, 0, 1, 2);
    grid->addWidget(dxEditServidor, 6, 0);
    grid->addWidget(BtnTestaConexao, 6, 1);
    grid->addWidget(labelSenha, 7, 0, 1, 2);
    Settings &s = Settings::instance();
    const bool shared
        = !s.iniSistema().readString(QStringLiteral("Sistema"), QStringLiteral("BaseDadosPath")).isEmpty();
    dxCheckNetUse->setChecked(shared);
    dxEditPasta->setText(shared ? s.baseDadosPath() : QString());
    dxEditServidor->setText(s.baseDadosServidor());
    connect(BtnTestaConexao, &QPushButton::clicked, this, &TFormDlgBaseDados::BtnTestaConexaoClick);
    auto sync = [this] {
        dxEditPasta->setEnabled(dxCheckNetUse->isChecked());
        BtnProcura->setEnabled(dxCheckNetUse->isChecked());
    };
    connect(dxCheckNetUse, &QCheckBox::toggled, this, sync);
    sync();
    connect(BtnProcura, &QToolButton::clicked, this, [this] {
        const QString file = QFileDialog::getOpenFileName(
            this, windowTitle(), dxEditPasta->text(), QStringLiteral("Base de Dados do STBrelva (STBrelva.dat)"));
        if (!file.isEmpty())
            dxEditPasta->setText(QFileInfo(file).absolutePath());
    });
    finishCreate();
}

void TFormDlgBaseDados::terminate()
{
    MsgInformacao(
        QStringLiteral("O sistema ST/Brelva vai ser encerrado. Reinicie para utilizar a nova Base de Dados."));
    if (g_terminate) {
        g_terminate();
        return;
    }
    if (TMain *main = TMain::instance())
        main->EncerraSistema();
    else
        QCoreApplication::quit();
}

bool TFormDlgBaseDados::validaPasta(const QString &folder)
{
    if (folder.isEmpty() || folder == QLatin1String("/")) {
        MsgErro(QStringLiteral("Você deve informar a localização da Base de Dados do STBrelva."));
        return false;
    }
    if (!isNetworkPath(folder) && !folder.startsWith(QLatin1Char('\\'))) {
        switch (driveTypeOf(folder)) {
        case DriveType::Remote:
            break;
        case DriveType::NoRootDir:
            MsgErro(QStringLiteral("O disco informado não existe."));
            return false;
        case DriveType::Removable:
            MsgErro(QStringLiteral("Você não pode escolher um disco removível."));
            return false;
        case DriveType::Fixed:
        case DriveType::RamDisk:
            MsgErro(QStringLiteral("Você não pode escolher um disco local."));
            return false;
        default:
            MsgErro(QStringLiteral("Disco inválido."));
            return false;
        }
    }
    return true;
}

bool TFormDlgBaseDados::transfere(const QString &folder)
{
    if (!QDir().mkpath(folder)) {
        MsgErro(QStringLiteral("Não consegui criar a pasta informada. Escolha um outro local."));
        return false;
    }
    const QString from = App().DataDir;
    if (TDM::hasInstance())
        DM().BaseDados.close();
    copiaPasta(from, folder);
    if (QFileInfo::exists(from + QStringLiteral("ARM/ARM.dat"))) {
        QDir().mkpath(folder + QStringLiteral("ARM"));
        copiaPasta(from + QStringLiteral("ARM/"), folder + QStringLiteral("ARM/"));
    }
    if (TMain *main = TMain::instance())
        main->AbreTabelas();
    return true;
}

void TFormDlgBaseDados::BtnTestaConexaoClick()
{
    const QString address = dxEditServidor->text().trimmed();
    if (address.isEmpty()) {
        MsgAviso(QStringLiteral("Informe o endereço do servidor PostgreSQL."));
        dxEditServidor->setFocus();
        return;
    }
    // The connection is closed before the answer is shown.
    const TesteServidor r = testaComEspera(address);
    if (r.ok)
        MsgInformacao(r.texto);
    else
        MsgErro(r.texto);
}

bool TFormDlgBaseDados::validaServidor(const QString &address)
{
    const TesteServidor r = testaComEspera(address);
    if (!r.ok) {
        MsgErro(r.texto);
        dxEditServidor->setFocus();
    }
    return r.ok;
}

bool TFormDlgBaseDados::confirmaServidor(const QString &address, const QString &atual)
{
    if (address == atual)
        return true;
    if (!address.isEmpty())
        return Confirma(QStringLiteral("Confirma a mudança para a Base de Dados no servidor ") + address);
    return Confirma(
        QStringLiteral("Você optou por não usar mais o servidor PostgreSQL.\r"
                       "O sistema ST/Brelva vai utilizar as tabelas da pasta de dados. Os dados do servidor NÃO "
                       "ESTÃO SENDO COPIADOS para a pasta.\rEssa cópia deverá ser feita manualmente, se você "
                       "achar necessário.\rContinua com o processamento"));
}

void TFormDlgBaseDados::gravaServidor(const QString &address)
{
    Settings &s = Settings::instance();
    if (address.isEmpty())
        s.deleteBaseDadosServidor();
    else
        s.setBaseDadosServidor(address);
}

void TFormDlgBaseDados::BtnOkClick()
{
    Settings &s = Settings::instance();
    // The server: tested before anything is asked or written.
    const QString servidor = dxEditServidor->text().trimmed();
    const QString servidorAtual = s.baseDadosServidor();
    if (!servidor.isEmpty() && servidor != servidorAtual && !validaServidor(servidor))
        return;
    // A change of the server alone leaves the folder settings as they are.
    const bool compartilhada
        = !s.iniSistema().readString(QStringLiteral("Sistema"), QStringLiteral("BaseDadosPath")).isEmpty();
    const QString pastaDigitada = dxEditPasta->text().trimmed();
    const bool mesmaPasta = dxCheckNetUse->isChecked() == compartilhada
        && (!compartilhada || withSlash(pastaDigitada) == withSlash(s.baseDadosPath()));
    if (servidor != servidorAtual && mesmaPasta) {
        if (!confirmaServidor(servidor, servidorAtual))
            return;
        gravaServidor(servidor);
        accept();
        terminate();
        return;
    }
    if (!dxCheckNetUse->isChecked()) {
        if (!Confirma(
                QStringLiteral("Você optou por não usar mais a mesma Base de Dados com os outros computadores.\r"
                               "O sistema ST/Brelva vai utilizar o local padrão. Os arquivos de dados NÃO ESTÃO SENDO "
                               "COPIADOS para a nova pasta.\rEssa cópia deverá ser feita manualmente, se você achar "
                               "necessário.\rContinua com o processamento")))
            return;
        if (!confirmaServidor(servidor, servidorAtual))
            return;
        s.deleteBaseDadosPath();
        s.setBaseARM(false);
        gravaServidor(servidor);
        accept();
        terminate();
        return;
    }
    const QString folder = pastaDigitada.isEmpty() ? QString() : withSlash(pastaDigitada);
    if (!validaPasta(folder))
        return;
    if (!Confirma(QStringLiteral("Confirma a mudança para a nova Base de Dados")))
        return;
    if (!confirmaServidor(servidor, servidorAtual))
        return;
    // With a server the tables are not in the folder: there is nothing to transfer.
    if (servidor.isEmpty() && !QFileInfo::exists(folder + QStringLiteral("STBrelva.dat"))) {
        if (Confirma(QStringLiteral("A Base de Dados do sistema St/Brelva não foi localizada na pasta informada.\r"
                                    "Quer transferir a Base de Dados atual para esta nova pasta"))) {
            try {
                if (!transfere(folder))
                    return;
            } catch (const std::exception &e) {
                MsgErro(QString::fromUtf8(e.what()));
                return;
            }
        }
    }
    s.setLocalDrive(isLocalFolder(folder));
    s.setBaseDadosPath(folder);
    s.setBaseARM(true);
    gravaServidor(servidor);
    accept();
    terminate();
}

bool TFormDlgBaseDados::executa(QWidget *parent)
{
    TFormDlgBaseDados dlg(parent);
    return dlg.exec() == QDialog::Accepted;
}

} // namespace stb
