#include "kaprin/cli/station_events.h"

namespace kaprin::cli {

void StateWatchingPellin::Enter(const std::string& state, nlohmann::json fields) {
    state_ = state;
    sink_(state, std::move(fields));
}

std::int32_t StateWatchingPellin::CheckZ() {
    const std::int32_t r = PellinRelay::CheckZ();
    if (r == 1 && state_ != "device_found")
        Enter("device_found");
    else if (r == 0 && state_ != "waiting")
        Enter("waiting");
    return r;
}

void StateWatchingPellin::BotLoad(const std::string& path) {
    percent_ = block_ = shownPercent_ = shownBlock_ = -1;
    PellinRelay::BotLoad(path);
}

void StateWatchingPellin::FontLoad(const std::string& path) {
    percent_ = block_ = shownPercent_ = shownBlock_ = -1;
    PellinRelay::FontLoad(path);
}

std::int32_t StateWatchingPellin::getPercent() {
    percent_ = PellinRelay::getPercent();
    Progress();
    return percent_;
}

std::int32_t StateWatchingPellin::getBlock() {
    block_ = PellinRelay::getBlock();
    Progress();
    return block_;
}

// The model reads the percent and the block in turn: one event once both are known and
// either has changed.
void StateWatchingPellin::Progress() {
    if (percent_ < 0 || block_ < 0 || (percent_ == shownPercent_ && block_ == shownBlock_))
        return;
    shownPercent_ = percent_;
    shownBlock_ = block_;
    Enter("downloading", {{"percent", std::min(percent_, 100)}, {"block", block_}});
}

std::int32_t StateWatchingKaldun::KALDUN(const std::string& path) {
    sink_("converting", {{"image", path}});
    return inner_.KALDUN(path);
}

} // namespace kaprin::cli
