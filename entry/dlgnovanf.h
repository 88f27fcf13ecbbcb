// The invoice dialog (TFormDlgNovaNF; TFormDlgNovaNFContribuinte in the
// taxpayer edition): number, issue date, sender and recipient with their
// names, freight (or, for medicines, the invoice's own ICMS credit) and the
// ICMS/ST already highlighted on the invoice.
#pragma once

#include "entry/formdlg.h"

#include <QSpinBox>

class QCheckBox;
class QLabel;
class QToolButton;

namespace stb {

class DBCheckBox;
class DBComboEdit;
class DBCurrencyEdit;
class DBDateEdit;
class DBEdit;

// The spin control beside the issue date: its value is the date (as a day
// number); stepping it moves the date by one day.
class DateSpin : public QSpinBox {
    Q_OBJECT

public:
    explicit DateSpin(QWidget *parent = nullptr);
    void setDate(const QDate &d);
    QDate date() const;

protected:
    QString textFromValue(int value) const override;
};

class TFormDlgNovaNF : public TFormDlg {
    Q_OBJECT

public:
    enum { MsgCNPJ = WM_USER_1, MsgIE = WM_USER_1 + 1, MsgDestaque = WM_USER_1 + 2, MsgListas = WM_USER_1 + 4 };

    static TFormDlgNovaNF &instancia(QWidget *parent = nullptr);
    static bool existe();
    static void libera();
    ~TFormDlgNovaNF() override;

    QLabel *LabelIntro = nullptr;
    DBEdit *dxDBNroNF = nullptr;
    DBDateEdit *dxDBDataEmissao = nullptr;
    QToolButton *BtnHoje = nullptr;
    DateSpin *dxSpinEdit = nullptr;
    DBComboEdit *dxDBCNPJRemetente = nullptr;
    DBEdit *dxDBNomeRemetente = nullptr;
    QToolButton *BtnNomeRemetente = nullptr;
    DBComboEdit *dxDBIEDestinatario = nullptr;
    DBEdit *dxDBNomeDestinatario = nullptr;
    QToolButton *BtnNomeDestinatario = nullptr;
    QLabel *LabelFrete = nullptr;
    DBCurrencyEdit *dxDBFrete = nullptr;
    DBCheckBox *dxDBCheckCreditoFrete = nullptr;
    QLabel *LabelCreditoICMS = nullptr;
    DBCurrencyEdit *dxDBCreditoICMS_Medic = nullptr;
    DBCurrencyEdit *dxDBCalcEdit1 = nullptr;

    bool IncluiNota();
    void AlteraNota();
    void ExcluiNota();
    void NomeRemetente();
    void NomeDestinatario();

protected:
    explicit TFormDlgNovaNF(QWidget *parent = nullptr);
    void BtnOkClick() override;
    void privateMessage(int msg, qintptr wparam, qintptr lparam) override;
    bool eventFilter(QObject *o, QEvent *e) override;
    const QList<QWidget *> &camposUnidade() const { return m_camposUnidade; }

private:
    void prepara();
    void regraFrete();
    void preencheListas();
    void focusChanged(QWidget *old, QWidget *now);
    void verificaCNPJ();
    void verificaIE();
    void perguntaDestaque();
    void proximoAposNome(QWidget *nameField);
    QString grupoEspecial() const;
    QList<QWidget *> m_camposUnidade;
};

class TFormDlgNovaNFContribuinte : public TFormDlgNovaNF {
    Q_OBJECT

public:
    explicit TFormDlgNovaNFContribuinte(QWidget *parent = nullptr);
};

bool IncluiNota(QWidget *parent = nullptr);
void AlteraNota(QWidget *parent = nullptr);
void ExcluiNota(QWidget *parent = nullptr);

} // namespace stb
