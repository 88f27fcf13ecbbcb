#include "outputs/formcalcrapido.h"

#include "core/datamodule.h"
#include "core/itemcalc.h"
#include "core/messages.h"
#include "core/settings.h"
#include "entry/currencyedit.h"
#include "entry/dbgrid.h"
#include "entry/dlgitem.h"
#include "entry/dlgitemcombustivel.h"
#include "outputs/dlgitemmedic.h"
#include "platform/clock.h"
#include "platform/formatting.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace stb {

namespace {

// Runs an entry command; an engine error reaches the user as a message.
template<typename Fn> void comando(Fn &&fn)
{
    try {
        fn();
    } catch (const db::EngineError &e) {
        MsgErro(e.message());
    }
}

struct WaitCursor {
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor &) = delete;
    WaitCursor &operator=(const WaitCursor &) = delete;
};

} // namespace

// ===== type dialog ===============================================================================

TFormDlgTipoCalcRapido::TFormDlgTipoCalcRapido(QWidget *parent) : TFormDlg(parent)
{
    setObjectName(QStringLiteral("TFormDlgTipoCalcRapido"));
    setWindowTitle(QStringLiteral("Cálculo Rápido - Escolha o tipo de Cálculo:"));
    auto *layout = new QVBoxLayout(body());
    auto caixa = [](QWidget *pai, const char *name, const QString &text) {
        auto *c = new QCheckBox(text, pai);
        c->setObjectName(QLatin1String(name));
        return c;
    };
    auto *tipo = new QGroupBox(QStringLiteral("Tipo de Cálculo"), body());
    auto *tipoLayout = new QGridLayout(tipo);
    dxCheckInterna = caixa(tipo, "dxCheckInterna", QStringLiteral("Operação Interna"));
    dxCheckInterestadual = caixa(tipo, "dxCheckInterestadual", QStringLiteral("Operação Interestadual"));
    tipoLayout->addWidget(dxCheckInterna, 0, 0);
    tipoLayout->addWidget(dxCheckInterestadual, 0, 1);
    static const char *const captions[]
        = {"com destino à comercialização (ICMS/ST)", "com destino a consumidor final, contribuinte do imposto (DIFAL)",
            "com destino a consumidor final, não contribuinte do imposto (DIFAL proporcional)",
            "Operações com destino a consumidor final, contribuinte ou não do imposto (FEM)"};
    m_tipos = new QButtonGroup(this);
    for (int i = 0; i < 4; ++i) {
        dxCheckTipo[i] = caixa(tipo, "", QString::fromUtf8(captions[i]));
        dxCheckTipo[i]->setObjectName(QStringLiteral("dxCheckTipo%1").arg(i + 1));
        m_tipos->addButton(dxCheckTipo[i], i + 1);
        tipoLayout->addWidget(dxCheckTipo[i], i + 1, 0, 1, 2);
    }
    m_operacao = new QButtonGroup(this);
    m_operacao->addButton(dxCheckInterna, 1);
    m_operacao->addButton(dxCheckInterestadual, 0);
    layout->addWidget(tipo);

    auto *grupo = new QGroupBox(QStringLiteral("Grupo de Mercadorias"), body());
    auto *grupoLayout = new QVBoxLayout(grupo);
    dxCheckPadrao
        = caixa(grupo, "dxCheckPadrao", QStringLiteral("Cálculo Padrão (todos os cálculos que não são Especiais)"));
    dxCheckCombustivel = caixa(grupo, "dxCheckCombustivel", QStringLiteral("Combustíveis"));
    dxCheckMedicamento = caixa(grupo, "dxCheckMedicamento", QStringLiteral("Medicamentos (Tab ABCFarma)"));
    dxCheckMedicamentoMVA = caixa(grupo, "dxCheckMedicamentoMVA", QStringLiteral("Medicamentos (MVA)"));
    m_grupos = new QButtonGroup(this);
    m_grupos->addButton(dxCheckPadrao, -1);
    m_grupos->addButton(dxCheckCombustivel, 6);
    m_grupos->addButton(dxCheckMedicamento, 13);
    m_grupos->addButton(dxCheckMedicamentoMVA, 113);
    for (QCheckBox *c : {dxCheckPadrao, dxCheckCombustivel, dxCheckMedicamento, dxCheckMedicamentoMVA})
        grupoLayout->addWidget(c);
    layout->addWidget(grupo);
    for (QButtonGroup *g : {m_tipos, m_operacao, m_grupos})
        g->setExclusive(true);
    finishCreate();
}

void TFormDlgTipoCalcRapido::mostra(const TipoCalcRapido &atual)
{
    dxCheckTipo[std::clamp(atual.tipoCalculo, 1, 4) - 1]->setChecked(true);
    (atual.opInterna ? dxCheckInterna : dxCheckInterestadual)->setChecked(true);
    QAbstractButton *g = m_grupos->button(atual.grupo);
    (g ? g : dxCheckPadrao)->setChecked(true);
}

TipoCalcRapido TFormDlgTipoCalcRapido::escolhido() const
{
    TipoCalcRapido t;
    t.tipoCalculo = std::max(1, m_tipos->checkedId());
    t.opInterna = m_operacao->checkedId() == 1;
    t.grupo = m_grupos->checkedId() == 0 ? -1 : m_grupos->checkedId();
    static const QHash<int, QString> textos {{-1, QStringLiteral("Padrão")}, {6, QStringLiteral("Combustíveis")},
        {13, QStringLiteral("Medicamentos (Tab ABCFarma)")}, {113, QStringLiteral("Medicamentos (MVA)")}};
    t.textoGrupo = textos.value(t.grupo, QStringLiteral("Padrão"));
    return t;
}

// ===== the window ================================================================================

TFormCalcRapido::TFormCalcRapido(QWidget *parent)
    : QDialog(parent),
      m_calc(std::make_unique<CalculoRapido>(&DM().TabBrelva))
{
    setObjectName(QStringLiteral("TFormCalcRapido"));
    setWindowTitle(QStringLiteral("Cálculo Rápido"));
    resize(820, 520);
    auto *layout = new QVBoxLayout(this);

    auto *cabecalho = new QHBoxLayout;
    auto rotulo = [this](const char *name) {
        auto *l = new QLabel(this);
        l->setObjectName(QLatin1String(name));
        return l;
    };
    LabelGrupo = rotulo("LabelGrupo");
    LabelTipo = rotulo("LabelTipo");
    LabelOperacao = rotulo("LabelOperacao");
    for (QLabel *l : {LabelGrupo, LabelTipo, LabelOperacao}) {
        l->setStyleSheet(QStringLiteral("QLabel { font-weight: bold; color: #000080; }"));
        cabecalho->addWidget(l);
    }
    cabecalho->addStretch(1);
    BtnNovo = new QPushButton(QStringLiteral("&Novo Cálculo"), this);
    BtnNovo->setObjectName(QStringLiteral("BtnNovo"));
    cabecalho->addWidget(BtnNovo);
    layout->addLayout(cabecalho);

    auto *botoes = new QHBoxLayout;
    auto botao = [this, botoes](const char *name, const QString &text) {
        auto *b = new QPushButton(text, this);
        b->setObjectName(QLatin1String(name));
        b->setEnabled(false);
        botoes->addWidget(b);
        return b;
    };
    botoes->addWidget(new QLabel(QStringLiteral("ITENS "), this));
    SBInclui = botao("SBInclui", QStringLiteral("Inclui"));
    SBAltera = botao("SBAltera", QStringLiteral("Altera"));
    SBExclui = botao("SBExclui", QStringLiteral("Exclui"));
    botoes->addStretch(1);
    layout->addLayout(botoes);

    dxDBGridItens = new DBGrid(this);
    dxDBGridItens->setObjectName(QStringLiteral("dxDBGridItens"));
    dxDBGridItens->setDataSet(&m_calc->MemItens);
    dxDBGridItensMedic = new DBGrid(this);
    dxDBGridItensMedic->setObjectName(QStringLiteral("dxDBGridItensMedic"));
    dxDBGridItensMedic->setDataSet(&m_calc->MemItensMedic);
    dxDBGridItensMedic->setColumns({{QStringLiteral("NroItem"), QStringLiteral("#"), 3, true, {}},
        {QStringLiteral("CodBarra"), QStringLiteral("CodBarra/SubIt"), 14, true, {}},
        {QStringLiteral("Descricao"), QStringLiteral("Descrição"), 30, true, {}},
        {QStringLiteral("Qtd"), QStringLiteral("Qtd"), 5, true, {}},
        {QStringLiteral("DebVlMerc"), QStringLiteral("Valor Merc"), 11, true, {}},
        {QStringLiteral("DebAliqICMS"), QStringLiteral("Aliq"), 6, true, {}},
        {QStringLiteral("MVA"), QStringLiteral("MVA"), 8, true, {}},
        {QStringLiteral("TotalARecolher"), QStringLiteral("ICMS a Recolher"), 13, true, {}}});
    dxDBGridItensMedic->setStretchColumn(QStringLiteral("Descricao"));
    dxDBGridItensMedic->hide();
    layout->addWidget(dxDBGridItens, 1);
    layout->addWidget(dxDBGridItensMedic, 1);

    auto *rodape = new QHBoxLayout;
    LabelFrete = new QLabel(QStringLiteral("Frete:"), this);
    LabelFrete->setObjectName(QStringLiteral("LabelFrete"));
    dxEditFrete = new CurrencyEdit(this);
    dxEditFrete->setObjectName(QStringLiteral("dxEditFrete"));
    dxEditFrete->setMaximumWidth(120);
    LabelTotal = new QLabel(QStringLiteral("Total a Recolher: "), this);
    LabelTotal->setObjectName(QStringLiteral("LabelTotal"));
    dxEditTotal = new QLineEdit(this);
    dxEditTotal->setObjectName(QStringLiteral("dxEditTotal"));
    dxEditTotal->setReadOnly(true);
    dxEditTotal->setFocusPolicy(Qt::NoFocus);
    dxEditTotal->setAlignment(Qt::AlignRight);
    dxEditTotal->setMaximumWidth(170);
    QFont negrito = dxEditTotal->font();
    negrito.setBold(true);
    dxEditTotal->setFont(negrito);
    BtnFecha = new QPushButton(QStringLiteral("&Fecha"), this);
    BtnFecha->setObjectName(QStringLiteral("BtnFecha"));
    rodape->addWidget(LabelFrete);
    rodape->addWidget(dxEditFrete);
    rodape->addSpacing(24);
    rodape->addWidget(LabelTotal);
    rodape->addWidget(dxEditTotal);
    rodape->addStretch(1);
    rodape->addWidget(BtnFecha);
    layout->addLayout(rodape);

    connect(SBInclui, &QPushButton::clicked, this, &TFormCalcRapido::SBIncluiClick);
    connect(SBAltera, &QPushButton::clicked, this, &TFormCalcRapido::SBAlteraClick);
    connect(SBExclui, &QPushButton::clicked, this, &TFormCalcRapido::SBExcluiClick);
    connect(BtnNovo, &QPushButton::clicked, this, &TFormCalcRapido::BtnNovoClick);
    connect(BtnFecha, &QPushButton::clicked, this, &QDialog::close);
    connect(dxDBGridItens, &DBGrid::rowDoubleClicked, this, &TFormCalcRapido::SBAlteraClick);
    connect(dxDBGridItensMedic, &DBGrid::rowDoubleClicked, this, &TFormCalcRapido::SBAlteraClick);
    connect(dxEditFrete, &CurrencyEdit::valueEdited, this, &TFormCalcRapido::freteAlterado);
    connect(m_calc.get(), &CalculoRapido::totalChanged, this, &TFormCalcRapido::mostraTotal);
    connect(m_calc.get(), &CalculoRapido::totalForaDoLimite, this, [this](const QString &mensagem) {
        // No capped amount is shown: the box stays empty and the user reads why.
        dxEditTotal->clear();
        MsgErro(mensagem);
    });

    m_calc->opInterna = Settings::instance().opInterna();
    LabelGrupo->setText(m_calc->textoGrupo);
    layoutGrupo(-1);
    mostraTotal(Currency());
    TimerInit = new QTimer(this);
    TimerInit->setObjectName(QStringLiteral("TimerInit"));
    TimerInit->setSingleShot(true);
    TimerInit->setInterval(100);
    connect(TimerInit, &QTimer::timeout, this, &TFormCalcRapido::EscolheTipo);
    TimerInit->start();
}

TFormCalcRapido::~TFormCalcRapido()
{
    // The grids let go of the lists before they end.
    dxDBGridItens->setDataSet(nullptr);
    dxDBGridItensMedic->setDataSet(nullptr);
}

void TFormCalcRapido::mostraTotal(Currency total)
{
    dxEditTotal->setText(FormatCurr(QStringLiteral("R$ ,0.00 ;-R$ ,0.00 "), total));
}

void TFormCalcRapido::freteAlterado()
{
    if (m_limpandoFrete)
        return;
    m_calc->frete = dxEditFrete->value();
    m_calc->calculaTotal();
}

void TFormCalcRapido::layoutGrupo(int grupo)
{
    const bool medic = CalculoRapido::grupoMedicamento(grupo);
    if (grupo == -1 || grupo == 6) {
        const bool comb = grupo == 6;
        dxDBGridItens->setColumns({{QStringLiteral("NroItem"), QStringLiteral("#"), 3, true, {}},
            {QStringLiteral("XDescricao"), QStringLiteral("Descrição Mercadoria"), 40, true, {}},
            {QStringLiteral("ValorNF"), QStringLiteral("Valor NF"), 11, true, {}},
            {comb ? QStringLiteral("Litros") : QStringLiteral("ValorIPI"),
                comb ? QStringLiteral("Litros/Kg") : QStringLiteral("Valor IPI"), 10, true, {}},
            {comb ? QStringLiteral("PMPF") : QStringLiteral("CreditoICMS"),
                comb ? QStringLiteral("PMPF") : QStringLiteral("Alíq Cred ICMS"), 13, true, {}},
            {QStringLiteral("MVA"), QStringLiteral("MVA"), 8, true, {}},
            {QStringLiteral("TotalARecolher"), QStringLiteral("ICMS a Recolher"), 13, true, {}}});
        dxDBGridItens->setStretchColumn(QStringLiteral("XDescricao"));
        LabelFrete->setText(QStringLiteral("Frete:"));
    } else if (medic) {
        LabelFrete->setText(grupo == 13 ? QStringLiteral("Crédito:") : QStringLiteral("Frete:"));
    } else {
        return; // any other code keeps the layout
    }
    dxDBGridItens->setVisible(!medic);
    dxDBGridItensMedic->setVisible(medic);
    for (QPushButton *b : {SBInclui, SBAltera, SBExclui})
        b->setEnabled(true);
}

void TFormCalcRapido::EscolheTipo()
{
    CalculoRapido &c = *m_calc;
    TipoCalcRapido antes {c.grupo == 0 ? -1 : c.grupo, c.textoGrupo, c.tipoCalculo, c.opInterna};
    TFormDlgTipoCalcRapido dlg(this);
    dlg.mostra(antes);
    if (dlg.exec() != QDialog::Accepted) {
        m_reiniciando = false;
        return;
    }
    const TipoCalcRapido novo = dlg.escolhido();
    const bool temLinhas = !c.MemItens.isEmpty() || !c.MemItensMedic.isEmpty();
    if ((novo.grupo != antes.grupo || novo.tipoCalculo != antes.tipoCalculo) && !m_reiniciando && temLinhas
        && !ConfirmaPadraoNao(
            QStringLiteral("O cálculo será reiniciado.\rTem certeza de que quer mudar o tipo de cálculo"))) {
        return; // the lines and the former kind stay
    }
    c.grupo = novo.grupo;
    c.textoGrupo = novo.textoGrupo;
    c.tipoCalculo = novo.tipoCalculo;
    c.opInterna = novo.opInterna;
    c.partilhaDIFAL = PartilhaDIFAL(Clock::today().year());
    LabelGrupo->setText(c.textoGrupo);
    LabelTipo->setText(CalculoRapido::textoTipo(c.tipoCalculo));
    LabelOperacao->setText(CalculoRapido::textoOperacao(c.opInterna));
    layoutGrupo(c.grupo);
    c.limpa();
    {
        m_limpandoFrete = true;
        dxEditFrete->setValue(Currency());
        m_limpandoFrete = false;
    }
    mostraTotal(Currency());
    m_reiniciando = false;
    SBIncluiClick();
}

void TFormCalcRapido::BtnNovoClick()
{
    const bool temLinhas = !m_calc->MemItens.isEmpty() || !m_calc->MemItensMedic.isEmpty();
    if (temLinhas && !ConfirmaPadraoNao(QStringLiteral("Este Cálculo será excluído. Continua")))
        return;
    m_reiniciando = true;
    EscolheTipo();
}

QWidget *TFormCalcRapido::paiDosDialogos()
{
    // The item dialogs are kept for the run: they belong to the main window.
    return parentWidget() ? parentWidget() : this;
}

void TFormCalcRapido::SBIncluiClick()
{
    CalculoRapido &c = *m_calc;
    const TFormDlgItemBase::Contexto ctx {c.tipoCalculo, c.grupo, !c.opInterna};
    comando([&] {
        if (CalculoRapido::grupoMedicamento(c.grupo))
            TFormDlgItemMedic::instancia(paiDosDialogos()).IncluiItemRapido(c.MemItensMedic, ctx);
        else if (c.grupo == 6)
            TFormDlgItemCombustivel::instancia(paiDosDialogos()).IncluiItemRapido(c.MemItens, ctx);
        else
            TFormDlgItem::instancia(paiDosDialogos()).IncluiItemRapido(c.MemItens, ctx);
    });
}

void TFormCalcRapido::SBAlteraClick()
{
    CalculoRapido &c = *m_calc;
    if (c.lista().isEmpty())
        return;
    const TFormDlgItemBase::Contexto ctx {c.tipoCalculo, c.grupo, !c.opInterna};
    comando([&] {
        if (CalculoRapido::grupoMedicamento(c.grupo))
            TFormDlgItemMedic::instancia(paiDosDialogos()).AlteraItemRapido(c.MemItensMedic, ctx);
        else if (c.grupo == 6)
            TFormDlgItemCombustivel::instancia(paiDosDialogos()).AlteraItemRapido(c.MemItens, ctx);
        else
            TFormDlgItem::instancia(paiDosDialogos()).AlteraItemRapido(c.MemItens, ctx);
    });
}

void TFormCalcRapido::SBExcluiClick()
{
    CalculoRapido &c = *m_calc;
    if (c.lista().isEmpty())
        return;
    if (ConfirmaPadraoNao(QStringLiteral("Quer excluir este item")))
        comando([&] { c.excluiLinha(c.lista()); });
}

void CalculoRapidoClick(QWidget *parent)
{
    std::unique_ptr<TFormCalcRapido> janela;
    {
        const WaitCursor espera;
        janela = std::make_unique<TFormCalcRapido>(parent);
    }
    janela->exec();
}

} // namespace stb
