// The main window's part in the life of a workstation: its registration,
// the message-folder monitors with the close request, the news pages, the
// tips window, the tray window, the close-all command and the remaining
// entries of the help and search menus. Owned by the main window; the
// start-up steps call into it.
#pragma once

#include <QObject>
#include <QPointer>
#include <memory>

class QAction;

namespace stb {

class MonitorMensagens;
class Novidades;
class TFormDlgFechaTodos;
class TFormDlgHTMLVoceSabia;
class TMain;
class TTrayApp;

class ComandosEstacao : public QObject {
    Q_OBJECT

public:
    explicit ComandosEstacao(TMain *main);
    ~ComandosEstacao() override;

    Novidades *Paginas = nullptr;
    MonitorMensagens *Monitor = nullptr;
    TTrayApp *TrayApp = nullptr;
    QAction *VoceSabia1 = nullptr, *STCheck1 = nullptr, *VersaodoSistema = nullptr,
            *FechaoSistemaemtodososterminais1 = nullptr, *ConsultaNBM2002x2007 = nullptr,
            *CodigosDeOcorrencias1 = nullptr;
    int NumeroEstacao = 0;

    // ---- start-up steps ------------------------------------------------------
    // 3: the tips window, without blocking (tax units' edition, window shown).
    void abreVoceSabiaInicio();
    // 5: RegisterStation.
    void registraEstacao();
    // 14: the message folders and their monitors.
    void iniciaMonitores();
    // 16: the news scan in the background; with `aguarda` it is waited for
    // (the unit identification shows next).
    void verificaNovidades(bool aguarda);
    // 18: SBFimEx.
    void habilitaComandos();
    // 19: the tray icon.
    void ativaBandeja();
    // 20: while the tips window is open it stays in front.
    void aguardaVoceSabia();

    bool bandejaVisivel() const;

    // ---- commands --------------------------------------------------------------
    // "Fecha o Sistema em todos os terminais".
    void FechaTodosClick();
    void VoceSabiaClick();
    void STCheckClick();
    void VersaoDoSistemaClick();
    void ConsultaNBMClick();
    void CodigosDeOcorrenciasClick();
    // The program ConsultaNBM2002x2007 runs: the NBM consultation program,
    // else its installer; empty when neither exists.
    QString programaConsultaNBM() const;

protected:
    // The main window activated: SBFimEx follows the workstations present.
    bool eventFilter(QObject *o, QEvent *e) override;

private:
    void ajustaMenuPesquisa();

    TMain *m_main;
    QPointer<TFormDlgHTMLVoceSabia> m_voceSabia;
    // Kept until the program ends: its end deletes the close request.
    std::unique_ptr<TFormDlgFechaTodos> m_fechaTodos;
};

} // namespace stb
