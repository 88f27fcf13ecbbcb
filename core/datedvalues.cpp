#include "core/datedvalues.h"

#include "core/edition.h"
#include "core/messages.h"
#include "core/settings.h"
#include "platform/clock.h"
#include "platform/formatting.h"

namespace stb {

namespace {

const QString kQuebra = QStringLiteral("\r");
// The longest list of "$" references read from one value.
constexpr int kMaxReferencias = 256;

HtmlMessageHandler g_htmlHandler;

int parteInteira(const QString &text)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    return ok ? v : 0;
}

QString ler(const QString &section, const QString &key) { return IniLocal2().readString(section, key); }

// The keys of a "$" list: the value after its leading "$", cut to the longest
// list, split at each "$".
QStringList referencias(const QString &value)
{
    QStringList keys;
    for (const QString &k : value.mid(1, kMaxReferencias).split(QLatin1Char('$'), Qt::SkipEmptyParts))
        if (!k.trimmed().isEmpty())
            keys << k.trimmed();
    return keys;
}

// Keys already evaluated, each enclosed in ";" (keys compare without case, as
// in the INI file).
class Visitados {
public:
    bool contains(const QString &key) const { return m_list.contains(marca(key)); }
    void add(const QString &key) { m_list += marca(key); }

private:
    static QString marca(const QString &key) { return QLatin1Char(';') + key.toUpper() + QLatin1Char(';'); }
    QString m_list;
};

QString mensagemItem(const QString &key, Visitados &visitados);

QString expandeMensagens(const QString &value, Visitados &visitados)
{
    QString out;
    for (const QString &k : referencias(value))
        out += mensagemItem(k, visitados) + kQuebra;
    return out;
}

QString mensagemItem(const QString &key, Visitados &visitados)
{
    if (key.isEmpty() || visitados.contains(key))
        return {};
    visitados.add(key);

    const QString prazo = ler(QStringLiteral("Prazo.Mensagens"), key);
    const QString datado
        = prazo.startsWith(QLatin1Char('$')) ? expandeMensagens(prazo, visitados) : PrazoMensagem(prazo);
    const QString fixo = ler(QStringLiteral("Mensagens"), key);
    const QString permanente = fixo.startsWith(QLatin1Char('$')) ? expandeMensagens(fixo, visitados) : fixo;

    QString result = datado;
    if (!permanente.isEmpty())
        result = result.isEmpty() ? permanente : result + kQuebra + permanente;

    if (key.size() > 2) {
        const QString doItem = mensagemItem(key.left(2), visitados);
        if (doItem.startsWith(QLatin1String("<HTML>"), Qt::CaseInsensitive))
            MostraHtml(QStringLiteral("INFORMAÇÃO IMPORTANTE"), doItem);
        else if (!doItem.isEmpty())
            result = result.isEmpty() ? doItem : result + kQuebra + doItem;
    }
    return result.replace(QLatin1String("^p"), kQuebra);
}

QString mensagemAliq(const QString &key, const QString &secaoPrazo, const QString &secao, Visitados &visitados)
{
    if (key.isEmpty() || visitados.contains(key))
        return {};
    visitados.add(key);

    QString result;
    if (!secaoPrazo.isEmpty()) {
        const QString v = ler(secaoPrazo, key);
        result = v.startsWith(QLatin1Char('$')) ? mensagemAliq(v.mid(1).trimmed(), secaoPrazo, secao, visitados)
                                                : PrazoMensagem(v);
    }
    if (result.isEmpty()) {
        const QString v = ler(secao, key);
        result = v.startsWith(QLatin1Char('$')) ? mensagemAliq(v.mid(1).trimmed(), secaoPrazo, secao, visitados) : v;
    }
    if (result.isEmpty() && key.size() > 2)
        result = mensagemAliq(key.left(2), secaoPrazo, secao, visitados);
    return result;
}

QString textoMVAAjustada(const QString &code, Visitados &visitados)
{
    if (code.isEmpty() || visitados.contains(code))
        return {};
    visitados.add(code);
    const QString v = ler(QStringLiteral("MVAAjustada.Mensagem"), code);
    QString texto = v;
    if (v.startsWith(QLatin1Char('$'))) {
        QStringList partes;
        for (const QString &k : referencias(v))
            partes << textoMVAAjustada(k, visitados);
        texto = partes.join(QLatin1Char('\n'));
    }
    return texto + QLatin1Char('\n') + NotaPadraoMVAAjustada();
}

} // namespace

ValorDatado SeparaValorDatado(const QString &value)
{
    ValorDatado v;
    const QStringList parts = value.split(QLatin1Char('/'));
    v.dia = parteInteira(parts.value(0));
    v.mes = parts.size() > 1 ? parteInteira(parts.value(1)) : 0;
    v.ano = parts.size() > 2 ? parteInteira(parts.value(2)) : 0;
    if (parts.size() > 3)
        v.resto = value.section(QLatin1Char('/'), 3);
    if (v.ano >= 1 && v.ano <= 9999)
        v.date = QDate(v.ano, v.mes, v.dia); // invalid when the parts do not form a date
    return v;
}

QString PrazoMensagem(const QString &value)
{
    if (value.isEmpty())
        return {};
    const ValorDatado v = SeparaValorDatado(value);
    if (!v.date.isValid()) {
        MsgErro(QStringLiteral("Há um erro no prazo desta informação. Ela não será considerada. Favor verificar.")
            + kQuebra + value);
        return {};
    }
    return Clock::today() > v.date ? QString() : v.resto;
}

Currency AliqICMSCodigo(const QString &code, quint8 mode)
{
    Currency r;
    if (mode == 0 || mode == 1) {
        const QString dated = ler(QStringLiteral("Prazo.AliqICMS"), code);
        if (!dated.isEmpty()) {
            const ValorDatado v = SeparaValorDatado(dated);
            QDate limite = v.date;
            if (!limite.isValid()) {
                MsgErro(QStringLiteral("Há um erro no prazo desta informação. Favor verificar.\r") + dated);
                limite = Clock::today();
            }
            r = LeValor(v.resto);
            if (Clock::today() > limite)
                r = Currency();
        }
    }
    // A code of two characters or fewer is a chapter: it has no chapter of its own.
    const bool capitulo = code.size() <= 2;
    if (mode == 1)
        return r.isZero() && !capitulo ? AliqICMSCodigo(code.left(2), 1) : r;
    if (mode != 0 && mode != 2)
        return r;
    if (r.isZero())
        r = Currency::fromDouble(IniLocal2().readFloat(QStringLiteral("AliqICMS"), code, 0));
    if (r.isZero())
        r = capitulo ? Currency::fromInt(18) : AliqICMSCodigo(code.left(2), mode);
    return r;
}

QString MensagemItem(const QString &key)
{
    Visitados visitados;
    return mensagemItem(key, visitados);
}

void setHtmlMessageHandler(HtmlMessageHandler handler) { g_htmlHandler = std::move(handler); }

void MostraHtml(const QString &title, const QString &html)
{
    if (g_htmlHandler)
        g_htmlHandler(title, html);
    else
        MsgInformacao(html);
}

QString MensagemAliq(const QString &key)
{
    Visitados visitados;
    return mensagemAliq(key, QStringLiteral("Prazo.MensAliqICMS"), QStringLiteral("MensAliqICMS"), visitados);
}

QString MensagemAliqMVAAjustada(const QString &key)
{
    Visitados visitados;
    return mensagemAliq(key, QString(), QStringLiteral("MVAAjustada.MensAliq"), visitados);
}

QString NotaPadraoMVAAjustada()
{
    return QStringLiteral(
        "Observações sobre a MVA ajustada:\n"
        "- A MVA ajustada não se aplica quando o remetente for microempresa (ME) ou empresa de pequeno porte (EPP).\n"
        "- A MVA só é ajustada quando a alíquota interna da operação própria do substituto for superior à alíquota "
        "interestadual.\n"
        "- Nas operações com base de cálculo reduzida, aplica-se o multiplicador opcional previsto no regulamento.");
}

QString TextoMVAAjustada(const QString &code)
{
    if (Contribuinte)
        return {};
    Visitados visitados;
    return textoMVAAjustada(code, visitados);
}

Currency LeValor(const QString &text)
{
    const QString t = text.trimmed();
    if (const auto v = StrToCurr(t))
        return *v;
    if (!t.contains(QLatin1Char(','))) {
        if (const auto v = StrToCurr(QString(t).replace(QLatin1Char('.'), QLatin1Char(','))))
            return *v;
    }
    return {};
}

} // namespace stb
