#include "platform/status.h"

#include <cstring>

namespace tarvel {

CStatus CStatus::Error(int number) {
    // strerror's buffer may be shared between threads; strerror_r (strerror_s
    // on Windows) fills ours.
    char buffer[256];
#ifdef _WIN32
    if (::strerror_s(buffer, sizeof buffer, number) != 0) buffer[0] = '\0';
    return CStatus(number, std::string(buffer));
#else
    return CStatus(number, std::string(::strerror_r(number, buffer, sizeof buffer)));
#endif
}

}  // namespace tarvel
