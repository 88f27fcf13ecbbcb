// The application shell, headless: the start-up sequence, the calculation
// view and its commands, the close rules, the calculation list, the registers
// and the settings dialogs. Every question is answered by script.
#include "core/datamodule.h"
#include "core/messages.h"
#include "core/settings.h"
#include "entry/cadempresa.h"
#include "entry/datasetmodel.h"
#include "entry/dbgrid.h"
#include "entry/escolhecalculo.h"
#include "entry/partes.h"
#include "platform/clock.h"
#include "platform/db/database.h"
#include "platform/drives.h"
#include "platform/inifile.h"
#include "shell/appglobals.h"
#include "shell/dbmaint.h"
#include "shell/dlgopcoes.h"
#include "shell/dlgunidade.h"
#include "shell/formminimiza.h"
#include "shell/mainwindow.h"
#include "tests/support/testenv.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolButton>

using namespace stb;
using stbtest::TestInstall;

namespace {

// Starts the main window on a test installation and waits for the end of the
// deferred start-up.
std::unique_ptr<TMain> startMain(TestInstall &inst)
{
    inst.applyToProcess();
    auto main = std::make_unique<TMain>();
    QSignalSpy done(main.get(), &TMain::startupFinished);
    if (!done.wait(20000))
        return nullptr;
    return main;
}

// Stores a calculation with `notas` invoices, `dias` days before today.
int storeCalculo(int dias, int notas = 0, int grupo = 0)
{
    TDM &dm = DM();
    db::Table &calc = dm.TabCalc;
    if (!calc.isActive())
        calc.open();
    calc.append();
    calc.fieldByName(QStringLiteral("DataHora")).setAsDateTime(Clock::now().addDays(-dias));
    calc.fieldByName(QStringLiteral("TipoCalculo")).setAsInteger(1);
    if (grupo)
        calc.fieldByName(QStringLiteral("Grupo")).setAsInteger(grupo);
    calc.post();
    const int id = calc.fieldByName(QStringLiteral("IdCalculo")).asInteger();
    for (int i = 0; i < notas; ++i)
        dm.BaseDados.execSql(
            QStringLiteral("INSERT INTO NOTAS (IdCalculo, IdNota, NroNF, Frete) VALUES (%1, %2, '%3', 0)")
                .arg(id)
                .arg(dm.ProximoIdNota())
                .arg(100 + i));
    return id;
}

} // namespace

class TestShell : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void startupStatusTexts_data();
    void startupStatusTexts();
    void calcViewEnabling();
    void closeRequestRefusals();
    void minimizeDialog();
    void calcList30Days();
    void calcListDeleteRules();
    void cadastraEmpresaOk();
    void optionsWrittenInOrder();
    void optionsCancelAsks();
    void unitDialogForbiddenChars_data();
    void unitDialogForbiddenChars();
    void linksMenu_data();
    void linksMenu();
    void screenshots();
    void errorsFromAnotherWorkstationReported();

private:
    std::unique_ptr<TestInstall> m_inst;
    RecordingSink m_sink;
};

void TestShell::init()
{
    m_sink = RecordingSink();
    setMessageSink(&m_sink);
    m_inst = std::make_unique<TestInstall>();
}

void TestShell::cleanup()
{
    m_inst.reset();
    setMessageSink(nullptr);
    Clock::reset();
}

void TestShell::startupStatusTexts_data()
{
    QTest::addColumn<bool>("reindex");
    QTest::newRow("no reindex") << false;
    QTest::newRow("reindex on a local folder") << true;
}

void TestShell::startupStatusTexts()
{
    QFETCH(bool, reindex);
    m_inst->setIni(
        QStringLiteral("Sistema"), QStringLiteral("Reindex"), reindex ? QStringLiteral("1") : QStringLiteral("0"));
    // The data folder is on a local disk whatever the machine's mount table says.
    setDriveTypeOverride([](const QString &) { return DriveType::Fixed; });
    // Workstation 5: it takes its semaphore on the system table.
    qputenv("STB_ENDERECO_IP", "10.0.0.5");
    const auto restaura = qScopeGuard([] {
        setDriveTypeOverride(nullptr);
        qunsetenv("STB_ENDERECO_IP");
    });
    auto main = startMain(*m_inst);
    QVERIFY(main);
    const QString dados = App().DataDir;
    QStringList expected {main->versionLine(), QStringLiteral("Criando Módulo de Dados..."),
        QStringLiteral("Verificando novos Arquivos de Dados..."), QStringLiteral("Inicializando DataSets..."),
        QStringLiteral("Buscando Nro do IP..."), QStringLiteral("Configurando Estação..."),
        QStringLiteral("Abrindo ") + DM().BaseDados.tableFilePath(QStringLiteral("STBrelva"), QStringLiteral(".dat"))
            + QStringLiteral("..."),
        QStringLiteral("Lendo Configurações..."),
        QStringLiteral("Checando Modificações nas Estruturas dos Arquivos..."),
        QStringLiteral("Checando Alterações de Configuração..."), QStringLiteral("Lendo Itens do Brelva..."),
        QStringLiteral("Checando Reindexação...")};
    const QStringList abre {QStringLiteral("Abrindo arquivos em ") + dados + QStringLiteral(" ..."),
        QStringLiteral("Fiscais (1/6)"), QStringLiteral("Remetentes (2/6)"), QStringLiteral("Destinatários (3/6)"),
        QStringLiteral("Cálculos (4/6)"), QStringLiteral("Notas (5/6)"), QStringLiteral("Itens (6/6)")};
    QStringList log = main->statusLog;
    if (reindex) {
        // Each working table is checked, then reopened; reference tables are left alone.
        QStringList reindexLines;
        while (log.size() > expected.size() && log[expected.size()].startsWith(QLatin1String("Reindexando: ")))
            reindexLines << log.takeAt(expected.size());
        QVERIFY(!reindexLines.isEmpty());
        QVERIFY(!reindexLines.join(QLatin1Char(' ')).contains(QLatin1String("BRELVA.DAT")));
        QVERIFY(reindexLines.join(QLatin1Char(' ')).contains(QLatin1String("CALCULOS.DAT")));
        expected << QStringLiteral("Reindexação encerrada!") << abre << main->versionLine();
        expected << QStringLiteral("Inicializando Cálculos...") << QStringLiteral("Verificando Links...");
    } else {
        expected << QStringLiteral("Inicializando Cálculos...") << QStringLiteral("Verificando Links...") << abre;
    }
    expected << QStringLiteral("Abrindo Tabela Brelva...") << QStringLiteral("Verificando Novidades...")
             << main->versionLine();
    QCOMPARE(log, expected);
    QVERIFY(!main->StartingUp);
    QVERIFY(m_sink.entries.isEmpty());
    // The version line names the unit.
    QVERIFY2(main->versionLine().startsWith(QStringLiteral("AF/Região Central - Velfa/QZ - Versão ")),
        qPrintable(main->versionLine()));
}

void TestShell::calcViewEnabling()
{
    auto main = startMain(*m_inst);
    QVERIFY(main);
    const QList<QWidget *> viewCommands {
        main->SBFecha, main->SBAltera, main->SBIncluiNota, main->SBAlteraNota, main->SBExcluiNota};
    for (QWidget *w : viewCommands)
        QVERIFY2(!w->isEnabled(), qPrintable(w->objectName()));
    // Once the start-up is over a calculation can be created or opened.
    QVERIFY(main->SBNovo->isEnabled());
    QVERIFY(main->SBAbre->isEnabled());
    const int id = storeCalculo(0, 2, 13);
    QVERIFY(DM().TabCalc.locate(QStringLiteral("IdCalculo"), {id}));
    main->OpenCalcView();
    for (QWidget *w : viewCommands)
        QVERIFY2(w->isEnabled(), qPrintable(w->objectName()));
    QVERIFY(!main->SBNovo->isEnabled() || main->calcViewOpen());
    // A medicine group shows the medicine grid and the special-group label.
    QVERIFY(main->dxDBGridItensMedic->isVisibleTo(main.get()));
    QVERIFY(!main->dxDBGridItens->isVisibleTo(main.get()));
    QCOMPARE(main->LabelGrupoEspecial->text(),
        QStringLiteral(" - %1 ").arg(DM().TabCalc.fieldByName(QStringLiteral("XGrupo")).asString().toUpper()));
    QCOMPARE(DM().TabNotas.recordCount(), 2);
    QCOMPARE(main->EditIdCalculo->text(), QString::number(id));
    main->CloseCalcView();
    for (QWidget *w : viewCommands)
        QVERIFY2(!w->isEnabled(), qPrintable(w->objectName()));
    QVERIFY(main->SBAbre->isEnabled());
    QVERIFY(main->EditIdCalculo->text().isEmpty());
    // With the view closed the invoice table follows no calculation.
    QCOMPARE(DM().TabNotas.recordCount(), 0);
}

void TestShell::closeRequestRefusals()
{
    auto main = startMain(*m_inst);
    QVERIFY(main);
    main->show();
    main->Reindexing = true;
    QVERIFY(!main->close());
    QCOMPARE(m_sink.texts().last(),
        QStringLiteral(
            "Não posso fechar o sistema agora. Os Arquivos estão sendo reindexados. Tente daqui a alguns minutos."));
    main->Reindexing = false;
    storeCalculo(0);
    DM().TabCalc.edit();
    m_sink.clear();
    QVERIFY(!main->close());
    QCOMPARE(m_sink.texts(), QStringList {QStringLiteral("Salve ou cancele as alterações antes de fechar o sistema.")});
    DM().TabCalc.cancel();
    main->ItemDialogOpen = true;
    QVERIFY(!main->close());
    main->ItemDialogOpen = false;
    // A plain close keeps the program running: without a tray icon to bring
    // it back the window is minimised, never hidden.
    QVERIFY(main->isVisible());
    QVERIFY(!main->close());
    QVERIFY(main->isVisible());
    QTRY_VERIFY(main->isMinimized());
    QVERIFY(!main->ReallyClosing);
}

void TestShell::minimizeDialog()
{
    // Without an answer the dialog presses OK after 5 seconds.
    TFormMinimiza dlg;
    QCOMPARE(dlg.TimerMinimiza->interval(), 5000);
    QVERIFY(dlg.TimerMinimiza->isActive());
    dlg.TimerMinimiza->setInterval(50);
    dlg.TimerMinimiza->start();
    QCOMPARE(dlg.exec(), static_cast<int>(TFormMinimiza::Minimiza));
    TFormMinimiza fecha;
    stbtest::whenModal([](QWidget *w) { stbtest::child<QPushButton>(w, "BtnFecha")->click(); });
    QCOMPARE(fecha.exec(), static_cast<int>(TFormMinimiza::Fecha));
    QVERIFY(!fecha.TimerMinimiza->isActive());
}

void TestShell::calcList30Days()
{
    auto main = startMain(*m_inst);
    QVERIFY(main);
    const int hoje = storeCalculo(0);
    const int d29 = storeCalculo(29);
    const int d30 = storeCalculo(30); // exactly 30 days old: not listed
    const int d31 = storeCalculo(31);
    auto ids = [](TFormDlgEscolheCalculo &dlg) {
        QList<int> out;
        for (dlg.Qry.first(); !dlg.Qry.eof(); dlg.Qry.next())
            out << dlg.Qry.fieldByName(QStringLiteral("IDCALCULO")).asInteger();
        return out;
    };
    TFormDlgEscolheCalculo dlg(main.get());
    QCOMPARE(dlg.windowTitle(), QStringLiteral("Cálculos dos últimos 30 dias"));
    QCOMPARE(ids(dlg), (QList<int> {d29, hoje}));
    // The grid shows the query's values, not blanks.
    DataSetModel *model = dlg.dxDBGrid->dataModel();
    QCOMPARE(model->data(model->index(0, 0), Qt::DisplayRole).toString(), QString::number(d29));
    QCOMPARE(model->data(model->index(1, 1), Qt::DisplayRole).toString(),
        Clock::today().toString(QStringLiteral("dd/MM/yyyy")));
    dlg.SBTodos->click();
    QCOMPARE(dlg.windowTitle(), QStringLiteral("Cálculos"));
    QCOMPARE(ids(dlg), (QList<int> {d31, d30, d29, hoje}));
    dlg.SB30Dias->click();
    QCOMPARE(ids(dlg), (QList<int> {d29, hoje}));
    // Cancelling returns -1 even with a row selected; OK returns the selected one.
    stbtest::whenModal([](QWidget *w) { stbtest::child<QPushButton>(w, "BtnCancel")->click(); });
    QCOMPARE(EscolheCalculo(main.get()), -1);
    stbtest::whenModal([](QWidget *w) {
        auto *grid = stbtest::child<DBGrid>(w, "dxDBGrid");
        grid->selectRow(1);
        stbtest::child<QPushButton>(w, "BtnOk")->click();
    });
    QCOMPARE(EscolheCalculo(main.get()), hoje);
}

void TestShell::calcListDeleteRules()
{
    auto main = startMain(*m_inst);
    QVERIFY(main);
    const int comNotas = storeCalculo(1, 1);
    const int semNotas = storeCalculo(2);
    TFormDlgEscolheCalculo dlg(main.get());
    auto selectId = [&dlg](int id) { return dlg.Qry.locate(QStringLiteral("IDCALCULO"), {id}); };
    // Answering No deletes nothing.
    QVERIFY(selectId(semNotas));
    m_sink.answers = {false};
    dlg.SBExcluiNotaClick();
    QCOMPARE(dlg.Qry.recordCount(), 2);
    // With invoices: refused.
    QVERIFY(selectId(comNotas));
    m_sink.clear();
    m_sink.answers = {true};
    dlg.SBExcluiNotaClick();
    QCOMPARE(m_sink.texts().last(), QStringLiteral("Exclua primeiro as notas fiscais para depois excluir o Cálculo."));
    QCOMPARE(dlg.Qry.recordCount(), 2);
    // Without invoices: deleted and the list reopened.
    QVERIFY(selectId(semNotas));
    m_sink.answers = {true};
    dlg.SBExcluiNotaClick();
    QCOMPARE(dlg.Qry.recordCount(), 1);
    QVERIFY(!DM().TabCalc.locate(QStringLiteral("IdCalculo"), {semNotas}));
    QCOMPARE(m_sink.texts().first(), QStringLiteral("Quer excluir este Cálculo do sistema?"));
}

void TestShell::cadastraEmpresaOk()
{
    TFormDlgCadEmpresa dlg;
    dlg.setup(QStringLiteral("CNPJ Remetente"), QStringLiteral("11.222.333/0001-81"), QString());
    QVERIFY(!dlg.BtnOk->isEnabled());
    QTest::keyClicks(dlg.dxEdit2, QStringLiteral("distribuidora"));
    QVERIFY(dlg.BtnOk->isEnabled());
    QCOMPARE(dlg.dxEdit2->text(), QStringLiteral("DISTRIBUIDORA"));
    dlg.dxEdit2->clear();
    QVERIFY(!dlg.BtnOk->isEnabled());
    TFormDlgCadEmpresa fiscal;
    fiscal.setup(QStringLiteral("MASP"), QStringLiteral("123.456-7"), QStringLiteral("Maria"));
    QCOMPARE(fiscal.windowTitle(), QStringLiteral("Cadastro de Fiscais"));
    QCOMPARE(fiscal.Label2->text(), QStringLiteral("Nome do Fiscal"));
    QVERIFY(fiscal.BtnOk->isEnabled());
    // Confirmed: the typed name; cancelled: the name unchanged.
    QString name = QStringLiteral("ANTIGO");
    stbtest::whenModal([](QWidget *w) {
        auto *edit = stbtest::child<QLineEdit>(w, "dxEdit2");
        edit->clear();
        QTest::keyClicks(edit, QStringLiteral("Novo Nome"));
        stbtest::child<QPushButton>(w, "BtnOk")->click();
    });
    QVERIFY(CadastraEmpresa(QStringLiteral("Masp"), QStringLiteral("1"), name));
    QCOMPARE(name, QStringLiteral("NOVO NOME"));
    stbtest::whenModal([](QWidget *w) { QTest::keyClick(w, Qt::Key_Escape); });
    QVERIFY(!CadastraEmpresa(QStringLiteral("Masp"), QStringLiteral("1"), name));
    QCOMPARE(name, QStringLiteral("NOVO NOME"));
}

void TestShell::optionsWrittenInOrder()
{
    m_inst->applyToProcess();
    // A fresh STBrelva.ini keeps the keys in the order they are first written.
    QFile::remove(m_inst->path(QStringLiteral("STBrelva.ini")));
    TFormDlgOpcoes dlg;
    dlg.dxCheckReindex->setChecked(true);
    dlg.dxAliqICMS->setValue(7);
    dlg.Host->dxCheckProxy->setChecked(false);
    dlg.Host->dxEditProxy->setText(QStringLiteral("proxy.local"));
    dlg.Host->dxEditPorta->setText(QStringLiteral("3128"));
    dlg.BtnOk->click();
    QCOMPARE(dlg.result(), static_cast<int>(QDialog::Accepted));
    IniFile ini(m_inst->path(QStringLiteral("STBrelva.ini")));
    const QStringList sistema = ini.readSection(QStringLiteral("Sistema"));
    const QStringList order {QStringLiteral("Reindex"), QStringLiteral("AliqCreditoICMS"),
        QStringLiteral("AliqCreditoICMSAviso"), QStringLiteral("CalculaMR"), QStringLiteral("Auditor"),
        QStringLiteral("AtualizaSistema"), QStringLiteral("AtualizaDados"), QStringLiteral("StartHelp"),
        QStringLiteral("ExecARM")};
    QCOMPARE(sistema.mid(0, order.size()), order);
    QCOMPARE(ini.readSections().mid(0, 2), (QStringList {QStringLiteral("Sistema"), QStringLiteral("HostFazenda")}));
    QCOMPARE(ini.readSection(QStringLiteral("HostFazenda")),
        (QStringList {QStringLiteral("Host"), QStringLiteral("ProxyIE"), QStringLiteral("Proxy"),
            QStringLiteral("Porta"), QStringLiteral("SendMail"), QStringLiteral("ShowMail")}));
    QCOMPARE(ini.readString(QStringLiteral("Sistema"), QStringLiteral("AliqCreditoICMS")), QStringLiteral("7"));
    QCOMPARE(App().AliqCreditoICMS, Currency::fromInt(7));
    // With the browser's proxy, Proxy and Porta are deleted.
    TFormDlgOpcoes again;
    again.Host->dxCheckProxy->setChecked(true);
    again.BtnOk->click();
    QVERIFY(!ini.valueExists(QStringLiteral("HostFazenda"), QStringLiteral("Proxy")));
    QVERIFY(!ini.valueExists(QStringLiteral("HostFazenda"), QStringLiteral("Porta")));
    // A rate with four decimals is shown and kept whole; two decimals show as two.
    ini.writeString(QStringLiteral("Sistema"), QStringLiteral("AliqCreditoICMS"), QStringLiteral("12,3456"));
    TFormDlgOpcoes exact;
    QCOMPARE(exact.dxAliqICMS->text(), QStringLiteral("12,3456%"));
    exact.BtnOk->click();
    QCOMPARE(ini.readString(QStringLiteral("Sistema"), QStringLiteral("AliqCreditoICMS")), QStringLiteral("12,3456"));
    QCOMPARE(Settings::instance().aliqCreditoICMS().toPlainString(4), QStringLiteral("12.3456"));
    ini.writeString(QStringLiteral("Sistema"), QStringLiteral("AliqCreditoICMS"), QStringLiteral("12"));
    TFormDlgOpcoes plain;
    QCOMPARE(plain.dxAliqICMS->text(), QStringLiteral("12,00%"));
}

void TestShell::optionsCancelAsks()
{
    m_inst->applyToProcess();
    TFormDlgOpcoes dlg;
    dlg.BtnCancel->click(); // nothing changed: no question
    QVERIFY(m_sink.entries.isEmpty());
    QCOMPARE(dlg.result(), static_cast<int>(QDialog::Rejected));
    TFormDlgOpcoes changed;
    changed.show();
    changed.dxCheckCalculaMR->toggle();
    m_sink.answers = {false};
    changed.BtnCancel->click();
    QCOMPARE(m_sink.texts(), QStringList {QStringLiteral("Quer cancelar as alterações?")});
    QVERIFY(changed.isVisible()); // still open
    TFormDlgOpcoesContribuinte contrib;
    QVERIFY(!contrib.GroupCalculo->isVisibleTo(&contrib));
    QCOMPARE(contrib.SBUnidade->text(), QStringLiteral("Identificação do Usuário"));
}

void TestShell::unitDialogForbiddenChars_data()
{
    QTest::addColumn<QString>("usuario");
    QTest::addColumn<bool>("accepted");
    for (const char *c : {"\\", "/", ":", "*", "?", "\"", "<", ">", "|"})
        QTest::newRow(c) << QStringLiteral("Jo%1ão").arg(QLatin1String(c)) << false;
    QTest::newRow("plain name") << QStringLiteral("João da Silva") << true;
}

void TestShell::unitDialogForbiddenChars()
{
    QFETCH(QString, usuario);
    QFETCH(bool, accepted);
    m_inst->applyToProcess();
    TFormDlgUnidade dlg;
    dlg.dxPickUnidade->setCurrentIndex(3);
    dlg.dxEditUsuario->setText(usuario);
    dlg.BtnOk->click();
    Settings &s = Settings::instance();
    if (accepted) {
        QCOMPARE(dlg.result(), static_cast<int>(QDialog::Accepted));
        QCOMPARE(s.usuario(), usuario);
        QCOMPARE(s.unidade(), dlg.dxPickUnidade->itemText(3));
        QVERIFY(m_sink.entries.isEmpty());
    } else {
        QCOMPARE(m_sink.texts(),
            QStringList {
                QStringLiteral("Usuário inválido. Você não pode utilizar os caracteres \\ / : * ? \" < > | .")});
        QCOMPARE(s.usuario(), QStringLiteral("Teste"));
    }
}

void TestShell::linksMenu_data()
{
    QTest::addColumn<QString>("http");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("opened");
    QTest::newRow("plain address") << "x"
                                   << "https://www.example.org/tipi"
                                   << "https://www.example.org/tipi";
    QTest::newRow("PMPF expanded") << "http://pmpf"
                                   << "$PMPF$Atos"
                                   << "https://pmpf.example.org/atos.html";
    QTest::newRow("PMPF kept when HTTP is empty") << ""
                                                  << "$PMPF$Atos"
                                                  << "$PMPF$Atos";
}

void TestShell::linksMenu()
{
    QFETCH(QString, http);
    QFETCH(QString, value);
    QFETCH(QString, opened);
    m_inst->applyToProcess();
    IniFile &ini2 = Settings::instance().iniLocal2();
    ini2.eraseSection(QStringLiteral("Links"));
    ini2.writeString(QStringLiteral("Links"), QStringLiteral("Tabela"), value);
    ini2.writeString(QStringLiteral("Links"), QStringLiteral("-"), QString());
    ini2.writeString(QStringLiteral("PMPF.PORT"), QStringLiteral("HTTP"), http);
    ini2.writeString(
        QStringLiteral("PMPF.PORT"), QStringLiteral("Atos"), QStringLiteral("https://pmpf.example.org/atos.html"));
    auto main = startMain(*m_inst);
    QVERIFY(main);
    QStringList openedTargets;
    TMain::setShellOpenHook([&openedTargets](const QString &t) { openedTargets << t; });
    main->RebuildMenuLinks();
    QCOMPARE(main->Links, (QStringList {QStringLiteral("Tabela"), QStringLiteral("-")}));
    // The menu's caption carries an accelerator; the key is read without it.
    main->AbreLink(QStringLiteral("&Tabela"));
    TMain::setShellOpenHook({});
    QCOMPARE(openedTargets, QStringList {opened});
}

void TestShell::screenshots()
{
    auto main = startMain(*m_inst);
    QVERIFY(main);
    TDM &dm = DM();
    dm.TabRemet.append();
    dm.TabRemet.fieldByName(QStringLiteral("CNPJRemet")).setAsString(QStringLiteral("11.222.333/0001-81"));
    dm.TabRemet.fieldByName(QStringLiteral("Remetente")).setAsString(QStringLiteral("DISTRIBUIDORA SUL LTDA"));
    dm.PostCadastro(dm.TabRemet);
    dm.TabDest.append();
    dm.TabDest.fieldByName(QStringLiteral("IEDest")).setAsString(QStringLiteral("062.307.904.0081"));
    dm.TabDest.fieldByName(QStringLiteral("Destinatario")).setAsString(QStringLiteral("MERCADO CENTRAL S/A"));
    dm.PostCadastro(dm.TabDest);
    const int id = storeCalculo(0);
    QVERIFY(dm.TabCalc.locate(QStringLiteral("IdCalculo"), {id}));
    dm.TabCalc.edit();
    dm.TabCalc.fieldByName(QStringLiteral("CNPJRemet")).setAsString(QStringLiteral("11.222.333/0001-81"));
    dm.TabCalc.fieldByName(QStringLiteral("IEDest")).setAsString(QStringLiteral("062.307.904.0081"));
    dm.TabCalc.fieldByName(QStringLiteral("OpInterna")).setAsBoolean(false);
    dm.TabCalc.fieldByName(QStringLiteral("Observ")).setAsString(QStringLiteral("Carga conferida no posto fiscal."));
    dm.TabCalc.post();
    for (int n = 0; n < 2; ++n) {
        const int idNota = dm.ProximoIdNota();
        dm.BaseDados.execSql(
            QStringLiteral("INSERT INTO NOTAS (IdCalculo, IdNota, NroNF, CNPJRemet, IEDest, Frete) VALUES "
                           "(%1, %2, '%3', '11.222.333/0001-81', '062.307.904.0081', %4)")
                .arg(id)
                .arg(idNota)
                .arg(4510 + n)
                .arg(n * 50));
        for (int i = 1; i <= 3; ++i)
            dm.BaseDados.execSql(
                QStringLiteral("INSERT INTO ITENS (IdNota, NroItem, IdBrelva, ItemBrelva, DescricaoNF, ValorNF, "
                               "ValorIPI, AliqICMS, MVA, CreditoICMS, ValorCreditoICMS) VALUES "
                               "(%1, %2, (SELECT MIN(ID) FROM BRELVA WHERE ITEM = 1 AND AMBITO > 0), "
                               "'01.001.00', 'PARA-CHOQUE DIANTEIRO %2', %3, 0, 18, 71.78, 12, %4)")
                    .arg(idNota)
                    .arg(i)
                    .arg(100 * i)
                    .arg(12 * i));
    }
    dm.TabNotas.refresh();
    main->OpenCalcView();
    main->resize(1000, 620);
    main->show();
    QVERIFY(QTest::qWaitForWindowExposed(main.get()));
    QCOMPARE(dm.TabNotas.recordCount(), 2);
    QCOMPARE(dm.TabItens.recordCount(), 3);
    // What the window shows: the header, the invoices with their parties,
    // the lines of the current invoice with their descriptions. The
    // screenshots are kept in the build folder for a person to look at.
    QCOMPARE(main->EditXRemetDest->text(), QStringLiteral("DISTRIBUIDORA SUL LTDA x MERCADO CENTRAL S/A"));
    QCOMPARE(main->EditXOpInterna->text(), QStringLiteral("Op Interestadual"));
    QCOMPARE(main->LabelItens->text(), QStringLiteral("ITENS DA NF 4510 "));
    const auto cell = [](DBGrid *grid, int row, const QString &field) {
        const int col = grid->dataModel()->columnOf(field);
        return grid->model()->index(row, col).data().toString();
    };
    QCOMPARE(main->dxDBGridNotas->model()->rowCount(), 2);
    QCOMPARE(cell(main->dxDBGridNotas, 1, QStringLiteral("XRemetente")), QStringLiteral("DISTRIBUIDORA SUL LTDA"));
    QCOMPARE(cell(main->dxDBGridNotas, 1, QStringLiteral("Frete")), QStringLiteral("50,00"));
    QCOMPARE(main->dxDBGridItens->model()->rowCount(), 3);
    QVERIFY2(cell(main->dxDBGridItens, 2, QStringLiteral("XDescricao"))
                 .startsWith(QStringLiteral("01.001.00   PARA-CHOQUE DIANTEIRO 3. ")),
        qPrintable(cell(main->dxDBGridItens, 2, QStringLiteral("XDescricao"))));
    QCOMPARE(cell(main->dxDBGridItens, 2, QStringLiteral("ValorNF")), QStringLiteral("300,00"));
    stbtest::saveScreenshot(main.get(), QStringLiteral("main-window"));
    TFormDlgOpcoes opcoes(main.get());
    opcoes.show();
    QVERIFY(QTest::qWaitForWindowExposed(&opcoes));
    stbtest::saveScreenshot(&opcoes, QStringLiteral("options-dialog"));
}

void TestShell::errorsFromAnotherWorkstationReported()
{
    auto main = startMain(*m_inst);
    QVERIFY(main);
    main->CloseCalcView();
    DM().TabRemet.close();
    // Another workstation holds a table exclusively while it is kept open.
    auto segura = [](QProcess &other, const QStringList &args) {
        other.start(QString::fromLocal8Bit(qgetenv("STB_TEST_BIN")) + QStringLiteral("/engine_child"),
            QStringList {args.first(), App().DataDir} + args.mid(1));
        return other.waitForReadyRead(20000) && other.readLine().trimmed() == "open";
    };
    auto solta = [](QProcess &other) {
        other.kill();
        other.waitForFinished();
    };
    db::Session::defaultSession().lockRetryCount = 1;
    const auto restauraSessao = qScopeGuard([] { db::Session::defaultSession().lockRetryCount = 15; });
    {
        // Storing a sender fails for a reason other than a key violation (its
        // file is write-locked by another workstation's transaction): the
        // failure reaches the caller instead of vanishing.
        QProcess other;
        QVERIFY(segura(other,
            {QStringLiteral("hold-write"), QStringLiteral("Remetentes"), QStringLiteral("CNPJRemet"),
                QStringLiteral("99.888.777/0001-66")}));
        bool falhou = false;
        try {
            GravaRemetente(QStringLiteral("11.222.333/0001-81"), QStringLiteral("DISTRIBUIDORA SUL LTDA"));
        } catch (const db::EngineError &e) {
            falhou = !e.isDamage();
        }
        solta(other);
        QVERIFY(falhou);
    }
    {
        // The full reindex says which table it could not rebuild, with the code.
        QProcess other;
        QVERIFY(
            segura(other, {QStringLiteral("hold-open"), QStringLiteral("ItensMedic"), QStringLiteral("exclusive")}));
        m_sink.clear();
        const bool rodou = ReindexAll(false);
        solta(other);
        QVERIFY(rodou);
        const QStringList erros = m_sink.texts().filter(QStringLiteral("Não consegui reindexar"));
        QCOMPARE(erros.size(), 1);
        QVERIFY2(erros.first().startsWith(QStringLiteral("Não consegui reindexar ItensMedic... (")),
            qPrintable(erros.first()));
        QVERIFY2(erros.first().endsWith(QStringLiteral(" - código 11013)")), qPrintable(erros.first()));
    }
}

QTEST_MAIN(TestShell)
#include "tst_shell.moc"
