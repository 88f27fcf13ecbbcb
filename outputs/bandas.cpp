#include "outputs/bandas.h"

#include <QGlyphRun>
#include <QHash>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QRawFont>
#include <algorithm>
#include <array>
#include <cmath>
#include <stdexcept>

namespace stb::rep {

namespace {

// Layout units: 1440 per inch, so that every whole point size is a whole
// number of units (20 per point).
constexpr double kUnidades = 1440.0;
constexpr double kPorMm = kUnidades / 25.4;
constexpr double kMinEscala = 0.7; // a text line shrinks at most to 70 % of its size

double mmParaU(double mm) { return mm * kPorMm; }
double uParaMm(double u) { return u / kPorMm; }

// A font at layout size: its glyphs and their advances, cached per character.
class Metrica {
public:
    explicit Metrica(const QFont &fonte)
    {
        QFont f = fonte;
        f.setHintingPreference(QFont::PreferNoHinting);
        f.setPixelSize(std::max(1, qRound(fonte.pointSizeF() * kUnidades / 72.0)));
        m_fonte = f;
        m_raw = QRawFont::fromFont(f);
        m_raw.setPixelSize(fonte.pointSizeF() * kUnidades / 72.0);
        m_ascent = m_raw.ascent();
        m_descent = m_raw.descent();
        m_leading = m_raw.leading();
    }

    struct Glifo {
        quint32 indice = 0;
        double avanco = 0;
        bool lido = false;
    };

    // Glyph of a character; index 0 means the font lacks it.
    const Glifo &glifo(QChar c)
    {
        const char16_t u = c.unicode();
        Glifo *g;
        if (u < m_rapidos.size()) {
            g = &m_rapidos[u];
        } else {
            g = &m_outros[u];
        }
        if (!g->lido) {
            g->lido = true;
            const QList<quint32> idx = m_raw.glyphIndexesForString(QString(c));
            if (idx.size() == 1 && !c.isSurrogate()) {
                g->indice = idx.first();
                const QList<QPointF> adv = m_raw.advancesForGlyphIndexes(idx, QRawFont::UseDesignMetrics);
                g->avanco = adv.isEmpty() ? 0 : adv.first().x();
            }
        }
        return *g;
    }

    // Width in layout units, or -1 when a character has no glyph of its own.
    double largura(const QString &texto)
    {
        double w = 0;
        for (QChar c : texto) {
            const Glifo &g = glifo(c);
            if (g.indice == 0)
                return -1;
            w += g.avanco;
        }
        return w;
    }

    double larguraSegura(const QString &texto)
    {
        const double w = largura(texto);
        if (w >= 0)
            return w;
        return QFontMetricsF(m_fonte).horizontalAdvance(texto);
    }

    double ascent() const { return m_ascent; }
    double descent() const { return m_descent; }
    double linha() const { return m_ascent + m_descent + m_leading; }
    const QRawFont &raw() const { return m_raw; }
    const QFont &fonte() const { return m_fonte; }

private:
    QFont m_fonte;
    QRawFont m_raw;
    double m_ascent = 0, m_descent = 0, m_leading = 0;
    std::array<Glifo, 0x180> m_rapidos{};
    QHash<char16_t, Glifo> m_outros;
};

QString chaveFonte(const QFont &f)
{
    return f.family() + QLatin1Char('|') + QString::number(f.pointSizeF(), 'f', 2) + QLatin1Char('|')
        + QString::number(f.weight()) + QLatin1Char('|') + QString::number(f.italic());
}

Metrica &metrica(const QFont &f)
{
    // Bands copy their fonts from a few templates: copies share the font's
    // data, so the last fonts seen answer most calls without building a key.
    struct Recente {
        QFont fonte;
        Metrica *m = nullptr;
    };
    static std::array<Recente, 8> recentes;
    static size_t proximo = 0;
    for (const Recente &r : recentes)
        if (r.m && f.isCopyOf(r.fonte))
            return *r.m;
    static QHash<QString, std::shared_ptr<Metrica>> cache;
    const QString k = chaveFonte(f);
    auto it = cache.find(k);
    if (it == cache.end())
        it = cache.insert(k, std::make_shared<Metrica>(f));
    recentes[proximo] = {f, it->get()};
    proximo = (proximo + 1) % recentes.size();
    return **it;
}

// Lines of a memo: its paragraphs, each broken at spaces to fit the width
// (a word longer than the width stands alone on its line).
QStringList quebraLinhas(Metrica &m, const QString &texto, double largura)
{
    QStringList out;
    QString t = texto;
    t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    const double espaco = m.larguraSegura(QStringLiteral(" "));
    for (const QString &par : t.split(QLatin1Char('\n'))) {
        QString linha;
        double w = 0;
        for (const QString &palavra : par.split(QLatin1Char(' '))) {
            const double pw = m.larguraSegura(palavra);
            if (!linha.isEmpty() && w + espaco + pw > largura) {
                out << linha;
                linha = palavra;
                w = pw;
            } else {
                if (!linha.isEmpty()) {
                    linha += QLatin1Char(' ');
                    w += espaco;
                }
                linha += palavra;
                w += pw;
            }
        }
        out << linha;
    }
    return out;
}

// A band as laid out: its height and the elements left to paint, their texts resolved.
struct ElementoImpresso {
    Elemento::Tipo tipo;
    QRectF area; // mm, relative to the band
    QString texto;
    QStringList linhas; // memos
    QFont fonte;
    Alinha alinha;
    double espessura;
    bool soNaTela;
    bool cresce;
};

struct BandaImpressa {
    double altura = 0;
    std::vector<ElementoImpresso> elementos;
};

BandaImpressa congela(const Banda &b)
{
    BandaImpressa out;
    out.altura = b.altura;
    struct Memo {
        double topo, fundo, delta;
    };
    std::vector<Memo> memos;
    std::vector<double> topos; // designed top of each element kept
    out.elementos.reserve(b.elementos.size());
    for (const Elemento &e : b.elementos) {
        if (!e.visivel)
            continue;
        ElementoImpresso ei{e.tipo, e.area, QString(), {}, e.fonte, e.alinha, e.espessura, e.soNaTela, e.cresce};
        if (e.tipo == Elemento::Tipo::Memo && !e.cresce) {
            if (e.texto.isEmpty())
                continue;
            ei.linhas = quebraLinhas(metrica(e.fonte), e.texto, mmParaU(e.area.width()));
        } else if (e.tipo == Elemento::Tipo::Memo) {
            double h = 0;
            if (!e.texto.isEmpty()) {
                Metrica &m = metrica(e.fonte);
                ei.linhas = quebraLinhas(m, e.texto, mmParaU(e.area.width()));
                h = uParaMm(m.linha() * static_cast<double>(ei.linhas.size()));
            }
            memos.push_back({e.area.top(), e.area.bottom(), h - e.area.height()});
            ei.area.setHeight(h);
            if (h <= 0)
                continue;
        } else if (e.tipo == Elemento::Tipo::Texto) {
            if (e.texto.isEmpty())
                continue;
            ei.texto = e.texto;
        }
        topos.push_back(e.area.top());
        out.elementos.push_back(std::move(ei));
    }
    // Whatever lies below memos moves by the largest change of the memos
    // above it (each memo itself moved by those above it), in designed positions.
    if (!memos.empty()) {
        std::sort(memos.begin(), memos.end(), [](const Memo &a, const Memo &b) { return a.topo < b.topo; });
        std::vector<double> movido(memos.size(), 0.0); // how far each memo's top moved
        auto desloca = [&](double y, size_t ate) {
            bool algum = false;
            double d = 0;
            for (size_t j = 0; j < ate; ++j)
                if (memos[j].fundo <= y + 1e-9) {
                    const double dj = movido[j] + memos[j].delta;
                    d = algum ? std::max(d, dj) : dj;
                    algum = true;
                }
            return d;
        };
        for (size_t i = 0; i < memos.size(); ++i)
            movido[i] = desloca(memos[i].topo, i);
        std::vector<double> desl(out.elementos.size());
        for (size_t k = 0; k < out.elementos.size(); ++k)
            desl[k] = desloca(topos[k], memos.size());
        for (size_t k = 0; k < out.elementos.size(); ++k)
            out.elementos[k].area.translate(0, desl[k]);
        out.altura = std::max(0.0, out.altura + desloca(out.altura, memos.size()));
    }
    return out;
}

// Paints texts, rules and frames in layout units. On a PDF the texts of a
// page are gathered into one glyph run per font and drawn at the page's end
// (the PDF engine's cost is per call); other devices get plain text calls.
class Pintor {
public:
    Pintor(QPainter &p, bool glifos) : m_p(p), m_glifos(glifos) {}

    void texto(const QString &t, const QFont &fonte, double x, double baseline)
    {
        Metrica &m = metrica(fonte);
        if (m_glifos && m.largura(t) >= 0) {
            Lote &l = lote(&m);
            double xx = x;
            for (QChar c : t) {
                const Metrica::Glifo &g = m.glifo(c);
                l.indices.append(g.indice);
                l.posicoes.append(QPointF(std::round(xx), std::round(baseline)));
                xx += g.avanco;
            }
            return;
        }
        m_p.setFont(m.fonte());
        m_p.drawText(QPointF(x, baseline), t);
    }

    void linha(double x1, double x2, double y, double espessura)
    {
        m_p.setPen(QPen(Qt::black, mmParaU(espessura), Qt::SolidLine, Qt::FlatCap));
        m_p.drawLine(QPointF(x1, y), QPointF(x2, y));
    }

    void moldura(const QRectF &r, double espessura)
    {
        m_p.setPen(QPen(Qt::black, mmParaU(espessura), Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
        m_p.setBrush(Qt::NoBrush);
        m_p.drawRect(r);
    }

    void descarrega()
    {
        for (auto &[m, lote] : m_lotes) {
            if (lote.indices.isEmpty())
                continue;
            QGlyphRun run;
            run.setRawFont(m->raw());
            run.setGlyphIndexes(lote.indices);
            run.setPositions(lote.posicoes);
            m_p.drawGlyphRun(QPointF(0, 0), run);
            lote.indices.clear();
            lote.posicoes.clear();
        }
    }

private:
    struct Lote {
        QList<quint32> indices;
        QList<QPointF> posicoes;
    };
    QPainter &m_p;
    bool m_glifos;
    // Few fonts per page: a short list beats a map.
    std::vector<std::pair<Metrica *, Lote>> m_lotes;
    Lote &lote(Metrica *m)
    {
        for (auto &p : m_lotes)
            if (p.first == m)
                return p.second;
        m_lotes.emplace_back(m, Lote{});
        return m_lotes.back().second;
    }
};

void pintaBanda(Pintor &pintor, const BandaImpressa &b, double topoMm, bool tela)
{
    for (const ElementoImpresso &e : b.elementos) {
        if (e.soNaTela && !tela)
            continue;
        const QRectF a(mmParaU(e.area.left()), mmParaU(topoMm + e.area.top()), mmParaU(e.area.width()),
                       mmParaU(e.area.height()));
        switch (e.tipo) {
        case Elemento::Tipo::Linha:
            pintor.linha(a.left(), a.right(), a.top(), e.espessura);
            break;
        case Elemento::Tipo::Moldura:
            pintor.moldura(a, e.espessura);
            break;
        case Elemento::Tipo::Texto: {
            // A text wider than its area takes a smaller size, in steps of 5 %.
            QFont fonte = e.fonte;
            Metrica *m = &metrica(fonte);
            double tw = m->larguraSegura(e.texto);
            if (tw > a.width() && tw > 0) {
                const double escala = std::max(kMinEscala, std::floor(a.width() / tw * 20) / 20);
                fonte.setPointSizeF(e.fonte.pointSizeF() * escala);
                m = &metrica(fonte);
                tw = m->larguraSegura(e.texto);
            }
            const double base = a.top() + (a.height() - (m->ascent() + m->descent())) / 2 + m->ascent();
            double x = a.left();
            if (e.alinha == Alinha::Direita)
                x = a.right() - tw;
            else if (e.alinha == Alinha::Centro)
                x = a.left() + (a.width() - tw) / 2;
            pintor.texto(e.texto, fonte, x, base);
            break;
        }
        case Elemento::Tipo::Memo: {
            Metrica &m = metrica(e.fonte);
            double base = a.top() + m.ascent();
            if (!e.cresce) // centred in its fixed area
                base += (a.height() - m.linha() * static_cast<double>(e.linhas.size())) / 2;
            for (const QString &l : e.linhas) {
                const double tw = m.larguraSegura(l);
                double x = a.left();
                if (e.alinha == Alinha::Direita)
                    x = a.right() - tw;
                else if (e.alinha == Alinha::Centro)
                    x = a.left() + (a.width() - tw) / 2;
                pintor.texto(l, e.fonte, x, base);
                base += m.linha();
            }
            break;
        }
        }
    }
}

} // namespace

// ===== Banda =========================================================================

Elemento &Banda::add(Elemento e)
{
    elementos.push_back(std::move(e));
    return elementos.back();
}

Elemento *Banda::find(const QString &nome)
{
    for (Elemento &e : elementos)
        if (e.nome == nome)
            return &e;
    return nullptr;
}

Elemento &Banda::el(const QString &nome)
{
    if (Elemento *e = find(nome))
        return *e;
    throw std::out_of_range("report band element not found: " + nome.toStdString());
}

void Banda::setTexto(const QString &nome, const QString &texto) { el(nome).texto = texto; }
void Banda::setVisivel(const QString &nome, bool visivel) { el(nome).visivel = visivel; }

// ===== RelatorioBandas ================================================================

struct RelatorioBandas::Impl {
    struct Colocada {
        BandaImpressa banda;
        int pagina;
        double y; // mm from the top of the content area
    };
    std::vector<Colocada> fluxo;
    std::vector<BandaPosicionada> posicoes;
    int paginas = 0;
    bool preparado = false;
    double alturaCabecalho = 0, alturaRodape = 0, alturaUtil = 0;
};

RelatorioBandas::RelatorioBandas() : d(std::make_unique<Impl>())
{
    pagina = QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(10.16, 25.4, 10.16, 25.4),
                         QPageLayout::Millimeter);
}

RelatorioBandas::~RelatorioBandas() = default;

int RelatorioBandas::paginas() const { return d->paginas; }
const std::vector<BandaPosicionada> &RelatorioBandas::posicoes() const { return d->posicoes; }
double RelatorioBandas::alturaUtil() const { return d->alturaUtil; }

double RelatorioBandas::larguraTexto(const QFont &fonte, const QString &texto)
{
    return uParaMm(metrica(fonte).larguraSegura(texto));
}

int RelatorioBandas::prepara()
{
    Impl &s = *d;
    s.fluxo.clear();
    s.posicoes.clear();

    // Page bands keep one height on every page; they are measured once.
    auto alturaPagina = [](Banda &b) {
        if (b.antesDaPagina)
            b.antesDaPagina(b, InfoPagina{1, 1, false});
        return b.visivel ? congela(b).altura : 0.0;
    };
    s.alturaCabecalho = alturaPagina(cabecalhoPagina);
    s.alturaRodape = alturaPagina(rodapePagina);
    const QRectF util = pagina.paintRect(QPageLayout::Millimeter);
    s.alturaUtil = util.height() - s.alturaCabecalho - s.alturaRodape;

    // Bands in printing order, grouped into blocks.
    struct Item {
        BandaImpressa banda;
        QString nome;
        int bloco;
    };
    std::vector<Item> itens;
    std::vector<bool> blocoJunto;
    int bloco = -1;
    auto novoBloco = [&](bool junto) {
        blocoJunto.push_back(junto);
        bloco = static_cast<int>(blocoJunto.size()) - 1;
    };
    auto emite = [&](Banda &b, const QString &nome) {
        if (b.antesDeImprimir)
            b.antesDeImprimir(b);
        if (!b.visivel)
            return;
        itens.push_back({congela(b), nome, bloco});
    };
    auto emiteSub = [&](SubRelatorio &sub, const QString &prefixo) {
        if (!sub.visivel || !sub.dados)
            return;
        if (sub.antesDeAbrir)
            sub.antesDeAbrir();
        const int n = sub.dados->linhas();
        if (n == 0)
            return;
        emite(sub.cabecalho, prefixo + QStringLiteral(".cabecalho"));
        for (int j = 0; j < n; ++j) {
            sub.dados->vaiPara(j);
            emite(sub.detalhe, prefixo + QStringLiteral(".detalhe"));
        }
        emite(sub.rodape, prefixo + QStringLiteral(".rodape"));
    };

    const int linhas = dados ? dados->linhas() : 0;
    QString chaveAnterior;
    novoBloco(false);
    for (int i = 0; i < linhas; ++i) {
        dados->vaiPara(i);
        if (chaveGrupo) {
            const QString chave = chaveGrupo();
            if (i == 0 || chave != chaveAnterior) {
                if (i > 0) {
                    dados->vaiPara(i - 1);
                    emite(rodapeGrupo, QStringLiteral("rodapeGrupo"));
                    dados->vaiPara(i);
                }
                novoBloco(manterGrupoJunto);
                emite(cabecalhoGrupo, QStringLiteral("cabecalhoGrupo"));
                chaveAnterior = chave;
            }
        }
        emite(detalhe, QStringLiteral("detalhe"));
        for (size_t k = 0; k < subDetalhe.size(); ++k)
            emiteSub(*subDetalhe[k], QStringLiteral("sub%1").arg(k));
    }
    if (chaveGrupo && linhas > 0) {
        dados->vaiPara(linhas - 1);
        emite(rodapeGrupo, QStringLiteral("rodapeGrupo"));
    }
    novoBloco(false);
    emite(resumo, QStringLiteral("resumo"));
    for (size_t k = 0; k < subResumo.size(); ++k)
        emiteSub(*subResumo[k], QStringLiteral("resumo.sub%1").arg(k));

    // Pagination: a kept-together block that does not fit in what is left of
    // the page starts a new one (when it fits on a page at all); otherwise
    // bands break between them, a group header never staying alone at the
    // foot of a page.
    int pag = 1;
    double y = 0;
    size_t i = 0;
    while (i < itens.size()) {
        const int b = itens[i].bloco;
        size_t fim = i;
        double h = 0;
        while (fim < itens.size() && itens[fim].bloco == b) {
            h += itens[fim].banda.altura;
            ++fim;
        }
        if (blocoJunto[static_cast<size_t>(b)] && y > 0 && y + h > s.alturaUtil + 1e-6 && h <= s.alturaUtil + 1e-6) {
            ++pag;
            y = 0;
        }
        for (size_t k = i; k < fim; ++k) {
            double precisa = itens[k].banda.altura;
            if (k == i && blocoJunto[static_cast<size_t>(b)] && k + 1 < fim)
                precisa += itens[k + 1].banda.altura;
            if (y > 0 && y + precisa > s.alturaUtil + 1e-6) {
                ++pag;
                y = 0;
            }
            s.posicoes.push_back({pag, util.top() + s.alturaCabecalho + y, itens[k].banda.altura, itens[k].nome, b});
            s.fluxo.push_back({std::move(itens[k].banda), pag, y});
            y += s.fluxo.back().banda.altura;
        }
        i = fim;
    }
    s.paginas = pag;
    s.preparado = true;
    return pag;
}

void RelatorioBandas::imprime(QPagedPaintDevice &device, bool tela)
{
    if (!d->preparado)
        prepara();
    Impl &s = *d;
    device.setPageLayout(pagina);
    QPainter p;
    if (!p.begin(&device))
        throw std::runtime_error("não foi possível iniciar a impressão");
    const bool glifos = p.paintEngine() && p.paintEngine()->type() == QPaintEngine::Pdf;
    const double escala = device.logicalDpiX() / kUnidades;
    const double escalaY = device.logicalDpiY() / kUnidades;
    p.scale(escala, escalaY);
    // The painter starts at the top-left of the margins, as the bands do.
    const QRectF util = pagina.paintRect(QPageLayout::Millimeter);

    Pintor pintor(p, glifos);
    size_t k = 0;
    for (int pg = 1; pg <= s.paginas; ++pg) {
        if (pg > 1)
            device.newPage();
        const InfoPagina info{pg, s.paginas, tela};
        if (cabecalhoPagina.antesDaPagina)
            cabecalhoPagina.antesDaPagina(cabecalhoPagina, info);
        if (cabecalhoPagina.visivel)
            pintaBanda(pintor, congela(cabecalhoPagina), 0, tela);
        const double topo = s.alturaCabecalho;
        for (; k < s.fluxo.size() && s.fluxo[k].pagina == pg; ++k)
            pintaBanda(pintor, s.fluxo[k].banda, topo + s.fluxo[k].y, tela);
        if (rodapePagina.antesDaPagina)
            rodapePagina.antesDaPagina(rodapePagina, info);
        if (rodapePagina.visivel)
            pintaBanda(pintor, congela(rodapePagina), util.height() - s.alturaRodape, tela);
        pintor.descarrega();
    }
    p.end();
}

QFont fonteRelatorio(double pontos, bool negrito)
{
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setStretch(QFont::SemiCondensed);
    f.setPointSizeF(pontos);
    f.setBold(negrito);
    return f;
}

} // namespace stb::rep
