#include "thermo/paramTables.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdlib>
#include <new>
#include <type_traits>

namespace korvane {

namespace {

constexpr std::size_t HUGE_PAGE_BYTES = std::size_t{2} << 20;

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

void* paramTables::operator new(std::size_t size) {
    // Whole huge pages, aligned to one, so that the kernel can back the object with a few.
    const std::size_t rounded = (size + HUGE_PAGE_BYTES - 1) / HUGE_PAGE_BYTES * HUGE_PAGE_BYTES;
    void* block = std::aligned_alloc(HUGE_PAGE_BYTES, rounded);
    if (block == nullptr) throw std::bad_alloc();
#ifdef MADV_HUGEPAGE
    // Only a hint: where it is refused the object simply lives on ordinary pages.
    static_cast<void>(::madvise(block, rounded, MADV_HUGEPAGE));
#endif
    return block;
}

void paramTables::operator delete(void* block) noexcept { std::free(block); }

std::unique_ptr<paramTables> makeParamTables() { return std::make_unique<paramTables>(); }

}  // namespace korvane
