// The committed pictures are exactly what tools/padart draws, and all of them are registered
// in the Qt resource file.
#include "ArtCatalogue.h"
#include "BmpFile.h"
#include "TempDir.h"

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include <QProcess>
#include <QStringList>

#include <gtest/gtest.h>

namespace vext::test {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> FilesUnder(const fs::path& root) {
    std::vector<std::string> out;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (entry.is_regular_file()) {
            out.push_back(fs::relative(entry.path(), root).generic_string());
        }
    }
    std::sort(out.begin(), out.end());
    return out;
}

bool RunPadart(const fs::path& out, std::string& error) {
    QProcess process;
    process.start(QStringLiteral(PADART_EXE), {QString::fromStdString(out.string())});
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        error = process.readAllStandardError().toStdString();
        return false;
    }
    return true;
}

TEST(PadArtRepro, RegeneratingGivesTheCommittedBytes) {
    TempDir dir;
    std::string error;
    ASSERT_TRUE(RunPadart(dir.path(), error)) << error;
    const std::vector<std::string> generated = FilesUnder(dir.path());
    ASSERT_GT(generated.size(), 60U);
    for (const std::string& file : generated) {
        SCOPED_TRACE(file);
        const std::vector<uint8_t> fresh = ReadAllBytes((dir.path() / file).string());
        const std::vector<uint8_t> committed = ReadAllBytes(ResDir() + "/" + file);
        ASSERT_FALSE(committed.empty()) << "not committed: run the padart-update target";
        EXPECT_TRUE(fresh == committed) << "differs from the committed file: run padart-update";
    }
    // Nothing stale is left among the drawn resources either.
    for (const char* sub : {"bitmaps", "anim", "icons", "about"}) {
        for (const std::string& file : FilesUnder(fs::path(ResDir()) / sub)) {
            const std::string name = std::string(sub) + "/" + file;
            EXPECT_TRUE(std::binary_search(generated.begin(), generated.end(), name))
                << name << " is not drawn by padart";
        }
    }
}

TEST(PadArtRepro, EveryPictureIsRegisteredInTheResourceFile) {
    std::ifstream qrc(ResDir() + "/vextkey.qrc");
    ASSERT_TRUE(qrc);
    std::stringstream text;
    text << qrc.rdbuf();
    const std::string xml = text.str();
    std::set<std::string> listed;
    const std::string open = "<file>";
    const std::string close = "</file>";
    for (size_t at = xml.find(open); at != std::string::npos; at = xml.find(open, at)) {
        at += open.size();
        const size_t end = xml.find(close, at);
        ASSERT_NE(end, std::string::npos);
        const std::string name = xml.substr(at, end - at);
        EXPECT_TRUE(fs::exists(fs::path(ResDir()) / name)) << name << " is listed but missing";
        listed.insert(name);
    }
    for (const char* sub : {"bitmaps", "anim", "icons", "about"}) {
        for (const std::string& f : FilesUnder(fs::path(ResDir()) / sub)) {
            const std::string name = std::string(sub) + "/" + f;
            EXPECT_TRUE(listed.count(name)) << name << " is not in vextkey.qrc";
        }
    }
    for (const BitmapSpec& spec : AllBitmaps()) {
        EXPECT_TRUE(listed.count("bitmaps/" + std::to_string(spec.id) + ".bmp")) << spec.id;
    }
}

} // namespace
} // namespace vext::test
