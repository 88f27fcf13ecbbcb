// Settings: every key's default with no files, malformed values, writes seen
// at once by another process, the one-byte accessors, the registry roots and
// the taxpayer edition's erased sections. Built for both editions.
#include "core/datedvalues.h"
#include "core/edition.h"
#include "core/settings.h"
#include "platform/registry.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace stb;

namespace {

enum Arquivo { Sistema, Local2, Dados };

QString txt(bool v) { return v ? QStringLiteral("1") : QStringLiteral("0"); }
QString txt(int v) { return QString::number(v); }
QString txt(Currency v) { return v.toPlainString(2); }
QString txt(const QString &v) { return v; }
QString txt(const QDate &v) { return v.isValid() ? v.toString(Qt::ISODate) : QString(); }

// One key: where it lives, its default as the tables give it ("$APP" stands
// for AppDir), whether it has a type that text can break, and its reader.
struct Chave {
    const char *file_section_key;
    Arquivo arquivo;
    const char *padrao;
    bool tipado;
    std::function<QString(Settings &)> ler;
};

const QList<Chave> &chaves()
{
    static const QList<Chave> list = {
        {"Sistema/BaseDadosPath", Sistema, "$APPDados/", false, [](Settings &s) { return txt(s.baseDadosPath()); }},
        {"Sistema/LocalDrive", Sistema, "0", true, [](Settings &s) { return txt(s.localDrive()); }},
        {"Sistema/BaseARM", Sistema, "0", true, [](Settings &s) { return txt(s.baseARM()); }},
        {"Sistema/Reindex", Sistema, "1", true, [](Settings &s) { return txt(s.reindex()); }},
        {"Sistema/ReindexOnce", Sistema, "0", true, [](Settings &s) { return txt(s.reindexOnce()); }},
        {"Sistema/AliqCreditoICMS", Sistema, "12.00", true, [](Settings &s) { return txt(s.aliqCreditoICMS()); }},
        {"Sistema/AliqCreditoICMSAviso", Sistema, "1", true, [](Settings &s) { return txt(s.aliqCreditoICMSAviso()); }},
        {"Sistema/CalculaMR", Sistema, "1", true, [](Settings &s) { return txt(s.calculaMR()); }},
        {"Sistema/Auditor", Sistema, "0", true, [](Settings &s) { return txt(s.auditor()); }},
        {"Sistema/AtualizaSistema", Sistema, "1", true, [](Settings &s) { return txt(s.atualizaSistema()); }},
        {"Sistema/AtualizaDados", Sistema, "1", true, [](Settings &s) { return txt(s.atualizaDados()); }},
        {"Sistema/StartHelp", Sistema, "0", true, [](Settings &s) { return txt(s.startHelp()); }},
        {"Sistema/Help", Sistema, "0", true, [](Settings &s) { return txt(s.help()); }},
        {"Sistema/ExecARM", Sistema, "1", true, [](Settings &s) { return txt(s.ExecARM()); }},
        {"Sistema/IniAuto", Sistema, "1", true, [](Settings &s) { return txt(s.IniAuto()); }},
        {"Sistema/Link.AllUsers", Sistema, "0", true, [](Settings &s) { return txt(s.LinkAllUsers()); }},
        {"Sistema/Link.Ex", Sistema, "1", true, [](Settings &s) { return txt(s.linkEx()); }},
        {"Sistema/Link.1", Sistema, "1", true, [](Settings &s) { return txt(s.link1()); }},
        {"Sistema/Link.2", Sistema, "0", true, [](Settings &s) { return txt(s.link2()); }},
        {"Sistema/Msg2", Sistema, "0", true, [](Settings &s) { return txt(s.msg2()); }},
        {"Sistema/PrintEmail", Sistema, "1", true, [](Settings &s) { return txt(s.printEmail()); }},
        {"Sistema/PrintPDF", Sistema, "1", true, [](Settings &s) { return txt(s.printPDF()); }},
        {"Sistema/PrintXLS", Sistema, "1", true, [](Settings &s) { return txt(s.printXLS()); }},
        {"Sistema/PrintRTF", Sistema, "0", true, [](Settings &s) { return txt(s.printRTF()); }},
        {"Sistema/Nesh2007", Sistema, "$APP", false, [](Settings &s) { return txt(s.nesh2007()); }},
        {"Sistema/ConsultaNBM", Sistema, "", false, [](Settings &s) { return txt(s.consultaNBM()); }},
        {"Sistema/RemoveRegEsp", Sistema, "0", true, [](Settings &s) { return txt(s.removeRegEsp()); }},
        {"Sistema/OpInterna", Sistema, "0", true, [](Settings &s) { return txt(s.opInterna()); }},
        {"Sistema/SomaMR", Sistema, "1", true, [](Settings &s) { return txt(s.somaMR()); }},
        {"Sistema/MRNormal", Sistema, "50", true, [](Settings &s) { return txt(s.mrNormal()); }},
        {"Sistema/MREmDobro", Sistema, "100", true, [](Settings &s) { return txt(s.mrEmDobro()); }},
        {"Sistema/MRReducao", Sistema, "20", true, [](Settings &s) { return txt(s.mrReducao()); }},
        {"Sistema/VoceSabia", Sistema, "0", true, [](Settings &s) { return txt(s.voceSabia()); }},
        {"Sistema/Security", Sistema, "", false, [](Settings &s) { return txt(s.security()); }},
        {"Unidade/Unidade", Sistema, "", false, [](Settings &s) { return txt(s.unidade()); }},
        {"Unidade/Usuario", Sistema, "", false, [](Settings &s) { return txt(s.usuario()); }},
        {"Unidade/Telefone", Sistema, "", false, [](Settings &s) { return txt(s.telefone()); }},
        {"Unidade/Email", Sistema, "", false, [](Settings &s) { return txt(s.email()); }},
        {"Unidade/Prefixo.TRM", Sistema, "0758", false, [](Settings &s) { return txt(s.prefixoTRM()); }},
        {"HostFazenda/Host", Sistema, "atualiza.stbrelva.local", false, [](Settings &s) { return txt(s.host()); }},
        {"HostFazenda/ProxyIE", Sistema, "1", true, [](Settings &s) { return txt(s.proxyIE()); }},
        {"HostFazenda/Proxy", Sistema, "", false, [](Settings &s) { return txt(s.proxy()); }},
        {"HostFazenda/Porta", Sistema, "", false, [](Settings &s) { return txt(s.porta()); }},
        {"HostFazenda/SendMail", Sistema, "1", true, [](Settings &s) { return txt(s.sendMail()); }},
        {"HostFazenda/ShowMail", Sistema, "1", true, [](Settings &s) { return txt(s.showMail()); }},
        {"Versao/1.9.1.0", Sistema, "0", true,
            [](Settings &s) { return txt(s.versaoAplicada(QStringLiteral("1.9.1.0"))); }},
        {"Versao/1.9.4.0", Sistema, "0", true,
            [](Settings &s) { return txt(s.versaoAplicada(QStringLiteral("1.9.4.0"))); }},
        {"Versao/VersaoAtual", Sistema, "", false, [](Settings &s) { return txt(s.versaoAtual()); }},
        {"Modulo/Contribuinte", Sistema, "0", true, [](Settings &s) { return txt(s.moduloContribuinte()); }},
        {"ListaMedic/Negativa", Sistema, "33.00", true, [](Settings &s) { return txt(s.listaNegativa()); }},
        {"ListaMedic/Positiva", Sistema, "38.24", true, [](Settings &s) { return txt(s.listaPositiva()); }},
        {"ListaMedic/Neutra", Sistema, "41.38", true, [](Settings &s) { return txt(s.listaNeutra()); }},
        {"AliqIPI/01.001.00", Sistema, "0.00", true,
            [](Settings &s) { return txt(s.aliqIPI(QStringLiteral("01.001.00"))); }},
        {"MVA.Medic.15.1/stNegQZ18", Local2, "0.00", true,
            [](Settings &s) { return txt(s.mvaMedic(QStringLiteral("stNegQZ18"))); }},
        {"Sistema/Portaria.Bebidas", Local2, "", false, [](Settings &s) { return txt(s.portariaBebidas()); }},
        {"Estrutura/2009.04.01", Dados, "0", true,
            [](Settings &s) { return txt(s.estruturaAplicada(QStringLiteral("2009.04.01"))); }},
        {"Medicamento/TabMedic.txt", Dados, "", false, [](Settings &s) { return txt(s.tabMedicTxt()); }},
        {"Medicamento/TabMedic.txt.NovaTabela", Dados, "0", true,
            [](Settings &s) { return txt(s.tabMedicNovaTabela()); }},
        {"Medicamento/DataTabela", Dados, "", true, [](Settings &s) { return txt(s.dataTabela()); }},
    };
    return list;
}

} // namespace

class TestSettings : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void defaultsWithoutFiles_data();
    void defaultsWithoutFiles();
    void malformedValues_data();
    void malformedValues();
    void writesSeenByAnotherProcess();
    void byteAccessors_data();
    void byteAccessors();
    void typedRoundTrip();
    void registryRoots();
    void editionSections();

private:
    QString app() const { return m_app->path() + QLatin1Char('/'); }
    QString data() const { return m_data->path() + QLatin1Char('/'); }
    IniFile &arquivo(Settings &s, Arquivo a)
    {
        return a == Sistema ? s.iniSistema() : a == Local2 ? s.iniLocal2() : s.iniDados();
    }
    bool runChild(const QStringList &args);

    QTemporaryDir m_registry;
    std::unique_ptr<QTemporaryDir> m_app, m_data;
};

void TestSettings::initTestCase()
{
    QVERIFY(m_registry.isValid());
    qputenv("STB_REGISTRY_DIR", QFile::encodeName(m_registry.path()));
}

void TestSettings::init()
{
    m_app = std::make_unique<QTemporaryDir>();
    m_data = std::make_unique<QTemporaryDir>();
    QVERIFY(m_app->isValid() && m_data->isValid());
    for (const QString &f : QDir(m_registry.path()).entryList(QDir::Files | QDir::Hidden))
        QFile::remove(m_registry.filePath(f));
}

void TestSettings::defaultsWithoutFiles_data()
{
    QTest::addColumn<int>("index");
    for (int i = 0; i < chaves().size(); ++i)
        QTest::newRow(chaves()[i].file_section_key) << i;
}

void TestSettings::defaultsWithoutFiles()
{
    QFETCH(int, index);
    const Chave &c = chaves()[index];
    Settings s;
    s.open(app(), data());
    QCOMPARE(c.ler(s), QString::fromUtf8(c.padrao).replace(QLatin1String("$APP"), app()));
    // Reading creates nothing.
    QVERIFY(QDir(m_app->path()).entryList(QDir::Files).isEmpty());
    QVERIFY(QDir(m_data->path()).entryList(QDir::Files).isEmpty());
}

void TestSettings::malformedValues_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("garbage");
    for (int i = 0; i < chaves().size(); ++i) {
        if (!chaves()[i].tipado)
            continue;
        const QByteArray name = chaves()[i].file_section_key;
        QTest::newRow(QByteArray(name + " letters").constData()) << i << QStringLiteral("31/02/x,y");
        QTest::newRow(QByteArray(name + " empty").constData()) << i << QString();
        QTest::newRow(QByteArray(name + " two commas").constData()) << i << QStringLiteral("1,2,3");
    }
}

void TestSettings::malformedValues()
{
    QFETCH(int, index);
    QFETCH(QString, garbage);
    const Chave &c = chaves()[index];
    Settings s;
    s.open(app(), data());
    const QString path = QString::fromUtf8(c.file_section_key);
    const QString section = path.section(QLatin1Char('/'), 0, 0);
    const QString key = path.section(QLatin1Char('/'), 1);
    QVERIFY(arquivo(s, c.arquivo).writeString(section, key, garbage));
    QCOMPARE(c.ler(s), QString::fromUtf8(c.padrao));
}

bool TestSettings::runChild(const QStringList &args)
{
    QProcess p;
    p.start(
        QCoreApplication::applicationDirPath() + QStringLiteral("/settings_child"), QStringList {app(), data()} + args);
    return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// The values written by another process are read at once, through objects
// opened before the write, in every file and in the registry.
void TestSettings::writesSeenByAnotherProcess()
{
    Settings s;
    s.open(app(), data());
    QCOMPARE(s.reindex(), true);
    QCOMPARE(s.host(), Settings::hostPadrao());
    QVERIFY(!s.handle(QStringLiteral("STBrelva")));

    QVERIFY(runChild(
        {QStringLiteral("Reindex=0"), QStringLiteral("Host=srv.unidade"), QStringLiteral("AliqCreditoICMS=17.5"),
            QStringLiteral("Estrutura=2012.09.01"), QStringLiteral("Handle=STBrelva:4242")}));
    QCOMPARE(s.reindex(), false);
    QCOMPARE(s.host(), QStringLiteral("srv.unidade"));
    QCOMPARE(s.aliqCreditoICMS(), Currency::fromRaw(175000));
    QVERIFY(s.estruturaAplicada(QStringLiteral("2012.09.01")));
    QCOMPARE(s.handle(QStringLiteral("STBrelva")), std::optional<qint64>(4242));

    QVERIFY(runChild({QStringLiteral("Reindex=1"), QStringLiteral("Handle=STBrelva:7")}));
    QCOMPARE(s.reindex(), true);
    QCOMPARE(s.handle(QStringLiteral("stbrelva")), std::optional<qint64>(7));
}

void TestSettings::byteAccessors_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("padrao");
    QTest::newRow("IniAuto") << "IniAuto" << true;
    QTest::newRow("ExecARM") << "ExecARM" << true;
    QTest::newRow("Link.AllUsers") << "Link.AllUsers" << false;
}

void TestSettings::byteAccessors()
{
    QFETCH(QString, key);
    QFETCH(bool, padrao);
    Settings s;
    s.open(app(), data());
    QList<bool> hook;
    QObject::connect(&s, &Settings::execARMChanged, &s, [&](bool v) { hook << v; });
    const auto call = [&](quint8 v) {
        return key == QLatin1String("IniAuto") ? s.IniAuto(v)
            : key == QLatin1String("ExecARM")  ? s.ExecARM(v)
                                               : s.LinkAllUsers(v);
    };
    QCOMPARE(call(255), padrao);
    QCOMPARE(call(!padrao), !padrao); // writes the other value
    QCOMPARE(s.iniSistema().readString(QStringLiteral("Sistema"), key), txt(!padrao));
    QCOMPARE(call(255), !padrao);
    QCOMPARE(call(7), !padrao); // neither a read request nor 0/1: nothing written
    QCOMPARE(call(padrao), padrao);
    QCOMPARE(call(255), padrao);
    const QList<bool> expectedHook = key == QLatin1String("ExecARM") ? QList<bool> {!padrao, padrao} : QList<bool> {};
    QCOMPARE(hook, expectedHook);
}

// What a setter writes reads back through its getter, in the file's own
// conventions ("1"/"0", "," floats, "dd/mm/yyyy").
void TestSettings::typedRoundTrip()
{
    Settings s;
    s.open(app(), data());
    s.setAliqCreditoICMS(Currency::fromRaw(75000));
    QCOMPARE(
        s.iniSistema().readString(QStringLiteral("Sistema"), QStringLiteral("AliqCreditoICMS")), QStringLiteral("7,5"));
    QCOMPARE(s.aliqCreditoICMS(), Currency::fromRaw(75000));
    // Rates are read from their decimal text, never through a binary double:
    // sixteen significant digits come back whole.
    s.setAliqIPI(QStringLiteral("01.001.00"), Currency::fromRaw(9999999999999999LL));
    QCOMPARE(s.iniSistema().readString(QStringLiteral("AliqIPI"), QStringLiteral("01.001.00")),
        QStringLiteral("999999999999,9999"));
    QCOMPARE(s.aliqIPI(QStringLiteral("01.001.00")).toPlainString(4), QStringLiteral("999999999999.9999"));
    s.iniSistema().writeString(QStringLiteral("ListaMedic"), QStringLiteral("Positiva"), QStringLiteral("38,2456"));
    QCOMPARE(s.listaPositiva().toPlainString(4), QStringLiteral("38.2456"));
    s.setDataTabela(QDate(2026, 3, 1));
    QCOMPARE(s.iniDados().readString(QStringLiteral("Medicamento"), QStringLiteral("DataTabela")),
        QStringLiteral("01/03/2026"));
    QCOMPARE(s.dataTabela(), QDate(2026, 3, 1));
    s.setBaseDadosPath(QStringLiteral("//servidor/dados/"));
    QCOMPARE(s.baseDadosPath(), QStringLiteral("//servidor/dados/"));
    s.deleteBaseDadosPath();
    QCOMPARE(s.baseDadosPath(), app() + QStringLiteral("Dados/"));
    s.setProxyIE(false);
    s.setProxy(QStringLiteral("proxy.local"), QStringLiteral("3128"));
    QCOMPARE(s.porta(), QStringLiteral("3128"));
    s.deleteProxy();
    QVERIFY(!s.iniSistema().valueExists(QStringLiteral("HostFazenda"), QStringLiteral("Proxy")));
    QVERIFY(!s.iniSistema().valueExists(QStringLiteral("HostFazenda"), QStringLiteral("Porta")));
    s.setUnidade(QString(), QStringLiteral("Maria"), QString(), QString());
    QCOMPARE(s.unitName(), QStringLiteral("Maria"));
    s.setUnidade(QStringLiteral("AF Centro"), QStringLiteral("Maria"), QString(), QString());
    QCOMPARE(s.unitName(), QStringLiteral("AF Centro"));
    s.replaceLinksSistema(
        {{QStringLiteral("B"), QStringLiteral("http://b")}, {QStringLiteral("A"), QStringLiteral("http://a")}});
    s.replaceLinksSistema(
        {{QStringLiteral("Z"), QStringLiteral("http://z")}, {QStringLiteral("B"), QStringLiteral("http://b2")}});
    const QList<QPair<QString, QString>> links {
        {QStringLiteral("Z"), QStringLiteral("http://z")}, {QStringLiteral("B"), QStringLiteral("http://b2")}};
    QCOMPARE(s.linksSistema(), links);
}

// Handles are read from the current user first, then from the local machine,
// and written to both; the user's shortcut choices live under the user only.
void TestSettings::registryRoots()
{
    Settings s;
    using R = Registry::Root;
    QVERIFY(Registry::writeInteger(R::LocalMachine, Settings::chaveHandles(), QStringLiteral("Brelva.Main"), 11));
    QCOMPARE(s.handle(QStringLiteral("Brelva.Main")), std::optional<qint64>(11));
    QVERIFY(Registry::writeInteger(
        R::CurrentUser, QStringLiteral("\\software\\orvant\\handles"), QStringLiteral("BRELVA.MAIN"), 22));
    QCOMPARE(s.handle(QStringLiteral("Brelva.Main")), std::optional<qint64>(22));
    QVERIFY(Registry::writeString(
        R::CurrentUser, Settings::chaveHandles(), QStringLiteral("ARM.Main"), QStringLiteral("junk")));
    QVERIFY(Registry::writeInteger(R::LocalMachine, Settings::chaveHandles(), QStringLiteral("ARM.Main"), 33));
    QCOMPARE(s.handle(QStringLiteral("ARM.Main")), std::optional<qint64>(33)); // a non-number is no value

    s.setHandleText(QStringLiteral("STBrelva.AppDir"), QStringLiteral("/opt/stbrelva/"));
    QCOMPARE(Registry::readString(R::LocalMachine, Settings::chaveHandles(), QStringLiteral("STBrelva.AppDir")),
        std::optional<QString>(QStringLiteral("/opt/stbrelva/")));
    QCOMPARE(Registry::readString(R::CurrentUser, Settings::chaveHandles(), QStringLiteral("STBrelva.AppDir")),
        std::optional<QString>(QStringLiteral("/opt/stbrelva/")));
    QVERIFY(Registry::deleteValue(R::CurrentUser, Settings::chaveHandles(), QStringLiteral("STBrelva.AppDir")));
    QCOMPARE(s.handleText(QStringLiteral("STBrelva.AppDir")), std::optional<QString>(QStringLiteral("/opt/stbrelva/")));

    QCOMPARE(s.registroLink(QStringLiteral("Link.Ex")), QString());
    s.setRegistroLink(QStringLiteral("Link.Ex"), false);
    QCOMPARE(s.registroLink(QStringLiteral("Link.Ex")), QStringLiteral("0"));
    QVERIFY(!Registry::valueExists(R::LocalMachine, QStringLiteral("\\Software\\STBrelva"), QStringLiteral("Link.Ex")));

    QVERIFY(Registry::writeString(R::CurrentUser,
        QStringLiteral("\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders"),
        QStringLiteral("Common Desktop"), QStringLiteral("/srv/desktop")));
    QCOMPARE(s.shellFolder(QStringLiteral("Common Desktop")), QStringLiteral("/srv/desktop"));
    QVERIFY(!s.shellFolder(QStringLiteral("Startup")).isEmpty());
}

// The taxpayer edition erases the reference sections it must not use, at
// every opening; the tax units' edition keeps them.
void TestSettings::editionSections()
{
    QFile f(app() + QStringLiteral("STBrelva2.ini"));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("[AliqICMS]\n01=25\n[Prazo.AliqICMS]\n01=31/12/2999/30\n[Mensagens]\n01=Aviso\n[mensaliqicms]\n01=x\n"
            "[Links]\nTIPI=http://tipi\n[RE.Atacadistas]\n1=a\n[MVAAjustada.Mensagem]\n01.001.00=Nota\n"
            "[CodMercadoria]\n1=2\n[Mercadorias]\n2=x\n[CodOcorrencia]\nOcorrencias=x\n[Prazo.MensAliqICMS]\n01=1/1/"
            "2999/x\n");
    f.close();
    Settings &s = Settings::instance();
    s.open(app(), data());
    const QStringList erased = Settings::secoesApagadasContribuinte();
    QCOMPARE(erased.size(), 9);
    for (const QString &section : erased)
        QCOMPARE(s.iniLocal2().sectionExists(section), !Contribuinte);
    QVERIFY(s.iniLocal2().sectionExists(QStringLiteral("Links")));
    QVERIFY(s.iniLocal2().sectionExists(QStringLiteral("MVAAjustada.Mensagem")));
    QCOMPARE(s.links().size(), 1);
    // What the dated values make of it in each edition.
    QCOMPARE(AliqICMSCodigo(QStringLiteral("01.001.00"), 0), Currency::fromInt(Contribuinte ? 18 : 30));
    QCOMPARE(AliqICMSCodigo(QStringLiteral("01.001.00"), 2), Currency::fromInt(Contribuinte ? 18 : 25));
    QCOMPARE(MensagemItem(QStringLiteral("01.001.00")), Contribuinte ? QString() : QStringLiteral("Aviso"));
    QCOMPARE(TextoMVAAjustada(QStringLiteral("01.001.00")).isEmpty(), Contribuinte);
}

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
