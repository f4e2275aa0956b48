// The lights of the lock keys (Caps, Num, Scroll and Kana lock), where the
// window system tells them: on X11 the XKB indicators of the core keyboard,
// followed as they change. Offscreen, on Wayland and elsewhere nothing is
// known and every light counts as off.
#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <functional>
#include <memory>

#include "platform/lock_keys.h"

namespace vekdc::platform {

class LockKeyWatcher : public QObject, public QAbstractNativeEventFilter {
public:
    // `changed` is called with the new lights whenever one of them changes.
    explicit LockKeyWatcher(std::function<void(const LockKeyLights&)> changed,
                            QObject* parent = nullptr);
    ~LockKeyWatcher() override;
    LockKeyWatcher(const LockKeyWatcher&) = delete;
    LockKeyWatcher& operator=(const LockKeyWatcher&) = delete;

    // Whether the window system tells the lights at all.
    bool available() const;
    const LockKeyLights& lights() const { return m_lights; }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    struct X11;
    // Reads the lights again; calls `changed` when they differ.
    void Refresh();

    std::function<void(const LockKeyLights&)> m_changed;
    std::unique_ptr<X11> m_x11;
    LockKeyLights m_lights{};
};

}  // namespace vekdc::platform
