#include "platform/InOutError.h"

#include <cstring>

namespace platform {

InOutError::InOutError(const std::string& path, int error)
    : std::runtime_error(path + ": " + std::strerror(error)), path_(path), reason_(std::strerror(error)), error_(error) {}

InOutError::InOutError(const std::string& path, const std::string& reason)
    : std::runtime_error(path + ": " + reason), path_(path), reason_(reason) {}

}  // namespace platform
