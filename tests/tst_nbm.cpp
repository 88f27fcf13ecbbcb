// The NBM product search maintenance against real table files: the delivered
// archive applied once per version, the rebuild and the re-creation started
// one workstation at a time (semaphore 306), and the STProcessNBM tool run as
// a real process with its command lines and progress steps.
#include "core/datamodule.h"
#include "core/messages.h"
#include "core/settings.h"
#include "platform/db/dataset.h"
#include "platform/filecopy.h"
#include "platform/zlbarchive.h"
#include "shell/appglobals.h"
#include "shell/dbopen.h"
#include "shell/nbm.h"
#include "tests/support/testenv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QTest>

using namespace stb;
using stbtest::TestInstall;

namespace {

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// Rows of the product table as "NBM|Descricao", in key order.
QStringList produtos()
{
    db::Query q(&DM().BaseDados);
    q.setSql(QStringLiteral("SELECT NBM, DESCRICAO FROM PRODUTOSNBM ORDER BY ID"));
    q.open();
    QStringList out;
    for (q.first(); !q.eof(); q.next())
        out << q.field(0).asString() + QLatin1Char('|') + q.field(1).asString();
    return out;
}

// The steps of the "Reindexando ProdutosNBM: <step>... (n%)" lines in order of
// appearance, and the percents of the repair steps.
void passos(const QByteArray &saida, QStringList &ordem, QList<int> &percentuais)
{
    for (const QByteArray &l : saida.split('\n')) {
        const QString linha = QString::fromUtf8(l);
        if (!linha.startsWith(QLatin1String("Reindexando ProdutosNBM: ")))
            continue;
        const QString passo = linha.mid(25).section(QLatin1String("... ("), 0, 0);
        if (ordem.isEmpty() || ordem.last() != passo)
            ordem << passo;
        // The percent is the engine's own within the three repair steps.
        if (passo.startsWith(QLatin1String("Passo ")))
            percentuais << linha.section(QLatin1Char('('), -1).chopped(2).toInt();
    }
}

} // namespace

class TestNbm : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void ferramenta_data();
    void ferramenta();
    void reindexacaoOcupada();
    void atualizaProdutos_data();
    void atualizaProdutos();

private:
    // The tool in the installation's Sys folder, behind a script that records
    // its command line and its exit status.
    void instalaFerramenta();
    bool esperaFerramenta(int &status);
    QStringList argumentosGravados() const;
    void abreBase();
    std::unique_ptr<TestInstall> m_inst;
    RecordingSink m_sink;
    QStringList m_status;
};

void TestNbm::init()
{
    m_sink = RecordingSink();
    setMessageSink(&m_sink);
    m_status.clear();
    setStatusManutencao([this](const QString &t) { m_status << t; });
    // The tool's closing message goes to its standard error, not to a window.
    qputenv("STB_MENSAGENS", "stderr");
    m_inst = std::make_unique<TestInstall>();
    m_inst->applyToProcess();
}

void TestNbm::cleanup()
{
    TDM::destroyInstance();
    m_inst.reset();
    setStatusManutencao({});
    setMessageSink(nullptr);
}

void TestNbm::abreBase()
{
    stbtest::copyPristine(m_inst->dataDir());
    TDM::setDefaultDataDir(m_inst->dataDir());
    DM().setPristineDir(m_inst->appDir() + QStringLiteral("Sys/Dados/"));
    // Rows with duplicates, as years of archive updates leave them.
    TDM &dm = DM();
    dm.BaseDados.emptyTable(QStringLiteral("ProdutosNBM"));
    for (const char *r : {"8421.23.00|BOMBAS", "3004.90.99|MEDICAMENTOS", "8421.23.00|BOMBAS", "2202.10.00|AGUAS"})
        dm.BaseDados.execSql(QStringLiteral("INSERT INTO PRODUTOSNBM (NBM, DESCRICAO) VALUES (:n, :d)"),
            {{QStringLiteral("n"), QString::fromLatin1(r).section(QLatin1Char('|'), 0, 0)},
                {QStringLiteral("d"), QString::fromLatin1(r).section(QLatin1Char('|'), 1)}});
}

void TestNbm::instalaFerramenta()
{
    const QString sys = m_inst->appDir() + QStringLiteral("Sys/");
    const QString script = sys + QStringLiteral("STProcessNBM");
    QVERIFY(writeFile(script,
        QStringLiteral("#!/bin/sh\n"
                       "printf '%s\\n' \"$@\" > \"%1args.txt\"\n"
                       "\"%2\" \"$@\" > \"%1saida.txt\" 2>&1\n"
                       "echo $? > \"%1status.txt\"\n")
            .arg(sys, QStringLiteral(STB_PROCESSNBM))
            .toUtf8()));
    QVERIFY(QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
}

bool TestNbm::esperaFerramenta(int &status)
{
    const QString arquivo = m_inst->appDir() + QStringLiteral("Sys/status.txt");
    // The test's own connection lets the tables go, as the program does after its start.
    DM().BaseDados.close();
    if (!QTest::qWaitFor([&] { return QFileInfo::exists(arquivo) && !readFile(arquivo).isEmpty(); }, 60000))
        return false;
    status = readFile(arquivo).trimmed().toInt();
    return true;
}

QStringList TestNbm::argumentosGravados() const
{
    const QByteArray b = readFile(m_inst->appDir() + QStringLiteral("Sys/args.txt"));
    QStringList out;
    for (const QByteArray &l : b.split('\n'))
        if (!l.isEmpty())
            out << QString::fromUtf8(l);
    return out;
}

void TestNbm::ferramenta_data()
{
    QTest::addColumn<QStringList>("args"); // %A: the installation folder
    QTest::addColumn<int>("status");
    QTest::addColumn<QStringList>("linhas"); // products after the run
    QTest::addColumn<QString>("aviso"); // on standard error
    const QStringList distintos {"8421.23.00|BOMBAS", "3004.90.99|MEDICAMENTOS", "2202.10.00|AGUAS"};
    QTest::newRow("reindex") << QStringList {"/Ok", "/Reind", "/AppDir=\"%A\""} << 0 << distintos << QString();
    QTest::newRow("reindex, told at the end") << QStringList {"/Ok", "/Reind", "/AppDir=\"%A\"", "/Mens"} << 0
                                              << distintos << QStringLiteral("Reindexação dos Produtos NBM encerrada!");
    QTest::newRow("create") << QStringList {"/Ok", "/Mens", "/Create", "/AppDir=\"%A\""} << 0 << QStringList {}
                            << QStringLiteral("A Consulta de Produtos por NBM está disponível.");
    QTest::newRow("no mode") << QStringList {"/Ok", "/AppDir=\"%A\""} << 2 << QStringList {"*"} << QString();
    QTest::newRow("both modes") << QStringList {"/Ok", "/Reind", "/Create", "/AppDir=\"%A\""} << 2 << QStringList {"*"}
                                << QString();
    QTest::newRow("without /Ok") << QStringList {"/Reind", "/AppDir=\"%A\""} << 2 << QStringList {"*"} << QString();
    QTest::newRow("without the folder") << QStringList {"/Ok", "/Reind"} << 2 << QStringList {"*"} << QString();
}

void TestNbm::ferramenta()
{
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QStringList, linhas);
    QFETCH(QString, aviso);
    abreBase();
    const QStringList antes = produtos();
    const QString inicio = m_inst->appDir() + QStringLiteral("NBM-Start.txt");
    QVERIFY(writeFile(inicio, "1"));
    DM().BaseDados.close();
    for (QString &a : args)
        a.replace(QLatin1String("%A"), QDir::toNativeSeparators(m_inst->appDir()));
    QProcess p;
    p.setEnvironment(m_inst->environment());
    p.start(QStringLiteral(STB_PROCESSNBM), args);
    QVERIFY(p.waitForFinished(60000));
    const QByteArray saida = p.readAllStandardOutput();
    const QByteArray erros = p.readAllStandardError();
    QCOMPARE(p.exitCode(), status);
    if (status != 0) {
        // A refused command line touches nothing.
        QCOMPARE(produtos(), antes);
        QVERIFY(QFileInfo::exists(inicio));
        return;
    }
    QStringList ordem;
    QList<int> percentuais;
    passos(saida, ordem, percentuais);
    // The engine's three repair steps, in order, after the tool's own steps;
    // their percent never goes back.
    const QStringList tres {QStringLiteral("Passo 1/3"), QStringLiteral("Passo 2/3"), QStringLiteral("Passo 3/3")};
    QVERIFY2(ordem.size() >= 3 && ordem.mid(ordem.size() - 3) == tres, saida.constData());
    for (int i = 1; i < percentuais.size(); ++i)
        QVERIFY2(percentuais[i] >= percentuais[i - 1], saida.constData());
    QCOMPARE(percentuais.last(), 100);
    if (!linhas.isEmpty())
        QCOMPARE(produtos(), linhas);
    else
        QVERIFY(!produtos().isEmpty()); // the delivered rows and the annex codes
    QVERIFY(!QFileInfo::exists(fileNoCase(m_inst->dataDir(), QStringLiteral("XProdutosNBM.dat"))));
    QCOMPARE(QFileInfo::exists(inicio), args.contains(QStringLiteral("/Reind")));
    if (aviso.isEmpty())
        QVERIFY2(erros.trimmed().isEmpty(), erros.constData());
    else
        QVERIFY2(QString::fromUtf8(erros).contains(aviso), erros.constData());
}

void TestNbm::reindexacaoOcupada()
{
    abreBase();
    instalaFerramenta();
    DM().BaseDados.close();
    QProcess outro;
    outro.start(QString::fromLocal8Bit(qgetenv("STB_TEST_BIN")) + QStringLiteral("/engine_child"),
        {QStringLiteral("hold-semaphore"), m_inst->dataDir(), QStringLiteral("STBrelva"), QStringLiteral("306")});
    QVERIFY(outro.waitForReadyRead(20000));
    const auto solta = qScopeGuard([&outro] {
        outro.kill();
        outro.waitForFinished();
    });
    // The rebuild and the re-creation both find the other workstation at it.
    QVERIFY(!StartNBMRebuild(true));
    QVERIFY(writeFile(m_inst->appDir() + QStringLiteral("NBM-Start.txt"), "1"));
    m_sink.answers = {true};
    StartNBMCreate();
    const QString ocupado = QStringLiteral("Os produtos NBM estão sendo reindexados neste momento...");
    QCOMPARE(m_sink.texts(),
        (QStringList {ocupado,
            QStringLiteral(
                "O arquivo de pesquisa de Produtos/NBM precisa ser recriado.\r"
                "Quer criar o arquivo de pesquisa de Produtos/NBM (esse processo vai demorar vários minutos)?"),
            QStringLiteral("A consulta de Produtos por NBM estará disponível dentro de alguns minutos."), ocupado}));
    QVERIFY(m_status.contains(QStringLiteral("Iniciando o processo de reindexação...")));
    QVERIFY(m_status.contains(QStringLiteral("Iniciando a criação da Consulta de Produtos por NBM...")));
    QVERIFY(argumentosGravados().isEmpty());
    // Once the other lets go, the rebuild starts the tool, which holds the semaphore itself.
    outro.kill();
    outro.waitForFinished();
    m_sink.clear();
    QVERIFY(StartNBMRebuild(true));
    int status = -1;
    QVERIFY(esperaFerramenta(status));
    QCOMPARE(status, 0);
    QCOMPARE(argumentosGravados(),
        (QStringList {QStringLiteral("/Ok"), QStringLiteral("/Reind"),
            QStringLiteral("/AppDir=\"%1\"").arg(QDir::toNativeSeparators(m_inst->appDir())),
            QStringLiteral("/Mens")}));
    QVERIFY(m_sink.entries.isEmpty());
    QCOMPARE(produtos(), (QStringList {"8421.23.00|BOMBAS", "3004.90.99|MEDICAMENTOS", "2202.10.00|AGUAS"}));
}

void TestNbm::atualizaProdutos_data()
{
    QTest::addColumn<bool>("jaAplicado");
    QTest::addColumn<bool>("resposta");
    QTest::addColumn<bool>("aplica");
    QTest::newRow("first time, accepted") << false << true << true;
    QTest::newRow("first time, declined") << false << false << false;
    QTest::newRow("version already applied") << true << true << false;
}

void TestNbm::atualizaProdutos()
{
    QFETCH(bool, jaAplicado);
    QFETCH(bool, resposta);
    QFETCH(bool, aplica);
    abreBase();
    instalaFerramenta();
    const QStringList antes = produtos();
    const QString arquivo = m_inst->appDir() + QStringLiteral("NBM.2.0.0.zlb");
    {
        ZLBWriter w;
        QVERIFY(w.create(arquivo));
        const QByteArray longa(80, 'X');
        QVERIFY(w.addData("84212300=BOMBAS CENTRIFUGAS\r\n"
                          "sem codigo\r\n"
                          "30049099="
                + longa
                + "\r\n"
                  "2202.10.00=AGUAS MINERAIS\r\n",
            QStringLiteral("NBM.txt")));
        QVERIFY(w.finish());
    }
    Settings &s = Settings::instance();
    if (jaAplicado)
        s.setEstruturaAplicada(QStringLiteral("NBM.2.0.0"));
    m_sink.answers = {resposta};
    UpdateNBMProducts(QStringLiteral("2.0.0"));
    if (!jaAplicado)
        QCOMPARE(m_sink.texts(),
            QStringList {QStringLiteral("Agora a Tabela de Produtos NBM será atualizada.\rEste procedimento pode "
                                        "demorar alguns minutos.\r\rContinua?")});
    else
        QVERIFY(m_sink.entries.isEmpty());
    QCOMPARE(QFileInfo::exists(arquivo), !jaAplicado && !resposta);
    QCOMPARE(s.estruturaAplicada(QStringLiteral("NBM.2.0.0")), jaAplicado || resposta);
    if (!aplica) {
        QCOMPARE(produtos(), antes);
        QVERIFY(argumentosGravados().isEmpty());
        return;
    }
    // Codes of eight digits get their dots, descriptions are cut to 64, lines without "=" are skipped.
    const QStringList novas {QStringLiteral("8421.23.00|BOMBAS CENTRIFUGAS"),
        QStringLiteral("3004.90.99|") + QString(64, QLatin1Char('X')), QStringLiteral("2202.10.00|AGUAS MINERAIS")};
    QCOMPARE(produtos(), antes + novas);
    QStringList esperado;
    for (int i = 1; i <= 4; ++i)
        esperado << QStringLiteral("Processando item %1/4...").arg(i);
    esperado << QStringLiteral("Encerrando Atualização dos Produtos NBM...");
    QVERIFY2(m_status.join(QLatin1Char('\n')).contains(esperado.join(QLatin1Char('\n'))),
        qPrintable(m_status.join(QLatin1Char('\n'))));
    // The data folder is on this computer: the rebuild follows, silent at its end.
    int status = -1;
    QVERIFY(esperaFerramenta(status));
    QCOMPARE(status, 0);
    QCOMPARE(argumentosGravados(),
        (QStringList {QStringLiteral("/Ok"), QStringLiteral("/Reind"),
            QStringLiteral("/AppDir=\"%1\"").arg(QDir::toNativeSeparators(m_inst->appDir()))}));
    const QStringList reindexados = produtos();
    QCOMPARE(reindexados.size(), QSet<QString>(reindexados.cbegin(), reindexados.cend()).size());
    // A second start with the same version asks nothing and adds nothing.
    m_sink.clear();
    const QStringList depois = produtos();
    UpdateNBMProducts(QStringLiteral("2.0.0"));
    QVERIFY(m_sink.entries.isEmpty());
    QCOMPARE(produtos(), depois);
}

QTEST_MAIN(TestNbm)
#include "tst_nbm.moc"
