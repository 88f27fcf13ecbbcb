// TFormMinimiza: asked when the user minimises the system; "&OK" (or no
// answer within 5 seconds) minimises, "&Fecha" ends the system.
#pragma once

#include <QDialog>

class QPushButton;
class QTimer;

namespace stb {

class TFormMinimiza : public QDialog {
    Q_OBJECT

public:
    enum Result { Minimiza = QDialog::Accepted, Fecha = 7 /* No */ };
    explicit TFormMinimiza(QWidget *parent = nullptr);

    QPushButton *BtnOk = nullptr;
    QPushButton *BtnFecha = nullptr;
    QTimer *TimerMinimiza = nullptr;
};

} // namespace stb
