// SPDX-License-Identifier: GPL-3.0-or-later
// TRichView: the rich-text view for descriptions and reports (a QTextEdit with our RTF codec).
// User-interface thread only.
#pragma once

#include <QImage>
#include <QString>
#include <QTextEdit>

class QPrinter;
class QTextDocument;

// Prints `document` with the printer's page setup: text wraps to the printable width, pictures
// are scaled down to fit the printable area, pages break between lines. Raises tException when
// the printer cannot start.
void PrintDocument(const QTextDocument& document, QPrinter& printer);
// Shrinks every picture of `document` that is wider than `maxWidth` or taller than `maxHeight`
// (document units; 0 = no height limit), keeping its proportions.
void FitPictures(QTextDocument& document, double maxWidth, double maxHeight = 0);

// Larger RTF files are refused before they are read (they would hold the window for seconds).
constexpr qint64 kMaxRtfBytes = 64LL * 1024 * 1024;

class TRichView : public QTextEdit {
    Q_OBJECT
  public:
    explicit TRichView(QWidget* parent = nullptr);

    // Replaces the content with an RTF file; raises tException when it cannot be read or parsed
    // (the content is then left empty), or when it is larger than kMaxRtfBytes (the content is
    // then left as it was).
    void LoadFromFile(const QString& path);
    // Writes RTF atomically; raises tException and keeps an existing file on failure.
    void SaveToFile(const QString& path) const;
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
    // Prints the document as one job titled `title` (PrintDocument).
    void Print(QPrinter& printer, const QString& title) const;
    // Inserts a picture at the caret (replacing a selection). Shown at most as wide as the page,
    // stored at full resolution.
    void InsertImage(const QImage& image);
    // The same for a picture decoded from JPEG bytes: saving then stores those bytes unchanged.
    void InsertImage(const QImage& image, const QByteArray& jpegData);

  private:
    Qt::Alignment FAlignment = Qt::AlignLeft;
    bool FBold = false;
    bool FLineAdded = false;  // AddLine has filled the first paragraph since the last Clear
};
