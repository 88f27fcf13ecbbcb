// An amount or percentage typed in a line editor, not bound to a field: it
// keeps the exact value (up to four decimals) and shows it with a display
// format (",0.00", ",0.00%", ",0.0000") while it does not have the focus.
#pragma once

#include "platform/currency.h"

#include <QLineEdit>

namespace stb {

// Typed text to an amount: "R$", "%" and blanks are ignored, "." groups
// thousands and "," is the decimal separator; at most four decimals are kept.
// Text that is not a number reads as 0.
Currency LeMoeda(const QString &text);

class CurrencyEdit : public QLineEdit {
    Q_OBJECT

public:
    explicit CurrencyEdit(QWidget *parent = nullptr, const QString &displayFormat = QStringLiteral(",0.00"));

    Currency value() const { return m_value; }
    // Shows a value; valueEdited is not emitted.
    void setValue(Currency v);
    void setDisplayFormat(const QString &format);
    const QString &displayFormat() const { return m_format; }
    // The message refusing the text typed (not a number, or beyond what an
    // amount holds); empty when the text reads as an amount or is blank.
    QString problema() const;
    // Refuses the text typed, if it has a problem: says why, keeps the text
    // and the focus for the user to correct it. True when refused.
    bool recusa();

signals:
    // The user changed the text (each change).
    void valueEdited(stb::Currency value);
    // The editor lost the focus.
    void left();

protected:
    void focusInEvent(QFocusEvent *e) override;
    void focusOutEvent(QFocusEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;

private:
    void mostra();
    Currency m_value;
    QString m_format;
};

} // namespace stb
