#include "shell/closesystem.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace stb {

QString textoEncerramento(int segundos)
{
    return QStringLiteral("O sistema ST/Brelva será encerrado em\r\n%1 segundo%2")
        .arg(segundos)
        .arg(segundos > 1 ? QStringLiteral("s") : QString());
}

TFormCloseSystem::TFormCloseSystem(int segundos, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FormCloseSystem"));
    setWindowTitle(QStringLiteral("ST/Brelva - Solicitação de Encerramento do Sistema"));
    setWindowFlag(Qt::WindowStaysOnTopHint);
    auto *layout = new QVBoxLayout(this);
    Label = new QLabel(this);
    Label->setObjectName(QStringLiteral("Label"));
    Label->setAlignment(Qt::AlignCenter);
    QFont f = Label->font();
    f.setPointSize(f.pointSize() + 3);
    f.setBold(true);
    Label->setFont(f);
    layout->addWidget(Label);
    auto *botoes = new QHBoxLayout;
    BtnEncerra = new QPushButton(QStringLiteral("Encerra agora"), this);
    BtnEncerra->setObjectName(QStringLiteral("BtnEncerra"));
    BtnNaoEncerra = new QPushButton(QStringLiteral("Não Encerra"), this);
    BtnNaoEncerra->setObjectName(QStringLiteral("BtnNaoEncerra"));
    botoes->addStretch(1);
    botoes->addWidget(BtnEncerra);
    botoes->addWidget(BtnNaoEncerra);
    botoes->addStretch(1);
    layout->addLayout(botoes);
    connect(BtnEncerra, &QPushButton::clicked, this, &QDialog::accept);
    connect(BtnNaoEncerra, &QPushButton::clicked, this, &QDialog::reject);
    // The full count shows first; the deadline is one second later so the
    // first tick still reads the full count less one.
    mostra(segundos);
    m_prazo = QDeadlineTimer(qint64(segundos + 1) * 1000);
    Timer = new QTimer(this);
    Timer->setInterval(250);
    connect(Timer, &QTimer::timeout, this, &TFormCloseSystem::TimerTimer);
    Timer->start();
    // Wide enough for its caption in the title bar.
    resize(qMax(420, fontMetrics().horizontalAdvance(windowTitle()) + 160), 150);
}

void TFormCloseSystem::mostra(int segundos)
{
    m_texto = textoEncerramento(segundos);
    Label->setText(QString(m_texto).remove(QLatin1Char('\r')));
}

void TFormCloseSystem::TimerTimer()
{
    const int restam = static_cast<int>(m_prazo.remainingTime() / 1000);
    if (restam <= 0) {
        Timer->stop();
        accept();
        return;
    }
    mostra(restam);
}

MonitorMensagens::MonitorMensagens(const QStringList &pastas, const QString &arquivoPedido, QObject *parent)
    : QObject(parent),
      m_pastas(pastas),
      m_pedido(arquivoPedido)
{
    setObjectName(QStringLiteral("MonitorMensagens"));
    bool ok = false;
    const int segundos = qEnvironmentVariableIntValue("STB_CONTAGEM_ENCERRAMENTO", &ok);
    if (ok && segundos > 0)
        segundosContagem = segundos;
    TimerFolderMonitor = new QTimer(this);
    TimerFolderMonitor->setObjectName(QStringLiteral("TimerFolderMonitor"));
    TimerFolderMonitor->setInterval(5000);
    connect(TimerFolderMonitor, &QTimer::timeout, this, &MonitorMensagens::verifica);
    TimerMsg = new QTimer(this);
    TimerMsg->setObjectName(QStringLiteral("TimerMsg"));
    TimerMsg->setInterval(20000);
    connect(TimerMsg, &QTimer::timeout, this, &MonitorMensagens::verifica);
}

MonitorMensagens::~MonitorMensagens() { delete m_contagem; }

void MonitorMensagens::ativa(bool ativo)
{
    m_ativos = ativo;
    if (!ativo) {
        // Without a watcher no notification arrives; the folders are
        // watched again from scratch when the monitors come back.
        delete m_watcher;
        m_watcher = nullptr;
        return;
    }
    if (m_watcher)
        return;
    m_watcher = new QFileSystemWatcher(this);
    for (const QString &pasta : m_pastas) {
        QDir().mkpath(pasta);
        m_watcher->addPath(pasta);
    }
    // A created, renamed or removed file changes the folder.
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, &MonitorMensagens::verifica);
}

void MonitorMensagens::inicia()
{
    ativa(true);
    verifica();
    if (m_ativos)
        TimerFolderMonitor->start();
}

void MonitorMensagens::verifica()
{
    if (m_contagem)
        return; // the countdown is on screen already
    if (!QFileInfo::exists(m_pedido)) {
        TimerMsg->stop();
        if (!m_ativos)
            ativa(true);
        if (!TimerFolderMonitor->isActive())
            TimerFolderMonitor->start();
        emit paginasMudaram();
        return;
    }
    ativa(false);
    TimerFolderMonitor->stop();
    TimerMsg->stop();
    contagem();
}

void MonitorMensagens::contagem()
{
    // The workstation that asked the others to close does not count down.
    if (ClosingOthers)
        return;
    QWidget *pai = QApplication::activeWindow();
    m_contagem = new TFormCloseSystem(segundosContagem, pai);
    const int r = m_contagem->exec();
    delete m_contagem;
    if (r == QDialog::Accepted) {
        emit encerrar();
        return;
    }
    // "Não Encerra": the question comes back while the request stands.
    ativa(true);
    if (QFileInfo::exists(m_pedido))
        TimerMsg->start();
    else
        TimerFolderMonitor->start();
}

} // namespace stb
