#include "core/nfe.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QXmlStreamReader>

namespace stb {

namespace {

bool soDigitos(QStringView s)
{
    for (QChar c : s)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return true;
}

// Where the reader stands: the names of the open elements below infNFe.
class LeitorNFe {
public:
    explicit LeitorNFe(QXmlStreamReader &xml) : m_xml(xml) {}

    NFeLeitura le();

private:
    bool recusa(const QString &motivo)
    {
        if (m_motivo.isEmpty())
            m_motivo = motivo;
        return false;
    }
    bool raiz();
    bool abre();
    bool fecha();
    bool campo(const QStringList &p, const QString &texto);
    bool valor(Currency &destino, const QString &nome, const QString &texto);
    bool campoItem(NFeItem &it, const QStringList &partes, const QString &texto);
    bool confere();

    QXmlStreamReader &m_xml;
    NFeDocumento m_nfe;
    QString m_motivo;
    QStringList m_pilha; // open elements from the root
    int m_inicioInf = -1; // depth of infNFe in m_pilha, -1 outside it
    QString m_texto;
    bool m_temInf = false;
    bool m_ignora = false; // inside the signature or the protocol: not read
    int m_profundidadeIgnora = 0;
};

NFeLeitura LeitorNFe::le()
{
    NFeLeitura r;
    bool raizVista = false;
    while (!m_xml.atEnd()) {
        const QXmlStreamReader::TokenType t = m_xml.readNext();
        bool continua = true;
        switch (t) {
        case QXmlStreamReader::DTD:
            continua = recusa(QStringLiteral("o arquivo declara um DTD (entidades não são aceitas)"));
            break;
        case QXmlStreamReader::EntityReference:
            continua = recusa(QStringLiteral("o arquivo usa uma entidade não declarada"));
            break;
        case QXmlStreamReader::StartElement:
            if (!raizVista) {
                raizVista = true;
                continua = raiz();
            }
            if (continua)
                continua = abre();
            break;
        case QXmlStreamReader::EndElement:
            continua = fecha();
            break;
        case QXmlStreamReader::Characters:
            if (!m_ignora && m_inicioInf >= 0) {
                if (m_texto.size() + m_xml.text().size() > TextoMaximoNFe)
                    continua = recusa(QStringLiteral("o texto do elemento <%1> é longo demais")
                                          .arg(m_pilha.value(m_pilha.size() - 1)));
                else
                    m_texto += m_xml.text();
            }
            break;
        default:
            break;
        }
        if (!continua)
            break;
    }
    if (m_motivo.isEmpty() && m_xml.hasError()) {
        switch (m_xml.error()) {
        case QXmlStreamReader::PrematureEndOfDocumentError:
            recusa(QStringLiteral("o arquivo termina antes do fim do documento (linha %1)").arg(m_xml.lineNumber()));
            break;
        case QXmlStreamReader::CustomError:
            recusa(m_xml.errorString());
            break;
        default:
            recusa(QStringLiteral("XML mal formado na linha %1, coluna %2 (%3)")
                       .arg(m_xml.lineNumber())
                       .arg(m_xml.columnNumber())
                       .arg(m_xml.errorString()));
            break;
        }
    }
    if (m_motivo.isEmpty() && !raizVista)
        recusa(QStringLiteral("o arquivo está vazio ou não é XML"));
    if (m_motivo.isEmpty())
        confere();
    if (m_motivo.isEmpty())
        r.nfe = std::move(m_nfe);
    else
        r.motivo = m_motivo;
    return r;
}

bool LeitorNFe::raiz()
{
    const QString nome = m_xml.name().toString();
    if (m_xml.namespaceUri() != NamespaceNFe || (nome != QLatin1String("nfeProc") && nome != QLatin1String("NFe"))) {
        const QString ns = m_xml.namespaceUri().toString();
        return recusa(QStringLiteral("não é uma NF-e (o documento é <%1>%2)")
                          .arg(nome, ns.isEmpty() ? QString() : QStringLiteral(" de ") + ns));
    }
    return true;
}

bool LeitorNFe::abre()
{
    if (m_pilha.size() >= ProfundidadeMaximaNFe)
        return recusa(QStringLiteral("elementos aninhados além de %1 níveis").arg(ProfundidadeMaximaNFe));
    const QString nome = m_xml.name().toString();
    m_pilha << nome;
    m_texto.clear();
    if (m_ignora)
        return true;
    // Only the NF-e's own namespace is read; the signature is skipped.
    if (m_xml.namespaceUri() != NamespaceNFe) {
        m_ignora = true;
        m_profundidadeIgnora = m_pilha.size();
        return true;
    }
    if (nome == QLatin1String("infNFe") && m_inicioInf < 0) {
        if (m_temInf)
            return recusa(QStringLiteral("o arquivo tem mais de uma NF-e"));
        m_temInf = true;
        m_inicioInf = m_pilha.size();
        const QString id = m_xml.attributes().value(QLatin1String("Id")).toString();
        if (!id.startsWith(QLatin1String("NFe")) || id.size() != 47 || !soDigitos(QStringView(id).mid(3)))
            return recusa(QStringLiteral("a chave de acesso (atributo Id de infNFe) não tem 44 dígitos: \"%1\"")
                              .arg(id.left(60)));
        m_nfe.chave = id.mid(3);
        return true;
    }
    if (m_inicioInf >= 0 && m_pilha.size() == m_inicioInf + 1 && nome == QLatin1String("det")) {
        NFeItem it;
        bool ok = false;
        it.nItem = m_xml.attributes().value(QLatin1String("nItem")).toInt(&ok);
        if (!ok || it.nItem < 1 || it.nItem > 990)
            return recusa(QStringLiteral("item com número inválido (nItem \"%1\")")
                              .arg(m_xml.attributes().value(QLatin1String("nItem")).toString().left(20)));
        if (m_nfe.itens.size() >= 990)
            return recusa(QStringLiteral("mais de 990 itens"));
        m_nfe.itens << it;
    }
    return true;
}

bool LeitorNFe::fecha()
{
    bool ok = true;
    if (m_ignora) {
        if (m_pilha.size() == m_profundidadeIgnora)
            m_ignora = false;
    } else if (m_inicioInf >= 0) {
        if (m_pilha.size() == m_inicioInf) {
            m_inicioInf = -1; // infNFe closed
        } else if (m_pilha.size() > m_inicioInf) {
            ok = campo(m_pilha.mid(m_inicioInf), m_texto.trimmed());
        }
    }
    if (!m_pilha.isEmpty())
        m_pilha.removeLast();
    m_texto.clear();
    return ok;
}

bool LeitorNFe::valor(Currency &destino, const QString &nome, const QString &texto)
{
    const std::optional<Currency> v = LeDecimalNFe(texto);
    if (!v)
        return recusa(QStringLiteral("valor inválido em <%1>: \"%2\"").arg(nome, texto.left(40)));
    destino = *v;
    return true;
}

// `p` is the path of the element closed, from below infNFe.
bool LeitorNFe::campo(const QStringList &p, const QString &texto)
{
    const QString &g = p[0];
    if (g == QLatin1String("det") && !m_nfe.itens.isEmpty())
        return campoItem(m_nfe.itens.last(), p, texto);
    if (p.size() == 2 && g == QLatin1String("ide")) {
        if (p[1] == QLatin1String("nNF"))
            m_nfe.nNF = texto;
        else if (p[1] == QLatin1String("dhEmi") || (p[1] == QLatin1String("dEmi") && m_nfe.dhEmi.isEmpty()))
            m_nfe.dhEmi = texto;
        else if (p[1] == QLatin1String("idDest"))
            m_nfe.idDest = texto.toInt();
        return true;
    }
    if (g == QLatin1String("emit") || g == QLatin1String("dest")) {
        NFeParte &parte = g == QLatin1String("emit") ? m_nfe.emitente : m_nfe.destinatario;
        const QString &c = p.value(1);
        if (p.size() == 2) {
            if (c == QLatin1String("CNPJ"))
                parte.cnpj = texto;
            else if (c == QLatin1String("CPF"))
                parte.cpf = texto;
            else if (c == QLatin1String("xNome"))
                parte.nome = texto;
            else if (c == QLatin1String("IE"))
                parte.ie = texto;
        } else if (p.size() == 3 && (c == QLatin1String("enderEmit") || c == QLatin1String("enderDest"))
            && p[2] == QLatin1String("UF")) {
            parte.uf = texto;
        }
        return true;
    }
    if (p.size() == 3 && g == QLatin1String("total") && p[1] == QLatin1String("ICMSTot")) {
        const QString &c = p[2];
        Currency *d = c == QLatin1String("vST") ? &m_nfe.vST
            : c == QLatin1String("vFrete")      ? &m_nfe.vFrete
            : c == QLatin1String("vProd")       ? &m_nfe.vProd
            : c == QLatin1String("vIPI")        ? &m_nfe.vIPI
            : c == QLatin1String("vNF")         ? &m_nfe.vNF
            : c == QLatin1String("vICMS")       ? &m_nfe.vICMS
                                                : nullptr;
        return d ? valor(*d, c, texto) : true;
    }
    return true;
}

bool LeitorNFe::campoItem(NFeItem &it, const QStringList &p, const QString &texto)
{
    if (p.size() == 3 && p[1] == QLatin1String("prod")) {
        const QString &c = p[2];
        if (c == QLatin1String("cProd"))
            it.cProd = texto;
        else if (c == QLatin1String("cEAN"))
            it.cEAN = texto;
        else if (c == QLatin1String("xProd"))
            it.xProd = texto;
        else if (c == QLatin1String("NCM"))
            it.ncm = texto;
        else if (c == QLatin1String("CEST"))
            it.cest = texto;
        else if (c == QLatin1String("CFOP"))
            it.cfop = texto;
        else if (c == QLatin1String("qCom"))
            return valor(it.qCom, c, texto);
        else if (c == QLatin1String("vProd"))
            return valor(it.vProd, c, texto);
        else if (c == QLatin1String("vFrete"))
            return valor(it.vFrete, c, texto);
        else if (c == QLatin1String("vDesc"))
            return valor(it.vDesc, c, texto);
        else if (c == QLatin1String("vOutro"))
            return valor(it.vOutro, c, texto);
        return true;
    }
    // det/imposto/ICMS/<group>/<field>, whatever the group.
    if (p.size() == 5 && p[1] == QLatin1String("imposto") && p[2] == QLatin1String("ICMS")) {
        const QString &c = p[4];
        if (it.grupoICMS.isEmpty())
            it.grupoICMS = p[3];
        if (c == QLatin1String("orig"))
            it.orig = texto;
        else if (c == QLatin1String("CST") || c == QLatin1String("CSOSN"))
            it.cst = texto;
        else if (c == QLatin1String("modBCST"))
            it.modBCST = texto.toInt();
        else if (c == QLatin1String("pICMS"))
            return valor(it.pICMS, c, texto);
        else if (c == QLatin1String("vICMS"))
            return valor(it.vICMS, c, texto);
        else if (c == QLatin1String("pMVAST"))
            return valor(it.pMVAST, c, texto);
        else if (c == QLatin1String("vBCST"))
            return valor(it.vBCST, c, texto);
        else if (c == QLatin1String("pICMSST"))
            return valor(it.pICMSST, c, texto);
        else if (c == QLatin1String("vICMSST"))
            return valor(it.vICMSST, c, texto);
        else if (c == QLatin1String("vFCPST"))
            return valor(it.vFCPST, c, texto);
        return true;
    }
    if (p.size() == 5 && p[1] == QLatin1String("imposto") && p[2] == QLatin1String("IPI")
        && p[3] == QLatin1String("IPITrib") && p[4] == QLatin1String("vIPI"))
        return valor(it.vIPI, p[4], texto);
    return true;
}

bool LeitorNFe::confere()
{
    if (!m_temInf)
        return recusa(QStringLiteral("falta o grupo infNFe"));
    if (!ChaveAcessoValida(m_nfe.chave))
        return recusa(QStringLiteral("o dígito verificador da chave de acesso %1 não confere").arg(m_nfe.chave));
    const QString modelo = m_nfe.chave.mid(20, 2);
    if (modelo != QLatin1String("55") && modelo != QLatin1String("65"))
        return recusa(QStringLiteral("a chave de acesso é de um documento de modelo %1, não de uma NF-e").arg(modelo));
    if (m_nfe.nNF.isEmpty())
        return recusa(QStringLiteral("falta o número da nota (ide/nNF)"));
    m_nfe.dataEmissao = QDate::fromString(m_nfe.dhEmi.left(10), Qt::ISODate);
    if (!m_nfe.dataEmissao.isValid())
        return recusa(QStringLiteral("data de emissão inválida (ide/dhEmi \"%1\")").arg(m_nfe.dhEmi.left(40)));
    if (m_nfe.emitente.cnpj.isEmpty() && m_nfe.emitente.cpf.isEmpty())
        return recusa(QStringLiteral("falta o CNPJ do emitente (emit/CNPJ)"));
    if (m_nfe.itens.isEmpty())
        return recusa(QStringLiteral("a nota não tem itens (det)"));
    return true;
}

} // namespace

std::optional<Currency> LeDecimalNFe(const QString &text)
{
    const QString t = text.trimmed();
    const qsizetype ponto = t.indexOf(QLatin1Char('.'));
    const QStringView inteira = ponto < 0 ? QStringView(t) : QStringView(t).left(ponto);
    const QStringView decimais = ponto < 0 ? QStringView() : QStringView(t).mid(ponto + 1);
    QStringView digitos = inteira;
    if (digitos.startsWith(QLatin1Char('-')))
        digitos = digitos.mid(1);
    if (digitos.isEmpty() || digitos.size() > 15 || !soDigitos(digitos) || (ponto >= 0 && decimais.isEmpty())
        || decimais.size() > 10 || !soDigitos(decimais))
        return std::nullopt;
    return Currency::parsePlain(t);
}

int DigitoChaveAcesso(const QString &digitos43)
{
    int soma = 0, peso = 2;
    for (qsizetype i = digitos43.size() - 1; i >= 0; --i) {
        soma += (digitos43[i].unicode() - '0') * peso;
        peso = peso == 9 ? 2 : peso + 1;
    }
    const int resto = soma % 11;
    return resto < 2 ? 0 : 11 - resto;
}

bool ChaveAcessoValida(const QString &chave)
{
    return chave.size() == 44 && soDigitos(chave) && DigitoChaveAcesso(chave.left(43)) == chave[43].unicode() - '0';
}

NFeLeitura LeNFe(QIODevice &dev)
{
    NFeLeitura r;
    if (!dev.isSequential() && dev.size() - dev.pos() > TamanhoMaximoNFe) {
        r.motivo = QStringLiteral("o arquivo tem %1 MB; uma NF-e tem no máximo %2 MB")
                       .arg((dev.size() + 1024 * 1024 - 1) / (1024 * 1024))
                       .arg(TamanhoMaximoNFe / (1024 * 1024));
        return r;
    }
    // Read whole (bounded above), so a sequential device cannot feed more.
    const QByteArray dados = dev.read(TamanhoMaximoNFe + 1);
    if (dados.size() > TamanhoMaximoNFe) {
        r.motivo = QStringLiteral("o arquivo passa de %1 MB; uma NF-e tem no máximo %1 MB")
                       .arg(TamanhoMaximoNFe / (1024 * 1024));
        return r;
    }
    return LeNFe(dados);
}

NFeLeitura LeNFe(const QByteArray &xml)
{
    if (xml.size() > TamanhoMaximoNFe) {
        NFeLeitura r;
        r.motivo = QStringLiteral("o arquivo passa de %1 MB; uma NF-e tem no máximo %1 MB")
                       .arg(TamanhoMaximoNFe / (1024 * 1024));
        return r;
    }
    QXmlStreamReader reader(xml);
    reader.setNamespaceProcessing(true);
    return LeitorNFe(reader).le();
}

NFeLeitura LeArquivoNFe(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        NFeLeitura r;
        r.motivo = QStringLiteral("não foi possível abrir o arquivo (%1)").arg(f.errorString());
        return r;
    }
    return LeNFe(f);
}

QString MensagemNFeRecusada(const QString &path, const QString &motivo)
{
    return QStringLiteral("O arquivo \"%1\" não é uma NF-e válida: %2.").arg(QFileInfo(path).fileName(), motivo);
}

} // namespace stb
