#include "vextd/output/UinputOutput.h"

#include "vextd/output/LinuxKeyCodes.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/uinput.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace vext {

UinputOutput::~UinputOutput() {
    if (m_nFd >= 0) {
        ::ioctl(m_nFd, UI_DEV_DESTROY);
        ::close(m_nFd);
    }
}

bool UinputOutput::Open(const std::string& devicePath, std::string* pError) {
    m_nFd = ::open(devicePath.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (m_nFd < 0) {
        *pError = "cannot open " + devicePath + ": " + std::strerror(errno) +
                  " (\"man vextd\" tells how to get access to it)";
        return false;
    }
    bool bOk =
        ::ioctl(m_nFd, UI_SET_EVBIT, EV_KEY) == 0 && ::ioctl(m_nFd, UI_SET_EVBIT, EV_SYN) == 0;
    for (int nKey = 1; bOk && nKey < 128; ++nKey) {
        const int nCode = LinuxKeyCode(nKey);
        if (nCode != 0) {
            bOk = ::ioctl(m_nFd, UI_SET_KEYBIT, nCode) == 0;
        }
    }
    uinput_setup setup{};
    setup.id.bustype = BUS_VIRTUAL;
    setup.id.vendor = 0x5645;  // "VE"
    setup.id.product = 0x5854; // "XT"
    setup.id.version = 1;
    std::strncpy(setup.name, "VextKey virtual keyboard", UINPUT_MAX_NAME_SIZE - 1);
    bOk = bOk && ::ioctl(m_nFd, UI_DEV_SETUP, &setup) == 0 && ::ioctl(m_nFd, UI_DEV_CREATE) == 0;
    if (!bOk) {
        *pError = std::string("cannot create the uinput keyboard: ") + std::strerror(errno);
        ::close(m_nFd);
        m_nFd = -1;
    }
    return bOk;
}

bool UinputOutput::Write(unsigned short nType, unsigned short nCode, int nValue) {
    input_event event{};
    event.type = nType;
    event.code = nCode;
    event.value = nValue;
    ssize_t nWritten = 0;
    do {
        nWritten = ::write(m_nFd, &event, sizeof event);
    } while (nWritten < 0 && errno == EINTR);
    return nWritten == static_cast<ssize_t>(sizeof event);
}

bool UinputOutput::KeyEvent(int nKeyNumber, bool bDown) {
    const int nCode = LinuxKeyCode(nKeyNumber);
    if (m_nFd < 0 || nCode == 0) {
        return false;
    }
    return Write(EV_KEY, static_cast<unsigned short>(nCode), bDown ? 1 : 0) &&
           Write(EV_SYN, SYN_REPORT, 0);
}

} // namespace vext
