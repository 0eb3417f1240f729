// vextkey --print-pdf writes a key set's mapping sheets into a PDF file without any display; the
// pages are read back with pdftotext.

#include "Process.h"
#include "ScopedEnv.h"
#include "TempDir.h"
#include "core/model/ButtonId.h"
#include "core/model/VextKeyDoc.h"

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

using namespace vext;
using vext::test::RunProcess;

namespace {

class PrintPdfE2E : public ::testing::Test {
protected:
    PrintPdfE2E()
        : m_display("DISPLAY", std::nullopt), m_wayland("WAYLAND_DISPLAY", std::nullopt),
          m_platform("QT_QPA_PLATFORM", std::nullopt) {}

    void SetUp() override {
        ASSERT_TRUE(std::filesystem::exists(PDFTOTEXT_EXE))
            << "pdftotext is missing: tools/deps.sh installs poppler-utils";
    }

    // Saves a key set whose slot 3 holds a Corvel Pad; each mapping is (slot, x, y, kind).
    std::string Save(const std::vector<std::pair<std::string, std::vector<uint32_t>>>& functions) {
        CVextKeyDoc doc;
        doc.m_padTypes = {0, 0, 1, 0};
        for (const auto& [strDescription, buttons] : functions) {
            auto f = std::make_unique<CKeyFunction>();
            f->m_strDescription = strDescription;
            const int nCookie = doc.AddFunction(std::move(f))->m_nCookie;
            for (uint32_t id : buttons) {
                doc.MapButton(nCookie, id);
            }
        }
        const std::string path = m_dir.file("Sheets.vks");
        EXPECT_TRUE(doc.OnSaveDocument(path)) << doc.GetFileError();
        return path;
    }

    // pdftotext's output: the text with a form feed after every page, or with -bbox every
    // word and its box.
    static std::string PdfText(const std::string& strPdf, bool bBoxes = false) {
        std::vector<std::string> args = {strPdf, "-"};
        if (bBoxes) {
            args.insert(args.begin(), "-bbox");
        }
        const auto text = RunProcess(PDFTOTEXT_EXE, args);
        EXPECT_EQ(text.nExitCode, 0) << text.strErr;
        return text.strOut;
    }

    // A number attribute of the tag that starts at at; -1 when there is none.
    static double Attribute(const std::string& strXml, std::size_t at, const std::string& strName) {
        const std::size_t end = strXml.find('>', at);
        const std::size_t found = strXml.find(" " + strName + "=\"", at);
        if (at == std::string::npos || found == std::string::npos || found > end) {
            return -1.0;
        }
        return std::strtod(strXml.c_str() + found + strName.size() + 3, nullptr);
    }

    static std::vector<std::string> Pages(const std::string& strPdf) {
        const std::string strText = PdfText(strPdf);
        std::vector<std::string> pages;
        std::size_t start = 0;
        for (std::size_t at = strText.find('\f'); at != std::string::npos;
             at = strText.find('\f', start)) {
            pages.push_back(strText.substr(start, at - start));
            start = at + 1;
        }
        return pages;
    }

    test::TempDir m_dir;
    test::ScopedEnv m_display;
    test::ScopedEnv m_wayland;
    test::ScopedEnv m_platform;
};

TEST_F(PrintPdfE2E, OnePagePerMappedSlotWithItsHeaderAndDescriptions) {
    const std::string file = Save({{"Jump", {MakeButtonId(1, 0, 1, 1)}},
                                   {"Fire", {MakeButtonId(3, 1, 1, 1), MakeButtonId(1, 4, 1, 1)}},
                                   {"Map", {MakeButtonId(3, 0, 2, 2)}},
                                   {"Unused", {}}});
    const std::string pdf = m_dir.file("out.pdf");
    const auto run = RunProcess(VEXTKEY_EXE, {"--print-pdf", file, pdf});
    ASSERT_EQ(run.nExitCode, 0) << run.strErr;
    EXPECT_EQ(run.strErr, "") << "silent on success";
    const std::vector<std::string> pages = Pages(pdf);
    ASSERT_EQ(pages.size(), 2u);
    const std::vector<std::vector<std::string>> expected = {
        {"Sheets", "Page: 1", "Slot: 1", "Jump", "Fire"},
        {"Sheets", "Page: 2", "Slot: 3", "Fire", "Map"}};
    for (std::size_t i = 0; i < pages.size(); ++i) {
        for (const std::string& strText : expected[i]) {
            EXPECT_NE(pages[i].find(strText), std::string::npos)
                << "page " << i + 1 << ": " << strText;
        }
        EXPECT_EQ(pages[i].find("Unused"), std::string::npos);
    }
    // A TrueType face embeds the letters used, not a whole Type 1 font, and the drawing goes in
    // at one bit a pixel: two pages stay small.
    const auto fonts = RunProcess(PDFFONTS_EXE, {pdf});
    EXPECT_NE(fonts.strOut.find("TrueType"), std::string::npos) << fonts.strOut;
    EXPECT_EQ(fonts.strOut.find("Type 1"), std::string::npos) << fonts.strOut;
    EXPECT_LT(std::filesystem::file_size(pdf), 400u * 1024);
}

TEST_F(PrintPdfE2E, ALongDescriptionStaysOnThePage) {
    const std::string strLong =
        "Switch to the next weapon in the inventory, skipping the empty ones and the grenades";
    const std::string file =
        Save({{strLong, {MakeButtonId(1, 2, 1, 1)}}, {"Duck", {MakeButtonId(1, 1, 0, 2)}}});
    const std::string pdf = m_dir.file("long.pdf");
    const auto run = RunProcess(VEXTKEY_EXE, {"--print-pdf", file, pdf});
    ASSERT_EQ(run.nExitCode, 0) << run.strErr;
    ASSERT_EQ(Pages(pdf).size(), 1u);
    const std::string strBoxes = PdfText(pdf, true);
    const double width = Attribute(strBoxes, strBoxes.find("<page "), "width");
    ASSERT_GT(width, 0.0);
    std::string strWords;
    for (std::size_t at = strBoxes.find("<word "); at != std::string::npos;
         at = strBoxes.find("<word ", at + 1)) {
        const std::size_t textAt = strBoxes.find('>', at) + 1;
        const std::string strWord = strBoxes.substr(textAt, strBoxes.find('<', textAt) - textAt);
        EXPECT_GE(Attribute(strBoxes, at, "xMin"), 0.0) << strWord;
        EXPECT_LE(Attribute(strBoxes, at, "xMax"), width) << strWord;
        strWords += strWord + " ";
    }
    EXPECT_NE(strWords.find("Switch to the next weapon"), std::string::npos) << strWords;
    EXPECT_NE(strWords.find("Duck"), std::string::npos) << strWords;
}

TEST_F(PrintPdfE2E, NoMappingsPrintNothing) {
    const std::string file = Save({{"Jump", {}}});
    const std::string pdf = m_dir.file("none.pdf");
    const auto run = RunProcess(VEXTKEY_EXE, {"--print-pdf", file, pdf});
    EXPECT_EQ(run.nExitCode, 1);
    EXPECT_NE(run.strErr.find("nothing to print"), std::string::npos) << run.strErr;
    EXPECT_FALSE(std::filesystem::exists(pdf));

    const auto missing = RunProcess(VEXTKEY_EXE, {"--print-pdf", file});
    EXPECT_EQ(missing.nExitCode, 2);
    EXPECT_NE(missing.strErr.find("--print-pdf"), std::string::npos) << missing.strErr;
}

} // namespace
