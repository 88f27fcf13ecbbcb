#include "entry/dlgnovocalculo.h"

#include "core/datamodule.h"
#include "core/edition.h"
#include "core/grupos.h"
#include "core/messages.h"
#include "core/settings.h"
#include "entry/auditor.h"
#include "entry/cadempresa.h"
#include "entry/calculoespecial.h"
#include "entry/dbcontrols.h"
#include "entry/documents.h"
#include "entry/partes.h"
#include "platform/clock.h"

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace stb {

namespace {

TFormDlgNovoCalculo *g_dialogo = nullptr;

db::Table &tabCalc() { return DM().TabCalc; }

QString campo(const char *name)
{
    db::Field *f = tabCalc().findField(QLatin1String(name));
    return f ? f->asString() : QString();
}

} // namespace

// ---- the dialog ------------------------------------------------------------------

TFormDlgNovoCalculo &TFormDlgNovoCalculo::instancia(QWidget *parent)
{
    if (!g_dialogo) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        g_dialogo = Contribuinte ? new TFormDlgNovoCalculoContribuinte(parent) : new TFormDlgNovoCalculo(parent);
        QApplication::restoreOverrideCursor();
    }
    return *g_dialogo;
}

bool TFormDlgNovoCalculo::existe() { return g_dialogo != nullptr; }

void TFormDlgNovoCalculo::libera()
{
    delete g_dialogo;
    g_dialogo = nullptr;
}

TFormDlgNovoCalculo::~TFormDlgNovoCalculo()
{
    // The child editors lose the focus while the widget part goes: no handler of ours then.
    disconnect(qApp, &QApplication::focusChanged, this, nullptr);
    if (g_dialogo == this)
        g_dialogo = nullptr;
}

TFormDlgNovoCalculo::TFormDlgNovoCalculo(QWidget *parent) : TFormDlg(parent)
{
    setObjectName(QStringLiteral("TFormDlgNovoCalculo"));
    db::Table &calc = tabCalc();
    if (!calc.isActive())
        calc.open();
    auto *outer = new QVBoxLayout(body());
    outer->setContentsMargins(0, 0, 0, 0);
    LabelIntro
        = new QLabel(QStringLiteral("Nesta tela você vai informar os dados iniciais do Cálculo. \n"
                                    "O sistema chama de \"Cálculo\" TODAS as notas fiscais que estão no veículo, "
                                    "que incidem ST de um mesmo grupo de mercadorias.\n"
                                    "Informe o REMETENTE se todas as notas fiscais são de uma mesma empresa.\n"
                                    "Informe o DESTINATÁRIO se todas as notas fiscais são para o mesmo destinatário."),
            body());
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
    dxDBNroCalculo = new DBEdit(&calc, QStringLiteral("IdCalculo"), body());
    dxDBNroCalculo->setObjectName(QStringLiteral("dxDBNroCalculo"));
    dxDBNroCalculo->setReadOnly(true);
    dxDBNroCalculo->setFocusPolicy(Qt::NoFocus);
    dxDBNroCalculo->setStyleSheet(QStringLiteral("background: #d8d8d8;"));
    dxDBNroCalculo->setMaximumWidth(90);
    dxDBDataHora = new DBDateEdit(&calc, QStringLiteral("DataHora"), true, body());
    dxDBDataHora->setObjectName(QStringLiteral("dxDBDataHora"));
    BtnHoje = new QToolButton(body());
    BtnHoje->setObjectName(QStringLiteral("BtnHoje"));
    BtnHoje->setText(QStringLiteral("Hoje"));
    BtnHoje->setFocusPolicy(Qt::NoFocus);
    label(QStringLiteral("Nro Cálculo"), 0, 0);
    grid->addWidget(dxDBNroCalculo, 0, 1);
    label(QStringLiteral("Data/Hora"), 0, 2);
    auto *dataRow = new QHBoxLayout;
    dataRow->addWidget(dxDBDataHora);
    dataRow->addWidget(BtnHoje);
    grid->addLayout(dataRow, 0, 3);

    dxDBMasp = new DBEdit(&calc, QStringLiteral("Masp"), body());
    dxDBMasp->setObjectName(QStringLiteral("dxDBMasp"));
    dxDBMasp->setEditMask(QStringLiteral("000.000-0;1;_"));
    dxDBMasp->setMaximumWidth(90);
    dxDBNomeFiscal = new DBEdit(&calc, QStringLiteral("XFiscal"), body());
    dxDBNomeFiscal->setObjectName(QStringLiteral("dxDBNomeFiscal"));
    BtnNomeFiscal = botaoNome(body(), "BtnNomeFiscal");
    QLabel *lMasp = label(QStringLiteral("MASP"), 1, 0);
    grid->addWidget(dxDBMasp, 1, 1);
    QLabel *lFiscal = label(QStringLiteral("Fiscal"), 1, 2);
    auto *fiscalRow = new QHBoxLayout;
    fiscalRow->addWidget(dxDBNomeFiscal);
    fiscalRow->addWidget(BtnNomeFiscal);
    grid->addLayout(fiscalRow, 1, 3);

    const CamposPartes partes = criaCamposPartes(calc, body(), grid, 2, this);
    dxDBCNPJRemetente = partes.cnpj;
    dxDBNomeRemetente = partes.nomeRemetente;
    BtnNomeRemetente = partes.btnRemetente;
    dxDBIEDestinatario = partes.ie;
    dxDBNomeDestinatario = partes.nomeDestinatario;
    BtnNomeDestinatario = partes.btnDestinatario;
    dxDBNomeFiscal->setReadOnly(true);
    // As the company names: reached by F4 or the mouse, not a Tab stop.
    dxDBNomeFiscal->setFocusPolicy(Qt::ClickFocus);
    dxDBNomeFiscal->setMinimumWidth(300);
    dxDBNomeFiscal->installEventFilter(this);

    dxDBObserv = new DBMemo(&calc, QStringLiteral("Observ"), body());
    dxDBObserv->setObjectName(QStringLiteral("dxDBObserv"));
    dxDBObserv->setUpperCase(true);
    dxDBObserv->setWantReturns(false);
    dxDBObserv->setTabChangesFocus(true);
    dxDBObserv->setMaximumHeight(dxDBMasp->sizeHint().height() * 2 + 6);
    QLabel *lObserv = label(QStringLiteral("Observações (informação opcional)"), 4, 0);
    grid->addWidget(dxDBObserv, 4, 1, 1, 3);
    dxDBNroTRM = new DBEdit(&calc, QStringLiteral("NroTRM"), body());
    dxDBNroTRM->setObjectName(QStringLiteral("dxDBNroTRM"));
    dxDBNroTRM->setReadOnly(true);
    dxDBNroTRM->setMaximumWidth(140);
    dxDBNroTRM->installEventFilter(this);
    QLabel *lTrm = label(QStringLiteral("Nro ARM"), 5, 0);
    grid->addWidget(dxDBNroTRM, 5, 1);

    // Kind of calculation.
    auto *boxes = new QHBoxLayout;
    outer->addLayout(boxes);
    auto *kind = new QGroupBox(QStringLiteral("Tipo de Cálculo"), body());
    auto *kindLayout = new QVBoxLayout(kind);
    dxCheckPadrao = new QCheckBox(QStringLiteral("Cálculo Padrão (todos os cálculos que não são Especiais)"), kind);
    dxCheckPadrao->setObjectName(QStringLiteral("dxCheckPadrao"));
    kindLayout->addWidget(dxCheckPadrao);
    auto *special = new QGroupBox(QStringLiteral("Cálculos Especiais"), kind);
    auto *specialLayout = new QHBoxLayout(special);
    dxCheckCombustivel = new QCheckBox(QStringLiteral("Combustíveis"), special);
    dxCheckCombustivel->setObjectName(QStringLiteral("dxCheckCombustivel"));
    dxCheckMedicamento = new QCheckBox(QStringLiteral("Medicamentos (Tab ABCFarma)"), special);
    dxCheckMedicamento->setObjectName(QStringLiteral("dxCheckMedicamento"));
    dxCheckMedicamentoMVA = new QCheckBox(QStringLiteral("Medicamentos (MVA)"), special);
    dxCheckMedicamentoMVA->setObjectName(QStringLiteral("dxCheckMedicamentoMVA"));
    dxCheckCombustivel->setProperty("tag", Grupo::Combustiveis);
    dxCheckMedicamento->setProperty("tag", Grupo::Medicamentos);
    dxCheckMedicamentoMVA->setProperty("tag", Grupo::MedicamentosMVA);
    for (QCheckBox *b : {dxCheckCombustivel, dxCheckMedicamento, dxCheckMedicamentoMVA})
        specialLayout->addWidget(b);
    kindLayout->addWidget(special);
    boxes->addWidget(kind, 1);
    SBTipo = new QPushButton(QStringLiteral("Que tipo\nde cálculo\neu devo\nutilizar?"), body());
    SBTipo->setObjectName(QStringLiteral("SBTipo"));
    SBTipo->setAutoDefault(false);
    SBTipo->setMinimumHeight(80);
    boxes->addWidget(SBTipo);

    // Type of operation.
    auto *tipo = new QGroupBox(QStringLiteral("Tipo de Operação"), body());
    auto *tipoLayout = new QGridLayout(tipo);
    dxCheckInterna = new QCheckBox(QStringLiteral("Operação Interna"), tipo);
    dxCheckInterna->setObjectName(QStringLiteral("dxCheckInterna"));
    dxCheckInterestadual = new QCheckBox(QStringLiteral("Operação Interestadual"), tipo);
    dxCheckInterestadual->setObjectName(QStringLiteral("dxCheckInterestadual"));
    tipoLayout->addWidget(dxCheckInterna, 0, 0);
    tipoLayout->addWidget(dxCheckInterestadual, 0, 1);
    dxCheckTipo1 = new QCheckBox(QStringLiteral("com destino à comercialização (ICMS/ST)"), tipo);
    dxCheckTipo2
        = new QCheckBox(QStringLiteral("com destino a consumidor final, contribuinte do imposto (DIFAL)"), tipo);
    dxCheckTipo3 = new QCheckBox(
        QStringLiteral("com destino a consumidor final, não contribuinte do imposto (DIFAL proporcional)"), tipo);
    dxCheckTipo4 = new QCheckBox(
        QStringLiteral("Operações com destino a consumidor final, contribuinte ou não do imposto (FEM)"), tipo);
    int row = 1;
    int n = 1;
    for (QCheckBox *b : {dxCheckTipo1, dxCheckTipo2, dxCheckTipo3, dxCheckTipo4}) {
        b->setObjectName(QStringLiteral("dxCheckTipo%1").arg(n++));
        tipoLayout->addWidget(b, row++, 0, 1, 2);
    }
    dxCheckTipo4->hide();
    outer->addWidget(tipo);

    connect(BtnHoje, &QToolButton::clicked, dxDBDataHora, &DBDateEdit::setToday);
    connect(BtnNomeFiscal, &QToolButton::clicked, this, &TFormDlgNovoCalculo::NomeFiscal);
    connect(BtnNomeRemetente, &QToolButton::clicked, this, &TFormDlgNovoCalculo::NomeRemetente);
    connect(BtnNomeDestinatario, &QToolButton::clicked, this, &TFormDlgNovoCalculo::NomeDestinatario);
    connect(SBTipo, &QPushButton::clicked, this, [this] { MostraCalculoEspecial(this); });
    for (QCheckBox *b : caixasGrupo())
        connect(b, &QCheckBox::clicked, this, [this, b](bool checked) {
            if (eventsSuppressed())
                return;
            if (b->property("somenteLeitura").toBool()) {
                SuppressEvents guard(*this);
                b->setChecked(!checked);
            } else if (checked) {
                marcaGrupo(b);
            }
        });
    for (QCheckBox *b : caixasTipo())
        connect(b, &QCheckBox::clicked, this, [this, b](bool checked) {
            if (eventsSuppressed())
                return;
            if (b->property("somenteLeitura").toBool()) {
                SuppressEvents guard(*this);
                b->setChecked(!checked);
            } else {
                marcaTipo(b);
            }
        });
    connect(dxCheckInterna, &QCheckBox::clicked, this, [this] {
        if (!eventsSuppressed())
            marcaInterna(true);
    });
    connect(dxCheckInterestadual, &QCheckBox::clicked, this, [this] {
        if (!eventsSuppressed())
            marcaInterna(false);
    });
    connect(qApp, &QApplication::focusChanged, this, &TFormDlgNovoCalculo::focusChanged);
    preencheListas();
    dxCheckTipo1->setChecked(true);
    // Boxes the taxpayer edition hides, with their labels.
    m_camposUnidade = QList<QWidget *> {LabelIntro, lMasp, dxDBMasp, lFiscal, dxDBNomeFiscal, BtnNomeFiscal}
        + partes.todos + QList<QWidget *> {lObserv, dxDBObserv, lTrm, dxDBNroTRM};
    finishCreate();
}

void TFormDlgNovoCalculo::AjustaContribuinte() {}

QList<QCheckBox *> TFormDlgNovoCalculo::caixasGrupo() const
{
    return {dxCheckPadrao, dxCheckCombustivel, dxCheckMedicamento, dxCheckMedicamentoMVA};
}

QList<QCheckBox *> TFormDlgNovoCalculo::caixasTipo() const
{
    return {dxCheckTipo1, dxCheckTipo2, dxCheckTipo3, dxCheckTipo4};
}

void TFormDlgNovoCalculo::preencheListas() { preencheListasPartes(dxDBCNPJRemetente, dxDBIEDestinatario); }

int TFormDlgNovoCalculo::grupoEscolhido() const
{
    for (QCheckBox *b : {dxCheckCombustivel, dxCheckMedicamento, dxCheckMedicamentoMVA})
        if (b->isChecked())
            return b->property("tag").toInt();
    return 0;
}

int TFormDlgNovoCalculo::tipoEscolhido() const
{
    const auto caixas = caixasTipo();
    for (int i = 0; i < caixas.size(); ++i)
        if (caixas[i]->isChecked())
            return i + 1;
    return 0;
}

void TFormDlgNovoCalculo::marcaGrupo(QCheckBox *box)
{
    SuppressEvents guard(*this);
    for (QCheckBox *b : caixasGrupo())
        b->setChecked(false);
    if (box)
        box->setChecked(true);
}

void TFormDlgNovoCalculo::marcaTipo(QCheckBox *box)
{
    SuppressEvents guard(*this);
    for (QCheckBox *b : caixasTipo())
        b->setChecked(b == box);
}

void TFormDlgNovoCalculo::marcaInterna(bool interna)
{
    SuppressEvents guard(*this);
    dxCheckInterna->setChecked(interna);
    dxCheckInterestadual->setChecked(!interna);
    if (interna) {
        dxCheckTipo2->setChecked(false);
        dxCheckTipo3->setChecked(false);
    } else {
        dxCheckTipo4->setChecked(false);
    }
    dxCheckTipo2->setEnabled(!interna);
    dxCheckTipo3->setEnabled(!interna);
    dxCheckTipo4->setEnabled(interna);
}

void TFormDlgNovoCalculo::setCaixasEditaveis(bool editaveis)
{
    // Read-only boxes keep their enabling rules but take no input: a click
    // is undone at once.
    for (QCheckBox *b : caixasGrupo() + caixasTipo()) {
        b->setFocusPolicy(editaveis ? Qt::StrongFocus : Qt::NoFocus);
        b->setProperty("somenteLeitura", !editaveis);
        b->setStyleSheet(editaveis ? QString() : QStringLiteral("color: #707070;"));
    }
}

bool TFormDlgNovoCalculo::exigeTexto(QWidget *w, const QString &text)
{
    for (const QChar c : text)
        if (c.isLetterOrNumber())
            return true;
    if (w == dxDBNomeFiscal || w == dxDBNomeRemetente || w == dxDBNomeDestinatario) {
        faltaNome(w); // read-only: the message says how to fill it
        return false;
    }
    w->setFocus();
    MsgErro(QStringLiteral("Preciso desta informação para continuar!"));
    return false;
}

void TFormDlgNovoCalculo::focusChanged(QWidget *old, QWidget *now)
{
    if (!leavesControl(old, now))
        return; // towards Cancel, or to a message box (Escape asking "Cancela as informações?")
    if (dentroDe(old, dxDBCNPJRemetente) && !dentroDe(now, dxDBCNPJRemetente))
        postPrivate(MsgCNPJ);
    else if (dentroDe(old, dxDBIEDestinatario) && !dentroDe(now, dxDBIEDestinatario))
        postPrivate(MsgIE);
    else if (old == dxDBMasp)
        postPrivate(MsgMasp);
}

bool TFormDlgNovoCalculo::eventFilter(QObject *o, QEvent *e)
{
    if ((o == dxDBNomeRemetente || o == dxDBNomeDestinatario || o == dxDBNomeFiscal) && pedeNome(e)) {
        if (o == dxDBNomeRemetente)
            NomeRemetente();
        else if (o == dxDBNomeDestinatario)
            NomeDestinatario();
        else
            NomeFiscal();
        return e->type() == QEvent::KeyPress;
    }
    if (o == dxDBNroTRM && e->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(e)->key();
        if ((key == Qt::Key_Delete || key == Qt::Key_Backspace) && !campo("NroTRM").isEmpty()) {
            if (ConfirmaPadraoNao(QStringLiteral("Quer excluir este Número para gerar outro ARM")))
                tabCalc().fieldByName(QStringLiteral("NroTRM")).clear();
            return true;
        }
    }
    return TFormDlg::eventFilter(o, e);
}

void TFormDlgNovoCalculo::privateMessage(int msg, qintptr wparam, qintptr)
{
    // A check posted before the dialog closed has nothing left to check.
    if (!isVisible())
        return;
    switch (msg) {
    case MsgCNPJ:
        verificaCNPJ();
        break;
    case MsgIE:
        verificaIE();
        break;
    case MsgMasp:
        if (!digitosDocumento(dxDBMasp->text()).isEmpty() && campo("XFiscal").isEmpty()) {
            {
                SuppressEvents guard(*this);
                dxDBNomeFiscal->setFocus();
            }
            NomeFiscal();
        }
        break;
    case MsgProximoCampo: {
        SuppressEvents guard(*this);
        if (wparam == 1)
            dxDBIEDestinatario->setFocus();
        else if (wparam == 2)
            dxDBObserv->setFocus();
        else if (wparam == 3)
            dxDBCNPJRemetente->setFocus();
        break;
    }
    default:
        break;
    }
}

void TFormDlgNovoCalculo::verificaCNPJ()
{
    const QString cnpj = campo("CNPJRemet");
    if (cnpj.isEmpty())
        return;
    if (!CNPJValido(cnpj) && !ConfirmaPadraoNao(QStringLiteral("O CNPJ não está correto. Continua"))) {
        SuppressEvents guard(*this);
        dxDBCNPJRemetente->setFocus();
        return;
    }
    const QString nome = regimeRemetente(cnpj);
    if (!campo("XRemetente").isEmpty())
        return;
    if (!nome.isEmpty()) {
        GravaRemetente(cnpj, nome);
        tabCalc().recalculate();
        return;
    }
    {
        SuppressEvents guard(*this);
        dxDBNomeRemetente->setFocus();
    }
    NomeRemetente();
}

void TFormDlgNovoCalculo::verificaIE()
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
        tabCalc().recalculate();
        return;
    }
    {
        SuppressEvents guard(*this);
        dxDBNomeDestinatario->setFocus();
    }
    NomeDestinatario();
}

void TFormDlgNovoCalculo::NomeRemetente()
{
    const QString cnpj = dxDBCNPJRemetente->currentText();
    if (digitosDocumento(cnpj).isEmpty())
        return;
    if (CadastraRemetente(cnpj, campo("XRemetente"), this))
        tabCalc().recalculate();
    postPrivate(MsgProximoCampo, 1);
}

void TFormDlgNovoCalculo::NomeDestinatario()
{
    const QString ie = dxDBIEDestinatario->currentText();
    if (digitosDocumento(ie).isEmpty())
        return;
    if (CadastraDestinatario(ie, campo("XDestinatario"), this))
        tabCalc().recalculate();
    postPrivate(MsgProximoCampo, 2);
}

void TFormDlgNovoCalculo::NomeFiscal()
{
    const QString masp = dxDBMasp->text();
    if (digitosDocumento(masp).isEmpty())
        return;
    QString nome = campo("XFiscal");
    if (CadastraEmpresa(QStringLiteral("Masp"), masp, nome, this)) {
        gravaCadastro(DM().TabFisc, QStringLiteral("Masp"), QStringLiteral("Fiscal"), masp, nome);
        tabCalc().recalculate();
    }
    postPrivate(MsgProximoCampo, 3);
}

void TFormDlgNovoCalculo::BtnOkClick()
{
    // Typed dates and amounts reach their fields first.
    dxDBDataHora->commit();
    if (!exigeTexto(dxDBDataHora, dxDBDataHora->text()))
        return;
    if (!Contribuinte) {
        if (!exigeTexto(dxDBMasp, dxDBMasp->text()) || !exigeTexto(dxDBNomeFiscal, dxDBNomeFiscal->text()))
            return;
        const QString cnpjTexto = dxDBCNPJRemetente->currentText();
        const QString ieTexto = dxDBIEDestinatario->currentText();
        const QString cnpj = digitosDocumento(cnpjTexto);
        const QString ie = digitosDocumento(ieTexto);
        QString nomeRemet = campo("XRemetente"), nomeDest = campo("XDestinatario");
        if ((!cnpj.isEmpty() || !ie.isEmpty()) && ConsultaAuditor(cnpj, ie, nomeRemet, nomeDest, this)) {
            if (!cnpj.isEmpty()) {
                if (!exigeTexto(dxDBNomeRemetente, nomeRemet))
                    return;
                GravaRemetente(cnpjTexto, nomeRemet);
            }
            if (!ie.isEmpty()) {
                if (!exigeTexto(dxDBNomeDestinatario, nomeDest))
                    return;
                GravaDestinatario(ieTexto, nomeDest);
            }
            tabCalc().recalculate();
        }
    }
    const int grupo = grupoEscolhido();
    if (grupo != 0) {
        if ((dxCheckTipo2->isChecked() || dxCheckTipo3->isChecked()) && grupo == Grupo::Medicamentos) {
            dxCheckTipo1->setFocus();
            MsgErro(QStringLiteral(
                "Não é possível calcular o diferencial de alíquota de Medicamentos (Tab CMED/ABCFarma)."));
            return;
        }
        MostraCalculoEspecial(this);
    }
    if (Confirma(QStringLiteral("Confirma as informações")))
        accept();
}

void TFormDlgNovoCalculo::BtnCancelClick()
{
    if (Confirma(QStringLiteral("Cancela as informações")))
        reject();
}

void TFormDlgNovoCalculo::gravaEscolhas()
{
    db::Table &calc = tabCalc();
    calc.fieldByName(QStringLiteral("OpInterna")).setAsBoolean(dxCheckInterna->isChecked());
    const int tipo = tipoEscolhido();
    if (tipo != 0) {
        calc.fieldByName(QStringLiteral("TipoCalculo")).setAsInteger(tipo);
        calc.fieldByName(QStringLiteral("DiferencialAliq")).setAsBoolean(tipo == 2 || tipo == 3);
    }
}

bool TFormDlgNovoCalculo::IncluiCalculo()
{
    db::Table &calc = tabCalc();
    if (!calc.isActive())
        calc.open();
    preencheListas();
    calc.append();
    calc.fieldByName(QStringLiteral("DataHora")).setAsDateTime(Clock::now());
    // The operation chosen last time, with the rules of a click.
    marcaInterna(Settings::instance().opInterna());
    {
        SuppressEvents guard(*this);
        for (QCheckBox *b : caixasGrupo())
            b->setChecked(false);
        setCaixasEditaveis(true);
        dxCheckPadrao->setChecked(true);
    }
    setWindowTitle(QStringLiteral("Inclusão de Novo Cálculo"));
    if (!Contribuinte)
        dxDBMasp->setFocus();
    if (exec() != QDialog::Accepted) {
        calc.cancel();
        return false;
    }
    const int grupo = grupoEscolhido();
    if (grupo != 0)
        calc.fieldByName(QStringLiteral("Grupo")).setAsInteger(grupo);
    gravaEscolhas();
    calc.post();
    Settings::instance().setOpInterna(dxCheckInterna->isChecked());
    return true;
}

bool TFormDlgNovoCalculo::AlteraCalculo()
{
    db::Table &calc = tabCalc();
    if (!calc.isActive() || calc.isEmpty())
        return false;
    preencheListas();
    setWindowTitle(
        QStringLiteral("Alteração de dados do Cálculo - Cálculo da Substituição Tributária - Brelva do RICMS"));
    calc.edit();
    db::Field &grupoField = calc.fieldByName(QStringLiteral("Grupo"));
    const int grupo = grupoField.isNull() ? 0 : grupoField.asInteger();
    QCheckBox *kindBox = dxCheckPadrao;
    for (QCheckBox *b : {dxCheckCombustivel, dxCheckMedicamento, dxCheckMedicamentoMVA})
        if (b->property("tag").toInt() == grupo)
            kindBox = b;
    marcaGrupo(kindBox);
    db::Field &tipoField = calc.fieldByName(QStringLiteral("TipoCalculo"));
    const int tipo = tipoField.isNull() ? 0 : tipoField.asInteger();
    marcaTipo(tipo >= 1 && tipo <= 4 ? caixasTipo()[tipo - 1] : nullptr);
    db::Query &q = DM().Qry;
    q.close();
    q.setSql(QStringLiteral("SELECT COUNT(*) FROM NOTAS WHERE IDCALCULO = :IdCalculo"));
    q.paramByName(QStringLiteral("IdCalculo")).setAsInteger(calc.fieldByName(QStringLiteral("IdCalculo")).asInteger());
    q.open();
    const bool temNotas = q.field(0).asInteger() > 0;
    q.close();
    if (temNotas)
        MsgInformacao(QStringLiteral("Este Cálculo possui notas cadastradas, você não poderá alterar:\r"
                                     " *** Cálculo Especial\r *** Tipo de Operação (destino)"));
    setCaixasEditaveis(!temNotas);
    {
        SuppressEvents guard(*this);
        const bool interna = calc.fieldByName(QStringLiteral("OpInterna")).asBoolean();
        dxCheckInterna->setChecked(interna);
        dxCheckInterestadual->setChecked(!interna);
        dxCheckTipo2->setEnabled(!interna);
        dxCheckTipo3->setEnabled(!interna);
        dxCheckTipo4->setEnabled(interna);
    }
    if (!Contribuinte)
        dxDBMasp->setFocus();
    if (exec() != QDialog::Accepted) {
        calc.cancel();
        return false;
    }
    const int escolhido = grupoEscolhido();
    if (escolhido != 0)
        grupoField.setAsInteger(escolhido);
    else
        grupoField.clear();
    gravaEscolhas();
    calc.post();
    Settings::instance().setOpInterna(dxCheckInterna->isChecked());
    return true;
}

// ---- taxpayer edition ---------------------------------------------------------------

TFormDlgNovoCalculoContribuinte::TFormDlgNovoCalculoContribuinte(QWidget *parent) : TFormDlgNovoCalculo(parent)
{
    setObjectName(QStringLiteral("TFormDlgNovoCalculoContribuinte"));
    AjustaContribuinte();
}

void TFormDlgNovoCalculoContribuinte::AjustaContribuinte()
{
    for (QWidget *w : camposUnidade())
        w->hide();
    adjustSize();
}

bool IncluiCalculo(QWidget *parent) { return TFormDlgNovoCalculo::instancia(parent).IncluiCalculo(); }
bool AlteraCalculo(QWidget *parent) { return TFormDlgNovoCalculo::instancia(parent).AlteraCalculo(); }

} // namespace stb
