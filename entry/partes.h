// The sender and recipient of a calculation or an invoice: the two rows of
// controls both dialogs show, the drop-down lists of registered numbers, the
// special-regime look-up and the name step that stores a name in its register.
#pragma once

#include <QList>
#include <QString>

class QEvent;
class QGridLayout;
class QObject;
class QToolButton;
class QWidget;

namespace stb {

namespace db {
class DataSet;
class Table;
} // namespace db
class DBComboEdit;
class DBEdit;

struct CamposPartes {
    DBComboEdit *cnpj = nullptr; // dxDBCNPJRemetente
    DBEdit *nomeRemetente = nullptr; // dxDBNomeRemetente
    QToolButton *btnRemetente = nullptr;
    DBComboEdit *ie = nullptr; // dxDBIEDestinatario
    DBEdit *nomeDestinatario = nullptr; // dxDBNomeDestinatario
    QToolButton *btnDestinatario = nullptr;
    QList<QWidget *> todos; // labels and controls, row by row
};

// Builds the sender row at `row` and the recipient row below it, bound to the
// CNPJRemet/XRemetente and IEDest/XDestinatario fields of `ds`. The name
// edits are read-only and report their events to `clickFilter`, which opens
// the name dialog when pedeNome() says so.
CamposPartes criaCamposPartes(db::DataSet &ds, QWidget *parent, QGridLayout *grid, int row, QObject *clickFilter);

// The "..." button beside a name (clicked, not a Tab stop).
QToolButton *botaoNome(QWidget *parent, const char *name);

// A read-only name field asks for its name dialog: a click, or Space, Enter
// or F4 while it has the focus. The keys are the field's (the dialog's
// default button does not take Enter from it).
bool pedeNome(QEvent *e);

// OK found a name missing: the focus goes to the name field, whose keys
// open the name dialog, and the message says so.
void faltaNome(QWidget *campoNome);

// Fills the drop-down lists with the registered senders and recipients.
void preencheListasPartes(DBComboEdit *cnpj, DBComboEdit *ie);

// Name of a sender (recipient) under a special regime, under a wait cursor;
// empty when it has none.
QString regimeRemetente(const QString &cnpj);
QString regimeDestinatario(const QString &ie);

// The name step: asks the name of the number (CadastraEmpresa, starting from
// the current name) and stores it in the register. False when the user gave
// no name.
bool CadastraRemetente(const QString &cnpj, const QString &nomeAtual, QWidget *parent);
bool CadastraDestinatario(const QString &ie, const QString &nomeAtual, QWidget *parent);

// Stores a name in a register: the row of the number is edited, or appended
// when absent. A failure cancels the row's edit without a report.
void gravaCadastro(
    db::Table &table, const QString &keyField, const QString &nameField, const QString &numero, const QString &nome);
void GravaRemetente(const QString &cnpj, const QString &nome);
void GravaDestinatario(const QString &ie, const QString &nome);

// The digits of a document number as the dialogs take them: the text without
// ".", "/", "-", blanks and "&".
QString digitosDocumento(const QString &text);

} // namespace stb
