#include "outputs/dlgprintcalculo.h"

#include "core/messages.h"

#include <QCheckBox>
#include <QFile>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace stb {

TFormDlgPrintCalculo::TFormDlgPrintCalculo(QWidget *parent) : TFormDlg(parent)
{
    setObjectName(QStringLiteral("TFormDlgPrintCalculo"));
    setWindowTitle(QStringLiteral("Impressão da Memória de Cálculo"));
    auto *lay = new QVBoxLayout(body());
    lay->setContentsMargins(0, 0, 0, 0);
    WebMsgMR = new QTextBrowser(body());
    WebMsgMR->setObjectName(QStringLiteral("WebMsgMR"));
    WebMsgMR->setOpenExternalLinks(true);
    WebMsgMR->setFixedSize(520, 200);
    lay->addWidget(WebMsgMR);

    auto *grid = new QGridLayout;
    LabelOpcao = new QLabel(QStringLiteral("Escolha a sua opção:"), body());
    grid->addWidget(LabelOpcao, 0, 0, 1, 2);
    auto check = [this](const char *nome, const QString &texto) {
        auto *c = new QCheckBox(texto, body());
        c->setObjectName(QLatin1String(nome));
        return c;
    };
    CheckMR2ComReducao = check("CheckMR2ComReducao", QStringLiteral("MR EM DOBRO &com Redução"));
    CheckMR2SemReducao = check("CheckMR2SemReducao", QStringLiteral("MR EM DOBRO &sem Redução"));
    CheckMR1ComReducao = check("CheckMR1ComReducao", QStringLiteral("MR SIMPLES c&om Redução"));
    CheckMR1SemReducao = check("CheckMR1SemReducao", QStringLiteral("MR SIMPLES s&em Redução"));
    CheckSemMR = check("CheckSemMR", QStringLiteral("Sem M&R"));
    m_mr = {CheckMR2ComReducao, CheckMR2SemReducao, CheckMR1ComReducao, CheckMR1SemReducao, CheckSemMR};
    for (int i = 0; i < m_mr.size(); ++i)
        grid->addWidget(m_mr[i], 1 + i, 0);

    LabelMedic = new QLabel(QStringLiteral("Medicamento:"), body());
    CheckMedicSintetica = check("CheckMedicSintetica", QStringLiteral("S&intética"));
    CheckMedicAnalitica = check("CheckMedicAnalitica", QStringLiteral("&Analítica"));
    CheckMedicSintetica->setChecked(true);
    grid->addWidget(LabelMedic, 1, 1);
    grid->addWidget(CheckMedicSintetica, 2, 1);
    grid->addWidget(CheckMedicAnalitica, 3, 1);
    lay->addLayout(grid);

    LabelObserv = new QLabel(QStringLiteral("O&bservação (rodapé):"), body());
    dxEditObserv = new QLineEdit(body());
    dxEditObserv->setObjectName(QStringLiteral("dxEditObserv"));
    dxEditObserv->setToolTip(
        QStringLiteral("Digite aqui uma observação para ser impressa no rodapé das páginas da Memória de Cálculo"));
    LabelObserv->setBuddy(dxEditObserv);
    lay->addWidget(LabelObserv);
    lay->addWidget(dxEditObserv);

    // Ticking one box of a group clears the others; the guard keeps the
    // handlers from answering the changes they make themselves.
    for (QCheckBox *c : m_mr)
        connect(c, &QCheckBox::toggled, this, [this, c](bool on) {
            if (on)
                marcaUnica(c, m_mr);
        });
    const QList<QCheckBox *> medic {CheckMedicSintetica, CheckMedicAnalitica};
    for (QCheckBox *c : medic)
        connect(c, &QCheckBox::toggled, this, [this, c, medic](bool on) {
            if (on)
                marcaUnica(c, medic);
        });
    finishCreate();
}

void TFormDlgPrintCalculo::marcaUnica(QCheckBox *marcada, const QList<QCheckBox *> &grupo)
{
    if (eventsSuppressed())
        return;
    SuppressEvents guard(*this);
    for (QCheckBox *c : grupo)
        if (c != marcada)
            c->setChecked(false);
}

void TFormDlgPrintCalculo::prepara(const QString &htmlPath, bool medicamento, int printMR, const QString &observ)
{
    QFile html(htmlPath);
    // Without the message page there is nothing to show above the options.
    const bool pagina = !htmlPath.isEmpty() && html.exists();
    if (pagina)
        WebMsgMR->setSource(QUrl::fromLocalFile(htmlPath));
    else
        WebMsgMR->clear();
    WebMsgMR->setVisible(pagina);
    for (QWidget *w : {static_cast<QWidget *>(LabelMedic), static_cast<QWidget *>(CheckMedicSintetica),
             static_cast<QWidget *>(CheckMedicAnalitica)})
        w->setVisible(medicamento);
    {
        SuppressEvents guard(*this);
        for (QCheckBox *c : m_mr)
            c->setChecked(false);
    }
    QCheckBox *marcar = nullptr;
    switch (printMR & 0x7F) {
    case 1:
        marcar = CheckSemMR;
        break;
    case 2:
        marcar = CheckMR1SemReducao;
        break;
    case 3:
        marcar = CheckMR2SemReducao;
        break;
    case 4:
        marcar = CheckMR1ComReducao;
        break;
    case 5:
        marcar = CheckMR2ComReducao;
        break;
    default:
        break;
    }
    if (marcar)
        marcar->setChecked(true);
    dxEditObserv->setText(observ);
}

void TFormDlgPrintCalculo::BtnOkClick()
{
    for (QCheckBox *c : m_mr)
        if (c->isChecked()) {
            accept();
            return;
        }
    MsgAviso(QStringLiteral("Escolha uma opção de MR!"));
}

int TFormDlgPrintCalculo::opcao() const
{
    if (CheckMR2ComReducao->isChecked())
        return 5;
    if (CheckMR2SemReducao->isChecked())
        return 3;
    if (CheckMR1ComReducao->isChecked())
        return 4;
    if (CheckMR1SemReducao->isChecked())
        return 2;
    return 1;
}

bool TFormDlgPrintCalculo::analitica() const { return CheckMedicAnalitica->isChecked(); }

QString TFormDlgPrintCalculo::observacao() const { return dxEditObserv->text(); }

} // namespace stb
