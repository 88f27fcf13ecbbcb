// The NF-e import as the user runs it: the files read under a progress bar,
// the review of their invoices and lines with the proposed annex entry
// (editable), the store under a progress bar, and the comparison of the
// declared and computed ST.
#pragma once

#include "entry/formdlg.h"
#include "entry/nfeimporta.h"

class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace stb {

// Moves a dialog over its parent's window (the screen's centre without one),
// keeping it inside the screen.
void colocaNaTela(QWidget *dlg);

// Review of an import before anything is stored. Column "SubItem Brelva" of a
// line is editable: a code typed there is looked up in the annex and applied
// with the item dialog's rules.
class TFormDlgImportaNFe : public TFormDlg {
    Q_OBJECT
public:
    // `perguntas` (may be null) asks the rate questions of a code typed in the review.
    TFormDlgImportaNFe(TDM &dm, const ContextoImportacao &ctx, LoteNFe &lote, QWidget *parent = nullptr,
        PerguntasAliquota *perguntas = nullptr);

    QTreeWidget *Arvore = nullptr;
    QLabel *LabelErros = nullptr;

    // Applies the code typed for a line (tests call it as the editor does).
    void AplicaCodigo(QTreeWidgetItem *linha, const QString &codigo);

protected:
    void BtnOkClick() override;
    void showEvent(QShowEvent *e) override;

private:
    void preenche();
    void mostraLinha(QTreeWidgetItem *w, const NotaImportada &n, const LinhaImportada &l);
    TDM &m_dm;
    ContextoImportacao m_ctx;
    LoteNFe &m_lote;
    PropostaBrelva m_proposta;
    PerguntasAliquota *m_perguntas;
    bool m_preenchendo = false;
};

// The comparison of declared and computed ST, a row per invoice with its
// lines below; differences above one cent in red.
class TFormDlgComparaNFe : public TFormDlg {
    Q_OBJECT
public:
    TFormDlgComparaNFe(const QList<ComparacaoNota> &notas, QWidget *parent = nullptr);
    QTreeWidget *Arvore = nullptr;
    QPushButton *BtnPlanilha = nullptr; // "Exporta planilha..."

    // Writes the comparison to a spreadsheet; an error is told to the user.
    bool ExportaPlanilha(const QString &arquivo);

protected:
    void showEvent(QShowEvent *e) override;

private:
    QList<ComparacaoNota> m_notas;
};

// The whole import of `caminhos` (files or folders) into the current
// calculation. Returns true when invoices were stored.
bool ImportaNFe(TDM &dm, const QStringList &caminhos, QWidget *parent);

} // namespace stb
