// Choice of a margin or a rate while a line is entered: the MVA choice for an
// annex row with several MVAs (TFormDlgEscolheMVA) and the rate choice driven
// by a configured message (TFormDlgEscolheAliquota).
#pragma once

#include "entry/formdlg.h"
#include "platform/currency.h"

#include <QStringList>

class QButtonGroup;
class QLabel;
class QPlainTextEdit;
class QRadioButton;

namespace stb {

class TFormDlgEscolheMVA : public TFormDlg {
    Q_OBJECT

public:
    explicit TFormDlgEscolheMVA(QWidget *parent = nullptr);

    QLabel *LabelInfo = nullptr;
    QRadioButton *RadioButton1 = nullptr;
    QRadioButton *RadioButton2 = nullptr;
    QRadioButton *RadioButton3 = nullptr;
    QRadioButton *RadioButton4 = nullptr; // used by the rate choice only

    // The option chosen, 1 to 4; 0 when none.
    int opcao() const;
    // Shows the header and the captions (one option each, at most three).
    void mostraOpcoes(const QString &cabecalho, const QStringList &opcoes);

protected:
    // The caption of the selected option in bold, the others plain.
    virtual void opcaoSelecionada();
    QButtonGroup *m_grupo = nullptr;
};

class TFormDlgEscolheAliquota : public TFormDlgEscolheMVA {
    Q_OBJECT

public:
    explicit TFormDlgEscolheAliquota(QWidget *parent = nullptr);

    QPlainTextEdit *dxMemo = nullptr;

protected:
    void opcaoSelecionada() override;
};

// The MVA choice of the annex look-up: the option chosen (1 to 3), 0 when cancelled.
int EscolheOpcaoMVABrelva(const QString &cabecalho, const QStringList &opcoes, QWidget *parent = nullptr);

// The rate offered by a configured message "text@option|option|@@rate|rate|":
// r1 unless OK was pressed with another option chosen.
Currency EscolheAliquota(const QString &mensagem, QWidget *parent = nullptr);

} // namespace stb
