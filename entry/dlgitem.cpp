#include "entry/dlgitem.h"

#include "core/datamodule.h"
#include "core/edition.h"
#include "core/messages.h"
#include "core/regras.h"
#include "core/settings.h"
#include "entry/currencyedit.h"
#include "entry/dlgmvaajustada.h"
#include "platform/formatting.h"

#include <QCheckBox>
#include <QFocusEvent>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace stb {

namespace {

const QString kIncompleto = QStringLiteral("Os dados não estão completos!");
const QString kRecuo = QString(21, QLatin1Char(' '));

// Goods whose credit is limited to 7 % of the operation (basic food basket).
const QStringList &codigosCreditoLimitado()
{
    static const QStringList codes {QStringLiteral("17.028.00"), QStringLiteral("17.028.01"),
        QStringLiteral("17.065.00"), QStringLiteral("17.066.00"), QStringLiteral("17.068.00"),
        QStringLiteral("17.069.00"), QStringLiteral("17.070.00"), QStringLiteral("17.071.00"),
        QStringLiteral("17.072.00"), QStringLiteral("17.073.00"), QStringLiteral("17.074.00"),
        QStringLiteral("17.075.00")};
    return codes;
}

// value × rate / 100, the amount a field stores (the rule's own conversion).
Currency produto(Currency valor, Currency aliq) { return percentual(valor, aliq); }

} // namespace

TFormDlgItem::TFormDlgItem(QWidget *parent) : TFormDlgItemBase(parent)
{
    setObjectName(QStringLiteral("TFormDlgItem"));
    auto *outer = new QVBoxLayout(body());
    outer->setContentsMargins(0, 0, 0, 0);
    m_grade = new QGridLayout;
    m_grade->setHorizontalSpacing(8);
    outer->addLayout(m_grade);
    auto rotulo = [this](const char *name, const QString &text) {
        auto *l = new QLabel(text, body());
        l->setObjectName(QLatin1String(name));
        return l;
    };
    auto moeda = [this](const char *name, const QString &format) {
        auto *e = new CurrencyEdit(body(), format);
        e->setObjectName(QLatin1String(name));
        e->setMinimumWidth(100);
        e->setMaximumWidth(120);
        return e;
    };

    // Annex code and its description.
    LabelCodigo = rotulo("LabelCodigo", QStringLiteral("SubItem da Parte 2 do Brelva"));
    dxEditCodigo = new QLineEdit(body());
    dxEditCodigo->setObjectName(QStringLiteral("dxEditCodigo"));
    dxEditCodigo->setMaxLength(9);
    dxEditCodigo->setMaximumWidth(110);
    connect(dxEditCodigo, &QLineEdit::textEdited, this, [this](const QString &t) {
        if (t != t.toUpper()) {
            const int pos = dxEditCodigo->cursorPosition();
            dxEditCodigo->setText(t.toUpper());
            dxEditCodigo->setCursorPosition(pos);
        }
    });
    ImageBrelva = new QLabel(body());
    ImageBrelva->setObjectName(QStringLiteral("ImageBrelva"));
    ImageBrelva->setPixmap(style()->standardIcon(QStyle::SP_FileDialogDetailedView).pixmap(24, 24));
    ImageBrelva->setCursor(Qt::PointingHandCursor);
    LabelBrelva = rotulo("LabelBrelva", QStringLiteral("Clique aqui para\nabrir o Brelva"));
    LabelBrelva->setStyleSheet(QStringLiteral("QLabel { color: #0000c0; text-decoration: underline; }"));
    LabelBrelva->setCursor(Qt::PointingHandCursor);
    for (QLabel *l : {ImageBrelva, LabelBrelva})
        l->installEventFilter(this);
    auto *linhaCodigo = new QHBoxLayout;
    linhaCodigo->addWidget(dxEditCodigo);
    linhaCodigo->addSpacing(16);
    linhaCodigo->addWidget(ImageBrelva);
    linhaCodigo->addWidget(LabelBrelva);
    linhaCodigo->addStretch(1);
    m_grade->addWidget(LabelCodigo, 0, 0);
    m_grade->addLayout(linhaCodigo, 0, 1, 1, 5);
    dxEditDescricao = new QPlainTextEdit(body());
    dxEditDescricao->setObjectName(QStringLiteral("dxEditDescricao"));
    dxEditDescricao->setReadOnly(true);
    dxEditDescricao->setFocusPolicy(Qt::NoFocus);
    dxEditDescricao->setFixedHeight(fontMetrics().lineSpacing() * 3 + 12);
    dxEditDescricao->setStyleSheet(QStringLiteral("QPlainTextEdit { background: #f0f0f0; }"));
    m_grade->addWidget(dxEditDescricao, 1, 0, 1, 6);
    dxCheckDescricaoNF = new QCheckBox(QStringLiteral("Descrição NF"), body());
    dxCheckDescricaoNF->setObjectName(QStringLiteral("dxCheckDescricaoNF"));
    dxEditDescricaoNF = new QLineEdit(body());
    dxEditDescricaoNF->setObjectName(QStringLiteral("dxEditDescricaoNF"));
    dxEditDescricaoNF->setMaxLength(50);
    dxEditDescricaoNF->setEnabled(false);
    connect(dxEditDescricaoNF, &QLineEdit::textEdited, this, [this](const QString &t) {
        const int pos = dxEditDescricaoNF->cursorPosition();
        dxEditDescricaoNF->setText(t.toUpper());
        dxEditDescricaoNF->setCursorPosition(pos);
    });
    m_grade->addWidget(dxCheckDescricaoNF, 2, 0);
    m_grade->addWidget(dxEditDescricaoNF, 2, 1, 1, 5);

    // Values.
    const QString dois = QStringLiteral(",0.00");
    const QString pct = QStringLiteral(",0.00%");
    LabelValorNF = rotulo("LabelValorNF", QStringLiteral("Valor Mercadoria"));
    dxEditValorNF = moeda("dxEditValorNF", dois);
    dxCheckValorIPI = new QCheckBox(QStringLiteral("    Valor IPI"), body());
    dxCheckValorIPI->setObjectName(QStringLiteral("dxCheckValorIPI"));
    dxEditValorIPI = moeda("dxEditValorIPI", dois);
    dxEditValorIPI->setEnabled(false);
    m_grade->addWidget(LabelValorNF, 3, 0);
    m_grade->addWidget(dxEditValorNF, 3, 1);
    m_grade->addWidget(dxCheckValorIPI, 3, 2);
    m_grade->addWidget(dxEditValorIPI, 3, 3);
    LabelMVA = rotulo("LabelMVA", QStringLiteral("MVA"));
    dxEditMVA = moeda("dxEditMVA", pct);
    LabelMVAPreAjuste = rotulo("LabelMVAPreAjuste", QStringLiteral("MVA PréAjust"));
    dxEditMVAPreAjuste = moeda("dxEditMVAPreAjuste", pct);
    dxEditMVAPreAjuste->setReadOnly(true);
    dxEditMVAPreAjuste->setFocusPolicy(Qt::NoFocus);
    dxCheckFEM = new QCheckBox(QStringLiteral("Calcular FEM"), body());
    dxCheckFEM->setObjectName(QStringLiteral("dxCheckFEM"));
    m_grade->addWidget(LabelMVA, 4, 0);
    m_grade->addWidget(dxEditMVA, 4, 1);
    m_grade->addWidget(LabelMVAPreAjuste, 4, 2);
    m_grade->addWidget(dxEditMVAPreAjuste, 4, 3);
    m_grade->addWidget(dxCheckFEM, 4, 4, 1, 2);
    LabelAliqICMS = rotulo("LabelAliqICMS", QStringLiteral("CTE Interna ICMS"));
    dxEditAliqICMS = moeda("dxEditAliqICMS", pct);
    LabelCreditoICMS = rotulo("LabelCreditoICMS", QStringLiteral("CTE Créd ICMS"));
    dxEditCreditoICMS = moeda("dxEditCreditoICMS", pct);
    LabelValorCreditoICMS = rotulo("LabelValorCreditoICMS", QStringLiteral("Vlr Créd ICMS"));
    dxEditValorCreditoICMS = moeda("dxEditValorCreditoICMS", dois);
    m_grade->addWidget(LabelAliqICMS, 5, 0);
    m_grade->addWidget(dxEditAliqICMS, 5, 1);
    m_grade->addWidget(LabelCreditoICMS, 5, 2);
    m_grade->addWidget(dxEditCreditoICMS, 5, 3);
    m_grade->addWidget(LabelValorCreditoICMS, 5, 4);
    m_grade->addWidget(dxEditValorCreditoICMS, 5, 5);
    m_grade->setColumnStretch(5, 1);
    for (QLabel *l :
        {LabelValorNF, LabelMVA, LabelMVAPreAjuste, LabelAliqICMS, LabelCreditoICMS, LabelValorCreditoICMS})
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    LabelValorNF->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    LabelMVA->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    LabelAliqICMS->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    m_extras = new QVBoxLayout;
    outer->addLayout(m_extras);
    LabelObservacao = rotulo("LabelObservacao",
        QStringLiteral("Observação: o sistema realiza os cálculos com base no Valor da Mercadoria constante no \n"
                       "documento fiscal. Caso a operação tenha base de cálculo reduzida, reduza o valor da \n"
                       "mercadoria ou faça os devidos ajustes na CTE (ou alíquota) interna e/ou interestadual."));
    LabelObservacao->setStyleSheet(QStringLiteral("color: #303060;"));
    outer->addSpacing(4);
    outer->addWidget(LabelObservacao);
    outer->addWidget(LabelHint);

    setEditorCodigo(dxEditCodigo);
    m_descricao = dxEditDescricao;
    m_mva = dxEditMVA;
    m_mvaPreAjuste = dxEditMVAPreAjuste;
    m_labelMVAPreAjuste = LabelMVAPreAjuste;
    m_aliqICMS = dxEditAliqICMS;
    m_creditoICMS = dxEditCreditoICMS;
    m_fem = dxCheckFEM;

    setHint(dxEditCodigo,
        QStringLiteral("Digite o SubItem da Parte 2 do Brelva (por exemplo 17.028.00), ou só o item para consultar "
                       "a tabela.\rDigite os primeiros dígitos do código NBM para pesquisá-lo no Brelva.\r"
                       "F2 repete o item anterior; ESC finaliza as inclusões."));
    setHint(dxEditDescricaoNF,
        QStringLiteral("Descrição da mercadoria como consta na Nota Fiscal. F2 repete a do item anterior."));
    setHint(dxEditValorNF,
        QStringLiteral("Valor da mercadoria deste item (não o total da Nota Fiscal).\r"
                       "F2 repete o valor, o IPI e o crédito do item anterior."));
    setHint(dxEditValorIPI,
        QStringLiteral("Valor do IPI deste item. O sistema propõe o valor pela alíquota já usada neste "
                       "subitem."));
    setHint(dxEditMVA,
        QStringLiteral("Margem de valor agregado do subitem. Nas operações interestaduais o sistema oferece a "
                       "MVA ajustada."));
    setHint(dxEditAliqICMS, QStringLiteral("Carga tributária efetiva (alíquota) interna do ICMS desta mercadoria."));
    setHint(dxEditCreditoICMS,
        QStringLiteral("Alíquota do crédito do ICMS (interestadual ou de origem).\r"
                       "Tecle = para informar o crédito em valor."));
    setHint(dxEditValorCreditoICMS, QStringLiteral("Valor do crédito do ICMS deste item."));

    // Field rules.
    connect(dxCheckValorIPI, &QCheckBox::toggled, this, &TFormDlgItem::ipiMarcado);
    connect(dxCheckDescricaoNF, &QCheckBox::toggled, this, [this](bool marcado) {
        dxEditDescricaoNF->setEnabled(marcado);
        if (marcado && !eventsSuppressed())
            dxEditDescricaoNF->setFocus();
    });
    connect(dxEditValorIPI, &CurrencyEdit::left, this, &TFormDlgItem::aprendeIPI);
    connect(dxEditValorNF, &CurrencyEdit::valueEdited, this, &TFormDlgItem::recalculaValorCredito);
    connect(dxEditCreditoICMS, &CurrencyEdit::valueEdited, this, &TFormDlgItem::recalculaValorCredito);
    connect(dxEditValorCreditoICMS, &CurrencyEdit::valueEdited, this, [this](Currency valor) {
        if (eventsSuppressed() || dxEditValorNF->value().isZero())
            return;
        SuppressEvents guard(*this);
        dxEditCreditoICMS->setValue(AliqDoCredito(valor, dxEditValorNF->value()));
    });
    dxEditValorIPI->installEventFilter(this);
    dxEditCreditoICMS->installEventFilter(this);
    // From the code straight to the values; the invoice description is optional.
    QWidget *ordem[] = {dxEditCodigo, dxEditValorNF, dxCheckValorIPI, dxEditValorIPI, dxEditMVA, dxEditAliqICMS,
        dxEditCreditoICMS, dxEditValorCreditoICMS, dxCheckFEM, dxCheckDescricaoNF, dxEditDescricaoNF};
    for (size_t i = 1; i < std::size(ordem); ++i)
        setTabOrder(ordem[i - 1], ordem[i]);
    finishCreate();
}

void TFormDlgItem::recalculaValorCredito()
{
    if (eventsSuppressed())
        return;
    SuppressEvents guard(*this);
    dxEditValorCreditoICMS->setValue(produto(dxEditValorNF->value(), dxEditCreditoICMS->value()));
}

bool TFormDlgItem::eventFilter(QObject *o, QEvent *e)
{
    if ((o == ImageBrelva || o == LabelBrelva) && e->type() == QEvent::MouseButtonRelease) {
        postPrivate(MsgCodigo, 0);
        return true;
    }
    if (o == dxEditValorIPI && e->type() == QEvent::FocusIn)
        propoeIPI();
    if (o == dxEditCreditoICMS && e->type() == QEvent::KeyPress
        && static_cast<QKeyEvent *>(e)->text() == QLatin1String("=")) {
        CreditoPorValor();
        return true;
    }
    return TFormDlgItemBase::eventFilter(o, e);
}

void TFormDlgItem::preparaRotulos()
{
    const bool difal = contexto().difal();
    LabelAliqICMS->setText(difal ? QStringLiteral("Alíq ICMS Interna") : QStringLiteral("CTE Interna ICMS"));
    LabelCreditoICMS->setText(difal ? QStringLiteral("AlíqICMS Interest") : QStringLiteral("CTE Créd ICMS"));
}

// ---- field rules -------------------------------------------------------------------------

void TFormDlgItem::ipiMarcado(bool marcado)
{
    if (eventsSuppressed())
        return;
    if (marcado) {
        if (contexto().difal()
            && !ConfirmaPadraoNao(
                QStringLiteral("Nos cálculos de diferencial de alíquota (sem MVA), o valor do IPI deve integrar o "
                               "Valor do Produto (NF), e não ser informado neste campo.\r"
                               "Quer habilitar o campo \"Valor do IPI\""))) {
            SuppressEvents guard(*this);
            dxCheckValorIPI->setChecked(false);
            return;
        }
        dxEditValorIPI->setEnabled(true);
        dxEditValorIPI->setFocus();
        return;
    }
    dxEditValorIPI->setValue(Currency());
    dxEditValorIPI->setEnabled(false);
}

void TFormDlgItem::propoeIPI()
{
    const Currency r = Settings::instance().aliqIPI(dxEditCodigo->text().trimmed());
    if (r > Currency())
        dxEditValorIPI->setValue(produto(dxEditValorNF->value(), r));
}

void TFormDlgItem::aprendeIPI()
{
    const QString code = dxEditCodigo->text().trimmed();
    const Currency valor = dxEditValorNF->value();
    if (code.isEmpty() || valor.isZero() || !dxCheckValorIPI->isChecked())
        return;
    const Extended r = dxEditValorIPI->value().toExtended() / valor.toExtended() * 100;
    // Kept with one decimal: Trunc((r + 0.05) × 10) / 10.
    if (r > 0.1L)
        Settings::instance().setAliqIPI(
            code, Currency::fromRaw(static_cast<qint64>((r + 0.05L) * 10) * (Currency::Scale / 10)));
}

void TFormDlgItem::CreditoPorValor()
{
    FechaHint();
    if (const auto r = stb::CreditoPorValor(dxEditValorNF->value(), Settings::instance().aliqCreditoICMS(), this)) {
        dxEditCreditoICMS->setValue(*r);
        recalculaValorCredito();
    }
}

// ---- the inclusion ---------------------------------------------------------------------------

void TFormDlgItem::limpaCampos()
{
    SuppressEvents guard(*this);
    dxEditCodigo->clear();
    dxEditDescricao->clear();
    dxEditDescricaoNF->clear();
    for (CurrencyEdit *e : {dxEditAliqICMS, dxEditValorNF, dxEditValorIPI, dxEditMVA, dxEditMVAPreAjuste})
        e->setValue(Currency());
    dxEditCreditoICMS->setValue(Contribuinte ? Currency() : Settings::instance().aliqCreditoICMS());
    dxEditValorCreditoICMS->setValue(produto(dxEditValorNF->value(), dxEditCreditoICMS->value()));
    dxEditMVAPreAjuste->hide();
    LabelMVAPreAjuste->hide();
    dxCheckFEM->setChecked(false);
    IdBrelvaAtual = 0;
    m_codigoAlterado = false;
}

void TFormDlgItem::gravaCampos(db::Table &itens)
{
    auto moeda = [&itens](const char *name, Currency v) { itens.fieldByName(QLatin1String(name)).setAsCurrency(v); };
    const QString code = dxEditCodigo->text().trimmed();
    itens.fieldByName(QStringLiteral("ItemBrelva")).setAsString(code);
    itens.fieldByName(QStringLiteral("IdBrelva")).setAsInteger(code == QLatin1String("*") ? 0 : IdBrelvaAtual);
    const QString descricaoNF
        = dxCheckDescricaoNF->isChecked() ? dxEditDescricaoNF->text().trimmed().toUpper() : QString();
    if (descricaoNF.isEmpty())
        itens.fieldByName(QStringLiteral("DescricaoNF")).clear();
    else
        itens.fieldByName(QStringLiteral("DescricaoNF")).setAsString(descricaoNF);
    moeda("ValorNF", dxEditValorNF->value());
    moeda("ValorIPI", dxCheckValorIPI->isChecked() ? dxEditValorIPI->value() : Currency());
    moeda("AliqICMS", dxEditAliqICMS->value());
    moeda("MVA", dxEditMVA->value());
    moeda("MVAPreAjustada", dxEditMVAPreAjuste->value());
    moeda("CreditoICMS", dxEditCreditoICMS->value());
    moeda("ValorCreditoICMS", dxEditValorCreditoICMS->value());
    moeda("PMPF", Currency());
    moeda("Litros", Currency());
    moeda("PrecoLitroNF", Currency());
    itens.fieldByName(QStringLiteral("FEM")).setAsBoolean(dxCheckFEM->isChecked());
}

void TFormDlgItem::carregaCampos(db::Table &itens)
{
    SuppressEvents guard(*this);
    auto moeda = [&itens](const char *name) { return itens.fieldByName(QLatin1String(name)).asCurrency(); };
    const QString code = itens.fieldByName(QStringLiteral("ItemBrelva")).asString();
    dxEditCodigo->setText(code);
    IdBrelvaAtual = itens.fieldByName(QStringLiteral("IdBrelva")).asInteger();
    ItemAtual = SeparaCodigoBrelva(code).item;
    dxEditDescricao->setPlainText(kRecuo + itens.fieldByName(QStringLiteral("XDescrBrelva")).asString());
    const QString descricaoNF = itens.fieldByName(QStringLiteral("DescricaoNF")).asString();
    dxCheckDescricaoNF->setChecked(!descricaoNF.isEmpty());
    dxEditDescricaoNF->setEnabled(!descricaoNF.isEmpty());
    dxEditDescricaoNF->setText(descricaoNF);
    dxEditValorNF->setValue(moeda("ValorNF"));
    const Currency ipi = moeda("ValorIPI");
    dxCheckValorIPI->setChecked(!ipi.isZero());
    dxEditValorIPI->setEnabled(!ipi.isZero());
    dxEditValorIPI->setValue(ipi);
    dxEditAliqICMS->setValue(moeda("AliqICMS"));
    dxEditMVA->setValue(moeda("MVA"));
    const Currency pre = moeda("MVAPreAjustada");
    dxEditMVAPreAjuste->setValue(pre);
    const bool ajustada = !pre.isZero() && pre != moeda("MVA");
    dxEditMVAPreAjuste->setVisible(ajustada);
    LabelMVAPreAjuste->setVisible(ajustada);
    dxEditCreditoICMS->setValue(moeda("CreditoICMS"));
    dxEditValorCreditoICMS->setValue(moeda("ValorCreditoICMS"));
    dxCheckFEM->setChecked(itens.fieldByName(QStringLiteral("FEM")).asBoolean());
}

db::Table &TFormDlgItem::tabelaItens() const { return DM().TabItens; }

void TFormDlgItem::lembraLinha()
{
    m_ultima.existe = true;
    m_ultima.codigo = dxEditCodigo->text().trimmed();
    m_ultima.descricao = dxEditDescricao->toPlainText();
    m_ultima.descricaoNF = dxEditDescricaoNF->text();
    m_ultima.aliqICMS = dxEditAliqICMS->value();
    m_ultima.valorNF = dxEditValorNF->value();
    m_ultima.ipiMarcado = dxCheckValorIPI->isChecked();
    m_ultima.valorIPI = m_ultima.ipiMarcado ? dxEditValorIPI->value() : Currency();
    m_ultima.creditoICMS = dxEditCreditoICMS->value();
    m_ultima.mva = dxEditMVA->value();
    m_ultima.mvaPreAjuste = dxEditMVAPreAjuste->value();
    m_ultima.mvaAjustada = dxEditMVAPreAjuste->isVisibleTo(this);
    m_ultima.idBrelva = IdBrelvaAtual;
    m_ultima.item = ItemAtual;
    m_ultima.fem = dxCheckFEM->isChecked();
}

void TFormDlgItem::repeteUltima(QWidget *campo)
{
    if (!m_ultima.existe || !campo)
        return;
    SuppressEvents guard(*this);
    if (campo == dxEditDescricaoNF) {
        dxEditDescricaoNF->setText(m_ultima.descricaoNF);
    } else if (campo == dxEditValorNF) {
        dxEditValorNF->setValue(m_ultima.valorNF);
        dxEditValorIPI->setValue(m_ultima.valorIPI);
        dxEditCreditoICMS->setValue(m_ultima.creditoICMS);
        dxEditValorCreditoICMS->setValue(produto(m_ultima.valorNF, m_ultima.creditoICMS));
    } else if (campo == dxEditValorIPI) {
        dxEditValorIPI->setValue(m_ultima.valorIPI);
    } else if (campo == dxEditCreditoICMS) {
        dxEditCreditoICMS->setValue(m_ultima.creditoICMS);
        dxEditValorCreditoICMS->setValue(produto(dxEditValorNF->value(), m_ultima.creditoICMS));
    } else if (campo == dxEditCodigo) {
        // The line repeats the previous annex entry as it was applied
        // (description, margin, rates), without looking it up again.
        dxEditCodigo->setText(m_ultima.codigo);
        dxEditCodigo->selectAll();
        dxEditMVA->setValue(m_ultima.mva);
        dxEditMVAPreAjuste->setValue(m_ultima.mvaPreAjuste);
        dxEditMVAPreAjuste->setVisible(m_ultima.mvaAjustada);
        LabelMVAPreAjuste->setVisible(m_ultima.mvaAjustada);
        dxEditAliqICMS->setValue(m_ultima.aliqICMS);
        dxEditDescricao->setPlainText(m_ultima.descricao);
        dxCheckFEM->setChecked(m_ultima.fem);
        IdBrelvaAtual = m_ultima.idBrelva;
        ItemAtual = m_ultima.item;
        m_codigoAlterado = false;
    }
}

// ---- OK ---------------------------------------------------------------------------------------

void TFormDlgItem::BtnOkClick()
{
    const QString code = dxEditCodigo->text().trimmed();
    if (code != QLatin1String("*") && dxEditDescricao->toPlainText().trimmed().isEmpty()) {
        dxEditCodigo->setFocus();
        MsgErro(kIncompleto);
        return;
    }
    if (ModoCombustivel) {
        if (okCombustivel())
            accept();
        return;
    }
    const bool difal = contexto().difal();
    if (dxEditValorNF->value().isZero()) {
        dxEditValorNF->setFocus();
        MsgErro(kIncompleto);
        return;
    }
    if (dxCheckValorIPI->isChecked() && dxEditValorIPI->value().isZero()
        && !ConfirmaPadraoNao(QStringLiteral("O Valor do IPI deste item é Zero"))) {
        dxEditValorIPI->setFocus();
        return;
    }
    if (!difal && dxEditMVA->value().isZero()) {
        dxEditMVA->setFocus();
        MsgErro(kIncompleto);
        return;
    }
    if (dxEditCreditoICMS->value().isZero()
        && !ConfirmaPadraoNao(QStringLiteral("O Crédito do ICMS deste item é Zero"))) {
        dxEditCreditoICMS->setFocus();
        return;
    }
    if (!verificaCredito()) {
        dxEditCreditoICMS->setFocus();
        return;
    }
    accept();
}

bool TFormDlgItem::verificaCredito()
{
    const QString code = dxEditCodigo->text().trimmed();
    const Currency credito = dxEditCreditoICMS->value();
    if (codigosCreditoLimitado().contains(code)) {
        if (credito <= Currency::fromInt(7))
            return true;
        return ConfirmaPadraoNao(
            QStringLiteral("Pelo Regulamento do ICMS, o crédito do imposto relativo às entradas destas "
                           "mercadorias não pode ser superior a 7% do valor da operação.\r"
                           "Continua com a alíquota informada"));
    }
    Settings &s = Settings::instance();
    const Currency configurada = s.aliqCreditoICMS();
    if (s.aliqCreditoICMSAviso() && configurada > Currency() && credito != configurada)
        return ConfirmaPadraoNao(QStringLiteral("A Alíquota do Crédito do ICMS está correta"));
    return true;
}

// ---- the entry operations of the main window ------------------------------------------------

TFormDlgItemBase::FimInclusao IncluiItem(QWidget *parent) { return TFormDlgItem::instancia(parent).IncluiItem(); }
void AlteraItem(QWidget *parent) { TFormDlgItem::instancia(parent).AlteraItem(); }
void ExcluiItem(QWidget *parent) { TFormDlgItem::instancia(parent).ExcluiItem(); }

} // namespace stb
