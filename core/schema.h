// Definitions of every stored table: fields with their widths and types, and
// the indexes that give the orders the program relies on.
#pragma once

#include "platform/db/types.h"

#include <QList>

namespace stb::schema {

using db::TableDef;

TableDef calculos();
TableDef notas();
TableDef itens();
TableDef itensMedic();
TableDef fiscais();
TableDef remetentes();
TableDef destinatarios();
TableDef brelva();
TableDef pmpf();
TableDef bebidas();
TableDef racoesPet();
TableDef regimeEspecial();
TableDef produtosNbm();
TableDef medic();
TableDef codMerc();
TableDef tec();
TableDef voceSabia();
TableDef sysTable(); // STBrelva: the marker table of the data folder
TableDef arm(); // kept in the ARM sub-folder

// The six working tables in the order they are opened at start-up.
QList<TableDef> workingTables();
// Every table of the data folder (ARM excluded).
QList<TableDef> dataFolderTables();
// Definition by table name (case-insensitive); an empty definition when unknown.
TableDef byName(const QString &name);

} // namespace stb::schema
