#include "outputs/pdfwriter.h"

#include <QIODevice>
#include <charconv>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <zlib.h>

namespace stb::pdf {

namespace {

// Advances of the WinAnsiEncoding codes 32 to 255 (0: no character).
constexpr short kLarguras[2][224] = {
    {
        278,
        278,
        355,
        556,
        556,
        889,
        667,
        191,
        333,
        333,
        389,
        584,
        278,
        333,
        278,
        278,
        556,
        556,
        556,
        556,
        556,
        556,
        556,
        556,
        556,
        556,
        278,
        278,
        584,
        584,
        584,
        556,
        1015,
        667,
        667,
        722,
        722,
        667,
        611,
        778,
        722,
        278,
        500,
        667,
        556,
        833,
        722,
        778,
        667,
        778,
        722,
        667,
        611,
        722,
        667,
        944,
        667,
        667,
        611,
        278,
        278,
        278,
        469,
        556,
        333,
        556,
        556,
        500,
        556,
        556,
        278,
        556,
        556,
        222,
        222,
        500,
        222,
        833,
        556,
        556,
        556,
        556,
        333,
        500,
        278,
        556,
        500,
        722,
        500,
        500,
        500,
        334,
        260,
        334,
        584,
        0,
        556,
        0,
        222,
        556,
        333,
        1000,
        556,
        556,
        333,
        1000,
        667,
        333,
        1000,
        0,
        611,
        0,
        0,
        222,
        222,
        333,
        333,
        350,
        556,
        1000,
        333,
        1000,
        500,
        333,
        944,
        0,
        500,
        667,
        278,
        333,
        556,
        556,
        556,
        556,
        260,
        556,
        333,
        737,
        370,
        556,
        584,
        333,
        737,
        333,
        400,
        584,
        333,
        333,
        333,
        556,
        537,
        278,
        333,
        333,
        365,
        556,
        834,
        834,
        834,
        611,
        667,
        667,
        667,
        667,
        667,
        667,
        1000,
        722,
        667,
        667,
        667,
        667,
        278,
        278,
        278,
        278,
        722,
        722,
        778,
        778,
        778,
        778,
        778,
        584,
        778,
        722,
        722,
        722,
        722,
        667,
        667,
        611,
        556,
        556,
        556,
        556,
        556,
        556,
        889,
        500,
        556,
        556,
        556,
        556,
        278,
        278,
        278,
        278,
        556,
        556,
        556,
        556,
        556,
        556,
        556,
        584,
        611,
        556,
        556,
        556,
        556,
        500,
        556,
        500,
    },
    {
        278,
        333,
        474,
        556,
        556,
        889,
        722,
        238,
        333,
        333,
        389,
        584,
        278,
        333,
        278,
        278,
        556,
        556,
        556,
        556,
        556,
        556,
        556,
        556,
        556,
        556,
        333,
        333,
        584,
        584,
        584,
        611,
        975,
        722,
        722,
        722,
        722,
        667,
        611,
        778,
        722,
        278,
        556,
        722,
        611,
        833,
        722,
        778,
        667,
        778,
        722,
        667,
        611,
        722,
        667,
        944,
        667,
        667,
        611,
        333,
        278,
        333,
        584,
        556,
        333,
        556,
        611,
        556,
        611,
        556,
        333,
        611,
        611,
        278,
        278,
        556,
        278,
        889,
        611,
        611,
        611,
        611,
        389,
        556,
        333,
        611,
        556,
        778,
        556,
        556,
        500,
        389,
        280,
        389,
        584,
        0,
        556,
        0,
        278,
        556,
        500,
        1000,
        556,
        556,
        333,
        1000,
        667,
        333,
        1000,
        0,
        611,
        0,
        0,
        278,
        278,
        500,
        500,
        350,
        556,
        1000,
        333,
        1000,
        556,
        333,
        944,
        0,
        500,
        667,
        278,
        333,
        556,
        556,
        556,
        556,
        280,
        556,
        333,
        737,
        370,
        556,
        584,
        333,
        737,
        333,
        400,
        584,
        333,
        333,
        333,
        611,
        556,
        278,
        333,
        333,
        365,
        556,
        834,
        834,
        834,
        611,
        722,
        722,
        722,
        722,
        722,
        722,
        1000,
        722,
        667,
        667,
        667,
        667,
        278,
        278,
        278,
        278,
        722,
        722,
        778,
        778,
        778,
        778,
        778,
        584,
        778,
        722,
        722,
        722,
        722,
        667,
        667,
        611,
        556,
        556,
        556,
        556,
        556,
        556,
        889,
        556,
        556,
        556,
        556,
        556,
        278,
        278,
        278,
        278,
        611,
        611,
        611,
        611,
        611,
        611,
        611,
        584,
        611,
        611,
        611,
        611,
        611,
        556,
        611,
        556,
    },
};

// The codes 128 to 159 of WinAnsiEncoding and the characters they stand for.
constexpr char16_t kAltos[32] = {
    0x20AC,
    0,
    0x201A,
    0x0192,
    0x201E,
    0x2026,
    0x2020,
    0x2021,
    0x02C6,
    0x2030,
    0x0160,
    0x2039,
    0x0152,
    0,
    0x017D,
    0,
    0,
    0x2018,
    0x2019,
    0x201C,
    0x201D,
    0x2022,
    0x2013,
    0x2014,
    0x02DC,
    0x2122,
    0x0161,
    0x203A,
    0x0153,
    0,
    0x017E,
    0x0178,
};

const char *const kNomesFontes[2] = {"Helvetica", "Helvetica-Bold"};

// A text string for the document information: UTF-16BE in hexadecimal.
QByteArray textoInfo(const QString &s)
{
    QByteArray out("<FEFF");
    for (QChar c : s)
        out += QByteArray::number(c.unicode() | 0x10000, 16).right(4).toUpper();
    out += '>';
    return out;
}

} // namespace

unsigned char codigoWinAnsi(char16_t c)
{
    if ((c >= 0x20 && c < 0x7F) || (c >= 0xA0 && c <= 0xFF))
        return static_cast<unsigned char>(c);
    for (unsigned k = 0; k < 32; ++k)
        if (kAltos[k] == c && c != 0)
            return static_cast<unsigned char>(0x80 + k);
    return '?';
}

int largura(Fonte f, unsigned char codigo)
{
    return codigo < 32 ? 0 : kLarguras[f == Fonte::HelveticaNegrito ? 1 : 0][codigo - 32];
}

EscritorPdf::EscritorPdf(QIODevice &saida, int compressao) : m_saida(saida), m_compressao(compressao)
{
    escreve(QByteArrayLiteral("%PDF-1.4\n%\xE2\xE3\xCF\xD3\n"));
    const int catalogo = novoObjeto();
    m_objPaginas = novoObjeto();
    iniciaObjeto(catalogo);
    escreve("<< /Type /Catalog /Pages " + QByteArray::number(m_objPaginas) + " 0 R >>\nendobj\n");
    int fontes[2];
    for (int f = 0; f < 2; ++f) {
        fontes[f] = novoObjeto();
        iniciaObjeto(fontes[f]);
        escreve(QByteArray("<< /Type /Font /Subtype /Type1 /BaseFont /") + kNomesFontes[f]
            + " /Encoding /WinAnsiEncoding >>\nendobj\n");
    }
    m_objRecursos = novoObjeto();
    iniciaObjeto(m_objRecursos);
    escreve("<< /Font << /F1 " + QByteArray::number(fontes[0]) + " 0 R /F2 " + QByteArray::number(fontes[1])
        + " 0 R >> /ProcSet [/PDF /Text] >>\nendobj\n");
}

// An unfinished file is left as it stands; the compressing thread ends with it.
EscritorPdf::~EscritorPdf() = default;

void EscritorPdf::escreve(const QByteArray &b)
{
    if (m_saida.write(b) != b.size())
        m_erro = true;
    m_pos += b.size();
}

int EscritorPdf::novoObjeto()
{
    m_offsets.push_back(-1);
    return static_cast<int>(m_offsets.size());
}

void EscritorPdf::iniciaObjeto(int n)
{
    m_offsets[static_cast<size_t>(n - 1)] = m_pos;
    escreve(QByteArray::number(n) + " 0 obj\n");
}

// Points with at most two decimals, the shortest way.
void EscritorPdf::numero(QByteArray &out, double v)
{
    char buf[32];
    char *p = buf;
    long long c = std::llround(v * 100);
    if (c < 0) {
        *p++ = '-';
        c = -c;
    }
    p = std::to_chars(p, buf + sizeof buf - 3, c / 100).ptr;
    const int f = static_cast<int>(c % 100);
    if (f) {
        *p++ = '.';
        *p++ = static_cast<char>('0' + f / 10);
        if (f % 10)
            *p++ = static_cast<char>('0' + f % 10);
    }
    out.append(buf, p - buf);
}

void EscritorPdf::novaPagina(double larguraPt, double alturaPt)
{
    fechaPagina();
    m_abertaPagina = true;
    m_largura = larguraPt;
    m_altura = alturaPt;
    // The buffers keep their room from page to page.
    m_graficos.resize(0);
    m_textos.resize(0);
    m_fonteAtual = -1;
    m_tamanhoAtual = 0;
    m_tx = m_ty = 0;
    m_espessura = -1;
}

void EscritorPdf::texto(Fonte f, double tamanhoPt, double x, double y, const QString &texto)
{
    QByteArray &t = m_textos;
    const int fonte = f == Fonte::HelveticaNegrito ? 1 : 0;
    if (fonte != m_fonteAtual || tamanhoPt != m_tamanhoAtual) {
        t += fonte ? "/F2 " : "/F1 ";
        numero(t, tamanhoPt);
        t += " Tf\n";
        m_fonteAtual = fonte;
        m_tamanhoAtual = tamanhoPt;
    }
    // Positions go as moves from the previous line's start, in whole hundredths
    // of a point, so that they never drift.
    const double nx = std::round(x * 100) / 100;
    const double ny = std::round((m_altura - y) * 100) / 100;
    numero(t, nx - m_tx);
    t += ' ';
    numero(t, ny - m_ty);
    m_tx = nx;
    m_ty = ny;
    const qsizetype antes = t.size();
    t.resize(antes + 4 + 2 * texto.size() + 4);
    char *p = t.data() + antes;
    std::memcpy(p, " Td(", 4);
    p += 4;
    for (QChar c : texto) {
        const char b = static_cast<char>(codigoWinAnsi(c.unicode()));
        if (b == '(' || b == ')' || b == '\\')
            *p++ = '\\';
        *p++ = b;
    }
    std::memcpy(p, ")Tj\n", 4);
    p += 4;
    t.resize(p - t.data());
}

void EscritorPdf::traco(double espessuraPt)
{
    if (espessuraPt == m_espessura)
        return;
    numero(m_graficos, espessuraPt);
    m_graficos += " w\n";
    m_espessura = espessuraPt;
}

void EscritorPdf::linha(double x1, double y1, double x2, double y2, double espessuraPt)
{
    traco(espessuraPt);
    QByteArray &g = m_graficos;
    numero(g, x1);
    g += ' ';
    numero(g, m_altura - y1);
    g += " m ";
    numero(g, x2);
    g += ' ';
    numero(g, m_altura - y2);
    g += " l S\n";
}

void EscritorPdf::moldura(double x, double y, double larg, double alt, double espessuraPt)
{
    traco(espessuraPt);
    QByteArray &g = m_graficos;
    numero(g, x);
    g += ' ';
    numero(g, m_altura - y - alt);
    g += ' ';
    numero(g, larg);
    g += ' ';
    numero(g, alt);
    g += " re S\n";
}

// Page streams are compressed on a thread of their own while the next pages
// are built; they are written, in page order, as they come back.
struct EscritorPdf::TarefaPagina {
    QByteArray conteudo; // the stream; compressed in place when done
    bool comprimido = false;
    bool pronta = false;
};

struct EscritorPdf::Compressor {
    using Tarefa = TarefaPagina;
    explicit Compressor(int nivel) : nivel(nivel), linha([this] { laco(); }) {}
    ~Compressor()
    {
        {
            const std::lock_guard<std::mutex> trava(m);
            fim = true;
        }
        cv.notify_all();
        linha.join();
    }
    void entrega(const std::shared_ptr<Tarefa> &t)
    {
        {
            const std::lock_guard<std::mutex> trava(m);
            fila.push_back(t);
        }
        cv.notify_all();
    }
    bool pronta(const Tarefa &t, bool espera)
    {
        std::unique_lock<std::mutex> trava(m);
        if (espera)
            cvPronta.wait(trava, [&] { return t.pronta; });
        return t.pronta;
    }

private:
    void laco()
    {
        for (;;) {
            std::shared_ptr<Tarefa> t;
            {
                std::unique_lock<std::mutex> trava(m);
                cv.wait(trava, [&] { return fim || !fila.empty(); });
                if (fila.empty())
                    return;
                t = std::move(fila.front());
                fila.pop_front();
            }
            QByteArray saida(
                static_cast<qsizetype>(compressBound(static_cast<uLong>(t->conteudo.size()))), Qt::Uninitialized);
            uLongf n = static_cast<uLongf>(saida.size());
            const bool ok = compress2(reinterpret_cast<Bytef *>(saida.data()), &n,
                                reinterpret_cast<const Bytef *>(t->conteudo.constData()),
                                static_cast<uLong>(t->conteudo.size()), nivel)
                == Z_OK;
            {
                const std::lock_guard<std::mutex> trava(m);
                if (ok) {
                    saida.resize(static_cast<qsizetype>(n));
                    t->conteudo = std::move(saida);
                    t->comprimido = true;
                }
                t->pronta = true;
            }
            cvPronta.notify_all();
        }
    }

    const int nivel;
    std::mutex m;
    std::condition_variable cv, cvPronta;
    std::deque<std::shared_ptr<Tarefa>> fila;
    bool fim = false;
    std::thread linha; // last: starts once the rest is set up
};

void EscritorPdf::fechaPagina()
{
    if (!m_abertaPagina)
        return;
    m_abertaPagina = false;
    // Black strokes with flat ends and mitred corners (the defaults), as the screen draws them.
    auto t = std::make_shared<TarefaPagina>();
    t->conteudo.reserve(m_graficos.size() + m_textos.size() + 16);
    t->conteudo += "0 G\n";
    t->conteudo += m_graficos;
    if (!m_textos.isEmpty()) {
        t->conteudo += "0 g BT\n";
        t->conteudo += m_textos;
        t->conteudo += "ET\n";
    }
    QByteArray p = "<< /Type /Page /Parent " + QByteArray::number(m_objPaginas) + " 0 R /MediaBox [0 0 ";
    numero(p, m_largura);
    p += ' ';
    numero(p, m_altura);
    p += "] /Resources " + QByteArray::number(m_objRecursos) + " 0 R /Contents ";
    if (m_compressao > 0) {
        if (!m_compressor)
            m_compressor = std::make_unique<Compressor>(m_compressao);
        m_compressor->entrega(t);
    } else {
        t->pronta = true;
    }
    m_pendentes.push_back({std::move(t), std::move(p)});
    escrevePendentes(false);
}

void EscritorPdf::escrevePendentes(bool todas)
{
    while (!m_pendentes.empty()) {
        Pendente &pend = m_pendentes.front();
        if (m_compressor && !m_compressor->pronta(*pend.tarefa, todas))
            return;
        const TarefaPagina &t = *pend.tarefa;
        const int objConteudo = novoObjeto();
        iniciaObjeto(objConteudo);
        escreve("<< /Length " + QByteArray::number(t.conteudo.size())
            + (t.comprimido ? QByteArrayLiteral(" /Filter /FlateDecode") : QByteArray()) + " >>\nstream\n");
        escreve(t.conteudo);
        escreve(QByteArrayLiteral("\nendstream\nendobj\n"));
        const int objPagina = novoObjeto();
        iniciaObjeto(objPagina);
        escreve(pend.pagina + QByteArray::number(objConteudo) + " 0 R >>\nendobj\n");
        m_paginas.push_back(objPagina);
        m_pendentes.pop_front();
    }
}

bool EscritorPdf::termina()
{
    fechaPagina();
    escrevePendentes(true);
    m_compressor.reset();
    iniciaObjeto(m_objPaginas);
    QByteArray kids;
    for (int n : m_paginas)
        kids += QByteArray::number(n) + " 0 R ";
    escreve("<< /Type /Pages /Kids [" + kids + "] /Count "
        + QByteArray::number(static_cast<qsizetype>(m_paginas.size())) + " >>\nendobj\n");
    const int info = novoObjeto();
    iniciaObjeto(info);
    QByteArray i = "<<";
    if (!m_titulo.isEmpty())
        i += " /Title " + textoInfo(m_titulo);
    if (!m_criador.isEmpty())
        i += " /Creator " + textoInfo(m_criador);
    escreve(i + " >>\nendobj\n");

    const qint64 xref = m_pos;
    QByteArray x
        = "xref\n0 " + QByteArray::number(static_cast<qsizetype>(m_offsets.size() + 1)) + "\n0000000000 65535 f \n";
    for (qint64 o : m_offsets)
        x += QByteArray::number(o).rightJustified(10, '0') + " 00000 n \n";
    x += "trailer\n<< /Size " + QByteArray::number(static_cast<qsizetype>(m_offsets.size() + 1)) + " /Root 1 0 R /Info "
        + QByteArray::number(info) + " 0 R >>\nstartxref\n" + QByteArray::number(xref) + "\n%%EOF\n";
    escreve(x);
    return !m_erro;
}

} // namespace stb::pdf
