#include "entry/dlgescolhemva.h"

#include "entry/margins.h"

#include <QButtonGroup>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace stb {

TFormDlgEscolheMVA::TFormDlgEscolheMVA(QWidget *parent) : TFormDlg(parent)
{
    setObjectName(QStringLiteral("TFormDlgEscolheMVA"));
    setWindowTitle(QStringLiteral("Escolha a MVA"));
    auto *layout = new QVBoxLayout(body());
    layout->setContentsMargins(0, 0, 0, 0);
    LabelInfo = new QLabel(body());
    LabelInfo->setObjectName(QStringLiteral("LabelInfo"));
    LabelInfo->setWordWrap(true);
    LabelInfo->setMinimumWidth(420);
    layout->addWidget(LabelInfo);
    m_grupo = new QButtonGroup(this);
    QRadioButton **botoes[] = {&RadioButton1, &RadioButton2, &RadioButton3, &RadioButton4};
    for (int i = 0; i < 4; ++i) {
        auto *b = new QRadioButton(body());
        b->setObjectName(QStringLiteral("RadioButton%1").arg(i + 1));
        m_grupo->addButton(b, i + 1);
        layout->addWidget(b);
        *botoes[i] = b;
    }
    RadioButton4->hide();
    connect(m_grupo, &QButtonGroup::idToggled, this, [this](int, bool checked) {
        if (checked)
            opcaoSelecionada();
    });
    finishCreate();
}

int TFormDlgEscolheMVA::opcao() const { return std::max(0, m_grupo->checkedId()); }

void TFormDlgEscolheMVA::mostraOpcoes(const QString &cabecalho, const QStringList &opcoes)
{
    LabelInfo->setText(cabecalho);
    QRadioButton *botoes[] = {RadioButton1, RadioButton2, RadioButton3};
    for (int i = 0; i < 3; ++i) {
        botoes[i]->setText(opcoes.value(i));
        botoes[i]->setVisible(i < opcoes.size());
    }
    RadioButton1->setChecked(true);
    opcaoSelecionada();
}

void TFormDlgEscolheMVA::opcaoSelecionada()
{
    for (QAbstractButton *b : m_grupo->buttons()) {
        QFont f = b->font();
        f.setBold(b->isChecked());
        b->setFont(f);
    }
}

TFormDlgEscolheAliquota::TFormDlgEscolheAliquota(QWidget *parent) : TFormDlgEscolheMVA(parent)
{
    setObjectName(QStringLiteral("TFormDlgEscolheAliquota"));
    setWindowTitle(QStringLiteral("Escolha uma opção"));
    dxMemo = new QPlainTextEdit(body());
    dxMemo->setObjectName(QStringLiteral("dxMemo"));
    dxMemo->setReadOnly(true);
    dxMemo->setMinimumSize(460, 80);
    dxMemo->setMaximumHeight(120);
    static_cast<QVBoxLayout *>(body()->layout())->insertWidget(0, dxMemo);
    LabelInfo->hide();
    BtnCancel->hide();
    BtnOk->setEnabled(false);
    RadioButton3->hide();
    RadioButton4->hide();
}

void TFormDlgEscolheAliquota::opcaoSelecionada()
{
    TFormDlgEscolheMVA::opcaoSelecionada();
    BtnOk->setEnabled(opcao() > 0);
}

int EscolheOpcaoMVABrelva(const QString &cabecalho, const QStringList &opcoes, QWidget *parent)
{
    TFormDlgEscolheMVA dlg(parent);
    dlg.mostraOpcoes(cabecalho, opcoes);
    return dlg.exec() == QDialog::Accepted ? dlg.opcao() : 0;
}

Currency EscolheAliquota(const QString &mensagem, QWidget *parent)
{
    const OpcoesAliquota o = InterpretaMensagemAliquota(mensagem);
    TFormDlgEscolheAliquota dlg(parent);
    dlg.dxMemo->setPlainText(o.memo);
    QRadioButton *botoes[] = {dlg.RadioButton1, dlg.RadioButton2, dlg.RadioButton3, dlg.RadioButton4};
    for (int i = 0; i < 4; ++i) {
        botoes[i]->setText(o.captions[i]);
        botoes[i]->setVisible(o.visible[i]);
    }
    const bool ok = dlg.exec() == QDialog::Accepted;
    return AliquotaEscolhida(o, ok, dlg.opcao());
}

} // namespace stb
