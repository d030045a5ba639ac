// A program run in a process of its own, for tests that race it against
// another process or kill it at a random moment: posix_spawn and SIGKILL on
// POSIX, CreateProcessW and TerminateProcess on Windows.
#pragma once

#include <string>
#include <vector>

namespace tarvel::test {

class CChild {
public:
    // Starts `program` with `arguments` (argv[1] on), the environment
    // inherited, standard output and error written to `output` (discarded
    // when it is "").
    CChild(const std::string& program, const std::vector<std::string>& arguments,
           const std::string& output = "");
    // Kills a child still running and waits for it.
    ~CChild();
    CChild(const CChild&) = delete;
    CChild& operator=(const CChild&) = delete;

    bool started() const;
    // Ends the process at once, as a crash or a power cut would.
    void Kill();
    // Waits for the process; its exit status, -1 when it was killed or never
    // started.
    int Wait();

private:
#ifdef _WIN32
    void* m_process = nullptr;
#else
    int m_pid = -1;
#endif
    bool m_bWaited = false;
    int m_nStatus = -1;
};

// Runs `program` with `arguments` to its end; its exit status.
int RunChild(const std::string& program, const std::vector<std::string>& arguments);

}  // namespace tarvel::test
