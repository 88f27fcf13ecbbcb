// Fault test: a second process restructuring a table, or re-creating the data
// folder, is killed with SIGKILL at random moments; after each kill the start
// checks run and every committed row must be there.
#include "core/datamodule.h"
#include "core/messages.h"
#include "core/settings.h"
#include "platform/db/dataset.h"
#include "shell/appglobals.h"
#include "shell/datafiles.h"
#include "shell/dbopen.h"
#include "tests/support/testenv.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>
#include <QThread>

using namespace stb;
using stbtest::TestInstall;

namespace {

constexpr int LinhasCalculos = 20000;
constexpr int LinhasFiscais = 300;

QString conteudo(const QString &tabela, const QString &campos)
{
    db::Query q(&DM().BaseDados);
    q.setSql(QStringLiteral("SELECT %1 FROM %2 ORDER BY 1").arg(campos, tabela));
    q.open();
    QStringList linhas;
    for (q.first(); !q.eof(); q.next()) {
        QStringList l;
        for (int i = 0; i < q.fieldCount(); ++i)
            l << q.field(i).asString();
        linhas << l.join(QLatin1Char('|'));
    }
    return linhas.join(QLatin1Char('\n'));
}

} // namespace

class TestMaintFault : public QObject {
    Q_OBJECT

private slots:
    void killedRebuildsLoseNoRow();
};

void TestMaintFault::killedRebuildsLoseNoRow()
{
    RecordingSink sink;
    setMessageSink(&sink);
    setStatusManutencao([](const QString &) {});
    TestInstall inst;
    inst.applyToProcess();
    stbtest::copyPristine(inst.dataDir());
    const auto novoModulo = [&inst] {
        TDM::destroyInstance();
        TDM::setDefaultDataDir(inst.dataDir());
        DM().setPristineDir(inst.appDir() + QStringLiteral("Sys/Dados/"));
    };
    novoModulo();
    {
        db::Database &base = DM().BaseDados;
        base.startTransaction();
        for (int i = 1; i <= LinhasCalculos; ++i)
            base.execSql(QStringLiteral("INSERT INTO CALCULOS (IdCalculo, Grupo, Masp) VALUES (%1, %2, 'M%3')")
                             .arg(i)
                             .arg(i % 30)
                             .arg(i));
        for (int i = 1; i <= LinhasFiscais; ++i)
            base.execSql(QStringLiteral("INSERT INTO FISCAIS (Masp, Fiscal) VALUES ('%1', 'FISCAL %1')").arg(i));
        base.commit(true);
    }
    const QString calculos = conteudo(QStringLiteral("CALCULOS"), QStringLiteral("IdCalculo, Grupo, Masp"));
    const QString fiscais = conteudo(QStringLiteral("FISCAIS"), QStringLiteral("Masp, Fiscal"));
    TDM::destroyInstance();

    const QString child = QString::fromLocal8Bit(qgetenv("STB_TEST_BIN")) + QStringLiteral("/maint_child");
    // How long one piece of work takes undisturbed, so the kills fall inside it.
    QMap<QString, qint64> duracao;
    for (const QString &cmd : {QStringLiteral("restructure"), QStringLiteral("recreate")}) {
        QProcess p;
        p.setEnvironment(inst.environment());
        p.start(child, {cmd, inst.appDir()});
        QVERIFY(p.waitForReadyRead(20000));
        QCOMPARE(p.readLine().trimmed(), QByteArray("go"));
        QElapsedTimer t;
        t.start();
        QVERIFY(p.waitForReadyRead(60000));
        duracao[cmd] = qMax<qint64>(t.elapsed(), 20);
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 0);
    }

    QRandomGenerator aleatorio(20261206);
    int mortos = 0, terminados = 0, efeito = 0;
    // What a piece of work leaves once it is through: the field's size, or one numbered folder more.
    const auto estado = [&inst](const QString &cmd) -> QString {
        if (cmd == QLatin1String("recreate"))
            return QString::number(QDir(inst.appDir()).entryList({QStringLiteral("Dados.0*")}, QDir::Dirs).size());
        TDM::setDefaultDataDir(inst.dataDir());
        const db::TableDef d = DM().BaseDados.tableDef(QStringLiteral("Calculos"));
        const int i = d.fieldIndex(QStringLiteral("Marca"));
        const QString r = i < 0 ? QStringLiteral("-") : QString::number(d.fields[i].size);
        TDM::destroyInstance();
        return r;
    };
    qint64 linhasVerificadas = 0, linhasPerdidas = 0;
    for (int i = 0; i < 50; ++i) {
        const QString cmd = i % 2 ? QStringLiteral("recreate") : QStringLiteral("restructure");
        const QString antes = estado(cmd);
        QProcess p;
        p.setEnvironment(inst.environment());
        p.start(child, {cmd, inst.appDir()});
        QVERIFY(p.waitForReadyRead(20000));
        QCOMPARE(p.readLine().trimmed(), QByteArray("go"));
        QThread::msleep(static_cast<unsigned long>(aleatorio.bounded(duracao[cmd] + duracao[cmd] / 5)));
        if (p.state() == QProcess::Running) {
            p.kill(); // SIGKILL
            ++mortos;
        } else {
            ++terminados;
        }
        p.waitForFinished();

        // The next start: the folder put back, the table files checked, the tables opened.
        QVERIFY2(PreparaPastaDeDados(inst.dataDir(), true), qPrintable(QStringLiteral("passo %1").arg(i)));
        novoModulo();
        sink.answers.clear();
        try {
            CheckDataFiles();
            TDM &dm = DM();
            for (db::Table *t : {&dm.TabFisc, &dm.TabRemet, &dm.TabDest, &dm.TabCalc, &dm.TabNotas, &dm.TabItens})
                t->open();
        } catch (const std::exception &e) {
            QFAIL(qPrintable(QStringLiteral("passo %1 (%2): %3").arg(i).arg(cmd, QString::fromUtf8(e.what()))));
        } catch (const SilentAbort &) {
            QFAIL(qPrintable(QStringLiteral("passo %1 (%2): re-creation asked").arg(i).arg(cmd)));
        }
        QVERIFY2(sink.entries.isEmpty(),
            qPrintable(QStringLiteral("passo %1 (%2): ").arg(i).arg(cmd) + sink.texts().join(QLatin1Char('\n'))));
        TDM::destroyInstance();
        if (estado(cmd) != antes)
            ++efeito;
        novoModulo();
        const QString c = conteudo(QStringLiteral("CALCULOS"), QStringLiteral("IdCalculo, Grupo, Masp"));
        const QString f = conteudo(QStringLiteral("FISCAIS"), QStringLiteral("Masp, Fiscal"));
        linhasVerificadas += LinhasCalculos + LinhasFiscais;
        if (c != calculos || f != fiscais) {
            linhasPerdidas += qAbs(c.count(QLatin1Char('\n')) - calculos.count(QLatin1Char('\n')))
                + qAbs(f.count(QLatin1Char('\n')) - fiscais.count(QLatin1Char('\n')));
            QFAIL(qPrintable(QStringLiteral("passo %1 (%2): rows differ").arg(i).arg(cmd)));
        }
        TDM::destroyInstance();
    }
    qInfo("kills %d (work in place after %d of the 50 runs), finished before the kill %d, rows checked %lld, rows lost "
          "%lld",
        mortos, efeito, terminados, static_cast<long long>(linhasVerificadas), static_cast<long long>(linhasPerdidas));
    QVERIFY(mortos >= 25);
    setStatusManutencao({});
    setMessageSink(nullptr);
}

QTEST_MAIN(TestMaintFault)
#include "tst_maint_fault.moc"
