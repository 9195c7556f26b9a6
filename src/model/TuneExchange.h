#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "model/ParameterModel.h"

namespace vantrel {

// Exchange of tunes with measurement and playback software, as text.
//
// Channel EQ files, in two line formats:
// - Rew: filter lines as room-measurement software writes them,
//   "Filter  1: ON  PK       Fc   1000 Hz  Gain  -3.0 dB  Q  3.00". Any line that does not start
//   with "Filter" and a colon (titles, dates, notes) is ignored without a message.
// - Apo: a system-wide equaliser's configuration, "Command: parameters" lines:
//   "Filter 1: ON PK Fc 1000 Hz Gain -3 dB Q 3", "Preamp: -3 dB", "Delay: 1.5 ms". '#' lines are
//   comments; every other command (Channel:, Include:, Copy:, ...) is reported and ignored.
//
// Both read runs of blanks and tabs as one separator, a decimal comma as a decimal point
// ("1000,5"), digit groups after the frequency keyword ("Fc 1 000 Hz") and a unit written onto
// the number ("1000Hz"). Filter types: PK, PEQ and Modal are peaking (Q, or bandwidth as
// "BW Oct N"); HP and LP are 12 dB/oct Butterworth (Q 0.71); HPQ and LPQ second-order sections
// with their own Q; HP1 and LP1 first-order. Other types (shelves, notches, band-pass, all-pass)
// are reported and skipped, as are OFF filters; a REW "None" filter is nothing and says nothing.
enum class EqFileFormat { Rew, Apo };
// Filter files are a few kilobytes; anything far larger is not one and is not read.
inline constexpr std::size_t kMaxFilterFileBytes = 1024 * 1024;

// Where imported peaking filters go.
// - Points: the four custom points. With more than four, the four with the largest |gain| are
//   kept (a tie keeps the earlier one) and each dropped filter is named. Imported filters take
//   the points that are not bypassed first, in point order, then the bypassed ones (which they
//   switch on); a point left over that is not bypassed gets 0 dB, a bypassed one stays as it is.
//   The graphic bands stay.
// - Bands: every peaking filter is added to the graphic band whose centre is nearest on a log
//   scale; the gains of one band are summed. All 27 band gains are replaced (0 dB where no filter
//   landed); the bands' Q stays (normally 3), and a filter whose Q is far from it is named.
//   The custom points stay.
// A file without peaking filters (crossovers only, say) leaves the EQ of either target as it is.
enum class EqImportTarget { Points, Bands };

struct EqImport {
    ChannelRecord channel;  // the channel the import started from, with the file applied
    std::vector<std::string> messages;  // what was not used, limited or rounded; one line each
    int applied = 0;                    // filters and commands taken over; 0: nothing usable
};

// Applies the EQ file `text` to a copy of `channel` (the channel in the preset or window), with
// `mode` the model's Mode (its crossover frequency limit). Values go onto the amplifier's grids
// with the quantisers of Scales.h, and each one limited to a range gets a message naming the range:
// - custom point Fc 16..20893 Hz (1/50-decade steps), gain -24..+6 dB, Q 0.4..24 (steps of 0.1);
// - band gain sums -15..+6 dB (0.1 dB steps);
// - crossovers: Fc 16..20893 Hz, 16..302 Hz in Mode 2 (1/100-decade steps). The first high-pass
//   and the first low-pass in the file are taken with every section at the same frequency (within
//   1%): sections that together make a Butterworth filter of order 1..8 become one filter (slope
//   6 dB/oct per order; 18, 30 and 42 go to the next steeper slope of 6/12/24/36/48, above 48 to
//   48), anything else keeps its first section only. Later ones at other frequencies are dropped.
//   A crossover the file does not mention stays as it is, on or off.
// - Apo only: "Preamp:" (summed) becomes the trim, limited to 0..30 dB of attenuation since the
//   amplifier cannot boost; "Delay: N ms" (summed) the delay time, 0..20 ms. Either switches the
//   delay section on, which trim and delay need; a value the file leaves out is then 0 if the
//   section was off. A delay given in samples is reported and ignored.
// A frequency or Q moved by more than 1% onto its grid is reported too. A frequency exactly at the
// top of its range stays there (the limit a typed value beyond the range is held at), so an
// exported channel reads back unchanged.
EqImport ImportChannelEq(std::string_view text, EqFileFormat format, const ChannelRecord& channel,
                         EqImportTarget target, std::uint8_t mode);

// Rew or Apo for a file of unknown origin: Apo when a line, not a comment, is one of the
// equaliser's own commands (Preamp:, Delay:, Channel:, Include:, ...), else Rew, whose reader
// passes over titles and notes without a message. The filter lines read the same either way.
EqFileFormat GuessEqFileFormat(std::string_view text);

// The channel's EQ as a file of `format`: crossovers that are on (order 1 as HP1/LP1, order 2 as
// HP/LP, higher orders as HPQ/LPQ cascades with the Butterworth section Qs), custom points that are
// not bypassed, then the graphic bands with a gain other than 0 dB unless EQBypass is set, all as
// peaking filters. The Apo text also has "Preamp:" (the trim) and "Delay:" when the delay section
// is on. Numbers always have '.' decimals, whatever the locale; frequencies have every digit of
// the stored value, so they read back onto the same step. `title` (one line) goes into a
// note or comment at the top when not empty.
// Importing the text into the same channel gives it back unchanged: with the Points target when
// its EQ is in the custom points, with the Bands target when it is in the bands.
std::string ExportChannelEq(const ChannelRecord& channel, EqFileFormat format,
                            std::string_view title = {});

// A complete configuration for a convolution-and-biquad engine (YAML) of the first
// `channelCount` channels of `setup`: a devices section (48000 Hz, chunks of 1024, standard input
// to standard output, to be replaced by real devices), a filter per crossover (ButterworthHighpass
// or ButterworthLowpass with its order), per custom point and band with a gain (Peaking), for the
// delay (ms) and for the trim and mute (Gain), named "chN_hp", "chN_lp", "chN_peqJ", "chN_bandBB",
// "chN_delay", "chN_gain" with N and J from 1 and BB the band number from 01; and a pipeline step
// per channel that has filters. The level steps are not part of it.
std::string ExportCamillaDsp(const SetupRecord& setup, int channelCount,
                             std::string_view title = {});

// `value` with `decimals` places and a '.' whatever the locale; no "-0".
std::string DecimalText(double value, int decimals);

}  // namespace vantrel
