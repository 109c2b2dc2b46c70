#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QRect>
#include <QString>
#include <QTest>

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

// Last: Xlib's macros (None, Status, KeyPress ...) would break the headers after them.
#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>


// An X server of the test's own (Xvfb) with a small window manager, driven through XTest: the
// key codes and buttons a user's keyboard and mouse send, mapped by the server's own keymap.
class XDesktop
{
public:
    // Starts the server and the window manager; before any Qt application exists, so that one
    // can be made on this display.
    bool start()
    {
        int pipeEnds[2];
        if (::pipe(pipeEnds) != 0)
            return false;
        const std::string descriptor = std::to_string(pipeEnds[1]);
        server = spawn({"Xvfb", "-displayfd", descriptor.c_str(), "-screen", "0", "1280x1024x24", "-nolisten", "tcp"},
                       pipeEnds[0]);
        ::close(pipeEnds[1]);
        std::string number;
        char c;
        while (::read(pipeEnds[0], &c, 1) == 1 && c != '\n')
            number += c;
        ::close(pipeEnds[0]);
        if (server <= 0 || number.empty())
            return false;
        display = QStringLiteral(":") + QString::fromStdString(number);
        ::setenv("DISPLAY", display.toLatin1().constData(), 1);
        x = XOpenDisplay(nullptr);
        windowManager = spawn({"openbox", "--sm-disable"});
        return x && windowManager > 0;
    }

    bool windowManagerRuns() const
    {
        return waitUntil([this] { return !property(DefaultRootWindow(x), "_NET_SUPPORTING_WM_CHECK").isEmpty(); });
    }

    ~XDesktop()
    {
        if (x)
            XCloseDisplay(x);
        for (pid_t process : {windowManager, server}) {
            if (process > 0) {
                ::kill(process, SIGTERM);
                ::waitpid(process, nullptr, 0);
            }
        }
    }

    bool numLock() const
    {
        XkbStateRec state{};
        XkbGetState(x, XkbUseCoreKbd, &state);
        return state.locked_mods & XkbKeysymToModifiers(x, XK_Num_Lock);
    }

    // As a user does: the NumLock key, pressed until its light is as wanted.
    void setNumLock(bool on)
    {
        if (numLock() != on)
            key(XK_Num_Lock);
        QTRY_COMPARE(numLock(), on);
    }

    // The key that carries this symbol, with these modifier keys held.
    void key(KeySym symbol, std::initializer_list<KeySym> held = {})
    {
        for (KeySym modifier : held)
            XTestFakeKeyEvent(x, XKeysymToKeycode(x, modifier), True, CurrentTime);
        stroke(symbol);
        for (KeySym modifier : held)
            XTestFakeKeyEvent(x, XKeysymToKeycode(x, modifier), False, CurrentTime);
        XSync(x, False);
        QTest::qWait(30);
    }

    // Ctrl with the keypad key whose NumLock symbol is the digit.
    void ctrlKeypad(int digit) { key(XK_KP_0 + digit, {XK_Control_L}); }

    // Digits, lower-case letters and Return, one key at a time.
    void type(const char *text)
    {
        for (const char *c = text; *c; ++c)
            key(*c == '\n' ? XK_Return : KeySym(*c));
    }

    // Digits and letters in one burst, as they come from a fast typist: no pause between them
    // for a busy machine to stretch past the program's own typing pause.
    void typeAtOnce(const char *text)
    {
        for (const char *c = text; *c; ++c)
            stroke(KeySym(*c));
        XSync(x, False);
    }

    void click(QPoint where, unsigned button = 1)
    {
        XTestFakeMotionEvent(x, -1, where.x(), where.y(), CurrentTime);
        XTestFakeButtonEvent(x, button, True, CurrentTime);
        XTestFakeButtonEvent(x, button, False, CurrentTime);
        XSync(x, False);
        QTest::qWait(50);
    }

    // Whether a popup of the program (a list's, a menu's) is on the screen. While it is, it holds
    // the pointer: a click goes to it, whatever lies under the pointer.
    bool popupShown(const QByteArray &program) const
    {
        Window root, parent, *children = nullptr;
        unsigned count = 0;
        bool shown = false;
        if (XQueryTree(x, DefaultRootWindow(x), &root, &parent, &children, &count)) {
            for (unsigned i = 0; i < count && !shown; ++i) {
                XWindowAttributes attributes;
                shown = XGetWindowAttributes(x, children[i], &attributes) && attributes.override_redirect
                        && attributes.map_state == IsViewable
                        && property(children[i], "WM_CLASS").startsWith(program + '\0');
            }
            XFree(children);
        }
        return shown;
    }

    // The managed windows, in the order they were mapped.
    QList<Window> windows() const
    {
        QList<Window> list;
        const QByteArray ids = property(DefaultRootWindow(x), "_NET_CLIENT_LIST");
        for (qsizetype i = 0; i + qsizetype(sizeof(long)) <= ids.size(); i += sizeof(long))
            list.append(Window(*reinterpret_cast<const unsigned long *>(ids.constData() + i)));
        return list;
    }

    QString title(Window window) const { return QString::fromUtf8(property(window, "_NET_WM_NAME")); }

    // The first window whose title passes the test, or 0 once the time is up.
    Window waitForWindow(const std::function<bool(const QString &)> &titled, int timeoutMs = 10000) const
    {
        Window found = 0;
        waitUntil([&] {
            for (Window window : windows()) {
                if (titled(title(window))) {
                    found = window;
                    return true;
                }
            }
            return false;
        }, timeoutMs);
        return found;
    }

    Window activeWindow() const
    {
        const QByteArray id = property(DefaultRootWindow(x), "_NET_ACTIVE_WINDOW");
        return id.size() >= qsizetype(sizeof(long)) ? Window(*reinterpret_cast<const unsigned long *>(id.constData())) : 0;
    }

    // The window that has the keyboard as the server sees it, ahead of the window manager's
    // word on the active window, which follows a focus change only once it has handled it.
    Window focusWindow() const
    {
        Window focus = 0;
        int revertTo = 0;
        XGetInputFocus(x, &focus, &revertTo);
        return focus;
    }

    // The window's client area on the screen.
    QRect geometry(Window window) const
    {
        Window root, child;
        int left, top, rootLeft, rootTop;
        unsigned width, height, border, depth;
        XGetGeometry(x, window, &root, &left, &top, &width, &height, &border, &depth);
        XTranslateCoordinates(x, window, root, 0, 0, &rootLeft, &rootTop, &child);
        return QRect(rootLeft, rootTop, int(width), int(height));
    }

    void resize(Window window, int width, int height)
    {
        XResizeWindow(x, window, unsigned(width), unsigned(height));
        XSync(x, False);
    }

    static bool waitUntil(const std::function<bool()> &done, int timeoutMs = 10000)
    {
        QElapsedTimer clock;
        clock.start();
        while (!done()) {
            if (clock.elapsed() > timeoutMs)
                return false;
            QTest::qWait(20);
        }
        return true;
    }

    QString display;
    Display *x = nullptr;

private:
    // One key pressed and released, not yet flushed to the server.
    void stroke(KeySym symbol)
    {
        XTestFakeKeyEvent(x, XKeysymToKeycode(x, symbol), True, CurrentTime);
        XTestFakeKeyEvent(x, XKeysymToKeycode(x, symbol), False, CurrentTime);
    }

    static pid_t spawn(std::initializer_list<const char *> command, int closeInChild = -1)
    {
        std::vector<char *> arguments;
        for (const char *each : command)
            arguments.push_back(const_cast<char *>(each));
        arguments.push_back(nullptr);
        const pid_t child = ::fork();
        if (child == 0) {
            if (closeInChild >= 0)
                ::close(closeInChild);
            ::execvp(arguments[0], arguments.data());
            ::_exit(127);
        }
        return child;
    }

    QByteArray property(Window window, const char *name) const
    {
        Atom type;
        int format;
        unsigned long count, remaining;
        unsigned char *data = nullptr;
        QByteArray value;
        if (XGetWindowProperty(x, window, XInternAtom(x, name, False), 0, 1 << 16, False, AnyPropertyType, &type,
                               &format, &count, &remaining, &data) == Success && data) {
            const int unit = format == 32 ? int(sizeof(long)) : format / 8;
            value = QByteArray(reinterpret_cast<const char *>(data), qsizetype(count) * unit);
            XFree(data);
        }
        return value;
    }

    pid_t server = -1;
    pid_t windowManager = -1;
};
