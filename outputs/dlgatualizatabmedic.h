// TFormDlgAtualizaTabMedic ("Atualização da Tabela CMED/ABCFarma"): takes a
// new monthly medicine table from the update server or from a text file the
// user chooses, and returns where it is and its month.
#pragma once

#include "entry/formdlg.h"

#include <QString>
#include <optional>

class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QRadioButton;
class QSpinBox;
class QToolButton;

namespace stb {

class MedicDownload;

class TFormDlgAtualizaTabMedic : public TFormDlg {
    Q_OBJECT

public:
    explicit TFormDlgAtualizaTabMedic(QWidget *parent = nullptr);
    ~TFormDlgAtualizaTabMedic() override;

    QRadioButton *RBServidor = nullptr;
    QRadioButton *RBArquivo = nullptr;
    QLineEdit *dxEditArquivo = nullptr;
    QToolButton *SBArquivo = nullptr;
    QComboBox *dxComboMes = nullptr;
    QSpinBox *dxSpinAno = nullptr;
    QLabel *LabelStatus = nullptr;
    QProgressBar *ProgressBar = nullptr;

    struct Resultado {
        QString novoTxt; // the new text table
        QString alvo; // data folder + "TabMedic.txt"
        QString mesAno; // "MARÇO/2025"
    };
    const Resultado &resultado() const { return m_resultado; }

    // The dialog, then (when a table was obtained) the copy into the data
    // folder, the month key and the snapshot; true when the table changed.
    static bool AtualizaTabelaMedic(QWidget *parent = nullptr);

protected:
    void BtnOkClick() override;
    void BtnCancelClick() override;

private:
    void atualizaControles();
    bool doServidor();
    bool doArquivo();

    Resultado m_resultado;
    MedicDownload *m_download = nullptr;
};

} // namespace stb
