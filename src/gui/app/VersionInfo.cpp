#include "gui/app/VersionInfo.h"

#ifndef VEXT_VERSION_MAJOR
#define VEXT_VERSION_MAJOR 0
#endif
#ifndef VEXT_VERSION_MINOR
#define VEXT_VERSION_MINOR 0
#endif

CVersionInfo::Block CVersionInfo::ProgramBlock() {
    Block block;
    block.strProductName = QStringLiteral("VextKey");
    block.strCompanyName = QStringLiteral("Zelvan");
    block.strFileDescription = QStringLiteral("VextKey game pad keyboard emulation configurator");
    block.strLegalCopyright = QStringLiteral("Copyright \u00A9 2026 Zelvan. All rights reserved.");
    block.nMajor = VEXT_VERSION_MAJOR;
    block.nMinor = VEXT_VERSION_MINOR;
    block.strProductVersion = QStringLiteral("%1.%2").arg(block.nMajor).arg(block.nMinor);
#ifdef VEXT_PRERELEASE
    block.nFileFlags |= VS_FF_PRERELEASE;
#endif
    return block;
}

CVersionInfo::CVersionInfo(uint32_t) {
    m_strBuildDate = QStringLiteral(__DATE__);
    m_strBuildTime = QStringLiteral(__TIME__);
    Read(ProgramBlock());
}

CVersionInfo::CVersionInfo(const Block& block, const QString& strBuildDate,
                           const QString& strBuildTime)
    : m_strBuildDate(strBuildDate), m_strBuildTime(strBuildTime) {
    Read(block);
}

void CVersionInfo::Read(const Block& block) {
    m_strCompanyName = block.strCompanyName;
    m_strFileDescription = block.strFileDescription;
    m_strFileVersion = block.strProductVersion;
    m_strInternalName = block.strProductName;
    m_strLegalCopyright = block.strLegalCopyright;
    m_strOriginalFilename = block.strProductName.toLower();
    m_strProductName = block.strProductName;
    m_strProductVersion = block.strProductVersion;
    m_nFileFlags = block.nFileFlags & block.nFileFlagsMask;

    m_strVersionText = QStringLiteral("%1.%2").arg(block.nMajor).arg(block.nMinor);
    if (m_nFileFlags & VS_FF_DEBUG) {
        m_strVersionText += QStringLiteral("  DEBUG");
    }
    if (m_nFileFlags & VS_FF_PRERELEASE) {
        m_strVersionText += QStringLiteral("  ") + m_strProductVersion + QStringLiteral("  ") +
                            m_strBuildDate + QStringLiteral("  ") + m_strBuildTime;
    }
}
