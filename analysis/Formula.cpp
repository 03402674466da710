// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/Formula.h"

#include <muParser.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <numbers>
#include <string_view>

namespace {

double Lg(double x) {
    return std::log10(x);
}
double Tg(double x) {
    return std::tan(x);
}
double Ctg(double x) {
    return 1 / std::tan(x);
}
double Arcsin(double x) {
    return std::asin(x);
}
double Arccos(double x) {
    return std::acos(x);
}
double Arctan(double x) {
    return std::atan(x);
}

// Signs pupils type for muparser's operators.
struct tSign {
    std::string_view From, To;
};
constexpr tSign kSigns[] = {
    {"\u00B7", "*"}, {"\u00D7", "*"}, {"\u22C5", "*"},  {"\u2219", "*"},  {"\u2212", "-"},
    {"\u2013", "-"}, {"\u00F7", "/"}, {"\u00B2", "^2"}, {"\u00B3", "^3"}, {"\u00A0", " "},
};

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The code points a name may have beyond ASCII letters, digits and '_': Greek and Cyrillic
// letters and subscript digits (τ, ω, φ, у₀).
bool NameCodePoint(char32_t c) {
    return (c >= 0x0391 && c <= 0x03C9) || (c >= 0x0400 && c <= 0x04FF) || (c >= 0x2080 && c <= 0x2089);
}

// Decodes UTF-8 strictly; false on a malformed sequence or a code point a name cannot have.
bool ValidName(const std::string& name) {
    if (name.empty() || IsDigit(name[0])) return false;
    for (std::size_t i = 0; i < name.size();) {
        const auto b = static_cast<unsigned char>(name[i]);
        if (b < 0x80) {
            if (!(std::isalnum(b) || b == '_')) return false;
            ++i;
            continue;
        }
        int length = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 0;
        if (length == 0 || i + length > name.size()) return false;
        char32_t c = b & (0xFF >> (length + 1));
        for (int k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(name[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            c = (c << 6) | (next & 0x3F);
        }
        if (!NameCodePoint(c)) return false;
        i += length;
    }
    return true;
}

}  // namespace

std::string tFormula::Rewrite(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        bool replaced = false;
        for (const tSign& sign : kSigns)
            if (std::string_view(text).substr(i, sign.From.size()) == sign.From) {
                out += sign.To;
                i += sign.From.size();
                replaced = true;
                break;
            }
        if (replaced) continue;
        // A comma between two digits is a decimal comma; elsewhere it separates arguments.
        if (text[i] == ',' && !out.empty() && IsDigit(out.back()) && i + 1 < text.size() &&
            IsDigit(text[i + 1]))
            out += '.';
        else
            out += text[i];
        ++i;
    }
    return out;
}

double* tFormula::NewName(const char* name, void* self) {
    auto* formula = static_cast<tFormula*>(self);
    formula->FParameterNames.emplace_back(name);
    formula->FParameters.push_back(1.0);
    return &formula->FParameters.back();
}

tFormula::tFormula(const std::string& text, const std::vector<std::string>& variables)
    : FParser(std::make_unique<mu::Parser>()), FVariableNames(variables) {
    if (text.size() > kMaxFormulaLength) {
        FProblem = tFormulaProblem::TooLong;
        return;
    }
    const std::string rewritten = Rewrite(text);
    if (rewritten.find_first_not_of(" \t\r\n") == std::string::npos) {
        FProblem = tFormulaProblem::Empty;
        return;
    }
    try {
        // Bytes of multi-byte UTF-8 characters count as name characters, so τ and у₀ are names;
        // ValidName then keeps only letters among them.
        std::string nameChars = "0123456789_abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
        for (int b = 0x80; b <= 0xFF; ++b) nameChars += static_cast<char>(b);
        FParser->DefineNameChars(nameChars.c_str());
        FParser->DefineConst("e", std::numbers::e);
        FParser->DefineConst("pi", std::numbers::pi);
        FParser->DefineConst("\u03C0", std::numbers::pi);
        FParser->DefineFun("lg", Lg);
        FParser->DefineFun("tg", Tg);
        FParser->DefineFun("ctg", Ctg);
        FParser->DefineFun("arcsin", Arcsin);
        FParser->DefineFun("arccos", Arccos);
        FParser->DefineFun("arctan", Arctan);
        FParser->DefineFun("arctg", Arctan);
        for (const std::string& name : FVariableNames) {
            FVariables.push_back(0.0);
            FParser->DefineVar(name, &FVariables.back());
        }
        FParser->SetVarFactory(&tFormula::NewName, this);
        FParser->SetExpr(rewritten);
        // Evaluating once parses the whole text: syntax errors show now, and every unknown name
        // reaches NewName in the order the formula names it.
        (void)FParser->Eval();
        for (const auto& [name, pointer] : FParser->GetUsedVar()) {
            (void)pointer;
            if (std::find(FVariableNames.begin(), FVariableNames.end(), name) != FVariableNames.end())
                FUsedVariables.push_back(name);
        }
    } catch (const mu::ParserError& error) {
        FProblem = tFormulaProblem::Syntax;
        FPosition = error.GetPos();
        FToken = error.GetToken();
        FMessage = error.GetMsg();
        FCode = static_cast<int>(error.GetCode());
        return;
    }
    for (const std::string& name : FParameterNames)
        if (!ValidName(name)) {
            FProblem = tFormulaProblem::BadName;
            FToken = name;
            return;
        }
    if (FParameterNames.size() > kMaxParameters) FProblem = tFormulaProblem::TooManyParameters;
}

tFormula::~tFormula() = default;

bool tFormula::Uses(const std::string& variable) const {
    return std::find(FUsedVariables.begin(), FUsedVariables.end(), variable) != FUsedVariables.end();
}

double tFormula::Evaluate(const double* variables, const double* parameters) const {
    for (std::size_t i = 0; i < FVariables.size(); ++i) FVariables[i] = variables[i];
    for (std::size_t i = 0; i < FParameters.size(); ++i) FParameters[i] = parameters[i];
    try {
        return FParser->Eval();
    } catch (const mu::ParserError&) {
        return std::nan("");
    }
}
