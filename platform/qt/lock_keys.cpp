#include "platform/qt/lock_keys.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <cstdlib>
#include <cstring>

#ifdef VEKDC_HAVE_XKB
#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>
// xkb.h names a member "explicit", a keyword of C++.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit
#endif

namespace vekdc::platform {

#ifdef VEKDC_HAVE_XKB

namespace {

// The XKB names of the indicators, in LockKey order.
constexpr const char* kIndicatorNames[kLockKeyCount] = {"Kana", "Caps Lock", "Num Lock",
                                                        "Scroll Lock"};

template <typename Reply>
struct FreeReply {
    void operator()(Reply* reply) const { std::free(reply); }
};
template <typename Reply>
using ReplyPtr = std::unique_ptr<Reply, FreeReply<Reply>>;

xcb_connection_t* QtConnection() {
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    auto* x11 =
        app != nullptr ? app->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 != nullptr ? x11->connection() : nullptr;
}

}  // namespace

// The connection Qt uses, the first event code of XKB and the atoms of the
// indicator names.
struct LockKeyWatcher::X11 {
    xcb_connection_t* connection = nullptr;
    std::uint8_t firstEvent = 0;
    std::array<xcb_atom_t, kLockKeyCount> atoms{};

    static std::unique_ptr<X11> Open() {
        xcb_connection_t* connection = QtConnection();
        if (connection == nullptr) {
            return nullptr;
        }
        const xcb_query_extension_reply_t* extension =
            xcb_get_extension_data(connection, &xcb_xkb_id);
        if (extension == nullptr || extension->present == 0) {
            return nullptr;
        }
        const ReplyPtr<xcb_xkb_use_extension_reply_t> use(xcb_xkb_use_extension_reply(
            connection,
            xcb_xkb_use_extension(connection, XCB_XKB_MAJOR_VERSION, XCB_XKB_MINOR_VERSION),
            nullptr));
        if (!use || use->supported == 0) {
            return nullptr;
        }
        auto x11 = std::make_unique<X11>();
        x11->connection = connection;
        x11->firstEvent = extension->first_event;
        for (std::size_t i = 0; i < kLockKeyCount; ++i) {
            const char* name = kIndicatorNames[i];
            const ReplyPtr<xcb_intern_atom_reply_t> atom(xcb_intern_atom_reply(
                connection,
                xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
                nullptr));
            x11->atoms[i] = atom ? atom->atom : xcb_atom_t{XCB_ATOM_NONE};
        }
        // Only this event type is touched: what Qt selected for itself stays.
        xcb_xkb_select_events(connection, XCB_XKB_ID_USE_CORE_KBD,
                              XCB_XKB_EVENT_TYPE_INDICATOR_STATE_NOTIFY, 0,
                              XCB_XKB_EVENT_TYPE_INDICATOR_STATE_NOTIFY, 0, 0, nullptr);
        xcb_flush(connection);
        return x11;
    }

    LockKeyLights Read() const {
        LockKeyLights lights{};
        for (std::size_t i = 0; i < kLockKeyCount; ++i) {
            if (atoms[i] == XCB_ATOM_NONE) {
                continue;
            }
            const ReplyPtr<xcb_xkb_get_named_indicator_reply_t> reply(
                xcb_xkb_get_named_indicator_reply(
                    connection,
                    xcb_xkb_get_named_indicator(connection, XCB_XKB_ID_USE_CORE_KBD,
                                                XCB_XKB_LED_CLASS_DFLT_XI_CLASS,
                                                XCB_XKB_ID_DFLT_XI_ID, atoms[i]),
                    nullptr));
            lights[i] = reply && reply->found != 0 && reply->on != 0;
        }
        return lights;
    }

    bool IsIndicatorChange(const xcb_generic_event_t* event) const {
        // XKB events share one event code; the second byte says which one.
        return (event->response_type & 0x7f) == firstEvent &&
               reinterpret_cast<const xcb_xkb_indicator_state_notify_event_t*>(event)->xkbType ==
                   XCB_XKB_INDICATOR_STATE_NOTIFY;
    }
};

#else

struct LockKeyWatcher::X11 {
    static std::unique_ptr<X11> Open() { return nullptr; }
    LockKeyLights Read() const { return {}; }
    bool IsIndicatorChange(const void* /*event*/) const { return false; }
};

#endif

LockKeyWatcher::LockKeyWatcher(std::function<void(const LockKeyLights&)> changed, QObject* parent)
    : QObject(parent), m_changed(std::move(changed)), m_x11(X11::Open()) {
    if (m_x11) {
        m_lights = m_x11->Read();
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
}

LockKeyWatcher::~LockKeyWatcher() {
    if (m_x11 && QCoreApplication::instance() != nullptr) {
        QCoreApplication::instance()->removeNativeEventFilter(this);
    }
}

bool LockKeyWatcher::available() const {
    return m_x11 != nullptr;
}

bool LockKeyWatcher::nativeEventFilter(const QByteArray& eventType, void* message,
                                       qintptr* /*result*/) {
#ifdef VEKDC_HAVE_XKB
    if (m_x11 && eventType == "xcb_generic_event_t" &&
        m_x11->IsIndicatorChange(static_cast<const xcb_generic_event_t*>(message))) {
        Refresh();
    }
#else
    (void)eventType;
    (void)message;
#endif
    return false;  // Qt handles every event as usual
}

void LockKeyWatcher::Refresh() {
    const LockKeyLights lights = m_x11->Read();
    if (lights != m_lights) {
        m_lights = lights;
        if (m_changed) {
            m_changed(m_lights);
        }
    }
}

}  // namespace vekdc::platform
