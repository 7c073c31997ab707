// Reads a workbook with python3-xlrd, a reader written by others: rows of
// the first sheet as tab-joined cell texts.
#pragma once

#include <QProcess>
#include <QStringList>

inline QStringList XlrdRows(const QString& file)
{
    QProcess p;
    p.start("/usr/bin/python3", {"-c",
                                 "import sys, xlrd\n"
                                 "s = xlrd.open_workbook(sys.argv[1]).sheet_by_index(0)\n"
                                 "for r in range(s.nrows):\n"
                                 "    print('\\t'.join(str(c.value) for c in s.row(r)))\n",
                                 file});
    p.waitForFinished(60000);
    if (p.exitCode() != 0) return {"xlrd failed: " + QString::fromUtf8(p.readAllStandardError())};
    QStringList rows = QString::fromUtf8(p.readAllStandardOutput()).split('\n');
    if (!rows.isEmpty() && rows.last().isEmpty()) rows.removeLast();
    return rows;
}
