#include "core/fuzz/nfefuzz.h"

#include "core/nfe.h"

#include <QBuffer>

namespace stb {

bool fuzzNFeOnce(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const NFeLeitura r = LeNFe(bytes);
    QByteArray copia = bytes;
    QBuffer buf(&copia);
    buf.open(QIODevice::ReadOnly);
    const NFeLeitura d = LeNFe(buf);
    if (r.ok() != d.ok() || r.motivo != d.motivo)
        return false;
    if (!r.ok())
        return !r.motivo.isEmpty();
    return ChaveAcessoValida(r.nfe->chave) && !r.nfe->itens.isEmpty() && !r.nfe->nNF.isEmpty()
        && r.nfe->dataEmissao.isValid();
}

} // namespace stb
