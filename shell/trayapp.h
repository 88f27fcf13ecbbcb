// TTrayApp: the never-shown window behind the icon in the notification
// area. It owns the icon and its menu, the update-launch cycle and the
// state of the department's network; ending the program from anywhere goes
// through its end command (Fim1).
#pragma once

#include <QObject>
#include <QPointer>
#include <QSet>

class QAction;
class QMenu;
class QSystemTrayIcon;
class QTimer;

namespace stb {

class CicloAtualizacao;
class Novidades;
class TMain;
class TesteAlcance;

class TTrayApp : public QObject {
    Q_OBJECT

public:
    // `novidades`: the news entries shared with the main window's menu.
    TTrayApp(TMain *main, Novidades *novidades);
    ~TTrayApp() override;

    QSystemTrayIcon *RxTray = nullptr;
    QMenu *Menu = nullptr;
    QTimer *TimerTray = nullptr;
    // While the icon shows: a main window hidden in a notification area
    // that went away (its host ended) comes back minimised.
    QTimer *TimerBandeja = nullptr;
    CicloAtualizacao *Atualizacao = nullptr;
    QAction *EmissordeTRM1 = nullptr, *ConsultaRegimeEspecial1 = nullptr, *ConsultaTabelaBrelva1 = nullptr,
            *Pesquisa1 = nullptr, *NBM1 = nullptr, *DescrioNBM1 = nullptr, *DescriodeMercadoria1 = nullptr,
            *Novidades1 = nullptr, *Ajuda1 = nullptr, *CalculoST = nullptr, *CalculoRapido1 = nullptr, *Fim1 = nullptr;

    // Set at start when the update server could not be reached.
    bool NetworkDown = false;
    bool redeVerificada() const { return m_redeVerificada; }

    // The icon shows at the end of the start-up; without a notification
    // area nothing shows and the main window minimises instead of hiding.
    void ativa();
    // Whether the icon is on screen now, so hiding the window leaves a way back.
    bool iconeVisivel() const;

    // The reachability test of the update server (port 8080), in the
    // background with a short limit; the result sets NetworkDown.
    void verificaRede(const QString &host, int limiteMs = 1500);

    // Fim1: asks, then ends the program.
    void Fim1Click();
    // Single click: the menu drops after 200 ms unless a double click comes.
    void cliqueSimples();
    void cliqueDuplo();
    // Brings the main window back (restored when minimised).
    void mostraJanela();

signals:
    void redeVerificadaChanged(bool networkDown);

protected:
    // F11 and F12 from any window of the program, modal dialogs included.
    bool eventFilter(QObject *o, QEvent *e) override;

private:
    QAction *repassa(QMenu *menu, const char *nome, const QString &legenda, const char *acaoPrincipal);

    TMain *m_main;
    QPointer<TesteAlcance> m_teste;
    bool m_redeVerificada = false;
    // The grids of the keys while open: a key again does not stack another.
    QSet<QString> m_gradesAbertas;
};

} // namespace stb
