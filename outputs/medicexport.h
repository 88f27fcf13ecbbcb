// The two spreadsheet exports: the medicine query ("CMED_ABCFarma.xls") and
// the annex table by CEST and by NBM ("TabelaNBM-Brelva.xls"). The program
// writes each workbook whole, heading rows included.
#pragma once

#include "platform/currency.h"
#include "platform/db/dataset.h"

#include <QString>

namespace stb {

// Sheet "ABC Farma": bold header row, one row per medicine of the query
// (fields CODBARRA, DESCRICAO, LABORATORIO, VALOR1..4, GENERICO, LISTA).
bool ExportaMedicXls(db::DataSet &medicamentos, const QString &path, QString *erro);

// The margins of an annex row as one cell: "MVA1/MVA2/MVA3", each part only
// when the one before it is there ("71,78", "40/50", "40/50/60").
QString TextoMargens(const db::Field &mva1, const db::Field &mva2, const db::Field &mva3);
// The notes of the margins the same way; a note that reads as a number is
// written with "%g" ("40.00" -> "40").
QString TextoNotasMargens(const QString &info1, const QString &info2, const QString &info3);
// An annex description without its markup (tags, line breaks, repeated blanks).
QString LimpaDescricao(const QString &descricao);

// Sheet "CEST" (CEST, margins, notes, description over columns 3 to 5) from
// `cest` and sheet "NBM" (NBM, CEST) from `nbm`, with their heading rows and
// "Dados atualizados até <date> (Versão <version>)." in column 4 of each
// heading row. Rows whose CEST is empty or whose NBM begins with "00" are left out.
bool GeraPlanilhaNBM(db::DataSet &cest, db::DataSet &nbm, const QString &dataAnexo, const QString &versao,
    const QString &path, QString *erro);

} // namespace stb
