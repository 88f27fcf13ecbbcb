#include "entry/dlghtmlmsg.h"

#include <QLayout>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace stb {

TFormDlgHTMLMsg::TFormDlgHTMLMsg(QWidget *parent) : TFormDlg(parent)
{
    setObjectName(QStringLiteral("TFormDlgHTMLMsg"));
    setWindowFlags(windowFlags() & ~Qt::MSWindowsFixedSizeDialogHint);
    layout()->setSizeConstraint(QLayout::SetDefaultConstraint);
    auto *layout = new QVBoxLayout(body());
    layout->setContentsMargins(0, 0, 0, 0);
    Browser = new QTextBrowser(body());
    Browser->setObjectName(QStringLiteral("Browser"));
    Browser->setOpenExternalLinks(true);
    layout->addWidget(Browser);
    BtnCancel->hide();
    resize(560, 380);
    finishCreate();
}

void MostraHtmlDialogo(const QString &title, const QString &html, QWidget *parent)
{
    TFormDlgHTMLMsg dlg(parent);
    dlg.setWindowTitle(title);
    dlg.Browser->setHtml(html);
    dlg.exec();
}

} // namespace stb
