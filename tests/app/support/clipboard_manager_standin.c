/* A clipboard manager for the hand-over tests: it owns CLIPBOARD_MANAGER
 * on the display of $DISPLAY, prints "ready" once it does, and answers the
 * first SAVE_TARGETS request as a desktop's manager would: it asks the
 * clipboard's owner for its targets and its UTF8_STRING text, writes the
 * text to the file named by its argument (the targets, one a line, to
 * <file>.targets), tells the requestor it is done and ends (0). It ends
 * with 2 when nothing asks within 60 seconds, 1 on other failures.
 *
 * Other arguments make it the rest of the desktop, each printing "ready"
 * once it owns its selection and running until it is ended (or 60 seconds
 * pass without a request: 2):
 *   --silent       a manager that never answers; it prints "asked" for each
 *                  SAVE_TARGETS request and leaves the requestor waiting.
 *   --copy TEXT    another program that copied TEXT: it owns CLIPBOARD and
 *                  gives TEXT as UTF8_STRING (and its TARGETS).
 *   --copy-hung    another program that copied and then hung: it owns
 *                  CLIPBOARD and answers nothing.
 * Either copy prints "lost" when another client takes CLIPBOARD from it. */
#include <xcb/xcb.h>

#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

static xcb_connection_t* c;
static xcb_window_t window;

static xcb_atom_t intern(const char* name)
{
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, (uint16_t)strlen(name), name), NULL);
    xcb_atom_t atom = reply ? reply->atom : XCB_NONE;
    free(reply);
    return atom;
}

/* The next event of the given type, or of any type for 0 (others are
 * dropped), or NULL after seconds. */
static xcb_generic_event_t* waitFor(uint8_t type, int seconds)
{
    for (int waited = 0; waited < seconds * 10;) {
        xcb_generic_event_t* event = xcb_poll_for_event(c);
        if (!event) {
            if (xcb_connection_has_error(c))
                return NULL;
            struct pollfd fd = {xcb_get_file_descriptor(c), POLLIN, 0};
            if (poll(&fd, 1, 100) == 0)
                ++waited;
            continue;
        }
        if (type == 0 || (event->response_type & 0x7F) == type)
            return event;
        free(event);
    }
    return NULL;
}

static void say(const char* line)
{
    printf("%s\n", line);
    fflush(stdout);
}

/* Tells the requestor what became of its request: the property holds the
 * answer, or None for a refusal. */
static void notify(const xcb_selection_request_event_t* request, xcb_atom_t property)
{
    xcb_selection_notify_event_t answer;
    memset(&answer, 0, sizeof answer);
    answer.response_type = XCB_SELECTION_NOTIFY;
    answer.time = request->time;
    answer.requestor = request->requestor;
    answer.selection = request->selection;
    answer.target = request->target;
    answer.property = property;
    xcb_send_event(c, 0, request->requestor, XCB_EVENT_MASK_NO_EVENT, (const char*)&answer);
    xcb_flush(c);
}

/* Every mode but the answering manager: serves (or ignores) requests until
 * ended; 2 after 60 seconds without any. */
static int standBy(const char* mode, const char* text)
{
    const xcb_atom_t saveTargets = intern("SAVE_TARGETS");
    const xcb_atom_t targets = intern("TARGETS");
    const xcb_atom_t utf8 = intern("UTF8_STRING");
    for (;;) {
        xcb_generic_event_t* event = waitFor(0, 60);
        if (!event)
            return 2;
        const uint8_t type = event->response_type & 0x7F;
        if (type == XCB_SELECTION_CLEAR) {
            say("lost");
        } else if (type == XCB_SELECTION_REQUEST) {
            const xcb_selection_request_event_t* request = (xcb_selection_request_event_t*)event;
            if (strcmp(mode, "--silent") == 0 && request->target == saveTargets)
                say("asked");
            if (text) {
                xcb_atom_t property = request->property != XCB_NONE ? request->property
                                                                    : request->target;
                if (request->target == targets) {
                    const xcb_atom_t offered[] = {targets, utf8};
                    xcb_change_property(c, XCB_PROP_MODE_REPLACE, request->requestor, property,
                                        XCB_ATOM_ATOM, 32, 2, offered);
                } else if (request->target == utf8) {
                    xcb_change_property(c, XCB_PROP_MODE_REPLACE, request->requestor, property,
                                        utf8, 8, (uint32_t)strlen(text), text);
                } else {
                    property = XCB_NONE;
                }
                notify(request, property);
            }
        }
        free(event);
    }
}

/* Converts the clipboard to target into property; the property's reply, or
 * NULL when the owner refuses or stays silent. */
static xcb_get_property_reply_t* fetch(xcb_atom_t clipboard, xcb_atom_t target,
                                       xcb_atom_t property, xcb_timestamp_t time)
{
    xcb_convert_selection(c, window, clipboard, target, property, time);
    xcb_flush(c);
    xcb_generic_event_t* event = waitFor(XCB_SELECTION_NOTIFY, 10);
    if (!event)
        return NULL;
    xcb_atom_t got = ((xcb_selection_notify_event_t*)event)->property;
    free(event);
    if (got == XCB_NONE)
        return NULL;
    return xcb_get_property_reply(
        c, xcb_get_property(c, 1, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 1u << 28), NULL);
}

int main(int argc, char** argv)
{
    const int copy = argc == 3 && strcmp(argv[1], "--copy") == 0;
    const int hung = argc == 2 && strcmp(argv[1], "--copy-hung") == 0;
    const int silent = argc == 2 && strcmp(argv[1], "--silent") == 0;
    if (argc != 2 && !copy)
        return 1;
    c = xcb_connect(NULL, NULL);
    if (xcb_connection_has_error(c))
        return 1;
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const xcb_atom_t manager = intern("CLIPBOARD_MANAGER");
    const xcb_atom_t saveTargets = intern("SAVE_TARGETS");
    const xcb_atom_t clipboard = intern("CLIPBOARD");
    const xcb_atom_t targets = intern("TARGETS");
    const xcb_atom_t utf8 = intern("UTF8_STRING");
    const xcb_atom_t property = intern("_STANDIN_DATA");

    window = xcb_generate_id(c);
    const uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, screen->root_visual, XCB_CW_EVENT_MASK, &events);
    xcb_change_property(c, XCB_PROP_MODE_APPEND, window, property, XCB_ATOM_STRING, 8, 0, NULL);
    xcb_flush(c);
    xcb_generic_event_t* stamp = waitFor(XCB_PROPERTY_NOTIFY, 10);
    if (!stamp)
        return 1;
    const xcb_timestamp_t now = ((xcb_property_notify_event_t*)stamp)->time;
    free(stamp);
    const xcb_atom_t owned = copy || hung ? clipboard : manager;
    xcb_set_selection_owner(c, window, owned, now);
    xcb_get_selection_owner_reply_t* owner =
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, owned), NULL);
    if (!owner || owner->owner != window)
        return 1;
    free(owner);
    say("ready");
    if (copy || hung || silent)
        return standBy(argv[1], copy ? argv[2] : NULL);

    for (;;) {
        xcb_generic_event_t* event = waitFor(XCB_SELECTION_REQUEST, 60);
        if (!event)
            return 2;
        xcb_selection_request_event_t request = *(xcb_selection_request_event_t*)event;
        free(event);
        xcb_atom_t answer = XCB_NONE;
        const int save = request.selection == manager && request.target == saveTargets;
        if (save) {
            char name[4096];
            snprintf(name, sizeof name, "%s.targets", argv[1]);
            FILE* list = fopen(name, "w");
            xcb_get_property_reply_t* offered = fetch(clipboard, targets, property, request.time);
            if (list && offered && offered->format == 32) {
                const xcb_atom_t* atoms = xcb_get_property_value(offered);
                for (int i = 0; i < xcb_get_property_value_length(offered) / 4; ++i) {
                    xcb_get_atom_name_reply_t* atomName =
                        xcb_get_atom_name_reply(c, xcb_get_atom_name(c, atoms[i]), NULL);
                    if (atomName)
                        fprintf(list, "%.*s\n", xcb_get_atom_name_name_length(atomName),
                                xcb_get_atom_name_name(atomName));
                    free(atomName);
                }
            }
            free(offered);
            if (list)
                fclose(list);
            xcb_get_property_reply_t* text = fetch(clipboard, utf8, property, request.time);
            FILE* out = fopen(argv[1], "wb");
            if (out && text)
                fwrite(xcb_get_property_value(text), 1, (size_t)xcb_get_property_value_length(text),
                       out);
            if (out)
                fclose(out);
            free(text);
            answer = request.property;
        }
        notify(&request, answer);
        if (save)
            break;
    }
    /* A round trip before leaving: without it the answer may be lost when
     * the server takes in the hang-up first. */
    free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), NULL));
    xcb_disconnect(c);
    return 0;
}
