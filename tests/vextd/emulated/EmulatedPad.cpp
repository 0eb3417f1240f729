#include "EmulatedPad.h"

#include "vextd/common/MonotonicClock.h"

#include <fstream>
#include <linux/input.h>
#include <umockdev.h>
#include <unistd.h>
#include <utility>

namespace vext::test {
namespace {

// The first line of a file, after its prefix up to the first blank after it.
std::string FirstLineWord(const std::string& path, const std::string& prefix) {
    std::ifstream file(path);
    std::string line;
    if (!std::getline(file, line) || !line.starts_with(prefix)) {
        return {};
    }
    line.erase(0, prefix.size());
    return line.substr(0, line.find(' '));
}

std::string Take(GError* pError) {
    std::string message = pError != nullptr ? pError->message : "unknown error";
    g_clear_error(&pError);
    return message;
}

} // namespace

EmulatedPad::EmulatedPad(std::string dataDir, const EmulatedPad* pSameBed)
    : m_strDataDir(std::move(dataDir)),
      m_strNode(FirstLineWord(m_strDataDir + "/pad.ioctl", "@DEV ")),
      m_strSysNode("/sys" + FirstLineWord(m_strDataDir + "/pad.umockdev", "P: ")),
      m_pTestbed(pSameBed != nullptr ? UMOCKDEV_TESTBED(g_object_ref(pSameBed->m_pTestbed))
                                     : umockdev_testbed_new()) {
    gchar* pRoot = umockdev_testbed_get_root_dir(m_pTestbed);
    m_strRoot = pRoot;
    g_free(pRoot);
}

EmulatedPad::~EmulatedPad() {
    g_object_unref(m_pTestbed);
}

bool EmulatedPad::Plug(bool bAnnounce, std::string* pError) {
    // The testbed cannot take a device away and add it again under the same node name, so the
    // pad stays in it once added: what a reader sees of an unplug and a replug are the uevents.
    if (m_nFd < 0) {
        GError* pGError = nullptr;
        if (!umockdev_testbed_add_from_file(m_pTestbed, (m_strDataDir + "/pad.umockdev").c_str(),
                                            &pGError) ||
            !umockdev_testbed_load_ioctl(m_pTestbed, m_strNode.c_str(),
                                         (m_strDataDir + "/pad.ioctl").c_str(), &pGError)) {
            *pError = Take(pGError);
            return false;
        }
        m_nFd = umockdev_testbed_get_dev_fd(m_pTestbed, m_strNode.c_str());
        if (m_nFd < 0) {
            *pError = "the testbed has no device file for the pad";
            return false;
        }
    }
    if (bAnnounce) {
        umockdev_testbed_uevent(m_pTestbed, m_strSysNode.c_str(), "add");
    }
    return true;
}

void EmulatedPad::Unplug() {
    umockdev_testbed_uevent(m_pTestbed, m_strSysNode.c_str(), "remove");
}

std::vector<std::string> EmulatedPad::Environment() const {
    // SDL's own scan of /dev/input bypasses the testbed: it must take the udev path.
    return {"LD_PRELOAD=libumockdev-preload.so.0", "UMOCKDEV_DIR=" + m_strRoot,
            "SDL_JOYSTICK_DISABLE_UDEV=0"};
}

int64_t EmulatedPad::Write(const std::vector<PadEvent>& events) {
    std::vector<input_event> records;
    for (const PadEvent& e : events) {
        records.push_back(input_event{{}, e.nType, e.nCode, e.nValue});
        records.push_back(input_event{{}, EV_SYN, SYN_REPORT, 0});
    }
    const size_t nBytes = records.size() * sizeof(input_event);
    const int64_t nNow = MonotonicNanos();
    return m_nFd >= 0 && ::write(m_nFd, records.data(), nBytes) == static_cast<ssize_t>(nBytes)
               ? nNow
               : -1;
}

} // namespace vext::test
