// TFormDlgItemMedic: the medicine lines (ItensMedic) of an invoice in a
// medicine calculation, priced by the consumer price table (group 13) or by
// the margin of the medicine's list (group 113). The twin of the goods item
// dialog on the same base: a medicine found by name or bar code in the price
// table, or an annex code; the quantity, unit price and margin give the
// line's total. TFormDlgEscolheMVAMedic chooses the list and its margin.
#pragma once

#include "entry/dlgitembase.h"
#include "entry/formdlg.h"

#include <functional>

class QAction;
class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QRadioButton;

namespace stb {

class IniFile;

namespace db {
class Table;
}

// The list margins offered by the list choice for one internal rate: keys of
// `secao` with the list part, the state part of the operation and the rate part.
struct MVAsListaMedic {
    Currency negativa, positiva, neutra;
};
MVAsListaMedic MVAsDaLista(IniFile &ini, const QString &secao, bool opInterna, Currency aliqICMS);

// Total of a medicine line: quantity × unit price × (1 + MVA/100) (factor 1
// when the MVA is 0), converted once to currency.
Currency TotalItemMedic(int qtd, Currency vlUnit, Currency mva);
// The list of an annex medicine entry for item 15: sub-items 1, 3 and 4
// from the entry's list text (positive, negative or neutral named in it),
// sub-item 2 neutral, any other none.
QString ListaDoAnexo(int subItem, const QString &textoLista);

class TFormDlgEscolheMVAMedic : public TFormDlg {
    Q_OBJECT

public:
    explicit TFormDlgEscolheMVAMedic(QWidget *parent = nullptr);

    QLabel *LabelInfo = nullptr;
    QGroupBox *GroupBox18 = nullptr;
    QGroupBox *GroupBox12 = nullptr;
    // RadioNeg18, RadioPos18, RadioNeu18, RadioNeg12, RadioPos12, RadioNeu12.
    QRadioButton *Radio[6] = {};

    // Fills the six captions from the margins of the two rates.
    void mostra(const MVAsListaMedic &a18, const MVAsListaMedic &a12);
    // The choice: list name, margin and internal rate; empty list when none.
    QString lista() const;
    Currency mva() const;
    Currency aliqICMS() const;

protected:
    void BtnOkClick() override;

private:
    void destaca();
    QButtonGroup *m_grupo = nullptr;
    Currency m_mvas[6];
};

class TFormDlgItemMedic : public TFormDlgItemBase {
    Q_OBJECT

public:
    static TFormDlgItemMedic &instancia(QWidget *parent = nullptr)
    {
        return DialogoDaExecucao<TFormDlgItemMedic>::instancia(parent);
    }
    static bool existe() { return DialogoDaExecucao<TFormDlgItemMedic>::existe(); }
    static void libera() { DialogoDaExecucao<TFormDlgItemMedic>::libera(); }

    QLineEdit *dxEditCodBarra = nullptr;
    QLineEdit *dxEditDescricao = nullptr;
    QLineEdit *dxEditLaboratorio = nullptr;
    QLineEdit *dxEditLista = nullptr;
    QLineEdit *dxEditQtd = nullptr;
    QCheckBox *dxCheckQtd = nullptr;
    CurrencyEdit *dxEditVlUnit = nullptr;
    QCheckBox *dxCheckVLUnitario = nullptr;
    CurrencyEdit *dxEditVlTotal = nullptr;
    CurrencyEdit *dxEditAliqICMS = nullptr;
    CurrencyEdit *dxEditMVA = nullptr;
    QLabel *LabelMVAPreAjuste = nullptr;
    CurrencyEdit *dxEditMVAPreAjuste = nullptr;
    CurrencyEdit *dxEditCreditoICMS = nullptr;
    QLineEdit *dxEditLote = nullptr;
    QCheckBox *dxCheckLote = nullptr;
    QLabel *LabelOpcoes = nullptr;
    QLabel *LabelBrelva = nullptr;
    QLabel *ImageBrelva = nullptr;
    QMenu *PopupMenu = nullptr;
    QAction *RepeteLote = nullptr; // "Repete o Nro do Lote"
    QAction *PermiteAlterarQtd = nullptr; // "Permite alterar a Quantidade "

    // Double click on the list: the list choice (margin calculations only).
    void EscolheLista();

protected:
    friend class DialogoDaExecucao<TFormDlgItemMedic>;
    explicit TFormDlgItemMedic(QWidget *parent = nullptr);
    void BtnOkClick() override;
    bool eventFilter(QObject *o, QEvent *e) override;
    void privateMessage(int msg, qintptr wparam, qintptr lparam) override;

    void limpaCampos() override;
    void lembraLinha() override;
    void repeteUltima(QWidget *campo) override;
    db::Table &tabelaItens() const override;
    QString sufixoNumeracao() const override { return QStringLiteral("MEDIC"); }
    QString tituloInclusao() const override { return titulo(QStringLiteral("Inclusão de Item")); }
    QString tituloAlteracao() const override { return titulo(QStringLiteral("Alteração de Item")); }
    void gravaCampos(db::Table &itens) override;
    void carregaCampos(db::Table &itens) override;
    quint8 chamador() const override { return 1; }
    void codigoDigitado(bool direto) override;
    void aposCodigo() override;

private:
    enum { MsgProximo = WM_USER_1 + 20 }; // moves the cursor on after a look-up
    QString titulo(const QString &inicio) const;
    void recalculaTotal();
    // Quantity 1 assumed; `entrando` when the cursor enters the quantity.
    void quantidadeUm(bool entrando);
    void ajustaParadas();
    // The margin of the list; for an interstate operation the adjusted-MVA dialog follows.
    void aplicaMVALista(Currency mvaLista);
    int qtd() const;

    bool m_calculando = false; // the total is being written
    int m_linha = 0; // the line being entered (counts the clearings)
    QString m_ultimoLote;
    struct Ultima {
        bool existe = false;
        QString codBarra, descricao, laboratorio, lista;
        Currency vlUnit, aliqICMS, mva, mvaPre, credito;
    } m_ultima;
};

// The entry operations of the main window on the current invoice's medicine lines.
TFormDlgItemBase::FimInclusao IncluiItemMedic(QWidget *parent = nullptr);
void AlteraItemMedic(QWidget *parent = nullptr);
void ExcluiItemMedic(QWidget *parent = nullptr);

} // namespace stb
