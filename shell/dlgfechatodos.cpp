#include "shell/dlgfechatodos.h"

#include "core/messages.h"

#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace stb {

TFormDlgFechaTodos::TFormDlgFechaTodos(bool &closingOthers, const QString &arquivoPedido, QWidget *parent)
    : TFormDlg(parent),
      m_closingOthers(closingOthers),
      m_pedido(arquivoPedido)
{
    setObjectName(QStringLiteral("FormDlgFechaTodos"));
    setWindowTitle(QStringLiteral("Fecha o Sistema em todos os terminais"));
    auto *layout = new QVBoxLayout(body());
    layout->addWidget(new QLabel(QStringLiteral("As seguintes estações estão utilizando o Sistema:"), body()));
    ListBox = new QListWidget(body());
    ListBox->setObjectName(QStringLiteral("ListBox"));
    layout->addWidget(ListBox);
    BtnOk->setText(QStringLiteral("Fecha"));
    BtnOk->setDefault(false);
    BtnOk->setAutoDefault(false);
    // The scans use the short lock settings for as long as the dialog lives.
    m_lockCurto = std::make_unique<LockCurto>();
    TimerIP = new QTimer(this);
    TimerIP->setObjectName(QStringLiteral("TimerIP"));
    TimerIP->setSingleShot(true);
    TimerIP->setInterval(0);
    connect(TimerIP, &QTimer::timeout, this, &TFormDlgFechaTodos::TimerIPTimer);
    TimerIP->start();
    // The dialog takes its layout's size: the list makes it wide enough for
    // the caption in the title bar.
    ListBox->setMinimumSize(fontMetrics().horizontalAdvance(windowTitle()) + 120, 180);
}

TFormDlgFechaTodos::~TFormDlgFechaTodos()
{
    m_lockCurto.reset();
    m_closingOthers = false;
    if (m_criou)
        QFile::remove(m_pedido);
}

void TFormDlgFechaTodos::TimerIPTimer()
{
    const QStringList outras = varredura();
    ListBox->clear();
    ListBox->addItems(outras);
    if (m_primeira) {
        m_primeira = false;
        if (outras.isEmpty()) {
            MsgInformacao(QStringLiteral("Apenas este terminal está utilizando o sistema ST/Brelva!"));
            reject();
            return;
        }
        if (confirmaPedido()) {
            accept();
            return;
        }
    }
    // The list keeps refreshing while the dialog is open.
    TimerIP->setInterval(1000);
    TimerIP->start();
}

void TFormDlgFechaTodos::BtnOkClick()
{
    if (confirmaPedido())
        accept();
}

bool TFormDlgFechaTodos::confirmaPedido()
{
    if (!Confirma(QStringLiteral("Quer fechar o sistema ST/Brelva em todos os terminais")))
        return false;
    if (!Confirma(QStringLiteral("Tem Certeza?")))
        return false;
    QFile pedido(m_pedido);
    if (!pedido.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        MsgErro(QStringLiteral("Não consegui criar ") + m_pedido + QStringLiteral(":\r") + pedido.errorString());
        return false;
    }
    pedido.close();
    m_criou = true;
    m_closingOthers = true;
    TimerIP->stop();
    return true;
}

} // namespace stb
