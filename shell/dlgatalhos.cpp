#include "shell/dlgatalhos.h"

#include "core/edition.h"
#include "core/messages.h"
#include "core/settings.h"
#include "shell/shortcuts.h"

#include <QCheckBox>
#include <QVBoxLayout>

namespace stb {

TFormDlgAtalhos::TFormDlgAtalhos(QWidget *parent) : TFormDlg(parent)
{
    setObjectName(QStringLiteral("TFormDlgAtalhos"));
    setWindowTitle(QStringLiteral("Atalhos do Windows"));
    auto *layout = new QVBoxLayout(body());
    layout->setContentsMargins(0, 0, 0, 0);
    cbPrograms = new QCheckBox(QStringLiteral("Menu Iniciar"), body());
    cbPrograms->setObjectName(QStringLiteral("cbPrograms"));
    cbPrograms->setChecked(true);
    cbPrograms->setEnabled(false);
    cbDesktop = new QCheckBox(QStringLiteral("Área de Trabalho"), body());
    cbDesktop->setObjectName(QStringLiteral("cbDesktop"));
    cbStartup = new QCheckBox(QStringLiteral("Iniciar com o Windows"), body());
    cbStartup->setObjectName(QStringLiteral("cbStartup"));
    cbDesktopEx = new QCheckBox(QStringLiteral("Retenção de Mercadorias na Área de Trabalho"), body());
    cbDesktopEx->setObjectName(QStringLiteral("cbDesktopEx"));
    cbAllUsers = new QCheckBox(QStringLiteral("Para todos os usuários deste computador"), body());
    cbAllUsers->setObjectName(QStringLiteral("cbAllUsers"));
    for (QCheckBox *c : {cbPrograms, cbDesktop, cbStartup, cbDesktopEx, cbAllUsers})
        layout->addWidget(c);
    Settings &s = Settings::instance();
    cbDesktop->setChecked(s.link1());
    cbStartup->setChecked(s.IniAuto());
    cbDesktopEx->setChecked(s.link2());
    cbDesktopEx->setVisible(!Contribuinte && s.ExecARM());
    cbAllUsers->setChecked(s.LinkAllUsers());
    finishCreate();
}

void TFormDlgAtalhos::BtnOkClick()
{
    Settings &s = Settings::instance();
    s.setLink1(cbDesktop->isChecked());
    s.setLink2(cbDesktopEx->isChecked());
    s.IniAuto(cbStartup->isChecked() ? 1 : 0);
    s.LinkAllUsers(cbAllUsers->isChecked() ? 1 : 0);
    criaAtalhos(atalhoInicializacao(cbStartup->isChecked()));
    MsgInformacao(QStringLiteral("Processamento realizado com sucesso!"));
    accept();
}

bool TFormDlgAtalhos::executa(QWidget *parent)
{
    TFormDlgAtalhos dlg(parent);
    return dlg.exec() == QDialog::Accepted;
}

} // namespace stb
