#include "outputs/relatoriodados.h"

#include "core/datamodule.h"
#include "core/grupos.h"
#include "platform/clock.h"
#include "platform/db/transaction.h"

namespace stb {

using db::DataSet;
using db::Field;

namespace {

// Controls of a dataset suspended while the report walks it, resumed on every exit.
class SemControles {
public:
    explicit SemControles(DataSet &ds) : m_ds(ds) { m_ds.disableControls(); }
    ~SemControles() { m_ds.enableControls(); }
    SemControles(const SemControles &) = delete;
    SemControles &operator=(const SemControles &) = delete;

private:
    DataSet &m_ds;
};

Currency moeda(const DataSet &ds, const char *nome) { return ds.fieldByName(QLatin1String(nome)).asCurrency(); }
QString texto(const DataSet &ds, const char *nome) { return ds.fieldByName(QLatin1String(nome)).asString(); }

void leItens(DataSet &itens, std::vector<ItemLido> &out)
{
    // Fields looked up once; the row's amounts are computed as it becomes current.
    const Field &nroItem = itens.fieldByName(QStringLiteral("NroItem"));
    const Field &itemBrelva = itens.fieldByName(QStringLiteral("ItemBrelva"));
    const Field &fem = itens.fieldByName(QStringLiteral("FEM"));
    const char *const nomes[] = {"ValorNF", "ValorIPI", "MVA", "AliqICMS", "CreditoICMS", "ValorCreditoICMS", "PMPF",
        "Litros", "PrecoLitroNF", "FreteProp", "Soma", "ValorFinal", "ValorICMS", "ICMSaRecolher", "ValorMR",
        "ValorMRRed", "TotalARecolher", "ValorFEM"};
    std::vector<const Field *> campos;
    for (const char *n : nomes)
        campos.push_back(&itens.fieldByName(QLatin1String(n)));
    for (itens.first(); !itens.eof(); itens.next()) {
        ItemLido it;
        it.nroItem = nroItem.asInteger();
        it.itemBrelva = itemBrelva.asString();
        it.fem = fem.asBoolean();
        Currency *destinos[] = {&it.valorNF, &it.valorIPI, &it.mva, &it.aliqICMS, &it.creditoICMS, &it.valorCreditoICMS,
            &it.pmpf, &it.litros, &it.precoLitroNF, &it.freteProp, &it.soma, &it.valorFinal, &it.valorICMS,
            &it.icmsARecolher, &it.valorMR, &it.valorMRRed, &it.totalARecolher, &it.valorFEM};
        for (size_t k = 0; k < campos.size(); ++k)
            *destinos[k] = campos[k]->asCurrency();
        out.push_back(std::move(it));
    }
}

void leItensMedic(DataSet &itens, std::vector<ItemMedicLido> &out)
{
    for (itens.first(); !itens.eof(); itens.next()) {
        ItemMedicLido it;
        it.nroItem = itens.fieldByName(QStringLiteral("NroItem")).asInteger();
        it.codBarra = texto(itens, "CodBarra");
        it.descricao = texto(itens, "Descricao");
        it.lote = texto(itens, "Lote");
        it.lista = texto(itens, "Lista");
        it.qtd = itens.fieldByName(QStringLiteral("Qtd")).asInteger();
        it.debVlMerc = moeda(itens, "DebVlMerc");
        it.debAliqICMS = moeda(itens, "DebAliqICMS");
        it.debVlICMS = moeda(itens, "DebVlICMS");
        it.creditoICMS = moeda(itens, "CreditoICMS");
        it.mva = moeda(itens, "MVA");
        out.push_back(std::move(it));
    }
}

} // namespace

CalculoLido LeCalculo(TDM &dm, const FatoresMR &fatores)
{
    CalculoLido c;
    DataSet &calc = dm.TabCalc;
    if (!calc.isActive() || calc.isEmpty())
        return c;
    c.idCalculo = calc.fieldByName(QStringLiteral("IdCalculo")).asInteger();
    c.dataHora = calc.fieldByName(QStringLiteral("DataHora")).asDateTime();
    c.masp = texto(calc, "Masp");
    c.grupo = calc.fieldByName(QStringLiteral("Grupo")).asInteger();
    c.xGrupo = texto(calc, "XGrupo");
    c.tipoCalculo = calc.fieldByName(QStringLiteral("TipoCalculo")).asInteger();
    c.diferencialAliq = calc.fieldByName(QStringLiteral("DiferencialAliq")).asBoolean();
    c.opInterna = calc.fieldByName(QStringLiteral("OpInterna")).asBoolean();
    const bool medic = isGrupoMedicamento(c.grupo);

    // The computation holds FCalculando, FCombustivel and the fine factors
    // (and one state of the files) only while the rows are read.
    const CalculoEmCurso calculo(dm, contextoCalculo(calc, fatores, Clock::today()));
    DataSet &notas = dm.TabNotas;
    DataSet &itens = medic ? static_cast<DataSet &>(dm.TabItensMedic) : static_cast<DataSet &>(dm.TabItens);
    if (!itens.isActive())
        itens.open();
    const SemControles semControles(itens);
    const int atual = notas.recNo();
    for (notas.first(); !notas.eof(); notas.next()) {
        NotaLida n;
        n.idNota = notas.fieldByName(QStringLiteral("IdNota")).asInteger();
        n.nroNF = texto(notas, "NroNF");
        n.cnpjRemet = texto(notas, "CNPJRemet");
        n.xRemetente = texto(notas, "XRemetente");
        n.ieDest = texto(notas, "IEDest");
        n.xDestinatario = texto(notas, "XDestinatario");
        n.frete = moeda(notas, "Frete");
        n.creditoFrete = notas.fieldByName(QStringLiteral("CreditoFrete")).asBoolean();
        n.destaqueICMSST = moeda(notas, "DestaqueICMSST");
        n.creditoICMSMedic = moeda(notas, "CreditoICMSMedic");
        n.valorARecolher = moeda(notas, "ValorARecolher");
        if (medic)
            leItensMedic(itens, n.itensMedic);
        else
            leItens(itens, n.itens);
        c.notas.push_back(std::move(n));
    }
    if (atual > 0)
        notas.setRecNo(atual);
    return c;
}

void GravaImpressao(TDM &dm, const CalculoLido &calculo, int opcaoMR, const QString &observ)
{
    db::Query &q = dm.Qry;
    q.close();
    {
        db::Transaction tx(dm.BaseDados);
        q.setSql(QStringLiteral("UPDATE NOTAS SET TOTALARECOLHER = :Total WHERE IDNOTA = :IdNota"));
        for (const NotaLida &n : calculo.notas) {
            q.paramByName(QStringLiteral("Total")).setAsCurrency(n.valorARecolher);
            q.paramByName(QStringLiteral("IdNota")).setAsInteger(n.idNota);
            q.execSql();
        }
        q.setSql(QStringLiteral("UPDATE CALCULOS SET PRINTMR = :Modo, PRINTOBSERV = :Observ WHERE IDCALCULO = :Id"));
        q.paramByName(QStringLiteral("Modo")).setAsInteger(opcaoMR);
        if (observ.isEmpty())
            q.paramByName(QStringLiteral("Observ")).clear();
        else
            q.paramByName(QStringLiteral("Observ")).setAsString(observ);
        q.paramByName(QStringLiteral("Id")).setAsInteger(calculo.idCalculo);
        q.execSql();
        tx.commit();
    }
    q.close();
    if (dm.TabCalc.isActive())
        dm.TabCalc.refresh();
    if (dm.TabNotas.isActive())
        dm.TabNotas.refresh();
}

} // namespace stb
