#include "entry/currencyedit.h"

#include "core/messages.h"
#include "entry/dbcontrols.h"
#include "platform/formatting.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QTimer>

namespace stb {

Currency LeMoeda(const QString &text)
{
    QString t = text;
    t.remove(QStringLiteral("R$"));
    t.remove(QLatin1Char('%'));
    t.removeIf([](QChar c) { return c.isSpace(); });
    if (t.isEmpty())
        return {};
    if (const auto c = StrToCurr(t))
        return *c;
    if (const auto x = StrToFloat(t))
        return Currency::fromExtended(*x);
    return {};
}

CurrencyEdit::CurrencyEdit(QWidget *parent, const QString &displayFormat) : QLineEdit(parent), m_format(displayFormat)
{
    setAlignment(Qt::AlignRight);
    connect(this, &QLineEdit::textEdited, this, [this](const QString &text) {
        m_value = LeMoeda(text);
        emit valueEdited(m_value);
    });
    mostra();
}

void CurrencyEdit::setValue(Currency v)
{
    m_value = v;
    mostra();
    if (hasFocus())
        selectAll();
}

void CurrencyEdit::setDisplayFormat(const QString &format)
{
    m_format = format;
    mostra();
}

void CurrencyEdit::mostra() { setText(FormatCurr(m_format, m_value)); }

void CurrencyEdit::focusInEvent(QFocusEvent *e)
{
    QLineEdit::focusInEvent(e);
    // The whole value is selected, so typing replaces it; after a click,
    // once the click has placed the cursor.
    if (e->reason() != Qt::MouseFocusReason) {
        selectAll();
        return;
    }
    QTimer::singleShot(0, this, [this] {
        if (hasFocus())
            selectAll();
    });
}

QString CurrencyEdit::problema() const
{
    QString t = text();
    t.remove(QStringLiteral("R$"));
    return valorRecusado(t);
}

bool CurrencyEdit::recusa()
{
    const QString texto = problema();
    if (texto.isEmpty())
        return false;
    MsgErro(texto);
    setFocus(Qt::OtherFocusReason);
    selectAll();
    return true;
}

void CurrencyEdit::keyPressEvent(QKeyEvent *e)
{
    // Enter on a text that is no amount says so, as leaving the field does,
    // instead of pressing OK with the amount read as zero.
    if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && recusa()) {
        e->accept();
        return;
    }
    QLineEdit::keyPressEvent(e);
}

void CurrencyEdit::focusOutEvent(QFocusEvent *e)
{
    QLineEdit::focusOutEvent(e);
    if (!problema().isEmpty()) {
        recusaAoSair(this, [this] { recusa(); });
        return;
    }
    mostra();
    emit left();
}

} // namespace stb
