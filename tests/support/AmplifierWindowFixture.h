#pragma once

// The whole window against the in-process virtual amplifier over a direct link.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <memory>

#include "app/VantrelDlg.h"
#include "controls/PictureCache.h"
#include "link/CDSPSocket.h"
#include "link/CDspCtlThread.h"
#include "model/SetupTransfer.h"
#include "sim/VirtualAmplifier.h"
#include "support/TempFolder.h"

namespace vantrel::test {

class AmplifierWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::filesystem::path built = VANTREL_BUILD_DATA_DIR;
        // The build makes the skin: without it the build is broken, not the test inapplicable.
        ASSERT_TRUE(std::filesystem::exists(built / "PNGRes" / "Res.Pic")) << "no skin in " << built;
        // The window writes its settings (the preset it opened or saved): a copy of its own.
        data = m_ownData.Path();
        std::filesystem::copy(built, data, std::filesystem::copy_options::recursive);
    }
    void TearDown() override {
        window.reset();
        SetPictureFolder({});
    }

    // Starts the amplifier with `tune` stored in it (start values when none is given).
    void StartAmplifier(std::uint8_t channels, std::uint8_t modelCode,
                        const std::function<void(ParameterModel&)>& tune = {}) {
        sim::SimOptions options;
        options.port = 0;
        options.channels = channels;
        options.model = modelCode;
        amp = std::make_unique<sim::VirtualAmplifier>(options);
        ASSERT_TRUE(amp->Start());
        const auto memory = amp->ReadMemory(sim::kParamImageAddress, kDeviceImageSize);
        DeviceImage image;
        std::copy(memory.begin(), memory.end(), image.begin());
        ParameterModel model;
        InitSetups(model);
        if (tune) tune(model);
        SetupArray worker{};
        StoreConversion(model.Setups, worker, image, channels);
        amp->WriteMemory(sim::kParamImageAddress, image.data(), image.size());
    }

    void OpenWindow() {
        WindowOptions options;
        options.adaptorHost = "127.0.0.1";
        options.adaptorPort = amp->Port();
        window = std::make_unique<VantrelDlg>(data, options);
    }

    // Runs the window's event loop until `done` holds, at most `ms`.
    static bool WaitUntil(const std::function<bool()>& done, int ms) {
        QElapsedTimer timer;
        timer.start();
        while (!done()) {
            if (timer.elapsed() > ms) return false;
            QEventLoop loop;
            QTimer::singleShot(5, &loop, &QEventLoop::quit);
            loop.exec();
        }
        return true;
    }

    std::size_t Count(std::uint8_t command) const {
        std::size_t n = 0;
        for (const auto& r : amp->Requests()) n += r.command == command;
        return n;
    }

    TempFolder m_ownData{"vantrel-window"};  // outlives the window that writes into it
    std::filesystem::path data;
    std::unique_ptr<sim::VirtualAmplifier> amp;
    std::unique_ptr<VantrelDlg> window;
};

}  // namespace vantrel::test
