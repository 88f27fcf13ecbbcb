// TFormDlgItem: the lines (Itens) of the current invoice in every calculation
// that is not a medicine one: the annex code, the product value, IPI, MVA,
// internal rate and credit rate of each line. One dialog object per run.
#pragma once

#include "entry/dlgitembase.h"

class QCheckBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QVBoxLayout;

namespace stb {

namespace db {
class Table;
}

class TFormDlgItem : public TFormDlgItemBase {
    Q_OBJECT

public:
    static TFormDlgItem &instancia(QWidget *parent = nullptr) { return DialogoDaExecucao<TFormDlgItem>::instancia(parent); }
    static bool existe() { return DialogoDaExecucao<TFormDlgItem>::existe(); }
    static void libera() { DialogoDaExecucao<TFormDlgItem>::libera(); }

    QLabel *LabelCodigo = nullptr;
    QLineEdit *dxEditCodigo = nullptr;
    QLabel *ImageBrelva = nullptr;
    QLabel *LabelBrelva = nullptr;
    QPlainTextEdit *dxEditDescricao = nullptr;
    QCheckBox *dxCheckDescricaoNF = nullptr;
    QLineEdit *dxEditDescricaoNF = nullptr;
    QLabel *LabelValorNF = nullptr;
    CurrencyEdit *dxEditValorNF = nullptr;
    QCheckBox *dxCheckValorIPI = nullptr;
    CurrencyEdit *dxEditValorIPI = nullptr;
    QLabel *LabelMVA = nullptr;
    CurrencyEdit *dxEditMVA = nullptr;
    QLabel *LabelMVAPreAjuste = nullptr;
    CurrencyEdit *dxEditMVAPreAjuste = nullptr;
    QLabel *LabelAliqICMS = nullptr;
    CurrencyEdit *dxEditAliqICMS = nullptr;
    QLabel *LabelCreditoICMS = nullptr;
    CurrencyEdit *dxEditCreditoICMS = nullptr;
    QLabel *LabelValorCreditoICMS = nullptr;
    CurrencyEdit *dxEditValorCreditoICMS = nullptr;
    QCheckBox *dxCheckFEM = nullptr;
    QLabel *LabelObservacao = nullptr;

    // Adds lines to the current invoice until the user cancels.
    FimInclusao IncluiItem();
    // Edits the current line.
    void AlteraItem();
    // Asks and deletes the current line (the following ones are renumbered).
    void ExcluiItem();
    // Quick calculation: the same entry on an in-memory list with the fields
    // of Itens (the quick window's), under the window's context.
    void IncluiItemRapido(db::Table &lista, const Contexto &ctx);
    void AlteraItemRapido(db::Table &lista, const Contexto &ctx);
    // The "=" key of the credit rate: the credit typed as an amount.
    void CreditoPorValor();

protected:
    friend class DialogoDaExecucao<TFormDlgItem>;
    explicit TFormDlgItem(QWidget *parent = nullptr);
    void BtnOkClick() override;
    bool eventFilter(QObject *o, QEvent *e) override;

    void limpaCampos() override;
    void gravaNovaLinha() override;
    void lembraLinha() override;
    bool notaSemLinhas() const override;
    void repeteUltima(QWidget *campo) override;

    // Writes the fields into the row being edited or appended and posts it
    // (calculated fields wait until every field is written); cancels on error.
    void gravaLinha(db::Table &itens);
    // Captions of the rates by calculation type, and the window titles.
    void preparaRotulos();
    virtual QString tituloInclusao() const { return QStringLiteral("Inclusão de Item"); }
    virtual QString tituloAlteracao() const { return QStringLiteral("Alteração de Item"); }
    // Fields written on OK (a line is always stored with zeros, never nulls).
    virtual void gravaCampos(db::Table &itens);
    virtual void carregaCampos(db::Table &itens);
    // The checks of OK in fuel mode (the fuel dialog); true when the dialog may close.
    virtual bool okCombustivel() { return true; }
    // The credit value follows the credit rate and the product value.
    void recalculaValorCredito();

    // The table the lines go to: the stored Itens, or a quick list.
    db::Table &destino() const;

    QGridLayout *m_grade = nullptr;
    QVBoxLayout *m_extras = nullptr; // rows added by the fuel dialog

    // The previous line, for F2.
    struct Ultima {
        bool existe = false;
        QString codigo, descricao, descricaoNF;
        Currency aliqICMS, valorNF, valorIPI, creditoICMS, mva, mvaPreAjuste;
        bool ipiMarcado = false, fem = false, mvaAjustada = false;
        int idBrelva = 0, item = 0;
    } m_ultima;

private:
    void ipiMarcado(bool marcado);
    void propoeIPI();
    void aprendeIPI();
    bool verificaCredito();
};

// The entry operations of the main window on the current invoice.
TFormDlgItemBase::FimInclusao IncluiItem(QWidget *parent = nullptr);
void AlteraItem(QWidget *parent = nullptr);
void ExcluiItem(QWidget *parent = nullptr);

} // namespace stb
