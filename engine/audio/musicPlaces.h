// Where a time falls in a tracker module, as the module's own tempo counts it: the order, its pattern
// and the row. libopenmpt gives the time at which every order starts; a row lasts speed x 2.5 / tempo
// seconds (the demo's module keeps one tempo throughout). For the editor's overlay and its seeks by
// beat, bar and row.
#pragma once

#include <optional>
#include <vector>

namespace engine::audio {

struct ModulePlaces {
    struct Order {
        int order = 0;
        int pattern = 0;
        int rows = 0;
        double start = 0.0;
    };
    // Playing orders only (the list's skip and end markers left out), in playing order.
    std::vector<Order> orders;
    double rowSeconds = 0.0;
};

// Nothing when the bytes are not a module or it has no playing order.
std::optional<ModulePlaces> ReadModulePlaces(const std::vector<char>& bytes);

// The order (an entry of places.orders) and row playing at `seconds`; before the first order, its
// first row; past the end, the last row.
struct ModulePlace {
    int order = 0;
    int pattern = 0;
    int row = 0;
};
ModulePlace PlaceAt(const ModulePlaces& places, double seconds);

} // namespace engine::audio
