// BIFF record type numbers, named after the format's own record names.
#pragma once

#include <cstdint>

namespace workbook {

constexpr uint16_t BIFFRECID_1904 = 0x0022;
constexpr uint16_t BIFFRECID_BACKUP = 0x0040;
constexpr uint16_t BIFFRECID_BLANK = 0x0201;
constexpr uint16_t BIFFRECID_BOF = 0x0809;
constexpr uint16_t BIFFRECID_BOOKBOOL = 0x00DA;
constexpr uint16_t BIFFRECID_BOOLERR = 0x0205;
constexpr uint16_t BIFFRECID_BOTTOMMARGIN = 0x0029;
constexpr uint16_t BIFFRECID_BOUNDSHEET = 0x0085;
constexpr uint16_t BIFFRECID_CALCCOUNT = 0x000C;
constexpr uint16_t BIFFRECID_CALCMODE = 0x000D;
constexpr uint16_t BIFFRECID_CODEPAGE = 0x0042;
constexpr uint16_t BIFFRECID_COLINFO = 0x007D;
constexpr uint16_t BIFFRECID_COUNTRY = 0x008C;
constexpr uint16_t BIFFRECID_DEFAULTROWHEIGHT = 0x0225;
constexpr uint16_t BIFFRECID_DEFCOLWIDTH = 0x0055;
constexpr uint16_t BIFFRECID_DELTA = 0x0010;
constexpr uint16_t BIFFRECID_DIMENSIONS = 0x0200;
constexpr uint16_t BIFFRECID_DSF = 0x0161;
constexpr uint16_t BIFFRECID_EOF = 0x000A;
constexpr uint16_t BIFFRECID_EXTSST = 0x00FF;
constexpr uint16_t BIFFRECID_FILESHARING = 0x005B;
constexpr uint16_t BIFFRECID_FNGROUPCOUNT = 0x009C;
constexpr uint16_t BIFFRECID_FONT = 0x0031;
constexpr uint16_t BIFFRECID_FOOTER = 0x0015;
constexpr uint16_t BIFFRECID_FORMAT = 0x041E;
constexpr uint16_t BIFFRECID_FORMULA = 0x0006;
constexpr uint16_t BIFFRECID_GRIDSET = 0x0082;
constexpr uint16_t BIFFRECID_GUTS = 0x0080;
constexpr uint16_t BIFFRECID_HCENTER = 0x0083;
constexpr uint16_t BIFFRECID_HEADER = 0x0014;
constexpr uint16_t BIFFRECID_HIDEOBJ = 0x008D;
constexpr uint16_t BIFFRECID_HORIZONTALPAGEBREAKS = 0x001B;
constexpr uint16_t BIFFRECID_ITERATION = 0x0011;
constexpr uint16_t BIFFRECID_LABELSST = 0x00FD;
constexpr uint16_t BIFFRECID_LEFTMARGIN = 0x0026;
constexpr uint16_t BIFFRECID_MULBLANK = 0x00BE;
constexpr uint16_t BIFFRECID_MULRK = 0x00BD;
constexpr uint16_t BIFFRECID_NUMBER = 0x0203;
constexpr uint16_t BIFFRECID_OBPROJ = 0x00D3;
constexpr uint16_t BIFFRECID_PALETTE = 0x0092;
constexpr uint16_t BIFFRECID_PASSWORD = 0x0013;
constexpr uint16_t BIFFRECID_PRECISION = 0x000E;
constexpr uint16_t BIFFRECID_PRINTGRIDLINES = 0x002B;
constexpr uint16_t BIFFRECID_PRINTHEADERS = 0x002A;
constexpr uint16_t BIFFRECID_PROT4REV = 0x01AF;
constexpr uint16_t BIFFRECID_PROTECT = 0x0012;
constexpr uint16_t BIFFRECID_RECALCID = 0x01C1;
constexpr uint16_t BIFFRECID_REFMODE = 0x000F;
constexpr uint16_t BIFFRECID_REFRESHALL = 0x01B7;
constexpr uint16_t BIFFRECID_RIGHTMARGIN = 0x0027;
constexpr uint16_t BIFFRECID_RK = 0x027E;
constexpr uint16_t BIFFRECID_ROW = 0x0208;
constexpr uint16_t BIFFRECID_SAVERECALC = 0x005F;
constexpr uint16_t BIFFRECID_SCL = 0x00A0;
constexpr uint16_t BIFFRECID_SELECTION = 0x001D;
constexpr uint16_t BIFFRECID_SETUP = 0x00A1;
constexpr uint16_t BIFFRECID_SST = 0x00FC;
constexpr uint16_t BIFFRECID_STYLE = 0x0293;
constexpr uint16_t BIFFRECID_TABID = 0x013D;
constexpr uint16_t BIFFRECID_TOPMARGIN = 0x0028;
constexpr uint16_t BIFFRECID_VCENTER = 0x0084;
constexpr uint16_t BIFFRECID_VERTICALPAGEBREAKS = 0x001A;
constexpr uint16_t BIFFRECID_WINDOW1 = 0x003D;
constexpr uint16_t BIFFRECID_WINDOW2 = 0x023E;
constexpr uint16_t BIFFRECID_WINDOWPROTECT = 0x0019;
constexpr uint16_t BIFFRECID_WRITEACCESS = 0x005C;
constexpr uint16_t BIFFRECID_WSBOOL = 0x0081;
constexpr uint16_t BIFFRECID_XF = 0x00E0;

}  // namespace workbook
