// A calculation of 500 invoices × 20 lines stored through the data module,
// then (a) one pass computing every line's amounts as a report run does and
// (b) every invoice's amount to collect, each beside a baseline that reads the
// same table files with the SQLite C API and sums the same amounts.
//
// A report run fetches each invoice (which computes its amount to collect)
// and then its lines, so baseline (a) does both too. The invoice statement
// carries the freight and the invoice id in its text, so the baselines run
// that text per invoice as well; (b) is also shown beside a baseline with one
// statement prepared once and bound per invoice, for information.
// "bench_calc --profile a|b" repeats one of our passes, for a profiler.
#include "bench/harness.h"
#include "core/datamodule.h"
#include "core/itemcalc.h"
#include "core/totals.h"
#include "platform/db/transaction.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <sqlite3.h>

using namespace stb;

namespace {

constexpr int kNotas = 500;
constexpr int kItens = 20;
constexpr int kModoMR = 4; // MR SIMPLES com Redução

Currency amount(std::int64_t raw) { return Currency::fromRaw(raw); }

// Stores the calculation as the dialogs would, line by line through TDM.
void store(TDM &dm)
{
    db::Transaction tx(dm.BaseDados);
    dm.TabCalc.append();
    dm.TabCalc.fieldByName(QStringLiteral("TipoCalculo")).setAsInteger(1);
    dm.TabCalc.fieldByName(QStringLiteral("DiferencialAliq")).setAsBoolean(false);
    dm.TabCalc.post();
    const db::DataSet::Event aposPost = dm.TabItens.afterPost;
    dm.TabItens.afterPost = nullptr;
    auto f = [&dm](const char *n) -> db::Field & { return dm.TabItens.fieldByName(QString::fromLatin1(n)); };
    for (int n = 0; n < kNotas; ++n) {
        dm.TabNotas.append();
        dm.TabNotas.fieldByName(QStringLiteral("NroNF")).setAsString(QString::number(100000 + n));
        dm.TabNotas.fieldByName(QStringLiteral("Frete")).setAsCurrency(amount(1234567 + 7919LL * n));
        dm.TabNotas.fieldByName(QStringLiteral("DestaqueICMSST")).setAsCurrency(amount(n % 7 == 0 ? 150000 : 0));
        dm.TabNotas.fieldByName(QStringLiteral("IdNota")).setAsInteger(dm.ProximoIdNota());
        dm.TabNotas.post();
        for (int i = 0; i < kItens; ++i) {
            const std::int64_t valor = 1000000 + 104729LL * ((n * kItens + i) % 997);
            dm.TabItens.append();
            f("NroItem").setAsInteger(dm.ProximoNroItem());
            f("ItemBrelva").setAsString(QStringLiteral("01.001.00"));
            f("ValorNF").setAsCurrency(amount(valor));
            f("ValorIPI").setAsCurrency(amount(i % 3 == 0 ? valor / 10 : 0));
            f("AliqICMS").setAsCurrency(Currency::fromInt(18));
            f("MVA").setAsCurrency(amount(i % 2 ? 400000 : 715000));
            f("CreditoICMS").setAsCurrency(Currency::fromInt(12));
            f("ValorCreditoICMS").setAsCurrency(amount(valor * 12 / 100));
            f("FEM").setAsBoolean(i % 5 == 0);
            f("PMPF").setAsCurrency(Currency());
            f("Litros").setAsCurrency(Currency());
            f("PrecoLitroNF").setAsCurrency(Currency());
            dm.TabItens.post();
        }
    }
    dm.TabItens.afterPost = aposPost;
    tx.commit();
}

// (a) ours: a report run over every invoice and line.
Currency passOurs(TDM &dm, Currency &totalNotas)
{
    const CalculoEmCurso calculo(
        dm, contextoCalculo(dm.TabCalc, fatoresMR(kModoMR, 50, 100, 20), QDate::currentDate()));
    const db::Field &total = dm.TabItens.fieldByName(QStringLiteral("TotalARecolher"));
    const db::Field &fem = dm.TabItens.fieldByName(QStringLiteral("ValorFEM"));
    const db::Field &valorARecolher = dm.TabNotas.fieldByName(QStringLiteral("ValorARecolher"));
    Currency soma;
    totalNotas = Currency();
    for (dm.TabNotas.first(); !dm.TabNotas.eof(); dm.TabNotas.next()) {
        totalNotas += valorARecolher.asCurrency();
        for (dm.TabItens.first(); !dm.TabItens.eof(); dm.TabItens.next())
            soma += total.asCurrency() + fem.asCurrency();
    }
    return soma;
}

// (b) ours: every invoice's amount to collect (item details not followed).
Currency totalsOurs(TDM &dm)
{
    const db::Field &valor = dm.TabNotas.fieldByName(QStringLiteral("ValorARecolher"));
    Currency soma;
    // A pass over the invoices reads in one batch, as the report run does.
    const db::ReadBatch leitura(dm.BaseDados);
    dm.TabNotas.disableControls();
    for (dm.TabNotas.first(); !dm.TabNotas.eof(); dm.TabNotas.next())
        soma += valor.asCurrency();
    dm.TabNotas.enableControls();
    return soma;
}

// The same files through the SQLite C API.
class Raw {
public:
    explicit Raw(const QString &dir)
    {
        sqlite3_open_v2(QFile::encodeName(QDir(dir).filePath(QStringLiteral("Notas.dat"))).constData(), &m_db,
            SQLITE_OPEN_READONLY, nullptr);
        const QByteArray attach
            = "ATTACH DATABASE '" + QFile::encodeName(QDir(dir).filePath(QStringLiteral("Itens.dat"))) + "' AS it";
        sqlite3_exec(m_db, attach.constData(), nullptr, nullptr, nullptr);
    }
    ~Raw() { sqlite3_close(m_db); }
    sqlite3_stmt *prepare(const char *sql) const
    {
        sqlite3_stmt *st = nullptr;
        if (sqlite3_prepare_v2(m_db, sql, -1, &st, nullptr) != SQLITE_OK)
            std::printf("  baseline SQL error: %s\n", sqlite3_errmsg(m_db));
        return st;
    }
    sqlite3 *db() const { return m_db; }

private:
    sqlite3 *m_db = nullptr;
};

Currency col(sqlite3_stmt *st, int c) { return Currency::fromDouble(sqlite3_column_double(st, c)); }

const char *kNotasSql
    = "SELECT IdNota, Frete, DestaqueICMSST FROM Notas WHERE IdCalculo = 1 ORDER BY IdCalculo, NroNF, rowid";
const char *kBaseSql = "SELECT SUM(ValorNF + ValorIPI) FROM it.Itens WHERE IdNota = ?1 AND (PMPF IS NULL OR PMPF = 0)";
const char *kBoundSql
    = "SELECT IT.CREDITOICMS * IT.VALORNF / 100, ( IT.VALORNF + IT.VALORIPI + ( ( IT.VALORNF + IT.VALORIPI ) "
      "/ ?1 * ?2 ) ) * ( 1 + IT.MVA / 100 ) * IT.ALIQICMS / 100 FROM it.Itens IT WHERE IT.IDNOTA = ?3 "
      "AND ( PMPF IS NULL OR PMPF = 0 )";

// An invoice's amount to collect with the C API: the freight base, then the
// invoice statement (its text per invoice, or `bound` with parameters).
Currency totalRaw(const Raw &raw, sqlite3_stmt *base, sqlite3_stmt *bound, std::int64_t id, Currency frete,
    Currency destaque, std::optional<Currency> &freteBase)
{
    if (!freteBase) {
        sqlite3_bind_int64(base, 1, id);
        sqlite3_step(base);
        freteBase = col(base, 0);
        sqlite3_reset(base);
    }
    sqlite3_stmt *st = bound;
    if (!bound) {
        QStringList sql = totals::textoICMSARecolher();
        sql[totals::LinhaFreteICMSARecolher]
            = totals::sqlMoeda(*freteBase) + QStringLiteral(" * ") + totals::sqlMoeda(frete);
        sql[totals::LinhaIdNotaICMSARecolher] = QString::number(id);
        QString text = sql.join(QLatin1Char('\n'));
        text.replace(QStringLiteral("FROM ITENS IT"), QStringLiteral("FROM it.Itens IT"));
        st = raw.prepare(text.toUtf8().constData());
    } else {
        sqlite3_bind_double(bound, 1, freteBase->toDouble());
        sqlite3_bind_double(bound, 2, frete.toDouble());
        sqlite3_bind_int64(bound, 3, id);
    }
    Currency t;
    while (sqlite3_step(st) == SQLITE_ROW) {
        const Currency credito = col(st, 0);
        const Currency debito = col(st, 1);
        if (sqlite3_column_type(st, 1) != SQLITE_NULL && debito > credito)
            t += debito - credito;
    }
    if (bound)
        sqlite3_reset(st);
    else
        sqlite3_finalize(st);
    t -= destaque;
    return t < Currency() ? Currency() : t;
}

Currency passRaw(const Raw &raw, Currency &totalNotas)
{
    sqlite3_stmt *notas = raw.prepare(kNotasSql);
    sqlite3_stmt *base = raw.prepare(kBaseSql);
    sqlite3_stmt *itens
        = raw.prepare("SELECT ValorNF, ValorIPI, AliqICMS, MVA, CreditoICMS, ValorCreditoICMS, FEM, PMPF, "
                      "Litros, PrecoLitroNF, ItemBrelva FROM it.Itens WHERE IdNota = ?1 "
                      "ORDER BY IdNota, NroItem, rowid");
    ContextoCalculo ctx;
    ctx.tipoCalculo = 1;
    ctx.mr = fatoresMR(kModoMR, 50, 100, 20);
    ctx.partilhaDIFAL = PartilhaDIFAL(QDate::currentDate().year());
    Currency soma;
    totalNotas = Currency();
    while (sqlite3_step(notas) == SQLITE_ROW) {
        const std::int64_t id = sqlite3_column_int64(notas, 0);
        const Currency frete = col(notas, 1);
        std::optional<Currency> freteBase;
        totalNotas += totalRaw(raw, base, nullptr, id, frete, col(notas, 2), freteBase);
        sqlite3_bind_int64(itens, 1, id);
        while (sqlite3_step(itens) == SQLITE_ROW) {
            ItemEntrada e;
            e.valorNF = col(itens, 0);
            e.valorIPI = col(itens, 1);
            e.aliqICMS = col(itens, 2);
            e.mva = col(itens, 3);
            e.creditoICMS = col(itens, 4);
            e.valorCreditoICMS = col(itens, 5);
            e.fem = sqlite3_column_int(itens, 6) != 0;
            e.pmpf = col(itens, 7);
            e.litros = col(itens, 8);
            e.precoLitroNF = col(itens, 9);
            e.itemBrelva = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(itens, 10)));
            e.frete = frete;
            const ItemValores v = CalculaItem(ctx, e, [&] {
                if (!freteBase) {
                    sqlite3_bind_int64(base, 1, id);
                    sqlite3_step(base);
                    freteBase = col(base, 0);
                    sqlite3_reset(base);
                }
                return *freteBase;
            });
            soma += v.totalARecolher + v.valorFEM.value_or(Currency());
        }
        sqlite3_reset(itens);
    }
    sqlite3_finalize(notas);
    sqlite3_finalize(base);
    sqlite3_finalize(itens);
    return soma;
}

Currency totalsRaw(const Raw &raw, bool preparedOnce)
{
    sqlite3_stmt *notas = raw.prepare(kNotasSql);
    sqlite3_stmt *base = raw.prepare(kBaseSql);
    sqlite3_stmt *bound = preparedOnce ? raw.prepare(kBoundSql) : nullptr;
    Currency soma;
    while (sqlite3_step(notas) == SQLITE_ROW) {
        std::optional<Currency> freteBase;
        soma += totalRaw(raw, base, bound, sqlite3_column_int64(notas, 0), col(notas, 1), col(notas, 2), freteBase);
    }
    sqlite3_finalize(notas);
    sqlite3_finalize(base);
    sqlite3_finalize(bound);
    return soma;
}

void check(const char *what, Currency ours, Currency base)
{
    if (ours != base)
        std::printf("  %s: totals differ: %s vs %s\n", what, qPrintable(ours.toPlainString()),
            qPrintable(base.toPlainString()));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const int reps = 5;
    TDM dm(dir.path());
    dm.CriaTabelas();
    for (db::Table *t : {&dm.TabCalc, &dm.TabNotas, &dm.TabItens})
        t->open();
    QElapsedTimer t;
    t.start();
    store(dm);
    std::printf("Calculation of %d invoices x %d lines stored through TDM in %.0f ms; best of %d\n", kNotas, kItens,
        static_cast<double>(t.nsecsElapsed()) / 1e6, reps);

    Currency b0;
    if (argc > 2 && QByteArray(argv[1]) == "--profile") {
        for (int i = 0; i < 40; ++i)
            argv[2][0] == 'a' ? (void)passOurs(dm, b0) : (void)totalsOurs(dm);
        return 0;
    }
    const Raw raw(dir.path());
    Currency a1, a2, n1, n2;
    const double aOurs = bench::bestMs(reps, {}, [&] { a1 = passOurs(dm, n1); });
    const double aRaw = bench::bestMs(reps, {}, [&] { a2 = passRaw(raw, n2); });
    bench::report("(a) report pass over every line", aOurs, aRaw, 2.0);
    check("(a) lines", a1, a2);
    check("(a) invoices", n1, n2);

    Currency b1, b2, b3;
    const double bOurs = bench::bestMs(reps, {}, [&] { b1 = totalsOurs(dm); });
    const double bRaw = bench::bestMs(reps, {}, [&] { b2 = totalsRaw(raw, false); });
    const double bBound = bench::bestMs(reps, {}, [&] { b3 = totalsRaw(raw, true); });
    bench::report("(b) ValorARecolher of every invoice", bOurs, bRaw, 2.0);
    std::printf("    (b) beside one statement prepared once      baseline %10.2f ms  ratio %5.2f  (information)\n",
        bBound, bOurs / bBound);
    check("(b)", b1, b2);
    check("(b) prepared once", b1, b3);
    std::printf("targets: (a) %.0f ms and (b) %.0f ms against 500 ms each\n", aOurs, bOurs);
    return 0;
}
