// News and message pages: HTML files dropped into AppDir/Novidades (news)
// and into the Msg folders of the data and installation folders (messages).
// The latest of each kind fill the menu entries Nov1..Nov3 and Msg1..Msg3; a
// page not yet recorded in section "Novidades" of STBrelva.ini is shown once.
#pragma once

#include <QDateTime>
#include <QDialog>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <future>
#include <memory>

class QAction;
class QCheckBox;
class QPrinter;
class QComboBox;
class QMenu;
class QPushButton;
class QTextBrowser;
class QTimer;

namespace stb {

struct Pagina {
    QString arquivo; // full path
    QDateTime data; // the file's date
    QString nome() const;
    // Menu caption: the file's name and date.
    QString legenda() const;
};

struct ListaPaginas {
    QList<Pagina> novidades; // latest first
    QList<Pagina> mensagens; // latest first
};

// Lists the pages of the folders (QtCore only; runs on a background thread).
ListaPaginas listaPaginas(const QString &pastaNovidades, const QStringList &pastasMensagens);
// The pages of one folder, latest first.
QList<Pagina> paginasDaPasta(const QString &pasta);
// The page's <title>, or its file name without extension when it has none.
QString tituloPagina(const QString &arquivo);
// The value recorded in section "Novidades" for a page (its date).
QString marcaPagina(const Pagina &p);

// TFormNovidade: one page in a browser, with the pick list of the pages of
// its folder, "Imprime", "Fecha" and "Não exibir este aviso novamente".
class TFormNovidade : public QDialog {
    Q_OBJECT

public:
    TFormNovidade(const QString &arquivo, const QString &appDir, QWidget *parent = nullptr);
    ~TFormNovidade() override;

    QTextBrowser *Browser = nullptr;
    QComboBox *ComboArquivos = nullptr;
    QPushButton *BtnImprime = nullptr, *BtnFecha = nullptr;
    QCheckBox *CheckNaoExibir = nullptr;

    const QString &arquivo() const { return m_arquivo; }
    void mostraArquivo(const QString &arquivo);

    // The printer "Imprime" offers in its print dialog; it keeps the user's
    // choice for the next print from this window.
    QPrinter &impressora();
    // Prints the page shown, headed by its caption (title and date) so the
    // paper says which notice it is.
    void imprimeEm(QPrinter &printer) const;

protected:
    void done(int r) override;

private:
    void anchorClicked(const QUrl &url);
    void imprime();

    QString m_arquivo;
    QString m_appDir;
    std::unique_ptr<QPrinter> m_impressora;
};

// The menu entries and the scan: owned by the main window.
class Novidades : public QObject {
    Q_OBJECT

public:
    // Adds the entries Nov1..Nov3 and Msg1..Msg3 at the end of `menu`.
    Novidades(const QString &appDir, const QString &dataDir, QMenu *menu, QWidget *janela);
    ~Novidades() override;

    QAction *Nov[3] = {};
    QAction *Msg[3] = {};
    // The news sub-menu of the tray ("Novidades").
    void preencheMenuBandeja(QMenu *menu);

    // Starts the scan on a background thread ("Verificando Novidades...").
    void iniciaVarredura();
    // Waits for a scan under way and applies its result.
    void aguardaVarredura();
    // Scans now, on this thread, and applies the result (a folder changed).
    void varreAgora();
    // Whether pages not yet recorded open by themselves (off for runs
    // nobody watches).
    bool exibeAutomaticamente = true;

    const ListaPaginas &lista() const { return m_lista; }
    // Pages shown automatically during this run.
    const QSet<QString> &exibidas() const { return m_exibidas; }
    // Opens a page window (not modal).
    TFormNovidade *abre(const QString &arquivo);

private:
    void aplica(const ListaPaginas &lista);
    bool assentada(const Pagina &p);

    QString m_appDir, m_dataDir;
    QWidget *m_janela;
    ListaPaginas m_lista;
    QSet<QString> m_exibidas;
    std::future<ListaPaginas> m_varredura;
    QTimer *m_espera = nullptr; // takes the background result
    QTimer *m_reexame = nullptr; // scans again while a page is being written
    // Pages found while they may still be written: their size and date.
    QHash<QString, QPair<qint64, QDateTime>> m_pendentes;
    QList<QPointer<TFormNovidade>> m_abertas;
};

} // namespace stb
