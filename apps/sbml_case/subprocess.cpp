// Child processes through posix_spawn (safe from the suite's worker threads) and the case's
// temporary directory.
#include "subprocess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>
#include <thread>

extern char **environ;

namespace qv::sbml_case {

namespace {

// How often a running child is polled for its end (and its time limit checked).
constexpr auto kPollInterval = std::chrono::milliseconds(5);

}  // namespace

ProcessResult runProcess(const std::vector<std::string> &argv, const std::string &logPath,
                         double timeoutSeconds) {
    return runProcessIn(argv, logPath, timeoutSeconds, "", 0.0);
}

ProcessResult runProcessIn(const std::vector<std::string> &argv, const std::string &logPath, double timeoutSeconds,
                           const std::string &cwd, double graceSeconds) {
    ProcessResult r;
    if (argv.empty()) {
        r.error = "no program to run";
        return r;
    }
    std::vector<char *> args;
    for (const auto &a : argv) args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    if (!cwd.empty()) posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        r.error = "cannot run " + argv[0] + ": " + std::strerror(rc);
        return r;
    }
    r.started = true;

    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                              std::chrono::duration<double>(timeoutSeconds));
    const auto grace = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double>(graceSeconds));
    bool terminated = false;
    int status = 0;
    for (;;) {
        const pid_t w = waitpid(pid, &status, WNOHANG);
        if (w == pid) break;
        if (w < 0 && errno != EINTR) {
            r.error = std::string("waitpid: ") + std::strerror(errno);
            r.started = false;
            return r;
        }
        const auto now = std::chrono::steady_clock::now();
        if (!terminated && graceSeconds > 0.0 && now > deadline) {
            kill(pid, SIGTERM);
            terminated = true;
            r.timedOut = true;
        }
        if (!r.timedOut && now > deadline) {
            kill(pid, SIGKILL);
            r.timedOut = true;
        } else if (terminated && now > deadline + grace) {
            kill(pid, SIGKILL);
            terminated = false;
            graceSeconds = 0.0;
        }
        std::this_thread::sleep_for(kPollInterval);
    }
    if (WIFEXITED(status)) r.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) r.signal = WTERMSIG(status);
    return r;
}

TempDir::TempDir() {
    std::error_code ec;
    const auto base = std::filesystem::temp_directory_path(ec);
    std::string pattern = (ec ? std::string("/tmp") : base.string()) + "/qv_sbml_case_XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (mkdtemp(buf.data()) != nullptr) path_ = buf.data();
}

TempDir::~TempDir() {
    if (path_.empty()) return;
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string readText(const std::string &path) {
    std::ifstream in(path);
    if (!in) return "";
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace qv::sbml_case
