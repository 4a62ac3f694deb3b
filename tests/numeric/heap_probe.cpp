// A fresh process that prepares its heap as nongauss does and prints whether
// the reservation was made and where the first blocks it then allocates lie:
// each one's distance from the 2 MiB boundary below it.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "numeric/heap_setup.hpp"

int main() {
    const bool marked = nongauss::prepare_heap();
    // All blocks before the first output, which allocates a buffer of its own.
    void* const first = std::malloc(200000);
    void* const second = std::malloc(std::size_t{3} << 20);
    constexpr std::uintptr_t huge_page = std::uintptr_t{2} << 20;
    std::printf("%s %lu %lu\n", marked ? "marked" : "unmarked",
                static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(first) % huge_page),
                static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(second) % huge_page));
    std::free(second);
    std::free(first);
    return 0;
}
