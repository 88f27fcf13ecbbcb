// What the calculation report reads: the current calculation of the data
// module with its invoices and lines, every line's amounts computed for the
// fine mode being printed.
//
// LeCalculo is the only place where the report runs the item computation;
// everything after it works on the values it returns, so that no read
// transaction is held while the preview waits for the user.
#pragma once

#include "core/itemcalc.h"
#include "platform/currency.h"

#include <QDateTime>
#include <QString>
#include <vector>

namespace stb {

class TDM;

// A line of Itens: its inputs and the amounts of the computation.
struct ItemLido {
    int nroItem = 0;
    QString itemBrelva;
    Currency valorNF, valorIPI, mva, aliqICMS, creditoICMS, valorCreditoICMS, pmpf, litros, precoLitroNF;
    bool fem = false;
    Currency freteProp, soma, valorFinal, valorICMS, icmsARecolher, valorMR, valorMRRed, totalARecolher, valorFEM;
};

// A line of ItensMedic.
struct ItemMedicLido {
    int nroItem = 0;
    QString codBarra, descricao, lote, lista;
    int qtd = 0;
    Currency debVlMerc, debAliqICMS, debVlICMS, creditoICMS, mva;
};

struct NotaLida {
    int idNota = 0;
    QString nroNF, cnpjRemet, xRemetente, ieDest, xDestinatario;
    Currency frete, destaqueICMSST, valorARecolher, creditoICMSMedic;
    bool creditoFrete = false;
    std::vector<ItemLido> itens;
    std::vector<ItemMedicLido> itensMedic;
};

struct CalculoLido {
    int idCalculo = 0;
    QDateTime dataHora;
    QString masp;
    int grupo = 0; // null reads as 0
    QString xGrupo;
    int tipoCalculo = 0;
    bool diferencialAliq = false;
    bool opInterna = false;
    std::vector<NotaLida> notas; // in the invoices' order
};

// Reads the data module's current calculation (TabCalc's row), its invoices
// and their lines with the amounts computed for `fatores`.
CalculoLido LeCalculo(TDM &dm, const FatoresMR &fatores);

// Stores what a printing leaves behind, in one transaction: every invoice's
// TotalARecolher (its amount to collect), and the calculation's PrintMR and
// PrintObserv. The data module's tables are refreshed afterwards.
void GravaImpressao(TDM &dm, const CalculoLido &calculo, int opcaoMR, const QString &observ);

} // namespace stb
