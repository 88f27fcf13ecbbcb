#include "shell/dlgunidade.h"

#include "core/messages.h"
#include "core/settings.h"
#include "shell/appglobals.h"
#include "shell/mainwindow.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace stb {

QStringList TFormDlgUnidade::unidades()
{
    return {QString(), QStringLiteral("AF/1º Nível/Capital"), QStringLiteral("AF/2º Nível/Capital"),
        QStringLiteral("AF/Região Central"), QStringLiteral("AF/Região Leste"), QStringLiteral("AF/Região Norte"),
        QStringLiteral("AF/Região Oeste"), QStringLiteral("AF/Região Sul"), QStringLiteral("AF/Triângulo"),
        QStringLiteral("AF/Zona da Mata"), QStringLiteral("DF/Capital"), QStringLiteral("DF/Interior"),
        QStringLiteral("Posto Fiscal/Divisa Norte"), QStringLiteral("Posto Fiscal/Divisa Sul"),
        QStringLiteral("Posto Fiscal/Rodovia Federal"), QStringLiteral("Superintendência de Fiscalização")};
}

TFormDlgUnidade::TFormDlgUnidade(QWidget *parent) : TFormDlg(parent)
{
    setObjectName(QStringLiteral("TFormDlgUnidade"));
    setWindowTitle(QStringLiteral("Identificação"));
    auto *grid = new QGridLayout(body());
    grid->setContentsMargins(0, 0, 0, 0);
    LabelTitulo = new QLabel(QStringLiteral("ST/Brelva - Identificação da Unidade"), body());
    QFont f = LabelTitulo->font();
    f.setBold(true);
    f.setPointSizeF(f.pointSizeF() * 1.2);
    LabelTitulo->setFont(f);
    grid->addWidget(LabelTitulo, 0, 0, 1, 2);
    LabelUnidade = new QLabel(QStringLiteral("Unidade"), body());
    dxPickUnidade = new QComboBox(body());
    dxPickUnidade->setObjectName(QStringLiteral("dxPickUnidade"));
    dxPickUnidade->addItems(unidades());
    dxPickUnidade->setMinimumWidth(320);
    LabelUsuario = new QLabel(QStringLiteral("Usuário"), body());
    dxEditUsuario = new QLineEdit(body());
    dxEditUsuario->setObjectName(QStringLiteral("dxEditUsuario"));
    dxEditFone = new QLineEdit(body());
    dxEditFone->setObjectName(QStringLiteral("dxEditFone"));
    dxEditEmail = new QLineEdit(body());
    dxEditEmail->setObjectName(QStringLiteral("dxEditEmail"));
    grid->addWidget(LabelUnidade, 1, 0);
    grid->addWidget(dxPickUnidade, 1, 1);
    grid->addWidget(LabelUsuario, 2, 0);
    grid->addWidget(dxEditUsuario, 2, 1);
    grid->addWidget(new QLabel(QStringLiteral("Telefone"), body()), 3, 0);
    grid->addWidget(dxEditFone, 3, 1);
    grid->addWidget(new QLabel(QStringLiteral("Email"), body()), 4, 0);
    grid->addWidget(dxEditEmail, 4, 1);
    Settings &s = Settings::instance();
    const QString unidade = s.unidade();
    if (dxPickUnidade->findText(unidade) < 0)
        dxPickUnidade->addItem(unidade);
    dxPickUnidade->setCurrentText(unidade);
    dxEditUsuario->setText(s.usuario());
    dxEditFone->setText(s.telefone());
    dxEditEmail->setText(s.email());
    // The first keys choose the unit.
    dxPickUnidade->setFocus();
    finishCreate();
}

void TFormDlgUnidade::BtnOkClick()
{
    static const QString forbidden = QStringLiteral("\\/:*?\"<>|");
    const QString usuario = dxEditUsuario->text();
    for (const QChar c : usuario)
        if (forbidden.contains(c)) {
            dxEditUsuario->setFocus();
            MsgErro(QStringLiteral("Usuário inválido. Você não pode utilizar os caracteres \\ / : * ? \" < > | ."));
            return;
        }
    Settings::instance().setUnidade(dxPickUnidade->currentText(), usuario, dxEditFone->text(), dxEditEmail->text());
    AppGlobals &g = App();
    g.UserName = usuario;
    g.UnitName = Settings::instance().unitName();
    if (TMain *main = TMain::instance(); main && !main->StartingUp)
        main->ShowVersionStatus();
    accept();
}

bool TFormDlgUnidade::executa(QWidget *parent)
{
    TFormDlgUnidade dlg(parent);
    return dlg.exec() == QDialog::Accepted;
}

TFormDlgUnidadeContribuinte::TFormDlgUnidadeContribuinte(QWidget *parent) : TFormDlgUnidade(parent)
{
    setObjectName(QStringLiteral("TFormDlgUnidadeContribuinte"));
    setWindowTitle(QStringLiteral("Identificação do Usuário"));
    LabelTitulo->setText(QStringLiteral("ST/Brelva - Identificação do Usuário"));
    LabelUnidade->setText(QStringLiteral("Nome da Empresa"));
    LabelUsuario->setText(QStringLiteral("Contato"));
    const QString atual = dxPickUnidade->currentText();
    dxPickUnidade->clear();
    dxPickUnidade->setEditable(true);
    dxPickUnidade->setCurrentText(atual);
}

bool TFormDlgUnidadeContribuinte::executa(QWidget *parent)
{
    TFormDlgUnidadeContribuinte dlg(parent);
    return dlg.exec() == QDialog::Accepted;
}

} // namespace stb
