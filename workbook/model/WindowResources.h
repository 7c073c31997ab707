// The settings the application's workbook components are stored with in its
// windows, applied the way a window applies them when it is created.
#pragma once

namespace workbook {

class TXLSWorkbook;

// Applies, after construction: Version xvExcel97; one sheet "Sheet1" with
// default column width 8, default row height 255, A4 portrait print settings
// (margins 0.75/0.75/1.0/1.0 inch, header and footer 0.5, 600 dpi, fit 1x1,
// scaling 100, starting page 1, no copies), gridlines, row and column
// headings and zeros shown, automatic breaks, summary rows below and columns
// right, outline symbols, no protection, zoom 0; window 100,100 10000x7000
// with scroll bars and tabs; automatic calculation, 100 iterations, delta
// 0.001, precision as displayed, recalculation saved with the file.
void LoadFromWindowResources(TXLSWorkbook& book);

}  // namespace workbook
