#include "core/itemcalc.h"

#include "core/datamodule.h"
#include "core/grupos.h"
#include "core/settings.h"
#include "platform/clock.h"

namespace stb {

using db::DataSet;

namespace {

const Currency Cem = Currency::fromInt(100);
const Currency Um = Currency::fromInt(1);
const Currency AliqFEM = Currency::fromInt(2);

// value × rate / 100: the product to currency, then the quotient to currency.
Currency percentual(Currency valor, Currency aliq) { return valor * aliq / Extended(100); }

Currency positivo(Currency c) { return c > Currency() ? c : Currency(); }

} // namespace

Currency PartilhaDIFAL(int ano)
{
    if (ano == 2017)
        return Currency::fromRaw(6000);
    if (ano == 2018)
        return Currency::fromRaw(8000);
    if (ano >= 2019 && ano <= 3000)
        return Um;
    return Currency::fromRaw(4000);
}

Currency PartilhaDIFAL() { return PartilhaDIFAL(Clock::today().year()); }

ParametrosMR parametrosMR()
{
    Settings &s = Settings::instance();
    return {s.mrNormal(), s.mrEmDobro(), s.mrReducao()};
}

FatoresMR fatoresMR(int modo, const ParametrosMR &p)
{
    FatoresMR f;
    switch (modo) {
    case 2:
        f.multaPorCento = p.mrNormal;
        break;
    case 3:
        f.multaPorCento = p.mrEmDobro;
        break;
    case 4:
        f.multaPorCento = p.mrNormal;
        f.reducaoPorCento = p.mrReducao;
        break;
    case 5:
        f.multaPorCento = p.mrEmDobro;
        f.reducaoPorCento = p.mrReducao;
        break;
    default: // 0 none chosen, 1 "Sem MR"
        break;
    }
    f.PercentualMR = Currency::fromInt(f.multaPorCento) / Extended(100);
    f.FatorReducaoMR = f.reducaoPorCento != 0 ? Currency::fromInt(f.reducaoPorCento) / Extended(100) : Um;
    return f;
}

ContextoCalculo contextoCalculo(const DataSet &calculos, const FatoresMR &mr, const QDate &hoje)
{
    ContextoCalculo c;
    c.mr = mr;
    c.partilhaDIFAL = PartilhaDIFAL(hoje.year());
    if (calculos.isActive() && !calculos.isEmpty()) {
        if (const db::Field *f = calculos.findField(QStringLiteral("TipoCalculo")))
            c.tipoCalculo = f->asInteger();
        if (const db::Field *f = calculos.findField(QStringLiteral("DiferencialAliq")))
            c.diferencialAliq = f->asBoolean();
        if (const db::Field *f = calculos.findField(QStringLiteral("Grupo")))
            c.combustivel = f->asInteger() == Grupo::Combustiveis;
    }
    return c;
}

EstouroValor::EstouroValor(const QString &campo)
    : std::runtime_error(
        QStringLiteral("O valor de %1 ultrapassa o limite dos valores monetários").arg(campo).toStdString()),
      m_campo(campo)
{
}

QString EstouroValor::mensagem() const { return QString::fromStdString(what()); }

namespace {

// Stops the computation at the first amount that left the currency range:
// a capped amount is never shown.
class Conferencia {
public:
    void operator()(const char *campo) const
    {
        if (m_watch.overflowed())
            throw EstouroValor(QLatin1String(campo));
    }

private:
    CurrencyOverflowWatch m_watch;
};

} // namespace

ItemValores CalculaItem(const ContextoCalculo &ctx, const ItemEntrada &e, const std::function<Currency()> &freteBase)
{
    const Conferencia confere;
    ItemValores r;
    if (ctx.combustivel && e.pmpf > Currency()) {
        // Fuel priced by PMPF: no freight share, no FEM.
        r.valorFinal = ArredondaValor(e.litros * e.pmpf);
        confere("ValorFinal");
        r.valorICMS = ArredondaValor(percentual(r.valorFinal, e.aliqICMS));
        confere("ValorICMS");
        if (e.itemBrelva == ItemCombustivelCredito) {
            const Currency credito = ArredondaValor(percentual(e.litros * e.precoLitroNF, e.creditoICMS));
            confere("ValorCreditoICMS");
            r.valorCreditoICMS = credito;
            r.icmsARecolher = positivo(r.valorICMS - credito);
        } else {
            r.icmsARecolher = r.valorICMS;
        }
    } else {
        // The freight base always holds the IPI; the line's value leaves it
        // out in a difference-of-rates calculation, so the shares may add up
        // to less than the freight.
        const Currency v = ctx.diferencialAliq ? e.valorNF : e.valorNF + e.valorIPI;
        const Currency base = freteBase ? freteBase() : Currency();
        Currency freteProp;
        if (!base.isZero()) {
            const Extended razao = static_cast<Extended>(v.raw()) / static_cast<Extended>(base.raw());
            freteProp = ArredondaValor(e.frete * razao);
            r.freteProp = freteProp;
        }
        const Currency soma = freteProp + v;
        r.soma = soma;
        confere("Soma");

        if (ctx.tipoCalculo == 2 || ctx.tipoCalculo == 3) {
            // DIFAL: gross-up of the value net of the credit by the internal rate.
            const Currency x = soma - e.valorCreditoICMS;
            const Currency aliqDivisor = e.fem ? e.aliqICMS + AliqFEM : e.aliqICMS;
            const Currency divisor = Um - aliqDivisor / Extended(100);
            const Currency base = ArredondaValor(x / divisor); // a zero divisor gives 0
            confere("ValorFinal");
            const Currency valorFEM = e.fem ? ArredondaValor(base * AliqFEM / Extended(100)) : Currency();
            r.valorFEM = valorFEM;
            r.valorFinal = base;
            r.valorICMS = ArredondaValor((base - x) - valorFEM);
            confere("ValorICMS");
            if (ctx.tipoCalculo == 3) {
                const Currency d = e.aliqICMS - e.creditoICMS;
                if (d > Currency())
                    r.icmsARecolher = percentual(base, d) * ctx.partilhaDIFAL;
            } else {
                r.icmsARecolher = positivo(r.valorICMS - e.valorCreditoICMS);
            }
        } else {
            // ICMS/ST: base with the margin; the factor stays in extended precision.
            const Extended fator = 1 + e.mva.toExtended() / 100;
            r.valorFinal = ArredondaValor(soma * fator);
            confere("ValorFinal");
            if (e.fem)
                r.valorFEM = r.valorFinal * AliqFEM / Extended(100);
            r.valorICMS = ArredondaValor(percentual(r.valorFinal, e.aliqICMS));
            confere("ValorICMS");
            r.icmsARecolher = positivo(r.valorICMS - e.valorCreditoICMS);
        }
    }
    confere("ICMSaRecolher");
    // The FEM amount never enters the amount to collect.
    r.valorMR = r.icmsARecolher * ctx.mr.PercentualMR;
    r.valorMRRed = r.valorMR * ctx.mr.FatorReducaoMR;
    r.totalARecolher = r.icmsARecolher + r.valorMRRed;
    confere("TotalARecolher");
    return r;
}

// ===== CalculoEmCurso ==========================================================

CalculoEmCurso::CalculoEmCurso(TDM &dm, int modoMR)
    : CalculoEmCurso(dm, contextoCalculo(dm.TabCalc, fatoresMR(modoMR, parametrosMR()), Clock::today()))
{
}

CalculoEmCurso::CalculoEmCurso(TDM &dm, const ContextoCalculo &contexto)
    : m_dm(dm),
      m_leitura(dm.BaseDados),
      m_contexto(contexto),
      m_anterior(dm.FCalculoEmCurso),
      m_calculandoAnterior(dm.FCalculando)
{
    // Lines may have changed since the base was cached (another workstation).
    dm.FIdNotaFreteBase = -1;
    dm.FCalculoEmCurso = this;
    dm.FCalculando = true;
}

CalculoEmCurso::~CalculoEmCurso()
{
    m_dm.FCalculoEmCurso = m_anterior;
    m_dm.FCalculando = m_anterior ? m_calculandoAnterior : false;
}

// ===== TDM: item computation ===================================================

Currency TDM::PercentualMR() const
{
    return FCalculoEmCurso ? FCalculoEmCurso->contexto().mr.PercentualMR : Currency();
}

Currency TDM::FatorReducaoMR() const
{
    return FCalculoEmCurso ? FCalculoEmCurso->contexto().mr.FatorReducaoMR : Currency();
}

Currency TDM::FreteBaseNota()
{
    const int idNota = notasFields().idNota ? notasFields().idNota->asInteger() : 0;
    if (idNota != FIdNotaFreteBase) {
        FIdNotaFreteBase = idNota;
        try {
            QryBase.close();
            QryBase.paramByName(QStringLiteral("IdNota")).setAsInteger(idNota);
            QryBase.open();
            FFreteBase = QryBase.isEmpty() ? Currency() : QryBase.field(0).asCurrency();
            QryBase.close();
        } catch (...) {
            FIdNotaFreteBase = -1; // never keep a base that was not read
            QryBase.close();
            throw;
        }
    }
    return FFreteBase;
}

void TDM::TabItensCalcFields(DataSet &)
{
    const ItensFieldsCache &f = itensFields();
    // Display text: item code, then the invoice's description and the annex's.
    {
        const QString descrBrelva = db::upperText(m_xDescrBrelva->asString());
        const QString descrNF = f.descricaoNF->asString();
        QString texto = f.itemBrelva->asString() + QStringLiteral("   ");
        texto += descrNF.isEmpty() ? descrBrelva : descrNF + QStringLiteral(". ") + descrBrelva;
        m_xDescricao->setAsString(texto);
    }
    if (!FCalculando || !FCalculoEmCurso)
        return;

    ItemEntrada e;
    e.valorNF = f.valorNF->asCurrency();
    e.valorIPI = f.valorIPI->asCurrency();
    e.aliqICMS = f.aliqICMS->asCurrency();
    e.mva = f.mva->asCurrency();
    e.creditoICMS = f.creditoICMS->asCurrency();
    e.valorCreditoICMS = f.valorCreditoICMS->asCurrency();
    e.fem = f.fem->asBoolean();
    e.pmpf = f.pmpf->asCurrency();
    e.litros = f.litros->asCurrency();
    e.precoLitroNF = f.precoLitroNF->asCurrency();
    e.itemBrelva = f.itemBrelva->asString();
    const NotasFieldsCache &n = notasFields();
    e.frete = n.frete ? n.frete->asCurrency() : Currency();

    const ItemValores r = CalculaItem(FCalculoEmCurso->contexto(), e, [this] { return FreteBaseNota(); });
    if (r.freteProp)
        m_freteProp->setAsCurrency(*r.freteProp);
    if (r.soma)
        m_soma->setAsCurrency(*r.soma);
    if (r.valorFEM)
        m_valorFEM->setAsCurrency(*r.valorFEM);
    if (r.valorCreditoICMS)
        f.valorCreditoICMS->setAsCurrency(*r.valorCreditoICMS); // shown for this row, never posted
    m_valorFinal->setAsCurrency(r.valorFinal);
    m_valorICMS->setAsCurrency(r.valorICMS);
    m_icmsARecolher->setAsCurrency(r.icmsARecolher);
    m_valorMR->setAsCurrency(r.valorMR);
    m_valorMRRed->setAsCurrency(r.valorMRRed);
    m_totalARecolher->setAsCurrency(r.totalARecolher);
}

void TDM::TabItensMedicCalcFields(DataSet &)
{
    const MedicFieldsCache &f = medicFields();
    m_debVlICMS->setAsCurrency(percentual(f.debVlMerc->asCurrency(), f.debAliqICMS->asCurrency()));
}

} // namespace stb
