// TModifyStruct: brings one table to a wanted structure. The wanted fields
// and indexes are compared with the table's current ones; only when
// something differs is the table restructured by the engine, keeping every
// row (the engine keeps the former files until the new ones are in place).
//
//     TModifyStruct m(dm.TabCalc, false);
//     m.AddField("OpInterna", db::FieldType::Boolean);
//     if (!m.Execute()) ...
#pragma once

#include "platform/db/types.h"

#include <QString>

namespace stb {

namespace db {
class Database;
class Table;
} // namespace db

class TModifyStruct {
public:
    // From a table of the data module: its own open guard runs first (a
    // missing table is restored), then the current definitions are read. An
    // error while reading them is swallowed (the table then counts as having
    // no field, and Execute fails).
    TModifyStruct(db::Table &source, bool showProgress);

    bool Modified = false;
    bool ShowProgress = false;

    // A restructure of a table with at least this many rows shows its
    // progress even when ShowProgress is off: the user sees it move.
    static constexpr int LinhasComProgresso = 5000;

    // An existing field of that name gets the type, size and required flag
    // where they differ (and moves to `position`, counted from 0, unless it
    // is -1); a missing one is inserted at `position`, or appended with -1.
    void AddField(const QString &name, db::FieldType type, int position = -1, int size = 0, bool required = false);
    // An index of that name with other fields or options is replaced; a
    // missing one is added.
    void AddIndex(const QString &name, const QString &fields, unsigned options = 0);

    // Closes the table; when Modified, restructures it (with the progress
    // window "Restruturando <TABELA>" when shown) and gives the rebuilt files
    // the access rights of the former ones. False when the restructure
    // failed; the reason has been shown ("Impossível mudar a estrutura.").
    bool Execute();

    // The wanted definition as it stands (for tests and the benchmark).
    const db::TableDef &definicao() const { return m_def; }
    // The text shown for the last failure.
    const QString &erro() const { return m_erro; }
    // Progress values the last restructure showed (for tests and the benchmark).
    const QList<int> &progressoMostrado() const { return m_progresso; }

private:
    db::Table &m_source;
    db::Database *m_base;
    QString m_nome;
    db::TableDef m_def;
    QString m_erro;
    QList<int> m_progresso;
};

} // namespace stb
