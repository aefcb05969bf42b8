// SPDX-License-Identifier: GPL-3.0-or-later
// The question about a key on the accessibility bus (AT-SPI): the registry's
// device event controller passes the key to the screen reader's key
// listeners, as Qt's own bridge does, and answers whether one took it.
#include "cifrelle/ui/qt/qtscreenreaderkeys.h"

#include <QAccessible>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDateTime>

namespace {

// A key as the device event controller takes it (signature "(uiiiisb)").
struct DeviceEvent {
    quint32 type = 0; // 0 pressed, 1 released
    qint32 keysym = 0;
    qint32 keycode = 0;
    qint32 modifiers = 0;
    qint32 timestamp = 0;
    QString name;
    bool isText = false;
};

} // namespace

Q_DECLARE_METATYPE(DeviceEvent)

namespace {

QDBusArgument& operator<<(QDBusArgument& argument, const DeviceEvent& e)
{
    argument.beginStructure();
    argument << e.type << e.keysym << e.keycode << e.modifiers << e.timestamp << e.name << e.isText;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, DeviceEvent& e)
{
    argument.beginStructure();
    argument >> e.type >> e.keysym >> e.keycode >> e.modifiers >> e.timestamp >> e.name >> e.isText;
    argument.endStructure();
    return argument;
}

// The registry waits up to 3 s for each key listener.
constexpr int answerTimeoutMs = 5000;

// The names the screen reader is given for the keys that type nothing
// (the names Qt's bridge gives them); any other key is named by its text.
QString keyName(const QKeyEvent& key)
{
    struct Named {
        int key;
        const char* name;
        const char* onKeypad;
    };
    static constexpr Named names[] = {
        {Qt::Key_Tab, "Tab", nullptr},
        {Qt::Key_Backtab, "Backtab", nullptr},
        {Qt::Key_Control, "Control_L", nullptr},
        {Qt::Key_Left, "Left", "KP_Left"},
        {Qt::Key_Right, "Right", "KP_Right"},
        {Qt::Key_Up, "Up", "KP_Up"},
        {Qt::Key_Down, "Down", "KP_Down"},
        {Qt::Key_Enter, "Return", nullptr},
        {Qt::Key_Return, "Return", nullptr},
        {Qt::Key_Backspace, "BackSpace", nullptr},
        {Qt::Key_Delete, "Delete", nullptr},
        {Qt::Key_PageUp, "Page_Up", "KP_Page_Up"},
        {Qt::Key_PageDown, "Page_Down", "KP_Page_Down"},
        {Qt::Key_Home, "Home", "KP_Home"},
        {Qt::Key_End, "End", "KP_End"},
        {Qt::Key_Escape, "Escape", nullptr},
        {Qt::Key_Space, "space", nullptr},
        {Qt::Key_CapsLock, "Caps_Lock", nullptr},
        {Qt::Key_NumLock, "Num_Lock", nullptr},
        {Qt::Key_Insert, "Insert", nullptr},
    };
    const bool keypad = key.modifiers() & Qt::KeypadModifier;
    if (key.key() == Qt::Key_Clear && keypad)
        return QStringLiteral("KP_Begin");
    for (const Named& n : names) {
        if (n.key == key.key())
            return QLatin1String(keypad && n.onKeypad ? n.onKeypad : n.name);
    }
    return key.text();
}

DeviceEvent deviceEvent(const QKeyEvent& key)
{
    // AT-SPI's modifier bits; a modifier key does not count as held with
    // itself.
    constexpr int shift = 1 << 0, shiftLock = 1 << 1, control = 1 << 2, alt = 1 << 3, meta = 1 << 4;
    constexpr quint32 x11LockMask = 1 << 1;
    const auto held = [&key](Qt::KeyboardModifier modifier, int itself) {
        return (key.modifiers() & modifier) && key.key() != itself;
    };
    DeviceEvent e;
    e.type = key.type() == QEvent::KeyPress ? 0 : 1;
    e.keysym = static_cast<qint32>(key.nativeVirtualKey());
    e.keycode = static_cast<qint32>(key.nativeScanCode());
    e.modifiers = (held(Qt::ShiftModifier, Qt::Key_Shift) ? shift : 0) |
                  ((key.nativeModifiers() & x11LockMask) ? shiftLock : 0) |
                  (held(Qt::ControlModifier, Qt::Key_Control) ? control : 0) |
                  (held(Qt::AltModifier, Qt::Key_Alt) ? alt : 0) |
                  (held(Qt::MetaModifier, Qt::Key_Meta) ? meta : 0);
    e.timestamp = static_cast<qint32>(QDateTime::currentMSecsSinceEpoch());
    e.name = keyName(key);
    e.isText = !e.name.isEmpty();
    return e;
}

// The accessibility bus, as Qt's bridge finds it: named in the environment,
// or given by the session's accessibility service.
QDBusConnection accessibilityBus()
{
    static const QDBusConnection bus = [] {
        const QString name = QStringLiteral("cifrelle-screen-reader-keys");
        QString address = qEnvironmentVariable("AT_SPI_BUS_ADDRESS");
        if (address.isEmpty()) {
            QDBusMessage ask = QDBusMessage::createMethodCall(
                QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                QStringLiteral("org.a11y.Bus"), QStringLiteral("GetAddress"));
            const QDBusMessage reply = QDBusConnection::sessionBus().call(ask, QDBus::Block, 1000);
            if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty())
                address = reply.arguments().constFirst().toString();
        }
        qDBusRegisterMetaType<DeviceEvent>();
        return address.isEmpty() ? QDBusConnection(name)
                                 : QDBusConnection::connectToBus(address, name);
    }();
    return bus;
}

} // namespace

namespace cifrelle::ui {

ScreenReaderKeys::Question screenReaderKeyQuestion()
{
    return [](const QKeyEvent& key, std::function<void(bool)> answer) {
        // No assistive technology listening: nobody to ask.
        if (!QAccessible::isActive())
            return false;
        QDBusConnection bus = accessibilityBus();
        if (!bus.isConnected())
            return false;
        QDBusMessage notify = QDBusMessage::createMethodCall(
            QStringLiteral("org.a11y.atspi.Registry"),
            QStringLiteral("/org/a11y/atspi/registry/deviceeventcontroller"),
            QStringLiteral("org.a11y.atspi.DeviceEventController"),
            QStringLiteral("NotifyListenersSync"));
        notify << QVariant::fromValue(deviceEvent(key));
        auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(notify, answerTimeoutMs));
        QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                         [watcher, answer = std::move(answer)] {
                             const QDBusPendingReply<bool> reply = *watcher;
                             answer(reply.isValid() && reply.value());
                             watcher->deleteLater();
                         });
        return true;
    };
}

} // namespace cifrelle::ui
