#pragma once
// Thrown by a platform stand-in when the library behind it cannot be loaded or
// one of its entry points cannot be called: what the drivers' checks report
// as "driver not found".
#include <stdexcept>
#include <string>

namespace orvex::platform {

class DriverUnavailable : public std::runtime_error {
public:
    explicit DriverUnavailable(const std::string& what) : std::runtime_error(what) {}
};

}  // namespace orvex::platform
