#include "tests/support/fake_platform.h"

namespace tarvel::test {
namespace {

class CFaultyFile : public CFile {
public:
    CFaultyFile(CFaultyPlatform& owner, std::unique_ptr<CFile> real) : m_owner(owner), m_real(std::move(real)) {}

    bool Read(void* buffer, std::size_t size, std::size_t* bytesRead) override {
        return m_owner.Pass("read") && m_real->Read(buffer, size, bytesRead);
    }
    bool Write(const void* data, std::size_t size) override {
        if (!m_owner.Pass("write")) {
            // A failed write may still have put part of the data on disk.
            if (size > 1) m_real->Write(data, size / 2);
            return false;
        }
        return m_real->Write(data, size);
    }
    bool Flush() override { return m_owner.Pass("flush") && m_real->Flush(); }
    bool Close() override {
        bool closed = m_real->Close();
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
    return ++m_count != m_failAt;
}

std::unique_ptr<CFile> CFaultyPlatform::Open(const std::string& path, OpenMode mode) {
    if (!Pass("open")) return nullptr;
    std::unique_ptr<CFile> file = m_real->Open(path, mode);
    if (!file) return nullptr;
    return std::make_unique<CFaultyFile>(*this, std::move(file));
}

bool CFaultyPlatform::Rename(const std::string& from, const std::string& to) {
    return Pass("rename") && m_real->Rename(from, to);
}
bool CFaultyPlatform::Remove(const std::string& path) { return Pass("remove") && m_real->Remove(path); }
bool CFaultyPlatform::Copy(const std::string& from, const std::string& to) {
    return Pass("copy") && m_real->Copy(from, to);
}
bool CFaultyPlatform::SetCurrentDirectory(const std::string& path) {
    return Pass("chdir") && m_real->SetCurrentDirectory(path);
}
bool CFaultyPlatform::GetCurrentDirectory(std::string* path) {
    return Pass("getcwd") && m_real->GetCurrentDirectory(path);
}
bool CFaultyPlatform::MakeDirectory(const std::string& path) { return Pass("mkdir") && m_real->MakeDirectory(path); }
bool CFaultyPlatform::IsDirectory(const std::string& path) { return m_real->IsDirectory(path); }
std::unique_ptr<CDirectoryLock> CFaultyPlatform::LockDirectory(const std::string& path) {
    if (!Pass("lock")) return nullptr;
    return m_real->LockDirectory(path);
}
std::optional<std::string> CFaultyPlatform::FindName(const std::string& dir, const std::string& name) {
    return m_real->FindName(dir, name);
}
std::string CFaultyPlatform::CanonicalPath(const std::string& path) { return m_real->CanonicalPath(path); }
std::string CFaultyPlatform::LocalDate() { return m_today; }

int CRecordingPrompt::MessageBox(const std::string& text, int type) {
    shown.push_back({text, type});
    if ((type & 0xF) != kMbYesNo) return kIdOk;
    if (m_answers.empty()) return kIdYes;
    int answer = m_answers.front();
    m_answers.pop_front();
    return answer;
}

}  // namespace tarvel::test
