// Fuzz target for the key-set reader: any bytes either read into a document whose sizes the
// file can back, or are refused with a reason.

#include "core/model/KeySetFile.h"
#include "core/model/VextKeyDoc.h"
#include "core/platform/ProfileFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#define CHECK(condition)                                                                           \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: %s\n", __FILE__, __LINE__, #condition);                   \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    vext::ProfileFile file;
    file.Parse(std::string_view(reinterpret_cast<const char*>(data), size));
    CVextKeyDoc doc;
    const bool bRead = doc.ReadKeySet(vext::ProfileFileSource(file));
    if (!bRead) {
        CHECK(!doc.GetFileError().empty());
        CHECK(doc.m_functions.empty());
        return 0;
    }
    CHECK(doc.m_padTypes.size() <= CVextKeyDoc::kSlotCount);
    CHECK(doc.m_functions.size() <= file.LineCount());
    CHECK(doc.m_functions.size() <= file.CountSections("Func_") + 16);
    CHECK(doc.m_mappings.GetCount() <= file.LineCount());
    size_t nSteps = 0;
    for (const auto& f : doc.m_functions) {
        nSteps += f->m_steps.size();
        CHECK(f->m_strDescription.size() < vext::ProfileFile::kBufferSize);
        CHECK(f->m_strComments.size() < vext::ProfileFile::kBufferSize);
    }
    CHECK(nSteps <= file.LineCount());
    CHECK(!doc.IsModified());
    return 0;
}
