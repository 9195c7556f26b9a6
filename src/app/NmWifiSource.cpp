#include "app/NmWifiSource.h"

#include <QDBusArgument>
#include <QDBusError>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <algorithm>
#include <utility>

namespace vantrel {

namespace {

const QString kService = QStringLiteral("org.freedesktop.NetworkManager");
const QString kManagerPath = QStringLiteral("/org/freedesktop/NetworkManager");
const QString kManagerIface = QStringLiteral("org.freedesktop.NetworkManager");
const QString kDeviceIface = QStringLiteral("org.freedesktop.NetworkManager.Device");
const QString kWirelessIface = QStringLiteral("org.freedesktop.NetworkManager.Device.Wireless");
const QString kAccessPointIface = QStringLiteral("org.freedesktop.NetworkManager.AccessPoint");
const QString kIp4ConfigIface = QStringLiteral("org.freedesktop.NetworkManager.IP4Config");
const QString kPropertiesIface = QStringLiteral("org.freedesktop.DBus.Properties");
const QString kNoObject = QStringLiteral("/");

constexpr unsigned kDeviceTypeWifi = 2;
constexpr unsigned kDeviceStateActivated = 100;

std::string ToStd(const QString& text) { return text.toUtf8().toStdString(); }

}  // namespace

NmWifiSource::NmWifiSource(QDBusConnection bus, int callTimeoutMs)
    : m_bus(std::move(bus)), m_timeoutMs(callTimeoutMs) {}

std::optional<QDBusMessage> NmWifiSource::Call(const QString& path, const QString& interface,
                                               const QString& method,
                                               const QVariantList& arguments) {
    if (m_stalled || !m_bus.isConnected()) return std::nullopt;
    QDBusMessage call = QDBusMessage::createMethodCall(kService, path, interface, method);
    call.setArguments(arguments);
    QDBusMessage reply = m_bus.call(call, QDBus::Block, m_timeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage) return reply;
    const QDBusError::ErrorType error = QDBusError(reply).type();
    if (error == QDBusError::NoReply || error == QDBusError::Timeout ||
        error == QDBusError::TimedOut) {
        m_stalled = true;
    }
    return std::nullopt;
}

std::optional<QVariant> NmWifiSource::Property(const QString& path, const QString& interface,
                                               const QString& name) {
    const auto reply = Call(path, kPropertiesIface, QStringLiteral("Get"), {interface, name});
    if (!reply || reply->arguments().isEmpty()) return std::nullopt;
    return qvariant_cast<QDBusVariant>(reply->arguments().constFirst()).variant();
}

std::optional<QList<QDBusObjectPath>> NmWifiSource::Paths(const QString& path,
                                                          const QString& interface,
                                                          const QString& method) {
    const auto reply = Call(path, interface, method);
    if (!reply || reply->arguments().isEmpty()) return std::nullopt;
    const QVariant value = reply->arguments().constFirst();
    if (!value.canConvert<QDBusArgument>()) return std::nullopt;
    return qdbus_cast<QList<QDBusObjectPath>>(value);
}

QString NmWifiSource::PathProperty(const QString& path, const QString& interface,
                                   const QString& name) {
    const auto value = Property(path, interface, name);
    if (!value || !value->canConvert<QDBusObjectPath>()) return kNoObject;
    const QString result = qvariant_cast<QDBusObjectPath>(*value).path();
    return result.isEmpty() ? kNoObject : result;
}

std::optional<std::vector<WifiInterface>> NmWifiSource::Interfaces() {
    m_stalled = false;
    const auto devices = Paths(kManagerPath, kManagerIface, QStringLiteral("GetDevices"));
    if (!devices) return std::nullopt;
    std::vector<WifiInterface> result;
    for (const QDBusObjectPath& device : *devices) {
        // A device that vanished since GetDevices is simply not listed.
        const auto type = Property(device.path(), kDeviceIface, QStringLiteral("DeviceType"));
        if (!type || type->toUInt() != kDeviceTypeWifi) continue;
        const auto name = Property(device.path(), kDeviceIface, QStringLiteral("Interface"));
        if (!name) continue;
        result.push_back({ToStd(device.path()), ToStd(name->toString())});
    }
    if (m_stalled) return std::nullopt;
    return result;
}

bool NmWifiSource::Scan(const std::string& interfaceId) {
    m_stalled = false;
    return Call(QString::fromStdString(interfaceId), kWirelessIface, QStringLiteral("RequestScan"),
                {QVariant::fromValue(QVariantMap())})
        .has_value();
}

std::optional<std::vector<std::string>> NmWifiSource::Networks(const std::string& interfaceId) {
    m_stalled = false;
    const auto points = Paths(QString::fromStdString(interfaceId), kWirelessIface,
                              QStringLiteral("GetAllAccessPoints"));
    if (!points) return std::nullopt;
    std::vector<std::string> result;
    for (const QDBusObjectPath& point : *points) {
        const auto ssid = Property(point.path(), kAccessPointIface, QStringLiteral("Ssid"));
        if (!ssid) continue;
        result.push_back(ssid->toByteArray().toStdString());
    }
    if (m_stalled) return std::nullopt;
    return result;
}

std::optional<WifiConnection> NmWifiSource::CurrentConnection(const std::string& interfaceId) {
    m_stalled = false;
    const QString device = QString::fromStdString(interfaceId);
    const auto state = Property(device, kDeviceIface, QStringLiteral("State"));
    if (!state) return std::nullopt;
    if (state->toUInt() != kDeviceStateActivated) return WifiConnection{};
    const QString point = PathProperty(device, kWirelessIface, QStringLiteral("ActiveAccessPoint"));
    if (point == kNoObject) return m_stalled ? std::nullopt : std::optional(WifiConnection{});
    const auto ssid = Property(point, kAccessPointIface, QStringLiteral("Ssid"));
    const auto strength = Property(point, kAccessPointIface, QStringLiteral("Strength"));
    if (!ssid || !strength) return std::nullopt;
    return WifiConnection{true, ssid->toByteArray().toStdString(),
                          std::clamp(strength->toInt(), 0, 100)};
}

std::optional<std::vector<NetworkAdapter>> NmWifiSource::Adapters() {
    m_stalled = false;
    const auto devices = Paths(kManagerPath, kManagerIface, QStringLiteral("GetDevices"));
    if (!devices) return std::nullopt;
    std::vector<NetworkAdapter> result;
    for (const QDBusObjectPath& device : *devices) {
        const auto name = Property(device.path(), kDeviceIface, QStringLiteral("Interface"));
        if (!name) continue;
        NetworkAdapter adapter;
        adapter.description = ToStd(name->toString());
        adapter.dhcp =
            PathProperty(device.path(), kDeviceIface, QStringLiteral("Dhcp4Config")) != kNoObject;
        const QString config =
            PathProperty(device.path(), kDeviceIface, QStringLiteral("Ip4Config"));
        if (config != kNoObject) {
            const auto gateway = Property(config, kIp4ConfigIface, QStringLiteral("Gateway"));
            if (gateway && !gateway->toString().isEmpty()) {
                adapter.gateways.push_back(ToStd(gateway->toString()));
            }
        }
        result.push_back(std::move(adapter));
    }
    if (m_stalled) return std::nullopt;
    return result;
}

}  // namespace vantrel
