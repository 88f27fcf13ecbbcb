// Values of the reference file STBrelva2.ini that depend on the date: the
// dated sections "Prazo.*", the internal rate of an annex code, and the
// information messages attached to codes and rates.
//
// A dated value begins with a day, a month and a year, each followed by "/";
// it holds up to and including that date (the clock's today). Everything here
// reads the process's settings (Settings::instance()) and the clock; broken
// dates are reported through the message interface.
//
// Message texts use "\r" as line break, as every message of the system does;
// the memo text of TextoMVAAjustada uses "\n".
#pragma once

#include "platform/currency.h"

#include <QDate>
#include <QString>
#include <functional>

namespace stb {

// A value split at its first three "/": the date parts (0 when not a number)
// and the rest. `date` is invalid when the parts do not form a date.
struct ValorDatado {
    int dia = 0, mes = 0, ano = 0;
    QDate date;
    QString resto;
};
ValorDatado SeparaValorDatado(const QString &value);

// The text of a dated message while today is not after its date; empty once
// the date has passed. A date that cannot be built shows the error
// "Há um erro no prazo desta informação. Ela não será considerada. Favor
// verificar." with the value and counts as expired. An empty value is empty.
QString PrazoMensagem(const QString &value);

// The internal ICMS rate (percent) of an annex code: mode 0 the dated rate of
// "Prazo.AliqICMS", then the plain rate of "AliqICMS"; mode 1 the dated rate
// only; mode 2 the plain rate only. A code without a rate of its own takes its
// chapter's (its first two characters), and a chapter without one takes 18
// (modes 0 and 2) or 0 (mode 1).
Currency AliqICMSCodigo(const QString &code, quint8 mode);

// The dated and permanent information messages of an annex code (sections
// "Prazo.Mensagens" and "Mensagens"), with "$" references expanded, followed
// by the message of the code's item number; every "^p" becomes a line break.
// A key already visited during one evaluation gives nothing. An HTML message of
// the item number ("<HTML>...") is not appended: it goes at once to the HTML
// message handler with the title "INFORMAÇÃO IMPORTANTE".
QString MensagemItem(const QString &key);

// Shows an HTML message in the HTML message window. The main window installs
// the real one; without it the text goes out as information.
using HtmlMessageHandler = std::function<void(const QString &title, const QString &html)>;
void setHtmlMessageHandler(HtmlMessageHandler handler);
void MostraHtml(const QString &title, const QString &html);

// The message attached to the rate of an annex code: "Prazo.MensAliqICMS"
// (dated), then "MensAliqICMS", then the message of the code's item number.
// A value "$key" stands for the message of that key.
QString MensagemAliq(const QString &key);
// The same over "MVAAjustada.MensAliq" (the message attached to the
// interstate rate used for the adjusted MVA).
QString MensagemAliqMVAAjustada(const QString &key);

// The standard note of the adjusted-MVA dialog.
QString NotaPadraoMVAAjustada();
// The note of the adjusted-MVA dialog for an annex code: the text of
// "MVAAjustada.Mensagem" ("$" lists resolved), a line break and the standard
// note. Empty in the taxpayer edition.
QString TextoMVAAjustada(const QString &code);

// Reads a number written with "," (or, when it has no ",", with ".") as
// decimal separator; 0 when it is not a number.
Currency LeValor(const QString &text);

} // namespace stb
