// SPDX-License-Identifier: GPL-3.0-or-later
#include "components/Rtf.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextFrame>
#include <QTextTable>
#include <QUrl>

#include "foundation/Exceptions.h"

namespace {

QByteArray Fixture(const QString& name) {
    QFile file(QString(ROVELIN_TEST_DATA) + "/components/" + name);
    if (!file.open(QIODevice::ReadOnly)) ADD_FAILURE() << "missing fixture " << name.toStdString();
    return file.readAll();
}

// The text as stored (line separators and no-break spaces kept), paragraphs joined by \n.
QString Text(const QByteArray& rtf) {
    QTextDocument doc;
    ReadRtf(rtf, doc);
    return doc.toRawText().replace(QChar(QChar::ParagraphSeparator), QChar('\n'));
}

struct tRun {
    QString Text;
    QTextCharFormat Format;
};

// The text runs of the document in order, pictures excluded.
std::vector<tRun> Runs(const QTextDocument& doc) {
    std::vector<tRun> runs;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it)
            if (!it.fragment().charFormat().isImageFormat())
                runs.push_back({it.fragment().text(), it.fragment().charFormat()});
    return runs;
}

const tRun* FindRun(const std::vector<tRun>& runs, const QString& text) {
    for (const tRun& run : runs)
        if (run.Text.contains(text)) return &run;
    return nullptr;
}

std::vector<QTextImageFormat> Images(const QTextDocument& doc) {
    std::vector<QTextImageFormat> images;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().isImageFormat())
                images.push_back(it.fragment().charFormat().toImageFormat());
    return images;
}

QImage ImageOf(const QTextDocument& doc, const QTextImageFormat& format) {
    return doc.resource(QTextDocument::ImageResource, QUrl(format.name())).value<QImage>();
}

QTextBlock BlockContaining(const QTextDocument& doc, const QString& text) {
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        if (b.text().contains(text)) return b;
    return {};
}

// The cells of the document's tables, one "a|b|c" per row (a cell covered by a merge: "^").
QStringList CellTexts(const QTextDocument& doc) {
    QStringList rows;
    for (QTextFrame* frame : doc.rootFrame()->childFrames()) {
        auto* table = qobject_cast<QTextTable*>(frame);
        if (!table) continue;
        for (int r = 0; r < table->rows(); ++r) {
            QStringList cells;
            for (int c = 0; c < table->columns(); ++c) {
                const QTextTableCell cell = table->cellAt(r, c);
                if (cell.row() != r || cell.column() != c) {
                    cells << "^";
                    continue;
                }
                QTextCursor cursor = cell.firstCursorPosition();
                cursor.setPosition(cell.lastCursorPosition().position(), QTextCursor::KeepAnchor);
                cells << cursor.selectedText().replace(QChar::ParagraphSeparator, u'/');
            }
            rows << cells.join(u'|');
        }
    }
    return rows;
}

QByteArray HexOf(const QByteArray& data) {
    return data.toHex();
}

QImage TestImage(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) image.setPixel(x, y, qRgb(x * 7 % 256, y * 13 % 256, (x + y) % 256));
    return image;
}

QByteArray Encode(const QImage& image, const char* format) {
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return data;
}

}  // namespace

// ---- Text, code pages and Unicode ----

TEST(RtfReader, CyrillicHexInDocumentCodePage) {
    EXPECT_EQ(Text("{\\rtf1\\ansi\\ansicpg1251 \\'cf\\'f0\\'e8\\'e2\\'e5\\'f2}"), QString("Привет"));
}

TEST(RtfReader, FontCharsetOverridesDocumentCodePage) {
    const QByteArray rtf =
        "{\\rtf1\\ansi\\ansicpg1252{\\fonttbl{\\f0\\fnil\\fcharset0 Arial;}{\\f1\\fnil\\fcharset204 Arial;}"
        "{\\f2\\fnil\\cpg1251 Times;}}"
        "\\f0 \\'e9 \\f1 \\'e9 \\f2 \\'e9}";
    EXPECT_EQ(Text(rtf), QString::fromUtf8("é й й"));
}

TEST(RtfReader, RawHighBytesUseTheCodePage) {
    QByteArray rtf = "{\\rtf1\\ansi\\ansicpg1251 ";
    rtf += "\xc4\xe0";
    rtf += "}";
    EXPECT_EQ(Text(rtf), QString("Да"));
}

TEST(RtfReader, UnicodeWithSkipCounts) {
    // \uc1 skips one fallback character, \uc2 two, \uc0 none; \'hh counts as one.
    EXPECT_EQ(Text("{\\rtf1\\uc1 \\u1044?\\u1072\\'3f}"), QString("Да"));
    EXPECT_EQ(Text("{\\rtf1\\uc2 \\u1044??x}"), QString("Дx"));
    EXPECT_EQ(Text("{\\rtf1\\uc0 \\u1044 x}"), QString("Дx"));
}

TEST(RtfReader, UnicodeSkipCountIsRestoredAtGroupEnd) {
    EXPECT_EQ(Text("{\\rtf1\\uc1 {\\uc2 \\u1044??}\\u1072?b}"), QString("Даb"));
}

TEST(RtfReader, NegativeUnicodeAndSurrogatePairs) {
    // \u-3980 is U+F074; the emoji U+1F600 arrives as two negative halves.
    EXPECT_EQ(Text("{\\rtf1 \\u-3980?}"), QString(QChar(0xF074)));
    EXPECT_EQ(Text("{\\rtf1 \\u-10179?\\u-8704?}"), QString::fromUtf8("😀"));
    // A lone half is replaced, not kept as broken UTF-16.
    EXPECT_EQ(Text("{\\rtf1 \\u-10179?x}"), QString(QChar(QChar::ReplacementCharacter)) + "x");
}

TEST(RtfReader, SpecialCharactersAndEscapes) {
    EXPECT_EQ(Text("{\\rtf1 a\\tab b\\line c\\~d\\{\\}\\\\ \\emdash\\bullet}"),
              QString("a\tb") + QChar(QChar::LineSeparator) + "c" + QChar(0xA0) + "d{}\\ " + QChar(0x2014) +
                  QChar(0x2022));
}

// ---- Destinations ----

TEST(RtfReader, TablesAndUnknownDestinationsAreNotContent) {
    const QByteArray rtf =
        "{\\rtf1{\\fonttbl{\\f0 Arial;}}{\\colortbl;\\red255\\green0\\blue0;}{\\stylesheet{\\s0 Normal;}}"
        "{\\info{\\title Заголовок}{\\author X}}{\\*\\generator Writer;}{\\*\\unknown {nested} text}"
        "{\\header head}Body}";
    EXPECT_EQ(Text(rtf), QString("Body"));
}

TEST(RtfReader, FieldResultIsShownInstructionIsNot) {
    EXPECT_EQ(Text("{\\rtf1 {\\field{\\*\\fldinst HYPERLINK \"x\"}{\\fldrslt link}}}"), QString("link"));
}

TEST(RtfReader, ListAndTableTextIsKept) {
    const QByteArray rtf =
        "{\\rtf1 {\\listtext 1.\\tab}\\u1055?\\u1077?\\u1088?\\u1074?\\u1099?\\u1081?\\par"
        "\\trowd\\cellx1000\\cellx2000\\intbl A\\cell B\\cell\\row"
        "\\trowd\\intbl \\cell D\\cell\\row}";
    QTextDocument doc;
    ReadRtf(rtf, doc);
    EXPECT_EQ(doc.firstBlock().text(), QString("1.\tПервый"));
    EXPECT_EQ(CellTexts(doc), QStringList({"A|B", "|D"}));
}

// ---- Formatting ----

TEST(RtfReader, CharacterFormats) {
    const QByteArray rtf =
        "{\\rtf1{\\fonttbl{\\f0 Arial;}{\\f1 Times New Roman;}}{\\colortbl;\\red255\\green0\\blue0;}"
        "\\fs24 plain {\\b bold}{\\i italic}{\\ul under\\ulnone  not}{\\fs40 big}{\\cf1 red}{\\f1 times}"
        "{\\b\\i\\plain reset}}";
    QTextDocument doc;
    ReadRtf(rtf, doc);
    const auto runs = Runs(doc);
    ASSERT_TRUE(FindRun(runs, "bold"));
    EXPECT_EQ(FindRun(runs, "bold")->Format.fontWeight(), QFont::Bold);
    EXPECT_EQ(FindRun(runs, "plain")->Format.fontWeight(), QFont::Normal);
    EXPECT_TRUE(FindRun(runs, "italic")->Format.fontItalic());
    EXPECT_TRUE(FindRun(runs, "under")->Format.fontUnderline());
    EXPECT_FALSE(FindRun(runs, "not")->Format.fontUnderline());
    EXPECT_EQ(FindRun(runs, "big")->Format.fontPointSize(), 20);
    EXPECT_EQ(FindRun(runs, "plain")->Format.fontPointSize(), 12);
    EXPECT_EQ(FindRun(runs, "red")->Format.foreground().color(), QColor(255, 0, 0));
    EXPECT_EQ(FindRun(runs, "times")->Format.fontFamilies().toStringList().value(0), "Times New Roman");
    EXPECT_EQ(FindRun(runs, "plain")->Format.fontFamilies().toStringList().value(0), "Arial");
    EXPECT_EQ(FindRun(runs, "reset")->Format.fontWeight(), QFont::Normal);
    EXPECT_FALSE(FindRun(runs, "reset")->Format.fontItalic());
}

TEST(RtfReader, ParagraphAlignment) {
    QTextDocument doc;
    ReadRtf("{\\rtf1\\pard\\qc Centre\\par\\pard\\qr Right\\par\\qj Just\\par\\pard Left\\par}", doc);
    ASSERT_EQ(doc.blockCount(), 4);  // the final \par closes the last paragraph
    EXPECT_EQ(BlockContaining(doc, "Centre").blockFormat().alignment(), Qt::AlignHCenter);
    EXPECT_EQ(BlockContaining(doc, "Right").blockFormat().alignment(), Qt::AlignRight);
    EXPECT_EQ(BlockContaining(doc, "Just").blockFormat().alignment(), Qt::AlignJustify);
    EXPECT_EQ(BlockContaining(doc, "Left").blockFormat().alignment(), Qt::AlignLeft);
}

// ---- Pictures ----

TEST(RtfReader, PngPictureWithGoalSize) {
    const QImage image = TestImage(30, 20);
    const QByteArray rtf = "{\\rtf1 a{\\pict\\pngblip\\picw30\\pich20\\picwgoal900\\pichgoal600 " +
                           HexOf(Encode(image, "PNG")) + "}b}";
    QTextDocument doc;
    ReadRtf(rtf, doc);
    const auto images = Images(doc);
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0].width(), 60);  // 900 twips at 96 dpi
    EXPECT_EQ(images[0].height(), 40);
    EXPECT_EQ(ImageOf(doc, images[0]).convertToFormat(QImage::Format_RGB32), image);
}

TEST(RtfReader, ScaledPictureAndBinaryData) {
    const QByteArray png = Encode(TestImage(10, 10), "PNG");
    const QByteArray rtf = "{\\rtf1{\\pict\\pngblip\\picscalex50\\picscaley200\\bin" +
                           QByteArray::number(png.size()) + " " + png + "}}";
    QTextDocument doc;
    ReadRtf(rtf, doc);
    const auto images = Images(doc);
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0].width(), 5);
    EXPECT_EQ(images[0].height(), 20);
}

TEST(RtfReader, WrongBlipWordIsDetectedFromData) {
    const QByteArray rtf = "{\\rtf1{\\pict\\jpegblip " + HexOf(Encode(TestImage(8, 8), "PNG")) + "}" +
                           "{\\pict\\pngblip " + HexOf(Encode(TestImage(8, 8), "JPEG")) + "}}";
    QTextDocument doc;
    ReadRtf(rtf, doc);
    EXPECT_EQ(Images(doc).size(), 2u);
}

TEST(RtfReader, DeviceIndependentBitmap) {
    // A BMP file without its 14-byte file header is what \dibitmap carries.
    const QByteArray dib = Encode(TestImage(6, 4), "BMP").mid(14);
    QTextDocument doc;
    ReadRtf("{\\rtf1{\\pict\\dibitmap0\\picw6\\pich4 " + HexOf(dib) + "}}", doc);
    const auto images = Images(doc);
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(ImageOf(doc, images[0]).convertToFormat(QImage::Format_RGB32), TestImage(6, 4));
}

TEST(RtfReader, ShapePictureShownOnceNonShapeFallbackSkipped) {
    const QByteArray hex = HexOf(Encode(TestImage(4, 4), "PNG"));
    const QByteArray rtf =
        "{\\rtf1 {\\*\\shppict{\\pict\\pngblip " + hex +
        "}}{\\nonshppict{\\pict\\wmetafile8 0100090000}}"
        "{\\shp{\\*\\shpinst{\\sp{\\sn shapeType}{\\sv 75}}{\\sp{\\sn pib}{\\sv {\\pict\\pngblip " +
        hex + "}}}}{\\shprslt{\\pict\\pngblip " + hex + "}}}}";
    QTextDocument doc;
    ReadRtf(rtf, doc);
    EXPECT_EQ(Images(doc).size(), 2u);
    EXPECT_FALSE(doc.toPlainText().contains("75"));
}

TEST(RtfReader, PicturesKeepTheirBytesForSaving) {
    const QByteArray jpeg = Encode(TestImage(16, 16), "JPEG");
    // Stored uncompressed: encoding the picture again would give other bytes.
    QByteArray png;
    {
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        TestImage(16, 16).save(&buffer, "PNG", 100);
    }
    ASSERT_NE(png, Encode(TestImage(16, 16), "PNG"));
    QTextDocument doc;
    ReadRtf("{\\rtf1{\\pict\\jpegblip " + HexOf(jpeg) + "}{\\pict\\pngblip " + HexOf(png) + "}}", doc);
    const QByteArray written = WriteRtf(doc);
    EXPECT_TRUE(written.contains("\\jpegblip"));
    EXPECT_TRUE(written.contains("\\pngblip"));
    const QByteArray hex = QByteArray(written).replace("\n", "");
    EXPECT_TRUE(hex.contains(HexOf(jpeg)));
    EXPECT_TRUE(hex.contains(HexOf(png)));
}

// ---- Bad input: loads what it can or raises, never crashes or hangs ----

TEST(RtfBadInput, DocumentsOverTheLimitsAreRefusedAtTheLimit) {
    const tRtfLimits limits{1000, 100};
    const QByteArray line = "\\'c2\\'ee\\'e4\\'e0 ";  // 5 characters
    QTextDocument doc;
    // Up to the limits the document is whole; the document's own final paragraph end counts.
    ReadRtf("{\\rtf1\\ansicpg1251 " + line.repeated(199) + "}", doc, limits);
    EXPECT_EQ(doc.characterCount(), 996);
    try {
        ReadRtf("{\\rtf1\\ansicpg1251 " + line.repeated(200) + "}", doc, limits);
        FAIL() << "1001 characters";
    } catch (const tRtfTooLarge& e) {
        EXPECT_TRUE(e.Message().contains(QString("1").append(QChar(0xA0)).append("000")))
            << e.Message().toStdString();
        EXPECT_TRUE(e.Message().contains("знаков"));
    }
    // Empty paragraphs cost the layout most: counted on their own.
    ReadRtf("{\\rtf1 " + QByteArray("\\par ").repeated(99) + "}", doc, limits);
    EXPECT_EQ(doc.blockCount(), 99);
    try {
        ReadRtf("{\\rtf1 " + QByteArray("\\par ").repeated(101) + "x}", doc, limits);
        FAIL() << "102 paragraphs";
    } catch (const tRtfTooLarge& e) {
        EXPECT_TRUE(e.Message().contains("абзацев"));
    }
    // Table cells are paragraphs too.
    const QByteArray row = "\\trowd\\cellx100\\cellx200\\intbl a\\cell b\\cell\\row ";
    EXPECT_THROW(ReadRtf("{\\rtf1 " + row.repeated(60) + "}", doc, limits), tRtfTooLarge);
    // The program's own documents are read whatever their size.
    ReadRtf("{\\rtf1 " + QByteArray("\\par ").repeated(110'000) + "}", doc, kUnlimitedRtf);
    EXPECT_GT(doc.blockCount(), tRtfLimits().Paragraphs);
}

TEST(RtfBadInput, EmptyAndForeignFilesRaise) {
    QTextDocument doc;
    EXPECT_THROW(ReadRtf(QByteArray(), doc), tException);
    EXPECT_THROW(ReadRtf("plain text", doc), tException);
    EXPECT_THROW(ReadRtf("{\\html}", doc), tException);
}

TEST(RtfBadInput, TruncatedDocumentKeepsTheTextRead) {
    EXPECT_EQ(Text("{\\rtf1 {\\b Hello} wor"), QString("Hello wor"));
    EXPECT_EQ(Text("{\\rtf1 ab\\"), QString("ab"));
    EXPECT_EQ(Text("{\\rtf1 ab\\'c"), QString("ab"));  // half an escape: a control code, dropped
    EXPECT_NO_THROW(Text("{\\rtf1 {\\pict\\pngblip 89504e47"));
}

TEST(RtfBadInput, UnbalancedBracesEndAtTheDocumentGroup) {
    EXPECT_EQ(Text("{\\rtf1 a}}} after"), QString("a"));
    EXPECT_EQ(Text("{\\rtf1 {{{a"), QString("a"));
}

TEST(RtfBadInput, HundredThousandNestedGroups) {
    const int n = 100000;
    const QByteArray rtf = "{\\rtf1 a" + QByteArray(n, '{') + "deep" + QByteArray(n, '}') + "b}";
    // Groups beyond the nesting limit are dropped whole; the text around them survives.
    EXPECT_EQ(Text(rtf), QString("ab"));
    EXPECT_EQ(Text("{\\rtf1 " + QByteArray(n, '{')), QString());
}

TEST(RtfBadInput, BinBeyondTheEndAndNegative) {
    EXPECT_EQ(Text("{\\rtf1 a{\\pict\\bin999999999 xyz}}"), QString("a"));
    EXPECT_EQ(Text("{\\rtf1 a\\bin-5 b}"), QString("ab"));
    // \bin data may hold braces; they are not groups.
    EXPECT_EQ(Text("{\\rtf1 {\\pict\\bin3 }}}}x}"), QString("x"));
}

TEST(RtfBadInput, InvalidHexIsDropped) {
    EXPECT_EQ(Text("{\\rtf1 a\\'zzb}"), QString("azzb"));
    EXPECT_NO_THROW(Text("{\\rtf1 {\\pict\\pngblip xx89zz50--}}"));
}

TEST(RtfBadInput, UndecodablePicturesAreLeftOut) {
    QTextDocument doc;
    ReadRtf(
        "{\\rtf1 a{\\pict\\pngblip 89504e470d0a1a0a0000}{\\pict\\wmetafile8 d7cdc69a0000}"
        "{\\pict\\jpegblip ffd8ffe000}{\\pict\\wbitmap0\\picw100000\\pich100000\\wbmbitspixel1 00}b}",
        doc);
    EXPECT_TRUE(Images(doc).empty());
    EXPECT_EQ(doc.toPlainText(), QString("ab"));
}

TEST(RtfBadInput, HugePictureIsRefused) {
    // A PNG header claiming 20000 x 20000 pixels: refused before anything is allocated.
    QByteArray png = Encode(TestImage(2, 2), "PNG");
    png[16] = 0, png[17] = 0, png[18] = char(0x4E), png[19] = char(0x20);
    png[20] = 0, png[21] = 0, png[22] = char(0x4E), png[23] = char(0x20);
    QTextDocument doc;
    ReadRtf("{\\rtf1{\\pict\\pngblip " + HexOf(png) + "}}", doc);
    EXPECT_TRUE(Images(doc).empty());
}

TEST(RtfBadInput, HugeNumbersAreClamped) {
    QTextDocument doc;
    ReadRtf(
        "{\\rtf1{\\colortbl;\\red99999\\green-4\\blue12;}\\fs99999999999999 a\\fs-5 b\\cf99999 c"
        "\\f2147483647 d\\uc99999999 \\u99999999?e\\picw99999999999 f\\li-999999999 g}",
        doc);
    EXPECT_TRUE(doc.toPlainText().startsWith("abcd"));
    const auto runs = Runs(doc);
    EXPECT_LE(FindRun(runs, "a")->Format.fontPointSize(), 819);
    EXPECT_EQ(FindRun(runs, "b")->Format.fontPointSize(), 12);
    EXPECT_FALSE(FindRun(runs, "c")->Format.hasProperty(QTextFormat::ForegroundBrush));
}

TEST(RtfBadInput, ReloadReplacesThePreviousContent) {
    QTextDocument doc;
    ReadRtf("{\\rtf1 first}", doc);
    ReadRtf("{\\rtf1 second}", doc);
    EXPECT_EQ(doc.toPlainText(), QString("second"));
}

// ---- Writer ----

TEST(RtfWriter, HeaderAndCodePage) {
    QTextDocument doc;
    doc.setPlainText(QString::fromUtf8("Вода ё € αβ 😀 {x}\\"));
    const QByteArray rtf = WriteRtf(doc);
    EXPECT_TRUE(rtf.startsWith("{\\rtf1\\ansi\\ansicpg1251\\deff0"));
    EXPECT_TRUE(rtf.contains("\\fcharset204"));
    EXPECT_TRUE(rtf.contains("\\'c2\\'ee\\'e4\\'e0"));  // Вода
    EXPECT_TRUE(rtf.contains("\\'88"));                 // € is in 1251
    EXPECT_TRUE(rtf.contains("\\u945?\\u946?"));
    EXPECT_TRUE(rtf.contains("\\u-10179?\\u-8704?"));
    EXPECT_TRUE(rtf.contains("\\{x\\}\\\\"));
    for (char c : rtf) ASSERT_LT(static_cast<unsigned char>(c), 0x80) << "7-bit output";
}

TEST(RtfRoundTrip, TextFormatsAndAlignment) {
    QTextDocument doc;
    QTextCursor cursor(&doc);
    QTextBlockFormat centre;
    centre.setAlignment(Qt::AlignHCenter);
    cursor.setBlockFormat(centre);
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    bold.setFontPointSize(18);
    bold.setFontFamilies({"Arial"});
    cursor.insertText(QString("Заголовок"), bold);
    QTextBlockFormat right;
    right.setAlignment(Qt::AlignRight);
    cursor.insertBlock(right);
    QTextCharFormat fancy;
    fancy.setFontItalic(true);
    fancy.setFontUnderline(true);
    fancy.setForeground(QColor(0, 128, 255));
    fancy.setFontPointSize(10);
    cursor.insertText(QString::fromUtf8("курсив αβ 😀\tтаб"), fancy);
    QTextBlockFormat justify;
    justify.setAlignment(Qt::AlignJustify);
    cursor.insertBlock(justify);
    cursor.insertText("last", QTextCharFormat());
    cursor.insertBlock(QTextBlockFormat());  // an empty last paragraph survives too

    QTextDocument back;
    ReadRtf(WriteRtf(doc), back);
    EXPECT_EQ(back.toPlainText(), doc.toPlainText());
    ASSERT_EQ(back.blockCount(), doc.blockCount());
    for (QTextBlock a = doc.begin(), b = back.begin(); a.isValid(); a = a.next(), b = b.next())
        EXPECT_EQ(a.blockFormat().alignment() & Qt::AlignHorizontal_Mask,
                  b.blockFormat().alignment() & Qt::AlignHorizontal_Mask)
            << a.text().toStdString();
    const auto runs = Runs(back);
    const tRun* title = FindRun(runs, "Заголовок");
    ASSERT_TRUE(title);
    EXPECT_EQ(title->Format.fontWeight(), QFont::Bold);
    EXPECT_EQ(title->Format.fontPointSize(), 18);
    EXPECT_EQ(title->Format.fontFamilies().toStringList().value(0), "Arial");
    const tRun* italic = FindRun(runs, "курсив");
    ASSERT_TRUE(italic);
    EXPECT_TRUE(italic->Format.fontItalic());
    EXPECT_TRUE(italic->Format.fontUnderline());
    EXPECT_EQ(italic->Format.foreground().color(), QColor(0, 128, 255));
    EXPECT_EQ(italic->Format.fontPointSize(), 10);
    EXPECT_NE(FindRun(runs, "last")->Format.fontWeight(), QFont::Bold);
}

TEST(RtfRoundTrip, PicturesArePixelIdentical) {
    QTextDocument doc;
    QTextCursor cursor(&doc);
    const QImage png = TestImage(37, 21);
    cursor.insertText("a");
    cursor.insertImage(AddDocumentImage(doc, png, QSizeF(74, 42)));
    cursor.insertText("b");
    const QByteArray jpeg = Encode(TestImage(20, 20), "JPEG");
    cursor.insertImage(AddDocumentImage(doc, QImage::fromData(jpeg), QSizeF(), jpeg));

    const QByteArray rtf = WriteRtf(doc);
    EXPECT_TRUE(rtf.contains("\\pngblip"));
    EXPECT_TRUE(rtf.contains("\\jpegblip"));
    QTextDocument back;
    ReadRtf(rtf, back);
    const auto images = Images(back);
    ASSERT_EQ(images.size(), 2u);
    EXPECT_EQ(ImageOf(back, images[0]).convertToFormat(QImage::Format_RGB32), png);
    EXPECT_EQ(images[0].width(), 74);
    EXPECT_EQ(images[0].height(), 42);
    EXPECT_EQ(ImageOf(back, images[1]).size(), QSize(20, 20));
    EXPECT_EQ(back.toPlainText().remove(QChar::ObjectReplacementCharacter), QString("ab"));
    // Saving again gives the same bytes for the JPEG (no re-encoding).
    EXPECT_TRUE(WriteRtf(back).replace("\n", "").contains(HexOf(jpeg)));
}

// ---- Documents written by LibreOffice ----

TEST(RtfLibreOffice, LessonDocument) {
    QTextDocument doc;
    ReadRtf(Fixture("lesson_libreoffice.rtf"), doc);
    const QString text = doc.toPlainText();
    EXPECT_TRUE(text.contains("Наблюдение за температурой воды"));
    EXPECT_EQ(CellTexts(doc).value(0), QString("Время|Температура"));
    EXPECT_TRUE(text.contains("Первый пункт"));
    EXPECT_TRUE(text.contains("Налить воду"));
    EXPECT_FALSE(text.contains("Writer")) << "no generator or style names in the text";

    EXPECT_EQ(BlockContaining(doc, "Наблюдение").blockFormat().alignment(), Qt::AlignHCenter);
    EXPECT_EQ(BlockContaining(doc, "Красный").blockFormat().alignment(), Qt::AlignRight);
    const auto runs = Runs(doc);
    ASSERT_TRUE(FindRun(runs, "жирный"));
    EXPECT_EQ(FindRun(runs, "жирный")->Format.fontWeight(), QFont::Bold);
    EXPECT_TRUE(FindRun(runs, "курсив")->Format.fontItalic());
    EXPECT_TRUE(FindRun(runs, "подчёркнутый")->Format.fontUnderline());
    EXPECT_EQ(FindRun(runs, "Красный")->Format.foreground().color(), QColor(255, 0, 0));
    EXPECT_EQ(FindRun(runs, "Наблюдение")->Format.fontPointSize(), 18);
    EXPECT_EQ(FindRun(runs, "Обычный")->Format.fontPointSize(), 12);

    // Each picture once (the metafile fallbacks are skipped), at its own pixels.
    const auto images = Images(doc);
    ASSERT_EQ(images.size(), 2u);
    QImage expectedPng(QString(ROVELIN_TEST_DATA) + "/components/stripes.png");
    QImage expectedJpeg(QString(ROVELIN_TEST_DATA) + "/components/grad.jpg");
    EXPECT_EQ(ImageOf(doc, images[0]).size(), expectedJpeg.size());
    EXPECT_EQ(ImageOf(doc, images[1]).convertToFormat(QImage::Format_RGB32),
              expectedPng.convertToFormat(QImage::Format_RGB32));
}

TEST(RtfLibreOffice, CharactersOutsideTheCodePage) {
    EXPECT_EQ(Text(Fixture("unicode_libreoffice.rtf")),
              QString::fromUtf8("Греческий: αβγ ΔΩ; евро: €; эмодзи: 😀; иероглифы: 水; ё Ё №"));
}

// Our own output as LibreOffice read it: its text conversion and its re-export.
TEST(RtfLibreOffice, ReadsOurOutput) {
    QTextDocument ours;
    ReadRtf(Fixture("written_by_rovelin.rtf"), ours);
    QString libreText = QString::fromUtf8(Fixture("written_by_rovelin_libreoffice.txt"));
    libreText.remove(QChar(0xFEFF));
    QString ourText = ours.toPlainText().remove(QChar::ObjectReplacementCharacter);
    EXPECT_EQ(libreText.trimmed().replace("\r\n", "\n"), ourText.trimmed());

    QTextDocument resaved;
    ReadRtf(Fixture("written_by_rovelin_resaved_by_libreoffice.rtf"), resaved);
    EXPECT_EQ(resaved.toPlainText().remove(QChar::ObjectReplacementCharacter).trimmed(), ourText.trimmed());
    EXPECT_EQ(BlockContaining(resaved, "Отчёт").blockFormat().alignment(), Qt::AlignHCenter);
    EXPECT_EQ(BlockContaining(resaved, "Красный").blockFormat().alignment(), Qt::AlignRight);
    const auto runs = Runs(resaved);
    EXPECT_EQ(FindRun(runs, "Отчёт")->Format.fontWeight(), QFont::Bold);
    EXPECT_EQ(FindRun(runs, "Красный")->Format.foreground().color(), QColor(255, 0, 0));
    const auto images = Images(resaved);
    ASSERT_EQ(images.size(), 2u);
    QImage png(QString(ROVELIN_TEST_DATA) + "/components/stripes.png");
    EXPECT_EQ(ImageOf(resaved, images[0]).convertToFormat(QImage::Format_RGB32),
              png.convertToFormat(QImage::Format_RGB32));
    EXPECT_EQ(images[0].width(), 80);
    EXPECT_EQ(ImageOf(resaved, images[1]).size(), QSize(48, 32));
}

// ---- Tables ----

TEST(RtfTables, LibreOfficeTableBecomesATableThePupilCanFillIn) {
    QTextDocument doc;
    ReadRtf(Fixture("table_libreoffice.rtf"), doc);
    EXPECT_EQ(CellTexts(doc), QStringList({"Время, с|Температура, °C|Примечание", "10|85,5|кипение"}));
    EXPECT_EQ(doc.firstBlock().text(), QString("Результаты измерений"));
    EXPECT_EQ(doc.lastBlock().text(), QString("Вывод:")) << "the paragraph after the table is outside it";
    auto* table = qobject_cast<QTextTable*>(doc.rootFrame()->childFrames().value(0));
    ASSERT_TRUE(table);
    EXPECT_GT(table->format().border(), 0);
    // The columns keep LibreOffice's widths (1235, 2241, 1776 twips).
    const auto widths = table->format().columnWidthConstraints();
    ASSERT_EQ(widths.size(), 3);
    EXPECT_NEAR(widths[1].rawValue(), 2241 / 15.0, 0.5);

    // A value typed into a cell is saved in that cell.
    QTextCursor cursor = table->cellAt(1, 2).lastCursorPosition();
    cursor.insertText(", пузыри");
    table->appendRows(1);
    table->cellAt(2, 1).firstCursorPosition().insertText("70");
    QTextDocument back;
    ReadRtf(WriteRtf(doc), back);
    EXPECT_EQ(CellTexts(back),
              QStringList({"Время, с|Температура, °C|Примечание", "10|85,5|кипение, пузыри", "|70|"}));
    EXPECT_EQ(back.lastBlock().text(), QString("Вывод:"));
}

TEST(RtfTables, MergedCellsAndSeveralParagraphsSurviveARoundTrip) {
    // Row 1: a heading over two columns (\clmgf/\clmrg); column 0 merged over rows 2 and 3.
    const QByteArray rtf =
        "{\\rtf1\\ansi "
        "\\trowd\\clmgf\\clbrdrt\\brdrs\\cellx2000\\clmrg\\cellx4000\\cellx6000"
        "\\pard\\intbl Trial\\cell\\cell C\\cell\\row"
        "\\trowd\\clvmgf\\cellx2000\\cellx4000\\cellx6000"
        "\\pard\\intbl Water\\par cold\\cell 1\\cell 2\\cell\\row"
        "\\trowd\\clvmrg\\cellx2000\\cellx4000\\cellx6000"
        "\\pard\\intbl\\cell 3\\cell 4\\cell\\row"
        "\\pard After\\par}";
    QTextDocument doc;
    ReadRtf(rtf, doc);
    const QStringList expected{"Trial|^|C", "Water/cold|1|2", "^|3|4"};
    EXPECT_EQ(CellTexts(doc), expected);
    QTextDocument back;
    ReadRtf(WriteRtf(doc), back);
    EXPECT_EQ(CellTexts(back), expected);
    EXPECT_EQ(back.lastBlock().text(), QString("After"));

    // A row whose cells span the first row's columns by their edges (as Word writes merged cells).
    QTextDocument word;
    ReadRtf(
        "{\\rtf1 \\trowd\\cellx1000\\cellx2000\\cellx3000\\intbl a\\cell b\\cell c\\cell\\row"
        "\\trowd\\cellx2000\\cellx3000\\intbl ab\\cell c\\cell\\row}",
        word);
    EXPECT_EQ(CellTexts(word), QStringList({"a|b|c", "ab|^|c"}));
}

TEST(RtfTables, ALongTableKeepsItsCellsMergesAndFormatsInPlace) {
    // 3,000 rows: column 0 merged down over all of them, the first row joined sideways, a bold word
    // and a centred second paragraph in the last row; cells merged away that hold text give it to
    // the cell they joined (sideways after a blank, downwards as a paragraph).
    QByteArray rtf =
        "{\\rtf1\\ansi \\trowd\\clvmgf\\cellx1000\\cellx2000\\clmrg\\cellx3000"
        "\\intbl top\\cell x\\cell y\\cell\\row ";
    for (int r = 1; r < 3000; ++r) {
        rtf += "\\trowd\\clvmrg\\cellx1000\\cellx2000\\cellx3000\\intbl";
        rtf += r == 1 ? " under\\cell " : "\\cell ";
        rtf += QByteArray::number(r) + "\\cell ";
        rtf += r == 2999 ? "{\\b end}\\par\\qc centre\\cell\\row " : "c\\cell\\row ";
    }
    rtf += "\\pard After\\par}";
    QTextDocument doc;
    ReadRtf(rtf, doc, kUnlimitedRtf);
    auto* table = qobject_cast<QTextTable*>(doc.rootFrame()->childFrames().value(0));
    ASSERT_TRUE(table);
    EXPECT_EQ(table->rows(), 3000);
    EXPECT_EQ(table->columns(), 3);
    EXPECT_EQ(table->cellAt(0, 0).rowSpan(), 3000);
    EXPECT_EQ(table->cellAt(0, 1).columnSpan(), 2);
    const QStringList cells = CellTexts(doc);
    ASSERT_EQ(cells.size(), 3000);
    EXPECT_EQ(cells[0], QString("top/under|x y|^"));
    EXPECT_EQ(cells[1], QString("^|1|c"));
    EXPECT_EQ(cells[2999], QString("^|2999|end/centre"));
    const QTextTableCell last = table->cellAt(2999, 2);
    const QTextBlock first = last.firstCursorPosition().block();
    EXPECT_EQ(first.begin().fragment().charFormat().fontWeight(), QFont::Bold);
    EXPECT_EQ(first.next().blockFormat().alignment(), Qt::AlignHCenter);
    EXPECT_EQ(first.blockFormat().alignment(), Qt::AlignLeft);
    EXPECT_EQ(doc.lastBlock().text(), QString("After"));
}

TEST(RtfBadInput, ReadingCanBeCancelledFromAnotherThread) {
    std::atomic<bool> cancel{true};
    tRtfLimits limits = kUnlimitedRtf;
    limits.Cancel = &cancel;
    QTextDocument doc;
    EXPECT_THROW(ReadRtf("{\\rtf1 " + QByteArray("word \\par ").repeated(100'000) + "}", doc, limits),
                 tRtfCancelled);
    // Also in the middle of a table, and in a long stretch that adds nothing (a picture's data).
    const QByteArray row = "\\trowd\\cellx100\\intbl a\\cell\\row ";
    EXPECT_THROW(ReadRtf("{\\rtf1 " + row.repeated(20'000) + "}", doc, limits), tRtfCancelled);
    EXPECT_THROW(
        ReadRtf("{\\rtf1 {\\pict\\pngblip " + QByteArray("00").repeated(300'000) + "}}", doc, limits),
        tRtfCancelled);
    cancel = false;
    ReadRtf("{\\rtf1 " + row.repeated(100) + "}", doc, limits);
    EXPECT_EQ(CellTexts(doc).size(), 100);
}

TEST(RtfTables, OurTableReadsBackInLibreOfficeWithTheSameCells) {
    const QString soffice = QStandardPaths::findExecutable("soffice");
    if (soffice.isEmpty()) GTEST_SKIP() << "LibreOffice (soffice) is not installed";
    QTextDocument doc;
    ReadRtf(Fixture("table_libreoffice.rtf"), doc);
    auto* table = qobject_cast<QTextTable*>(doc.rootFrame()->childFrames().value(0));
    ASSERT_TRUE(table);
    table->cellAt(1, 2).lastCursorPosition().insertText(" (пузыри)");
    QTemporaryDir dir;
    const QString rtfPath = dir.filePath("saved.rtf");
    {
        QFile file(rtfPath);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(WriteRtf(doc));
    }
    // LibreOffice opens our file and writes it as HTML; its table cells are what it read.
    QProcess process;
    process.setWorkingDirectory(dir.path());
    process.start(soffice, {"-env:UserInstallation=file://" + dir.filePath("profile"), "--headless",
                            "--convert-to", "html:XHTML Writer File:UTF8", "--outdir", dir.path(), rtfPath});
    ASSERT_TRUE(process.waitForFinished(180000));
    QFile html(dir.filePath("saved.html"));
    ASSERT_TRUE(html.open(QIODevice::ReadOnly)) << process.readAllStandardError().toStdString();
    const QString text = QString::fromUtf8(html.readAll());
    QStringList rows;
    const QRegularExpression rowRe("<tr[^>]*>(.*?)</tr>", QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpression cellRe("<td[^>]*>(.*?)</td>", QRegularExpression::DotMatchesEverythingOption);
    for (auto r = rowRe.globalMatch(text); r.hasNext();) {
        QStringList cells;
        const QString row = r.next().captured(1);
        for (auto c = cellRe.globalMatch(row); c.hasNext();)
            cells << c.next().captured(1).remove(QRegularExpression("<[^>]*>")).simplified();
        rows << cells.join(u'|');
    }
    EXPECT_EQ(rows, QStringList({"Время, с|Температура, °C|Примечание", "10|85,5|кипение (пузыри)"}));
}
