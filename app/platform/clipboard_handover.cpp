#include "platform/clipboard_handover.h"

#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QString>

#include <xcb/xcb.h>

#include <poll.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace tarvic {
namespace {

struct Atoms {
    xcb_atom_t clipboard = XCB_NONE;
    xcb_atom_t manager = XCB_NONE;
    xcb_atom_t saveTargets = XCB_NONE;
    xcb_atom_t targets = XCB_NONE;
    xcb_atom_t multiple = XCB_NONE;
    xcb_atom_t atomPair = XCB_NONE;
    xcb_atom_t timestamp = XCB_NONE;
    xcb_atom_t utf8 = XCB_NONE;
    xcb_atom_t plainUtf8 = XCB_NONE;
    xcb_atom_t plain = XCB_NONE;
    xcb_atom_t transfer = XCB_NONE;  // the property the manager's answer names
};

xcb_atom_t intern(xcb_connection_t* c, const char* name)
{
    const xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(c, cookie, nullptr);
    if (!reply)
        return XCB_NONE;
    const xcb_atom_t atom = reply->atom;
    std::free(reply);
    return atom;
}

bool internAll(xcb_connection_t* c, Atoms& a)
{
    a.clipboard = intern(c, "CLIPBOARD");
    a.manager = intern(c, "CLIPBOARD_MANAGER");
    a.saveTargets = intern(c, "SAVE_TARGETS");
    a.targets = intern(c, "TARGETS");
    a.multiple = intern(c, "MULTIPLE");
    a.atomPair = intern(c, "ATOM_PAIR");
    a.timestamp = intern(c, "TIMESTAMP");
    a.utf8 = intern(c, "UTF8_STRING");
    a.plainUtf8 = intern(c, "text/plain;charset=utf-8");
    a.plain = intern(c, "text/plain");
    a.transfer = intern(c, "_TARVIC_SAVE_TARGETS");
    return a.clipboard && a.manager && a.saveTargets && a.targets && a.multiple && a.atomPair &&
           a.timestamp && a.utf8 && a.plainUtf8 && a.plain && a.transfer;
}

xcb_window_t selectionOwner(xcb_connection_t* c, xcb_atom_t selection)
{
    xcb_get_selection_owner_reply_t* reply =
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, selection), nullptr);
    if (!reply)
        return XCB_NONE;
    const xcb_window_t owner = reply->owner;
    std::free(reply);
    return owner;
}

// The text, as the clipboard of one connection: its window owns the
// CLIPBOARD selection there and answers what is asked of it.
class TextOwner {
public:
    TextOwner(xcb_connection_t* c, xcb_window_t window, const Atoms& atoms, QByteArray utf8,
              QByteArray latin1, xcb_timestamp_t since)
        : m_c(c)
        , m_window(window)
        , m_atoms(atoms)
        , m_utf8(std::move(utf8))
        , m_latin1(std::move(latin1))
        , m_since(since)
    {
        // A property is written in one request (no incremental transfer):
        // a text too long for that is not offered.
        m_maxBytes = static_cast<size_t>(xcb_get_maximum_request_length(c)) * 4 - 64;
    }

    void answer(const xcb_selection_request_event_t& request)
    {
        xcb_atom_t property = request.property != XCB_NONE ? request.property : request.target;
        if (request.selection != m_atoms.clipboard || request.owner != m_window ||
            (request.time != XCB_CURRENT_TIME && request.time < m_since) ||
            !convert(request.requestor, request.target, property))
            property = XCB_NONE;
        notify(request, property);
    }

private:
    // Puts the text as target into the requestor's property; false when it
    // cannot be given so.
    bool convert(xcb_window_t requestor, xcb_atom_t target, xcb_atom_t property)
    {
        if (target == m_atoms.targets) {
            const xcb_atom_t offered[] = {m_atoms.targets,  m_atoms.multiple, m_atoms.timestamp,
                                          m_atoms.utf8,     m_atoms.plainUtf8, m_atoms.plain,
                                          XCB_ATOM_STRING};
            put(requestor, property, XCB_ATOM_ATOM, 32, sizeof offered / sizeof offered[0],
                offered);
            return true;
        }
        if (target == m_atoms.timestamp) {
            put(requestor, property, XCB_ATOM_INTEGER, 32, 1, &m_since);
            return true;
        }
        if (target == m_atoms.multiple)
            return convertMultiple(requestor, property);
        const bool utf8 = target == m_atoms.utf8 || target == m_atoms.plainUtf8;
        const bool latin1 = target == XCB_ATOM_STRING || target == m_atoms.plain;
        if (!utf8 && !latin1)
            return false;
        const QByteArray& bytes = utf8 ? m_utf8 : m_latin1;
        if (static_cast<size_t>(bytes.size()) > m_maxBytes)
            return false;
        put(requestor, property, target, 8, static_cast<uint32_t>(bytes.size()),
            bytes.constData());
        return true;
    }

    // MULTIPLE: the property holds (target, property) pairs; each is
    // converted, and a pair that cannot be has its property set to None.
    bool convertMultiple(xcb_window_t requestor, xcb_atom_t property)
    {
        xcb_get_property_reply_t* reply = xcb_get_property_reply(
            m_c, xcb_get_property(m_c, 0, requestor, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 4096),
            nullptr);
        if (!reply)
            return false;
        const bool pairs = reply->format == 32 && reply->type != XCB_NONE;
        std::vector<xcb_atom_t> list;
        if (pairs) {
            const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply));
            list.assign(atoms, atoms + xcb_get_property_value_length(reply) / 4);
        }
        const xcb_atom_t type = reply->type;
        std::free(reply);
        if (!pairs)
            return false;
        for (size_t i = 0; i + 1 < list.size(); i += 2) {
            if (list[i] == m_atoms.multiple || !convert(requestor, list[i], list[i + 1]))
                list[i + 1] = XCB_NONE;
        }
        put(requestor, property, type, 32, static_cast<uint32_t>(list.size()), list.data());
        return true;
    }

    void put(xcb_window_t window, xcb_atom_t property, xcb_atom_t type, uint8_t format,
             uint32_t count, const void* data)
    {
        xcb_change_property(m_c, XCB_PROP_MODE_REPLACE, window, property, type, format, count,
                            data);
    }

    void notify(const xcb_selection_request_event_t& request, xcb_atom_t property)
    {
        xcb_selection_notify_event_t event{};
        event.response_type = XCB_SELECTION_NOTIFY;
        event.time = request.time;
        event.requestor = request.requestor;
        event.selection = request.selection;
        event.target = request.target;
        event.property = property;
        xcb_send_event(m_c, 0, request.requestor, XCB_EVENT_MASK_NO_EVENT,
                       reinterpret_cast<const char*>(&event));
        xcb_flush(m_c);
    }

    xcb_connection_t* m_c;
    xcb_window_t m_window;
    const Atoms& m_atoms;
    QByteArray m_utf8;
    QByteArray m_latin1;
    xcb_timestamp_t m_since;
    size_t m_maxBytes = 0;
};

// The next event within the time left of the timer; nullptr when the time
// is up or the connection broke.
xcb_generic_event_t* nextEvent(xcb_connection_t* c, const QElapsedTimer& timer, int timeoutMs)
{
    for (;;) {
        if (xcb_generic_event_t* event = xcb_poll_for_event(c))
            return event;
        if (xcb_connection_has_error(c))
            return nullptr;
        const qint64 left = timeoutMs - timer.elapsed();
        if (left <= 0)
            return nullptr;
        pollfd wait{xcb_get_file_descriptor(c), POLLIN, 0};
        ::poll(&wait, 1, static_cast<int>(left));
    }
}

// The windows of one connection: the server gives each client a range of
// resource ids, and every window the client creates has an id in it.
struct IdRange {
    uint32_t base = 0;
    uint32_t mask = 0;

    bool holds(xcb_window_t window) const
    {
        return mask != 0 && window != XCB_NONE && (window & ~mask) == base;
    }
};

// The range of the program's own connection, the one Qt draws and copies
// through; empty where there is none.
IdRange programIds()
{
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* c = x11 ? x11->connection() : nullptr;
    const xcb_setup_t* setup = c ? xcb_get_setup(c) : nullptr;
    if (!setup)
        return {};
    return {setup->resource_id_base, setup->resource_id_mask};
}

// A server time stamp for taking the selection: the time of a property
// change on the window (which asks for property events).
xcb_timestamp_t serverTime(xcb_connection_t* c, xcb_window_t window, const Atoms& atoms,
                           const QElapsedTimer& timer, int timeoutMs)
{
    xcb_change_property(c, XCB_PROP_MODE_APPEND, window, atoms.transfer, XCB_ATOM_STRING, 8, 0,
                        nullptr);
    xcb_flush(c);
    while (xcb_generic_event_t* event = nextEvent(c, timer, timeoutMs)) {
        const bool stamp = (event->response_type & 0x7F) == XCB_PROPERTY_NOTIFY;
        const xcb_timestamp_t time =
            stamp ? reinterpret_cast<xcb_property_notify_event_t*>(event)->time : 0;
        std::free(event);
        if (stamp)
            return time;
    }
    return XCB_CURRENT_TIME;
}

void handOver(xcb_connection_t* c, const QClipboard& clipboard, const IdRange& program,
              int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    Atoms atoms;
    if (!internAll(c, atoms) || selectionOwner(c, atoms.manager) == XCB_NONE)
        return;
    const xcb_setup_t* setup = xcb_get_setup(c);
    const xcb_screen_t* screen = xcb_setup_roots_iterator(setup).data;
    if (!screen)
        return;
    const xcb_window_t window = xcb_generate_id(c);
    const uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, screen->root_visual, XCB_CW_EVENT_MASK,
                      &events);
    const xcb_timestamp_t now = serverTime(c, window, atoms, timer, timeoutMs);
    if (now == XCB_CURRENT_TIME)
        return;
    // What the program knows of its clipboard may be stale: another program
    // may have copied since, and the news not yet have passed the program's
    // event loop. Only a clipboard that one of the program's own windows
    // still owns on the server is taken over, so that an older table never
    // replaces a newer copy (one made in the moment from this check to the
    // taking goes unseen). The text is read after the check: read from a
    // clipboard another program owns, it would be fetched from that
    // program, which may keep the ending waiting.
    if (!program.holds(selectionOwner(c, atoms.clipboard)))
        return;
    const QString text = clipboard.text();
    if (text.isEmpty())
        return;
    xcb_set_selection_owner(c, window, atoms.clipboard, now);
    if (selectionOwner(c, atoms.clipboard) != window)
        return;
    TextOwner owner(c, window, atoms, text.toUtf8(), text.toLatin1(), now);

    // No list of targets in the property: the manager saves every target.
    xcb_delete_property(c, window, atoms.transfer);
    xcb_convert_selection(c, window, atoms.manager, atoms.saveTargets, atoms.transfer, now);
    xcb_flush(c);
    while (xcb_generic_event_t* event = nextEvent(c, timer, timeoutMs)) {
        const uint8_t type = event->response_type & 0x7F;
        bool done = false;
        if (type == XCB_SELECTION_REQUEST) {
            owner.answer(*reinterpret_cast<xcb_selection_request_event_t*>(event));
        } else if (type == XCB_SELECTION_NOTIFY) {
            const auto* answer = reinterpret_cast<xcb_selection_notify_event_t*>(event);
            done = answer->requestor == window && answer->selection == atoms.manager &&
                   answer->target == atoms.saveTargets;
        }
        std::free(event);
        if (done)
            return;
    }
}

}  // namespace

void handClipboardToManager(int timeoutMs)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return;
    const QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard || !clipboard->ownsClipboard())
        return;
    const IdRange program = programIds();
    if (program.mask == 0)
        return;
    // A connection of its own, to the display the program shows on.
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (!xcb_connection_has_error(c))
        handOver(c, *clipboard, program, timeoutMs);
    xcb_disconnect(c);
}

}  // namespace tarvic
