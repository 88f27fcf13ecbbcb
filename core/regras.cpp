#include "core/regras.h"

namespace stb {

EstouroValor::EstouroValor(const QString &campo)
    : std::runtime_error(
        QStringLiteral("O valor de %1 ultrapassa o limite dos valores monetários").arg(campo).toStdString()),
      m_campo(campo)
{
}

QString EstouroValor::mensagem() const { return QString::fromStdString(what()); }

void ConfereEstouro::operator()(const char *campo) const
{
    if (m_watch.overflowed())
        throw EstouroValor(QLatin1String(campo));
}

Currency ValorFEM(Currency base) { return (Expr(base) * Expr(AliqFEM())).porCento().moeda(); }

Currency PartilhaDIFAL(int ano)
{
    if (ano == 2017)
        return Currency::fromRaw(6000);
    if (ano == 2018)
        return Currency::fromRaw(8000);
    if (ano >= 2019 && ano <= 3000)
        return Currency::fromInt(1);
    return Currency::fromRaw(4000);
}

Currency BaseDIFAL(Currency x, Currency aliqICMS, bool fem)
{
    const Currency aliq = fem ? aliqICMS + AliqFEM() : aliqICMS;
    return (Expr(x) / (Expr::inteiro(1) - Expr(aliq).porCento())).moeda();
}

Currency DIFALPartilhado(Currency base, Currency aliqICMS, Currency creditoICMS, Currency partilha)
{
    const Currency d = aliqICMS - creditoICMS;
    if (d <= Currency())
        return {};
    return (Expr(percentual(base, d)) * Expr(partilha)).moeda();
}

ICMSPMPF ICMSLinhaPMPF(Currency litros, Currency pmpf, Currency precoLitroNF, Currency aliqICMS, Currency creditoICMS)
{
    return {(Expr(litros) * Expr(pmpf) * Expr(aliqICMS)).porCento(),
        (Expr(litros) * Expr(precoLitroNF) * Expr(creditoICMS)).porCento()};
}

Expr ParteFrete(Currency frete, Currency valor, Currency base) { return Expr(frete) * (Expr(valor) / Expr(base)); }

Expr DebitoST(Currency base, Currency mva, Currency aliqICMS)
{
    return (Expr(base) * fatorMVA(mva) * Expr(aliqICMS)).porCento();
}

Currency AliqDoCredito(Currency credito, Currency valor)
{
    return (Expr(credito) * Expr::inteiro(100) / Expr(valor)).moeda();
}

Currency AliqCreditoEfetiva(Currency valor, Currency aliqDeclarada, Currency credito)
{
    if (valor.isZero() || ArredondaValor(percentual(valor, aliqDeclarada)) == ArredondaValor(credito))
        return aliqDeclarada;
    return AliqDoCredito(credito, valor);
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
    f.PercentualMR = Expr::inteiro(f.multaPorCento).porCento().moeda();
    f.FatorReducaoMR
        = f.reducaoPorCento != 0 ? Expr::inteiro(f.reducaoPorCento).porCento().moeda() : Currency::fromInt(1);
    return f;
}

Currency MultaMR(Currency aRecolher, const FatoresMR &f) { return (Expr(aRecolher) * Expr(f.PercentualMR)).moeda(); }

Currency MultaReduzida(Currency multa, const FatoresMR &f) { return (Expr(multa) * Expr(f.FatorReducaoMR)).moeda(); }

Currency ParteDestaque(Currency a, Currency destaque, Currency valorARecolher)
{
    if (destaque.isZero())
        return {};
    return (Expr(a) * Expr(destaque) / (Expr(destaque) + Expr(valorARecolher))).moeda();
}

Currency AposDestaque(Currency somaLinhas, Currency destaque) { return positivo(somaLinhas - destaque); }

RateioDestaque RateiaDestaque(Currency a, Currency destaque, Currency valorARecolher, const FatoresMR &f)
{
    RateioDestaque r;
    r.parte = ArredondaValor(ParteDestaque(a, destaque, valorARecolher));
    r.aRecolher = a - r.parte;
    r.valorMR = ArredondaValor((Expr(r.aRecolher) * Expr::inteiro(f.multaPorCento)).porCento().moeda());
    r.valorMRRed = ArredondaValor((Expr(r.aRecolher) * Expr(f.PercentualMR) * Expr(f.FatorReducaoMR)).moeda());
    r.totalARecolher = r.aRecolher + r.valorMRRed;
    return r;
}

Currency ValorItemMedic(Currency quantidade, Currency vlUnit, Currency mva)
{
    const Expr valor = Expr(quantidade) * Expr(vlUnit);
    return (mva.isZero() ? valor : valor * fatorMVA(mva)).moeda();
}

namespace {

// To collect, fine and total of a medicine line, each rounded to cents.
void multaMedic(ValoresLinhaMedic &v, const FatoresMR &f)
{
    v.aRecolher = ArredondaValor(v.icms - v.credito);
    v.valorMR = ArredondaValor(MultaMR(v.aRecolher, f));
    v.valorMRRed = ArredondaValor(MultaReduzida(v.valorMR, f));
    v.totalARecolher = ArredondaValor(v.aRecolher + v.valorMRRed);
}

} // namespace

ValoresLinhaMedic LinhaMedicAnalitica(
    Currency debVlMerc, Currency debAliqICMS, Currency creditoNota, Currency somaNota, const FatoresMR &f)
{
    ValoresLinhaMedic v;
    v.icms = percentual(debVlMerc, debAliqICMS);
    v.credito = ArredondaValor((Expr(creditoNota) * Expr(debVlMerc) / Expr(somaNota)).moeda());
    multaMedic(v, f);
    return v;
}

ValoresLinhaMedic LinhaMedicSintetica(Currency icms, Currency creditoNota, const FatoresMR &f)
{
    ValoresLinhaMedic v;
    v.icms = icms;
    v.credito = creditoNota;
    multaMedic(v, f);
    return v;
}

} // namespace stb
