// Every SQL text the program runs, in one table, against a small database:
// each must run as written and return the expected rows.
#include "core/schema.h"
#include "platform/clock.h"
#include "platform/db/dataset.h"
#include "platform/db/sqltranslate.h"

#include <QTemporaryDir>
#include <QTest>

using namespace stb;
using namespace stb::db;

namespace {

void exec(Database &db, const char *sql) { db.execSql(QString::fromUtf8(sql)); }

// Rows as "a|b;c|d"; amounts with four decimals so float noise cannot hide.
QString rowsText(Query &q)
{
    QStringList rows;
    for (q.first(); !q.eof(); q.next()) {
        QStringList cols;
        for (int i = 0; i < q.fieldCount(); ++i) {
            const Field &f = q.field(i);
            if (f.isNull())
                cols << QStringLiteral("null");
            else if (f.type() == FieldType::Float || f.type() == FieldType::Currency)
                cols << f.asCurrency().toPlainString(4);
            else if (f.type() == FieldType::Date)
                cols << f.asDate().toString(Qt::ISODate);
            else
                cols << f.asString();
        }
        rows << cols.join(QLatin1Char('|'));
    }
    return rows.join(QLatin1Char(';'));
}

} // namespace

class TestEngineSql : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void statements_data();
    void statements();
    void deleteStatement();
    void translation_data();
    void translation();

private:
    QTemporaryDir m_dir;
    Database m_db;
};

void TestEngineSql::initTestCase()
{
    Clock::setFixedDate(QDate(2026, 12, 5));
    m_db.setDirectory(m_dir.path());
    for (const TableDef &d : schema::dataFolderTables())
        m_db.createTable(d);
    {
        // ARM lives in its own folder in the program; here it shares the fixture.
        m_db.createTable(schema::arm());
    }
    exec(m_db, "INSERT INTO BRELVA (ITEM, EX, SUBITEM, ID, DESCRICAO, MVA1, MVA2, INFOMVA1, CEST, FEM, AMBITO, CODIGONBM1, CODIGONBM2) VALUES "
               "(1, 0, 0, 1, 'Autopeças', 0, 0, NULL, NULL, 0, 0, NULL, NULL),"
               "(1, 0, 1, 2, 'Pára-choques', 71.78, 0, 'Geral', '01.001.00', 0, 1, '8708.10.00', NULL),"
               "(6, 0, 0, 3, 'Combustíveis', 0, 0, NULL, NULL, 0, 0, NULL, NULL),"
               "(6, 0, 1, 4, 'Álcool', 30, 0, NULL, '06.001.00', 1, 1, '2207.10.00', '2207.20.00'),"
               "(100, 0, 0, 5, 'Fora', 0, 0, NULL, NULL, 0, 0, NULL, NULL)");
    exec(m_db, "INSERT INTO CALCULOS (IdCalculo, DataHora, Masp, CNPJRemet, IEDest, Grupo) VALUES "
               "(1, '2026-12-05 10:00:00.000', '123.456-7', '11.222.333/0001-81', NULL, 6),"
               "(2, '2026-11-05 09:00:00.000', NULL, NULL, '062.307.904.0081', NULL),"
               "(3, '2026-11-06 00:00:00.000', NULL, '11.222.333/0001-81', '062.307.904.0081', 113)");
    exec(m_db, "INSERT INTO FISCAIS VALUES ('123.456-7', 'Maria D''Água')");
    exec(m_db, "INSERT INTO REMETENTES VALUES ('11.222.333/0001-81', 'Distribuidora Sul'), ('00.000.000/0001-91', 'Banco')");
    exec(m_db, "INSERT INTO DESTINATARIOS VALUES ('062.307.904.0081', 'Mercado Central')");
    exec(m_db, "INSERT INTO NOTAS (IdCalculo, IdNota, NroNF, Frete) VALUES (1, 1, '10', 50), (3, 2, '20', 0)");
    exec(m_db, "INSERT INTO ITENS (IdNota, NroItem, ItemBrelva, ValorNF, ValorIPI, AliqICMS, MVA, CreditoICMS, PMPF) VALUES "
               "(1, 1, '01.001.00', 300, 0, 18, 40, 12, NULL),"
               "(1, 2, '01.001.00', 100, 10, 18, 40, 12, 0),"
               "(1, 3, '06.001.00', 500, 0, 25, 0, 12, 3.1234),"
               "(7, 1, '17.001.00', 1, 0, 18, 0, 12, NULL)");
    exec(m_db, "INSERT INTO ITENSMEDIC (IdNota, NroItem, DebVlMerc, DebAliqICMS, CreditoICMS) VALUES "
               "(2, 1, 20, 18, 12), (2, 2, 33.33, 18, 7), (9, 1, 1, 18, 0)");
    exec(m_db, "INSERT INTO PMPF (Vigencia, AtoCotepe, PMPFAlcool, PMPFGasolina) VALUES ('2026-11-16', '40/26', 4.0123, 6.1)");
    exec(m_db, "INSERT INTO CODMERC VALUES (1, 'Água mineral'), (2, 'ÁGUA DE COCO'), (3, 'Cimento')");
    exec(m_db, "INSERT INTO PRODUTOSNBM (NBM, Descricao) VALUES ('0011.00.00', 'x'), ('2207.10.00', 'Álcool')");
    exec(m_db, "INSERT INTO MEDIC (Id, CodBarra, Descricao, Valor1, Lista) VALUES "
               "(0, '7891234567890', 'DIPIRONA 500MG', 12.5, '+'), (1, '7890000000001', 'NOVALGINA DIPIRONA', 20, 'N')");
    exec(m_db, "INSERT INTO REGIMEESPECIAL VALUES "
               "('Distribuidora Sul', 'SC', 1, '11.222.333/0001-81', '', 'PTA 45/2020'),"
               "('Distribuidora Sul', 'SC', 15, '', '062.307.904.0081', 'PTA 46/2020'),"
               "('Outra', 'MG', 1, '', '001.002.003.0004', 'PTA 1')");
    exec(m_db, "INSERT INTO ARM (NroTRM, Tipo) VALUES ('26/ABC/00041', 'A'), ('26/ABC/00007', 'A'), ('25/ABC/00099', 'A')");
}

void TestEngineSql::cleanupTestCase() { Clock::reset(); }

void TestEngineSql::statements_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QVariantMap>("params");
    QTest::addColumn<QString>("expected");
    auto row = [](const char *name, const QStringList &lines, const char *expected, const QVariantMap &params = {}) {
        QTest::newRow(name) << lines << params << QString::fromUtf8(expected);
    };
    row("annex headings", {"SELECT ITEM, DESCRICAO FROM BRELVA WHERE AMBITO = 0 AND ITEM < 99"},
        "1|Autopeças;6|Combustíveis");
    row("max invoice id", {"SELECT MAX(IdNota) FROM NOTAS"}, "2");
    row("max invoice id of lines", {"SELECT MAX(IdNota) FROM ITENS"}, "7");
    row("max invoice id of medicine lines", {"SELECT MAX(IdNota) FROM ITENSMEDIC"}, "9");
    row("next line number", {QStringLiteral("SELECT MAX(NroItem) FROM ITENS%1 WHERE IDNota = %2").arg(QString(), QStringLiteral("1"))}, "3");
    row("next medicine line number", {QStringLiteral("SELECT MAX(NroItem) FROM ITENS%1 WHERE IDNota = %2").arg(QStringLiteral("MEDIC"), QStringLiteral("5"))},
        "null");
    row("freight base", {"SELECT SUM(ValorNF + ValorIPI) AS FRETE", "   FROM ITENS", " WHERE IDNOTA = :IdNota", "AND ( PMPF IS NULL OR PMPF = 0 )"},
        "410.0000", {{"IdNota", 1}});
    row("medicine DIFAL", {"SELECT SUM(IT.DebVlMerc * (IT.DebALIQICMS - IT.CREDITOICMS)) / 100   FROM ITENSMEDIC IT WHERE IT.IDNOTA = 2"},
        "4.8663");
    row("medicine debit", {"SELECT  SUM( IT.DEBVLMERC * IT.DEBALIQICMS / 100 ) AS DEBITOICMS", "FROM ITENSMEDIC IT", "WHERE IT.IDNOTA =", "2"},
        "9.5994");
    row("DIFAL without PMPF",
        {"SELECT SUM((IT.VALORNF /*+ IT.VALORIPI*/) * (IT.ALIQICMS - IT.CREDITOICMS)) / 100   FROM ITENS IT WHERE (PMPF IS NULL OR PMPF = 0) AND IT.IDNOTA = 1"},
        "24.0000");
    row("DIFAL of PMPF lines",
        {"SELECT SUM((IT.VALORNF /*+ IT.VALORIPI*/) * (IT.ALIQICMS - IT.CREDITOICMS)) / 100   FROM ITENS IT WHERE (PMPF > 0) AND IT.IDNOTA = 1"},
        "65.0000");
    row("ICMS/ST to collect",
        {"SELECT IT.CREDITOICMS * IT.VALORNF / 100 AS CREDITOICMS,",
         "               ( IT.VALORNF + IT.VALORIPI + ( ( IT.VALORNF + IT.VALORIPI ) /", "410.0000 * 50.0000",
         ") ) * ( 1 + IT.MVA / 100 ) * IT.ALIQICMS / 100 AS DEBITOICMS", "FROM ITENS IT", "WHERE IT.IDNOTA =", "1",
         "AND ( PMPF IS NULL OR PMPF = 0 )"},
        "36.0000|84.8195;12.0000|31.1005");
    row("annex row",
        {QStringLiteral("SELECT ITEM, SUBITEM, ID, DESCRICAO, MVA1, MVA2, INFOMVA1, INFOMVA2,       MVA3, INFOMVA3, CEST, FEM, AMBITO FROM BRELVA ")
         + QStringLiteral(" WHERE ITEM = %1 AND EX = %2 AND SUBITEM = %3").arg(1).arg(0).arg(1)},
        "1|1|2|Pára-choques|71.7800|0.0000|Geral|null|null|null|01.001.00|False|1");
    row("senders", {"SELECT CNPJRemet FROM REMETENTES ORDER BY 1"}, "00.000.000/0001-91;11.222.333/0001-81");
    row("recipients", {"SELECT IEDest FROM DESTINATARIOS ORDER BY 1"}, "062.307.904.0081");
    row("PMPF", {"SELECT * FROM PMPF"}, "2026-11-16|40/26|4.0123|6.1000|null|null|null");
    row("controlled goods", {"SELECT * FROM CODMERC", "WHERE UPPER(DESCRICAO) LIKE '%ÁGUA%'", "", ""},
        "1|Água mineral;2|ÁGUA DE COCO");
    row("calculations of 30 days",
        {"SELECT C.IDCALCULO, CAST( C.DATAHORA AS DATE) DATA, F.FISCAL,", "R.REMETENTE || ' x ' || D.DESTINATARIO EMPRESAS, C.GRUPO",
         "FROM CALCULOS C", "LEFT JOIN REMETENTES R ON R.CNPJREMET = C.CNPJREMET", "LEFT JOIN DESTINATARIOS D ON D.IEDEST = C.IEDEST",
         "LEFT JOIN FISCAIS F ON F.MASP = C.MASP", "WHERE CAST( C.DATAHORA AS DATE ) > ( CURRENT_DATE - 30 )", "ORDER BY 1 DESC"},
        "3|2026-11-06|null|Distribuidora Sul x Mercado Central|113;1|2026-12-05|Maria D'Água|null|6");
    row("all calculations",
        {"SELECT C.IDCALCULO, CAST( C.DATAHORA AS DATE) DATA, F.FISCAL,", "R.REMETENTE || ' x ' || D.DESTINATARIO EMPRESAS, C.GRUPO",
         "FROM CALCULOS C", "LEFT JOIN REMETENTES R ON R.CNPJREMET = C.CNPJREMET", "LEFT JOIN DESTINATARIOS D ON D.IEDEST = C.IEDEST",
         "LEFT JOIN FISCAIS F ON F.MASP = C.MASP", "", "ORDER BY 1 DESC"},
        "3|2026-11-06|null|Distribuidora Sul x Mercado Central|113;2|2026-11-05|null|null|null;"
        "1|2026-12-05|Maria D'Água|null|6");
    row("medicine by bar code", {"SELECT Id, Descricao FROM MEDIC WHERE CODBARRA = '7891234567890'"}, "0|DIPIRONA 500MG");
    row("medicine by first word", {"SELECT Id FROM MEDIC WHERE UPPER(DESCRICAO) LIKE 'DIPIRONA%'"}, "0");
    row("medicine by any word", {"SELECT Id FROM MEDIC WHERE UPPER(DESCRICAO) LIKE '%DIPIRONA%' ORDER BY Id"}, "0;1");
    row("medicine by any word, case-blind LIKE",
        {"SELECT Id FROM MEDIC WHERE ST_LIKECI(DESCRICAO, :TEXTO, '\\') ORDER BY DESCRICAO"}, "0;1",
        {{"TEXTO", "%dipirona%"}});
    row("regime IE of a CNPJ", {"SELECT IE FROM REGIMEESPECIAL  WHERE CNPJ = '11.222.333/0001-81' and IE <> ''"}, "");
    row("regime CNPJ of an IE", {"SELECT CNPJ FROM REGIMEESPECIAL  WHERE IE = '062.307.904.0081' and CNPJ <> ''"}, "");
    row("regimes by CNPJ",
        {"SELECT NOME, UF, REGIME, PP FROM REGIMEESPECIAL  WHERE CNPJ = '11.222.333/0001-81' OR IE = '062.307.904.0081'"},
        "Distribuidora Sul|SC|1|PTA 45/2020;Distribuidora Sul|SC|15|PTA 46/2020");
    row("regimes by IE", {"SELECT DISTINCT NOME, UF, REGIME, CNPJ, PP FROM REGIMEESPECIAL  WHERE IE = '001.002.003.0004'"},
        "Outra|MG|1||PTA 1");
    row("report regimes by CNPJ",
        {"SELECT NOME, UF, REGIME, PP FROM REGIMEESPECIAL  WHERE (CNPJ = '11.222.333/0001-81') AND (REGIME = 1)"},
        "Distribuidora Sul|SC|1|PTA 45/2020");
    row("report regimes by IE",
        {"SELECT NOME, UF, REGIME, CNPJ, PP FROM REGIMEESPECIAL  WHERE (IE = '062.307.904.0081') AND (REGIME = 15)"},
        "Distribuidora Sul|SC|15||PTA 46/2020");
    row("collection document number",
        {"SELECT MAX(CAST(SUBSTRING(NROTRM FROM 9 FOR 5) AS INTEGER)) FROM ARM WHERE TIPO = 'A' AND SUBSTRING(NROTRM FROM 1 FOR 2) = '26'"},
        "41");
    row("invoice total for the document", {"SELECT SUM( VALORNF + VALORIPI ) FROM ITENS WHERE IDNOTA = 1"}, "910.0000");
    row("annex items of an invoice", {"SELECT ITEMBRELVA FROM ITENS WHERE IDNOTA = 1"}, "01.001.00;01.001.00;06.001.00");
    row("product codes of the annex",
        {"SELECT CODIGONBM1 AS NBM, CEST FROM BRELVA WHERE CODIGONBM1 IS NOT NULL UNION "
         "SELECT CODIGONBM2 AS NBM, CEST FROM BRELVA WHERE CODIGONBM2 IS NOT NULL UNION "
         "SELECT CODIGONBM3 AS NBM, CEST FROM BRELVA WHERE CODIGONBM3 IS NOT NULL"},
        "2207.10.00|06.001.00;2207.20.00|06.001.00;8708.10.00|01.001.00");
    row("CEST list",
        {"SELECT DISTINCT CEST, MVA1, MVA2, MVA3, INFOMVA1, INFOMVA2, INFOMVA3, CAST(DESCRICAO AS VARCHAR(6)) DESCRICAO",
         "FROM BRELVA WHERE CEST IS NOT NULL ORDER BY CEST"},
        "01.001.00|71.7800|0.0000|null|Geral|null|null|Pára-c;06.001.00|30.0000|0.0000|null|null|null|null|Álcool");
    row("position of a text", {"SELECT POS('5' IN NROTRM), POSITION('/' IN NROTRM) FROM ARM WHERE NROTRM LIKE '25%'"}, "2|3");
    row("parameters", {"SELECT Descricao FROM MEDIC WHERE Valor1 > :p1 AND Lista = :p2"}, "NOVALGINA DIPIRONA",
        {{"p1", 15}, {"p2", "N"}});
    row("quote inside a bound value", {"SELECT Fiscal FROM FISCAIS WHERE Fiscal = :p1"}, "Maria D'Água",
        {{"p1", QString::fromUtf8("Maria D'Água")}});
}

void TestEngineSql::statements()
{
    QFETCH(QStringList, lines);
    QFETCH(QVariantMap, params);
    QFETCH(QString, expected);
    Query q(&m_db);
    q.sql() = lines;
    for (auto it = params.cbegin(); it != params.cend(); ++it)
        q.paramByName(it.key()).value = it.value();
    q.open();
    QCOMPARE(rowsText(q), expected);
}

void TestEngineSql::deleteStatement()
{
    Query q(&m_db);
    q.setSql(QStringLiteral("DELETE FROM PRODUTOSNBM WHERE NBM LIKE '00%'"));
    QCOMPARE(q.execSql(), 1);
    q.setSql(QStringLiteral("SELECT NBM FROM PRODUTOSNBM"));
    q.open();
    QCOMPARE(rowsText(q), QStringLiteral("2207.10.00"));
}

void TestEngineSql::translation_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("expected");
    QTest::newRow("date cast") << "SELECT CAST( X AS DATE) D" << "SELECT date(X) D";
    QTest::newRow("days back") << "WHERE A > ( CURRENT_DATE - 30 )" << "WHERE A > ( date(st_today(), '-30 days') )";
    QTest::newRow("substring") << "SUBSTRING(NROTRM FROM 9 FOR 5)" << "substr(NROTRM, 9, 5)";
    QTest::newRow("nested") << "CAST(SUBSTRING(A FROM 1 FOR 2) AS INTEGER)" << "CAST(substr(A, 1, 2) AS INTEGER)";
    QTest::newRow("varchar") << "CAST(D AS VARCHAR(255))" << "substr(CAST(D AS TEXT), 1, 255)";
    QTest::newRow("strings untouched") << "'CAST(x AS DATE) || CURRENT_DATE'" << "'CAST(x AS DATE) || CURRENT_DATE'";
    QTest::newRow("comment untouched") << "/* SUBSTRING(a FROM 1) */ 1" << "/* SUBSTRING(a FROM 1) */ 1";
}

void TestEngineSql::translation()
{
    QFETCH(QString, sql);
    QFETCH(QString, expected);
    QCOMPARE(translateSql(sql).sql, expected);
}

QTEST_GUILESS_MAIN(TestEngineSql)
#include "tst_engine_sql.moc"
