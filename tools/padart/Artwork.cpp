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
        "# Pad button layout strings, written by tools/padart: do not edit by hand.\n"
        "# Count strings give the number of buttons of a pad type; layout strings are\n"
        "# kind,x,y,left,top,labelX,labelY,labelAlign,name.\n";
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
