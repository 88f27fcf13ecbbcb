// The list of stored calculations from which one is opened (or deleted).
#pragma once

#include "entry/formdlggrid.h"

class QToolButton;

namespace stb {

class TFormDlgEscolheCalculo : public TFormDlgGrid {
    Q_OBJECT

public:
    explicit TFormDlgEscolheCalculo(QWidget *parent = nullptr);

    QToolButton *SBExcluiNota = nullptr;
    QToolButton *SB30Dias = nullptr;
    QToolButton *SBTodos = nullptr;

    // The line 6 of the query that keeps the last 30 days.
    static QString filtro30Dias();
    // Reopens the list with the 30-day filter or with every calculation.
    void mostra30Dias(bool ultimos30);
    void SBExcluiNotaClick();
    // IdCalculo of the selected row, or -1.
    int selecionado() const;

protected:
    void AjustaContribuinte() override;

private:
    void reabre();
};

// Shows the list; the IdCalculo chosen, or -1 when cancelled.
int EscolheCalculo(QWidget *parent = nullptr);

} // namespace stb
