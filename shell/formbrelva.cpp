#include "shell/formbrelva.h"

#include "core/annexlookup.h"
#include "core/datamodule.h"
#include "core/messages.h"
#include "core/settings.h"
#include "entry/dbgrid.h"
#include "entry/dlgescolhemva.h"
#include "platform/annexconsult.h"
#include "platform/formatting.h"
#include "platform/winmsg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QSplitter>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QToolButton>
#include <QVBoxLayout>

namespace stb {

namespace {

// The annex rows with their code as the user types it; headings show the item only.
const QString kSelect = QStringLiteral(
    "SELECT B.ID, B.ITEM, B.EX, B.SUBITEM,\n"
    "  CASE WHEN B.AMBITO = 0 THEN printf('%02d', B.ITEM) ELSE printf('%02d.%03d.%02d', B.ITEM, B.EX, B.SUBITEM) END "
    "AS CODIGO,\n"
    "  B.DESCRICAO, B.MVA1, B.MVA2, B.MVA3, B.INFOMVA1, B.INFOMVA2, B.INFOMVA3, B.CEST, B.FEM, B.AMBITO,\n"
    "  B.CODIGONBM1, B.CODIGONBM2, B.CODIGONBM3, B.CODIGONBM4, B.CODIGONBM5, B.CODIGONBM6, B.CODIGONBM7,\n"
    "  B.CODIGONBM8, B.CODIGONBM9, B.CODIGONBM10, B.CODIGONBM11, B.CODIGONBM12, B.CODIGONBM13, B.CODIGONBM14,\n"
    "  B.CODIGONBM15\n"
    "FROM BRELVA B");

const char *const kModos[] = {"Tabela Brelva", "Pesquisa Código NCM", "Pesquisa Descrição Brelva",
    "Pesquisa Descrição Mercadoria", "Introduzidos em 01/08/2009", "Introduzidos em 01/11/2009"};
const char *const kDatas[] = {"01/08/2009", "01/11/2009"};

QString codigosNBM(const QString &prefixo, const QString &junta)
{
    QStringList partes;
    for (int i = 1; i <= 15; ++i)
        partes << prefixo.arg(i);
    return partes.join(junta);
}

// Headings of the annex in bold on silver.
class CabecalhoDelegate : public QStyledItemDelegate {
public:
    explicit CabecalhoDelegate(DBGrid *grid) : QStyledItemDelegate(grid), m_grid(grid) {}

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        db::DataSet *ds = m_grid->dataSet();
        const int row = m_grid->sourceRow(index.row());
        if (!ds || !ds->isActive() || row < 0 || row >= ds->recordCount())
            return;
        const db::Field *ambito = ds->findField(QStringLiteral("AMBITO"));
        if (!ambito)
            return;
        const std::vector<db::Value> values = ds->rowForDisplay(row);
        const QVariant v = db::variantFromValue(ambito->type(), values[static_cast<size_t>(ambito->index())]);
        if (v.isValid() && v.toInt() == 0) {
            option->font.setBold(true);
            option->backgroundBrush = QColor(192, 192, 192);
        }
    }

private:
    DBGrid *m_grid;
};

} // namespace

bool ConsultaComTexto(int kind)
{
    return kind == annex::PesquisaNCM || kind == annex::PesquisaDescricaoBrelva
        || kind == annex::PesquisaDescricaoMercadoria;
}

TFormBrelva::TFormBrelva(const QString &dataDir, bool respondePadrao, QWidget *parent)
    : QMainWindow(parent),
      m_base(QStringLiteral("Brelva")),
      Qry(&m_base),
      m_respondePadrao(respondePadrao)
{
    setObjectName(QStringLiteral("TFormBrelva"));
    setWindowTitle(QStringLiteral("Brelva - Consulta da Tabela de Incidência da ST"));
    m_base.setDirectory(dataDir);

    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    auto *topo = new QHBoxLayout;
    ComboModo = new QComboBox(central);
    ComboModo->setObjectName(QStringLiteral("ComboModo"));
    for (const char *m : kModos)
        ComboModo->addItem(QString::fromUtf8(m));
    LabelPesquisa = new QLabel(QStringLiteral("Pesquisar:"), central);
    EditPesquisa = new QLineEdit(central);
    EditPesquisa->setObjectName(QStringLiteral("EditPesquisa"));
    LabelPesquisa->setBuddy(EditPesquisa);
    SBPesquisa = new QToolButton(central);
    SBPesquisa->setObjectName(QStringLiteral("SBPesquisa"));
    SBPesquisa->setText(QStringLiteral("Pesquisa"));
    topo->addWidget(new QLabel(QStringLiteral("Consulta:"), central));
    topo->addWidget(ComboModo);
    topo->addSpacing(12);
    topo->addWidget(LabelPesquisa);
    topo->addWidget(EditPesquisa, 1);
    topo->addWidget(SBPesquisa);
    layout->addLayout(topo);
    LabelPedido = new QLabel(central);
    LabelPedido->setObjectName(QStringLiteral("LabelPedido"));
    LabelPedido->setStyleSheet(QStringLiteral("QLabel { background: #ffffe1; color: #1f2f5f; padding: 4px; }"));
    LabelPedido->hide();
    layout->addWidget(LabelPedido);
    auto *split = new QSplitter(Qt::Vertical, central);
    Grid = new DBGrid(split);
    Grid->setObjectName(QStringLiteral("Grid"));
    Grid->setItemDelegate(new CabecalhoDelegate(Grid));
    MemoDetalhe = new QPlainTextEdit(split);
    MemoDetalhe->setObjectName(QStringLiteral("MemoDetalhe"));
    MemoDetalhe->setReadOnly(true);
    split->addWidget(Grid);
    split->addWidget(MemoDetalhe);
    split->setStretchFactor(0, 4);
    split->setStretchFactor(1, 1);
    layout->addWidget(split, 1);
    auto *botoes = new QHBoxLayout;
    botoes->addStretch(1);
    BtnEscolhe = new QPushButton(QStringLiteral("&Escolhe"), central);
    BtnEscolhe->setObjectName(QStringLiteral("BtnEscolhe"));
    BtnEscolhe->hide();
    BtnFecha = new QPushButton(QStringLiteral("&Fecha"), central);
    BtnFecha->setObjectName(QStringLiteral("BtnFecha"));
    botoes->addWidget(BtnEscolhe);
    botoes->addWidget(BtnFecha);
    layout->addLayout(botoes);
    setCentralWidget(central);
    statusBar()->showMessage(QStringLiteral("Dados em ") + dataDir);
    resize(900, 600);

    connect(ComboModo, &QComboBox::activated, this, [this](int i) { consulta(i + 1, EditPesquisa->text()); });
    connect(SBPesquisa, &QToolButton::clicked, this, &TFormBrelva::pesquisa);
    connect(EditPesquisa, &QLineEdit::returnPressed, this, &TFormBrelva::pesquisa);
    connect(BtnEscolhe, &QPushButton::clicked, this, &TFormBrelva::escolhe);
    connect(BtnFecha, &QPushButton::clicked, this, &QWidget::close);
    connect(Grid, &DBGrid::rowDoubleClicked, this, [this] {
        if (pedidoPendente())
            escolhe();
    });

    m_janela = new MessageWindow(this);
    connect(m_janela, &MessageWindow::messageReceived, this, &TFormBrelva::mensagem);
    consulta(annex::Tabela);
    // The arrows go through the table from the first key (on the list of
    // kinds they would switch the consultation), and Escape closes as "Fecha".
    Grid->setFocus();
    auto *esc = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    esc->setObjectName(QStringLiteral("AtalhoFecha"));
    connect(esc, &QShortcut::activated, this, &QWidget::close);
}

TFormBrelva::~TFormBrelva()
{
    // The grid's model observes the query, which goes before the child widgets.
    Grid->setDataSet(nullptr);
    Qry.close();
    m_base.close();
    // The handle goes with the window.
    const auto registrado = Settings::instance().handle(annex::nomeJanela());
    if (registrado && *registrado == m_janela->handle())
        Settings::instance().setHandle(annex::nomeJanela(), 0);
}

qint64 TFormBrelva::handle() const { return m_janela->handle(); }

void TFormBrelva::registra() { Settings::instance().setHandle(annex::nomeJanela(), m_janela->handle()); }

QString TFormBrelva::filtro(int kind, const QString &texto)
{
    if (ConsultaComTexto(kind) && texto.trimmed().isEmpty())
        return {};
    switch (kind) {
    case annex::PesquisaNCM:
        return QStringLiteral("WHERE B.AMBITO <> 0 AND (")
            + codigosNBM(QStringLiteral("REPLACE(B.CODIGONBM%1, '.', '') LIKE :Texto || '%'"), QStringLiteral(" OR "))
            + QLatin1Char(')');
    case annex::PesquisaDescricaoBrelva:
        return QStringLiteral("WHERE UPPER(B.DESCRICAO) LIKE '%' || UPPER(:Texto) || '%'");
    case annex::PesquisaDescricaoMercadoria:
        return QStringLiteral(
                   "WHERE B.AMBITO <> 0 AND EXISTS (SELECT 1 FROM PRODUTOSNBM P WHERE UPPER(P.DESCRICAO) LIKE '%' || "
                   "UPPER(:Texto) || '%' AND P.NBM IN (")
            + codigosNBM(QStringLiteral("B.CODIGONBM%1"), QStringLiteral(", ")) + QStringLiteral("))");
    case annex::Introduzidos1:
    case annex::Introduzidos2: {
        // The codes introduced on each date are listed in the reference settings.
        const QString data = QString::fromLatin1(kDatas[kind - annex::Introduzidos1]);
        IniFile &ini = IniLocal2();
        const QString secao = QStringLiteral("Brelva.Introduzidos");
        QStringList condicoes;
        for (const QString &code : ini.readSection(secao)) {
            if (ini.readString(secao, code).trimmed() != data)
                continue;
            const CodigoBrelva c = SeparaCodigoBrelva(code);
            condicoes << QStringLiteral("(B.ITEM = %1 AND B.EX = %2 AND B.SUBITEM = %3)")
                             .arg(c.item)
                             .arg(c.ex)
                             .arg(c.subItem);
        }
        return condicoes.isEmpty() ? QStringLiteral("WHERE 1 = 0")
                                   : QStringLiteral("WHERE ") + condicoes.join(QStringLiteral(" OR "));
    }
    default:
        return {};
    }
}

void TFormBrelva::consulta(int kind, const QString &texto)
{
    if (kind < annex::Tabela || kind > annex::Introduzidos2)
        kind = annex::Tabela;
    ComboModo->setCurrentIndex(kind - 1);
    const bool comTexto = ConsultaComTexto(kind);
    for (QWidget *w : {static_cast<QWidget *>(LabelPesquisa), static_cast<QWidget *>(EditPesquisa),
             static_cast<QWidget *>(SBPesquisa)})
        w->setEnabled(comTexto);
    if (EditPesquisa->text() != texto)
        EditPesquisa->setText(texto);
    QString digitado = texto.trimmed();
    if (kind == annex::PesquisaNCM)
        digitado.remove(QLatin1Char('.'));
    Grid->setDataSet(nullptr);
    Qry.close();
    Qry.setSql(kSelect + QLatin1Char('\n') + filtro(kind, digitado) + QStringLiteral("\nORDER BY B.ID"));
    Qry.paramByName(QStringLiteral("Texto")).setAsString(digitado);
    try {
        Qry.open();
    } catch (const db::EngineError &e) {
        MsgErro(QStringLiteral("Não consegui ler a Tabela Brelva em ") + m_base.directory() + QStringLiteral(".\r")
            + e.message());
        return;
    }
    Grid->setDataSet(&Qry);
    auto sim = [](const db::Field &, const db::Value &v) {
        return !db::isNull(v) && std::holds_alternative<std::int64_t>(v) && std::get<std::int64_t>(v) != 0
            ? QStringLiteral("Sim")
            : QString();
    };
    Grid->setColumns({{QStringLiteral("CODIGO"), QStringLiteral("Código"), 10, true, {}},
        {QStringLiteral("DESCRICAO"), QStringLiteral("Descrição"), 70, true, {}},
        {QStringLiteral("MVA1"), QStringLiteral("MVA"), 8, true, {}},
        {QStringLiteral("MVA2"), QStringLiteral("MVA 2"), 8, true, {}},
        {QStringLiteral("CEST"), QStringLiteral("CEST"), 10, true, {}},
        {QStringLiteral("FEM"), QStringLiteral("FEM"), 4, true, sim},
        {QStringLiteral("AMBITO"), QStringLiteral("Âmbito"), 6, true, {}}});
    Grid->setStretchColumn(QStringLiteral("DESCRICAO"));
    connect(Grid->dataModel(), &DataSetModel::currentRowChanged, this, &TFormBrelva::detalhe, Qt::UniqueConnection);
    statusBar()->showMessage(QStringLiteral("%1 - %2 linha(s)").arg(ComboModo->currentText()).arg(Qry.recordCount()));
    detalhe();
}

void TFormBrelva::pesquisa() { consulta(ComboModo->currentIndex() + 1, EditPesquisa->text()); }

bool TFormBrelva::posiciona(int item, int ex, int subItem)
{
    if (!Qry.isActive() || Qry.isEmpty())
        return false;
    const db::Field &fItem = Qry.fieldByName(QStringLiteral("ITEM"));
    const db::Field &fEx = Qry.fieldByName(QStringLiteral("EX"));
    const db::Field &fSub = Qry.fieldByName(QStringLiteral("SUBITEM"));
    const db::Field &fAmbito = Qry.fieldByName(QStringLiteral("AMBITO"));
    int melhor = -1;
    for (Qry.first(); !Qry.eof(); Qry.next()) {
        if (fItem.asInteger() != item || fAmbito.asInteger() == 0)
            continue;
        if (ex != 0 && fEx.asInteger() != ex)
            continue;
        if (subItem != 0 && fSub.asInteger() != subItem)
            continue;
        melhor = Qry.currentRow();
        break;
    }
    if (melhor < 0) {
        Qry.first();
        return false;
    }
    Qry.setRecNo(melhor + 1);
    return true;
}

void TFormBrelva::detalhe()
{
    if (!Qry.isActive() || Qry.isEmpty()) {
        MemoDetalhe->setPlainText(QStringLiteral("Nenhum item encontrado."));
        return;
    }
    auto texto = [this](const char *f) { return Qry.fieldByName(QLatin1String(f)).asString(); };
    QStringList linhas {texto("CODIGO") + QStringLiteral(" - ") + texto("DESCRICAO")};
    if (Qry.fieldByName(QStringLiteral("AMBITO")).asInteger() != 0) {
        for (int i = 1; i <= 3; ++i) {
            const Currency mva = Qry.fieldByName(QStringLiteral("MVA%1").arg(i)).asCurrency();
            if (i > 1 && mva.isZero())
                continue;
            const QString info = Qry.fieldByName(QStringLiteral("INFOMVA%1").arg(i)).asString();
            linhas << Format(QStringLiteral("MVA: %n%%"), {mva.toDouble()})
                    + (info.isEmpty() ? QString() : QStringLiteral(" - ") + info);
        }
        QStringList nbm;
        for (int i = 1; i <= 15; ++i) {
            const QString c = Qry.fieldByName(QStringLiteral("CODIGONBM%1").arg(i)).asString();
            if (!c.isEmpty())
                nbm << c;
        }
        linhas << QStringLiteral("CEST: ") + texto("CEST")
               << QStringLiteral("FEM: ")
                + (Qry.fieldByName(QStringLiteral("FEM")).asBoolean() ? QStringLiteral("Sim") : QStringLiteral("Não"))
               << QStringLiteral("Âmbito: ") + texto("AMBITO")
               << QStringLiteral("NCM: ") + nbm.join(QStringLiteral(", "));
    }
    MemoDetalhe->setPlainText(linhas.join(QLatin1Char('\n')));
}

void TFormBrelva::mostra()
{
    showNormal();
    raise();
    activateWindow();
}

void TFormBrelva::mensagem(int msg, qint64 wparam, qint64 lparam)
{
    if (msg == annex::MsgFecha) {
        m_encerrando = true;
        close();
        QCoreApplication::quit();
        return;
    }
    if (msg != annex::MsgPedido)
        return;
    if (wparam == 0) {
        consulta(static_cast<int>(lparam));
        mostra();
        return;
    }
    pedido(static_cast<quint8>(wparam), lparam);
}

void TFormBrelva::pedido(quint8, qint64 janelaPedido)
{
    const auto texto = GetWindowText(janelaPedido);
    if (!texto)
        return;
    qint64 chamador = 0;
    const ItemBrelvaConsulta c = LeTextoBrelva(*texto, &chamador);
    m_pedidoJanela = janelaPedido;
    m_pedidoChamador = chamador;
    if (c.item >= 100) {
        // The first digits of a product code.
        QString digitos = QString::number(c.item);
        if (c.ex != 0 || c.subItem != 0)
            digitos += QStringLiteral("%1").arg(c.ex, 2, 10, QLatin1Char('0'));
        if (c.subItem != 0)
            digitos += QStringLiteral("%1").arg(c.subItem, 2, 10, QLatin1Char('0'));
        consulta(annex::PesquisaNCM, digitos);
    } else {
        consulta(annex::Tabela);
        if (posiciona(c.item, c.ex, c.subItem)) {
            // The item's heading and first entries in view.
            const int linha = Grid->viewRow(Qry.currentRow());
            Grid->scrollTo(Grid->model()->index(std::max(0, linha - 1), 0), QAbstractItemView::PositionAtTop);
        }
    }
    LabelPedido->setText(
        QStringLiteral("Escolha o subitem do Brelva para o item da Nota Fiscal e clique em \"Escolhe\" "
                       "(ou dê 2 cliques na linha)."));
    LabelPedido->show();
    BtnEscolhe->show();
    BtnEscolhe->setDefault(true);
    mostra();
    if (m_respondePadrao)
        escolhe();
}

bool TFormBrelva::escolhe()
{
    if (!pedidoPendente())
        return false;
    if (!Qry.isActive() || Qry.isEmpty() || Qry.fieldByName(QStringLiteral("AMBITO")).asInteger() == 0) {
        MsgAviso(QStringLiteral("Escolha um subitem do Brelva (não o título do item)."));
        return false;
    }
    ItemBrelvaConsulta c;
    c.item = Qry.fieldByName(QStringLiteral("ITEM")).asInteger();
    c.ex = Qry.fieldByName(QStringLiteral("EX")).asInteger();
    c.subItem = Qry.fieldByName(QStringLiteral("SUBITEM")).asInteger();
    c.id = Qry.fieldByName(QStringLiteral("ID")).asInteger();
    c.descricao = Qry.fieldByName(QStringLiteral("DESCRICAO")).asString();
    c.cest = Qry.fieldByName(QStringLiteral("CEST")).asString();
    c.ambito = Qry.fieldByName(QStringLiteral("AMBITO")).asInteger();
    c.fem = Qry.fieldByName(QStringLiteral("FEM")).asBoolean() ? 1 : 0;
    auto mva = [this](int i) { return Qry.fieldByName(QStringLiteral("MVA%1").arg(i)).asCurrency(); };
    auto info = [this](int i) { return Qry.fieldByName(QStringLiteral("INFOMVA%1").arg(i)).asString(); };
    EscolheOpcaoMVA escolha;
    if (!m_respondePadrao)
        escolha = [this](const QString &h, const QStringList &o) { return EscolheOpcaoMVABrelva(h, o, this); };
    c.mva = TDM::EscolheMVABrelva(c.cest.left(9) + QStringLiteral(" - ") + c.descricao, info(1), mva(1), info(2),
        mva(2), info(3), mva(3), escolha);
    const qint64 janela = m_pedidoJanela;
    const qint64 chamador = m_pedidoChamador;
    m_pedidoJanela = m_pedidoChamador = 0;
    LabelPedido->hide();
    BtnEscolhe->hide();
    if (!SetWindowText(janela, TextoRespostaBrelva(chamador, c))) {
        MsgAviso(QStringLiteral("O item que pediu esta consulta não está mais aberto."));
        return false;
    }
    PostMessage(chamador, annex::MsgResposta, 0, 0);
    hide();
    return true;
}

void TFormBrelva::closeEvent(QCloseEvent *e)
{
    // The program stays ready for the next request; message 1027 ends it.
    if (!m_encerrando) {
        m_pedidoJanela = m_pedidoChamador = 0;
        LabelPedido->hide();
        BtnEscolhe->hide();
        hide();
        e->ignore();
        return;
    }
    e->accept();
}

} // namespace stb
