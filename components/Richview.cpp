// SPDX-License-Identifier: GPL-3.0-or-later
#include "components/Richview.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QHash>
#include <QPageLayout>
#include <QPainter>
#include <QPointer>
#include <QPrinter>
#include <QProgressDialog>
#include <QScreen>
#include <QStyle>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QThread>
#include <algorithm>
#include <cmath>
#include <exception>
#include <memory>

#include "foundation/Exceptions.h"
#include "foundation/Functions.h"

TRichView::TRichView(QWidget* parent) : QTextEdit(parent) {
    setAcceptRichText(true);
}

namespace {
// A load this quick shows no box: the window only waits as long as for a repaint.
constexpr int kQuietWaitMs = 250;
}  // namespace

std::unique_ptr<QTextDocument> BuildDocumentAside(const std::function<void(QTextDocument&)>& build,
                                                  std::atomic<bool>* cancel) {
    QThread* const home = QThread::currentThread();
    std::unique_ptr<QTextDocument> result;
    std::exception_ptr error;
    std::unique_ptr<QThread> worker(QThread::create([&] {
        auto document = std::make_unique<QTextDocument>();
        try {
            build(*document);
        } catch (...) {
            error = std::current_exception();
        }
        // Only the thread an object lives in may give it away.
        document->moveToThread(home);
        if (!error) result = std::move(document);
    }));
    worker->setObjectName(QStringLiteral("rovelin-document"));
    worker->start();
    if (!worker->wait(QDeadlineTimer(kQuietWaitMs)) &&
        qobject_cast<QApplication*>(QCoreApplication::instance())) {
        QEventLoop loop;
        QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
        QProgressDialog box(QApplication::activeWindow());
        box.setWindowTitle(QApplication::applicationDisplayName());
        box.setLabelText(TRichView::tr("Открывается документ..."));
        box.setRange(0, 0);
        if (cancel) {
            box.setCancelButtonText(TRichView::tr("Отмена"));
            QObject::connect(&box, &QProgressDialog::canceled, &box, [cancel] { cancel->store(true); });
        } else {
            box.setCancelButton(nullptr);
        }
        box.setWindowModality(Qt::ApplicationModal);
        box.setMinimumDuration(0);
        box.show();
        // The worker may have ended before the connection was made.
        if (!worker->isFinished()) loop.exec();
    }
    worker->wait();
    if (cancel && cancel->load()) throw tRtfCancelled();
    if (error) std::rethrow_exception(error);
    return result;
}

std::unique_ptr<QTextDocument> ReadRtfAside(const QByteArray& rtf, const tRtfLimits& limits,
                                            bool cancellable) {
    std::atomic<bool> cancelled{false};
    tRtfLimits checked = limits;
    if (cancellable) checked.Cancel = &cancelled;
    return BuildDocumentAside([&](QTextDocument& document) { ReadRtf(rtf, document, checked); },
                              cancellable ? &cancelled : nullptr);
}

std::unique_ptr<QTextDocument> LoadRtfFile(const QString& path) {
    return BuildDocumentAside([&](QTextDocument& document) {
        QByteArray bytes;
        QString error;
        switch (ReadBoundedFile(path, kMaxRtfBytes, bytes, error)) {
            case tFileRead::TooLarge:
                throw tRtfTooLarge(error);
            case tFileRead::Failed:
                throw tFileOpenError(error);
            case tFileRead::Ok:
                break;
        }
        try {
            ReadRtf(bytes, document);
        } catch (const tRtfTooLarge& e) {
            throw tRtfTooLarge(TRichView::tr("Документ \"%1\" слишком велик: %2").arg(path, e.Message()));
        }
    });
}

void TRichView::LoadFromFile(const QString& path) {
    std::unique_ptr<QTextDocument> loaded;
    try {
        loaded = LoadRtfFile(path);
    } catch (const tRtfTooLarge&) {
        throw;  // refused: the view keeps what it shows
    } catch (...) {
        Clear();
        throw;
    }
    SetDocument(std::move(loaded));
}

namespace {
// `document` takes the view's look: default font, margin, text options, indent.
void TakeLook(QTextDocument& document, const QTextDocument& view) {
    document.setDefaultFont(view.defaultFont());
    document.setDocumentMargin(view.documentMargin());
    document.setDefaultTextOption(view.defaultTextOption());
    document.setIndentWidth(view.indentWidth());
}
}  // namespace

void TRichView::SetDocument(std::unique_ptr<QTextDocument> loaded) {
    QPointer<QTextDocument> previous(document());
    TakeLook(*loaded, *previous);
    loaded->setUndoRedoEnabled(previous->isUndoRedoEnabled());
    loaded->setModified(false);
    // The view owns the document; one it owned before goes now (one the edit made for itself is
    // deleted by the edit).
    loaded->setParent(this);
    setDocument(loaded.release());
    if (previous && previous->parent() == this) delete previous;
    FLineAdded = true;
    FCaretPlaced = false;
    moveCursor(QTextCursor::Start);
}

void TRichView::SaveToFile(const QString& path) const {
    const QByteArray rtf = FUnread.isNull() ? WriteRtf(*document()) : FUnread;
    WriteFileAtomically(path, [&](QIODevice& file) { return file.write(rtf) == rtf.size(); });
}

void TRichView::Clear() {
    clear();
    FAlignment = Qt::AlignLeft;
    FBold = false;
    FLineAdded = false;
    FCaretPlaced = false;
}

void TRichView::SetParagraphCentered() {
    FAlignment = Qt::AlignHCenter;
    setAlignment(Qt::AlignHCenter);
}

void TRichView::SetBold(bool on) {
    FBold = on;
    setFontWeight(on ? QFont::Bold : QFont::Normal);
}

void TRichView::AddLine(const QString& text) {
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    QTextBlockFormat block = cursor.blockFormat();
    block.setAlignment(FAlignment);
    QTextCharFormat chars;
    chars.setFontWeight(FBold ? QFont::Bold : QFont::Normal);
    // An empty document already has one empty paragraph: the first line goes there.
    if (FLineAdded || !document()->isEmpty())
        cursor.insertBlock(block, chars);
    else
        cursor.setBlockFormat(block);
    cursor.setBlockCharFormat(chars);
    cursor.insertText(text, chars);
    FLineAdded = true;
}

void TRichView::KeepUnread(const QByteArray& rtf) {
    FUnread = rtf;
    SetReadOnlyCopyable(true);
}

void TRichView::SetReadOnlyCopyable(bool on) {
    setReadOnly(on);
    setTextInteractionFlags(on ? Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard
                               : Qt::TextEditorInteraction);
}

void TRichView::CopySelection() {
    copy();
}

bool TRichView::HasSelection() const {
    return textCursor().hasSelection();
}

namespace {
// Qt sizes pictures in a document for this resolution and scales them from it to the device
// that lays the document out (the same figure Qt takes).
double LayoutDpi() {
    if (QCoreApplication::testAttribute(Qt::AA_Use96Dpi)) return 96;
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        return qRound(screen->logicalDotsPerInchY());
    return 100;
}
}  // namespace

void FitPictures(QTextDocument& document, double maxWidth, double maxHeight) {
    QTextCursor cursor(&document);
    cursor.beginEditBlock();
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.isValid() || !fragment.charFormat().isImageFormat()) continue;
            QTextImageFormat format = fragment.charFormat().toImageFormat();
            double width = format.width(), height = format.height();
            if (width <= 0 || height <= 0) {
                const QImage image =
                    document.resource(QTextDocument::ImageResource, QUrl(format.name())).value<QImage>();
                if (image.isNull()) continue;
                width = image.width(), height = image.height();
            }
            // One factor for both sides keeps the picture's proportions.
            const double factor = std::min({1.0, maxWidth / width, maxHeight > 0 ? maxHeight / height : 1.0});
            if (factor >= 1.0 && format.width() > 0 && format.height() > 0) continue;
            format.setWidth(width * factor);
            format.setHeight(height * factor);
            cursor.setPosition(fragment.position());
            cursor.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
            cursor.setCharFormat(format);
        }
    }
    cursor.endEditBlock();
}

void PrintDocument(const QTextDocument& source, QPrinter& printer) {
    QPainter painter;
    if (!painter.begin(&printer)) throw tException(TRichView::tr("Не удалось начать печать."));
    // The page setup's printable area, in printer pixels; the painter's origin is its corner.
    const QSizeF page = printer.pageLayout().paintRectPixels(printer.resolution()).size();
    std::unique_ptr<QTextDocument> document(source.clone());
    // A picture never wider or taller than the printable area (in the document's own units);
    // fitted before the layout meets the printer, so the pages are laid out once, as drawn.
    const double toLayout = LayoutDpi() / printer.resolution();
    FitPictures(*document, page.width() * toLayout, page.height() * toLayout);
    document->documentLayout()->setPaintDevice(&printer);
    document->setDocumentMargin(0);
    document->setPageSize(page);
    const int pages = document->pageCount();
    const int first = printer.fromPage() > 0 ? std::min(printer.fromPage(), pages) : 1;
    const int last = printer.toPage() > 0 ? std::min(printer.toPage(), pages) : pages;
    for (int index = first; index <= last; ++index) {
        if (index > first) printer.newPage();
        // The layout breaks pages between lines; each page shows its own slice of it.
        const QRectF slice(0, (index - 1) * page.height(), page.width(), page.height());
        painter.save();
        painter.translate(0, -slice.top());
        painter.setClipRect(slice);
        QAbstractTextDocumentLayout::PaintContext context;
        // Lines that only touch the slice's edges belong to the neighbouring pages.
        context.clip = slice.adjusted(0, 1, 0, -1);
        context.palette.setColor(QPalette::Text, Qt::black);
        document->documentLayout()->draw(&painter, context);
        painter.restore();
    }
    painter.end();
}

void TRichView::Print(QPrinter& printer, const QString& title) const {
    printer.setDocName(title);
    if (FUnread.isNull()) {
        PrintDocument(*document(), printer);
        return;
    }
    // Paper gets the unread document itself, read now, never the stand-in the view shows. The wait
    // box offers «Отмена» again; that cancels the print (tRtfCancelled).
    const std::unique_ptr<QTextDocument> unread = ReadRtfAside(FUnread, kUnlimitedRtf, true);
    TakeLook(*unread, *document());
    PrintDocument(*unread, printer);
}

double PrintableWidth(const QPageLayout& layout) {
    return layout.paintRect(QPageLayout::Millimeter).width() / 25.4 * LayoutDpi();
}

QTextCharFormat BodyCharFormat(const QTextDocument& document) {
    // Characters per look (family, size, colour); headings are few characters, the body many.
    struct tCount {
        qsizetype Characters = 0;
        QTextCharFormat Format;
    };
    QHash<QString, tCount> counts;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QTextCharFormat format = fragment.charFormat();
            if (!fragment.isValid() || format.isImageFormat()) continue;
            const QString key = format.property(QTextFormat::FontFamilies).toStringList().join(u',') + u'|' +
                                QString::number(format.doubleProperty(QTextFormat::FontPointSize)) + u'|' +
                                QString::number(format.intProperty(QTextFormat::FontPixelSize)) + u'|' +
                                (format.hasProperty(QTextFormat::ForegroundBrush)
                                     ? format.foreground().color().name(QColor::HexArgb)
                                     : QString());
            tCount& count = counts[key];
            count.Characters += fragment.length();
            count.Format = format;
        }
    }
    const tCount* most = nullptr;
    for (const tCount& count : counts)
        if (!most || count.Characters > most->Characters) most = &count;
    QTextCharFormat body;
    if (most) {
        for (const int property : {int(QTextFormat::FontFamilies), int(QTextFormat::FontPointSize),
                                   int(QTextFormat::FontPixelSize), int(QTextFormat::ForegroundBrush)})
            if (most->Format.hasProperty(property))
                body.setProperty(property, most->Format.property(property));
    }
    body.setFontWeight(QFont::Normal);
    body.setFontItalic(false);
    body.setFontUnderline(false);
    body.setFontStrikeOut(false);
    body.setVerticalAlignment(QTextCharFormat::AlignNormal);
    return body;
}

QTextCursor InsertPictureParagraph(QTextCursor cursor, const QImage& picture, const QSizeF& shown,
                                   const QString& text) {
    QTextDocument& document = *cursor.document();
    const QTextCharFormat body = BodyCharFormat(document);
    const QTextImageFormat image = AddDocumentImage(document, picture, shown);
    cursor.beginEditBlock();
    cursor.removeSelectedText();
    // A paragraph of its own: the one the cursor stands in is split, and its text after the cursor
    // moves on into a paragraph below; both parts keep the paragraph's look (a heading stays one).
    if (!cursor.atBlockStart()) cursor.insertBlock();
    if (cursor.block().length() > 1) {
        cursor.insertBlock();
        cursor.movePosition(QTextCursor::PreviousBlock);
    }
    // The picture's paragraph and the text's are plain body paragraphs, whatever stood around them.
    cursor.setBlockFormat(QTextBlockFormat());
    cursor.setBlockCharFormat(body);
    cursor.insertImage(image);
    if (!text.isEmpty()) {
        cursor.insertBlock(QTextBlockFormat(), body);
        QString lines = text;
        lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\n', QChar::LineSeparator);
        cursor.insertText(lines, body);
    }
    cursor.endEditBlock();
    return cursor;
}

void TRichView::mousePressEvent(QMouseEvent* event) {
    FCaretPlaced = true;
    QTextEdit::mousePressEvent(event);
}

void TRichView::keyPressEvent(QKeyEvent* event) {
    FCaretPlaced = true;
    QTextEdit::keyPressEvent(event);
}

void TRichView::InsertPicture(const QImage& picture, const QString& text, double printableWidth) {
    if (picture.isNull()) throw tException(tr("Рисунок не содержит изображения."));
    // The text's width in the view: the view less its frame, a vertical scroll bar (which the
    // picture itself may bring) and the document's margins. The widget's own size holds also while
    // its page has never been shown.
    double available = contentsRect().width() -
                       style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this) -
                       2 * document()->documentMargin();
    if (printableWidth > 0) available = std::min(available, printableWidth);
    available = std::max(std::floor(available) - 1, 16.0);
    QSizeF size = picture.size();
    if (size.width() > available) size = QSizeF(available, size.height() * available / size.width());
    QTextCursor cursor = textCursor();
    if (!FCaretPlaced) {
        cursor.clearSelection();
        cursor.movePosition(QTextCursor::End);
    }
    setTextCursor(InsertPictureParagraph(cursor, picture, size, text));
    ensureCursorVisible();
}

void TRichView::InsertImage(const QImage& image) {
    InsertImage(image, QByteArray());
}

void TRichView::InsertImage(const QImage& image, const QByteArray& sourceData) {
    if (image.isNull()) throw tException(tr("Рисунок не содержит изображения."));
    // As wide as the page at most (the view's width when the document has no page size yet).
    double available =
        document()->pageSize().width() > 0 ? document()->pageSize().width() : viewport()->width();
    available -= 2 * document()->documentMargin();
    available = std::max(available, 16.0);
    QSizeF size = image.size();
    if (size.width() > available) size = QSizeF(available, size.height() * available / size.width());
    const QTextImageFormat format = AddDocumentImage(*document(), image, size, sourceData);
    QTextCursor cursor = textCursor();
    cursor.beginEditBlock();
    cursor.removeSelectedText();
    cursor.insertImage(format);
    cursor.endEditBlock();
    setTextCursor(cursor);
}
