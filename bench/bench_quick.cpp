// stbrelva-cli quick on 10,000 lines beside stbrelva-cli compute on the same
// lines (one invoice), in one run: the quick path stores nothing, so it
// should take a fraction of the time. Both run as child processes, the
// whole command timed (best of 3).
#include "bench/harness.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace {

constexpr int kLinhas = 10000;

// The lines as both subcommands take them (the keys of Itens).
QByteArray linhas()
{
    QByteArray out;
    for (int i = 0; i < kLinhas; ++i) {
        out += i ? ",\n" : "\n";
        out += QStringLiteral(R"({"ItemBrelva": "01.001.00", "ValorNF": "%1.%2", "ValorIPI": "%3", "MVA": "%4", )"
                              R"("AliqICMS": "18", "CreditoICMS": "12", "ValorCreditoICMS": "%5", "FEM": %6})")
                   .arg(100 + i % 900)
                   .arg(i % 100, 2, 10, QLatin1Char('0'))
                   .arg(i % 7)
                   .arg(30 + i % 20)
                   .arg(12 + i % 100)
                   .arg(i % 5 == 0 ? QStringLiteral("true") : QStringLiteral("false"))
                   .toUtf8();
    }
    return out;
}

void grava(const QString &path, const QByteArray &data)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size())
        qFatal("cannot write %s", qPrintable(path));
}

double roda(const QString &cli, const QStringList &args)
{
    return bench::bestMs(3, {}, [&] {
        QProcess p;
        p.setStandardOutputFile(QProcess::nullDevice());
        p.start(cli, args);
        if (!p.waitForFinished(600000) || p.exitCode() != 0)
            qFatal("%s failed: %s", qPrintable(args.join(QLatin1Char(' '))), p.readAllStandardError().constData());
    });
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString cli = QStringLiteral(STB_CLI_PATH);
    QTemporaryDir dir;
    const QByteArray itens = linhas();
    const QString quick = dir.filePath(QStringLiteral("quick.json"));
    const QString compute = dir.filePath(QStringLiteral("compute.json"));
    grava(quick, R"({"grupo": -1, "tipo": 1, "opInterna": true, "frete": "250.00", "itens": [)" + itens + "]}\n");
    grava(compute,
        R"({"calculo": {"TipoCalculo": 1, "DiferencialAliq": false, "OpInterna": true, "PrintMR": 0},)"
        R"( "notas": [{"NroNF": "1", "Frete": "250.00", "DestaqueICMSST": "0", "CreditoICMSMedic": "0", "itens": [)"
            + itens + "]}]}\n");
    const QStringList hoje {QStringLiteral("--today"), QStringLiteral("2026-11-20")};
    const double msQuick = roda(cli, QStringList {QStringLiteral("quick")} + hoje + QStringList {quick});
    const double msCompute = roda(cli, QStringList {QStringLiteral("compute")} + hoje + QStringList {compute});
    std::printf("stbrelva-cli quick vs compute, %d lines (best of 3, whole command)\n", kLinhas);
    // Target: quick at most a fifth of compute (at least 5x faster).
    bench::report("quick (baseline: compute)", msQuick, msCompute, 0.2);
    std::printf("speed-up: %.1fx\n", msCompute / msQuick);
    return 0;
}
