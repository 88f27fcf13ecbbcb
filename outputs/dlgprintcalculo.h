// TFormDlgPrintCalculo: the print options of the calculation report — how
// the revalidation fine is shown (five boxes acting as one choice), the
// medicine listing (detailed or summarised) and the footer remark, under the
// explanatory page STMsgMR.html of the program folder.
#pragma once

#include "entry/formdlg.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QTextBrowser;

namespace stb {

class TFormDlgPrintCalculo : public TFormDlg {
    Q_OBJECT

public:
    explicit TFormDlgPrintCalculo(QWidget *parent = nullptr);

    QTextBrowser *WebMsgMR = nullptr;
    QLabel *LabelOpcao = nullptr;
    QCheckBox *CheckMR2ComReducao = nullptr, *CheckMR2SemReducao = nullptr, *CheckMR1ComReducao = nullptr,
              *CheckMR1SemReducao = nullptr, *CheckSemMR = nullptr;
    QLabel *LabelMedic = nullptr;
    QCheckBox *CheckMedicSintetica = nullptr, *CheckMedicAnalitica = nullptr;
    QLabel *LabelObserv = nullptr;
    QLineEdit *dxEditObserv = nullptr;

    // Sets the dialog up for a printing: the page `htmlPath` (nothing when
    // missing), the medicine boxes shown or hidden, the box of the stored
    // option (its low seven bits) ticked, the stored remark.
    void prepara(const QString &htmlPath, bool medicamento, int printMR, const QString &observ);

    // After OK: the option (5, 3, 4, 2 in that order of the boxes, else 1),
    // the detailed medicine listing, the remark.
    int opcao() const;
    bool analitica() const;
    QString observacao() const;

protected:
    void BtnOkClick() override;

private:
    void marcaUnica(QCheckBox *marcada, const QList<QCheckBox *> &grupo);
    QList<QCheckBox *> m_mr;
};

} // namespace stb
