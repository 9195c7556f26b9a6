#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "app/ConnectionMonitor.h"
#include "link/WlanList.h"
#include "platform/DirectLinkSource.h"
#include "support/FakeWifiSource.h"

namespace vantrel {
namespace {

constexpr const char* kAddress = "10.10.100.254";
const std::string kConnect = "prompt:Connect to Adaptor";
const std::string kReconnect = "prompt:Please try to reconnect";

// Everything the monitor asks of the main window, in order, as one log.
struct HookLog {
    std::vector<std::string> events;
    bool workerConnected = true;

    ConnectionMonitorHooks Hooks() {
        return {
            [this](const QString& text) { events.push_back("prompt:" + text.toStdString()); },
            [this](const SignalImageKeys& keys) {
                events.push_back("pictures:" + keys.standard + "," + keys.alternate);
            },
            [this] { events.push_back("reset"); },
            [this] { events.push_back("connect"); },
            [this] { workerConnected = false; },
        };
    }
    long Count(const std::string& event) const {
        return std::count(events.begin(), events.end(), event);
    }
};

// One wireless interface seeing "Home" and "AmpLink"; the adaptor network "AmpLink" is entry 1 and
// its adapter answers the reachability rule until told otherwise.
class ConnectionMonitorTest : public testing::Test {
protected:
    ConnectionMonitorTest() {
        source.interfaces = {{"if0", "Wireless A"}};
        source.networks["if0"] = {"Home", "AmpLink"};
        source.adapters = {{"Wireless A", true, {kAddress}}};
        list.EnumInterfaces();
        list.ScanNetworks("if0");
    }

    void Join(const std::string& ssid, int quality = 100) {
        source.connections["if0"] = {true, ssid, quality};
    }
    void Leave() { source.connections["if0"] = {false, {}, 0}; }
    void SetReachable(bool reachable) { source.adapters.front().dhcp = reachable; }

    test::FakeWifiSource source;
    WlanList list{source};
    HookLog log;
    ConnectionMonitor monitor{list, kAddress, log.Hooks()};
};

TEST_F(ConnectionMonitorTest, SignalQualityPicksTheButtonPicturesOncePerChange) {
    monitor.OnWifiConnect(0, 1);
    EXPECT_EQ(monitor.NextRunInMs(), 150);
    const struct {
        int quality;
        std::uint8_t level;
        const char* pictures;
    } cases[] = {
        {0, 1, "pictures:STA_name0,ALT_name0"},
        {20, 2, "pictures:STA_name1,ALT_name1"},
        {21, 3, "pictures:STA_name2,ALT_name2"},
        {100, 6, "pictures:STA_name5,ALT_name5"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.quality);
        Join("AmpLink", c.quality);
        monitor.Tick();
        EXPECT_EQ(monitor.ShownLevel(), c.level);
        EXPECT_EQ(log.Count(c.pictures), 1);
        EXPECT_EQ(monitor.NextRunInMs(), 150);
    }
    // The same level again loads nothing.
    const auto before = log.events.size();
    monitor.Tick();
    EXPECT_EQ(log.events.size(), before);

    Leave();
    monitor.Tick();
    EXPECT_EQ(monitor.ShownLevel(), 0);
    EXPECT_EQ(log.Count("pictures:STA_name,ALT_name"), 1);
}

TEST_F(ConnectionMonitorTest, NoChosenNetworkNeverLinks) {
    const struct {
        const char* name;
        int chosen;  // -1: the monitor started without a choice
        const char* ssid;
        bool noInterface;
    } cases[] = {
        {"another network", 1, "Home", false},
        {"name with the chosen one as prefix", 1, "AmpLink2", false},
        {"nothing chosen", -1, "AmpLink", false},
        {"no wireless interface at all", 1, "", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::FakeWifiSource fake = source;
        if (c.noInterface) fake.interfaces.clear();
        WlanList wlan{fake};
        wlan.EnumInterfaces();
        wlan.ScanNetworks("if0");
        HookLog hooks;
        ConnectionMonitor m{wlan, kAddress, hooks.Hooks()};
        if (c.chosen >= 0) {
            m.OnWifiConnect(0, c.chosen);
        } else {
            m.Start();
        }
        fake.connections["if0"] = {true, c.ssid, 90};
        for (int i = 0; i < 3; ++i) m.Tick();
        EXPECT_EQ(m.ShownLevel(), 0);
        EXPECT_FALSE(m.IsWifiUp());
        EXPECT_FALSE(m.IsAdaptorLinked());
        EXPECT_TRUE(hooks.events.empty());
        EXPECT_TRUE(m.IsRunning());
    }
}

TEST_F(ConnectionMonitorTest, MovingToAnotherNetworkShowsNoLinkAndConnectsOnlyOnReturn) {
    monitor.OnWifiConnect(0, 1);
    Join("AmpLink", 70);
    monitor.Tick();
    ASSERT_EQ(log.events, (std::vector<std::string>{"pictures:STA_name4,ALT_name4", kConnect,
                                                    "reset", "connect"}));
    log.events.clear();

    Join("Home", 100);
    monitor.Tick();
    monitor.Tick();
    EXPECT_EQ(log.events, std::vector<std::string>{"pictures:STA_name,ALT_name"});
    EXPECT_FALSE(monitor.IsWifiUp());
    EXPECT_FALSE(monitor.IsAdaptorLinked());
    EXPECT_FALSE(log.workerConnected);

    // Back on the adaptor network counts as a new WiFi connection.
    log.events.clear();
    Join("AmpLink", 70);
    monitor.Tick();
    EXPECT_EQ(log.events, (std::vector<std::string>{"pictures:STA_name4,ALT_name4", kConnect,
                                                    "reset", "connect"}));
}

TEST_F(ConnectionMonitorTest, DroppedLinkClearsFlagsAndAsksForReconnectOnlyAfterALink) {
    const struct {
        const char* name;
        const char* joinedBefore;  // nullptr: never connected
        long reconnectPrompts;
    } cases[] = {
        {"adaptor link up", "AmpLink", 2},  // both prompt lines then read it
        {"on another network", "Home", 0},
        {"never connected", nullptr, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::FakeWifiSource fake = source;
        WlanList wlan{fake};
        wlan.EnumInterfaces();
        wlan.ScanNetworks("if0");
        HookLog hooks;
        ConnectionMonitor m{wlan, kAddress, hooks.Hooks()};
        m.OnWifiConnect(0, 1);
        if (c.joinedBefore) {
            fake.connections["if0"] = {true, c.joinedBefore, 50};
            m.Tick();
        }
        hooks.events.clear();
        hooks.workerConnected = true;

        fake.connections["if0"] = {false, {}, 0};
        m.Tick();
        EXPECT_EQ(hooks.Count(kReconnect), c.reconnectPrompts);
        EXPECT_FALSE(m.IsWifiUp());
        EXPECT_FALSE(m.IsAdaptorLinked());
        EXPECT_FALSE(hooks.workerConnected);
        EXPECT_EQ(m.ShownLevel(), 0);
        EXPECT_EQ(m.NextRunInMs(), 150);

        // A second run without a link says nothing more.
        hooks.events.clear();
        m.Tick();
        EXPECT_TRUE(hooks.events.empty());
    }
}

TEST_F(ConnectionMonitorTest, ReachableOnCheckKConnectsOnce) {
    for (const int k : {1, 2, 37, 60}) {
        SCOPED_TRACE(k);
        test::FakeWifiSource fake = source;
        WlanList wlan{fake};
        wlan.EnumInterfaces();
        wlan.ScanNetworks("if0");
        HookLog hooks;
        ConnectionMonitor m{wlan, kAddress, hooks.Hooks()};
        m.OnWifiConnect(0, 1);
        fake.connections["if0"] = {true, "AmpLink", 100};
        fake.adapters.front().dhcp = k == 1;

        m.Tick();
        for (int attempt = 2; attempt <= k; ++attempt) {
            ASSERT_TRUE(m.IsCheckingReachability());
            // The monitor pauses while the next attempt waits 500 ms, and its runs are ignored.
            EXPECT_FALSE(m.IsRunning());
            EXPECT_EQ(m.NextRunInMs(), 500);
            m.Tick();
            EXPECT_EQ(hooks.Count("connect"), 0);
            if (attempt == k) fake.adapters.front().dhcp = true;
            m.ReachabilityTick();
        }
        EXPECT_FALSE(m.IsCheckingReachability());
        EXPECT_EQ(m.ReachabilityAttemptsMade(), k);
        EXPECT_EQ(hooks.events, (std::vector<std::string>{"pictures:STA_name5,ALT_name5", kConnect,
                                                          "reset", "connect"}));
        EXPECT_TRUE(m.IsAdaptorLinked());
        EXPECT_EQ(m.NextRunInMs(), 150);

        // Staying on the link neither checks nor connects again.
        m.Tick();
        m.ReachabilityTick();
        EXPECT_EQ(hooks.Count("connect"), 1);
        EXPECT_EQ(m.ReachabilityAttemptsMade(), k);
    }
}

TEST_F(ConnectionMonitorTest, SixtyFailedChecksAskForReconnectAndWaitForTheLinkToDrop) {
    SetReachable(false);
    monitor.OnWifiConnect(0, 1);
    Join("AmpLink", 100);
    monitor.Tick();
    for (int i = 2; i <= 60; ++i) monitor.ReachabilityTick();

    EXPECT_FALSE(monitor.IsCheckingReachability());
    EXPECT_EQ(monitor.ReachabilityAttemptsMade(), 60);
    EXPECT_EQ(log.events, (std::vector<std::string>{"pictures:STA_name5,ALT_name5", kReconnect}));
    EXPECT_TRUE(monitor.IsAdaptorLinked());
    EXPECT_EQ(monitor.NextRunInMs(), 150);

    // Reachable now, but no new check until the WiFi link drops.
    SetReachable(true);
    monitor.ReachabilityTick();
    monitor.Tick();
    EXPECT_EQ(log.Count("connect"), 0);

    Leave();
    monitor.Tick();
    Join("AmpLink", 100);
    monitor.Tick();
    EXPECT_EQ(log.Count("connect"), 1);
}

TEST_F(ConnectionMonitorTest, StopOrNewChoiceDuringTheCheckAbandonsIt) {
    SetReachable(false);
    monitor.OnWifiConnect(0, 1);
    Join("AmpLink", 100);
    monitor.Tick();
    monitor.ReachabilityTick();
    ASSERT_TRUE(monitor.IsCheckingReachability());

    // The WiFi dialog opens: nothing runs, and the abandoned check does not count as done.
    monitor.Stop();
    EXPECT_EQ(monitor.NextRunInMs(), -1);
    EXPECT_FALSE(monitor.IsCheckingReachability());
    EXPECT_FALSE(monitor.IsAdaptorLinked());
    monitor.ReachabilityTick();
    EXPECT_EQ(monitor.ReachabilityAttemptsMade(), 2);

    monitor.Start();
    monitor.Tick();
    EXPECT_TRUE(monitor.IsCheckingReachability());
    EXPECT_EQ(monitor.ReachabilityAttemptsMade(), 1);

    // A new choice starts over as well.
    monitor.OnWifiConnect(0, 1);
    EXPECT_FALSE(monitor.IsCheckingReachability());
    EXPECT_FALSE(monitor.IsAdaptorLinked());
    EXPECT_EQ(monitor.NextRunInMs(), 150);
    SetReachable(true);
    monitor.Tick();
    EXPECT_EQ(log.Count("connect"), 1);
    EXPECT_EQ(log.Count(kReconnect), 0);
}

// A loopback port that accepts connections while the object lives.
class LoopbackListener {
public:
    LoopbackListener() {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        if (m_fd < 0 || ::bind(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
            ::listen(m_fd, 4) != 0 ||
            ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
            return;
        }
        m_port = ntohs(addr.sin_port);
    }
    ~LoopbackListener() { Close(); }
    void Close() {
        if (m_fd >= 0) ::close(m_fd);
        m_fd = -1;
    }
    std::uint32_t Port() const { return m_port; }

private:
    int m_fd = -1;
    std::uint32_t m_port = 0;
};

TEST(ConnectionMonitorDirectLinkTest, ConnectsWhenTheAdaptorPortOpens) {
    for (const bool listening : {true, false}) {
        SCOPED_TRACE(listening);
        LoopbackListener listener;
        ASSERT_NE(listener.Port(), 0u);
        if (!listening) listener.Close();  // the port now refuses
        DirectLinkSource direct("127.0.0.1", listener.Port(), 200);
        WlanList wlan{direct};
        HookLog hooks;
        ConnectionMonitor m{wlan, "127.0.0.1", hooks.Hooks()};

        m.Start();  // no WiFi dialog: the one network counts as chosen
        EXPECT_EQ(m.NextRunInMs(), 150);
        m.Tick();
        EXPECT_TRUE(m.IsWifiUp());
        EXPECT_EQ(m.ShownLevel(), 6);
        if (listening) {
            EXPECT_EQ(hooks.events, (std::vector<std::string>{"pictures:STA_name5,ALT_name5",
                                                              kConnect, "reset", "connect"}));
        } else {
            EXPECT_TRUE(m.IsCheckingReachability());
            EXPECT_EQ(hooks.Count("connect"), 0);
        }
        m.Stop();
    }
}

}  // namespace
}  // namespace vantrel
