#include "entry/traducoes.h"

#include <QCoreApplication>
#include <QFile>
#include <QLibraryInfo>
#include <QXmlStreamReader>

// Resources of a static library are registered by hand (outside any namespace).
static void initTraducoesResources() { Q_INIT_RESOURCE(entry); }

namespace stb {

QString TradutorTs::chave(const QString &contexto, const QString &fonte, const QString &comentario)
{
    return contexto + QChar(0) + fonte + QChar(0) + comentario;
}

bool TradutorTs::carrega(QIODevice &ts)
{
    m_textos.clear();
    QXmlStreamReader xml(&ts);
    QString contexto, fonte, comentario;
    QStringList formas;
    bool terminada = true;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            const auto nome = xml.name();
            if (nome == QLatin1String("TS")) {
                m_idioma = xml.attributes().value(QLatin1String("language")).toString();
            } else if (nome == QLatin1String("name")) {
                contexto = xml.readElementText();
            } else if (nome == QLatin1String("message")) {
                fonte.clear();
                comentario.clear();
                formas.clear();
                terminada = true;
            } else if (nome == QLatin1String("source")) {
                fonte = xml.readElementText();
            } else if (nome == QLatin1String("comment")) {
                comentario = xml.readElementText();
            } else if (nome == QLatin1String("translation")) {
                const auto tipo = xml.attributes().value(QLatin1String("type"));
                terminada = tipo != QLatin1String("unfinished") && tipo != QLatin1String("obsolete")
                    && tipo != QLatin1String("vanished");
                // A plain translation holds its text; a plural one, its forms.
                QString texto;
                while (!xml.atEnd()) {
                    xml.readNext();
                    if (xml.isCharacters())
                        texto += xml.text();
                    else if (xml.isStartElement() && xml.name() == QLatin1String("numerusform"))
                        formas << xml.readElementText();
                    else if (xml.isEndElement() && xml.name() == QLatin1String("translation"))
                        break;
                }
                if (formas.isEmpty() && !texto.isEmpty())
                    formas << texto;
            }
        } else if (xml.isEndElement() && xml.name() == QLatin1String("message")) {
            if (terminada && !formas.isEmpty() && !fonte.isEmpty())
                m_textos.insert(chave(contexto, fonte, comentario), formas);
        }
    }
    if (xml.hasError())
        m_textos.clear();
    return !m_textos.isEmpty();
}

QString TradutorTs::translate(const char *context, const char *sourceText, const char *disambiguation, int n) const
{
    const QString contexto = QString::fromUtf8(context);
    const QString fonte = QString::fromUtf8(sourceText);
    auto it = m_textos.constFind(chave(contexto, fonte, QString::fromUtf8(disambiguation)));
    // As Qt's own files: a text asked with a comment is also found without.
    if (it == m_textos.constEnd() && disambiguation && *disambiguation)
        it = m_textos.constFind(chave(contexto, fonte, QString()));
    if (it == m_textos.constEnd())
        return {};
    // Brazilian Portuguese: singular for 0 and 1.
    const qsizetype forma = n < 0 || n <= 1 ? 0 : 1;
    return it->value(std::min(forma, it->size() - 1));
}

OrigemTraducoes InstalaTraducoesQt(const QString &pasta)
{
    const QString dir = pasta.isEmpty() ? QLibraryInfo::path(QLibraryInfo::TranslationsPath) : pasta;
    auto *sistema = new QTranslator(QCoreApplication::instance());
    if (sistema->load(QStringLiteral("qtbase_pt_BR"), dir) && !sistema->isEmpty()) {
        QCoreApplication::installTranslator(sistema);
        return OrigemTraducoes::Sistema;
    }
    delete sistema;
    initTraducoesResources();
    auto *programa = new TradutorTs(QCoreApplication::instance());
    QFile ts(QStringLiteral(":/entry/qtbase_pt_BR.ts"));
    if (ts.open(QIODevice::ReadOnly) && programa->carrega(ts)) {
        QCoreApplication::installTranslator(programa);
        return OrigemTraducoes::Programa;
    }
    delete programa;
    return OrigemTraducoes::Nenhuma;
}

} // namespace stb
