// The medicine price table: reading odd lines of the text table, the choice
// between the snapshot and the text table, searches (bar code, first word,
// contained word, typed quotes and wildcards, accents and mixed case, the
// case-blind LIKE behind them), the generic/price rule, the
// list-MVA key and the installation of a new table with its failures.
#include "core/messages.h"
#include "outputs/medic.h"
#include "platform/inifile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace stb;

namespace {

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

void setTime(const QString &path, const QDateTime &t)
{
    QFile f(path);
    f.open(QIODevice::ReadWrite);
    f.setFileTime(t, QFileDevice::FileModificationTime);
}

QByteArray tabela(int n, const QByteArray &prefix = "REMEDIO")
{
    QByteArray b;
    for (int i = 0; i < n; ++i)
        b += "789" + QByteArray::number(1000000000 + i) + ";" + prefix + " " + QByteArray::number(i) + " 10MG;"
            + QByteArray::number(10 + i) + ",50;0;0;0;" + (i % 2 ? "GEN" : "") + ";LAB " + QByteArray::number(i % 5)
            + ";"
            + (i % 3 == 0        ? "+"
                    : i % 3 == 1 ? "-"
                                 : "N")
            + "\r\n";
    return b;
}

Currency cur(const char *text) { return *Currency::parsePlain(QString::fromLatin1(text)); }

} // namespace

class TestMedic : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void leLinha_data();
    void leLinha();
    void carregaTextoOdd_data();
    void carregaTextoOdd();
    void abre_data();
    void abre();
    void pesquisa_data();
    void pesquisa();
    void preco_data();
    void preco();
    void mvaLista_data();
    void mvaLista();
    void instala_data();
    void instala();
    void snapshotDanificadoMantemLinhas_data();
    void snapshotDanificadoMantemLinhas();
    void ordemSemCaixa_data();
    void ordemSemCaixa();
    void likeSemCaixa_data();
    void likeSemCaixa();
    void likeSemCaixaPadraoPorLinha();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    RecordingSink m_sink;
    MessageSink *m_previous = nullptr;
};

void TestMedic::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_sink = RecordingSink();
    m_previous = setMessageSink(&m_sink);
}

void TestMedic::cleanup()
{
    setMessageSink(m_previous);
    m_dir.reset();
}

void TestMedic::leLinha_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("error"); // empty: read
    QTest::addColumn<QString>("codBarra");
    QTest::addColumn<QString>("valores"); // Valor1..4 raw joined with " "
    QTest::addColumn<bool>("generico");
    QTest::addColumn<QString>("lista");
    QTest::newRow("plain") << "7891058001155;DIPIRONA 500MG;12,34;10,00;0;0;GEN;EMS;+" << QString() << "7891058001155"
                           << "123400 100000 0 0" << true << "+";
    QTest::newRow("empty prices") << "7891;AAS;;;5,5;;;LAB;-" << QString() << "7891"
                                  << "0 0 55000 0" << false << "-";
    QTest::newRow("gen lower case is not a generic") << "7891;AAS;1;2;3;4;gen;LAB;N" << QString() << "7891"
                                                     << "10000 20000 30000 40000" << false << "N";
    QTest::newRow("blanks around fields") << " 7891 ; AAS ; 1,5 ;0;0;0; GEN ; LAB ; + " << QString() << "7891"
                                          << "15000 0 0 0" << true << "+";
    QTest::newRow("thousands and four decimals") << "7891;AAS;1.234,5678;0;0;0;;LAB;+" << QString() << "7891"
                                                 << "12345678 0 0 0" << false << "+";
    QTest::newRow("trailing semicolons") << "7891;AAS;1;0;0;0;;LAB;+;;" << QString() << "7891"
                                         << "10000 0 0 0" << false << "+";
    QTest::newRow("list given as a word") << "7891;AAS;1;0;0;0;;LAB;Positiva" << QString() << "7891"
                                          << "10000 0 0 0" << false << "P";
    QTest::newRow("missing fields") << "7891;AAS;1;0;0"
                                    << "faltam campos (5 de 9)"
                                    << ""
                                    << "" << false << "";
    QTest::newRow("extra semicolon inside") << "7891;AAS; 500MG;1;0;0;0;;LAB;+"
                                            << "campos demais (10 de 9)"
                                            << ""
                                            << "" << false << "";
    QTest::newRow("amount with letters") << "7891;AAS;12,3a;0;0;0;;LAB;+"
                                         << "valor 1 inválido \"12,3a\""
                                         << ""
                                         << "" << false << "";
    QTest::newRow("negative amount") << "7891;AAS;0;-1;0;0;;LAB;+"
                                     << "valor 2 inválido \"-1\""
                                     << ""
                                     << "" << false << "";
    QTest::newRow("bar code too long") << "78910580011551;AAS;1;0;0;0;;LAB;+"
                                       << "código de barras com mais de 13 caracteres"
                                       << ""
                                       << "" << false << "";
    QTest::newRow("no description") << "7891;;1;0;0;0;;LAB;+"
                                    << "sem descrição"
                                    << ""
                                    << "" << false << "";
}

void TestMedic::leLinha()
{
    QFETCH(QString, line);
    QFETCH(QString, error);
    QFETCH(QString, codBarra);
    QFETCH(QString, valores);
    QFETCH(bool, generico);
    QFETCH(QString, lista);
    QString why;
    const std::optional<Medic::Linha> l = Medic::leLinha(line, &why);
    if (!error.isEmpty()) {
        QVERIFY(!l);
        QCOMPARE(why, error);
        return;
    }
    QVERIFY2(l, qPrintable(why));
    QCOMPARE(l->codBarra, codBarra);
    QStringList v;
    for (const Currency &c : l->valor)
        v << QString::number(c.raw());
    QCOMPARE(v.join(QLatin1Char(' ')), valores);
    QCOMPARE(l->generico, generico);
    QCOMPARE(l->lista, lista);
}

void TestMedic::carregaTextoOdd_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QStringList>("problems");
    QTest::addColumn<QString>("firstDescription");
    const QByteArray odd = "7891;ÁGUA OXIGENADA;1;0;0;0;;LAB;+\n"
                           "7892;FALTA;1;0\n"
                           "\n"
                           "7893;B;1;0;0;0;gen;LAB;-\n";
    QTest::newRow("UTF-8, LF") << odd << 2 << QStringList {"Linha 2: faltam campos (4 de 9)"} << "ÁGUA OXIGENADA";
    QByteArray crlf = odd;
    crlf.replace("\n", "\r\n");
    QTest::newRow("UTF-8 with BOM, CRLF") << QByteArray("\xEF\xBB\xBF") + crlf << 2
                                          << QStringList {"Linha 2: faltam campos (4 de 9)"} << "ÁGUA OXIGENADA";
    QTest::newRow("Latin-1, CRLF") << QString::fromUtf8(crlf).toLatin1() << 2
                                   << QStringList {"Linha 2: faltam campos (4 de 9)"} << "ÁGUA OXIGENADA";
    QTest::newRow("no line end at the end")
        << QByteArray("7891;X;1;0;0;0;;L;+\r\n7892;Y;1;0;0;0;;L;+") << 2 << QStringList {} << "X";
    QTest::newRow("every line bad") << QByteArray(
        "a;b\nc;d;e\n") << 0 << QStringList {"Linha 1: faltam campos (2 de 9)", "Linha 2: faltam campos (3 de 9)"}
                                    << "";
}

void TestMedic::carregaTextoOdd()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, rows);
    QFETCH(QStringList, problems);
    QFETCH(QString, firstDescription);
    const QString path = m_dir->filePath(QStringLiteral("TabMedic.txt"));
    QVERIFY(writeFile(path, bytes));
    Medic m;
    QStringList status;
    const Medic::Carga c = m.carregaTexto(path, [&](const QString &s) { status << s; });
    QCOMPARE(c.linhas, rows);
    QCOMPARE(c.problemas, problems);
    QCOMPARE(m.count(), rows);
    QCOMPARE(status.last(), QStringLiteral("Gravando dados..."));
    if (rows > 0) {
        m.tabela().first();
        QCOMPARE(m.tabela().fieldByName(QStringLiteral("Descricao")).asString(), firstDescription);
        QCOMPARE(m.tabela().fieldByName(QStringLiteral("Id")).asInteger(), 0);
        m.tabela().last();
        // Id is the line index in the file, skipped lines included.
        QCOMPARE(m.tabela().fieldByName(QStringLiteral("Id")).asInteger(),
            bytes.count('\n') - (bytes.endsWith('\n') ? 1 : 0));
    }
}

void TestMedic::abre_data()
{
    QTest::addColumn<bool>("snapshot");
    QTest::addColumn<bool>("text");
    QTest::addColumn<int>("textAgeSecs"); // text older (>0) or newer (<0) than the snapshot
    QTest::addColumn<bool>("novaTabela");
    QTest::addColumn<bool>("damagedSnapshot");
    QTest::addColumn<int>("rows"); // 30: the snapshot's table; 20: the text table; 0: none
    QTest::addColumn<QString>("message"); // start of the message shown, or empty
    QTest::newRow("snapshot newer wins") << true << true << 60 << false << false << 30 << QString();
    QTest::newRow("text newer is loaded") << true << true << -60 << false << false << 20 << QString();
    QTest::newRow("only the snapshot") << true << false << 0 << false << false << 30 << QString();
    QTest::newRow("only the text") << false << true << 0 << false << false << 20 << QString();
    QTest::newRow("new table flag drops the snapshot") << true << true << 60 << true << false << 20 << QString();
    QTest::newRow("damaged snapshot, text used") << true << true << 60 << false << true << 20 << QString();
    QTest::newRow("damaged snapshot, no text")
        << true << false << 0 << false << true << 0
        << QStringLiteral("A Tabela de Medicamentos (Medic.Tab) está danificada.");
    QTest::newRow("nothing") << false << false << 0 << false << false << 0
                             << QStringLiteral("Não consegui abrir a Tabela de Medicamentos.\rClique no botão Opções, "
                                               "\"Atualização da Tabela Medicamentos\" e baixe uma nova tabela.");
}

void TestMedic::abre()
{
    QFETCH(bool, snapshot);
    QFETCH(bool, text);
    QFETCH(int, textAgeSecs);
    QFETCH(bool, novaTabela);
    QFETCH(bool, damagedSnapshot);
    QFETCH(int, rows);
    QFETCH(QString, message);
    const QString dir = m_dir->path();
    IniFile ini(m_dir->filePath(QStringLiteral("STBrelva3.ini")));
    SetTabMedicMesAno(ini, QStringLiteral("MARÇO/2025"));
    ini.writeBool(QStringLiteral("Medicamento"), QStringLiteral("TabMedic.txt.NovaTabela"), novaTabela);
    const QDateTime now = QDateTime::currentDateTime();
    const QString snap = m_dir->filePath(QStringLiteral("Medic.Tab"));
    if (snapshot) {
        Medic source;
        QVERIFY(writeFile(m_dir->filePath(QStringLiteral("fonte.txt")), tabela(30)));
        source.carregaTexto(m_dir->filePath(QStringLiteral("fonte.txt")));
        source.salvaSnapshot(snap);
        QFile::remove(m_dir->filePath(QStringLiteral("fonte.txt")));
        if (damagedSnapshot) {
            QFile f(snap);
            QVERIFY(f.open(QIODevice::ReadWrite));
            f.resize(f.size() / 3);
        }
        setTime(snap, now);
    }
    // The text table as found in the folder, named in another case.
    const QString txt = m_dir->filePath(QStringLiteral("TABMEDIC.TXT"));
    if (text) {
        QVERIFY(writeFile(txt, tabela(20)));
        setTime(txt, now.addSecs(-textAgeSecs));
    }
    Medic m;
    QStringList status;
    const bool opened = m.abre(dir, ini, [&](const QString &s) { status << s; });
    QCOMPARE(opened, rows > 0);
    QCOMPARE(m.count(), rows);
    if (message.isEmpty())
        QVERIFY2(m_sink.texts().isEmpty(), qPrintable(m_sink.texts().join(QLatin1Char('|'))));
    else
        QCOMPARE(m_sink.texts().value(0), message);
    if (rows == 30)
        QCOMPARE(status.first(), QStringLiteral("Abrindo Tabela de Medicamentos de MARÇO/2025..."));
    if (rows == 20) {
        QVERIFY(status.contains(QStringLiteral("Aguarde... Carregando Tabela de Medicamentos...")));
        QVERIFY(status.contains(QStringLiteral("Processando 20 de 20...")));
        // The text became the snapshot, which a second opening reads.
        QVERIFY(QFileInfo(snap).isFile());
        Medic again;
        status.clear();
        QVERIFY(again.abre(dir, ini, [&](const QString &s) { status << s; }));
        QCOMPARE(again.count(), 20);
        QVERIFY(status.first().startsWith(QLatin1String("Abrindo")));
    }
    // A loaded table leaves no text table behind; nothing loaded leaves the folder as it was.
    QCOMPARE(QFileInfo::exists(txt), text && rows == 0);
    QCOMPARE(ini.readBool(QStringLiteral("Medicamento"), QStringLiteral("TabMedic.txt.NovaTabela")), false);
    QCOMPARE(TabMedicMesAno(ini), rows == 0 ? QStringLiteral("-") : QStringLiteral("MARÇO/2025"));
    QCOMPARE(m.mesAno(), TabMedicMesAno(ini));
}

void TestMedic::pesquisa_data()
{
    QTest::addColumn<QString>("texto");
    QTest::addColumn<int>("busca");
    QTest::addColumn<QStringList>("found"); // descriptions in order
    const int cod = static_cast<int>(Medic::Busca::CodBarra);
    const int pre = static_cast<int>(Medic::Busca::Prefixo);
    const int con = static_cast<int>(Medic::Busca::Contem);
    QTest::newRow("bar code") << "7890000000002" << cod << QStringList {"ÁGUA BORICADA 3%"};
    QTest::newRow("bar code not found") << "789000000000" << cod << QStringList {};
    QTest::newRow("first word as prefix")
        << "dipirona sódica" << pre << QStringList {"DIPIRONA 500MG", "DIPIRONA GOTAS"};
    QTest::newRow("prefix does not match inside") << "SODICA" << pre << QStringList {};
    QTest::newRow("contained word") << "sodica" << con << QStringList {"METAMIZOL SODICA 1G"};
    QTest::newRow("accented word upper-cased") << "água" << pre << QStringList {"ÁGUA BORICADA 3%", "ÁGUA D'AGUA 1L"};
    QTest::newRow("quote in the word") << "D'AGUA" << con << QStringList {"ÁGUA D'AGUA 1L"};
    QTest::newRow("percent is literal") << "3%" << con << QStringList {"ÁGUA BORICADA 3%"};
    QTest::newRow("underscore is literal") << "A_B" << con << QStringList {"X A_B"};
    QTest::newRow("accented lower-case word inside")
        << "ção" << con << QStringList {"AÇÃO RÁPIDA XAROPE", "Solução Fisiológica 0,9%"};
    QTest::newRow("accented word as prefix") << "ação rápida" << pre << QStringList {"AÇÃO RÁPIDA XAROPE"};
    QTest::newRow("mixed case against mixed case") << "FiSiOlÓgIcA" << con << QStringList {"Solução Fisiológica 0,9%"};
    QTest::newRow("lower-case row, plain word") << "solu" << pre << QStringList {"Solução Fisiológica 0,9%"};
    QTest::newRow("accents are not dropped") << "acao" << con << QStringList {};
    QTest::newRow("empty text lists all")
        << "" << pre
        << QStringList {"AÇÃO RÁPIDA XAROPE", "DIPIRONA 500MG", "DIPIRONA GOTAS", "METAMIZOL SODICA 1G",
               "Solução Fisiológica 0,9%", "X A_B", "XAYB", "ÁGUA BORICADA 3%", "ÁGUA D'AGUA 1L"};
}

void TestMedic::pesquisa()
{
    QFETCH(QString, texto);
    QFETCH(int, busca);
    QFETCH(QStringList, found);
    const QString path = m_dir->filePath(QStringLiteral("TabMedic.txt"));
    QVERIFY(writeFile(path,
        QStringLiteral("7890000000001;DIPIRONA 500MG;1;0;0;0;;L;+\n"
                       "7890000000002;ÁGUA BORICADA 3%;1;0;0;0;;L;+\n"
                       "7890000000003;METAMIZOL SODICA 1G;1;0;0;0;;L;+\n"
                       "7890000000004;ÁGUA D'AGUA 1L;1;0;0;0;;L;+\n"
                       "7890000000005;X A_B;1;0;0;0;;L;+\n"
                       "7890000000006;XAYB;1;0;0;0;;L;+\n"
                       "7890000000007;DIPIRONA GOTAS;1;0;0;0;;L;+\n"
                       "7890000000008;Solução Fisiológica 0,9%;1;0;0;0;;L;+\n"
                       "7890000000009;AÇÃO RÁPIDA XAROPE;1;0;0;0;;L;+\n")
            .toUtf8()));
    Medic m;
    m.carregaTexto(path);
    db::Query q(&m.database());
    m.pesquisa(q, texto, static_cast<Medic::Busca>(busca));
    QStringList got;
    for (q.first(); !q.eof(); q.next())
        got << q.fieldByName(QStringLiteral("DESCRICAO")).asString();
    QCOMPARE(got, found);
    q.first();
    if (!found.isEmpty())
        QVERIFY(q.fieldByName(QStringLiteral("VALOR1")).displayText().contains(QLatin1Char(',')));
}

void TestMedic::preco_data()
{
    QTest::addColumn<bool>("generico");
    QTest::addColumn<QStringList>("valores");
    QTest::addColumn<QString>("aliq");
    QTest::addColumn<QString>("preco");
    QTest::newRow("reference drug") << false << QStringList {"10", "8", "11", "9"} << "18"
                                    << "10";
    QTest::newRow("reference, Valor1 zero") << false << QStringList {"0", "8", "11", "9"} << "18"
                                            << "11";
    QTest::newRow("generic") << true << QStringList {"10", "8", "11", "9"} << "12"
                             << "8";
    QTest::newRow("generic, Valor2 zero") << true << QStringList {"10", "0", "11", "9"} << "12"
                                          << "9";
    QTest::newRow("generic, both zero") << true << QStringList {"10", "0", "11", "0"} << "12"
                                        << "0";
}

void TestMedic::preco()
{
    QFETCH(bool, generico);
    QFETCH(QStringList, valores);
    QFETCH(QString, aliq);
    QFETCH(QString, preco);
    const PrecoMedic p = PrecoMedicamento(generico, cur(qPrintable(valores[0])), cur(qPrintable(valores[1])),
        cur(qPrintable(valores[2])), cur(qPrintable(valores[3])));
    QCOMPARE(p.aliqICMS, cur(qPrintable(aliq)));
    QCOMPARE(p.preco, cur(qPrintable(preco)));
}

void TestMedic::mvaLista_data()
{
    QTest::addColumn<QString>("lista");
    QTest::addColumn<bool>("interna");
    QTest::addColumn<QString>("aliq");
    QTest::addColumn<QString>("key");
    QTest::addColumn<double>("mva");
    QTest::newRow("positive, internal, 18") << "Positiva" << true << "18"
                                            << "stPosQZ18" << 38.24;
    QTest::newRow("positive, interstate, 12") << "Positiva" << false << "12"
                                              << "stPosUF12" << 40.5;
    QTest::newRow("negative, internal, 12") << "Negativa" << true << "12"
                                            << "stNegQZ12" << 33.0;
    QTest::newRow("neutral by default") << "Neutra" << false << "18"
                                        << "stNeuUF18" << 41.38;
    QTest::newRow("unknown list is neutral") << "" << true << "18"
                                             << "stNeuQZ18" << 0.0;
    QTest::newRow("17.5 reads the 12 key") << "Positiva" << false << "17.5"
                                           << "stPosUF12" << 40.5;
}

void TestMedic::mvaLista()
{
    QFETCH(QString, lista);
    QFETCH(bool, interna);
    QFETCH(QString, aliq);
    QFETCH(QString, key);
    QFETCH(double, mva);
    QCOMPARE(ChaveMVAMedic(lista, interna, cur(qPrintable(aliq))), key);
    IniFile ini(m_dir->filePath(QStringLiteral("STBrelva2.ini")));
    ini.writeString(QStringLiteral("MVA.Medic.15.1"), QStringLiteral("stPosQZ18"), QStringLiteral("38,24"));
    ini.writeString(QStringLiteral("MVA.Medic.15.1"), QStringLiteral("stPosUF12"), QStringLiteral("40,5"));
    ini.writeString(QStringLiteral("MVA.Medic.15.1"), QStringLiteral("stNegQZ12"), QStringLiteral("33"));
    ini.writeString(QStringLiteral("MVA.Medic.15.1"), QStringLiteral("stNeuUF18"), QStringLiteral("41,38"));
    QCOMPARE(MVAListaMedic(ini, lista, interna, cur(qPrintable(aliq))), mva);
}

void TestMedic::instala_data()
{
    QTest::addColumn<QString>("failure");
    QTest::addColumn<QStringList>("messages");
    const QString conc
        = QStringLiteral("Não consegui atualizar a tabela. Talvez outra estação esteja usando o sistema ST/Brelva!");
    QTest::newRow("success") << "" << QStringList {"Procedimento realizado com sucesso!"};
    QTest::newRow("source missing") << "source" << QStringList {"Não consegui copiar a Tabela..."};
    QTest::newRow("snapshot cannot be replaced") << "snapshot" << QStringList {conc};
    QTest::newRow("new table without medicines")
        << "empty"
        << QStringList {"A nova Tabela de Medicamentos não tem nenhum medicamento "
                        "válido.\r1 linha(s) da Tabela de Medicamentos foram "
                        "ignoradas:\rLinha 1: faltam campos (1 de 9)"};
}

void TestMedic::instala()
{
    QFETCH(QString, failure);
    QFETCH(QStringList, messages);
    const QString dados = m_dir->filePath(QStringLiteral("Dados"));
    QVERIFY(QDir().mkpath(dados));
    IniFile ini(m_dir->filePath(QStringLiteral("STBrelva3.ini")));
    SetTabMedicMesAno(ini, QStringLiteral("JANEIRO/2025"));
    // The table in use: a snapshot of 30 medicines.
    const QString snap = QDir(dados).filePath(QStringLiteral("Medic.Tab"));
    {
        Medic old;
        QVERIFY(writeFile(m_dir->filePath(QStringLiteral("velha.txt")), tabela(30)));
        old.carregaTexto(m_dir->filePath(QStringLiteral("velha.txt")));
        old.salvaSnapshot(snap);
    }
    const QByteArray snapBefore = [&] {
        QFile f(snap);
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();
    const QString novo = m_dir->filePath(QStringLiteral("TB_MEDICAMENTO_022025.txt"));
    if (failure != QLatin1String("source"))
        QVERIFY(writeFile(novo, failure == QLatin1String("empty") ? QByteArray("lixo\n") : tabela(25, "NOVO")));
    if (failure == QLatin1String("snapshot")) {
        // A folder standing where the snapshot's replacement is written.
        QVERIFY(QDir().mkpath(snap + QStringLiteral(".novo.tmp")));
    }
    const QString alvo = QDir(dados).filePath(QStringLiteral("TabMedic.txt"));
    const bool ok = InstalaTabelaMedic(novo, alvo, QStringLiteral("FEVEREIRO/2025"), ini);
    QCOMPARE(ok, failure.isEmpty());
    QCOMPARE(m_sink.texts(), messages);
    QVERIFY(!QFileInfo::exists(alvo));
    Medic m;
    m_sink.clear();
    QVERIFY(m.abre(dados, ini));
    if (ok) {
        QCOMPARE(TabMedicMesAno(ini), QStringLiteral("FEVEREIRO/2025"));
        QCOMPARE(m.count(), 25);
    } else {
        // Nothing of the previous table is lost.
        QCOMPARE(TabMedicMesAno(ini), QStringLiteral("JANEIRO/2025"));
        QCOMPARE(m.count(), 30);
        QFile f(snap);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.readAll() == snapBefore);
    }
    QCOMPARE(QDir(dados).entryList(QDir::Files), QStringList {QStringLiteral("Medic.Tab")});
}

void TestMedic::snapshotDanificadoMantemLinhas_data()
{
    // Where the damage sits in a snapshot of 3,000 medicines (fractions of the file).
    QTest::addColumn<QString>("dano");
    QTest::newRow("cut at two thirds") << QStringLiteral("corte");
    QTest::newRow("pages in the middle overwritten") << QStringLiteral("meio");
    QTest::newRow("not a table file") << QStringLiteral("lixo");
}

void TestMedic::snapshotDanificadoMantemLinhas()
{
    QFETCH(QString, dano);
    const QString fonte = m_dir->filePath(QStringLiteral("fonte.txt"));
    const QString snap = m_dir->filePath(QStringLiteral("Medic.Tab"));
    {
        Medic grande;
        QVERIFY(writeFile(fonte, tabela(3000, "NOVO")));
        grande.carregaTexto(fonte);
        grande.salvaSnapshot(snap);
    }
    QFile f(snap);
    QVERIFY(f.open(QIODevice::ReadWrite));
    const qint64 size = f.size();
    if (dano == QLatin1String("corte")) {
        QVERIFY(f.resize(size * 2 / 3));
    } else if (dano == QLatin1String("meio")) {
        f.seek(size / 2);
        f.write(QByteArray(8192, '\x5a'));
    } else {
        f.seek(0);
        f.write(QByteArray(size, '\x5a'));
    }
    f.close();

    // The table in use keeps its 30 rows, whatever part of the file was read.
    QVERIFY(writeFile(fonte, tabela(30)));
    Medic m;
    m.carregaTexto(fonte);
    QVERIFY_THROWS_EXCEPTION(db::EngineError, m.carregaSnapshot(snap));
    QCOMPARE(m.count(), 30);
    db::Query q(&m.database());
    m.pesquisa(q, QStringLiteral("NOVO"), Medic::Busca::Prefixo);
    QCOMPARE(q.recordCount(), 0);
    m.pesquisa(q, QStringLiteral("REMEDIO"), Medic::Busca::Prefixo);
    QCOMPARE(q.recordCount(), 30);
}

void TestMedic::ordemSemCaixa_data()
{
    // The description index compares without regard to case: ASCII text is
    // compared in place, anything else through the Unicode upper case.
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<int>("ordem");
    QTest::newRow("case only") << "dipirona"
                               << "DIPIRONA" << 0;
    QTest::newRow("mixed case") << "DiPiRoNa 500mg"
                                << "dIpIrOnA 500MG" << 0;
    QTest::newRow("one letter apart") << "abc"
                                      << "ABD" << -1;
    QTest::newRow("prefix first") << "ab"
                                  << "ABC" << -1;
    QTest::newRow("longer last") << "ABC"
                                 << "ab" << 1;
    QTest::newRow("empty first") << ""
                                 << "a" << -1;
    QTest::newRow("letters fold up, not down") << "["
                                               << "a" << 1;
    QTest::newRow("underscore after letters") << "_x"
                                              << "ax" << 1;
    QTest::newRow("digits before letters") << "9"
                                           << "a" << -1;
    QTest::newRow("accented, case only") << "café"
                                         << "CAFÉ" << 0;
    QTest::newRow("accent after plain letters") << "é"
                                                << "E" << 1;
    QTest::newRow("accent after plain, other case") << "e"
                                                    << "É" << -1;
    QTest::newRow("cedilla after C") << "ção"
                                     << "CAO" << 1;
    QTest::newRow("ASCII prefix then accent") << "ab"
                                              << "abé" << -1;
    QTest::newRow("equal prefix, accents differ") << "AGUA Á"
                                                  << "agua à" << 1;
}

void TestMedic::ordemSemCaixa()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(int, ordem);
    Medic m;
    db::Query q(&m.database());
    q.setSql(QStringLiteral(
        "SELECT CASE WHEN :a1 = :b1 COLLATE PTCI THEN 0 WHEN :a2 < :b2 COLLATE PTCI THEN -1 ELSE 1 END"));
    q.paramByName(QStringLiteral("a1")).setAsString(a);
    q.paramByName(QStringLiteral("b1")).setAsString(b);
    q.paramByName(QStringLiteral("a2")).setAsString(a);
    q.paramByName(QStringLiteral("b2")).setAsString(b);
    q.open();
    QCOMPARE(q.field(0).asInteger(), ordem);
    // The same order from the other side.
    q.close();
    q.paramByName(QStringLiteral("a1")).setAsString(b);
    q.paramByName(QStringLiteral("b1")).setAsString(a);
    q.paramByName(QStringLiteral("a2")).setAsString(b);
    q.paramByName(QStringLiteral("b2")).setAsString(a);
    q.open();
    QCOMPARE(q.field(0).asInteger(), -ordem);
}

void TestMedic::likeSemCaixa_data()
{
    // st_likeci answers as UPPER(text) LIKE UPPER(pattern) ESCAPE '\' does,
    // through its ASCII, Latin-1 and Unicode paths.
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<bool>("match");
    auto row = [](const char *name, const QString &text, const char *pattern, bool match) {
        QTest::newRow(name) << text << QString::fromUtf8(pattern) << match;
    };
    row("contained, ASCII", QStringLiteral("Dipirona 500mg"), "%PIRO%", true);
    row("contained, not there", QStringLiteral("Dipirona 500mg"), "%PIRA%", false);
    row("contained at the end", QStringLiteral("Dipirona"), "%ONA%", true);
    row("prefix, lower-case pattern", QStringLiteral("DIPIRONA"), "dip%", true);
    row("prefix longer than the text", QStringLiteral("DIP"), "DIPI%", false);
    row("prefix is not inside", QStringLiteral("XDIPIRONA"), "DIP%", false);
    row("whole text", QStringLiteral("dipirona"), "DIPIRONA", true);
    row("whole text, one more letter", QStringLiteral("dipironas"), "DIPIRONA", false);
    row("accented, other case", QStringLiteral("água"), "%ÁGUA", true);
    row("accent is a letter of its own", QStringLiteral("água"), "%AGUA%", false);
    row("cedilla and tilde, other case", QStringLiteral("Solução"), "%ÇÃO", true);
    row("underscore is one accented letter", QStringLiteral("ação"), "A_ÃO", true);
    row("underscore is not zero letters", QStringLiteral("aão"), "A_ÃO", false);
    row("y with diaeresis", QStringLiteral("ÿ"), "Ÿ", true);
    row("micro sign becomes mu", QStringLiteral("5µg"), "%Μ%", true);
    row("sharp s becomes SS", QStringLiteral("straße"), "%SS%", true);
    row("SS in the pattern text as sharp s", QStringLiteral("STRASSE"), "%ß%", true);
    row("greek letters", QStringLiteral("ωmega"), "ΩME%", true);
    row("ligature becomes two letters", QStringLiteral("oﬀ"), "OFF", true);
    row("long Latin-1 text", QString(300, QChar(0xE9)) + QStringLiteral("x"), "%ÉX", true);
    row("long Latin-1 text, no match", QString(300, QChar(0xE9)) + QStringLiteral("x"), "%ÉY", false);
    row("escaped percent", QStringLiteral("3%"), "%3\\%", true);
    row("escaped percent is literal", QStringLiteral("3x"), "%3\\%", false);
    row("escaped underscore", QStringLiteral("a_b"), "%\\_%", true);
    row("escaped underscore is literal", QStringLiteral("ab"), "%\\_%", false);
    row("escaped letter", QStringLiteral("xa"), "%\\A", true);
    row("lone escape at the end", QStringLiteral("x\\"), "x\\", false);
    row("quote", QStringLiteral("D'AGUA"), "%d'agua%", true);
    row("backtracking over a false start", QStringLiteral("aab"), "%ab", true);
    row("two runs", QStringLiteral("mississippi"), "%ISS%IPP%", true);
    row("two runs out of order", QStringLiteral("mississippi"), "%IPP%ISS%", false);
    row("percent matches empty text", QString(), "%", true);
    row("underscore needs a letter", QString(), "_", false);
}

void TestMedic::likeSemCaixa()
{
    QFETCH(QString, text);
    QFETCH(QString, pattern);
    QFETCH(bool, match);
    Medic m;
    db::Query q(&m.database());
    q.setSql(QStringLiteral("SELECT ST_LIKECI(:t1, :p1, '\\'), UPPER(:t2) LIKE UPPER(:p2) ESCAPE '\\'"));
    q.paramByName(QStringLiteral("t1")).setAsString(text);
    q.paramByName(QStringLiteral("p1")).setAsString(pattern);
    q.paramByName(QStringLiteral("t2")).setAsString(text);
    q.paramByName(QStringLiteral("p2")).setAsString(pattern);
    q.open();
    QCOMPARE(q.field(0).asInteger() != 0, match);
    QCOMPARE(q.field(1).asInteger() != 0, match);
}

void TestMedic::likeSemCaixaPadraoPorLinha()
{
    // A pattern that changes from row to row is read again for each row.
    Medic m;
    db::Query q(&m.database());
    q.setSql(QStringLiteral(
        "SELECT GROUP_CONCAT(N) FROM (SELECT 1 N, 'abc' T, '%B%' P UNION ALL SELECT 2, 'abc', '%X%' "
        "UNION ALL SELECT 3, 'xyz', '%X%' UNION ALL SELECT 4, 'a%', 'A|%' UNION ALL SELECT 5, 'ab', 'A|%') "
        "WHERE ST_LIKECI(T, P, CASE WHEN N < 4 THEN '\\' ELSE '|' END)"));
    q.open();
    QCOMPARE(q.field(0).asString(), QStringLiteral("1,3,4"));
}

QTEST_GUILESS_MAIN(TestMedic)
#include "tst_medic.moc"
