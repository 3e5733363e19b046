#include "taskbarhint.h"

#include "trayhost.h"

#include <QEvent>
#include <QGuiApplication>
#include <QList>
#include <QWidget>
#include <QtGui/qguiapplication_platform.h>

#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>

namespace
{
xcb_atom_t internAtom(xcb_connection_t* connection, const char* name)
{
    const xcb_intern_atom_cookie_t cookie = xcb_intern_atom(connection, 0, uint16_t(std::strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}

// An unmapped window's _NET_WM_STATE is ours to write; Qt adds its own states to what it finds.
void writeState(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t state, xcb_atom_t skip, bool on)
{
    const xcb_get_property_cookie_t cookie = xcb_get_property(connection, 0, window, state, XCB_ATOM_ATOM, 0, 1024);
    xcb_get_property_reply_t* reply = xcb_get_property_reply(connection, cookie, nullptr);
    QList<xcb_atom_t> atoms;
    if (reply && reply->format == 32 && reply->type == XCB_ATOM_ATOM) {
        const auto* values = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply));
        atoms = QList<xcb_atom_t>(values, values + xcb_get_property_value_length(reply) / int(sizeof(xcb_atom_t)));
    }
    std::free(reply);
    atoms.removeAll(skip);
    if (on)
        atoms.append(skip);
    xcb_change_property(
        connection, XCB_PROP_MODE_REPLACE, window, state, XCB_ATOM_ATOM, 32, uint32_t(atoms.size()), atoms.constData());
}

// A mapped window's state belongs to the window manager: it is asked, as the EWMH says.
void askWindowManager(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t state, xcb_atom_t skip, bool on)
{
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    xcb_client_message_event_t message;
    std::memset(&message, 0, sizeof(message));
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = state;
    message.data.data32[0] = on ? 1 : 0; // _NET_WM_STATE_ADD or _REMOVE
    message.data.data32[1] = skip;
    message.data.data32[3] = 1; // from an application
    xcb_send_event(connection, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
        reinterpret_cast<const char*>(&message));
}
} // namespace

TaskbarHint::TaskbarHint(const TrayHost& tray, QObject* parent)
    : QObject(parent)
    , m_tray(tray)
{ }

void TaskbarHint::watch(QWidget& window)
{
    m_windows.append(&window);
    window.installEventFilter(this);
}

void TaskbarHint::refresh()
{
    for (const QPointer<QWidget>& window : std::as_const(m_windows)) {
        if (window && window->isVisible())
            apply(*window, true);
    }
}

bool TaskbarHint::eventFilter(QObject* watched, QEvent* event)
{
    // Sent before the window is mapped.
    if (event->type() == QEvent::Show)
        apply(*static_cast<QWidget*>(watched), false);
    return QObject::eventFilter(watched, event);
}

void TaskbarHint::apply(QWidget& window, bool mapped) const
{
    // The offscreen platform answers as X11 too, without a connection.
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection || !window.isWindow())
        return;
    const xcb_atom_t state = internAtom(connection, "_NET_WM_STATE");
    const xcb_atom_t skip = internAtom(connection, "_NET_WM_STATE_SKIP_TASKBAR");
    if (state == XCB_ATOM_NONE || skip == XCB_ATOM_NONE)
        return;
    const auto id = xcb_window_t(window.winId());
    const bool on = m_tray.isAvailable();
    if (mapped)
        askWindowManager(connection, id, state, skip, on);
    else
        writeState(connection, id, state, skip, on);
    xcb_flush(connection);
}
