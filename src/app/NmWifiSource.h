#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QList>
#include <QString>
#include <QVariant>
#include <optional>

#include "platform/WifiSource.h"

class QDBusObjectPath;

namespace vantrel {

inline constexpr int kNmCallTimeoutMs = 1000;

// Wireless interfaces, scans, the current connection and the adapters' IPv4 settings from
// NetworkManager. Interface ids are the devices' object paths, descriptions their interface
// names. Without NetworkManager on the bus every call fails at once (or after one time-out when
// it hangs), so there are no interfaces to list.
class NmWifiSource final : public WifiSource {
public:
    explicit NmWifiSource(QDBusConnection bus = QDBusConnection::systemBus(),
                          int callTimeoutMs = kNmCallTimeoutMs);

    std::optional<std::vector<WifiInterface>> Interfaces() override;
    bool Scan(const std::string& interfaceId) override;
    std::optional<std::vector<std::string>> Networks(const std::string& interfaceId) override;
    std::optional<WifiConnection> CurrentConnection(const std::string& interfaceId) override;
    std::optional<std::vector<NetworkAdapter>> Adapters() override;

private:
    std::optional<QDBusMessage> Call(const QString& path, const QString& interface,
                                     const QString& method, const QVariantList& arguments = {});
    std::optional<QVariant> Property(const QString& path, const QString& interface,
                                     const QString& name);
    std::optional<QList<QDBusObjectPath>> Paths(const QString& path, const QString& interface,
                                                const QString& method);
    // "/" (NetworkManager's "none") for a missing or failed object path property.
    QString PathProperty(const QString& path, const QString& interface, const QString& name);

    QDBusConnection m_bus;
    int m_timeoutMs;
    // Set when NetworkManager stopped answering; the operation under way gives up instead of
    // waiting out one time-out per remaining call.
    bool m_stalled = false;
};

}  // namespace vantrel
