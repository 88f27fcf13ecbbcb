#include "outputs/comparanfe.h"

#include "core/datamodule.h"
#include "platform/clock.h"
#include "platform/formatting.h"
#include "platform/xlswriter.h"

namespace stb {

using rep::Alinha;
using rep::Banda;
using rep::Elemento;

namespace {

constexpr double kLinha = 3.5;
constexpr double kRegraFinaComparacao = 0.1;
// Widths of the columns, mm; the description takes what the others leave.
constexpr std::array<double, NumColunasComparacao> kLarguras = {16, 7, 18, 0, 20, 20, 18, 14, 15, 16, 20, 20, 18};

QString fmt(const char *formato, Currency v) { return Format(QString::fromLatin1(formato), {v.toDouble()}); }

bool colunaValor(int c) { return c >= CmpBCDeclarada; }
bool colunaMVA(int c) { return c >= CmpMVADeclarada && c <= CmpMVADiferenca; }
bool colunaDiferenca(int c) { return c == CmpBCDiferenca || c == CmpMVADiferenca || c == CmpSTDiferenca; }

void poe(LinhaComparacaoImpressa &l, int c, Currency v)
{
    const auto k = static_cast<size_t>(c);
    l.valores[k] = v;
    l.textos[k] = colunaMVA(c) ? fmt("%g%%", v) : fmt("%n", v);
    if (colunaDiferenca(c) && !colunaMVA(c))
        l.destaque[k] = DiferencaRelevante(v);
}

void poeTexto(LinhaComparacaoImpressa &l, int c, const QString &t) { l.textos[static_cast<size_t>(c)] = t; }

} // namespace

QString tituloColunaComparacao(int coluna)
{
    static const char *const kTitulos[] = {"NF", "#", "SubItem", "Descrição", "BC/ST NF-e", "BC/ST calculada",
        "Diferença", "MVA NF-e", "MVA calculada", "Diferença", "ICMS/ST NF-e", "ICMS/ST calculado", "Diferença"};
    static_assert(std::size(kTitulos) == NumColunasComparacao);
    return QString::fromUtf8(kTitulos[coluna]);
}

bool DeclaraST(const ComparacaoNota &n)
{
    if (!n.stDeclarado.isZero())
        return true;
    for (const ComparacaoLinha &l : n.linhas)
        if (!l.stDeclarado.isZero())
            return true;
    return false;
}

std::vector<LinhaComparacaoImpressa> LinhasComparacao(const QList<ComparacaoNota> &notas)
{
    std::vector<LinhaComparacaoImpressa> out;
    Currency declarado, calculado;
    for (const ComparacaoNota &n : notas) {
        if (!DeclaraST(n))
            continue;
        LinhaComparacaoImpressa cab;
        cab.tipo = LinhaComparacaoImpressa::Tipo::Nota;
        poeTexto(cab, CmpNF, n.nroNF);
        poeTexto(cab, CmpDescricao, QStringLiteral("Rem: ") + n.remetente);
        poe(cab, CmpSTDeclarado, n.stDeclarado);
        poe(cab, CmpSTCalculado, n.stCalculado);
        poe(cab, CmpSTDiferenca, n.diferenca());
        out.push_back(cab);
        for (const ComparacaoLinha &l : n.linhas) {
            LinhaComparacaoImpressa li;
            poeTexto(li, CmpItem, QString::number(l.nroItem));
            poeTexto(li, CmpSubItem, l.itemBrelva);
            poeTexto(li, CmpDescricao, l.descricao);
            poe(li, CmpBCDeclarada, l.bcDeclarada);
            poe(li, CmpBCCalculada, l.bcCalculada);
            poe(li, CmpBCDiferenca, l.diferencaBC());
            poe(li, CmpMVADeclarada, l.mvaDeclarada);
            poe(li, CmpMVACalculada, l.mvaCalculada);
            poe(li, CmpMVADiferenca, l.diferencaMVA());
            poe(li, CmpSTDeclarado, l.stDeclarado);
            poe(li, CmpSTCalculado, l.stCalculado);
            poe(li, CmpSTDiferenca, l.diferencaST());
            out.push_back(li);
            // A line stored with another credit rate than the invoice's says
            // so on a row of its own, under its description.
            if (const QString obs = l.observacao(); !obs.isEmpty()) {
                LinhaComparacaoImpressa nota;
                poeTexto(nota, CmpDescricao, obs);
                out.push_back(nota);
            }
        }
        declarado += n.stDeclarado;
        calculado += n.stCalculado;
    }
    if (out.empty())
        return out;
    LinhaComparacaoImpressa total;
    total.tipo = LinhaComparacaoImpressa::Tipo::Total;
    poeTexto(total, CmpNF, QStringLiteral("Total"));
    poe(total, CmpSTDeclarado, declarado);
    poe(total, CmpSTCalculado, calculado);
    poe(total, CmpSTDiferenca, calculado - declarado);
    out.push_back(total);
    return out;
}

// ===== the report section ===============================================================

struct SecaoComparacaoNFe::Bandas {
    rep::FonteFuncao fonte;
    rep::SubRelatorio sub;
    std::array<double, NumColunasComparacao> x {}, w {};
    int linha = 0;
    explicit Bandas(const std::vector<LinhaComparacaoImpressa> &linhas)
        : fonte([&linhas] { return static_cast<int>(linhas.size()); }, [this](int i) { linha = i; })
    {
    }
};

SecaoComparacaoNFe::SecaoComparacaoNFe() = default;
SecaoComparacaoNFe::~SecaoComparacaoNFe() = default;

void SecaoComparacaoNFe::prepara(TDM &dm, const FatoresMR &fatores)
{
    const ContextoCalculo contexto = contextoCalculo(dm.TabCalc, fatores, Clock::today());
    m_linhas = LinhasComparacao(ComparaImportadas(dm, contexto));
}

void SecaoComparacaoNFe::monta(rep::RelatorioBandas &rel, double largura)
{
    m_bandas.reset();
    if (m_linhas.empty())
        return;
    m_bandas = std::make_unique<Bandas>(m_linhas);
    Bandas &b = *m_bandas;
    double fixas = 0;
    for (double w : kLarguras)
        fixas += w;
    double x = 0;
    for (int c = 0; c < NumColunasComparacao; ++c) {
        const auto k = static_cast<size_t>(c);
        b.w[k] = c == CmpDescricao ? std::max(20.0, largura - fixas) : kLarguras[k];
        b.x[k] = x;
        x += b.w[k];
    }
    const QFont f8 = rep::fonteRelatorio(8);
    const QFont f8b = rep::fonteRelatorio(8, true);
    auto regra = [largura](double y, double espessura) {
        Elemento e;
        e.tipo = Elemento::Tipo::Linha;
        e.area = QRectF(0, y, largura, 0);
        e.espessura = espessura;
        return e;
    };
    auto alinha = [](int c) {
        if (c == CmpItem)
            return Alinha::Centro;
        return colunaValor(c) ? Alinha::Direita : Alinha::Esquerda;
    };

    // Head: the title, the legend and the column captions.
    Banda &cab = b.sub.cabecalho;
    cab.altura = 4 + 6 + kLinha * 2 + 1;
    {
        Elemento t;
        t.tipo = Elemento::Tipo::Texto;
        t.area = QRectF(0, 4, largura * 0.6, 5.5);
        t.fonte = rep::fonteRelatorio(10, true);
        t.texto = QStringLiteral("ICMS/ST destacado nas NF-e importadas x ICMS/ST calculado");
        cab.add(t);
        Elemento legenda = t;
        legenda.area = QRectF(largura * 0.6, 4.8, largura * 0.4, kLinha);
        legenda.fonte = f8;
        legenda.alinha = Alinha::Direita;
        legenda.texto = QStringLiteral("Diferenças acima de R$ 0,01 em negrito e emolduradas");
        cab.add(legenda);
    }
    cab.add(regra(10, 0.3));
    for (int c = 0; c < NumColunasComparacao; ++c) {
        const auto k = static_cast<size_t>(c);
        Elemento e;
        e.tipo = Elemento::Tipo::Memo;
        e.cresce = false;
        e.area = QRectF(b.x[k] + 0.2, 10.2, std::max(0.0, b.w[k] - 0.4), kLinha * 2);
        e.fonte = f8b;
        e.alinha = c == CmpDescricao ? Alinha::Esquerda : Alinha::Centro;
        e.texto = tituloColunaComparacao(c);
        cab.add(e);
    }
    cab.add(regra(10.2 + kLinha * 2 + 0.4, kRegraFinaComparacao));

    // A row: the cells, a frame per highlighted difference, a closing rule.
    Banda &det = b.sub.detalhe;
    det.altura = kLinha + 0.4;
    for (int c = 0; c < NumColunasComparacao; ++c) {
        const auto k = static_cast<size_t>(c);
        Elemento e;
        e.area = QRectF(b.x[k] + 0.4, 0.1, std::max(0.0, b.w[k] - 0.8), kLinha);
        e.fonte = f8;
        e.alinha = alinha(c);
        det.add(e);
    }
    for (int c = 0; c < NumColunasComparacao; ++c) {
        const auto k = static_cast<size_t>(c);
        Elemento m;
        m.tipo = Elemento::Tipo::Moldura;
        m.area = QRectF(b.x[k] + 0.1, 0, std::max(0.0, b.w[k] - 0.2), kLinha + 0.2);
        m.espessura = 0.25;
        m.visivel = false;
        det.add(m);
    }
    det.add(regra(kLinha + 0.3, kRegraFinaComparacao));
    det.antesDeImprimir = [this, f8, f8b](Banda &band) {
        const LinhaComparacaoImpressa &l = m_linhas[static_cast<size_t>(m_bandas->linha)];
        const bool negritoLinha = l.tipo != LinhaComparacaoImpressa::Tipo::Item;
        for (int c = 0; c < NumColunasComparacao; ++c) {
            const auto k = static_cast<size_t>(c);
            Elemento &e = band.elementos[k];
            e.texto = l.textos[k];
            e.fonte = negritoLinha || l.destaque[k] ? f8b : f8;
            band.elementos[k + NumColunasComparacao].visivel = l.destaque[k];
        }
        // An invoice row carries the sender across the line columns.
        Elemento &descricao = band.elementos[CmpDescricao];
        descricao.area.setWidth(negritoLinha ? m_bandas->x[CmpSTDeclarado] - m_bandas->x[CmpDescricao] - 0.8
                                             : m_bandas->w[CmpDescricao] - 0.8);
        // A rule above each invoice and the total, a fine one between lines.
        band.elementos.back().espessura = l.tipo == LinhaComparacaoImpressa::Tipo::Item ? kRegraFinaComparacao : 0.2;
    };
    b.sub.dados = &b.fonte;
    rel.subResumo.push_back(&b.sub);
}

// ===== the spreadsheet ======================================================================

XlsWorkbook PlanilhaComparacaoNFe(const QList<ComparacaoNota> &notas)
{
    XlsWorkbook book;
    const int negrito = book.addFont({QStringLiteral("Arial"), 10, true});
    const int sheet = book.addSheet(QStringLiteral("Comparação NF-e"));
    book.setText(sheet, 0, 0, QStringLiteral("ICMS/ST destacado nas NF-e importadas x ICMS/ST calculado"), negrito);
    for (int c = 0; c < NumColunasComparacao; ++c) {
        book.setText(sheet, 2, c, tituloColunaComparacao(c), negrito);
        book.setColumnWidth(sheet, c, c == CmpDescricao ? 40 : (c == CmpItem ? 5 : 14));
    }
    int row = 3;
    for (const LinhaComparacaoImpressa &l : LinhasComparacao(notas)) {
        if (row >= XlsWorkbook::MaxRows)
            break;
        const bool linhaNegrito = l.tipo != LinhaComparacaoImpressa::Tipo::Item;
        for (int c = 0; c < NumColunasComparacao; ++c) {
            const auto k = static_cast<size_t>(c);
            const int fonte = linhaNegrito || l.destaque[k] ? negrito : 0;
            if (l.valores[k]) {
                const double v = l.valores[k]->toDouble();
                if (colunaMVA(c))
                    book.setPercent(sheet, row, c, v, fonte);
                else
                    book.setCurrency(sheet, row, c, v, fonte);
            } else if (!l.textos[k].isEmpty()) {
                book.setText(sheet, row, c, l.textos[k], fonte);
            }
        }
        ++row;
    }
    return book;
}

bool GravaPlanilhaComparacaoNFe(const QList<ComparacaoNota> &notas, const QString &arquivo, QString *erro)
{
    XlsWorkbook book = PlanilhaComparacaoNFe(notas);
    if (book.save(arquivo))
        return true;
    if (erro)
        *erro = book.errorString();
    return false;
}

} // namespace stb
