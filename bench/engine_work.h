// The engine's side of the engine benchmarks (bench_engine on a data folder,
// bench_engine_pg on a server): the same table and the same three kinds of
// work, so that both compare the same engine code with their raw baseline.
#pragma once

#include "platform/db/dataset.h"
#include "platform/db/transaction.h"

namespace stb::benchwork {

using namespace stb::db;

constexpr int kRows = 10000;
// The grouped sum, run as it stands by the engine and by each baseline.
inline const char *const kGroupSql = "SELECT IdNota, SUM(ValorNF * AliqICMS / 100) FROM Itens GROUP BY IdNota";

inline TableDef itensDef()
{
    TableDef d;
    d.name = QStringLiteral("Itens");
    d.fields = {{QStringLiteral("IdNota"), FieldType::Integer}, {QStringLiteral("NroItem"), FieldType::SmallInt},
        {QStringLiteral("DescricaoNF"), FieldType::String, 50}, {QStringLiteral("ValorNF"), FieldType::Currency},
        {QStringLiteral("AliqICMS"), FieldType::Currency}};
    d.indexes = {{QStringLiteral("IdNota"), QStringLiteral("IdNota;NroItem"), 0}};
    return d;
}

inline QString descr(int i) { return QStringLiteral("mercadoria número %1").arg(i); }
inline Currency valor(int i) { return Currency::fromRaw(1000000 + 3377 * i); }

// (a) appends in one transaction.
inline void appendDataset(Database &db)
{
    Table t(&db, QStringLiteral("Itens"));
    t.open();
    Field &idNota = t.fieldByName(QStringLiteral("IdNota"));
    Field &nro = t.fieldByName(QStringLiteral("NroItem"));
    Field &desc = t.fieldByName(QStringLiteral("DescricaoNF"));
    Field &val = t.fieldByName(QStringLiteral("ValorNF"));
    Field &aliq = t.fieldByName(QStringLiteral("AliqICMS"));
    Transaction tx(db);
    for (int i = 0; i < kRows; ++i) {
        t.append();
        idNota.setAsInteger(i / 20);
        nro.setAsInteger(i % 20 + 1);
        desc.setAsString(descr(i));
        val.setAsCurrency(valor(i));
        aliq.setAsCurrency(Currency::fromInt(18));
        t.post();
    }
    tx.commit();
}

// (b) a full scan with one calculated field.
inline Currency scanDataset(Database &db)
{
    Table t(&db, QStringLiteral("Itens"));
    t.setIndexName(QStringLiteral("IdNota"));
    Field &icms = t.addCalcField(QStringLiteral("ValorICMS"), FieldType::Currency);
    Field *valorNF = nullptr, *aliqICMS = nullptr;
    t.onCalcFields = [&](DataSet &ds) {
        if (!valorNF) {
            valorNF = &ds.fieldByName(QStringLiteral("ValorNF"));
            aliqICMS = &ds.fieldByName(QStringLiteral("AliqICMS"));
        }
        icms.setAsCurrency(valorNF->asCurrency() * aliqICMS->asCurrency() / Extended(100));
    };
    t.open();
    Currency total;
    for (t.first(); !t.eof(); t.next())
        total += icms.asCurrency();
    return total;
}

// (c) a grouped sum.
inline Currency groupDataset(Database &db)
{
    Query q(&db);
    q.setSql(QString::fromLatin1(kGroupSql));
    q.open();
    Currency total;
    for (q.first(); !q.eof(); q.next())
        total += q.field(1).asCurrency();
    return total;
}

} // namespace stb::benchwork
