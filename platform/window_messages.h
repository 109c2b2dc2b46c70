#pragma once

#include <QString>
#include <QtGlobal>

// Another program's top-level window, found by class and title, and the registered messages
// posted to it. The window is the session-bus name "win.<class>.<title>", serving the object
// "/" with the interface "win.Window".
namespace platform {

class TopLevelWindow
{
public:
    TopLevelWindow(const QString &className, const QString &title);

    QString busName() const { return name; }
    // The window exists while its bus name has an owner; without a session bus it never does.
    bool exists() const;
    // Posts the message registered under messageName without waiting for a reply; false when
    // the call cannot be sent.
    bool post(const QString &messageName, quint32 wParam, qint32 lParam) const;

private:
    QString name;
};

} // namespace platform
