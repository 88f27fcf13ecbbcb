// A second workstation for tst_entry_process: the data module over the data
// folder given, with the invoice dialog of the calculation given open.
//
//     entry_child <data folder> <IdCalculo> <control file>
//
// It prints "ABERTO" once the dialog shows and keeps it open until the
// control file appears: "OK <number>" types the invoice number and clicks
// OK, anything else cancels. Then it prints "GRAVADA <IdNota>",
// "CANCELADA" or "ERRO <message>" and ends.
#include "entry/dbcontrols.h"
#include "entry/dlgnovanf.h"
#include "tests/entry_support.h"

#include <QFile>
#include <QTimer>
#include <cstdio>

using namespace stb;

namespace {

void diz(const QString &line)
{
    std::fputs(qPrintable(line + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

// Once the dialog shows: waits for the control file and does what it says.
void segueControle(QWidget *w, const QString &controle)
{
    diz(QStringLiteral("ABERTO"));
    auto *timer = new QTimer(w);
    QObject::connect(timer, &QTimer::timeout, w, [w, timer, controle] {
        QFile f(controle);
        if (!f.open(QIODevice::ReadOnly))
            return;
        timer->stop();
        const QString ordem = QString::fromUtf8(f.readAll()).trimmed();
        auto &nota = static_cast<TFormDlgNovaNF &>(*w);
        if (ordem.startsWith(QLatin1String("OK "))) {
            QTest::keyClicks(nota.dxDBNroNF, ordem.mid(3));
            entrytest::clickOk(w);
        }
        if (nota.isVisible())
            nota.reject();
    });
    timer->start(20);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc != 4) {
        diz(QStringLiteral("ERRO uso: entry_child <pasta de dados> <IdCalculo> <arquivo de controle>"));
        return 2;
    }
    const QString controle = QString::fromLocal8Bit(argv[3]);
    entrytest::Sessao s;
    s.inicia(QString::fromLocal8Bit(argv[1]));
    int rc = 0;
    try {
        if (!DM().TabCalc.locate(QStringLiteral("IdCalculo"), {QString::fromLocal8Bit(argv[2]).toInt()}))
            throw db::EngineError(db::Err::InvalidOperation, QStringLiteral("cálculo não encontrado"));
        s.abreCalculo();
        stbtest::whenModal([controle](QWidget *w) { segueControle(w, controle); }, 30000);
        if (IncluiNota(s.janela.get()))
            diz(QStringLiteral("GRAVADA %1").arg(DM().TabNotas.fieldByName(QStringLiteral("IdNota")).asInteger()));
        else
            diz(QStringLiteral("CANCELADA"));
    } catch (const db::EngineError &e) {
        diz(QStringLiteral("ERRO ") + e.message());
        rc = 3;
    }
    s.encerra();
    return rc;
}
