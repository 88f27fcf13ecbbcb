// Database maintenance against real table files in a temporary installation:
// the table open guard, the opening retries, the re-creation of the data
// folder, delivered files, the annex recovery, and the structure and
// configuration upgrades of an old database.
#include "core/datamodule.h"
#include "core/messages.h"
#include "core/settings.h"
#include "platform/db/dataset.h"
#include "platform/db/filelock.h"
#include "platform/filecopy.h"
#include "shell/appglobals.h"
#include "shell/datafiles.h"
#include "shell/dbmaint.h"
#include "shell/dbopen.h"
#include "shell/modifystruct.h"
#include "shell/upgrades.h"
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

qint64 conta(const QString &sql)
{
    db::Query q(&DM().BaseDados);
    q.setSql(sql);
    q.open();
    return q.field(0).asLargeInt();
}

// A fingerprint of every row of a table: the rows in key order, joined.
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

void fechaTudo()
{
    TDM &dm = DM();
    dm.BaseDados.close();
    dm.BaseARM.close();
}

void removeTabela(const QString &dir, const QString &nome, std::initializer_list<const char *> exts)
{
    for (const char *e : exts) {
        const QString f = fileNoCase(dir, nome + QString::fromLatin1(e));
        db::FileLock::release(f);
        QFile::remove(f);
    }
}

// A second process holding a table open ("shared" or "exclusive").
bool seguraTabela(QProcess &outro, const QString &tabela, const QString &modo)
{
    outro.start(QString::fromLocal8Bit(qgetenv("STB_TEST_BIN")) + QStringLiteral("/engine_child"),
        {QStringLiteral("hold-open"), App().DataDir, tabela, modo});
    return outro.waitForReadyRead(20000) && outro.readLine().trimmed() == "open";
}

} // namespace

class TestMaint : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void guardRestoresMissingFiles_data();
    void guardRestoresMissingFiles();
    void lockedTableRetriedBeforeQuestion();
    void recreationTakesNextFreeNumber();
    void deliveredFileReplacesReadOnlyTarget_data();
    void deliveredFileReplacesReadOnlyTarget();
    void missingDataFolderCreatedAndFilled();
    void damagedAnnexRestoredFromPristine_data();
    void damagedAnnexRestoredFromPristine();
    void oldDatabaseUpgradedOnce();
    void fieldOfAnotherSizeAlteredInPlace();
    void tableInUseElsewhereFailsUpgrade();
    void restructureProgressMovesWithTheRows_data();
    void restructureProgressMovesWithTheRows();

private:
    void abreBase();
    void criaModulo();
    std::unique_ptr<TestInstall> m_inst;
    RecordingSink m_sink;
    QStringList m_status;
};

void TestMaint::init()
{
    m_sink = RecordingSink();
    setMessageSink(&m_sink);
    m_status.clear();
    setStatusManutencao([this](const QString &t) { m_status << t; });
    m_inst = std::make_unique<TestInstall>();
    m_inst->applyToProcess();
}

void TestMaint::abreBase()
{
    stbtest::copyPristine(m_inst->dataDir());
    criaModulo();
}

void TestMaint::criaModulo()
{
    TDM::setDefaultDataDir(m_inst->dataDir());
    DM().setPristineDir(m_inst->appDir() + QStringLiteral("Sys/Dados/"));
}

void TestMaint::cleanup()
{
    TDM::destroyInstance();
    m_inst.reset();
    setStatusManutencao({});
    setMessageSink(nullptr);
}

void TestMaint::guardRestoresMissingFiles_data()
{
    QTest::addColumn<QStringList>("removidos");
    QTest::addColumn<bool>("aviso");
    QTest::addColumn<int>("linhas");
    QTest::addColumn<QString>("mensagem");
    // A lost index is taken from the installation and the table repaired: no row lost, nothing said.
    QTest::newRow("index deleted") << QStringList {".idx"} << true << 3 << QString();
    QTest::newRow("table deleted") << QStringList {".dat", ".idx"} << true << 0
                                   << QStringLiteral("A tabela Notas não foi localizada. Ela será criada novamente.\r");
    QTest::newRow("table deleted, notice off") << QStringList {".dat"} << false << 0 << QString();
}

void TestMaint::guardRestoresMissingFiles()
{
    QFETCH(QStringList, removidos);
    QFETCH(bool, aviso);
    QFETCH(int, linhas);
    QFETCH(QString, mensagem);
    abreBase();
    TDM &dm = DM();
    for (int i = 1; i <= 3; ++i)
        dm.BaseDados.execSql(
            QStringLiteral("INSERT INTO NOTAS (IdCalculo, IdNota, NroNF, Frete) VALUES (1, %1, 'NF%1', 0)").arg(i));
    const QString antes = conteudo(QStringLiteral("NOTAS"), QStringLiteral("IdNota, NroNF"));
    fechaTudo();
    for (const QString &e : removidos)
        removeTabela(m_inst->dataDir(), QStringLiteral("Notas"), {qPrintable(e)});
    dm.setAvisoTabelaAusente(aviso);
    dm.TabNotas.open();
    QCOMPARE(conta(QStringLiteral("SELECT COUNT(*) FROM NOTAS")), linhas);
    if (linhas)
        QCOMPARE(conteudo(QStringLiteral("NOTAS"), QStringLiteral("IdNota, NroNF")), antes);
    if (mensagem.isEmpty()) {
        QVERIFY2(m_sink.entries.isEmpty(), qPrintable(m_sink.texts().join(QLatin1Char('\n'))));
    } else {
        QCOMPARE(m_sink.entries.size(), 1);
        QVERIFY2(m_sink.entries[0].text.startsWith(mensagem), qPrintable(m_sink.entries[0].text));
    }
    QVERIFY(QFileInfo::exists(m_inst->dataDir() + QStringLiteral("Notas.idx")));
}

void TestMaint::lockedTableRetriedBeforeQuestion()
{
    abreBase();
    fechaTudo();
    QProcess outro;
    QVERIFY(seguraTabela(outro, QStringLiteral("Notas"), QStringLiteral("exclusive")));
    const auto solta = qScopeGuard([&outro] {
        outro.kill();
        outro.waitForFinished();
    });
    const QString dat = m_inst->dataDir() + QStringLiteral("Notas.dat");
    const ArquivoDados arquivo = TryOpenFile(dat, false);
    QVERIFY(!arquivo.valido());
    QStringList tentativas;
    for (int n = 1; n <= 5; ++n)
        tentativas << QStringLiteral("Tentando abrir %1... (try %2/5)").arg(dat).arg(n);
    QCOMPARE(m_status, tentativas);
    QVERIFY(m_sink.entries.isEmpty());
    // Only then the question; "Não" ends the program and leaves the folder as it was.
    m_sink.answers = {false};
    bool encerrou = false;
    try {
        RecreateDatabase(dat, arquivo);
    } catch (const EncerraProcesso &) {
        encerrou = true;
    }
    QVERIFY(encerrou);
    QCOMPARE(m_sink.entries.size(), 2);
    QVERIFY(m_sink.entries[0].text.startsWith(QStringLiteral("Não foi possível abrir o arquivo NOTAS.DAT.\rMOTIVO: ")));
    QCOMPARE(
        m_sink.entries[1].text, QStringLiteral("O sistema ST/Brelva vai ser encerrado. Tente abrir mais tarde..."));
    QVERIFY(QFileInfo::exists(dat));
    // Once the other process lets go, the file opens at the first attempt.
    outro.kill();
    outro.waitForFinished();
    m_status.clear();
    QVERIFY(TryOpenFile(dat, false).valido());
    QCOMPARE(m_status, QStringList {QStringLiteral("Verificando arquivos de dados...")});
}

void TestMaint::recreationTakesNextFreeNumber()
{
    abreBase();
    TDM &dm = DM();
    for (int i = 1; i <= 4; ++i) {
        dm.BaseDados.execSql(QStringLiteral("INSERT INTO FISCAIS (Masp, Fiscal) VALUES ('%1', 'FISCAL %1')").arg(i));
        dm.BaseDados.execSql(
            QStringLiteral("INSERT INTO NOTAS (IdCalculo, IdNota, NroNF, Frete) VALUES (1, %1, 'NF%1', 0)").arg(i));
    }
    const QString fiscais = conteudo(QStringLiteral("FISCAIS"), QStringLiteral("Masp, Fiscal"));
    QVERIFY(!fiscais.isEmpty());
    const QString pasta = m_inst->path(QStringLiteral("Dados"));
    for (int n = 0; n <= 5; ++n)
        QVERIFY(QDir().mkpath(pasta + QStringLiteral(".%1").arg(n, 3, 10, QLatin1Char('0'))));
    Settings::instance().setReindex(false);
    const QString falhou = m_inst->dataDir() + QStringLiteral("Notas.dat");
    ArquivoDados invalido;
    invalido.erro = QStringLiteral("Permissão negada");
    m_sink.answers = {true};
    bool abortou = false;
    try {
        RecreateDatabase(falhou, invalido);
    } catch (const SilentAbort &) {
        abortou = true;
    }
    QVERIFY(abortou);
    QCOMPARE(m_sink.entries.size(), 1); // the question only
    const QString numerada = pasta + QStringLiteral(".006/");
    QVERIFY(QFileInfo::exists(numerada + QStringLiteral("Notas.dat")));
    QVERIFY(!QFileInfo::exists(falhou));
    QVERIFY(!QFileInfo::exists(registroRecriacao(m_inst->dataDir())));
    QVERIFY(Settings::instance().reindex());
    // Every file but the failed one came back, with every row.
    QStringList antes = QDir(numerada).entryList(QDir::Files);
    antes.removeAll(QStringLiteral("Notas.dat"));
    QCOMPARE(QDir(m_inst->dataDir()).entryList(QDir::Files), antes);
    QCOMPARE(conteudo(QStringLiteral("FISCAIS"), QStringLiteral("Masp, Fiscal")), fiscais);
    QCOMPARE(m_status.mid(0, 2),
        (QStringList {QStringLiteral("Criando nova base de dados..."),
            QStringLiteral("Copiando arquivos para nova base de dados...")}));
}

void TestMaint::deliveredFileReplacesReadOnlyTarget_data()
{
    QTest::addColumn<QString>("nome");
    QTest::addColumn<bool>("somenteLeitura");
    QTest::newRow("read-only table") << QStringLiteral("Tec.dat") << true;
    QTest::newRow("writable table, other case") << QStringLiteral("TEC.DAT") << false;
}

void TestMaint::deliveredFileReplacesReadOnlyTarget()
{
    QFETCH(QString, nome);
    QFETCH(bool, somenteLeitura);
    abreBase();
    fechaTudo();
    const QString alvo = fileNoCase(m_inst->dataDir(), QStringLiteral("Tec.dat"));
    QVERIFY(QFileInfo::exists(alvo));
    if (somenteLeitura)
        QVERIFY(QFile::setPermissions(alvo, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    const QString entregues = m_inst->path(QStringLiteral("Sys/Dados.Atualiza/"));
    QDir().mkpath(entregues);
    const QByteArray novo("tabela entregue nesta versão");
    {
        QFile f(entregues + nome);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(novo);
    }
    AplicaArquivosEntregues();
    QVERIFY(m_sink.entries.isEmpty());
    for (const QString &copia :
        {alvo, fileNoCase(m_inst->appDir() + QStringLiteral("Sys/Dados/"), QStringLiteral("Tec.dat"))}) {
        QFile f(copia);
        QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(copia));
        QCOMPARE(f.readAll(), novo);
    }
    QVERIFY(QDir(entregues).isEmpty());
}

void TestMaint::missingDataFolderCreatedAndFilled()
{
    const QString dados = m_inst->dataDir();
    QVERIFY(QDir(dados).removeRecursively());
    // A folder named elsewhere in the settings is never made up.
    const QString outra = m_inst->path(QStringLiteral("Servidor/Dados/"));
    QVERIFY(!PreparaPastaDeDados(outra, false));
    QVERIFY(!QFileInfo::exists(outra));
    QVERIFY(PreparaPastaDeDados(dados, true));
    criaModulo();
    CheckDataFiles();
    QVERIFY2(m_sink.entries.isEmpty(), qPrintable(m_sink.texts().join(QLatin1Char('\n'))));
    for (const QString &f : QDir(TestInstall::pristineDir()).entryList(QDir::Files))
        QVERIFY2(QFileInfo::exists(dados + f), qPrintable(f));
    // The new tables have the current structure: the upgrades change nothing.
    Settings &s = Settings::instance();
    QVERIFY(s.estruturaAplicada(QStringLiteral("2012.09.01")));
    const QDateTime calc = QFileInfo(dados + QStringLiteral("Calculos.dat")).lastModified();
    CheckStructures({});
    QVERIFY(!s.reindexOnce());
    QCOMPARE(QFileInfo(dados + QStringLiteral("Calculos.dat")).lastModified(), calc);
    DM().TabCalc.open();
    QCOMPARE(DM().TabCalc.recordCount(), 0);
}

void TestMaint::damagedAnnexRestoredFromPristine_data()
{
    QTest::addColumn<bool>("pristinaDanificada");
    QTest::newRow("data folder copy damaged") << false;
    QTest::newRow("installation copy damaged too") << true;
}

void TestMaint::damagedAnnexRestoredFromPristine()
{
    QFETCH(bool, pristinaDanificada);
    abreBase();
    TDM &dm = DM();
    CarregaItensBrelva();
    const int itens = dm.MemGrupo.recordCount();
    QVERIFY(itens > 0);
    fechaTudo();
    const auto estraga = [](const QString &path) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadWrite));
        f.seek(0);
        f.write(QByteArray(4096, 'x'));
    };
    estraga(fileNoCase(m_inst->dataDir(), QStringLiteral("Brelva.dat")));
    if (pristinaDanificada)
        estraga(fileNoCase(m_inst->appDir() + QStringLiteral("Sys/Dados/"), QStringLiteral("Brelva.dat")));
    QFile::remove(m_inst->dataDir() + QStringLiteral("Brelva.NBM"));
    m_sink.answers = {true};
    int saida = -1;
    try {
        CarregaItensBrelva();
    } catch (const EncerraProcesso &e) {
        saida = e.exitCode;
    }
    if (pristinaDanificada) {
        QCOMPARE(saida, 255);
        QCOMPARE(m_sink.texts(),
            QStringList {QStringLiteral("Não consegui processar a tabela Brelva. O sistema precisa ser "
                                        "reiniciado.\rContinua com a reinicialização?")});
    } else {
        QCOMPARE(saida, -1);
        QVERIFY2(m_sink.entries.isEmpty(), qPrintable(m_sink.texts().join(QLatin1Char('\n'))));
        QCOMPARE(dm.MemGrupo.recordCount(), itens);
        QVERIFY(!QFileInfo::exists(m_inst->dataDir() + QStringLiteral("Brelva.dat.danificado")));
    }
}

namespace {

// The fields and indexes of a table as they were before the upgrades: `sem`
// fields taken out, with every index that uses one of them.
db::TableDef estruturaAntiga(const QString &tabela, const QStringList &sem, const QStringList &semIndices = {})
{
    db::TableDef d = DM().BaseDados.tableDef(tabela);
    for (const QString &f : sem)
        d.fields.removeAt(d.fieldIndex(f));
    for (int i = d.indexes.size() - 1; i >= 0; --i) {
        bool fora = semIndices.contains(d.indexes[i].name, Qt::CaseInsensitive);
        for (const QString &f : sem)
            fora = fora || d.indexes[i].fields.contains(f, Qt::CaseInsensitive);
        if (fora)
            d.indexes.removeAt(i);
    }
    return d;
}

void recria(const QString &tabela, const db::TableDef &def)
{
    TDM &dm = DM();
    fechaTudo();
    removeTabela(dm.BaseDados.directory(), tabela, {".dat", ".idx", ".blb"});
    dm.BaseDados.createTable(def);
}

QMap<QString, QDateTime> datas(const QString &dir)
{
    QMap<QString, QDateTime> m;
    for (const QFileInfo &fi : QDir(dir).entryInfoList({QStringLiteral("*.dat")}, QDir::Files))
        m.insert(fi.fileName(), fi.lastModified());
    return m;
}

} // namespace

void TestMaint::oldDatabaseUpgradedOnce()
{
    abreBase();
    TDM &dm = DM();
    struct Antiga {
        const char *tabela;
        QStringList campos;
        QStringList indices;
    };
    const QList<Antiga> antigas {
        {"RegimeEspecial", {}, {QStringLiteral("CNPJ"), QStringLiteral("IE")}},
        {"Calculos",
            {QStringLiteral("OpInterna"), QStringLiteral("PrintObserv"), QStringLiteral("PrintMR"),
                QStringLiteral("TipoCalculo")},
            {}},
        {"Notas",
            {QStringLiteral("CreditoICMSMedic"), QStringLiteral("DestaqueICMSST"), QStringLiteral("TotalARecolher")},
            {}},
        {"Itens",
            {QStringLiteral("PMPF"), QStringLiteral("Litros"), QStringLiteral("PrecoLitroNF"),
                QStringLiteral("MVAPreAjustada"), QStringLiteral("ItemBrelva"), QStringLiteral("ValorCreditoICMS"),
                QStringLiteral("FEM")},
            {}},
        {"ItensMedic",
            {QStringLiteral("MVA"), QStringLiteral("Lista"), QStringLiteral("MVAPreAjustada"),
                QStringLiteral("CreditoICMS"), QStringLiteral("FEM")},
            {}},
    };
    QMap<QString, db::TableDef> atuais;
    for (const Antiga &a : antigas) {
        const QString t = QString::fromLatin1(a.tabela);
        atuais.insert(t, dm.BaseDados.tableDef(t));
        recria(t, estruturaAntiga(t, a.campos, a.indices));
    }
    // Rows in the old tables.
    for (int i = 1; i <= 40; ++i) {
        dm.BaseDados.execSql(
            QStringLiteral("INSERT INTO CALCULOS (IdCalculo, Grupo) VALUES (%1, %2)").arg(i).arg(i % 7));
        dm.BaseDados.execSql(
            QStringLiteral("INSERT INTO NOTAS (IdCalculo, IdNota, NroNF, Frete) VALUES (%1, %1, 'NF%1', %1)").arg(i));
        dm.BaseDados.execSql(
            QStringLiteral("INSERT INTO ITENS (IdNota, NroItem, DescricaoNF) VALUES (%1, 1, 'ITEM %1')").arg(i));
        dm.BaseDados.execSql(
            QStringLiteral("INSERT INTO REGIMEESPECIAL (CNPJ, IE) VALUES ('%1', 'IE%1')").arg(1000 + i));
    }
    const QStringList consultas {QStringLiteral("CALCULOS|IdCalculo, Grupo"),
        QStringLiteral("NOTAS|IdNota, NroNF, Frete"), QStringLiteral("ITENS|IdNota, NroItem, DescricaoNF"),
        QStringLiteral("REGIMEESPECIAL|CNPJ, IE")};
    QMap<QString, QString> antes;
    for (const QString &c : consultas)
        antes.insert(c, conteudo(c.section(QLatin1Char('|'), 0, 0), c.section(QLatin1Char('|'), 1)));
    fechaTudo();

    Settings &s = Settings::instance();
    s.setReindexOnce(false);
    CheckStructures({});
    CheckConfiguration(QString());
    QVERIFY2(m_sink.entries.isEmpty(), qPrintable(m_sink.texts().join(QLatin1Char('\n'))));
    for (const Antiga &a : antigas) {
        const QString t = QString::fromLatin1(a.tabela);
        const db::TableDef agora = dm.BaseDados.tableDef(t);
        for (const QString &f : a.campos)
            QVERIFY2(agora.fieldIndex(f) >= 0, qPrintable(t + QLatin1Char('.') + f));
        for (const QString &ix : a.indices) {
            bool achou = false;
            for (const db::IndexDef &d : agora.indexes)
                achou = achou || d.name.compare(ix, Qt::CaseInsensitive) == 0;
            QVERIFY2(achou, qPrintable(t + QLatin1Char(' ') + ix));
        }
    }
    for (const QString &c : consultas)
        QCOMPARE(conteudo(c.section(QLatin1Char('|'), 0, 0), c.section(QLatin1Char('|'), 1)), antes.value(c));
    for (const char *m : {"2009.04.01", "2012.09.01"})
        QVERIFY(s.estruturaAplicada(QString::fromLatin1(m)));
    for (const char *m : {"1.9.1.0", "1.9.1.6", "1.9.4.0"})
        QVERIFY(s.versaoAplicada(QString::fromLatin1(m)));
    QVERIFY(s.reindexOnce());
    // The annex table was dropped and comes back from the installation, silently.
    QVERIFY(!QFileInfo::exists(fileNoCase(m_inst->dataDir(), QStringLiteral("Brelva.dat"))));
    CarregaItensBrelva();
    QVERIFY(dm.MemGrupo.recordCount() > 0);
    QVERIFY2(m_sink.entries.isEmpty(), qPrintable(m_sink.texts().join(QLatin1Char('\n'))));

    // A second start applies nothing: no table rebuilt, no file removed, no marker written again.
    fechaTudo();
    s.setReindexOnce(false);
    const QMap<QString, QDateTime> depois = datas(m_inst->dataDir());
    const QByteArray ini3 = [this] {
        QFile f(fileNoCase(m_inst->dataDir(), QStringLiteral("STBrelva3.ini")));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    QTest::qWait(1100); // a rewritten file would show a later time
    CheckStructures({});
    CheckConfiguration(QString());
    fechaTudo();
    QCOMPARE(datas(m_inst->dataDir()), depois);
    QFile f(fileNoCase(m_inst->dataDir(), QStringLiteral("STBrelva3.ini")));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), ini3);
    QVERIFY(!s.reindexOnce());
}

void TestMaint::fieldOfAnotherSizeAlteredInPlace()
{
    abreBase();
    TDM &dm = DM();
    db::TableDef d = dm.BaseDados.tableDef(QStringLiteral("ItensMedic"));
    d.fields[d.fieldIndex(QStringLiteral("Lista"))].size = 5;
    recria(QStringLiteral("ItensMedic"), d);
    const QStringList listas {QStringLiteral("P"), QStringLiteral("N"), QStringLiteral("O"), QStringLiteral("PN")};
    for (int i = 0; i < listas.size(); ++i)
        dm.BaseDados.execSql(QStringLiteral("INSERT INTO ITENSMEDIC (IdNota, NroItem, Lista) VALUES (7, %1, '%2')")
                                 .arg(i + 1)
                                 .arg(listas[i]));
    fechaTudo();
    TModifyStruct m(dm.TabItensMedic, false);
    m.AddField(QStringLiteral("Lista"), db::FieldType::String, -1, 1);
    m.AddField(QStringLiteral("MVA"), db::FieldType::Currency);
    QVERIFY(m.Modified);
    QVERIFY(m.Execute());
    const db::TableDef agora = dm.BaseDados.tableDef(QStringLiteral("ItensMedic"));
    QCOMPARE(agora.fields[agora.fieldIndex(QStringLiteral("Lista"))].size, 1);
    // The one-letter lists keep their letter; the longer text is cut to the new size.
    QCOMPARE(
        conteudo(QStringLiteral("ITENSMEDIC"), QStringLiteral("NroItem, Lista")), QStringLiteral("1|P\n2|N\n3|O\n4|P"));
    // Asked again, nothing differs.
    TModifyStruct denovo(dm.TabItensMedic, false);
    denovo.AddField(QStringLiteral("Lista"), db::FieldType::String, -1, 1);
    QVERIFY(!denovo.Modified);
}

void TestMaint::tableInUseElsewhereFailsUpgrade()
{
    abreBase();
    TDM &dm = DM();
    recria(QStringLiteral("Calculos"), estruturaAntiga(QStringLiteral("Calculos"), {QStringLiteral("TipoCalculo")}));
    dm.BaseDados.execSql(QStringLiteral("INSERT INTO CALCULOS (IdCalculo) VALUES (1)"));
    fechaTudo();
    QProcess outro;
    QVERIFY(seguraTabela(outro, QStringLiteral("Calculos"), QStringLiteral("shared")));
    const auto solta = qScopeGuard([&outro] {
        outro.kill();
        outro.waitForFinished();
    });
    db::Session::defaultSession().lockRetryCount = 2;
    const auto restaura = qScopeGuard([] { db::Session::defaultSession().lockRetryCount = 15; });
    QString erro;
    try {
        CheckStructures([] { return true; });
    } catch (const std::runtime_error &e) {
        erro = QString::fromStdString(e.what());
    }
    QCOMPARE(erro,
        QStringLiteral("Erro ao atualizar a tabela Cálculos.\rFeche o sistema ST/Brelva em todos os computadores e "
                       "repita a operação."));
    QCOMPARE(m_sink.texts(),
        QStringList {
            QStringLiteral("Impossível mudar a estrutura.\r\nEsta Tabela está em uso por outro usuário ou processo!")});
    // Nothing was lost: the other process ends and the next start upgrades.
    outro.kill();
    outro.waitForFinished();
    m_sink.clear();
    CheckStructures({});
    QCOMPARE(conta(QStringLiteral("SELECT COUNT(*) FROM CALCULOS WHERE IdCalculo = 1")), 1);
    QVERIFY(dm.BaseDados.tableDef(QStringLiteral("Calculos")).fieldIndex(QStringLiteral("TipoCalculo")) >= 0);
}

void TestMaint::restructureProgressMovesWithTheRows_data()
{
    QTest::addColumn<int>("linhas");
    QTest::addColumn<int>("passosMinimos"); // values strictly between 0 and 100
    QTest::newRow("20,000 rows") << 20000 << 40;
    QTest::newRow("1,200 rows") << 1200 << 3;
    QTest::newRow("a few rows") << 30 << 0;
    QTest::newRow("empty table") << 0 << 0;
}

void TestMaint::restructureProgressMovesWithTheRows()
{
    QFETCH(int, linhas);
    QFETCH(int, passosMinimos);
    abreBase();
    TDM &dm = DM();
    dm.BaseDados.startTransaction();
    for (int i = 1; i <= linhas; ++i)
        dm.BaseDados.execSql(
            QStringLiteral("INSERT INTO CALCULOS (IdCalculo, Grupo, Masp) VALUES (%1, %2, 'M%1')").arg(i).arg(i % 30));
    dm.BaseDados.commit(true);
    const QString antes = conteudo(QStringLiteral("CALCULOS"), QStringLiteral("IdCalculo, Grupo, Masp"));
    fechaTudo();
    TModifyStruct m(dm.TabCalc, true);
    m.AddField(QStringLiteral("Marca"), db::FieldType::String, -1, 12);
    QVERIFY(m.Execute());
    const QList<int> p = m.progressoMostrado();
    QVERIFY(!p.isEmpty());
    QCOMPARE(p.first(), 0);
    QCOMPARE(p.last(), 100);
    int intermediarios = 0;
    for (int i = 1; i < p.size(); ++i) {
        QVERIFY2(p[i] > p[i - 1], qPrintable(QStringLiteral("%1 after %2").arg(p[i]).arg(p[i - 1])));
        intermediarios += p[i] > 0 && p[i] < 100;
    }
    QVERIFY2(intermediarios >= passosMinimos, qPrintable(QStringLiteral("%1 steps").arg(intermediarios)));
    // No step of the bar is larger than the share of one batch of rows (or of one index).
    if (passosMinimos >= 40)
        for (int i = 1; i < p.size(); ++i)
            QVERIFY2(p[i] - p[i - 1] <= 12, qPrintable(QStringLiteral("%1 -> %2").arg(p[i - 1]).arg(p[i])));
    QCOMPARE(conteudo(QStringLiteral("CALCULOS"), QStringLiteral("IdCalculo, Grupo, Masp")), antes);
}

QTEST_MAIN(TestMaint)
#include "tst_maint.moc"
