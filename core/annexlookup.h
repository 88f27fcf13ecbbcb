// The annex item look-up: an annex code as the user types it, the values of
// one annex row, and the request text exchanged with the annex consultation
// program. The look-up itself is a data module operation (TDM::ProcuraItemBrelva).
#pragma once

#include "platform/currency.h"

#include <QString>
#include <QStringList>
#include <functional>

namespace stb {

// An annex code "II.EEE.SS" split into item, extension and sub-item.
// Commas count as points; a missing or unreadable part is 0.
struct CodigoBrelva {
    int item = 0, ex = 0, subItem = 0;
    bool temItem = false; // the text has an item before its first point
    bool temUltimaParte = false; // the text has two or more parts and the last is not empty
};
CodigoBrelva SeparaCodigoBrelva(const QString &code);
// "17.028.01": item with two digits, extension with three, sub-item with two.
QString FormataCodigoBrelva(int item, int ex, int subItem);

// The values that go in and out of a look-up (and of the request text).
struct ItemBrelvaConsulta {
    QString cest;
    int item = 0, ex = 0, subItem = 0;
    int ambito = 0;
    int id = 0;
    QString descricao;
    Currency mva;
    int fem = 0; // 1 when the annex row carries the FEM
};

// The request text of a remote look-up: lines "Name=value" separated by
// "\r\n" (Handle, Item, Ex, SubItem, Ambito, Id, Descr, MVA with two
// decimals, Status=0, FEM).
QString TextoPedidoBrelva(qint64 janela, const ItemBrelvaConsulta &c);
// The answer written by the annex program: the request's lines rewritten,
// plus CEST, with Status=1.
QString TextoRespostaBrelva(qint64 janela, const ItemBrelvaConsulta &c);
// Reads a request or an answer: integers for Item, Ex, SubItem, Ambito, Id,
// FEM; texts for Descr and CEST; MVA as an amount. Unknown lines are ignored.
ItemBrelvaConsulta LeTextoBrelva(const QString &text, qint64 *janela = nullptr, int *status = nullptr);

// Chooses among the MVAs of an annex row: shows the header and the option
// captions and returns the option chosen (1 to 3), or 0 when cancelled.
using EscolheOpcaoMVA = std::function<int(const QString &cabecalho, const QStringList &opcoes)>;

} // namespace stb
