#include "outputs/medicexport.h"

#include "outputs/medic.h"
#include "platform/formatting.h"
#include "platform/xlswriter.h"

#include <QRegularExpression>

namespace stb {

bool ExportaMedicXls(db::DataSet &q, const QString &path, QString *erro)
{
    XlsWorkbook book;
    const int arial = 0;
    const int negrito = book.addFont({QStringLiteral("Arial"), 10, true});
    const int s = book.addSheet(QStringLiteral("ABC Farma"));
    const char *const cab[] = {"COD BARRA", "DESCRIÇÃO", "LABORATÓRIO", "VALOR", "ALIQ ICMS", "GENÉRICO", "LISTA"};
    const int largura[] = {15, 50, 30, 12, 10, 10, 10};
    for (int c = 0; c < 7; ++c) {
        book.setText(s, 0, c, QString::fromUtf8(cab[c]), negrito);
        book.setColumnWidth(s, c, largura[c]);
    }
    int row = 1;
    for (int i = 0; i < q.recordCount() && row < XlsWorkbook::MaxRows; ++i, ++row) {
        q.setRecNo(i + 1);
        const MedicEscolhido m = Medic::escolhido(q);
        book.setText(s, row, 0, m.codBarra, arial);
        book.setText(s, row, 1, m.descricao, arial);
        book.setText(s, row, 2, m.laboratorio, arial);
        book.setCurrency(s, row, 3, m.preco.toDouble(), arial);
        book.setPercent(s, row, 4, m.aliqICMS.toDouble(), arial);
        book.setText(s, row, 5, m.generico ? QStringLiteral("GEN") : QString(), arial);
        book.setText(s, row, 6, m.lista, arial);
    }
    if (!book.save(path)) {
        if (erro)
            *erro = book.errorString();
        return false;
    }
    return true;
}

QString TextoMargens(const db::Field &mva1, const db::Field &mva2, const db::Field &mva3)
{
    QString t = mva1.isNull() ? QString() : FloatToStr(mva1.asCurrency().toExtended());
    if (!mva2.isNull()) {
        t += QLatin1Char('/') + FloatToStr(mva2.asCurrency().toExtended());
        if (!mva3.isNull())
            t += QLatin1Char('/') + FloatToStr(mva3.asCurrency().toExtended());
    }
    return t;
}

QString TextoNotasMargens(const QString &info1, const QString &info2, const QString &info3)
{
    auto nota = [](const QString &s) {
        const QString t = s.trimmed();
        bool ok = false;
        QString plain = t;
        const double v = plain.replace(QLatin1Char(','), QLatin1Char('.')).toDouble(&ok);
        return ok ? Format(QStringLiteral("%g"), {v}) : t;
    };
    QString t = nota(info1);
    if (!info2.trimmed().isEmpty()) {
        t += QLatin1Char('/') + nota(info2);
        if (!info3.trimmed().isEmpty())
            t += QLatin1Char('/') + nota(info3);
    }
    return t;
}

QString LimpaDescricao(const QString &descricao)
{
    static const QRegularExpression tags(QStringLiteral("<[^>]*>"));
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    QString t = descricao;
    t.remove(tags);
    t.replace(QStringLiteral("&nbsp;"), QStringLiteral(" ")).replace(QStringLiteral("&amp;"), QStringLiteral("&"));
    return t.replace(blanks, QStringLiteral(" ")).trimmed();
}

bool GeraPlanilhaNBM(db::DataSet &cest, db::DataSet &nbm, const QString &dataAnexo, const QString &versao,
    const QString &path, QString *erro)
{
    XlsWorkbook book;
    const int negrito = book.addFont({QStringLiteral("Arial"), 10, true});
    const QString nota = QStringLiteral("Dados atualizados até %1 (Versão %2).").arg(dataAnexo, versao);
    const int s1 = book.addSheet(QStringLiteral("CEST"));
    const char *const cab1[] = {"CEST", "MVA (%)", "Observação MVA", "Descrição"};
    for (int c = 0; c < 4; ++c)
        book.setText(s1, 0, c, QString::fromUtf8(cab1[c]), negrito);
    book.setText(s1, 0, 4, nota);
    const int w1[] = {12, 16, 30, 60, 60, 60};
    for (int c = 0; c < 6; ++c)
        book.setColumnWidth(s1, c, w1[c]);
    int row = 1;
    for (cest.first(); !cest.eof() && row < XlsWorkbook::MaxRows; cest.next()) {
        const QString code = cest.fieldByName(QStringLiteral("CEST")).asString().left(9).trimmed();
        if (code.isEmpty())
            continue;
        book.setText(s1, row, 0, code);
        book.setText(s1, row, 1,
            TextoMargens(cest.fieldByName(QStringLiteral("MVA1")), cest.fieldByName(QStringLiteral("MVA2")),
                cest.fieldByName(QStringLiteral("MVA3"))));
        book.setText(s1, row, 2,
            TextoNotasMargens(cest.fieldByName(QStringLiteral("INFOMVA1")).asString(),
                cest.fieldByName(QStringLiteral("INFOMVA2")).asString(),
                cest.fieldByName(QStringLiteral("INFOMVA3")).asString()));
        const QString desc = LimpaDescricao(cest.fieldByName(QStringLiteral("DESCRICAO")).asString());
        for (int part = 0; part < 3; ++part) {
            const QString piece = desc.mid(part * XlsWorkbook::MaxText, XlsWorkbook::MaxText);
            if (!piece.isEmpty())
                book.setText(s1, row, 3 + part, piece);
        }
        ++row;
    }
    const int s2 = book.addSheet(QStringLiteral("NBM"));
    book.setText(s2, 0, 0, QStringLiteral("NBM/NCM"), negrito);
    book.setText(s2, 0, 1, QStringLiteral("CEST"), negrito);
    book.setText(s2, 0, 4, nota);
    book.setColumnWidth(s2, 0, 14);
    book.setColumnWidth(s2, 1, 12);
    row = 1;
    for (nbm.first(); !nbm.eof() && row < XlsWorkbook::MaxRows; nbm.next()) {
        const QString code = nbm.fieldByName(QStringLiteral("NBM")).asString().trimmed();
        if (code.isEmpty() || code.startsWith(QLatin1String("00")))
            continue;
        book.setText(s2, row, 0, code);
        book.setText(s2, row, 1, nbm.fieldByName(QStringLiteral("CEST")).asString().left(9));
        ++row;
    }
    if (!book.save(path)) {
        if (erro)
            *erro = book.errorString();
        return false;
    }
    return true;
}

} // namespace stb
