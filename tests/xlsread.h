// Reads a .xls workbook back through an independent reader (tests/xlsread.py,
// python3-xlrd) and returns its sheets as JSON.
#pragma once

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QString>

namespace stbtest {

// Sheets [{name, rows, cells: [{row, col, kind, value, format, font, bold}]}];
// `error` says why the reader failed (then the array is empty).
inline QJsonArray readXls(const QString &path, QString *error)
{
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral(STB_XLSREAD), path});
    if (!p.waitForFinished(60000) || p.exitCode() != 0) {
        *error = QStringLiteral("xlsread.py: %1 %2 (python3-xlrd is installed by scripts/deps.sh)")
                     .arg(p.errorString(), QString::fromUtf8(p.readAllStandardError()));
        return {};
    }
    return QJsonDocument::fromJson(p.readAllStandardOutput()).array();
}

// The cell at row/col of a sheet read by readXls (an empty object when absent).
inline QJsonObject xlsCell(const QJsonObject &sheet, int row, int col)
{
    for (const QJsonValue &v : sheet.value(QStringLiteral("cells")).toArray()) {
        const QJsonObject c = v.toObject();
        if (c.value(QStringLiteral("row")).toInt() == row && c.value(QStringLiteral("col")).toInt() == col)
            return c;
    }
    return {};
}

} // namespace stbtest
