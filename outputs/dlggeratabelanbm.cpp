#include "outputs/dlggeratabelanbm.h"

#include "core/messages.h"
#include "outputs/medic.h"
#include "outputs/medicexport.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace stb {

TFormDlgGeraTabelaNBM::TFormDlgGeraTabelaNBM(db::Database *database, QWidget *parent)
    : TFormDlg(parent),
      QryCEST(database),
      QryNBM(database)
{
    setObjectName(QStringLiteral("TFormDlgGeraTabelaNBM"));
    setWindowTitle(QStringLiteral("Geração Tabela NBM - Excel"));
    QryCEST.objectName = QStringLiteral("QryCEST");
    QryNBM.objectName = QStringLiteral("QryNBM");
    QryCEST.setSql(QStringLiteral("SELECT DISTINCT CEST, MVA1, MVA2, MVA3, INFOMVA1, INFOMVA2, INFOMVA3, "
                                  "CAST(DESCRICAO AS VARCHAR(255)) DESCRICAO FROM BRELVA ORDER BY CEST"));
    QryNBM.setSql(QStringLiteral("SELECT CODIGONBM1 AS NBM, CEST FROM BRELVA WHERE CODIGONBM1 IS NOT NULL\n"
                                 "UNION\n"
                                 "SELECT CODIGONBM2 AS NBM, CEST FROM BRELVA WHERE CODIGONBM2 IS NOT NULL\n"
                                 "UNION\n"
                                 "SELECT CODIGONBM3 AS NBM, CEST FROM BRELVA WHERE CODIGONBM3 IS NOT NULL"));
    auto *layout = new QVBoxLayout(body());
    LabelAguarde = new QLabel(QStringLiteral("Aguarde... gerando o arquivo..."), body());
    LabelAguarde->setObjectName(QStringLiteral("LabelAguarde"));
    layout->addWidget(LabelAguarde);
    BtnOk->setVisible(false);
    BtnCancel->setVisible(false);
    finishCreate();
}

TFormDlgGeraTabelaNBM::~TFormDlgGeraTabelaNBM()
{
    QryCEST.close();
    QryNBM.close();
}

bool TFormDlgGeraTabelaNBM::gera(const QString &alvo, const QString &versao)
{
    db::Database *database = QryCEST.database();
    const QFileInfo anexo(database->tableFilePath(QStringLiteral("Brelva"), QStringLiteral(".dat")));
    const QString data
        = anexo.exists() ? anexo.lastModified().toString(QStringLiteral("dd/MM/yyyy")) : QStringLiteral("-");
    MedicStatus::instance().show(QStringLiteral("Lendo a Parte 2 do Brelva..."));
    QryCEST.close();
    QryCEST.open();
    MedicStatus::instance().show(QStringLiteral("Lendo as NBMs do Brelva..."));
    QryNBM.close();
    QryNBM.open();
    MedicStatus::instance().show(QStringLiteral("Gravando os dados..."));
    QString erro;
    const bool ok = GeraPlanilhaNBM(QryCEST, QryNBM, data, versao, alvo, &erro);
    QryCEST.close();
    QryNBM.close();
    MedicStatus::instance().show(QString());
    return ok;
}

void TFormDlgGeraTabelaNBM::Executa(db::Database &database, const QString &pasta, const QString &versao,
    const std::function<void(const QString &)> &abrir, QWidget *parent)
{
    const QString alvo = QDir(pasta).filePath(nomeArquivo());
    const QFileInfo existe(alvo);
    if (existe.exists()
        && Confirma(QStringLiteral("Quer abrir a planilha gerada em ")
            + existe.lastModified().toString(QStringLiteral("dd/MM/yyyy hh:mm:ss")) + QLatin1Char('?'))) {
        abrir(alvo);
        return;
    }
    if (!Confirma(QStringLiteral("Quer gerar o Brelva por NBM no arquivo \"") + QDir::toNativeSeparators(alvo)
            + QLatin1Char('"')))
        return;
    bool ok = false;
    try {
        TFormDlgGeraTabelaNBM dlg(&database, parent);
        dlg.show();
        QApplication::setOverrideCursor(Qt::WaitCursor);
        QApplication::processEvents();
        ok = QDir().mkpath(pasta) && dlg.gera(alvo, versao);
        QApplication::restoreOverrideCursor();
    } catch (const db::EngineError &e) {
        QApplication::restoreOverrideCursor();
        MsgErro(e.message());
        return;
    }
    if (!ok) {
        MsgErro(QStringLiteral("Não consegui criar o arquivo \"") + QDir::toNativeSeparators(alvo) + QLatin1Char('"'));
        return;
    }
    abrir(alvo);
}

} // namespace stb
