#pragma once
// fontconfig's configuration read ahead. The first text a window measures
// makes fontconfig parse its XML configuration and read its font caches
// (some 25 million instructions, 5-10 ms), while connecting to the display
// keeps the program waiting longer than that without using a core. Started
// before the application object, joined before any window is made, so
// fontconfig never has two first users at once.

#include <thread>

namespace rt {

class FontsAhead {
public:
    FontsAhead();
    // Returns once fontconfig is ready; the destructor does as much.
    void join();
    ~FontsAhead() { join(); }
    FontsAhead(const FontsAhead&) = delete;
    FontsAhead& operator=(const FontsAhead&) = delete;

private:
    std::thread thread_;
};

} // namespace rt
