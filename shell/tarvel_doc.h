// The document: stands for the opened input file, holds nothing of its own
// and never writes the file.
#pragma once

#include <QByteArray>

namespace tarvel {

class CTarvelApp;
class CTarvelView;

class CTarvelDoc {
public:
    CTarvelDoc(CTarvelApp& app, CTarvelView& view) : m_app(app), m_view(view) {}

    // Empties the log; the path of the file opened last stays.
    bool OnNewDocument();
    // Checks that `path` opens for reading (telling the user when it does
    // not), hands it to the view and previews it, which leads into the
    // settings dialog and the conversion. Returns false when it does not open.
    // `path` is the file name as the system has it (QFile::encodeName).
    bool OnOpenDocument(const QByteArray& path);

private:
    CTarvelApp& m_app;
    CTarvelView& m_view;
};

}  // namespace tarvel
