// What the importer makes of SBML's semantics, on small models with values worked out by hand: the
// state chosen for a species (amount or concentration), initial values from attributes and initial
// assignments, conversion factors, stoichiometries, time, boundary species; and the measurement
// reader's answers to malformed files.
#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "quorvant/sbml/data_csv.h"
#include "quorvant/sbml/model_jacobian.h"
#include "quorvant/sbml/sbml_reader.h"

namespace sb = qv::sbml;
namespace fs = std::filesystem;

namespace {

std::string math(const std::string &m) { return "<math xmlns=\"http://www.w3.org/1998/Math/MathML\">" + m + "</math>"; }
std::string ci(const std::string &id) { return "<ci>" + id + "</ci>"; }
std::string cn(const std::string &v) { return "<cn>" + v + "</cn>"; }
std::string times(const std::string &a, const std::string &b) { return "<apply><times/>" + a + b + "</apply>"; }

std::string species(const std::string &id, const std::string &comp, const std::string &init, bool only_amount = false,
                    const std::string &extra = "") {
    return "<species id=\"" + id + "\" compartment=\"" + comp + "\" " + init + " hasOnlySubstanceUnits=\"" +
           (only_amount ? "true" : "false") + "\" boundaryCondition=\"false\" constant=\"false\" " + extra + "/>";
}

// A reaction with a product only (reactants in `reactants`, raw XML).
std::string reaction(const std::string &id, const std::string &products, const std::string &law,
                     const std::string &reactants = "") {
    return "<reaction id=\"" + id + "\" reversible=\"false\">" +
           (reactants.empty() ? "" : "<listOfReactants>" + reactants + "</listOfReactants>") +
           (products.empty() ? "" : "<listOfProducts>" + products + "</listOfProducts>") + "<kineticLaw>" + math(law) +
           "</kineticLaw></reaction>";
}
std::string ref(const std::string &sp, const std::string &extra = "stoichiometry=\"1\"") {
    return "<speciesReference species=\"" + sp + "\" " + extra + " constant=\"true\"/>";
}

struct Expected {
    std::string id;
    double initial;
    double rate;   // dy/dt at the start
};

struct Case {
    const char *name;
    std::string body;   // inside <model>
    std::vector<Expected> states;
    double t_start = 0.0;
    std::vector<std::string> notes = {};
};

std::string lambda(const std::string &var, const std::string &body) {
    return "<lambda><bvar><ci>" + var + "</ci></bvar>" + body + "</lambda>";
}
std::string piece(const std::string &value, const std::string &cond, const std::string &other) {
    return "<piecewise><piece>" + value + cond + "</piece><otherwise>" + other + "</otherwise></piecewise>";
}
std::string apply(const std::string &op, const std::string &a, const std::string &b) {
    return "<apply><" + op + "/>" + a + b + "</apply>";
}

}  // namespace

TEST(SbmlSemantics, StatesInitialValuesAndRatesMatchHandComputedValues) {
    const std::string fixed = "<listOfCompartments><compartment id=\"c\" size=\"2\" constant=\"true\"/></listOfCompartments>";
    const std::vector<Case> cases = {
        {"concentration in a growing compartment is held as an amount",
         "<listOfCompartments><compartment id=\"V\" size=\"4\" constant=\"false\"/></listOfCompartments>"
         "<listOfSpecies>" + species("S", "V", "initialConcentration=\"2\"") + "</listOfSpecies>"
         "<listOfParameters><parameter id=\"k\" value=\"0.1\" constant=\"true\"/></listOfParameters>"
         "<listOfRules><rateRule variable=\"V\">" + math(cn("0.5")) + "</rateRule></listOfRules>"
         "<listOfReactions>" + reaction("R", "", times(times(ci("k"), ci("S")), ci("V")), ref("S")) + "</listOfReactions>",
         {{"V", 4.0, 0.5}, {"S", 8.0, -0.8}, {"time", 0.0, 1.0}}},
        {"concentration in a fixed compartment stays a concentration; amounts convert",
         fixed + "<listOfSpecies>" + species("A", "c", "initialAmount=\"6\"") + species("B", "c", "initialConcentration=\"3\"", true) +
         "</listOfSpecies><listOfReactions>" + reaction("R", ref("B"), ci("A"), ref("A")) + "</listOfReactions>",
         // rate = A (concentration 3) amount/time: A falls by 3 / 2, B (amount 6) rises by 3.
         {{"A", 3.0, -1.5}, {"B", 6.0, 3.0}, {"time", 0.0, 1.0}}},
        {"initial assignments in a chain, onto a species",
         fixed + "<listOfSpecies>" + species("S", "c", "") + "</listOfSpecies>"
         "<listOfParameters><parameter id=\"p1\" value=\"2\" constant=\"true\"/><parameter id=\"p2\" constant=\"true\"/></listOfParameters>"
         "<listOfInitialAssignments><initialAssignment symbol=\"S\">" + math("<apply><plus/>" + ci("p2") + cn("1") + "</apply>") +
         "</initialAssignment><initialAssignment symbol=\"p2\">" + math(times(ci("p1"), cn("3"))) + "</initialAssignment></listOfInitialAssignments>"
         "<listOfReactions>" + reaction("R", ref("S"), ci("p2")) + "</listOfReactions>",
         {{"S", 7.0, 3.0}, {"time", 0.0, 1.0}}},
        {"numbers as truth values in an initial assignment",
         fixed + "<listOfSpecies>" + species("S", "c", "initialConcentration=\"1\"") + "</listOfSpecies>"
         "<listOfParameters><parameter id=\"p\" value=\"9\" constant=\"true\"/></listOfParameters>"
         "<listOfInitialAssignments><initialAssignment symbol=\"p\">" +
         math("<piecewise><piece>" + cn("0") + cn("5") + "</piece><otherwise>" + cn("1") + "</otherwise></piecewise>") +
         "</initialAssignment></listOfInitialAssignments>"
         "<listOfReactions>" + reaction("R", ref("S"), "<apply><plus/>" + ci("p") + cn("4") + "</apply>") + "</listOfReactions>",
         {{"S", 1.0, 2.0}, {"time", 0.0, 1.0}}},
        {"conversion factor, stoichiometry set by an initial assignment, boundary species",
         fixed + "<listOfSpecies>" + species("S", "c", "initialConcentration=\"1\"", false, "conversionFactor=\"cf\"") +
         "<species id=\"B\" compartment=\"c\" initialConcentration=\"5\" hasOnlySubstanceUnits=\"false\" boundaryCondition=\"true\" constant=\"false\"/>"
         "</listOfSpecies><listOfParameters><parameter id=\"cf\" value=\"2\" constant=\"true\"/></listOfParameters>"
         "<listOfInitialAssignments><initialAssignment symbol=\"sr\">" + math(cn("3")) + "</initialAssignment></listOfInitialAssignments>"
         "<listOfReactions>" + reaction("R", ref("S", "id=\"sr\" stoichiometry=\"1\"") + ref("B"), ci("B")) + "</listOfReactions>",
         // rate 5 x stoichiometry 3 x factor 2 / size 2 = 15; the boundary species does not move.
         {{"S", 1.0, 15.0}, {"B", 5.0, 0.0}, {"time", 0.0, 1.0}}},
        {"time in an assignment rule, from a later start",
         fixed + "<listOfSpecies>" + species("S", "c", "initialConcentration=\"1\"") + "</listOfSpecies>"
         "<listOfParameters><parameter id=\"x\" constant=\"false\"/></listOfParameters>"
         "<listOfRules><assignmentRule variable=\"x\">" +
         math(times("<csymbol encoding=\"text\" definitionURL=\"http://www.sbml.org/sbml/symbols/time\">t</csymbol>", cn("2"))) +
         "</assignmentRule></listOfRules><listOfReactions>" + reaction("R", ref("S"), ci("x")) + "</listOfReactions>",
         {{"S", 1.0, 1.5}, {"time", 1.5, 1.0}}, 1.5},
        {"initial values in a chain through compartment sizes that rules compute with nested piecewise functions",
         // c2 = g(S3 amount 3) = 3, so S2 (concentration 2) holds the amount 6; c1 = g(S2 = 2) = 2, so S1
         // (concentration 0.5) holds the amount 1. g(v) = v between 0 and 10.
         "<listOfFunctionDefinitions><functionDefinition id=\"g\">" +
         math(lambda("v", piece(piece(ci("v"), apply("lt", ci("v"), cn("10")), cn("10")), apply("gt", ci("v"), cn("0")), cn("1")))) +
         "</functionDefinition></listOfFunctionDefinitions>"
         "<listOfCompartments><compartment id=\"c1\" constant=\"false\"/><compartment id=\"c2\" constant=\"false\"/>"
         "<compartment id=\"c3\" size=\"2\" constant=\"true\"/></listOfCompartments><listOfSpecies>" +
         species("S1", "c1", "initialConcentration=\"0.5\"") + species("S2", "c2", "initialConcentration=\"2\"") +
         species("S3", "c3", "initialConcentration=\"1.5\"", true) + "</listOfSpecies><listOfRules>"
         "<assignmentRule variable=\"c1\">" + math("<apply><ci>g</ci>" + ci("S2") + "</apply>") + "</assignmentRule>"
         "<assignmentRule variable=\"c2\">" + math("<apply><ci>g</ci>" + ci("S3") + "</apply>") + "</assignmentRule></listOfRules>",
         {{"S1", 1.0, 0.0}, {"S2", 6.0, 0.0}, {"S3", 3.0, 0.0}, {"time", 0.0, 1.0}}},
        {"a constant species in a growing compartment keeps its amount",
         "<listOfCompartments><compartment id=\"V\" size=\"4\" constant=\"false\"/></listOfCompartments><listOfSpecies>"
         "<species id=\"C\" compartment=\"V\" initialConcentration=\"2\" hasOnlySubstanceUnits=\"false\" "
         "boundaryCondition=\"false\" constant=\"true\"/>" + species("S", "V", "initialAmount=\"1\"") + "</listOfSpecies>"
         "<listOfRules><rateRule variable=\"V\">" + math(cn("0.5")) + "</rateRule></listOfRules>"
         "<listOfReactions><reaction id=\"R\" reversible=\"false\"><listOfProducts>" + ref("S") +
         "</listOfProducts><listOfModifiers><modifierSpeciesReference species=\"C\"/></listOfModifiers><kineticLaw>" +
         math(times(ci("C"), ci("V"))) + "</kineticLaw></reaction></listOfReactions>",
         // The reaction runs at concentration 2 x size 4 = 8 amount per time, however V grows.
         {{"V", 4.0, 0.5}, {"C", 8.0, 0.0}, {"S", 1.0, 8.0}, {"time", 0.0, 1.0}}},
        {"rules and initial assignments without math have no effect",
         fixed + "<listOfSpecies>" + species("S", "c", "initialConcentration=\"1\"") + "</listOfSpecies>"
         "<listOfParameters><parameter id=\"k\" value=\"3\" constant=\"false\"/>"
         "<parameter id=\"q\" value=\"5\" constant=\"false\"/></listOfParameters>"
         "<listOfInitialAssignments><initialAssignment symbol=\"S\"/></listOfInitialAssignments>"
         "<listOfRules><assignmentRule variable=\"k\"/><rateRule variable=\"q\"/></listOfRules>"
         "<listOfReactions>" + reaction("R", ref("S"), apply("plus", ci("k"), ci("q"))) + "</listOfReactions>",
         {{"S", 1.0, 4.0}, {"time", 0.0, 1.0}}, 0.0,
         {"assignment rule for 'k' has no math and is ignored", "rate rule for 'q' has no math and is ignored",
          "initial assignment for 'S' has no math and is ignored"}},
    };
    const fs::path dir = fs::temp_directory_path() / ("qv_sbml_semantics_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    for (const auto &tc : cases) {
        const fs::path file = dir / "model.xml";
        std::ofstream(file) << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                               "<sbml xmlns=\"http://www.sbml.org/sbml/level3/version2/core\" level=\"3\" version=\"2\">"
                               "<model id=\"m\">" << tc.body << "</model></sbml>\n";
        sb::ImportOptions opts;
        opts.t_start = tc.t_start;
        opts.t_end = tc.t_start + 10.0;
        sb::ImportedModel m;
        ASSERT_EQ(sb::import_sbml(file.string(), opts, m), "") << tc.name;
        ASSERT_EQ(m.states.size(), tc.states.size()) << tc.name;
        EXPECT_EQ(m.notes, tc.notes) << tc.name;
        std::vector<double> y{0.0}, p{0.0};
        for (const auto &s : m.states) y.push_back(s.initial);
        for (const auto &q : m.params) p.push_back(q.value);
        const std::vector<sb::Expr> rhs = sb::inlined_rhs(m);
        for (size_t k = 0; k < tc.states.size(); ++k) {
            EXPECT_EQ(m.states[k].id, tc.states[k].id) << tc.name;
            EXPECT_NEAR(m.states[k].initial, tc.states[k].initial, 1e-12) << tc.name << ": " << tc.states[k].id;
            EXPECT_NEAR(sb::eval(rhs[k], {y, p, {}}), tc.states[k].rate, 1e-12) << tc.name << ": d" << tc.states[k].id;
        }
    }
    fs::remove_all(dir);
}

TEST(SbmlSemantics, MeasurementFilesAreReadOrRefusedWithTheLine) {
    sb::ImportedModel m;
    sb::Observable s;
    s.id = "S";
    m.observables = {s, s};
    m.observables[1].id = "k";
    struct Row {
        const char *text;
        const char *error;   // "" when accepted
        size_t rows;
    };
    const Row table[] = {
        {"time,S,k\r\n0,1,2\r\n\r\n# a comment\r\n1,,3\r\n", "", 2},
        {"\"time\", \"S\"\n0, NaN\n2.5, 1e-3\n", "", 2},
        {"time,S\n0,1,2\n", "data.csv:2: 3 cells, the header has 2", 0},
        {"time,S,S\n0,1,2\n", "data.csv:1: id 'S' heads two columns", 0},
        {"time\n0\n", "data.csv:1: the header needs a time column and at least one id", 0},
        {"time,S\n", "data.csv: no data rows", 0},
        {"", "data.csv: no header line", 0},
        {"time,S\n1,2\n1,3\n", "data.csv:3: time 1 does not follow the previous row's time", 0},
        {"time,S\nx,2\n", "data.csv:2: time 'x' is not a number", 0},
        {"time,S\n0,inf\n", "data.csv:2: value 'inf' of S is not a number", 0},
    };
    const fs::path dir = fs::temp_directory_path() / ("qv_sbml_csv_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const fs::path cwd = fs::current_path();
    fs::current_path(dir);
    for (const auto &r : table) {
        std::ofstream("data.csv", std::ios::binary) << r.text;
        sb::DataSet d;
        EXPECT_EQ(sb::read_data_csv("data.csv", m, d), r.error) << r.text;
        if (*r.error == '\0') {
            EXPECT_EQ(d.times.size(), r.rows) << r.text;
            EXPECT_EQ(d.values.size(), r.rows) << r.text;
        }
    }
    sb::DataSet d;
    ASSERT_EQ(sb::read_data_csv("data.csv", m, d), "data.csv:2: value 'inf' of S is not a number");
    std::ofstream("data.csv") << "time,k,S\n0.5,,7\n";
    ASSERT_EQ(sb::read_data_csv("data.csv", m, d), "");
    EXPECT_EQ(d.columns, (std::vector<int>{1, 0}));
    EXPECT_TRUE(std::isnan(d.values[0][0]));
    EXPECT_EQ(d.values[0][1], 7.0);
    fs::current_path(cwd);
    fs::remove_all(dir);
}
