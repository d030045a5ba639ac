#include "tests/support/fake_platform.h"

#include <cerrno>

namespace tarvel::test {
namespace {

class CFaultyFile : public CFile {
public:
    CFaultyFile(CFaultyPlatform& owner, std::unique_ptr<CFile> real) : m_owner(owner), m_real(std::move(real)) {}

    bool Read(void* buffer, std::size_t size, std::size_t* bytesRead) override {
        return m_owner.Pass("read") && m_owner.Real(m_real->Read(buffer, size, bytesRead));
    }
    bool Write(const void* data, std::size_t size) override {
        if (!m_owner.Pass("write")) {
            // A failed write may still have put part of the data on disk.
            if (size > 1) m_real->Write(data, size / 2);
            return false;
        }
        return m_owner.Real(m_real->Write(data, size));
    }
    bool Flush() override { return m_owner.Pass("flush") && m_owner.Real(m_real->Flush()); }
    bool Close() override {
        bool closed = m_owner.Real(m_real->Close());
        return m_owner.Pass("close") && closed;
    }

private:
    CFaultyPlatform& m_owner;
    std::unique_ptr<CFile> m_real;
};

}  // namespace

CFaultyPlatform::CFaultyPlatform() : m_real(MakePosixPlatform()) {}

bool CFaultyPlatform::Pass(const char* operation) {
    m_log.emplace_back(operation);
    if (++m_count != m_failAt) return true;
    return SetError(m_nInjected);
}

bool CFaultyPlatform::Real(bool ok) {
    if (!ok) SetError(m_real->LastErrorNumber(), m_real->LastError());
    return ok;
}

std::unique_ptr<CFile> CFaultyPlatform::Open(const std::string& path, OpenMode mode) {
    if (!Pass("open")) return nullptr;
    std::unique_ptr<CFile> file = m_real->Open(path, mode);
    if (!Real(file != nullptr)) return nullptr;
    return std::make_unique<CFaultyFile>(*this, std::move(file));
}

bool CFaultyPlatform::Rename(const std::string& from, const std::string& to) {
    return Pass("rename") && Real(m_real->Rename(from, to));
}
bool CFaultyPlatform::RenameNoReplace(const std::string& from, const std::string& to, bool syncDirectory) {
    return Pass("rename") && Real(m_real->RenameNoReplace(from, to, syncDirectory));
}
bool CFaultyPlatform::CopyPermissions(const std::string& model, const std::string& path) {
    return Pass("chmod") && Real(m_real->CopyPermissions(model, path));
}
std::vector<std::string> CFaultyPlatform::ListDirectory(const std::string& dir) { return m_real->ListDirectory(dir); }
bool CFaultyPlatform::Remove(const std::string& path) { return Pass("remove") && Real(m_real->Remove(path)); }
bool CFaultyPlatform::SetCurrentDirectory(const std::string& path) {
    return Pass("chdir") && Real(m_real->SetCurrentDirectory(path));
}
bool CFaultyPlatform::GetCurrentDirectory(std::string* path) {
    return Pass("getcwd") && Real(m_real->GetCurrentDirectory(path));
}
bool CFaultyPlatform::MakeDirectory(const std::string& path) {
    return Pass("mkdir") && Real(m_real->MakeDirectory(path));
}
bool CFaultyPlatform::IsDirectory(const std::string& path) { return m_real->IsDirectory(path); }
std::unique_ptr<CDirectoryLock> CFaultyPlatform::LockDirectory(const std::string& path, int waitSeconds,
                                                               const std::function<void()>& waiting) {
    if (!Pass("lock")) return nullptr;
    std::unique_ptr<CDirectoryLock> lock = m_real->LockDirectory(path, waitSeconds, waiting);
    Real(lock != nullptr);
    return lock;
}
std::optional<std::string> CFaultyPlatform::FindName(const std::string& dir, const std::string& name) {
    return m_real->FindName(dir, name);
}
std::string CFaultyPlatform::CanonicalPath(const std::string& path) { return m_real->CanonicalPath(path); }

int CRecordingPrompt::MessageBox(const std::string& text, int type) {
    shown.push_back({text, type});
    if ((type & 0xF) != kMbYesNo) return kIdOk;
    if (m_answers.empty()) return kIdYes;
    int answer = m_answers.front();
    m_answers.pop_front();
    return answer;
}

}  // namespace tarvel::test
