// A small PDF writer for the reports: pages of text in the standard
// Helvetica fonts (WinAnsiEncoding, which covers the Portuguese letters, so
// no font is embedded), rules and frames. Pages go to the output as they are
// finished, each content stream compressed with zlib (on a second thread,
// while the next pages are built) at its fastest level.
//
// The widths of the two fonts are the standard ones every PDF reader uses for
// them, and the report engine lays its texts out with the same widths, so
// what is measured is what is printed.
#pragma once

#include <QByteArray>
#include <QString>
#include <deque>
#include <memory>
#include <vector>

class QIODevice;

namespace stb::pdf {

enum class Fonte { Helvetica, HelveticaNegrito };

// The WinAnsiEncoding code of a character; '?' for characters it lacks.
unsigned char codigoWinAnsi(char16_t c);
// Advance of a WinAnsiEncoding code, in thousandths of the font size.
int largura(Fonte f, unsigned char codigo);
// Vertical extent of both fonts, in thousandths of the font size.
constexpr int kAscendente = 931;
constexpr int kDescendente = 225;

class EscritorPdf {
public:
    // Writes to `saida`, which must be open for writing; `compressao` is the
    // zlib level of the page streams (0: not compressed).
    explicit EscritorPdf(QIODevice &saida, int compressao = 1);
    ~EscritorPdf();
    EscritorPdf(const EscritorPdf &) = delete;
    EscritorPdf &operator=(const EscritorPdf &) = delete;

    void setTitulo(const QString &t) { m_titulo = t; }
    void setCriador(const QString &c) { m_criador = c; }

    // Starts a page of the given size in points (the previous one is finished).
    void novaPagina(double larguraPt, double alturaPt);
    // A line of text whose baseline starts at (x, y), in points from the page's top-left.
    void texto(Fonte f, double tamanhoPt, double x, double y, const QString &texto);
    void linha(double x1, double y1, double x2, double y2, double espessuraPt);
    void moldura(double x, double y, double larg, double alt, double espessuraPt);
    // Finishes the last page and the file. False when the output failed.
    bool termina();

private:
    void escreve(const QByteArray &b);
    int novoObjeto(); // reserves an object number
    void iniciaObjeto(int n);
    void fechaPagina();
    void escrevePendentes(bool todas);
    void numero(QByteArray &out, double v);
    void traco(double espessuraPt);

    QIODevice &m_saida;
    int m_compressao;
    QString m_titulo, m_criador;
    qint64 m_pos = 0;
    bool m_erro = false;
    std::vector<qint64> m_offsets; // by object number - 1; -1 until written
    std::vector<int> m_paginas; // page objects
    int m_objPaginas = 0, m_objRecursos = 0;

    // The page being built: graphics, then one text object.
    bool m_abertaPagina = false;
    double m_largura = 0, m_altura = 0;
    QByteArray m_graficos, m_textos;
    int m_fonteAtual = -1;
    double m_tamanhoAtual = 0;
    double m_tx = 0, m_ty = 0; // start of the current text line
    double m_espessura = -1;

    // Pages waiting for their compressed stream, in order.
    struct Compressor;
    struct TarefaPagina;
    struct Pendente {
        std::shared_ptr<TarefaPagina> tarefa;
        QByteArray pagina; // the page dictionary up to its content reference
    };
    std::deque<Pendente> m_pendentes;
    std::unique_ptr<Compressor> m_compressor;
};

} // namespace stb::pdf
