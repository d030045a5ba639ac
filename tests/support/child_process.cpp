#include "tests/support/child_process.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;
#endif

#include <filesystem>

#include "platform/file_util.h"

namespace tarvel::test {

#ifdef _WIN32

namespace {

// `argument` quoted as CommandLineToArgvW reads it back: backslashes are
// doubled only before a quote.
std::wstring Quoted(const std::wstring& argument) {
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(2 * backslashes, L'\\');
    return quoted + L"\"";
}

}  // namespace

CChild::CChild(const std::string& program, const std::vector<std::string>& arguments,
               const std::string& output) {
    const std::wstring path = std::filesystem::absolute(PathOf(program)).make_preferred().wstring();
    std::wstring line = Quoted(path);
    for (const std::string& argument : arguments) line += L" " + Quoted(PathOf(argument).wstring());
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE null = ::CreateFileW(output.empty() ? L"NUL" : PathOf(output).c_str(), GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                output.empty() ? OPEN_EXISTING : CREATE_ALWAYS, 0, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = null;
    startup.hStdOutput = null;
    startup.hStdError = null;
    PROCESS_INFORMATION info{};
    if (::CreateProcessW(path.c_str(), line.data(), nullptr, nullptr, TRUE, DETACHED_PROCESS, nullptr,
                         nullptr, &startup, &info)) {
        ::CloseHandle(info.hThread);
        m_process = info.hProcess;
    }
    if (null != INVALID_HANDLE_VALUE) ::CloseHandle(null);
}

CChild::~CChild() {
    if (!m_bWaited) Kill();
    Wait();
    if (m_process != nullptr) ::CloseHandle(m_process);
}

bool CChild::started() const { return m_process != nullptr; }

void CChild::Kill() {
    if (m_process != nullptr) ::TerminateProcess(m_process, 255);
}

int CChild::Wait() {
    if (m_bWaited || m_process == nullptr) return m_nStatus;
    m_bWaited = true;
    DWORD code = 0;
    ::WaitForSingleObject(m_process, INFINITE);
    ::GetExitCodeProcess(m_process, &code);
    // TerminateProcess's code, 255, stands for a kill.
    m_nStatus = code == 255 ? -1 : static_cast<int>(code);
    return m_nStatus;
}

#else

CChild::CChild(const std::string& program, const std::vector<std::string>& arguments,
               const std::string& output) {
    std::vector<char*> argv = {const_cast<char*>(program.c_str())};
    for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    const char* sink = output.empty() ? "/dev/null" : output.c_str();
    ::posix_spawn_file_actions_addopen(&actions, 1, sink, O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = 0;
    if (::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) == 0) m_pid = pid;
    ::posix_spawn_file_actions_destroy(&actions);
}

CChild::~CChild() {
    if (!m_bWaited) Kill();
    Wait();
}

bool CChild::started() const { return m_pid > 0; }

void CChild::Kill() {
    if (m_pid > 0 && !m_bWaited) ::kill(m_pid, SIGKILL);
}

int CChild::Wait() {
    if (m_bWaited || m_pid <= 0) return m_nStatus;
    m_bWaited = true;
    int status = 0;
    if (::waitpid(m_pid, &status, 0) == m_pid && WIFEXITED(status)) m_nStatus = WEXITSTATUS(status);
    return m_nStatus;
}

#endif

int RunChild(const std::string& program, const std::vector<std::string>& arguments) {
    CChild child(program, arguments);
    return child.Wait();
}

}  // namespace tarvel::test
