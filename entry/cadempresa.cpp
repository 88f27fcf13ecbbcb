#include "entry/cadempresa.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace stb {

TFormDlgCadEmpresa::TFormDlgCadEmpresa(QWidget *parent) : TFormDlg(parent)
{
    setObjectName(QStringLiteral("TFormDlgCadEmpresa"));
    setWindowTitle(QStringLiteral("Cadastro da Empresa"));
    auto *grid = new QGridLayout(body());
    grid->setContentsMargins(0, 0, 0, 0);
    Label1 = new QLabel(body());
    Label1->setObjectName(QStringLiteral("Label1"));
    Label2 = new QLabel(QStringLiteral("Nome da Empresa"), body());
    Label2->setObjectName(QStringLiteral("Label2"));
    dxEdit1 = new QLineEdit(body());
    dxEdit1->setObjectName(QStringLiteral("dxEdit1"));
    dxEdit1->setReadOnly(true);
    dxEdit1->setFocusPolicy(Qt::NoFocus);
    dxEdit2 = new QLineEdit(body());
    dxEdit2->setObjectName(QStringLiteral("dxEdit2"));
    dxEdit2->setMaxLength(50);
    dxEdit2->setMinimumWidth(360);
    grid->addWidget(Label1, 0, 0);
    grid->addWidget(dxEdit1, 1, 0);
    grid->addWidget(Label2, 2, 0);
    grid->addWidget(dxEdit2, 3, 0);
    Label1->setBuddy(dxEdit1);
    Label2->setBuddy(dxEdit2);
    // The name is kept in upper case as it is typed.
    connect(dxEdit2, &QLineEdit::textEdited, this, [this](const QString &t) {
        const QString u = t.toUpper();
        if (u != t) {
            const int pos = dxEdit2->cursorPosition();
            dxEdit2->setText(u);
            dxEdit2->setCursorPosition(pos);
        }
    });
    connect(dxEdit2, &QLineEdit::textChanged, this, [this] { updateOk(); });
    finishCreate();
}

void TFormDlgCadEmpresa::setup(const QString &label, const QString &number, const QString &name)
{
    Label1->setText(label);
    dxEdit1->setText(number);
    dxEdit2->setText(name.toUpper());
    if (label.compare(QLatin1String("Masp"), Qt::CaseInsensitive) == 0) {
        setWindowTitle(QStringLiteral("Cadastro de Fiscais"));
        Label2->setText(QStringLiteral("Nome do Fiscal"));
    }
    updateOk();
    dxEdit2->setFocus();
}

void TFormDlgCadEmpresa::updateOk() { BtnOk->setEnabled(!dxEdit2->text().isEmpty()); }

bool CadastraEmpresa(const QString &label, const QString &number, QString &name, QWidget *parent)
{
    TFormDlgCadEmpresa dlg(parent);
    dlg.setup(label, number, name);
    const int result = dlg.exec();
    const QString typed = dlg.dxEdit2->text();
    if (result == QDialog::Accepted && !typed.isEmpty()) {
        name = typed;
        return true;
    }
    return false;
}

} // namespace stb
