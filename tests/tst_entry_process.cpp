// Two workstations on one data folder: while one of them has the invoice
// dialog open, the other stores a calculation and an invoice at once, and
// the invoice the first one stores afterwards takes the next free id.
#include "entry/dbcontrols.h"
#include "tests/entry_support.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QSaveFile>

using namespace stb;
using namespace entrytest;

class TestEntryProcess : public QObject {
    Q_OBJECT

private slots:
    void init() { s.inicia(); }
    void cleanup() { s.encerra(); }
    void writesWhileAnotherHasTheInvoiceDialogOpen_data();
    void writesWhileAnotherHasTheInvoiceDialogOpen();

private:
    Sessao s;
};

void TestEntryProcess::writesWhileAnotherHasTheInvoiceDialogOpen_data()
{
    QTest::addColumn<bool>("grava");
    QTest::newRow("the open invoice is stored afterwards") << true;
    QTest::newRow("the open invoice is cancelled afterwards") << false;
}

void TestEntryProcess::writesWhileAnotherHasTheInvoiceDialogOpen()
{
    QFETCH(bool, grava);
    const int calculoOutro = s.novoCalculo();
    QVERIFY(calculoOutro > 0);
    QTemporaryDir pasta;
    const QString controle = QDir(pasta.path()).filePath(QStringLiteral("controle"));
    QProcess outro;
    outro.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    outro.start(QStringLiteral(STB_ENTRY_CHILD), {s.inst->dataDir(), QString::number(calculoOutro), controle});
    QByteArray saida;
    while (!saida.contains("ABERTO") && !saida.contains("ERRO") && outro.waitForReadyRead(30000))
        saida += outro.readAllStandardOutput();
    QVERIFY2(saida.contains("ABERTO"), saida.constData());

    // This workstation stores a calculation and an invoice meanwhile.
    QElapsedTimer tempo;
    tempo.start();
    QString erro;
    int calculo = -1;
    bool notaGravada = false;
    try {
        calculo = s.novoCalculo();
        s.abreCalculo();
        stbtest::whenModal([](QWidget *w) {
            QTest::keyClicks(static_cast<TFormDlgNovaNF &>(*w).dxDBNroNF, QStringLiteral("9001"));
            clickOk(w);
        });
        notaGravada = IncluiNota(s.janela.get());
    } catch (const db::EngineError &e) {
        erro = e.message();
    }
    const qint64 ms = tempo.elapsed();
    qInfo("calculation and invoice stored in %lld ms while the other dialog was open", ms);

    // The other workstation finishes its invoice.
    QSaveFile ordem(controle);
    QVERIFY(ordem.open(QIODevice::WriteOnly));
    ordem.write(grava ? "OK 7001" : "CANCELA");
    QVERIFY(ordem.commit());
    QVERIFY(outro.waitForFinished(30000));
    saida += outro.readAllStandardOutput();

    QVERIFY2(erro.isEmpty(), qPrintable(erro));
    QVERIFY(calculo > 0);
    QVERIFY(notaGravada);
    QVERIFY2(ms < 1000, qPrintable(QStringLiteral("%1 ms").arg(ms)));
    QCOMPARE(outro.exitStatus(), QProcess::NormalExit);
    QVERIFY2(outro.exitCode() == 0, saida.constData());
    QCOMPARE(
        count(QStringLiteral("SELECT COUNT(*) FROM NOTAS WHERE NRONF = '9001' AND IDCALCULO = %1").arg(calculo)), 1);
    if (grava) {
        const QByteArray gravada = saida.mid(saida.indexOf("GRAVADA ") + 8).trimmed();
        QVERIFY2(saida.contains("GRAVADA "), saida.constData());
        QCOMPARE(
            count(QStringLiteral("SELECT COUNT(*) FROM NOTAS WHERE NRONF = '7001' AND IDCALCULO = %1 AND IDNOTA = %2")
                      .arg(calculoOutro)
                      .arg(QString::fromLatin1(gravada))),
            1);
        QCOMPARE(count(QStringLiteral("SELECT COUNT(DISTINCT IDNOTA) FROM NOTAS")), 2);
    } else {
        QVERIFY2(saida.contains("CANCELADA"), saida.constData());
        QCOMPARE(count(QStringLiteral("SELECT COUNT(*) FROM NOTAS")), 1);
    }
}

QTEST_MAIN(TestEntryProcess)
#include "tst_entry_process.moc"
