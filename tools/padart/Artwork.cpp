#include "Artwork.h"

#include "IndexedImage.h"
#include "PadDesign.h"
#include "PadWriter.h"
#include "SmallArt.h"

#include <filesystem>
#include <vector>

namespace vext::padart {

bool WriteAllArtwork(const std::string& outDir, std::string& error) {
    std::error_code ec;
    for (const char* sub : {"bitmaps", "anim", "icons", "strings", "about"}) {
        std::filesystem::create_directories(std::filesystem::path(outDir) / sub, ec);
        if (ec) {
            error = "cannot create " + outDir + "/" + sub + ": " + ec.message();
            return false;
        }
    }
    std::string strings =
        "# Pad button layouts, written by tools/padart with the pictures they describe: change\n"
        "# the drawing there and regenerate rather than editing this file.\n"
        "# 200 and 201: button count of pad type 0 (Standard Vext Pad) and 1 (Corvel Pad).\n"
        "# 202-213 (type 0) and 214-227 (type 1), one per button in image order:\n"
        "#   kind,x,y,left,top,labelX,labelY,labelAlign,name\n"
        "# kind 1 is a button (x = button bit, y = 1), kind 2 a direction (x = axis, y = 0 or 2).\n"
        "# left,top place the button image on the pad picture; labelX,labelY is the end of its\n"
        "# leader line on the print picture, labelAlign 0 ends the label there and 1 starts it.\n";
    const auto standard = MakeStandardPad();
    const auto corvel = MakeCorvelPad();
    for (const PadDesign* design : {standard.get(), corvel.get()}) {
        if (!WritePad(*design, outDir, strings, error)) {
            return false;
        }
    }
    const std::string path = outDir + "/strings/padlayout.txt";
    if (!WriteFile(path, std::vector<uint8_t>(strings.begin(), strings.end()))) {
        error = "cannot write " + path;
        return false;
    }
    return WriteToolbars(outDir, error) && WriteBulbAndIcon(outDir, error) &&
           WriteAboutPicture(outDir, error) && WriteAnimations(outDir, error);
}

} // namespace vext::padart
