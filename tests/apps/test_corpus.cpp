// The regression corpus of hostile model input files: every case under tests/corpus/<set>/ is a
// model file <name>.in with its expectation <name>.expect, run through the simulator as a user
// would (mpiexec -n 1 simulator -Imodel.in -Oout). An expectation file holds:
//   # comment             why the case exists
//   status N [M...]       the exit status (or the statuses allowed)
//   line TEXT             a whole line of the log; the lines must appear in this order
//   part TEXT             text that must appear somewhere in the log
//   input none            no model file at all (the -I name does not exist)
//   skip REASON           a known fault that is not fixed yet: the case is reported as skipped
//                         (it runs when QV_KNOWN_FAULTS is set)
// "\t" in TEXT stands for a tab. Besides its own expectations every case must end within its time
// limit, without a sanitizer report (leaks are looked for where status 0 is allowed), and leave a
// joined result file exactly when it succeeded.
#include <algorithm>

#include "test_corpus_support.h"

using namespace hardening;

namespace {

struct CorpusCase {
    std::string set;    // directory under tests/corpus
    std::string name;   // file name without extension
    fs::path input;
    fs::path expect;
};

// gtest prints a parameter in the test's listing: the case's name says all.
void PrintTo(const CorpusCase &c, std::ostream *os) { *os << c.set << "/" << c.name; }

struct Expectation {
    std::vector<int> statuses;   // the exit statuses allowed
    bool noInput = false;
    std::string skip;
    std::vector<std::string> lines;
    std::vector<std::string> parts;
};

std::string unescape(const std::string &s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size() && s[i + 1] == 't') {
            out += '\t';
            ++i;
        } else {
            out += s[i];
        }
    }
    return out;
}

Expectation readExpectation(const fs::path &p) {
    Expectation e;
    for (const std::string &raw : split_lines(read_file(p))) {
        const std::string &line = raw;
        if (line.empty() || line[0] == '#') continue;
        const size_t sp = line.find(' ');
        const std::string key = line.substr(0, sp);
        const std::string rest = sp == std::string::npos ? "" : line.substr(sp + 1);
        if (key == "status") {
            std::istringstream in(rest);
            for (int st; in >> st;) e.statuses.push_back(st);
        }
        else if (key == "line") e.lines.push_back(unescape(rest));
        else if (key == "part") e.parts.push_back(unescape(rest));
        else if (key == "input") e.noInput = rest == "none";
        else if (key == "skip") e.skip = rest;
        else ADD_FAILURE() << p << ": unknown key '" << key << "'";
    }
    return e;
}

std::vector<CorpusCase> listCorpus() {
    std::vector<CorpusCase> cases;
    const fs::path root = fs::path(QV_SOURCE_DIR) / "tests" / "corpus";
    if (!fs::is_directory(root)) return cases;
    for (const auto &set : fs::directory_iterator(root)) {
        if (!set.is_directory()) continue;
        for (const auto &f : fs::directory_iterator(set.path())) {
            if (f.path().extension() != ".expect") continue;
            CorpusCase c;
            c.set = set.path().filename().string();
            c.name = f.path().stem().string();
            c.expect = f.path();
            c.input = f.path();
            c.input.replace_extension(".in");
            cases.push_back(c);
        }
    }
    std::sort(cases.begin(), cases.end(),
              [](const CorpusCase &a, const CorpusCase &b) { return a.set + a.name < b.set + b.name; });
    return cases;
}

std::string caseName(const testing::TestParamInfo<CorpusCase> &info) {
    std::string s = info.param.set + "_" + info.param.name;
    for (char &c : s) {
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    }
    return s;
}

class Corpus : public TempDirTest, public testing::WithParamInterface<CorpusCase> {};

TEST_P(Corpus, EndsWithItsStatusAndMessages) {
    const CorpusCase &c = GetParam();
    const Expectation e = readExpectation(c.expect);
    if (!e.skip.empty()) QV_KNOWN_FAULT(e.skip);
    ASSERT_FALSE(e.statuses.empty()) << c.expect << " has no status line";
    if (!e.noInput) {
        ASSERT_TRUE(fs::exists(c.input)) << c.input;
        fs::copy_file(c.input, at("model.in"));
    }

    // Leaks are looked for in the runs that may succeed; the others are checked for memory
    // errors and undefined behaviour only.
    const bool mayEndWell = std::find(e.statuses.begin(), e.statuses.end(), 0) != e.statuses.end();
    const RunResult r = simulate({"-Imodel.in", "-Oout"}, 1, 120, mayEndWell);
    ASSERT_NE(r.status, kTimedOut) << "the run did not end within its time limit\n" << r.log;
    EXPECT_EQ(sanitizerReport(r.log), "");
    EXPECT_NE(std::find(e.statuses.begin(), e.statuses.end(), r.status), e.statuses.end())
        << "unexpected exit status " << r.status << "\n" << r.log;

    // The expected lines, in order, as whole lines of the log.
    const std::vector<std::string> log = split_lines(r.log);
    auto pos = log.begin();
    for (const std::string &want : e.lines) {
        pos = std::find(pos, log.end(), want);
        if (pos == log.end()) {
            ADD_FAILURE() << "missing (in this order) the log line '" << want << "'\n" << r.log;
            break;
        }
        ++pos;
    }
    for (const std::string &want : e.parts) {
        EXPECT_NE(r.log.find(want), std::string::npos) << "missing '" << want << "'\n" << r.log;
    }

    // A joined result file exists exactly when the run succeeded, and then it is complete.
    if (r.status == 0) {
        const std::string out = file("out");
        const std::string end = "\n$$ END ALL!!\n";
        EXPECT_TRUE(out.size() >= end.size() && out.compare(out.size() - end.size(), end.size(), end) == 0)
            << "the result file does not end with the END ALL line";
    } else {
        EXPECT_FALSE(exists("out")) << "a failed run left a joined result file";
    }
}

INSTANTIATE_TEST_SUITE_P(Files, Corpus, testing::ValuesIn(listCorpus()), caseName);

}  // namespace
