#include "shell/dlgopcoes.h"

#include "core/edition.h"
#include "core/messages.h"
#include "core/settings.h"
#include "platform/annexconsult.h"
#include "shell/appglobals.h"
#include "shell/dbmaint.h"
#include "shell/dlgatalhos.h"
#include "shell/dlgbasedados.h"
#include "shell/dlgunidade.h"
#include "shell/mainwindow.h"
#include "shell/nbm.h"
#include "shell/shortcuts.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace stb {

namespace {

// The credit rate: four decimals kept, shown ",0.00%" unless the rate has
// more (12,00% but 12,3456%).
class RateSpinBox : public QDoubleSpinBox {
public:
    using QDoubleSpinBox::QDoubleSpinBox;
    QString textFromValue(double value) const override
    {
        QString t = locale().toString(value, 'f', decimals());
        const QChar point = locale().decimalPoint().at(0);
        const qsizetype dot = t.indexOf(point);
        while (dot >= 0 && t.size() > dot + 3 && t.endsWith(QLatin1Char('0')))
            t.chop(1);
        return t;
    }
};

} // namespace

// ---- TFormDlgHost -------------------------------------------------------------

TFormDlgHost::TFormDlgHost(QWidget *parent) : TFormDlg(parent)
{
    setObjectName(QStringLiteral("TFormDlgHost"));
    setWindowTitle(QStringLiteral("Host ST/Brelva"));
    auto *grid = new QGridLayout(body());
    grid->setContentsMargins(0, 0, 0, 0);
    dxEditNroIP = new QLineEdit(body());
    dxEditNroIP->setObjectName(QStringLiteral("dxEditNroIP"));
    dxEditNroIP->setMinimumWidth(280);
    dxCheckProxy = new QCheckBox(QStringLiteral("Utilizar o Servidor Proxy do Internet Explorer"), body());
    dxCheckProxy->setObjectName(QStringLiteral("dxCheckProxy"));
    dxEditProxy = new QLineEdit(body());
    dxEditProxy->setObjectName(QStringLiteral("dxEditProxy"));
    dxEditPorta = new QLineEdit(body());
    dxEditPorta->setObjectName(QStringLiteral("dxEditPorta"));
    dxEditPorta->setMaximumWidth(80);
    dxCheckSendMail = new QCheckBox(QStringLiteral("Enviar email para a Orvant com erros de Atualização"), body());
    dxCheckSendMail->setObjectName(QStringLiteral("dxCheckSendMail"));
    dxCheckShowMail = new QCheckBox(QStringLiteral("Exibir email antes de enviar para a Orvant"), body());
    dxCheckShowMail->setObjectName(QStringLiteral("dxCheckShowMail"));
    dxCheckShowMail->hide();
    grid->addWidget(new QLabel(QStringLiteral("Endereço do Servidor"), body()), 0, 0);
    grid->addWidget(dxEditNroIP, 0, 1, 1, 3);
    grid->addWidget(dxCheckProxy, 1, 0, 1, 4);
    grid->addWidget(new QLabel(QStringLiteral("Proxy"), body()), 2, 0);
    grid->addWidget(dxEditProxy, 2, 1);
    grid->addWidget(new QLabel(QStringLiteral("Porta"), body()), 2, 2);
    grid->addWidget(dxEditPorta, 2, 3);
    grid->addWidget(dxCheckSendMail, 3, 0, 1, 4);
    grid->addWidget(dxCheckShowMail, 4, 0, 1, 4);
    connect(dxCheckProxy, &QCheckBox::toggled, this, &TFormDlgHost::proxyChanged);
    finishCreate();
}

void TFormDlgHost::proxyChanged()
{
    const bool own = !dxCheckProxy->isChecked();
    dxEditProxy->setEnabled(own);
    dxEditPorta->setEnabled(own);
}

// ---- TFormDlgOpcoes -----------------------------------------------------------

TFormDlgOpcoes::TFormDlgOpcoes(QWidget *parent) : TFormDlg(parent)
{
    setObjectName(QStringLiteral("TFormDlgOpcoes"));
    setWindowTitle(QStringLiteral("Opções do Sistema"));
    Host = new TFormDlgHost(this);
    auto *layout = new QHBoxLayout(body());
    layout->setContentsMargins(0, 0, 0, 0);
    auto *left = new QVBoxLayout;
    dxCheckReindex
        = new QCheckBox(QStringLiteral("Reindexar os arquivos automaticamente na inicialização do Sistema"), body());
    dxCheckReindex->setObjectName(QStringLiteral("dxCheckReindex"));
    dxCheckHelp = new QCheckBox(
        QStringLiteral("Mostra balões de ajuda na digitação dos dados (tecla F1 liga/desliga)"), body());
    dxCheckHelp->setObjectName(QStringLiteral("dxCheckHelp"));
    dxCheckAtualizaSistema = new QCheckBox(QStringLiteral("Atualizar o sistema automaticamente"), body());
    dxCheckAtualizaSistema->setObjectName(QStringLiteral("dxCheckAtualizaSistema"));
    dxCheckAtualizaDados = new QCheckBox(QStringLiteral("Atualizar os dados automaticamente"), body());
    dxCheckAtualizaDados->setObjectName(QStringLiteral("dxCheckAtualizaDados"));
    dxCheckAuditor = new QCheckBox(QStringLiteral("Auditor Eletrônico"), body());
    dxCheckAuditor->setObjectName(QStringLiteral("dxCheckAuditor"));
    for (QCheckBox *hidden : {dxCheckAtualizaSistema, dxCheckAtualizaDados, dxCheckAuditor})
        hidden->hide();
    left->addWidget(dxCheckReindex);
    left->addWidget(dxCheckHelp);
    left->addWidget(dxCheckAtualizaSistema);
    left->addWidget(dxCheckAtualizaDados);
    left->addWidget(dxCheckAuditor);

    GroupCalculo = new QGroupBox(QStringLiteral(" Cálculo "), body());
    GroupCalculo->setObjectName(QStringLiteral("GroupCalculo"));
    auto *calc = new QGridLayout(GroupCalculo);
    dxAliqICMS = new RateSpinBox(GroupCalculo);
    dxAliqICMS->setObjectName(QStringLiteral("dxAliqICMS"));
    dxAliqICMS->setDecimals(4);
    dxAliqICMS->setRange(0, 100);
    dxAliqICMS->setSuffix(QStringLiteral("%"));
    dxAliqICMS->setLocale(QLocale(QLocale::Portuguese, QLocale::Brazil));
    dxAliqICMS->setMaximumWidth(100);
    dxCheckAliqICMSAvisar
        = new QCheckBox(QStringLiteral("Avisar quando o crédito for diferente desse percentual"), GroupCalculo);
    dxCheckAliqICMSAvisar->setObjectName(QStringLiteral("dxCheckAliqICMSAvisar"));
    dxCheckCalculaMR = new QCheckBox(QStringLiteral("Calcula MR"), GroupCalculo);
    dxCheckCalculaMR->setObjectName(QStringLiteral("dxCheckCalculaMR"));
    dxCheckCalculaMI = new QCheckBox(QStringLiteral("Calcula MI"), GroupCalculo);
    dxCheckCalculaMI->setObjectName(QStringLiteral("dxCheckCalculaMI"));
    dxCheckCalculaMI->setEnabled(false);
    calc->addWidget(new QLabel(QStringLiteral("Utilizar a Alíquota de Crédito de ICMS de"), GroupCalculo), 0, 0);
    calc->addWidget(dxAliqICMS, 0, 1, Qt::AlignLeft);
    calc->addWidget(dxCheckAliqICMSAvisar, 1, 0, 1, 2);
    calc->addWidget(dxCheckCalculaMR, 2, 0);
    calc->addWidget(dxCheckCalculaMI, 2, 1);
    left->addWidget(GroupCalculo);
    dxCheckARM = new QCheckBox(QStringLiteral("Habilita a Emissão do Auto de Retenção de Mercadorias"), body());
    dxCheckARM->setObjectName(QStringLiteral("dxCheckARM"));
    left->addWidget(dxCheckARM);
    left->addStretch(1);
    layout->addLayout(left, 1);

    auto *right = new QVBoxLayout;
    auto button = [this, right](const char *name, const QString &caption) {
        auto *b = new QPushButton(caption, body());
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        right->addWidget(b);
        return b;
    };
    sbReindexNow = button("sbReindexNow", QStringLiteral("Reindexar os dados agora"));
    SBReindexProdNBM = button("SBReindexProdNBM", QStringLiteral("Reindexar Produtos/NBM agora"));
    sbAtalhos = button("sbAtalhos", QStringLiteral("Atalhos do Windows"));
    SBHost = button("SBHost", QStringLiteral("Servidor ST/Brelva"));
    SBArm = button("SBArm", QStringLiteral("Base de Dados"));
    SBUnidade = button("SBUnidade", QStringLiteral("Identificação Unidade Velfa"));
    SBIniFile = button("SBIniFile", QStringLiteral("Arquivo de Configuração"));
    SBDisquete = button("SBDisquete", QStringLiteral("Gerar Disquete de Atalho"));
    SBIniFile->hide();
    SBDisquete->hide();
    right->addStretch(1);
    layout->addLayout(right);

    connect(sbReindexNow, &QPushButton::clicked, this, [] { ReindexAll(true); });
    connect(SBReindexProdNBM, &QPushButton::clicked, this, [] {
        if (!Confirma(QStringLiteral("Confirma ") + QStringLiteral("a reindexação da Tabela de Produtos NBM agora")
                + QLatin1Char('?')))
            return;
        if (!annex::CloseAnnexConsult()) {
            MsgErro(QStringLiteral("Não consegui fechar a Tabela do Brelva para reindexar os produtos."));
            return;
        }
        MsgInformacao(
            QStringLiteral("A reindexação demora cerca de 10 minutos. Assim que for encerrada, você será avisado!"));
        StartNBMRebuild(true);
    });
    connect(sbAtalhos, &QPushButton::clicked, this, [this] { TFormDlgAtalhos::executa(this); });
    connect(SBHost, &QPushButton::clicked, this, [this] {
        // The server settings stay with the options until OK stores them.
        if (Host->exec() == QDialog::Accepted)
            markChanged();
    });
    connect(SBArm, &QPushButton::clicked, this, [this] { TFormDlgBaseDados::executa(this); });
    connect(SBUnidade, &QPushButton::clicked, this, [this] {
        if (Contribuinte)
            TFormDlgUnidadeContribuinte::executa(this);
        else
            TFormDlgUnidade::executa(this);
    });
    connect(SBIniFile, &QPushButton::clicked, this,
        [] { TMain::shellOpen(App().AppDir + QStringLiteral("STBrelva") + QStringLiteral(".ini")); });
    load();
    for (QCheckBox *c : findChildren<QCheckBox *>())
        connect(c, &QCheckBox::toggled, this, &TFormDlgOpcoes::markChanged);
    connect(dxAliqICMS, &QDoubleSpinBox::valueChanged, this, &TFormDlgOpcoes::markChanged);
    finishCreate();
}

TFormDlgOpcoes::~TFormDlgOpcoes() = default;

void TFormDlgOpcoes::load()
{
    Settings &s = Settings::instance();
    dxCheckReindex->setChecked(s.reindex());
    dxCheckAtualizaSistema->setChecked(s.atualizaSistema());
    dxCheckAtualizaDados->setChecked(s.atualizaDados());
    dxCheckAuditor->setChecked(s.auditor());
    dxCheckHelp->setChecked(s.startHelp());
    dxAliqICMS->setValue(s.aliqCreditoICMS().toDouble());
    dxCheckAliqICMSAvisar->setChecked(s.aliqCreditoICMSAviso());
    dxCheckCalculaMR->setChecked(s.calculaMR());
    dxCheckARM->setChecked(s.ExecARM());
    Host->dxEditNroIP->setText(s.host());
    Host->dxCheckProxy->setChecked(s.proxyIE());
    if (s.proxyIE()) {
        const QString server = s.browserProxyServer();
        Host->dxEditProxy->setText(
            server.section(QLatin1Char(':'), 0, -2).isEmpty() ? server : server.section(QLatin1Char(':'), 0, -2));
        Host->dxEditPorta->setText(
            server.contains(QLatin1Char(':')) ? server.section(QLatin1Char(':'), -1) : QString());
    } else {
        Host->dxEditProxy->setText(s.proxy());
        Host->dxEditPorta->setText(s.porta());
    }
    Host->dxCheckSendMail->setChecked(s.sendMail());
    Host->dxCheckShowMail->setChecked(s.showMail());
    Host->proxyChanged();
    m_changed = false;
}

void TFormDlgOpcoes::BtnOkClick()
{
    Settings &s = Settings::instance();
    AppGlobals &g = App();
    // Written in this order.
    s.setReindex(dxCheckReindex->isChecked());
    // The box holds four decimals: the rate goes back exactly as shown.
    s.setAliqCreditoICMS(Currency::fromDouble(dxAliqICMS->value()));
    s.setAliqCreditoICMSAviso(dxCheckAliqICMSAvisar->isChecked());
    s.setCalculaMR(dxCheckCalculaMR->isChecked());
    s.setAuditor(dxCheckAuditor->isChecked());
    s.setAtualizaSistema(dxCheckAtualizaSistema->isChecked());
    s.setAtualizaDados(dxCheckAtualizaDados->isChecked());
    s.setStartHelp(dxCheckHelp->isChecked());
    s.setHost(Host->dxEditNroIP->text());
    s.setProxyIE(Host->dxCheckProxy->isChecked());
    if (Host->dxCheckProxy->isChecked())
        s.deleteProxy();
    else
        s.setProxy(Host->dxEditProxy->text(), Host->dxEditPorta->text());
    s.setSendMail(Host->dxCheckSendMail->isChecked());
    s.setShowMail(Host->dxCheckShowMail->isChecked());
    s.ExecARM(dxCheckARM->isChecked() ? 1 : 0);
    if (!Contribuinte) {
        if (dxCheckARM->isChecked())
            criaAtalhos(atalhoInicializacao(s.IniAuto()));
        else
            removeAtalhoARM();
    }
    g.AliqCreditoICMS = s.aliqCreditoICMS();
    g.AliqCreditoICMSAviso = s.aliqCreditoICMSAviso();
    g.CalculaMR = s.calculaMR();
    accept();
}

void TFormDlgOpcoes::BtnCancelClick()
{
    if (m_changed && !Confirma(QStringLiteral("Quer cancelar as alterações")))
        return;
    reject();
}

void TFormDlgOpcoes::AjustaContribuinte()
{
    for (QWidget *w :
        std::initializer_list<QWidget *> {sbAtalhos, SBHost, SBReindexProdNBM, SBArm, dxCheckARM, GroupCalculo})
        w->hide();
    SBUnidade->setText(QStringLiteral("Identificação do Usuário"));
}

bool TFormDlgOpcoes::executa(QWidget *parent)
{
    TFormDlgOpcoes dlg(parent);
    return dlg.exec() == QDialog::Accepted;
}

TFormDlgOpcoesContribuinte::TFormDlgOpcoesContribuinte(QWidget *parent) : TFormDlgOpcoes(parent)
{
    setObjectName(QStringLiteral("TFormDlgOpcoesContribuinte"));
    // The taxpayer's variant hides these whatever the build.
    TFormDlgOpcoes::AjustaContribuinte();
}

bool TFormDlgOpcoesContribuinte::executa(QWidget *parent)
{
    TFormDlgOpcoesContribuinte dlg(parent);
    return dlg.exec() == QDialog::Accepted;
}

} // namespace stb
