// TFormDlgItemCombustivel: the lines of a fuel calculation. The base of a
// fuel with a weighted average consumer price (PMPF) in force on the
// invoice's issue date is the quantity times that price; any other fuel line
// is computed by MVA on the product value, as a general line.
#pragma once

#include "entry/dlgitem.h"

#include <QDate>

namespace stb {

namespace db {
class Database;
}

// The PMPF column of a fuel annex code (by item and extension: the
// sub-items of a fuel share its price), the quantity unit and whether the
// invoice's price per litre is asked. No column: always computed by MVA.
struct CombustivelPMPF {
    QString coluna; // "PMPFGasolina", ... or empty
    bool kgs = false; // quantity in kilograms (liquefied petroleum gas)
    bool precoLitro = false; // hydrated ethanol: the invoice's price per litre gives the credit
};
CombustivelPMPF ColunaPMPF(const QString &code);

// The act in force on an issue date: the latest act whose Vigencia is not
// after the date. No act: achou false, price 0.
struct PMPFVigente {
    bool achou = false;
    QString ato;
    QDate vigencia;
    Currency preco; // the code's column (0 without a column)
};
PMPFVigente PMPFEmVigor(db::Database &base, const QString &coluna, const QDate &emissao);

class TFormDlgItemCombustivel : public TFormDlgItem {
    Q_OBJECT

public:
    static TFormDlgItemCombustivel &instancia(QWidget *parent = nullptr)
    {
        return DialogoDaExecucao<TFormDlgItemCombustivel>::instancia(parent);
    }
    static bool existe() { return DialogoDaExecucao<TFormDlgItemCombustivel>::existe(); }
    static void libera() { DialogoDaExecucao<TFormDlgItemCombustivel>::libera(); }

    QLabel *LabelLitros = nullptr;
    CurrencyEdit *dxEditLitros = nullptr;
    QLabel *LabelPMPF = nullptr;
    CurrencyEdit *dxEditPMPF = nullptr;
    QLabel *LabelPrecoLitroNF = nullptr;
    CurrencyEdit *dxEditPrecoLitroNF = nullptr;
    QLabel *LabelAtoCotepe = nullptr;

protected:
    friend class DialogoDaExecucao<TFormDlgItemCombustivel>;
    explicit TFormDlgItemCombustivel(QWidget *parent = nullptr);
    QString tituloInclusao() const override { return QStringLiteral("Inclusão de Item - COMBUSTÍVEL"); }
    QString tituloAlteracao() const override { return QStringLiteral("Alteração de Item - COMBUSTÍVEL"); }
    void aposCodigo() override;
    bool ofereceMVAAjustada(const QString &code) const override;
    bool okCombustivel() override;
    void limpaCampos() override;
    void gravaCampos(db::Table &itens) override;
    void carregaCampos(db::Table &itens) override;

private:
    // Enables the quantity or the product value by the price found; with
    // `ajustaCredito` the credit rate follows the code (new look-ups only).
    void aplicaPMPF(bool ajustaCredito);
    QDate dataEmissao() const;
};

TFormDlgItemBase::FimInclusao IncluiItemCombustivel(QWidget *parent = nullptr);
void AlteraItemCombustivel(QWidget *parent = nullptr);
void ExcluiItemCombustivel(QWidget *parent = nullptr);

} // namespace stb
