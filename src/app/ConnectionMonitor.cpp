#include "app/ConnectionMonitor.h"

#include <utility>

namespace vantrel {

ConnectionMonitor::ConnectionMonitor(WlanList& wlan, std::string adaptorAddress,
                                     ConnectionMonitorHooks hooks, QObject* parent)
    : QObject(parent),
      m_wlan(wlan),
      m_adaptorAddress(std::move(adaptorAddress)),
      m_hooks(std::move(hooks)) {
    m_monitorTimer.setSingleShot(true);
    m_monitorTimer.setInterval(kMonitorPeriodMs);
    connect(&m_monitorTimer, &QTimer::timeout, this, &ConnectionMonitor::Tick);
    m_reachabilityTimer.setSingleShot(true);
    m_reachabilityTimer.setInterval(kReachabilityPeriodMs);
    connect(&m_reachabilityTimer, &QTimer::timeout, this, &ConnectionMonitor::ReachabilityTick);
}

void ConnectionMonitor::OnWifiConnect(int interfaceIndex, int networkIndex) {
    AbandonCheck();
    m_wlan.SetChosenInterface(interfaceIndex);
    m_wlan.SetChosenNetwork(networkIndex);
    m_wifiUp = false;
    m_adaptorLinked = false;
    m_monitorTimer.start();
}

void ConnectionMonitor::Start() {
    if (m_wlan.Source().IsDirectLink() && m_wlan.ChosenNetwork() < 0) {
        m_wlan.SetChosenInterface(0);
        m_wlan.SetChosenNetwork(0);
    }
    if (!m_checking) m_monitorTimer.start();
}

void ConnectionMonitor::Stop() {
    m_monitorTimer.stop();
    if (m_checking) {
        AbandonCheck();
        m_adaptorLinked = false;
    }
}

void ConnectionMonitor::Tick() {
    if (m_checking) return;
    m_monitorTimer.stop();

    const WifiConnection connection = m_wlan.CurrentConnection();
    if (connection.connected) {
        m_wifiUp = true;
        std::uint8_t level = SignalLevel(true, connection.quality);
        if (!m_wlan.IsChosenNetwork(connection.ssid)) {
            level = 0;
            m_wifiUp = false;
            m_adaptorLinked = false;
            // Another network is as good as no link: nothing may go out on a stale connection.
            if (m_hooks.clearWorkerConnected) m_hooks.clearWorkerConnected();
        }
        ShowLevel(level);
        if (m_wifiUp && !m_adaptorLinked) {
            m_adaptorLinked = true;
            StartCheck();
            if (m_checking) return;  // the check restarts the monitor when it ends
        }
    } else {
        // Both lines read the text when both had been up.
        if (m_wifiUp) ShowPrompt(kReconnectText);
        if (m_adaptorLinked) ShowPrompt(kReconnectText);
        m_wifiUp = false;
        m_adaptorLinked = false;
        if (m_hooks.clearWorkerConnected) m_hooks.clearWorkerConnected();
        ShowLevel(0);
    }

    m_monitorTimer.start();
}

void ConnectionMonitor::ReachabilityTick() {
    if (!m_checking) return;
    Attempt();
}

int ConnectionMonitor::NextRunInMs() const {
    if (m_reachabilityTimer.isActive()) return m_reachabilityTimer.interval();
    if (m_monitorTimer.isActive()) return m_monitorTimer.interval();
    return -1;
}

void ConnectionMonitor::ShowLevel(std::uint8_t level) {
    if (level == m_level) return;
    if (m_hooks.showSignalPictures) m_hooks.showSignalPictures(SignalLevelKeys(level));
    m_level = level;
}

void ConnectionMonitor::ShowPrompt(const char* text) {
    if (m_hooks.showPrompt) m_hooks.showPrompt(QString::fromLatin1(text));
}

void ConnectionMonitor::StartCheck() {
    m_checking = true;
    m_attempts = 0;
    Attempt();
}

void ConnectionMonitor::Attempt() {
    ++m_attempts;
    const bool reachable = m_wlan.AdaptorReachable(
        m_adaptorAddress, m_wlan.InterfaceDescription(m_wlan.ChosenInterface()));
    if (reachable || m_attempts >= kReachabilityAttempts) {
        FinishCheck(reachable);
    } else {
        m_reachabilityTimer.start();
    }
}

void ConnectionMonitor::FinishCheck(bool reachable) {
    m_checking = false;
    m_reachabilityTimer.stop();
    // After a failed check the adaptor-link flag stays set: no new check until the link drops.
    if (reachable) {
        ShowPrompt(kConnectText);
        if (m_hooks.resetSetups) m_hooks.resetSetups();
        if (m_hooks.postConnect) m_hooks.postConnect();
    } else {
        ShowPrompt(kReconnectText);
    }
    m_monitorTimer.start();
}

void ConnectionMonitor::AbandonCheck() {
    m_reachabilityTimer.stop();
    m_checking = false;
}

}  // namespace vantrel
