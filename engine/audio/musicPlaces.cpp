#include "audio/musicPlaces.h"

#include <libopenmpt/libopenmpt.hpp>

#include <algorithm>
#include <cmath>
#include <ostream>

namespace engine::audio {

namespace {

// A tick lasts 2.5 / tempo seconds in the trackers' own way of counting.
constexpr double kTickSecondsTimesTempo = 2.5;

std::ostream& SilentLog() {
    static std::ostream silent(nullptr);
    return silent;
}

} // namespace

std::optional<ModulePlaces> ReadModulePlaces(const std::vector<char>& bytes) {
    ModulePlaces places;
    try {
        openmpt::module module(bytes, SilentLog());
        const std::int32_t tempo = module.get_current_tempo();
        const std::int32_t speed = module.get_current_speed();
        if (tempo <= 0 || speed <= 0)
            return std::nullopt;
        places.rowSeconds = speed * kTickSecondsTimesTempo / tempo;
        const std::int32_t patterns = module.get_num_patterns();
        for (std::int32_t order = 0; order < module.get_num_orders(); ++order) {
            const std::int32_t pattern = module.get_order_pattern(order);
            if (pattern < 0 || pattern >= patterns)
                continue;
            // The time libopenmpt's own playback gives the order's first row.
            const double start = module.set_position_order_row(order, 0);
            places.orders.push_back({order, pattern, module.get_pattern_num_rows(pattern), start});
        }
    } catch (...) {
        return std::nullopt;
    }
    if (places.orders.empty())
        return std::nullopt;
    return places;
}

ModulePlace PlaceAt(const ModulePlaces& places, double seconds) {
    const auto after =
        std::upper_bound(places.orders.begin(), places.orders.end(), seconds,
                         [](double time, const ModulePlaces::Order& order) { return time < order.start; });
    const ModulePlaces::Order& entry = after == places.orders.begin() ? places.orders.front() : *(after - 1);
    const double rows = std::floor((seconds - entry.start) / places.rowSeconds + 1e-9);
    const int row = static_cast<int>(std::clamp(rows, 0.0, static_cast<double>(std::max(entry.rows - 1, 0))));
    return {entry.order, entry.pattern, row};
}

} // namespace engine::audio
