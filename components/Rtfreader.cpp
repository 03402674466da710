// SPDX-License-Identifier: GPL-3.0-or-later
// The RTF reader: one pass over the bytes with an explicit group stack (no recursion, so no input
// can overflow the call stack), building the QTextDocument through a QTextCursor.
#include <QCoreApplication>
#include <QHash>
#include <QLocale>
#include <QSet>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <vector>

#include "components/Rtf.h"
#include "components/Rtfinternal.h"
#include "foundation/Exceptions.h"

namespace {

using rtf::tPictureKind;

// Groups nested deeper than this are skipped whole; real writers stay below 30.
constexpr int kMaxDepth = 1000;
constexpr int kMaxWordLength = 32;
constexpr int kDefaultFontSize = 24;   // half-points: 12 pt
constexpr int kMaxFontSize = 1638;     // half-points, as far as word processors go
constexpr int kMaxIndent = 31680;      // twips: 22 inches
constexpr double kTwipsPerPixel = 15;  // 1440 twips per inch at 96 dpi
constexpr double kMaxDisplayPixels = 20000;
// Tables beyond these sizes are no report templates; the rest of their cells go to the last ones.
constexpr int kMaxTableColumns = 64;
constexpr int kMaxTableRows = 10000;

// What the text of a group means.
enum class tDest {
    Normal,  // document content
    Skip,    // ignored with everything nested in it
    FontTable,
    ColorTable,
    Pict,       // picture properties and data
    ShapeInst,  // shape properties: text dropped, the picture property looked for
    ShapeName,  // {\sn name}
    ShapePib,   // {\sv ...} of the picture property: holds a {\pict}
};

struct tState {
    tDest Dest = tDest::Normal;
    bool StarPending = false;  // the last control was \*: an unknown destination follows
    bool Bold = false;
    bool Italic = false;
    bool Underline = false;
    bool Strike = false;
    int FontSize = kDefaultFontSize;
    int Color = 0;
    int Font = -1;  // -1: the default font
    int UnicodeSkip = 1;
    Qt::Alignment Align = Qt::AlignLeft;
    int LeftIndent = 0;
    int RightIndent = 0;
    int FirstIndent = 0;
    bool InTable = false;  // \intbl: the paragraph belongs to a table cell
};

// One cell of a table row definition (\trowd ... \cellx).
struct tCellDef {
    int Right = 0;            // right edge, twips from the row's left
    bool MergedLeft = false;  // \clmrg: continues the cell to its left
    bool VFirst = false;      // \clvmgf: first of cells merged downwards
    bool VMerged = false;     // \clvmrg: continues the cell above
};

struct tFont {
    QByteArray NameBytes;  // bytes not yet decoded
    QString Name;          // decoded so far (\uN characters come between the bytes)
    int Charset = -1;
    int CodePage = 0;
};

struct tPicture {
    tPictureKind Declared = tPictureKind::Unknown;
    bool WBitmap = false;
    int PicW = 0, PicH = 0;
    int GoalW = 0, GoalH = 0;
    int ScaleX = 100, ScaleY = 100;
    int BitsPerPixel = 1, WidthBytes = 0;
    QByteArray Data;
    int HighNibble = -1;
};

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// `word` is the control word `name` (compared by length first: a document has millions of words).
template <std::size_t N>
bool Is(const QByteArray& word, const char (&name)[N]) {
    return word.size() == qsizetype(N - 1) && std::memcmp(word.constData(), name, N - 1) == 0;
}

bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Destinations whose content is not document text (the starred ones are skipped anyway). Looked up
// for every control word of the text, so by hash rather than one comparison per name.
bool IsSkippedDestination(const QByteArray& word) {
    static const QSet<QByteArray> kSkipped = {"stylesheet", "info",      "header",
                                              "headerl",    "headerr",   "headerf",
                                              "footer",     "footerl",   "footerr",
                                              "footerf",    "footnote",  "annotation",
                                              "pn",         "fldinst",   "xe",
                                              "tc",         "txe",       "rxe",
                                              "objdata",    "objclass",  "objname",
                                              "pntxta",     "pntxtb",    "filetbl",
                                              "revtbl",     "listtable", "listoverridetable",
                                              "nonshppict", "template",  "author",
                                              "operator",   "title",     "subject",
                                              "comment",    "keywords",  "doccomm",
                                              "ftnsep",     "ftnsepc",   "ftncn",
                                              "aftnsep",    "aftnsepc",  "aftncn",
                                              "rsidtbl",    "do",        "atnid",
                                              "atnauthor",  "private",   "pgdsctbl"};
    return kSkipped.contains(word);
}

class tReader {
  public:
    tReader(const QByteArray& input, QTextDocument& document, const tRtfLimits& limits)
        : FIn(input.constData()),
          FSize(input.size()),
          FDocument(document),
          FCursor(&document),
          FLimits(limits) {}

    void Run();

  private:
    tState& State() { return FStack.back(); }
    void OpenGroup();
    bool CloseGroup();  // true when the document group closed
    void ControlToken();
    void ControlWord(const QByteArray& word, bool hasParam, int param);
    void ControlSymbol(char c);
    void TextByte(char c);
    void PictData();
    void SkipBinary(int count, bool keep);

    // Output.
    void AppendByte(char c);
    void AppendChar(QChar c);
    void BeforeOutput();
    void FlushBytes();
    void FlushText();
    void ParagraphBreak();
    void ApplyBlockFormat();
    void CheckLimits() const;
    void CheckCancel() const;
    int CodePage();
    QTextCharFormat CharFormat();

    void StartPicture();
    void FinishPicture();

    // Where output goes: the document at FCursor, or the open table's current cell.
    void OutText(const QString& text, const QTextCharFormat& format);
    void OutBlock();
    void OutBlockFormat(const QTextBlockFormat& format);
    void OutImage(const QTextImageFormat& format);

    // Tables: output goes into the current cell when its content starts, and out of the table
    // when a paragraph without \intbl comes.
    void PlaceOutput();
    void EnterCell();
    void EndCell();
    void EndRow();
    void LeaveTable();
    void WriteTable();
    std::pair<int, int> CellColumns(int index);  // first grid column and span of a row's cell
    int GridColumn(int right);
    void CloseVerticalMerge(int column);
    QImage DecodeWBitmap() const;
    void FlushFontName(tFont& font);
    void FinishFont();
    void FinishColor();

    const char* FIn;
    qsizetype FSize;
    qsizetype FPos = 0;
    unsigned FSteps = 0;
    QTextDocument& FDocument;
    QTextCursor FCursor;
    tRtfLimits FLimits;

    std::vector<tState> FStack;
    int FOverflow = 0;   // groups beyond kMaxDepth still open
    int FSkipChars = 0;  // characters still to skip after \uN
    int FDocCodePage = 1252;
    int FDefaultFont = 0;
    std::map<int, tFont> FFonts;
    int FFontCurrent = -1;
    std::vector<QColor> FColors;
    int FRed = -1, FGreen = -1, FBlue = -1;
    tPicture FPicture;
    QByteArray FShapeName;
    QByteArray FLastShapeName;
    bool FShapeHadPicture = false;

    QByteArray FPendingBytes;
    int FPendingCodePage = 0;
    QString FRun;
    bool FCellPending = false;
    bool FEndedWithPar = false;

    std::vector<tCellDef> FRowDef;
    std::vector<std::pair<int, int>> FRowColumns;  // CellColumns of the row definition's cells
    tCellDef FCellDef;
    bool FBorders = false;
    // The open table. Its cells are recorded as they come and written into a table of the final
    // size once it ends: Qt goes over every cell of a table again whenever rows are added, so a
    // table grown row by row would cost the square of its size.
    bool FTableOpen = false;
    bool FTableBorders = false;
    int FTableColumns = 0;
    struct tCellOp {
        enum tKind : std::uint8_t { kText, kBlock, kBlockFormat, kImage };
        tKind Kind;
        QString Text;
        QTextFormat Format;
    };
    struct tCellRecord {
        int Row, Column;
        std::size_t FirstOp;  // its output: FOps from here to the next record's first
    };
    std::vector<tCellRecord> FCells;
    std::deque<tCellOp> FOps;  // grows without moving what it holds
    bool FRecording = false;   // output goes to the last record
    // What the recorded cells will add to the document, for the limits.
    qint64 FPendingCharacters = 0;
    qint64 FPendingBlocks = 0;
    std::vector<int> FGrid;  // right edges of the table's columns, twips
    int FRow = 0;
    int FCellIndex = 0;
    bool FInCell = false;
    struct tMerge {
        int Row, Column, Rows, Columns;
    };
    std::vector<tMerge> FMerges;
    std::vector<std::pair<int, int>> FVertical;  // per grid column: first row and span of an open merge
};

void tReader::Run() {
    FStack.push_back(tState());  // outside the document group
    bool started = false;
    while (FPos < FSize) {
        // Also long stretches that add nothing to the document (a picture's data) can be cancelled.
        if ((++FSteps & 0xFFFF) == 0) CheckCancel();
        const char c = FIn[FPos];
        if (c == '{') {
            ++FPos;
            OpenGroup();
            started = true;
        } else if (c == '}') {
            ++FPos;
            if (CloseGroup() && started) break;
        } else if (c == '\\') {
            ++FPos;
            ControlToken();
        } else if (State().Dest == tDest::Pict && FOverflow == 0) {
            PictData();
        } else {
            ++FPos;
            if (c != '\r' && c != '\n') TextByte(c);
        }
    }
    // A truncated document ends here too: keep what was read.
    FlushText();
    LeaveTable();
    ApplyBlockFormat();
    if (FEndedWithPar && FDocument.blockCount() > 1 && FDocument.lastBlock().length() <= 1) {
        // The final \par closes the last paragraph rather than opening an empty one; the paragraph
        // it closed keeps its own format (alignment, indents), also when it is empty.
        const QTextBlockFormat closed = FDocument.lastBlock().previous().blockFormat();
        FCursor.movePosition(QTextCursor::End);
        FCursor.deletePreviousChar();
        FCursor.setBlockFormat(closed);
    }
}

void tReader::OpenGroup() {
    FSkipChars = 0;
    if (FOverflow > 0 || static_cast<int>(FStack.size()) > kMaxDepth) {
        ++FOverflow;
        return;
    }
    FStack.push_back(FStack.back());
    State().StarPending = false;
}

bool tReader::CloseGroup() {
    FSkipChars = 0;
    if (FOverflow > 0) {
        --FOverflow;
        return false;
    }
    if (FStack.size() <= 1) return true;  // an unbalanced closing brace ends the document
    FlushText();
    const tDest closing = State().Dest;
    const tDest parent = FStack[FStack.size() - 2].Dest;
    if (closing == tDest::Pict && parent != tDest::Pict) FinishPicture();
    if (closing == tDest::FontTable && FFontCurrent >= 0) FinishFont();
    if (closing == tDest::ShapeName && parent != tDest::ShapeName) FLastShapeName = FShapeName.trimmed();
    FStack.pop_back();
    return FStack.size() <= 1;
}

void tReader::ControlToken() {
    if (FPos >= FSize) return;
    const char c = FIn[FPos];
    if (!IsLetter(c)) {
        ++FPos;
        ControlSymbol(c);
        return;
    }
    QByteArray word;
    while (FPos < FSize && IsLetter(FIn[FPos])) {
        if (word.size() < kMaxWordLength) word.append(FIn[FPos]);
        ++FPos;
    }
    bool hasParam = false;
    bool negative = false;
    qint64 value = 0;
    if (FPos < FSize && FIn[FPos] == '-' && FPos + 1 < FSize && FIn[FPos + 1] >= '0' &&
        FIn[FPos + 1] <= '9') {
        negative = true;
        ++FPos;
    }
    while (FPos < FSize && FIn[FPos] >= '0' && FIn[FPos] <= '9') {
        hasParam = true;
        // Saturate: a parameter beyond 32 bits is clamped instead of wrapping around.
        if (value < 0x80000000LL) value = value * 10 + (FIn[FPos] - '0');
        ++FPos;
    }
    if (FPos < FSize && FIn[FPos] == ' ') ++FPos;
    value = std::min<qint64>(value, 0x7FFFFFFFLL);
    const int param = static_cast<int>(negative ? -value : value);
    ControlWord(word, hasParam, param);
}

void tReader::SkipBinary(int count, bool keep) {
    const qsizetype n = std::clamp<qsizetype>(count, 0, FSize - FPos);
    if (keep) FPicture.Data.append(FIn + FPos, n);
    FPos += n;
}

// The character a symbol word stands for (\tab, \emdash, ...); 0 for any other word.
char16_t SpecialCharacter(const QByteArray& word) {
    static const QHash<QByteArray, char16_t> kSymbols = {
        {"tab", u'\t'},        {"line", QChar::LineSeparator},
        {"bullet", 0x2022},    {"endash", 0x2013},
        {"emdash", 0x2014},    {"lquote", 0x2018},
        {"rquote", 0x2019},    {"ldblquote", 0x201C},
        {"rdblquote", 0x201D}, {"enspace", 0x2002},
        {"emspace", 0x2003},   {"qmspace", 0x2005}};
    return kSymbols.value(word, 0);
}

void tReader::ControlWord(const QByteArray& word, bool hasParam, int param) {
    tState& s = State();
    if (Is(word, "bin")) {
        // Raw bytes follow; they may hold braces, so they are consumed whatever the destination.
        if (FSkipChars > 0) --FSkipChars;
        SkipBinary(hasParam ? param : 0, s.Dest == tDest::Pict && FOverflow == 0);
        return;
    }
    if (FOverflow > 0 || s.Dest == tDest::Skip) return;
    if (FSkipChars > 0) {
        --FSkipChars;
        return;
    }
    if (s.StarPending) {
        s.StarPending = false;
        if (Is(word, "shppict")) return;
        if (Is(word, "shpinst")) {
            s.Dest = tDest::ShapeInst;
            return;
        }
        s.Dest = tDest::Skip;
        return;
    }

    switch (s.Dest) {
        case tDest::FontTable:
            if (Is(word, "f")) {
                if (FFontCurrent >= 0) FinishFont();
                FFontCurrent = std::max(param, 0);
                FFonts[FFontCurrent] = tFont();
            } else if (Is(word, "fcharset") && FFontCurrent >= 0) {
                FFonts[FFontCurrent].Charset = param;
            } else if (Is(word, "cpg") && FFontCurrent >= 0) {
                FFonts[FFontCurrent].CodePage = std::clamp(param, 0, 65535);
            } else if (Is(word, "u") && FFontCurrent >= 0) {
                // A name outside the code page (our writer puts \uN there too).
                tFont& font = FFonts[FFontCurrent];
                FlushFontName(font);
                const int code = param < 0 ? param + 65536 : param;
                if (code >= 0x20 && code <= 0xFFFF) font.Name.append(QChar(char16_t(code)));
                FSkipChars = s.UnicodeSkip;
            }
            return;
        case tDest::ColorTable:
            if (Is(word, "red")) FRed = std::clamp(param, 0, 255);
            if (Is(word, "green")) FGreen = std::clamp(param, 0, 255);
            if (Is(word, "blue")) FBlue = std::clamp(param, 0, 255);
            return;
        case tDest::Pict:
            if (Is(word, "pngblip"))
                FPicture.Declared = tPictureKind::Png;
            else if (Is(word, "jpegblip"))
                FPicture.Declared = tPictureKind::Jpeg;
            else if (Is(word, "dibitmap"))
                FPicture.Declared = tPictureKind::Dib;
            else if (Is(word, "wbitmap"))
                FPicture.WBitmap = true;
            else if (Is(word, "wmetafile"))
                FPicture.Declared = tPictureKind::Wmf;
            else if (Is(word, "emfblip"))
                FPicture.Declared = tPictureKind::Emf;
            else if (Is(word, "picw"))
                FPicture.PicW = param;
            else if (Is(word, "pich"))
                FPicture.PicH = param;
            else if (Is(word, "picwgoal"))
                FPicture.GoalW = param;
            else if (Is(word, "pichgoal"))
                FPicture.GoalH = param;
            else if (Is(word, "picscalex"))
                FPicture.ScaleX = std::clamp(param, 1, 1000);
            else if (Is(word, "picscaley"))
                FPicture.ScaleY = std::clamp(param, 1, 1000);
            else if (Is(word, "wbmbitspixel"))
                FPicture.BitsPerPixel = param;
            else if (Is(word, "wbmwidthbytes"))
                FPicture.WidthBytes = param;
            return;
        case tDest::ShapeInst:
        case tDest::ShapePib:
            if (Is(word, "sn")) {
                s.Dest = tDest::ShapeName;
                FShapeName.clear();
            } else if (Is(word, "sv")) {
                s.Dest = FLastShapeName == "pib" ? tDest::ShapePib : tDest::Skip;
            } else if (Is(word, "pict")) {
                StartPicture();
            } else if (Is(word, "shptxt")) {
                s.Dest = tDest::Normal;
            }
            return;
        case tDest::ShapeName:
        case tDest::Skip:
            return;
        case tDest::Normal:
            break;
    }

    // Destinations.
    if (Is(word, "fonttbl")) {
        s.Dest = tDest::FontTable;
        FFontCurrent = -1;
    } else if (Is(word, "colortbl")) {
        s.Dest = tDest::ColorTable;
        FColors.clear();
        FRed = FGreen = FBlue = -1;
    } else if (Is(word, "pict")) {
        StartPicture();
    } else if (Is(word, "shp")) {
        FShapeHadPicture = false;
        FLastShapeName.clear();
    } else if (Is(word, "shpinst")) {
        s.Dest = tDest::ShapeInst;
    } else if (Is(word, "shprslt")) {
        // The fallback rendering of a shape: shown only when the shape gave us no picture.
        if (FShapeHadPicture) s.Dest = tDest::Skip;
    } else if (IsSkippedDestination(word)) {
        s.Dest = tDest::Skip;
    }
    // Document properties.
    else if (Is(word, "ansicpg")) {
        if (param > 0 && param < 65536) FDocCodePage = param;
    } else if (Is(word, "ansi")) {
        FDocCodePage = 1252;
    } else if (Is(word, "mac")) {
        FDocCodePage = 10000;
    } else if (Is(word, "pc")) {
        FDocCodePage = 437;
    } else if (Is(word, "pca")) {
        FDocCodePage = 850;
    } else if (Is(word, "deff")) {
        FDefaultFont = std::max(param, 0);
    } else if (Is(word, "uc")) {
        s.UnicodeSkip = std::clamp(hasParam ? param : 1, 0, 16);
    } else if (Is(word, "u")) {
        int code = param;
        if (code < 0) code += 65536;
        if (code >= 0 && code <= 0xFFFF) AppendChar(QChar(char16_t(code)));
        FSkipChars = s.UnicodeSkip;
    }
    // Character formatting.
    else if (Is(word, "b") || Is(word, "i") || Is(word, "strike") || Is(word, "ul") || Is(word, "ulnone") ||
             Is(word, "uld") || Is(word, "uldb") || Is(word, "ulw") || Is(word, "ulwave") ||
             Is(word, "uldash") || Is(word, "ulth") || Is(word, "fs") || Is(word, "cf") || Is(word, "f") ||
             Is(word, "plain")) {
        FlushText();
        const bool on = !hasParam || param != 0;
        if (Is(word, "b"))
            s.Bold = on;
        else if (Is(word, "i"))
            s.Italic = on;
        else if (Is(word, "strike"))
            s.Strike = on;
        else if (Is(word, "ulnone"))
            s.Underline = false;
        else if (word.startsWith("ul"))
            s.Underline = on;
        else if (Is(word, "fs"))
            s.FontSize = hasParam && param > 0 ? std::min(param, kMaxFontSize) : kDefaultFontSize;
        else if (Is(word, "cf"))
            s.Color = std::max(param, 0);
        else if (Is(word, "f"))
            s.Font = std::max(param, 0);
        else if (Is(word, "plain")) {
            s.Bold = s.Italic = s.Underline = s.Strike = false;
            s.FontSize = kDefaultFontSize;
            s.Color = 0;
            s.Font = -1;
        }
    }
    // Paragraph formatting and breaks.
    else if (Is(word, "pard")) {
        s.InTable = false;
        s.Align = Qt::AlignLeft;
        s.LeftIndent = s.RightIndent = s.FirstIndent = 0;
    } else if (Is(word, "ql")) {
        s.Align = Qt::AlignLeft;
    } else if (Is(word, "qc")) {
        s.Align = Qt::AlignHCenter;
    } else if (Is(word, "qr")) {
        s.Align = Qt::AlignRight;
    } else if (Is(word, "qj")) {
        s.Align = Qt::AlignJustify;
    } else if (Is(word, "li")) {
        s.LeftIndent = std::clamp(param, -kMaxIndent, kMaxIndent);
    } else if (Is(word, "ri")) {
        s.RightIndent = std::clamp(param, -kMaxIndent, kMaxIndent);
    } else if (Is(word, "fi")) {
        s.FirstIndent = std::clamp(param, -kMaxIndent, kMaxIndent);
    }
    // Tables.
    else if (Is(word, "intbl")) {
        s.InTable = true;
    } else if (Is(word, "trowd")) {
        FRowDef.clear();
        FRowColumns.clear();
        FCellDef = tCellDef();
    } else if (Is(word, "cellx")) {
        FCellDef.Right = std::clamp(param, 0, kMaxIndent * 4);
        if (int(FRowDef.size()) < kMaxTableColumns) FRowDef.push_back(FCellDef);
        FRowColumns.clear();
        FCellDef = tCellDef();
    } else if (Is(word, "clmrg")) {
        FCellDef.MergedLeft = true;
    } else if (Is(word, "clvmgf")) {
        FCellDef.VFirst = true;
    } else if (Is(word, "clvmrg")) {
        FCellDef.VMerged = true;
    } else if (Is(word, "brdrs") || Is(word, "brdrth") || Is(word, "brdrdb") || Is(word, "brdrsh") ||
               Is(word, "brdrdot") || Is(word, "brdrdash") || Is(word, "brdrhair")) {
        FBorders = true;
    } else if (Is(word, "cell") && (s.InTable || FTableOpen)) {
        EndCell();
    } else if (Is(word, "row") && FTableOpen) {
        EndRow();
    } else if (Is(word, "par") || Is(word, "page") || Is(word, "row") || Is(word, "nestrow")) {
        ParagraphBreak();
    } else if (Is(word, "cell") || Is(word, "nestcell")) {
        // Cells of a row become one paragraph with the cell texts separated by tabs.
        if (FCellPending) AppendChar(QChar('\t'));
        FCellPending = true;
    }
    // Special characters.
    else if (const char16_t special = SpecialCharacter(word))
        AppendChar(QChar(special));
}

void tReader::ControlSymbol(char c) {
    if (c == '\'') {
        // \'hh: one byte in the current code page; a malformed escape is dropped.
        int value = -1;
        for (int i = 0; i < 2 && FPos < FSize; ++i) {
            const int digit = HexValue(FIn[FPos]);
            if (digit < 0) break;
            value = (value < 0 ? 0 : value * 16) + digit;
            ++FPos;
        }
        if (value >= 0) TextByte(static_cast<char>(value));
        return;
    }
    if (c == '{' || c == '}' || c == '\\') {
        TextByte(c);
        return;
    }
    tState& s = State();
    if (FOverflow > 0 || s.Dest == tDest::Skip) return;
    if (FSkipChars > 0) {
        --FSkipChars;
        return;
    }
    if (c == '*') {
        s.StarPending = true;
        return;
    }
    const QChar symbol = c == '~' ? QChar(0x00A0) : c == '_' ? QChar(0x2011) : QChar();
    if (s.Dest == tDest::FontTable && FFontCurrent >= 0 && !symbol.isNull()) {
        // A font name may hold them too (our writer writes a no-break space as \~).
        tFont& font = FFonts[FFontCurrent];
        FlushFontName(font);
        font.Name.append(symbol);
        return;
    }
    if (s.Dest != tDest::Normal) return;
    if (!symbol.isNull())
        AppendChar(symbol);
    else if (c == '\r' || c == '\n')
        ParagraphBreak();
}

void tReader::TextByte(char c) {
    if (FOverflow > 0) return;
    tState& s = State();
    if (FSkipChars > 0) {
        --FSkipChars;
        return;
    }
    switch (s.Dest) {
        case tDest::Normal:
            if (c == '\t')
                AppendChar(QChar('\t'));
            else if (static_cast<unsigned char>(c) >= 0x20)
                AppendByte(c);
            return;
        case tDest::FontTable:
            if (c == ';') {
                if (FFontCurrent >= 0) FinishFont();
            } else if (FFontCurrent >= 0) {
                FFonts[FFontCurrent].NameBytes.append(c);
            }
            return;
        case tDest::ColorTable:
            if (c == ';') FinishColor();
            return;
        case tDest::ShapeName:
            FShapeName.append(c);
            return;
        case tDest::Pict: {
            const int digit = HexValue(c);
            if (digit < 0) return;
            if (FPicture.HighNibble < 0) {
                FPicture.HighNibble = digit;
            } else {
                FPicture.Data.append(static_cast<char>(FPicture.HighNibble * 16 + digit));
                FPicture.HighNibble = -1;
            }
            return;
        }
        default:
            return;
    }
}

void tReader::PictData() {
    // The hot loop of large documents: hex digits up to the next control or brace.
    QByteArray& data = FPicture.Data;
    while (FPos < FSize) {
        const char c = FIn[FPos];
        if (c == '\\' || c == '{' || c == '}') return;
        if ((++FPos & 0xFFFF) == 0) CheckCancel();
        const int digit = HexValue(c);
        if (digit < 0) continue;
        if (FPicture.HighNibble < 0) {
            FPicture.HighNibble = digit;
        } else {
            data.append(static_cast<char>(FPicture.HighNibble * 16 + digit));
            FPicture.HighNibble = -1;
        }
    }
}

// ---- output ----

int tReader::CodePage() {
    const int font = State().Font >= 0 ? State().Font : FDefaultFont;
    auto it = FFonts.find(font);
    if (it != FFonts.end()) {
        if (it->second.CodePage > 0) return it->second.CodePage;
        const int fromCharset = rtf::CodePageOfCharset(it->second.Charset);
        if (fromCharset > 0) return fromCharset;
    }
    return FDocCodePage;
}

void tReader::PlaceOutput() {
    if (State().InTable)
        EnterCell();
    else if (FTableOpen)
        LeaveTable();
}

int tReader::GridColumn(int right) {
    // The nearest column edge (the first of two as near); an edge beyond the last one adds a
    // column. The edges ascend: each new one lies beyond the last.
    int best = -1;
    const auto next = std::lower_bound(FGrid.begin(), FGrid.end(), right);
    if (next != FGrid.end()) best = int(next - FGrid.begin());
    if (next != FGrid.begin() && (best < 0 || std::abs(*(next - 1) - right) <= std::abs(FGrid[best] - right)))
        best = int(next - FGrid.begin()) - 1;
    if ((best < 0 || right > FGrid.back() + 20) && int(FGrid.size()) < kMaxTableColumns) {
        FGrid.push_back(right);
        return int(FGrid.size()) - 1;
    }
    return std::max(best, 0);
}

std::pair<int, int> tReader::CellColumns(int index) {
    if (index >= int(FRowDef.size())) {
        // More cells than the row defined: each takes the next column.
        const int last = FRowDef.empty() ? -1 : CellColumns(int(FRowDef.size()) - 1).first;
        return {std::min(last + 1 + index - int(FRowDef.size()), kMaxTableColumns - 1), 1};
    }
    // Worked out once per row definition, cell by cell in order (the grid grows on the way).
    while (int(FRowColumns.size()) <= index) {
        const int i = int(FRowColumns.size());
        const int first = i == 0 ? 0 : GridColumn(FRowDef[i - 1].Right) + 1;
        const int last = GridColumn(FRowDef[i].Right);
        FRowColumns.push_back({std::min(first, kMaxTableColumns - 1), std::max(1, last - first + 1)});
    }
    return FRowColumns[index];
}

void tReader::EnterCell() {
    if (FInCell) return;
    FlushText();
    if (!FTableOpen) {
        FGrid.clear();
        FRowColumns.clear();
        for (const tCellDef& cell : FRowDef) GridColumn(cell.Right);
        // Qt keeps a paragraph before every table by itself: the empty one the last \par opened
        // would come on top of it and grow by one at every save and load. (Not right after
        // another table: that paragraph is the only one between them.)
        const QTextBlock previous = FCursor.block().previous();
        if (FCursor.block().length() <= 1 && previous.isValid() &&
            QTextCursor(previous).currentFrame() == FCursor.currentFrame())
            FCursor.deletePreviousChar();
        FTableOpen = true;
        FTableBorders = FBorders;
        FTableColumns = std::max<int>(1, int(FGrid.size()));
        FRow = 0;
        FCellIndex = 0;
        FMerges.clear();
        FVertical.clear();
        FCells.clear();
        FOps.clear();
    }
    if (FRow >= kMaxTableRows && !FCells.empty()) {
        FRecording = true;  // rows beyond the cap land in the last cell
        return;
    }
    const auto [column, span] = CellColumns(FCellIndex);
    FTableColumns = std::max(FTableColumns, column + span);
    FCells.push_back({std::min(FRow, kMaxTableRows - 1), column, FOps.size()});
    FRecording = true;
    ++FPendingBlocks;  // the cell's paragraph
    ++FPendingCharacters;
    CheckLimits();
    FInCell = true;
}

void tReader::EndCell() {
    EnterCell();  // an empty cell still takes its place
    FlushText();
    ApplyBlockFormat();
    FInCell = false;
    ++FCellIndex;
}

void tReader::CloseVerticalMerge(int column) {
    if (column >= int(FVertical.size())) return;
    auto& [first, span] = FVertical[column];
    if (first >= 0 && FRow - first > 1) FMerges.push_back({first, column, FRow - first, span});
    first = -1;
}

void tReader::EndRow() {
    FlushText();
    // Cells merged sideways (\clmrg) and downwards (\clvmgf, \clvmrg), as far as the row defines them.
    for (int i = 0; i < int(FRowDef.size()); ++i) {
        auto [column, span] = CellColumns(i);
        int j = i;
        while (j + 1 < int(FRowDef.size()) && FRowDef[j + 1].MergedLeft) ++j;
        if (j > i) {
            span = CellColumns(j).first + CellColumns(j).second - column;
            FMerges.push_back({FRow, column, 1, span});
        } else if (span > 1) {
            FMerges.push_back({FRow, column, 1, span});
        }
        if (int(FVertical.size()) <= column) FVertical.resize(column + 1, {-1, 1});
        if (FRowDef[i].VFirst) {
            CloseVerticalMerge(column);
            FVertical[column] = {FRow, span};
        } else if (!FRowDef[i].VMerged) {
            CloseVerticalMerge(column);
        }
        i = j;
    }
    if (FRow < kMaxTableRows) ++FRow;
    FCellIndex = 0;
    FInCell = false;
}

void tReader::LeaveTable() {
    if (!FTableOpen) return;
    FlushText();
    for (int column = 0; column < int(FVertical.size()); ++column) CloseVerticalMerge(column);
    FRecording = false;
    WriteTable();
    FTableOpen = false;
    FInCell = false;
    FBorders = false;
    FCells.clear();
    FOps.clear();
    FPendingCharacters = FPendingBlocks = 0;
}

void tReader::WriteTable() {
    int rows = 1;
    for (const tCellRecord& cell : FCells) rows = std::max(rows, cell.Row + 1);
    const int columns = FTableColumns;
    QTextTableFormat format;
    format.setBorder(FTableBorders ? 1 : 0);
    format.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
    format.setBorderCollapse(true);
    format.setCellSpacing(0);
    format.setCellPadding(4);
    if (int(FGrid.size()) == columns) {
        QList<QTextLength> widths;
        int left = 0;
        for (int right : FGrid) {
            widths.append(
                QTextLength(QTextLength::FixedLength, std::max(8.0, (right - left) / kTwipsPerPixel)));
            left = right;
        }
        format.setColumnWidthConstraints(widths);
    }
    // The whole table at once, merged while still empty, then filled cell by cell: none of it makes
    // Qt go over the table's cells again.
    QTextTable* table = FCursor.insertTable(rows, columns, format);
    const auto at = [columns](int row, int column) {
        return std::size_t(row) * std::size_t(columns) + std::size_t(column);
    };
    std::vector<bool> merged(std::size_t(rows) * std::size_t(columns));
    for (const tMerge& m : FMerges) {
        if (m.Row >= rows || m.Column >= columns) continue;
        const int spanRows = std::min(m.Rows, rows - m.Row),
                  spanColumns = std::min(m.Columns, columns - m.Column);
        table->mergeCells(m.Row, m.Column, spanRows, spanColumns);
        for (int r = m.Row; r < m.Row + spanRows; ++r)
            for (int c = m.Column; c < m.Column + spanColumns; ++c) merged[at(r, c)] = true;
    }

    std::vector<bool> filled(std::size_t(rows) * std::size_t(columns));
    QTextCursor cursor(&FDocument);
    for (std::size_t i = 0; i < FCells.size(); ++i) {
        if ((i & 0xFF) == 0) CheckCancel();
        const tCellRecord& record = FCells[i];
        const std::size_t end = i + 1 < FCells.size() ? FCells[i + 1].FirstOp : FOps.size();
        const QTextTableCell cell = table->cellAt(record.Row, record.Column);
        if (!cell.isValid()) continue;
        // A cell merged into another adds its content (if any) to that one, sideways after a
        // blank, downwards as a paragraph of its own. (Where the cell lies in the table is asked
        // of Qt only inside merges: it costs a search.)
        const bool inMerge = merged[at(record.Row, record.Column)];
        const int row = inMerge ? cell.row() : record.Row;
        const std::size_t key = inMerge ? at(row, cell.column()) : at(record.Row, record.Column);
        if (filled[key] &&
            std::none_of(FOps.begin() + std::ptrdiff_t(record.FirstOp), FOps.begin() + std::ptrdiff_t(end),
                         [](const tCellOp& op) { return op.Kind != tCellOp::kBlockFormat; }))
            continue;
        cursor.setPosition(cell.lastPosition());
        if (filled[key]) {
            if (record.Row == row)
                cursor.insertText(QStringLiteral(" "));
            else
                cursor.insertBlock();
        }
        filled[key] = true;
        for (std::size_t k = record.FirstOp; k < end; ++k) {
            const tCellOp& op = FOps[k];
            switch (op.Kind) {
                case tCellOp::kText:
                    cursor.insertText(op.Text, op.Format.toCharFormat());
                    break;
                case tCellOp::kBlock:
                    cursor.insertBlock();
                    break;
                case tCellOp::kBlockFormat:
                    cursor.setBlockFormat(op.Format.toBlockFormat());
                    break;
                case tCellOp::kImage:
                    cursor.insertImage(op.Format.toImageFormat());
                    break;
            }
        }
    }
    FCursor = table->lastCursorPosition();
    FCursor.movePosition(QTextCursor::NextBlock);
}

void tReader::OutText(const QString& text, const QTextCharFormat& format) {
    if (!FRecording) {
        FCursor.insertText(text, format);
        return;
    }
    FOps.push_back({tCellOp::kText, text, format});
    FPendingCharacters += text.size();
}

void tReader::OutBlock() {
    if (!FRecording) {
        FCursor.insertBlock();
        return;
    }
    FOps.push_back({tCellOp::kBlock, QString(), QTextFormat()});
    ++FPendingCharacters;
    ++FPendingBlocks;
}

void tReader::OutBlockFormat(const QTextBlockFormat& format) {
    if (!FRecording) {
        FCursor.setBlockFormat(format);
        return;
    }
    // Only the last format given to a paragraph counts.
    if (!FOps.empty() && FOps.size() > FCells.back().FirstOp && FOps.back().Kind == tCellOp::kBlockFormat)
        FOps.back().Format = format;
    else
        FOps.push_back({tCellOp::kBlockFormat, QString(), format});
}

void tReader::OutImage(const QTextImageFormat& format) {
    if (!FRecording) {
        FCursor.insertImage(format);
        return;
    }
    FOps.push_back({tCellOp::kImage, QString(), format});
    ++FPendingCharacters;
}

void tReader::BeforeOutput() {
    PlaceOutput();
    if (FCellPending) {
        FCellPending = false;
        FlushBytes();
        FRun.append(QChar('\t'));
    }
    FEndedWithPar = false;
}

void tReader::AppendByte(char c) {
    BeforeOutput();
    const int codePage = CodePage();
    if (codePage != FPendingCodePage) FlushBytes();
    FPendingCodePage = codePage;
    FPendingBytes.append(c);
}

void tReader::AppendChar(QChar c) {
    BeforeOutput();
    FlushBytes();
    FRun.append(c);
}

void tReader::FlushBytes() {
    if (FPendingBytes.isEmpty()) return;
    FRun.append(rtf::DecodeCodePage(FPendingBytes, FPendingCodePage));
    FPendingBytes.clear();
}

QTextCharFormat tReader::CharFormat() {
    const tState& s = State();
    QTextCharFormat format;
    format.setFontWeight(s.Bold ? QFont::Bold : QFont::Normal);
    format.setFontItalic(s.Italic);
    format.setFontUnderline(s.Underline);
    format.setFontStrikeOut(s.Strike);
    format.setFontPointSize(s.FontSize / 2.0);
    if (s.Color > 0 && s.Color < static_cast<int>(FColors.size()) && FColors[s.Color].isValid())
        format.setForeground(FColors[s.Color]);
    auto font = FFonts.find(s.Font >= 0 ? s.Font : FDefaultFont);
    if (font != FFonts.end() && !font->second.Name.isEmpty()) format.setFontFamilies({font->second.Name});
    return format;
}

void tReader::FlushText() {
    FlushBytes();
    if (FRun.isEmpty()) return;
    // Only text reaches the document. \u pairs make surrogate pairs; a lone half is replaced
    // rather than kept as broken UTF-16, and so are the characters Qt uses to mark pictures and
    // frames in a document. Control characters other than the tab (\u0, \'00) mean nothing.
    QString text;
    text.reserve(FRun.size());
    for (qsizetype i = 0; i < FRun.size(); ++i) {
        const QChar c = FRun[i];
        if (c.isHighSurrogate() && i + 1 < FRun.size() && FRun[i + 1].isLowSurrogate()) {
            text.append(c).append(FRun[++i]);
        } else if (c.isSurrogate() || c == QChar::ObjectReplacementCharacter || c.unicode() == 0xFDD0 ||
                   c.unicode() == 0xFDD1) {
            text.append(QChar(QChar::ReplacementCharacter));
        } else if (c.unicode() >= 0x20 || c == u'\t') {
            text.append(c);
        }
    }
    FRun.clear();
    if (text.isEmpty()) return;
    OutText(text, CharFormat());
    CheckLimits();
}

void tReader::CheckCancel() const {
    if (FLimits.Cancel && FLimits.Cancel->load(std::memory_order_relaxed)) throw tRtfCancelled();
}

void tReader::CheckLimits() const {
    CheckCancel();
    // Checked as the document grows, so an oversized one is refused after reading only its limit.
    if (FDocument.characterCount() + FPendingCharacters > FLimits.Characters)
        throw tRtfTooLarge(
            QCoreApplication::translate(
                "Rtfreader",
                "в нём больше %1 знаков (открываются документы до %1 знаков, это около %2 страниц).")
                .arg(QLocale(QLocale::Russian).toString(FLimits.Characters))
                .arg(FLimits.Characters / 2000));
    if (FDocument.blockCount() + FPendingBlocks > FLimits.Paragraphs)
        throw tRtfTooLarge(QCoreApplication::translate(
                               "Rtfreader", "в нём больше %1 абзацев (открываются документы до %1 абзацев).")
                               .arg(QLocale(QLocale::Russian).toString(FLimits.Paragraphs)));
}

void tReader::ApplyBlockFormat() {
    const tState& s = State();
    QTextBlockFormat format;
    format.setAlignment(s.Align);
    format.setLeftMargin(s.LeftIndent / kTwipsPerPixel);
    format.setRightMargin(s.RightIndent / kTwipsPerPixel);
    format.setTextIndent(s.FirstIndent / kTwipsPerPixel);
    OutBlockFormat(format);
}

void tReader::ParagraphBreak() {
    FlushText();
    PlaceOutput();
    FCellPending = false;
    ApplyBlockFormat();
    OutBlock();
    CheckLimits();
    FEndedWithPar = true;
}

// ---- tables ----

void tReader::FlushFontName(tFont& font) {
    if (font.NameBytes.isEmpty()) return;
    const int codePage = font.CodePage > 0 ? font.CodePage : rtf::CodePageOfCharset(font.Charset);
    QString text = rtf::DecodeCodePage(font.NameBytes, codePage > 0 ? codePage : FDocCodePage);
    // Control characters are no part of a name (the writer could not write them back).
    text.removeIf([](QChar c) { return c.unicode() < 0x20; });
    font.Name += text;
    font.NameBytes.clear();
}

void tReader::FinishFont() {
    tFont& font = FFonts[FFontCurrent];
    FlushFontName(font);
    font.Name = font.Name.trimmed();
    FFontCurrent = -1;
}

void tReader::FinishColor() {
    // An entry without components is the "automatic" colour (index 0 as a rule).
    if (FRed < 0 && FGreen < 0 && FBlue < 0)
        FColors.push_back(QColor());
    else
        FColors.push_back(QColor(std::max(FRed, 0), std::max(FGreen, 0), std::max(FBlue, 0)));
    FRed = FGreen = FBlue = -1;
}

// ---- pictures ----

void tReader::StartPicture() {
    State().Dest = tDest::Pict;
    FPicture = tPicture();
}

QImage tReader::DecodeWBitmap() const {
    const tPicture& p = FPicture;
    if (p.PicW <= 0 || p.PicH <= 0 || qint64(p.PicW) * p.PicH > rtf::kMaxPicturePixels) return {};
    QImage::Format format;
    switch (p.BitsPerPixel) {
        case 1:
            format = QImage::Format_Mono;
            break;
        case 8:
            format = QImage::Format_Grayscale8;
            break;
        case 24:
            format = QImage::Format_BGR888;
            break;
        case 32:
            format = QImage::Format_RGB32;
            break;
        default:
            return {};
    }
    const qint64 minRow = (qint64(p.PicW) * p.BitsPerPixel + 7) / 8;
    const qint64 row = p.WidthBytes > 0 ? p.WidthBytes : (minRow + 1) / 2 * 2;
    if (row < minRow || row * p.PicH > p.Data.size()) return {};
    QImage image(p.PicW, p.PicH, format);
    if (image.isNull()) return {};
    if (format == QImage::Format_Mono) image.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    for (int y = 0; y < p.PicH; ++y)
        memcpy(image.scanLine(y), p.Data.constData() + row * y, static_cast<size_t>(minRow));
    return image;
}

void tReader::FinishPicture() {
    const tPicture& p = FPicture;
    QImage image;
    QByteArray source;  // PNG or JPEG bytes the writer can store again as they are
    if (p.WBitmap) {
        image = DecodeWBitmap();
    } else {
        // The data decide, not the control word: some writers label a PNG as \jpegblip.
        image = rtf::DecodePicture(p.Data);
        const tPictureKind kind = rtf::DetectPicture(p.Data);
        if (!image.isNull() && (kind == tPictureKind::Jpeg || kind == tPictureKind::Png)) source = p.Data;
    }
    if (image.isNull()) return;  // metafiles and damaged data are left out

    double width = p.GoalW > 0 ? p.GoalW / kTwipsPerPixel : 0;
    double height = p.GoalH > 0 ? p.GoalH / kTwipsPerPixel : 0;
    rtf::CompleteDisplaySize(width, height, image);
    width = std::clamp(width * p.ScaleX / 100.0, 1.0, kMaxDisplayPixels);
    height = std::clamp(height * p.ScaleY / 100.0, 1.0, kMaxDisplayPixels);

    FlushText();
    BeforeOutput();
    OutImage(AddDocumentImage(FDocument, image, QSizeF(width, height), source));
    CheckLimits();
    FShapeHadPicture = true;
}

}  // namespace

void ReadRtf(const QByteArray& rtf, QTextDocument& document, const tRtfLimits& limits) {
    qsizetype start = 0;
    if (rtf.startsWith("\xEF\xBB\xBF")) start = 3;
    while (start < rtf.size() &&
           (rtf[start] == ' ' || rtf[start] == '\r' || rtf[start] == '\n' || rtf[start] == '\t'))
        ++start;
    if (!QByteArrayView(rtf).sliced(start).startsWith("{\\rtf"))
        throw tException(QCoreApplication::translate("Rtfreader", "Файл не является документом RTF."));
    document.clear();
    const QByteArray body = start == 0 ? rtf : rtf.mid(start);
    // One edit for the whole document: a view showing it lays it out once at the end instead of
    // after every paragraph (seconds per megabyte otherwise), and loading is not an undo step.
    struct tBatch {
        QTextDocument& Document;
        QTextCursor Cursor;
        bool Undo;
        explicit tBatch(QTextDocument& document)
            : Document(document), Cursor(&document), Undo(document.isUndoRedoEnabled()) {
            Document.setUndoRedoEnabled(false);
            Cursor.beginEditBlock();
        }
        ~tBatch() {
            Cursor.endEditBlock();
            Document.setUndoRedoEnabled(Undo);
        }
    } batch(document);
    tReader reader(body, document, limits);
    reader.Run();
}
