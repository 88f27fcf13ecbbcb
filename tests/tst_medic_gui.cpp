// The medicine windows in the running main window, headless: the chooser as
// the item dialog calls it (bar code, several hits, "*", nothing found), its
// grid and export read back by an independent reader, the table update from
// a loopback server and from a file, and the annex workbook by NBM.
#include "core/settings.h"
#include "outputs/dlgatualizatabmedic.h"
#include "outputs/dlgescolhemedic.h"
#include "outputs/medic.h"
#include "outputs/medicdownload.h"
#include "platform/inifile.h"
#include "tests/mainwindow_fixture.h"
#include "tests/support/httpserver.h"
#include "tests/xlsread.h"

#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QRadioButton>
#include <QSpinBox>

using namespace stb;
using stbtest::TestInstall;

namespace {

QByteArray amostra() { return mainwindowtest::amostraMedic(QStringLiteral(STB_SAMPLE_ZLB)); }

QAction *acao(TMain &main, const char *name) { return main.findChild<QAction *>(QLatin1String(name)); }

void clica(QWidget *w, const char *name)
{
    QAbstractButton *b = stbtest::child<QAbstractButton>(w, name);
    QVERIFY2(b, name);
    b->click();
}

} // namespace

class TestMedicGui : public MainWindowSuite {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void chooserFromItemDialog();
    void chooserGridAndExport();
    void updateFromServer_data();
    void updateFromServer();
    void updateFromFile();
    void nbmWorkbook();

private:
    void instalaTexto();
    QString documentos() const { return m_inst->path(QStringLiteral("Documentos")); }
    QStringList m_abertos;
};

void TestMedicGui::init()
{
    abre([](TestInstall &inst) {
        inst.setIni(QStringLiteral("HostFazenda"), QStringLiteral("ProxyIE"), QStringLiteral("0"));
        // The documents folder as the desktop names it.
        QDir().mkpath(inst.path(QStringLiteral("home/.config")));
        QFile dirs(inst.path(QStringLiteral("home/.config/user-dirs.dirs")));
        QVERIFY(dirs.open(QIODevice::WriteOnly));
        dirs.write("XDG_DOCUMENTS_DIR=\"" + inst.path(QStringLiteral("Documentos")).toUtf8() + "\"\n");
    });
    m_abertos.clear();
    TMain::setShellOpenHook([this](const QString &f) { m_abertos << f; });
}

void TestMedicGui::cleanup()
{
    TMain::setShellOpenHook({});
    fecha();
    QVERIFY(!FormDlgEscolheMedicExiste());
}

void TestMedicGui::instalaTexto()
{
    QFile f(Settings::instance().dataDir() + QStringLiteral("TabMedic.txt"));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(amostra());
}

void TestMedicGui::chooserFromItemDialog()
{
    instalaTexto();
    // A bar code: the one medicine comes back at once, no window shown.
    std::optional<MedicEscolhido> m = EscolheMedic(QStringLiteral("7895038184616"), m_main.get());
    QVERIFY(m);
    QCOMPARE(m->descricao, QStringLiteral("FLUCINOL 50MG ENV CX 1"));
    QCOMPARE(m->laboratorio, QStringLiteral("NOVA ÉTICA"));
    QCOMPARE(m->lista, QStringLiteral("Positiva"));
    QVERIFY(m->generico);
    QCOMPARE(m->aliqICMS, Currency::fromInt(12));
    QCOMPARE(m->preco, *Currency::parsePlain(QStringLiteral("139.78")));
    QVERIFY(m_main->statusLog.contains(QStringLiteral("Aguarde... Carregando Tabela de Medicamentos...")));
    QVERIFY(m_main->statusLog.contains(QStringLiteral("Processando 24000 de 24000...")));
    QVERIFY(QFileInfo::exists(Settings::instance().dataDir() + QStringLiteral("Medic.Tab")));

    // A name with several hits: the list, a choice, OK.
    QString caption;
    QStringList escolhida;
    stbtest::whenModal([&](QWidget *w) {
        auto &dlg = static_cast<TFormDlgEscolheMedic &>(*w);
        caption = dlg.windowTitle();
        dlg.Qry.setRecNo(2);
        escolhida << dlg.Qry.fieldByName(QStringLiteral("CODBARRA")).asString()
                  << dlg.Qry.fieldByName(QStringLiteral("DESCRICAO")).asString();
        stbtest::saveScreenshot(&dlg, QStringLiteral("medic_escolhe"));
        clica(&dlg, "BtnOk");
    });
    m = EscolheMedic(QStringLiteral("praona comprimido"));
    QVERIFY(m);
    QCOMPARE(caption, QStringLiteral("Tabela de Medicamentos - Outubro/2007 - Procurando por praona comprimido"));
    QCOMPARE(QStringList({m->codBarra, m->descricao}), escolhida);
    QVERIFY(m->descricao.startsWith(QLatin1String("PRAONA ")));

    // "*" lists the whole table; Cancel returns nothing.
    int linhas = 0;
    stbtest::whenModal([&](QWidget *w) {
        linhas = static_cast<TFormDlgEscolheMedic &>(*w).Qry.recordCount();
        clica(w, "BtnCancel");
    });
    QVERIFY(!EscolheMedic(QStringLiteral("*")));
    QCOMPARE(linhas, 24000);

    // Nothing found.
    m_sink.clear();
    QVERIFY(!EscolheMedic(QStringLiteral("XPTOXPTO")));
    QCOMPARE(m_sink.texts(), QStringList {QStringLiteral("Não consegui localizar nenhum medicamento!")});
}

void TestMedicGui::chooserGridAndExport()
{
    instalaTexto();
    QAction *tabela = acao(*m_main, "TabelaABCFarma1");
    QVERIFY(tabela && tabela->isEnabled());
    QVERIFY(m_main->PopMenuPesquisa->actions().contains(tabela));
    QVERIFY(m_main->SBPesquisa->isEnabled());
    QCOMPARE(m_main->SBPesquisa->menu(), m_main->PopMenuPesquisa);
    QStringList headers;
    bool colunaOculta = false;
    QString textoToggle;
    QString textoInicial;
    stbtest::whenModal([&](QWidget *w) {
        auto &dlg = static_cast<TFormDlgEscolheMedic &>(*w);
        textoInicial = dlg.dxEditPesquisa->text();
        dlg.dxEditPesquisa->setText(QStringLiteral("cx 14"));
        clica(&dlg, "SBPesquisa");
        for (int c = 0; c < dlg.dxDBGrid->model()->columnCount(); ++c)
            headers << dlg.dxDBGrid->model()->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
        dlg.CodBarraColuna->trigger();
        colunaOculta = dlg.dxDBGrid->isColumnHidden(1);
        textoToggle = dlg.CodBarraColuna->text();
        stbtest::saveScreenshot(&dlg, QStringLiteral("medic_tabela"));
        dlg.CodBarraColuna->trigger();
        colunaOculta = colunaOculta && !dlg.dxDBGrid->isColumnHidden(1)
            && dlg.CodBarraColuna->text() == QStringLiteral("Oculta Código de Barra");
        m_sink.answers = {true};
        clica(&dlg, "SBExporta");
        clica(&dlg, "BtnCancel");
    });
    tabela->trigger();
    QCOMPARE(textoInicial, TFormDlgEscolheMedic::textoInicial());
    QCOMPARE(headers,
        QStringList(
            {"Id", "CodBarra", "Descrição", "Laboratório", "Valor", "Valor2", "Valor3", "Valor4", "Gen", "Lista"}));
    QVERIFY(colunaOculta);
    QCOMPARE(textoToggle, QStringLiteral("Exibe Código de Barra"));
    const QString arquivo = QDir(documentos()).filePath(QStringLiteral("CMED_ABCFarma.xls"));
    QCOMPARE(m_sink.texts(),
        QStringList({QStringLiteral("Exportar esta consulta para o Excel?"),
            QStringLiteral("CMED_ABCFarma.xls gravado com sucesso na pasta \r") + documentos()}));
    QString erro;
    const QJsonArray sheets = stbtest::readXls(arquivo, &erro);
    QVERIFY2(!sheets.isEmpty(), qPrintable(erro));
    QCOMPARE(sheets.size(), 1);
    const QJsonObject s = sheets.at(0).toObject();
    QCOMPARE(s.value(QStringLiteral("name")).toString(), QStringLiteral("ABC Farma"));
    const QStringList cab {"COD BARRA", "DESCRIÇÃO", "LABORATÓRIO", "VALOR", "ALIQ ICMS", "GENÉRICO", "LISTA"};
    for (int c = 0; c < cab.size(); ++c) {
        const QJsonObject h = stbtest::xlsCell(s, 0, c);
        QCOMPARE(h.value(QStringLiteral("value")).toString(), cab[c]);
        QVERIFY(h.value(QStringLiteral("bold")).toBool());
        QCOMPARE(h.value(QStringLiteral("font")).toString(), QStringLiteral("Arial"));
    }
    // Every medicine of the query, with its kinds of cells.
    Medic m;
    QVERIFY(m.abre(Settings::instance().dataDir(), IniMedicamento()));
    db::Query q(&m.database());
    m.pesquisa(q, QStringLiteral("cx 14"), Medic::Busca::Contem);
    QVERIFY(q.recordCount() > 100);
    QCOMPARE(s.value(QStringLiteral("rows")).toInt(), q.recordCount() + 1);
    for (int row : {1, q.recordCount()}) {
        q.setRecNo(row);
        const MedicEscolhido e = Medic::escolhido(q);
        QCOMPARE(stbtest::xlsCell(s, row, 0).value(QStringLiteral("value")).toString(), e.codBarra);
        QCOMPARE(stbtest::xlsCell(s, row, 1).value(QStringLiteral("value")).toString(), e.descricao);
        QVERIFY(!stbtest::xlsCell(s, row, 1).value(QStringLiteral("bold")).toBool());
        const QJsonObject valor = stbtest::xlsCell(s, row, 3);
        QCOMPARE(valor.value(QStringLiteral("kind")).toString(), QStringLiteral("number"));
        QVERIFY(valor.value(QStringLiteral("format")).toString().contains(QLatin1String("R$")));
        QCOMPARE(valor.value(QStringLiteral("value")).toDouble(), e.preco.toDouble());
        const QJsonObject aliq = stbtest::xlsCell(s, row, 4);
        QVERIFY(aliq.value(QStringLiteral("format")).toString().contains(QLatin1Char('%')));
        QCOMPARE(aliq.value(QStringLiteral("value")).toDouble(), e.aliqICMS.toDouble() / 100);
        QCOMPARE(stbtest::xlsCell(s, row, 5).value(QStringLiteral("value")).toString(),
            e.generico ? QStringLiteral("GEN") : QString());
        QCOMPARE(stbtest::xlsCell(s, row, 6).value(QStringLiteral("value")).toString(), e.lista);
    }
}

void TestMedicGui::updateFromServer_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QStringList>("messages");
    const QDate mes = QDate::currentDate().addMonths(-1);
    const QString mesAno = NomeMesMaiusculo(mes.month()) + QLatin1Char('/') + QString::number(mes.year());
    QTest::newRow("found last month") << 200
                                      << QStringList {"Quer baixar a Tabela de Medicamentos do mês de " + mesAno + "?",
                                             "Procedimento realizado com sucesso!"};
    QTest::newRow("server error") << 500 << QStringList {"500 Internal Server Error\rTente novamente."};
}

void TestMedicGui::updateFromServer()
{
    QFETCH(int, status);
    QFETCH(QStringList, messages);
    // The table in use: the chooser has loaded it.
    instalaTexto();
    QVERIFY(EscolheMedic(QStringLiteral("7895038184616")));
    const QString antes = TabMedicMesAno(IniMedicamento());
    stbtest::HttpServer server;
    const QDate mes = QDate::currentDate().addMonths(-1);
    const QString nome = MedicDownload::nomeArquivo(mes.month(), mes.year());
    {
        QTemporaryDir tmp;
        ZLBWriter w;
        QVERIFY(w.create(tmp.filePath(nome)));
        QByteArray texto = amostra();
        texto.replace("FLUCINOL 50MG ENV CX 1", "FLUCINOL NOVO 50MG");
        QVERIFY(w.addData(texto, QFileInfo(nome).completeBaseName() + QStringLiteral(".txt")));
        QVERIFY(w.finish());
        QFile f(tmp.filePath(nome));
        QVERIFY(f.open(QIODevice::ReadOnly));
        server.routes.insert(QStringLiteral("/stbrelva/medicamentos/") + nome, {200, f.readAll(), false});
    }
    if (status != 200)
        server.routes.insert(QStringLiteral("/stbrelva/medicamentos/")
                + MedicDownload::nomeArquivo(QDate::currentDate().month(), QDate::currentDate().year()),
            {status, "erro", false});
    m_inst->setIni(QStringLiteral("HostFazenda"), QStringLiteral("Host"), server.host());
    QAction *atualiza = acao(*m_main, "AtualizacaoDaTabelaMedicamentos1");
    QVERIFY(atualiza && atualiza->isEnabled());
    m_sink.answers = {true};
    stbtest::whenModal([&](QWidget *w) {
        QVERIFY(stbtest::child<QRadioButton>(w, "RBServidor")->isChecked());
        stbtest::saveScreenshot(w, QStringLiteral("medic_atualiza"));
        clica(w, "BtnOk");
        if (w->isVisible())
            clica(w, "BtnCancel");
    });
    atualiza->trigger();
    QCOMPARE(m_sink.texts(), messages);
    const QString dados = Settings::instance().dataDir();
    QVERIFY(!QFileInfo::exists(dados + QStringLiteral("TabMedic.txt")));
    std::optional<MedicEscolhido> m = EscolheMedic(QStringLiteral("7895038184616"));
    QVERIFY(m);
    if (status == 200) {
        QCOMPARE(TabMedicMesAno(IniMedicamento()),
            NomeMesMaiusculo(mes.month()) + QLatin1Char('/') + QString::number(mes.year()));
        QCOMPARE(m->descricao, QStringLiteral("FLUCINOL NOVO 50MG"));
        QVERIFY(FormDlgEscolheMedic().windowTitle().endsWith(
            TabMedicMesAno(IniMedicamento()) + QStringLiteral(" - Procurando por 7895038184616")));
        QVERIFY(m_main->statusLog.contains(QStringLiteral("Salvando...")));
    } else {
        QCOMPARE(TabMedicMesAno(IniMedicamento()), antes);
        QCOMPARE(m->descricao, QStringLiteral("FLUCINOL 50MG ENV CX 1"));
    }
}

void TestMedicGui::updateFromFile()
{
    const QString arquivo = m_inst->path(QStringLiteral("TB_MEDICAMENTO_032025.TXT"));
    QFile f(arquivo);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(amostra());
    f.close();
    m_sink.answers = {true};
    stbtest::whenModal([&](QWidget *w) {
        auto &dlg = static_cast<TFormDlgAtualizaTabMedic &>(*w);
        dlg.RBArquivo->setChecked(true);
        dlg.dxEditArquivo->setText(m_inst->path(QStringLiteral("nao-existe.txt")));
        clica(&dlg, "BtnOk");
        QVERIFY(dlg.isVisible());
        dlg.dxEditArquivo->setText(arquivo);
        dlg.dxComboMes->setCurrentIndex(2);
        dlg.dxSpinAno->setValue(2025);
        clica(&dlg, "BtnOk");
    });
    QVERIFY(TFormDlgAtualizaTabMedic::AtualizaTabelaMedic(m_main.get()));
    QCOMPARE(m_sink.texts(),
        QStringList({QStringLiteral("Arquivo não localizado!"),
            QStringLiteral("Confirma atualizar a Tabela de Medicamentos para o mês de MARÇO/2025?"),
            QStringLiteral("Procedimento realizado com sucesso!")}));
    QCOMPARE(TabMedicMesAno(IniMedicamento()), QStringLiteral("MARÇO/2025"));
    QVERIFY(QFileInfo::exists(arquivo));
    Medic m;
    QVERIFY(m.abre(Settings::instance().dataDir(), IniMedicamento()));
    QCOMPARE(m.count(), 24000);
}

void TestMedicGui::nbmWorkbook()
{
    // A product code beginning with "00" is left out of the NBM sheet.
    DM().BaseDados.execSql(QStringLiteral("INSERT INTO BRELVA (ITEM, EX, SUBITEM, ID, CEST, CODIGONBM1, AMBITO) "
                                          "VALUES (99, 9, 9, 9999, '99.999.99', '0012.34.56', 1)"));
    QAction *nbm = acao(*m_main, "NBMPlanilhaExcel1");
    QVERIFY(nbm && nbm->isEnabled());
    const QString alvo = QDir(documentos()).filePath(QStringLiteral("TabelaNBM-Brelva.xls"));
    m_sink.answers = {true};
    nbm->trigger();
    QCOMPARE(m_sink.texts(),
        QStringList {QStringLiteral("Quer gerar o Brelva por NBM no arquivo \"") + alvo + QStringLiteral("\"?")});
    QCOMPARE(m_abertos, QStringList {alvo});
    QString erro;
    const QJsonArray sheets = stbtest::readXls(alvo, &erro);
    QVERIFY2(!sheets.isEmpty(), qPrintable(erro));
    QCOMPARE(sheets.size(), 2);
    const QJsonObject cest = sheets.at(0).toObject();
    const QJsonObject ncm = sheets.at(1).toObject();
    QCOMPARE(cest.value(QStringLiteral("name")).toString(), QStringLiteral("CEST"));
    QCOMPARE(ncm.value(QStringLiteral("name")).toString(), QStringLiteral("NBM"));
    QVERIFY2(stbtest::xlsCell(cest, 0, 4)
                 .value(QStringLiteral("value"))
                 .toString()
                 .startsWith(QStringLiteral("Dados atualizados até ")),
        qPrintable(QJsonDocument(stbtest::xlsCell(cest, 0, 4)).toJson()));
    QVERIFY(stbtest::xlsCell(cest, 0, 4)
                .value(QStringLiteral("value"))
                .toString()
                .endsWith(QStringLiteral(" (Versão 2.0.0).")));
    QVERIFY(stbtest::xlsCell(cest, 0, 0).value(QStringLiteral("bold")).toBool());
    // The row of three margins, and its notes.
    bool tres = false;
    for (const QJsonValue &v : cest.value(QStringLiteral("cells")).toArray()) {
        const QJsonObject c = v.toObject();
        if (c.value(QStringLiteral("col")).toInt() == 0
            && c.value(QStringLiteral("value")).toString() == QLatin1String("21.002.00")) {
            const int row = c.value(QStringLiteral("row")).toInt();
            QCOMPARE(
                stbtest::xlsCell(cest, row, 1).value(QStringLiteral("value")).toString(), QStringLiteral("25/30/35"));
            QCOMPARE(stbtest::xlsCell(cest, row, 2).value(QStringLiteral("value")).toString(),
                QStringLiteral("Nas saídas de fabricante/Nas saídas de atacadista/Demais casos"));
            tres = true;
        }
    }
    QVERIFY(tres);
    QStringList codigos;
    for (const QJsonValue &v : ncm.value(QStringLiteral("cells")).toArray())
        if (v.toObject().value(QStringLiteral("col")).toInt() == 0
            && v.toObject().value(QStringLiteral("row")).toInt() > 0)
            codigos << v.toObject().value(QStringLiteral("value")).toString();
    QVERIFY(codigos.size() > 100);
    QVERIFY(codigos.contains(QStringLiteral("8421.23.00")));
    QVERIFY(codigos.filter(QRegularExpression(QStringLiteral("^00"))).isEmpty());

    // A second time the file generated before is offered, with its date.
    m_sink.clear();
    m_abertos.clear();
    m_sink.answers = {true};
    nbm->trigger();
    QCOMPARE(m_sink.texts().size(), 1);
    QVERIFY(m_sink.texts().first().startsWith(QStringLiteral("Quer abrir a planilha gerada em ")
        + QFileInfo(alvo).lastModified().toString(QStringLiteral("dd/MM/yyyy"))));
    QCOMPARE(m_abertos, QStringList {alvo});
}

QTEST_MAIN(TestMedicGui)
#include "tst_medic_gui.moc"
