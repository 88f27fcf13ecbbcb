#include "outputs/exportarelatorio.h"

#include <QSaveFile>
#include <optional>
#include <utility>
#include <vector>

namespace stb {

namespace {

// One exported line: the label cell at the left, then the printed columns.
struct LinhaExportada {
    enum class Tipo { Titulo, Texto, Colunas, Valores };
    Tipo tipo = Tipo::Texto;
    QStringList textos; // Titulo/Texto: one cell each; Colunas: the titles
    QString rotulo; // Valores: the label cell
    const Celulas *celulas = nullptr;
    bool negrito = false;
};

std::vector<Coluna> colunasVisiveis(const Impressao &imp)
{
    std::vector<Coluna> out;
    for (int c = 0; c < NumColunas; ++c)
        if (imp.colunas[static_cast<size_t>(c)].visivel)
            out.push_back(static_cast<Coluna>(c));
    return out;
}

QString umaLinha(QString s)
{
    return s.replace(QLatin1String("\r\n"), QLatin1String(" ")).replace(QLatin1Char('\r'), QLatin1Char(' '));
}

QString rotuloDe(const LinhaImpressa &l) { return QString(l.rotulo + QLatin1Char(' ') + l.nome).trimmed(); }

// The report as a list of lines, in printing order.
std::vector<LinhaExportada> linhas(const Impressao &imp, const std::vector<Coluna> &cols)
{
    std::vector<LinhaExportada> out;
    auto texto = [&out](QStringList t, bool negrito = false) {
        t.removeAll(QString());
        if (!t.isEmpty())
            out.push_back({LinhaExportada::Tipo::Texto, std::move(t), {}, nullptr, negrito});
    };
    auto valores = [&out](const QString &rotulo, const Celulas &c, bool negrito) {
        out.push_back({LinhaExportada::Tipo::Valores, {}, rotulo, &c, negrito});
    };
    auto linha = [&](const LinhaImpressa &l, bool negrito) {
        valores(rotuloDe(l), l.celulas, negrito);
        if (l.fem)
            valores(QStringLiteral("FEM:"), *l.fem, negrito);
        if (!l.regimes.isEmpty())
            texto({l.regimes});
    };

    out.push_back({LinhaExportada::Tipo::Titulo, {imp.titulo}, {}, nullptr, true});
    texto({imp.unidade});
    texto({QStringLiteral("Cálculo: ") + imp.idCalculo, QStringLiteral("Data: ") + imp.data,
        QStringLiteral("MASP: ") + imp.masp});
    texto({imp.rotuloDIFAL}, true);

    QStringList titulos;
    for (Coluna c : cols)
        titulos << umaLinha(imp.colunas[static_cast<size_t>(c)].titulo);
    out.push_back({LinhaExportada::Tipo::Colunas, titulos, {}, nullptr, true});

    for (const NotaImpressa &n : imp.notas) {
        texto({n.textoNF, n.textoFrete, n.textoRem, n.textoDest}, true);
        for (const LinhaImpressa &l : n.itens)
            linha(l, false);
        if (n.total)
            linha(*n.total, true);
    }
    for (const ResumoImpresso &r : imp.resumos) {
        if (!r.visivel)
            continue;
        for (const LinhaImpressa &l : r.linhas)
            linha(l, false);
        linha(r.total, true);
    }
    if (imp.mostraCodigos) {
        if (!imp.medicamento) {
            texto({QStringLiteral("Código Receita: ") + imp.codReceita});
            texto({QStringLiteral("Código Ocorrência: ") + umaLinha(imp.codOcorrencia)});
            texto({QStringLiteral("Código Mercadoria: ") + imp.codMercadoria.join(QLatin1String("; "))});
        } else {
            texto({QStringLiteral("Códigos -> Ocorrência: ") + umaLinha(imp.codOcorrencia)});
            texto({QStringLiteral("Mercadoria: ") + imp.codMercadoria.join(QLatin1String("; "))});
            texto({QStringLiteral("Códigos -> Receita: ") + imp.codReceita});
            if (imp.avisoMultaIsolada)
                texto({QStringLiteral("ATENÇÃO: VERIFICAR INCIDÊNCIA DE MULTA ISOLADA")}, true);
            texto({imp.baseNegrito}, true);
            texto({imp.baseLinha});
        }
    }
    texto({imp.rodape});
    return out;
}

// ---- RTF ----------------------------------------------------------------------------

// The Windows-1252 byte of a character, or 0 when it has none (the fallback
// byte readers without Unicode show).
unsigned char byte1252(char16_t u)
{
    if (u >= 0xA0 && u <= 0xFF)
        return static_cast<unsigned char>(u);
    static const std::pair<char16_t, unsigned char> extras[] = {{0x20AC, 0x80}, {0x201A, 0x82}, {0x0192, 0x83},
        {0x201E, 0x84}, {0x2026, 0x85}, {0x2020, 0x86}, {0x2021, 0x87}, {0x02C6, 0x88}, {0x2030, 0x89}, {0x0160, 0x8A},
        {0x2039, 0x8B}, {0x0152, 0x8C}, {0x017D, 0x8E}, {0x2018, 0x91}, {0x2019, 0x92}, {0x201C, 0x93}, {0x201D, 0x94},
        {0x2022, 0x95}, {0x2013, 0x96}, {0x2014, 0x97}, {0x02DC, 0x98}, {0x2122, 0x99}, {0x0161, 0x9A}, {0x203A, 0x9B},
        {0x0153, 0x9C}, {0x017E, 0x9E}, {0x0178, 0x9F}};
    for (const auto &[c, b] : extras)
        if (c == u)
            return b;
    return 0;
}

// Text escaped for RTF: the three special characters, line breaks, and every
// character outside ASCII as a Unicode escape (UTF-16 units, signed) followed
// by its Windows-1252 byte, or "?" when it has none.
QByteArray rtfTexto(const QString &s)
{
    QByteArray out;
    out.reserve(s.size() + 8);
    for (qsizetype i = 0; i < s.size(); ++i) {
        const char16_t u = s.at(i).unicode();
        if (u == u'\r') {
            if (i + 1 < s.size() && s.at(i + 1) == QLatin1Char('\n'))
                ++i;
            out += "\\line ";
        } else if (u == u'\n') {
            out += "\\line ";
        } else if (u == u'\\' || u == u'{' || u == u'}') {
            out += '\\';
            out += static_cast<char>(u);
        } else if (u == u'\t') {
            out += "\\tab ";
        } else if (u < 0x20) {
            continue;
        } else if (u < 0x80) {
            out += static_cast<char>(u);
        } else {
            out += "\\u" + QByteArray::number(static_cast<qint16>(u));
            if (const unsigned char b = byte1252(u))
                out += "\\'" + QByteArray::number(b, 16).rightJustified(2, '0');
            else
                out += '?';
        }
    }
    return out;
}

// A4 landscape with 1 cm margins: 15704 twips of text width.
constexpr int kLarguraUtil = 16838 - 2 * 567;
constexpr int kLarguraRotulo = 2600;

void rtfLinhaTabela(
    QByteArray &out, const QString &rotulo, const QList<QString> &textos, const QList<bool> &direita, bool negrito)
{
    const int n = static_cast<int>(textos.size());
    const int larguraColuna = n ? (kLarguraUtil - kLarguraRotulo) / n : 0;
    out += "\\trowd\\trgaph40\\trleft0";
    int x = kLarguraRotulo;
    out += "\\cellx" + QByteArray::number(x);
    for (int i = 0; i < n; ++i) {
        x += larguraColuna;
        out += "\\cellx" + QByteArray::number(x);
    }
    out += '\n';
    auto celula = [&](const QString &t, bool dir) {
        out += "\\pard\\intbl";
        out += dir ? "\\qr" : "\\ql";
        out += negrito ? "\\b " : "\\b0 ";
        out += rtfTexto(t);
        out += "\\cell\n";
    };
    celula(rotulo, false);
    for (int i = 0; i < n; ++i)
        celula(textos.at(i), direita.value(i));
    out += "\\row\n";
}

bool grava(const QString &arquivo, const QByteArray &dados, QString *erro)
{
    QSaveFile f(arquivo);
    if (!f.open(QIODevice::WriteOnly) || f.write(dados) != dados.size() || !f.commit()) {
        if (erro)
            *erro = QStringLiteral("Não foi possível gravar o arquivo \"%1\": %2").arg(arquivo, f.errorString());
        return false;
    }
    return true;
}

} // namespace

std::optional<XlsWorkbook> PlanilhaRelatorio(const Impressao &imp, QString *erro)
{
    const std::vector<Coluna> cols = colunasVisiveis(imp);
    const std::vector<LinhaExportada> todas = linhas(imp, cols);
    if (todas.size() > static_cast<size_t>(XlsWorkbook::MaxRows)) {
        if (erro)
            *erro = QStringLiteral("A memória de cálculo tem %1 linhas; uma planilha comporta no máximo %2.")
                        .arg(todas.size())
                        .arg(XlsWorkbook::MaxRows);
        return std::nullopt;
    }
    XlsWorkbook book;
    const int negrito = book.addFont({QStringLiteral("Arial"), 10, true});
    const int titulo = book.addFont({QStringLiteral("Arial"), 12, true});
    const int s = book.addSheet(QStringLiteral("Memória de Cálculo"));
    book.setColumnWidth(s, 0, 40);
    for (int c = 1; c <= static_cast<int>(cols.size()); ++c)
        book.setColumnWidth(s, c, 14);

    int row = 0;
    for (const LinhaExportada &l : todas) {
        const int fonte = l.negrito ? negrito : 0;
        switch (l.tipo) {
        case LinhaExportada::Tipo::Titulo:
            book.setText(s, row, 0, l.textos.value(0), titulo);
            break;
        case LinhaExportada::Tipo::Texto:
            for (int c = 0; c < l.textos.size(); ++c)
                book.setText(s, row, c, l.textos.at(c), fonte);
            break;
        case LinhaExportada::Tipo::Colunas:
            for (int c = 0; c < l.textos.size(); ++c)
                book.setText(s, row, c + 1, l.textos.at(c), fonte);
            break;
        case LinhaExportada::Tipo::Valores:
            if (!l.rotulo.isEmpty())
                book.setText(s, row, 0, l.rotulo, fonte);
            for (size_t c = 0; c < cols.size(); ++c) {
                const Celula &cel = (*l.celulas)[static_cast<size_t>(cols[c])];
                const int col = static_cast<int>(c) + 1;
                if (cel.valor)
                    book.setNumber(s, row, col, cel.valor->toDouble(), fonte);
                else if (!cel.texto.isEmpty())
                    book.setText(s, row, col, cel.texto, fonte);
            }
            break;
        }
        ++row;
    }
    return book;
}

QByteArray RtfRelatorio(const Impressao &imp)
{
    const std::vector<Coluna> cols = colunasVisiveis(imp);
    QByteArray out = "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1\n{\\fonttbl{\\f0\\fswiss Arial;}}\n"
                     "\\paperw16838\\paperh11906\\landscape\\margl567\\margr567\\margt567\\margb567\n\\f0\\fs16\n";
    for (const LinhaExportada &l : linhas(imp, cols)) {
        switch (l.tipo) {
        case LinhaExportada::Tipo::Titulo:
            out += "\\pard\\plain\\f0\\fs24\\b " + rtfTexto(l.textos.value(0)) + "\\b0\\fs16\\par\n";
            break;
        case LinhaExportada::Tipo::Texto:
            out += "\\pard\\plain\\f0\\fs16";
            out += l.negrito ? "\\b " : " ";
            out += rtfTexto(l.textos.join(QLatin1String("   ")));
            out += l.negrito ? "\\b0\\par\n" : "\\par\n";
            break;
        case LinhaExportada::Tipo::Colunas:
            rtfLinhaTabela(out, QString(), l.textos, {}, true);
            break;
        case LinhaExportada::Tipo::Valores: {
            QStringList textos;
            QList<bool> direita;
            for (Coluna c : cols) {
                const Celula &cel = (*l.celulas)[static_cast<size_t>(c)];
                textos << cel.texto;
                direita << cel.valor.has_value();
            }
            rtfLinhaTabela(out, l.rotulo, textos, direita, l.negrito);
            break;
        }
        }
    }
    out += "\\pard\\par\n}\n";
    return out;
}

bool GravaPlanilhaRelatorio(const Impressao &imp, const QString &arquivo, QString *erro)
{
    std::optional<XlsWorkbook> book = PlanilhaRelatorio(imp, erro);
    if (!book)
        return false;
    if (!book->save(arquivo)) {
        if (erro)
            *erro = QStringLiteral("Não foi possível gravar o arquivo \"%1\": %2").arg(arquivo, book->errorString());
        return false;
    }
    return true;
}

bool GravaRtfRelatorio(const Impressao &imp, const QString &arquivo, QString *erro)
{
    return grava(arquivo, RtfRelatorio(imp), erro);
}

} // namespace stb
