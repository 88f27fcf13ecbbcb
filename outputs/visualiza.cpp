#include "outputs/visualiza.h"

#include "core/messages.h"
#include "core/settings.h"
#include "outputs/exportarelatorio.h"

#include <QDir>
#include <QFileDialog>
#include <QGraphicsItem>
#include <QGraphicsView>
#include <QKeySequence>
#include <QMouseEvent>
#include <QPaintEngine>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStyle>
#include <QToolBar>

namespace stb {

OpcoesVisualizacao OpcoesVisualizacao::doPrograma()
{
    Settings &s = Settings::instance();
    return {s.printEmail(), s.printPDF(), s.printXLS(), s.printRTF()};
}

bool GravaPDF(RelatorioCalculo &rel, const QString &arquivo)
{
    QSaveFile f(arquivo);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    if (!rel.gravaPdf(f))
        return false;
    return f.commit();
}

QRectF areaAlterna(RelatorioCalculo &rel)
{
    rep::RelatorioBandas &b = rel.bandas();
    const rep::Elemento *e = b.cabecalhoPagina.find(QStringLiteral("alterna"));
    if (!e || rel.impressao().rotuloAlterna.isEmpty())
        return {};
    return e->area.translated(b.pagina.paintRect(QPageLayout::Millimeter).topLeft());
}

namespace {

// A click on the preview's pages inside the toggle label closes the preview.
class CliqueAlterna : public QObject {
public:
    CliqueAlterna(QGraphicsView *view, QDialog *dialogo, const QRectF &area, double dpi, bool *clicado)
        : QObject(dialogo),
          m_view(view),
          m_dialogo(dialogo),
          m_area(area),
          m_dpi(dpi),
          m_clicado(clicado)
    {
    }

protected:
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() != QEvent::MouseButtonPress || m_area.isEmpty())
            return false;
        const QPointF cena = m_view->mapToScene(static_cast<QMouseEvent *>(e)->position().toPoint());
        for (QGraphicsItem *pagina : m_view->scene()->items(cena)) {
            // A page item is the paper in printer pixels, from its corner.
            const QPointF p = pagina->mapFromScene(cena) * (25.4 / m_dpi);
            if (m_area.contains(p)) {
                *m_clicado = true;
                m_dialogo->reject();
                return true;
            }
        }
        return false;
    }

private:
    QGraphicsView *m_view;
    QDialog *m_dialogo;
    QRectF m_area;
    double m_dpi;
    bool *m_clicado;
};

QString nomeArquivo(RelatorioCalculo &rel, const char *extensao = "pdf")
{
    return QStringLiteral("Memoria de Calculo %1.%2").arg(rel.impressao().idCalculo, QLatin1String(extensao));
}

// Asks where to save, in the user's documents folder by default; empty when cancelled.
QString escolheArquivo(
    RelatorioCalculo &rel, QWidget *parent, const QString &titulo, const char *extensao, const QString &filtro)
{
    const QString inicial = QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
                                .filePath(nomeArquivo(rel, extensao));
    return QFileDialog::getSaveFileName(parent, titulo, inicial, filtro, nullptr, QFileDialog::DontUseNativeDialog);
}

void exportaPDF(RelatorioCalculo &rel, QWidget *parent)
{
    const QString arquivo = escolheArquivo(
        rel, parent, QStringLiteral("Exporta para PDF"), "pdf", QStringLiteral("Arquivos PDF (*.pdf)"));
    if (arquivo.isEmpty())
        return;
    if (!GravaPDF(rel, arquivo))
        MsgErro(QStringLiteral("Não foi possível gravar o arquivo \"%1\".").arg(arquivo));
}

void exportaPlanilha(RelatorioCalculo &rel, QWidget *parent)
{
    const QString arquivo = escolheArquivo(
        rel, parent, QStringLiteral("Exporta para planilha"), "xls", QStringLiteral("Planilhas (*.xls)"));
    QString erro;
    if (!arquivo.isEmpty() && !GravaPlanilhaRelatorio(rel.impressao(), arquivo, &erro))
        MsgErro(erro);
}

void exportaRTF(RelatorioCalculo &rel, QWidget *parent)
{
    const QString arquivo = escolheArquivo(
        rel, parent, QStringLiteral("Exporta para RTF"), "rtf", QStringLiteral("Documentos RTF (*.rtf)"));
    QString erro;
    if (!arquivo.isEmpty() && !GravaRtfRelatorio(rel.impressao(), arquivo, &erro))
        MsgErro(erro);
}

// The PDF goes to a temporary folder and the desktop's mail program opens
// with it attached; without one, the user is told where the file is.
void enviaEmail(RelatorioCalculo &rel)
{
    const QString pasta
        = QDir(QStandardPaths::writableLocation(QStandardPaths::TempLocation)).filePath(QStringLiteral("STBrelva"));
    QDir().mkpath(pasta);
    const QString arquivo = QDir(pasta).filePath(nomeArquivo(rel));
    if (!GravaPDF(rel, arquivo)) {
        MsgErro(QStringLiteral("Não foi possível gravar o arquivo \"%1\".").arg(arquivo));
        return;
    }
    const QString assunto = QStringLiteral("Memória de Cálculo %1").arg(rel.impressao().idCalculo);
    if (QProcess::startDetached(
            QStringLiteral("xdg-email"), {QStringLiteral("--subject"), assunto, QStringLiteral("--attach"), arquivo}))
        return;
    MsgInformacao(
        QStringLiteral("A memória de cálculo foi gravada em \"%1\".\rAnexe este arquivo à sua mensagem.").arg(arquivo));
}

} // namespace

bool Visualiza(RelatorioCalculo &rel, const OpcoesVisualizacao &opcoes, QWidget *parent)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(rel.bandas().pagina);
    printer.setDocName(QStringLiteral("Memória de Cálculo %1").arg(rel.impressao().idCalculo));
    QPrintPreviewDialog dlg(&printer, parent);
    dlg.setObjectName(QStringLiteral("PreviewRelatorio"));
    dlg.setWindowTitle(QStringLiteral("Memória de Cálculo"));
    QObject::connect(&dlg, &QPrintPreviewDialog::paintRequested, &dlg, [&rel](QPrinter *p) {
        // The preview records the pages as pictures; the printer gets the real engine.
        const bool tela = p->paintEngine() && p->paintEngine()->type() == QPaintEngine::Picture;
        rel.imprime(*p, tela);
    });

    if (QToolBar *barra = dlg.findChild<QToolBar *>()) {
        barra->addSeparator();
        if (opcoes.pdf) {
            QAction *a = barra->addAction(
                dlg.style()->standardIcon(QStyle::SP_DialogSaveButton), QStringLiteral("Exporta PDF"));
            a->setObjectName(QStringLiteral("AcaoExportaPDF"));
            a->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_G));
            a->setToolTip(QStringLiteral("Grava a memória de cálculo em um arquivo PDF (Ctrl+G)"));
            QObject::connect(a, &QAction::triggered, &dlg, [&rel, &dlg] { exportaPDF(rel, &dlg); });
        }
        if (opcoes.xls) {
            QAction *a = barra->addAction(
                dlg.style()->standardIcon(QStyle::SP_FileDialogDetailedView), QStringLiteral("Exporta planilha"));
            a->setObjectName(QStringLiteral("AcaoExportaXLS"));
            a->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
            a->setToolTip(QStringLiteral("Grava a memória de cálculo em uma planilha (.xls) (Ctrl+L)"));
            QObject::connect(a, &QAction::triggered, &dlg, [&rel, &dlg] { exportaPlanilha(rel, &dlg); });
        }
        if (opcoes.rtf) {
            QAction *a
                = barra->addAction(dlg.style()->standardIcon(QStyle::SP_FileIcon), QStringLiteral("Exporta RTF"));
            a->setObjectName(QStringLiteral("AcaoExportaRTF"));
            a->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
            a->setToolTip(QStringLiteral("Grava a memória de cálculo em um documento RTF (Ctrl+R)"));
            QObject::connect(a, &QAction::triggered, &dlg, [&rel, &dlg] { exportaRTF(rel, &dlg); });
        }
        if (opcoes.email) {
            QAction *a = barra->addAction(
                dlg.style()->standardIcon(QStyle::SP_FileLinkIcon), QStringLiteral("Envia por e-mail"));
            a->setObjectName(QStringLiteral("AcaoEnviaEmail"));
            a->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
            a->setToolTip(QStringLiteral("Envia a memória de cálculo em PDF por e-mail (Ctrl+E)"));
            QObject::connect(a, &QAction::triggered, &dlg, [&rel] { enviaEmail(rel); });
        }
    }

    bool clicado = false;
    if (QGraphicsView *view = dlg.findChild<QGraphicsView *>()) {
        auto *filtro = new CliqueAlterna(view, &dlg, areaAlterna(rel), printer.resolution(), &clicado);
        view->viewport()->installEventFilter(filtro);
    }
    dlg.setWindowState(dlg.windowState() | Qt::WindowMaximized);
    dlg.exec();
    return clicado;
}

ImpressaoCalculo::ImpressaoCalculo(
    TDM &dm, const ConfigRelatorio &cfg, const OpcoesVisualizacao &opcoes, QWidget *parent)
    : QObject(parent),
      m_dm(dm),
      m_cfg(cfg),
      m_opcoes(opcoes),
      m_parent(parent)
{
}

void ImpressaoCalculo::executa(int opcaoMR, bool analitica, const QString &observ)
{
    for (;;) {
        std::unique_ptr<RelatorioCalculo> rel;
        emit preparando();
        try {
            rel = CriaRelatorio(m_dm, m_cfg, analitica);
            rel->Prepara(opcaoMR, observ);
            rel->paginas();
        } catch (...) {
            emit preparado();
            throw;
        }
        emit preparado();
        if (!Visualiza(*rel, m_opcoes, m_parent))
            return;
        analitica = !analitica;
    }
}

} // namespace stb
