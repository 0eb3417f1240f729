// What the picture resources must be: sizes and backgrounds of every bitmap, the pad layout
// strings as read from the committed string file.
#pragma once

#include "BmpFile.h"

#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace vext::test {

struct BitmapSpec {
    int id;
    int width;
    int height;
    BmpColour background;
};

inline constexpr BmpColour kWhite{255, 255, 255};
inline constexpr BmpColour kNearWhite{255, 254, 253};
inline constexpr BmpColour kSilver{192, 192, 192};

std::vector<BitmapSpec> AllBitmaps();
std::string ResDir();
std::string BitmapPath(int id);

// ID -> text of a string table file (lines "ID<TAB>text", '#' comments, \n \t \\ escapes).
std::map<int, std::string> ReadStringTable(const std::string& path, std::string& error);

struct LayoutEntry {
    int kind = 0;
    int x = 0;
    int y = 0;
    int left = 0;
    int top = 0;
    int labelX = 0;
    int labelY = 0;
    int labelAlign = 0;
    std::string name;
};

// Splits "kind,x,y,left,top,labelX,labelY,labelAlign,name"; false when it is not that form.
bool ParseLayout(const std::string& text, LayoutEntry& out);

struct PadSpec {
    int type;
    int pictureId;
    int printId;
    int countString;
    int firstString;
    int firstNormal;
    int firstHighlight;
    int buttons;
    int directions; // the left stick's four; the Twin-Stick Pad's right stick and D-pad too
};

std::vector<PadSpec> Pads();

inline void PrintTo(const PadSpec& pad, std::ostream* os) {
    *os << "pad type " << pad.type;
}

} // namespace vext::test
