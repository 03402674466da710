// SPDX-License-Identifier: GPL-3.0-or-later
#include "components/Richview.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPainter>
#include <QPointer>
#include <QPrinter>
#include <QProgressDialog>
#include <QScreen>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QThread>
#include <algorithm>
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

std::unique_ptr<QTextDocument> BuildDocumentAside(const std::function<void(QTextDocument&)>& build) {
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
        box.setLabelText(QStringLiteral("Открывается документ..."));
        box.setRange(0, 0);
        box.setCancelButton(nullptr);
        box.setWindowModality(Qt::ApplicationModal);
        box.setMinimumDuration(0);
        box.show();
        // The worker may have ended before the connection was made.
        if (!worker->isFinished()) loop.exec();
    }
    worker->wait();
    if (error) std::rethrow_exception(error);
    return result;
}

std::unique_ptr<QTextDocument> ReadRtfAside(const QByteArray& rtf, const tRtfLimits& limits) {
    return BuildDocumentAside([&](QTextDocument& document) { ReadRtf(rtf, document, limits); });
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
            throw tRtfTooLarge(QString("Документ \"%1\" слишком велик: %2").arg(path, e.Message()));
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

void TRichView::SetDocument(std::unique_ptr<QTextDocument> loaded) {
    QPointer<QTextDocument> previous(document());
    loaded->setDefaultFont(previous->defaultFont());
    loaded->setDocumentMargin(previous->documentMargin());
    loaded->setDefaultTextOption(previous->defaultTextOption());
    loaded->setIndentWidth(previous->indentWidth());
    loaded->setUndoRedoEnabled(previous->isUndoRedoEnabled());
    loaded->setModified(false);
    // The view owns the document; one it owned before goes now (one the edit made for itself is
    // deleted by the edit).
    loaded->setParent(this);
    setDocument(loaded.release());
    if (previous && previous->parent() == this) delete previous;
    FLineAdded = true;
    moveCursor(QTextCursor::Start);
}

void TRichView::SaveToFile(const QString& path) const {
    const QByteArray rtf = WriteRtf(*document());
    WriteFileAtomically(path, [&](QIODevice& file) { return file.write(rtf) == rtf.size(); });
}

void TRichView::Clear() {
    clear();
    FAlignment = Qt::AlignLeft;
    FBold = false;
    FLineAdded = false;
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
    if (!painter.begin(&printer)) throw tException("Не удалось начать печать.");
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
    PrintDocument(*document(), printer);
}

void TRichView::InsertImage(const QImage& image) {
    InsertImage(image, QByteArray());
}

void TRichView::InsertImage(const QImage& image, const QByteArray& sourceData) {
    if (image.isNull()) throw tException("Рисунок не содержит изображения.");
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
