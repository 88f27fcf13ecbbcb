#include "core/totals.h"

#include "core/datamodule.h"
#include "core/grupos.h"
#include "core/itemcalc.h"
#include "core/messages.h"
#include "core/regras.h"
#include "platform/clock.h"

namespace stb {

using db::DataSet;

namespace totals {

// An empty amount of a line reads as 0 in every statement below, as it does in
// the line computation (SQL would otherwise drop the whole line from the sum).

QStringList textoICMSARecolher()
{
    return {QStringLiteral("SELECT COALESCE(IT.CREDITOICMS, 0) * COALESCE(IT.VALORNF, 0) / 100 AS CREDITOICMS,"),
        QStringLiteral("               ( COALESCE(IT.VALORNF, 0) + COALESCE(IT.VALORIPI, 0) + ( ( COALESCE(IT.VALORNF, "
                       "0) + COALESCE(IT.VALORIPI, 0) ) /"),
        QStringLiteral("2    /* FBaseFrete * ValorFrete - linha 2 */"),
        QStringLiteral(") ) * ( 1 + COALESCE(IT.MVA, 0) / 100 ) * COALESCE(IT.ALIQICMS, 0) / 100 AS DEBITOICMS"),
        QStringLiteral("FROM ITENS IT"), QStringLiteral("WHERE IT.IDNOTA ="),
        QStringLiteral("3   /* IdNota - linha 6 */"), QStringLiteral("AND ( PMPF IS NULL OR PMPF = 0 )")};
}

QStringList textoMedicICMSARecolher()
{
    return {
        QStringLiteral("SELECT  SUM( COALESCE(IT.DEBVLMERC, 0) * COALESCE(IT.DEBALIQICMS, 0) / 100 ) AS DEBITOICMS"),
        QStringLiteral("FROM ITENSMEDIC IT"), QStringLiteral("WHERE IT.IDNOTA ="),
        QStringLiteral("3   /* IdNota - linha 3 */")};
}

QStringList textoBase()
{
    return {QStringLiteral("SELECT SUM(COALESCE(ValorNF, 0) + COALESCE(ValorIPI, 0)) AS FRETE"),
        QStringLiteral("   FROM ITENS"), QStringLiteral(" WHERE IDNOTA = :IdNota"),
        QStringLiteral("AND ( PMPF IS NULL OR PMPF = 0 )")};
}

QString sqlMoeda(Currency valor) { return valor.toPlainString(4); }

QString mensagemErroTotal() { return QStringLiteral("Erro ao calcular o ICMS/ST a recolher..."); }

} // namespace totals

namespace {

bool calculoDIFAL(int tipo) { return tipo == 2 || tipo == 3; }

} // namespace

// The invoice's id goes into the statements as the bound parameter :IdNota
// (the same text for every invoice, prepared once).
Currency TDM::valorUnico(const QString &sql, std::optional<int> idNota)
{
    Qry.close();
    if (Qry.sqlText() != sql)
        Qry.setSql(sql);
    if (idNota)
        Qry.paramByName(QStringLiteral("IdNota")).setAsInteger(*idNota);
    try {
        Qry.open();
        const Currency v = Qry.isEmpty() ? Currency() : Qry.field(0).asCurrency(); // a null sum reads as 0
        Qry.close();
        return v;
    } catch (...) {
        Qry.close();
        throw;
    }
}

qint64 TDM::valorInteiro(const QString &sql, std::optional<int> idNota)
{
    Qry.close();
    if (Qry.sqlText() != sql)
        Qry.setSql(sql);
    if (idNota)
        Qry.paramByName(QStringLiteral("IdNota")).setAsInteger(*idNota);
    try {
        Qry.open();
        const qint64 v = Qry.isEmpty() ? 0 : Qry.field(0).asLargeInt(); // a null maximum reads as 0
        Qry.close();
        return v;
    } catch (...) {
        Qry.close();
        throw;
    }
}

Currency TDM::totalCombustivelPMPF(int idNota)
{
    // Each PMPF line collects what its debit at the reference price exceeds
    // its credit at the invoice price. The lines are read by their own query:
    // the item dataset follows the invoice only after the invoice's fields are
    // computed, and a grid computes invoices that are not the current one.
    Currency total;
    QryItensPMPF.close();
    QryItensPMPF.paramByName(QStringLiteral("IdNota")).setAsInteger(idNota);
    try {
        QryItensPMPF.open();
        db::Field &litros = QryItensPMPF.field(0);
        db::Field &pmpf = QryItensPMPF.field(1);
        db::Field &precoLitroNF = QryItensPMPF.field(2);
        db::Field &aliqICMS = QryItensPMPF.field(3);
        db::Field &creditoICMS = QryItensPMPF.field(4);
        for (QryItensPMPF.first(); !QryItensPMPF.eof(); QryItensPMPF.next()) {
            const ICMSPMPF p = ICMSLinhaPMPF(litros.asCurrency(), pmpf.asCurrency(), precoLitroNF.asCurrency(),
                aliqICMS.asCurrency(), creditoICMS.asCurrency());
            const Currency debito = p.debito.moeda();
            const Currency credito = p.credito.moeda();
            if (debito > credito)
                total += debito - credito;
        }
        QryItensPMPF.close();
    } catch (...) {
        QryItensPMPF.close();
        throw;
    }
    return total;
}

Currency TDM::totalNota(int idNota, const ContextoCalculo &contexto)
{
    // A total that left the currency range is an error, never a capped amount.
    const CurrencyOverflowWatch estouro;
    const Currency t = totalNotaSemConferir(idNota, contexto);
    if (estouro.overflowed())
        throw EstouroValor(QStringLiteral("ValorARecolher"));
    return t;
}

Currency TDM::totalNotaSemConferir(int idNota, const ContextoCalculo &contexto)
{
    Currency t;
    if (!CalculoAberto())
        return t;
    const CalcFieldsCache &c = calcFields();
    const int grupo = c.grupo ? c.grupo->asInteger() : 0;
    const int tipo = c.tipoCalculo ? c.tipoCalculo->asInteger() : 0;
    const NotasFieldsCache &n = notasFields();

    if (isGrupoMedicamento(grupo)) {
        if (!TabItensMedic.isActive()) {
            // Opened and closed once so that its file exists for the queries.
            try {
                TabItensMedic.open();
                TabItensMedic.close();
            } catch (...) {
            }
        }
        if (idNota != 0) {
            if (calculoDIFAL(tipo)) {
                t = valorUnico(QStringLiteral("SELECT SUM(COALESCE(IT.DebVlMerc, 0) * (COALESCE(IT.DebALIQICMS, 0) - "
                                              "COALESCE(IT.CREDITOICMS, 0))) / 100   "
                                              "FROM ITENSMEDIC IT WHERE IT.IDNOTA = :IdNota"),
                    idNota);
            } else {
                QryMedicICMSARecolher.close();
                QryMedicICMSARecolher.sql()[totals::LinhaIdNotaMedicICMSARecolher] = QStringLiteral(":IdNota");
                QryMedicICMSARecolher.paramByName(QStringLiteral("IdNota")).setAsInteger(idNota);
                Currency debito;
                try {
                    QryMedicICMSARecolher.open();
                    debito = QryMedicICMSARecolher.isEmpty() ? Currency() : QryMedicICMSARecolher.field(0).asCurrency();
                    QryMedicICMSARecolher.close();
                } catch (...) {
                    QryMedicICMSARecolher.close();
                    throw;
                }
                const Currency credito = n.creditoICMSMedic->asCurrency() + n.destaqueICMSST->asCurrency();
                t = debito - credito;
            }
        }
    } else {
        if (idNota != 0) {
            if (calculoDIFAL(tipo)) {
                t = valorUnico(QStringLiteral("SELECT SUM((COALESCE(IT.VALORNF, 0) /*+ IT.VALORIPI*/) * "
                                              "(COALESCE(IT.ALIQICMS, 0) - COALESCE(IT.CREDITOICMS, 0))) / 100   "
                                              "FROM ITENS IT WHERE (PMPF IS NULL OR PMPF = 0) AND IT.IDNOTA = :IdNota"),
                    idNota);
                if (tipo == 3)
                    t = (Expr(t) * Expr(contexto.partilhaDIFAL)).moeda();
            } else {
                QryICMSARecolher.close();
                // Line 2 is the freight base times the freight, line 6 the
                // invoice, both bound (a literal text per invoice would make
                // every invoice prepare its own statement).
                QStringList &sql = QryICMSARecolher.sql();
                sql[totals::LinhaFreteICMSARecolher] = QStringLiteral(":FBaseFrete * :ValorFrete");
                sql[totals::LinhaIdNotaICMSARecolher] = QStringLiteral(":IdNota");
                QryICMSARecolher.paramByName(QStringLiteral("FBaseFrete")).setAsCurrency(FreteBaseNota());
                QryICMSARecolher.paramByName(QStringLiteral("ValorFrete")).setAsCurrency(n.frete->asCurrency());
                QryICMSARecolher.paramByName(QStringLiteral("IdNota")).setAsInteger(idNota);
                try {
                    QryICMSARecolher.open();
                    db::Field &credito = QryICMSARecolher.field(0);
                    db::Field &debito = QryICMSARecolher.field(1);
                    // Only the excess of each line counts; a line never offsets another.
                    for (QryICMSARecolher.first(); !QryICMSARecolher.eof(); QryICMSARecolher.next()) {
                        const Currency d = debito.asCurrency();
                        const Currency cr = credito.asCurrency();
                        if (!debito.isNull() && d > cr)
                            t += d - cr;
                    }
                    QryICMSARecolher.close();
                } catch (...) {
                    QryICMSARecolher.close();
                    throw;
                }
            }
        }
        if (grupo == Grupo::Combustiveis) {
            if (calculoDIFAL(tipo))
                t = valorUnico(QStringLiteral("SELECT SUM((COALESCE(IT.VALORNF, 0) /*+ IT.VALORIPI*/) * "
                                              "(COALESCE(IT.ALIQICMS, 0) - COALESCE(IT.CREDITOICMS, 0))) / 100   "
                                              "FROM ITENS IT WHERE (PMPF > 0) AND IT.IDNOTA = :IdNota"),
                    idNota);
            else
                t += totalCombustivelPMPF(idNota);
        }
        t -= n.destaqueICMSST->asCurrency();
    }
    if (t < Currency())
        t = Currency();
    return t;
}

ContextoCalculo TDM::contextoAtual() const
{
    if (FCalculoEmCurso)
        return FCalculoEmCurso->contexto();
    return contextoCalculo(TabCalc, FatoresMR {}, Clock::today());
}

void TDM::TabNotasCalcFields(DataSet &ds)
{
    const DataSet::State estado = ds.baseState();
    if (estado == DataSet::State::Edit || estado == DataSet::State::Insert || estado == DataSet::State::SetKey)
        return;
    const NotasFieldsCache &n = notasFields();
    const int idNota = n.idNota->asInteger();
    // During the refresh that follows a line change, the first total computed
    // serves every further fetch of the same invoice.
    if (FEstadoRefresh == EstadoRefresh::Iniciado) {
        FEstadoRefresh = EstadoRefresh::PrimeiroCalculado;
    } else if (FEstadoRefresh == EstadoRefresh::PrimeiroCalculado && idNota == FIdNotaCalculada) {
        m_valorARecolher->setAsCurrency(UltimoValorARecolher);
        return;
    }
    Currency t;
    try {
        FIdNotaCalculada = idNota;
        t = totalNota(idNota, contextoAtual());
    } catch (const EstouroValor &e) {
        MsgErro(totals::mensagemErroTotal() + QLatin1Char('\r') + e.mensagem());
        t = Currency();
    } catch (const std::exception &) {
        MsgErro(totals::mensagemErroTotal());
        t = Currency();
    }
    m_valorARecolher->setAsCurrency(t);
    UltimoValorARecolher = t;
}

QString TDM::CaptionItens()
{
    const QString nroNF = TabNotas.isActive() && notasFields().nroNF ? notasFields().nroNF->asString() : QString();
    const bool aberto = CalculoAberto();
    if (nroNF.isEmpty() || !aberto)
        return QStringLiteral("ITENS ");
    return QStringLiteral("ITENS DA NF ") + nroNF + QStringLiteral(" ");
}

void TDM::TabNotasAfterScroll(DataSet &) { emit captionItensChanged(CaptionItens()); }

} // namespace stb
