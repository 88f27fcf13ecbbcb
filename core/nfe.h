// Reader of electronic invoices (NF-e, layout 4.00): an "nfeProc" envelope
// or a bare "NFe" document, read with QXmlStreamReader in its namespace.
// Only the fields the import uses are kept. Amounts are read from their
// decimal text straight into Currency, never through a double.
//
// A file that is not an NF-e, whose access key fails its check digit, or
// that looks hostile (a DTD or entity, more than TamanhoMaximoNFe bytes,
// nesting deeper than ProfundidadeMaximaNFe, badly encoded text) is refused
// with a Portuguese reason; nothing of it is used.
#pragma once

#include "platform/currency.h"

#include <QDate>
#include <QList>
#include <QString>
#include <optional>

class QIODevice;

namespace stb {

// The namespace every element of an NF-e belongs to.
inline const QString NamespaceNFe = QStringLiteral("http://www.portalfiscal.inf.br/nfe");

// Limits that keep a hostile file from taking memory or time.
constexpr qint64 TamanhoMaximoNFe = 16 * 1024 * 1024; // bytes of one file
constexpr int ProfundidadeMaximaNFe = 32; // nested elements
constexpr int TextoMaximoNFe = 8192; // characters of one element's text

// Sender or recipient of the invoice.
struct NFeParte {
    QString cnpj, cpf; // digits only
    QString nome, ie, uf;
};

// One "det" of the invoice. The ICMS fields come from whichever ICMS group
// the line carries (ICMS00 ... ICMS90, ICMSSN101 ... ICMSSN900); a field the
// group lacks reads 0. `cst` holds the CST or the CSOSN.
struct NFeItem {
    int nItem = 0;
    QString cProd, cEAN, xProd, ncm, cest, cfop;
    Currency qCom, vProd, vFrete, vDesc, vOutro;
    QString grupoICMS; // the group's element name, "ICMS10" or "ICMSSN202"
    QString orig, cst;
    Currency pICMS, vICMS;
    int modBCST = -1; // -1 when absent
    Currency pMVAST, vBCST, pICMSST, vICMSST, vFCPST;
    Currency vIPI;
};

struct NFeDocumento {
    QString chave; // the 44 digits of the access key
    QString nNF;
    QString dhEmi; // as written
    QDate dataEmissao;
    int idDest = 0; // 1 internal, 2 interstate, 3 abroad; 0 when absent
    NFeParte emitente, destinatario;
    QList<NFeItem> itens;
    // total/ICMSTot
    Currency vICMS, vST, vFrete, vProd, vIPI, vNF;
};

// The result of reading one file: the document, or the reason it was refused.
struct NFeLeitura {
    std::optional<NFeDocumento> nfe;
    QString motivo; // Portuguese reason of the refusal, empty on success
    bool ok() const { return nfe.has_value(); }
};

// Reads an NF-e from `dev` (open for reading).
NFeLeitura LeNFe(QIODevice &dev);
NFeLeitura LeNFe(const QByteArray &xml);
// Reads the file at `path`; a missing or unreadable file is refused too.
NFeLeitura LeArquivoNFe(const QString &path);
// "O arquivo "NAME" não é uma NF-e válida: REASON" for a refused file.
QString MensagemNFeRecusada(const QString &path, const QString &motivo);

// The check digit (0 to 9) of the first 43 digits of an access key: modulus
// 11 with weights 2 to 9 from the right; remainders 0 and 1 give 0.
int DigitoChaveAcesso(const QString &digitos43);
// A key of 44 digits whose last digit is its check digit.
bool ChaveAcessoValida(const QString &chave);

// An amount written as NF-e decimal text ("1234.56", at most 15 integer
// digits and 10 decimals, no sign unless `negativo`); decimals beyond the
// fourth are truncated. Empty for anything else.
std::optional<Currency> LeDecimalNFe(const QString &text);

} // namespace stb
