// stbrelva-cli nfe: stores the calculation given as JSON (the compute input),
// imports NF-e files into it through the program's import code, and prints
// per invoice and per line the ST the sender declared next to the ST this
// program computes, as JSON.
#include "app/cli.h"
#include "app/cli_entrada.h"

#include "core/datamodule.h"
#include "core/itemcalc.h"
#include "core/settings.h"
#include "entry/nfeimporta.h"
#include "platform/clock.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>
#include <stdexcept>

namespace {

const char *kUso
    = "nfe [--today AAAA-MM-DD] [--appdir PASTA] [--item ARQUIVO:N=SUBITEM]... ARQUIVO.json NFE.xml|PASTA...";

struct Escolha {
    QString arquivo; // file name as given, or its base name
    int nItem = 0;
    QString codigo;
};

struct Opcoes {
    QString entrada, appDir;
    QStringList nfes;
    QList<Escolha> escolhas;
    std::optional<QDate> hoje;
};

int leOpcoes(const QStringList &args, Opcoes &o)
{
    using cli::inputError;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (a == QLatin1String("--today")) {
            if (const int rc = cli::leOpcaoToday(args, i, o.hoje))
                return rc;
        } else if (a == QLatin1String("--appdir") || a == QLatin1String("--item")) {
            if (i + 1 >= args.size())
                return inputError(a, QStringLiteral("falta o valor da opção"));
            const QString v = args[++i];
            if (a == QLatin1String("--appdir")) {
                o.appDir = v;
                continue;
            }
            const qsizetype doisPontos = v.lastIndexOf(QLatin1Char(':'));
            const qsizetype igual = v.indexOf(QLatin1Char('='), doisPontos + 1);
            bool ok = false;
            const int n
                = doisPontos > 0 && igual > doisPontos ? v.mid(doisPontos + 1, igual - doisPontos - 1).toInt(&ok) : 0;
            if (!ok || n < 1)
                return inputError(a, QStringLiteral("esperado ARQUIVO:N=SUBITEM, encontrado \"%1\"").arg(v));
            o.escolhas << Escolha {v.left(doisPontos), n, v.mid(igual + 1)};
        } else if (a.startsWith(QLatin1String("--"))) {
            return inputError(a, QStringLiteral("opção desconhecida"));
        } else if (o.entrada.isEmpty()) {
            o.entrada = a;
        } else {
            o.nfes << a;
        }
    }
    if (o.entrada.isEmpty() || o.nfes.isEmpty())
        return inputError(QStringLiteral("NFE.xml"), QStringLiteral("faltam arquivos (%1)").arg(QLatin1String(kUso)));
    if (o.appDir.isEmpty()) {
        // The installation staged beside the tool in the build tree.
        const QString staged = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("../AppDir"));
        if (QFileInfo::exists(QDir(staged).filePath(QStringLiteral("STBrelva2.ini"))))
            o.appDir = staged;
    }
    if (o.appDir.isEmpty() || !QFileInfo::exists(QDir(o.appDir).filePath(QStringLiteral("STBrelva2.ini"))))
        return inputError(
            QStringLiteral("--appdir"), QStringLiteral("pasta de instalação sem STBrelva2.ini: \"%1\"").arg(o.appDir));
    for (const QString &f : o.nfes)
        if (!QFileInfo::exists(f))
            return inputError(f, QStringLiteral("o arquivo não existe"));
    return 0;
}

QString valor(stb::Currency c) { return c.toPlainString(2); }

QJsonObject trio(
    stb::Currency bc, stb::Currency mva, stb::Currency st, const char *nbc, const char *nmva, const char *nst)
{
    return QJsonObject {
        {QLatin1String(nbc), valor(bc)}, {QLatin1String(nmva), valor(mva)}, {QLatin1String(nst), valor(st)}};
}

} // namespace

int cli::runNfe(const QStringList &args)
{
    Opcoes o;
    if (const int rc = leOpcoes(args, o))
        return rc;

    return comCalculoArmazenado(o.entrada, o.hoje, [&](stb::TDM &dm, int printMR) {
        // The reference settings and the annex of the installation.
        stb::Settings &s = stb::Settings::instance();
        const QString appTemp = s.appDir();
        QFile::remove(QDir(appTemp).filePath(QStringLiteral("STBrelva2.ini")));
        QFile::copy(QDir(o.appDir).filePath(QStringLiteral("STBrelva2.ini")),
            QDir(appTemp).filePath(QStringLiteral("STBrelva2.ini")));
        s.openSistema(appTemp);
        // The temporary folder takes them from the installation, without the notice of a missing table.
        dm.setPristineDir(QDir(o.appDir).filePath(QStringLiteral("Sys/Dados")) + QLatin1Char('/'));
        dm.setAvisoTabelaAusente(false);

        const stb::ContextoImportacao ctx = stb::contextoImportacao(dm);
        stb::LoteNFe lote = stb::LeArquivosNFe(dm, ctx, stb::ArquivosNFe(o.nfes));
        for (const QString &e : lote.erros)
            std::fprintf(stderr, "erro: %s\n", e.toUtf8().constData());
        if (!lote.erros.isEmpty())
            return 2;

        const stb::PropostaBrelva proposta = ctx.medicamento() ? stb::PropostaBrelva() : stb::PropostaBrelva(dm);
        for (const Escolha &e : o.escolhas) {
            stb::NotaImportada *nota = nullptr;
            for (stb::NotaImportada &n : lote.notas)
                if (n.arquivo == e.arquivo || QFileInfo(n.arquivo).fileName() == e.arquivo)
                    nota = &n;
            if (!nota || e.nItem > nota->linhas.size())
                return inputError(
                    QStringLiteral("--item"), QStringLiteral("não há o item %1 em \"%2\"").arg(e.nItem).arg(e.arquivo));
            stb::EscolheBrelvaLinha(
                dm, ctx, nota->nfe.itens[e.nItem - 1], nota->linhas[e.nItem - 1], proposta.porCodigo(e.codigo));
        }
        bool abertas = false;
        for (const stb::NotaImportada &n : lote.notas)
            for (const stb::LinhaImportada &l : n.linhas)
                if (!n.duplicada && !l.problema.isEmpty()) {
                    abertas = true;
                    QStringList cands;
                    for (const stb::CandidatoBrelva &c : l.candidatos)
                        cands << c.codigo;
                    std::fprintf(stderr, "erro: %s: item %d: %s%s\n",
                        QFileInfo(n.arquivo).fileName().toUtf8().constData(), l.indice + 1,
                        l.problema.toUtf8().constData(),
                        cands.isEmpty() ? ""
                                        : (QStringLiteral(" (") + cands.join(QStringLiteral(", ")) + QLatin1Char(')'))
                                              .toUtf8()
                                              .constData());
                }
        if (abertas)
            return 2;

        const QList<int> ids = stb::GravaImportacao(dm, ctx, lote.notas);
        const stb::ContextoCalculo contexto
            = stb::contextoCalculo(dm.TabCalc, stb::fatoresMR(printMR, stb::parametrosMR()), stb::Clock::today());
        const QList<stb::ComparacaoNota> cmp = stb::ComparaImportadas(dm, contexto, ids);

        QJsonArray notas;
        int k = 0;
        for (const stb::NotaImportada &n : lote.notas) {
            QJsonObject j {{QStringLiteral("arquivo"), QFileInfo(n.arquivo).fileName()},
                {QStringLiteral("chave"), n.nfe.chave}, {QStringLiteral("nNF"), n.nfe.nNF},
                {QStringLiteral("importada"), !n.duplicada && k < ids.size()}};
            if (!n.avisos.isEmpty())
                j.insert(QStringLiteral("avisos"), QJsonArray::fromStringList(n.avisos));
            const stb::ComparacaoNota *c = nullptr;
            if (!n.duplicada && k < cmp.size())
                c = &cmp[k++];
            if (c) {
                j.insert(QStringLiteral("IdNota"), c->idNota);
                j.insert(QStringLiteral("vST"), valor(c->stDeclarado));
                j.insert(QStringLiteral("ICMSaRecolher"), valor(c->stCalculado));
                j.insert(QStringLiteral("diferenca"), valor(c->diferenca()));
                j.insert(QStringLiteral("destaca"), c->destaca());
                QJsonArray itens;
                for (const stb::ComparacaoLinha &l : c->linhas) {
                    QJsonObject li {{QStringLiteral("nItem"), l.nroItem}, {QStringLiteral("ItemBrelva"), l.itemBrelva},
                        {QStringLiteral("descricao"), l.descricao},
                        {QStringLiteral("declarado"),
                            trio(l.bcDeclarada, l.mvaDeclarada, l.stDeclarado, "vBCST", "pMVAST", "vICMSST")},
                        {QStringLiteral("calculado"),
                            trio(l.bcCalculada, l.mvaCalculada, l.stCalculado, "ValorFinal", "MVA", "ICMSaRecolher")},
                        {QStringLiteral("diferenca"),
                            trio(l.diferencaBC(), l.diferencaMVA(), l.diferencaST(), "base", "MVA", "ST")},
                        {QStringLiteral("destaca"), l.destaca()}};
                    // A line stored with its effective credit rate says so.
                    if (const QString obs = l.observacao(); !obs.isEmpty())
                        li.insert(QStringLiteral("observacao"), obs);
                    itens << li;
                }
                j.insert(QStringLiteral("itens"), itens);
            }
            notas << j;
        }
        const QByteArray json
            = QJsonDocument(QJsonObject {{QStringLiteral("notas"), notas}}).toJson(QJsonDocument::Indented);
        std::fwrite(json.constData(), 1, static_cast<size_t>(json.size()), stdout);
        std::fflush(stdout);
        return 0;
    });
}
