#include "entry/msgbox.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace stb {

QString screenText(const QString &text)
{
    QString t = text;
    t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return t;
}

namespace {
QString naoMostreTexto() { return QStringLiteral("Não mostre mais esta mensagem"); }
} // namespace

void GuiMessageSink::show(MsgKind kind, const QString &text) { showCaptioned(kind, text, QString()); }

void GuiMessageSink::showCaptioned(MsgKind kind, const QString &text, const QString &caption)
{
    bool unused = false;
    showBox(kind, text, caption, nullptr, unused);
}

void GuiMessageSink::showDontRepeat(MsgKind kind, const QString &text, bool &naoMostre)
{
    auto *check = new QCheckBox(naoMostreTexto());
    showBox(kind, text, QString(), check, naoMostre);
}

void GuiMessageSink::showBox(MsgKind kind, const QString &text, const QString &caption, QCheckBox *check, bool &checked)
{
    QMessageBox box(QApplication::activeWindow());
    if (check)
        box.setCheckBox(check);
    switch (kind) {
    case MsgKind::Aviso:
        box.setIcon(QMessageBox::Warning);
        box.setWindowTitle(QStringLiteral("Atenção"));
        break;
    case MsgKind::Erro:
        box.setIcon(QMessageBox::Critical);
        box.setWindowTitle(QStringLiteral("Atenção"));
        break;
    case MsgKind::Informacao:
        box.setIcon(QMessageBox::Information);
        box.setWindowTitle(QStringLiteral("Informação"));
        break;
    case MsgKind::Pergunta:
        box.setIcon(QMessageBox::Question);
        box.setWindowTitle(QStringLiteral("Confirme"));
        break;
    }
    if (!caption.isEmpty())
        box.setWindowTitle(caption);
    box.setText(screenText(text));
    box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.exec();
    checked = check && check->isChecked();
}

bool GuiMessageSink::ask(const QString &text, bool defaultYes)
{
    bool unused = false;
    return askBox(text, defaultYes, nullptr, unused);
}

bool GuiMessageSink::askDontRepeat(const QString &text, bool defaultYes, bool &naoMostre)
{
    return askBox(text, defaultYes, new QCheckBox(naoMostreTexto()), naoMostre);
}

bool GuiMessageSink::askBox(const QString &text, bool defaultYes, QCheckBox *check, bool &checked)
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("Confirme"), screenText(text), QMessageBox::NoButton,
        QApplication::activeWindow());
    if (check)
        box.setCheckBox(check);
    QPushButton *yes = box.addButton(QStringLiteral("&Sim"), QMessageBox::YesRole);
    QPushButton *no = box.addButton(QStringLiteral("&Não"), QMessageBox::NoRole);
    box.setDefaultButton(defaultYes ? yes : no);
    box.setEscapeButton(no);
    box.exec();
    checked = check && check->isChecked();
    return box.clickedButton() == yes;
}

QString GuiMessageSink::askText(const QString &text)
{
    QDialog dlg(QApplication::activeWindow());
    dlg.setWindowTitle(QStringLiteral("Confirme"));
    auto *layout = new QVBoxLayout(&dlg);
    layout->addWidget(new QLabel(screenText(text), &dlg));
    auto *edit = new QLineEdit(&dlg);
    layout->addWidget(edit);
    auto *buttons = new QDialogButtonBox(&dlg);
    buttons->addButton(QStringLiteral("Ok"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Cancela"), QDialogButtonBox::RejectRole);
    layout->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dlg, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dlg, &QDialog::reject);
    return dlg.exec() == QDialog::Accepted ? edit->text() : QString();
}

} // namespace stb
