#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "sim/VirtualDevice.h"

namespace vantrel::sim {

// A virtual amplifier behind a virtual WiFi adaptor: a TCP server that answers every command of
// the adaptor protocol over a 64 KiB memory, and can be told to misbehave. It cuts the byte stream
// of each connection into request frames and puts the replies of a VirtualDevice on the wire.
class VirtualAmplifier {
public:
    using Request = DeviceRequest;

    explicit VirtualAmplifier(SimOptions options = {});
    ~VirtualAmplifier();  // stops the server
    VirtualAmplifier(const VirtualAmplifier&) = delete;
    VirtualAmplifier& operator=(const VirtualAmplifier&) = delete;

    // Binds, listens and serves on a background thread. On failure returns false and says why.
    bool Start(std::string* error = nullptr);
    void Stop();
    // Serves on the calling thread until Stop() is called from elsewhere or a signal handler
    // calls RequestStop(). Returns false when it could not bind.
    bool Run(std::string* error = nullptr);
    void RequestStop();  // async-signal-safe
    std::uint16_t Port() const;  // the bound port, valid after Start()

    // The next `count` requests with `command` (or every command when `command` is 0xFF) get
    // `fault`; count < 0 keeps the fault for good.
    void InjectFault(std::uint8_t command, Fault fault, int count = -1);
    void ClearFaults();
    // The next `count` connections are reset as soon as they are accepted.
    void RefuseConnections(int count);

    std::vector<std::uint8_t> ReadMemory(std::uint32_t address, std::size_t count) const;
    void WriteMemory(std::uint32_t address, const std::uint8_t* bytes, std::size_t count);
    std::array<std::uint8_t, 8> Identity() const;
    void SetIdentity(const std::array<std::uint8_t, 8>& identity);
    std::array<std::uint8_t, 6> Levels() const;           // last SET_LEVEL per output channel
    std::vector<std::uint8_t> DspFirmware() const;        // last WRITE_FIRMWARE image
    std::vector<Request> Requests() const;                // every valid request, in order
    std::size_t ConnectionCount() const;                  // connections accepted so far

    // Where --verbose lines go (default: standard error).
    void SetLogger(std::function<void(const std::string&)> logger);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace vantrel::sim
