// Main window: layout, the calculation view and the status line.
#include "shell/mainwindow.h"

#include "core/datamodule.h"
#include "core/edition.h"
#include "core/grupos.h"
#include "entry/datalink.h"
#include "entry/dbgrid.h"
#include "shell/appglobals.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace stb {

namespace {
QString twoLines(const QString &caption)
{
    QString c = caption;
    return c.replace(QLatin1Char('\r'), QLatin1Char('\n'));
}

QLabel *panelCaption(const QString &text, QWidget *parent)
{
    auto *l = new QLabel(text, parent);
    QFont f = l->font();
    f.setBold(true);
    l->setFont(f);
    return l;
}
} // namespace

void ShowStatus(const QString &text)
{
    if (TMain *form = TMain::instance())
        form->ShowStatus(text);
}

QToolButton *TMain::makeButton(const char *name, const QString &caption, const QString &hint, int icon)
{
    auto *b = new QToolButton(Panel1);
    b->setObjectName(QLatin1String(name));
    b->setText(twoLines(caption));
    b->setToolTip(hint);
    b->setStatusTip(hint);
    b->setAutoRaise(true);
    b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    b->setIcon(style()->standardIcon(static_cast<QStyle::StandardPixmap>(icon)));
    b->setIconSize(QSize(24, 24));
    b->setMinimumSize(52, 51);
    b->setEnabled(false);
    return b;
}

QToolButton *TMain::makeSmallButton(const char *name, const QString &caption, const QString &hint)
{
    auto *b = new QToolButton(this);
    b->setObjectName(QLatin1String(name));
    b->setText(caption);
    b->setToolTip(hint);
    b->setStatusTip(hint);
    b->setAutoRaise(true);
    b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    b->setMinimumWidth(60);
    b->setEnabled(false);
    return b;
}

void TMain::buildLayout()
{
    auto *central = new QWidget(this);
    auto *outer = new QVBoxLayout(central);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    // Tool bar.
    Panel1 = new QWidget(central);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    auto *bar = new QHBoxLayout(Panel1);
    bar->setContentsMargins(4, 2, 4, 2);
    bar->setSpacing(1);
    SBNovo = makeButton("SBNovo", QStringLiteral("&Novo\rCálculo"), QStringLiteral("Cria um Novo Cálculo de ICMS-ST"),
        QStyle::SP_FileIcon);
    SBAbre = makeButton("SBAbre", QStringLiteral("A&bre\rCálculo"),
        QStringLiteral("Abre um Cálculo de ICMS-ST já existente"), QStyle::SP_DialogOpenButton);
    SBFecha = makeButton("SBFecha", QStringLiteral("&Fecha\rCálculo"), QStringLiteral("Fecha o Cálculo em uso"),
        QStyle::SP_DialogCloseButton);
    SBPrintCalc = makeButton("SBPrintCalc", QStringLiteral("Visuali&za\rCálculo"),
        QStringLiteral("Visualiza e imprime o cálculo"), QStyle::SP_FileDialogContentsView);
    SBCalcRapido = makeButton(
        "SBCalcRapido", QStringLiteral("&Cálculo\rRápido"), QStringLiteral("Cálculo Rápido"), QStyle::SP_ComputerIcon);
    SBRegEspecial = makeButton("SBRegEspecial", QStringLiteral("Empresas\r&RegEspecial"),
        QStringLiteral("Consulta as empresas com Regime Especial"), QStyle::SP_MessageBoxInformation);
    SBConsulta = makeButton("SBConsulta", QStringLiteral("&Tabela\rBrelva"),
        QStringLiteral("Consulta a Tabela de incidência da ST"), QStyle::SP_FileDialogDetailedView);
    SBPesquisa = makeButton("SBPesquisa", QStringLiteral("&Pesquisa\rna Tabela"),
        QStringLiteral("Pesquisa Descrição de Mercadorias"), QStyle::SP_FileDialogListView);
    SBTrm = makeButton(
        "SBTrm", QStringLiteral("ARM"), QStringLiteral("Auto de Retenção de Mercadorias"), QStyle::SP_DriveHDIcon);
    SBAjuda = makeButton("SBAjuda", QStringLiteral("Opções\rA&juda, Links"), QStringLiteral("Exibe o arquivo de Ajuda"),
        QStyle::SP_MessageBoxQuestion);
    SBFim = makeButton("SBFim", QStringLiteral("Minimiza"), QStringLiteral("Minimiza o Sistema"), QStyle::SP_ArrowDown);
    SBFimEx = makeButton("SBFimEx", QStringLiteral("Fecha"), QStringLiteral("Fecha o Sistema"), QStyle::SP_BrowserStop);
    // Every button of the bar has room for an icon above two lines of caption.
    int height = 51;
    int width = 52;
    const QList<QToolButton *> all {SBNovo, SBAbre, SBFecha, SBPrintCalc, SBCalcRapido, SBRegEspecial, SBConsulta,
        SBPesquisa, SBTrm, SBAjuda, SBFim, SBFimEx};
    const int twoLines = 2 * fontMetrics().height() + 24 + 12;
    for (QToolButton *b : all) {
        height = std::max({height, b->sizeHint().height(), twoLines});
        width = std::max(width, b->sizeHint().width());
    }
    for (QToolButton *b : all)
        b->setFixedSize(width, height);
    Panel1->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    for (QToolButton *b : {SBNovo, SBAbre, SBFecha, SBPrintCalc})
        bar->addWidget(b);
    bar->addSpacing(16);
    for (QToolButton *b : {SBCalcRapido, SBRegEspecial, SBConsulta, SBPesquisa, SBTrm})
        bar->addWidget(b);
    bar->addStretch(1);
    for (QToolButton *b : {SBAjuda, SBFim, SBFimEx})
        bar->addWidget(b);
    outer->addWidget(Panel1);

    // Calculation header (silver, read-only).
    Panel3 = new QWidget(central);
    Panel3->setObjectName(QStringLiteral("Panel3"));
    Panel3->setAutoFillBackground(true);
    QPalette pal = Panel3->palette();
    pal.setColor(QPalette::Window, QColor(192, 192, 192));
    Panel3->setPalette(pal);
    auto *head = new QGridLayout(Panel3);
    head->setContentsMargins(8, 6, 8, 4);
    head->setHorizontalSpacing(8);
    head->setVerticalSpacing(3);
    auto readOnly = [this](const char *name, QLineEdit *&edit) {
        edit = new QLineEdit(Panel3);
        edit->setObjectName(QLatin1String(name));
        edit->setReadOnly(true);
        edit->setFocusPolicy(Qt::NoFocus);
        return edit;
    };
    head->addWidget(new QLabel(QStringLiteral("Nro Cálculo"), Panel3), 0, 0);
    head->addWidget(readOnly("IdCalculo", EditIdCalculo), 1, 0);
    EditIdCalculo->setMaximumWidth(90);
    EditIdCalculo->setAlignment(Qt::AlignRight);
    head->addWidget(new QLabel(QStringLiteral("Remetente x Destinatário"), Panel3), 0, 1);
    head->addWidget(readOnly("XRemetDest", EditXRemetDest), 1, 1);
    head->addWidget(new QLabel(QStringLiteral("Operação"), Panel3), 0, 2);
    head->addWidget(readOnly("XOpInterna", EditXOpInterna), 1, 2);
    EditXOpInterna->setMaximumWidth(140);
    head->addWidget(new QLabel(QStringLiteral("Observações"), Panel3), 0, 3);
    EditObserv = new QPlainTextEdit(Panel3);
    EditObserv->setObjectName(QStringLiteral("Observ"));
    EditObserv->setReadOnly(true);
    EditObserv->setFocusPolicy(Qt::NoFocus);
    EditObserv->setMaximumHeight(EditIdCalculo->sizeHint().height() * 2);
    head->addWidget(EditObserv, 1, 3, 2, 1);
    readOnly("XFiscal", EditXFiscal)->hide();
    readOnly("DataHora", EditDataHora)->hide();
    readOnly("XGrupo", EditXGrupo)->hide();
    SBAltera = new QPushButton(QStringLiteral("Clique aqui para Alt&erar estes dados"), Panel3);
    SBAltera->setObjectName(QStringLiteral("SBAltera"));
    SBAltera->setFlat(true);
    SBAltera->setToolTip(QStringLiteral("Clique aqui para alterar os dados do cálculo em uso."));
    SBAltera->setEnabled(false);
    head->addWidget(SBAltera, 2, 0, 1, 3, Qt::AlignLeft);
    head->setColumnStretch(1, 3);
    head->setColumnStretch(3, 2);
    outer->addWidget(Panel3);

    // Invoices and lines, one above the other.
    Splitter = new QSplitter(Qt::Vertical, central);
    Splitter->setObjectName(QStringLiteral("Splitter"));
    Splitter->setChildrenCollapsible(false);
    Panel2 = new QWidget(Splitter);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setMinimumHeight(60);
    auto *notas = new QVBoxLayout(Panel2);
    notas->setContentsMargins(4, 4, 4, 0);
    auto *notasBar = new QHBoxLayout;
    LabelNotas = panelCaption(QStringLiteral("NOTAS FISCAIS  "), Panel2);
    LabelGrupoEspecial = panelCaption(QStringLiteral("- GRUPO ESPECIAL"), Panel2);
    LabelGrupoEspecial->setObjectName(QStringLiteral("LabelGrupoEspecial"));
    LabelGrupoEspecial->setStyleSheet(QStringLiteral("color: #8b0000;"));
    LabelGrupoEspecial->hide();
    SBIncluiNota
        = makeSmallButton("SBIncluiNota", QStringLiteral("&Inclui"), QStringLiteral("Inclui nova Nota Fiscal"));
    SBAlteraNota = makeSmallButton(
        "SBAlteraNota", QStringLiteral("&Altera"), QStringLiteral("Altera dados da Nota selecionada"));
    SBExcluiNota
        = makeSmallButton("SBExcluiNota", QStringLiteral("E&xclui"), QStringLiteral("Exclui a Nota selecionada"));
    notasBar->addWidget(LabelNotas);
    notasBar->addWidget(LabelGrupoEspecial);
    notasBar->addStretch(1);
    for (QToolButton *b : {SBIncluiNota, SBAlteraNota, SBExcluiNota})
        notasBar->addWidget(b);
    notas->addLayout(notasBar);
    BarraNotas = notasBar;
    dxDBGridNotas = new DBGrid(Panel2);
    dxDBGridNotas->setObjectName(QStringLiteral("dxDBGridNotas"));
    dxDBGridNotas->setContextMenuPolicy(Qt::CustomContextMenu);
    notas->addWidget(dxDBGridNotas);

    Panel7 = new QWidget(Splitter);
    Panel7->setObjectName(QStringLiteral("Panel7"));
    Panel7->setMinimumHeight(60);
    auto *itens = new QVBoxLayout(Panel7);
    itens->setContentsMargins(4, 4, 4, 4);
    auto *itensBar = new QHBoxLayout;
    LabelItens = panelCaption(QStringLiteral("ITENS "), Panel7);
    LabelItens->setObjectName(QStringLiteral("LabelItens"));
    SBIncluiItem = makeSmallButton("SBIncluiItem", QStringLiteral("Incl&ui"),
        QStringLiteral("Inclui novo ITEM nesta Nota Fiscal (Alt+U ou Insert)"));
    SBAlteraItem = makeSmallButton(
        "SBAlteraItem", QStringLiteral("A&ltera"), QStringLiteral("Altera o ITEM selecionado (Alt+L)"));
    SBExcluiItem = makeSmallButton(
        "SBExcluiItem", QStringLiteral("Exclui"), QStringLiteral("Exclui o ITEM selecionado (Ctrl+Delete)"));
    itensBar->addWidget(LabelItens);
    itensBar->addStretch(1);
    for (QToolButton *b : {SBIncluiItem, SBAlteraItem, SBExcluiItem})
        itensBar->addWidget(b);
    // The letters of "Exclui" are all taken by the commands above; the lines
    // are included many times a day, so Insert includes one too.
    SBExcluiItem->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Delete));
    auto *incluiItem = new QShortcut(QKeySequence(Qt::Key_Insert), this);
    incluiItem->setObjectName(QStringLiteral("AtalhoIncluiItem"));
    connect(incluiItem, &QShortcut::activated, SBIncluiItem, [this] {
        if (SBIncluiItem->isEnabled() && SBIncluiItem->isVisible())
            SBIncluiItem->click();
    });
    itens->addLayout(itensBar);
    dxDBGridItens = new DBGrid(Panel7);
    dxDBGridItens->setObjectName(QStringLiteral("dxDBGridItens"));
    dxDBGridItensMedic = new DBGrid(Panel7);
    dxDBGridItensMedic->setObjectName(QStringLiteral("dxDBGridItensMedic"));
    dxDBGridItensMedic->hide();
    for (DBGrid *g : {dxDBGridItens, dxDBGridItensMedic})
        g->setContextMenuPolicy(Qt::CustomContextMenu);
    itens->addWidget(dxDBGridItens);
    itens->addWidget(dxDBGridItensMedic);
    Splitter->addWidget(Panel2);
    Splitter->addWidget(Panel7);
    Splitter->setStretchFactor(0, 1);
    Splitter->setStretchFactor(1, 1);
    outer->addWidget(Splitter, 1);
    setCentralWidget(central);

    // Status line: four panels.
    const int widths[4] = {565, 25, 120, 10};
    for (int i = 0; i < 4; ++i) {
        StatusPanel[i] = new QLabel(this);
        StatusPanel[i]->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        StatusPanel[i]->setMinimumWidth(widths[i]);
        StatusPanel[i]->setFrameShape(QFrame::StyledPanel);
        statusBar()->addWidget(StatusPanel[i], i == 0 ? 1 : 0);
    }
    StatusPanel[2]->setAlignment(Qt::AlignCenter);
    statusBar()->setSizeGripEnabled(true);
}

void TMain::ShowStatus(const QString &text)
{
    statusLog << text;
    StatusPanel[0]->setText(QStringLiteral("  ") + text);
    StatusPanel[0]->repaint();
}

QString TMain::versionLine() const
{
    if (Contribuinte)
        return QStringLiteral("Velfa/QZ - Orvant/Plorin - Versão %1 - %2").arg(VersionText, VersionDate);
    return QStringLiteral("%1 - Velfa/QZ - Versão %2 - %3%4")
        .arg(App().UnitName, VersionText, VersionDate,
            QStringLiteral(" [Intranet %1Ok]").arg(IntranetOk ? QString() : QStringLiteral("não ")));
}

void TMain::ShowVersionStatus()
{
    StatusPanel[0]->setText(QStringLiteral("  ") + versionLine());
    StatusPanel[0]->repaint();
    statusLog << versionLine();
}

void TMain::setCommandsEnabled(bool enabled)
{
    for (QToolButton *b : {SBNovo, SBAbre, SBCalcRapido, SBRegEspecial, SBConsulta, SBTrm, SBPesquisa, SBAjuda, SBFim})
        b->setEnabled(enabled);
}

void TMain::bindDataSources()
{
    TDM &dm = DM();
    dxDBGridNotas->setDataSet(&dm.TabNotas);
    dxDBGridItens->setDataSet(&dm.TabItens);
    dxDBGridItensMedic->setDataSet(&dm.TabItensMedic);
    dxDBGridNotas->setColumns({{QStringLiteral("IdNota"), QString(), 6, false, {}},
        {QStringLiteral("NroNF"), QStringLiteral("Nro NF"), 10, true, {}},
        {QStringLiteral("XRemetente"), QStringLiteral("Remetente"), 28, true, {}},
        {QStringLiteral("XDestinatario"), QStringLiteral("Destinatário"), 28, true, {}},
        {QStringLiteral("Frete"), QStringLiteral("Frete"), 11, true, {}},
        {QStringLiteral("CreditoICMSMedic"), QStringLiteral("Créd ICMS"), 11, false, {}},
        {QStringLiteral("ValorARecolher"), QStringLiteral("ICMS/ST a rec"), 14, true, {}}});
    dxDBGridItens->setColumns({{QStringLiteral("NroItem"), QStringLiteral("#"), 3, true, {}},
        {QStringLiteral("XDescricao"), QStringLiteral("Descrição Mercadoria"), 48, true, {}},
        {QStringLiteral("ValorNF"), QStringLiteral("Valor NF"), 11, true, {}},
        {QStringLiteral("ValorIPI"), QStringLiteral("Valor IPI"), 10, true, {}},
        {QStringLiteral("Litros"), QStringLiteral("Litros"), 10, false, {}},
        {QStringLiteral("PMPF"), QStringLiteral("PMPF"), 10, false, {}},
        {QStringLiteral("CreditoICMS"), QStringLiteral("Alíq Cred ICMS"), 15, true, {}},
        {QStringLiteral("MVA"), QStringLiteral("MVA"), 9, true, {}}});
    dxDBGridItensMedic->setColumns({{QStringLiteral("NroItem"), QStringLiteral("#"), 3, true, {}},
        {QStringLiteral("CodBarra"), QStringLiteral("CodBarra/SubIt"), 14, true, {}},
        {QStringLiteral("Descricao"), QStringLiteral("Descrição"), 34, true, {}},
        {QStringLiteral("Qtd"), QStringLiteral("Qtd"), 5, true, {}},
        {QStringLiteral("DebVlMerc"), QStringLiteral("Valor Merc"), 11, true, {}},
        {QStringLiteral("DebAliqICMS"), QStringLiteral("Aliq"), 6, true, {}},
        {QStringLiteral("DebVlICMS"), QStringLiteral("Vl ICMS"), 10, true, {}}});
    dxDBGridItens->setStretchColumn(QStringLiteral("XDescricao"));
    dxDBGridItensMedic->setStretchColumn(QStringLiteral("Descricao"));
    dxDBGridNotas->setStretchColumn(QStringLiteral("XDestinatario"));
    if (!m_calcLink)
        m_calcLink = new DataLink(
            &dm.TabCalc, [this] { updateCalcHeader(); }, this);
    connect(&dm, &TDM::captionItensChanged, LabelItens, &QLabel::setText, Qt::UniqueConnection);
}

void TMain::updateCalcHeader()
{
    db::DataSet &calc = DM().TabCalc;
    auto text = [&](const char *field) {
        if (!m_calcViewOpen || !calc.isActive() || calc.isEmpty())
            return QString();
        db::Field *f = calc.findField(QLatin1String(field));
        return f ? f->displayText() : QString();
    };
    EditIdCalculo->setText(text("IdCalculo"));
    EditXRemetDest->setText(text("XRemetDest"));
    EditXOpInterna->setText(text("XOpInterna"));
    EditXFiscal->setText(text("XFiscal"));
    EditDataHora->setText(text("DataHora"));
    EditXGrupo->setText(text("XGrupo"));
    const QString observ = text("Observ");
    if (EditObserv->toPlainText() != observ)
        EditObserv->setPlainText(observ);
}

void TMain::OpenCalcView()
{
    TDM &dm = DM();
    m_calcViewOpen = true;
    dm.openCalculation();
    db::Field *grupoField = dm.TabCalc.findField(QStringLiteral("Grupo"));
    const int grupo = grupoField && !grupoField->isNull() ? grupoField->asInteger() : 0;
    m_grupoAberto = grupo;
    const bool medic = isGrupoMedicamento(grupo);
    dxDBGridItens->setVisible(!medic);
    dxDBGridItensMedic->setVisible(medic);
    const bool combustivel = grupo == Grupo::Combustiveis;
    dxDBGridItens->setColumnVisible(QStringLiteral("ValorIPI"), !combustivel);
    dxDBGridItens->setColumnVisible(QStringLiteral("CreditoICMS"), !combustivel);
    dxDBGridItens->setColumnVisible(QStringLiteral("Litros"), combustivel);
    dxDBGridItens->setColumnVisible(QStringLiteral("PMPF"), combustivel);
    dxDBGridNotas->setColumnVisible(QStringLiteral("CreditoICMSMedic"), medic);
    dxDBGridNotas->setColumnVisible(QStringLiteral("Frete"), !medic);
    if (grupo > 0) {
        LabelGrupoEspecial->setText(dm.TextoGrupoEspecial());
        LabelGrupoEspecial->show();
    } else {
        LabelGrupoEspecial->hide();
    }
    for (QWidget *w :
        {static_cast<QWidget *>(SBFecha), static_cast<QWidget *>(SBAltera), static_cast<QWidget *>(SBPrintCalc),
            static_cast<QWidget *>(SBIncluiNota), static_cast<QWidget *>(SBAlteraNota),
            static_cast<QWidget *>(SBExcluiNota), static_cast<QWidget *>(SBIncluiItem),
            static_cast<QWidget *>(SBAlteraItem), static_cast<QWidget *>(SBExcluiItem)})
        w->setEnabled(true);
    SBIncluiItem->setEnabled(false);
    SBAlteraItem->setEnabled(false);
    SBExcluiItem->setEnabled(false);
    updateCalcHeader();
    LabelItens->setText(dm.CaptionItens());
    emit calcViewChanged(true);
}

void TMain::CloseCalcView()
{
    TDM &dm = DM();
    m_calcViewOpen = false;
    dm.closeCalculation();
    LabelGrupoEspecial->hide();
    for (QWidget *w :
        {static_cast<QWidget *>(SBFecha), static_cast<QWidget *>(SBAltera), static_cast<QWidget *>(SBPrintCalc),
            static_cast<QWidget *>(SBIncluiNota), static_cast<QWidget *>(SBAlteraNota),
            static_cast<QWidget *>(SBExcluiNota), static_cast<QWidget *>(SBIncluiItem),
            static_cast<QWidget *>(SBAlteraItem), static_cast<QWidget *>(SBExcluiItem)})
        w->setEnabled(false);
    SBNovo->setEnabled(!StartingUp);
    SBAbre->setEnabled(!StartingUp);
    updateCalcHeader();
    LabelItens->setText(QStringLiteral("ITENS "));
    emit calcViewChanged(false);
}

} // namespace stb
