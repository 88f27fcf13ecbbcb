// Editors bound to a field of a dataset (the dxDB... controls): each shows
// the field of the current row and, while the dataset is being edited or
// inserted, writes what the user types back into the field.
#pragma once

#include <functional>

#include "entry/datalink.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>

namespace stb {

// A Delphi-style edit mask ("000.000-0;1;_") as a Qt input mask.
QString qtInputMask(const QString &editMask);

// Puts the cursor of an empty masked editor at its start when a click gives
// it the focus, wherever the click landed.
void cursorAoInicioQuandoVazio(QLineEdit *edit);

// Where typing goes in a masked editor reached from the keyboard (or by the
// program): the first blank position, or the whole text selected when the
// mask is full, so that no typed digit falls past the end of the mask.
void posicionaMascara(QLineEdit *edit);

// Why a typed amount cannot be stored, in the user's words; empty when it
// can. Refused: a text with no number in it and a number outside the
// currency range, which the field would otherwise store as zero or as the
// largest amount without a word.
QString valorRecusado(const QString &text);

// An amount editor holding a refused text has just lost the focus: when it
// went to another control of its window (not Cancel, not a message box),
// `recusa` runs once the focus change is over, unless the editor has the
// focus back by then; the text waits in the editor.
void recusaAoSair(QLineEdit *editor, std::function<void()> recusa);

// The part common to every bound editor.
class FieldBinding {
public:
    FieldBinding(db::DataSet *ds, const QString &field) : m_ds(ds), m_field(field) {}
    virtual ~FieldBinding() = default;
    db::DataSet *dataSet() const { return m_ds; }
    const QString &fieldName() const { return m_field; }
    db::Field *field() const;
    bool editing() const;
    // Shows the field's value.
    virtual void reload() = 0;

protected:
    // Sets a Delphi-style mask on a line editor, keeping the cursor of an
    // empty one at its start.
    void applyEditMask(QLineEdit *edit, const QString &delphiMask);
    // What the user typed into a line editor: upper-cased in place when asked,
    // then stored in the field while the dataset is edited. A text of mask
    // characters only clears the field when `blankClears`.
    void storeTyped(QLineEdit *edit, const QString &text, bool upper, bool blankClears);

    db::DataSet *m_ds;
    QString m_field;
    bool m_loading = false;
};

class DBEdit : public QLineEdit, public FieldBinding {
    Q_OBJECT

public:
    DBEdit(db::DataSet *ds, const QString &field, QWidget *parent = nullptr);
    void setUpperCase(bool on) { m_upper = on; }
    void setEditMask(const QString &delphiMask);
    void reload() override;

protected:
    void focusInEvent(QFocusEvent *e) override;

private:
    void typed(const QString &text);
    DataLink *m_link;
    bool m_upper = false;
};

// A drop-down of known values that also takes any typed text.
class DBComboEdit : public QComboBox, public FieldBinding {
    Q_OBJECT

public:
    DBComboEdit(db::DataSet *ds, const QString &field, QWidget *parent = nullptr);
    void setUpperCase(bool on) { m_upper = on; }
    void setEditMask(const QString &delphiMask);
    void setItems(const QStringList &items);
    void reload() override;

protected:
    void focusInEvent(QFocusEvent *e) override;

private:
    void typed(const QString &text);
    DataLink *m_link;
    bool m_upper = false;
};

class DBMemo : public QPlainTextEdit, public FieldBinding {
    Q_OBJECT

public:
    DBMemo(db::DataSet *ds, const QString &field, QWidget *parent = nullptr);
    void setUpperCase(bool on) { m_upper = on; }
    void setWantReturns(bool on) { m_returns = on; }
    void reload() override;

protected:
    void keyPressEvent(QKeyEvent *e) override;

private:
    void typed();
    DataLink *m_link;
    bool m_upper = false;
    bool m_returns = true;
};

class DBCheckBox : public QCheckBox, public FieldBinding {
    Q_OBJECT

public:
    DBCheckBox(db::DataSet *ds, const QString &field, const QString &caption, QWidget *parent = nullptr);
    void reload() override;

private:
    DataLink *m_link;
};

// An amount (currency field) typed with "," decimals; the field's
// text-entry handler converts it when the user leaves the editor. A text the
// field cannot hold (valorRecusado) is refused with a message, stays in the
// editor and keeps the focus there.
class DBCurrencyEdit : public QLineEdit, public FieldBinding {
    Q_OBJECT

public:
    DBCurrencyEdit(db::DataSet *ds, const QString &field, QWidget *parent = nullptr);
    void reload() override;
    // Writes the typed text into the field now (also done on leaving). False
    // when the text was refused: the message was shown and the editor has the
    // focus again.
    bool commit();
    // True while the editor holds typed text not yet in the field.
    bool pending() const { return m_dirty; }

signals:
    void committed();

protected:
    void focusInEvent(QFocusEvent *e) override;
    void focusOutEvent(QFocusEvent *e) override;
    void hideEvent(QHideEvent *e) override;

private:
    DataLink *m_link;
    bool m_dirty = false;
};

// A date ("dd/mm/yyyy") or date and time ("dd/mm/yyyy hh:mm") typed in a
// masked edit; an invalid date becomes today.
class DBDateEdit : public QLineEdit, public FieldBinding {
    Q_OBJECT

public:
    DBDateEdit(db::DataSet *ds, const QString &field, bool withTime, QWidget *parent = nullptr);
    void reload() override;
    void commit();
    void setToday();

signals:
    void dateChanged(const QDate &date);

protected:
    void focusInEvent(QFocusEvent *e) override;
    void focusOutEvent(QFocusEvent *e) override;

private:
    DataLink *m_link;
    bool m_withTime;
    bool m_dirty = false;
};

} // namespace stb
