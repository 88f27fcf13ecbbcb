// Collection documents (ARM/TRM): the record the tax unit issues for a
// finished calculation, written to the table ARM of the ARM sub-folder and
// numbered YY/PPPP/NNNNN per type and year. The document's key (type letter
// plus the number without punctuation) is stored in the calculation's NroTRM,
// so a second request opens the same document instead of creating another.
//
// QtCore only: the main window's TRM commands ask, hand the key to the
// collection-document program and report; everything else is here.
#pragma once

#include "platform/currency.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace stb {

class IniFile;
class TDM;
namespace db {
class Database;
}

namespace arm {

// One invoice of the calculation as the document sees it.
struct NotaARM {
    int idNota = 0;
    QString nroNF, cnpjRemet, ieDest, remetNome, destNome;
    QDate dataEmissao;
    Currency total; // value plus IPI of its lines
    QStringList itens; // annex item numbers of its lines (the code before its first ".")
};

// One invoice block of the document: the invoices of one sender/recipient pair.
struct BlocoARM {
    QString numeros; // "10-12, 15"
    QDate emissao; // of the pair's last invoice
    Currency total;
    QString remetente, remetNome, destinatario, destNome;
    QString mercadorias; // "1, 15, 23"
};

constexpr int MaxBlocos = 5;

// "B" when every invoice has the sender and recipient of the first, else "A".
QString Tipo(const QList<NotaARM> &notas);

// Invoice numbers as runs: a single number alone, consecutive numbers as
// "first-last", runs separated by ", ". Sorted (numerically when the texts are
// numbers) and without duplicates first.
QString TextoNumeros(const QStringList &numeros);

// The blocks of every sender/recipient pair, in the order of the pair key
// (sender padded to 20, recipient padded to 20). May be more than five.
QList<BlocoARM> Blocos(const QList<NotaARM> &notas);

// The invoices of a calculation, in IdNota order, with their totals, names and items.
QList<NotaARM> LeNotas(db::Database &baseDados, int idCalculo);

// "YY" of a date (year - 2000, two digits).
QString Ano(const QDate &data);
// The next sequence of a type in the year of `data`: the largest one stored
// plus one, or, for the first document of the type in that year, key `tipo`
// of section "NroInicial.TRM.20YY" of `ini` (default 1).
int ProximaSequencia(db::Database &baseARM, const QString &tipo, const QDate &data, const IniFile &ini);
// "YY/PPPP/NNNNN".
QString NumeroTRM(const QDate &data, const QString &prefixo, int sequencia);
// The type letter followed by the number without ".", "/", "-", "&" and blanks.
QString Chave(const QString &tipo, const QString &nroTRM);

// The fixed justification of every document.
QString Justificativa();

// What a generation needs besides the calculation.
struct Contexto {
    QString prefixo; // the unit's TRM prefix ("0758")
    const IniFile *ini = nullptr; // where the initial numbers of a year are configured
    QDateTime agora; // emission moment; its year numbers the document
};

// Generates the document of type `tipo` for the calculation `idCalculo`
// (whose inspector is `masp`): reads its invoices, asks whether to go on when
// they need more than five blocks, numbers the document, appends the ARM row.
// Returns the key, or nothing when the user declined. Engine failures close
// the table and propagate.
std::optional<QString> GeraARM(TDM &dm, int idCalculo, const QString &masp, const QString &tipo, const Contexto &ctx);

// The create command on the current calculation of `dm.TabCalc`.
struct ResultadoCriacao {
    QString chave; // empty: nothing to open (declined)
    bool existente = false; // the calculation already had its document
};
// An existing NroTRM is returned as it is. Otherwise asks "Confirma gerar um
// ARM para este Cálculo?", chooses the type from the invoices, generates the
// document and stores its key in the calculation's NroTRM.
ResultadoCriacao CriaARM(TDM &dm, const Contexto &ctx);

} // namespace arm
} // namespace stb
