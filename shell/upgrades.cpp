#include "shell/upgrades.h"

#include "shell/stations.h"

#include "core/datamodule.h"
#include "core/edition.h"
#include "core/produtosnbm.h"
#include "core/settings.h"
#include "platform/db/filelock.h"
#include "platform/db/openprobe.h"
#include "platform/drives.h"
#include "platform/filecopy.h"
#include "shell/appglobals.h"
#include "shell/modifystruct.h"
#include "shell/nbm.h"

#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QNetworkInterface>
#include <stdexcept>

namespace stb {

namespace {

using db::FieldType;

void falhaBloco(const QString &caption, const std::function<bool()> &outrasEstacoesAtivas)
{
    const bool outras = outrasEstacoesAtivas && outrasEstacoesAtivas();
    const QString texto = QStringLiteral("Erro ao atualizar a tabela ") + caption + QStringLiteral(".\r")
        + (outras ? QStringLiteral("Feche o sistema ST/Brelva em todos os computadores e repita a operação.")
                  : QStringLiteral("É preciso reiniciar o computador."));
    throw std::runtime_error(texto.toStdString());
}

struct Campo {
    const char *nome;
    FieldType tipo;
    int tamanho;
};

void blocoCampos(
    db::Table &tabela, std::initializer_list<Campo> campos, const QString &caption, const std::function<bool()> &outras)
{
    TModifyStruct m(tabela, false);
    for (const Campo &c : campos)
        m.AddField(QString::fromLatin1(c.nome), c.tipo, -1, c.tamanho);
    if (!m.Execute())
        falhaBloco(caption, outras);
}

} // namespace

void CheckStructures(const std::function<bool()> &outrasEstacoesAtivas)
{
    TDM &dm = DM();
    Settings &s = Settings::instance();
    if (!Contribuinte) {
        TModifyStruct m(dm.TabRegimeEspecial, false);
        m.AddIndex(QStringLiteral("CNPJ"), QStringLiteral("CNPJ"));
        m.AddIndex(QStringLiteral("IE"), QStringLiteral("IE"));
        if (!m.Execute())
            falhaBloco(QStringLiteral("Regimes Especiais"), outrasEstacoesAtivas);
    }
    blocoCampos(dm.TabCalc,
        {{"OpInterna", FieldType::Boolean, 0}, {"PrintObserv", FieldType::Memo, 0}, {"PrintMR", FieldType::SmallInt, 0},
            {"TipoCalculo", FieldType::SmallInt, 0}},
        QStringLiteral("Cálculos"), outrasEstacoesAtivas);
    blocoCampos(dm.TabNotas,
        {{"CreditoICMSMedic", FieldType::Currency, 0}, {"DestaqueICMSST", FieldType::Currency, 0},
            {"TotalARecolher", FieldType::Currency, 0}},
        QStringLiteral("Notas"), outrasEstacoesAtivas);
    blocoCampos(dm.TabItens,
        {{"PMPF", FieldType::Currency, 0}, {"Litros", FieldType::Currency, 0}, {"PrecoLitroNF", FieldType::Currency, 0},
            {"MVAPreAjustada", FieldType::Currency, 0}, {"ItemBrelva", FieldType::String, 10},
            {"ValorCreditoICMS", FieldType::Currency, 0}, {"FEM", FieldType::Boolean, 0}},
        QStringLiteral("Itens"), outrasEstacoesAtivas);
    blocoCampos(dm.TabItensMedic,
        {{"MVA", FieldType::Currency, 0}, {"Lista", FieldType::String, 1}, {"MVAPreAjustada", FieldType::Currency, 0},
            {"CreditoICMS", FieldType::Currency, 0}, {"FEM", FieldType::Boolean, 0}},
        QStringLiteral("Itens Medicamentos"), outrasEstacoesAtivas);

    // Codes beginning with "00" are no product codes.
    if (!s.estruturaAplicada(QStringLiteral("2009.04.01"))) {
        if (dm.BaseDados.tableExists(nbm::tabela()))
            dm.BaseDados.execSql(QStringLiteral("DELETE FROM PRODUTOSNBM WHERE NBM LIKE '00%'"));
        s.setEstruturaAplicada(QStringLiteral("2009.04.01"));
    }
    // The next start on this workstation reindexes.
    if (!s.estruturaAplicada(QStringLiteral("2012.09.01"))) {
        s.setReindexOnce(true);
        s.setEstruturaAplicada(QStringLiteral("2012.09.01"));
    }
}

bool OutrasEstacoesAtivas() { return OtherStationsActive(); }

QList<QPair<QString, QString>> linksVersao1940()
{
    return {
        {QStringLiteral("TIPI online"),
            QStringLiteral("https://www.gov.br/receitafederal/pt-br/assuntos/aduana-e-comercio-exterior/"
                           "classificacao-fiscal-de-mercadorias")},
        {QStringLiteral("Download da TIPI"),
            QStringLiteral("https://www.gov.br/receitafederal/pt-br/acesso-a-informacao/legislacao")},
        {QStringLiteral("Notas Explicativas do Sistema Harmonizado"),
            QStringLiteral("https://www.gov.br/receitafederal/pt-br/assuntos/aduana-e-comercio-exterior")},
        {QStringLiteral("Processos de Consulta da Receita Federal"),
            QStringLiteral("https://www.gov.br/receitafederal/pt-br/assuntos/orientacao-tributaria")},
        {QStringLiteral("Resolução de restrição de créditos"),
            QStringLiteral("https://legislacao.example.org/resolucoes/restricao-de-creditos")},
        {QStringLiteral("Portaria dos distribuidores hospitalares"),
            QStringLiteral("https://legislacao.example.org/portarias/distribuidores-hospitalares")},
        {QStringLiteral("Brelva - Parte 2 (vigente)"),
            QStringLiteral("https://legislacao.example.org/ricms/brelva/parte-2")},
        {QStringLiteral("Brelva - Parte 2 (anotada)"),
            QStringLiteral("https://legislacao.example.org/ricms/brelva/parte-2-anotada")},
    };
}

void CheckConfiguration(const QString &versaoInstalada)
{
    Settings &s = Settings::instance();
    TDM &dm = DM();
    UpdateNBMProducts(versaoInstalada);

    // The annex table is taken again from the installation's pristine copy,
    // without the missing-table notice.
    if (!s.versaoAplicada(QStringLiteral("1.9.1.0"))) {
        dm.TabBrelva.close();
        dm.BaseDados.close();
        for (const char *arquivo : {"Brelva.blb", "Brelva.dat", "Brelva.idx", "Brelva.NBM"}) {
            const QString path = fileNoCase(App().DataDir, QString::fromLatin1(arquivo));
            db::FileLock::release(path);
            QFile::remove(path);
        }
        dm.setAvisoTabelaAusente(false);
        s.setVersaoAplicada(QStringLiteral("1.9.1.0"));
    }
    if (!s.versaoAplicada(QStringLiteral("1.9.1.6"))) {
        s.iniSistema().deleteKey(QStringLiteral("Sistema"), QStringLiteral("BaseARMPath"));
        s.setVersaoAplicada(QStringLiteral("1.9.1.6"));
    }
    if (!s.versaoAplicada(QStringLiteral("1.9.4.0"))) {
        s.replaceLinksSistema(linksVersao1940());
        s.setVersaoAplicada(QStringLiteral("1.9.4.0"));
    }
}

} // namespace stb
