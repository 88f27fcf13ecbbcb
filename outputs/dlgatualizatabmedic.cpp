#include "outputs/dlgatualizatabmedic.h"

#include "core/messages.h"
#include "core/settings.h"
#include "outputs/dlgescolhemedic.h"
#include "outputs/medic.h"
#include "outputs/medicdownload.h"

#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QToolButton>

namespace stb {

TFormDlgAtualizaTabMedic::TFormDlgAtualizaTabMedic(QWidget *parent) : TFormDlg(parent)
{
    setObjectName(QStringLiteral("TFormDlgAtualizaTabMedic"));
    setWindowTitle(QStringLiteral("Atualização da Tabela CMED/ABCFarma"));
    auto *grid = new QGridLayout(body());
    RBServidor = new QRadioButton(QStringLiteral("Buscar a atualização no servidor do ST/Brelva"), body());
    RBServidor->setObjectName(QStringLiteral("RBServidor"));
    RBArquivo = new QRadioButton(QStringLiteral("Informar a Localização do arquivo"), body());
    RBArquivo->setObjectName(QStringLiteral("RBArquivo"));
    RBServidor->setChecked(true);
    auto *label = new QLabel(QStringLiteral("Localização do arquivo TB_MEDICAMENTO_mmaaaa.TXT"), body());
    dxEditArquivo = new QLineEdit(body());
    dxEditArquivo->setObjectName(QStringLiteral("dxEditArquivo"));
    SBArquivo = new QToolButton(body());
    SBArquivo->setObjectName(QStringLiteral("SBArquivo"));
    SBArquivo->setText(QStringLiteral("..."));
    dxComboMes = new QComboBox(body());
    dxComboMes->setObjectName(QStringLiteral("dxComboMes"));
    for (int m = 1; m <= 12; ++m) {
        QString nome = NomeMesMaiusculo(m).toLower();
        nome[0] = nome[0].toUpper();
        dxComboMes->addItem(nome);
    }
    dxSpinAno = new QSpinBox(body());
    dxSpinAno->setObjectName(QStringLiteral("dxSpinAno"));
    dxSpinAno->setRange(2000, 2100);
    const QDate hoje = QDate::currentDate();
    dxComboMes->setCurrentIndex(hoje.month() - 1);
    dxSpinAno->setValue(hoje.year());
    LabelStatus = new QLabel(body());
    LabelStatus->setObjectName(QStringLiteral("LabelStatus"));
    LabelStatus->setMinimumWidth(420);
    ProgressBar = new QProgressBar(body());
    ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
    ProgressBar->setVisible(false);
    grid->addWidget(RBServidor, 0, 0, 1, 4);
    grid->addWidget(RBArquivo, 1, 0, 1, 4);
    grid->addWidget(label, 2, 0, 1, 4);
    grid->addWidget(dxEditArquivo, 3, 0, 1, 3);
    grid->addWidget(SBArquivo, 3, 3);
    grid->addWidget(new QLabel(QStringLiteral("Referente:"), body()), 4, 0);
    grid->addWidget(dxComboMes, 4, 1);
    grid->addWidget(dxSpinAno, 4, 2);
    grid->addWidget(LabelStatus, 5, 0, 1, 4);
    grid->addWidget(ProgressBar, 6, 0, 1, 4);
    connect(RBServidor, &QRadioButton::toggled, this, &TFormDlgAtualizaTabMedic::atualizaControles);
    connect(SBArquivo, &QToolButton::clicked, this, [this] {
        const QString f = QFileDialog::getOpenFileName(this, QStringLiteral("Localização do arquivo"),
            dxEditArquivo->text(), QStringLiteral("TB_MEDIC*.TXT (TB_MEDIC*.TXT TB_MEDIC*.txt);;Arquivo TXT (*.txt)"));
        if (!f.isEmpty())
            dxEditArquivo->setText(QDir::toNativeSeparators(f));
    });
    atualizaControles();
    finishCreate();
}

TFormDlgAtualizaTabMedic::~TFormDlgAtualizaTabMedic() = default;

void TFormDlgAtualizaTabMedic::atualizaControles()
{
    const bool arquivo = RBArquivo->isChecked();
    for (QWidget *w : {static_cast<QWidget *>(dxEditArquivo), static_cast<QWidget *>(SBArquivo),
             static_cast<QWidget *>(dxComboMes), static_cast<QWidget *>(dxSpinAno)})
        w->setEnabled(arquivo);
}

bool TFormDlgAtualizaTabMedic::doServidor()
{
    Settings &settings = Settings::instance();
    MedicDownload download(MedicDownload::configDoSistema(settings));
    m_download = &download;
    connect(&download, &MedicDownload::status, this, [this](const QString &s) {
        LabelStatus->setText(s);
        MedicStatus::instance().show(s);
    });
    connect(&download, &MedicDownload::progresso, this, [this](qint64 feitos, qint64 total) {
        ProgressBar->setVisible(true);
        ProgressBar->setMaximum(total > 0 ? 1000 : 0);
        ProgressBar->setValue(total > 0 ? static_cast<int>(feitos * 1000 / total) : 0);
    });
    RBServidor->setEnabled(false);
    RBArquivo->setEnabled(false);
    BtnOk->setEnabled(false);
    const std::optional<NovaTabelaMedic> nova
        = BuscaTabelaNoServidor(download, QDate::currentDate(), settings.appDir());
    m_download = nullptr;
    RBServidor->setEnabled(true);
    RBArquivo->setEnabled(true);
    BtnOk->setEnabled(true);
    ProgressBar->setVisible(false);
    LabelStatus->clear();
    MedicStatus::instance().show(QString());
    if (!nova)
        return false;
    m_resultado.novoTxt = nova->texto;
    m_resultado.mesAno = nova->mesAno;
    return true;
}

bool TFormDlgAtualizaTabMedic::doArquivo()
{
    const QString arquivo = QDir::fromNativeSeparators(dxEditArquivo->text().trimmed());
    if (arquivo.isEmpty() || !QFileInfo(arquivo).isFile()) {
        MsgAviso(QStringLiteral("Arquivo não localizado!"));
        dxEditArquivo->setFocus();
        return false;
    }
    const QString mesAno
        = NomeMesMaiusculo(dxComboMes->currentIndex() + 1) + QLatin1Char('/') + QString::number(dxSpinAno->value());
    if (!Confirma(QStringLiteral("Confirma atualizar a Tabela de Medicamentos para o mês de ") + mesAno))
        return false;
    m_resultado.novoTxt = arquivo;
    m_resultado.mesAno = mesAno;
    return true;
}

void TFormDlgAtualizaTabMedic::BtnOkClick()
{
    if (m_download)
        return;
    m_resultado = {};
    if (!(RBServidor->isChecked() ? doServidor() : doArquivo()))
        return;
    m_resultado.alvo = QDir(Settings::instance().dataDir()).filePath(QStringLiteral("TabMedic.txt"));
    accept();
}

void TFormDlgAtualizaTabMedic::BtnCancelClick()
{
    if (m_download) {
        m_download->cancela();
        return;
    }
    reject();
}

bool TFormDlgAtualizaTabMedic::AtualizaTabelaMedic(QWidget *parent)
{
    Resultado r;
    {
        TFormDlgAtualizaTabMedic dlg(parent);
        if (dlg.exec() != QDialog::Accepted)
            return false;
        r = dlg.resultado();
    }
    const bool ok = InstalaTabelaMedic(
        r.novoTxt, r.alvo, r.mesAno, IniMedicamento(), [](const QString &s) { MedicStatus::instance().show(s); });
    MedicStatus::instance().show(QString());
    if (ok && FormDlgEscolheMedicExiste())
        FormDlgEscolheMedic().invalida();
    return ok;
}

} // namespace stb
