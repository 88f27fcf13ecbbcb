#include "platform/db/salvage.h"

#include <QByteArrayView>
#include <QFile>
#include <algorithm>
#include <cstring>

namespace stb::db::salvage {

namespace {

constexpr unsigned char kMagic[16] = {'S', 'Q', 'L', 'i', 't', 'e', ' ', 'f', 'o', 'r', 'm', 'a', 't', ' ', '3', 0};
constexpr int kMaxDepth = 40; // b-trees of real files are a handful of levels deep
constexpr std::uint64_t kMaxPayload = 1u << 30; // SQLite's own limit on a value is below this
constexpr std::int64_t kLockBytePage = 0x40000000; // the page holding this offset is never used

enum PageType : unsigned char { IndexInterior = 2, TableInterior = 5, IndexLeaf = 10, TableLeaf = 13 };

enum Use : unsigned char { Unused, InTree, Overflow, Free, Orphan, Bad, Reserved };

std::uint32_t be16(const unsigned char *p) { return (std::uint32_t(p[0]) << 8) | p[1]; }
std::uint32_t be32(const unsigned char *p)
{
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
}

bool validPageSize(std::uint32_t n) { return n >= 512 && n <= 65536 && (n & (n - 1)) == 0; }

} // namespace

QString decodeText(const QByteArray &bytes, int encoding)
{
    if (encoding == 1)
        return QString::fromUtf8(bytes);
    QString s;
    s.reserve(bytes.size() / 2);
    for (qsizetype k = 0; k + 1 < bytes.size(); k += 2) {
        const auto lo = uchar(bytes[encoding == 2 ? k : k + 1]);
        const auto hi = uchar(bytes[encoding == 2 ? k + 1 : k]);
        s += QChar(char16_t(lo | (hi << 8)));
    }
    return s;
}

namespace {

// One cell of a b-tree page, as found by the page check.
struct CellRef {
    int offset = 0; // start of the cell in the page
    int end = 0; // one past its last byte
    std::uint32_t child = 0; // left child of an interior cell
    std::int64_t rowid = 0; // key of a table cell
    std::uint64_t payload = 0; // payload size of a leaf or index cell
    int payloadAt = 0; // start of the local payload
    int local = 0; // bytes of payload on the page
    std::uint32_t overflow = 0;
};

struct PageInfo {
    unsigned char type = 0;
    std::uint32_t rightChild = 0;
    std::vector<CellRef> cells;
};

class Scanner {
public:
    Scanner(const unsigned char *data, std::int64_t size) : m_data(data), m_size(size) {}

    FileScan run();

private:
    const unsigned char *page(std::uint32_t pgno) const
    {
        if (pgno < 1 || pgno > m_scan.pageCount)
            return nullptr;
        const std::int64_t off = std::int64_t(pgno - 1) * m_scan.pageSize;
        if (off + m_scan.pageSize > m_size)
            return nullptr;
        return m_data + off;
    }
    bool readHeader();
    void guessPageSize();
    int localSize(std::uint64_t payload, bool table) const;
    bool checkPage(std::uint32_t pgno, PageInfo &info, int usable) const;
    bool checkPage(std::uint32_t pgno, PageInfo &info) const { return checkPage(pgno, info, m_scan.usableSize); }
    bool readPayload(
        const unsigned char *pg, const CellRef &c, QByteArray *out, std::vector<std::uint32_t> &chain) const;
    bool decodeRecord(const QByteArray &payload, std::vector<Cell> &values) const;
    void walkTree(std::uint32_t root, int tree, bool table, std::vector<Record> *records);
    void takeLeaf(std::uint32_t pgno, const PageInfo &info, int tree, std::vector<Record> *records);
    void readFreeList();
    void readSchema();

    const unsigned char *m_data;
    std::int64_t m_size;
    FileScan m_scan;
    std::vector<Use> m_use;
    std::uint32_t m_freeTrunk = 0;
    std::uint32_t m_missing = 0;
    bool m_fieldsUsable = false;
};

bool Scanner::readHeader()
{
    if (m_size < 100)
        return false;
    const unsigned char *h = m_data;
    std::uint32_t ps = be16(h + 16);
    if (ps == 1)
        ps = 65536;
    const int reserved = h[20];
    // The payload fractions are fixed values: with the page size they show the
    // header fields can be trusted even when the first bytes were lost.
    if (!validPageSize(ps) || h[21] != 64 || h[22] != 32 || h[23] != 32 || int(ps) - reserved < 480)
        return false;
    m_fieldsUsable = true;
    m_scan.pageSize = int(ps);
    m_scan.usableSize = int(ps) - reserved;
    const std::uint32_t enc = be32(h + 56);
    m_scan.textEncoding = enc >= 1 && enc <= 3 ? int(enc) : 1;
    const std::uint32_t inHeader = be32(h + 28);
    const bool sizeValid = inHeader > 0 && be32(h + 24) == be32(h + 92);
    const auto inFile = std::uint32_t(std::min<std::int64_t>(m_size / ps, 0x7fffffff));
    m_scan.pageCount = sizeValid ? std::min(inHeader, inFile) : inFile;
    // Pages the header counts that the file no longer holds were cut off.
    m_missing = sizeValid && inHeader > inFile ? inHeader - inFile : 0;
    m_freeTrunk = be32(h + 32);
    m_scan.headerSound = std::memcmp(h, kMagic, sizeof kMagic) == 0 && (enc >= 1 && enc <= 3);
    return true;
}

void Scanner::guessPageSize()
{
    // The header is gone: take the page size under which most pages read as b-tree pages.
    static const std::uint32_t candidates[] = {4096, 1024, 2048, 8192, 16384, 32768, 65536, 512};
    int bestScore = 0;
    std::uint32_t best = 4096;
    for (std::uint32_t cand : candidates) {
        const std::int64_t n = m_size / cand;
        if (n < 1)
            continue;
        m_scan.pageSize = int(cand);
        m_scan.pageCount = std::uint32_t(std::min<std::int64_t>(n, 0x7fffffff));
        int score = 0;
        const std::uint32_t probe = std::min<std::uint32_t>(m_scan.pageCount, 4096);
        PageInfo info;
        for (std::uint32_t p = 2; p <= probe; ++p)
            if (checkPage(p, info, int(cand)))
                ++score;
        if (score > bestScore) {
            bestScore = score;
            best = cand;
        }
    }
    m_scan.pageSize = int(best);
    m_scan.usableSize = int(best);
    m_scan.pageCount = std::uint32_t(std::min<std::int64_t>(m_size / best, 0x7fffffff));
}

int Scanner::localSize(std::uint64_t payload, bool table) const
{
    const int u = m_scan.usableSize;
    const int maxLocal = table ? u - 35 : (u - 12) * 64 / 255 - 23;
    if (payload <= std::uint64_t(maxLocal))
        return int(payload);
    const int minLocal = (u - 12) * 32 / 255 - 23;
    const int k = minLocal + int((payload - std::uint64_t(minLocal)) % std::uint64_t(u - 4));
    return k <= maxLocal ? k : minLocal;
}

bool Scanner::checkPage(std::uint32_t pgno, PageInfo &info, int usable) const
{
    const unsigned char *pg = page(pgno);
    if (!pg)
        return false;
    const int hdr = pgno == 1 ? 100 : 0;
    info.type = pg[hdr];
    info.cells.clear();
    info.rightChild = 0;
    const bool interior = info.type == TableInterior || info.type == IndexInterior;
    if (info.type != TableInterior && info.type != TableLeaf && info.type != IndexInterior && info.type != IndexLeaf)
        return false;
    const int headerSize = interior ? 12 : 8;
    const int nCells = int(be16(pg + hdr + 3));
    std::uint32_t contentStart = be16(pg + hdr + 5);
    if (contentStart == 0)
        contentStart = 65536;
    const int ptrEnd = hdr + headerSize + 2 * nCells;
    if (ptrEnd > usable || contentStart < std::uint32_t(ptrEnd) || contentStart > std::uint32_t(usable))
        return false;
    if (interior) {
        info.rightChild = be32(pg + hdr + 8);
        if (info.rightChild < 1 || info.rightChild > m_scan.pageCount)
            return false;
    }
    const unsigned char *end = pg + usable;
    const bool table = info.type == TableInterior || info.type == TableLeaf;
    info.cells.reserve(std::size_t(nCells));
    for (int i = 0; i < nCells; ++i) {
        CellRef c;
        c.offset = int(be16(pg + hdr + headerSize + 2 * i));
        if (c.offset < ptrEnd || std::uint32_t(c.offset) < contentStart || c.offset >= usable)
            return false;
        const unsigned char *p = pg + c.offset;
        if (interior) {
            if (p + 4 > end)
                return false;
            c.child = be32(p);
            if (c.child < 1 || c.child > m_scan.pageCount)
                return false;
            p += 4;
        }
        std::uint64_t v = 0;
        int n;
        if (info.type != TableInterior) {
            if (!(n = readVarint(p, end, v)) || v > kMaxPayload)
                return false;
            c.payload = v;
            p += n;
        }
        if (table) {
            if (!(n = readVarint(p, end, v)))
                return false;
            c.rowid = std::int64_t(v);
            p += n;
        }
        if (info.type != TableInterior) {
            c.payloadAt = int(p - pg);
            c.local = localSize(c.payload, table);
            if (p + c.local > end)
                return false;
            p += c.local;
            if (std::uint64_t(c.local) < c.payload) {
                if (p + 4 > end)
                    return false;
                c.overflow = be32(p);
                if (c.overflow < 2 || c.overflow > m_scan.pageCount)
                    return false;
                p += 4;
            }
        }
        c.end = std::max(int(p - pg), c.offset + 4); // SQLite never makes a cell shorter than 4 bytes
        if (c.end > usable)
            return false;
        info.cells.push_back(c);
    }
    // Cells never share bytes.
    std::vector<std::pair<int, int>> spans;
    spans.reserve(info.cells.size());
    for (const CellRef &c : info.cells)
        spans.emplace_back(c.offset, c.end);
    std::sort(spans.begin(), spans.end());
    for (std::size_t i = 1; i < spans.size(); ++i)
        if (spans[i].first < spans[i - 1].second)
            return false;
    return true;
}

bool Scanner::readPayload(
    const unsigned char *pg, const CellRef &c, QByteArray *out, std::vector<std::uint32_t> &chain) const
{
    chain.clear();
    if (out) {
        out->clear();
        out->reserve(qsizetype(c.payload));
        out->append(reinterpret_cast<const char *>(pg + c.payloadAt), c.local);
    }
    std::uint64_t remaining = c.payload - std::uint64_t(c.local);
    std::uint32_t next = c.overflow;
    const int room = m_scan.usableSize - 4;
    while (remaining > 0) {
        // A chain longer than the file has pages is a cycle.
        if (next < 2 || chain.size() >= m_scan.pageCount)
            return false;
        const unsigned char *op = page(next);
        if (!op)
            return false;
        const Use u = m_use[next];
        if (u != Unused && u != Overflow)
            return false;
        if (std::find(chain.begin(), chain.end(), next) != chain.end())
            return false;
        chain.push_back(next);
        const int take = int(std::min<std::uint64_t>(remaining, std::uint64_t(room)));
        if (out)
            out->append(reinterpret_cast<const char *>(op + 4), take);
        remaining -= std::uint64_t(take);
        next = be32(op);
    }
    return next == 0; // the last page of a chain points nowhere
}

bool Scanner::decodeRecord(const QByteArray &payload, std::vector<Cell> &values) const
{
    values.clear();
    const auto *base = reinterpret_cast<const unsigned char *>(payload.constData());
    const unsigned char *end = base + payload.size();
    std::uint64_t headerSize = 0;
    int n = readVarint(base, end, headerSize);
    if (!n || headerSize < std::uint64_t(n) || headerSize > std::uint64_t(payload.size()))
        return false;
    const unsigned char *p = base + n;
    const unsigned char *headerEnd = base + headerSize;
    std::vector<std::uint64_t> types;
    while (p < headerEnd) {
        std::uint64_t t = 0;
        if (!(n = readVarint(p, headerEnd, t)) || t == 10 || t == 11)
            return false;
        types.push_back(t);
        p += n;
    }
    if (p != headerEnd)
        return false;
    const unsigned char *body = headerEnd;
    for (std::uint64_t t : types) {
        static const int intSizes[] = {0, 1, 2, 3, 4, 6, 8};
        std::uint64_t len = t <= 6 ? std::uint64_t(intSizes[t]) : t == 7 ? 8 : t <= 9 ? 0 : (t - 12) / 2;
        if (len > std::uint64_t(end - body))
            return false;
        Cell c;
        if (t == 0) {
            c.kind = Cell::Null;
        } else if (t <= 6) {
            std::int64_t v = (body[0] & 0x80) ? -1 : 0;
            for (std::uint64_t k = 0; k < len; ++k)
                v = std::int64_t((std::uint64_t(v) << 8) | body[k]);
            c.kind = Cell::Int;
            c.i = v;
        } else if (t == 7) {
            std::uint64_t bits = 0;
            for (int k = 0; k < 8; ++k)
                bits = (bits << 8) | body[k];
            c.kind = Cell::Real;
            std::memcpy(&c.r, &bits, sizeof c.r);
        } else if (t == 8 || t == 9) {
            c.kind = Cell::Int;
            c.i = t == 9 ? 1 : 0;
        } else {
            c.kind = (t & 1) ? Cell::Text : Cell::Blob;
            c.bytes = QByteArray(reinterpret_cast<const char *>(body), qsizetype(len));
            if (c.kind == Cell::Text) {
                // Text the program stored never holds a zero character nor broken
                // UTF-8: where it does, the bytes came from a lost overflow page.
                if (m_scan.textEncoding == 1) {
                    if (c.bytes.contains('\0') || !QByteArrayView(c.bytes).isValidUtf8())
                        return false;
                } else {
                    if (c.bytes.size() % 2)
                        return false;
                    for (qsizetype k = 0; k + 1 < c.bytes.size(); k += 2)
                        if (c.bytes[k] == 0 && c.bytes[k + 1] == 0)
                            return false;
                }
            }
        }
        body += len;
        values.push_back(std::move(c));
    }
    return body == end; // header and body sizes agree exactly
}

void Scanner::takeLeaf(std::uint32_t pgno, const PageInfo &info, int tree, std::vector<Record> *records)
{
    const unsigned char *pg = page(pgno);
    QByteArray payload;
    std::vector<std::uint32_t> chain;
    for (const CellRef &c : info.cells) {
        if (info.type == TableInterior)
            continue;
        const bool wanted = records && info.type == TableLeaf;
        if (!readPayload(pg, c, wanted ? &payload : nullptr, chain)) {
            ++m_scan.rejectedCells;
            continue;
        }
        for (std::uint32_t o : chain)
            m_use[o] = Overflow;
        if (!wanted)
            continue;
        Record r;
        r.page = pgno;
        r.tree = tree;
        r.rowid = c.rowid;
        if (!decodeRecord(payload, r.values)) {
            ++m_scan.rejectedCells;
            continue;
        }
        records->push_back(std::move(r));
    }
}

void Scanner::walkTree(std::uint32_t root, int tree, bool table, std::vector<Record> *records)
{
    std::vector<std::pair<std::uint32_t, int>> stack {{root, 0}};
    PageInfo info;
    while (!stack.empty()) {
        const auto [pgno, depth] = stack.back();
        stack.pop_back();
        if (pgno < 1 || pgno > m_scan.pageCount || !page(pgno)) {
            ++m_scan.badPages; // points past the end of a truncated file
            continue;
        }
        if (m_use[pgno] != Unused) {
            if (m_use[pgno] != Bad)
                ++m_scan.badPages; // a page claimed twice: a cycle or a damaged pointer
            continue;
        }
        const bool ok = checkPage(pgno, info) && depth <= kMaxDepth
            && (table ? (info.type == TableInterior || info.type == TableLeaf)
                      : (info.type == IndexInterior || info.type == IndexLeaf));
        if (!ok) {
            m_use[pgno] = Bad;
            ++m_scan.badPages;
            continue;
        }
        m_use[pgno] = InTree;
        if (info.type == TableInterior || info.type == IndexInterior) {
            stack.emplace_back(info.rightChild, depth + 1);
            for (auto it = info.cells.rbegin(); it != info.cells.rend(); ++it)
                stack.emplace_back(it->child, depth + 1);
        }
        if (info.type != TableInterior)
            takeLeaf(pgno, info, tree, records);
    }
}

void Scanner::readFreeList()
{
    if (!m_fieldsUsable)
        return;
    std::uint32_t trunk = m_freeTrunk;
    std::uint32_t seen = 0;
    const std::uint32_t maxLeaves = std::uint32_t(m_scan.usableSize / 4 - 2);
    while (trunk != 0 && seen < m_scan.pageCount) {
        const unsigned char *pg = page(trunk);
        if (!pg || m_use[trunk] != Unused)
            return;
        m_use[trunk] = Free;
        ++seen;
        const std::uint32_t n = be32(pg + 4);
        if (n > maxLeaves)
            return;
        for (std::uint32_t k = 0; k < n; ++k) {
            const std::uint32_t leaf = be32(pg + 8 + 4 * k);
            if (leaf >= 2 && leaf <= m_scan.pageCount && m_use[leaf] == Unused) {
                m_use[leaf] = Free;
                ++seen;
            }
        }
        trunk = be32(pg);
    }
}

void Scanner::readSchema()
{
    std::vector<Record> rows;
    const std::uint32_t before = m_scan.badPages;
    walkTree(1, -1, true, &rows);
    m_scan.schemaSound = m_scan.badPages == before;
    for (const Record &r : rows) {
        if (r.values.size() != 5 || r.values[0].kind != Cell::Text || r.values[1].kind != Cell::Text
            || r.values[3].kind != Cell::Int)
            continue;
        const int enc = m_scan.textEncoding;
        Tree t;
        t.type = decodeText(r.values[0].bytes, enc);
        t.name = decodeText(r.values[1].bytes, enc);
        t.tableName = r.values[2].kind == Cell::Text ? decodeText(r.values[2].bytes, enc) : QString();
        if (r.values[3].i < 1 || r.values[3].i > std::int64_t(m_scan.pageCount))
            continue; // views and triggers have no root; a damaged one points nowhere
        t.root = std::uint32_t(r.values[3].i);
        if (t.type == QLatin1String("table") || t.type == QLatin1String("index"))
            m_scan.trees.push_back(t);
    }
}

FileScan Scanner::run()
{
    if (!readHeader())
        guessPageSize();
    if (m_scan.pageCount == 0)
        return m_scan;
    m_use.assign(std::size_t(m_scan.pageCount) + 1, Unused);
    if (std::int64_t(m_scan.pageCount) * m_scan.pageSize > kLockBytePage)
        m_use[std::size_t(kLockBytePage / m_scan.pageSize + 1)] = Reserved;
    readFreeList();
    readSchema();
    for (std::size_t t = 0; t < m_scan.trees.size(); ++t)
        walkTree(m_scan.trees[t].root, int(t), m_scan.trees[t].type == QLatin1String("table"), &m_scan.records);
    // Leaves no tree reaches: their parents were lost.
    PageInfo info;
    for (std::uint32_t p = 2; p <= m_scan.pageCount; ++p) {
        if (m_use[p] != Unused || !checkPage(p, info) || info.type != TableLeaf)
            continue;
        m_use[p] = Orphan;
        ++m_scan.orphanLeaves;
        takeLeaf(p, info, -1, &m_scan.records);
    }
    m_scan.unaccounted = m_missing;
    for (std::uint32_t p = 2; p <= m_scan.pageCount; ++p)
        if (m_use[p] == Unused)
            ++m_scan.unaccounted;
    return m_scan;
}

} // namespace

int readVarint(const unsigned char *p, const unsigned char *end, std::uint64_t &value)
{
    value = 0;
    for (int i = 0; i < 9; ++i) {
        if (p + i >= end)
            return 0;
        if (i == 8) {
            value = (value << 8) | p[i];
            return 9;
        }
        value = (value << 7) | (p[i] & 0x7f);
        if (!(p[i] & 0x80))
            return i + 1;
    }
    return 0;
}

FileScan scanFile(const unsigned char *data, std::int64_t size)
{
    if (!data || size <= 0)
        return {};
    return Scanner(data, size).run();
}

FileScan scanFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly) || f.size() == 0)
        return {};
    if (const uchar *map = f.map(0, f.size()))
        return scanFile(map, f.size());
    const QByteArray all = f.readAll();
    return scanFile(reinterpret_cast<const unsigned char *>(all.constData()), all.size());
}

} // namespace stb::db::salvage
