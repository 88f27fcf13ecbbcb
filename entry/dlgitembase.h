// TFormDlgItemBase: what the item dialogs of an invoice share (goods and
// fuels here, medicines in their own dialog): the hints of the focused
// control, the inclusion repeated until the user cancels with its two closing
// questions, F2 to repeat the previous line, the annex look-up of a typed code
// (locally or through the annex consultation program, whose answer arrives as
// a message), the application of an annex entry with its scope rules, rate
// messages and adjusted MVA, and the dated information messages.
#pragma once

#include "entry/formdlg.h"
#include "platform/currency.h"

#include <QHash>
#include <QPointer>
#include <QStringList>
#include <functional>
#include <optional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QTimer;

namespace stb {

namespace db {
class Table;
}

class CurrencyEdit;
class MessageWindow;

class TFormDlgItemBase : public TFormDlg {
    Q_OBJECT

public:
    // Private messages.
    enum {
        MsgCodigo = WM_USER_1, // 1025 code typed: look it up (w 1 direct, 0 open the annex program)
        MsgRespostaBrelva = WM_USER_1 + 1, // 1026 the annex program answered
        MsgFrente = WM_USER_1 + 9, // 1034 back to the front after a remote look-up
        MsgTrocaGrupo = WM_USER_1 + 10, // 1035 switch the calculation to a special kind (w the group)
    };

    // How an inclusion ended.
    enum class FimInclusao {
        Nada, // nothing more to do
        NovaNota, // the user wants to include another invoice
        TrocouGrupo, // the calculation became a special kind: open its item dialog
    };

    ~TFormDlgItemBase() override;

    // ---- state kept between events ---------------------------------------------
    QStringList NaoMostrar; // keys of messages not to show again while the dialog lives
    bool AvisoPMPF = false; // the PMPF/price warning was shown
    bool OperacaoInterestadual = false; // the MVA may be adjusted
    bool TrocouGrupo = false; // the calculation was switched to a special kind
    bool ModoCombustivel = false; // the fuel dialog
    bool ModoMedicamento = false; // the medicine dialog (its groups are its own)
    int ItemAtual = 0; // annex item number of the last entry applied
    int IdBrelvaAtual = 0; // annex id of the entry applied (IdBrelva on OK)

    // The calculation the lines belong to.
    struct Contexto {
        int tipoCalculo = 0;
        int grupo = 0;
        bool interestadual = false;
        bool difal() const { return tipoCalculo == 2 || tipoCalculo == 3; }
    };
    // Quick calculation: the context comes from its window, the lines go to
    // its in-memory lists, and the closing questions of an invoice are not
    // asked. std::nullopt returns to the stored calculation.
    bool modoRapido() const { return m_rapido.has_value(); }
    // Runs `fn` (an entry operation) on the quick list `lista` under `ctx`;
    // the dialog returns to the stored calculation afterwards.
    void naListaRapida(db::Table &lista, const Contexto &ctx, const std::function<void()> &fn);

    // Adds lines to the current invoice until the user cancels.
    FimInclusao IncluiItem();
    // Edits the current line.
    void AlteraItem();
    // Asks and deletes the current line (the following ones are renumbered).
    void ExcluiItem();
    // Quick calculation: the same entry on an in-memory list with the fields
    // of the calculation's lines (the quick window's), under its context.
    void IncluiItemRapido(db::Table &lista, const Contexto &ctx);
    void AlteraItemRapido(db::Table &lista, const Contexto &ctx);

    // The main window may forbid switching a calculation to a special kind.
    static void setTrocaGrupoPermitida(bool permitida);

    // Applies one annex entry to the dialog; false when the scope rules refuse it.
    bool AplicaItemBrelva(const QString &code, int id, const QString &descricao, Currency mva, int fem, int ambito,
        int item, int ex, int subItem, const QString &cest);
    // Scope rules of an annex entry; false when the item is refused.
    bool RegrasAmbito(int item, int ambito);
    // Shows the dated and permanent messages of a code, unless not to repeat.
    void MostraMensagem(const QString &key);
    // Hides the hint of the focused control.
    void FechaHint();

    // The window the annex program answers.
    qint64 janelaResposta() const;
    QLabel *LabelHint = nullptr;

protected:
    explicit TFormDlgItemBase(QWidget *parent = nullptr);

    // The stored calculation's context, or the quick calculation's.
    virtual Contexto contexto() const;
    std::optional<Contexto> m_rapido;
    db::Table *m_lista = nullptr; // the quick list written, if any

    // Editors the shared steps fill (set by the derived dialog; any may stay null).
    QLineEdit *m_codigo = nullptr;
    QPlainTextEdit *m_descricao = nullptr;
    CurrencyEdit *m_mva = nullptr;
    CurrencyEdit *m_mvaPreAjuste = nullptr;
    QWidget *m_labelMVAPreAjuste = nullptr;
    CurrencyEdit *m_aliqICMS = nullptr;
    CurrencyEdit *m_creditoICMS = nullptr;
    QCheckBox *m_fem = nullptr;

    // A hint shown while `w` has the focus (and as its tool tip).
    void setHint(QWidget *w, const QString &text);
    // The code editor: typing in it marks the code for a new look-up.
    void setEditorCodigo(QLineEdit *e);

    // Inclusion repeated until the user cancels: each OK stores a line
    // through gravaNovaLinha(), remembers it (lembraLinha) and clears the
    // fields. Then the closing questions.
    FimInclusao repeteInclusao();
    virtual void limpaCampos() = 0;
    virtual void lembraLinha() = 0;
    // Appends a line to the list written (numbered after the invoice's last
    // line, or without gaps in a quick list) and stores the fields.
    void gravaNovaLinha();
    // The current invoice has no line stored yet.
    bool notaSemLinhas() const;

    // The calculation's table of lines and the suffix of its numbering key.
    virtual db::Table &tabelaItens() const = 0;
    virtual QString sufixoNumeracao() const { return {}; }
    // The table the lines go to: the stored lines, or a quick list.
    db::Table &destino() const;
    // Fields written on OK (a line is always stored with zeros, never nulls),
    // and loaded for an alteration.
    virtual void gravaCampos(db::Table &itens) = 0;
    virtual void carregaCampos(db::Table &itens) = 0;
    // Writes the fields into the row being edited or appended and posts it
    // (calculated fields wait until every field is written); cancels on error.
    void gravaLinha(db::Table &itens);
    // Window titles, and what is set up before each entry (captions by calculation type).
    virtual QString tituloInclusao() const = 0;
    virtual QString tituloAlteracao() const = 0;
    virtual void preparaRotulos() {}
    // F2: repeats the remembered value(s) of the previous line in the focused field.
    virtual void repeteUltima(QWidget *campo) = 0;

    // Caller code given to the annex look-up (2 goods, 1 medicines).
    virtual quint8 chamador() const { return 2; }
    // Runs after an annex entry was applied from a typed code or an answer.
    virtual void aposCodigo() {}
    // Whether the adjusted MVA is offered for the code just applied (a line
    // priced by PMPF has no MVA to adjust).
    virtual bool ofereceMVAAjustada(const QString &code) const
    {
        Q_UNUSED(code);
        return true;
    }
    // The annex look-up of the typed code.
    virtual void codigoDigitado(bool direto);
    void respostaBrelva();
    void trocaGrupo(int grupo);
    // The editors' text changed since the last look-up.
    bool m_codigoAlterado = false;

    void privateMessage(int msg, qintptr wparam, qintptr lparam) override;
    bool antesDoOk() override;
    void keyPressEvent(QKeyEvent *e) override;
    bool eventFilter(QObject *o, QEvent *e) override;

private:
    // A rate message: "question::rate" asked with the "Não mostre mais" box
    // (a ticked box adds `chave` to NaoMostrar), or a choice "text@...@@..."; the rate to use, if any.
    std::optional<Currency> perguntaAliquota(const QString &mensagem, const QString &chave);
    void focusChanged(QWidget *old, QWidget *now);
    void limpaCodigo();
    // The look-up of a code left by the keyboard waits until the keys typed
    // ahead have reached their fields: its questions would take them.
    void adiaConsulta();
    void cancelaConsultaAdiada();
    void teclaDigitada();
    friend class TeclasAdiantadas;

    QTimer *m_esperaTeclado = nullptr;
    QObject *m_teclas = nullptr; // watches the keys while a look-up waits
    bool m_saidaPorTeclado = false; // the code field was left by Tab or Backtab

    MessageWindow *m_janela = nullptr;
    QHash<QWidget *, QString> m_hints;
};

// Waits `ms` while events go on (the pauses of the scope rules).
void Pausa(int ms);

// The one object of a dialog class for the run: created on first use (the
// class befriends this template), forgotten when it is deleted.
template<typename T> class DialogoDaExecucao {
public:
    static T &instancia(QWidget *parent)
    {
        if (!s_dialogo)
            s_dialogo = new T(parent);
        return *s_dialogo;
    }
    static bool existe() { return !s_dialogo.isNull(); }
    static void libera() { delete s_dialogo.data(); }

private:
    static inline QPointer<T> s_dialogo;
};

} // namespace stb
