// TMain, the main window: the current calculation (header, invoices, lines of
// the selected invoice), the tool bar with every command, the status line,
// and the start-up and shutdown sequences of the program.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QStringList>

class QAction;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QSplitter;
class QTimer;
class QToolButton;

namespace stb {

class ComandosEstacao;
class DBGrid;
class DataLink;
class ItemCommands;

class TMain : public QMainWindow {
    Q_OBJECT

public:
    // FormCreate: builds the window and posts the deferred start-up to itself.
    explicit TMain(QWidget *parent = nullptr);
    ~TMain() override;

    static TMain *instance(); // MainForm

    // ---- components (names of the system) ---------------------------------
    QWidget *Panel1 = nullptr;
    QToolButton *SBNovo = nullptr, *SBAbre = nullptr, *SBFecha = nullptr, *SBPrintCalc = nullptr;
    QToolButton *SBCalcRapido = nullptr, *SBRegEspecial = nullptr, *SBConsulta = nullptr, *SBPesquisa = nullptr,
                *SBTrm = nullptr;
    QToolButton *SBAjuda = nullptr, *SBFim = nullptr, *SBFimEx = nullptr;
    QWidget *Panel3 = nullptr;
    QLineEdit *EditIdCalculo = nullptr, *EditXRemetDest = nullptr, *EditXOpInterna = nullptr, *EditXFiscal = nullptr,
              *EditDataHora = nullptr, *EditXGrupo = nullptr;
    QPlainTextEdit *EditObserv = nullptr;
    QPushButton *SBAltera = nullptr;
    QWidget *Panel2 = nullptr;
    QLabel *LabelNotas = nullptr, *LabelGrupoEspecial = nullptr;
    QToolButton *SBIncluiNota = nullptr, *SBAlteraNota = nullptr, *SBExcluiNota = nullptr;
    QHBoxLayout *BarraNotas = nullptr; // the caption and buttons above the invoice grid
    DBGrid *dxDBGridNotas = nullptr;
    QSplitter *Splitter = nullptr;
    QWidget *Panel7 = nullptr;
    QLabel *LabelItens = nullptr;
    QToolButton *SBIncluiItem = nullptr, *SBAlteraItem = nullptr, *SBExcluiItem = nullptr;
    DBGrid *dxDBGridItens = nullptr, *dxDBGridItensMedic = nullptr;
    QLabel *StatusPanel[4] = {};

    QMenu *PopMenuAjuda = nullptr, *PopMenuPesquisa = nullptr, *PopMenuFecha = nullptr, *PopMenuTRM = nullptr,
          *PopMenuNotas = nullptr, *PopMenuItens = nullptr, *MenuLinks = nullptr, *MenuCadastros = nullptr;
    QTimer *TimerBtnAjuda = nullptr;

    // ---- private state of the window ----------------------------------------
    bool StartingUp = true;
    bool ReallyClosing = false;
    bool CtrlHeld = false;
    bool Reindexing = false;
    bool CloseGuard = false;
    bool LedVisible = false;
    int LedIndex = 2;
    QString NeshFolder;
    bool NeshAvailable = false;
    QString ConsultaNBMPath;
    QString VersionText, VersionDate;
    bool IntranetOk = false;
    QStringList Links;
    bool ItemDialogOpen = false; // a general or medicine item dialog is open
    ItemCommands *Itens = nullptr; // commands on the invoice lines and the annex (shell/itemcommands.cpp)
    // Workstation, close requests, news, tips and the tray window (shell/estacaocommands.cpp).
    ComandosEstacao *Estacao = nullptr;

    // ---- interfaces ------------------------------------------------------------
    void ShowStatus(const QString &text);
    void ShowVersionStatus();
    QString versionLine() const;
    void OpenCalcView();
    void CloseCalcView();
    bool calcViewOpen() const { return m_calcViewOpen; }
    // Opens the six working tables with their status texts.
    void AbreTabelas();
    // Ends the process (the tray window's end command).
    void EncerraSistema();

    // Every status text shown, in order (read by tests and the start-up benchmark).
    QStringList statusLog;

    // Command handlers.
    void SBNovoClick();
    void SBAbreClick();
    void SBFechaClick();
    void SBAlteraClick();
    void SBIncluiNotaClick();
    void SBAlteraNotaClick();
    void SBExcluiNotaClick();
    void SBRegEspecialClick();
    void SBAjudaClick();
    void SBFimClick();
    void OpcoesDoSistemaClick();
    void IdentificacaoUnidadeClick();
    void CadastroClick(const QString &which);
    void SobreoSistemaClick();
    void AjudadoSistemaClick();
    void InformacoesCalculoClick();
    // Runs a link of the "Links Úteis" menu given its key.
    void AbreLink(const QString &key);
    // The address a link opens ($PMPF$ expanded); empty when the key has none.
    QString enderecoLink(const QString &key) const;
    void RebuildMenuLinks();
    // New-version check of Novo and Abre; true when the command may go on.
    bool VerificaNovaVersao();
    // Opens a file or address with the desktop's program for it (tests may replace).
    static void setShellOpenHook(std::function<void(const QString &)> hook);
    static void shellOpen(const QString &target);

signals:
    void startupFinished();
    void calcViewChanged(bool open);

protected:
    void customEvent(QEvent *e) override;
    void closeEvent(QCloseEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    void keyReleaseEvent(QKeyEvent *e) override;

private:
    void buildLayout();
    void buildMenus();
    void FormCreate();
    void DeferredStartup();
    void runStartupSteps();
    void LeConfiguracoes();
    void DecideReindex();
    void ProcessaAtalhos();
    void LocalizaNesh();
    void AtualizaHost();
    void EnableCommands();
    void bindDataSources();
    void setCommandsEnabled(bool enabled);
    void updateCalcHeader();
    bool FormCloseQuery();
    void FormClose();
    QToolButton *makeButton(const char *name, const QString &caption, const QString &hint, int icon);
    QToolButton *makeSmallButton(const char *name, const QString &caption, const QString &hint);

    bool m_calcViewOpen = false;
    bool m_startupDone = false;
    int m_grupoAberto = 0;
    DataLink *m_calcLink = nullptr;
    // The deferred start-up has reached step 15: errors go to the error report.
    bool m_apos15 = false;
};

// Status text through the main window when it exists (no-op otherwise).
void ShowStatus(const QString &text);

} // namespace stb
