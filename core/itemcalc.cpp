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

FatoresMR fatoresMR(int modo, int mrNormal, int mrEmDobro, int mrReducao)
{
    FatoresMR f;
    switch (modo) {
    case 2:
        f.percentualMR = mrNormal;
        break;
    case 3:
        f.percentualMR = mrEmDobro;
        break;
    case 4:
        f.percentualMR = mrNormal;
        f.percentualReducao = mrReducao;
        break;
    case 5:
        f.percentualMR = mrEmDobro;
        f.percentualReducao = mrReducao;
        break;
    default: // 0 none chosen, 1 "Sem MR"
        break;
    }
    f.PercentualMR = Currency::fromInt(f.percentualMR) / Extended(100);
    f.FatorReducaoMR = f.percentualReducao != 0 ? Currency::fromInt(f.percentualReducao) / Extended(100) : Um;
    return f;
}

FatoresMR fatoresMR(int modo)
{
    Settings &s = Settings::instance();
    return fatoresMR(modo, s.mrNormal(), s.mrEmDobro(), s.mrReducao());
}

ItemValores CalculaItem(const ItemEntrada &e, const std::function<Currency()> &freteBase)
{
    ItemValores r;
    if (e.combustivel && e.pmpf > Currency()) {
        // Fuel priced by PMPF: no freight share, no FEM.
        r.valorFinal = ArredondaValor(e.litros * e.pmpf);
        r.valorICMS = ArredondaValor(percentual(r.valorFinal, e.aliqICMS));
        if (e.itemBrelva == ItemCombustivelCredito) {
            const Currency credito = ArredondaValor(percentual(e.litros * e.precoLitroNF, e.creditoICMS));
            r.valorCreditoICMS = credito;
            r.icmsARecolher = positivo(r.valorICMS - credito);
        } else {
            r.icmsARecolher = r.valorICMS;
        }
    } else {
        // The freight base always holds the IPI; the line's value leaves it
        // out in a difference-of-rates calculation, so the shares may add up
        // to less than the freight.
        const Currency v = e.diferencialAliq ? e.valorNF : e.valorNF + e.valorIPI;
        const Currency base = freteBase ? freteBase() : Currency();
        Currency freteProp;
        if (!base.isZero()) {
            const Extended razao = static_cast<Extended>(v.raw()) / static_cast<Extended>(base.raw());
            freteProp = ArredondaValor(e.frete * razao);
            r.freteProp = freteProp;
        }
        const Currency soma = freteProp + v;
        r.soma = soma;

        if (e.tipoCalculo == 2 || e.tipoCalculo == 3) {
            // DIFAL: gross-up of the value net of the credit by the internal rate.
            const Currency x = soma - e.valorCreditoICMS;
            const Currency aliqDivisor = e.fem ? e.aliqICMS + AliqFEM : e.aliqICMS;
            const Currency divisor = Um - aliqDivisor / Extended(100);
            const Currency base = ArredondaValor(x / divisor); // a zero divisor gives 0
            const Currency valorFEM = e.fem ? ArredondaValor(base * AliqFEM / Extended(100)) : Currency();
            r.valorFEM = valorFEM;
            r.valorFinal = base;
            r.valorICMS = ArredondaValor((base - x) - valorFEM);
            if (e.tipoCalculo == 3) {
                const Currency d = e.aliqICMS - e.creditoICMS;
                if (d > Currency())
                    r.icmsARecolher = percentual(base, d) * PartilhaDIFAL();
            } else {
                r.icmsARecolher = positivo(r.valorICMS - e.valorCreditoICMS);
            }
        } else {
            // ICMS/ST: base with the margin; the factor stays in extended precision.
            const Extended fator = 1 + e.mva.toExtended() / 100;
            r.valorFinal = ArredondaValor(soma * fator);
            if (e.fem)
                r.valorFEM = r.valorFinal * AliqFEM / Extended(100);
            r.valorICMS = ArredondaValor(percentual(r.valorFinal, e.aliqICMS));
            r.icmsARecolher = positivo(r.valorICMS - e.valorCreditoICMS);
        }
    }
    // The FEM amount never enters the amount to collect.
    r.valorMR = r.icmsARecolher * e.percentualMR;
    r.valorMRRed = r.valorMR * e.fatorReducaoMR;
    r.totalARecolher = r.icmsARecolher + r.valorMRRed;
    return r;
}

// ===== CalculoEmCurso ==========================================================

CalculoEmCurso::CalculoEmCurso(TDM &dm, int modoMR) : CalculoEmCurso(dm, fatoresMR(modoMR)) {}

CalculoEmCurso::CalculoEmCurso(TDM &dm, const FatoresMR &fatores)
    : m_dm(dm), m_leitura(dm.BaseDados), m_fatores(fatores), m_anterior(dm.FCalculoEmCurso), m_calculandoAnterior(dm.FCalculando),
      m_combustivelAnterior(dm.FCombustivel)
{
    bool combustivel = false;
    if (dm.TabCalc.isActive() && !dm.TabCalc.isEmpty())
        combustivel = dm.TabCalc.fieldByName(QStringLiteral("Grupo")).asInteger() == Grupo::Combustiveis;
    dm.FCombustivel = combustivel;
    // Lines may have changed since the base was cached (another workstation).
    dm.FIdNotaFreteBase = -1;
    dm.FCalculoEmCurso = this;
    dm.FCalculando = true;
}

CalculoEmCurso::~CalculoEmCurso()
{
    m_dm.FCalculoEmCurso = m_anterior;
    m_dm.FCalculando = m_anterior ? m_calculandoAnterior : false;
    m_dm.FCombustivel = m_anterior ? m_combustivelAnterior : false;
}

// ===== TDM: item computation ===================================================

Currency TDM::PercentualMR() const { return FCalculoEmCurso ? FCalculoEmCurso->fatores().PercentualMR : Currency(); }

Currency TDM::FatorReducaoMR() const
{
    return FCalculoEmCurso ? FCalculoEmCurso->fatores().FatorReducaoMR : Currency();
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
    if (!FCalculando)
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
    const CalcFieldsCache &c = calcFields();
    if (c.tipoCalculo) {
        e.diferencialAliq = c.diferencialAliq->asBoolean();
        e.tipoCalculo = c.tipoCalculo->asInteger();
    }
    e.combustivel = FCombustivel;
    e.percentualMR = PercentualMR();
    e.fatorReducaoMR = FatorReducaoMR();

    const ItemValores r = CalculaItem(e, [this] { return FreteBaseNota(); });
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
