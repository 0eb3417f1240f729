#pragma once

// The program's version information: the standard version strings, the fixed product version
// and flags, the build date and time, and the version text shown in the About box.

#include <cstdint>

#include <QString>

class CVersionInfo {
public:
    enum : uint32_t { VS_FF_DEBUG = 0x1, VS_FF_PRERELEASE = 0x2 };

    // What a version block holds; the program's own comes from the build.
    struct Block {
        QString strProductName;
        QString strLegalCopyright;
        QString strCompanyName;
        QString strFileDescription;
        QString strProductVersion;
        uint16_t nMajor = 0;
        uint16_t nMinor = 0;
        uint32_t nFileFlags = 0;
        uint32_t nFileFlagsMask = 0x3F;
    };
    static Block ProgramBlock();

    // Reads the program's own version block (translation 0x040904B0 is the only one it has).
    explicit CVersionInfo(uint32_t nTranslation = 0x040904B0);
    CVersionInfo(const Block& block, const QString& strBuildDate, const QString& strBuildTime);

    QString m_strComments;
    QString m_strCompanyName;
    QString m_strFileDescription;
    QString m_strFileVersion;
    QString m_strInternalName;
    QString m_strLegalCopyright;
    QString m_strLegalTrademarks;
    QString m_strOriginalFilename;
    QString m_strPrivateBuild;
    QString m_strProductName;
    QString m_strProductVersion;
    QString m_strSpecialBuild;
    QString m_strBuildDate;
    QString m_strBuildTime;
    QString m_strVersionText;
    uint32_t m_nFileFlags = 0;

    bool IsPreRelease() const { return (m_nFileFlags & VS_FF_PRERELEASE) != 0; }

private:
    void Read(const Block& block);
};
