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

// Short name of a group ("AutoPeças", ..., "Medicamento (MVA)"); empty for any other code.
QString NomeGrupo(int code);

inline bool isGrupoMedicamento(int grupo) { return grupo == Grupo::Medicamentos || grupo == Grupo::MedicamentosMVA; }

} // namespace stb
