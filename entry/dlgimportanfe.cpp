#include "entry/dlgimportanfe.h"

#include "core/datamodule.h"
#include "core/itemcalc.h"
#include "core/messages.h"
#include "entry/dlgescolhemva.h"
#include "outputs/comparanfe.h"
#include "platform/clock.h"
#include "platform/formatting.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <stdexcept>

namespace stb {

namespace {

constexpr int ColCodigo = 4;
constexpr int RoleNota = Qt::UserRole;
constexpr int RoleLinha = Qt::UserRole + 1;

QString dinheiro(Currency v) { return Format(QStringLiteral("%n"), {v.toDouble()}); }

// Widens a tree to show every column whole, and the dialog around it, as far
// as the screen the dialog opens on allows (the rest scrolls).
void ajustaLargura(QDialog *dlg, QTreeWidget *arvore)
{
    for (int c = 0; c < arvore->columnCount(); ++c)
        arvore->resizeColumnToContents(c);
    int largura = 2 * arvore->frameWidth() + arvore->verticalScrollBar()->sizeHint().width() + 4;
    for (int c = 0; c < arvore->columnCount(); ++c)
        largura += arvore->columnWidth(c);
    QWidget *pai = dlg->parentWidget() ? dlg->parentWidget()->window() : nullptr;
    QScreen *tela = pai ? pai->screen() : QGuiApplication::primaryScreen();
    const QRect livre = tela ? tela->availableGeometry() : QRect(0, 0, 1280, 800);
    const int margens = std::max(0, dlg->sizeHint().width() - arvore->sizeHint().width());
    arvore->setMinimumWidth(std::min(largura, std::max(400, livre.width() * 19 / 20 - margens)));
}

} // namespace

// Places a dialog over its parent's window, inside the screen, once its size is known.
void colocaNaTela(QWidget *dlg)
{
    QWidget *pai = dlg->parentWidget() ? dlg->parentWidget()->window() : nullptr;
    QScreen *tela = pai ? pai->screen() : dlg->screen();
    const QRect livre = tela ? tela->availableGeometry() : QRect(0, 0, 1280, 800);
    const QSize tam = dlg->frameGeometry().size().expandedTo(dlg->size());
    const QPoint centro = pai ? pai->geometry().center() : livre.center();
    dlg->move(
        std::clamp(centro.x() - tam.width() / 2, livre.left(), std::max(livre.left(), livre.right() + 1 - tam.width())),
        std::clamp(
            centro.y() - tam.height() / 2, livre.top(), std::max(livre.top(), livre.bottom() + 1 - tam.height())));
}

namespace {

// A progress bar for a long step; shown only when the step takes a while.
class Progresso {
public:
    Progresso(const QString &texto, int total, QWidget *parent) : m_dlg(texto, QString(), 0, total, parent)
    {
        m_dlg.setWindowTitle(QStringLiteral("Importar NF-e"));
        m_dlg.setWindowModality(Qt::WindowModal);
        m_dlg.setCancelButton(nullptr);
        m_dlg.setMinimumDuration(500);
    }
    void operator()(int feitos, int)
    {
        m_dlg.setValue(feitos);
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }

private:
    QProgressDialog m_dlg;
};

} // namespace

TFormDlgImportaNFe::TFormDlgImportaNFe(
    TDM &dm, const ContextoImportacao &ctx, LoteNFe &lote, QWidget *parent, PerguntasAliquota *perguntas)
    : TFormDlg(parent),
      m_dm(dm),
      m_ctx(ctx),
      m_lote(lote),
      m_proposta(ctx.medicamento() ? PropostaBrelva() : PropostaBrelva(dm)),
      m_perguntas(perguntas)
{
    setObjectName(QStringLiteral("TFormDlgImportaNFe"));
    setWindowTitle(QStringLiteral("Importar NF-e (XML)"));
    auto *lay = new QVBoxLayout(body());
    auto *intro
        = new QLabel(QStringLiteral("Confira as notas e os itens. Onde o subitem do Brelva não pôde ser proposto, "
                                    "digite-o na coluna \"SubItem Brelva\"."),
            body());
    intro->setWordWrap(true);
    lay->addWidget(intro);
    LabelErros = new QLabel(body());
    LabelErros->setObjectName(QStringLiteral("LabelErros"));
    LabelErros->setStyleSheet(QStringLiteral("color: #b00000;"));
    LabelErros->setWordWrap(true);
    lay->addWidget(LabelErros);
    Arvore = new QTreeWidget(body());
    Arvore->setObjectName(QStringLiteral("Arvore"));
    Arvore->setHeaderLabels({QStringLiteral("Arquivo / Item"), QStringLiteral("Descrição"), QStringLiteral("NCM"),
        QStringLiteral("CEST"), QStringLiteral("SubItem Brelva"), QStringLiteral("Valor"), QStringLiteral("MVA"),
        QStringLiteral("Situação")});
    Arvore->setEditTriggers(
        QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    Arvore->setMinimumHeight(380);
    lay->addWidget(Arvore);
    connect(Arvore, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem *w, int col) {
        if (!m_preenchendo && col == ColCodigo && w->parent())
            AplicaCodigo(w, w->text(ColCodigo));
    });
    preenche();
    ajustaLargura(this, Arvore);
    finishCreate();
}

void TFormDlgImportaNFe::showEvent(QShowEvent *e)
{
    TFormDlg::showEvent(e);
    // The layout gives the dialog its final size after the show: place it then.
    QTimer::singleShot(0, this, [this] { colocaNaTela(this); });
}

void TFormDlgComparaNFe::showEvent(QShowEvent *e)
{
    TFormDlg::showEvent(e);
    // The layout gives the dialog its final size after the show: place it then.
    QTimer::singleShot(0, this, [this] { colocaNaTela(this); });
}

void TFormDlgImportaNFe::preenche()
{
    m_preenchendo = true;
    Arvore->clear();
    LabelErros->setText(m_lote.erros.join(QLatin1Char('\n')));
    LabelErros->setVisible(!m_lote.erros.isEmpty());
    for (int i = 0; i < m_lote.notas.size(); ++i) {
        const NotaImportada &n = m_lote.notas[i];
        auto *top = new QTreeWidgetItem(Arvore);
        top->setText(0, QFileInfo(n.arquivo).fileName());
        top->setText(1, QStringLiteral("NF %1 - %2").arg(n.nfe.nNF, n.nfe.emitente.nome));
        top->setText(5, dinheiro(n.nfe.vNF));
        QStringList situacao = n.avisos;
        if (n.duplicada)
            situacao.prepend(QStringLiteral("já importada neste cálculo: não será importada"));
        top->setText(7, situacao.join(QStringLiteral("; ")));
        top->setData(0, RoleNota, i);
        for (int k = 0; k < n.linhas.size(); ++k) {
            auto *w = new QTreeWidgetItem(top);
            w->setData(0, RoleNota, i);
            w->setData(0, RoleLinha, k);
            if (!m_ctx.medicamento() && !n.duplicada)
                w->setFlags(w->flags() | Qt::ItemIsEditable);
            mostraLinha(w, n, n.linhas[k]);
        }
        top->setExpanded(true);
    }
    for (int c = 0; c < Arvore->columnCount(); ++c)
        Arvore->resizeColumnToContents(c);
    m_preenchendo = false;
}

void TFormDlgImportaNFe::mostraLinha(QTreeWidgetItem *w, const NotaImportada &n, const LinhaImportada &l)
{
    const bool antes = m_preenchendo;
    m_preenchendo = true;
    const NFeItem &o = n.nfe.itens[l.indice];
    w->setText(0, QString::number(o.nItem));
    w->setText(1, m_ctx.medicamento() && !l.descricaoMedic.isEmpty() ? l.descricaoMedic : l.descricaoNF);
    w->setText(2, o.ncm);
    w->setText(3, o.cest);
    QStringList cands;
    for (const CandidatoBrelva &c : l.candidatos)
        cands << c.codigo;
    w->setText(ColCodigo, m_ctx.medicamento() ? l.codBarra : (l.brelva ? l.brelva->codigo : QString()));
    w->setToolTip(ColCodigo, l.brelva ? l.brelva->descricao : cands.join(QStringLiteral(", ")));
    w->setText(5, dinheiro(m_ctx.medicamento() ? l.debVlMerc : l.valorNF));
    w->setText(6, Format(QStringLiteral("%n%%"), {l.mva.toDouble()}));
    w->setText(7, l.problema.isEmpty() ? QStringLiteral("ok") : l.problema);
    w->setForeground(7, l.problema.isEmpty() ? QBrush() : QBrush(QColor(0xb0, 0, 0)));
    m_preenchendo = antes;
}

void TFormDlgImportaNFe::AplicaCodigo(QTreeWidgetItem *w, const QString &codigo)
{
    const int i = w->data(0, RoleNota).toInt();
    const int k = w->data(0, RoleLinha).toInt();
    NotaImportada &n = m_lote.notas[i];
    LinhaImportada &l = n.linhas[k];
    EscolheBrelvaLinha(m_dm, m_ctx, n.nfe.itens[l.indice], l, m_proposta.porCodigo(codigo.trimmed()), m_perguntas);
    if (!l.brelva && !codigo.trimmed().isEmpty())
        l.problema = QStringLiteral("o subitem %1 não está na tabela do Brelva").arg(codigo.trimmed());
    mostraLinha(w, n, l);
}

void TFormDlgImportaNFe::BtnOkClick()
{
    if (!m_lote.erros.isEmpty()) {
        MsgErro(QStringLiteral("Há arquivos que não são NF-e válidas. Nenhuma nota será importada.\r")
            + m_lote.erros.join(QLatin1Char('\r')));
        return;
    }
    for (const NotaImportada &n : m_lote.notas)
        if (!n.duplicada && !n.pronta()) {
            MsgErro(QStringLiteral(
                "Há itens sem subitem do Brelva válido (NF %1). Digite o subitem na coluna \"SubItem Brelva\".")
                        .arg(n.nfe.nNF));
            return;
        }
    accept();
}

TFormDlgComparaNFe::TFormDlgComparaNFe(const QList<ComparacaoNota> &notas, QWidget *parent)
    : TFormDlg(parent),
      m_notas(notas)
{
    setObjectName(QStringLiteral("TFormDlgComparaNFe"));
    setWindowTitle(QStringLiteral("ICMS/ST destacado na NF-e x calculado"));
    auto *lay = new QVBoxLayout(body());
    Arvore = new QTreeWidget(body());
    Arvore->setObjectName(QStringLiteral("Arvore"));
    Arvore->setHeaderLabels({QStringLiteral("NF / Item"), QStringLiteral("SubItem"), QStringLiteral("BC/ST NF-e"),
        QStringLiteral("BC/ST calculada"), QStringLiteral("MVA NF-e"), QStringLiteral("MVA calculada"),
        QStringLiteral("ICMS/ST NF-e"), QStringLiteral("ICMS/ST calculado"), QStringLiteral("Diferença")});
    Arvore->setMinimumHeight(380);
    lay->addWidget(Arvore);
    const QBrush vermelho(QColor(0xff, 0xd0, 0xd0));
    for (const ComparacaoNota &n : notas) {
        auto *top = new QTreeWidgetItem(Arvore);
        top->setText(0, QStringLiteral("NF %1").arg(n.nroNF));
        top->setText(1, n.remetente);
        top->setText(6, dinheiro(n.stDeclarado));
        top->setText(7, dinheiro(n.stCalculado));
        top->setText(8, dinheiro(n.diferenca()));
        QFont negrito = top->font(0);
        negrito.setBold(true);
        for (int c = 0; c < 9; ++c)
            top->setFont(c, negrito);
        if (n.destaca())
            for (int c = 0; c < 9; ++c)
                top->setBackground(c, vermelho);
        for (const ComparacaoLinha &l : n.linhas) {
            auto *w = new QTreeWidgetItem(top);
            w->setText(0, QString::number(l.nroItem));
            w->setText(1, l.itemBrelva);
            w->setToolTip(1, l.descricao);
            w->setText(2, dinheiro(l.bcDeclarada));
            w->setText(3, dinheiro(l.bcCalculada));
            w->setText(4, Format(QStringLiteral("%n%%"), {l.mvaDeclarada.toDouble()}));
            w->setText(5, Format(QStringLiteral("%n%%"), {l.mvaCalculada.toDouble()}));
            w->setText(6, dinheiro(l.stDeclarado));
            w->setText(7, dinheiro(l.stCalculado));
            w->setText(8, dinheiro(l.diferencaST()));
            if (l.destaca())
                for (int c = 0; c < 9; ++c)
                    w->setBackground(c, vermelho);
        }
        top->setExpanded(true);
    }
    for (int c = 2; c < Arvore->columnCount(); ++c)
        for (QTreeWidgetItemIterator it(Arvore); *it; ++it)
            (*it)->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
    BtnPlanilha = new QPushButton(QStringLiteral("Exporta planilha..."), this);
    BtnPlanilha->setObjectName(QStringLiteral("BtnPlanilha"));
    buttonRow()->insertWidget(0, BtnPlanilha);
    connect(BtnPlanilha, &QPushButton::clicked, this, [this] {
        // In the user's documents, not in the folder the program runs from.
        const QString inicial = QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
                                    .filePath(QStringLiteral("ComparacaoNFe.xls"));
        const QString arquivo = QFileDialog::getSaveFileName(this, QStringLiteral("Exporta planilha"), inicial,
            QStringLiteral("Planilha (*.xls)"), nullptr, QFileDialog::DontUseNativeDialog);
        if (!arquivo.isEmpty())
            ExportaPlanilha(arquivo);
    });
    BtnCancel->hide();
    ajustaLargura(this, Arvore);
    finishCreate();
}

bool TFormDlgComparaNFe::ExportaPlanilha(const QString &arquivo)
{
    QString erro;
    if (GravaPlanilhaComparacaoNFe(m_notas, arquivo, &erro))
        return true;
    MsgErro(QStringLiteral("Não foi possível gravar a planilha \"%1\": %2").arg(arquivo, erro));
    return false;
}

bool ImportaNFe(TDM &dm, const QStringList &caminhos, QWidget *parent)
{
    const QStringList arquivos = ArquivosNFe(caminhos);
    if (arquivos.isEmpty()) {
        MsgAviso(QStringLiteral("Nenhum arquivo XML foi encontrado."));
        return false;
    }
    const ContextoImportacao ctx = contextoImportacao(dm);
    // The rate questions of the item dialog, asked once per code of this import.
    PerguntasAliquota perguntas;
    perguntas.escolhe = [parent](const QString &mensagem) { return EscolheAliquota(mensagem, parent); };
    LoteNFe lote;
    {
        Progresso p(QStringLiteral("Lendo as NF-e..."), int(arquivos.size()), parent);
        lote = LeArquivosNFe(
            dm, ctx, arquivos, [&p](int f, int t) { p(f, t); }, &perguntas);
    }
    TFormDlgImportaNFe dlg(dm, ctx, lote, parent, &perguntas);
    if (dlg.exec() != QDialog::Accepted)
        return false;
    QList<int> ids;
    try {
        Progresso p(QStringLiteral("Gravando as notas..."), int(lote.notas.size()), parent);
        ids = GravaImportacao(dm, ctx, lote.notas, [&p](int f, int t) { p(f, t); });
    } catch (const std::exception &e) {
        MsgErro(QStringLiteral("Nenhuma nota foi importada: ") + QString::fromStdString(e.what()));
        return false;
    }
    if (ids.isEmpty()) {
        MsgInformacao(QStringLiteral("Todas as NF-e escolhidas já estavam neste cálculo."));
        return false;
    }
    const ContextoCalculo contexto = contextoCalculo(dm.TabCalc, fatoresMR(0, parametrosMR()), Clock::today());
    TFormDlgComparaNFe(ComparaImportadas(dm, contexto, ids), parent).exec();
    return true;
}

} // namespace stb
