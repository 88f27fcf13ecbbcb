// The calculation report exported from the preview as a spreadsheet (.xls)
// or a rich-text document (.rtf). Both are written from the report as printed
// (`Impressao`), so they hold the same texts as the pages: the heading, per
// invoice its header, lines, FEM lines and total, the summaries, the codes
// and the footer remark. Only the columns the page prints are written.
#pragma once

#include "outputs/impressao.h"
#include "platform/xlswriter.h"

#include <QByteArray>
#include <QString>
#include <optional>

namespace stb {

// The workbook: one sheet, the printed amounts as numbers, the texts as text;
// nullopt (with the reason) when the report has more lines than a sheet holds.
std::optional<XlsWorkbook> PlanilhaRelatorio(const Impressao &imp, QString *erro);
// The document: the heading as paragraphs, the lines as table rows.
QByteArray RtfRelatorio(const Impressao &imp);

// Write the file atomically; false with the reason in Portuguese.
bool GravaPlanilhaRelatorio(const Impressao &imp, const QString &arquivo, QString *erro);
bool GravaRtfRelatorio(const Impressao &imp, const QString &arquivo, QString *erro);

} // namespace stb
