// The adjusted-MVA calculator of interstate operations (TFormDlgMVAAjustada)
// and the credit given as an amount (TFormDlgCreditoICMS).
#pragma once

#include "entry/formdlg.h"
#include "entry/margins.h"

#include <optional>

class QPlainTextEdit;
class QTimer;

namespace stb {

class CurrencyEdit;

class TFormDlgMVAAjustada : public TFormDlg {
    Q_OBJECT

public:
    explicit TFormDlgMVAAjustada(QWidget *parent = nullptr);

    CurrencyEdit *dxMVAOriginal = nullptr;
    CurrencyEdit *dxAliqInterestadual = nullptr;
    CurrencyEdit *dxAliqInterna = nullptr;
    CurrencyEdit *dxMVAAjustada = nullptr;
    QPlainTextEdit *dxMemo = nullptr;
    QTimer *TimerInit = nullptr;

    // Set for the rest of the run once the user ticks "Não mostre mais esta
    // mensagem" on the imported-goods question.
    static bool NaoMostraImportada;

    // Computes the adjusted MVA from the three inputs.
    void calculaAjustada();
    // Computes the unadjusted MVA back from the adjusted one.
    void calculaOriginal();

protected:
    void BtnOkClick() override;
    void showEvent(QShowEvent *e) override;

private:
    void perguntaImportada();
};

// Runs the adjusted-MVA dialog for an item's MVA: `nota` is the note shown
// (the standard note when empty); the interstate rate is the configured
// credit rate and the internal rate the item's. In the taxpayer edition the
// rates are left for the user to type.
ResultadoMVAAjustada MVAAjustada(
    const QString &nota, Currency mva, Currency interestadual, Currency interna, QWidget *parent = nullptr);

class TFormDlgCreditoICMS : public TFormDlg {
    Q_OBJECT

public:
    explicit TFormDlgCreditoICMS(QWidget *parent = nullptr);
    CurrencyEdit *dxCurrencyEdit = nullptr;
};

// The credit typed as an amount, turned into a rate of the product value
// (the configured credit rate when the product value is 0); nullopt when the
// user cancels.
std::optional<Currency> CreditoPorValor(Currency valorProduto, Currency aliqConfigurada, QWidget *parent = nullptr);

} // namespace stb
