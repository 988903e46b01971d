// Each test process gives the MPI jobs it starts (and programs it runs as MPI singletons) a session
// directory of its own. Open MPI keeps every job of a user under one directory, which the last job
// to end removes; a job that starts meanwhile on the other core fails in orte_init ("orte_session_dir
// failed"), so two tests running at once could fail each other. Linked into every test program.
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include <unistd.h>

namespace {

class OwnMpiSessionDirectory {
public:
    OwnMpiSessionDirectory() {
        const char *base = std::getenv("TMPDIR");
        dir_ = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/qv-mpi-" + std::to_string(getpid());
        setenv("OMPI_MCA_orte_tmpdir_base", dir_.c_str(), 1);
    }
    ~OwnMpiSessionDirectory() {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
    OwnMpiSessionDirectory(const OwnMpiSessionDirectory &) = delete;
    OwnMpiSessionDirectory &operator=(const OwnMpiSessionDirectory &) = delete;

private:
    std::string dir_;
};

const OwnMpiSessionDirectory own_sessions;

}  // namespace
