#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <string>

#include "link/WlanList.h"

namespace vantrel {

// What the monitor needs from the main window. Every callback may be empty.
struct ConnectionMonitorHooks {
    std::function<void(const QString&)> showPrompt;
    // Load the two pictures named by these `WiFiBtn` keys into the WiFi button and repaint it.
    std::function<void(const SignalImageKeys&)> showSignalPictures;
    // ResetSetup of all four setups.
    std::function<void()> resetSetups;
    // TM_CONNECT with the firmware version record and the catalogue size.
    std::function<void()> postConnect;
    std::function<void()> clearWorkerConnected;
};

// The main window's connection monitor: every 150 ms it asks whether the PC is on the chosen
// access point, shows the signal level on the WiFi button and, once per WiFi connection, checks
// that the adaptor answers before it starts the connect sequence.
//
// The reachability check runs as up to 60 timer-driven attempts 500 ms apart instead of a loop,
// so the window keeps painting; the 150-ms monitor pauses meanwhile.
class ConnectionMonitor : public QObject {
    Q_OBJECT

public:
    static constexpr int kMonitorPeriodMs = 150;
    static constexpr int kReachabilityPeriodMs = 500;
    static constexpr int kReachabilityAttempts = 60;

    static constexpr const char* kConnectText = "Connect to Adaptor";
    static constexpr const char* kReconnectText = "Please try to reconnect";

    ConnectionMonitor(WlanList& wlan, std::string adaptorAddress, ConnectionMonitorHooks hooks,
                      QObject* parent = nullptr);

    // UM_WIFI_CONNECT: the choice of the WiFi dialog. Starts over: both flags cleared, a check
    // under way abandoned, the monitor running.
    void OnWifiConnect(int interfaceIndex, int networkIndex);
    // Runs the monitor without a new choice: at start-up for the direct link (whose one network
    // is chosen at once) and after the WiFi dialog has preselected the earlier access point.
    void Start();
    // Pauses the monitor, e.g. while the WiFi dialog is open. A check under way is abandoned and
    // the adaptor link forgotten, so the next run checks again instead of waiting for a drop.
    void Stop();

    // One monitor run (the 150-ms timer's work); does nothing while a check is under way.
    void Tick();
    // One reachability attempt after the first (the 500-ms timer's work); does nothing without a
    // check under way.
    void ReachabilityTick();

    bool IsWifiUp() const { return m_wifiUp; }
    bool IsAdaptorLinked() const { return m_adaptorLinked; }
    std::uint8_t ShownLevel() const { return m_level; }
    bool IsRunning() const { return m_monitorTimer.isActive(); }
    bool IsCheckingReachability() const { return m_checking; }
    // Interval of the timer that runs next (monitor or reachability attempt); -1 when none does.
    int NextRunInMs() const;
    // Attempts made by the check under way or the last one.
    int ReachabilityAttemptsMade() const { return m_attempts; }

private:
    void ShowLevel(std::uint8_t level);
    void ShowPrompt(const char* text);
    void StartCheck();
    // One attempt; finishes the check on success or after the last attempt.
    void Attempt();
    void FinishCheck(bool reachable);
    void AbandonCheck();

    WlanList& m_wlan;
    std::string m_adaptorAddress;
    ConnectionMonitorHooks m_hooks;
    QTimer m_monitorTimer;
    QTimer m_reachabilityTimer;
    bool m_wifiUp = false;
    bool m_adaptorLinked = false;
    std::uint8_t m_level = 0;  // the button starts with the no-link pictures
    bool m_checking = false;
    int m_attempts = 0;
};

}  // namespace vantrel
