#pragma once

// The small key set the end-to-end tests download, and the record vext-reg shows for it.

#include "core/model/ButtonId.h"
#include "core/model/VextKeyDoc.h"

#include <memory>
#include <string>

namespace vext::test {

inline const char kRecordKey[] =
    "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\MediaProperties\\"
    "PrivateProperties\\Joystick\\OEM\\Zelvan Vext\\VextKey";

// Fire (Normal, Turbo, "A") at 0, Gears (Step, Loop, "1" and "2") at 1 and its companion at
// 2; Fire on button 0 of pad 1, the companion on a direction of pad 2.
inline void FillSmallKeySet(CVextKeyDoc& doc) {
    doc.m_padTypes = {0, 0, 0, 0};
    auto fire = std::make_unique<CKeyFunction>();
    fire->m_strDescription = "Fire";
    fire->m_strComments = "Shoots \"now\" C:\\x";
    fire->m_strPress = "A";
    fire->m_bTurbo = 1;
    const int nFire = doc.AddFunction(std::move(fire))->m_nCookie;
    auto gears = std::make_unique<CKeyFunction>();
    gears->m_strDescription = "Gears";
    gears->m_nMode = CKeyFunction::kModeStep;
    gears->m_bLoop = 1;
    gears->m_steps = {"1", "2"};
    const int nGearsDown = doc.AddFunction(std::move(gears))->m_nLinkCookie;
    doc.MapButton(nFire, MakeButtonId(1, 0, 0, 1));
    doc.MapButton(nGearsDown, MakeButtonId(2, 1, 0, 2));
}

// What "vext-reg export" prints for it under the title "Small". A key-set file keeps the
// companion with Mode 0, so one read back from a file has one empty Normal string; a fresh one
// has none.
inline std::string SmallKeySetExport(bool bReadFromFile) {
    const std::string r = std::string("[") + kRecordKey;
    const std::string companionData =
        bReadFromFile
            ? "\"Count\"=dword:00000001\n\n" + r +
                  "\\Functions\\0002\\Data\\String000]\n\"Press\"=hex:\n\"Release\"=hex:\n\n"
            : std::string("\"Count\"=dword:00000000\n\n");
    return "REGEDIT4\n"
           "\n" +
           r + "]\n" +
           "\"SetName\"=\"Small\"\n"
           "\n" +
           r + "\\Functions]\n" +
           "\"Count\"=dword:00000003\n"
           "\n" +
           r + "\\Functions\\0000]\n" +
           "\"Description\"=\"Fire\"\n"
           "\"Comments\"=\"Shoots \\\"now\\\" C:\\\\x\"\n"
           "\"Mode\"=dword:00000000\n"
           "\"Turbo\"=dword:00000001\n"
           "\"Loop\"=dword:00000000\n"
           "\"StepDown\"=dword:00000000\n"
           "\"Link\"=dword:00000000\n"
           "\"Cookie\"=dword:00000001\n"
           "\n" +
           r + "\\Functions\\0000\\Data]\n" +
           "\"Count\"=dword:00000001\n"
           "\n" +
           r + "\\Functions\\0000\\Data\\String000]\n" +
           "\"Press\"=hex:1f\n"
           "\"Release\"=hex:9f\n"
           "\n" +
           r + "\\Functions\\0001]\n" +
           "\"Description\"=\"Gears\"\n"
           "\"Comments\"=\"\"\n"
           "\"Mode\"=dword:00000001\n"
           "\"Turbo\"=dword:00000000\n"
           "\"Loop\"=dword:00000001\n"
           "\"StepDown\"=dword:00000000\n"
           "\"Link\"=dword:00000002\n"
           "\"Cookie\"=dword:00000002\n"
           "\n" +
           r + "\\Functions\\0001\\Data]\n" +
           "\"Count\"=dword:00000002\n"
           "\n" +
           r + "\\Functions\\0001\\Data\\String000]\n" +
           "\"Press\"=hex:02\n"
           "\"Release\"=hex:82\n"
           "\n" +
           r + "\\Functions\\0001\\Data\\String001]\n" +
           "\"Press\"=hex:03\n"
           "\"Release\"=hex:83\n"
           "\n" +
           r + "\\Functions\\0002]\n" +
           "\"Description\"=\"\"\n"
           "\"Comments\"=\"\"\n"
           "\"Mode\"=dword:00000001\n"
           "\"Turbo\"=dword:00000000\n"
           "\"Loop\"=dword:00000000\n"
           "\"StepDown\"=dword:00000001\n"
           "\"Link\"=dword:00000001\n"
           "\"Cookie\"=dword:00000003\n"
           "\n" +
           r + "\\Functions\\0002\\Data]\n" + companionData + r + "\\Mappings]\n" +
           "\"Count\"=dword:00000002\n"
           "\n" +
           r + "\\Mappings\\0000]\n" +
           "\"ButtonID\"=dword:02010002\n"
           "\"Function\"=dword:00000002\n"
           "\n" +
           r + "\\Mappings\\0001]\n" +
           "\"ButtonID\"=dword:01000001\n"
           "\"Function\"=dword:00000000\n"
           "\n";
}

} // namespace vext::test
