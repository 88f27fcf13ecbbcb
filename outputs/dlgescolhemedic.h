// TFormDlgEscolheMedic: the medicine chooser over the price table. Created on
// first use and kept for the run (its table stays loaded and its check box
// keeps its state); searched from the item dialog or from its own edit.
#pragma once

#include "entry/formdlggrid.h"
#include "outputs/medic.h"

#include <QPointer>
#include <memory>
#include <optional>

class QAction;
class QCheckBox;
class QLineEdit;
class QMenu;
class QToolButton;

namespace stb {

class TFormDlgEscolheMedic : public TFormDlgGrid {
    Q_OBJECT

public:
    explicit TFormDlgEscolheMedic(QWidget *parent = nullptr);
    ~TFormDlgEscolheMedic() override;

    QCheckBox *dxCheckCodBarra = nullptr;
    QLineEdit *dxEditPesquisa = nullptr;
    QToolButton *SBPesquisa = nullptr;
    QToolButton *SBExporta = nullptr;
    QMenu *PopupMenu = nullptr;
    QAction *CodBarraColuna = nullptr; // "Oculta Código de Barra" / "Exibe Código de Barra"

    static QString textoInicial() { return QStringLiteral("Digite um nome e clique no botão ao lado para pesquisar"); }

    Medic &medic() { return *m_medic; }
    // Loads the table on first use (or after a new table was installed).
    bool carrega();
    // A new table was installed: the next use loads it.
    void invalida() { m_carregada = false; }

    // The search of the item dialog: one hit is returned at once, several are
    // listed for the user to choose; none, or Cancel, gives nothing.
    std::optional<MedicEscolhido> escolhe(const QString &texto, Medic::Busca busca);
    // The table shown for browsing and export (main window menu).
    void mostra();

    void SBPesquisaClick();
    void SBExportaClick();
    void CodBarraColunaClick();

protected:
    bool eventFilter(QObject *o, QEvent *e) override;

private:
    TFormDlgEscolheMedic(std::unique_ptr<Medic> medic, QWidget *parent);
    void pesquisa(const QString &texto, Medic::Busca busca);
    void atualizaCaption(const QString &procura);

    std::unique_ptr<Medic> m_medic;
    bool m_carregada = false;
};

// The kept chooser (created on first use; `parent` only at creation).
TFormDlgEscolheMedic &FormDlgEscolheMedic(QWidget *parent = nullptr);
bool FormDlgEscolheMedicExiste();
// Ends the kept chooser (the main window's end).
void LiberaEscolheMedic();

// Entry point of the medicine item dialog: "*" lists every medicine, a text of
// digits is a bar code, anything else searches by its first word.
std::optional<MedicEscolhido> EscolheMedic(const QString &texto, QWidget *parent = nullptr);

// The folder where the spreadsheets go (the user's documents folder).
QString PastaDocumentos();

} // namespace stb
