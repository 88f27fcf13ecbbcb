#include "shell/vocesabia.h"

#include "core/datamodule.h"
#include "core/settings.h"
#include "platform/db/query.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTextBrowser>
#include <QToolButton>
#include <QVBoxLayout>

namespace stb {

TFormDlgHTMLVoceSabia::TFormDlgHTMLVoceSabia(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FormDlgHTMLVoceSabia"));
    setWindowTitle(QStringLiteral("Você Sabia?"));
    auto *layout = new QVBoxLayout(this);
    Browser = new QTextBrowser(this);
    Browser->setObjectName(QStringLiteral("Browser"));
    Browser->setOpenExternalLinks(true);
    layout->addWidget(Browser, 1);
    auto *botoes = new QHBoxLayout;
    SBAnterior = new QToolButton(this);
    SBAnterior->setObjectName(QStringLiteral("SBAnterior"));
    SBAnterior->setText(QStringLiteral("< Anterior"));
    SBProximo = new QToolButton(this);
    SBProximo->setObjectName(QStringLiteral("SBProximo"));
    SBProximo->setText(QStringLiteral("Próximo >"));
    BtnFecha = new QPushButton(QStringLiteral("Fecha"), this);
    BtnFecha->setObjectName(QStringLiteral("BtnFecha"));
    botoes->addWidget(SBAnterior);
    botoes->addWidget(SBProximo);
    botoes->addStretch(1);
    botoes->addWidget(BtnFecha);
    layout->addLayout(botoes);
    connect(SBAnterior, &QToolButton::clicked, this, &TFormDlgHTMLVoceSabia::SBAnteriorClick);
    connect(SBProximo, &QToolButton::clicked, this, &TFormDlgHTMLVoceSabia::SBProximoClick);
    connect(BtnFecha, &QPushButton::clicked, this, &QDialog::accept);

    db::Query q(&DM().BaseDados);
    q.setSql(QStringLiteral("SELECT ID, INFO FROM VOCESABIA ORDER BY ID"));
    q.open();
    for (q.first(); !q.eof(); q.next())
        m_dicas.append({static_cast<int>(q.field(0).asLargeInt()), q.field(1).asString()});
    q.close();
    // The tip after the one shown last; the first when it is gone.
    const int proximo = Settings::instance().voceSabia() + 1;
    int pos = 0;
    for (int i = 0; i < m_dicas.size(); ++i)
        if (m_dicas[i].first >= proximo) {
            pos = i;
            break;
        }
    if (!m_dicas.isEmpty())
        mostra(pos);
    resize(480, 320);
}

void TFormDlgHTMLVoceSabia::mostra(int pos)
{
    m_pos = pos;
    Browser->setHtml(m_dicas[pos].second);
    Settings::instance().setVoceSabia(m_dicas[pos].first);
}

void TFormDlgHTMLVoceSabia::SBAnteriorClick()
{
    if (!m_dicas.isEmpty())
        mostra(m_pos > 0 ? m_pos - 1 : static_cast<int>(m_dicas.size()) - 1);
}

void TFormDlgHTMLVoceSabia::SBProximoClick()
{
    if (!m_dicas.isEmpty())
        mostra(m_pos + 1 < m_dicas.size() ? m_pos + 1 : 0);
}

void MostraVoceSabia(QWidget *parent)
{
    TFormDlgHTMLVoceSabia dlg(parent);
    dlg.exec();
}

} // namespace stb
