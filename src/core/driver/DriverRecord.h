#pragma once

// The driver record: the key set written as one registry tree under HKEY_LOCAL_MACHINE, in a
// form the driver uses without the key-set file (links and mappings as positions in the
// function table, keystrokes as key codes). Writing it replaces the whole tree in one
// transaction, so the driver reads either the old key set or the new one.

#include "core/registry/RegTree.h"
#include "core/registry/RegistryStore.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

class CVextKeyDoc;

namespace vext {

// The record's root key below HKEY_LOCAL_MACHINE.
inline constexpr char kDriverRecordPath[] =
    "System\\CurrentControlSet\\Control\\MediaProperties\\PrivateProperties\\Joystick\\OEM"
    "\\Zelvan Vext\\VextKey";

// Beside the record, and written with it: the pad type the key set has in each slot ("Pad_1" to
// "Pad_4"), so that the driver shows a pad read by position on the picture the key set was made
// for. Apart from the record, which stays as it always was.
inline constexpr char kDriverPadTypesPath[] =
    "System\\CurrentControlSet\\Control\\MediaProperties\\PrivateProperties\\Joystick\\OEM"
    "\\Zelvan Vext\\VextKey Pad Types";

// The record's numbered key names, alike for its writer and the driver's reader: functions and
// mappings "0000", a function's strings "String000"; a larger number takes more digits.
class RecordKeyName {
public:
    static RecordKeyName Function(uint32_t n) { return {"", n, 4}; }
    static RecordKeyName String(uint32_t n) { return {"String", n, 3}; }
    static RecordKeyName Mapping(uint32_t n) { return {"", n, 4}; }

    std::string_view View() const { return {m_text, m_nLength}; }

private:
    RecordKeyName(std::string_view prefix, uint32_t n, size_t nDigits);

    char m_text[24];
    size_t m_nLength = 0;
};

// The document's key set as the record's tree, in memory: what WriteDriverRecord writes, and
// what the driver plays from a game's key-set file. False when the tree is full.
bool BuildDriverRecord(const CVextKeyDoc& doc, RegTree& tree);

// The document's pad types as the tree kept beside the record.
bool BuildPadTypesRecord(const CVextKeyDoc& doc, RegTree& tree);
// The pad type of slots 1 to 4 in that tree; -1 for a slot it names none for.
std::array<int, 4> ReadPadTypesRecord(const RegTree& tree);

// Replaces the record, and the pad types beside it, with the document's key set, in one
// transaction. False when any part of it cannot be written: then nothing changed and
// store.LastError() says why.
bool WriteDriverRecord(const CVextKeyDoc& doc, RegistryStore& store);

// Deletes the record with everything below it, and the pad types beside it. True when neither
// is left, also when there was none.
bool DeleteDriverRecord(RegistryStore& store);

// Opens the registry store the driver reads (RegistryStore::DefaultPath()).
std::unique_ptr<RegistryStore> OpenDriverRegistry(std::string& strError);

// What emulation does after a reload: on (a download means the key set to play), or as it
// was before (an unload from the window). Either way it stays off while the function list has
// the keyboard focus, with the state meant for afterwards kept in m_bSavedEmulation.
enum class AfterReload { kEmulate, kAsBefore };

// Sends VEXT_IOCTL_DISABLE, then VEXT_IOCTL_ENABLE: the driver drops its key set and reads the
// record again; then switches emulation off again where `after` or the list's focus says so.
// Results are not examined; an absent driver simply misses them.
void ReloadDriver(AfterReload after = AfterReload::kEmulate);

// While the function list has the keyboard focus, emulation is off, so that a pad cannot type
// into the window. Anything that turned it on meanwhile (a driver that started again, another
// program's request) is undone here, and taken as the state meant for when the focus leaves.
void KeepEmulationOffWhileListHasFocus();

// The command-line unload: deletes the record, then reloads the driver. False with a reason when
// the store cannot be opened or changed; the driver is told to reload either way.
bool UnloadDriverKeySet(std::string& strError);

} // namespace vext
