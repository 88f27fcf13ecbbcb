// The calculation header (TFormDlgNovoCalculo; TFormDlgNovoCalculoContribuinte
// in the taxpayer edition): date and time, tax officer, the sender and the
// recipient when every invoice shares them, observations, the kind of
// calculation and the type of operation.
#pragma once

#include "entry/formdlg.h"
#include "entry/partes.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QToolButton;

namespace stb {

class DBComboEdit;
class DBDateEdit;
class DBEdit;
class DBMemo;

class TFormDlgNovoCalculo : public TFormDlg {
    Q_OBJECT

public:
    // Private messages of the dialog.
    enum { MsgCNPJ = WM_USER_1, MsgIE = WM_USER_1 + 1, MsgProximoCampo = WM_USER_1 + 2, MsgMasp = WM_USER_1 + 3 };

    // The one dialog of the run (the taxpayer class in that edition),
    // created on first use; box states carry over from one opening to the next.
    static TFormDlgNovoCalculo &instancia(QWidget *parent = nullptr);
    static bool existe();
    static void libera();
    ~TFormDlgNovoCalculo() override;

    QLabel *LabelIntro = nullptr;
    DBEdit *dxDBNroCalculo = nullptr;
    DBDateEdit *dxDBDataHora = nullptr;
    QToolButton *BtnHoje = nullptr;
    DBEdit *dxDBMasp = nullptr;
    DBEdit *dxDBNomeFiscal = nullptr;
    QToolButton *BtnNomeFiscal = nullptr;
    DBComboEdit *dxDBCNPJRemetente = nullptr;
    DBEdit *dxDBNomeRemetente = nullptr;
    QToolButton *BtnNomeRemetente = nullptr;
    DBComboEdit *dxDBIEDestinatario = nullptr;
    DBEdit *dxDBNomeDestinatario = nullptr;
    QToolButton *BtnNomeDestinatario = nullptr;
    DBMemo *dxDBObserv = nullptr;
    DBEdit *dxDBNroTRM = nullptr;
    QCheckBox *dxCheckPadrao = nullptr;
    QCheckBox *dxCheckCombustivel = nullptr;
    QCheckBox *dxCheckMedicamento = nullptr;
    QCheckBox *dxCheckMedicamentoMVA = nullptr;
    QCheckBox *dxCheckInterna = nullptr;
    QCheckBox *dxCheckInterestadual = nullptr;
    QCheckBox *dxCheckTipo1 = nullptr;
    QCheckBox *dxCheckTipo2 = nullptr;
    QCheckBox *dxCheckTipo3 = nullptr;
    QCheckBox *dxCheckTipo4 = nullptr;
    QPushButton *SBTipo = nullptr;

    bool IncluiCalculo();
    bool AlteraCalculo();
    // Group code of the first checked special box, 0 when none.
    int grupoEscolhido() const;
    // The first checked type box (1 to 4), 0 when none.
    int tipoEscolhido() const;
    // Name steps of the sender, recipient and tax officer.
    void NomeRemetente();
    void NomeDestinatario();
    void NomeFiscal();

protected:
    explicit TFormDlgNovoCalculo(QWidget *parent = nullptr);
    void AjustaContribuinte() override;
    // Fields the taxpayer edition does not show, with their labels.
    const QList<QWidget *> &camposUnidade() const { return m_camposUnidade; }
    void BtnOkClick() override;
    void BtnCancelClick() override;
    void privateMessage(int msg, qintptr wparam, qintptr lparam) override;
    bool eventFilter(QObject *o, QEvent *e) override;

private:
    QList<QCheckBox *> caixasTipo() const;
    QList<QCheckBox *> caixasGrupo() const;
    void marcaGrupo(QCheckBox *box);
    void marcaTipo(QCheckBox *box);
    void marcaInterna(bool interna);
    void setCaixasEditaveis(bool editaveis);
    void preencheListas();
    void focusChanged(QWidget *old, QWidget *now);
    void verificaCNPJ();
    void verificaIE();
    void gravaEscolhas();
    bool exigeTexto(QWidget *w, const QString &text);
    QList<QWidget *> m_camposUnidade;
};

class TFormDlgNovoCalculoContribuinte : public TFormDlgNovoCalculo {
    Q_OBJECT

public:
    explicit TFormDlgNovoCalculoContribuinte(QWidget *parent = nullptr);

protected:
    void AjustaContribuinte() override;
};

bool IncluiCalculo(QWidget *parent = nullptr);
bool AlteraCalculo(QWidget *parent = nullptr);

} // namespace stb
