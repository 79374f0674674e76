// A written workbook as openpyxl reads it back (support/read_workbook.py,
// run with Debian's python3).
#pragma once

#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QProcess>
#include <QString>
#include <QVariant>

struct ReadBackCell {
    QVariant value;  // a number (double) or a text; null for a styled empty cell
    QString type;    // "n" number, "s" text
    bool bold = false;
    QString colour;  // "FFRRGGBB", empty for the automatic colour
    QString align;   // horizontal alignment, empty for the general one
};

struct ReadBackWorkbook {
    QString failure;  // empty when the workbook was read
    int sheets = 0;
    int maxRow = 0;
    QMap<QString, ReadBackCell> cells;  // written or styled cells by name
    QMap<QString, double> widths;       // column widths by letter
    QMap<QString, QString> columnAlign;

    ReadBackCell cell(const QString& name) const { return cells.value(name); }
};

inline ReadBackWorkbook readWorkbook(const QString& path)
{
    ReadBackWorkbook book;
    QProcess reader;
    reader.start(QStringLiteral(TARVIC_PYTHON3),
                 {QStringLiteral(TARVIC_WORKBOOK_READER), path});
    if (!reader.waitForFinished(120000) || reader.exitStatus() != QProcess::NormalExit ||
        reader.exitCode() != 0) {
        book.failure = QStringLiteral("reading the workbook back failed (is python3-openpyxl "
                                      "installed for " TARVIC_PYTHON3 "?): ") +
                       QString::fromLocal8Bit(reader.readAllStandardError()) + reader.errorString();
        return book;
    }
    const QJsonObject root = QJsonDocument::fromJson(reader.readAllStandardOutput()).object();
    book.sheets = root.value(QStringLiteral("sheets")).toInt();
    book.maxRow = root.value(QStringLiteral("maxRow")).toInt();
    const QJsonObject cells = root.value(QStringLiteral("cells")).toObject();
    for (auto it = cells.begin(); it != cells.end(); ++it) {
        const QJsonObject c = it.value().toObject();
        ReadBackCell cell;
        cell.value = c.value(QStringLiteral("value")).toVariant();
        cell.type = c.value(QStringLiteral("type")).toString();
        cell.bold = c.value(QStringLiteral("bold")).toBool();
        cell.colour = c.value(QStringLiteral("colour")).toString();
        cell.align = c.value(QStringLiteral("align")).toString();
        book.cells.insert(it.key(), cell);
    }
    const QJsonObject columns = root.value(QStringLiteral("columns")).toObject();
    for (auto it = columns.begin(); it != columns.end(); ++it) {
        const QJsonObject c = it.value().toObject();
        book.widths.insert(it.key(), c.value(QStringLiteral("width")).toDouble());
        book.columnAlign.insert(it.key(), c.value(QStringLiteral("align")).toString());
    }
    return book;
}
