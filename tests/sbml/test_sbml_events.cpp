// What the importer makes of events: the flags, delays and priorities of each, the states their
// assignments set (a concentration in a compartment that events resize becomes an amount times
// the size), parameters and compartments that events set becoming states, the extra stops for
// triggers made of several comparisons, and the switching times of piecewise conditions on time.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "quorvant/sbml/sbml_reader.h"
#include "quorvant/sbml/event_source_writer.h"

namespace sb = qv::sbml;
namespace fs = std::filesystem;

namespace {

const char *kTime = "<csymbol encoding=\"text\" definitionURL=\"http://www.sbml.org/sbml/symbols/time\">t</csymbol>";

std::string math(const std::string &m) { return "<math xmlns=\"http://www.w3.org/1998/Math/MathML\">" + m + "</math>"; }
std::string apply(const std::string &op, const std::string &a, const std::string &b) {
    return "<apply><" + op + "/>" + a + b + "</apply>";
}
std::string ci(const std::string &id) { return "<ci>" + id + "</ci>"; }
std::string cn(const std::string &v) { return "<cn>" + v + "</cn>"; }

// S decays in V at a rate switched off at t = 5; E1 (S < 1, delayed, prioritised, values of the
// firing time, not persistent, initially false) refills S, doubles k and resizes V; E2 fires on the
// window t > 1 && S > 2.
const std::string kModel =
    "<listOfCompartments><compartment id=\"V\" size=\"2\" constant=\"false\"/></listOfCompartments>"
    "<listOfSpecies><species id=\"S\" compartment=\"V\" initialConcentration=\"3\" hasOnlySubstanceUnits=\"false\" "
    "boundaryCondition=\"false\" constant=\"false\"/></listOfSpecies>"
    "<listOfParameters><parameter id=\"k\" value=\"0.5\" constant=\"false\"/>"
    "<parameter id=\"n\" value=\"0\" constant=\"false\"/></listOfParameters>"
    "<listOfReactions><reaction id=\"R\" reversible=\"false\"><listOfReactants><speciesReference species=\"S\" "
    "stoichiometry=\"1\" constant=\"true\"/></listOfReactants><kineticLaw>" +
    math("<piecewise><piece>" + apply("times", apply("times", ci("k"), ci("S")), ci("V")) + apply("lt", kTime, cn("5")) +
         "</piece><otherwise>" + cn("0") + "</otherwise></piecewise>") +
    "</kineticLaw></reaction></listOfReactions>"
    "<listOfEvents>"
    "<event id=\"E1\" useValuesFromTriggerTime=\"false\"><trigger initialValue=\"false\" persistent=\"false\">" +
    math(apply("lt", ci("S"), cn("1"))) + "</trigger><delay>" + math(cn("0.5")) + "</delay><priority>" +
    math(cn("2")) + "</priority><listOfEventAssignments>"
    "<eventAssignment variable=\"S\">" + math(cn("3")) + "</eventAssignment>"
    "<eventAssignment variable=\"k\">" + math(apply("times", cn("2"), ci("k"))) + "</eventAssignment>"
    "<eventAssignment variable=\"V\">" + math(cn("4")) + "</eventAssignment>"
    "</listOfEventAssignments></event>"
    "<event id=\"E2\" useValuesFromTriggerTime=\"true\"><trigger initialValue=\"true\" persistent=\"true\">" +
    math(apply("and", apply("gt", kTime, cn("1")), apply("gt", ci("S"), cn("2")))) +
    "</trigger><listOfEventAssignments><eventAssignment variable=\"n\">" + math(apply("plus", ci("n"), cn("1"))) +
    "</eventAssignment></listOfEventAssignments></event>"
    "</listOfEvents>";

int state_of(const sb::ImportedModel &m, const std::string &id) {
    for (size_t k = 0; k < m.states.size(); ++k)
        if (m.states[k].id == id) return static_cast<int>(k) + 1;
    return 0;
}

}  // namespace

TEST(SbmlEvents, EventsTheirTargetsAndTheSwitchingTimesAreTranslated) {
    const fs::path dir = fs::temp_directory_path() / ("qv_sbml_events_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const fs::path file = dir / "model.xml";
    std::ofstream(file) << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                           "<sbml xmlns=\"http://www.sbml.org/sbml/level3/version2/core\" level=\"3\" version=\"2\">"
                           "<model id=\"m\">" << kModel << "</model></sbml>\n";
    sb::ImportedModel m;
    ASSERT_EQ(sb::import_sbml(file.string(), sb::ImportOptions{}, m), "");

    // Values that events set are states without rate; S in the resized V is held as an amount.
    const int V = state_of(m, "V"), S = state_of(m, "S"), k = state_of(m, "k"), n = state_of(m, "n");
    ASSERT_TRUE(V && S && k && n);
    EXPECT_EQ(m.states[V - 1].what, "compartment (set by events)");
    EXPECT_EQ(m.states[k - 1].what, "parameter (set by events)");
    EXPECT_EQ(m.states[S - 1].initial, 6.0);
    std::vector<double> y{0.0}, p{0.0};
    for (const auto &s : m.states) y.push_back(s.initial);
    for (const auto &q : m.params) p.push_back(q.value);
    const sb::Values at{y, p, {}};

    // E1, E2, the parts of E2's trigger, then the switch of the rate law at t = 5.
    ASSERT_EQ(m.events.size(), 5u);
    const sb::ImportedEvent &e1 = m.events[0], &e2 = m.events[1];
    EXPECT_EQ(e1.id, "'E1'");
    EXPECT_FALSE(e1.switch_only || e1.initial_value || e1.persistent || e1.trigger_values);
    EXPECT_EQ(sb::eval(e1.delay, at), 0.5);
    EXPECT_EQ(sb::eval(e1.priority, at), 2.0);
    EXPECT_EQ(sb::eval(e1.trigger, at), 0.0);
    EXPECT_EQ(sb::eval(e1.guide, at), 1.0 - 3.0);   // positive where S < 1
    ASSERT_EQ(e1.assignments.size(), 3u);
    EXPECT_EQ(e1.assignments[0].state, S);
    ASSERT_TRUE(e1.assignments[0].size);   // 3 per volume, times V once V is 4
    EXPECT_EQ(e1.assignments[0].size->op, sb::Op::State);
    EXPECT_EQ(e1.assignments[0].size->index, V);
    EXPECT_EQ(e1.assignments[1].state, k);
    EXPECT_EQ(sb::eval(e1.assignments[1].value, at), 1.0);
    EXPECT_EQ(e1.assignments[2].state, V);
    EXPECT_FALSE(e1.assignments[2].size);

    EXPECT_TRUE(e2.initial_value && e2.persistent && e2.trigger_values && !e2.delay && !e2.priority);
    EXPECT_EQ(sb::eval(e2.guide, at), std::min(0.0 - 1.0, 3.0 - 2.0));
    for (size_t i = 2; i < 5; ++i) EXPECT_TRUE(m.events[i].switch_only && m.events[i].assignments.empty()) << i;
    EXPECT_EQ(m.events[2].id, "part of the trigger of event 'E2'");
    EXPECT_EQ(m.events[4].id.rfind("switch at time ", 0), 0u);
    EXPECT_EQ(sb::eval(m.events[4].guide, at), 5.0);

    // The generated source declares every entry and assigns the concentration after the size.
    const std::string src = sb::event_source(m);
    EXPECT_NE(src.find("qv_event_count = 5;"), std::string::npos);
    EXPECT_LT(src.find("y[" + std::to_string(V) + "] = v[2];"), src.find("y[" + std::to_string(S) + "] = v[0] *"));
    fs::remove_all(dir);
}
