#include "outputs/bandas.h"
#include "outputs/pdfwriter.h"

#include <QFontMetricsF>
#include <QHash>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPainter>
#include <algorithm>
#include <array>
#include <cmath>
#include <stdexcept>
#include <unordered_map>

namespace stb::rep {

namespace {

// Layout units: 1440 per inch, so that every whole point size is a whole
// number of units (20 per point).
constexpr double kUnidades = 1440.0;
constexpr double kPorMm = kUnidades / 25.4;
constexpr double kMinEscala = 0.7; // a text line shrinks at most to 70 % of its size

double mmParaU(double mm) { return mm * kPorMm; }
double uParaMm(double u) { return u / kPorMm; }

// A font at a size, measured with the widths of the standard PDF fonts (the
// report's text is Helvetica, regular or bold), in layout units. The screen
// paints with a font of the same widths when the system has one and places
// each character where these widths put it, so both agree to the unit.
class Metrica {
public:
    Metrica(bool negrito, double pontos)
        : m_fonte(negrito ? pdf::Fonte::HelveticaNegrito : pdf::Fonte::Helvetica),
          m_pontos(pontos),
          m_escala(pontos * kUnidades / 72.0 / 1000.0)
    {
    }

    double largura(const QString &texto) const
    {
        int w = 0;
        for (QChar c : texto)
            w += pdf::largura(m_fonte, pdf::codigoWinAnsi(c.unicode()));
        return w * m_escala;
    }
    double avanco(unsigned char codigo) const { return pdf::largura(m_fonte, codigo) * m_escala; }

    double ascent() const { return pdf::kAscendente * m_escala; }
    double descent() const { return pdf::kDescendente * m_escala; }
    double linha() const { return ascent() + descent(); }
    pdf::Fonte fonte() const { return m_fonte; }
    bool negrito() const { return m_fonte == pdf::Fonte::HelveticaNegrito; }
    double pontos() const { return m_pontos; }

private:
    pdf::Fonte m_fonte;
    double m_pontos;
    double m_escala;
};

Metrica &metrica(bool negrito, double pontos)
{
    // Sizes are whole hundredths of a point (shrunk texts step by 5 %). The
    // metrics stay where they are once made: laid-out bands point at them.
    static std::unordered_map<qint64, Metrica> cache;
    const qint64 k = std::llround(pontos * 100) * 2 + (negrito ? 1 : 0);
    auto it = cache.find(k);
    if (it == cache.end())
        it = cache.emplace(k, Metrica(negrito, pontos)).first;
    return it->second;
}

Metrica &metrica(const QFont &f)
{
    // Bands copy their fonts from a few templates, and copies share the
    // font's data: the last font seen answers most calls.
    static QFont ultima;
    static Metrica *m = nullptr;
    if (!m || !f.isCopyOf(ultima)) {
        m = &metrica(f.bold(), f.pointSizeF());
        ultima = f;
    }
    return *m;
}

// Lines of a memo: its paragraphs, each broken at spaces to fit the width
// (a word longer than the width stands alone on its line).
QStringList quebraLinhas(const Metrica &m, const QString &texto, double largura)
{
    QStringList out;
    QString t = texto;
    t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    const double espaco = m.largura(QStringLiteral(" "));
    for (const QString &par : t.split(QLatin1Char('\n'))) {
        QString linha;
        double w = 0;
        for (const QString &palavra : par.split(QLatin1Char(' '))) {
            const double pw = m.largura(palavra);
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
    const Metrica *metrica;
    bool sublinhado;
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
        const bool temTexto = e.tipo == Elemento::Tipo::Texto || e.tipo == Elemento::Tipo::Memo;
        ElementoImpresso ei {e.tipo, e.area, QString(), {}, temTexto ? &metrica(e.fonte) : nullptr, e.fonte.underline(),
            e.alinha, e.espessura, e.soNaTela, e.cresce};
        if (e.tipo == Elemento::Tipo::Memo && !e.cresce) {
            if (e.texto.isEmpty())
                continue;
            ei.linhas = quebraLinhas(*ei.metrica, e.texto, mmParaU(e.area.width()));
        } else if (e.tipo == Elemento::Tipo::Memo) {
            double h = 0;
            if (!e.texto.isEmpty()) {
                const Metrica &m = *ei.metrica;
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

} // namespace

// Paints texts, rules and frames, in layout units from the top-left of the
// page's printable area.
class Pintor {
public:
    virtual ~Pintor() = default;
    virtual void novaPagina() = 0; // before every page but the first
    virtual void texto(const QString &t, const Metrica &m, double x, double baseline) = 0;
    virtual void linha(double x1, double x2, double y, double espessuraMm) = 0;
    virtual void moldura(const QRectF &r, double espessuraMm) = 0;
};

namespace {

// On a paint device: each text in a font of the standard widths, at the
// positions those widths give.
class PintorQt : public Pintor {
public:
    PintorQt(QPagedPaintDevice &device, QPainter &p) : m_device(device), m_p(p) {}

    void novaPagina() override { m_device.newPage(); }

    void texto(const QString &t, const Metrica &m, double x, double baseline) override
    {
        if (&m != m_ultima) {
            m_p.setFont(fonteTela(m));
            m_ultima = &m;
        }
        m_p.setPen(Qt::black);
        // Character by character only when the screen font's own advances
        // would drift from the standard widths.
        // What the PDF prints: a character the standard fonts lack shows as '?'.
        QString codigos = t;
        for (QChar &c : codigos)
            if (pdf::codigoWinAnsi(c.unicode()) == '?')
                c = QLatin1Char('?');
        const double tela = QFontMetricsF(m_p.font()).horizontalAdvance(codigos);
        if (std::abs(tela - m.largura(t)) < 0.5) {
            m_p.drawText(QPointF(x, baseline), codigos);
            return;
        }
        double xx = x;
        for (qsizetype i = 0; i < codigos.size(); ++i) {
            m_p.drawText(QPointF(xx, baseline), QString(codigos[i]));
            xx += m.avanco(pdf::codigoWinAnsi(t[i].unicode()));
        }
    }

    void linha(double x1, double x2, double y, double espessuraMm) override
    {
        m_p.setPen(QPen(Qt::black, mmParaU(espessuraMm), Qt::SolidLine, Qt::FlatCap));
        m_p.drawLine(QPointF(x1, y), QPointF(x2, y));
    }

    void moldura(const QRectF &r, double espessuraMm) override
    {
        m_p.setPen(QPen(Qt::black, mmParaU(espessuraMm), Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
        m_p.setBrush(Qt::NoBrush);
        m_p.drawRect(r);
    }

private:
    // Nimbus Sans has Helvetica's widths; the others are near them.
    static QFont fonteTela(const Metrica &m)
    {
        QFont f = fonteRelatorio(m.pontos(), m.negrito());
        f.setHintingPreference(QFont::PreferNoHinting);
        f.setKerning(false);
        f.setPixelSize(std::max(1, static_cast<int>(std::lround(m.pontos() * kUnidades / 72.0))));
        return f;
    }
    QPagedPaintDevice &m_device;
    QPainter &m_p;
    const Metrica *m_ultima = nullptr; // the painter's font is made for it
};

// On the report's own PDF writer, in points.
class PintorPdf : public Pintor {
public:
    PintorPdf(pdf::EscritorPdf &w, const QPageLayout &pagina) : m_w(w)
    {
        const QRectF cheia = pagina.fullRectPoints();
        m_largura = cheia.width();
        m_altura = cheia.height();
        const QRectF util = pagina.paintRect(QPageLayout::Point);
        m_x0 = util.left();
        m_y0 = util.top();
        m_w.novaPagina(m_largura, m_altura);
    }

    void novaPagina() override { m_w.novaPagina(m_largura, m_altura); }

    void texto(const QString &t, const Metrica &m, double x, double baseline) override
    {
        m_w.texto(m.fonte(), m.pontos(), pt(x, m_x0), pt(baseline, m_y0), t);
    }

    void linha(double x1, double x2, double y, double espessuraMm) override
    {
        m_w.linha(pt(x1, m_x0), pt(y, m_y0), pt(x2, m_x0), pt(y, m_y0), espessuraMm * 72.0 / 25.4);
    }

    void moldura(const QRectF &r, double espessuraMm) override
    {
        m_w.moldura(pt(r.left(), m_x0), pt(r.top(), m_y0), r.width() * 72.0 / kUnidades, r.height() * 72.0 / kUnidades,
            espessuraMm * 72.0 / 25.4);
    }

private:
    static double pt(double u, double origem) { return origem + u * 72.0 / kUnidades; }
    pdf::EscritorPdf &m_w;
    double m_largura = 0, m_altura = 0, m_x0 = 0, m_y0 = 0;
};

// A line of text, underlined when its font says so.
void pintaTexto(
    Pintor &pintor, const QString &t, const Metrica &m, double x, double base, double largura, bool sublinhado)
{
    pintor.texto(t, m, x, base);
    if (sublinhado)
        pintor.linha(x, x + largura, base + m.descent() / 2, uParaMm(m.pontos() * kUnidades / 72.0 / 16));
}

void pintaBanda(Pintor &pintor, const BandaImpressa &b, double topoMm, bool tela)
{
    for (const ElementoImpresso &e : b.elementos) {
        if (e.soNaTela && !tela)
            continue;
        const QRectF a(
            mmParaU(e.area.left()), mmParaU(topoMm + e.area.top()), mmParaU(e.area.width()), mmParaU(e.area.height()));
        auto xAlinhado = [&](double tw) {
            if (e.alinha == Alinha::Direita)
                return a.right() - tw;
            if (e.alinha == Alinha::Centro)
                return a.left() + (a.width() - tw) / 2;
            return a.left();
        };
        switch (e.tipo) {
        case Elemento::Tipo::Linha:
            pintor.linha(a.left(), a.right(), a.top(), e.espessura);
            break;
        case Elemento::Tipo::Moldura:
            pintor.moldura(a, e.espessura);
            break;
        case Elemento::Tipo::Texto: {
            // A text wider than its area takes a smaller size, in steps of 5 %.
            const Metrica *m = e.metrica;
            double tw = m->largura(e.texto);
            if (tw > a.width() && tw > 0) {
                const double escala = std::max(kMinEscala, std::floor(a.width() / tw * 20) / 20);
                m = &metrica(m->negrito(), m->pontos() * escala);
                tw = m->largura(e.texto);
            }
            const double base = a.top() + (a.height() - m->linha()) / 2 + m->ascent();
            pintaTexto(pintor, e.texto, *m, xAlinhado(tw), base, tw, e.sublinhado);
            break;
        }
        case Elemento::Tipo::Memo: {
            const Metrica &m = *e.metrica;
            double base = a.top() + m.ascent();
            if (!e.cresce) // centred in its fixed area
                base += (a.height() - m.linha() * static_cast<double>(e.linhas.size())) / 2;
            for (const QString &l : e.linhas) {
                const double tw = m.largura(l);
                pintaTexto(pintor, l, m, xAlinhado(tw), base, tw, e.sublinhado);
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
    pagina = QPageLayout(
        QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(10.16, 25.4, 10.16, 25.4), QPageLayout::Millimeter);
}

RelatorioBandas::~RelatorioBandas() = default;

int RelatorioBandas::paginas() const { return d->paginas; }
const std::vector<BandaPosicionada> &RelatorioBandas::posicoes() const { return d->posicoes; }
double RelatorioBandas::alturaUtil() const { return d->alturaUtil; }

double RelatorioBandas::larguraTexto(const QFont &fonte, const QString &texto)
{
    return uParaMm(metrica(fonte).largura(texto));
}

int RelatorioBandas::prepara()
{
    Impl &s = *d;
    s.fluxo.clear();
    s.posicoes.clear();

    // Page bands keep one height on every page; they are measured once.
    auto alturaPagina = [](Banda &b) {
        if (b.antesDaPagina)
            b.antesDaPagina(b, InfoPagina {1, 1, false});
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

void RelatorioBandas::pinta(Pintor &pintor, bool tela)
{
    if (!d->preparado)
        prepara();
    Impl &s = *d;
    const double alturaPagina = pagina.paintRect(QPageLayout::Millimeter).height();
    size_t k = 0;
    for (int pg = 1; pg <= s.paginas; ++pg) {
        if (pg > 1)
            pintor.novaPagina();
        const InfoPagina info {pg, s.paginas, tela};
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
            pintaBanda(pintor, congela(rodapePagina), alturaPagina - s.alturaRodape, tela);
    }
}

void RelatorioBandas::imprime(QPagedPaintDevice &device, bool tela)
{
    device.setPageLayout(pagina);
    QPainter p;
    if (!p.begin(&device))
        throw std::runtime_error("não foi possível iniciar a impressão");
    // The painter starts at the top-left of the margins, as the bands do.
    p.scale(device.logicalDpiX() / kUnidades, device.logicalDpiY() / kUnidades);
    PintorQt pintor(device, p);
    pinta(pintor, tela);
    p.end();
}

bool RelatorioBandas::imprimePdf(QIODevice &saida, const QString &titulo, const QString &criador, int compressao)
{
    pdf::EscritorPdf w(saida, compressao);
    w.setTitulo(titulo);
    w.setCriador(criador);
    PintorPdf pintor(w, pagina);
    pinta(pintor, false);
    return w.termina();
}

QFont fonteRelatorio(double pontos, bool negrito)
{
    // The standard Helvetica of PDF files; on screen, a font with its widths.
    QFont f(QStringLiteral("Nimbus Sans"));
    f.setFamilies({QStringLiteral("Nimbus Sans"), QStringLiteral("Helvetica"), QStringLiteral("Liberation Sans"),
        QStringLiteral("Arial")});
    f.setPointSizeF(pontos);
    f.setBold(negrito);
    return f;
}

} // namespace stb::rep
