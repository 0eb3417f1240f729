#pragma once

#include <optional>
#include <string>

namespace vext::test {

// Sets or unsets one environment variable for a scope and puts the old value back after.
// Not for use while other threads read the environment.
class ScopedEnv {
public:
    ScopedEnv(std::string name, const std::optional<std::string>& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string m_strName;
    std::optional<std::string> m_oldValue;
};

} // namespace vext::test
