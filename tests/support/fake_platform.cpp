#include "tests/support/fake_platform.h"

#include <cerrno>

namespace tarvel::test {
namespace {

class CFaultyFile : public CFile {
public:
    CFaultyFile(CFaultyPlatform& owner, std::unique_ptr<CFile> real)
        : m_owner(owner), m_real(std::move(real)) {}

    CStatus Read(void* buffer, std::size_t size, std::size_t* bytesRead) override {
        if (CStatus status = m_owner.Pass("read"); !status) return status;
        return m_real->Read(buffer, size, bytesRead);
    }
    CStatus Write(const void* data, std::size_t size) override {
        if (CStatus status = m_owner.Pass("write"); !status) {
            // A failed write may still have put part of the data on disk.
            if (size > 1) m_real->Write(data, size / 2);
            return status;
        }
        return m_real->Write(data, size);
    }
    CStatus Flush() override {
        if (CStatus status = m_owner.Pass("flush"); !status) return status;
        return m_real->Flush();
    }
    CStatus Close() override {
        CStatus closed = m_real->Close();
        if (CStatus status = m_owner.Pass("close"); !status) return status;
        return closed;
    }
    CStatus Seek(std::uint64_t offset) override {
        if (CStatus status = m_owner.Pass("seek"); !status) return status;
        return m_real->Seek(offset);
    }

private:
    CFaultyPlatform& m_owner;
    std::unique_ptr<CFile> m_real;
};

}  // namespace

CFaultyPlatform::CFaultyPlatform() : m_real(MakeSystemPlatform()) {}

CStatus CFaultyPlatform::Pass(const char* operation) {
    // A batch calls from several threads at once, as it may the real platform.
    std::lock_guard lock(m_mutex);
    m_log.emplace_back(operation);
    if (++m_count != m_failAt) return CStatus::Ok();
    return CStatus::Error(m_nInjected);
}

CStatus CFaultyPlatform::Open(const std::string& path, OpenMode mode, std::unique_ptr<CFile>* file) {
    file->reset();
    if (CStatus status = Pass("open"); !status) return status;
    std::unique_ptr<CFile> real;
    if (CStatus status = m_real->Open(path, mode, &real); !status) return status;
    *file = std::make_unique<CFaultyFile>(*this, std::move(real));
    return CStatus::Ok();
}

CStatus CFaultyPlatform::OpenScratch(std::unique_ptr<CFile>* file) {
    file->reset();
    if (CStatus status = Pass("open"); !status) return status;
    std::unique_ptr<CFile> real;
    if (CStatus status = m_real->OpenScratch(&real); !status) return status;
    *file = std::make_unique<CFaultyFile>(*this, std::move(real));
    return CStatus::Ok();
}

CStatus CFaultyPlatform::Rename(const std::string& from, const std::string& to) {
    if (CStatus status = Pass("rename"); !status) return status;
    return m_real->Rename(from, to);
}
CStatus CFaultyPlatform::RenameNoReplace(const std::string& from, const std::string& to, bool syncDirectory) {
    if (CStatus status = Pass("rename"); !status) return status;
    return m_real->RenameNoReplace(from, to, syncDirectory);
}
CStatus CFaultyPlatform::CopyPermissions(const std::string& model, const std::string& path) {
    if (CStatus status = Pass("chmod"); !status) return status;
    return m_real->CopyPermissions(model, path);
}
CStatus CFaultyPlatform::ListDirectory(const std::string& dir, std::vector<std::string>* names) {
    return m_real->ListDirectory(dir, names);
}
CStatus CFaultyPlatform::Remove(const std::string& path) {
    if (CStatus status = Pass("remove"); !status) return status;
    return m_real->Remove(path);
}
CStatus CFaultyPlatform::GetCurrentDirectory(std::string* path) {
    if (CStatus status = Pass("getcwd"); !status) return status;
    return m_real->GetCurrentDirectory(path);
}
CStatus CFaultyPlatform::MakeDirectory(const std::string& path) {
    if (CStatus status = Pass("mkdir"); !status) return status;
    return m_real->MakeDirectory(path);
}
bool CFaultyPlatform::IsDirectory(const std::string& path) { return m_real->IsDirectory(path); }
CStatus CFaultyPlatform::LockDirectory(const std::string& path, int waitSeconds,
                                       const std::function<void()>& waiting,
                                       std::unique_ptr<CDirectoryLock>* lock) {
    lock->reset();
    if (CStatus status = Pass("lock"); !status) return status;
    return m_real->LockDirectory(path, waitSeconds, waiting, lock);
}
std::optional<std::string> CFaultyPlatform::FindName(const std::string& dir, const std::string& name) {
    return m_real->FindName(dir, name);
}
CStatus CFaultyPlatform::CanonicalPath(const std::string& path, std::string* canonical) {
    return m_real->CanonicalPath(path, canonical);
}

int CRecordingPrompt::MessageBox(const std::string& text, int type) {
    shown.push_back({text, type});
    if ((type & 0xF) != kMbYesNo) return kIdOk;
    if (m_answers.empty()) return kIdYes;
    int answer = m_answers.front();
    m_answers.pop_front();
    return answer;
}

}  // namespace tarvel::test
