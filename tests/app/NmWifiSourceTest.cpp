// The NetworkManager backend against python-dbusmock's NetworkManager template on the session bus
// of a private dbus-run-session (see run_nm_tests.sh).
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QElapsedTimer>

#include "app/NmWifiSource.h"
#include "link/WlanList.h"

namespace vantrel {
namespace {

const QString kNm = QStringLiteral("org.freedesktop.NetworkManager");
const QString kMockIface = QStringLiteral("org.freedesktop.DBus.Mock");
const QString kMockMain = QStringLiteral("/org/freedesktop");
const QString kDeviceIface = QStringLiteral("org.freedesktop.NetworkManager.Device");
const QString kWirelessIface = QStringLiteral("org.freedesktop.NetworkManager.Device.Wireless");
constexpr int kDisconnected = 30;  // device states; the template takes them signed
constexpr int kActivated = 100;
constexpr unsigned kInfrastructure = 2;

// One entry of the method list dbusmock's AddObject takes: name, in and out signature, code.
struct MockMethod {
    QString name, inSignature, outSignature, code;
};
QDBusArgument& operator<<(QDBusArgument& arg, const MockMethod& m) {
    arg.beginStructure();
    arg << m.name << m.inSignature << m.outSignature << m.code;
    arg.endStructure();
    return arg;
}
const QDBusArgument& operator>>(const QDBusArgument& arg, MockMethod& m) {
    arg.beginStructure();
    arg >> m.name >> m.inSignature >> m.outSignature >> m.code;
    arg.endStructure();
    return arg;
}

QVariant Variant(const QVariant& value) { return QVariant::fromValue(QDBusVariant(value)); }
QVariant Path(const QString& path) { return Variant(QVariant::fromValue(QDBusObjectPath(path))); }

bool NmOnBus(const QDBusConnection& bus) {
    return bus.interface() && bus.interface()->isServiceRegistered(kNm).value();
}

class NmWifiSourceTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(bus.isConnected()) << "no session bus; run through run_nm_tests.sh";
        ASSERT_TRUE(NmOnBus(bus)) << "no mock NetworkManager on the bus";
        Mock(kMockMain, QStringLiteral("Reset"));
    }

    // Calls a method of dbusmock's control interface on `path`; returns the first string result.
    QString Mock(const QString& path, const QString& method, const QVariantList& args = {}) {
        QDBusMessage call = QDBusMessage::createMethodCall(kNm, path, kMockIface, method);
        call.setArguments(args);
        const QDBusMessage reply = bus.call(call, QDBus::Block, 5000);
        EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage)
            << method.toStdString() << ": " << reply.errorMessage().toStdString();
        if (reply.arguments().isEmpty()) return {};
        return reply.arguments().constFirst().toString();
    }

    // Adds an object without methods (AddObject) at `path`.
    void AddObject(const QString& path, const QString& interface, const QVariantMap& properties) {
        Mock(kMockMain, QStringLiteral("AddObject"),
             {path, interface, properties, QVariant::fromValue(QList<MockMethod>())});
    }
    int CallsOf(const QString& path, const QString& method) {
        QDBusMessage call =
            QDBusMessage::createMethodCall(kNm, path, kMockIface, QStringLiteral("GetMethodCalls"));
        call << method;
        const QDBusMessage reply = bus.call(call, QDBus::Block, 5000);
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return -1;
        const QDBusArgument calls = reply.arguments().constFirst().value<QDBusArgument>();
        int count = 0;
        calls.beginArray();
        while (!calls.atEnd()) {
            calls.asVariant();
            ++count;
        }
        calls.endArray();
        return count;
    }

    QString AddWifi(const QString& name, const QString& interface, int state) {
        return Mock(kMockMain, QStringLiteral("AddWiFiDevice"), {name, interface, state});
    }
    QString AddAp(const QString& device, const QString& name, const QString& ssid,
                  std::uint8_t strength) {
        return Mock(kMockMain, QStringLiteral("AddAccessPoint"),
                    {device, name, ssid, QStringLiteral("00:11:22:33:44:55"), kInfrastructure,
                     2437u, 54000u, QVariant::fromValue(strength), 0u});
    }
    // Connects `device` to `ap` (whose SSID is `ssid`) as NetworkManager reports it.
    void Connect(const QString& device, const QString& ap, const QString& ssid) {
        const QString name = ap.section(QLatin1Char('/'), -1);  // object paths allow no '-'
        const QString connection = Mock(kMockMain, QStringLiteral("AddWiFiConnection"),
                                        {device, QStringLiteral("c_") + name, ssid, QString()});
        Mock(kMockMain, QStringLiteral("AddActiveConnection"),
             {QStringList{device}, connection, ap, QStringLiteral("ac_") + name, 2u});
        // The template leaves the device's ActiveAccessPoint out.
        Mock(device, QStringLiteral("AddProperty"),
             {kWirelessIface, QStringLiteral("ActiveAccessPoint"), Path(ap)});
    }

    QDBusConnection bus = QDBusConnection::sessionBus();
    NmWifiSource source{bus};
    WlanList list{source};
};

TEST_F(NmWifiSourceTest, ListsWifiDevicesAndTheNetworksEachSeesOnce) {
    Mock(kMockMain, QStringLiteral("AddEthernetDevice"),
         {QStringLiteral("eth"), QStringLiteral("eth0"), kActivated});
    const QString wlan0 = AddWifi(QStringLiteral("wifi0"), QStringLiteral("wlan0"), kDisconnected);
    const QString wlan1 = AddWifi(QStringLiteral("wifi1"), QStringLiteral("wlan1"), kDisconnected);
    AddAp(wlan0, QStringLiteral("ap0"), QStringLiteral("AmpLink-7"), 80);
    AddAp(wlan0, QStringLiteral("ap1"), QStringLiteral("Home"), 40);
    AddAp(wlan0, QStringLiteral("ap2"), QStringLiteral("AmpLink-7"), 30);
    AddAp(wlan0, QStringLiteral("ap3"), QStringLiteral("Caf\u00e9"), 10);

    ASSERT_TRUE(list.EnumInterfaces());
    ASSERT_EQ(list.InterfaceCount(), 2);
    EXPECT_EQ(list.InterfaceId(0), wlan0.toStdString());
    EXPECT_EQ(list.InterfaceDescription(0), "wlan0");
    EXPECT_EQ(list.InterfaceDescription(1), "wlan1");

    ASSERT_TRUE(list.ScanNetworks(list.InterfaceId(0)));
    list.RemoveDuplicates();
    ASSERT_EQ(list.NetworkCount(), 3);
    EXPECT_EQ(list.NetworkName(0), "AmpLink-7");
    EXPECT_EQ(list.NetworkName(1), "Home");
    EXPECT_EQ(list.NetworkName(2), "Caf\xC3\xA9");  // the SSID's bytes, untouched

    EXPECT_EQ(CallsOf(wlan0, QStringLiteral("RequestScan")), 1);

    ASSERT_TRUE(list.ScanNetworks(list.InterfaceId(1)));
    EXPECT_EQ(list.NetworkCount(), 0);
    // A device that is not there (any more).
    EXPECT_FALSE(list.ScanNetworks("/org/freedesktop/NetworkManager/Devices/gone"));
    EXPECT_EQ(list.NetworkCount(), 0);
}

TEST_F(NmWifiSourceTest, CurrentConnectionIsTheActiveAccessPointOfTheFirstDevice) {
    const QString wlan0 = AddWifi(QStringLiteral("wifi0"), QStringLiteral("wlan0"), kDisconnected);
    const QString amp = AddAp(wlan0, QStringLiteral("ap0"), QStringLiteral("AmpLink-7"), 57);
    AddAp(wlan0, QStringLiteral("ap1"), QStringLiteral("Home"), 90);

    EXPECT_FALSE(list.CurrentConnection().connected);

    Connect(wlan0, amp, QStringLiteral("AmpLink-7"));
    const WifiConnection linked = list.CurrentConnection();
    EXPECT_TRUE(linked.connected);
    EXPECT_EQ(linked.ssid, "AmpLink-7");
    EXPECT_EQ(linked.quality, 57);
    EXPECT_EQ(SignalLevel(linked.connected, linked.quality), 4);

    Mock(kMockMain, QStringLiteral("SetDeviceDisconnected"), {wlan0});
    EXPECT_FALSE(list.CurrentConnection().connected);
}

TEST_F(NmWifiSourceTest, AdaptersCarryDhcpAndGatewayForTheReachabilityRule) {
    const QString wlan0 = AddWifi(QStringLiteral("wifi0"), QStringLiteral("wlan0"), kActivated);
    const QString eth0 = Mock(kMockMain, QStringLiteral("AddEthernetDevice"),
                              {QStringLiteral("eth"), QStringLiteral("eth0"), kActivated});
    AddWifi(QStringLiteral("wifi1"), QStringLiteral("wlan1"), kDisconnected);
    // The template has no IPv4 objects: a DHCP lease and gateway on wlan0, a static address
    // with a gateway on eth0.
    const QString ip4Wlan = QStringLiteral("/org/freedesktop/NetworkManager/IP4Config/1");
    const QString ip4Eth = QStringLiteral("/org/freedesktop/NetworkManager/IP4Config/2");
    const QString dhcp = QStringLiteral("/org/freedesktop/NetworkManager/DHCP4Config/1");
    const QString ip4Iface = QStringLiteral("org.freedesktop.NetworkManager.IP4Config");
    AddObject(ip4Wlan, ip4Iface, {{QStringLiteral("Gateway"), QStringLiteral("10.10.100.254")}});
    AddObject(ip4Eth, ip4Iface, {{QStringLiteral("Gateway"), QStringLiteral("192.168.1.1")}});
    AddObject(dhcp, QStringLiteral("org.freedesktop.NetworkManager.DHCP4Config"), {});
    Mock(wlan0, QStringLiteral("AddProperty"),
         {kDeviceIface, QStringLiteral("Ip4Config"), Path(ip4Wlan)});
    Mock(wlan0, QStringLiteral("AddProperty"),
         {kDeviceIface, QStringLiteral("Dhcp4Config"), Path(dhcp)});
    Mock(eth0, QStringLiteral("AddProperty"),
         {kDeviceIface, QStringLiteral("Ip4Config"), Path(ip4Eth)});
    Mock(eth0, QStringLiteral("AddProperty"),
         {kDeviceIface, QStringLiteral("Dhcp4Config"), Path(QStringLiteral("/"))});

    const auto adapters = source.Adapters();
    ASSERT_TRUE(adapters);
    ASSERT_EQ(adapters->size(), 3u);
    EXPECT_EQ((*adapters)[0].description, "wlan0");
    EXPECT_TRUE((*adapters)[0].dhcp);
    EXPECT_EQ((*adapters)[0].gateways, std::vector<std::string>{"10.10.100.254"});
    EXPECT_EQ((*adapters)[1].description, "eth0");
    EXPECT_FALSE((*adapters)[1].dhcp);
    EXPECT_EQ((*adapters)[1].gateways, std::vector<std::string>{"192.168.1.1"});
    EXPECT_EQ((*adapters)[2].description, "wlan1");
    EXPECT_FALSE((*adapters)[2].dhcp);
    EXPECT_TRUE((*adapters)[2].gateways.empty());

    EXPECT_TRUE(list.AdaptorReachable("10.10.100.254", "wlan0"));
    EXPECT_FALSE(list.AdaptorReachable("10.10.100.1", "wlan0"));
    EXPECT_FALSE(list.AdaptorReachable("192.168.1.1", "eth0"));  // no DHCP
    EXPECT_FALSE(list.AdaptorReachable("10.10.100.254", "wlan1"));
}

// Run by the script before the mock starts; skipped when NetworkManager is on the bus.
TEST(NmAbsentTest, NothingIsListedAndNothingWaits) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || NmOnBus(bus)) GTEST_SKIP() << "needs a bus without NetworkManager";
    NmWifiSource source(bus);
    WlanList list(source);
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(list.EnumInterfaces());
    EXPECT_EQ(list.InterfaceCount(), 0);
    EXPECT_FALSE(list.ScanNetworks("/org/freedesktop/NetworkManager/Devices/0"));
    EXPECT_FALSE(list.CurrentConnection().connected);
    EXPECT_FALSE(list.AdaptorReachable("10.10.100.254", "wlan0"));
    EXPECT_LT(timer.elapsed(), kNmCallTimeoutMs);

    // No bus at all.
    NmWifiSource unconnected(
        QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent"), "vantrel-none"));
    EXPECT_FALSE(unconnected.Interfaces());
}

}  // namespace
}  // namespace vantrel

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    qDBusRegisterMetaType<vantrel::MockMethod>();
    qDBusRegisterMetaType<QList<vantrel::MockMethod>>();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
