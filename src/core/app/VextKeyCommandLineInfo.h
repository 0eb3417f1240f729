#pragma once

// The program's own reading of its command line: the flag "ld" with a key-set file loads that
// key set and downloads it to the driver, the flag "ul" unloads the driver's key set; anything
// else is an interactive start, whose command line the shell reads again by its own rules.

#include <functional>
#include <string>
#include <string_view>

class CVextKeyCommandLineInfo {
public:
    enum : int { kActionNone = -1, kActionLoad = 0, kActionUnload = 1 };

    int m_nAction = kActionNone;
    std::string m_strFileName;

    // One argument, a flag's lead character already removed. Flags compare exactly, with case;
    // the last flag decides; a parameter is the file name only right after "ld" has been seen
    // and while none has been taken.
    void ParseParam(const char* pszParam, bool bFlag, bool bLast);

    // Tells whether a path names something that exists; the file system by default.
    using PathExists = std::function<bool(const std::string&)>;

    // Feeds argv[1..] to ParseParam. An argument beginning with "-" or "/" is a flag without
    // that character, except that one beginning with "/" is a path when it names something
    // that exists or holds a second "/" or a ".".
    void ParseCommandLine(int argc, const char* const* argv, const PathExists& exists = {});

    static bool IsFlag(std::string_view arg, const PathExists& exists);
};
