// A small writer of binary spreadsheet workbooks (.xls): BIFF8 records in a
// compound document, readable by every spreadsheet program.
//
// What it writes:
//   - the workbook stream "Workbook" in a version-3 compound document
//     (512-byte sectors; the stream is padded to 4096 bytes so it never goes
//     to the mini stream; FAT and, for large books, DIFAT sectors);
//   - globals: BOF, CODEPAGE (UTF-16), WINDOW1, FONT, FORMAT, XF, STYLE,
//     one BOUNDSHEET8 per sheet, EOF;
//   - per sheet: BOF, DIMENSIONS, COLINFO, the cells in row order (LABEL for
//     text, NUMBER for numbers), WINDOW2, EOF.
// Text cells keep at most 255 characters (a LABEL record's limit); numbers are
// plain, currency ("R$" #,##0.00) or percent (0.00%). Rows 0..65535, columns
// 0..255.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <map>

namespace stb {

class XlsWorkbook {
public:
    struct Font {
        QString name = QStringLiteral("Arial");
        int points = 10;
        bool bold = false;
    };
    static constexpr int MaxRows = 65536;
    static constexpr int MaxColumns = 256;
    static constexpr int MaxText = 255;

    XlsWorkbook();

    // Font 0 is Arial 10; returns the id of a new font.
    int addFont(const Font &font);
    // Adds a worksheet; returns its index, or -1 when the name is empty, longer
    // than 31 characters, has one of []:*?/\ or repeats another sheet's name.
    int addSheet(const QString &name);
    int sheetCount() const { return static_cast<int>(m_sheets.size()); }
    QString sheetName(int sheet) const { return m_sheets.at(sheet).name; }

    // Each returns false (and writes nothing) outside the sheet's limits.
    bool setText(int sheet, int row, int col, const QString &text, int font = 0);
    bool setNumber(int sheet, int row, int col, double value, int font = 0);
    bool setCurrency(int sheet, int row, int col, double value, int font = 0);
    // `percent` as the program keeps it: 18 is shown as 18,00%.
    bool setPercent(int sheet, int row, int col, double percent, int font = 0);
    // Width of a column in characters.
    void setColumnWidth(int sheet, int col, int chars);

    // The whole file (compound document).
    QByteArray toBytes() const;
    // Writes the file atomically; false with errorString() on failure.
    bool save(const QString &path);
    QString errorString() const { return m_error; }

private:
    enum class Kind { Text, Number, Currency, Percent };
    struct Cell {
        Kind kind = Kind::Text;
        QString text;
        double number = 0;
        int font = 0;
    };
    struct Sheet {
        QString name;
        std::map<quint32, Cell> cells; // key: row << 8 | column, so the map is in row order
        std::map<int, int> widths;
    };
    bool put(int sheet, int row, int col, Cell cell);
    QByteArray workbookStream() const;

    QList<Font> m_fonts;
    QList<Sheet> m_sheets;
    QString m_error;
};

// Wraps one stream named `streamName` in a compound document.
QByteArray compoundDocument(const QString &streamName, const QByteArray &stream);

} // namespace stb
