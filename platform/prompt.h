// Modal message boxes. The desktop program shows a real box captioned
// "Tarvel", the command line prints the text, tests record what was shown and
// answer as scripted.
#pragma once

#include <string>

namespace tarvel {

// Box types, as the conversion names them.
inline constexpr int kMbOk = 0;
inline constexpr int kMbYesNo = 4;
inline constexpr int kMbIconInformation = 64;

// Buttons a box returns.
inline constexpr int kIdOk = 1;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;

class CPrompt {
public:
    virtual ~CPrompt() = default;
    // Shows `text` and returns the button pressed.
    virtual int MessageBox(const std::string& text, int type) = 0;
};

}  // namespace tarvel
