// TimerAtualiza: the periodic start of the two update programs of the
// installation, NovaVersao and Atualiza, alternately; the first 30 minutes
// after start, then 120 and 30 minutes apart in turn. Atualiza is skipped
// while the network is down or while its log is held by a running update.
#pragma once

#include <QDateTime>
#include <QObject>
#include <functional>

class QTimer;

namespace stb {

// The update program `nome` ("NovaVersao", "Atualiza") of the installation:
// "<nome>.exe" or "<nome>" in `appDir` (names compared without regard to
// case); empty when missing.
QString programaAtualizacao(const QString &appDir, const QString &nome);

class CicloAtualizacao : public QObject {
    Q_OBJECT

public:
    using Relogio = std::function<QDateTime()>;
    using Inicia = std::function<bool(const QString &programa)>;

    static constexpr int PrimeiroMin = 30;
    static constexpr int LongoMin = 120;
    static constexpr int CurtoMin = 30;

    // `relogio` tells the time (Clock::now by default); `inicia` starts a
    // program detached (by default QProcess::startDetached). `ativo` is false
    // in the taxpayer edition: nothing is ever started.
    CicloAtualizacao(
        const QString &appDir, bool ativo, Relogio relogio = {}, Inicia inicia = {}, QObject *parent = nullptr);

    bool AlternateLaunch = false;
    bool NetworkDown = false;
    QTimer *TimerAtualiza = nullptr;

    // Arms the first launch (30 minutes from now).
    void inicia();
    // The moment of the next launch and the interval it was armed with.
    QDateTime proximo() const { return m_proximo; }
    int intervaloMin() const { return m_intervaloMin; }
    // Runs the launch when its moment has come (the timer calls it; tests
    // call it after moving their clock) and re-arms the timer.
    void verifica();
    // The launch itself, with the timer stopped.
    void TimerAtualizaTimer();

private:
    void arma(int minutos);
    void armaTimer();

    QString m_appDir;
    bool m_ativo;
    Relogio m_relogio;
    Inicia m_inicia;
    QDateTime m_proximo;
    int m_intervaloMin = PrimeiroMin;
};

} // namespace stb
