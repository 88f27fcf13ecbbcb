#!/usr/bin/env python3
"""Writes the invented NF-e files of the import tests (layout 4.00).

Every figure is invented. Run again after changing a case:
    python3 tests/data/nfe/gera_nfe.py tests/data/nfe
"""
import sys
from pathlib import Path

NS = "http://www.portalfiscal.inf.br/nfe"


def dv_mod11(digits, pesos_ate=9):
    soma, peso = 0, 2
    for d in reversed(digits):
        soma += int(d) * peso
        peso = 2 if peso == pesos_ate else peso + 1
    r = soma % 11
    return 0 if r < 2 else 11 - r


def cnpj(base12):
    d = base12
    pesos1 = [5, 4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2]
    s = sum(int(a) * b for a, b in zip(d, pesos1)); r = 11 - s % 11; d += str(0 if r >= 10 else r)
    pesos2 = [6] + pesos1
    s = sum(int(a) * b for a, b in zip(d, pesos2)); r = 11 - s % 11; d += str(0 if r >= 10 else r)
    return d


def chave(uf, aamm, cnpj_emit, nnf, modelo="55", serie=1, cnf=12345678):
    k = f"{uf:02d}{aamm}{cnpj_emit}{modelo}{serie:03d}{nnf:09d}1{cnf:08d}"
    assert len(k) == 43
    return k + str(dv_mod11(k))


def icms_grupo(g):
    tag = g["tag"]
    campos = "".join(f"<{k}>{v}</{k}>" for k, v in g["campos"])
    return f"<ICMS><{tag}>{campos}</{tag}></ICMS>"


def det(n, it):
    prod = [("cProd", it.get("cProd", f"P{n:03d}")), ("cEAN", it.get("cEAN", "SEM GTIN")), ("xProd", it["xProd"]),
            ("NCM", it["NCM"])]
    if it.get("CEST"):
        prod.append(("CEST", it["CEST"]))
    prod += [("CFOP", it.get("CFOP", "5403")), ("uCom", "UN"), ("qCom", it.get("qCom", "1.0000")),
             ("vUnCom", it.get("vUnCom", it["vProd"])), ("vProd", it["vProd"]), ("cEANTrib", "SEM GTIN"),
             ("uTrib", "UN"), ("qTrib", it.get("qCom", "1.0000")), ("vUnTrib", it.get("vUnCom", it["vProd"]))]
    for k in ("vFrete", "vDesc", "vOutro"):
        if it.get(k):
            prod.append((k, it[k]))
    prod.append(("indTot", "1"))
    xprod = "".join(f"<{k}>{v}</{k}>" for k, v in prod)
    ipi = ""
    if it.get("vIPI"):
        ipi = ("<IPI><cEnq>999</cEnq><IPITrib><CST>50</CST><vBC>" + it["vProd"] + "</vBC><pIPI>10.0000</pIPI>"
               f"<vIPI>{it['vIPI']}</vIPI></IPITrib></IPI>")
    return (f'<det nItem="{n}"><prod>{xprod}</prod><imposto>{icms_grupo(it["icms"])}{ipi}'
            "<PIS><PISNT><CST>04</CST></PISNT></PIS><COFINS><COFINSNT><CST>04</CST></COFINSNT></COFINS>"
            "</imposto></det>")


def nfe(c):
    k = chave(c.get("cUF", 35), c.get("aamm", "2611"), c["emit"]["CNPJ"], c["nNF"])
    if c.get("estraga_dv"):
        k = k[:43] + str((int(k[43]) + 1) % 10)
    emit = c["emit"]; dest = c["dest"]
    dest_doc = f"<CNPJ>{dest['CNPJ']}</CNPJ>" if dest.get("CNPJ") else f"<CPF>{dest['CPF']}</CPF>"
    dest_ie = f"<IE>{dest['IE']}</IE>" if dest.get("IE") else ""
    dets = "".join(det(i + 1, it) for i, it in enumerate(c["itens"]))
    t = c["total"]
    total = ("<total><ICMSTot><vBC>0.00</vBC><vICMS>" + t.get("vICMS", "0.00") + "</vICMS><vICMSDeson>0.00</vICMSDeson>"
             "<vFCP>0.00</vFCP><vBCST>" + t.get("vBCST", "0.00") + "</vBCST><vST>" + t["vST"] + "</vST>"
             "<vFCPST>0.00</vFCPST><vFCPSTRet>0.00</vFCPSTRet><vProd>" + t["vProd"] + "</vProd><vFrete>"
             + t.get("vFrete", "0.00") + "</vFrete><vSeg>0.00</vSeg><vDesc>" + t.get("vDesc", "0.00") + "</vDesc>"
             "<vII>0.00</vII><vIPI>" + t.get("vIPI", "0.00") + "</vIPI><vIPIDevol>0.00</vIPIDevol><vPIS>0.00</vPIS>"
             "<vCOFINS>0.00</vCOFINS><vOutro>" + t.get("vOutro", "0.00") + "</vOutro><vNF>" + t["vNF"] + "</vNF>"
             "</ICMSTot></total>")
    inf = (f'<infNFe versao="4.00" Id="NFe{k}"><ide><cUF>{c.get("cUF", 35)}</cUF><cNF>12345678</cNF>'
           f"<natOp>VENDA</natOp><mod>55</mod><serie>1</serie><nNF>{c['nNF']}</nNF>"
           f"<dhEmi>{c['dhEmi']}</dhEmi><tpNF>1</tpNF><idDest>{c['idDest']}</idDest><cMunFG>3550308</cMunFG>"
           "<tpImp>1</tpImp><tpEmis>1</tpEmis><cDV>" + k[43] + "</cDV><tpAmb>2</tpAmb><finNFe>1</finNFe>"
           "<indFinal>0</indFinal><indPres>9</indPres><procEmi>0</procEmi><verProc>teste</verProc></ide>"
           f"<emit><CNPJ>{emit['CNPJ']}</CNPJ><xNome>{emit['xNome']}</xNome><enderEmit><xLgr>RUA A</xLgr>"
           f"<nro>1</nro><xBairro>CENTRO</xBairro><cMun>3550308</cMun><xMun>CIDADE</xMun><UF>{emit['UF']}</UF>"
           f"</enderEmit><IE>{emit['IE']}</IE><CRT>{c.get('CRT', 3)}</CRT></emit>"
           f"<dest>{dest_doc}<xNome>{dest['xNome']}</xNome><enderDest><xLgr>RUA B</xLgr><nro>2</nro>"
           f"<xBairro>CENTRO</xBairro><cMun>3106200</cMun><xMun>CIDADE</xMun><UF>{dest['UF']}</UF></enderDest>"
           f"<indIEDest>1</indIEDest>{dest_ie}</dest>{dets}{total}"
           "<transp><modFrete>0</modFrete></transp><infAdic><infCpl>NOTA INVENTADA PARA TESTES</infCpl></infAdic>"
           "</infNFe>")
    sig = ('<Signature xmlns="http://www.w3.org/2000/09/xmldsig#"><SignedInfo><Reference URI="#NFe' + k
           + '"><DigestValue>AAAA</DigestValue></Reference></SignedInfo><SignatureValue>AAAA</SignatureValue></Signature>')
    doc = f'<NFe xmlns="{NS}">{inf}{sig}</NFe>'
    if c.get("envelope", True):
        prot = (f'<protNFe versao="4.00"><infProt><tpAmb>2</tpAmb><chNFe>{k}</chNFe><cStat>100</cStat>'
                "<xMotivo>Autorizado o uso da NF-e</xMotivo></infProt></protNFe>")
        doc = f'<nfeProc xmlns="{NS}" versao="4.00">{doc}{prot}</nfeProc>'
    return '<?xml version="1.0" encoding="UTF-8"?>\n' + doc + "\n"


EMIT_SP = {"CNPJ": cnpj("112223330001"), "xNome": "DISTRIBUIDORA PAULISTA DE PEÇAS LTDA", "IE": "111222333444", "UF": "SP"}
EMIT_MG = {"CNPJ": cnpj("445556660001"), "xNome": "COMERCIAL MINEIRA D'AGUA LTDA", "IE": "0620001230099", "UF": "MG"}
EMIT_SN = {"CNPJ": cnpj("778889990001"), "xNome": "PEQUENA FÁBRICA ME", "IE": "0620004560011", "UF": "MG"}
DEST = {"CNPJ": cnpj("998887770001"), "xNome": "MERCADO DESTINO LTDA", "IE": "0621234560078", "UF": "MG"}


def g(tag, *campos):
    return {"tag": tag, "campos": list(campos)}


CASOS = {
    # CST 10 from another state, two lines with IPI and freight.
    "nfe_cst10_ipi_frete.xml": {
        "nNF": 1001, "dhEmi": "2026-11-02T09:30:00-03:00", "idDest": 2, "emit": EMIT_SP, "dest": DEST,
        "itens": [
            {"xProd": "Filtro de oleo FX-10", "NCM": "84212300", "CEST": "0100100", "vProd": "1000.00",
             "vFrete": "50.00", "vIPI": "100.00", "CFOP": "6403",
             "icms": g("ICMS10", ("orig", 0), ("CST", "10"), ("modBC", 3), ("vBC", "1150.00"), ("pICMS", "12.0000"),
                       ("vICMS", "120.00"), ("modBCST", 4), ("pMVAST", "84.3500"), ("vBCST", "2120.03"),
                       ("pICMSST", "18.0000"), ("vICMSST", "261.61"))},
            {"xProd": "Vela de ignicao VX", "NCM": "85111000", "CEST": "0100200", "vProd": "500.00",
             "vFrete": "25.00", "CFOP": "6403",
             "icms": g("ICMS10", ("orig", 0), ("CST", "10"), ("modBC", 3), ("vBC", "525.00"), ("pICMS", "12.0000"),
                       ("vICMS", "60.00"), ("modBCST", 4), ("pMVAST", "84.3500"), ("vBCST", "967.84"),
                       ("pICMSST", "18.0000"), ("vICMSST", "114.21"))},
        ],
        "total": {"vICMS": "180.00", "vST": "375.82", "vProd": "1500.00", "vFrete": "75.00", "vIPI": "100.00",
                  "vNF": "2050.82"},
    },
    # CST 30 inside the state: no own ICMS, a discount.
    "nfe_cst30_desconto.xml": {
        "nNF": 2001, "dhEmi": "2026-11-03T10:00:00-03:00", "idDest": 1, "emit": EMIT_MG, "dest": DEST,
        "itens": [
            {"xProd": "Cerveja lata 350ml cx 12", "NCM": "22030000", "CEST": "0300100", "vProd": "200.00",
             "vDesc": "20.00", "icms": g("ICMS30", ("orig", 0), ("CST", "30"), ("modBCST", 4), ("pMVAST", "46.0000"),
                                          ("vBCST", "262.80"), ("pICMSST", "25.0000"), ("vICMSST", "65.70"))},
        ],
        "total": {"vST": "65.70", "vProd": "200.00", "vDesc": "20.00", "vNF": "245.70"},
    },
    # CST 70 with other expenses; the sender declares less ST than is due.
    "nfe_cst70_outras.xml": {
        "nNF": 2002, "dhEmi": "2026-11-03T11:00:00-03:00", "idDest": 1, "emit": EMIT_MG, "dest": DEST,
        "itens": [
            {"xProd": "Licor de frutas 700ml", "NCM": "22087000", "CEST": "0200800", "vProd": "300.00",
             "vOutro": "10.00",
             "icms": g("ICMS70", ("orig", 0), ("CST", "70"), ("modBC", 3), ("pRedBC", "60.0000"), ("vBC", "124.00"),
                       ("pICMS", "30.0000"), ("vICMS", "37.20"), ("modBCST", 4), ("pMVAST", "40.0000"),
                       ("vBCST", "434.00"), ("pICMSST", "25.0000"), ("vICMSST", "60.00"))},
        ],
        "total": {"vICMS": "37.20", "vST": "60.00", "vProd": "300.00", "vOutro": "10.00", "vNF": "370.00"},
    },
    # CST 90, a bare NFe document (no envelope).
    "nfe_cst90_sem_envelope.xml": {
        "nNF": 2003, "dhEmi": "2026-11-04T08:00:00-03:00", "idDest": 1, "emit": EMIT_MG, "dest": DEST,
        "envelope": False,
        "itens": [
            {"xProd": "Bomba de combustivel", "NCM": "84133010", "CEST": "0103000", "vProd": "100.00",
             "icms": g("ICMS90", ("orig", 0), ("CST", "90"), ("modBC", 3), ("vBC", "100.00"), ("pICMS", "18.0000"),
                       ("vICMS", "18.00"), ("modBCST", 4), ("pMVAST", "71.7800"), ("vBCST", "171.78"),
                       ("pICMSST", "18.0000"), ("vICMSST", "12.92"))},
        ],
        "total": {"vICMS": "18.00", "vST": "12.92", "vProd": "100.00", "vNF": "112.92"},
    },
    # CSOSN 201: the small company's group carries no own ICMS rate.
    "nfe_csosn201.xml": {
        "nNF": 3001, "dhEmi": "2026-11-05T08:00:00-03:00", "idDest": 1, "emit": EMIT_SN, "dest": DEST, "CRT": 1,
        "itens": [
            {"xProd": "Filtro de ar FA-2", "NCM": "84213100", "CEST": "0100100", "vProd": "100.00",
             "icms": g("ICMSSN201", ("orig", 0), ("CSOSN", "201"), ("modBCST", 4), ("pMVAST", "71.7800"),
                       ("vBCST", "171.78"), ("pICMSST", "18.0000"), ("vICMSST", "12.92"), ("pCredSN", "2.5000"),
                       ("vCredICMSSN", "2.50"))},
        ],
        "total": {"vST": "12.92", "vProd": "100.00", "vNF": "112.92"},
    },
    # CSOSN 202, two lines; the second has no ST declared at all.
    "nfe_csosn202.xml": {
        "nNF": 3002, "dhEmi": "2026-11-05T09:00:00-03:00", "idDest": 1, "emit": EMIT_SN, "dest": DEST, "CRT": 1,
        "itens": [
            {"xProd": "Cerveja long neck", "NCM": "22030000", "CEST": "0300100", "vProd": "100.00",
             "icms": g("ICMSSN202", ("orig", 0), ("CSOSN", "202"), ("modBCST", 4), ("pMVAST", "46.0000"),
                       ("vBCST", "146.00"), ("pICMSST", "25.0000"), ("vICMSST", "36.50"))},
            {"xProd": "Filtro de oleo FX-20", "NCM": "84212300", "CEST": "0100100", "vProd": "50.00",
             "icms": g("ICMSSN202", ("orig", 0), ("CSOSN", "202"), ("modBCST", 4), ("pMVAST", "0.0000"),
                       ("vBCST", "0.00"), ("pICMSST", "18.0000"), ("vICMSST", "0.00"))},
        ],
        "total": {"vST": "36.50", "vProd": "150.00", "vNF": "186.50"},
    },
    # CSOSN 900 with an own rate and IPI.
    "nfe_csosn900.xml": {
        "nNF": 3003, "dhEmi": "2026-11-05T10:00:00-03:00", "idDest": 1, "emit": EMIT_SN, "dest": DEST, "CRT": 1,
        "itens": [
            {"xProd": "Filtro de combustivel", "NCM": "84213990", "CEST": "0100100", "vProd": "100.00",
             "vIPI": "10.00",
             "icms": g("ICMSSN900", ("orig", 0), ("CSOSN", "900"), ("modBC", 3), ("vBC", "100.00"), ("pICMS", "12.0000"),
                       ("vICMS", "12.00"), ("modBCST", 4), ("pMVAST", "71.7800"), ("vBCST", "188.96"),
                       ("pICMSST", "18.0000"), ("vICMSST", "22.01"))},
        ],
        "total": {"vICMS": "12.00", "vST": "22.01", "vProd": "100.00", "vIPI": "10.00", "vNF": "132.01"},
    },
    # Interstate, several lines: an adjusted margin per line.
    "nfe_interestadual.xml": {
        "nNF": 4001, "dhEmi": "2026-11-06T08:00:00-03:00", "idDest": 2, "emit": EMIT_SP, "dest": DEST,
        "itens": [
            {"xProd": "Filtro de oleo FX-30", "NCM": "84212300", "CEST": "0100100", "vProd": "1000.00", "CFOP": "6403",
             "icms": g("ICMS10", ("orig", 0), ("CST", "10"), ("modBC", 3), ("vBC", "1000.00"), ("pICMS", "12.0000"),
                       ("vICMS", "120.00"), ("modBCST", 4), ("pMVAST", "84.3500"), ("vBCST", "1843.50"),
                       ("pICMSST", "18.0000"), ("vICMSST", "211.83"))},
            {"xProd": "Licor de frutas 1L", "NCM": "22087000", "CEST": "0200800", "vProd": "200.00", "CFOP": "6403",
             "icms": g("ICMS10", ("orig", 0), ("CST", "10"), ("modBC", 3), ("vBC", "200.00"), ("pICMS", "12.0000"),
                       ("vICMS", "24.00"), ("modBCST", 4), ("pMVAST", "64.2700"), ("vBCST", "328.54"),
                       ("pICMSST", "25.0000"), ("vICMSST", "58.13"))},
            {"xProd": "Cigarro maco", "NCM": "24021000", "vProd": "100.00", "CFOP": "6403",
             "icms": g("ICMS10", ("orig", 0), ("CST", "10"), ("modBC", 3), ("vBC", "100.00"), ("pICMS", "12.0000"),
                       ("vICMS", "12.00"), ("modBCST", 4), ("pMVAST", "50.0000"), ("vBCST", "150.00"),
                       ("pICMSST", "25.0000"), ("vICMSST", "25.50"))},
        ],
        "total": {"vICMS": "156.00", "vST": "295.46", "vProd": "1300.00", "vNF": "1595.46"},
    },
    # Medicines by bar code.
    "nfe_medicamentos.xml": {
        "nNF": 5001, "dhEmi": "2026-11-07T08:00:00-03:00", "idDest": 1, "emit": EMIT_MG, "dest": DEST,
        "itens": [
            {"xProd": "Medicamento A 20 comprimidos", "NCM": "30049099", "cEAN": "7890000000017", "qCom": "10.0000",
             "vUnCom": "20.00", "vProd": "200.00",
             "icms": g("ICMS10", ("orig", 0), ("CST", "10"), ("modBC", 3), ("vBC", "200.00"), ("pICMS", "12.0000"),
                       ("vICMS", "24.00"), ("modBCST", 5), ("vBCST", "350.00"), ("pICMSST", "18.0000"),
                       ("vICMSST", "39.00"))},
            {"xProd": "Medicamento B xarope", "NCM": "30049099", "cEAN": "7890000000024", "qCom": "4.0000",
             "vUnCom": "25.00", "vProd": "100.00",
             "icms": g("ICMS10", ("orig", 0), ("CST", "10"), ("modBC", 3), ("vBC", "100.00"), ("pICMS", "12.0000"),
                       ("vICMS", "12.00"), ("modBCST", 5), ("vBCST", "160.00"), ("pICMSST", "12.0000"),
                       ("vICMSST", "7.20"))},
        ],
        "total": {"vICMS": "36.00", "vST": "46.20", "vProd": "300.00", "vNF": "346.20"},
    },
    # The same as the first but with a wrong check digit in its key.
    "nfe_dv_errado.xml": {
        "nNF": 1002, "dhEmi": "2026-11-02T09:30:00-03:00", "idDest": 2, "emit": EMIT_SP, "dest": DEST,
        "estraga_dv": True,
        "itens": [
            {"xProd": "Filtro", "NCM": "84212300", "vProd": "10.00",
             "icms": g("ICMS10", ("orig", 0), ("CST", "10"), ("pICMS", "12.0000"), ("vICMS", "1.20"))},
        ],
        "total": {"vST": "0.00", "vProd": "10.00", "vNF": "10.00"},
    },
}


def main():
    pasta = Path(sys.argv[1] if len(sys.argv) > 1 else Path(__file__).parent)
    for nome, caso in CASOS.items():
        (pasta / nome).write_text(nfe(caso), encoding="utf-8")
    # A transport document, not an NF-e.
    (pasta / "cte_nao_nfe.xml").write_text(
        '<?xml version="1.0" encoding="UTF-8"?>\n<cteProc xmlns="http://www.portalfiscal.inf.br/cte" versao="4.00">'
        '<CTe><infCte versao="4.00" Id="CTe35261111222333000181570010000000011123456780"><ide><nCT>1</nCT></ide>'
        "</infCte></CTe></cteProc>\n", encoding="utf-8")


if __name__ == "__main__":
    main()
