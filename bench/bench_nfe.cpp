// Import of 1,000 NF-e files of 20 lines each into a new calculation (read,
// annex proposal, rates, one transaction) beside reading the same files with
// QXmlStreamReader alone, in the same run. Target: under 3 s and under 3× the
// bare read.
#include "bench/harness.h"

#include "core/datamodule.h"
#include "core/messages.h"
#include "core/nfe.h"
#include "core/settings.h"
#include "entry/nfeimporta.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <memory>

namespace {

constexpr int kNotas = 1000;
constexpr int kLinhas = 20;

// Goods whose NCM and CEST give one annex entry each.
struct Produto {
    const char *ncm, *cest;
};
const Produto kProdutos[]
    = {{"84212300", "0100100"}, {"85111000", "0100200"}, {"22030000", "0300100"}, {"22087000", "0200800"}};

QByteArray geraNFe(int n)
{
    QString chave = QStringLiteral("3526114455566600018155001") + QStringLiteral("%1").arg(n, 9, 10, QLatin1Char('0'))
        + QStringLiteral("112345678");
    chave += QString::number(stb::DigitoChaveAcesso(chave));
    QByteArray dets;
    for (int i = 1; i <= kLinhas; ++i) {
        const Produto &p = kProdutos[i % 4];
        dets += QStringLiteral(
            "<det nItem=\"%1\"><prod><cProd>P%1</cProd><cEAN>SEM GTIN</cEAN><xProd>PRODUTO %1 DA NOTA %2</xProd>"
            "<NCM>%3</NCM><CEST>%4</CEST><CFOP>6403</CFOP><uCom>UN</uCom><qCom>2.0000</qCom>"
            "<vUnCom>50.00</vUnCom><vProd>100.00</vProd><indTot>1</indTot></prod><imposto><ICMS><ICMS10>"
            "<orig>0</orig><CST>10</CST><modBC>3</modBC><vBC>100.00</vBC><pICMS>12.0000</pICMS>"
            "<vICMS>12.00</vICMS><modBCST>4</modBCST><pMVAST>84.3500</pMVAST><vBCST>184.35</vBCST>"
            "<pICMSST>18.0000</pICMSST><vICMSST>21.18</vICMSST></ICMS10></ICMS><IPI><cEnq>999</cEnq>"
            "<IPITrib><CST>50</CST><vIPI>5.00</vIPI></IPITrib></IPI></imposto></det>")
                    .arg(i)
                    .arg(n)
                    .arg(QLatin1String(p.ncm), QLatin1String(p.cest))
                    .toUtf8();
    }
    return QStringLiteral(
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?><nfeProc xmlns=\"http://www.portalfiscal.inf.br/nfe\" "
               "versao=\"4.00\">"
               "<NFe><infNFe versao=\"4.00\" Id=\"NFe%1\"><ide><nNF>%2</nNF><dhEmi>2026-11-02T09:30:00-03:00</dhEmi>"
               "<idDest>2</idDest></ide><emit><CNPJ>44555666000181</CNPJ><xNome>EMITENTE %2</xNome>"
               "<enderEmit><UF>SP</UF></enderEmit><IE>111222333444</IE></emit><dest><CNPJ>99888777000108</CNPJ>"
               "<xNome>DESTINO</xNome><enderDest><UF>MG</UF></enderDest><IE>0621234560078</IE></dest>")
               .arg(chave)
               .arg(n)
               .toUtf8()
        + dets
        + "<total><ICMSTot><vICMS>240.00</vICMS><vST>423.60</vST><vProd>2000.00</vProd><vFrete>40.00</vFrete>"
          "<vIPI>100.00</vIPI><vNF>2563.60</vNF></ICMSTot></total></infNFe></NFe></nfeProc>";
}

void copiaPasta(const QString &de, const QString &para)
{
    QDir().mkpath(para);
    const QDir d(de);
    for (const QString &f : d.entryList(QDir::Files))
        QFile::copy(d.filePath(f), QDir(para).filePath(f));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    stb::setMessageSink(nullptr);
    QTemporaryDir tmp;
    const QString pastaNFe = tmp.filePath(QStringLiteral("nfe"));
    QDir().mkpath(pastaNFe);
    QStringList arquivos;
    for (int n = 1; n <= kNotas; ++n) {
        const QString p = QDir(pastaNFe).filePath(QStringLiteral("nfe%1.xml").arg(n, 4, 10, QLatin1Char('0')));
        QFile f(p);
        if (!f.open(QIODevice::WriteOnly) || f.write(geraNFe(n)) < 0)
            return 1;
        arquivos << p;
    }
    const QString appDir = tmp.filePath(QStringLiteral("app"));
    QDir().mkpath(appDir);
    QFile::copy(QStringLiteral(STB_APPDIR "/STBrelva2.ini"), QDir(appDir).filePath(QStringLiteral("STBrelva2.ini")));

    // Bare read: every token of every file, nothing kept.
    qint64 tokens = 0;
    const double bare = bench::bestMs(3, {}, [&] {
        for (const QString &p : arquivos) {
            QFile f(p);
            f.open(QIODevice::ReadOnly);
            QXmlStreamReader x(&f);
            while (!x.atEnd()) {
                x.readNext();
                ++tokens;
            }
        }
    });

    // Import into a new calculation of a fresh data folder each time.
    int rep = 0;
    std::unique_ptr<stb::TDM> dm;
    int importadas = 0;
    const double ours = bench::bestMs(
        3,
        [&] {
            dm.reset();
            const QString dados = tmp.filePath(QStringLiteral("dados%1").arg(++rep));
            copiaPasta(QStringLiteral(STB_APPDIR "/Sys/Dados"), dados);
            stb::Settings::instance().open(appDir, dados);
            dm = std::make_unique<stb::TDM>(dados);
            for (stb::db::Table *t :
                {&dm->TabRemet, &dm->TabDest, &dm->TabCalc, &dm->TabNotas, &dm->TabItens, &dm->TabItensMedic})
                t->open();
            dm->TabCalc.append();
            dm->TabCalc.fieldByName(QStringLiteral("OpInterna")).setAsBoolean(false);
            dm->TabCalc.fieldByName(QStringLiteral("TipoCalculo")).setAsInteger(1);
            dm->TabCalc.post();
        },
        [&] {
            QElapsedTimer t;
            t.start();
            const stb::ContextoImportacao ctx = stb::contextoImportacao(*dm);
            const stb::LoteNFe lote = stb::LeArquivosNFe(*dm, ctx, arquivos);
            if (!lote.erros.isEmpty())
                std::fprintf(stderr, "%s\n", qPrintable(lote.erros.first()));
            const double leitura = static_cast<double>(t.nsecsElapsed()) / 1e6;
            importadas = int(stb::GravaImportacao(*dm, ctx, lote.notas).size());
            std::printf("  pass: read and propose %.0f ms, store %.0f ms\n", leitura,
                static_cast<double>(t.nsecsElapsed()) / 1e6 - leitura);
        });
    dm.reset();
    if (importadas != kNotas) {
        std::fprintf(stderr, "only %d invoices imported\n", importadas);
        return 1;
    }
    std::printf("%d NF-e x %d lines; bare read %lld tokens per pass\n", kNotas, kLinhas, tokens / 3);
    bench::report("NF-e import (read, propose, store) vs bare read", ours, bare, 3.0);
    std::printf("import time %.2f s (target under 3 s) %s\n", ours / 1000, ours < 3000 ? "ok" : "OVER");
    return 0;
}
