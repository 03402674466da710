// SPDX-License-Identifier: GPL-3.0-or-later
// The RTF writer: RTF 1 in the Windows-1251 code page that Russian word processors expect, every
// run in its own group with its complete character format, pictures as PNG or JPEG blips.
#include <QBuffer>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextFrame>
#include <QTextTable>
#include <QUrl>
#include <algorithm>
#include <cmath>
#include <vector>

#include "components/Rtf.h"
#include "components/Rtfinternal.h"
#include "foundation/Cp1251.h"

namespace {

constexpr double kTwipsPerPixel = 15;  // 1440 twips per inch at 96 dpi
constexpr int kHexBytesPerLine = 64;

void AppendEscaped(QByteArray& out, QStringView text) {
    for (QChar qc : text) {
        const char16_t c = qc.unicode();
        if (c == '\\' || c == '{' || c == '}') {
            out.append('\\');
            out.append(static_cast<char>(c));
        } else if (c == '\t') {
            out.append("\\tab ");
        } else if (c == QChar::LineSeparator) {
            out.append("\\line ");
        } else if (c == QChar::ParagraphSeparator) {
            out.append("\\par ");
        } else if (c == 0x00A0) {
            out.append("\\~");
        } else if (c < 0x20 || c == QChar::ObjectReplacementCharacter) {
            // control characters have no place in the text; pictures are written separately
        } else if (c < 0x80) {
            out.append(static_cast<char>(c));
        } else if (const int b = Cp1251Byte(c); b >= 0) {
            static const char kHex[] = "0123456789abcdef";
            out.append("\\'");
            out.append(kHex[b >> 4]);
            out.append(kHex[b & 15]);
        } else {
            // One \u per UTF-16 unit (a surrogate pair gives two), '?' for readers without Unicode.
            out.append("\\u");
            out.append(QByteArray::number(static_cast<int16_t>(c)));
            out.append('?');
        }
    }
}

class tWriter {
  public:
    explicit tWriter(const QTextDocument& document) : FDocument(document) {}
    QByteArray Run();

  private:
    int FontIndex(const QTextCharFormat& format);
    int ColorIndex(const QTextCharFormat& format);
    int HalfPoints(const QTextCharFormat& format) const;
    void WriteFrame(const QTextFrame* frame);
    void WriteTable(const QTextTable* table);
    // One paragraph; `end` closes it (\par, or \cell for a cell's last one).
    void WriteBlock(const QTextBlock& block, const char* end = "\\par\n", bool inTable = false);
    void WriteRun(const QTextCharFormat& format, QStringView text);
    void WritePicture(const QTextImageFormat& format);

    const QTextDocument& FDocument;
    QStringList FFonts;
    QList<QColor> FColors;
    QByteArray FBody;
};

int tWriter::FontIndex(const QTextCharFormat& format) {
    const QStringList families = format.fontFamilies().toStringList();
    const QString family = families.isEmpty() ? FDocument.defaultFont().family() : families.first();
    int index = FFonts.indexOf(family);
    if (index < 0) {
        FFonts.append(family);
        index = FFonts.size() - 1;
    }
    return index;
}

int tWriter::ColorIndex(const QTextCharFormat& format) {
    if (!format.hasProperty(QTextFormat::ForegroundBrush) || format.foreground().style() == Qt::NoBrush)
        return 0;
    const QColor color = format.foreground().color();
    int index = FColors.indexOf(color);
    if (index < 0) {
        FColors.append(color);
        index = FColors.size() - 1;
    }
    return index + 1;  // entry 0 of the table is the automatic colour
}

int tWriter::HalfPoints(const QTextCharFormat& format) const {
    double points = 0;
    if (format.hasProperty(QTextFormat::FontPointSize))
        points = format.fontPointSize();
    else if (format.hasProperty(QTextFormat::FontPixelSize))
        points = format.intProperty(QTextFormat::FontPixelSize) * 0.75;
    else if (FDocument.defaultFont().pointSizeF() > 0)
        points = FDocument.defaultFont().pointSizeF();
    else
        points = FDocument.defaultFont().pixelSize() * 0.75;
    return std::clamp(static_cast<int>(std::lround(points * 2)), 2, 1638);
}

void tWriter::WriteRun(const QTextCharFormat& format, QStringView text) {
    FBody.append("{\\f" + QByteArray::number(FontIndex(format)) + "\\fs" +
                 QByteArray::number(HalfPoints(format)));
    if (format.fontWeight() > QFont::Medium) FBody.append("\\b");
    if (format.fontItalic()) FBody.append("\\i");
    if (format.fontUnderline()) FBody.append("\\ul");
    if (format.fontStrikeOut()) FBody.append("\\strike");
    if (const int color = ColorIndex(format); color > 0) FBody.append("\\cf" + QByteArray::number(color));
    FBody.append(' ');
    AppendEscaped(FBody, text);
    FBody.append('}');
}

void tWriter::WritePicture(const QTextImageFormat& format) {
    const QUrl url(format.name());
    const QVariant resource = FDocument.resource(QTextDocument::ImageResource, url);
    QImage image;
    if (resource.userType() == QMetaType::QImage)
        image = resource.value<QImage>();
    else if (resource.userType() == QMetaType::QPixmap)
        image = resource.value<QPixmap>().toImage();
    else if (resource.userType() == QMetaType::QByteArray)
        image.loadFromData(resource.toByteArray());
    if (image.isNull()) return;  // a picture the document cannot show is not written either

    QByteArray data =
        FDocument.resource(rtf::kSourceResource, rtf::SourceResourceUrl(format.name())).toByteArray();
    const rtf::tPictureKind kind = data.isEmpty() ? rtf::tPictureKind::Unknown : rtf::DetectPicture(data);
    const bool jpeg = kind == rtf::tPictureKind::Jpeg;
    if (!jpeg && kind != rtf::tPictureKind::Png) {
        data.clear();
        QBuffer buffer(&data);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
    }
    double width = format.width() > 0 ? format.width() : 0;
    double height = format.height() > 0 ? format.height() : 0;
    rtf::CompleteDisplaySize(width, height, image);
    FBody.append(jpeg ? "{\\pict\\jpegblip" : "{\\pict\\pngblip");
    FBody.append("\\picw" + QByteArray::number(image.width()) + "\\pich" +
                 QByteArray::number(image.height()));
    FBody.append("\\picwgoal" + QByteArray::number(std::lround(width * kTwipsPerPixel)));
    FBody.append("\\pichgoal" + QByteArray::number(std::lround(height * kTwipsPerPixel)));
    FBody.append('\n');
    const QByteArray hex = data.toHex();
    for (qsizetype i = 0; i < hex.size(); i += 2 * kHexBytesPerLine) {
        FBody.append(hex.constData() + i, std::min<qsizetype>(2 * kHexBytesPerLine, hex.size() - i));
        FBody.append('\n');
    }
    FBody.append('}');
}

void tWriter::WriteFrame(const QTextFrame* frame) {
    for (auto it = frame->begin(); !it.atEnd(); ++it) {
        if (const QTextFrame* child = it.currentFrame()) {
            if (const auto* table = qobject_cast<const QTextTable*>(child))
                WriteTable(table);
            else
                WriteFrame(child);
        } else if (it.currentBlock().isValid()) {
            WriteBlock(it.currentBlock());
        }
    }
}

void tWriter::WriteTable(const QTextTable* table) {
    const QTextTableFormat format = table->format();
    const int rows = table->rows(), columns = table->columns();
    // Right edges of the columns in twips: the table's fixed widths, else equal parts of 16 cm.
    const QList<QTextLength> widths = format.columnWidthConstraints();
    std::vector<long> rights;
    long right = 0;
    for (int c = 0; c < columns; ++c) {
        const bool fixed = c < widths.size() && widths[c].type() == QTextLength::FixedLength;
        right += std::max(1L, std::lround(fixed ? widths[c].rawValue() * kTwipsPerPixel : 9070.0 / columns));
        rights.push_back(right);
    }
    const QByteArray border = format.border() > 0 ? QByteArray(
                                                        "\\clbrdrt\\brdrs\\brdrw10\\clbrdrl\\brdrs\\brdrw10"
                                                        "\\clbrdrb\\brdrs\\brdrw10\\clbrdrr\\brdrs\\brdrw10")
                                                  : QByteArray();
    for (int r = 0; r < rows; ++r) {
        // Every column is a cell of its own, so each row gives the whole grid; a cell spanning
        // columns is merged sideways (\clmgf, \clmrg), one spanning rows downwards (\clvmgf, \clvmrg).
        FBody.append("\\trowd\\trgaph70\\trleft0");
        for (int c = 0; c < columns; ++c) {
            const QTextTableCell cell = table->cellAt(r, c);
            if (cell.columnSpan() > 1) FBody.append(cell.column() == c ? "\\clmgf" : "\\clmrg");
            if (cell.rowSpan() > 1) FBody.append(cell.row() == r ? "\\clvmgf" : "\\clvmrg");
            FBody.append(border);
            FBody.append("\\cellx" + QByteArray::number(rights[c]));
        }
        FBody.append('\n');
        for (int c = 0; c < columns; ++c) {
            const QTextTableCell cell = table->cellAt(r, c);
            std::vector<QTextBlock> blocks;
            if (cell.row() == r && cell.column() == c)
                for (auto it = cell.begin(); !it.atEnd(); ++it)
                    if (it.currentBlock().isValid()) blocks.push_back(it.currentBlock());
            if (blocks.empty()) FBody.append("\\pard\\intbl\\cell\n");
            for (std::size_t i = 0; i < blocks.size(); ++i)
                WriteBlock(blocks[i], i + 1 == blocks.size() ? "\\cell\n" : "\\par\n", true);
        }
        FBody.append("\\row\n");
    }
}

void tWriter::WriteBlock(const QTextBlock& block, const char* end, bool inTable) {
    const QTextBlockFormat format = block.blockFormat();
    FBody.append(inTable ? "\\pard\\intbl" : "\\pard");
    const Qt::Alignment align = format.alignment() & Qt::AlignHorizontal_Mask;
    if (align & Qt::AlignHCenter)
        FBody.append("\\qc");
    else if (align & Qt::AlignJustify)
        FBody.append("\\qj");
    else if (align & Qt::AlignRight)
        FBody.append("\\qr");
    else
        FBody.append("\\ql");
    if (const long li = std::lround(format.leftMargin() * kTwipsPerPixel); li != 0)
        FBody.append("\\li" + QByteArray::number(li));
    if (const long ri = std::lround(format.rightMargin() * kTwipsPerPixel); ri != 0)
        FBody.append("\\ri" + QByteArray::number(ri));
    if (const long fi = std::lround(format.textIndent() * kTwipsPerPixel); fi != 0)
        FBody.append("\\fi" + QByteArray::number(fi));
    FBody.append(' ');
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        if (!fragment.isValid()) continue;
        const QTextCharFormat charFormat = fragment.charFormat();
        const QString text = fragment.text();
        if (charFormat.isImageFormat()) {
            // One object character per picture.
            for (QChar c : text)
                if (c == QChar::ObjectReplacementCharacter) WritePicture(charFormat.toImageFormat());
        } else {
            WriteRun(charFormat, text);
        }
    }
    FBody.append(end);
}

QByteArray tWriter::Run() {
    WriteFrame(FDocument.rootFrame());
    if (FFonts.isEmpty()) FFonts.append(FDocument.defaultFont().family());

    QByteArray out = "{\\rtf1\\ansi\\ansicpg1251\\deff0\\uc1\n{\\fonttbl";
    for (int i = 0; i < FFonts.size(); ++i) {
        out.append("{\\f" + QByteArray::number(i) + "\\fnil\\fcharset204 ");
        AppendEscaped(out, FFonts[i]);
        out.append(";}");
    }
    out.append("}\n{\\colortbl;");
    for (const QColor& color : FColors)
        out.append("\\red" + QByteArray::number(color.red()) + "\\green" + QByteArray::number(color.green()) +
                   "\\blue" + QByteArray::number(color.blue()) + ';');
    out.append("}\n\\viewkind4\n");
    out.append(FBody);
    out.append("}\n");
    return out;
}

}  // namespace

QByteArray WriteRtf(const QTextDocument& document) {
    return tWriter(document).Run();
}
