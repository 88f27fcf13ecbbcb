// The report's own PDF writer, read back by independent tools: qpdf checks
// the file's structure, pdfinfo its pages and title, pdftotext the texts
// (accents, the characters PDF strings escape, those the fonts lack) and,
// with -bbox, where each word ends, which must be where the band engine's
// widths put it. Also the amounts' texts against the general number
// formatting they stand in for.
#include "outputs/bandas.h"
#include "outputs/impressao.h"
#include "outputs/pdfwriter.h"
#include "platform/formatting.h"

#include <QFile>
#include <QFontInfo>
#include <QGuiApplication>
#include <QPdfWriter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace stb;

namespace {

struct Saida {
    int rc = -1;
    QString texto;
};

Saida roda(const QString &programa, const QStringList &args)
{
    QProcess p;
    p.start(programa, args);
    if (!p.waitForFinished(60000))
        return {};
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError())};
}

// A word of pdftotext -bbox: its text and horizontal extent, points.
struct Palavra {
    QString texto;
    double xMin, xMax;
};

QList<Palavra> palavras(const QString &pdf)
{
    const Saida s = roda(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
    QList<Palavra> out;
    static const QRegularExpression re(QStringLiteral("<word xMin=\"([0-9.]+)\" yMin=\"[0-9.]+\" xMax=\"([0-9.]+)\" "
                                                      "yMax=\"[0-9.]+\">([^<]*)</word>"));
    for (auto it = re.globalMatch(s.texto); it.hasNext();) {
        const auto m = it.next();
        QString t = m.captured(3);
        t.replace(QStringLiteral("&amp;"), QStringLiteral("&"));
        out.append({t, m.captured(1).toDouble(), m.captured(2).toDouble()});
    }
    return out;
}

} // namespace

class TestReportPdf : public QObject {
    Q_OBJECT
private slots:
    void textsReadBack_data();
    void textsReadBack();
    void wordsEndWhereTheLayoutPutsThem_data();
    void wordsEndWhereTheLayoutPutsThem();
    void failedOutputIsReported();
    void amountTextsAsTheNumberFormatting_data();
    void amountTextsAsTheNumberFormatting();
};

void TestReportPdf::textsReadBack_data()
{
    QTest::addColumn<int>("compressao");
    QTest::addColumn<QString>("texto");
    QTest::addColumn<QString>("lido");
    const struct {
        const char *nome, *texto, *lido;
    } casos[] = {
        {"accents", "Memória de Cálculo Nº 12 – AÇÃO ÚNICA", "Memória de Cálculo Nº 12 – AÇÃO ÚNICA"},
        {"escaped characters", "Frete (CIF) \\ 50% + R$ 1,00", "Frete (CIF) \\ 50% + R$ 1,00"},
        {"quotes and euro", "“aspas” ‘simples’ € 3", "“aspas” ‘simples’ € 3"},
        {"outside the fonts", "seta → ok", "seta ? ok"},
    };
    for (int nivel : {0, 1})
        for (const auto &c : casos)
            QTest::addRow("%s, zlib %d", c.nome, nivel)
                << nivel << QString::fromUtf8(c.texto) << QString::fromUtf8(c.lido);
}

// Three pages, the text on the second: a valid file with its pages, size and
// title, and the text as written.
void TestReportPdf::textsReadBack()
{
    QFETCH(int, compressao);
    QFETCH(QString, texto);
    QFETCH(QString, lido);
    QTemporaryDir dir;
    const QString arquivo = dir.filePath(QStringLiteral("t.pdf"));
    {
        QFile f(arquivo);
        QVERIFY(f.open(QIODevice::WriteOnly));
        pdf::EscritorPdf w(f, compressao);
        w.setTitulo(QStringLiteral("Memória de Cálculo 7"));
        w.setCriador(QStringLiteral("ST/Brelva"));
        for (int p = 1; p <= 3; ++p) {
            w.novaPagina(841.89, 595.28);
            w.texto(pdf::Fonte::Helvetica, 10, 40, 60, QStringLiteral("Página %1 de 3").arg(p));
            if (p == 2)
                w.texto(pdf::Fonte::HelveticaNegrito, 12, 40, 100, texto);
            w.linha(40, 120, 800, 120, 0.5);
            w.moldura(30, 30, 780, 530, 0.6);
        }
        QVERIFY(w.termina());
    }
    const Saida check = roda(QStringLiteral("qpdf"), {QStringLiteral("--check"), arquivo});
    QVERIFY2(check.rc == 0, qPrintable(check.texto));
    const Saida info = roda(QStringLiteral("pdfinfo"), {arquivo});
    QCOMPARE(info.rc, 0);
    QVERIFY2(info.texto.contains(QRegularExpression(QStringLiteral("Pages: +3\n"))), qPrintable(info.texto));
    QVERIFY2(info.texto.contains(QStringLiteral("841.89 x 595.28 pts")), qPrintable(info.texto));
    QVERIFY2(info.texto.contains(QRegularExpression(QStringLiteral("Title: +Memória de Cálculo 7\n"))),
        qPrintable(info.texto));

    const Saida txt = roda(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), arquivo, QStringLiteral("-")});
    QCOMPARE(txt.rc, 0);
    const QStringList paginas = txt.texto.split(QLatin1Char('\f'), Qt::SkipEmptyParts);
    QCOMPARE(paginas.size(), 3);
    for (int p = 0; p < 3; ++p)
        QVERIFY(paginas[p].contains(QStringLiteral("Página %1 de 3").arg(p + 1)));
    QVERIFY2(paginas[1].contains(lido), qPrintable(paginas[1]));
    QVERIFY(!paginas[0].contains(lido) && !paginas[2].contains(lido));
}

void TestReportPdf::wordsEndWhereTheLayoutPutsThem_data()
{
    QTest::addColumn<QString>("texto");
    QTest::addColumn<double>("pontos");
    QTest::addColumn<bool>("negrito");
    QTest::addColumn<int>("alinha");
    QTest::addColumn<bool>("qt"); // painted as the screen and printers are (through QPainter)
    const int dir = static_cast<int>(rep::Alinha::Direita), cen = static_cast<int>(rep::Alinha::Centro),
              esq = static_cast<int>(rep::Alinha::Esquerda);
    const struct {
        const char *nome, *texto;
        double pontos;
        bool negrito;
        int alinha;
    } casos[] = {
        {"amount, right", "1.234.567,89", 8, false, dir},
        {"bold amount, right", "98.765,43", 8, true, dir},
        {"accented, centred", "ÁGUA-DOCE/ÇÃO", 10, true, cen},
        {"lower case accents, left", "informação,Crédito", 9, false, esq},
        {"mixed, small, right", "MR/S-R(50%)", 7, false, dir},
        {"too wide: shrunk, right", "1.234.567.890.123,45", 8, false, dir},
    };
    for (bool qt : {false, true})
        for (const auto &c : casos)
            QTest::addRow("%s%s", c.nome, qt ? ", QPainter" : "")
                << QString::fromUtf8(c.texto) << c.pontos << c.negrito << c.alinha << qt;
}

// One band, one text in a 30 mm box: the reader puts the word where the
// engine's own measure says it is.
void TestReportPdf::wordsEndWhereTheLayoutPutsThem()
{
    QFETCH(QString, texto);
    QFETCH(double, pontos);
    QFETCH(bool, negrito);
    QFETCH(int, alinha);
    QFETCH(bool, qt);
    if (qt && !QFontInfo(rep::fonteRelatorio(8)).family().startsWith(QLatin1String("Nimbus Sans")))
        QSKIP("the screen font with the standard widths (fonts-urw-base35) is not installed");
    rep::RelatorioBandas r;
    r.resumo.altura = 10;
    rep::Elemento e;
    e.area = QRectF(50, 1, 30, 6);
    e.texto = texto;
    e.fonte = rep::fonteRelatorio(pontos, negrito);
    e.alinha = static_cast<rep::Alinha>(alinha);
    r.resumo.add(e);
    QCOMPARE(r.prepara(), 1);

    QTemporaryDir dir;
    const QString arquivo = dir.filePath(QStringLiteral("w.pdf"));
    {
        QFile f(arquivo);
        QVERIFY(f.open(QIODevice::WriteOnly));
        if (qt) {
            QPdfWriter w(&f);
            w.setResolution(1440);
            r.imprime(w);
        } else {
            QVERIFY(r.imprimePdf(f, QString(), QString()));
        }
    }
    const QList<Palavra> ps = palavras(arquivo);
    QCOMPARE(ps.size(), 1);
    QCOMPARE(ps[0].texto, texto);

    const double mmPt = 72.0 / 25.4;
    const double x0 = r.pagina.paintRect(QPageLayout::Point).left() + e.area.left() * mmPt;
    const double caixa = e.area.width() * mmPt;
    double largura = rep::RelatorioBandas::larguraTexto(e.fonte, texto) * mmPt;
    if (largura > caixa) {
        // Shrunk in 5 % steps to fit.
        QVERIFY(ps[0].xMax - ps[0].xMin <= caixa + 0.3);
        largura = ps[0].xMax - ps[0].xMin;
    }
    double esperado = x0;
    if (e.alinha == rep::Alinha::Direita)
        esperado = x0 + caixa - largura;
    else if (e.alinha == rep::Alinha::Centro)
        esperado = x0 + (caixa - largura) / 2;
    QVERIFY2(
        std::abs(ps[0].xMin - esperado) < 0.3, qPrintable(QStringLiteral("%1 vs %2").arg(ps[0].xMin).arg(esperado)));
    QVERIFY2(std::abs(ps[0].xMax - (esperado + largura)) < 0.3,
        qPrintable(QStringLiteral("%1 vs %2").arg(ps[0].xMax).arg(esperado + largura)));
}

// A device that refuses the bytes makes the writer say so.
void TestReportPdf::failedOutputIsReported()
{
    rep::RelatorioBandas r;
    r.resumo.altura = 10;
    rep::Elemento e;
    e.area = QRectF(0, 0, 50, 5);
    e.texto = QStringLiteral("Total");
    e.fonte = rep::fonteRelatorio(8);
    r.resumo.add(e);
    // A full disk: the device takes nothing.
    class Cheio : public QIODevice {
    protected:
        qint64 readData(char *, qint64) override { return -1; }
        qint64 writeData(const char *, qint64) override { return -1; }
    } cheio;
    QVERIFY(cheio.open(QIODevice::WriteOnly));
    QVERIFY(!r.imprimePdf(cheio, QString(), QString()));
}

void TestReportPdf::amountTextsAsTheNumberFormatting_data()
{
    QTest::addColumn<qint64>("bruto"); // ten-thousandths
    const qint64 casos[]
        = {0, 1, 49, 50, -50, -49, 12345, -12345, 9999950, 9999949, 123456789, -123456789, 10000000, 5, 99999995,
            1234567891, -1234567895, 999999999999999LL, -999999999999999LL, 1000000000000000LL, 123456789012345678LL};
    for (qint64 c : casos)
        QTest::addRow("%lld", static_cast<long long>(c)) << c;
}

// The report's amount texts come out as the number formatting gives them for
// the amount as a number: every precision the report uses, rounding, signs,
// separators, and the amounts too large for the short way.
void TestReportPdf::amountTextsAsTheNumberFormatting()
{
    QFETCH(qint64, bruto);
    const Currency v = Currency::fromRaw(bruto);
    for (int casas : {1, 2, 4})
        QCOMPARE(textoNumero(v, casas), Format(QStringLiteral("%.*n"), {casas, v.toDouble()}));
    QCOMPARE(textoGeral(v), Format(QStringLiteral("%g"), {v.toDouble()}));
}

QTEST_MAIN(TestReportPdf)
#include "tst_report_pdf.moc"
