#include "outputs/dlgitemmedic.h"

#include "core/datamodule.h"
#include "core/datedvalues.h"
#include "core/edition.h"
#include "core/grupos.h"
#include "core/messages.h"
#include "core/regras.h"
#include "core/settings.h"
#include "entry/currencyedit.h"
#include "entry/dlgmvaajustada.h"
#include "outputs/dlgescolhemedic.h"
#include "outputs/medic.h"
#include "platform/formatting.h"
#include "platform/inifile.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStyle>
#include <QVBoxLayout>

namespace stb {

namespace {

const QString kIncompleto = QStringLiteral("Os dados não estão completos!");
// The annex item of the medicines whose lists carry their own margins.
constexpr int kItemMedicamentos = ItemAnexo::Medicamentos;
const QString kNotaMVAAjustada = QStringLiteral("15.1");

// An annex code as typed in the medicine edit: digits and at most two points.
bool pareceCodigoAnexo(const QString &text)
{
    static const QRegularExpression re(QStringLiteral("^\\d{1,2}(\\.\\d*){0,2}$"));
    return re.match(text).hasMatch();
}

// "OUTUBRO/2024" -> "Outubro/2024".
QString mesAnoTitulo(QString mesAno)
{
    const qsizetype barra = mesAno.indexOf(QLatin1Char('/'));
    const qsizetype fim = barra < 0 ? mesAno.size() : barra;
    if (fim > 1)
        mesAno = mesAno.left(1).toUpper() + mesAno.mid(1, fim - 1).toLower() + mesAno.mid(fim);
    return mesAno;
}

void paradaDeTab(QWidget *w, bool para) { w->setFocusPolicy(para ? Qt::StrongFocus : Qt::ClickFocus); }

} // namespace

MVAsListaMedic MVAsDaLista(IniFile &ini, const QString &secao, bool opInterna, Currency aliqICMS)
{
    auto mva = [&](const char *lista) {
        return Currency::fromDouble(MVAListaMedic(ini, QLatin1String(lista), opInterna, aliqICMS, secao));
    };
    return {mva("Negativa"), mva("Positiva"), mva("Neutra")};
}

Currency TotalItemMedic(int qtd, Currency vlUnit, Currency mva)
{
    return ValorItemMedic(Currency::fromInt(qtd), vlUnit, mva);
}

QString ListaDoAnexo(int subItem, const QString &textoLista)
{
    if (subItem == 2)
        return QStringLiteral("Neutra");
    if (subItem != 1 && subItem != 3 && subItem != 4)
        return {};
    for (const char *nome : {"Positiva", "Negativa", "Neutra"})
        if (textoLista.contains(QLatin1String(nome), Qt::CaseInsensitive))
            return QLatin1String(nome);
    return {};
}

// ===== list choice ===============================================================================

TFormDlgEscolheMVAMedic::TFormDlgEscolheMVAMedic(QWidget *parent) : TFormDlg(parent)
{
    setObjectName(QStringLiteral("TFormDlgEscolheMVAMedic"));
    setWindowTitle(QStringLiteral("MVA - Medicamentos"));
    auto *layout = new QVBoxLayout(body());
    LabelInfo = new QLabel(QStringLiteral("Escolha a MVA de acordo com a Lista."), body());
    LabelInfo->setObjectName(QStringLiteral("LabelInfo"));
    layout->addWidget(LabelInfo);
    auto *linha = new QHBoxLayout;
    layout->addLayout(linha);
    m_grupo = new QButtonGroup(this);
    static const char *const nomes[]
        = {"RadioNeg18", "RadioPos18", "RadioNeu18", "RadioNeg12", "RadioPos12", "RadioNeu12"};
    for (int g = 0; g < 2; ++g) {
        auto *box = new QGroupBox(
            g == 0 ? QStringLiteral("Alíquota Interna 18%") : QStringLiteral("Alíquota Interna 12%"), body());
        box->setObjectName(g == 0 ? QStringLiteral("GroupBox18") : QStringLiteral("GroupBox12"));
        (g == 0 ? GroupBox18 : GroupBox12) = box;
        auto *col = new QVBoxLayout(box);
        for (int i = 0; i < 3; ++i) {
            auto *r = new QRadioButton(box);
            r->setObjectName(QLatin1String(nomes[g * 3 + i]));
            Radio[g * 3 + i] = r;
            m_grupo->addButton(r, g * 3 + i);
            col->addWidget(r);
        }
        linha->addWidget(box);
    }
    connect(m_grupo, &QButtonGroup::idClicked, this, &TFormDlgEscolheMVAMedic::destaca);
    finishCreate();
}

void TFormDlgEscolheMVAMedic::mostra(const MVAsListaMedic &a18, const MVAsListaMedic &a12)
{
    const MVAsListaMedic *grupos[] = {&a18, &a12};
    for (int g = 0; g < 2; ++g) {
        const Currency valores[] = {grupos[g]->negativa, grupos[g]->positiva, grupos[g]->neutra};
        static const char *const rotulos[] = {"Lista Negativa (%1%)", "Lista Positiva (%1%)", "Lista Neutra (%1%)"};
        for (int i = 0; i < 3; ++i) {
            m_mvas[g * 3 + i] = valores[i];
            Radio[g * 3 + i]->setText(
                QString::fromUtf8(rotulos[i]).arg(FormatFloat(QStringLiteral(",0.00"), valores[i].toDouble())));
        }
    }
    m_grupo->setExclusive(false);
    for (QRadioButton *r : Radio)
        r->setChecked(false);
    m_grupo->setExclusive(true);
    destaca();
}

void TFormDlgEscolheMVAMedic::destaca()
{
    const int escolhido = m_grupo->checkedId();
    for (int g = 0; g < 2; ++g) {
        const bool ativo = escolhido >= 0 && escolhido / 3 == g;
        QGroupBox *box = g == 0 ? GroupBox18 : GroupBox12;
        QFont f = box->font();
        f.setBold(ativo);
        box->setFont(f);
        for (int i = 0; i < 3; ++i) {
            QFont fr = Radio[g * 3 + i]->font();
            fr.setBold(ativo);
            Radio[g * 3 + i]->setFont(fr);
        }
    }
}

QString TFormDlgEscolheMVAMedic::lista() const
{
    static const char *const listas[] = {"Negativa", "Positiva", "Neutra"};
    const int id = m_grupo->checkedId();
    return id < 0 ? QString() : QLatin1String(listas[id % 3]);
}

Currency TFormDlgEscolheMVAMedic::mva() const
{
    const int id = m_grupo->checkedId();
    return id < 0 ? Currency() : m_mvas[id];
}

Currency TFormDlgEscolheMVAMedic::aliqICMS() const
{
    const int id = m_grupo->checkedId();
    return id < 0 ? Currency() : Currency::fromInt(id < 3 ? 18 : 12);
}

void TFormDlgEscolheMVAMedic::BtnOkClick()
{
    // Without a choice the dialog stays open.
    if (m_grupo->checkedId() >= 0)
        accept();
}

// ===== the item dialog ===========================================================================

TFormDlgItemMedic::TFormDlgItemMedic(QWidget *parent) : TFormDlgItemBase(parent)
{
    setObjectName(QStringLiteral("TFormDlgItemMedic"));
    ModoMedicamento = true;
    auto *outer = new QVBoxLayout(body());
    outer->setContentsMargins(0, 0, 0, 0);
    auto *grade = new QGridLayout;
    grade->setHorizontalSpacing(8);
    outer->addLayout(grade);
    auto rotulo = [this](const char *name, const QString &text) {
        auto *l = new QLabel(text, body());
        l->setObjectName(QLatin1String(name));
        return l;
    };
    auto texto = [this](const char *name, int max) {
        auto *e = new QLineEdit(body());
        e->setObjectName(QLatin1String(name));
        e->setMaxLength(max);
        return e;
    };
    auto moeda = [this](const char *name, const QString &format) {
        auto *e = new CurrencyEdit(body(), format);
        e->setObjectName(QLatin1String(name));
        e->setMinimumWidth(100);
        e->setMaximumWidth(120);
        return e;
    };
    auto caixa = [this](const char *name, const QString &text) {
        auto *c = new QCheckBox(text, body());
        c->setObjectName(QLatin1String(name));
        return c;
    };
    const QString dois = QStringLiteral(",0.00");
    const QString pct = QStringLiteral(",0.00%");

    dxEditCodBarra = texto("dxEditCodBarra", 50);
    ImageBrelva = rotulo("ImageBrelva", QString());
    ImageBrelva->setPixmap(style()->standardIcon(QStyle::SP_FileDialogDetailedView).pixmap(24, 24));
    LabelBrelva = rotulo("LabelBrelva", QStringLiteral("Clique aqui para \nabrir o Brelva"));
    LabelOpcoes = rotulo("LabelOpcoes", QStringLiteral("Clique aqui para \nconfigurar\noutras opções"));
    for (QLabel *l : {ImageBrelva, LabelBrelva, LabelOpcoes}) {
        l->setCursor(Qt::PointingHandCursor);
        l->installEventFilter(this);
    }
    for (QLabel *l : {LabelBrelva, LabelOpcoes})
        l->setStyleSheet(QStringLiteral("QLabel { color: #0000c0; text-decoration: underline; }"));
    grade->addWidget(rotulo("LabelCodBarra", QStringLiteral("Medicamento/SubItem")), 0, 0);
    grade->addWidget(dxEditCodBarra, 0, 1, 1, 3);
    auto *links = new QHBoxLayout;
    links->addWidget(ImageBrelva);
    links->addWidget(LabelBrelva);
    links->addSpacing(12);
    links->addWidget(LabelOpcoes);
    links->addStretch(1);
    grade->addLayout(links, 0, 4, 2, 2);

    dxEditDescricao = texto("dxEditDescricao", 50);
    dxEditLaboratorio = texto("dxEditLaboratorio", 40);
    dxEditLista = texto("dxEditLista", 10);
    dxEditLista->setReadOnly(true);
    dxEditLista->installEventFilter(this);
    grade->addWidget(rotulo("LabelDescricao", QStringLiteral("Descrição")), 1, 0);
    grade->addWidget(dxEditDescricao, 1, 1, 1, 3);
    grade->addWidget(rotulo("LabelLaboratorio", QStringLiteral("Laboratório")), 2, 0);
    grade->addWidget(dxEditLaboratorio, 2, 1, 1, 3);
    grade->addWidget(rotulo("LabelLista", QStringLiteral("Lista")), 2, 4, Qt::AlignRight);
    grade->addWidget(dxEditLista, 2, 5);

    dxEditQtd = texto("dxEditQtd", 9);
    dxEditQtd->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("\\d{0,9}")), dxEditQtd));
    dxEditQtd->setMaximumWidth(120);
    dxEditQtd->installEventFilter(this);
    dxCheckQtd = caixa("dxCheckQtd", QStringLiteral("1"));
    dxEditVlUnit = moeda("dxEditVlUnit", dois);
    dxCheckVLUnitario = caixa("dxCheckVLUnitario", QString());
    dxEditVlTotal = moeda("dxEditVlTotal", dois);
    dxEditVlTotal->setReadOnly(true);
    dxEditVlTotal->setFocusPolicy(Qt::NoFocus);
    auto *qtd = new QHBoxLayout;
    qtd->addWidget(dxEditQtd);
    qtd->addWidget(dxCheckQtd);
    grade->addWidget(rotulo("LabelQtd", QStringLiteral("Qtdade")), 3, 0);
    grade->addLayout(qtd, 3, 1);
    auto *unit = new QHBoxLayout;
    unit->addWidget(dxEditVlUnit);
    unit->addWidget(dxCheckVLUnitario);
    grade->addWidget(rotulo("LabelVlUnit", QStringLiteral("Vl Unitário")), 3, 2, Qt::AlignRight);
    grade->addLayout(unit, 3, 3);
    grade->addWidget(rotulo("LabelVlTotal", QStringLiteral("Vl Total")), 3, 4, Qt::AlignRight);
    grade->addWidget(dxEditVlTotal, 3, 5);

    dxEditAliqICMS = moeda("dxEditAliqICMS", pct);
    dxEditMVA = moeda("dxEditMVA", dois);
    LabelMVAPreAjuste = rotulo("LabelMVAPreAjuste", QStringLiteral("MVA PréAjust"));
    dxEditMVAPreAjuste = moeda("dxEditMVAPreAjuste", dois);
    dxEditMVAPreAjuste->setReadOnly(true);
    dxEditMVAPreAjuste->setFocusPolicy(Qt::NoFocus);
    dxEditCreditoICMS = moeda("dxEditCreditoICMS", pct);
    grade->addWidget(rotulo("LabelAliqICMS", QStringLiteral("CTE Interna ICMS")), 4, 0);
    grade->addWidget(dxEditAliqICMS, 4, 1);
    grade->addWidget(rotulo("LabelMVA", QStringLiteral("MVA")), 4, 2, Qt::AlignRight);
    grade->addWidget(dxEditMVA, 4, 3);
    grade->addWidget(LabelMVAPreAjuste, 4, 4, Qt::AlignRight);
    grade->addWidget(dxEditMVAPreAjuste, 4, 5);
    dxEditLote = texto("dxEditLote", 15);
    dxEditLote->setMaximumWidth(140);
    dxCheckLote = caixa("dxCheckLote", QString());
    grade->addWidget(rotulo("LabelCreditoICMS", QStringLiteral("CTE Crédito ICMS")), 5, 0);
    grade->addWidget(dxEditCreditoICMS, 5, 1);
    auto *lote = new QHBoxLayout;
    lote->addWidget(dxEditLote);
    lote->addWidget(dxCheckLote);
    grade->addWidget(rotulo("LabelLote", QStringLiteral("Lote")), 5, 2, Qt::AlignRight);
    grade->addLayout(lote, 5, 3);
    grade->setColumnStretch(3, 1);
    outer->addSpacing(4);
    outer->addWidget(LabelHint);

    PopupMenu = new QMenu(this);
    PopupMenu->setObjectName(QStringLiteral("PopupMenu"));
    RepeteLote = PopupMenu->addAction(QStringLiteral("Repete o Nro do Lote"));
    RepeteLote->setObjectName(QStringLiteral("RepeteLote"));
    PermiteAlterarQtd = PopupMenu->addAction(QStringLiteral("Permite alterar a Quantidade "));
    PermiteAlterarQtd->setObjectName(QStringLiteral("PermiteAlterarQtd"));
    for (QAction *a : {RepeteLote, PermiteAlterarQtd})
        a->setCheckable(true);

    setEditorCodigo(dxEditCodBarra);
    m_mva = dxEditMVA;
    m_mvaPreAjuste = dxEditMVAPreAjuste;
    m_labelMVAPreAjuste = LabelMVAPreAjuste;
    m_aliqICMS = dxEditAliqICMS;
    m_creditoICMS = dxEditCreditoICMS;

    setHint(dxEditCodBarra,
        QStringLiteral(
            "Digite o nome do medicamento. A busca é feita pela 1ª palavra digitada.\r\nSe preferir, digite o "
            "código de barras do medicamento.\r\nColoque um * para mostrar todos os medicamentos da tabela.\r\n"
            "Caso não seja medicamento, ou não esteja na tabela da CMED/ABCFarma, \r\ndigite o subitem da "
            "Tabela do Brelva.\r\nTecle ESC para finalizar as inclusões."));
    setHint(dxEditAliqICMS,
        QStringLiteral("Medicamentos genéricos tem alíquota de 12%. \r\nCaso o sistema não reconheça um "
                       "medicamento como genérico, \r\nou vice-versa, digite a alíquota correta."));
    setHint(dxEditLista, QStringLiteral("Para alterar a Lista, dê 2 cliques (se for cálculo pela MVA)."));
    setHint(dxEditCreditoICMS,
        QStringLiteral("Esta informação é utilizada apenas para o cálculo da MVA ajustada.\r\nCaso  nesta "
                       "operação não se aplica a MVA ajustada, este campo\r\npode ser ignorado."));

    connect(dxEditQtd, &QLineEdit::textEdited, this, &TFormDlgItemMedic::recalculaTotal);
    connect(dxEditVlUnit, &CurrencyEdit::valueEdited, this, &TFormDlgItemMedic::recalculaTotal);
    connect(dxEditMVA, &CurrencyEdit::valueEdited, this, &TFormDlgItemMedic::recalculaTotal);
    connect(dxCheckQtd, &QCheckBox::toggled, this, [this](bool marcado) {
        if (marcado && !eventsSuppressed())
            quantidadeUm(false);
    });
    connect(dxCheckVLUnitario, &QCheckBox::toggled, this, &TFormDlgItemMedic::ajustaParadas);
    connect(dxCheckLote, &QCheckBox::toggled, this, &TFormDlgItemMedic::ajustaParadas);
    // A description or laboratory typed by hand makes them normal stops.
    for (QLineEdit *e : {dxEditDescricao, dxEditLaboratorio})
        connect(e, &QLineEdit::textEdited, e, [e] { e->setFocusPolicy(Qt::StrongFocus); });

    QWidget *ordem[] = {dxEditCodBarra, dxEditDescricao, dxEditLaboratorio, dxEditLista, dxEditQtd, dxCheckQtd,
        dxEditVlUnit, dxCheckVLUnitario, dxEditAliqICMS, dxEditMVA, dxEditCreditoICMS, dxEditLote, dxCheckLote};
    for (size_t i = 1; i < std::size(ordem); ++i)
        setTabOrder(ordem[i - 1], ordem[i]);
    finishCreate();
}

int TFormDlgItemMedic::qtd() const { return dxEditQtd->text().trimmed().toInt(); }

QString TFormDlgItemMedic::titulo(const QString &inicio) const
{
    return inicio + QStringLiteral(" - MEDICAMENTO - Tabela de ") + mesAnoTitulo(TabMedicMesAno(IniMedicamento()));
}

void TFormDlgItemMedic::recalculaTotal()
{
    if (m_calculando)
        return;
    m_calculando = true;
    dxEditVlTotal->setValue(TotalItemMedic(qtd(), dxEditVlUnit->value(), dxEditMVA->value()));
    m_calculando = false;
}

void TFormDlgItemMedic::ajustaParadas()
{
    paradaDeTab(dxEditVlUnit, dxCheckVLUnitario->isChecked() || contexto().grupo == Grupo::MedicamentosMVA);
    paradaDeTab(dxEditLote, dxCheckLote->isChecked());
}

void TFormDlgItemMedic::quantidadeUm(bool entrando)
{
    if (!dxCheckQtd->isChecked() || qtd() != 0)
        return;
    dxEditQtd->setText(QStringLiteral("1"));
    recalculaTotal();
    if (entrando && !PermiteAlterarQtd->isChecked())
        postPrivate(MsgProximo, 2, m_linha);
}

bool TFormDlgItemMedic::eventFilter(QObject *o, QEvent *e)
{
    if (e->type() == QEvent::MouseButtonRelease) {
        if (o == ImageBrelva || o == LabelBrelva) {
            postPrivate(MsgCodigo, 0);
            return true;
        }
        if (o == LabelOpcoes) {
            PopupMenu->popup(LabelOpcoes->mapToGlobal(QPoint(0, LabelOpcoes->height())));
            return true;
        }
    }
    if (o == dxEditLista && e->type() == QEvent::MouseButtonDblClick) {
        EscolheLista();
        return true;
    }
    if (o == dxEditQtd && e->type() == QEvent::FocusIn && !eventsSuppressed())
        quantidadeUm(true);
    return TFormDlgItemBase::eventFilter(o, e);
}

void TFormDlgItemMedic::privateMessage(int msg, qintptr wparam, qintptr lparam)
{
    if (msg == MsgProximo) {
        // Moves on only while the cursor is still where the step began, in
        // the same line (a message left from the previous line is dropped).
        if (lparam != m_linha)
            return;
        const QWidget *de = wparam == 1 ? static_cast<QWidget *>(dxEditLista)
            : wparam == 2               ? static_cast<QWidget *>(dxEditQtd)
                                        : static_cast<QWidget *>(dxEditCodBarra);
        if (focusWidget() == de) {
            SuppressEvents guard(*this);
            focusNextChild();
        }
        return;
    }
    TFormDlgItemBase::privateMessage(msg, wparam, lparam);
}

// ---- leaving the first edit -------------------------------------------------------------------

void TFormDlgItemMedic::codigoDigitado(bool direto)
{
    if (!isVisible())
        return;
    // The annex link: the annex program is asked for the code.
    if (!direto) {
        TFormDlgItemBase::codigoDigitado(false);
        return;
    }
    if (!m_codigoAlterado)
        return;
    const QString text = dxEditCodBarra->text().trimmed();
    if (text.isEmpty()) {
        m_codigoAlterado = false;
        // A medicine typed by hand.
        for (QLineEdit *e : {dxEditDescricao, dxEditLista, dxEditLaboratorio})
            e->setFocusPolicy(Qt::StrongFocus);
        dxEditDescricao->setFocus();
        return;
    }
    QString code = text;
    code.replace(QLatin1Char(','), QLatin1Char('.'));
    const CodigoBrelva partes = SeparaCodigoBrelva(code);
    if (pareceCodigoAnexo(code) && partes.item >= 1 && partes.item <= 44) {
        {
            SuppressEvents guard(*this);
            dxEditCodBarra->setText(code);
        }
        // The shared look-up; aposCodigo() completes the line.
        TFormDlgItemBase::codigoDigitado(true);
        return;
    }
    m_codigoAlterado = false;
    paradaDeTab(dxEditLista, false);
    paradaDeTab(dxEditLaboratorio, false);
    const std::optional<MedicEscolhido> m = EscolheMedic(text, this);
    if (!m) {
        paradaDeTab(dxEditLaboratorio, true);
        paradaDeTab(dxEditDescricao, true);
        return;
    }
    {
        SuppressEvents guard(*this);
        dxEditCodBarra->setText(m->codBarra);
        dxEditDescricao->setText(m->descricao.left(50));
        dxEditLaboratorio->setText(m->laboratorio.left(40));
        dxEditLista->setText(m->lista);
        dxEditAliqICMS->setValue(m->aliqICMS);
        dxEditMVAPreAjuste->setValue(Currency());
        dxEditMVAPreAjuste->hide();
        LabelMVAPreAjuste->hide();
    }
    const Contexto ctx = contexto();
    if (ctx.grupo == Grupo::MedicamentosMVA) {
        dxEditVlUnit->setValue(Currency());
        aplicaMVALista(Currency::fromDouble(MVAListaMedic(IniLocal2(), m->lista, !ctx.interestadual, m->aliqICMS)));
    } else {
        dxEditVlUnit->setValue(m->preco);
        dxEditMVA->setValue(Currency());
        recalculaTotal();
    }
    if (!dxEditDescricao->text().trimmed().isEmpty())
        postPrivate(MsgProximo, 0, m_linha);
    else
        paradaDeTab(dxEditLaboratorio, true);
}

void TFormDlgItemMedic::aplicaMVALista(Currency mvaLista)
{
    {
        SuppressEvents guard(*this);
        dxEditMVA->setValue(mvaLista);
        dxEditMVAPreAjuste->setValue(Currency());
        dxEditMVAPreAjuste->hide();
        LabelMVAPreAjuste->hide();
    }
    if (contexto().interestadual) {
        const ResultadoMVAAjustada r = MVAAjustada(TextoMVAAjustada(kNotaMVAAjustada), mvaLista,
            Settings::instance().aliqCreditoICMS(), dxEditAliqICMS->value(), this);
        if (r.aceita) {
            dxEditMVA->setValue(r.mva);
            dxEditMVAPreAjuste->setValue(mvaLista); // kept, not shown
            if (r.credito4)
                dxEditCreditoICMS->setValue(Currency::fromInt(4));
        }
    }
    recalculaTotal();
}

void TFormDlgItemMedic::aposCodigo()
{
    // The annex entry applied: its description, and for the medicines' item their list.
    const CodigoBrelva partes = SeparaCodigoBrelva(dxEditCodBarra->text());
    QString descricao, textoLista;
    try {
        db::Query q(&DM().BaseDados);
        q.setSql(QStringLiteral("SELECT DESCRICAO, INFOMVA1 FROM BRELVA WHERE ID = :Id"));
        q.paramByName(QStringLiteral("Id")).setAsInteger(IdBrelvaAtual);
        q.open();
        if (!q.isEmpty()) {
            descricao = q.field(0).asString();
            textoLista = q.field(1).asString() + QLatin1Char(' ') + descricao;
        }
        q.close();
    } catch (const db::EngineError &) {
        // Without the annex row the user types the description.
    }
    {
        SuppressEvents guard(*this);
        dxEditDescricao->setText(descricao.simplified().left(50));
        dxEditLaboratorio->clear();
        if (partes.item == kItemMedicamentos)
            dxEditLista->setText(ListaDoAnexo(partes.ex, textoLista));
        else
            dxEditLista->clear();
    }
    recalculaTotal();
    if (!dxEditDescricao->text().isEmpty())
        postPrivate(MsgProximo, 0, m_linha);
    else
        paradaDeTab(dxEditLaboratorio, true);
}

// ---- list choice --------------------------------------------------------------------------------

void TFormDlgItemMedic::EscolheLista()
{
    const Contexto ctx = contexto();
    if (ctx.grupo == Grupo::Medicamentos)
        return;
    const CodigoBrelva partes = SeparaCodigoBrelva(dxEditCodBarra->text());
    const int sub = partes.item == kItemMedicamentos && partes.ex > 0 ? partes.ex : 1;
    const QString secao = QStringLiteral("MVA.Medic.15.") + QString::number(sub);
    TFormDlgEscolheMVAMedic dlg(this);
    // Both rates with the margins of the operation, as the medicine's own
    // list gets them: an interstate operation takes the interstate margins.
    dlg.mostra(MVAsDaLista(IniLocal2(), secao, !ctx.interestadual, Currency::fromInt(18)),
        MVAsDaLista(IniLocal2(), secao, !ctx.interestadual, Currency::fromInt(12)));
    FechaHint();
    if (dlg.exec() != QDialog::Accepted)
        return;
    {
        SuppressEvents guard(*this);
        dxEditLista->setText(dlg.lista());
        dxEditAliqICMS->setValue(dlg.aliqICMS());
    }
    aplicaMVALista(dlg.mva());
    postPrivate(MsgProximo, 1, m_linha);
}

// ---- the inclusion ------------------------------------------------------------------------------

void TFormDlgItemMedic::limpaCampos()
{
    SuppressEvents guard(*this);
    ++m_linha;
    dxEditCodBarra->clear();
    for (QLineEdit *e : {dxEditDescricao, dxEditLaboratorio, dxEditLista})
        e->clear();
    paradaDeTab(dxEditDescricao, false);
    paradaDeTab(dxEditLaboratorio, false);
    paradaDeTab(dxEditLista, false);
    dxEditQtd->setText(QStringLiteral("0"));
    for (CurrencyEdit *e : {dxEditVlUnit, dxEditVlTotal, dxEditAliqICMS, dxEditMVA, dxEditMVAPreAjuste})
        e->setValue(Currency());
    dxEditCreditoICMS->setValue(Contribuinte ? Currency() : Settings::instance().aliqCreditoICMS());
    dxEditMVAPreAjuste->hide();
    LabelMVAPreAjuste->hide();
    dxEditLote->setText(RepeteLote->isChecked() ? m_ultimoLote : QString());
    IdBrelvaAtual = 0;
    ItemAtual = 0;
    m_codigoAlterado = false;
    ajustaParadas();
}

db::Table &TFormDlgItemMedic::tabelaItens() const { return DM().TabItensMedic; }

void TFormDlgItemMedic::gravaCampos(db::Table &itens)
{
    auto texto = [&itens](const char *name, const QString &v) {
        db::Field &f = itens.fieldByName(QLatin1String(name));
        if (v.isEmpty())
            f.clear();
        else
            f.setAsString(v);
    };
    auto moeda = [&itens](const char *name, Currency v) { itens.fieldByName(QLatin1String(name)).setAsCurrency(v); };
    texto("CodBarra", dxEditCodBarra->text().trimmed().left(13));
    texto("Descricao", dxEditDescricao->text().trimmed());
    itens.fieldByName(QStringLiteral("Qtd")).setAsInteger(qtd());
    moeda("DebVlMerc", dxEditVlTotal->value());
    moeda("DebAliqICMS", dxEditAliqICMS->value());
    texto("Laboratorio", dxEditLaboratorio->text().trimmed());
    texto("Lote", dxEditLote->text().trimmed());
    moeda("MVA", dxEditMVA->value());
    texto("Lista", TDM::NomeParaLista(dxEditLista->text()));
    moeda("MVAPreAjustada", dxEditMVAPreAjuste->value());
    moeda("CreditoICMS", dxEditCreditoICMS->value());
    itens.fieldByName(QStringLiteral("FEM")).setAsBoolean(false);
}

void TFormDlgItemMedic::carregaCampos(db::Table &itens)
{
    SuppressEvents guard(*this);
    ++m_linha;
    auto moeda = [&itens](const char *name) { return itens.fieldByName(QLatin1String(name)).asCurrency(); };
    auto texto = [&itens](const char *name) { return itens.fieldByName(QLatin1String(name)).asString(); };
    dxEditCodBarra->setText(texto("CodBarra"));
    dxEditDescricao->setText(texto("Descricao"));
    dxEditLaboratorio->setText(texto("Laboratorio"));
    dxEditLista->setText(TDM::ListaParaNome(texto("Lista")));
    const int n = itens.fieldByName(QStringLiteral("Qtd")).asInteger();
    dxEditQtd->setText(QString::number(n));
    const Currency total = moeda("DebVlMerc");
    const Currency mva = moeda("MVA");
    dxEditMVA->setValue(mva);
    // The unit price is not stored: it comes back from the total.
    dxEditVlUnit->setValue(n == 0 ? Currency() : (Expr(total) / (Expr::inteiro(n) * fatorMVA(mva))).moeda());
    dxEditVlTotal->setValue(total);
    dxEditAliqICMS->setValue(moeda("DebAliqICMS"));
    const Currency pre = moeda("MVAPreAjustada");
    dxEditMVAPreAjuste->setValue(pre);
    dxEditCreditoICMS->setValue(moeda("CreditoICMS"));
    dxEditLote->setText(texto("Lote"));
    ItemAtual = SeparaCodigoBrelva(texto("CodBarra")).item;
    ajustaParadas();
}

void TFormDlgItemMedic::lembraLinha()
{
    m_ultimoLote = dxEditLote->text();
    m_ultima.existe = true;
    m_ultima.codBarra = dxEditCodBarra->text().trimmed();
    m_ultima.descricao = dxEditDescricao->text();
    m_ultima.laboratorio = dxEditLaboratorio->text();
    m_ultima.lista = dxEditLista->text();
    m_ultima.vlUnit = dxEditVlUnit->value();
    m_ultima.aliqICMS = dxEditAliqICMS->value();
    m_ultima.mva = dxEditMVA->value();
    m_ultima.mvaPre = dxEditMVAPreAjuste->value();
    m_ultima.credito = dxEditCreditoICMS->value();
}

void TFormDlgItemMedic::repeteUltima(QWidget *campo)
{
    if (!m_ultima.existe || !campo)
        return;
    SuppressEvents guard(*this);
    if (campo == dxEditLote) {
        dxEditLote->setText(m_ultimoLote);
    } else if (campo == dxEditCodBarra) {
        // The previous medicine as it was priced, without a new search.
        dxEditCodBarra->setText(m_ultima.codBarra);
        dxEditCodBarra->selectAll();
        dxEditDescricao->setText(m_ultima.descricao);
        dxEditLaboratorio->setText(m_ultima.laboratorio);
        dxEditLista->setText(m_ultima.lista);
        dxEditVlUnit->setValue(m_ultima.vlUnit);
        dxEditAliqICMS->setValue(m_ultima.aliqICMS);
        dxEditMVA->setValue(m_ultima.mva);
        dxEditMVAPreAjuste->setValue(m_ultima.mvaPre);
        dxEditCreditoICMS->setValue(m_ultima.credito);
        m_codigoAlterado = false;
        m_calculando = false;
    } else if (campo == dxEditVlUnit) {
        dxEditVlUnit->setValue(m_ultima.vlUnit);
    }
    recalculaTotal();
}

// ---- OK -------------------------------------------------------------------------------------------

void TFormDlgItemMedic::BtnOkClick()
{
    const bool completo = !dxEditDescricao->text().trimmed().isEmpty()
        && dxEditQtd->text().trimmed() != QLatin1String("0") && !dxEditQtd->text().trimmed().isEmpty()
        && !dxEditVlTotal->value().isZero()
        && !(contexto().grupo == Grupo::MedicamentosMVA && dxEditAliqICMS->value().isZero());
    if (!completo) {
        MsgErro(kIncompleto);
        return;
    }
    m_ultimoLote = dxEditLote->text();
    accept();
}

// ---- the entry operations of the main window ------------------------------------------------

TFormDlgItemBase::FimInclusao IncluiItemMedic(QWidget *parent)
{
    return TFormDlgItemMedic::instancia(parent).IncluiItem();
}
void AlteraItemMedic(QWidget *parent) { TFormDlgItemMedic::instancia(parent).AlteraItem(); }
void ExcluiItemMedic(QWidget *parent) { TFormDlgItemMedic::instancia(parent).ExcluiItem(); }

} // namespace stb
