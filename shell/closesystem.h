// The close request between workstations: the countdown window shown when
// another workstation asks every one to close, and the monitors of the
// message folders that notice the request and new message pages.
#pragma once

#include <QDeadlineTimer>
#include <QDialog>
#include <QPointer>
#include <QStringList>

class QFileSystemWatcher;
class QLabel;
class QPushButton;
class QTimer;

namespace stb {

// "O sistema ST/Brelva será encerrado em\r\n%d segundo%s".
QString textoEncerramento(int segundos);

// TFormCloseSystem: counts down and closes as accepted when no second is
// left; "Encerra agora" accepts at once, "Não Encerra" rejects.
class TFormCloseSystem : public QDialog {
    Q_OBJECT

public:
    explicit TFormCloseSystem(int segundos, QWidget *parent = nullptr);

    QLabel *Label = nullptr;
    QPushButton *BtnEncerra = nullptr, *BtnNaoEncerra = nullptr;
    QTimer *Timer = nullptr;
    // The text last shown (with its "\r\n").
    const QString &texto() const { return m_texto; }

private:
    void mostra(int segundos);
    void TimerTimer();

    QDeadlineTimer m_prazo;
    QString m_texto;
};

// Watches the message folders of this workstation and reacts to a close
// request (the file NAOENTRE.MSG) and to new pages.
class MonitorMensagens : public QObject {
    Q_OBJECT

public:
    // `pastas`: the watched folders (DataDir + "Msg", and AppDir + "Msg" in
    // the tax units' edition); `arquivoPedido`: the close request file.
    MonitorMensagens(const QStringList &pastas, const QString &arquivoPedido, QObject *parent = nullptr);
    ~MonitorMensagens() override;

    // Checks once and starts the monitors and TimerFolderMonitor.
    void inicia();
    // The check run on every change and tick.
    void verifica();

    // True while this workstation is the one that issued the close request:
    // it never counts down itself.
    bool ClosingOthers = false;

    // Seconds of the countdown: 30, or STB_CONTAGEM_ENCERRAMENTO (tests).
    int segundosContagem = 30;
    QTimer *TimerFolderMonitor = nullptr; // 5 s
    QTimer *TimerMsg = nullptr; // 20 s
    // The countdown window while it shows.
    TFormCloseSystem *janelaContagem() const { return m_contagem; }
    bool monitoresAtivos() const { return m_ativos; }

signals:
    // No close request: the message pages are to be scanned again.
    void paginasMudaram();
    // The countdown ran out or the user chose "Encerra agora".
    void encerrar();

private:
    void ativa(bool ativo);
    void contagem();

    QStringList m_pastas;
    QString m_pedido;
    QFileSystemWatcher *m_watcher = nullptr;
    QPointer<TFormCloseSystem> m_contagem;
    bool m_ativos = false;
};

} // namespace stb
