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
        "# 200, 201 and 300: button count of pad type 0 (Standard Vext Pad), 1 (Corvel Pad) and\n"
        "# 2 (Twin-Stick Pad).\n"
        "# 202-213 (type 0), 214-227 (type 1) and 301-331 (type 2), one per button in image "
        "order:\n"
        "#   kind,x,y,left,top,labelX,labelY,labelAlign,name\n"
        "# kind 1 is a button (x = button bit, y = 1), kind 2 a direction (x = axis, y = 0 or 2:\n"
        "# axes 0 and 1 the left stick, 2 and 3 the right stick, 4 and 5 a D-pad of its own).\n"
        "# left,top place the button image on the pad picture; labelX,labelY is the end of its\n"
        "# leader line on the print picture, labelAlign 0 ends the label there and 1 starts it.\n";
    const auto standard = MakeStandardPad();
    const auto corvel = MakeCorvelPad();
    const auto twin = MakeTwinStickPad();
    for (const PadDesign* design : {standard.get(), corvel.get(), twin.get()}) {
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
