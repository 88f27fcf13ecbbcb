// Messages to the user, shared by every layer.
//
// The core says what to tell or ask; a sink decides how: the GUI shows a
// message box with the system's captions, the command-line tool writes to
// stderr, tests record the texts and answer the questions by script.
#pragma once

#include <QString>
#include <QStringList>

namespace stb {

enum class MsgKind {
    Aviso, // warning, caption "Atenção"
    Erro, // error, caption "Atenção"
    Informacao, // caption "Informação"
    Pergunta, // yes/no question, caption "Confirme"
};

class MessageSink {
public:
    virtual ~MessageSink() = default;
    virtual void show(MsgKind kind, const QString &text) = 0;
    // A message under a caption of its own (the application title, say).
    virtual void showCaptioned(MsgKind kind, const QString &text, const QString &caption)
    {
        Q_UNUSED(caption);
        show(kind, text);
    }
    // A yes/no question; `defaultYes` tells which answer is the default.
    virtual bool ask(const QString &text, bool defaultYes) = 0;
    // A question answered by typing (ConfirmaDigitandoSim): the typed text, or
    // an empty text when cancelled.
    virtual QString askText(const QString &text) = 0;
    // A message or a yes/no question that carries the box "Não mostre mais
    // esta mensagem"; `naoMostre` receives the box's state. The default shows
    // or asks without the box.
    virtual void showDontRepeat(MsgKind kind, const QString &text, bool &naoMostre)
    {
        naoMostre = false;
        show(kind, text);
    }
    virtual bool askDontRepeat(const QString &text, bool defaultYes, bool &naoMostre)
    {
        naoMostre = false;
        return ask(text, defaultYes);
    }
};

// Installs the process's sink (nullptr restores the default, which writes to
// stderr and takes the default answers). Returns the previous one.
MessageSink *setMessageSink(MessageSink *sink);
MessageSink &messageSink();

void MsgAviso(const QString &text);
void MsgErro(const QString &text);
void MsgInformacao(const QString &text);
// A plain message box under the given caption.
void MsgCaption(const QString &text, const QString &caption);
// Yes/no questions, caption "Confirme"; a question mark is appended when the
// text has none. Confirma defaults to Yes, ConfirmaPadraoNao to No.
bool Confirma(const QString &text);
bool ConfirmaPadraoNao(const QString &text);
// The question appended with "?" when it has none (what the box shows).
QString questionText(const QString &text);
// "Tem Certeza? (se tiver, responda com SIM)": true only when "Sim" (any case)
// is typed; otherwise "Solicitação Não Confirmada!" is shown.
bool ConfirmaDigitandoSim();
// Information and yes/no questions with the box "Não mostre mais esta
// mensagem"; `naoMostre` tells whether the user ticked it.
void MsgInformacaoNaoMostre(const QString &text, bool &naoMostre);
bool ConfirmaNaoMostre(const QString &text, bool &naoMostre); // default Yes
bool ConfirmaPadraoNaoNaoMostre(const QString &text, bool &naoMostre); // default No

// A sink that records every message and answers from a script; for tests and
// for headless runs.
class RecordingSink : public MessageSink {
public:
    struct Entry {
        MsgKind kind;
        QString text;
    };
    QList<Entry> entries;
    QList<bool> answers; // consumed in order; when empty the default answer is taken
    QStringList typedTexts; // answers of askText, consumed in order
    QList<bool> dontRepeat; // states of the "Não mostre mais" box, consumed in order; unticked when empty

    void show(MsgKind kind, const QString &text) override;
    bool ask(const QString &text, bool defaultYes) override;
    QString askText(const QString &text) override;
    void showDontRepeat(MsgKind kind, const QString &text, bool &naoMostre) override;
    bool askDontRepeat(const QString &text, bool defaultYes, bool &naoMostre) override;

    QStringList texts() const;
    void clear() { entries.clear(); }
};

} // namespace stb
