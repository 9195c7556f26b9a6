#include "model/TuneHistory.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

namespace vantrel {

namespace {

// Visits every field of the tune, in a fixed order. `Model` is ParameterModel or its const.
template <typename Model, typename Visit>
void VisitTune(Model& model, Visit&& visit) {
    for (auto& setup : model.Setups) {
        visit(setup.MasterMute);
        visit(setup.GroupFlag);
        for (auto& ch : setup.Channels) {
            visit(ch.Mute);
            visit(ch.LevelLock);
            visit(ch.LevelVal);
            visit(ch.HighPassOn);
            visit(ch.HighPassLock);
            visit(ch.HighPassFreq);
            visit(ch.HighPassSlope);
            visit(ch.LowPassOn);
            visit(ch.LowPassLock);
            visit(ch.LowPassFreq);
            visit(ch.LowPassSlope);
            visit(ch.DelayOn);
            visit(ch.DelayTime);
            visit(ch.Trim);
            visit(ch.EQBypass);
            const auto points = [&visit](auto& list) {
                for (auto& point : list) {
                    visit(point.Freq);
                    visit(point.Gain);
                    visit(point.Q);
                    visit(point.Bypass);
                }
            };
            points(ch.CustomEQ);
            points(ch.EQBand);
        }
        for (auto& distance : setup.Distance) visit(distance);
    }
    visit(model.ANS);
    for (auto& mark : model.MarkIndex) visit(mark);
}

std::size_t TuneSize() {
    static const std::size_t size = [] {
        std::size_t n = 0;
        const ParameterModel model{};
        VisitTune(model, [&n](const auto& field) { n += sizeof(field); });
        return n;
    }();
    return size;
}

constexpr std::size_t kRunHeader = 6;  // offset u32, length u16
constexpr std::size_t kMaxRun = 0xFFFF;
// Unchanged bytes shorter than this between two changes are carried in one run: cheaper than a
// second header.
constexpr std::size_t kJoinGap = kRunHeader;

void PutRun(std::vector<std::uint8_t>& out, std::size_t offset,
            std::span<const std::uint8_t> before, std::span<const std::uint8_t> after) {
    const auto o = static_cast<std::uint32_t>(offset);
    const auto n = static_cast<std::uint16_t>(before.size());
    const std::uint8_t header[kRunHeader] = {
        static_cast<std::uint8_t>(o >> 24), static_cast<std::uint8_t>(o >> 16),
        static_cast<std::uint8_t>(o >> 8),  static_cast<std::uint8_t>(o),
        static_cast<std::uint8_t>(n >> 8),  static_cast<std::uint8_t>(n)};
    out.insert(out.end(), std::begin(header), std::end(header));
    out.insert(out.end(), before.begin(), before.end());
    out.insert(out.end(), after.begin(), after.end());
}

}  // namespace

std::vector<std::uint8_t> TuneBytes(const ParameterModel& model) {
    std::vector<std::uint8_t> bytes(TuneSize());
    std::size_t at = 0;
    VisitTune(model, [&](const auto& field) {
        std::memcpy(bytes.data() + at, &field, sizeof(field));
        at += sizeof(field);
    });
    return bytes;
}

bool ApplyTuneBytes(ParameterModel& model, std::span<const std::uint8_t> bytes) {
    if (bytes.size() != TuneSize()) return false;
    std::size_t at = 0;
    VisitTune(model, [&](auto& field) {
        static_assert(std::is_trivially_copyable_v<std::remove_reference_t<decltype(field)>>);
        std::memcpy(&field, bytes.data() + at, sizeof(field));
        at += sizeof(field);
    });
    return true;
}

TuneHistory::TuneHistory(std::size_t capacity, std::int64_t joinMs)
    : m_capacity(std::max<std::size_t>(capacity, 1)), m_joinMs(joinMs) {}

void TuneHistory::Reset(const ParameterModel& model) {
    m_tune = TuneBytes(model);
    m_undo.clear();
    m_redo.clear();
    m_open = false;
}

TuneHistory::Step TuneHistory::Diff(std::span<const std::uint8_t> from,
                                    std::span<const std::uint8_t> to) {
    Step step;
    const std::size_t size = std::min(from.size(), to.size());
    std::size_t i = 0;
    while (i < size) {
        if (from[i] == to[i]) {
            ++i;
            continue;
        }
        const std::size_t begin = i;
        std::size_t end = i + 1;  // one past the last changed byte of the run
        for (std::size_t j = end; j < size && j - begin < kMaxRun && j - end < kJoinGap; ++j) {
            if (from[j] != to[j]) end = j + 1;
        }
        PutRun(step.runs, begin, from.subspan(begin, end - begin), to.subspan(begin, end - begin));
        i = end;
    }
    return step;
}

void TuneHistory::Apply(const Step& step, bool after, std::vector<std::uint8_t>& tune) {
    const std::vector<std::uint8_t>& r = step.runs;
    std::size_t at = 0;
    while (at + kRunHeader <= r.size()) {
        const std::size_t offset = (std::size_t{r[at]} << 24) | (std::size_t{r[at + 1]} << 16) |
                                   (std::size_t{r[at + 2]} << 8) | r[at + 3];
        const std::size_t length = (std::size_t{r[at + 4]} << 8) | r[at + 5];
        const std::size_t source = at + kRunHeader + (after ? length : 0);
        if (source + length > r.size() || offset + length > tune.size()) return;
        std::copy_n(r.begin() + static_cast<std::ptrdiff_t>(source), length,
                    tune.begin() + static_cast<std::ptrdiff_t>(offset));
        at += kRunHeader + 2 * length;
    }
}

bool TuneHistory::Record(const ParameterModel& model, std::uint64_t source, std::int64_t nowMs) {
    std::vector<std::uint8_t> now = TuneBytes(model);
    if (m_tune.size() != now.size()) {  // never reset: this is where history starts
        m_tune = std::move(now);
        return false;
    }
    if (now == m_tune) return false;
    m_redo.clear();
    const bool join = m_open && !m_undo.empty() && m_undo.back().source == source &&
                      nowMs - m_undo.back().lastMs <= m_joinMs;
    m_tune.swap(now);  // `now` holds the tune before this change from here on
    if (join) {
        // The grown step runs from the state before the step to now.
        Apply(m_undo.back(), false, now);
        m_undo.back().runs = Diff(now, m_tune).runs;
        if (m_undo.back().runs.empty()) {
            // The burst took itself back: no step, and the one before stays closed.
            m_undo.pop_back();
            m_open = false;
            return true;
        }
    } else {
        m_undo.push_back(Diff(now, m_tune));
        if (m_undo.size() > m_capacity) m_undo.pop_front();
    }
    m_undo.back().source = source;
    m_undo.back().lastMs = nowMs;
    m_undo.back().runs.shrink_to_fit();
    m_open = true;
    return true;
}

bool TuneHistory::Undo(ParameterModel& model, std::int64_t nowMs) {
    // A change nobody recorded yet is the step to take back.
    Seal();
    Record(model, 0, nowMs);
    Seal();
    if (m_undo.empty()) return false;
    Apply(m_undo.back(), false, m_tune);
    m_redo.push_back(std::move(m_undo.back()));
    m_undo.pop_back();
    return ApplyTuneBytes(model, m_tune);
}

bool TuneHistory::Redo(ParameterModel& model, std::int64_t nowMs) {
    // A change made after the undo ends the redo steps.
    Seal();
    Record(model, 0, nowMs);
    if (m_redo.empty()) return false;
    Apply(m_redo.back(), true, m_tune);
    m_undo.push_back(std::move(m_redo.back()));
    m_redo.pop_back();
    m_open = false;
    return ApplyTuneBytes(model, m_tune);
}

std::size_t TuneHistory::MemoryBytes() const {
    std::size_t bytes = m_tune.capacity();
    for (const Step& step : m_undo) bytes += sizeof(Step) + step.runs.capacity();
    for (const Step& step : m_redo) bytes += sizeof(Step) + step.runs.capacity();
    return bytes;
}

}  // namespace vantrel
