// The data module: tables created when missing, invoice ids and line
// numbers, renumbering after a delete, the calculated texts, lenient currency
// entry, the party key rule, and the line amounts as the calculated fields
// give them during a computation.
#include "calc_fixture.h"
#include "core/itemcalc.h"
#include "core/schema.h"
#include "platform/clock.h"

#include <QDir>
#include <QFile>

using namespace stb;
using calctest::Fixture;

namespace {

QStringList column(db::DataSet &ds, const QString &name)
{
    QStringList out;
    for (ds.first(); !ds.eof(); ds.next())
        out << ds.fieldByName(name).asString();
    return out;
}

QString amount(const db::DataSet &ds, const char *name)
{
    const db::Field &f = ds.fieldByName(QString::fromLatin1(name));
    return f.isNull() ? QStringLiteral("null") : f.asCurrency().toPlainString(4);
}

} // namespace

class TestDataModule : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { Clock::reset(); }
    void tablesCreatedWhenMissing();
    void ordersOfInvoicesAndLines();
    void proximoIdNota_data();
    void proximoIdNota();
    void proximoNroItem();
    void renumbering_data();
    void renumbering();
    void remetDestAndOpInterna_data();
    void remetDestAndOpInterna();
    void nroTRMDisplay_data();
    void nroTRMDisplay();
    void descricaoAndGrupo();
    void currencyEntry_data();
    void currencyEntry();
    void listas_data();
    void listas();
    void existingPartyKeepsItsName();
    void lineAmountsOnlyWhileComputing();
    void freightThroughTheInvoice();
    void freightCacheEmptiedByAPost();
    void fuelCreditShownNotPosted();
    void computationEndsAfterAnError();
};

void TestDataModule::tablesCreatedWhenMissing()
{
    Fixture fx;
    for (const char *t : {"Calculos", "Notas", "Itens", "ItensMedic", "Fiscais", "Remetentes", "Destinatarios"})
        QVERIFY2(fx.dm->BaseDados.tableExists(QString::fromLatin1(t)), t);
    QVERIFY(!fx.dm->BaseDados.tableExists(QStringLiteral("Brelva")));
    if (!fx.store.onServer) {
        const QDir data(fx.dir.path());
        QVERIFY(QFile::exists(data.filePath(QStringLiteral("Calculos.dat"))));
    }
    fx.dm->CriaTabelas();
    for (const db::TableDef &d : schema::dataFolderTables())
        QVERIFY2(fx.dm->BaseDados.tableExists(d.name), qPrintable(d.name));
    // ARM is in its own group: the sub-folder, or the server's ARM tables.
    QVERIFY(fx.dm->BaseARM.tableExists(QStringLiteral("ARM")));
    QVERIFY(!fx.dm->BaseDados.tableExists(QStringLiteral("ARM")));
    if (!fx.store.onServer)
        QVERIFY(QFile::exists(QDir(fx.dir.path()).filePath(QStringLiteral("ARM/ARM.dat"))));
    // Created from the definitions: widths and keys as declared.
    const db::TableDef notas = fx.dm->BaseDados.tableDef(QStringLiteral("Notas"));
    QCOMPARE(notas.field(QStringLiteral("NroNF"))->size, 10);
    QCOMPARE(notas.field(QStringLiteral("IdNota"))->type, db::FieldType::AutoInc);
    fx.dm->TabARM.open();
    QVERIFY(fx.dm->TabARM.findField(QStringLiteral("X4ValorTotal")));
}

void TestDataModule::ordersOfInvoicesAndLines()
{
    Fixture fx;
    fx.calculo(QStringLiteral("TipoCalculo=1"));
    fx.nota(QStringLiteral("NroNF=30"));
    fx.nota(QStringLiteral("NroNF=10"));
    fx.nota(QStringLiteral("NroNF=20"));
    QCOMPARE(column(fx.dm->TabNotas, QStringLiteral("NroNF")), (QStringList {"10", "20", "30"}));
    fx.dm->TabNotas.close();
    fx.dm->TabNotas.open();
    QCOMPARE(column(fx.dm->TabNotas, QStringLiteral("NroNF")), (QStringList {"10", "20", "30"}));
    // Lines of the current invoice only, by number.
    fx.dm->TabNotas.first();
    fx.item(QStringLiteral("DescricaoNF=a"));
    fx.item(QStringLiteral("DescricaoNF=b"));
    fx.dm->TabNotas.last();
    fx.item(QStringLiteral("DescricaoNF=c"));
    fx.dm->TabNotas.first();
    QCOMPARE(column(fx.dm->TabItens, QStringLiteral("DescricaoNF")), (QStringList {"a", "b"}));
    QCOMPARE(column(fx.dm->TabItens, QStringLiteral("NroItem")), (QStringList {"1", "2"}));
}

void TestDataModule::proximoIdNota_data()
{
    QTest::addColumn<QStringList>("inserts");
    QTest::addColumn<int>("expected");
    QTest::newRow("empty database") << QStringList {} << 1;
    QTest::newRow("after the last invoice") << QStringList {"INSERT INTO NOTAS (IdCalculo, IdNota) VALUES (1, 3)"} << 4;
    QTest::newRow("orphan lines of a deleted invoice")
        << QStringList {"INSERT INTO NOTAS (IdCalculo, IdNota) VALUES (1, 3)",
               "INSERT INTO ITENS (IdNota, NroItem) VALUES (7, 1)"}
        << 8;
    QTest::newRow("orphan medicine lines") << QStringList {"INSERT INTO NOTAS (IdCalculo, IdNota) VALUES (1, 3)",
        "INSERT INTO ITENS (IdNota, NroItem) VALUES (7, 1)", "INSERT INTO ITENSMEDIC (IdNota, NroItem) VALUES (9, 1)"}
                                           << 10;
}

void TestDataModule::proximoIdNota()
{
    QFETCH(QStringList, inserts);
    QFETCH(int, expected);
    stbtest::TestStorage store;
    calctest::freshStorage(store);
    TDM dm(store.folder());
    calctest::onStorage(dm, store);
    // Before any table was opened: the three tables are created first.
    if (inserts.isEmpty()) {
        QCOMPARE(dm.ProximoIdNota(), expected);
        return;
    }
    dm.CriaTabelas();
    for (const QString &sql : inserts)
        dm.BaseDados.execSql(sql);
    QCOMPARE(dm.ProximoIdNota(), expected);
}

void TestDataModule::proximoNroItem()
{
    Fixture fx;
    fx.calculo(QStringLiteral("TipoCalculo=1"));
    fx.nota(QStringLiteral("NroNF=1"));
    QCOMPARE(fx.dm->ProximoNroItem(), 1);
    fx.item(QStringLiteral("ValorNF=1"));
    fx.item(QStringLiteral("ValorNF=2"));
    QCOMPARE(fx.dm->ProximoNroItem(), 3);
    QCOMPARE(fx.dm->ProximoNroItem(QStringLiteral("MEDIC")), 1);
    fx.itemMedic(QStringLiteral("DebVlMerc=1"));
    QCOMPARE(fx.dm->ProximoNroItem(QStringLiteral("MEDIC")), 2);
    fx.nota(QStringLiteral("NroNF=2"));
    QCOMPARE(fx.dm->ProximoNroItem(), 1);
}

void TestDataModule::renumbering_data()
{
    QTest::addColumn<bool>("medic");
    QTest::addColumn<int>("lines");
    QTest::addColumn<int>("deleted");
    QTest::addColumn<QStringList>("expected"); // NroItem:description after the delete
    QTest::addColumn<QString>("current");
    QTest::newRow("line 2 of 4") << false << 4 << 2 << QStringList {"1:l1", "2:l3", "3:l4"} << "2:l3";
    QTest::newRow("last line: nothing renumbered") << false << 4 << 4 << QStringList {"1:l1", "2:l2", "3:l3"} << "3:l3";
    QTest::newRow("first of three") << false << 3 << 1 << QStringList {"1:l2", "2:l3"} << "1:l2";
    QTest::newRow("the only line") << false << 1 << 1 << QStringList {} << "";
    QTest::newRow("medicine line 2 of 3") << true << 3 << 2 << QStringList {"1:l1", "2:l3"} << "2:l3";
}

void TestDataModule::renumbering()
{
    QFETCH(bool, medic);
    QFETCH(int, lines);
    QFETCH(int, deleted);
    QFETCH(QStringList, expected);
    QFETCH(QString, current);
    Fixture fx;
    fx.calculo(QStringLiteral("TipoCalculo=1,Grupo=%1").arg(medic ? 13 : 0));
    fx.nota(QStringLiteral("NroNF=1"));
    db::Table &t = medic ? fx.dm->TabItensMedic : fx.dm->TabItens;
    const QString descr = medic ? QStringLiteral("Descricao") : QStringLiteral("DescricaoNF");
    for (int i = 1; i <= lines; ++i) {
        const QString f = QStringLiteral("%1=l%2,%3=%4")
                              .arg(descr)
                              .arg(i)
                              .arg(medic ? QStringLiteral("DebVlMerc") : QStringLiteral("ValorNF"))
                              .arg(i * 100);
        medic ? fx.itemMedic(f) : fx.item(f);
    }
    QVERIFY(t.locate(QStringLiteral("NroItem"), {deleted}));
    t.remove();
    auto text = [&] {
        return t.isEmpty()
            ? QString()
            : t.fieldByName(QStringLiteral("NroItem")).asString() + QLatin1Char(':') + t.fieldByName(descr).asString();
    };
    QCOMPARE(text(), current);
    QVERIFY(fx.dm->FEstadoRefresh == TDM::EstadoRefresh::Parado);
    QStringList got;
    for (t.first(); !t.eof(); t.next())
        got << text();
    QCOMPARE(got, expected);
    // Stored as shown, and the after-post handler is back: the invoice total follows a new line.
    t.close();
    t.open();
    QStringList stored;
    for (t.first(); !t.eof(); t.next())
        stored << text();
    QCOMPARE(stored, expected);
    QVERIFY(t.afterPost);
}

void TestDataModule::remetDestAndOpInterna_data()
{
    QTest::addColumn<QString>("fields");
    QTest::addColumn<QString>("remetDest");
    QTest::addColumn<QString>("opInterna");
    QTest::newRow("sender and recipient") << "CNPJRemet=11.222.333/0001-81,IEDest=062.307.904.0081,OpInterna=1"
                                          << "Distribuidora Sul x Mercado Central"
                                          << "Op Interna";
    QTest::newRow("recipient only") << "IEDest=062.307.904.0081,OpInterna=0"
                                    << "Mercado Central"
                                    << "Op Interestadual";
    QTest::newRow("sender only, created before OpInterna") << "CNPJRemet=11.222.333/0001-81"
                                                           << "Distribuidora Sul"
                                                           << "";
    QTest::newRow("sender not registered") << "CNPJRemet=99.999.999/0001-99,IEDest=062.307.904.0081"
                                           << "Mercado Central"
                                           << "";
    QTest::newRow("neither") << "TipoCalculo=1"
                             << ""
                             << "";
}

void TestDataModule::remetDestAndOpInterna()
{
    QFETCH(QString, fields);
    QFETCH(QString, remetDest);
    QFETCH(QString, opInterna);
    Fixture fx;
    fx.dm->BaseDados.execSql(
        QStringLiteral("INSERT INTO REMETENTES VALUES ('11.222.333/0001-81', 'Distribuidora Sul')"));
    fx.dm->BaseDados.execSql(
        QStringLiteral("INSERT INTO DESTINATARIOS VALUES ('062.307.904.0081', 'Mercado Central')"));
    fx.dm->TabRemet.refresh();
    fx.dm->TabDest.refresh();
    fx.calculo(fields);
    QCOMPARE(fx.dm->TabCalc.fieldByName(QStringLiteral("XRemetDest")).asString(), remetDest);
    QCOMPARE(fx.dm->TabCalc.fieldByName(QStringLiteral("XOpInterna")).asString(), opInterna);
}

void TestDataModule::nroTRMDisplay_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("shown");
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("full key") << "A26075800041"
                              << "A26/0758/00041";
    QTest::newRow("short") << "A2607"
                           << "A26/07/";
}

void TestDataModule::nroTRMDisplay()
{
    QFETCH(QString, stored);
    QFETCH(QString, shown);
    Fixture fx;
    fx.calculo(QStringLiteral("NroTRM=") + stored);
    QCOMPARE(fx.dm->TabCalc.fieldByName(QStringLiteral("NroTRM")).displayText(), shown);
    QCOMPARE(fx.dm->TabCalc.fieldByName(QStringLiteral("NroTRM")).asString(), stored);
}

void TestDataModule::descricaoAndGrupo()
{
    Fixture fx;
    fx.dm->CriaTabelas();
    fx.dm->BaseDados.execSql(QStringLiteral(
        "INSERT INTO BRELVA (ITEM, EX, SUBITEM, ID, DESCRICAO, AMBITO) VALUES "
        "(1, 0, 0, 1, 'Autopeças', 0), (1, 0, 1, 2, 'Pára-choques e grades', 1), (6, 0, 0, 3, 'Combustíveis', 0), "
        "(100, 0, 0, 4, 'Fora', 0)"));
    fx.dm->TabBrelva.open();
    fx.dm->CarregaMemGrupo();
    QCOMPARE(fx.dm->MemGrupo.recordCount(), 2);
    fx.calculo(QStringLiteral("Grupo=6"));
    QCOMPARE(fx.dm->TabCalc.fieldByName(QStringLiteral("XGrupo")).asString(), QStringLiteral("Combustíveis"));
    fx.nota(QStringLiteral("NroNF=1"));
    fx.item(QStringLiteral("ItemBrelva=01.001.00,IdBrelva=2"));
    QCOMPARE(fx.dm->TabItens.fieldByName(QStringLiteral("XDescricao")).asString(),
        QStringLiteral("01.001.00   PÁRA-CHOQUES E GRADES"));
    fx.item(QStringLiteral("ItemBrelva=01.001.00,IdBrelva=2,DescricaoNF=Grade dianteira"));
    QCOMPARE(fx.dm->TabItens.fieldByName(QStringLiteral("XDescricao")).asString(),
        QStringLiteral("01.001.00   Grade dianteira. PÁRA-CHOQUES E GRADES"));
}

void TestDataModule::currencyEntry_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored"); // plain amount, "null", or "error"
    QTest::newRow("plain") << "12,5"
                           << "12.5000";
    QTest::newRow("thousands") << "1.234,56"
                               << "1234.5600";
    QTest::newRow("more than four decimals are truncated") << "12,34567"
                                                           << "12.3456";
    QTest::newRow("negative truncated toward zero") << "-12,34569"
                                                    << "-12.3456";
    QTest::newRow("percent sign") << "18%"
                                  << "18.0000";
    QTest::newRow("US$ sign and blanks") << "US$ 1 234,5"
                                         << "1234.5000";
    QTest::newRow("U$ sign") << "U$3,1"
                             << "3.1000";
    QTest::newRow("grams") << "250gr"
                           << "250.0000";
    QTest::newRow("CT") << "2,5 CT"
                        << "2.5000";
    QTest::newRow("parentheses dropped") << "(12,50)"
                                         << "12.5000";
    QTest::newRow("empty clears") << "  "
                                  << "null";
    QTest::newRow("beyond the range: largest") << "99999999999999999999"
                                               << "922337203685477.5807";
    QTest::newRow("beyond the range: smallest") << "-99999999999999999999"
                                                << "-922337203685477.5808";
    QTest::newRow("not a number") << "doze"
                                  << "error";
}

void TestDataModule::currencyEntry()
{
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    Fixture fx;
    fx.calculo(QStringLiteral("TipoCalculo=1"));
    fx.nota(QStringLiteral("NroNF=1"));
    fx.dm->TabNotas.edit();
    db::Field &frete = fx.dm->TabNotas.fieldByName(QStringLiteral("Frete"));
    frete.setAsCurrency(Currency::fromInt(7));
    QVERIFY(frete.onSetText); // given by DataModuleCreate
    if (stored == QLatin1String("error")) {
        QVERIFY_THROWS_EXCEPTION(db::EngineError, frete.setText(typed));
        return;
    }
    frete.setText(typed);
    QCOMPARE(frete.isNull() ? QStringLiteral("null") : frete.asCurrency().toPlainString(4), stored);
}

void TestDataModule::listas_data()
{
    QTest::addColumn<QString>("lista");
    QTest::addColumn<QString>("nome");
    QTest::addColumn<QString>("volta");
    QTest::newRow("+") << "+"
                       << "Positiva"
                       << "+";
    QTest::newRow("-") << "-"
                       << "Negativa"
                       << "-";
    QTest::newRow("N") << "N"
                       << "Neutra"
                       << "N";
    QTest::newRow("C counts as neutral") << "C"
                                         << "Neutra"
                                         << "N";
    QTest::newRow("other") << "X"
                           << ""
                           << "";
}

void TestDataModule::listas()
{
    QFETCH(QString, lista);
    QFETCH(QString, nome);
    QFETCH(QString, volta);
    QCOMPARE(TDM::ListaParaNome(lista), nome);
    QCOMPARE(TDM::NomeParaLista(nome), volta);
    QCOMPARE(TDM::NomeParaLista(nome.toUpper()), volta);
}

void TestDataModule::existingPartyKeepsItsName()
{
    Fixture fx;
    for (db::Table *t : {&fx.dm->TabRemet, &fx.dm->TabDest}) {
        const bool remet = t == &fx.dm->TabRemet;
        const QString key = remet ? QStringLiteral("CNPJRemet") : QStringLiteral("IEDest");
        const QString name = remet ? QStringLiteral("Remetente") : QStringLiteral("Destinatario");
        t->append();
        t->fieldByName(key).setAsString(QStringLiteral("11.222.333/0001-81"));
        t->fieldByName(name).setAsString(QStringLiteral("Primeiro"));
        QVERIFY(fx.dm->PostCadastro(*t));
        t->append();
        t->fieldByName(key).setAsString(QStringLiteral("11.222.333/0001-81"));
        t->fieldByName(name).setAsString(QStringLiteral("Segundo"));
        QVERIFY(!fx.dm->PostCadastro(*t));
        QCOMPARE(t->state(), db::DataSet::State::Browse);
        t->refresh();
        QCOMPARE(t->recordCount(), 1);
        QCOMPARE(t->fieldByName(name).asString(), QStringLiteral("Primeiro"));
    }
    QVERIFY(fx.sink.entries.isEmpty());
}

void TestDataModule::lineAmountsOnlyWhileComputing()
{
    Fixture fx;
    fx.calculo(QStringLiteral("TipoCalculo=1,PrintMR=4"));
    fx.nota(QStringLiteral("NroNF=1"));
    fx.item(QStringLiteral("ValorNF=100,MVA=40,AliqICMS=18,CreditoICMS=12,ValorCreditoICMS=12,FEM=1"));
    db::Table &itens = fx.dm->TabItens;
    QCOMPARE(amount(itens, "ICMSaRecolher"), QStringLiteral("null"));
    QCOMPARE(fx.dm->PercentualMR().toPlainString(4), QStringLiteral("0.0000"));
    {
        const CalculoEmCurso calculo(
            *fx.dm, contextoCalculo(fx.dm->TabCalc, fatoresMR(4, 50, 100, 20), QDate(2024, 1, 1)));
        QCOMPARE(fx.dm->PercentualMR().toPlainString(4), QStringLiteral("0.5000"));
        itens.first();
        QCOMPARE(amount(itens, "ValorFinal"), QStringLiteral("140.0000"));
        QCOMPARE(amount(itens, "ValorFEM"), QStringLiteral("2.8000"));
        QCOMPARE(amount(itens, "ICMSaRecolher"), QStringLiteral("13.2000"));
        QCOMPARE(amount(itens, "ValorMR"), QStringLiteral("6.6000"));
        QCOMPARE(amount(itens, "ValorMRRed"), QStringLiteral("1.3200"));
        QCOMPARE(amount(itens, "TotalARecolher"), QStringLiteral("14.5200"));
        // A grid computing a row that is not the current one gets the same amounts.
        const std::vector<db::Value> shown = itens.rowForDisplay(0);
        QCOMPARE(Currency::fromRaw(
                     std::get<std::int64_t>(
                         shown[static_cast<size_t>(itens.fieldByName(QStringLiteral("TotalARecolher")).index())]))
                     .toPlainString(4),
            QStringLiteral("14.5200"));
    }
    QVERIFY(!fx.dm->FCalculando);
    QCOMPARE(fx.dm->FatorReducaoMR().toPlainString(4), QStringLiteral("0.0000"));
    itens.first();
    QCOMPARE(amount(itens, "ICMSaRecolher"), QStringLiteral("null"));
}

void TestDataModule::freightThroughTheInvoice()
{
    // The freight base is the invoice's non-PMPF lines, value plus IPI.
    Fixture fx;
    fx.calculo(QStringLiteral("TipoCalculo=1,Grupo=6"));
    fx.nota(QStringLiteral("NroNF=1,Frete=50"));
    fx.item(QStringLiteral("ValorNF=300,AliqICMS=18"));
    fx.item(QStringLiteral("ValorNF=100,AliqICMS=18"));
    fx.item(QStringLiteral(
        "ItemBrelva=06.001.00,ValorNF=3100,Litros=1000,PMPF=4.0123,PrecoLitroNF=3.1,AliqICMS=25,CreditoICMS=12"));
    const CalculoEmCurso calculo(*fx.dm, 0);
    QVERIFY(fx.dm->FCalculoEmCurso->contexto().combustivel);
    QStringList fretes, somas;
    db::Table &itens = fx.dm->TabItens;
    for (itens.first(); !itens.eof(); itens.next()) {
        fretes << amount(itens, "FreteProp");
        somas << amount(itens, "Soma");
    }
    QCOMPARE(fretes, (QStringList {"37.5000", "12.5000", "null"}));
    QCOMPARE(somas, (QStringList {"337.5000", "112.5000", "null"}));
    QCOMPARE(fx.dm->FFreteBase.toPlainString(4), QStringLiteral("400.0000"));
}

void TestDataModule::freightCacheEmptiedByAPost()
{
    Fixture fx;
    fx.calculo(QStringLiteral("TipoCalculo=2,DiferencialAliq=1"));
    fx.nota(QStringLiteral("NroNF=1,Frete=44"));
    const CalculoEmCurso calculo(*fx.dm, 0);
    fx.item(QStringLiteral("ValorNF=100,ValorIPI=10,AliqICMS=18"));
    fx.dm->TabItens.first();
    QCOMPARE(amount(fx.dm->TabItens, "FreteProp"), QStringLiteral("40.0000")); // 44 × 100 / 110
    // A line posted during the computation: the cached base of 110 is gone.
    fx.item(QStringLiteral("ValorNF=300,ValorIPI=30,AliqICMS=18"));
    QStringList fretes;
    for (fx.dm->TabItens.first(); !fx.dm->TabItens.eof(); fx.dm->TabItens.next())
        fretes << amount(fx.dm->TabItens, "FreteProp");
    // Base 440 with IPI; the values without it: 10 and 30, less than the freight.
    QCOMPARE(fretes, (QStringList {"10.0000", "30.0000"}));
}

void TestDataModule::fuelCreditShownNotPosted()
{
    Fixture fx;
    fx.calculo(QStringLiteral("TipoCalculo=1,Grupo=6"));
    fx.nota(QStringLiteral("NroNF=1"));
    fx.item(QStringLiteral("ItemBrelva=06.001.00,Litros=1000,PMPF=4.0123,PrecoLitroNF=3.1,AliqICMS=25,CreditoICMS=12,"
                           "ValorCreditoICMS=999"));
    {
        const CalculoEmCurso calculo(*fx.dm, 0);
        fx.dm->TabItens.first();
        QCOMPARE(amount(fx.dm->TabItens, "ValorCreditoICMS"), QStringLiteral("372.0000"));
        QCOMPARE(amount(fx.dm->TabItens, "ICMSaRecolher"), QStringLiteral("631.0800"));
    }
    fx.dm->TabItens.close();
    fx.dm->TabItens.open();
    QCOMPARE(amount(fx.dm->TabItens, "ValorCreditoICMS"), QStringLiteral("999.0000"));
}

void TestDataModule::computationEndsAfterAnError()
{
    Fixture fx;
    fx.calculo(QStringLiteral("Grupo=6"));
    try {
        const CalculoEmCurso calculo(*fx.dm, 2);
        QVERIFY(fx.dm->FCalculando && calculo.contexto().combustivel);
        throw std::runtime_error("report failed");
    } catch (const std::runtime_error &) {
    }
    QVERIFY(!fx.dm->FCalculando);
    QVERIFY(!fx.dm->FCalculoEmCurso);
}

QTEST_GUILESS_MAIN(TestDataModule)
#include "tst_datamodule.moc"
