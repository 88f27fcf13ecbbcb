#include "core/schema.h"

namespace stb::schema {

using db::FieldDef;
using db::FieldType;
using db::IndexDef;

namespace {

FieldDef f(const char *name, FieldType type, int size = 0)
{
    return FieldDef {QString::fromLatin1(name), type, size, false};
}

IndexDef primary(const char *fields) { return IndexDef {QString(), QString::fromLatin1(fields), IndexDef::Primary}; }

IndexDef index(const char *name, const char *fields, unsigned options = 0)
{
    return IndexDef {QString::fromLatin1(name), QString::fromLatin1(fields), options};
}

TableDef table(const char *name, QList<FieldDef> fields, QList<IndexDef> indexes)
{
    return TableDef {QString::fromLatin1(name), std::move(fields), std::move(indexes)};
}

constexpr auto S = FieldType::String;
constexpr auto Cur = FieldType::Currency;
constexpr auto Int = FieldType::Integer;
constexpr auto Small = FieldType::SmallInt;
constexpr auto Bool = FieldType::Boolean;
constexpr auto Memo = FieldType::Memo;
constexpr auto Date = FieldType::Date;
constexpr auto DT = FieldType::DateTime;
constexpr auto Auto = FieldType::AutoInc;

} // namespace

TableDef calculos()
{
    return table("Calculos",
        {f("IdCalculo", Auto), f("DataHora", DT), f("Masp", S, 9), f("CNPJRemet", S, 18), f("IEDest", S, 16),
            f("Grupo", Small), f("DiferencialAliq", Bool), f("Observ", Memo), f("NroTRM", S, 12), f("OpInterna", Bool),
            f("PrintObserv", Memo), f("PrintMR", Small), f("TipoCalculo", Small)},
        {primary("IdCalculo"), index("DataHora", "DataHora")});
}

TableDef notas()
{
    return table("Notas",
        {f("IdCalculo", Int), f("IdNota", Auto), f("NroNF", S, 10), f("CNPJRemet", S, 18), f("IEDest", S, 16),
            f("Frete", Cur), f("CreditoFrete", Bool), f("DataEmissao", Date), f("CreditoICMSMedic", Cur),
            f("DestaqueICMSST", Cur), f("TotalARecolher", Cur)},
        {primary("IdNota"), index("IdCalculo", "IdCalculo;NroNF")});
}

TableDef itens()
{
    return table("Itens",
        {f("IdNota", Int), f("NroItem", Small), f("IdBrelva", Small), f("ItemBrelva", S, 10), f("DescricaoNF", S, 50),
            f("ValorNF", Cur), f("ValorIPI", Cur), f("AliqICMS", Cur), f("MVA", Cur), f("CreditoICMS", Cur),
            f("ValorCreditoICMS", Cur), f("PMPF", Cur), f("Litros", Cur), f("PrecoLitroNF", Cur),
            f("MVAPreAjustada", Cur), f("FEM", Bool)},
        {index("IdNota", "IdNota;NroItem")});
}

TableDef itensMedic()
{
    return table("ItensMedic",
        {f("IdNota", Int), f("NroItem", Small), f("CodBarra", S, 13), f("Descricao", S, 50), f("Qtd", Int),
            f("DebVlMerc", Cur), f("DebAliqICMS", Cur), f("Laboratorio", S, 40), f("Lote", S, 15), f("MVA", Cur),
            f("Lista", S, 1), f("MVAPreAjustada", Cur), f("CreditoICMS", Cur), f("FEM", Bool)},
        {index("IdNota", "IdNota;NroItem")});
}

TableDef fiscais() { return table("Fiscais", {f("Masp", S, 9), f("Fiscal", S, 50)}, {primary("Masp")}); }

TableDef remetentes()
{
    return table("Remetentes", {f("CNPJRemet", S, 18), f("Remetente", S, 50)}, {primary("CNPJRemet")});
}

TableDef destinatarios()
{
    return table("Destinatarios", {f("IEDest", S, 18), f("Destinatario", S, 50)}, {primary("IEDest")});
}

TableDef brelva()
{
    QList<FieldDef> fields = {f("ITEM", Int), f("EX", Int), f("SUBITEM", Int), f("ID", Int), f("DESCRICAO", Memo),
        f("MVA1", Cur), f("MVA2", Cur), f("MVA3", Cur), f("INFOMVA1", S, 120), f("INFOMVA2", S, 120),
        f("INFOMVA3", S, 120), f("CEST", S, 10), f("FEM", Bool), f("AMBITO", Int)};
    for (int i = 1; i <= 15; ++i)
        fields << FieldDef {QStringLiteral("CODIGONBM%1").arg(i), S, 10, false};
    return table("Brelva", fields, {index("Id", "ID"), index("Item", "ITEM;EX;SUBITEM")});
}

TableDef pmpf()
{
    return table("PMPF",
        {f("Vigencia", Date), f("AtoCotepe", S, 10), f("PMPFAlcool", Cur), f("PMPFGasolina", Cur), f("PMPFDiesel", Cur),
            f("PMPFGlp", Cur), f("PMPFQav", Cur)},
        {index("Vigencia", "Vigencia", IndexDef::Descending)});
}

TableDef bebidas()
{
    return table("Bebidas",
        {f("Subitem", S, 10), f("Marca", S, 96), f("Embalagem", S, 64), f("PMPF", Cur), f("Internal", S, 10)},
        {index("Internal", "Internal")});
}

TableDef racoesPet()
{
    return table("RacoesPET",
        {f("Subitem", S, 10), f("Fabricante", S, 128), f("Embalagem", S, 32), f("Classificacao", S, 32),
            f("PMPF_kg", Cur), f("Internal", S, 10)},
        {index("Internal", "Internal")});
}

TableDef regimeEspecial()
{
    return table("RegimeEspecial",
        {f("NOME", S, 100), f("UF", S, 2), f("REGIME", Int), f("CNPJ", S, 18), f("IE", S, 18), f("PP", S, 120)},
        {index("CNPJ", "CNPJ"), index("IE", "IE")});
}

TableDef produtosNbm()
{
    return table("ProdutosNBM", {f("Id", Auto), f("NBM", S, 10), f("Descricao", S, 64)},
        {primary("Id"), index("NBM", "NBM"), index("Descricao", "Descricao", IndexDef::CaseInsensitive)});
}

TableDef medic()
{
    return table("Medic",
        {f("Id", Int), f("CodBarra", S, 13), f("Descricao", S, 50), f("Valor1", Cur), f("Valor2", Cur),
            f("Valor3", Cur), f("Valor4", Cur), f("Generico", Bool), f("Laboratorio", S, 40), f("Lista", S, 1)},
        {index("CodBarra", "CodBarra"), index("Descricao", "Descricao", IndexDef::CaseInsensitive)});
}

TableDef codMerc() { return table("CodMerc", {f("Codigo", Small), f("Descricao", S, 106)}, {primary("Codigo")}); }

TableDef tec()
{
    return table("TEC", {f("CODIGONCM", S, 10), f("DESCRICAO", Memo), f("XDESCRICAO", S, 255), f("CODIGONCMX", S, 10)},
        {index("CodigoNCM", "CODIGONCM")});
}

TableDef voceSabia() { return table("VoceSabia", {f("Id", Auto), f("Info", Memo)}, {primary("Id")}); }

TableDef sysTable() { return table("STBrelva", {f("TabSysField", Small)}, {}); }

TableDef arm()
{
    QList<FieldDef> fs = {
        f("Emissao", DT), f("Chave", S, 14), f("Tipo", S, 1), f("NroTRM", S, 13), f("NroOS", S, 15), f("Masp", S, 9)};
    for (int i = 1; i <= 5; ++i)
        fs << FieldDef {QStringLiteral("MotivoEmissao%1").arg(i), Bool, 0, false};
    fs << f("Justificativa", Memo) << f("TranspID", S, 18) << f("TranspNome", S, 50) << f("TranspEnd", S, 50)
       << f("TranspMunic", S, 20) << f("TranspUF", S, 2) << f("TranspDDD", S, 2) << f("TrasnpFone", S, 9)
       << f("Placa1", S, 11) << f("MotNome", S, 50) << f("MotEnd", S, 50) << f("MotMunic", S, 20) << f("MotUF", S, 2)
       << f("MotDDD", S, 2) << f("MotFone", S, 9) << f("Placa2", S, 11);
    auto add = [&fs](const QString &name, FieldType t, int size = 0) { fs << FieldDef {name, t, size, false}; };
    for (int i = 1; i <= 5; ++i)
        add(QStringLiteral("X%1NFNaoApresentada").arg(i), Bool);
    for (int i = 1; i <= 5; ++i)
        add(QStringLiteral("X%1NFNro").arg(i), S, 30);
    for (int i = 1; i <= 5; ++i)
        add(QStringLiteral("X%1NFDataEmissao").arg(i), Date);
    for (int i = 1; i <= 5; ++i)
        add(i == 4 ? QStringLiteral("X4ValorTotal") : QStringLiteral("X%1NFValorTotal").arg(i), Cur);
    for (int i = 1; i <= 5; ++i)
        add(QStringLiteral("X%1CTRCNro").arg(i), S, 10);
    for (int i = 1; i <= 5; ++i)
        add(QStringLiteral("X%1CTRCDataEmissao").arg(i), Date);
    for (int i = 1; i <= 5; ++i)
        add(QStringLiteral("X%1Remetente").arg(i), S, 18);
    for (int i = 1; i <= 5; ++i)
        add(QStringLiteral("X%1RemetNome").arg(i), S, 50);
    for (int i = 1; i <= 5; ++i)
        add(QStringLiteral("X%1Destinatario").arg(i), S, 18);
    for (int i = 1; i <= 5; ++i)
        add(QStringLiteral("X%1DestNome").arg(i), S, 50);
    add(QStringLiteral("X1DescricaoMercadoria"), Memo);
    for (int i = 2; i <= 5; ++i)
        add(QStringLiteral("X%1DescricaoMercadorias").arg(i), Memo);
    add(QStringLiteral("X1SituacaoMercadoria"), Memo);
    for (int i = 2; i <= 5; ++i)
        add(QStringLiteral("X%1SituacaoMercadorias").arg(i), Memo);
    fs << f("RecebidoPor", Small) << f("NroDoc", S, 20) << f("NomeDoc", S, 50) << f("CPF", S, 14) << f("Observ", Memo)
       << f("CanceladoEm", DT) << f("MotivoCancelamento", Memo);
    return table("ARM", fs, {index("NroTRM", "NroTRM"), index("Chave", "Chave")});
}

QList<TableDef> workingTables() { return {fiscais(), remetentes(), destinatarios(), calculos(), notas(), itens()}; }

QList<TableDef> dataFolderTables()
{
    return {calculos(), notas(), itens(), itensMedic(), fiscais(), remetentes(), destinatarios(), brelva(), pmpf(),
        bebidas(), racoesPet(), regimeEspecial(), produtosNbm(), medic(), codMerc(), tec(), voceSabia(), sysTable()};
}

TableDef byName(const QString &name)
{
    for (const TableDef &d : dataFolderTables())
        if (d.name.compare(name, Qt::CaseInsensitive) == 0)
            return d;
    if (name.compare(QLatin1String("ARM"), Qt::CaseInsensitive) == 0)
        return arm();
    return {};
}

} // namespace stb::schema
