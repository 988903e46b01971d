#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "gnuplot_run.h"
#include "plot_script.h"
#include "quorvant/results/plot_options.h"
#include "quorvant/results/tool_status.h"

namespace qv::results::plot {

namespace {

// Picture size: the width is fixed, each stacked panel adds its height.
constexpr int kWidth = 900;
constexpr int kPanelHeight = 320;
constexpr int kMinHeight = 420;
constexpr size_t kCopyBuffer = 1 << 16;

bool ends_with(const std::string &s, const std::string &suffix) {
    return s.size() >= suffix.size() && s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// The gnuplot program: a path as given, or a name looked up in PATH.
std::string find_program(const std::string &name) {
    if (name.find('/') != std::string::npos) return access(name.c_str(), X_OK) == 0 ? name : std::string();
    const char *path = std::getenv("PATH");
    std::string dirs = path ? path : "";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t colon = dirs.find(':', start);
        if (colon == std::string::npos) colon = dirs.size();
        const std::string dir = dirs.substr(start, colon - start);
        if (!dir.empty()) {
            const std::string candidate = dir + "/" + name;
            struct stat sb {};
            if (stat(candidate.c_str(), &sb) == 0 && S_ISREG(sb.st_mode) && access(candidate.c_str(), X_OK) == 0)
                return candidate;
        }
        start = colon + 1;
    }
    return {};
}

// Writing to a gnuplot that stopped early must fail the write, not end this process.
class IgnoreSigpipe {
public:
    IgnoreSigpipe() {
        struct sigaction ign {};
        ign.sa_handler = SIG_IGN;
        sigemptyset(&ign.sa_mask);
        sigaction(SIGPIPE, &ign, &old_);
    }
    ~IgnoreSigpipe() { sigaction(SIGPIPE, &old_, nullptr); }

private:
    struct sigaction old_ {};
};

bool write_script(std::FILE *to, Script &script, const std::string &terminal, const std::string &tmp_output) {
    std::fprintf(to, "%s\nset output %s\n", terminal.c_str(), quoted(tmp_output).c_str());
    std::vector<char> buffer(kCopyBuffer);
    for (DataBlock &b : script.blocks) {
        std::fprintf(to, "%s << EOD\n", b.name.c_str());
        std::rewind(b.data.get());
        size_t n = 0;
        while ((n = std::fread(buffer.data(), 1, buffer.size(), b.data.get())) > 0)
            if (std::fwrite(buffer.data(), 1, n, to) != n) return false;
        std::fputs("EOD\n", to);
    }
    std::fputs(script.commands.c_str(), to);
    std::fputs("\nunset output\n", to);
    return std::fflush(to) == 0 && !std::ferror(to);
}

}  // namespace

std::string quoted(const std::string &s) {
    std::string q = "'";
    for (char c : s) {
        if (c == '\'') q += "''";
        else if (c != '\n') q += c;
    }
    return q + "'";
}

ToolStatus run_gnuplot(Script &script, const PlotOptions &options) {
    const std::string program = find_program(options.gnuplot);
    if (program.empty())
        return {1, "gnuplot is not installed (Debian package gnuplot-nox): cannot draw " + options.output};
    const int height = std::max(kMinHeight, kPanelHeight * script.panels);
    std::string terminal;
    if (ends_with(options.output, ".png"))
        terminal = "set terminal pngcairo size " + std::to_string(kWidth) + "," + std::to_string(height) +
                   " noenhanced font 'Arial,10'";
    else
        terminal = "set terminal svg size " + std::to_string(kWidth) + "," + std::to_string(height) +
                   " noenhanced font 'Arial,11' background rgb 'white'";

    namespace fs = std::filesystem;
    const fs::path out(options.output);
    // Built by appending: g++ 12 at -O3 warns falsely (-Wrestrict) on the chain of operator+.
    std::string tmp_name = ".";
    tmp_name.append(out.filename().string()).append(".").append(std::to_string(getpid())).append(".tmp");
    const fs::path tmp = out.parent_path() / tmp_name;

    int fds[2];
    if (pipe(fds) != 0) return {1, "cannot start gnuplot (no pipe)"};
    const pid_t pid = fork();
    if (pid < 0) {
        close(fds[0]);
        close(fds[1]);
        return {1, "cannot start gnuplot (fork failed)"};
    }
    if (pid == 0) {
        dup2(fds[0], STDIN_FILENO);
        close(fds[0]);
        close(fds[1]);
        execl(program.c_str(), "gnuplot", static_cast<char *>(nullptr));
        _exit(127);
    }
    close(fds[0]);
    bool written = false;
    {
        IgnoreSigpipe guard;
        std::FILE *to = fdopen(fds[1], "w");
        if (to) {
            written = write_script(to, script, terminal, tmp.string());
            std::fclose(to);
        } else {
            close(fds[1]);
        }
    }
    int wstatus = 0;
    while (waitpid(pid, &wstatus, 0) < 0 && errno == EINTR) {
    }
    std::error_code ec;
    const bool ok = written && WIFEXITED(wstatus) && WEXITSTATUS(wstatus) == 0 && fs::exists(tmp, ec) &&
                    fs::file_size(tmp, ec) > 0;
    if (!ok) {
        fs::remove(tmp, ec);
        return {1, "gnuplot failed to draw " + options.output +
                       (WIFEXITED(wstatus) ? " (exit status " + std::to_string(WEXITSTATUS(wstatus)) + ")" : "")};
    }
    fs::rename(tmp, out, ec);
    if (ec) {
        fs::remove(tmp, ec);
        return {1, "cannot write " + options.output};
    }
    return {0, options.output};
}

}  // namespace qv::results::plot
