#include "shell/tarvel_doc.h"

#include "convert/detect.h"
#include "platform/file_util.h"
#include "shell/tarvel_app.h"
#include "shell/tarvel_view.h"

namespace tarvel {

bool CTarvelDoc::OnNewDocument() {
    m_view.OnClearWindow();
    return true;
}

bool CTarvelDoc::OnOpenDocument(const QByteArray& path) {
    CTarvelApp& app = m_app;
    std::unique_ptr<CFile> file;
    if (CStatus status = app.platform().Open(path.toStdString(), OpenMode::kRead, &file); !status) {
        app.prompt().MessageBox(OpenFailureMessage(status, "Cannot open", path.toStdString()), kMbOk);
        return false;
    }
    file.reset();
    // A file that is no text, or empty, is refused now rather than in the dialog.
    const CDetectedLayout layout = DetectFileLayout(app.platform(), path.toStdString());
    if (layout.m_failure == DetectFailure::kNotText || layout.m_failure == DetectFailure::kEmpty ||
        layout.m_failure == DetectFailure::kNoLineEnd) {
        app.prompt().MessageBox(path.toStdString() + " cannot be converted: " + layout.m_strReason + ".",
                                kMbOk);
        return false;
    }
    m_view.SetPathIn(path);
    m_view.OnPreviewFile();
    return true;
}

}  // namespace tarvel
