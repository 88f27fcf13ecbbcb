// The program's shortcuts (TFormDlgAtalhos).
#pragma once

#include "entry/formdlg.h"

class QCheckBox;

namespace stb {

class TFormDlgAtalhos : public TFormDlg {
    Q_OBJECT

public:
    explicit TFormDlgAtalhos(QWidget *parent = nullptr);

    QCheckBox *cbPrograms = nullptr; // "Menu Iniciar", always
    QCheckBox *cbDesktop = nullptr; // the program on the desktop
    QCheckBox *cbStartup = nullptr; // start with the desktop session
    QCheckBox *cbDesktopEx = nullptr; // the collection-document program on the desktop
    QCheckBox *cbAllUsers = nullptr; // for every user of this computer

    static bool executa(QWidget *parent = nullptr);

protected:
    void BtnOkClick() override;
};

} // namespace stb
