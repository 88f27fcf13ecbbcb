#include "entry/dlgitembase.h"

#include "core/datamodule.h"
#include "core/datedvalues.h"
#include "core/edition.h"
#include "core/grupos.h"
#include "core/messages.h"
#include "core/regrasitem.h"
#include "core/settings.h"
#include "entry/currencyedit.h"
#include "entry/dlgescolhemva.h"
#include "entry/dlgmvaajustada.h"
#include "platform/clock.h"

#include <QApplication>
#include <QCheckBox>
#include <QDeadlineTimer>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QTimer>
#include <QVBoxLayout>

namespace stb {

namespace {

bool g_trocaGrupoPermitida = true;

// The description memo leaves room for the annex link at its start.
const QString kRecuoDescricao = QString(21, QLatin1Char(' '));

// Wait cursor for the duration of a look-up.
struct CursorEspera {
    CursorEspera() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~CursorEspera() { QApplication::restoreOverrideCursor(); }
    CursorEspera(const CursorEspera &) = delete;
    CursorEspera &operator=(const CursorEspera &) = delete;
};

int contagem(const QString &sql)
{
    db::Query q(&DM().BaseDados);
    q.setSql(sql);
    q.open();
    const int n = q.isEmpty() ? 0 : q.field(0).asInteger();
    q.close();
    return n;
}

bool ehHtml(const QString &text) { return text.startsWith(QLatin1String("<HTML>"), Qt::CaseInsensitive); }

// How long the keyboard stays quiet before a look-up left by Tab asks its
// questions: longer than the gap between the keys of someone typing.
constexpr int kTecladoQuietoMs = 400;

} // namespace

// Every key pressed anywhere in the program while a look-up waits for the
// keyboard to be quiet starts the wait again.
class TeclasAdiantadas : public QObject {
public:
    explicit TeclasAdiantadas(TFormDlgItemBase *dlg) : QObject(dlg), m_dlg(dlg) { qApp->installEventFilter(this); }
    ~TeclasAdiantadas() override { qApp->removeEventFilter(this); }
    TeclasAdiantadas(const TeclasAdiantadas &) = delete;
    TeclasAdiantadas &operator=(const TeclasAdiantadas &) = delete;

protected:
    bool eventFilter(QObject *o, QEvent *e) override
    {
        if (e->type() == QEvent::KeyPress && o->isWidgetType())
            m_dlg->teclaDigitada();
        return false;
    }

private:
    TFormDlgItemBase *m_dlg;
};

void Pausa(int ms) { waitRepainting(ms); }

void TFormDlgItemBase::setTrocaGrupoPermitida(bool permitida) { g_trocaGrupoPermitida = permitida; }

TFormDlgItemBase::TFormDlgItemBase(QWidget *parent) : TFormDlg(parent)
{
    m_janela = new MessageWindow(this);
    connect(m_janela, &MessageWindow::messageReceived, this, [this](int msg, qint64 w, qint64 l) {
        if (msg == MsgRespostaBrelva || msg == MsgFrente)
            postPrivate(msg, static_cast<qintptr>(w), static_cast<qintptr>(l));
    });
    LabelHint = new QLabel(this);
    LabelHint->setObjectName(QStringLiteral("LabelHint"));
    LabelHint->setWordWrap(true);
    LabelHint->setStyleSheet(QStringLiteral("QLabel { background: #ffffe1; color: #1f2f5f; border: 1px solid #c8c8a0; "
                                            "padding: 3px; }"));
    LabelHint->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // Room for three lines, so the dialog keeps its size as the focus moves.
    LabelHint->setMinimumHeight(fontMetrics().lineSpacing() * 3 + 10);
    connect(qApp, &QApplication::focusChanged, this, &TFormDlgItemBase::focusChanged);
    m_esperaTeclado = new QTimer(this);
    m_esperaTeclado->setSingleShot(true);
    m_esperaTeclado->setInterval(kTecladoQuietoMs);
    connect(m_esperaTeclado, &QTimer::timeout, this, [this] {
        cancelaConsultaAdiada();
        // Back in the code field, the look-up waits until it is left again.
        if (!(m_codigo && m_codigo->hasFocus()))
            codigoDigitado(true);
    });
}

TFormDlgItemBase::~TFormDlgItemBase()
{
    // The child editors lose the focus while the widget part goes: no handler of ours then.
    disconnect(qApp, &QApplication::focusChanged, this, nullptr);
}

void TFormDlgItemBase::naListaRapida(db::Table &lista, const Contexto &ctx, const std::function<void()> &fn)
{
    m_lista = &lista;
    m_rapido = ctx;
    const auto volta = qScopeGuard([this] {
        m_lista = nullptr;
        m_rapido.reset();
    });
    fn();
}

// ---- entry operations ------------------------------------------------------------------------

TFormDlgItemBase::FimInclusao TFormDlgItemBase::IncluiItem()
{
    preparaRotulos();
    setWindowTitle(tituloInclusao());
    limpaCampos();
    return repeteInclusao();
}

void TFormDlgItemBase::AlteraItem()
{
    db::Table &itens = destino();
    if (!itens.isActive() || itens.isEmpty())
        return;
    preparaRotulos();
    setWindowTitle(tituloAlteracao());
    OperacaoInterestadual = contexto().interestadual;
    TrocouGrupo = false;
    carregaCampos(itens);
    if (m_codigo)
        m_codigo->setFocus();
    m_codigoAlterado = false;
    cancelaConsultaAdiada();
    const bool ok = exec() == QDialog::Accepted;
    FechaHint();
    if (!ok)
        return;
    itens.edit();
    gravaLinha(itens);
}

void TFormDlgItemBase::ExcluiItem()
{
    db::Table &itens = destino();
    if (!itens.isActive() || itens.isEmpty())
        return;
    if (ConfirmaPadraoNao(QStringLiteral("Quer excluir este item")))
        itens.remove();
}

void TFormDlgItemBase::IncluiItemRapido(db::Table &lista, const Contexto &ctx)
{
    naListaRapida(lista, ctx, [this] { IncluiItem(); });
}

void TFormDlgItemBase::AlteraItemRapido(db::Table &lista, const Contexto &ctx)
{
    naListaRapida(lista, ctx, [this] { AlteraItem(); });
}

db::Table &TFormDlgItemBase::destino() const { return m_lista ? *m_lista : tabelaItens(); }

bool TFormDlgItemBase::notaSemLinhas() const
{
    TDM &dm = DM();
    if (!dm.TabNotas.isActive() || dm.TabNotas.isEmpty())
        return false;
    db::Query q(&dm.BaseDados);
    q.setSql(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE IDNOTA = :IdNota").arg(tabelaItens().tableName().toUpper()));
    q.paramByName(QStringLiteral("IdNota")).setAsInteger(dm.TabNotas.fieldByName(QStringLiteral("IdNota")).asInteger());
    q.open();
    const bool vazia = q.field(0).asInteger() == 0;
    q.close();
    return vazia;
}

void TFormDlgItemBase::gravaNovaLinha()
{
    db::Table &itens = destino();
    if (!itens.isActive())
        itens.open();
    // A quick list has no invoice; its lines are numbered without gaps.
    const int idNota = m_lista ? 0 : DM().TabNotas.fieldByName(QStringLiteral("IdNota")).asInteger();
    const int nroItem = m_lista ? itens.recordCount() + 1 : DM().ProximoNroItem(sufixoNumeracao());
    itens.append();
    try {
        itens.fieldByName(QStringLiteral("IdNota")).setAsInteger(idNota);
        itens.fieldByName(QStringLiteral("NroItem")).setAsInteger(nroItem);
    } catch (...) {
        itens.cancel();
        throw;
    }
    gravaLinha(itens);
}

void TFormDlgItemBase::gravaLinha(db::Table &itens)
{
    try {
        itens.autoCalcFields = false;
        gravaCampos(itens);
        itens.autoCalcFields = true;
        itens.post();
    } catch (...) {
        itens.autoCalcFields = true;
        itens.cancel();
        throw;
    }
}

qint64 TFormDlgItemBase::janelaResposta() const { return m_janela->handle(); }

TFormDlgItemBase::Contexto TFormDlgItemBase::contexto() const
{
    if (m_rapido)
        return *m_rapido;
    Contexto c;
    db::Table &calc = DM().TabCalc;
    if (!calc.isActive() || calc.isEmpty())
        return c;
    auto inteiro = [&calc](const char *name) {
        db::Field *f = calc.findField(QLatin1String(name));
        return f && !f->isNull() ? f->asInteger() : 0;
    };
    c.tipoCalculo = inteiro("TipoCalculo");
    c.grupo = inteiro("Grupo");
    db::Field *op = calc.findField(QStringLiteral("OpInterna"));
    c.interestadual = op && !op->isNull() && !op->asBoolean();
    return c;
}

// ---- hints ---------------------------------------------------------------------------

void TFormDlgItemBase::setHint(QWidget *w, const QString &text)
{
    m_hints.insert(w, text);
    w->setToolTip(Qt::mightBeRichText(text) ? text : QString(text).replace(QLatin1Char('\r'), QLatin1Char('\n')));
}

void TFormDlgItemBase::setEditorCodigo(QLineEdit *e)
{
    m_codigo = e;
    connect(e, &QLineEdit::textEdited, this, [this] { m_codigoAlterado = true; });
    e->installEventFilter(this);
}

void TFormDlgItemBase::FechaHint() { LabelHint->clear(); }

void TFormDlgItemBase::focusChanged(QWidget *old, QWidget *now)
{
    if (!isVisible())
        return;
    if (now && isAncestorOf(now)) {
        const QString hint = m_hints.value(now);
        LabelHint->setText(
            Qt::mightBeRichText(hint) ? hint : QString(hint).replace(QLatin1Char('\r'), QLatin1Char('\n')));
    }
    // Leaving the code field looks it up, unless the user is going to Cancel.
    if (m_codigo && old == m_codigo && now != static_cast<QWidget *>(BtnCancel) && !eventsSuppressed())
        postPrivate(MsgCodigo, 1);
}

// ---- messages and keys -----------------------------------------------------------------

void TFormDlgItemBase::privateMessage(int msg, qintptr wparam, qintptr)
{
    switch (msg) {
    case MsgCodigo:
        if (wparam != 0 && m_saidaPorTeclado)
            adiaConsulta();
        else
            codigoDigitado(wparam != 0);
        break;
    case MsgRespostaBrelva:
        respostaBrelva();
        break;
    case MsgFrente:
        if (isVisible()) {
            raise();
            activateWindow();
        }
        break;
    case MsgTrocaGrupo:
        trocaGrupo(static_cast<int>(wparam));
        break;
    default:
        break;
    }
}

void TFormDlgItemBase::keyPressEvent(QKeyEvent *e)
{
    if (e->key() == Qt::Key_F2 && e->modifiers() == Qt::NoModifier) {
        repeteUltima(focusWidget());
        e->accept();
        return;
    }
    TFormDlg::keyPressEvent(e);
}

void TFormDlgItemBase::adiaConsulta()
{
    if (!m_teclas)
        m_teclas = new TeclasAdiantadas(this);
    m_esperaTeclado->start();
}

void TFormDlgItemBase::cancelaConsultaAdiada()
{
    m_esperaTeclado->stop();
    delete m_teclas;
    m_teclas = nullptr;
}

void TFormDlgItemBase::teclaDigitada()
{
    if (m_esperaTeclado->isActive())
        m_esperaTeclado->start();
}

bool TFormDlgItemBase::antesDoOk()
{
    // OK typed before the look-up asked its questions: they come first, in
    // their order, and the OK goes on with what they set.
    if (!m_esperaTeclado->isActive())
        return true;
    cancelaConsultaAdiada();
    codigoDigitado(true);
    return isVisible() && !TrocouGrupo && m_codigo && !m_codigo->text().trimmed().isEmpty();
}

bool TFormDlgItemBase::eventFilter(QObject *o, QEvent *e)
{
    if (o == m_codigo && e->type() == QEvent::FocusOut) {
        const Qt::FocusReason r = static_cast<QFocusEvent *>(e)->reason();
        m_saidaPorTeclado = r == Qt::TabFocusReason || r == Qt::BacktabFocusReason;
    }
    // F2 reaches the dialog from every editor (line editors keep other keys).
    if (e->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(e)->key() == Qt::Key_F2) {
        repeteUltima(qobject_cast<QWidget *>(o));
        return true;
    }
    return TFormDlg::eventFilter(o, e);
}

// ---- the inclusion loop ------------------------------------------------------------------

TFormDlgItemBase::FimInclusao TFormDlgItemBase::repeteInclusao()
{
    TrocouGrupo = false;
    OperacaoInterestadual = contexto().interestadual;
    for (;;) {
        if (m_codigo)
            m_codigo->setFocus();
        m_codigoAlterado = false;
        cancelaConsultaAdiada();
        if (exec() != QDialog::Accepted)
            break;
        gravaNovaLinha();
        lembraLinha();
        limpaCampos();
    }
    FechaHint();
    if (TrocouGrupo)
        return FimInclusao::TrocouGrupo;
    if (m_rapido)
        return FimInclusao::Nada;
    if (notaSemLinhas()
        && ConfirmaPadraoNao(QStringLiteral("Esta Nota não tem nenhum item cadastrado. Quer exclui-la"))) {
        db::Table &notas = DM().TabNotas;
        if (notas.isActive() && !notas.isEmpty())
            notas.remove();
    }
    if (ConfirmaPadraoNao(QStringLiteral("Quer Incluir mais alguma Nota Fiscal neste Cálculo")))
        return FimInclusao::NovaNota;
    return FimInclusao::Nada;
}

// ---- annex look-up ---------------------------------------------------------------------------

void TFormDlgItemBase::limpaCodigo()
{
    SuppressEvents guard(*this);
    m_codigo->clear();
    m_codigo->setFocus();
    m_codigoAlterado = false;
}

void TFormDlgItemBase::codigoDigitado(bool direto)
{
    if (!m_codigo || !isVisible())
        return;
    QString code = m_codigo->text().trimmed();
    // Leaving the field without typing looks nothing up again.
    if (direto && (!m_codigoAlterado || code.isEmpty()))
        return;
    m_codigoAlterado = false;
    if (code == QLatin1String("*"))
        return;
    const CursorEspera espera;
    code.replace(QLatin1Char(','), QLatin1Char('.'));
    const CodigoBrelva partes = SeparaCodigoBrelva(code);
    ItemBrelvaConsulta c;
    if (direto && partes.temItem && partes.temUltimaParte) {
        // Direct look-up of the code as typed.
        c.item = partes.item;
        c.ex = partes.ex;
        c.subItem = partes.subItem;
    } else if (partes.item >= 100 && partes.item <= 9999) {
        // The first digits of a product (NBM) code: the annex program searches it.
        c.item = partes.item;
        c.ex = partes.ex;
        c.subItem = partes.subItem;
    } else {
        c.item = partes.temItem ? partes.item : (ModoCombustivel ? Grupo::Combustiveis : ItemAtual);
        if (direto) {
            c.ex = partes.ex;
            c.subItem = partes.subItem;
        }
    }
    const bool achou = DM().ProcuraItemBrelva(chamador(), janelaResposta(), c,
        [this](const QString &h, const QStringList &o) { return EscolheOpcaoMVABrelva(h, o, this); });
    if (achou
        && AplicaItemBrelva(FormataCodigoBrelva(c.item, c.ex, c.subItem), c.id, c.descricao, c.mva, c.fem, c.ambito,
            c.item, c.ex, c.subItem, c.cest))
        aposCodigo();
}

void TFormDlgItemBase::respostaBrelva()
{
    TDM &dm = DM();
    MessageWindow *pedido = dm.PedidoBrelva();
    if (!isVisible() || !pedido)
        return;
    const ItemBrelvaConsulta c = LeTextoBrelva(pedido->text());
    dm.DescartaPedidoBrelva();
    activateWindow();
    raise();
    if (!AplicaItemBrelva(FormataCodigoBrelva(c.item, c.ex, c.subItem), c.id, c.descricao, c.mva, c.fem, c.ambito,
            c.item, c.ex, c.subItem, c.cest))
        return;
    m_codigoAlterado = false;
    aposCodigo();
    if (ModoCombustivel && m_codigo && m_codigo->hasFocus()) {
        SuppressEvents guard(*this);
        focusNextChild();
    }
}

// ---- applying an annex entry ------------------------------------------------------------------

bool TFormDlgItemBase::AplicaItemBrelva(const QString &code, int id, const QString &descricao, Currency mva, int fem,
    int ambito, int item, int, int, const QString &)
{
    {
        SuppressEvents guard(*this);
        if (m_codigo)
            m_codigo->setText(code.left(9));
        if (m_descricao)
            m_descricao->setPlainText(kRecuoDescricao + descricao);
    }
    if (!RegrasAmbito(item, ambito))
        return false;
    const Contexto ctx = contexto();
    if (ctx.difal())
        mva = Currency();
    if (m_mva)
        m_mva->setValue(mva);
    if (m_mvaPreAjuste)
        m_mvaPreAjuste->setValue(OperacaoInterestadual ? mva : Currency());
    for (QWidget *w : {static_cast<QWidget *>(m_mvaPreAjuste), m_labelMVAPreAjuste})
        if (w)
            w->hide();
    if (m_fem)
        m_fem->setChecked(fem == 1);
    IdBrelvaAtual = id;
    ItemAtual = item;
    const QString chave = m_codigo ? m_codigo->text().trimmed() : code;

    // Internal rate and the messages of the code (tax units' edition).
    if (!Contribuinte && m_aliqICMS) {
        if (chave.isEmpty()) {
            m_aliqICMS->setValue(Currency());
        } else {
            m_aliqICMS->setValue(AliqICMSCodigo(chave, 0));
            if (!NaoMostrar.contains(chave + QStringLiteral("p1")))
                if (const auto r = perguntaAliquota(MensagemAliq(chave), chave + QStringLiteral("p1")))
                    m_aliqICMS->setValue(*r);
            MostraMensagem(chave);
        }
    }

    // Adjusted MVA of an interstate operation.
    if (OperacaoInterestadual && !chave.isEmpty() && !ctx.difal() && m_mva && ofereceMVAAjustada(chave)) {
        Currency interna;
        if (!Contribuinte)
            interna = AliqInternaMVAAjustada(chave, m_aliqICMS ? m_aliqICMS->value() : Currency());
        if (!NaoMostrar.contains(chave + QStringLiteral("p2")))
            if (const auto r = perguntaAliquota(MensagemAliqMVAAjustada(chave), chave + QStringLiteral("p2")))
                interna = *r;
        if (!DM().ExcluidoMVAAjustada(chave)) {
            const Currency original = m_mva->value();
            const ResultadoMVAAjustada r
                = MVAAjustada(TextoMVAAjustada(chave), original, Settings::instance().aliqCreditoICMS(), interna, this);
            if (r.aceita) {
                m_mva->setValue(r.mva);
                // The medicine dialog keeps the unadjusted MVA without showing it.
                if (m_mvaPreAjuste) {
                    m_mvaPreAjuste->setValue(original);
                    m_mvaPreAjuste->setVisible(!ModoMedicamento);
                }
                if (m_labelMVAPreAjuste)
                    m_labelMVAPreAjuste->setVisible(!ModoMedicamento);
                if (r.credito4 && m_creditoICMS) {
                    m_creditoICMS->setValue(Currency::fromInt(4));
                    emit m_creditoICMS->valueEdited(m_creditoICMS->value());
                }
            }
        }
    }
    return true;
}

std::optional<Currency> TFormDlgItemBase::perguntaAliquota(const QString &mensagem, const QString &chave)
{
    const qsizetype marca = mensagem.indexOf(QLatin1String("::"));
    if (marca >= 0) {
        const Currency r = LeValor(mensagem.mid(marca + 2, 5));
        if (r <= Currency())
            return std::nullopt;
        bool naoMostre = false;
        const bool sim
            = ConfirmaPadraoNaoNaoMostre(mensagem.left(marca).replace(QLatin1Char('#'), QLatin1Char('\r')), naoMostre);
        if (naoMostre)
            NaoMostrar << chave;
        return sim ? std::optional<Currency>(r) : std::nullopt;
    }
    if (mensagem.contains(QLatin1Char('@')))
        return EscolheAliquota(mensagem, this);
    return std::nullopt;
}

bool TFormDlgItemBase::RegrasAmbito(int item, int ambito)
{
    const Contexto ctx = contexto();
    const RecusaAmbito recusa = RegraAmbito(ctx.tipoCalculo, ctx.grupo, ModoCombustivel, item, ambito);
    if (recusa == RecusaAmbito::ForaDaRevenda || recusa == RecusaAmbito::SoCombustiveis) {
        MsgErro(MensagemRecusaAmbito(recusa, item, ambito));
        limpaCodigo();
        return false;
    }
    // A medicine line takes any special item; other lines need the calculation of its group.
    if (recusa == RecusaAmbito::Especial && !ModoMedicamento) {
        Pausa(250);
        MsgErro(MensagemRecusaAmbito(recusa, item, ambito));
        bool trocou = false;
        db::Table &notas = DM().TabNotas;
        if (g_trocaGrupoPermitida && !m_rapido && notas.isActive() && !notas.isEmpty()) {
            const QString idCalculo
                = QString::number(DM().TabCalc.fieldByName(QStringLiteral("IdCalculo")).asInteger());
            const QString idNota = QString::number(notas.fieldByName(QStringLiteral("IdNota")).asInteger());
            const bool umaNotaVazia
                = contagem(QStringLiteral("SELECT COUNT(*) FROM NOTAS WHERE IDCALCULO = ") + idCalculo) == 1
                && contagem(QStringLiteral("SELECT COUNT(*) FROM ITENS WHERE IDNOTA = ") + idNota) == 0
                && contagem(QStringLiteral("SELECT COUNT(*) FROM ITENSMEDIC WHERE IDNOTA = ") + idNota) == 0;
            // The calculation takes the group the item's goods need.
            const int grupo = GrupoEspecialDoItem(item);
            if (umaNotaVazia
                && Confirma(QStringLiteral("Quer mudar este Cálculo para \"") + NomeGrupo(grupo) + QLatin1Char('"'))) {
                postPrivate(MsgTrocaGrupo, grupo);
                trocou = true;
            }
        }
        if (!trocou)
            limpaCodigo();
        return false;
    }
    if (ItemAvisoPMPF(item) && !AvisoPMPF) {
        AvisoPMPF = true;
        QTimer::singleShot(250, this, [] {
            MsgAviso(QStringLiteral("A ST deste item é calculada pela PMPF ou pelo preço do fabricante.\r"
                                    "Consulte a legislação para verificar se neste caso é utilizada a MVA."));
        });
    }
    return true;
}

void TFormDlgItemBase::trocaGrupo(int grupo)
{
    TrocouGrupo = true;
    db::Table &calc = DM().TabCalc;
    calc.edit();
    calc.fieldByName(QStringLiteral("Grupo")).setAsInteger(grupo);
    calc.post();
    done(QDialog::Rejected);
    if (isGrupoMedicamento(grupo))
        MsgInformacao(QStringLiteral("Não esqueça de incluir o Crédito do ICMS na Nota Fiscal."));
}

// ---- messages --------------------------------------------------------------------------------------

void TFormDlgItemBase::MostraMensagem(const QString &key)
{
    if (key.isEmpty() || NaoMostrar.contains(key))
        return;
    QString texto = MensagemItem(key);
    while (texto.endsWith(QLatin1Char('\r')) || texto.endsWith(QLatin1Char('\n')))
        texto.chop(1);
    if (texto.trimmed().isEmpty())
        return;
    if (ehHtml(texto)) {
        MostraHtml(QStringLiteral("INFORMAÇÃO IMPORTANTE"), texto);
        return;
    }
    bool naoMostre = false;
    MsgInformacaoNaoMostre(texto, naoMostre);
    if (naoMostre)
        NaoMostrar << key;
}

} // namespace stb
