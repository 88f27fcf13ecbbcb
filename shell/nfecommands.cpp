#include "shell/nfecommands.h"

#include "core/datamodule.h"
#include "core/messages.h"
#include "entry/dbgrid.h"
#include "entry/dlgimportanfe.h"
#include "shell/mainwindow.h"

#include <QAction>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QMenu>
#include <QMimeData>
#include <QToolButton>
#include <QUrl>

namespace stb {

namespace {

QStringList caminhosLocais(const QMimeData *mime)
{
    QStringList out;
    if (!mime || !mime->hasUrls())
        return out;
    for (const QUrl &u : mime->urls()) {
        const QString p = u.toLocalFile();
        const QFileInfo fi(p);
        if (fi.isDir() || fi.suffix().compare(QLatin1String("xml"), Qt::CaseInsensitive) == 0)
            out << p;
    }
    return out;
}

} // namespace

NFeCommands::NFeCommands(TMain *main) : QObject(main), m_main(main)
{
    setObjectName(QStringLiteral("NFeCommands"));
    main->PopMenuNotas->addSeparator();
    ImportarNFe1 = main->PopMenuNotas->addAction(QStringLiteral("Importar NF-e (XML)..."));
    ImportarNFe1->setObjectName(QStringLiteral("ImportarNFe1"));
    connect(ImportarNFe1, &QAction::triggered, this, &NFeCommands::ImportarNFeClick);
    ImportarNFePasta1 = main->PopMenuNotas->addAction(QStringLiteral("Importar NF-e de uma pasta..."));
    ImportarNFePasta1->setObjectName(QStringLiteral("ImportarNFePasta1"));
    connect(ImportarNFePasta1, &QAction::triggered, this, &NFeCommands::ImportarNFePastaClick);
    if (main->BarraNotas) {
        SBImportaNFe = new QToolButton(main);
        SBImportaNFe->setObjectName(QStringLiteral("SBImportaNFe"));
        SBImportaNFe->setText(QStringLiteral("NF-e"));
        SBImportaNFe->setToolTip(QStringLiteral("Importar NF-e (XML)"));
        SBImportaNFe->setStatusTip(SBImportaNFe->toolTip());
        SBImportaNFe->setAutoRaise(true);
        SBImportaNFe->setToolButtonStyle(Qt::ToolButtonTextOnly);
        SBImportaNFe->setMinimumWidth(60);
        SBImportaNFe->setPopupMode(QToolButton::InstantPopup);
        auto *menu = new QMenu(SBImportaNFe);
        menu->addAction(ImportarNFe1);
        menu->addAction(ImportarNFePasta1);
        SBImportaNFe->setMenu(menu);
        SBImportaNFe->setEnabled(main->calcViewOpen());
        connect(main, &TMain::calcViewChanged, SBImportaNFe, &QToolButton::setEnabled);
        main->BarraNotas->addWidget(SBImportaNFe);
    }
    if (main->dxDBGridNotas) {
        main->dxDBGridNotas->setAcceptDrops(true);
        main->dxDBGridNotas->viewport()->setAcceptDrops(true);
        main->dxDBGridNotas->viewport()->installEventFilter(this);
    }
}

void NFeCommands::ImportarNFeClick()
{
    if (!m_main->calcViewOpen())
        return;
    const QStringList arquivos = QFileDialog::getOpenFileNames(
        m_main, QStringLiteral("Importar NF-e (XML)"), QString(), QStringLiteral("NF-e (*.xml *.XML)"));
    if (!arquivos.isEmpty())
        Importa(arquivos);
}

void NFeCommands::ImportarNFePastaClick()
{
    if (!m_main->calcViewOpen())
        return;
    const QString pasta = QFileDialog::getExistingDirectory(m_main, QStringLiteral("Importar NF-e de uma pasta"));
    if (!pasta.isEmpty())
        Importa({pasta});
}

void NFeCommands::Importa(const QStringList &caminhos)
{
    if (!m_main->calcViewOpen()) {
        MsgAviso(QStringLiteral("Abra um cálculo antes de importar as NF-e."));
        return;
    }
    if (ImportaNFe(DM(), caminhos, m_main))
        DM().TabNotas.last();
}

bool NFeCommands::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove) {
        auto *e = static_cast<QDropEvent *>(event);
        if (m_main->calcViewOpen() && !caminhosLocais(e->mimeData()).isEmpty()) {
            e->acceptProposedAction();
            return true;
        }
    } else if (event->type() == QEvent::Drop) {
        auto *e = static_cast<QDropEvent *>(event);
        const QStringList caminhos = caminhosLocais(e->mimeData());
        if (!caminhos.isEmpty()) {
            e->acceptProposedAction();
            Importa(caminhos);
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace stb
