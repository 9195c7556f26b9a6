#pragma once

// The real window without a worker: the editors' handlers driven by QTest input on their
// controls, every edit recorded by a sink that stands where the worker would.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

#include "app/DisplayRefresh.h"
#include "app/EditorContext.h"
#include "app/VantrelDlg.h"
#include "controls/CGdipButton.h"
#include "controls/CKnob.h"
#include "controls/CTpComboBox.h"
#include "controls/CTpEdit.h"
#include "controls/CTpStatic.h"
#include "controls/PictureCache.h"
#include "model/DeviceImage.h"
#include "support/TempFolder.h"

namespace vantrel::test {

// Records what the editors hand to the worker: each parameter range with its bytes as they stand
// when posted, and each level message.
class RecordingEditSink : public EditSink {
public:
    struct Post {
        bool level = false;
        std::size_t offset = 0;
        std::size_t length = 0;
        std::vector<std::uint8_t> bytes;
        int channel = 0;          // level
        std::uint8_t value = 0;   // level
    };

    bool Online() const override { return online; }
    void Send(const ImageUpdate& update) override {
        if (!online) return;
        const ImagePosts result = update(image);
        for (const ImagePost& p : result) {
            Post post;
            if (p.What == ImagePost::Kind::Level) {
                post.level = true;
                post.channel = p.Level.Channel;
                post.value = p.Level.Level;
            } else {
                post.offset = p.Range.Offset;
                post.length = p.Range.Length;
                post.bytes.assign(image.begin() + static_cast<std::ptrdiff_t>(p.Range.Offset),
                                  image.begin() +
                                      static_cast<std::ptrdiff_t>(p.Range.Offset + p.Range.Length));
            }
            posts.push_back(std::move(post));
        }
    }
    void WriteChannelAssign(int channel, std::uint8_t mark) override {
        if (online) assign.at(static_cast<std::size_t>(channel)) = mark;
    }
    std::optional<std::uint32_t> Store(const ParameterModel& model, std::uint8_t activate) override {
        if (!online) return std::nullopt;
        stores.push_back({model.Setups, activate});
        return static_cast<std::uint32_t>(stores.size());
    }
    void LoadSetup(int setup) override {
        if (online) loads.push_back(setup);
    }
    void Reload() override {
        if (online) ++reloads;
    }
    void SetNoiseKiller(std::uint8_t value) override {
        noiseKiller = value;
        if (online) noiseKillerPosts.push_back(value);
    }
    bool ImageUnsaved() const override { return image != stored; }
    void RevertImage() override {
        image = stored;
        ++reverts;
    }

    std::vector<Post> Params() const {
        std::vector<Post> out;
        for (const Post& p : posts) {
            if (!p.level) out.push_back(p);
        }
        return out;
    }
    // (channel, level) of each level post, and the offset of each parameter post.
    std::vector<std::pair<int, int>> LevelPosts() const {
        std::vector<std::pair<int, int>> out;
        for (const Post& p : posts) {
            if (p.level) out.emplace_back(p.channel, p.value);
        }
        return out;
    }
    std::vector<std::size_t> ParamOffsets() const {
        std::vector<std::size_t> out;
        for (const Post& p : posts) {
            if (!p.level) out.push_back(p.offset);
        }
        return out;
    }
    std::vector<Post> Levels() const {
        std::vector<Post> out;
        for (const Post& p : posts) {
            if (p.level) out.push_back(p);
        }
        return out;
    }

    struct StoreRequest {
        std::array<SetupRecord, kSetupCount> setups;
        std::uint8_t activate;
    };

    bool online = true;
    DeviceImage image{};
    DeviceImage stored{};  // what the amplifier was last given by a store or a download
    std::vector<Post> posts;
    std::array<std::uint8_t, kChannelCount> assign{};
    std::vector<StoreRequest> stores;
    std::vector<int> loads;
    int reloads = 0;
    int reverts = 0;
    std::uint8_t noiseKiller = 255;
    std::vector<std::uint8_t> noiseKillerPosts;
};

class EditorTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::path data = VANTREL_BUILD_DATA_DIR;
        // The build makes the skin: without it the build is broken, not the test inapplicable.
        ASSERT_TRUE(std::filesystem::exists(data / "PNGRes" / "Res.Pic")) << "no skin in " << data;
        if (OwnDataFolder()) {
            // A test that writes the settings works on a copy of the data folder.
            m_ownData.emplace("vantrel-editor");
            std::filesystem::copy(data, m_ownData->Path(),
                                  std::filesystem::copy_options::recursive);
            data = m_ownData->Path();
        }
        WindowOptions options;
        options.connect = false;
        window = std::make_unique<VantrelDlg>(data, options);
        window->RouteEditsTo(&sink);
        window->editorHooks.showWarning = [this](const QString& text, const QString& caption) {
            warnings.push_back(caption + ": " + text);
        };
        // Start values on every setup, four channels, the current setup shown.
        ParameterModel& m = window->Model();
        InitSetups(m);
        m.ChannelNum = 4;
        m.Mode = 0;
        m.CurrentSetupIndex = 0;
        for (int s = 0; s < kSetupCount; ++s) RebuildSetupImage(sink.image, m, s);
        sink.stored = sink.image;
        window->MarkTuneSaved();
        window->show();
        window->RefreshSetupDisplay();
    }
    void TearDown() override {
        window.reset();
        SetPictureFolder({});
        m_ownData.reset();
    }
    // True for a fixture whose window must not write the shared build's settings.
    virtual bool OwnDataFolder() const { return false; }

    // Applies a model change the way a newly read tune reaches the screen: the images follow the
    // model and it counts as what the amplifier holds.
    void Reshow() {
        for (int s = 0; s < kSetupCount; ++s) RebuildSetupImage(sink.image, Model(), s);
        sink.stored = sink.image;
        window->MarkTuneSaved();
        window->RefreshSetupDisplay();
        sink.posts.clear();
    }

    ParameterModel& Model() { return window->Model(); }
    ChannelRecord& Ch(int c) { return Model().CurrentSetup().Channels[static_cast<std::size_t>(c)]; }
    const SkinControls& K() const { return window->Controls(); }

    // A left click on a button as the user makes it (toggles flip on the press).
    static void Click(CGdipButton* button) {
        QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
    }
    // Replaces the box's text and presses Enter.
    static void Type(CTpEdit* edit, const QString& text) {
        edit->setFocus();
        edit->selectAll();
        edit->del();
        QTest::keyClicks(edit, text);
        QTest::keyClick(edit, Qt::Key_Return);
    }
    // A knob or fader moved to `value` as the user's turn reports it.
    void Turn(CValueCtrl* control, float value) {
        control->SetValue(value);
        window->OnControlMessage({ChangedMessageOf(control), control->Id(), control->Id(), 0, {}});
    }
    static std::uint32_t ChangedMessageOf(CValueCtrl* control) {
        return dynamic_cast<CKnob*>(control) ? UM_KNOB_CHANGED : UM_FADER_CHANGED;
    }

    // The value word at `offset` (from the image start) in the sink's image.
    std::uint32_t Word(std::size_t pairOffset) const { return LoadValueWord(sink.image, pairOffset); }
    static std::size_t InSetup(std::size_t offset, int setup = 0) {
        return SetupImageOffset(setup) + offset;
    }

    RecordingEditSink sink;
    std::vector<QString> warnings;
    std::unique_ptr<VantrelDlg> window;

private:
    std::optional<TempFolder> m_ownData;
};

}  // namespace vantrel::test
