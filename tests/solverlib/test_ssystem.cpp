// S-system steady-state analysis: the steady state and every table of the report are compared
// with an independent computation (Cramer's rule on the log-linear steady-state equations and
// central differences of its logarithms); the refusals, the singular case and the driver path
// are checked message by message.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "quorvant/model.h"
#include "quorvant/quorvant_baselib/model_tables.h"
#include "quorvant/quorvant_baselib/parameter.h"
#include "quorvant/quorvant_baselib/row_output.h"
#include "quorvant/solverlib/s_std_solver.h"
#include "test_model.h"
#include "text_files.h"

namespace {

// ---- Test models --------------------------------------------------------------------------------

// One kinetic order: the tag stored with it, and where the test's own model code places it
// (equation i, variable j; dep: dependent variable X(j), else independent variable X(n+j)).
constexpr const char *kNoTag = "(none)";   // an Order with this tag gets none at all

struct Order {
    std::string tag;
    double value;
    int i;
    int j;
    bool dep;
};

// An S-system as the tests describe it. `names` is the PARAM_NAME order; a name can be left out or
// moved to test the refusals. Values of "constantPlayer" are given unscaled, as in a model file.
struct Model {
    int n = 0;
    double gvalue = 1.0;
    std::vector<double> alpha, beta, xi;
    std::vector<Order> g, h;
    std::vector<std::string> names = {"constantPlayer", "kplus", "kminus", "g", "h"};
    std::vector<std::string> varTags;
    int m() const { return static_cast<int>(xi.size()); }
};

// Two dependent and two independent variables, with orders in all four of Gd, Gi, Hd, Hi:
//   dX1/dt = a1 X3^0.8 X2^-0.4 - b1 X1^0.6
//   dX2/dt = a2 X1^0.6 X4^0.3  - b2 X2^0.9 X3^0.2
Model twoByTwo(double gvalue) {
    Model md;
    md.n = 2;
    md.gvalue = gvalue;
    md.alpha = {3.0, 1.5};
    md.beta = {2.0, 0.7};
    md.xi = {1.7, 0.4};
    md.g = {{"gi_1_1", 0.8, 1, 1, false},
            {"gd_1_2", -0.4, 1, 2, true},
            {"gd_2_1", 0.6, 2, 1, true},
            {"gi_2_2", 0.3, 2, 2, false}};
    md.h = {{"hd_1_1", 0.6, 1, 1, true}, {"hd_2_2", 0.9, 2, 2, true}, {"hi_2_1", 0.2, 2, 1, false}};
    md.varTags = {"X1 product", "X2 end product"};
    return md;
}

// dX1/dt = a X1^0.5 X2 - b X1^2, X2 independent: X1 = exp(-(2/3) (ln(b/a) - ln X2)).
Model oneByOne(double alpha, double beta, double x2, double gvalue) {
    Model md;
    md.n = 1;
    md.gvalue = gvalue;
    md.alpha = {alpha};
    md.beta = {beta};
    md.xi = {x2};
    md.g = {{"gd_1_1", 0.5, 1, 1, true}, {"gi_1_1", 1.0, 1, 1, false}};
    md.h = {{"hd_1_1", 2.0, 1, 1, true}};
    md.varTags = {"X1"};
    return md;
}

// The loaded model, read by the right-hand side below.
Model g_loaded;

int pno(const char *name) { return Name2Pno(name); }

// The S-system right-hand side from the loaded values (so a zeroed beta gives the production flux).
void ssystemFvec(double *dydt, double *y, double, parameter *p) {
    const int pa = pno("kplus"), pb = pno("kminus"), px = pno("constantPlayer");
    const int pg = pno("g"), ph = pno("h");
    for (int i = 1; i <= g_loaded.n; ++i) {
        double prod = p->val[pa][i];
        double deg = p->val[pb][i];
        for (size_t k = 0; k < g_loaded.g.size(); ++k) {
            const Order &o = g_loaded.g[k];
            if (o.i == i) prod *= std::pow(o.dep ? y[o.j] : p->val[px][o.j], p->val[pg][k + 1]);
        }
        for (size_t k = 0; k < g_loaded.h.size(); ++k) {
            const Order &o = g_loaded.h[k];
            if (o.i == i) deg *= std::pow(o.dep ? y[o.j] : p->val[px][o.j], p->val[ph][k + 1]);
        }
        dydt[i] = prod - deg;
    }
}

void load(const Model &md) {
    resetParamTab();
    g_loaded = md;
    for (const std::string &name : md.names) ASSERT_EQ(addParam2Tab(name.c_str()), 0);
    Param.n_var = md.n;
    Param.n_varNR = md.n;
    auto setValues = [](const char *name, const std::vector<double> &v, double scale) {
        const int no = pno(name);
        if (no == 0) return;
        Param.n_val[no] = static_cast<int32_t>(v.size());
        for (size_t k = 0; k < v.size(); ++k) Param.val[no][k + 1] = v[k] * scale;
    };
    auto setOrders = [](const char *name, const std::vector<Order> &orders) {
        const int no = pno(name);
        if (no == 0) return;
        Param.n_val[no] = static_cast<int32_t>(orders.size());
        for (size_t k = 0; k < orders.size(); ++k) {
            Param.val[no][k + 1] = orders[k].value;
            if (orders[k].tag != kNoTag) {
                ASSERT_EQ(putParamTag(no, static_cast<int>(k + 1), orders[k].tag.c_str()), 0);
            }
        }
    };
    setValues("constantPlayer", md.xi, md.gvalue);
    setValues("kplus", md.alpha, 1.0);
    setValues("kminus", md.beta, 1.0);
    setOrders("g", md.g);
    setOrders("h", md.h);
    for (size_t k = 0; k < md.varTags.size(); ++k)
        ASSERT_EQ(putVarTag(static_cast<int>(k + 1), md.varTags[k].c_str()), 0);
    ParamT = Param;
    ParamP = Param;
    GeneConc = md.gvalue;
    F_GA = 0;
    F_PSurvey = 0;
    SolutionMatrix = nullptr;
    StepNum = 0;
    setTestModel(ssystemFvec, nullptr);
}

// ---- Independent closed form --------------------------------------------------------------------

double lnIndependent(const Model &md, int u) { return std::log(md.xi[u - 1] * md.gvalue); }

// ln X(1..n) of the steady state (index 0 unused) by Cramer's rule on
// (Gd - Hd) lnX = ln(beta/alpha) - (Gi - Hi) lnXi, for n = 1 or 2.
std::vector<double> closedFormLnX(const Model &md) {
    double ad[3][3] = {};
    double b[3] = {};
    for (int i = 1; i <= md.n; ++i) b[i] = std::log(md.beta[i - 1] / md.alpha[i - 1]);
    auto place = [&](const std::vector<Order> &orders, double sign) {
        for (const Order &o : orders) {
            if (o.dep)
                ad[o.i][o.j] += sign * o.value;
            else
                b[o.i] -= sign * o.value * lnIndependent(md, o.j);
        }
    };
    place(md.g, 1.0);
    place(md.h, -1.0);
    std::vector<double> lnx(md.n + 1, 0.0);
    if (md.n == 1) {
        lnx[1] = b[1] / ad[1][1];
    } else {
        const double det = ad[1][1] * ad[2][2] - ad[1][2] * ad[2][1];
        lnx[1] = (b[1] * ad[2][2] - ad[1][2] * b[2]) / det;
        lnx[2] = (ad[1][1] * b[2] - ad[2][1] * b[1]) / det;
    }
    return lnx;
}

// ln of the production flux alpha_k prod X^g or of the degradation flux beta_k prod X^h.
double lnFlux(const Model &md, const std::vector<double> &lnx, int k, bool production) {
    double s = std::log(production ? md.alpha[k - 1] : md.beta[k - 1]);
    for (const Order &o : production ? md.g : md.h)
        if (o.i == k) s += o.value * (o.dep ? lnx[o.j] : lnIndependent(md, o.j));
    return s;
}

// Logarithmic derivatives by central differences: `scale` multiplies one quantity of a model
// copy by a factor; the result holds d ln X(k) (or d ln flux k) / d ln quantity for k = 1..n.
using Scale = std::function<void(Model &, double)>;
constexpr double kLogStep = 1e-5;

std::vector<double> logDerivative(const Model &md, const Scale &scale, int fluxKind) {
    Model up = md, down = md;
    scale(up, std::exp(kLogStep));
    scale(down, std::exp(-kLogStep));
    const std::vector<double> lu = closedFormLnX(up), ld = closedFormLnX(down);
    std::vector<double> d;
    for (int k = 1; k <= md.n; ++k) {
        const double a = fluxKind == 0 ? lu[k] : lnFlux(up, lu, k, fluxKind == 1);
        const double b = fluxKind == 0 ? ld[k] : lnFlux(down, ld, k, fluxKind == 1);
        d.push_back((a - b) / (2 * kLogStep));
    }
    return d;
}
constexpr int kOfX = 0, kOfProductionFlux = 1, kOfDegradationFlux = 2;

// ---- The report ---------------------------------------------------------------------------------

struct Row {
    std::string line;
    std::string label;
    int index = 0;
    std::vector<double> values;
};
struct Table {
    std::string title;
    std::string header;
    std::vector<Row> rows;
};

using qv::test::split_lines;

Row parseRow(const std::string &line) {
    Row r;
    r.line = line;
    const size_t comma = line.find(',');
    const std::string first = line.substr(0, comma);
    const size_t br = first.find('[');
    if (br != std::string::npos) {
        r.label = first.substr(first.find_first_not_of(' '), br - first.find_first_not_of(' '));
        r.index = std::atoi(first.c_str() + br + 1);
    } else {
        r.index = std::atoi(first.c_str());
    }
    size_t pos = comma;
    // Values follow each ','; the value table ends its rows with ", #tag".
    while (pos != std::string::npos && line.compare(pos + 1, 2, " #") != 0) {
        r.values.push_back(std::strtod(line.c_str() + pos + 1, nullptr));
        pos = line.find(',', pos + 1);
    }
    return r;
}

// Tables: a "$ ... $" title line, a header line, rows up to the next blank line.
std::vector<Table> parseReport(const std::string &text) {
    std::vector<Table> tables;
    const std::vector<std::string> lines = split_lines(text);
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].rfind("$ ", 0) != 0) continue;
        Table t;
        t.title = lines[i];
        if (i + 1 < lines.size()) t.header = lines[++i];
        while (i + 1 < lines.size() && !lines[i + 1].empty()) t.rows.push_back(parseRow(lines[++i]));
        tables.push_back(t);
    }
    return tables;
}

const Table &table(const std::vector<Table> &tables, const std::string &title) {
    for (const Table &t : tables)
        if (t.title == title) return t;
    ADD_FAILURE() << "no table " << title;
    static const Table none;
    return none;
}

// Values are printed with four significant digits.
void expectPrinted(double printed, double exact, const std::string &what) {
    EXPECT_NEAR(printed, exact, 1e-3 * std::fabs(exact) + 1e-12) << what;
}

struct ExpectedRow {
    std::string label;
    int index;
    std::vector<double> values;
};

void expectTable(const Table &t, const std::vector<ExpectedRow> &rows) {
    ASSERT_EQ(t.rows.size(), rows.size()) << t.title;
    for (size_t r = 0; r < rows.size(); ++r) {
        EXPECT_EQ(t.rows[r].label, rows[r].label) << t.title << " row " << r;
        EXPECT_EQ(t.rows[r].index, rows[r].index) << t.title << " row " << r;
        ASSERT_EQ(t.rows[r].values.size(), rows[r].values.size()) << t.rows[r].line;
        for (size_t k = 0; k < rows[r].values.size(); ++k)
            expectPrinted(t.rows[r].values[k], rows[r].values[k], t.title + ": " + t.rows[r].line);
    }
}

// Runs f with Fp_out pointing at a temporary file; returns what was written to it.
template <class F>
std::string captureFpOut(F f) {
    FILE *fp = std::tmpfile();
    FILE *saved = Fp_out;
    Fp_out = fp;
    f();
    Fp_out = saved;
    std::string text;
    std::rewind(fp);
    char buf[4096];
    size_t got;
    while ((got = std::fread(buf, 1, sizeof buf, fp)) > 0) text.append(buf, got);
    std::fclose(fp);
    return text;
}

// The report of SsysSTD in text mode, with the log it produced.
struct AnalysisRun {
    int rc = 0;
    std::string report;
    std::string log;
    std::vector<double> y;
};

AnalysisRun runAnalysis(const Model &md) {
    AnalysisRun run;
    run.y.assign(md.n + 1, -7.0);
    testing::internal::CaptureStdout();
    run.report = captureFpOut([&] { run.rc = SsysSTD(run.y.data()); });
    run.log = testing::internal::GetCapturedStdout();
    return run;
}

// The non-zero orders in report order: equation by equation, dependent variables first.
std::vector<size_t> reportOrder(const std::vector<Order> &orders) {
    std::vector<size_t> idx;
    for (size_t k = 0; k < orders.size(); ++k)
        if (orders[k].value != 0.0) idx.push_back(k);
    std::stable_sort(idx.begin(), idx.end(), [&](size_t a, size_t b) {
        const Order &x = orders[a], &y = orders[b];
        if (x.i != y.i) return x.i < y.i;
        if (x.dep != y.dep) return x.dep;
        return x.j < y.j;
    });
    return idx;
}

std::vector<ExpectedRow> kineticRows(const Model &md, int fluxKindG, int fluxKindH) {
    std::vector<ExpectedRow> rows;
    for (const bool production : {true, false}) {
        const std::vector<size_t> order = reportOrder(production ? md.g : md.h);
        for (size_t r = 0; r < order.size(); ++r) {
            const size_t k = order[r];
            Scale s = [production, k](Model &x, double f) { (production ? x.g : x.h)[k].value *= f; };
            rows.push_back({production ? "g" : "h", static_cast<int>(r + 1),
                            logDerivative(md, s, production ? fluxKindG : fluxKindH)});
        }
    }
    return rows;
}

// ---- Steady state and report values -------------------------------------------------------------

TEST(SSystemAnalysis, SteadyStateAndEveryTableMatchTheIndependentComputation) {
    Model noIndependent = oneByOne(2.0, 0.5, 1.0, 1.0);
    noIndependent.xi.clear();
    noIndependent.g.pop_back();
    const std::vector<Model> cases = {twoByTwo(1.0), twoByTwo(2.5), oneByOne(2.0, 0.5, 3.0, 4.0),
                                      noIndependent};
    for (size_t c = 0; c < cases.size(); ++c) {
        SCOPED_TRACE("case " + std::to_string(c));
        const Model &md = cases[c];
        load(md);
        const int pb = pno("kminus");
        const std::vector<double> betaBefore(Param.val[pb] + 1, Param.val[pb] + 1 + md.n);
        const AnalysisRun run = runAnalysis(md);
        ASSERT_EQ(run.rc, 0) << run.log;
        EXPECT_EQ(run.log, "");
        // The flux evaluation zeroes beta for one call and must give it back.
        EXPECT_EQ(std::vector<double>(Param.val[pb] + 1, Param.val[pb] + 1 + md.n), betaBefore);

        const std::vector<double> lnx = closedFormLnX(md);
        for (int i = 1; i <= md.n; ++i) EXPECT_NEAR(std::log(run.y[i]), lnx[i], 1e-12) << i;

        const std::vector<Table> tables = parseReport(run.report);
        ASSERT_EQ(tables.size(), 7u) << run.report;
        std::vector<ExpectedRow> values, gains, alpha, fluxGains, fluxAlpha;
        for (int i = 1; i <= md.n; ++i)
            values.push_back({"", i, {std::exp(lnx[i]) / md.gvalue, std::exp(lnFlux(md, lnx, i, true))}});
        for (int u = 1; u <= md.m(); ++u) {
            Scale s = [u](Model &x, double f) { x.xi[u - 1] *= f; };
            gains.push_back({"constantPlayer", u, logDerivative(md, s, kOfX)});
            fluxGains.push_back({"constantPlayer", u, logDerivative(md, s, kOfProductionFlux)});
        }
        for (int i = 1; i <= md.n; ++i) {
            Scale s = [i](Model &x, double f) { x.alpha[i - 1] *= f; };
            alpha.push_back({"alpha", i, logDerivative(md, s, kOfX)});
            fluxAlpha.push_back({"alpha", i, logDerivative(md, s, kOfProductionFlux)});
        }
        expectTable(table(tables, "$ STD Values and Fluxes $"), values);
        expectTable(table(tables, "$ Logarythmic Gains of Metabolites $"), gains);
        expectTable(table(tables, "$ Sensitivities of Metabolites with respect to rate constants $"),
                    alpha);
        expectTable(table(tables, "$ Sensitivities of Metabolites with respect to kinetic orders $"),
                    kineticRows(md, kOfX, kOfX));
        expectTable(table(tables, "$ Logarythmic Gains of Fluxes $"), fluxGains);
        expectTable(table(tables, "$ Sensitivities of Fluxes with respect to rate constants $"),
                    fluxAlpha);
        // The h rows describe the degradation flux, equal to the production flux at steady state.
        expectTable(table(tables, "$ Sensitivities of Fluxes with respect to kinetic orders $"),
                    kineticRows(md, kOfProductionFlux, kOfDegradationFlux));
    }
}

TEST(SSystemAnalysis, OneDependentOneIndependentFollowsItsClosedForm) {
    struct Case {
        double alpha, beta, x2, gvalue;
    };
    for (const Case c : {Case{1.0, 1.0, 1.0, 1.0}, Case{2.0, 0.5, 3.0, 1.0}, Case{0.3, 7.0, 0.2, 10.0}}) {
        load(oneByOne(c.alpha, c.beta, c.x2, c.gvalue));
        const AnalysisRun run = runAnalysis(g_loaded);
        ASSERT_EQ(run.rc, 0) << run.log;
        // The model code sees X2 scaled by G_VALUE; so does the steady state.
        const double x2 = c.x2 * c.gvalue;
        const double x1 = std::exp(-(2.0 / 3.0) * (std::log(c.beta / c.alpha) - std::log(x2)));
        EXPECT_NEAR(run.y[1], x1, 1e-12 * x1) << c.alpha << " " << c.beta << " " << c.x2;
    }
}

// ---- Report layout ------------------------------------------------------------------------------

TEST(SSystemReport, TitlesHeadersAndLabelsAreExact) {
    load(twoByTwo(1.0));
    const AnalysisRun run = runAnalysis(g_loaded);
    ASSERT_EQ(run.rc, 0) << run.log;
    const std::string var = "param/var          ,     y[  1],     y[  2]";
    const std::string flx = "param/flux         ,     v[  1],     v[  2]";
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"$ STD Values and Fluxes $", "index,  STD value ,      Flux"},
        {"$ Logarythmic Gains of Metabolites $", var},
        {"$ Sensitivities of Metabolites with respect to rate constants $", var},
        {"$ Sensitivities of Metabolites with respect to kinetic orders $", var},
        {"$ Logarythmic Gains of Fluxes $", flx},
        {"$ Sensitivities of Fluxes with respect to rate constants $", flx},
        {"$ Sensitivities of Fluxes with respect to kinetic orders $", flx},
    };
    const std::vector<Table> tables = parseReport(run.report);
    ASSERT_EQ(tables.size(), expected.size());
    for (size_t t = 0; t < expected.size(); ++t) {
        EXPECT_EQ(tables[t].title, expected[t].first);
        EXPECT_EQ(tables[t].header, expected[t].second);
    }
    // Every title is preceded by an empty line; the report starts with one.
    EXPECT_EQ(run.report.rfind("\n$ STD Values and Fluxes $\nindex,  STD value ,      Flux\n", 0), 0u);
    for (size_t t = 1; t < expected.size(); ++t) {
        const auto &[title, header] = expected[t];
        EXPECT_NE(run.report.find("\n\n" + title + "\n" + header + "\n"), std::string::npos) << title;
    }

    // Row layouts: "%5d,%12.3e,%12.3e, #tag" and "%14s[%3d]" followed by ",%11.3e" per column.
    const Row &v1 = tables[0].rows.at(0);
    ASSERT_EQ(v1.line.size(), 5u + 13u + 13u + 3u + std::strlen("X1 product"));
    EXPECT_EQ(v1.line.substr(0, 6), "    1,");
    EXPECT_EQ(v1.line.substr(31), ", #X1 product");
    EXPECT_EQ(tables[1].rows.at(1).line.substr(0, 19), "constantPlayer[  2]");
    EXPECT_EQ(tables[2].rows.at(1).line.substr(0, 19), "         alpha[  2]");
    EXPECT_EQ(tables[3].rows.at(3).line.substr(0, 19), "             g[  4]");
    EXPECT_EQ(tables[3].rows.at(4).line.substr(0, 19), "             h[  1]");
    for (const Table &t : std::vector<Table>(tables.begin() + 1, tables.end()))
        for (const Row &r : t.rows) EXPECT_EQ(r.line.size(), 19u + 2u * 12u) << r.line;
}

TEST(SSystemReport, ZeroOrdersGiveNoRowAndRowNumbersCountNonZeroOrders) {
    const Model plain = twoByTwo(1.0);
    Model withZeros = plain;
    withZeros.g.insert(withZeros.g.begin(), Order{"gd_1_1", 0.0, 1, 1, true});
    withZeros.g.push_back(Order{"gi_1_2", 0.0, 1, 2, false});
    withZeros.h.insert(withZeros.h.begin() + 1, Order{"hd_2_1", 0.0, 2, 1, true});

    load(plain);
    const AnalysisRun a = runAnalysis(plain);
    load(withZeros);
    const AnalysisRun b = runAnalysis(withZeros);
    ASSERT_EQ(a.rc, 0);
    ASSERT_EQ(b.rc, 0);
    EXPECT_EQ(b.report, a.report);

    const std::vector<Table> tables = parseReport(b.report);
    const Table &t = table(tables, "$ Sensitivities of Metabolites with respect to kinetic orders $");
    std::vector<std::string> labels;
    for (const Row &r : t.rows) labels.push_back(r.label + std::to_string(r.index));
    EXPECT_EQ(labels, (std::vector<std::string>{"g1", "g2", "g3", "g4", "h1", "h2", "h3"}));
}

// ---- Failures -----------------------------------------------------------------------------------

TEST(SSystemAnalysis, SingularAdEndsTheAnalysis) {
    struct Case {
        const char *what;
        Model model;
        std::string log;
    };
    // Both equations alike: Gd - Hd has two equal rows.
    Model twin = twoByTwo(1.0);
    twin.g = {{"gi_1_1", 1.0, 1, 1, false}, {"gd_1_1", 0.5, 1, 1, true},
              {"gi_2_1", 1.0, 2, 1, false}, {"gd_2_1", 0.5, 2, 1, true}};
    twin.h = {{"hd_1_2", 1.0, 1, 2, true}, {"hd_2_2", 1.0, 2, 2, true}};
    // The second equation's orders cancel: a zero row.
    Model cancel = twoByTwo(1.0);
    cancel.g.push_back({"gd_2_2", 0.9, 2, 2, true});
    cancel.g.erase(cancel.g.begin() + 2);
    const std::vector<Case> cases = {
        {"equal rows", twin,
         "## S-system error!! The matrix Gd - Hd is singular: the steady state is not determined.\n"
         "## Error in std_analysis.\n\n## Error in SsysSTD.\n"},
        {"zero row", cancel,
         "## Singular matrix in nr_ludcmp\n## Error in std_analysis.\n\n## Error in SsysSTD.\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        load(c.model);
        std::vector<double> y(3, -7.0);
        int rc = 0;
        testing::internal::CaptureStdout();
        const std::string out = captureFpOut([&] { rc = doSolver12(y.data()); });
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.log);
        EXPECT_EQ(rc, -1);
        EXPECT_EQ(out, "\n$$ Failure!!\n");
    }
}

TEST(SSystemChecks, RefusesWhatItCannotAnalyseBeforeBuildingAnything) {
    struct Case {
        const char *what;
        std::function<void(Model &)> change;
        std::string log;
    };
    const std::string e = "## S-system error!! ";
    auto tagH1 = [](const char *tag) { return [tag](Model &m) { m.h[0].tag = tag; }; };
    const std::vector<Case> cases = {
        {"no kplus", [](Model &m) { m.names = {"constantPlayer", "kminus", "g", "h"}; },
         e + "Parameter \"kplus\" is not defined.\n"},
        {"no kminus and no constantPlayer", [](Model &m) { m.names = {"kplus", "g", "h"}; },
         e + "Parameter \"constantPlayer\" is not defined.\n" + e +
             "Parameter \"kminus\" is not defined.\n"},
        {"constantPlayer second",
         [](Model &m) { m.names = {"kplus", "constantPlayer", "kminus", "g", "h"}; },
         e + "\"constantPlayer\" must be parameter number 1 (the first PARAM_NAME); it is number 2.\n"},
        {"kplus too short", [](Model &m) { m.alpha.pop_back(); },
         e + "\"kplus\" has 1 values; N_VAR = 2 are needed.\n"},
        {"kminus empty", [](Model &m) { m.beta.clear(); },
         e + "\"kminus\" has 0 values; N_VAR = 2 are needed.\n"},
        {"order without tag", [](Model &m) { m.g[1].tag = kNoTag; },
         e + "Value 2 of \"g\" has no tag; kinetic orders need a tag kind_i_j.\n"},
        {"order with an empty tag (PARAM line without field 10)", [](Model &m) { m.g[2].tag = ""; },
         e + "Value 3 of \"g\" has no tag; kinetic orders need a tag kind_i_j.\n"},
        {"no underscore", tagH1("hd11"),
         e + "Tag 'hd11' of value 1 of \"h\" is not of the form kind_i_j.\n"},
        {"trailing text", tagH1("hd_1_1x"),
         e + "Tag 'hd_1_1x' of value 1 of \"h\" is not of the form kind_i_j.\n"},
        {"equation 0", tagH1("hd_0_1"),
         e + "Tag 'hd_0_1' of value 1 of \"h\": equation i = 0 is outside 1..2.\n"},
        {"equation n+1", tagH1("hd_3_1"),
         e + "Tag 'hd_3_1' of value 1 of \"h\": equation i = 3 is outside 1..2.\n"},
        {"dependent j > n", tagH1("hd_1_3"),
         e + "Tag 'hd_1_3' of value 1 of \"h\": dependent variable j = 3 is outside 1..2.\n"},
        {"independent j > m", [](Model &m) { m.g[3].tag = "gi_2_3"; },
         e + "Tag 'gi_2_3' of value 4 of \"g\": independent variable j = 3 is outside 1..2.\n"},
        {"both indices out of range", tagH1("hi_9_0"),
         e + "Tag 'hi_9_0' of value 1 of \"h\": equation i = 9 is outside 1..2.\n" + e +
             "Tag 'hi_9_0' of value 1 of \"h\": independent variable j = 0 is outside 1..2.\n"},
        {"order not a number", [](Model &m) { m.h[1].value = std::nan(""); },
         e + "Value 2 of \"h\" is nan; a kinetic order must be a finite number.\n"},
        {"independent variable 0", [](Model &m) { m.xi[1] = 0.0; },
         e + "Value 2 of \"constantPlayer\" is 0; it must be positive.\n"},
        {"negative independent variable (shown unscaled)", [](Model &m) { m.xi[0] = -1.5; },
         e + "Value 1 of \"constantPlayer\" is -1.5; it must be positive.\n"},
        {"rate constants not positive",
         [](Model &m) {
             m.alpha[1] = 0.0;
             m.beta[0] = -2.0;
         },
         e + "Value 2 of \"kplus\" is 0; it must be positive.\n" + e +
             "Value 1 of \"kminus\" is -2; it must be positive.\n"},
        {"every bad tag is reported",
         [](Model &m) {
             m.g[0].tag = "gi_1_";
             m.h[2].tag = kNoTag;
         },
         e + "Tag 'gi_1_' of value 1 of \"g\" is not of the form kind_i_j.\n" + e +
             "Value 3 of \"h\" has no tag; kinetic orders need a tag kind_i_j.\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Model md = twoByTwo(2.0);
        c.change(md);
        load(md);
        std::vector<double> y(3, -7.0);
        int rc = 0;
        testing::internal::CaptureStdout();
        const std::string out = captureFpOut([&] { rc = doSolver12(y.data()); });
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.log + "\n## Error in SsysSTD.\n");
        EXPECT_EQ(rc, -1);
        EXPECT_EQ(out, "\n$$ Failure!!\n");
        EXPECT_EQ(y, std::vector<double>(3, -7.0));
        EXPECT_EQ(testFvecCalls(), 0);
    }
}

// ---- Tags ---------------------------------------------------------------------------------------

TEST(SSystemTags, KindAndIndicesAreReadFromTheTag) {
    struct Case {
        const char *tag;   // null: no tag stored
        int result, i, j;
    };
    const Case cases[] = {
        {"gd_1_2", 1, 1, 2},      {"gi_2_1", 0, 2, 1},     {"hd_12_345", 1, 12, 345},
        {"h_1_1", 0, 1, 1},       {"dep_3_4", 1, 3, 4},    {"_3_4", 0, 3, 4},
        {"gd_1_2\r", 1, 1, 2},    {nullptr, -1, 0, 0},     {"", -1, 0, 0},     {"gd12", -1, 0, 0},
        {"gd_1", -1, 0, 0},       {"gd_1_", -1, 0, 0},     {"gd__2", -1, 0, 0},
        {"gd_x_2", -1, 0, 0},     {"gd_1_2x", -1, 0, 0},   {"gd_1_2_3", -1, 0, 0},
        {"gd_-1_2", -1, 0, 0},    {"gd_1_+2", -1, 0, 0},   {"gd_99999999999_1", -1, 0, 0},
    };
    resetParamTab();
    ASSERT_EQ(addParam2Tab("g"), 0);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.tag ? c.tag : "(no tag)");
        freeParamTag();
        if (c.tag) {
            ASSERT_EQ(putParamTag(1, 1, c.tag), 0);
        }
        int i = 0, j = 0;
        EXPECT_EQ(get_param(1, 1, &i, &j), c.result);
        if (c.result >= 0) {
            EXPECT_EQ(i, c.i);
            EXPECT_EQ(j, c.j);
        }
    }
}

// ---- Driver path --------------------------------------------------------------------------------

TEST(SSystemDriver, TextModeWritesTheReportThenTheValueHeader) {
    const Model md = twoByTwo(2.0);
    load(md);
    const AnalysisRun alone = runAnalysis(md);
    std::vector<double> y(3, 0.0);
    int rc = 0;
    testing::internal::CaptureStdout();
    const std::string out = captureFpOut([&] { rc = doSolver12(y.data()); });
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(out, alone.report + "index,     y value\n");
}

TEST(SSystemDriver, SearchModeStoresOneRowAndWritesOnlyTheValueHeader) {
    const Model md = twoByTwo(2.0);
    load(md);
    F_GA = 1;
    std::vector<std::vector<double>> rows(3, std::vector<double>(3, -1.0));
    double *ptrs[3] = {rows[0].data(), rows[1].data(), rows[2].data()};
    SolutionMatrix = ptrs;
    StepNum = 1;
    std::vector<double> y(3, 0.0);
    int rc = 0;
    testing::internal::CaptureStdout();
    const std::string out = captureFpOut([&] { rc = doSolver12(y.data()); });
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    SolutionMatrix = nullptr;
    F_GA = 0;
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(out, "index,     y value\n");
    EXPECT_EQ(StepNum, 2);
    const std::vector<double> lnx = closedFormLnX(md);
    EXPECT_EQ(rows[0], std::vector<double>(3, -1.0));
    EXPECT_EQ(rows[1][0], 0.0);
    for (int i = 1; i <= 2; ++i) EXPECT_NEAR(rows[1][i], std::exp(lnx[i]) / md.gvalue, 1e-12 * rows[1][i]);
    EXPECT_EQ(rows[2], std::vector<double>(3, -1.0));
}

}  // namespace
