#include "core/calcrapido.h"

#include "core/regras.h"
#include "core/schema.h"
#include "platform/db/field.h"

#include <QScopeGuard>
#include <algorithm>
#include <optional>

namespace stb {

namespace {

using db::FieldType;

// T of a line priced by PMPF: the debit at the reference price less the
// credit at the invoice's price, one expression.
Currency icmsPMPF(const LinhaRapida &l)
{
    const ICMSPMPF p = ICMSLinhaPMPF(l.litros, l.pmpf, l.precoLitroNF, l.aliqICMS, l.creditoICMS);
    return (p.debito - p.credito).moeda();
}

db::FieldDef campo(const char *name, FieldType type, int size = 0) { return {QLatin1String(name), type, size, false}; }

// A walk over a list: the display is suspended and the current row comes
// back afterwards.
class Percurso {
public:
    explicit Percurso(db::DataSet &ds) : m_ds(ds), m_recNo(ds.recNo()) { ds.disableControls(); }
    ~Percurso()
    {
        if (m_recNo > 0 && m_recNo <= m_ds.recordCount())
            m_ds.setRecNo(m_recNo);
        m_ds.enableControls();
    }
    Percurso(const Percurso &) = delete;
    Percurso &operator=(const Percurso &) = delete;

private:
    db::DataSet &m_ds;
    int m_recNo;
};

} // namespace

ValoresRapidos CalculaLinhaRapida(int tipo, const LinhaRapida &l, Currency partilha)
{
    const ConfereEstouro confere;
    ValoresRapidos r;
    Currency t;
    const bool difal = tipo == 2 || tipo == 3;
    if (!l.pmpf.isZero()) {
        t = icmsPMPF(l);
    } else if (difal) {
        // Value only: no IPI, no freight.
        const Currency x = l.valorNF - l.valorCreditoICMS;
        const Currency base = BaseDIFAL(x, l.aliqICMS, l.fem);
        confere("ValorFinal");
        const Currency valorFEM = l.fem ? ValorFEM(base) : Currency();
        r.valorFEM = valorFEM;
        r.valorFinal = base;
        r.valorICMS = (base - x) - valorFEM;
        confere("ValorICMS");
        if (tipo == 3) {
            // One expression here: the difference of rates is not converted apart.
            const Currency d = l.aliqICMS - l.creditoICMS;
            t = d > Currency() ? (Expr(base) * Expr(d) * Expr(partilha)).porCento().moeda() : Currency();
        } else {
            t = *r.valorICMS - l.valorCreditoICMS;
        }
    } else {
        // The IPI always enters; the credit comes from its rate.
        t = (DebitoST(l.valorNF + l.valorIPI, l.mva, l.aliqICMS) - (Expr(l.valorNF) * Expr(l.creditoICMS)).porCento())
                .moeda();
    }
    confere("TotalARecolher");
    if (!difal && l.fem) {
        r.valorFEM = ValorFEM(l.valorNF);
        confere("ValorFEM");
    }
    r.totalARecolher = positivo(t);
    return r;
}

Currency V0Medic(const LinhaMedicRapida &l)
{
    const Expr v0 = Expr(l.debVlMerc) / fatorMVA(l.mva);
    return v0.falhou() ? l.debVlMerc : v0.moeda();
}

ValoresMedicRapidos CalculaMedicRapida(int grupo, const LinhaMedicRapida &l)
{
    const ConfereEstouro confere;
    ValoresMedicRapidos r;
    if (grupo == 113) {
        const Currency v0 = V0Medic(l);
        confere("V0");
        const Currency credito = percentual(v0, l.creditoICMS);
        const Currency debito = DebitoST(v0, l.mva, l.debAliqICMS).moeda();
        r.totalARecolher = positivo(debito - credito);
    } else {
        r.debVlICMS = percentual(l.debVlMerc, l.debAliqICMS);
        r.totalARecolher = *r.debVlICMS;
    }
    confere("TotalARecolher");
    return r;
}

Currency TotalRapido(int grupo, int tipo, Currency frete, Currency partilha, const std::vector<LinhaRapida> &itens,
    const std::vector<LinhaMedicRapida> &medic)
{
    const ConfereEstouro confere;
    // A line past the range is named by its own amount, as the list shows it.
    for (const LinhaRapida &l : itens)
        CalculaLinhaRapida(tipo, l, partilha);
    for (const LinhaMedicRapida &l : medic)
        CalculaMedicRapida(grupo, l);
    Currency total;
    if (tipo == 2 || tipo == 3) {
        for (const LinhaRapida &l : itens) {
            const ValoresRapidos r = CalculaLinhaRapida(tipo, l, partilha);
            total += r.totalARecolher + r.valorFEM.value_or(Currency());
        }
        confere("Total");
        return total;
    }
    if (grupo == 13) {
        for (const LinhaMedicRapida &l : medic)
            total += *CalculaMedicRapida(grupo, l).debVlICMS;
        confere("Total");
        return positivo(total - frete);
    }
    if (grupo == 113) {
        Currency s;
        if (frete > Currency())
            for (const LinhaMedicRapida &l : medic)
                s += V0Medic(l);
        for (const LinhaMedicRapida &l : medic) {
            const Currency totalLinha = CalculaMedicRapida(grupo, l).totalARecolher;
            if (frete > Currency() && !s.isZero()) {
                const Currency v0 = V0Medic(l);
                const Currency base = (Expr(v0) + ParteFrete(frete, v0, s)).moeda();
                const Currency debito = DebitoST(base, l.mva, l.debAliqICMS).moeda();
                const Currency credito = percentual(v0, l.creditoICMS);
                total += std::max(totalLinha, debito - credito);
            } else {
                total += totalLinha;
            }
        }
        confere("Total");
        return total;
    }
    // Standard group and fuels: the freight shared over every line by value and IPI.
    Currency s;
    if (frete > Currency())
        for (const LinhaRapida &l : itens)
            s += l.valorNF + l.valorIPI;
    for (const LinhaRapida &l : itens) {
        Currency b = l.valorNF + l.valorIPI;
        if (!s.isZero())
            b = (Expr(b) + ParteFrete(frete, b, s)).moeda();
        const Currency debito = DebitoST(b, l.mva, l.aliqICMS).moeda();
        const Currency credito = percentual(l.valorNF, l.creditoICMS);
        if (debito > credito)
            total += debito - credito;
    }
    if (grupo == 6) {
        // Second walk: the lines priced by PMPF, each as its line shows it.
        for (const LinhaRapida &l : itens)
            if (!l.pmpf.isZero())
                total += positivo(icmsPMPF(l));
    }
    confere("Total");
    return total;
}

// ===== the lists ================================================================================

CalculoRapido::CalculoRapido(db::DataSet *brelva, QObject *parent)
    : QObject(parent),
      MemItens(QStringLiteral("MemItens")),
      MemItensMedic(QStringLiteral("MemItensMedic"))
{
    MemItens.definition() = definicaoItens();
    MemItens.setIndexName(QStringLiteral("MemItensNro"));
    MemItensMedic.definition() = definicaoMedic();
    MemItensMedic.setIndexName(QStringLiteral("MemItensMedicNro"));
    MemItens.objectName = QStringLiteral("MemItens");
    MemItensMedic.objectName = QStringLiteral("MemItensMedic");

    const QString dois = QStringLiteral(",0.00");
    for (const char *n : {"ValorNF", "ValorIPI", "ValorCreditoICMS", "Litros", "PrecoLitroNF"})
        MemItens.fieldSetup(QLatin1String(n)).displayFormat = dois;
    MemItens.fieldSetup(QStringLiteral("MVA")).displayFormat = QStringLiteral(",0.00%;-,0.00%; ");
    MemItens.fieldSetup(QStringLiteral("CreditoICMS")).displayFormat = QStringLiteral(",0.00%");
    MemItens.fieldSetup(QStringLiteral("AliqICMS")).displayFormat = QStringLiteral(",0.00%");
    MemItens.fieldSetup(QStringLiteral("PMPF")).displayFormat = QStringLiteral(",0.0000;-,0.0000; ");
    if (brelva) {
        m_ci.xDescrBrelva = &MemItens.addLookupField(QStringLiteral("XDescrBrelva"), FieldType::String, 250, brelva,
            QStringLiteral("ID"), QStringLiteral("DESCRICAO"), QStringLiteral("IdBrelva"));
        m_temLookup = true;
    }
    m_ci.xDescricao = &MemItens.addCalcField(QStringLiteral("XDescricao"), FieldType::String, 96);
    for (const char *n : {"FreteProp", "ICMSaRecolher", "Soma", "ValorMR", "ValorMRRed"})
        MemItens.addCalcField(QLatin1String(n), FieldType::Currency); // not set by the quick rules
    m_ci.valorFinal = &MemItens.addCalcField(QStringLiteral("ValorFinal"), FieldType::Currency);
    m_ci.valorICMS = &MemItens.addCalcField(QStringLiteral("ValorICMS"), FieldType::Currency);
    m_ci.totalARecolher = &MemItens.addCalcField(QStringLiteral("TotalARecolher"), FieldType::Currency);
    m_ci.valorFEMCalc = &MemItens.addCalcField(QStringLiteral("ValorFEM"), FieldType::Currency);
    for (db::Field *f : {m_ci.valorFinal, m_ci.valorICMS, m_ci.totalARecolher, m_ci.valorFEMCalc})
        f->displayFormat = dois;
    MemItensMedic.fieldSetup(QStringLiteral("DebVlMerc")).displayFormat = dois;
    MemItensMedic.fieldSetup(QStringLiteral("DebAliqICMS")).displayFormat = QStringLiteral(",0.0%");
    MemItensMedic.fieldSetup(QStringLiteral("MVA")).displayFormat = QStringLiteral(",0.00%;-,0.00%; ");
    m_cm.debVlICMS = &MemItensMedic.addCalcField(QStringLiteral("DebVlICMS"), FieldType::Currency);
    m_cm.totalARecolher = &MemItensMedic.addCalcField(QStringLiteral("TotalARecolher"), FieldType::Currency);
    m_cm.debVlICMS->displayFormat = dois;
    m_cm.totalARecolher->displayFormat = dois;

    MemItens.onCalcFields = [this](db::DataSet &ds) { MemItensCalcFields(ds); };
    MemItensMedic.onCalcFields = [this](db::DataSet &ds) { MemItensMedicCalcFields(ds); };
    for (db::MemTable *t : {&MemItens, &MemItensMedic}) {
        t->afterPost = [this](db::DataSet &) { aposPost(); };
        t->afterDelete = [this](db::DataSet &) { aposPost(); };
    }
    MemItens.open();
    MemItensMedic.open();
    ligaCampos();
}

db::TableDef CalculoRapido::definicaoItens()
{
    db::TableDef d = schema::itens();
    d.name = QStringLiteral("MemItens");
    // Index names are unique in the memory database.
    d.indexes = {{QStringLiteral("MemItensNro"), QStringLiteral("NroItem"), 0}};
    return d;
}

db::TableDef CalculoRapido::definicaoMedic()
{
    db::TableDef d = schema::itensMedic();
    d.name = QStringLiteral("MemItensMedic");
    d.fields << campo("ValorFEM", FieldType::Currency);
    d.indexes = {{QStringLiteral("MemItensMedicNro"), QStringLiteral("NroItem"), 0}};
    return d;
}

void CalculoRapido::ligaCampos()
{
    auto f = [](db::DataSet &ds, const char *n) { return &ds.fieldByName(QLatin1String(n)); };
    m_ci.valorNF = f(MemItens, "ValorNF");
    m_ci.valorIPI = f(MemItens, "ValorIPI");
    m_ci.mva = f(MemItens, "MVA");
    m_ci.creditoICMS = f(MemItens, "CreditoICMS");
    m_ci.aliqICMS = f(MemItens, "AliqICMS");
    m_ci.pmpf = f(MemItens, "PMPF");
    m_ci.litros = f(MemItens, "Litros");
    m_ci.precoLitroNF = f(MemItens, "PrecoLitroNF");
    m_ci.valorCreditoICMS = f(MemItens, "ValorCreditoICMS");
    m_ci.fem = f(MemItens, "FEM");
    m_ci.itemBrelva = f(MemItens, "ItemBrelva");
    m_ci.descricaoNF = f(MemItens, "DescricaoNF");
    m_cm.debVlMerc = f(MemItensMedic, "DebVlMerc");
    m_cm.debAliqICMS = f(MemItensMedic, "DebAliqICMS");
    m_cm.mva = f(MemItensMedic, "MVA");
    m_cm.creditoICMS = f(MemItensMedic, "CreditoICMS");
}

CalculoRapido::~CalculoRapido()
{
    for (db::MemTable *t : {&MemItens, &MemItensMedic}) {
        t->afterPost = nullptr;
        t->afterDelete = nullptr;
        t->close();
    }
}

QString CalculoRapido::textoTipo(int tipo)
{
    switch (tipo) {
    case 2:
        return QStringLiteral("[DIFAL Contrib]");
    case 3:
        return QStringLiteral("[DIFAL não Contrib]");
    case 4:
        return QStringLiteral("[FEM]");
    default:
        return QStringLiteral("[ICMS/ST]");
    }
}

QString CalculoRapido::textoOperacao(bool interna)
{
    return interna ? QStringLiteral("[Op. Interna]") : QStringLiteral("[Op. Interestadual]");
}

void CalculoRapido::limpa()
{
    // Closing a memory table empties it.
    for (db::MemTable *t : {&MemItens, &MemItensMedic}) {
        t->close();
        t->open();
    }
    ligaCampos();
    frete = Currency();
}

void CalculoRapido::MemItensCalcFields(db::DataSet &)
{
    {
        QString texto = m_ci.itemBrelva->asString() + QStringLiteral("   ");
        const QString descrBrelva = m_temLookup ? m_ci.xDescrBrelva->asString().toUpper() : QString();
        const QString descrNF = m_ci.descricaoNF->asString();
        texto += descrNF.isEmpty() ? descrBrelva : descrNF + QStringLiteral(". ") + descrBrelva;
        m_ci.xDescricao->setAsString(texto.left(96));
    }
    auto opcional = [](db::Field *f, const std::optional<Currency> &v) {
        if (v)
            f->setAsCurrency(*v);
        else
            f->clear();
    };
    ValoresRapidos r;
    try {
        r = CalculaLinhaRapida(tipoCalculo, linhaAtual(), partilhaDIFAL);
    } catch (const EstouroValor &) {
        // The line shows no amount; the total tells the user why.
        for (db::Field *f : {m_ci.totalARecolher, m_ci.valorFEMCalc, m_ci.valorFinal, m_ci.valorICMS})
            f->clear();
        return;
    }
    m_ci.totalARecolher->setAsCurrency(r.totalARecolher);
    opcional(m_ci.valorFEMCalc, r.valorFEM);
    opcional(m_ci.valorFinal, r.valorFinal);
    opcional(m_ci.valorICMS, r.valorICMS);
}

void CalculoRapido::MemItensMedicCalcFields(db::DataSet &)
{
    ValoresMedicRapidos r;
    try {
        r = CalculaMedicRapida(grupo, linhaMedicAtual());
    } catch (const EstouroValor &) {
        m_cm.totalARecolher->clear();
        m_cm.debVlICMS->clear();
        return;
    }
    m_cm.totalARecolher->setAsCurrency(r.totalARecolher);
    if (r.debVlICMS)
        m_cm.debVlICMS->setAsCurrency(*r.debVlICMS);
    else
        m_cm.debVlICMS->clear();
}

LinhaRapida CalculoRapido::linhaAtual() const
{
    LinhaRapida l;
    l.valorNF = m_ci.valorNF->asCurrency();
    l.valorIPI = m_ci.valorIPI->asCurrency();
    l.mva = m_ci.mva->asCurrency();
    l.creditoICMS = m_ci.creditoICMS->asCurrency();
    l.aliqICMS = m_ci.aliqICMS->asCurrency();
    l.pmpf = m_ci.pmpf->asCurrency();
    l.litros = m_ci.litros->asCurrency();
    l.precoLitroNF = m_ci.precoLitroNF->asCurrency();
    l.valorCreditoICMS = m_ci.valorCreditoICMS->asCurrency();
    l.fem = m_ci.fem->asBoolean();
    return l;
}

LinhaMedicRapida CalculoRapido::linhaMedicAtual() const
{
    return {m_cm.debVlMerc->asCurrency(), m_cm.debAliqICMS->asCurrency(), m_cm.mva->asCurrency(),
        m_cm.creditoICMS->asCurrency()};
}

Currency CalculoRapido::Total()
{
    std::vector<LinhaRapida> itens;
    std::vector<LinhaMedicRapida> medic;
    {
        db::DataSet &ds = MemItens;
        const Percurso p(ds);
        for (ds.first(); !ds.eof(); ds.next())
            itens.push_back(linhaAtual());
    }
    {
        db::DataSet &ds = MemItensMedic;
        const Percurso p(ds);
        for (ds.first(); !ds.eof(); ds.next())
            medic.push_back(linhaMedicAtual());
    }
    return TotalRapido(grupo, tipoCalculo, frete, partilhaDIFAL, itens, medic);
}

void CalculoRapido::calculaTotal()
{
    std::optional<Currency> total;
    QString mensagem;
    try {
        total = Total();
    } catch (const EstouroValor &e) {
        mensagem = e.mensagem();
    }
    if (total)
        emit totalChanged(*total);
    else
        emit totalForaDoLimite(mensagem);
}

void CalculoRapido::aposPost()
{
    if (m_renumerando || m_totaisSuspensos)
        return;
    calculaTotal();
}

void CalculoRapido::excluiLinha(db::Table &tabela)
{
    if (!tabela.isActive() || tabela.isEmpty())
        return;
    db::Field &nroItem = tabela.fieldByName(QStringLiteral("NroItem"));
    const int excluido = nroItem.asInteger();
    {
        // One total at the end, not one per renumbered line.
        m_renumerando = true;
        tabela.disableControls();
        const auto volta = qScopeGuard([&] {
            tabela.enableControls();
            m_renumerando = false;
        });
        tabela.remove();
        // The lines after the deleted one move up by one.
        for (tabela.first(); !tabela.eof(); tabela.next()) {
            const int n = nroItem.asInteger();
            if (n > excluido) {
                tabela.edit();
                nroItem.setAsInteger(n - 1);
                tabela.post();
            }
        }
        if (!tabela.isEmpty())
            tabela.locate(QStringLiteral("NroItem"), {std::min(excluido, tabela.recordCount())});
    }
    aposPost();
}

} // namespace stb
