// The goods import: reads a workbook laid out like the goods import
// template, checks its header, stores one goods row per sheet row and
// writes the workbook back to the same file. The goods window and the
// command line run this same class.
//
// All rows are stored in one transaction: a row the store rejects leaves
// the database as it was before the import (the log says which row failed
// and that nothing was stored), so importing the mended file again does not
// store the earlier rows twice.
#pragma once

#include <QDateTime>
#include <QString>
#include <functional>
#include <stdexcept>

namespace store {
class Connection;
}
namespace workbook {
class TXLSWorkbook;
}

// The file's G1 does not read "备注"; its message is "导入的文件不是导入模板!".
class ENotTemplate : public std::runtime_error {
public:
    ENotTemplate();
};

// What an import did beyond storing rows: the seller must see at once what
// was left out and what was already there.
struct TImportSummary {
    int stored = 0;
    int duplicates = 0;  // rows stored whose goods code was already in the goods list
    int skipped = 0;     // rows with data after the first row whose goods code is empty
    int endRow = 0;      // row number, as the seller sees rows, of that empty goods code
};

// The goods were stored, but the workbook could not be written back.
class EWriteBackFailed : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TGoodsImport {
public:
    TGoodsImport(workbook::TXLSWorkbook& xls, store::Connection& connection);

    // One log line each: the header line, each stored row, a failure.
    std::function<void(const QString&)> OnLog;
    // Called once before the first row is stored (the backup); throwing
    // stops the import with nothing stored.
    std::function<void()> BeforeStore;
    // Called after each stored row (the windows keep painting).
    std::function<void()> OnRow;

    // Imports file; returns the number of goods rows stored. Throws
    // ENotTemplate, ReadFailed's text, the store's error (nothing stored)
    // or, when the file cannot be written back, WriteBackFailed's text
    // (logged too; the rows stay stored).
    int Run(const QString& file);
    // What the last Run did.
    const TImportSummary& Summary() const { return FSummary; }

    static QString HeaderLine(const QDateTime& when);
    static QString CompletionMessage(int count);
    // "文件导入完成!新增%d条记录!", then what was already there and what was left out.
    static QString CompletionMessage(const TImportSummary& summary);
    static QString WriteBackFailed(int count, const QString& reason);
    // The file could not be read as a workbook: a Chinese line saying what
    // happened and what to do, then the reader's own text.
    static QString ReadFailed(const QString& file, const QString& reason);

private:
    void Log(const QString& line);
    int Store(int rows);
    void CountSkipped(int end);
    std::runtime_error Failed(int r, const QString& reason);

    workbook::TXLSWorkbook& FXls;
    store::Connection& FConnection;
    TImportSummary FSummary;
};
