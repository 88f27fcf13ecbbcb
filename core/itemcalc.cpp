#include "core/itemcalc.h"

#include "core/datamodule.h"
#include "core/grupos.h"
#include "core/settings.h"
#include "platform/clock.h"

namespace stb {

using db::DataSet;

ParametrosMR parametrosMR()
{
    Settings &s = Settings::instance();
    return {s.mrNormal(), s.mrEmDobro(), s.mrReducao()};
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

ItemValores CalculaItem(const ContextoCalculo &ctx, const ItemEntrada &e, const std::function<Currency()> &freteBase)
{
    const ConfereEstouro confere;
    ItemValores r;
    if (ctx.combustivel && e.pmpf > Currency()) {
        // Fuel priced by PMPF: no freight share, no FEM.
        r.valorFinal = ArredondaValor((Expr(e.litros) * Expr(e.pmpf)).moeda());
        confere("ValorFinal");
        r.valorICMS = ArredondaValor(percentual(r.valorFinal, e.aliqICMS));
        confere("ValorICMS");
        if (e.itemBrelva == ItemCombustivelCredito) {
            // The litres at the invoice's price are an amount of their own.
            const Currency valorNF = (Expr(e.litros) * Expr(e.precoLitroNF)).moeda();
            const Currency credito = ArredondaValor(percentual(valorNF, e.creditoICMS));
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
            freteProp = ArredondaValor(ParteFrete(e.frete, v, base).moeda());
            r.freteProp = freteProp;
        }
        const Currency soma = freteProp + v;
        r.soma = soma;
        confere("Soma");

        if (ctx.tipoCalculo == 2 || ctx.tipoCalculo == 3) {
            // DIFAL: gross-up of the value net of the credit by the internal rate.
            const Currency x = soma - e.valorCreditoICMS;
            const Currency base = ArredondaValor(BaseDIFAL(x, e.aliqICMS, e.fem)); // a zero divisor gives 0
            confere("ValorFinal");
            const Currency valorFEM = e.fem ? ArredondaValor(ValorFEM(base)) : Currency();
            r.valorFEM = valorFEM;
            r.valorFinal = base;
            r.valorICMS = ArredondaValor((base - x) - valorFEM);
            confere("ValorICMS");
            if (ctx.tipoCalculo == 3)
                r.icmsARecolher = DIFALPartilhado(base, e.aliqICMS, e.creditoICMS, ctx.partilhaDIFAL);
            else
                r.icmsARecolher = positivo(r.valorICMS - e.valorCreditoICMS);
        } else {
            // ICMS/ST: base with the margin, the factor inside the expression.
            r.valorFinal = ArredondaValor((Expr(soma) * fatorMVA(e.mva)).moeda());
            confere("ValorFinal");
            if (e.fem)
                r.valorFEM = ValorFEM(r.valorFinal);
            r.valorICMS = ArredondaValor(percentual(r.valorFinal, e.aliqICMS));
            confere("ValorICMS");
            r.icmsARecolher = positivo(r.valorICMS - e.valorCreditoICMS);
        }
    }
    confere("ICMSaRecolher");
    // The FEM amount never enters the amount to collect.
    r.valorMR = MultaMR(r.icmsARecolher, ctx.mr);
    r.valorMRRed = MultaReduzida(r.valorMR, ctx.mr);
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
