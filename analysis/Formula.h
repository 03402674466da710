// SPDX-License-Identifier: GPL-3.0-or-later
// A formula as a pupil types it («a*e^(-t/τ) + C», «0,5·t²») evaluated with muparser: the named
// variables (t) take the data, every other name is an unknown parameter to be fitted, in the
// order the formula first names them. Written as pupils write: `·` `×` for times, `−` for minus,
// `²` `³`, a decimal comma between digits, `e` and `pi` (`π`), `ln` `lg` `tg` `ctg` `arctan`...
// besides muparser's own functions. Nonsense is refused with what and where, never evaluated.
// Qt-free. Not copyable; one object per thread (muparser keeps pointers to its variables).
#pragma once

#include <cstddef>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace mu {
class Parser;
}

enum class tFormulaProblem {
    None,
    Empty,    // nothing typed
    TooLong,  // more than kMaxFormulaLength bytes
    Syntax,   // muparser refused it (Position, Token tell where)
    BadName,  // a name with characters a name cannot have (Token)
    TooManyParameters,
};

class tFormula {
  public:
    static constexpr std::size_t kMaxFormulaLength = 1000;
    static constexpr std::size_t kMaxParameters = 10;

    // `text` in UTF-8; `variables` are the names that take data (e.g. {"t"}).
    tFormula(const std::string& text, const std::vector<std::string>& variables);
    ~tFormula();
    tFormula(const tFormula&) = delete;
    tFormula& operator=(const tFormula&) = delete;

    bool Ok() const { return FProblem == tFormulaProblem::None; }
    tFormulaProblem Problem() const { return FProblem; }
    // Where muparser stopped (0-based, in the rewritten text) and the token it stopped at.
    int Position() const { return FPosition; }
    const std::string& Token() const { return FToken; }
    // muparser's own (English) message, for the log, and its error code (mu::EErrorCodes).
    const std::string& Message() const { return FMessage; }
    int Code() const { return FCode; }

    // The unknowns, in order of first appearance (UTF-8).
    const std::vector<std::string>& Parameters() const { return FParameterNames; }
    // Which of the variables the formula uses.
    bool Uses(const std::string& variable) const;

    // The value for one value per variable and one per parameter (NaN or ±inf where the formula
    // has none, e.g. ln of a negative number). Only on an Ok formula.
    double Evaluate(const double* variables, const double* parameters) const;

    // The text as muparser reads it (pupils' signs rewritten); for tests and messages.
    static std::string Rewrite(const std::string& text);

  private:
    static double* NewName(const char* name, void* self);

    std::unique_ptr<mu::Parser> FParser;
    tFormulaProblem FProblem = tFormulaProblem::None;
    int FPosition = -1;
    int FCode = -1;
    std::string FToken;
    std::string FMessage;
    std::vector<std::string> FVariableNames;
    std::vector<std::string> FUsedVariables;
    std::vector<std::string> FParameterNames;
    // Storage muparser points into; a deque keeps the addresses while names are added.
    mutable std::deque<double> FVariables;
    mutable std::deque<double> FParameters;
};
