// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/Csv.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "Printers.h"
#include "analysis/Tablemodel.h"
#include "foundation/Functions.h"
#include "lesson/Lesson.h"

namespace {
struct Csv : ::testing::Test {
    void SetUp() override {
        First = Lesson.AddRun(0.1);
        for (double y : {21.5, -0.25, 1234567.125}) First->Append(y);
        First->SetLabel(1, QStringLiteral("лёд; \"тает\""));
        Second = Lesson.AddRun(0.1);
        for (double y : {1e-5, 30.0}) Second->Append(y);
        Lesson.SetSeriesRun(0, First);
        Lesson.SetSeriesRun(1, Second);
        Model.SetAxes(QStringLiteral("Время, с"), QStringLiteral("Температура, °C"), QStringLiteral("0"),
                      QStringLiteral("0"));
    }
    tLesson Lesson;
    tRun* First = nullptr;
    tRun* Second = nullptr;
    tTableModel Model{&Lesson};
};
}  // namespace

TEST_F(Csv, RussianAndEnglishBytes) {
    EXPECT_EQ(CsvBytes(Model, CsvFormatFor(QLatin1Char(','))),
              QByteArray("\xEF\xBB\xBF"
                         "Время, с (Опыт 1);Температура, °C (Опыт 1);Метка (Опыт 1);"
                         "Время, с (Опыт 2);Температура, °C (Опыт 2);Метка (Опыт 2)\r\n"
                         "0;21,5;;0;1e-05;\r\n"
                         "0,1;-0,25;\"лёд; \"\"тает\"\"\";0,1;30;\r\n"
                         "0,2;1234567,125;;;;\r\n"));
    EXPECT_EQ(CsvBytes(Model, CsvFormatFor(QLatin1Char('.'))),
              QByteArray("\xEF\xBB\xBF"
                         "\"Время, с (Опыт 1)\",\"Температура, °C (Опыт 1)\",Метка (Опыт 1),"
                         "\"Время, с (Опыт 2)\",\"Температура, °C (Опыт 2)\",Метка (Опыт 2)\r\n"
                         "0,21.5,,0,1e-05,\r\n"
                         "0.1,-0.25,\"лёд; \"\"тает\"\"\",0.1,30,\r\n"
                         "0.2,1234567.125,,,,\r\n"));
}

TEST_F(Csv, TypedEntryRowIsNotWritten) {
    tLesson lesson;
    tTableModel model(&lesson);
    model.SetManualEntry(true);
    model.setData(model.index(0, 0), QStringLiteral("2"));
    EXPECT_EQ(CsvBytes(model, CsvFormatFor(QLatin1Char('.'))), QByteArray("\xEF\xBB\xBF,,Метка\r\n"));
}

TEST_F(Csv, SelectionAsTabSeparatedText) {
    // Rows 1..2 of the first run's time and value, plus the first run's label of row 1.
    const QModelIndexList selection{Model.index(1, 0), Model.index(1, 1), Model.index(2, 1),
                                    Model.index(1, 2)};
    EXPECT_EQ(SelectionTsv(Model, selection, QLatin1Char(',')),
              QStringLiteral("0,1\t-0,25\tлёд; \"тает\"\n\t1234567,125\t\n"));
    EXPECT_EQ(SelectionTsv(Model, {Model.index(2, 3)}, QLatin1Char('.')), QStringLiteral("\n"));
    EXPECT_EQ(SelectionTsv(Model, {}, QLatin1Char('.')), QString());
}

namespace {
// LibreOffice reads `csv` with the given field separator and language and writes it as flat ODF;
// returns the cells as "value-type:value" of the first `rows` rows (empty when soffice is missing).
QStringList ReadBackWithLibreOffice(const QByteArray& csv, char separator, int language, int rows) {
    const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (soffice.isEmpty()) return {};
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("table.csv")));
    file.open(QIODevice::WriteOnly);
    file.write(csv);
    file.close();
    QProcess process;
    // The options a user's import dialog has: separator, quote, UTF-8 (76), first line 1, language.
    const QString filter = QStringLiteral("CSV:%1,34,76,1,,%2").arg(int(separator)).arg(language);
    process.start(
        soffice,
        {QStringLiteral("-env:UserInstallation=file://") + dir.filePath(QStringLiteral("profile")),
         QStringLiteral("--headless"), QStringLiteral("--infilter=") + filter, QStringLiteral("--convert-to"),
         QStringLiteral("fods"), QStringLiteral("--outdir"), dir.path(), file.fileName()});
    process.waitForFinished(120000);
    QFile fods(dir.filePath(QStringLiteral("table.fods")));
    if (!fods.open(QIODevice::ReadOnly))
        return {QStringLiteral("no output: ") + process.readAllStandardError()};
    const QString xml = QString::fromUtf8(fods.readAll());
    QStringList cells;
    static const QRegularExpression row(QStringLiteral("<table:table-row[^>]*>(.*?)</table:table-row>"),
                                        QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression cell(
        QStringLiteral("<table:table-cell([^>]*?)(/>|>(.*?)</table:table-cell>)"),
        QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression type(QStringLiteral("office:value-type=\"(\\w+)\""));
    static const QRegularExpression value(QStringLiteral("office:value=\"([^\"]+)\""));
    static const QRegularExpression text(QStringLiteral("<text:p>(.*?)</text:p>"));
    auto rowIt = row.globalMatch(xml);
    for (int r = 0; r < rows && rowIt.hasNext(); ++r) {
        auto cellIt = cell.globalMatch(rowIt.next().captured(1));
        QStringList line;
        while (cellIt.hasNext()) {
            const auto match = cellIt.next();
            const QString attributes = match.captured(1);
            const QString kind = type.match(attributes).captured(1);
            if (kind == QStringLiteral("float"))
                line << QStringLiteral("float:") + value.match(attributes).captured(1);
            else
                line << kind + QLatin1Char(':') + text.match(match.captured(3)).captured(1);
        }
        cells << line.join(QLatin1Char('|'));
    }
    return cells;
}
}  // namespace

TEST_F(Csv, LibreOfficeReadsColumnsAndNumbers) {
    if (QStandardPaths::findExecutable(QStringLiteral("soffice")).isEmpty())
        GTEST_SKIP() << "LibreOffice (soffice) is not installed";
    const QStringList expected{
        QStringLiteral("string:Время, с (Опыт 1)|string:Температура, °C (Опыт 1)|string:Метка (Опыт 1)|"
                       "string:Время, с (Опыт 2)|string:Температура, °C (Опыт 2)|string:Метка (Опыт 2)"),
        QStringLiteral("float:0|float:21.5|:|float:0|float:0.00001|:"),
        QStringLiteral("float:0.1|float:-0.25|string:лёд; &quot;тает&quot;|float:0.1|float:30|:"),
    };
    // A Russian spreadsheet (language 1049) and an English one (1033), each with its own file.
    const QStringList russian =
        ReadBackWithLibreOffice(CsvBytes(Model, CsvFormatFor(QLatin1Char(','))), ';', 1049, 3);
    const QStringList english =
        ReadBackWithLibreOffice(CsvBytes(Model, CsvFormatFor(QLatin1Char('.'))), ',', 1033, 3);
    for (const QStringList& cells : {russian, english}) {
        ASSERT_EQ(cells.size(), 3) << cells.join(QLatin1Char('\n')).toStdString();
        for (int r = 0; r < 3; ++r) EXPECT_EQ(cells[r], expected[r]) << r;
    }
}
