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
    static TFormDlgItem &instancia(QWidget *parent = nullptr)
    {
        return DialogoDaExecucao<TFormDlgItem>::instancia(parent);
    }
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

    // The "=" key of the credit rate: the credit typed as an amount.
    void CreditoPorValor();

protected:
    friend class DialogoDaExecucao<TFormDlgItem>;
    explicit TFormDlgItem(QWidget *parent = nullptr);
    void BtnOkClick() override;
    bool eventFilter(QObject *o, QEvent *e) override;

    void limpaCampos() override;
    void lembraLinha() override;
    void repeteUltima(QWidget *campo) override;

    db::Table &tabelaItens() const override;
    // Captions of the rates by calculation type, and the window titles.
    void preparaRotulos() override;
    QString tituloInclusao() const override { return QStringLiteral("Inclusão de Item"); }
    QString tituloAlteracao() const override { return QStringLiteral("Alteração de Item"); }
    void gravaCampos(db::Table &itens) override;
    void carregaCampos(db::Table &itens) override;
    // The checks of OK in fuel mode (the fuel dialog); true when the dialog may close.
    virtual bool okCombustivel() { return true; }
    // The credit value follows the credit rate and the product value.
    void recalculaValorCredito();

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
