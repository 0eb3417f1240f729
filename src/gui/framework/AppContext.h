#pragma once

// What the views and dialogs need of the application, so that they never reach into it: the
// settings they show and change, and the program-wide windows they open or register. The
// application registers itself; without one (a view tested alone) TheAppContext() is null.

namespace vext {

class CDocTemplate;
class CMDIChildWnd;

class IAppContext {
public:
    virtual ~IAppContext() = default;

    virtual bool IsAutoMapping() const = 0;
    // The pad type of new key sets; a change is kept for later starts too.
    virtual int DefaultPadType() const = 0;
    virtual void SetDefaultPadType(int nPadType) = 0;
    // The template of the pad windows.
    virtual CDocTemplate* PadTemplate() const = 0;
    // The Keystroke Viewer's frame while it is open; the viewer registers it (null when it goes).
    virtual CMDIChildWnd* ViewerFrame() const = 0;
    virtual void SetViewerFrame(CMDIChildWnd* pFrame) = 0;
    // Whether a driver answers, as the window last learnt it (nothing is asked).
    virtual bool DriverAnswers() const = 0;
    // The driver's state may have changed (a view changed it, or saw it answer or fail): it is
    // read again now and the window shows it.
    virtual void DriverChanged() = 0;
};

IAppContext* TheAppContext();
void SetAppContext(IAppContext* pContext);

} // namespace vext
