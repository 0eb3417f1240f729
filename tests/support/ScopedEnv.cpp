#include "ScopedEnv.h"

#include <cstdlib>
#include <utility>

namespace vext::test {
namespace {

void Apply(const std::string& name, const std::optional<std::string>& value) {
    if (value) {
        ::setenv(name.c_str(), value->c_str(), 1);
    } else {
        ::unsetenv(name.c_str());
    }
}

} // namespace

ScopedEnv::ScopedEnv(std::string name, const std::optional<std::string>& value)
    : m_strName(std::move(name)) {
    if (const char* old = std::getenv(m_strName.c_str())) {
        m_oldValue = old;
    }
    Apply(m_strName, value);
}

ScopedEnv::~ScopedEnv() {
    Apply(m_strName, m_oldValue);
}

} // namespace vext::test
