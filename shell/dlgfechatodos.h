// TFormDlgFechaTodos: lists the other workstations using the system (the
// list keeps refreshing) and, when confirmed twice, asks them all to close by
// creating the close request file.
#pragma once

#include "entry/formdlg.h"
#include "shell/stations.h"

#include <functional>
#include <memory>

class QListWidget;
class QTimer;

namespace stb {

class TFormDlgFechaTodos : public TFormDlg {
    Q_OBJECT

public:
    // `closingOthers` is the flag of the workstation that issues the request:
    // set when the request file is created, cleared when the dialog ends.
    // `arquivoPedido`: the close request file.
    TFormDlgFechaTodos(bool &closingOthers, const QString &arquivoPedido, QWidget *parent = nullptr);
    ~TFormDlgFechaTodos() override;

    QListWidget *ListBox = nullptr;
    QTimer *TimerIP = nullptr;

    // The scan of the other workstations (tests replace it; default OutrasEstacoes).
    std::function<QStringList()> varredura = OutrasEstacoes;

    bool criouPedido() const { return m_criou; }

protected:
    // "Fecha": the two confirmations, then the request.
    void BtnOkClick() override;

private:
    void TimerIPTimer();
    // Asks twice and creates the request file; true when it was created.
    bool confirmaPedido();

    bool &m_closingOthers;
    QString m_pedido;
    std::unique_ptr<LockCurto> m_lockCurto;
    bool m_primeira = true;
    bool m_criou = false;
};

} // namespace stb
