// TFormDlgHTMLMsg: an HTML message in a window of its own ("INFORMAÇÃO
// IMPORTANTE" for the messages attached to annex items).
#pragma once

#include "entry/formdlg.h"

class QTextBrowser;

namespace stb {

class TFormDlgHTMLMsg : public TFormDlg {
    Q_OBJECT

public:
    explicit TFormDlgHTMLMsg(QWidget *parent = nullptr);
    QTextBrowser *Browser = nullptr;
};

// Shows the HTML text modally under the given title.
void MostraHtmlDialogo(const QString &title, const QString &html, QWidget *parent = nullptr);

} // namespace stb
