// Qt's own texts in Brazilian Portuguese: the file dialogs, the print
// preview and set-up, the edit menus of the text fields and the buttons of
// Qt's boxes. The system's translations are used when installed (Debian's
// qt6-translations-l10n); otherwise the copy shipped with the program.
#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QTranslator>

class QIODevice;

namespace stb {

enum class OrigemTraducoes {
    Sistema, // qtbase_pt_BR.qm of Qt's translations folder
    Programa, // the copy in the program's resources
    Nenhuma,
};

// Installs the translator of Qt's texts in the application; `pasta` is the
// folder of Qt's translations (Qt's own folder when empty). Once per process.
OrigemTraducoes InstalaTraducoesQt(const QString &pasta = {});

// A translator read from a Qt Linguist source file (.ts): what the program
// ships needs no build tool. Only finished translations are read.
class TradutorTs : public QTranslator {
public:
    using QTranslator::QTranslator;
    // False when the text is not a translation file or holds no message.
    bool carrega(QIODevice &ts);
    QString translate(
        const char *context, const char *sourceText, const char *disambiguation = nullptr, int n = -1) const override;
    bool isEmpty() const override { return m_textos.isEmpty(); }
    QString idioma() const { return m_idioma; }

private:
    static QString chave(const QString &contexto, const QString &fonte, const QString &comentario);
    QHash<QString, QStringList> m_textos; // plural forms in order; one for a plain text
    QString m_idioma;
};

} // namespace stb
