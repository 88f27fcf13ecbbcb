#!/usr/bin/python3
# Builds the sample medicine table (invented names, laboratories, bar codes
# and prices; Windows Latin-1, CRLF, the nine ";" fields of TabMedic.txt).
# The table ships as data/TabMedic.zlb:
#   python3 data/gera_tabmedic.py 24000 > /tmp/m/TabMedic.txt
#   build/app/stbrelva-cli zlb create data/TabMedic.zlb /tmp/m
import random
import sys

n = int(sys.argv[1]) if len(sys.argv) > 1 else 24000
rnd = random.Random(20250301)
sil = ["LO", "RA", "XI", "TE", "NA", "MI", "ZO", "PRA", "DE", "VAL", "CIN", "TOL", "FEN", "ZOL", "MAX", "DRO", "BEN",
       "CLO", "FLU", "SUL", "PAM", "TRI", "NOR", "QUI", "LEX"]
ends = ["INA", "OL", "ONA", "ATO", "IDA", "ANO", "ICO", "AZOL", "PRIL", "SARTANA", "CICLINA", "MICINA", "ÇÃO"]
forms = ["COMP", "COMP REV", "CAPS", "SOL OR", "SUSP OR", "XPE", "GTS", "CR DERM", "POM", "SOL INJ", "AMP", "ENV"]
units = ["MG", "MG/ML", "G", "MCG", "UI/ML", "%"]
labs = ["ORVAN FARMA", "LAB. SÃO JOÃO", "PHARMAÇO", "BIOVITA", "MEDQUÍMICA", "NOVA ÉTICA", "GENÉRICOS DO VALE",
        "FARMOTEC", "ALPHA PHARMA", "HIPÓLITO & FILHOS", "TERAPÊUTICA BRASIL", "UNIÃO QUÍMICA SUL"]


def ean13(body):
    s = sum(int(d) * (3 if i % 2 else 1) for i, d in enumerate(body))
    return body + str((10 - s % 10) % 10)


def money(v):
    return ("%.2f" % v).replace(".", ",")


names = set()
out = []
while len(out) < n:
    name = "".join(rnd.choice(sil) for _ in range(rnd.randint(1, 3))) + rnd.choice(ends)
    desc = "%s %d%s %s %s" % (name, rnd.choice([1, 2, 5, 10, 20, 25, 50, 100, 250, 500, 750, 1000]), rnd.choice(units),
                               rnd.choice(forms), "CX %d" % rnd.choice([1, 10, 14, 20, 28, 30, 60]))
    desc = desc[:50]
    code = ean13("789" + "%09d" % rnd.randrange(10 ** 9))
    if code in names:
        continue
    names.add(code)
    gen = rnd.random() < 0.3
    v1 = round(rnd.uniform(2, 400), 2)
    v2 = round(v1 * rnd.uniform(0.5, 0.8), 2) if gen else 0
    v3 = round(v1 * 1.05, 2) if rnd.random() < 0.4 else 0
    v4 = round(v2 * 1.05, 2) if gen and rnd.random() < 0.4 else 0
    if rnd.random() < 0.03:
        v1 = 0  # priced by Valor3
    lista = rnd.choice("+++++--N")
    out.append(";".join([code, desc, money(v1) if v1 else "", money(v2), money(v3), money(v4), "GEN" if gen else "",
                         rnd.choice(labs), lista]))
sys.stdout.buffer.write(("\r\n".join(out) + "\r\n").encode("cp1252"))
