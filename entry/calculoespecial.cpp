#include "entry/calculoespecial.h"

#include <QFile>
#include <QLayout>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

// Resources of a static library are registered by hand (outside any namespace).
static void initEntryResources() { Q_INIT_RESOURCE(entry); }

namespace stb {

QString TFormDlgCalculoEspecial::pagina()
{
    initEntryResources();
    QFile f(QStringLiteral(":/entry/calculoespecial.html"));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

TFormDlgCalculoEspecial::TFormDlgCalculoEspecial(QWidget *parent) : TFormDlg(parent)
{
    setObjectName(QStringLiteral("TFormDlgCalculoEspecial"));
    setWindowTitle(QStringLiteral("Cálculo Especial"));
    setWindowFlags(windowFlags() & ~Qt::MSWindowsFixedSizeDialogHint);
    layout()->setSizeConstraint(QLayout::SetDefaultConstraint);
    auto *layout = new QVBoxLayout(body());
    layout->setContentsMargins(0, 0, 0, 0);
    Browser = new QTextBrowser(body());
    Browser->setObjectName(QStringLiteral("Browser"));
    Browser->setHtml(pagina());
    layout->addWidget(Browser);
    BtnCancel->hide();
    resize(620, 520);
    finishCreate();
}

void MostraCalculoEspecial(QWidget *parent)
{
    TFormDlgCalculoEspecial dlg(parent);
    dlg.exec();
}

} // namespace stb
