#include "entry/formdlg.h"

#include "core/edition.h"
#include "entry/currencyedit.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHash>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

namespace stb {

QEvent::Type PrivateMessageEvent::eventType()
{
    static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

TFormDlg::TFormDlg(QWidget *parent) : QDialog(parent ? parent : QApplication::activeWindow())
{
    setWindowFlags((windowFlags() | Qt::MSWindowsFixedSizeDialogHint) & ~Qt::WindowContextHelpButtonHint);
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(10, 10, 10, 8);
    // Dialogs keep the size their contents need; grid dialogs lift this.
    outer->setSizeConstraint(QLayout::SetFixedSize);
    m_body = new QWidget(this);
    m_body->setObjectName(QStringLiteral("Body"));
    outer->addWidget(m_body, 1);
    auto *bevel = new QFrame(this);
    bevel->setObjectName(QStringLiteral("Bevel"));
    bevel->setFrameShape(QFrame::HLine);
    bevel->setFrameShadow(QFrame::Sunken);
    outer->addWidget(bevel);
    m_buttonRow = new QHBoxLayout;
    m_icon = new QLabel(this);
    m_icon->setPixmap(style()->standardIcon(QStyle::SP_FileDialogInfoView).pixmap(24, 24));
    m_buttonRow->addWidget(m_icon);
    m_buttonRow->addStretch(1);
    BtnOk = new QPushButton(QStringLiteral("Ok"), this);
    BtnOk->setObjectName(QStringLiteral("BtnOk"));
    BtnOk->setDefault(true);
    BtnCancel = new QPushButton(QStringLiteral("Cancela"), this);
    BtnCancel->setObjectName(QStringLiteral("BtnCancel"));
    BtnCancel->setAutoDefault(false);
    for (QPushButton *b : {BtnOk, BtnCancel})
        b->setMinimumWidth(80);
    m_buttonRow->addWidget(BtnOk);
    m_buttonRow->addWidget(BtnCancel);
    outer->addLayout(m_buttonRow);
    connect(BtnOk, &QPushButton::clicked, this, [this] {
        // An amount that cannot be read is refused before any check of OK.
        for (CurrencyEdit *e : findChildren<CurrencyEdit *>())
            if (e->isVisible() && e->isEnabled() && e->recusa())
                return;
        if (antesDoOk())
            BtnOkClick();
    });
    connect(BtnCancel, &QPushButton::clicked, this, [this] { BtnCancelClick(); });
}

TFormDlg::~TFormDlg() = default;

namespace {
QHash<QString, QPoint> &posicoes()
{
    static QHash<QString, QPoint> p;
    return p;
}
} // namespace

void TFormDlg::setVisible(bool visible)
{
    if (!objectName().isEmpty()) {
        if (!visible && isVisible()) {
            posicoes().insert(objectName(), pos());
        } else if (visible && !isVisible()) {
            const auto it = posicoes().constFind(objectName());
            // Only where a screen still is; else Qt centres it on its parent.
            if (it != posicoes().constEnd() && QGuiApplication::screenAt(*it + QPoint(20, 20)))
                move(*it);
        }
    }
    // Opened with no field chosen by the dialog: the first control of the
    // body takes the keys, not OK (which comes first among the children).
    if (visible && !isVisible() && !focusWidget()) {
        for (QWidget *w : m_body->findChildren<QWidget *>())
            if ((w->focusPolicy() & Qt::TabFocus) && w->isEnabled() && !w->isHidden() && w->isVisibleTo(this)) {
                w->setFocus();
                break;
            }
    }
    QDialog::setVisible(visible);
}

void TFormDlg::finishCreate()
{
    if (Contribuinte)
        AjustaContribuinte();
}

void TFormDlg::BtnOkClick() { accept(); }
void TFormDlg::BtnCancelClick() { reject(); }

void TFormDlg::keyPressEvent(QKeyEvent *e)
{
    if (e->key() == Qt::Key_Escape && e->modifiers() == Qt::NoModifier) {
        if (BtnCancel->isVisibleTo(this) && BtnCancel->isEnabled())
            BtnCancel->click();
        else
            reject();
        e->accept();
        return;
    }
    QDialog::keyPressEvent(e);
}

void TFormDlg::closeEvent(QCloseEvent *e)
{
    // Closed by the window system (Alt+F4, the title bar): as Escape, so the
    // dialog's own cancel question is asked.
    if (e->spontaneous() && isVisible() && BtnCancel->isVisibleTo(this) && BtnCancel->isEnabled()) {
        e->ignore();
        BtnCancel->click();
        return;
    }
    QDialog::closeEvent(e);
}

void TFormDlg::postPrivate(int msg, qintptr wparam, qintptr lparam)
{
    QCoreApplication::postEvent(this, new PrivateMessageEvent(msg, wparam, lparam));
}

void TFormDlg::processPrivate() { QCoreApplication::sendPostedEvents(this, PrivateMessageEvent::eventType()); }

void TFormDlg::customEvent(QEvent *e)
{
    if (e->type() == PrivateMessageEvent::eventType()) {
        auto *pm = static_cast<PrivateMessageEvent *>(e);
        // A check that comes due while another dialog or a message box is open
        // on top of this one waits until it closes: two questions never stack.
        QWidget *top = QApplication::activeModalWidget();
        if (isVisible() && top && top != this) {
            QTimer::singleShot(
                50, this, [this, msg = pm->msg, w = pm->wparam, l = pm->lparam] { postPrivate(msg, w, l); });
            return;
        }
        privateMessage(pm->msg, pm->wparam, pm->lparam);
        return;
    }
    QDialog::customEvent(e);
}

void TFormDlg::privateMessage(int, qintptr, qintptr) {}

bool TFormDlg::leavesControl(QWidget *old, QWidget *now) const
{
    return isVisible() && !eventsSuppressed() && old && now && now->window() == this
        && now != static_cast<QWidget *>(BtnCancel);
}

bool dentroDe(const QWidget *w, const QWidget *container)
{
    return w && (w == container || container->isAncestorOf(w));
}

} // namespace stb
