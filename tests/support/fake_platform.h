// Test doubles for the platform layer: a platform that passes every call to
// the real one and can fail any single operation, a prompt that records and
// answers message boxes, and a settings writer that records.
#pragma once

#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "convert/converter.h"
#include "platform/platform.h"
#include "platform/prompt.h"

namespace tarvel::test {

class CFaultyPlatform : public CPlatform {
public:
    CFaultyPlatform();

    // Makes operation number `k` (counted from 1 over every counted call) fail;
    // 0 fails none.
    // The failure reads as `error` (an errno value; EIO unless given).
    void FailAt(long k, int error = 5) {
        m_failAt = k;
        m_nInjected = error;
    }
    long operations() const { return m_count; }
    int injected() const { return m_nInjected; }
    // "open", "read", "write", "flush", "close", "rename", "remove",
    // "chmod", "chdir", "getcwd", "mkdir", "lock", "seek", one per counted call.
    const std::vector<std::string>& log() const { return m_log; }

    // Counts the call and returns the injected failure when it is the one to
    // fail, OK otherwise.
    CStatus Pass(const char* operation);

    CStatus Open(const std::string& path, OpenMode mode, std::unique_ptr<CFile>* file) override;
    CStatus Rename(const std::string& from, const std::string& to) override;
    using CPlatform::RenameNoReplace;
    CStatus RenameNoReplace(const std::string& from, const std::string& to, bool syncDirectory) override;
    CStatus CopyPermissions(const std::string& model, const std::string& path) override;
    CStatus ListDirectory(const std::string& dir, std::vector<std::string>* names) override;
    CStatus Remove(const std::string& path) override;
    CStatus GetCurrentDirectory(std::string* path) override;
    CStatus MakeDirectory(const std::string& path) override;
    bool IsDirectory(const std::string& path) override;
    FileInfo Examine(const std::string& path) override { return m_real->Examine(path); }
    CStatus LockDirectory(const std::string& path, int waitSeconds, const std::function<void()>& waiting,
                          std::unique_ptr<CDirectoryLock>* lock) override;
    std::optional<std::string> FindName(const std::string& dir, const std::string& name) override;
    CStatus CanonicalPath(const std::string& path, std::string* canonical) override;
    CStatus OpenScratch(std::unique_ptr<CFile>* file) override;

    CPlatform& real() { return *m_real; }

private:
    std::unique_ptr<CPlatform> m_real;
    long m_failAt = 0;
    int m_nInjected = 5;
    long m_count = 0;
    std::vector<std::string> m_log;
    std::mutex m_mutex;  // of the count and the log
};

struct ShownBox {
    std::string text;
    int type;
    bool operator==(const ShownBox&) const = default;
};

class CRecordingPrompt : public CPrompt {
public:
    int MessageBox(const std::string& text, int type) override;
    // Answers for the next Yes/No boxes, in order; Yes when none is left.
    void AnswerNext(int button) { m_answers.push_back(button); }
    std::vector<ShownBox> shown;

private:
    std::deque<int> m_answers;
};

// The texts of the boxes `prompt` showed, in order.
inline std::vector<std::string> Texts(const CRecordingPrompt& prompt) {
    std::vector<std::string> texts;
    for (const ShownBox& box : prompt.shown) texts.push_back(box.text);
    return texts;
}

class CRecordingSettings : public CSettingsWriter {
public:
    void WriteString(const char* section, const char* name, const std::string& value) override {
        written.push_back({std::string(section) + "/" + name, value});
    }
    std::vector<std::pair<std::string, std::string>> written;
};

}  // namespace tarvel::test
