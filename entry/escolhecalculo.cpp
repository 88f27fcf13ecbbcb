#include "entry/escolhecalculo.h"

#include "core/datamodule.h"
#include "core/edition.h"
#include "core/grupos.h"
#include "core/messages.h"

#include <QButtonGroup>
#include <QToolButton>

namespace stb {

namespace {
const char *const kLines[] = {
    "SELECT C.IDCALCULO, CAST( C.DATAHORA AS DATE) DATA, F.FISCAL,",
    "R.REMETENTE || ' x ' || D.DESTINATARIO EMPRESAS, C.GRUPO",
    "FROM CALCULOS C",
    "LEFT JOIN REMETENTES R ON R.CNPJREMET = C.CNPJREMET",
    "LEFT JOIN DESTINATARIOS D ON D.IEDEST = C.IEDEST",
    "LEFT JOIN FISCAIS F ON F.MASP = C.MASP",
    "WHERE CAST( C.DATAHORA AS DATE ) > ( CURRENT_DATE - 30 )",
    "ORDER BY 1 DESC",
};
} // namespace

QString TFormDlgEscolheCalculo::filtro30Dias() { return QString::fromLatin1(kLines[6]); }

TFormDlgEscolheCalculo::TFormDlgEscolheCalculo(QWidget *parent) : TFormDlgGrid(&DM().BaseDados, parent)
{
    setObjectName(QStringLiteral("TFormDlgEscolheCalculo"));
    for (const char *line : kLines)
        Qry.sql() << QString::fromUtf8(line);
    SBExcluiNota = new QToolButton(body());
    SBExcluiNota->setObjectName(QStringLiteral("SBExcluiNota"));
    SBExcluiNota->setText(QStringLiteral("Exclui"));
    SB30Dias = new QToolButton(body());
    SB30Dias->setObjectName(QStringLiteral("SB30Dias"));
    SB30Dias->setText(QStringLiteral("Últ 30 dias"));
    SBTodos = new QToolButton(body());
    SBTodos->setObjectName(QStringLiteral("SBTodos"));
    SBTodos->setText(QStringLiteral("Todos"));
    for (QToolButton *b : {SB30Dias, SBTodos})
        b->setCheckable(true);
    auto *group = new QButtonGroup(this);
    group->setExclusive(true);
    group->addButton(SB30Dias);
    group->addButton(SBTodos);
    SB30Dias->setChecked(true);
    topRow()->addWidget(SB30Dias);
    topRow()->addWidget(SBTodos);
    topRow()->addStretch(1);
    topRow()->addWidget(SBExcluiNota);
    connect(SB30Dias, &QToolButton::clicked, this, [this] { mostra30Dias(true); });
    connect(SBTodos, &QToolButton::clicked, this, [this] { mostra30Dias(false); });
    connect(SBExcluiNota, &QToolButton::clicked, this, &TFormDlgEscolheCalculo::SBExcluiNotaClick);
    Qry.setFieldType(QStringLiteral("IDCALCULO"), db::FieldType::Integer);
    dxDBGrid->setDataSet(&Qry);
    // Group codes appear by name; anything else as stored.
    auto grupo = [](const db::Field &f, const db::Value &v) {
        double n = 0;
        if (const auto *i = std::get_if<std::int64_t>(&v))
            n = static_cast<double>(*i);
        else if (const auto *d = std::get_if<double>(&v))
            n = *d;
        return n > 0 ? NomeGrupo(static_cast<int>(n)) : f.formatValue(v);
    };
    dxDBGrid->setColumns({{QStringLiteral("IDCALCULO"), QStringLiteral("#"), 6, true, {}},
        {QStringLiteral("DATA"), QStringLiteral("Data"), 10, true, {}},
        {QStringLiteral("FISCAL"), QStringLiteral("Fiscal"), 20, false, {}},
        {QStringLiteral("EMPRESAS"), QStringLiteral("Empresas"), 50, !Contribuinte, {}},
        {QStringLiteral("GRUPO"), QStringLiteral("Grupo"), 16, true, grupo}});
    // The sender x recipient text takes the room left; the taxpayer edition hides it.
    dxDBGrid->setStretchColumn(Contribuinte ? QStringLiteral("GRUPO") : QStringLiteral("EMPRESAS"));
    mostra30Dias(true);
    finishCreate();
}

void TFormDlgEscolheCalculo::reabre()
{
    Qry.close();
    Qry.open();
}

void TFormDlgEscolheCalculo::mostra30Dias(bool ultimos30)
{
    Qry.sql()[6] = ultimos30 ? filtro30Dias() : QString();
    SB30Dias->setChecked(ultimos30);
    SBTodos->setChecked(!ultimos30);
    setWindowTitle(ultimos30 ? QStringLiteral("Cálculos dos últimos 30 dias") : QStringLiteral("Cálculos"));
    reabre();
}

void TFormDlgEscolheCalculo::AjustaContribuinte() { dxDBGrid->setColumnVisible(QStringLiteral("EMPRESAS"), false); }

int TFormDlgEscolheCalculo::selecionado() const
{
    if (!Qry.isActive() || Qry.isEmpty() || Qry.currentRow() < 0)
        return -1;
    return Qry.fieldByName(QStringLiteral("IDCALCULO")).asInteger();
}

void TFormDlgEscolheCalculo::SBExcluiNotaClick()
{
    const int id = selecionado();
    if (id < 0)
        return;
    if (!ConfirmaPadraoNao(QStringLiteral("Quer excluir este Cálculo do sistema")))
        return;
    TDM &dm = DM();
    if (!dm.TabCalc.isActive())
        dm.TabCalc.open();
    // The calculation shown in the main window stays the current one.
    const QVariant antes
        = dm.TabCalc.isEmpty() ? QVariant() : dm.TabCalc.fieldByName(QStringLiteral("IdCalculo")).value();
    if (!dm.TabCalc.locate(QStringLiteral("IdCalculo"), {id})) {
        MsgErro(QStringLiteral("Não consegui excluir este cálculo..."));
        return;
    }
    const bool linkWasActive = dm.TabNotas.masterLinkActive();
    const bool notasWasOpen = dm.TabNotas.isActive();
    if (!notasWasOpen)
        dm.TabNotas.open();
    dm.TabNotas.setMasterLinkActive(true);
    dm.TabNotas.first();
    const bool temNotas = !dm.TabNotas.isEmpty();
    if (temNotas)
        MsgErro(QStringLiteral("Exclua primeiro as notas fiscais para depois excluir o Cálculo."));
    else
        dm.TabCalc.remove();
    if (antes.isValid() && antes.toInt() != id)
        dm.TabCalc.locate(QStringLiteral("IdCalculo"), {antes});
    dm.TabNotas.setMasterLinkActive(linkWasActive);
    if (!notasWasOpen)
        dm.TabNotas.close();
    if (!temNotas)
        reabre();
}

int EscolheCalculo(QWidget *parent)
{
    TFormDlgEscolheCalculo dlg(parent);
    if (dlg.exec() == QDialog::Accepted)
        return dlg.selecionado();
    return -1;
}

} // namespace stb
