#pragma once

// Turning on a GNOME Shell extension from the configurator: through gnome-extensions, which
// comes with GNOME Shell. Behind an interface, so that tests answer it.

#include <QString>

namespace vext {

class IGnomeExtensions {
public:
    virtual ~IGnomeExtensions() = default;
    // Turns the extension on; false with the reason.
    virtual bool Enable(const QString& strUuid, QString* pError) = 0;
};

// The system's, unless a test put its own in place (null puts the system's back).
IGnomeExtensions& TheGnomeExtensions();
void SetGnomeExtensionsForTest(IGnomeExtensions* pExtensions);

} // namespace vext
