// The shared database folder: the full reindex, and the recovery of a
// damaged annex table while its items are loaded at start-up. (The files are
// checked before any table opens, shell/datafiles.h; a missing table is
// restored before it opens by the data module, from the pristine folder it
// is given.)
#pragma once

#include <QFile>
#include <QHash>
#include <QString>

namespace stb {

// Reference tables that a full reindex never touches.
bool isTabelaReferencia(const QString &fileName);

// The full reindex. With `ask` the user confirms first; returns whether it ran.
bool ReindexAll(bool ask);

// Loads the list of annex items (start-up step "Lendo Itens do Brelva...").
// A damaged annex table is put aside and restored from the pristine copy
// once; a second failure asks to restart the system (EncerraProcesso 255 on
// a positive answer) and otherwise raises "Erro Lendo Itens do Brelva...".
void CarregaItensBrelva();

// The access rights of a table's files (.dat, .idx, .blb), taken before the
// files are rebuilt and given back to the rebuilt ones. The setting Security
// may name a file whose rights every rebuilt table file gets instead.
class DireitosTabela {
public:
    // `base` is the table's path without extension.
    explicit DireitosTabela(const QString &base);
    void aplica() const;

private:
    QString m_base;
    QHash<QString, QFile::Permissions> m_direitos; // by extension
};

} // namespace stb
