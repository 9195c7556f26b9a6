#pragma once

#include <QString>
#include <filesystem>
#include <optional>
#include <vector>

#include "app/EditorContext.h"

namespace vantrel {

class TuneTools;

// Filter files in and out of the window: a channel's EQ imported from or exported as filter text,
// the current setup exported as a configuration of a biquad engine.
class ExchangeCommands {
public:
    ExchangeCommands(EditorContext& ctx, TuneTools& tools);

    // The channels an EQ edit reaches (the EQ page's EDIT selection), 0-based.
    std::vector<int> EqTargets() const;
    // The channel whose EQ the EQ page shows, 0-based.
    int ShownEqChannel() const;

    // Reads a REW or APO filter file into the EQ targets' custom points (`bands` false) or
    // graphic bands: one undoable edit, sent like any EQ edit. What the file held that could not
    // be used, or was limited, is said in a box.
    void ImportEq(bool bands);
    // Writes the shown channel's EQ as REW (`apo` false) or APO filter text.
    void ExportEq(bool apo);
    // Writes the current setup as a YAML configuration.
    void ExportSetup();

private:
    std::optional<std::filesystem::path> Choose(bool save, const QString& caption,
                                                const QString& filter) const;
    bool Write(const std::filesystem::path& path, const std::string& text) const;

    EditorContext& m_ctx;
    TuneTools& m_tools;
};

}  // namespace vantrel
