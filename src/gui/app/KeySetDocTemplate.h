#pragma once

// The document template of every key-set window: before a file is opened it must exist (message
// 120) and carry this program's file version (message 119).

#include "gui/framework/DocTemplate.h"

class CKeySetDocTemplate : public vext::CDocTemplate {
public:
    using CDocTemplate::CDocTemplate;

    vext::CDocument* OpenDocumentFile(const QString& strPath, bool bMakeVisible = true) override;
};
