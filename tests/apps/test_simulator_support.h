// Running the simulator programs under mpiexec in a temporary directory, and reading the files a
// user reads: the result file (time courses, steady states, sensitivities, eigenvalues) and the
// restart file.
#ifndef QUORVANT_TEST_SIMULATOR_SUPPORT_H
#define QUORVANT_TEST_SIMULATOR_SUPPORT_H

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "text_files.h"

namespace simtest {

namespace fs = std::filesystem;

struct RunResult {
    int status = -1;   // exit status of mpiexec
    std::string log;   // standard output and error
};

inline std::string quote(const std::string &s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// text with the first occurrence of `from` replaced by `to` (which must be there).
inline std::string replaced(std::string text, const std::string &from, const std::string &to) {
    const size_t pos = text.find(from);
    EXPECT_NE(pos, std::string::npos) << from;
    if (pos != std::string::npos) text.replace(pos, from.size(), to);
    return text;
}

inline std::string modelFile(const std::string &rel) { return std::string(QV_SOURCE_DIR) + "/models/" + rel; }

using qv::test::read_file;
using qv::test::split_lines;

inline size_t count(const std::string &text, const std::string &what) {
    size_t n = 0;
    for (size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
    return n;
}

// Comma-separated numbers of one line (fields that are not numbers are skipped).
inline std::vector<double> numbers(const std::string &line) {
    std::vector<double> v;
    std::istringstream in(line);
    std::string f;
    while (std::getline(in, f, ',')) {
        char *end = nullptr;
        const double x = std::strtod(f.c_str(), &end);
        if (end != f.c_str()) v.push_back(x);
    }
    return v;
}

// The rows {t, y1..yn} of every time course in a text, one vector per "Time" header.
inline std::vector<std::vector<std::vector<double>>> timeCourses(const std::string &text) {
    std::vector<std::vector<std::vector<double>>> courses;
    bool inRows = false;
    for (const std::string &line : split_lines(text)) {
        if (line.rfind("Time      ,", 0) == 0) {
            courses.emplace_back();
            inRows = true;
        } else if (inRows && !line.empty() && line[0] != '$' && line[0] != '#') {
            courses.back().push_back(numbers(line));
        } else {
            inRows = false;
        }
    }
    return courses;
}

// The lines following a header line, up to the next empty line.
inline std::vector<std::string> block(const std::string &text, const std::string &header) {
    std::vector<std::string> out;
    const auto all = split_lines(text);
    for (size_t i = 0; i < all.size(); ++i) {
        if (all[i] != header) continue;
        for (size_t j = i + 1; j < all.size() && !all[j].empty(); ++j) out.push_back(all[j]);
        break;
    }
    return out;
}

// Linear chain X1 -k1-> X2 -k2->, X1(0) = a, X2(0) = b.
inline double linearX1(double t, double a, double k1) { return a * std::exp(-k1 * t); }
inline double linearX2(double t, double a, double b, double k1, double k2) {
    return b * std::exp(-k2 * t) + a * k1 / (k2 - k1) * (std::exp(-k1 * t) - std::exp(-k2 * t));
}

// A printed "%10.3E" value agrees with the exact one to its four significant digits.
inline void expectPrinted(double printed, double exact, const std::string &what) {
    EXPECT_NEAR(printed, exact, 6e-4 * std::fabs(exact) + 1e-12) << what;
}

class SimulatorRun : public testing::Test {
protected:
    fs::path dir;

    void SetUp() override {
        char tmpl[] = "/tmp/qv_sim_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
    }
    void TearDown() override {
        if (!HasFailure()) fs::remove_all(dir);
    }

    // Runs bin/<program> with the arguments on nprocs processes in the temporary directory.
    RunResult run(const std::string &program, int nprocs, const std::vector<std::string> &args) {
        // Under the sanitizers, leak checking is off in the MPI processes: Open MPI unloads its
        // components at finalisation, so its own unreleased memory cannot be attributed (or
        // suppressed) by library name. Address and undefined-behaviour errors still fail the run;
        // the program's own units are leak-checked by test_simulator_units. The slow unwinder, there
        // to attribute leaks, is not needed then.
        std::string cmd = "cd " + quote(dir.string()) +
                          " && ASAN_OPTIONS=\"$ASAN_OPTIONS:detect_leaks=0:fast_unwind_on_malloc=1\" " +
                          QV_MPIEXEC + " -n " + std::to_string(nprocs) +
                          " " + quote(std::string(QV_BINARY_DIR) + "/bin/" + program);
        for (const auto &a : args) cmd.append(" ").append(quote(a));
        cmd += " > run.log 2>&1";
        const int rc = std::system(cmd.c_str());
        RunResult r;
        r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
        r.log = read_file(dir / "run.log");
        return r;
    }

    std::string file(const std::string &name) { return read_file(dir / name); }
    bool exists(const std::string &name) { return fs::exists(dir / name); }
    void writeFile(const std::string &name, const std::string &text) {
        std::ofstream out(dir / name);
        out << text;
    }
};

}  // namespace simtest

#endif
