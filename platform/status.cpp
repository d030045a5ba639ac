#include "platform/status.h"

#include <cstring>

namespace tarvel {

CStatus CStatus::Error(int number) {
    // strerror's buffer may be shared between threads; strerror_r fills ours.
    char buffer[256];
    return CStatus(number, std::string(::strerror_r(number, buffer, sizeof buffer)));
}

}  // namespace tarvel
