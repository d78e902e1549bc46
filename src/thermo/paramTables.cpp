#include "thermo/paramTables.h"

#include <type_traits>

namespace korvane {

namespace {
template <typename T>
void fillGrid(T& grid, int value) {
    if constexpr (std::is_same_v<T, int>) {
        grid = value;
    } else {
        for (auto& inner : grid) fillGrid(inner, value);
    }
}
}  // namespace

paramTables::paramTables() {
    fillGrid(int22, INFINITE);
    fillGrid(int21, INFINITE);
    fillGrid(int11, INFINITE);
}

std::unique_ptr<paramTables> makeParamTables() { return std::make_unique<paramTables>(); }

}  // namespace korvane
