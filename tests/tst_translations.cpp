// Qt's own texts in Portuguese: the file dialog, the print preview and the
// edit menu of a field, from the system's translations or from the copy the
// program carries; and the reading of that copy.
#include "entry/traducoes.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QFileDialog>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QMenu>
#include <QPrintPreviewDialog>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using namespace stb;

namespace {

// Every text a user reads in `w`: captions, labels, actions and their tips.
QStringList textos(QWidget *w)
{
    QStringList out;
    for (QLabel *l : w->findChildren<QLabel *>())
        out << l->text();
    for (QAbstractButton *b : w->findChildren<QAbstractButton *>())
        out << b->text() << b->toolTip();
    for (QAction *a : w->findChildren<QAction *>())
        out << a->text() << a->toolTip();
    for (QString &t : out)
        t = t.section(QLatin1Char('\t'), 0, 0).remove(QLatin1Char('&')); // without the shortcut shown
    out.removeAll(QString());
    return out;
}

} // namespace

class TestTranslations : public QObject {
    Q_OBJECT

private slots:
    void cleanup();
    void qtTextsInPortuguese_data();
    void qtTextsInPortuguese();
    void readingTheShippedFile_data();
    void readingTheShippedFile();
};

void TestTranslations::cleanup()
{
    for (QTranslator *t : qApp->findChildren<QTranslator *>()) {
        QCoreApplication::removeTranslator(t);
        delete t;
    }
}

void TestTranslations::qtTextsInPortuguese_data()
{
    QTest::addColumn<bool>("doSistema");
    QTest::newRow("the system's translations") << true;
    QTest::newRow("the copy of the program, when the system has none") << false;
}

void TestTranslations::qtTextsInPortuguese()
{
    QFETCH(bool, doSistema);
    QTemporaryDir vazia;
    QVERIFY(vazia.isValid());
    const OrigemTraducoes origem
        = InstalaTraducoesQt(doSistema ? QLibraryInfo::path(QLibraryInfo::TranslationsPath) : vazia.path());
    QCOMPARE(origem, doSistema ? OrigemTraducoes::Sistema : OrigemTraducoes::Programa);

    QFileDialog arquivo(nullptr, QString(), vazia.path());
    arquivo.setOption(QFileDialog::DontUseNativeDialog);
    arquivo.setAcceptMode(QFileDialog::AcceptSave);
    QPrintPreviewDialog previa;
    QLineEdit campo;
    std::unique_ptr<QMenu> menu(campo.createStandardContextMenu());
    const QStringList vistos = textos(&arquivo) + textos(&previa) + textos(menu.get());
    const QStringList ingles {"Look in:", "File name:", "Files of type:", "Save", "Cancel", "Detail View",
        "Create New Folder", "Zoom in", "Zoom out", "Fit width", "Fit page", "Page setup", "Print", "First page",
        "Last page", "Undo", "Redo", "Cut", "Copy", "Paste", "Select All"};
    QStringList achados;
    for (const QString &t : vistos)
        for (const QString &e : ingles)
            if (t == e)
                achados << t;
    QVERIFY2(achados.isEmpty(), qPrintable(achados.join(QStringLiteral(" | "))));
    for (const char *pt :
        {"Procurar em:", "Salvar", "Ampliar", "Ajustar à largura", "Primeira página", "Desfazer", "Selecionar tudo"})
        QVERIFY2(vistos.contains(QString::fromUtf8(pt)), pt);
}

void TestTranslations::readingTheShippedFile_data()
{
    QTest::addColumn<QByteArray>("ts");
    QTest::addColumn<QString>("contexto");
    QTest::addColumn<QString>("fonte");
    QTest::addColumn<QString>("comentario");
    QTest::addColumn<int>("n");
    QTest::addColumn<QString>("esperado");
    const QByteArray base = "<?xml version=\"1.0\" encoding=\"utf-8\"?><TS version=\"2.1\" language=\"pt_BR\">"
                            "<context><name>QFileDialog</name>"
                            "<message><source>&amp;Save</source><translation>&amp;Salvar</translation></message>"
                            "<message><source>Open</source><comment>verb</comment><translation>Abrir</translation>"
                            "</message>"
                            "<message><source>Later</source><translation type=\"unfinished\">Depois</translation>"
                            "</message>"
                            "<message numerus=\"yes\"><source>%n file(s)</source><translation>"
                            "<numerusform>%n arquivo</numerusform><numerusform>%n arquivos</numerusform>"
                            "</translation></message>"
                            "</context><context><name>QLineEdit</name>"
                            "<message><source>&amp;Save</source><translation>&amp;Gravar</translation></message>"
                            "</context></TS>";
    QTest::newRow("a plain text") << base << "QFileDialog"
                                  << "&Save"
                                  << "" << -1 << "&Salvar";
    QTest::newRow("the same text in another context") << base << "QLineEdit"
                                                      << "&Save"
                                                      << "" << -1 << "&Gravar";
    QTest::newRow("a context it does not have") << base << "QMenu"
                                                << "&Save"
                                                << "" << -1 << "";
    QTest::newRow("with its comment") << base << "QFileDialog"
                                      << "Open"
                                      << "verb" << -1 << "Abrir";
    QTest::newRow("asked without the comment it was given") << base << "QFileDialog"
                                                            << "Open"
                                                            << "" << -1 << "";
    QTest::newRow("an unfinished translation is not used") << base << "QFileDialog"
                                                           << "Later"
                                                           << "" << -1 << "";
    QTest::newRow("plural: one") << base << "QFileDialog"
                                 << "%n file(s)"
                                 << "" << 1 << "%n arquivo";
    QTest::newRow("plural: none is singular") << base << "QFileDialog"
                                              << "%n file(s)"
                                              << "" << 0 << "%n arquivo";
    QTest::newRow("plural: three") << base << "QFileDialog"
                                   << "%n file(s)"
                                   << "" << 3 << "%n arquivos";
    QTest::newRow("a broken file gives nothing") << base.left(base.size() - 20) << "QFileDialog"
                                                 << "&Save"
                                                 << "" << -1 << "";
}

void TestTranslations::readingTheShippedFile()
{
    QFETCH(QByteArray, ts);
    QFETCH(QString, contexto);
    QFETCH(QString, fonte);
    QFETCH(QString, comentario);
    QFETCH(int, n);
    QFETCH(QString, esperado);
    QBuffer b(&ts);
    QVERIFY(b.open(QIODevice::ReadOnly));
    TradutorTs t;
    const bool lido = t.carrega(b);
    QCOMPARE(lido, !t.isEmpty());
    const QByteArray c = contexto.toUtf8(), f = fonte.toUtf8(), d = comentario.toUtf8();
    QCOMPARE(t.translate(c.constData(), f.constData(), d.isEmpty() ? nullptr : d.constData(), n), esperado);
}

QTEST_MAIN(TestTranslations)
#include "tst_translations.moc"
