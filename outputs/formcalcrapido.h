// TFormCalcRapido: the quick calculation window. A few lines entered with
// the item, fuel and medicine dialogs in their quick modes, priced in memory
// (CalculoRapido) and never stored; TFormDlgTipoCalcRapido chooses the kind.
#pragma once

#include "core/calcrapido.h"
#include "entry/formdlg.h"

#include <QDialog>
#include <memory>
#include <optional>

class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace stb {

class CurrencyEdit;
class DBGrid;

// The kind of a quick calculation.
struct TipoCalcRapido {
    int grupo = -1;
    QString textoGrupo = QStringLiteral("Padrão");
    int tipoCalculo = 1;
    bool opInterna = true;
};

class TFormDlgTipoCalcRapido : public TFormDlg {
    Q_OBJECT

public:
    explicit TFormDlgTipoCalcRapido(QWidget *parent = nullptr);

    QCheckBox *dxCheckTipo[4] = {};
    QCheckBox *dxCheckInterna = nullptr;
    QCheckBox *dxCheckInterestadual = nullptr;
    QCheckBox *dxCheckPadrao = nullptr;
    QCheckBox *dxCheckCombustivel = nullptr;
    QCheckBox *dxCheckMedicamento = nullptr;
    QCheckBox *dxCheckMedicamentoMVA = nullptr;

    void mostra(const TipoCalcRapido &atual);
    TipoCalcRapido escolhido() const;

private:
    QButtonGroup *m_tipos = nullptr;
    QButtonGroup *m_operacao = nullptr;
    QButtonGroup *m_grupos = nullptr;
};

class TFormCalcRapido : public QDialog {
    Q_OBJECT

public:
    explicit TFormCalcRapido(QWidget *parent = nullptr);
    ~TFormCalcRapido() override;

    QLabel *LabelGrupo = nullptr;
    QLabel *LabelTipo = nullptr;
    QLabel *LabelOperacao = nullptr;
    QPushButton *SBInclui = nullptr;
    QPushButton *SBAltera = nullptr;
    QPushButton *SBExclui = nullptr;
    QPushButton *BtnNovo = nullptr;
    QPushButton *BtnFecha = nullptr;
    DBGrid *dxDBGridItens = nullptr;
    DBGrid *dxDBGridItensMedic = nullptr;
    QLabel *LabelFrete = nullptr;
    CurrencyEdit *dxEditFrete = nullptr;
    QLabel *LabelTotal = nullptr;
    QLineEdit *dxEditTotal = nullptr;
    QTimer *TimerInit = nullptr;

    CalculoRapido &calculo() { return *m_calc; }

    // Chooses the kind (the type dialog) and starts the calculation over.
    void EscolheTipo();
    void SBIncluiClick();
    void SBAlteraClick();
    void SBExcluiClick();
    void BtnNovoClick();

private:
    void layoutGrupo(int grupo);
    QWidget *paiDosDialogos();
    void mostraTotal(Currency total);
    void freteAlterado();

    std::unique_ptr<CalculoRapido> m_calc;
    bool m_reiniciando = false; // a new calculation: no confirmation
    bool m_limpandoFrete = false; // the freight box cleared by the program
};

// The main window's command: the window, modal, freed on close.
void CalculoRapidoClick(QWidget *parent);

} // namespace stb
