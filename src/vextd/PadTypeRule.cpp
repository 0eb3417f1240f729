#include "PadTypeRule.h"

#include "DriverOptions.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace vext {
namespace {

std::string Fold(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return out;
}

std::string_view Trim(std::string_view text) {
    const size_t nFirst = text.find_first_not_of(" \t\r");
    if (nFirst == std::string_view::npos) {
        return {};
    }
    const size_t nLast = text.find_last_not_of(" \t\r");
    return text.substr(nFirst, nLast - nFirst + 1);
}

} // namespace

void PadTypeRule::Parse(std::string_view text, std::vector<std::string>* pWarnings) {
    int nLine = 0;
    while (!text.empty()) {
        const size_t nEnd = text.find('\n');
        const std::string_view line = Trim(text.substr(0, nEnd));
        text = nEnd == std::string_view::npos ? std::string_view() : text.substr(nEnd + 1);
        ++nLine;
        if (line.empty() || line.front() == '#') {
            continue;
        }
        // The last "=" splits, so pad names may contain one.
        const size_t nEqual = line.rfind('=');
        const std::string_view name =
            nEqual == std::string_view::npos ? std::string_view() : Trim(line.substr(0, nEqual));
        const std::string type =
            nEqual == std::string_view::npos ? std::string() : Fold(Trim(line.substr(nEqual + 1)));
        int nType = -1;
        if (type == "standard" || type == "0") {
            nType = kPadStandard;
        } else if (type == "corvel" || type == "1") {
            nType = kPadCorvel;
        }
        if (IsDriverSetting(name)) {
            continue; // read by ReadDriverSettings
        }
        if (name.empty() || nType < 0) {
            pWarnings->push_back("pad configuration line " + std::to_string(nLine) +
                                 " is not \"<pad name> = standard|corvel\"; skipped");
            continue;
        }
        m_overrides.emplace_back(Fold(name), nType);
    }
}

bool PadTypeRule::Load(const std::string& path, std::vector<std::string>* pWarnings) {
    m_overrides.clear();
    std::error_code error;
    if (!std::filesystem::exists(path, error) && !error) {
        return true;
    }
    std::ifstream in;
    if (std::filesystem::is_regular_file(path, error)) {
        in.open(path, std::ios::binary);
    }
    if (!in.is_open() || !in) {
        pWarnings->push_back("cannot read the pad configuration " + path);
        return false;
    }
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Parse(text, pWarnings);
    return true;
}

int PadTypeRule::TypeFor(std::string_view name, int nButtons) const {
    const std::string folded = Fold(Trim(name));
    for (const auto& [overrideName, nType] : m_overrides) {
        if (overrideName == folded) {
            return nType;
        }
    }
    return nButtons >= kCorvelMinButtons ? kPadCorvel : kPadStandard;
}

std::string PadTypeRule::DefaultPath() {
    const char* pConfig = std::getenv("XDG_CONFIG_HOME");
    if (pConfig != nullptr && pConfig[0] == '/') {
        return std::string(pConfig) + "/vext/pads.conf";
    }
    const char* pHome = std::getenv("HOME");
    return std::string(pHome != nullptr ? pHome : "") + "/.config/vext/pads.conf";
}

} // namespace vext
