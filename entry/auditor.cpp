#include "entry/auditor.h"

#include "core/settings.h"
#include "entry/documents.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

namespace stb {

namespace {
QStringList g_lista;
bool g_alterada = false;

// The name recorded for a number, or nullopt when the number is not listed.
std::optional<QString> nomeListado(const QString &numero)
{
    const QString prefix = numero + QLatin1Char('=');
    for (const QString &line : std::as_const(g_lista))
        if (line.startsWith(prefix))
            return line.mid(prefix.size());
    return std::nullopt;
}

void registra(const QString &numero, const QString &nome)
{
    if (numero.isEmpty() || nome.isEmpty())
        return;
    const QString prefix = numero + QLatin1Char('=');
    for (QString &line : g_lista)
        if (line.startsWith(prefix)) {
            line = QStringLiteral("%1=%2").arg(numero, nome);
            return;
        }
    g_lista << QStringLiteral("%1=%2").arg(numero, nome);
}
} // namespace

QString empresaNaoConsta() { return QStringLiteral("Esta empresa não consta do Auditor Eletrônico"); }
QStringList listaAuditor() { return g_lista; }
bool listaAuditorAlterada() { return g_alterada; }
void limpaListaAuditor()
{
    g_lista.clear();
    g_alterada = false;
}

TFormDlgAuditor::TFormDlgAuditor(QWidget *parent) : TFormDlg(parent)
{
    setObjectName(QStringLiteral("TFormDlgAuditor"));
    setWindowTitle(QStringLiteral("Buscando informações no Auditor Eletrônico..."));
    auto *grid = new QGridLayout(body());
    grid->setContentsMargins(0, 0, 0, 0);
    auto edit = [this](const char *name, bool readOnly) {
        auto *e = new QLineEdit(body());
        e->setObjectName(QLatin1String(name));
        e->setReadOnly(readOnly);
        return e;
    };
    dxEditCNPJ = edit("dxEditCNPJ", true);
    dxEditNomeRemetente = edit("dxEditNomeRemetente", false);
    dxEditIE = edit("dxEditIE", true);
    dxEditNomeDestinatario = edit("dxEditNomeDestinatario", false);
    for (QLineEdit *e : {dxEditNomeRemetente, dxEditNomeDestinatario}) {
        e->setMinimumWidth(320);
        e->setMaxLength(50);
    }
    grid->addWidget(new QLabel(QStringLiteral("CNPJ Remetente"), body()), 0, 0);
    grid->addWidget(dxEditCNPJ, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Remetente"), body()), 1, 0);
    grid->addWidget(dxEditNomeRemetente, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("IE Destinatário"), body()), 2, 0);
    grid->addWidget(dxEditIE, 2, 1);
    grid->addWidget(new QLabel(QStringLiteral("Destinatário"), body()), 3, 0);
    grid->addWidget(dxEditNomeDestinatario, 3, 1);
    finishCreate();
}

bool ConsultaAuditor(
    const QString &cnpj, const QString &ie, QString &nomeRemetente, QString &nomeDestinatario, QWidget *parent)
{
    if (!Settings::instance().auditor())
        return false;
    const auto remet = cnpj.isEmpty() ? std::optional<QString>(QString()) : nomeListado(cnpj);
    const auto dest = ie.isEmpty() ? std::optional<QString>(QString()) : nomeListado(ie);
    if (remet && dest) {
        if (!remet->isEmpty() && *remet != empresaNaoConsta())
            nomeRemetente = *remet;
        if (!dest->isEmpty() && *dest != empresaNaoConsta())
            nomeDestinatario = *dest;
        return true;
    }
    TFormDlgAuditor dlg(parent);
    dlg.dxEditCNPJ->setText(FormataDocumento(cnpj));
    dlg.dxEditIE->setText(FormataDocumento(ie));
    dlg.dxEditNomeRemetente->setText(nomeRemetente);
    dlg.dxEditNomeDestinatario->setText(nomeDestinatario);
    dlg.dxEditNomeRemetente->setEnabled(!cnpj.isEmpty());
    dlg.dxEditNomeDestinatario->setEnabled(!ie.isEmpty());
    if (dlg.exec() != QDialog::Accepted)
        return false;
    const QString r = dlg.dxEditNomeRemetente->text().trimmed().toUpper();
    const QString d = dlg.dxEditNomeDestinatario->text().trimmed().toUpper();
    if (!r.isEmpty())
        nomeRemetente = r;
    if (!d.isEmpty())
        nomeDestinatario = d;
    registra(cnpj, r.isEmpty() ? empresaNaoConsta() : r);
    registra(ie, d.isEmpty() ? empresaNaoConsta() : d);
    g_alterada = true;
    return true;
}

} // namespace stb
