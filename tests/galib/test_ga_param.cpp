// The GA parameter file: one table of files, each with its result, its exact log and the record
// fields it must leave behind.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <ostream>
#include <sstream>
#include <string>
#include <unistd.h>

#include "quorvant/galib/ga_param.h"
#include "quorvant/galib/ga_types.h"

namespace {

// Lines of a valid file for 3 variables.
const std::string E = "ENCODE;REAL;\n";
const std::string G = "GATYPE;DGA;200;;2;40;RandomRing;10;0.2;\n";
const std::string D = "DIGENESIS;MGG;;\n";
const std::string C = "CROSSOVER;UNDXm;;;;\n";
const std::string M = "MUTATION;NONE;\n";
const std::string EG = E + G;
const std::string EB = "ENCODE;BINARY;4;\n" + G;   // 3 variables of 4 bits: gene length 12
const std::string kOmitted =
    " ## Error. All keywords(GATYPE, DIGENESIS, CROSSOVER, MUTATION) cannot be omitted.\n";
const std::string kSecondRank =
    " ## Error: Describe \"ENCODE\" at top rank, and \"GATYPE\" at second rank.\n";

struct Case {
    const char *name;
    int numVariable;
    std::string text;
    int rc;
    std::string log;
    std::string fields;   // "name=value ..." of record fields that must hold afterwards
};

// Test names only, instead of the bytes of the record.
void PrintTo(const Case &c, std::ostream *os) { *os << c.name; }

std::string fmt(double v) {
    char s[64];
    std::snprintf(s, sizeof s, "%.15g", v);
    return s;
}

// Every field of the configuration sub-records, by name, as text.
std::map<std::string, std::string> recordFields(const gaparam &p) {
    const auto &e = p.gaEncodeParam;
    const auto &t = p.gaTypeParam;
    const auto &d = p.digenesisParam;
    const auto &c = p.crossoverParam;
    const auto &m = p.mutationParam;
    auto i = [](auto v) { return std::to_string(static_cast<int>(v)); };
    return {
        {"encodeType", i(e.encodeType)}, {"quantumNumber", i(e.quantumNumber)},
        {"geneLength", i(e.geneLength)}, {"gaType", i(t.gaType)},
        {"maxGeneration", i(t.maxGeneration)}, {"totalPopulation", i(t.totalPopulation)},
        {"numIsland", i(t.numIsland)}, {"islandPopulation", i(t.islandPopulation)},
        {"immigrationSwitch", i(t.immigrationSwitch)},
        {"immigrationInterval", i(t.immigrationInterval)}, {"numImmigrants", i(t.numImmigrants)},
        {"integrateGeneration", i(t.integrateGeneration)}, {"finValue", fmt(t.finValue)},
        {"immigrationRate", fmt(t.immigrationRate)}, {"digenesisType", i(d.digenesisType)},
        {"numElite", i(d.numElite)}, {"selectionType", i(d.selectionType)},
        {"tournamentSize", i(d.tournamentSize)}, {"numMGGChildren", i(d.numMGGChildren)},
        {"crossoverType", i(c.crossoverType)}, {"numParent", i(c.numParent)}, {"m", i(c.m)},
        {"alpha", fmt(c.alpha)}, {"beta", fmt(c.beta)}, {"mutationType", i(m.mutationType)},
        {"mutationRate", fmt(m.mutationRate)}, {"fixedWidth", fmt(m.fixedWidth)},
    };
}

// clang-format off
const Case kCases[] = {
    // The complete example: comments and blanks anywhere, CRLF line ends.
    {"example", 3,
     "# GA settings\n\n ENCODE ; REAL ;   # real-coded\n\t GATYPE;DGA;200;;2;40;RandomRing;10;0.2;\r\n"
     "DIGENESIS;MGG;;\n   # mutation next\nMUTATION;NONE;\nCROSSOVER;UNDXm;;;;\n   ", 0, "",
     "encodeType=1 quantumNumber=1 geneLength=3 gaType=1 maxGeneration=200 finValue=-1e-10 "
     "numIsland=2 islandPopulation=40 totalPopulation=80 immigrationSwitch=2 immigrationInterval=10 "
     "immigrationRate=0.2 numImmigrants=8 digenesisType=2 numMGGChildren=40 selectionType=3 "
     "crossoverType=3 alpha=1 beta=0.35 m=1 numParent=3 mutationType=7 tournamentSize=0"},
    {"missing_file", 3, "", -1, " ## Error: Cannot open parmeter file:@\n", ""},
    {"empty_file", 3, "\n# nothing\n", -1, kOmitted, ""},
    {"missing_mutation", 3, EG + D + C, -1, kOmitted, "crossoverType=3"},

    // Keywords, their order and duplicates.
    {"unknown_keyword", 3, E + "SELECTION;Roulette;\n", -1, " ## Error: Unknown keyword:SELECTION\n", ""},
    {"keyword_case", 3, "encode;REAL;\n", -1, " ## Error: Unknown keyword:encode\n", ""},
    {"keyword_without_semicolon", 3, "ENCODE\n", -1, " ## Error: Unknown keyword:ENCODE\n\n", ""},
    {"gatype_first", 3, G, -1, " ## Error: Describe \"ENCODE\" at top rank.\n", ""},
    {"digenesis_before_gatype", 3, E + D, -1, kSecondRank, ""},
    {"mutation_first", 3, M, -1, kSecondRank, ""},
    {"duplicate_encode", 3, E + E, -1, " ## Error: Duplicate keyword:ENCODE\n", ""},
    {"duplicate_mutation", 3, EG + M + M, -1, " ## Error: Duplicate keyword:MUTATION\n", ""},

    // ENCODE.
    {"encode_no_field", 3, "ENCODE;\n", -1, " ## Error: Shortage of parameters for BGA.\n", ""},
    {"encode_empty_type", 3, "ENCODE;;\n", -1, " ## Error: No selected choice: ENCODE\n", ""},
    {"encode_unknown", 3, "ENCODE;Real;\n", -1, " ## Error: Unknown encode type:Real\n", ""},
    {"encode_real_redundant", 3, "ENCODE;REAL;8;\n", -1,
     " ## Warning: Redundant parameters for RGA.\n" + kOmitted, "quantumNumber=1 geneLength=3"},
    {"encode_binary_unended", 3, "ENCODE;BINARY;12\n", -1, " ## Error: Shortage of parameters for BGA.\n", ""},
    {"encode_binary_default", 20, "ENCODE;BINARY;;\n", -1, kOmitted,
     "encodeType=2 quantumNumber=10 geneLength=200"},
    {"encode_gray_400", 20, "ENCODE;GRAY;20;\n", -1, kOmitted, "encodeType=3 geneLength=400"},
    {"encode_gray_500", 20, "ENCODE;GRAY;25;\n", -1,
     " ## Error: BGA's gene length(numVariable * quantumNumber must be smaller than equal 400.\n", ""},
    {"encode_limit_after_redundant", 20, "ENCODE;GRAY;25;1;\n", -1,
     " ## Warning: Redundant parameters for BGA.\n"
     " ## Error: BGA's gene length(numVariable * quantumNumber must be smaller than equal 400.\n", ""},
    {"encode_binary_redundant", 3, "ENCODE;BINARY;8;9;10;\n", -1,
     " ## Warning: Redundant parameters for BGA.\n" + kOmitted, "quantumNumber=8 geneLength=24"},
    {"encode_quantum_zero", 3, "ENCODE;BINARY;0;\n", -1,
     " ## Error: Quantum number must be a positive interger.\n", ""},
    {"encode_quantum_text", 3, "ENCODE;BINARY;abc;\n", -1,
     " ## Error: Quantum number must be a positive interger.\n", ""},
    {"encode_quantum_huge", 3, "ENCODE;BINARY;99999999999999999999;\n", -1,
     " ## Error: Quantum number must be smaller than equal 30.\n", ""},
    {"encode_quantum_31", 1, "ENCODE;BINARY;31;\n", -1, " ## Error: Quantum number must be smaller than equal 30.\n", ""},
    {"encode_quantum_30", 1, "ENCODE;BINARY;30;\n", -1, kOmitted, "quantumNumber=30 geneLength=30"},

    // GATYPE.
    {"gatype_no_field", 3, E + "GATYPE;\n", -1, " ## Error: No selected choice: GATYPE\n", ""},
    {"gatype_empty_type", 3, E + "GATYPE;;\n", -1, " ## Error: No selected choice: GATYPE\n", ""},
    {"gatype_unknown", 3, E + "GATYPE;PGA;\n", -1, " ## Error: Unknown ga type:PGA\n", ""},
    {"gatype_dga_defaults", 3, E + "GATYPE;DGA;;;;;;;;\n", -1, kOmitted,
     "maxGeneration=100 finValue=-1e-10 numIsland=3 islandPopulation=30 totalPopulation=90 "
     "immigrationSwitch=1 immigrationInterval=3 immigrationRate=0.1 numImmigrants=3"},
    {"gatype_dga_no_rate", 3, E + "GATYPE;DGA;5;1.5;2;10;ON;4;\n", -1, kOmitted,
     "maxGeneration=5 finValue=1.5 immigrationSwitch=1 immigrationInterval=4 immigrationRate=0 "
     "numImmigrants=0"},
    {"gatype_dga_short", 3, E + "GATYPE;DGA;5;;2;10;RandomSwap;\n", -1,
     " ## Error: Shortage of parameters for DGA(immigration on)\n", ""},
    {"gatype_dga_short_no_switch", 3, E + "GATYPE;DGA;5;;2;10;\n", -1,
     " ## Error: Shortage of parameters for DGA(immigration on)\n", ""},
    {"gatype_dga_off", 3, E + "GATYPE;DGA;5;;1;10;OFF;\n", -1, kOmitted,
     "numIsland=1 immigrationSwitch=3 immigrationInterval=0"},
    {"gatype_dga_off_redundant", 3, E + "GATYPE;DGA;5;;2;10;OFF;7;0.5;\n", -1,
     " ## Warning: Redundant prameters for DGA(immigration off).\n" + kOmitted,
     "immigrationSwitch=3 immigrationInterval=0 immigrationRate=0"},
    {"gatype_dga_on_redundant", 3, E + "GATYPE;DGA;5;;2;10;RandomRing;7;0.5;x;\n", -1,
     " ## Warning: Redundant parameters for DGA(immigration on).\n" + kOmitted, "numImmigrants=5"},
    {"gatype_one_island_swap", 3, E + "GATYPE;DGA;5;;1;10;RandomSwap;1;\n", -1,
     "Error: There is a island. Cannot emigrate.\n", ""},
    {"gatype_one_island_on", 3, E + "GATYPE;DGA;5;;1;10;ON;1;\n", -1,
     "Error: There is a island. Cannot emigrate.\n", ""},
    {"gatype_one_island_ring", 3, E + "GATYPE;DGA;5;;1;10;RandomRing;1;\n", -1,
     "Error: There is a island. Set immigration switch OFF.\n", ""},
    {"gatype_one_island_default_switch", 3, E + "GATYPE;DGA;5;;1;10;;1;\n", -1, kOmitted,
     "numIsland=1 immigrationSwitch=1"},
    {"gatype_unknown_switch", 3, E + "GATYPE;DGA;5;;2;10;Swap;1;\n", -1,
     "Error: There is a island. Set immigration switch OFF.\n", ""},
    {"gatype_diga_defaults", 3, E + "GATYPE;DIGA;;;;;;\n", -1, kOmitted,
     "gaType=2 integrateGeneration=5 islandPopulation=30"},
    {"gatype_diga_five_fields", 3, E + "GATYPE;DIGA;9;;2;6;\n", -1, kOmitted,
     "integrateGeneration=0 totalPopulation=12"},
    {"gatype_diga_short", 3, E + "GATYPE;DIGA;9;;2;\n", -1, " ## Error: Shortage of parameters for DIGA\n", ""},
    {"gatype_diga_redundant", 3, E + "GATYPE;DIGA;9;;2;6;4;1;\n", -1,
     " ## Warning: Redundant parameters for DIGA\n" + kOmitted, "integrateGeneration=4"},
    {"gatype_generation_zero", 3, E + "GATYPE;DGA;0;\n", -1,
     " ## Error: Max generation must be a positive interger.\n", ""},
    {"gatype_generation_prefix", 3, E + "GATYPE;DIGA;12abc;;2;6;\n", -1, kOmitted, "maxGeneration=12"},
    {"gatype_generation_huge", 3, E + "GATYPE;DIGA;99999999999;;2;6;\n", -1, kOmitted,
     "maxGeneration=2147483647"},
    {"gatype_islands_negative", 3, E + "GATYPE;DGA;5;;-2;\n", -1,
     " ## Error: Number of island must be a positive interger.\n", ""},
    {"gatype_population_lowest", 3, E + "GATYPE;DIGA;5;;2;5;\n", -1, kOmitted, "islandPopulation=5"},
    {"gatype_population_low", 3, E + "GATYPE;DIGA;5;;2;4;\n", -1,
     " ## Error: Island population must be larger than number of variables + 2: 5.\n", ""},
    {"gatype_population_text", 3, E + "GATYPE;DIGA;5;;2;many;\n", -1,
     " ## Error: Island population must be larger than number of variables + 2: 5.\n", ""},
    {"gatype_population_highest", 3, E + "GATYPE;DIGA;5;;2;1000;\n", -1, kOmitted, "totalPopulation=2000"},
    {"gatype_population_high", 3, E + "GATYPE;DIGA;5;;2;1001;\n", -1,
     " ## Error: Island population must be smaller than equal 1000.\n", ""},
    {"gatype_total_overflow", 3, E + "GATYPE;DIGA;5;;2147483647;1000;\n", -1,
     " ## Error: Total population (number of islands * island population) must be smaller than equal "
     "2147483647.\n", ""},
    {"gatype_integrate_zero", 3, E + "GATYPE;DIGA;5;;2;6;0;\n", -1,
     " ## Error: Integrate generation must be a positive interger.\n", ""},
    {"gatype_interval_zero", 3, E + "GATYPE;DGA;5;;2;6;ON;0;\n", -1,
     " ## Error: Immigration interval must be a positive integer.\n", ""},
    {"gatype_rate_high", 3, E + "GATYPE;DGA;5;;2;6;ON;1;1.5;\n", -1,
     " ## Error: Immigration rate must be in region [0,1]\n", ""},
    {"gatype_rate_nan", 3, E + "GATYPE;DGA;5;;2;6;ON;1;nan;\n", -1,
     " ## Error: Immigration rate must be in region [0,1]\n", ""},
    {"gatype_rate_one", 3, E + "GATYPE;DGA;5;;2;7;ON;1;1;\n", -1, kOmitted, "numImmigrants=7"},

    // DIGENESIS (after 2 islands of 40 with 8 immigrants).
    {"digenesis_no_field", 3, EG + "DIGENESIS;\n", -1, " ## Error: No selected choice: DIGENESIS\n", ""},
    {"digenesis_unknown", 3, EG + "DIGENESIS;SSGA;\n", -1, " ## Error: Unknown digenesis type:SSGA\n", ""},
    {"normal_defaults", 3, EG + "DIGENESIS;NORMAL;;;;\n" + C + M, 0, "",
     "digenesisType=1 numElite=3 selectionType=2 tournamentSize=2"},
    {"normal_elite_negative", 3, EG + "DIGENESIS;NORMAL;-1;\n", -1,
     " ## Error: Number of elites must be a positive interger or 0.\n", ""},
    {"normal_elite_population", 3, EG + "DIGENESIS;NORMAL;40;\n", -1,
     " ## Error: Number of elites must be smaller than island population.\n", ""},
    {"normal_elite_immigrants", 3, EG + "DIGENESIS;NORMAL;32;\n", -1,
     " ## Error: Number of elites must be smaller than (Island population - Number of immigrants).\n", ""},
    {"normal_elite_highest", 3, EG + "DIGENESIS;NORMAL;31;Roulette;\n", -1, kOmitted,
     "numElite=31 selectionType=1 tournamentSize=0"},
    {"normal_short", 3, EG + "DIGENESIS;NORMAL;2;\n", -1,
     " ## Error. Shortage of parameters for a normal digenesis.\n", ""},
    {"normal_tournament_short", 3, EG + "DIGENESIS;NORMAL;2;Tournament;\n", -1,
     " ## Error: Shortage of parameters for a normal digenesis(Tounament).\n", ""},
    {"normal_default_selection_short", 3, EG + "DIGENESIS;NORMAL;2;;\n", -1,
     " ## Error: Shortage of parameters for a normal digenesis(Tounament).\n", ""},
    {"normal_unknown_selection", 3, EG + "DIGENESIS;NORMAL;2;Best;\n", -1,
     " ## Error: Unknown selection type: Best\n", ""},
    {"normal_tournament_zero", 3, EG + "DIGENESIS;NORMAL;2;Tournament;0;\n", -1,
     " ## Error: Tounament Size must be a positive interger.\n", ""},
    {"normal_roulette_redundant", 3, EG + "DIGENESIS;NORMAL;2;Roulette;3;\n", -1,
     " ## Warning: Redundant parameters for a roulette selection.\n" + kOmitted, "tournamentSize=0"},
    {"normal_random_redundant", 3, EG + "DIGENESIS;NORMAL;2;Random;3;\n", -1,
     " ## Warning: Redundant parameters for a random selection.\n" + kOmitted, "selectionType=3"},
    {"normal_tournament_redundant", 3, EG + "DIGENESIS;NORMAL;2;Tournament;3;4;\n", -1,
     " ## Warning: Redundant parameters for a tounement selection.\n" + kOmitted, "tournamentSize=3"},
    {"mgg_default_capped", 3, E + "GATYPE;DIGA;5;;2;1000;\nDIGENESIS;MGG;;\n", -1, kOmitted,
     "numMGGChildren=998 selectionType=3"},
    {"mgg_short", 3, EG + "DIGENESIS;MGG;\n", -1, " ## Error: Shortage of parameters for MGG.\n", ""},
    {"mgg_children_zero", 3, EG + "DIGENESIS;MGG;0;\n", -1,
     " ## Error: Number of MGG's children must be a positive interger.\n", ""},
    {"mgg_children_high", 3, EG + "DIGENESIS;MGG;999;\n", -1,
     " ## Error: Number of MGG's children must be smaller than equal 998.\n", ""},
    {"mgg_redundant", 3, EG + "DIGENESIS;MGG;998;Tournament;\n", -1,
     " ## Warning: Redundand parameters for MGG.\n" + kOmitted, "numMGGChildren=998 selectionType=3"},

    // CROSSOVER.
    {"crossover_no_field", 3, EG + "CROSSOVER;\n", -1, " ## Error: No selected choice: Crossover type\n", ""},
    {"crossover_unknown", 3, EG + "CROSSOVER;SBX;\n", -1, " ## Error: Unknown crossover type:SBX\n", ""},
    {"blx_default", 3, EG + "CROSSOVER;BLX;;\n", -1, kOmitted, "alpha=0.5 numParent=2"},
    {"blx_short", 3, EG + "CROSSOVER;BLX;\n", -1, " ## Error: Shortage of parameters for BLX.\n", ""},
    {"blx_alpha_zero", 3, EG + "CROSSOVER;BLX;0;\n", -1, " ## Error: BLX's parameter alpha must be positive.\n", ""},
    {"blx_redundant", 3, EG + "CROSSOVER;BLX;0.3;;\n", -1,
     " ## Warning: Redundant parameters for BLX\n" + kOmitted, "alpha=0.3 numParent=2"},
    {"blx_binary", 3, EB + "CROSSOVER;BLX;;\n", -1, " ## Error: BLX is a crossover for RGA.\n", ""},
    {"undx_defaults", 3, EG + "CROSSOVER;UNDX;;;\n", -1, kOmitted, "alpha=1 beta=0.35 m=1 numParent=3"},
    {"undx_short", 3, EG + "CROSSOVER;UNDX;;\n", -1, " ## Error: Shortage of parameters for UNDX.\n", ""},
    {"undx_alpha_negative", 3, EG + "CROSSOVER;UNDX;-1;\n", -1,
     " ## Error: UNDX(UNDXm)'s parameter alpha must be positive.\n", ""},
    {"undx_beta_zero", 3, EG + "CROSSOVER;UNDX;1;0;\n", -1, " ## Error: UNDX(UNDXm)'s beta must be positive.\n", ""},
    {"undx_redundant", 3, EG + "CROSSOVER;UNDX;2;0.5;3;\n", -1,
     " ## Warning: Redandunt parameters for UNDX.\n" + kOmitted, "alpha=2 beta=0.5 m=1 numParent=3"},
    {"undx_gray", 3, "ENCODE;GRAY;4;\n" + G + "CROSSOVER;UNDX;;;\n", -1,
     " ## Error: UNDX is a crossover for RGA.\n", ""},
    {"undxm_default_m", 7, E + "GATYPE;DIGA;5;;2;9;\nCROSSOVER;UNDXm;;;;\n", -1, kOmitted, "m=5 numParent=7"},
    {"undxm_m_all", 3, EG + "CROSSOVER;UNDXm;;;3;\n", -1, kOmitted, "m=3 numParent=5"},
    {"undxm_m_high", 3, EG + "CROSSOVER;UNDXm;;;4;\n", -1,
     " ## Error: UNDXm's m must be smaller than equal number of variables.\n", ""},
    {"undxm_m_zero", 3, EG + "CROSSOVER;UNDXm;;;0;\n", -1, " ## Error: UNDXm's m must be a positive integer.\n", ""},
    {"undxm_short", 3, EG + "CROSSOVER;UNDXm;;;\n", -1, " ## Error: Shortage of parameters for UNDXm.\n", ""},
    {"undxm_redundant", 3, EG + "CROSSOVER;UNDXm;;;2;;\n", -1,
     " ## Warning: Redundant parameters for UNDXm.\n" + kOmitted, "m=2 numParent=4"},
    {"spx_default", 3, EG + "CROSSOVER;SPX;;\n", -1, kOmitted, "alpha=2.23606797749979 numParent=4"},
    {"spx_short", 3, EG + "CROSSOVER;SPX;\n", -1, " ## Error: Shortage of parameters for SPX.\n", ""},
    {"spx_epsilon_zero", 3, EG + "CROSSOVER;SPX;0;\n", -1, " ## Error: SPX's epsilon must be positive.\n", ""},
    {"spx_redundant", 3, EG + "CROSSOVER;SPX;1;1;\n", -1,
     " ## Warning: Redundant parameters for SPX\n" + kOmitted, "alpha=1 numParent=4"},
    {"npoints_real", 3, EG + "CROSSOVER;NPOINTS;;\n", -1, " ## Error: NPOINTS is a crossover for BGA.\n", ""},
    {"npoints_default", 3, EB + "CROSSOVER;NPOINTS;;\n", -1, kOmitted, "m=1 numParent=2"},
    {"npoints_highest", 3, EB + "CROSSOVER;NPOINTS;11;\n", -1, kOmitted, "m=11 numParent=2"},
    {"npoints_gene_length", 3, EB + "CROSSOVER;NPOINTS;12;\n", -1,
     " ## Error: N points crossover's 'n' must be smaller than gene length 12.\n", ""},
    {"npoints_zero", 3, EB + "CROSSOVER;NPOINTS;0;\n", -1,
     " ## Error: N points crossover's 'n' must be a positive interger.\n", ""},
    {"npoints_real_field", 3, EB + "CROSSOVER;NPOINTS;2.9;\n", -1, kOmitted, "m=2"},
    {"npoints_short", 3, EB + "CROSSOVER;NPOINTS;\n", -1,
     " ## Error: Shortage of parameters for N points crossover.\n", ""},
    {"npoints_redundant_empty", 3, EB + "CROSSOVER;NPOINTS;2;;\n", -1,
     " ## Warning: Redundant parameters for N points crossover.\n" + kOmitted, "m=2 numParent=2"},
    {"none_crossover", 3, EB + "CROSSOVER;NONE;\n", -1, kOmitted, "crossoverType=6 numParent=0"},
    {"none_crossover_redundant", 3, EG + "CROSSOVER;NONE;1;\n", -1,
     " ## Warning: Redundant parameters for no crossover.\n" + kOmitted, "crossoverType=6 numParent=0"},

    // MUTATION.
    {"mutation_no_field", 3, EG + "MUTATION;\n", -1, " ## Error: No selected choice: Mutation type\n", ""},
    {"mutation_unended", 3, EG + "MUTATION;NONE", -1, " ## Error: No selected choice: Mutation type\n", ""},
    {"mutation_unknown", 3, EG + "MUTATION;Uniform;\n", -1, " ## Error: Unknown mutation type:Uniform\n", ""},
    {"region_uni_default", 3, EG + "MUTATION;RegionUni;;\n", -1, kOmitted,
     "mutationType=1 mutationRate=0.333333333333333"},
    {"region_uni_short", 3, EG + "MUTATION;RegionUni;\n", -1,
     " ## Error: Shortage of parameters for RregionUni.\n", ""},
    {"region_uni_redundant", 3, EG + "MUTATION;RegionUni;0.5;1;\n", -1,
     " ## Warning: Redundant parameters for RegionUni.\n" + kOmitted, "mutationRate=0.5"},
    {"region_uni_binary", 3, EB + "MUTATION;RegionUni;;\n", -1,
     " ## Error: RegionUni is a mutation for RGA.\n", ""},
    {"rate_high", 3, EG + "MUTATION;VariableUni;1.01;\n", -1,
     " ## Error: Mutation rate must be in region [0, 1]\n", ""},
    {"rate_infinite", 3, EG + "MUTATION;VariableUni;inf;\n", -1,
     " ## Error: Mutation rate must be in region [0, 1]\n", ""},
    {"fixed_uni_default", 3, EG + "MUTATION;FixedUni;0.1;;\n", -1, kOmitted,
     "mutationType=2 mutationRate=0.1 fixedWidth=20"},
    {"fixed_normal_default", 3, EG + "MUTATION;FixedNormal;0;;\n", -1, kOmitted,
     "mutationType=3 mutationRate=0 fixedWidth=2"},
    {"fixed_short", 3, EG + "MUTATION;FixedNormal;0.1;\n", -1,
     " ## Error: Shortage of parameters for FixedUni(FixedNormal).\n", ""},
    {"fixed_width_zero", 3, EG + "MUTATION;FixedUni;0.1;0;\n", -1, " ## Error: Fixed width must be positive.\n", ""},
    {"fixed_sd_negative", 3, EG + "MUTATION;FixedNormal;0.1;-2;\n", -1,
     " ## Error: Standard deviation must be positive.\n", ""},
    {"fixed_redundant", 3, EG + "MUTATION;FixedUni;0.1;5;6;\n", -1,
     " ## Warning: Redundant parameters for FixedUni(Normal).\n" + kOmitted, "fixedWidth=5"},
    {"variable_short", 3, EG + "MUTATION;VariableNormal;\n", -1,
     " ## Error: Shortage of parameters for VariableUni(VariableNormal).\n", ""},
    {"variable_redundant", 3, EG + "MUTATION;VariableNormal;1;x;\n", -1,
     " ## Warning: Redundant parameters for VariableUni(Normal).\n" + kOmitted, "mutationType=5 mutationRate=1"},
    {"bit_reverse_default", 3, EB + "MUTATION;BitReverse;;\n", -1, kOmitted,
     "mutationType=6 mutationRate=0.0833333333333333"},
    {"bit_reverse_short", 3, EB + "MUTATION;BitReverse;\n", -1,
     " ## Error: Shortage of parameters for BitReverse.\n", ""},
    {"bit_reverse_redundant", 3, EB + "MUTATION;BitReverse;0.2;0.3;\n", -1,
     " ## Warning: Redundant parameters for BitReverse.\n" + kOmitted, "mutationRate=0.2"},
    {"bit_reverse_real", 3, EG + "MUTATION;BitReverse;;\n", -1, " ## Error: BitReverse is a mutation for BGA.\n", ""},
    {"no_mutation_redundant", 3, EG + "MUTATION;NONE;0.5;\n", -1,
     " ## Warning: Redundant parameters for no mutation.\n" + kOmitted, "mutationType=7 mutationRate=0"},

    // Checks after the last line: the largest tournament is islandPopulation - numParent + 1.
    {"tournament_largest", 3, EG + "DIGENESIS;NORMAL;2;Tournament;39;\nCROSSOVER;BLX;;\n" + M, 0, "",
     "tournamentSize=39"},
    {"tournament_too_large", 3, EG + "DIGENESIS;NORMAL;2;Tournament;40;\nCROSSOVER;BLX;;\n" + M, -1,
     " ## Error. Tournament size is too large. Set value <= 39.\n", ""},
    {"tournament_checked_first", 3, EG + "DIGENESIS;NORMAL;2;Tournament;40;\nCROSSOVER;BLX;;\n", -1,
     " ## Error. Tournament size is too large. Set value <= 39.\n", ""},

    // Line lengths: 511 characters without blanks (the newline included) are read, 512 are not, and a physical line must
    // fit the read buffer whatever it holds.
    {"line_511", 3, "#" + std::string(509, 'x') + "\n" + E + G + D + C + M, 0, "", "encodeType=1"},
    {"line_512", 3, E + "#" + std::string(510, 'x') + "\n", -1,
     " ## Error: Too long line in parameter file (more than 511 characters without blanks).\n", ""},
    {"line_blanks", 3, std::string(4000, ' ') + E + G + D + C + M, 0, "", "encodeType=1"},
    {"line_over_buffer", 3, std::string(9000, ' ') + E, -1,
     " ## Error: Too long line in parameter file (more than 511 characters without blanks).\n", ""},
};
// clang-format on

class ParamFile : public ::testing::TestWithParam<Case> {};

TEST_P(ParamFile, ResultLogAndRecord) {
    const Case &c = GetParam();
    char dir[] = "/tmp/qv_ga_param_XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string path = std::string(dir) + (c.text.empty() ? "/absent.ga" : "/param.ga");
    if (!c.text.empty()) {
        FILE *fp = std::fopen(path.c_str(), "wb");
        ASSERT_NE(fp, nullptr);
        std::fwrite(c.text.data(), 1, c.text.size(), fp);
        std::fclose(fp);
    }

    gaparam p;
    InitializeParam(&p);
    p.gaEncodeParam.numVariable = c.numVariable;
    p.variableRegion.arraySize = c.numVariable;
    for (int i = 0; i < c.numVariable; ++i) p.variableRegion.maxArray[i] = 1.0;
    std::snprintf(p.ioParam.paramFileName, sizeof p.ioParam.paramFileName, "%s", path.c_str());

    testing::internal::CaptureStdout();
    const int rc = SetParamsFromFile(&p);
    const std::string log = testing::internal::GetCapturedStdout();
    std::remove(path.c_str());
    rmdir(dir);

    std::string expectedLog = c.log;
    if (const auto at = expectedLog.find('@'); at != std::string::npos) expectedLog.replace(at, 1, path);
    EXPECT_EQ(rc, c.rc);
    EXPECT_EQ(log, expectedLog);
    const auto fields = recordFields(p);
    std::istringstream want(c.fields);
    for (std::string item; want >> item;) {
        const auto eq = item.find('=');
        const std::string name = item.substr(0, eq);
        ASSERT_TRUE(fields.count(name)) << name;
        EXPECT_EQ(fields.at(name), item.substr(eq + 1)) << name;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, ParamFile, ::testing::ValuesIn(kCases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(GaConfig, InitialRecordIsZeroWithUnevaluatedBest) {
    gaparam p;
    std::memset(&p, 0x5a, sizeof p);
    ASSERT_EQ(InitializeParam(&p), 0);
    EXPECT_EQ(p.bestGene.gaGene.fitness, -1.7976931348623157e308);
    EXPECT_EQ(p.gaTypeParam.finValue, 0.0);
    EXPECT_EQ(p.ioParam.outputFile, nullptr);
    EXPECT_EQ(p.bestGene.obtainedGeneration, 0);

    char arg0[] = "gasearch";
    char *argv[] = {arg0, nullptr};
    ASSERT_EQ(SetCommandLineInfo(&p.comLine, 1, argv), 0);
    EXPECT_EQ(p.comLine.argc, 1);
    EXPECT_EQ(p.comLine.argv, argv);
}

}  // namespace
