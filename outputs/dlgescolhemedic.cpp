#include "outputs/dlgescolhemedic.h"

#include "core/messages.h"
#include "core/settings.h"
#include "outputs/medicexport.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStandardPaths>
#include <QToolButton>

namespace stb {

namespace {
QPointer<TFormDlgEscolheMedic> g_form;

// The wait cursor while a long step runs.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor &) = delete;
    WaitCursor &operator=(const WaitCursor &) = delete;
};
} // namespace

QString PastaDocumentos() { return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation); }

TFormDlgEscolheMedic::TFormDlgEscolheMedic(QWidget *parent) : TFormDlgEscolheMedic(std::make_unique<Medic>(), parent) {}

TFormDlgEscolheMedic::TFormDlgEscolheMedic(std::unique_ptr<Medic> medic, QWidget *parent)
    : TFormDlgGrid(&medic->database(), parent),
      m_medic(std::move(medic))
{
    setObjectName(QStringLiteral("TFormDlgEscolheMedic"));
    setWindowTitle(QStringLiteral("Tabela de Medicamentos"));
    dxCheckCodBarra = new QCheckBox(QStringLiteral("Código de Barras"), body());
    dxCheckCodBarra->setObjectName(QStringLiteral("dxCheckCodBarra"));
    dxEditPesquisa = new QLineEdit(textoInicial(), body());
    dxEditPesquisa->setObjectName(QStringLiteral("dxEditPesquisa"));
    SBPesquisa = new QToolButton(body());
    SBPesquisa->setObjectName(QStringLiteral("SBPesquisa"));
    SBPesquisa->setText(QStringLiteral("Pesquisa"));
    SBExporta = new QToolButton(body());
    SBExporta->setObjectName(QStringLiteral("SBExporta"));
    SBExporta->setText(QStringLiteral("Exporta"));
    SBExporta->setToolTip(QStringLiteral("Exporta esta consulta para o Excel"));
    topRow()->addWidget(dxCheckCodBarra);
    topRow()->addWidget(dxEditPesquisa, 1);
    topRow()->addWidget(SBPesquisa);
    topRow()->addWidget(SBExporta);
    connect(SBPesquisa, &QToolButton::clicked, this, &TFormDlgEscolheMedic::SBPesquisaClick);
    // Enter in the search box searches (it does not take the row under the box).
    dxEditPesquisa->installEventFilter(this);
    connect(SBExporta, &QToolButton::clicked, this, &TFormDlgEscolheMedic::SBExportaClick);

    auto gen = [](const db::Field &, const db::Value &v) {
        const auto *i = std::get_if<std::int64_t>(&v);
        return i && *i ? QStringLiteral("GEN") : QString();
    };
    dxDBGrid->setDataSet(&Qry);
    dxDBGrid->setColumns({{QStringLiteral("ID"), QStringLiteral("Id"), 6, true, {}},
        {QStringLiteral("CODBARRA"), QStringLiteral("CodBarra"), 14, true, {}},
        {QStringLiteral("DESCRICAO"), QStringLiteral("Descrição"), 40, true, {}},
        {QStringLiteral("LABORATORIO"), QStringLiteral("Laboratório"), 20, true, {}},
        {QStringLiteral("VALOR1"), QStringLiteral("Valor"), 10, true, {}},
        {QStringLiteral("VALOR2"), QStringLiteral("Valor2"), 10, true, {}},
        {QStringLiteral("VALOR3"), QStringLiteral("Valor3"), 10, true, {}},
        {QStringLiteral("VALOR4"), QStringLiteral("Valor4"), 10, true, {}},
        {QStringLiteral("GENERICO"), QStringLiteral("Gen"), 4, true, gen},
        {QStringLiteral("LISTA"), QStringLiteral("Lista"), 4, true, {}}});
    dxDBGrid->setStretchColumn(QStringLiteral("DESCRICAO"));

    PopupMenu = new QMenu(this);
    PopupMenu->setObjectName(QStringLiteral("PopupMenu"));
    CodBarraColuna = PopupMenu->addAction(QStringLiteral("Oculta Código de Barra"));
    CodBarraColuna->setObjectName(QStringLiteral("CodBarraColuna"));
    connect(CodBarraColuna, &QAction::triggered, this, &TFormDlgEscolheMedic::CodBarraColunaClick);
    dxDBGrid->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(dxDBGrid, &QWidget::customContextMenuRequested, this,
        [this](const QPoint &p) { PopupMenu->popup(dxDBGrid->viewport()->mapToGlobal(p)); });
    resize(860, 480);
    finishCreate();
}

TFormDlgEscolheMedic::~TFormDlgEscolheMedic()
{
    // The query lives on the table's database, which goes first.
    dxDBGrid->setDataSet(nullptr);
    Qry.close();
    Qry.setDatabase(nullptr);
}

bool TFormDlgEscolheMedic::carrega()
{
    if (m_carregada)
        return m_medic->aberta();
    Qry.close();
    WaitCursor wait;
    m_medic->abre(
        Settings::instance().dataDir(), IniMedicamento(), [](const QString &s) { MedicStatus::instance().show(s); });
    MedicStatus::instance().show(QString());
    m_carregada = true;
    atualizaCaption({});
    return m_medic->aberta();
}

void TFormDlgEscolheMedic::atualizaCaption(const QString &procura)
{
    QString caption = QStringLiteral("Tabela de Medicamentos - ") + m_medic->mesAno();
    if (!procura.isNull())
        caption += QStringLiteral(" - Procurando por ") + procura;
    setWindowTitle(caption);
}

void TFormDlgEscolheMedic::pesquisa(const QString &texto, Medic::Busca busca)
{
    m_medic->pesquisa(Qry, texto, busca);
    atualizaCaption(texto);
}

std::optional<MedicEscolhido> TFormDlgEscolheMedic::escolhe(const QString &texto, Medic::Busca busca)
{
    if (!carrega())
        return std::nullopt;
    pesquisa(texto, busca);
    if (Qry.isEmpty()) {
        MsgAviso(QStringLiteral("Não consegui localizar nenhum medicamento!"));
        return std::nullopt;
    }
    if (Qry.recordCount() == 1)
        return Medic::escolhido(Qry);
    Qry.first();
    if (exec() != QDialog::Accepted || Qry.isEmpty() || Qry.currentRow() < 0)
        return std::nullopt;
    return Medic::escolhido(Qry);
}

void TFormDlgEscolheMedic::mostra()
{
    if (!carrega())
        return;
    exec();
}

bool TFormDlgEscolheMedic::eventFilter(QObject *o, QEvent *e)
{
    if (o == dxEditPesquisa && e->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(e)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            SBPesquisaClick();
            return true;
        }
    }
    return TFormDlgGrid::eventFilter(o, e);
}

void TFormDlgEscolheMedic::SBPesquisaClick()
{
    if (!carrega())
        return;
    QString texto = dxEditPesquisa->text().trimmed();
    // "*" lists every medicine, as it does from the item dialog.
    if (texto == textoInicial() || texto == QLatin1String("*"))
        texto.clear();
    pesquisa(texto, dxCheckCodBarra->isChecked() ? Medic::Busca::CodBarra : Medic::Busca::Contem);
    if (Qry.isEmpty()) {
        MsgAviso(QStringLiteral("Não consegui localizar nenhum medicamento!"));
        return;
    }
    // The rows found are chosen with the arrows and Enter.
    Qry.first();
    dxDBGrid->setFocus();
}

void TFormDlgEscolheMedic::CodBarraColunaClick()
{
    const bool shown = CodBarraColuna->text() == QStringLiteral("Exibe Código de Barra");
    dxDBGrid->setColumnVisible(QStringLiteral("CODBARRA"), shown);
    CodBarraColuna->setText(shown ? QStringLiteral("Oculta Código de Barra") : QStringLiteral("Exibe Código de Barra"));
}

void TFormDlgEscolheMedic::SBExportaClick()
{
    if (!Qry.isActive() || Qry.isEmpty())
        return;
    if (!Confirma(QStringLiteral("Exportar esta consulta para o Excel")))
        return;
    const QString nome = QStringLiteral("CMED_ABCFarma.xls");
    const QString pasta = PastaDocumentos();
    QString erro;
    bool ok = false;
    {
        WaitCursor wait;
        MedicStatus::instance().show(
            QStringLiteral("Aguarde... gravando %1 na pasta \"Meus Documentos\"...").arg(nome));
        const int atual = Qry.recNo();
        ok = QDir().mkpath(pasta) && ExportaMedicXls(Qry, QDir(pasta).filePath(nome), &erro);
        Qry.setRecNo(atual);
        MedicStatus::instance().show(QString());
    }
    if (ok)
        // The folder on a line of its own, so that the box does not break it.
        MsgInformacao(nome + QStringLiteral(" gravado com sucesso na pasta \r") + QDir::toNativeSeparators(pasta));
    else
        MsgErro(QStringLiteral("Não consegui gravar %1.\r%2").arg(nome, erro));
}

TFormDlgEscolheMedic &FormDlgEscolheMedic(QWidget *parent)
{
    if (!g_form)
        g_form = new TFormDlgEscolheMedic(parent);
    return *g_form;
}

bool FormDlgEscolheMedicExiste() { return !g_form.isNull(); }

void LiberaEscolheMedic() { delete g_form.data(); }

std::optional<MedicEscolhido> EscolheMedic(const QString &texto, QWidget *parent)
{
    QString t = texto.trimmed();
    Medic::Busca busca = Medic::Busca::Prefixo;
    if (t == QLatin1String("*")) {
        t.clear();
    } else if (!t.isEmpty()) {
        bool digits = true;
        for (const QChar c : t)
            digits = digits && c.isDigit();
        if (digits)
            busca = Medic::Busca::CodBarra;
    }
    return FormDlgEscolheMedic(parent).escolhe(t, busca);
}

} // namespace stb
