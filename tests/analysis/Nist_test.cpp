// SPDX-License-Identifier: GPL-3.0-or-later
// The fitting engine against NIST's certified nonlinear regressions: every StRD file of
// tests/data/nist is read as it is (the model line turned into a formula by NIST's notation
// rewritten: [ ] to ( ), ** to ^, the error term dropped), fitted from both of its starting
// points, and held to the certified parameters and standard deviations (6 significant digits)
// and residual sum of squares (8). A file added to the folder is a new case without code changes.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStringList>
#include <cmath>
#include <map>

#include "analysis/Fitmodels.h"
#include "analysis/Formula.h"
#include "analysis/Leastsquares.h"

namespace {

QString NistFolder() {
    return QStringLiteral(ROVELIN_TEST_DATA "/nist");
}

std::vector<std::string> DataSetNames() {
    std::vector<std::string> names;
    const QStringList files =
        QDir(NistFolder()).entryList({QStringLiteral("*.dat")}, QDir::Files, QDir::Name);
    for (const QString& file : files) names.push_back(file.toStdString());
    return names;
}

struct tCertifiedParameter {
    std::string Name;
    double Start[2] = {0, 0};
    double Value = 0;
    double Sigma = 0;
};

struct tDataSet {
    std::string Response;                 // left side of the model line: "y", or e.g. "log(y)"
    std::string Formula;                  // right side in muparser syntax
    std::vector<std::string> Predictors;  // column names after y: "x", or "x1", "x2"
    std::vector<tCertifiedParameter> Parameters;
    double Rss = 0;
    std::vector<double> Y;
    std::vector<std::vector<double>> X;  // one column per predictor
};

// "(lines 41 to 42)" after `what` in the header.
bool LineRange(const QString& text, const QString& what, int& from, int& to) {
    const QRegularExpression range(QRegularExpression::escape(what) +
                                   QStringLiteral(R"(\s+\(lines\s+(\d+)\s+to\s+(\d+)\))"));
    const QRegularExpressionMatch match = range.match(text);
    if (!match.hasMatch()) return false;
    from = match.captured(1).toInt();
    to = match.captured(2).toInt();
    return true;
}

QString MuparserSyntax(QString model) {
    model.replace(u'[', u'(').replace(u']', u')').replace(QStringLiteral("**"), QStringLiteral("^"));
    model.remove(QRegularExpression(QStringLiteral(R"(\+\s*e\s*$)")));
    return model.simplified();
}

// Reads an StRD file; fails the test with the reason when the file is not one.
void ReadDataSet(const QString& path, tDataSet& set) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    const QString text = QString::fromLatin1(file.readAll());
    const QStringList lines = text.split(QRegularExpression(QStringLiteral("\r?\n")));
    int startFrom = 0, startTo = 0, certFrom = 0, certTo = 0, dataFrom = 0, dataTo = 0;
    ASSERT_TRUE(LineRange(text, QStringLiteral("Starting Values"), startFrom, startTo));
    ASSERT_TRUE(LineRange(text, QStringLiteral("Certified Values"), certFrom, certTo));
    ASSERT_TRUE(LineRange(text, QStringLiteral("Data"), dataFrom, dataTo));
    ASSERT_LE(dataTo, lines.size());

    // The model (indexOf matches whole lines): from the first line with '=' after "Model:" to the line ending
    // in "+ e".
    const qsizetype modelAt = lines.indexOf(QRegularExpression(QStringLiteral(R"(Model:.*)")));
    ASSERT_GE(modelAt, 0) << "no Model: section";
    QString model;
    for (qsizetype i = modelAt + 1; i < lines.size() && i < startFrom; ++i) {
        if (model.isEmpty() && !lines[i].contains(u'=')) continue;
        model += lines[i] + u' ';
        if (lines[i].contains(QRegularExpression(QStringLiteral(R"(\+\s*e\s*$)")))) break;
    }
    const qsizetype equals = model.indexOf(u'=');
    ASSERT_GT(equals, 0) << "no model line";
    set.Response = MuparserSyntax(model.left(equals)).toStdString();
    set.Formula = MuparserSyntax(model.mid(equals + 1)).toStdString();

    const QRegularExpression parameter(
        QStringLiteral(R"(^\s*(\w+)\s*=\s*(\S+)\s+(\S+)\s+(\S+)\s+(\S+)\s*$)"));
    for (int i = startFrom; i <= startTo; ++i) {
        const QRegularExpressionMatch match = parameter.match(lines[i - 1]);
        ASSERT_TRUE(match.hasMatch()) << "parameter line " << i << ": " << lines[i - 1].toStdString();
        tCertifiedParameter p;
        p.Name = match.captured(1).toStdString();
        p.Start[0] = match.captured(2).toDouble();
        p.Start[1] = match.captured(3).toDouble();
        p.Value = match.captured(4).toDouble();
        p.Sigma = match.captured(5).toDouble();
        set.Parameters.push_back(p);
    }
    const QRegularExpression rss(QStringLiteral(R"(Residual Sum of Squares:\s+(\S+))"));
    bool found = false;
    for (int i = certFrom; i <= certTo && !found; ++i) {
        const QRegularExpressionMatch match = rss.match(lines[i - 1]);
        if (match.hasMatch()) set.Rss = match.captured(1).toDouble(&found);
    }
    ASSERT_TRUE(found) << "no certified residual sum of squares";

    // Column names from the line above the data ("Data:  y  x").
    QStringList header = lines[dataFrom - 2].simplified().split(u' ');
    ASSERT_GE(header.size(), 3) << "no column header above the data";
    for (qsizetype c = 2; c < header.size(); ++c) set.Predictors.push_back(header[c].toStdString());
    set.X.resize(set.Predictors.size());
    for (int i = dataFrom; i <= dataTo; ++i) {
        const QStringList values = lines[i - 1].simplified().split(u' ');
        ASSERT_EQ(values.size(), qsizetype(set.Predictors.size() + 1)) << "data line " << i;
        set.Y.push_back(values[0].toDouble());
        for (std::size_t c = 0; c < set.Predictors.size(); ++c)
            set.X[c].push_back(values[static_cast<qsizetype>(c + 1)].toDouble());
    }
}

// Significant digits `value` shares with `certified` (NIST's log relative error).
double Digits(double value, double certified) {
    if (value == certified) return 16;
    return -std::log10(std::abs(value - certified) / std::abs(certified));
}

class NistStrd : public ::testing::TestWithParam<std::string> {};

TEST(NistStrdFolder, HoldsTheDataSets) {
    EXPECT_GE(DataSetNames().size(), 4u) << "tests/data/nist lost its StRD files";
}

TEST_P(NistStrd, ReachesTheCertifiedValuesFromBothStarts) {
    tDataSet set;
    ASSERT_NO_FATAL_FAILURE(ReadDataSet(NistFolder() + u'/' + QString::fromStdString(GetParam()), set));

    // A transformed response (log[y] = ...) is fitted as NIST certifies it: on the transformed values.
    if (set.Response != "y") {
        const tFormula response(set.Response, {"y"});
        ASSERT_TRUE(response.Ok()) << set.Response;
        for (double& y : set.Y) y = response.Evaluate(&y, nullptr);
    }
    const tFormula formula(set.Formula, set.Predictors);
    ASSERT_TRUE(formula.Ok()) << set.Formula << ": " << formula.Message();
    std::vector<const double*> columns;
    for (const std::vector<double>& column : set.X) columns.push_back(column.data());
    const tFormulaModel model(formula, columns, set.Y.size());

    // The formula names its parameters in its own order; the file lists them b1, b2, ...
    std::map<std::string, const tCertifiedParameter*> byName;
    for (const tCertifiedParameter& p : set.Parameters) byName[p.Name] = &p;
    ASSERT_EQ(formula.Parameters().size(), set.Parameters.size());
    for (const std::string& name : formula.Parameters()) ASSERT_TRUE(byName.count(name)) << name;

    // Both of the engine's paths: the QR of the whole Jacobian (every data set here is small) and
    // the normal equations summed in blocks that a long run takes.
    for (int path = 0; path < 2; ++path)
        for (int start = 0; start < 2; ++start) {
            const char* pathName = path == 0 ? "QR" : "blocks";
            SCOPED_TRACE(std::string(pathName) + ", start " + std::to_string(start + 1));
            std::vector<double> initial;
            for (const std::string& name : formula.Parameters())
                initial.push_back(byName[name]->Start[start]);
            tLeastSquaresOptions options;
            if (path == 1) options.LargeFrom = 0;
            const tLeastSquaresOutcome outcome = SolveLeastSquares(model, set.Y.data(), initial, options);
            ASSERT_TRUE(outcome.Ok()) << "status " << static_cast<int>(outcome.Status);
            double least = 16;
            for (std::size_t j = 0; j < initial.size(); ++j) {
                const tCertifiedParameter& certified = *byName[formula.Parameters()[j]];
                EXPECT_GE(Digits(outcome.Parameters[j], certified.Value), 6)
                    << certified.Name << " = " << outcome.Parameters[j] << ", certified " << certified.Value;
                EXPECT_GE(Digits(outcome.Sigmas[j], certified.Sigma), 6)
                    << "σ(" << certified.Name << ") = " << outcome.Sigmas[j] << ", certified "
                    << certified.Sigma;
                least = std::min({least, Digits(outcome.Parameters[j], certified.Value),
                                  Digits(outcome.Sigmas[j], certified.Sigma)});
            }
            EXPECT_GE(Digits(outcome.Rss, set.Rss), 8) << "RSS " << outcome.Rss << ", certified " << set.Rss;
            std::printf(
                "NIST StRD %s, %s, start %d: %d iterations, parameters and σ to %.1f digits, RSS to %.1f\n",
                GetParam().c_str(), pathName, start + 1, outcome.Iterations, least,
                Digits(outcome.Rss, set.Rss));
        }
}

INSTANTIATE_TEST_SUITE_P(DataSets, NistStrd, ::testing::ValuesIn(DataSetNames()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             std::string name;
                             for (char c : info.param.substr(0, info.param.rfind('.')))
                                 if (std::isalnum(static_cast<unsigned char>(c))) name += c;
                             return name;
                         });

}  // namespace
