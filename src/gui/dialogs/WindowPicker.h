#pragma once

// Pick Window on X11: the pointer turns into a cross, the user clicks a window, and its
// program, class and title come back for a game rule; Esc or another button cancels. It talks
// to the X server over a connection of its own, so Qt's own events go on as they were.

#include "core/games/FocusedWindow.h"

#include <functional>
#include <memory>
#include <optional>

#include <QObject>
#include <QString>

namespace vext {

class WindowPicker : public QObject {
    Q_OBJECT

public:
    // Whether picking works here: an X11 session (Qt's xcb platform), in a build with XCB.
    static bool IsAvailable();
    // Why not, for the user, when it does not.
    static QString UnavailableReason();

    explicit WindowPicker(QObject* pParent = nullptr);
    ~WindowPicker() override;

    // Takes the pointer; done gets the window clicked, or nothing when the pick was cancelled.
    // False, with the reason, when the pointer cannot be had.
    bool Start(std::function<void(std::optional<FocusedWindow>)> done, QString* pError);

private:
    struct Grab;
    void OnEvents();
    void Finish(std::optional<FocusedWindow> window);

    std::unique_ptr<Grab> m_pGrab;
    std::function<void(std::optional<FocusedWindow>)> m_done;
};

} // namespace vext
