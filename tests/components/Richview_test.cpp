// SPDX-License-Identifier: GPL-3.0-or-later
#include "components/Richview.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QPointer>
#include <QPrinter>
#include <QProgressDialog>
#include <QPushButton>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextFragment>
#include <QThread>
#include <QTimer>
#include <QUrl>

#include "components/Rtf.h"
#include "foundation/Exceptions.h"
#include "foundation/Functions.h"

namespace {

void WriteFile(const QString& path, const QByteArray& data) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(data);
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QTextImageFormat FirstImage(const QTextDocument& doc) {
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().isImageFormat()) return it.fragment().charFormat().toImageFormat();
    return {};
}

}  // namespace

// ---- Files ----

TEST(RichView, LoadAndSaveRoundTrip) {
    QTemporaryDir dir;
    const QString in = dir.filePath("descr.rtf");
    WriteFile(in, "{\\rtf1\\ansi\\ansicpg1251 \\qc {\\b \\'c2\\'ee\\'e4\\'e0}\\par}");
    TRichView view;
    view.LoadFromFile(in);
    EXPECT_EQ(view.toPlainText(), QString("Вода"));
    const QString out = dir.filePath("copy.rtf");
    view.SaveToFile(out);
    TRichView again;
    again.LoadFromFile(out);
    EXPECT_EQ(again.toPlainText(), QString("Вода"));
    EXPECT_EQ(again.document()->begin().blockFormat().alignment(), Qt::AlignHCenter);
}

TEST(RichView, LoadFailuresRaiseAndLeaveTheViewEmpty) {
    QTemporaryDir dir;
    TRichView view;
    view.setPlainText("old");
    EXPECT_THROW(view.LoadFromFile(dir.filePath("missing.rtf")), tException);
    EXPECT_TRUE(view.document()->isEmpty());

    view.setPlainText("old");
    WriteFile(dir.filePath("empty.rtf"), QByteArray());
    try {
        view.LoadFromFile(dir.filePath("empty.rtf"));
        FAIL() << "a 0-byte file is no document";
    } catch (const tException& e) {
        EXPECT_EQ(e.Message(), QString("Файл не является документом RTF."));
    }
    EXPECT_TRUE(view.document()->isEmpty());
}

TEST(RichView, AnOversizedDocumentIsRefusedUnreadAndTheViewKeepsItsText) {
    QTemporaryDir dir;
    const QString path = dir.filePath("huge.rtf");
    {
        // A sparse file: its size is over the limit without 64 MB of disk.
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("{\\rtf1 ");
        ASSERT_TRUE(file.resize(kMaxRtfBytes + 1));
    }
    TRichView view;
    view.setPlainText("old");
    try {
        view.LoadFromFile(path);
        FAIL() << "over the limit";
    } catch (const tException& e) {
        EXPECT_TRUE(e.Message().contains(path)) << e.Message().toStdString();
        EXPECT_TRUE(e.Message().contains("64 МБ")) << e.Message().toStdString();
    }
    EXPECT_EQ(view.toPlainText(), QString("old"));
}

TEST(RichView, ADeviceOrAPipeInPlaceOfTheFileIsRefusedBeforeItIsRead) {
    // A device never ends and a pipe without a writer never opens the ordinary way.
    QTemporaryDir dir;
    const QString device = dir.filePath("descr.rtf");
    ASSERT_TRUE(QFile::link("/dev/zero", device));
    const QString pipe = dir.filePath("report.rtf");
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    for (const QString& path : {device, pipe}) {
        TRichView view;
        view.setPlainText("old");
        try {
            view.LoadFromFile(path);
            FAIL() << "read " << path.toStdString();
        } catch (const tFileOpenError& e) {
            EXPECT_EQ(e.Message(), NotARegularFileText(path));
        }
        EXPECT_TRUE(view.toPlainText().isEmpty()) << "as with a file that cannot be opened";
    }
}

TEST(RichView, ADocumentOverTheLimitsIsRefusedNamingTheFileAndTheViewKeepsItsText) {
    QTemporaryDir dir;
    const QString path = dir.filePath("long.rtf");
    // Short by the file's measure, too long by its content.
    WriteFile(path, "{\\rtf1 " + QByteArray("x").repeated(tRtfLimits().Characters) + "}");
    TRichView view;
    view.setPlainText("old");
    try {
        view.LoadFromFile(path);
        FAIL() << "over the limit";
    } catch (const tRtfTooLarge& e) {
        EXPECT_TRUE(e.Message().contains(path)) << e.Message().toStdString();
        EXPECT_TRUE(e.Message().contains(QString("1 000 000").replace(' ', QChar(0xA0)) + " знаков"))
            << e.Message().toStdString();
    }
    EXPECT_EQ(view.toPlainText(), QString("old"));
}

TEST(RichView, ALoadedDocumentKeepsTheViewsLookAndReplacesTheOldOne) {
    QTemporaryDir dir;
    const QString path = dir.filePath("descr.rtf");
    WriteFile(path, "{\\rtf1 Text\\par}");
    TRichView view;
    view.SetReadOnlyCopyable(true);
    QFont font("Tahoma");
    font.setPixelSize(13);
    view.document()->setDefaultFont(font);
    view.document()->setDocumentMargin(7);
    view.LoadFromFile(path);
    QPointer<QTextDocument> first = view.document();
    EXPECT_EQ(first->defaultFont(), font);
    EXPECT_EQ(first->documentMargin(), 7);
    EXPECT_TRUE(view.isReadOnly());
    EXPECT_FALSE(first->isModified());
    view.LoadFromFile(path);
    EXPECT_TRUE(first.isNull()) << "the document shown before is gone";
    EXPECT_EQ(view.toPlainText(), QString("Text"));

    // A report: the pupil's typing can be undone, the load itself cannot.
    TRichView report;
    report.LoadFromFile(path);
    report.undo();
    EXPECT_EQ(report.toPlainText(), QString("Text"));
    report.moveCursor(QTextCursor::End);
    report.insertPlainText(" typed");
    EXPECT_EQ(report.toPlainText(), QString("Text typed"));
    report.undo();
    EXPECT_EQ(report.toPlainText(), QString("Text"));
}

TEST(RichView, ADocumentIsBuiltAsideWhileTheWindowsLoopRuns) {
    // The build waits until the window's loop has run a timer: only a load that leaves the loop
    // running ever gets there (otherwise it gives up after 20 s and the checks fail).
    QSemaphore loopRan;
    QString box;
    QTimer::singleShot(0, [&] {
        auto* progress = qobject_cast<QProgressDialog*>(QApplication::activeModalWidget());
        box = progress && progress->isVisible() ? progress->labelText() : QString("no box");
        loopRan.release();
    });
    std::unique_ptr<QTextDocument> doc = BuildDocumentAside([&](QTextDocument& document) {
        if (!loopRan.tryAcquire(1, 20000)) return;
        ReadRtf("{\\rtf1 Built}", document);
    });
    EXPECT_EQ(box, QString("Открывается документ..."));
    ASSERT_TRUE(doc);
    EXPECT_EQ(doc->toPlainText(), QString("Built"));
    EXPECT_EQ(doc->thread(), QThread::currentThread());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "the box is gone";

    // What the build raises comes back to the caller.
    EXPECT_THROW(ReadRtfAside("no rtf"), tException);
    try {
        ReadRtfAside("{\\rtf1 " + QByteArray("\\par ").repeated(20) + "}", tRtfLimits{1000, 10});
        FAIL() << "over the limit";
    } catch (const tRtfTooLarge&) {
    }
}

TEST(RichView, TheWaitForALongDocumentCanBeCancelled) {
    // Presses «Отмена» in the box as soon as it shows.
    QTimer press;
    QString button;
    QObject::connect(&press, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QProgressDialog*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible()) return;
        for (QPushButton* each : box->findChildren<QPushButton*>()) {
            button = each->text();
            each->click();
        }
    });
    press.start(20);

    // A build that only ends when told to: the caller gets "cancelled", not a document.
    std::atomic<bool> cancel{false};
    EXPECT_THROW(BuildDocumentAside(
                     [&](QTextDocument&) {
                         for (int i = 0; i < 2000 && !cancel; ++i) QThread::msleep(10);
                     },
                     &cancel),
                 tRtfCancelled);
    EXPECT_TRUE(cancel.load());
    EXPECT_EQ(button, QString("Отмена"));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "the box is gone";

    // A lesson's document of two million paragraphs: reading stops when the pupil cancels.
    button.clear();
    EXPECT_THROW(
        ReadRtfAside("{\\rtf1 " + QByteArray("word \\par ").repeated(2'000'000) + "}", kUnlimitedRtf, true),
        tRtfCancelled);
    EXPECT_EQ(button, QString("Отмена"));
}

TEST(RichView, SaveFailureRaisesAndKeepsTheOldFile) {
    QTemporaryDir dir;
    TRichView view;
    view.setPlainText("new");
    EXPECT_THROW(view.SaveToFile(dir.filePath("no/such/folder/x.rtf")), tException);
    // A folder in the way of the file name.
    QDir().mkpath(dir.filePath("taken.rtf"));
    EXPECT_THROW(view.SaveToFile(dir.filePath("taken.rtf")), tException);
}

// ---- Building text ----

TEST(RichView, FallbackTextLines) {
    TRichView view;
    view.setPlainText("something");
    view.Clear();
    view.SetParagraphCentered();
    view.SetBold(true);
    for (int i = 0; i < 3; ++i) view.AddLine(" ");
    view.AddLine("Описание для данного эксперимента не доступно.");
    const QTextDocument* doc = view.document();
    ASSERT_EQ(doc->blockCount(), 4);
    EXPECT_EQ(doc->toPlainText(), QString(" \n \n \nОписание для данного эксперимента не доступно."));
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        EXPECT_EQ(b.blockFormat().alignment(), Qt::AlignHCenter);
        EXPECT_EQ(b.begin().fragment().charFormat().fontWeight(), QFont::Bold);
    }
}

TEST(RichView, ClearResetsAlignmentAndWeight) {
    TRichView view;
    view.SetParagraphCentered();
    view.SetBold(true);
    view.Clear();
    view.AddLine("plain");
    EXPECT_NE(view.document()->begin().blockFormat().alignment(), Qt::AlignHCenter);
    EXPECT_EQ(view.document()->begin().begin().fragment().charFormat().fontWeight(), QFont::Normal);
}

// ---- Selection, copy, print ----

TEST(RichView, ReadOnlyCopyable) {
    TRichView view;
    view.setPlainText("Копируемый текст");
    view.SetReadOnlyCopyable(true);
    EXPECT_TRUE(view.isReadOnly());
    EXPECT_EQ(view.textInteractionFlags(), Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    EXPECT_FALSE(view.HasSelection());
    QTextCursor cursor = view.textCursor();
    cursor.setPosition(0);
    cursor.setPosition(10, QTextCursor::KeepAnchor);
    view.setTextCursor(cursor);
    EXPECT_TRUE(view.HasSelection());
    view.CopySelection();
    EXPECT_EQ(QApplication::clipboard()->text(), QString("Копируемый"));
}

TEST(RichView, PrintUsesTheTitle) {
    QTemporaryDir dir;
    TRichView view;
    view.setPlainText("Отчёт");
    QPrinter printer;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath("report.pdf"));
    view.Print(printer, "Кипение воды");
    EXPECT_EQ(printer.docName(), QString("Кипение воды"));
    EXPECT_TRUE(ReadFile(dir.filePath("report.pdf")).startsWith("%PDF"));
}

// ---- Pictures ----

TEST(RichView, InsertImageReplacesSelectionAndFitsThePage) {
    TRichView view;
    view.resize(400, 300);
    view.setPlainText("abcXYZdef");
    QTextCursor cursor = view.textCursor();
    cursor.setPosition(3);
    cursor.setPosition(6, QTextCursor::KeepAnchor);
    view.setTextCursor(cursor);

    QImage big(2000, 1000, QImage::Format_RGB32);
    big.fill(Qt::darkCyan);
    view.InsertImage(big);
    EXPECT_EQ(view.toPlainText(), QString("abc") + QChar(QChar::ObjectReplacementCharacter) + "def");
    const QTextImageFormat format = FirstImage(*view.document());
    ASSERT_TRUE(format.isValid());
    EXPECT_LE(format.width(), view.viewport()->width());
    EXPECT_NEAR(format.width() / format.height(), 2.0, 0.01) << "aspect kept";
    const QImage stored =
        view.document()->resource(QTextDocument::ImageResource, QUrl(format.name())).value<QImage>();
    EXPECT_EQ(stored.size(), QSize(2000, 1000)) << "full resolution stored";

    // Saved and loaded again: the same picture at the same display size.
    QTemporaryDir dir;
    view.SaveToFile(dir.filePath("r.rtf"));
    TRichView back;
    back.LoadFromFile(dir.filePath("r.rtf"));
    const QTextImageFormat again = FirstImage(*back.document());
    EXPECT_NEAR(again.width(), format.width(), 0.1);
    EXPECT_EQ(back.document()->resource(QTextDocument::ImageResource, QUrl(again.name())).value<QImage>(),
              stored);
}

TEST(RichView, SmallImageKeepsItsSize) {
    TRichView view;
    view.resize(400, 300);
    QImage small(50, 20, QImage::Format_RGB32);
    small.fill(Qt::red);
    view.InsertImage(small);
    const QTextImageFormat format = FirstImage(*view.document());
    EXPECT_EQ(format.width(), 50);
    EXPECT_EQ(format.height(), 20);
    EXPECT_THROW(view.InsertImage(QImage()), tException);
}
