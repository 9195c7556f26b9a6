#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "support/ReservedPort.h"
#include "link/WlanList.h"
#include "platform/DirectLinkSource.h"
#include "support/FakeWifiSource.h"

namespace vantrel {
namespace {

using test::FakeWifiSource;

TEST(SignalLevelTest, QualityPicksLevelAndPictureKeys) {
    struct Case {
        bool linked;
        int quality;
        int level;
        const char* standard;
        const char* alternate;
    };
    const Case cases[] = {
        {false, 90, 0, "STA_name", "ALT_name"},  {true, -5, 1, "STA_name0", "ALT_name0"},
        {true, 0, 1, "STA_name0", "ALT_name0"},  {true, 1, 2, "STA_name1", "ALT_name1"},
        {true, 20, 2, "STA_name1", "ALT_name1"}, {true, 21, 3, "STA_name2", "ALT_name2"},
        {true, 40, 3, "STA_name2", "ALT_name2"}, {true, 41, 4, "STA_name3", "ALT_name3"},
        {true, 60, 4, "STA_name3", "ALT_name3"}, {true, 80, 5, "STA_name4", "ALT_name4"},
        {true, 81, 6, "STA_name5", "ALT_name5"}, {true, 100, 6, "STA_name5", "ALT_name5"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.linked << " " << c.quality);
        const std::uint8_t level = SignalLevel(c.linked, c.quality);
        EXPECT_EQ(level, c.level);
        const SignalImageKeys keys = SignalLevelKeys(level);
        EXPECT_EQ(keys.standard, c.standard);
        EXPECT_EQ(keys.alternate, c.alternate);
    }
}

class WlanListTest : public testing::Test {
protected:
    WlanListTest() {
        source.interfaces = {{"if-a", "Wireless A"}, {"if-b", "Wireless B"}};
        source.networks["if-a"] = {"Amp", "Home", "Amp"};
        source.networks["if-b"] = {"Cafe", "amp-2", "AMP", "Cafe"};
    }

    FakeWifiSource source;
    WlanList list{source};
};

TEST_F(WlanListTest, ScanListsEachNameOnceInFirstSeenOrder) {
    ASSERT_TRUE(list.EnumInterfaces());
    ASSERT_EQ(list.InterfaceCount(), 2);
    EXPECT_EQ(list.InterfaceId(1), "if-b");
    EXPECT_EQ(list.InterfaceDescription(0), "Wireless A");
    EXPECT_EQ(list.InterfaceDescription(2), "");
    EXPECT_EQ(list.InterfaceDescription(-1), "");

    ASSERT_TRUE(list.ScanNetworks("if-a"));
    EXPECT_EQ(source.scanRequests, std::vector<std::string>{"if-a"});
    EXPECT_EQ(list.NetworkCount(), 3);
    list.RemoveDuplicates();
    ASSERT_EQ(list.NetworkCount(), 2);
    EXPECT_EQ(list.NetworkName(0), "Amp");
    EXPECT_EQ(list.NetworkName(1), "Home");
    EXPECT_EQ(list.NetworkName(2), "");

    // Names differing in case are different networks; later duplicates go, the order stays.
    ASSERT_TRUE(list.ScanNetworks("if-b"));
    list.RemoveDuplicates();
    ASSERT_EQ(list.NetworkCount(), 3);
    EXPECT_EQ(list.NetworkName(0), "Cafe");
    EXPECT_EQ(list.NetworkName(1), "amp-2");
    EXPECT_EQ(list.NetworkName(2), "AMP");
}

TEST_F(WlanListTest, FailedCallsKeepWhatWasListedAndLaterEnumerationsMayGrow) {
    ASSERT_TRUE(list.EnumInterfaces());
    ASSERT_TRUE(list.ScanNetworks("if-a"));

    source.failInterfaces = true;
    EXPECT_FALSE(list.EnumInterfaces());
    EXPECT_FALSE(list.ScanNetworks("gone"));
    EXPECT_EQ(list.InterfaceCount(), 2);
    EXPECT_EQ(list.NetworkCount(), 3);

    source.failInterfaces = false;
    source.interfaces.push_back({"if-c", "USB stick"});
    ASSERT_TRUE(list.EnumInterfaces());
    EXPECT_EQ(list.InterfaceCount(), 3);
    EXPECT_EQ(list.InterfaceDescription(2), "USB stick");
}

TEST_F(WlanListTest, NamesAreCutToThirtyTwoBytesAndKeepEveryByte) {
    const std::string raw{'\xE4', '\0', 'C', 'a', 'f', '\xE9'};
    source.networks["if-a"] = {std::string(40, 'x'), raw};
    ASSERT_TRUE(list.ScanNetworks("if-a"));
    EXPECT_EQ(list.NetworkName(0), std::string(32, 'x'));
    EXPECT_EQ(list.NetworkName(1), raw);
}

TEST_F(WlanListTest, FindNetworkMatchesTheStartIgnoringCase) {
    ASSERT_TRUE(list.ScanNetworks("if-b"));
    list.RemoveDuplicates();  // Cafe, amp-2, AMP
    EXPECT_EQ(list.FindNetwork("AMP"), 1);
    EXPECT_EQ(list.FindNetwork("cafe"), 0);
    EXPECT_EQ(list.FindNetwork("Home"), -1);
}

TEST_F(WlanListTest, RescanTakesTheChosenInterfaceOnlyWhenItExists) {
    ASSERT_TRUE(list.EnumInterfaces());
    list.RescanInterface(1);
    EXPECT_EQ(list.ChosenInterface(), 1);
    EXPECT_EQ(list.NetworkCount(), 3);

    // Out of range: no scan, but the list is still cleaned.
    source.networks["if-b"] = {"X"};
    list.RescanInterface(5);
    EXPECT_EQ(list.ChosenInterface(), 1);
    EXPECT_EQ(source.scanRequests, std::vector<std::string>{"if-b"});
    EXPECT_EQ(list.NetworkCount(), 3);
    EXPECT_EQ(list.NetworkName(0), "Cafe");
}

TEST_F(WlanListTest, CurrentConnectionAsksTheFirstInterface) {
    source.connections["if-a"] = {true, "Amp", 64};
    source.connections["if-b"] = {true, "Cafe", 90};
    EXPECT_TRUE(list.CurrentConnection().connected);
    EXPECT_EQ(list.CurrentConnection().ssid, "Amp");
    EXPECT_EQ(list.CurrentConnection().quality, 64);

    // Only the first interface counts, even when another one is connected.
    source.connections["if-a"] = {false, "", 0};
    EXPECT_FALSE(list.CurrentConnection().connected);
    source.connections.erase("if-a");
    EXPECT_FALSE(list.CurrentConnection().connected);
    source.failInterfaces = true;
    EXPECT_FALSE(list.CurrentConnection().connected);

    // No interface at all: connected to nothing.
    source.failInterfaces = false;
    source.interfaces.clear();
    const WifiConnection none = list.CurrentConnection();
    EXPECT_TRUE(none.connected);
    EXPECT_EQ(none.ssid, "");
}

TEST_F(WlanListTest, OnlyTheChosenEntryOfTheLastScanCountsAsLinked) {
    ASSERT_TRUE(list.EnumInterfaces());
    ASSERT_TRUE(list.ScanNetworks("if-a"));
    list.RemoveDuplicates();
    // Nothing chosen yet: not even the empty name of "no interface" matches.
    EXPECT_FALSE(list.IsChosenNetwork(""));
    EXPECT_FALSE(list.IsChosenNetwork("Amp"));

    list.SetChosenNetwork(1);
    EXPECT_TRUE(list.IsChosenNetwork("Home"));
    EXPECT_FALSE(list.IsChosenNetwork("Amp"));
    list.RescanInterface(1);  // entry 1 is now "amp-2"
    EXPECT_FALSE(list.IsChosenNetwork("Home"));
    EXPECT_TRUE(list.IsChosenNetwork("amp-2"));
    list.SetChosenNetwork(7);
    EXPECT_FALSE(list.IsChosenNetwork(""));
}

TEST(AdaptorReachableTest, FollowsTheAdapterRule) {
    struct Case {
        const char* what;
        std::vector<NetworkAdapter> adapters;
        const char* interfaceDescription;
        bool reachable;
    };
    const Case cases[] = {
        {"description within the interface's",
         {{"Wireless", true, {"10.10.100.254"}}},
         "Wireless Adapter #2",
         true},
        {"first matching adapter decides",
         {{"Ethernet", true, {"10.10.100.254"}},
          {"Wireless", false, {"10.10.100.254"}},
          {"Wireless Adapter", true, {"10.10.100.254"}}},
         "Wireless Adapter #2",
         false},
        {"an exact description wins",
         {{"wlan1", true, {"192.168.1.1"}}, {"wlan10", true, {"10.10.100.254"}}},
         "wlan10",
         true},
        {"no DHCP", {{"Wireless", false, {"10.10.100.254"}}}, "Wireless", false},
        {"gateway not within the address",
         {{"Wireless", true, {"10.10.100.1"}}},
         "Wireless",
         false},
        {"only the first gateway counts",
         {{"Wireless", true, {"192.168.0.1", "10.10.100.254"}}},
         "Wireless",
         false},
        {"no gateway", {{"Wireless", true, {}}}, "Wireless", false},
        {"empty gateway", {{"Wireless", true, {""}}}, "Wireless", false},
        {"empty description matches nothing", {{"", true, {"10.10.100.254"}}}, "Wireless", false},
        {"no such adapter", {{"Ethernet", true, {"10.10.100.254"}}}, "Wireless", false},
        {"no adapters", {}, "Wireless", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeWifiSource source;
        source.adapters = c.adapters;
        WlanList list(source);
        EXPECT_EQ(list.AdaptorReachable("10.10.100.254", c.interfaceDescription), c.reachable);
    }
    FakeWifiSource failing;
    failing.adapters = {{"Wireless", true, {"10.10.100.254"}}};
    failing.failAdapters = true;
    EXPECT_FALSE(WlanList(failing).AdaptorReachable("10.10.100.254", "Wireless"));
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
        if (m_fd >= 0 && ::bind(m_fd, reinterpret_cast<sockaddr*>(&addr), len) == 0 &&
            ::listen(m_fd, 4) == 0 &&
            ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0) {
            m_port = ntohs(addr.sin_port);
        }
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

TEST(DirectLinkSourceTest, AlwaysLinkedToTheAdaptorAndReachableWhenItsPortOpens) {
    LoopbackListener listener;
    ASSERT_NE(listener.Port(), 0u);
    DirectLinkSource source("127.0.0.1", listener.Port());
    WlanList list(source);

    ASSERT_TRUE(list.EnumInterfaces());
    ASSERT_EQ(list.InterfaceCount(), 1);
    EXPECT_EQ(list.InterfaceDescription(0), "Direct link");
    ASSERT_TRUE(list.ScanNetworks(list.InterfaceId(0)));
    ASSERT_EQ(list.NetworkCount(), 1);
    EXPECT_EQ(list.NetworkName(0), "127.0.0.1");
    const WifiConnection connection = list.CurrentConnection();
    EXPECT_TRUE(connection.connected);
    EXPECT_EQ(connection.ssid, "127.0.0.1");
    EXPECT_EQ(connection.quality, 100);
    EXPECT_EQ(SignalLevelKeys(SignalLevel(true, connection.quality)).standard, "STA_name5");
    // No dialog choice needed.
    EXPECT_TRUE(list.IsChosenNetwork(connection.ssid));

    EXPECT_TRUE(list.AdaptorReachable("127.0.0.1", "Direct link"));
    // A port held by nobody listening: refused at once.
    const test::ReservedPort closed;
    ASSERT_NE(closed.Port(), 0u);
    DirectLinkSource refused("127.0.0.1", closed.Port());
    WlanList refusedList(refused);
    ASSERT_TRUE(refusedList.EnumInterfaces());
    EXPECT_FALSE(refusedList.AdaptorReachable("127.0.0.1", "Direct link"));

    EXPECT_FALSE(DirectLinkSource("", listener.Port()).ProbeAdaptor());
    EXPECT_FALSE(DirectLinkSource("127.0.0.1", 70000).ProbeAdaptor());
}

}  // namespace
}  // namespace vantrel
