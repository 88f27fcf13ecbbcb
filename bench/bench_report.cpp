// The calculation report of 500 invoices × 20 lines, from the stored
// calculation to the finished PDF, timed beside the compute pass of the same
// data in the same run (every line's amounts and every invoice's amount to
// collect, as stbrelva-cli compute reads them). Also shown: the parts of the
// report (preparation, page layout, painting the PDF) and the peak memory.
// Targets: the PDF under 2 s and under 4× the compute pass; peak memory
// under 200 MB.
#include "bench/harness.h"
#include "core/datamodule.h"
#include "core/itemcalc.h"
#include "outputs/formrep.h"

#include <QBuffer>
#include <QFile>
#include <QGuiApplication>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <cstdio>

using namespace stb;

namespace {

constexpr int kNotas = 500;
constexpr int kItens = 20;
constexpr int kModoMR = 4;

Currency amount(std::int64_t raw) { return Currency::fromRaw(raw); }

// Stored as the dialogs would, line by line through TDM (the data of bench_calc).
void store(TDM &dm)
{
    dm.BaseDados.startTransaction();
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
            f("ItemBrelva").setAsString(QStringLiteral("01.%1.00").arg(i + 1, 3, 10, QLatin1Char('0')));
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
    dm.BaseDados.commit(true);
}

// The compute pass: every invoice's amount to collect and every line's amounts.
Currency compute(TDM &dm)
{
    const CalculoEmCurso calculo(dm, kModoMR);
    const db::Field &valorARecolher = dm.TabNotas.fieldByName(QStringLiteral("ValorARecolher"));
    const char *const nomes[] = {"FreteProp", "Soma", "ValorFinal", "ValorICMS", "ValorFEM", "ValorCreditoICMS",
        "ICMSaRecolher", "ValorMR", "ValorMRRed", "TotalARecolher"};
    std::vector<const db::Field *> campos;
    for (const char *n : nomes)
        campos.push_back(&dm.TabItens.fieldByName(QLatin1String(n)));
    Currency soma;
    for (dm.TabNotas.first(); !dm.TabNotas.eof(); dm.TabNotas.next()) {
        soma += valorARecolher.asCurrency();
        for (dm.TabItens.first(); !dm.TabItens.eof(); dm.TabItens.next())
            for (const db::Field *c : campos)
                soma += c->asCurrency();
    }
    return soma;
}

long picoMemoriaKb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &l : f.readAll().split('\n'))
        if (l.startsWith("VmHWM:"))
            return l.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTemporaryDir dir;
    const int reps = 3;
    TDM dm(dir.path());
    dm.CriaTabelas();
    for (db::Table *t :
        {&dm.TabFisc, &dm.TabRemet, &dm.TabDest, &dm.TabCalc, &dm.TabNotas, &dm.TabItens, &dm.TabItensMedic})
        t->open();
    store(dm);
    std::printf("Report of %d invoices x %d lines; best of %d\n", kNotas, kItens, reps);

    const double computeMs = bench::bestMs(reps, {}, [&] { (void)compute(dm); });

    ConfigRelatorio cfg;
    int paginas = 0;
    qint64 bytes = 0;
    double preparaMs = 1e300, layoutMs = 1e300, pinturaMs = 1e300;
    const double pdfMs = bench::bestMs(reps, {}, [&] {
        QElapsedTimer t;
        t.start();
        TFormRep rep(dm, cfg);
        rep.Prepara(kModoMR, QStringLiteral("Conferência de carga"));
        const double a = static_cast<double>(t.nsecsElapsed()) / 1e6;
        paginas = rep.paginas();
        const double b = static_cast<double>(t.nsecsElapsed()) / 1e6;
        QBuffer saida;
        saida.open(QIODevice::WriteOnly);
        rep.gravaPdf(saida);
        QFile arquivo(dir.filePath(QStringLiteral("relatorio.pdf")));
        arquivo.open(QIODevice::WriteOnly);
        arquivo.write(saida.data());
        arquivo.close();
        bytes = saida.size();
        const double c = static_cast<double>(t.nsecsElapsed()) / 1e6;
        preparaMs = std::min(preparaMs, a);
        layoutMs = std::min(layoutMs, b - a);
        pinturaMs = std::min(pinturaMs, c - b);
    });
    std::printf(
        "  %d pages, %.1f MB of PDF; parts (best each): preparation %.0f ms, layout %.0f ms, painting %.0f ms\n",
        paginas, static_cast<double>(bytes) / 1048576.0, preparaMs, layoutMs, pinturaMs);
    bench::report("report to PDF vs the compute pass", pdfMs, computeMs, 4.0);

    // The same pages painted through QPainter on Qt's PDF writer (the path of
    // the screen preview and the printers), and on ours with the page streams
    // left uncompressed, for comparison.
    TFormRep qt(dm, cfg);
    qt.Prepara(kModoMR, QStringLiteral("Conferência de carga"));
    qt.paginas();
    qint64 bytesCru = 0;
    const double cruMs = bench::bestMs(reps, {}, [&] {
        QBuffer saida;
        saida.open(QIODevice::WriteOnly);
        qt.bandas().imprimePdf(saida, QString(), QString(), 0);
        bytesCru = saida.size();
    });
    std::printf("  painting with uncompressed page streams: %.0f ms, %.1f MB\n", cruMs,
        static_cast<double>(bytesCru) / 1048576.0);
    const double qtMs = bench::bestMs(1, {}, [&] {
        QBuffer saida;
        saida.open(QIODevice::WriteOnly);
        QPdfWriter w(&saida);
        w.setResolution(1440);
        qt.imprime(w, false);
    });
    std::printf("  painting the same pages through QPdfWriter: %.0f ms (%.1fx our writer's %.0f ms)\n", qtMs,
        qtMs / pinturaMs, pinturaMs);
    const long pico = picoMemoriaKb();
    std::printf("PDF in %.0f ms (target < 2000 ms) %s; peak memory %.0f MB (target < 200 MB) %s\n", pdfMs,
        pdfMs < 2000 ? "ok" : "OVER", static_cast<double>(pico) / 1024.0, pico < 200 * 1024 ? "ok" : "OVER");
    return 0;
}
