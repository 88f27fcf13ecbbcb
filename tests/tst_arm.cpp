// Collection documents: numbering per type and year (configured initial
// number, then the stored maximum), the invoice-number runs, the blocks of
// the sender/recipient pairs (with the question beyond five), the record
// written to the ARM table and the key kept in the calculation.
#include "calc_fixture.h"
#include "core/arm.h"
#include "platform/db/field.h"
#include "platform/inifile.h"

using namespace stb;
using calctest::Fixture;

namespace {

const QDateTime kAgora(QDate(2012, 3, 14), QTime(10, 30));

// A data module with the calculation tables and an empty ARM table, and a
// configuration file for the initial numbers.
struct ArmFixture : Fixture {
    ArmFixture() : ini(dir.filePath(QStringLiteral("STBrelva.ini"))) { dm->TabARM.open(); }
    ~ArmFixture() { dm->TabARM.close(); }

    void armExistente(const QString &tipo, const QString &nro)
    {
        db::Table &t = dm->TabARM;
        if (!t.isActive())
            t.open();
        t.append();
        t.fieldByName(QStringLiteral("Tipo")).setAsString(tipo);
        t.fieldByName(QStringLiteral("NroTRM")).setAsString(nro);
        t.fieldByName(QStringLiteral("Chave")).setAsString(tipo + nro);
        t.post();
    }
    int armCount()
    {
        db::Table &t = dm->TabARM;
        if (!t.isActive())
            t.open();
        return t.recordCount();
    }
    // The ARM row with this key, as the table holds it (the table left open on it).
    db::Table &arm(const QString &chave)
    {
        db::Table &t = dm->TabARM;
        if (!t.isActive())
            t.open();
        for (t.first(); !t.eof(); t.next())
            if (arm::Chave(t.fieldByName(QStringLiteral("Tipo")).asString(),
                    t.fieldByName(QStringLiteral("NroTRM")).asString())
                == chave)
                return t;
        qFatal("no ARM row %s", qPrintable(chave));
    }
    QString campo(db::Table &t, const QString &nome) { return t.fieldByName(nome).asString(); }
    arm::Contexto contexto() const { return {QStringLiteral("0758"), &ini, kAgora}; }

    // A calculation with one invoice per "NroNF|CNPJ|IE|item" entry and one line
    // per invoice; senders and recipients registered with names.
    int calculoCom(const QStringList &notas, const QString &extra = {})
    {
        const int id = calculo(QStringLiteral("TipoCalculo=1,Masp=1234567") + extra);
        int dia = 1;
        for (const QString &n : notas) {
            const QStringList p = n.split(QLatin1Char('|'));
            registra(dm->TabRemet, QStringLiteral("CNPJRemet"), QStringLiteral("Remetente"), p[1]);
            registra(dm->TabDest, QStringLiteral("IEDest"), QStringLiteral("Destinatario"), p[2]);
            nota(QStringLiteral("IdCalculo=%1,NroNF=%2,CNPJRemet=%3,IEDest=%4,DataEmissao=2012-03-%5")
                     .arg(id)
                     .arg(p[0], p[1], p[2])
                     .arg(dia++, 2, 10, QLatin1Char('0')));
            item(QStringLiteral("ItemBrelva=%1.001.00,ValorNF=100,ValorIPI=5").arg(p.value(3, QStringLiteral("15"))));
        }
        dm->TabCalc.locate(QStringLiteral("IdCalculo"), {id});
        return id;
    }
    void registra(db::Table &t, const QString &chave, const QString &nomeCampo, const QString &valor)
    {
        if (t.locate(chave, {valor}))
            return;
        t.append();
        t.fieldByName(chave).setAsString(valor);
        t.fieldByName(nomeCampo).setAsString(QStringLiteral("NOME ") + valor);
        t.post();
    }

    IniFile ini;
};

} // namespace

class TestArm : public QObject {
    Q_OBJECT

private slots:
    void numeracao_data();
    void numeracao();
    void textoNumeros_data();
    void textoNumeros();
    void chave_data();
    void chave();
    void tipoEBlocos_data();
    void tipoEBlocos();
    void registroGravado();
    void maisDeCincoPares_data();
    void maisDeCincoPares();
    void chaveExistenteAbre();
    void recusaNaoGrava();
};

void TestArm::numeracao_data()
{
    QTest::addColumn<QStringList>("existentes"); // "tipo:número"
    QTest::addColumn<QString>("configurado"); // "section|key|value"
    QTest::addColumn<QString>("tipo");
    QTest::addColumn<QString>("esperado");
    QTest::newRow("first A of the year, nothing configured") << QStringList {} << QString() << "A"
                                                             << "12/0758/00001";
    QTest::newRow("first A of the year, configured initial number") << QStringList {} << "NroInicial.TRM.2012|A|250"
                                                                    << "A"
                                                                    << "12/0758/00250";
    QTest::newRow("first B: the key of type A does not count") << QStringList {} << "NroInicial.TRM.2012|A|250"
                                                               << "B"
                                                               << "12/0758/00001";
    QTest::newRow("new year: last year's documents ignored")
        << QStringList {"A:11/0758/00040"} << "NroInicial.TRM.2012|A|7"
        << "A"
        << "12/0758/00007";
    QTest::newRow("next one from the maximum, not the last written")
        << QStringList {"A:12/0758/00012", "A:12/0758/00003"} << QString() << "A"
        << "12/0758/00013";
    QTest::newRow("maximum wins over the configured number")
        << QStringList {"A:12/0758/00004"} << "NroInicial.TRM.2012|A|250"
        << "A"
        << "12/0758/00005";
    QTest::newRow("the other type's numbers do not count") << QStringList {"B:12/0758/00090"} << QString() << "A"
                                                           << "12/0758/00001";
    QTest::newRow("other unit prefixes share the sequence") << QStringList {"B:12/0001/00009"} << QString() << "B"
                                                            << "12/0758/00010";
}

void TestArm::numeracao()
{
    QFETCH(QStringList, existentes);
    QFETCH(QString, configurado);
    QFETCH(QString, tipo);
    QFETCH(QString, esperado);
    ArmFixture fx;
    for (const QString &e : existentes)
        fx.armExistente(e.section(QLatin1Char(':'), 0, 0), e.section(QLatin1Char(':'), 1));
    if (!configurado.isEmpty()) {
        const QStringList c = configurado.split(QLatin1Char('|'));
        QVERIFY(fx.ini.writeInteger(c[0], c[1], c[2].toInt()));
    }
    const int seq = arm::ProximaSequencia(fx.dm->BaseARM, tipo, kAgora.date(), fx.ini);
    QCOMPARE(arm::NumeroTRM(kAgora.date(), QStringLiteral("0758"), seq), esperado);
}

void TestArm::textoNumeros_data()
{
    QTest::addColumn<QStringList>("numeros");
    QTest::addColumn<QString>("esperado");
    QTest::newRow("run and a single number") << QStringList {"10", "11", "12", "15"} << "10-12, 15";
    QTest::newRow("one number alone") << QStringList {"7"} << "7";
    QTest::newRow("unsorted, repeated") << QStringList {"15", "12", "10", "11", "10"} << "10-12, 15";
    QTest::newRow("numeric order across digits") << QStringList {"10", "9", "100"} << "9-10, 100";
    QTest::newRow("no two consecutive") << QStringList {"1", "3", "5"} << "1, 3, 5";
    QTest::newRow("two runs") << QStringList {"1", "2", "4", "5", "6"} << "1-2, 4-6";
    QTest::newRow("text after numbers, never in a run") << QStringList {"A1", "3", "2"} << "2-3, A1";
    QTest::newRow("none") << QStringList {} << "";
}

void TestArm::textoNumeros()
{
    QFETCH(QStringList, numeros);
    QFETCH(QString, esperado);
    QCOMPARE(arm::TextoNumeros(numeros), esperado);
}

void TestArm::chave_data()
{
    QTest::addColumn<QString>("tipo");
    QTest::addColumn<QString>("nro");
    QTest::addColumn<QString>("esperado");
    QTest::newRow("slashes") << "A"
                             << "12/0758/00001"
                             << "A12075800001";
    QTest::newRow("dots, dashes, ampersands, blanks") << "B"
                                                      << "12.07-58&0 0001"
                                                      << "B12075800001";
}

void TestArm::chave()
{
    QFETCH(QString, tipo);
    QFETCH(QString, nro);
    QFETCH(QString, esperado);
    QCOMPARE(arm::Chave(tipo, nro), esperado);
}

void TestArm::tipoEBlocos_data()
{
    QTest::addColumn<QStringList>("notas"); // NroNF|CNPJ|IE|item
    QTest::addColumn<QString>("tipo");
    QTest::addColumn<QStringList>("blocos"); // numbers|date|total|sender|recipient|goods
    QTest::newRow("one pair: type B, runs, last date, goods sorted")
        << QStringList {"12|11.111.111/0001-11|001.1|15", "10|11.111.111/0001-11|001.1|3",
               "15|11.111.111/0001-11|001.1|15", "11|11.111.111/0001-11|001.1|20"}
        << "B" << QStringList {"10-12, 15|2012-03-04|420.0000|11.111.111/0001-11|001.1|3, 15, 20"};
    QTest::newRow("two pairs: type A, blocks in key order")
        << QStringList {"5|22.222.222/0001-22|001.1|15", "6|11.111.111/0001-11|002.2|15",
               "7|22.222.222/0001-22|001.1|16"}
        << "A"
        << QStringList {"6|2012-03-02|105.0000|11.111.111/0001-11|002.2|15",
               "5, 7|2012-03-03|210.0000|22.222.222/0001-22|001.1|15, 16"};
    QTest::newRow("same sender, other recipient: type A")
        << QStringList {"1|11.111.111/0001-11|001.1|15", "2|11.111.111/0001-11|001.2|15"} << "A"
        << QStringList {"1|2012-03-01|105.0000|11.111.111/0001-11|001.1|15",
               "2|2012-03-02|105.0000|11.111.111/0001-11|001.2|15"};
}

void TestArm::tipoEBlocos()
{
    QFETCH(QStringList, notas);
    QFETCH(QString, tipo);
    QFETCH(QStringList, blocos);
    ArmFixture fx;
    const int id = fx.calculoCom(notas);
    const QList<arm::NotaARM> lidas = arm::LeNotas(fx.dm->BaseDados, id);
    QCOMPARE(lidas.size(), notas.size());
    QCOMPARE(arm::Tipo(lidas), tipo);
    QStringList obtidos;
    for (const arm::BlocoARM &b : arm::Blocos(lidas)) {
        QCOMPARE(b.remetNome, QStringLiteral("NOME ") + b.remetente);
        QCOMPARE(b.destNome, QStringLiteral("NOME ") + b.destinatario);
        obtidos << QStringList {b.numeros, b.emissao.toString(Qt::ISODate), b.total.toPlainString(4), b.remetente,
            b.destinatario, b.mercadorias}
                       .join(QLatin1Char('|'));
    }
    QCOMPARE(obtidos, blocos);
}

void TestArm::registroGravado()
{
    ArmFixture fx;
    fx.armExistente(QStringLiteral("A"), QStringLiteral("12/0758/00041"));
    const int id = fx.calculoCom({"5|22.222.222/0001-22|001.1|15", "6|11.111.111/0001-11|002.2|16"});
    fx.sink.answers = {true};
    const arm::ResultadoCriacao r = arm::CriaARM(*fx.dm, fx.contexto());
    QCOMPARE(fx.sink.texts(), QStringList {"Confirma gerar um ARM para este Cálculo?"});
    QCOMPARE(r.chave, QStringLiteral("A12075800042"));
    QVERIFY(!r.existente);

    // The key stays in the calculation, on disk.
    fx.dm->TabCalc.close();
    fx.dm->TabCalc.open();
    QVERIFY(fx.dm->TabCalc.locate(QStringLiteral("IdCalculo"), {id}));
    QCOMPARE(fx.dm->TabCalc.fieldByName(QStringLiteral("NroTRM")).asString(), r.chave);

    fx.dm->TabARM.close();
    QCOMPARE(fx.armCount(), 2);
    db::Table &t = fx.arm(r.chave);
    QCOMPARE(fx.campo(t, QStringLiteral("NroTRM")), QStringLiteral("12/0758/00042"));
    QCOMPARE(fx.campo(t, QStringLiteral("Chave")), QStringLiteral("A12/0758/00042"));
    QCOMPARE(fx.campo(t, QStringLiteral("Tipo")), QStringLiteral("A"));
    QCOMPARE(fx.campo(t, QStringLiteral("Masp")), QStringLiteral("1234567"));
    QCOMPARE(t.fieldByName(QStringLiteral("Emissao")).asDateTime(), kAgora);
    for (int i = 1; i <= 5; ++i)
        QCOMPARE(t.fieldByName(QStringLiteral("MotivoEmissao%1").arg(i)).asBoolean(), i == 3);
    QCOMPARE(fx.campo(t, QStringLiteral("Justificativa")), arm::Justificativa());
    QVERIFY(!t.fieldByName(QStringLiteral("X1NFNaoApresentada")).asBoolean());
    QVERIFY(!t.fieldByName(QStringLiteral("X1NFNaoApresentada")).isNull());
    QCOMPARE(fx.campo(t, QStringLiteral("X1NFNro")), QStringLiteral("6"));
    QCOMPARE(fx.campo(t, QStringLiteral("X1Remetente")), QStringLiteral("11.111.111/0001-11"));
    QCOMPARE(fx.campo(t, QStringLiteral("X1RemetNome")), QStringLiteral("NOME 11.111.111/0001-11"));
    QCOMPARE(fx.campo(t, QStringLiteral("X1DestNome")), QStringLiteral("NOME 002.2"));
    QCOMPARE(fx.campo(t, QStringLiteral("X1DescricaoMercadoria")), QStringLiteral("16"));
    QCOMPARE(t.fieldByName(QStringLiteral("X1NFDataEmissao")).asDate(), QDate(2012, 3, 2));
    QCOMPARE(fx.campo(t, QStringLiteral("X2NFNro")), QStringLiteral("5"));
    QCOMPARE(fx.campo(t, QStringLiteral("X2Destinatario")), QStringLiteral("001.1"));
    QCOMPARE(t.fieldByName(QStringLiteral("X2NFValorTotal")).asCurrency().toPlainString(2), QStringLiteral("105.00"));
    QCOMPARE(fx.campo(t, QStringLiteral("X2DescricaoMercadorias")), QStringLiteral("15"));
    QVERIFY(t.fieldByName(QStringLiteral("X3NFNro")).asString().isEmpty());
}

void TestArm::maisDeCincoPares_data()
{
    QTest::addColumn<bool>("continua");
    QTest::newRow("Yes: the first five in key order") << true;
    QTest::newRow("No: no document") << false;
}

void TestArm::maisDeCincoPares()
{
    QFETCH(bool, continua);
    ArmFixture fx;
    // Seven pairs, entered out of key order.
    QStringList notas;
    for (int i : {7, 3, 1, 6, 2, 5, 4})
        notas << QStringLiteral("%1|0%1.000.000/0001-00|00%1|15").arg(i);
    const int id = fx.calculoCom(notas);
    fx.sink.answers = {continua};
    const std::optional<QString> chave
        = arm::GeraARM(*fx.dm, id, QStringLiteral("1234567"), QStringLiteral("A"), fx.contexto());
    QCOMPARE(fx.sink.texts(),
        QStringList {"Este cálculo precisa de 7 campos no ARM. Apenas 5 serão transferidos. Continua?"});
    if (!continua) {
        QVERIFY(!chave);
        QCOMPARE(fx.armCount(), 0);
        return;
    }
    QCOMPARE(chave, std::optional<QString>(QStringLiteral("A12075800001")));
    db::Table &t = fx.arm(*chave);
    for (int k = 1; k <= 5; ++k) {
        QCOMPARE(fx.campo(t, QStringLiteral("X%1NFNro").arg(k)), QString::number(k));
        QCOMPARE(fx.campo(t, QStringLiteral("X%1Destinatario").arg(k)), QStringLiteral("00%1").arg(k));
    }
    QCOMPARE(t.fieldByName(QStringLiteral("X4ValorTotal")).asCurrency().toPlainString(2), QStringLiteral("105.00"));
    QCOMPARE(t.fieldByName(QStringLiteral("X4NFDataEmissao")).asDate(), QDate(2012, 3, 7));
}

void TestArm::chaveExistenteAbre()
{
    ArmFixture fx;
    fx.calculoCom({"1|11.111.111/0001-11|001.1|15"}, QStringLiteral(",NroTRM=B12075800001"));
    const arm::ResultadoCriacao r = arm::CriaARM(*fx.dm, fx.contexto());
    QCOMPARE(r.chave, QStringLiteral("B12075800001"));
    QVERIFY(r.existente);
    QVERIFY(fx.sink.texts().isEmpty()); // not even the question
    QCOMPARE(fx.armCount(), 0);
}

void TestArm::recusaNaoGrava()
{
    ArmFixture fx;
    fx.calculoCom({"1|11.111.111/0001-11|001.1|15"});
    fx.sink.answers = {false};
    const arm::ResultadoCriacao r = arm::CriaARM(*fx.dm, fx.contexto());
    QVERIFY(r.chave.isEmpty());
    QCOMPARE(fx.sink.texts(), QStringList {"Confirma gerar um ARM para este Cálculo?"});
    QCOMPARE(fx.armCount(), 0);
    QVERIFY(fx.dm->TabCalc.fieldByName(QStringLiteral("NroTRM")).asString().isEmpty());
}

QTEST_GUILESS_MAIN(TestArm)
#include "tst_arm.moc"
