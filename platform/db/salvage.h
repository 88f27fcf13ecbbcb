// Salvage of rows from a damaged table file: a bounded reader of the SQLite
// file format that walks the b-tree pages itself instead of asking SQLite,
// which gives up on the first damaged page of a tree.
//
// It reads the header and the schema of page 1 when they are sound, follows
// every tree from its root, and then looks at every page that no tree, no
// free list and no overflow chain accounts for: a table-leaf page there is a
// leaf whose parent was lost. Only pages that pass every check give records
// (page header, cell pointers inside the page, cells that neither overlap nor
// run past the page, records whose header and body sizes agree, overflow
// chains of exactly the promised length), so damage loses the rows of the
// damaged pages and never produces a row that was not stored.
//
// The input is hostile: every read is bounds-checked, every loop is bounded
// by the page count, and page cycles are cut.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <vector>

namespace stb::db::salvage {

struct Cell {
    enum Kind : std::uint8_t { Null, Int, Real, Text, Blob };
    Kind kind = Null;
    std::int64_t i = 0;
    double r = 0;
    QByteArray bytes; // text (in the file's encoding) or blob
};

struct Record {
    std::uint32_t page = 0; // leaf page the record was read from
    int tree = -1; // index into FileScan::trees, or -1 for a page outside every tree
    std::int64_t rowid = 0;
    std::vector<Cell> values;
};

// A row of the schema table (page 1): a table or an index and its root page.
struct Tree {
    QString type; // "table" or "index"
    QString name;
    QString tableName;
    std::uint32_t root = 0;
};

struct FileScan {
    bool headerSound = false; // page size, reserved space, free list and size taken from the header
    bool schemaSound = false; // page 1 read as the schema table
    int pageSize = 0;
    int usableSize = 0;
    int textEncoding = 1; // 1 UTF-8, 2 UTF-16le, 3 UTF-16be
    std::uint32_t pageCount = 0;
    std::vector<Tree> trees;
    std::vector<Record> records; // every record of every sound table-leaf page
    std::uint32_t badPages = 0; // pages a tree points at that fail the checks
    std::uint32_t orphanLeaves = 0; // sound table-leaf pages outside every tree
    std::uint32_t unaccounted = 0; // pages neither in a tree, free, overflow nor orphan leaf
    std::uint32_t rejectedCells = 0; // cells of sound pages whose payload could not be read whole

    // Every page is accounted for and sound: the file gave up all it holds.
    bool complete() const
    {
        return headerSound && schemaSound && badPages == 0 && orphanLeaves == 0 && unaccounted == 0
            && rejectedCells == 0;
    }
};

// Reads a table file held in memory (`size` bytes from `data`).
FileScan scanFile(const unsigned char *data, std::int64_t size);
// Maps the file and scans it; an empty scan when it cannot be read.
FileScan scanFile(const QString &path);

// A text cell as a string (encoding as FileScan::textEncoding).
QString decodeText(const QByteArray &bytes, int encoding);

// Decodes an SQLite varint from [p, end); returns the bytes used, 0 when it runs past end.
int readVarint(const unsigned char *p, const unsigned char *end, std::uint64_t &value);

} // namespace stb::db::salvage
