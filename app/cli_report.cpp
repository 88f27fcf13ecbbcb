// stbrelva-cli report: stores a calculation given as JSON (the compute input)
// through the data module, prints its report to a PDF through the program's
// report code, and writes every printed text and amount to stdout as JSON.
#include "app/cli.h"
#include "app/cli_entrada.h"

#include "core/datamodule.h"
#include "core/settings.h"
#include "outputs/formrep.h"
#include "platform/inifile.h"

#include <QFileInfo>
#include <QJsonDocument>
#include <QSaveFile>
#include <cstdio>
#include <memory>

namespace {

const char *kUso = "report [--today AAAA-MM-DD] [--mr 0..5] [--contribuinte] [--analitica] [--codigos STBrelva2.ini] "
                   "--pdf SAIDA.pdf ARQUIVO.json";

struct Opcoes {
    QString arquivo, pdf, codigos;
    std::optional<QDate> hoje;
    std::optional<int> mr;
    bool contribuinte = false;
    bool analitica = false;
};

int leOpcoes(const QStringList &args, Opcoes &o)
{
    using cli::inputError;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        auto valor = [&](QString &destino) {
            if (i + 1 >= args.size())
                return inputError(a, QStringLiteral("falta o valor da opção"));
            destino = args[++i];
            return 0;
        };
        if (a == QLatin1String("--today")) {
            if (const int rc = cli::leOpcaoToday(args, i, o.hoje))
                return rc;
        } else if (a == QLatin1String("--mr")) {
            QString t;
            if (const int rc = valor(t))
                return rc;
            bool ok = false;
            const int mr = t.toInt(&ok);
            if (!ok || mr < 0 || mr > 5)
                return inputError(a, QStringLiteral("esperada uma opção de MR de 0 a 5, encontrado \"%1\"").arg(t));
            o.mr = mr;
        } else if (a == QLatin1String("--pdf")) {
            if (const int rc = valor(o.pdf))
                return rc;
        } else if (a == QLatin1String("--codigos")) {
            if (const int rc = valor(o.codigos))
                return rc;
        } else if (a == QLatin1String("--contribuinte")) {
            o.contribuinte = true;
        } else if (a == QLatin1String("--analitica")) {
            o.analitica = true;
        } else if (a.startsWith(QLatin1String("--"))) {
            return inputError(a, QStringLiteral("opção desconhecida"));
        } else if (o.arquivo.isEmpty()) {
            o.arquivo = a;
        } else {
            return inputError(a, QStringLiteral("só um arquivo de entrada pode ser informado"));
        }
    }
    if (o.contribuinte && o.mr && *o.mr != 1)
        return inputError(
            QStringLiteral("--mr"), QStringLiteral("a versão contribuinte imprime sempre sem MR (opção 1)"));
    if (o.pdf.isEmpty())
        return inputError(
            QStringLiteral("--pdf"), QStringLiteral("falta o arquivo PDF de saída (%1)").arg(QLatin1String(kUso)));
    if (o.arquivo.isEmpty())
        return inputError(
            QStringLiteral("ARQUIVO.json"), QStringLiteral("falta o arquivo de entrada (%1)").arg(QLatin1String(kUso)));
    if (!o.codigos.isEmpty() && !QFileInfo(o.codigos).isFile())
        return inputError(o.codigos, QStringLiteral("o arquivo de códigos não existe"));
    return 0;
}

} // namespace

int cli::runReport(const QStringList &args)
{
    Opcoes o;
    if (const int rc = leOpcoes(args, o))
        return rc;
    // The output is written whole or not at all.
    QSaveFile saida(o.pdf);
    if (!saida.open(QIODevice::WriteOnly))
        return inputError(o.pdf, QStringLiteral("não foi possível gravar o arquivo"));

    return comCalculoArmazenado(o.arquivo, o.hoje, [&](stb::TDM &dm, int printMR) {
        stb::ConfigRelatorio cfg = stb::ConfigRelatorio::doPrograma();
        cfg.contribuinte = o.contribuinte;
        std::unique_ptr<stb::IniFile> codigos;
        if (!o.codigos.isEmpty()) {
            codigos = std::make_unique<stb::IniFile>(o.codigos);
            cfg.codigos = codigos.get();
        }
        // As the print command: the taxpayer edition always prints without MR.
        const int opcao = o.contribuinte ? 1 : o.mr.value_or(printMR);
        const std::unique_ptr<stb::RelatorioCalculo> rel = stb::CriaRelatorio(dm, cfg, o.analitica);
        rel->Prepara(opcao, QString());
        if (!rel->gravaPdf(saida) || !saida.commit()) {
            std::fprintf(stderr, "erro: %s: não foi possível gravar o arquivo\n", o.pdf.toUtf8().constData());
            return 1;
        }
        const QByteArray json
            = QJsonDocument(stb::impressaoParaJson(rel->impressao(), rel->paginas())).toJson(QJsonDocument::Indented);
        std::fwrite(json.constData(), 1, static_cast<size_t>(json.size()), stdout);
        std::fflush(stdout);
        return 0;
    });
}
