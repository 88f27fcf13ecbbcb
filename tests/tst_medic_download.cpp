// The monthly table download against a real HTTP server on the loopback
// interface: the search going back month by month, the 15,000-byte rule, the
// question, failures of every kind (each with its message and the installed
// table left as it was), the proxy settings, and a full installation of the
// shipped sample table.
#include "core/messages.h"
#include "outputs/medic.h"
#include "outputs/medicdownload.h"
#include "platform/inifile.h"
#include "platform/zlbarchive.h"
#include "tests/support/httpserver.h"

#include <QBuffer>
#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace stb;

namespace {

const QDate kHoje(2025, 2, 14);

QDate mesesAntes(int n) { return kHoje.addMonths(-n); }

// The shipped sample table as an archive named for a month, its entry named alike.
QByteArray arquivoDoMes(const QDate &mes, const QString &dir, bool quebrado = false)
{
    static QByteArray texto;
    if (texto.isEmpty()) {
        TZLBArchive sample;
        if (sample.open(QStringLiteral(STB_SAMPLE_ZLB))) {
            QBuffer b(&texto);
            b.open(QIODevice::WriteOnly);
            sample.readEntry(0, b);
        }
    }
    const QString nome = MedicDownload::nomeArquivo(mes.month(), mes.year());
    const QString path = QDir(dir).filePath(nome);
    ZLBWriter w;
    w.create(path);
    w.addData(texto, QFileInfo(nome).completeBaseName() + QStringLiteral(".txt"));
    w.finish();
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    QByteArray bytes = f.readAll();
    f.close();
    QFile::remove(path);
    if (quebrado)
        bytes[100] = static_cast<char>(bytes[100] ^ 1);
    return bytes;
}

QString caminho(const QDate &mes)
{
    return QStringLiteral("/stbrelva/medicamentos/") + MedicDownload::nomeArquivo(mes.month(), mes.year());
}

} // namespace

class TestMedicDownload : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void servidor_data();
    void servidor();
    void proxy();
    void hostEfetivo_data();
    void hostEfetivo();

private:
    QTemporaryDir m_tmp;
    RecordingSink m_sink;
    MessageSink *m_previous = nullptr;
};

void TestMedicDownload::initTestCase()
{
    QVERIFY2(QFileInfo::exists(QStringLiteral(STB_SAMPLE_ZLB)), STB_SAMPLE_ZLB);
    m_previous = setMessageSink(&m_sink);
}

void TestMedicDownload::cleanup() { m_sink = RecordingSink(); }

void TestMedicDownload::servidor_data()
{
    QTest::addColumn<int>("mesesAtras"); // month the server holds (-1: none)
    QTest::addColumn<QString>("caso"); // what goes wrong
    QTest::addColumn<bool>("resposta"); // answer to the question
    QTest::addColumn<int>("heads"); // HEAD requests expected
    QTest::addColumn<QString>("mensagem"); // message shown (start), empty: success
    const QString tente = QStringLiteral("\rTente novamente.");
    QTest::newRow("three months ago, fourth HEAD") << 3 << "" << true << 4 << QString();
    QTest::newRow("this month, first HEAD") << 0 << "" << true << 1 << QString();
    QTest::newRow("answer No") << 0 << "" << false << 1 << QString("-");
    QTest::newRow("seven months ago, not found")
        << 7 << "" << true << 6 << "Não encontrei no servidor nenhuma Tabela de Medicamentos dos últimos 6 meses.";
    QTest::newRow("404 on the download") << 1 << "get404" << true << 2 << "Arquivo não encontrado." + tente;
    QTest::newRow("500 on the search") << 2 << "head500" << true << 1 << "500 Internal Server Error" + tente;
    QTest::newRow("reply under 15,000 bytes")
        << 1 << "small" << true << 6 << "Não encontrei no servidor nenhuma Tabela de Medicamentos dos últimos 6 meses.";
    QTest::newRow("download under 15,000 bytes") << 1 << "getSmall" << true << 2 << "Arquivo não encontrado." + tente;
    QTest::newRow("connection refused")
        << 0 << "refused" << true << 0
        << "Não consegui conectar com o servidor. Tente mais tarde.\r(Connection refused)";
    QTest::newRow("connection dropped mid-body") << 0 << "cut" << true << 1 << "*" + tente;
    QTest::newRow("damaged archive") << 0 << "damaged" << true << 1 << "O Arquivo está corrompido" + tente;
}

void TestMedicDownload::servidor()
{
    QFETCH(int, mesesAtras);
    QFETCH(QString, caso);
    QFETCH(bool, resposta);
    QFETCH(int, heads);
    QFETCH(QString, mensagem);
    QTemporaryDir dir;
    const QString programa = dir.filePath(QStringLiteral("AppDir"));
    const QString dados = dir.filePath(QStringLiteral("AppDir/Dados"));
    QVERIFY(QDir().mkpath(dados));
    // The table in use before the update.
    IniFile ini(QDir(dados).filePath(QStringLiteral("STBrelva3.ini")));
    SetTabMedicMesAno(ini, QStringLiteral("OUTUBRO/2024"));
    {
        QFile f(QDir(dados).filePath(QStringLiteral("TabMedic.txt")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("7891;ANTIGO;1;0;0;0;;L;+\r\n");
    }
    {
        Medic anterior;
        QVERIFY(anterior.abre(dados, ini));
    }
    QFile snap(QDir(dados).filePath(QStringLiteral("Medic.Tab")));
    QVERIFY(snap.open(QIODevice::ReadOnly));
    const QByteArray snapAntes = snap.readAll();
    snap.close();

    stbtest::HttpServer server;
    if (mesesAtras >= 0) {
        const QDate mes = mesesAntes(mesesAtras);
        stbtest::HttpServer::Route r;
        r.body = arquivoDoMes(mes, m_tmp.path(), caso == QLatin1String("damaged"));
        if (caso == QLatin1String("small"))
            r.body = r.body.left(14999);
        r.cutMidBody = caso == QLatin1String("cut");
        if (caso == QLatin1String("head500"))
            r.status = 500;
        server.routes.insert(caso == QLatin1String("head500") ? caso + caminho(kHoje) : caminho(mes), r);
        if (caso == QLatin1String("head500"))
            server.routes.insert(caminho(kHoje), stbtest::HttpServer::Route {500, "erro", false});
    }
    MedicDownload::Config config;
    config.host = server.host();
    if (caso == QLatin1String("refused")) {
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
        config.host = QStringLiteral("127.0.0.1:%1").arg(closed.serverPort());
        closed.close();
    }
    MedicDownload dl(config);
    if (caso == QLatin1String("get404") || caso == QLatin1String("getSmall")) {
        // The search sees the archive; the download then gets the failure.
        connect(&dl, &MedicDownload::status, this, [&](const QString &s) {
            if (s.startsWith(QLatin1String("Baixando Tabela"))) {
                auto &route = server.routes[caminho(mesesAntes(mesesAtras))];
                if (caso == QLatin1String("get404"))
                    route.status = 404;
                else
                    route.body = route.body.left(14000);
            }
        });
    }
    QStringList status;
    connect(&dl, &MedicDownload::status, this, [&](const QString &s) { status << s; });
    QSignalSpy progress(&dl, &MedicDownload::progresso);
    m_sink.answers = {resposta};
    const std::optional<NovaTabelaMedic> nova = BuscaTabelaNoServidor(dl, kHoje, programa);
    QCOMPARE(server.log.filter(QStringLiteral("HEAD ")).size(), heads);
    QCOMPARE(status.value(0), QStringLiteral("Conectando com o servidor..."));
    if (heads > 0)
        QCOMPARE(status.value(1),
            QStringLiteral("Procurando por %1 em %2 ...")
                .arg(MedicDownload::nomeArquivo(kHoje.month(), kHoje.year()), server.host()));

    if (mensagem.isEmpty()) {
        QVERIFY(nova);
        const QDate mes = mesesAntes(mesesAtras);
        QCOMPARE(nova->mesAno, NomeMesMaiusculo(mes.month()) + QLatin1Char('/') + QString::number(mes.year()));
        QCOMPARE(m_sink.texts().value(0),
            QStringLiteral("Quer baixar a Tabela de Medicamentos do mês de ") + nova->mesAno + QLatin1Char('?'));
        QCOMPARE(nova->texto,
            QDir(programa).filePath(QFileInfo(MedicDownload::nomeArquivo(mes.month(), mes.year())).completeBaseName()
                + QStringLiteral(".txt")));
        QVERIFY(status.contains(QStringLiteral("Salvando...")));
        QVERIFY(!progress.isEmpty());
        QVERIFY(status.filter(QRegularExpression(QStringLiteral("^Baixando \\d+ de \\d+ bytes...$"))).size() > 0);
        m_sink.clear();
        QVERIFY(
            InstalaTabelaMedic(nova->texto, QDir(dados).filePath(QStringLiteral("TabMedic.txt")), nova->mesAno, ini));
        QCOMPARE(m_sink.texts(), QStringList {QStringLiteral("Procedimento realizado com sucesso!")});
        Medic m;
        QVERIFY(m.abre(dados, ini));
        QCOMPARE(m.count(), 24000);
        QCOMPARE(m.mesAno(), nova->mesAno);
        // The program's folder holds the archive and its table, nothing else.
        QCOMPARE(QDir(programa).entryList(QDir::Files).size(), 2);
        return;
    }
    QVERIFY(!nova);
    if (mensagem == QLatin1String("-")) {
        QCOMPARE(m_sink.texts().size(), 1); // the question only
    } else if (mensagem.startsWith(QLatin1Char('*'))) {
        QVERIFY2(m_sink.texts().last().endsWith(mensagem.mid(1)), qPrintable(m_sink.texts().last()));
    } else {
        QCOMPARE(m_sink.texts().last(), mensagem);
    }
    // Nothing of the installed table changed; no partial download is left.
    QVERIFY(snap.open(QIODevice::ReadOnly));
    QVERIFY(snap.readAll() == snapAntes);
    snap.close();
    QCOMPARE(TabMedicMesAno(ini), QStringLiteral("OUTUBRO/2024"));
    const QStringList left = QDir(programa).entryList(QDir::Files);
    QVERIFY2(left.filter(QStringLiteral(".txt")).isEmpty(), qPrintable(left.join(QLatin1Char(' '))));
    if (caso != QLatin1String("damaged"))
        QVERIFY2(left.isEmpty(), qPrintable(left.join(QLatin1Char(' '))));
}

void TestMedicDownload::proxy()
{
    // Proxy/Porta of HostFazenda: the requests go to the proxy with the whole
    // address of the update host.
    stbtest::HttpServer proxy;
    proxy.routes.insert(caminho(kHoje), stbtest::HttpServer::Route {200, arquivoDoMes(kHoje, m_tmp.path()), false});
    MedicDownload::Config config;
    config.host = QStringLiteral("atualiza.stbrelva.local");
    config.proxy = QNetworkProxy(QNetworkProxy::HttpProxy, QStringLiteral("127.0.0.1"), proxy.port());
    MedicDownload dl(config);
    const MedicDownload::Busca b = dl.procura(kHoje);
    QVERIFY2(b.encontrado, qPrintable(b.erro));
    QCOMPARE(
        proxy.log, QStringList {QStringLiteral("HEAD ") + caminho(kHoje) + QStringLiteral(" atualiza.stbrelva.local")});
}

void TestMedicDownload::hostEfetivo_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("efetivo");
    QTest::newRow("plain") << "servidor.fazenda"
                           << "servidor.fazenda";
    QTest::newRow("with scheme and slash") << "http://servidor.fazenda:8080/"
                                           << "servidor.fazenda:8080";
    QTest::newRow("former dynamic-name host") << "stbrelva.dyndns.org"
                                              << "atualiza.stbrelva.local";
    QTest::newRow("empty") << ""
                           << "atualiza.stbrelva.local";
}

void TestMedicDownload::hostEfetivo()
{
    QFETCH(QString, host);
    QFETCH(QString, efetivo);
    QCOMPARE(MedicDownload::hostEfetivo(host), efetivo);
}

QTEST_GUILESS_MAIN(TestMedicDownload)
#include "tst_medic_download.moc"
