#include "entry/dbcontrols.h"

#include "core/messages.h"
#include "entry/formdlg.h"
#include "platform/clock.h"
#include "platform/formatting.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>

namespace stb {

namespace {

// Characters a mask inserts by itself: a text made only of them is empty.
bool onlyMaskCharacters(const QString &text)
{
    for (const QChar c : text)
        if (c.isLetterOrNumber())
            return false;
    return true;
}

} // namespace

QString qtInputMask(const QString &editMask)
{
    if (editMask.isEmpty())
        return {};
    const QStringList parts = editMask.split(QLatin1Char(';'));
    const QString blank = parts.size() >= 3 && !parts[2].isEmpty() ? parts[2] : QStringLiteral("_");
    // Digits "0" (required) and "9" (optional) read the same in both notations.
    return parts[0] + QLatin1Char(';') + blank;
}

namespace {
// The click places the cursor after the focus arrived: the move to the start
// waits for it.
class EmptyMaskStart : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject *o, QEvent *e) override
    {
        const bool byClick = e->type() == QEvent::MouseButtonRelease
            || (e->type() == QEvent::FocusIn && static_cast<QFocusEvent *>(e)->reason() == Qt::MouseFocusReason);
        if (byClick) {
            auto *edit = static_cast<QLineEdit *>(o);
            if (onlyMaskCharacters(edit->text()))
                QMetaObject::invokeMethod(
                    edit, [edit] { edit->setCursorPosition(0); }, Qt::QueuedConnection);
        }
        return false;
    }
};

// Decorations that the currency fields' text handler drops before reading
// the number (TDM::OnSetTextCurrencyField): the same text is checked here.
QString numeroDoValor(const QString &text)
{
    QString s = text;
    for (const char *token : {"US$", "U$", "%", "gr", "CT", "(", ")"})
        s.remove(QLatin1String(token));
    s.removeIf([](QChar c) { return c.isSpace(); });
    return s;
}
} // namespace

void cursorAoInicioQuandoVazio(QLineEdit *edit) { edit->installEventFilter(new EmptyMaskStart(edit)); }

void posicionaMascara(QLineEdit *edit)
{
    const QString mask = edit->inputMask();
    if (mask.isEmpty())
        return;
    // The mask ends with ";" and its blank character.
    const int blank = static_cast<int>(edit->displayText().indexOf(mask.back()));
    if (blank < 0)
        edit->selectAll();
    else
        edit->setCursorPosition(blank);
}

QString valorRecusado(const QString &text)
{
    const QString numero = numeroDoValor(text);
    if (numero.isEmpty() && text.trimmed().isEmpty())
        return {}; // a blank amount clears the field
    if (!numero.isEmpty() && StrToCurr(numero))
        return {};
    if (!numero.isEmpty() && StrToFloat(numero))
        return QStringLiteral("O valor \"%1\" está fora do limite.\rO maior valor aceito é 922.337.203.685.477,5807 "
                              "(e o menor, -922.337.203.685.477,5808).")
            .arg(text.trimmed());
    return QStringLiteral("\"%1\" não é um valor.\rDigite o número com a vírgula antes dos centavos, por exemplo "
                          "1.234,56.")
        .arg(text.trimmed());
}

void recusaAoSair(QLineEdit *editor, std::function<void()> recusa)
{
    QWidget *now = QApplication::focusWidget();
    auto *dlg = qobject_cast<TFormDlg *>(editor->window());
    if (!now || now->window() != editor->window() || (dlg && now == static_cast<QWidget *>(dlg->BtnCancel)))
        return;
    QMetaObject::invokeMethod(
        editor,
        [editor, recusa = std::move(recusa)] {
            if (!editor->hasFocus() && editor->isVisible())
                recusa();
        },
        Qt::QueuedConnection);
}

db::Field *FieldBinding::field() const { return m_ds && m_ds->isActive() ? m_ds->findField(m_field) : nullptr; }

bool FieldBinding::editing() const
{
    if (!m_ds || !m_ds->isActive())
        return false;
    const auto s = m_ds->baseState();
    return s == db::DataSet::State::Edit || s == db::DataSet::State::Insert;
}

void FieldBinding::applyEditMask(QLineEdit *edit, const QString &delphiMask)
{
    m_loading = true;
    edit->setInputMask(qtInputMask(delphiMask));
    if (!edit->property("cursorInicio").toBool()) {
        cursorAoInicioQuandoVazio(edit);
        edit->setProperty("cursorInicio", true);
    }
    m_loading = false;
    reload();
}

void FieldBinding::storeTyped(QLineEdit *edit, const QString &text, bool upper, bool blankClears)
{
    if (m_loading)
        return;
    QString value = text;
    if (upper && value != value.toUpper()) {
        const int pos = edit->cursorPosition();
        value = value.toUpper();
        m_loading = true;
        edit->setText(value);
        edit->setCursorPosition(pos);
        m_loading = false;
    }
    db::Field *f = field();
    if (!f || !editing())
        return;
    m_loading = true;
    try {
        if (blankClears && onlyMaskCharacters(value))
            f->clear();
        else
            f->setText(value);
    } catch (const db::EngineError &) {
        // A value the field cannot take stays in the editor until it is corrected.
    }
    m_loading = false;
}

// ---- DBEdit -----------------------------------------------------------------

DBEdit::DBEdit(db::DataSet *ds, const QString &field, QWidget *parent) : QLineEdit(parent), FieldBinding(ds, field)
{
    m_link = new DataLink(
        ds, [this] { reload(); }, this);
    connect(this, &QLineEdit::textEdited, this, &DBEdit::typed);
    reload();
}

void DBEdit::setEditMask(const QString &delphiMask) { applyEditMask(this, delphiMask); }

void DBEdit::reload()
{
    if (m_loading)
        return;
    m_loading = true;
    db::Field *f = field();
    const QString t = f ? (hasFocus() && editing() ? f->text() : f->displayText()) : QString();
    if (t != text()) {
        const int pos = cursorPosition();
        setText(t);
        if (hasFocus())
            setCursorPosition(std::min<int>(pos, static_cast<int>(text().size())));
    }
    m_loading = false;
}

void DBEdit::typed(const QString &t) { storeTyped(this, t, m_upper, !inputMask().isEmpty()); }

void DBEdit::focusInEvent(QFocusEvent *e)
{
    QLineEdit::focusInEvent(e);
    if (e->reason() != Qt::MouseFocusReason)
        posicionaMascara(this);
}

// ---- DBComboEdit ----------------------------------------------------------------

DBComboEdit::DBComboEdit(db::DataSet *ds, const QString &field, QWidget *parent)
    : QComboBox(parent),
      FieldBinding(ds, field)
{
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    m_link = new DataLink(
        ds, [this] { reload(); }, this);
    connect(this, &QComboBox::editTextChanged, this, &DBComboEdit::typed);
    reload();
}

void DBComboEdit::setEditMask(const QString &delphiMask) { applyEditMask(lineEdit(), delphiMask); }

void DBComboEdit::setItems(const QStringList &items)
{
    m_loading = true;
    const QString current = currentText();
    clear();
    addItems(items);
    setCurrentIndex(-1);
    setEditText(current);
    m_loading = false;
}

void DBComboEdit::reload()
{
    if (m_loading)
        return;
    m_loading = true;
    db::Field *f = field();
    const QString t = f ? f->asString() : QString();
    if (t != currentText()) {
        setCurrentIndex(-1);
        setEditText(t);
    }
    m_loading = false;
}

void DBComboEdit::typed(const QString &t) { storeTyped(lineEdit(), t, m_upper, true); }

void DBComboEdit::focusInEvent(QFocusEvent *e)
{
    QComboBox::focusInEvent(e);
    if (e->reason() != Qt::MouseFocusReason)
        posicionaMascara(lineEdit());
}

// ---- DBMemo ---------------------------------------------------------------------

DBMemo::DBMemo(db::DataSet *ds, const QString &field, QWidget *parent) : QPlainTextEdit(parent), FieldBinding(ds, field)
{
    m_link = new DataLink(
        ds, [this] { reload(); }, this);
    connect(this, &QPlainTextEdit::textChanged, this, &DBMemo::typed);
    reload();
}

void DBMemo::reload()
{
    if (m_loading)
        return;
    m_loading = true;
    db::Field *f = field();
    const QString t = f ? f->asString() : QString();
    if (t != toPlainText())
        setPlainText(t);
    m_loading = false;
}

void DBMemo::keyPressEvent(QKeyEvent *e)
{
    if (!m_returns && (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter)) {
        e->ignore(); // the dialog's default button takes it
        return;
    }
    QPlainTextEdit::keyPressEvent(e);
}

void DBMemo::typed()
{
    if (m_loading)
        return;
    QString value = toPlainText();
    if (!m_returns)
        value.replace(QLatin1Char('\n'), QLatin1Char(' '));
    if (m_upper)
        value = value.toUpper();
    if (value != toPlainText()) {
        m_loading = true;
        QTextCursor c = textCursor();
        const int pos = c.position();
        setPlainText(value);
        c = textCursor();
        c.setPosition(std::min<int>(pos, static_cast<int>(value.size())));
        setTextCursor(c);
        m_loading = false;
    }
    db::Field *f = field();
    if (!f || !editing())
        return;
    m_loading = true;
    f->setAsString(value);
    m_loading = false;
}

// ---- DBCheckBox -------------------------------------------------------------------

DBCheckBox::DBCheckBox(db::DataSet *ds, const QString &field, const QString &caption, QWidget *parent)
    : QCheckBox(caption, parent),
      FieldBinding(ds, field)
{
    m_link = new DataLink(
        ds, [this] { reload(); }, this);
    connect(this, &QCheckBox::toggled, this, [this](bool on) {
        if (m_loading)
            return;
        db::Field *f = this->field();
        if (f && editing()) {
            m_loading = true;
            f->setAsBoolean(on);
            m_loading = false;
        }
    });
    reload();
}

void DBCheckBox::reload()
{
    if (m_loading)
        return;
    m_loading = true;
    db::Field *f = field();
    setChecked(f && f->asBoolean());
    m_loading = false;
}

// ---- DBCurrencyEdit ----------------------------------------------------------------

DBCurrencyEdit::DBCurrencyEdit(db::DataSet *ds, const QString &field, QWidget *parent)
    : QLineEdit(parent),
      FieldBinding(ds, field)
{
    setAlignment(Qt::AlignRight);
    m_link = new DataLink(
        ds, [this] { reload(); }, this);
    connect(this, &QLineEdit::textEdited, this, [this] { m_dirty = true; });
    // Enter stores the amount; a refused one is left to the dialog's OK,
    // which the same key presses next, so that it is refused once.
    connect(this, &QLineEdit::returnPressed, this, [this] {
        if (valorRecusado(text()).isEmpty())
            commit();
    });
    reload();
}

void DBCurrencyEdit::reload()
{
    if (m_loading || m_dirty)
        return;
    db::Field *f = field();
    const QString t = !f ? QString() : (hasFocus() ? f->text() : f->displayText());
    if (t != text())
        setText(t);
}

bool DBCurrencyEdit::commit()
{
    if (!m_dirty)
        return true;
    if (const QString problema = valorRecusado(text()); !problema.isEmpty()) {
        MsgErro(problema);
        setFocus(Qt::OtherFocusReason);
        selectAll();
        return false;
    }
    m_dirty = false;
    db::Field *f = field();
    if (!f || !editing()) {
        reload();
        return true;
    }
    m_loading = true;
    try {
        f->setText(text());
    } catch (const db::EngineError &e) {
        m_loading = false;
        MsgErro(e.message());
        reload();
        return false;
    }
    m_loading = false;
    reload();
    emit committed();
    return true;
}

void DBCurrencyEdit::focusInEvent(QFocusEvent *e)
{
    QLineEdit::focusInEvent(e);
    reload();
    // An amount is typed over: the whole text is selected on entering.
    selectAll();
    if (e->reason() == Qt::MouseFocusReason)
        QMetaObject::invokeMethod(this, &QLineEdit::selectAll, Qt::QueuedConnection);
}

void DBCurrencyEdit::focusOutEvent(QFocusEvent *e)
{
    if (m_dirty && !valorRecusado(text()).isEmpty()) {
        QLineEdit::focusOutEvent(e);
        recusaAoSair(this, [this] {
            if (m_dirty)
                commit();
        });
        return;
    }
    commit();
    QLineEdit::focusOutEvent(e);
    reload();
}

void DBCurrencyEdit::hideEvent(QHideEvent *e)
{
    // A closed dialog (or a hidden field) drops what was typed and not stored.
    m_dirty = false;
    reload();
    QLineEdit::hideEvent(e);
}

// ---- DBDateEdit --------------------------------------------------------------------

DBDateEdit::DBDateEdit(db::DataSet *ds, const QString &field, bool withTime, QWidget *parent)
    : QLineEdit(parent),
      FieldBinding(ds, field),
      m_withTime(withTime)
{
    setInputMask(withTime ? QStringLiteral("99/99/9999 99:99;_") : QStringLiteral("99/99/9999;_"));
    cursorAoInicioQuandoVazio(this);
    m_link = new DataLink(
        ds, [this] { reload(); }, this);
    connect(this, &QLineEdit::textEdited, this, [this] { m_dirty = true; });
    connect(this, &QLineEdit::returnPressed, this, &DBDateEdit::commit);
    reload();
}

void DBDateEdit::reload()
{
    if (m_loading || m_dirty)
        return;
    db::Field *f = field();
    QString t;
    if (f && !f->isNull())
        t = m_withTime ? f->asDateTime().toString(QStringLiteral("dd/MM/yyyy hh:mm"))
                       : f->asDate().toString(QStringLiteral("dd/MM/yyyy"));
    if (t != text())
        setText(t);
}

void DBDateEdit::commit()
{
    if (!m_dirty)
        return;
    m_dirty = false;
    db::Field *f = field();
    if (!f || !editing())
        return;
    QDateTime dt
        = QDateTime::fromString(text(), m_withTime ? QStringLiteral("dd/MM/yyyy hh:mm") : QStringLiteral("dd/MM/yyyy"));
    if (!dt.isValid())
        dt = m_withTime ? Clock::now() : Clock::today().startOfDay();
    m_loading = true;
    if (m_withTime)
        f->setAsDateTime(dt);
    else
        f->setAsDate(dt.date());
    m_loading = false;
    reload();
    emit dateChanged(dt.date());
}

void DBDateEdit::setToday()
{
    db::Field *f = field();
    if (!f || !editing())
        return;
    m_dirty = false;
    m_loading = true;
    if (m_withTime)
        f->setAsDateTime(QDateTime(Clock::today(), f->isNull() ? Clock::now().time() : f->asDateTime().time()));
    else
        f->setAsDate(Clock::today());
    m_loading = false;
    reload();
    emit dateChanged(Clock::today());
}

void DBDateEdit::focusInEvent(QFocusEvent *e)
{
    QLineEdit::focusInEvent(e);
    if (e->reason() != Qt::MouseFocusReason)
        posicionaMascara(this);
}

void DBDateEdit::focusOutEvent(QFocusEvent *e)
{
    commit();
    QLineEdit::focusOutEvent(e);
}

} // namespace stb
