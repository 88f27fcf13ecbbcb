#include "core/messages.h"

#include <cstdio>

namespace stb {

namespace {

class StderrSink : public MessageSink {
public:
    void show(MsgKind, const QString &text) override
    {
        std::fprintf(stderr, "%s\n", qPrintable(QString(text).replace(QLatin1Char('\r'), QLatin1Char('\n'))));
    }
    bool ask(const QString &text, bool defaultYes) override
    {
        show(MsgKind::Pergunta, text + (defaultYes ? QStringLiteral(" [Sim]") : QStringLiteral(" [Não]")));
        return defaultYes;
    }
    QString askText(const QString &text) override
    {
        show(MsgKind::Pergunta, text);
        return {};
    }
};

StderrSink g_default;
MessageSink *g_sink = &g_default;

} // namespace

MessageSink *setMessageSink(MessageSink *sink)
{
    MessageSink *old = g_sink == &g_default ? nullptr : g_sink;
    g_sink = sink ? sink : &g_default;
    return old;
}

MessageSink &messageSink() { return *g_sink; }

void MsgAviso(const QString &text) { g_sink->show(MsgKind::Aviso, text); }
void MsgErro(const QString &text) { g_sink->show(MsgKind::Erro, text); }
void MsgInformacao(const QString &text) { g_sink->show(MsgKind::Informacao, text); }
void MsgCaption(const QString &text, const QString &caption)
{
    g_sink->showCaptioned(MsgKind::Informacao, text, caption);
}

QString questionText(const QString &text) { return text.contains(QLatin1Char('?')) ? text : text + QLatin1Char('?'); }

bool Confirma(const QString &text) { return g_sink->ask(questionText(text), true); }
bool ConfirmaPadraoNao(const QString &text) { return g_sink->ask(questionText(text), false); }

bool ConfirmaDigitandoSim()
{
    const QString typed = g_sink->askText(QStringLiteral("Tem Certeza? (se tiver, responda com SIM)"));
    if (typed.trimmed().compare(QLatin1String("Sim"), Qt::CaseInsensitive) == 0)
        return true;
    MsgAviso(QStringLiteral("Solicitação Não Confirmada!"));
    return false;
}

void MsgInformacaoNaoMostre(const QString &text, bool &naoMostre)
{
    g_sink->showDontRepeat(MsgKind::Informacao, text, naoMostre);
}

bool ConfirmaNaoMostre(const QString &text, bool &naoMostre)
{
    return g_sink->askDontRepeat(questionText(text), true, naoMostre);
}

bool ConfirmaPadraoNaoNaoMostre(const QString &text, bool &naoMostre)
{
    return g_sink->askDontRepeat(questionText(text), false, naoMostre);
}

void RecordingSink::show(MsgKind kind, const QString &text) { entries << Entry {kind, text}; }

bool RecordingSink::ask(const QString &text, bool defaultYes)
{
    entries << Entry {MsgKind::Pergunta, text};
    return answers.isEmpty() ? defaultYes : answers.takeFirst();
}

QString RecordingSink::askText(const QString &text)
{
    entries << Entry {MsgKind::Pergunta, text};
    return typedTexts.isEmpty() ? QString() : typedTexts.takeFirst();
}

void RecordingSink::showDontRepeat(MsgKind kind, const QString &text, bool &naoMostre)
{
    show(kind, text);
    naoMostre = dontRepeat.isEmpty() ? false : dontRepeat.takeFirst();
}

bool RecordingSink::askDontRepeat(const QString &text, bool defaultYes, bool &naoMostre)
{
    const bool answer = ask(text, defaultYes);
    naoMostre = dontRepeat.isEmpty() ? false : dontRepeat.takeFirst();
    return answer;
}

QStringList RecordingSink::texts() const
{
    QStringList out;
    for (const Entry &e : entries)
        out << e.text;
    return out;
}

} // namespace stb
