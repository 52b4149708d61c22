// The station's state changes, seen where the model calls the libraries: a probe that
// finds no device is "waiting", one that finds it "device_found", a conversion
// "converting", and a transfer "downloading" with each new percent or block. The outcome
// comes from the record itself.
#pragma once

#include "kaprin/base/pellin_relay.h"

#include <nlohmann/json.hpp>

#include <functional>
#include <string>

namespace kaprin::cli {

// Called with the event's name and its own fields.
using StateSink = std::function<void(const std::string& state, nlohmann::json fields)>;

class StateWatchingPellin : public PellinRelay {
public:
    StateWatchingPellin(PellinApi& inner, StateSink sink)
        : PellinRelay(inner), sink_(std::move(sink)) {}

    std::int32_t CheckZ() override;
    void BotLoad(const std::string& path) override;
    void FontLoad(const std::string& path) override;
    std::int32_t getPercent() override;
    std::int32_t getBlock() override;

    // The station's state is known from elsewhere (an alert, the end): a probe reports
    // "waiting" again afterwards.
    void Forget() { state_.clear(); }

private:
    void Enter(const std::string& state, nlohmann::json fields = nlohmann::json::object());
    void Progress();

    StateSink sink_;
    std::string state_;
    std::int32_t percent_ = -1, block_ = -1;
    std::int32_t shownPercent_ = -1, shownBlock_ = -1;
};

class StateWatchingKaldun : public KaldunApi {
public:
    StateWatchingKaldun(KaldunApi& inner, StateSink sink) : inner_(inner), sink_(std::move(sink)) {}
    std::int32_t KALDUN(const std::string& path) override;

private:
    KaldunApi& inner_;
    StateSink sink_;
};

} // namespace kaprin::cli
