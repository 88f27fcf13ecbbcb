// "Cálculo Especial": the page that explains which kind of calculation to
// choose (special calculations, fuels and medicines).
#pragma once

#include "entry/formdlg.h"

class QTextBrowser;

namespace stb {

class TFormDlgCalculoEspecial : public TFormDlg {
    Q_OBJECT

public:
    explicit TFormDlgCalculoEspecial(QWidget *parent = nullptr);
    QTextBrowser *Browser = nullptr;
    static QString pagina();
};

void MostraCalculoEspecial(QWidget *parent = nullptr);

} // namespace stb
