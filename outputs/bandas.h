// A small banded report engine over Qt's painting classes.
//
// A report is a main dataset printed band by band: a page header and a page
// footer on every page, a group header and footer around the rows that share
// a key (a group is kept together on a page when it fits on one), a detail
// band per row, detail sub-reports per master row, and a summary with its own
// sub-reports after the last row. Each band has a handler that fills its
// texts from the current row and may hide it; memos grow with their text and
// an empty memo takes no height.
//
// Printing runs in two passes: the first lays every band out and counts the
// pages, the second paints them, so a page header can say "page N of M". The
// same pages go to any QPagedPaintDevice (the screen preview, a printer) or
// to a PDF file of the report's own writer. Geometry is in millimetres; text
// is Helvetica, laid out with the standard widths of that font at a fixed
// 1440 units per inch, so the layout is the same on every device.
#pragma once

#include <QFont>
#include <QPageLayout>
#include <QRectF>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

class QIODevice;
class QPagedPaintDevice;

namespace stb::rep {

class Pintor;

enum class Alinha { Esquerda, Centro, Direita };

// One printable element of a band; its area is relative to the band's top-left.
struct Elemento {
    enum class Tipo {
        Texto, // one line; shrinks its font (down to 70 %) instead of running past its width
        Memo, // wraps at its width and grows downward; empty, it takes no height
        Linha, // a horizontal rule along the top of its area
        Moldura, // a frame around its area
    };
    Tipo tipo = Tipo::Texto;
    QString nome; // to reach it from the band's handler
    QRectF area; // mm
    QString texto;
    QFont fonte;
    Alinha alinha = Alinha::Esquerda;
    double espessura = 0.2; // rules and frames, mm
    bool visivel = true;
    bool soNaTela = false; // painted in the screen preview only, never on paper or PDF
    bool cresce = true; // memos: false keeps the area (the lines centred in it)
};

// A page being painted: its number, the page count, and whether it goes to the screen.
struct InfoPagina {
    int numero = 0;
    int total = 0;
    bool tela = false;
};

class Banda {
public:
    double altura = 0; // designed height, mm
    bool visivel = true;
    std::vector<Elemento> elementos;
    // Fills the band from the current row; page bands also get the page.
    std::function<void(Banda &)> antesDeImprimir;
    std::function<void(Banda &, const InfoPagina &)> antesDaPagina;

    Elemento &add(Elemento e);
    Elemento *find(const QString &nome);
    Elemento &el(const QString &nome); // throws std::out_of_range when missing
    void setTexto(const QString &nome, const QString &texto);
    void setVisivel(const QString &nome, bool visivel);
};

// The rows a band prints: a cursor the engine moves.
class FonteDados {
public:
    virtual ~FonteDados() = default;
    virtual int linhas() const = 0;
    virtual void vaiPara(int linha) = 0;
};

// A FonteDados over a callback pair (count, move).
class FonteFuncao : public FonteDados {
public:
    FonteFuncao(std::function<int()> linhas, std::function<void(int)> vaiPara)
        : m_linhas(std::move(linhas)),
          m_vaiPara(std::move(vaiPara))
    {
    }
    int linhas() const override { return m_linhas(); }
    void vaiPara(int linha) override { m_vaiPara(linha); }

private:
    std::function<int()> m_linhas;
    std::function<void(int)> m_vaiPara;
};

// Rows printed under each master row (or under the summary).
struct SubRelatorio {
    FonteDados *dados = nullptr;
    bool visivel = true;
    std::function<void()> antesDeAbrir; // moves the detail rows to the current master row
    Banda cabecalho; // printed before the first row (nothing without rows)
    Banda detalhe;
    Banda rodape; // printed after the last row
};

// Where a band ended up (first pass), for tests and for the preview's clicks.
struct BandaPosicionada {
    int pagina = 0; // 1-based
    double y = 0; // top, mm from the top of the page
    double altura = 0;
    QString nome; // the band's role: "cabecalhoGrupo", "detalhe", "sub0.detalhe", ...
    int bloco = -1; // the kept-together group the band belongs to
};

class RelatorioBandas {
public:
    RelatorioBandas();
    ~RelatorioBandas();
    RelatorioBandas(const RelatorioBandas &) = delete;
    RelatorioBandas &operator=(const RelatorioBandas &) = delete;

    QPageLayout pagina; // size, orientation and margins (mm)

    Banda cabecalhoPagina;
    Banda rodapePagina; // at the bottom of every page

    FonteDados *dados = nullptr;
    std::function<QString()> chaveGrupo; // empty: no group
    Banda cabecalhoGrupo;
    Banda rodapeGrupo;
    bool manterGrupoJunto = true;
    Banda detalhe;
    std::vector<SubRelatorio *> subDetalhe;
    Banda resumo;
    std::vector<SubRelatorio *> subResumo;

    // First pass: lays out every band and counts the pages. Returns the page count.
    int prepara();
    int paginas() const;
    const std::vector<BandaPosicionada> &posicoes() const;
    // Height of the area between the page header and the page footer, mm.
    double alturaUtil() const;

    // Second pass: paints every page on the device (prepara() first when it
    // has not run). `tela` marks the screen preview. The device's page size
    // and orientation are set from `pagina`.
    void imprime(QPagedPaintDevice &device, bool tela = false);
    // The same pages as a PDF file of the report's own writer (prepara()
    // first when it has not run); `compressao` is the zlib level of the page
    // streams. False when writing to `saida` failed.
    bool imprimePdf(QIODevice &saida, const QString &titulo, const QString &criador, int compressao = 1);

    // Text width as the engine measures it, mm.
    static double larguraTexto(const QFont &fonte, const QString &texto);

private:
    void pinta(Pintor &pintor, bool tela);
    struct Impl;
    std::unique_ptr<Impl> d;
};

// A font of the reports: the report family at `pontos` points.
QFont fonteRelatorio(double pontos, bool negrito = false);

} // namespace stb::rep
