#include "entry/pmpfgrids.h"

#include "core/datamodule.h"
#include "core/settings.h"
#include "entry/currencyedit.h"
#include "platform/formatting.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QToolButton>

namespace stb {

namespace {

TFormDlgPMPFCombustiveis *g_combustiveis = nullptr;

// Rows without a price in bold; group headings on a silver background.
class DestaqueDelegate : public QStyledItemDelegate {
public:
    DestaqueDelegate(DBGrid *grid, QString campoPreco, int tamanhoCabecalho)
        : QStyledItemDelegate(grid),
          m_grid(grid),
          m_preco(std::move(campoPreco)),
          m_cabecalho(tamanhoCabecalho)
    {
    }

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        db::DataSet *ds = m_grid->dataSet();
        if (!ds || !ds->isActive())
            return;
        const int row = m_grid->sourceRow(index.row());
        if (row < 0 || row >= ds->recordCount())
            return;
        const std::vector<db::Value> values = ds->rowForDisplay(row);
        const db::Field *preco = ds->findField(m_preco);
        const db::Field *internal = ds->findField(QStringLiteral("Internal"));
        if (preco) {
            const QVariant v = db::variantFromValue(preco->type(), values[static_cast<size_t>(preco->index())]);
            if (!v.isValid() || v.value<Currency>() <= Currency())
                option->font.setBold(true);
        }
        if (internal) {
            const QVariant v = db::variantFromValue(internal->type(), values[static_cast<size_t>(internal->index())]);
            if (v.toString().size() == m_cabecalho)
                option->backgroundBrush = QColor(192, 192, 192);
        }
    }

private:
    DBGrid *m_grid;
    QString m_preco;
    int m_cabecalho;
};

// The search box's text, bound as :p1; a text that is a wildcard for LIKE
// stays one, as typed.
const char *kSqlBebidas = "SELECT SUBITEM, MARCA, EMBALAGEM, PMPF, INTERNAL FROM BEBIDAS\n"
                          "WHERE :p1 = ''\n"
                          "   OR (UPPER(MARCA) LIKE '%' || UPPER(:p1) || '%' AND PMPF > 0)\n"
                          "   OR INTERNAL IN (SELECT SUBSTR(B.INTERNAL, 1, LENGTH(B.INTERNAL) - 2) FROM BEBIDAS B\n"
                          "                   WHERE UPPER(B.MARCA) LIKE '%' || UPPER(:p1) || '%' AND B.PMPF > 0)\n"
                          "   OR INTERNAL IN (SELECT SUBSTR(B.INTERNAL, 1, LENGTH(B.INTERNAL) - 4) FROM BEBIDAS B\n"
                          "                   WHERE UPPER(B.MARCA) LIKE '%' || UPPER(:p1) || '%' AND B.PMPF > 0)\n"
                          "   OR INTERNAL IN (SELECT SUBSTR(B.INTERNAL, 1, LENGTH(B.INTERNAL) - 6) FROM BEBIDAS B\n"
                          "                   WHERE UPPER(B.MARCA) LIKE '%' || UPPER(:p1) || '%' AND B.PMPF > 0)\n"
                          "ORDER BY INTERNAL";

const char *kSqlRacoes
    = "SELECT SUBITEM, FABRICANTE, EMBALAGEM, CLASSIFICACAO, PMPF_KG, INTERNAL FROM RACOESPET\n"
      "WHERE :p1 = ''\n"
      "   OR UPPER(FABRICANTE) LIKE '%' || UPPER(:p1) || '%'\n"
      "   OR (LENGTH(INTERNAL) = 2 AND INTERNAL IN (SELECT SUBSTR(R.INTERNAL, 1, 2) FROM RACOESPET R\n"
      "                   WHERE UPPER(R.FABRICANTE) LIKE '%' || UPPER(:p1) || '%'))\n"
      "ORDER BY INTERNAL";

} // namespace

// ---- fuels ---------------------------------------------------------------------------------

TFormDlgPMPFCombustiveis::TFormDlgPMPFCombustiveis(QWidget *parent) : TFormDlgGrid(&DM().BaseDados, parent)
{
    setObjectName(QStringLiteral("TFormDlgPMPFCombustiveis"));
    setWindowTitle(QStringLiteral("PMPF Combustíveis - ATO COTEPE"));
    Qry.setSql(QStringLiteral("SELECT * FROM PMPF"));
    const QString quatro = QStringLiteral(",0.0000");
    for (const char *f : {"PMPFAlcool", "PMPFGasolina", "PMPFDiesel", "PMPFGlp", "PMPFQav"})
        Qry.fieldSetup(QLatin1String(f)).displayFormat = quatro;
    Qry.open();
    dxDBGrid->setDataSet(&Qry);
    dxDBGrid->setColumns({{QStringLiteral("AtoCotepe"), QStringLiteral("Ato"), 10, true, {}},
        {QStringLiteral("Vigencia"), QStringLiteral("Vigência"), 11, true, {}},
        {QStringLiteral("PMPFAlcool"), QStringLiteral("Álcool"), 10, true, {}},
        {QStringLiteral("PMPFGasolina"), QStringLiteral("Gasolina"), 10, true, {}},
        {QStringLiteral("PMPFDiesel"), QStringLiteral("Diesel"), 10, true, {}},
        {QStringLiteral("PMPFGlp"), QStringLiteral("GLP"), 10, true, {}},
        {QStringLiteral("PMPFQav"), QStringLiteral("QAV"), 10, true, {}}});
    resize(700, 420);
    finishCreate();
}

void GridPMPFCombustiveis(QWidget *parent)
{
    if (!g_combustiveis)
        g_combustiveis = new TFormDlgPMPFCombustiveis(parent);
    else
        g_combustiveis->Qry.refresh();
    g_combustiveis->exec();
}

void LiberaGridPMPFCombustiveis()
{
    delete g_combustiveis;
    g_combustiveis = nullptr;
}

// ---- searches -----------------------------------------------------------------------------------

TFormDlgPMPFPesquisa::TFormDlgPMPFPesquisa(
    const QString &campoPreco, int tamanhoCabecalho, const QString &nenhum, QWidget *parent)
    : TFormDlgGrid(&DM().BaseDados, parent),
      m_campoPreco(campoPreco),
      m_nenhum(nenhum)
{
    LabelPesquisa = new QLabel(QStringLiteral("Pesquisar:"), body());
    dxEditPesquisa = new QLineEdit(body());
    dxEditPesquisa->setObjectName(QStringLiteral("dxEditPesquisa"));
    LabelPesquisa->setBuddy(dxEditPesquisa);
    LabelNenhum = new QLabel(nenhum, body());
    LabelNenhum->setObjectName(QStringLiteral("LabelNenhum"));
    LabelNenhum->setStyleSheet(QStringLiteral("color: #b00000; font-weight: bold;"));
    LabelNenhum->hide();
    topRow()->addWidget(LabelPesquisa);
    topRow()->addWidget(dxEditPesquisa, 1);
    topRow()->addWidget(LabelNenhum);
    TimerPesquisa = new QTimer(this);
    TimerPesquisa->setObjectName(QStringLiteral("TimerPesquisa"));
    TimerPesquisa->setSingleShot(true);
    TimerPesquisa->setInterval(250);
    connect(TimerPesquisa, &QTimer::timeout, this, &TFormDlgPMPFPesquisa::pesquisa);
    connect(dxEditPesquisa, &QLineEdit::textChanged, this, [this] {
        // Each change restarts the wait and closes the rows shown.
        Qry.close();
        TimerPesquisa->start();
    });
    dxDBGrid->setItemDelegate(new DestaqueDelegate(dxDBGrid, campoPreco, tamanhoCabecalho));
    dxDBGrid->installEventFilter(this);
    dxEditPesquisa->setFocus();
    resize(900, 520);
}

void TFormDlgPMPFPesquisa::pesquisa()
{
    TimerPesquisa->stop();
    Qry.close();
    Qry.paramByName(QStringLiteral("p1")).setAsString(dxEditPesquisa->text().trimmed());
    Qry.open();
    LabelNenhum->setVisible(Qry.isEmpty());
    aposPesquisa();
}

bool TFormDlgPMPFPesquisa::eventFilter(QObject *o, QEvent *e)
{
    // A letter or digit typed in the grid goes to the search box.
    if (o == dxDBGrid && e->type() == QEvent::KeyPress) {
        const QString t = static_cast<QKeyEvent *>(e)->text();
        if (t.size() == 1 && t.at(0).isLetterOrNumber()) {
            dxEditPesquisa->setFocus();
            dxEditPesquisa->insert(t);
            return true;
        }
    }
    return TFormDlgGrid::eventFilter(o, e);
}

TFormDlgPMPFBebidas::TFormDlgPMPFBebidas(QWidget *parent)
    : TFormDlgPMPFPesquisa(QStringLiteral("PMPF"), 3, QStringLiteral("Nenhuma bebida encontrada!"), parent)
{
    setObjectName(QStringLiteral("TFormDlgPMPFBebidas"));
    setWindowTitle(QStringLiteral("PMPF Bebidas - ") + Settings::instance().portariaBebidas());
    Qry.setSql(QString::fromLatin1(kSqlBebidas));
    Qry.fieldSetup(QStringLiteral("PMPF")).displayFormat = QStringLiteral(",0.00;-,0.00; ");
    pesquisa();
    dxDBGrid->setDataSet(&Qry);
    dxDBGrid->setColumns({{QStringLiteral("Subitem"), QStringLiteral("Item"), 10, true, {}},
        {QStringLiteral("Marca"), QStringLiteral("Marca"), 40, true, {}},
        {QStringLiteral("Embalagem"), QStringLiteral("Embalagem"), 20, true, {}},
        {QStringLiteral("PMPF"), QStringLiteral("PMPF"), 10, true, {}},
        {QStringLiteral("Internal"), QStringLiteral("Internal"), 8, true, {}}});
    dxDBGrid->setStretchColumn(QStringLiteral("Marca"));
    finishCreate();
}

TFormDlgPMPFRacoesPET::TFormDlgPMPFRacoesPET(QWidget *parent)
    : TFormDlgPMPFPesquisa(QStringLiteral("PMPF_kg"), 2, QStringLiteral("Nenhum item encontrado!"), parent)
{
    setObjectName(QStringLiteral("TFormDlgPMPFRacoesPET"));
    setWindowTitle(QStringLiteral("PMPF Rações PET - ") + Settings::instance().portariaRacoesPET());
    Qry.setSql(QString::fromLatin1(kSqlRacoes));
    Qry.fieldSetup(QStringLiteral("PMPF_kg")).displayFormat = QStringLiteral(",0.00;-,0.00; ");

    auto *painel = new QHBoxLayout;
    painel->addWidget(new QLabel(QStringLiteral("Cálculo do PMPF da embalagem:"), body()));
    dxPeso = new CurrencyEdit(body(), QStringLiteral(",0.000"));
    dxPeso->setObjectName(QStringLiteral("dxPeso"));
    dxPeso->setMaximumWidth(90);
    painel->addWidget(dxPeso);
    painel->addWidget(new QLabel(QStringLiteral("kg  ="), body()));
    dxValor = new QLabel(body());
    dxValor->setObjectName(QStringLiteral("dxValor"));
    dxValor->setMinimumWidth(110);
    dxValor->setStyleSheet(QStringLiteral("font-weight: bold;"));
    painel->addWidget(dxValor);
    LabelAviso = new QLabel(
        QStringLiteral("Atenção: a embalagem do item selecionado\nnão confere com o peso da embalagem!"), body());
    LabelAviso->setObjectName(QStringLiteral("LabelAviso"));
    LabelAviso->setStyleSheet(QStringLiteral("color: #b00000;"));
    LabelAviso->hide();
    painel->addWidget(LabelAviso);
    painel->addStretch(1);
    static_cast<QVBoxLayout *>(body()->layout())->addLayout(painel);

    connect(dxPeso, &CurrencyEdit::valueEdited, this, &TFormDlgPMPFRacoesPET::calculaEmbalagem);
    pesquisa();
    dxDBGrid->setDataSet(&Qry);
    dxDBGrid->setColumns({{QStringLiteral("Subitem"), QStringLiteral("Item"), 10, true, {}},
        {QStringLiteral("Fabricante"), QStringLiteral("Fabricante"), 40, true, {}},
        {QStringLiteral("Embalagem"), QStringLiteral("Embalagem"), 14, true, {}},
        {QStringLiteral("Classificacao"), QStringLiteral("Classificação"), 14, true, {}},
        {QStringLiteral("PMPF_kg"), QStringLiteral("PMPF/kg"), 10, true, {}},
        {QStringLiteral("Internal"), QStringLiteral("Internal"), 8, true, {}}});
    dxDBGrid->setStretchColumn(QStringLiteral("Fabricante"));
    connect(dxDBGrid->dataModel(), &DataSetModel::currentRowChanged, this, &TFormDlgPMPFRacoesPET::calculaEmbalagem);
    calculaEmbalagem();
    finishCreate();
}

bool EmbalagemNaoConfere(const QString &embalagem, Currency pesoKg)
{
    if (embalagem.trimmed().isEmpty() || pesoKg.isZero())
        return false;
    const Currency cinco = Currency::fromInt(5);
    if (embalagem.trimmed().compare(QStringLiteral("Até 5kg"), Qt::CaseInsensitive) == 0)
        return pesoKg > cinco;
    return pesoKg <= cinco;
}

void TFormDlgPMPFRacoesPET::calculaEmbalagem()
{
    const Currency peso = dxPeso->value();
    Currency porKg;
    QString embalagem;
    if (Qry.isActive() && !Qry.isEmpty()) {
        porKg = Qry.fieldByName(QStringLiteral("PMPF_kg")).asCurrency();
        embalagem = Qry.fieldByName(QStringLiteral("Embalagem")).asString();
    }
    dxValor->setText(FormatCurr(QStringLiteral("R$ ,0.00;-R$ ,0.00"), porKg * peso));
    LabelAviso->setVisible(EmbalagemNaoConfere(embalagem, peso));
}

// ---- controlled goods ------------------------------------------------------------------------------

TFormDlgMercControladas::TFormDlgMercControladas(QWidget *parent) : TFormDlgGrid(&DM().BaseDados, parent)
{
    setObjectName(QStringLiteral("TFormDlgMercControladas"));
    m_titulo = QStringLiteral("Mercadorias Controladas");
    setWindowTitle(m_titulo);
    dxEditPesquisa = new QLineEdit(body());
    dxEditPesquisa->setObjectName(QStringLiteral("dxEditPesquisa"));
    SBPesquisa = new QToolButton(body());
    SBPesquisa->setObjectName(QStringLiteral("SBPesquisa"));
    SBPesquisa->setText(QStringLiteral("Pesquisa"));
    topRow()->addWidget(new QLabel(QStringLiteral("Pesquisar:"), body()));
    topRow()->addWidget(dxEditPesquisa, 1);
    topRow()->addWidget(SBPesquisa);
    Qry.sql() = QStringList {QStringLiteral("SELECT * FROM CODMERC"), QString(), QString(), QString()};
    Qry.open();
    conecta();
    connect(SBPesquisa, &QToolButton::clicked, this, &TFormDlgMercControladas::pesquisa);
    connect(dxEditPesquisa, &QLineEdit::returnPressed, this, &TFormDlgMercControladas::pesquisa);
    // Typing detaches the grid until the search runs.
    connect(dxEditPesquisa, &QLineEdit::textEdited, this, [this] { dxDBGrid->setDataSet(nullptr); });
    BtnOk->setAutoDefault(false);
    BtnOk->setDefault(false);
    resize(640, 420);
    finishCreate();
}

void TFormDlgMercControladas::conecta()
{
    if (dxDBGrid->dataSet())
        return;
    dxDBGrid->setDataSet(&Qry);
    dxDBGrid->setColumns({{QStringLiteral("Codigo"), QStringLiteral("#"), 6, true, {}},
        {QStringLiteral("Descricao"), QStringLiteral("Descrição"), 60, true, {}}});
}

void TFormDlgMercControladas::pesquisa()
{
    const QString texto = dxEditPesquisa->text();
    QString filtro;
    if (texto.isEmpty()) {
        setWindowTitle(m_titulo);
    } else {
        // The text as typed, its quotes doubled.
        filtro = QStringLiteral("WHERE UPPER(DESCRICAO) LIKE '%")
            + QString(texto).replace(QLatin1Char('\''), QStringLiteral("''")) + QStringLiteral("%'");
        setWindowTitle(m_titulo + QStringLiteral(" - Procurando por ") + texto);
    }
    if (filtro != Qry.sql().value(1)) {
        Qry.close();
        Qry.sql()[1] = filtro;
        Qry.open();
    }
    conecta();
}

void GridPMPFBebidas(QWidget *parent)
{
    TFormDlgPMPFBebidas dlg(parent);
    dlg.exec();
}

void GridPMPFRacoesPET(QWidget *parent)
{
    TFormDlgPMPFRacoesPET dlg(parent);
    dlg.exec();
}

void GridMercControladas(QWidget *parent)
{
    TFormDlgMercControladas dlg(parent);
    dlg.exec();
}

} // namespace stb
