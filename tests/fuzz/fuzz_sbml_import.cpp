// Fuzzing harness for the SBML importer: the file named on the command line is read as an SBML
// model and, when the importer accepts it, translated into both generated files; the same file is
// also read as the measurements CSV of a small fixed model (written beside the system's temporary
// files at start) and turned into its fitness code. A refusal is a normal
// outcome; a crash, a sanitizer report or a hang is a finding.
//
//   fuzz_sbml_import <file>
//
// Under AFL++ instrumentation the reads are repeated in one process (persistent mode); every round
// starts from fresh records.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "quorvant/sbml/data_csv.h"
#include "quorvant/sbml/model_input_writer.h"
#include "quorvant/sbml/model_source_writer.h"
#include "quorvant/sbml/sbml_reader.h"

#ifndef __AFL_LOOP
// Without AFL++ the harness reads the file once.
static bool firstRound = true;
#define __AFL_LOOP(n) (firstRound ? (firstRound = false, true) : false)
#endif

namespace {

// The model the measurements are read for: species S and P, parameter k.
constexpr const char *kFixedModel = R"(<?xml version="1.0" encoding="UTF-8"?>
<sbml xmlns="http://www.sbml.org/sbml/level3/version2/core" level="3" version="2"><model id="fixed">
<listOfCompartments><compartment id="c" size="1" constant="true"/></listOfCompartments>
<listOfSpecies><species id="S" compartment="c" initialConcentration="1" hasOnlySubstanceUnits="false"
 boundaryCondition="false" constant="false"/><species id="P" compartment="c" initialConcentration="0"
 hasOnlySubstanceUnits="false" boundaryCondition="false" constant="false"/></listOfSpecies>
<listOfParameters><parameter id="k" value="1" constant="true"/></listOfParameters>
<listOfReactions><reaction id="R" reversible="false"><listOfReactants><speciesReference species="S"
 stoichiometry="1" constant="true"/></listOfReactants><listOfProducts><speciesReference species="P"
 stoichiometry="1" constant="true"/></listOfProducts><kineticLaw><math xmlns="http://www.w3.org/1998/Math/MathML">
<apply><times/><ci>k</ci><ci>S</ci></apply></math></kineticLaw></reaction></listOfReactions></model></sbml>
)";

qv::sbml::ImportedModel fixedModel;

size_t readOnce(const char *path) {
    qv::sbml::ImportOptions opts;
    qv::sbml::ImportedModel m;
    size_t bytes = 0;
    if (qv::sbml::import_sbml(path, opts, m).empty()) {
        bytes += qv::sbml::model_source(m, nullptr).size();
        bytes += qv::sbml::model_input(m, opts).size();
    }
    qv::sbml::DataSet d;
    if (qv::sbml::read_data_csv(path, fixedModel, d).empty()) bytes += qv::sbml::model_source(fixedModel, &d).size();
    return bytes;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_sbml_import <file>\n");
        return 2;
    }
    const auto fixedPath = std::filesystem::temp_directory_path() / "qv_fuzz_sbml_fixed.xml";
    std::ofstream(fixedPath) << kFixedModel;
    if (!qv::sbml::import_sbml(fixedPath.string(), {}, fixedModel).empty()) return 2;
    size_t total = 0;
    while (__AFL_LOOP(1000)) total += readOnce(argv[1]);
    return total == static_cast<size_t>(-1) ? 1 : 0;
}
