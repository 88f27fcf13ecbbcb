// Special regimes granted to taxpayers (table REGIMEESPECIAL): the look-ups of
// the calculation dialogs, which announce a taxpayer's regimes, and of the
// calculation report, which lists the regimes that concern one annex item.
//
// Every look-up runs on the data module's general query, closing it before
// and after each use (also when the engine fails, whose error propagates).
// Typed documents are bound as parameters, never pasted into the SQL text.
#pragma once

#include <QString>

namespace stb::db {
class Query;
}

namespace stb {

// Regime names by code (1 to 99), held in memory. The program starts with the
// list shipped with it; a code without a name reads as "Regime <code>".
QString NomeRegime(int code);
// Replaces the list with the "code=name" lines of `text` ("#" comments and
// blank lines ignored, codes outside 1..99 dropped); returns the names read.
int CarregaNomesRegimes(const QString &text);
// The list shipped with the program.
QString NomesRegimesPadrao();

// Dialog form, by CNPJ: the taxpayer's name (empty when not registered) and,
// when it is, an information message with its regimes. The rows registered
// under the IE of the CNPJ's rows count too. An empty CNPJ looks up nothing.
QString ConsultaRegimeCNPJ(db::Query &qry, const QString &cnpj);
// Dialog form, by IE (the rows of the IE's CNPJ count too).
QString ConsultaRegimeIE(db::Query &qry, const QString &ie);

// Report form: the regimes of the taxpayer for one annex item number, as
// "name: reference" joined with "; " (empty when none).
QString RegimesRelatorioCNPJ(db::Query &qry, const QString &cnpj, const QString &item);
QString RegimesRelatorioIE(db::Query &qry, const QString &ie, const QString &item);

} // namespace stb
