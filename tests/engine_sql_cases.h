// The statement table of the engine: a small database (the rows below, on
// every table of the data folder and ARM) and every SQL text the program
// runs, with the rows each must return. The folder engine and the server run
// the same table.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantMap>

namespace enginesql {

// The rows of the small database, as INSERT statements of the engine's dialect.
inline QStringList fixtureInserts()
{
    return {
        QString::fromUtf8("INSERT INTO BRELVA (ITEM, EX, SUBITEM, ID, DESCRICAO, MVA1, MVA2, INFOMVA1, CEST, FEM, "
                          "AMBITO, CODIGONBM1, CODIGONBM2) VALUES "
                          "(1, 0, 0, 1, 'Autopeças', 0, 0, NULL, NULL, FALSE, 0, NULL, NULL),"
                          "(1, 0, 1, 2, 'Pára-choques', 71.78, 0, 'Geral', '01.001.00', FALSE, 1, '8708.10.00', NULL),"
                          "(6, 0, 0, 3, 'Combustíveis', 0, 0, NULL, NULL, FALSE, 0, NULL, NULL),"
                          "(6, 0, 1, 4, 'Álcool', 30, 0, NULL, '06.001.00', TRUE, 1, '2207.10.00', '2207.20.00'),"
                          "(100, 0, 0, 5, 'Fora', 0, 0, NULL, NULL, FALSE, 0, NULL, NULL)"),
        QString::fromUtf8("INSERT INTO CALCULOS (IdCalculo, DataHora, Masp, CNPJRemet, IEDest, Grupo) VALUES "
                          "(1, '2026-12-05 10:00:00.000', '123.456-7', '11.222.333/0001-81', NULL, 6),"
                          "(2, '2026-11-05 09:00:00.000', NULL, NULL, '062.307.904.0081', NULL),"
                          "(3, '2026-11-06 00:00:00.000', NULL, '11.222.333/0001-81', '062.307.904.0081', 113)"),
        QString::fromUtf8("INSERT INTO FISCAIS VALUES ('123.456-7', 'Maria D''Água')"),
        QString::fromUtf8("INSERT INTO REMETENTES VALUES ('11.222.333/0001-81', 'Distribuidora Sul'), "
                          "('00.000.000/0001-91', 'Banco')"),
        QString::fromUtf8("INSERT INTO DESTINATARIOS VALUES ('062.307.904.0081', 'Mercado Central')"),
        QString::fromUtf8(
            "INSERT INTO NOTAS (IdCalculo, IdNota, NroNF, Frete) VALUES (1, 1, '10', 50), (3, 2, '20', 0)"),
        QString::fromUtf8("INSERT INTO ITENS (IdNota, NroItem, ItemBrelva, ValorNF, ValorIPI, AliqICMS, MVA, "
                          "CreditoICMS, PMPF) VALUES "
                          "(1, 1, '01.001.00', 300, 0, 18, 40, 12, NULL),"
                          "(1, 2, '01.001.00', 100, 10, 18, 40, 12, 0),"
                          "(1, 3, '06.001.00', 500, 0, 25, 0, 12, 3.1234),"
                          "(7, 1, '17.001.00', 1, 0, 18, 0, 12, NULL)"),
        QString::fromUtf8("INSERT INTO ITENSMEDIC (IdNota, NroItem, DebVlMerc, DebAliqICMS, CreditoICMS) VALUES "
                          "(2, 1, 20, 18, 12), (2, 2, 33.33, 18, 7), (9, 1, 1, 18, 0)"),
        QString::fromUtf8("INSERT INTO PMPF (Vigencia, AtoCotepe, PMPFAlcool, PMPFGasolina) VALUES ('2026-11-16', "
                          "'40/26', 4.0123, 6.1)"),
        QString::fromUtf8("INSERT INTO CODMERC VALUES (1, 'Água mineral'), (2, 'ÁGUA DE COCO'), (3, 'Cimento')"),
        QString::fromUtf8(
            "INSERT INTO PRODUTOSNBM (NBM, Descricao) VALUES ('0011.00.00', 'x'), ('2207.10.00', 'Álcool')"),
        QString::fromUtf8(
            "INSERT INTO MEDIC (Id, CodBarra, Descricao, Valor1, Lista) VALUES "
            "(0, '7891234567890', 'DIPIRONA 500MG', 12.5, '+'), (1, '7890000000001', 'NOVALGINA DIPIRONA', 20, 'N')"),
        QString::fromUtf8("INSERT INTO REGIMEESPECIAL VALUES "
                          "('Distribuidora Sul', 'SC', 1, '11.222.333/0001-81', '', 'PTA 45/2020'),"
                          "('Distribuidora Sul', 'SC', 15, '', '062.307.904.0081', 'PTA 46/2020'),"
                          "('Outra', 'MG', 1, '', '001.002.003.0004', 'PTA 1')"),
        QString::fromUtf8("INSERT INTO ARM (NroTRM, Tipo) VALUES ('26/ABC/00041', 'A'), ('26/ABC/00007', 'A'), "
                          "('25/ABC/00099', 'A')")};
}

struct SqlCase {
    const char *name;
    QStringList lines;
    QString expected; // rows "a|b;c|d", amounts with four decimals, "null" for null
    QVariantMap params;
    // What the server returns where it cannot return the same (empty: the same).
    QString serverExpected;
    const QString &expectedOn(bool server) const
    {
        return server && !serverExpected.isEmpty() ? serverExpected : expected;
    }
};

// The statements, run on the database above with the date fixed at 2026-12-05.
inline QList<SqlCase> statementCases()
{
    QList<SqlCase> cases;
    auto row
        = [&cases](const char *name, const QStringList &lines, const char *expected, const QVariantMap &params = {}) {
              cases.append({name, lines, QString::fromUtf8(expected), params, {}});
          };
    row("annex headings", {"SELECT ITEM, DESCRICAO FROM BRELVA WHERE AMBITO = 0 AND ITEM < 99"},
        "1|Autopeças;6|Combustíveis");
    row("max invoice id", {"SELECT MAX(IdNota) FROM NOTAS"}, "2");
    row("max invoice id of lines", {"SELECT MAX(IdNota) FROM ITENS"}, "7");
    row("max invoice id of medicine lines", {"SELECT MAX(IdNota) FROM ITENSMEDIC"}, "9");
    row("next line number",
        {QStringLiteral("SELECT MAX(NroItem) FROM ITENS%1 WHERE IDNota = %2").arg(QString(), QStringLiteral("1"))},
        "3");
    row("next medicine line number",
        {QStringLiteral("SELECT MAX(NroItem) FROM ITENS%1 WHERE IDNota = %2")
                .arg(QStringLiteral("MEDIC"), QStringLiteral("5"))},
        "null");
    row("freight base",
        {"SELECT SUM(ValorNF + ValorIPI) AS FRETE", "   FROM ITENS", " WHERE IDNOTA = :IdNota",
            "AND ( PMPF IS NULL OR PMPF = 0 )"},
        "410.0000", {{"IdNota", 1}});
    row("medicine DIFAL",
        {"SELECT SUM(IT.DebVlMerc * (IT.DebALIQICMS - IT.CREDITOICMS)) / 100   FROM ITENSMEDIC IT WHERE IT.IDNOTA = 2"},
        "4.8663");
    row("medicine debit",
        {"SELECT  SUM( IT.DEBVLMERC * IT.DEBALIQICMS / 100 ) AS DEBITOICMS", "FROM ITENSMEDIC IT",
            "WHERE IT.IDNOTA =", "2"},
        "9.5994");
    row("DIFAL without PMPF",
        {"SELECT SUM((IT.VALORNF /*+ IT.VALORIPI*/) * (IT.ALIQICMS - IT.CREDITOICMS)) / 100   FROM ITENS IT WHERE "
         "(PMPF IS NULL OR PMPF = 0) AND IT.IDNOTA = 1"},
        "24.0000");
    row("DIFAL of PMPF lines",
        {"SELECT SUM((IT.VALORNF /*+ IT.VALORIPI*/) * (IT.ALIQICMS - IT.CREDITOICMS)) / 100   FROM ITENS IT WHERE "
         "(PMPF > 0) AND IT.IDNOTA = 1"},
        "65.0000");
    row("ICMS/ST to collect",
        {"SELECT IT.CREDITOICMS * IT.VALORNF / 100 AS CREDITOICMS,",
            "               ( IT.VALORNF + IT.VALORIPI + ( ( IT.VALORNF + IT.VALORIPI ) /", "410.0000 * 50.0000",
            ") ) * ( 1 + IT.MVA / 100 ) * IT.ALIQICMS / 100 AS DEBITOICMS", "FROM ITENS IT", "WHERE IT.IDNOTA =", "1",
            "AND ( PMPF IS NULL OR PMPF = 0 )"},
        "36.0000|84.8195;12.0000|31.1005");
    row("annex row",
        {QStringLiteral("SELECT ITEM, SUBITEM, ID, DESCRICAO, MVA1, MVA2, INFOMVA1, INFOMVA2,       MVA3, INFOMVA3, "
                        "CEST, FEM, AMBITO FROM BRELVA ")
            + QStringLiteral(" WHERE ITEM = %1 AND EX = %2 AND SUBITEM = %3").arg(1).arg(0).arg(1)},
        "1|1|2|Pára-choques|71.7800|0.0000|Geral|null|null|null|01.001.00|False|1");
    row("senders", {"SELECT CNPJRemet FROM REMETENTES ORDER BY 1"}, "00.000.000/0001-91;11.222.333/0001-81");
    row("recipients", {"SELECT IEDest FROM DESTINATARIOS ORDER BY 1"}, "062.307.904.0081");
    row("PMPF", {"SELECT * FROM PMPF"}, "2026-11-16|40/26|4.0123|6.1000|null|null|null");
    row("controlled goods", {"SELECT * FROM CODMERC", "WHERE UPPER(DESCRICAO) LIKE '%ÁGUA%'", "", ""},
        "1|Água mineral;2|ÁGUA DE COCO");
    row("calculations of 30 days",
        {"SELECT C.IDCALCULO, CAST( C.DATAHORA AS DATE) DATA, F.FISCAL,",
            "R.REMETENTE || ' x ' || D.DESTINATARIO EMPRESAS, C.GRUPO", "FROM CALCULOS C",
            "LEFT JOIN REMETENTES R ON R.CNPJREMET = C.CNPJREMET", "LEFT JOIN DESTINATARIOS D ON D.IEDEST = C.IEDEST",
            "LEFT JOIN FISCAIS F ON F.MASP = C.MASP", "WHERE CAST( C.DATAHORA AS DATE ) > ( CURRENT_DATE - 30 )",
            "ORDER BY 1 DESC"},
        "3|2026-11-06|null|Distribuidora Sul x Mercado Central|113;1|2026-12-05|Maria D'Água|null|6");
    row("all calculations",
        {"SELECT C.IDCALCULO, CAST( C.DATAHORA AS DATE) DATA, F.FISCAL,",
            "R.REMETENTE || ' x ' || D.DESTINATARIO EMPRESAS, C.GRUPO", "FROM CALCULOS C",
            "LEFT JOIN REMETENTES R ON R.CNPJREMET = C.CNPJREMET", "LEFT JOIN DESTINATARIOS D ON D.IEDEST = C.IEDEST",
            "LEFT JOIN FISCAIS F ON F.MASP = C.MASP", "", "ORDER BY 1 DESC"},
        "3|2026-11-06|null|Distribuidora Sul x Mercado Central|113;2|2026-11-05|null|null|null;"
        "1|2026-12-05|Maria D'Água|null|6");
    row("medicine by bar code", {"SELECT Id, Descricao FROM MEDIC WHERE CODBARRA = '7891234567890'"},
        "0|DIPIRONA 500MG");
    row("medicine by first word", {"SELECT Id FROM MEDIC WHERE UPPER(DESCRICAO) LIKE 'DIPIRONA%'"}, "0");
    row("medicine by any word", {"SELECT Id FROM MEDIC WHERE UPPER(DESCRICAO) LIKE '%DIPIRONA%' ORDER BY Id"}, "0;1");
    row("medicine by any word, case-blind LIKE",
        {"SELECT Id FROM MEDIC WHERE ST_LIKECI(DESCRICAO, :TEXTO, '\\') ORDER BY DESCRICAO"}, "0;1",
        {{"TEXTO", "%dipirona%"}});
    row("regime IE of a CNPJ", {"SELECT IE FROM REGIMEESPECIAL  WHERE CNPJ = '11.222.333/0001-81' and IE <> ''"}, "");
    row("regime CNPJ of an IE", {"SELECT CNPJ FROM REGIMEESPECIAL  WHERE IE = '062.307.904.0081' and CNPJ <> ''"}, "");
    row("regimes by CNPJ",
        {"SELECT NOME, UF, REGIME, PP FROM REGIMEESPECIAL  WHERE CNPJ = '11.222.333/0001-81' OR IE = "
         "'062.307.904.0081'"},
        "Distribuidora Sul|SC|1|PTA 45/2020;Distribuidora Sul|SC|15|PTA 46/2020");
    row("regimes by IE",
        {"SELECT DISTINCT NOME, UF, REGIME, CNPJ, PP FROM REGIMEESPECIAL  WHERE IE = '001.002.003.0004'"},
        "Outra|MG|1||PTA 1");
    row("report regimes by CNPJ",
        {"SELECT NOME, UF, REGIME, PP FROM REGIMEESPECIAL  WHERE (CNPJ = '11.222.333/0001-81') AND (REGIME = 1)"},
        "Distribuidora Sul|SC|1|PTA 45/2020");
    row("report regimes by IE",
        {"SELECT NOME, UF, REGIME, CNPJ, PP FROM REGIMEESPECIAL  WHERE (IE = '062.307.904.0081') AND (REGIME = 15)"},
        "Distribuidora Sul|SC|15||PTA 46/2020");
    row("collection document number",
        {"SELECT MAX(CAST(SUBSTRING(NROTRM FROM 9 FOR 5) AS INTEGER)) FROM ARM WHERE TIPO = 'A' AND SUBSTRING(NROTRM "
         "FROM 1 FOR 2) = '26'"},
        "41");
    row("invoice total for the document", {"SELECT SUM( VALORNF + VALORIPI ) FROM ITENS WHERE IDNOTA = 1"}, "910.0000");
    row("annex items of an invoice", {"SELECT ITEMBRELVA FROM ITENS WHERE IDNOTA = 1"},
        "01.001.00;01.001.00;06.001.00");
    row("product codes of the annex",
        {"SELECT CODIGONBM1 AS NBM, CEST FROM BRELVA WHERE CODIGONBM1 IS NOT NULL UNION "
         "SELECT CODIGONBM2 AS NBM, CEST FROM BRELVA WHERE CODIGONBM2 IS NOT NULL UNION "
         "SELECT CODIGONBM3 AS NBM, CEST FROM BRELVA WHERE CODIGONBM3 IS NOT NULL"},
        "2207.10.00|06.001.00;2207.20.00|06.001.00;8708.10.00|01.001.00");
    row("CEST list",
        {"SELECT DISTINCT CEST, MVA1, MVA2, MVA3, INFOMVA1, INFOMVA2, INFOMVA3, CAST(DESCRICAO AS VARCHAR(6)) "
         "DESCRICAO",
            "FROM BRELVA WHERE CEST IS NOT NULL ORDER BY CEST"},
        "01.001.00|71.7800|0.0000|null|Geral|null|null|Pára-c;06.001.00|30.0000|0.0000|null|null|null|null|Álcool");
    row("position of a text", {"SELECT POS('5' IN NROTRM), POSITION('/' IN NROTRM) FROM ARM WHERE NROTRM LIKE '25%'"},
        "2|3");
    row("parameters", {"SELECT Descricao FROM MEDIC WHERE Valor1 > :p1 AND Lista = :p2"}, "NOVALGINA DIPIRONA",
        {{"p1", 15}, {"p2", "N"}});
    row("quote inside a bound value", {"SELECT Fiscal FROM FISCAIS WHERE Fiscal = :p1"}, "Maria D'Água",
        {{"p1", QString::fromUtf8("Maria D'Água")}});
    // Where the two storages answer differently; no statement of the program
    // depends on these.
    // The folder drops the fraction of a number cast to an integer; the server rounds it.
    row("integer cast of a fraction", {"SELECT CAST(2.7 AS INTEGER), CAST(-2.7 AS INTEGER) FROM FISCAIS"}, "2|-2");
    cases.last().serverExpected = QStringLiteral("3|-3");
    // The folder's UPPER follows Unicode's full mapping (ß to SS); the
    // server's keeps the letters it has no single upper case for.
    row("upper case of a sharp s", {"SELECT UPPER('straße') FROM FISCAIS"}, "STRASSE");
    cases.last().serverExpected = QString::fromUtf8("STRAßE");
    return cases;
}

} // namespace enginesql
