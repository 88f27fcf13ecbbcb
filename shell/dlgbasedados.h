// Location of the shared database (TFormDlgBaseDados): the default folder of
// this installation, or a folder shared by every workstation of the unit on
// a network location; and, optionally, a PostgreSQL server that holds the
// tables while the folder keeps every other shared file.
#pragma once

#include "entry/formdlg.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace stb {

class TFormDlgBaseDados : public TFormDlg {
    Q_OBJECT

public:
    explicit TFormDlgBaseDados(QWidget *parent = nullptr);

    QLabel *LabelAtual = nullptr;
    QLabel *LabelExemplo = nullptr;
    QCheckBox *dxCheckNetUse = nullptr;
    QLineEdit *dxEditPasta = nullptr;
    QToolButton *BtnProcura = nullptr;
    QLineEdit *dxEditServidor = nullptr;
    QPushButton *BtnTestaConexao = nullptr;

    static bool executa(QWidget *parent = nullptr);
    // Ends the program after a change (tests replace it).
    static void setTerminateHook(std::function<void()> hook);

protected:
    void BtnOkClick() override;

private:
    bool validaPasta(const QString &folder);
    bool transfere(const QString &folder);
    void BtnTestaConexaoClick();
    bool validaServidor(const QString &address);
    bool confirmaServidor(const QString &address, const QString &atual);
    void gravaServidor(const QString &address);
    void terminate();
};

} // namespace stb
