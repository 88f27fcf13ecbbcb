#include "core/grupos.h"

namespace stb {

int GrupoDoItemAnexo(int item)
{
    if (item == ItemAnexo::Medicamentos)
        return Grupo::Medicamentos;
    if (item == ItemAnexo::Plasticos)
        return 15;
    return item;
}

int GrupoEspecialDoItem(int item)
{
    if (item == ItemAnexo::Combustiveis)
        return Grupo::Combustiveis;
    if (item == ItemAnexo::Medicamentos || item == Grupo::MedicamentosMVA)
        return Grupo::Medicamentos;
    return 0;
}

QString NomeGrupo(int code)
{
    static const char *const names[] = {"AutoPeças", "BebidasAlc", "CervChopRefAgOut", "Cigarros", "Cimentos",
        "CombustLubrif", "EnergiaElétrica", "Ferramentas", "Lâmpadas", "MatConstrução", "MatLimpeza", "MatElétricos",
        "Medicamentos", "Papéis", "Plásticos", "Pneumáticos", "ProdAlimentícios", "ProdCerâmicos", "ProdPapelaria",
        "ProdPerfumaria", "ProdEletrônicos", "Rações", "Sorvetes", "TintasVernizes", "Veículos", "Veículos2Rodas",
        "Vidros", "VendaPortaAPorta"};
    if (code >= 1 && code <= 28)
        return QString::fromUtf8(names[code - 1]);
    if (code == Grupo::MedicamentosMVA)
        return QStringLiteral("Medicamento (MVA)");
    return {};
}

} // namespace stb
