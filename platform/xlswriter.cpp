#include "platform/xlswriter.h"

#include <QSaveFile>
#include <cstring>

namespace stb {

namespace {

constexpr quint16 kCurrencyFormat = 164; // first number format id of a workbook's own
constexpr quint16 kPercentFormat = 10; // built-in "0.00%"
constexpr int kStyleXfs = 15; // XF 0..14 are styles, 15 the default cell format

class Out {
public:
    QByteArray bytes;
    void u8(quint8 v) { bytes.append(static_cast<char>(v)); }
    void u16(quint16 v)
    {
        u8(static_cast<quint8>(v & 0xff));
        u8(static_cast<quint8>(v >> 8));
    }
    void u32(quint32 v)
    {
        u16(static_cast<quint16>(v & 0xffff));
        u16(static_cast<quint16>(v >> 16));
    }
    void f64(double v)
    {
        quint64 bits;
        std::memcpy(&bits, &v, sizeof bits);
        u32(static_cast<quint32>(bits & 0xffffffffu));
        u32(static_cast<quint32>(bits >> 32));
    }
    void zeros(int n) { bytes.append(n, '\0'); }
    // Characters of a BIFF8 string: one flag byte, then 8-bit characters when
    // every one fits (the "compressed" form), else UTF-16.
    void chars(const QString &s)
    {
        bool wide = false;
        for (const QChar c : s)
            wide = wide || c.unicode() > 0xff;
        u8(wide ? 1 : 0);
        for (const QChar c : s) {
            if (wide)
                u16(c.unicode());
            else
                u8(static_cast<quint8>(c.unicode()));
        }
    }
    void shortString(const QString &s)
    {
        u8(static_cast<quint8>(s.size()));
        chars(s);
    }
    void longString(const QString &s)
    {
        u16(static_cast<quint16>(s.size()));
        chars(s);
    }
};

void record(Out &out, quint16 type, const QByteArray &data)
{
    out.u16(type);
    out.u16(static_cast<quint16>(data.size()));
    out.bytes.append(data);
}

QByteArray bof(quint16 kind)
{
    Out r;
    r.u16(0x0600); // BIFF8
    r.u16(kind);
    r.u16(0x0DBB); // build
    r.u16(0x07CC); // year
    r.u32(0);
    r.u32(0x00000006); // lowest version that can read it
    return r.bytes;
}

QByteArray font(const XlsWorkbook::Font &f)
{
    Out r;
    r.u16(static_cast<quint16>(f.points * 20));
    r.u16(f.bold ? 0x0001 : 0); // bold also as a flag, which older readers take
    r.u16(0x7FFF); // automatic colour
    r.u16(f.bold ? 700 : 400);
    r.u16(0);
    r.u8(0);
    r.u8(0);
    r.u8(0);
    r.u8(0);
    r.shortString(f.name);
    return r.bytes;
}

QByteArray xf(quint16 fontIndex, quint16 format, bool style)
{
    Out r;
    r.u16(fontIndex);
    r.u16(format);
    r.u16(style ? 0xFFF5 : 0x0001); // style: locked, style, no parent; cell: locked, parent 0
    r.u8(0x20); // bottom aligned
    r.u8(0);
    r.u8(0);
    r.u8(style ? 0xF4 : 0xFC); // cell: its own number format, font and the rest
    r.zeros(8);
    r.u16(0x20C0); // pattern colours: window text on window background
    return r.bytes;
}

} // namespace

XlsWorkbook::XlsWorkbook() { m_fonts.append(Font {}); }

int XlsWorkbook::addFont(const Font &f)
{
    m_fonts.append(f);
    return static_cast<int>(m_fonts.size()) - 1;
}

int XlsWorkbook::addSheet(const QString &name)
{
    static const QString forbidden = QStringLiteral("[]:*?/\\");
    if (name.isEmpty() || name.size() > 31)
        return -1;
    for (const QChar c : name)
        if (forbidden.contains(c))
            return -1;
    for (const Sheet &s : std::as_const(m_sheets))
        if (s.name.compare(name, Qt::CaseInsensitive) == 0)
            return -1;
    m_sheets.append(Sheet {name, {}, {}});
    return static_cast<int>(m_sheets.size()) - 1;
}

bool XlsWorkbook::put(int sheet, int row, int col, Cell cell)
{
    if (sheet < 0 || sheet >= sheetCount() || row < 0 || row >= MaxRows || col < 0 || col >= MaxColumns)
        return false;
    if (cell.font < 0 || cell.font >= m_fonts.size())
        cell.font = 0;
    m_sheets[sheet].cells[static_cast<quint32>(row) << 8 | static_cast<quint32>(col)] = std::move(cell);
    return true;
}

bool XlsWorkbook::setText(int sheet, int row, int col, const QString &text, int font)
{
    return put(sheet, row, col, Cell {Kind::Text, text.left(MaxText), 0, font});
}

bool XlsWorkbook::setNumber(int sheet, int row, int col, double value, int font)
{
    return put(sheet, row, col, Cell {Kind::Number, {}, value, font});
}

bool XlsWorkbook::setCurrency(int sheet, int row, int col, double value, int font)
{
    return put(sheet, row, col, Cell {Kind::Currency, {}, value, font});
}

bool XlsWorkbook::setPercent(int sheet, int row, int col, double percent, int font)
{
    return put(sheet, row, col, Cell {Kind::Percent, {}, percent / 100.0, font});
}

void XlsWorkbook::setColumnWidth(int sheet, int col, int chars)
{
    if (sheet >= 0 && sheet < sheetCount() && col >= 0 && col < MaxColumns && chars > 0)
        m_sheets[sheet].widths[col] = std::min(chars, 255);
}

QByteArray XlsWorkbook::workbookStream() const
{
    // Cell formats: one XF per (font, kind) pair, after the 16 fixed ones.
    const int kinds = 4;
    auto xfIndex = [&](int fontId, Kind k) { return 16 + fontId * kinds + static_cast<int>(k); };
    // Font index 4 does not exist in the format: the fourth font written is
    // followed by index 5.
    auto fontIndex = [](int fontId) { return static_cast<quint16>(fontId < 4 ? fontId : fontId + 1); };

    Out g;
    record(g, 0x0809, bof(0x0005));
    {
        Out r;
        r.u16(0x04B0); // UTF-16
        record(g, 0x0042, r.bytes);
    }
    {
        Out r;
        r.u16(0);
        r.u16(0);
        r.u16(0x4000);
        r.u16(0x2000);
        r.u16(0x0038);
        r.u16(0);
        r.u16(0);
        r.u16(1);
        r.u16(0x0258);
        record(g, 0x003D, r.bytes);
    }
    // Readers expect at least four fonts before the workbook's own.
    for (int i = 0; i < std::max<int>(4, static_cast<int>(m_fonts.size())); ++i)
        record(g, 0x0031, font(i < m_fonts.size() ? m_fonts.at(i) : m_fonts.at(0)));
    {
        Out r;
        r.u16(kCurrencyFormat);
        r.longString(QStringLiteral("\"R$\" #,##0.00;\\-\"R$\" #,##0.00"));
        record(g, 0x041E, r.bytes);
    }
    for (int i = 0; i < kStyleXfs; ++i)
        record(g, 0x00E0, xf(0, 0, true));
    record(g, 0x00E0, xf(0, 0, false));
    for (int f = 0; f < m_fonts.size(); ++f) {
        record(g, 0x00E0, xf(fontIndex(f), 0, false)); // text
        record(g, 0x00E0, xf(fontIndex(f), 0, false)); // number (General)
        record(g, 0x00E0, xf(fontIndex(f), kCurrencyFormat, false)); // currency
        record(g, 0x00E0, xf(fontIndex(f), kPercentFormat, false)); // percent
    }
    {
        Out r;
        r.u16(0x8000); // built-in style "Normal" on XF 0
        r.u8(0);
        r.u8(0xFF);
        record(g, 0x0293, r.bytes);
    }
    // Sheet positions are known once the globals' size is: BOUNDSHEET8 records
    // are written with a placeholder and patched.
    QList<int> patchAt;
    for (const Sheet &s : m_sheets) {
        Out r;
        r.u32(0);
        r.u8(0);
        r.u8(0);
        r.shortString(s.name);
        patchAt << static_cast<int>(g.bytes.size()) + 4;
        record(g, 0x0085, r.bytes);
    }
    record(g, 0x000A, {});

    QByteArray stream = g.bytes;
    for (int si = 0; si < m_sheets.size(); ++si) {
        const Sheet &s = m_sheets.at(si);
        const quint32 pos = static_cast<quint32>(stream.size());
        for (int i = 0; i < 4; ++i)
            stream[patchAt.at(si) + i] = static_cast<char>((pos >> (8 * i)) & 0xff);
        Out w;
        record(w, 0x0809, bof(0x0010));
        quint32 lastRow = 0, lastCol = 0;
        bool any = false;
        for (const auto &[key, cell] : s.cells) {
            lastRow = std::max(lastRow, key >> 8);
            lastCol = std::max(lastCol, key & 0xff);
            any = true;
        }
        {
            Out r;
            r.u32(0);
            r.u32(any ? lastRow + 1 : 0);
            r.u16(0);
            r.u16(static_cast<quint16>(any ? lastCol + 1 : 0));
            r.u16(0);
            record(w, 0x0200, r.bytes);
        }
        for (const auto &[col, chars] : s.widths) {
            Out r;
            r.u16(static_cast<quint16>(col));
            r.u16(static_cast<quint16>(col));
            r.u16(static_cast<quint16>(chars * 256));
            r.u16(kStyleXfs);
            r.u16(0);
            r.u16(0);
            record(w, 0x007D, r.bytes);
        }
        for (const auto &[key, cell] : s.cells) {
            Out r;
            r.u16(static_cast<quint16>(key >> 8));
            r.u16(static_cast<quint16>(key & 0xff));
            r.u16(static_cast<quint16>(xfIndex(cell.font, cell.kind)));
            if (cell.kind == Kind::Text) {
                r.longString(cell.text);
                record(w, 0x0204, r.bytes);
            } else {
                r.f64(cell.number);
                record(w, 0x0203, r.bytes);
            }
        }
        {
            Out r;
            r.u16(si == 0 ? 0x06B6 : 0x00B6); // the first sheet is selected and shown
            r.u16(0);
            r.u16(0);
            r.u16(0x0040);
            r.u16(0);
            r.u16(0);
            r.u16(0);
            r.u16(0);
            r.u16(0);
            record(w, 0x023E, r.bytes);
        }
        record(w, 0x000A, {});
        stream.append(w.bytes);
    }
    return stream;
}

QByteArray XlsWorkbook::toBytes() const { return compoundDocument(QStringLiteral("Workbook"), workbookStream()); }

bool XlsWorkbook::save(const QString &path)
{
    m_error.clear();
    if (m_sheets.isEmpty()) {
        m_error = QStringLiteral("A planilha não tem nenhuma folha");
        return false;
    }
    QSaveFile file(path);
    file.setDirectWriteFallback(false);
    const QByteArray bytes = toBytes();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        m_error = QStringLiteral("Não consegui gravar o arquivo %1 (%2)").arg(path, file.errorString());
        return false;
    }
    return true;
}

QByteArray compoundDocument(const QString &streamName, const QByteArray &data)
{
    constexpr quint32 kFree = 0xFFFFFFFF, kEnd = 0xFFFFFFFE, kFatSect = 0xFFFFFFFD, kDifSect = 0xFFFFFFFC;
    constexpr int kSector = 512, kPerSector = kSector / 4, kHeaderDifat = 109;
    // Streams under 4096 bytes would belong in the mini stream: pad instead.
    QByteArray stream = data;
    if (stream.size() < 4096)
        stream.append(4096 - stream.size(), '\0');
    const quint32 nStream = static_cast<quint32>((stream.size() + kSector - 1) / kSector);
    stream.append(static_cast<qsizetype>(nStream) * kSector - stream.size(), '\0');

    quint32 nFat = 1, nDifat = 0;
    for (;;) {
        const quint32 total = nStream + 1 + nFat + nDifat;
        const quint32 fat = (total + kPerSector - 1) / kPerSector;
        const quint32 difat = fat > kHeaderDifat ? (fat - kHeaderDifat + kPerSector - 2) / (kPerSector - 1) : 0;
        if (fat == nFat && difat == nDifat)
            break;
        nFat = fat;
        nDifat = difat;
    }
    const quint32 dirSector = nStream;
    const quint32 firstFat = nStream + 1;
    const quint32 firstDifat = firstFat + nFat;

    QList<quint32> fat(static_cast<qsizetype>(nFat) * kPerSector, kFree);
    for (quint32 i = 0; i < nStream; ++i)
        fat[i] = i + 1 < nStream ? i + 1 : kEnd;
    fat[dirSector] = kEnd;
    for (quint32 i = 0; i < nFat; ++i)
        fat[firstFat + i] = kFatSect;
    for (quint32 i = 0; i < nDifat; ++i)
        fat[firstDifat + i] = kDifSect;

    Out out;
    // Header.
    for (quint8 b : {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1})
        out.u8(b);
    out.zeros(16);
    out.u16(0x003E);
    out.u16(0x0003);
    out.u16(0xFFFE);
    out.u16(9);
    out.u16(6);
    out.zeros(6);
    out.u32(0);
    out.u32(nFat);
    out.u32(dirSector);
    out.u32(0);
    out.u32(4096);
    out.u32(kEnd);
    out.u32(0);
    out.u32(nDifat ? firstDifat : kEnd);
    out.u32(nDifat);
    for (int i = 0; i < kHeaderDifat; ++i)
        out.u32(static_cast<quint32>(i) < nFat ? firstFat + static_cast<quint32>(i) : kFree);

    out.bytes.append(stream);

    // Directory: the root storage, the stream, two unused entries.
    auto entry = [&out](const QString &name, quint8 type, quint32 child, quint32 start, quint32 size) {
        const qsizetype at = out.bytes.size();
        for (const QChar c : name)
            out.u16(c.unicode());
        out.zeros(static_cast<int>(64 - (out.bytes.size() - at)));
        out.u16(name.isEmpty() ? 0 : static_cast<quint16>((name.size() + 1) * 2));
        out.u8(type);
        out.u8(type ? 1 : 0); // black
        out.u32(0xFFFFFFFF);
        out.u32(0xFFFFFFFF);
        out.u32(child);
        out.zeros(16 + 4 + 16);
        out.u32(start);
        out.u32(size);
        out.u32(0);
    };
    entry(QStringLiteral("Root Entry"), 5, 1, kEnd, 0);
    entry(streamName, 2, 0xFFFFFFFF, 0, static_cast<quint32>(std::max<qsizetype>(data.size(), 4096)));
    entry({}, 0, 0xFFFFFFFF, 0, 0);
    entry({}, 0, 0xFFFFFFFF, 0, 0);

    for (const quint32 v : std::as_const(fat))
        out.u32(v);
    for (quint32 d = 0; d < nDifat; ++d) {
        for (int i = 0; i < kPerSector - 1; ++i) {
            const quint32 k = kHeaderDifat + d * (kPerSector - 1) + static_cast<quint32>(i);
            out.u32(k < nFat ? firstFat + k : kFree);
        }
        out.u32(d + 1 < nDifat ? firstDifat + d + 1 : kEnd);
    }
    return out.bytes;
}

} // namespace stb
