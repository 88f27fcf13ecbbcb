#include "shell/formminimiza.h"

#include "entry/msgbox.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace stb {

TFormMinimiza::TFormMinimiza(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TFormMinimiza"));
    setWindowTitle(QStringLiteral("ST/Brelva"));
    auto *layout = new QVBoxLayout(this);
    auto *text = new QLabel(screenText(QStringLiteral("Você escolheu Minimizar o Sistema.\r\nClique em OK para "
                                                      "minimizar\r\nou clique em Fecha para encerrar o Sistema.")),
        this);
    layout->addWidget(text);
    auto *row = new QHBoxLayout;
    row->addStretch(1);
    BtnOk = new QPushButton(QStringLiteral("&OK"), this);
    BtnOk->setObjectName(QStringLiteral("BtnOk"));
    BtnOk->setDefault(true);
    BtnFecha = new QPushButton(QStringLiteral("&Fecha"), this);
    BtnFecha->setObjectName(QStringLiteral("BtnFecha"));
    row->addWidget(BtnOk);
    row->addWidget(BtnFecha);
    layout->addLayout(row);
    TimerMinimiza = new QTimer(this);
    TimerMinimiza->setObjectName(QStringLiteral("TimerMinimiza"));
    TimerMinimiza->setSingleShot(true);
    TimerMinimiza->setInterval(5000);
    // Either button stops the timer; when it fires it presses "&OK".
    connect(BtnOk, &QPushButton::clicked, this, [this] {
        TimerMinimiza->stop();
        done(Minimiza);
    });
    connect(BtnFecha, &QPushButton::clicked, this, [this] {
        TimerMinimiza->stop();
        done(Fecha);
    });
    connect(TimerMinimiza, &QTimer::timeout, BtnOk, &QPushButton::click);
    TimerMinimiza->start();
}

} // namespace stb
