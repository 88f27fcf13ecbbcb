#include "core/regrasitem.h"

#include "core/grupos.h"
#include "core/settings.h"
#include "platform/inifile.h"

#include <QList>
#include <QPair>

namespace stb {

RecusaAmbito RegraAmbito(int tipoCalculo, int grupo, bool modoCombustivel, int item, int ambito)
{
    // Lubricants for own use, goods for own works, medicines for public
    // bodies or patient care, food for public programmes.
    static const QList<QPair<int, int>> foraDaRevenda {
        {ItemAnexo::Combustiveis, 2}, {10, 5}, {ItemAnexo::Medicamentos, 3}, {17, 4}};
    if (tipoCalculo == 1 && foraDaRevenda.contains(qMakePair(item, ambito)))
        return RecusaAmbito::ForaDaRevenda;
    if (modoCombustivel)
        return item == ItemAnexo::Combustiveis ? RecusaAmbito::Nenhuma : RecusaAmbito::SoCombustiveis;
    const int especial = GrupoEspecialDoItem(item);
    const bool doGrupo = especial == Grupo::Medicamentos ? isGrupoMedicamento(grupo) : especial == grupo;
    if (especial != 0 && !doGrupo)
        return RecusaAmbito::Especial;
    return RecusaAmbito::Nenhuma;
}

QString MensagemRecusaAmbito(RecusaAmbito recusa, int item, int ambito)
{
    switch (recusa) {
    case RecusaAmbito::ForaDaRevenda:
        return QStringLiteral("A substituição tributária neste item é inaplicável (âmbito %1.%2).")
            .arg(item)
            .arg(ambito);
    case RecusaAmbito::SoCombustiveis:
        return QStringLiteral("Neste cálculo só é possível processar os combustíveis.");
    case RecusaAmbito::Especial:
        return QStringLiteral("Para calcular este item, é preciso criar o cálculo como \"Especial\".");
    case RecusaAmbito::Nenhuma:
        break;
    }
    return QString();
}

bool ItemAvisoPMPF(int item) { return item == 3 || item == 4 || item == 5 || item == 25; }

Currency AliqInternaMVAAjustada(const QString &code, Currency aliqInterna)
{
    IniFile &ini = IniLocal2();
    const QString secao = QStringLiteral("MVAAjustada.Aliq");
    const QString achada = ini.valueExists(secao, code)           ? code
        : code.size() > 2 && ini.valueExists(secao, code.left(2)) ? code.left(2)
                                                                  : QString();
    return achada.isEmpty() ? aliqInterna : Currency::fromDouble(ini.readFloat(secao, achada, 0));
}

} // namespace stb
