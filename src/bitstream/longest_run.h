#pragma once

#include <algorithm>

namespace strovanik::bitstream {

// The longest run of frames that have something (B-frames) among frames seen one by one.
class LongestRun {
public:
    void add(bool inRun) {
        run_ = inRun ? run_ + 1 : 0;
        longest_ = std::max(longest_, run_);
    }
    int longest() const { return longest_; }

private:
    int run_ = 0;
    int longest_ = 0;
};

}  // namespace strovanik::bitstream
