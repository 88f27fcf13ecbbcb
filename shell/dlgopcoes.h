// Options of the system (TFormDlgOpcoes; TFormDlgOpcoesContribuinte in the
// taxpayer edition) and the server settings (TFormDlgHost) they embed.
#pragma once

#include "entry/formdlg.h"

class QCheckBox;
class QDoubleSpinBox;
class QGroupBox;
class QLineEdit;
class QPushButton;

namespace stb {

class TFormDlgHost : public TFormDlg {
    Q_OBJECT

public:
    explicit TFormDlgHost(QWidget *parent = nullptr);

    QLineEdit *dxEditNroIP = nullptr;
    QCheckBox *dxCheckProxy = nullptr;
    QLineEdit *dxEditProxy = nullptr;
    QLineEdit *dxEditPorta = nullptr;
    QCheckBox *dxCheckSendMail = nullptr;
    QCheckBox *dxCheckShowMail = nullptr;

    void proxyChanged();
};

class TFormDlgOpcoes : public TFormDlg {
    Q_OBJECT

public:
    explicit TFormDlgOpcoes(QWidget *parent = nullptr);
    ~TFormDlgOpcoes() override;

    QCheckBox *dxCheckReindex = nullptr;
    QCheckBox *dxCheckAtualizaSistema = nullptr; // hidden
    QCheckBox *dxCheckAtualizaDados = nullptr; // hidden
    QCheckBox *dxCheckAuditor = nullptr; // hidden
    QCheckBox *dxCheckHelp = nullptr;
    QGroupBox *GroupCalculo = nullptr;
    QDoubleSpinBox *dxAliqICMS = nullptr;
    QCheckBox *dxCheckAliqICMSAvisar = nullptr;
    QCheckBox *dxCheckCalculaMR = nullptr;
    QCheckBox *dxCheckCalculaMI = nullptr;
    QCheckBox *dxCheckARM = nullptr;
    QPushButton *sbReindexNow = nullptr, *SBReindexProdNBM = nullptr, *sbAtalhos = nullptr, *SBHost = nullptr,
                *SBArm = nullptr, *SBUnidade = nullptr, *SBIniFile = nullptr, *SBDisquete = nullptr;
    TFormDlgHost *Host = nullptr; // the server settings, loaded and stored with the options

    static bool executa(QWidget *parent = nullptr);
    bool changed() const { return m_changed; }

protected:
    void BtnOkClick() override;
    void BtnCancelClick() override;
    void AjustaContribuinte() override;

private:
    void load();
    void markChanged() { m_changed = true; }
    bool m_changed = false;
};

class TFormDlgOpcoesContribuinte : public TFormDlgOpcoes {
    Q_OBJECT

public:
    explicit TFormDlgOpcoesContribuinte(QWidget *parent = nullptr);
    static bool executa(QWidget *parent = nullptr);
};

} // namespace stb
