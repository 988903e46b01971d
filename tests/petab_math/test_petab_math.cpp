// PEtab formulas: the public math test cases, functions on parameters against their closed forms,
// the messages for malformed formulas, and hostile nesting.
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <numbers>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <yaml-cpp/yaml.h>

#include "quorvant/petab_math/formula.h"

namespace pm = qv::petab_math;
namespace sb = qv::sbml;
namespace fs = std::filesystem;

namespace {

// Identifiers become parameters p[1], p[2], ... in the order they are first met.
struct Symbols {
    std::map<std::string, int, std::less<>> index;
    pm::Resolver resolver() {
        return [this](std::string_view id, sb::Expr &out) {
            auto it = index.find(id);
            if (it == index.end()) it = index.emplace(std::string(id), static_cast<int>(index.size()) + 1).first;
            out = sb::param(it->second);
            return std::string();
        };
    }
};

double eval_at(const sb::Expr &e, const std::vector<double> &p) { return sb::eval(e, {{}, p, {}}); }

void expect_same_number(double expected, double actual, const std::string &what) {
    if (std::isnan(expected)) EXPECT_TRUE(std::isnan(actual)) << what << ": " << actual;
    else if (std::isinf(expected)) EXPECT_EQ(expected, actual) << what;
    else EXPECT_NEAR(expected, actual, 1e-12 * (1.0 + std::fabs(expected))) << what;
}

}  // namespace

TEST(PetabMath, PublicMathCases) {
    // The suite beside the repository, else the copy delivered with the tests.
    fs::path file = fs::path(QV_PETAB_SUITE) / "v2.0.0/math/math_tests.yaml";
    if (!fs::exists(file)) file = fs::path(QV_SOURCE_DIR) / "tests/petab_import/cases/math/math_tests.yaml";
    if (!fs::exists(file)) GTEST_SKIP() << "no PEtab test suite at " << file;
    const YAML::Node cases = YAML::LoadFile(file.string())["cases"];
    ASSERT_EQ(cases.size(), 98u);
    for (const auto &c : cases) {
        const auto text = c["expression"].as<std::string>();
        const auto expected = c["expected"].as<std::string>();
        Symbols symbols;
        sb::Expr e;
        ASSERT_EQ(pm::parse_formula(text, symbols.resolver(), e), "") << text;
        char *end = nullptr;
        const double number = std::strtod(expected.c_str(), &end);
        if (*end == '\0') {
            ASSERT_TRUE(symbols.index.empty()) << text;
            expect_same_number(number, eval_at(e, {0.0}), text);
            continue;
        }
        // A symbolic answer: both sides agree at a few points.
        sb::Expr want;
        ASSERT_EQ(pm::parse_formula(expected, symbols.resolver(), want), "") << expected;
        for (double v : {0.5, -1.25, 3.0}) {
            std::vector<double> p(symbols.index.size() + 1, 0.0);
            for (size_t k = 1; k < p.size(); ++k) p[k] = v * static_cast<double>(k);
            expect_same_number(eval_at(want, p), eval_at(e, p), text);
        }
    }
}

// The same functions and operators on parameters, where nothing folds to a constant: a = p[1],
// b = p[2], c = p[3].
TEST(PetabMath, FormulasOfParametersMatchClosedForms) {
    const double a = 0.7, b = 2.5, c = -1.5;
    struct Case {
        const char *text;
        double expected;
    };
    const Case cases[] = {
        {"a + b * c", a + b * c},
        {"a - b - c", a - b - c},
        {"a / b / c", a / b / c},
        {"-a^b", -std::pow(a, b)},
        {"a ** b ** 2", std::pow(a, std::pow(b, 2))},
        {"b ^ -a", std::pow(b, -a)},
        {"log(b, a)", std::log(b) / std::log(a)},
        {"ln(b) + log10(b) + log2(b)", std::log(b) + std::log10(b) + std::log2(b)},
        {"sqrt(b) + pow(a, c) + exp(c)", std::sqrt(b) + std::pow(a, c) + std::exp(c)},
        {"cot(a) + sec(a) + csc(a)", 1 / std::tan(a) + 1 / std::cos(a) + 1 / std::sin(a)},
        {"arccot(c) + arcsec(b) + arccsc(b)", std::atan(1 / c) + std::acos(1 / b) + std::asin(1 / b)},
        {"coth(a) + sech(c) + csch(b)", 1 / std::tanh(a) + 1 / std::cosh(c) + 1 / std::sinh(b)},
        {"arccoth(b) + arcsech(a) + arccsch(c)", std::atanh(1 / b) + std::acosh(1 / a) + std::asinh(1 / c)},
        {"arcsin(a) + arccos(a) + arctan(c) + arcsinh(c) + arccosh(b) + arctanh(a)",
         std::asin(a) + std::acos(a) + std::atan(c) + std::asinh(c) + std::acosh(b) + std::atanh(a)},
        {"abs(c) + sign(c) + min(a, c) + max(a, c) + floor(c) + ceil(c)", 1.5 - 1 + c + a - 2 - 1},
        {"piecewise(a, a > b, c, c < a, b)", c},
        {"piecewise(a, a > b, c, c > a)", NAN},
        {"a < b == b < c", 0.0},
        {"a < b || b < c && a < c", 0.0},
        {"!(a - a) + !c", 1.0},
        {"(a > 0) * 10 + (c >= 0)", 10.0},
        {"a != b && b <= 2.5", 1.0},
    };
    for (const auto &tc : cases) {
        Symbols symbols;
        symbols.index = {{"a", 1}, {"b", 2}, {"c", 3}};
        sb::Expr e;
        ASSERT_EQ(pm::parse_formula(tc.text, symbols.resolver(), e), "") << tc.text;
        expect_same_number(tc.expected, eval_at(e, {0.0, a, b, c}), tc.text);
    }
}

TEST(PetabMath, NumbersAndWords) {
    Symbols symbols;
    sb::Expr e;
    for (const auto &[text, value] : std::vector<std::pair<const char *, double>>{
             {".5", 0.5}, {"1.", 1.0}, {"1E+3", 1000.0}, {"2.5e-1", 0.25}, {"1e999", INFINITY}, {"1e-999", 0.0},
             {"INF", INFINITY}, {"-Inf", -INFINITY}, {"TRUE + False", 1.0}, {" \t1\n+\r2 ", 3.0}}) {
        ASSERT_EQ(pm::parse_formula(text, symbols.resolver(), e), "") << text;
        expect_same_number(value, eval_at(e, {0.0}), text);
    }
    ASSERT_EQ(pm::parse_formula("NaN", symbols.resolver(), e), "");
    EXPECT_TRUE(std::isnan(eval_at(e, {0.0})));
    EXPECT_TRUE(symbols.index.empty());
    EXPECT_EQ(pm::formula_identifiers("k1 * exp(-k2 * time) + k1 / true + inf - piecewise(k3, time > 0, 0)"),
              (std::vector<std::string>{"k1", "k2", "time", "k3"}));
    EXPECT_EQ(pm::formula_identifiers("a + b * (c"), (std::vector<std::string>{"a", "b", "c"}));
}

TEST(PetabMath, MalformedFormulasAreRefusedWithWhereAndWhat) {
    const pm::Resolver known = [](std::string_view id, sb::Expr &out) {
        if (id != "a" && id != "b") return "unknown identifier '" + std::string(id) + "'";
        out = sb::param(id == "a" ? 1 : 2);
        return std::string();
    };
    const std::pair<const char *, const char *> cases[] = {
        {"", "empty formula"},
        {" \t ", "empty formula"},
        {"exp(1,)", "unexpected ')' at column 7"},
        {"foo(1)", "unknown function 'foo' at column 1"},
        {"log(1, 2, 3)", "'log' takes 1 or 2 arguments at column 1"},
        {"2 * log()", "'log' takes 1 or 2 arguments at column 5"},
        {"pow(2)", "'pow' takes 2 arguments at column 1"},
        {"exp(1, 2)", "'exp' takes 1 argument at column 1"},
        {"piecewise(1)", "'piecewise' takes at least 2 arguments at column 1"},
        {"exp + 1", "function 'exp' without arguments at column 1"},
        {"a * zeta", "unknown identifier 'zeta' at column 5"},
        {"1 +", "unexpected end of formula"},
        {"(1 + 2", "unexpected end of formula"},
        {"--", "unexpected end of formula"},
        {"a b", "unexpected 'b' at column 3"},
        {"1 + 2)", "unexpected ')' at column 6"},
        {"2 (3)", "unexpected '(' at column 3"},
        {"exp(1 2)", "unexpected '2' at column 7"},
        {"1e", "unexpected 'e' at column 2"},
        {"a * , b", "unexpected ',' at column 5"},
        {"a < * b", "unexpected '*' at column 5"},
        {"2 $ 3", "unexpected character '$' at column 3"},
        {"a = b", "unexpected character '=' at column 3"},
        {"a & b", "unexpected character '&' at column 3"},
        {".", "unexpected character '.' at column 1"},
        {"a + \xc3\xa9", "unexpected byte 0xc3 at column 5"},
    };
    for (const auto &[text, message] : cases) {
        sb::Expr e = sb::constant(42.0);
        EXPECT_EQ(pm::parse_formula(text, known, e), message) << text;
        EXPECT_TRUE(sb::is_const(e, 42.0)) << "output changed by a refused formula: " << text;
    }
}

TEST(PetabMath, HostileNestingIsRefusedNotRecursedInto) {
    const auto repeat = [](const std::string &s, int n) {
        std::string r;
        for (int i = 0; i < n; ++i) r += s;
        return r;
    };
    Symbols symbols;
    sb::Expr e;
    const std::string deep_ok = repeat("(", 150) + "1" + repeat(")", 150);
    EXPECT_EQ(pm::parse_formula(deep_ok, symbols.resolver(), e), "");
    const std::string refused = "formula nested deeper than 200 levels at column ";
    EXPECT_EQ(pm::parse_formula(repeat("(", 100000) + "1", symbols.resolver(), e), refused + "201");
    EXPECT_EQ(pm::parse_formula(repeat("-", 100000) + "1", symbols.resolver(), e), refused + "201");
    EXPECT_EQ(pm::parse_formula(repeat("exp(", 100000), symbols.resolver(), e), refused + "801");
    EXPECT_EQ(pm::parse_formula(repeat("2^", 100000) + "2", symbols.resolver(), e), refused + "401");
    // Long chains of operators that nest rather than flatten: refused; sums and products are flat.
    EXPECT_EQ(pm::parse_formula(repeat("a / ", 100000) + "a", symbols.resolver(), e), refused + "801");
    EXPECT_EQ(pm::parse_formula(repeat("a < ", 100000) + "a", symbols.resolver(), e), refused + "801");
    EXPECT_EQ(pm::parse_formula(repeat("a && ", 100000) + "a", symbols.resolver(), e), refused + "1001");
    EXPECT_EQ(pm::parse_formula(repeat("a * ", 100000) + "a", symbols.resolver(), e), "");
    EXPECT_EQ(pm::parse_formula(repeat("a + ", 100000) + "a", symbols.resolver(), e), "");
    EXPECT_EQ(pm::parse_formula(repeat("(a / a / a) / ", 150) + "a", symbols.resolver(), e), "");
}
