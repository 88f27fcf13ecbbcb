#include "entry/dlgmvaajustada.h"

#include "core/datedvalues.h"
#include "core/edition.h"
#include "core/messages.h"
#include "entry/currencyedit.h"

#include <QGridLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace stb {

bool TFormDlgMVAAjustada::NaoMostraImportada = false;

TFormDlgMVAAjustada::TFormDlgMVAAjustada(QWidget *parent) : TFormDlg(parent)
{
    setObjectName(QStringLiteral("TFormDlgMVAAjustada"));
    setWindowTitle(QStringLiteral("Cálculo da MVA Ajustada"));
    auto *outer = new QVBoxLayout(body());
    outer->setContentsMargins(0, 0, 0, 0);
    auto *grid = new QGridLayout;
    outer->addLayout(grid);
    const QString percentual = QStringLiteral(",0.00%");
    auto campo = [&](const char *name, const QString &caption, int row) {
        auto *e = new CurrencyEdit(body(), percentual);
        e->setObjectName(QLatin1String(name));
        e->setMaximumWidth(110);
        auto *l = new QLabel(caption, body());
        l->setBuddy(e);
        grid->addWidget(l, row, 0);
        grid->addWidget(e, row, 1);
        return e;
    };
    dxMVAOriginal = campo("dxMVAOriginal", QStringLiteral("MVA Original"), 0);
    dxAliqInterestadual = campo("dxAliqInterestadual", QStringLiteral("Alíquota Interestadual"), 1);
    dxAliqInterna = campo("dxAliqInterna", QStringLiteral("Alíquota Interna"), 2);
    dxMVAAjustada = campo("dxMVAAjustada", QStringLiteral("MVA Ajustada"), 3);
    dxMVAAjustada->setFocusPolicy(Qt::ClickFocus);
    dxMVAAjustada->setStyleSheet(QStringLiteral("background-color: #d4d0c8; font-weight: bold;"));
    grid->setColumnStretch(2, 1);
    dxMemo = new QPlainTextEdit(body());
    dxMemo->setObjectName(QStringLiteral("dxMemo"));
    dxMemo->setReadOnly(true);
    dxMemo->setFocusPolicy(Qt::NoFocus);
    dxMemo->setMinimumSize(520, 150);
    outer->addWidget(dxMemo);
    BtnOk->setText(QStringLiteral("Aplica"));
    BtnOk->setToolTip(QStringLiteral("Aplica a MVA Ajustada"));
    BtnCancel->setText(QStringLiteral("Não Aplica"));
    BtnCancel->setToolTip(QStringLiteral("Não aplica a MVA Ajustada"));
    TimerInit = new QTimer(this);
    TimerInit->setObjectName(QStringLiteral("TimerInit"));
    TimerInit->setInterval(100);
    TimerInit->setSingleShot(true);
    connect(TimerInit, &QTimer::timeout, this, &TFormDlgMVAAjustada::perguntaImportada);
    for (CurrencyEdit *e : {dxMVAOriginal, dxAliqInterestadual, dxAliqInterna})
        connect(e, &CurrencyEdit::valueEdited, this, [this] { calculaAjustada(); });
    connect(dxMVAAjustada, &CurrencyEdit::valueEdited, this, [this] { calculaOriginal(); });
    finishCreate();
}

void TFormDlgMVAAjustada::calculaAjustada()
{
    if (eventsSuppressed())
        return;
    SuppressEvents guard(*this);
    dxMVAAjustada->setValue(
        CalculaMVAAjustada(dxMVAOriginal->value(), dxAliqInterestadual->value(), dxAliqInterna->value()));
}

void TFormDlgMVAAjustada::calculaOriginal()
{
    if (eventsSuppressed())
        return;
    SuppressEvents guard(*this);
    dxMVAOriginal->setValue(
        CalculaMVAOriginal(dxMVAAjustada->value(), dxAliqInterestadual->value(), dxAliqInterna->value()));
}

void TFormDlgMVAAjustada::showEvent(QShowEvent *e)
{
    TFormDlg::showEvent(e);
    TimerInit->start();
}

void TFormDlgMVAAjustada::perguntaImportada()
{
    if (NaoMostraImportada || !isVisible())
        return;
    bool naoMostre = false;
    const bool sim
        = ConfirmaPadraoNaoNaoMostre(QStringLiteral("Nas operações interestaduais com mercadoria importada a alíquota "
                                                    "de crédito é 4%.\rQuer usar 4% como crédito"),
            naoMostre);
    if (sim) {
        dxAliqInterestadual->setValue(Currency::fromInt(4));
        calculaAjustada();
    }
    if (naoMostre) {
        NaoMostraImportada = true;
        MsgInformacao(QStringLiteral("Você pode alterar manualmente o crédito para 4% nos próximos ítens."));
    }
}

void TFormDlgMVAAjustada::BtnOkClick()
{
    if (dxAliqInterestadual->value() > dxAliqInterna->value()) {
        if (Confirma(
                QStringLiteral("A MVA só é ajustada quando a alíquota interna for superior à alíquota interestadual.\r"
                               "Continua sem ajustar a MVA")))
            reject();
        return;
    }
    accept();
}

ResultadoMVAAjustada MVAAjustada(
    const QString &nota, Currency mva, Currency interestadual, Currency interna, QWidget *parent)
{
    TFormDlgMVAAjustada dlg(parent);
    dlg.dxMVAOriginal->setValue(mva);
    QString texto = nota.isEmpty() ? NotaPadraoMVAAjustada() : nota;
    while (texto.startsWith(QLatin1Char('\n')) || texto.startsWith(QLatin1Char('\r')))
        texto.remove(0, 1);
    dlg.dxMemo->setPlainText(texto);
    if (!Contribuinte) {
        dlg.dxAliqInterestadual->setValue(interestadual);
        dlg.dxAliqInterna->setValue(interna);
        dlg.calculaAjustada();
    }
    const bool ok = dlg.exec() == QDialog::Accepted;
    return ResultadoDialogoMVAAjustada(ok, dlg.dxMVAAjustada->value(), dlg.dxAliqInterestadual->value());
}

TFormDlgCreditoICMS::TFormDlgCreditoICMS(QWidget *parent) : TFormDlg(parent)
{
    setObjectName(QStringLiteral("TFormDlgCreditoICMS"));
    setWindowTitle(QStringLiteral("Crédito do ICMS"));
    auto *layout = new QVBoxLayout(body());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new QLabel(
        QStringLiteral("Digite o Valor do Crédito do ICMS\nreferente ao(s) item(ns) informado(s):"), body()));
    dxCurrencyEdit = new CurrencyEdit(body());
    dxCurrencyEdit->setObjectName(QStringLiteral("dxCurrencyEdit"));
    layout->addWidget(dxCurrencyEdit);
    finishCreate();
}

std::optional<Currency> CreditoPorValor(Currency valorProduto, Currency aliqConfigurada, QWidget *parent)
{
    TFormDlgCreditoICMS dlg(parent);
    dlg.dxCurrencyEdit->setFocus();
    if (dlg.exec() != QDialog::Accepted)
        return std::nullopt;
    return AliqCreditoPorValor(dlg.dxCurrencyEdit->value(), valorProduto, aliqConfigurada);
}

} // namespace stb
