// SPDX-License-Identifier: GPL-3.0-or-later
// TRichView: the rich-text view for descriptions and reports (a QTextEdit with our RTF codec).
// User-interface thread only.
#pragma once

#include <QImage>
#include <QString>
#include <QTextCharFormat>
#include <QTextEdit>
#include <atomic>
#include <functional>
#include <memory>

#include "components/Rtf.h"

class QPageLayout;
class QPrinter;
class QTextCursor;
class QTextDocument;

// Prints `document` with the printer's page setup: text wraps to the printable width, pictures
// are scaled down to fit the printable area, pages break between lines. Raises tException when
// the printer cannot start.
void PrintDocument(const QTextDocument& document, QPrinter& printer);
// Shrinks every picture of `document` that is wider than `maxWidth` or taller than `maxHeight`
// (document units; 0 = no height limit), keeping its proportions.
void FitPictures(QTextDocument& document, double maxWidth, double maxHeight = 0);

// The look of the body text of `document`: the font family, size and colour of most of its
// characters (the document's default font when it holds no text), upright, regular weight, plain.
QTextCharFormat BodyCharFormat(const QTextDocument& document);
// Puts `picture`, shown at `shown` (document units), in a paragraph of its own at `cursor` and
// `text` (when not empty; line breaks kept) in a paragraph of body text (BodyCharFormat, a plain
// left-aligned paragraph) after it. A paragraph the cursor stands in is split there, keeping its
// own look on both sides. Returns a cursor at the end of what was inserted; one undo step.
QTextCursor InsertPictureParagraph(QTextCursor cursor, const QImage& picture, const QSizeF& shown,
                                   const QString& text);
// The width a printed page of `layout` gives the text, in document units.
double PrintableWidth(const QPageLayout& layout);

// Larger RTF files are refused before they are read (they would hold the window for seconds).
constexpr qint64 kMaxRtfBytes = 64LL * 1024 * 1024;

// Runs `build` on a new, empty document on a worker thread and returns that document, handed over
// to the calling (window) thread. The window keeps painting meanwhile: past a quarter of a second
// a modal box "Открывается документ..." shows (blocking clicks and keys, so nothing the user does
// can change the window under the caller) and the caller's event loop runs until `build` ends.
// Timers and device events are handled during that wait. What `build` raises is raised here.
// With `cancel`, the box has a button «Отмена» that sets it; `build` should then stop soon (ReadRtf
// does, given the flag in its limits), and the caller gets tRtfCancelled whatever `build` did.
std::unique_ptr<QTextDocument> BuildDocumentAside(const std::function<void(QTextDocument&)>& build,
                                                  std::atomic<bool>* cancel = nullptr);
// ReadRtf on a worker thread (BuildDocumentAside); `cancellable` gives the box its «Отмена» button
// (tRtfCancelled when pressed).
std::unique_ptr<QTextDocument> ReadRtfAside(const QByteArray& rtf, const tRtfLimits& limits = {},
                                            bool cancellable = false);
// Reads an RTF file on a worker thread (BuildDocumentAside, ReadBoundedFile), within the default
// limits. Raises tRtfTooLarge naming the file when it is over kMaxRtfBytes (checked before
// reading) or over the limits, tFileOpenError when it cannot be opened or read, tException when
// it is no RTF.
std::unique_ptr<QTextDocument> LoadRtfFile(const QString& path);

class TRichView : public QTextEdit {
    Q_OBJECT
  public:
    explicit TRichView(QWidget* parent = nullptr);

    // Replaces the content with an RTF file (LoadRtfFile); raises tException when it cannot be read
    // or parsed (the content is then left empty), or tRtfTooLarge when it is too large (the content
    // is then left as it was).
    void LoadFromFile(const QString& path);
    // Shows `document` (read aside) from now on; the view's default font, margin and text options
    // carry over, the old document goes away and the caret goes to the start.
    void SetDocument(std::unique_ptr<QTextDocument> document);
    // Writes RTF atomically; raises tException and keeps an existing file on failure. A view that
    // stands in for an unread document (KeepUnread) writes that document's bytes.
    void SaveToFile(const QString& path) const;
    // The view shows a stand-in for `rtf`, a document whose reading was cancelled: it becomes
    // read-only, and saving it writes `rtf` unchanged rather than the stand-in.
    void KeepUnread(const QByteArray& rtf);
    void Clear();
    // Paragraph alignment and font weight of the text added next.
    void SetParagraphCentered();
    void SetBold(bool on);
    // Appends one paragraph with the current alignment and weight.
    void AddLine(const QString& text);
    // Read-only that still allows selecting and copying.
    void SetReadOnlyCopyable(bool on);
    void CopySelection();
    bool HasSelection() const;
    // Prints the document as one job titled `title` (PrintDocument). A view that stands in for an
    // unread document (KeepUnread) reads and prints that document; tRtfCancelled when the reading
    // is cancelled again.
    void Print(QPrinter& printer, const QString& title) const;
    // Inserts a picture at the caret (replacing a selection). Shown at most as wide as the page,
    // stored at full resolution.
    void InsertImage(const QImage& image);
    // The same for a picture decoded from PNG or JPEG bytes: saving then stores those bytes unchanged.
    void InsertImage(const QImage& image, const QByteArray& sourceData);
    // InsertPictureParagraph at the caret when the user has placed it (CaretPlaced), else at the end
    // of the document. The picture shows at most as wide as the view leaves the text (also once a
    // scroll bar appears) and as `printableWidth` (document units, 0: no such limit). The caret
    // then stands after the text, in view.
    void InsertPicture(const QImage& picture, const QString& text, double printableWidth = 0);
    // Whether the user has put the caret somewhere (clicked into the text or moved the caret with
    // the keys) since the document was shown.
    bool CaretPlaced() const { return FCaretPlaced; }

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    Qt::Alignment FAlignment = Qt::AlignLeft;
    bool FBold = false;
    bool FLineAdded = false;  // AddLine has filled the first paragraph since the last Clear
    bool FCaretPlaced = false;
    QByteArray FUnread;  // the unread document this view stands in for; null for an ordinary view
};
