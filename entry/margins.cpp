#include "entry/margins.h"

#include "core/datedvalues.h"
#include "core/regras.h"

namespace stb {

Currency round2(Extended value) { return ArredondaValor(Currency::fromExtended(value)); }

Currency CalculaMVAAjustada(Currency mva, Currency interestadual, Currency interna)
{
    if (mva.isZero() || interna.isZero())
        return {};
    const Extended divisor = 1 - interna.toExtended() / 100;
    if (divisor == 0)
        return {};
    return round2(((1 + mva.toExtended() / 100) * (1 - interestadual.toExtended() / 100) / divisor - 1) * 100);
}

Currency CalculaMVAOriginal(Currency ajustada, Currency interestadual, Currency interna)
{
    if (ajustada.isZero() || interestadual.isZero() || interna.isZero())
        return {};
    const Extended divisor = 1 - interestadual.toExtended() / 100;
    if (divisor == 0)
        return {};
    return round2(((1 + ajustada.toExtended() / 100) * (1 - interna.toExtended() / 100) / divisor - 1) * 100);
}

ResultadoMVAAjustada ResultadoDialogoMVAAjustada(bool ok, Currency ajustada, Currency interestadual)
{
    ResultadoMVAAjustada r;
    r.aceita = ok && ajustada > Currency();
    r.mva = ajustada;
    r.credito4 = interestadual == Currency::fromInt(4);
    return r;
}

QString PrimeiraParte(const QString &list)
{
    const qsizetype bar = list.indexOf(QLatin1Char('|'));
    return bar < 0 ? list : list.left(bar);
}

QString RestoLista(const QString &list)
{
    const qsizetype bar = list.indexOf(QLatin1Char('|'));
    return bar < 0 ? list : list.mid(bar + 1);
}

OpcoesAliquota InterpretaMensagemAliquota(const QString &message)
{
    const QString marca = QStringLiteral("@");
    const QString marcaDupla = QStringLiteral("@@");
    OpcoesAliquota o;

    // Rates: after the double marker.
    const qsizetype dupla = message.indexOf(marcaDupla);
    const QString texto = dupla < 0 ? message : message.left(dupla);
    QString taxas = dupla < 0 ? QString() : message.mid(dupla + marcaDupla.size());
    o.rates[0] = LeValor(PrimeiraParte(taxas));
    taxas = RestoLista(taxas);
    o.rates[1] = LeValor(PrimeiraParte(taxas));
    taxas = RestoLista(taxas);
    if (!taxas.isEmpty()) {
        o.rates[2] = LeValor(PrimeiraParte(taxas));
        taxas = RestoLista(taxas);
        if (!taxas.isEmpty())
            o.rates[3] = LeValor(taxas);
    }

    // Captions: after the first marker of the text.
    const qsizetype simples = texto.indexOf(marca);
    QString captions = simples < 0 ? QString() : texto.mid(simples + 1);
    o.captions[0] = PrimeiraParte(captions);
    captions = RestoLista(captions);
    o.captions[1] = PrimeiraParte(captions);
    captions = RestoLista(captions);
    if (o.rates[2] > Currency()) {
        o.captions[2] = PrimeiraParte(captions);
        captions = RestoLista(captions);
        o.visible[2] = true;
    }
    if (o.rates[3] > Currency()) {
        o.captions[3] = captions;
        o.visible[3] = true;
    }

    o.memo = simples < 0 ? texto : texto.left(simples);
    o.memo.replace(QLatin1String("^p"), QLatin1String("\n"));
    return o;
}

Currency AliquotaEscolhida(const OpcoesAliquota &opcoes, bool ok, int opcao)
{
    if (ok && opcao >= 2 && opcao <= 4 && opcoes.visible[opcao - 1])
        return opcoes.rates[opcao - 1];
    return opcoes.rates[0];
}

Currency AliqCreditoPorValor(Currency valorCredito, Currency valorProduto, Currency aliqConfigurada)
{
    if (valorProduto.isZero())
        return aliqConfigurada;
    return AliqDoCredito(valorCredito, valorProduto);
}

} // namespace stb
