#include "entry/partes.h"

#include "core/datamodule.h"
#include "core/messages.h"
#include "entry/cadempresa.h"
#include "entry/dbcontrols.h"
#include "entry/documents.h"
#include "outputs/regimes.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QToolButton>

namespace stb {

namespace {

// Runs a look-up under the wait cursor, restoring it whatever happens.
template<typename Fn> QString comCursorEspera(Fn &&fn)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    struct Restaura {
        ~Restaura() { QApplication::restoreOverrideCursor(); }
    } restaura;
    return fn();
}

QStringList lista(const char *sql)
{
    QStringList items;
    db::Query &q = DM().Qry;
    q.close();
    q.setSql(QString::fromLatin1(sql));
    q.open();
    for (q.first(); !q.eof(); q.next())
        items << q.field(0).displayText();
    q.close();
    return items;
}

} // namespace

QToolButton *botaoNome(QWidget *parent, const char *name)
{
    auto *b = new QToolButton(parent);
    b->setObjectName(QLatin1String(name));
    b->setText(QStringLiteral("..."));
    // Not a Tab stop: the name is asked by the keys of its field (F4), and a
    // click leaves the focus where it is.
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}

bool pedeNome(QEvent *e)
{
    if (e->type() == QEvent::MouseButtonPress)
        return true;
    if (e->type() != QEvent::KeyPress)
        return false;
    const auto *k = static_cast<QKeyEvent *>(e);
    if (k->modifiers() & ~Qt::KeypadModifier)
        return false;
    switch (k->key()) {
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_F4:
        return true;
    default:
        return false;
    }
}

void faltaNome(QWidget *campoNome)
{
    campoNome->setFocus(Qt::OtherFocusReason);
    MsgErro(
        QStringLiteral("Preciso desta informação para continuar!\r\r"
                       "Para informar o nome, tecle Enter, Espaço ou F4 neste campo, ou use o botão \"...\" ao lado."));
}

CamposPartes criaCamposPartes(db::DataSet &ds, QWidget *parent, QGridLayout *grid, int row, QObject *clickFilter)
{
    CamposPartes c;
    struct Linha {
        const char *docField, *nameField, *docLabel, *nameLabel, *docName, *nameName, *btnName, *mask;
    };
    const Linha linhas[] = {
        {"CNPJRemet", "XRemetente", "CNPJ Remetente", "Remetente", "dxDBCNPJRemetente", "dxDBNomeRemetente",
            "BtnNomeRemetente", "99.999.999/9999-99;1;_"},
        {"IEDest", "XDestinatario", "IE Destinatário", "Destinatário", "dxDBIEDestinatario", "dxDBNomeDestinatario",
            "BtnNomeDestinatario", "999.999.999.9999;1;_"},
    };
    for (int i = 0; i < 2; ++i) {
        const Linha &l = linhas[i];
        auto *doc = new DBComboEdit(&ds, QLatin1String(l.docField), parent);
        doc->setObjectName(QLatin1String(l.docName));
        doc->setUpperCase(true);
        doc->setEditMask(QLatin1String(l.mask));
        doc->setMinimumWidth(170);
        auto *nome = new DBEdit(&ds, QLatin1String(l.nameField), parent);
        nome->setObjectName(QLatin1String(l.nameName));
        nome->setReadOnly(true);
        // Tab goes from number to number: the name dialog opens by itself for
        // a number without a name, and OK sends the focus here when one is missing.
        nome->setFocusPolicy(Qt::ClickFocus);
        nome->setMinimumWidth(300);
        nome->installEventFilter(clickFilter);
        QToolButton *btn = botaoNome(parent, l.btnName);
        auto *docLabel = new QLabel(QString::fromUtf8(l.docLabel), parent);
        auto *nameLabel = new QLabel(QString::fromUtf8(l.nameLabel), parent);
        grid->addWidget(docLabel, row + i, 0);
        grid->addWidget(doc, row + i, 1);
        grid->addWidget(nameLabel, row + i, 2);
        auto *nameRow = new QHBoxLayout;
        nameRow->addWidget(nome);
        nameRow->addWidget(btn);
        grid->addLayout(nameRow, row + i, 3);
        c.todos << docLabel << doc << nameLabel << nome << btn;
        if (i == 0) {
            c.cnpj = doc;
            c.nomeRemetente = nome;
            c.btnRemetente = btn;
        } else {
            c.ie = doc;
            c.nomeDestinatario = nome;
            c.btnDestinatario = btn;
        }
    }
    return c;
}

void preencheListasPartes(DBComboEdit *cnpj, DBComboEdit *ie)
{
    cnpj->setItems(lista("SELECT CNPJRemet FROM REMETENTES ORDER BY 1"));
    ie->setItems(lista("SELECT IEDest FROM DESTINATARIOS ORDER BY 1"));
}

QString regimeRemetente(const QString &cnpj)
{
    return comCursorEspera([&] { return ConsultaRegimeCNPJ(DM().Qry, cnpj); });
}

QString regimeDestinatario(const QString &ie)
{
    return comCursorEspera([&] { return ConsultaRegimeIE(DM().Qry, ie); });
}

bool CadastraRemetente(const QString &cnpj, const QString &nomeAtual, QWidget *parent)
{
    QString nome = nomeAtual;
    if (!CadastraEmpresa(QStringLiteral("CNPJ Remetente"), cnpj, nome, parent))
        return false;
    GravaRemetente(cnpj, nome);
    return true;
}

bool CadastraDestinatario(const QString &ie, const QString &nomeAtual, QWidget *parent)
{
    QString nome = nomeAtual;
    if (!CadastraEmpresa(QStringLiteral("IE Destinatário"), ie, nome, parent))
        return false;
    GravaDestinatario(ie, nome);
    return true;
}

void gravaCadastro(
    db::Table &table, const QString &keyField, const QString &nameField, const QString &numero, const QString &nome)
{
    if (!table.isActive())
        table.open();
    try {
        if (table.locate(keyField, {numero})) {
            table.edit();
        } else {
            table.append();
            table.fieldByName(keyField).setAsString(numero);
        }
        table.fieldByName(nameField).setAsString(nome);
        table.post();
    } catch (const db::EngineError &e) {
        // Only a party stored meanwhile by someone else is expected (its stored
        // name stays); a full disk or a lost connection goes on to the caller.
        table.cancel();
        if (e.code() != db::Err::KeyViolation)
            throw;
    }
}

void GravaRemetente(const QString &cnpj, const QString &nome)
{
    gravaCadastro(DM().TabRemet, QStringLiteral("CNPJRemet"), QStringLiteral("Remetente"), cnpj, nome);
}

void GravaDestinatario(const QString &ie, const QString &nome)
{
    gravaCadastro(DM().TabDest, QStringLiteral("IEDest"), QStringLiteral("Destinatario"), ie, nome);
}

QString digitosDocumento(const QString &text) { return RemoveCaracteres(text, QStringLiteral("./- &")); }

} // namespace stb
