// The text reports of gasearch: the parameter summary, the progress line of every generation, the
// population dump into the report file, the final result and the summary of a file of initial
// individuals. The progress line and the result share standard output with the system log, so both
// are flushed at once to keep the order of the two.
#include <cstdio>

#include "ga_keywords.h"
#include "quorvant/common/logUtil.h"
#include "quorvant/galib/crossover.h"
#include "quorvant/galib/ga_report.h"
#include "quorvant/galib/ga_types.h"
#include "quorvant/galib/mutation.h"
#include "quorvant/galib/utl_i2d.h"

namespace {

using qv::ga::Field;
using qv::ga::code_text;

constexpr char kMsgNoReportFile[] = " ## Error: File not opened.\n";

template <typename Code>
const char *text_of(Field field, Code code) {
    return code_text(field, static_cast<int>(code));
}

// The number of variables that fit the record's arrays.
int variable_count(const gaparam *param) {
    const int n = param->gaEncodeParam.numVariable;
    if (n < 0) return 0;
    return n < qv::kGaVariableRoom ? n : qv::kGaVariableRoom;
}

// The best individual's generation, fitness and values: "%d, %e, v0, v1, ...".
void print_best_row(const gaparam *param, FILE *fp) {
    std::fprintf(fp, "%d, ", param->bestGene.obtainedGeneration);
    print_fitness(&param->bestGene.gaGene, fp);
    std::fprintf(fp, ", ");
    print_ga_gene(&param->bestGene.gaGene, param, fp);
}

void print_variable_heads(const gaparam *param, FILE *fp) {
    for (int i = 0; i < variable_count(param); ++i) std::fprintf(fp, ", variable[%d]", i);
    std::fprintf(fp, "\n");
}

}  // namespace

int print_fitness(const gagene *gene, FILE *stream) {
    std::fprintf(stream, "%e", gene->fitness);
    return 0;
}

int print_ga_gene(const gagene *gene, const gaparam *param, FILE *stream) {
    const EncodeType encoding = param->gaEncodeParam.encodeType;
    const int n = variable_count(param);
    double x[qv::kGaVariableRoom];
    if (encoding == EncodeType::Real) {
        for (int i = 0; i < n; ++i) x[i] = gene->gene_r[i];
    } else if (encoding == EncodeType::Binary || encoding == EncodeType::Gray) {
        if (GeneToValues(param, gene, x) != 0) return -1;
    } else {
        return 0;
    }
    for (int i = 0; i < n; ++i) std::fprintf(stream, i == 0 ? "%f" : ", %f", x[i]);
    return 0;
}

int PrintExecuteParameters(const gaparam *param, FILE *stream) {
    const gaencodeparam &e = param->gaEncodeParam;
    const gatypeparam &t = param->gaTypeParam;
    const digenesisparam &d = param->digenesisParam;
    const crossoverparam &c = param->crossoverParam;
    const mutationparam &mu = param->mutationParam;
    const variableregion &r = param->variableRegion;
    FILE *fp = stream;

    std::fprintf(fp, "===GA PARAMETERS========================\n");
    std::fprintf(fp, "Encode Type          : %s\n", text_of(Field::Encode, e.encodeType));
    if (e.encodeType != EncodeType::Real) {
        std::fprintf(fp, "Quantum number       : %d\n", e.quantumNumber);
        std::fprintf(fp, "Gene length          : %d\n", e.geneLength);
    }

    std::fprintf(fp, "\nGA type              : %s\n", text_of(Field::GaType, t.gaType));
    std::fprintf(fp, "Max Generation       : %d\n", t.maxGeneration);
    std::fprintf(fp, "Fin value            : %e\n", t.finValue);
    std::fprintf(fp, "Total population     : %d\n", t.totalPopulation);
    std::fprintf(fp, "Number of islands    : %d\n", t.numIsland);
    std::fprintf(fp, "Island population    : %d\n", t.islandPopulation);

    std::fprintf(fp, "\nDigenesis type       : %s\n", text_of(Field::Digenesis, d.digenesisType));
    if (d.digenesisType == DigenesisType::Normal) {
        std::fprintf(fp, "Number of elites     : %d\n", d.numElite);
        std::fprintf(fp, "Selection type       : %s\n", text_of(Field::Selection, d.selectionType));
        if (d.selectionType == SelectionType::Tournament) {
            std::fprintf(fp, "Tournament Size      : %d\n", d.tournamentSize);
        }
    } else if (d.digenesisType == DigenesisType::MGG) {
        std::fprintf(fp, "Number of children   : %d\n", d.numMGGChildren);
    }

    std::fprintf(fp, "\nCrossover type       : %s\n", text_of(Field::Crossover, c.crossoverType));
    switch (c.crossoverType) {
    case CrossoverType::BLX: std::fprintf(fp, "BLX(alpha)           : %f\n", c.alpha); break;
    case CrossoverType::UNDX:
        std::fprintf(fp, "UNDX(alpha)          : %f\n", c.alpha);
        std::fprintf(fp, "UNDX(beta)           : %f\n", c.beta);
        break;
    case CrossoverType::UNDXm:
        std::fprintf(fp, "UNDXm(alpha)         : %f\n", c.alpha);
        std::fprintf(fp, "UNDXm(beta)          : %f\n", c.beta);
        std::fprintf(fp, "UNDXm(m)             : %d\n", c.m);
        break;
    case CrossoverType::SPX: std::fprintf(fp, "SPX(epsilon)         : %f\n", c.alpha); break;
    case CrossoverType::NPoints: std::fprintf(fp, "N points(n)          : %d\n", c.m); break;
    default: break;
    }

    std::fprintf(fp, "\nMutation type        : %s\n", text_of(Field::Mutation, mu.mutationType));
    if (mu.mutationType != MutationType::None) {
        std::fprintf(fp, "Mutation rate        : %f\n", mu.mutationRate);
        if (mu.mutationType == MutationType::FixedUni) {
            std::fprintf(fp, "Fixed width          : %f\n", mu.fixedWidth);
        } else if (mu.mutationType == MutationType::FixedNormal) {
            std::fprintf(fp, "SD for FixedNormal   : %f\n", mu.fixedWidth);
        }
    }

    if (t.gaType == GaType::DGA) {
        std::fprintf(fp, "\nImmigration Switch   : %s\n", text_of(Field::Immigration, t.immigrationSwitch));
        if (t.immigrationSwitch != ImmigrationSwitch::Off) {
            std::fprintf(fp, "Immigration interval : %d\n", t.immigrationInterval);
            std::fprintf(fp, "Immigration rate     : %f\n", t.immigrationRate);
        }
    } else if (t.gaType == GaType::DIGA) {
        std::fprintf(fp, "\nIntegrate Generation : %d\n", t.integrateGeneration);
    }

    // The optional lines, only when the file has them.
    if (param->parallelParam.grain != ParallelGrain::Unset) {
        std::fprintf(fp, "\nParallel grain       : %s\n", text_of(Field::Parallel, param->parallelParam.grain));
    }
    if (param->refineParam.interval > 0) {
        std::fprintf(fp, "\nRefine interval      : %d\n", param->refineParam.interval);
        std::fprintf(fp, "Refined per island   : %d\n", param->refineParam.count);
        std::fprintf(fp, "Refine budget        : %d\n", param->refineParam.budget);
        if (param->refineParam.spread > 0) std::fprintf(fp, "Refined in turn      : %d\n", param->refineParam.spread);
    }

    std::fprintf(fp, "\n\n===Searching space information==========\n");
    std::fprintf(fp, "Number of Variable   : %d\n", e.numVariable);
    for (int i = 0; i < variable_count(param); ++i) {
        if (e.encodeType == EncodeType::Real) {
            std::fprintf(fp, "Domain variable[%2d]   : [%f, %f]\n", i, r.minArray[i], r.maxArray[i]);
        } else {
            std::fprintf(fp, "Domain variable[%d]  : [%f, %f](%f)\n", i, r.minArray[i], r.maxArray[i],
                         r.delta[i]);
        }
    }
    std::fprintf(fp, "========================================\n");
    return 0;
}

int PrintBestGeneAtPresent(int generation, const gaparam *param) {
    std::printf("generation[%d], Obtain: %d, Fitness: %e, Gene: (", generation,
                param->bestGene.obtainedGeneration, param->bestGene.gaGene.fitness);
    print_ga_gene(&param->bestGene.gaGene, param, stdout);
    std::printf(")\n");
    std::fflush(stdout);
    return 0;
}

int PrintRefinement(int generation, const gaparam *param) {
    const refinetotals &r = param->refineTotals;
    std::printf("refinement[%d], refined: %ld, evaluations: %ld, gradients: %ld\n", generation, r.refinements,
                r.evaluations, r.gradients);
    std::fflush(stdout);
    return 0;
}

int PrintFileAll(int generation, const gaparam *param, const gaisland *islands) {
    FILE *fp = param->ioParam.outputFile;
    if (fp == nullptr) {
        log_sys(kMsgNoReportFile);
        return -1;
    }
    std::fprintf(fp, "generation,%d\n", generation);
    std::fprintf(fp, "Best gene:\n");
    std::fprintf(fp, "Obtained generation, fitness");
    print_variable_heads(param, fp);
    print_best_row(param, fp);
    std::fprintf(fp, "\n");

    std::fprintf(fp, "ID, fitness");
    print_variable_heads(param, fp);
    const int population = param->gaTypeParam.islandPopulation < qv::kGaMaxPopulation
                               ? param->gaTypeParam.islandPopulation
                               : qv::kGaMaxPopulation;
    for (int i = 0; i < param->gaTypeParam.numIsland; ++i) {
        for (int k = 0; k < population; ++k) {
            const gagene &g = islands[i].residents[islands[i].sortedIndex[k]];
            std::fprintf(fp, "[%d][%d], ", i, k);
            print_fitness(&g, fp);
            std::fprintf(fp, ", ");
            print_ga_gene(&g, param, fp);
            std::fprintf(fp, "\n");
        }
    }
    return 0;
}

int PrintResult(const gaparam *param) {
    std::printf("******Search Result******\n");
    std::printf("Best gene\n");
    std::printf("Obtained Generation : %d\n", param->bestGene.obtainedGeneration);
    std::printf("Fitness             : %e\n", param->bestGene.gaGene.fitness);
    std::printf("Gene                : (");
    print_ga_gene(&param->bestGene.gaGene, param, stdout);
    std::printf(")\n");
    std::printf("*************************\n");
    std::fflush(stdout);
    return 0;
}

int print_read_summary(FILE *stream, const char *name, const int *counts, int numIsland,
                       int fileIslands, int population) {
    std::fprintf(stream, "\n===Initial Generation File==============\n");
    std::fprintf(stream, "File name:%s\n", name);
    std::fprintf(stream, "Island, Population, # of read, Random, Redundant\n");
    for (int i = 0; i < numIsland; ++i) {
        const int read = counts[i];
        const int random = read <= population ? population - read : 0;
        const int redundant = read > population ? read - population : 0;
        std::fprintf(stream, "Island[%d], %d, %d, %d, %d\n", i, population, read, random, redundant);
    }
    if (fileIslands > numIsland) {
        std::fprintf(stream, "Number of redundant islands: %d\n", fileIslands - numIsland);
    }
    std::fprintf(stream, "========================================\n");
    return 0;
}
