#include "TempDir.h"

#include <cstdlib>
#include <system_error>

namespace vext::test {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vext-test-XXXXXX").string();
    if (char* made = ::mkdtemp(pattern.data())) {
        m_path = made;
    }
}

TempDir::~TempDir() {
    std::error_code ec;
    if (!m_path.empty()) {
        std::filesystem::remove_all(m_path, ec);
    }
}

} // namespace vext::test
