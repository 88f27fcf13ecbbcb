// The consultation grids of the reference tables: PMPF of fuels (by act),
// of beverages and of pet food (with their searches), and the controlled
// goods codes. All read-only.
#pragma once

#include "entry/formdlggrid.h"

class QLabel;
class QLineEdit;
class QTimer;
class QToolButton;

namespace stb {

class CurrencyEdit;

// "PMPF Combustíveis - ATO COTEPE": one row per act, latest first.
class TFormDlgPMPFCombustiveis : public TFormDlgGrid {
    Q_OBJECT

public:
    explicit TFormDlgPMPFCombustiveis(QWidget *parent = nullptr);
};

// The beverages and pet-food grids: a search box that reopens the query
// 250 ms after the last change, group headings kept with the rows found.
class TFormDlgPMPFPesquisa : public TFormDlgGrid {
    Q_OBJECT

public:
    QLabel *LabelPesquisa = nullptr;
    QLineEdit *dxEditPesquisa = nullptr;
    QLabel *LabelNenhum = nullptr;
    QTimer *TimerPesquisa = nullptr;

    // Reopens the query with the search text now (what the timer does).
    void pesquisa();

protected:
    TFormDlgPMPFPesquisa(const QString &campoPreco, int tamanhoCabecalho, const QString &nenhum, QWidget *parent);
    bool eventFilter(QObject *o, QEvent *e) override;
    virtual void aposPesquisa() {}

private:
    QString m_campoPreco;
    QString m_nenhum;
};

class TFormDlgPMPFBebidas : public TFormDlgPMPFPesquisa {
    Q_OBJECT

public:
    explicit TFormDlgPMPFBebidas(QWidget *parent = nullptr);
};

class TFormDlgPMPFRacoesPET : public TFormDlgPMPFPesquisa {
    Q_OBJECT

public:
    explicit TFormDlgPMPFRacoesPET(QWidget *parent = nullptr);

    CurrencyEdit *dxPeso = nullptr;
    QLabel *dxValor = nullptr;
    QLabel *LabelAviso = nullptr;

    // The package's value and the weight warning for the selected row.
    void calculaEmbalagem();

protected:
    void aposPesquisa() override { calculaEmbalagem(); }
};

// The package warning: a weight that does not match the row's package
// ("Até 5kg" for 5 kg or less, any other package above 5 kg).
bool EmbalagemNaoConfere(const QString &embalagem, Currency pesoKg);

// "Mercadorias Controladas": the controlled goods codes, filtered by description.
class TFormDlgMercControladas : public TFormDlgGrid {
    Q_OBJECT

public:
    explicit TFormDlgMercControladas(QWidget *parent = nullptr);

    QLineEdit *dxEditPesquisa = nullptr;
    QToolButton *SBPesquisa = nullptr;

    // Applies the search box as the query's filter.
    void pesquisa();

private:
    void conecta();
    QString m_titulo;
};

// The menu entries of the main window.
void GridPMPFCombustiveis(QWidget *parent = nullptr); // kept for the run
void LiberaGridPMPFCombustiveis();
void GridPMPFBebidas(QWidget *parent = nullptr);
void GridPMPFRacoesPET(QWidget *parent = nullptr);
void GridMercControladas(QWidget *parent = nullptr);

} // namespace stb
