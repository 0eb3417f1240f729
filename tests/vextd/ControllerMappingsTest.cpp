#include "vextd/pads/ControllerMappings.h"

#include <gtest/gtest.h>

using namespace vext;

namespace {

TEST(ControllerMappingsTest, OnlySdlsOwnFormIsTakenForAMadeUpMapping) {
    struct Case {
        const char* mapping;
        const char* padName;
        bool bMadeUp;
    };
    const Case cases[] = {
        // What SDL writes for an evdev pad it does not know (crc and platform added when it hands
        // it out).
        {"0300b2bb455600005058000011010000,VextKey Emulated Pad,a:b0,b:b1,x:b3,y:b4,back:b10,"
         "start:b11,leftshoulder:b6,rightshoulder:b7,dpup:h0.1,dpdown:h0.4,leftx:a0,lefty:a1,"
         "lefttrigger:b8,righttrigger:b9,crc:bbb2,platform:Linux,",
         "VextKey Emulated Pad", true},
        {"03000000,Pad  One,a:b0,", "Pad, One", true}, // commas of the name become spaces
        // A database line: inputs sorted by name.
        {"03000000,VextKey Emulated Pad,a:b0,b:b1,back:b6,x:b2,y:b3,", "VextKey Emulated Pad",
         false},
        {"03000000,Xbox 360 Controller,a:b0,b:b1,x:b2,", "Microsoft X-Box 360 pad", false},
        {"03000000,Pad,a:b0,a:b1,", "Pad", false},         // an input twice
        {"03000000,Pad,a:b0,touchpad:b20,", "Pad", false}, // an input SDL never makes up
        {"03000000,Pad,a:b0,hint:!SDL_GAMECONTROLLER_USE_BUTTON_LABELS:=1,", "Pad", false},
        {"03000000,Pad,", "Pad", false}, // no inputs
        {"03000000", "Pad", false},
        {"", "", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsMadeUpMapping(c.mapping, c.padName), c.bMadeUp) << c.mapping;
    }
}

TEST(ControllerMappingsTest, AFileLineAndWhatSdlGivesBackShareAKey) {
    const char* file = "# a comment\r\n"
                       "03000000aaaa,My Pad,a:b1,b:b0,platform:Linux,\r\n"
                       "\n"
                       "03000000bbbb,Other Pad,a:b0,\n";
    const auto keys = MappingKeys(file);
    EXPECT_EQ(keys.size(), 2u);
    EXPECT_TRUE(keys.contains(MappingKey("05000000ffff,My Pad,a:b1,b:b0,crc:2ebc,")));
    EXPECT_TRUE(keys.contains(MappingKey("03000000bbbb,Other Pad,a:b0,platform:Linux,")));
    EXPECT_FALSE(keys.contains(MappingKey("03000000aaaa,My Pad,a:b0,b:b1,")));
    EXPECT_FALSE(keys.contains(MappingKey("# a comment")));
}

} // namespace
