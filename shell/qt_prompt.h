// Message boxes of the desktop program: a QMessageBox captioned "Tarvel".
#pragma once

#include <QWidget>

#include "platform/prompt.h"

namespace tarvel {

class CQtPrompt : public CPrompt {
public:
    // Boxes are modal over the active window.
    int MessageBox(const std::string& text, int type) override;
};

}  // namespace tarvel
