#include "entry/dlgnovanf.h"

#include "core/datamodule.h"
#include "core/edition.h"
#include "core/grupos.h"
#include "core/messages.h"
#include "entry/auditor.h"
#include "entry/dbcontrols.h"
#include "entry/dlgnovocalculo.h"
#include "entry/documents.h"
#include "entry/partes.h"
#include "platform/clock.h"
#include "platform/db/transaction.h"
#include "platform/formatting.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace stb {

namespace {

TFormDlgNovaNF *g_dialogo = nullptr;

db::Table &tabNotas() { return DM().TabNotas; }

QString campo(const char *name)
{
    db::Field *f = tabNotas().findField(QLatin1String(name));
    return f ? f->asString() : QString();
}

bool calculoMedicamento()
{
    db::Field *g = DM().TabCalc.findField(QStringLiteral("Grupo"));
    return g && !g->isNull() && isGrupoMedicamento(g->asInteger());
}

} // namespace

// ---- DateSpin --------------------------------------------------------------------

DateSpin::DateSpin(QWidget *parent) : QSpinBox(parent)
{
    setRange(QDate(1900, 1, 1).toJulianDay(), QDate(2999, 12, 31).toJulianDay());
    setMaximumWidth(20);
    setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    // Typing goes to the date field: the spin is only clicked, and Tab passes
    // it by. From the keyboard, Up and Down in the date field step it.
    setFocusPolicy(Qt::NoFocus);
}

void DateSpin::setDate(const QDate &d)
{
    if (d.isValid()) {
        const QSignalBlocker block(this);
        setValue(static_cast<int>(d.toJulianDay()));
    }
}

QDate DateSpin::date() const { return QDate::fromJulianDay(value()); }

QString DateSpin::textFromValue(int) const { return {}; }

// ---- the dialog -----------------------------------------------------------------

TFormDlgNovaNF &TFormDlgNovaNF::instancia(QWidget *parent)
{
    if (!g_dialogo)
        g_dialogo = Contribuinte ? new TFormDlgNovaNFContribuinte(parent) : new TFormDlgNovaNF(parent);
    return *g_dialogo;
}

bool TFormDlgNovaNF::existe() { return g_dialogo != nullptr; }

void TFormDlgNovaNF::libera()
{
    delete g_dialogo;
    g_dialogo = nullptr;
}

TFormDlgNovaNF::~TFormDlgNovaNF()
{
    // The child editors lose the focus while the widget part goes: no handler of ours then.
    disconnect(qApp, &QApplication::focusChanged, this, nullptr);
    if (g_dialogo == this)
        g_dialogo = nullptr;
}

TFormDlgNovaNF::TFormDlgNovaNF(QWidget *parent) : TFormDlg(parent)
{
    setObjectName(QStringLiteral("TFormDlgNovaNF"));
    db::Table &notas = tabNotas();
    if (!notas.isActive())
        notas.open();
    auto *outer = new QVBoxLayout(body());
    outer->setContentsMargins(0, 0, 0, 0);
    LabelIntro = new QLabel(body());
    LabelIntro->setObjectName(QStringLiteral("LabelIntro"));
    LabelIntro->setWordWrap(true);
    LabelIntro->setStyleSheet(QStringLiteral("color: #223366;"));
    outer->addWidget(LabelIntro);
    auto *grid = new QGridLayout;
    outer->addLayout(grid);
    auto label = [this, grid](const QString &text, int row, int col) {
        auto *l = new QLabel(text, body());
        grid->addWidget(l, row, col);
        return l;
    };

    dxDBNroNF = new DBEdit(&notas, QStringLiteral("NroNF"), body());
    dxDBNroNF->setObjectName(QStringLiteral("dxDBNroNF"));
    dxDBNroNF->setUpperCase(true);
    dxDBNroNF->setMaxLength(10);
    dxDBNroNF->setMaximumWidth(120);
    label(QStringLiteral("Nro Nota Fiscal"), 0, 0);
    grid->addWidget(dxDBNroNF, 0, 1);
    dxDBDataEmissao = new DBDateEdit(&notas, QStringLiteral("DataEmissao"), false, body());
    dxDBDataEmissao->setObjectName(QStringLiteral("dxDBDataEmissao"));
    dxDBDataEmissao->setMaximumWidth(100);
    dxSpinEdit = new DateSpin(body());
    dxSpinEdit->setObjectName(QStringLiteral("dxSpinEdit"));
    BtnHoje = new QToolButton(body());
    BtnHoje->setObjectName(QStringLiteral("BtnHoje"));
    BtnHoje->setText(QStringLiteral("Hoje"));
    BtnHoje->setFocusPolicy(Qt::NoFocus);
    label(QStringLiteral("Data Emissão"), 0, 2);
    auto *dateRow = new QHBoxLayout;
    dateRow->setSpacing(2);
    dateRow->addWidget(dxDBDataEmissao);
    dateRow->addWidget(dxSpinEdit);
    dateRow->addWidget(BtnHoje);
    dateRow->addStretch(1);
    grid->addLayout(dateRow, 0, 3);

    const CamposPartes partes = criaCamposPartes(notas, body(), grid, 1, this);
    dxDBCNPJRemetente = partes.cnpj;
    dxDBNomeRemetente = partes.nomeRemetente;
    BtnNomeRemetente = partes.btnRemetente;
    dxDBIEDestinatario = partes.ie;
    dxDBNomeDestinatario = partes.nomeDestinatario;
    BtnNomeDestinatario = partes.btnDestinatario;

    // The freight and, in its place for medicines, the invoice's own credit.
    LabelFrete = label(QStringLiteral("Frete+Seguro+Dsp.Acs."), 3, 0);
    LabelFrete->setObjectName(QStringLiteral("LabelFrete"));
    dxDBFrete = new DBCurrencyEdit(&notas, QStringLiteral("Frete"), body());
    dxDBFrete->setObjectName(QStringLiteral("dxDBFrete"));
    dxDBFrete->setMaximumWidth(120);
    grid->addWidget(dxDBFrete, 3, 1);
    LabelCreditoICMS = new QLabel(QStringLiteral("Valor do Crédito ICMS"), body());
    LabelCreditoICMS->setObjectName(QStringLiteral("LabelCreditoICMS"));
    grid->addWidget(LabelCreditoICMS, 3, 0);
    dxDBCreditoICMS_Medic = new DBCurrencyEdit(&notas, QStringLiteral("CreditoICMSMedic"), body());
    dxDBCreditoICMS_Medic->setObjectName(QStringLiteral("dxDBCreditoICMS_Medic"));
    dxDBCreditoICMS_Medic->setMaximumWidth(120);
    grid->addWidget(dxDBCreditoICMS_Medic, 3, 1);
    LabelCreditoICMS->hide();
    dxDBCreditoICMS_Medic->hide();
    dxDBCheckCreditoFrete = new DBCheckBox(
        &notas, QStringLiteral("CreditoFrete"), QStringLiteral("Conceder Crédito sobre o valor do Frete"), body());
    dxDBCheckCreditoFrete->setObjectName(QStringLiteral("dxDBCheckCreditoFrete"));
    dxDBCheckCreditoFrete->hide();
    dxDBCheckCreditoFrete->setEnabled(false);
    grid->addWidget(dxDBCheckCreditoFrete, 3, 2, 1, 2);
    dxDBCalcEdit1 = new DBCurrencyEdit(&notas, QStringLiteral("DestaqueICMSST"), body());
    dxDBCalcEdit1->setObjectName(QStringLiteral("dxDBCalcEdit1"));
    dxDBCalcEdit1->setMaximumWidth(120);
    QLabel *lDestaque = label(QStringLiteral("Vlr Destaque ICMS-ST"), 4, 0);
    grid->addWidget(dxDBCalcEdit1, 4, 1);
    grid->setColumnStretch(3, 1);

    connect(BtnHoje, &QToolButton::clicked, dxDBDataEmissao, &DBDateEdit::setToday);
    connect(dxDBDataEmissao, &DBDateEdit::dateChanged, dxSpinEdit, &DateSpin::setDate);
    connect(dxSpinEdit, &QSpinBox::valueChanged, this, [this] {
        db::Field *f = tabNotas().findField(QStringLiteral("DataEmissao"));
        const auto s = tabNotas().state();
        if (f && (s == db::DataSet::State::Edit || s == db::DataSet::State::Insert))
            f->setAsDate(dxSpinEdit->date());
        dxDBDataEmissao->setFocus();
    });
    dxDBDataEmissao->installEventFilter(this);
    connect(dxDBFrete, &DBCurrencyEdit::committed, this, &TFormDlgNovaNF::regraFrete);
    connect(BtnNomeRemetente, &QToolButton::clicked, this, &TFormDlgNovaNF::NomeRemetente);
    connect(BtnNomeDestinatario, &QToolButton::clicked, this, &TFormDlgNovaNF::NomeDestinatario);
    connect(qApp, &QApplication::focusChanged, this, &TFormDlgNovaNF::focusChanged);
    m_camposUnidade = partes.todos + QList<QWidget *> {lDestaque, dxDBCalcEdit1};
    postPrivate(MsgListas);
    finishCreate();
}

QString TFormDlgNovaNF::grupoEspecial() const { return DM().TextoGrupoEspecial(); }

void TFormDlgNovaNF::preencheListas() { preencheListasPartes(dxDBCNPJRemetente, dxDBIEDestinatario); }

void TFormDlgNovaNF::prepara()
{
    QString intro = QStringLiteral("Nesta tela você vai informar os dados de cada Nota Fiscal.\n"
                                   "Você deve incluir todas as notas fiscais com ST que fazem parte do mesmo Cálculo.");
    const bool medic = calculoMedicamento();
    LabelFrete->setVisible(!medic);
    dxDBFrete->setVisible(!medic);
    LabelCreditoICMS->setVisible(medic);
    dxDBCreditoICMS_Medic->setVisible(medic);
    if (!medic)
        intro += QStringLiteral("\nColoque no campo \"Frete+Seguro+Desp.Acessórias\" a soma destes 3 valores que foram "
                                "pagos pelo destinatário.");
    LabelIntro->setText(intro);
    postPrivate(MsgListas);
}

void TFormDlgNovaNF::regraFrete()
{
    db::Field *frete = tabNotas().findField(QStringLiteral("Frete"));
    const bool zero = !frete || frete->asCurrency().isZero();
    const auto s = tabNotas().state();
    if (zero && (s == db::DataSet::State::Edit || s == db::DataSet::State::Insert))
        tabNotas().fieldByName(QStringLiteral("CreditoFrete")).setAsBoolean(false);
    dxDBCheckCreditoFrete->setEnabled(!zero);
}

void TFormDlgNovaNF::focusChanged(QWidget *old, QWidget *now)
{
    if (!leavesControl(old, now))
        return;
    if (dentroDe(old, dxDBCNPJRemetente) && !dentroDe(now, dxDBCNPJRemetente))
        postPrivate(MsgCNPJ);
    else if (dentroDe(old, dxDBIEDestinatario) && !dentroDe(now, dxDBIEDestinatario))
        postPrivate(MsgIE);
    else if (old == dxDBCalcEdit1 && !dxDBCalcEdit1->pending()) {
        // The amount was stored on leaving; a refused one asks nothing.
        db::Field *f = tabNotas().findField(QStringLiteral("DestaqueICMSST"));
        if (f && f->asCurrency() > Currency())
            postPrivate(MsgDestaque);
    }
}

bool TFormDlgNovaNF::eventFilter(QObject *o, QEvent *e)
{
    if ((o == dxDBNomeRemetente || o == dxDBNomeDestinatario) && pedeNome(e)) {
        if (o == dxDBNomeRemetente)
            NomeRemetente();
        else
            NomeDestinatario();
        return e->type() == QEvent::KeyPress;
    }
    if (o == dxDBDataEmissao && e->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(e)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            dxDBDataEmissao->commit();
            dxSpinEdit->stepBy(key == Qt::Key_Up ? 1 : -1);
            return true;
        }
    }
    return TFormDlg::eventFilter(o, e);
}

void TFormDlgNovaNF::privateMessage(int msg, qintptr, qintptr)
{
    // A check posted before the dialog closed has nothing left to check.
    if (!isVisible() && msg != MsgListas)
        return;
    switch (msg) {
    case MsgCNPJ:
        verificaCNPJ();
        break;
    case MsgIE:
        verificaIE();
        break;
    case MsgDestaque:
        perguntaDestaque();
        break;
    case MsgListas:
        preencheListas();
        break;
    default:
        break;
    }
}

void TFormDlgNovaNF::verificaCNPJ()
{
    const QString cnpj = campo("CNPJRemet");
    const QString digitos = RemoveCaracteres(cnpj, QStringLiteral("./- &"));
    if (digitos.isEmpty())
        return;
    if (!CNPJValido(digitos) && !ConfirmaPadraoNao(QStringLiteral("O CNPJ não está correto. Continua"))) {
        SuppressEvents guard(*this);
        dxDBCNPJRemetente->setFocus();
        return;
    }
    const QString nome = regimeRemetente(cnpj);
    if (!campo("XRemetente").isEmpty())
        return;
    if (!nome.isEmpty()) {
        GravaRemetente(cnpj, nome);
        tabNotas().recalculate();
        return;
    }
    NomeRemetente();
}

void TFormDlgNovaNF::verificaIE()
{
    const QString ie = campo("IEDest");
    if (ie.isEmpty())
        return;
    if (!InscricaoValida(ie) && !ConfirmaPadraoNao(QStringLiteral("A Inscrição Estadual não está correta. Continua"))) {
        SuppressEvents guard(*this);
        dxDBIEDestinatario->setFocus();
        return;
    }
    const QString nome = regimeDestinatario(ie);
    if (!campo("XDestinatario").isEmpty())
        return;
    if (!nome.isEmpty()) {
        GravaDestinatario(ie, nome);
        tabNotas().recalculate();
        return;
    }
    NomeDestinatario();
}

void TFormDlgNovaNF::proximoAposNome(QWidget *nameField)
{
    SuppressEvents guard(*this);
    if (nameField == dxDBNomeRemetente)
        dxDBIEDestinatario->setFocus();
    else if (dxDBFrete->isVisible())
        dxDBFrete->setFocus();
    else
        dxDBCreditoICMS_Medic->setFocus();
}

void TFormDlgNovaNF::NomeRemetente()
{
    const QString cnpj = dxDBCNPJRemetente->currentText();
    if (digitosDocumento(cnpj).isEmpty())
        return;
    if (CadastraRemetente(cnpj, campo("XRemetente"), this))
        tabNotas().recalculate();
    proximoAposNome(dxDBNomeRemetente);
}

void TFormDlgNovaNF::NomeDestinatario()
{
    const QString ie = dxDBIEDestinatario->currentText();
    if (digitosDocumento(ie).isEmpty())
        return;
    if (CadastraDestinatario(ie, campo("XDestinatario"), this))
        tabNotas().recalculate();
    proximoAposNome(dxDBNomeDestinatario);
}

void TFormDlgNovaNF::perguntaDestaque()
{
    const Currency valor = tabNotas().fieldByName(QStringLiteral("DestaqueICMSST")).asCurrency();
    const QString texto
        = Format(QStringLiteral(
                     "Você informou o valor de %n como sendo a SUBSTITUIÇÃO TRIBUTÁRIA já destacada na Nota Fiscal."),
              {valor.toDouble()})
        + QStringLiteral(
            "\rQuer que este cálculo verifique apenas a diferença entre o valor correto e o valor destacado");
    if (!ConfirmaPadraoNao(texto)) {
        SuppressEvents guard(*this);
        dxDBCalcEdit1->setFocus();
    }
}

void TFormDlgNovaNF::BtnOkClick()
{
    for (DBCurrencyEdit *e : {dxDBFrete, dxDBCreditoICMS_Medic, dxDBCalcEdit1})
        if (!e->commit())
            return;
    dxDBDataEmissao->commit();
    if (campo("NroNF").trimmed().isEmpty()) {
        dxDBNroNF->setFocus();
        MsgErro(QStringLiteral("Preciso desta informação para continuar!"));
        return;
    }
    const Currency frete = tabNotas().fieldByName(QStringLiteral("Frete")).asCurrency();
    if (dxDBFrete->isVisible() && frete > Currency()) {
        const QString texto = QStringList {QStringLiteral("Atenção: você digitou ")
                + Format(QStringLiteral("%m"), {frete.toDouble()}) + QStringLiteral(" de valor do frete."),
            QString(),
            QStringLiteral("Este valor só deve fazer parte do cálculo se o frete foi ou será pago pelo destinatário."),
            QString(), QStringLiteral("Verique se este valor:"),
            QStringLiteral("* está destacado na Nota Fiscal no campo \"Frete\"; ou "),
            QStringLiteral("* no CTRC consta que o frete é por conta do destinatário."), QString(),
            QStringLiteral("Confirma incluir o valor do frete no cálculo do ICMS-ST")}
                                  .join(QLatin1Char('\r'));
        if (!ConfirmaPadraoNao(texto))
            return;
    }
    const QString cnpjTexto = dxDBCNPJRemetente->currentText();
    const QString ieTexto = dxDBIEDestinatario->currentText();
    const QString cnpj = digitosDocumento(cnpjTexto);
    const QString ie = digitosDocumento(ieTexto);
    if (cnpj.isEmpty() && ie.isEmpty()) {
        accept();
        return;
    }
    QString nomeRemet = campo("XRemetente"), nomeDest = campo("XDestinatario");
    if (ConsultaAuditor(cnpj, ie, nomeRemet, nomeDest, this)) {
        if (!cnpj.isEmpty()) {
            if (nomeRemet.isEmpty()) {
                faltaNome(dxDBNomeRemetente);
                return;
            }
            GravaRemetente(cnpjTexto, nomeRemet);
        }
        if (!ie.isEmpty()) {
            if (nomeDest.isEmpty()) {
                faltaNome(dxDBNomeDestinatario);
                return;
            }
            GravaDestinatario(ieTexto, nomeDest);
        }
        tabNotas().recalculate();
    }
    accept();
}

bool TFormDlgNovaNF::IncluiNota()
{
    TDM &dm = DM();
    db::Table &notas = tabNotas();
    prepara();
    setWindowTitle(QStringLiteral("Inclusão de Nova Nota Fiscal") + grupoEspecial());
    // The new row waits in memory while the user types; the transaction, and
    // with it the lock other workstations wait on, covers only numbering and
    // storing it.
    notas.append();
    bool aceito = false;
    try {
        notas.fieldByName(QStringLiteral("DataEmissao")).setAsDate(Clock::today());
        for (const char *f : {"Frete", "DestaqueICMSST", "CreditoICMSMedic"})
            notas.fieldByName(QLatin1String(f)).setAsCurrency(Currency());
        dxSpinEdit->setDate(Clock::today());
        regraFrete();
        for (const char *f : {"CNPJRemet", "IEDest"}) {
            db::Field *deCalculo = dm.TabCalc.findField(QLatin1String(f));
            if (deCalculo && !deCalculo->isNull())
                notas.fieldByName(QLatin1String(f)).setAsString(deCalculo->asString());
        }
        notas.recalculate();
        dxDBNroNF->setFocus();
        aceito = exec() == QDialog::Accepted;
        if (aceito) {
            db::Transaction tx(dm.BaseDados);
            notas.fieldByName(QStringLiteral("IdNota")).setAsInteger(dm.ProximoIdNota());
            notas.post();
            tx.commit();
        }
    } catch (...) {
        if (notas.isActive() && notas.state() != db::DataSet::State::Browse)
            notas.cancel();
        throw;
    }
    if (!aceito)
        notas.cancel();
    return aceito;
}

void TFormDlgNovaNF::AlteraNota()
{
    db::Table &notas = tabNotas();
    if (!notas.isActive() || notas.isEmpty())
        return;
    prepara();
    setWindowTitle(QStringLiteral("Alteração de Nota Fiscal") + grupoEspecial());
    dxDBNroNF->setFocus();
    notas.edit();
    dxSpinEdit->setDate(notas.fieldByName(QStringLiteral("DataEmissao")).asDate());
    regraFrete();
    if (exec() == QDialog::Accepted)
        notas.post();
    else
        notas.cancel();
}

void TFormDlgNovaNF::ExcluiNota()
{
    TDM &dm = DM();
    db::Table &notas = tabNotas();
    if (!notas.isActive() || notas.isEmpty())
        return;
    if (!ConfirmaPadraoNao(QStringLiteral("Quer excluir esta Nota Fiscal")))
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool medic = calculoMedicamento();
    db::Table &itens = medic ? dm.TabItensMedic : dm.TabItens;
    db::Query &q = dm.Qry;
    q.close();
    q.setSql(medic ? QStringLiteral("SELECT COUNT(*) FROM ITENSMEDIC WHERE IDNOTA = :IdNota")
                   : QStringLiteral("SELECT COUNT(*) FROM ITENS WHERE IDNOTA = :IdNota"));
    q.paramByName(QStringLiteral("IdNota")).setAsInteger(notas.fieldByName(QStringLiteral("IdNota")).asInteger());
    q.open();
    const int linhas = q.field(0).asInteger();
    q.close();
    QApplication::restoreOverrideCursor();
    if (linhas > 0) {
        const QString texto = QStringLiteral("Esta Nota possui %1 ite%2 cadastrado%3. Confirma a Exclusão")
                                  .arg(linhas)
                                  .arg(linhas == 1 ? QStringLiteral("m") : QStringLiteral("ns"))
                                  .arg(linhas == 1 ? QString() : QStringLiteral("s"));
        if (!ConfirmaPadraoNao(texto) || !ConfirmaDigitandoSim())
            return;
        QApplication::setOverrideCursor(Qt::WaitCursor);
        if (!itens.isActive())
            itens.open();
        for (itens.first(); !itens.isEmpty(); itens.first())
            itens.remove();
        QApplication::restoreOverrideCursor();
    }
    notas.remove();
}

TFormDlgNovaNFContribuinte::TFormDlgNovaNFContribuinte(QWidget *parent) : TFormDlgNovaNF(parent)
{
    setObjectName(QStringLiteral("TFormDlgNovaNFContribuinte"));
    for (QWidget *w : camposUnidade())
        w->hide();
    adjustSize();
}

bool IncluiNota(QWidget *parent) { return TFormDlgNovaNF::instancia(parent).IncluiNota(); }
void AlteraNota(QWidget *parent) { TFormDlgNovaNF::instancia(parent).AlteraNota(); }
void ExcluiNota(QWidget *parent) { TFormDlgNovaNF::instancia(parent).ExcluiNota(); }

} // namespace stb
