#include "core/annexlookup.h"

#include "core/datamodule.h"
#include "core/datedvalues.h"
#include "core/messages.h"
#include "core/settings.h"
#include "platform/annexconsult.h"
#include "platform/formatting.h"

#include <QHash>

namespace stb {

namespace {

int parte(const QStringList &parts, int i)
{
    bool ok = false;
    const int v = parts.value(i).trimmed().toInt(&ok);
    return ok ? v : 0;
}

// A description travels on one line of the request.
QString umaLinha(const QString &text)
{
    QString t = text;
    t.replace(QLatin1String("\r\n"), QLatin1String(" "));
    t.replace(QLatin1Char('\r'), QLatin1Char(' '));
    t.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return t;
}

QString linhasBrelva(qint64 janela, const ItemBrelvaConsulta &c, int status)
{
    QStringList lines {QStringLiteral("Handle=%1").arg(janela), QStringLiteral("Item=%1").arg(c.item),
        QStringLiteral("Ex=%1").arg(c.ex), QStringLiteral("SubItem=%1").arg(c.subItem),
        QStringLiteral("Ambito=%1").arg(c.ambito), QStringLiteral("Id=%1").arg(c.id),
        QStringLiteral("Descr=") + umaLinha(c.descricao),
        QStringLiteral("MVA=") + Format(QStringLiteral("%.2f"), {c.mva.toDouble()}),
        QStringLiteral("Status=%1").arg(status), QStringLiteral("FEM=%1").arg(c.fem)};
    if (status != 0)
        lines << QStringLiteral("CEST=") + umaLinha(c.cest);
    return lines.join(QStringLiteral("\r\n"));
}

} // namespace

CodigoBrelva SeparaCodigoBrelva(const QString &code)
{
    QString t = code.trimmed();
    t.replace(QLatin1Char(','), QLatin1Char('.'));
    const QStringList parts = t.split(QLatin1Char('.'));
    CodigoBrelva c;
    c.item = parte(parts, 0);
    c.ex = parte(parts, 1);
    c.subItem = parte(parts, 2);
    c.temItem = !parts.value(0).trimmed().isEmpty();
    c.temUltimaParte = parts.size() >= 2 && !parts.last().trimmed().isEmpty();
    return c;
}

QString FormataCodigoBrelva(int item, int ex, int subItem)
{
    return QStringLiteral("%1.%2.%3")
        .arg(item, 2, 10, QLatin1Char('0'))
        .arg(ex, 3, 10, QLatin1Char('0'))
        .arg(subItem, 2, 10, QLatin1Char('0'));
}

QString TextoPedidoBrelva(qint64 janela, const ItemBrelvaConsulta &c) { return linhasBrelva(janela, c, 0); }

QString TextoRespostaBrelva(qint64 janela, const ItemBrelvaConsulta &c) { return linhasBrelva(janela, c, 1); }

ItemBrelvaConsulta LeTextoBrelva(const QString &text, qint64 *janela, int *status)
{
    QHash<QString, QString> v;
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        const QString l = line.endsWith(QLatin1Char('\r')) ? line.chopped(1) : line;
        const qsizetype eq = l.indexOf(QLatin1Char('='));
        if (eq > 0)
            v.insert(l.left(eq).trimmed().toLower(), l.mid(eq + 1));
    }
    auto inteiro = [&v](const char *name) { return v.value(QLatin1String(name)).trimmed().toInt(); };
    ItemBrelvaConsulta c;
    c.item = inteiro("item");
    c.ex = inteiro("ex");
    c.subItem = inteiro("subitem");
    c.ambito = inteiro("ambito");
    c.id = inteiro("id");
    c.fem = inteiro("fem");
    c.descricao = v.value(QStringLiteral("descr"));
    c.cest = v.value(QStringLiteral("cest"));
    c.mva = LeValor(v.value(QStringLiteral("mva")));
    if (janela)
        *janela = v.value(QStringLiteral("handle")).trimmed().toLongLong();
    if (status)
        *status = inteiro("status");
    return c;
}

// ===== the data module's look-up ===================================================

Currency TDM::EscolheMVABrelva(const QString &cabecalho, const QString &info1, Currency mva1, const QString &info2,
    Currency mva2, const QString &info3, Currency mva3, const EscolheOpcaoMVA &escolhe)
{
    if (mva2.isZero() || !escolhe)
        return mva1;
    auto opcao = [](const QString &info, Currency mva) {
        return Format(QStringLiteral("%s: %n%%"), {info, mva.toDouble()});
    };
    QStringList opcoes {opcao(info1, mva1), opcao(info2, mva2)};
    if (!mva3.isZero())
        opcoes << opcao(info3, mva3);
    switch (escolhe(cabecalho, opcoes)) {
    case 2:
        return mva2;
    case 3:
        return mva3.isZero() ? mva1 : mva3;
    default:
        return mva1;
    }
}

bool TDM::ProcuraItemBrelva(quint8 chamador, qint64 janela, ItemBrelvaConsulta &c, const EscolheOpcaoMVA &escolhe)
{
    // A code with an extension or a sub-item is looked up in the table first.
    if (c.ex != 0 || c.subItem != 0) {
        if (!TabBrelva.isActive() && !TabBrelva.exists())
            TabBeforeOpen(TabBrelva);
        db::Query q(&BaseDados);
        q.setSql(
            QStringLiteral("SELECT ITEM, SUBITEM, ID, DESCRICAO, MVA1, MVA2, INFOMVA1, INFOMVA2,       MVA3, INFOMVA3, "
                           "CEST, FEM, AMBITO FROM BRELVA ")
            + QStringLiteral(" WHERE ITEM = %1 AND EX = %2 AND SUBITEM = %3").arg(c.item).arg(c.ex).arg(c.subItem));
        q.open();
        if (!q.isEmpty() && !q.fieldByName(QStringLiteral("ITEM")).isNull()) {
            c.id = q.fieldByName(QStringLiteral("ID")).asInteger();
            c.descricao = q.fieldByName(QStringLiteral("DESCRICAO")).asString();
            c.cest = q.fieldByName(QStringLiteral("CEST")).asString();
            const Currency mva1 = q.fieldByName(QStringLiteral("MVA1")).asCurrency();
            const Currency mva2 = q.fieldByName(QStringLiteral("MVA2")).asCurrency();
            c.mva = mva2.isZero() ? mva1
                                  : EscolheMVABrelva(c.cest.left(9) + QStringLiteral(" - ") + c.descricao,
                                      q.fieldByName(QStringLiteral("INFOMVA1")).asString(), mva1,
                                      q.fieldByName(QStringLiteral("INFOMVA2")).asString(), mva2,
                                      q.fieldByName(QStringLiteral("INFOMVA3")).asString(),
                                      q.fieldByName(QStringLiteral("MVA3")).asCurrency(), escolhe);
            c.fem = q.fieldByName(QStringLiteral("FEM")).asBoolean() ? 1 : 0;
            c.ambito = q.fieldByName(QStringLiteral("AMBITO")).asInteger();
            q.close();
            return true;
        }
        q.close();
    }

    // Remote question: the annex program answers the caller's window later.
    HandleBrelva = annex::OpenAnnexConsult(Settings::instance().appDir());
    if (HandleBrelva == 0) {
        MsgErro(QStringLiteral("Não consegui abrir o Brelva..."));
        return false;
    }
    m_pedidoBrelva = std::make_unique<MessageWindow>();
    m_pedidoBrelva->setText(TextoPedidoBrelva(janela, c));
    PostMessage(HandleBrelva, annex::MsgPedido, chamador, m_pedidoBrelva->handle());
    PostMessage(janela, annex::MsgFrente, 0, 0);
    return false;
}

bool TDM::ExcluidoMVAAjustada(const QString &code) const
{
    if (code.isEmpty())
        return false;
    IniFile &ini = IniLocal2();
    const QString secao = QStringLiteral("MVAAjustada.Exclui");
    return ini.readBool(secao, code, false) || (code.size() > 2 && ini.readBool(secao, code.left(2), false));
}

} // namespace stb
