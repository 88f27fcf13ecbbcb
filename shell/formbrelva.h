// TFormBrelva: the main window of the annex consultation program (Brelva).
// It browses the annex table of the shared data folder, read-only, in six
// ways (the whole table, product code, annex description, goods description,
// items introduced on two dates), registers itself as "Brelva.Main" and
// answers the item dialogs: a choice request names a request window whose
// text it reads; the entry the user picks is written back into that text and
// the calling dialog is told with message 1026.
#pragma once

#include "platform/db/database.h"
#include "platform/db/dataset.h"

#include <QMainWindow>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QToolButton;

namespace stb {

class DBGrid;
class MessageWindow;

class TFormBrelva : public QMainWindow {
    Q_OBJECT

    db::Database m_base; // the data folder, before the query that reads it

public:
    // `respondePadrao`: a run without a user (no message boxes) answers a
    // choice request at once with the entry the request points at.
    explicit TFormBrelva(const QString &dataDir, bool respondePadrao = false, QWidget *parent = nullptr);
    ~TFormBrelva() override;

    QComboBox *ComboModo = nullptr;
    QLabel *LabelPesquisa = nullptr;
    QLineEdit *EditPesquisa = nullptr;
    QToolButton *SBPesquisa = nullptr;
    QLabel *LabelPedido = nullptr;
    DBGrid *Grid = nullptr;
    QPlainTextEdit *MemoDetalhe = nullptr;
    QPushButton *BtnEscolhe = nullptr;
    QPushButton *BtnFecha = nullptr;

    // The window the programs post to; registered as "Brelva.Main".
    qint64 handle() const;
    void registra();

    // Shows a consultation kind (1 to 6) with an optional search text.
    void consulta(int kind, const QString &texto = {});
    // A choice request: reads the request window's text and shows the annex
    // where it points.
    void pedido(quint8 chamador, qint64 janelaPedido);
    bool pedidoPendente() const { return m_pedidoJanela != 0; }
    // Answers the pending request with the selected entry; false when there
    // is no request, the row is a heading or the caller is gone.
    bool escolhe();
    // Moves to the first entry of an item (and extension and sub-item, when given).
    bool posiciona(int item, int ex, int subItem);
    // The search text for the modes that search.
    void pesquisa();

    db::Query Qry;

protected:
    void closeEvent(QCloseEvent *e) override;

private:
    void mensagem(int msg, qint64 wparam, qint64 lparam);
    void mostra();
    void detalhe();
    QString filtro(int kind, const QString &texto);

    MessageWindow *m_janela = nullptr;
    bool m_respondePadrao;
    bool m_encerrando = false;
    qint64 m_pedidoJanela = 0; // the request window of the pending choice
    qint64 m_pedidoChamador = 0; // the dialog that asked
};

// Consultation kinds that search a typed text.
bool ConsultaComTexto(int kind);

} // namespace stb
