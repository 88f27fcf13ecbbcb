#include "entry/dlgitemcombustivel.h"

#include "core/datamodule.h"
#include "core/grupos.h"
#include "core/messages.h"
#include "core/settings.h"
#include "entry/currencyedit.h"
#include "platform/formatting.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace stb {

namespace {

const QString kIncompleto = QStringLiteral("Os dados não estão completos!");

// The fuels with a published price, by annex item and extension.
struct Combustivel {
    const char *prefixo;
    const char *coluna;
    bool kgs;
    bool precoLitro;
};
constexpr Combustivel kCombustiveis[] = {
    {"06.001", "PMPFAlcool", false, true}, // hydrated ethanol
    {"06.002", "PMPFGasolina", false, false}, // automotive gasoline
    {"06.004", "PMPFQav", false, false}, // aviation kerosene
    {"06.005", "PMPFDiesel", false, false}, // diesel oil
    {"06.007", "PMPFGlp", true, false}, // liquefied petroleum gas
};

// The fuel sub-items of the annex in two columns, for the hint of the code.
QString listaCombustiveis()
{
    QStringList linhas;
    try {
        db::Query q(&DM().BaseDados);
        q.setSql(QStringLiteral(
            "SELECT ITEM, EX, SUBITEM, DESCRICAO FROM BRELVA WHERE ITEM = 6 AND AMBITO <> 0 ORDER BY ID"));
        q.open();
        for (q.first(); !q.eof(); q.next()) {
            // One line per sub-item: long descriptions are cut.
            QString descricao = q.field(3).asString();
            if (descricao.size() > 38)
                descricao = descricao.left(37).trimmed() + QChar(0x2026);
            linhas << FormataCodigoBrelva(q.field(0).asInteger(), q.field(1).asInteger(), q.field(2).asInteger())
                    + QStringLiteral(" - ") + descricao;
        }
        q.close();
    } catch (const db::EngineError &) {
        // Without the annex the hint only says what to type.
    }
    QString html = QStringLiteral("<p style=\"margin:0\">Digite o SubItem do combustível (item 06 do Brelva); "
                                  "ESC finaliza as inclusões.</p><table cellspacing=\"0\" cellpadding=\"0\">");
    const qsizetype metade = (linhas.size() + 1) / 2;
    for (qsizetype i = 0; i < metade; ++i)
        html += QStringLiteral("<tr><td style=\"white-space:nowrap\">%1</td><td width=\"16\"></td>"
                               "<td style=\"white-space:nowrap\">%2</td></tr>")
                    .arg(linhas.at(i).toHtmlEscaped(), linhas.value(i + metade).toHtmlEscaped());
    return html + QStringLiteral("</table>");
}

} // namespace

CombustivelPMPF ColunaPMPF(const QString &code)
{
    CombustivelPMPF c;
    const CodigoBrelva partes = SeparaCodigoBrelva(code);
    const QString prefixo = FormataCodigoBrelva(partes.item, partes.ex, 0).left(6);
    for (const Combustivel &k : kCombustiveis)
        if (partes.item == Grupo::Combustiveis && prefixo == QLatin1String(k.prefixo)) {
            c.coluna = QLatin1String(k.coluna);
            c.kgs = k.kgs;
            c.precoLitro = k.precoLitro;
        }
    return c;
}

PMPFVigente PMPFEmVigor(db::Database &base, const QString &coluna, const QDate &emissao)
{
    PMPFVigente v;
    db::Query q(&base);
    q.setSql(QStringLiteral("SELECT ATOCOTEPE, VIGENCIA%1 FROM PMPF ORDER BY VIGENCIA DESC")
                 .arg(coluna.isEmpty() ? QString() : QStringLiteral(", ") + coluna));
    q.open();
    // The acts stand latest first: the first one not later than the issue date is in force.
    for (q.first(); !q.eof(); q.next()) {
        const QDate vigencia = q.field(1).asDate();
        if (vigencia > emissao)
            continue;
        v.achou = true;
        v.ato = q.field(0).asString();
        v.vigencia = vigencia;
        if (!coluna.isEmpty())
            v.preco = q.field(2).asCurrency();
        break;
    }
    q.close();
    return v;
}

TFormDlgItemCombustivel::TFormDlgItemCombustivel(QWidget *parent) : TFormDlgItem(parent)
{
    setObjectName(QStringLiteral("TFormDlgItemCombustivel"));
    ModoCombustivel = true;
    dxCheckDescricaoNF->hide();
    dxEditDescricaoNF->hide();

    auto *grade = new QGridLayout;
    grade->setHorizontalSpacing(8);
    m_extras->addLayout(grade);
    auto moeda = [this](const char *name, const QString &format) {
        auto *e = new CurrencyEdit(body(), format);
        e->setObjectName(QLatin1String(name));
        e->setMinimumWidth(100);
        e->setMaximumWidth(120);
        return e;
    };
    LabelLitros = new QLabel(QStringLiteral("Litros"), body());
    LabelLitros->setObjectName(QStringLiteral("LabelLitros"));
    dxEditLitros = moeda("dxEditLitros", QStringLiteral(",0.00"));
    LabelPMPF = new QLabel(QStringLiteral("PMPF"), body());
    LabelPMPF->setObjectName(QStringLiteral("LabelPMPF"));
    dxEditPMPF = moeda("dxEditPMPF", QStringLiteral(",0.0000"));
    LabelPrecoLitroNF = new QLabel(QStringLiteral("Preço Litro na NF"), body());
    LabelPrecoLitroNF->setObjectName(QStringLiteral("LabelPrecoLitroNF"));
    dxEditPrecoLitroNF = moeda("dxEditPrecoLitroNF", QStringLiteral(",0.00"));
    grade->addWidget(LabelLitros, 0, 0);
    grade->addWidget(dxEditLitros, 0, 1);
    grade->addWidget(LabelPMPF, 0, 2, Qt::AlignRight);
    grade->addWidget(dxEditPMPF, 0, 3);
    grade->addWidget(LabelPrecoLitroNF, 0, 4, Qt::AlignRight);
    grade->addWidget(dxEditPrecoLitroNF, 0, 5);
    grade->setColumnStretch(6, 1);
    // The quantity stands in the first column, below the values of the base dialog.
    grade->setColumnMinimumWidth(0, LabelCodigo->sizeHint().width());
    LabelAtoCotepe = new QLabel(body());
    LabelAtoCotepe->setObjectName(QStringLiteral("LabelAtoCotepe"));
    LabelAtoCotepe->setStyleSheet(QStringLiteral("color: #8b0000; font-weight: bold;"));
    m_extras->addWidget(LabelAtoCotepe);
    // From the code to the quantity (or to the product value of a line by MVA).
    QWidget *ordem[] = {dxEditCodigo, dxEditValorNF, dxEditLitros, dxEditPMPF, dxEditPrecoLitroNF, dxCheckValorIPI,
        dxEditValorIPI, dxEditMVA, dxEditAliqICMS, dxEditCreditoICMS, dxEditValorCreditoICMS, dxCheckFEM};
    for (size_t i = 1; i < std::size(ordem); ++i)
        setTabOrder(ordem[i - 1], ordem[i]);

    const QString lista = listaCombustiveis();
    setHint(dxEditCodigo, lista);
    // The panel keeps the height of the list, so the dialog does not jump.
    LabelHint->setMinimumHeight(
        fontMetrics().lineSpacing() * (static_cast<int>(lista.count(QLatin1String("<tr>"))) + 1) + 14);
    setHint(dxEditLitros, QStringLiteral("Quantidade do combustível na Nota Fiscal (litros, ou quilos para o GLP)."));
    setHint(dxEditPrecoLitroNF,
        QStringLiteral("Preço por litro constante na Nota Fiscal: dá o crédito do ICMS do álcool "
                       "hidratado."));
}

QDate TFormDlgItemCombustivel::dataEmissao() const
{
    // The quick calculation has no invoice: the latest act (the first row) is used.
    if (modoRapido())
        return QDate(9999, 12, 31);
    db::Table &notas = DM().TabNotas;
    if (!notas.isActive() || notas.isEmpty())
        return {};
    return notas.fieldByName(QStringLiteral("DataEmissao")).asDate();
}

void TFormDlgItemCombustivel::aposCodigo() { aplicaPMPF(true); }

bool TFormDlgItemCombustivel::ofereceMVAAjustada(const QString &code) const
{
    // A fuel priced by PMPF takes no MVA (its field is disabled).
    const PMPFVigente v = PMPFEmVigor(DM().BaseDados, ColunaPMPF(code).coluna, dataEmissao());
    return !(v.achou && v.preco > Currency());
}

void TFormDlgItemCombustivel::aplicaPMPF(bool ajustaCredito)
{
    const QString code = dxEditCodigo->text().trimmed();
    const CombustivelPMPF comb = ColunaPMPF(code);
    LabelLitros->setText(comb.kgs ? QStringLiteral("Kgs") : QStringLiteral("Litros"));
    LabelPrecoLitroNF->setEnabled(comb.precoLitro);
    dxEditPrecoLitroNF->setEnabled(comb.precoLitro);
    if (!comb.precoLitro)
        dxEditPrecoLitroNF->setValue(Currency());
    const PMPFVigente v = PMPFEmVigor(DM().BaseDados, comb.coluna, dataEmissao());
    const Currency preco = v.achou ? v.preco : Currency();
    dxEditPMPF->setValue(preco);
    QWidget *foco = focusWidget();
    const bool porPMPF = preco > Currency();
    if (!porPMPF) {
        LabelAtoCotepe->clear();
    } else {
        LabelAtoCotepe->setText(
            QStringLiteral("Ato COTEPE: Nro \"%1\" a partir de %2.").arg(v.ato, DateToStr(v.vigencia)));
    }
    for (QWidget *w : {static_cast<QWidget *>(LabelValorNF), static_cast<QWidget *>(dxEditValorNF),
             static_cast<QWidget *>(LabelMVA), static_cast<QWidget *>(dxEditMVA)})
        w->setEnabled(!porPMPF);
    for (QWidget *w : {static_cast<QWidget *>(LabelPMPF), static_cast<QWidget *>(dxEditPMPF),
             static_cast<QWidget *>(LabelLitros), static_cast<QWidget *>(dxEditLitros)})
        w->setEnabled(porPMPF);
    {
        SuppressEvents guard(*this);
        if (!porPMPF && foco == dxEditLitros)
            dxEditValorNF->setFocus();
        else if (porPMPF && foco == dxEditValorNF)
            dxEditLitros->setFocus();
    }
    if (ajustaCredito) {
        const bool credita = comb.precoLitro && (dxEditPrecoLitroNF->isEnabled() || dxEditValorNF->isEnabled());
        dxEditCreditoICMS->setValue(credita ? Settings::instance().aliqCreditoICMS() : Currency());
        recalculaValorCredito();
    }
}

bool TFormDlgItemCombustivel::okCombustivel()
{
    if (dxEditLitros->isEnabled() && dxEditLitros->value().isZero()) {
        dxEditLitros->setFocus();
        MsgErro(kIncompleto);
        return false;
    }
    if (dxEditPrecoLitroNF->isEnabled() && dxEditPrecoLitroNF->value().isZero()
        && !ConfirmaPadraoNao(QStringLiteral("O Preço por Litro na NF deste item é Zero"))) {
        dxEditPrecoLitroNF->setFocus();
        return false;
    }
    if (!contexto().difal() && dxEditMVA->isEnabled() && dxEditMVA->value().isZero()) {
        dxEditMVA->setFocus();
        MsgErro(kIncompleto);
        return false;
    }
    return true;
}

void TFormDlgItemCombustivel::limpaCampos()
{
    TFormDlgItem::limpaCampos();
    SuppressEvents guard(*this);
    for (CurrencyEdit *e : {dxEditLitros, dxEditPMPF, dxEditPrecoLitroNF})
        e->setValue(Currency());
    LabelAtoCotepe->clear();
    LabelLitros->setText(QStringLiteral("Litros"));
    // Until a code is known the line is expected to be priced by PMPF.
    for (QWidget *w : {static_cast<QWidget *>(LabelValorNF), static_cast<QWidget *>(dxEditValorNF),
             static_cast<QWidget *>(LabelMVA), static_cast<QWidget *>(dxEditMVA),
             static_cast<QWidget *>(LabelPrecoLitroNF), static_cast<QWidget *>(dxEditPrecoLitroNF)})
        w->setEnabled(false);
    for (QWidget *w : {static_cast<QWidget *>(LabelLitros), static_cast<QWidget *>(dxEditLitros),
             static_cast<QWidget *>(LabelPMPF), static_cast<QWidget *>(dxEditPMPF)})
        w->setEnabled(true);
}

void TFormDlgItemCombustivel::gravaCampos(db::Table &itens)
{
    TFormDlgItem::gravaCampos(itens);
    auto moeda = [&itens](const char *name, Currency v) { itens.fieldByName(QLatin1String(name)).setAsCurrency(v); };
    moeda("Litros", dxEditLitros->isEnabled() ? dxEditLitros->value() : Currency());
    moeda("PMPF", dxEditPMPF->isEnabled() ? dxEditPMPF->value() : Currency());
    moeda("PrecoLitroNF", dxEditPrecoLitroNF->isEnabled() ? dxEditPrecoLitroNF->value() : Currency());
}

void TFormDlgItemCombustivel::carregaCampos(db::Table &itens)
{
    TFormDlgItem::carregaCampos(itens);
    {
        SuppressEvents guard(*this);
        dxEditLitros->setValue(itens.fieldByName(QStringLiteral("Litros")).asCurrency());
        dxEditPrecoLitroNF->setValue(itens.fieldByName(QStringLiteral("PrecoLitroNF")).asCurrency());
    }
    aplicaPMPF(false);
}

TFormDlgItemBase::FimInclusao IncluiItemCombustivel(QWidget *parent)
{
    return TFormDlgItemCombustivel::instancia(parent).IncluiItem();
}

void AlteraItemCombustivel(QWidget *parent) { TFormDlgItemCombustivel::instancia(parent).AlteraItem(); }

void ExcluiItemCombustivel(QWidget *parent) { TFormDlgItemCombustivel::instancia(parent).ExcluiItem(); }

} // namespace stb
