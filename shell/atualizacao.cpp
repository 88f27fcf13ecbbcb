#include "shell/atualizacao.h"

#include "platform/clock.h"
#include "platform/exclusivefile.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>

namespace stb {

QString programaAtualizacao(const QString &appDir, const QString &nome)
{
    const QFileInfoList arquivos = QDir(appDir).entryInfoList(QDir::Files);
    for (const QString &candidato : QStringList {nome + QStringLiteral(".exe"), nome})
        for (const QFileInfo &fi : arquivos)
            if (fi.fileName().compare(candidato, Qt::CaseInsensitive) == 0)
                return fi.absoluteFilePath();
    return {};
}

CicloAtualizacao::CicloAtualizacao(const QString &appDir, bool ativo, Relogio relogio, Inicia inicia, QObject *parent)
    : QObject(parent),
      m_appDir(appDir),
      m_ativo(ativo),
      m_relogio(std::move(relogio)),
      m_inicia(std::move(inicia))
{
    if (!m_relogio)
        m_relogio = [] { return Clock::now(); };
    if (!m_inicia)
        m_inicia = [](const QString &programa) { return QProcess::startDetached(programa, {}); };
    TimerAtualiza = new QTimer(this);
    TimerAtualiza->setObjectName(QStringLiteral("TimerAtualiza"));
    TimerAtualiza->setSingleShot(true);
    connect(TimerAtualiza, &QTimer::timeout, this, &CicloAtualizacao::verifica);
}

void CicloAtualizacao::inicia() { arma(PrimeiroMin); }

void CicloAtualizacao::arma(int minutos)
{
    m_intervaloMin = minutos;
    m_proximo = m_relogio().addSecs(qint64(minutos) * 60);
    armaTimer();
}

void CicloAtualizacao::armaTimer()
{
    // The timer wakes at the moment of the next launch (at most once a
    // minute early or late does not matter: the moment decides).
    const qint64 ms = std::max<qint64>(1000, m_relogio().msecsTo(m_proximo));
    TimerAtualiza->start(static_cast<int>(std::min<qint64>(ms, 60LL * 60 * 1000)));
}

void CicloAtualizacao::verifica()
{
    if (m_proximo.isValid() && m_relogio() >= m_proximo)
        TimerAtualizaTimer();
    else if (m_proximo.isValid())
        armaTimer();
}

void CicloAtualizacao::TimerAtualizaTimer()
{
    TimerAtualiza->stop();
    if (!m_ativo) {
        // The taxpayer edition starts no update program; the cycle runs on.
        AlternateLaunch = !AlternateLaunch;
        arma(AlternateLaunch ? LongoMin : CurtoMin);
        return;
    }
    int proximo;
    if (!AlternateLaunch) {
        const QString nova = programaAtualizacao(m_appDir, QStringLiteral("NovaVersao"));
        if (!nova.isEmpty())
            m_inicia(nova);
        proximo = LongoMin;
    } else {
        const QString log = m_appDir + QStringLiteral("Atualiza/Atualiza.log");
        // A held log means an update is running: no second one.
        const bool livre = !QFileInfo::exists(log) || podeAbrirExclusivo(log);
        const QString atualiza = programaAtualizacao(m_appDir, QStringLiteral("Atualiza"));
        if (!NetworkDown && livre && !atualiza.isEmpty())
            m_inicia(atualiza);
        proximo = CurtoMin;
    }
    AlternateLaunch = !AlternateLaunch;
    arma(proximo);
}

} // namespace stb
