// Goods groups of a calculation (Calculos.Grupo): the annex item numbers 1 to
// 28, and 113 for medicines priced by the margin of their list.
#pragma once

#include <QString>

namespace stb {

namespace Grupo {
constexpr int Combustiveis = 6; // fuels: lines may be priced by PMPF
constexpr int Medicamentos = 13; // medicines priced by the consumer price table
constexpr int MedicamentosMVA = 113; // medicines priced by the MVA of their list
} // namespace Grupo

// Annex items whose goods need a calculation of their own kind.
namespace ItemAnexo {
constexpr int Combustiveis = 6; // fuels and lubricants
constexpr int Medicamentos = 15; // medicines: every medicine line counts as this item
constexpr int Plasticos = 13;
} // namespace ItemAnexo

// The goods group whose goods an annex item holds, as the groups table
// names them: the medicine item is the medicine group (13) and the plastics
// item (13) the plastics group (15); every other item is the group of its
// own number. The annex headings name the groups through it (MemGrupo), and
// a summary by annex item names its rows through it.
int GrupoDoItemAnexo(int item);

// The goods group a calculation needs for the goods of an annex item: the
// fuel group for the fuel item, the medicine group (by the price table) for
// the medicine item and for 113; 0 for any other item.
int GrupoEspecialDoItem(int item);

// Short name of a group ("AutoPeças", ..., "Medicamento (MVA)"); empty for any other code.
QString NomeGrupo(int code);

inline bool isGrupoMedicamento(int grupo) { return grupo == Grupo::Medicamentos || grupo == Grupo::MedicamentosMVA; }

} // namespace stb
