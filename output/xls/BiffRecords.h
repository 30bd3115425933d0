#pragma once

#include <cstdint>

// The BIFF8 record types the writer puts in a workbook stream, named as the published file
// format names them, and the fields of the BOF record that open each substream.
namespace biff {

enum class Record : std::uint16_t {
    // Both substreams
    Bof = 0x0809,
    Eof = 0x000A,
    Continue = 0x003C,

    // Workbook globals
    InterfaceHdr = 0x00E1,
    Mms = 0x00C1,
    InterfaceEnd = 0x00E2,
    WriteAccess = 0x005C,
    CodePage = 0x0042,
    Dsf = 0x0161,
    Excel9File = 0x01C0,
    TabId = 0x013D,
    FnGroupCount = 0x009C,
    WindowProtect = 0x0019,
    Protect = 0x0012,
    Password = 0x0013,
    Prot4Rev = 0x01AF,
    Prot4RevPass = 0x01BC,
    Window1 = 0x003D,
    Backup = 0x0040,
    HideObj = 0x008D,
    Date1904 = 0x0022,
    Precision = 0x000E,
    RefreshAll = 0x01B7,
    BookBool = 0x00DA,
    Font = 0x0031,
    Format = 0x041E,
    Xf = 0x00E0,
    Style = 0x0293,
    Palette = 0x0092,
    UsesElfs = 0x0160,
    BoundSheet = 0x0085,
    Country = 0x008C,
    Sst = 0x00FC,
    ExtSst = 0x00FF,

    // Worksheet
    Index = 0x020B,
    CalcMode = 0x000D,
    CalcCount = 0x000C,
    RefMode = 0x000F,
    Iteration = 0x0011,
    Delta = 0x0010,
    SaveRecalc = 0x005F,
    PrintHeaders = 0x002A,
    PrintGridLines = 0x002B,
    GridSet = 0x0082,
    Guts = 0x0080,
    DefaultRowHeight = 0x0225,
    WsBool = 0x0081,
    Header = 0x0014,
    Footer = 0x0015,
    HCenter = 0x0083,
    VCenter = 0x0084,
    LeftMargin = 0x0026,
    RightMargin = 0x0027,
    TopMargin = 0x0028,
    BottomMargin = 0x0029,
    Setup = 0x00A1,
    DefColWidth = 0x0055,
    Dimensions = 0x0200,
    Row = 0x0208,
    Number = 0x0203,
    LabelSst = 0x00FD,
    Blank = 0x0201,
    MulBlank = 0x00BE,
    DbCell = 0x00D7,
    Window2 = 0x023E,
    Selection = 0x001D,
    MergedCells = 0x00E5,
};

// The BOF record's version field for BIFF8, and its substream types.
inline constexpr std::uint16_t biff8Version = 0x0600;
enum class Substream : std::uint16_t { Globals = 0x0005, Worksheet = 0x0010 };

} // namespace biff
