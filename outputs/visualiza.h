// The screen preview of the calculation report and the report entry of the
// print command.
//
// The preview is Qt's print preview, opened maximised: it paints the pages
// through the same function as a printer or a PDF file, prints from its own
// button, and adds the export buttons the settings allow (PDF, spreadsheet,
// RTF, e-mail). In a
// medicine report a click on the "Clique aqui para ..." label of the page
// header (painted on the screen only) closes the preview and asks for the
// report in the other listing.
#pragma once

#include "outputs/formrep.h"

#include <QObject>
#include <QRectF>

class QPrintPreviewDialog;
class QWidget;

namespace stb {

// Export buttons of the preview (settings PrintEmail, PrintPDF, PrintXLS, PrintRTF).
struct OpcoesVisualizacao {
    bool email = true, pdf = true, xls = true, rtf = false;
    static OpcoesVisualizacao doPrograma();
};

// Shows the preview of a prepared report; true when the toggle label was clicked.
bool Visualiza(RelatorioCalculo &rel, const OpcoesVisualizacao &opcoes, QWidget *parent);

// Writes the report to a PDF file; false when the file cannot be written.
bool GravaPDF(RelatorioCalculo &rel, const QString &arquivo);

// Where the toggle label lies on the page, mm from the paper's corner.
QRectF areaAlterna(RelatorioCalculo &rel);

// The report entry: prepares the current calculation of the data module for
// the option and previews it; a medicine report runs again, in the other
// listing, while its toggle label is clicked.
class ImpressaoCalculo : public QObject {
    Q_OBJECT

public:
    ImpressaoCalculo(TDM &dm, const ConfigRelatorio &cfg, const OpcoesVisualizacao &opcoes, QWidget *parent);

    void executa(int opcaoMR, bool analitica, const QString &observ);

signals:
    void preparando(); // a preparation starts
    void preparado(); // it ended (also by a failure)

private:
    TDM &m_dm;
    ConfigRelatorio m_cfg;
    OpcoesVisualizacao m_opcoes;
    QWidget *m_parent;
};

} // namespace stb
