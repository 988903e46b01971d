// The GA configuration record: its defaults, the command-line record and the GA parameter file.
//
// The parameter file holds one keyword per line (ENCODE first, then GATYPE, then DIGENESIS,
// CROSSOVER and MUTATION in any order, and the optional PARALLEL, REFINE and CHECKPOINT), each
// followed by its fields. Blanks and tabs are removed and '#' starts a comment; every piece of a
// line is ended by a ';', so text after the last ';' is never read. An empty field selects the field's default; a non-empty one is converted as the C
// conversions "%d" / "%lf" read it, and text that does not convert leaves the field at its previous
// value, to which the field's checks then apply (a default is never checked). Fields beyond those a
// keyword takes are reported by a warning and the rest of the line is ignored. The first failing
// line ends the reading.
//
// What each line holds is the table of ga_param_fields.cpp; read_line below is its one reader.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <span>
#include <vector>

#include "ga_keywords.h"
#include "ga_param_fields.h"
#include "quorvant/common/file_owner.h"
#include "quorvant/common/logUtil.h"
#include "quorvant/galib/ga_param.h"
#include "quorvant/galib/ga_types.h"
#include "quorvant/galib/utl_text.h"

namespace {

using namespace qv::ga;

constexpr int kPopulationAboveVariables = 2;       // islandPopulation >= numVariable + 2
constexpr double kSpxEpsilonOffset = 2.0;          // SPX: epsilon defaults to sqrt(numVariable + 2)
constexpr int kUndxmDirectionsBelowN = 2;          // UNDXm: m defaults to numVariable - 2 (>= 1)
constexpr int kBlxParents = 2;
constexpr int kUndxParents = 3;                    // UNDX: one primary direction, m = 1
constexpr int kUndxmExtraParents = 2;              // UNDXm: m + 2
constexpr int kNPointsParents = 2;

constexpr char kMsgGeneLength[] =
    " ## Error: BGA's gene length(numVariable * quantumNumber must be smaller than equal %d.\n";

// ---- The reader of one line ----------------------------------------------------------------------

// The records the defaults and checks of a line refer to. type is null for CROSSOVER and MUTATION,
// whose fields do not depend on it; for the GATYPE line it is the record being filled, so that its
// later fields see the earlier ones.
struct Context {
    const gaencodeparam *encode;
    const gatypeparam *type;
};

double amount(Amount a, const Context &c) {
    switch (a.value) {
    case Value::Fixed: return a.fixed;
    case Value::NumVariable: return c.encode->numVariable;
    case Value::PopulationFloor: return c.encode->numVariable + kPopulationAboveVariables;
    case Value::IslandPopulation: return c.type->islandPopulation;
    case Value::StayingPopulation: return c.type->islandPopulation - c.type->numImmigrants;
    case Value::GeneLength: return c.encode->geneLength;
    case Value::MggChildren: return std::min(c.type->islandPopulation, qv::kGaMaxMggChildren);
    case Value::SpxEpsilon: return std::sqrt(c.encode->numVariable + kSpxEpsilonOffset);
    case Value::OnePerGene: return c.encode->geneLength > 0 ? 1.0 / c.encode->geneLength : 0.0;
    case Value::UndxmDirections:
        return std::max(c.encode->numVariable - kUndxmDirectionsBelowN, 1);
    }
    return 0.0;
}

bool passes(Rule rule, double v, double bound, const Context &c) {
    switch (rule) {
    case Rule::None: return true;
    case Rule::AtLeast: return v >= bound;
    case Rule::AtMost: return v <= bound;
    case Rule::Below: return v < bound;
    case Rule::Positive: return v > 0.0;
    case Rule::Fraction: return v >= 0.0 && v <= 1.0;
    case Rule::NotOnOneIsland: return !(c.type->numIsland == 1 && v == bound);
    }
    return true;
}

// The fields of the current line after its keyword, read one at a time. Only pieces ended by a ';'
// are fields: MyStrtok reports the text after the last ';' as the final piece (-1), which ends the
// line without being read.
struct LineFields {
    int count = 0;          // fields read so far (the current one included)
    char *text = nullptr;   // the current field

    bool next() {
        if (MyStrtok(nullptr, ';', &text) == -1) return false;
        ++count;
        return true;
    }
    bool empty() const { return text[0] == '\0'; }
};

// A field as the conversion "%d" reads it: the longest leading decimal integer (after white
// space). Text that does not convert leaves *value as it was; a number beyond the int range is
// taken as the nearest int.
void scan_int(const char *text, int32_t *value) {
    char *end = nullptr;
    const long long v = std::strtoll(text, &end, 10);
    if (end == text) return;
    if (v > std::numeric_limits<int32_t>::max()) {
        *value = std::numeric_limits<int32_t>::max();
    } else if (v < std::numeric_limits<int32_t>::min()) {
        *value = std::numeric_limits<int32_t>::min();
    } else {
        *value = static_cast<int32_t>(v);
    }
}

// A field as the conversion "%lf" reads it (infinities and NaN included). Text that does not
// convert leaves *value as it was.
void scan_real(const char *text, double *value) {
    char *end = nullptr;
    const double v = std::strtod(text, &end);
    if (end != text) *value = v;
}

bool is_bit_string(EncodeType e) { return e == EncodeType::Binary || e == EncodeType::Gray; }

// Whether an operator that works on the given genes can be used with the encoding; else its
// message, with the operator's word.
bool genes_match(const Keyword *k, EncodeType e, const char *forRga, const char *forBga) {
    if (k->genes == Genes::Real && e != EncodeType::Real) {
        log_sys(forRga, k->word);
        return false;
    }
    if (k->genes == Genes::Bits && !is_bit_string(e)) {
        log_sys(forBga, k->word);
        return false;
    }
    return true;
}

// One field into the record: its default when empty, else the converted text, checked.
template <class R>
int read_field(const FieldDef<R> &f, R &rec, const Context &c, const char *text) {
    const bool empty = text[0] == '\0';
    double value = 0.0;
    switch (f.kind) {
    case Kind::Int:
        if (empty) {
            rec.*f.integer = static_cast<int32_t>(amount(f.empty, c));
        } else {
            scan_int(text, &(rec.*f.integer));
        }
        value = rec.*f.integer;
        break;
    case Kind::Real:
        if (empty) {
            rec.*f.real = amount(f.empty, c);
        } else {
            scan_real(text, &(rec.*f.real));
        }
        value = rec.*f.real;
        break;
    case Kind::Word:
        if (empty) {
            f.setCode(rec, static_cast<int>(amount(f.empty, c)));
        } else {
            const Keyword *k = find_keyword(f.words, text);
            if (k == nullptr) {
                log_sys(f.unknown, text);
                return -1;
            }
            f.setCode(rec, k->code);
            value = k->code;
        }
        break;
    }
    if (!empty) {
        for (const Check &k : f.checks) {
            const double bound = amount(k.bound, c);
            if (!passes(k.rule, value, bound, c)) {
                log_sys(k.message, static_cast<int>(bound));
                return -1;
            }
        }
    }
    return f.then != nullptr ? f.then(rec) : 0;
}

// The fields of a list, one per piece of the line, then the warning for a piece beyond the list.
// 0 also when the line ends early (`in` then tells how far it got).
template <class R>
int read_field_list(std::span<const FieldDef<R>> fields, int (*selector)(const R &), R &rec,
                    const Context &c, LineFields &in, const char *redundant) {
    for (const FieldDef<R> &f : fields) {
        if (!in.next()) return 0;
        for (const Absent &a : f.absent) {
            if (a.message != nullptr && selector(rec) == a.code) {
                log_sys("%s", a.message);
                return 0;
            }
        }
        if (read_field(f, rec, c, in.text) != 0) return -1;
    }
    if (in.next()) log_sys("%s", redundant);
    return 0;
}

// The fields of an optional line without a type word: every field the line leaves out takes its
// default, as an empty one does. 0, or -1 after the message.
template <class R>
int read_untyped_fields(std::span<const FieldDef<R>> fields, R &rec, const Context &c, LineFields &in,
                        const char *redundant) {
    for (const FieldDef<R> &f : fields) read_field(f, rec, c, "");
    return read_field_list<R>(fields, nullptr, rec, c, in, redundant);
}

// The type word and the fields of its variant; 0 also when the line ends early (`in` then tells
// how far it got).
template <class R>
int read_fields(const LineDef<R> &line, R &rec, const Context &c, LineFields &in,
                const Variant<R> *&variant) {
    if (!in.next()) {
        log_sys("%s", line.missing);
        return -1;
    }
    if (in.empty()) {
        log_sys("%s", line.empty);
        return -1;
    }
    const Keyword *k = find_keyword(line.types, in.text);
    if (k == nullptr) {
        log_sys(line.unknown, in.text);
        return -1;
    }
    if (!genes_match(k, c.encode->encodeType, line.forRga, line.forBga)) return -1;
    line.setType(rec, k->code);
    for (const Variant<R> &v : line.variants) {
        if (v.code == k->code) variant = &v;
    }
    return read_field_list(variant->fields, line.selector, rec, c, in, variant->redundant);
}

// The rest of a line whose keyword MyStrtok has split off: its fields, then whether there were
// enough of them. 0, or -1 after the message.
template <class R> int read_line(const LineDef<R> &line, R &rec, const Context &c) {
    LineFields in;
    const Variant<R> *variant = nullptr;
    if (read_fields(line, rec, c, in, variant) != 0) return -1;
    const int selector = line.selector != nullptr ? line.selector(rec) : 0;
    for (const Need &n : variant->needs) {
        const bool applies = n.when == When::Always || (n.when == When::If) == (selector == n.code);
        if (applies && in.count < n.fields) {
            log_sys("%s", n.message);
            return -1;
        }
    }
    return 0;
}

// ---- The file ------------------------------------------------------------------------------------

constexpr char kMsgCannotOpen[] = " ## Error: Cannot open parmeter file:%s\n";
constexpr char kMsgTooLong[] =
    " ## Error: Too long line in parameter file (more than 511 characters without blanks).\n";
constexpr char kMsgDuplicate[] = " ## Error: Duplicate keyword:%s\n";
constexpr char kMsgUnknownKeyword[] = " ## Error: Unknown keyword:%s\n";
constexpr char kMsgNeedEncode[] = " ## Error: Describe \"ENCODE\" at top rank.\n";
constexpr char kMsgNeedEncodeGaType[] =
    " ## Error: Describe \"ENCODE\" at top rank, and \"GATYPE\" at second rank.\n";
constexpr char kMsgTournamentTooLarge[] = " ## Error. Tournament size is too large. Set value <= %d.\n";
constexpr char kMsgRefineNeedsReal[] = " ## Error: REFINE needs real-coded genes (ENCODE;REAL;).\n";
constexpr char kMsgCheckpointName[] = " ## Error: CHECKPOINT needs the name of its file.\n";
constexpr char kMsgCheckpointNameLong[] =
    " ## Error: The file name of CHECKPOINT is too long (at most %d characters).\n";
constexpr char kMsgKeywordsOmitted[] =
    " ## Error. All keywords(GATYPE, DIGENESIS, CROSSOVER, MUTATION) cannot be omitted.\n";

// The keywords of the file, in the order they must first appear.
enum class Line { Encode, GaType, Digenesis, Crossover, Mutation, Parallel, Refine, Checkpoint, Count };
struct LineKeyword {
    const char *word;
    Line line;
    bool required;
};
constexpr LineKeyword kLineKeywords[] = {
    {"ENCODE", Line::Encode, true},       {"GATYPE", Line::GaType, true},
    {"DIGENESIS", Line::Digenesis, true}, {"CROSSOVER", Line::Crossover, true},
    {"MUTATION", Line::Mutation, true},   {"PARALLEL", Line::Parallel, false},
    {"REFINE", Line::Refine, false},      {"CHECKPOINT", Line::Checkpoint, false},
};

// One physical line, with its newline, into buf (size bytes). 1 when a line was read, 0 at the end
// of the file, -1 when the line does not fit (it is then not read any further).
int read_physical_line(FILE *fp, char *buf, int size) {
    int len = 0;
    int c;
    while ((c = std::getc(fp)) != EOF) {
        if (len == size - 1) return -1;
        buf[len++] = static_cast<char>(c);
        if (c == '\n') break;
    }
    buf[len] = '\0';
    return len > 0 ? 1 : 0;
}

// One line with content: its keyword, the order of the keywords, then the keyword's own reader.
int read_keyword_line(gaparam *param, char *line, bool (&seen)[static_cast<int>(Line::Count)]) {
    char *word = nullptr;
    const LineKeyword *key = nullptr;
    if (MyStrtok(line, ';', &word) != -1) {
        for (const LineKeyword &k : kLineKeywords) {
            if (std::strcmp(k.word, word) == 0) key = &k;
        }
    }
    if (key == nullptr) {
        log_sys(kMsgUnknownKeyword, word);
        return -1;
    }
    bool &done = seen[static_cast<int>(key->line)];
    if (done) {
        log_sys(kMsgDuplicate, word);
        return -1;
    }
    const bool haveEncode = seen[static_cast<int>(Line::Encode)];
    const bool haveGaType = seen[static_cast<int>(Line::GaType)];
    if (key->line == Line::GaType && !haveEncode) {
        log_sys(kMsgNeedEncode);
        return -1;
    }
    if (key->line != Line::Encode && key->line != Line::GaType && !(haveEncode && haveGaType)) {
        log_sys(kMsgNeedEncodeGaType);
        return -1;
    }

    int rc = 0;
    switch (key->line) {
    case Line::Encode: rc = set_encode_param(&param->gaEncodeParam); break;
    case Line::GaType: rc = set_gatype_param(&param->gaTypeParam, &param->gaEncodeParam); break;
    case Line::Digenesis:
        rc = set_digenesis_param(&param->digenesisParam, &param->gaEncodeParam, &param->gaTypeParam);
        break;
    case Line::Crossover: rc = set_crossover_param(&param->crossoverParam, &param->gaEncodeParam); break;
    case Line::Mutation: rc = set_mutation_param(&param->mutationParam, &param->gaEncodeParam); break;
    case Line::Parallel: rc = set_parallel_param(&param->parallelParam, &param->gaEncodeParam); break;
    case Line::Refine:
        rc = set_refine_param(&param->refineParam, &param->gaEncodeParam, &param->gaTypeParam);
        break;
    default: rc = set_checkpoint_param(&param->checkpointParam); break;
    }
    if (rc != 0) return -1;
    done = true;
    return 0;
}

}  // namespace


int InitializeParam(gaparam *param) {
    std::memset(param, 0, sizeof(*param));
    param->bestGene.gaGene.fitness = qv::kGaUnevaluated;
    return 0;
}

int SetCommandLineInfo(comline *line, int argc, char **argv) {
    line->argc = argc;
    line->argv = argv;
    return 0;
}

int set_encode_param(gaencodeparam *enc) {
    if (read_line(kEncodeLine, *enc, {enc, nullptr}) != 0) return -1;
    if (enc->encodeType == EncodeType::Real) enc->quantumNumber = 1;
    const int64_t length = int64_t{enc->numVariable} * enc->quantumNumber;
    if (is_bit_string(enc->encodeType) && length > qv::kGaMaxBits) {
        log_sys(kMsgGeneLength, qv::kGaMaxBits);
        return -1;
    }
    enc->geneLength = static_cast<int32_t>(length);
    return 0;
}

int set_gatype_param(gatypeparam *type, const gaencodeparam *encode) {
    return read_line(kGaTypeLine, *type, {encode, type});
}

int set_digenesis_param(digenesisparam *digenesis, const gaencodeparam *encode,
                        const gatypeparam *type) {
    return read_line(kDigenesisLine, *digenesis, {encode, type});
}

int set_crossover_param(crossoverparam *crossover, const gaencodeparam *encode) {
    if (read_line(kCrossoverLine, *crossover, {encode, nullptr}) != 0) return -1;
    switch (crossover->crossoverType) {
    case CrossoverType::BLX: crossover->numParent = kBlxParents; break;
    case CrossoverType::UNDX:
        crossover->m = 1;   // one primary direction
        crossover->numParent = kUndxParents;
        break;
    case CrossoverType::UNDXm: crossover->numParent = crossover->m + kUndxmExtraParents; break;
    case CrossoverType::SPX: crossover->numParent = encode->numVariable + 1; break;
    case CrossoverType::NPoints: crossover->numParent = kNPointsParents; break;
    default: break;   // NONE: no parents
    }
    return 0;
}

int set_mutation_param(mutationparam *mutation, const gaencodeparam *encode) {
    return read_line(kMutationLine, *mutation, {encode, nullptr});
}

int set_parallel_param(parallelparam *parallel, const gaencodeparam *encode) {
    return read_line(kParallelLine, *parallel, {encode, nullptr});
}

int set_refine_param(refineparam *refine, const gaencodeparam *encode, const gatypeparam *type) {
    if (encode->encodeType != EncodeType::Real) {
        log_sys(kMsgRefineNeedsReal);
        return -1;
    }
    LineFields in;
    return read_untyped_fields(kRefineFields, *refine, {encode, type}, in, kMsgRedundantRefine);
}

int set_checkpoint_param(checkpointparam *checkpoint) {
    LineFields in;
    if (!in.next() || in.empty()) {
        log_sys(kMsgCheckpointName);
        return -1;
    }
    const size_t length = std::strlen(in.text);
    if (length >= sizeof checkpoint->fileName) {
        log_sys(kMsgCheckpointNameLong, static_cast<int>(sizeof checkpoint->fileName - 1));
        return -1;
    }
    std::memcpy(checkpoint->fileName, in.text, length + 1);
    return read_untyped_fields(kCheckpointFields, *checkpoint, {nullptr, nullptr}, in, kMsgRedundantCheckpoint);
}

int SetParamsFromFile(gaparam *param) {
    const char *name = param->ioParam.paramFileName;
    qv::File fp(qv::open_file(name, "r"));
    if (!fp) {
        log_sys(kMsgCannotOpen, name);
        return -1;
    }

    std::vector<char> buf(qv::kGaReadBuffer);
    bool seen[static_cast<int>(Line::Count)] = {};
    for (;;) {
        const int got = read_physical_line(fp.get(), buf.data(), qv::kGaReadBuffer);
        if (got == 0) break;
        // IsCommentLine: 0 for a line over the length limit, 1 for a blank or comment line.
        const int kind = got < 0 ? 0 : IsCommentLine(buf.data());
        if (kind == 0) {
            log_sys(kMsgTooLong);
            return -1;
        }
        // A last line of blanks without a newline is left empty: nothing to read either.
        if (kind == 1 || buf[0] == '\0') continue;
        if (read_keyword_line(param, buf.data(), seen) != 0) return -1;
    }

    // Checks of the whole configuration, in this order.
    const gatypeparam &t = param->gaTypeParam;
    const int maxTournament = t.islandPopulation - param->crossoverParam.numParent + 1;
    if (maxTournament < param->digenesisParam.tournamentSize) {
        log_sys(kMsgTournamentTooLarge, maxTournament);
        return -1;
    }
    for (const LineKeyword &k : kLineKeywords) {
        if (k.required && !seen[static_cast<int>(k.line)]) {
            log_sys(kMsgKeywordsOmitted);
            return -1;
        }
    }
    return 0;
}
