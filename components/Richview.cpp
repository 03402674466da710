#include "components/Richview.h"

#include <QFile>
#include <QPrinter>
#include <QSaveFile>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>

#include "components/Rtf.h"
#include "foundation/Exceptions.h"

TRichView::TRichView(QWidget* parent) : QTextEdit(parent) {
    setAcceptRichText(true);
}

void TRichView::LoadFromFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        Clear();
        throw tFileOpenError(QString("Не удалось открыть файл \"%1\": %2").arg(path, file.errorString()));
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        Clear();
        throw tException(QString("Не удалось прочитать файл \"%1\": %2").arg(path, file.errorString()));
    }
    try {
        ReadRtf(bytes, *document());
    } catch (...) {
        Clear();
        throw;
    }
    FLineAdded = true;
    moveCursor(QTextCursor::Start);
}

void TRichView::SaveToFile(const QString& path) const {
    const QByteArray rtf = WriteRtf(*document());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw tException(QString("Не удалось создать файл \"%1\": %2").arg(path, file.errorString()));
    if (file.write(rtf) != rtf.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        throw tException(QString("Не удалось записать файл \"%1\": %2").arg(path, reason));
    }
    if (!file.commit())
        throw tException(QString("Не удалось записать файл \"%1\": %2").arg(path, file.errorString()));
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

void TRichView::Print(QPrinter& printer, const QString& title) const {
    printer.setDocName(title);
    document()->print(&printer);
}

void TRichView::InsertImage(const QImage& image) {
    InsertImage(image, QByteArray());
}

void TRichView::InsertImage(const QImage& image, const QByteArray& jpegData) {
    if (image.isNull()) throw tException("Рисунок не содержит изображения.");
    // As wide as the page at most (the view's width when the document has no page size yet).
    double available =
        document()->pageSize().width() > 0 ? document()->pageSize().width() : viewport()->width();
    available -= 2 * document()->documentMargin();
    available = std::max(available, 16.0);
    QSizeF size = image.size();
    if (size.width() > available) size = QSizeF(available, size.height() * available / size.width());
    const QTextImageFormat format = AddDocumentImage(*document(), image, size, jpegData);
    QTextCursor cursor = textCursor();
    cursor.beginEditBlock();
    cursor.removeSelectedText();
    cursor.insertImage(format);
    cursor.endEditBlock();
    setTextCursor(cursor);
}
