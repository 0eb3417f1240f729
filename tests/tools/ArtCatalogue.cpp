#include "ArtCatalogue.h"

#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>

namespace vext::test {

std::string ResDir() {
    return VEXT_RES_DIR;
}

std::string BitmapPath(int id) {
    return ResDir() + "/bitmaps/" + std::to_string(id) + ".bmp";
}

std::vector<BitmapSpec> AllBitmaps() {
    const std::set<int> white = {156, 157, 158, 159, 170, 171, 172,
                                 173, 210, 212, 213, 222, 224, 225};
    std::vector<BitmapSpec> out = {
        {200, 329, 203, kNearWhite}, {201, 298, 287, kNearWhite}, {900, 724, 423, kNearWhite},
        {901, 721, 726, kNearWhite}, {300, 384, 348, kNearWhite}, {902, 872, 768, kNearWhite},
        {226, 144, 16, kWhite},      {21128, 96, 15, kSilver},    {234, 56, 12, kSilver},
        {128, 160, 15, kSilver},     {125, 40, 53, kWhite},
    };
    const int standard[12][2] = {{30, 30}, {30, 30}, {30, 30}, {29, 30}, {27, 30}, {30, 30},
                                 {57, 32}, {57, 32}, {20, 18}, {19, 18}, {18, 19}, {18, 19}};
    const int corvel[14][2] = {{25, 25}, {27, 25}, {25, 25}, {25, 24}, {41, 24},
                               {41, 24}, {41, 24}, {41, 24}, {24, 9},  {24, 9},
                               {19, 18}, {19, 18}, {18, 19}, {18, 19}};
    const int twin[31][2] = {{22, 22}, {22, 22}, {22, 22}, {22, 22}, {54, 24}, {54, 24}, {54, 24},
                             {54, 24}, {24, 12}, {24, 12}, {26, 26}, {28, 28}, {28, 28}, {54, 22},
                             {54, 22}, {54, 22}, {54, 22}, {54, 24}, {14, 10}, {19, 40}, {19, 40},
                             {40, 19}, {40, 19}, {19, 40}, {19, 40}, {40, 19}, {40, 19}, {20, 18},
                             {20, 18}, {18, 20}, {18, 20}};
    const auto add = [&](int id, const int size[2]) {
        out.push_back({id, size[0], size[1], white.count(id) ? kWhite : kNearWhite});
    };
    for (int i = 0; i < 12; ++i) {
        add(214 + i, standard[i]);
        add(202 + i, standard[i]);
    }
    for (int i = 0; i < 14; ++i) {
        add(166 + i, corvel[i]);
        add(152 + i, corvel[i]);
    }
    for (int i = 0; i < 31; ++i) {
        add(340 + i, twin[i]);
        add(380 + i, twin[i]);
    }
    return out;
}

std::vector<PadSpec> Pads() {
    return {{0, 200, 900, 200, 202, 214, 202, 12, 4},
            {1, 201, 901, 201, 214, 166, 152, 14, 4},
            {2, 300, 902, 300, 301, 340, 380, 31, 12}};
}

std::map<int, std::string> ReadStringTable(const std::string& path, std::string& error) {
    std::map<int, std::string> out;
    std::ifstream file(path);
    if (!file) {
        error = "cannot open " + path;
        return out;
    }
    std::string line;
    int number = 0;
    while (std::getline(file, line)) {
        ++number;
        if (line.empty() || line[0] == '#') {
            continue;
        }
        const size_t tab = line.find('\t');
        if (tab == std::string::npos || tab == 0) {
            error = "line " + std::to_string(number) + " has no ID and tab";
            return {};
        }
        char* end = nullptr;
        const long id = std::strtol(line.c_str(), &end, 10);
        if (end != line.c_str() + tab) {
            error = "line " + std::to_string(number) + " has a bad ID";
            return {};
        }
        std::string text;
        for (size_t i = tab + 1; i < line.size(); ++i) {
            if (line[i] == '\\' && i + 1 < line.size()) {
                const char next = line[++i];
                text += next == 'n' ? '\n' : next == 't' ? '\t' : next;
            } else {
                text += line[i];
            }
        }
        if (!out.emplace(static_cast<int>(id), text).second) {
            error = "ID " + std::to_string(id) + " appears twice";
            return {};
        }
    }
    return out;
}

bool ParseLayout(const std::string& text, LayoutEntry& out) {
    std::vector<int> numbers;
    size_t at = 0;
    for (int k = 0; k < 8; ++k) {
        const size_t comma = text.find(',', at);
        if (comma == std::string::npos) {
            return false;
        }
        const std::string field = text.substr(at, comma - at);
        if (field.empty() || field.find_first_not_of("-0123456789") != std::string::npos) {
            return false;
        }
        numbers.push_back(std::atoi(field.c_str()));
        at = comma + 1;
    }
    out = LayoutEntry{numbers[0], numbers[1], numbers[2], numbers[3],     numbers[4],
                      numbers[5], numbers[6], numbers[7], text.substr(at)};
    return !out.name.empty() && out.name.find(',') == std::string::npos;
}

} // namespace vext::test
