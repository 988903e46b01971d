// The file of initial individuals (option -s): records "ID, fitness, x0, x1, ..." grouped into
// islands by lines "**", placed over the first random residents of each island.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "quorvant/common/file_owner.h"
#include "quorvant/common/logUtil.h"
#include "quorvant/galib/ga_region.h"
#include "quorvant/galib/ga_report.h"
#include "quorvant/galib/ga_types.h"
#include "quorvant/galib/initial_individuals.h"
#include "quorvant/galib/utl_encode.h"
#include "quorvant/galib/utl_i2d.h"
#include "quorvant/galib/utl_text.h"

namespace {

constexpr char kMsgOpen[] = " ## Error: Cannot open a file of initial individuals:%s\n";
constexpr char kMsgInvalidRecord[] = " ## Error: Invalid records in a file of initial individuals.\n";
constexpr char kMsgOutOfRegion[] = " ## Error: Out of region in a file of initial individuals.\n";
constexpr char kMsgDimensions[] =
    " ## Error: Invalid dimensions of a file of initial individuales.\n";
constexpr char kMsgTooLong[] =
    " ## Error: Too long line in a file of initial individuals (more than 511 characters without "
    "blanks).\n";
constexpr char kMsgEncoding[] = " ## System Error: In SetIndividualFromFile.\n";

constexpr char kIslandSeparator[] = "**\n";
constexpr char kIslandSeparatorAtEnd[] = "**";   // the separator as the file's last line
constexpr char kFieldDelims[] = ",\n";
constexpr int kLeadingFields = 2;                // ID and fitness, written by the reports

// Next physical line into buf. 1: a line; 0: end of file; -1: the line does not fit into buf.
int readLine(char *buf, int size, FILE *fp) {
    if (std::fgets(buf, size, fp) == nullptr) return 0;
    const std::size_t len = std::strlen(buf);
    if (len + 1 < static_cast<std::size_t>(size) || buf[len - 1] == '\n') return 1;
    // A full buffer without a newline: fine only if the file ends right here.
    const int c = std::fgetc(fp);
    if (c == EOF) return 1;
    return -1;
}

// Parses one record into the variable values; 0 or -1 after the message.
int parseRecord(char *line, const variableregion &region, int numVariable, double *values) {
    char *save = nullptr;
    for (int f = 0; f < kLeadingFields; ++f) {
        if (strtok_r(f == 0 ? line : nullptr, kFieldDelims, &save) == nullptr) {
            log_sys(kMsgInvalidRecord);
            return -1;
        }
    }
    int count = 0;
    for (char *field = strtok_r(nullptr, kFieldDelims, &save); field != nullptr;
         field = strtok_r(nullptr, kFieldDelims, &save)) {
        if (count < numVariable) {
            const double v = std::strtod(field, nullptr);
            // Written so that a NaN is outside the region too.
            if (!(v >= region.minArray[count] && v <= region.maxArray[count])) {
                log_sys(kMsgOutOfRegion);
                return -1;
            }
            values[count] = v;
        }
        ++count;
    }
    if (count != numVariable) {
        log_sys(kMsgDimensions);
        return -1;
    }
    return 0;
}

// Writes the values into a resident in the run's encoding.
int storeValues(const gaparam *param, const double *values, gagene *gene) {
    const gaencodeparam &enc = param->gaEncodeParam;
    const int n = enc.numVariable;
    int ints[qv::kGaVariableRoom];
    switch (enc.encodeType) {
    case EncodeType::Real:
        for (int k = 0; k < n; ++k) gene->gene_r[k] = values[k];
        return 0;
    case EncodeType::Binary:
        if (Double2Int(&enc, &param->variableRegion, values, ints, n) != 0) return -1;
        return BinaryEncode(ints, n, gene->gene_b, enc.geneLength, enc.quantumNumber);
    case EncodeType::Gray:
        if (Double2Int(&enc, &param->variableRegion, values, ints, n) != 0) return -1;
        return GrayEncode(ints, n, gene->gene_b, enc.geneLength, enc.quantumNumber);
    default:
        log_sys(kMsgEncoding);
        return -1;
    }
}

}  // namespace

int SetIndividualFromFile(const gaparam *param, gaisland *islands) {
    const char *name = param->ioParam.individualFileName;
    qv::File fp(qv::open_file(name, "r"));
    if (!fp) {
        log_sys(kMsgOpen, name);
        return -1;
    }
    const int numIsland = param->gaTypeParam.numIsland > 0 ? param->gaTypeParam.numIsland : 0;
    const int population = param->gaTypeParam.islandPopulation;
    const int numVariable = param->gaEncodeParam.numVariable;
    if (numVariable < 0 || numVariable > ga_variable_limit()) {
        log_sys(kMsgEncoding);
        return -1;
    }
    // Individuals met per island, surplus records included.
    std::vector<int> counts(static_cast<std::size_t>(numIsland), 0);

    char line[qv::kGaReadBuffer];
    double values[qv::kGaVariableRoom];
    int c = 0;   // current island
    int j = 0;   // records met in the current island
    for (;;) {
        const int got = readLine(line, sizeof line, fp.get());
        if (got == 0) break;
        const int kind = got < 0 ? 0 : IsCommentLine(line);
        if (kind == 0) {
            log_sys(kMsgTooLong);
            return -1;
        }
        if (kind == 1) continue;
        if (std::strcmp(line, kIslandSeparator) == 0 ||
            std::strcmp(line, kIslandSeparatorAtEnd) == 0) {
            if (c < numIsland) counts[c] = j;
            ++c;
            j = 0;
            continue;
        }
        // Records beyond the island's population or the run's islands are only counted.
        if (c < numIsland && j < population && j < qv::kGaMaxPopulation) {
            if (parseRecord(line, param->variableRegion, numVariable, values) != 0) return -1;
            if (storeValues(param, values, &islands[c].residents[j]) != 0) return -1;
        }
        ++j;
    }
    if (c < numIsland) counts[c] = j;
    print_read_summary(stdout, name, counts.data(), numIsland, c + 1, population);
    return 0;
}
