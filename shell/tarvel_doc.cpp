#include "shell/tarvel_doc.h"

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
    if (!app.platform().Open(path.toStdString(), OpenMode::kRead)) {
        app.prompt().MessageBox(OpenFailureMessage(app.platform(), "Cannot open", path.toStdString()), kMbOk);
        return false;
    }
    m_view.SetPathIn(path);
    m_view.OnPreviewFile();
    return true;
}

}  // namespace tarvel
